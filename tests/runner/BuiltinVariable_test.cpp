// The built-in variable rows: their order, and every settable row driven through its setter
// and getter with the conversions game code relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "MotionTestSupport.h"
#include "core/Code_Main.h"
#include "core/Value.h"
#include "core/Variable.h"
#include "base/Error_Report.h"
#include "world/IO_Main.h"
#include "world/Run.h"
#include "world/Variable_BuiltIn.h"

namespace {

constexpr int32_t kNoIndex = ARRAY_INDEX_WHOLE;

class BuiltinVariableTest : public motion_test::WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        Variable_BuiltIn_Init();
        IO_Init();
        MakeRoom(false);
        m_object = AddObject(-1);
        m_self = Make(m_object, 10, 20);
    }
    void TearDown() override {
        IO_End();
        Variable_BuiltIn_Free();
        WorldTest::TearDown();
    }

    const BuiltinVariable* Row(const char* name) {
        const int32_t id = Variable_BuiltIn_Find(name);
        EXPECT_GE(id, 0) << name;
        return Variable_BuiltIn_Row(id);
    }
    bool Set(const char* name, RValue value, int32_t index = kNoIndex) {
        const BuiltinVariable* row = Row(name);
        EXPECT_NE(row->setter, nullptr) << name;
        const bool ok = row->setter(m_self, index, &value);
        RValue_Free(&value);
        return ok;
    }
    RValue Get(const char* name, int32_t index = kNoIndex) {
        RValue out = RValue_Real(0);
        EXPECT_TRUE(Row(name)->getter(m_self, index, &out)) << name;
        return out;
    }
    double GetReal(const char* name, int32_t index = kNoIndex) {
        RValue out = Get(name, index);
        EXPECT_EQ(out.kind, static_cast<uint32_t>(VALUE_REAL)) << name;
        return out.val;
    }
    std::string GetText(const char* name) {
        RValue out = Get(name);
        std::string text = RValue_GetStringText(&out) ? RValue_GetStringText(&out) : "";
        RValue_Free(&out);
        return text;
    }

    int32_t m_object = 0;
    CInstance* m_self = nullptr;
};

TEST_F(BuiltinVariableTest, RowsStartWithTheInstanceTableThenTheArgumentsThenTheGlobals) {
    EXPECT_EQ(Variable_BuiltIn_Find("x"), 0);
    EXPECT_EQ(Variable_BuiltIn_Find("y"), 1);
    const int32_t layer = Variable_BuiltIn_Find("layer");
    EXPECT_EQ(layer, 84);  // the 85th instance row
    EXPECT_EQ(Variable_BuiltIn_Find("argument_relative"), 85);
    EXPECT_EQ(Variable_BuiltIn_Find("argument15"), 85 + 2 + 15);
    EXPECT_EQ(Variable_BuiltIn_Find("argument_count"), 85 + 18);
    EXPECT_EQ(Variable_BuiltIn_Find("debug_mode"), 85 + 19);
    EXPECT_EQ(Variable_BuiltIn_Find("application_surface") + 1, Variable_BuiltIn_Find("os_type"));
    EXPECT_EQ(Variable_BuiltIn_Find("browser_height") + 1, Variable_BuiltIn_Count());
    EXPECT_EQ(Row("room_first")->setter, nullptr);
    EXPECT_EQ(Row("instance_id")->setter, nullptr);
}

struct SetCase {
    const char* name;
    int32_t setIndex;
    double value;
    int32_t getIndex;
    double expected;
};

