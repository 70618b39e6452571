// The protocol front end's pieces on their own: keyword matching, argument reading, INFO, line
// reading, line formatting and sending, the version text and the events.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
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

TEST(MatchKeyword, MatchesTheFirstWordWholeAndWithoutRegardToCase) {
    EXPECT_TRUE(matchKeyword("start 15", "START"));
    EXPECT_TRUE(matchKeyword("  TURN 7,7", "TURN"));
    EXPECT_TRUE(matchKeyword("\tinfo\ttimeout_turn 5", "INFO"));
    EXPECT_TRUE(matchKeyword("DONE", "done"));
    EXPECT_FALSE(matchKeyword("STARTX", "START"));
    EXPECT_FALSE(matchKeyword("RE START", "START"));
    EXPECT_FALSE(matchKeyword("RESTART", "START"));
    EXPECT_FALSE(matchKeyword("START", "RESTART"));
    EXPECT_FALSE(matchKeyword("STAR", "START"));
}

TEST(MatchKeyword, AbsentOrEmptyNeverMatches) {
    EXPECT_FALSE(matchKeyword(nullptr, "START"));
    EXPECT_FALSE(matchKeyword("START", nullptr));
    EXPECT_FALSE(matchKeyword("", "START"));
    EXPECT_FALSE(matchKeyword(" \t ", "START"));
    EXPECT_FALSE(matchKeyword("", ""));
}

TEST(MatchKeyword, ComparesOnlyTheFirstTwentyCharactersOfAWord) {
    const std::string twenty = "abcdefghijklmnopqrst";
    EXPECT_TRUE(matchKeyword((twenty + "uvw").c_str(), twenty.c_str()));
    EXPECT_TRUE(matchKeyword(twenty.c_str(), (twenty + "xyz").c_str()));
    EXPECT_FALSE(matchKeyword((twenty + "uvw").c_str(), "abcdefghijklmnopqrs"));
    // Only the keyword's first word counts too.
    EXPECT_TRUE(matchKeyword("timeout_turn", "timeout_turn and more"));
}

TEST(ScanNumbers, ReadsCommaSeparatedNumbersAsScanfDoes) {
    int32_t v[3] = {};
    EXPECT_EQ(scanNumbers("START 15", true, v, 1), 1);
    EXPECT_EQ(v[0], 15);
    EXPECT_EQ(scanNumbers("TURN -3,+4", true, v, 2), 2);
    EXPECT_EQ(v[0], -3);
    EXPECT_EQ(v[1], 4);
    EXPECT_EQ(scanNumbers("TURN 5, 6", true, v, 2), 2);
    EXPECT_EQ(v[1], 6);
    EXPECT_EQ(scanNumbers("TURN 5 ,6", true, v, 2), 1);  // the comma must follow the number
    EXPECT_EQ(scanNumbers("TURN 5;6", true, v, 2), 1);
    EXPECT_EQ(scanNumbers("TURN", true, v, 2), 0);
    EXPECT_EQ(scanNumbers("   ", true, v, 2), 0);
    EXPECT_EQ(scanNumbers("TURN x,1", true, v, 2), 0);
    EXPECT_EQ(scanNumbers("TURN - 1,1", true, v, 2), 0);
    EXPECT_EQ(scanNumbers("7,8,2", false, v, 3), 3);
    EXPECT_EQ(v[0], 7);
    EXPECT_EQ(v[2], 2);
    EXPECT_EQ(scanNumbers("7,8", false, v, 3), 2);
    EXPECT_EQ(scanNumbers("END", false, v, 3), 0);
    // Numbers beyond 32 bits saturate rather than wrap.
    EXPECT_EQ(scanNumbers("START 99999999999999999999", true, v, 1), 1);
    EXPECT_EQ(v[0], INT32_MAX);
    EXPECT_EQ(scanNumbers("START -2147483648", true, v, 1), 1);
    EXPECT_EQ(v[0], INT32_MIN);
    EXPECT_EQ(scanNumbers("START -2147483649", true, v, 1), 1);
    EXPECT_EQ(v[0], INT32_MIN);
}

TEST(ParseInteger, ReadsAsAtoiWithoutOverflow) {
    EXPECT_EQ(parseInteger(" 42abc"), 42);
    EXPECT_EQ(parseInteger("\t-7"), -7);
    EXPECT_EQ(parseInteger("+5"), 5);
    EXPECT_EQ(parseInteger("abc"), 0);
    EXPECT_EQ(parseInteger("- 5"), 0);
    EXPECT_EQ(parseInteger(""), 0);
    EXPECT_EQ(parseInteger("2147483647"), INT32_MAX);
    EXPECT_EQ(parseInteger("2147483648"), INT32_MAX);
    EXPECT_EQ(parseInteger("-99999999999"), INT32_MIN);
}

