#include "search/main_search.h"

#include <algorithm>
#include <array>

#include "board/board.h"
#include "search/candidates.h"
#include "search/evaluation.h"
#include "search/forbidden.h"
#include "search/memory.h"
#include "search/scores.h"
#include "search/think_control.h"
#include "search/time_control.h"

namespace velka::search {

using board::engineBoard;
using patterns::RuleVariant;
using patterns::ShapeField;

namespace {

constexpr int32_t VariantCount = 3;
// How far from the stones a candidate can lie: the root filter reaches three cells out, the inner
// one two cells along a line.
constexpr int32_t RootReach = 3;
constexpr int32_t InnerReach = 2;

struct RootMoveList {
    int32_t count = 0;
    std::array<int32_t, RootCandidateCapacity> cells{};
};

// Everything one variant's search keeps; each variant has its own, so that nothing is shared
// between the three searches but the board and the memory.
struct VariantSearch {
    RootMoveList rootMoves;
    RootMoveList rootWork;
    uint32_t nodeCounter = 0;  // carries over from one search to the next
    // Set at a clock check that finds the time up; every level returns at once when it sees it,
    // stores nothing, and the root repairs the board from the snapshot.
    bool aborted = false;
    bool useClock = true;
    uint64_t nodeLimit = 0;
    uint64_t nodes = 0;
    // The principal variation: pv[p] holds, from entry p on, the line found below the node at ply
    // p of the iteration under way (ply 0 is the root move), pvEnd[p] where it ends.
    int32_t iterationDepth = 0;
    std::array<std::array<int32_t, MaxPly>, MaxPly> pv;
    std::array<int32_t, MaxPly> pvEnd;
    RootMoveList bestLine;  // the root's line in the iteration under way
    // The stones now on the board (the position's plus the search's own, pushed and popped with
    // them), so that the evaluation looks at stones only instead of every cell.
    int32_t stoneCount = 0;
    std::array<int32_t, board::MaxCells> stones{};
};

std::array<VariantSearch, VariantCount> variantSearches;
SearchStats stats;

// What differs between the three searches: the leaf verdict, and the rules by which the
// evaluation and the candidate generator judge each colour's stones.
template <RuleVariant V, ShapeField BlackField, ShapeField WhiteField, CandidateRules R>
struct VariantPolicy {
    static constexpr RuleVariant Variant = V;
    static int32_t verdict(int32_t lastMove) {
        if constexpr (V == RuleVariant::Renju) {
            return leafVerdict(RuleVariant::Renju, lastMove);
        } else {
            return stoneMakesFive<BlackField>(lastMove) ? LossScore : NoScore;
        }
    }
    static int32_t evaluate(const VariantSearch& s, int32_t side) {
        return evaluateStones<BlackField, WhiteField>(s.stones.data(), s.stoneCount, side,
                                                      engineBoard.firstPlayer);
    }
    template <CandidateMode M>
    static int32_t candidates(const ScanArea& area, int32_t side, int32_t* out, int32_t cap) {
        return generateIn<R, M>(candidateList(R), area, side, out, cap);
    }
};

using FreestylePolicy = VariantPolicy<RuleVariant::Freestyle, ShapeField::Free, ShapeField::Free,
                                      CandidateRules::Freestyle>;
using ExactFivePolicy = VariantPolicy<RuleVariant::ExactFive, ShapeField::Exact, ShapeField::Exact,
                                      CandidateRules::ExactFive>;
using RenjuPolicy =
    VariantPolicy<RuleVariant::Renju, ShapeField::Exact, ShapeField::Free, CandidateRules::Renju>;

template <class P>
VariantSearch& searchState() {
    return variantSearches[static_cast<size_t>(P::Variant)];
}

// The scan area after a stone on cell: the old one widened to reach the cells near the stone.
ScanArea widenedArea(const ScanArea& area, int32_t cell, int32_t reach) {
    const int32_t x = cell % engineBoard.width;
    const int32_t y = cell / engineBoard.width;
    return {std::min(area.x0, std::max(x - reach, 0)), std::min(area.y0, std::max(y - reach, 0)),
            std::max(area.x1, std::min(x + reach, engineBoard.width - 1)),
            std::max(area.y1, std::min(y + reach, engineBoard.height - 1))};
}

// The stones' bounding box widened by reach, or an empty area for no stones.
ScanArea stoneArea(const VariantSearch& s, int32_t reach) {
    ScanArea area{engineBoard.width, engineBoard.height, -1, -1};
    for (int32_t i = 0; i < s.stoneCount; ++i) area = widenedArea(area, s.stones[i], reach);
    return area;
}

void placeStone(VariantSearch& s, int32_t cell, int32_t side) {
    board::setCell(cell, side);
    s.stones[s.stoneCount++] = cell;
}

void removeStone(VariantSearch& s, int32_t cell) {
    board::setCell(cell, board::CellEmpty);
    --s.stoneCount;
}

// Starts loading the memory slot of the position after a stone of side on cell, so that the
// child's probe, a likely cache miss in a large table, overlaps with the work before it.
void prefetchChildSlot(int32_t cell, int32_t side) {
    const uint64_t hash = engineBoard.hash ^ engineBoard.zobristKeys[side * board::MaxCells + cell];
    __builtin_prefetch(&searchMemory.table[static_cast<uint32_t>(hash) & searchMemory.mask]);
}

// The line below the node at ply p becomes the move m followed by the line of its child.
void extendLine(VariantSearch& s, int32_t p, int32_t m) {
    std::array<int32_t, MaxPly>& line = s.pv[p];
    line[p] = m;
    const int32_t end = p + 1 < MaxPly ? s.pvEnd[p + 1] : p + 1;
    for (int32_t i = p + 1; i < end; ++i) line[i] = s.pv[p + 1][i];
    s.pvEnd[p] = end;
}

void copyRootLine(VariantSearch& s) {
    s.bestLine.count = s.pvEnd[0];
    std::copy(s.pv[0].begin(), s.pv[0].begin() + s.pvEnd[0], s.bestLine.cells.begin());
}

void reportRootLine(const VariantSearch& s, int32_t depth, int32_t score) {
    IterationReport report{};
    report.depth = depth;
    report.score = score;
    report.nodes = s.nodes;
    report.pv = {s.bestLine.cells.data(), static_cast<size_t>(s.bestLine.count)};
    reportIteration(report);
}

template <class P>
int32_t searchNode(int32_t depth, int32_t alpha, int32_t beta, int32_t lastMove, int32_t side,
                   const ScanArea& parentArea) {
    VariantSearch& s = searchState<P>();
    const int32_t ply = s.iterationDepth - depth;
    s.pvEnd[ply] = ply;
    // Step 1. The node limit at every node; the clock and the manager's stop once every 501.
    if (++s.nodes > s.nodeLimit && s.nodeLimit != 0) {
        s.aborted = true;
        return 0;
    }
    if (++s.nodeCounter > ClockCheckInterval) {
        s.nodeCounter = 0;
        if (s.useClock && thinkMustStop()) {
            s.aborted = true;
            return 0;
        }
    }

    // Step 2. A result stored by an earlier visit.
    int32_t v = probeMemory(depth, alpha, beta);
    if (v != NoScore) return v;

    // Steps 3 and 4. Has the last stone ended the game; at the horizon, the static score.
    v = P::verdict(lastMove);
    if (v == NoScore && depth == 0) v = P::evaluate(s, side);
    if (v != NoScore) {
        if (v == LossScore || depth == 0) storeMemory(depth, v, BoundExact);
        return v;  // a forbidden black stone's WinScore above the horizon is not stored
    }

    // Step 5. The moves worth trying.
    const ScanArea area = widenedArea(parentArea, lastMove, InnerReach);
    std::array<int32_t, InnerCandidateCapacity> moves;
    const int32_t count = P::template candidates<CandidateMode::Inner>(area, side, moves.data(),
                                                                       InnerCandidateCapacity);
    if (count == 0) return LossScore;
    for (int32_t i = 0; i < count; ++i) prefetchChildSlot(moves[i], side);

    // Step 6. Principal variation: full window until a move raises alpha, null windows after.
    uint8_t bound = BoundUpper;
    int32_t best = LossScore;
    bool pvFound = false;
    const int32_t other = side ^ 3;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t m = moves[i];
        placeStone(s, m, side);
        if (pvFound) {
            v = -searchNode<P>(depth - 1, -alpha - 1, -alpha, m, other, area);
            if (s.aborted) return 0;
            if (alpha < v && v < beta) {
                v = -searchNode<P>(depth - 1, -beta, -alpha, m, other, area);
            }
        } else {
            v = -searchNode<P>(depth - 1, -beta, -alpha, m, other, area);
        }
        if (s.aborted) return 0;
        removeStone(s, m);
        if (v == WinScore) {
            extendLine(s, ply, m);
            storeMemory(depth, v, BoundExact);
            return v;
        }
        if (v >= beta) {
            storeMemory(depth, v, BoundLower);  // fail-soft cut-off
            return v;
        }
        if (v > best) {
            if (v > alpha) {
                alpha = v;
                pvFound = true;
                bound = BoundExact;
                extendLine(s, ply, m);
            }
            best = v;
        }
    }
    storeMemory(depth, best, bound);
    return best;
}

void removeFromList(RootMoveList& list, int32_t cell) {
    int32_t* end = list.cells.data() + list.count;
    int32_t* at = std::find(list.cells.data(), end, cell);
    if (at == end) return;
    std::copy(at + 1, end, at);
    --list.count;
}

void moveToFront(RootMoveList& list, int32_t cell) {
    int32_t* first = list.cells.data();
    int32_t* at = std::find(first, first + list.count, cell);
    if (at == first + list.count) return;
    std::rotate(first, at, at + 1);
}

template <class P>
int32_t searchRoot(const SearchLimits& limits) {
    VariantSearch& s = searchState<P>();
    s.aborted = false;
    s.useClock = limits.useClock;
    s.nodeLimit = limits.nodeLimit;
    s.nodes = 0;
    stats = {};

    int32_t result = board::NoCell;
    board::saveBoard();

    s.stoneCount = 0;
    for (int32_t cell = 0; cell < engineBoard.cellCount; ++cell) {
        if (engineBoard.cells[cell] != board::CellEmpty) s.stones[s.stoneCount++] = cell;
    }
    const ScanArea area = stoneArea(s, InnerReach);

    // Root candidates for the engine's stone.
    s.rootMoves.count = P::template candidates<CandidateMode::Root>(
        stoneArea(s, RootReach), board::CellOwn, s.rootMoves.cells.data(), RootCandidateCapacity);
    const int32_t rootCount = s.rootMoves.count;
    const int32_t maxDepth = std::min(limits.maxDepth, MaxSearchDepth);

    for (int32_t d = 1; d <= maxDepth; ++d) {
        const int64_t t0 = clockMs();
        s.iterationDepth = d;
        s.rootWork = s.rootMoves;
        if (s.rootWork.count == 0) break;
        if (s.rootWork.count == 1) {
            result = s.rootWork.cells[0];
            break;
        }

        int32_t alpha = LossScore;
        int32_t best = LossScore;
        int32_t bestMove = board::NoCell;
        bool pvFound = false;
        for (int32_t i = 0; i < s.rootMoves.count; ++i) {
            const int32_t m = s.rootMoves.cells[i];
            placeStone(s, m, board::CellOwn);
            int32_t v;
            if (pvFound) {
                v = -searchNode<P>(d - 1, -alpha - 1, -alpha, m, board::CellOpponent, area);
                if (!s.aborted && alpha < v && v < WinScore) {
                    v = -searchNode<P>(d - 1, LossScore, -alpha, m, board::CellOpponent, area);
                }
            } else {
                v = -searchNode<P>(d - 1, LossScore, -alpha, m, board::CellOpponent, area);
            }
            if (s.aborted) {
                // The iteration under way is lost whole; the last completed one stands.
                board::restoreBoard();
                stats.stopped = true;
                stats.nodes = s.nodes;
                return result;
            }
            removeStone(s, m);
            if (v >= WinScore) {
                result = m;
                extendLine(s, 0, m);
                copyRootLine(s);
                reportRootLine(s, d, v);
                board::restoreBoard();
                stats.nodes = s.nodes;
                return result;
            }
            if (v == LossScore) {
                removeFromList(s.rootWork, m);  // proven lost: never searched again
            } else if (v > best) {
                best = alpha = v;
                bestMove = m;
                pvFound = true;
                moveToFront(s.rootWork, m);
                extendLine(s, 0, m);
                copyRootLine(s);
            }
        }
        if (bestMove == board::NoCell) break;  // every move lost: keep the previous answer
        result = bestMove;
        stats.completedDepth = d;
        reportRootLine(s, d, best);

        // Another iteration would take longer than the time that is left.
        if (s.useClock && clockMs() - t0 >= timeRemaining()) break;

        s.rootWork.count = narrowedRootCount(s.rootWork.count, d, rootCount);
        s.rootMoves = s.rootWork;
    }
    board::restoreBoard();
    stats.nodes = s.nodes;
    return result;
}

}  // namespace

int32_t narrowedRootCount(int32_t count, int32_t depth, int32_t rootCount) {
    if (count <= NarrowingFloor || depth > NarrowingDepths) return count;
    return std::min(count, (NarrowingDepths + 1 - depth) * rootCount / (NarrowingDepths + 1) + 1);
}

int32_t searchBestMove(RuleVariant variant, const SearchLimits& limits) {
    switch (variant) {
        case RuleVariant::Freestyle:
            return searchRoot<FreestylePolicy>(limits);
        case RuleVariant::ExactFive:
            return searchRoot<ExactFivePolicy>(limits);
        case RuleVariant::Renju:
            return searchRoot<RenjuPolicy>(limits);
    }
    return board::NoCell;
}

const SearchStats& lastSearchStats() {
    return stats;
}

std::span<const int32_t> lastRootMoves(RuleVariant variant) {
    const RootMoveList& list = variantSearches[static_cast<size_t>(variant)].rootMoves;
    return {list.cells.data(), static_cast<size_t>(list.count)};
}

uint32_t nodeCounter(RuleVariant variant) {
    return variantSearches[static_cast<size_t>(variant)].nodeCounter;
}

}  // namespace velka::search
