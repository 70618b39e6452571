// The protocol front end's pieces that the manager cannot see one by one (the process tests check
// every answer): keyword matching, argument reading, INFO, line reading and formatting, events.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "protocol/commands.h"
#include "protocol/event.h"
#include "protocol/output.h"
#include "protocol/settings.h"

namespace velka::protocol {
namespace {

// The engine's state for the INFO tests: no think runs and no board is set up, so nothing here
// waits for a think or sizes a table.
Game game;
ManagerSettings& settings = game.settings;

// What the manager cannot show: absent words, the twenty-character limit, the keyword's own first
// word.
TEST(MatchKeyword, FirstWordWholeCaseFoldedAndCutAtTwentyCharacters) {
    const std::string twenty = "abcdefghijklmnopqrst";
    EXPECT_TRUE(matchKeyword("\tinfo\ttimeout_turn 5", "INFO"));
    EXPECT_TRUE(matchKeyword((twenty + "uvw").c_str(), twenty.c_str()));
    EXPECT_TRUE(matchKeyword(twenty.c_str(), (twenty + "xyz").c_str()));
    EXPECT_FALSE(matchKeyword((twenty + "uvw").c_str(), "abcdefghijklmnopqrs"));
    EXPECT_TRUE(matchKeyword("timeout_turn", "timeout_turn and more"));
    EXPECT_FALSE(matchKeyword("STAR", "START"));
    EXPECT_FALSE(matchKeyword(nullptr, "START"));
    EXPECT_FALSE(matchKeyword("START", nullptr));
    EXPECT_FALSE(matchKeyword(" \t ", "START"));
    EXPECT_FALSE(matchKeyword("", ""));
}

// Exact values the manager cannot see: signs, the comma rule, 32-bit saturation.
TEST(ScanNumbers, CommaMustFollowTheNumberAndBigNumbersSaturate) {
    const struct {
        const char* line;
        int found;
        int32_t first, second;
    } cases[] = {{"TURN -3,+4", 2, -3, 4},
                 {"TURN 5, 6", 2, 5, 6},
                 {"TURN 5 ,6", 1, 5, 0},
                 {"TURN - 1,1", 0, 0, 0},
                 {"START 99999999999999999999", 1, INT32_MAX, 0},
                 {"START -2147483648", 1, INT32_MIN, 0},
                 {"START -2147483649,0", 2, INT32_MIN, 0}};
    for (const auto& c : cases) {
        int32_t v[2] = {};
        EXPECT_EQ(scanNumbers(c.line, true, v, 2), c.found) << c.line;
        EXPECT_EQ(v[0], c.first) << c.line;
        EXPECT_EQ(v[1], c.second) << c.line;
    }
    int32_t v[3] = {};
    EXPECT_EQ(scanNumbers("7,8,2", false, v, 3), 3);  // a BOARD line has no command word
    EXPECT_EQ(v[2], 2);
    const std::pair<const char*, int32_t> integers[] = {
        {" 42abc", 42}, {"\t-7", -7}, {"+5", 5}, {"- 5", 0}, {"-99999999999", INT32_MIN}};
    for (const auto& [text, value] : integers) EXPECT_EQ(parseInteger(text), value) << text;
}

// A think that runs on the command loop's own thread serves only these lines while it runs:
// what an engine with a ThinkThread answers without waiting for the move.
TEST(AnsweredAtOnce, CommandsThatKeepOffTheBoardUnknownLinesAndParameterErrors) {
    for (const char* line : {"INFO timeout_turn 5", "about", "YXSTOP", "FOO 1", "", "START",
                             "TURN 5", "RECTSTART 5 ,6", "TAKEBACK x", "PLAY 3"})
        EXPECT_TRUE(answeredAtOnce(line)) << line;
    for (const char* line : {"END", "START 15", "TURN 1,2", "BEGIN", "BOARD", "RECTSTART 5,6",
                             "RESTART", "TAKEBACK 1,1", "PLAY 3,3", "FORBID"})
        EXPECT_FALSE(answeredAtOnce(line)) << line;
}

// Leaves the settings changed: nothing else here reads them, and a repeat gives the same result.
TEST(Info, SetsTheNamedSettingOnly) {
    const struct {
        const char* line;
        const std::atomic<int32_t>& setting;
        int32_t value;
    } cases[] = {{"INFO timeout_turn 1000", settings.timeout_turn, 1000},
                 {"info TIMEOUT_MATCH 2000", settings.timeout_match, 2000},
                 {"INFO   max_memory   3000  ignored", settings.max_memory, 3000},
                 {"INFO time_left -5x", settings.time_left, -5},
                 {"INFO game_type 1", settings.game_type, 1},
                 {"INFO rule abc", settings.rule, 0},
                 {"INFO max_memory 99999999999", settings.max_memory, INT32_MAX},
                 {"INFO\tmax_depth\t\t12\r", settings.max_depth, 12},  // any white space
                 {"INFO max_node 5000", settings.max_node, 5000},
                 {"INFO analysis 1", settings.analysis, 1},
                 // A missing value, an unknown key: nothing changes.
                 {"INFO timeout_turn", settings.timeout_turn, 1000},
                 {"INFO timeout_turns 7", settings.timeout_turn, 1000},
                 {"INFO timeout_turn\t ", settings.timeout_turn, 1000}};
    for (const auto& c : cases) {
        handleInfo(game, c.line);
        EXPECT_EQ(readSetting(c.setting), c.value) << c.line;
    }
    EXPECT_EQ(readSetting(settings.timeout_match), 2000);

    handleInfo(game, "INFO folder work dir");
    EXPECT_STREQ(settings.folder.data(), "work");
    const std::string longPath(FolderCapacity + 100, 'p');
    handleInfo(game, ("INFO folder " + longPath).c_str());
    EXPECT_EQ(std::string(settings.folder.data()), longPath.substr(0, FolderCapacity - 1));

    using patterns::RuleVariant;
    const std::pair<int32_t, RuleVariant> rules[] = {
        {0, RuleVariant::Freestyle}, {1, RuleVariant::ExactFive}, {2, RuleVariant::Freestyle},
        {3, RuleVariant::ExactFive}, {4, RuleVariant::Renju},     {5, RuleVariant::Renju},
        {8, RuleVariant::Freestyle}, {-1, RuleVariant::Renju}};
    for (const auto& [rule, variant] : rules) {
        settings.rule = rule;
        EXPECT_EQ(ruleVariant(settings), variant) << "rule " << rule;
    }
}

// Lines read back from a memory stream holding the given bytes; '#' guards the buffer's end.
std::vector<std::string> readAllLines(const std::string& bytes, int capacity) {
    std::vector<std::string> lines;
    std::FILE* input = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
    if (input == nullptr) return {"fmemopen failed"};
    std::vector<char> buffer(static_cast<size_t>(capacity) + 16, '#');
    while (readCommandLine(input, buffer.data(), capacity)) {
        EXPECT_EQ(buffer[static_cast<size_t>(capacity)], '#') << "wrote past the buffer";
        lines.emplace_back(buffer.data());
    }
    std::fclose(input);
    return lines;
}

// The process tests read whole lines; here the cut at a small capacity, where an overrun shows.
TEST(ReadCommandLine, CutsAnOverLongLineAndDropsItsRest) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(readAllLines("abcdefghij\r\nxy\n", 8), (Lines{"abcdefg", "xy"}));
    EXPECT_EQ(readAllLines("abcdefg\r\nxy", 8), (Lines{"abcdefg", "xy"}));  // CR LF past the end
    EXPECT_EQ(readAllLines("abcdef\r\n", 8), (Lines{"abcdef"}));
}

std::string format(size_t capacity, const char* kind, const char* text, ...) {
    std::string out(capacity + 32, '#');
    std::va_list args;
    va_start(args, text);
    const size_t length = formatLine(out.data(), capacity, kind, text, args);
    va_end(args);
    EXPECT_LT(length, capacity);
    EXPECT_EQ(out[length], '\0');
    EXPECT_EQ(out.substr(capacity), std::string(32, '#')) << "wrote past the buffer";
    return out.substr(0, length);
}

// Answers the manager sees are covered by the process tests; here the helper's own edges.
TEST(FormatLine, LineEndsBecomeSpacesAndTextIsCutToFit) {
    EXPECT_EQ(format(LineBufferSize, "MESSAGE", "one\ntwo\r\nthree"), "MESSAGE one two  three");
    EXPECT_EQ(format(4, "ERROR", "bad"), "ERR");
    EXPECT_EQ(format(7, "ERROR", "bad"), "ERROR ");
    EXPECT_EQ(format(1, "", "bad"), "");
}

// One waiter per signal for automatic reset, every waiter until reset for manual reset.
TEST(Event, AutomaticAndManualReset) {
    Event automatic(false, false);
    std::thread waiter([&] { waitEvent(automatic); });
    signalEvent(automatic);
    waiter.join();
    EXPECT_FALSE(automatic.signalled);

    Event manual(true, true);
    waitEvent(manual);
    ASSERT_TRUE(manual.signalled);  // rather than hang in the waits below
    resetEvent(manual);
    std::thread first([&] { waitEvent(manual); });
    std::thread second([&] { waitEvent(manual); });
    signalEvent(manual);
    first.join();
    second.join();
    EXPECT_TRUE(manual.signalled);
}

}  // namespace
}  // namespace velka::protocol
