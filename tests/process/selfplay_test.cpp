// Whole games of the engine against itself: two engine processes, a relay that passes each answer
// on as the other's TURN, and a referee that checks every move (legal, on time, never a forbidden
// point for Renju black) and ends the game at five, a full board or a move cap. Then positions
// with one right answer: block the opponent's four or open three, and win a won position.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "answers.h"
#include "board/board.h"
#include "engine_process.h"
#include "patterns/pattern_table.h"
#include "search/forbidden.h"

namespace velka::testing {
namespace {

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Sanitizer builds run several times slower; the threat search before the clocked search has no
// time limit of its own, so they get more slack.
int lateness() {
    const char* sanitized = std::getenv("VELKA_SANITIZED");
    return sanitized != nullptr && sanitized[0] == '1' ? 5000 : 1000;
}

enum class Rule { Freestyle, ExactFive, Renju };

int ruleBits(Rule rule) {
    switch (rule) {
        case Rule::Freestyle:
            return 0;
        case Rule::ExactFive:
            return 1;
        case Rule::Renju:
            return 4;
    }
    return 0;
}

// The referee's board: who is on each cell (1 the first player, black in Renju; 2 the second).
// For the Renju test of black's moves it mirrors the stones on the library's board, with black as
// code 1, and asks the engine's own forbidden-point test.
class Referee {
  public:
    Referee(int side, Rule rule) : side_(side), rule_(rule), cells_(side * side, 0) {
        if (rule == Rule::Renju) {
            patterns::buildPatternTables(patterns::RuleVariant::Renju);
            board::initBoard(side, side);
            board::buildWindowOffsets(side);
            board::engineBoard.firstPlayer = 1;
        }
    }

    bool legal(const Move& m) const {
        return m.x >= 0 && m.y >= 0 && m.x < side_ && m.y < side_ && at(m.x, m.y) == 0;
    }
    bool full() const { return stones_ == side_ * side_; }

    // True when the stone would stand on a forbidden point for black.
    bool forbiddenForBlack(const Move& m) const {
        if (rule_ != Rule::Renju) return false;
        return search::forbiddenIfPlayed(board::cellIndex(m.x, m.y), 1);
    }

    void play(const Move& m, int who) {
        cells_[m.x + m.y * side_] = who;
        ++stones_;
        if (rule_ == Rule::Renju) board::setCell(board::cellIndex(m.x, m.y), who);
    }

    // Whether the stone just played on m wins for its owner under the rule.
    bool wins(const Move& m) const {
        const int who = at(m.x, m.y);
        const bool exact = rule_ == Rule::ExactFive || (rule_ == Rule::Renju && who == 1);
        const int steps[4][2] = {{1, 0}, {0, 1}, {-1, 1}, {1, 1}};
        for (const auto& s : steps) {
            int run = 1;
            for (int dir : {1, -1}) {
                int x = m.x + dir * s[0];
                int y = m.y + dir * s[1];
                while (x >= 0 && y >= 0 && x < side_ && y < side_ && at(x, y) == who) {
                    ++run;
                    x += dir * s[0];
                    y += dir * s[1];
                }
            }
            if (exact ? run == 5 : run >= 5) return true;
        }
        return false;
    }

    // An empty cell on which `who` would win at once, if there is one.
    std::optional<Move> winningCell(int who) {
        for (int y = 0; y < side_; ++y) {
            for (int x = 0; x < side_; ++x) {
                if (at(x, y) != 0) continue;
                cells_[x + y * side_] = who;
                const bool w = wins({x, y});
                cells_[x + y * side_] = 0;
                if (w) return Move{x, y};
            }
        }
        return std::nullopt;
    }

    int at(int x, int y) const { return cells_[x + y * side_]; }

