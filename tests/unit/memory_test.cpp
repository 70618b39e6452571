#include "search/memory.h"

#include <gtest/gtest.h>

#include "board/board.h"
#include "search/scores.h"

namespace {

using namespace velka::search;
using velka::board::engineBoard;

constexpr uint64_t MiB = uint64_t{1} << 20;

// Must run in a fresh process (ctest runs each case on its own): the very first sizing builds the
// table even though its limit, 0, equals the initial lastLimit.
TEST(MemorySizing, FirstCallBuildsTheLargestTableForNoLimit) {
    if (searchMemory.sized) GTEST_SKIP() << "memory already sized in this process";
    EXPECT_EQ(searchMemory.size, sizeof(SearchMemoryEntry));  // the static entry until then
    EXPECT_EQ(sizeMemoryWithWorkingSet(0, 50 * MiB), size_t{16} << 24);
    EXPECT_EQ(searchMemory.mask, (1u << 24) - 1);
    EXPECT_EQ(searchMemory.k, 24);
    releaseMemory();
}

TEST(MemorySizing, LargestPowerOfTwoThatFitsBesideTheWorkingSet) {
    const uint64_t w = 40 * MiB;
    struct Case {
        uint64_t limit;
        size_t size;
    };
    const Case cases[] = {
        {w + MiB, MiB},                                // exact fit
        {w + MiB - 1, MiB / 2},                        // one byte short
        {w + 3 * MiB, 2 * MiB},                        // between powers
        {w + 32, 32},                                  // two entries, the smallest table
        {w + 31, 16},                                  // less: the static entry
        {w - 1, 16},                                   // working set alone is over the limit
        {1, 16},                                       //
        {w + (uint64_t{16} << 24), size_t{16} << 24},  // 256 MiB is the largest table
        {0xFFFFFFFFu, size_t{16} << 24},               // negative max_memory taken as unsigned
        {0, size_t{16} << 24},                         // no limit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        EXPECT_EQ(sizeMemoryWithWorkingSet(static_cast<uint32_t>(c.limit), w), c.size);
        EXPECT_EQ(searchMemory.size, c.size);
        EXPECT_EQ(size_t{searchMemory.mask} + 1, c.size / 16);
        EXPECT_NE(searchMemory.table, nullptr);
    }
    // A working set beyond 4 GiB cannot wrap round into a small sum.
    EXPECT_EQ(sizeMemoryWithWorkingSet(1000 * MiB, uint64_t{1} << 63), 16u);
    releaseMemory();
    EXPECT_EQ(searchMemory.size, 16u);
}

TEST(MemorySizing, MeasuredWorkingSetKeepsTableWithinLimit) {
    const size_t size = sizeMemory(static_cast<uint32_t>(200 * MiB));
    EXPECT_GE(size, 16u);
    EXPECT_LE(size, 200 * MiB);
    releaseMemory();
}

class Memory : public ::testing::Test {
  protected:
    void SetUp() override {
        sizeMemoryWithWorkingSet(static_cast<uint32_t>(MiB), 0);  // 2^16 entries
        ASSERT_EQ(searchMemory.mask, 0xFFFFu);
        wipeMemory();
    }
    void TearDown() override {
        releaseMemory();
        engineBoard.hash = 0;
    }
    static void at(uint64_t hash) { engineBoard.hash = hash; }
};

TEST_F(Memory, WipeEmptiesEverySlot) {
    for (uint64_t h = 0; h < 3 * (searchMemory.mask + uint64_t{1}); h += 7919) {
        at(h * 0x9E3779B97F4A7C15ull);
        storeMemory(4, 17, BoundExact);
    }
    wipeMemory();
    for (uint32_t i = 0; i <= searchMemory.mask; ++i) {
        const SearchMemoryEntry& e = searchMemory.table[i];
        ASSERT_EQ(e.bound, SlotEmpty) << i;
        ASSERT_EQ(e.depth, 127) << i;
        ASSERT_EQ(e.hashLow, 2139062143u) << i;
        ASSERT_EQ(e.hashHigh, 2139062143u) << i;
        ASSERT_EQ(e.value, NoScore) << i;
    }
    for (uint64_t h = 0; h < 3 * (searchMemory.mask + uint64_t{1}); h += 7919) {
        at(h * 0x9E3779B97F4A7C15ull);
        ASSERT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    }
    // Even the hash that spells the wipe pattern misses: the bound byte is SlotEmpty.
    at(0x7F7F7F7F7F7F7F7Full);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
}

TEST_F(Memory, ProbeAnswersBoundsWithTheWindowEdge) {
    at(0x1234567800000001ull);
    storeMemory(6, 10, BoundUpper);
    EXPECT_EQ(probeMemory(6, 20, 30), 20);
    EXPECT_EQ(probeMemory(6, 10, 30), 10);  // value equal to alpha still answers
    EXPECT_EQ(probeMemory(6, 5, 30), NoScore);
    EXPECT_EQ(probeMemory(7, 20, 30), NoScore);  // searched too shallow
    EXPECT_EQ(probeMemory(2, 20, 30), 20);

    storeMemory(6, 10, BoundLower);
    EXPECT_EQ(probeMemory(6, -50, 5), 5);
    EXPECT_EQ(probeMemory(6, -50, 10), 10);
    EXPECT_EQ(probeMemory(6, -50, 20), NoScore);

    storeMemory(6, -33, BoundExact);
    EXPECT_EQ(probeMemory(6, 0, 1), -33);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), -33);

    storeMemory(6, 10, SlotEmpty);
    EXPECT_EQ(probeMemory(6, 20, 30), NoScore);
}

