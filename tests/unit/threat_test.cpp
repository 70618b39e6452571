// The searches for a forced win by fours, on hand-built positions. The engine's stones are code
// 1, the opponent's code 2. Every search must leave the board exactly as it found it.
#include <gtest/gtest.h>
#include <pthread.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"
#include "protocol/game.h"
#include "search/memory.h"
#include "search/scores.h"
#include "search/threat.h"
#include "search/time_control.h"
#include "search_test_board.h"

namespace {

using namespace velka;
using search::ThreatSearchKind;
using Cells = std::initializer_list<std::pair<int32_t, int32_t>>;

constexpr int32_t Own = board::CellOwn;
constexpr int32_t Opponent = board::CellOpponent;

using velka::testing::at;

void put(Cells cells, int32_t code) {
    for (const auto& [x, y] : cells) board::setCell(at(x, y), code);
}

// threatMove as a move decision runs it: census taken, memory wiped. Checks that the board is
// exactly as before afterwards.
int32_t decided(ThreatSearchKind kind) {
    board::takeCensus(Own);
    search::startTurnClock(board::engineBoard.emptyCount, 120000, 5000);
    velka::testing::freshMemory();
    const velka::testing::BoardImage before = velka::testing::boardImage();
    const int32_t move = search::threatMove(kind);
    EXPECT_TRUE(velka::testing::sameImage(velka::testing::boardImage(), before));
    EXPECT_TRUE(board::boardIsConsistent());
    return move;
}

// The WinStack from the top (the move now) down.
std::vector<int32_t> line(ThreatSearchKind kind) {
    const search::WinStack& stack = search::winStack(kind);
    std::vector<int32_t> cells;
    for (int32_t i = stack.count; i >= 1; --i) cells.push_back(stack.cells[i]);
    return cells;
}

std::vector<int32_t> cellsAt(Cells cells) {
    std::vector<int32_t> indices;
    for (const auto& [x, y] : cells) indices.push_back(at(x, y));
    return indices;
}

// Freestyle and Renju read the tables built for Renju (freeShape is the same in both builds).
class ThreatTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { patterns::buildPatternTables(patterns::RuleVariant::Renju); }
    void SetUp() override { velka::testing::freshBoard(15, 15); }
};

// The exact-five search needs the table built for exact five; its freeShape serves freestyle too.
class ExactThreatTest : public ThreatTest {
  protected:
    static void SetUpTestSuite() { patterns::buildPatternTables(patterns::RuleVariant::ExactFive); }
};

TEST_F(ThreatTest, LineOfThreeWinsThroughTheOpenFour) {
    put({{5, 7}, {6, 7}, {7, 7}}, Own);
    // (3, 7) is tried first and dies; (4, 7) makes the open four, the block goes on (3, 7) and
    // the five on (8, 7) ends the line.
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), at(4, 7));
    EXPECT_EQ(line(ThreatSearchKind::Freestyle), cellsAt({{4, 7}, {8, 7}}));

    // The failed branch left its mark on the position after (3, 7) and its block, in the hash
    // words only: the main search's probe still misses there.
    board::setCell(at(3, 7), Own);
    board::setCell(at(4, 7), Opponent);
    EXPECT_TRUE(search::isMarkedNoWin());
    EXPECT_EQ(search::probeMemory(0, search::LossScore, search::WinScore), search::NoScore);
    board::setCell(at(4, 7), board::CellEmpty);
    EXPECT_FALSE(search::isMarkedNoWin());
}

TEST_F(ThreatTest, NoFourNoWin) {
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), board::NoCell);
    // A double three wins, but not by fours.
    put({{5, 7}, {6, 7}, {7, 5}, {7, 6}}, Own);
    put({{0, 0}, {14, 14}}, Opponent);
    for (const auto kind :
         {ThreatSearchKind::Freestyle, ThreatSearchKind::ExactFive, ThreatSearchKind::RenjuBlack}) {
        EXPECT_EQ(decided(kind), board::NoCell);
    }
}

