// The move decision per rule: opening rule, forced win by fours, main search, spiral fallback.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "patterns/rule_variant.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search/think_control.h"
#include "search/threat.h"

namespace velka::search {

// Everything one player's move decisions keep: the clock and what else a think answers to, the
// memory, the main search with its threads, and the threat search's line being played out.
struct Player {
    ThinkControl control;
    SearchMemory memory;
    MainSearch main;
    ThreatSearch threats;
};

// A cell index, or -1 when the board has no empty cell, for the engine (stone 1) on the board,
// whose census is taken. Leaves the board as it found it.
int32_t decideMove(Player& player, board::EngineBoard& b, patterns::RuleVariant variant,
                   const SearchLimits& limits = {});
int32_t openingMove(const board::EngineBoard& b);
int32_t firstFreeSpiralCell(const board::EngineBoard& b);

}  // namespace velka::search
