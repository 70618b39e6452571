// ManagerSettings: the values that INFO sets. The command loop writes them at any time, also during
// a think that reads them, hence atomics (relaxed is enough: each value stands alone).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "patterns/rule_variant.h"

namespace velka::search {

inline constexpr int32_t FolderCapacity = 260;  // 259 characters and the terminator
// time_left (and timeout_match) of this value mean that the match has no clock.
inline constexpr int32_t NoMatchClock = 2147483647;

struct ManagerSettings {
    std::atomic<int32_t> timeout_turn{5000};
    std::atomic<int32_t> timeout_match{120000};
    std::atomic<int32_t> max_memory{367001600};
    std::atomic<int32_t> time_left{120000};
    std::atomic<int32_t> game_type{0};
    std::atomic<int32_t> rule{0};
    // Our own keys; 0 leaves each of them off.
    std::atomic<int32_t> max_node{0};           // nodes of the main search per think
    std::atomic<int32_t> max_depth{0};          // deepest iteration of the main search
    std::atomic<int32_t> analysis{0};           // a MESSAGE line after every iteration
    std::array<char, FolderCapacity> folder{};  // stored only; the command loop alone touches it
};

extern ManagerSettings settings;

inline int32_t readSetting(const std::atomic<int32_t>& value) {
    return value.load(std::memory_order_relaxed);
}

// Renju when bit 4 is set, else exact five when bit 1 is set, else freestyle.
patterns::RuleVariant currentRuleVariant();

}  // namespace velka::search
