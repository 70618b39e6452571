// Four-direction tables: the listed class combinations, and every index against the rules
// evaluated directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"
#include "reference_classifier.h"

namespace {

using namespace velka::patterns;

class ShapeQuadTables : public testing::Test {
  protected:
    static void SetUpTestSuite() { buildPatternTables(RuleVariant::Freestyle); }
};

struct Quad {
    int sum;
    int threat;
    int move;
    int blackMove;
};

Quad quadAt(uint32_t q) {
    return {ShapeSumTable[q], ThreatLevelTable[q], MoveValueTable[q], BlackMoveValueTable[q]};
}

// Every arrangement of the four classes over the four slots reads the same entry.
Quad expectSameInEveryOrder(std::array<uint32_t, 4> k) {
    std::sort(k.begin(), k.end());
    const Quad first = quadAt(shapeQuadIndex(k[0], k[1], k[2], k[3]));
    do {
        const Quad q = quadAt(shapeQuadIndex(k[0], k[1], k[2], k[3]));
        EXPECT_EQ(q.sum, first.sum);
        EXPECT_EQ(q.threat, first.threat);
        EXPECT_EQ(q.move, first.move);
        EXPECT_EQ(q.blackMove, first.blackMove);
    } while (std::next_permutation(k.begin(), k.end()));
    return first;
}

TEST_F(ShapeQuadTables, DecisiveCombinations) {
    const Quad five = expectSameInEveryOrder({ShapeFive, 0, 0, 0});
    EXPECT_EQ(five.move, 255);
    EXPECT_EQ(five.blackMove, 255);
    EXPECT_EQ(five.threat, ThreatFive);
    EXPECT_EQ(five.sum, 1000);

    // A five wins even beside a forbidden shape.
    const Quad fiveForbidden = expectSameInEveryOrder({ShapeFive, ShapeForbidden, 0, 0});
    EXPECT_EQ(fiveForbidden.move, 255);
    EXPECT_EQ(fiveForbidden.blackMove, 255);

    const Quad forbidden = expectSameInEveryOrder({ShapeForbidden, 0, 0, 0});
    EXPECT_EQ(forbidden.blackMove, 0);
    EXPECT_EQ(forbidden.move, 0);
    EXPECT_EQ(forbidden.sum, 0);

    const Quad openFour = expectSameInEveryOrder({ShapeOpenFour, 0, 0, 0});
    EXPECT_EQ(openFour.move, 212);
    EXPECT_EQ(openFour.blackMove, 212);
    EXPECT_EQ(openFour.threat, ThreatFour);

    const Quad doubleFour = expectSameInEveryOrder({ShapeFour, ShapeFour, 0, 0});
    EXPECT_EQ(doubleFour.move, 212);
    EXPECT_EQ(doubleFour.blackMove, 0);
}

TEST_F(ShapeQuadTables, FourThreeAndDoubleThree) {
    const Quad fourThree = expectSameInEveryOrder({ShapeFour, ShapeThreeA, 0, 0});
    EXPECT_EQ(fourThree.move, 210);
    EXPECT_EQ(fourThree.blackMove, 210);
    EXPECT_EQ(fourThree.threat, ThreatFourThree);

    // A closed three beside a four is a threat, but not a winning combination.
    const Quad fourClosedThree = expectSameInEveryOrder({ShapeFour, ShapeThreeC, 0, 0});
    EXPECT_EQ(fourClosedThree.threat, ThreatFourThree);
    EXPECT_EQ(fourClosedThree.move, 12 + 5);

    const Quad doubleThree = expectSameInEveryOrder({ShapeThreeA, ShapeThreeB, 0, 0});
    EXPECT_EQ(doubleThree.move, 202);
    EXPECT_EQ(doubleThree.blackMove, 0);

    const Quad quiet = expectSameInEveryOrder({ShapeThreeA, ShapeTwoA, ShapeTwoE, 0});
    EXPECT_EQ(quiet.move, 12 + 5);
    EXPECT_EQ(quiet.blackMove, 12 + 5);
    EXPECT_EQ(quiet.sum, 184 + 40 + 10);

    const Quad fourDoubleThree = expectSameInEveryOrder({ShapeFour, ShapeThreeA, ShapeThreeB, 0});
    EXPECT_EQ(fourDoubleThree.move, 210);
    EXPECT_EQ(fourDoubleThree.blackMove, 0);
}

TEST_F(ShapeQuadTables, EveryIndexMatchesTheRules) {
    uint32_t mismatches = 0;
    for (uint32_t q = 0; q < ShapeQuadCount; ++q) {
        Quad want{0, 0, 0, 0};
        if (velka::reference::quadIndexValid(q)) {
            const auto v = velka::reference::referenceQuadValues(velka::reference::quadClasses(q));
            want = {v.sum, v.threat, v.move, v.blackMove};
        }
        const Quad got = quadAt(q);
        if (got.sum != want.sum || got.threat != want.threat || got.move != want.move ||
            got.blackMove != want.blackMove) {
            if (++mismatches <= 10) {
                ADD_FAILURE() << "index " << q << ": sum " << got.sum << "/" << want.sum
                              << " threat " << got.threat << "/" << want.threat << " move "
                              << got.move << "/" << want.move << " black " << got.blackMove << "/"
                              << want.blackMove;
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(ShapeQuadTables, IndexesBeyondTheLastClassStayZeroAcrossRebuilds) {
    buildPatternTables(RuleVariant::ExactFive);
    for (uint32_t k = ShapeClassCount; k < 32; ++k) {
        for (uint32_t q : {shapeQuadIndex(k, 0, 0, 0), shapeQuadIndex(ShapeFive, k, 0, 0),
                           shapeQuadIndex(0, 0, ShapeFive, k), shapeQuadIndex(k, k, k, k)}) {
            const Quad got = quadAt(q);
            EXPECT_EQ(got.sum, 0);
            EXPECT_EQ(got.threat, 0);
            EXPECT_EQ(got.move, 0);
            EXPECT_EQ(got.blackMove, 0);
        }
    }
}

}  // namespace
