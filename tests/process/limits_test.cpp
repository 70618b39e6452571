// The manager's limits, as a manager sees them: every answer inside the clock it was given (turn
// limits and match clocks of 100, 300 and 700 ms, timeout_turn 0 with the right answers under each
// rule, a match limit without time_left lines) and the memory limit, also when it arrives after
// START.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_process.h"

namespace velka::testing {
namespace {

// The engine keeps its own margin of 25 ms before each clock's end, which covers the work after
// its search here. A machine loaded with other work (two cores shared by a whole test suite) can
// still hold the engine's thread or this reader back by a scheduler slice or several, so the
// tests allow that much beyond the clock: 100 ms, or more under a sanitizer. The faults they
// guard against overran by seconds or by a fixed half second.
int clockSlack() {
    return lateness() / 10;
}

// Each clock in turn, as a turn limit without a match clock and as the match time left: the move
// arrives before the clock runs out, and so does the next one.
TEST(Clocks, EveryAnswerArrivesBeforeItsClockRunsOut) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    for (const int clock : {100, 300, 700}) {
        for (const bool match : {false, true}) {
            SCOPED_TRACE(std::to_string(clock) + (match ? " ms match clock" : " ms turn limit"));
            // White space of any kind between the words of INFO.
            expectAnswers(engine, {"INFO\ttimeout_turn\t" + std::to_string(match ? 5000 : clock),
                                   "INFO time_left  " +
                                       (match ? std::to_string(clock) : std::string("2147483647")),
                                   "START 20 => OK"});
            Referee board(20, 20);
            board.sendBoard(engine, QuietOwn, QuietOpponent);
            ASSERT_TRUE(board.engineMove(engine, 1, clock + clockSlack()));
            EXPECT_LT(engine.sinceSend(), clock + clockSlack());
            Move reply{3, 3};
            while (!board.legal(reply)) ++reply.x;
            board.play(reply, 2);
            engine.send("TURN " + text(reply));
            ASSERT_TRUE(board.engineMove(engine, 1, clock + clockSlack()));
            EXPECT_LT(engine.sinceSend(), clock + clockSlack());
        }
    }
    endEngine(engine);
}

// timeout_turn 0: as fast as possible, yet under each rule (0 freestyle, 1 exact five, 4 Renju)
// positions with one right answer get it: a five, a forced win by fours, a block.
TEST(Clocks, TurnLimitZeroStillFindsTheRightAnswers) {
    const struct {
        int rule;
        const char *own, *opponent, *answers;  // stones "x,y" and the right moves, space-separated
    } positions[] = {
        {0, "5,7 6,7 7,7", "0,0 14,0 0,14", "4,7"},  // (3,7) dies, (4,7) makes the open four
        {1, "10,5 11,5 12,5 13,5", "9,5 0,0 0,14", "14,5"},
        // (3,0) would make six, which does not win; the open three on row 10 does.
        {1, "0,0 1,0 2,0 4,0 5,0 5,10 6,10 7,10", "14,0 0,14 14,14 10,13 12,13 14,12", "4,10"},
        // Renju, the engine black: an exact five across although the same stone makes seven down.
        {4, "3,7 4,7 5,7 6,7 7,4 7,5 7,6 7,8 7,9 7,10", "2,7 0,0 14,0 0,14 14,14", "7,7"},
        // A four-three: the four across forces (9,7), then the three down is played out.
        {4, "5,7 6,7 7,7 8,5 8,6", "4,7 0,0 14,0", "8,7"},
        // Renju, the engine white; then black must block the four on (7,7), its double-three point.
        {4, "8,8 9,9 10,10", "5,7 6,7 7,5 7,6 6,6 12,12", "11,11"},
        // Renju, the engine black: white's six on (6,7) wins for white, so black must block it.
        {4, "2,2 12,2 2,12 12,12 10,10", "3,7 4,7 5,7 7,7 8,7", "6,7"},
        // Renju, the engine white: black's six on (6,7) is forbidden, no threat; its fives are.
        {4, "10,0 0,14 14,14 0,12 13,0 1,0 14,10 0,9", "2,7 3,7 4,7 5,7 7,7 10,1 10,2 10,3 10,4",
         "1,7 10,5"},
        // No win of its own (rule -1: under each rule): block the four; close the open three at an
        // end, as a stone further out leaves an open four on the other side.
        {-1, "4,5 10,10 3,11 12,3", "5,5 6,5 7,5 8,5", "9,5"},
        {-1, "2,2 12,12 12,2", "6,7 7,7 8,7 2,12", "5,7 9,7"},
    };
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    for (const auto& p : positions) {
        for (const int rule : {0, 1, 4}) {
            if (p.rule != -1 && p.rule != rule) continue;
            SCOPED_TRACE("rule " + std::to_string(rule) + ": " + p.own + " / " + p.opponent);
            expectAnswers(engine, {"INFO timeout_turn 0", "INFO rule " + std::to_string(rule),
                                   "START 15 => OK"});
            Referee(15, 15).sendBoard(engine, p.own,
                                      p.opponent);  // in Renju the engine may be white
            const std::string move = engine.answer();
            EXPECT_NE((std::string(" ") + p.answers + " ").find(" " + move + " "),
                      std::string::npos)
                << move;
            EXPECT_LT(engine.sinceSend(), 100 + clockSlack());
        }
    }
    endEngine(engine);
}

// A manager that sets timeout_match and never sends time_left: the engine charges each answer to
// its own account and shares out what is left, a 19th of it on this board. The same quiet position
// (no forced win: each think spends most of its share) asked for 40 times in one game stays under
// the limit (about 3400 ms here); never charged, the shares would not shrink (about 6100 ms).
TEST(Clocks, AMatchLimitWithoutTimeLeftLinesIsKeptByTheEngine) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    expectAnswers(engine, {"START 15 => OK", "INFO timeout_match 4000", "INFO timeout_turn 5000"});
    int64_t used = 0;
    for (int move = 0; move < 40; ++move) {
        Referee board(15, 15);
        board.sendBoard(engine, QuietOwn, QuietOpponent);
        ASSERT_TRUE(board.engineMove(engine));
        used += engine.sinceSend();
    }
    EXPECT_LT(used, 4000 + clockSlack()) << used << " ms";
    endEngine(engine);
}

