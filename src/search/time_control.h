// The move's time budget, from the manager's limits and the number of empty cells, on a monotonic
// millisecond clock. Only the main search looks at it.
#pragma once

#include <atomic>
#include <cstdint>

namespace velka::search {

inline constexpr int32_t MinimumBudget = 500;
inline constexpr int32_t TurnLimitReserve = 100;

// Written by INFO on the main thread during a think, read by the search at each clock check.
extern std::atomic<int32_t> turnBudget;
extern std::atomic<int64_t> turnStart;

// Milliseconds on a monotonic clock.
int64_t clockMs();
int32_t computeBudget(int32_t emptyCells, int32_t timeLeft, int32_t turnLimit);
// Sets the budget and starts the move's clock; the empty-cell count is kept for recomputeBudget.
void startTurnClock(int32_t emptyCells, int32_t timeLeft, int32_t turnLimit);
// Recomputes the budget from the empty cells of the last startTurnClock (0 before the first) and
// the current settings; callable from the main thread at any time, also during a think.
void recomputeBudget();
int64_t timeRemaining();
bool timeUp();

}  // namespace velka::search
