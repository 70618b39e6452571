// WebAssembly versions of the platform calls, for Emscripten. The whole file is compiled only
// there; the host's side of it is the JavaScript in wasm_host.js (linked in with --pre-js), which
// owns the queue of the manager's input.
//
// A page must work from any static web server, and browsers give wasm threads only to pages
// served with cross-origin isolation headers, so this build has no second thread: startThread
// fails and every think runs on the command loop's thread. Reading waits for input, and a think
// lets the JavaScript event loop deliver lines, through Asyncify: the two asynchronous imports
// below unwind the wasm stack, await a promise and rewind it.
#ifdef __EMSCRIPTEN__

#include <emscripten.h>
#include <malloc.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

// The host's queue: bytes copied into wasm memory, never past the first line end, so that a line
// is read whole before the next one is looked at. Both answer -1 at the end of the input and 0
// while nothing (no whole line) is queued.
EM_JS(int, hostTakeInput, (char* buffer, int capacity),
      { return Module.velkaInput.take(HEAPU8, buffer, capacity); });
EM_JS(int, hostPeekLine, (char* buffer, int capacity),
      { return Module.velkaInput.peekLine(HEAPU8, buffer, capacity); });
EM_JS(int, hostInputIsTerminal, (), { return Module.velkaInput.isTerminal ? 1 : 0; });
EM_ASYNC_JS(void, hostInputArrival, (), { await Module.velkaInput.arrival(); });
EM_ASYNC_JS(void, hostEventLoopTurn, (), { await Module.velkaInput.eventLoopTurn(); });

namespace velka::platform {

namespace {

// The stream's read function: whatever is queued, up to one line; waits when nothing is.
ssize_t readQueuedInput(void*, char* buffer, size_t size) {
    const int capacity = size < 65536 ? static_cast<int>(size) : 65536;
    for (;;) {
        const int taken = hostTakeInput(buffer, capacity);
        if (taken != 0) return taken < 0 ? 0 : taken;
        hostInputArrival();
    }
}

}  // namespace

// Under Node the host knows whether stdin is a terminal; in a worker it never is.
bool stdinIsConsole() {
    return hostInputIsTerminal() != 0;
}

// The heap's top less what malloc holds free: static data, the stack and the live allocations.
// Memory once grown is never given back, so the size of the whole memory would count a table
// released long ago.
uint64_t residentMemoryBytes() {
    const uintptr_t top = reinterpret_cast<uintptr_t>(sbrk(0));
    const struct mallinfo heap = mallinfo();
    return top - static_cast<uintptr_t>(heap.fordblks);
}

void* allocateTable(size_t bytes) {
    return calloc(1, bytes);
}

void freeTable(void* table, size_t) {
    free(table);
}

bool freedMemoryReturns() {
    return false;
}

bool startThread(void (*)(void*), void*, size_t) {
    return false;
}

int32_t hardwareThreads() {
    return 1;
}

std::FILE* managerInput() {
    static std::FILE* const input = fopencookie(
        nullptr, "r", cookie_io_functions_t{readQueuedInput, nullptr, nullptr, nullptr});
    return input;
}

WaitingInput peekWaitingInput(char* buffer, int capacity) {
    const int peeked = hostPeekLine(buffer, capacity);
    if (peeked < 0) return WaitingInput::End;
    return peeked > 0 ? WaitingInput::Line : WaitingInput::None;
}

void yieldToHost() {
    hostEventLoopTurn();
}

void exitProcess(int status) {
    emscripten_force_exit(status);
    __builtin_unreachable();
}

}  // namespace velka::platform

#endif  // __EMSCRIPTEN__
