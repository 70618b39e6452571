// velka's own commands, which a manager that does not send them never sees: analysis lines after
// each iteration (within the node and depth limits), FORBID and YXSTOP.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"

namespace velka::testing {
namespace {

// "MESSAGE depth D [multipv I] score S nodes N nps R time T pv x,y ...", taken apart; rank 0 for
// a line without multipv.
struct Analysis {
    int depth = -1;
    int rank = 0;
    std::string score;
    long long nodes = -1, nps = -1, time = -1;
    std::vector<std::string> pv;
};

std::optional<Analysis> parseAnalysis(const std::string& line) {
    std::istringstream words(line);
    Analysis a;
    std::string m, d, s, n, r, t, p;
    if (!(words >> m >> d >> a.depth >> s)) return std::nullopt;
    if (s == "multipv" && !(words >> a.rank >> s)) return std::nullopt;
    if (!(words >> a.score >> n >> a.nodes >> r >> a.nps >> t >> a.time >> p) ||
        m + d + s + n + r + t + p != "MESSAGEdepthscorenodesnpstimepv")
        return std::nullopt;
    for (std::string move; words >> move;) a.pv.push_back(move);
    return a;
}

// What a score may say: win or loss, with the engine's moves to the end or without, or a number
// within the documented range.
bool scoreReads(const std::string& score) {
    for (const char* proven : {"win", "loss"}) {
        if (score.rfind(proven, 0) != 0) continue;
        const std::string moves = score.substr(std::string(proven).size());
        return moves.empty() ||
               (moves.find_first_not_of("0123456789") == std::string::npos && moves[0] != '0');
    }
    if (score.empty() || score.find_first_not_of("-0123456789", 0) != std::string::npos ||
        score.size() > 5)
        return false;
    const int value = std::stoi(score);
    return value >= -9999 && value <= 9999;
}

// Reads the think's analysis lines up to its move; every line must be well formed.
std::vector<Analysis> analysesUntilMove(EngineProcess& engine, std::string& move,
                                        int timeoutMs = 10000) {
    std::vector<Analysis> lines;
    while ((move = engine.answer(timeoutMs)).rfind("MESSAGE", 0) == 0) {
        const std::optional<Analysis> a = parseAnalysis(move);
        EXPECT_TRUE(a) << move;
        if (a) lines.push_back(*a);
    }
    return lines;
}

void sendQuietPosition(EngineProcess& engine) {
    expectAnswers(engine, {"START 20 => OK"});
    Referee(20, 20).sendBoard(engine, QuietOwn, QuietOpponent);
}

// Analysis lines come one per completed iteration, deeper each time, with a line of play that
// starts with the move of that iteration; the move sent is that of the last line, also when
// YXSTOP ends the think.
TEST(Analysis, EachIterationReportsItsLineWithinTheLimitsAndYxstopSendsTheLast) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    expectAnswers(engine, {"INFO analysis 1", "INFO timeout_turn 400"});
    sendQuietPosition(engine);
    std::string move;
    std::vector<Analysis> lines = analysesUntilMove(engine, move);
    ASSERT_GE(lines.size(), 3u);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Analysis& a = lines[i];
        EXPECT_EQ(a.depth, static_cast<int>(i) + 1);
        // Deeper lines are longer than their first move, and no longer than the depth (the strong
        // search's may be: forced blocks cost it no depth).
        EXPECT_GE(a.pv.size(), std::min<size_t>(i + 1, 2));
        if (!strongEngine()) {
            EXPECT_LE(static_cast<int>(a.pv.size()), a.depth);
        }
        EXPECT_EQ(a.score.find_first_not_of("-0123456789"), std::string::npos);
        EXPECT_GE(a.nodes, i > 0 ? lines[i - 1].nodes : 1);
        EXPECT_EQ(a.nps, a.nodes * 1000 / std::max(a.time, 1LL));
        EXPECT_LE(a.time, 400);
    }
    EXPECT_EQ(move, lines.back().pv.front());
    // max_depth and max_node bound a think on top of the clock, and make it repeatable.
    expectAnswers(engine, {"INFO timeout_turn 30000", "INFO max_depth 4"});
    sendQuietPosition(engine);
    lines = analysesUntilMove(engine, move);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().depth, 4);
    expectAnswers(engine, {"INFO max_depth 0", "INFO max_node 30000"});
    std::string first, second;
    for (std::string* answer : {&first, &second}) {
        sendQuietPosition(engine);
        lines = analysesUntilMove(engine, *answer);
        ASSERT_FALSE(lines.empty());
        EXPECT_LE(lines.back().nodes, 30000);
        EXPECT_EQ(*answer, lines.back().pv.front());
    }
    EXPECT_EQ(first, second);
    // YXSTOP ends a long think at once with the best move found so far, that of its last line.
    expectAnswers(engine, {"INFO max_node 0", "INFO time_left 2147483647"});
    sendQuietPosition(engine);
    lines.clear();
    while (lines.size() < 3) {
        const std::optional<Analysis> a = parseAnalysis(engine.answer());
        ASSERT_TRUE(a);
        lines.push_back(*a);
    }
    engine.send("YXSTOP");
    const std::vector<Analysis> more = analysesUntilMove(engine, move, 100 + lateness());
    EXPECT_LT(engine.sinceSend(), 100 + lateness());
    EXPECT_EQ(move, (more.empty() ? lines : more).back().pv.front());
    // Off again: a manager that never asks sees no MESSAGE line.
    expectAnswers(engine, {"INFO analysis 0", "INFO max_node 30000"});
    sendQuietPosition(engine);
    EXPECT_EQ(analysesUntilMove(engine, move).size(), 0u);
    // Without a think YXSTOP is ignored: the next answer is ABOUT's.
    expectAnswers(engine, {"YXSTOP", "ABOUT"});
    EXPECT_EQ(engine.answer().rfind("name=\"velka\"", 0), 0u);
    endEngine(engine);
}

