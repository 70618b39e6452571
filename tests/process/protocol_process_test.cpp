// The engine seen from a manager: command matching, every parameter, size and cell error, BOARD
// blocks, ABOUT, odd input (CR LF, over-long lines, the end of input without END), whole games,
// a full board, and the commands that are answered while the ThinkThread thinks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine_process.h"

namespace velka::testing {
namespace {

const std::string Size = "ERROR size of the board";
const std::string Maximal = "ERROR Maximal board size is 80";
const std::string BadLine = "ERROR x,y,who or DONE expected after BOARD";
// Five pairs key="value" in this order, none empty.
constexpr char AboutFormat[] = R"(name="velka", version="%15[^"]", author="%63[^"]", )"
                               R"(country="%63[^"]", email="%63[^"]")";

class ProtocolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
        engine.send("INFO timeout_turn 600");  // short thinks
    }
    void end() {
        engine.send("END");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
    EngineProcess engine;
};

TEST_F(ProtocolTest, CommandsGetTheirAnswersAndFailedOnesChangeNothing) {
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
         "TAKEBACK 12,0 => ERROR bad coordinates", "PLAY 11,5 => 11,5", "restart => OK",
         "play 11,5 => 11,5", "BEGIN"});
    Referee board(12, 6);
    board.play({11, 5}, 1);
    board.engineMove(engine);
    end();
}

TEST_F(ProtocolTest, BeforeAnyBoardNoCellExistsAndATurnGetsTheDefaultBoard) {
    expectAnswers(engine,
                  {"START 3 => " + Size, "RESTART => OK", "TAKEBACK 0,0 => ERROR bad coordinates",
                   "PLAY 0,0 => ERROR my move [0,0]\n0,0",
                   "TURN 10,10 => ERROR opponents's move [10,10]\nOK"});
    Referee board(20, 20);
    const std::optional<Move> move = board.engineMove(engine);
    // The rejected stone was not placed: the opponent may still play there.
    if (move && board.legal({10, 10})) {
        board.play({10, 10}, 2);
        engine.send("TURN 10,10");
        board.engineMove(engine);
    }
    end();
}

TEST_F(ProtocolTest, InfoIsSilentAndAboutIsOneLineOfFivePairs) {
    expectAnswers(engine, {"INFO", "INFO timeout_turn", "INFO unknown_key 5",
                           "info TIMEOUT_TURN 1000", "INFO folder work dir",
                           "INFO folder " + std::string(600, 'f'), "INFO max_memory 99999999999",
                           "INFO   time_left   70000", "INFO game_type 1", "INFO rule 1", "ABOUT"});
    const std::string about = engine.answer();
    char version[16] = {}, author[64] = {}, country[64] = {}, email[64] = {};
    ASSERT_EQ(std::sscanf(about.c_str(), AboutFormat, version, author, country, email), 4) << about;
    EXPECT_EQ(about, std::string(R"(name="velka", version=")") + version + R"(", author=")" +
                         author + R"(", country=")" + country + R"(", email=")" + email + '"');
    // The version is the build date, year first.
    int year = 0, month = 0, day = 0, used = 0;
    std::sscanf(version, "%4d%2d%2d%n", &year, &month, &day, &used);
    EXPECT_TRUE(std::strspn(version, "0123456789") == 8 && version[8] == 0 && year >= 2024 &&
                month >= 1 && month <= 12 && day >= 1 && day <= 31)
        << version;
    // The engine still plays after all of it, and sends nothing more.
    expectAnswers(engine, {"START 15 => OK", "BEGIN"});
    Referee board(15, 15);
    board.engineMove(engine);
    EXPECT_EQ(engine.readLine(100), std::nullopt);
    end();
}

