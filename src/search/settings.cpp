#include "search/settings.h"

namespace velka::search {

ManagerSettings settings;

patterns::RuleVariant currentRuleVariant() {
    const int32_t rule = readSetting(settings.rule);
    if ((rule & 4) != 0) return patterns::RuleVariant::Renju;
    if ((rule & 1) != 0) return patterns::RuleVariant::ExactFive;
    return patterns::RuleVariant::Freestyle;
}

}  // namespace velka::search
