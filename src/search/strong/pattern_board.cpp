#include "search/strong/pattern_board.h"

#include "search/forbidden.h"

namespace velka::search::strong {

namespace {

using board::CellEmpty;
using patterns::RuleVariant;

// The level of a cell from how many of its four classes fall into each group; blackRules: the
// Renju black's, to whom overlines, two fours and two real open threes are forbidden.
constexpr CellLevel levelOfCounts(const std::array<int32_t, patterns::ShapeGroupCount>& c,
                                  bool blackRules) {
    using namespace patterns;
    const int32_t fours = c[GroupOpenFour] + c[GroupFour];
    if (c[GroupFive] > 0) return LevelFive;  // a five wins, whatever else the stone makes
    if (blackRules) {
        if (c[GroupForbidden] > 0 || fours >= 2) return LevelForbidden;
        if (c[GroupOpenThree] >= 2) return LevelPossiblyForbidden;
    }
    if (c[GroupOpenFour] > 0 || fours >= 2) return LevelFlexFour;
    if (fours == 1) return c[GroupOpenThree] > 0 ? LevelFourThree : LevelFour;
    if (c[GroupOpenThree] >= 2) return LevelDoubleThree;
    return c[GroupOpenThree] == 1 ? LevelThree : LevelNone;
}

constexpr std::array<CellLevel, patterns::GroupQuadCount> makeLevelTable(bool blackRules) {
    std::array<CellLevel, patterns::GroupQuadCount> table{};
    for (uint32_t q = 0; q < patterns::GroupQuadCount; ++q) {
        std::array<int32_t, patterns::ShapeGroupCount> counts{};
        for (uint32_t rest = q, d = 0; d < 4; ++d, rest /= patterns::ShapeGroupCount) {
            ++counts[rest % patterns::ShapeGroupCount];
        }
        table[q] = levelOfCounts(counts, blackRules);
    }
    return table;
}

constexpr std::array<CellLevel, patterns::GroupQuadCount> FreeLevels = makeLevelTable(false);
constexpr std::array<CellLevel, patterns::GroupQuadCount> BlackLevels = makeLevelTable(true);

// The window of the cell j - 5 steps along a line segment read around the middle cell, and the
// code of the cell k steps away (k from -10 to 10).
uint32_t windowAt(uint64_t segment, int32_t j) {
    return static_cast<uint32_t>(segment >> (2 * j)) & 0x3FFFFF;
}
int32_t codeAt(uint64_t segment, int32_t k) {
    return static_cast<int32_t>((segment >> (2 * (k + 2 * board::WindowCentre))) & 3);
}

uint32_t classIn(uint32_t quad, int32_t d) {
    return (quad >> (5 * d)) & patterns::ShapeClassMask;
}

void addLineClass(Features& f, uint32_t k, int32_t sign) {
    if (LineFeature[k] != NoFeature) f[LineFeature[k]] += sign;
}

void addLevel(PatternBoard& pb, int32_t i, int32_t cell, CellLevel level) {
    pb.level[i][cell] = level;
    if (level == LevelNone) return;
    LevelCells& list = pb.levelCells[i][level];
    pb.levelIndex[i][cell] = static_cast<int16_t>(list.count);
    list.cells[list.count++] = static_cast<int16_t>(cell);
    if (LevelFeature[level] != NoFeature) ++pb.features[i][LevelFeature[level]];
}

void removeLevel(PatternBoard& pb, int32_t i, int32_t cell) {
    const CellLevel level = static_cast<CellLevel>(pb.level[i][cell]);
    pb.level[i][cell] = LevelNone;
    if (level == LevelNone) return;
    LevelCells& list = pb.levelCells[i][level];
    const int16_t at = pb.levelIndex[i][cell];
    const int16_t last = list.cells[--list.count];
    list.cells[at] = last;
    pb.levelIndex[i][last] = at;
    if (LevelFeature[level] != NoFeature) --pb.features[i][LevelFeature[level]];
}

CellLevel levelOfQuad(const PatternBoard& pb, int32_t i, uint32_t quad) {
    return pb.levelTable[i][patterns::groupQuadIndex(quad)];
}

void recordChange(PatternBoard& pb, int32_t cell) {
    pb.changes[pb.changeCount++] = {static_cast<int16_t>(cell),
                                    {pb.level[0][cell], pb.level[1][cell]},
                                    {pb.quad[0][cell], pb.quad[1][cell]}};
}

// The empty cell's class in direction d, for both colours, becomes what its window gives; a cell
// that changes is recorded first (a stone changes each cell in one line only).
void refreshLine(PatternBoard& pb, int32_t cell, int32_t d, uint32_t window) {
    const uint32_t reduced = patterns::reducedWindows(window);
    bool recorded = false;
    for (int32_t i = 0; i < 2; ++i) {
        const uint32_t shapes = patterns::ReducedShapes[(reduced >> (16 * i)) & 0xFFFF];
        const uint32_t k = (shapes >> pb.shapeShift[i]) & patterns::ShapeClassMask;
        uint32_t& quad = pb.quad[i][cell];
        const uint32_t old = classIn(quad, d);
        if (old == k) continue;
        if (!recorded) {
            recordChange(pb, cell);
            recorded = true;
        }
        addLineClass(pb.features[i], old, -1);
        addLineClass(pb.features[i], k, +1);
        quad = (quad & ~(patterns::ShapeClassMask << (5 * d))) | (k << (5 * d));
        const CellLevel level = levelOfQuad(pb, i, quad);
        if (level != pb.level[i][cell]) {
            removeLevel(pb, i, cell);
            addLevel(pb, i, cell, level);
        }
    }
}

// An empty cell joins (sign +1) or leaves (-1) the counts and lists with all it makes.
void enterEmptyCell(PatternBoard& pb, int32_t cell) {
    const board::EngineBoard& b = pb.board;
    for (int32_t i = 0; i < 2; ++i) {
        uint32_t quad = 0;
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            const uint32_t reduced = patterns::reducedWindows(board::windowCode(b, d, cell));
            const uint32_t shapes = patterns::ReducedShapes[(reduced >> (16 * i)) & 0xFFFF];
            const uint32_t k = (shapes >> pb.shapeShift[i]) & patterns::ShapeClassMask;
            quad |= k << (5 * d);
            addLineClass(pb.features[i], k, +1);
        }
        pb.quad[i][cell] = quad;
        addLevel(pb, i, cell, levelOfQuad(pb, i, quad));
    }
}

void leaveEmptyCell(PatternBoard& pb, int32_t cell) {
    for (int32_t i = 0; i < 2; ++i) {
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            addLineClass(pb.features[i], classIn(pb.quad[i][cell], d), -1);
        }
        pb.quad[i][cell] = 0;
        removeLevel(pb, i, cell);
    }
}