TEST_F(ThreatTest, TheLowestFiveCellBeatsEveryFour) {
    put({{1, 3}, {2, 3}, {3, 3}, {4, 3}}, Own);                   // fives on (0,3), (5,3)
    put({{10, 1}, {11, 1}, {12, 1}, {13, 1}}, Own);               // five on (14, 1)
    put({{7, 9}, {7, 10}, {7, 11}}, Own);                         // an open three
    put({{9, 1}, {0, 10}, {1, 10}, {2, 10}, {3, 10}}, Opponent);  // and a four
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), at(14, 1));
    EXPECT_EQ(line(ThreatSearchKind::Freestyle), cellsAt({{14, 1}}));
}

TEST_F(ThreatTest, ADefenderFourLeavesOnlyItsFiveCell) {
    put({{3, 1}, {4, 1}, {5, 1}}, Own);  // an open three, a win if nothing else were on the board
    put({{4, 10}}, Own);
    put({{5, 10}, {6, 10}, {7, 10}, {8, 10}}, Opponent);  // five cell (9, 10)
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), board::NoCell);

    // Without the defender check the open three wins as usual.
    velka::testing::freshMemory();
    ASSERT_TRUE(search::threatSearch(ThreatSearchKind::Freestyle, false));
    EXPECT_EQ(line(ThreatSearchKind::Freestyle).front(), at(2, 1));

    // A four on the five cell that also blocks it wins.
    put({{9, 11}, {9, 12}, {9, 13}}, Own);
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), at(9, 10));
    EXPECT_EQ(line(ThreatSearchKind::Freestyle), cellsAt({{9, 10}, {9, 14}}));
}

TEST_F(ThreatTest, ABlockThatMakesAFourBindsTheNextLevel) {
    put({{4, 7}, {5, 7}, {6, 7}, {7, 5}, {7, 6}}, Own);  // (7, 7): a four and an open three
    put({{3, 7}, {8, 8}, {8, 9}, {8, 10}}, Opponent);
    // The block on (8, 7) makes the opponent an open four, so the three can no longer be
    // played out; nothing else wins either.
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), board::NoCell);
}

TEST_F(ThreatTest, FourThreesComeBeforePlainFours) {
    put({{3, 1}, {4, 1}, {5, 1}}, Own);  // plain fours that win, lower in index order
    put({{5, 7}, {6, 7}, {7, 7}}, Own);  // with (4, 7) taken: (8, 7) is a four ...
    put({{8, 5}, {8, 6}}, Own);          // ... and a three down
    put({{4, 7}}, Opponent);
    // After the four-three the plain fours of row 1 come first again, in index order, until
    // the open four down decides.
    const auto expected = cellsAt({{8, 7}, {1, 1}, {6, 1}, {8, 4}, {8, 8}});
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), at(8, 7));
    EXPECT_EQ(line(ThreatSearchKind::Freestyle), expected);
    // The engine as black: a four-three is allowed.
    EXPECT_EQ(decided(ThreatSearchKind::RenjuBlack), at(8, 7));
    EXPECT_EQ(line(ThreatSearchKind::RenjuBlack), expected);
}

TEST_F(ThreatTest, RenjuBlackNeverPlaysAForbiddenFour) {
    // (7, 7) is a double four: the freestyle win, forbidden for black.
    put({{3, 7}, {4, 7}, {5, 7}, {7, 3}, {7, 4}, {7, 5}}, Own);
    put({{2, 7}, {7, 2}}, Opponent);
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), at(7, 7));
    EXPECT_EQ(line(ThreatSearchKind::Freestyle), cellsAt({{7, 7}, {6, 7}}));
    EXPECT_EQ(decided(ThreatSearchKind::RenjuBlack), board::NoCell);

    // An overline is a five in freestyle only.
    SetUp();
    put({{2, 7}, {3, 7}, {4, 7}, {6, 7}, {7, 7}}, Own);
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), at(5, 7));
    EXPECT_EQ(decided(ThreatSearchKind::RenjuBlack), board::NoCell);
}

