#include "search/time_control.h"

#include <algorithm>
#include <chrono>

#include "search/settings.h"

namespace velka::search {

std::atomic<int32_t> turnBudget{MinimumBudget};
std::atomic<int64_t> turnStart{0};

namespace {

// The empty-cell count of the move's census, kept here as an atomic: INFO recomputes the budget
// on the main thread while the ThinkThread owns the board, so the board's census field itself
// must not be read then.
std::atomic<int32_t> turnEmptyCells{0};

// The game's own account of the match clock, for managers that set timeout_match but never send
// time_left.
std::atomic<bool> timeLeftSent{false};
std::atomic<bool> matchLimitSent{false};
std::atomic<int64_t> gameTimeUsed{0};

}  // namespace

int64_t clockMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

// In 64 bits throughout, so that no INFO value can wrap.
int32_t computeBudget(int32_t emptyCells, int32_t timeLeft, int32_t turnLimit) {
    const int64_t divisor = (emptyCells / 12) | 1;
    const int64_t share = timeLeft / divisor;
    int64_t budget = share;
    if (turnLimit > 0) budget = std::min<int64_t>(budget, int64_t{turnLimit} - TurnLimitReserve);
    // Half a second is worth having when only the turn limit is short, never at the cost of the
    // moves still to come in the match.
    if (budget < MinimumBudget) budget = std::min<int64_t>(MinimumBudget, share);
    budget = std::min<int64_t>(
        budget, turnLimit > 0 ? int64_t{turnLimit} - AnswerMargin : int64_t{QuickBudget});
    if (timeLeft != NoMatchClock)
        budget = std::min<int64_t>(budget, int64_t{timeLeft} - AnswerMargin);
    return static_cast<int32_t>(std::max<int64_t>(budget, 0));
}

int32_t matchTimeLeft() {
    if (timeLeftSent.load(std::memory_order_relaxed) || !matchLimitSent.load()) {
        return readSetting(settings.time_left);
    }
    const int32_t limit = readSetting(settings.timeout_match);
    // 0 is the protocol's "no match limit".
    if (limit <= 0 || limit == NoMatchClock) return NoMatchClock;
    const int64_t left = limit - gameTimeUsed.load(std::memory_order_relaxed);
    return static_cast<int32_t>(std::max<int64_t>(left, 0));
}

void startGameClock() {
    timeLeftSent.store(false, std::memory_order_relaxed);
    gameTimeUsed.store(0, std::memory_order_relaxed);
}

void noteTimeLeftSent() {
    timeLeftSent.store(true, std::memory_order_relaxed);
}

void noteMatchLimitSent() {
    matchLimitSent.store(true, std::memory_order_relaxed);
}

void startTurnClock(int64_t requestMs, int32_t emptyCells) {
    turnEmptyCells.store(emptyCells, std::memory_order_relaxed);
    turnStart.store(requestMs, std::memory_order_relaxed);
    recomputeBudget();
}

void stopTurnClock() {
    gameTimeUsed.fetch_add(clockMs() - turnStart.load(std::memory_order_relaxed),
                           std::memory_order_relaxed);
}

void recomputeBudget() {
    turnBudget.store(computeBudget(turnEmptyCells.load(std::memory_order_relaxed), matchTimeLeft(),
                                   readSetting(settings.timeout_turn)),
                     std::memory_order_relaxed);
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
