// The main search: early answers, dropped and narrowed root moves, ties, and the time-out exit.
#include "search/main_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "patterns/shape_quad.h"
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

SearchLimits fixedDepth(int32_t depth) {
    SearchLimits limits;
    limits.maxDepth = depth;
    limits.useClock = false;
    return limits;
}

// Every search starts from a wiped memory, as at each move of a game.
int32_t search(RuleVariant v, const SearchLimits& limits) {
    wipeMemory();
    return searchBestMove(v, limits);
}

bool contains(std::span<const int32_t> list, int32_t cell) {
    return std::find(list.begin(), list.end(), cell) != list.end();
}

// True when a stone of either colour on some empty cell would make a four-three or better.
bool strongCellExists() {
    const board::EngineBoard& b = board::engineBoard;
    for (int32_t s = 0; s < b.cellCount; ++s) {
        if (b.cells[s] != 0) continue;
        for (uint32_t c = 1; c <= 2; ++c) {
            uint32_t k[4];
            for (int32_t d = 0; d < 4; ++d) {
                k[d] =
                    patterns::freeShape(patterns::patternEntry(board::windowCode(d, s) | c << 10));
            }
            if (patterns::MoveValueTable[patterns::shapeQuadIndex(k[0], k[1], k[2], k[3])] >= 200) {
                return true;
            }
        }
    }
    return false;
}

// Scattered stones on a square board, with neither side holding a four or a move that makes
// an open four, a four-three or a double three.
void quietPosition(int32_t side, uint32_t seed, int32_t stones) {
    std::mt19937 rng(seed);
    int32_t placed = 0;
    while (placed < stones) {
        const int32_t cell = at(rng() % side, rng() % side);
        if (board::engineBoard.cells[cell] != 0) continue;
        board::setCell(cell, 1 + placed % 2);
        if (staticEvaluation(RuleVariant::Freestyle, 1) == NearWinScore ||
            staticEvaluation(RuleVariant::Freestyle, 2) == NearWinScore || strongCellExists()) {
            board::setCell(cell, 0);
            continue;
        }
        ++placed;
    }
}

class MainSearchTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        patterns::buildPatternTables(RuleVariant::Freestyle);
        testing::freshMemory();
    }
    void SetUp() override {
        testing::freshBoard(15, 15);
        board::engineBoard.firstPlayer = board::CellOwn;
        // A generous clock unless a test says otherwise.
        startTurnClock(100, 1000000, 1000000);
    }
};

TEST_F(MainSearchTest, ASingleCandidateIsPlayedWithoutSearching) {
    placeRows(3, 6, {"XOOOO."});
    placeRows(6, 9, {"X.X"});
    // The turn's time is long gone: the forced block still comes back.
    turnStart.store(clockMs() - 100000000);
    const testing::BoardImage before = testing::boardImage();
    EXPECT_EQ(search(RuleVariant::Freestyle, {}), at(8, 6));
    EXPECT_EQ(lastSearchStats().nodes, 0u);
    EXPECT_TRUE(testing::sameImage(before, testing::boardImage()));
}

TEST_F(MainSearchTest, NoStonesMeansNoMove) {
    EXPECT_EQ(search(RuleVariant::Freestyle, fixedDepth(5)), -1);
    EXPECT_EQ(search(RuleVariant::Renju, fixedDepth(5)), -1);
}

TEST_F(MainSearchTest, AWinningRootMoveEndsTheSearchAtOnce) {
    // (7,7) makes a four (closed on the left by O) and an open three: five follows on ply 5.
    placeRows(3, 7, {"OXXX"});
    placeRows(7, 5, {"X", "X"});
    placeRows(10, 3, {"O.O"});
    placeRows(2, 11, {"O"});
    const int32_t win = at(7, 7);
    EXPECT_EQ(search(RuleVariant::Freestyle, fixedDepth(4)), win);
    const uint64_t nodesToDepth4 = lastSearchStats().nodes;
    const size_t rootMoves = lastRootMoves(RuleVariant::Freestyle).size();
    ASSERT_GT(rootMoves, 10u);
    EXPECT_EQ(lastRootMoves(RuleVariant::Freestyle).front(), win);

    EXPECT_EQ(search(RuleVariant::Freestyle, fixedDepth(20)), win);
    EXPECT_EQ(lastSearchStats().completedDepth, 4);
    // Iteration 5 searched the winning move (first in the list) and stopped: the other root
    // moves, at least one node each, were never visited.
    EXPECT_LT(lastSearchStats().nodes - nodesToDepth4, rootMoves);
}

TEST_F(MainSearchTest, WhenEveryMoveLosesThePreviousIterationStands) {
    // O has two open threes far apart; X cannot stop both and has no fours of its own. Every
    // move is proven lost in iteration 4 (O's open four, X blocks one end, O's five).
    placeRows(5, 3, {".OOO."});
    placeRows(10, 8, {".", "O", "O", "O", "."});
    placeRows(2, 12, {"X"});
    placeRows(12, 2, {"X"});
    placeRows(3, 8, {"X"});
    const int32_t atDepth3 = search(RuleVariant::Freestyle, fixedDepth(3));
    ASSERT_NE(atDepth3, -1);
    EXPECT_EQ(search(RuleVariant::Freestyle, fixedDepth(12)), atDepth3);
    EXPECT_EQ(lastSearchStats().completedDepth, 3);
}

