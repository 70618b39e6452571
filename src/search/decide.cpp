#include "search/decide.h"

#include <array>

#include "board/board.h"
#include "board/spiral.h"
#include "patterns/pattern_table.h"
#include "search/forbidden.h"
#include "search/main_search.h"
#include "search/threat.h"

namespace velka::search {

namespace {

using board::engineBoard;
using patterns::RuleVariant;

// The four stages, first cell wins: opening rule, forced win by fours, main search, spiral.
int32_t decideWith(ThreatSearchKind threatKind, RuleVariant variant, const SearchLimits& limits) {
    int32_t cell = openingMove();
    if (cell < 0) cell = threatMove(threatKind);
    if (cell < 0) cell = searchBestMove(variant, limits);
    if (cell < 0) cell = firstFreeSpiralCell();
    return cell;
}

int32_t decideFreestyle(const SearchLimits& limits) {
    return decideWith(ThreatSearchKind::Freestyle, RuleVariant::Freestyle, limits);
}

int32_t decideExactFive(const SearchLimits& limits) {
    return decideWith(ThreatSearchKind::ExactFive, RuleVariant::ExactFive, limits);
}

// The first empty cell of the spiral on which the engine's black stone is allowed, or fallback
// when there is none.
int32_t firstAllowedSpiralCell(int32_t fallback) {
    for (int32_t i = 0; i < engineBoard.cellCount; ++i) {
        const int32_t cell = board::spiralCell(i);
        if (engineBoard.cells[cell] == board::CellEmpty && !forbiddenIfPlayed(cell, board::CellOwn))
            return cell;
    }
    return fallback;
}

// The census counts the engine as first player (black) on equal stone counts.
int32_t decideRenju(const SearchLimits& limits) {
    const bool engineBlack = engineBoard.firstPlayer == board::CellOwn;
    const int32_t cell =
        decideWith(engineBlack ? ThreatSearchKind::RenjuBlack : ThreatSearchKind::RenjuWhite,
                   RuleVariant::Renju, limits);
    // A lost black can be left with a forbidden point: the one cell that blocks white's five, the
    // spiral fallback when every searched move lost or the clock ran out first. A forbidden stone
    // loses on the spot, and a manager may reject it as illegal, so black plays an allowed cell.
    if (engineBlack && cell >= 0 && forbiddenIfPlayed(cell, board::CellOwn)) {
        return firstAllowedSpiralCell(cell);
    }
    return cell;
}

constexpr std::array<int32_t (*)(const SearchLimits&), 3> Decisions{decideFreestyle,
                                                                    decideExactFive, decideRenju};

}  // namespace

int32_t decideMove(RuleVariant variant, const SearchLimits& limits) {
    return Decisions[static_cast<int32_t>(variant)](limits);
}

// With one or two stones on the board, the first empty cell in spiral order that touches a stone;
// on an empty board the spiral's first cell.
int32_t openingMove() {
    const int32_t stones = engineBoard.ownCount + engineBoard.opponentCount;
    if (stones == 0) return board::spiralCell(0);
    if (stones > 2 || engineBoard.cellCount == 0) return board::NoCell;
    for (int32_t i = 0; i < engineBoard.cellCount; ++i) {
        const int32_t cell = board::spiralCell(i);
        if (engineBoard.cells[cell] != board::CellEmpty) continue;
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            if (patterns::near1(patterns::patternEntry(board::windowCode(d, cell)))) return cell;
        }
    }
    return board::NoCell;
}

int32_t firstFreeSpiralCell() {
    for (int32_t i = 0; i < engineBoard.cellCount; ++i) {
        const int32_t cell = board::spiralCell(i);
        if (engineBoard.cells[cell] == board::CellEmpty) return cell;
    }
    return board::NoCell;
}

}  // namespace velka::search
