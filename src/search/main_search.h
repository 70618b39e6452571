// The main search: iterative-deepening principal-variation alpha-beta over short candidate lists,
// with the SearchMemory, bounded by the turn's time budget.
#pragma once

#include <cstdint>

#include "patterns/pattern_table.h"

namespace velka::search {

inline constexpr int32_t MaxSearchDepth = 250;
inline constexpr uint32_t ClockCheckInterval = 500;  // the clock is read every 501 nodes

struct SearchLimits {
    int32_t maxDepth = MaxSearchDepth;
    bool useClock = true;  // false: fixed-depth search, for the benchmark and tests
};

struct SearchStats {
    uint64_t nodes = 0;          // searchNode entries of the last searchBestMove
    int32_t completedDepth = 0;  // deepest completed iteration
};

// A cell index or -1. The board is restored exactly on every exit, time-out included.
int32_t searchBestMove(patterns::RuleVariant variant, const SearchLimits& limits = {});
const SearchStats& lastSearchStats();

}  // namespace velka::search
