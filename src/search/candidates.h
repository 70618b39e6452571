// Candidate generation: scores nearby empty cells by what a stone of either colour makes there,
// returns them best first, or a single forced cell (own five, the opponent's five point, own
// winning four). It reads the candidate ranks that a SearchBoard keeps for every cell.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "board/board.h"
#include "patterns/shape_quad.h"
#include "search/search_board.h"

namespace velka::search {

inline constexpr int32_t RootCandidateCapacity = 200;
inline constexpr int32_t InnerCandidateCapacity = 10;

bool hasNearbyStone(const board::EngineBoard& b, int32_t cell);

// The rows and columns a scan covers. Cells outside it must be ones the filter would skip (the
// search passes the stones' bounding box widened by three cells at the root, two below it).
struct ScanArea {
    int32_t x0, y0, x1, y1;  // inclusive
};

// Bit 7 of each byte of the result is set when that byte of word is not zero.
inline uint64_t nonzeroBytes(uint64_t word) {
    constexpr uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full;
    return (((word & Low7) + Low7) | word) & ~Low7;
}

inline uint64_t eightBytes(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Brings the shapes of the area's inner candidates (the cells with a stone within two cells
// along a line) up to date.
inline void refreshNearCells(SearchBoard& sb, const ScanArea& area) {
    const int32_t width = sb.board.width;
    for (int32_t y = area.y0; y <= area.y1; ++y) {
        const int32_t first = y * width + area.x0;
        const int32_t last = y * width + area.x1;
        // Eight cells at a time: most cells of a row are stones or far from any, or up to date.
        for (int32_t s = first; s <= last; s += 8) {
            uint64_t stale = nonzeroBytes(eightBytes(sb.near.data() + s)) &
                             nonzeroBytes(eightBytes(sb.stale.data() + s));
            if (last - s < 7) stale &= (uint64_t{1} << (8 * (last - s + 1))) - 1;
            for (; stale != 0; stale &= stale - 1) {
                refreshShapes(sb, s + std::countr_zero(stale) / 8);
            }
        }
    }
}

// The area's cells run from its first to its last in index order, with cells outside it in
// between; those are no inner candidates, so their ranks are 0.
inline int32_t areaFirst(const SearchBoard& sb, const ScanArea& area) {
    return area.y0 * sb.board.width + area.x0;
}
inline int32_t areaLast(const SearchBoard& sb, const ScanArea& area) {
    return area.y1 * sb.board.width + area.x1;
}

// The K largest keys offered, in descending order; 0 marks an empty place.
template <int32_t K>
struct BestKeys {
    std::array<uint32_t, K> keys{};

    void offer(uint32_t key) {
        if (key <= keys[K - 1]) return;
        if constexpr (K <= InnerCandidateCapacity) {
            // Without branches: each place keeps the larger of its key and the smaller of the
            // newcomer and the key before it.
            for (int32_t i = K - 1; i > 0; --i) {
                keys[i] = std::max(keys[i], std::min(keys[i - 1], key));
            }
            keys[0] = std::max(keys[0], key);
        } else {
            int32_t at = K - 1;
            for (; at > 0 && keys[at - 1] < key; --at) keys[at] = keys[at - 1];
            keys[at] = key;
        }
    }
};

// The root candidates for `side` to move, written to out: the forced cell alone (an own five,
// the block of the other side's five, an own winning four), or at most RootCandidateCapacity
// cells with a stone nearby, best first, equal scores in ascending cell order. Returns their
// number.
int32_t rootCandidates(SearchBoard& sb, const ScanArea& area, int32_t side, int32_t* out);

// The inner candidates of one node, found as the node asks for them: the first scan brings the
// cells' shapes up to date and finds the best cell, which is all that most nodes use (their first
// move cuts them off); the others, up to InnerCandidateCapacity in all, come from a second scan
// made when the node asks for its second move. The node's children leave the shapes as they found
// them, so both scans see the same keys.
struct CandidateList {
    std::array<int32_t, InnerCandidateCapacity> cells;
    int32_t count = 0;      // found so far
    bool complete = false;  // nothing more to find
};

// The first scan: false when the side to move has no candidate at all.
inline bool startCandidates(SearchBoard& sb, const ScanArea& area, int32_t side,
                            CandidateList& list) {
    refreshNearCells(sb, area);
    const int16_t* ranks = sb.ranks[side - 1].data();
    const int32_t first = areaFirst(sb, area);
    const int32_t last = areaLast(sb, area);
    int16_t best = 0;
    for (int32_t s = first; s <= last; ++s) best = std::max(best, ranks[s]);
    list.count = best != 0 ? 1 : 0;
    list.complete = best == 0 || best >= FourRank;  // a forced cell comes alone
    if (best == 0) return false;
    int32_t cell = highestFirst(best) ? last : first;
    while (ranks[cell] != best) cell += highestFirst(best) ? -1 : 1;
    list.cells[0] = cell;
    return true;
}

// Candidate i (from 0) of the list, or NoCell after the last.
inline int32_t candidateAt(SearchBoard& sb, const ScanArea& area, int32_t side, CandidateList& list,
                           int32_t i) {
    if (i >= list.count && !list.complete) {
        refreshNearCells(sb, area);
        const int16_t* ranks = sb.ranks[side - 1].data();
        BestKeys<InnerCandidateCapacity> best;
        for (int32_t s = areaFirst(sb, area); s <= areaLast(sb, area); ++s) {
            if (ranks[s] != 0) best.offer(candidateKey(ranks[s], s));
        }
        list.count = 0;
        while (list.count < InnerCandidateCapacity && best.keys[list.count] != 0) {
            list.cells[list.count] = keyCell(best.keys[list.count]);
            ++list.count;
        }
        list.complete = true;
    }
    return i < list.count ? list.cells[i] : board::NoCell;
}

}  // namespace velka::search
