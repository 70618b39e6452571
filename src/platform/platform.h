// The few operating-system calls the engine needs, with POSIX and Windows versions.
#pragma once

#include <cstddef>
#include <cstdint>

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
// Peak resident set in bytes, for the benchmark; 0 when unknown.
uint64_t peakResidentMemoryBytes();
// Zero-filled memory straight from the operating system, on large pages where the system grants
// them for the asking (a table read at random all over costs fewer address translations so);
// nullptr when there is not enough. Give it back with releaseZeroedMemory and the same size.
void* allocateZeroedMemory(size_t bytes);
void releaseZeroedMemory(void* memory, size_t bytes);

}  // namespace velka::platform
