// The engine's own pseudo-random generator: 15-bit values, the same sequence for a given seed with
// every compiler and platform (the C runtime's rand differs between them). It supplies the
// Zobrist keys and the spiral choice.
#pragma once

#include <cstdint>

namespace velka::board {

inline constexpr uint32_t RandomMax = 0x7FFF;
inline constexpr uint64_t DefaultRandomSeed = 1;

void seedRandom(uint64_t seed);
// The next value, 0 to RandomMax.
uint32_t nextRandom();

}  // namespace velka::board
