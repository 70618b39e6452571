#include "patterns/shape_quad.h"

#include "patterns/pattern_table.h"

namespace velka::patterns {

std::array<uint8_t, GroupQuadCount> ThreatLevelTable{};
std::array<uint8_t, GroupQuadCount> MoveValueTable{};
std::array<uint8_t, GroupQuadCount> BlackMoveValueTable{};

namespace {

// Each group has a 4-bit counter in one word, so that the four directions' counters add up to the
// group counts (at most 4, no carry between counters).
constexpr uint32_t groupBit(uint32_t g) {
    return g == GroupNone ? 0 : 1u << (4 * (g - 1));
}
constexpr uint32_t groupCount(uint32_t packed, ShapeGroup g) {
    return (packed >> (4 * (g - 1))) & 15;
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
    for (uint32_t index = 0; index < GroupQuadCount; ++index) {
        uint32_t packed = 0;
        for (uint32_t digits = index, d = 0; d < 4; ++d, digits /= ShapeGroupCount) {
            packed += groupBit(digits % ShapeGroupCount);
        }
        const QuadValues v = quadValues(packed);
        ThreatLevelTable[index] = v.threat;
        MoveValueTable[index] = v.move;
        BlackMoveValueTable[index] = v.blackMove;
    }
}

}  // namespace velka::patterns
