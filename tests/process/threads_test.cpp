// A long think on two search threads (INFO thread_num as a manager sends it): the engine answers
// at once while its threads think, and every way to end a think stops every thread at once.
// (Whole games with two threads: selfplay_test.)
#include <gtest/gtest.h>

#include <string>

#include "engine_process.h"

namespace velka::testing {
namespace {

// During a 30 s think ABOUT, INFO and bad or unknown lines are answered at once; a board command
// that follows the stop waits for the move. YXSTOP brings the move at once; an INFO time_left that
// leaves the minimum budget ends the think at the next clock check; END or the end of input ends
// the process at once, with no move. Each next think starts at once after the last one's helpers
// stopped.
TEST(Threads, AThinkAnswersAtOnceAndEveryWayToEndItStopsEveryThread) {
    for (const bool closeInput : {false, true}) {
        SCOPED_TRACE(closeInput ? "end of input" : "END");
        EngineProcess engine;
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        expectAnswers(engine, {"INFO thread_num 2", "START 20 => OK"});
        for (const std::string stop : {"YXSTOP", "INFO time_left 1000", "END"}) {
            SCOPED_TRACE(stop);
            expectAnswers(engine, {"INFO timeout_turn 30000", "INFO time_left 2147483647"});
            Referee board(20, 20);
            board.sendBoard(engine, QuietOwn, QuietOpponent);
            EXPECT_EQ(engine.readLine(300), std::nullopt);  // thinking
            expectAnswers(engine, {"ABOUT", "INFO thread_num 1"});
            EXPECT_EQ(engine.answer().rfind("name=\"velka\", ", 0), 0u);
            expectAnswers(engine, {"HELLO => UNKNOWN HELLO", "START => ERROR bad START parameter",
                                   "INFO thread_num 2"});
            const int64_t stopAt = nowMs();
            if (stop == "END") {
                closeInput ? engine.closeInput() : engine.send("END");
                EXPECT_EQ(engine.waitForExit(), 0);
                EXPECT_LT(nowMs() - stopAt, 100 + lateness());
                EXPECT_EQ(engine.readLine(100), std::nullopt);
                break;
            }
            expectAnswers(engine, {stop, "PLAY 0,0"});
            EXPECT_TRUE(board.engineMove(engine, 1, 500 + lateness()));
            EXPECT_LT(nowMs() - stopAt, (stop == "YXSTOP" ? 100 : 500) + lateness());
            EXPECT_EQ(engine.answer(), "0,0");
        }
    }
}

}  // namespace
}  // namespace velka::testing
