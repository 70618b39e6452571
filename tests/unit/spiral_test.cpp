#include "board/spiral.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

using namespace velka::board;

struct Xy {
    int32_t x;
    int32_t y;
};

int32_t at(int32_t order, int32_t i) {
    return spiralOrders[order * MaxCells + i];
}

std::vector<int32_t> indices(int32_t width, std::initializer_list<Xy> cells) {
    std::vector<int32_t> result;
    for (Xy c : cells) result.push_back(c.x + c.y * width);
    return result;
}

std::vector<int32_t> orderPrefix(int32_t order, size_t n) {
    std::vector<int32_t> result;
    for (size_t i = 0; i < n; ++i) result.push_back(at(order, static_cast<int32_t>(i)));
    return result;
}

TEST(SpiralOrders, OddSquareStartsAtTheCentre) {
    buildSpiralOrders(15, 15);
    for (int32_t t = 0; t < SpiralOrderCount; ++t) EXPECT_EQ(at(t, 0), 7 + 7 * 15) << t;
    EXPECT_EQ(orderPrefix(0, 4), indices(15, {{7, 7}, {6, 7}, {6, 8}, {7, 8}}));
}

TEST(SpiralOrders, DefaultBoardFirstCells) {
    buildSpiralOrders(20, 20);
    EXPECT_EQ(orderPrefix(0, 4), indices(20, {{9, 10}, {10, 10}, {10, 9}, {9, 9}}));
    const std::vector<int32_t> firsts =
        indices(20, {{9, 10}, {10, 9}, {9, 9}, {10, 10}, {10, 10}, {9, 9}, {10, 9}, {9, 10}});
    for (int32_t t = 0; t < SpiralOrderCount; ++t) EXPECT_EQ(at(t, 0), firsts[t]) << t;
}

TEST(SpiralOrders, SmallestBoardWholeOrders) {
    buildSpiralOrders(5, 5);
    EXPECT_EQ(orderPrefix(0, 25),
              (std::vector<int32_t>{12, 11, 16, 17, 18, 13, 8, 7, 6, 5, 10, 15, 20,
                                    21, 22, 23, 24, 19, 14, 9, 4, 3, 2, 1,  0}));
    EXPECT_EQ(orderPrefix(1, 25),
              (std::vector<int32_t>{12, 7,  8,  13, 18, 17, 16, 11, 6,  1,  2, 3, 4,
                                    9,  14, 19, 24, 23, 22, 21, 20, 15, 10, 5, 0}));
}

TEST(SpiralOrders, WideBoardCentresDiffer) {
    buildSpiralOrders(8, 5);
    for (int32_t t : {0, 1, 4, 5}) EXPECT_EQ(at(t, 0), 5 + 2 * 8) << t;
    for (int32_t t : {2, 3, 6, 7}) EXPECT_EQ(at(t, 0), 2 + 2 * 8) << t;
    EXPECT_EQ(orderPrefix(0, 4), indices(8, {{5, 2}, {4, 2}, {3, 2}, {2, 2}}));
}

// Read backwards, each order is a walk from its corner: a permutation of the cells in which
// every step goes to a side neighbour and every change of direction turns the same way.
void checkOrders(int32_t width, int32_t height) {
    const int32_t n = width * height;
    const Xy corners[] = {
        {0, 0},          {0, 0},          {width - 1, 0},          {width - 1, 0},
        {0, height - 1}, {0, height - 1}, {width - 1, height - 1}, {width - 1, height - 1}};
    const Xy firstSteps[] = {{1, 0}, {0, 1}, {0, 1}, {-1, 0}, {0, -1}, {1, 0}, {-1, 0}, {0, -1}};
    for (int32_t t = 0; t < SpiralOrderCount; ++t) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " order " << t);
        std::vector<bool> seen(n, false);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t c = at(t, i);
            ASSERT_TRUE(c >= 0 && c < n);
            ASSERT_FALSE(seen[c]);
            seen[c] = true;
        }
        ASSERT_EQ(at(t, n - 1), corners[t].x + corners[t].y * width);
        Xy step{at(t, n - 2) % width - corners[t].x, at(t, n - 2) / width - corners[t].y};
        ASSERT_EQ(step.x, firstSteps[t].x);
        ASSERT_EQ(step.y, firstSteps[t].y);
        const bool clockwise = t % 2 == 0;
        for (int32_t k = n - 2; k > 0; --k) {
            const Xy next{at(t, k - 1) % width - at(t, k) % width,
                          at(t, k - 1) / width - at(t, k) / width};
            ASSERT_EQ(std::abs(next.x) + std::abs(next.y), 1) << "entry " << k;
            if (next.x != step.x || next.y != step.y) {
                const Xy turned = clockwise ? Xy{-step.y, step.x} : Xy{step.y, -step.x};
                ASSERT_EQ(next.x, turned.x) << "entry " << k;
                ASSERT_EQ(next.y, turned.y) << "entry " << k;
            }
            step = next;
        }
        const auto tail = spiralOrders.begin() + t * MaxCells;
        ASSERT_TRUE(std::all_of(tail + n, tail + MaxCells, [](int32_t c) { return c == 0; }));
    }
}

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

TEST(SpiralOrders, ShrinkingClearsTheTail) {
    buildSpiralOrders(80, 80);
    buildSpiralOrders(7, 5);
    checkOrders(7, 5);
}

TEST(SpiralOrders, ChoiceReadsTheChosenOrder) {
    buildSpiralOrders(8, 5);
    chooseSpiralOrder();
    ASSERT_GE(currentSpiral, 0);
    ASSERT_LT(currentSpiral, SpiralOrderCount);
    for (int32_t i = 0; i < 40; ++i) EXPECT_EQ(spiralCell(i), at(currentSpiral, i));
}

}  // namespace
