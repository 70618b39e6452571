#include "search/decide.h"

#include <algorithm>
#include <array>

#include "board/random.h"
#include "board/spiral.h"
#include "patterns/pattern_table.h"
#include "search/forbidden.h"

namespace velka::search {

namespace {

using patterns::RuleVariant;

// Levels are recipes on the main search: a level chooses it whatever the strong setting says.
bool usesStrongSearch(const SearchLimits& limits) {
    return limits.strong && limits.level == 0;
}

// A weaker level's move in place of the main search's best, now and then: one picked at random
// among the first of the root list, unless the search won or had one move only.
int32_t weakerMove(Player& player, const Level& level, int32_t best) {
    const std::span<const int32_t> roots = rootMoves(player.main);
    if (player.main.thinking.won || roots.size() < 2) return best;
    board::Random& chance = player.levelChance;
    if (static_cast<int32_t>(board::nextRandom(chance) % 1000) >= level.weakerMovePerMille) {
        return best;
    }
    const auto choice = std::min(roots.size(), static_cast<size_t>(level.weakerMoveChoice));
    return roots[board::nextRandom(chance) % choice];
}

// The four stages, first cell wins: opening rule, forced win by fours, main search, spiral. The
// strong search takes the main search's place, and the opening rule's but on the empty board; a
// weaker level cuts the main search short and may skip the forced win or take a weaker move.
int32_t decideWith(Player& player, board::EngineBoard& b, ThreatSearchKind threatKind,
                   RuleVariant variant, const SearchLimits& limits) {
    const Level* level = limits.level > 0 ? &Levels[limits.level - 1] : nullptr;
    const bool strong = usesStrongSearch(limits);
    int32_t cell = openingMove(b);
    if (strong && b.ownCount + b.opponentCount > 0) cell = board::NoCell;
    if (cell < 0 && (level == nullptr || level->threatSearch)) {
        cell = threatMove(player.threats, b, player.memory, player.control, threatKind);
    }
    // The strong search's results stay true from move to move: a win it proved and announced is
    // found again at once on the next move, however short the clock; its history of the moves
    // that cut, fading, orders the next move's search. The main search starts every move afresh,
    // and so does the strong one under a node limit, which makes a think repeatable.
    const bool sameRules = player.lastThink.strong && player.lastThink.variant == variant &&
                           player.lastThink.width == b.width &&
                           player.lastThink.height == b.height &&
                           player.lastThink.firstPlayer == b.firstPlayer;
    if (!strong || limits.nodeLimit != 0) {
        keepEntriesSince(player.memory, 0);
    } else if (!sameRules || player.memory.keptSince == 0) {
        keepEntriesSince(player.memory, player.memory.generation);
    }
    player.lastThink = {strong, variant, b.width, b.height, b.firstPlayer};
    if (cell < 0 && strong) {
        cell = strong::strongBestMove(player.strong, player.memory, player.control, b, variant,
                                      limits);
    } else if (cell < 0) {
        SearchLimits levelLimits = limits;
        if (level != nullptr) levelLimits.maxDepth = std::min(limits.maxDepth, level->maxDepth);
        cell = searchBestMove(player.main, player.memory, player.control, b, variant, levelLimits);
        if (cell >= 0 && level != nullptr) cell = weakerMove(player, *level, cell);
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
    if (usesStrongSearch(limits)) {
        strong::setStrongThreads(player.strong, requested);
    } else {
        setSearchThreads(player.main, requested);
    }
}

uint64_t threadsMemory(const Player& player, const SearchLimits& limits) {
    return usesStrongSearch(limits) ? strong::strongThreadsMemory(player.strong)
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
