#include "search/main_search.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
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
// The thinking thread reads the clock this often while it waits for its helpers: no node of its
// own reads it then.
constexpr std::chrono::milliseconds WaitingClockCheck{1};
// The threads share the moves of a node only with at least this depth left: below it, handing the
// moves out costs more than it saves.
constexpr int32_t SharedDepth = 3;

// A level's score, or nothing when the search was stopped below it. A stopped level returns at
// once and stores nothing; so does every level above it, and the iteration under way is lost.
using NodeScore = std::optional<int32_t>;

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

// What a root move must score to be among the best lines: above the last of them once there are
// as many as wanted (the alpha of the root's null windows), above a loss before.
int32_t rankThreshold(const SearchThread& t) {
    return t.lines.count < t.multiPv ? LossScore : t.lines.ranked[t.multiPv - 1].score;
}

// The root move whose line pv[0] holds enters the best lines with score v (above the threshold),
// behind those that score as much; the last one drops out when there are as many as wanted.
void rankRootLine(SearchThread& t, int32_t v) {
    RootLines& lines = t.lines;
    int32_t at = 0;
    while (at < lines.count && lines.ranked[at].score >= v) ++at;
    for (int32_t k = std::min(lines.count, t.multiPv - 1); k > at; --k) {
        lines.ranked[k] = lines.ranked[k - 1];
    }
    RootLines::Ranked& entry = lines.ranked[at];
    entry.score = v;
    entry.line.count = t.pvEnd[0];
    std::copy(t.pv[0].begin(), t.pv[0].begin() + t.pvEnd[0], entry.line.cells.begin());
    lines.count = std::min(lines.count + 1, t.multiPv);
}

// The nodes of every thread: exact for the thinking thread, as last shown for the helpers.
uint64_t nodesSoFar(const SearchThread& t) {
    const MainSearch& search = *t.owner;
    uint64_t nodes = t.nodes;
    for (int32_t i = 1; i <= search.searchingHelpers; ++i) {
        nodes += search.helpers[i]->sharedNodes.load(std::memory_order_relaxed);
    }
    return nodes;
}

// One report per line, ranked from 1 when several were wanted.
void reportLines(const MainSearch& search, const RootLines& lines, int32_t wanted, int32_t depth,
                 uint64_t nodes) {
    for (int32_t k = 0; k < lines.count; ++k) {
        const RootLines::Ranked& entry = lines.ranked[k];
        IterationReport report{};
        report.depth = depth;
        report.score = entry.score;
        report.rank = wanted > 1 ? k + 1 : 0;
        report.nodes = nodes;
        report.pv = {entry.line.cells.data(), static_cast<size_t>(entry.line.count)};
        reportIteration(*search.control, report);
    }
}

// The clock, the manager's stop and a helper's win, as the thinking thread reads them.
bool thinkingMustStop(SearchThread& t) {
    return (t.useClock && thinkMustStop(*t.owner->control)) ||
           t.owner->job.won.load(std::memory_order_relaxed);
}

// Step 1 of every node, the one place where a search is stopped: the node limit at every node;
// the clock and the manager's stop once every ClockCheckPeriod nodes (a helper: the thinking
// thread's word), and a cut-off of a shared node that the thread is in. When the thinking thread
// stops, so do its helpers.
bool mustStop(SearchThread& t) {
    MainSearch& search = *t.owner;
    if (++t.nodes > t.nodeLimit && t.nodeLimit != 0) {
        search.job.stop.store(true, std::memory_order_relaxed);
        return true;
    }
    if (++*t.clockCheckCounter < ClockCheckPeriod) return false;
    *t.clockCheckCounter = 0;
    for (int32_t k = 0; k < t.inCount; ++k) {
        if (t.in[k]->state.load(std::memory_order_relaxed) != SharedNode::State::Running) {
            return true;
        }
    }
    if (t.helper) {
        t.sharedNodes.store(t.nodes, std::memory_order_relaxed);
        return search.job.stop.load(std::memory_order_relaxed);
    }
    if (thinkingMustStop(t)) {
        search.job.stop.store(true, std::memory_order_relaxed);  // the helpers stop with it
        return true;
    }
    return false;
}

