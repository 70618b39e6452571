#include "search/time_control.h"

#include <gtest/gtest.h>

#include <climits>

#include "protocol/settings.h"

namespace {

using namespace velka::search;
using velka::protocol::settings;

TEST(TimeBudget, SharesMatchTimeOverEmptyCellsAndCapsByTurnLimit) {
    EXPECT_EQ(computeBudget(400, 120000, 5000), 3636);  // d = 33
    EXPECT_EQ(computeBudget(225, 120000, 5000), 4900);  // 6315, capped
    EXPECT_EQ(computeBudget(20, 120000, 5000), 4900);   // d = 1
    EXPECT_EQ(computeBudget(400, 120000, 100000), 3636);
}

TEST(TimeBudget, DivisorIsTwelfthOfEmptyCellsMadeOdd) {
    constexpr int32_t NoCap = 1000000;
    EXPECT_EQ(computeBudget(0, 60000, NoCap), 60000);
    EXPECT_EQ(computeBudget(11, 60000, NoCap), 60000);
    EXPECT_EQ(computeBudget(12, 60000, NoCap), 60000);
    EXPECT_EQ(computeBudget(24, 60000, NoCap), 20000);
    EXPECT_EQ(computeBudget(36, 60000, NoCap), 20000);
    EXPECT_EQ(computeBudget(48, 60000, NoCap), 12000);
    EXPECT_EQ(computeBudget(6400, 1000000, NoCap), 1000000 / 533);
}

TEST(TimeBudget, NeverBelowHalfASecond) {
    EXPECT_EQ(computeBudget(400, 120000, 0), MinimumBudget);
    EXPECT_EQ(computeBudget(400, 120000, 599), MinimumBudget);
    EXPECT_EQ(computeBudget(400, 120000, 601), 501);
    EXPECT_EQ(computeBudget(400, 0, 5000), MinimumBudget);
    EXPECT_EQ(computeBudget(100, 1000, 5000), MinimumBudget);  // 111
    EXPECT_EQ(computeBudget(400, -5000, 5000), MinimumBudget);
    // Extreme INFO values must neither wrap nor trap.
    EXPECT_EQ(computeBudget(400, 120000, INT32_MIN), MinimumBudget);
    EXPECT_EQ(computeBudget(400, INT32_MIN, INT32_MAX), MinimumBudget);
    EXPECT_EQ(computeBudget(0, INT32_MAX, INT32_MAX), INT32_MAX - TurnLimitReserve);
}

class TurnClock : public ::testing::Test {
  protected:
    void TearDown() override {
        settings.time_left.store(120000);
        settings.timeout_turn.store(5000);
    }
};

TEST_F(TurnClock, StartsFullAndRunsDown) {
    startTurnClock(400, 120000, 5000);
    EXPECT_EQ(turnBudget.load(), 3636);
    const int64_t remaining = timeRemaining();
    EXPECT_LE(remaining, 3636);
    EXPECT_GT(remaining, 3000);  // generous: machines are shared
    EXPECT_FALSE(timeUp());

    // A clock started long enough ago has run out.
    turnStart.store(clockMs() - 3637);
    EXPECT_TRUE(timeUp());
    EXPECT_LT(timeRemaining(), 0);
}

TEST_F(TurnClock, RecomputeFollowsSettingsWithTheTurnsEmptyCells) {
    startTurnClock(100, 120000, 5000);
    const int64_t start = turnStart.load();
    settings.time_left.store(1000);
    recomputeBudget();
    EXPECT_EQ(turnBudget.load(), MinimumBudget);  // 1000 / 9, raised
    settings.time_left.store(90000);
    recomputeBudget();
    EXPECT_EQ(turnBudget.load(), 4900);
    settings.timeout_turn.store(2000);
    recomputeBudget();
    EXPECT_EQ(turnBudget.load(), 1900);
    settings.time_left.store(9000);
    settings.timeout_turn.store(100000);
    recomputeBudget();
    EXPECT_EQ(turnBudget.load(), 1000);
    EXPECT_EQ(turnStart.load(), start);  // only the budget moves
}

}  // namespace
