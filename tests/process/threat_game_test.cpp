// Forced wins by fours through the protocol: after a BOARD block the engine completes its five or
// plays the first move of the win, under each rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "answers.h"
#include "engine_process.h"

namespace velka::testing {
namespace {

struct Stone {
    int x;
    int y;
};

class ThreatGameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        // A missed win would fall through to the main search; keep that short.
        engine.send("INFO timeout_turn 1000");
    }

    // A fresh 15 x 15 game under the rule, the stones sent as one BOARD block; the engine's
    // answer.
    std::string answerTo(int rule, const std::vector<Stone>& own,
                         const std::vector<Stone>& opponent) {
        engine.send("INFO rule " + std::to_string(rule));
        engine.send("START 15");
        EXPECT_EQ(answer(engine), "OK");
        engine.send("BOARD");
        for (const Stone& s : opponent) engine.send(moveText(s.x, s.y) + ",2");
        for (const Stone& s : own) engine.send(moveText(s.x, s.y) + ",1");
        engine.send("DONE");
        return answer(engine);
    }

    EngineProcess engine;
};

// Stones of the opponent's far from everything, so that no opening rule applies and the stone
// counts suit the rule.
const std::vector<Stone> Corners = {{0, 0}, {14, 0}, {0, 14}};

TEST_F(ThreatGameTest, Freestyle) {
    EXPECT_EQ(answerTo(0, {{5, 7}, {6, 7}, {7, 7}, {8, 7}}, {{4, 7}, {0, 0}, {14, 0}}), "9,7");
    // (3, 7) dies, (4, 7) makes the open four.
    EXPECT_EQ(answerTo(0, {{5, 7}, {6, 7}, {7, 7}}, Corners), "4,7");
}

TEST_F(ThreatGameTest, ExactFive) {
    EXPECT_EQ(answerTo(1, {{10, 5}, {11, 5}, {12, 5}, {13, 5}}, {{9, 5}, {0, 0}, {0, 14}}), "14,5");
    // (3, 0) would make six, which does not win; the open three on row 10 does.
    EXPECT_EQ(answerTo(1, {{0, 0}, {1, 0}, {2, 0}, {4, 0}, {5, 0}, {5, 10}, {6, 10}, {7, 10}},
                       {{14, 0}, {0, 14}, {14, 14}, {10, 13}, {12, 13}, {14, 12}}),
              "4,10");
}

TEST_F(ThreatGameTest, RenjuEngineBlack) {
    // An exact five across, although the same stone makes seven down.
    EXPECT_EQ(
        answerTo(4,
                 {{3, 7}, {4, 7}, {5, 7}, {6, 7}, {7, 4}, {7, 5}, {7, 6}, {7, 8}, {7, 9}, {7, 10}},
                 {{2, 7}, {0, 0}, {14, 0}, {0, 14}, {14, 14}}),
        "7,7");
    // The first winning four in the search's order, of several.
    EXPECT_EQ(answerTo(4, {{5, 7}, {6, 7}, {7, 7}}, Corners), "4,7");
    // A four-three: the four across forces (9, 7), then the three down is played out.
    EXPECT_EQ(answerTo(4, {{5, 7}, {6, 7}, {7, 7}, {8, 5}, {8, 6}}, {{4, 7}, {0, 0}, {14, 0}}),
              "8,7");
}

TEST_F(ThreatGameTest, RenjuEngineWhite) {
    EXPECT_EQ(answerTo(4, {{5, 7}, {6, 7}, {7, 7}}, {{0, 0}, {14, 0}, {0, 14}, {14, 14}}), "4,7");
    // Black must block the four on (7, 7), its double-three point.
    EXPECT_EQ(
        answerTo(4, {{8, 8}, {9, 9}, {10, 10}}, {{5, 7}, {6, 7}, {7, 5}, {7, 6}, {6, 6}, {12, 12}}),
        "11,11");
}

}  // namespace
}  // namespace velka::testing
