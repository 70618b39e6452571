#include "search/candidates.h"

namespace velka::search {

namespace {

struct Offset {
    int8_t dx, dy;
};

// The 5 x 5 square around a cell and the eight cells three steps away along the four lines:
// a root move is considered only with a stone this close.
//
//   X . . X . . X
//   . X X X X X .
//   . X X X X X .
//   X X X o X X X
//   . X X X X X .
//   . X X X X X .
//   X . . X . . X
constexpr std::array<Offset, 32> NearbyShape = {{
    {-3, -3}, {0, -3},  {3, -3},                            //
    {-2, -2}, {-1, -2}, {0, -2}, {1, -2}, {2, -2},          //
    {-2, -1}, {-1, -1}, {0, -1}, {1, -1}, {2, -1},          //
    {-3, 0},  {-2, 0},  {-1, 0}, {1, 0},  {2, 0},  {3, 0},  //
    {-2, 1},  {-1, 1},  {0, 1},  {1, 1},  {2, 1},           //
    {-2, 2},  {-1, 2},  {0, 2},  {1, 2},  {2, 2},           //
    {-3, 3},  {0, 3},   {3, 3},                             //
}};

// The root looks further out than the inner candidates, so it ranks its own cells.
uint32_t rootKey(const SearchBoard& sb, int32_t cell, int32_t side) {
    const int32_t mine = moveValue(sb, side, sb.quads[side - 1][cell]);
    const int32_t theirs = moveValue(sb, side ^ 3, sb.quads[2 - side][cell]);
    const int16_t rank = candidateRank(mine, theirs);
    return rank == 0 ? 0 : candidateKey(rank, cell);
}

}  // namespace

bool hasNearbyStone(const board::EngineBoard& b, int32_t cell) {
    if (b.cells[cell] != board::CellEmpty) return false;
    const int32_t x = cell % b.width;
    const int32_t y = cell / b.width;
    for (const Offset& o : NearbyShape) {
        const int32_t nx = x + o.dx;
        const int32_t ny = y + o.dy;
        if (nx >= 0 && nx < b.width && ny >= 0 && ny < b.height &&
            b.cells[nx + ny * b.width] != board::CellEmpty) {
            return true;
        }
    }
    return false;
}

int32_t rootCandidates(SearchBoard& sb, const ScanArea& area, int32_t side, int32_t* out) {
    const board::EngineBoard& b = sb.board;
    BestKeys<RootCandidateCapacity> best;
    for (int32_t y = area.y0; y <= area.y1; ++y) {
        for (int32_t s = y * b.width + area.x0; s <= y * b.width + area.x1; ++s) {
            if (!hasNearbyStone(b, s)) continue;
            if (sb.stale[s] != 0) refreshShapes(sb, s);
            best.offer(rootKey(sb, s, side));
        }
    }
    if (best.keys[0] >> CandidateCellBits >= static_cast<uint32_t>(FourRank)) {
        out[0] = keyCell(best.keys[0]);
        return 1;
    }
    int32_t count = 0;
    for (; count < RootCandidateCapacity && best.keys[count] != 0; ++count) {
        out[count] = keyCell(best.keys[count]);
    }
    return count;
}

}  // namespace velka::search
