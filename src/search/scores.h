// The score scale of the searches: signed 32-bit, seen from the side to move, negated per ply.
#pragma once

#include <cstdint>

namespace velka::search {

inline constexpr int32_t WinScore = 1916032632;
inline constexpr int32_t LossScore = -WinScore;
inline constexpr int32_t NearWinScore = 1916032631;
inline constexpr int32_t NearLossScore = -1916032631;
// No value: a memory miss, or a verdict that the game goes on. Never a move's score.
inline constexpr int32_t NoScore = 2139062143;

}  // namespace velka::search
