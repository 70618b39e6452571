// The command loop: reads the manager's lines, matches the command word and dispatches.
#pragma once

#include <cstdio>

namespace velka::protocol {

inline constexpr int LineCapacity = 1024;  // 1023 characters and the terminator
inline constexpr int KeywordMaxLength = 20;

// Case-insensitive whole-word match of the first words of line and keyword.
bool matchKeyword(const char* line, const char* keyword);
// INFO: sets one ManagerSettings value; never answers.
void handleInfo(const char* line);
// Reads one line into buffer, cutting an over-long line and discarding its rest; strips the line
// end (LF or CRLF). False at end of input.
bool readCommandLine(std::FILE* input, char* buffer, int capacity);
// Reads and answers commands until END or end of input; returns the exit status.
int runCommandLoop(std::FILE* input);

}  // namespace velka::protocol
