// The main search: early answers, dropped and narrowed root moves, ties, and the time-out exit.
#include "search/main_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "../../bench/signature_positions.h"
#include "search/candidates.h"
#include "search/evaluation.h"
#include "search/scores.h"
#include "search/time_control.h"
#include "search_test_board.h"

namespace velka::search {
namespace {

using patterns::RuleVariant;
using testing::at;
using testing::placeRows;
constexpr RuleVariant Free = RuleVariant::Freestyle;
// Middle games with nothing forced for either side: 15 x 15 and 20 x 20 freestyle; freestyle, exact
// five and Renju with the engine black.
const signature::Position& Quiet15 = signature::Positions[1];
const signature::Position& Quiet20 = signature::Positions[6];
const signature::Position* const QuietByRule[] = {
    &signature::Positions[0], &signature::Positions[2], &signature::Positions[4]};

Player& player() {
    return testing::player();
}

// Every search starts from a wiped memory, as at each move of a game; depth 0: on the clock.
int32_t search(RuleVariant v, int32_t depth, uint64_t nodeLimit = 0) {
    Player& p = player();
    wipeMemory(p.memory);
    return searchBestMove(p.main, p.memory, p.control, board::engineBoard, v,
                          depth == 0 ? SearchLimits{} : SearchLimits{depth, false, nodeLimit});
}

const SearchStats& lastSearchStats() {
    return player().main.stats;
}

std::vector<int32_t> rootMoves() {
    const std::span<const int32_t> moves = search::rootMoves(player().main);
    return {moves.begin(), moves.end()};
}

void spendTheClock() {
    player().control.clock.turnStart.store(clockMs() - 100000000);
}

// The root's candidates for the engine's stone, over the whole board.
std::vector<int32_t> rootCandidates(RuleVariant v = Free) {
    SearchBoard& sb = testing::searchBoard(v);
    std::vector<int32_t> roots(RootCandidateCapacity);
    roots.resize(search::rootCandidates(sb, {0, 0, sb.board.width - 1, sb.board.height - 1}, 1,
                                        roots.data()));
    return roots;
}

int32_t evaluation(int32_t side) {
    return staticEvaluation(testing::searchBoard(Free).totals, side);
}

class MainSearchTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        patterns::buildPatternTables(Free);
        testing::freshMemory();
    }
    void SetUp() override {
        testing::freshBoard(15, 15);
        board::engineBoard.firstPlayer = board::CellOwn;
        testing::startClock(1000000);  // a generous clock unless a test spends it
    }
};

TEST_F(MainSearchTest, ASingleCandidateIsPlayedWithoutSearching) {
    EXPECT_EQ(search(Free, 5), -1);  // no stones, no candidates
    placeRows(3, 6, {"XOOOO."});
    placeRows(6, 9, {"X.X"});
    spendTheClock();  // the time is long gone
    const testing::BoardUnchanged guard;
    EXPECT_EQ(search(Free, 0), at(8, 6));
    EXPECT_EQ(lastSearchStats().nodes, 0u);
}

TEST_F(MainSearchTest, AWinningRootMoveEndsTheSearchAtOnce) {
    // (7,7) makes a four (closed on the left) and an open three: five follows on ply 5.
    placeRows(3, 7, {"OXXX"});
    placeRows(7, 5, {"X", "X"});
    placeRows(10, 3, {"O.O"});
    placeRows(2, 11, {"O"});
    EXPECT_EQ(search(Free, 4), at(7, 7));
    const uint64_t nodesToDepth4 = lastSearchStats().nodes;
    const size_t rootCount = rootMoves().size();
    ASSERT_GT(rootCount, 10u);
    EXPECT_EQ(rootMoves().front(), at(7, 7));
    EXPECT_EQ(search(Free, 20), at(7, 7));
    EXPECT_EQ(lastSearchStats().completedDepth, 4);
    // Iteration 5 stopped after the winning move, first in the list: the others went unvisited.
    EXPECT_LT(lastSearchStats().nodes - nodesToDepth4, rootCount);
}

