// Threat-sequence search: a forced win for the engine (code 1) by continuous fours, with no depth
// or node limit. One search per rule situation.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "search/memory.h"
#include "search/think_control.h"

namespace velka::search {

enum class ThreatSearchKind { ExactFive, Freestyle, RenjuBlack, RenjuWhite };

// Filled from position 1 upwards; after a success the top entry (at `count`) is the engine's move.
// replies[i] is the defender's forced block after cells[i] (at the bottom of a Renju line that
// ends in a four, the block forbidden to black); NoCell under the final five.
struct WinStack {
    int32_t count = 0;
    std::array<int32_t, board::MaxCells + 1> cells{};
    std::array<int32_t, board::MaxCells + 1> replies{};
};

struct ThreatStats {
    uint64_t levels = 0;  // positions searched
    bool gaveUp = false;  // stopped by the clock or the manager before it was done
};

// The line found last, kept so that the next move can play it on when the opponent blocks as
// foreseen: entries next.. of line are the engine's moves and the blocks they force, in order,
// and expectedHash is the position after the engine's move and the block it waits for.
struct WinPlan {
    ThreatSearchKind kind = ThreatSearchKind::Freestyle;
    std::array<int32_t, 2 * board::MaxCells> line;
    int32_t length = 0;
    int32_t next = 0;
    uint64_t expectedHash = 0;
};

// What the threat search keeps from one move to the next: the line of the last search, its
// figures, and the win being played out.
struct ThreatSearch {
    WinStack stack;
    ThreatStats stats;
    WinPlan plan;
};

// The engine's first move of a forced win by fours on the board, or -1; the board is unchanged on
// return. When the board is the position that the line found at an earlier move expects (the
// opponent blocked as foreseen), that line is played on without a search. Positions without a
// win are marked in the memory. Gives up (no win) once half the move's time budget is spent, or
// when the control asks the think to stop.
int32_t threatMove(ThreatSearch& threats, board::EngineBoard& b, SearchMemory& memory,
                   ThinkControl& control, ThreatSearchKind kind);

}  // namespace velka::search
