#include "search/threat.h"

#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"
#include "search/forbidden.h"
#include "search/memory.h"
#include "search/scores.h"
#include "search/think_control.h"
#include "search/time_control.h"

namespace velka::search {

namespace {

using board::CellEmpty;
using board::CellOpponent;
using board::CellOwn;
using board::NoCell;
using patterns::ShapeClass;
using patterns::ShapeField;

// Where the Renju forbidden-point test comes in: on black's attacking stone (the engine is black
// and may not attack with a forbidden move) or on black's forced block (the engine is white and
// wins when black has to block on a forbidden point).
enum class ForbiddenTest { None, AttackerStone, ForcedBlock };

// What makes one search differ from another: the class field each side's stones are judged by,
// and the forbidden-point test. The engine (code 1) always attacks, the opponent (code 2) defends.
struct ThreatRules {
    ThreatSearchKind kind;
    ShapeField attacker;
    ShapeField defender;
    ForbiddenTest forbidden;
};

constexpr ThreatRules ExactFiveRules{ThreatSearchKind::ExactFive, ShapeField::Exact,
                                     ShapeField::Exact, ForbiddenTest::None};
constexpr ThreatRules FreestyleRules{ThreatSearchKind::Freestyle, ShapeField::Free,
                                     ShapeField::Free, ForbiddenTest::None};
constexpr ThreatRules RenjuBlackRules{ThreatSearchKind::RenjuBlack, ShapeField::Exact,
                                      ShapeField::Free, ForbiddenTest::AttackerStone};
constexpr ThreatRules RenjuWhiteRules{ThreatSearchKind::RenjuWhite, ShapeField::Free,
                                      ShapeField::Exact, ForbiddenTest::ForcedBlock};

constexpr int32_t SearchKindCount = 4;
std::array<WinStack, SearchKindCount> winStacks;

WinStack& stackOf(ThreatSearchKind kind) {
    return winStacks[static_cast<int32_t>(kind)];
}

// Room per level for this many cells of each threat level. The recursion can run about 3200
// levels deep on an 80 x 80 board, so the lists stay small; when a list fills up, the cells that
// did not fit are found again by scanning on from the first of them when their turn comes. The
// board is the same at that point (every tried candidate has been taken back), so the order and
// the set of candidates are exactly those of an unbounded list.
constexpr int32_t FourCellsCapacity = 96;

// The cells of one threat level that one level of the search tries.
struct FourCells {
    std::array<int16_t, FourCellsCapacity> cells;
    int32_t size = 0;
    int32_t overflowFrom = NoCell;  // the first cell that did not fit, NoCell when all did

