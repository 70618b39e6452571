#include "search/time_control.h"

#include <gtest/gtest.h>

#include <climits>

#include "protocol/settings.h"

namespace {

using namespace velka::search;
using velka::protocol::settings;

// The divisor is a twelfth of the empty cells made odd; the cap is the turn limit less the reserve;
// the floor is half a second; extreme INFO values must neither wrap nor trap.
TEST(TimeBudget, SharesMatchTimeCapsByTurnLimitAndKeepsAFloor) {
    constexpr int32_t NoCap = 1000000, Min = MinimumBudget;
    // Rows: empty cells, time left, turn limit, budget.
    const int32_t cases[][4] = {
        {400, 120000, 5000, 3636},        {225, 120000, 5000, 4900},
        {20, 120000, 5000, 4900},         {0, 60000, NoCap, 60000},
        {12, 60000, NoCap, 60000},        {24, 60000, NoCap, 20000},
        {36, 60000, NoCap, 20000},        {48, 60000, NoCap, 12000},
        {6400, 1000000, NoCap, 1876},     {400, 120000, 599, Min},
        {400, 120000, 601, 501},          {100, 1000, 5000, Min},
        {400, -5000, 5000, Min},          {400, 120000, INT32_MIN, Min},
        {400, INT32_MIN, INT32_MAX, Min}, {0, INT32_MAX, INT32_MAX, INT32_MAX - TurnLimitReserve}};
    for (const auto& c : cases)
        EXPECT_EQ(computeBudget(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}

TEST(TurnClock, RunsDownAndRecomputesFromSettingsWithTheTurnsEmptyCells) {
    startTurnClock(400, 120000, 5000);
    EXPECT_EQ(turnBudget.load(), 3636);
    EXPECT_LE(timeRemaining(), 3636);
    EXPECT_GT(timeRemaining(), 3000);  // generous: machines are shared
    EXPECT_FALSE(timeUp());
    turnStart.store(clockMs() - 3637);  // started long enough ago
    EXPECT_TRUE(timeUp());
    EXPECT_LT(timeRemaining(), 0);

    startTurnClock(100, 120000, 5000);
    const int64_t start = turnStart.load();
    // Rows: time_left, timeout_turn, budget; the turn's 100 empty cells give the divisor 9.
    const int32_t cases[][3] = {
        {1000, 5000, 500}, {90000, 5000, 4900}, {90000, 2000, 1900}, {9000, 100000, 1000}};
    for (const auto& c : cases) {
        settings.time_left.store(c[0]);
        settings.timeout_turn.store(c[1]);
        recomputeBudget();
        EXPECT_EQ(turnBudget.load(), c[2]) << c[0] << " " << c[1];
    }
    EXPECT_EQ(turnStart.load(), start);  // only the budget moves
    settings.time_left.store(120000);
    settings.timeout_turn.store(5000);
}

}  // namespace
