// threatMove on fixed positions, timed alone: the memory wipe that precedes it in a move decision
// is left out of the figure. Each position also prints its answer and the length of the winning
// line, so that a change in behaviour shows up next to the times.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "bench.h"
#include "board/board.h"
#include "board/random.h"
#include "patterns/pattern_table.h"
#include "search/memory.h"
#include "search/threat.h"
#include "search/time_control.h"

namespace velka::bench {

namespace {

using search::ThreatSearchKind;

void setUpBoard(int32_t side) {
    board::seedRandom(board::DefaultRandomSeed);
    board::initBoard(side, side);
    board::buildWindowOffsets(side);
}

void put(int32_t x, int32_t y, int32_t code) {
    board::setCell(board::cellIndex(x, y), code);
}

// 'oxxx..': a three blocked on one side; its fours die after one block.
void putBlockedThree(int32_t g, int32_t y) {
    put(g, y, board::CellOpponent);
    for (int32_t x = g + 1; x <= g + 3; ++x) put(x, y, board::CellOwn);
}

// Six blocked threes, seven columns and three rows apart, and nothing else that wins: every
// order of their fours is tried (the marks catch the transpositions).
void putSixDeadThrees() {
    for (int32_t y = 0; y <= 6; y += 3) {
        putBlockedThree(0, y);
        putBlockedThree(7, y);
    }
}

// The blocked threes of every third row of an 80 x 80 board, then an open three: a line of 288
// fours, the deepest this bench goes.
void putLongLine() {
    for (int32_t y = 0; y <= 75; y += 3) {
        for (int32_t g = 0; g + 7 <= 80; g += 7) putBlockedThree(g, y);
    }
    for (int32_t x = 74; x <= 76; ++x) put(x, 78, board::CellOwn);
}

// Stones of both colours dropped at random (fixed seed) on the middle of the board, alternating,
// as a stand-in for a crowded middle game.
void putRandomMiddleGame(int32_t side, int32_t stones) {
    const int32_t span = side / 2;
    const int32_t origin = (side - span) / 2;
    for (int32_t placed = 0; placed < stones;) {
        const int32_t x = origin + static_cast<int32_t>(board::nextRandom() % span);
        const int32_t y = origin + static_cast<int32_t>(board::nextRandom() % span);
        if (board::engineBoard.cells[board::cellIndex(x, y)] != board::CellEmpty) continue;
        put(x, y, placed % 2 == 0 ? board::CellOwn : board::CellOpponent);
        ++placed;
    }
}

// Median over the repetitions of the mean time of `calls` searches, in milliseconds; the memory
// is wiped before each search, outside the timing.
double medianSearchMs(int repetitions, int calls, ThreatSearchKind kind, int32_t& move) {
    search::Player& player = benchPlayer();
    std::vector<double> means;
    for (int r = 0; r < std::max(1, repetitions); ++r) {
        double total = 0;
        for (int c = 0; c < calls; ++c) {
            search::wipeMemory(player.memory);
            // A fresh clock with the default limits, so that no search here gives up on time.
            search::startTurnClock(player.control.clock, {}, search::clockMs(),
                                   board::engineBoard.emptyCount);
            const auto start = std::chrono::steady_clock::now();
            move = search::threatMove(player.threats, board::engineBoard, player.memory,
                                      player.control, kind);
            const auto stop = std::chrono::steady_clock::now();
            total += std::chrono::duration<double, std::milli>(stop - start).count();
        }
        means.push_back(total / calls);
    }
    std::sort(means.begin(), means.end());
    return means[means.size() / 2];
}

void measure(const BenchOptions& options, const std::string& name, int calls,
             ThreatSearchKind kind) {
    board::takeCensus(board::CellOwn);
    int32_t move = board::NoCell;
    const double ms = medianSearchMs(options.repetitions, calls, kind, move);
    report("threatMove " + name, ms * 1000, "us");
    report("threatMove " + name + ": move", move, "cell");
    const search::ThreatSearch& threats = benchPlayer().threats;
    const int32_t depth = move == board::NoCell ? 0 : threats.stack.count;
    report("threatMove " + name + ": line", depth, "cells");
    if (threats.stats.gaveUp) report("threatMove " + name + ": gave up on time", 1, "");
}

}  // namespace

void benchThreat(const BenchOptions& options) {
    patterns::buildPatternTables(patterns::RuleVariant::Renju);
    search::sizeMemoryWithWorkingSet(benchPlayer().memory, 16u << 20, 0);

    // The line of three: one dead four, then the open four.
    setUpBoard(15);
    for (int32_t x = 5; x <= 7; ++x) put(x, 7, board::CellOwn);
    measure(options, "15x15 line of three (win)", 200, ThreatSearchKind::Freestyle);

    // Black must block on its double-three point.
    setUpBoard(15);
    put(8, 8, board::CellOwn);
    put(9, 9, board::CellOwn);
    put(10, 10, board::CellOwn);
    for (const auto& [x, y] : {std::pair{5, 7}, {6, 7}, {7, 5}, {7, 6}, {6, 6}, {12, 12}}) {
        put(x, y, board::CellOpponent);
    }
    measure(options, "15x15 Renju white (win)", 200, ThreatSearchKind::RenjuWhite);

    setUpBoard(20);
    putRandomMiddleGame(20, 24);
    measure(options, "20x20 24 random stones (no win)", 50, ThreatSearchKind::Freestyle);

    setUpBoard(20);
    putRandomMiddleGame(20, 36);
    measure(options, "20x20 36 random stones (win)", 50, ThreatSearchKind::Freestyle);

    setUpBoard(20);
    putSixDeadThrees();
    measure(options, "20x20 six dead fours (no win)", 5, ThreatSearchKind::Freestyle);

    setUpBoard(80);
    putSixDeadThrees();
    measure(options, "80x80 six dead fours (no win)", 1, ThreatSearchKind::Freestyle);

    setUpBoard(80);
    putLongLine();
    measure(options, "80x80 line of 288 fours (win)", 1, ThreatSearchKind::Freestyle);

    search::releaseMemory(benchPlayer().memory);
}

}  // namespace velka::bench
