#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "ValueTestSupport.h"
#include "core/Code_Constant.h"

namespace {

std::vector<std::string> g_messages;
void RecordMessage(const char* text) {
    g_messages.push_back(text);
}

std::vector<const char*> g_gameConstants;
const char* const* GameConstants(int32_t* count) {
    *count = int32_t(g_gameConstants.size());
    return g_gameConstants.data();
}

int32_t g_platformCalls = 0;
void PlatformRegistrar() {
    ++g_platformCalls;
    Code_Constant_AddReal("os_linux", 6);
}

class Constants : public ::testing::Test {
protected:
    void SetUp() override {
        Code_Constant_Free();
        ExternalsDisabled = false;
        g_messages.clear();
        g_gameConstants.clear();
        Code_Constant_SetMessageHook(RecordMessage);
        Code_Constant_SetGameConstantSource(GameConstants);
    }
    void TearDown() override {
        Code_Constant_Free();
        ExternalsDisabled = false;
        Code_Constant_SetMessageHook(nullptr);
        Code_Constant_SetGameConstantSource(nullptr);
        Code_Constant_SetPlatformRegistrar(nullptr);
        Code_Function_SetScriptFinder(nullptr);
        for (int t = 0; t < ASSET_TABLE_COUNT; ++t) Asset_SetFinder(AssetTable(t), nullptr);
    }
    static double Value(const char* name) {
        const RValue* value = Code_Constant_Find(name);
        EXPECT_NE(value, nullptr) << name;
        return value ? value->val : NAN;
    }
};

TEST_F(Constants, BuiltinsAreAllThereUniqueAndReal) {
    Code_Constant_RegisterBuiltins();
    ASSERT_EQ(Code_Constant_Count(), 414);
    std::set<std::string> names;
    for (int32_t i = 0; i < Code_Constant_Count(); ++i) {
        names.insert(Code_Constant_Name(i));
        EXPECT_EQ(Code_Constant_Value(i)->kind, VALUE_REAL) << Code_Constant_Name(i);
    }
    EXPECT_EQ(names.size(), 414u);

    struct Expected {
        const char* name;
        double value;
    } spot[] = {
        {"self", -1},
        {"local", -7},
        {"true", 1},
        {"c_red", 255},
        {"c_orange", 4235519},
        {"c_ltgray", 12632256},
        {"c_silver", 12632256},
        {"bm_src_alpha_sat", 11},
        {"vk_left", 37},
        {"vk_ralt", 165},
        {"gp_axisrv", 32788},
        {"ev_gui", 64},
        {"ev_close_button", 30},
        {"ev_joystick2_button8", 43},
        {"ev_user15", 25},
        {"dll_stdcall", 1},
        {"cr_size_all", -22},
        {"pt_shape_snow", 13},
        {"phy_joint_angle", 8},
        {"phy_joint_motor_speed", 7},
        {"phy_debug_render_collision_pairs", 64},
        {"audio_3d", 2},
        {"lb_disp_time_ms", 3},
        {"ugc_match_ControllerBindings", 11},
        {"ugc_query_RankedByTextSearch", 11},
        {"timezone_utc", 1},
        {"fa_archive", 32},
        {"fa_bottom", 2},
    };
    for (const Expected& e : spot) EXPECT_EQ(Value(e.name), e.value) << e.name;
    EXPECT_EQ(std::bit_cast<uint64_t>(Value("pi")), 0x400921FB60000000u);
}

TEST_F(Constants, ExternalsDisabledLeavesOutTheDllConventions) {
    ExternalsDisabled = true;
    Code_Constant_RegisterBuiltins();
    EXPECT_EQ(Code_Constant_Count(), 412);
    EXPECT_EQ(Code_Constant_Find("dll_cdecl"), nullptr);
    EXPECT_EQ(Code_Constant_Find("dll_stdcall"), nullptr);
}

TEST_F(Constants, PlatformRegistrarRunsLastAndFreeEmptiesTheTable) {
    Code_Constant_SetPlatformRegistrar(PlatformRegistrar);
    g_platformCalls = 0;
    Code_Constant_RegisterBuiltins();
    EXPECT_EQ(g_platformCalls, 1);
    EXPECT_EQ(Code_Constant_Count(), 415);
    EXPECT_STREQ(Code_Constant_Name(414), "os_linux");
    Code_Constant_Free();
    EXPECT_EQ(Code_Constant_Count(), 0);
    EXPECT_EQ(Code_Constant_Find("c_red"), nullptr);
    Code_Constant_RegisterBuiltins();
    EXPECT_EQ(Code_Constant_Count(), 415);
}

TEST_F(Constants, LookupCaseRules) {
    Code_Constant_RegisterBuiltins();
    Held out;
    EXPECT_EQ(Value("VK_LEFT"), 37);
    EXPECT_EQ(Value("Vk_Left"), 37);
    EXPECT_TRUE(Asset_GetIndexByName("c_orange", &out.v));
    EXPECT_EQ(out.v.val, 4235519);
    EXPECT_FALSE(Asset_GetIndexByName("C_RED", &out.v));
    EXPECT_EQ(out.v.kind, VALUE_REAL);
    EXPECT_EQ(out.v.val, -1);

    // A game constant defined later hides the built-in for both lookups.
    EXPECT_TRUE(Code_Constant_Define("c_red"));
    EXPECT_EQ(Value("C_RED"), 0);
    EXPECT_TRUE(Asset_GetIndexByName("c_red", &out.v));
    EXPECT_EQ(out.v.val, 0);
}

int32_t SpriteFinder(const char* name) {
    return std::string(name) == "both" ? 3 : -1;
}
int32_t ObjectFinder(const char* name) {
    return std::string(name) == "both" || std::string(name) == "obj" ? 9 : -1;
}
int32_t ShaderFinder(const char* name) {
    return std::string(name) == "c_red" ? 2 : -1;
}
int32_t ScriptFinder(const char* name) {
    return std::string(name) == "scr" ? 0 : -1;
}

TEST_F(Constants, AssetsComeBeforeConstantsInTableOrder) {
    Code_Constant_RegisterBuiltins();
    Asset_SetFinder(ASSET_SPRITE, SpriteFinder);
    Asset_SetFinder(ASSET_OBJECT, ObjectFinder);
    Asset_SetFinder(ASSET_SHADER, ShaderFinder);
    Code_Function_SetScriptFinder(ScriptFinder);
    Held out;
    struct Case {
        const char* name;
        double index;
    } cases[] = {{"both", 3}, {"obj", 9}, {"scr", 0}, {"c_red", 2}};
    for (const Case& c : cases) {
        EXPECT_TRUE(Asset_GetIndexByName(c.name, &out.v)) << c.name;
        EXPECT_EQ(out.v.val, c.index) << c.name;
    }
}

TEST_F(Constants, ValuesOfAnyKindAreShared) {
    Held text("shared"), array;
    SetElement(&array.v, 0, RValue_Real(5));
    Code_Constant_Add("k_text", &text.v);
    EXPECT_EQ(text.v.str->refCount, 2);

    // An array without owner: the table's slot becomes its owner, and stays so however
    // often the table moves.
    Held unowned;
    RValue_Assign(&unowned.v, &array.v);
    RValue_Release(&array.v);
    ASSERT_EQ(unowned.v.arr->owner, nullptr);
    Code_Constant_Add("k_array", &unowned.v);
    for (int i = 0; i < 200; ++i) Code_Constant_AddReal(("k" + std::to_string(i)).c_str(), i);
    const RValue* slot = Code_Constant_Find("k_array");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->arr->owner, slot);

