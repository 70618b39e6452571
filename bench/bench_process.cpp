// The engine as a manager sees it: how long from starting the process until it answers ABOUT
// (start-up builds the pattern tables first), and how much memory it holds once a board is set
// up with the default max_memory and after its first move. The child process itself is handled
// by process_posix.cpp or process_windows.cpp.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench.h"
#include "process.h"

namespace velka::bench {

namespace {

// The next line that is not a MESSAGE notice.
std::optional<std::string> readAnswer(EngineProcess& engine) {
    std::optional<std::string> line;
    do line = engine.readLine();
    while (line && line->rfind("MESSAGE", 0) == 0);
    return line;
}

std::string findEngine(const BenchOptions& options) {
    if (!options.enginePath.empty()) return options.enginePath;
    return defaultEnginePath();
}

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

void benchProcess(const BenchOptions& options) {
    const std::string path = findEngine(options);
    if (!engineFileExists(path)) {
        std::fprintf(stderr, "engine not found at %s; process figures skipped\n", path.c_str());
        return;
    }
    std::vector<double> startUp, peakAfterStart, rssAfterStart, peakAfterMove, rssAfterMove;
    for (int rep = 0; rep < std::max(1, options.repetitions); ++rep) {
        const auto spawned = std::chrono::steady_clock::now();
        EngineProcess engine(path);
        if (!engine.started() || !engine.send("ABOUT")) break;
        const std::optional<std::string> about = readAnswer(engine);
        const auto answered = std::chrono::steady_clock::now();
        if (!about || about->rfind("name=", 0) != 0) {
            std::fprintf(stderr, "engine gave no ABOUT line; process figures skipped\n");
            return;
        }
        startUp.push_back(std::chrono::duration<double, std::milli>(answered - spawned).count());

        if (!engine.send("START 20") || readAnswer(engine) != "OK") break;
        const ResidentMemory afterStart = engine.resident();
        peakAfterStart.push_back(afterStart.peakMiB);
        rssAfterStart.push_back(afterStart.currentMiB);

        // The first move wipes the whole SearchMemory, so every page of it is then resident.
        if (!engine.send("BEGIN") || !readAnswer(engine)) break;
        const ResidentMemory afterMove = engine.resident();
        peakAfterMove.push_back(afterMove.peakMiB);
        rssAfterMove.push_back(afterMove.currentMiB);
        if (!engine.finish()) std::fprintf(stderr, "engine did not exit cleanly after END\n");
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
}

}  // namespace velka::bench
