// A manager's view of the engine: pbrain-velka as a child process with pipes on its standard
// input and output, answer lines read with time limits, and a referee that judges its moves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "search/forbidden.h"

namespace velka::testing {

// VELKA_ENGINE from the environment (split at spaces, e.g. "wine pbrain-velka64.exe"), or the
// engine built with the tests. With VELKA_STRONG=1 (the suite's second run) the program with the
// strong search on: VELKA_STRONG_ENGINE, or pbrain-velka-strong built with the tests.
std::string engineCommand();
// The suite runs against the program with the strong search on (VELKA_STRONG=1): a test of what
// only the main search promises skips that part.
bool strongEngine();
// A Windows build writes CR LF line ends (VELKA_EXPECT_CRLF=1).
bool expectCrlf();
// Slack beyond the budget for a move to arrive; sanitizer builds (VELKA_SANITIZED=1) run slower.
int lateness();
int64_t nowMs();

class EngineProcess {
  public:
    // consoleInput: standard input is a pseudo-terminal, as when a person starts the engine.
    explicit EngineProcess(bool consoleInput = false);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool running();
    void send(const std::string& line) { sendRaw(line + "\n"); }
    void sendRaw(const std::string& bytes);
    // Milliseconds since the last write, to time the answer to it.
    int64_t sinceSend() const { return nowMs() - sentAt_; }
    // The next line without its line end (which must be the platform's); nullopt on time-out or
    // end of output.
    std::optional<std::string> readLine(int timeoutMs = 10000);
    // The next line; a missing one is a failure.
    std::string answer(int timeoutMs = 10000);
    void closeInput();
    // Exit status, or -1 when the engine did not exit in time (it is then killed).
    int waitForExit(int timeoutMs = 10000);
    // The engine's peak resident memory so far (Linux' VmHWM), or nullopt where it cannot be
    // read or would not be the engine's own: another engine command, or a sanitizer's shadow.
    std::optional<uint64_t> peakResidentBytes() const;

  private:
    int pid_ = -1;
    int toEngine_ = -1;
    int fromEngine_ = -1;
    int status_ = -2;
    int64_t sentAt_ = 0;
    std::string pending_;
};

// A transcript of steps "command => answer": the command is sent and must get exactly that answer
// ('\n' between several lines); a step without "=>" gets none.
inline void expectAnswers(EngineProcess& engine, const std::vector<std::string>& transcript) {
    for (const std::string& step : transcript) {
        const size_t arrow = step.find(" => ");
        engine.send(step.substr(0, arrow));
        std::istringstream lines(arrow == std::string::npos ? "" : step.substr(arrow + 4));
        for (std::string line; std::getline(lines, line);)
            EXPECT_EQ(engine.answer(), line) << "after: " << step.substr(0, 40);
    }
}

inline void endEngine(EngineProcess& engine) {
    engine.send("END");
    EXPECT_EQ(engine.waitForExit(), 0);
}

struct Move {
    int x;
    int y;
};

inline std::string text(Move m) {
    return std::to_string(m.x) + "," + std::to_string(m.y);
}

// "x,y" with two unsigned numbers and nothing else.
inline std::optional<Move> parseMove(const std::string& line) {
    Move m{-1, -1};
    char comma = 0;
    std::istringstream in(line);
    const bool digits = line.size() <= 9 && line.find_first_not_of("0123456789,") == line.npos;
    if (!digits || !(in >> m.x >> comma >> m.y) || comma != ',' || !in.eof()) return std::nullopt;
    return m;
}

// A middle game with no forced win for either side, on a 15 x 15 or larger board: the main search
// thinks until its budget is spent.
inline const std::string QuietOwn = "9,9 10,9 12,12 7,11";
inline const std::string QuietOpponent = "10,10 11,11 8,9 9,12";

// The test's own record of a game (1 the engine or the first player, black in Renju; 2 the other)
// under rule bits 0, 1 or 4.
class Referee {
  public:
    Referee(int width, int height, int rule = 0)
        : width_(width), height_(height), rule_(rule), cells_(width * height, 0) {
        if (rule_ != 4) return;
        // The stones are mirrored on the engine library's board to ask its forbidden-point test.
        patterns::buildPatternTables(patterns::RuleVariant::Renju);
        board::initBoard(width, height);
        board::buildWindowOffsets(width);
        board::engineBoard.firstPlayer = 1;
    }

    bool onBoard(Move m) const { return m.x >= 0 && m.y >= 0 && m.x < width_ && m.y < height_; }
    int at(Move m) const { return cells_[m.x + m.y * width_]; }
    bool legal(Move m) const { return onBoard(m) && at(m) == 0; }
    bool full() const { return stones_ == width_ * height_; }
    // who 0 takes the stone back.
    void play(Move m, int who) {
        stones_ += who != 0 ? 1 : -1;
        cells_[m.x + m.y * width_] = who;
        if (rule_ == 4) board::setCell(board::cellIndex(m.x, m.y), who);
    }

    // Whether the stone on m makes five for its owner: exactly five in exact five and for Renju
    // black, five or more otherwise.
    bool wins(Move m) const {
        const int who = at(m);
        const bool exact = rule_ == 1 || (rule_ == 4 && who == 1);
        for (const Move step : {Move{1, 0}, Move{0, 1}, Move{1, 1}, Move{-1, 1}}) {
            int run = 1;
            for (const int sign : {1, -1}) {
                Move c{m.x + sign * step.x, m.y + sign * step.y};
                for (; onBoard(c) && at(c) == who; c = {c.x + sign * step.x, c.y + sign * step.y})
                    ++run;
            }
            if (exact ? run == 5 : run >= 5) return true;
        }
        return false;
    }

    // Sends a BOARD block of the stones "x,y x,y ...": `own` the engine's, `opponent` the other
    // side's; and records them.
    void sendBoard(EngineProcess& engine, const std::string& own, const std::string& opponent) {
        engine.send("BOARD");
        for (const int who : {1, 2}) {
            std::istringstream list(who == 1 ? own : opponent);
            for (std::string cell; list >> cell;) {
                play(parseMove(cell).value(), who);
                engine.send(cell + "," + std::to_string(who));
            }
        }
        engine.send("DONE");
    }

    // Reads the engine's answer, which must be a legal move here and, for Renju black, no
    // forbidden point; and records it for `who`.
    std::optional<Move> engineMove(EngineProcess& engine, int who = 1, int timeoutMs = 10000) {
        const std::string line = engine.answer(timeoutMs);
        const std::optional<Move> m = parseMove(line);
        if (!m || !legal(*m) ||
            (rule_ == 4 && who == 1 &&
             search::forbiddenIfPlayed(board::engineBoard, board::cellIndex(m->x, m->y), 1))) {
            ADD_FAILURE() << "expected a legal move on the " << width_ << "x" << height_
                          << " board, got: " << line;
            return std::nullopt;
        }
        play(*m, who);
        return m;
    }

  private:
    int width_;
    int height_;
    int rule_;
    std::vector<int> cells_;
    int stones_ = 0;
};

}  // namespace velka::testing
