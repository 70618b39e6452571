#include "search/threat.h"

#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"
#include "search/forbidden.h"
#include "search/memory.h"
#include "search/scores.h"

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
    ShapeField attacker;
    ShapeField defender;
    ForbiddenTest forbidden;
};

constexpr ThreatRules ExactFiveRules{ShapeField::Exact, ShapeField::Exact, ForbiddenTest::None};
constexpr ThreatRules FreestyleRules{ShapeField::Free, ShapeField::Free, ForbiddenTest::None};
constexpr ThreatRules RenjuBlackRules{ShapeField::Exact, ShapeField::Free,
                                      ForbiddenTest::AttackerStone};
constexpr ThreatRules RenjuWhiteRules{ShapeField::Free, ShapeField::Exact,
                                      ForbiddenTest::ForcedBlock};

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
bool readWindows(const board::EngineBoard& b, int32_t cell,
                 std::array<uint32_t, board::DirectionCount>& window) {
    uint32_t near = 0;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        window[d] = board::windowCode(b, d, cell);
        near |= stonesNearCentre<Code, Count>(window[d]);
    }
    return near != 0;
}

// The ThreatLevel of an engine stone on the empty cell.
template <ShapeField F>
uint8_t ownThreatLevel(const board::EngineBoard& b, int32_t cell) {
    std::array<uint32_t, board::DirectionCount> window;
    if (!readWindows<CellOwn, StonesForFour>(b, cell, window)) return patterns::ThreatNone;
    return patterns::ThreatLevelTable[patterns::groupQuadIndex(patterns::shapeQuadIndex(
        shapeIfPlayed<F, CellOwn>(window[0]), shapeIfPlayed<F, CellOwn>(window[1]),
        shapeIfPlayed<F, CellOwn>(window[2]), shapeIfPlayed<F, CellOwn>(window[3])))];
}

template <ShapeField F, int32_t Code>
bool makesFive(const board::EngineBoard& b, int32_t cell) {
    std::array<uint32_t, board::DirectionCount> window;
    if (!readWindows<Code, StonesForFive>(b, cell, window)) return false;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        if (shapeIfPlayed<F, Code>(window[d]) == patterns::ShapeFive) return true;
    }
    return false;
}

// The lowest empty cell on which `code` makes five, or NoCell.
template <ShapeField F, int32_t Code>
int32_t firstFiveCell(const board::EngineBoard& b) {
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        if (b.cells[cell] == CellEmpty && makesFive<F, Code>(b, cell)) return cell;
    }
    return NoCell;
}

