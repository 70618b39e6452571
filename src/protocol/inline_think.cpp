#include "protocol/inline_think.h"

#include <array>
#include <cstdint>

#include "platform/platform.h"
#include "protocol/commands.h"
#include "protocol/game.h"
#include "search/think_control.h"
#include "search/time_control.h"

namespace velka::protocol {

namespace {

// The host gets a turn at most this often: a turn unwinds and rewinds the whole search stack
// (WebAssembly), and an answer within 25 ms is still an answer at once for a manager.
constexpr int64_t HostTurnIntervalMs = 25;

std::FILE* serviceInput = nullptr;
int64_t lastHostTurn = 0;

struct NumberedCommand {
    const char* keyword;
    int numbers;
};

// The board commands that take numbers: without all of them the answer is a parameter error,
// sent before the command would wait for the think.
constexpr std::array<NumberedCommand, 5> NumberedCommands{{
    {"START", 1},
    {"RECTSTART", 2},
    {"TURN", 2},
    {"TAKEBACK", 2},
    {"PLAY", 2},
}};

// Whether an engine with a ThinkThread answers the line without waiting for the think's move:
// INFO, ABOUT, YXSTOP, unknown words, and board commands missing their numbers. Every other
// command uses the board and waits, as does any command not named here.
bool answeredAtOnce(const char* line) {
    if (matchKeyword(line, "INFO") || matchKeyword(line, "ABOUT") || matchKeyword(line, "YXSTOP"))
        return true;
    for (const NumberedCommand& command : NumberedCommands) {
        if (!matchKeyword(line, command.keyword)) continue;
        std::array<int32_t, 2> numbers{};
        return scanNumbers(line, true, numbers.data(), command.numbers) < command.numbers;
    }
    return !isCommand(line);
}

// The think's poll: the waiting lines in order, up to the first that must wait for the move;
// that line and all after it stay on the input for the command loop.
void serveWaitingLines() {
    if (search::clockMs() - lastHostTurn < HostTurnIntervalMs) return;
    platform::yieldToHost();
    lastHostTurn = search::clockMs();
    char line[LineCapacity];
    for (;;) {
        const platform::WaitingInput waiting = platform::peekWaitingInput(line, LineCapacity);
        if (waiting == platform::WaitingInput::None) return;
        // END, or the end of the input, stops the think without a move; the loop then reads it
        // and ends the session.
        if (waiting == platform::WaitingInput::End || matchKeyword(line, "END")) {
            search::requestStop(search::StopRequest::Quit);
            return;
        }
        if (!answeredAtOnce(line)) return;
        readCommandLine(serviceInput, line, LineCapacity);
        dispatchLine(line, serviceInput);
    }
}

}  // namespace

void serveLinesDuringInlineThinks(std::FILE* input) {
    if (!thinksInline()) return;
    serviceInput = input;
    search::setThinkPoll(serveWaitingLines);
}

}  // namespace velka::protocol
