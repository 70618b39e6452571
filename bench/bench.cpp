// velka-bench [repetitions] [engine-path]: prints one line per figure, "name value unit".
#include "bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
