#include "board/spiral.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

using namespace velka::board;

int32_t at(int32_t order, int32_t i) {
    return spiralOrders[order * MaxCells + i];
}

// Read backwards, each order is a walk from its corner: a permutation of the cells in which every
// step goes to a side neighbour and every change of direction turns the same way.
void checkOrders(int32_t width, int32_t height) {
    const int32_t n = width * height;
    const int32_t right = width - 1, bottom = height - 1;
    // {corner x, corner y, first step x, first step y} per order
    const int32_t starts[SpiralOrderCount][4] = {
        {0, 0, 1, 0},       {0, 0, 0, 1},      {right, 0, 0, 1},       {right, 0, -1, 0},
        {0, bottom, 0, -1}, {0, bottom, 1, 0}, {right, bottom, -1, 0}, {right, bottom, 0, -1}};
    for (int32_t t = 0; t < SpiralOrderCount; ++t) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " order " << t);
        std::vector<bool> seen(n, false);
        for (int32_t i = 0; i < n; ++i) {
            ASSERT_TRUE(at(t, i) >= 0 && at(t, i) < n && !seen[at(t, i)]);
            seen[at(t, i)] = true;
        }
        ASSERT_EQ(at(t, n - 1), starts[t][0] + starts[t][1] * width);
        int32_t sx = starts[t][2], sy = starts[t][3];
        for (int32_t k = n - 1; k > 0; --k) {
            const int32_t nx = at(t, k - 1) % width - at(t, k) % width;
            const int32_t ny = at(t, k - 1) / width - at(t, k) / width;
            ASSERT_EQ(std::abs(nx) + std::abs(ny), 1) << "entry " << k;
            if (nx != sx || ny != sy) {  // even orders turn clockwise
                ASSERT_NE(k, n - 1) << "the first step goes the wrong way";
                ASSERT_EQ(nx, t % 2 == 0 ? -sy : sy) << "entry " << k;
                ASSERT_EQ(ny, t % 2 == 0 ? sx : -sx) << "entry " << k;
            }
            sx = nx;
            sy = ny;
        }
        const auto tail = spiralOrders.begin() + t * MaxCells;
        ASSERT_TRUE(std::all_of(tail + n, tail + MaxCells, [](int32_t c) { return c == 0; }));
    }
}

// Every shape, and smaller boards after larger ones (the tail must be cleared).
TEST(SpiralOrders, EverySideLengthGivesSpiralWalks) {
    for (int32_t side = MinSide; side <= MaxSide; ++side) {
        for (int32_t other : {MinSide, MinSide + 1, MinSide + 2, 12, 13, MaxSide, side}) {
            buildSpiralOrders(side, other);
            checkOrders(side, other);
            buildSpiralOrders(other, side);
            checkOrders(other, side);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
