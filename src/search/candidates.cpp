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

// One scratch list per generator.
std::array<CandidateList, 3> candidateLists;

template <ShapeField F, bool Black>
int32_t generateWith(CandidateMode mode, int32_t side, int32_t* out, int32_t capacity) {
    CandidateList& list = candidateList(Black                   ? CandidateGenerator::RenjuBlack
                                        : F == ShapeField::Free ? CandidateGenerator::Freestyle
                                                                : CandidateGenerator::ExactFive);
    const ScanArea area = wholeBoard();
    if (mode == CandidateMode::Root) {
        return generateIn<F, Black, CandidateMode::Root>(list, area, side, out, capacity);
    }
    return generateIn<F, Black, CandidateMode::Inner>(list, area, side, out, capacity);
}

}  // namespace

CandidateList& candidateList(CandidateGenerator generator) {
    return candidateLists[static_cast<size_t>(generator)];
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

int32_t generateCandidates(CandidateGenerator generator, CandidateMode mode, int32_t side,
                           int32_t* out, int32_t capacity) {
    switch (generator) {
        case CandidateGenerator::ExactFive:
            return generateWith<ShapeField::Exact, false>(mode, side, out, capacity);
        case CandidateGenerator::Freestyle:
            return generateWith<ShapeField::Free, false>(mode, side, out, capacity);
        case CandidateGenerator::RenjuBlack:
            return generateWith<ShapeField::Exact, true>(mode, side, out, capacity);
    }
    return 0;
}

int32_t generateRenjuCandidates(CandidateMode mode, int32_t side, int32_t* out, int32_t capacity) {
    const CandidateGenerator generator = side == board::engineBoard.firstPlayer
                                             ? CandidateGenerator::RenjuBlack
                                             : CandidateGenerator::Freestyle;
    return generateCandidates(generator, mode, side, out, capacity);
}

}  // namespace velka::search
