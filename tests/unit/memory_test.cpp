#include "search/memory.h"

#include <gtest/gtest.h>

#include "search/scores.h"

namespace {

using namespace velka::search;

constexpr uint64_t MiB = uint64_t{1} << 20;
constexpr size_t Largest = size_t{16} << MaxMemoryLog2;

// The very first sizing builds a table even though its limit, 0, equals the initial last limit.
TEST(MemorySizing, FirstCallBuildsTheLargestTableForNoLimit) {
    SearchMemory searchMemory;
    EXPECT_EQ(searchMemory.size, sizeof(SearchMemorySlot));  // the fallback slot until then
    EXPECT_EQ(sizeMemoryWithWorkingSet(searchMemory, 0, 50 * MiB), Largest);
    EXPECT_EQ(searchMemory.mask, (1u << MaxMemoryLog2) - 1);
    EXPECT_EQ(probeMemory(searchMemory, 12345, 0, LossScore, WinScore), NoScore);
}

TEST(MemorySizing, LargestPowerOfTwoThatFitsBesideTheWorkingSet) {
    SearchMemory searchMemory;
    const uint64_t w = 40 * MiB;
    // Rows: limit, table size. An exact fit, one byte short, between powers, two entries (the
    // smallest table), the static entry, the largest table, a negative max_memory, no limit.
    const uint64_t cases[][2] = {{w + MiB, MiB}, {w + MiB - 1, MiB / 2}, {w + 3 * MiB, 2 * MiB},
                                 {w + 32, 32},   {w + 31, 16},           {w - 1, 16},
                                 {1, 16},        {w + Largest, Largest}, {0xFFFFFFFFu, Largest},
                                 {0, Largest}};
    for (const auto& [limit, size] : cases) {
        SCOPED_TRACE(limit);
        EXPECT_EQ(sizeMemoryWithWorkingSet(searchMemory, static_cast<uint32_t>(limit), w), size);
        EXPECT_EQ(searchMemory.size, size);
        EXPECT_EQ(uint64_t{searchMemory.mask} + 1, size / 16);
    }
    // A working set beyond 4 GiB cannot wrap round into a small sum, nor with a reserve.
    EXPECT_EQ(sizeMemoryWithWorkingSet(searchMemory, 1000 * MiB, uint64_t{1} << 63), 16u);
    EXPECT_EQ(
        sizeMemoryWithWorkingSet(searchMemory, 1000 * MiB, uint64_t{1} << 63, uint64_t{1} << 63),
        16u);
    // The search threads' reserve counts as used; a new reserve with the same limit resizes.
    EXPECT_EQ(sizeMemoryWithWorkingSet(searchMemory, static_cast<uint32_t>(w + 3 * MiB), w),
              2 * MiB);
    EXPECT_EQ(
        sizeMemoryWithWorkingSet(searchMemory, static_cast<uint32_t>(w + 3 * MiB), w, MiB + 1),
        MiB);
    releaseMemory(searchMemory);
    EXPECT_EQ(searchMemory.size, 16u);
}

// A move's budget caps the table at twice the nodes it could search: 2^16 entries at least, the
// largest table at most, more with more threads; the limit still decides below that cap, and a
// new cap resizes.
TEST(MemorySizing, NoLargerThanTheMovesBudgetCanFill) {
    const int cases[][3] = {{0, 1, 16},    {5, 1, 16},    {200, 1, 21}, {1000, 1, 23},
                            {1000, 2, 24}, {5000, 1, 24}, {-1, 1, 16}};
    for (const auto& [budget, threads, log2] : cases) {
        EXPECT_EQ(tableLog2ForTurn(budget, threads), log2) << budget << " ms, " << threads;
    }
    SearchMemory searchMemory;
    EXPECT_EQ(sizeMemory(searchMemory, 0, 0, 18), size_t{16} << 18);
    EXPECT_EQ(sizeMemory(searchMemory, 0, 0, 20), size_t{16} << 20);
    EXPECT_EQ(sizeMemory(searchMemory, static_cast<uint32_t>(MiB), 0, 20), size_t{16});
}

class Memory : public ::testing::Test {
  protected:
    SearchMemory searchMemory;
    void SetUp() override {
        sizeMemoryWithWorkingSet(searchMemory, static_cast<uint32_t>(MiB), 0);  // 2^16 entries
        ASSERT_EQ(searchMemory.mask, 0xFFFFu);
        wipeMemory(searchMemory);
    }
    void TearDown() override { releaseMemory(searchMemory); }
    // The position the probes and stores below are about.
    void at(uint64_t hash) { position = hash; }
    int32_t probe(int32_t depth, int32_t alpha, int32_t beta) const {
        return probeMemory(searchMemory, position, depth, alpha, beta);
    }
    int32_t probe() const { return probe(0, LossScore, WinScore); }
    void store(int32_t depth, int32_t value, uint8_t bound) {
        storeMemory(searchMemory, position, depth, value, bound);
    }
    void mark() { markNoWin(searchMemory, position); }
    bool marked() const { return isMarkedNoWin(searchMemory, position); }
    uint64_t position = 0;
};

// A wipe leaves the table untouched but every entry of the moves before reads as empty: no probe
// answers from it, a store replaces it whatever its depth, no no-win mark survives. Also after
// the generation counter wraps round.
TEST_F(Memory, WipeEmptiesEverySlotFromEveryEarlierMove) {
    const auto hashOf = [](uint64_t i) { return (i + 1) * 0x9E3779B97F4A7C15ull; };
    const auto fill = [&] {
        for (uint64_t i = 0; i < 0x10000; i += 7) {
            at(hashOf(i));
            store(i % 2 == 0 ? 4 : 120, 17, i % 3 == 0 ? BoundLower : BoundExact);
            if (i % 5 == 0) mark();
        }
    };
    const auto expectEmpty = [&] {
        for (uint64_t i = 0; i < 0x10000; i += 7) {
            at(hashOf(i));
            ASSERT_EQ(probe(0, LossScore, LossScore + 1), NoScore) << i;
            ASSERT_FALSE(marked()) << i;
        }
        at(hashOf(0));
        store(0, 3, BoundExact);  // over a depth-4 entry of the move before
        EXPECT_EQ(probe(), 3);
    };
    fill();
    wipeMemory(searchMemory);
    expectEmpty();
    fill();
    for (int move = 0; move < 0x10000; ++move)
        wipeMemory(searchMemory);  // the generation wraps round
    expectEmpty();
    at(0x7F7F7F7F7F7F7F7Full);  // spells the hash words of a wiped entry, yet the bound says empty
    EXPECT_EQ(probe(), NoScore);
}

TEST_F(Memory, ProbeAnswersBoundsWithTheWindowEdge) {
    at(0x1234567800000001ull);
    // Rows: bound stored with value 10 at depth 6, probe depth, alpha, beta, answer.
    const int32_t cases[][5] = {{BoundUpper, 6, 20, 30, 20},     {BoundUpper, 6, 10, 30, 10},
                                {BoundUpper, 6, 5, 30, NoScore}, {BoundUpper, 7, 20, 30, NoScore},
                                {BoundUpper, 2, 20, 30, 20},     {BoundLower, 6, -50, 5, 5},
                                {BoundLower, 6, -50, 10, 10},    {BoundLower, 6, -50, 20, NoScore},
                                {BoundExact, 6, 0, 1, 10},       {BoundExact, 0, 20, 30, 10},
                                {SlotEmpty, 6, 20, 30, NoScore}};
    for (const auto& c : cases) {
        store(6, 10, static_cast<uint8_t>(c[0]));
        EXPECT_EQ(probe(c[1], c[2], c[3]), c[4]) << c[0] << " " << c[1] << " " << c[2];
    }
    // The whole hash is checked: same slot, other high or low word; then another slot.
    at(0xAAAA0000BBBB0001ull);
    store(3, 99, BoundExact);
    for (uint64_t other : {0xAAAA0001BBBB0001ull, 0xAAAA0000BBBC0001ull, 0xAAAA0000BBBB0002ull}) {
        at(other);
        EXPECT_EQ(probe(), NoScore) << std::hex << other;
    }
    at(0xAAAA0000BBBB0001ull);
    EXPECT_EQ(probe(), 99);
}

TEST_F(Memory, DeeperEntryStaysAndNoWinMarksAreInvisibleToTheMainSearch) {
    const uint64_t a = 0x1111111100000042ull;
    const uint64_t b = 0x2222222200010042ull;  // the same slot under mask 0xFFFF
    at(a);
    store(5, 50, BoundExact);
    at(b);
    store(3, 30, BoundExact);
    EXPECT_EQ(probe(), NoScore);
    store(5, 31, BoundExact);
    EXPECT_EQ(probe(5, LossScore, WinScore), 31);
    store(1, 11, BoundExact);  // the same position keeps its deeper result too
    EXPECT_EQ(probe(5, LossScore, WinScore), 31);
    at(a);
    EXPECT_EQ(probe(), NoScore);
    // The threat search's no-win mark: invisible to the main search, also where it replaces b's
    // result, its own position's only, and overwritten by a store at the lowest depth despite the
    // wiped depth byte of 127.
    mark();
    EXPECT_TRUE(marked());
    EXPECT_EQ(probe(), NoScore);
    at(b);
    EXPECT_FALSE(marked());
    at(a);
    store(0, 5, BoundExact);
    EXPECT_EQ(probe(), 5);
}

// The same limit keeps the table and its contents, another one rebuilds it; the smallest, the
// static entry, serves every position.
TEST_F(Memory, SameLimitKeepsTheTableAndTheStaticEntryServesEveryPosition) {
    at(0x5555555500000007ull);
    store(2, 77, BoundExact);
    SearchMemorySlot* table = searchMemory.table;
    EXPECT_EQ(sizeMemoryWithWorkingSet(searchMemory, static_cast<uint32_t>(MiB), 500 * MiB), MiB);
    EXPECT_EQ(searchMemory.table, table);
    EXPECT_EQ(probe(), 77);
    EXPECT_EQ(sizeMemoryWithWorkingSet(searchMemory, 31, 0), 16u);
    wipeMemory(searchMemory);
    for (uint64_t h : {1, 2}) {
        at(h);
        EXPECT_EQ(probe(), NoScore);
        store(2, 20 + static_cast<int32_t>(h), BoundExact);
        EXPECT_EQ(probe(), 20 + static_cast<int32_t>(h));
    }
    at(1);  // the other position took the one slot
    EXPECT_EQ(probe(), NoScore);
    // After a release a stray probe cannot crash, and the next sizing builds a real table even for
    // the limit it had before.
    releaseMemory(searchMemory);
    wipeMemory(searchMemory);
    EXPECT_EQ(probe(), NoScore);
    EXPECT_EQ(sizeMemoryWithWorkingSet(searchMemory, static_cast<uint32_t>(MiB), 0), MiB);
}

// A search that keeps its results from move to move reads the entries written since the
// generation it names, and no earlier ones; by default only the current move's.
TEST_F(Memory, KeptEntriesOutliveTheMovesSinceTheirGenerationOnly) {
    writeEntry(searchMemory, 11, 5, BoundExact, 42);
    const uint16_t first = searchMemory.generation;
    wipeMemory(searchMemory);
    writeEntry(searchMemory, 22, 6, BoundLower, 43);
    const uint16_t second = searchMemory.generation;
    wipeMemory(searchMemory);
    SearchMemoryEntry entry;
    EXPECT_FALSE(readEntry(searchMemory, 11, entry));
    EXPECT_FALSE(readEntry(searchMemory, 22, entry));
    keepEntriesSince(searchMemory, second);
    EXPECT_FALSE(readEntry(searchMemory, 11, entry));
    ASSERT_TRUE(readEntry(searchMemory, 22, entry));
    EXPECT_EQ(entry.value, 43);
    keepEntriesSince(searchMemory, first);
    ASSERT_TRUE(readEntry(searchMemory, 11, entry));
    EXPECT_EQ(entry.depth, 5);
    // The main search's probe never sees them.
    EXPECT_EQ(probeMemory(searchMemory, 22, 0, LossScore, WinScore), NoScore);
    sizeMemoryWithWorkingSet(searchMemory, static_cast<uint32_t>(2 * MiB), 0);
    EXPECT_EQ(searchMemory.keptSince, 0);
    EXPECT_FALSE(readEntry(searchMemory, 22, entry));
}

}  // namespace
