#include "protocol/inline_think.h"

#include <cstdint>

#include "platform/platform.h"
#include "protocol/commands.h"
#include "search/think_control.h"
#include "search/time_control.h"

namespace velka::protocol {

namespace {

// The host gets a turn at most this often: a turn unwinds and rewinds the whole search stack
// (WebAssembly), and an answer within 25 ms is still an answer at once for a manager.
constexpr int64_t HostTurnIntervalMs = 25;

// The think's poll: the waiting lines in order, up to the first that must wait for the move;
// that line and all after it stay on the input for the command loop.
void serveWaitingLines(void* context) {
    Game& game = *static_cast<Game*>(context);
    InlineService& service = game.inlineService;
    if (search::clockMs() - service.lastHostTurn < HostTurnIntervalMs) return;
    platform::yieldToHost();
    service.lastHostTurn = search::clockMs();
    char line[LineCapacity];
    for (;;) {
        const platform::WaitingInput waiting = platform::peekWaitingInput(line, LineCapacity);
        if (waiting == platform::WaitingInput::None) return;
        // END, or the end of the input, stops the think without a move; the loop then reads it
        // and ends the session.
        if (waiting == platform::WaitingInput::End || matchKeyword(line, "END")) {
            search::requestStop(game.player.control, search::StopRequest::Quit);
            return;
        }
        if (!answeredAtOnce(line)) return;
        readCommandLine(service.input, line, LineCapacity);
        dispatchLine(game, line, service.input);
    }
}

}  // namespace

void serveLinesDuringInlineThinks(Game& game, std::FILE* input) {
    if (!game.thinkInline) return;
    game.inlineService.input = input;
    game.player.control.poll = serveWaitingLines;
    game.player.control.pollContext = &game;
}

}  // namespace velka::protocol