TEST_F(ProtocolTest, BoardBlocksAddStonesAndReportBadLines) {
    expectAnswers(
        engine, {"START 15 => OK", "PLAY 0,0 => 0,0", "BOARD", "3,4,3 => ERROR winning move [3,4]",
                 "END => " + BadLine, "ABOUT => " + BadLine, "1,2 => " + BadLine,
                 "1,2,0 => " + BadLine, "1,2,4 => " + BadLine,
                 "0,0,2 => ERROR opponents's move [0,0]",  // stones add to the board
                 "7,7,1", "7,7,2 => ERROR opponents's move [7,7]",
                 "15,3,2 => ERROR opponents's move [15,3]", "3,-1,1 => ERROR my move [3,-1]",
                 "8,8,2", "7,8,2", "done"});
    Referee board(15, 15);
    for (const Move m : {Move{0, 0}, {7, 7}}) board.play(m, 1);
    for (const Move m : {Move{8, 8}, {7, 8}}) board.play(m, 2);
    board.engineMove(engine);
    // The block's stones stand; a block of DONE alone thinks on the board as it is.
    expectAnswers(engine,
                  {"PLAY 8,8 => ERROR my move [8,8]\n8,8", "TAKEBACK 7,7 => OK", "BOARD", "DONE"});
    board.play({7, 7}, 0);
    board.engineMove(engine);
    // The winning-move line placed nothing.
    if (board.at({3, 4}) == 0) expectAnswers(engine, {"TAKEBACK 3,4 => ERROR bad coordinates"});
    end();
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

TEST_F(ProtocolTest, WholeGameWithTakeBackAndRestart) {
    expectAnswers(engine, {"START 15 => OK", "BEGIN"});
    Referee board(15, 15);
    std::optional<Move> last = board.engineMove(engine);
    Move opponent{};
    for (Move wish : {Move{6, 6}, {8, 8}, {5, 9}, {10, 4}, {7, 3}}) {
        ASSERT_TRUE(last);
        while (!board.legal(wish)) wish.x = (wish.x + 1) % 15;
        board.play(opponent = wish, 2);
        engine.send("TURN " + text(wish));
        last = board.engineMove(engine);
    }
    ASSERT_TRUE(last);
    // The engine's own stone stands: the opponent cannot play there, and the think still starts.
    const std::string own = text(*last);
    expectAnswers(engine, {"TURN " + own + " => ERROR opponents's move [" + own + "]"});
    last = board.engineMove(engine);
    ASSERT_TRUE(last);
    // The opponent takes back and plays again on the same cell.
    expectAnswers(
        engine, {"TAKEBACK " + text(*last) + " => OK",
                 "TAKEBACK " + text(*last) + " => ERROR bad coordinates",
                 "TAKEBACK " + text(opponent) + " => OK", "TAKEBACK 15,0 => ERROR bad coordinates",
                 "TAKEBACK -1,3 => ERROR bad coordinates", "TURN " + text(opponent)});
    board.play(*last, 0);
    ASSERT_TRUE(board.engineMove(engine));
    // RESTART empties the board and keeps its size.
    expectAnswers(engine, {"RESTART => OK", "BEGIN"});
    board = Referee(15, 15);
    last = board.engineMove(engine);
    if (last && board.legal(opponent)) {
        board.play(opponent, 2);
        engine.send("TURN " + text(opponent));
        board.engineMove(engine);
    }
    end();
}

TEST_F(ProtocolTest, FullBoardGetsAnErrorInsteadOfAMove) {
    expectAnswers(engine, {"START 5 => OK", "BOARD"});
    // Pairs alternating along rows, rows alternating: no five anywhere. (4,4) stays empty.
    for (int i = 0; i < 24; ++i)
        engine.send(text({i % 5, i / 5}) + "," + std::to_string(1 + (i % 5 / 2 + i / 5) % 2));
    // With no cell left no coordinate may go out, and the engine stays at the manager's service.
    expectAnswers(engine, {"DONE => 4,4", "BEGIN => ERROR no empty cell on the board",
                           "TAKEBACK 2,2 => OK", "BEGIN => 2,2", "END"});
    EXPECT_EQ(engine.waitForExit(), 0);
}

// A think of 30 s answers ABOUT, INFO and bad or unknown lines at once, while board commands wait
// for its move; an INFO time_left that leaves the minimum budget ends it at the next clock check.
TEST_F(ProtocolTest, ThinkAnswersAtOnceAndStopsOnAShrunkBudget) {
    expectAnswers(
        engine, {"INFO timeout_turn 30000", "INFO time_left 100000000", "START 20 => OK", "BOARD"});
    // A middle game with no forced win, so the main search runs to its budget.
    Referee board(20, 20);
    board.sendStones(engine, "9,9 10,9 12,12", 1);
    board.sendStones(engine, "10,10 11,11 8,9", 2);
    expectAnswers(engine, {"DONE", "ABOUT"});
    EXPECT_EQ(engine.answer().rfind("name=\"velka\", ", 0), 0u);
    expectAnswers(engine, {"UNKNOWNWORD => UNKNOWN UNKNOWNWORD",
                           "START => ERROR bad START parameter", "INFO time_left 1000"});
    const int64_t cut = nowMs();
    expectAnswers(engine, {"PLAY 0,0", "END"});
    board.engineMove(engine);
    EXPECT_LT(nowMs() - cut, 500 + lateness());
    EXPECT_EQ(engine.answer(), "0,0");
    EXPECT_EQ(engine.waitForExit(), 0);
}

// Whatever the state, the end of input (or END) ends the engine with status 0, after the answers
// that are due and nothing else.
TEST(EndOfInput, EndsCleanlyAfterTheDueAnswers) {
    for (const char* input : {"START 10\nEND\nABOUT\n", "START 10\n",
                              "START 10",  // the last line without its line end still counts
                              "START 10\nBOARD\n1,1,2\n", "START 10\nBEGIN\n"}) {
        SCOPED_TRACE(input);
        EngineProcess engine;
        engine.sendRaw(input);
        engine.closeInput();
        EXPECT_EQ(engine.answer(), "OK");
        Referee board(10, 10);
        if (std::strstr(input, "BEGIN") != nullptr) board.engineMove(engine);  // the think's move
        EXPECT_EQ(engine.waitForExit(), 0);
        EXPECT_EQ(engine.readLine(1000), std::nullopt);
    }
}

TEST(ConsoleStart, AConsoleUserIsToldToUseAManagerAndStillServed) {
    if (expectCrlf()) GTEST_SKIP() << "whether Wine shows a terminal as a console is Wine's affair";
    EngineProcess engine(true);
    ASSERT_TRUE(engine.running());
    EXPECT_EQ(engine.answer(),
              "MESSAGE Gomoku AI should not be started directly. Please install gomoku manager "
              "(https://sourceforge.net/projects/piskvork). Then enter path to this exe file in "
              "players settings.");
    expectAnswers(engine, {"START 10 => OK", "END"});
    EXPECT_EQ(engine.waitForExit(), 0);
}

}  // namespace
}  // namespace velka::testing
