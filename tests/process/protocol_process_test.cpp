// The command loop seen from a manager: command matching, parameter and size errors, BOARD
// blocks, INFO, ABOUT, and how the engine copes with odd input (CR LF, over-long lines, the end
// of input without END).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "answers.h"
#include "engine_process.h"

namespace velka::testing {
namespace {

class ProtocolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        // Half-second searches keep the suite quick; INFO itself sends nothing.
        engine.send("INFO timeout_turn 600");
    }

    // A command that must be answered with exactly this line.
    void expectAnswer(const std::string& command, const std::string& expected) {
        engine.send(command);
        EXPECT_EQ(answer(engine), expected) << "after: " << command;
    }

    void endGame() {
        engine.send("END");
        EXPECT_EQ(engine.waitForExit(), 0);
    }

    EngineProcess engine;
};

TEST_F(ProtocolTest, BadParametersAreReportedAndChangeNothing) {
    expectAnswer("START", "ERROR bad START parameter");
    expectAnswer("START x", "ERROR bad START parameter");
    expectAnswer("TURN 5", "ERROR bad TURN parameters");
    expectAnswer("TURN 5;6", "ERROR bad TURN parameters");
    expectAnswer("TURN 5 ,6", "ERROR bad TURN parameters");  // the comma must follow the number
    expectAnswer("TURN", "ERROR bad TURN parameters");
    expectAnswer("RECTSTART 10", "ERROR bad RECTSTART parameters");
    expectAnswer("RECTSTART a,b", "ERROR bad RECTSTART parameters");
    expectAnswer("TAKEBACK 3", "ERROR bad TAKEBACK parameters");
    expectAnswer("PLAY", "ERROR bad PLAY parameters");
    expectAnswer("PLAY 3,x", "ERROR bad PLAY parameters");
    // White space before a number is allowed, as scanf allows it.
    expectAnswer("RECTSTART 10, 12", "OK");
    expectAnswer("PLAY 9,11", "9,11");
    expectAnswer("PLAY 9,11", "ERROR my move [9,11]");
    EXPECT_EQ(answer(engine), "9,11");
    // The failed commands placed nothing: the other cells are still free for the opponent.
    expectAnswer("PLAY 3,x", "ERROR bad PLAY parameters");
    expectAnswer("TAKEBACK 3,3", "ERROR bad coordinates");
    expectAnswer("TAKEBACK 9,11", "OK");
    endGame();
}

TEST_F(ProtocolTest, BoardSizesOutsideFiveToEightyAreRefused) {
    expectAnswer("START 4", "ERROR size of the board");
    expectAnswer("START 81", "ERROR Maximal board size is 80");
    expectAnswer("START -5", "ERROR size of the board");
    expectAnswer("START 99999999999", "ERROR Maximal board size is 80");
    expectAnswer("START -99999999999", "ERROR size of the board");
    expectAnswer("RECTSTART 5,4", "ERROR size of the board");
    expectAnswer("RECTSTART 81,5", "ERROR Maximal board size is 80");
    expectAnswer("RECTSTART 4,81", "ERROR size of the board");
    expectAnswer("START 80", "OK");
    expectAnswer("START 5", "OK");
    expectAnswer("RECTSTART 12,6", "OK");
    // A refused size keeps the 12 x 6 board: its corner cells exist, cells beyond it do not.
    expectAnswer("START 81", "ERROR Maximal board size is 80");
    expectAnswer("START 3", "ERROR size of the board");
    expectAnswer("PLAY 11,5", "11,5");
    expectAnswer("PLAY 12,5", "ERROR my move [12,5]");
    EXPECT_EQ(answer(engine), "12,5");
    expectAnswer("PLAY 5,6", "ERROR my move [5,6]");
    EXPECT_EQ(answer(engine), "5,6");
    TrackedBoard board(12, 6);
    board.set(11, 5, 1);
    engine.send("BEGIN");
    expectEngineMove(engine, board);
    endGame();
}

TEST_F(ProtocolTest, TurnBeforeAnyBoardPlaysOnTheDefaultBoard) {
    engine.send("TURN 10,10");
    EXPECT_EQ(answer(engine), "ERROR opponents's move [10,10]");
    EXPECT_EQ(answer(engine), "OK");
    TrackedBoard board(20, 20);
    const std::optional<Move> move = expectEngineMove(engine, board);
    ASSERT_TRUE(move);
    // The rejected stone was not placed: the cell is still free for the opponent.
    if (move->x != 10 || move->y != 10) {
        board.set(10, 10, 2);
        engine.send("TURN 10,10");
        expectEngineMove(engine, board);
    }
    endGame();
}

TEST_F(ProtocolTest, BeforeAnyBoardNoCellExists) {
    expectAnswer("RESTART", "OK");
    expectAnswer("TAKEBACK 0,0", "ERROR bad coordinates");
    expectAnswer("PLAY 0,0", "ERROR my move [0,0]");
    EXPECT_EQ(answer(engine), "0,0");
    engine.send("BOARD");
    expectAnswer("1,1,2", "ERROR opponents's move [1,1]");
    engine.send("DONE");
    EXPECT_EQ(answer(engine), "OK");
    TrackedBoard board(20, 20);
    expectEngineMove(engine, board);
    endGame();
}

