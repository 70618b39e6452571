#include "search/candidates.h"

namespace velka::search {

using patterns::ShapeField;

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

// One scratch list per rules.
std::array<CandidateList, 3> candidateLists;

template <CandidateRules R>
int32_t generateWith(CandidateMode mode, int32_t side, int32_t* out, int32_t capacity) {
    CandidateList& list = candidateList(R);
    const ScanArea area = wholeBoard();
    if (mode == CandidateMode::Root) {
        return generateIn<R, CandidateMode::Root>(list, area, side, out, capacity);
    }
    return generateIn<R, CandidateMode::Inner>(list, area, side, out, capacity);
}

}  // namespace

CandidateList& candidateList(CandidateRules rules) {
    return candidateLists[static_cast<size_t>(rules)];
}

bool hasNearbyStone(int32_t cell) {
    const board::EngineBoard& b = board::engineBoard;
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

int32_t generateCandidates(CandidateRules rules, CandidateMode mode, int32_t side, int32_t* out,
                           int32_t capacity) {
    switch (rules) {
        case CandidateRules::Freestyle:
            return generateWith<CandidateRules::Freestyle>(mode, side, out, capacity);
        case CandidateRules::ExactFive:
            return generateWith<CandidateRules::ExactFive>(mode, side, out, capacity);
        case CandidateRules::Renju:
            return generateWith<CandidateRules::Renju>(mode, side, out, capacity);
    }
    return 0;
}

}  // namespace velka::search
