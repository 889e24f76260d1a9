#include "services/Function_Interaction.h"

#include <cstdio>
#include <cstring>

#include "assets/Graphics_Text.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "data/Common.h"
#include "graphics/Graphics_Window.h"
#include "io/LoadSave.h"
#include "platform/DialogLayer.h"
#include "runner/Error_Report.h"
#include "runner/Function_IO.h"
#include "runner/GEN8.h"
#include "runner/HalvaneM.h"
#include "runner/IO_Main.h"
#include "runner/Run.h"
#include "services/InputQuery.h"
#include "services/Run_Score.h"

namespace {

#define BUILTIN(name)                                                                \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc,  \
                  [[maybe_unused]] RValue* args)

// A dialog's text: the argument in its text form with each "#" made a line break. The caller
// frees it.
char* DialogText(const RValue* args, int32_t n) {
    char* base = nullptr;
    char* cursor = nullptr;
    int32_t capacity = 0;
    RValue_AppendText(cursor, base, capacity, &args[n]);
    if (base == nullptr) base = MEM_COPY_TEXT("");
    String_ConvertHashNewlines(base);
    return base;
}

// Modal dialogs under "-headless" get the scripted form, which never waits for a player.
ScriptedDialogs g_headlessDialogs;

// --- splash screens, info and the message settings ----------------------------------------

BUILTIN(accept_arguments) {}

BUILTIN(show_nothing) {
    IO_Clear();
}

BUILTIN(show_info) {
    DebugConsole.Output("show_info(str) not supported\n");
    IO_Clear();
}
BUILTIN(load_info) {
    DebugConsole.Output("load_info(str) not supported\n");
    Result_SetReal(result, 0);
}
BUILTIN(show_message_ext) {
    DebugConsole.Output("show_message_ext(str,but1,but2,but3) not impleneted\n");
    IO_Clear();
    Result_SetReal(result, 1);
}

// Rows that only say they are not there.
template <const char* kLine>
void NotImplemented(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    DebugConsole.Output("%s", kLine);
}
constexpr char kMessageBackground[] = "message_background(back) not impleneted\n";
constexpr char kMessageButton[] = "message_button(spr) not impleneted\n";
constexpr char kMessageAlpha[] = "message_alpha(alpha) not impleneted\n";
constexpr char kMessageTextFont[] = "message_text_font(name,size,color,style) not impleneted\n";
constexpr char kMessageButtonFont[] = "message_button_font(name,size,color,style) not impleneted\n";
constexpr char kMessageInputFont[] = "message_input_font(name,size,color,style) not impleneted\n";
constexpr char kMessageMouseColor[] = "message_mouse_color(col) not impleneted\n";
constexpr char kMessageInputColor[] = "message_input_color(col) not impleneted\n";
constexpr char kMessagePosition[] = "message_position(x,y) not impleneted\n";
constexpr char kMessageSize[] = "message_size(w,h)not impleneted\n";
constexpr char kMessageCaption[] = "message_caption(show,str) not impleneted\n";

BUILTIN(show_menu) {
    DebugConsole.Output("show_menu(str,default) not implemented.\n");
    IO_Clear();
    Result_SetReal(result, 0);
}
BUILTIN(show_menu_pos) {
    DebugConsole.Output("show_menu_pos(X,Y,str,default) not implemented.\n");
    IO_Clear();
    Result_SetReal(result, 0);
}
BUILTIN(get_color) {
    DebugConsole.Output("get_color(def) is not implemented\n");
    IO_Clear();
    Result_SetReal(result, 0);
}
BUILTIN(get_directory) {
    DebugConsole.Output("get_directory(dname) not implemented.\n");
    IO_Clear();
    RValue_SetString(&result, "");
}
BUILTIN(get_directory_alt) {
    DebugConsole.Output("get_directory_alt(capt,root) not implemented.\n");
    IO_Clear();
    RValue_SetString(&result, "");
}

// --- messages, questions and input --------------------------------------------------------

