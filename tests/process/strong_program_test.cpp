// pbrain-velka-strong as a manager starts it: the program answers as velka does and thinks with
// the strong search from its first move, exactly as pbrain-velka does after INFO strong 1; INFO
// strong 0 gives it the main search back, and INFO strong 1 the strong search again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "engine_process.h"

namespace velka::testing {
namespace {

// pbrain-velka, the program with the main search on from the start, in the same suite run
// (VELKA_ENGINE names it where VELKA_STRONG_ENGINE names the strong one).
std::unique_ptr<EngineProcess> startDefaultProgram() {
    setenv("VELKA_STRONG", "0", 1);
    auto engine = std::make_unique<EngineProcess>();
    setenv("VELKA_STRONG", "1", 1);
    return engine;
}

// The think's analysis lines at a fixed depth, with the figures that depend on the clock (speed
// and time) taken out, and its move last: what the search did, node for node.
std::vector<std::string> fixedDepthThink(EngineProcess& engine) {
    expectAnswers(engine, {"START 20 => OK"});
    Referee(20, 20).sendBoard(engine, QuietOwn, QuietOpponent);
    const std::regex clockFigures(" nps [0-9]+ time [0-9]+");
    std::vector<std::string> lines;
    for (std::string line = engine.answer();; line = engine.answer()) {
        lines.push_back(std::regex_replace(line, clockFigures, ""));
        if (line.rfind("MESSAGE", 0) != 0) break;
    }
    EXPECT_GE(lines.size(), 5u) << "four analysis lines and the move";
    EXPECT_TRUE(parseMove(lines.back())) << lines.back();
    return lines;
}

TEST(StrongProgram, ThinksWithTheStrongSearchUntilInfoStrongZero) {
    ASSERT_TRUE(strongEngine()) << "run with VELKA_STRONG=1, as ctest does";
    EngineProcess strong;
    ASSERT_TRUE(strong.running()) << "cannot start " << engineCommand();
    const std::unique_ptr<EngineProcess> started = startDefaultProgram();
    EngineProcess& plain = *started;
    ASSERT_TRUE(plain.running()) << "cannot start the default program";
    const std::vector<std::string> settings = {"INFO analysis 1", "INFO max_depth 4",
                                               "INFO timeout_turn 30000", "ABOUT"};
    for (EngineProcess* engine : {&strong, &plain}) {
        expectAnswers(*engine, settings);
        EXPECT_EQ(engine->answer().rfind("name=\"velka\", ", 0), 0u);
    }
    const std::vector<std::string> asStarted = fixedDepthThink(strong);
    const std::vector<std::string> mainSearch = fixedDepthThink(plain);
    // The two searches differ on this position, from their first line on.
    ASSERT_NE(asStarted.front(), mainSearch.front());
    expectAnswers(plain, {"INFO strong 1"});
    EXPECT_EQ(fixedDepthThink(plain), asStarted);
    expectAnswers(strong, {"INFO strong 0"});
    EXPECT_EQ(fixedDepthThink(strong), mainSearch);
    expectAnswers(strong, {"INFO strong 1"});
    EXPECT_EQ(fixedDepthThink(strong), asStarted);
    endEngine(strong);
    endEngine(plain);
}

}  // namespace
}  // namespace velka::testing