// max_memory holds from the next move on whenever it arrives, also after START (the order in
// which managers send it); a limit above the engine's fixed working set of about 40 MiB bounds
// the peak resident memory.
TEST(Memory, TheLimitHoldsWheneverItArrives) {
    for (const int mib : {48, 80, 160}) {
        SCOPED_TRACE(std::to_string(mib) + " MiB");
        EngineProcess engine;
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        expectAnswers(engine, {"START 20 => OK", "INFO max_memory " + std::to_string(mib << 20),
                               "INFO timeout_turn 300", "BEGIN"});
        Referee board(20, 20);
        std::optional<Move> own = board.engineMove(engine);
        for (int move = 0; own && move < 4; ++move) {
            Move reply{own->x + 1, own->y};
            for (int i = 0; !board.legal(reply); ++i) reply = {i % 20, i / 20};
            board.play(reply, 2);
            engine.send("TURN " + text(reply));
            own = board.engineMove(engine);
        }
        // RESTART and a new START keep working under the limit.
        expectAnswers(engine, {"RESTART => OK", "START 15 => OK", "BEGIN"});
        Referee(15, 15).engineMove(engine);
        const std::optional<uint64_t> peak = engine.peakResidentBytes();
        if (peak) {
            EXPECT_LE(*peak, uint64_t(mib) << 20) << (*peak >> 20) << " MiB";
        }
        endEngine(engine);
    }
}

}  // namespace
}  // namespace velka::testing
