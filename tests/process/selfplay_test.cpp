// The engine's play under each rule (0 freestyle, 1 exact five, 4 Renju): positions with one right
// answer (a five, a forced win by fours, a block), and whole games against itself through two
// engine processes, on one search thread or two, with a referee that checks every move (legal, on
// time, never a forbidden point for Renju black) and ends the game at five or a full board.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine_process.h"

namespace velka::testing {
namespace {

constexpr int TurnMs = 600;

struct Position {
    int rule;
    const char* own;  // the engine's stones, "x,y" separated by spaces
    const char* opponent;
    const char* answers;  // the right moves, separated by spaces
};

const Position Positions[] = {
    {0, "5,7 6,7 7,7 8,7", "4,7 0,0 14,0", "9,7"},
    {0, "5,7 6,7 7,7", "0,0 14,0 0,14", "4,7"},  // (3,7) dies, (4,7) makes the open four
    {1, "10,5 11,5 12,5 13,5", "9,5 0,0 0,14", "14,5"},
    // (3,0) would make six, which does not win; the open three on row 10 does.
    {1, "0,0 1,0 2,0 4,0 5,0 5,10 6,10 7,10", "14,0 0,14 14,14 10,13 12,13 14,12", "4,10"},
    // Renju, the engine black: an exact five across although the same stone makes seven down.
    {4, "3,7 4,7 5,7 6,7 7,4 7,5 7,6 7,8 7,9 7,10", "2,7 0,0 14,0 0,14 14,14", "7,7"},
    {4, "5,7 6,7 7,7", "0,0 14,0 0,14", "4,7"},  // the first winning four in the search's order
    // A four-three: the four across forces (9,7), then the three down is played out.
    {4, "5,7 6,7 7,7 8,5 8,6", "4,7 0,0 14,0", "8,7"},
    // Renju, the engine white; then black must block the four on (7,7), its double-three point.
    {4, "5,7 6,7 7,7", "0,0 14,0 0,14 14,14", "4,7"},
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

TEST(Positions, TheEngineFindsTheRightAnswer) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    for (const Position& p : Positions) {
        for (const int rule : {0, 1, 4}) {
            if (p.rule != -1 && p.rule != rule) continue;
            SCOPED_TRACE("rule " + std::to_string(rule) + ": " + p.own + " / " + p.opponent);
            expectAnswers(engine, {"INFO timeout_turn " + std::to_string(TurnMs),
                                   "INFO rule " + std::to_string(rule), "START 15 => OK", "BOARD"});
            Referee board(15, 15);  // legality only: in Renju the engine may be white
            board.sendStones(engine, p.own, 1);
            board.sendStones(engine, p.opponent, 2);
            engine.send("DONE");
            const std::string move = engine.answer();
            EXPECT_NE((std::string(" ") + p.answers + " ").find(" " + move + " "),
                      std::string::npos)
                << move;
            EXPECT_LE(engine.sinceSend(), TurnMs + lateness());
        }
    }
    endEngine(engine);
}

// Two engines play one another until five, a full board or a cap of moves that keeps a long,
// drawn game from slowing the suite down. With a match clock (matchMs) each hears its time left
// before every move and is charged each answer's time, measured here from the request to the
// answer: neither may run out, however long the game.
void playGame(int side, int rule, int threads, int matchMs = 0) {
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
    Referee board(side, side, rule);
    std::optional<Move> last;
    int moves = 0;
    for (int who = 1; moves < (matchMs != 0 ? side * side : 60); who ^= 3) {
        EngineProcess& engine = engines[who - 1];
        if (matchMs != 0) engine.send("INFO time_left " + std::to_string(left[who - 1]));
        engine.send(last ? "TURN " + text(*last) : "BEGIN");
        last = board.engineMove(engine, who, matchMs != 0 ? 5000 : TurnMs + lateness() + 2000);
        ASSERT_TRUE(last) << "move " << moves + 1;
        ++moves;
        if (matchMs != 0) {
            left[who - 1] -= engine.sinceSend();
            ASSERT_GT(left[who - 1], 0) << "player " << who << " lost on time at move " << moves;
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

}  // namespace
}  // namespace velka::testing
