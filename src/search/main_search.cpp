#include "search/main_search.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <new>
#include <optional>

#include "board/board.h"
#include "platform/platform.h"
#include "search/candidates.h"
#include "search/evaluation.h"
#include "search/helper_threads.h"
#include "search/memory.h"
#include "search/scores.h"
#include "search/search_board.h"
#include "search/think_control.h"
#include "search/time_control.h"

namespace velka::search {

using patterns::RuleVariant;

namespace {

static_assert(MaxPly <= MaxPlacedStones, "a search board holds a whole line of the search");

// How far from the stones a candidate can lie: the root filter reaches three cells out, the inner
// one two cells along a line.
constexpr int32_t RootReach = 3;
constexpr int32_t InnerReach = 2;
// The stack a helper touches: the searches' recursion with room to spare.
constexpr uint64_t HelperStackBytesUsed = uint64_t{1} << 20;

// A level's score, or nothing when the search was stopped below it. A stopped level returns at
// once and stores nothing; so does every level above it, and the iteration under way is lost.
using NodeScore = std::optional<int32_t>;

struct RootMoveList {
    int32_t count = 0;
    std::array<int32_t, RootCandidateCapacity> cells{};
};

struct Line {
    int32_t count = 0;
    std::array<int32_t, MaxPly> cells{};
};

// Everything one search thread keeps: its own board and shapes, root lists, line and counters.
struct SearchThread {
    SearchBoard sb;
    bool helper = false;
    RootMoveList rootMoves;
    RootMoveList rootWork;
    uint32_t nodeCounter = 0;  // carries over from one search to the next
    bool useClock = true;
    uint64_t nodeLimit = 0;
    uint64_t nodes = 0;
    // A helper's nodes as the thinking thread may read them during the search, updated at every
    // 501st node.
    std::atomic<uint64_t> sharedNodes{0};
    // The principal variation: pv[p] holds, from entry p on, the line found below the node at ply
    // p of the iteration under way (ply 0 is the root move), pvEnd[p] where it ends.
    int32_t iterationDepth = 0;
    std::array<std::array<int32_t, MaxPly>, MaxPly> pv;
    std::array<int32_t, MaxPly> pvEnd;
    Line bestLine;  // the root's line in the iteration under way
    // The answer: the best move of the last completed iteration (or the winning move, or the only
    // candidate), with the iteration that found it, its score and its line.
    int32_t result = board::NoCell;
    int32_t completedDepth = 0;
    int32_t resultDepth = 0;
    int32_t resultScore = 0;
    Line resultLine;
    bool won = false;
    bool stopped = false;
};

// What the helpers search, set by the thinking thread before it wakes them.
struct SearchJob {
    RuleVariant variant = RuleVariant::Freestyle;
    int32_t maxDepth = 0;
    int32_t rootCount = 0;
    RootMoveList rootMoves;
    std::atomic<bool> stop{false};      // the thinking thread is done: the helpers return
    std::atomic<bool> won{false};       // a helper found a winning move: the thinking thread stops
    std::atomic<int32_t> mainDepth{0};  // the iteration the thinking thread is in
};

SearchThread thinkingThread;
std::array<SearchThread*, MaxSearchThreads> helperThreads{};  // [i] for helper i = 1, 2, ...
int32_t threadsInUse = 1;
int32_t searchingHelpers = 0;  // helpers 1 .. searchingHelpers take part in the search under way
SearchJob job;
SearchStats stats;

// The scan area after a stone on cell: the old one widened to reach the cells near the stone.
ScanArea widenedArea(const board::EngineBoard& b, const ScanArea& area, int32_t cell,
                     int32_t reach) {
    const int32_t x = cell % b.width;
    const int32_t y = cell / b.width;
    return {std::min(area.x0, std::max(x - reach, 0)), std::min(area.y0, std::max(y - reach, 0)),
            std::max(area.x1, std::min(x + reach, b.width - 1)),
            std::max(area.y1, std::min(y + reach, b.height - 1))};
}

// The stones' bounding box widened by reach, or an empty area for no stones.
ScanArea stoneArea(const board::EngineBoard& b, int32_t reach) {
    ScanArea area{b.width, b.height, -1, -1};
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        if (b.cells[cell] != board::CellEmpty) area = widenedArea(b, area, cell, reach);
    }
    return area;
}

// The line below the node at ply p becomes the move m followed by the line of its child.
void extendLine(SearchThread& t, int32_t p, int32_t m) {
    std::array<int32_t, MaxPly>& line = t.pv[p];
    line[p] = m;
    const int32_t end = p + 1 < MaxPly ? t.pvEnd[p + 1] : p + 1;
    for (int32_t i = p + 1; i < end; ++i) line[i] = t.pv[p + 1][i];
    t.pvEnd[p] = end;
}

void copyRootLine(SearchThread& t) {
    t.bestLine.count = t.pvEnd[0];
    std::copy(t.pv[0].begin(), t.pv[0].begin() + t.pvEnd[0], t.bestLine.cells.begin());
}

// The nodes of every thread: exact for the thinking thread, as last shown for the helpers.
uint64_t nodesSoFar(const SearchThread& t) {
    uint64_t nodes = t.nodes;
    for (int32_t i = 1; i <= searchingHelpers; ++i) {
        nodes += helperThreads[i]->sharedNodes.load(std::memory_order_relaxed);
    }
    return nodes;
}

void reportLine(const Line& line, int32_t depth, int32_t score, uint64_t nodes) {
    IterationReport report{};
    report.depth = depth;
    report.score = score;
    report.nodes = nodes;
    report.pv = {line.cells.data(), static_cast<size_t>(line.count)};
    reportIteration(report);
}

// Step 1 of every node, the one place where a search is stopped: the node limit at every node;
// the clock and the manager's stop once every 501 nodes (a helper: the thinking thread's word).
bool mustStop(SearchThread& t) {
    if (++t.nodes > t.nodeLimit && t.nodeLimit != 0) return true;
    if (++t.nodeCounter <= ClockCheckInterval) return false;
    t.nodeCounter = 0;
    if (t.helper) {
        t.sharedNodes.store(t.nodes, std::memory_order_relaxed);
        return job.stop.load(std::memory_order_relaxed);
    }
    return (t.useClock && thinkMustStop()) || job.won.load(std::memory_order_relaxed);
}

// A node at the horizon, reached by a stone of mover on move, which searchNode would place, look
// at and take back: the same steps on the position as it would be.
NodeScore searchLeaf(SearchThread& t, int32_t alpha, int32_t beta, int32_t move, int32_t mover) {
    const int32_t ply = t.iterationDepth;
    t.pvEnd[ply] = ply;
    if (mustStop(t)) return std::nullopt;
    const uint64_t hash = t.sb.board.hash ^ t.sb.board.zobristKeys[mover * board::MaxCells + move];
    int32_t v = probeMemory(hash, 0, alpha, beta);
    if (v != NoScore) return v;
    v = leafVerdict(t.sb, move, mover);
    if (v == NoScore) v = staticEvaluation(totalsIfPlayed(t.sb, move, mover), mover ^ 3);
    storeMemory(hash, 0, v, BoundExact);
    return v;
}

NodeScore searchNode(SearchThread& t, int32_t depth, int32_t alpha, int32_t beta, int32_t lastMove,
                     int32_t side, const ScanArea& parentArea) {
    const int32_t ply = t.iterationDepth - depth;
    const int32_t other = side ^ 3;
    t.pvEnd[ply] = ply;
    if (mustStop(t)) return std::nullopt;

    // Step 2. A result stored by an earlier visit (of this thread or another).
    const uint64_t hash = t.sb.board.hash;
    int32_t v = probeMemory(hash, depth, alpha, beta);
    if (v != NoScore) return v;

    // Steps 3 and 4. Has the last stone ended the game; at the horizon, the static score.
    v = leafVerdict(t.sb, lastMove, other);
    if (v == NoScore && depth == 0) v = staticEvaluation(t.sb.totals, side);
    if (v != NoScore) {
        if (v == LossScore || depth == 0) storeMemory(hash, depth, v, BoundExact);
        return v;  // a forbidden black stone's WinScore above the horizon is not stored
    }

    // Step 5. The moves worth trying, best first; their memory slots start loading meanwhile.
    const ScanArea area = widenedArea(t.sb.board, parentArea, lastMove, InnerReach);
    CandidateList moves;
    if (!startCandidates(t.sb, area, side, moves)) return LossScore;
    const uint64_t* keys = t.sb.board.zobristKeys.data() + side * board::MaxCells;
    prefetchSlot(hash ^ keys[moves.cells[0]]);

    // Step 6. Principal variation: full window until a move raises alpha, null windows after.
    uint8_t bound = BoundUpper;
    int32_t best = LossScore;
    bool pvFound = false;
    for (int32_t i = 0;; ++i) {
        const int32_t m = candidateAt(t.sb, area, side, moves, i);
        if (m == board::NoCell) break;
        if (i == 1) {
            for (int32_t j = 1; j < moves.count; ++j) prefetchSlot(hash ^ keys[moves.cells[j]]);
        }
        NodeScore child;
        if (depth == 1) {
            // The children are at the horizon: looked at without placing the stone.
            if (pvFound) {
                child = searchLeaf(t, -alpha - 1, -alpha, m, side);
                if (child && alpha < -*child && -*child < beta) {
                    child = searchLeaf(t, -beta, -alpha, m, side);
                }
            } else {
                child = searchLeaf(t, -beta, -alpha, m, side);
            }
        } else {
            placeStone(t.sb, m, side);
            if (pvFound) {
                child = searchNode(t, depth - 1, -alpha - 1, -alpha, m, other, area);
                if (child && alpha < -*child && -*child < beta) {
                    child = searchNode(t, depth - 1, -beta, -alpha, m, other, area);
                }
            } else {
                child = searchNode(t, depth - 1, -beta, -alpha, m, other, area);
            }
            removeStone(t.sb, m);
        }
        if (!child) return std::nullopt;
        v = -*child;
        if (v == WinScore) {
            extendLine(t, ply, m);
            storeMemory(hash, depth, v, BoundExact);
            return v;
        }
        if (v >= beta) {
            storeMemory(hash, depth, v, BoundLower);  // fail-soft cut-off
            return v;
        }
        if (v > best) {
            if (v > alpha) {
                alpha = v;
                pvFound = true;
                bound = BoundExact;
                extendLine(t, ply, m);
            }
            best = v;
        }
    }
    storeMemory(hash, depth, best, bound);
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

// The thread's board becomes the engine's, judged by the variant's rules; its answer is cleared.
void prepareThread(SearchThread& t, RuleVariant variant, bool useClock, uint64_t nodeLimit) {
    resetSearchBoard(t.sb, board::engineBoard, variant);
    t.useClock = useClock;
    t.nodeLimit = nodeLimit;
    t.nodes = 0;
    t.sharedNodes.store(0, std::memory_order_relaxed);
    t.result = board::NoCell;
    t.completedDepth = 0;
    t.won = false;
    t.stopped = false;
}

// The iteration a thread searches first and next. A helper keeps one ahead of the thinking
// thread, so that the two search different trees and fill the memory for each other.
int32_t firstDepth(const SearchThread& t) {
    return t.helper ? std::max(1, job.mainDepth.load(std::memory_order_relaxed) + 1) : 1;
}
int32_t nextDepth(const SearchThread& t, int32_t depth) {
    return t.helper ? std::max(depth + 1, job.mainDepth.load(std::memory_order_relaxed) + 1)
                    : depth + 1;
}

// Iterative deepening from the thread's root list until the depth limit, a win, a list with one
// move or none, every move lost, the clock (the thinking thread only) or a stop.
void iterate(SearchThread& t, const ScanArea& area, int32_t rootCount, int32_t maxDepth) {
    for (int32_t d = firstDepth(t); d <= maxDepth; d = nextDepth(t, d)) {
        const int64_t t0 = clockMs();
        t.iterationDepth = d;
        if (!t.helper) job.mainDepth.store(d, std::memory_order_relaxed);
        t.rootWork = t.rootMoves;
        if (t.rootWork.count == 0) return;
        if (t.rootWork.count == 1) {
            t.result = t.rootWork.cells[0];
            return;
        }

        int32_t alpha = LossScore;
        int32_t best = LossScore;
        int32_t bestMove = board::NoCell;
        bool pvFound = false;
        for (int32_t i = 0; i < t.rootMoves.count; ++i) {
            const int32_t m = t.rootMoves.cells[i];
            placeStone(t.sb, m, board::CellOwn);
            NodeScore child;
            if (pvFound) {
                child = searchNode(t, d - 1, -alpha - 1, -alpha, m, board::CellOpponent, area);
                if (child && alpha < -*child && -*child < WinScore) {
                    child = searchNode(t, d - 1, LossScore, -alpha, m, board::CellOpponent, area);
                }
            } else {
                child = searchNode(t, d - 1, LossScore, -alpha, m, board::CellOpponent, area);
            }
            removeStone(t.sb, m);
            if (!child) {
                t.stopped = true;  // the iteration under way is lost whole; the last one stands
                return;
            }
            const int32_t v = -*child;
            if (v >= WinScore) {
                t.result = m;
                t.won = true;
                t.resultDepth = d;
                t.resultScore = v;
                extendLine(t, 0, m);
                copyRootLine(t);
                t.resultLine = t.bestLine;
                if (!t.helper) reportLine(t.bestLine, d, v, nodesSoFar(t));
                return;
            }
            if (v == LossScore) {
                removeFromList(t.rootWork, m);  // proven lost: never searched again
            } else if (v > best) {
                best = alpha = v;
                bestMove = m;
                pvFound = true;
                moveToFront(t.rootWork, m);
                extendLine(t, 0, m);
                copyRootLine(t);
            }
        }
        if (bestMove == board::NoCell) return;  // every move lost: keep the previous answer
        t.result = bestMove;
        t.completedDepth = d;
        t.resultDepth = d;
        t.resultScore = best;
        t.resultLine = t.bestLine;
        if (!t.helper) reportLine(t.bestLine, d, best, nodesSoFar(t));

        // Another iteration would take longer than the time that is left.
        if (!t.helper && t.useClock && clockMs() - t0 >= timeRemaining()) return;

        t.rootWork.count = narrowedRootCount(t.rootWork.count, d, rootCount);
        t.rootMoves = t.rootWork;
    }
}

void helperSearch(int32_t index) {
    SearchThread& t = *helperThreads[index];
    prepareThread(t, job.variant, false, 0);
    t.rootMoves = job.rootMoves;
    iterate(t, stoneArea(t.sb.board, InnerReach), job.rootCount, job.maxDepth);
    if (t.won) job.won.store(true, std::memory_order_relaxed);
}

}  // namespace

int32_t narrowedRootCount(int32_t count, int32_t depth, int32_t rootCount) {
    if (count <= NarrowingFloor || depth > NarrowingDepths) return count;
    return std::min(count, (NarrowingDepths + 1 - depth) * rootCount / (NarrowingDepths + 1) + 1);
}

int32_t searchBestMove(RuleVariant variant, const SearchLimits& limits) {
    SearchThread& t = thinkingThread;
    prepareThread(t, variant, limits.useClock, limits.nodeLimit);
    const board::EngineBoard& b = t.sb.board;
    const ScanArea area = stoneArea(b, InnerReach);

    // Root candidates for the engine's stone.
    t.rootMoves.count =
        rootCandidates(t.sb, stoneArea(b, RootReach), board::CellOwn, t.rootMoves.cells.data());
    const int32_t rootCount = t.rootMoves.count;
    const int32_t maxDepth = std::min(limits.maxDepth, MaxSearchDepth);

    const int32_t helpers = rootCount > 1 ? threadsInUse - 1 : 0;
    searchingHelpers = helpers;
    job.mainDepth.store(0, std::memory_order_relaxed);
    job.won.store(false, std::memory_order_relaxed);
    if (helpers > 0) {
        job.variant = variant;
        job.maxDepth = maxDepth;
        job.rootCount = rootCount;
        job.rootMoves = t.rootMoves;
        job.stop.store(false, std::memory_order_relaxed);
        runOnHelpers(helpers, helperSearch);
    }
    iterate(t, area, rootCount, maxDepth);
    if (helpers > 0) {
        job.stop.store(true, std::memory_order_relaxed);
        waitForHelpers();
    }

    // The deepest completed iteration of any thread answers, a found win before all.
    const SearchThread* chosen = &t;
    for (int32_t i = 1; i <= helpers && !chosen->won; ++i) {
        const SearchThread& h = *helperThreads[i];
        if (h.won || (h.result != board::NoCell && h.completedDepth > chosen->completedDepth)) {
            chosen = &h;
        }
    }
    stats = {t.nodes, chosen->completedDepth, t.stopped && !chosen->won};
    for (int32_t i = 1; i <= helpers; ++i) stats.nodes += helperThreads[i]->nodes;
    if (chosen != &t) {
        reportLine(chosen->resultLine, chosen->resultDepth, chosen->resultScore, stats.nodes);
    }
    return chosen->result;
}

const SearchStats& lastSearchStats() {
    return stats;
}

std::span<const int32_t> lastRootMoves() {
    const RootMoveList& list = thinkingThread.rootMoves;
    return {list.cells.data(), static_cast<size_t>(list.count)};
}

int32_t setSearchThreads(int32_t requested) {
    const int32_t most = std::max(std::min(platform::hardwareThreads(), MaxSearchThreads), 1);
    const int32_t wanted = std::clamp(requested, 1, most) - 1;
    const int32_t helpers = std::min(startHelpers(wanted, SearchStackBytes), wanted);
    // A helper's state is made once, when it first takes part; without the memory for it the
    // helpers stop short of it.
    int32_t ready = 0;
    while (ready < helpers && ready + 1 < MaxSearchThreads) {
        SearchThread*& state = helperThreads[ready + 1];
        if (state == nullptr) state = new (std::nothrow) SearchThread;
        if (state == nullptr) break;
        state->helper = true;
        ++ready;
    }
    threadsInUse = 1 + ready;
    return threadsInUse;
}

uint64_t searchThreadsMemory() {
    return static_cast<uint64_t>(threadsInUse - 1) * (sizeof(SearchThread) + HelperStackBytesUsed);
}

}  // namespace velka::search
