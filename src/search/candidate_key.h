// What a cell is worth as a move for the side to move, as numbers that order the candidates
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

// A cell's worth as a move, as a rank: the forced kinds above every score (an own five, the block
// of the other side's five, an own winning four), then the score; 0 when the cell is worth nothing
// to either side. Ranks are 16 bits, so that a scan can take the best of eight cells at once.
inline constexpr int16_t FourRank = 1024;
inline constexpr int16_t BlockRank = 2048;
inline constexpr int16_t FiveRank = 3072;
static_assert(3 * StrongMoveValue <= FourRank, "scores stay under the forced ranks");

inline int16_t candidateRank(int32_t mine, int32_t theirs) {
    if (mine == patterns::MoveValueFive) return FiveRank;
    if (theirs == patterns::MoveValueFive) return BlockRank;
    if (mine == patterns::MoveValueWinningFour) return FourRank;
    return static_cast<int16_t>(mine + theirs == 0 ? 0 : candidateScore(mine, theirs));
}

// Whether among cells of equal rank the highest comes first (a block and a four: the rules keep
// the last such cell in index order) rather than the lowest.
inline bool highestFirst(int32_t rank) {
    return rank >= FourRank && rank < FiveRank;
}

// The whole order as one number, the larger key the better move: the rank, then the cell.
inline constexpr int32_t CandidateCellBits = 13;
inline constexpr uint32_t CandidateCellMask = (1u << CandidateCellBits) - 1;
static_assert(board::MaxCells <= 1 << CandidateCellBits);

inline uint32_t candidateKey(int32_t rank, int32_t cell) {
    const uint32_t order = static_cast<uint32_t>(cell);
    return static_cast<uint32_t>(rank) << CandidateCellBits |
           (highestFirst(rank) ? order : CandidateCellMask - order);
}

inline int32_t keyCell(uint32_t key) {
    const uint32_t low = key & CandidateCellMask;
    return static_cast<int32_t>(highestFirst(static_cast<int32_t>(key >> CandidateCellBits))
                                    ? low
                                    : CandidateCellMask - low);
}

}  // namespace velka::search
