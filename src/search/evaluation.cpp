#include "search/evaluation.h"

#include "search/forbidden.h"

namespace velka::search {

using patterns::RuleVariant;
using patterns::ShapeField;

namespace {

// Every stone of the board, in index order.
int32_t collectStones(int32_t* stones) {
    const board::EngineBoard& b = board::engineBoard;
    int32_t count = 0;
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        if (b.cells[cell] != board::CellEmpty) stones[count++] = cell;
    }
    return count;
}

std::array<int32_t, board::MaxCells> stoneScratch;

}  // namespace

int32_t leafVerdict(RuleVariant variant, int32_t lastMove) {
    bool five = false;
    switch (variant) {
        case RuleVariant::Freestyle:
            five = stoneMakesFive<ShapeField::Free>(lastMove);
            break;
        case RuleVariant::ExactFive:
            five = stoneMakesFive<ShapeField::Exact>(lastMove);
            break;
        case RuleVariant::Renju:
            if (board::engineBoard.cells[lastMove] == board::engineBoard.firstPlayer) {
                // A forbidden black stone loses before anything else is looked at; a black five
                // is never forbidden, which the test itself guarantees.
                if (isForbiddenPoint(lastMove)) return WinScore;
                five = stoneMakesFive<ShapeField::Exact>(lastMove);
            } else {
                five = stoneMakesFive<ShapeField::Free>(lastMove);
            }
            break;
    }
    return five ? LossScore : NoScore;
}

int32_t staticEvaluation(RuleVariant variant, int32_t side) {
    const int32_t count = collectStones(stoneScratch.data());
    const int32_t* stones = stoneScratch.data();
    const int32_t black = board::engineBoard.firstPlayer;
    switch (variant) {
        case RuleVariant::Freestyle:
            return evaluateStones<ShapeField::Free, ShapeField::Free>(stones, count, side, black);
        case RuleVariant::ExactFive:
            return evaluateStones<ShapeField::Exact, ShapeField::Exact>(stones, count, side, black);
        case RuleVariant::Renju:
            return evaluateStones<ShapeField::Exact, ShapeField::Free>(stones, count, side, black);
    }
    return 0;
}

}  // namespace velka::search
