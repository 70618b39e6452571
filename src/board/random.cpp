#include "board/random.h"

namespace velka::board {

namespace {

// A 64-bit linear congruential generator (Knuth's MMIX constants); the top bits are the best.
Random shared;

constexpr uint64_t Multiplier = 6364136223846793005ull;
constexpr uint64_t Increment = 1442695040888963407ull;

}  // namespace

void seedRandom(uint64_t seed) {
    shared.state = seed;
}

uint32_t nextRandom() {
    return nextRandom(shared);
}

uint32_t nextRandom(Random& random) {
    random.state = random.state * Multiplier + Increment;
    return static_cast<uint32_t>(random.state >> 49) & RandomMax;
}

}  // namespace velka::board
