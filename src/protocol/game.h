// The game controller: board set-up, stones reported by the manager, take-backs, and the
// ThinkThread that turns a request into a move. Two events are the whole hand-over.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "protocol/event.h"
#include "protocol/settings.h"
#include "search/decide.h"

namespace velka::protocol {

// The ThinkThread gets a search thread's stack (search::SearchStackBytes); when no such thread
// can be started, one with this much; when even that fails, thinking runs on the main thread.
inline constexpr size_t FallbackThinkThreadStackBytes = size_t{16} << 20;
// An analysis line's score is win, loss (winK, lossK) or a number within this either way.
inline constexpr int32_t MaxReportedScore = 9999;

// A think on the command loop's own thread (no ThinkThread could start, as always in
// WebAssembly) serves the manager's waiting lines itself; this is where it reads them.
struct InlineService {
    std::FILE* input = nullptr;
    int64_t lastHostTurn = 0;
};

// The whole engine as the manager drives it: its settings, the player that thinks, and the
// hand-over between the command loop and the ThinkThread. The board is board::engineBoard,
// held by whichever thread holds the game.
struct Game {
    ManagerSettings settings;
    search::Player player;
    // thinkEvent lets exactly one think start per signal; idleEvent is signalled while no think
    // runs.
    Immortal<Event> thinkEvent{false, false};
    Immortal<Event> idleEvent{true, true};
    // Touched only by whichever thread holds the board under the idleEvent hand-over.
    bool boardReady = false;
    // Set when no thread could be started: each think then runs on the main thread at once.
    bool thinkInline = false;
    InlineService inlineService;
    // When the request for the move arrived; written before the think starts, read by it.
    int64_t requestMs = 0;
    std::atomic<bool> thinking{false};
};

// Once, before the command loop: the pattern tables, the memory for the first board, and where
// the player's reports go.
void startUp(Game& game);
// Answers "OK" for sides of 5 to 80, else the size error (and changes nothing).
void setupBoard(Game& game, int32_t width, int32_t height);
// A move request before any board first sets up the default 20 x 20 board, without an answer.
void ensureBoard(Game& game);
void ownMove(int32_t x, int32_t y);
void opponentMove(int32_t x, int32_t y);
void reportWinningMove(int32_t x, int32_t y);
void takeBack(int32_t x, int32_t y);
// RESTART: the board emptied, its size kept; a new game for the match clock.
void restartGame(Game& game);
// BOARD: the stones that follow replace the position (the size stays).
void clearPosition();
void startThinking(Game& game);
void playTurn(Game& game);
// FORBID: black's forbidden points on the board, in one line.
void sendForbiddenPoints(const Game& game);

// Starts the ThinkThread (once, at start-up); when none can start, thinks run inline.
void startThinkThread(Game& game);
// Blocks until no think is running.
void waitForIdle(Game& game);
// Whether a think is under way (from startThinking until its move is sent); any thread may ask.
bool thinkRunning(const Game& game);

}  // namespace velka::protocol
