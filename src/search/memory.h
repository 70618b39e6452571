// SearchMemory: the transposition table, one 16-byte slot per entry, addressed by the low word of
// the position's hash. Sized from the manager's memory limit, the process's resident set and what
// the search threads will add to it.
//
// Every move starts from an empty table without touching it: each entry carries the generation
// (move) that wrote it, and an entry of another generation reads exactly as a wiped one (bound
// SlotEmpty, depth 127, both hash words and the value WipedHashWord).
//
// The search threads share the table without a lock. A slot is two 64-bit words, each read and
// written whole: the entry's other fields packed into one (data), and the hash XOR data in the
// other (check). A slot whose words two threads wrote at the same time decodes to a hash that
// matches no position (but with the odds of a hash collision), so it reads as a miss.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/scores.h"

namespace velka::search {

inline constexpr uint8_t BoundExact = 128;
inline constexpr uint8_t BoundUpper = 129;
inline constexpr uint8_t BoundLower = 130;
inline constexpr uint8_t SlotEmpty = 127;
inline constexpr int MaxMemoryLog2 = 24;
inline constexpr int MinTurnTableLog2 = 16;
inline constexpr int64_t TableNodesPerMs = 4000;  // above any thread's speed on today's machines
inline constexpr uint32_t StartUpMemoryLimit = 104857600;
// What the process may still touch after the table is sized, beside the table itself (stack depth
// of the deepest searches, scratch lists first used later), counted in with the measured working
// set so that the whole process stays within the limit.
inline constexpr uint64_t WorkingSetGrowth = uint64_t{4} << 20;
// A wiped entry is what filling its bytes with 0x7F gives: depth 127, both hash words and the
// value 0x7F7F7F7F, which is NoScore, so that its value can never be taken for a score.
inline constexpr uint8_t WipedDepth = 127;
inline constexpr uint32_t WipedHashWord = static_cast<uint32_t>(NoScore);
static_assert(WipedHashWord == 0x7F7F7F7Fu);

// One entry as the searches see it.
struct SearchMemoryEntry {
    uint64_t hash;
    uint8_t depth;
    uint8_t bound;
    uint16_t generation;
    int32_t value;
};

// One entry as the table holds it (see above): data = depth | bound << 8 | generation << 16 |
// value << 32, check = hash ^ data.
struct SearchMemorySlot {
    uint64_t check;
    uint64_t data;
};
static_assert(sizeof(SearchMemorySlot) == 16);

// The table is never null: before the first sizing, after a release and when no allocation
// succeeds it is the one slot `fallback` (mask 0), which every position shares.
struct SearchMemory {
    SearchMemorySlot fallback{};
    SearchMemorySlot* table = &fallback;
    uint32_t mask = 0;
    size_t size = sizeof(SearchMemorySlot);  // bytes
    uint32_t lastLimit = 0;
    uint64_t lastReserve = 0;
    int lastLargestLog2 = MaxMemoryLog2;
    bool sized = false;
    bool faultingIn = false;  // the table's pages are being faulted in, or are
    // Entries of this generation belong to the current move; 0 marks a fresh or cleared entry.
    uint16_t generation = 1;
    // readEntry also trusts entries from this generation on (0: only the current move's), for a
    // search whose results stay true from one move to the next (see keepEntriesSince).
    uint16_t keptSince = 0;

    SearchMemory() = default;
    SearchMemory(const SearchMemory&) = delete;
    SearchMemory& operator=(const SearchMemory&) = delete;
    ~SearchMemory();
};

// The position is given by its hash.
int32_t probeMemory(const SearchMemory& memory, uint64_t hash, int32_t depth, int32_t alpha,
                    int32_t beta);
void storeMemory(SearchMemory& memory, uint64_t hash, int32_t depth, int32_t value, uint8_t bound);
// Empties every entry for the next move: a new generation, so no entry is touched (the whole table
// is cleared only when the generation counter wraps round, once every 65535 moves).
void wipeMemory(SearchMemory& memory);
// A limit in bytes for the whole process, 0 for none: the table becomes the largest that fits
// beside the measured working set, WorkingSetGrowth and the reserve: what the search threads will
// add to the process (their state and stacks). Returns the table size in bytes. The same limit and
// reserve as last time keep the table and its contents. No table has more than 2^largestLog2
// entries.
size_t sizeMemory(SearchMemory& memory, uint32_t limit, uint64_t reserve = 0,
                  int largestLog2 = MaxMemoryLog2);
// A move's search stores at most an entry a node, and every move starts from an empty table (see
// wipeMemory): entries beyond what one move can fill are never used, while the game's first
// thinks pay for touching their fresh pages. The largest table worth having for a move's time
// budget (ms) and a number of search threads: room for twice the nodes that TableNodesPerMs a
// thread would search in it, 2^16 entries at least.
int tableLog2ForTurn(int32_t budgetMs, int32_t threads);
// The same with the working set (growth included) given, so that tests can fix it.
size_t sizeMemoryWithWorkingSet(SearchMemory& memory, uint32_t limit, uint64_t workingSet,
                                uint64_t reserve = 0);
// Has the table's pages faulted in on a thread of their own, once per table, while the searches
// use it. Only for a table sized for good: a manager lowers max_memory right after START, and
// pages of the table sized before would count against the new limit.
void faultInMemoryMeanwhile(SearchMemory& memory);
// Frees the table; the fallback slot takes its place until the next sizing, which then builds a
// table whatever its limit.
void releaseMemory(SearchMemory& memory);

// For a search that packs its own fields into an entry's value: the position's entry when its
// slot holds it for this move (or for a move since keptSince), else false; and a write of an entry
// (for this move) over whatever the slot holds.
bool readEntry(const SearchMemory& memory, uint64_t hash, SearchMemoryEntry& entry);
// From now on readEntry trusts the entries written since the given generation (a search that keeps
// its results from move to move, for as long as the same search under the same rules writes
// them); 0 for the current move's only. A new table or a cleared one keeps none.
void keepEntriesSince(SearchMemory& memory, uint16_t generation);
void writeEntry(SearchMemory& memory, uint64_t hash, uint8_t depth, uint8_t bound, int32_t value);

// The threat search marks positions without a win in the slots: the mark is the hash in an empty
// slot (SlotEmpty), so the main search never sees it and a store replaces it.
void markNoWin(SearchMemory& memory, uint64_t hash);
bool isMarkedNoWin(const SearchMemory& memory, uint64_t hash);

// Starts loading the slot of the position, so that its probe overlaps with other work.
inline void prefetchSlot(const SearchMemory& memory, uint64_t hash) {
    __builtin_prefetch(&memory.table[static_cast<uint32_t>(hash) & memory.mask]);
}

}  // namespace velka::search
