// The Renju forbidden-point test on 15 x 15 positions, black the first player.
#include "search/forbidden.h"

#include <gtest/gtest.h>

#include <vector>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "search_test_board.h"

namespace velka::search {
namespace {

using testing::at;
using testing::put;
constexpr int32_t Black = board::CellOwn;
constexpr int32_t White = board::CellOpponent;

class ForbiddenTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { patterns::buildPatternTables(patterns::RuleVariant::Renju); }
    void SetUp() override {
        testing::freshBoard(15, 15);
        board::engineBoard.firstPlayer = Black;
    }
    // The answer for a stone of `code` on the empty (x, y); the probe must leave no trace.
    static bool forbidden(int32_t x, int32_t y, int32_t code = Black) {
        const testing::BoardUnchanged guard;
        return forbiddenIfPlayed(board::engineBoard, at(x, y), code);
    }
};

TEST_F(ForbiddenTest, Positions) {
    using Cells = std::vector<std::pair<int32_t, int32_t>>;
    const Cells doubleThree = {{5, 7}, {6, 7}, {7, 5}, {7, 6}};
    // With (7, 7) black, (4, 7) is an open four across and two real open threes (down and along
    // the diagonal): forbidden by the nested test. Without (3, 6) it is only a four-three.
    const Cells keyDoubleThree = {{4, 5}, {4, 6}, {2, 5}, {3, 6}};
    const Cells keyFourThree = {{4, 5}, {4, 6}, {2, 5}};
    const Cells keyDoubleFour = {{8, 4}, {8, 5}, {8, 6}};  // (8, 7): open fours across and down
    const Cells twoFours = {{7, 4}, {7, 5}, {7, 6}, {4, 4}, {5, 5}, {6, 6}};  // down, diagonal
    const Cells overline = {{2, 7}, {3, 7}, {4, 7}, {6, 7}, {7, 7}};
    struct Case {
        const char* what;
        std::pair<int32_t, int32_t> probe;
        bool forbidden;
        std::vector<Cells> black;
        Cells white = {};
    };
    // clang-format off
    const Case cases[] = {
        {"double three", {7, 7}, true, {doubleThree}},
        {"... one of them split", {7, 7}, true, {{{4, 7}, {5, 7}, {7, 5}, {7, 6}}}},
        {"... with a three blocked", {7, 7}, false, {doubleThree}, {{4, 7}}},
        {"fours in two lines", {7, 7}, true, {{{3, 7}, {4, 7}, {5, 7}, {7, 3}, {7, 4}, {7, 5}}}},
        {"four and three", {7, 7}, false, {{{4, 7}, {5, 7}, {6, 7}, {7, 5}, {7, 6}}}},
        {"six in a row", {5, 7}, true, {overline}},
        {"beside an overline's gap", {8, 7}, false, {overline}},
        {"two fours in one line", {6, 7}, true, {{{3, 7}, {5, 7}, {7, 7}, {9, 7}}}},
        {"double four", {7, 7}, true, {twoFours}},
        {"... and an exact five", {7, 7}, false, {twoFours, {{3, 7}, {4, 7}, {5, 7}, {6, 7}}}},
        {"exact five across, seven down", {7, 7}, false,
         {{{3, 7}, {4, 7}, {5, 7}, {6, 7}, {7, 4}, {7, 5}, {7, 6}, {7, 8}, {7, 9}, {7, 10}}}},
        // A three counts only when one of its key cells (4, 7) and (8, 7) is playable.
        {"key cell with a double three", {4, 7}, true, {doubleThree, keyDoubleThree, {{7, 7}}}},
        {"key cell with a double four", {8, 7}, true, {doubleThree, keyDoubleFour, {{7, 7}}}},
        {"key cell with a four-three", {4, 7}, false, {doubleThree, keyFourThree, {{7, 7}}}},
        {"both key cells forbidden", {7, 7}, false, {doubleThree, keyDoubleThree, keyDoubleFour}},
        {"second key cell playable", {7, 7}, true, {doubleThree, keyDoubleThree}},
        {"first key cell playable", {7, 7}, true, {doubleThree, keyFourThree, keyDoubleFour}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SetUp();
        for (const Cells& group : c.black)
            for (const auto& [x, y] : group) board::setCell(at(x, y), Black);
        for (const auto& [x, y] : c.white) board::setCell(at(x, y), White);
        EXPECT_EQ(forbidden(c.probe.first, c.probe.second), c.forbidden) << c.what;
    }
}

TEST_F(ForbiddenTest, OnlyTheFirstPlayerIsRestrictedAndOnlyOnAStone) {
    put({{5, 7}, {6, 7}, {7, 5}, {7, 6}}, White);
    EXPECT_FALSE(forbidden(7, 7, White));
    EXPECT_FALSE(isForbiddenPoint(board::engineBoard, at(7, 7)));  // empty
    board::engineBoard.firstPlayer = White;
    EXPECT_TRUE(forbidden(7, 7, White));
    board::setCell(at(7, 7), White);
    EXPECT_TRUE(isForbiddenPoint(board::engineBoard, at(7, 7)));
}

}  // namespace
}  // namespace velka::search
