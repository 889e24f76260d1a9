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
#include "base/Error_Report.h"
#include "world/Function_IO.h"
#include "base/GEN8.h"
#include "base/Runner.h"
#include "world/IO_Main.h"
#include "world/Run.h"
#include "services/InputQuery.h"
#include "services/Run_Score.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
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

BUILTIN(AcceptArguments) {}

BUILTIN(ShowNothing) {
    IO_Clear();
}

BUILTIN(ShowInfo) {
    DebugConsole.Output("show_info(str) not supported\n");
    IO_Clear();
}
BUILTIN(LoadInfo) {
    DebugConsole.Output("load_info(str) not supported\n");
    Result_SetReal(result, 0);
}
BUILTIN(ShowMessageExt) {
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

BUILTIN(ShowMenu) {
    DebugConsole.Output("show_menu(str,default) not implemented.\n");
    IO_Clear();
    Result_SetReal(result, 0);
}
BUILTIN(ShowMenuPos) {
    DebugConsole.Output("show_menu_pos(X,Y,str,default) not implemented.\n");
    IO_Clear();
    Result_SetReal(result, 0);
}
BUILTIN(GetColor) {
    DebugConsole.Output("get_color(def) is not implemented\n");
    IO_Clear();
    Result_SetReal(result, 0);
}
BUILTIN(GetDirectory) {
    DebugConsole.Output("get_directory(dname) not implemented.\n");
    IO_Clear();
    RValue_SetString(&result, "");
}
BUILTIN(GetDirectoryAlt) {
    DebugConsole.Output("get_directory_alt(capt,root) not implemented.\n");
    IO_Clear();
    RValue_SetString(&result, "");
}

// --- messages, questions and input --------------------------------------------------------

BUILTIN(ShowMessage) {
    char* text = DialogText(args, 0);
    IO_ShowMessage(text);
    MEM_FREE(text);
    IO_Clear();
}
BUILTIN(ShowQuestion) {
    char* text = DialogText(args, 0);
    Result_SetFlag(result, Dialog_ShowQuestion(Window_Get_Caption(), text));
    MEM_FREE(text);
    IO_Clear();
}
BUILTIN(ShowMessageAsync) {
    char* text = DialogText(args, 0);
    Result_SetReal(result, Dialog_RequestMessage(Window_Get_Caption(), text));
    MEM_FREE(text);
    IO_Clear();
}
BUILTIN(ShowQuestionAsync) {
    char* text = DialogText(args, 0);
    Result_SetReal(result, Dialog_RequestQuestion(Window_Get_Caption(), text));
    MEM_FREE(text);
    IO_Clear();
}
BUILTIN(ShowError) {
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

BUILTIN(GetString) {
    char* answer = nullptr;
    RValue_SetString(&result, AskString(args, &answer) ? answer : nullptr);
    MEM_FREE(answer);
    IO_Clear();
}
BUILTIN(GetInteger) {
    char* answer = nullptr;
    if (AskString(args, &answer)) Result_SetReal(result, Dialog_AnswerValue(answer));
    MEM_FREE(answer);
    IO_Clear();
}
BUILTIN(GetStringAsync) {
    char* defaultText = DialogText(args, 1);
    Result_SetReal(result,
                   Dialog_RequestInput(Window_Get_Caption(), Arg_GetStringOrEmpty(args, 0), defaultText));
    MEM_FREE(defaultText);
}
BUILTIN(GetLoginAsync) {
    Result_SetReal(result, Dialog_RequestLogin(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1)));
}

// --- file-name dialogs ----------------------------------------------------------------------

// A chosen path may be read (open) or written (save) outside the save area from now on.
void FileDialogResult(RValue& result, const char* path, LoadSaveAllowList list) {
    if (path != nullptr) LoadSave_AddAllowedPath(list, path, false);
    RValue_SetString(&result, path);
    IO_Clear();
}
BUILTIN(GetOpenFilename) {
    FileDialogResult(
        result,
        IO_GetOpenFileName(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1), nullptr, nullptr),
        LOADSAVE_READ_LIST);
}
BUILTIN(GetSaveFilename) {
    FileDialogResult(
        result,
        IO_GetSaveFileName(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1), nullptr, nullptr),
        LOADSAVE_WRITE_LIST);
}
BUILTIN(GetOpenFilenameExt) {
    FileDialogResult(result,
                     IO_GetOpenFileName(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1),
                                        Arg_GetStringOrEmpty(args, 2), Arg_GetStringOrEmpty(args, 3)),
                     LOADSAVE_READ_LIST);
}
BUILTIN(GetSaveFilenameExt) {
    FileDialogResult(result,
                     IO_GetSaveFileName(Arg_GetStringOrEmpty(args, 0), Arg_GetStringOrEmpty(args, 1),
                                        Arg_GetStringOrEmpty(args, 2), Arg_GetStringOrEmpty(args, 3)),
                     LOADSAVE_WRITE_LIST);
}

// --- the high-score table -------------------------------------------------------------------

