// A manager's view of the engine: pbrain-velka as a child process with pipes on its standard
// input and output, answer lines read with time limits, and a referee that judges its moves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

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
using harness::nowMs;

// The engine of engineCommand(), with the tests' expectations on what it writes.
class EngineProcess {
  public:
    // consoleInput: standard input is a pseudo-terminal, as when a person starts the engine.
    explicit EngineProcess(bool consoleInput = false)
        : process_(harness::splitCommand(engineCommand()), consoleInput) {}

    bool running() { return process_.running(); }
    // The tests run on Linux and write LF line ends, also to a Windows engine under Wine.
    void send(const std::string& line) { sendRaw(line + "\n"); }
    void sendRaw(const std::string& bytes) { process_.sendRaw(bytes); }
    // Milliseconds since the last write, to time the answer to it.
    int64_t sinceSend() const { return process_.sinceSendMs(); }
    // The next line without its line end (which must be the platform's); nullopt on time-out or
    // end of output.
    std::optional<std::string> readLine(int timeoutMs = 10000) {
        std::optional<std::string> line = process_.readLine(timeoutMs);
        if (line) {
            EXPECT_EQ(process_.lastLineCrlf(), expectCrlf()) << "line end of: " << *line;
        }
        return line;
    }
    // The next line; a missing one is a failure.
    std::string answer(int timeoutMs = 10000) {
        const std::optional<std::string> line = readLine(timeoutMs);
        if (!line) ADD_FAILURE() << "no answer within " << timeoutMs << " ms";
        return line.value_or("<no answer>");
    }
    void closeInput() { process_.closeInput(); }
    // Exit status, or -1 when the engine did not exit in time (it is then killed).
    int waitForExit(int timeoutMs = 10000) { return process_.waitForExit(timeoutMs); }
    // The engine's peak resident memory so far (Linux' VmHWM), or nullopt where it cannot be
    // read or would not be the engine's own: another engine command, or a sanitizer's shadow.
    std::optional<uint64_t> peakResidentBytes() const;

  private:
    harness::EngineProcess process_;
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

// Whether a black stone on `m` of a Renju board (`cells`: 0 empty, 1 black, 2 white, x + y *
// width) stands on a forbidden point. Judged from the reference build of the pattern tables, not
// the engine's, and its own walk over the threes' key cells, so that a fault in the engine's
// forbidden-point test cannot pass. The stone must be on the board; `cells` is restored.
bool renjuForbidden(std::vector<int>& cells, int width, int height, Move m);

// The test's own record of a game (1 the engine or the first player, black in Renju; 2 the other)
// under rule bits 0, 1 or 4.
class Referee {
  public:
    Referee(int width, int height, int rule = 0)
        : width_(width), height_(height), rule_(rule), cells_(width * height, 0) {}

    bool onBoard(Move m) const { return m.x >= 0 && m.y >= 0 && m.x < width_ && m.y < height_; }
    int at(Move m) const { return cells_[m.x + m.y * width_]; }
    bool legal(Move m) const { return onBoard(m) && at(m) == 0; }
    bool full() const { return stones_ == width_ * height_; }
    // who 0 takes the stone back.
    void play(Move m, int who) {
        stones_ += who != 0 ? 1 : -1;
        cells_[m.x + m.y * width_] = who;
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

    // Whether black may not play the empty cell m under Renju.
    bool forbiddenForBlack(Move m) {
        play(m, 1);
        const bool forbidden = renjuForbidden(cells_, width_, height_, m);
        play(m, 0);
        return forbidden;
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
        if (!m || !legal(*m) || (rule_ == 4 && who == 1 && forbiddenForBlack(*m))) {
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