// Whether the stone already standing on the cell makes a four in some direction.
template <ShapeField F>
bool stoneMakesFour(const board::EngineBoard& b, int32_t cell) {
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        const ShapeClass k =
            patterns::shapeOf<F>(patterns::patternEntry(board::windowCode(b, d, cell)));
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

// One search: the board it plays on, where it marks positions without a win, what stops it, the
// line it finds and how much work it has done.
struct ThreatContext {
    board::EngineBoard& b;
    SearchMemory& memory;
    ThinkControl& control;
    WinStack& stack;
    uint64_t work = 0;  // board cells scanned
    uint64_t levels = 0;
    bool gaveUp = false;
};

bool outOfTime(ThreatContext& context) {
    ++context.levels;
    context.work += static_cast<uint64_t>(context.b.cellCount);
    if (context.gaveUp) return true;
    if (context.work < ClockFreeWork) return false;
    const GameClock& clock = context.control.clock;
    context.gaveUp = thinkMustStop(context.control) ||
                     timeSpent(clock) > clock.turnBudget.load(std::memory_order_relaxed) / 2;
    return context.gaveUp;
}

template <ThreatRules R>
bool searchFours(ThreatContext& context, bool checkDefenderFive);

enum class Outcome { Failed, Won, WonByForbiddenBlock };

// Plays the four on c, lets the defender block its five cell (block) and searches on. The board
// is back as it was on return.
template <ThreatRules R>
Outcome playFour(ThreatContext& context, int32_t c, bool checkDefenderFive, int32_t& block) {
    board::EngineBoard& b = context.b;
    Outcome outcome = Outcome::Failed;
    board::setCell(b, c, CellOwn);
    const bool allowed = R.forbidden != ForbiddenTest::AttackerStone || !isForbiddenPoint(b, c);
    // With a defender four on the board, a move that leaves its five cell open loses at once.
    if (allowed && (!checkDefenderFive || firstFiveCell<R.defender, CellOpponent>(b) == NoCell)) {
        // Facing two five cells the defender blocks the lower one; the next level then finds the
        // five on the other.
        block = firstFiveCell<R.attacker, CellOwn>(b);
        if (block != NoCell) {
            board::setCell(b, block, CellOpponent);
            if (R.forbidden == ForbiddenTest::ForcedBlock && isForbiddenPoint(b, block)) {
                outcome = Outcome::WonByForbiddenBlock;
            } else if (searchFours<R>(context, stoneMakesFour<R.defender>(b, block))) {
                outcome = Outcome::Won;
            } else if (!context.gaveUp) {
                // This position, with c and its block on the board, has no win.
                markNoWin(context.memory, b.hash);
            }
            board::setCell(b, block, CellEmpty);
        }
    }
    board::setCell(b, c, CellEmpty);
    return outcome;
}

// Tries one candidate; on a win pushes it, with the defender's block, on the WinStack above the
// rest of the line.
template <ThreatRules R>
bool tryCandidate(ThreatContext& context, int32_t c, bool checkDefenderFive) {
    int32_t block = NoCell;
    const Outcome outcome = playFour<R>(context, c, checkDefenderFive, block);
    if (outcome == Outcome::Failed) return false;
    WinStack& stack = context.stack;
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
    const board::EngineBoard& b = context.b;
    for (int32_t cell = list.overflowFrom; cell < b.cellCount && !context.gaveUp; ++cell) {
        if (b.cells[cell] == CellEmpty && ownThreatLevel<R.attacker>(b, cell) == level &&
            tryCandidate<R>(context, cell, checkDefenderFive)) {
            return true;
        }
    }
    return false;
}

template <ThreatRules R>
bool searchFours(ThreatContext& context, bool checkDefenderFive) {
    const board::EngineBoard& b = context.b;
    if (b.cellCount < 1 || outOfTime(context) || isMarkedNoWin(context.memory, b.hash))
        return false;

    FourCells fourThrees;
    FourCells fours;
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        if (b.cells[cell] != CellEmpty) continue;
        const uint8_t level = ownThreatLevel<R.attacker>(b, cell);
        if (level == patterns::ThreatFive) {
            WinStack& stack = context.stack;
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

// The hash after the engine's stone on move and the opponent's on block (if any).
uint64_t hashAfterPair(const board::EngineBoard& b, int32_t move, int32_t block) {
    uint64_t hash = b.hash ^ b.zobristKeys[CellOwn * board::MaxCells + move];
    if (block != NoCell) hash ^= b.zobristKeys[CellOpponent * board::MaxCells + block];
    return hash;
}

void adoptWinLine(WinPlan& plan, const WinStack& stack, ThreatSearchKind kind) {
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
int32_t continueWinLine(const WinPlan& plan, const board::EngineBoard& b, ThreatSearchKind kind) {
    if (plan.next >= plan.length || plan.kind != kind || b.hash != plan.expectedHash) {
        return NoCell;
    }
    return plan.line[plan.next];
}

// Moves the plan past the move now played and reports the line still ahead.
void playFromPlan(WinPlan& plan, const board::EngineBoard& b, const ThinkControl& control,
                  uint64_t levels) {
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
    reportIteration(control, report);
    plan.expectedHash = hashAfterPair(b, move, block);
    plan.next += 2;
}

// The root passes checkDefenderFive true: if the opponent already holds a four, only fours that
// take its five cell are worth trying.
bool searchRoot(ThreatContext& context, ThreatSearchKind kind) {
    switch (kind) {
        case ThreatSearchKind::ExactFive:
            return searchFours<ExactFiveRules>(context, true);
        case ThreatSearchKind::Freestyle:
            return searchFours<FreestyleRules>(context, true);
        case ThreatSearchKind::RenjuBlack:
            return searchFours<RenjuBlackRules>(context, true);
        case ThreatSearchKind::RenjuWhite:
            return searchFours<RenjuWhiteRules>(context, true);
    }
    return false;
}

}  // namespace

int32_t threatMove(ThreatSearch& threats, board::EngineBoard& b, SearchMemory& memory,
                   ThinkControl& control, ThreatSearchKind kind) {
    WinPlan& plan = threats.plan;
    const int32_t planned = continueWinLine(plan, b, kind);
    if (planned != NoCell) {
        threats.stats = {};
        playFromPlan(plan, b, control, 0);
        return planned;
    }
    ThreatContext context{b, memory, control, threats.stack};
    const bool won = searchRoot(context, kind);
    threats.stats = {context.levels, context.gaveUp};
    if (!won) {
        plan.length = 0;
        return NoCell;
    }
    adoptWinLine(plan, threats.stack, kind);
    playFromPlan(plan, b, control, threats.stats.levels);
    return plan.line[0];
}

}  // namespace velka::search
