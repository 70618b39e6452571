// The game controller: board set-up, stones reported by the manager, take-backs, and the
// ThinkThread that turns a request into a move. Two events are the whole hand-over.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velka::protocol {

// The ThinkThread gets a search thread's stack (search::SearchStackBytes); when no such thread
// can be started, one with this much; when even that fails, thinking runs on the main thread.
inline constexpr size_t FallbackThinkThreadStackBytes = size_t{16} << 20;

void startUp();
// Answers "OK" for sides of 5 to 80, else the size error (and changes nothing).
void setupBoard(int32_t width, int32_t height);
// A move request before any board first sets up the default 20 x 20 board, without an answer.
void ensureBoard();
void ownMove(int32_t x, int32_t y);
void opponentMove(int32_t x, int32_t y);
void reportWinningMove(int32_t x, int32_t y);
void takeBack(int32_t x, int32_t y);
// RESTART: the board emptied, its size kept; a new game for the match clock.
void restartGame();
// BOARD: the stones that follow replace the position (the size stays).
void clearPosition();
void startThinking();
void playTurn();
// FORBID: black's forbidden points on the board, in one line.
void sendForbiddenPoints();

// Starts the ThinkThread (once, at start-up).
void startThinkThread();
// Whether thinks run on the command loop's own thread, no ThinkThread having started.
bool thinksInline();
// Blocks until no think is running.
void waitForIdle();
// Whether a think is under way (from startThinking until its move is sent); any thread may ask.
bool thinkRunning();

}  // namespace velka::protocol
