#include "search/memory.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace velka::search {

namespace {

void useFallback(SearchMemory& memory) {
    memory.fallback = SearchMemorySlot{};
    memory.table = &memory.fallback;
    memory.mask = 0;
    memory.size = sizeof(SearchMemorySlot);
    memory.generation = 1;
    memory.keptSince = 0;
}

SearchMemorySlot& slotOf(const SearchMemory& memory, uint64_t hash) {
    return memory.table[static_cast<uint32_t>(hash) & memory.mask];
}

// Relaxed is enough: a slot is a value of its own, and the check word catches a mixed pair. (The
// builtins are what std::atomic_ref is made of; not every standard library here has that yet.)
uint64_t loadWord(const uint64_t& word) {
    return __atomic_load_n(&word, __ATOMIC_RELAXED);
}
void storeWord(uint64_t& word, uint64_t value) {
    __atomic_store_n(&word, value, __ATOMIC_RELAXED);
}

uint64_t packData(const SearchMemoryEntry& e) {
    return e.depth | uint64_t{e.bound} << 8 | uint64_t{e.generation} << 16 |
           uint64_t{static_cast<uint32_t>(e.value)} << 32;
}

// A slot of this move that holds no result, as a wipe leaves it, under the given hash.
SearchMemoryEntry emptyEntry(const SearchMemory& memory, uint64_t hash) {
    return {hash, WipedDepth, SlotEmpty, memory.generation, NoScore};
}

SearchMemoryEntry readAnyGeneration(const SearchMemorySlot& slot) {
    const uint64_t data = loadWord(slot.data);
    const uint64_t hash = loadWord(slot.check) ^ data;
    return {hash, static_cast<uint8_t>(data), static_cast<uint8_t>(data >> 8),
            static_cast<uint16_t>(data >> 16), static_cast<int32_t>(data >> 32)};
}

// The slot's entry, as a wiped one when it belongs to another generation.
SearchMemoryEntry readSlot(const SearchMemory& memory, const SearchMemorySlot& slot) {
    const SearchMemoryEntry e = readAnyGeneration(slot);
    if (e.generation == memory.generation) return e;
    return emptyEntry(memory, uint64_t{WipedHashWord} << 32 | WipedHashWord);
}

void writeSlot(SearchMemorySlot& slot, const SearchMemoryEntry& e) {
    const uint64_t data = packData(e);
    storeWord(slot.check, e.hash ^ data);
    storeWord(slot.data, data);
}

// 16 x 2^k + workingSet + reserve > limit, without overflow.
bool exceedsLimit(int k, uint64_t used, uint32_t limit) {
    const uint64_t tableBytes = uint64_t{sizeof(SearchMemorySlot)} << k;
    return used > limit || tableBytes > uint64_t{limit} - used;
}

// The working set is read only after the old table has been released, so that its pages no
// longer count against the limit; tests pass a fixed value instead.
size_t resize(SearchMemory& memory, uint32_t limit, uint64_t reserve, bool measure,
              uint64_t givenWorkingSet, int largestLog2) {
    if (memory.sized && limit == memory.lastLimit && reserve == memory.lastReserve &&
        largestLog2 == memory.lastLargestLog2) {
        return memory.size;
    }
    releaseMemory(memory);
    memory.lastLimit = limit;
    memory.lastReserve = reserve;
    memory.lastLargestLog2 = largestLog2;
    memory.sized = true;

    int k = std::clamp(largestLog2, 1, MaxMemoryLog2);
    if (limit != 0) {
        const uint64_t workingSet =
            measure ? platform::residentMemoryBytes() + WorkingSetGrowth : givenWorkingSet;
        const uint64_t used =
            workingSet + reserve < workingSet ? ~uint64_t{0} : workingSet + reserve;
        while (k > 0 && exceedsLimit(k, used, limit)) --k;
    }
    for (; k > 0; --k) {
        const size_t bytes = sizeof(SearchMemorySlot) << k;
        void* table = platform::allocateTable(bytes);
        if (table == nullptr) continue;
        memory.table = static_cast<SearchMemorySlot*>(table);
        memory.mask = (uint32_t{1} << k) - 1;
        memory.size = bytes;
        memory.faultingIn = false;
        memory.generation = 1;  // the zeroed table is generation 0: every entry empty
        memory.keptSince = 0;
        return memory.size;
    }
    useFallback(memory);
    return memory.size;
}

}  // namespace

