// velka-bench --game: the search's speed in real games, next to its speed on the fixed positions.
// Each game is played by two fresh engine processes driven as a manager drives them: START 15,
// the INFO lines a manager sends (the default max_memory, so none), INFO analysis 1; a balanced
// opening by BOARD to the side to move, BOARD with the opening and that move to the other engine,
// then TURN by turn. Every think is thus a request a manager sends; its last analysis line gives
// the completed depth and the nodes per second. The two first thinks, each its engine's first
// move after START, are reported apart: they carry the search table's first use. With --depth D
// every think stops at depth D, and the report gives the median time to complete it instead.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench.h"
#include "harness.h"

namespace velka::bench {

using harness::EngineProcess;

namespace {

constexpr int BoardSide = 15;
constexpr int FirstThinks = 2;  // one per engine
constexpr int ExitTimeoutMs = 10000;
// Beyond its time a move may take this long before the game is given up.
constexpr int MoveSlackMs = 10000;

struct Cell {
    int x;
    int y;
};

// A think's last "MESSAGE depth D score S nodes N nps R time T pv ..." line.
struct Think {
    int depth = -1;
    double nodesPerSecond = -1;
    int timeMs = -1;
};

// "h8i9j10": a column letter from a, a row from 1 at the bottom; nullopt when unreadable.
std::optional<std::vector<Cell>> parseOpening(const std::string& text) {
    std::vector<Cell> cells;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ' || text[i] == '\r') {
            ++i;
            continue;
        }
        const int x = text[i] - 'a';
        int row = 0;
        size_t digits = i + 1;
        for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits)
            row = row * 10 + (text[digits] - '0');
        if (x < 0 || x >= BoardSide || row < 1 || row > BoardSide || digits == i + 1)
            return std::nullopt;
        cells.push_back({x, BoardSide - row});
        i = digits;
    }
    return cells;
}

std::vector<std::vector<Cell>> readOpenings(const std::string& path, int count) {
    std::vector<std::vector<Cell>> openings;
    std::ifstream file(path);
    for (std::string line; static_cast<int>(openings.size()) < count && std::getline(file, line);) {
        const std::optional<std::vector<Cell>> opening = parseOpening(line);
        if (opening && !opening->empty()) openings.push_back(*opening);
    }
    return openings;
}

std::string text(Cell c) {
    return std::to_string(c.x) + "," + std::to_string(c.y);
}

std::optional<Think> parseAnalysis(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word != "MESSAGE" || !(words >> word) || word != "depth") return std::nullopt;
    Think think;
    words >> think.depth;
    while (words >> word) {
        if (word == "nps") words >> think.nodesPerSecond;
        if (word == "time") words >> think.timeMs;
    }
    if (think.depth < 0 || think.nodesPerSecond < 0) return std::nullopt;
    return think;
}

// Reads one think's lines up to its move: the move and the last analysis line, if any.
std::optional<Cell> readMove(EngineProcess& engine, int timeoutMs, std::optional<Think>& think) {
    think.reset();
    for (;;) {
        const std::optional<std::string> line = engine.readLine(timeoutMs);
        if (!line) return std::nullopt;
        if (line->rfind("MESSAGE", 0) == 0) {
            if (const std::optional<Think> t = parseAnalysis(*line)) think = t;
            continue;
        }
        Cell c{-1, -1};
        char comma = 0;
        std::istringstream move(*line);
        if (!(move >> c.x >> comma >> c.y) || comma != ',') return std::nullopt;
        return c;
    }
}

bool startGame(EngineProcess& engine, const GameOptions& game) {
    if (!engine.started() || !engine.sendLine("START " + std::to_string(BoardSide))) return false;
    std::optional<std::string> answer;
    do answer = engine.readLine(MoveSlackMs);
    while (answer && answer->rfind("MESSAGE", 0) == 0);
    if (answer != "OK") return false;
    for (const std::string& info :
         {"timeout_turn " + std::to_string(game.moveMs), std::string("timeout_match 0"),
          std::string("time_left 2147483647"), std::string("rule 0")}) {
        if (!engine.sendLine("INFO " + info)) return false;
    }
    // A manager that knows nothing of threads sends no thread_num.
    if (game.threads != 1 && !engine.sendLine("INFO thread_num " + std::to_string(game.threads)))
        return false;
    if (game.depth != 0 && !engine.sendLine("INFO max_depth " + std::to_string(game.depth)))
        return false;
    return engine.sendLine("INFO analysis 1");
}

// The position as a BOARD block for the side to move.
bool sendBoard(EngineProcess& engine, const std::vector<Cell>& moves) {
    bool sent = engine.sendLine("BOARD");
    const size_t toMove = moves.size() % 2;
    for (size_t i = 0; i < moves.size(); ++i)
        sent = sent && engine.sendLine(text(moves[i]) + (i % 2 == toMove ? ",1" : ",2"));
    return sent && engine.sendLine("DONE");
}

