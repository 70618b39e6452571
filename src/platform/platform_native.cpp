// The platform calls that are the same on POSIX and Windows: a native process reads its manager's
// lines from its own standard input on a thread of its own, and gives freed memory back.
#if !defined(__EMSCRIPTEN__)

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace velka::platform {

bool freedMemoryReturns() {
    return true;
}

std::FILE* managerInput() {
    return stdin;
}

WaitingInput peekWaitingInput(char*, int) {
    return WaitingInput::None;
}

void yieldToHost() {}

void exitProcess(int status) {
    std::exit(status);
}

}  // namespace velka::platform

#endif  // !__EMSCRIPTEN__
