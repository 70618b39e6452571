#include "engine_process.h"

#include <cstdlib>
#include <cstring>

namespace velka::testing {

namespace {

bool flagSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

std::string engineCommand() {
    const char* command = std::getenv("VELKA_ENGINE");
    return command != nullptr && command[0] != '\0' ? command : VELKA_ENGINE_PATH;
}

bool expectCrlf() {
    return flagSet("VELKA_EXPECT_CRLF");
}

int lateness() {
    return flagSet("VELKA_SANITIZED") ? 5000 : 1000;
}

std::optional<uint64_t> EngineProcess::peakResidentBytes() const {
    if (engineCommand() != VELKA_ENGINE_PATH || flagSet("VELKA_SANITIZED")) return std::nullopt;
    const std::optional<harness::ResidentMemory> memory = process_.resident();
    if (!memory) return std::nullopt;
    return memory->peakBytes;
}

}  // namespace velka::testing
