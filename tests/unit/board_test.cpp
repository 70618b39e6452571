#include "board/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "board/random.h"

namespace {

using namespace velka::board;

// Reference: every window walked cell by cell on the plain array; the window offsets must name the
// same cells.
void expectAllWindows() {
    constexpr int32_t Steps[DirectionCount][2] = {{1, 0}, {0, 1}, {-1, 1}, {1, 1}};
    buildWindowOffsets(engineBoard.width);
    for (int32_t i = 0; i < engineBoard.cellCount; ++i) {
        const int32_t x = i % engineBoard.width, y = i / engineBoard.width;
        for (int32_t d = 0; d < DirectionCount; ++d) {
            uint32_t code = 0;
            for (int32_t j = 0; j < WindowCells; ++j) {
                const int32_t cx = x + (j - WindowCentre) * Steps[d][0];
                const int32_t cy = y + (j - WindowCentre) * Steps[d][1];
                if (!onBoard(cx, cy)) {
                    code |= uint32_t{CellOutside} << (2 * j);
                    continue;
                }
                code |= static_cast<uint32_t>(engineBoard.cells[cellIndex(cx, cy)]) << (2 * j);
                ASSERT_EQ(i + engineBoard.windowOffsets[d][j], cellIndex(cx, cy)) << d << j;
            }
            ASSERT_EQ(windowCode(d, i), code) << engineBoard.width << "x" << engineBoard.height
                                              << " (" << x << "," << y << ") direction " << d;
        }
    }
}

void fillRandomly(std::mt19937& rng, int32_t stones) {
    for (int32_t n = 0; n < stones; ++n) {
        const int32_t i = static_cast<int32_t>(rng() % engineBoard.cellCount);
        setCell(i, engineBoard.cells[i] == CellEmpty ? 1 + static_cast<int32_t>(rng() % 2) : 0);
    }
}

// Smaller boards follow larger ones: the old lines' positions must read as outside.
TEST(Board, AllWindowsMatchAfterPlayAndClear) {
    std::mt19937 rng(7);
    const int32_t sizes[][2] = {{5, 5}, {20, 15}, {15, 20}, {80, 5}, {5, 80}, {80, 80}, {6, 9}};
    for (const auto& size : sizes) {
        initBoard(size[0], size[1]);
        expectAllWindows();
        fillRandomly(rng, engineBoard.cellCount);
        expectAllWindows();
        EXPECT_TRUE(boardIsConsistent(engineBoard));
        clearBoard();
        EXPECT_EQ(engineBoard.hash, 0u);
        EXPECT_EQ(std::count(engineBoard.cells.begin(),
                             engineBoard.cells.begin() + engineBoard.cellCount, CellEmpty),
                  engineBoard.cellCount);
        EXPECT_TRUE(boardIsConsistent(engineBoard));
        for (const auto& positions : engineBoard.linePos) {  // the last window's 4-byte load
            const int32_t last =
                *std::max_element(positions.begin(), positions.begin() + engineBoard.cellCount);
            EXPECT_LE((last - WindowCentre) / 4 + 4, LineBytes);  // must end inside the string
        }
    }
}

TEST(Board, HashIsXorOfStoneKeysAndACopyIsABoardOfItsOwn) {
    initBoard(15, 15);
    std::mt19937 rng(3);
    fillRandomly(rng, 60);
    uint64_t expected = 0;
    for (int32_t i = 0; i < engineBoard.cellCount; ++i)
        expected ^= engineBoard.zobristKeys[engineBoard.cells[i] * MaxCells + i];
    EXPECT_EQ(engineBoard.hash, expected);

    // A copy plays on by itself, with the same keys and windows; its window offsets are for its
    // width whatever the source's say.
    takeCensus(CellOwn);
    static EngineBoard copy;
    buildWindowOffsets(20);
    copyBoard(copy, engineBoard);
    EXPECT_EQ(copy.windowOffsets, makeWindowOffsets(15));
    EXPECT_EQ(copy.firstPlayer, engineBoard.firstPlayer);
    EXPECT_TRUE(boardIsConsistent(copy));
    const auto cells = engineBoard.cells;
    for (int32_t i = 0; i < copy.cellCount * DirectionCount; ++i)
        ASSERT_EQ(windowCode(copy, i % 4, i / 4), windowCode(i % 4, i / 4));
    for (int32_t i = 0; i < copy.cellCount; ++i) {
        if (copy.cells[i] == CellEmpty) setCell(copy, i, CellOwn);
    }
    EXPECT_TRUE(boardIsConsistent(copy));
    EXPECT_EQ(engineBoard.cells, cells);
    EXPECT_EQ(engineBoard.hash, expected);

    // The check the other tests rely on sees each kind of corruption.
    ASSERT_TRUE(boardIsConsistent(engineBoard));
    engineBoard.lineStrings[2][0] ^= 0x01;  // an outside position before the first line
    EXPECT_FALSE(boardIsConsistent(engineBoard));
    engineBoard.lineStrings[2][0] ^= 0x01;
    engineBoard.hash ^= 1;
    EXPECT_FALSE(boardIsConsistent(engineBoard));
    engineBoard.hash ^= 1;
    engineBoard.cells[0] = engineBoard.cells[0] == CellOwn ? CellOpponent : CellOwn;  // no setCell
    EXPECT_FALSE(boardIsConsistent(engineBoard));
}

// The census counts the stones; the first player is the side with more stones, or the given
// default on equal counts.
TEST(Board, CensusCountsAndFirstPlayer) {
    initBoard(15, 15);
    // Rows: x, y, code placed (x < 0: none), default first player, first player, empty cells.
    const int32_t steps[][6] = {
        {-1, 0, 0, 2, 2, 225}, {7, 7, 2, 1, 2, 224}, {8, 8, 1, 1, 1, 223}, {0, 0, 1, 2, 1, 222}};
    for (const auto& s : steps) {
        if (s[0] >= 0) setCell(cellIndex(s[0], s[1]), s[2]);
        takeCensus(s[3]);
        EXPECT_EQ(engineBoard.firstPlayer, s[4]) << s[0];
        EXPECT_EQ(engineBoard.emptyCount, s[5]) << s[0];
    }
    EXPECT_EQ(engineBoard.ownCount, 2);
    EXPECT_EQ(engineBoard.opponentCount, 1);
}

// Stone keys: none zero, no two alike, all 64 bits used, the same for the same seed (the node
// signature depends on it); empty and outside cells have none.
TEST(Zobrist, KeysUniqueNonzeroForStonesOnlyAndSameForTheSameSeed) {
    seedRandom(DefaultRandomSeed);
    initBoard(20, 20);
    const auto keys = engineBoard.zobristKeys;
    std::vector<uint64_t> stoneKeys(keys.begin() + MaxCells, keys.begin() + 3 * MaxCells);
    std::sort(stoneKeys.begin(), stoneKeys.end());
    EXPECT_NE(stoneKeys.front(), 0u);
    EXPECT_EQ(std::adjacent_find(stoneKeys.begin(), stoneKeys.end()), stoneKeys.end());
    EXPECT_EQ(std::count(keys.begin(), keys.end(), 0u), 2 * MaxCells);
    uint64_t bits = 0;
    for (uint64_t k : stoneKeys) bits |= k;
    EXPECT_EQ(bits, ~uint64_t{0});
    seedRandom(DefaultRandomSeed);
    initBoard(15, 15);
    EXPECT_EQ(engineBoard.zobristKeys, keys);
}

}  // namespace
