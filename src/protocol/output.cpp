#include "protocol/output.h"

#include <cstdio>
#include <cstring>

namespace velka::protocol {

namespace {

constexpr size_t VersionCapacity = 10;

constexpr char MonthList[] = "JanFebMarAprMayJunJulAugSepOctNovDec";

// The compiler's build date, "Mmm dd yyyy" (the day padded with a space).
constexpr char BuildDate[] = __DATE__;

// The line and its line end in one write, so that the two threads' lines never mix.
void writeLine(char* line, size_t length) {
    line[length] = '\n';
    std::fwrite(line, 1, length + 1, stdout);
    std::fflush(stdout);
}

void sendWithKind(const char* kind, const char* format, std::va_list args) {
    // One byte beyond the line for the line end.
    char line[LineBufferSize + 1];
    writeLine(line, formatLine(line, LineBufferSize, kind, format, args));
}

size_t formatInto(char* out, size_t capacity, const char* kind, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const size_t length = formatLine(out, capacity, kind, format, args);
    va_end(args);
    return length;
}

}  // namespace

size_t formatLine(char* out, size_t capacity, const char* kind, const char* format,
                  std::va_list args) {
    if (capacity == 0) return 0;
    size_t length = 0;
    const size_t kindLength = std::strlen(kind);
    if (kindLength > 0) {
        length = kindLength < capacity - 1 ? kindLength : capacity - 1;
        std::memcpy(out, kind, length);
        if (length < capacity - 1) out[length++] = ' ';
    }
    out[length] = '\0';
    // vsnprintf cuts the text to the space left and always terminates it.
    const int written = std::vsnprintf(out + length, capacity - length, format, args);
    if (written > 0) {
        const size_t room = capacity - 1 - length;
        length += static_cast<size_t>(written) < room ? static_cast<size_t>(written) : room;
    }
    out[length] = '\0';
    // A manager reads line by line: an echoed CR or LF must not split or end the answer early.
    for (size_t i = 0; i < length; ++i) {
        if (out[i] == '\r' || out[i] == '\n') out[i] = ' ';
    }
    return length;
}

void sendPlain(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    sendWithKind("", format, args);
    va_end(args);
}

void sendError(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    sendWithKind("ERROR", format, args);
    va_end(args);
}

void sendUnknown(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    sendWithKind("UNKNOWN", format, args);
    va_end(args);
}

void sendMessage(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    sendWithKind("MESSAGE", format, args);
    va_end(args);
}

// The date is taken apart directly rather than through mktime and localtime: for a real calendar
// date that round trip changes nothing, and localtime's shared buffer is not thread-safe.
void buildVersion(char* buffer, size_t capacity) {
    if (capacity == 0) return;
    char month[4] = {};
    int day = 0;
    int year = 0;
    if (std::sscanf(BuildDate, "%3s %d %d", month, &day, &year) != 3 || day < 1 || day > 31 ||
        year < 0 || year > 9999) {
        std::snprintf(buffer, capacity, "00000000");
        return;
    }
    const char* found = month[0] != '\0' ? std::strstr(MonthList, month) : nullptr;
    int monthNumber = found != nullptr ? static_cast<int>(found - MonthList) / 3 : 0;
    if (monthNumber < 0 || monthNumber > 11) monthNumber = 0;
    std::snprintf(buffer, capacity, "%04d%02d%02d", year, monthNumber + 1, day);
}

void sendAbout() {
    char version[VersionCapacity];
    buildVersion(version, sizeof version);
    // No country and no address: the engine has neither, and a guess would mislead.
    sendPlain(R"(name="velka", version="%s", author="the velka developers", country="", email="")",
              version);
}

void sendLongLine(const char* kind, const char* text) {
    static_assert(LongLineCapacity > LineBufferSize);
    char line[LongLineCapacity + 1];
    writeLine(line, formatInto(line, LongLineCapacity, kind, "%s", text));
}

}  // namespace velka::protocol
