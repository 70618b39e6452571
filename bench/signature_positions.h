// The fixed middle-game positions whose node counts are the searches' signatures, shared by the
// benchmark (which searches them to depth 9, and with the strong search to depth 8) and the unit
// test that guards the counts (the main search's at a smaller depth, the strong search's whole).
#pragma once

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/random.h"
#include "patterns/pattern_table.h"
#include "search/memory.h"

namespace velka::signature {

struct Position {
    const char* name;
    int32_t side;
    patterns::RuleVariant variant;
    // The game so far, "x,y" from the first stone; the engine is the side to move.
    const char* moves;
};

// Positions from short games of the engine against itself (four random stones near the centre,
// then depth-4 searches), taken where neither side has a forced reply. An even number of stones
// puts the engine on black (Renju), an odd number on white.
inline constexpr std::array<Position, 10> Positions = {{
    {"15 freestyle a", 15, patterns::RuleVariant::Freestyle,
     "6,8 7,7 5,5 6,9 7,9 5,7 6,7 5,8 5,10 7,10 4,7 6,6 7,5 6,5 6,4 10,10 4,6 7,3"},
    {"15 freestyle b", 15, patterns::RuleVariant::Freestyle,
     "6,6 6,7 5,7 7,6 7,5 4,8 5,8 5,6 4,5 6,5 4,7 8,7 5,4 3,6 4,4 4,6 3,4 2,4 4,3"},
    {"15 exact five a", 15, patterns::RuleVariant::ExactFive,
     "9,6 6,9 7,7 7,6 9,5 9,7 8,6 6,8 6,7 6,10 8,8 8,7 9,9 6,6 6,12 8,10 10,6 5,10 7,10 7,9"},
    {"15 exact five b", 15, patterns::RuleVariant::ExactFive,
     "6,6 6,7 5,7 7,6 7,5 4,8 5,8 5,6 4,5 6,5 4,7 8,7 5,4 3,6 4,4 4,6 3,4 2,4 4,3 7,4 2,5 1,6 "
     "2,6 3,5 6,3"},
    {"15 renju black", 15, patterns::RuleVariant::Renju,
     "9,6 6,9 7,7 7,6 9,5 9,7 8,6 6,8 6,7 6,10 8,8 8,7 9,9 6,6 6,12 8,10 10,6 5,10 11,11 10,10"},
    {"15 renju white", 15, patterns::RuleVariant::Renju,
     "6,6 6,7 5,7 7,6 7,5 4,8 5,8 5,6 4,5 6,5 4,7 8,7 5,4 8,4 6,9 3,6 4,6 8,3 8,5 7,4 9,2 9,4 "
     "10,4 10,5 7,2"},
    {"20 freestyle", 20, patterns::RuleVariant::Freestyle,
     "11,11 9,12 10,9 9,8 9,9 8,8 11,9 8,9 11,10 11,8 10,8 10,7 12,9 13,9 7,10 8,10 8,11 8,6 8,7 "
     "11,6 12,5 10,6 9,6 9,7 11,5 11,7"},
    {"20 exact five", 20, patterns::RuleVariant::ExactFive,
     "8,10 9,9 11,10 10,12 8,9 8,8 10,10 9,10 9,8 10,7 8,12 9,11 9,13 8,11 7,11 10,14 10,9 8,7 "
     "7,10 7,7 9,7"},
    {"20 renju black", 20, patterns::RuleVariant::Renju,
     "9,9 9,10 8,10 10,9 10,8 7,11 8,11 8,9 7,8 9,8 7,10 11,10 8,7 11,7 9,12 6,9 7,9 11,6 11,8 "
     "10,7 12,5 12,7 13,7 13,8"},
    {"20 renju white", 20, patterns::RuleVariant::Renju,
     "11,11 9,12 10,9 9,8 9,9 8,8 11,9 8,9 11,10 11,8 10,8 10,7 12,9 13,9 7,10 8,10 8,11 8,5 "
     "11,13 11,12 8,6 9,7 10,11 9,11 10,12 10,10 12,11"},
}};

// The search's signature: the nodes to this depth, summed over the positions, with a memory of
// 2^24 entries (the engine's default; the table size is part of the signature). The strong
// search's signature is its own nodes to its own depth on the same positions, with one thread: a
// position that it wins by threats before the iterations counts the threat search's nodes.
inline constexpr int32_t SignatureDepth = 9;
inline constexpr int32_t StrongSignatureDepth = 8;

inline std::vector<int32_t> parseMoves(const Position& p) {
    std::vector<int32_t> cells;
    std::istringstream in(p.moves);
    std::string pair;
    while (in >> pair) {
        const size_t comma = pair.find(',');
        const int32_t x = std::stoi(pair.substr(0, comma));
        const int32_t y = std::stoi(pair.substr(comma + 1));
        cells.push_back(x + y * p.side);
    }
    return cells;
}

// The board as a turn finds it: the variant's tables (built once before), fixed keys, the
// stones, the census, a wiped memory.
inline void setUpPosition(const Position& p, search::SearchMemory& memory) {
    patterns::refreshPatternTables(p.variant);
    board::seedRandom(board::DefaultRandomSeed);
    board::initBoard(p.side, p.side);
    board::buildWindowOffsets(p.side);
    const std::vector<int32_t> moves = parseMoves(p);
    const size_t n = moves.size();
    for (size_t i = 0; i < n; ++i) {
        board::setCell(moves[i], (n - i) % 2 == 0 ? board::CellOwn : board::CellOpponent);
    }
    board::takeCensus(board::CellOwn);
    search::wipeMemory(memory);
}

}  // namespace velka::signature
