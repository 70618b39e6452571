// Fast games of the strong search against itself and against the main search (the same program
// after INFO strong 0) under each rule: every move legal, never a forbidden point for Renju black,
// and every win announced in the analysis won by the side that announced it: "score winK" within
// K moves of its own counted from the move that followed the announcement; the strong search's
// "score win" at all. (The main search's "win" says that every line it searched ends in a five,
// and its search leaves moves out: no proof, and not checked here.)
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <optional>
#include <regex>
#include <string>

#include "engine_process.h"

namespace velka::testing {
namespace {

constexpr int Side = 15;
constexpr int TurnMs = 100;
// A game with no announced win still open ends here, a drawn one long before the board fills.
constexpr int MoveCap = 100;

enum class Search { Strong, Main };

struct Player {
    EngineProcess engine;
    const char* name = "";
    int moves = 0;  // own moves so far
    // The last own move by which an announced win must have come, INT_MAX for none.
    int winBy = INT_MAX;
    bool strong = false;
    bool announcedWin = false;  // with its length, or the strong search's without
    int announcements = 0;
};

// Reads the analysis lines up to the move, keeps the tightest of the wins they announce, and judges
// the move as the manager's referee does: a legal cell, and for Renju black no forbidden point.
std::optional<Move> judgedMove(Player& player, Referee& board, int who, int rule) {
    static const std::regex announced(" score win([0-9]*) ");
    std::string line;
    while ((line = player.engine.answer(TurnMs + lateness() + 2000)).rfind("MESSAGE", 0) == 0) {
        std::smatch win;
        if (!std::regex_search(line, win, announced)) continue;
        ++player.announcements;
        // The move about to come is the first of the K.
        if (win[1].length() > 0) {
            player.winBy = std::min(player.winBy, player.moves + std::stoi(win[1]));
        }
        player.announcedWin = player.announcedWin || player.strong || win[1].length() > 0;
    }
    const std::optional<Move> m = parseMove(line);
    const bool foul = m && board.legal(*m) && rule == 4 && who == 1 && board.forbiddenForBlack(*m);
    if (!m || !board.legal(*m) || foul) {
        ADD_FAILURE() << player.name << " played " << line << (foul ? ", a forbidden point" : "");
        return std::nullopt;
    }
    board.play(*m, who);
    ++player.moves;
    return m;
}

void playGame(int rule, Search black, Search white) {
    ASSERT_TRUE(strongEngine()) << "run with VELKA_STRONG=1, as ctest does";
    std::array<Player, 2> players;
    for (int i = 0; i < 2; ++i) {
        Player& p = players[i];
        const bool strong = (i == 0 ? black : white) == Search::Strong;
        p.strong = strong;
        p.name = i == 0 ? (strong ? "strong black" : "main black")
                        : (strong ? "strong white" : "main white");
        ASSERT_TRUE(p.engine.running()) << "cannot start " << engineCommand();
        expectAnswers(p.engine,
                      {"INFO strong " + std::string(strong ? "1" : "0"), "INFO analysis 1",
                       "INFO max_memory 83886080", "INFO rule " + std::to_string(rule),
                       "INFO timeout_turn " + std::to_string(TurnMs), "INFO time_left 100000000",
                       "START " + std::to_string(Side) + " => OK"});
    }
    Referee board(Side, Side, rule);
    std::optional<Move> last;
    int plies = 0;
    int winner = 0;
    for (int who = 1;; who ^= 3) {
        Player& p = players[who - 1];
        const bool announcedWinOpen = players[0].announcedWin || players[1].announcedWin;
        if (plies >= MoveCap && !announcedWinOpen) break;
        p.engine.send(last ? "TURN " + text(*last) : "BEGIN");
        last = judgedMove(p, board, who, rule);
        ASSERT_TRUE(last) << "move " << plies + 1;
        ++plies;
        if (board.wins(*last)) winner = who;
        if (winner != 0 || board.full()) break;
        // The last move of an announced win has come without a five.
        ASSERT_LT(p.moves, p.winBy) << p.name << " announced a win by its move " << p.winBy;
    }
    for (int who = 1; who <= 2; ++who) {
        const Player& p = players[who - 1];
        if (p.announcedWin) {
            EXPECT_EQ(winner, who) << p.name << " announced a win";
        }
    }
    std::printf("rule %d, %s against %s: %s after %d moves; announcements %d and %d\n", rule,
                players[0].name, players[1].name,
                winner == 1    ? "black's five"
                : winner == 2  ? "white's five"
                : board.full() ? "a full board"
                               : "the cap",
                plies, players[0].announcements, players[1].announcements);
    for (Player& p : players) endEngine(p.engine);
}

// Each rule: the strong search against itself, and against the main search with either colour.
TEST(StrongSelfPlay, Freestyle) {
    playGame(0, Search::Strong, Search::Strong);
    playGame(0, Search::Strong, Search::Main);
}
TEST(StrongSelfPlay, ExactFive) {
    playGame(1, Search::Strong, Search::Strong);
    playGame(1, Search::Main, Search::Strong);
}
TEST(StrongSelfPlay, Renju) {
    playGame(4, Search::Strong, Search::Strong);
    playGame(4, Search::Strong, Search::Main);
    playGame(4, Search::Main, Search::Strong);
}

}  // namespace
}  // namespace velka::testing