void addCandidate(PatternBoard& pb, int32_t cell) {
    pb.candidateIndex[cell] = static_cast<int16_t>(pb.candidates.count);
    pb.candidates.cells[pb.candidates.count++] = static_cast<int16_t>(cell);
}

void removeCandidate(PatternBoard& pb, int32_t cell) {
    const int16_t at = pb.candidateIndex[cell];
    const int16_t last = pb.candidates.cells[--pb.candidates.count];
    pb.candidates.cells[at] = last;
    pb.candidateIndex[last] = at;
}

// The stone on cell counts (sign +1) or no longer counts (-1) as near for the empty cells within
// two steps along its eight rays.
void countNear(PatternBoard& pb, int32_t cell, int32_t sign) {
    const board::EngineBoard& b = pb.board;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        const uint64_t segment = board::lineSegment(b, d, cell);
        for (const int32_t k : {-2, -1, 1, 2}) {
            if (codeAt(segment, k) != CellEmpty) continue;
            const int32_t n = cell + b.windowOffsets[d][board::WindowCentre + k];
            pb.near[n] = static_cast<uint8_t>(pb.near[n] + sign);
            if (sign > 0 && pb.near[n] == 1) addCandidate(pb, n);
            if (sign < 0 && pb.near[n] == 0) removeCandidate(pb, n);
        }
    }
}