TEST_F(ThreatTest, RenjuBlackTakesAnExactFiveEvenBesideAnOverline) {
    put({{3, 7}, {4, 7}, {5, 7}, {6, 7}}, Own);
    put({{7, 4}, {7, 5}, {7, 6}, {7, 8}, {7, 9}, {7, 10}}, Own);
    put({{2, 7}}, Opponent);
    EXPECT_EQ(decided(ThreatSearchKind::RenjuBlack), at(7, 7));
    EXPECT_EQ(line(ThreatSearchKind::RenjuBlack), cellsAt({{7, 7}}));
}

TEST_F(ThreatTest, RenjuWhiteWinsWhenBlackMustBlockOnAForbiddenPoint) {
    // First a line that ends in a five, to leave two entries on the stack.
    put({{5, 2}, {6, 2}, {7, 2}}, Own);
    put({{0, 14}, {2, 14}, {4, 14}, {6, 14}}, Opponent);
    EXPECT_EQ(decided(ThreatSearchKind::RenjuWhite), at(4, 2));
    EXPECT_EQ(line(ThreatSearchKind::RenjuWhite), cellsAt({{4, 2}, {8, 2}}));

    SetUp();
    put({{5, 7}, {6, 7}, {7, 5}, {7, 6}, {6, 6}, {12, 12}}, Opponent);
    put({{8, 8}, {9, 9}, {10, 10}}, Own);
    board::takeCensus(Own);
    ASSERT_EQ(board::engineBoard.firstPlayer, Opponent);
    // (7, 7) comes first and dies on the block (11, 11); the block that (11, 11) forces is
    // black's double three on (7, 7), so the line ends in that four.
    EXPECT_EQ(decided(ThreatSearchKind::RenjuWhite), at(11, 11));
    EXPECT_EQ(line(ThreatSearchKind::RenjuWhite), cellsAt({{11, 11}}));
    // Without the forbidden point there is nothing.
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), board::NoCell);
}

TEST_F(ExactThreatTest, SixInARowIsNoFiveForEitherSide) {
    put({{0, 5}, {1, 5}, {2, 5}, {4, 5}, {5, 5}}, Opponent);  // (3, 5) makes six
    put({{5, 10}, {6, 10}, {7, 10}}, Own);                    // an open three
    EXPECT_EQ(decided(ThreatSearchKind::ExactFive), at(4, 10));
    EXPECT_EQ(line(ThreatSearchKind::ExactFive), cellsAt({{4, 10}, {8, 10}}));
    // Freestyle: the opponent's five cell must be taken first, and there it makes nothing.
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), board::NoCell);

    put({{0, 0}, {1, 0}, {2, 0}, {4, 0}, {5, 0}}, Own);  // (3, 0) makes six
    EXPECT_EQ(decided(ThreatSearchKind::ExactFive), at(4, 10));
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), at(3, 0));
}

// The 'oxxx..' unit used below: a blocked three whose lower four cell (g+4, y) forces the block
// on (g+5, y) and leaves nothing behind. Units sit in every third row, seven columns apart, so
// that no two of them share a line.
void putBlockedThree(int32_t g, int32_t y) {
    put({{g, y}}, Opponent);
    put({{g + 1, y}, {g + 2, y}, {g + 3, y}}, Own);
}

constexpr int32_t UnitWidth = 7;
constexpr int32_t UnitRows = 3;

// More candidates on one level than the lists keep: every one of them but the last leaves the
// opponent's five cell open, and the last one wins.
TEST_F(ThreatTest, CandidatesBeyondTheListsAreStillTried) {
    velka::testing::freshBoard(50, 50);
    for (int32_t y = 0; y <= 33; y += UnitRows) {
        for (int32_t g = 0; g + UnitWidth <= 50; g += UnitWidth) putBlockedThree(g, y);
    }
    put({{29, 38}}, Own);
    put({{30, 38}, {31, 38}, {32, 38}, {33, 38}}, Opponent);  // five cell (34, 38)
    put({{34, 35}, {34, 36}, {34, 37}}, Own);

    int32_t fours = 0;
    const board::EngineBoard& b = board::engineBoard;
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        if (b.cells[cell] != board::CellEmpty) continue;
        uint32_t quad = 0;
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            const uint32_t code = board::windowCode(d, cell) | (Own << patterns::CentreShift);
            quad |= patterns::freeShape(patterns::patternEntry(code)) << (5 * d);
        }
        fours += patterns::ThreatLevelTable[quad] >= patterns::ThreatFour ? 1 : 0;
    }
    ASSERT_GT(fours, 150);

    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), at(34, 38));
}

