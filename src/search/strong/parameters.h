// Everything the strong search tunes, in one place: the evaluation's weights and the search's
// margins, reductions and limits.
#pragma once

#include <array>
#include <cstdint>

#include "patterns/rule_variant.h"
#include "search/strong/pattern_board.h"

namespace velka::search::strong {

// Scores: a five made on ply p (the root's move is ply 1) is worth MateValue - p to its side;
// every evaluation lies well inside MaxEvaluation.
inline constexpr int32_t MateValue = 30000;
inline constexpr int32_t MateBound = MateValue - 1024;  // from here on a score is a proven result
inline constexpr int32_t MaxEvaluation = 20000;
inline constexpr int32_t Infinite = MateValue + 1;

// The evaluation, for the side to move: its own counts (pattern_board.h's Feature) with the first
// weights, the other side's with the second, and a bonus for having the move. Fitted by velka-tune
// to the results of games (freestyle: 49000 positions of the strong search's own; Renju: 67000 of
// 2560 games, the strong search against itself and against the main search and the main search
// against itself, the tempo held); 300 points are odds of e to 1.
struct EvaluationWeights {
    std::array<int16_t, FeatureCount> own;
    std::array<int16_t, FeatureCount> other;
    int16_t tempo;
};

inline constexpr int32_t EvaluationScale = 300;

// Columns: open four, four, open three, three, open two, two, other two, one | three, double
// three, four, four-three.
inline constexpr EvaluationWeights FreestyleWeights = {
    {0, 53, 85, 12, 0, 9, 1, -2, -40, 30, -13, 66},
    {0, 72, 4, 12, -7, 1, 1, -2, 2, -33, -9, 82},
    13};
inline constexpr EvaluationWeights RenjuWeights = {{-4, 32, 37, 13, 7, 8, 4, 1, -2, 39, 14, 75},
                                                   {-9, 21, -31, 9, 2, 5, 3, 1, 49, 102, 29, 52},
                                                   -2};

// Exact five is judged by freestyle's weights: the shape classes already tell where an overline
// spoils a five, and a fit of its own (on 22000 positions) swung the score from one depth to the
// next three times as much as freestyle's and played about 200 Elo weaker against the main search.
constexpr const EvaluationWeights& weightsFor(patterns::RuleVariant variant) {
    return variant == patterns::RuleVariant::Renju ? RenjuWeights : FreestyleWeights;
}

// The deepest line: plies of the main iterations plus extensions and the quiescence over fours.
inline constexpr int32_t MaxStrongPly = 160;
inline constexpr int32_t MaxStrongDepth = 100;
// Below the horizon threats are played out at most this many plies deep, and at most this many of
// the side's double threats at a node.
inline constexpr int32_t QuiescencePlies = 8;
inline constexpr int32_t QuiescenceThreats = 3;
// Beyond the horizon, before a side is taken to lose, a victory by fours of its own is looked for,
// at most this many plies long and this many positions large.
inline constexpr int32_t VcfPlies = 15;
inline constexpr uint64_t VcfNodes = 200;
// Before the search, a victory by fours and open threes is looked for, at most this many plies
// long and this many positions large.
inline constexpr int32_t VctRootFirstPlies = 5;
inline constexpr int32_t VctRootPlies = 21;
inline constexpr uint64_t VctRootNodes = 1000000;
inline constexpr int32_t VctRootTimeShare = 10;  // per cent of the move's time left

// Below the root a node searches at most this many of its moves, best first (a principal
// variation node more). The cut is a blind spot that no depth mends, and an opponent that orders
// its moves otherwise plays into it. With six and ten the strong search scored lower against the
// main search in each of six matches (each within its error) and about 40 Elo lower against
// itself; with twenty and twenty-six no higher on 20 x 20.
inline constexpr int32_t InnerMoveLimit = 12;
inline constexpr int32_t PvMoveLimit = 18;

// Late-move reductions: from the move of this index on, at this depth or more, by one ply (two
// from the second index). Below the root they take every move the order placed, not only quiet
// ones: many moves of a middle game make or stop a three. With quiet moves alone reduced the
// search took two thirds more nodes to a depth, and against the main search under freestyle it
// needed twice the time to score what it scores now. Sparing the moves that make a four, or take
// a cell where the other side would make one, played no better against itself (-7 +- 43 Elo).
inline constexpr int32_t ReductionMoveIndex = 3;
inline constexpr int32_t DeepReductionMoveIndex = 10;
inline constexpr int32_t ReductionDepth = 3;
// Move-count pruning near the horizon: at depth d, quiet moves after the first
// MoveCountBase + d * d are not searched.
inline constexpr int32_t MoveCountBase = 4;
// Reverse futility pruning: at a node this close to the horizon, a side to move whose evaluation
// stands this margin a ply above beta is cut off without a move searched.
inline constexpr int32_t FutilityDepth = 3;
inline constexpr int32_t FutilityMargin = 120;
// Aspiration window around the last iteration's score.
inline constexpr int32_t AspirationWindow = 60;

// History: a bonus of depth * depth for a move that cut, kept within HistoryLimit.
inline constexpr int32_t HistoryLimit = 16384;

}  // namespace velka::search::strong
