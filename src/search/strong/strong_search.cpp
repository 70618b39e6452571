#include "search/strong/strong_search.h"

#include <algorithm>
#include <new>

#include "platform/platform.h"
#include "search/helper_threads.h"
#include "search/scores.h"
#include "search/strong/evaluation.h"
#include "search/strong/threat_space.h"
#include "search/time_control.h"

namespace velka::search::strong {

namespace {

using board::NoCell;
using patterns::RuleVariant;

// The clock and the stop requests are read at every ClockCheckNodes-th node. A node may run a
// search for fours of a few hundred positions, and the first think of a process touches its
// table's pages for the first time: a thousand nodes could then take a third of a second, past a
// short turn's end. A clock read costs a few tens of nanoseconds, well under a node's time / 64.
constexpr uint32_t ClockCheckNodes = 64;
// The stack a helper touches: the searches' recursion with room to spare.
constexpr uint64_t HelperStackBytesUsed = uint64_t{1} << 20;

// The side to move at a ply: the engine at the root.
int32_t sideAt(int32_t ply) {
    return (ply & 1) == 0 ? board::CellOwn : board::CellOpponent;
}

int32_t mateIn(int32_t ply) {
    return MateValue - ply;
}

// Proven results are kept in the memory relative to the node, so that a transposition at another
// ply reads them right.
int32_t toMemory(int32_t v, int32_t ply) {
    return v >= MateBound ? v + ply : v <= -MateBound ? v - ply : v;
}
int32_t fromMemory(int32_t v, int32_t ply) {
    return v >= MateBound ? v - ply : v <= -MateBound ? v + ply : v;
}

// A memory entry's value: the score in the low 16 bits, the best move plus one above.
int32_t packEntry(int32_t score, int32_t move) {
    return static_cast<int32_t>(static_cast<uint16_t>(static_cast<int16_t>(score)) |
                                static_cast<uint32_t>(move + 1) << 16);
}
int32_t entryScore(int32_t value) {
    return static_cast<int16_t>(value & 0xFFFF);
}
int32_t entryMove(int32_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) >> 16) - 1;
}

// Step 0 of every node: the node limit at every node; the clock and the manager's stop once every
// ClockCheckNodes nodes (a helper: the thinking thread's word).
bool mustStop(StrongThread& t) {
    if (t.stopped) return true;
    if (++t.nodes > t.nodeLimit && t.nodeLimit != 0) return t.stopped = true;
    if (++t.clockCheckCounter < ClockCheckNodes) return false;
    t.clockCheckCounter = 0;
    StrongSearch& search = *t.owner;
    if (t.helper) {
        t.sharedNodes.store(t.nodes, std::memory_order_relaxed);
        t.stopped = search.job.stop.load(std::memory_order_relaxed);
    } else {
        t.stopped = t.useClock && thinkMustStop(*search.control);
    }
    return t.stopped;
}

// What a move is worth for ordering, from the threats it makes and stops.
constexpr std::array<int32_t, LevelCount> OwnLevelOrder = {0,     5000,  15000, 6000, 20000,
                                                           30000, 40000, 0,     15000};
constexpr std::array<int32_t, LevelCount> OtherLevelOrder = {0,     4000,  10000, 2000, 12000,
                                                             25000, 35000, 0,     10000};
constexpr int32_t KillerOrder = 3000;
constexpr int32_t MemoryMoveOrder = 1 << 30;

int32_t shapeValue(const PatternBoard& pb, int32_t colour, int32_t cell) {
    const uint8_t* table = forbiddenApplies(pb, colour) ? patterns::BlackMoveValueTable.data()
                                                        : patterns::MoveValueTable.data();
    return table[patterns::groupQuadIndex(pb.quad[colour - 1][cell])];
}

bool isQuiet(const PatternBoard& pb, int32_t side, int32_t cell) {
    return levelOf(pb, side, cell) < LevelThree && levelOf(pb, side ^ 3, cell) < LevelThree;
}

