#include "search/decide.h"

#include <array>

#include "board/spiral.h"
#include "patterns/pattern_table.h"
#include "search/forbidden.h"

namespace velka::search {

namespace {

using patterns::RuleVariant;

// The four stages, first cell wins: opening rule, forced win by fours, main search, spiral. The
// strong search takes the main search's place, and the opening rule's but on the empty board.
int32_t decideWith(Player& player, board::EngineBoard& b, ThreatSearchKind threatKind,
                   RuleVariant variant, const SearchLimits& limits) {
    int32_t cell = openingMove(b);
    if (limits.strong && b.ownCount + b.opponentCount > 0) cell = board::NoCell;
    if (cell < 0) cell = threatMove(player.threats, b, player.memory, player.control, threatKind);
    if (cell < 0 && limits.strong) {
        cell = strong::strongBestMove(player.strong, player.memory, player.control, b, variant,
                                      limits);
    } else if (cell < 0) {
        cell = searchBestMove(player.main, player.memory, player.control, b, variant, limits);
    }
    if (cell < 0) cell = firstFreeSpiralCell(b);
    return cell;
}

int32_t decideFreestyle(Player& player, board::EngineBoard& b, const SearchLimits& limits) {
    return decideWith(player, b, ThreatSearchKind::Freestyle, RuleVariant::Freestyle, limits);
}

int32_t decideExactFive(Player& player, board::EngineBoard& b, const SearchLimits& limits) {
    return decideWith(player, b, ThreatSearchKind::ExactFive, RuleVariant::ExactFive, limits);
}

// The first empty cell of the spiral on which the engine's black stone is allowed, or fallback
// when there is none.
int32_t firstAllowedSpiralCell(board::EngineBoard& b, int32_t fallback) {
    for (int32_t i = 0; i < b.cellCount; ++i) {
        const int32_t cell = board::spiralCell(i);
        if (b.cells[cell] == board::CellEmpty && !forbiddenIfPlayed(b, cell, board::CellOwn)) {
            return cell;
        }
    }
    return fallback;
}

// The census counts the engine as first player (black) on equal stone counts.
int32_t decideRenju(Player& player, board::EngineBoard& b, const SearchLimits& limits) {
    const bool engineBlack = b.firstPlayer == board::CellOwn;
    const int32_t cell = decideWith(
        player, b, engineBlack ? ThreatSearchKind::RenjuBlack : ThreatSearchKind::RenjuWhite,
        RuleVariant::Renju, limits);
    // A lost black can be left with a forbidden point: the one cell that blocks white's five, the
    // spiral fallback when every searched move lost or the clock ran out first. A forbidden stone
    // loses on the spot, and a manager may reject it as illegal, so black plays an allowed cell.
    if (engineBlack && cell >= 0 && forbiddenIfPlayed(b, cell, board::CellOwn)) {
        return firstAllowedSpiralCell(b, cell);
    }
    return cell;
}

using Decision = int32_t (*)(Player&, board::EngineBoard&, const SearchLimits&);
constexpr std::array<Decision, RuleVariantCount> Decisions{decideFreestyle, decideExactFive,
                                                           decideRenju};

}  // namespace

void setThreads(Player& player, const SearchLimits& limits, int32_t requested) {
    if (limits.strong) {
        strong::setStrongThreads(player.strong, requested);
    } else {
        setSearchThreads(player.main, requested);
    }
}

uint64_t threadsMemory(const Player& player, const SearchLimits& limits) {
    return limits.strong ? strong::strongThreadsMemory(player.strong)
                         : searchThreadsMemory(player.main);
}

int32_t decideMove(Player& player, board::EngineBoard& b, RuleVariant variant,
                   const SearchLimits& limits) {
    return Decisions[static_cast<int32_t>(variant)](player, b, limits);
}

// With one or two stones on the board, the first empty cell in spiral order that touches a stone;
// on an empty board the spiral's first cell.
int32_t openingMove(const board::EngineBoard& b) {
    const int32_t stones = b.ownCount + b.opponentCount;
    if (stones == 0) return board::spiralCell(0);
    if (stones > 2 || b.cellCount == 0) return board::NoCell;
    for (int32_t i = 0; i < b.cellCount; ++i) {
        const int32_t cell = board::spiralCell(i);
        if (b.cells[cell] != board::CellEmpty) continue;
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            if (patterns::near1(patterns::patternEntry(board::windowCode(b, d, cell)))) return cell;
        }
    }
    return board::NoCell;
}

int32_t firstFreeSpiralCell(const board::EngineBoard& b) {
    for (int32_t i = 0; i < b.cellCount; ++i) {
        const int32_t cell = board::spiralCell(i);
        if (b.cells[cell] == board::CellEmpty) return cell;
    }
    return board::NoCell;
}

}  // namespace velka::search
