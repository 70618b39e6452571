// POSIX versions of the platform calls. The whole file is compiled only outside Windows and
// WebAssembly; the Windows and WebAssembly files carry the rest, and platform_native.cpp what POSIX
// and Windows share, so the choice of operating system is made here and nowhere else.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "platform/platform.h"

namespace velka::platform {

namespace {

struct ThreadStart {
    void (*entry)(void*);
    void* argument;
};

// pthread_create wants a routine taking one pointer and returning one; this adapts the entry.
void* runThread(void* parameter) {
    const ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    start.entry(start.argument);
    return nullptr;
}

}  // namespace

bool stdinIsConsole() {
    return isatty(STDIN_FILENO) != 0;
}

// Linux: the second field of /proc/self/statm is the resident set in pages. Elsewhere the file
// does not exist and the answer is 0 (unknown).
uint64_t residentMemoryBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return 0;
    unsigned long long totalPages = 0;
    unsigned long long residentPages = 0;
    const int read = std::fscanf(statm, "%llu %llu", &totalPages, &residentPages);
    std::fclose(statm);
    if (read != 2) return 0;
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0) return 0;
    return residentPages * static_cast<uint64_t>(pageSize);
}

// The table starts on a 2 MiB boundary so that the kernel can back all of it with transparent huge
// pages; mmap gives zeroed pages, and the slack before and after the boundary goes back at once.
void* allocateTable(size_t bytes) {
    constexpr size_t HugePage = size_t{2} << 20;
    const size_t mapped = bytes + HugePage;
    void* region =
        mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(region);
    const uintptr_t aligned = (start + HugePage - 1) & ~uintptr_t{HugePage - 1};
    if (aligned > start) munmap(region, aligned - start);
    const uintptr_t end = start + mapped;
    if (end > aligned + bytes)
        munmap(reinterpret_cast<void*>(aligned + bytes), end - aligned - bytes);
    void* table = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(table, bytes, MADV_HUGEPAGE);
#endif
    return table;
}

void freeTable(void* table, size_t bytes) {
    munmap(table, bytes);
}

// The stack is reserved address space; pages are backed only as the recursion reaches them, so
// a deep reserve costs little memory. The platform default (often 8 MiB, less on some systems) is
// not trusted for the deepest searches.
bool startThread(void (*entry)(void*), void* argument, size_t stackBytes) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    const size_t minimum = PTHREAD_STACK_MIN;
    bool ok =
        pthread_attr_setstacksize(&attributes, stackBytes < minimum ? minimum : stackBytes) == 0 &&
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
    if (ok) {
        ThreadStart* start = new ThreadStart{entry, argument};
        pthread_t thread;
        ok = pthread_create(&thread, &attributes, runThread, start) == 0;
        if (!ok) delete start;
    }
    pthread_attr_destroy(&attributes);
    return ok;
}

int32_t hardwareThreads() {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int32_t>(online < INT32_MAX ? online : INT32_MAX) : 1;
}

}  // namespace velka::platform

#endif  // !_WIN32 && !__EMSCRIPTEN__
