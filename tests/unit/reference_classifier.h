// A deliberately plain second build of the pattern tables, for tests and for the benchmark's
// comparison: six sweeps over every one of the 4^11 window codes, each rule written out as it is
// stated, no reduced windows, no shortcuts. Slow on purpose; nothing in the engine uses it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"

namespace velka::reference {

using patterns::PatternEntry;
using patterns::ShapeClass;

inline uint32_t cellOf(uint32_t code, int cell) {
    return (code >> (2 * cell)) & 3;
}

// A run of `length` cells of the centre's colour that contains the centre.
inline bool hasOwnRun(uint32_t code, int length) {
    const uint32_t own = cellOf(code, 5);
    for (int first = 0; first + length - 1 <= 10; ++first) {
        if (first > 5 || first + length - 1 < 5) continue;
        bool all = true;
        for (int cell = first; cell < first + length; ++cell)
            all = all && cellOf(code, cell) == own;
        if (all) return true;
    }
    return false;
}

enum class Field { Free, Exact };

inline ShapeClass fieldOf(const PatternEntry& e, Field f) {
    return f == Field::Free ? patterns::freeShape(e) : patterns::exactShape(e);
}

inline void setField(PatternEntry& e, Field f, ShapeClass k) {
    if (f == Field::Free) {
        patterns::setFreeShape(e, k);
    } else {
        patterns::setExactShape(e, k);
    }
}

// count(F, X): the empty cells whose fill with the centre's colour has class X in field F.
inline int countFills(const std::vector<PatternEntry>& table, uint32_t code, Field f,
                      ShapeClass x) {
    const uint32_t own = cellOf(code, 5);
    int n = 0;
    for (int cell = 0; cell <= 10; ++cell) {
        if (cell == 5 || cellOf(code, cell) != 0) continue;
        if (fieldOf(table[code | (own << (2 * cell))], f) == x) ++n;
    }
    return n;
}

inline bool hasStoneAtCentre(uint32_t code) {
    const uint32_t centre = cellOf(code, 5);
    return centre == 1 || centre == 2;
}

inline std::vector<PatternEntry> referencePatternTable(bool lineDoubleFourForbidden) {
    using namespace patterns;
    std::vector<PatternEntry> t(PatternCount);  // zeroed
    constexpr Field Fields[] = {Field::Free, Field::Exact};

    // Pass 1: fives.
    for (uint32_t w = 0; w < PatternCount; ++w) {
        if (!hasStoneAtCentre(w) || !hasOwnRun(w, 5)) continue;
        setFreeShape(t[w], ShapeFive);
        setExactShape(t[w], hasOwnRun(w, 6) ? ShapeForbidden : ShapeFive);
    }
    // Pass 2: fours.
    for (uint32_t w = 0; w < PatternCount; ++w) {
        if (!hasStoneAtCentre(w)) continue;
        if (freeShape(t[w]) == ShapeNone) {
            const int n = countFills(t, w, Field::Free, ShapeFive);
            if (n >= 2) setFreeShape(t[w], ShapeOpenFour);
            if (n == 1) setFreeShape(t[w], ShapeFour);
        }
        if (exactShape(t[w]) == ShapeNone) {
            const int n = countFills(t, w, Field::Exact, ShapeFive);
            if (n == 1) setExactShape(t[w], ShapeFour);
            if (n >= 2) {
                const bool forbidden = lineDoubleFourForbidden && !hasOwnRun(w, 4);
                setExactShape(t[w], forbidden ? ShapeForbidden : ShapeOpenFour);
            }
        }
    }
    // Pass 3: threes.
    for (uint32_t w = 0; w < PatternCount; ++w) {
        if (!hasStoneAtCentre(w)) continue;
        for (Field f : Fields) {
            if (fieldOf(t[w], f) != ShapeNone) continue;
            const int open = countFills(t, w, f, ShapeOpenFour);
            const int four = countFills(t, w, f, ShapeFour);
            if (open >= 2) {
                setField(t[w], f, ShapeThreeA);
            } else if (open == 1) {
                setField(t[w], f, ShapeThreeB);
            } else if (four == 2) {
                setField(t[w], f, ShapeThreeD);
            } else if (four >= 1) {
                setField(t[w], f, ShapeThreeC);
            }
        }
    }
    // Pass 4: twos.
    for (uint32_t w = 0; w < PatternCount; ++w) {
        if (!hasStoneAtCentre(w)) continue;
        for (Field f : Fields) {
            if (fieldOf(t[w], f) != ShapeNone) continue;
            const int a = countFills(t, w, f, ShapeThreeA);
            const int b = countFills(t, w, f, ShapeThreeB);
            const int c = countFills(t, w, f, ShapeThreeC);
            const int d = countFills(t, w, f, ShapeThreeD);
            if (a >= 2) {
                setField(t[w], f, ShapeTwoA);
            } else if (a == 1) {
                setField(t[w], f, ShapeTwoB);
            } else if (b == 2) {
                setField(t[w], f, ShapeTwoD);
            } else if (b >= 1) {
                setField(t[w], f, ShapeTwoC);
            } else if (c >= 1) {
                setField(t[w], f, ShapeTwoE);
            } else if (d == 3) {
                setField(t[w], f, ShapeTwoH);
            } else if (d == 4) {
                setField(t[w], f, ShapeTwoG);
            } else if (d >= 1) {
                setField(t[w], f, ShapeTwoF);
            }
        }
    }
    // Pass 5: ones.
    for (uint32_t w = 0; w < PatternCount; ++w) {
        if (!hasStoneAtCentre(w)) continue;
        for (Field f : Fields) {
            if (fieldOf(t[w], f) != ShapeNone) continue;
            const int a = countFills(t, w, f, ShapeTwoA);
            if (a >= 2) {
                setField(t[w], f, ShapeOneA);
            } else if (a == 1) {
                setField(t[w], f, ShapeOneB);
            } else if (countFills(t, w, f, ShapeTwoB) >= 1) {
                setField(t[w], f, ShapeOneC);
            } else if (countFills(t, w, f, ShapeTwoD) >= 1) {
                setField(t[w], f, ShapeOneD);
            } else if (countFills(t, w, f, ShapeTwoH) >= 1) {
                setField(t[w], f, ShapeOneE);
            }
        }
    }
    // Pass 6: the cells that turn a three into an open four.
    for (uint32_t w = 0; w < PatternCount; ++w) {
        const ShapeClass exact = exactShape(t[w]);
        if (!hasStoneAtCentre(w) || (exact != ShapeThreeA && exact != ShapeThreeB)) continue;
        uint8_t low = NoKeyCell;
        uint8_t high = NoKeyCell;
        const uint32_t own = cellOf(w, 5);
        for (int cell = 0; cell <= 10; ++cell) {
            if (cell == 5 || cellOf(w, cell) != 0) continue;
            if (exactShape(t[w | (own << (2 * cell))]) != ShapeOpenFour) continue;
            if (low == NoKeyCell) {
                low = static_cast<uint8_t>(cell);
            } else if (high == NoKeyCell) {
                high = static_cast<uint8_t>(cell);
            }
        }
        t[w].threeKeyCells = static_cast<uint8_t>(low | (high << 4));
    }
    // Near cells of empty centres.
    for (uint32_t w = 0; w < PatternCount; ++w) {
        if (cellOf(w, 5) != 0) continue;
        const auto stone = [w](int cell) { return cellOf(w, cell) == 1 || cellOf(w, cell) == 2; };
        const bool n1 = stone(4) || stone(6);
        const bool n2 = n1 || stone(3) || stone(7);
        t[w].nearAndFree =
            static_cast<uint8_t>(t[w].nearAndFree | (n1 ? Near1Bit : 0) | (n2 ? Near2Bit : 0));
    }
    return t;
}

struct QuadValues {
    int16_t sum;
    uint8_t threat;
    uint8_t move;
    uint8_t blackMove;
};

// The four-direction rules evaluated directly from the class counts c[x] of one index.
inline QuadValues referenceQuadValues(std::array<int, 4> classes) {
    std::array<int, 22> c{};
    int sum = 0;
    for (int k : classes) {
        ++c[k];
        sum += patterns::ShapeScore[k];
    }
    QuadValues v{};
    v.sum = static_cast<int16_t>(sum);

    if (c[2] >= 1) {
        v.threat = 3;
    } else if (c[3] + c[4] >= 1 && c[5] + c[6] + c[7] + c[8] >= 1) {
        v.threat = 2;
    } else if (c[3] + c[4] >= 1) {
        v.threat = 1;
    }

    const int rest =
        5 * (c[7] + c[8] + c[9] + c[10]) + 2 * (c[11] + c[12]) + 12 * (c[4] + c[5] + c[6]);
    if (c[2] >= 1) {
        v.move = 255;
    } else if (c[4] + 2 * c[3] >= 2) {
        v.move = 212;
    } else if (c[4] == 1 && c[5] + c[6] >= 1) {
        v.move = 210;
    } else if (c[4] == 0 && c[5] + c[6] >= 2) {
        v.move = 202;
    } else {
        v.move = static_cast<uint8_t>(rest);
    }

    if (c[2] >= 1) {
        v.blackMove = 255;
    } else if (c[1] >= 1) {
        v.blackMove = 0;
    } else if (c[3] + c[4] >= 2) {
        v.blackMove = 0;
    } else if (c[5] + c[6] >= 2) {
        v.blackMove = 0;
    } else if (c[3] >= 1) {
        v.blackMove = 212;
    } else if (c[4] == 1 && c[5] + c[6] == 1) {
        v.blackMove = 210;
    } else {
        v.blackMove = static_cast<uint8_t>(rest);
    }
    return v;
}

inline std::array<int, 4> quadClasses(uint32_t q) {
    return {static_cast<int>(q & 31), static_cast<int>((q >> 5) & 31),
            static_cast<int>((q >> 10) & 31), static_cast<int>(q >> 15)};
}

inline bool quadIndexValid(uint32_t q) {
    for (int k : quadClasses(q)) {
        if (k > 21) return false;
    }
    return true;
}

}  // namespace velka::reference
