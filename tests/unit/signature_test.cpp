// The search signatures: the benchmark's positions searched with one thread must take exactly the
// nodes (and give the moves) they took before the searches were made faster; the main search's in
// small (depth 7), the strong search's whole (its signature depth, 8). A change meant for speed
// leaves these numbers alone; one that changes them changes the search.
#include <gtest/gtest.h>

#include "../../bench/signature_positions.h"
#include "search/decide.h"
#include "search/strong/strong_search.h"

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

// Recorded from the strong search whose signature (depth 8, velka-bench) is 453893 nodes. Depth 0:
// the threat search before the iterations found a win.
constexpr uint64_t StrongSignature = 453893;
struct StrongExpected {
    uint64_t nodes;
    int32_t move;
    int32_t depth;
};
constexpr std::array<StrongExpected, signature::Positions.size()> StrongRecorded = {{
    {16316, 64, 0},
    {59735, 34, 8},
    {62687, 110, 8},
    {154026, 53, 8},
    {52458, 157, 8},
    {825, 129, 0},
    {26802, 172, 8},
    {49610, 247, 8},
    {31313, 110, 8},
    {121, 129, 0},
}};

TEST(Signature, StrongSearchTakesTheRecordedNodesToItsSignatureDepth) {
    patterns::buildPatternTables(patterns::RuleVariant::Freestyle);
    static Player player;
    sizeMemoryWithWorkingSet(player.memory, 0, 0);
    ASSERT_EQ(strong::setStrongThreads(player.strong, 1), 1);
    uint64_t total = 0;
    for (size_t i = 0; i < signature::Positions.size(); ++i) {
        const signature::Position& p = signature::Positions[i];
        SCOPED_TRACE(p.name);
        signature::setUpPosition(p, player.memory);
        const int32_t move =
            strong::strongBestMove(player.strong, player.memory, player.control, board::engineBoard,
                                   p.variant, {signature::StrongSignatureDepth, false, 0});
        EXPECT_EQ(player.strong.stats.nodes, StrongRecorded[i].nodes);
        EXPECT_EQ(move, StrongRecorded[i].move);
        EXPECT_EQ(player.strong.stats.completedDepth, StrongRecorded[i].depth);
        total += player.strong.stats.nodes;
    }
    EXPECT_EQ(total, StrongSignature);
}

}  // namespace
}  // namespace velka::search
