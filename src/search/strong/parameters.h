// Everything the strong search tunes, in one place: the evaluation's weights and the search's
// margins, reductions and limits.
#pragma once

#include <array>
#include <cstdint>

#include "search/strong/pattern_board.h"

namespace velka::search::strong {

// Scores: a five made on ply p (the root's move is ply 1) is worth MateValue - p to its side;
// every evaluation lies well inside MaxEvaluation.
inline constexpr int32_t MateValue = 30000;
inline constexpr int32_t MateBound = MateValue - 1024;  // from here on a score is a proven result
inline constexpr int32_t MaxEvaluation = 20000;
inline constexpr int32_t Infinite = MateValue + 1;

// The evaluation, for the side to move: its own counts with the first weights, the other side's
// with the second, and a bonus for having the move. Line features (per empty cell and line, the
// class a stone there makes): ShapeOpenFour, ShapeFour, ShapeThreeA .. ShapeThreeD, ShapeTwoA ..
// ShapeTwoH, ShapeOneA .. ShapeOneE; then level features: cells at Three, DoubleThree, Four,
// FourThree, FlexFour.
struct EvaluationWeights {
    std::array<int16_t, FeatureCount> own;
    std::array<int16_t, FeatureCount> other;
    int16_t tempo;
};

inline constexpr EvaluationWeights Weights = {
    // OF   F   3A  3B  3C  3D  2A 2B 2C 2D 2E 2F 2G 2H 1A 1B 1C 1D 1E | 3  33  4  43   F4
    {80, 24, 16, 14, 5, 5, 4, 4, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1, 1, 10, 300, 8, 600, 1500},
    {70, 20, 12, 11, 4, 4, 3, 3, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 30, 200, 10, 300, 800},
    30,
};

// The deepest line: plies of the main iterations plus extensions and the quiescence over fours.
inline constexpr int32_t MaxStrongPly = 160;
inline constexpr int32_t MaxStrongDepth = 100;
// The quiescence searches at most this many of the side's fours at a node, and no deeper than
// this many plies below the horizon.
inline constexpr int32_t QuiescenceFours = 8;
inline constexpr int32_t QuiescencePlies = 24;

// Late-move reductions: from the move of this index on, at this depth or more, by one ply (two
// from the second index).
inline constexpr int32_t ReductionMoveIndex = 3;
inline constexpr int32_t DeepReductionMoveIndex = 10;
inline constexpr int32_t ReductionDepth = 3;
// Move-count pruning near the horizon: at depth d, quiet moves after the first
// MoveCountBase + d * d are not searched.
inline constexpr int32_t MoveCountBase = 4;
// Aspiration window around the last iteration's score.
inline constexpr int32_t AspirationWindow = 60;

// History: a bonus of depth * depth for a move that cut, kept within HistoryLimit.
inline constexpr int32_t HistoryLimit = 16384;

}  // namespace velka::search::strong
