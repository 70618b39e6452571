// The engine seen from a manager: command matching, every parameter, size and cell error, BOARD
// blocks, ABOUT, odd input (CR LF, over-long lines, the end of input without END) and a full
// board. (A think's own answers and its ends: threads_test.)
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "engine_process.h"

namespace velka::testing {
namespace {

const std::string Size = "ERROR size of the board";
const std::string Maximal = "ERROR Maximal board size is 80";
const std::string BadLine = "ERROR x,y,who or DONE expected after BOARD";

class ProtocolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        engine.send("INFO timeout_turn 600");  // short thinks
    }
    EngineProcess engine;
};

// INFO lines of every kind get no answer (their values: protocol_test); ABOUT is one line of five
// pairs key="value" in this order, the version the build date: no country and no address rather
// than made-up ones.
TEST_F(ProtocolTest, CommandsGetTheirAnswersAndFailedOnesChangeNothing) {
    expectAnswers(engine,
                  {"INFO", "INFO timeout_turn", "INFO unknown_key 5", "info TIMEOUT_TURN 600",
                   "INFO folder a b", "INFO folder " + std::string(600, 'f'),
                   "INFO max_memory 99999999999", "INFO\ttime_left \t70000", "ABOUT"});
    const std::regex about(R"re(name="velka", version="20[2-9]\d(0[1-9]|1[0-2]))re"
                           R"re((0[1-9]|[12]\d|3[01])", author="the velka developers", )re"
                           R"(country="", email="")");
    EXPECT_TRUE(std::regex_match(engine.answer(), about));
    expectAnswers(
        engine,
        {"START => ERROR bad START parameter", "START x => ERROR bad START parameter",
         "TURN => ERROR bad TURN parameters", "TURN 5 => ERROR bad TURN parameters",
         "TURN 5 ,6 => ERROR bad TURN parameters", "RECTSTART 10 => ERROR bad RECTSTART parameters",
         "TAKEBACK 3 => ERROR bad TAKEBACK parameters", "PLAY 3,x => ERROR bad PLAY parameters",
         // Sides from 5 to 80, also for numbers beyond 32 bits.
         "START 4 => " + Size, "START 81 => " + Maximal, "START 99999999999 => " + Maximal,
         "START -99999999999 => " + Size, "RECTSTART 5,4 => " + Size,
         "RECTSTART 81,5 => " + Maximal, "RECTSTART 5,81 => " + Maximal,
         "RECTSTART 4,81 => " + Size, "START 80 => OK", "START 5 => OK",
         // Whole command words without regard to case; white space may precede a number.
         "RESTARTX => UNKNOWN RESTARTX", "STARTX 5 => UNKNOWN STARTX 5",
         "RE START => UNKNOWN RE START", "DONE => UNKNOWN DONE", " => UNKNOWN ",
         "hello\tworld   => UNKNOWN hello\tworld  ", "  start 10 => OK", "\tRectStart 12, 6 => OK",
         // A refused size keeps the 12 x 6 board: its corner exists, cells beyond it do not.
         "START 81 => " + Maximal, "START 3 => " + Size, "pLaY 11,5 => 11,5",
         "PLAY 11,5 => ERROR my move [11,5]\n11,5", "PLAY 12,5 => ERROR my move [12,5]\n12,5",
         "PLAY 5,6 => ERROR my move [5,6]\n5,6", "TAKEBACK 3,3 => ERROR bad coordinates",
         "TAKEBACK 11,5 => OK", "TAKEBACK 11,5 => ERROR bad coordinates",
         "TAKEBACK 12,0 => ERROR bad coordinates", "TAKEBACK -1,3 => ERROR bad coordinates",
         "PLAY 11,5 => 11,5", "restart => OK", "play 11,5 => 11,5",
         // The engine's own stone stands: the opponent cannot play there; the think still starts.
         "TURN 11,5 => ERROR opponents's move [11,5]"});
    Referee board(12, 6);
    board.play({11, 5}, 1);
    board.engineMove(engine);
    EXPECT_EQ(engine.readLine(100), std::nullopt);  // nothing more
    endEngine(engine);
}

