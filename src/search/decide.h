// The move decision per rule: opening rule, forced win by fours, main search, spiral fallback.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "board/random.h"
#include "patterns/rule_variant.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search/strong/strong_search.h"
#include "search/think_control.h"
#include "search/threat.h"

namespace velka::search {

// The engine's weaker levels, for players who want an opponent they can beat: fixed recipes on the
// main search, from 1 (a beginner's) up. Each searches so deep at most, looks for wins by fours or
// not, and now and then (per mille) plays a move picked at random among the first few of its root
// list (those it found best and the next by their value as moves) instead of the best; never a
// forced reply, a found win, an illegal move or a Renju foul.
struct Level {
    int32_t maxDepth;
    bool threatSearch;
    int32_t weakerMovePerMille;
    int32_t weakerMoveChoice;  // among the first this many root moves
};
inline constexpr std::array<Level, 5> Levels = {{
    {1, false, 400, 8},
    {3, false, 200, 4},
    {5, true, 60, 3},
    {6, true, 0, 1},
    {MaxSearchDepth, true, 0, 1},
}};

// Everything one player's move decisions keep: the clock and what else a think answers to, the
// memory, the main search and the strong search with their threads, and the threat search's line
// being played out.
struct Player {
    ThinkControl control;
    SearchMemory memory;
    MainSearch main;
    strong::StrongSearch strong;
    ThreatSearch threats;
    // The weaker levels' draws: seeded once per game, so that the shared sequence, reseeded from
    // the wall clock's second at every move, neither repeats them nor is disturbed by them.
    board::Random levelChance;
    // The last think's search, rules, board and black, for the strong search to keep its results
    // from move to move while they stay the same (a position's hash means another position on a
    // board of another size).
    struct {
        bool strong = false;
        patterns::RuleVariant variant = patterns::RuleVariant::Freestyle;
        int32_t width = 0;
        int32_t height = 0;
        int32_t firstPlayer = 0;
    } lastThink;
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
