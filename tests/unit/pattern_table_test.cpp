// The table driver: rebuilds on rule changes, near cells, entries without a stone, and the table
// read through the board's windows.
#include <gtest/gtest.h>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "window_text.h"

namespace {

using namespace velka::patterns;
using velka::testing::windowFromText;

// The exact-five and the freestyle/Renju classifications disagree on this window.
const uint32_t DoubleFourInLine = windowFromText("..x.xxx.x..");

ShapeClass exactAt(uint32_t code) {
    return exactShape(patternEntry(code));
}

// A rebuild restores every entry; a skipped one leaves this spoilt entry as it is.
const uint32_t Marked = windowFromText("....xxx....");
void spoilMarkedEntry() {
    setExactShape(PatternTable[Marked], ShapeNone);
}
bool markedEntrySpoilt() {
    return exactAt(Marked) == ShapeNone;
}

TEST(PatternTableDriver, BuildRecordsWhichClassificationItUsed) {
    buildPatternTables(RuleVariant::ExactFive);
    EXPECT_TRUE(tableBuiltExact);
    EXPECT_EQ(exactAt(DoubleFourInLine), ShapeOpenFour);
    buildPatternTables(RuleVariant::Renju);
    EXPECT_FALSE(tableBuiltExact);
    EXPECT_EQ(exactAt(DoubleFourInLine), ShapeForbidden);
    buildPatternTables(RuleVariant::Freestyle);
    EXPECT_FALSE(tableBuiltExact);
    EXPECT_EQ(exactAt(DoubleFourInLine), ShapeForbidden);
    EXPECT_EQ(freeShape(patternEntry(DoubleFourInLine)), ShapeOpenFour);
}

TEST(PatternTableDriver, RefreshRebuildsOnlyWhenTheOtherClassificationIsNeeded) {
    buildPatternTables(RuleVariant::ExactFive);
    spoilMarkedEntry();
    // Freestyle reads only freeShape, which both classifications share.
    refreshPatternTables(RuleVariant::Freestyle);
    refreshPatternTables(RuleVariant::ExactFive);
    EXPECT_TRUE(markedEntrySpoilt());
    EXPECT_TRUE(tableBuiltExact);

    refreshPatternTables(RuleVariant::Renju);
    EXPECT_FALSE(markedEntrySpoilt());
    EXPECT_FALSE(tableBuiltExact);
    EXPECT_EQ(exactAt(DoubleFourInLine), ShapeForbidden);

    spoilMarkedEntry();
    refreshPatternTables(RuleVariant::Renju);
    refreshPatternTables(RuleVariant::Freestyle);
    EXPECT_TRUE(markedEntrySpoilt());

    refreshPatternTables(RuleVariant::ExactFive);
    EXPECT_FALSE(markedEntrySpoilt());
    EXPECT_TRUE(tableBuiltExact);
    EXPECT_EQ(exactAt(DoubleFourInLine), ShapeOpenFour);

    // A freestyle table already serves Renju.
    buildPatternTables(RuleVariant::Freestyle);
    spoilMarkedEntry();
    refreshPatternTables(RuleVariant::Renju);
    EXPECT_TRUE(markedEntrySpoilt());
    buildPatternTables(RuleVariant::Freestyle);
}

TEST(PatternTableDriver, NearCellsOfAnEmptyCentre) {
    buildPatternTables(RuleVariant::Freestyle);
    struct NearCase {
        const char* window;
        bool near1;
        bool near2;
    };
    const NearCase cases[] = {
        {"...........", false, false}, {"....x......", true, true},   {"......o....", true, true},
        {"...x.......", false, true},  {".......o...", false, true},  {"..x.....x..", false, false},
        {"x.........o", false, false}, {"?????.?????", false, false}, {"...??.??...", false, false},
        {"...o?......", false, true},  {"xxxx..oooo.", true, true},
    };
    for (const NearCase& c : cases) {
        const uint32_t code = windowFromText(c.window);
        ASSERT_EQ((code >> CentreShift) & 3, 0u) << c.window;
        const PatternEntry& e = patternEntry(code);
        EXPECT_EQ(near1(e), c.near1) << c.window;
        EXPECT_EQ(near2(e), c.near2) << c.window;
        // An empty centre has no shape, whatever surrounds it.
        EXPECT_EQ(freeShape(e), ShapeNone) << c.window;
        EXPECT_EQ(exactShape(e), ShapeNone) << c.window;
    }
}

TEST(PatternTableDriver, StonesAndOutsideCentresCarryNoNearCells) {
    buildPatternTables(RuleVariant::Renju);
    const uint32_t stone = windowFromText("...xxxx....");
    EXPECT_FALSE(near1(patternEntry(stone)) || near2(patternEntry(stone)));
    // A centre outside the board: everything zero, though the neighbours would make a five.
    const uint32_t outside = windowFromText("...xx?xx...");
    const PatternEntry& e = patternEntry(outside);
    EXPECT_EQ(e.nearAndFree, 0);
    EXPECT_EQ(e.exact, 0);
}

// The tables read through the board, as the searches read them.
class TableOnBoard : public testing::Test {
  protected:
    static void SetUpTestSuite() { buildPatternTables(RuleVariant::Renju); }
    void SetUp() override {
        velka::board::initBoard(15, 15);
        velka::board::buildWindowOffsets(15);
    }
    static int32_t at(int32_t x, int32_t y) { return velka::board::cellIndex(x, y); }
    static void place(int32_t x, int32_t y, int32_t code) { velka::board::setCell(at(x, y), code); }
    static const PatternEntry& entryOf(int32_t direction, int32_t x, int32_t y) {
        return patternEntry(velka::board::windowCode(direction, at(x, y)));
    }
    // What a stone of `colour` on the empty cell would make.
    static const PatternEntry& moveEntry(int32_t direction, int32_t x, int32_t y, uint32_t colour) {
        return patternEntry(velka::board::windowCode(direction, at(x, y)) |
                            (colour << CentreShift));
    }
};

TEST_F(TableOnBoard, OpenThreeAndItsKeyCells) {
    place(6, 7, 1);
    place(7, 7, 1);
    place(8, 7, 1);
    const PatternEntry& e = entryOf(0, 7, 7);
    EXPECT_EQ(exactShape(e), ShapeThreeA);
    EXPECT_EQ(freeShape(e), ShapeThreeA);
    // The key cells, turned back into board cells, are the two ends of the three.
    const auto& offsets = velka::board::engineBoard.windowOffsets[0];
    EXPECT_EQ(at(7, 7) + offsets[firstKeyCell(e)], at(5, 7));
    EXPECT_EQ(at(7, 7) + offsets[secondKeyCell(e)], at(9, 7));
    // Across the three, the stone stands alone.
    EXPECT_EQ(exactShape(entryOf(1, 7, 7)), ShapeOneA);
    EXPECT_EQ(exactShape(entryOf(3, 7, 7)), ShapeOneA);

    // Asking an empty end what a stone there would make: an open four for the three's colour,
    // and near cells in the plain entry.
    EXPECT_EQ(freeShape(moveEntry(0, 9, 7, 1)), ShapeOpenFour);
    EXPECT_TRUE(near1(entryOf(0, 9, 7)));
    EXPECT_TRUE(near2(entryOf(0, 10, 7)));
    EXPECT_FALSE(near2(entryOf(0, 11, 7)));

    // The other colour blocking one end leaves a three with two ways to a closed four.
    place(9, 7, 2);
    EXPECT_EQ(exactShape(entryOf(0, 7, 7)), ShapeThreeD);
    EXPECT_EQ(exactShape(entryOf(0, 9, 7)), ShapeOneE);
}

TEST_F(TableOnBoard, FirstCellsOfLines) {
    // Four stones from the corner along the top row: the only way to five is inside the board.
    for (int32_t x = 0; x < 4; ++x) place(x, 0, 2);
    EXPECT_EQ(exactShape(entryOf(0, 0, 0)), ShapeFour);
    EXPECT_EQ(freeShape(entryOf(0, 0, 0)), ShapeFour);
    EXPECT_EQ(freeShape(moveEntry(0, 4, 0, 2)), ShapeFive);
    place(4, 0, 2);
    EXPECT_EQ(exactShape(entryOf(0, 0, 0)), ShapeFive);
    EXPECT_EQ(exactShape(entryOf(0, 4, 0)), ShapeFive);
    // The corner is a line of one cell in the anti-diagonal direction: no shape can ever form.
    EXPECT_EQ(freeShape(entryOf(2, 0, 0)), ShapeNone);
    EXPECT_EQ(exactShape(entryOf(2, 0, 0)), ShapeNone);

    // The last cell of a row, and a five at the far end of a column.
    for (int32_t y = 10; y < 15; ++y) place(14, y, 1);
    EXPECT_EQ(exactShape(entryOf(1, 14, 14)), ShapeFive);
    EXPECT_EQ(exactShape(entryOf(0, 14, 14)), ShapeOneE);
    // A row that runs into the edge is not an overline with the cells beyond it.
    EXPECT_EQ(exactShape(entryOf(1, 14, 10)), ShapeFive);
}

TEST_F(TableOnBoard, OverlineAndLineDoubleFourInRenjuTables) {
    for (int32_t x : {2, 4, 5, 6, 8}) place(x, 3, 1);
    EXPECT_EQ(exactShape(entryOf(0, 5, 3)), ShapeForbidden);
    EXPECT_EQ(freeShape(entryOf(0, 5, 3)), ShapeOpenFour);
    for (int32_t y = 4; y < 10; ++y) place(12, y, 2);
    EXPECT_EQ(exactShape(entryOf(1, 12, 6)), ShapeForbidden);
    EXPECT_EQ(freeShape(entryOf(1, 12, 6)), ShapeFive);
}

}  // namespace
