// The move decision per rule: opening rule, forced win by fours, main search, spiral fallback.
#pragma once

#include <cstdint>

#include "patterns/rule_variant.h"
#include "search/main_search.h"

namespace velka::search {

// A cell index, or -1 when the board has no empty cell. Leaves the board as it found it.
int32_t decideMove(patterns::RuleVariant variant, const SearchLimits& limits = {});
int32_t openingMove();
int32_t firstFreeSpiralCell();

}  // namespace velka::search
