// The engine's own pseudo-random generator: 15-bit values, the same sequence for a given seed with
// every compiler and platform (the C runtime's rand differs between them). The shared sequence
// supplies the Zobrist keys and the spiral choice; a user whose draws must neither disturb it nor
// repeat with it keeps a Random of its own.
#pragma once

#include <cstdint>

namespace velka::board {

inline constexpr uint32_t RandomMax = 0x7FFF;
inline constexpr uint64_t DefaultRandomSeed = 1;

struct Random {
    uint64_t state = DefaultRandomSeed;
};

void seedRandom(uint64_t seed);
// The next value of the shared sequence, 0 to RandomMax.
uint32_t nextRandom();
// The next value of a sequence of its own.
uint32_t nextRandom(Random& random);

}  // namespace velka::board
