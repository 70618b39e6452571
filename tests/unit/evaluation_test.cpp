// Leaf verdicts and the static evaluation under the three rule variants.
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

TEST_F(EvaluationTest, EmptyBoardIsLevelAndTheTwoViewsAreOpposite) {
    for (RuleVariant v : {Free, Renju, Exact}) {
        fresh(v);
        for (int32_t side : {1, 2}) EXPECT_EQ(staticEvaluation(v, side), 0);
    }
    fresh(Free);
    placeRows(0, 0, {"O"});
    placeRows(7, 7, {"X"});
    const int32_t own = staticEvaluation(Free, 1);
    EXPECT_GT(own, 0);  // a centre stone beats a corner stone
    EXPECT_EQ(staticEvaluation(Free, 2), -own);
    placeRows(8, 7, {"X"});
    EXPECT_GT(staticEvaluation(Free, 1), own);
}

TEST_F(EvaluationTest, FoursDecideBeforeTheSum) {
    // The side to move with any four completes five first, even against an open four.
    fresh(Free);
    placeRows(1, 3, {"OXXXX."});
    placeRows(3, 9, {".OOOO."});
    EXPECT_EQ(staticEvaluation(Free, 1), NearWinScore);
    EXPECT_EQ(staticEvaluation(Free, 2), NearWinScore);
    fresh(Free);
    placeRows(3, 9, {".OOOO."});
    placeRows(7, 12, {"X"});
    EXPECT_EQ(staticEvaluation(Free, 1), NearLossScore);
    // A plain four of the opponent can be blocked: the score stays a sum.
    fresh(Free);
    placeRows(2, 9, {"XOOOO."});
    EXPECT_LT(staticEvaluation(Free, 1), 0);
    EXPECT_GT(staticEvaluation(Free, 1), NearLossScore);
}

TEST_F(EvaluationTest, OverlineWinsInFreestyleOnly) {
    for (RuleVariant v : {Free, Exact}) {
        fresh(v);
        placeRows(2, 7, {"XXXXX"});
        EXPECT_EQ(leafVerdict(v, at(4, 7)), LossScore);
        placeRows(7, 7, {"X"});
        EXPECT_EQ(leafVerdict(v, at(7, 7)), v == Free ? LossScore : NoScore);
        // Only the lines through the last stone count.
        placeRows(2, 10, {"OOOO"});
        EXPECT_EQ(leafVerdict(v, at(5, 10)), NoScore);
    }
}

TEST_F(EvaluationTest, RenjuVerdictsForBlackAndWhite) {
    for (int32_t black : {1, 2}) {
        SCOPED_TRACE(::testing::Message() << "black " << black);
        fresh(Renju, black);
        row(2, 7, 6, black);  // a black overline is forbidden: white, to move, wins
        EXPECT_EQ(leafVerdict(Renju, at(7, 7)), WinScore);
        fresh(Renju, black);
        row(2, 7, 6, black ^ 3);  // a white overline wins
        EXPECT_EQ(leafVerdict(Renju, at(7, 7)), LossScore);
        // Black's stone on (7,7) makes two fours: forbidden; with an exact five as well it wins.
        fresh(Renju, black);
        for (int32_t i = 4; i <= 7; ++i) {
            board::setCell(at(7, i), black);
            if (i < 7) board::setCell(at(i, i), black);
        }
        EXPECT_EQ(leafVerdict(Renju, at(7, 7)), WinScore);
        row(3, 7, 4, black);
        EXPECT_EQ(leafVerdict(Renju, at(7, 7)), LossScore);
    }
}

// Under Renju every stone is judged by its colour's own rules, whoever is to move: black's by the
// exact field (six in a row is no five), white's by the free field (six wins).
TEST_F(EvaluationTest, RenjuJudgesEachColourByItsOwnField) {
    for (int32_t black : {1, 2}) {
        SCOPED_TRACE(::testing::Message() << "black " << black);
        const int32_t white = black ^ 3;
        // ".xxxx.x": filling the right gap makes six. Black's: a plain four that white can block.
        fresh(Renju, black);
        row(4, 7, 4, black);
        board::setCell(at(9, 7), black);
        EXPECT_EQ(staticEvaluation(Renju, black), NearWinScore);
        EXPECT_EQ(staticEvaluation(Renju, white), staticEvaluation(Exact, white));
        EXPECT_NE(staticEvaluation(Renju, white), NearLossScore);
        // White's: an open four.
        fresh(Renju, black);
        row(4, 7, 4, white);
        board::setCell(at(9, 7), white);
        EXPECT_EQ(staticEvaluation(Renju, black), NearLossScore);
        EXPECT_EQ(staticEvaluation(Renju, white), NearWinScore);
        // "xxx.xx": the only completion is six, so a four for white and none for black.
        fresh(Renju, black);
        row(3, 7, 3, black);
        row(7, 7, 2, black);
        EXPECT_NE(staticEvaluation(Renju, black), NearWinScore);
        fresh(Renju, black);
        row(3, 7, 3, white);
        row(7, 7, 2, white);
        EXPECT_EQ(staticEvaluation(Renju, white), NearWinScore);
    }
}

}  // namespace
}  // namespace velka::search
