// Board set-up as START does it (keys, line layout, spiral orders, window offsets), and the
// innermost board operation: a stone placed, its four windows read, and removed again.
#include <cstdint>
#include <string>

#include "bench.h"
#include "board/board.h"
#include "board/random.h"
#include "board/spiral.h"

namespace velka::bench {

namespace {

void setUpBoard(int32_t width, int32_t height) {
    board::initBoard(width, height);
    board::buildSpiralOrders(width, height);
    board::buildWindowOffsets(width);
}

// Every empty cell of a half-filled board gets a stone, its four windows are read, and the stone
// is taken back. Returns a checksum so that the reads cannot be optimised away.
uint32_t placeReadRemoveAll() {
    uint32_t sum = 0;
    for (int32_t i = 0; i < board::engineBoard.cellCount; ++i) {
        if (board::engineBoard.cells[i] != board::CellEmpty) continue;
        board::setCell(i, board::CellOwn);
        for (int32_t d = 0; d < board::DirectionCount; ++d) sum += board::windowCode(d, i);
        board::setCell(i, board::CellEmpty);
    }
    return sum;
}

}  // namespace

void benchBoard(const BenchOptions& options) {
    for (int32_t side : {15, 20, 80}) {
        const double ms = medianMs(options.repetitions, [side] {
            board::seedRandom(board::DefaultRandomSeed);
            setUpBoard(side, side);
        });
        const std::string size = std::to_string(side) + "x" + std::to_string(side);
        report("board set-up " + size, ms, "ms");
    }

    // 80 x 80 with every other cell taken: 3200 empty cells per pass.
    board::seedRandom(board::DefaultRandomSeed);
    setUpBoard(80, 80);
    for (int32_t i = 0; i < board::engineBoard.cellCount; i += 2) {
        board::setCell(i, 1 + (i / 2) % 2);
    }
    constexpr int Passes = 200;
    volatile uint32_t sink = 0;
    const double ms = medianMs(options.repetitions, [&] {
        for (int pass = 0; pass < Passes; ++pass) sink = sink + placeReadRemoveAll();
    });
    const double operations = double{Passes} * (board::engineBoard.cellCount / 2);
    report("place + 4 window reads + remove", ms * 1e6 / operations, "ns");
}

}  // namespace velka::bench