int32_t orderScore(const StrongThread& t, int32_t side, int32_t cell, int32_t ply,
                   int32_t memoryMove) {
    const PatternBoard& pb = t.pb;
    if (cell == memoryMove) return MemoryMoveOrder;
    int32_t score = OwnLevelOrder[levelOf(pb, side, cell)] +
                    OtherLevelOrder[levelOf(pb, side ^ 3, cell)] + 2 * shapeValue(pb, side, cell) +
                    shapeValue(pb, side ^ 3, cell) + t.history[side - 1][cell] / 8;
    if (t.killers[ply].contains(cell)) score += KillerOrder;
    return score;
}

// Every candidate the side may play. A cell that makes or spoils no shape has only its history to
// order it, so it comes late, but it is searched where the move limit reaches it or where every
// move before it loses: a cell left out is a blind spot that no depth mends.
void allMoves(StrongThread& t, int32_t side, int32_t ply, int32_t memoryMove, MoveList& moves) {
    PatternBoard& pb = t.pb;
    for (int32_t i = 0; i < pb.candidates.count; ++i) {
        const int32_t cell = pb.candidates.cells[i];
        if (!mayPlay(pb, cell, side)) continue;
        moves.add(cell, orderScore(t, side, cell, ply, memoryMove));
    }
}

// The other side can make an open four (or two fours) next: the moves that may stop it, and the
// side's own fours, which it must answer first. A move that does not stop it loses at once in the
// child, for less than trying it here would cost.
void defences(StrongThread& t, int32_t side, int32_t ply, int32_t memoryMove, bool withFours,
              MoveList& moves) {
    PatternBoard& pb = t.pb;
    const int32_t other = side ^ 3;
    for (const CellLevel level : {LevelFourThree, LevelFour}) {
        if (level == LevelFour && !withFours) continue;
        const LevelCells& fours = cellsAt(pb, side, level);
        for (int32_t i = 0; i < fours.count; ++i) {
            if (mayPlay(pb, fours.cells[i], side)) {
                moves.add(fours.cells[i], orderScore(t, side, fours.cells[i], ply, memoryMove));
            }
        }
    }
    const int32_t ownFours = moves.count;
    std::array<int16_t, 128> stops;
    const int32_t stopCount = threatStopCells(pb, other, stops.data(), 128);
    for (int32_t i = 0; i < stopCount; ++i) {
        const int32_t cell = stops[i];
        bool listed = false;
        for (int32_t j = 0; j < ownFours && !listed; ++j) listed = moves.cells[j] == cell;
        if (!listed && mayPlay(pb, cell, side)) {
            moves.add(cell, orderScore(t, side, cell, ply, memoryMove));
        }
    }
}

void extendLine(StrongThread& t, int32_t ply, int32_t move) {
    t.pv[ply][ply] = static_cast<int16_t>(move);
    for (int32_t i = ply + 1; i < t.pvEnd[ply + 1]; ++i) t.pv[ply][i] = t.pv[ply + 1][i];
    t.pvEnd[ply] = std::max(t.pvEnd[ply + 1], ply + 1);
}

// The other side's four must be answered on its five cell; a side with a five cell, or with an
// open four to make, has won; so has Renju white with a four to make whose five cell black may not
// block (a trap the search would otherwise see only a ply later, never beyond its horizon).
// Returns the score when the position is decided, else Infinite, and sets forced to the one cell
// the side must play (or NoCell).
int32_t decided(StrongThread& t, int32_t side, int32_t ply, int32_t& forced) {
    PatternBoard& pb = t.pb;
    forced = NoCell;
    if (cellsAt(pb, side, LevelFive).count > 0) return mateIn(ply + 1);
    const LevelCells& fives = cellsAt(pb, side ^ 3, LevelFive);
    if (fives.count > 0) {
        forced = fives.cells[0];
        if (fives.count > 1 || !mayPlay(pb, forced, side)) return -mateIn(ply + 2);
        return Infinite;
    }
    if (cellsAt(pb, side, LevelFlexFour).count > 0) return mateIn(ply + 3);
    if (pb.variant == RuleVariant::Renju && side != pb.board.firstPlayer &&
        forbiddenTrap(pb) != NoCell) {
        return mateIn(ply + 3);
    }
    return Infinite;
}

