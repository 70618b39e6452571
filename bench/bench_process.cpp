// The engine as a manager sees it: how long from starting the process until it answers ABOUT
// (start-up builds the pattern tables first); how much memory it holds once a board is set up
// with the default max_memory and after its first move; how long a move takes beyond its search
// (a one-ply search of a middle game: census, memory, threat search, the search's set-up and the
// answer); and the peak memory of two search threads through a few moves of a second each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench.h"
#include "harness.h"

namespace velka::bench {

using harness::EngineProcess;

namespace {

constexpr int AnswerTimeoutMs = 60000;
constexpr int ExitTimeoutMs = 10000;
constexpr double BytesPerMiB = 1024.0 * 1024.0;

// The next line that is not a MESSAGE notice.
std::optional<std::string> readAnswer(EngineProcess& engine) {
    std::optional<std::string> line;
    do line = engine.readLine(AnswerTimeoutMs);
    while (line && line->rfind("MESSAGE", 0) == 0);
    return line;
}

std::string findEngine(const BenchOptions& options) {
    if (!options.enginePath.empty()) return options.enginePath;
    return harness::engineBesideThisProgram();
}

// Sends END and closes the engine's input; false unless it exits with status 0 in time.
bool finish(EngineProcess& engine) {
    engine.sendLine("END");
    engine.closeInput();
    return engine.waitForExit(ExitTimeoutMs) == 0;
}

double peakMiB(const EngineProcess& engine) {
    const std::optional<harness::ResidentMemory> memory = engine.resident();
    return memory ? static_cast<double>(memory->peakBytes) / BytesPerMiB : -1;
}

double currentMiB(const EngineProcess& engine) {
    const std::optional<harness::ResidentMemory> memory = engine.resident();
    return memory ? static_cast<double>(memory->currentBytes) / BytesPerMiB : -1;
}

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A quiet middle game on 20 x 20 (no forced win for either side), as a BOARD block.
bool sendQuietPosition(EngineProcess& engine) {
    for (const char* line : {"BOARD", "9,9,1", "10,9,1", "12,12,1", "7,11,1", "10,10,2", "11,11,2",
                             "8,9,2", "9,12,2", "DONE"}) {
        if (!engine.sendLine(line)) return false;
    }
    return true;
}

// Milliseconds from the request of each move to its answer, one-ply searches.
std::vector<double> oneplyMoves(EngineProcess& engine, int moves) {
    std::vector<double> times;
    if (!engine.sendLine("INFO max_depth 1")) return times;
    for (int i = 0; i < moves; ++i) {
        const auto asked = std::chrono::steady_clock::now();
        if (!sendQuietPosition(engine) || !readAnswer(engine)) break;
        const auto answered = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(answered - asked).count());
    }
    return times;
}

// The peak resident set of an engine with two search threads and the default max_memory after
// the quiet position and five more moves of a second each; -1 when it could not be driven.
double twoThreadPeak(const std::string& path) {
    EngineProcess engine({path});
    for (const char* line : {"INFO thread_num 2", "INFO timeout_turn 1000", "START 20"}) {
        if (!engine.started() || !engine.sendLine(line)) return -1;
    }
    if (readAnswer(engine) != "OK" || !sendQuietPosition(engine) || !readAnswer(engine)) return -1;
    for (const char* reply : {"3,3", "16,16", "3,16", "16,3", "4,4"}) {
        if (!engine.sendLine(std::string("TURN ") + reply) || !readAnswer(engine)) return -1;
    }
    const double peak = peakMiB(engine);
    finish(engine);
    return peak;
}

}  // namespace

void benchProcess(const BenchOptions& options) {
    const std::string path = findEngine(options);
    if (!harness::fileExists(path)) {
        std::fprintf(stderr, "engine not found at %s; process figures skipped\n", path.c_str());
        return;
    }
    std::vector<double> startUp, peakAfterStart, rssAfterStart, peakAfterMove, rssAfterMove,
        overhead;
    for (int rep = 0; rep < std::max(1, options.repetitions); ++rep) {
        const auto spawned = std::chrono::steady_clock::now();
        EngineProcess engine({path});
        if (!engine.started() || !engine.sendLine("ABOUT")) break;
        const std::optional<std::string> about = readAnswer(engine);
        const auto answered = std::chrono::steady_clock::now();
        if (!about || about->rfind("name=", 0) != 0) {
            std::fprintf(stderr, "engine gave no ABOUT line; process figures skipped\n");
            return;
        }
        startUp.push_back(std::chrono::duration<double, std::milli>(answered - spawned).count());

        if (!engine.sendLine("START 20") || readAnswer(engine) != "OK") break;
        peakAfterStart.push_back(peakMiB(engine));
        rssAfterStart.push_back(currentMiB(engine));

        if (!engine.sendLine("BEGIN") || !readAnswer(engine)) break;
        peakAfterMove.push_back(peakMiB(engine));
        rssAfterMove.push_back(currentMiB(engine));
        const std::vector<double> moves = oneplyMoves(engine, 10);
        overhead.insert(overhead.end(), moves.begin(), moves.end());
        if (!finish(engine)) std::fprintf(stderr, "engine did not exit cleanly after END\n");
    }
    if (startUp.empty()) {
        std::fprintf(stderr, "engine could not be driven; process figures skipped\n");
        return;
    }
    report("engine start-up to ABOUT answer", median(startUp), "ms");
    report("engine peak resident after START 20", median(peakAfterStart), "MiB");
    report("engine resident after START 20", median(rssAfterStart), "MiB");
    report("engine peak resident after first move", median(peakAfterMove), "MiB");
    report("engine resident after first move", median(rssAfterMove), "MiB");
    report("engine move with a one-ply search (per-move overhead)", median(overhead), "ms");
    report("engine peak resident, 2 threads, after 6 moves of 1 s", twoThreadPeak(path), "MiB");
}

}  // namespace velka::bench
