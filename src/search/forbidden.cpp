#include "search/forbidden.h"

#include <array>

#include "board/board.h"
#include "patterns/pattern_table.h"

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
bool keyCellPlayable(int32_t cell, int32_t direction, uint8_t key, int32_t colour) {
    if (key == patterns::NoKeyCell) return false;
    const int32_t target = cell + board::engineBoard.windowOffsets[direction][key];
    return !forbiddenIfPlayed(target, colour);
}

}  // namespace

bool isForbiddenPoint(int32_t cell) {
    const board::EngineBoard& b = board::engineBoard;
    const int32_t colour = b.cells[cell];
    if (colour != b.firstPlayer) return false;

    std::array<const patterns::PatternEntry*, board::DirectionCount> entry;
    std::array<ShapeClass, board::DirectionCount> shape;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        entry[d] = &patterns::patternEntry(board::windowCode(d, cell));
        shape[d] = patterns::exactShape(*entry[d]);
    }

    // The order is the rule: an exact five wins whatever else the stone makes; then overline and
    // two fours inside one line; then fours in two lines; only then the (costly) double three.
    int32_t fours = 0;
    int32_t threes = 0;
    for (const ShapeClass k : shape) {
        if (k == patterns::ShapeFive) return false;
    }
    for (const ShapeClass k : shape) {
        if (k == patterns::ShapeForbidden) return true;
        fours += isFour(k) ? 1 : 0;
        threes += isOpenThree(k) ? 1 : 0;
    }
    if (fours >= 2) return true;
    if (threes < 2) return false;

    // A three is real when black may play one of its (at most two) key cells; the second is
    // tried only when the first is missing or itself forbidden. The trial stones are placed and
    // removed by forbiddenIfPlayed, so the board is as before after every step.
    int32_t realThrees = 0;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        if (!isOpenThree(shape[d])) continue;
        const bool real = keyCellPlayable(cell, d, patterns::firstKeyCell(*entry[d]), colour) ||
                          keyCellPlayable(cell, d, patterns::secondKeyCell(*entry[d]), colour);
        if (real && ++realThrees == 2) return true;
    }
    return false;
}

bool forbiddenIfPlayed(int32_t cell, int32_t code) {
    // A key cell is always empty; refusing an occupied one keeps a wrong call from wiping a stone.
    if (board::engineBoard.cells[cell] != board::CellEmpty) return false;
    board::setCell(cell, code);
    const bool forbidden = isForbiddenPoint(cell);
    board::setCell(cell, board::CellEmpty);
    return forbidden;
}

}  // namespace velka::search
