#include "board/board.h"

#include <algorithm>

#include "board/random.h"

namespace velka::board {

EngineBoard engineBoard;

namespace {

constexpr int32_t LineGap = 5;  // outside positions before and between lines
constexpr int32_t KeyCodeStride = MaxCells;

// Open-addressing set of the keys drawn so far. It answers "equal to a key at a lower index"
// exactly as a scan over all lower keys would (every lower key of codes 1 and 2 is in it, and
// zero, the value of every code-0 key, is refused up front), without the quadratic cost.
constexpr uint32_t KeySetSlots = 1u << 15;  // more than twice the 12800 keys
std::array<uint64_t, KeySetSlots> keySet;

bool insertUniqueKey(uint64_t key) {
    uint32_t slot = static_cast<uint32_t>((key * 0x9E3779B97F4A7C15ull) >> 49) & (KeySetSlots - 1);
    while (keySet[slot] != 0) {
        if (keySet[slot] == key) return false;
        slot = (slot + 1) & (KeySetSlots - 1);
    }
    keySet[slot] = key;
    return true;
}

uint64_t drawKey() {
    uint64_t key = 0;
    for (int shift = 0; shift <= 60; shift += 15)
        key ^= static_cast<uint64_t>(nextRandom()) << shift;
    return key;
}

void drawZobristKeys() {
    EngineBoard& b = engineBoard;
    b.zobristKeys.fill(0);
    keySet.fill(0);
    for (int32_t code = CellOwn; code <= CellOpponent; ++code) {
        for (int32_t i = 0; i < MaxCells; ++i) {
            uint64_t key = drawKey();
            while (key == 0 || !insertUniqueKey(key)) key = drawKey();
            b.zobristKeys[code * KeyCodeStride + i] = key;
        }
    }
}

void layOutLines(int32_t width, int32_t height) {
    EngineBoard& b = engineBoard;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t i = x + y * width;
            b.linePos[0][i] = LineGap + y * (width + LineGap) + x;
            b.linePos[1][i] = LineGap + x * (height + LineGap) + y;
        }
    }
    // Anti-diagonals by x + y, each from its top-right end; diagonals by x - y from width - 1
    // down, each from its top-left end. Lines follow each other with LineGap outside positions.
    int32_t next = LineGap;
    for (int32_t sum = 0; sum <= width + height - 2; ++sum) {
        int32_t x = sum < width ? sum : width - 1;
        int32_t y = sum - x;
        for (; x >= 0 && y < height; --x, ++y) b.linePos[2][x + y * width] = next++;
        next += LineGap;
    }
    next = LineGap;
    for (int32_t diff = width - 1; diff >= -(height - 1); --diff) {
        int32_t x = diff > 0 ? diff : 0;
        int32_t y = x - diff;
        for (; x < width && y < height; ++x, ++y) b.linePos[3][x + y * width] = next++;
        next += LineGap;
    }
}

}  // namespace

void initBoard(int32_t width, int32_t height) {
    EngineBoard& b = engineBoard;
    b.width = width;
    b.height = height;
    b.cellCount = width * height;
    drawZobristKeys();
    layOutLines(width, height);
    clearBoard();
}

void clearBoard() {
    EngineBoard& b = engineBoard;
    b.hash = 0;
    for (LineString& line : b.lineStrings) line.fill(0xFF);
    for (int32_t i = 0; i < b.cellCount; ++i) {
        b.cells[i] = CellOutside;
        setCell(i, CellEmpty);
    }
}

void takeCensus(int32_t defaultFirstPlayer) {
    EngineBoard& b = engineBoard;
    std::array<int32_t, 4> counts{};
    for (int32_t i = 0; i < b.cellCount; ++i) ++counts[b.cells[i] & 3];
    b.emptyCount = counts[CellEmpty];
    b.ownCount = counts[CellOwn];
    b.opponentCount = counts[CellOpponent];
    if (b.ownCount > b.opponentCount) {
        b.firstPlayer = CellOwn;
    } else if (b.ownCount < b.opponentCount) {
        b.firstPlayer = CellOpponent;
    } else {
        b.firstPlayer = defaultFirstPlayer;
    }
}

void buildWindowOffsets(int32_t width) {
    EngineBoard& b = engineBoard;
    if (width == b.windowOffsetsWidth) return;
    b.windowOffsetsWidth = width;
    b.windowOffsets = makeWindowOffsets(width);
}

void copyBoard(EngineBoard& target, const EngineBoard& source) {
    const int32_t n = source.cellCount;
    target.width = source.width;
    target.height = source.height;
    target.cellCount = n;
    std::copy_n(source.cells.begin(), n, target.cells.begin());
    target.hash = source.hash;
    for (int32_t code = CellOwn; code <= CellOpponent; ++code) {
        std::copy_n(source.zobristKeys.begin() + code * KeyCodeStride, n,
                    target.zobristKeys.begin() + code * KeyCodeStride);
    }
    target.lineStrings = source.lineStrings;
    for (int32_t d = 0; d < DirectionCount; ++d) {
        std::copy_n(source.linePos[d].begin(), n, target.linePos[d].begin());
    }
    target.emptyCount = source.emptyCount;
    target.ownCount = source.ownCount;
    target.opponentCount = source.opponentCount;
    target.firstPlayer = source.firstPlayer;
    target.windowOffsets = makeWindowOffsets(source.width);
    target.windowOffsetsWidth = source.width;
}

bool boardIsConsistent(const EngineBoard& b) {
    uint64_t hash = 0;
    std::array<std::array<bool, LinePositions>, DirectionCount> used{};
    for (int32_t i = 0; i < b.cellCount; ++i) {
        const int32_t code = b.cells[i];
        if (code < CellEmpty || code > CellOpponent) return false;
        hash ^= b.zobristKeys[code * KeyCodeStride + i];
        for (int32_t d = 0; d < DirectionCount; ++d) {
            const int32_t p = b.linePos[d][i];
            used[d][p] = true;
            if (((b.lineStrings[d][p >> 2] >> (2 * (p & 3))) & 3) != code) return false;
        }
    }
    for (int32_t d = 0; d < DirectionCount; ++d) {
        for (int32_t p = 0; p < LinePositions; ++p) {
            if (!used[d][p] && ((b.lineStrings[d][p >> 2] >> (2 * (p & 3))) & 3) != CellOutside) {
                return false;
            }
        }
    }
    return hash == b.hash;
}

}  // namespace velka::board
