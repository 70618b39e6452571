// What the strong search learns while it searches, for its move order: per ply the two latest
// quiet moves that cut a search off there (killers), and per colour and cell how often a quiet move
// there cut one off, weighted by the depth left (history).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "board/board.h"
#include "search/strong/parameters.h"

namespace velka::search::strong {

struct Killers {
    std::array<int32_t, 2> cells{board::NoCell, board::NoCell};

    bool contains(int32_t cell) const { return cell == cells[0] || cell == cells[1]; }
};

// history[colour - 1][cell], within 0 .. HistoryLimit.
using History = std::array<std::array<int16_t, board::MaxCells>, 2>;

// From one move to the next the history fades to half: what the last moves' searches learnt
// still orders the first moves of this one, and gives way to what this one learns.
inline void fadeHistory(History& history) {
    for (auto& side : history) {
        for (int16_t& h : side) h = static_cast<int16_t>(h / 2);
    }
}

// A quiet move of colour at a node depth plies above the horizon cut the search off: it becomes
// the ply's first killer (the first moves to second place, unless it was this move) and gains
// depth * depth in the history, up to the limit.
inline void rememberCut(Killers& killers, History& history, int32_t colour, int32_t move,
                        int32_t depth) {
    if (killers.cells[0] != move) {
        killers.cells[1] = killers.cells[0];
        killers.cells[0] = move;
    }
    int16_t& h = history[colour - 1][move];
    h = static_cast<int16_t>(std::min(HistoryLimit, h + depth * depth));
}

// The plies a late move that may be reduced is searched less deep at first: one from the
// ReductionMoveIndex-th move on at depth ReductionDepth or more, two from the
// DeepReductionMoveIndex-th; never so much that the search would fall below the horizon.
inline int32_t lateMoveReduction(int32_t depth, int32_t moveIndex, bool reducible) {
    if (!reducible || depth < ReductionDepth || moveIndex < ReductionMoveIndex) return 0;
    const int32_t reduction = moveIndex >= DeepReductionMoveIndex ? 2 : 1;
    return std::min(reduction, depth - 1);
}

}  // namespace velka::search::strong
