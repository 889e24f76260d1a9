#include <string>
#include <vector>

#include "ServicesTestSupport.h"
#include "core/Console.h"
#include "io/LoadSave.h"
#include "base/GEN8.h"
#include "world/IO_Main.h"

using namespace servicestest;

namespace {

const std::vector<std::pair<std::string, int32_t>> kRowsBeforeJoysticks = {
    {"splash_set_caption", 1},
    {"splash_set_fullscreen", 1},
    {"splash_set_border", 1},
    {"splash_set_size", 2},
    {"splash_set_adapt", 1},
    {"splash_set_top", 1},
    {"splash_set_color", 1},
    {"splash_set_main", 1},
    {"splash_set_scale", 1},
    {"splash_set_cursor", 1},
    {"splash_set_interrupt", 1},
    {"splash_set_stop_key", 1},
    {"splash_set_stop_mouse", 1},
    {"splash_show_video", 2},
    {"splash_show_image", 2},
    {"splash_show_text", 2},
    {"show_image", 3},
    {"show_video", 3},
    {"show_text", 4},
    {"show_message", 1},
    {"show_question", 1},
    {"show_message_async", 1},
    {"show_question_async", 1},
    {"show_error", 2},
    {"show_info", 0},
    {"load_info", 1},
    {"highscore_show", 1},
    {"highscore_set_background", 1},
    {"highscore_set_border", 1},
    {"highscore_set_font", 3},
    {"highscore_set_strings", 3},
    {"highscore_set_colors", 3},
    {"highscore_show_ext", 7},
    {"highscore_clear", 0},
    {"highscore_add", 2},
    {"highscore_add_current", 0},
    {"highscore_value", 1},
    {"highscore_name", 1},
    {"draw_highscore", 4},
    {"show_message_ext", 4},
    {"message_background", 1},
    {"message_button", 1},
    {"message_alpha", 1},
    {"message_text_font", 4},
    {"message_button_font", 4},
    {"message_input_font", 4},
    {"message_mouse_color", 1},
    {"message_input_color", 1},
    {"message_position", 2},
    {"message_size", 2},
    {"message_caption", 2},
    {"show_menu", 2},
    {"show_menu_pos", 4},
    {"get_integer", 2},
    {"get_integer_async", 2},
    {"get_string", 2},
    {"get_string_async", 2},
    {"get_login_async", 2},
    {"get_color", 1},
    {"get_open_filename", 2},
    {"get_save_filename", 2},
    {"get_open_filename_ext", 4},
    {"get_save_filename_ext", 4},
    {"get_directory", 1},
    {"get_directory_alt", 2},
    {"keyboard_get_numlock", 0},
    {"keyboard_set_numlock", 1},
    {"keyboard_key_press", 1},
    {"keyboard_key_release", 1},
    {"keyboard_set_map", 2},
    {"keyboard_get_map", 1},
    {"keyboard_unset_map", 0},
    {"keyboard_check", 1},
    {"keyboard_check_pressed", 1},
    {"keyboard_check_released", 1},
    {"keyboard_check_direct", 1},
    {"mouse_check_button", 1},
    {"mouse_check_button_pressed", 1},
    {"mouse_check_button_released", 1},
    {"mouse_wheel_up", 0},
    {"mouse_wheel_down", 0},
};
const std::vector<std::pair<std::string, int32_t>> kJoystickRows = {
    {"joystick_exists", 1},  {"joystick_direction", 1}, {"joystick_name", 1},         {"joystick_axes", 1},
    {"joystick_buttons", 1}, {"joystick_has_pov", 1},   {"joystick_check_button", 2}, {"joystick_xpos", 1},
    {"joystick_ypos", 1},    {"joystick_zpos", 1},      {"joystick_rpos", 1},         {"joystick_upos", 1},
    {"joystick_vpos", 1},    {"joystick_pov", 1},
};
const std::vector<std::pair<std::string, int32_t>> kRowsAfterJoysticks = {
    {"keyboard_clear", 1},
    {"mouse_clear", 1},
    {"io_clear", 0},
    {"io_handle", 0},
    {"device_mouse_dbclick_enable", 0},
    {"keyboard_wait", 0},
    {"mouse_wait", 0},
    {"browser_input_capture", 1},
    {"gpio_set", 2},
    {"gpio_clear", 1},
    {"gpio_get", 1},
    {"gpio_set_mode", 2},
    {"F_GPIO_Set_Function", 2},
};

std::vector<std::pair<std::string, int32_t>> RegisteredRows() {
    std::vector<std::pair<std::string, int32_t>> rows;
    bool everyRowHasAFunction = true;
    for (int32_t i = 0; i < Code_Function_Count(); ++i) {
        const BuiltinFunction* row = Code_Function_Row(i);
        rows.emplace_back(row->name, row->argc);
        everyRowHasAFunction = everyRowHasAFunction && row->function != nullptr;
    }
    EXPECT_TRUE(everyRowHasAFunction);
    return rows;
}

std::vector<std::string>& LogLines() {
    static std::vector<std::string> lines;
    return lines;
}
void CaptureLine(const char* line) {
    LogLines().emplace_back(line);
}

class InteractionTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        Call("keyboard_unset_map");  // the identity map IO_Init would set
        IO_Clear();
        IO_StartStep();
    }
    void TearDown() override {
        IO_Clear();
        Call("keyboard_unset_map");
        DialogTest::TearDown();
    }
};

}  // namespace

