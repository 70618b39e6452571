// The SearchMemory as the engine uses it: sized for the default max_memory at START, wiped before
// every move.
#include "bench.h"
#include "protocol/settings.h"
#include "search/memory.h"

namespace velka::bench {

void benchMemory(const BenchOptions& options) {
    search::SearchMemory& memory = benchPlayer().memory;
    const protocol::ManagerSettings defaults;
    const uint32_t limit = static_cast<uint32_t>(protocol::readSetting(defaults.max_memory));
    const size_t bytes = search::sizeMemory(memory, limit);
    report("search memory size (default max_memory)", static_cast<double>(bytes) / (1 << 20),
           "MiB");
    report("search memory wipe", medianMs(options.repetitions, [&] { search::wipeMemory(memory); }),
           "ms");
    search::releaseMemory(memory);
}

}  // namespace velka::bench