// Before any board no cell exists for PLAY and TAKEBACK; a move request (TURN, BEGIN, a BOARD
// block, also after a refused START) sets up the default 20 x 20 board without a word, places its
// stones there and gets exactly one legal move.
TEST(BeforeAnyBoard, AMoveRequestGetsTheDefaultBoardItsStonesAndOneMove) {
    const std::vector<std::string> cases[] = {
        {"TURN 10,10"},
        {"BEGIN"},
        {"BOARD", "10,10,2", "3,4,1", "DONE"},
        {"START 3 => " + Size, "RESTART => OK", "TAKEBACK 0,0 => ERROR bad coordinates",
         "PLAY 0,0 => ERROR my move [0,0]\n0,0", "TURN 10,10"}};
    for (const std::vector<std::string>& request : cases) {
        SCOPED_TRACE(request.back());
        EngineProcess engine;
        engine.send("INFO timeout_turn 300");
        expectAnswers(engine, request);
        Referee board(20, 20);
        const bool begin = request[0] == "BEGIN";
        if (!begin) board.play({10, 10}, 2);
        if (request[0] == "BOARD") board.play({3, 4}, 1);
        ASSERT_TRUE(board.engineMove(engine));
        // The request's stone stands on the board: the cell is taken.
        if (!begin) expectAnswers(engine, {"PLAY 10,10 => ERROR my move [10,10]\n10,10"});
        endEngine(engine);
        EXPECT_EQ(engine.readLine(100), std::nullopt);  // nothing else, no "OK" among it
    }
}

TEST_F(ProtocolTest, BoardBlocksSetUpANewPositionReportBadLinesAndMayFillTheBoard) {
    expectAnswers(engine, {"START 15 => OK", "PLAY 0,0 => 0,0", "BOARD",
                           "3,4,3 => ERROR winning move [3,4]", "ABOUT => " + BadLine,
                           "1,2 => " + BadLine, "1,2,0 => " + BadLine, "1,2,4 => " + BadLine,
                           "0,0,2",  // the block replaced the board's stones: (0,0) is free
                           "7,7,1", "7,7,2 => ERROR opponents's move [7,7]",
                           "15,3,2 => ERROR opponents's move [15,3]",
                           "3,-1,1 => ERROR my move [3,-1]", "8,8,2", "7,8,2", "done"});
    Referee board(15, 15);
    board.play({7, 7}, 1);
    for (const Move m : {Move{0, 0}, {8, 8}, {7, 8}}) board.play(m, 2);
    board.engineMove(engine);
    // The block's stones stand; the winning-move line placed nothing.
    expectAnswers(
        engine, {"PLAY 8,8 => ERROR my move [8,8]\n8,8", "TAKEBACK 3,4 => ERROR bad coordinates"});
    // A manager that sends the whole board before every move: the second position has nothing of
    // the first, whose three on row 0 would make a four with (3,0).
    board = Referee(15, 15);
    board.sendBoard(engine, "7,7 7,8", "0,0 1,0 2,0");
    board.engineMove(engine);
    board = Referee(15, 15);
    board.sendBoard(engine, "11,11", "3,0 10,10 10,11");
    const std::optional<Move> move = board.engineMove(engine);
    ASSERT_TRUE(move);
    EXPECT_FALSE(move->x == 4 && move->y == 0) << "blocked a four of the old position";
    if (board.legal({0, 0})) expectAnswers(engine, {"PLAY 0,0 => 0,0"});
    // A block of DONE alone is the empty board.
    expectAnswers(engine, {"BOARD", "DONE"});
    board = Referee(15, 15);
    board.engineMove(engine);
    if (board.legal({3, 0})) expectAnswers(engine, {"PLAY 3,0 => 3,0"});
    // A full board: pairs alternating along rows, rows alternating, no five anywhere; (4,4) stays
    // empty until the engine's move. With no cell left no coordinate may go out, and the engine
    // stays at the manager's service.
    expectAnswers(engine, {"START 5 => OK", "BOARD"});
    for (int i = 0; i < 24; ++i)
        engine.send(text({i % 5, i / 5}) + "," + std::to_string(1 + (i % 5 / 2 + i / 5) % 2));
    expectAnswers(engine, {"DONE => 4,4", "BEGIN => ERROR no empty cell on the board",
                           "TAKEBACK 2,2 => OK", "BEGIN => 2,2"});
    endEngine(engine);
}

