// Shape classification: readable windows, and the whole table against a plain second build.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "patterns/pattern_table.h"
#include "reference_classifier.h"
#include "window_text.h"

namespace {

using namespace velka::patterns;
using velka::testing::windowFromText;

struct WindowCase {
    const char* window;
    ShapeClass free;
    ShapeClass exactDoubleFourForbidden;  // freestyle and Renju tables
    ShapeClass exactDoubleFourAllowed;    // exact-five tables
    uint8_t firstKey;
    uint8_t secondKey;
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
    // Too little room for five between the edge and the other colour.
    {"????.xx.o..", ShapeNone, ShapeNone, ShapeNone, 0, 0},
    // A stone on the first cell of a line: five towards the inside still counts, and a four
    // against the edge has only one way to five.
    {"?????xxxxx.", ShapeFive, ShapeFive, ShapeFive, 0, 0},
    {"?????xxxxxx", ShapeFive, ShapeForbidden, ShapeForbidden, 0, 0},
};
// clang-format on

void expectWindowCases(bool doubleFourForbidden) {
    for (const WindowCase& c : WindowCases) {
        const ShapeClass exact =
            doubleFourForbidden ? c.exactDoubleFourForbidden : c.exactDoubleFourAllowed;
        for (uint32_t colour = 1; colour <= 2; ++colour) {
            const uint32_t code = windowFromText(c.window, colour);
            ASSERT_NE(code, UINT32_MAX) << c.window;
            const PatternEntry& e = patternEntry(code);
            SCOPED_TRACE(testing::Message() << c.window << " colour " << colour);
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

TEST(ClassifyShapes, WindowsInFreestyleAndRenjuTables) {
    buildPatternTables(RuleVariant::Freestyle);
    expectWindowCases(true);
    buildPatternTables(RuleVariant::Renju);
    expectWindowCases(true);
}

TEST(ClassifyShapes, WindowsInExactFiveTables) {
    buildPatternTables(RuleVariant::ExactFive);
    expectWindowCases(false);
}

// Exchanges the colours of every stone: 1 <-> 2, 0 and 3 stay.
uint32_t exchangeColours(uint32_t code) {
    const uint32_t differing = (code ^ (code >> 1)) & 0x155555u;
    return code ^ (differing * 3);
}

void expectColourSymmetry() {
    uint32_t mismatches = 0;
    for (uint32_t w = 0; w < PatternCount; ++w) {
        const PatternEntry& a = PatternTable[w];
        const PatternEntry& b = PatternTable[exchangeColours(w)];
        if (a.nearAndFree != b.nearAndFree || a.exact != b.exact ||
            a.threeKeyCells != b.threeKeyCells) {
            if (++mismatches <= 5) ADD_FAILURE() << "code " << w << " differs from its exchange";
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(ClassifyShapes, ColourExchangeGivesTheSameEntryForEveryCode) {
    EXPECT_EQ(exchangeColours(windowFromText("x.o?x.o?xoo", 1)), windowFromText("x.o?x.o?xoo", 2));
    buildPatternTables(RuleVariant::Freestyle);
    expectColourSymmetry();
    buildPatternTables(RuleVariant::ExactFive);
    expectColourSymmetry();
}

// Every field that any reader reads, for every code, against the plain build.
void expectEqualToReference(bool doubleFourForbidden) {
    const std::vector<PatternEntry> expected =
        velka::reference::referencePatternTable(doubleFourForbidden);
    uint32_t mismatches = 0;
    for (uint32_t w = 0; w < PatternCount; ++w) {
        const PatternEntry& got = PatternTable[w];
        const PatternEntry& want = expected[w];
        bool same = near1(got) == near1(want) && near2(got) == near2(want) &&
                    freeShape(got) == freeShape(want) && exactShape(got) == exactShape(want);
        const ShapeClass exact = exactShape(want);
        if (exact == ShapeThreeA || exact == ShapeThreeB) {
            same = same && got.threeKeyCells == want.threeKeyCells;
        }
        if (!same && ++mismatches <= 10) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "code %06x: free %d/%d exact %d/%d keys %02x/%02x near %d%d/%d%d", w,
                          freeShape(got), freeShape(want), exactShape(got), exactShape(want),
                          got.threeKeyCells, want.threeKeyCells, near1(got), near2(got),
                          near1(want), near2(want));
            ADD_FAILURE() << text;
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(ClassifyShapes, WholeTableEqualsPlainBuildWithLineDoubleFourForbidden) {
    buildPatternTables(RuleVariant::Freestyle);
    expectEqualToReference(true);
}

TEST(ClassifyShapes, WholeTableEqualsPlainBuildForExactFive) {
    buildPatternTables(RuleVariant::ExactFive);
    expectEqualToReference(false);
}

}  // namespace
