#include "protocol/commands.h"

#include <array>
#include <atomic>
#include <cctype>
#include <cstdint>

#include "protocol/game.h"
#include "protocol/output.h"
#include "search/memory.h"
#include "search/settings.h"
#include "search/think_control.h"
#include "search/time_control.h"

namespace velka::protocol {

namespace {

enum class Flow { Continue, Stop };

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Copies the first white-space-delimited word of text into word, cut to KeywordMaxLength
// characters, and returns its length (0 when there is none).
int firstWord(const char* text, char* word) {
    while (isSpace(*text)) ++text;
    int length = 0;
    while (*text != '\0' && !isSpace(*text) && length < KeywordMaxLength) word[length++] = *text++;
    return length;
}

// Reads one decimal integer at p as scanf's %d does, advancing p past it.
bool readNumber(const char*& p, int32_t& value) {
    const char* q = p;
    while (isSpace(*q)) ++q;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    if (!isDigit(*q)) return false;
    // Past the 32-bit range the digits are still consumed but the value stays at the limit.
    constexpr int64_t Limit = int64_t{INT32_MAX} + 1;
    int64_t magnitude = 0;
    while (isDigit(*q)) {
        if (magnitude < Limit) magnitude = magnitude * 10 + (*q - '0');
        ++q;
    }
    if (magnitude > Limit) magnitude = Limit;
    if (negative) {
        value = static_cast<int32_t>(-magnitude);
    } else {
        value = static_cast<int32_t>(magnitude < Limit ? magnitude : INT32_MAX);
    }
    p = q;
    return true;
}

// The whole session ends the same way whether END came or the input ran out: a running think
// stops at once and sends nothing, then the memory goes back.
Flow finishSession() {
    search::requestStop(search::StopRequest::Quit);
    waitForIdle();
    search::releaseMemory();
    return Flow::Stop;
}

Flow handleEnd(char*, std::FILE*) {
    return finishSession();
}

// Reads the numbers behind the command word; when they are not all there, answers the
// command's parameter error and returns false.
bool readArguments(const char* line, int32_t* values, int count, const char* error) {
    if (scanNumbers(line, true, values, count) == count) return true;
    sendError("%s", error);
    return false;
}

Flow handleStart(char* line, std::FILE*) {
    int32_t size = 0;
    if (!readArguments(line, &size, 1, "bad START parameter")) return Flow::Continue;
    waitForIdle();
    setupBoard(size, size);
    return Flow::Continue;
}

Flow handleRectStart(char* line, std::FILE*) {
    int32_t sides[2] = {};
    if (!readArguments(line, sides, 2, "bad RECTSTART parameters")) return Flow::Continue;
    waitForIdle();
    setupBoard(sides[0], sides[1]);
    return Flow::Continue;
}

Flow handleTurn(char* line, std::FILE*) {
    int32_t cell[2] = {};
    if (!readArguments(line, cell, 2, "bad TURN parameters")) return Flow::Continue;
    waitForIdle();
    ensureBoard();
    opponentMove(cell[0], cell[1]);
    startThinking();
    return Flow::Continue;
}

Flow handleBegin(char*, std::FILE*) {
    waitForIdle();
    ensureBoard();
    startThinking();
    return Flow::Continue;
}

// The block reuses the command line buffer. It sets up a new position: its stones replace those
// on the board, so that a manager may send the whole board before every move. Inside the block
// only DONE is a command, every other line is a stone or a bad line.
Flow handleBoard(char* line, std::FILE* input) {
    waitForIdle();
    ensureBoard();
    clearPosition();
    for (;;) {
        if (!readCommandLine(input, line, LineCapacity)) return finishSession();
        if (matchKeyword(line, "DONE")) {
            startThinking();
            return Flow::Continue;
        }
        int32_t stone[3] = {};
        const int32_t who = scanNumbers(line, false, stone, 3) == 3 ? stone[2] : 0;
        if (who == 2) {
            opponentMove(stone[0], stone[1]);
        } else if (who == 1) {
            ownMove(stone[0], stone[1]);
        } else if (who == 3) {
            reportWinningMove(stone[0], stone[1]);
        } else {
            sendError("x,y,who or DONE expected after BOARD");
        }
    }
}

Flow handleInfoCommand(char* line, std::FILE*) {
    handleInfo(line);
    return Flow::Continue;
}

Flow handleAbout(char*, std::FILE*) {
    sendAbout();
    return Flow::Continue;
}

Flow handleRestart(char*, std::FILE*) {
    waitForIdle();
    restartGame();
    return Flow::Continue;
}

Flow handleTakeBack(char* line, std::FILE*) {
    int32_t cell[2] = {};
    if (!readArguments(line, cell, 2, "bad TAKEBACK parameters")) return Flow::Continue;
    waitForIdle();
    takeBack(cell[0], cell[1]);
    return Flow::Continue;
}

// YXSTOP: the think under way stops and answers at once with the best move it has; without a
// think there is nothing to stop and nothing to answer.
Flow handleStop(char*, std::FILE*) {
    if (thinkRunning()) search::requestStop(search::StopRequest::Answer);
    return Flow::Continue;
}

Flow handleForbid(char*, std::FILE*) {
    waitForIdle();
    sendForbiddenPoints();
    return Flow::Continue;
}

Flow handlePlay(char* line, std::FILE*) {
    int32_t cell[2] = {};
    if (!readArguments(line, cell, 2, "bad PLAY parameters")) return Flow::Continue;
    waitForIdle();
    ownMove(cell[0], cell[1]);
    sendPlain("%d,%d", cell[0], cell[1]);
    return Flow::Continue;
}

struct Command {
    const char* keyword;
    Flow (*handle)(char* line, std::FILE* input);
    bool usesBoard;   // waits until no think runs
    int32_t numbers;  // numbers that must follow the word; without them, an error at once
};

// Tried in this order; the first whose keyword matches the line's first word handles it.
constexpr std::array<Command, 13> Commands{{
    {"END", handleEnd, true, 0},
    {"START", handleStart, true, 1},
    {"TURN", handleTurn, true, 2},
    {"BEGIN", handleBegin, true, 0},
    {"BOARD", handleBoard, true, 0},
    {"INFO", handleInfoCommand, false, 0},
    {"ABOUT", handleAbout, false, 0},
    {"RECTSTART", handleRectStart, true, 2},
    {"RESTART", handleRestart, true, 0},
    {"TAKEBACK", handleTakeBack, true, 2},
    {"PLAY", handlePlay, true, 2},
    {"YXSTOP", handleStop, false, 0},
    {"FORBID", handleForbid, true, 0},
}};

const Command* findCommand(const char* line) {
    for (const Command& command : Commands) {
        if (matchKeyword(line, command.keyword)) return &command;
    }
    return nullptr;
}

Flow dispatch(char* line, std::FILE* input) {
    const Command* command = findCommand(line);
    if (command != nullptr) return command->handle(line, input);
    sendUnknown("%s", line);
    return Flow::Continue;
}

// Start and length of the piece of text after the first `skip` pieces, pieces being runs of
// characters other than white space.
const char* pieceAfter(const char* text, int skip, int& length) {
    const char* p = text;
    for (int i = 0;; ++i) {
        while (isSpace(*p)) ++p;
        const char* start = p;
        while (*p != '\0' && !isSpace(*p)) ++p;
        if (i == skip) {
            length = static_cast<int>(p - start);
            return length > 0 ? start : nullptr;
        }
    }
}

}  // namespace

bool matchKeyword(const char* line, const char* keyword) {
    if (line == nullptr || keyword == nullptr) return false;
    char lineWord[KeywordMaxLength];
    char keywordWord[KeywordMaxLength];
    const int lineLength = firstWord(line, lineWord);
    if (lineLength == 0) return false;
    const int keywordLength = firstWord(keyword, keywordWord);
    if (lineLength != keywordLength) return false;
    for (int i = 0; i < lineLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(lineWord[i])) !=
            std::tolower(static_cast<unsigned char>(keywordWord[i]))) {
            return false;
        }
    }
    return true;
}