BUILTIN(show_message) {
    char* text = DialogText(args, 0);
    IO_ShowMessage(text);
    MEM_FREE(text);
    IO_Clear();
}
BUILTIN(show_question) {
    char* text = DialogText(args, 0);
    Result_SetFlag(result, Dialog_ShowQuestion(Window_Get_Caption(), text));
    MEM_FREE(text);
    IO_Clear();
}
BUILTIN(show_message_async) {
    char* text = DialogText(args, 0);
    Result_SetReal(result, Dialog_RequestMessage(Window_Get_Caption(), text));
    MEM_FREE(text);
    IO_Clear();
}
BUILTIN(show_question_async) {
    char* text = DialogText(args, 0);
    Result_SetReal(result, Dialog_RequestQuestion(Window_Get_Caption(), text));
    MEM_FREE(text);
    IO_Clear();
}
BUILTIN(show_error) {
    char* text = DialogText(args, 0);
    const bool abort = Arg_GetBool(args, 1);
    Error_Report(text, abort);
    MEM_FREE(text);
}

// The modal input dialog: true with the answer on OK.
bool AskString(const RValue* args, char** answer) {
    const char* prompt = Arg_GetStringOrEmpty(args, 0);
    char* defaultText = DialogText(args, 1);
    const bool ok = Dialog_GetString(Window_Get_Caption(), prompt, defaultText, answer);
    MEM_FREE(defaultText);
    return ok;
}

BUILTIN(get_string) {
    char* answer = nullptr;
    RValue_SetString(&result, AskString(args, &answer) ? answer : nullptr);
    MEM_FREE(answer);
    IO_Clear();
}
BUILTIN(get_integer) {
    char* answer = nullptr;
    if (AskString(args, &answer)) Result_SetReal(result, Dialog_AnswerValue(answer));
    MEM_FREE(answer);
    IO_Clear();
}
BUILTIN(get_string_async) {
    char* defaultText = DialogText(args, 1);
    Result_SetReal(result,
                   Dialog_RequestInput(Window_Get_Caption(), Arg_GetStringOrEmpty(args, 0), defaultText));
    MEM_FREE(defaultText);
}
BUILTIN(get_login_async) {
    Result_SetReal(result, Dialog_RequestLogin(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1)));
}

// --- file-name dialogs ----------------------------------------------------------------------

// A chosen path may be read (open) or written (save) outside the save area from now on.
void FileDialogResult(RValue& result, const char* path, LoadSaveAllowList list) {
    if (path != nullptr) LoadSave_AddAllowedPath(list, path, false);
    RValue_SetString(&result, path);
    IO_Clear();
}
BUILTIN(get_open_filename) {
    FileDialogResult(
        result,
        IO_GetOpenFileName(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1), nullptr, nullptr),
        LOADSAVE_READ_LIST);
}
BUILTIN(get_save_filename) {
    FileDialogResult(
        result,
        IO_GetSaveFileName(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1), nullptr, nullptr),
        LOADSAVE_WRITE_LIST);
}
BUILTIN(get_open_filename_ext) {
    FileDialogResult(result,
                     IO_GetOpenFileName(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1),
                                        Arg_GetStringOrEmpty(args, 2), Arg_GetStringOrEmpty(args, 3)),
                     LOADSAVE_READ_LIST);
}
BUILTIN(get_save_filename_ext) {
    FileDialogResult(result,
                     IO_GetSaveFileName(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1),
                                        Arg_GetStringOrEmpty(args, 2), Arg_GetStringOrEmpty(args, 3)),
                     LOADSAVE_WRITE_LIST);
}

// --- the high-score table -------------------------------------------------------------------