TEST_F(MainSearchTest, LostRootMovesAreDropped) {
    // Renju, the engine black: (7,7) is a double three, listed only for O's value there.
    patterns::refreshPatternTables(RuleVariant::Renju);
    placeRows(5, 7, {"XX"});
    placeRows(7, 5, {"X", "X"});
    placeRows(8, 8, {"O", ".O"});
    const std::vector<int32_t> roots = rootCandidates(RuleVariant::Renju);
    ASSERT_NE(std::find(roots.begin(), roots.end(), at(7, 7)), roots.end());
    const int32_t n = static_cast<int32_t>(roots.size());
    const int32_t move = search(RuleVariant::Renju, 1);
    std::vector<int32_t> after = rootMoves();
    EXPECT_EQ(std::count(after.begin(), after.end(), at(7, 7)), 0);
    EXPECT_EQ(static_cast<int32_t>(after.size()), narrowedRootCount(n - 1, 1, n));
    EXPECT_EQ(after.front(), move);
    search(RuleVariant::Renju, 4);  // deeper iterations never bring it back
    after = rootMoves();
    EXPECT_EQ(std::count(after.begin(), after.end(), at(7, 7)), 0);

    // O has two open threes far apart: every move is lost in iteration 4, so 3 stands.
    patterns::refreshPatternTables(Free);
    SetUp();
    placeRows(5, 3, {".OOO."});
    placeRows(10, 8, {".", "O", "O", "O", "."});
    placeRows(2, 12, {"X"});
    placeRows(12, 2, {"X"});
    placeRows(3, 8, {"X"});
    const int32_t atDepth3 = search(Free, 3);
    ASSERT_NE(atDepth3, -1);
    EXPECT_EQ(search(Free, 12), atDepth3);
    EXPECT_EQ(lastSearchStats().completedDepth, 3);
}

TEST_F(MainSearchTest, NarrowingKeepsAShrinkingFrontOfTheList) {
    const int32_t cases[][4] = {{200, 1, 200, 191},  {191, 2, 200, 181}, {200, 19, 200, 11},
                                {150, 20, 200, 150}, {3, 19, 200, 3},    {4, 19, 10, 1},
                                {5, 1, 10, 5}};
    for (const auto& [count, depth, n, want] : cases)
        EXPECT_EQ(narrowedRootCount(count, depth, n), want) << count << " " << depth << " " << n;
    // The search narrows its list after each iteration (no move is lost early here).
    signature::setUpPosition(Quiet20, player().memory);
    const int32_t n = static_cast<int32_t>(rootCandidates().size());
    search(Free, 1);
    EXPECT_EQ(static_cast<int32_t>(rootMoves().size()), narrowedRootCount(n, 1, n));
    search(Free, 2);
    EXPECT_EQ(static_cast<int32_t>(rootMoves().size()),
              narrowedRootCount(narrowedRootCount(n, 1, n), 2, n));
}

TEST_F(MainSearchTest, TiesKeepTheEarlierMoveAndRaisersLeadTheNextIteration) {
    // At depth 1 a move's score is the evaluation after it; the next iteration gets the moves
    // that raised alpha, last first, then the rest in their old order, narrowed.
    bool sawTie = false;
    bool sawRaisers = false;
    for (int32_t position : {0, 1}) {
        if (position == 0) {
            placeRows(6, 7, {"OXO", ".O."});  // mirror-symmetric: mirrored moves tie
        } else {
            signature::setUpPosition(Quiet15, player().memory);
        }
        const std::vector<int32_t> roots = rootCandidates();
        std::vector<int32_t> expected;
        int32_t best = LossScore;
        int32_t raisers = 0;
        for (int32_t m : roots) {
            board::setCell(m, 1);
            const int32_t v = -evaluation(2);
            board::setCell(m, 0);
            sawTie = sawTie || v == best;
            if (v > best) {
                best = v;
                expected.insert(expected.begin(), m);
                ++raisers;
            } else {
                expected.push_back(m);
            }
        }
        sawRaisers = sawRaisers || raisers >= 2;
        const int32_t n = static_cast<int32_t>(roots.size());
        expected.resize(narrowedRootCount(n, 1, n));
        EXPECT_EQ(search(Free, 1), expected.front());
        EXPECT_EQ(rootMoves(), expected);
    }
    EXPECT_TRUE(sawTie && sawRaisers);
}

TEST_F(MainSearchTest, ASideWithNoMoveLeftHasLost) {
    // 5 x 5 filled in pairs so that no line holds anything, two cells left: after the engine
    // takes one, the opponent has no candidate and has lost (a drawn end is not scored apart).
    testing::freshBoard(5, 5);
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            if (y != 1 || x < 2 || x > 3) board::setCell(at(x, y), 1 + (x / 2 + y) % 2);
        }
    }
    const std::vector<int32_t> roots = rootCandidates();
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(search(Free, 10), roots[0]);
    // Iteration 1 evaluates two leaves; iteration 2 finds the reply missing at once.
    EXPECT_EQ(lastSearchStats().completedDepth, 1);
    EXPECT_EQ(lastSearchStats().nodes, 3u);
}

