// Shape classification: the readable windows, and every code against the plain build and against
// its colour exchange.
#include <gtest/gtest.h>

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

}  // namespace