TEST_F(BuiltinVariableTest, EverySettableRowConvertsAsItsKindSays) {
    const SetCase cases[] = {
        {"x", kNoIndex, 2.5, kNoIndex, 2.5},
        {"y", kNoIndex, -7.25, kNoIndex, -7.25},
        {"xprevious", kNoIndex, 1.1, kNoIndex, static_cast<float>(1.1)},
        {"yprevious", kNoIndex, 3, kNoIndex, 3},
        {"xstart", kNoIndex, 4, kNoIndex, 4},
        {"ystart", kNoIndex, 5, kNoIndex, 5},
        {"hspeed", kNoIndex, 3, kNoIndex, 3},
        {"vspeed", kNoIndex, 4, kNoIndex, 4},
        {"speed", kNoIndex, 2, kNoIndex, 2},
        {"direction", kNoIndex, 450, kNoIndex, 90},
        {"friction", kNoIndex, 0.5, kNoIndex, 0.5},
        {"gravity", kNoIndex, 0.25, kNoIndex, 0.25},
        {"gravity_direction", kNoIndex, 180, kNoIndex, 180},
        {"alarm", 1, 2.5, 1, 2},
        {"alarm", 2, 3.5, 2, 4},
        {"alarm", 12, 5, 0, 5},
        {"alarm", 3, 7, -1, 5},  // index -1 reads alarm 0
        {"solid", kNoIndex, 0.6, kNoIndex, 1},
        {"visible", kNoIndex, -1, kNoIndex, 1},
        {"visible", kNoIndex, 0.4, kNoIndex, 0},
        {"persistent", kNoIndex, 2, kNoIndex, 1},
        {"depth", kNoIndex, -10, kNoIndex, -10},
        {"image_index", kNoIndex, 7.5, kNoIndex, 7.5},
        {"image_xscale", kNoIndex, 2, kNoIndex, 2},
        {"image_yscale", kNoIndex, -1, kNoIndex, -1},
        {"image_angle", kNoIndex, 45, kNoIndex, 45},
        {"image_alpha", kNoIndex, 0.5, kNoIndex, 0.5},
        {"image_blend", kNoIndex, 255.5, kNoIndex, 256},
        {"image_speed", kNoIndex, 0.5, kNoIndex, 0.5},
        {"mask_index", kNoIndex, 2.5, kNoIndex, 2},
        {"path_position", kNoIndex, 1.5, kNoIndex, 1},
        {"path_positionprevious", kNoIndex, -1, kNoIndex, 0},
        {"path_speed", kNoIndex, 3, kNoIndex, 3},
        {"path_scale", kNoIndex, 2, kNoIndex, 2},
        {"path_orientation", kNoIndex, 90, kNoIndex, 90},
        {"path_endaction", kNoIndex, 1.5, kNoIndex, 2},
        {"timeline_index", kNoIndex, 0.5, kNoIndex, 0},
        {"timeline_position", kNoIndex, 12, kNoIndex, 12},
        {"timeline_speed", kNoIndex, 2, kNoIndex, 2},
        {"timeline_running", kNoIndex, 0.5, kNoIndex, 0},
        {"timeline_loop", kNoIndex, 1.5, kNoIndex, 1},
        {"score", kNoIndex, 2.5, kNoIndex, 2},
        {"lives", kNoIndex, 3.5, kNoIndex, 4},
        {"health", kNoIndex, 0.3, kNoIndex, 0.3},
        {"room_width", kNoIndex, 800.5, kNoIndex, 800},
        {"room_height", kNoIndex, 601.5, kNoIndex, 602},
        {"room_persistent", kNoIndex, 0.5, kNoIndex, 0},
        {"room_persistent", kNoIndex, 1.5, kNoIndex, 1},
        {"room_speed", kNoIndex, 0.6, kNoIndex, 0},
        {"room_speed", kNoIndex, 30.7, kNoIndex, 30},
        {"background_color", kNoIndex, 255, kNoIndex, 255},
        {"background_colour", kNoIndex, -1, kNoIndex, -1},
        {"background_showcolor", kNoIndex, 0.6, kNoIndex, 1},
        {"background_showcolour", kNoIndex, -3, kNoIndex, 0},
        {"background_visible", 3, 1, 3, 1},
        {"background_foreground", 3, 1, 3, 1},
        {"background_index", 2, 4.5, 2, 4},
        {"background_x", 9, 5, -1, 5},
        {"background_y", 7, 1.5, 7, 1.5},
        {"background_htiled", 1, 0, 1, 0},
        {"background_vtiled", 1, 0.5, 1, 0},
        {"background_xscale", 1, 2, 1, 2},
        {"background_yscale", 1, 3, 1, 3},
        {"background_hspeed", 1, -1, 1, -1},
        {"background_vspeed", 1, 1, 1, 1},
        {"background_blend", 1, 100.5, 1, 100},
        {"background_alpha", 1, 0.5, 1, 0.5},
        {"view_enabled", kNoIndex, 1, kNoIndex, 1},
        {"view_visible", 2, 1, 2, 1},
        {"view_xview", 2, 10.5, 2, 10.5},
        {"view_yview", 2, 11, 2, 11},
        {"view_wview", 2, 12, 2, 12},
        {"view_hview", 2, 13, 2, 13},
        {"view_xport", 8, 2.5, 0, 2},
        {"view_yport", 2, 3.5, 2, 4},
        {"view_wport", 2, 320, 2, 320},
        {"view_hport", 2, 240, 2, 240},
        {"view_angle", 2, 30, 2, 30},
        {"view_hborder", 2, 1.5, 2, 2},
        {"view_vborder", 2, 2.5, 2, 2},
        {"view_hspeed", 2, 5, 2, 5},
        {"view_vspeed", 2, 6, 2, 6},
        {"view_object", 2, 3, 2, 3},
        {"view_surface_id", 2, 4, 2, 4},
        {"view_camera", 2, 5, 2, 5},
        {"mouse_button", kNoIndex, 2, kNoIndex, 2},
        {"mouse_button", kNoIndex, 0, kNoIndex, 2},  // cannot be cleared this way
        {"mouse_lastbutton", kNoIndex, 3, kNoIndex, 3},
        {"keyboard_key", kNoIndex, 65, kNoIndex, 65},
        {"keyboard_key", kNoIndex, 300, kNoIndex, 65},
        {"keyboard_key", kNoIndex, -1, kNoIndex, 65},
        {"keyboard_lastkey", kNoIndex, 66, kNoIndex, 66},
        {"cursor_sprite", kNoIndex, 2.5, kNoIndex, 2},
        {"show_score", kNoIndex, 0.5, kNoIndex, 0},
        {"show_lives", kNoIndex, 1.5, kNoIndex, 1},
        {"show_health", kNoIndex, 1, kNoIndex, 1},
        {"transition_kind", kNoIndex, 5, kNoIndex, 0},
        {"error_occurred", kNoIndex, 0.5, kNoIndex, 1},
        {"error_occurred", kNoIndex, 0.4, kNoIndex, 0},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + std::to_string(c.value));
        EXPECT_TRUE(Set(c.name, RValue_Real(c.value), c.setIndex));
        EXPECT_DOUBLE_EQ(GetReal(c.name, c.getIndex), c.expected);
    }
    EXPECT_TRUE(g_RunState.captionSet);  // show_score was assigned
}

