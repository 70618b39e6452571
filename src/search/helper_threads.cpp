#include "search/helper_threads.h"

#include <condition_variable>
#include <mutex>
#include <new>

#include "platform/platform.h"

namespace velka::search {

namespace {

// One round is one runOnHelpers: helpers 1 .. active take part, `running` of them are not done.
struct Pool {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    uint64_t round = 0;
    int32_t active = 0;
    int32_t running = 0;
    void (*task)(void*, int32_t) = nullptr;
    void* context = nullptr;
    int32_t started = 0;
};

// Never destroyed: parked helpers wait on its condition variable until the process ends, and
// destroying a condition variable that has waiters is undefined.
Pool& pool() {
    alignas(Pool) static unsigned char storage[sizeof(Pool)];
    static Pool* const instance = new (storage) Pool;
    return *instance;
}

void helperMain(void* argument) {
    const int32_t index = static_cast<int32_t>(reinterpret_cast<intptr_t>(argument));
    Pool& p = pool();
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(p.mutex);
    for (;;) {
        p.wake.wait(lock, [&] { return p.round != seen; });
        seen = p.round;
        if (index > p.active) continue;
        void (*task)(void*, int32_t) = p.task;
        void* context = p.context;
        lock.unlock();
        task(context, index);
        lock.lock();
        if (--p.running == 0) p.done.notify_all();
    }
}

}  // namespace

int32_t startHelpers(int32_t wanted, size_t stackBytes) {
    Pool& p = pool();
    while (p.started < wanted) {
        void* index = reinterpret_cast<void*>(static_cast<intptr_t>(p.started + 1));
        if (!platform::startThread(helperMain, index, stackBytes)) break;
        ++p.started;
    }
    return p.started;
}

void runOnHelpers(int32_t count, void (*task)(void* context, int32_t helper), void* context) {
    Pool& p = pool();
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        ++p.round;
        p.active = count < p.started ? count : p.started;
        p.running = p.active;
        p.task = task;
        p.context = context;
    }
    p.wake.notify_all();
}

void waitForHelpers() {
    Pool& p = pool();
    std::unique_lock<std::mutex> lock(p.mutex);
    p.done.wait(lock, [&] { return p.running == 0; });
}

}  // namespace velka::search
