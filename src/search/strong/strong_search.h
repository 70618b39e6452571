// The strong search: a selective alpha-beta search of our own beside the design's main search, on
// a board that knows every cell's threats. It answers a four at once, meets an open three with
// the moves that stop it or with fours of its own, searches fours to the end beyond the horizon,
// orders moves by the memory, killer moves and history, reduces the late moves that the order
// placed, and prunes late quiet ones.
// Scores count whose move it is and how far a proven result lies.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <utility>

#include "board/board.h"
#include "patterns/rule_variant.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search/strong/history.h"
#include "search/strong/parameters.h"
#include "search/strong/pattern_board.h"
#include "search/think_control.h"

namespace velka::search::strong {

struct StrongSearch;

// A node's moves with their order scores, picked best first.
struct MoveList {
    int32_t count = 0;
    std::array<int16_t, board::MaxCells> cells;
    std::array<int32_t, board::MaxCells> scores;

    void add(int32_t cell, int32_t score) {
        cells[count] = static_cast<int16_t>(cell);
        scores[count++] = score;
    }
    // Moves the best of the moves from i on to place i.
    int32_t pick(int32_t i) {
        int32_t best = i;
        for (int32_t j = i + 1; j < count; ++j) {
            if (scores[j] > scores[best]) best = j;
        }
        std::swap(cells[i], cells[best]);
        std::swap(scores[i], scores[best]);
        return cells[i];
    }
};

struct RootMove {
    int32_t cell = board::NoCell;
    int32_t score = -Infinite;  // this iteration's, -Infinite until searched
    Line line;
};

// Everything one thread of the search keeps: its own board, history, killers, line and counters.
struct StrongThread {
    PatternBoard pb;
    StrongSearch* owner = nullptr;
    bool helper = false;
    History history;
    std::array<Killers, MaxStrongPly + 4> killers;  // per ply
    std::array<MoveList, MaxStrongPly + 4> moves;
    // The principal variation: pv[p][p..pvEnd[p]) is the line below the node at ply p.
    std::array<std::array<int16_t, MaxStrongPly + 4>, MaxStrongPly + 4> pv;
    std::array<int32_t, MaxStrongPly + 4> pvEnd;
    int32_t rootCount = 0;
    std::array<RootMove, RootCandidateCapacity> rootMoves;
    int32_t multiPv = 1;
    uint32_t clockCheckCounter = 0;
    bool useClock = true;
    uint64_t nodeLimit = 0;
    uint64_t nodes = 0;
    std::atomic<uint64_t> sharedNodes{0};
    bool stopped = false;
    // The answer: the best move of the last completed iteration, or the better one an iteration
    // cut short had found; the depth of the last completed iteration.
    int32_t result = board::NoCell;
    int32_t completedDepth = 0;
};

// What the helpers search, set by the thinking thread before it wakes them.
struct StrongJob {
    const board::EngineBoard* board = nullptr;
    patterns::RuleVariant variant = patterns::RuleVariant::Freestyle;
    int32_t maxDepth = 0;
    std::atomic<bool> stop{false};
    std::atomic<int32_t> mainDepth{0};
};

struct StrongSearch {
    StrongThread thinking;
    std::array<StrongThread*, MaxSearchThreads> helpers{};
    int32_t threadsInUse = 1;
    int32_t searchingHelpers = 0;
    SearchMemory* memory = nullptr;
    ThinkControl* control = nullptr;
    StrongJob job;
    SearchStats stats;

    StrongSearch() = default;
    StrongSearch(const StrongSearch&) = delete;
    StrongSearch& operator=(const StrongSearch&) = delete;
    ~StrongSearch();
};

// The engine's (stone 1) move on the board, or -1 when it has none. The board is not touched.
int32_t strongBestMove(StrongSearch& search, SearchMemory& memory, ThinkControl& control,
                       const board::EngineBoard& board, patterns::RuleVariant variant,
                       const SearchLimits& limits = {});

// As setSearchThreads, for the strong search's threads.
int32_t setStrongThreads(StrongSearch& search, int32_t requested);
uint64_t strongThreadsMemory(const StrongSearch& search);

}  // namespace velka::search::strong
