// Board set-up for the search tests, and a guard that the code under test restores the board.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "board/board.h"
#include "board/random.h"
#include "search/decide.h"
#include "search/memory.h"
#include "search/search_board.h"
#include "search/time_control.h"

namespace velka::testing {

using Cells = std::initializer_list<std::pair<int32_t, int32_t>>;

// Each rule with each colour as black where the colours' rules differ (colour 1 the engine's).
struct Rules {
    patterns::RuleVariant variant;
    int32_t black;
};
inline constexpr Rules AllRules[] = {{patterns::RuleVariant::Freestyle, 1},
                                     {patterns::RuleVariant::ExactFive, 2},
                                     {patterns::RuleVariant::Renju, 1},
                                     {patterns::RuleVariant::Renju, 2}};

// An empty board with keys from a fixed seed.
inline void freshBoard(int32_t width, int32_t height) {
    board::seedRandom(board::DefaultRandomSeed);
    board::initBoard(width, height);
    board::buildWindowOffsets(width);
}

inline int32_t at(int32_t x, int32_t y) {
    return board::cellIndex(x, y);
}

// Rows of text from (x0, y0): 'X' the engine's stone, 'O' the opponent's, anything else skipped.
inline void placeRows(int32_t x0, int32_t y0, std::initializer_list<std::string_view> rows) {
    int32_t y = y0;
    for (std::string_view row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (row[i] != 'X' && row[i] != 'O') continue;
            board::setCell(at(x0 + static_cast<int32_t>(i), y),
                           row[i] == 'X' ? board::CellOwn : board::CellOpponent);
        }
        ++y;
    }
}

inline void put(Cells cells, int32_t code) {
    for (const auto& [x, y] : cells) board::setCell(at(x, y), code);
}

// Fails the test unless the board is as it was when the guard was made: everything a search may
// touch, cells, hash and line strings.
struct BoardUnchanged {
    const board::EngineBoard& b = board::engineBoard;
    const std::array<int32_t, board::MaxCells> cells = b.cells;
    const uint64_t hash = b.hash;
    const std::array<board::LineString, board::DirectionCount> lines = b.lineStrings;
    ~BoardUnchanged() {
        EXPECT_TRUE(cells == b.cells && hash == b.hash && lines == b.lineStrings);
        EXPECT_TRUE(board::boardIsConsistent(b));
    }
};

// The engine's board as a search thread takes it, judged by the variant's rules. One board for
// all callers: each call starts it afresh.
inline search::SearchBoard& searchBoard(patterns::RuleVariant variant) {
    static search::SearchBoard sb;
    search::resetSearchBoard(sb, board::engineBoard, variant);
    return sb;
}

// The player the tests of one program think with: its memory, clock, searches (it is large, so
// there is one).
inline search::Player& player() {
    static search::Player thePlayer;
    return thePlayer;
}

// A turn's clock that started now with the given budget, whatever the settings say.
inline void startClock(int32_t budgetMs) {
    search::GameClock& clock = player().control.clock;
    clock.turnStart.store(search::clockMs());
    clock.turnBudget.store(budgetMs);
}

// A small table, wiped: every search starts from an empty memory, as at each move of a game.
inline void freshMemory() {
    search::sizeMemoryWithWorkingSet(player().memory, 16u << 20, 0);
    search::wipeMemory(player().memory);
}

}  // namespace velka::testing