bool makesFive(const std::vector<Cell>& moves) {
    const Cell last = moves.back();
    const auto own = [&](int x, int y) {
        for (size_t i = moves.size() % 2 == 1 ? 0 : 1; i < moves.size(); i += 2) {
            if (moves[i].x == x && moves[i].y == y) return true;
        }
        return false;
    };
    for (const Cell step : {Cell{1, 0}, Cell{0, 1}, Cell{1, 1}, Cell{1, -1}}) {
        int run = 1;
        for (const int sign : {1, -1}) {
            for (int k = 1; own(last.x + sign * k * step.x, last.y + sign * k * step.y); ++k) ++run;
        }
        if (run >= 5) return true;
    }
    return false;
}

// One game from the opening; thinks[k] gets the k-th think's figures. False when an engine could
// not be driven.
bool playGame(const std::string& path, const GameOptions& game, std::vector<Cell> moves,
              std::vector<std::vector<Think>>& thinks) {
    EngineProcess engines[2] = {EngineProcess({path}), EngineProcess({path})};
    for (EngineProcess& engine : engines) {
        if (!startGame(engine, game)) return false;
    }
    for (int k = 0; k < game.moves; ++k) {
        EngineProcess& engine = engines[k % 2];
        const bool asked = k < FirstThinks ? sendBoard(engine, moves)
                                           : engine.sendLine("TURN " + text(moves.back()));
        std::optional<Think> think;
        const std::optional<Cell> move =
            asked ? readMove(engine, game.moveMs + MoveSlackMs, think) : std::nullopt;
        if (!move) return false;
        if (think) thinks[k].push_back(*think);
        moves.push_back(*move);
        if (makesFive(moves)) break;
    }
    bool clean = true;
    for (EngineProcess& engine : engines) {
        engine.sendLine("END");
        engine.closeInput();
        clean = engine.waitForExit(ExitTimeoutMs) == 0 && clean;
    }
    return clean;
}

template <typename T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median time of the thinks that completed the depth, as one report line.
void reportTimeToDepth(const std::string& name, const std::vector<Think>& thinks, int depth) {
    std::vector<int> times;
    for (const Think& t : thinks) {
        if (t.depth == depth) times.push_back(t.timeMs);
    }
    if (times.empty()) return;
    report(name + " (" + std::to_string(times.size()) + " thinks)", median(times), "ms");
}

// Median nodes/s and completed depth of some thinks, as one report line.
double reportThinks(const std::string& name, const std::vector<Think>& thinks) {
    if (thinks.empty()) return -1;
    std::vector<double> speeds;
    std::vector<int> depths;
    for (const Think& t : thinks) {
        speeds.push_back(t.nodesPerSecond);
        depths.push_back(t.depth);
    }
    const double speed = median(speeds);
    report(name + ", depth " + std::to_string(median(depths)) + " (" +
               std::to_string(thinks.size()) + " thinks)",
           speed, "nodes/s");
    return speed;
}

}  // namespace

void benchGame(const BenchOptions& options, const GameOptions& game) {
    const std::string path =
        options.enginePath.empty() ? harness::engineBesideThisProgram() : options.enginePath;
    if (!harness::fileExists(path)) {
        std::fprintf(stderr, "engine not found at %s\n", path.c_str());
        return;
    }
    const std::vector<std::vector<Cell>> openings = readOpenings(game.openingsFile, game.openings);
    if (openings.empty()) {
        std::fprintf(stderr, "no opening read from %s\n", game.openingsFile.c_str());
        return;
    }
    std::printf("game: %zu openings, %d ms a move, %d thread(s), %d moves a game, medians\n",
                openings.size(), game.moveMs, game.threads, game.moves);
    if (game.depth != 0) std::printf("game: every think stops at depth %d\n", game.depth);
    std::vector<std::vector<Think>> thinks(static_cast<size_t>(std::max(game.moves, 0)));
    for (const std::vector<Cell>& opening : openings) {
        if (!playGame(path, game, opening, thinks))
            std::fprintf(stderr, "a game could not be played to its end\n");
    }
    std::vector<Think> first, later;
    for (size_t k = 0; k < thinks.size(); ++k) {
        std::vector<Think>& group = k < FirstThinks ? first : later;
        group.insert(group.end(), thinks[k].begin(), thinks[k].end());
    }
    if (game.depth != 0) {
        const std::string name = "game: time to depth " + std::to_string(game.depth);
        reportTimeToDepth(name + ", first move", first, game.depth);
        reportTimeToDepth(name + ", later moves", later, game.depth);
        return;
    }
    reportThinks("game: first move after START", first);
    for (size_t k = FirstThinks; k < thinks.size(); ++k)
        reportThinks("game: move " + std::to_string(k + 1), thinks[k]);
    const double inGames = reportThinks("game: every move after the first", later);
    const double fixed = fixedPositionSpeed(options.repetitions);
    report("game: fixed positions (search: speed)", fixed, "nodes/s");
    if (inGames > 0) report("game: moves after the first / fixed positions", inGames / fixed, "");
}

}  // namespace velka::bench
