#include "search/decide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/board.h"
#include "board/spiral.h"
#include "patterns/pattern_table.h"
#include "search/forbidden.h"
#include "search/memory.h"
#include "search/time_control.h"
#include "search_test_board.h"

namespace {

using namespace velka;
using board::engineBoard;
using patterns::RuleVariant;

constexpr RuleVariant Variants[] = {RuleVariant::Freestyle, RuleVariant::ExactFive,
                                    RuleVariant::Renju};

class Decide : public ::testing::Test {
  protected:
    // Full tables: past the opening rule decideMove goes on to the threat and main searches.
    static void SetUpTestSuite() {
        patterns::buildPatternTables(RuleVariant::Freestyle);
        search::sizeMemoryWithWorkingSet(1u << 20, 0);
    }
    static void TearDownTestSuite() { search::releaseMemory(); }

    static void newBoard(int32_t side) {
        board::initBoard(side, side);
        board::buildSpiralOrders(side, side);
        board::buildWindowOffsets(side);
    }
    // What playTurn does before the decision.
    static void prepareTurn(RuleVariant variant) {
        patterns::refreshPatternTables(variant);
        board::takeCensus(board::CellOwn);
        velka::testing::startClock(4900);
        search::wipeMemory();
    }
    // Reference: the first empty cell in the current order with a stone among its 8 neighbours,
    // or the order's first cell on an empty board.
    static int32_t expectedOpening() {
        const auto cells = engineBoard.cells.begin();
        if (std::count(cells, cells + engineBoard.cellCount, 0) == engineBoard.cellCount)
            return board::spiralCell(0);
        for (int32_t i = 0; i < engineBoard.cellCount; ++i) {
            const int32_t c = board::spiralCell(i);
            if (engineBoard.cells[c] != board::CellEmpty) continue;
            const int32_t x = c % engineBoard.width, y = c / engineBoard.width;
            for (int32_t n = 0; n < 9; ++n) {
                const int32_t nx = x + n % 3 - 1, ny = y + n / 3 - 1;
                if (board::onBoard(nx, ny) && engineBoard.cells[board::cellIndex(nx, ny)] != 0)
                    return c;
            }
        }
        return board::NoCell;
    }
};

TEST_F(Decide, NoStoneOrOneOrTwoStonesTakeTheOpeningMove) {
    // Rows: x, y, code of up to two stones; x = -1 for none.
    const int32_t cases[][6] = {{-1, 0, 0, -1, 0, 0},  {9, 9, 2, -1, 0, 0},   {0, 0, 2, -1, 0, 0},
                                {19, 10, 2, -1, 0, 0}, {14, 3, 2, -1, 0, 0},  {0, 19, 2, 19, 0, 1},
                                {4, 15, 2, 15, 4, 1},  {9, 10, 2, 10, 10, 1}, {10, 9, 1, 9, 10, 2}};
    for (const auto& s : cases) {
        newBoard(20);
        for (int32_t k = 0; k < 6; k += 3) {
            if (s[k] >= 0) board::setCell(board::cellIndex(s[k], s[k + 1]), s[k + 2]);
        }
        for (RuleVariant variant : Variants) {
            prepareTurn(variant);
            for (int32_t t = 0; t < board::SpiralOrderCount; ++t) {
                board::currentSpiral = t;
                SCOPED_TRACE(::testing::Message() << "stone (" << s[0] << "," << s[1] << ") order "
                                                  << t << " variant " << static_cast<int>(variant));
                const int32_t expected = expectedOpening();
                ASSERT_NE(expected, board::NoCell);
                EXPECT_EQ(search::openingMove(), expected);
                EXPECT_EQ(search::decideMove(variant), expected);
            }
        }
    }
}

TEST_F(Decide, ThreeStonesLeaveItToTheSearches) {
    newBoard(15);
    board::setCell(board::cellIndex(7, 7), 2);
    board::setCell(board::cellIndex(8, 8), 1);
    board::setCell(board::cellIndex(3, 11), 2);
    prepareTurn(RuleVariant::Freestyle);
    EXPECT_EQ(search::openingMove(), board::NoCell);
    velka::testing::startClock(0);  // the shortest budget
    const int32_t move = search::decideMove(RuleVariant::Freestyle);
    ASSERT_GE(move, 0);
    EXPECT_EQ(engineBoard.cells[move], board::CellEmpty);
}

// A 5 x 5 board filled with rows of 1 1 2 2, shifted by one each row (no three in a row), but for
// one cell: that cell is the only answer; on the full board there is none.
TEST_F(Decide, LastEmptyCellAndFullBoard) {
    for (int32_t skip : {0, 12, 24, 17, board::NoCell}) {
        newBoard(5);
        for (int32_t i = 0; i < 25; ++i) {
            if (i != skip) board::setCell(i, 1 + (i % 5 / 2 + i / 5) % 2);
        }
        for (RuleVariant variant : Variants) {
            prepareTurn(variant);
            for (int32_t t = 0; t < board::SpiralOrderCount; ++t) {
                board::currentSpiral = t;
                EXPECT_EQ(search::firstFreeSpiralCell(), skip);
                EXPECT_EQ(search::decideMove(variant), skip);
            }
        }
    }
}

// Black (the engine) must block white's five on (7, 7), a double-three point: every move loses,
// but a forbidden one would lose on the spot, so an allowed cell is played instead.
TEST_F(Decide, RenjuBlackNeverPlaysAForbiddenPoint) {
    newBoard(15);
    for (const auto& [x, y] : {std::pair{5, 7}, {6, 7}, {7, 5}, {7, 6}, {2, 2}})
        board::setCell(board::cellIndex(x, y), board::CellOwn);
    for (const int32_t i : {3, 4, 5, 6})
        board::setCell(board::cellIndex(i, i), board::CellOpponent);
    prepareTurn(RuleVariant::Renju);
    ASSERT_TRUE(search::forbiddenIfPlayed(board::cellIndex(7, 7), board::CellOwn));
    const int32_t move = search::decideMove(RuleVariant::Renju);
    ASSERT_NE(move, board::NoCell);
    EXPECT_EQ(engineBoard.cells[move], board::CellEmpty);
    EXPECT_FALSE(search::forbiddenIfPlayed(move, board::CellOwn));
    // Colours exchanged: the engine is white and its five on (7, 7) is no forbidden point.
    for (int32_t i = 0; i < engineBoard.cellCount; ++i)
        if (engineBoard.cells[i] != board::CellEmpty) board::setCell(i, engineBoard.cells[i] ^ 3);
    prepareTurn(RuleVariant::Renju);
    EXPECT_EQ(search::decideMove(RuleVariant::Renju), board::cellIndex(7, 7));
}

}  // namespace
