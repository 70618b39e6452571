// Threat-sequence search: a forced win for the engine (code 1) by continuous fours, with no depth,
// node or time limit. One search per rule situation.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"

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

// The engine's first move of a forced win by fours, or -1. Board and hash unchanged. When the
// board is the position that the line found at an earlier move expects (the opponent blocked as
// foreseen), that line is played on without a search. Gives up (no win) once half the move's time
// budget is spent; the move's clock must have been started.
int32_t threatMove(ThreatSearchKind kind);
bool threatSearch(ThreatSearchKind kind, bool checkDefenderFive);
const WinStack& winStack(ThreatSearchKind kind);
const ThreatStats& lastThreatStats();

}  // namespace velka::search
