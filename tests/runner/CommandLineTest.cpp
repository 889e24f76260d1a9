#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "core/MemoryManager.h"
#include "base/CommandLine.h"
#include "app/HalvaneM.h"
#include "runner/RunnerTestSupport.h"

namespace {

std::vector<std::string> Tokens() {
    std::vector<std::string> tokens;
    for (int i = 0; i < CommandLine_TokenCount(); ++i) tokens.emplace_back(CommandLine_Token(i));
    return tokens;
}

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        runner_test::ResetSwitches();
        Runner_SetDataFilePath(nullptr);
    }
    void TearDown() override {
        Runner_SetDataFilePath(nullptr);
        CommandLine_Parse("");
        runner_test::ResetSwitches();
    }
};

struct ParseCase {
    const char* name;
    const char* dataFileBefore;  // data.win found beside the program, or null
    std::string text;
    std::function<void()> check;
};

TEST_F(CommandLineTest, ParsesOptionsAndTokens) {
    const std::vector<ParseCase> cases = {
        {"quoted path after -game is one token", nullptr, "prog -game \"/my games/a b.win\" next",
         [] {
             EXPECT_EQ(Tokens(), (std::vector<std::string>{"prog", "-game", "/my games/a b.win", "next"}));
             EXPECT_STREQ(Runner_DataFilePath(), "/my games/a b.win");
         }},
        {"quotes inside an option are dropped", nullptr, "prog -de\"\"bug",
         [] { EXPECT_EQ(g_Switches.debugOverlayFlags, 2); }},
        {"-sleepmargin 0 turns the sleep off and locks it", nullptr, "prog -sleepmargin 0",
         [] {
             EXPECT_EQ(g_Switches.sleepMarginMs, 0);
             EXPECT_TRUE(g_Switches.sleepMarginLocked);
         }},
        {"negative -sleepmargin is 0", nullptr, "prog -sleepmargin -7",
         [] { EXPECT_EQ(g_Switches.sleepMarginMs, 0); }},
        {"launch URL with a final slash", nullptr, "prog hvplayer://abc/",
         [] { EXPECT_EQ(g_Switches.launchArg, "abc"); }},
        {"launch token without slashes", nullptr, "prog hvplayer:abc",
         [] {
             EXPECT_EQ(g_Switches.launchArg, "abc");
             EXPECT_EQ(Tokens(), (std::vector<std::string>{"prog", "hvplayer:abc"}));
         }},
        {"-debug after -game does nothing", nullptr, "prog -game x.win -debug",
         [] { EXPECT_EQ(g_Switches.debugOverlayFlags, 0); }},
        {"-debug with data.win beside the program does nothing", "/opt/game/data.win", "prog -debug",
         [] { EXPECT_EQ(g_Switches.debugOverlayFlags, 0); }},
        {"-debug before -game shows the overlay", nullptr, "prog -debug -audiodebug -game x.win",
         [] { EXPECT_EQ(g_Switches.debugOverlayFlags, 0x12); }},
        {"an option at the end takes an empty argument", nullptr, "prog -noaudio -game",
         [] {
             ASSERT_NE(Runner_DataFilePath(), nullptr);
             EXPECT_STREQ(Runner_DataFilePath(), "");
             EXPECT_TRUE(g_Switches.audioOff);
             EXPECT_EQ(Tokens(), (std::vector<std::string>{"prog", "-noaudio", "-game"}));
         }},
        {"-profiledump reads a leading number", nullptr, "prog -profiledump dump.txt 12abc -trace",
         [] {
             EXPECT_TRUE(g_Switches.profileDump);
             EXPECT_EQ(g_Switches.profileDumpFile, "dump.txt");
             EXPECT_EQ(g_Switches.profileDumpSeconds, 12);
             EXPECT_TRUE(g_Switches.trace);
         }},
        {"-profiledump frame count that is no number", nullptr, "prog -profiledump d abc",
         [] { EXPECT_EQ(g_Switches.profileDumpSeconds, 0); }},
        {"-record and -playback share the file slot", nullptr, "prog -record in.rec -playback out.rec",
         [] {
             EXPECT_TRUE(g_Switches.recording);
             EXPECT_TRUE(g_Switches.playback);
             EXPECT_EQ(g_Switches.recordFile, "out.rec");
         }},
        {"locks of the display options", nullptr, "prog -novb -manualvsync",
         [] {
             EXPECT_EQ(g_Switches.vertexBufferMethod, 2);
             EXPECT_TRUE(g_Switches.vertexBufferMethodLocked);
             EXPECT_TRUE(g_Switches.manualVsync);
             EXPECT_TRUE(g_Switches.manualVsyncLocked);
         }},
        {"options compare with case", nullptr, "prog -NOAUDIO -Headless",
         [] {
             EXPECT_FALSE(g_Switches.audioOff);
             EXPECT_FALSE(g_Switches.headless);
         }},
        {"tabs and control characters separate", nullptr, "prog\t-noaudio\x01-trace\r\n",
         [] {
             EXPECT_TRUE(g_Switches.audioOff);
             EXPECT_TRUE(g_Switches.trace);
             EXPECT_EQ(CommandLine_TokenCount(), 3);
         }},
        {"bytes of UTF-8 characters do not split a token", nullptr, "prog -game caf\xC3\xA9\xC2\xA0x.win",
         [] { EXPECT_STREQ(Runner_DataFilePath(), "caf\xC3\xA9\xC2\xA0x.win"); }},
        {"an empty quoted argument is a token", nullptr, "prog \"\" -exit \"\"",
         [] {
             EXPECT_EQ(Tokens(), (std::vector<std::string>{"prog", "", "-exit", ""}));
             EXPECT_EQ(g_Switches.exitGame, "");
         }},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Runner_SetDataFilePath(c.dataFileBefore);
        CommandLine_Parse(c.text.c_str());
        c.check();
    }
}