// Every empty cell within five steps of cell along its lines looks its line up again.
void refreshAround(PatternBoard& pb, int32_t cell) {
    const board::EngineBoard& b = pb.board;
    for (int32_t d = 0; d < board::DirectionCount; ++d) {
        const uint64_t segment = board::lineSegment(b, d, cell);
        for (int32_t k = -pb.reach; k <= pb.reach; ++k) {
            if (k == 0 || codeAt(segment, k) != CellEmpty) continue;
            refreshLine(pb, cell + b.windowOffsets[d][board::WindowCentre + k], d,
                        windowAt(segment, k + board::WindowCentre));
        }
    }
}

}  // namespace

void resetPatternBoard(PatternBoard& pb, const board::EngineBoard& source, RuleVariant variant) {
    board::copyBoard(pb.board, source);
    const board::EngineBoard& b = pb.board;
    pb.variant = variant;
    pb.reach = variant == RuleVariant::Freestyle ? board::WindowCentre - 1 : board::WindowCentre;
    for (int32_t colour = 1; colour <= 2; ++colour) {
        const bool black = variant == RuleVariant::Renju && colour == b.firstPlayer;
        const bool exact = variant == RuleVariant::ExactFive || black;
        pb.shapeShift[colour - 1] = patterns::reducedShapeShift(exact ? patterns::ShapeField::Exact
                                                                      : patterns::ShapeField::Free);
        pb.levelTable[colour - 1] = black ? BlackLevels.data() : FreeLevels.data();
        for (LevelCells& list : pb.levelCells[colour - 1]) list.count = 0;
        pb.features[colour - 1] = {};
    }
    pb.candidates.count = 0;
    pb.playedCount = 0;
    pb.changeCount = 0;
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        pb.near[cell] = 0;
        for (int32_t i = 0; i < 2; ++i) {
            pb.quad[i][cell] = 0;
            pb.level[i][cell] = LevelNone;
        }
    }
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        if (b.cells[cell] == CellEmpty) {
            enterEmptyCell(pb, cell);
        } else {
            countNear(pb, cell, +1);
        }
    }
}

void playStone(PatternBoard& pb, int32_t cell, int32_t colour) {
    pb.played[pb.playedCount++] = {static_cast<int16_t>(cell), pb.changeCount, pb.features};
    recordChange(pb, cell);
    leaveEmptyCell(pb, cell);
    if (pb.near[cell] > 0) removeCandidate(pb, cell);
    board::setCell(pb.board, cell, colour);
    refreshAround(pb, cell);
    countNear(pb, cell, +1);
}

// Everything the stone changed goes back as it was, latest first; the stone's own cell, recorded
// first, ends up empty with what it made before.
void undoStone(PatternBoard& pb) {
    const PlayedStone& stone = pb.played[--pb.playedCount];
    const int32_t cell = stone.cell;
    board::setCell(pb.board, cell, CellEmpty);
    countNear(pb, cell, -1);
    for (int32_t c = pb.changeCount - 1; c >= stone.changesFrom; --c) {
        const CellChange& change = pb.changes[c];
        for (int32_t i = 0; i < 2; ++i) {
            pb.quad[i][change.cell] = change.quad[i];
            if (pb.level[i][change.cell] == change.level[i] && change.cell != cell) continue;
            removeLevel(pb, i, change.cell);
            addLevel(pb, i, change.cell, static_cast<CellLevel>(change.level[i]));
        }
    }
    pb.changeCount = stone.changesFrom;
    pb.features = stone.features;
    if (pb.near[cell] > 0) addCandidate(pb, cell);
}

bool mayPlay(PatternBoard& pb, int32_t cell, int32_t colour) {
    if (!forbiddenApplies(pb, colour)) return true;
    const CellLevel level = levelOf(pb, colour, cell);
    if (level == LevelForbidden) return false;
    if (level != LevelPossiblyForbidden) return true;
    return !forbiddenIfPlayed(pb.board, cell, colour);
}

