#include "search/forbidden.h"

namespace velka::search {

namespace {

using patterns::ShapeClass;

bool isFour(ShapeClass k) {
    return k == patterns::ShapeOpenFour || k == patterns::ShapeFour;
}

// Only threes that one more stone turns into an open four take part in the double-three rule.
bool isOpenThree(ShapeClass k) {
    return k == patterns::ShapeThreeA || k == patterns::ShapeThreeB;
}

// Whether a black stone on the window's key cell (an index 0..10, NoKeyCell for none) would
// stand on an allowed point, i.e. whether the three really can be turned into an open four there.
bool keyCellPlayable(board::EngineBoard& b, int32_t cell, int32_t direction, uint8_t key,
                     int32_t colour) {
    if (key == patterns::NoKeyCell) return false;
    const int32_t target = cell + b.windowOffsets[direction][key];
    return !forbiddenIfPlayed(b, target, colour);
}

}  // namespace

ForbiddenByShapes forbiddenByShapes(const std::array<ShapeClass, board::DirectionCount>& k) {
    for (const ShapeClass c : k) {
        if (c == patterns::ShapeFive) return ForbiddenByShapes::Allowed;
    }
    int32_t fours = 0;
    int32_t threes = 0;
    for (const ShapeClass c : k) {
        if (c == patterns::ShapeForbidden) return ForbiddenByShapes::Forbidden;
        fours += isFour(c) ? 1 : 0;
        threes += isOpenThree(c) ? 1 : 0;
    }
    if (fours >= 2) return ForbiddenByShapes::Forbidden;
    return threes < 2 ? ForbiddenByShapes::Allowed : ForbiddenByShapes::ThreesDecide;
}

bool isForbiddenPoint(board::EngineBoard& b, int32_t cell) {
    const int32_t colour = b.cells[cell];
    if (colour != b.firstPlayer) return false;

    std::array<const patterns::PatternEntry*, board::DirectionCount> entry;
    std::array<ShapeClass, board::DirectionCount> shape;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        entry[d] = &patterns::patternEntry(board::windowCode(b, d, cell));
        shape[d] = patterns::exactShape(*entry[d]);
    }
    const ForbiddenByShapes byShapes = forbiddenByShapes(shape);
    if (byShapes != ForbiddenByShapes::ThreesDecide)
        return byShapes == ForbiddenByShapes::Forbidden;

    // A three is real when black may play one of its (at most two) key cells; the second is
    // tried only when the first is missing or itself forbidden. The trial stones are placed and
    // removed by forbiddenIfPlayed, so the board is as before after every step.
    int32_t realThrees = 0;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        if (!isOpenThree(shape[d])) continue;
        const bool real = keyCellPlayable(b, cell, d, patterns::firstKeyCell(*entry[d]), colour) ||
                          keyCellPlayable(b, cell, d, patterns::secondKeyCell(*entry[d]), colour);
        if (real && ++realThrees == 2) return true;
    }
    return false;
}

bool forbiddenIfPlayed(board::EngineBoard& b, int32_t cell, int32_t code) {
    // A key cell is always empty; refusing an occupied one keeps a wrong call from wiping a stone.
    if (b.cells[cell] != board::CellEmpty) return false;
    board::setCell(b, cell, code);
    const bool forbidden = isForbiddenPoint(b, cell);
    board::setCell(b, cell, board::CellEmpty);
    return forbidden;
}

}  // namespace velka::search