TEST_F(ProtocolTest, RefusedFirstStartStillGetsTheDefaultBoard) {
    expectAnswer("START 3", "ERROR size of the board");
    engine.send("BEGIN");
    EXPECT_EQ(answer(engine), "OK");
    TrackedBoard board(20, 20);
    expectEngineMove(engine, board);
    endGame();
}

TEST_F(ProtocolTest, CommandWordsMatchWholeWordsWithoutRegardToCase) {
    expectAnswer("RESTARTX", "UNKNOWN RESTARTX");
    expectAnswer("STARTX 5", "UNKNOWN STARTX 5");
    expectAnswer("RE START", "UNKNOWN RE START");
    expectAnswer("DONE", "UNKNOWN DONE");
    expectAnswer("", "UNKNOWN ");
    expectAnswer("hello\tworld  ", "UNKNOWN hello\tworld  ");
    expectAnswer("  start 10", "OK");
    expectAnswer("\tRectStart 7,9", "OK");
    expectAnswer("pLaY 6,8", "6,8");
    expectAnswer("restart", "OK");
    expectAnswer("play 6,8", "6,8");  // the restart emptied the cell
    endGame();
}

TEST_F(ProtocolTest, InfoIsSilentAndAboutAnswersOneLine) {
    engine.send("INFO");
    engine.send("INFO timeout_turn");
    engine.send("INFO unknown_key 5");
    engine.send("info TIMEOUT_TURN 1000");
    engine.send("INFO folder work dir");
    engine.send("INFO folder " + std::string(600, 'f'));
    engine.send("INFO max_memory 99999999999");
    engine.send("INFO   time_left   70000");
    engine.send("INFO game_type 1");
    engine.send("INFO rule 1");
    engine.send("ABOUT");
    const std::string about = answer(engine);
    // Five pairs key="value", separated by a comma and a space, in this order.
    std::vector<std::string> values;
    size_t at = 0;
    for (const char* key : {"name", "version", "author", "country", "email"}) {
        const std::string opening = std::string(values.empty() ? "" : ", ") + key + "=\"";
        ASSERT_EQ(about.compare(at, opening.size(), opening), 0) << key << " in: " << about;
        at += opening.size();
        const size_t closing = about.find('"', at);
        ASSERT_NE(closing, std::string::npos) << about;
        values.push_back(about.substr(at, closing - at));
        EXPECT_FALSE(values.back().empty()) << key;
        at = closing + 1;
    }
    EXPECT_EQ(at, about.size()) << about;
    EXPECT_EQ(values[0], "velka");
    const std::string& version = values[1];
    ASSERT_EQ(version.size(), 8u);
    ASSERT_EQ(version.find_first_not_of("0123456789"), std::string::npos) << version;
    EXPECT_GE(std::stoi(version.substr(0, 4)), 2024);
    EXPECT_GE(std::stoi(version.substr(4, 2)), 1);
    EXPECT_LE(std::stoi(version.substr(4, 2)), 12);
    EXPECT_GE(std::stoi(version.substr(6, 2)), 1);
    EXPECT_LE(std::stoi(version.substr(6, 2)), 31);
    // The engine still plays after all of it.
    expectAnswer("START 15", "OK");
    TrackedBoard board(15, 15);
    engine.send("BEGIN");
    expectEngineMove(engine, board);
    EXPECT_TRUE(engine.silentFor(100));
    endGame();
}

TEST_F(ProtocolTest, BoardBlockAddsStonesAndReportsBadLines) {
    expectAnswer("START 15", "OK");
    expectAnswer("PLAY 0,0", "0,0");
    engine.send("BOARD");
    expectAnswer("3,4,3", "ERROR winning move [3,4]");
    expectAnswer("END", "ERROR x,y,who or DONE expected after BOARD");
    expectAnswer("ABOUT", "ERROR x,y,who or DONE expected after BOARD");
    expectAnswer("1,2", "ERROR x,y,who or DONE expected after BOARD");
    expectAnswer("1,2,0", "ERROR x,y,who or DONE expected after BOARD");
    expectAnswer("1,2,4", "ERROR x,y,who or DONE expected after BOARD");
    expectAnswer("0,0,2", "ERROR opponents's move [0,0]");  // stones add to the board
    engine.send("7,7,1");
    expectAnswer("7,7,2", "ERROR opponents's move [7,7]");
    expectAnswer("15,3,2", "ERROR opponents's move [15,3]");
    expectAnswer("3,-1,1", "ERROR my move [3,-1]");
    engine.send("8,8,2");
    engine.send("7,8,2");
    engine.send("done");
    TrackedBoard board(15, 15);
    board.set(0, 0, 1);
    board.set(7, 7, 1);
    board.set(8, 8, 2);
    board.set(7, 8, 2);
    const std::optional<Move> move = expectEngineMove(engine, board);
    ASSERT_TRUE(move);
    // The stones of the block stand; the winning-move line placed nothing.
    expectAnswer("PLAY 8,8", "ERROR my move [8,8]");
    EXPECT_EQ(answer(engine), "8,8");
    expectAnswer("TAKEBACK 7,7", "OK");
    if (move->x != 3 || move->y != 4) expectAnswer("TAKEBACK 3,4", "ERROR bad coordinates");
    endGame();
}

