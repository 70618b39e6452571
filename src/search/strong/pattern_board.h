// The strong search's board: for every empty cell and both colours, what a stone there would make
// (its class in each of the four lines, and the threat that makes of the cell), kept current as
// stones come and go, with the cells of each threat listed per colour and the counts that the
// evaluation reads. A stone changes the lines of the cells up to five steps away along its four
// lines and nothing else, so placing or removing one looks at most 40 cells up again.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "patterns/pattern_table.h"
#include "patterns/rule_variant.h"
#include "patterns/shape_quad.h"

namespace velka::search::strong {

// What one stone on an empty cell makes for its colour, strongest first in the search's eyes:
// Five ends the game; FlexFour (an open four, or fours in two lines) wins on the next move;
// FourThree a four with an open three; Four one four; DoubleThree two open threes; Three one open
// three. Forbidden: a Renju black stone may not stand there (an overline, two fours, or two open
// threes that are real threes, which the level alone cannot tell: see PossiblyForbidden).
enum CellLevel : uint8_t {
    LevelNone,
    LevelThree,
    LevelDoubleThree,
    LevelFour,
    LevelFourThree,
    LevelFlexFour,
    LevelFive,
    LevelForbidden,
    // Renju black: two open threes, forbidden unless one of them cannot become an open four.
    LevelPossiblyForbidden,
};
inline constexpr int32_t LevelCount = 9;

// The evaluation's counts, per colour: first the empty cells' classes in each line (a cell counts
// once per line), in groups of classes that play alike: open four, four, open three, other three,
// the twos that make open threes, those that make other threes, the other twos, the ones; then the
// cells at the levels Three, DoubleThree, Four and FourThree (a FlexFour or a Five decides the
// game before any evaluation).
enum Feature : int32_t {
    FeatureOpenFour,
    FeatureFour,
    FeatureOpenThree,
    FeatureThree,
    FeatureOpenTwo,
    FeatureTwo,
    FeatureOtherTwo,
    FeatureOne,
    FeatureLevelThree,
    FeatureLevelDoubleThree,
    FeatureLevelFour,
    FeatureLevelFourThree,
    FeatureCount,
    NoFeature = -1,
};
using Features = std::array<int32_t, FeatureCount>;

inline constexpr std::array<int8_t, patterns::ShapeClassCount> LineFeature = {
    NoFeature,        NoFeature,        NoFeature,    FeatureOpenFour, FeatureFour,
    FeatureOpenThree, FeatureOpenThree, FeatureThree, FeatureThree,    FeatureOpenTwo,
    FeatureOpenTwo,   FeatureTwo,       FeatureTwo,   FeatureOtherTwo, FeatureOtherTwo,
    FeatureOtherTwo,  FeatureOtherTwo,  FeatureOne,   FeatureOne,      FeatureOne,
    FeatureOne,       FeatureOne};
inline constexpr std::array<int8_t, LevelCount> LevelFeature = {NoFeature,
                                                                FeatureLevelThree,
                                                                FeatureLevelDoubleThree,
                                                                FeatureLevelFour,
                                                                FeatureLevelFourThree,
                                                                NoFeature,
                                                                NoFeature,
                                                                NoFeature,
                                                                NoFeature};

// The cells of one colour at one level, in no particular order.
struct LevelCells {
    int32_t count = 0;
    std::array<int16_t, board::MaxCells> cells;
};

inline constexpr int32_t MaxPlayed = 512;
// Cells one stone changes: its own and up to ten along each of its four lines.
inline constexpr int32_t CellsChangedPerStone = 1 + 4 * 10;

// A cell as it was before a stone changed it, for taking the stone back without looking anything
// up again.
struct CellChange {
    int16_t cell;
    std::array<uint8_t, 2> level;
    std::array<uint32_t, 2> quad;
};

struct PlayedStone {
    int16_t cell;
    int32_t changesFrom;  // its first entry in PatternBoard::changes
    std::array<Features, 2> features;
};

struct PatternBoard {
    board::EngineBoard board;
    patterns::RuleVariant variant = patterns::RuleVariant::Freestyle;
    // Per colour (index colour - 1): the ReducedShapes field it is judged by, and its level table
    // (indexed by GroupQuadIndex).
    std::array<uint32_t, 2> shapeShift{};
    std::array<const CellLevel*, 2> levelTable{};
    // How far along a line a stone changes what the empty cells make: five cells, or four where
    // no overline counts (a five through a cell lies within four of it; only an overline reaches
    // the window's ends).
    int32_t reach = board::WindowCentre;
    // Per colour, per empty cell: the classes a stone of that colour makes there (a
    // ShapeQuadIndex) and its level; 0 on stones.
    std::array<std::array<uint32_t, board::MaxCells>, 2> quad;
    std::array<std::array<uint8_t, board::MaxCells>, 2> level;
    // Per colour, per level from Three up, the cells at that level; where each cell stands in its
    // list.
    std::array<std::array<LevelCells, LevelCount>, 2> levelCells;
    std::array<std::array<int16_t, board::MaxCells>, 2> levelIndex;
    // Per empty cell, the stones within two steps along its eight rays; the cells where that is
    // not 0 are the candidates, listed with their place in the list.
    std::array<uint8_t, board::MaxCells> near;
    LevelCells candidates;
    std::array<int16_t, board::MaxCells> candidateIndex;
    std::array<Features, 2> features;
    // The stones placed since the reset and what each changed, for taking them back.
    int32_t playedCount = 0;
    std::array<PlayedStone, MaxPlayed> played;
    int32_t changeCount = 0;
    std::array<CellChange, MaxPlayed * CellsChangedPerStone> changes;
};

// The board becomes a copy of source under the variant's rules (Renju: black is source's
// firstPlayer), with every cell looked up.
void resetPatternBoard(PatternBoard& pb, const board::EngineBoard& source,
                       patterns::RuleVariant variant);
// A stone of colour (1 or 2) on the empty cell; undoStone takes the last one back.
void playStone(PatternBoard& pb, int32_t cell, int32_t colour);
void undoStone(PatternBoard& pb);

inline const LevelCells& cellsAt(const PatternBoard& pb, int32_t colour, CellLevel level) {
    return pb.levelCells[colour - 1][level];
}
inline CellLevel levelOf(const PatternBoard& pb, int32_t colour, int32_t cell) {
    return static_cast<CellLevel>(pb.level[colour - 1][cell]);
}
// Whether colour is the Renju black, whose forbidden points the search must keep off.
inline bool forbiddenApplies(const PatternBoard& pb, int32_t colour) {
    return pb.variant == patterns::RuleVariant::Renju && colour == pb.board.firstPlayer;
}
// Whether a stone of colour may stand on the empty cell: always, but for Renju black on a
// forbidden point (two open threes are tried for real).
bool mayPlay(PatternBoard& pb, int32_t cell, int32_t colour);

// The empty cells that may stop colour's open fours to come (the cells of its FlexFour level): on
// each such cell's four-making lines, within four steps, the cell itself included; each once, at
// most capacity of them. Which of them do stop a threat, only playing them tells.
int32_t threatStopCells(const PatternBoard& pb, int32_t colour, int16_t* out, int32_t capacity);

// Renju: a move of white's that makes a four whose one five cell is forbidden to black, who then
// cannot block it; NoCell where there is none (and under the other rules).
int32_t forbiddenTrap(PatternBoard& pb);

// For tests: every cell looked up afresh and compared with what was kept.
bool patternBoardIsConsistent(const PatternBoard& pb);

}  // namespace velka::search::strong
