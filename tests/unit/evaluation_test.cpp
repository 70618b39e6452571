// Leaf verdicts and the static evaluation under the three rule variants.
#include "search/evaluation.h"

#include <gtest/gtest.h>

#include "search_test_board.h"

namespace velka::search {
namespace {

using patterns::RuleVariant;
using testing::at;
using testing::placeRows;

class EvaluationTest : public ::testing::Test {
  protected:
    // The tables are built once per classification; tests of one variant sit together.
    static void useVariant(RuleVariant variant) {
        patterns::refreshPatternTables(variant);
        testing::freshBoard(15, 15);
        board::engineBoard.firstPlayer = board::CellOwn;
    }
    static void SetUpTestSuite() { patterns::buildPatternTables(RuleVariant::Freestyle); }
};

TEST_F(EvaluationTest, EmptyBoardIsLevelForEverySide) {
    for (RuleVariant v : {RuleVariant::Freestyle, RuleVariant::Renju, RuleVariant::ExactFive}) {
        useVariant(v);
        for (int32_t side : {1, 2}) EXPECT_EQ(staticEvaluation(v, side), 0);
    }
}

TEST_F(EvaluationTest, ScoresAreSeenFromTheSideToMove) {
    useVariant(RuleVariant::Freestyle);
    // A centre stone is worth more than a corner stone, and the two views are exact opposites.
    placeRows(0, 0, {"O"});
    placeRows(7, 7, {"X"});
    const int32_t own = staticEvaluation(RuleVariant::Freestyle, 1);
    EXPECT_GT(own, 0);
    EXPECT_EQ(staticEvaluation(RuleVariant::Freestyle, 2), -own);
    // A longer line counts for each of its stones.
    placeRows(8, 7, {"X"});
    EXPECT_GT(staticEvaluation(RuleVariant::Freestyle, 1), own);
}

TEST_F(EvaluationTest, FoursDecideBeforeTheSum) {
    useVariant(RuleVariant::Freestyle);
    // X: a four closed on the left; O: an open four.
    placeRows(1, 3, {"OXXXX."});
    placeRows(3, 9, {".OOOO."});
    // The side to move with any four completes five first, whatever the opponent holds.
    EXPECT_EQ(staticEvaluation(RuleVariant::Freestyle, 1), NearWinScore);
    EXPECT_EQ(staticEvaluation(RuleVariant::Freestyle, 2), NearWinScore);

    useVariant(RuleVariant::Freestyle);
    placeRows(3, 9, {".OOOO."});
    placeRows(7, 12, {"X"});
    EXPECT_EQ(staticEvaluation(RuleVariant::Freestyle, 1), NearLossScore);

    // A plain four of the opponent can be blocked: the score stays an ordinary sum.
    useVariant(RuleVariant::Freestyle);
    placeRows(2, 9, {"XOOOO."});
    const int32_t v = staticEvaluation(RuleVariant::Freestyle, 1);
    EXPECT_NE(v, NearLossScore);
    EXPECT_LT(v, 0);
    EXPECT_GT(v, NearLossScore);
}

TEST_F(EvaluationTest, OverlineWinsInFreestyleOnly) {
    useVariant(RuleVariant::Freestyle);
    placeRows(2, 7, {"XXXXX"});
    EXPECT_EQ(leafVerdict(RuleVariant::Freestyle, at(4, 7)), LossScore);
    placeRows(7, 7, {"X"});
    EXPECT_EQ(leafVerdict(RuleVariant::Freestyle, at(7, 7)), LossScore);

    useVariant(RuleVariant::ExactFive);
    placeRows(2, 7, {"XXXXX"});
    EXPECT_EQ(leafVerdict(RuleVariant::ExactFive, at(6, 7)), LossScore);
    placeRows(7, 7, {"X"});
    EXPECT_EQ(leafVerdict(RuleVariant::ExactFive, at(7, 7)), NoScore);
    EXPECT_EQ(leafVerdict(RuleVariant::ExactFive, at(2, 7)), NoScore);
    // Only the lines through the last stone count: an old four elsewhere is no verdict.
    placeRows(2, 10, {"OOOO"});
    EXPECT_EQ(leafVerdict(RuleVariant::ExactFive, at(5, 10)), NoScore);
}

TEST_F(EvaluationTest, RenjuVerdictsForBlackAndWhite) {
    for (int32_t black : {1, 2}) {
        const char blackStone = black == 1 ? 'X' : 'O';
        const char whiteStone = black == 1 ? 'O' : 'X';
        auto row = [](char stone, int n) { return std::string(n, stone); };

        // A black overline is forbidden: the side to move (white) wins.
        useVariant(RuleVariant::Renju);
        board::engineBoard.firstPlayer = black;
        placeRows(2, 7, {row(blackStone, 6).c_str()});
        EXPECT_EQ(leafVerdict(RuleVariant::Renju, at(7, 7)), WinScore) << "black " << black;

        // A white overline wins.
        useVariant(RuleVariant::Renju);
        board::engineBoard.firstPlayer = black;
        placeRows(2, 7, {row(whiteStone, 6).c_str()});
        EXPECT_EQ(leafVerdict(RuleVariant::Renju, at(7, 7)), LossScore) << "black " << black;

        // Black's stone on (7,7) makes two fours: forbidden.
        useVariant(RuleVariant::Renju);
        board::engineBoard.firstPlayer = black;
        const std::string b(1, blackStone);
        for (int i = 4; i <= 7; ++i) {
            placeRows(7, i, {b.c_str()});
            placeRows(i, i, {b.c_str()});
        }
        EXPECT_EQ(leafVerdict(RuleVariant::Renju, at(7, 7)), WinScore) << "black " << black;

        // The same stone also completing exactly five is a win for black, never forbidden.
        placeRows(3, 7, {row(blackStone, 4).c_str()});
        EXPECT_EQ(leafVerdict(RuleVariant::Renju, at(7, 7)), LossScore) << "black " << black;
    }
}

TEST_F(EvaluationTest, RenjuReadsTheFieldOfTheSideToMove) {
    for (int32_t black : {1, 2}) {
        const int32_t white = black ^ 3;
        useVariant(RuleVariant::Renju);
        board::engineBoard.firstPlayer = black;
        // Black: four stones with a free cell on the left and a black stone beyond the right free
        // cell. Filling the right cell makes six: an open four when five or more wins, a plain
        // four under exact five.
        const char bs = black == 1 ? 'X' : 'O';
        std::string line = std::string(".") + std::string(4, bs) + "." + bs;
        placeRows(3, 7, {line.c_str()});

        // White to move reads every stone with freeShape: black's open four cannot be stopped.
        EXPECT_EQ(staticEvaluation(RuleVariant::Renju, white), NearLossScore) << "black " << black;
        // Under exact five black has only a four, which white can block.
        EXPECT_EQ(staticEvaluation(RuleVariant::ExactFive, white) == NearLossScore, false);
        // Black to move reads exactShape; its four still wins next move.
        EXPECT_EQ(staticEvaluation(RuleVariant::Renju, black), NearWinScore) << "black " << black;

        // A black four whose only completion is an overline is no four when black is to move.
        useVariant(RuleVariant::Renju);
        board::engineBoard.firstPlayer = black;
        line = std::string(3, bs) + "." + std::string(2, bs);
        placeRows(3, 7, {line.c_str()});
        EXPECT_NE(staticEvaluation(RuleVariant::Renju, black), NearWinScore) << "black " << black;
        EXPECT_EQ(staticEvaluation(RuleVariant::Freestyle, black), NearWinScore);
    }
}

}  // namespace
}  // namespace velka::search
