// The move's time budget, from the manager's limits and the number of empty cells, on a monotonic
// millisecond clock that starts when the request for the move arrives.
#pragma once

#include <atomic>
#include <cstdint>

namespace velka::search {

inline constexpr int32_t MinimumBudget = 500;
inline constexpr int32_t TurnLimitReserve = 100;
// What an answer needs after the search has stopped (the board restored, the line written, the
// thread handed back: well under a millisecond here) plus the delay of the last clock check, with
// room for a loaded machine. No budget comes closer than this to a clock's end.
inline constexpr int32_t AnswerMargin = 25;
// timeout_turn 0 asks for a move as fast as possible: a threat search and a shallow main search.
inline constexpr int32_t QuickBudget = 20;
// time_left (and timeout_match) of this value mean that the match has no clock.
inline constexpr int32_t NoMatchClock = 2147483647;

// The manager's limits as the clock reads them, in milliseconds.
struct ClockSettings {
    int32_t timeLeft = 120000;
    int32_t timeoutTurn = 5000;
    int32_t timeoutMatch = 120000;
};

// A game's clock: when the move under way was asked for and its budget, and the game's own
// account of the match time for managers that set timeout_match but never send time_left. The
// command loop's thread recomputes the budget (INFO) while a think reads it, hence atomics; relaxed
// order is enough, each value stands alone.
struct GameClock {
    std::atomic<int64_t> turnStart{0};
    std::atomic<int32_t> turnBudget{MinimumBudget};
    // Whether the match clock's share cut the budget below what the turn limit alone allows: then
    // the time a move leaves unspent is there for the moves to come, where a turn limit's is lost.
    std::atomic<bool> matchClockSetsBudget{false};
    // The empty cells of the move's census, for recomputing the budget: the board itself belongs
    // to the thinking thread during a think.
    std::atomic<int32_t> turnEmptyCells{0};
    std::atomic<bool> timeLeftSent{false};
    std::atomic<bool> matchLimitSent{false};
    std::atomic<int64_t> gameTimeUsed{0};
};

// Milliseconds on a monotonic clock.
int64_t clockMs();
// The budget for a move: the match time left shared over about a twelfth of the empty cells,
// capped by the turn limit less a reserve, at least half a second where that fits the match's
// share, and in any case ending AnswerMargin before either clock runs out. A turn limit of 0 or
// less asks for QuickBudget; a time left of NoMatchClock means no match clock.
int32_t computeBudget(int32_t emptyCells, int32_t timeLeft, int32_t turnLimit);

// The match time this game has left, as the budget sees it: the manager's time_left once it has
// sent one in this game; otherwise, when it set timeout_match, that limit less the time the
// engine's own thinks took; otherwise the time_left setting as it stands.
int32_t matchTimeLeft(const GameClock& clock, const ClockSettings& settings);
// START, RECTSTART and RESTART begin a new game's account; INFO time_left and timeout_match say
// which of the three sources above the manager uses.
void startGameClock(GameClock& clock);
void noteTimeLeftSent(GameClock& clock);
void noteMatchLimitSent(GameClock& clock);

// Sets the budget for the move requested at requestMs (a clockMs reading); the empty-cell count is
// kept for recomputeBudget.
void startTurnClock(GameClock& clock, const ClockSettings& settings, int64_t requestMs,
                    int32_t emptyCells);
// Charges the move's time, from its request to now, to the game's own account.
void stopTurnClock(GameClock& clock);
// Recomputes the budget (and whether the match clock set it) from the empty cells of the last
// startTurnClock (0 before the first) and the settings; callable from the command loop's thread at
// any time, also during a think.
void recomputeBudget(GameClock& clock, const ClockSettings& settings);
// Milliseconds since the move was asked for.
int64_t timeSpent(const GameClock& clock);
int64_t timeRemaining(const GameClock& clock);
bool timeUp(const GameClock& clock);

}  // namespace velka::search