    void add(int32_t cell) {
        if (size < FourCellsCapacity) {
            cells[size++] = static_cast<int16_t>(cell);
        } else if (overflowFrom == NoCell) {
            overflowFrom = cell;
        }
    }
};
static_assert(board::MaxCells <= 32767, "cell indices are kept in 16 bits");

// Most empty cells are far from any four, so each scan first counts stones before it looks in the
// tables. A stone on the centre can make five only with four more of its colour, and a four
// only with three more, all among window cells 1 to 9 (the five-cell runs through the centre).
constexpr uint32_t RunCellsLowBits = 0x55554u;  // bit 2j for window cells j = 1..9
constexpr int32_t StonesForFive = 4;
constexpr int32_t StonesForFour = 3;

// Nonzero when at least `Count` of window cells 1..9 hold `Code` (1 or 2). Clearing the lowest
// set bit Count - 1 times keeps the test free of branches and of a popcount, which the baseline
// x86-64 lacks.
template <int32_t Code, int32_t Count>
uint32_t stonesNearCentre(uint32_t window) {
    const uint32_t low = window & RunCellsLowBits;
    const uint32_t high = (window >> 1) & RunCellsLowBits;
    uint32_t stones = Code == CellOwn ? low & ~high : high & ~low;
    for (int32_t i = 1; i < Count; ++i) stones &= stones - 1;
    return stones;
}

template <ShapeField F, int32_t Code>
ShapeClass shapeIfPlayed(uint32_t window) {
    return patterns::shapeOf<F>(
        patterns::patternEntry(window | (static_cast<uint32_t>(Code) << patterns::CentreShift)));
}

// Reads the cell's four windows; false when no direction has `Count` stones of `Code` near the
// centre, so that the caller can skip the table lookups.
template <int32_t Code, int32_t Count>
bool readWindows(int32_t cell, std::array<uint32_t, board::DirectionCount>& window) {
    uint32_t near = 0;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        window[d] = board::windowCode(d, cell);
        near |= stonesNearCentre<Code, Count>(window[d]);
    }
    return near != 0;
}

// The ThreatLevel of an engine stone on the empty cell.
template <ShapeField F>
uint8_t ownThreatLevel(int32_t cell) {
    std::array<uint32_t, board::DirectionCount> window;
    if (!readWindows<CellOwn, StonesForFour>(cell, window)) return patterns::ThreatNone;
    return patterns::ThreatLevelTable[patterns::groupQuadIndex(patterns::shapeQuadIndex(
        shapeIfPlayed<F, CellOwn>(window[0]), shapeIfPlayed<F, CellOwn>(window[1]),
        shapeIfPlayed<F, CellOwn>(window[2]), shapeIfPlayed<F, CellOwn>(window[3])))];
}

template <ShapeField F, int32_t Code>
bool makesFive(int32_t cell) {
    std::array<uint32_t, board::DirectionCount> window;
    if (!readWindows<Code, StonesForFive>(cell, window)) return false;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        if (shapeIfPlayed<F, Code>(window[d]) == patterns::ShapeFive) return true;
    }
    return false;
}

// The lowest empty cell on which `code` makes five, or NoCell.
template <ShapeField F, int32_t Code>
int32_t firstFiveCell() {
    const board::EngineBoard& b = board::engineBoard;
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        if (b.cells[cell] == CellEmpty && makesFive<F, Code>(cell)) return cell;
    }
    return NoCell;
}

// Whether the stone already standing on the cell makes a four in some direction.
template <ShapeField F>
bool stoneMakesFour(int32_t cell) {
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        const ShapeClass k =
            patterns::shapeOf<F>(patterns::patternEntry(board::windowCode(d, cell)));
        if (k == patterns::ShapeOpenFour || k == patterns::ShapeFour) return true;
    }
    return false;
}

// The search has no depth or node limit, and a board with many fours that each die after one
// block makes it try every order of them: some ten or more such fours take seconds to minutes,
// which would cost the game on time. So once it has done a fair amount of work (a few
// milliseconds) it looks at the clock at every level and gives up when half the move's budget is
// spent, or when the manager asks the think to stop. A search smaller than that never looks, and
// behaves the same under any clock.
constexpr uint64_t ClockFreeWork = uint64_t{1} << 20;  // board cells scanned

struct ThreatContext {
    uint64_t work = 0;  // board cells scanned
    uint64_t levels = 0;
    bool gaveUp = false;
};

bool outOfTime(ThreatContext& context) {
    ++context.levels;
    context.work += static_cast<uint64_t>(board::engineBoard.cellCount);
    if (context.gaveUp) return true;
    if (context.work < ClockFreeWork) return false;
    const int64_t spent = clockMs() - turnStart.load(std::memory_order_relaxed);
    context.gaveUp = thinkMustStop() || spent > turnBudget.load(std::memory_order_relaxed) / 2;
    return context.gaveUp;
}

template <ThreatRules R>
bool searchFours(ThreatContext& context, bool checkDefenderFive);

enum class Outcome { Failed, Won, WonByForbiddenBlock };

