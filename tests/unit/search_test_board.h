// Board set-up helpers shared by the search tests: positions drawn as text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/random.h"
#include "patterns/pattern_table.h"
#include "search/memory.h"

namespace velka::testing {

// An empty board of the given size, with keys from a fixed seed.
inline void freshBoard(int32_t width, int32_t height) {
    board::seedRandom(board::DefaultRandomSeed);
    board::initBoard(width, height);
    board::buildWindowOffsets(width);
}

// Rows of text from (x0, y0): 'X' the engine's stone (1), 'O' the opponent's (2), anything else
// leaves the cell as it is.
inline void placeRows(int32_t x0, int32_t y0, std::initializer_list<const char*> rows) {
    int32_t y = y0;
    for (const char* row : rows) {
        for (int32_t x = x0; row[x - x0] != '\0'; ++x) {
            const char c = row[x - x0];
            if (c == 'X' || c == 'O') {
                board::setCell(board::cellIndex(x, y),
                               c == 'X' ? board::CellOwn : board::CellOpponent);
            }
        }
        ++y;
    }
}

inline int32_t at(int32_t x, int32_t y) {
    return board::cellIndex(x, y);
}

// Everything the search may touch: cells, hash and line strings.
struct BoardImage {
    std::array<int32_t, board::MaxCells> cells;
    uint64_t hash;
    std::array<board::LineString, board::DirectionCount> lines;
};

inline BoardImage boardImage() {
    return {board::engineBoard.cells, board::engineBoard.hash, board::engineBoard.lineStrings};
}

inline bool sameImage(const BoardImage& a, const BoardImage& b) {
    return a.cells == b.cells && a.hash == b.hash && a.lines == b.lines;
}

// A small table, wiped: every search test starts from an empty memory.
inline void freshMemory() {
    search::sizeMemoryWithWorkingSet(16u << 20, 0);
    search::wipeMemory();
}

}  // namespace velka::testing
