// Windows written as text for readable tests: 11 characters, cell 0 first, the centre sixth.
// '.' empty, 'x' a stone of the given colour, 'o' the other colour, '?' outside the board.
#pragma once

#include <cstdint>
#include <string_view>

namespace velka::testing {

// Returns the WindowCode of `text` with x as colour `own` (1 or 2). Blanks are skipped so that
// windows may be spaced out for reading.
inline uint32_t windowFromText(std::string_view text, uint32_t own = 1) {
    uint32_t code = 0;
    int cell = 0;
    for (char ch : text) {
        uint32_t value = 0;
        switch (ch) {
            case ' ':
                continue;
            case '.':
                value = 0;
                break;
            case 'x':
                value = own;
                break;
            case 'o':
                value = own ^ 3;
                break;
            case '?':
                value = 3;
                break;
            default:
                return UINT32_MAX;
        }
        if (cell > 10) return UINT32_MAX;
        code |= value << (2 * cell);
        ++cell;
    }
    return cell == 11 ? code : UINT32_MAX;
}

}  // namespace velka::testing
