#include "search/time_control.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace velka::search;

// The divisor is a twelfth of the empty cells made odd; the cap is the turn limit less the reserve;
// the half-second floor never goes beyond the match's share; no budget comes within AnswerMargin
// of either clock's end; a turn limit of 0 asks for a quick move; extreme values neither wrap nor
// trap.
TEST(TimeBudget, SharesMatchTimeCapsByBothClocksAndKeepsAFloorWhereItFits) {
    constexpr int32_t None = NoMatchClock, Min = MinimumBudget, Quick = QuickBudget;
    // Rows: empty cells, time left, turn limit, budget.
    const int32_t cases[][4] = {
        // Normal clocks: as the formula always was.
        {400, 120000, 5000, 3636},
        {225, 120000, 5000, 4900},
        {24, 60000, 100000, 20000},
        {6400, 1000000, 100000, 1876},
        {400, 120000, 599, Min},
        {400, 120000, 601, 501},
        {0, None, None, None - TurnLimitReserve},
        // A short turn limit: the floor, but never past the limit less the margin.
        {400, None, 550, Min},
        {400, None, 300, 300 - AnswerMargin},
        {400, 120000, 10, 0},
        // A short match clock: its share, without the floor; near its end, less the margin.
        {225, 2000, 5000, 105},
        {225, 120, 5000, 6},
        {11, 300, 5000, 300 - AnswerMargin},
        {11, 20, 5000, 0},
        {400, -5000, 5000, 0},
        {400, INT32_MIN, INT32_MAX, 0},
        // As fast as possible.
        {400, 120000, 0, Quick},
        {400, None, 0, Quick},
        {400, 120000, INT32_MIN, Quick},
        {400, 10, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(computeBudget(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}

class TurnClock : public ::testing::Test {
  protected:
    GameClock clock;
    ClockSettings settings;
};

TEST_F(TurnClock, RunsFromTheRequestAndRecomputesFromSettingsWithTheTurnsEmptyCells) {
    startTurnClock(clock, settings, clockMs() - 1000, 400);  // the request came a second ago
    EXPECT_EQ(clock.turnBudget.load(), 3636);
    EXPECT_LE(timeRemaining(clock), 2636);
    EXPECT_GT(timeRemaining(clock), 2000);  // generous: machines are shared
    EXPECT_FALSE(timeUp(clock));
    clock.turnStart.store(clockMs() - 3637);  // started long enough ago
    EXPECT_TRUE(timeUp(clock));
    EXPECT_LT(timeRemaining(clock), 0);

    startTurnClock(clock, settings, clockMs(), 100);
    const int64_t start = clock.turnStart.load();
    // Rows: time_left, timeout_turn, budget, whether the match clock set it (below what the turn
    // limit alone gives); the turn's 100 empty cells give the divisor 9.
    const int32_t cases[][4] = {{1000, 5000, 111, 1},          {90000, 2000, 1900, 0},
                                {NoMatchClock, 200, 175, 0},   {1000, 200, 111, 1},
                                {4500, 600, MinimumBudget, 0}, {3000, 600, 333, 1}};
    for (const auto& c : cases) {
        settings.timeLeft = c[0];
        settings.timeoutTurn = c[1];
        recomputeBudget(clock, settings);
        EXPECT_EQ(clock.turnBudget.load(), c[2]) << c[0] << " " << c[1];
        EXPECT_EQ(clock.matchClockSetsBudget.load(), c[3] != 0) << c[0] << " " << c[1];
    }
    EXPECT_EQ(clock.turnStart.load(), start);  // only the budget moves
}

// A manager that sets timeout_match but never sends time_left: the engine keeps the game's own
// account, from the request of each move to its answer; one time_left line hands the clock back
// to the manager until the next game.
TEST_F(TurnClock, TheMatchLimitAloneIsSpentByTheGamesOwnAccount) {
    startGameClock(clock);
    EXPECT_EQ(matchTimeLeft(clock, settings), settings.timeLeft);  // no timeout_match yet
    settings.timeoutMatch = 4000;
    noteMatchLimitSent(clock);
    EXPECT_EQ(matchTimeLeft(clock, settings), 4000);
    startTurnClock(clock, settings, clockMs() - 1500, 225);  // a move that took 1.5 s
    stopTurnClock(clock);
    EXPECT_LE(matchTimeLeft(clock, settings), 2500);
    EXPECT_GT(matchTimeLeft(clock, settings), 2000);
    startTurnClock(clock, settings, clockMs(), 225);
    EXPECT_LE(clock.turnBudget.load(), 2500 / 19);
    settings.timeLeft = 70000;
    noteTimeLeftSent(clock);
    EXPECT_EQ(matchTimeLeft(clock, settings), 70000);
    startGameClock(clock);  // a new game: its own account again, from the whole limit
    EXPECT_EQ(matchTimeLeft(clock, settings), 4000);
    settings.timeoutMatch = 0;  // 0: no match limit
    EXPECT_EQ(matchTimeLeft(clock, settings), NoMatchClock);
}

}  // namespace
