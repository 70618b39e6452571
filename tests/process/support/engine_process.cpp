#include "engine_process.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "reference_classifier.h"

namespace velka::testing {

namespace {

bool flagSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// The Renju classification: an overline or two fours in one line is ShapeForbidden.
const std::vector<patterns::PatternEntry>& renjuTable() {
    static const std::vector<patterns::PatternEntry> table = reference::referencePatternTable(true);
    return table;
}

// The four directions of a window, its cell j lying j - 5 steps from the centre.
constexpr std::array<Move, 4> Steps = {Move{1, 0}, Move{0, 1}, Move{-1, 1}, Move{1, 1}};

const char* builtEngine() {
    return strongEngine() ? VELKA_STRONG_ENGINE_PATH : VELKA_ENGINE_PATH;
}

}  // namespace

bool renjuForbidden(std::vector<int>& cells, int width, int height, Move m) {
    const auto cellAt = [&](int d, int j) {
        return Move{m.x + (j - 5) * Steps[d].x, m.y + (j - 5) * Steps[d].y};
    };
    const auto onBoard = [&](Move c) {
        return c.x >= 0 && c.y >= 0 && c.x < width && c.y < height;
    };
    patterns::PatternEntry entries[4];
    int fours = 0;
    int threes = 0;
    for (int d = 0; d < 4; ++d) {
        uint32_t code = 0;
        for (int j = 0; j <= 10; ++j) {
            const Move c = cellAt(d, j);
            code |= static_cast<uint32_t>(onBoard(c) ? cells[c.x + c.y * width] : 3) << (2 * j);
        }
        entries[d] = renjuTable()[code];
        const patterns::ShapeClass shape = exactShape(entries[d]);
        if (shape == patterns::ShapeFive) return false;  // five is never forbidden
        fours += shape == patterns::ShapeOpenFour || shape == patterns::ShapeFour;
        threes += shape == patterns::ShapeThreeA || shape == patterns::ShapeThreeB;
    }
    for (const patterns::PatternEntry& e : entries) {
        if (exactShape(e) == patterns::ShapeForbidden) return true;
    }
    if (fours >= 2) return true;
    if (threes < 2) return false;
    // A three counts when a further black stone on one of its key cells, itself allowed, makes an
    // open four.
    int realThrees = 0;
    for (int d = 0; d < 4; ++d) {
        const patterns::ShapeClass shape = exactShape(entries[d]);
        if (shape != patterns::ShapeThreeA && shape != patterns::ShapeThreeB) continue;
        bool real = false;
        for (const uint8_t key : {firstKeyCell(entries[d]), secondKeyCell(entries[d])}) {
            if (real || key == patterns::NoKeyCell) continue;
            const Move c = cellAt(d, key);
            cells[c.x + c.y * width] = 1;
            real = !renjuForbidden(cells, width, height, c);
            cells[c.x + c.y * width] = 0;
        }
        if (real && ++realThrees == 2) return true;
    }
    return false;
}

std::string engineCommand() {
    const char* command = std::getenv(strongEngine() ? "VELKA_STRONG_ENGINE" : "VELKA_ENGINE");
    return command != nullptr && command[0] != '\0' ? command : builtEngine();
}

bool strongEngine() {
    return flagSet("VELKA_STRONG");
}

bool expectCrlf() {
    return flagSet("VELKA_EXPECT_CRLF");
}

int lateness() {
    return flagSet("VELKA_SANITIZED") ? 5000 : 1000;
}

std::optional<uint64_t> EngineProcess::peakResidentBytes() const {
    if (engineCommand() != builtEngine() || flagSet("VELKA_SANITIZED")) return std::nullopt;
    const std::optional<harness::ResidentMemory> memory = process_.resident();
    if (!memory) return std::nullopt;
    return memory->peakBytes;
}

}  // namespace velka::testing