SearchMemory::~SearchMemory() {
    releaseMemory(*this);
}

int32_t probeMemory(const SearchMemory& memory, uint64_t hash, int32_t depth, int32_t alpha,
                    int32_t beta) {
    const SearchMemoryEntry e = readSlot(memory, slotOf(memory, hash));
    if (e.hash != hash || e.depth < depth) return NoScore;
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
void storeMemory(SearchMemory& memory, uint64_t hash, int32_t depth, int32_t value, uint8_t bound) {
    SearchMemorySlot& slot = slotOf(memory, hash);
    const SearchMemoryEntry e = readSlot(memory, slot);
    if (e.bound != SlotEmpty && e.depth > depth) return;
    writeSlot(slot, {hash, static_cast<uint8_t>(depth), bound, memory.generation, value});
}

bool readEntry(const SearchMemory& memory, uint64_t hash, SearchMemoryEntry& entry) {
    const SearchMemorySlot& slot = slotOf(memory, hash);
    entry = readSlot(memory, slot);
    if (entry.hash != hash && memory.keptSince != 0) {
        const SearchMemoryEntry kept = readAnyGeneration(slot);
        if (kept.generation >= memory.keptSince && kept.generation < memory.generation) {
            entry = kept;
        }
    }
    return entry.hash == hash && entry.bound != SlotEmpty;
}

void keepEntriesSince(SearchMemory& memory, uint16_t generation) {
    memory.keptSince = generation;
}

void writeEntry(SearchMemory& memory, uint64_t hash, uint8_t depth, uint8_t bound, int32_t value) {
    writeSlot(slotOf(memory, hash), {hash, depth, bound, memory.generation, value});
}

// The mark holds no result: keeping the depth, bound and value of the entry it replaces would
// hand another position's score to the marked one if a search had stored there this move.
void markNoWin(SearchMemory& memory, uint64_t hash) {
    writeSlot(slotOf(memory, hash), emptyEntry(memory, hash));
}

bool isMarkedNoWin(const SearchMemory& memory, uint64_t hash) {
    return readSlot(memory, slotOf(memory, hash)).hash == hash;
}

void wipeMemory(SearchMemory& memory) {
    if (++memory.generation != 0) return;
    // Entries 65536 moves old would read as current: clear them all (zeros are generation 0).
    std::memset(static_cast<void*>(memory.table), 0, memory.size);
    memory.generation = 1;
    memory.keptSince = 0;
}

size_t sizeMemory(SearchMemory& memory, uint32_t limit, uint64_t reserve, int largestLog2) {
    return resize(memory, limit, reserve, true, 0, largestLog2);
}

size_t sizeMemoryWithWorkingSet(SearchMemory& memory, uint32_t limit, uint64_t workingSet,
                                uint64_t reserve) {
    return resize(memory, limit, reserve, false, workingSet, MaxMemoryLog2);
}

int tableLog2ForTurn(int32_t budgetMs, int32_t threads) {
    const int64_t entries =
        2 * TableNodesPerMs * std::max<int64_t>(budgetMs, 0) * std::max<int64_t>(threads, 1);
    int k = MinTurnTableLog2;
    while (k < MaxMemoryLog2 && (int64_t{1} << k) < entries) ++k;
    return k;
}

void faultInMemoryMeanwhile(SearchMemory& memory) {
    if (memory.faultingIn || memory.table == &memory.fallback) return;
    platform::faultInTableMeanwhile(memory.table, memory.size);
    memory.faultingIn = true;
}

// Also forgets the last limit: the next sizing builds a table whatever its limit.
void releaseMemory(SearchMemory& memory) {
    if (memory.table != &memory.fallback) platform::freeTable(memory.table, memory.size);
    useFallback(memory);
    memory.sized = false;
}

}  // namespace velka::search
