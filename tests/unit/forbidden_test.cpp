// The Renju forbidden-point test on hand-built 15 x 15 positions, with black as the first player.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "search/forbidden.h"
#include "search_test_board.h"

namespace {

using namespace velka;
using velka::testing::at;
using Cells = std::initializer_list<std::pair<int32_t, int32_t>>;

constexpr int32_t Black = board::CellOwn;
constexpr int32_t White = board::CellOpponent;

class ForbiddenTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { patterns::buildPatternTables(patterns::RuleVariant::Renju); }

    void SetUp() override {
        velka::testing::freshBoard(15, 15);
        board::engineBoard.firstPlayer = Black;
    }

    static void put(Cells cells, int32_t code) {
        for (const auto& [x, y] : cells) board::setCell(at(x, y), code);
    }

    // Asks about a stone of `code` on the empty (x, y) and checks that the probing stones are
    // all gone again: cells, hash and line strings as before.
    static bool forbidden(int32_t x, int32_t y, int32_t code = Black) {
        const velka::testing::BoardImage before = velka::testing::boardImage();
        const bool answer = search::forbiddenIfPlayed(at(x, y), code);
        EXPECT_TRUE(velka::testing::sameImage(velka::testing::boardImage(), before));
        EXPECT_TRUE(board::boardIsConsistent());
        return answer;
    }
};

TEST_F(ForbiddenTest, DoubleThreeIsForbiddenUnlessAThreeIsBlocked) {
    put({{5, 7}, {6, 7}, {7, 5}, {7, 6}}, Black);
    EXPECT_TRUE(forbidden(7, 7));

    // isForbiddenPoint on a stone already standing there gives the same answer.
    board::setCell(at(7, 7), Black);
    EXPECT_TRUE(search::isForbiddenPoint(at(7, 7)));
    board::setCell(at(7, 7), board::CellEmpty);

    // The horizontal three can no longer become an open four.
    put({{4, 7}}, White);
    EXPECT_FALSE(forbidden(7, 7));
}

TEST_F(ForbiddenTest, OnlyTheFirstPlayerIsRestricted) {
    put({{5, 7}, {6, 7}, {7, 5}, {7, 6}}, White);
    EXPECT_FALSE(forbidden(7, 7, White));
    board::engineBoard.firstPlayer = White;
    EXPECT_TRUE(forbidden(7, 7, White));
    // An empty cell holds no stone at all.
    EXPECT_FALSE(search::isForbiddenPoint(at(7, 7)));
}

TEST_F(ForbiddenTest, FoursInTwoLinesAreForbiddenFourAndThreeIsNot) {
    put({{3, 7}, {4, 7}, {5, 7}, {7, 3}, {7, 4}, {7, 5}}, Black);
    EXPECT_TRUE(forbidden(7, 7));

    SetUp();
    put({{4, 7}, {5, 7}, {6, 7}, {7, 5}, {7, 6}}, Black);
    EXPECT_FALSE(forbidden(7, 7));
}

TEST_F(ForbiddenTest, OverlineAndTwoFoursInOneLine) {
    put({{2, 7}, {3, 7}, {4, 7}, {6, 7}, {7, 7}}, Black);
    EXPECT_TRUE(forbidden(5, 7));   // six in a row
    EXPECT_FALSE(forbidden(8, 7));  // nothing: the gap stays open

    SetUp();
    put({{3, 7}, {5, 7}, {7, 7}, {9, 7}}, Black);
    EXPECT_TRUE(forbidden(6, 7));  // x.xXx.x: two fours in one line
}

TEST_F(ForbiddenTest, AnExactFiveIsNeverForbidden) {
    // Vertical and diagonal fours through (7, 7): a double four on their own.
    put({{7, 4}, {7, 5}, {7, 6}, {4, 4}, {5, 5}, {6, 6}}, Black);
    EXPECT_TRUE(forbidden(7, 7));
    put({{3, 7}, {4, 7}, {5, 7}, {6, 7}}, Black);
    EXPECT_FALSE(forbidden(7, 7));

    // Five across, seven down.
    SetUp();
    put({{3, 7}, {4, 7}, {5, 7}, {6, 7}, {7, 4}, {7, 5}, {7, 6}, {7, 8}, {7, 9}, {7, 10}}, Black);
    EXPECT_FALSE(forbidden(7, 7));
}

// (7, 7) makes two open threes. The horizontal one's key cells are (4, 7) and (8, 7); the
// vertical one's key cell (7, 4) is always playable.
TEST_F(ForbiddenTest, AThreeCountsOnlyWhenAKeyCellIsPlayable) {
    const Cells doubleThree = {{5, 7}, {6, 7}, {7, 5}, {7, 6}};
    // (4, 7): an open four across, plus open threes down and along the diagonal, both real
    // (their key cells (4, 4) and (1, 4) are plain fours) - forbidden by the nested test.
    const Cells keyDoubleThree = {{4, 5}, {4, 6}, {2, 5}, {3, 6}};
    // (8, 7): open fours across and down.
    const Cells keyDoubleFour = {{8, 4}, {8, 5}, {8, 6}};

    // The key cells as the nested test sees them, with the stone on (7, 7).
    const auto keyCellsForbidden = [&] {
        board::setCell(at(7, 7), Black);
        const std::pair<bool, bool> keys{forbidden(4, 7), forbidden(8, 7)};
        board::setCell(at(7, 7), board::CellEmpty);
        return keys;
    };

    put(doubleThree, Black);
    put(keyDoubleThree, Black);
    put(keyDoubleFour, Black);
    EXPECT_EQ(keyCellsForbidden(), std::make_pair(true, true));
    EXPECT_FALSE(forbidden(7, 7));

    // First key cell forbidden, second playable: the three is real.
    SetUp();
    put(doubleThree, Black);
    put(keyDoubleThree, Black);
    EXPECT_EQ(keyCellsForbidden(), std::make_pair(true, false));
    EXPECT_TRUE(forbidden(7, 7));

    // Without the diagonal stone (3, 6) the first key cell is only a four-three, so allowed.
    SetUp();
    put(doubleThree, Black);
    put({{4, 5}, {4, 6}, {2, 5}}, Black);
    put(keyDoubleFour, Black);
    EXPECT_EQ(keyCellsForbidden(), std::make_pair(false, true));
    EXPECT_TRUE(forbidden(7, 7));
}

}  // namespace
