// The pattern tables: readable windows, every code against the plain build and against its colour
// exchange, every four-direction combination against the plain rules, and rebuilds on rule changes.
#include <gtest/gtest.h>

#include <vector>

#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"
#include "reference_classifier.h"
#include "window_text.h"

namespace {

using namespace velka::patterns;
using velka::testing::windowFromText;

struct WindowCase {
    const char* window;
    ShapeClass free;
    ShapeClass exactForbidding;  // in-line double four forbidden: freestyle and Renju tables
    ShapeClass exactAllowing;    // exact-five tables
    uint8_t firstKey, secondKey;
};

// clang-format off
const WindowCase WindowCases[] = {
    {"...xxxxx...", ShapeFive, ShapeFive, ShapeFive, 0, 0},
    {"..xxxxxx...", ShapeFive, ShapeForbidden, ShapeForbidden, 0, 0},
    {"xxxxxxxxxxx", ShapeFive, ShapeForbidden, ShapeForbidden, 0, 0},
    {"....xxxx...", ShapeOpenFour, ShapeOpenFour, ShapeOpenFour, 0, 0},
    {"...oxxxx...", ShapeFour, ShapeFour, ShapeFour, 0, 0},
    {"..x.xxx.x..", ShapeOpenFour, ShapeForbidden, ShapeOpenFour, 0, 0},
    {"?????xxxx..", ShapeFour, ShapeFour, ShapeFour, 0, 0},
    {"....xxx....", ShapeThreeA, ShapeThreeA, ShapeThreeA, 3, 7},
    {"...x.xx....", ShapeThreeB, ShapeThreeB, ShapeThreeB, 4, NoKeyCell},
    {"..x.xx.....", ShapeThreeB, ShapeThreeB, ShapeThreeB, 3, NoKeyCell},
    {".x..xx..x..", ShapeThreeC, ShapeThreeC, ShapeThreeC, 0, 0},
    {"..oxxx.....", ShapeThreeD, ShapeThreeD, ShapeThreeD, 0, 0},
    {"?????xxx...", ShapeThreeD, ShapeThreeD, ShapeThreeD, 0, 0},
    {"xxx..x.....", ShapeThreeD, ShapeOneD, ShapeOneD, 0, 0},
    {"....xx.....", ShapeTwoA, ShapeTwoA, ShapeTwoA, 0, 0},
    {"...x.x.....", ShapeTwoB, ShapeTwoB, ShapeTwoB, 0, 0},
    {"..x..x.....", ShapeTwoD, ShapeTwoD, ShapeTwoD, 0, 0},
    {".x...x..xo.", ShapeTwoE, ShapeTwoE, ShapeTwoE, 0, 0},
    {".x...x...x.", ShapeTwoF, ShapeTwoF, ShapeTwoF, 0, 0},
    {".x...x.....", ShapeTwoH, ShapeTwoH, ShapeTwoH, 0, 0},
    {".....x.....", ShapeOneA, ShapeOneA, ShapeOneA, 0, 0},
    {".o...x.....", ShapeOneB, ShapeOneB, ShapeOneB, 0, 0},
    {"..o..x.....", ShapeOneC, ShapeOneC, ShapeOneC, 0, 0},
    {"...o.x.....", ShapeOneD, ShapeOneD, ShapeOneD, 0, 0},
    {"....ox.....", ShapeOneE, ShapeOneE, ShapeOneE, 0, 0},
    {"?????x....?", ShapeOneE, ShapeOneE, ShapeOneE, 0, 0},
    {".o...xo....", ShapeNone, ShapeNone, ShapeNone, 0, 0},
    {"????.xx.o..", ShapeNone, ShapeNone, ShapeNone, 0, 0},  // no room for five
    // A stone on a line's first cell: five inward still counts, and so does six.
    {"?????xxxxx.", ShapeFive, ShapeFive, ShapeFive, 0, 0},
    {"?????xxxxxx", ShapeFive, ShapeForbidden, ShapeForbidden, 0, 0},
};
// clang-format on

TEST(ClassifyShapes, WindowTableInEveryVariant) {
    for (RuleVariant v : {RuleVariant::Freestyle, RuleVariant::Renju, RuleVariant::ExactFive}) {
        buildPatternTables(v);
        for (const WindowCase& c : WindowCases) {
            const ShapeClass exact =
                v == RuleVariant::ExactFive ? c.exactAllowing : c.exactForbidding;
            for (uint32_t colour : {1u, 2u}) {
                SCOPED_TRACE(testing::Message() << c.window << " colour " << colour << " variant "
                                                << static_cast<int>(v));
                const uint32_t code = windowFromText(c.window, colour);
                ASSERT_NE(code, UINT32_MAX);
                const PatternEntry& e = patternEntry(code);
                EXPECT_EQ(+freeShape(e), +c.free);
                EXPECT_EQ(+exactShape(e), +exact);
                EXPECT_FALSE(near1(e) || near2(e));
                if (exact == ShapeThreeA || exact == ShapeThreeB) {
                    EXPECT_EQ(+firstKeyCell(e), +c.firstKey);
                    EXPECT_EQ(+secondKeyCell(e), +c.secondKey);
                }
            }
        }
    }
}

// Exchanges the colours of every stone: 1 <-> 2; empty and outside stay.
uint32_t exchangeColours(uint32_t code) {
    return code ^ (((code ^ (code >> 1)) & 0x155555u) * 3);
}

// Every field any reader reads, for every code, for both classifications.
constexpr uint8_t ReadBits = Near1Bit | Near2Bit | 0xF8;  // and freeShape

TEST(ClassifyShapes, WholeTableEqualsPlainBuildAndColourExchange) {
    ASSERT_EQ(exchangeColours(windowFromText("x.o?x.o?xoo", 1)), windowFromText("x.o?x.o?xoo", 2));
    for (bool doubleFourForbidden : {true, false}) {
        buildPatternTables(doubleFourForbidden ? RuleVariant::Freestyle : RuleVariant::ExactFive);
        const std::vector<PatternEntry> want =
            velka::reference::referencePatternTable(doubleFourForbidden);
        uint32_t mismatches = 0;
        for (uint32_t w = 0; w < PatternCount; ++w) {
            const PatternEntry& got = PatternTable[w];
            const PatternEntry& swapped = PatternTable[exchangeColours(w)];
            const ShapeClass exact = exactShape(want[w]);
            const bool keysRead = exact == ShapeThreeA || exact == ShapeThreeB;
            const bool same = (got.nearAndFree & ReadBits) == want[w].nearAndFree &&
                              exactShape(got) == exact &&
                              (!keysRead || got.threeKeyCells == want[w].threeKeyCells);
            const bool symmetric = got.nearAndFree == swapped.nearAndFree &&
                                   got.exact == swapped.exact &&
                                   got.threeKeyCells == swapped.threeKeyCells;
            if ((!same || !symmetric) && ++mismatches <= 10) {
                ADD_FAILURE() << std::hex << "code " << w << ": byte 0 " << +got.nearAndFree
                              << " want " << +want[w].nearAndFree << ", exact " << +got.exact
                              << " want " << +exact << ", keys " << +got.threeKeyCells << " want "
                              << +want[w].threeKeyCells << (symmetric ? "" : ", not symmetric");
            }
        }
        EXPECT_EQ(mismatches, 0u) << "doubleFourForbidden " << doubleFourForbidden;
    }
}

// Every combination of four classes, read through its groups, against the rules stated plainly
// (and so in every order of the four).
TEST(ShapeQuadTables, EveryCombinationMatchesTheRulesAfterEveryBuild) {
    for (RuleVariant v : {RuleVariant::Freestyle, RuleVariant::ExactFive}) {
        buildPatternTables(v);
        uint32_t mismatches = 0;
        for (uint32_t q = 0; q < velka::reference::QuadIndexCount; ++q) {
            if (!velka::reference::quadIndexValid(q)) continue;
            const auto r = velka::reference::referenceQuadValues(velka::reference::quadClasses(q));
            const uint32_t g = groupQuadIndex(q);
            const bool same = shapeSum(q) == r.sum && ThreatLevelTable[g] == r.threat &&
                              MoveValueTable[g] == r.move && BlackMoveValueTable[g] == r.blackMove;
            if (!same && ++mismatches <= 10) {
                ADD_FAILURE() << "index " << q << ": sum " << shapeSum(q) << "/" << r.sum
                              << " threat " << +ThreatLevelTable[g] << "/" << +r.threat << " move "
                              << +MoveValueTable[g] << "/" << +r.move << " black "
                              << +BlackMoveValueTable[g] << "/" << +r.blackMove;
            }
        }
        EXPECT_EQ(mismatches, 0u);
    }
}

// Freestyle reads only the free field, which both builds share; exact five and Renju need their
// own build of the exact field.
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
        {RuleVariant::Freestyle, false, true},  {RuleVariant::ExactFive, false, true},
        {RuleVariant::Renju, true, false},      {RuleVariant::Renju, false, false},
        {RuleVariant::Freestyle, false, false}, {RuleVariant::Renju, false, false},
        {RuleVariant::ExactFive, true, true},   {RuleVariant::Freestyle, false, true},
        {RuleVariant::Renju, true, false},
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

}  // namespace