    Held out;
    EXPECT_TRUE(Asset_GetIndexByName("k_text", &out.v));
    EXPECT_STREQ(RValue_GetStringText(&out.v), "shared");
    EXPECT_EQ(text.v.str->refCount, 3);
    Code_Constant_Free();
    EXPECT_EQ(text.v.str->refCount, 2);
}

TEST_F(Constants, NamesTrimAndDefine) {
    struct Case {
        const char* entry;
        bool valid;
        const char* name;
    } cases[] = {
        {"  spaced\t", true, "spaced"},
        {"_a1", true, "_a1"},
        {"abc\xC3\xA9", true, "abc"},  // trailing bytes of 0x80 and above are blanks
        {"1abc", false, "1abc"},
        {"a-b", false, "a-b"},
        {"   ", false, ""},
        {"", false, ""},
        {"\xC3\xA9t\xC3\xA9", true, "t"},  // leading ones too
    };
    for (const Case& c : cases) {
        g_messages.clear();
        Code_Constant_Free();
        EXPECT_EQ(Code_Constant_Define(c.entry), c.valid) << c.entry;
        if (c.valid) {
            ASSERT_EQ(Code_Constant_Count(), 1);
            EXPECT_STREQ(Code_Constant_Name(0), c.name);
            EXPECT_TRUE(g_messages.empty());
        } else {
            EXPECT_EQ(Code_Constant_Count(), 0);
            ASSERT_EQ(g_messages.size(), 1u);
            EXPECT_EQ(g_messages[0], std::string("Constant name ") + c.name + "  is not valid.");
        }
    }
    EXPECT_FALSE(Code_Constant_Define(nullptr));

    char* trimmed = String_Duplicate("old");
    String_Trim(&trimmed, nullptr);
    EXPECT_EQ(trimmed, nullptr);
}

TEST_F(Constants, PrepareStopsAtTheFirstInvalidName) {
    g_gameConstants = {"ok_one", "bad name", "never"};
    EXPECT_FALSE(Code_Constant_Prepare());
    EXPECT_EQ(Code_Constant_Count(), 1);
    EXPECT_EQ(g_messages.size(), 1u);
    g_gameConstants.clear();
    EXPECT_TRUE(Code_Constant_Prepare());
}

}  // namespace
