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

// Written by INFO on the main thread during a think, read by the search at each clock check.
extern std::atomic<int32_t> turnBudget;
extern std::atomic<int64_t> turnStart;

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
int32_t matchTimeLeft();
// START, RECTSTART and RESTART begin a new game's account; INFO time_left and timeout_match say
// which of the three sources above the manager uses.
void startGameClock();
void noteTimeLeftSent();
void noteMatchLimitSent();

// Sets the budget for the move requested at requestMs (a clockMs reading); the empty-cell count is
// kept for recomputeBudget.
void startTurnClock(int64_t requestMs, int32_t emptyCells);
// Charges the move's time, from its request to now, to the game's own account.
void stopTurnClock();
// Recomputes the budget from the empty cells of the last startTurnClock (0 before the first) and
// the current settings; callable from the main thread at any time, also during a think.
void recomputeBudget();
int64_t timeRemaining();
bool timeUp();

}  // namespace velka::search
