// The main search on fixed middle-game positions to a fixed depth: the total node count is the
// search's signature (it moves only when the search's behaviour changes), with time and nodes/s.
// With VELKA_BENCH_SEARCH_TIMED set in the environment it also reports the depth that the clocked
// search completes in 1 s and 5 s per position (about a minute).
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench.h"
#include "board/board.h"
#include "board/random.h"
#include "patterns/pattern_table.h"
#include "search/candidates.h"
#include "search/evaluation.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search/time_control.h"

namespace velka::bench {

namespace {

using patterns::RuleVariant;

struct BenchPosition {
    const char* name;
    int32_t side;
    RuleVariant variant;
    // The game so far, "x,y" from the first stone; the engine is the side to move.
    const char* moves;
};

// Positions from short games of the engine against itself (four random stones near the centre,
// then depth-4 searches), taken where neither side has a forced reply. An even number of stones
// puts the engine on black (Renju), an odd number on white.
constexpr std::array<BenchPosition, 10> Positions = {{
    {"15 freestyle a", 15, RuleVariant::Freestyle,
     "6,8 7,7 5,5 6,9 7,9 5,7 6,7 5,8 5,10 7,10 4,7 6,6 7,5 6,5 6,4 10,10 4,6 7,3"},
    {"15 freestyle b", 15, RuleVariant::Freestyle,
     "6,6 6,7 5,7 7,6 7,5 4,8 5,8 5,6 4,5 6,5 4,7 8,7 5,4 3,6 4,4 4,6 3,4 2,4 4,3"},
    {"15 exact five a", 15, RuleVariant::ExactFive,
     "9,6 6,9 7,7 7,6 9,5 9,7 8,6 6,8 6,7 6,10 8,8 8,7 9,9 6,6 6,12 8,10 10,6 5,10 7,10 7,9"},
    {"15 exact five b", 15, RuleVariant::ExactFive,
     "6,6 6,7 5,7 7,6 7,5 4,8 5,8 5,6 4,5 6,5 4,7 8,7 5,4 3,6 4,4 4,6 3,4 2,4 4,3 7,4 2,5 1,6 "
     "2,6 3,5 6,3"},
    {"15 renju black", 15, RuleVariant::Renju,
     "9,6 6,9 7,7 7,6 9,5 9,7 8,6 6,8 6,7 6,10 8,8 8,7 9,9 6,6 6,12 8,10 10,6 5,10 11,11 10,10"},
    {"15 renju white", 15, RuleVariant::Renju,
     "6,6 6,7 5,7 7,6 7,5 4,8 5,8 5,6 4,5 6,5 4,7 8,7 5,4 8,4 6,9 3,6 4,6 8,3 8,5 7,4 9,2 9,4 "
     "10,4 10,5 7,2"},
    {"20 freestyle", 20, RuleVariant::Freestyle,
     "11,11 9,12 10,9 9,8 9,9 8,8 11,9 8,9 11,10 11,8 10,8 10,7 12,9 13,9 7,10 8,10 8,11 8,6 8,7 "
     "11,6 12,5 10,6 9,6 9,7 11,5 11,7"},
    {"20 exact five", 20, RuleVariant::ExactFive,
     "8,10 9,9 11,10 10,12 8,9 8,8 10,10 9,10 9,8 10,7 8,12 9,11 9,13 8,11 7,11 10,14 10,9 8,7 "
     "7,10 7,7 9,7"},
    {"20 renju black", 20, RuleVariant::Renju,
     "9,9 9,10 8,10 10,9 10,8 7,11 8,11 8,9 7,8 9,8 7,10 11,10 8,7 11,7 9,12 6,9 7,9 11,6 11,8 "
     "10,7 12,5 12,7 13,7 13,8"},
    {"20 renju white", 20, RuleVariant::Renju,
     "11,11 9,12 10,9 9,8 9,9 8,8 11,9 8,9 11,10 11,8 10,8 10,7 12,9 13,9 7,10 8,10 8,11 8,5 "
     "11,13 11,12 8,6 9,7 10,11 9,11 10,12 10,10 12,11"},
}};

constexpr int32_t SignatureDepth = 9;

std::vector<int32_t> parseMoves(const BenchPosition& p) {
    std::vector<int32_t> cells;
    std::istringstream in(p.moves);
    std::string pair;
    while (in >> pair) {
        const size_t comma = pair.find(',');
        const int32_t x = std::stoi(pair.substr(0, comma));
        const int32_t y = std::stoi(pair.substr(comma + 1));
        cells.push_back(x + y * p.side);
    }
    return cells;
}

// The board as a turn finds it: fixed keys, the stones, the census, a wiped memory.
void setUpPosition(const BenchPosition& p) {
    // Built afresh, so that the section does not depend on what ran before it.
    patterns::buildPatternTables(p.variant);
    board::seedRandom(board::DefaultRandomSeed);
    board::initBoard(p.side, p.side);
    board::buildWindowOffsets(p.side);
    const std::vector<int32_t> moves = parseMoves(p);
    const size_t n = moves.size();
    for (size_t i = 0; i < n; ++i) {
        board::setCell(moves[i], (n - i) % 2 == 0 ? board::CellOwn : board::CellOpponent);
    }
    board::takeCensus(board::CellOwn);
    search::wipeMemory();
}

struct Run {
    uint64_t nodes = 0;
    int32_t depth = 0;
    double ms = 0;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Every position searched to the signature depth; the time is the median over repetitions of
// the search alone (the memory wipe before each is left out).
std::vector<Run> fixedDepthRuns(int repetitions) {
    search::SearchLimits limits;
    limits.maxDepth = SignatureDepth;
    limits.useClock = false;
    std::vector<Run> runs(Positions.size());
    for (size_t i = 0; i < Positions.size(); ++i) {
        setUpPosition(Positions[i]);
        std::vector<double> times;
        for (int r = 0; r < std::max(1, repetitions); ++r) {
            search::wipeMemory();
            const auto start = std::chrono::steady_clock::now();
            search::searchBestMove(Positions[i].variant, limits);
            const auto stop = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
            runs[i].nodes = search::lastSearchStats().nodes;
            runs[i].depth = search::lastSearchStats().completedDepth;
        }
        runs[i].ms = median(times);
    }
    return runs;
}

// The depth the clocked search completes with the given budget, per position.
std::vector<int32_t> depthsIn(int32_t budgetMs) {
    std::vector<int32_t> depths;
    for (const BenchPosition& p : Positions) {
        setUpPosition(p);
        search::turnBudget.store(budgetMs);
        search::turnStart.store(search::clockMs());
        search::searchBestMove(p.variant);
        depths.push_back(search::lastSearchStats().completedDepth);
    }
    return depths;
}

// The two innermost operations, on the first 20 x 20 position: one whole-board evaluation and
// one inner candidate scan, in nanoseconds per call.
void microBench(int repetitions) {
    const BenchPosition& p = Positions[6];
    setUpPosition(p);
    constexpr int Calls = 20000;
    int64_t sink = 0;
    const double evalMs = medianMs(repetitions, [&] {
        for (int i = 0; i < Calls; ++i) sink += search::staticEvaluation(p.variant, 1 + (i & 1));
    });
    std::array<int32_t, search::InnerCandidateCapacity> out;
    const double candMs = medianMs(repetitions, [&] {
        for (int i = 0; i < Calls; ++i) {
            sink += search::generateCandidates(search::CandidateRules::Freestyle,
                                               search::CandidateMode::Inner, 1 + (i & 1),
                                               out.data(), search::InnerCandidateCapacity);
        }
    });
    if (sink == 42) report("", 0, "");  // keeps the calls from being optimised away
    report("search: evaluation of a 20x20 position", evalMs * 1e6 / Calls, "ns");
    report("search: inner candidates of a 20x20 position", candMs * 1e6 / Calls, "ns");
}

}  // namespace

void benchSearch(const BenchOptions& options) {
    // The table size is part of the signature: 2^24 entries, the engine's default.
    search::sizeMemoryWithWorkingSet(0, 0);
    report("search: memory entries", static_cast<double>(search::searchMemory.mask) + 1, "");

    microBench(options.repetitions);

    const std::vector<Run> runs = fixedDepthRuns(options.repetitions);
    uint64_t nodes = 0;
    double ms = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        report(std::string("search: nodes, ") + Positions[i].name + " (depth " +
                   std::to_string(runs[i].depth) + ")",
               static_cast<double>(runs[i].nodes), "");
        nodes += runs[i].nodes;
        ms += runs[i].ms;
    }
    report("search: signature (nodes to depth " + std::to_string(SignatureDepth) + ")",
           static_cast<double>(nodes), "nodes");
    report("search: time (sum of medians)", ms, "ms");
    report("search: speed", nodes / ms / 1000.0, "Mnodes/s");

    if (std::getenv("VELKA_BENCH_SEARCH_TIMED") == nullptr) return;
    for (int32_t budget : {1000, 5000}) {
        const std::vector<int32_t> depths = depthsIn(budget);
        std::vector<double> asDouble(depths.begin(), depths.end());
        std::string all;
        for (int32_t d : depths) all += std::to_string(d) + " ";
        report("search: depth in " + std::to_string(budget) + " ms, median (" + all + ")",
               median(asDouble), "plies");
    }
}

}  // namespace velka::bench
