// The score scale of the searches: signed 32-bit, seen from the side to move, negated per ply.
#pragma once

#include <cstdint>

namespace velka::search {

inline constexpr int32_t WinScore = 1916032632;
inline constexpr int32_t LossScore = -WinScore;
// A static verdict one short of the proven results: the side to move holds a four (or the other
// side an open four).
inline constexpr int32_t NearWinScore = WinScore - 1;
inline constexpr int32_t NearLossScore = -NearWinScore;
// No value: a memory miss, or a verdict that the game goes on. Never a move's score; the bytes of
// a wiped memory entry (0x7F each) spell it.
inline constexpr int32_t NoScore = 0x7F7F7F7F;
static_assert(NoScore == 2139062143 && NoScore > WinScore);

}  // namespace velka::search
