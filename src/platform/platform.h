// The few operating-system calls the engine needs, with POSIX and Windows versions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velka::platform {

// True when standard input is an interactive console rather than the manager's pipe.
bool stdinIsConsole();
// The process's resident set (working set) in bytes; 0 when it cannot be read.
uint64_t residentMemoryBytes();
// Starts a detached thread running entry with at least stackBytes of stack reserved.
bool startThread(void (*entry)(), size_t stackBytes);
// Peak resident set in bytes, for the benchmark; 0 when unknown.
uint64_t peakResidentMemoryBytes();

}  // namespace velka::platform
