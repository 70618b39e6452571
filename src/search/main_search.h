// The main search: iterative-deepening principal-variation alpha-beta over short candidate lists,
// with the SearchMemory, bounded by the turn's time budget.
#pragma once

#include <cstdint>
#include <span>

#include "patterns/rule_variant.h"

namespace velka::search {

inline constexpr int32_t MaxSearchDepth = 250;
inline constexpr int32_t MaxPly = MaxSearchDepth + 1;
inline constexpr uint32_t ClockCheckInterval = 500;  // the clock is read every 501 nodes
// Root narrowing applies to iterations 1 .. NarrowingDepths; lists of NarrowingFloor cells or
// fewer are never cut.
inline constexpr int32_t NarrowingDepths = 19;
inline constexpr int32_t NarrowingFloor = 3;

struct SearchLimits {
    int32_t maxDepth = MaxSearchDepth;
    bool useClock = true;  // false: fixed-depth search, for the benchmark and tests
    // When not 0, the search stops once it has entered this many nodes, exactly as at a time-out.
    uint64_t nodeLimit = 0;
};

struct SearchStats {
    uint64_t nodes = 0;          // searchNode entries of the last searchBestMove
    int32_t completedDepth = 0;  // deepest completed iteration
    bool stopped = false;        // the last search was cut off by the clock (or the node limit)
};

// A cell index or -1. The board is restored exactly on every exit, time-out included.
int32_t searchBestMove(patterns::RuleVariant variant, const SearchLimits& limits = {});
const SearchStats& lastSearchStats();

// The root narrowing rule: how many of the list's cells the next iteration keeps after iteration
// depth, for a search that started with rootCount candidates.
int32_t narrowedRootCount(int32_t count, int32_t depth, int32_t rootCount);

// The variant's root list as its last search left it: after a completed iteration the cells that
// the next one would search, in that order (lost moves dropped, the list narrowed).
std::span<const int32_t> lastRootMoves(patterns::RuleVariant variant);

// The per-variant node counter that schedules clock checks; it carries over between searches.
uint32_t nodeCounter(patterns::RuleVariant variant);

}  // namespace velka::search
