// The main search with helper threads: the count clamped, every search answered with a move of
// the root list and the board left alone, wins found, and a stop that ends every thread.
// Run under ThreadSanitizer too (the threading label), which checks the shared memory and the
// hand-over between the threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "../../bench/signature_positions.h"
#include "platform/platform.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search_test_board.h"

namespace velka::search {
namespace {

using patterns::RuleVariant;

Player& player() {
    return testing::player();
}

int32_t setSearchThreads(int32_t requested) {
    return search::setSearchThreads(player().main, requested);
}

int32_t searchBestMove(RuleVariant variant, const SearchLimits& limits) {
    Player& p = player();
    return search::searchBestMove(p.main, p.memory, p.control, board::engineBoard, variant, limits);
}

const SearchStats& lastSearchStats() {
    return player().main.stats;
}

class SearchThreads : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        patterns::buildPatternTables(RuleVariant::Freestyle);
        sizeMemoryWithWorkingSet(player().memory, 32u << 20, 0);
    }
    static void TearDownTestSuite() {
        setSearchThreads(1);
        releaseMemory(player().memory);
    }
};

TEST_F(SearchThreads, CountIsClampedToTheProcessors) {
    const int32_t most = std::min(platform::hardwareThreads(), MaxSearchThreads);
    EXPECT_EQ(setSearchThreads(0), 1);
    EXPECT_EQ(setSearchThreads(-7), 1);
    EXPECT_EQ(setSearchThreads(1), 1);
    // A platform that starts no thread, or a loaded one, may give fewer than asked for.
    const int32_t many = setSearchThreads(1000);
    EXPECT_GE(many, 1);
    EXPECT_LE(many, most);
    EXPECT_EQ(setSearchThreads(2), std::min(2, many));
    EXPECT_EQ(setSearchThreads(1), 1);
}

// The last report the search made, whatever thread it came from.
IterationReport lastReport;
void keepReport(void*, const IterationReport& report) {
    lastReport = report;
}

// Each signature position under its rule, with as many threads as the machine allows up to four,
// the threads sharing each iteration (one line wanted) or each running its own (several): a move of
// the root list, the depth reached, the board untouched; a win found whatever thread finds it
// first; a node limit that ends the thinking thread ends its helpers too, so that the next search
// can start at once.
TEST_F(SearchThreads, HelpersSearchTheirOwnBoardsAndStopWithTheThinkingThread) {
    setSearchThreads(4);
    for (const int32_t lines : {1, 2}) {
        for (const signature::Position& p : signature::Positions) {
            SCOPED_TRACE(::testing::Message() << p.name << ", lines " << lines);
            signature::setUpPosition(p, player().memory);
            const testing::BoardUnchanged guard;
            const int32_t move = searchBestMove(p.variant, {5, false, 0, lines});
            const std::span<const int32_t> roots = rootMoves(player().main);
            EXPECT_NE(std::find(roots.begin(), roots.end(), move), roots.end()) << move;
            EXPECT_EQ(lastSearchStats().completedDepth, 5);
            EXPECT_FALSE(lastSearchStats().stopped);
        }
    }
    EXPECT_NE(searchBestMove(RuleVariant::Freestyle, {MaxSearchDepth, false, 20000}),
              board::NoCell);
    EXPECT_TRUE(lastSearchStats().stopped);
    // (7,7) makes a four and an open three; other moves may win too, more slowly: the one found
    // is announced as a win, with its line.
    testing::freshBoard(15, 15);
    testing::placeRows(3, 7, {"OXXX"});
    testing::placeRows(7, 5, {"X", "X"});
    testing::placeRows(10, 3, {"O.O"});
    board::takeCensus(board::CellOwn);
    wipeMemory(player().memory);
    player().control.observer = keepReport;
    const int32_t win = searchBestMove(RuleVariant::Freestyle, {20, false, 0});
    player().control.observer = nullptr;
    EXPECT_EQ(lastReport.score, WinScore);
    ASSERT_FALSE(lastReport.pv.empty());
    EXPECT_EQ(lastReport.pv.front(), win);
}

// Every node the threads shared is given back, whether the search ran to its depth or a node limit
// stopped it inside a shared node, and the next search starts clean: deep enough searches that
// the helpers open nodes of their own and cut-offs abandon nodes below them. A node kept would
// leave fewer to share, and a stone kept would corrupt a helper's next search.
TEST_F(SearchThreads, SharedNodesAreAllGivenBackAfterEverySearch) {
    if (setSearchThreads(2) < 2) GTEST_SKIP() << "one hardware thread";
    const MainSearch& search = player().main;
    const auto allGivenBack = [&] {
        for (const SharedNode& node : search.job.shared.nodes) {
            if (node.inUse) return false;
        }
        return search.job.shared.idle.load() == 0 && search.helpers[1]->sb.placedCount == 0;
    };
    for (const signature::Position& p : signature::Positions) {
        SCOPED_TRACE(p.name);
        signature::setUpPosition(p, player().memory);
        const testing::BoardUnchanged guard;
        for (const uint64_t limit : {uint64_t{0}, uint64_t{30000}, uint64_t{3000}}) {
            const int32_t move = searchBestMove(p.variant, {limit == 0 ? 8 : 20, false, limit});
            EXPECT_NE(move, board::NoCell);
            EXPECT_TRUE(allGivenBack()) << "limit " << limit;
            EXPECT_EQ(lastSearchStats().stopped, limit != 0);
        }
    }
}

}  // namespace
}  // namespace velka::search
