// The search's helper threads: started once, each with a search's deep stack, and parked between
// searches. A search wakes some of them to run a task beside its own thread and waits for them
// to finish before it returns.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velka::search {

// Starts helpers until `wanted` of them run, or until one cannot be started (on a platform without
// threads, none can); returns how many run. Helpers are never ended.
int32_t startHelpers(int32_t wanted, size_t stackBytes);
// Runs task(context, i) on helpers i = 1 .. count (at most the number running), beside the caller.
// One round at a time: the process's helpers serve one search at a time.
void runOnHelpers(int32_t count, void (*task)(void* context, int32_t helper), void* context);
// Returns once every helper of the last runOnHelpers has returned from its task.
void waitForHelpers();

}  // namespace velka::search
