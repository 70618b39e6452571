// The move decision: the opening rule for the first stones, the last empty cell, and Renju black
// kept off its forbidden points when every move loses.
#include "search/decide.h"

#include <gtest/gtest.h>

#include "board/spiral.h"
#include "search/forbidden.h"
#include "search_test_board.h"

namespace {

using namespace velka;
using board::engineBoard;
using patterns::RuleVariant;
using velka::testing::at;

constexpr RuleVariant Variants[] = {RuleVariant::Freestyle, RuleVariant::ExactFive,
                                    RuleVariant::Renju};

class Decide : public ::testing::Test {
  protected:
    // Full tables: past the opening rule decideMove goes on to the threat and main searches.
    static void SetUpTestSuite() {
        patterns::buildPatternTables(RuleVariant::Freestyle);
        search::sizeMemoryWithWorkingSet(player().memory, 1u << 20, 0);
    }
    static void TearDownTestSuite() { search::releaseMemory(player().memory); }
    static search::Player& player() { return velka::testing::player(); }
    static int32_t decide(RuleVariant variant) {
        return search::decideMove(player(), engineBoard, variant);
    }
    static void newBoard(int32_t side) {
        velka::testing::freshBoard(side, side);
        board::buildSpiralOrders(side, side);
    }
    // What playTurn does before the decision.
    static void prepareTurn(RuleVariant variant) {
        patterns::refreshPatternTables(variant);
        board::takeCensus(board::CellOwn);
        velka::testing::startClock(4900);
        search::wipeMemory(player().memory);
    }
};

// No stone: the spiral's first cell. One or two: the first empty cell in spiral order beside a
// stone (of the eight around it). Three: no opening move, the searches decide.
TEST_F(Decide, UpToTwoStonesTakeTheOpeningMoveInEveryOrder) {
    // Rows: x, y, code of up to three stones; x = -1 for none.
    const int32_t cases[][9] = {{-1, 0, 0, -1, 0, 0, -1, 0, 0}, {9, 9, 2, -1, 0, 0, -1, 0, 0},
                                {0, 0, 2, -1, 0, 0, -1, 0, 0},  {19, 10, 2, -1, 0, 0, -1, 0, 0},
                                {0, 19, 2, 19, 0, 1, -1, 0, 0}, {9, 10, 2, 10, 10, 1, -1, 0, 0},
                                {10, 9, 1, 9, 10, 2, -1, 0, 0}, {7, 7, 2, 8, 8, 1, 3, 11, 2}};
    for (const auto& s : cases) {
        newBoard(20);
        int32_t stones = 0;
        for (int32_t k = 0; k < 9; k += 3) {
            if (s[k] < 0) continue;
            board::setCell(at(s[k], s[k + 1]), s[k + 2]);
            ++stones;
        }
        for (RuleVariant variant : Variants) {
            prepareTurn(variant);
            for (int32_t t = 0; t < board::SpiralOrderCount; ++t) {
                board::currentSpiral = t;
                SCOPED_TRACE(::testing::Message() << "stone (" << s[0] << "," << s[1] << ") order "
                                                  << t << " variant " << static_cast<int>(variant));
                int32_t expected = stones == 0 ? board::spiralCell(0) : board::NoCell;
                for (int32_t i = 0; i < engineBoard.cellCount && stones > 0 && stones < 3; ++i) {
                    const int32_t c = board::spiralCell(i), x = c % 20, y = c / 20;
                    bool beside = false;
                    for (int32_t n = 0; n < 9; ++n)
                        beside = beside || (board::onBoard(x + n % 3 - 1, y + n / 3 - 1) &&
                                            engineBoard.cells[at(x + n % 3 - 1, y + n / 3 - 1)]);
                    if (engineBoard.cells[c] == board::CellEmpty && beside) {
                        expected = c;
                        break;
                    }
                }
                EXPECT_EQ(search::openingMove(engineBoard), expected);
                if (stones == 3) velka::testing::startClock(0);  // the shortest budget
                const int32_t move = decide(variant);
                if (stones < 3) {
                    EXPECT_EQ(move, expected);
                }
                ASSERT_GE(move, 0);
                EXPECT_EQ(engineBoard.cells[move], board::CellEmpty);
            }
        }
    }
}

// A 5 x 5 board filled with rows of 1 1 2 2, shifted by one each row (no three in a row), but for
// one cell: that cell is the only answer; on the full board there is none.
TEST_F(Decide, LastEmptyCellAndFullBoard) {
    for (int32_t skip : {0, 12, 24, 17, board::NoCell}) {
        newBoard(5);
        for (int32_t i = 0; i < 25; ++i)
            if (i != skip) board::setCell(i, 1 + (i % 5 / 2 + i / 5) % 2);
        for (RuleVariant variant : Variants) {
            prepareTurn(variant);
            for (board::currentSpiral = 0; board::currentSpiral < board::SpiralOrderCount;
                 ++board::currentSpiral) {
                EXPECT_EQ(search::firstFreeSpiralCell(engineBoard), skip);
                EXPECT_EQ(decide(variant), skip);
            }
        }
    }
}

// Black (the engine) must block white's five on (7, 7), a double-three point: every move loses,
// but a forbidden one would lose on the spot, so an allowed cell is played instead.
TEST_F(Decide, RenjuBlackNeverPlaysAForbiddenPoint) {
    newBoard(15);
    velka::testing::put({{5, 7}, {6, 7}, {7, 5}, {7, 6}, {2, 2}}, board::CellOwn);
    velka::testing::put({{3, 3}, {4, 4}, {5, 5}, {6, 6}}, board::CellOpponent);
    prepareTurn(RuleVariant::Renju);
    ASSERT_TRUE(search::forbiddenIfPlayed(engineBoard, at(7, 7), board::CellOwn));
    const int32_t move = decide(RuleVariant::Renju);
    ASSERT_NE(move, board::NoCell);
    EXPECT_EQ(engineBoard.cells[move], board::CellEmpty);
    EXPECT_FALSE(search::forbiddenIfPlayed(engineBoard, move, board::CellOwn));
    // Colours exchanged: the engine is white and its five on (7, 7) is no forbidden point.
    for (int32_t i = 0; i < engineBoard.cellCount; ++i)
        if (engineBoard.cells[i] != board::CellEmpty) board::setCell(i, engineBoard.cells[i] ^ 3);
    prepareTurn(RuleVariant::Renju);
    EXPECT_EQ(decide(RuleVariant::Renju), at(7, 7));
}

}  // namespace