int32_t parseInteger(const char* text) {
    int32_t value = 0;
    return readNumber(text, value) ? value : 0;
}

int scanNumbers(const char* line, bool skipCommandWord, int32_t* values, int count) {
    const char* p = line;
    if (skipCommandWord) {
        while (isSpace(*p)) ++p;
        if (*p == '\0') return 0;
        while (*p != '\0' && !isSpace(*p)) ++p;
    }
    int read = 0;
    while (read < count) {
        if (read > 0) {
            if (*p != ',') break;
            ++p;
        }
        if (!readNumber(p, values[read])) break;
        ++read;
    }
    return read;
}

void handleInfo(const char* line) {
    int keyLength = 0;
    int valueLength = 0;
    const char* key = pieceAfter(line, 1, keyLength);
    const char* value = pieceAfter(line, 2, valueLength);
    if (key == nullptr || value == nullptr) return;

    using search::settings;
    struct NumericKey {
        const char* name;
        std::atomic<int32_t>& setting;
        void (*noteSent)();  // what else the key tells the match clock
        bool timing;         // changes the running think's budget
    };
    const std::array<NumericKey, 10> numericKeys{{
        {"timeout_turn", settings.timeout_turn, nullptr, true},
        {"timeout_match", settings.timeout_match, search::noteMatchLimitSent, true},
        {"max_memory", settings.max_memory, nullptr, false},
        {"time_left", settings.time_left, search::noteTimeLeftSent, true},
        {"game_type", settings.game_type, nullptr, false},
        {"rule", settings.rule, nullptr, false},
        {"max_node", settings.max_node, nullptr, false},
        {"max_depth", settings.max_depth, nullptr, false},
        {"analysis", settings.analysis, nullptr, false},
        {"thread_num", settings.thread_num, nullptr, false},
    }};
    for (const NumericKey& numeric : numericKeys) {
        if (!matchKeyword(key, numeric.name)) continue;
        numeric.setting.store(parseInteger(value), std::memory_order_relaxed);
        if (numeric.noteSent != nullptr) numeric.noteSent();
        if (numeric.timing) search::recomputeBudget();
        return;
    }
    if (matchKeyword(key, "folder")) {
        // Cut to what the setting holds; the folder is stored only, so a cut path harms nothing.
        const int length =
            valueLength < search::FolderCapacity - 1 ? valueLength : search::FolderCapacity - 1;
        for (int i = 0; i < length; ++i) settings.folder[i] = value[i];
        settings.folder[length] = '\0';
    }
}

