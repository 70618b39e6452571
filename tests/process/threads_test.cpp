// INFO thread_num as a manager sends it: the engine answers at once while its threads think, and
// END or YXSTOP during a think stops every thread. (Games with two threads: selfplay_test.)
#include <gtest/gtest.h>

#include <string>

#include "engine_process.h"

namespace velka::testing {
namespace {

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
