#include "board/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "board/random.h"

namespace {

using namespace velka::board;

constexpr std::array<std::array<int32_t, 2>, DirectionCount> Steps = {
    {{1, 0}, {0, 1}, {-1, 1}, {1, 1}}};

// The window as it should read, walked cell by cell on the plain array.
uint32_t expectedWindow(int32_t d, int32_t x, int32_t y) {
    uint32_t code = 0;
    for (int32_t j = 0; j < WindowCells; ++j) {
        const int32_t cx = x + (j - WindowCentre) * Steps[d][0];
        const int32_t cy = y + (j - WindowCentre) * Steps[d][1];
        const uint32_t cell = onBoard(cx, cy) ? engineBoard.cells[cellIndex(cx, cy)] : CellOutside;
        code |= cell << (2 * j);
    }
    return code;
}

void expectAllWindows() {
    for (int32_t y = 0; y < engineBoard.height; ++y) {
        for (int32_t x = 0; x < engineBoard.width; ++x) {
            for (int32_t d = 0; d < DirectionCount; ++d) {
                ASSERT_EQ(windowCode(d, cellIndex(x, y)), expectedWindow(d, x, y))
                    << engineBoard.width << "x" << engineBoard.height << " cell (" << x << "," << y
                    << ") direction " << d;
            }
        }
    }
}

uint32_t windowOf(std::initializer_list<uint32_t> cells) {
    uint32_t code = 0;
    int j = 0;
    for (uint32_t c : cells) code |= c << (2 * j++);
    return code;
}

void fillRandomly(std::mt19937& rng, int32_t stones) {
    for (int32_t n = 0; n < stones; ++n) {
        const int32_t i = static_cast<int32_t>(rng() % engineBoard.cellCount);
        setCell(i, engineBoard.cells[i] == CellEmpty ? 1 + static_cast<int32_t>(rng() % 2) : 0);
    }
}

TEST(BoardWindows, SmallestBoardCornerWindow) {
    initBoard(5, 5);
    setCell(cellIndex(0, 0), CellOwn);
    setCell(cellIndex(1, 0), CellOpponent);
    setCell(cellIndex(3, 0), CellOwn);
    setCell(cellIndex(4, 0), CellOpponent);
    EXPECT_EQ(windowCode(0, cellIndex(0, 0)), windowOf({3, 3, 3, 3, 3, 1, 2, 0, 1, 2, 3}));
    EXPECT_EQ(windowCode(1, cellIndex(0, 0)), windowOf({3, 3, 3, 3, 3, 1, 0, 0, 0, 0, 3}));
    EXPECT_EQ(windowCode(0, cellIndex(4, 0)), windowOf({3, 1, 2, 0, 1, 2, 3, 3, 3, 3, 3}));
}

TEST(BoardWindows, LinesAreSeparatedAndDiagonalsAdjacent) {
    initBoard(20, 15);
    const auto& pos = engineBoard.linePos;
    EXPECT_EQ(pos[0][cellIndex(0, 1)] - pos[0][cellIndex(19, 0)], 6);
    EXPECT_EQ(pos[1][cellIndex(1, 0)] - pos[1][cellIndex(0, 14)], 6);
    EXPECT_EQ(pos[2][cellIndex(2, 1)], pos[2][cellIndex(3, 0)] + 1);
    EXPECT_EQ(pos[3][cellIndex(1, 1)], pos[3][cellIndex(0, 0)] + 1);
    EXPECT_EQ(pos[0][0], 5);
    EXPECT_EQ(pos[2][0], 5);
    EXPECT_EQ(pos[3][cellIndex(19, 0)], 5);

    setCell(cellIndex(0, 1), CellOwn);
    setCell(cellIndex(18, 0), CellOpponent);
    EXPECT_EQ(windowCode(0, cellIndex(19, 0)), windowOf({0, 0, 0, 0, 2, 0, 3, 3, 3, 3, 3}));
    EXPECT_EQ(windowCode(0, cellIndex(0, 1)), windowOf({3, 3, 3, 3, 3, 1, 0, 0, 0, 0, 0}));
}

// Every window of every cell matches a cell-by-cell walk, on shapes that stress the layout.
TEST(BoardWindows, AllWindowsMatchAfterRandomPlay) {
    std::mt19937 rng(7);
    const int32_t sizes[][2] = {{5, 5}, {20, 15}, {15, 20}, {80, 5}, {5, 80}, {19, 19}, {80, 80}};
    for (const auto& size : sizes) {
        initBoard(size[0], size[1]);
        expectAllWindows();
        fillRandomly(rng, engineBoard.cellCount);
        expectAllWindows();
        EXPECT_TRUE(boardIsConsistent());
    }
}

TEST(BoardLayout, LargestBoardStaysInsideTheStrings) {
    initBoard(80, 80);
    int32_t highest = 0;
    for (int32_t d = 0; d < DirectionCount; ++d) {
        std::vector<int32_t> used(engineBoard.linePos[d].begin(),
                                  engineBoard.linePos[d].begin() + engineBoard.cellCount);
        highest = std::max(highest, *std::max_element(used.begin(), used.end()));
        std::sort(used.begin(), used.end());
        EXPECT_EQ(std::adjacent_find(used.begin(), used.end()), used.end()) << "direction " << d;
        EXPECT_GE(used.front(), WindowCentre);
    }
    EXPECT_EQ(highest, 7194);
    // The last window reaches position 7199; its 4-byte load must end inside the string.
    EXPECT_LE((highest - WindowCentre) / 4 + 4, LineBytes);
    EXPECT_LT(highest + WindowCentre, LinePositions);
}

TEST(BoardState, PlaceAndRemoveRestoreEverything) {
    initBoard(15, 15);
    std::mt19937 rng(3);
    fillRandomly(rng, 60);
    const auto cells = engineBoard.cells;
    const uint64_t hash = engineBoard.hash;
    const auto lines = engineBoard.lineStrings;
    for (int32_t i = 0; i < engineBoard.cellCount; ++i) {
        if (engineBoard.cells[i] != CellEmpty) continue;
        setCell(i, CellOpponent);
        EXPECT_NE(engineBoard.hash, hash);
        setCell(i, CellEmpty);
    }
    EXPECT_EQ(engineBoard.cells, cells);
    EXPECT_EQ(engineBoard.hash, hash);
    EXPECT_EQ(engineBoard.lineStrings, lines);
}

TEST(BoardState, HashIsXorOfStoneKeysInAnyOrder) {
    initBoard(20, 20);
    std::vector<std::pair<int32_t, int32_t>> stones;
    for (int32_t i = 0; i < 40; ++i) stones.push_back({i * 7 % 400, 1 + i % 2});
    uint64_t expected = 0;
    for (auto [i, code] : stones) {
        setCell(i, code);
        expected ^= engineBoard.zobristKeys[code * MaxCells + i];
    }
    EXPECT_EQ(engineBoard.hash, expected);
    const auto cells = engineBoard.cells;

    clearBoard();
    EXPECT_EQ(engineBoard.hash, 0u);
    EXPECT_TRUE(boardIsConsistent());
    std::reverse(stones.begin(), stones.end());
    std::rotate(stones.begin(), stones.begin() + 13, stones.end());
    for (auto [i, code] : stones) setCell(i, code);
    EXPECT_EQ(engineBoard.hash, expected);
    EXPECT_EQ(engineBoard.cells, cells);

    // Same cell, other colour: a different position.
    setCell(stones[0].first, stones[0].second ^ 3);
    EXPECT_NE(engineBoard.hash, expected);
}

TEST(BoardState, ClearAfterPlayEmptiesTheBoard) {
    initBoard(80, 80);
    std::mt19937 rng(11);
    fillRandomly(rng, 3000);
    clearBoard();
    EXPECT_EQ(engineBoard.hash, 0u);
    EXPECT_EQ(std::count(engineBoard.cells.begin(),
                         engineBoard.cells.begin() + engineBoard.cellCount, CellEmpty),
              engineBoard.cellCount);
    EXPECT_TRUE(boardIsConsistent());

    // A smaller board after a large one: the old lines' positions read as outside.
    initBoard(6, 9);
    expectAllWindows();
    EXPECT_TRUE(boardIsConsistent());
}

TEST(BoardState, ConsistencyCheckCatchesCorruption) {
    initBoard(10, 10);
    setCell(cellIndex(4, 4), CellOwn);
    ASSERT_TRUE(boardIsConsistent());
    engineBoard.lineStrings[2][0] ^= 0x01;  // an outside position before the first line
    EXPECT_FALSE(boardIsConsistent());
    engineBoard.lineStrings[2][0] ^= 0x01;
    engineBoard.hash ^= 1;
    EXPECT_FALSE(boardIsConsistent());
    engineBoard.hash ^= 1;
    engineBoard.cells[cellIndex(4, 5)] = CellOpponent;  // written around setCell
    EXPECT_FALSE(boardIsConsistent());
}

TEST(BoardState, SnapshotRestoresPositionButNotCensus) {
    initBoard(15, 15);
    std::mt19937 rng(5);
    fillRandomly(rng, 30);
    saveBoard();
    const auto cells = engineBoard.cells;
    const uint64_t hash = engineBoard.hash;
    const auto lines = engineBoard.lineStrings;
    fillRandomly(rng, 30);
    takeCensus(CellOwn);
    const int32_t empty = engineBoard.emptyCount;
    restoreBoard();
    EXPECT_EQ(engineBoard.cells, cells);
    EXPECT_EQ(engineBoard.hash, hash);
    EXPECT_EQ(engineBoard.lineStrings, lines);
    EXPECT_EQ(engineBoard.emptyCount, empty);
    EXPECT_TRUE(boardIsConsistent());
}

TEST(BoardCensus, CountsAndFirstPlayer) {
    initBoard(15, 15);
    takeCensus(CellOwn);
    EXPECT_EQ(engineBoard.emptyCount, 225);
    EXPECT_EQ(engineBoard.firstPlayer, CellOwn);
    takeCensus(CellOpponent);
    EXPECT_EQ(engineBoard.firstPlayer, CellOpponent);

    setCell(cellIndex(7, 7), CellOpponent);
    takeCensus(CellOwn);
    EXPECT_EQ(engineBoard.opponentCount, 1);
    EXPECT_EQ(engineBoard.firstPlayer, CellOpponent);

    setCell(cellIndex(8, 8), CellOwn);
    takeCensus(CellOwn);
    EXPECT_EQ(engineBoard.firstPlayer, CellOwn);
    EXPECT_EQ(engineBoard.emptyCount, 223);
    EXPECT_EQ(engineBoard.ownCount, 1);

    setCell(cellIndex(0, 0), CellOwn);
    takeCensus(CellOpponent);
    EXPECT_EQ(engineBoard.firstPlayer, CellOwn);
}

TEST(BoardWindowOffsets, MatchTheWindowsForEachWidth) {
    buildWindowOffsets(20);
    for (int32_t j = 0; j < WindowCells; ++j) {
        EXPECT_EQ(engineBoard.windowOffsets[0][j], j - 5);
        EXPECT_EQ(engineBoard.windowOffsets[1][j], (j - 5) * 20);
        EXPECT_EQ(engineBoard.windowOffsets[2][j], (j - 5) * 19);
        EXPECT_EQ(engineBoard.windowOffsets[3][j], (j - 5) * 21);
    }
    // A window cell found through the offsets is the one the window code holds.
    std::mt19937 rng(9);
    for (int32_t side : {17, 33}) {
        initBoard(side, side);
        buildWindowOffsets(side);
        EXPECT_EQ(engineBoard.windowOffsetsWidth, side);
        fillRandomly(rng, side * side / 2);
        const int32_t centre = cellIndex(side / 2, side / 2);
        for (int32_t d = 0; d < DirectionCount; ++d) {
            const uint32_t code = windowCode(d, centre);
            for (int32_t j = 0; j < WindowCells; ++j) {
                const int32_t cell = centre + engineBoard.windowOffsets[d][j];
                EXPECT_EQ((code >> (2 * j)) & 3u, static_cast<uint32_t>(engineBoard.cells[cell]));
            }
        }
    }
}

TEST(Zobrist, KeysNonzeroUniqueAndOnlyForStones) {
    seedRandom(DefaultRandomSeed);
    initBoard(20, 20);
    const auto& keys = engineBoard.zobristKeys;
    std::vector<uint64_t> stoneKeys(keys.begin() + MaxCells, keys.begin() + 3 * MaxCells);
    EXPECT_EQ(std::count(stoneKeys.begin(), stoneKeys.end(), 0u), 0);
    std::sort(stoneKeys.begin(), stoneKeys.end());
    EXPECT_EQ(std::adjacent_find(stoneKeys.begin(), stoneKeys.end()), stoneKeys.end());
    for (int32_t i = 0; i < MaxCells; ++i) {
        ASSERT_EQ(keys[CellEmpty * MaxCells + i], 0u);
        ASSERT_EQ(keys[CellOutside * MaxCells + i], 0u);
    }
    // 75 random bits: the top key bits are used too.
    uint64_t bits = 0;
    for (uint64_t k : stoneKeys) bits |= k;
    EXPECT_EQ(bits, ~uint64_t{0});
}

TEST(Zobrist, SameSeedSameKeysNewBoardNewKeys) {
    seedRandom(12345);
    initBoard(15, 15);
    const auto first = engineBoard.zobristKeys;
    initBoard(15, 15);
    EXPECT_NE(engineBoard.zobristKeys, first);  // the generator moved on
    seedRandom(12345);
    initBoard(15, 15);
    EXPECT_EQ(engineBoard.zobristKeys, first);
    seedRandom(54321);
    initBoard(15, 15);
    EXPECT_NE(engineBoard.zobristKeys, first);
}

}  // namespace