// Principal variation search of one move at a node with the window (alpha, beta): the full window
// until a move has raised alpha (pvFound), then a null window at alpha, searched again in full
// only when the move lands inside the window. child(a, b) searches the move's position with the
// window (a, b), seen from the other side.
template <typename Child>
NodeScore principalVariation(bool pvFound, int32_t alpha, int32_t beta, Child child) {
    if (!pvFound) return child(-beta, -alpha);
    NodeScore v = child(-alpha - 1, -alpha);
    if (v && alpha < -*v && -*v < beta) v = child(-beta, -alpha);
    return v;
}

// A node at the horizon, reached by a stone of mover on move, which searchNode would place, look
// at and take back: the same steps on the position as it would be.
NodeScore searchLeaf(SearchThread& t, int32_t alpha, int32_t beta, int32_t move, int32_t mover) {
    const int32_t ply = t.iterationDepth;
    t.pvEnd[ply] = ply;
    if (mustStop(t)) return std::nullopt;
    const uint64_t hash = t.sb.board.hash ^ t.sb.board.zobristKeys[mover * board::MaxCells + move];
    int32_t v = probeMemory(*t.memory, hash, 0, alpha, beta);
    if (v != NoScore) return v;
    v = leafVerdict(t.sb, move, mover);
    if (v == NoScore) v = staticEvaluation(totalsIfPlayed(t.sb, move, mover), mover ^ 3);
    storeMemory(*t.memory, hash, 0, v, BoundExact);
    return v;
}

struct NodeState {
    int32_t alpha;
    int32_t best;
    uint8_t bound;
    bool pvFound;
};
SharedNode* openNode(SearchThread& t, int32_t depth, int32_t beta, const NodeState& state,
                     int32_t side, const ScanArea& area, CandidateList& moves);
NodeScore closeNode(SearchThread& t, SharedNode& node);