BUILTIN(highscore_show) {
    Arg_GetInt32(args, 0);
    IO_Clear();
}
BUILTIN(highscore_set_background) {
    Highscore_Settings().background = Arg_GetInt32(args, 0);
}
BUILTIN(highscore_set_border) {
    Highscore_Settings().border = Arg_GetBool(args, 0);
}
BUILTIN(highscore_set_font) {
    // Only a name changes the font; anything else leaves it, without a complaint.
    if ((args[0].kind & VALUE_KIND_MASK) != VALUE_STRING) return;
    if (const char* name = Arg_GetString(args, 0)) {
        Highscore_SetText(Highscore_Settings().fontName, name);
        Highscore_Settings().fontSize = Arg_GetInt32(args, 1);
    }
}
BUILTIN(highscore_set_strings) {
    HighscoreSettings& settings = Highscore_Settings();
    Highscore_SetText(settings.caption, Arg_GetStringOrEmpty(args, 0));
    Highscore_SetText(settings.nobody, Arg_GetStringOrEmpty(args, 1));
    Highscore_SetText(settings.closeHint, Arg_GetStringOrEmpty(args, 2));
}
BUILTIN(highscore_set_colors) {
    HighscoreSettings& settings = Highscore_Settings();
    settings.backgroundColour = Arg_GetInt32(args, 0);
    settings.newColour = Arg_GetInt32(args, 1);
    settings.otherColour = Arg_GetInt32(args, 2);
}
BUILTIN(highscore_show_ext) {
    HighscoreSettings& settings = Highscore_Settings();
    Arg_GetInt32(args, 0);
    settings.background = Arg_GetInt32(args, 1);
    settings.border = Arg_GetBool(args, 2);
    settings.newColour = Arg_GetInt32(args, 3);
    settings.otherColour = Arg_GetInt32(args, 4);
    Highscore_SetText(settings.fontName, Arg_GetStringOrEmpty(args, 5));
    settings.fontSize = Arg_GetInt32(args, 6);
    IO_Clear();
}
BUILTIN(highscore_clear) {
    Highscore_Clear();
}
BUILTIN(highscore_add) {
    Highscore_Add(Arg_GetString(args, 0), Arg_GetInt32(args, 1));
}
BUILTIN(highscore_add_current) {
    Highscore_Add("DEFAULT", g_RunState.score);
    IO_Clear();
}
BUILTIN(highscore_value) {
    Result_SetReal(result, Highscore_Value(Arg_GetInt32(args, 0)));
}
BUILTIN(highscore_name) {
    RValue_SetString(&result, Highscore_Name(Arg_GetInt32(args, 0)));
}
BUILTIN(draw_highscore) {
    const int32_t x1 = Arg_GetInt32(args, 0), y1 = Arg_GetInt32(args, 1);
    const int32_t x2 = Arg_GetInt32(args, 2), y2 = Arg_GetInt32(args, 3);
    const int32_t step = (y2 - y1) / HIGHSCORE_PLACES;
    int32_t y = y1;
    for (int32_t place = 1; place <= HIGHSCORE_PLACES; ++place, y += step) {
        if (const char* name = Highscore_Name(place)) Text_Draw(x1, y, name, -1, -1);
        char value[16];
        std::snprintf(value, sizeof value, "%d", Highscore_Value(place));
        Text_Draw(x2 - Text_Width(value, -1, -1), y, value, -1, -1);
    }
}

// --- keyboard and mouse ---------------------------------------------------------------------

// 0 stands for no key and 1 for any key; the rest are single keys.
bool KeyCheck(int32_t key, bool (*held)(int32_t)) {
    if (key == 0 || key == 1) {
        bool any = false;
        for (int32_t k = 0; k < IO_KEYS && !any; ++k) any = held(k);
        return key == 0 ? !any : any;
    }
    return key >= 2 && key < IO_KEYS && held(key);
}

BUILTIN(keyboard_check) {
    Result_SetFlag(result, Interaction_KeyboardCheck(Arg_GetInt32(args, 0)));
}
BUILTIN(keyboard_check_pressed) {
    Result_SetFlag(result, KeyCheck(Arg_GetInt32(args, 0), IO_KeyPressed));
}
BUILTIN(keyboard_check_released) {
    Result_SetFlag(result, KeyCheck(Arg_GetInt32(args, 0), IO_KeyReleased));
}
BUILTIN(keyboard_set_map) {
    const int32_t key = Arg_GetInt32(args, 0);
    const int32_t to = Arg_GetInt32(args, 1);
    if (key >= 0 && key < IO_KEYS) IO_SetKeyMap(key, to);
}
BUILTIN(keyboard_get_map) {
    const int32_t key = Arg_GetInt32(args, 0);
    Result_SetReal(result, key >= 0 && key < IO_KEYS ? IO_GetKeyMap(key) : key);
}
BUILTIN(keyboard_unset_map) {
    for (int32_t key = 0; key < IO_KEYS; ++key) IO_SetKeyMap(key, key);
}
BUILTIN(mouse_wheel_up) {
    Result_SetFlag(result, IO_WheelUp(0));
}
BUILTIN(mouse_wheel_down) {
    Result_SetFlag(result, IO_WheelDown(0));
}
BUILTIN(keyboard_clear) {
    ProcessMessages();
    const int32_t key = Arg_GetInt32(args, 0);
    if (key >= 0 && key < IO_KEYS) IO_ClearKey(key);
}
BUILTIN(mouse_clear) {
    ProcessMessages();
    const int32_t button = Arg_GetInt32(args, 0);
    if (button == -1) {
        for (int32_t b = 1; b <= IO_MOUSE_BUTTONS; ++b) IO_ClearMouseButton(b, 0);
    } else if (button >= 1 && button <= IO_MOUSE_BUTTONS) {
        IO_ClearMouseButton(button, 0);
    }
}
BUILTIN(io_clear) {
    ProcessMessages();
    IO_Clear();
}
BUILTIN(io_handle) {
    ProcessMessages();
}

