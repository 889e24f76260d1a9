// Start-up, preparation and restart of one turn, the script chunk, and the run-time error
// reporter that start-up installs.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "LoaderTestSupport.h"
#include "RunnerTestSupport.h"
#include "core/Code_Constant.h"
#include "core/Code_Main.h"
#include "core/ObjectBase.h"
#include "core/RuntimeError.h"
#include "core/Script_Main.h"
#include "core/VM.h"
#include "core/Variable.h"
#include "data/Common.h"
#include "base/CommandLine.h"
#include "base/Error_Report.h"
#include "base/GameCode.h"
#include "world/GameLoopServices.h"
#include "app/Halvane.h"
#include "app/HalvaneM.h"

using namespace loadertest;

namespace {

std::string g_log;
void CaptureLog(const char* text) {
    g_log += text;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    const size_t start = text.find(from);
    if (start == std::string::npos) return "<no " + from + ">";
    const size_t end = text.find(to, start);
    return end == std::string::npos ? text.substr(start) : text.substr(start, end + to.size() - start);
}

// A turn's early initialisation with the console captured; the shutdown undoes it.
class StartupTest : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        g_log.clear();
        Console_SetDebuggerSink(CaptureLog);
        ASSERT_TRUE(Runner_EarlyInit());
        g_RunnerExitStatus = 0;
        g_RunnerRunning = 0;
        g_RunnerRestart = 0;
    }
    void TearDown() override {
        Runner_Shutdown();
        Runtime_SetErrorReporter(nullptr);
        Runtime_SetReportHooks(nullptr, nullptr);
        Error_ClearFatalMark();
        g_GameOptions = GameOptions();
        g_RunnerExitStatus = 0;
        g_RunnerRunning = 0;
        g_RunnerRestart = 0;
        NewRoomCode = -1;
        ProcessMessages();
        g_RunnerRunning = 0;
        LoaderTest::TearDown();
    }
    // Loads both passes of a file as start-up does.
    static void Load(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size())));
        ASSERT_TRUE(Form_FirstPass(Form_Base(), Form_Size()));
    }
};

TEST_F(StartupTest, HeaderPassRegistersTheBuiltInsUnderTheirTags) {
    formpack::FormFile file;
    file.header.infoFlags = 0x1000;  // no external calls
    Load(Build(file));
    EXPECT_NE(
        g_log.find("InitHVSFunctions\nHighScore..Game..Math..Graphic..Action..File..Resource..Interaction.."
                   "3D..Particle..Misc..DS..Sound..Physics..Gamepad..Buffers..Networking..Shaders.."
                   "InitPushFunctions...Pell..Fini\n"),
        std::string::npos)
        << g_log;
    EXPECT_TRUE(ExternalsDisabled);
    ExternalsDisabled = false;
}

