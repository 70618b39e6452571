#include "search/memory.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "search/scores.h"

namespace velka::search {

namespace {

// Stands in for the table whenever there is no allocated one, so probes and stores never need a
// null check.
SearchMemoryEntry fallbackEntry{};

void useFallback() {
    fallbackEntry = SearchMemoryEntry{};
    searchMemory.table = &fallbackEntry;
    searchMemory.mask = 0;
    searchMemory.size = sizeof(SearchMemoryEntry);
    searchMemory.k = 0;
    searchMemory.generation = 1;
}

// 16 x 2^k + workingSet > limit, without overflow.
bool exceedsLimit(int k, uint64_t workingSet, uint32_t limit) {
    const uint64_t tableBytes = uint64_t{sizeof(SearchMemoryEntry)} << k;
    return workingSet > limit || tableBytes > uint64_t{limit} - workingSet;
}

// The working set is read only after the old table has been released, so that its pages no
// longer count against the limit; tests pass a fixed value instead.
size_t resize(uint32_t limit, bool measure, uint64_t givenWorkingSet) {
    if (searchMemory.sized && limit == searchMemory.lastLimit) return searchMemory.size;
    releaseMemory();
    searchMemory.lastLimit = limit;
    searchMemory.sized = true;

    int k = MaxMemoryLog2;
    if (limit != 0) {
        const uint64_t workingSet =
            measure ? platform::residentMemoryBytes() + WorkingSetGrowth : givenWorkingSet;
        while (k > 0 && exceedsLimit(k, workingSet, limit)) --k;
    }
    for (; k > 0; --k) {
        void* table = std::calloc(size_t{1} << k, sizeof(SearchMemoryEntry));
        if (table != nullptr) {
            searchMemory.table = static_cast<SearchMemoryEntry*>(table);
            searchMemory.mask = (uint32_t{1} << k) - 1;
            searchMemory.size = sizeof(SearchMemoryEntry) << k;
            searchMemory.k = k;
            searchMemory.generation = 1;  // calloc's zeros are generation 0: every entry empty
            return searchMemory.size;
        }
    }
    useFallback();
    return searchMemory.size;
}

}  // namespace

SearchMemory searchMemory{.table = &fallbackEntry, .size = sizeof(SearchMemoryEntry)};

int32_t probeMemory(int32_t depth, int32_t alpha, int32_t beta) {
    const SearchMemoryEntry& e = memorySlot();
    if (!isCurrent(e)) return NoScore;
    const uint64_t hash = board::engineBoard.hash;
    if (e.hashLow != static_cast<uint32_t>(hash) || e.hashHigh != static_cast<uint32_t>(hash >> 32))
        return NoScore;
    if (e.depth < depth) return NoScore;
    switch (e.bound) {
        case BoundExact:
            return e.value;
        case BoundUpper:
            return e.value <= alpha ? alpha : NoScore;
        case BoundLower:
            return e.value >= beta ? beta : NoScore;
        default:
            return NoScore;
    }
}

// Replacement by depth alone: a deeper result stays, whichever position it belongs to.
void storeMemory(int32_t depth, int32_t value, uint8_t bound) {
    SearchMemoryEntry& e = memorySlot();
    if (isCurrent(e) && e.bound != SlotEmpty && e.depth > depth) return;
    const uint64_t hash = board::engineBoard.hash;
    e = {static_cast<uint32_t>(hash), static_cast<uint32_t>(hash >> 32),
         static_cast<uint8_t>(depth), bound,
         searchMemory.generation,     value};
}

void wipeMemory() {
    if (++searchMemory.generation != 0) return;
    // Entries 65536 moves old would read as current: clear them all (zeros are generation 0).
    std::memset(static_cast<void*>(searchMemory.table), 0, searchMemory.size);
    searchMemory.generation = 1;
}

size_t sizeMemory(uint32_t limit) {
    return resize(limit, true, 0);
}

size_t sizeMemoryWithWorkingSet(uint32_t limit, uint64_t workingSet) {
    return resize(limit, false, workingSet);
}

// Also forgets the last limit: the next sizing builds a table whatever its limit.
void releaseMemory() {
    if (searchMemory.table != &fallbackEntry) std::free(searchMemory.table);
    useFallback();
    searchMemory.sized = false;
}

}  // namespace velka::search
