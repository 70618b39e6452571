// The benchmark tool: fixed inputs, medians over repeated runs, and node-count signatures that
// change only when the engine's behaviour changes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "search/decide.h"

namespace velka::bench {

struct BenchOptions {
    int repetitions = 5;
    std::string enginePath;  // the pbrain-velka binary, for process-level figures
};

// velka-bench --game: games of the engine process against itself from balanced openings.
struct GameOptions {
    int openings = 8;  // the first ones of openingsFile
    int moveMs = 1000;
    int threads = 1;
    int moves = 14;  // thinks a game: two first moves by BOARD, then TURN
    // When not 0, every think stops at this depth (INFO max_depth) and the report gives the
    // median time it took to complete it.
    int depth = 0;
    std::string openingsFile = VELKA_GAME_OPENINGS;
};

// Runs fn `repetitions` times and returns the median wall time in milliseconds.
double medianMs(int repetitions, const std::function<void()>& fn);
void report(const std::string& name, double value, const std::string& unit);
// The player whose searches the sections time (one for the whole run: it is large).
search::Player& benchPlayer();

// One section per subsystem; each prints its own lines through report().
void benchTables(const BenchOptions& options);
void benchBoard(const BenchOptions& options);
void benchMemory(const BenchOptions& options);
void benchThreat(const BenchOptions& options);
void benchSearch(const BenchOptions& options);
void benchProcess(const BenchOptions& options);
void benchGame(const BenchOptions& options, const GameOptions& game);

// Nodes per second of the main search on the signature positions (the "search: speed" figure).
double fixedPositionSpeed(int repetitions);

}  // namespace velka::bench
