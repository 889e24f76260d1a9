#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "io/IniFile.h"
#include "base/CommandLine.h"
#include "app/HalvaneM.h"
#include "base/Options.h"
#include "runner/RunnerTestSupport.h"

namespace {

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        runner_test::ResetSwitches();
        Runner_SetDataFilePath(nullptr);
        g_Switches.headless = true;  // console lines go to the log file only
        g_Switches.debugOutputFile = m_folder.File("console.log");
    }
    void TearDown() override {
        Options_Close();
        Runner_SetDataFilePath(nullptr);
        CommandLine_Parse("");
        runner_test::ResetSwitches();
    }
    std::string Game() const { return m_folder.File("game.win"); }

    runner_test::ScratchFolder m_folder;
};

struct IniCase {
    const char* name;
    const char* commandLine;
    const char* ini;
    std::function<void()> check;
};

TEST_F(OptionsTest, ReadsKeysAndKeepsWhatTheCommandLineLocked) {
    const std::vector<IniCase> cases = {
        {"negative SleepMargin becomes 0", "prog", "[Windows]\nSleepMargin=-5\n",
         [] { EXPECT_EQ(g_Switches.sleepMarginMs, 0); }},
        {"absent keys take their defaults", "prog", "[Windows]\n",
         [] {
             EXPECT_EQ(g_Switches.sleepMarginMs, 10);
             EXPECT_EQ(g_Switches.vertexBufferMethod, 0);
             EXPECT_FALSE(g_Switches.manualVsync);
             EXPECT_TRUE(g_Switches.orientLandscape && g_Switches.orientPortrait);
             EXPECT_TRUE(g_Switches.orientLandscapeFlipped && g_Switches.orientPortraitFlipped);
         }},
        {"unknown VertexBufferMethod leaves the method", "prog", "[Windows]\nVertexBufferMethod=7\n",
         [] { EXPECT_EQ(g_Switches.vertexBufferMethod, 0); }},
        {"Windows section values", "prog",
         "[Windows]\nVertexBufferMethod=2\nAlternateSyncMethod=1\nCreateTexturesOnDemand=1\nSleepMargin=4\n",
         [] {
             EXPECT_EQ(g_Switches.vertexBufferMethod, 2);
             EXPECT_TRUE(g_Switches.manualVsync);
             EXPECT_TRUE(g_Switches.createTexturesOnDemand);
             EXPECT_EQ(g_Switches.sleepMarginMs, 4);
         }},
        {"-multivb locks VertexBufferMethod", "prog -multivb", "[Windows]\nVertexBufferMethod=2\n",
         [] { EXPECT_EQ(g_Switches.vertexBufferMethod, 1); }},
        {"-novb locks VertexBufferMethod", "prog -novb", "[Windows]\nVertexBufferMethod=0\n",
         [] { EXPECT_EQ(g_Switches.vertexBufferMethod, 2); }},
        {"-manualvsync locks AlternateSyncMethod", "prog -manualvsync", "[Windows]\nAlternateSyncMethod=0\n",
         [] { EXPECT_TRUE(g_Switches.manualVsync); }},
        {"-sleepmargin locks SleepMargin", "prog -sleepmargin 3", "[Windows]\nSleepMargin=20\n",
         [] { EXPECT_EQ(g_Switches.sleepMarginMs, 3); }},
        {"DEFAULT section", "prog", "[DEFAULT]\nDebug=1\nTrace=1\nOrientPortrait=0\n",
         [] {
             EXPECT_EQ(g_Switches.debugOverlayFlags, 2);
             EXPECT_TRUE(g_Switches.trace);
             EXPECT_FALSE(g_Switches.orientPortrait);
             EXPECT_TRUE(g_Switches.orientLandscape);
         }},
        {"Debug=0 leaves the overlay flags, Trace=0 clears trace", "prog -audiodebug -trace",
         "[DEFAULT]\nDebug=0\nTrace=0\n",
         [] {
             EXPECT_EQ(g_Switches.debugOverlayFlags, 0x10);
             EXPECT_FALSE(g_Switches.trace);
         }},
        {"keys compare with case", "prog", "[Windows]\nsleepmargin=3\n[windows]\nSleepMargin=4\n",
         [] { EXPECT_EQ(g_Switches.sleepMarginMs, 10); }},
    };
    for (const IniCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CommandLine_Parse(c.commandLine);
        m_folder.Write("options.ini", c.ini);
        Options_LoadForGame(Game().c_str());
        ASSERT_NE(Options_GetIniFile(), nullptr);
        c.check();
    }
}

TEST_F(OptionsTest, LogsTheCheckAndTheFileContents) {
    Options_LoadForGame(Game().c_str());
    EXPECT_EQ(Options_GetIniFile(), nullptr);
    const std::string ini = m_folder.File("options.ini");
    EXPECT_EQ(m_folder.Read("console.log"),
              "Checking if INIFile " + ini + " Exists\n!!!!No INI File " + ini + "\n");

    m_folder.Write("options.ini", "[Windows]\nSleepMargin=5\n");
    Options_LoadForGame(Game().c_str());
    EXPECT_NE(m_folder.Read("console.log").find(ini + " file contents: [Windows]\nSleepMargin=5\n"),
              std::string::npos);
}

TEST(OptionsIniPath, ReplacesTheFileNameBesideTheGame) {
    const struct {
        const char* dataFile;
        const char* ini;
    } cases[] = {{"/a/b/game.win", "/a/b/options.ini"},
                 {"a\\b.win", "a/options.ini"},
                 {"/x/y\\z.win", "/x/options.ini"},
                 {"game.win", ""},
                 {nullptr, ""}};
    for (const auto& c : cases)
        EXPECT_EQ(Options_IniPath(c.dataFile), c.ini) << (c.dataFile ? c.dataFile : "null");
}

TEST(OptionsNullFile, ChangesNothing) {
    runner_test::ResetSwitches();
    g_Switches.sleepMarginMs = 33;
    Options_ReadIni(nullptr);
    Options_ReadWindowsIni(nullptr);
    EXPECT_EQ(g_Switches.sleepMarginMs, 33);
    runner_test::ResetSwitches();
}

}  // namespace
