// The strong search's board: what it keeps stone by stone against the position taken afresh, the
// levels it gives cells, and its victories by fours against the design's threat search.
#include "search/strong/pattern_board.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "search/decide.h"
#include "search/strong/threat_space.h"
#include "search/threat.h"
#include "search_test_board.h"

namespace velka::search::strong {
namespace {

using patterns::RuleVariant;
using testing::at;

using testing::AllRules;
using testing::Rules;

PatternBoard& patternBoard() {
    static PatternBoard pb;
    return pb;
}

PatternBoard& freshPatternBoard(RuleVariant variant, int32_t black) {
    board::engineBoard.firstPlayer = black;
    resetPatternBoard(patternBoard(), board::engineBoard, variant);
    return patternBoard();
}

// Random games near the middle of the board, each stone checked against the position taken afresh,
// then taken back one by one, checked again; under every rule, on a small and a large board.
TEST(PatternBoard, KeepsWhatAFreshLookGivesAsStonesComeAndGo) {
    std::mt19937 random(7);
    for (const Rules& rules : AllRules) {
        patterns::buildPatternTables(rules.variant);
        for (const int32_t side : {9, 20}) {
            SCOPED_TRACE(::testing::Message() << static_cast<int>(rules.variant) << " " << side);
            testing::freshBoard(side, side);
            PatternBoard& pb = freshPatternBoard(rules.variant, rules.black);
            std::vector<int32_t> empty;
            for (int32_t cell = 0; cell < pb.board.cellCount; ++cell) empty.push_back(cell);
            std::shuffle(empty.begin(), empty.end(), random);
            const int32_t stones = side == 9 ? 60 : 90;
            for (int32_t k = 0; k < stones; ++k) {
                playStone(pb, empty[k], 1 + k % 2);
                if (k % 7 == 0 || k > stones - 5) {
                    ASSERT_TRUE(patternBoardIsConsistent(pb)) << k;
                }
            }
            for (int32_t k = stones; k-- > 0;) {
                undoStone(pb);
                if (k % 9 == 0) {
                    ASSERT_TRUE(patternBoardIsConsistent(pb)) << k;
                }
            }
            EXPECT_EQ(pb.board.hash, board::engineBoard.hash);
        }
    }
}

// Levels of hand-made cells: what a stone there makes, for each colour and rule.
TEST(PatternBoard, LevelsOfCells) {
    struct Case {
        const char* what;
        RuleVariant variant;
        std::vector<std::string> rows;  // from (3, 3); X colour 1 (black in Renju), O colour 2
        int32_t x, y, colour;
        CellLevel level;
    };
    const std::vector<std::string> doubleFour = {"XXX.", "...X", "...X", "...X"};
    const std::vector<std::string> doubleThree = {".XX.", "...X", "...X"};
    const Case cases[] = {
        {"an open three's end makes an open four",
         RuleVariant::Freestyle,
         {"..XXX.."},
         4,
         3,
         1,
         LevelFlexFour},
        {"... its far end a four", RuleVariant::Freestyle, {"..XXX.."}, 3, 3, 1, LevelFour},
        {"... and nothing for the other colour",
         RuleVariant::Freestyle,
         {"..XXX.."},
         3,
         3,
         2,
         LevelNone},
        {"a closed three makes a four", RuleVariant::Freestyle, {"OXXX..."}, 7, 3, 1, LevelFour},
        {"an open two makes an open three",
         RuleVariant::Freestyle,
         {".XX...."},
         6,
         3,
         1,
         LevelThree},
        {"a four and an open three",
         RuleVariant::Freestyle,
         {"OXXX.", "....X", "....X"},
         7,
         3,
         1,
         LevelFourThree},
        {"two open threes", RuleVariant::Freestyle, doubleThree, 6, 3, 1, LevelDoubleThree},
        {"a five", RuleVariant::Freestyle, {"XXXX."}, 7, 3, 1, LevelFive},
        {"an overline is a five in freestyle",
         RuleVariant::Freestyle,
         {"XXX.XX"},
         6,
         3,
         1,
         LevelFive},
        {"... no five in exact five", RuleVariant::ExactFive, {"XXX.XX"}, 6, 3, 1, LevelNone},
        {"... forbidden to Renju black", RuleVariant::Renju, {"XXX.XX"}, 6, 3, 1, LevelForbidden},
        {"... a five for Renju white", RuleVariant::Renju, {"OOO.OO"}, 6, 3, 2, LevelFive},
        {"two fours are forbidden to Renju black", RuleVariant::Renju, doubleFour, 6, 3, 1,
         LevelForbidden},
        {"... and win for freestyle", RuleVariant::Freestyle, doubleFour, 6, 3, 1, LevelFlexFour},
        {"two open threes: Renju black must try them", RuleVariant::Renju, doubleThree, 6, 3, 1,
         LevelPossiblyForbidden},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        patterns::buildPatternTables(c.variant);
        testing::freshBoard(15, 15);
        for (size_t row = 0; row < c.rows.size(); ++row) {
            testing::placeRows(3, 3 + static_cast<int32_t>(row), {c.rows[row]});
        }
        const PatternBoard& pb = freshPatternBoard(c.variant, 1);
        EXPECT_EQ(levelOf(pb, c.colour, at(c.x, c.y)), c.level);
    }
}

// White's four whose one five cell is black's forbidden point cannot be blocked: found where black
// has an overline point on white's line, not where that point is black's five or under freestyle.
TEST(PatternBoard, ForbiddenTrapsForRenjuBlack) {
    struct Case {
        const char* what;
        RuleVariant variant;
        std::string_view blackRow;  // from (3, 5); (6, 5) is the point white's four aims at
        bool trap;
    };
    const Case cases[] = {
        {"an overline point on white's line", RuleVariant::Renju, "XXX.XX", true},
        {"... is no trap under freestyle", RuleVariant::Freestyle, "XXX.XX", false},
        {"black's own five point is no forbidden point", RuleVariant::Renju, "XXX.X.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        patterns::buildPatternTables(c.variant);
        testing::freshBoard(15, 15);
        // White's three below (6, 5), its far end blocked by black.
        testing::placeRows(3, 5, {c.blackRow, "...O", "...O", "...O", "", "...X"});
        PatternBoard& pb = freshPatternBoard(c.variant, 1);
        const int32_t trap = forbiddenTrap(pb);
        if (!c.trap) {
            EXPECT_EQ(trap, board::NoCell);
            continue;
        }
        ASSERT_TRUE(trap == at(6, 4) || trap == at(6, 9)) << trap;
        playStone(pb, trap, 2);
        ASSERT_EQ(cellsAt(pb, 2, LevelFive).count, 1);
        EXPECT_EQ(cellsAt(pb, 2, LevelFive).cells[0], at(6, 5));
        EXPECT_FALSE(mayPlay(pb, at(6, 5), 1));
        undoStone(pb);
    }
}

// Whether the engine (colour 1, to move) wins by fours: the strong search's answer and the
// design's threat search's agree on random middle games under every rule, Renju with the engine
// either colour; and the first move of a win found is a four or a five of the engine's.
TEST(ThreatSpace, VictoriesByFoursAgreeWithTheThreatSearch) {
    std::mt19937 random(11);
    Player& player = testing::player();
    int32_t wins = 0;
    int32_t positions = 0;
    for (const Rules& rules : AllRules) {
        patterns::buildPatternTables(rules.variant);
        const ThreatSearchKind kind =
            rules.variant == RuleVariant::Freestyle   ? ThreatSearchKind::Freestyle
            : rules.variant == RuleVariant::ExactFive ? ThreatSearchKind::ExactFive
            : rules.black == 1                        ? ThreatSearchKind::RenjuBlack
                                                      : ThreatSearchKind::RenjuWhite;
        for (int32_t game = 0; game < 150; ++game) {
            testing::freshBoard(15, 15);
            std::uniform_int_distribution<int32_t> near(3, 11);
            const int32_t stones = 12 + game % 25;
            for (int32_t k = 0; k < stones;) {
                const int32_t cell = at(near(random), near(random));
                if (board::engineBoard.cells[cell] != board::CellEmpty) continue;
                board::setCell(cell, 2 - k % 2);  // the opponent first: the engine is to move
                ++k;
            }
            PatternBoard& pb = freshPatternBoard(rules.variant, rules.black);
            if (cellsAt(pb, 1, LevelFive).count + cellsAt(pb, 2, LevelFive).count > 0 &&
                game % 2 == 0) {
                continue;  // half the positions with a five to make or to stop are kept
            }
            bool fiveOnBoard = false;
            for (int32_t cell = 0; cell < pb.board.cellCount && !fiveOnBoard; ++cell) {
                for (int32_t colour = 1; colour <= 2; ++colour) {
                    if (pb.board.cells[cell] != colour) continue;
                    for (int32_t d = 0; d < board::DirectionCount; ++d) {
                        const patterns::PatternEntry& e =
                            patterns::patternEntry(board::windowCode(pb.board, d, cell));
                        fiveOnBoard = fiveOnBoard || patterns::freeShape(e) == patterns::ShapeFive;
                    }
                }
            }
            if (fiveOnBoard) continue;
            ++positions;
            testing::startClock(1000000);
            testing::freshMemory();
            const int32_t theirs =
                threatMove(player.threats, board::engineBoard, player.memory, player.control, kind);
            testing::freshMemory();
            ThreatBudget budget{0, 10000000, 0};
            int32_t move = board::NoCell;
            const int32_t plies = findVcf(pb, player.memory, 1, 400, budget, move);
            EXPECT_EQ(plies > 0, theirs != board::NoCell)
                << "rule " << static_cast<int>(rules.variant) << " game " << game;
            if (plies > 0) {
                ++wins;
                EXPECT_EQ(plies % 2, 1);
                EXPECT_GE(levelOf(pb, 1, move), LevelFour);
                EXPECT_NE(levelOf(pb, 1, move), LevelForbidden);
            }
        }
    }
    EXPECT_GT(wins, positions / 10);
    EXPECT_LT(wins, positions * 9 / 10);
}

}  // namespace
}  // namespace velka::search::strong
