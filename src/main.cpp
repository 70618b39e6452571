// pbrain-velka: a Gomoku and Renju engine for the tournament managers' line protocol on standard
// input and output.
#include <cstdio>

#include "platform/platform.h"
#include "protocol/commands.h"
#include "protocol/game.h"
#include "protocol/inline_think.h"
#include "protocol/output.h"

namespace {

constexpr char ManagerAddress[] = "https://sourceforge.net/projects/piskvork";

// The engine's whole state, in static storage: it is large, and lives as long as the process.
velka::protocol::Game game;

}  // namespace

int main() {
    using namespace velka;
    // Someone typing at a console rather than a manager: say how the engine is meant to be run,
    // then serve the console like a manager anyway.
    if (platform::stdinIsConsole()) {
        protocol::sendMessage(
            "Gomoku AI should not be started directly. Please install gomoku manager (%s). Then "
            "enter path to this exe file in players settings.",
            ManagerAddress);
    }
    std::FILE* input = platform::managerInput();
    protocol::startThinkThread(game);
    protocol::serveLinesDuringInlineThinks(game, input);
    protocol::startUp(game);
    platform::exitProcess(protocol::runCommandLoop(game, input));
}
