// What a cell is worth as a move for the side to move, as one number that orders the candidates
// exactly as the rules do (forced cells first, then by score, equal scores by the lower cell), so
// that a plain maximum picks the best and the order, and with it every node count, is the same
// with every compiler and every way of selecting.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "patterns/shape_quad.h"

namespace velka::search {

// Below a value of 200 a cell's score counts own shapes double; from 200 up (a four-three, two
// open threes, ...) the stronger side's value decides, own threats by a small margin.
inline constexpr int32_t StrongMoveValue = 200;
inline constexpr int32_t OwnStrongBonus = 4;

inline int32_t candidateScore(int32_t mine, int32_t theirs) {
    if (mine < StrongMoveValue && theirs < StrongMoveValue) return 2 * mine + theirs;
    return mine > theirs ? mine + OwnStrongBonus : theirs;
}

// A cell's worth as a move, as one number: the larger key is the better move. A cell that gives
// a five, blocks the other side's five or makes a winning four is forced, and the largest key
// picks among them as the rules do: an own five first (the lowest such cell), then the block (the
// highest), then the four (the highest). Below them the scored cells, by score and then the lower
// cell first. 0: the cell is worth nothing to either side.
inline constexpr int32_t CandidateCellBits = 13;
inline constexpr uint32_t CandidateCellMask = (1u << CandidateCellBits) - 1;
inline constexpr uint32_t ForcedKeyShift = 24;
inline constexpr uint32_t FourKey = 1u << ForcedKeyShift;
inline constexpr uint32_t BlockKey = 2u << ForcedKeyShift;
inline constexpr uint32_t FiveKey = 3u << ForcedKeyShift;
static_assert(board::MaxCells <= 1 << CandidateCellBits);
// Scores stay below 3 * StrongMoveValue, under the forced keys.
static_assert(3 * StrongMoveValue <= 1 << (ForcedKeyShift - CandidateCellBits));

inline uint32_t candidateKey(int32_t mine, int32_t theirs, int32_t cell) {
    const uint32_t lowerFirst = CandidateCellMask - static_cast<uint32_t>(cell);
    if (mine == patterns::MoveValueFive) return FiveKey | lowerFirst;
    if (theirs == patterns::MoveValueFive) return BlockKey | static_cast<uint32_t>(cell);
    if (mine == patterns::MoveValueWinningFour) return FourKey | static_cast<uint32_t>(cell);
    if (mine + theirs == 0) return 0;
    return static_cast<uint32_t>(candidateScore(mine, theirs)) << CandidateCellBits | lowerFirst;
}

inline int32_t keyCell(uint32_t key) {
    const uint32_t low = key & CandidateCellMask;
    const bool lowerFirst = key < FourKey || key >= FiveKey;
    return static_cast<int32_t>(lowerFirst ? CandidateCellMask - low : low);
}

}  // namespace velka::search
