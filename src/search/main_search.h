// The main search: iterative-deepening principal-variation alpha-beta over short candidate lists,
// with the SearchMemory, bounded by the turn's time budget. With more than one search thread the
// threads share the moves of nodes whose first move is searched (young brothers wait), the root's
// among them, and the memory; when several best lines are wanted, each thread runs its own
// iterations beside the thinking thread's instead (lazy SMP).
//
// All of a search's state is in one MainSearch: the thinking thread's own (its board, root lists,
// line and counters), its helpers', the job they share and the figures of the last search. Two
// MainSearch objects are two independent searches.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "patterns/rule_variant.h"
#include "search/candidates.h"
#include "search/memory.h"
#include "search/search_board.h"
#include "search/think_control.h"

namespace velka::search {

inline constexpr int32_t MaxSearchDepth = 250;
inline constexpr int32_t MaxPly = MaxSearchDepth + 1;
// A thread reads the clock (and the stop requests) at every ClockCheckPeriod-th node it enters.
inline constexpr uint32_t ClockCheckPeriod = 501;
// Root narrowing applies to iterations 1 .. NarrowingDepths; lists of NarrowingFloor cells or
// fewer are never cut.
inline constexpr int32_t NarrowingDepths = 19;
inline constexpr int32_t NarrowingFloor = 3;
// The thinking thread and up to MaxSearchThreads - 1 helpers.
inline constexpr int32_t MaxSearchThreads = 64;
// Every thread that searches reserves this much stack: the searches recurse deeply on large
// boards (the threat search, and the Renju test within the main search). Pages are backed only
// as the recursion reaches them.
inline constexpr size_t SearchStackBytes = size_t{256} << 20;
inline constexpr int32_t RuleVariantCount = 3;
// The most lines an analysis may ask for: the best moves, each with its score and line.
inline constexpr int32_t MaxMultiPv = 5;

struct SearchLimits {
    int32_t maxDepth = MaxSearchDepth;
    bool useClock = true;  // false: fixed-depth search, for the benchmark and tests
    // When not 0, the search stops once the thinking thread has entered this many nodes, exactly
    // as at a time-out.
    uint64_t nodeLimit = 0;
    // The best moves to score exactly and report at each depth, 1 .. MaxMultiPv. With more than
    // one the root searches more: every move that may enter their number gets a full window.
    int32_t multiPv = 1;
    // The move decision's search: the strong search instead of the main search.
    bool strong = false;
    // A weaker level for players, 1 .. LevelCount (decide.h), or 0 for full strength.
    int32_t level = 0;
};

struct SearchStats {
    uint64_t nodes = 0;          // searchNode entries of the last searchBestMove, all threads
    int32_t completedDepth = 0;  // deepest completed iteration of the thread whose move it was
    bool stopped = false;        // the last search was cut off by the clock (or the node limit)
};

struct RootMoveList {
    int32_t count = 0;
    std::array<int32_t, RootCandidateCapacity> cells{};
};

struct Line {
    int32_t count = 0;
    std::array<int32_t, MaxPly> cells{};
};

// The root's best moves, best first (equal scores in the order they were found), each with its
// score and line.
struct RootLines {
    struct Ranked {
        int32_t score = 0;
        Line line;
    };
    int32_t count = 0;
    std::array<Ranked, MaxMultiPv> ranked;
};

// A node whose moves the threads share (young brothers wait): once its owner has searched its
// first move without a cut-off, and a thread is idle, every thread that joins takes the next move
// not yet taken and searches it with a null window at the best score so far, again in full where
// it does better. The results meet under the SharedNodes mutex. A node is known by its path, the
// moves from the root to it (the engine's first); its owner closes it when every thread that
// joined has left, and meanwhile joins the nodes below it.
struct SharedNode {
    enum class State : uint8_t {
        Running,
        Cut,        // a move reached beta (or won, at the root): the others no longer count
        Abandoned,  // a node above was cut off: this one counts for nothing
    };
    bool inUse = false;
    bool atRoot = false;
    std::atomic<State> state{State::Running};
    int32_t working = 0;   // threads in the node
    bool stopped = false;  // a thread left it unfinished: the node has no result
    int32_t iterationDepth = 0;
    int32_t pathCount = 0;
    std::array<int32_t, MaxPly> path;
    // The node's depth left, side to move, window and the area its children scan.
    int32_t depth = 0;
    int32_t side = 0;
    int32_t beta = 0;
    ScanArea area{};
    RootMoveList moves;  // the node's moves (at the root the whole list, the first taken)
    int32_t next = 0;
    int32_t alpha = 0;
    int32_t best = 0;
    bool pvFound = false;
    uint8_t bound = 0;
    // The node's line from its ply on.
    int32_t lineEnd = 0;
    std::array<int32_t, MaxPly> line;
    // At the root: the best line, the moves that raised alpha in that order, the lost ones (by
    // their place in the list), and a win.
    RootLines lines;
    int32_t raiserCount = 0;
    std::array<int32_t, RootCandidateCapacity> raisers;
    std::array<bool, RootCandidateCapacity> lost;
    bool won = false;
};

// The most nodes shared at once: one per thread and level of nesting is far more than two or four
// threads open; when all are in use a node is searched alone.
inline constexpr int32_t MaxSharedNodes = 32;

struct MainSearch;

// Everything one search thread keeps: its own board and shapes, root lists, line and counters.
struct SearchThread {
    SearchBoard sb;
    bool helper = false;
    MainSearch* owner = nullptr;
    SearchMemory* memory = nullptr;  // the owner's, for the search under way
    RootMoveList rootMoves;
    RootMoveList rootWork;
    // Nodes since the last clock check, one count per rule variant: each carries over from one
    // search under its rules to the next, so that where a search's first check falls does not
    // depend on the searches of other rules made before it.
    std::array<uint32_t, RuleVariantCount> clockCheckCounters{};
    uint32_t* clockCheckCounter = nullptr;  // the one of the search under way
    bool useClock = true;
    uint64_t nodeLimit = 0;
    uint64_t nodes = 0;
    // The shared nodes the thread is in, outermost first.
    int32_t inCount = 0;
    std::array<SharedNode*, MaxSharedNodes> in{};
    // A helper's nodes as the thinking thread may read them during the search, updated at every
    // clock check.
    std::atomic<uint64_t> sharedNodes{0};
    // The principal variation: pv[p] holds, from entry p on, the line found below the node at ply
    // p of the iteration under way (ply 0 is the root move), pvEnd[p] where it ends.
    int32_t iterationDepth = 0;
    std::array<std::array<int32_t, MaxPly>, MaxPly> pv;
    std::array<int32_t, MaxPly> pvEnd;
    int32_t multiPv = 1;
    RootLines lines;  // the root's best lines in the iteration under way
    // The answer: the best move of the last completed iteration (or the winning move, or the only
    // candidate), with the iteration that found it and its best lines.
    int32_t result = board::NoCell;
    int32_t completedDepth = 0;
    int32_t resultDepth = 0;
    RootLines resultLines;
    bool won = false;
    bool stopped = false;
};

struct SharedNodes {
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;         // the search is over: the helpers return
    std::atomic<int32_t> idle{0};  // threads waiting for a node to join
    std::array<SharedNode, MaxSharedNodes> nodes;
};

// What the helpers search, set by the thinking thread before it wakes them.
struct SearchJob {
    patterns::RuleVariant variant = patterns::RuleVariant::Freestyle;
    const board::EngineBoard* board = nullptr;
    int32_t maxDepth = 0;
    int32_t multiPv = 1;
    int32_t rootCount = 0;
    RootMoveList rootMoves;
    std::atomic<bool> stop{false};      // the thinking thread is done: the helpers return
    std::atomic<bool> won{false};       // a helper found a winning move: the thinking thread stops
    std::atomic<int32_t> mainDepth{0};  // the iteration the thinking thread is in
    // With one line wanted the threads share nodes; with more each runs its own iterations.
    bool split = false;
    SharedNodes shared;
};

struct MainSearch {
    SearchThread thinking;
    // What the search under way works with.
    SearchMemory* memory = nullptr;
    ThinkControl* control = nullptr;
    // helpers[i] for helper i = 1, 2, ...; made when a search first needs helper i.
    std::array<SearchThread*, MaxSearchThreads> helpers{};
    int32_t threadsInUse = 1;
    int32_t searchingHelpers =
        0;  // helpers 1 .. searchingHelpers take part in the search under way
    SearchJob job;
    SearchStats stats;

