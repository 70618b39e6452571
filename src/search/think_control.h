// What a running think answers to besides its clock: a stop asked for by the manager, the manager's
// lines in builds that think on the command loop's own thread, and an observer of its progress.
#pragma once

#include <cstdint>
#include <span>

namespace velka::search {

// Answer: stop and send the best move found so far (YXSTOP). Quit: stop and send nothing (END).
enum class StopRequest : int32_t { None, Answer, Quit };

// Callable from any thread. The command loop clears the request before it starts a think.
void requestStop(StopRequest request);
void clearStopRequest();
StopRequest stopRequest();

// Called by the think at every clock check (the main search about every 501 nodes, the threat
// search at every level), on the thread that thinks. A build that thinks on the command loop's own
// thread registers a function here that serves the manager's lines meanwhile; none by default.
void setThinkPoll(void (*poll)());

// The searches' one check point: polls, then true when a stop was asked for or the turn's time
// is up.
bool thinkMustStop();

// One completed step of a think: an iteration of the main search, or the forced win by fours
// that the threat search found (then winMoves is the number of the engine's moves to five).
struct IterationReport {
    int32_t depth;
    int32_t score;
    int32_t winMoves;
    uint64_t nodes;
    int64_t elapsedMs;  // since the request for the move arrived
    std::span<const int32_t> pv;
};

// The observer sees every report while the analysis setting is on; none by default.
void setIterationObserver(void (*observer)(const IterationReport&));
bool analysisWanted();
// Fills in the elapsed time and hands the report to the observer, when analysis is wanted.
void reportIteration(IterationReport report);

}  // namespace velka::search