TEST_F(MainSearchTest, LostRootMovesAreDropped) {
    // Renju, the engine black: (7,7) is a double three for X, listed at the root only for O's
    // value there. Playing it loses at once.
    patterns::refreshPatternTables(RuleVariant::Renju);
    placeRows(5, 7, {"XX"});
    placeRows(7, 5, {"X", "X"});
    placeRows(8, 8, {"O"});
    placeRows(9, 9, {"O"});
    std::vector<int32_t> roots(RootCandidateCapacity);
    roots.resize(
        generateRenjuCandidates(CandidateMode::Root, 1, roots.data(), RootCandidateCapacity));
    ASSERT_TRUE(contains(roots, at(7, 7)));
    const int32_t n = static_cast<int32_t>(roots.size());

    const int32_t move = search(RuleVariant::Renju, fixedDepth(1));
    EXPECT_NE(move, at(7, 7));
    const std::span<const int32_t> after = lastRootMoves(RuleVariant::Renju);
    EXPECT_FALSE(contains(after, at(7, 7)));
    EXPECT_EQ(static_cast<int32_t>(after.size()), narrowedRootCount(n - 1, 1, n));
    EXPECT_EQ(after.front(), move);

    // Deeper iterations never bring it back.
    search(RuleVariant::Renju, fixedDepth(4));
    EXPECT_FALSE(contains(lastRootMoves(RuleVariant::Renju), at(7, 7)));
}

TEST_F(MainSearchTest, NarrowingKeepsAShrinkingFrontOfTheList) {
    EXPECT_EQ(narrowedRootCount(200, 1, 200), 191);
    EXPECT_EQ(narrowedRootCount(191, 2, 200), 181);
    EXPECT_EQ(narrowedRootCount(200, 19, 200), 11);
    EXPECT_EQ(narrowedRootCount(150, 20, 200), 150);  // only lost moves leave after 19
    EXPECT_EQ(narrowedRootCount(3, 19, 200), 3);      // three or fewer are never cut
    EXPECT_EQ(narrowedRootCount(4, 19, 10), 1);
    EXPECT_EQ(narrowedRootCount(5, 1, 10), 5);  // the cut only ever shortens

    // A full 200-move root on a 20 x 20 board, with no move lost early.
    testing::freshBoard(20, 20);
    quietPosition(20, 7, 60);
    std::vector<int32_t> roots(RootCandidateCapacity);
    ASSERT_EQ(generateCandidates(CandidateGenerator::Freestyle, CandidateMode::Root, 1,
                                 roots.data(), RootCandidateCapacity),
              200);
    search(RuleVariant::Freestyle, fixedDepth(1));
    EXPECT_EQ(lastRootMoves(RuleVariant::Freestyle).size(), 191u);
    search(RuleVariant::Freestyle, fixedDepth(2));
    EXPECT_EQ(lastRootMoves(RuleVariant::Freestyle).size(), 181u);
}

TEST_F(MainSearchTest, EqualScoresKeepTheEarlierMove) {
    // Mirror-symmetric: mirrored root moves score the same at depth 1.
    placeRows(6, 7, {"OXO"});
    placeRows(7, 8, {"O"});
    std::vector<int32_t> roots(RootCandidateCapacity);
    roots.resize(generateCandidates(CandidateGenerator::Freestyle, CandidateMode::Root, 1,
                                    roots.data(), RootCandidateCapacity));
    int32_t best = LossScore;
    int32_t expected = -1;
    int32_t ties = 0;
    for (int32_t m : roots) {
        board::setCell(m, 1);
        const int32_t v = -staticEvaluation(RuleVariant::Freestyle, 2);
        board::setCell(m, 0);
        if (v > best) {
            best = v;
            expected = m;
            ties = 1;
        } else if (v == best) {
            ++ties;
        }
    }
    ASSERT_GE(ties, 2);
    EXPECT_EQ(search(RuleVariant::Freestyle, fixedDepth(1)), expected);
}

