// Candidate generation: scores nearby empty cells by what a stone of either colour makes there,
// returns them best first, or a single forced cell (own five, the opponent's five point, own
// winning four).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"

namespace velka::search {

enum class CandidateMode { Root, Inner };
// Which class field and value table a generator reads.
enum class CandidateGenerator { ExactFive, Freestyle, RenjuBlack };

inline constexpr int32_t RootCandidateCapacity = 200;
inline constexpr int32_t InnerCandidateCapacity = 10;

int32_t generateCandidates(CandidateGenerator generator, CandidateMode mode, int32_t side,
                           int32_t* out, int32_t capacity);
// Renju: black (firstPlayer) gets the Renju-black generator, white the freestyle one.
int32_t generateRenjuCandidates(CandidateMode mode, int32_t side, int32_t* out, int32_t capacity);
bool hasNearbyStone(int32_t cell);

// Below a value of 200 a cell's score counts own shapes double; from 200 up (a four-three, two
// open threes, ...) the stronger side's value decides, own threats by a small margin.
inline constexpr int32_t StrongMoveValue = 200;
inline constexpr int32_t OwnStrongBonus = 4;

inline int32_t candidateScore(int32_t mine, int32_t theirs) {
    if (mine < StrongMoveValue && theirs < StrongMoveValue) return 2 * mine + theirs;
    return mine > theirs ? mine + OwnStrongBonus : theirs;
}

struct Candidate {
    int32_t score;
    int32_t cell;
};

// Best first; equal scores in ascending cell order, so that the order (and with it every node
// count) is the same with every compiler's sort.
inline bool candidateBefore(const Candidate& a, const Candidate& b) {
    return a.score > b.score || (a.score == b.score && a.cell < b.cell);
}
struct CandidateOrder {
    bool operator()(const Candidate& a, const Candidate& b) const { return candidateBefore(a, b); }
};

// Whether a stone (code 1 or 2, not 3) lies within two cells of the centre in the window: the
// Near2 bit of the window's PatternEntry, read from the code itself instead of the table. A cell
// code c is a stone when its two bits differ.
inline bool stoneWithinTwo(uint32_t code) {
    constexpr uint32_t Cells3467 = (1u << 6) | (1u << 8) | (1u << 12) | (1u << 14);
    return ((code ^ (code >> 1)) & Cells3467) != 0;
}

// Scratch list of one generator, sized for the largest board; each call empties it.
struct CandidateList {
    int32_t count = 0;
    std::array<Candidate, board::MaxCells> entries;
};

// The rows and columns a generator scans. Cells outside it must be ones the filter would skip
// (the search passes the stones' bounding box widened by three cells); scanning row by row keeps
// the index order.
struct ScanArea {
    int32_t x0, y0, x1, y1;  // inclusive
};

inline ScanArea wholeBoard() {
    return {0, 0, board::engineBoard.width - 1, board::engineBoard.height - 1};
}

CandidateList& candidateList(CandidateGenerator generator);

// The generator body. F: the class field read; Black: BlackMoveValueTable instead of
// MoveValueTable (Renju black).
template <patterns::ShapeField F, bool Black, CandidateMode M>
int32_t generateIn(CandidateList& list, const ScanArea& area, int32_t side, int32_t* out,
                   int32_t capacity) {
    using namespace patterns;
    const board::EngineBoard& b = board::engineBoard;
    const std::array<uint8_t, ShapeQuadCount>& values =
        Black ? BlackMoveValueTable : MoveValueTable;
    constexpr uint32_t Stone1 = uint32_t{board::CellOwn} << CentreShift;
    constexpr uint32_t Stone2 = uint32_t{board::CellOpponent} << CentreShift;
    list.count = 0;
    int32_t blockCell = board::NoCell;
    int32_t fourCell = board::NoCell;
    for (int32_t y = area.y0; y <= area.y1; ++y) {
        const int32_t rowStart = y * b.width;
        for (int32_t s = rowStart + area.x0; s <= rowStart + area.x1; ++s) {
            if (b.cells[s] != board::CellEmpty) continue;
            if constexpr (M == CandidateMode::Root) {
                if (!hasNearbyStone(s)) continue;
            }
            const uint32_t w0 = board::windowCode(0, s);
            const uint32_t w1 = board::windowCode(1, s);
            const uint32_t w2 = board::windowCode(2, s);
            const uint32_t w3 = board::windowCode(3, s);
            if constexpr (M == CandidateMode::Inner) {
                // A stone within two cells along one of the lines.
                if (!stoneWithinTwo(w0) && !stoneWithinTwo(w1) && !stoneWithinTwo(w2) &&
                    !stoneWithinTwo(w3)) {
                    continue;
                }
            }
            const uint32_t q1 = shapeQuadIndex(
                shapeOf<F>(patternEntry(w0 | Stone1)), shapeOf<F>(patternEntry(w1 | Stone1)),
                shapeOf<F>(patternEntry(w2 | Stone1)), shapeOf<F>(patternEntry(w3 | Stone1)));
            const uint32_t q2 = shapeQuadIndex(
                shapeOf<F>(patternEntry(w0 | Stone2)), shapeOf<F>(patternEntry(w1 | Stone2)),
                shapeOf<F>(patternEntry(w2 | Stone2)), shapeOf<F>(patternEntry(w3 | Stone2)));
            const int32_t value1 = values[q1];
            const int32_t value2 = values[q2];
            const int32_t mine = side == board::CellOwn ? value1 : value2;
            const int32_t theirs = side == board::CellOwn ? value2 : value1;
            if (mine + theirs == 0) continue;
            if (mine == MoveValueFive) {
                out[0] = s;
                return 1;
            }
            if (theirs == MoveValueFive) {
                blockCell = s;
                continue;
            }
            if (mine == MoveValueWinningFour) {
                fourCell = s;
                continue;
            }
            const int32_t score = candidateScore(mine, theirs);
            if (score > 0) list.entries[list.count++] = {score, s};
        }
    }
    if (blockCell != board::NoCell) {
        out[0] = blockCell;
        return 1;
    }
    if (fourCell != board::NoCell) {
        out[0] = fourCell;
        return 1;
    }
    Candidate* first = list.entries.data();
    Candidate* last = first + list.count;
    const int32_t n = std::min(list.count, capacity);
    if (n < list.count) {
        std::partial_sort(first, first + n, last, CandidateOrder{});
    } else {
        std::sort(first, last, CandidateOrder{});
    }
    for (int32_t i = 0; i < n; ++i) out[i] = first[i].cell;
    return n;
}

}  // namespace velka::search