  private:
    int side_;
    Rule rule_;
    std::vector<int> cells_;
    int stones_ = 0;
};

struct Limits {
    int turnMs;
    int moveCap;
};

// Starts an engine with the game's settings: short turns, plenty of match time, a small table.
void startEngine(EngineProcess& engine, int side, Rule rule, int turnMs) {
    engine.send("INFO max_memory 83886080");
    engine.send("INFO timeout_turn " + std::to_string(turnMs));
    engine.send("INFO timeout_match 100000000");
    engine.send("INFO time_left 100000000");
    engine.send("INFO rule " + std::to_string(ruleBits(rule)));
    engine.send("START " + std::to_string(side));
    ASSERT_EQ(answer(engine), "OK");
}

// Reads one move within the turn limit and the allowed lateness; nullopt (and a failure) if none.
std::optional<Move> timedMove(EngineProcess& engine, int64_t sentAt, int turnMs, int moveNumber) {
    const int allowed = turnMs + lateness();
    const std::string line = answer(engine, allowed + 2000);
    const int64_t took = nowMs() - sentAt;
    EXPECT_LE(took, allowed) << "move " << moveNumber << " took " << took << " ms";
    const std::optional<Move> move = parseMove(line);
    if (!move) ADD_FAILURE() << "move " << moveNumber << ": expected a move, got: " << line;
    return move;
}

// Plays one game; returns the number of moves played.
int playGame(int side, Rule rule, const Limits& limits) {
    EngineProcess first;
    EngineProcess second;
    if (!first.running() || !second.running()) {
        ADD_FAILURE() << "cannot start " << engineCommand();
        return 0;
    }
    startEngine(first, side, rule, limits.turnMs);
    startEngine(second, side, rule, limits.turnMs);
    Referee referee(side, rule);

    EngineProcess* players[3] = {nullptr, &first, &second};
    int64_t sentAt = nowMs();
    first.send("BEGIN");
    int who = 1;
    int moves = 0;
    while (moves < limits.moveCap) {
        const std::optional<Move> m = timedMove(*players[who], sentAt, limits.turnMs, moves + 1);
        if (!m) return moves;
        if (!referee.legal(*m)) {
            ADD_FAILURE() << "move " << moves + 1 << " is illegal: " << moveText(m->x, m->y);
            return moves;
        }
        if (who == 1 && referee.forbiddenForBlack(*m)) {
            ADD_FAILURE() << "black played the forbidden point " << moveText(m->x, m->y);
            return moves;
        }
        referee.play(*m, who);
        ++moves;
        if (referee.wins(*m) || referee.full()) {
            std::printf("%dx%d rule %d: %s after %d moves\n", side, side, ruleBits(rule),
                        referee.full() && !referee.wins(*m) ? "full board"
                        : who == 1                          ? "first player won"
                                                            : "second player won",
                        moves);
            break;
        }
        who ^= 3;
        sentAt = nowMs();
        players[who]->send("TURN " + moveText(m->x, m->y));
    }
    for (EngineProcess* p : {&first, &second}) {
        p->send("END");
        EXPECT_EQ(p->waitForExit(), 0);
    }
    return moves;
}

TEST(SelfPlay, Freestyle15) {
    EXPECT_GT(playGame(15, Rule::Freestyle, {200, 50}), 8);
}

TEST(SelfPlay, ExactFive15) {
    EXPECT_GT(playGame(15, Rule::ExactFive, {200, 50}), 8);
}

TEST(SelfPlay, Renju15) {
    EXPECT_GT(playGame(15, Rule::Renju, {250, 50}), 8);
}

TEST(SelfPlay, Freestyle20) {
    EXPECT_GT(playGame(20, Rule::Freestyle, {150, 60}), 8);
}

// Small enough that games fill the board: the engine must still answer when no cell is worth
// anything to either side.
TEST(SelfPlay, Renju7UntilTheBoardIsFull) {
    EXPECT_GT(playGame(7, Rule::Renju, {150, 49}), 8);
}
TEST(SelfPlay, ExactFive7UntilTheBoardIsFull) {
    EXPECT_GT(playGame(7, Rule::ExactFive, {150, 49}), 8);
}

// One position through a BOARD block (own stones "x,y,1", the opponent's "x,y,2"); the engine's
// answer.
std::optional<Move> answerTo(Rule rule, int side, const std::vector<std::string>& stones,
                             int turnMs = 1000) {
    EngineProcess engine;
    if (!engine.running()) {
        ADD_FAILURE() << "cannot start " << engineCommand();
        return std::nullopt;
    }
    startEngine(engine, side, rule, turnMs);
    engine.send("BOARD");
    for (const std::string& s : stones) engine.send(s);
    const int64_t sentAt = nowMs();
    engine.send("DONE");
    const std::optional<Move> move = timedMove(engine, sentAt, turnMs, 1);
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
    return move;
}

bool sameMove(const std::optional<Move>& m, int x, int y) {
    return m && m->x == x && m->y == y;
}

// The opponent (2) has a four; the engine (1) has scattered stones and nothing to win with.
TEST(Tactics, BlocksAFour) {
    for (Rule rule : {Rule::Freestyle, Rule::ExactFive, Rule::Renju}) {
        const std::optional<Move> m = answerTo(
            rule, 15, {"5,5,2", "6,5,2", "7,5,2", "8,5,2", "4,5,1", "10,10,1", "3,11,1", "12,3,1"});
        EXPECT_TRUE(sameMove(m, 9, 5)) << "rule " << ruleBits(rule);
    }
}

// The opponent's open three (6..8, 7) must be closed at one of its ends, (5,7) or (9,7): a stone
// further out leaves an open four on the other side.
TEST(Tactics, BlocksAnOpenThree) {
    for (Rule rule : {Rule::Freestyle, Rule::ExactFive, Rule::Renju}) {
        const std::optional<Move> m =
            answerTo(rule, 15, {"6,7,2", "7,7,2", "8,7,2", "2,2,1", "12,12,1", "2,12,2", "12,2,1"});
        EXPECT_TRUE(sameMove(m, 5, 7) || sameMove(m, 9, 7))
            << "rule " << ruleBits(rule) << ": " << (m ? moveText(m->x, m->y) : "none");
    }
}

// The engine (1) can make a four and an open three at once on (7,7). The test defends as well as
// it can, blocking every four; the engine must make five within four moves.
TEST(Tactics, WinsAWonPosition) {
    for (Rule rule : {Rule::Freestyle, Rule::ExactFive, Rule::Renju}) {
        SCOPED_TRACE("rule " + std::to_string(ruleBits(rule)));
        EngineProcess engine;
        ASSERT_TRUE(engine.running());
        startEngine(engine, 15, rule, 1000);
        // Five stones each: in Renju the engine is black, and a four-three is allowed to black.
        Referee referee(15, rule);
        const std::vector<std::pair<Move, int>> stones = {
            {{3, 7}, 2}, {{4, 7}, 1},  {{5, 7}, 1},  {{6, 7}, 1},   {{7, 5}, 1},
            {{7, 6}, 1}, {{11, 3}, 2}, {{2, 11}, 2}, {{12, 12}, 2}, {{1, 1}, 2}};
        engine.send("BOARD");
        for (const auto& [m, who] : stones) {
            engine.send(moveText(m.x, m.y) + "," + std::to_string(who));
            referee.play(m, who);
        }
        int64_t sentAt = nowMs();
        engine.send("DONE");
        bool won = false;
        for (int turn = 1; turn <= 4 && !won; ++turn) {
            const std::optional<Move> m = timedMove(engine, sentAt, 1000, turn);
            ASSERT_TRUE(m);
            ASSERT_TRUE(referee.legal(*m));
            EXPECT_FALSE(referee.forbiddenForBlack(*m));
            referee.play(*m, 1);
            won = referee.wins(*m);
            if (won) break;
            // Block the engine's five point if it has one; otherwise play far away.
            std::optional<Move> reply = referee.winningCell(1);
            if (!reply) reply = Move{14, 0};
            if (referee.at(reply->x, reply->y) != 0) reply = Move{0, 14};
            referee.play(*reply, 2);
            sentAt = nowMs();
            engine.send("TURN " + moveText(reply->x, reply->y));
        }
        EXPECT_TRUE(won);
        engine.send("END");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

// A long think ends soon after an INFO time_left that leaves only the minimum budget.
TEST(Time, ShrinkingTimeLeftStopsARunningThink) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running());
    startEngine(engine, 20, Rule::Freestyle, 30000);
    engine.send("BOARD");
    for (const char* s :
         {"9,9,1", "10,10,2", "10,9,1", "11,11,2", "8,9,2", "12,12,1", "7,12,1", "12,7,2"}) {
        engine.send(s);
    }
    const int64_t sentAt = nowMs();
    engine.send("DONE");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // 392 empty cells: 1000 ms over 33 moves, raised to the 500 ms minimum.
    engine.send("INFO time_left 1000");
    const std::optional<std::string> line = engine.readLine(30000);
    ASSERT_TRUE(line);
    EXPECT_TRUE(parseMove(*line)) << *line;
    EXPECT_LT(nowMs() - sentAt, 500 + lateness());
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

}  // namespace
}  // namespace velka::testing
