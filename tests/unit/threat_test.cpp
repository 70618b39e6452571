// The searches for a forced win by fours. The engine's stones are code 1, the opponent's code 2;
// every search must leave the board exactly as it found it.
#include "search/threat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "platform/platform.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search/scores.h"
#include "search/time_control.h"
#include "search_test_board.h"

namespace velka::search {
namespace {

using patterns::RuleVariant;
using testing::at;
using testing::put;
using Kind = ThreatSearchKind;
using CellList = std::vector<std::pair<int32_t, int32_t>>;
constexpr int32_t Own = board::CellOwn;
constexpr int32_t Opponent = board::CellOpponent;

// threatMove as a move decision runs it (census, clock, wiped memory), with its variant's table;
// `late`: the move's whole budget already spent.
Player& player() {
    return testing::player();
}

const ThreatStats& lastThreatStats() {
    return player().threats.stats;
}

int32_t decided(Kind kind, bool late = false) {
    patterns::refreshPatternTables(kind == Kind::ExactFive   ? RuleVariant::ExactFive
                                   : kind == Kind::Freestyle ? RuleVariant::Freestyle
                                                             : RuleVariant::Renju);
    board::takeCensus(Own);
    testing::startClock(4900);
    if (late) player().control.clock.turnStart.store(clockMs() - 60000);
    testing::freshMemory();
    const testing::BoardUnchanged guard;
    Player& p = player();
    return threatMove(p.threats, board::engineBoard, p.memory, p.control, kind);
}

// The WinStack from the top (the move now) down.
std::vector<int32_t> line() {
    const WinStack& stack = player().threats.stack;
    std::vector<int32_t> cells;
    for (int32_t i = stack.count; i >= 1; --i) cells.push_back(stack.cells[i]);
    return cells;
}

std::vector<int32_t> cellsAt(const CellList& cells) {
    std::vector<int32_t> indices;
    for (const auto& [x, y] : cells) indices.push_back(at(x, y));
    return indices;
}

class ThreatTest : public ::testing::Test {
  protected:
    // ctest runs each test in a process of its own: build the tables here, not in an earlier test.
    static void SetUpTestSuite() { patterns::buildPatternTables(RuleVariant::Freestyle); }
    void SetUp() override { testing::freshBoard(15, 15); }
};

TEST_F(ThreatTest, Positions) {
    struct Case {
        const char* what;
        Kind kind;
        CellList own, opponent;
        CellList line;  // the WinStack from the top; empty when there is no win
    };
    // clang-format off
    const CellList doubleThree = {{5, 7}, {6, 7}, {7, 5}, {7, 6}};
    const CellList fives = {{1, 3}, {2, 3}, {3, 3}, {4, 3}, {10, 1}, {11, 1}, {12, 1}, {13, 1},
                            {7, 9}, {7, 10}, {7, 11}};  // and an open three
    const CellList fourThree = {{3, 1}, {4, 1}, {5, 1}, {5, 7}, {6, 7}, {7, 7}, {8, 5}, {8, 6}};
    const CellList fourThreeLine = {{8, 7}, {1, 1}, {6, 1}, {8, 4}, {8, 8}};
    const CellList defender = {{5, 10}, {6, 10}, {7, 10}, {8, 10}};  // five cell (9, 10)
    const CellList threeAndStone = {{3, 1}, {4, 1}, {5, 1}, {4, 10}};
    const CellList blockingFour = {{3, 1}, {4, 1}, {5, 1}, {4, 10}, {9, 11}, {9, 12}, {9, 13}};
    const CellList doubleFour = {{3, 7}, {4, 7}, {5, 7}, {7, 3}, {7, 4}, {7, 5}};
    const CellList overline = {{2, 7}, {3, 7}, {4, 7}, {6, 7}, {7, 7}};
    // White's (11, 11) leaves black the single five cell (7, 7), a double-three point.
    const CellList white = {{8, 8}, {9, 9}, {10, 10}};
    const CellList black = {{5, 7}, {6, 7}, {7, 5}, {7, 6}, {6, 6}, {12, 12}};
    // (3, 5) and (3, 0) make six in a row.
    const CellList six = {{0, 5}, {1, 5}, {2, 5}, {4, 5}, {5, 5}};
    const CellList openThree = {{5, 10}, {6, 10}, {7, 10}};
    const CellList ownSix = {{5, 10}, {6, 10}, {7, 10}, {0, 0}, {1, 0}, {2, 0}, {4, 0}, {5, 0}};
    const Case cases[] = {
        {"empty board", Kind::Freestyle, {}, {}, {}},
        {"a double three is no win by fours", Kind::Freestyle, doubleThree, {{0, 0}}, {}},
        {"... nor in exact five", Kind::ExactFive, doubleThree, {{0, 0}}, {}},
        {"... nor for Renju black", Kind::RenjuBlack, doubleThree, {{0, 0}}, {}},
        {"the lowest five cell beats every four", Kind::Freestyle, fives,
         {{9, 1}, {0, 10}, {1, 10}, {2, 10}, {3, 10}}, {{14, 1}}},
        {"a defender four leaves only its five cell", Kind::Freestyle, threeAndStone, defender, {}},
        {"... where a four that blocks wins", Kind::Freestyle, blockingFour, defender,
         {{9, 10}, {9, 14}}},
        {"a block that makes a four binds the next level", Kind::Freestyle,
         {{4, 7}, {5, 7}, {6, 7}, {7, 5}, {7, 6}}, {{3, 7}, {8, 8}, {8, 9}, {8, 10}}, {}},
        {"four-threes before plain fours", Kind::Freestyle, fourThree, {{4, 7}}, fourThreeLine},
        {"... also for Renju black", Kind::RenjuBlack, fourThree, {{4, 7}}, fourThreeLine},
        {"double four", Kind::Freestyle, doubleFour, {{2, 7}, {7, 2}}, {{7, 7}, {6, 7}}},
        {"... never for Renju black", Kind::RenjuBlack, doubleFour, {{2, 7}, {7, 2}}, {}},
        {"overline", Kind::Freestyle, overline, {}, {{5, 7}}},
        {"... never for Renju black", Kind::RenjuBlack, overline, {}, {}},
        {"Renju black takes an exact five beside an overline", Kind::RenjuBlack,
         {{3, 7}, {4, 7}, {5, 7}, {6, 7}, {7, 4}, {7, 5}, {7, 6}, {7, 8}, {7, 9}, {7, 10}},
         {{2, 7}}, {{7, 7}}},
        {"Renju white plays to five", Kind::RenjuWhite, {{5, 2}, {6, 2}, {7, 2}},
         {{0, 14}, {2, 14}, {4, 14}, {6, 14}}, {{4, 2}, {8, 2}}},
        {"Renju white: black's block is forbidden", Kind::RenjuWhite, white, black, {{11, 11}}},
        {"... which freestyle does not know", Kind::Freestyle, white, black, {}},
        {"freestyle: the opponent's six must be blocked", Kind::Freestyle, openThree, six, {}},
        {"exact five: a six is no five", Kind::ExactFive, openThree, six, {{4, 10}, {8, 10}}},
        {"... for the engine either", Kind::ExactFive, ownSix, six, {{4, 10}, {8, 10}}},
        {"freestyle takes its six", Kind::Freestyle, ownSix, six, {{3, 0}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        for (const auto& [x, y] : c.own) board::setCell(at(x, y), Own);
        for (const auto& [x, y] : c.opponent) board::setCell(at(x, y), Opponent);
        const std::vector<int32_t> want = cellsAt(c.line);
        EXPECT_EQ(decided(c.kind), want.empty() ? board::NoCell : want.front());
        if (!want.empty()) {
            EXPECT_EQ(line(), want);
        }
    }
}

TEST_F(ThreatTest, FailedBranchesAreMarkedOutOfTheMainSearchsSight) {
    put({{5, 7}, {6, 7}, {7, 7}}, Own);
    // (3, 7) is tried first and dies; (4, 7) makes the open four, the block goes on (3, 7).
    EXPECT_EQ(decided(Kind::Freestyle), at(4, 7));
    EXPECT_EQ(line(), cellsAt({{4, 7}, {8, 7}}));
    // The failed branch left its mark after (3, 7) and its block, in the hash words only.
    board::setCell(at(3, 7), Own);
    board::setCell(at(4, 7), Opponent);
    EXPECT_TRUE(isMarkedNoWin(player().memory, board::engineBoard.hash));
    EXPECT_EQ(probeMemory(player().memory, board::engineBoard.hash, 0, LossScore, WinScore),
              NoScore);
    board::setCell(at(4, 7), board::CellEmpty);
    EXPECT_FALSE(isMarkedNoWin(player().memory, board::engineBoard.hash));
}

// 'oxxx..': a blocked three whose four on (g+4, y) forces the block on (g+5, y) and leaves
// nothing. Units sit in every third row, seven columns apart, sharing no line.
void putBlockedThree(int32_t g, int32_t y) {
    put({{g, y}}, Opponent);
    put({{g + 1, y}, {g + 2, y}, {g + 3, y}}, Own);
}

// 168 four cells, more than a level's lists hold: all but the last leave the opponent's five.
TEST_F(ThreatTest, CandidatesBeyondTheListsAreStillTried) {
    testing::freshBoard(50, 50);
    for (int32_t y = 0; y <= 33; y += 3) {
        for (int32_t g = 0; g + 7 <= 50; g += 7) putBlockedThree(g, y);
    }
    put({{29, 38}, {34, 35}, {34, 36}, {34, 37}}, Own);
    put({{30, 38}, {31, 38}, {32, 38}, {33, 38}}, Opponent);  // five cell (34, 38)
    EXPECT_EQ(decided(Kind::Freestyle), at(34, 38));
}

// A line of 288 fours on an 80 x 80 board, on a thread started as the ThinkThread is.
TEST_F(ThreatTest, LongLineOnTheLargestBoard) {
    testing::freshBoard(80, 80);
    std::vector<int32_t> expected;
    for (int32_t y = 0; y <= 75; y += 3) {
        for (int32_t g = 0; g + 7 <= 80; g += 7) {
            putBlockedThree(g, y);
            expected.push_back(at(g + 4, y));
        }
    }
    // Last an open three: (72, 78) dies, (73, 78) makes the open four.
    put({{74, 78}, {75, 78}, {76, 78}}, Own);
    expected.push_back(at(73, 78));
    expected.push_back(at(77, 78));
    ASSERT_EQ(expected.size(), 288u);
    static int32_t move;
    static std::atomic<bool> done{false};
    const auto run = [](void*) {
        move = decided(Kind::Freestyle);
        done.store(true);
        done.notify_one();
    };
    ASSERT_TRUE(platform::startThread(run, nullptr, SearchStackBytes));
    done.wait(false);
    EXPECT_EQ(move, at(4, 0));
    EXPECT_EQ(line(), expected);
}

// A line found at one move is played on at the next ones when the opponent blocks as foreseen,
// without searching again, so the win takes exactly the fours it was found with; any other
// reply is searched afresh.
TEST_F(ThreatTest, AWinFoundIsPlayedOnWhileTheOpponentBlocksAsForeseen) {
    const auto setUpFourThree = [] {
        put({{3, 1}, {4, 1}, {5, 1}, {5, 7}, {6, 7}, {7, 7}, {8, 5}, {8, 6}}, Own);
        put({{4, 7}}, Opponent);
    };
    const std::vector<int32_t> moves = cellsAt({{8, 7}, {1, 1}, {6, 1}, {8, 4}, {8, 8}});
    setUpFourThree();
    ASSERT_EQ(decided(Kind::Freestyle), moves[0]);
    std::vector<int32_t> blocks;
    const WinStack& stack = player().threats.stack;
    for (int32_t i = stack.count; i >= 1; --i) blocks.push_back(stack.replies[i]);
    ASSERT_EQ(blocks.size(), moves.size());
    EXPECT_EQ(blocks.back(), board::NoCell);  // under the five
    for (size_t i = 0; i + 1 < moves.size(); ++i) {
        board::setCell(moves[i], Own);
        board::setCell(blocks[i], Opponent);
        EXPECT_EQ(decided(Kind::Freestyle), moves[i + 1]) << "move " << i + 2;
        EXPECT_EQ(lastThreatStats().levels, 0u) << "searched again at move " << i + 2;
    }
    // The opponent answers the first four elsewhere: a fresh search finds the five it left.
    SetUp();
    setUpFourThree();
    ASSERT_EQ(decided(Kind::Freestyle), moves[0]);
    board::setCell(moves[0], Own);
    board::setCell(at(0, 14), Opponent);
    EXPECT_EQ(decided(Kind::Freestyle), blocks[0]);
    EXPECT_GT(lastThreatStats().levels, 0u);
}

// n dead blocked threes cost 3^n positions: the search gives up once half the budget is spent,
// but reads the clock only after enough nodes.
TEST_F(ThreatTest, TheClockEndsOnlyLargeSearches) {
    const auto deadThrees = [](int32_t n) {
        testing::freshBoard(20, 20);
        for (int32_t i = 0; i < n; ++i) putBlockedThree(7 * (i % 2), 3 * (i / 2));
    };
    deadThrees(12);  // seconds of search
    EXPECT_EQ(decided(Kind::Freestyle, true), board::NoCell);
    EXPECT_TRUE(lastThreatStats().gaveUp);
    deadThrees(6);  // milliseconds
    EXPECT_EQ(decided(Kind::Freestyle), board::NoCell);
    EXPECT_FALSE(lastThreatStats().gaveUp);
    EXPECT_EQ(decided(Kind::Freestyle, true), board::NoCell);
    EXPECT_TRUE(lastThreatStats().gaveUp);
    deadThrees(2);
    put({{5, 17}, {6, 17}, {7, 17}}, Own);
    EXPECT_EQ(decided(Kind::Freestyle, true), at(4, 0));
    EXPECT_FALSE(lastThreatStats().gaveUp);
}

}  // namespace
}  // namespace velka::search
