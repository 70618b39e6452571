// SearchMemory: the transposition table, one 16-byte entry per slot, addressed by the low word of
// the board's hash. Sized from the manager's memory limit and the process's resident set.
//
// Every move starts from an empty table without touching it: each entry carries the generation
// (move) that wrote it, and an entry of another generation reads exactly as a wiped one (bound
// SlotEmpty, depth 127, both hash words and the value 0x7F7F7F7F).
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/board.h"

namespace velka::search {

inline constexpr uint8_t BoundExact = 128;
inline constexpr uint8_t BoundUpper = 129;
inline constexpr uint8_t BoundLower = 130;
inline constexpr uint8_t SlotEmpty = 127;
inline constexpr int MaxMemoryLog2 = 24;
inline constexpr uint32_t StartUpMemoryLimit = 104857600;
// What the process may still touch after the table is sized, beside the table itself (stack depth
// of the deepest searches, scratch lists first used later), counted in with the measured working
// set so that the whole process stays within the limit.
inline constexpr uint64_t WorkingSetGrowth = uint64_t{4} << 20;
// What every hash word of a wiped entry holds.
inline constexpr uint32_t WipedHashWord = 0x7F7F7F7F;
inline constexpr uint8_t WipedDepth = 127;

struct SearchMemoryEntry {
    uint32_t hashLow;
    uint32_t hashHigh;
    uint8_t depth;
    uint8_t bound;
    uint16_t generation;  // in the two bytes the alignment of value leaves free
    int32_t value;
};
static_assert(sizeof(SearchMemoryEntry) == 16);

// The table is never null: before the first sizing, after a release and when no allocation
// succeeds it is one static entry (mask 0), which every position shares.
struct SearchMemory {
    SearchMemoryEntry* table = nullptr;
    uint32_t mask = 0;
    size_t size = 0;
    int k = 0;
    uint32_t lastLimit = 0;
    bool sized = false;
    // Entries of this generation belong to the current move; 0 marks a fresh or cleared entry.
    uint16_t generation = 1;
};
extern SearchMemory searchMemory;

int32_t probeMemory(int32_t depth, int32_t alpha, int32_t beta);
void storeMemory(int32_t depth, int32_t value, uint8_t bound);
// Empties every entry for the next move: a new generation, so no entry is touched (the whole table
// is cleared only when the generation counter wraps round, once every 65535 moves).
void wipeMemory();
// A limit in bytes for the whole process, 0 for none: the table becomes the largest that fits
// beside the measured working set and WorkingSetGrowth. Returns the table size in bytes.
size_t sizeMemory(uint32_t limit);
// The same with the working set given, so that tests can fix it.
size_t sizeMemoryWithWorkingSet(uint32_t limit, uint64_t workingSet);
// Frees the table; the static entry takes its place until the next sizing, which then builds a
// table whatever its limit.
void releaseMemory();

// The slot that the current position's hash selects.
inline SearchMemoryEntry& memorySlot() {
    return searchMemory.table[static_cast<uint32_t>(board::engineBoard.hash) & searchMemory.mask];
}

inline bool isCurrent(const SearchMemoryEntry& e) {
    return e.generation == searchMemory.generation;
}

// The threat search marks positions without a win in the slots: only the hash words are written,
// so the (wiped) slot keeps SlotEmpty and the main search never sees the mark.
inline void markNoWin() {
    SearchMemoryEntry& e = memorySlot();
    if (!isCurrent(e)) {
        e = {WipedHashWord, WipedHashWord,           WipedDepth,
             SlotEmpty,     searchMemory.generation, static_cast<int32_t>(WipedHashWord)};
    }
    e.hashLow = static_cast<uint32_t>(board::engineBoard.hash);
    e.hashHigh = static_cast<uint32_t>(board::engineBoard.hash >> 32);
}

inline bool isMarkedNoWin() {
    const SearchMemoryEntry& e = memorySlot();
    const uint32_t low = isCurrent(e) ? e.hashLow : WipedHashWord;
    const uint32_t high = isCurrent(e) ? e.hashHigh : WipedHashWord;
    return low == static_cast<uint32_t>(board::engineBoard.hash) &&
           high == static_cast<uint32_t>(board::engineBoard.hash >> 32);
}

}  // namespace velka::search
