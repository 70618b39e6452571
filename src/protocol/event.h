// A pair of thread events on a mutex and a condition variable: automatic reset (one waiter gets
// through per signal and the event clears itself) or manual reset (stays signalled until reset).
#pragma once

#include <condition_variable>
#include <mutex>

namespace velka::protocol {

struct Event {
    Event(bool manualReset, bool signalled) : manualReset(manualReset), signalled(signalled) {}

    std::mutex mutex;
    std::condition_variable changed;
    const bool manualReset;
    bool signalled;
};

inline void signalEvent(Event& event) {
    {
        std::lock_guard<std::mutex> lock(event.mutex);
        event.signalled = true;
    }
    if (event.manualReset) {
        event.changed.notify_all();
    } else {
        event.changed.notify_one();
    }
}

inline void resetEvent(Event& event) {
    std::lock_guard<std::mutex> lock(event.mutex);
    event.signalled = false;
}

// Blocks without time limit until the event is signalled.
inline void waitEvent(Event& event) {
    std::unique_lock<std::mutex> lock(event.mutex);
    event.changed.wait(lock, [&event] { return event.signalled; });
    if (!event.manualReset) event.signalled = false;
}

// Keeps an object alive until the process ends: the ThinkThread is still blocked on its event
// when main returns, and destroying a condition variable that has a waiter is undefined.
template <typename T>
union Immortal {
    template <typename... Args>
    explicit Immortal(Args... args) : value(args...) {}
    ~Immortal() {}
    T value;
};

}  // namespace velka::protocol
