// The shapes a search board keeps as stones come and go, against the same position taken afresh
// and against a plain evaluation, after random placements, removals and candidate scans, under
// each rule (Renju with either colour black).
#include "search/search_board.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "search/candidates.h"
#include "search/evaluation.h"
#include "search_test_board.h"

namespace velka::search {
namespace {

using patterns::RuleVariant;

using testing::AllRules;
using testing::Rules;

void refreshAll(SearchBoard& sb) {
    for (int32_t cell = 0; cell < sb.board.cellCount; ++cell) {
        if (sb.board.cells[cell] == board::CellEmpty && sb.stale[cell] != 0) {
            refreshShapes(sb, cell);
        }
    }
}

// The evaluation restated: every stone's four classes in its colour's field, read from the
// pattern table.
int32_t plainEvaluation(const SearchBoard& sb, int32_t side) {
    const board::EngineBoard& b = sb.board;
    int32_t sum[3] = {};
    bool four[3] = {};
    bool openFour[3] = {};
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        const int32_t c = b.cells[cell];
        if (c == board::CellEmpty) continue;
        const bool exact = sb.variant == RuleVariant::ExactFive ||
                           (sb.variant == RuleVariant::Renju && c == b.firstPlayer);
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            const patterns::PatternEntry& e = patterns::patternEntry(board::windowCode(b, d, cell));
            const patterns::ShapeClass k = exact ? patterns::exactShape(e) : patterns::freeShape(e);
            sum[c] += patterns::ShapeScore[k];
            four[c] = four[c] || k == patterns::ShapeFour;
            openFour[c] = openFour[c] || k == patterns::ShapeOpenFour;
        }
    }
    if (four[side] || openFour[side]) return NearWinScore;
    if (openFour[side ^ 3]) return NearLossScore;
    return sum[side] - sum[side ^ 3];
}

// What the search may read of the board equals what a fresh board says: a stone's classes, and
// on an empty cell the near count, every class not marked out of date and, unless anything is,
// the candidate ranks (0 on every cell that is no inner candidate). And the evaluation.
void expectAsFresh(const SearchBoard& sb) {
    static SearchBoard fresh;
    resetSearchBoard(fresh, sb.board, sb.variant);
    refreshAll(fresh);
    ASSERT_TRUE(board::boardIsConsistent(sb.board));
    for (int32_t cell = 0; cell < sb.board.cellCount; ++cell) {
        SCOPED_TRACE(::testing::Message() << "cell " << cell);
        const int32_t colour = sb.board.cells[cell];
        if (colour != board::CellEmpty) {
            ASSERT_EQ(sb.quads[colour - 1][cell], fresh.quads[colour - 1][cell]);
            ASSERT_EQ(sb.near[cell] | sb.stale[cell] | sb.ranks[0][cell] | sb.ranks[1][cell], 0);
            continue;
        }
        ASSERT_EQ(sb.near[cell], fresh.near[cell]);
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            if ((sb.stale[cell] & (1u << d)) != 0) continue;
            for (int32_t c = 0; c < 2; ++c) {
                ASSERT_EQ(quadClass(sb.quads[c][cell], d), quadClass(fresh.quads[c][cell], d));
            }
        }
        if (sb.stale[cell] == 0) {
            ASSERT_EQ(sb.ranks[0][cell], fresh.ranks[0][cell]);
            ASSERT_EQ(sb.ranks[1][cell], fresh.ranks[1][cell]);
        }
    }
    for (int32_t side : {1, 2}) {
        ASSERT_EQ(staticEvaluation(sb.totals, side), plainEvaluation(sb, side));
        ASSERT_EQ(staticEvaluation(sb.totals, side), staticEvaluation(fresh.totals, side));
    }
}

TEST(SearchBoard, KeptShapesEqualFreshOnesThroughRandomPlay) {
    patterns::buildPatternTables(RuleVariant::Freestyle);
    std::mt19937 rng(20240917);
    static SearchBoard sb;
    for (const Rules& rules : AllRules) {
        patterns::refreshPatternTables(rules.variant);
        for (int32_t trial = 0; trial < 12; ++trial) {
            SCOPED_TRACE(::testing::Message() << "variant " << static_cast<int>(rules.variant)
                                              << " black " << rules.black << " trial " << trial);
            // Square and oblong boards, small enough for lines to reach their edges.
            const int32_t width = trial % 3 == 0 ? 7 : 15;
            const int32_t height = trial % 2 == 0 ? width : 11;
            testing::freshBoard(width, height);
            for (int32_t i = 0; i < width * height / 8; ++i) {
                const int32_t cell = static_cast<int32_t>(rng() % (width * height));
                if (board::engineBoard.cells[cell] == 0) board::setCell(cell, 1 + i % 2);
            }
            board::engineBoard.firstPlayer = rules.black;
            resetSearchBoard(sb, board::engineBoard, rules.variant);
            const ScanArea whole{0, 0, width - 1, height - 1};
            std::vector<int32_t> placed;
            for (int32_t step = 0; step < 120; ++step) {
                const uint32_t roll = rng() % 8;
                if (roll < 4 || placed.empty()) {
                    std::vector<int32_t> empty;
                    for (int32_t c = 0; c < sb.board.cellCount; ++c) {
                        if (sb.board.cells[c] == 0) empty.push_back(c);
                    }
                    if (empty.size() < 2 || placed.size() == MaxPlacedStones) continue;
                    const int32_t cell = empty[rng() % empty.size()];
                    const int32_t colour = 1 + static_cast<int32_t>(rng() % 2);
                    // The search evaluates a last move without placing it: the same totals.
                    if (sb.stale[cell] != 0) refreshShapes(sb, cell);
                    const ShapeTotals expected = totalsIfPlayed(sb, cell, colour);
                    placeStone(sb, cell, colour);
                    placed.push_back(cell);
                    ASSERT_EQ(staticEvaluation(sb.totals, 1), staticEvaluation(expected, 1));
                    ASSERT_EQ(staticEvaluation(sb.totals, 2), staticEvaluation(expected, 2));
                } else if (roll < 7) {
                    removeStone(sb, placed.back());
                    placed.pop_back();
                } else {
                    // A scan brings some cells up to date, within the last placement's reach.
                    CandidateList list;
                    const int32_t side = 1 + static_cast<int32_t>(rng() % 2);
                    if (startCandidates(sb, whole, side, list))
                        candidateAt(sb, whole, side, list, 1);
                }
                expectAsFresh(sb);
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
    }
}

}  // namespace
}  // namespace velka::search
