#include "protocol/game.h"

#include "board/board.h"
#include "board/spiral.h"
#include "patterns/pattern_table.h"
#include "platform/platform.h"
#include "protocol/event.h"
#include "protocol/output.h"
#include "protocol/settings.h"
#include "search/decide.h"
#include "search/memory.h"
#include "search/time_control.h"

namespace velka::protocol {

namespace {

// thinkEvent lets exactly one think start per signal; idleEvent is signalled while no think runs.
Immortal<Event> thinkEvent(false, false);
Immortal<Event> idleEvent(true, true);

// Touched only by whichever thread holds the board under the idleEvent hand-over.
bool boardReady = false;
// Set when no thread could be started: each think then runs on the main thread at once.
bool thinkInline = false;

void thinkOnce() {
    if (!boardReady) {
        setupBoard(board::DefaultSide, board::DefaultSide);
        boardReady = true;
    }
    playTurn();
}

void thinkThreadMain() {
    for (;;) {
        waitEvent(thinkEvent.value);
        thinkOnce();
        signalEvent(idleEvent.value);
    }
}

// The cell if (x, y) lies on the board and is empty, else NoCell.
int32_t emptyCellAt(int32_t x, int32_t y) {
    if (!board::onBoard(x, y)) return board::NoCell;
    const int32_t index = board::cellIndex(x, y);
    return board::engineBoard.cells[index] == board::CellEmpty ? index : board::NoCell;
}

}  // namespace

void startUp() {
    patterns::buildPatternTables(currentRuleVariant());
    search::sizeMemory(search::StartUpMemoryLimit);
}

bool boardSizeAccepted(int32_t width, int32_t height) {
    return width >= board::MinSide && height >= board::MinSide && width <= board::MaxSide &&
           height <= board::MaxSide;
}

void setupBoard(int32_t width, int32_t height) {
    if (width < board::MinSide || height < board::MinSide) {
        sendError("size of the board");
        return;
    }
    if (width > board::MaxSide || height > board::MaxSide) {
        sendError("Maximal board size is %d", board::MaxSide);
        return;
    }
    board::initBoard(width, height);
    board::buildSpiralOrders(width, height);
    board::buildWindowOffsets(width);
    // The limit is a byte count; a negative INFO value reads as a large unsigned limit, as the
    // manager's 32-bit field would.
    search::sizeMemory(static_cast<uint32_t>(readSetting(settings.max_memory)));
    sendPlain("OK");
}

void ownMove(int32_t x, int32_t y) {
    const int32_t index = emptyCellAt(x, y);
    if (index == board::NoCell) {
        sendError("my move [%d,%d]", x, y);
        return;
    }
    board::setCell(index, board::CellOwn);
}

void opponentMove(int32_t x, int32_t y) {
    const int32_t index = emptyCellAt(x, y);
    if (index == board::NoCell) {
        sendError("opponents's move [%d,%d]", x, y);
        return;
    }
    board::setCell(index, board::CellOpponent);
}

void reportWinningMove(int32_t x, int32_t y) {
    sendError("winning move [%d,%d]", x, y);
}

void takeBack(int32_t x, int32_t y) {
    if (board::onBoard(x, y)) {
        const int32_t index = board::cellIndex(x, y);
        if (board::engineBoard.cells[index] != board::CellEmpty) {
            board::setCell(index, board::CellEmpty);
            sendPlain("OK");
            return;
        }
    }
    sendPlain("ERROR bad coordinates");
}

void restartGame() {
    board::clearBoard();
    sendPlain("OK");
}

void startThinking() {
    if (thinkInline) {
        thinkOnce();
        return;
    }
    // Reset before signalling: a command that follows at once must see the think as running.
    resetEvent(idleEvent.value);
    signalEvent(thinkEvent.value);
}

void playTurn() {
    const patterns::RuleVariant variant = currentRuleVariant();
    patterns::refreshPatternTables(variant);
    board::takeCensus(board::CellOwn);
    search::startTurnClock(board::engineBoard.emptyCount, readSetting(settings.time_left),
                           readSetting(settings.timeout_turn));
    board::chooseSpiralOrder();
    search::wipeMemory();
    const int32_t index = search::decideMove(variant);
    const int32_t width = board::engineBoard.width;
    // Only a full board leaves no cell. There is no legal move to send, and a coordinate off the
    // board would read as a move to the manager, so the answer says why instead.
    if (index < 0 || index >= board::engineBoard.cellCount) {
        sendError("no empty cell on the board");
        return;
    }
    const int32_t x = index % width;
    const int32_t y = index / width;
    ownMove(x, y);
    sendPlain("%d,%d", x, y);
}

void startThinkThread() {
    if (platform::startThread(thinkThreadMain, ThinkThreadStackBytes)) return;
    if (platform::startThread(thinkThreadMain, FallbackThinkThreadStackBytes)) return;
    thinkInline = true;
}

void waitForIdle() {
    waitEvent(idleEvent.value);
}

bool isBoardReady() {
    return boardReady;
}

void setBoardReady() {
    boardReady = true;
}

}  // namespace velka::protocol
