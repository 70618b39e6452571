// Threat-space searches on the strong search's board: whether the side to move can force a five
// by fours alone (each answered by the one block the other side has), or by fours and open threes
// (each three answered by any move that stops it, or by a four of the other side's own). Positions
// found to have no such win within the plies left are marked in the memory.
#pragma once

#include <cstdint>

#include "search/memory.h"
#include "search/strong/pattern_board.h"

namespace velka::search::strong {

// Marks a position whose side to move has no victory by fours (by threats) within the plies the
// entry's depth gives; the main search never reads them.
inline constexpr uint8_t BoundNoVcf = 131;
inline constexpr uint8_t BoundNoVct = 132;

struct ThreatBudget {
    uint64_t nodes = 0;      // positions looked at so far
    uint64_t nodeLimit = 0;  // beyond it the search gives up (no win found)
    int64_t deadline = 0;    // a clockMs reading: the search gives up then too; 0 for none
};

// Counts a position; false once the budget is spent.
bool withinBudget(ThreatBudget& budget);

// Whether attacker, to move, wins by fours within maxPlies plies (its moves and the replies): the
// plies to its five (odd), or 0 for no win found. The board is as before on return; move receives
// the first move of the win.
int32_t findVcf(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t maxPlies,
                ThreatBudget& budget, int32_t& move);
// The same by fours and open threes.
int32_t findVct(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t maxPlies,
                ThreatBudget& budget, int32_t& move);

}  // namespace velka::search::strong