// Plays the four on c, lets the defender block its five cell (block) and searches on. The board
// is back as it was on return.
template <ThreatRules R>
Outcome playFour(ThreatContext& context, int32_t c, bool checkDefenderFive, int32_t& block) {
    Outcome outcome = Outcome::Failed;
    board::setCell(c, CellOwn);
    const bool allowed =
        R.forbidden != ForbiddenTest::AttackerStone || !isForbiddenPoint(board::engineBoard, c);
    // With a defender four on the board, a move that leaves its five cell open loses at once.
    if (allowed && (!checkDefenderFive || firstFiveCell<R.defender, CellOpponent>() == NoCell)) {
        // Facing two five cells the defender blocks the lower one; the next level then finds the
        // five on the other.
        block = firstFiveCell<R.attacker, CellOwn>();
        if (block != NoCell) {
            board::setCell(block, CellOpponent);
            if (R.forbidden == ForbiddenTest::ForcedBlock &&
                isForbiddenPoint(board::engineBoard, block)) {
                outcome = Outcome::WonByForbiddenBlock;
            } else if (searchFours<R>(context, stoneMakesFour<R.defender>(block))) {
                outcome = Outcome::Won;
            } else if (!context.gaveUp) {
                // This position, with c and its block on the board, has no win.
                markNoWin(board::engineBoard.hash);
            }
            board::setCell(block, CellEmpty);
        }
    }
    board::setCell(c, CellEmpty);
    return outcome;
}

// Tries one candidate; on a win pushes it, with the defender's block, on the WinStack above the
// rest of the line.
template <ThreatRules R>
bool tryCandidate(ThreatContext& context, int32_t c, bool checkDefenderFive) {
    int32_t block = NoCell;
    const Outcome outcome = playFour<R>(context, c, checkDefenderFive, block);
    if (outcome == Outcome::Failed) return false;
    WinStack& stack = stackOf(R.kind);
    // The line ends in this four and the block that black may not play.
    if (outcome == Outcome::WonByForbiddenBlock) stack.count = 0;
    ++stack.count;
    stack.cells[stack.count] = c;
    stack.replies[stack.count] = block;
    return true;
}

template <ThreatRules R>
bool tryCandidates(ThreatContext& context, const FourCells& list, uint8_t level,
                   bool checkDefenderFive) {
    for (int32_t i = 0; i < list.size && !context.gaveUp; ++i) {
        if (tryCandidate<R>(context, list.cells[i], checkDefenderFive)) return true;
    }
    if (list.overflowFrom == NoCell || context.gaveUp) return false;
    const board::EngineBoard& b = board::engineBoard;
    for (int32_t cell = list.overflowFrom; cell < b.cellCount && !context.gaveUp; ++cell) {
        if (b.cells[cell] == CellEmpty && ownThreatLevel<R.attacker>(cell) == level &&
            tryCandidate<R>(context, cell, checkDefenderFive)) {
            return true;
        }
    }
    return false;
}

template <ThreatRules R>
bool searchFours(ThreatContext& context, bool checkDefenderFive) {
    const board::EngineBoard& b = board::engineBoard;
    if (b.cellCount < 1 || outOfTime(context) || isMarkedNoWin(b.hash)) return false;

    FourCells fourThrees;
    FourCells fours;
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        if (b.cells[cell] != CellEmpty) continue;
        const uint8_t level = ownThreatLevel<R.attacker>(cell);
        if (level == patterns::ThreatFive) {
            WinStack& stack = stackOf(R.kind);
            stack.count = 1;
            stack.cells[1] = cell;
            stack.replies[1] = NoCell;
            return true;
        }
        if (level == patterns::ThreatFourThree) {
            fourThrees.add(cell);
        } else if (level == patterns::ThreatFour) {
            fours.add(cell);
        }
    }
    return tryCandidates<R>(context, fourThrees, patterns::ThreatFourThree, checkDefenderFive) ||
           tryCandidates<R>(context, fours, patterns::ThreatFour, checkDefenderFive);
}

ThreatStats lastStats;

