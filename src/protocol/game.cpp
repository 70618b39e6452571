#include "protocol/game.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "board/board.h"
#include "board/spiral.h"
#include "patterns/pattern_table.h"
#include "platform/platform.h"
#include "protocol/output.h"
#include "search/forbidden.h"
#include "search/scores.h"

namespace velka::protocol {

namespace {

void thinkThreadMain(void* context) {
    Game& game = *static_cast<Game*>(context);
    for (;;) {
        waitEvent(game.thinkEvent.value);
        playTurn(game);
        game.thinking.store(false);
        signalEvent(game.idleEvent.value);
    }
}

// The cell if (x, y) lies on the board and is empty, else NoCell.
int32_t emptyCellAt(int32_t x, int32_t y) {
    if (!board::onBoard(x, y)) return board::NoCell;
    const int32_t index = board::cellIndex(x, y);
    return board::engineBoard.cells[index] == board::CellEmpty ? index : board::NoCell;
}

search::SearchLimits limitsFromSettings(const ManagerSettings& settings) {
    search::SearchLimits limits;
    const int32_t maxDepth = readSetting(settings.max_depth);
    const int32_t maxNodes = readSetting(settings.max_node);
    if (maxDepth > 0) limits.maxDepth = std::min(maxDepth, search::MaxSearchDepth);
    if (maxNodes > 0) limits.nodeLimit = static_cast<uint64_t>(maxNodes);
    limits.multiPv = std::clamp(readSetting(settings.multipv), 1, search::MaxMultiPv);
    limits.strong = readSetting(settings.strong) != 0;
    const int32_t level = readSetting(settings.level);
    limits.level = level >= 1 && level <= static_cast<int32_t>(search::Levels.size()) ? level : 0;
    return limits;
}

// The table for the limit now set, beside what the threads of the search the limits choose add,
// and no larger than the move's time budget can fill; with a node limit, as large as the limit
// allows, so that a think to a node limit goes the same way under any clock. The limit is a byte
// count; a negative INFO value reads as a large unsigned limit, as the manager's 32-bit field
// would.
void sizeMemory(Game& game, const search::SearchLimits& limits) {
    search::Player& player = game.player;
    const int largest = limits.nodeLimit != 0
                            ? search::MaxMemoryLog2
                            : search::tableLog2ForTurn(player.control.clock.turnBudget.load(),
                                                       readSetting(game.settings.thread_num));
    search::sizeMemory(player.memory, static_cast<uint32_t>(readSetting(game.settings.max_memory)),
                       search::threadsMemory(player, limits), largest);
}

void initGameBoard(Game& game, int32_t width, int32_t height) {
    board::initBoard(width, height);
    board::buildSpiralOrders(width, height);
    board::buildWindowOffsets(width);
    sizeMemory(game, limitsFromSettings(game.settings));
    search::startGameClock(game.player.control.clock);
    game.player.levelChance.state = static_cast<uint64_t>(search::clockMs());
    game.boardReady = true;
}

// A score as the manager reads it: win or loss where the game's end is certain (winK, lossK when
// the search knows it comes with the engine's K-th move), otherwise the search's figure for the
// engine, within MaxReportedScore either way.
void formatScore(const search::IterationReport& report, char* text, size_t capacity) {
    if (report.winMoves > 0) {
        std::snprintf(text, capacity, "win%d", report.winMoves);
    } else if (report.winMoves < 0) {
        std::snprintf(text, capacity, "loss%d", -report.winMoves);
    } else if (report.score >= search::NearWinScore) {
        std::snprintf(text, capacity, "win");
    } else if (report.score <= search::NearLossScore) {
        std::snprintf(text, capacity, "loss");
    } else {
        std::snprintf(text, capacity, "%d",
                      std::clamp(report.score, -MaxReportedScore, MaxReportedScore));
    }
}

// Iteration reports as MESSAGE lines, while analysis is on: depth, score, nodes, speed, time and
// the line of play.
void sendIterationReport(void* context, const search::IterationReport& report) {
    const Game& game = *static_cast<const Game*>(context);
    if (readSetting(game.settings.analysis) == 0) return;
    std::array<char, (search::MaxPly + 16) * 8> text;
    const int64_t elapsed = std::max<int64_t>(report.elapsedMs, 1);
    const unsigned long long nodes = report.nodes;
    char score[24];
    formatScore(report, score, sizeof score);
    char rank[24] = "";
    if (report.rank > 0) std::snprintf(rank, sizeof rank, " multipv %d", report.rank);
    int length = std::snprintf(
        text.data(), text.size(), "depth %d%s score %s nodes %llu nps %llu time %lld pv",
        report.depth, rank, score, nodes, nodes * 1000 / static_cast<unsigned long long>(elapsed),
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

void startUp(Game& game) {
    patterns::buildPatternTables(ruleVariant(game.settings));
    // Where freed memory stays taken, a table sized before the manager's max_memory arrives would
    // hold its pages for good; there the first move sizes it.
    if (platform::freedMemoryReturns()) {
        search::sizeMemory(game.player.memory, search::StartUpMemoryLimit);
    }
    game.player.control.observer = sendIterationReport;
    game.player.control.observerContext = &game;
}

void setupBoard(Game& game, int32_t width, int32_t height) {
    if (width < board::MinSide || height < board::MinSide) {
        sendError("size of the board");
        return;
    }
    if (width > board::MaxSide || height > board::MaxSide) {
        sendError("Maximal board size is %d", board::MaxSide);
        return;
    }
    initGameBoard(game, width, height);
    sendPlain("OK");
}

void ensureBoard(Game& game) {
    if (!game.boardReady) initGameBoard(game, board::DefaultSide, board::DefaultSide);
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

void restartGame(Game& game) {
    board::clearBoard();
    search::startGameClock(game.player.control.clock);
    sendPlain("OK");
}

void clearPosition() {
    board::clearBoard();
}

void startThinking(Game& game) {
    game.requestMs = search::clockMs();
    search::requestStop(game.player.control, search::StopRequest::None);
    game.thinking.store(true);
    if (game.thinkInline) {
        playTurn(game);
        game.thinking.store(false);
        return;
    }
    // Reset before signalling: a command that follows at once must see the think as running.
    resetEvent(game.idleEvent.value);
    signalEvent(game.thinkEvent.value);
}

void playTurn(Game& game) {
    search::Player& player = game.player;
    board::EngineBoard& b = board::engineBoard;
    const patterns::RuleVariant variant = ruleVariant(game.settings);
    patterns::refreshPatternTables(variant);
    board::takeCensus(board::CellOwn);
    search::startTurnClock(player.control.clock, clockSettings(game.settings), game.requestMs,
                           b.emptyCount);
    // A thread_num or max_memory sent since the board was set up counts from this move on; an
    // unchanged limit and thread count keep the table as it is.
    const search::SearchLimits limits = limitsFromSettings(game.settings);
    search::setThreads(player, limits, readSetting(game.settings.thread_num));
    sizeMemory(game, limits);
    search::faultInMemoryMeanwhile(player.memory);
    board::chooseSpiralOrder();
    search::wipeMemory(player.memory);
    const int32_t index = search::decideMove(player, b, variant, limits);
    // After END the manager expects nothing more; the board no longer matters.
    if (search::stopRequest(player.control) == search::StopRequest::Quit) return;
    // Only a full board leaves no cell. There is no legal move to send, and a coordinate off the
    // board would read as a move to the manager, so the answer says why instead.
    if (index < 0 || index >= b.cellCount) {
        sendError("no empty cell on the board");
    } else {
        const int32_t x = index % b.width;
        const int32_t y = index / b.width;
        ownMove(x, y);
        sendPlain("%d,%d", x, y);
    }
    search::stopTurnClock(player.control.clock);
}

void sendForbiddenPoints(const Game& game) {
    std::array<char, board::MaxCells * 6 + 8> text;
    int length = std::snprintf(text.data(), text.size(), "FORBID");
    if (ruleVariant(game.settings) == patterns::RuleVariant::Renju) {
        patterns::refreshPatternTables(patterns::RuleVariant::Renju);
        // Black has more stones; on equal counts black is to move, and the manager asks while its
        // own side is to move.
        board::takeCensus(board::CellOpponent);
        board::EngineBoard& b = board::engineBoard;
        for (int32_t cell = 0; cell < b.cellCount; ++cell) {
            if (b.cells[cell] != board::CellEmpty ||
                !search::forbiddenIfPlayed(b, cell, b.firstPlayer)) {
                continue;
            }
            length += std::snprintf(text.data() + length, text.size() - length, " %d,%d",
                                    cell % b.width, cell / b.width);
        }
    }
    sendLongLine("", text.data());
}

void startThinkThread(Game& game) {
    if (platform::startThread(thinkThreadMain, &game, search::SearchStackBytes)) return;
    if (platform::startThread(thinkThreadMain, &game, FallbackThinkThreadStackBytes)) return;
    game.thinkInline = true;
}

void waitForIdle(Game& game) {
    waitEvent(game.idleEvent.value);
}

bool thinkRunning(const Game& game) {
    return game.thinking.load();
}

}  // namespace velka::protocol
