#include "search/search_board.h"

#include <bit>

namespace velka::search {

using board::CellEmpty;
using patterns::RuleVariant;
using patterns::ShapeField;

namespace {

constexpr ColourRules rulesOf(ShapeField field, const uint8_t* moveValues) {
    return {patterns::reducedShapeShift(field), moveValues};
}

// A window's cells by content, one bit per cell at bit 2j (the low bit of cell j's code).
constexpr uint32_t CellBits = 0x155555;
constexpr uint32_t CentreBit = 1u << (2 * board::WindowCentre);
constexpr uint32_t WithinTwoBits = 1u << 6 | 1u << 8 | 1u << 12 | 1u << 14;  // cells 3, 4, 6, 7
// Cell 10 of a lineSegment is the cell the segment is read for.
constexpr int32_t SegmentMiddle = 2 * board::WindowCentre;

uint32_t emptyCells(uint32_t window) {
    return ~(window | window >> 1) & CellBits;
}
uint32_t stoneCells(uint32_t window) {
    return (window ^ window >> 1) & CellBits & ~CentreBit;
}

int32_t windowCell(uint32_t bits) {
    return std::countr_zero(bits) / 2;
}

// The window of the cell at index j of the segment's middle cell's window.
uint32_t windowIn(uint64_t segment, int32_t j) {
    return static_cast<uint32_t>(segment >> (2 * j)) & 0x3FFFFF;
}

void addStone(ShapeTotals& t, int32_t colour, uint32_t quad) {
    const int32_t i = colour - 1;
    t.sum[i] += patterns::shapeSum(quad);
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        t.fours[i] += quadClass(quad, d) == patterns::ShapeFour ? 1 : 0;
        t.openFours[i] += quadClass(quad, d) == patterns::ShapeOpenFour ? 1 : 0;
    }
}

SavedCell savedCell(const SearchBoard& sb, int32_t cell) {
    return {cell,
            {sb.quads[0][cell], sb.quads[1][cell]},
            {sb.ranks[0][cell], sb.ranks[1][cell]},
            sb.stale[cell],
            sb.near[cell]};
}

// The totals when a stone of colour with the classes quad gets class k in direction d.
void changeClass(ShapeTotals& t, uint32_t quad, int32_t colour, int32_t d, patterns::ShapeClass k) {
    const int32_t i = colour - 1;
    const patterns::ShapeClass old = quadClass(quad, d);
    t.sum[i] += patterns::ShapeScore[k] - patterns::ShapeScore[old];
    t.fours[i] += (k == patterns::ShapeFour ? 1 : 0) - (old == patterns::ShapeFour ? 1 : 0);
    t.openFours[i] +=
        (k == patterns::ShapeOpenFour ? 1 : 0) - (old == patterns::ShapeOpenFour ? 1 : 0);
}

// The stone on the cell (colour code) now has class k in direction d.
void changeStoneClass(SearchBoard& sb, int32_t cell, int32_t colour, int32_t d,
                      patterns::ShapeClass k) {
    uint32_t& quad = sb.quads[colour - 1][cell];
    if (quadClass(quad, d) == k) return;
    changeClass(sb.totals, quad, colour, d, k);
    quad = withQuadClass(quad, d, k);
}

}  // namespace

void resetSearchBoard(SearchBoard& sb, const board::EngineBoard& source, RuleVariant variant) {
    using patterns::BlackMoveValueTable;
    using patterns::MoveValueTable;
    board::copyBoard(sb.board, source);
    const board::EngineBoard& b = sb.board;
    sb.variant = variant;
    for (int32_t colour = 1; colour <= 2; ++colour) {
        ColourRules& rules = sb.rules[colour - 1];
        switch (variant) {
            case RuleVariant::Freestyle:
                rules = rulesOf(ShapeField::Free, MoveValueTable.data());
                break;
            case RuleVariant::ExactFive:
                rules = rulesOf(ShapeField::Exact, MoveValueTable.data());
                break;
            case RuleVariant::Renju:
                rules = colour == b.firstPlayer
                            ? rulesOf(ShapeField::Exact, BlackMoveValueTable.data())
                            : rulesOf(ShapeField::Free, MoveValueTable.data());
                break;
        }
    }
    sb.totals = {};
    sb.placedCount = 0;
    sb.savedCount = 0;
    // Empty cells are looked up when a scan first reaches them; stones at once.
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        for (int32_t i = 0; i < 2; ++i) {
            sb.quads[i][cell] = 0;
            sb.ranks[i][cell] = 0;
        }
        sb.stale[cell] = b.cells[cell] == CellEmpty ? StaleDirections | StaleRanks : 0;
        sb.near[cell] = 0;
    }
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        const int32_t colour = b.cells[cell];
        if (colour == CellEmpty) continue;
        uint32_t quad = 0;
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            const uint32_t window = board::windowCode(b, d, cell);
            quad = withQuadClass(
                quad, d, patterns::stoneShape(window, colour, sb.rules[colour - 1].shapeShift));
            for (uint32_t bits = emptyCells(window) & WithinTwoBits; bits != 0; bits &= bits - 1) {
                ++sb.near[cell + b.windowOffsets[d][windowCell(bits)]];
            }
        }
        sb.quads[colour - 1][cell] = quad;
        addStone(sb.totals, colour, quad);
    }
}

