// The main search: iterative-deepening principal-variation alpha-beta over short candidate lists,
// with the SearchMemory, bounded by the turn's time budget. With more than one search thread the
// helpers search the same root beside it and share the memory (lazy SMP).
#pragma once

#include <cstddef>
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
// The thinking thread and up to MaxSearchThreads - 1 helpers.
inline constexpr int32_t MaxSearchThreads = 64;
// Every thread that searches reserves this much stack: the searches recurse deeply on large
// boards (the threat search, and the Renju test within the main search). Pages are backed only
// as the recursion reaches them.
inline constexpr size_t SearchStackBytes = size_t{256} << 20;

struct SearchLimits {
    int32_t maxDepth = MaxSearchDepth;
    bool useClock = true;  // false: fixed-depth search, for the benchmark and tests
    // When not 0, the search stops once the thinking thread has entered this many nodes, exactly
    // as at a time-out.
    uint64_t nodeLimit = 0;
};

struct SearchStats {
    uint64_t nodes = 0;          // searchNode entries of the last searchBestMove, all threads
    int32_t completedDepth = 0;  // deepest completed iteration of the thread whose move it was
    bool stopped = false;        // the last search was cut off by the clock (or the node limit)
};

// A cell index or -1. Searches copies of the engine's board; the board itself is not touched.
int32_t searchBestMove(patterns::RuleVariant variant, const SearchLimits& limits = {});
const SearchStats& lastSearchStats();

// The root narrowing rule: how many of the list's cells the next iteration keeps after iteration
// depth, for a search that started with rootCount candidates.
int32_t narrowedRootCount(int32_t count, int32_t depth, int32_t rootCount);

// The thinking thread's root list as the last search left it: after a completed iteration the
// cells that the next one would search, in that order (lost moves dropped, the list narrowed).
std::span<const int32_t> lastRootMoves();

// The number of threads the searches that follow use: requested, clamped to 1 .. the hardware
// threads (at most MaxSearchThreads), and fewer when a helper cannot be started. Starts the
// helpers that are missing; call it only while no search runs. Returns the number in use.
int32_t setSearchThreads(int32_t requested);
// What the helpers in use add to the process's memory while they search (their state and the
// stack they touch), to be left free when the SearchMemory is sized.
uint64_t searchThreadsMemory();

}  // namespace velka::search
