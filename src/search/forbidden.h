// The Renju forbidden-point test for black (the census' firstPlayer): overline, double four,
// double three with real threes (tried recursively through the three key cells).
#pragma once

#include <cstdint>

namespace velka::search {

// The cell holds a stone. True when it is black's and stands on a forbidden point. Places and
// removes trial stones; the board is exactly as before on return.
bool isForbiddenPoint(int32_t cell);
// The cell is empty: puts the stone there, asks isForbiddenPoint, takes it off.
bool forbiddenIfPlayed(int32_t cell, int32_t code);

}  // namespace velka::search
