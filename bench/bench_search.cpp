// The main search on fixed middle-game positions to a fixed depth: the total node count is the
// search's signature (it moves only when the search's behaviour changes), with time and nodes/s.
// With VELKA_BENCH_SEARCH_TIMED set in the environment it also reports the depth that the clocked
// search completes in 1 s and 5 s per position (about a minute).
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "bench.h"
#include "board/board.h"
#include "patterns/pattern_table.h"
#include "search/candidates.h"
#include "search/evaluation.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search/search_board.h"
#include "search/strong/strong_search.h"
#include "search/time_control.h"
#include "signature_positions.h"

namespace velka::bench {

namespace {

using patterns::RuleVariant;

using signature::Positions;
using signature::setUpPosition;
using signature::SignatureDepth;
using signature::StrongSignatureDepth;

struct Run {
    uint64_t nodes = 0;
    int32_t depth = 0;
    double ms = 0;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Every position searched by `think` (which returns the search's stats) from a wiped memory; the
// time is the median over repetitions of the search alone (the wipe before each is left out).
template <typename Think>
std::vector<Run> runPositions(int repetitions, Think think) {
    search::Player& player = benchPlayer();
    std::vector<Run> runs(Positions.size());
    for (size_t i = 0; i < Positions.size(); ++i) {
        setUpPosition(Positions[i], player.memory);
        std::vector<double> times;
        for (int r = 0; r < std::max(1, repetitions); ++r) {
            search::wipeMemory(player.memory);
            const auto start = std::chrono::steady_clock::now();
            const auto [nodes, depth] = think(player, Positions[i].variant);
            const auto stop = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
            runs[i].nodes = nodes;
            runs[i].depth = depth;
        }
        runs[i].ms = median(times);
    }
    return runs;
}

// The main search on every position to the signature depth.
std::vector<Run> fixedDepthRuns(int repetitions) {
    search::SearchLimits limits;
    limits.maxDepth = SignatureDepth;
    limits.useClock = false;
    return runPositions(repetitions, [&](search::Player& player, patterns::RuleVariant variant) {
        search::searchBestMove(player.main, player.memory, player.control, board::engineBoard,
                               variant, limits);
        return std::pair{player.main.stats.nodes, player.main.stats.completedDepth};
    });
}

// The strong search on every position to its signature depth: one thread, no clock, so the count
// is the same on every run and platform.
std::vector<Run> strongRuns(int repetitions) {
    search::SearchLimits limits;
    limits.maxDepth = StrongSignatureDepth;
    limits.useClock = false;
    search::strong::setStrongThreads(benchPlayer().strong, 1);
    return runPositions(repetitions, [&](search::Player& player, patterns::RuleVariant variant) {
        search::strong::strongBestMove(player.strong, player.memory, player.control,
                                       board::engineBoard, variant, limits);
        return std::pair{player.strong.stats.nodes, player.strong.stats.completedDepth};
    });
}

// The depth the clocked search completes with the given budget, per position.
std::vector<int32_t> depthsIn(int32_t budgetMs) {
    search::Player& player = benchPlayer();
    std::vector<int32_t> depths;
    for (const signature::Position& p : Positions) {
        setUpPosition(p, player.memory);
        player.control.clock.turnBudget.store(budgetMs);
        player.control.clock.turnStart.store(search::clockMs());
        search::searchBestMove(player.main, player.memory, player.control, board::engineBoard,
                               p.variant);
        depths.push_back(player.main.stats.completedDepth);
    }
    return depths;
}

// The innermost operations of a node, on the first 20 x 20 position, in nanoseconds per call,
// for each empty cell near the stones in turn: a stone placed and removed (the shapes kept
// current); the same with a scan for the best inner candidate between, and with the whole list of
// ten; and the evaluation of a last-ply move without placing it.
void microBench(int repetitions) {
    const signature::Position& p = Positions[6];
    setUpPosition(p, benchPlayer().memory);
    static search::SearchBoard sb;
    search::resetSearchBoard(sb, board::engineBoard, p.variant);
    std::vector<int32_t> cells;
    for (int32_t cell = 0; cell < sb.board.cellCount; ++cell) {
        if (sb.near[cell] > 0) cells.push_back(cell);
    }
    const search::ScanArea area{0, 0, sb.board.width - 1, sb.board.height - 1};
    constexpr int Passes = 200;
    int64_t sink = 0;
    const auto timePerCell = [&](auto&& body) {
        const double ms = medianMs(repetitions, [&] {
            for (int pass = 0; pass < Passes; ++pass) {
                for (int32_t cell : cells) body(cell, 1 + (pass & 1));
            }
        });
        return ms * 1e6 / (double{Passes} * static_cast<double>(cells.size()));
    };
    const double place = timePerCell([&](int32_t cell, int32_t colour) {
        search::placeStone(sb, cell, colour);
        search::removeStone(sb, cell);
    });
    const double first = timePerCell([&](int32_t cell, int32_t colour) {
        search::placeStone(sb, cell, colour);
        search::CandidateList list;
        sink += search::startCandidates(sb, area, colour ^ 3, list);
        search::removeStone(sb, cell);
    });
    const double all = timePerCell([&](int32_t cell, int32_t colour) {
        search::placeStone(sb, cell, colour);
        search::CandidateList list;
        search::startCandidates(sb, area, colour ^ 3, list);
        sink += search::candidateAt(sb, area, colour ^ 3, list, 1);
        search::removeStone(sb, cell);
    });
    const double leaf = timePerCell([&](int32_t cell, int32_t colour) {
        sink += search::staticEvaluation(search::totalsIfPlayed(sb, cell, colour), colour ^ 3);
    });
    if (sink == 42) report("", 0, "");  // keeps the calls from being optimised away
    report("search: place + remove a stone, 20x20", place, "ns");
    report("search: ... + best inner candidate, 20x20", first, "ns");
    report("search: ... + all inner candidates, 20x20", all, "ns");
    report("search: evaluation after a move, 20x20", leaf, "ns");
}

void prepareSearch() {
    patterns::buildPatternTables(RuleVariant::Freestyle);
    search::sizeMemoryWithWorkingSet(benchPlayer().memory, 0, 0);
}

double nodesPerSecond(const std::vector<Run>& runs) {
    uint64_t nodes = 0;
    double ms = 0;
    for (const Run& run : runs) {
        nodes += run.nodes;
        ms += run.ms;
    }
    return static_cast<double>(nodes) / ms * 1000.0;
}

// Each position's nodes, their sum (the signature), time and speed, under the search's name.
void reportRuns(const std::string& search, const std::vector<Run>& runs, int32_t depth) {
    uint64_t nodes = 0;
    double ms = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        report(search + ": nodes, " + Positions[i].name + " (depth " +
                   std::to_string(runs[i].depth) + ")",
               static_cast<double>(runs[i].nodes), "");
        nodes += runs[i].nodes;
        ms += runs[i].ms;
    }
    report(search + ": signature (nodes to depth " + std::to_string(depth) + ")",
           static_cast<double>(nodes), "nodes");
    report(search + ": time (sum of medians)", ms, "ms");
    report(search + ": speed", nodesPerSecond(runs) / 1e6, "Mnodes/s");
}

}  // namespace

double fixedPositionSpeed(int repetitions) {
    prepareSearch();
    return nodesPerSecond(fixedDepthRuns(repetitions));
}

void benchSearch(const BenchOptions& options) {
    prepareSearch();
    search::SearchMemory& memory = benchPlayer().memory;
    report("search: memory entries", static_cast<double>(memory.mask) + 1, "");

    microBench(options.repetitions);

    const std::vector<Run> runs = fixedDepthRuns(options.repetitions);
    reportRuns("search", runs, SignatureDepth);
    reportRuns("strong", strongRuns(options.repetitions), StrongSignatureDepth);

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
