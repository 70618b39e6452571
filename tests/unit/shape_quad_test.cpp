// Four-direction tables: readable class combinations, and every index against the rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"
#include "reference_classifier.h"

namespace {

using namespace velka::patterns;

struct Quad {
    int sum, threat, move, blackMove;
    bool operator==(const Quad&) const = default;
};

// The values of four classes given as a ShapeQuadIndex.
Quad quadAt(uint32_t q) {
    const uint32_t g = groupQuadIndex(q);
    return {shapeSum(q), ThreatLevelTable[g], MoveValueTable[g], BlackMoveValueTable[g]};
}

constexpr int Any = -1;

TEST(ShapeQuadTables, CombinationsReadTheSameInEveryOrder) {
    buildPatternTables(RuleVariant::Freestyle);
    struct Case {
        std::array<uint32_t, 4> classes;
        Quad want;  // Any: not checked
    };
    const Case cases[] = {
        {{ShapeFive, 0, 0, 0}, {1000, ThreatFive, 255, 255}},
        {{ShapeFive, ShapeForbidden, 0, 0}, {Any, Any, 255, 255}},
        {{ShapeForbidden, 0, 0, 0}, {0, Any, 0, 0}},
        {{ShapeOpenFour, 0, 0, 0}, {Any, ThreatFour, 212, 212}},
        {{ShapeFour, ShapeFour, 0, 0}, {Any, Any, 212, 0}},
        {{ShapeFour, ShapeThreeA, 0, 0}, {Any, ThreatFourThree, 210, 210}},
        {{ShapeFour, ShapeThreeC, 0, 0}, {Any, ThreatFourThree, 12 + 5, Any}},
        {{ShapeThreeA, ShapeThreeB, 0, 0}, {Any, Any, 202, 0}},
        {{ShapeThreeA, ShapeTwoA, ShapeTwoE, 0}, {184 + 40 + 10, Any, 12 + 5, 12 + 5}},
        {{ShapeFour, ShapeThreeA, ShapeThreeB, 0}, {Any, Any, 210, 0}},
    };
    for (const Case& c : cases) {
        std::array<uint32_t, 4> k = c.classes;
        SCOPED_TRACE(testing::Message() << k[0] << "," << k[1] << "," << k[2] << "," << k[3]);
        std::sort(k.begin(), k.end());
        const Quad first = quadAt(shapeQuadIndex(k[0], k[1], k[2], k[3]));
        do {
            EXPECT_EQ(quadAt(shapeQuadIndex(k[0], k[1], k[2], k[3])), first);
        } while (std::next_permutation(k.begin(), k.end()));
        const Quad& w = c.want;
        EXPECT_TRUE(w.sum == Any || w.sum == first.sum) << first.sum;
        EXPECT_TRUE(w.threat == Any || w.threat == first.threat) << first.threat;
        EXPECT_TRUE(w.move == Any || w.move == first.move) << first.move;
        EXPECT_TRUE(w.blackMove == Any || w.blackMove == first.blackMove) << first.blackMove;
    }
}

// Every combination of four classes, read through its groups, against the rules stated plainly.
TEST(ShapeQuadTables, EveryCombinationMatchesTheRulesAfterEveryBuild) {
    for (RuleVariant v : {RuleVariant::Freestyle, RuleVariant::ExactFive}) {
        buildPatternTables(v);
        uint32_t mismatches = 0;
        for (uint32_t q = 0; q < velka::reference::QuadIndexCount; ++q) {
            if (!velka::reference::quadIndexValid(q)) continue;
            const auto r = velka::reference::referenceQuadValues(velka::reference::quadClasses(q));
            const Quad want{r.sum, r.threat, r.move, r.blackMove};
            const Quad got = quadAt(q);
            if (!(got == want) && ++mismatches <= 10) {
                ADD_FAILURE() << "index " << q << ": sum " << got.sum << "/" << want.sum
                              << " threat " << got.threat << "/" << want.threat << " move "
                              << got.move << "/" << want.move << " black " << got.blackMove << "/"
                              << want.blackMove;
            }
        }
        EXPECT_EQ(mismatches, 0u);
    }
}

}  // namespace
