// SearchMemory: the transposition table, one 16-byte entry per slot, addressed by the low word of
// the board's hash. Sized from the manager's memory limit and the process's resident set.
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
// Every byte of a wiped table: an entry reads as bound SlotEmpty, depth 127, value NoScore.
inline constexpr int WipeByte = 0x7F;

struct SearchMemoryEntry {
    uint32_t hashLow;
    uint32_t hashHigh;
    uint8_t depth;
    uint8_t bound;
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
};
extern SearchMemory searchMemory;

int32_t probeMemory(int32_t depth, int32_t alpha, int32_t beta);
void storeMemory(int32_t depth, int32_t value, uint8_t bound);
void wipeMemory();
// limit in bytes, 0 for none; returns the table size in bytes.
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

// The threat search marks positions without a win in the slots: only the hash words are written,
// so the wiped slot keeps SlotEmpty and the main search never sees the mark.
inline void markNoWin() {
    SearchMemoryEntry& e = memorySlot();
    e.hashLow = static_cast<uint32_t>(board::engineBoard.hash);
    e.hashHigh = static_cast<uint32_t>(board::engineBoard.hash >> 32);
}

inline bool isMarkedNoWin() {
    const SearchMemoryEntry& e = memorySlot();
    return e.hashLow == static_cast<uint32_t>(board::engineBoard.hash) &&
           e.hashHigh == static_cast<uint32_t>(board::engineBoard.hash >> 32);
}

}  // namespace velka::search
