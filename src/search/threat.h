// Threat-sequence search: a forced win for the engine (code 1) by continuous fours, with no depth,
// node or time limit. One search per rule situation.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"

namespace velka::search {

enum class ThreatSearchKind { ExactFive, Freestyle, RenjuBlack, RenjuWhite };

// Filled from position 1 upwards; after a success the top entry (at `count`) is the engine's move.
struct WinStack {
    int32_t count = 0;
    std::array<int32_t, board::MaxCells + 1> cells{};
};

// Search levels between two looks at the move's clock (turnStart, turnBudget).
inline constexpr uint32_t ThreatClockCheckNodes = 1024;

// The engine's first move of a forced win by fours, or -1. Board and hash unchanged. Gives up
// (no win) once half the move's time budget is spent; the move's clock must have been started.
int32_t threatMove(ThreatSearchKind kind);
bool threatSearch(ThreatSearchKind kind, bool checkDefenderFive);
const WinStack& winStack(ThreatSearchKind kind);
// Whether the last threatMove or threatSearch gave up on time.
bool threatSearchGaveUp();

}  // namespace velka::search
