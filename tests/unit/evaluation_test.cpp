// Leaf verdicts and the static evaluation under the three rule variants. (That under Renju each
// colour's stones count by its own rules: search_board_test, against a plain evaluation.)
#include "search/evaluation.h"

#include <gtest/gtest.h>

#include "search_test_board.h"

namespace velka::search {
namespace {

using patterns::RuleVariant;
using testing::at;
using testing::placeRows;
constexpr RuleVariant Free = RuleVariant::Freestyle;
constexpr RuleVariant Exact = RuleVariant::ExactFive;
constexpr RuleVariant Renju = RuleVariant::Renju;

// The evaluation and the verdict on the stone on the cell, as the search gets them from the
// engine's board.
int32_t evaluation(RuleVariant v, int32_t side) {
    return staticEvaluation(testing::searchBoard(v).totals, side);
}

int32_t verdict(RuleVariant v, int32_t cell) {
    SearchBoard& sb = testing::searchBoard(v);
    return leafVerdict(sb, cell, sb.board.cells[cell]);
}

class EvaluationTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { patterns::buildPatternTables(Free); }
    static void fresh(RuleVariant v, int32_t black = board::CellOwn) {
        patterns::refreshPatternTables(v);
        testing::freshBoard(15, 15);
        board::engineBoard.firstPlayer = black;
    }
    // `length` stones of `code` along row y from x.
    static void row(int32_t x, int32_t y, int32_t length, int32_t code) {
        for (int32_t i = 0; i < length; ++i) board::setCell(at(x + i, y), code);
    }
};

// An empty board is level; otherwise the two sides' views are opposite, until a four decides:
// the side to move with any four completes five first, even against an open four.
TEST_F(EvaluationTest, SumsAreOppositeViewsAndFoursDecideFirst) {
    for (RuleVariant v : {Free, Renju, Exact}) {
        fresh(v);
        for (int32_t side : {1, 2}) EXPECT_EQ(evaluation(v, side), 0);
    }
    placeRows(0, 0, {"O"});
    placeRows(7, 7, {"X"});
    const int32_t own = evaluation(Exact, 1);
    EXPECT_GT(own, 0);  // a centre stone beats a corner stone
    EXPECT_EQ(evaluation(Exact, 2), -own);
    fresh(Free);
    placeRows(1, 3, {"OXXXX."});
    placeRows(3, 9, {".OOOO."});
    EXPECT_EQ(evaluation(Free, 1), NearWinScore);
    EXPECT_EQ(evaluation(Free, 2), NearWinScore);
    fresh(Free);
    placeRows(3, 9, {".OOOO."});
    placeRows(7, 12, {"X"});
    EXPECT_EQ(evaluation(Free, 1), NearLossScore);
    // A plain four of the opponent can be blocked: the score stays a sum.
    fresh(Free);
    placeRows(2, 9, {"XOOOO."});
    EXPECT_LT(evaluation(Free, 1), 0);
    EXPECT_GT(evaluation(Free, 1), NearLossScore);
}

// The verdict on the last stone: only the lines through it count; an overline wins in freestyle
// and for Renju white, not in exact five, and a forbidden stone of Renju black loses at once.
TEST_F(EvaluationTest, LeafVerdictsUnderEachRule) {
    for (RuleVariant v : {Free, Exact}) {
        fresh(v);
        placeRows(2, 7, {"XXXXX"});
        EXPECT_EQ(verdict(v, at(4, 7)), LossScore);
        placeRows(7, 7, {"X"});
        EXPECT_EQ(verdict(v, at(7, 7)), v == Free ? LossScore : NoScore);
        placeRows(2, 10, {"OOOO"});
        EXPECT_EQ(verdict(v, at(5, 10)), NoScore);
    }
    for (int32_t black : {1, 2}) {
        SCOPED_TRACE(::testing::Message() << "black " << black);
        fresh(Renju, black);
        row(2, 7, 6, black);  // a black overline is forbidden: white, to move, wins
        EXPECT_EQ(verdict(Renju, at(7, 7)), WinScore);
        fresh(Renju, black);
        row(2, 7, 6, black ^ 3);  // a white overline wins
        EXPECT_EQ(verdict(Renju, at(7, 7)), LossScore);
        // Black's stone on (7,7) makes two fours: forbidden; with an exact five as well it wins.
        fresh(Renju, black);
        for (int32_t i = 4; i <= 7; ++i) {
            board::setCell(at(7, i), black);
            if (i < 7) board::setCell(at(i, i), black);
        }
        EXPECT_EQ(verdict(Renju, at(7, 7)), WinScore);
        row(3, 7, 4, black);
        EXPECT_EQ(verdict(Renju, at(7, 7)), LossScore);
    }
}

}  // namespace
}  // namespace velka::search
