#include "patterns/pattern_table.h"

#include <bit>
#include <cstring>

#include "patterns/classify.h"
#include "patterns/shape_quad.h"

namespace velka::patterns {

std::array<PatternEntry, PatternCount> PatternTable;
std::array<uint16_t, ReducedCount> ReducedShapes;
bool tableBuiltExact = false;

namespace {

static_assert(std::endian::native == std::endian::little, "byte 0 of an entry is its low byte");

bool isStone(uint32_t cellCode) {
    return cellCode == 1 || cellCode == 2;
}

// Near bits contributed by the two cells next to the centre (inner) and the two beyond them
// (outer) on one side.
uint8_t nearBits(uint32_t inner, uint32_t outer) {
    if (isStone(inner)) return Near1Bit | Near2Bit;
    return isStone(outer) ? Near2Bit : 0;
}

// Every entry is written whole by exactly one step: classifyShapes writes the entries with a stone
// at the centre, buildNearMask those with an empty centre, and this the entries whose centre lies
// outside the board. Together they amount to zeroing the table before classifying, without
// writing 32 MiB twice.
void clearOutsideCentres() {
    for (uint32_t high = 0; high < HalfCodes; ++high) {
        PatternEntry* run = &PatternTable[(high << HighShift) | CentreMask];
        std::memset(static_cast<void*>(run), 0, HalfCodes * sizeof(PatternEntry));
    }
}

}  // namespace

void buildNearMask() {
    std::array<uint8_t, HalfCodes> lowBits;   // cells 4 and 3
    std::array<uint8_t, HalfCodes> highBits;  // cells 6 and 7
    for (uint32_t half = 0; half < HalfCodes; ++half) {
        lowBits[half] = nearBits((half >> 8) & 3, (half >> 6) & 3);
        highBits[half] = nearBits(half & 3, (half >> 2) & 3);
    }
    for (uint32_t high = 0; high < HalfCodes; ++high) {
        PatternEntry* run = &PatternTable[high << HighShift];
        for (uint32_t low = 0; low < HalfCodes; ++low) {
            // Byte 0 holds the near bits; the whole entry is written as one word. (memcpy rather
            // than std::bit_cast, which Emscripten's C++ library lacks.)
            const uint64_t word = lowBits[low] | highBits[high];
            std::memcpy(static_cast<void*>(&run[low]), &word, sizeof word);
        }
    }
}

void buildPatternTables(RuleVariant variant) {
    clearOutsideCentres();
    classifyShapes(variant != RuleVariant::ExactFive);
    tableBuiltExact = variant == RuleVariant::ExactFive;
    buildNearMask();
    buildShapeQuadTables();
}

void refreshPatternTables(RuleVariant variant) {
    // Freestyle reads only freeShape, which both classifications agree on.
    if (variant == RuleVariant::ExactFive && !tableBuiltExact) buildPatternTables(variant);
    if (variant == RuleVariant::Renju && tableBuiltExact) buildPatternTables(variant);
}

}  // namespace velka::patterns
