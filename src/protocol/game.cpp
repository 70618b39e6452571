#include "protocol/game.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>

#include "board/board.h"
#include "board/spiral.h"
#include "patterns/pattern_table.h"
#include "platform/platform.h"
#include "protocol/event.h"
#include "protocol/output.h"
#include "search/decide.h"
#include "search/forbidden.h"
#include "search/main_search.h"
#include "search/memory.h"
#include "search/scores.h"
#include "search/settings.h"
#include "search/think_control.h"
#include "search/time_control.h"

namespace velka::protocol {

namespace {

using search::readSetting;
using search::settings;

// thinkEvent lets exactly one think start per signal; idleEvent is signalled while no think runs.
Immortal<Event> thinkEvent(false, false);
Immortal<Event> idleEvent(true, true);

// Touched only by whichever thread holds the board under the idleEvent hand-over.
bool boardReady = false;
// Set when no thread could be started: each think then runs on the main thread at once.
bool thinkInline = false;
// When the request for the move arrived; written before the think starts, read by it.
int64_t requestMs = 0;
std::atomic<bool> thinking{false};

void thinkThreadMain(void*) {
    for (;;) {
        waitEvent(thinkEvent.value);
        playTurn();
        thinking.store(false);
        signalEvent(idleEvent.value);
    }
}

// The cell if (x, y) lies on the board and is empty, else NoCell.
int32_t emptyCellAt(int32_t x, int32_t y) {
    if (!board::onBoard(x, y)) return board::NoCell;
    const int32_t index = board::cellIndex(x, y);
    return board::engineBoard.cells[index] == board::CellEmpty ? index : board::NoCell;
}

void initGameBoard(int32_t width, int32_t height) {
    board::initBoard(width, height);
    board::buildSpiralOrders(width, height);
    board::buildWindowOffsets(width);
    // The limit is a byte count; a negative INFO value reads as a large unsigned limit, as the
    // manager's 32-bit field would.
    search::sizeMemory(static_cast<uint32_t>(readSetting(settings.max_memory)),
                       search::searchThreadsMemory());
    search::startGameClock();
    boardReady = true;
}

search::SearchLimits limitsFromSettings() {
    search::SearchLimits limits;
    const int32_t maxDepth = readSetting(settings.max_depth);
    const int32_t maxNodes = readSetting(settings.max_node);
    if (maxDepth > 0) limits.maxDepth = std::min(maxDepth, search::MaxSearchDepth);
    if (maxNodes > 0) limits.nodeLimit = static_cast<uint64_t>(maxNodes);
    return limits;
}

// Iteration reports as MESSAGE lines: depth, score, nodes, speed, time and the line of play.
void sendIterationReport(const search::IterationReport& report) {
    std::array<char, (search::MaxPly + 16) * 8> text;
    const int64_t elapsed = std::max<int64_t>(report.elapsedMs, 1);
    const unsigned long long nodes = report.nodes;
    char score[24];
    if (report.score == search::WinScore && report.winMoves > 0) {
        std::snprintf(score, sizeof score, "win%d", report.winMoves);
    } else if (report.score == search::WinScore) {
        std::snprintf(score, sizeof score, "win");
    } else if (report.score == search::LossScore) {
        std::snprintf(score, sizeof score, "loss");
    } else {
        std::snprintf(score, sizeof score, "%d", report.score);
    }
    int length = std::snprintf(
        text.data(), text.size(), "depth %d score %s nodes %llu nps %llu time %lld pv",
        report.depth, score, nodes, nodes * 1000 / static_cast<unsigned long long>(elapsed),
        static_cast<long long>(report.elapsedMs));
    const int32_t width = board::engineBoard.width;
    for (const int32_t cell : report.pv) {
        if (length < 0 || length >= static_cast<int>(text.size()) - 16) break;
        length += std::snprintf(text.data() + length, text.size() - length, " %d,%d", cell % width,
                                cell / width);
    }
    sendLongLine("MESSAGE", text.data());
}

}  // namespace

void startUp() {
    patterns::buildPatternTables(search::currentRuleVariant());
    // Where freed memory stays taken, a table sized before the manager's max_memory arrives would
    // hold its pages for good; there the first move sizes it.
    if (platform::freedMemoryReturns()) search::sizeMemory(search::StartUpMemoryLimit);
    search::setIterationObserver(sendIterationReport);
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
    initGameBoard(width, height);
    sendPlain("OK");
}

void ensureBoard() {
    if (!boardReady) initGameBoard(board::DefaultSide, board::DefaultSide);
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
    search::startGameClock();
    sendPlain("OK");
}

void clearPosition() {
    board::clearBoard();
}

void startThinking() {
    requestMs = search::clockMs();
    search::clearStopRequest();
    thinking.store(true);
    if (thinkInline) {
        playTurn();
        thinking.store(false);
        return;
    }
    // Reset before signalling: a command that follows at once must see the think as running.
    resetEvent(idleEvent.value);
    signalEvent(thinkEvent.value);
}

void playTurn() {
    const patterns::RuleVariant variant = search::currentRuleVariant();
    patterns::refreshPatternTables(variant);
    board::takeCensus(board::CellOwn);
    search::startTurnClock(requestMs, board::engineBoard.emptyCount);
    // A thread_num or max_memory sent since the board was set up counts from this move on; an
    // unchanged limit and thread count keep the table as it is.
    search::setSearchThreads(readSetting(settings.thread_num));
    search::sizeMemory(static_cast<uint32_t>(readSetting(settings.max_memory)),
                       search::searchThreadsMemory());
    board::chooseSpiralOrder();
    search::wipeMemory();
    const int32_t index = search::decideMove(variant, limitsFromSettings());
    // After END the manager expects nothing more; the board no longer matters.
    if (search::stopRequest() == search::StopRequest::Quit) return;
    const int32_t width = board::engineBoard.width;
    // Only a full board leaves no cell. There is no legal move to send, and a coordinate off the
    // board would read as a move to the manager, so the answer says why instead.
    if (index < 0 || index >= board::engineBoard.cellCount) {
        sendError("no empty cell on the board");
    } else {
        const int32_t x = index % width;
        const int32_t y = index / width;
        ownMove(x, y);
        sendPlain("%d,%d", x, y);
    }
    search::stopTurnClock();
}

void sendForbiddenPoints() {
    std::array<char, board::MaxCells * 6 + 8> text;
    int length = std::snprintf(text.data(), text.size(), "FORBID");
    if (search::currentRuleVariant() == patterns::RuleVariant::Renju) {
        patterns::refreshPatternTables(patterns::RuleVariant::Renju);
        // Black has more stones; on equal counts black is to move, and the manager asks while its
        // own side is to move.
        board::takeCensus(board::CellOpponent);
        const int32_t width = board::engineBoard.width;
        for (int32_t cell = 0; cell < board::engineBoard.cellCount; ++cell) {
            if (board::engineBoard.cells[cell] != board::CellEmpty ||
                !search::forbiddenIfPlayed(board::engineBoard, cell,
                                           board::engineBoard.firstPlayer)) {
                continue;
            }
            length += std::snprintf(text.data() + length, text.size() - length, " %d,%d",
                                    cell % width, cell / width);
        }
    }
    sendLongLine("", text.data());
}

void startThinkThread() {
    if (platform::startThread(thinkThreadMain, nullptr, search::SearchStackBytes)) return;
    if (platform::startThread(thinkThreadMain, nullptr, FallbackThinkThreadStackBytes)) return;
    thinkInline = true;
}

bool thinksInline() {
    return thinkInline;
}

void waitForIdle() {
    waitEvent(idleEvent.value);
}

bool thinkRunning() {
    return thinking.load();
}

}  // namespace velka::protocol