TEST_F(ProtocolTest, BoardFollowedAtOnceByDoneThinksOnTheCurrentBoard) {
    expectAnswer("START 10", "OK");
    engine.send("BOARD");
    engine.send("DONE");
    TrackedBoard board(10, 10);
    expectEngineMove(engine, board);
    // A second block on top of the first.
    engine.send("BOARD");
    engine.send("2,2,2");
    engine.send("DONE");
    board.set(2, 2, 2);
    expectEngineMove(engine, board);
    endGame();
}

TEST_F(ProtocolTest, OverLongLineIsCutAndItsRestIsNotACommand) {
    // The command word itself is not cut short by the line limit.
    std::string longLine = "FOO " + std::string(1019, 'a');
    ASSERT_EQ(longLine.size(), 1023u);
    longLine += "\nSTART 10\n" + std::string(2000, 'b');  // the rest would be a command if read
    engine.sendRaw(longLine + "START 10\n");
    // "UNKNOWN " and the line, cut to the answer's 1023 characters.
    EXPECT_EQ(answer(engine), ("UNKNOWN FOO " + std::string(1019, 'a')).substr(0, 1023));
    EXPECT_EQ(answer(engine), "OK");
    EXPECT_EQ(answer(engine), "UNKNOWN " + std::string(1015, 'b'));
    // 1023 characters, then START: the part beyond the limit is dropped with the line.
    engine.sendRaw(std::string(1023, ' ') + "START 12\nABOUT\n");
    EXPECT_EQ(answer(engine), "UNKNOWN " + std::string(1015, ' '));
    EXPECT_EQ(answer(engine).rfind("name=\"velka\"", 0), 0u);
    // A line of exactly 1023 characters and CR LF is a whole line.
    engine.sendRaw("START 15" + std::string(1015, ' ') + "\r\n");
    EXPECT_EQ(answer(engine), "OK");
    endGame();
}

TEST_F(ProtocolTest, CrLfLinesAreReadLikeLfLines) {
    engine.sendRaw("START 10\r\n");
    EXPECT_EQ(answer(engine), "OK");
    engine.sendRaw("FOO\r\n");
    EXPECT_EQ(answer(engine), "UNKNOWN FOO");
    engine.sendRaw("PLAY 3,4\r\n");
    EXPECT_EQ(answer(engine), "3,4");
    engine.sendRaw("BOARD\r\n5,5,2\r\nDONE\r\n");
    TrackedBoard board(10, 10);
    board.set(3, 4, 1);
    board.set(5, 5, 2);
    expectEngineMove(engine, board);
    // A CR inside a line is not a line end: it is echoed as a space.
    engine.sendRaw("BAR\rBAZ\r\n");
    EXPECT_EQ(answer(engine), "UNKNOWN BAR BAZ");
    engine.sendRaw("END\r\n");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST_F(ProtocolTest, LinesAfterEndAreNotRead) {
    engine.send("END");
    engine.send("ABOUT");
    EXPECT_EQ(engine.waitForExit(), 0);
    EXPECT_EQ(engine.readLine(1000), std::nullopt);
}

TEST_F(ProtocolTest, EndOfInputWhileIdleEndsWithStatusZero) {
    expectAnswer("START 10", "OK");
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST_F(ProtocolTest, EndOfInputWithoutLineEndStillRunsTheLastCommand) {
    engine.sendRaw("START 10");
    engine.closeInput();
    EXPECT_EQ(answer(engine), "OK");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST_F(ProtocolTest, EndOfInputInsideABoardBlockEndsWithStatusZero) {
    expectAnswer("START 10", "OK");
    engine.send("BOARD");
    engine.send("1,1,2");
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(), 0);
    EXPECT_EQ(engine.readLine(1000), std::nullopt);
}

TEST_F(ProtocolTest, EndOfInputDuringAThinkSendsTheMoveFirst) {
    expectAnswer("START 10", "OK");
    engine.send("BEGIN");
    engine.closeInput();
    TrackedBoard board(10, 10);
    expectEngineMove(engine, board);
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST(ConsoleStart, AConsoleUserIsToldToUseAManagerAndStillServed) {
    if (expectCrlf()) GTEST_SKIP() << "whether Wine shows a terminal as a console is Wine's affair";
    EngineProcess engine(EngineProcess::StdinKind::Console);
    ASSERT_TRUE(engine.running());
    EXPECT_EQ(answer(engine),
              "MESSAGE Gomoku AI should not be started directly. Please install gomoku manager "
              "(https://sourceforge.net/projects/piskvork). Then enter path to this exe file in "
              "players settings.");
    engine.send("START 10");
    EXPECT_EQ(answer(engine), "OK");
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

}  // namespace
}  // namespace velka::testing
