// ManagerSettings: the values that INFO sets. The command loop writes them at any time, also during
// a think that reads them, hence atomics (relaxed is enough: each value stands alone).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "patterns/rule_variant.h"
#include "search/time_control.h"

namespace velka::protocol {

inline constexpr int32_t FolderCapacity = 260;  // 259 characters and the terminator

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
    std::atomic<int32_t> thread_num{1};         // search threads (clamped when a think starts)
    std::atomic<int32_t> multipv{1};            // the best moves each analysis report lists
    std::atomic<int32_t> strong{0};             // 1: the strong search decides the moves
    std::atomic<int32_t> level{0};              // a weaker level, 1 .. 5; 0: full strength
    std::array<char, FolderCapacity> folder{};  // stored only; the command loop alone touches it
};

inline int32_t readSetting(const std::atomic<int32_t>& value) {
    return value.load(std::memory_order_relaxed);
}

// Renju when bit 4 is set, else exact five when bit 1 is set, else freestyle.
inline patterns::RuleVariant ruleVariant(const ManagerSettings& settings) {
    const int32_t rule = readSetting(settings.rule);
    if ((rule & 4) != 0) return patterns::RuleVariant::Renju;
    if ((rule & 1) != 0) return patterns::RuleVariant::ExactFive;
    return patterns::RuleVariant::Freestyle;
}

inline search::ClockSettings clockSettings(const ManagerSettings& settings) {
    return {readSetting(settings.time_left), readSetting(settings.timeout_turn),
            readSetting(settings.timeout_match)};
}

}  // namespace velka::protocol
