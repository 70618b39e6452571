// Serving the manager during a think that runs on the command loop's own thread, as every think
// does when no ThinkThread could start (always in the WebAssembly build).
#pragma once

#include <cstdio>

#include "protocol/game.h"

namespace velka::protocol {

// When thinks run inline, has each think serve, at its clock checks, the lines waiting on input
// that an engine with a ThinkThread answers at once; otherwise does nothing.
void serveLinesDuringInlineThinks(Game& game, std::FILE* input);

}  // namespace velka::protocol
