// Windows as text for readable tests: 11 cells, cell 0 first, the centre sixth. '.' empty, 'x' a
// stone of colour `own`, 'o' the other colour, '?' off the board. UINT32_MAX when malformed.
#pragma once

#include <cstdint>
#include <string_view>

namespace velka::testing {

inline uint32_t windowFromText(std::string_view text, uint32_t own = 1) {
    if (text.size() != 11) return UINT32_MAX;
    uint32_t code = 0;
    for (uint32_t cell = 0; cell < 11; ++cell) {
        const size_t kind = std::string_view(".xo?").find(text[cell]);
        if (kind == std::string_view::npos) return UINT32_MAX;
        const uint32_t value = kind == 1 ? own : kind == 2 ? own ^ 3 : static_cast<uint32_t>(kind);
        code |= value << (2 * cell);
    }
    return code;
}

}  // namespace velka::testing