TEST_F(MainSearchTest, MovesThatRaisedAlphaLeadTheNextIteration) {
    // At depth 1 every root move's score is the evaluation after it, so the list that the next
    // iteration gets can be worked out here: the moves that raised alpha, last one first, then the
    // others in their old order, cut by the narrowing rule.
    quietPosition(15, 21, 16);
    std::vector<int32_t> roots(RootCandidateCapacity);
    roots.resize(generateCandidates(CandidateGenerator::Freestyle, CandidateMode::Root, 1,
                                    roots.data(), RootCandidateCapacity));
    std::vector<int32_t> raised;
    std::vector<int32_t> others;
    int32_t best = LossScore;
    for (int32_t m : roots) {
        board::setCell(m, 1);
        const int32_t v = -staticEvaluation(RuleVariant::Freestyle, 2);
        board::setCell(m, 0);
        if (v > best) {
            best = v;
            raised.insert(raised.begin(), m);
        } else {
            others.push_back(m);
        }
    }
    ASSERT_GE(raised.size(), 2u);
    std::vector<int32_t> expected = raised;
    expected.insert(expected.end(), others.begin(), others.end());
    const int32_t n = static_cast<int32_t>(roots.size());
    expected.resize(narrowedRootCount(n, 1, n));

    EXPECT_EQ(search(RuleVariant::Freestyle, fixedDepth(1)), raised.front());
    const std::span<const int32_t> after = lastRootMoves(RuleVariant::Freestyle);
    EXPECT_EQ(std::vector<int32_t>(after.begin(), after.end()), expected);
}

TEST_F(MainSearchTest, ASideWithNoMoveLeftHasLost) {
    // 5 x 5, filled in pairs so that no line holds anything; two cells stay empty. After the
    // engine takes one, the opponent has no candidate: that counts as its loss, so the first
    // root move wins as soon as a reply is searched. A drawn end is not scored apart.
    testing::freshBoard(5, 5);
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            if (y == 1 && (x == 2 || x == 3)) continue;
            board::setCell(at(x, y), 1 + (x / 2 + y) % 2);
        }
    }
    std::vector<int32_t> roots(RootCandidateCapacity);
    roots.resize(generateCandidates(CandidateGenerator::Freestyle, CandidateMode::Root, 1,
                                    roots.data(), RootCandidateCapacity));
    ASSERT_EQ(roots.size(), 2u);
    board::setCell(roots[0], 1);
    std::array<int32_t, InnerCandidateCapacity> replies;
    ASSERT_EQ(generateCandidates(CandidateGenerator::Freestyle, CandidateMode::Inner, 2,
                                 replies.data(), InnerCandidateCapacity),
              0);
    board::setCell(roots[0], 0);

    EXPECT_EQ(search(RuleVariant::Freestyle, fixedDepth(10)), roots[0]);
    // Iteration 1 only evaluates (two leaves); iteration 2 finds the reply missing at once.
    EXPECT_EQ(lastSearchStats().completedDepth, 1);
    EXPECT_EQ(lastSearchStats().nodes, 3u);
}

TEST_F(MainSearchTest, ATimeOutRestoresTheBoardAndKeepsTheLastIteration) {
    for (RuleVariant v : {RuleVariant::Freestyle, RuleVariant::ExactFive, RuleVariant::Renju}) {
        patterns::refreshPatternTables(v);
        testing::freshBoard(15, 15);
        quietPosition(15, 11, 24);
        const testing::BoardImage before = testing::boardImage();
        SearchLimits limits = fixedDepth(MaxSearchDepth);
        limits.nodeLimit = 20000;
        const int32_t move = search(v, limits);
        const SearchStats stopped = lastSearchStats();
        EXPECT_TRUE(stopped.stopped);
        EXPECT_GE(stopped.nodes, 20000u);
        EXPECT_LE(stopped.nodes, 20000u + ClockCheckInterval + 1);
        ASSERT_GE(stopped.completedDepth, 2);
        EXPECT_TRUE(testing::sameImage(before, testing::boardImage()));
        EXPECT_TRUE(board::boardIsConsistent());
        // The answer is that of the last completed iteration, as a search to that depth gives.
        EXPECT_EQ(search(v, fixedDepth(stopped.completedDepth)), move);
        EXPECT_FALSE(lastSearchStats().stopped);
    }
}

TEST_F(MainSearchTest, TheClockStopsTheSearch) {
    quietPosition(15, 3, 24);
    const testing::BoardImage before = testing::boardImage();
    // The budget is spent already: the first clock check ends the search.
    turnStart.store(clockMs() - 100000000);
    const int32_t move = search(RuleVariant::Freestyle, {});
    EXPECT_LE(lastSearchStats().nodes, ClockCheckInterval + 1);
    EXPECT_LE(lastSearchStats().completedDepth, 1);
    if (move != -1) {
        EXPECT_EQ(board::engineBoard.cells[move], 0);
    }
    EXPECT_TRUE(testing::sameImage(before, testing::boardImage()));
}

TEST_F(MainSearchTest, TheNodeCounterCarriesOverAndSearchesRepeatExactly) {
    quietPosition(15, 5, 20);
    const uint32_t start = nodeCounter(RuleVariant::ExactFive);
    patterns::refreshPatternTables(RuleVariant::ExactFive);
    const int32_t first = search(RuleVariant::ExactFive, fixedDepth(5));
    const uint64_t nodes = lastSearchStats().nodes;
    EXPECT_EQ(nodeCounter(RuleVariant::ExactFive), (start + nodes) % (ClockCheckInterval + 1));
    EXPECT_EQ(search(RuleVariant::ExactFive, fixedDepth(5)), first);
    EXPECT_EQ(lastSearchStats().nodes, nodes);
}

}  // namespace
}  // namespace velka::search
