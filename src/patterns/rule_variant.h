// The three rule variants. Kept apart from the pattern table so that settings and decisions can
// name a variant without pulling in the table's header.
#pragma once

#include <cstdint>

namespace velka::patterns {

enum class RuleVariant : int32_t { Freestyle = 0, ExactFive = 1, Renju = 2 };

}  // namespace velka::patterns