// Long-running code asks for the pump every few thousand branches; the runner's hook pumps
// only once a short interval has passed since its last pump, so a quit still reaches the loop
// within milliseconds while a tight loop makes no system call per ask.
TEST_F(StartupTest, InterpreterPumpRunsAtMostOncePerIntervalAndStillDeliversAQuit) {
    ASSERT_NE(VM_HookTable.processMessages, nullptr);
    g_RunnerRunning = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    VM_HookTable.processMessages();  // pumps: the interval since the last pump has passed
    Runner_PostQuit();
    VM_HookTable.processMessages();  // asked again at once: no pump, the quit waits
    EXPECT_EQ(g_RunnerRunning, 1);
    const auto start = std::chrono::steady_clock::now();
    while (g_RunnerRunning == 1 && std::chrono::steady_clock::now() - start < std::chrono::seconds(2))
        VM_HookTable.processMessages();
    EXPECT_EQ(g_RunnerRunning, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(StartupTest, ScriptChunkFillsTheTableWithGapsAndDuplicates) {
    formpack::FormFile file;
    formpack::Code code;
    code.entries = {{"gml_Script_a", {0x9D000000u}}, {"gml_Script_b", {0x9D000000u}}};
    file.code = code;
    file.scripts = std::vector<formpack::Script>{{"scr_a", 0}, {"", 0}, {"scr_a", 1}};
    Load(Build(file));
    ASSERT_TRUE(LoadGameData(Form_Base(), Form_Size()));
    EXPECT_EQ(Script_Count(), 3);
    EXPECT_FALSE(Script_Exists(1));
    EXPECT_EQ(Script_Find("scr_a"), 2);
    EXPECT_EQ(Script_Get(2)->CodeIndex(), 1);
    ASSERT_TRUE(Script_Prepare());
    ASSERT_NE(Script_Get(2)->GetCode(), nullptr);
    EXPECT_STREQ(Script_Get(2)->GetCode()->name, "gml_Script_b");
    int32_t id = 0;
    EXPECT_TRUE(Code_Function_Find("scr_a", &id));  // scripts answer the function lookup
    EXPECT_EQ(id, 100002);
}

TEST_F(StartupTest, GlobalObjectHoldsASlotForEveryVariable) {
    formpack::FormFile file;
    file.header.format = 15;
    formpack::Code code;
    code.entries = {{"gml_Script_a", {0x9D000000u}}};
    code.globalCount = 7;
    code.instanceCount = 4;
    file.code = code;
    Load(Build(file));
    ASSERT_TRUE(LoadGameData(Form_Base(), Form_Size()));
    ASSERT_NE(g_GlobalObject, nullptr);
    EXPECT_EQ(g_GlobalObject->slotCount, 7);
    EXPECT_EQ(g_VariableSettings.instanceSlotCount, 4);
    EXPECT_TRUE(g_VariableSettings.newFormat);
}

TEST_F(StartupTest, ScriptEntryOutsideTheFileFailsTheLoad) {
    formpack::FormFile file;
    file.scripts = std::vector<formpack::Script>{{"scr_a", 0}};
    std::vector<uint8_t> bytes = Build(file);
    WriteU32(bytes, ChunkData(bytes, "SCPT") + 4, 0x7FFFFFF0u);
    Load(bytes);
    EXPECT_FALSE(PrepareGame());
    EXPECT_NE(g_log.find("Failed to load the game\n"), std::string::npos);
    ASSERT_NE(Form_LoadError(), nullptr);
    EXPECT_NE(std::string(Form_LoadError()).find("\"SCPT\""), std::string::npos);
    EXPECT_EQ(Script_Count(), 0);
}

TEST_F(StartupTest, UnknownChunkStopsThePreparation) {
    formpack::FormFile file;
    file.globalInits = std::vector<int32_t>{};
    std::vector<uint8_t> bytes = Build(file);
    std::memcpy(&bytes[ChunkData(bytes, "GLOB") - 8], "ZZZZ", 4);
    Load(bytes);
    EXPECT_FALSE(PrepareGame());
    EXPECT_NE(g_log.find("unknown Chunk ZZZZ"), std::string::npos);
    EXPECT_NE(g_log.find("Failed to load the game\n"), std::string::npos);
    EXPECT_EQ(g_log.find("PrepareGame()\n"), std::string::npos);
}

TEST_F(StartupTest, PreparationLogsEveryStepAndAGameWithoutRoomsEnds) {
    Load(Build(formpack::FormFile()));
    Random_SetSeed(1);
    CRT_SRand(1);
    EXPECT_TRUE(PrepareGame());
    EXPECT_EQ(Random_GetSeed(), 2101988);
    EXPECT_EQ(CRT_Rand(), 15734);  // (2101988 * 214013 + 2531011) >> 16 & 0x7FFF
    // Both consoles reach the capture: the object count line comes from the output console.
    EXPECT_EQ(
        Between(g_log, "PrepareGame()\n", "Run_Start\n"),
        "PrepareGame()\nExtension_Prepare() \nCode_Constant_Prepare() \nScript_Prepare() \n"
        "TimeLine_Prepare() \nObject_Prepare() \nPreparing 0 objects:\nRoom_Prepare() \nSound_Prepare() \n"
        "InitGraphics() \nFinished PrepareGame() \nRun_Start\n");
    EXPECT_NE(g_log.find("No room to start the game in\n"), std::string::npos);
    EXPECT_EQ(g_RunnerRunning, 0);
    EXPECT_EQ(g_RunnerExitStatus, 1);
}

TEST_F(StartupTest, InvalidGameConstantFailsThePreparationWithItsMessage) {
    formpack::FormFile file;
    formpack::Options options;
    options.constants = {{"good", "1"}, {"9bad", "2"}, {"never", "3"}};
    file.options = options;
    Load(Build(file));
    EXPECT_FALSE(PrepareGame());
    EXPECT_NE(g_log.find("Code_Constant_Prepare() \nConstant name 9bad  is not valid.\n"
                         "Failed to define the constants.\n"),
              std::string::npos)
        << g_log;
    EXPECT_EQ(g_log.find("Script_Prepare()"), std::string::npos);
    EXPECT_NE(Code_Constant_Find("good"), nullptr);
    EXPECT_EQ(Code_Constant_Find("never"), nullptr);
}

TEST_F(StartupTest, RestartRunsTheRequestedGameAndThenReturns) {
    g_LoadState.launchedByGame = false;
    Runner_SetPendingGame("/games/second.win", "/games/first.win", "/saves/second/");
    Runner_PrepareRestart();
    EXPECT_STREQ(Runner_CommandLine(), "-game \"/games/second.win\" -exit \"/games/first.win\"");
    EXPECT_EQ(g_RunnerRestart, 1);
    EXPECT_TRUE(g_LoadState.launchedByGame);
    EXPECT_STREQ(GetSavePrePend(), "/saves/second/");

    // The launched game ends: the runner goes back to the first game.
    g_RunnerRestart = 0;
    CommandLine_Parse(Runner_CommandLine());
    EXPECT_EQ(g_Switches.exitGame, "/games/first.win");
    Error_Show("fatal in the launched game", true);
    Runner_PrepareRestart();
    EXPECT_STREQ(Runner_CommandLine(), "-game \"/games/first.win\"");
    EXPECT_EQ(g_RunnerRestart, 1);
    EXPECT_FALSE(g_LoadState.launchedByGame);
    EXPECT_FALSE(Error_FatalShown());
    EXPECT_TRUE(g_Switches.exitGame.empty());
    EXPECT_STREQ(GetSavePrePend(), "");  // computed again for the returning game

    // Nothing more asked for: the restart loop ends.
    g_RunnerRestart = 0;
    Runner_PrepareRestart();
    EXPECT_EQ(g_RunnerRestart, 0);
    Runner_SetCommandLine(nullptr);
}

TEST_F(StartupTest, RuntimeErrorOfALaunchedGameEndsOnlyTheGame) {
    g_LoadState.launchedByGame = true;
    Runtime_Error("bad %s", "value");
    EXPECT_EQ(NewRoomCode, -100);
    EXPECT_NE(std::string(Error_LastText()).find("FATAL ERROR in\n"), std::string::npos);
    EXPECT_NE(std::string(Error_LastText()).find("\nbad value\n"), std::string::npos);
    g_LoadState.launchedByGame = false;
}

TEST_F(StartupTest, RuntimeErrorEndsTheProcessWithStatus1) {
    EXPECT_EXIT(Runtime_Error("bad %d", 1), ::testing::ExitedWithCode(1), "");
}

TEST_F(StartupTest, SuppressedRuntimeErrorOnlySetsTheFlag) {
    const std::string shownBefore = Error_LastText();
    g_RuntimeErrorsSuppressed = true;
    g_RuntimeErrorFlag = false;
    Runtime_Error("watch failed");
    g_RuntimeErrorsSuppressed = false;
    EXPECT_TRUE(g_RuntimeErrorFlag);
    EXPECT_STREQ(Runtime_ErrorText(), "watch failed");
    EXPECT_EQ(Error_LastText(), shownBefore);  // nothing was shown
    g_RuntimeErrorFlag = false;
}

}  // namespace
