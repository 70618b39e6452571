// The Renju forbidden-point test for black (the census' firstPlayer): overline, double four,
// double three with real threes (tried recursively through the three key cells).
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "patterns/pattern_table.h"

namespace velka::search {

// What a black stone's four exactShape classes say by themselves.
enum class ForbiddenByShapes { Allowed, Forbidden, ThreesDecide };

// The order is the rule: an exact five wins whatever else the stone makes; then overline and two
// fours inside one line; then fours in two lines; only then two open threes, whose key cells
// decide whether they are real threes (isForbiddenPoint tries them).
ForbiddenByShapes forbiddenByShapes(
    const std::array<patterns::ShapeClass, board::DirectionCount>& k);

// The cell holds a stone. True when it is black's and stands on a forbidden point. Places and
// removes trial stones; the board is exactly as before on return.
bool isForbiddenPoint(board::EngineBoard& b, int32_t cell);
// The cell is empty: puts the stone there, asks isForbiddenPoint, takes it off.
bool forbiddenIfPlayed(board::EngineBoard& b, int32_t cell, int32_t code);

}  // namespace velka::search