TEST_F(BuiltinVariableTest, ValuesOfOtherKindsAreConvertedNotReadAsBits) {
    RValue text;
    RValue_CreateString(&text, "12");
    EXPECT_TRUE(Set("score", text));
    EXPECT_EQ(GetReal("score"), 12);
    EXPECT_TRUE(Set("x", RValue_Int32(7)));
    EXPECT_EQ(GetReal("x"), 7);
    EXPECT_TRUE(Set("error_occurred", RValue_Int32(1)));
    EXPECT_EQ(GetReal("error_occurred"), 1);
    EXPECT_TRUE(Set("transition_kind", RValue_Int64(3)));
    EXPECT_EQ(GetReal("transition_kind"), 0);
}

TEST_F(BuiltinVariableTest, RoomSpeedAtOrBelowZeroIsAnErrorAndChangesNothing) {
    m_room->speed = 30;
    EXPECT_FALSE(Set("room_speed", RValue_Real(0.4)));
    EXPECT_EQ(m_room->speed, 30);
    EXPECT_FALSE(Set("room_speed", RValue_Real(-5)));
    EXPECT_EQ(m_room->speed, 30);
}

TEST_F(BuiltinVariableTest, ImageSingleAndInstanceIdAndKeywords) {
    EXPECT_TRUE(Set("image_index", RValue_Real(3)));
    EXPECT_TRUE(Set("image_single", RValue_Real(-3)));
    EXPECT_EQ(m_self->image_speed, 1.0f);
    EXPECT_EQ(m_self->image_index, 3.0f);
    EXPECT_TRUE(Set("image_single", RValue_Real(2)));
    EXPECT_EQ(m_self->image_index, 2.0f);
    EXPECT_EQ(m_self->image_speed, 0.0f);
    m_self->image_speed = 0.5f;
    EXPECT_EQ(GetReal("image_single"), -1);

    EXPECT_EQ(GetReal("instance_count"), 1);
    EXPECT_EQ(GetReal("instance_id", 0), m_self->id);
    EXPECT_EQ(GetReal("instance_id", 1), -4);
    EXPECT_EQ(GetReal("instance_id", -1), -4);

    EXPECT_EQ(Get("undefined").kind, static_cast<uint32_t>(VALUE_UNDEFINED));
    EXPECT_EQ(Get("null").kind, static_cast<uint32_t>(VALUE_NULL));
    const RValue invalid = Get("pointer_invalid");
    EXPECT_EQ(invalid.kind, static_cast<uint32_t>(VALUE_PTR));
    EXPECT_EQ(invalid.v64, -1);
    EXPECT_EQ(GetText("game_guid"), "");
    EXPECT_EQ(GetReal("os_type"), 6);
    EXPECT_EQ(GetText("temp_directory"), GetText("temp_directory"));
    EXPECT_EQ(GetReal("background_width", 0), 0);  // no background behind index -1
    EXPECT_EQ(GetReal("sprite_width"), 0);
}

