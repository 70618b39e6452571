#include "search/think_control.h"

namespace velka::search {

bool thinkMustStop(ThinkControl& control) {
    if (control.poll != nullptr) control.poll(control.pollContext);
    return stopRequest(control) != StopRequest::None || timeUp(control.clock);
}

void reportIteration(const ThinkControl& control, IterationReport report) {
    if (control.observer == nullptr) return;
    report.elapsedMs = timeSpent(control.clock);
    control.observer(control.observerContext, report);
}

}  // namespace velka::search
