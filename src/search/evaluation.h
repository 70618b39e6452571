// Leaf verdict (has the last stone ended the game?) and static evaluation, per rule variant.
//
// Both read nothing but the board's line windows and the pattern tables: the class of a stone in
// a direction is the PatternEntry of its window (the stone already sits in the centre).
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"
#include "search/scores.h"

namespace velka::search {

// LossScore, WinScore (Renju: the last stone was a forbidden black move) or NoScore, seen from
// the side to move after the stone on lastMove.
int32_t leafVerdict(patterns::RuleVariant variant, int32_t lastMove);
int32_t staticEvaluation(patterns::RuleVariant variant, int32_t side);

// The hot-path forms, shared with the search; the two functions above dispatch to them.

// True when the stone on the cell completes five in field F in one of its four lines.
template <patterns::ShapeField F>
inline bool stoneMakesFive(int32_t cell) {
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        if (patterns::shapeOf<F>(patterns::patternEntry(board::windowCode(d, cell))) ==
            patterns::ShapeFive) {
            return true;
        }
    }
    return false;
}

// What one stone adds to its colour's evaluation: its ShapeSumTable value and whether it carries
// a four or an open four in some line.
struct StoneShapes {
    int32_t sum;
    bool four;
    bool openFour;
};

template <patterns::ShapeField F>
inline StoneShapes stoneShapes(int32_t cell) {
    using namespace patterns;
    const uint32_t k0 = shapeOf<F>(patternEntry(board::windowCode(0, cell)));
    const uint32_t k1 = shapeOf<F>(patternEntry(board::windowCode(1, cell)));
    const uint32_t k2 = shapeOf<F>(patternEntry(board::windowCode(2, cell)));
    const uint32_t k3 = shapeOf<F>(patternEntry(board::windowCode(3, cell)));
    return {
        ShapeSumTable[shapeQuadIndex(k0, k1, k2, k3)],
        k0 == ShapeFour || k1 == ShapeFour || k2 == ShapeFour || k3 == ShapeFour,
        k0 == ShapeOpenFour || k1 == ShapeOpenFour || k2 == ShapeOpenFour || k3 == ShapeOpenFour};
}

// The evaluation over the given stones (every stone of the board, in any order: the result is a
// sum and two flags per colour, so the order does not matter). Black's stones (code `black`) are
// judged by BlackField, white's by WhiteField: under Renju each colour by what its own rules let
// it make (an overline is no five for black and wins for white).
template <patterns::ShapeField BlackField, patterns::ShapeField WhiteField>
inline int32_t evaluateStones(const int32_t* stones, int32_t count, int32_t side, int32_t black) {
    const std::array<int32_t, board::MaxCells>& cells = board::engineBoard.cells;
    int32_t sum[3] = {0, 0, 0};
    bool four[3] = {false, false, false};
    bool openFour[3] = {false, false, false};
    for (int32_t i = 0; i < count; ++i) {
        const int32_t cell = stones[i];
        const int32_t c = cells[cell];
        const StoneShapes s =
            c == black ? stoneShapes<BlackField>(cell) : stoneShapes<WhiteField>(cell);
        sum[c] += s.sum;
        four[c] = four[c] || s.four;
        openFour[c] = openFour[c] || s.openFour;
    }
    const int32_t other = side ^ 3;
    if (four[side] || openFour[side]) return NearWinScore;  // five on the next move
    if (openFour[other]) return NearLossScore;              // two five points: cannot be stopped
    return sum[side] - sum[other];
}

}  // namespace velka::search