TEST_F(Memory, ProbeChecksTheWholeHash) {
    at(0xAAAA0000BBBB0001ull);
    storeMemory(3, 99, BoundExact);
    at(0xAAAA0001BBBB0001ull);  // same slot and low word, other high word
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    at(0xAAAA0000BBBC0001ull);  // same slot, other low word
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    at(0xAAAA0000BBBB0002ull);  // other slot
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    at(0xAAAA0000BBBB0001ull);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), 99);
}

TEST_F(Memory, DeeperEntryStaysShallowerOrEqualIsReplaced) {
    const uint64_t a = 0x1111111100000042ull;
    const uint64_t b = 0x2222222200010042ull;  // the same slot under mask 0xFFFF
    at(a);
    storeMemory(5, 50, BoundExact);
    at(b);
    storeMemory(3, 30, BoundExact);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    at(a);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), 50);

    at(b);
    storeMemory(5, 31, BoundExact);
    EXPECT_EQ(probeMemory(5, LossScore, WinScore), 31);
    at(a);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);

    // The same position is also kept at its deeper result.
    at(b);
    storeMemory(1, 11, BoundExact);
    EXPECT_EQ(probeMemory(5, LossScore, WinScore), 31);
    storeMemory(9, 12, BoundLower);
    EXPECT_EQ(probeMemory(9, -100, 12), 12);
}

TEST_F(Memory, SameLimitKeepsTableAndContentsOtherLimitRebuilds) {
    at(0x5555555500000007ull);
    storeMemory(2, 77, BoundExact);
    SearchMemoryEntry* table = searchMemory.table;
    EXPECT_EQ(sizeMemoryWithWorkingSet(static_cast<uint32_t>(MiB), 500 * MiB), MiB);
    EXPECT_EQ(searchMemory.table, table);
    EXPECT_EQ(probeMemory(2, LossScore, WinScore), 77);

    EXPECT_EQ(sizeMemoryWithWorkingSet(static_cast<uint32_t>(2 * MiB), 0), 2 * MiB);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
}

TEST_F(Memory, NoWinMarksAreInvisibleToTheMainSearch) {
    at(0x0BADF00D12345678ull);
    EXPECT_FALSE(isMarkedNoWin());
    markNoWin();
    EXPECT_TRUE(isMarkedNoWin());
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    at(0x0BADF00E12345678ull);  // same slot, other position
    EXPECT_FALSE(isMarkedNoWin());

    // A store at the lowest depth overwrites the mark despite the wiped depth byte of 127.
    at(0x0BADF00D12345678ull);
    storeMemory(0, 5, BoundExact);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), 5);
}

TEST_F(Memory, StaticEntryServesEveryPosition) {
    EXPECT_EQ(sizeMemoryWithWorkingSet(31, 0), 16u);
    wipeMemory();
    at(1);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    storeMemory(2, 21, BoundExact);
    EXPECT_EQ(probeMemory(2, LossScore, WinScore), 21);
    at(2);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    storeMemory(2, 22, BoundExact);
    EXPECT_EQ(probeMemory(2, LossScore, WinScore), 22);
    at(1);
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);

    // After a release the static entry stands in, so a stray probe cannot crash, and the next
    // sizing builds a real table even for the limit it had before.
    releaseMemory();
    wipeMemory();
    EXPECT_EQ(probeMemory(0, LossScore, WinScore), NoScore);
    EXPECT_EQ(sizeMemoryWithWorkingSet(static_cast<uint32_t>(MiB), 0), MiB);
}

}  // namespace
