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
// How a stone of each colour is valued. Freestyle and exact five judge both colours alike, by
// freeShape or exactShape and MoveValueTable. Renju judges each colour as the rules treat it:
// black (firstPlayer) by exactShape and BlackMoveValueTable (an overline or a forbidden point is
// worth nothing to black), white by freeShape and MoveValueTable (an overline wins for white).
enum class CandidateRules { Freestyle, ExactFive, Renju };

inline constexpr int32_t RootCandidateCapacity = 200;
inline constexpr int32_t InnerCandidateCapacity = 10;

// Over the whole board; the search scans a smaller area (generateIn).
int32_t generateCandidates(CandidateRules rules, CandidateMode mode, int32_t side, int32_t* out,
                           int32_t capacity);
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

CandidateList& candidateList(CandidateRules rules);

// The four classes of a stone of `code` on the empty cell whose windows are w, packed.
template <patterns::ShapeField F>
inline uint32_t quadIfPlayed(const std::array<uint32_t, board::DirectionCount>& w, int32_t code) {
    using namespace patterns;
    const uint32_t stone = static_cast<uint32_t>(code) << CentreShift;
    return shapeQuadIndex(
        shapeOf<F>(patternEntry(w[0] | stone)), shapeOf<F>(patternEntry(w[1] | stone)),
        shapeOf<F>(patternEntry(w[2] | stone)), shapeOf<F>(patternEntry(w[3] | stone)));
}

// What a stone of `code` on the cell is worth under the rules (black: the Renju first player).
template <CandidateRules R>
inline int32_t moveValue(const std::array<uint32_t, board::DirectionCount>& w, int32_t code,
                         int32_t black) {
    using namespace patterns;
    if constexpr (R == CandidateRules::Freestyle) {
        return MoveValueTable[quadIfPlayed<ShapeField::Free>(w, code)];
    } else if constexpr (R == CandidateRules::ExactFive) {
        return MoveValueTable[quadIfPlayed<ShapeField::Exact>(w, code)];
    } else {
        return code == black ? BlackMoveValueTable[quadIfPlayed<ShapeField::Exact>(w, code)]
                             : MoveValueTable[quadIfPlayed<ShapeField::Free>(w, code)];
    }
}

// The generator body.
template <CandidateRules R, CandidateMode M>
int32_t generateIn(CandidateList& list, const ScanArea& area, int32_t side, int32_t* out,
                   int32_t capacity) {
    using namespace patterns;
    const board::EngineBoard& b = board::engineBoard;
    const int32_t black = b.firstPlayer;
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
            const std::array<uint32_t, board::DirectionCount> w = {
                board::windowCode(0, s), board::windowCode(1, s), board::windowCode(2, s),
                board::windowCode(3, s)};
            if constexpr (M == CandidateMode::Inner) {
                // A stone within two cells along one of the lines.
                if (!stoneWithinTwo(w[0]) && !stoneWithinTwo(w[1]) && !stoneWithinTwo(w[2]) &&
                    !stoneWithinTwo(w[3])) {
                    continue;
                }
            }
            const int32_t value1 = moveValue<R>(w, board::CellOwn, black);
            const int32_t value2 = moveValue<R>(w, board::CellOpponent, black);
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
