// Pattern table build per rule variant, and the plain test-side build of the same tables in the
// same run, so that the ratio between the two can be quoted.
#include <cstdint>
#include <string>
#include <vector>

#include "../tests/reference/reference_classifier.h"
#include "bench.h"
#include "patterns/pattern_table.h"
#include "patterns/shape_quad.h"

namespace velka::bench {

namespace {

// Keeps the plain build's results alive so that none of its work can be optimised away.
uint64_t referenceChecksum = 0;

void plainBuild(bool lineDoubleFourForbidden) {
    const std::vector<patterns::PatternEntry> table =
        reference::referencePatternTable(lineDoubleFourForbidden);
    std::vector<reference::QuadValues> quads(reference::QuadIndexCount);
    for (uint32_t q = 0; q < reference::QuadIndexCount; ++q) {
        if (reference::quadIndexValid(q)) {
            quads[q] = reference::referenceQuadValues(reference::quadClasses(q));
        }
    }
    referenceChecksum += table[0x155 << 12].exact + quads[0x21].move;
}

}  // namespace

void benchTables(const BenchOptions& options) {
    // The first build in a process also pays for faulting in the 32 MiB table (at start-up the
    // engine pays it too); the medians measure rebuilds.
    const double firstMs =
        medianMs(1, [] { patterns::buildPatternTables(patterns::RuleVariant::Freestyle); });
    report("buildPatternTables first in this process", firstMs, "ms");

    double slowest = 0;
    for (int32_t variant = 0; variant <= 2; ++variant) {
        const auto rule = static_cast<patterns::RuleVariant>(variant);
        const double ms =
            medianMs(options.repetitions, [rule] { patterns::buildPatternTables(rule); });
        report("buildPatternTables variant " + std::to_string(variant), ms, "ms");
        if (ms > slowest) slowest = ms;
    }

    const double plainMs = medianMs(options.repetitions, [] { plainBuild(true); });
    report("plain reference build (test code)", plainMs, "ms");
    report("plain build / slowest buildPatternTables", plainMs / slowest, "x");

    patterns::buildPatternTables(patterns::RuleVariant::Freestyle);
}

}  // namespace velka::bench
