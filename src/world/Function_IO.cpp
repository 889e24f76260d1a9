#include "world/Function_IO.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "core/Code_Function.h"
#include "core/RunSwitches.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Window.h"
#include "platform/DialogLayer.h"
#include "platform/InputM.h"
#include "base/Runner.h"
#include "world/IO_Main.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

constexpr int32_t kNumLockKey = 144;
constexpr auto kWaitRound = std::chrono::milliseconds(50);

// The legacy joystick calls: 2 chooses joystick 2, anything else joystick 1.
int32_t JoystickOf(RValue* args) {
    return Arg_GetInt32(args, 0) == 2 ? 2 : 1;
}

bool AnyButton(bool (*test)(int32_t, int32_t)) {
    return test(1, 0) || test(2, 0) || test(3, 0);
}

void MouseCheck(RValue& result, RValue* args, bool (*test)(int32_t, int32_t)) {
    const int32_t button = Arg_GetInt32(args, 0);
    bool answer = false;
    if (button == 0) {
        answer = !AnyButton(test);
    } else if (button == -1) {
        answer = AnyButton(test);
    } else {
        answer = test(button, 0);
    }
    Result_SetFlag(result, answer);
}

// Under "-headless" or playback no player can answer, so the wait returns at once.
bool WaitingPossible() {
    return !g_Switches.headless && !g_Switches.playback;
}

BUILTIN(KeyboardCheckDirect) {
    Result_SetFlag(result, IO_SystemKeyDown(Arg_GetInt32(args, 0)));
}
BUILTIN(KeyboardGetNumlock) {
    Result_SetFlag(result, PlatformInput_NumLockOn());
}
BUILTIN(KeyboardSetNumlock) {
    if (Arg_GetBool(args, 0) == PlatformInput_NumLockOn()) return;
    PlatformInput_PostKey(kNumLockKey, true);
    PlatformInput_PostKey(kNumLockKey, false);
}
BUILTIN(KeyboardKeyPress) {
    const int32_t key = Arg_GetInt32(args, 0);
    if (key >= 0 && key < IO_KEYS) PlatformInput_PostKey(key, true);
}
BUILTIN(KeyboardKeyRelease) {
    const int32_t key = Arg_GetInt32(args, 0);
    if (key >= 0 && key < IO_KEYS) PlatformInput_PostKey(key, false);
}
BUILTIN(MouseCheckButton) {
    MouseCheck(result, args, IO_MouseButtonDown);
}
BUILTIN(MouseCheckButtonPressed) {
    MouseCheck(result, args, IO_MouseButtonPressed);
}
BUILTIN(MouseCheckButtonReleased) {
    MouseCheck(result, args, IO_MouseButtonReleased);
}
BUILTIN(KeyboardWait) {
    IO_ResetLastKeyBoth();
    if (!WaitingPossible()) return;
    for (;;) {
        ProcessMessages();
        if (IO_BackEndKeyPressed()) break;
        std::this_thread::sleep_for(kWaitRound);
    }
    Result_SetReal(result, 0.0);
}
BUILTIN(MouseWait) {
    IO_ResetLastButtonBoth();
    if (!WaitingPossible()) return;
    for (;;) {
        ProcessMessages();
        if (IO_BackEndButtonPressed()) break;
        std::this_thread::sleep_for(kWaitRound);
    }
}
BUILTIN(JoystickExists) {
    PlatformJoystickCaps caps;
    Result_SetFlag(result, PlatformInput_JoystickCaps(JoystickOf(args), &caps));
}
BUILTIN(JoystickName) {
    PlatformJoystickCaps caps;
    RValue_CreateString(&result, PlatformInput_JoystickCaps(JoystickOf(args), &caps) ? caps.name : "");
}
BUILTIN(JoystickAxes) {
    PlatformJoystickCaps caps;
    Result_SetReal(result, PlatformInput_JoystickCaps(JoystickOf(args), &caps) ? caps.axes : 0);
}
BUILTIN(JoystickButtons) {
    PlatformJoystickCaps caps;
    Result_SetReal(result, PlatformInput_JoystickCaps(JoystickOf(args), &caps) ? caps.buttons : 0);
}
BUILTIN(JoystickHasPov) {
    PlatformJoystickCaps caps;
    Result_SetFlag(result, PlatformInput_JoystickCaps(JoystickOf(args), &caps) && caps.hats > 0);
}
BUILTIN(JoystickDirection) {
    PlatformJoystickState state;
    if (!PlatformInput_JoystickState(JoystickOf(args), &state)) return Result_SetReal(result, 101);
    Result_SetReal(result, IO_JoystickDirection(state.axes[0], state.axes[1]));
}
BUILTIN(JoystickCheckButton) {
    const int32_t button = Arg_GetInt32(args, 1);
    PlatformJoystickState state;
    const bool held = button >= 1 && button <= 32 && PlatformInput_JoystickState(JoystickOf(args), &state) &&
                      ((state.buttons >> (button - 1)) & 1u) != 0;
    Result_SetFlag(result, held);
}

void AxisPosition(RValue& result, RValue* args, int axis) {
    PlatformJoystickState state;
    if (!PlatformInput_JoystickState(JoystickOf(args), &state)) return Result_SetReal(result, 0.0);
    Result_SetReal(result, static_cast<double>(state.axes[axis]) / 32767.0 - 1.0);
}
BUILTIN(JoystickXpos) {
    AxisPosition(result, args, 0);
}
BUILTIN(JoystickYpos) {
    AxisPosition(result, args, 1);
}
BUILTIN(JoystickZpos) {
    AxisPosition(result, args, 2);
}
BUILTIN(JoystickRpos) {
    AxisPosition(result, args, 3);
}
BUILTIN(JoystickUpos) {
    AxisPosition(result, args, 4);
}
BUILTIN(JoystickVpos) {
    AxisPosition(result, args, 5);
}
BUILTIN(JoystickPov) {
    PlatformJoystickState state;
    if (!PlatformInput_JoystickState(JoystickOf(args), &state) || state.pov > 36000)
        return Result_SetReal(result, -1);
    Result_SetReal(result, state.pov / 100.0);
}

