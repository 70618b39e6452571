#include "protocol/commands.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdint>

#include "protocol/output.h"
#include "search/memory.h"
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
Flow finishSession(Game& game) {
    search::requestStop(game.player.control, search::StopRequest::Quit);
    waitForIdle(game);
    search::releaseMemory(game.player.memory);
    return Flow::Stop;
}

// What a command needs before its handler runs. Ignore: it is answered at once, also during a
// think. Wait: it touches the board, so it waits until no think runs. StopThenWait: it ends the
// think under way first (END).
enum class Idle { Ignore, Wait, StopThenWait };

// The numbers read behind the command word.
using Numbers = std::array<int32_t, 2>;

Flow handleEnd(Game& game, char*, const Numbers&, std::FILE*) {
    search::releaseMemory(game.player.memory);
    return Flow::Stop;
}

Flow handleStart(Game& game, char*, const Numbers& size, std::FILE*) {
    setupBoard(game, size[0], size[0]);
    return Flow::Continue;
}

Flow handleRectStart(Game& game, char*, const Numbers& sides, std::FILE*) {
    setupBoard(game, sides[0], sides[1]);
    return Flow::Continue;
}

Flow handleTurn(Game& game, char*, const Numbers& cell, std::FILE*) {
    ensureBoard(game);
    opponentMove(cell[0], cell[1]);
    startThinking(game);
    return Flow::Continue;
}

Flow handleBegin(Game& game, char*, const Numbers&, std::FILE*) {
    ensureBoard(game);
    startThinking(game);
    return Flow::Continue;
}

