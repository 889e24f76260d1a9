#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/MemoryManager.h"
#include "platform/HostOS.h"
#include "app/HalvaneM.h"
#include "runner/RunnerTestSupport.h"

namespace fs = std::filesystem;

namespace {

// Runs the test body with the scratch folder as the working folder.
class WorkingFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = fs::current_path();
        fs::current_path(m_folder.Path());
    }
    void TearDown() override { fs::current_path(m_previous); }

    runner_test::ScratchFolder m_folder;
    fs::path m_previous;
};

TEST_F(WorkingFolderTest, AtNamedFilesMoveIntoFoldersUnlessUnsafe) {
    const char* const leftAlone[] = {"..@x.txt",  "a@@b.txt",     "a@.@b.txt",   "@lead.txt",  "trail@",
                                     "plain.txt", ".hid@den.txt", "ro@file.txt", "keep@me.txt"};
    for (const char* name : leftAlone) m_folder.Write(name, name);
    m_folder.Write("levels@easy@map.txt", "map");
    fs::create_directory("keep");
    m_folder.Write("keep/me.txt", "older");
    fs::create_directory("dir@name");
    fs::permissions("ro@file.txt", fs::perms::owner_read | fs::perms::group_read);

    Runner_MoveAtNamedFiles();

    EXPECT_EQ(m_folder.Read("levels/easy/map.txt"), "map");
    EXPECT_FALSE(fs::exists("levels@easy@map.txt"));
    for (const char* name : leftAlone) EXPECT_EQ(m_folder.Read(name), name) << name;
    EXPECT_EQ(m_folder.Read("keep/me.txt"), "older");  // never replaced
    EXPECT_TRUE(fs::is_directory("dir@name"));
    EXPECT_FALSE(fs::exists(m_folder.Path().parent_path() / "x.txt"));
    // A refused name creates none of its folders.
    EXPECT_FALSE(fs::exists("a"));
    EXPECT_FALSE(fs::exists("ro"));
    EXPECT_FALSE(Runner_MoveAtNamedFile("no-at.txt"));
}

TEST(BundleFolder, IsTheDataFileFolderWithASlash) {
    const struct {
        const char* dataFile;
        const char* folder;
    } cases[] = {{"/g/games/x.win", "/g/games/"}, {"/a/b\\c.win", "/a/"}, {"a\\b.win", "a/"}, {"x.win", ""}};
    for (const auto& c : cases) {
        Runner_ClearBundleFolder();
        Runner_SetDataFilePath(c.dataFile);
        EXPECT_STREQ(GetBundleFolder(), c.folder) << c.dataFile;
    }
    Runner_ClearBundleFolder();
    Runner_SetDataFilePath("/a/b/c.win");
    EXPECT_STREQ(GetBundleFolder(), "/a/b/");
    Runner_SetDataFilePath("/other/y.win");
    EXPECT_STREQ(GetBundleFolder(), "/a/b/");  // cached until the end of the turn
    Runner_ClearBundleFolder();
    EXPECT_STREQ(GetBundleFolder(), "/other/");
    Runner_ClearBundleFolder();
    Runner_SetDataFilePath(nullptr);
    EXPECT_STREQ(GetBundleFolder(), "");
}