// The line found last, kept so that the next move can play it on when the opponent blocks as
// foreseen: entries next.. of line are the engine's moves and the blocks they force, in order,
// and expectedHash is the position after the engine's move and the block it waits for.
struct WinPlan {
    ThreatSearchKind kind = ThreatSearchKind::Freestyle;
    std::array<int32_t, 2 * board::MaxCells> line;
    int32_t length = 0;
    int32_t next = 0;
    uint64_t expectedHash = 0;
};
WinPlan plan;

// The hash after the engine's stone on move and the opponent's on block (if any).
uint64_t hashAfterPair(uint64_t hash, int32_t move, int32_t block) {
    const board::EngineBoard& b = board::engineBoard;
    hash ^= b.zobristKeys[CellOwn * board::MaxCells + move];
    if (block != NoCell) hash ^= b.zobristKeys[CellOpponent * board::MaxCells + block];
    return hash;
}

void adoptWinLine(ThreatSearchKind kind) {
    const WinStack& stack = stackOf(kind);
    plan.kind = kind;
    plan.length = 0;
    plan.next = 0;
    for (int32_t i = stack.count; i >= 1; --i) {
        plan.line[plan.length++] = stack.cells[i];
        if (stack.replies[i] != NoCell) plan.line[plan.length++] = stack.replies[i];
    }
}

// The engine's next move of the line found earlier, when the board is exactly the position that
// line expects; NoCell otherwise.
int32_t continueWinLine(ThreatSearchKind kind) {
    if (plan.next >= plan.length || plan.kind != kind ||
        board::engineBoard.hash != plan.expectedHash) {
        return NoCell;
    }
    return plan.line[plan.next];
}

// Moves the plan past the move now played and reports the line still ahead.
void playFromPlan(uint64_t levels) {
    const int32_t move = plan.line[plan.next];
    const int32_t block = plan.next + 1 < plan.length ? plan.line[plan.next + 1] : NoCell;
    IterationReport report{};
    report.depth = plan.length - plan.next;
    report.score = WinScore;
    // A line of odd length ends in the five; one of even length in a block forbidden to black,
    // after which the five comes.
    report.winMoves = (report.depth + 1) / 2 + (report.depth % 2 == 0 ? 1 : 0);
    report.nodes = levels;
    report.pv = {plan.line.data() + plan.next, static_cast<size_t>(report.depth)};
    reportIteration(report);
    plan.expectedHash = hashAfterPair(board::engineBoard.hash, move, block);
    plan.next += 2;
}

}  // namespace

bool threatSearch(ThreatSearchKind kind, bool checkDefenderFive) {
    ThreatContext context;
    bool won = false;
    switch (kind) {
        case ThreatSearchKind::ExactFive:
            won = searchFours<ExactFiveRules>(context, checkDefenderFive);
            break;
        case ThreatSearchKind::Freestyle:
            won = searchFours<FreestyleRules>(context, checkDefenderFive);
            break;
        case ThreatSearchKind::RenjuBlack:
            won = searchFours<RenjuBlackRules>(context, checkDefenderFive);
            break;
        case ThreatSearchKind::RenjuWhite:
            won = searchFours<RenjuWhiteRules>(context, checkDefenderFive);
            break;
    }
    lastStats = {context.levels, context.gaveUp};
    return won;
}

int32_t threatMove(ThreatSearchKind kind) {
    const int32_t planned = continueWinLine(kind);
    if (planned != NoCell) {
        lastStats = {};
        playFromPlan(0);
        return planned;
    }
    // The root passes true: if the opponent already holds a four, only fours that take its five
    // cell are worth trying.
    if (!threatSearch(kind, true)) {
        plan.length = 0;
        return NoCell;
    }
    adoptWinLine(kind);
    playFromPlan(lastStats.levels);
    return plan.line[0];
}

const WinStack& winStack(ThreatSearchKind kind) {
    return stackOf(kind);
}

const ThreatStats& lastThreatStats() {
    return lastStats;
}

}  // namespace velka::search
