// The strong search's pieces that can be checked exactly (history, reductions, the evaluation's
// turn), its victories by threats on positions with known forced wins and on ones that only look
// like them, under each rule, and what its moves must be.
#include "search/strong/strong_search.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../../bench/signature_positions.h"
#include "search/decide.h"
#include "search/forbidden.h"
#include "search/scores.h"
#include "search/strong/evaluation.h"
#include "search/strong/history.h"
#include "search/strong/threat_space.h"
#include "search_test_board.h"

namespace velka::search::strong {
namespace {

using patterns::RuleVariant;
using testing::at;

TEST(History, KillersKeepTheLatestTwoAndHistoryGrowsByDepthSquaredUpToItsLimit) {
    Killers killers;
    static History history{};
    rememberCut(killers, history, 1, 40, 3);
    rememberCut(killers, history, 1, 41, 2);
    rememberCut(killers, history, 1, 41, 5);  // already first: the second stays
    EXPECT_EQ(killers.cells[0], 41);
    EXPECT_EQ(killers.cells[1], 40);
    EXPECT_TRUE(killers.contains(40) && !killers.contains(42));
    EXPECT_EQ(history[0][40], 9);
    EXPECT_EQ(history[0][41], 4 + 25);
    EXPECT_EQ(history[1][41], 0);
    for (int32_t i = 0; i < 1000; ++i) rememberCut(killers, history, 2, 7, 40);
    EXPECT_EQ(history[1][7], HistoryLimit);
}

TEST(Reductions, OnlyLateQuietMovesAndNeverBelowTheHorizon) {
    for (int32_t depth = 1; depth <= MaxStrongDepth; ++depth) {
        for (int32_t index = 0; index < 60; ++index) {
            const int32_t r = lateMoveReduction(depth, index, true);
            EXPECT_GE(depth - 1 - r, 0) << depth << " " << index;
            EXPECT_EQ(lateMoveReduction(depth, index, false), 0);
            if (index < ReductionMoveIndex || depth < ReductionDepth) {
                EXPECT_EQ(r, 0);
            }
            if (index > 0) {
                EXPECT_GE(r, lateMoveReduction(depth, index - 1, true));
            }
        }
    }
}

PatternBoard& patternBoard(RuleVariant variant, int32_t black = 1) {
    static PatternBoard pb;
    board::engineBoard.firstPlayer = black;
    resetPatternBoard(pb, board::engineBoard, variant);
    return pb;
}

// The side to move gets the tempo: on the empty board and on a position that looks the same to
// either colour, both colours score the same; the weights of what the side to move makes and of
// what the other side makes differ, so swapping the colours of a lopsided position changes the
// score.
TEST(Evaluation, CountsWhoseMoveItIs) {
    patterns::buildPatternTables(RuleVariant::Freestyle);
    testing::freshBoard(15, 15);
    EXPECT_EQ(evaluate(patternBoard(RuleVariant::Freestyle), 1), FreestyleWeights.tempo);
    testing::placeRows(5, 5, {"XX.", "...", ".OO"});
    const PatternBoard& even = patternBoard(RuleVariant::Freestyle);
    EXPECT_EQ(evaluate(even, 1), evaluate(even, 2));
    testing::placeRows(5, 9, {"XXX"});
    const PatternBoard& ahead = patternBoard(RuleVariant::Freestyle);
    EXPECT_GT(evaluate(ahead, 1), evaluate(ahead, 2));
}

// Reverse futility cuts a node only near the horizon and only a margin a ply above beta, never
// where the other side's next move makes a threat that wins by force (two open threes, a
// four-three, an open four) nor where the window is about a proven result.
TEST(Futility, NearTheHorizonFarAboveBetaAndNeverAgainstAWinningThreat) {
    patterns::buildPatternTables(RuleVariant::Freestyle);
    testing::freshBoard(15, 15);
    testing::placeRows(3, 3, {"XX...X", ".....X", "O......"});
    const PatternBoard& quiet = patternBoard(RuleVariant::Freestyle);
    for (int32_t depth = 1; depth <= FutilityDepth; ++depth) {
        EXPECT_TRUE(futile(quiet, 1, depth, 500 - FutilityMargin * depth, 500)) << depth;
        EXPECT_FALSE(futile(quiet, 1, depth, 501 - FutilityMargin * depth, 500)) << depth;
    }
    EXPECT_FALSE(futile(quiet, 1, FutilityDepth + 1, -MaxEvaluation, MaxEvaluation));
    EXPECT_FALSE(futile(quiet, 1, 1, MateBound, MateValue));
    EXPECT_FALSE(futile(quiet, 1, 1, -MateBound, 0));

    const std::pair<std::vector<std::string>, CellLevel> threats[] = {
        {{".......", "...O...", "...O...", ".OO...."}, LevelDoubleThree},  // two open twos crossing
        {{"XOOO...", "....O..", "....O.."}, LevelFourThree},
        {{".OOO..."}, LevelFlexFour},  // an open three
    };
    for (const auto& [rows, level] : threats) {
        testing::freshBoard(15, 15);
        testing::placeRows(9, 11, {"XX...X"});
        for (size_t row = 0; row < rows.size(); ++row) {
            testing::placeRows(3, 3 + static_cast<int32_t>(row), {rows[row]});
        }
        const PatternBoard& threatened = patternBoard(RuleVariant::Freestyle);
        EXPECT_GT(cellsAt(threatened, 2, level).count, 0) << rows[0];
        EXPECT_FALSE(futile(threatened, 1, 1, -MaxEvaluation, MaxEvaluation)) << rows[0];
    }
}

// A win, none, or whatever the search finds but not through the cell (6, 6).
enum class Expect { Win, NoWin, NotThroughTheCross };

struct Position {
    const char* what;
    RuleVariant variant;
    int32_t black;                  // Renju: the colour that plays black
    std::vector<std::string> rows;  // from (3, 3): X the attacker (colour 1), O the defender
    Expect expect;
};

// Victories by threats for colour 1 to move: found where they are, each first move one that makes
// a threat, and not claimed where the defender has an answer.
TEST(ThreatSpace, VictoriesByThreatsAndPositionsThatOnlyLookLikeOne) {
    const std::vector<std::string> cross = {".......", "...X...", "...X...", ".XX....", "......."};
    const Position cases[] = {
        {"two open twos crossing: a double three", RuleVariant::Freestyle, 1, cross, Expect::Win},
        {"... in exact five too", RuleVariant::ExactFive, 1, cross, Expect::Win},
        {"... but a defender's open three comes first",
         RuleVariant::Freestyle,
         1,
         {".......", "...X...", "...X...", ".XX....", ".......", "......O", "......O", "......O"},
         Expect::NoWin},
        {"... and a defender's four answers it",
         RuleVariant::Freestyle,
         1,
         {"O......", "O..X...", "O..X...", ".XX....", "......."},
         Expect::NoWin},
        {"... and a defender's four that makes an open three answers it",
         RuleVariant::Freestyle,
         1,
         {"......XOOO.", "...X......O", "...X......O", ".XX........", "..........."},
         Expect::NoWin},
        {"a three and a four by turns",
         RuleVariant::Freestyle,
         1,
         {"OXXX...", ".......", "...X...", "...X...", "......."},
         Expect::Win},
        {"a lone open two is no win",
         RuleVariant::Freestyle,
         1,
         {".XX....", ".......", "..O.."},
         Expect::NoWin},
        {"Renju: the double three is forbidden to black", RuleVariant::Renju, 1, cross,
         Expect::NotThroughTheCross},
        {"... and allowed to white", RuleVariant::Renju, 2, cross, Expect::Win},
        {"exact five: a line that can only become six is no four",
         RuleVariant::ExactFive,
         1,
         {"XXX.XX.X", ".......", "......."},
         Expect::NoWin},
    };
    SearchMemory memory;
    sizeMemoryWithWorkingSet(memory, 16u << 20, 0);
    for (const Position& c : cases) {
        SCOPED_TRACE(c.what);
        patterns::buildPatternTables(c.variant);
        testing::freshBoard(15, 15);
        for (size_t row = 0; row < c.rows.size(); ++row) {
            testing::placeRows(3, 3 + static_cast<int32_t>(row), {c.rows[row]});
        }
        PatternBoard& pb = patternBoard(c.variant, c.black);
        wipeMemory(memory);
        ThreatBudget budget{0, 1000000, 0};
        int32_t move = board::NoCell;
        const int32_t plies = findVct(pb, memory, 1, 21, budget, move);
        if (c.expect == Expect::NotThroughTheCross) {
            EXPECT_NE(move, at(6, 6));
        } else {
            EXPECT_EQ(plies > 0, c.expect == Expect::Win);
        }
        if (plies > 0) {
            EXPECT_EQ(plies % 2, 1);
            EXPECT_GE(levelOf(pb, 1, move), LevelThree);
            EXPECT_TRUE(mayPlay(pb, move, 1));
        }
        EXPECT_EQ(pb.board.hash, board::engineBoard.hash);
    }
}

int32_t strongMove(RuleVariant variant, int32_t black = 1, int32_t depth = 6) {
    Player& player = testing::player();
    board::takeCensus(board::CellOwn);
    board::engineBoard.firstPlayer = black;
    wipeMemory(player.memory);
    SearchLimits limits{depth, false, 0};
    limits.strong = true;
    return strongBestMove(player.strong, player.memory, player.control, board::engineBoard, variant,
                          limits);
}

// Whatever else it sees, the search blocks a four, stops an open three (or answers with a four of
// its own), and keeps Renju black off its forbidden points, even where every move loses.
TEST(StrongSearch, AnswersFoursAndOpenThreesAndKeepsBlackOffForbiddenPoints) {
    patterns::buildPatternTables(RuleVariant::Freestyle);
    testing::freshMemory();
    testing::freshBoard(15, 15);
    testing::placeRows(3, 3, {"XOOOO."});
    testing::placeRows(3, 9, {"X.X.X"});
    EXPECT_EQ(strongMove(RuleVariant::Freestyle), at(8, 3));

    testing::freshBoard(15, 15);
    testing::placeRows(4, 4, {"..OOO..", ".......", "X..X..."});
    const int32_t move = strongMove(RuleVariant::Freestyle);
    board::setCell(move, board::CellOwn);
    PatternBoard& pb = patternBoard(RuleVariant::Freestyle);
    EXPECT_EQ(cellsAt(pb, 2, LevelFlexFour).count, 0) << move;

    patterns::buildPatternTables(RuleVariant::Renju);
    testing::freshBoard(15, 15);
    testing::placeRows(5, 5, {"..X", "..X", "XX.", "...", "OOOO"});
    const int32_t black = strongMove(RuleVariant::Renju);
    EXPECT_NE(black, board::NoCell);
    EXPECT_FALSE(search::forbiddenIfPlayed(board::engineBoard, black, board::CellOwn));
}

// Wherever a node limit stops it (in the quiet search, a re-search, a search for fours), the search
// hands back its board as it found it, and a move it may play. A middle game of the signature's,
// where every limit here ends the think within its iterations.
TEST(StrongSearch, AStoppedSearchLeavesItsBoardAsItFoundIt) {
    patterns::buildPatternTables(RuleVariant::Freestyle);
    Player& player = testing::player();
    const signature::Position& position = signature::Positions[1];
    signature::setUpPosition(position, player.memory);
    for (uint64_t limit = 1; limit < 5000; limit += 13) {
        wipeMemory(player.memory);
        SearchLimits limits{MaxStrongDepth, false, limit};
        limits.strong = true;
        const int32_t move = strongBestMove(player.strong, player.memory, player.control,
                                            board::engineBoard, position.variant, limits);
        const StrongThread& t = player.strong.thinking;
        ASSERT_TRUE(t.stopped) << limit;
        EXPECT_EQ(board::engineBoard.cells[move], board::CellEmpty) << limit;
        EXPECT_EQ(t.pb.playedCount, 0) << limit;
        EXPECT_EQ(t.pb.board.hash, board::engineBoard.hash) << limit;
        EXPECT_TRUE(patternBoardIsConsistent(t.pb)) << limit;
    }
}

// A think that stops inside an iteration plays the move that iteration has already searched to the
// end and found better than the last iteration's choice. On the first signature middle game where
// two iterations in a row choose differently, one node short of the later one's end its choice is
// known (the root searched it, and it holds to the end) though the iteration is not done.
TEST(StrongSearch, AStopInsideAnIterationPlaysTheBetterMoveItFound) {
    Player& player = testing::player();
    const StrongThread& t = player.strong.thinking;
    const signature::Position* position = nullptr;
    const auto think = [&](int32_t depth, uint64_t nodeLimit) {
        wipeMemory(player.memory);
        SearchLimits limits{depth, false, nodeLimit};
        limits.strong = true;
        return strongBestMove(player.strong, player.memory, player.control, board::engineBoard,
                              position->variant, limits);
    };
    // The later iteration's depth, and the two choices.
    int32_t depth = 0, earlier = board::NoCell, later = board::NoCell;
    for (const signature::Position& p : signature::Positions) {
        position = &p;
        patterns::buildPatternTables(p.variant);
        signature::setUpPosition(p, player.memory);
        for (depth = 4; depth <= 8; ++depth) {
            earlier = think(depth - 1, 0);
            later = think(depth, 0);
            if (earlier != later) break;
        }
        if (earlier != later) break;
    }
    ASSERT_NE(earlier, later);
    const uint64_t laterNodes = t.nodes;
    // The last line a manager sees names the move played, at the unfinished iteration's depth.
    static IterationReport last;
    player.control.observer = [](void*, const IterationReport& report) { last = report; };
    EXPECT_EQ(think(MaxStrongDepth, laterNodes - 1), later);
    player.control.observer = nullptr;
    EXPECT_TRUE(t.stopped);
    EXPECT_EQ(t.completedDepth, depth - 1);
    EXPECT_EQ(last.depth, depth);
    ASSERT_FALSE(last.pv.empty());
    EXPECT_EQ(last.pv.front(), later);
}

// The history carries from move to move exactly while the table's results do: halved on each
// move of a game under the same rules, cleared when a think starts afresh (the game's first strong
// think, one under a node limit, one on another board). A mark on a cell no search reaches shows
// which.
TEST(StrongSearch, HistoryFadesFromMoveToMoveOnlyWhileTheTableIsKept) {
    patterns::buildPatternTables(RuleVariant::Freestyle);
    testing::freshMemory();
    Player& player = testing::player();
    int16_t& mark = player.strong.thinking.history[0][0];
    const auto think = [&](int32_t size, uint64_t nodeLimit) {
        testing::freshBoard(size, size);
        testing::placeRows(5, 5, {"XO", "OX"});
        board::takeCensus(board::CellOwn);
        wipeMemory(player.memory);
        SearchLimits limits{4, false, nodeLimit};
        limits.strong = true;
        decideMove(player, board::engineBoard, RuleVariant::Freestyle, limits);
    };
    think(15, 0);
    mark = 100;
    think(15, 0);
    EXPECT_EQ(mark, 50);
    think(15, 0);
    EXPECT_EQ(mark, 25);
    think(15, 100000);
    EXPECT_EQ(mark, 0);
    mark = 100;
    think(15, 0);  // after the node limit the table's results, and the history, start afresh
    EXPECT_EQ(mark, 0);
    mark = 100;
    think(16, 0);
    EXPECT_EQ(mark, 0);
}

// The last report of the search's think on the board: its score and the moves it announces.
IterationReport lastReport(int32_t& move) {
    static IterationReport last;
    last = {};
    ThinkControl& control = testing::player().control;
    control.observer = [](void*, const IterationReport& report) { last = report; };
    move = strongMove(RuleVariant::Freestyle);
    control.observer = nullptr;
    return last;
}

// A win by threats is reported as a win, without its length (the defender may put in fours of its
// own on the way), and is found again after the reply. A freestyle game of the strong search
// against itself, black to move after 34 stones: black wins with (8,3); the first threat search
// announced 8 moves, then 9 after white's (6,1), having found another victory than the one it
// began to play.
TEST(StrongSearch, AWinByThreatsIsReportedWithoutALengthAndFoundAgain) {
    patterns::buildPatternTables(RuleVariant::Freestyle);
    testing::freshMemory();
    testing::freshBoard(15, 15);
    const char* game =
        "7,7 8,6 6,6 8,8 7,5 5,7 8,5 6,5 7,4 7,6 9,6 10,7 8,7 9,8 10,5 7,8 6,8 11,6 11,5 9,5 8,9 "
        "5,9 10,4 10,2 7,2 6,3 12,5 12,3 11,4 13,4 9,4 8,4 7,3 7,1";
    std::istringstream stones(game);
    int32_t colour = board::CellOwn;
    for (std::string pair; stones >> pair; colour ^= 3) {
        const size_t comma = pair.find(',');
        board::setCell(at(std::stoi(pair.substr(0, comma)), std::stoi(pair.substr(comma + 1))),
                       colour);
    }
    int32_t move = board::NoCell;
    const IterationReport first = lastReport(move);
    EXPECT_GE(first.score, NearWinScore);
    EXPECT_EQ(first.winMoves, 0);
    board::setCell(move, board::CellOwn);
    board::setCell(at(6, 1), board::CellOpponent);
    const IterationReport second = lastReport(move);
    EXPECT_GE(second.score, NearWinScore);
    EXPECT_EQ(second.winMoves, 0);
}

}  // namespace
}  // namespace velka::search::strong
