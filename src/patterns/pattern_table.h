// The PatternTable: one 8-byte entry for every content of an 11-cell line window, so that every
// "what does a stone here make in this line" question is a single lookup.
//
// WindowCode: 22 bits, window cell i (0..10, centre 5) in bits 2i and 2i+1, cell i lying i-5 steps
// from the centre along the direction. Codes: 0 empty, 1 and 2 stones, 3 outside the board.
//
// PatternEntry layout (bit 0 is the least significant bit of its byte):
//
//   byte 0   bit 0     Near1      centre empty, cell 4 or 6 holds a stone
//            bit 1     Near2      centre empty, Near1 or cell 3 or 7 holds a stone
//            bits 3-7  freeShape  ShapeClass when five or more in a row win
//   byte 1   bits 0-4  exactShape ShapeClass when only exactly five wins
//   byte 6   bits 0-3  first three key cell  (window index, NoKeyCell when none)
//            bits 4-7  second three key cell
//   bytes 2-5, 7 and the other bits are free.
#pragma once

#include <array>
#include <cstdint>

#include "patterns/rule_variant.h"

namespace velka::patterns {

using WindowCode = uint32_t;

inline constexpr uint32_t PatternCount = 1u << 22;  // 4^11
inline constexpr uint32_t CentreShift = 10;  // code | (c << CentreShift) puts c in the centre
inline constexpr uint32_t CentreMask = 3u << CentreShift;
inline constexpr uint8_t NoKeyCell = 5;

// Lower is stronger; 0 is no shape.
enum ShapeClass : uint8_t {
    ShapeNone = 0,
    ShapeForbidden,  // exactShape only: overline, or two fours in one line (variants 0 and 2)
    ShapeFive,
    ShapeOpenFour,  // two or more cells give a five
    ShapeFour,      // exactly one cell gives a five
    ShapeThreeA,    // two or more cells give an open four
    ShapeThreeB,    // exactly one cell gives an open four
    ShapeThreeC,    // no open four; fours on a number of cells other than two
    ShapeThreeD,    // no open four; fours on exactly two cells
    ShapeTwoA,
    ShapeTwoB,
    ShapeTwoC,
    ShapeTwoD,
    ShapeTwoE,
    ShapeTwoF,
    ShapeTwoG,
    ShapeTwoH,
    ShapeOneA,
    ShapeOneB,
    ShapeOneC,
    ShapeOneD,
    ShapeOneE,
};
inline constexpr int32_t ShapeClassCount = 22;

struct PatternEntry {
    uint8_t nearAndFree;  // Near1, Near2, freeShape
    uint8_t exact;        // exactShape
    uint8_t unused2[4];
    uint8_t threeKeyCells;
    uint8_t unused7;
};
static_assert(sizeof(PatternEntry) == 8);

inline constexpr uint8_t Near1Bit = 0x01;
inline constexpr uint8_t Near2Bit = 0x02;
inline constexpr int FreeShapeShift = 3;
inline constexpr uint8_t ExactShapeMask = 0x1F;

inline bool near1(const PatternEntry& e) {
    return (e.nearAndFree & Near1Bit) != 0;
}
inline bool near2(const PatternEntry& e) {
    return (e.nearAndFree & Near2Bit) != 0;
}
inline ShapeClass freeShape(const PatternEntry& e) {
    return static_cast<ShapeClass>(e.nearAndFree >> FreeShapeShift);
}
inline ShapeClass exactShape(const PatternEntry& e) {
    return static_cast<ShapeClass>(e.exact & ExactShapeMask);
}
inline uint8_t firstKeyCell(const PatternEntry& e) {
    return e.threeKeyCells & 0x0F;
}
inline uint8_t secondKeyCell(const PatternEntry& e) {
    return e.threeKeyCells >> 4;
}

inline void setFreeShape(PatternEntry& e, ShapeClass k) {
    e.nearAndFree = static_cast<uint8_t>((e.nearAndFree & 0x07) | (k << FreeShapeShift));
}
inline void setExactShape(PatternEntry& e, ShapeClass k) {
    e.exact = static_cast<uint8_t>((e.exact & ~ExactShapeMask) | k);
}

// 32 MiB, static; written only by buildPatternTables.
extern std::array<PatternEntry, PatternCount> PatternTable;
// True when the table was last built for exact five (lineDoubleFourForbidden false).
extern bool tableBuiltExact;

inline const PatternEntry& patternEntry(WindowCode code) {
    return PatternTable[code];
}

// Which of the two class fields a reader uses.
enum class ShapeField { Free, Exact };

template <ShapeField F>
inline ShapeClass shapeOf(const PatternEntry& e) {
    if constexpr (F == ShapeField::Free) {
        return freeShape(e);
    } else {
        return exactShape(e);
    }
}

// Zero the table, classify, mark near cells, then build the four-direction tables.
void buildPatternTables(RuleVariant variant);
// Rebuilds only when the variant needs the other classification.
void refreshPatternTables(RuleVariant variant);
// Sets Near1 and Near2 on every code with an empty centre.
void buildNearMask();

}  // namespace velka::patterns
