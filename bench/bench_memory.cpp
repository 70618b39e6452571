// The SearchMemory as the engine uses it: sized for the default max_memory at START, wiped before
// every move.
#include "bench.h"
#include "search/memory.h"
#include "search/settings.h"

namespace velka::bench {

void benchMemory(const BenchOptions& options) {
    const uint32_t limit = static_cast<uint32_t>(search::readSetting(search::settings.max_memory));
    const size_t bytes = search::sizeMemory(limit);
    report("search memory size (default max_memory)", static_cast<double>(bytes) / (1 << 20),
           "MiB");
    // The first wipe also maps the fresh pages; the median is that of the later, steady ones.
    report("search memory wipe", medianMs(options.repetitions, [] { search::wipeMemory(); }), "ms");
    search::releaseMemory();
}

}  // namespace velka::bench
