// Eight centre-outward orders of the board's cells: the opening move and the last-resort fallback
// walk one of them, drawn at random for each move.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"

namespace velka::board {

inline constexpr int32_t SpiralOrderCount = 8;

// Order t occupies entries t * MaxCells .. t * MaxCells + MaxCells - 1; entries past cellCount are
// 0.
extern std::array<int32_t, SpiralOrderCount * MaxCells> spiralOrders;
extern int32_t currentSpiral;

void buildSpiralOrders(int32_t width, int32_t height);
// Reseeds the generator from the calendar time in seconds and draws the order for this move.
void chooseSpiralOrder();

inline int32_t spiralCell(int32_t i) {
    return spiralOrders[currentSpiral * MaxCells + i];
}

}  // namespace velka::board