class InfoTest : public ::testing::Test {
  protected:
    void TearDown() override {
        settings.timeout_turn = 5000;
        settings.timeout_match = 120000;
        settings.max_memory = 367001600;
        settings.time_left = 120000;
        settings.game_type = 0;
        settings.rule = 0;
        settings.folder[0] = '\0';
    }
};

TEST_F(InfoTest, SetsTheNamedSettingOnly) {
    handleInfo("INFO timeout_turn 1000");
    EXPECT_EQ(readSetting(settings.timeout_turn), 1000);
    handleInfo("info TIMEOUT_MATCH 2000");
    EXPECT_EQ(readSetting(settings.timeout_match), 2000);
    handleInfo("INFO   max_memory   3000  ignored");
    EXPECT_EQ(readSetting(settings.max_memory), 3000);
    handleInfo("INFO time_left -5x");
    EXPECT_EQ(readSetting(settings.time_left), -5);
    handleInfo("INFO game_type 1");
    EXPECT_EQ(readSetting(settings.game_type), 1);
    handleInfo("INFO rule abc");
    EXPECT_EQ(readSetting(settings.rule), 0);
    handleInfo("INFO max_memory 99999999999");
    EXPECT_EQ(readSetting(settings.max_memory), INT32_MAX);
    EXPECT_EQ(readSetting(settings.timeout_turn), 1000);
}

TEST_F(InfoTest, MissingKeyOrValueOrUnknownKeyChangesNothing) {
    handleInfo("INFO timeout_turn");
    handleInfo("INFO timeout_turn   ");
    handleInfo("INFO");
    handleInfo("INFO timeout_turns 7");
    handleInfo("INFO timeout_turn\t7");  // a tab does not separate the value
    EXPECT_EQ(readSetting(settings.timeout_turn), 5000);
}

TEST_F(InfoTest, FolderKeepsTheFirstPieceCutToCapacity) {
    handleInfo("INFO folder work dir");
    EXPECT_STREQ(settings.folder.data(), "work");
    const std::string longPath(FolderCapacity + 100, 'p');
    handleInfo(("INFO folder " + longPath).c_str());
    EXPECT_EQ(std::string(settings.folder.data()), longPath.substr(0, FolderCapacity - 1));
}

TEST_F(InfoTest, RuleBitsGiveTheVariant) {
    const std::pair<int32_t, patterns::RuleVariant> cases[] = {
        {0, patterns::RuleVariant::Freestyle}, {1, patterns::RuleVariant::ExactFive},
        {2, patterns::RuleVariant::Freestyle}, {3, patterns::RuleVariant::ExactFive},
        {4, patterns::RuleVariant::Renju},     {5, patterns::RuleVariant::Renju},
        {8, patterns::RuleVariant::Freestyle}, {-1, patterns::RuleVariant::Renju},
    };
    for (const auto& [rule, variant] : cases) {
        settings.rule = rule;
        EXPECT_EQ(currentRuleVariant(), variant) << "rule " << rule;
    }
}

// Lines read back from a memory stream holding the given bytes.
std::vector<std::string> readAllLines(const std::string& bytes, int capacity) {
    std::vector<std::string> lines;
    std::FILE* input = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
    EXPECT_NE(input, nullptr);
    if (input == nullptr) return lines;
    std::vector<char> buffer(static_cast<size_t>(capacity) + 16, '#');
    while (readCommandLine(input, buffer.data(), capacity)) {
        EXPECT_EQ(buffer[static_cast<size_t>(capacity)], '#') << "wrote past the buffer";
        lines.emplace_back(buffer.data());
    }
    std::fclose(input);
    return lines;
}

TEST(ReadCommandLine, StripsLfAndCrLfAndKeepsALastLineWithoutEnd) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(readAllLines("START 15\nTURN 7,7\r\nlast", LineCapacity),
              (Lines{"START 15", "TURN 7,7", "last"}));
    EXPECT_EQ(readAllLines("\n\r\n", LineCapacity), (Lines{"", ""}));
    EXPECT_EQ(readAllLines("a\rb\r\n", LineCapacity), (Lines{"a\rb"}));
    EXPECT_EQ(readAllLines("", LineCapacity), Lines{});
}

