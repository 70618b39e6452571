// INFO thread_num as a manager sends it: games with two search threads on each side end cleanly
// under every rule, the engine answers at once while its threads think, and END or YXSTOP during
// a think stops every thread.
#include <gtest/gtest.h>

#include <string>

#include "engine_process.h"

namespace velka::testing {
namespace {

constexpr int TurnMs = 300;

// Two engines with two threads each play one another until five, a full board or the move cap.
void playTwoThreadGame(int side, int rule) {
    EngineProcess engines[2];
    for (EngineProcess& engine : engines) {
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        expectAnswers(engine, {"INFO thread_num 2", "INFO max_memory 83886080",
                               "INFO timeout_turn " + std::to_string(TurnMs),
                               "INFO time_left 100000000", "INFO rule " + std::to_string(rule),
                               "START " + std::to_string(side) + " => OK"});
    }
    Referee board(side, side, rule);
    engines[0].send("BEGIN");
    int moves = 0;
    for (int who = 1; moves < 40; who ^= 3) {
        EngineProcess& engine = engines[who - 1];
        const std::optional<Move> m = board.engineMove(engine, who, TurnMs + lateness() + 2000);
        ASSERT_TRUE(m) << "move " << moves + 1;
        EXPECT_LE(engine.sinceSend(), TurnMs + lateness()) << "move " << moves + 1;
        ++moves;
        if (board.wins(*m) || board.full()) break;
        engines[2 - who].send("TURN " + text(*m));
    }
    EXPECT_GT(moves, 8);
    for (EngineProcess& engine : engines) {
        engine.send("END");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

TEST(Threads, TwoThreadGamesEndCleanly) {
    playTwoThreadGame(15, 0);
    playTwoThreadGame(15, 4);
    playTwoThreadGame(7, 1);  // small enough to fill
}

// A long think on two threads answers ABOUT, INFO and unknown lines at once; YXSTOP brings its
// move at once; END during the next one ends the process at once, with no move.
TEST(Threads, AnswersDuringTheThinkAndStopsEveryThread) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    const std::vector<std::string> quiet = {"BOARD",   "9,9,1",   "10,9,1", "12,12,1",
                                            "10,10,2", "11,11,2", "8,9,2",  "DONE"};
    expectAnswers(engine, {"INFO thread_num 2", "INFO timeout_turn 30000",
                           "INFO time_left 2147483647", "START 20 => OK"});
    expectAnswers(engine, quiet);
    EXPECT_EQ(engine.readLine(300), std::nullopt);  // thinking
    expectAnswers(engine, {"ABOUT", "INFO thread_num 1"});
    EXPECT_EQ(engine.answer().rfind("name=\"velka\", ", 0), 0u);
    expectAnswers(engine, {"HELLO => UNKNOWN HELLO", "YXSTOP"});
    Referee board(20, 20);
    for (const Move m : {Move{9, 9}, {10, 9}, {12, 12}}) board.play(m, 1);
    for (const Move m : {Move{10, 10}, {11, 11}, {8, 9}}) board.play(m, 2);
    EXPECT_TRUE(board.engineMove(engine, 1, 100 + lateness()));
    EXPECT_LT(engine.sinceSend(), 100 + lateness());
    expectAnswers(engine, {"INFO thread_num 2"});
    expectAnswers(engine, quiet);
    EXPECT_EQ(engine.readLine(300), std::nullopt);  // thinking again
    const int64_t stop = nowMs();
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
    EXPECT_LT(nowMs() - stop, 100 + lateness());
    EXPECT_EQ(engine.readLine(100), std::nullopt);
}

}  // namespace
}  // namespace velka::testing
