#include "search/strong/threat_space.h"

#include <algorithm>
#include <array>

#include "search/time_control.h"

namespace velka::search::strong {

namespace {

using board::NoCell;

// At most this many fours (threats) are tried at one position: the rest rarely win where these
// do not.
constexpr int32_t VcfBranching = 12;
constexpr int32_t VctBranching = 10;
// The marks are kept under the position's hash with one of these mixed in, in slots of their own,
// so that they never take the place of the search's entry for the same position.
constexpr uint64_t VcfMarkKey = 0x9E3779B97F4A7C15ull;
constexpr uint64_t VctMarkKey = 0xC2B2AE3D27D4EB4Full;

// The clock is read every so many positions.
constexpr uint64_t DeadlineCheckNodes = 64;

bool markedNoWin(const SearchMemory& memory, uint64_t key, uint8_t bound, int32_t plies) {
    SearchMemoryEntry entry;
    return readEntry(memory, key, entry) && entry.bound == bound && entry.depth >= plies;
}

bool isFourLevel(CellLevel level) {
    return level == LevelFour || level == LevelFourThree;
}

// The plies to the attacker's five (its moves and the blocks, odd), or 0 for no win found.
int32_t vcf(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t plies,
            ThreatBudget& budget, int32_t& move) {
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
    if (plies < 3 || threats.count > 1 || !withinBudget(budget)) return 0;

    const uint64_t hash = pb.board.hash ^ VcfMarkKey;
    if (markedNoWin(memory, hash, BoundNoVcf, plies)) return 0;

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
                const int32_t rest = vcf(pb, memory, attacker, plies - 2, budget, next);
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

int32_t vct(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t plies,
            ThreatBudget& budget, int32_t& move);

// The defender to move against the attacker's open three (or its four): every move that stops
// it, and every four of the defender's own, which the attacker must block before it goes on.
// The plies to the attacker's five against the defender's best defence, or 0 when one escapes.
int32_t defend(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t plies,
               ThreatBudget& budget) {
    const int32_t defender = attacker ^ 3;
    if (cellsAt(pb, defender, LevelFive).count > 0) return 0;
    const LevelCells& fives = cellsAt(pb, attacker, LevelFive);
    if (fives.count > 1) return 2;
    // An open four of the defender's own comes before the attacker's.
    if (fives.count == 0 && cellsAt(pb, defender, LevelFlexFour).count > 0) return 0;
    if (plies < 4 || !withinBudget(budget)) return 0;
    std::array<int16_t, 64> replies;
    int32_t count = 0;
    if (fives.count == 1) {
        if (!mayPlay(pb, fives.cells[0], defender)) return 2;
        replies[count++] = fives.cells[0];
    } else {
        // The defender's fours first: each must be answered before the threat stands again.
        for (const CellLevel level : {LevelFourThree, LevelFour}) {
            const LevelCells& cells = cellsAt(pb, defender, level);
            for (int32_t i = 0; i < cells.count && count < 32; ++i) {
                if (mayPlay(pb, cells.cells[i], defender)) replies[count++] = cells.cells[i];
            }
        }
        // The moves that may stop the open four to come; one that does not loses to it at once.
        std::array<int16_t, 32> stops;
        const int32_t stopCount = threatStopCells(pb, attacker, stops.data(), 32);
        for (int32_t i = 0; i < stopCount; ++i) {
            const int32_t cell = stops[i];
            bool listed = false;
            for (int32_t j = 0; j < count && !listed; ++j) listed = replies[j] == cell;
            if (!listed && mayPlay(pb, cell, defender))
                replies[count++] = static_cast<int16_t>(cell);
        }
    }
    int32_t longest = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t r = replies[i];
        playStone(pb, r, defender);
        int32_t won = 0;
        const LevelCells& counter = cellsAt(pb, defender, LevelFive);
        if (counter.count == 1 && cellsAt(pb, attacker, LevelFive).count == 0) {
            // The defender's four: the attacker blocks, and the defender is to move again.
            const int32_t block = counter.cells[0];
            if (mayPlay(pb, block, attacker)) {
                playStone(pb, block, attacker);
                if (cellsAt(pb, attacker, LevelFlexFour).count > 0 ||
                    cellsAt(pb, attacker, LevelFive).count > 0) {
                    const int32_t rest = defend(pb, memory, attacker, plies - 2, budget);
                    won = rest > 0 ? rest + 2 : 0;
                }
                undoStone(pb);
            }
        } else if (counter.count == 0) {
            int32_t next = NoCell;
            const int32_t rest = vct(pb, memory, attacker, plies - 1, budget, next);
            won = rest > 0 ? rest + 1 : 0;
        }
        undoStone(pb);
        if (won == 0) return 0;
        longest = std::max(longest, won);
    }
    // Nothing stops the open four: it comes next, then the five.
    return count == 0 ? 4 : longest;
}

int32_t vct(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t plies,
            ThreatBudget& budget, int32_t& move) {
    const int32_t defender = attacker ^ 3;
    const int32_t byFours = vcf(pb, memory, attacker, plies, budget, move);
    if (byFours > 0) return byFours;
    const LevelCells& threats = cellsAt(pb, defender, LevelFive);
    if (plies < 5 || threats.count > 1 || !withinBudget(budget)) return 0;
    const uint64_t hash = pb.board.hash ^ VctMarkKey;
    if (markedNoWin(memory, hash, BoundNoVct, plies)) return 0;

    // The threats to try: the block of the defender's four if it makes a threat too, else the
    // attacker's fours and open threes, the double threats first. Against an open three of the
    // defender's, only fours are fast enough, and those the victory by fours has tried.
    if (threats.count == 0 && cellsAt(pb, defender, LevelFlexFour).count > 0) return 0;
    std::array<int16_t, VctBranching> candidates;
    int32_t count = 0;
    if (threats.count == 1) {
        if (levelOf(pb, attacker, threats.cells[0]) >= LevelThree) {
            candidates[count++] = threats.cells[0];
        }
    } else {
        for (const CellLevel level : {LevelFourThree, LevelDoubleThree, LevelFour, LevelThree}) {
            const LevelCells& cells = cellsAt(pb, attacker, level);
            for (int32_t i = 0; i < cells.count && count < VctBranching; ++i) {
                candidates[count++] = cells.cells[i];
            }
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        const int32_t c = candidates[i];
        if (!mayPlay(pb, c, attacker)) continue;
        playStone(pb, c, attacker);
        int32_t won = 0;
        const LevelCells& fives = cellsAt(pb, attacker, LevelFive);
        if (fives.count > 0 || cellsAt(pb, attacker, LevelFlexFour).count > 0) {
            const int32_t rest = defend(pb, memory, attacker, plies - 1, budget);
            won = rest > 0 ? rest + 1 : 0;
        }
        undoStone(pb);
        if (won > 0) {
            move = c;
            return won;
        }
    }
    if (budget.nodes <= budget.nodeLimit) {
        writeEntry(memory, hash, static_cast<uint8_t>(plies), BoundNoVct, 0);
    }
    return 0;
}

}  // namespace

bool withinBudget(ThreatBudget& budget) {
    if (++budget.nodes > budget.nodeLimit) return false;
    if (budget.deadline != 0 && budget.nodes % DeadlineCheckNodes == 0 &&
        clockMs() > budget.deadline) {
        budget.nodeLimit = budget.nodes - 1;  // spent: every later check fails too
        return false;
    }
    return true;
}

int32_t findVcf(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t maxPlies,
                ThreatBudget& budget, int32_t& move) {
    move = NoCell;
    return vcf(pb, memory, attacker, maxPlies, budget, move);
}

int32_t findVct(PatternBoard& pb, SearchMemory& memory, int32_t attacker, int32_t maxPlies,
                ThreatBudget& budget, int32_t& move) {
    move = NoCell;
    return vct(pb, memory, attacker, maxPlies, budget, move);
}

}  // namespace velka::search::strong
