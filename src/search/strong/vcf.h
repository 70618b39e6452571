// Victory by continuous fours on the strong search's board: whether the side to move can make
// five by playing fours only, each answered by the one block the other side has. Positions found
// to have no such win within the plies left are marked in the memory.
#pragma once

#include <cstdint>

#include "search/memory.h"
#include "search/strong/pattern_board.h"

namespace velka::search::strong {

// Marks a position whose side to move has no victory by fours within the plies the entry's depth
// gives; the main search ignores it.
inline constexpr uint8_t BoundNoVcf = 131;

struct VcfBudget {
    uint64_t nodes = 0;      // positions looked at so far
    uint64_t nodeLimit = 0;  // beyond it the search gives up (no win found)
};

// Whether attacker, to move, wins by fours within maxPlies plies (its moves and the blocks): the
// plies to its five (odd), or 0 for no win found. The board is as before on return; move receives
// the first move of the win.
int32_t findVcf(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t maxPlies,
                VcfBudget& budget, int32_t& move);

}  // namespace velka::search::strong