class SavePrePendTest : public ::testing::Test {
protected:
    void SetUp() override {
        runner_test::ResetSwitches();
        g_Switches.headless = true;
        g_Switches.debugOutputFile = m_folder.File("console.log");
        setenv("XDG_DATA_HOME", m_folder.File("data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_folder.File("config").c_str(), 1);
        Forget();
    }
    void TearDown() override {
        Forget();
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_CONFIG_HOME");
        runner_test::ResetSwitches();
    }
    static void Forget() {
        Runner_SetSavePrePend(nullptr);
        Runner_SetGameName(nullptr);
        Runner_SetSaveFolderRoaming(false);
    }

    runner_test::ScratchFolder m_folder;
};

TEST_F(SavePrePendTest, IsTheUserFolderAndASafeGameName) {
    const struct {
        const char* game;
        bool roaming;
        std::string prefix;
    } cases[] = {
        {"Space Game", false, m_folder.File("data") + "/Space Game/"},
        {"My/Game\\2", false, m_folder.File("data") + "/My_Game_2/"},
        {"..", false, m_folder.File("data") + "/__/"},
        {"a..b", false, m_folder.File("data") + "/a..b/"},
        {"Roamer", true, m_folder.File("config") + "/Roamer/"},
    };
    for (const auto& c : cases) {
        Forget();
        Runner_SetGameName(c.game);
        Runner_SetSaveFolderRoaming(c.roaming);
        EXPECT_EQ(GetSavePrePend(), c.prefix) << c.game;
    }
    EXPECT_NE(m_folder.Read("console.log").find("SavePrePend = " + m_folder.File("config") + "/Roamer/\n"),
              std::string::npos);
}

TEST_F(SavePrePendTest, EmptyWithoutAGameNameAndCachedOnceMade) {
    EXPECT_STREQ(GetSavePrePend(), "");
    Runner_SetGameName("First");
    const std::string first = GetSavePrePend();
    EXPECT_EQ(first, m_folder.File("data") + "/First/");
    Runner_SetGameName("Second");
    EXPECT_EQ(GetSavePrePend(), first);
}

TEST_F(SavePrePendTest, RelativeXdgFolderFallsBackToHome) {
    setenv("XDG_DATA_HOME", "relative/data", 1);
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", m_folder.File("home").c_str(), 1);
    Runner_SetGameName("G");
    EXPECT_EQ(GetSavePrePend(), m_folder.File("home") + "/.local/share/G/");
    if (home)
        setenv("HOME", savedHome.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST(EnvGetVariable, CopiesTheValueOrAnswersNull) {
    setenv("HV_ENTRY_TEST_VAR", "caf\xC3\xA9", 1);
    char* value = Env_GetVariable("HV_ENTRY_TEST_VAR");
    EXPECT_STREQ(value, "caf\xC3\xA9");
    MEM_FREE(value);
    unsetenv("HV_ENTRY_TEST_VAR");
    EXPECT_EQ(Env_GetVariable("HV_ENTRY_TEST_VAR"), nullptr);
}

TEST(ProcessMessages, AQuitClearsTheRunningFlagAndLeavesLaterQuitsQueued) {
    ProcessMessages();  // whatever an earlier test left
    g_RunnerRunning = 1;
    ProcessMessages();
    EXPECT_EQ(g_RunnerRunning, 1);

    Runner_PostQuit();
    Runner_PostQuit();
    ProcessMessages();
    EXPECT_EQ(g_RunnerRunning, 0);
    g_RunnerRunning = 1;
    ProcessMessages();
    EXPECT_EQ(g_RunnerRunning, 0);
    g_RunnerRunning = 1;
    ProcessMessages();
    EXPECT_EQ(g_RunnerRunning, 1);
    g_RunnerRunning = 0;
}

using HeadlessCrashDeathTest = ::testing::Test;

TEST_F(HeadlessCrashDeathTest, CrashesPrintOneLineAndExitWithOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int signal : {SIGSEGV, SIGFPE, SIGABRT}) {
        EXPECT_EXIT(
            {
                dup2(STDERR_FILENO, STDOUT_FILENO);
                HostOS_InstallCrashHandler(Headless_ExceptionFilter);
                raise(signal);
            },
            ::testing::ExitedWithCode(1), "Exception detected during the unit tests!\n$")
            << signal;
    }
}

TEST_F(HeadlessCrashDeathTest, CheckFailurePrintsItsArguments) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);
            Headless_CheckFailure(3, "frame.cpp", 42, "halvane-runner");
        },
        ::testing::ExitedWithCode(1), "Error type 3 at frame.cpp line 42 in halvane-runner$");
}

}  // namespace
