// Leaf verdict (has the last stone ended the game?) and static evaluation, per rule variant.
#pragma once

#include <cstdint>

#include "patterns/pattern_table.h"

namespace velka::search {

// LossScore, WinScore (Renju: the last stone was a forbidden black move) or NoScore, seen from
// the side to move after the stone on lastMove.
int32_t leafVerdict(patterns::RuleVariant variant, int32_t lastMove);
int32_t staticEvaluation(patterns::RuleVariant variant, int32_t side);

}  // namespace velka::search