TEST(ReadCommandLine, CutsAnOverLongLineAndDropsItsRest) {
    using Lines = std::vector<std::string>;
    const std::string longLine(1500, 'a');
    EXPECT_EQ(readAllLines(longLine + "\nNEXT\n", LineCapacity),
              (Lines{std::string(LineCapacity - 1, 'a'), "NEXT"}));
    EXPECT_EQ(readAllLines("abcdefghij\r\nxy\n", 8), (Lines{"abcdefg", "xy"}));
    // Exactly full, with the CR LF beyond the limit.
    EXPECT_EQ(readAllLines("abcdefg\r\nxy", 8), (Lines{"abcdefg", "xy"}));
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

TEST(FormatLine, PutsTheKindWordAndOneSpaceBeforeTheText) {
    EXPECT_EQ(format(LineBufferSize, "", "OK"), "OK");
    EXPECT_EQ(format(LineBufferSize, "", "%d,%d", 7, 9), "7,9");
    EXPECT_EQ(format(LineBufferSize, "ERROR", "size of the board"), "ERROR size of the board");
    EXPECT_EQ(format(LineBufferSize, "ERROR", "Maximal board size is %d", 80),
              "ERROR Maximal board size is 80");
    EXPECT_EQ(format(LineBufferSize, "UNKNOWN", "%s", ""), "UNKNOWN ");
}

TEST(FormatLine, TurnsCarriageReturnsAndLineFeedsIntoSpaces) {
    EXPECT_EQ(format(LineBufferSize, "UNKNOWN", "%s", "FOO\r"), "UNKNOWN FOO ");
    EXPECT_EQ(format(LineBufferSize, "MESSAGE", "one\ntwo\r\nthree"), "MESSAGE one two  three");
}

TEST(FormatLine, CutsTextThatDoesNotFit) {
    const std::string line(LineCapacity - 1, 'x');
    EXPECT_EQ(format(LineBufferSize, "UNKNOWN", "%s", line.c_str()),
              "UNKNOWN " + std::string(LineBufferSize - 9, 'x'));
    EXPECT_EQ(format(4, "ERROR", "bad"), "ERR");
    EXPECT_EQ(format(7, "ERROR", "bad"), "ERROR ");
    EXPECT_EQ(format(1, "", "bad"), "");
}

// Captures what the send operations write.
class SendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        capture = std::tmpfile();
        ASSERT_NE(capture, nullptr);
        setOutputStream(capture);
    }
    void TearDown() override {
        setOutputStream(nullptr);
        std::fclose(capture);
    }
    std::string written() {
        std::fflush(capture);
        std::string text;
        std::rewind(capture);
        char chunk[512];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, capture)) > 0) text.append(chunk, got);
        return text;
    }
    std::FILE* capture = nullptr;
};

TEST_F(SendTest, EveryLineEndsInOneLineEnd) {
    sendPlain("OK");
    sendError("size of the board");
    sendUnknown("%s", "FOO\r");
    sendMessage("a\nb");
    sendPlain("%d,%d", 3, 4);
    EXPECT_EQ(written(), "OK\nERROR size of the board\nUNKNOWN FOO \nMESSAGE a b\n3,4\n");
}

TEST(BuildVersion, GivesAValidDateAsEightDigits) {
    char version[10];
    buildVersion(version, sizeof version);
    ASSERT_EQ(std::strlen(version), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(version[i] >= '0' && version[i] <= '9') << version;
    const int year = std::atoi(std::string(version, 4).c_str());
    const int month = std::atoi(std::string(version + 4, 2).c_str());
    const int day = std::atoi(std::string(version + 6, 2).c_str());
    EXPECT_GE(year, 2024);
    // A real calendar date survives normalisation unchanged (no 31 February).
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_hour = 12;
    date.tm_isdst = -1;
    std::mktime(&date);
    EXPECT_EQ(date.tm_year, year - 1900);
    EXPECT_EQ(date.tm_mon, month - 1);
    EXPECT_EQ(date.tm_mday, day);
    // The compiler's build date names the same month.
    constexpr char Months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    EXPECT_EQ(std::string(Months + 3 * (month - 1), 3), std::string(__DATE__, 3));
}

TEST(Event, AutomaticResetLetsOneWaiterThroughPerSignal) {
    Event event(false, false);
    signalEvent(event);
    waitEvent(event);
    EXPECT_FALSE(event.signalled);
    std::atomic<int> passed{0};
    std::thread waiter([&] {
        waitEvent(event);
        passed = 1;
    });
    signalEvent(event);
    waiter.join();
    EXPECT_EQ(passed, 1);
    EXPECT_FALSE(event.signalled);
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    Event event(true, true);
    waitEvent(event);
    waitEvent(event);
    EXPECT_TRUE(event.signalled);
    resetEvent(event);
    std::atomic<int> passed{0};
    std::thread first([&] {
        waitEvent(event);
        ++passed;
    });
    std::thread second([&] {
        waitEvent(event);
        ++passed;
    });
    signalEvent(event);
    first.join();
    second.join();
    EXPECT_EQ(passed, 2);
}

}  // namespace
}  // namespace velka::protocol
