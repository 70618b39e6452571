// Whole games of the engine against itself under each rule (0 freestyle, 1 exact five, 4 Renju),
// through two engine processes, on one search thread or two, with a referee that checks every
// move (legal, on time, never a forbidden point for Renju black) and ends the game at five or a
// full board. (Positions with one right answer: limits_test.)
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <set>
#include <string>

#include "engine_process.h"

namespace velka::testing {
namespace {

constexpr int TurnMs = 600;
constexpr int TurnLatenessNative = 1000;  // what lateness() allows an unsanitized build

// Two engines play one another until five, a full board or a cap of moves that keeps a long,
// drawn game from slowing the suite down. With a match clock (matchMs) each hears its time left
// before every move and is charged each answer's time, measured here from the request to the
// answer: neither may run out, however long the game.
// Each engine may hear INFO lines of its own after the others (`info`, one per engine).
void playGame(int side, int rule, int threads, int matchMs = 0,
              const std::array<std::string, 2>& info = {}) {
    EngineProcess engines[2];
    int64_t left[2] = {matchMs, matchMs};
    const std::string turn = std::to_string(matchMs != 0 ? matchMs : TurnMs);
    for (EngineProcess& engine : engines) {
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        expectAnswers(engine,
                      {"START " + std::to_string(side) + " => OK",
                       "INFO thread_num " + std::to_string(threads), "INFO max_memory 83886080",
                       "INFO rule " + std::to_string(rule), "INFO timeout_turn " + turn,
                       matchMs != 0 ? "INFO timeout_match " + turn
                                    : std::string("INFO time_left 100000000")});
    }
    for (int i = 0; i < 2; ++i)
        if (!info[i].empty()) engines[i].send("INFO " + info[i]);
    Referee board(side, side, rule);
    std::optional<Move> last;
    int moves = 0;
    std::string spent;  // each answer's time, for the message when a clock runs out
    // Sanitized builds run several times slower on a loaded machine, and a stall of the scheduler
    // lands on whichever move it hits; there a clock may run over by that much, as a turn may.
    const int64_t sanitizerStalls = lateness() - TurnLatenessNative;
    for (int who = 1; moves < (matchMs != 0 ? side * side : 60); who ^= 3) {
        EngineProcess& engine = engines[who - 1];
        if (matchMs != 0) engine.send("INFO time_left " + std::to_string(left[who - 1]));
        engine.send(last ? "TURN " + text(*last) : "BEGIN");
        last = board.engineMove(engine, who, matchMs != 0 ? 5000 : TurnMs + lateness() + 2000);
        ASSERT_TRUE(last) << "move " << moves + 1;
        ++moves;
        if (matchMs != 0) {
            const int64_t took = engine.sinceSend();
            left[who - 1] -= took;
            spent.append(" ").append(std::to_string(took));
            ASSERT_GT(left[who - 1] + sanitizerStalls, 0)
                << "player " << who << " lost on time at move " << moves << "; ms:" << spent;
        } else {
            EXPECT_LE(engine.sinceSend(), TurnMs + lateness()) << "move " << moves;
        }
        if (board.wins(*last) || board.full()) break;
    }
    std::printf("%dx%d rule %d, %d thread(s): %s after %d moves\n", side, side, rule, threads,
                board.wins(*last) ? "five"
                : board.full()    ? "a full board"
                                  : "the cap",
                moves);
    for (EngineProcess& engine : engines) endEngine(engine);
}

TEST(SelfPlay, Freestyle15) {
    playGame(15, 0, 1);
}
TEST(SelfPlay, Freestyle20) {
    playGame(20, 0, 1);
}
TEST(SelfPlay, Renju15TwoThreads) {
    playGame(15, 4, 2);
}
// Small enough to fill: the engine must still answer when no cell is worth anything.
TEST(SelfPlay, ExactFive7TwoThreadsUntilTheBoardIsFull) {
    playGame(7, 1, 2);
}
TEST(SelfPlay, AThreeSecondMatchClockIsNeverOverrun) {
    playGame(15, 0, 1, 3000);
}

// The weaker levels for players pick a weaker move now and then: never an illegal one, never a
// Renju foul for black, whoever plays black.
TEST(SelfPlay, LevelsPlayLegalMovesUnderRenju) {
    playGame(15, 4, 1, 0, {"level 1", "level 2"});
    playGame(15, 4, 1, 0, {"level 4", "level 3"});
}

// The lowest level does not always answer a position the same way, where the full strength does
// (up to a node limit that makes it repeatable): twenty answers to one quiet middle game.
TEST(Levels, TheLowestLevelVariesItsAnswerAndFullStrengthDoesNot) {
    for (const int level : {1, 0}) {
        EngineProcess engine;
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        expectAnswers(engine, {"START 15 => OK", "INFO timeout_turn 5000", "INFO max_node 20000",
                               "INFO level " + std::to_string(level)});
        std::set<std::string> answers;
        for (int i = 0; i < 20; ++i) {
            Referee board(15, 15);
            board.sendBoard(engine, QuietOwn, QuietOpponent);
            const std::optional<Move> m = board.engineMove(engine);
            ASSERT_TRUE(m);
            answers.insert(text(*m));
        }
        if (level == 1) {
            EXPECT_GE(answers.size(), 2U);
        } else {
            EXPECT_EQ(answers.size(), 1U);
        }
        endEngine(engine);
    }
}

}  // namespace
}  // namespace velka::testing