TEST(InteractionRegistrar, RegistersThePartsRowsInOrderWithJoysticksOnlyForOldGames) {
    const int32_t major = g_GameHeader.major;
    for (int32_t version : {1, 2}) {
        g_GameHeader.major = version;
        Code_Function_Free();
        Function_Interaction_Init();
        std::vector<std::pair<std::string, int32_t>> expected = kRowsBeforeJoysticks;
        if (version < 2) expected.insert(expected.end(), kJoystickRows.begin(), kJoystickRows.end());
        expected.insert(expected.end(), kRowsAfterJoysticks.begin(), kRowsAfterJoysticks.end());
        EXPECT_EQ(expected.size(), version < 2 ? 108u : 94u);
        EXPECT_EQ(RegisteredRows(), expected) << "major " << version;
    }
    int32_t id = 0;
    EXPECT_FALSE(Code_Function_Find("joystick_exists", &id));
    Code_Function_Free();
    g_GameHeader.major = major;
}

TEST_F(InteractionTest, KeyboardCheckNoKeyAnyKeyAndSingleKeys) {
    struct Case {
        int32_t key;
        double idle, held;
    };
    const Case cases[] = {{0, 1, 0}, {1, 0, 1}, {65, 0, 1}, {66, 0, 0}, {300, 0, 0}, {-5, 0, 0}, {256, 0, 0}};
    for (const Case& c : cases) EXPECT_EQ(Call("keyboard_check", {RValue_Real(c.key)}).val, c.idle) << c.key;
    IO_OnKeyDown(65, false);
    IO_StartStep();
    for (const Case& c : cases) {
        EXPECT_EQ(Call("keyboard_check", {RValue_Real(c.key)}).val, c.held) << c.key;
        EXPECT_EQ(Call("keyboard_check_pressed", {RValue_Real(c.key)}).val, c.held) << c.key;
        EXPECT_EQ(Call("keyboard_check_released", {RValue_Real(c.key)}).val, c.idle == 1 ? 1 : 0) << c.key;
    }
    EXPECT_TRUE(Interaction_KeyboardCheck(65));
    Call("keyboard_clear", {RValue_Real(65)});
    EXPECT_EQ(Call("keyboard_check", {RValue_Real(65)}).val, 0);
    EXPECT_EQ(Call("keyboard_check", {RValue_Real(0)}).val, 1);
}

TEST_F(InteractionTest, KeyMapSetGetAndUnset) {
    EXPECT_EQ(Call("keyboard_get_map", {RValue_Real(300)}).val, 300);
    EXPECT_EQ(Call("keyboard_get_map", {RValue_Real(-2)}).val, -2);
    Call("keyboard_set_map", {RValue_Real(65), RValue_Real(66)});
    Call("keyboard_set_map", {RValue_Real(300), RValue_Real(66)});
    EXPECT_EQ(Call("keyboard_get_map", {RValue_Real(65)}).val, 66);
    EXPECT_EQ(Call("keyboard_get_map", {RValue_Real(300)}).val, 300);
    Call("keyboard_unset_map");
    EXPECT_EQ(Call("keyboard_get_map", {RValue_Real(65)}).val, 65);
}

