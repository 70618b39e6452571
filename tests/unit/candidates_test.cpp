// Candidate generation: filters, scores, forced cells and the order of the list.
#include "search/candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "search_test_board.h"

namespace velka::search {
namespace {

using patterns::RuleVariant;
using patterns::ShapeField;
using testing::at;
using testing::placeRows;

constexpr CandidateGenerator AllGenerators[] = {
    CandidateGenerator::ExactFive, CandidateGenerator::Freestyle, CandidateGenerator::RenjuBlack};

std::vector<int32_t> generate(CandidateGenerator g, CandidateMode mode, int32_t side,
                              int32_t capacity = board::MaxCells) {
    std::vector<int32_t> out(board::MaxCells);
    out.resize(generateCandidates(g, mode, side, out.data(), capacity));
    return out;
}

// A plain restatement of the generator, cell by cell over the whole board, to hold the fast one
// (scan areas, partial sorts) against.
std::vector<int32_t> referenceCandidates(CandidateGenerator g, CandidateMode mode, int32_t side,
                                         int32_t capacity) {
    const board::EngineBoard& b = board::engineBoard;
    const bool exact = g != CandidateGenerator::Freestyle;
    const auto& table = g == CandidateGenerator::RenjuBlack ? patterns::BlackMoveValueTable
                                                            : patterns::MoveValueTable;
    std::vector<Candidate> list;
    int32_t block = -1;
    int32_t four = -1;
    for (int32_t s = 0; s < b.cellCount; ++s) {
        if (b.cells[s] != 0) continue;
        bool near = false;
        for (int32_t d = 0; d < 4; ++d)
            near = near || patterns::near2(patterns::patternEntry(board::windowCode(d, s)));
        if (mode == CandidateMode::Root ? !hasNearbyStone(s) : !near) continue;
        int32_t value[3] = {0, 0, 0};
        for (int32_t c = 1; c <= 2; ++c) {
            uint32_t k[4];
            for (int32_t d = 0; d < 4; ++d) {
                const auto& e = patterns::patternEntry(board::windowCode(d, s) | (c << 10));
                k[d] = exact ? patterns::exactShape(e) : patterns::freeShape(e);
            }
            value[c] = table[patterns::shapeQuadIndex(k[0], k[1], k[2], k[3])];
        }
        const int32_t mine = value[side];
        const int32_t theirs = value[side ^ 3];
        if (mine + theirs == 0) continue;
        if (mine == 255) return {s};
        if (theirs == 255) {
            block = s;
        } else if (mine == 212) {
            four = s;
        } else {
            int32_t score = mine <= 199 && theirs <= 199 ? 2 * mine + theirs
                            : mine > theirs              ? mine + 4
                                                         : theirs;
            if (score > 0) list.push_back({score, s});
        }
    }
    if (block >= 0) return {block};
    if (four >= 0) return {four};
    std::stable_sort(list.begin(), list.end(),
                     [](const Candidate& a, const Candidate& x) { return a.score > x.score; });
    std::vector<int32_t> cells;
    for (size_t i = 0; i < list.size() && static_cast<int32_t>(i) < capacity; ++i) {
        cells.push_back(list[i].cell);
    }
    return cells;
}

// The generator over a part of the board only, as the search calls it.
std::vector<int32_t> generateInArea(CandidateGenerator g, CandidateMode mode, int32_t side,
                                    int32_t capacity, const ScanArea& area) {
    using patterns::ShapeField;
    std::vector<int32_t> out(board::MaxCells);
    CandidateList& list = candidateList(g);
    const bool root = mode == CandidateMode::Root;
    int32_t n = 0;
    switch (g) {
        case CandidateGenerator::ExactFive:
            n = root ? generateIn<ShapeField::Exact, false, CandidateMode::Root>(
                           list, area, side, out.data(), capacity)
                     : generateIn<ShapeField::Exact, false, CandidateMode::Inner>(
                           list, area, side, out.data(), capacity);
            break;
        case CandidateGenerator::Freestyle:
            n = root ? generateIn<ShapeField::Free, false, CandidateMode::Root>(
                           list, area, side, out.data(), capacity)
                     : generateIn<ShapeField::Free, false, CandidateMode::Inner>(
                           list, area, side, out.data(), capacity);
            break;
        case CandidateGenerator::RenjuBlack:
            n = root ? generateIn<ShapeField::Exact, true, CandidateMode::Root>(
                           list, area, side, out.data(), capacity)
                     : generateIn<ShapeField::Exact, true, CandidateMode::Inner>(
                           list, area, side, out.data(), capacity);
            break;
    }
    out.resize(n);
    return out;
}

// The stones' bounding box widened by reach and clipped to the board.
ScanArea stonesWidenedBy(int32_t reach) {
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
    static void SetUpTestSuite() { patterns::buildPatternTables(RuleVariant::Freestyle); }
    void SetUp() override {
        testing::freshBoard(15, 15);
        board::engineBoard.firstPlayer = board::CellOwn;
    }
};

TEST_F(CandidatesTest, ScoreCountsOwnShapesDoubleBelowTheStrongValues) {
    EXPECT_EQ(candidateScore(210, 202), 214);
    EXPECT_EQ(candidateScore(202, 210), 210);
    EXPECT_EQ(candidateScore(210, 210), 210);
    EXPECT_EQ(candidateScore(20, 12), 52);
    EXPECT_EQ(candidateScore(0, 17), 17);
    EXPECT_EQ(candidateScore(199, 199), 597);
    EXPECT_EQ(candidateScore(200, 0), 204);
}

TEST_F(CandidatesTest, OwnFiveComesFirstAndAlone) {
    // X: an open four (five on (2,4) and (7,4)); O: a four of its own and an open three.
    placeRows(2, 4, {".XXXX."});
    placeRows(2, 9, {"XOOOO."});
    placeRows(8, 12, {".OOO."});
    for (CandidateMode mode : {CandidateMode::Root, CandidateMode::Inner}) {
        EXPECT_EQ(generate(CandidateGenerator::Freestyle, mode, 1), std::vector{at(2, 4)});
        // For O the own five on (7,9) beats blocking X's two five points.
        EXPECT_EQ(generate(CandidateGenerator::Freestyle, mode, 2), std::vector{at(7, 9)});
    }
}

TEST_F(CandidatesTest, OpponentFiveIsBlockedAtItsLastPoint) {
    // O threatens five on (2,4), (7,4) and (10,9); X has an open three (a winning four to make).
    placeRows(2, 4, {".OOOO."});
    placeRows(5, 9, {"XOOOO."});
    placeRows(4, 12, {"..XXX.."});
    for (CandidateGenerator g : AllGenerators) {
        EXPECT_EQ(generate(g, CandidateMode::Inner, 1), std::vector{at(10, 9)});
        EXPECT_EQ(generate(g, CandidateMode::Root, 1), std::vector{at(10, 9)});
    }
}

TEST_F(CandidatesTest, WinningFourIsTheLastOpenFourPoint) {
    // X's open three: (5,7) and (9,7) make open fours; (4,7) and (10,7) only broken fours.
    placeRows(4, 7, {"..XXX.."});
    placeRows(3, 2, {"O"});
    for (CandidateGenerator g : AllGenerators) {
        EXPECT_EQ(generate(g, CandidateMode::Inner, 1), std::vector{at(9, 7)});
    }
    // The same three is only something to block for O: a listed cell, not a forced one.
    const std::vector<int32_t> forO =
        generate(CandidateGenerator::Freestyle, CandidateMode::Inner, 2);
    EXPECT_GT(forO.size(), 1u);
}

TEST_F(CandidatesTest, CellsOnlyTheOpponentGainsOnScoreTheirValue) {
    placeRows(6, 7, {"OO"});
    auto scoreOf = [](int32_t side, int32_t cell) {
        std::vector<int32_t> out(board::MaxCells);
        generateCandidates(CandidateGenerator::Freestyle, CandidateMode::Inner, side, out.data(),
                           board::MaxCells);
        const CandidateList& list = candidateList(CandidateGenerator::Freestyle);
        for (int32_t i = 0; i < list.count; ++i) {
            if (list.entries[i].cell == cell) return list.entries[i].score;
        }
        return -1;
    };
    // Next to O's two: worth theirs to X, twice that to O itself (a lone X stone is worth 0).
    const int32_t forX = scoreOf(1, at(8, 7));
    ASSERT_GT(forX, 0);
    EXPECT_EQ(scoreOf(2, at(8, 7)), 2 * forX);
}

TEST_F(CandidatesTest, RootAndInnerFilters) {
    EXPECT_TRUE(generate(CandidateGenerator::Freestyle, CandidateMode::Root, 1).empty());
    EXPECT_TRUE(generate(CandidateGenerator::Freestyle, CandidateMode::Inner, 1).empty());

    placeRows(7, 7, {"X"});
    EXPECT_TRUE(hasNearbyStone(at(10, 10)));  // three steps along the diagonal
    EXPECT_TRUE(hasNearbyStone(at(7, 4)));
    EXPECT_TRUE(hasNearbyStone(at(9, 5)));
    EXPECT_FALSE(hasNearbyStone(at(8, 4)));  // a knight's move further out
    EXPECT_FALSE(hasNearbyStone(at(11, 7)));
    EXPECT_FALSE(hasNearbyStone(at(7, 7)));  // the stone's own cell

    const std::vector<int32_t> root =
        generate(CandidateGenerator::Freestyle, CandidateMode::Root, 1);
    const std::vector<int32_t> inner =
        generate(CandidateGenerator::Freestyle, CandidateMode::Inner, 1);
    auto has = [](const std::vector<int32_t>& v, int32_t c) {
        return std::find(v.begin(), v.end(), c) != v.end();
    };
    for (const std::vector<int32_t>* v : {&root, &inner}) {
        EXPECT_FALSE(has(*v, at(8, 4)));
        EXPECT_FALSE(has(*v, at(11, 7)));
    }
    // Inner nodes look only two cells out along the lines; the root three.
    for (int32_t cell : inner) EXPECT_TRUE(has(root, cell));
    for (int32_t cell : {at(10, 7), at(10, 10), at(7, 4), at(4, 4), at(8, 5)}) {
        EXPECT_FALSE(has(inner, cell));
    }
    EXPECT_TRUE(has(inner, at(9, 9)));
    EXPECT_TRUE(has(inner, at(7, 5)));
}

TEST_F(CandidatesTest, RenjuBlackGivesForbiddenPointsNoOwnValue) {
    // Black X: two open twos crossing at (7,7), a double three there.
    placeRows(5, 7, {"XX"});
    placeRows(7, 5, {"X", "X"});
    auto listed = [](CandidateGenerator g, int32_t cell) {
        const std::vector<int32_t> v = generate(g, CandidateMode::Inner, 1);
        return std::find(v.begin(), v.end(), cell) != v.end();
    };
    EXPECT_TRUE(listed(CandidateGenerator::Freestyle, at(7, 7)));
    EXPECT_FALSE(listed(CandidateGenerator::RenjuBlack, at(7, 7)));

    // The dispatcher: black gets the Renju-black generator, white the freestyle one.
    std::vector<int32_t> out(board::MaxCells);
    out.resize(generateRenjuCandidates(CandidateMode::Inner, 1, out.data(), board::MaxCells));
    EXPECT_EQ(out, generate(CandidateGenerator::RenjuBlack, CandidateMode::Inner, 1));
    board::engineBoard.firstPlayer = board::CellOpponent;
    out.resize(board::MaxCells);
    out.resize(generateRenjuCandidates(CandidateMode::Inner, 1, out.data(), board::MaxCells));
    EXPECT_EQ(out, generate(CandidateGenerator::Freestyle, CandidateMode::Inner, 1));

    // With a white stone beside it, the point is listed for black on white's value alone.
    board::engineBoard.firstPlayer = board::CellOwn;
    placeRows(8, 8, {"O"});
    placeRows(9, 9, {"O"});
    EXPECT_TRUE(listed(CandidateGenerator::RenjuBlack, at(7, 7)));
}

TEST_F(CandidatesTest, MatchesThePlainGeneratorOnRandomPositions) {
    std::mt19937 rng(20240611);
    for (int32_t trial = 0; trial < 120; ++trial) {
        const int32_t w = trial % 3 == 0 ? 20 : trial % 3 == 1 ? 15 : 7;
        testing::freshBoard(w, w);
        board::engineBoard.firstPlayer = 1 + trial % 2;
        const int32_t stones = 2 + static_cast<int32_t>(rng() % (w == 7 ? 30 : 50));
        // A cluster somewhere on the board, at times against an edge or in a corner.
        const int32_t span = w / 2 + 1;
        const int32_t x0 = rng() % (w - span + 1);
        const int32_t y0 = rng() % (w - span + 1);
        for (int32_t i = 0; i < stones; ++i) {
            const int32_t cell = at(x0 + rng() % span, y0 + rng() % span);
            if (board::engineBoard.cells[cell] == 0) board::setCell(cell, 1 + i % 2);
        }
        for (CandidateGenerator g : AllGenerators) {
            for (int32_t side : {1, 2}) {
                for (CandidateMode mode : {CandidateMode::Root, CandidateMode::Inner}) {
                    for (int32_t capacity : {10, 200}) {
                        const std::vector<int32_t> expected =
                            referenceCandidates(g, mode, side, capacity);
                        EXPECT_EQ(generate(g, mode, side, capacity), expected)
                            << "trial " << trial << " side " << side;
                        // The search scans only near the stones: three cells out at the root,
                        // two inside.
                        const ScanArea area = stonesWidenedBy(mode == CandidateMode::Root ? 3 : 2);
                        EXPECT_EQ(generateInArea(g, mode, side, capacity, area), expected)
                            << "trial " << trial << " side " << side;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace velka::search
