// The game controller: board set-up, stones reported by the manager, take-backs, and the
// ThinkThread that turns a request into a move. Two events are the whole hand-over.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velka::protocol {

inline constexpr size_t ThinkThreadStackBytes = size_t{256} << 20;
// When even a thread with this much stack cannot be started, thinking runs on the main thread.
inline constexpr size_t FallbackThinkThreadStackBytes = size_t{16} << 20;

void startUp();
void setupBoard(int32_t width, int32_t height);
void ownMove(int32_t x, int32_t y);
void opponentMove(int32_t x, int32_t y);
void reportWinningMove(int32_t x, int32_t y);
void takeBack(int32_t x, int32_t y);
void restartGame();
void startThinking();
void playTurn();

// Starts the ThinkThread (once, at start-up).
void startThinkThread();
// Blocks until no think is running.
void waitForIdle();
bool isBoardReady();
void setBoardReady();
// Whether setupBoard accepts these sides (5 to 80 each), for START and RECTSTART.
bool boardSizeAccepted(int32_t width, int32_t height);

}  // namespace velka::protocol
