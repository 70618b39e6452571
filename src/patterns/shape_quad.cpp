#include "patterns/shape_quad.h"

#include "patterns/pattern_table.h"

namespace velka::patterns {

std::array<int16_t, ShapeQuadCount> ShapeSumTable{};
std::array<uint8_t, ShapeQuadCount> ThreatLevelTable{};
std::array<uint8_t, ShapeQuadCount> MoveValueTable{};
std::array<uint8_t, ShapeQuadCount> BlackMoveValueTable{};

namespace {

// The rules look only at how many of the four classes fall into a few groups. Each class carries
// a 4-bit counter per group, packed into one word, so that the four directions' words add up to
// the group counts (at most 4, no carry between counters).
enum Group : uint32_t {
    GroupForbidden = 0,  // ShapeForbidden
    GroupFive,           // ShapeFive
    GroupOpenFour,       // ShapeOpenFour
    GroupFour,           // ShapeFour
    GroupOpenThree,      // ShapeThreeA, ShapeThreeB
    GroupThree,          // ShapeThreeC, ShapeThreeD
    GroupTwoAB,          // ShapeTwoA, ShapeTwoB
    GroupTwoCD,          // ShapeTwoC, ShapeTwoD
};

constexpr uint32_t groupBit(Group g) {
    return 1u << (4 * g);
}
constexpr uint32_t groupCount(uint32_t packed, Group g) {
    return (packed >> (4 * g)) & 15;
}

constexpr uint32_t classGroups(int32_t k) {
    switch (k) {
        case ShapeForbidden:
            return groupBit(GroupForbidden);
        case ShapeFive:
            return groupBit(GroupFive);
        case ShapeOpenFour:
            return groupBit(GroupOpenFour);
        case ShapeFour:
            return groupBit(GroupFour);
        case ShapeThreeA:
        case ShapeThreeB:
            return groupBit(GroupOpenThree);
        case ShapeThreeC:
        case ShapeThreeD:
            return groupBit(GroupThree);
        case ShapeTwoA:
        case ShapeTwoB:
            return groupBit(GroupTwoAB);
        case ShapeTwoC:
        case ShapeTwoD:
            return groupBit(GroupTwoCD);
        default:
            return 0;
    }
}

struct QuadValues {
    uint8_t threat;
    uint8_t move;
    uint8_t blackMove;
};

QuadValues quadValues(uint32_t packed) {
    const uint32_t forbidden = groupCount(packed, GroupForbidden);
    const uint32_t five = groupCount(packed, GroupFive);
    const uint32_t openFour = groupCount(packed, GroupOpenFour);
    const uint32_t four = groupCount(packed, GroupFour);
    const uint32_t openThree = groupCount(packed, GroupOpenThree);
    const uint32_t three = groupCount(packed, GroupThree);
    const uint32_t fours = openFour + four;

    // Below the decisive combinations at most one four or open three remains, so this stays
    // under 40.
    const uint32_t quiet = 5 * (three + groupCount(packed, GroupTwoAB)) +
                           2 * groupCount(packed, GroupTwoCD) + 12 * (four + openThree);

    QuadValues v{};
    if (five >= 1) {
        v.threat = ThreatFive;
    } else if (fours >= 1) {
        v.threat = openThree + three >= 1 ? ThreatFourThree : ThreatFour;
    } else {
        v.threat = ThreatNone;
    }

    if (five >= 1) {
        v.move = MoveValueFive;
    } else if (four + 2 * openFour >= 2) {
        v.move = MoveValueWinningFour;
    } else if (four == 1 && openThree >= 1) {
        v.move = MoveValueFourThree;
    } else if (four == 0 && openThree >= 2) {
        v.move = MoveValueDoubleThree;
    } else {
        v.move = static_cast<uint8_t>(quiet);
    }

    // A player barred from overlines, double fours and double threes: a five still wins, any
    // forbidden combination is worth nothing.
    if (five >= 1) {
        v.blackMove = MoveValueFive;
    } else if (forbidden >= 1 || fours >= 2 || openThree >= 2) {
        v.blackMove = 0;
    } else if (openFour >= 1) {
        v.blackMove = MoveValueWinningFour;
    } else if (four == 1 && openThree == 1) {
        v.blackMove = MoveValueFourThree;
    } else {
        v.blackMove = static_cast<uint8_t>(quiet);
    }
    return v;
}

}  // namespace

void buildShapeQuadTables() {
    // Indexes with a slot above the last class are never written: they stay zero from static
    // initialisation, whatever the number of rebuilds.
    for (int32_t k3 = 0; k3 < ShapeClassCount; ++k3) {
        for (int32_t k2 = 0; k2 < ShapeClassCount; ++k2) {
            for (int32_t k1 = 0; k1 < ShapeClassCount; ++k1) {
                const uint32_t packed3 = classGroups(k1) + classGroups(k2) + classGroups(k3);
                const int32_t score3 = ShapeScore[k1] + ShapeScore[k2] + ShapeScore[k3];
                const uint32_t base = shapeQuadIndex(0, k1, k2, k3);
                for (int32_t k0 = 0; k0 < ShapeClassCount; ++k0) {
                    const uint32_t q = base | static_cast<uint32_t>(k0);
                    const QuadValues v = quadValues(packed3 + classGroups(k0));
                    ShapeSumTable[q] = static_cast<int16_t>(score3 + ShapeScore[k0]);
                    ThreatLevelTable[q] = v.threat;
                    MoveValueTable[q] = v.move;
                    BlackMoveValueTable[q] = v.blackMove;
                }
            }
        }
    }
}

}  // namespace velka::patterns