// The side to move's victory by fours from here, as a score, or Infinite for none found.
int32_t vcfScore(StrongThread& t, int32_t side, int32_t ply) {
    ThreatBudget budget{0, VcfNodes};
    int32_t move = NoCell;
    const int32_t plies = findVcf(t.pb, *t.owner->memory, side, VcfPlies, budget, move);
    return plies > 0 ? mateIn(ply + plies) : Infinite;
}

// Beyond the horizon the threats are played out before the position is judged: a four's block;
// against an open three, what stops it (the evaluation cannot tell one open three, which the side
// to move stops, from two, which it cannot); otherwise the side may stand on the evaluation or
// play a move that makes two threats at once (a four and an open three, or two open threes).
int32_t quiescence(StrongThread& t, int32_t alpha, int32_t beta, int32_t ply, int32_t qply) {
    PatternBoard& pb = t.pb;
    const int32_t side = sideAt(ply);
    t.pvEnd[ply] = ply;
    if (mustStop(t)) return 0;
    int32_t forced = NoCell;
    const int32_t result = decided(t, side, ply, forced);
    if (result != Infinite) return result;
    if (ply >= MaxStrongPly || qply >= QuiescencePlies) return evaluate(pb, side);
    MoveList& moves = t.moves[ply];
    moves.count = 0;
    int32_t best = -Infinite;
    if (forced != NoCell) {
        moves.add(forced, 0);
    } else if (cellsAt(pb, side ^ 3, LevelFlexFour).count > 0) {
        defences(t, side, ply, NoCell, false, moves);
        if (moves.count == 0) {
            // Only fours can still save the side, by winning first.
            const int32_t win = vcfScore(t, side, ply);
            return win != Infinite ? win : -mateIn(ply + 4);
        }
    } else {
        best = evaluate(pb, side);
        if (best >= beta) return best;
        alpha = std::max(alpha, best);
        for (const CellLevel level : {LevelFourThree, LevelDoubleThree}) {
            const LevelCells& cells = cellsAt(pb, side, level);
            for (int32_t i = 0; i < cells.count && moves.count < QuiescenceThreats; ++i) {
                if (mayPlay(pb, cells.cells[i], side)) moves.add(cells.cells[i], 0);
            }
        }
    }
    for (int32_t i = 0; i < moves.count; ++i) {
        const int32_t m = moves.pick(i);
        playStone(pb, m, side);
        const int32_t v = -quiescence(t, -beta, -alpha, ply + 1, qply + 1);
        undoStone(pb);
        if (t.stopped) return 0;
        if (v > best) {
            best = v;
            if (v > alpha) alpha = v;
            if (v >= beta) break;
        }
    }
    // The side's own fours were left out: before a loss is claimed, they may still win first.
    if (best <= -MateBound) {
        const int32_t win = vcfScore(t, side, ply);
        if (win != Infinite) return win;
    }
    return best;
}

