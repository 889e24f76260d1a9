// The compiled game: its link record, the linking of its references, the kit every function is
// built from, the scripts and the effects, run on the embedded game's own data.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/Code_Main.h"
#include "core/Console.h"
#include "core/Code_Variable.h"
#include "core/RuntimeError.h"
#include "core/StackTrace.h"
#include "core/Variable.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"
#include "game/Game_Link.h"
#include "base/Error_Report.h"
#include "app/Halvane.h"
#include "world/Variable_BuiltIn.h"
#include "runner/GameLoopTestSupport.h"
#include "EmbeddedGame.h"
#include "assets/Particle_Main.h"
#include "assets/Sprite_Main.h"

namespace {

using namespace hvs;

std::vector<std::string>& Errors() {
    static std::vector<std::string> errors;
    return errors;
}

using gametest::FindFunction;

// The built-ins and built-in variables the game names that no subsystem registers.
std::vector<std::string> MissingBuiltins() {
    std::vector<std::string> missing;
    for (const FunctionRef& ref : g_FunctionRefs)
        if (FindFunction(ref.name) < 0) missing.push_back(ref.name);
#define HVS_MISSING_VARIABLE(name, slot) \
    if ((slot) < 0 && Variable_BuiltIn_Find(#name) < 0) missing.push_back(#name);
    HVS_VARIABLES(HVS_MISSING_VARIABLE)
#undef HVS_MISSING_VARIABLE
    return missing;
}

class CompiledGameTest : public gameloop_test::GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        Errors().clear();
        m_previous = Runtime_SetErrorReporter([](const char* m) { Errors().push_back(m); });
        gametest::RegisterBuiltins();
    }
    void TearDown() override {
        Runtime_SetErrorReporter(m_previous);
        GameLoopTest::TearDown();
        // The game's particle systems outlive the room in the tests: no room end runs.
        ParticleSystem_DestroyAll();
        ParticleType_DestroyAll();
    }

    static bool LoadEmbedded() { return gametest::LoadEmbedded(); }

    RuntimeErrorReporter m_previous = nullptr;
};

TEST(CompiledGameLink, RecordHoldsTheTablesAndTheEmbeddedFile) {
    GameLinkRecord record{};
    ASSERT_EQ(Game_FillLinkRecord(&record), &record);
    ASSERT_NE(record.data, nullptr);
    ASSERT_GE(record.dataSize, 8u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data), 4), "FORM");
    EXPECT_EQ(record.globalSlotCount, 0);
    EXPECT_EQ(record.instanceSlotCount, 75);
    EXPECT_EQ(record.codeCount, 96);
    EXPECT_EQ(record.stackTraceHead, &StackTraceHead);

    int variables = 0, functions = 0;
    while (record.variableRefs[variables]) ++variables;
    while (record.functionRefs[functions]) ++functions;
    EXPECT_EQ(variables, 101);
    EXPECT_EQ(functions, 53);
    EXPECT_STREQ(record.variableRefs[0]->name, "ps");
    EXPECT_STREQ(record.variableRefs[100]->name, "speed");
    EXPECT_STREQ(record.functionRefs[0]->name, "part_particles_create");
    EXPECT_STREQ(record.functionRefs[52]->name, "dcos");

    const std::pair<int, const char*> entries[] = {{0, "hvs_Script_scr_particle_1"},
                                                   {6, "hvs_Script_npow"},
                                                   {7, "hvs_Object_obj_dude_Create_0"},
                                                   {34, "hvs_Object_obj_vignette_Draw_74"},
                                                   {36, "hvs_Object_obj_particles_Mouse_50"},
                                                   {44, "hvs_Object_obj_camera_KeyPress_82"},
                                                   {86, "hvs_Object_obj_bullet_1_Collision_17"},
                                                   {92, "hvs_Object_obj_dead_poof_Other_7"},
                                                   {93, "hvs_Room_rm_game_Create"},
                                                   {95, "hvs_Room_room0_Create"}};
    for (const auto& [index, name] : entries) EXPECT_STREQ(record.codeTable[index].name, name) << index;
    for (int i = 0; i < 96; ++i) EXPECT_NE(record.codeTable[i].function, nullptr) << i;
}

