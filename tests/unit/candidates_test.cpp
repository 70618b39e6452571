// Candidate generation: scores, the root's filter, Renju, and the search's lists against a plain
// generator (which also checks the forced cells: a five, a block, an open four).
#include "search/candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "search_test_board.h"

namespace velka::search {
namespace {

using patterns::RuleVariant;
using testing::at;
using testing::placeRows;

constexpr RuleVariant Free = RuleVariant::Freestyle;
constexpr RuleVariant Renju = RuleVariant::Renju;
constexpr RuleVariant AllRules[] = {Free, RuleVariant::ExactFive, Renju};
// Root: the search's first list (a stone nearby, up to 200 cells). Inner: the lists below it (a
// stone within two cells along a line, up to 10).
enum class Mode { Root, Inner };
constexpr Mode Root = Mode::Root;
constexpr Mode Inner = Mode::Inner;

// The list the search gets on the board, the inner one asked for move by move.
std::vector<int32_t> candidatesIn(SearchBoard& sb, Mode mode, int32_t side, const ScanArea& area) {
    std::vector<int32_t> cells(RootCandidateCapacity);
    if (mode == Root) {
        cells.resize(rootCandidates(sb, area, side, cells.data()));
        return cells;
    }
    cells.clear();
    CandidateList list;
    if (!startCandidates(sb, area, side, list)) return cells;
    for (int32_t i = 0, m; (m = candidateAt(sb, area, side, list, i)) != board::NoCell; ++i) {
        cells.push_back(m);
    }
    return cells;
}

std::vector<int32_t> generate(RuleVariant v, Mode mode, int32_t side) {
    SearchBoard& sb = testing::searchBoard(v);
    return candidatesIn(sb, mode, side, {0, 0, sb.board.width - 1, sb.board.height - 1});
}

bool listed(const std::vector<int32_t>& list, int32_t cell) {
    return std::find(list.begin(), list.end(), cell) != list.end();
}

// The generator restated plainly, cell by cell over the whole board, ties by ascending cell.
std::vector<int32_t> plainCandidates(RuleVariant v, Mode mode, int32_t side) {
    const board::EngineBoard& b = board::engineBoard;
    struct Scored {
        int32_t score, cell;
    };
    std::vector<Scored> list;
    int32_t block = -1;
    int32_t four = -1;
    for (int32_t s = 0; s < b.cellCount; ++s) {
        if (b.cells[s] != 0) continue;
        bool near = false;
        int32_t value[3] = {0, 0, 0};
        for (int32_t c = 1; c <= 2; ++c) {
            // Renju: black by the exact field and the black value table, white as in freestyle.
            const bool black = v == Renju && c == b.firstPlayer;
            const bool exact = v == RuleVariant::ExactFive || black;
            uint32_t k[4];
            for (int32_t d = 0; d < 4; ++d) {
                near = near || patterns::near2(patterns::patternEntry(board::windowCode(d, s)));
                const auto& e = patterns::patternEntry(board::windowCode(d, s) | (c << 10));
                k[d] = exact ? patterns::exactShape(e) : patterns::freeShape(e);
            }
            const auto& table = black ? patterns::BlackMoveValueTable : patterns::MoveValueTable;
            const uint32_t q = patterns::shapeQuadIndex(k[0], k[1], k[2], k[3]);
            value[c] = table[patterns::groupQuadIndex(q)];
        }
        if (mode == Root ? !hasNearbyStone(b, s) : !near) continue;
        const int32_t mine = value[side];
        const int32_t theirs = value[side ^ 3];
        if (mine == 255) return {s};
        if (theirs == 255) {
            block = s;
        } else if (mine == 212) {
            four = s;
        } else if (mine + theirs > 0) {
            list.push_back({candidateScore(mine, theirs), s});
        }
    }
    if (block >= 0) return {block};
    if (four >= 0) return {four};
    std::stable_sort(list.begin(), list.end(),
                     [](const Scored& a, const Scored& x) { return a.score > x.score; });
    const size_t capacity = mode == Root ? RootCandidateCapacity : InnerCandidateCapacity;
    std::vector<int32_t> cells;
    for (size_t i = 0; i < list.size() && i < capacity; ++i) cells.push_back(list[i].cell);
    return cells;
}

// The stones' bounding box widened by `reach`, as the search scans it.
ScanArea nearStones(int32_t reach) {
    const board::EngineBoard& b = board::engineBoard;
    ScanArea a{b.width, b.height, -1, -1};
    for (int32_t c = 0; c < b.cellCount; ++c) {
        if (b.cells[c] == 0) continue;
        const int32_t x = c % b.width;
        const int32_t y = c / b.width;
        a = {std::min(a.x0, std::max(0, x - reach)), std::min(a.y0, std::max(0, y - reach)),
             std::max(a.x1, std::min(b.width - 1, x + reach)),
             std::max(a.y1, std::min(b.height - 1, y + reach))};
    }
    return a;
}

class CandidatesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { patterns::buildPatternTables(patterns::RuleVariant::Freestyle); }
    void SetUp() override {
        testing::freshBoard(15, 15);
        board::engineBoard.firstPlayer = board::CellOwn;
    }
};

TEST_F(CandidatesTest, ScoreCountsOwnShapesDoubleBelowTheStrongValues) {
    const int32_t cases[][3] = {{210, 202, 214}, {202, 210, 210}, {210, 210, 210}, {20, 12, 52},
                                {0, 17, 17},     {199, 199, 597}, {200, 0, 204}};
    for (const auto& [mine, theirs, score] : cases)
        EXPECT_EQ(candidateScore(mine, theirs), score) << mine << " " << theirs;
}

// The plain generator below relies on this filter for the root.
TEST_F(CandidatesTest, RootLooksThreeCellsOutAlongTheLines) {
    EXPECT_TRUE(generate(Free, Root, 1).empty());
    placeRows(7, 7, {"X"});
    for (auto [x, y, near] : {std::tuple{4, 4, true},
                              {7, 4, true},
                              {9, 5, true},
                              {8, 4, false},
                              {11, 7, false},
                              {7, 7, false}})
        EXPECT_EQ(hasNearbyStone(board::engineBoard, at(x, y)), near) << x << "," << y;
}

// Under Renju each colour is judged by its own rules, whichever side is to move: black's
// forbidden points and overlines are worth nothing to black, white's overline is a five.
TEST_F(CandidatesTest, RenjuJudgesEachColourByItsOwnRules) {
    // Black X: two open twos crossing at (7,7), a double three there.
    placeRows(5, 7, {"XX"});
    placeRows(7, 5, {"X", "X"});
    EXPECT_TRUE(listed(generate(Free, Root, 1), at(7, 7)));
    EXPECT_FALSE(listed(generate(Renju, Root, 1), at(7, 7)));
    // With white stones beside it, the point is listed for black on white's value alone.
    placeRows(8, 8, {"O", ".O"});
    EXPECT_TRUE(listed(generate(Renju, Root, 1), at(7, 7)));
    // White O makes six on (6,7), which wins for white: black blocks it, white plays it.
    SetUp();
    placeRows(3, 7, {"OOO.OO"});
    placeRows(2, 2, {"X"});
    for (Mode mode : {Root, Inner}) {
        EXPECT_EQ(generate(Renju, mode, 1), std::vector{at(6, 7)});
        EXPECT_EQ(generate(Renju, mode, 2), std::vector{at(6, 7)});
    }
    // Black O: six on (6,7) is forbidden, no five; the five on (10,5) is the one to block.
    SetUp();
    board::engineBoard.firstPlayer = board::CellOpponent;
    placeRows(1, 7, {"XOOOO.O"});
    placeRows(10, 0, {"X", "O", "O", "O", "O"});
    for (Mode mode : {Root, Inner}) {
        EXPECT_EQ(generate(Renju, mode, 1), std::vector{at(10, 5)});
        EXPECT_EQ(generate(Renju, mode, 2), std::vector{at(10, 5)});
    }
}

TEST_F(CandidatesTest, MatchesThePlainGeneratorOnRandomPositions) {
    std::mt19937 rng(20240611);
    for (int32_t trial = 0; trial < 120; ++trial) {
        // Square and oblong boards; a cluster of stones somewhere, at times against an edge.
        const int32_t w = trial % 3 == 0 ? 20 : trial % 3 == 1 ? 15 : 7;
        const int32_t h = trial % 2 == 0 ? w : w + 3;
        testing::freshBoard(w, h);
        board::engineBoard.firstPlayer = 1 + trial % 2;
        const int32_t stones = 2 + static_cast<int32_t>(rng() % (w == 7 ? 30 : 50));
        const int32_t span = w / 2 + 1;
        const int32_t x0 = rng() % (w - span + 1);
        const int32_t y0 = rng() % (h - span + 1);
        for (int32_t i = 0; i < stones; ++i) {
            const int32_t cell = at(x0 + rng() % span, y0 + rng() % span);
            if (board::engineBoard.cells[cell] == 0) board::setCell(cell, 1 + i % 2);
        }
        for (RuleVariant g : AllRules) {
            for (int32_t side : {1, 2}) {
                for (Mode mode : {Root, Inner}) {
                    SCOPED_TRACE(::testing::Message() << "trial " << trial << " side " << side);
                    const std::vector<int32_t> want = plainCandidates(g, mode, side);
                    EXPECT_EQ(generate(g, mode, side), want);
                    // The search scans only near the stones: three cells out at the root.
                    SearchBoard& sb = testing::searchBoard(g);
                    EXPECT_EQ(candidatesIn(sb, mode, side, nearStones(mode == Root ? 3 : 2)), want);
                }
            }
        }
    }
}

}  // namespace
}  // namespace velka::search