// With several lines wanted, each depth reports that many best moves, ranked, each a different
// empty cell with its own line, scores from best to worst; the move sent is the first line's.
// Scores, proven or not, read as the manager's documentation says, also where the search meets
// near-wins (a four to be made, an open four to face) below the root.
TEST(Analysis, SeveralLinesAtOnceAndScoresThatRead) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    // No match clock: the depth alone ends each think, also on a slow or busy machine.
    expectAnswers(engine, {"INFO analysis 1", "INFO timeout_turn 30000",
                           "INFO time_left 2147483647", "INFO max_depth 4", "INFO multipv 3"});
    sendQuietPosition(engine);
    std::string move;
    std::vector<Analysis> lines = analysesUntilMove(engine, move);
    ASSERT_EQ(lines.size(), 12u);
    Referee board(20, 20);
    board.play(parseMove("0,0").value(), 0);  // an empty board of the right size
    for (size_t i = 0; i < lines.size(); ++i) {
        const Analysis& a = lines[i];
        EXPECT_EQ(a.depth, static_cast<int>(i / 3) + 1);
        EXPECT_EQ(a.rank, static_cast<int>(i % 3) + 1);
        ASSERT_FALSE(a.pv.empty());
        EXPECT_TRUE(scoreReads(a.score)) << a.score;
        if (a.rank == 1) continue;
        const Analysis& better = lines[i - 1];
        EXPECT_NE(a.pv.front(), better.pv.front());
        EXPECT_NE(a.pv.front(), lines[i - a.rank + 1].pv.front());
        if (scoreReads(a.score) && a.score.find_first_not_of("-0123456789") == std::string::npos &&
            better.score.find_first_not_of("-0123456789") == std::string::npos) {
            EXPECT_LE(std::stoi(a.score), std::stoi(better.score));
        }
    }
    EXPECT_EQ(move, lines[9].pv.front());
    // One line wanted: no rank in it.
    expectAnswers(engine, {"INFO multipv 1"});
    sendQuietPosition(engine);
    lines = analysesUntilMove(engine, move);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.back().rank, 0);
    // A position full of fours to be made and open fours to face, as the page's users met it.
    expectAnswers(engine, {"INFO max_depth 8", "START 15 => OK"});
    Referee(15, 15).sendBoard(engine, "8,6 8,5 9,6 9,7 5,7", "7,7 9,5 8,7 10,7 6,7 7,8");
    for (const Analysis& a : analysesUntilMove(engine, move)) {
        EXPECT_TRUE(scoreReads(a.score)) << a.score;
    }
    endEngine(engine);
}

