// Whole games through the protocol, and the hand-over between the command loop and the
// ThinkThread: legal moves on the manager's board, take-backs, restarts, a full board, and the
// commands that are answered while a think runs.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "answers.h"
#include "engine_process.h"

namespace velka::testing {
namespace {

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool isAboutLine(const std::string& line) {
    return line.rfind("name=\"velka\", ", 0) == 0;
}

// A middle-game position with no forced win for either side, so that the main search runs and
// uses its time budget.
const std::vector<std::string> MiddleGame = {"9,9,1",   "10,10,2", "10,9,1",
                                             "11,11,2", "8,9,2",   "12,12,1"};

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand(); }

    void expectAnswer(const std::string& command, const std::string& expected) {
        engine.send(command);
        EXPECT_EQ(answer(engine), expected) << "after: " << command;
    }

    // START 20 and the middle-game stones, without the closing DONE.
    void setUpMiddleGame(TrackedBoard& board) {
        expectAnswer("START 20", "OK");
        engine.send("BOARD");
        for (const std::string& line : MiddleGame) {
            engine.send(line);
            int x = 0, y = 0, who = 0;
            ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%d", &x, &y, &who), 3);
            board.set(x, y, who);
        }
    }

    EngineProcess engine;
};

TEST_F(GameTest, WholeGameWithTakeBackAndRestart) {
    engine.send("INFO timeout_turn 600");
    expectAnswer("START 15", "OK");
    TrackedBoard board(15, 15);
    engine.send("BEGIN");
    std::optional<Move> last = expectEngineMove(engine, board);
    ASSERT_TRUE(last);

    const Move wishes[] = {{6, 6}, {8, 8}, {5, 9}, {10, 4}, {7, 3}};
    Move lastOpponent{0, 0};
    for (const Move& wish : wishes) {
        const std::optional<Move> cell = board.emptyFrom(wish.x, wish.y);
        ASSERT_TRUE(cell);
        board.set(cell->x, cell->y, 2);
        lastOpponent = *cell;
        engine.send("TURN " + moveText(cell->x, cell->y));
        last = expectEngineMove(engine, board);
        ASSERT_TRUE(last);
    }

    // The engine's own stone stands on the board: the opponent cannot play there, and the
    // think still starts.
    engine.send("TURN " + moveText(last->x, last->y));
    EXPECT_EQ(answer(engine), "ERROR opponents's move [" + moveText(last->x, last->y) + "]");
    last = expectEngineMove(engine, board);
    ASSERT_TRUE(last);

    expectAnswer("TAKEBACK " + moveText(last->x, last->y), "OK");
    board.set(last->x, last->y, 0);
    expectAnswer("TAKEBACK " + moveText(last->x, last->y), "ERROR bad coordinates");
    expectAnswer("TAKEBACK " + moveText(lastOpponent.x, lastOpponent.y), "OK");
    board.set(lastOpponent.x, lastOpponent.y, 0);
    expectAnswer("TAKEBACK 15,0", "ERROR bad coordinates");
    expectAnswer("TAKEBACK -1,3", "ERROR bad coordinates");
    // The opponent plays again on the cell it took back.
    board.set(lastOpponent.x, lastOpponent.y, 2);
    engine.send("TURN " + moveText(lastOpponent.x, lastOpponent.y));
    ASSERT_TRUE(expectEngineMove(engine, board));

    // RESTART empties the board and keeps its size.
    expectAnswer("RESTART", "OK");
    board.clear();
    engine.send("BEGIN");
    last = expectEngineMove(engine, board);
    ASSERT_TRUE(last);
    const Move formerOpponent = lastOpponent;
    if (formerOpponent.x != last->x || formerOpponent.y != last->y) {
        board.set(formerOpponent.x, formerOpponent.y, 2);
        engine.send("TURN " + moveText(formerOpponent.x, formerOpponent.y));
        ASSERT_TRUE(expectEngineMove(engine, board));
    }
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST_F(GameTest, FullBoardGetsAnErrorInsteadOfAMove) {
    engine.send("INFO timeout_turn 600");
    expectAnswer("START 5", "OK");
    TrackedBoard board(5, 5);
    // Pairs alternating along rows, rows alternating: no five anywhere. (4,4) stays empty.
    engine.send("BOARD");
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            if (x == 4 && y == 4) continue;
            const int who = 1 + (x / 2 + y) % 2;
            board.set(x, y, who);
            engine.send(moveText(x, y) + "," + std::to_string(who));
        }
    }
    engine.send("DONE");
    EXPECT_EQ(answer(engine), "4,4");
    // No cell is left: no coordinate may go out, and the engine stays at the manager's service.
    engine.send("BEGIN");
    EXPECT_EQ(answer(engine), "ERROR no empty cell on the board");
    engine.send("ABOUT");
    EXPECT_TRUE(isAboutLine(answer(engine)));
    expectAnswer("TAKEBACK 2,2", "OK");
    engine.send("BEGIN");
    EXPECT_EQ(answer(engine), "2,2");
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST_F(GameTest, AboutInfoAndBadCommandsAreAnsweredDuringAThink) {
    engine.send("INFO timeout_turn 1000");
    TrackedBoard board(20, 20);
    setUpMiddleGame(board);
    const int64_t start = nowMs();
    engine.send("DONE");
    engine.send("ABOUT");
    engine.send("INFO time_left 100000");
    engine.send("UNKNOWNWORD");
    engine.send("START");  // a bad parameter is answered without waiting for the move
    const std::string first = answer(engine);
    const int64_t firstAt = nowMs() - start;
    if (isAboutLine(first)) {
        EXPECT_EQ(answer(engine), "UNKNOWN UNKNOWNWORD");
        EXPECT_EQ(answer(engine), "ERROR bad START parameter");
        expectEngineMove(engine, board);
    } else {
        // The think ended before the ABOUT line was even read: only a quick think allows that.
        EXPECT_LT(firstAt, 300) << "the ABOUT line waited for a think of " << firstAt << " ms";
        ASSERT_TRUE(parseMove(first)) << first;
        EXPECT_TRUE(isAboutLine(answer(engine)));
        EXPECT_EQ(answer(engine), "UNKNOWN UNKNOWNWORD");
        EXPECT_EQ(answer(engine), "ERROR bad START parameter");
    }
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST_F(GameTest, InfoDuringAThinkShortensTheRunningBudget) {
    engine.send("INFO timeout_turn 5000");
    TrackedBoard board(20, 20);
    setUpMiddleGame(board);
    engine.send("DONE");
    const int64_t start = nowMs();
    // 392 empty cells and 120 s left allow 3.6 s; the new turn limit, sent once the think has
    // started its clock, cuts the running budget to 0.5 s.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine.send("INFO timeout_turn 600");
    expectEngineMove(engine, board);
    EXPECT_LT(nowMs() - start, 2500);
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST_F(GameTest, CommandsThatTouchTheBoardWaitForTheMove) {
    engine.send("INFO timeout_turn 600");
    TrackedBoard board(20, 20);
    setUpMiddleGame(board);
    engine.send("DONE");
    // Sent at once, answered only after the move: the PLAY echo and the END come after it.
    engine.send("PLAY 0,0");
    engine.send("END");
    const std::optional<Move> move = expectEngineMove(engine, board);
    EXPECT_EQ(answer(engine), "0,0");
    EXPECT_EQ(engine.waitForExit(), 0);
    EXPECT_TRUE(move);
}

}  // namespace
}  // namespace velka::testing
