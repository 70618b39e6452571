#include "search/think_control.h"

#include <atomic>

#include "search/settings.h"
#include "search/time_control.h"

namespace velka::search {

namespace {

std::atomic<StopRequest> pendingStop{StopRequest::None};
// Set once at start-up, before any think, and read only by the thinking thread afterwards.
void (*thinkPoll)() = nullptr;
void (*iterationObserver)(const IterationReport&) = nullptr;

}  // namespace

void requestStop(StopRequest request) {
    pendingStop.store(request, std::memory_order_relaxed);
}

void clearStopRequest() {
    pendingStop.store(StopRequest::None, std::memory_order_relaxed);
}

StopRequest stopRequest() {
    return pendingStop.load(std::memory_order_relaxed);
}

void setThinkPoll(void (*poll)()) {
    thinkPoll = poll;
}

bool thinkMustStop() {
    if (thinkPoll != nullptr) thinkPoll();
    return stopRequest() != StopRequest::None || timeUp();
}

void setIterationObserver(void (*observer)(const IterationReport&)) {
    iterationObserver = observer;
}

bool analysisWanted() {
    return iterationObserver != nullptr && readSetting(settings.analysis) != 0;
}

void reportIteration(IterationReport report) {
    if (!analysisWanted()) return;
    report.elapsedMs = clockMs() - turnStart.load(std::memory_order_relaxed);
    iterationObserver(report);
}

}  // namespace velka::search
