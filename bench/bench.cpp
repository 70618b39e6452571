// velka-bench [repetitions] [engine-path]: prints one line per figure, "name value unit".
// velka-bench --game [--openings N] [--ms M] [--threads T] [--moves K] [--depth D] [--file F]
// [engine-path]: the search's speed in games instead (bench_game.cpp).
#include "bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace velka::bench {

double medianMs(int repetitions, const std::function<void()>& fn) {
    std::vector<double> times;
    for (int i = 0; i < std::max(1, repetitions); ++i) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        const auto stop = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

search::Player& benchPlayer() {
    static search::Player player;
    return player;
}

void report(const std::string& name, double value, const std::string& unit) {
    std::printf("%-48s %14.3f %s\n", name.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

}  // namespace velka::bench

int main(int argc, char** argv) {
    using namespace velka::bench;
    BenchOptions options;
    if (argc > 1 && std::strcmp(argv[1], "--game") == 0) {
        GameOptions game;
        for (int i = 2; i < argc; ++i) {
            const bool valued = i + 1 < argc;
            if (valued && std::strcmp(argv[i], "--openings") == 0) {
                game.openings = std::atoi(argv[++i]);
            } else if (valued && std::strcmp(argv[i], "--ms") == 0) {
                game.moveMs = std::atoi(argv[++i]);
            } else if (valued && std::strcmp(argv[i], "--threads") == 0) {
                game.threads = std::atoi(argv[++i]);
            } else if (valued && std::strcmp(argv[i], "--moves") == 0) {
                game.moves = std::atoi(argv[++i]);
            } else if (valued && std::strcmp(argv[i], "--depth") == 0) {
                game.depth = std::atoi(argv[++i]);
            } else if (valued && std::strcmp(argv[i], "--file") == 0) {
                game.openingsFile = argv[++i];
            } else if (argv[i][0] != '-') {
                options.enginePath = argv[i];
            } else {
                std::fprintf(stderr, "velka-bench --game: unknown option %s\n", argv[i]);
                return 2;
            }
        }
        benchGame(options, game);
        return 0;
    }
    if (argc > 1) options.repetitions = std::atoi(argv[1]);
    if (argc > 2) options.enginePath = argv[2];
    benchTables(options);
    benchBoard(options);
    benchMemory(options);
    benchThreat(options);
    benchSearch(options);
    benchProcess(options);
    return 0;
}
