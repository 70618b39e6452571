// Reading the engine's answers the way a manager does: every line checked for its line end,
// moves parsed strictly and tracked on a board of our own.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine_process.h"

namespace velka::testing {

inline constexpr char NoAnswer[] = "<no answer>";

// The next answer line; a missing line is a failure and reads as NoAnswer.
inline std::string answer(EngineProcess& engine, int timeoutMs = 10000) {
    const std::optional<std::string> line = engine.readLine(timeoutMs);
    if (!line) {
        ADD_FAILURE() << "no answer within " << timeoutMs << " ms";
        return NoAnswer;
    }
    // Linux builds end lines in LF alone; a Windows build in text mode writes CR LF.
    EXPECT_EQ(engine.lastLineHadCarriageReturn(), expectCrlf()) << "line end of: " << *line;
    return *line;
}

struct Move {
    int x;
    int y;
};

// "x,y" with two unsigned decimal numbers and nothing else.
inline std::optional<Move> parseMove(const std::string& line) {
    int values[2] = {0, 0};
    size_t p = 0;
    for (int i = 0; i < 2; ++i) {
        if (i == 1) {
            if (p >= line.size() || line[p] != ',') return std::nullopt;
            ++p;
        }
        const size_t start = p;
        while (p < line.size() && line[p] >= '0' && line[p] <= '9' && p - start < 4) {
            values[i] = values[i] * 10 + (line[p] - '0');
            ++p;
        }
        if (p == start) return std::nullopt;
    }
    if (p != line.size()) return std::nullopt;
    return Move{values[0], values[1]};
}

// The test's own record of the position, to check that every engine move is legal.
class TrackedBoard {
  public:
    TrackedBoard(int width, int height)
        : width_(width), height_(height), cells_(static_cast<size_t>(width * height), 0) {}

    int width() const { return width_; }
    int height() const { return height_; }
    bool onBoard(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    int at(int x, int y) const { return cells_[static_cast<size_t>(x + y * width_)]; }
    void set(int x, int y, int who) { cells_[static_cast<size_t>(x + y * width_)] = who; }
    void clear() { cells_.assign(cells_.size(), 0); }
    // The first empty cell in row order from (x, y) on, wrapping round; nullopt when full.
    std::optional<Move> emptyFrom(int x, int y) const {
        const int count = width_ * height_;
        for (int i = 0; i < count; ++i) {
            const int index = (x + y * width_ + i) % count;
            if (cells_[static_cast<size_t>(index)] == 0)
                return Move{index % width_, index / width_};
        }
        return std::nullopt;
    }

  private:
    int width_;
    int height_;
    std::vector<int> cells_;
};

// Reads the engine's move, checks that it is a legal move on the tracked board and records it.
inline std::optional<Move> expectEngineMove(EngineProcess& engine, TrackedBoard& board) {
    const std::string line = answer(engine);
    const std::optional<Move> move = parseMove(line);
    if (!move) {
        ADD_FAILURE() << "expected a move, got: " << line;
        return std::nullopt;
    }
    if (!board.onBoard(move->x, move->y)) {
        ADD_FAILURE() << "move off the " << board.width() << "x" << board.height()
                      << " board: " << line;
        return std::nullopt;
    }
    if (board.at(move->x, move->y) != 0) {
        ADD_FAILURE() << "move on an occupied cell: " << line;
        return std::nullopt;
    }
    board.set(move->x, move->y, 1);
    return move;
}

inline std::string moveText(int x, int y) {
    return std::to_string(x) + "," + std::to_string(y);
}

}  // namespace velka::testing
