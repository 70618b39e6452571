// The command loop: reads the manager's lines, matches the command word and dispatches.
#pragma once

#include <cstdint>
#include <cstdio>

#include "protocol/game.h"

namespace velka::protocol {

inline constexpr int LineCapacity = 1024;  // 1023 characters and the terminator
inline constexpr int KeywordMaxLength = 20;

// Case-insensitive whole-word match of the first words of line and keyword.
bool matchKeyword(const char* line, const char* keyword);
// INFO: sets one ManagerSettings value; never answers.
void handleInfo(Game& game, const char* line);
// Reads one line into buffer, cutting an over-long line and discarding its rest; strips the line
// end (LF or CRLF). False at end of input.
bool readCommandLine(std::FILE* input, char* buffer, int capacity);
// Reads and answers commands until END or end of input; returns the exit status.
int runCommandLoop(Game& game, std::FILE* input);
// Whether the loop answers the line without waiting for a think's move: a command that keeps off
// the board, an unknown line, or a board command without its numbers (a parameter error).
bool answeredAtOnce(const char* line);
// Answers one line as the loop does; for lines other than END, whose ending of the loop it drops.
void dispatchLine(Game& game, char* line, std::FILE* input);

// Reads up to count decimal integers separated by commas, the way scanf reads "%*s%d,%d" (with
// skipCommandWord) or "%d,%d,%d": white space may stand before a number, the comma must follow
// the number directly. Returns how many were read. Values beyond 32 bits saturate.
int scanNumbers(const char* line, bool skipCommandWord, int32_t* values, int count);
// atoi's reading (white space, sign, digits, stop at anything else, 0 without digits), but
// saturating at the 32-bit limits where atoi would be undefined.
int32_t parseInteger(const char* text);

}  // namespace velka::protocol
