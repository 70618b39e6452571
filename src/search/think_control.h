// What a running think answers to besides its position: the game's clock, a stop asked for by the
// manager, the manager's lines in builds that think on the command loop's own thread, and an
// observer of its progress. One ThinkControl serves one player's thinks.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "search/time_control.h"

namespace velka::search {

// Answer: stop and send the best move found so far (YXSTOP). Quit: stop and send nothing (END).
enum class StopRequest : int32_t { None, Answer, Quit };

// One completed step of a think: an iteration of the main search (one report per line when
// several were wanted: rank 1 is the best, 0 when one line was wanted), or the forced win by fours
// that the threat search found (then winMoves is the number of the engine's moves to five).
struct IterationReport {
    int32_t depth;
    int32_t score;
    int32_t winMoves;
    int32_t rank;
    uint64_t nodes;
    int64_t elapsedMs;  // since the request for the move arrived
    std::span<const int32_t> pv;
};

struct ThinkControl {
    GameClock clock;
    // Any thread may ask; the command loop clears the request before it starts a think.
    std::atomic<StopRequest> stop{StopRequest::None};
    // Called at every clock check (the main search about every 501 nodes, the threat search at
    // every level), on the thread that thinks. A build that thinks on the command loop's own
    // thread serves the manager's lines from here; none by default.
    void (*poll)(void* context) = nullptr;
    void* pollContext = nullptr;
    // Sees every report; none by default.
    void (*observer)(void* context, const IterationReport& report) = nullptr;
    void* observerContext = nullptr;
};

inline void requestStop(ThinkControl& control, StopRequest request) {
    control.stop.store(request, std::memory_order_relaxed);
}
inline StopRequest stopRequest(const ThinkControl& control) {
    return control.stop.load(std::memory_order_relaxed);
}

// The searches' one check point: polls, then true when a stop was asked for or the turn's time
// is up.
bool thinkMustStop(ThinkControl& control);

// Fills in the elapsed time and hands the report to the observer.
void reportIteration(const ThinkControl& control, IterationReport report);

}  // namespace velka::search