char g_chosenPath[4096];

const char* RunFileDialog(bool save, const char* filter, const char* fileName, const char* folder,
                          const char* title) {
    PlatformFileDialog dialog;
    dialog.save = save;
    dialog.title = title ? title : "";
    dialog.fileName = fileName ? std::string(fileName).substr(0, 260) : "";
    dialog.folder = folder ? folder : "";
    const std::string text = filter ? filter : "";
    size_t start = 0;
    while (start < text.size()) {
        const size_t bar = text.find('|', start);
        const std::string name =
            text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (bar == std::string::npos) break;
        const size_t next = text.find('|', bar + 1);
        dialog.filters.emplace_back(name,
                                    text.substr(bar + 1, next == std::string::npos ? next : next - bar - 1));
        start = next == std::string::npos ? text.size() : next + 1;
    }
    std::string path;
    if (!PlatformDialog_ChooseFile(dialog, path)) return nullptr;
    if (save && path.find('.', path.find_last_of('/') + 1) == std::string::npos) {
        char extension[64];
        if (IO_DefaultExtension(filter, extension, sizeof extension)[0] != '\0')
            path += std::string(".") + extension;
    }
    std::strncpy(g_chosenPath, path.c_str(), sizeof g_chosenPath - 1);
    g_chosenPath[sizeof g_chosenPath - 1] = '\0';
    return g_chosenPath;
}

}  // namespace

int32_t IO_JoystickDirection(uint32_t x, uint32_t y) {
    const int32_t column = x < 20000 ? 0 : x < 44001 ? 1 : 2;
    const int32_t row = y < 20000 ? 0 : y < 44001 ? 1 : 2;
    return 103 - 3 * row + column;
}

const char* IO_DefaultExtension(const char* filter, char* out, int32_t size) {
    out[0] = '\0';
    if (filter == nullptr || size <= 0) return out;
    const char* bar = std::strchr(filter, '|');
    const char* dot = bar ? std::strchr(bar, '.') : nullptr;
    if (dot == nullptr) return out;
    ++dot;
    int32_t n = 0;
    while (dot[n] != '\0' && dot[n] != '|' && dot[n] != ';' && n < size - 1) ++n;
    std::memcpy(out, dot, static_cast<size_t>(n));
    out[n] = '\0';
    return out;
}

void IO_ShowMessage(const char* text) {
    if (Window_Get_Fullscreen()) Window_Set_Fullscreen(false);
    if (!PlatformDialog_ShowMessage(Window_Get_Caption(), text)) return;
    IO_Clear();
}
bool IO_ShowVideo() {
    return true;
}
bool IO_ShowImage() {
    return true;
}
bool IO_ShowText() {
    return true;
}
const char* IO_GetOpenFileName(const char* filter, const char* fileName, const char* folder,
                               const char* title) {
    return RunFileDialog(false, filter, fileName, folder, title);
}
const char* IO_GetSaveFileName(const char* filter, const char* fileName, const char* folder,
                               const char* title) {
    return RunFileDialog(true, filter, fileName, folder, title);
}
uint32_t FposToSize(int64_t position) {
    return static_cast<uint32_t>(position);
}

// The interaction registrar puts these rows among its own; this table is their one home.
const BuiltinRow kInputRows[] = {
    {"keyboard_check_direct", F_KeyboardCheckDirect, 1},
    {"keyboard_get_numlock", F_KeyboardGetNumlock, 0},
    {"keyboard_set_numlock", F_KeyboardSetNumlock, 1},
    {"keyboard_key_press", F_KeyboardKeyPress, 1},
    {"keyboard_key_release", F_KeyboardKeyRelease, 1},
    {"mouse_check_button", F_MouseCheckButton, 1},
    {"mouse_check_button_pressed", F_MouseCheckButtonPressed, 1},
    {"mouse_check_button_released", F_MouseCheckButtonReleased, 1},
    {"keyboard_wait", F_KeyboardWait, 0},
    {"mouse_wait", F_MouseWait, 0},
    {"joystick_exists", F_JoystickExists, 1},
    {"joystick_name", F_JoystickName, 1},
    {"joystick_axes", F_JoystickAxes, 1},
    {"joystick_buttons", F_JoystickButtons, 1},
    {"joystick_has_pov", F_JoystickHasPov, 1},
    {"joystick_direction", F_JoystickDirection, 1},
    {"joystick_check_button", F_JoystickCheckButton, 2},
    {"joystick_xpos", F_JoystickXpos, 1},
    {"joystick_ypos", F_JoystickYpos, 1},
    {"joystick_zpos", F_JoystickZpos, 1},
    {"joystick_rpos", F_JoystickRpos, 1},
    {"joystick_upos", F_JoystickUpos, 1},
    {"joystick_vpos", F_JoystickVpos, 1},
    {"joystick_pov", F_JoystickPov, 1},
};

void InitIOFunctions() {
    Code_Function_AddRows(kInputRows);
}

BuiltinProc IO_InputBuiltin(const char* name) {
    for (const BuiltinRow& row : kInputRows)
        if (std::strcmp(row.name, name) == 0) return row.function;
    return nullptr;
}
