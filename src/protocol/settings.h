// ManagerSettings: the values that INFO sets. Written by the main thread at any time, read by
// the ThinkThread during a think, hence atomics (relaxed is enough: each value stands alone).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "patterns/pattern_table.h"

namespace velka::protocol {

inline constexpr int32_t FolderCapacity = 260;  // 259 characters and the terminator
inline constexpr int32_t NoMatchClock = 2147483647;

struct ManagerSettings {
    std::atomic<int32_t> timeout_turn{5000};
    std::atomic<int32_t> timeout_match{120000};
    std::atomic<int32_t> max_memory{367001600};
    std::atomic<int32_t> time_left{120000};
    std::atomic<int32_t> game_type{0};
    std::atomic<int32_t> rule{0};
    std::array<char, FolderCapacity> folder{};  // stored only; main thread alone touches it
};

extern ManagerSettings settings;

inline int32_t readSetting(const std::atomic<int32_t>& value) {
    return value.load(std::memory_order_relaxed);
}

// Renju when bit 4 is set, else exact five when bit 1 is set, else freestyle.
patterns::RuleVariant currentRuleVariant();

}  // namespace velka::protocol