template <bool Pv>
int32_t search(StrongThread& t, int32_t depth, int32_t alpha, int32_t beta, int32_t ply) {
    PatternBoard& pb = t.pb;
    const int32_t side = sideAt(ply);
    const int32_t other = side ^ 3;
    t.pvEnd[ply] = ply;
    if (mustStop(t)) return 0;

    // Step 1. A five to make, a four to answer, an open four to make.
    int32_t forced = NoCell;
    const int32_t result = decided(t, side, ply, forced);
    if (result != Infinite) return result;
    if (ply >= MaxStrongPly) return evaluate(pb, side);

    // Step 2. No line can end better than a five on the next move, or worse than one after it.
    alpha = std::max(alpha, -mateIn(ply));
    beta = std::min(beta, mateIn(ply + 1));
    if (alpha >= beta) return alpha;

    // Step 3. At the horizon, fours to the end; a forced block is searched as a move.
    if (depth <= 0 && forced == NoCell) return quiescence(t, alpha, beta, ply, 0);

    // Step 4. What an earlier visit found.
    const uint64_t hash = pb.board.hash;
    SearchMemoryEntry entry;
    int32_t memoryMove = NoCell;
    if (readEntry(*t.owner->memory, hash, entry)) {
        memoryMove = entryMove(entry.value);
        const int32_t v = fromMemory(entryScore(entry.value), ply);
        if (!Pv && entry.depth >= depth &&
            (entry.bound == BoundExact || (entry.bound == BoundLower && v >= beta) ||
             (entry.bound == BoundUpper && v <= alpha))) {
            return v;
        }
    }

    // Step 5. Far enough above beta near the horizon, with no threat against it, the side keeps
    // beta: a quiet move of its own adds more than the other side's reply takes away.
    if (!Pv && forced == NoCell && depth <= FutilityDepth) {
        const int32_t evaluation = evaluate(pb, side);
        if (futile(pb, side, depth, beta, evaluation)) return evaluation;
    }

    // Step 6. The moves: the forced block alone; against an open three, what stops it and the
    // side's own fours; otherwise every candidate.
    MoveList& moves = t.moves[ply];
    moves.count = 0;
    const bool defending = forced == NoCell && cellsAt(pb, other, LevelFlexFour).count > 0;
    if (forced != NoCell) {
        moves.add(forced, 0);
    } else if (defending) {
        defences(t, side, ply, memoryMove, true, moves);
        // Nothing stops the open four to come: it wins on its next move.
        if (moves.count == 0) return -mateIn(ply + 4);
    } else {
        allMoves(t, side, ply, memoryMove, moves);
        if (moves.count == 0) return 0;
    }
    // A forced reply costs no depth: answering fours never makes the search shallower.
    const int32_t childDepth = forced != NoCell ? depth : depth - 1;

    // Step 7. Principal variation search; late moves the order placed reduced, late quiet ones
    // near the horizon pruned.
    int32_t best = -Infinite;
    int32_t bestMove = NoCell;
    uint8_t bound = BoundUpper;
    // The forced block and the defences are searched whole; other moves, the best few.
    const int32_t moveLimit = forced != NoCell || defending ? moves.count
                              : Pv                          ? PvMoveLimit
                                                            : InnerMoveLimit;
    // While every move searched loses, the rest are searched too: a loss is claimed only where
    // it is proven, never for want of a move left out.
    for (int32_t i = 0; i < moves.count && (i < moveLimit || best <= -MateBound); ++i) {
        const int32_t m = moves.pick(i);
        // Not the forced block, not a defence, not the memory's move: one the order put here.
        const bool ordinary = forced == NoCell && !defending && m != memoryMove;
        const bool quiet = ordinary && isQuiet(pb, side, m);
        if (!Pv && quiet && depth <= 3 && i >= MoveCountBase + depth * depth && best > -MateBound) {
            continue;
        }
        playStone(pb, m, side);
        int32_t v;
        if (i == 0) {
            v = -search<Pv>(t, childDepth, -beta, -alpha, ply + 1);
        } else {
            const int32_t reduction = lateMoveReduction(depth, i, ordinary);
            v = -search<false>(t, childDepth - reduction, -alpha - 1, -alpha, ply + 1);
            if (v > alpha && reduction > 0) {
                v = -search<false>(t, childDepth, -alpha - 1, -alpha, ply + 1);
            }
            if (Pv && v > alpha && v < beta)
                v = -search<true>(t, childDepth, -beta, -alpha, ply + 1);
        }
        undoStone(pb);
        if (t.stopped) return 0;
        if (v > best) {
            best = v;
            bestMove = m;
            if (v > alpha) {
                alpha = v;
                bound = BoundExact;
                if (Pv) extendLine(t, ply, m);
                if (v >= beta) {
                    bound = BoundLower;
                    if (quiet) rememberCut(t.killers[ply], t.history, side, m, depth);
                    break;
                }
            }
        }
    }
    writeEntry(*t.owner->memory, hash, static_cast<uint8_t>(std::max(depth, 0)), bound,
               packEntry(toMemory(best, ply), bestMove));
    return best;
}

