// The strong search's evaluation: what each side can still make on the empty cells, weighed, seen
// from the side to move.
#pragma once

#include <cstdint>

#include "search/strong/parameters.h"
#include "search/strong/pattern_board.h"

namespace velka::search::strong {

inline int32_t evaluate(const PatternBoard& pb, int32_t side) {
    const EvaluationWeights& weights = weightsFor(pb.variant);
    const Features& own = pb.features[side - 1];
    const Features& other = pb.features[2 - side];
    int32_t score = weights.tempo;
    for (int32_t f = 0; f < FeatureCount; ++f) {
        score += weights.own[f] * own[f] - weights.other[f] * other[f];
    }
    return score < -MaxEvaluation ? -MaxEvaluation : score > MaxEvaluation ? MaxEvaluation : score;
}

// Whether a node depth plies above the horizon, whose side to move has the evaluation given, keeps
// beta without a move searched: having the move is worth at least the margin a ply, unless the
// other side's next move makes a threat that wins by force (an open four, a four-three, two open
// threes) or the window is about a proven result.
inline bool futile(const PatternBoard& pb, int32_t side, int32_t depth, int32_t beta,
                   int32_t evaluation) {
    const int32_t other = side ^ 3;
    return depth <= FutilityDepth && beta > -MateBound && beta < MateBound &&
           evaluation - FutilityMargin * depth >= beta &&
           cellsAt(pb, other, LevelFlexFour).count == 0 &&
           cellsAt(pb, other, LevelFourThree).count == 0 &&
           cellsAt(pb, other, LevelDoubleThree).count == 0;
}

}  // namespace velka::search::strong
