#include "search/strong/vcf.h"

#include <array>

namespace velka::search::strong {

namespace {

using board::NoCell;

// At most this many fours are tried at one position: the rest rarely win where these do not.
constexpr int32_t VcfBranching = 12;
// The marks are kept under the position's hash with this mixed in, in a slot of their own, so
// that they never take the place of the search's entry for the same position.
constexpr uint64_t MarkKey = 0x9E3779B97F4A7C15ull;

bool isFourLevel(CellLevel level) {
    return level == LevelFour || level == LevelFourThree;
}

// The plies to the attacker's five (its moves and the blocks, odd), or 0 for no win found.
int32_t search(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t plies,
               VcfBudget& budget, int32_t& move) {
    const int32_t defender = attacker ^ 3;
    const LevelCells& fives = cellsAt(pb, attacker, LevelFive);
    if (fives.count > 0) {
        move = fives.cells[0];
        return 1;
    }
    const LevelCells& flex = cellsAt(pb, attacker, LevelFlexFour);
    const LevelCells& threats = cellsAt(pb, defender, LevelFive);
    if (threats.count == 0 && flex.count > 0) {
        move = flex.cells[0];
        return 3;
    }
    if (plies < 3 || threats.count > 1 || ++budget.nodes > budget.nodeLimit) return 0;

    const uint64_t hash = pb.board.hash ^ MarkKey;
    SearchMemoryEntry entry;
    if (readEntry(memory, hash, entry) && entry.bound == BoundNoVcf && entry.depth >= plies) {
        return 0;
    }

    // The fours to try: the block of the defender's four if that is a four too, else every four,
    // those that also make an open three first.
    std::array<int16_t, VcfBranching> fours;
    int32_t count = 0;
    if (threats.count == 1) {
        const int32_t block = threats.cells[0];
        if (!isFourLevel(levelOf(pb, attacker, block))) return 0;
        fours[count++] = static_cast<int16_t>(block);
    } else {
        for (const CellLevel level : {LevelFourThree, LevelFour}) {
            const LevelCells& cells = cellsAt(pb, attacker, level);
            for (int32_t i = 0; i < cells.count && count < VcfBranching; ++i) {
                fours[count++] = cells.cells[i];
            }
        }
        if (count == 0) return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        const int32_t four = fours[i];
        if (!mayPlay(pb, four, attacker)) continue;
        playStone(pb, four, attacker);
        // The defender must block the one five cell, unless it makes five first.
        const LevelCells& fiveCells = cellsAt(pb, attacker, LevelFive);
        int32_t won = 0;
        if (fiveCells.count == 1 && cellsAt(pb, defender, LevelFive).count == 0) {
            const int32_t block = fiveCells.cells[0];
            if (!mayPlay(pb, block, defender)) {
                won = 3;  // Renju: black cannot block on its forbidden point
            } else {
                playStone(pb, block, defender);
                int32_t next = NoCell;
                const int32_t rest = search(pb, memory, attacker, plies - 2, budget, next);
                won = rest > 0 ? rest + 2 : 0;
                undoStone(pb);
            }
        }
        undoStone(pb);
        if (won > 0) {
            move = four;
            return won;
        }
    }
    if (budget.nodes <= budget.nodeLimit) {
        writeEntry(memory, hash, static_cast<uint8_t>(plies), BoundNoVcf, 0);
    }
    return 0;
}

}  // namespace

int32_t findVcf(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t maxPlies,
                VcfBudget& budget, int32_t& move) {
    move = NoCell;
    return search(pb, memory, attacker, maxPlies, budget, move);
}

}  // namespace velka::search::strong
