// The output channel: every line the engine sends goes out as one write and a flush, so that the
// manager sees each answer at once and lines of the two threads never mix.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace velka::protocol {

inline constexpr size_t LineBufferSize = 1024;
inline constexpr size_t LongLineCapacity = 40 * 1024;

// Formats kind word, a space (when the kind is not empty) and the text into out, cut to fit,
// with every CR and LF replaced by a space. Returns the length written.
size_t formatLine(char* out, size_t capacity, const char* kind, const char* format,
                  std::va_list args);

void sendPlain(const char* format, ...) __attribute__((format(printf, 1, 2)));
void sendError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void sendUnknown(const char* format, ...) __attribute__((format(printf, 1, 2)));
void sendMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
void sendAbout();
// A line of unformatted text that may be longer than a formatted one (a list of cells, a line of
// play), cut only at LongLineCapacity.
void sendLongLine(const char* kind, const char* text);
// The build date as eight digits, year first; buffer of at least 10 characters.
void buildVersion(char* buffer, size_t capacity);

}  // namespace velka::protocol
