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

// Step 1 of every node, the one place where a search is stopped: the node limit at every node;
// the clock and the manager's stop once every ClockCheckPeriod nodes (a helper: the thinking
// thread's word).
bool mustStop(SearchThread& t) {
    if (++t.nodes > t.nodeLimit && t.nodeLimit != 0) return true;
    if (++*t.clockCheckCounter < ClockCheckPeriod) return false;
    *t.clockCheckCounter = 0;
    MainSearch& search = *t.owner;
    if (t.helper) {
        t.sharedNodes.store(t.nodes, std::memory_order_relaxed);
        return search.job.stop.load(std::memory_order_relaxed);
    }
    return (t.useClock && thinkMustStop(*search.control)) ||
           search.job.won.load(std::memory_order_relaxed);
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

void helperSearch(void* context, int32_t index) {
    MainSearch& search = *static_cast<MainSearch*>(context);
    SearchThread& t = *search.helpers[index];
    const SearchJob& job = search.job;
    prepareThread(t, search, *job.board, job.variant, false, 0, job.multiPv);
    t.rootMoves = job.rootMoves;
    iterate(t, stoneArea(t.sb.board, InnerReach), job.rootCount, job.maxDepth);
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
    if (helpers > 0) {
        job.variant = variant;
        job.board = &board;
        job.maxDepth = maxDepth;
        job.multiPv = multiPv;
        job.rootCount = rootCount;
        job.rootMoves = t.rootMoves;
        job.stop.store(false, std::memory_order_relaxed);
        runOnHelpers(helpers, helperSearch, &search);
    }
    iterate(t, area, rootCount, maxDepth);
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