    MainSearch() = default;
    MainSearch(const MainSearch&) = delete;
    MainSearch& operator=(const MainSearch&) = delete;
    ~MainSearch();
};

// A cell index or -1, for the engine (stone 1) on the board. Searches copies of the board, which
// itself is not touched; the memory is shared by the search's threads.
int32_t searchBestMove(MainSearch& search, SearchMemory& memory, ThinkControl& control,
                       const board::EngineBoard& board, patterns::RuleVariant variant,
                       const SearchLimits& limits = {});

// The root narrowing rule: how many of the list's cells the next iteration keeps after iteration
// depth, for a search that started with rootCount candidates.
int32_t narrowedRootCount(int32_t count, int32_t depth, int32_t rootCount);

// The thinking thread's root list as the last search left it: after a completed iteration the
// cells that the next one would search, in that order (lost moves dropped, the list narrowed).
std::span<const int32_t> rootMoves(const MainSearch& search);

// The number of threads the searches that follow use: requested, clamped to 1 .. the hardware
// threads (at most MaxSearchThreads), and fewer when a helper cannot be started. Starts the
// helpers that are missing; call it only while no search runs. Returns the number in use.
int32_t setSearchThreads(MainSearch& search, int32_t requested);
// What the helpers in use add to the process's memory while they search (their state and the
// stack they touch), to be left free when the SearchMemory is sized.
uint64_t searchThreadsMemory(const MainSearch& search);

}  // namespace velka::search
