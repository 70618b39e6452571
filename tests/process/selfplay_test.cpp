// The engine's play under each rule (0 freestyle, 1 exact five, 4 Renju): positions with one right
// answer (a five, a forced win by fours, a block), a won position played out, and whole games
// against itself through two engine processes, with a referee that checks every move (legal, on
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

// A fresh 15 x 15 game under the rule with the stones of a BOARD block, up to its DONE.
void sendPosition(EngineProcess& engine, Referee& board, int rule, const Position& p) {
    expectAnswers(engine, {"INFO timeout_turn " + std::to_string(TurnMs),
                           "INFO rule " + std::to_string(rule), "START 15 => OK", "BOARD"});
    board.sendStones(engine, p.own, 1);
    board.sendStones(engine, p.opponent, 2);
    engine.send("DONE");
}

TEST(Positions, TheEngineFindsTheRightAnswer) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    for (const Position& p : Positions) {
        for (const int rule : {0, 1, 4}) {
            if (p.rule != -1 && p.rule != rule) continue;
            SCOPED_TRACE("rule " + std::to_string(rule) + ": " + p.own + " / " + p.opponent);
            Referee board(15, 15);  // legality only: in Renju the engine may be white
            sendPosition(engine, board, rule, p);
            const std::string move = engine.answer();
            EXPECT_NE((std::string(" ") + p.answers + " ").find(" " + move + " "),
                      std::string::npos)
                << move;
            EXPECT_LE(engine.sinceSend(), TurnMs + lateness());
        }
    }
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

// The engine can make a four and an open three at once on (7,7); the test defends as well as it
// can, blocking every four, and the engine must make five within four moves.
TEST(Positions, AWonPositionIsPlayedOutToFive) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    for (const int rule : {0, 1, 4}) {
        SCOPED_TRACE("rule " + std::to_string(rule));
        // Five stones each: in Renju the engine is black, and a four-three is allowed to black.
        Referee board(15, 15, rule);
        sendPosition(engine, board, rule,
                     {rule, "4,7 5,7 6,7 7,5 7,6", "3,7 11,3 2,11 12,12 1,1", ""});
        bool won = false;
        for (int turn = 1; turn <= 4 && !won; ++turn) {
            if (turn > 1) {
                // Block the engine's five point if it has one; otherwise play far away.
                std::optional<Move> reply = board.winningCell(1);
                if (!reply) reply = board.legal({14, 0}) ? Move{14, 0} : Move{0, 14};
                board.play(*reply, 2);
                engine.send("TURN " + text(*reply));
            }
            const std::optional<Move> m = board.engineMove(engine, 1, TurnMs + lateness() + 2000);
            ASSERT_TRUE(m);
            EXPECT_LE(engine.sinceSend(), TurnMs + lateness());
            won = board.wins(*m);
        }
        EXPECT_TRUE(won);
    }
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

void playGame(int side, int rule) {
    EngineProcess engines[2];
    for (EngineProcess& engine : engines) {
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        // Short turns, ample match time, a small table.
        expectAnswers(engine,
                      {"INFO max_memory 83886080", "INFO timeout_turn " + std::to_string(TurnMs),
                       "INFO time_left 100000000", "INFO rule " + std::to_string(rule),
                       "START " + std::to_string(side) + " => OK"});
    }
    Referee board(side, side, rule);
    engines[0].send("BEGIN");
    // A cap keeps a long, drawn game from slowing the suite down.
    int moves = 0;
    const char* outcome = "the move cap";
    for (int who = 1; moves < 60; who ^= 3) {
        EngineProcess& engine = engines[who - 1];
        const std::optional<Move> m = board.engineMove(engine, who, TurnMs + lateness() + 2000);
        ASSERT_TRUE(m) << "move " << moves + 1;
        EXPECT_LE(engine.sinceSend(), TurnMs + lateness()) << "move " << moves + 1;
        ++moves;
        if (board.full()) outcome = "a full board";
        if (board.wins(*m))
            outcome = who == 1 ? "a win of the first player" : "a win of the second";
        if (board.wins(*m) || board.full()) break;
        engines[2 - who].send("TURN " + text(*m));
    }
    std::printf("%dx%d rule %d: %s after %d moves\n", side, side, rule, outcome, moves);
    EXPECT_GT(moves, 8);
    for (EngineProcess& engine : engines) {
        engine.send("END");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

// A game as a manager with a 3 s match clock runs it: each engine hears its time left before every
// move and is charged each answer's time, measured here from the request to the answer; neither
// may run out, however long the game.
TEST(SelfPlay, AThreeSecondMatchClockIsNeverOverrun) {
    EngineProcess engines[2];
    int64_t left[2] = {3000, 3000};
    for (EngineProcess& engine : engines) {
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        expectAnswers(engine, {"START 15 => OK", "INFO timeout_match 3000",
                               "INFO timeout_turn 3000", "INFO max_memory 83886080"});
    }
    Referee board(15, 15);
    std::optional<Move> last;
    int moves = 0;
    for (int who = 1; moves < 225; who ^= 3) {
        EngineProcess& engine = engines[who - 1];
        engine.send("INFO time_left " + std::to_string(left[who - 1]));
        engine.send(last ? "TURN " + text(*last) : "BEGIN");
        last = board.engineMove(engine, who, 5000);
        ASSERT_TRUE(last) << "move " << moves + 1;
        left[who - 1] -= engine.sinceSend();
        ASSERT_GT(left[who - 1], 0) << "player " << who << " lost on time at move " << moves + 1;
        ++moves;
        if (board.wins(*last) || board.full()) break;
    }
    std::printf("3 s match clock: %d moves, time left %lld and %lld ms\n", moves,
                static_cast<long long>(left[0]), static_cast<long long>(left[1]));
    for (EngineProcess& engine : engines) {
        engine.send("END");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

TEST(SelfPlay, Freestyle15) {
    playGame(15, 0);
}
TEST(SelfPlay, ExactFive15) {
    playGame(15, 1);
}
TEST(SelfPlay, Renju15) {
    playGame(15, 4);
}
TEST(SelfPlay, Freestyle20) {
    playGame(20, 0);
}
// Small enough to fill: the engine must still answer when no cell is worth anything.
TEST(SelfPlay, Renju7UntilTheBoardIsFull) {
    playGame(7, 4);
}

}  // namespace
}  // namespace velka::testing
