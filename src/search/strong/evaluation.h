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

}  // namespace velka::search::strong
