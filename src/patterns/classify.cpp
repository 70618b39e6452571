#include "patterns/classify.h"

#include <array>
#include <bit>
#include <cstdint>

#include "board/board.h"
#include "patterns/pattern_table.h"

namespace velka::patterns {

namespace {

// The classes of a stone depend only on whether each of the ten other window cells is own, empty
// or blocked (the other colour and the board's edge stop a line alike). So the classification runs
// once over the 3^10 reduced windows, each cell a base-3 digit, and the 4^11 table is expanded
// from them afterwards.
//
//   digit value: 0 empty, 1 own, 2 blocked
//   digit of window cell k: k for cells 0..4, k-1 for cells 6..10 (the centre is always own)
//
// Filling an empty cell turns digit 0 into 1, which only raises the index; walking the reduced
// windows from the highest index down therefore meets every fill before the window that needs it,
// and each window can run all passes at once on the final classes of its fills. Each pass only
// tests for classes that the pass before it assigns, so this gives the same fields as six
// separate sweeps.
using board::WindowCells;
using board::WindowCentre;
constexpr int32_t HalfCells = 5;
static_assert(HalfCodes == 1u << (2 * HalfCells));

constexpr std::array<uint32_t, WindowCells> FillStep = {1,   3,   9,    27,   81,   0,
                                                        243, 729, 2187, 6561, 19683};

// Classes of the reduced windows, laid out as table entries so that the expansion copies them.
std::array<PatternEntry, ReducedCount> ReducedEntries;

constexpr uint32_t runMask(int32_t first, int32_t length) {
    return ((1u << length) - 1) << first;
}

// A run of `length` own cells that contains the centre.
bool hasRun(uint32_t own, int32_t length) {
    const int32_t low = WindowCentre - length + 1 < 0 ? 0 : WindowCentre - length + 1;
    const int32_t high = WindowCells - length < WindowCentre ? WindowCells - length : WindowCentre;
    for (int32_t first = low; first <= high; ++first) {
        const uint32_t mask = runMask(first, length);
        if ((own & mask) == mask) return true;
    }
    return false;
}

using ClassCounts = std::array<uint8_t, ShapeClassCount>;

// Passes 2 to 5 for one field, from the number of fills that reach each class. Two fives in one
// line count as an open four unless doubleFourForbidden says they are a forbidden double four.
ShapeClass classFromFills(const ClassCounts& n, bool doubleFourForbidden) {
    if (n[ShapeFive] >= 2) return doubleFourForbidden ? ShapeForbidden : ShapeOpenFour;
    if (n[ShapeFive] == 1) return ShapeFour;

    if (n[ShapeOpenFour] >= 2) return ShapeThreeA;
    if (n[ShapeOpenFour] == 1) return ShapeThreeB;
    if (n[ShapeFour] == 2) return ShapeThreeD;
    if (n[ShapeFour] >= 1) return ShapeThreeC;

    if (n[ShapeThreeA] >= 2) return ShapeTwoA;
    if (n[ShapeThreeA] == 1) return ShapeTwoB;
    if (n[ShapeThreeB] == 2) return ShapeTwoD;
    if (n[ShapeThreeB] >= 1) return ShapeTwoC;
    if (n[ShapeThreeC] >= 1) return ShapeTwoE;
    if (n[ShapeThreeD] == 3) return ShapeTwoH;
    if (n[ShapeThreeD] == 4) return ShapeTwoG;
    if (n[ShapeThreeD] >= 1) return ShapeTwoF;

    // TwoC, TwoE, TwoF and TwoG lead nowhere: such windows stay without a class.
    if (n[ShapeTwoA] >= 2) return ShapeOneA;
    if (n[ShapeTwoA] == 1) return ShapeOneB;
    if (n[ShapeTwoB] >= 1) return ShapeOneC;
    if (n[ShapeTwoD] >= 1) return ShapeOneD;
    if (n[ShapeTwoH] >= 1) return ShapeOneE;
    return ShapeNone;
}

// Own and empty cells of one half of a reduced window, as 5-bit masks.
struct HalfMasks {
    uint8_t own;
    uint8_t empty;
};

constexpr std::array<HalfMasks, HalfReducedCount> makeHalfMasks() {
    std::array<HalfMasks, HalfReducedCount> masks{};
    for (int32_t half = 0; half < HalfReducedCount; ++half) {
        int32_t rest = half;
        for (int32_t cell = 0; cell < HalfCells; ++cell) {
            const int32_t digit = rest % 3;
            rest /= 3;
            if (digit == 0) masks[half].empty = static_cast<uint8_t>(masks[half].empty | 1 << cell);
            if (digit == 1) masks[half].own = static_cast<uint8_t>(masks[half].own | 1 << cell);
        }
    }
    return masks;
}
constexpr std::array<HalfMasks, HalfReducedCount> HalfMasksOf = makeHalfMasks();

void classifyReduced(bool lineDoubleFourForbidden) {
    for (int32_t index = ReducedCount - 1; index >= 0; --index) {
        const HalfMasks low = HalfMasksOf[index % HalfReducedCount];
        const HalfMasks high = HalfMasksOf[index / HalfReducedCount];
        const uint32_t own = low.own | 1u << WindowCentre | static_cast<uint32_t>(high.own) << 6;
        const uint32_t empty = low.empty | static_cast<uint32_t>(high.empty) << 6;

        PatternEntry entry{};
        if (hasRun(own, 5)) {
            setFreeShape(entry, ShapeFive);
            setExactShape(entry, hasRun(own, 6) ? ShapeForbidden : ShapeFive);
            ReducedEntries[index] = entry;
            continue;
        }

        ClassCounts freeCounts{};
        ClassCounts exactCounts{};
        std::array<uint8_t, 2> keyCells = {NoKeyCell, NoKeyCell};
        int32_t keyCount = 0;
        for (uint32_t rest = empty; rest != 0; rest &= rest - 1) {
            const int32_t cell = std::countr_zero(rest);
            const PatternEntry& fill = ReducedEntries[index + FillStep[cell]];
            ++freeCounts[freeShape(fill)];
            const ShapeClass exact = exactShape(fill);
            ++exactCounts[exact];
            if (exact == ShapeOpenFour && keyCount < 2) {
                keyCells[keyCount++] = static_cast<uint8_t>(cell);
            }
        }

        setFreeShape(entry, classFromFills(freeCounts, false));
        const ShapeClass exact =
            classFromFills(exactCounts, lineDoubleFourForbidden && !hasRun(own, 4));
        setExactShape(entry, exact);
        if (exact == ShapeThreeA || exact == ShapeThreeB) {
            entry.threeKeyCells = static_cast<uint8_t>(keyCells[0] | (keyCells[1] << 4));
        }
        ReducedEntries[index] = entry;
    }
    for (int32_t index = 0; index < ReducedCount; ++index) {
        const PatternEntry& e = ReducedEntries[index];
        ReducedShapes[index] =
            static_cast<uint16_t>(freeShape(e) << reducedShapeShift(ShapeField::Free) |
                                  exactShape(e) << reducedShapeShift(ShapeField::Exact));
    }
}

}  // namespace

void classifyShapes(bool lineDoubleFourForbidden) {
    classifyReduced(lineDoubleFourForbidden);

    // Each (high, colour) pair is one run of HalfCodes consecutive entries.
    for (int32_t colour = 1; colour <= 2; ++colour) {
        const uint32_t shift = 16 * static_cast<uint32_t>(colour - 1);
        for (uint32_t high = 0; high < HalfCodes; ++high) {
            const PatternEntry* source =
                &ReducedEntries[HalfReducedCount * ((HalfReduced[high] >> shift) & 0xFFFF)];
            PatternEntry* target =
                &PatternTable[(high << HighShift) | (static_cast<uint32_t>(colour) << CentreShift)];
            for (uint32_t low = 0; low < HalfCodes; ++low) {
                target[low] = source[(HalfReduced[low] >> shift) & 0xFFFF];
            }
        }
    }
}

}  // namespace velka::patterns
