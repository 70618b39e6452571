// Candidate generation: scores nearby empty cells by what a stone of either colour makes there,
// returns them best first, or a single forced cell (own five, the opponent's five point, own
// winning four).
#pragma once

#include <cstdint>

namespace velka::search {

enum class CandidateMode { Root, Inner };
// Which class field and value table a generator reads.
enum class CandidateGenerator { ExactFive, Freestyle, RenjuBlack };

inline constexpr int32_t RootCandidateCapacity = 200;
inline constexpr int32_t InnerCandidateCapacity = 10;

int32_t generateCandidates(CandidateGenerator generator, CandidateMode mode, int32_t side,
                           int32_t* out, int32_t capacity);
// Renju: black (firstPlayer) gets the Renju-black generator, white the freestyle one.
int32_t generateRenjuCandidates(CandidateMode mode, int32_t side, int32_t* out, int32_t capacity);
bool hasNearbyStone(int32_t cell);

}  // namespace velka::search