// The root: every root move with the window, principal variation search after the first, late
// quiet moves a ply or two shallower until they beat the best so far (most of a think's root moves
// are such, and each costs a whole subtree); each move's score kept for the next iteration's order
// (a move that failed low keeps -Infinite). With several lines wanted, every move that may be
// among them gets the full window.
int32_t searchRoot(StrongThread& t, int32_t depth, int32_t alpha, int32_t beta) {
    PatternBoard& pb = t.pb;
    int32_t best = -Infinite;
    int32_t found = 0;
    for (int32_t i = 0; i < t.rootCount; ++i) {
        RootMove& root = t.rootMoves[i];
        root.score = -Infinite;
        const int32_t threshold =
            found < t.multiPv ? alpha : std::max(alpha, t.rootMoves[t.multiPv - 1].score);
        const int32_t reduction =
            lateMoveReduction(depth, i, isQuiet(pb, board::CellOwn, root.cell));
        playStone(pb, root.cell, board::CellOwn);
        int32_t v;
        if (found < t.multiPv) {
            v = -search<true>(t, depth - 1, -beta, -threshold, 1);
        } else {
            v = -search<false>(t, depth - 1 - reduction, -threshold - 1, -threshold, 1);
            if (v > threshold && reduction > 0) {
                v = -search<false>(t, depth - 1, -threshold - 1, -threshold, 1);
            }
            if (v > threshold && v < beta) v = -search<true>(t, depth - 1, -beta, -threshold, 1);
        }
        undoStone(pb);
        if (t.stopped) return best;
        if (v > threshold || found < t.multiPv) {
            root.score = v;
            root.line.count = std::min(t.pvEnd[1], MaxPly);
            root.line.cells[0] = root.cell;
            for (int32_t k = 1; k < root.line.count; ++k) root.line.cells[k] = t.pv[1][k];
            ++found;
            // Keep the scored moves in front, best first, so that the threshold is the last one
            // of the lines wanted.
            std::stable_sort(
                t.rootMoves.begin(), t.rootMoves.begin() + i + 1,
                [](const RootMove& a, const RootMove& b) { return a.score > b.score; });
        }
        best = std::max(best, v);
        if (t.multiPv == 1 && v > alpha) alpha = v;
        if (alpha >= beta) break;
    }
    return best;
}

void reportLines(const StrongThread& t, int32_t depth) {
    const StrongSearch& search = *t.owner;
    uint64_t nodes = t.nodes;
    for (int32_t i = 1; i <= search.searchingHelpers; ++i) {
        nodes += search.helpers[i]->sharedNodes.load(std::memory_order_relaxed);
    }
    const int32_t lines = std::min(t.multiPv, t.rootCount);
    for (int32_t k = 0; k < lines; ++k) {
        const RootMove& root = t.rootMoves[k];
        if (root.score == -Infinite) break;
        IterationReport report{};
        report.depth = depth;
        // A five the iterations see is no proof: against an open three the quiet search tries
        // only the moves that stop it, not every four the defender could put in first. It
        // reads as the largest score; only the victory by threats below is reported as won.
        report.score = root.score;
        report.rank = t.multiPv > 1 ? k + 1 : 0;
        report.nodes = nodes;
        report.pv = {root.line.cells.data(), static_cast<size_t>(root.line.count)};
        reportIteration(*search.control, report);
    }
}

