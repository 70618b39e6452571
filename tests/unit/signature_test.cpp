// The search signature in small: the benchmark's positions searched to depth 7 with one thread
// must take exactly the nodes (and give the moves) they took before the search was made faster.
// A change meant for speed leaves these numbers alone; one that changes them changes the search.
#include <gtest/gtest.h>

#include "../../bench/signature_positions.h"
#include "search/decide.h"

namespace velka::search {
namespace {

struct Expected {
    uint64_t nodes;
    int32_t move;
};

// Recorded from the engine whose signature (depth 9, velka-bench) is 743555 nodes.
constexpr std::array<Expected, signature::Positions.size()> Recorded = {{
    {35745, 50},
    {28941, 92},
    {8091, 110},
    {29478, 53},
    {12007, 159},
    {24042, 99},
    {5840, 172},
    {18100, 247},
    {6881, 110},
    {15555, 131},
}};

TEST(Signature, PositionsTakeTheRecordedNodesToDepthSeven) {
    patterns::buildPatternTables(patterns::RuleVariant::Freestyle);
    static Player player;
    sizeMemoryWithWorkingSet(player.memory, 0, 0);  // 2^24 entries, the engine's default
    ASSERT_EQ(setSearchThreads(player.main, 1), 1);
    for (size_t i = 0; i < signature::Positions.size(); ++i) {
        const signature::Position& p = signature::Positions[i];
        SCOPED_TRACE(p.name);
        signature::setUpPosition(p, player.memory);
        const int32_t move = searchBestMove(player.main, player.memory, player.control,
                                            board::engineBoard, p.variant, {7, false, 0});
        EXPECT_EQ(player.main.stats.nodes, Recorded[i].nodes);
        EXPECT_EQ(move, Recorded[i].move);
        EXPECT_EQ(player.main.stats.completedDepth, 7);
    }
}

}  // namespace
}  // namespace velka::search