BUILTIN(HighscoreShow) {
    Arg_GetInt32(args, 0);
    IO_Clear();
}
BUILTIN(HighscoreSetBackground) {
    Highscore_Settings().background = Arg_GetInt32(args, 0);
}
BUILTIN(HighscoreSetBorder) {
    Highscore_Settings().border = Arg_GetBool(args, 0);
}
BUILTIN(HighscoreSetFont) {
    // Only a name changes the font; anything else leaves it, without a complaint.
    if (!RValue_IsString(args[0])) return;
    if (const char* name = Arg_GetString(args, 0)) {
        Highscore_SetText(Highscore_Settings().fontName, name);
        Highscore_Settings().fontSize = Arg_GetInt32(args, 1);
    }
}
BUILTIN(HighscoreSetStrings) {
    HighscoreSettings& settings = Highscore_Settings();
    Highscore_SetText(settings.caption, Arg_GetStringOrEmpty(args, 0));
    Highscore_SetText(settings.nobody, Arg_GetStringOrEmpty(args, 1));
    Highscore_SetText(settings.closeHint, Arg_GetStringOrEmpty(args, 2));
}
BUILTIN(HighscoreSetColors) {
    HighscoreSettings& settings = Highscore_Settings();
    settings.backgroundColour = Arg_GetInt32(args, 0);
    settings.newColour = Arg_GetInt32(args, 1);
    settings.otherColour = Arg_GetInt32(args, 2);
}
BUILTIN(HighscoreShowExt) {
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
BUILTIN(HighscoreClear) {
    Highscore_Clear();
}
BUILTIN(HighscoreAdd) {
    Highscore_Add(Arg_GetString(args, 0), Arg_GetInt32(args, 1));
}
BUILTIN(HighscoreAddCurrent) {
    Highscore_Add("DEFAULT", g_RunState.score);
    IO_Clear();
}
BUILTIN(HighscoreValue) {
    Result_SetReal(result, Highscore_Value(Arg_GetInt32(args, 0)));
}
BUILTIN(HighscoreName) {
    RValue_SetString(&result, Highscore_Name(Arg_GetInt32(args, 0)));
}
BUILTIN(DrawHighscore) {
    Interaction_DrawHighscore(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                              Arg_GetInt32(args, 3));
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

BUILTIN(KeyboardCheck) {
    Result_SetFlag(result, Interaction_KeyboardCheck(Arg_GetInt32(args, 0)));
}
BUILTIN(KeyboardCheckPressed) {
    Result_SetFlag(result, KeyCheck(Arg_GetInt32(args, 0), IO_KeyPressed));
}
BUILTIN(KeyboardCheckReleased) {
    Result_SetFlag(result, KeyCheck(Arg_GetInt32(args, 0), IO_KeyReleased));
}
BUILTIN(KeyboardSetMap) {
    const int32_t key = Arg_GetInt32(args, 0);
    const int32_t to = Arg_GetInt32(args, 1);
    if (key >= 0 && key < IO_KEYS) IO_SetKeyMap(key, to);
}
BUILTIN(KeyboardGetMap) {
    const int32_t key = Arg_GetInt32(args, 0);
    Result_SetReal(result, key >= 0 && key < IO_KEYS ? IO_GetKeyMap(key) : key);
}
BUILTIN(KeyboardUnsetMap) {
    for (int32_t key = 0; key < IO_KEYS; ++key) IO_SetKeyMap(key, key);
}
BUILTIN(MouseWheelUp) {
    Result_SetFlag(result, IO_WheelUp(0));
}
BUILTIN(MouseWheelDown) {
    Result_SetFlag(result, IO_WheelDown(0));
}
BUILTIN(KeyboardClear) {
    ProcessMessages();
    const int32_t key = Arg_GetInt32(args, 0);
    if (key >= 0 && key < IO_KEYS) IO_ClearKey(key);
}
BUILTIN(MouseClear) {
    ProcessMessages();
    const int32_t button = Arg_GetInt32(args, 0);
    if (button == -1) {
        for (int32_t b = 1; b <= IO_MOUSE_BUTTONS; ++b) IO_ClearMouseButton(b, 0);
    } else if (button >= 1 && button <= IO_MOUSE_BUTTONS) {
        IO_ClearMouseButton(button, 0);
    }
}
BUILTIN(IoClear) {
    ProcessMessages();
    IO_Clear();
}
BUILTIN(IoHandle) {
    ProcessMessages();
}

// --- the table ------------------------------------------------------------------------------

constexpr int32_t kSplashFlag = 1;

const BuiltinRow kSplashRows[] = {
    {"splash_set_caption", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_fullscreen", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_border", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_size", F_AcceptArguments, 2, kSplashFlag},
    {"splash_set_adapt", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_top", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_color", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_main", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_scale", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_cursor", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_interrupt", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_stop_key", F_AcceptArguments, 1, kSplashFlag},
    {"splash_set_stop_mouse", F_AcceptArguments, 1, kSplashFlag},
    {"splash_show_video", F_ShowNothing, 2, kSplashFlag},
    {"splash_show_image", F_ShowNothing, 2, kSplashFlag},
    {"splash_show_text", F_ShowNothing, 2, kSplashFlag},
    {"show_image", F_ShowNothing, 3, kSplashFlag},
    {"show_video", F_ShowNothing, 3, kSplashFlag},
    {"show_text", F_ShowNothing, 4, kSplashFlag},
};

const BuiltinRow kDialogRows[] = {
    {"show_message", F_ShowMessage, 1},
    {"show_question", F_ShowQuestion, 1},
    {"show_message_async", F_ShowMessageAsync, 1},
    {"show_question_async", F_ShowQuestionAsync, 1},
    {"show_error", F_ShowError, 2},
    {"show_info", F_ShowInfo, 0},
    {"load_info", F_LoadInfo, 1},
    {"highscore_show", F_HighscoreShow, 1},
    {"highscore_set_background", F_HighscoreSetBackground, 1},
    {"highscore_set_border", F_HighscoreSetBorder, 1},
    {"highscore_set_font", F_HighscoreSetFont, 3},
    {"highscore_set_strings", F_HighscoreSetStrings, 3},
    {"highscore_set_colors", F_HighscoreSetColors, 3},
    {"highscore_show_ext", F_HighscoreShowExt, 7},
    {"highscore_clear", F_HighscoreClear, 0},
    {"highscore_add", F_HighscoreAdd, 2},
    {"highscore_add_current", F_HighscoreAddCurrent, 0},
    {"highscore_value", F_HighscoreValue, 1},
    {"highscore_name", F_HighscoreName, 1},
    {"draw_highscore", F_DrawHighscore, 4},
    {"show_message_ext", F_ShowMessageExt, 4},
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
    {"show_menu", F_ShowMenu, 2},
    {"show_menu_pos", F_ShowMenuPos, 4},
    {"get_integer", F_GetInteger, 2},
    {"get_integer_async", F_GetStringAsync, 2},
    {"get_string", F_GetString, 2},
    {"get_string_async", F_GetStringAsync, 2},
    {"get_login_async", F_GetLoginAsync, 2},
    {"get_color", F_GetColor, 1},
    {"get_open_filename", F_GetOpenFilename, 2},
    {"get_save_filename", F_GetSaveFilename, 2},
    {"get_open_filename_ext", F_GetOpenFilenameExt, 4},
    {"get_save_filename_ext", F_GetSaveFilenameExt, 4},
    {"get_directory", F_GetDirectory, 1},
    {"get_directory_alt", F_GetDirectoryAlt, 2},
};

// Rows whose behaviour the input layer owns are marked by a null function here and taken
// from it by name.
const BuiltinRow kKeyboardRows[] = {
    {"keyboard_get_numlock", nullptr, 0},
    {"keyboard_set_numlock", nullptr, 1},
    {"keyboard_key_press", nullptr, 1},
    {"keyboard_key_release", nullptr, 1},
    {"keyboard_set_map", F_KeyboardSetMap, 2},
    {"keyboard_get_map", F_KeyboardGetMap, 1},
    {"keyboard_unset_map", F_KeyboardUnsetMap, 0},
    {"keyboard_check", F_KeyboardCheck, 1},
    {"keyboard_check_pressed", F_KeyboardCheckPressed, 1},
    {"keyboard_check_released", F_KeyboardCheckReleased, 1},
    {"keyboard_check_direct", nullptr, 1},
    {"mouse_check_button", nullptr, 1},
    {"mouse_check_button_pressed", nullptr, 1},
    {"mouse_check_button_released", nullptr, 1},
    {"mouse_wheel_up", F_MouseWheelUp, 0},
    {"mouse_wheel_down", F_MouseWheelDown, 0},
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
    {"keyboard_clear", F_KeyboardClear, 1},
    {"mouse_clear", F_MouseClear, 1},
    {"io_clear", F_IoClear, 0},
    {"io_handle", F_IoHandle, 0},
    {"device_mouse_dbclick_enable", F_AcceptArguments, 0},
    {"keyboard_wait", nullptr, 0},
    {"mouse_wait", nullptr, 0},
    {"browser_input_capture", F_AcceptArguments, 1},
    {"gpio_set", F_AcceptArguments, 2},
    {"gpio_clear", F_AcceptArguments, 1},
    {"gpio_get", F_AcceptArguments, 1},
    {"gpio_set_mode", F_AcceptArguments, 2},
    {"F_GPIO_Set_Function", F_AcceptArguments, 2},
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

void Interaction_DrawHighscore(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int32_t step = (y2 - y1) / HIGHSCORE_PLACES;
    int32_t y = y1;
    for (int32_t place = 1; place <= HIGHSCORE_PLACES; ++place, y += step) {
        if (const char* name = Highscore_Name(place)) Text_Draw(x1, y, name, -1, -1);
        char value[16];
        std::snprintf(value, sizeof value, "%d", Highscore_Value(place));
        Text_Draw(x2 - Text_Width(value, -1, -1), y, value, -1, -1);
    }
}