int32_t threatStopCells(const PatternBoard& pb, int32_t colour, int16_t* out, int32_t capacity) {
    const board::EngineBoard& b = pb.board;
    const LevelCells& threats = cellsAt(pb, colour, LevelFlexFour);
    int32_t count = 0;
    const auto add = [&](int32_t cell) {
        for (int32_t i = 0; i < count; ++i) {
            if (out[i] == cell) return;
        }
        if (count < capacity) out[count++] = static_cast<int16_t>(cell);
    };
    for (int32_t i = 0; i < threats.count; ++i) {
        const int32_t f = threats.cells[i];
        add(f);
        for (int32_t d = 0; d < board::DirectionCount; ++d) {
            const uint32_t k = classIn(pb.quad[colour - 1][f], d);
            if (k != patterns::ShapeOpenFour && k != patterns::ShapeFour) continue;
            const uint64_t segment = board::lineSegment(b, d, f);
            for (int32_t step = -4; step <= 4; ++step) {
                if (step != 0 && codeAt(segment, step) == CellEmpty) {
                    add(f + b.windowOffsets[d][board::WindowCentre + step]);
                }
            }
        }
    }
    return count;
}

int32_t forbiddenTrap(PatternBoard& pb) {
    if (pb.variant != patterns::RuleVariant::Renju) return board::NoCell;
    const int32_t black = pb.board.firstPlayer;
    const int32_t white = black ^ 3;
    const board::EngineBoard& b = pb.board;
    for (const CellLevel level : {LevelForbidden, LevelPossiblyForbidden}) {
        const LevelCells& points = cellsAt(pb, black, level);
        for (int32_t i = 0; i < points.count; ++i) {
            const int32_t f = points.cells[i];
            for (int32_t d = 0; d < board::DirectionCount; ++d) {
                const uint32_t k = classIn(pb.quad[white - 1][f], d);
                if (k != patterns::ShapeOpenFour && k != patterns::ShapeFour) continue;
                const uint64_t segment = board::lineSegment(b, d, f);
                for (int32_t step = -4; step <= 4; ++step) {
                    if (step == 0 || codeAt(segment, step) != CellEmpty) continue;
                    const int32_t c = f + b.windowOffsets[d][board::WindowCentre + step];
                    playStone(pb, c, white);
                    const LevelCells& fives = cellsAt(pb, white, LevelFive);
                    const bool trapped =
                        fives.count == 1 && fives.cells[0] == f && !mayPlay(pb, f, black);
                    undoStone(pb);
                    if (trapped) return c;
                }
            }
        }
    }
    return board::NoCell;
}

bool patternBoardIsConsistent(const PatternBoard& pb) {
    static PatternBoard fresh;
    resetPatternBoard(fresh, pb.board, pb.variant);
    const board::EngineBoard& b = pb.board;
    if (fresh.features != pb.features || fresh.candidates.count != pb.candidates.count) {
        return false;
    }
    for (int32_t cell = 0; cell < b.cellCount; ++cell) {
        // A stone's own near count is not kept; it is right again once the stone is taken back.
        if (b.cells[cell] == CellEmpty && fresh.near[cell] != pb.near[cell]) return false;
        for (int32_t i = 0; i < 2; ++i) {
            if (fresh.quad[i][cell] != pb.quad[i][cell] ||
                fresh.level[i][cell] != pb.level[i][cell])
                return false;
            const CellLevel level = static_cast<CellLevel>(pb.level[i][cell]);
            if (level != LevelNone &&
                pb.levelCells[i][level].cells[pb.levelIndex[i][cell]] != cell) {
                return false;
            }
        }
        if (pb.near[cell] > 0 && b.cells[cell] == CellEmpty &&
            pb.candidates.cells[pb.candidateIndex[cell]] != cell) {
            return false;
        }
    }
    for (int32_t i = 0; i < 2; ++i) {
        for (int32_t level = 0; level < LevelCount; ++level) {
            if (fresh.levelCells[i][level].count != pb.levelCells[i][level].count) return false;
        }
    }
    return true;
}

}  // namespace velka::search::strong
