// The move decision per rule: opening rule, forced win by fours, main search, spiral fallback.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "patterns/rule_variant.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search/strong/strong_search.h"
#include "search/think_control.h"
#include "search/threat.h"

namespace velka::search {

// Everything one player's move decisions keep: the clock and what else a think answers to, the
// memory, the main search and the strong search with their threads, and the threat search's line
// being played out.
struct Player {
    ThinkControl control;
    SearchMemory memory;
    MainSearch main;
    strong::StrongSearch strong;
    ThreatSearch threats;
};

// The threads of the search the limits choose, as setSearchThreads sets them; and what they add
// to the process's memory while they search.
void setThreads(Player& player, const SearchLimits& limits, int32_t requested);
uint64_t threadsMemory(const Player& player, const SearchLimits& limits);

// A cell index, or -1 when the board has no empty cell, for the engine (stone 1) on the board,
// whose census is taken. Leaves the board as it found it.
int32_t decideMove(Player& player, board::EngineBoard& b, patterns::RuleVariant variant,
                   const SearchLimits& limits = {});
int32_t openingMove(const board::EngineBoard& b);
int32_t firstFreeSpiralCell(const board::EngineBoard& b);

}  // namespace velka::search