TEST(CompiledGameLink, SlotNumbersCoverTheInstanceSlotsOnce) {
    std::set<int> slots;
    int builtins = 0;
#define HVS_COUNT_SLOT(name, slot) (slot) < 0 ? (void)++builtins : (void)slots.insert(slot);
    HVS_VARIABLES(HVS_COUNT_SLOT)
#undef HVS_COUNT_SLOT
    EXPECT_EQ(slots.size(), 75u);
    EXPECT_EQ(*slots.begin(), 0);
    EXPECT_EQ(*slots.rbegin(), 74);
    EXPECT_EQ(builtins, 26);
}

TEST_F(CompiledGameTest, EmbeddedGameLoadsWithEveryChunkKnownAndTheIndicesOfTheGame) {
    // Every name resolves to a row of its own: a missing one would end the runner's load.
    std::string missing;
    for (const std::string& name : MissingBuiltins()) missing += name + " ";
    EXPECT_EQ(missing, "");

    static std::string log;
    log.clear();
    Console_SetDebuggerSink([](const char* text) { log += text; });
    const bool loaded = LoadEmbedded();
    Console_SetDebuggerSink(nullptr);
    ASSERT_TRUE(loaded) << (Form_LoadError() ? Form_LoadError() : "");
    EXPECT_NE(log.find("Process Chunk: ROOM"), std::string::npos);
    EXPECT_EQ(log.find("unknown Chunk"), std::string::npos) << log;
    for (const FunctionRef& ref : g_FunctionRefs) EXPECT_GE(ref.builtinIndex, 0) << ref.name;
    EXPECT_EQ(Object_FindByName("obj_bullet_1"), 30);
    EXPECT_EQ(Object_FindByName("obj_particles"), 14);
    EXPECT_EQ(Sprite_Find("spr_cat_spawn"), 50);
    ASSERT_NE(Sprite_Get(50), nullptr);
    EXPECT_EQ(Sprite_Get(50)->m_frameCount, 13);

    // A second load links the references to the same ids.
    std::vector<int32_t> first;
    for (const VariableRef& ref : g_VariableRefs) first.push_back(ref.variableId);
    ResetWorld();
    for (VariableRef& ref : g_VariableRefs) ref.variableId = -1;
    ASSERT_TRUE(LoadEmbedded()) << (Form_LoadError() ? Form_LoadError() : "");
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(g_VariableRefs[i].variableId, first[i]) << g_VariableRefs[i].name;
        // Built-in names take no slot; the others take 100000 + their slot number.
#define HVS_CHECK_ID(name, slot) \
    if ((slot) < 0) \
        EXPECT_LT(g_VariableRefs[V_##name].variableId, 100000) << #name; \
    else \
        EXPECT_EQ(g_VariableRefs[V_##name].variableId, 100000 + (slot)) << #name;
    HVS_VARIABLES(HVS_CHECK_ID)
#undef HVS_CHECK_ID
}

TEST_F(CompiledGameTest, EveryFunctionLeavesTheStackTraceAsItFoundIt) {
    ASSERT_TRUE(LoadEmbedded());
    g_Switches.headless = false;  // a headless run would end after the room's creation code
    Start();
    CInstance* fallback = FirstOf(OBJ_obj_dude);
    ASSERT_NE(fallback, nullptr);
    StackTraceNode outer{};
    StackTrace_Push(&outer, "test", -1);
    for (int32_t code = 0; code < kCodeCount; ++code) {
        const CompiledCodeEntry& entry = g_CodeTable[code];
        std::string name = entry.name;
        CInstance* self = fallback;
        for (int32_t o = 0; o < Object_Count(); ++o) {
            const std::string prefix = std::string("hvs_Object_") + Object_Find(o)->Name() + "_";
            if (name.rfind(prefix, 0) == 0 && FirstOf(o)) self = FirstOf(o);
        }
        if (code < 7) {
            RValue a[5] = {RValue_Real(100), RValue_Real(50), RValue_Real(0), RValue_Real(0), RValue_Real(0)};
            RValue_CreateString(&a[2], "[\"Hi\"]");
            RValue* args[5] = {&a[0], &a[1], &a[2], &a[3], &a[4]};
            RValue result = RValue_Undefined();
            reinterpret_cast<CompiledScriptFn>(entry.function)(self, self, &result, 5, args);
            RValue_Release(&result);
            RValue_Release(&a[2]);
        } else {
            reinterpret_cast<CompiledEventFn>(entry.function)(self, self);
        }
        EXPECT_EQ(StackTraceHead, &outer) << name;
    }
    StackTrace_Pop(&outer);
    EXPECT_EQ(StackTraceHead, nullptr);
}

TEST_F(CompiledGameTest, CreateSpeechFillsTheNewBubble) {
    ASSERT_TRUE(LoadEmbedded());
    g_Switches.headless = false;
    Start();
    const int before = CountInstances(OBJ_obj_speech);
    RValue a[5] = {RValue_Real(300), RValue_Real(200), RValue_Undefined(), RValue_Real(0), RValue_Real(5)};
    RValue_CreateString(&a[2],
                        "[\"Thank\", \"you.\", \"I\", \"really\", \"needed\", "
                        "{\"word\": \"that!\", \"delay\": 60}, \"(purr)\"]");
    RValue* args[5] = {&a[0], &a[1], &a[2], &a[3], &a[4]};
    RValue result = RValue_Undefined();
    hvs_Script_scr_create_speech(nullptr, nullptr, &result, 5, args);
    RValue_Release(&a[2]);
    EXPECT_EQ(StackTraceHead, nullptr);
    EXPECT_EQ(CountInstances(OBJ_obj_speech), before + 1);
    CInstance* speech = FirstOf(OBJ_obj_speech);
    ASSERT_NE(speech, nullptr);
    EXPECT_EQ(RValue_ToReal(&result), speech->id);
    EXPECT_EQ(RValue_ToReal(speech->SlotRef(S_length)), 7);
    EXPECT_EQ(RValue_ToReal(speech->SlotRef(S_current)), 0);
    EXPECT_EQ(RValue_ToReal(speech->SlotRef(S_word_delay)), 7);
    EXPECT_EQ(RValue_ToReal(speech->SlotRef(S_voice)), 5);
    EXPECT_STREQ(RValue_GetStringText(speech->SlotRef(S_text)), "");
    EXPECT_TRUE(Errors().empty()) << Errors()[0];
}

TEST_F(CompiledGameTest, NpowKeepsTheSignOfTheBase) {
    ASSERT_GE(FindFunction("power"), 0);
    g_FunctionRefs[F_power].builtinIndex = FindFunction("power");
    const struct {
        double base, exponent, expected;
    } cases[] = {{-8, 1.0 / 3.0, -2},
                 {-2, 2, -4},
                 {2, 0.5, std::sqrt(2.0)},
                 {0, 3, 0},
                 {-3, 0.65, -std::pow(3, 0.65)}};
    for (const auto& c : cases) {
        RValue a = RValue_Real(c.base), b = RValue_Real(c.exponent), result = RValue_Undefined();
        RValue* args[] = {&a, &b};
        hvs_Script_npow(nullptr, nullptr, &result, 2, args);
        EXPECT_NEAR(RValue_ToReal(&result), c.expected, 1e-12) << c.base << " ^ " << c.exponent;
    }
    EXPECT_EQ(StackTraceHead, nullptr);
}

TEST_F(CompiledGameTest, AnUnresolvedBuiltinRaisesAnErrorInsteadOfACall) {
    const int32_t saved = g_FunctionRefs[F_power].builtinIndex;
    g_FunctionRefs[F_power].builtinIndex = -1;
    RValue a = RValue_Real(2), b = RValue_Real(2), result = RValue_Undefined();
    RValue* args[] = {&a, &b};
    hvs_Script_npow(nullptr, nullptr, &result, 2, args);
    g_FunctionRefs[F_power].builtinIndex = saved;
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], "unresolved function power");
    EXPECT_EQ(StackTraceHead, nullptr);
}

TEST(CompiledGameKit, ComparisonsConditionsAndRepeatCounts) {
    EXPECT_FALSE(Greater(1e-11, 0));
    EXPECT_TRUE(Greater(1e-9, 0));
    EXPECT_TRUE(Equal(1e-11, 0));
    EXPECT_FALSE(Less(-1e-11, 0));
    EXPECT_TRUE(GreaterEqual(-1e-11, 0));
    EXPECT_FALSE(Condition(0.5));
    EXPECT_TRUE(Condition(0.51));
    EXPECT_EQ(RepeatCount(2.9), 2);
    EXPECT_EQ(RepeatCount(0), 0);
    EXPECT_EQ(RepeatCount(-3), 0);
}

TEST(CompiledGameKit, CompoundAssignmentsFollowTheTargetsKind) {
    std::vector<std::string> errors;
    static std::vector<std::string>* sink;
    sink = &errors;
    RuntimeErrorReporter previous = Runtime_SetErrorReporter([](const char* m) { sink->push_back(m); });
    RValue two = RValue_Real(2), zero = RValue_Real(0);

    RValue real = RValue_Real(7);
    DivAssign(&real, &two);
    EXPECT_EQ(real.val, 3.5);
    RValue i32 = RValue_Int32(7);
    DivAssign(&i32, &two);
    EXPECT_EQ(i32.v32, 3);
    MulAssign(&i32, &two);
    EXPECT_EQ(i32.v32, 6);
    SubAssign(&i32, &two);
    EXPECT_EQ(i32.v32, 4);
    RValue i64 = RValue_Int64(int64_t(1) << 40);
    DivAssign(&i64, &two);
    EXPECT_EQ(i64.v64, int64_t(1) << 39);
    EXPECT_TRUE(errors.empty());

    DivAssign(&i32, &zero);  // an error, never a signal
    DivAssign(&i64, &zero);
    EXPECT_EQ(i32.v32, 4);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "/= :: Divide by zero");

    RValue text = RValue_Undefined();
    RValue_CreateString(&text, "a");
    SubAssign(&text, &two);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[2], "invalid type for -= lhs=string (type=1), rhs=number (type=0)");
    RValue_Release(&text);
    Runtime_SetErrorReporter(previous);
}

