// Tables over the four direction classes of one cell. What they give depends only on how many of
// the four classes fall into each of eight groups, so they are indexed by the classes' groups:
// the GroupQuadIndex, one base-9 digit per direction (9^4 entries, a few KiB that stay in the
// first-level cache).
#pragma once

#include <array>
#include <cstdint>

#include "patterns/pattern_table.h"

namespace velka::patterns {

inline constexpr std::array<int16_t, ShapeClassCount> ShapeScore = {
    0, 0, 1000, 500, 134, 184, 184, 100, 100, 40, 40, 40, 40, 10, 10, 10, 10, 5, 4, 3, 2, 1};

// The four classes themselves, 5 bits each, direction 0 lowest.
inline constexpr uint32_t shapeQuadIndex(uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3) {
    return k0 | (k1 << 5) | (k2 << 10) | (k3 << 15);
}

// The groups whose counts the rules look at; a class belongs to one group or to none (digit 0).
enum ShapeGroup : uint8_t {
    GroupNone = 0,
    GroupForbidden,  // ShapeForbidden
    GroupFive,       // ShapeFive
    GroupOpenFour,   // ShapeOpenFour
    GroupFour,       // ShapeFour
    GroupOpenThree,  // ShapeThreeA, ShapeThreeB
    GroupThree,      // ShapeThreeC, ShapeThreeD
    GroupTwoAB,      // ShapeTwoA, ShapeTwoB
    GroupTwoCD,      // ShapeTwoC, ShapeTwoD
};
inline constexpr uint32_t ShapeGroupCount = 9;
inline constexpr uint32_t GroupQuadCount = 6561;  // 9^4

inline constexpr std::array<uint8_t, ShapeClassCount> ClassGroup = {
    GroupNone,      GroupForbidden, GroupFive,  GroupOpenFour, GroupFour,  GroupOpenThree,
    GroupOpenThree, GroupThree,     GroupThree, GroupTwoAB,    GroupTwoAB, GroupTwoCD,
    GroupTwoCD,     GroupNone,      GroupNone,  GroupNone,     GroupNone,  GroupNone,
    GroupNone,      GroupNone,      GroupNone,  GroupNone};

// The two base-9 digits of two classes (the low ten bits of a ShapeQuadIndex, or the high ten),
// so that a GroupQuadIndex takes two lookups.
constexpr std::array<uint8_t, 1024> makeClassPairGroups() {
    std::array<uint8_t, 1024> table{};
    for (uint32_t k0 = 0; k0 < ShapeClassCount; ++k0) {
        for (uint32_t k1 = 0; k1 < ShapeClassCount; ++k1) {
            table[k0 | k1 << 5] =
                static_cast<uint8_t>(ClassGroup[k0] + ShapeGroupCount * ClassGroup[k1]);
        }
    }
    return table;
}
inline constexpr std::array<uint8_t, 1024> ClassPairGroups = makeClassPairGroups();

// The GroupQuadIndex of the four classes of a ShapeQuadIndex.
inline uint32_t groupQuadIndex(uint32_t shapeQuad) {
    return ClassPairGroups[shapeQuad & 1023] +
           ShapeGroupCount * ShapeGroupCount * ClassPairGroups[shapeQuad >> 10];
}

// The sum of the four classes' ShapeScore.
inline int32_t shapeSum(uint32_t shapeQuad) {
    int32_t sum = 0;
    for (uint32_t d = 0; d < 4; ++d) sum += ShapeScore[(shapeQuad >> (5 * d)) & ShapeClassMask];
    return sum;
}

// Values the candidate generators test for.
inline constexpr uint8_t MoveValueFive = 255;
inline constexpr uint8_t MoveValueWinningFour = 212;  // open four, or fours in two lines
inline constexpr uint8_t MoveValueFourThree = 210;
inline constexpr uint8_t MoveValueDoubleThree = 202;

// Threat levels of ThreatLevelTable.
inline constexpr uint8_t ThreatNone = 0;
inline constexpr uint8_t ThreatFour = 1;
inline constexpr uint8_t ThreatFourThree = 2;
inline constexpr uint8_t ThreatFive = 3;

// Indexed by GroupQuadIndex.
extern std::array<uint8_t, GroupQuadCount> ThreatLevelTable;
extern std::array<uint8_t, GroupQuadCount> MoveValueTable;
extern std::array<uint8_t, GroupQuadCount> BlackMoveValueTable;

void buildShapeQuadTables();

}  // namespace velka::patterns