NodeScore searchNode(SearchThread& t, int32_t depth, int32_t alpha, int32_t beta, int32_t lastMove,
                     int32_t side, const ScanArea& parentArea) {
    const int32_t ply = t.iterationDepth - depth;
    const int32_t other = side ^ 3;
    t.pvEnd[ply] = ply;
    if (mustStop(t)) return std::nullopt;

    // Step 2. A result stored by an earlier visit (of this thread or another).
    const uint64_t hash = t.sb.board.hash;
    int32_t v = probeMemory(*t.memory, hash, depth, alpha, beta);
    if (v != NoScore) return v;

    // Steps 3 and 4. Has the last stone ended the game; at the horizon, the static score.
    v = leafVerdict(t.sb, lastMove, other);
    if (v == NoScore && depth == 0) v = staticEvaluation(t.sb.totals, side);
    if (v != NoScore) {
        if (v == LossScore || depth == 0) storeMemory(*t.memory, hash, depth, v, BoundExact);
        return v;  // a forbidden black stone's WinScore above the horizon is not stored
    }

    // Step 5. The moves worth trying, best first; their memory slots start loading meanwhile.
    const ScanArea area = widenedArea(t.sb.board, parentArea, lastMove, InnerReach);
    CandidateList moves;
    if (!startCandidates(t.sb, area, side, moves)) return LossScore;
    const uint64_t* keys = t.sb.board.zobristKeys.data() + side * board::MaxCells;
    prefetchSlot(*t.memory, hash ^ keys[moves.cells[0]]);

    // Step 6. Principal variation: full window until a move raises alpha, null windows after.
    uint8_t bound = BoundUpper;
    int32_t best = LossScore;
    bool pvFound = false;
    for (int32_t i = 0;; ++i) {
        const int32_t m = candidateAt(t.sb, area, side, moves, i);
        if (m == board::NoCell) break;
        if (i == 1) {
            for (int32_t j = 1; j < moves.count; ++j)
                prefetchSlot(*t.memory, hash ^ keys[moves.cells[j]]);
        }
        NodeScore child;
        if (depth == 1) {
            // The children are at the horizon: looked at without placing the stone.
            child = principalVariation(pvFound, alpha, beta, [&](int32_t a, int32_t b) {
                return searchLeaf(t, a, b, m, side);
            });
        } else {
            placeStone(t.sb, m, side);
            child = principalVariation(pvFound, alpha, beta, [&](int32_t a, int32_t b) {
                return searchNode(t, depth - 1, a, b, m, other, area);
            });
            removeStone(t.sb, m);
        }
        if (!child) return std::nullopt;
        v = -*child;
        if (v == WinScore) {
            extendLine(t, ply, m);
            storeMemory(*t.memory, hash, depth, v, BoundExact);
            return v;
        }
        if (v >= beta) {
            storeMemory(*t.memory, hash, depth, v, BoundLower);  // fail-soft cut-off
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
        // The first move is searched without a cut-off: the others are shared with any thread
        // that waits for work, deep enough.
        if (i == 0 && depth >= SharedDepth && t.owner->job.split &&
            t.owner->job.shared.idle.load(std::memory_order_relaxed) > 0) {
            SharedNode* node =
                openNode(t, depth, beta, {alpha, best, bound, pvFound}, side, area, moves);
            if (node != nullptr) return closeNode(t, *node);
        }
    }
    storeMemory(*t.memory, hash, depth, best, bound);
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

// The thread's board becomes a copy of the search's, judged by the variant's rules; its answer is
// cleared.
void prepareThread(SearchThread& t, MainSearch& search, const board::EngineBoard& b,
                   RuleVariant variant, bool useClock, uint64_t nodeLimit, int32_t multiPv) {
    resetSearchBoard(t.sb, b, variant);
    t.multiPv = multiPv;
    t.owner = &search;
    t.memory = search.memory;
    t.clockCheckCounter = &t.clockCheckCounters[static_cast<int32_t>(variant)];
    t.useClock = useClock;
    t.nodeLimit = nodeLimit;
    t.nodes = 0;
    t.sharedNodes.store(0, std::memory_order_relaxed);
    t.result = board::NoCell;
    t.completedDepth = 0;
    t.won = false;
    t.stopped = false;
    t.inCount = 0;
}

// The iteration a thread searches first and next. A helper keeps one ahead of the thinking
// thread, so that the two search different trees and fill the memory for each other.
int32_t firstDepth(const SearchThread& t) {
    return t.helper ? std::max(1, t.owner->job.mainDepth.load(std::memory_order_relaxed) + 1) : 1;
}
int32_t nextDepth(const SearchThread& t, int32_t depth) {
    return t.helper
               ? std::max(depth + 1, t.owner->job.mainDepth.load(std::memory_order_relaxed) + 1)
               : depth + 1;
}

// Iterative deepening from the thread's root list until the depth limit, a win, a list with one
// move or none, every move lost, the clock (the thinking thread only) or a stop.
void iterate(SearchThread& t, const ScanArea& area, int32_t rootCount, int32_t maxDepth) {
    MainSearch& search = *t.owner;
    for (int32_t d = firstDepth(t); d <= maxDepth; d = nextDepth(t, d)) {
        const int64_t t0 = clockMs();
        t.iterationDepth = d;
        if (!t.helper) search.job.mainDepth.store(d, std::memory_order_relaxed);
        t.rootWork = t.rootMoves;
        if (t.rootWork.count == 0) return;
        if (t.rootWork.count == 1) {
            t.result = t.rootWork.cells[0];
            return;
        }

        // The root's beta is WinScore: nothing above it to cut at. Its alpha is what a move must
        // score to be among the best lines (the best one alone, unless more are wanted); until
        // there are as many as wanted, every move gets the full window.
        t.lines.count = 0;
        for (int32_t i = 0; i < t.rootMoves.count; ++i) {
            const int32_t m = t.rootMoves.cells[i];
            const int32_t alpha = rankThreshold(t);
            placeStone(t.sb, m, board::CellOwn);
            const NodeScore child = principalVariation(
                t.lines.count == t.multiPv, alpha, WinScore, [&](int32_t a, int32_t b) {
                    return searchNode(t, d - 1, a, b, m, board::CellOpponent, area);
                });
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
                extendLine(t, 0, m);
                t.lines.count = 0;
                rankRootLine(t, v);
                t.resultLines = t.lines;
                if (!t.helper) reportLines(search, t.resultLines, 1, d, nodesSoFar(t));
                return;
            }
            if (v == LossScore) {
                removeFromList(t.rootWork, m);  // proven lost: never searched again
            } else if (v > alpha) {
                moveToFront(t.rootWork, m);
                extendLine(t, 0, m);
                rankRootLine(t, v);
            }
        }
        if (t.lines.count == 0) return;  // every move lost: keep the previous answer
        t.result = t.lines.ranked[0].line.cells[0];
        t.completedDepth = d;
        t.resultDepth = d;
        t.resultLines = t.lines;
        if (!t.helper) reportLines(search, t.resultLines, t.multiPv, d, nodesSoFar(t));

        // Another iteration would take longer than the time that is left.
        if (!t.helper && t.useClock && clockMs() - t0 >= timeRemaining(search.control->clock)) {
            return;
        }

        t.rootWork.count = narrowedRootCount(t.rootWork.count, d, rootCount);
        t.rootMoves = t.rootWork;
    }
}

// The path's stones alternate from the engine's.
int32_t pathColour(int32_t k) {
    return k % 2 == 0 ? board::CellOwn : board::CellOpponent;
}

// Whether the node lies below the one whose path is base (base itself not included).
bool isBelow(const SharedNode& node, const SharedNode& base) {
    return node.pathCount > base.pathCount &&
           std::equal(base.path.begin(), base.path.begin() + base.pathCount, node.path.begin());
}

// The thread's board keeps its first count stones and loses the others.
void retreatTo(SearchThread& t, int32_t count) {
    SearchBoard& sb = t.sb;
    while (sb.placedCount > count) removeStone(sb, sb.placed[sb.placedCount - 1].cell);
}

// The thread's board becomes the node's: it takes back its stones that are not on the node's
// path and places the rest of the path.
void followPath(SearchThread& t, const SharedNode& node) {
    const SearchBoard& sb = t.sb;
    int32_t common = 0;
    const int32_t most = std::min(sb.placedCount, node.pathCount);
    while (common < most && sb.placed[common].cell == node.path[common]) ++common;
    retreatTo(t, common);
    for (int32_t k = common; k < node.pathCount; ++k) placeStone(t.sb, node.path[k], pathColour(k));
}

// Under the mutex: the node is cut off, and every node below it abandoned.
void cutNode(SharedNodes& shared, SharedNode& node) {
    node.state.store(SharedNode::State::Cut, std::memory_order_relaxed);
    for (SharedNode& other : shared.nodes) {
        if (other.inUse && isBelow(other, node)) {
            other.state.store(SharedNode::State::Abandoned, std::memory_order_relaxed);
        }
    }
}

// Under the mutex: the node's line becomes move m followed by the line the thread found below it.
void keepSharedLine(SearchThread& t, SharedNode& node, int32_t ply, int32_t m) {
    extendLine(t, ply, m);
    std::copy(t.pv[ply].begin() + ply, t.pv[ply].begin() + t.pvEnd[ply], node.line.begin() + ply);
    node.lineEnd = t.pvEnd[ply];
}

// Under the mutex: a move of the shared node scored v, as the loop of searchNode takes it.
void recordNodeResult(SearchThread& t, SharedNode& node, int32_t m, int32_t v) {
    const int32_t ply = node.iterationDepth - node.depth;
    if (v == WinScore || v >= node.beta) {
        if (v == WinScore) keepSharedLine(t, node, ply, m);
        node.best = v;
        node.bound = v == WinScore ? BoundExact : BoundLower;
        cutNode(t.owner->job.shared, node);
        return;
    }
    if (v > node.best) {
        if (v > node.alpha) {
            node.alpha = v;
            node.pvFound = true;
            node.bound = BoundExact;
            keepSharedLine(t, node, ply, m);
        }
        node.best = v;
    }
}

// Under the mutex: root move i (cell m) scored v. A win cuts the root off.
void recordRootResult(SearchThread& t, SharedNode& root, int32_t i, int32_t m, int32_t v) {
    if (v == LossScore) {
        root.lost[i] = true;
        return;
    }
    if (v < WinScore && v <= root.alpha) return;
    extendLine(t, 0, m);
    t.lines.count = 0;
    rankRootLine(t, v);
    root.lines = t.lines;
    if (v >= WinScore) {
        root.won = true;
        cutNode(t.owner->job.shared, root);
    } else {
        root.alpha = v;
        root.raisers[root.raiserCount++] = i;
    }
}

// Searches the node's moves not yet taken, one at a time, until none is left or one cuts the
// node off; false when the thread was stopped inside one, or the node abandoned.
bool takeSharedMoves(SearchThread& t, SharedNode& node) {
    SharedNodes& shared = t.owner->job.shared;
    for (;;) {
        int32_t i = 0;
        int32_t alpha = 0;
        bool pvFound = true;
        {
            const std::lock_guard<std::mutex> lock(shared.mutex);
            const SharedNode::State state = node.state.load(std::memory_order_relaxed);
            if (state != SharedNode::State::Running || node.next >= node.moves.count) {
                return state != SharedNode::State::Abandoned;
            }
            i = node.next++;
            alpha = node.alpha;
            if (!node.atRoot) pvFound = node.pvFound;
        }
        const int32_t m = node.moves.cells[i];
        placeStone(t.sb, m, node.side);
        const NodeScore child =
            principalVariation(pvFound, alpha, node.beta, [&](int32_t a, int32_t b) {
                return searchNode(t, node.depth - 1, a, b, m, node.side ^ 3, node.area);
            });
        removeStone(t.sb, m);
        const std::lock_guard<std::mutex> lock(shared.mutex);
        // A cut-off ends the other moves: their searches no longer count.
        if (!child) return node.state.load(std::memory_order_relaxed) == SharedNode::State::Cut;
        if (node.state.load(std::memory_order_relaxed) != SharedNode::State::Running) continue;
        if (node.atRoot) {
            recordRootResult(t, node, i, m, -*child);
        } else {
            recordNodeResult(t, node, m, -*child);
        }
    }
}

// Under the mutex: the thread leaves the node it is in last.
void leaveNode(SearchThread& t, SharedNode& node, bool completed) {
    if (!completed) node.stopped = true;
    --node.working;
    --t.inCount;
}

// Under the mutex: the open node that the thread may join, the highest first: below base when the
// thread waits for the helpers of its own node base, anywhere otherwise.
SharedNode* joinableNode(SharedNodes& shared, const SharedNode* base) {
    SharedNode* found = nullptr;
    for (SharedNode& node : shared.nodes) {
        if (!node.inUse || node.next >= node.moves.count ||
            node.state.load(std::memory_order_relaxed) != SharedNode::State::Running) {
            continue;
        }
        if (base != nullptr && !isBelow(node, *base)) continue;
        if (found == nullptr || node.pathCount < found->pathCount) found = &node;
    }
    return found;
}

// Under the mutex (lock): the thread joins the node, takes moves with the others and leaves. Its
// board is brought to the node; a thread that waits for its own node base goes back to it after.
void workIn(SearchThread& t, SharedNode& node, std::unique_lock<std::mutex>& lock,
            const SharedNode* base) {
    ++node.working;
    t.in[t.inCount++] = &node;
    t.iterationDepth = node.iterationDepth;
    lock.unlock();
    followPath(t, node);
    const bool completed = takeSharedMoves(t, node);
    if (base != nullptr) retreatTo(t, base->pathCount);
    lock.lock();
    leaveNode(t, node, completed);
    t.owner->job.shared.changed.notify_all();
}

// Under the mutex: a free node for the thread to share, entered; nullptr when none is free, or
// when a node that the thread is in no longer counts.
SharedNode* claimNode(SearchThread& t) {
    for (int32_t k = 0; k < t.inCount; ++k) {
        if (t.in[k]->state.load(std::memory_order_relaxed) != SharedNode::State::Running) {
            return nullptr;
        }
    }
    for (SharedNode& node : t.owner->job.shared.nodes) {
        if (node.inUse) continue;
        node.inUse = true;
        node.state.store(SharedNode::State::Running, std::memory_order_relaxed);
        node.working = 1;
        node.stopped = false;
        node.iterationDepth = t.iterationDepth;
        node.pathCount = t.sb.placedCount;
        for (int32_t k = 0; k < node.pathCount; ++k) node.path[k] = t.sb.placed[k].cell;
        t.in[t.inCount++] = &node;
        return &node;
    }
    return nullptr;
}

// The node's owner takes its moves with the others, then waits until all have left, joining the
// nodes opened below it meanwhile; false when the node has no result. The node stays the
// owner's until released.
bool runNode(SearchThread& t, SharedNode& node) {
    SharedNodes& shared = t.owner->job.shared;
    shared.changed.notify_all();
    const bool completed = takeSharedMoves(t, node);
    std::unique_lock<std::mutex> lock(shared.mutex);
    if (!completed) node.stopped = true;
    --node.working;
    shared.idle.fetch_add(1, std::memory_order_relaxed);
    while (node.working > 0) {
        SharedNode* below = joinableNode(shared, &node);
        if (below == nullptr) {
            if (t.helper) {
                shared.changed.wait(lock);
            } else if (shared.changed.wait_for(lock, WaitingClockCheck) ==
                           std::cv_status::timeout &&
                       thinkingMustStop(t)) {
                t.owner->job.stop.store(true, std::memory_order_relaxed);
            }
            continue;
        }
        shared.idle.fetch_sub(1, std::memory_order_relaxed);
        workIn(t, *below, lock, &node);
        shared.idle.fetch_add(1, std::memory_order_relaxed);
    }
    shared.idle.fetch_sub(1, std::memory_order_relaxed);
    --t.inCount;
    return !node.stopped &&
           node.state.load(std::memory_order_relaxed) != SharedNode::State::Abandoned;
}

void releaseNode(SharedNodes& shared, SharedNode& node) {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    node.inUse = false;
}

// A node at depth whose first move the thread has searched, with the window (state.alpha, beta):
// its other moves, shared; nullptr (searched alone) when there are none or no node is free.
SharedNode* openNode(SearchThread& t, int32_t depth, int32_t beta, const NodeState& state,
                     int32_t side, const ScanArea& area, CandidateList& moves) {
    std::array<int32_t, InnerCandidateCapacity> rest;
    int32_t count = 0;
    for (int32_t m; (m = candidateAt(t.sb, area, side, moves, count + 1)) != board::NoCell;) {
        rest[count++] = m;
    }
    if (count == 0) return nullptr;
    const int32_t ply = t.iterationDepth - depth;
    const std::lock_guard<std::mutex> lock(t.owner->job.shared.mutex);
    SharedNode* node = claimNode(t);
    if (node == nullptr) return nullptr;
    node->atRoot = false;
    node->depth = depth;
    node->side = side;
    node->beta = beta;
    node->area = area;
    node->moves.count = count;
    std::copy(rest.begin(), rest.begin() + count, node->moves.cells.begin());
    node->next = 0;
    node->alpha = state.alpha;
    node->best = state.best;
    node->bound = state.bound;
    node->pvFound = state.pvFound;
    node->lineEnd = t.pvEnd[ply];
    std::copy(t.pv[ply].begin() + ply, t.pv[ply].begin() + t.pvEnd[ply], node->line.begin() + ply);
    return node;
}

// The end of an opened node, as searchNode would end it: its line, its memory entry, its score.
NodeScore closeNode(SearchThread& t, SharedNode& node) {
    const bool valid = runNode(t, node);
    NodeScore v;
    if (valid) {
        const int32_t ply = node.iterationDepth - node.depth;
        std::copy(node.line.begin() + ply, node.line.begin() + node.lineEnd,
                  t.pv[ply].begin() + ply);
        t.pvEnd[ply] = node.lineEnd;
        storeMemory(*t.memory, t.sb.board.hash, node.depth, node.best, node.bound);
        v = node.best;
    }
    releaseNode(t.owner->job.shared, node);
    return v;
}

// The thinking thread's iterative deepening when the threads share nodes: it searches the first
// root move (sharing nodes below it while a helper is idle), then shares the other root moves,
// its score their alpha, and orders the next iteration's list as a lone thread would: the moves
// that raised alpha, the last first, then the others in their order, lost moves left out.
void iterateTogether(SearchThread& t, const ScanArea& area, int32_t rootCount, int32_t maxDepth) {
    MainSearch& search = *t.owner;
    SharedNodes& shared = search.job.shared;
    for (int32_t d = 1; d <= maxDepth; ++d) {
        const int64_t t0 = clockMs();
        t.iterationDepth = d;
        search.job.mainDepth.store(d, std::memory_order_relaxed);
        if (t.rootMoves.count == 0) return;
        if (t.rootMoves.count == 1) {
            t.result = t.rootMoves.cells[0];
            return;
        }
        const int32_t first = t.rootMoves.cells[0];
        placeStone(t.sb, first, board::CellOwn);
        const NodeScore child =
            principalVariation(false, LossScore, WinScore, [&](int32_t a, int32_t b) {
                return searchNode(t, d - 1, a, b, first, board::CellOpponent, area);
            });
        removeStone(t.sb, first);
        if (!child) {
            t.stopped = true;
            return;
        }
        SharedNode* root = nullptr;
        {
            const std::lock_guard<std::mutex> lock(shared.mutex);
            root = claimNode(t);  // every node is free between iterations
            root->atRoot = true;
            root->depth = d;
            root->side = board::CellOwn;
            root->beta = WinScore;
            root->area = area;
            root->moves = t.rootMoves;
            root->next = 1;
            root->alpha = LossScore;
            root->lines.count = 0;
            root->raiserCount = 0;
            std::fill(root->lost.begin(), root->lost.begin() + root->moves.count, false);
            root->won = false;
            recordRootResult(t, *root, 0, first, -*child);
        }
        const bool valid = runNode(t, *root);
        const SharedNode& r = *root;  // the thinking thread's alone until released
        const bool won = r.won;
        const RootLines lines = r.lines;
        RootMoveList& work = t.rootWork;
        work.count = 0;
        std::array<bool, RootCandidateCapacity> placed{};
        for (int32_t k = r.raiserCount - 1; k >= 0; --k) {
            work.cells[work.count++] = r.moves.cells[r.raisers[k]];
            placed[r.raisers[k]] = true;
        }
        for (int32_t i = 0; i < r.moves.count; ++i) {
            if (!placed[i] && !r.lost[i]) work.cells[work.count++] = r.moves.cells[i];
        }
        releaseNode(shared, *root);
        if (!valid) {
            t.stopped = true;
            return;
        }
        if (lines.count == 0) return;  // every move lost: keep the previous answer
        t.result = lines.ranked[0].line.cells[0];
        t.resultDepth = d;
        t.resultLines = lines;
        if (won) {
            t.won = true;
            reportLines(search, t.resultLines, 1, d, nodesSoFar(t));
            return;
        }
        t.completedDepth = d;
        reportLines(search, t.resultLines, 1, d, nodesSoFar(t));
        if (t.useClock && clockMs() - t0 >= timeRemaining(search.control->clock)) return;
        work.count = narrowedRootCount(work.count, d, rootCount);
        t.rootMoves = work;
    }
}

// A helper that shares the thinking thread's nodes: it waits for a node to be opened, joins it,
// takes moves until none is left, and waits again.
void helpTogether(SearchThread& t) {
    SharedNodes& shared = t.owner->job.shared;
    std::unique_lock<std::mutex> lock(shared.mutex);
    shared.idle.fetch_add(1, std::memory_order_relaxed);
    while (!shared.finished) {
        SharedNode* node = joinableNode(shared, nullptr);
        if (node == nullptr) {
            shared.changed.wait(lock);
            continue;
        }
        shared.idle.fetch_sub(1, std::memory_order_relaxed);
        workIn(t, *node, lock, nullptr);
        shared.idle.fetch_add(1, std::memory_order_relaxed);
    }
    shared.idle.fetch_sub(1, std::memory_order_relaxed);
    lock.unlock();
    retreatTo(t, 0);
}

void helperSearch(void* context, int32_t index) {
    MainSearch& search = *static_cast<MainSearch*>(context);
    SearchThread& t = *search.helpers[index];
    const SearchJob& job = search.job;
    prepareThread(t, search, *job.board, job.variant, false, 0, job.multiPv);
    if (job.split) {
        helpTogether(t);
        return;
    }
    const ScanArea area = stoneArea(t.sb.board, InnerReach);
    t.rootMoves = job.rootMoves;
    iterate(t, area, job.rootCount, job.maxDepth);
    if (t.won) search.job.won.store(true, std::memory_order_relaxed);
}

}  // namespace

