#include "board/spiral.h"

#include <ctime>

#include "board/random.h"

namespace velka::board {

std::array<int32_t, SpiralOrderCount * MaxCells> spiralOrders{};
int32_t currentSpiral = 0;

namespace {

struct Step {
    int32_t dx;
    int32_t dy;
};

struct SpiralStart {
    int32_t atRight;   // start column: 0, or width - 1
    int32_t atBottom;  // start row: 0, or height - 1
    Step first;
};

// Even orders turn clockwise with row 0 drawn at the top, odd orders the other way.
constexpr std::array<SpiralStart, SpiralOrderCount> SpiralStarts = {{
    {0, 0, {1, 0}},
    {0, 0, {0, 1}},
    {1, 0, {0, 1}},
    {1, 0, {-1, 0}},
    {0, 1, {0, -1}},
    {0, 1, {1, 0}},
    {1, 1, {-1, 0}},
    {1, 1, {0, -1}},
}};

constexpr Step turn(Step s, bool clockwise) {
    // Clockwise takes +x to +y, +y to -x, -x to -y, -y to +x.
    return clockwise ? Step{-s.dy, s.dx} : Step{s.dy, -s.dx};
}

void walkSpiral(int32_t t, int32_t width, int32_t height) {
    const int32_t cellCount = width * height;
    std::array<bool, MaxCells> visited{};
    const SpiralStart& start = SpiralStarts[t];
    int32_t x = start.atRight ? width - 1 : 0;
    int32_t y = start.atBottom ? height - 1 : 0;
    Step step = start.first;
    const bool clockwise = t % 2 == 0;
    auto free = [&](int32_t nx, int32_t ny) {
        return nx >= 0 && ny >= 0 && nx < width && ny < height && !visited[nx + ny * width];
    };
    int32_t* order = spiralOrders.data() + t * MaxCells;
    for (int32_t k = 0; k < cellCount; ++k) {
        visited[x + y * width] = true;
        order[cellCount - 1 - k] = x + y * width;  // stored reversed: centre first
        if (k + 1 == cellCount) break;
        if (!free(x + step.dx, y + step.dy)) step = turn(step, clockwise);
        x += step.dx;
        y += step.dy;
    }
}

}  // namespace

void buildSpiralOrders(int32_t width, int32_t height) {
    spiralOrders.fill(0);
    for (int32_t t = 0; t < SpiralOrderCount; ++t) walkSpiral(t, width, height);
}

void chooseSpiralOrder() {
    seedRandom(static_cast<uint64_t>(std::time(nullptr)));
    currentSpiral = static_cast<int32_t>(nextRandom() % SpiralOrderCount);
}

}  // namespace velka::board
