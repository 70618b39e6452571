#include "board/random.h"

namespace velka::board {

namespace {

// A 64-bit linear congruential generator (Knuth's MMIX constants); the top bits are the best.
uint64_t randomState = DefaultRandomSeed;

constexpr uint64_t Multiplier = 6364136223846793005ull;
constexpr uint64_t Increment = 1442695040888963407ull;

}  // namespace

void seedRandom(uint64_t seed) {
    randomState = seed;
}

uint32_t nextRandom() {
    randomState = randomState * Multiplier + Increment;
    return static_cast<uint32_t>(randomState >> 49) & RandomMax;
}

}  // namespace velka::board
