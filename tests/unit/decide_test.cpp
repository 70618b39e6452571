#include "search/decide.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "board/board.h"
#include "board/spiral.h"
#include "search/memory.h"
#include "search/time_control.h"

namespace {

using namespace velka;
using board::engineBoard;
using patterns::RuleVariant;

constexpr RuleVariant Variants[] = {RuleVariant::Freestyle, RuleVariant::ExactFive,
                                    RuleVariant::Renju};

class Decide : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Full tables: decideMove goes on to the threat and main searches once the opening rule
        // is done with.
        patterns::buildPatternTables(RuleVariant::Freestyle);
        search::sizeMemoryWithWorkingSet(1u << 20, 0);
    }
    static void TearDownTestSuite() { search::releaseMemory(); }

    static void newBoard(int32_t width, int32_t height) {
        board::initBoard(width, height);
        board::buildSpiralOrders(width, height);
        board::buildWindowOffsets(width);
    }
    static void place(int32_t x, int32_t y, int32_t code) {
        board::setCell(board::cellIndex(x, y), code);
    }
    // What playTurn does before the decision.
    static void prepareTurn(RuleVariant variant) {
        patterns::refreshPatternTables(variant);
        board::takeCensus(board::CellOwn);
        search::startTurnClock(engineBoard.emptyCount, 120000, 5000);
        search::wipeMemory();
    }

    // The first empty cell of the current order among the eight neighbours of any stone.
    static int32_t firstEmptyNeighbour() {
        for (int32_t i = 0; i < engineBoard.cellCount; ++i) {
            const int32_t c = board::spiralCell(i);
            if (engineBoard.cells[c] != board::CellEmpty) continue;
            const int32_t x = c % engineBoard.width, y = c / engineBoard.width;
            for (int32_t dy = -1; dy <= 1; ++dy) {
                for (int32_t dx = -1; dx <= 1; ++dx) {
                    if (board::onBoard(x + dx, y + dy) &&
                        engineBoard.cells[board::cellIndex(x + dx, y + dy)] != board::CellEmpty)
                        return c;
                }
            }
        }
        return board::NoCell;
    }
};

TEST_F(Decide, EmptyBoardTakesTheSpiralsFirstCell) {
    newBoard(20, 20);
    for (RuleVariant variant : Variants) {
        prepareTurn(variant);
        for (int32_t t = 0; t < board::SpiralOrderCount; ++t) {
            board::currentSpiral = t;
            EXPECT_EQ(search::openingMove(), board::spiralCell(0));
            EXPECT_EQ(search::decideMove(variant), board::spiralCell(0));
        }
    }
    EXPECT_EQ(engineBoard.hash, 0u);  // nothing placed
}

TEST_F(Decide, OneOrTwoStonesGiveTheFirstNeighbourInSpiralOrder) {
    struct Stones {
        std::vector<std::array<int32_t, 3>> cells;  // x, y, code
    };
    const Stones cases[] = {
        {{{9, 9, 2}}},
        {{{0, 0, 2}}},
        {{{19, 10, 2}}},
        {{{14, 3, 2}}},
        {{{0, 19, 2}, {19, 0, 1}}},   // far apart, both in corners
        {{{4, 15, 2}, {15, 4, 1}}},   // far apart
        {{{9, 10, 2}, {10, 10, 1}}},  // side by side at the centre
        {{{10, 9, 1}, {9, 10, 2}}},
    };
    for (const Stones& s : cases) {
        newBoard(20, 20);
        for (const auto& c : s.cells) place(c[0], c[1], c[2]);
        for (RuleVariant variant : Variants) {
            prepareTurn(variant);
            for (int32_t t = 0; t < board::SpiralOrderCount; ++t) {
                board::currentSpiral = t;
                const int32_t expected = firstEmptyNeighbour();
                SCOPED_TRACE(testing::Message() << "first stone (" << s.cells[0][0] << ","
                                                << s.cells[0][1] << ") order " << t);
                ASSERT_NE(expected, board::NoCell);
                EXPECT_EQ(search::openingMove(), expected);
                EXPECT_EQ(search::decideMove(variant), expected);
            }
        }
    }
}

TEST_F(Decide, OpeningRuleStopsAtThreeStones) {
    newBoard(15, 15);
    place(7, 7, 2);
    place(8, 8, 1);
    place(3, 11, 2);
    prepareTurn(RuleVariant::Freestyle);
    EXPECT_EQ(search::openingMove(), board::NoCell);
    // The searches take over; with the shortest budget they still answer an empty cell and
    // leave the board as it was.
    search::startTurnClock(engineBoard.emptyCount, 0, 0);
    const uint64_t hash = engineBoard.hash;
    const int32_t move = search::decideMove(RuleVariant::Freestyle);
    ASSERT_GE(move, 0);
    EXPECT_EQ(engineBoard.cells[move], board::CellEmpty);
    EXPECT_EQ(engineBoard.hash, hash);
    EXPECT_TRUE(board::boardIsConsistent());
}

// Rows of the pattern 1 1 2 2 shifted by one each row: no three in a row in any direction.
void fillWithoutLines(int32_t skipIndex) {
    for (int32_t y = 0; y < engineBoard.height; ++y) {
        for (int32_t x = 0; x < engineBoard.width; ++x) {
            if (board::cellIndex(x, y) != skipIndex)
                board::setCell(board::cellIndex(x, y), 1 + (x / 2 + y) % 2);
        }
    }
}

TEST_F(Decide, LastEmptyCellAndFullBoard) {
    for (int32_t skip : {0, 12, 24, 17}) {
        newBoard(5, 5);
        fillWithoutLines(skip);
        for (RuleVariant variant : Variants) {
            prepareTurn(variant);
            for (int32_t t = 0; t < board::SpiralOrderCount; ++t) {
                board::currentSpiral = t;
                EXPECT_EQ(search::firstFreeSpiralCell(), skip);
                EXPECT_EQ(search::decideMove(variant), skip);
            }
        }
    }
    newBoard(5, 5);
    fillWithoutLines(board::NoCell);
    for (RuleVariant variant : Variants) {
        prepareTurn(variant);
        EXPECT_EQ(search::firstFreeSpiralCell(), board::NoCell);
        EXPECT_EQ(search::decideMove(variant), board::NoCell);
    }
    EXPECT_TRUE(board::boardIsConsistent());
}

}  // namespace
