// The table driver: rebuilds on rule changes, and the near cells of empty centres.
#include <gtest/gtest.h>

#include "patterns/pattern_table.h"
#include "window_text.h"

namespace {

using namespace velka::patterns;
using velka::testing::windowFromText;

TEST(PatternTableDriver, RefreshRebuildsOnlyWhenTheOtherClassificationIsNeeded) {
    // The two classifications disagree on this window.
    const uint32_t doubleFourInLine = windowFromText("..x.xxx.x..");
    // Spoilt before each step: a rebuild restores it, a skipped one leaves it.
    const uint32_t marked = windowFromText("....xxx....");
    struct Step {
        RuleVariant variant;
        bool rebuilds, exact;
    };
    const Step steps[] = {
        {RuleVariant::Freestyle, false, true},  // freestyle reads freeShape, shared by both
        {RuleVariant::ExactFive, false, true}, {RuleVariant::Renju, true, false},
        {RuleVariant::Renju, false, false},    {RuleVariant::Freestyle, false, false},
        {RuleVariant::Renju, false, false},    {RuleVariant::ExactFive, true, true},
        {RuleVariant::Freestyle, false, true}, {RuleVariant::Renju, true, false},
    };
    buildPatternTables(RuleVariant::ExactFive);
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "step " << (&s - steps));
        setExactShape(PatternTable[marked], ShapeNone);
        refreshPatternTables(s.variant);
        EXPECT_EQ(exactShape(patternEntry(marked)) == ShapeThreeA, s.rebuilds);
        EXPECT_EQ(tableBuiltExact, s.exact);
        EXPECT_EQ(exactShape(patternEntry(doubleFourInLine)),
                  s.exact ? ShapeOpenFour : ShapeForbidden);
    }
    buildPatternTables(RuleVariant::Freestyle);
    EXPECT_FALSE(tableBuiltExact);
}

TEST(PatternTableDriver, NearCellsOnlyForAnEmptyCentre) {
    buildPatternTables(RuleVariant::Freestyle);
    struct NearCase {
        const char* window;
        bool near1, near2;
    };
    const NearCase cases[] = {
        {"...........", false, false}, {"....x......", true, true},   {"......o....", true, true},
        {"...x.......", false, true},  {".......o...", false, true},  {"..x.....x..", false, false},
        {"x.........o", false, false}, {"?????.?????", false, false}, {"...??.??...", false, false},
        {"...o?......", false, true},  {"xxxx..oooo.", true, true},
    };
    for (const NearCase& c : cases) {
        const PatternEntry& e = patternEntry(windowFromText(c.window));
        EXPECT_EQ(near1(e), c.near1) << c.window;
        EXPECT_EQ(near2(e), c.near2) << c.window;
        EXPECT_EQ(freeShape(e), ShapeNone) << c.window;
        EXPECT_EQ(exactShape(e), ShapeNone) << c.window;
    }
    // A centre off the board: all zero, though the neighbours would make a five.
    const PatternEntry& outside = patternEntry(windowFromText("...xx?xx..."));
    EXPECT_EQ(outside.nearAndFree | outside.exact, 0);
}

}  // namespace