TEST_F(ProtocolTest, CrLfAndOverLongLines) {
    expectAnswers(engine,
                  {"START 10\r => OK", "FOO\r => UNKNOWN FOO", "PLAY 3,4\r => 3,4",
                   "BAR\rBAZ\r => UNKNOWN BAR BAZ",  // a CR inside a line is no line end
                   // 1023 characters are a whole line; the answer is cut to 1023 characters.
                   "FOO " + std::string(1019, 'a') + " => UNKNOWN FOO " + std::string(1011, 'a'),
                   "START 15" + std::string(1015, ' ') + "\r => OK",
                   // Beyond that the rest of the line is dropped, not read as a command.
                   std::string(1023, ' ') + "START 12 => UNKNOWN " + std::string(1015, ' '),
                   std::string(3000, 'b') + "START 12 => UNKNOWN " + std::string(1015, 'b'),
                   "PLAY 14,14\r => 14,14", "BOARD\r", "5,5,2\r", "DONE\r"});
    Referee board(15, 15);
    board.play({14, 14}, 1);
    board.play({5, 5}, 2);
    board.engineMove(engine);
    engine.send("END\r");
    EXPECT_EQ(engine.waitForExit(), 0);
}

// Whatever the state, the end of input (or END) ends the engine with status 0, after the answers
// that are due and nothing else. A think that ends before the input does (an opening move takes
// no time) may still send its move.
TEST(EndOfInput, EndsCleanlyAfterTheDueAnswers) {
    for (const std::string input : {"START 10\nEND\nABOUT\n", "START 10\n",
                                    "START 10",  // the last line without its line end counts
                                    "START 10\nBOARD\n1,1,2\n", "START 10\nBEGIN\n"}) {
        SCOPED_TRACE(input);
        EngineProcess engine;
        engine.sendRaw(input);
        engine.closeInput();
        EXPECT_EQ(engine.answer(), "OK");
        EXPECT_EQ(engine.waitForExit(), 0);
        const std::optional<std::string> last = engine.readLine(1000);
        if (last && input.find("BEGIN") != std::string::npos) {
            EXPECT_TRUE(parseMove(*last)) << *last;
            EXPECT_EQ(engine.readLine(100), std::nullopt);
        } else {
            EXPECT_EQ(last, std::nullopt);
        }
    }
    // END inside a BOARD block ends the engine too: a manager that gives up on a position is not
    // kept waiting for a DONE.
    EngineProcess engine;
    expectAnswers(engine, {"START 10 => OK", "BOARD", "1,1,2", "END"});
    EXPECT_EQ(engine.waitForExit(), 0);
    EXPECT_EQ(engine.readLine(100), std::nullopt);
}

TEST(ConsoleStart, AConsoleUserIsToldToUseAManagerAndStillServed) {
    if (expectCrlf()) GTEST_SKIP() << "whether Wine shows a terminal as a console is Wine's affair";
    EngineProcess engine(true);
    ASSERT_TRUE(engine.running());
    EXPECT_EQ(engine.answer(),
              "MESSAGE Gomoku AI should not be started directly. Please install gomoku manager "
              "(https://sourceforge.net/projects/piskvork). Then enter path to this exe file in "
              "players settings.");
    expectAnswers(engine, {"START 10 => OK"});
    endEngine(engine);
}

}  // namespace
}  // namespace velka::testing