// Three compiled frames deep, the report lists three "called from" lines, newest first.
TEST(CompiledGameKit, FramesLinkAndUnlinkOnEveryPath) {
    std::vector<std::string> trace;
    {
        Frame a("first");
        a.Line(3);
        {
            Frame b("second");
            b.Line(5);
            {
                Frame c("third");
                c.Line(7);
                for (StackTraceNode* n = StackTraceHead; n; n = n->prev)
                    trace.push_back(std::string(n->name) + ":" + std::to_string(n->line));
            }
        }
    }
    EXPECT_EQ(trace, (std::vector<std::string>{"third:7", "second:5", "first:3"}));
    EXPECT_EQ(StackTraceHead, nullptr);
}

// An error raised in the third of three nested compiled functions: the runner's report ends with
// one "called from" line a frame, newest first, each with the line the frame had reached.
TEST_F(CompiledGameTest, AnErrorThreeCallsDeepReportsThreeCalledFromLines) {
    Runtime_SetErrorReporter([](const char* message) { Error_Report(message, false); });
    {
        Frame a("hvs_Object_obj_dude_Step_0");
        a.Line(12);
        Frame b("hvs_Script_scr_create_speech");
        b.Line(7);
        Frame c("hvs_Script_npow");
        c.Line(4);
        Runtime_Error("three calls deep");
    }
    EXPECT_EQ(StackTraceHead, nullptr);
    const std::string report = Error_LastText();
    EXPECT_NE(report.find("\n\n\nthree calls deep\n"), std::string::npos) << report;
    const std::string calledFrom =
        "\ncalled from - hvs_Script_npow (line 4)\n"
        "called from - hvs_Script_scr_create_speech (line 7)\n"
        "called from - hvs_Object_obj_dude_Step_0 (line 12)\n";
    ASSERT_GE(report.size(), calledFrom.size());
    EXPECT_EQ(report.substr(report.size() - calledFrom.size()), calledFrom) << report;
    size_t lines = 0;
    for (size_t at = report.find("called from"); at != std::string::npos;
         at = report.find("called from", at + 1))
        ++lines;
    EXPECT_EQ(lines, 3u);
    Error_SetLastText(nullptr);
    Error_SetOccurred(false);
}

}  // namespace