bool readCommandLine(std::FILE* input, char* buffer, int capacity) {
    if (capacity <= 0) return false;
    int length = 0;
    int c = std::getc(input);
    if (c == EOF) {
        buffer[0] = '\0';
        return false;
    }
    // Characters beyond the buffer are read and dropped up to the line end, so the rest of an
    // over-long line is never taken for a command of its own.
    while (c != EOF && c != '\n') {
        if (length < capacity - 1) buffer[length++] = static_cast<char>(c);
        c = std::getc(input);
    }
    // Windows managers end lines with CR LF.
    if (length > 0 && buffer[length - 1] == '\r') --length;
    buffer[length] = '\0';
    return true;
}

int runCommandLoop(std::FILE* input) {
    char line[LineCapacity];
    while (readCommandLine(input, line, LineCapacity)) {
        if (dispatch(line, input) == Flow::Stop) return 0;
    }
    // The input ended without END: the manager is gone, so end as END would.
    finishSession();
    return 0;
}

bool answeredAtOnce(const char* line) {
    const Command* command = findCommand(line);
    if (command == nullptr || !command->usesBoard) return true;
    std::array<int32_t, 2> numbers{};
    return scanNumbers(line, true, numbers.data(), command->numbers) < command->numbers;
}

void dispatchLine(char* line, std::FILE* input) {
    dispatch(line, input);
}

}  // namespace velka::protocol
