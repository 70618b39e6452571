#include "search/time_control.h"

#include <chrono>

#include "protocol/settings.h"

namespace velka::search {

std::atomic<int32_t> turnBudget{MinimumBudget};
std::atomic<int64_t> turnStart{0};

namespace {
// The empty-cell count of the move's census, kept here as an atomic: INFO recomputes the budget
// on the main thread while the ThinkThread owns the board, so the board's census field itself
// must not be read then.
std::atomic<int32_t> turnEmptyCells{0};
}  // namespace

int64_t clockMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

// The match time is shared out over roughly a twelfth of the empty cells (the moves still to come
// in a typical game), capped by the per-turn limit less a reserve for answering, and never below
// half a second so that even a nearly spent clock leaves room for a real search.
int32_t computeBudget(int32_t emptyCells, int32_t timeLeft, int32_t turnLimit) {
    const int32_t divisor = (emptyCells / 12) | 1;
    int32_t budget = timeLeft / divisor;
    // In 64 bits: a turn limit near INT32_MIN must not wrap round to a huge cap.
    const int64_t cap = int64_t{turnLimit} - TurnLimitReserve;
    if (cap < budget) budget = static_cast<int32_t>(cap < MinimumBudget ? MinimumBudget : cap);
    if (budget < MinimumBudget) budget = MinimumBudget;
    return budget;
}

void startTurnClock(int32_t emptyCells, int32_t timeLeft, int32_t turnLimit) {
    turnEmptyCells.store(emptyCells, std::memory_order_relaxed);
    turnBudget.store(computeBudget(emptyCells, timeLeft, turnLimit), std::memory_order_relaxed);
    turnStart.store(clockMs(), std::memory_order_relaxed);
}

void recomputeBudget() {
    const int32_t emptyCells = turnEmptyCells.load(std::memory_order_relaxed);
    const int32_t timeLeft = protocol::readSetting(protocol::settings.time_left);
    const int32_t turnLimit = protocol::readSetting(protocol::settings.timeout_turn);
    turnBudget.store(computeBudget(emptyCells, timeLeft, turnLimit), std::memory_order_relaxed);
}

int64_t timeRemaining() {
    return turnStart.load(std::memory_order_relaxed) + turnBudget.load(std::memory_order_relaxed) -
           clockMs();
}

bool timeUp() {
    return clockMs() - turnStart.load(std::memory_order_relaxed) -
               turnBudget.load(std::memory_order_relaxed) >
           0;
}

}  // namespace velka::search