// A forced win by fours is reported before the move as "winK" with the whole line; the engine
// then plays exactly that line while the opponent blocks as foreseen, and wins in K moves.
TEST(Analysis, AForcedWinIsAnnouncedAndPlayedOutAsAnnounced) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    expectAnswers(engine, {"INFO analysis 1", "INFO timeout_turn 1000", "START 15 => OK"});
    Referee board(15, 15);
    board.sendBoard(engine, "3,1 4,1 5,1 5,7 6,7 7,7 8,5 8,6",
                    "4,7 12,12 1,13 13,1 0,0 14,14 7,12 12,7");
    std::string move;
    const std::vector<Analysis> lines = analysesUntilMove(engine, move);
    ASSERT_EQ(lines.size(), 1u);
    const Analysis& win = lines.front();
    ASSERT_EQ(win.score.rfind("win", 0), 0u) << win.score;
    const int moves = std::stoi(win.score.substr(3));
    ASSERT_EQ(static_cast<int>(win.pv.size()), 2 * moves - 1);
    EXPECT_EQ(win.depth, 2 * moves - 1);
    for (size_t i = 0;; i += 2) {
        EXPECT_EQ(move, win.pv[i]) << "move " << i / 2 + 1;
        const std::optional<Move> m = parseMove(move);
        ASSERT_TRUE(m && board.legal(*m)) << move;
        board.play(*m, 1);
        if (i + 1 == win.pv.size()) {
            EXPECT_TRUE(board.wins(*m));
            break;
        }
        board.play(parseMove(win.pv[i + 1]).value(), 2);
        engine.send("TURN " + win.pv[i + 1]);
        analysesUntilMove(engine, move);
    }
    endEngine(engine);
}

// FORBID lists black's forbidden points under Renju: black has more stones or, on equal counts,
// is the manager's side, to move. Other rules forbid nothing.
TEST(Forbid, ListsBlacksForbiddenPointsUnderRenjuOnly) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    expectAnswers(engine, {"FORBID => FORBID", "INFO rule 4", "START 15 => OK",
                           // Black (the opponent, on equal counts): a double three on (7,7).
                           "BOARD", "5,7,2", "6,7,2", "7,5,2", "7,6,2", "0,0,1", "14,0,1", "0,14,1",
                           "14,14,1", "DONE"});
    // The think's move is white's; the point stays forbidden to black whatever white plays
    // unless white takes it.
    const std::string move = engine.answer();
    expectAnswers(engine, {"TAKEBACK " + move + " => OK", "FORBID => FORBID 7,7"});
    // A double four for black, the engine's stones now (it has more of them).
    expectAnswers(engine, {"RESTART => OK", "PLAY 3,7 => 3,7", "PLAY 4,7 => 4,7", "PLAY 5,7 => 5,7",
                           "PLAY 7,3 => 7,3", "PLAY 7,4 => 7,4", "PLAY 7,5 => 7,5",
                           "FORBID => FORBID 7,7", "INFO rule 1", "FORBID => FORBID"});
    endEngine(engine);
}

// On crowded Renju positions FORBID lists exactly the points the referee's own judgement finds:
// a fault in either shows. Seeded, so that a disagreement comes back; black (the manager's side)
// has one stone more than white once the engine, white, has moved.
TEST(Forbid, AgreesWithTheRefereeOnCrowdedPositions) {
    EngineProcess engine;
    ASSERT_TRUE(engine.running()) << "cannot start " << engineCommand();
    expectAnswers(engine, {"INFO rule 4", "INFO max_depth 1", "START 15 => OK"});
    std::mt19937 random(7);
    int forbiddenPoints = 0;
    for (int position = 0; position < 60; ++position) {
        SCOPED_TRACE("position " + std::to_string(position));
        Referee board(15, 15, 4);
        const int blackStones = 7 + static_cast<int>(random() % 15);
        engine.send("BOARD");
        for (int placed = 0; placed < 2 * blackStones - 1;) {
            // The centre 9 x 9, where the stones crowd into threes and fours.
            const Move m{3 + static_cast<int>(random() % 9), 3 + static_cast<int>(random() % 9)};
            if (!board.legal(m)) continue;
            const int colour = placed++ % 2 == 0 ? 1 : 2;
            board.play(m, colour);
            engine.send(text(m) + (colour == 1 ? ",2" : ",1"));
        }
        engine.send("DONE");
        ASSERT_TRUE(board.engineMove(engine, 2));
        std::set<std::string> expected;
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 15; ++x) {
                if (board.legal({x, y}) && board.forbiddenForBlack({x, y}))
                    expected.insert(text({x, y}));
            }
        }
        engine.send("FORBID");
        std::istringstream words(engine.answer());
        std::string word;
        words >> word;
        EXPECT_EQ(word, "FORBID");
        const std::set<std::string> listed{std::istream_iterator<std::string>(words), {}};
        EXPECT_EQ(listed, expected);
        forbiddenPoints += static_cast<int>(expected.size());
    }
    // Enough forbidden points that the comparison means something.
    EXPECT_GE(forbiddenPoints, 30);
    endEngine(engine);
}

}  // namespace
}  // namespace velka::testing
