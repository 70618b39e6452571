// Windows versions of the platform calls. The whole file is compiled only for Windows; the POSIX
// and WebAssembly files carry the rest, and platform_native.cpp what POSIX and Windows share, so
// the choice of operating system is made here and nowhere else.
#ifdef _WIN32

#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h must come first: psapi.h relies on its types.
#include <psapi.h>

namespace velka::platform {

namespace {

struct ThreadStart {
    void (*entry)(void*);
    void* argument;
};

// CreateThread wants a WINAPI routine taking one pointer; this adapts the engine's entry.
DWORD WINAPI runThread(LPVOID parameter) {
    const ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    start.entry(start.argument);
    return 0;
}

bool readMemoryCounters(PROCESS_MEMORY_COUNTERS& counters) {
    counters = {};
    counters.cb = sizeof(counters);
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)) != 0;
}

}  // namespace

// GetConsoleMode succeeds only on a console handle; a manager's pipe or a redirected file fails it.
bool stdinIsConsole() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    return GetConsoleMode(input, &mode) != 0;
}

uint64_t residentMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters;
    if (!readMemoryCounters(counters)) return 0;
    return counters.WorkingSetSize;
}

// Committed pages read as zero; large pages would need a privilege that users rarely grant.
void* allocateTable(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeTable(void* table, size_t) {
    VirtualFree(table, 0, MEM_RELEASE);
}

// The stack size is a reservation, not a commitment: pages are committed only as the recursion
// reaches them, so a deep reserve costs address space, not memory. Without the flag the size
// would be the initial commit and the reserve would stay at the executable's default (2 MiB
// with mingw), too small for the deepest searches.
bool startThread(void (*entry)(void*), void* argument, size_t stackBytes) {
    ThreadStart* start = new ThreadStart{entry, argument};
    HANDLE thread = CreateThread(nullptr, stackBytes, runThread, start,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        delete start;
        return false;
    }
    // The thread runs until the process ends; nobody joins it, so the handle is not needed.
    CloseHandle(thread);
    return true;
}

// The processors of the process's group: at most 64, as many as the engine's threads can use.
int32_t hardwareThreads() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int32_t>(info.dwNumberOfProcessors) : 1;
}

}  // namespace velka::platform

#endif  // _WIN32
