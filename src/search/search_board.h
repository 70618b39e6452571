// A search thread's own board, with what a stone of either colour makes on every cell kept
// current as the search places and removes stones: the candidate scan and the evaluation read
// these cached shapes instead of four windows and eight table lookups per cell.
//
// Each cell keeps, per colour, the four classes (one per direction, as a ShapeQuadIndex) that a
// stone of that colour makes there under the field that colour is judged by; each empty cell how
// many stones lie within two cells along its lines (the inner candidates are the cells where that
// is not 0) and, per side to move, its candidate rank (what the cell is worth as that side's move;
// 0 on every cell that is no inner candidate). A stone on the board changes the windows of the
// cells up to five steps away along its four lines and nothing else, so placing one touches at
// most 40 cells:
//
//   - an empty cell's class in that direction is marked out of date (bit d of its stale byte),
//     and is looked up only when a candidate scan reaches the cell;
//   - a stone's class in that direction is looked up at once, and the evaluation's totals
//     (ShapeScore sums, fours and open fours per colour) follow it.
//
// Every touched cell is saved first, and removing the stone puts the saved cells and totals back,
// so a removal costs no lookup. What a scan refreshes between a placement and its removal is valid
// for the board of that moment and is put back with the rest; a cell whose stale byte is 0 is
// right for the board as it stands.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "patterns/rule_variant.h"
#include "patterns/shape_quad.h"
#include "search/candidate_key.h"

namespace velka::search {

// The deepest line of stones a search places (the root's stone and one per ply below it).
inline constexpr int32_t MaxPlacedStones = 256;
// Cells one placement saves: the stone's own, and the ten per direction whose windows it changes.
inline constexpr int32_t CellsTouchedPerStone =
    1 + board::DirectionCount * (board::WindowCells - 1);

inline constexpr uint8_t StaleDirections = 0x0F;  // bit d: the class in direction d
inline constexpr uint8_t StaleRanks = 0x10;       // the candidate ranks

// The evaluation's sums over the stones; index colour code - 1.
struct ShapeTotals {
    std::array<int32_t, 2> sum{};        // ShapeScore over the colour's stones and directions
    std::array<int32_t, 2> fours{};      // (stone, direction) pairs with ShapeFour
    std::array<int32_t, 2> openFours{};  // and with ShapeOpenFour
};

// How the rules judge a colour's stones: the class field (as a patterns::reducedShapeShift) and
// the table of move values (MoveValueTable, or BlackMoveValueTable for Renju black).
struct ColourRules {
    uint32_t shapeShift;
    const uint8_t* moveValues;
};

struct SavedCell {
    int32_t cell;
    std::array<uint32_t, 2> quads;
    std::array<int16_t, 2> ranks;
    uint8_t stale;
    uint8_t near;
};

struct PlacedStone {
    int32_t cell;
    int32_t savedFrom;   // its first entry in SearchBoard::saved
    ShapeTotals totals;  // before it was placed
};

struct SearchBoard {
    board::EngineBoard board;
    patterns::RuleVariant variant = patterns::RuleVariant::Freestyle;
    std::array<ColourRules, 2> rules{};
    // Per colour, per cell: what a stone of that colour makes there (on a stone's cell only its
    // own colour's classes are kept, and read).
    std::array<std::array<uint32_t, board::MaxCells>, 2> quads;
    // Per side to move, per cell: the candidate rank.
    std::array<std::array<int16_t, board::MaxCells>, 2> ranks;
    // Per cell, the StaleDirections and StaleRanks bits of what is out of date (0 on a stone's
    // cell); and per empty cell the stones within two cells along its lines (0 on a stone's cell).
    // Both are read eight cells at a time, hence the padding.
    std::array<uint8_t, board::MaxCells + 8> stale;
    std::array<uint8_t, board::MaxCells + 8> near;
    ShapeTotals totals;
    int32_t placedCount = 0;
    int32_t savedCount = 0;
    std::array<PlacedStone, MaxPlacedStones> placed;
    std::array<SavedCell, MaxPlacedStones * CellsTouchedPerStone> saved;
};

// The board becomes a copy of source, judged by the variant's rules (Renju: black, source's
// firstPlayer, by exactShape and BlackMoveValueTable, white by freeShape and MoveValueTable).
void resetSearchBoard(SearchBoard& sb, const board::EngineBoard& source,
                      patterns::RuleVariant variant);

// Class d (0..3) of a ShapeQuadIndex.
inline patterns::ShapeClass quadClass(uint32_t quad, int32_t d) {
    return static_cast<patterns::ShapeClass>((quad >> (5 * d)) & patterns::ShapeClassMask);
}

inline uint32_t withQuadClass(uint32_t quad, int32_t d, uint32_t k) {
    return (quad & ~(patterns::ShapeClassMask << (5 * d))) | (k << (5 * d));
}

inline bool quadHasClass(uint32_t quad, patterns::ShapeClass k) {
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        if (quadClass(quad, d) == k) return true;
    }
    return false;
}

// What a stone of colour with the classes quad is worth as a move under the rules.
inline int32_t moveValue(const SearchBoard& sb, int32_t colour, uint32_t quad) {
    return sb.rules[colour - 1].moveValues[patterns::groupQuadIndex(quad)];
}

// Looks up what is out of date on the empty cell.
inline void refreshShapes(SearchBoard& sb, int32_t cell) {
    uint32_t quad1 = sb.quads[0][cell];
    uint32_t quad2 = sb.quads[1][cell];
    const uint32_t stale = sb.stale[cell];
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        if ((stale & (1u << d)) == 0) continue;
        const uint32_t reduced = patterns::reducedWindows(board::windowCode(sb.board, d, cell));
        const uint32_t shapes1 = patterns::ReducedShapes[reduced & 0xFFFF];
        const uint32_t shapes2 = patterns::ReducedShapes[reduced >> 16];
        quad1 =
            withQuadClass(quad1, d, (shapes1 >> sb.rules[0].shapeShift) & patterns::ShapeClassMask);
        quad2 =
            withQuadClass(quad2, d, (shapes2 >> sb.rules[1].shapeShift) & patterns::ShapeClassMask);
    }
    sb.quads[0][cell] = quad1;
    sb.quads[1][cell] = quad2;
    sb.stale[cell] = 0;
    if (sb.near[cell] == 0) {  // no inner candidate (the root looks further out by itself)
        sb.ranks[0][cell] = 0;
        sb.ranks[1][cell] = 0;
        return;
    }
    const int32_t value1 = moveValue(sb, 1, quad1);
    const int32_t value2 = moveValue(sb, 2, quad2);
    sb.ranks[0][cell] = candidateRank(value1, value2);
    sb.ranks[1][cell] = candidateRank(value2, value1);
}

// Places a stone of colour (1 or 2) on the empty cell; removeStone takes back the last one placed.
void placeStone(SearchBoard& sb, int32_t cell, int32_t colour);
void removeStone(SearchBoard& sb, int32_t cell);

// The totals that placing a stone of colour on the empty cell would give, without placing it:
// for the last ply, where the stone would be placed only to be evaluated and taken back. The
// cell's shapes must be up to date (it was a candidate of the scan just made).
ShapeTotals totalsIfPlayed(const SearchBoard& sb, int32_t cell, int32_t colour);

}  // namespace velka::search
