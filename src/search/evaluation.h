// Leaf verdict (has the last stone ended the game?) and static evaluation, per rule variant, read
// from the shapes that a SearchBoard keeps: the class of a stone in a direction is that of its
// window's PatternEntry under the field its colour is judged by.
#pragma once

#include <cstdint>

#include "search/forbidden.h"
#include "search/scores.h"
#include "search/search_board.h"

namespace velka::search {

// LossScore, WinScore (Renju: the stone is a forbidden black move) or NoScore, seen from the side
// to move after a stone of colour on the cell, which holds the stone or would, with its shapes up
// to date. A forbidden black stone loses before anything else is looked at; a black five is never
// forbidden, which the test itself guarantees.
inline int32_t leafVerdict(SearchBoard& sb, int32_t cell, int32_t colour) {
    const uint32_t quad = sb.quads[colour - 1][cell];
    if (sb.variant == patterns::RuleVariant::Renju && colour == sb.board.firstPlayer) {
        const ForbiddenByShapes byShapes = forbiddenByShapes(
            {quadClass(quad, 0), quadClass(quad, 1), quadClass(quad, 2), quadClass(quad, 3)});
        if (byShapes == ForbiddenByShapes::Forbidden) return WinScore;
        if (byShapes == ForbiddenByShapes::ThreesDecide) {
            const bool forbidden = sb.board.cells[cell] == board::CellEmpty
                                       ? forbiddenIfPlayed(sb.board, cell, colour)
                                       : isForbiddenPoint(sb.board, cell);
            if (forbidden) return WinScore;
        }
    }
    return quadHasClass(quad, patterns::ShapeFive) ? LossScore : NoScore;
}

// Every stone counts its ShapeScore sum for its colour; a four or an open four of the side to
// move means five on the next move, an open four of the other side two five points that cannot
// both be stopped.
inline int32_t staticEvaluation(const ShapeTotals& t, int32_t side) {
    const int32_t own = side - 1;
    const int32_t other = 2 - side;
    if (t.fours[own] + t.openFours[own] > 0) return NearWinScore;
    if (t.openFours[other] > 0) return NearLossScore;
    return t.sum[own] - t.sum[other];
}

}  // namespace velka::search