TEST_F(CommandLineTest, EachParseResetsTheTurnSwitches) {
    CommandLine_Parse(
        "prog -ext -noaudio -oldexec -inawindow -record r.rec -playback p.rec -debug -audiodebug");
    ASSERT_TRUE(g_Switches.externalCallsOff && g_Switches.audioOff && g_Switches.recording);
    CommandLine_Parse("prog");
    EXPECT_FALSE(g_Switches.externalCallsOff);
    EXPECT_FALSE(g_Switches.audioOff);
    EXPECT_FALSE(g_Switches.codeExecutionOff);
    EXPECT_FALSE(g_Switches.windowedOverride);
    EXPECT_FALSE(g_Switches.recording);
    EXPECT_FALSE(g_Switches.playback);
    EXPECT_EQ(g_Switches.debugOverlayFlags, 0);

    // A null text resets but keeps the tokens; an empty one empties them.
    CommandLine_Parse("prog -noaudio");
    CommandLine_Parse(nullptr);
    EXPECT_FALSE(g_Switches.audioOff);
    EXPECT_EQ(CommandLine_TokenCount(), 2);
    CommandLine_Parse("");
    EXPECT_EQ(CommandLine_TokenCount(), 0);
}

TEST_F(CommandLineTest, OptionsPastTheHundredthTokenStillAct) {
    std::string text = "prog";
    for (int i = 0; i < 120; ++i) text += " t" + std::to_string(i);
    text += " -noaudio -game late.win";
    CommandLine_Parse(text.c_str());
    EXPECT_EQ(CommandLine_TokenCount(), kCommandLineMaxTokens);
    EXPECT_STREQ(CommandLine_Token(99), "t98");
    EXPECT_EQ(CommandLine_Token(100), nullptr);
    EXPECT_TRUE(g_Switches.audioOff);
    EXPECT_STREQ(Runner_DataFilePath(), "late.win");
}

TEST_F(CommandLineTest, OverlongTokensAreCutOnACharacterBoundary) {
    std::string accents;
    for (int i = 0; i < 3000; ++i) accents += "\xC3\xA9";  // 6000 bytes of two-byte characters
    CommandLine_Parse(("prog -game " + accents + " -trace").c_str());
    const std::string kept = Runner_DataFilePath();
    EXPECT_EQ(kept.size(), 4094u);
    EXPECT_EQ(kept, accents.substr(0, 4094));
    EXPECT_TRUE(g_Switches.trace);

    CommandLine_Parse(("prog " + std::string(5000, 'a') + " -noaudio").c_str());
    EXPECT_EQ(std::string(CommandLine_Token(1)), std::string(4095, 'a'));
    EXPECT_TRUE(g_Switches.audioOff);
}

TEST_F(CommandLineTest, NextTokenReturnsThePositionAfterTheToken) {
    CommandLine_Parse("");
    const char* text = "  ab  \"c d\"e  ";
    size_t position = CommandLine_NextToken(0, text);
    EXPECT_EQ(position, 4u);
    EXPECT_STREQ(CommandLine_CurrentToken(), "ab");
    position = CommandLine_NextToken(position, text);
    EXPECT_EQ(position, 12u);
    EXPECT_STREQ(CommandLine_CurrentToken(), "c de");
    position = CommandLine_NextToken(position, text);
    EXPECT_EQ(position, 14u);
    EXPECT_STREQ(CommandLine_CurrentToken(), "");
    EXPECT_EQ(CommandLine_NextToken(3, nullptr), 3u);
    EXPECT_EQ(Tokens(), (std::vector<std::string>{"ab", "c de"}));
}

TEST_F(CommandLineTest, ArgumentsBecomeOneCommandLineText) {
    char prog[] = "/usr/bin/halvane-runner", blank[] = "my game.win", empty[] = "", quote[] = "x\"y",
         plain[] = "-headless";
    char* argv[] = {prog, blank, empty, quote, plain};
    char* text = Runner_CommandLineFromArgs(5, argv);
    EXPECT_STREQ(text, "/usr/bin/halvane-runner \"my game.win\" \"\" xy -headless");
    CommandLine_Parse(text);
    EXPECT_EQ(Tokens(),
              (std::vector<std::string>{"/usr/bin/halvane-runner", "my game.win", "", "xy", "-headless"}));
    MEM_FREE(text);
}

TEST(CommandLineReadInt, ReadsLeadingDecimalIntegers) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {{"12abc", 12},
                 {"abc", 0},
                 {"", 0},
                 {" -5", -5},
                 {"+7", 7},
                 {"99999999999", INT32_MAX},
                 {"-99999999999", INT32_MIN}};
    for (const auto& c : cases) EXPECT_EQ(CommandLine_ReadInt(c.text), c.value) << c.text;
}

TEST(ChooseGameFile, AnswersNoneWhenHeadless) {
    runner_test::ResetSwitches();
    g_Switches.headless = true;
    EXPECT_EQ(Runner_ChooseGameFile(), nullptr);
    runner_test::ResetSwitches();
}

}  // namespace