TEST_F(BuiltinVariableTest, SpriteMeasuresFollowTheScale) {
    motion_test::Sprites()[3] = motion_test::Rect(32, 16, 4, 2);
    m_self->sprite_index = 3;
    m_self->image_xscale = -2;
    EXPECT_EQ(GetReal("sprite_width"), -64);
    EXPECT_EQ(GetReal("sprite_height"), 16);
    EXPECT_EQ(GetReal("sprite_xoffset"), -8);
}

TEST_F(BuiltinVariableTest, TextRowsTakeOnlyStringsAndKeyboardStringRoundTrips) {
    RValue text;
    RValue_CreateString(&text, "Hi there");
    EXPECT_TRUE(Set("keyboard_string", text));
    EXPECT_EQ(GetText("keyboard_string"), "Hi there");
    EXPECT_TRUE(Set("keyboard_string", RValue_Real(3)));
    EXPECT_EQ(GetText("keyboard_string"), "");

    RValue_CreateString(&text, "Score: ");
    EXPECT_TRUE(Set("caption_score", text));
    EXPECT_EQ(GetText("caption_score"), "Score: ");
    EXPECT_TRUE(Set("caption_score", RValue_Real(5)));  // not a string: kept
    EXPECT_EQ(GetText("caption_score"), "Score: ");
    SharedString* lives = g_RunState.captionLives;
    g_RunState.captionLives = nullptr;
    EXPECT_EQ(GetText("caption_lives"), "");  // none set: no text, no failure
    g_RunState.captionLives = lives;

    RValue_CreateString(&text, "A");
    EXPECT_TRUE(Set("keyboard_lastchar", text));
    EXPECT_EQ(GetText("keyboard_lastchar"), "A");
    EXPECT_TRUE(Set("keyboard_lastchar", RValue_Real(66)));
    EXPECT_EQ(GetText("keyboard_lastchar"), "A");

    RValue_CreateString(&text, "my error");
    EXPECT_TRUE(Set("error_last", text));
    EXPECT_EQ(GetText("error_last"), "my error");
    EXPECT_TRUE(Set("error_last", RValue_Real(1)));
    EXPECT_EQ(GetText("error_last"), "my error");

    RValue_CreateString(&text, "Level 1");
    EXPECT_TRUE(Set("room_caption", text));
    EXPECT_EQ(GetText("room_caption"), "Level 1");
    EXPECT_TRUE(Set("room_caption", RValue_Real(1)));
    EXPECT_EQ(GetText("room_caption"), "");
}

TEST_F(BuiltinVariableTest, WorkingDirectoryIsTheDataFilesFolder) {
    WorkingDirectory_Free();
    WorkingDirectory_Init("/games/demo/data.win");
    EXPECT_EQ(GetText("working_directory"), "/games/demo/");
    WorkingDirectory_Init("/other/data.win");  // once per run
    EXPECT_EQ(GetText("working_directory"), "/games/demo/");
    WorkingDirectory_Free();
    WorkingDirectory_Init("C:\\games\\data.win");
    EXPECT_EQ(GetText("working_directory"), "C:\\games\\");
    WorkingDirectory_Free();
    WorkingDirectory_Init("data.win");
    EXPECT_EQ(GetText("working_directory"), "");
    WorkingDirectory_Free();
}

TEST_F(BuiltinVariableTest, ArgumentRowsReadTheCurrentCall) {
    RValue args[2] = {RValue_Real(1), RValue_Real(2)};
    RValue* savedArgs = VM_Args;
    const int32_t savedCount = VM_ArgCount;
    VM_Args = args;
    VM_ArgCount = 2;
    EXPECT_EQ(GetReal("argument_count"), 2);
    EXPECT_EQ(GetReal("argument1"), 2);
    EXPECT_EQ(Get("argument2").kind, static_cast<uint32_t>(VALUE_UNDEFINED));
    EXPECT_EQ(GetReal("argument", 1), 2);
    EXPECT_TRUE(Set("argument0", RValue_Real(9), 3));
    EXPECT_EQ(GetReal("argument0", 3), 9);
    EXPECT_TRUE(Set("argument", RValue_Real(4), 20));  // index outside 0..15: argument 0
    EXPECT_EQ(GetReal("argument0"), 4);
    for (RValue& a : args) RValue_Free(&a);
    VM_Args = savedArgs;
    VM_ArgCount = savedCount;
}

}  // namespace