MainSearch::~MainSearch() {
    for (SearchThread* helper : helpers) delete helper;
}

int32_t narrowedRootCount(int32_t count, int32_t depth, int32_t rootCount) {
    if (count <= NarrowingFloor || depth > NarrowingDepths) return count;
    return std::min(count, (NarrowingDepths + 1 - depth) * rootCount / (NarrowingDepths + 1) + 1);
}

int32_t searchBestMove(MainSearch& search, SearchMemory& memory, ThinkControl& control,
                       const board::EngineBoard& board, RuleVariant variant,
                       const SearchLimits& limits) {
    search.memory = &memory;
    search.control = &control;
    SearchThread& t = search.thinking;
    const int32_t multiPv = std::clamp(limits.multiPv, 1, MaxMultiPv);
    prepareThread(t, search, board, variant, limits.useClock, limits.nodeLimit, multiPv);
    const board::EngineBoard& b = t.sb.board;
    const ScanArea area = stoneArea(b, InnerReach);

    // Root candidates for the engine's stone.
    t.rootMoves.count =
        rootCandidates(t.sb, stoneArea(b, RootReach), board::CellOwn, t.rootMoves.cells.data());
    const int32_t rootCount = t.rootMoves.count;
    const int32_t maxDepth = std::min(limits.maxDepth, MaxSearchDepth);

    SearchJob& job = search.job;
    const int32_t helpers = rootCount > 1 ? search.threadsInUse - 1 : 0;
    search.searchingHelpers = helpers;
    job.mainDepth.store(0, std::memory_order_relaxed);
    job.won.store(false, std::memory_order_relaxed);
    // One line wanted: the threads share every iteration; several: each runs its own, the
    // helpers a step ahead, and the deepest answers.
    job.split = helpers > 0 && multiPv == 1;
    if (helpers > 0) {
        job.variant = variant;
        job.board = &board;
        job.maxDepth = maxDepth;
        job.multiPv = multiPv;
        job.rootCount = rootCount;
        job.rootMoves = t.rootMoves;
        job.stop.store(false, std::memory_order_relaxed);
        job.shared.finished = false;
        runOnHelpers(helpers, helperSearch, &search);
    }
    if (job.split) {
        iterateTogether(t, area, rootCount, maxDepth);
        {
            const std::lock_guard<std::mutex> lock(job.shared.mutex);
            job.shared.finished = true;
        }
        job.shared.changed.notify_all();
    } else {
        iterate(t, area, rootCount, maxDepth);
    }
    if (helpers > 0) {
        job.stop.store(true, std::memory_order_relaxed);
        waitForHelpers();
    }

    // The deepest completed iteration of any thread answers, a found win before all.
    const SearchThread* chosen = &t;
    for (int32_t i = 1; i <= helpers && !chosen->won; ++i) {
        const SearchThread& h = *search.helpers[i];
        if (h.won || (h.result != board::NoCell && h.completedDepth > chosen->completedDepth)) {
            chosen = &h;
        }
    }
    SearchStats& stats = search.stats;
    stats = {t.nodes, chosen->completedDepth, t.stopped && !chosen->won};
    for (int32_t i = 1; i <= helpers; ++i) stats.nodes += search.helpers[i]->nodes;
    if (chosen != &t) {
        reportLines(search, chosen->resultLines, chosen->won ? 1 : multiPv, chosen->resultDepth,
                    stats.nodes);
    }
    return chosen->result;
}

std::span<const int32_t> rootMoves(const MainSearch& search) {
    const RootMoveList& list = search.thinking.rootMoves;
    return {list.cells.data(), static_cast<size_t>(list.count)};
}

int32_t setSearchThreads(MainSearch& search, int32_t requested) {
    const int32_t most = std::max(std::min(platform::hardwareThreads(), MaxSearchThreads), 1);
    const int32_t wanted = std::clamp(requested, 1, most) - 1;
    const int32_t helpers = std::min(startHelpers(wanted, SearchStackBytes), wanted);
    // A helper's state is made once, when it first takes part; without the memory for it the
    // helpers stop short of it.
    int32_t ready = 0;
    while (ready < helpers && ready + 1 < MaxSearchThreads) {
        SearchThread*& state = search.helpers[ready + 1];
        if (state == nullptr) state = new (std::nothrow) SearchThread;
        if (state == nullptr) break;
        state->helper = true;
        ++ready;
    }
    search.threadsInUse = 1 + ready;
    return search.threadsInUse;
}

uint64_t searchThreadsMemory(const MainSearch& search) {
    return static_cast<uint64_t>(search.threadsInUse - 1) *
           (sizeof(SearchThread) + HelperStackBytesUsed);
}

}  // namespace velka::search