// The block reuses the command line buffer. It sets up a new position: its stones replace those
// on the board, so that a manager may send the whole board before every move. Inside the block
// DONE ends it; END, or the end of the input, ends the session (a manager that gives up on the
// position must not be kept waiting for a DONE); every other line is a stone or a bad line.
Flow handleBoard(Game& game, char* line, const Numbers&, std::FILE* input) {
    ensureBoard(game);
    clearPosition();
    for (;;) {
        if (!readCommandLine(input, line, LineCapacity) || matchKeyword(line, "END")) {
            return finishSession(game);
        }
        if (matchKeyword(line, "DONE")) {
            startThinking(game);
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

Flow handleInfoCommand(Game& game, char* line, const Numbers&, std::FILE*) {
    handleInfo(game, line);
    return Flow::Continue;
}

Flow handleAbout(Game&, char*, const Numbers&, std::FILE*) {
    sendAbout();
    return Flow::Continue;
}

Flow handleRestart(Game& game, char*, const Numbers&, std::FILE*) {
    restartGame(game);
    return Flow::Continue;
}

Flow handleTakeBack(Game&, char*, const Numbers& cell, std::FILE*) {
    takeBack(cell[0], cell[1]);
    return Flow::Continue;
}

// YXSTOP: the think under way stops and answers at once with the best move it has; without a
// think there is nothing to stop and nothing to answer.
Flow handleStop(Game& game, char*, const Numbers&, std::FILE*) {
    if (thinkRunning(game)) search::requestStop(game.player.control, search::StopRequest::Answer);
    return Flow::Continue;
}

Flow handleForbid(Game& game, char*, const Numbers&, std::FILE*) {
    sendForbiddenPoints(game);
    return Flow::Continue;
}

Flow handlePlay(Game&, char*, const Numbers& cell, std::FILE*) {
    ownMove(cell[0], cell[1]);
    sendPlain("%d,%d", cell[0], cell[1]);
    return Flow::Continue;
}

struct Command {
    const char* keyword;
    Flow (*handle)(Game& game, char* line, const Numbers& numbers, std::FILE* input);
    Idle idle;
    int32_t numbers;             // numbers that must follow the word (at most two)
    const char* parameterError;  // the answer, at once, when they do not
};

// Tried in this order; the first whose keyword matches the line's first word handles it. The
// table alone says which commands wait for the think and which numbers they read: the command
// loop, and a think that serves the manager's lines itself, both go by it.
constexpr std::array<Command, 13> Commands{{
    {"END", handleEnd, Idle::StopThenWait, 0, nullptr},
    {"START", handleStart, Idle::Wait, 1, "bad START parameter"},
    {"TURN", handleTurn, Idle::Wait, 2, "bad TURN parameters"},
    {"BEGIN", handleBegin, Idle::Wait, 0, nullptr},
    {"BOARD", handleBoard, Idle::Wait, 0, nullptr},
    {"INFO", handleInfoCommand, Idle::Ignore, 0, nullptr},
    {"ABOUT", handleAbout, Idle::Ignore, 0, nullptr},
    {"RECTSTART", handleRectStart, Idle::Wait, 2, "bad RECTSTART parameters"},
    {"RESTART", handleRestart, Idle::Wait, 0, nullptr},
    {"TAKEBACK", handleTakeBack, Idle::Wait, 2, "bad TAKEBACK parameters"},
    {"PLAY", handlePlay, Idle::Wait, 2, "bad PLAY parameters"},
    {"YXSTOP", handleStop, Idle::Ignore, 0, nullptr},
    {"FORBID", handleForbid, Idle::Wait, 0, nullptr},
}};
static_assert(std::all_of(Commands.begin(), Commands.end(), [](const Command& c) {
    return c.numbers <= static_cast<int32_t>(Numbers{}.size()) &&
           (c.numbers == 0) == (c.parameterError == nullptr);
}));

const Command* findCommand(const char* line) {
    for (const Command& command : Commands) {
        if (matchKeyword(line, command.keyword)) return &command;
    }
    return nullptr;
}

// Whether the line's numbers are all there; reads them into numbers.
bool readArguments(const Command& command, const char* line, Numbers& numbers) {
    return scanNumbers(line, true, numbers.data(), command.numbers) == command.numbers;
}

Flow dispatch(Game& game, char* line, std::FILE* input) {
    const Command* command = findCommand(line);
    if (command == nullptr) {
        sendUnknown("%s", line);
        return Flow::Continue;
    }
    // A command that fails to parse answers at once, without waiting for the think.
    Numbers numbers{};
    if (!readArguments(*command, line, numbers)) {
        sendError("%s", command->parameterError);
        return Flow::Continue;
    }
    if (command->idle == Idle::StopThenWait) {
        search::requestStop(game.player.control, search::StopRequest::Quit);
    }
    if (command->idle != Idle::Ignore) waitForIdle(game);
    return command->handle(game, line, numbers, input);
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

void handleInfo(Game& game, const char* line) {
    int keyLength = 0;
    int valueLength = 0;
    const char* key = pieceAfter(line, 1, keyLength);
    const char* value = pieceAfter(line, 2, valueLength);
    if (key == nullptr || value == nullptr) return;

    ManagerSettings& settings = game.settings;
    search::GameClock& clock = game.player.control.clock;
    // What else a key does besides setting its value.
    enum class Effect { None, Budget, TimeLeftSent, MatchLimitSent };
    struct NumericKey {
        const char* name;
        std::atomic<int32_t>& setting;
        Effect effect;
    };
    const std::array<NumericKey, 13> numericKeys{{
        {"timeout_turn", settings.timeout_turn, Effect::Budget},
        {"timeout_match", settings.timeout_match, Effect::MatchLimitSent},
        {"max_memory", settings.max_memory, Effect::None},
        {"time_left", settings.time_left, Effect::TimeLeftSent},
        {"game_type", settings.game_type, Effect::None},
        {"rule", settings.rule, Effect::None},
        {"max_node", settings.max_node, Effect::None},
        {"max_depth", settings.max_depth, Effect::None},
        {"analysis", settings.analysis, Effect::None},
        {"thread_num", settings.thread_num, Effect::None},
        {"multipv", settings.multipv, Effect::None},
        {"strong", settings.strong, Effect::None},
        {"level", settings.level, Effect::None},
    }};
    for (const NumericKey& numeric : numericKeys) {
        if (!matchKeyword(key, numeric.name)) continue;
        numeric.setting.store(parseInteger(value), std::memory_order_relaxed);
        switch (numeric.effect) {
            case Effect::None:
                break;
            case Effect::TimeLeftSent:
                search::noteTimeLeftSent(clock);
                search::recomputeBudget(clock, clockSettings(settings));
                break;
            case Effect::MatchLimitSent:
                search::noteMatchLimitSent(clock);
                search::recomputeBudget(clock, clockSettings(settings));
                break;
            case Effect::Budget:
                search::recomputeBudget(clock, clockSettings(settings));
                break;
        }
        return;
    }
    if (matchKeyword(key, "folder")) {
        // Cut to what the setting holds; the folder is stored only, so a cut path harms nothing.
        const int length = valueLength < FolderCapacity - 1 ? valueLength : FolderCapacity - 1;
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

int runCommandLoop(Game& game, std::FILE* input) {
    char line[LineCapacity];
    while (readCommandLine(input, line, LineCapacity)) {
        if (dispatch(game, line, input) == Flow::Stop) return 0;
    }
    // The input ended without END: the manager is gone, so end as END would.
    finishSession(game);
    return 0;
}

bool answeredAtOnce(const char* line) {
    const Command* command = findCommand(line);
    if (command == nullptr || command->idle == Idle::Ignore) return true;
    Numbers numbers{};
    return !readArguments(*command, line, numbers);
}

void dispatchLine(Game& game, char* line, std::FILE* input) {
    dispatch(game, line, input);
}

}  // namespace velka::protocol
