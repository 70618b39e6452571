#include "search/time_control.h"

#include <algorithm>
#include <chrono>

namespace velka::search {

namespace {

constexpr auto Relaxed = std::memory_order_relaxed;

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

int32_t matchTimeLeft(const GameClock& clock, const ClockSettings& settings) {
    if (clock.timeLeftSent.load(Relaxed) || !clock.matchLimitSent.load(Relaxed)) {
        return settings.timeLeft;
    }
    // 0 is the protocol's "no match limit".
    if (settings.timeoutMatch <= 0 || settings.timeoutMatch == NoMatchClock) return NoMatchClock;
    const int64_t left = settings.timeoutMatch - clock.gameTimeUsed.load(Relaxed);
    return static_cast<int32_t>(std::max<int64_t>(left, 0));
}

void startGameClock(GameClock& clock) {
    clock.timeLeftSent.store(false, Relaxed);
    clock.gameTimeUsed.store(0, Relaxed);
}

void noteTimeLeftSent(GameClock& clock) {
    clock.timeLeftSent.store(true, Relaxed);
}

void noteMatchLimitSent(GameClock& clock) {
    clock.matchLimitSent.store(true, Relaxed);
}

void startTurnClock(GameClock& clock, const ClockSettings& settings, int64_t requestMs,
                    int32_t emptyCells) {
    clock.turnEmptyCells.store(emptyCells, Relaxed);
    clock.turnStart.store(requestMs, Relaxed);
    recomputeBudget(clock, settings);
}

void stopTurnClock(GameClock& clock) {
    clock.gameTimeUsed.fetch_add(timeSpent(clock), Relaxed);
}

void recomputeBudget(GameClock& clock, const ClockSettings& settings) {
    const int32_t emptyCells = clock.turnEmptyCells.load(Relaxed);
    const int32_t budget =
        computeBudget(emptyCells, matchTimeLeft(clock, settings), settings.timeoutTurn);
    clock.turnBudget.store(budget, Relaxed);
    clock.matchClockSetsBudget.store(
        budget < computeBudget(emptyCells, NoMatchClock, settings.timeoutTurn), Relaxed);
}

int64_t timeSpent(const GameClock& clock) {
    return clockMs() - clock.turnStart.load(Relaxed);
}

int64_t timeRemaining(const GameClock& clock) {
    return clock.turnBudget.load(Relaxed) - timeSpent(clock);
}

bool timeUp(const GameClock& clock) {
    return timeRemaining(clock) < 0;
}

}  // namespace velka::search