void placeStone(SearchBoard& sb, int32_t cell, int32_t colour) {
    if (sb.stale[cell] != 0) refreshShapes(sb, cell);
    board::EngineBoard& b = sb.board;
    sb.placed[sb.placedCount++] = {cell, sb.savedCount, sb.totals};
    SavedCell* saved = sb.saved.data() + sb.savedCount;
    *saved++ = savedCell(sb, cell);
    sb.near[cell] = 0;
    sb.ranks[0][cell] = 0;
    sb.ranks[1][cell] = 0;
    board::setCell(b, cell, colour);
    // The stone makes what a stone of its colour on the empty cell would have made.
    addStone(sb.totals, colour, sb.quads[colour - 1][cell]);
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        const uint64_t segment = board::lineSegment(b, d, cell);
        const uint32_t window = windowIn(segment, board::WindowCentre);
        const std::array<int32_t, board::WindowCells>& offsets = b.windowOffsets[d];
        for (uint32_t bits = emptyCells(window); bits != 0; bits &= bits - 1) {
            const int32_t n = cell + offsets[windowCell(bits)];
            *saved++ = savedCell(sb, n);
            sb.stale[n] |= static_cast<uint8_t>(1u << d) | StaleRanks;
            sb.near[n] += (bits & (0u - bits) & WithinTwoBits) != 0 ? 1 : 0;
        }
        for (uint32_t bits = stoneCells(window); bits != 0; bits &= bits - 1) {
            const int32_t j = windowCell(bits);
            const int32_t n = cell + offsets[j];
            const int32_t owner = static_cast<int32_t>((window >> (2 * j)) & 3);
            *saved++ = savedCell(sb, n);
            changeStoneClass(
                sb, n, owner, d,
                patterns::stoneShape(windowIn(segment, j), owner, sb.rules[owner - 1].shapeShift));
        }
    }
    sb.savedCount = static_cast<int32_t>(saved - sb.saved.data());
}

ShapeTotals totalsIfPlayed(const SearchBoard& sb, int32_t cell, int32_t colour) {
    const board::EngineBoard& b = sb.board;
    ShapeTotals t = sb.totals;
    addStone(t, colour, sb.quads[colour - 1][cell]);
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        // The line as it would be with the stone (the middle of the segment).
        const uint64_t segment = board::lineSegment(b, d, cell) | static_cast<uint64_t>(colour)
                                                                      << (2 * SegmentMiddle);
        const uint32_t window = windowIn(segment, board::WindowCentre);
        for (uint32_t bits = stoneCells(window); bits != 0; bits &= bits - 1) {
            const int32_t j = windowCell(bits);
            const int32_t n = cell + b.windowOffsets[d][j];
            const int32_t owner = static_cast<int32_t>((window >> (2 * j)) & 3);
            changeClass(
                t, sb.quads[owner - 1][n], owner, d,
                patterns::stoneShape(windowIn(segment, j), owner, sb.rules[owner - 1].shapeShift));
        }
    }
    return t;
}

void removeStone(SearchBoard& sb, int32_t cell) {
    board::setCell(sb.board, cell, CellEmpty);
    const PlacedStone& stone = sb.placed[--sb.placedCount];
    for (int32_t i = sb.savedCount - 1; i >= stone.savedFrom; --i) {
        const SavedCell& s = sb.saved[i];
        sb.stale[s.cell] = s.stale;
        sb.near[s.cell] = s.near;
        for (int32_t c = 0; c < 2; ++c) {
            sb.quads[c][s.cell] = s.quads[c];
            sb.ranks[c][s.cell] = s.ranks[c];
        }
    }
    sb.savedCount = stone.savedFrom;
    sb.totals = stone.totals;
}

}  // namespace velka::search