// A line of 288 fours on an 80 x 80 board, run on a thread with the ThinkThread's stack.
TEST_F(ThreatTest, LongLineOnTheLargestBoard) {
    velka::testing::freshBoard(80, 80);
    std::vector<int32_t> expected;
    for (int32_t y = 0; y <= 75; y += UnitRows) {
        for (int32_t g = 0; g + UnitWidth <= 80; g += UnitWidth) {
            putBlockedThree(g, y);
            expected.push_back(at(g + 4, y));
        }
    }
    // Last comes an open three; (72, 78) dies, (73, 78) makes the open four.
    put({{74, 78}, {75, 78}, {76, 78}}, Own);
    expected.push_back(at(73, 78));
    expected.push_back(at(77, 78));
    ASSERT_EQ(expected.size(), 288u);

    static int32_t move;
    const auto run = [](void*) -> void* {
        move = decided(ThreatSearchKind::Freestyle);
        return nullptr;
    };
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, protocol::ThinkThreadStackBytes);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, run, nullptr), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);

    EXPECT_EQ(move, at(4, 0));
    EXPECT_EQ(line(ThreatSearchKind::Freestyle), expected);
}

// Many fours that each die after one block: the search tries every order of them (3^n
// positions for n of these threes), so it must watch the clock.
class ThreatClockTest : public ThreatTest {
  protected:
    void SetUp() override { velka::testing::freshBoard(20, 20); }

    static void putDeadThrees(int32_t count) {
        for (int32_t i = 0; i < count; ++i)
            putBlockedThree(UnitWidth * (i % 2), UnitRows * (i / 2));
    }

    // As a move decision would run it, but with the move's whole budget already gone.
    static int32_t decidedLate(ThreatSearchKind kind) {
        board::takeCensus(Own);
        search::startTurnClock(board::engineBoard.emptyCount, 120000, 5000);
        search::turnStart.store(search::clockMs() - 60000);
        velka::testing::freshMemory();
        const velka::testing::BoardImage before = velka::testing::boardImage();
        const int32_t move = search::threatMove(kind);
        EXPECT_TRUE(velka::testing::sameImage(velka::testing::boardImage(), before));
        return move;
    }
};

TEST_F(ThreatClockTest, GivesUpOnceHalfTheBudgetIsSpent) {
    putDeadThrees(12);  // a few seconds of search
    EXPECT_EQ(decidedLate(ThreatSearchKind::Freestyle), board::NoCell);
    EXPECT_TRUE(search::threatSearchGaveUp());
}

TEST_F(ThreatClockTest, ALargeSearchWithinTheBudgetRunsToItsEnd) {
    putDeadThrees(6);  // a few thousand levels, a few milliseconds
    EXPECT_EQ(decided(ThreatSearchKind::Freestyle), board::NoCell);
    EXPECT_FALSE(search::threatSearchGaveUp());
    // The same search, late, would give up: it does read the clock.
    EXPECT_EQ(decidedLate(ThreatSearchKind::Freestyle), board::NoCell);
    EXPECT_TRUE(search::threatSearchGaveUp());
}

TEST_F(ThreatClockTest, ASmallSearchNeverLooksAtTheClock) {
    putDeadThrees(2);
    put({{5, 17}, {6, 17}, {7, 17}}, Own);
    EXPECT_EQ(decidedLate(ThreatSearchKind::Freestyle), at(4, 0));
    EXPECT_FALSE(search::threatSearchGaveUp());
}

}  // namespace
