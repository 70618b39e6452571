// The few operating-system calls the engine needs, with POSIX, Windows and WebAssembly versions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace velka::platform {

// True when standard input is an interactive console rather than the manager's pipe.
bool stdinIsConsole();
// The process's resident set (working set) in bytes; 0 when it cannot be read.
uint64_t residentMemoryBytes();
// Starts a detached thread running entry(argument) with at least stackBytes of stack reserved.
// False when no thread could be started (or the platform has none).
bool startThread(void (*entry)(void*), void* argument, size_t stackBytes);
// The number of processors the process may run on; 1 when unknown.
int32_t hardwareThreads();
// Zeroed memory for a large table, or nullptr. Where the system has them, it asks for huge
// pages: a table probed at random costs far fewer translation misses and first-touch faults on
// them (a fresh 256 MiB table is 128 faults instead of 65536).
void* allocateTable(size_t bytes);
void freeTable(void* table, size_t bytes);
// Whether memory that the engine frees goes back to the system. A WebAssembly memory only grows,
// so whatever the engine once held stays taken.
bool freedMemoryReturns();

// The stream of the manager's lines: standard input, or in WebAssembly a stream over the lines
// that the JavaScript host queues (stdin under Node, messages in a Web Worker). Reading it waits
// for input as reading a pipe does.
std::FILE* managerInput();
enum class WaitingInput { None, Line, End };
// What waits on managerInput() without waiting for it: a whole line, copied into buffer (without
// its line end, cut to capacity - 1 characters) and left unread; the end of the input; or None
// while no whole line has arrived. Only the WebAssembly build looks ahead, between the lines it
// reads; elsewhere always None.
WaitingInput peekWaitingInput(char* buffer, int capacity);
// Lets the host deliver input that arrived meanwhile: in WebAssembly one turn of the JavaScript
// event loop; elsewhere nothing, since input arrives without the engine's help.
void yieldToHost();
// Ends the process with this exit status. (Under WebAssembly a main that has waited for the host
// returns to no caller that would end the program.)
[[noreturn]] void exitProcess(int status);

}  // namespace velka::platform
