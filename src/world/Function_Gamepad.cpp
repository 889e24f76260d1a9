#include "world/Function_Gamepad.h"

#include <cstdio>

#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "world/Gamepad_Class.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

Gamepad* PadArg(RValue* args) {
    return Gamepad_Get(Arg_GetInt32(args, 0));
}

// The built-ins that read values say once that no controller layer is there, then go on.
Gamepad* ValuePad(RValue* args) {
    Gamepad_WarnIfUnsupported();
    return PadArg(args);
}

bool InUnitRange(double v) {
    return v >= 0.0 && v <= 1.0;
}

BUILTIN(GamepadIsSupported) {
    Result_SetFlag(result, Gamepad_XInputLoaded());
}

BUILTIN(GamepadGetDeviceCount) {
    Result_SetReal(result, Gamepad_Count());
}

BUILTIN(GamepadIsConnected) {
    const Gamepad* pad = PadArg(args);
    Result_SetFlag(result, pad != nullptr && pad->connected);
}

BUILTIN(GamepadGetDescription) {
    const Gamepad* pad = PadArg(args);
    RValue_SetString(&result, pad != nullptr ? pad->description : "");
}

BUILTIN(GamepadGetButtonThreshold) {
    const Gamepad* pad = PadArg(args);
    Result_SetReal(result, pad != nullptr ? pad->buttonThreshold : 0.0);
}

BUILTIN(GamepadSetButtonThreshold) {
    Gamepad* pad = PadArg(args);
    const double value = Arg_GetReal(args, 1);
    if (!InUnitRange(value)) {
        Runtime_ErrorNonFatal("%s", "Button threshold is outside the accepted range");
        return;
    }
    if (pad != nullptr) pad->buttonThreshold = static_cast<float>(value);
}

BUILTIN(GamepadGetAxisDeadzone) {
    const Gamepad* pad = PadArg(args);
    Result_SetReal(result, pad != nullptr ? pad->axisDeadzone : 0.0);
}

BUILTIN(GamepadSetAxisDeadzone) {
    Gamepad* pad = PadArg(args);
    const double value = Arg_GetReal(args, 1);
    if (!InUnitRange(value)) {
        Runtime_ErrorNonFatal("%s", "Axis dead zone is outside the accepted range");
        return;
    }
    if (pad != nullptr) pad->axisDeadzone = static_cast<float>(value);
}

BUILTIN(GamepadButtonCount) {
    const Gamepad* pad = PadArg(args);
    Result_SetReal(result, pad != nullptr && pad->connected ? pad->buttonCount : 0);
}

BUILTIN(GamepadAxisCount) {
    const Gamepad* pad = PadArg(args);
    Result_SetReal(result, pad != nullptr && pad->connected ? pad->axisCount : 0);
}

BUILTIN(GamepadButtonCheck) {
    const Gamepad* pad = ValuePad(args);
    Result_SetFlag(result, pad != nullptr && pad->ButtonHeld(Arg_GetInt32(args, 1)));
}

BUILTIN(GamepadButtonCheckPressed) {
    const Gamepad* pad = ValuePad(args);
    Result_SetFlag(result, pad != nullptr && pad->ButtonPressed(Arg_GetInt32(args, 1)));
}

BUILTIN(GamepadButtonCheckReleased) {
    const Gamepad* pad = ValuePad(args);
    Result_SetFlag(result, pad != nullptr && pad->ButtonReleased(Arg_GetInt32(args, 1)));
}

BUILTIN(GamepadButtonValue) {
    const Gamepad* pad = ValuePad(args);
    Result_SetReal(result, pad != nullptr ? pad->ButtonValue(Arg_GetInt32(args, 1), false) : 0.0);
}

BUILTIN(GamepadAxisValue) {
    const Gamepad* pad = ValuePad(args);
    Result_SetReal(result, pad != nullptr ? pad->AxisValue(Arg_GetInt32(args, 1)) : 0.0);
}

float UnitClamped(double v) {
    return static_cast<float>(v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v);
}

BUILTIN(GamepadSetVibration) {
    Gamepad* pad = ValuePad(args);
    if (pad == nullptr) return;
    pad->vibrationLeft = UnitClamped(Arg_GetReal(args, 1));
    pad->vibrationRight = UnitClamped(Arg_GetReal(args, 2));
}

// No light bar to set here: the colour is only logged, as 0x01RRGGBB.
BUILTIN(GamepadSetColour) {
    Gamepad_WarnIfUnsupported();
    const uint32_t bgr = Arg_GetUInt32(args, 1);
    const uint32_t rgb = 0x01000000u | (bgr & 0xFFu) << 16 | (bgr & 0xFF00u) | (bgr >> 16 & 0xFFu);
    DebugConsole.Output("setting pad color to 0x%x\n", rgb);
}

}  // namespace

void InitGamepadFunctions() {
    Gamepad_InitXInput();
    static const BuiltinRow kRows[] = {
        {"gamepad_is_supported", F_GamepadIsSupported, 0},
        {"gamepad_get_device_count", F_GamepadGetDeviceCount, 0},
        {"gamepad_is_connected", F_GamepadIsConnected, 1},
        {"gamepad_get_description", F_GamepadGetDescription, 1},
        {"gamepad_get_button_threshold", F_GamepadGetButtonThreshold, 1},
        {"gamepad_set_button_threshold", F_GamepadSetButtonThreshold, 2},
        {"gamepad_get_axis_deadzone", F_GamepadGetAxisDeadzone, 1},
        {"gamepad_set_axis_deadzone", F_GamepadSetAxisDeadzone, 2},
        {"gamepad_button_count", F_GamepadButtonCount, 1},
        {"gamepad_axis_count", F_GamepadAxisCount, 1},
        {"gamepad_button_check", F_GamepadButtonCheck, 2},
        {"gamepad_button_check_pressed", F_GamepadButtonCheckPressed, 2},
        {"gamepad_button_check_released", F_GamepadButtonCheckReleased, 2},
        {"gamepad_button_value", F_GamepadButtonValue, 2},
        {"gamepad_axis_value", F_GamepadAxisValue, 2},
        {"gamepad_set_vibration", F_GamepadSetVibration, 3},
        {"gamepad_set_colour", F_GamepadSetColour, 2},
        {"gamepad_set_color", F_GamepadSetColour, 2},
    };
    Code_Function_AddRows(kRows);
}