TEST_F(MainSearchTest, ATimeOutRestoresTheBoardAndKeepsTheLastIteration) {
    for (const signature::Position* p : QuietByRule) {
        SCOPED_TRACE(p->name);
        const RuleVariant v = p->variant;
        signature::setUpPosition(*p, player().memory);
        int32_t move = -1;
        {
            const testing::BoardUnchanged guard;
            move = search(v, MaxSearchDepth, 20000);
        }
        const SearchStats stopped = lastSearchStats();
        EXPECT_TRUE(stopped.stopped);
        EXPECT_GE(stopped.nodes, 20000u);
        EXPECT_LE(stopped.nodes, 20000u + ClockCheckPeriod);
        ASSERT_GE(stopped.completedDepth, 2);
        // The answer of the last completed iteration, as a search to that depth gives.
        EXPECT_EQ(search(v, stopped.completedDepth), move);
        EXPECT_FALSE(lastSearchStats().stopped);
    }
    // The clock: with the budget already spent, the first clock check ends the search.
    signature::setUpPosition(Quiet15, player().memory);
    spendTheClock();
    const testing::BoardUnchanged guard;
    const int32_t move = search(Free, 0);
    EXPECT_LE(lastSearchStats().nodes, ClockCheckPeriod);
    EXPECT_LE(lastSearchStats().completedDepth, 1);
    EXPECT_TRUE(move == -1 || board::engineBoard.cells[move] == 0);
}

// Each rule keeps its own count of nodes since the last clock check, carried over from one search
// to the next: where a search's first check falls does not depend on the searches of other rules
// made in between. With the time spent, that check ends the search, and with it whether its first
// iteration completes.
TEST_F(MainSearchTest, EachRuleKeepsItsOwnClockCheckCount) {
    MainSearch own;
    const auto searchUnder = [&](const signature::Position& p, SearchLimits limits) {
        signature::setUpPosition(p, player().memory);
        searchBestMove(own, player().memory, player().control, board::engineBoard, p.variant,
                       limits);
    };
    // A node limit leaves the count at 480 (on a generous clock no check comes before it).
    constexpr uint64_t Counted = 480;
    searchUnder(Quiet15, {MaxSearchDepth, true, Counted});
    // The next search under the same rule checks the clock at its 21st node, after a search
    // under Renju that counts on its own count.
    searchUnder(*QuietByRule[2], {MaxSearchDepth, true, 100});
    spendTheClock();
    searchUnder(Quiet15, {});
    EXPECT_TRUE(own.stats.stopped);
    EXPECT_EQ(own.stats.nodes, ClockCheckPeriod - Counted);
    EXPECT_EQ(own.stats.completedDepth, 0);  // its first iteration needed more nodes
}

// Two searches, each with its own state and memory, in one process: each counts what one alone
// counts, whatever the other did before.
TEST_F(MainSearchTest, TwoSearchesGiveTheCountsOfOne) {
    MainSearch first;
    MainSearch second;
    SearchMemory firstMemory;
    SearchMemory secondMemory;
    sizeMemoryWithWorkingSet(firstMemory, 16u << 20, 0);
    sizeMemoryWithWorkingSet(secondMemory, 16u << 20, 0);
    for (const signature::Position& p : signature::Positions) {
        SCOPED_TRACE(p.name);
        signature::setUpPosition(p, firstMemory);
        const SearchLimits limits{5, false, 0};
        std::vector<uint64_t> counts;
        for (auto [search, memory] :
             {std::pair{&first, &firstMemory}, {&second, &secondMemory}, {&first, &firstMemory}}) {
            wipeMemory(*memory);
            const int32_t move = searchBestMove(*search, *memory, player().control,
                                                board::engineBoard, p.variant, limits);
            counts.push_back(search->stats.nodes * 10000 + static_cast<uint64_t>(move + 1));
        }
        EXPECT_EQ(counts[0], counts[1]);
        EXPECT_EQ(counts[0], counts[2]);
    }
}

}  // namespace
}  // namespace velka::search
