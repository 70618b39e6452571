// The engine's board: cells, packed line strings, Zobrist hash and census. The game's position
// is the one engineBoard; each search thread plays on a copy of it (copyBoard).
//
// Every line of the board (rows, columns, both diagonals) is kept as a string of 2-bit cell codes
// with five outside positions before and between lines, so the 11-cell window around any cell is
// one unaligned 32-bit load, a shift and a mask, with no bounds checks.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace velka::board {

static_assert(std::endian::native == std::endian::little, "line strings are read as LE words");

inline constexpr int32_t MinSide = 5;
inline constexpr int32_t MaxSide = 80;
inline constexpr int32_t MaxCells = MaxSide * MaxSide;
inline constexpr int32_t DefaultSide = 20;
inline constexpr int32_t DirectionCount = 4;
inline constexpr int32_t WindowCells = 11;
inline constexpr int32_t WindowCentre = 5;
inline constexpr int32_t LinePositions = 7232;
inline constexpr int32_t LineBytes = LinePositions / 4;

// Cell codes, shared by every subsystem. The other player of code c is c ^ 3.
inline constexpr int32_t CellEmpty = 0;
inline constexpr int32_t CellOwn = 1;
inline constexpr int32_t CellOpponent = 2;
inline constexpr int32_t CellOutside = 3;

inline constexpr int32_t NoCell = -1;

using LineString = std::array<uint8_t, LineBytes>;
using WindowOffsetTable = std::array<std::array<int32_t, WindowCells>, DirectionCount>;

// Offset of window cell j from the centre, per direction, for a board of the given width.
constexpr WindowOffsetTable makeWindowOffsets(int32_t width) {
    const std::array<int32_t, DirectionCount> steps = {1, width, width - 1, width + 1};
    WindowOffsetTable table{};
    for (int32_t d = 0; d < DirectionCount; ++d) {
        for (int32_t j = 0; j < WindowCells; ++j) table[d][j] = (j - WindowCentre) * steps[d];
    }
    return table;
}

struct EngineBoard {
    int32_t width = 0;
    int32_t height = 0;
    int32_t cellCount = 0;
    std::array<int32_t, MaxCells> cells{};
    uint64_t hash = 0;
    // Key of code c at cell i is zobristKeys[c * MaxCells + i]; codes 0 and 3 stay zero.
    std::array<uint64_t, 4 * MaxCells> zobristKeys{};
    std::array<LineString, DirectionCount> lineStrings{};
    std::array<std::array<int32_t, MaxCells>, DirectionCount> linePos{};
    int32_t emptyCount = 0;
    int32_t ownCount = 0;
    int32_t opponentCount = 0;
    int32_t firstPlayer = CellOwn;
    WindowOffsetTable windowOffsets = makeWindowOffsets(DefaultSide);
    int32_t windowOffsetsWidth = DefaultSide;
};

// The game's board. Owned by the main thread while the engine is idle and by the ThinkThread
// during a think; the two events are the only hand-over. Search threads only read it, to copy it.
extern EngineBoard engineBoard;

// Sizes the board, draws fresh Zobrist keys, lays out the line strings and empties it.
void initBoard(int32_t width, int32_t height);
void clearBoard();
void takeCensus(int32_t defaultFirstPlayer);
void buildWindowOffsets(int32_t width);
// Makes target a board of its own with source's position, size, keys, layout and census, and
// window offsets for its width; only the cells in use are copied.
void copyBoard(EngineBoard& target, const EngineBoard& source);

// Recomputes line strings and hash from `cells` and compares; for tests and debug checks after
// long runs of incremental updates.
bool boardIsConsistent(const EngineBoard& b);

// The only write to a position: cell, hash and the four line strings.
inline void setCell(EngineBoard& b, int32_t index, int32_t code) {
    const int32_t old = b.cells[index];
    b.cells[index] = code;
    b.hash ^= b.zobristKeys[old * MaxCells + index] ^ b.zobristKeys[code * MaxCells + index];
    for (int32_t d = 0; d < DirectionCount; ++d) {
        const int32_t p = b.linePos[d][index];
        uint8_t& byte = b.lineStrings[d][p >> 2];
        const int shift = 2 * (p & 3);
        byte =
            static_cast<uint8_t>((byte & ~(3u << shift)) | (static_cast<uint32_t>(code) << shift));
    }
}

inline void setCell(int32_t index, int32_t code) {
    setCell(engineBoard, index, code);
}

// The 22-bit WindowCode of the cell in direction d: window cell j (centre 5) in bits 2j, 2j+1.
inline uint32_t windowCode(const EngineBoard& b, int32_t direction, int32_t index) {
    const int32_t p = b.linePos[direction][index] - WindowCentre;
    uint32_t word;
    std::memcpy(&word, b.lineStrings[direction].data() + (p >> 2), sizeof word);
    return (word >> (2 * (p & 3))) & 0x3FFFFFu;
}

inline uint32_t windowCode(int32_t direction, int32_t index) {
    return windowCode(engineBoard, direction, index);
}

// The 21 cells from ten steps before the cell to ten after it in direction d, 2 bits each, the
// farthest back in bits 0 and 1: the windows of the cell and of the ten cells around it on the
// line in one read, the window of cell j - 5 steps away being bits 2j .. 2j + 21. Positions before
// the start of the string (only windows centred off the board reach them) read as 0.
inline uint64_t lineSegment(const EngineBoard& b, int32_t direction, int32_t index) {
    const int32_t p = b.linePos[direction][index] - 2 * WindowCentre;
    const uint8_t* line = b.lineStrings[direction].data();
    uint64_t word;
    if (p >= 0) {
        std::memcpy(&word, line + (p >> 2), sizeof word);
        return word >> (2 * (p & 3));
    }
    std::memcpy(&word, line, sizeof word);
    return word << (-2 * p);
}

inline int32_t cellIndex(int32_t x, int32_t y) {
    return x + y * engineBoard.width;
}

inline bool onBoard(int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && x < engineBoard.width && y < engineBoard.height;
}

}  // namespace velka::board