void prepareThread(StrongThread& t, StrongSearch& search, const board::EngineBoard& b,
                   RuleVariant variant, const SearchLimits& limits) {
    resetPatternBoard(t.pb, b, variant);
    t.owner = &search;
    t.useClock = limits.useClock && !t.helper;
    t.nodeLimit = t.helper ? 0 : limits.nodeLimit;
    t.multiPv = t.helper ? 1 : std::clamp(limits.multiPv, 1, MaxMultiPv);
    t.nodes = 0;
    t.sharedNodes.store(0, std::memory_order_relaxed);
    t.stopped = false;
    t.result = NoCell;
    t.completedDepth = 0;
    // The history lives as long as the table's results do (see decideWith): it fades from move
    // to move while they are kept, and starts from nothing where they start afresh, as under a
    // node limit, which keeps such a think repeatable.
    const SearchMemory& memory = *search.memory;
    if (memory.keptSince != 0 && memory.keptSince != memory.generation) {
        fadeHistory(t.history);
    } else {
        for (auto& side : t.history) side.fill(0);
    }
    t.killers.fill(Killers{});
    // The root moves: the engine's five, or the block of the other side's four, alone; against an
    // open three what stops it and the engine's fours; else every candidate it may play. Best
    // first by the move order.
    MoveList& moves = t.moves[0];
    moves.count = 0;
    PatternBoard& pb = t.pb;
    const int32_t own = board::CellOwn;
    if (cellsAt(pb, own, LevelFive).count > 0) {
        moves.add(cellsAt(pb, own, LevelFive).cells[0], 0);
    } else if (cellsAt(pb, own ^ 3, LevelFive).count > 0) {
        moves.add(cellsAt(pb, own ^ 3, LevelFive).cells[0], 0);
    } else if (cellsAt(pb, own, LevelFlexFour).count == 0 &&
               cellsAt(pb, own ^ 3, LevelFlexFour).count > 0) {
        defences(t, own, 0, NoCell, true, moves);
    }
    if (moves.count == 0) allMoves(t, own, 0, NoCell, moves);
    t.rootCount = std::min(moves.count, RootCandidateCapacity);
    for (int32_t i = 0; i < t.rootCount; ++i) {
        t.rootMoves[i] = RootMove{};
        t.rootMoves[i].cell = moves.pick(i);
    }
}

// Iterative deepening with aspiration windows, until the depth limit, a proven result within the
// depth, the clock (the thinking thread) or a stop. A turn's time left unspent is lost, so the
// thinking thread goes on while it lasts, even into an iteration it will not finish: the root
// searches the last choice first, and a move that this iteration has searched to the end and found
// better is worth playing. Match time left unspent serves the moves to come: where the match clock
// set the budget, the thread stops after an iteration that took longer than the time that remains,
// as the next would not finish; spending every share in full would drain a short match clock
// before a long game ends.
void iterate(StrongThread& t, int32_t maxDepth) {
    StrongSearch& search = *t.owner;
    int32_t score = 0;
    for (int32_t depth = 1; depth <= maxDepth; ++depth) {
        if (t.helper) {
            // Helpers search one iteration ahead of the thinking thread, or two, in turns.
            const int32_t ahead =
                search.job.mainDepth.load(std::memory_order_relaxed) + 1 + (depth & 1);
            depth = std::max(depth, ahead);
            if (depth > maxDepth) return;
        } else {
            search.job.mainDepth.store(depth, std::memory_order_relaxed);
        }
        const int64_t started = clockMs();
        int32_t window = AspirationWindow;
        int32_t alpha = -Infinite;
        int32_t beta = Infinite;
        if (depth >= 4 && t.multiPv == 1 && std::abs(score) < MateBound) {
            alpha = score - window;
            beta = score + window;
        }
        for (;;) {
            const int32_t v = searchRoot(t, depth, alpha, beta);
            if (t.stopped) {
                // searchRoot keeps the moves it scored in front, best first; one it did not
                // finish stays unscored. A new choice gets its line, so that the move played is
                // always that of the last line a manager saw.
                const RootMove& first = t.rootMoves[0];
                if (!t.helper && t.multiPv == 1 && first.score > -Infinite &&
                    first.cell != t.result) {
                    t.result = first.cell;
                    reportLines(t, depth);
                }
                return;
            }
            if (v <= alpha) {
                alpha = std::max(-Infinite, alpha - window);
            } else if (v >= beta) {
                beta = std::min(Infinite, beta + window);
            } else {
                score = v;
                break;
            }
            window *= 2;
        }
        t.result = t.rootMoves[0].cell;
        t.completedDepth = depth;
        if (!t.helper) reportLines(t, depth);
        // A proven result within the depth searched does not change with more depth.
        if (std::abs(score) >= MateBound && MateValue - std::abs(score) <= depth) return;
        const GameClock& clock = search.control->clock;
        if (!t.helper && t.useClock && clock.matchClockSetsBudget.load(std::memory_order_relaxed) &&
            clockMs() - started >= timeRemaining(clock)) {
            return;
        }
    }
}