// --- the table ------------------------------------------------------------------------------

constexpr int32_t kSplashFlag = 1;

const BuiltinRow kSplashRows[] = {
    {"splash_set_caption", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_fullscreen", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_border", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_size", F_accept_arguments, 2, kSplashFlag},
    {"splash_set_adapt", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_top", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_color", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_main", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_scale", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_cursor", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_interrupt", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_stop_key", F_accept_arguments, 1, kSplashFlag},
    {"splash_set_stop_mouse", F_accept_arguments, 1, kSplashFlag},
    {"splash_show_video", F_show_nothing, 2, kSplashFlag},
    {"splash_show_image", F_show_nothing, 2, kSplashFlag},
    {"splash_show_text", F_show_nothing, 2, kSplashFlag},
    {"show_image", F_show_nothing, 3, kSplashFlag},
    {"show_video", F_show_nothing, 3, kSplashFlag},
    {"show_text", F_show_nothing, 4, kSplashFlag},
};

const BuiltinRow kDialogRows[] = {
    {"show_message", F_show_message, 1},
    {"show_question", F_show_question, 1},
    {"show_message_async", F_show_message_async, 1},
    {"show_question_async", F_show_question_async, 1},
    {"show_error", F_show_error, 2},
    {"show_info", F_show_info, 0},
    {"load_info", F_load_info, 1},
    {"highscore_show", F_highscore_show, 1},
    {"highscore_set_background", F_highscore_set_background, 1},
    {"highscore_set_border", F_highscore_set_border, 1},
    {"highscore_set_font", F_highscore_set_font, 3},
    {"highscore_set_strings", F_highscore_set_strings, 3},
    {"highscore_set_colors", F_highscore_set_colors, 3},
    {"highscore_show_ext", F_highscore_show_ext, 7},
    {"highscore_clear", F_highscore_clear, 0},
    {"highscore_add", F_highscore_add, 2},
    {"highscore_add_current", F_highscore_add_current, 0},
    {"highscore_value", F_highscore_value, 1},
    {"highscore_name", F_highscore_name, 1},
    {"draw_highscore", F_draw_highscore, 4},
    {"show_message_ext", F_show_message_ext, 4},
    {"message_background", NotImplemented<kMessageBackground>, 1},
    {"message_button", NotImplemented<kMessageButton>, 1},
    {"message_alpha", NotImplemented<kMessageAlpha>, 1},
    {"message_text_font", NotImplemented<kMessageTextFont>, 4},
    {"message_button_font", NotImplemented<kMessageButtonFont>, 4},
    {"message_input_font", NotImplemented<kMessageInputFont>, 4},
    {"message_mouse_color", NotImplemented<kMessageMouseColor>, 1},
    {"message_input_color", NotImplemented<kMessageInputColor>, 1},
    {"message_position", NotImplemented<kMessagePosition>, 2},
    {"message_size", NotImplemented<kMessageSize>, 2},
    {"message_caption", NotImplemented<kMessageCaption>, 2},
    {"show_menu", F_show_menu, 2},
    {"show_menu_pos", F_show_menu_pos, 4},
    {"get_integer", F_get_integer, 2},
    {"get_integer_async", F_get_string_async, 2},
    {"get_string", F_get_string, 2},
    {"get_string_async", F_get_string_async, 2},
    {"get_login_async", F_get_login_async, 2},
    {"get_color", F_get_color, 1},
    {"get_open_filename", F_get_open_filename, 2},
    {"get_save_filename", F_get_save_filename, 2},
    {"get_open_filename_ext", F_get_open_filename_ext, 4},
    {"get_save_filename_ext", F_get_save_filename_ext, 4},
    {"get_directory", F_get_directory, 1},
    {"get_directory_alt", F_get_directory_alt, 2},
};

// Rows whose behaviour the input layer owns are marked by a null function here and taken
// from it by name.
const BuiltinRow kKeyboardRows[] = {
    {"keyboard_get_numlock", nullptr, 0},
    {"keyboard_set_numlock", nullptr, 1},
    {"keyboard_key_press", nullptr, 1},
    {"keyboard_key_release", nullptr, 1},
    {"keyboard_set_map", F_keyboard_set_map, 2},
    {"keyboard_get_map", F_keyboard_get_map, 1},
    {"keyboard_unset_map", F_keyboard_unset_map, 0},
    {"keyboard_check", F_keyboard_check, 1},
    {"keyboard_check_pressed", F_keyboard_check_pressed, 1},
    {"keyboard_check_released", F_keyboard_check_released, 1},
    {"keyboard_check_direct", nullptr, 1},
    {"mouse_check_button", nullptr, 1},
    {"mouse_check_button_pressed", nullptr, 1},
    {"mouse_check_button_released", nullptr, 1},
    {"mouse_wheel_up", F_mouse_wheel_up, 0},
    {"mouse_wheel_down", F_mouse_wheel_down, 0},
};

const BuiltinRow kJoystickRows[] = {
    {"joystick_exists", nullptr, 1},       {"joystick_direction", nullptr, 1},
    {"joystick_name", nullptr, 1},         {"joystick_axes", nullptr, 1},
    {"joystick_buttons", nullptr, 1},      {"joystick_has_pov", nullptr, 1},
    {"joystick_check_button", nullptr, 2}, {"joystick_xpos", nullptr, 1},
    {"joystick_ypos", nullptr, 1},         {"joystick_zpos", nullptr, 1},
    {"joystick_rpos", nullptr, 1},         {"joystick_upos", nullptr, 1},
    {"joystick_vpos", nullptr, 1},         {"joystick_pov", nullptr, 1},
};

const BuiltinRow kHousekeepingRows[] = {
    {"keyboard_clear", F_keyboard_clear, 1},
    {"mouse_clear", F_mouse_clear, 1},
    {"io_clear", F_io_clear, 0},
    {"io_handle", F_io_handle, 0},
    {"device_mouse_dbclick_enable", F_accept_arguments, 0},
    {"keyboard_wait", nullptr, 0},
    {"mouse_wait", nullptr, 0},
    {"browser_input_capture", F_accept_arguments, 1},
    {"gpio_set", F_accept_arguments, 2},
    {"gpio_clear", F_accept_arguments, 1},
    {"gpio_get", F_accept_arguments, 1},
    {"gpio_set_mode", F_accept_arguments, 2},
    {"F_GPIO_Set_Function", F_accept_arguments, 2},
};

template <size_t N>
void AddRows(const BuiltinRow (&rows)[N]) {
    for (const BuiltinRow& row : rows) {
        BuiltinProc function = row.function ? row.function : IO_InputBuiltin(row.name);
        Code_Function_Add(row.name, function, row.argc, row.flag);
    }
}

}  // namespace

bool Interaction_KeyboardCheck(int32_t key) {
    return KeyCheck(key, IO_KeyDown);
}

void Function_Interaction_Init() {
    Window_Set_Caption(g_GameHeader.displayName ? g_GameHeader.displayName : "Made with Halvane");
    if (g_Switches.headless) PlatformDialog_SetBackend(&g_headlessDialogs);
    AddRows(kSplashRows);
    AddRows(kDialogRows);
    AddRows(kKeyboardRows);
    if (g_GameHeader.major < 2) AddRows(kJoystickRows);
    AddRows(kHousekeepingRows);
}