TEST_F(InteractionTest, MouseClearAllButtonsOrOneAndTheWheel) {
    for (int32_t button = 1; button <= 3; ++button) IO_OnMouseDown(button, 0, 0);
    IO_OnWheel(true);
    IO_StartStep();
    EXPECT_EQ(Call("mouse_wheel_up").val, 1);
    EXPECT_EQ(Call("mouse_wheel_down").val, 0);
    Call("mouse_clear", {RValue_Real(4)});
    for (int32_t button = 1; button <= 3; ++button) EXPECT_TRUE(IO_MouseButtonDown(button, 0)) << button;
    Call("mouse_clear", {RValue_Real(2)});
    EXPECT_FALSE(IO_MouseButtonDown(2, 0));
    EXPECT_TRUE(IO_MouseButtonDown(1, 0));
    Call("mouse_clear", {RValue_Real(-1)});
    for (int32_t button = 1; button <= 3; ++button) {
        EXPECT_FALSE(IO_MouseButtonDown(button, 0)) << button;
        EXPECT_FALSE(IO_MouseButtonPressed(button, 0)) << button;
    }
}

TEST_F(InteractionTest, FileDialogsAllowWhatWasChosenOnly) {
    const std::string chosen = "/tmp/hv-dialog-test/chosen.txt";
    dialogs.ChoosePath("");
    EXPECT_EQ(TakeText(Call("get_open_filename", {Text("Text|*.txt"), Text("a.txt")})), "<none>");
    EXPECT_FALSE(LoadSave_IsPathAllowed(LOADSAVE_READ_LIST, chosen.c_str()));
    dialogs.ChoosePath(chosen);
    EXPECT_EQ(TakeText(Call("get_open_filename_ext",
                            {Text("Text|*.txt"), Text("a.txt"), Text("/tmp"), Text("Pick")})),
              chosen);
    EXPECT_TRUE(LoadSave_IsPathAllowed(LOADSAVE_READ_LIST, chosen.c_str()));
    EXPECT_FALSE(LoadSave_IsPathAllowed(LOADSAVE_WRITE_LIST, chosen.c_str()));
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[1].title, "Pick");
    EXPECT_EQ(dialogs.fileDialogs[1].folder, "/tmp");

    const std::string saved = "/tmp/hv-dialog-test/saved";
    dialogs.ChoosePath(saved);
    EXPECT_EQ(TakeText(Call("get_save_filename", {Text("Text|*.txt"), Text("")})), saved + ".txt");
    EXPECT_TRUE(LoadSave_IsPathAllowed(LOADSAVE_WRITE_LIST, (saved + ".txt").c_str()));
}

TEST_F(InteractionTest, StubsSayWhatTheyLackAndAnswerTheirFixedValue) {
    struct Case {
        const char* name;
        int32_t argc;
        const char* line;  // null: no line
        double result;     // -99: no result set
    };
    const Case cases[] = {
        {"show_info", 0, "show_info(str) not supported\n", -99},
        {"load_info", 1, "load_info(str) not supported\n", 0},
        {"show_message_ext", 4, "show_message_ext(str,but1,but2,but3) not impleneted\n", 1},
        {"message_background", 1, "message_background(back) not impleneted\n", -99},
        {"message_size", 2, "message_size(w,h)not impleneted\n", -99},
        {"message_caption", 2, "message_caption(show,str) not impleneted\n", -99},
        {"show_menu", 2, "show_menu(str,default) not implemented.\n", 0},
        {"show_menu_pos", 4, "show_menu_pos(X,Y,str,default) not implemented.\n", 0},
        {"get_color", 1, "get_color(def) is not implemented\n", 0},
        {"splash_set_caption", 1, nullptr, -99},
        {"show_video", 3, nullptr, -99},
        {"gpio_get", 1, nullptr, -99},
        {"device_mouse_dbclick_enable", 1, nullptr, -99},
    };
    Console_SetDebuggerSink(CaptureLine);
    for (const Case& c : cases) {
        LogLines().clear();
        std::vector<RValue> args;
        for (int32_t i = 0; i < c.argc; ++i) args.push_back(RValue_Real(0));
        EXPECT_EQ(Call(c.name, args).val, c.result) << c.name;
        EXPECT_EQ(LogLines(), c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{})
            << c.name;
    }
    LogLines().clear();
    EXPECT_EQ(TakeText(Call("get_directory", {Text("x")})), "");
    EXPECT_EQ(LogLines(), std::vector<std::string>{"get_directory(dname) not implemented.\n"});
    Console_SetDebuggerSink(nullptr);
    EXPECT_TRUE(dialogs.shown.empty());
}