void helperSearch(void* context, int32_t index) {
    StrongSearch& search = *static_cast<StrongSearch*>(context);
    StrongThread& t = *search.helpers[index];
    prepareThread(t, search, *search.job.board, search.job.variant, SearchLimits{});
    iterate(t, search.job.maxDepth);
}

}  // namespace

StrongSearch::~StrongSearch() {
    for (StrongThread* helper : helpers) delete helper;
}

int32_t strongBestMove(StrongSearch& search, SearchMemory& memory, ThinkControl& control,
                       const board::EngineBoard& board, RuleVariant variant,
                       const SearchLimits& limits) {
    search.memory = &memory;
    search.control = &control;
    StrongThread& t = search.thinking;
    prepareThread(t, search, board, variant, limits);
    if (t.rootCount == 0) return NoCell;
    if (t.rootCount == 1) return t.rootMoves[0].cell;
    // A forced win by threats, fours and open threes, is played at once. The search for it takes
    // a share of the move's time at most, and looks a little deeper each time round, so that the
    // win it finds is the shortest it knows: the next move's is then shorter still, and the
    // number of moves announced with it holds.
    ThreatBudget budget{0, VctRootNodes, 0};
    if (limits.useClock) {
        budget.deadline = clockMs() + timeRemaining(control.clock) * VctRootTimeShare / 100;
    }
    int32_t winning = NoCell;
    int32_t plies = 0;
    for (int32_t most = VctRootFirstPlies; plies == 0 && most <= VctRootPlies; most += 2) {
        plies = findVct(t.pb, memory, board::CellOwn, most, budget, winning);
        if (budget.nodes > budget.nodeLimit) break;
    }
    if (plies > 0) {
        IterationReport report{};
        report.depth = plies;
        // Won, without the number of moves: the defender may still put in fours of its own on
        // the way, each a move longer than the count the search keeps. (The victories by fours
        // found before this search leave the defender no time for that and announce their
        // length.)
        report.score = WinScore;
        report.nodes = budget.nodes;
        report.pv = {&winning, 1};
        reportIteration(control, report);
        search.stats = {budget.nodes, 0, false};
        return winning;
    }
    const int32_t maxDepth = std::min(limits.maxDepth, MaxStrongDepth);
    const int32_t helpers = search.threadsInUse - 1;
    search.searchingHelpers = helpers;
    search.job.mainDepth.store(0, std::memory_order_relaxed);
    if (helpers > 0) {
        search.job.board = &board;
        search.job.variant = variant;
        search.job.maxDepth = maxDepth;
        search.job.stop.store(false, std::memory_order_relaxed);
        runOnHelpers(helpers, helperSearch, &search);
    }
    iterate(t, maxDepth);
    if (helpers > 0) {
        search.job.stop.store(true, std::memory_order_relaxed);
        waitForHelpers();
    }
    search.stats = {t.nodes, t.completedDepth, t.stopped};
    for (int32_t i = 1; i <= helpers; ++i) search.stats.nodes += search.helpers[i]->nodes;
    // Before any iteration completed: the first move in the order.
    return t.result != NoCell ? t.result : t.rootMoves[0].cell;
}

int32_t setStrongThreads(StrongSearch& search, int32_t requested) {
    const int32_t most = std::max(std::min(platform::hardwareThreads(), MaxSearchThreads), 1);
    const int32_t wanted = std::clamp(requested, 1, most) - 1;
    const int32_t helpers = std::min(startHelpers(wanted, SearchStackBytes), wanted);
    int32_t ready = 0;
    while (ready < helpers && ready + 1 < MaxSearchThreads) {
        StrongThread*& state = search.helpers[ready + 1];
        if (state == nullptr) state = new (std::nothrow) StrongThread;
        if (state == nullptr) break;
        state->helper = true;
        ++ready;
    }
    search.threadsInUse = 1 + ready;
    return search.threadsInUse;
}

uint64_t strongThreadsMemory(const StrongSearch& search) {
    return static_cast<uint64_t>(search.threadsInUse - 1) *
           (sizeof(StrongThread) + HelperStackBytesUsed);
}

}  // namespace velka::search::strong
