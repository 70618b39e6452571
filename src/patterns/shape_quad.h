// Tables over the four direction classes of one cell, indexed by the 20-bit ShapeQuadIndex.
#pragma once

#include <array>
#include <cstdint>

#include "patterns/pattern_table.h"

namespace velka::patterns {

inline constexpr uint32_t ShapeQuadCount = 1u << 20;

inline constexpr uint32_t shapeQuadIndex(uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3) {
    return k0 | (k1 << 5) | (k2 << 10) | (k3 << 15);
}

inline constexpr std::array<int16_t, ShapeClassCount> ShapeScore = {
    0, 0, 1000, 500, 134, 184, 184, 100, 100, 40, 40, 40, 40, 10, 10, 10, 10, 5, 4, 3, 2, 1};

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

extern std::array<int16_t, ShapeQuadCount> ShapeSumTable;
extern std::array<uint8_t, ShapeQuadCount> ThreatLevelTable;
extern std::array<uint8_t, ShapeQuadCount> MoveValueTable;
extern std::array<uint8_t, ShapeQuadCount> BlackMoveValueTable;

void buildShapeQuadTables();

}  // namespace velka::patterns
