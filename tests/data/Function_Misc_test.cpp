// The misc built-ins that need no running game: debug text, the overlay flag, memory events,
// the game speed and variables by name on the global object.
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "MiscTestSupport.h"
#include "core/MemLog.h"
#include "core/ObjectBase.h"
#include "core/Timing.h"
#include "core/Variable.h"
#include "graphics/Graphics_Window.h"
#include "support/PrivateXServer.h"

namespace {

TEST_F(MiscTest, ShowDebugMessageWritesTheTextFormOnTheOutputConsole) {
    Run("show_debug_message", {R(2.5)});
    Run("show_debug_message", {R(3)});
    Run("show_debug_message", {R(-0.126)});
    Run("show_debug_message", {S("plain text, 100% as given")});
    Run("show_debug_message", {RValue_Undefined()});
    Run("show_debug_message", {I32(-7)});
    Run("show_debug_message", {I64(1LL << 40)});
    EXPECT_EQ(Output(), "2.50\n3\n-0.13\nplain text, 100% as given\nundefined\n-7\n1099511627776\n");
}

TEST_F(MiscTest, ShowDebugMessageGrowsItsBufferForLongForms) {
    const std::string longText(700, 'x');
    RValue array = RValue_Undefined();
    RValue text = S(longText.c_str());
    RValue_SetElement(&array, &text, 0);
    RValue_Release(&text);
    Run("show_debug_message", {array});
    const std::string out = Output();
    EXPECT_NE(out.find(longText), std::string::npos);
    EXPECT_EQ(out.front(), '{');
    EXPECT_EQ(out.back(), '\n');
}

TEST_F(MiscTest, ShowDebugOverlayFlipsOnlyItsOwnBit) {
    const int32_t saved = g_Switches.debugOverlayFlags;
    g_Switches.debugOverlayFlags = 0x10;
    Run("show_debug_overlay", {R(1)});
    EXPECT_EQ(g_Switches.debugOverlayFlags, 0x12);
    Run("show_debug_overlay", {R(0)});
    EXPECT_EQ(g_Switches.debugOverlayFlags, 0x10);
    g_Switches.debugOverlayFlags = saved;
}

TEST_F(MiscTest, DebugEventLogsTheTextAndDumpsMemoryOnItsPrefix) {
    const std::string folder = std::filesystem::path(g_Switches.outputFile).parent_path();
    const std::string log = folder + "/mem.log";
    const std::string savedDebug = g_Switches.debugOutputFile;
    g_Switches.debugOutputFile = folder + "/debug.txt";
    ASSERT_TRUE(MemLog_Open(log.c_str()));
    struct Case {
        const char* text;
        bool dumps;
    };
    const Case cases[] = {
        {"DumpMemory", true}, {"DumpMe", true}, {"Dump", false}, {"level %d loaded", false}};
    for (const Case& c : cases) {
        std::filesystem::remove(g_Switches.debugOutputFile);
        Run("debug_event", {S(c.text)});
        std::ifstream in(g_Switches.debugOutputFile);
        const std::string debug((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(debug.rfind("Total memory used = ", 0) == 0, c.dumps) << c.text;
    }
    MemLog_Close();
    g_Switches.debugOutputFile = savedDebug;
    std::ifstream in(log, std::ios::binary);
    const std::string records((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Each text is an event record, taken literally ("%d" stays as it is).
    for (const Case& c : cases) {
        const std::string text = c.text;
        std::string record = "EVNT";
        const uint32_t length = static_cast<uint32_t>(text.size());
        record.append(reinterpret_cast<const char*>(&length), 4);
        record += text;
        EXPECT_NE(records.find(record), std::string::npos) << c.text;
    }
}

class GameSpeed : public MiscTest {
protected:
    void SetUp() override {
        MiscTest::SetUp();
        m_saved = g_GameClock;
        g_GameClock = TimingSource();
    }
    void TearDown() override {
        g_GameClock = m_saved;
        MiscTest::TearDown();
    }

private:
    TimingSource m_saved;
};

TEST_F(GameSpeed, SetsTheClockInFramesPerSecondOrMicrosecondsPerFrame) {
    EXPECT_EQ(Real("game_get_speed", {R(0)}), 0.0);  // no target rate yet
    Run("game_set_speed", {R(60), R(0)});
    EXPECT_EQ(g_GameClock.targetRate, 60.0);
    EXPECT_EQ(Real("game_get_speed", {R(0)}), 60.0);
    EXPECT_EQ(Real("game_get_speed", {R(1)}), 1000000.0 / 60.0);
    Run("game_set_speed", {R(20000), R(1)});
    EXPECT_EQ(Real("game_get_speed", {R(0)}), 50.0);
    Run("game_set_speed", {R(30), R(2)});  // an unknown type changes nothing
    EXPECT_EQ(g_GameClock.targetRate, 50.0);
    Run("game_set_speed", {R(0), R(2)});  // 0 stops the target whatever the type
    EXPECT_EQ(g_GameClock.targetRate, 0.0);
    EXPECT_EQ(Real("game_get_speed", {R(1)}), 0.0);
}

TEST_F(GameSpeed, RefusesTimeRunningBackwards) {
    Run("game_set_speed", {R(40), R(0)});
    Run("game_set_speed", {R(-1), R(0)});
    Run("game_set_speed", {R(std::nan("")), R(0)});
    EXPECT_EQ(g_GameClock.targetRate, 40.0);
    EXPECT_EQ(Output(),
              "game_set_speed() - game time can't run backwards\n"
              "game_set_speed() - game time can't run backwards\n");
}

// --- Variables by name on the global object ------------------------------------------------

class GlobalsByName : public MiscTest {
protected:
    void SetUp() override {
        MiscTest::SetUp();
        m_saved = g_GlobalObject;
        // Enough slots for every name the dynamic list hands out in this program.
        g_GlobalObject = PWObjectBase_Alloc(4096, VALUE_UNSET, true);
    }
    void TearDown() override {
        PWObjectBase_Free(g_GlobalObject);
        g_GlobalObject = m_saved;
        MiscTest::TearDown();
    }

private:
    PWObjectBase* m_saved = nullptr;
};

TEST_F(GlobalsByName, SetThenGetRoundTripsWholeValues) {
    EXPECT_EQ(Real("variable_global_exists", {S("misc_score")}), 0.0);
    Run("variable_global_set", {S("misc_score"), R(42)});
    EXPECT_EQ(Real("variable_global_exists", {S("misc_score")}), 1.0);
    EXPECT_EQ(Real("variable_global_get", {S("misc_score")}), 42.0);
    Run("variable_global_set", {S("misc_name"), S("Ada")});
    EXPECT_EQ(Text("variable_global_get", {S("misc_name")}), "Ada");
    // The value is stored as itself, as game code naming global.misc_score would see it.
    const int32_t id = Code_Variable_GetId("misc_score");
    EXPECT_EQ(g_GlobalObject->GetSlot(id - VARIABLE_ID_BASE)->kind, uint32_t(VALUE_REAL));
    // A name nobody set reads as undefined.
    EXPECT_EQ(Run("variable_global_get", {S("misc_never_set")})->Kind(), uint32_t(VALUE_UNDEFINED));
    EXPECT_TRUE(Fatal().empty());
}

TEST_F(GlobalsByName, ElementFormsAddressRowsAndColumns) {
    Run("variable_global_array_set", {S("misc_grid"), R(3), R(7)});
    Run("variable_global_array2_set", {S("misc_grid"), R(2), R(5), R(9)});
    EXPECT_EQ(Real("variable_global_array_get", {S("misc_grid"), R(3)}), 7.0);
    EXPECT_EQ(Real("variable_global_array2_get", {S("misc_grid"), R(2), R(5)}), 9.0);
    EXPECT_EQ(Real("variable_global_array2_get", {S("misc_grid"), R(0), R(3)}), 7.0);
    EXPECT_EQ(Real("variable_global_array_get", {S("misc_grid"), R(31999)}), 0.0);  // read, not there
    EXPECT_TRUE(Reported().empty());
}

TEST_F(GlobalsByName, IndicesOf32000AndAboveAreReportedAndNothingChanges) {
    Run("variable_global_array_set", {S("misc_row"), R(0), R(1)});
    struct Case {
        const char* name;
        std::vector<double> indices;
    };
    const Case cases[] = {{"variable_global_array_get", {32000}},
                          {"variable_global_array2_get", {32000, 0}},
                          {"variable_global_array2_get", {0, 32000}},
                          {"variable_global_array_set", {32000}},
                          {"variable_global_array2_set", {1, 40000}}};
    for (const Case& c : cases) {
        Reported().clear();
        std::vector<RValue> args = {S("misc_row")};
        for (double i : c.indices) args.push_back(R(i));
        if (std::string(c.name).ends_with("_set")) args.push_back(R(5));
        EXPECT_EQ(Run(c.name, std::move(args))->Kind(), uint32_t(VALUE_UNDEFINED)) << c.name;
        EXPECT_EQ(Reported(), std::vector<std::string>{"Array index >= 32000"}) << c.name;
    }
    // Negative indices are passed on and name no element: nothing is written.
    Run("variable_global_array2_set", {S("misc_row"), R(-2147483648.0), R(0), R(5)});
    Run("variable_global_array_set", {S("misc_row"), R(-1), R(5)});
    Run("variable_global_array_set", {S("misc_row"), R(-2147483648.0), R(5)});
    const RValue* row = g_GlobalObject->GetSlot(Code_Variable_GetId("misc_row") - VARIABLE_ID_BASE);
    ASSERT_EQ(row->kind, uint32_t(VALUE_ARRAY));
    EXPECT_EQ(row->arr->rowCount, 1);
    EXPECT_EQ(row->arr->rows[0].length, 1);
    EXPECT_TRUE(Fatal().empty());
}

TEST_F(MiscTest, WindowRowsAnswerPointersAndTheTitleReachesTheWindow) {
    EXPECT_EQ(Run("window_handle")->Kind(), uint32_t(VALUE_PTR));
    EXPECT_EQ(Run("window_device")->Kind(), uint32_t(VALUE_PTR));
    Run("set_application_title", {S("Misc title")});
    EXPECT_STREQ(Window_Get_Caption(), "Misc title");
}

TEST_F(MiscTest, ClipboardTextRoundTripsAndEmptyTextEmptiesIt) {
    PrivateXServer server;
    if (!server.Start()) GTEST_SKIP() << "Xvfb is not available";
    server.Select();
    Run("clipboard_set_text", {S("Grüße, 世界")});
    EXPECT_EQ(Real("clipboard_has_text"), 1.0);
    EXPECT_EQ(Text("clipboard_get_text"), "Grüße, 世界");
    Run("clipboard_set_text", {S("")});
    EXPECT_EQ(Real("clipboard_has_text"), 0.0);
    EXPECT_EQ(Text("clipboard_get_text"), "");
    // Not a text: nothing is touched and the answer is 0.
    Run("clipboard_set_text", {S("kept")});
    RValue nothing = RValue_Undefined();
    nothing.kind = VALUE_OBJECT;  // an object reads as no text, without an error
    nothing.obj = nullptr;
    EXPECT_EQ(Real("clipboard_set_text", {nothing}), 0.0);
    EXPECT_EQ(Text("clipboard_get_text"), "kept");
    EXPECT_TRUE(Fatal().empty());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
