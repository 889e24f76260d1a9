// The system side of the gamepads: standard game controllers read in the shape of the first
// four pad slots (the controller button word, trigger bytes and signed 16-bit sticks with y
// up), and other joysticks read in the shape of the generic device slots (axes in
// -1000..+1000, four hats in hundredths of a degree, 128 button bytes). The runner's pad layer
// sees only this table of calls; tests put a fake in its place.
#pragma once

#include <cstdint>

constexpr int32_t PAD_CONTROLLERS = 4;
constexpr int32_t PAD_JOYSTICK_AXES = 32;
constexpr int32_t PAD_JOYSTICK_HATS = 4;
constexpr int32_t PAD_JOYSTICK_BUTTONS = 128;

// Bits of a controller's button word.
enum PadControllerButton : uint16_t {
    PAD_DPAD_UP = 0x0001,
    PAD_DPAD_DOWN = 0x0002,
    PAD_DPAD_LEFT = 0x0004,
    PAD_DPAD_RIGHT = 0x0008,
    PAD_START = 0x0010,
    PAD_BACK = 0x0020,
    PAD_LEFT_THUMB = 0x0040,
    PAD_RIGHT_THUMB = 0x0080,
    PAD_LEFT_SHOULDER = 0x0100,
    PAD_RIGHT_SHOULDER = 0x0200,
    PAD_A = 0x1000,
    PAD_B = 0x2000,
    PAD_X = 0x4000,
    PAD_Y = 0x8000,
};

struct PadControllerState {
    uint16_t buttons = 0;
    uint8_t leftTrigger = 0, rightTrigger = 0;
    int16_t thumbLX = 0, thumbLY = 0, thumbRX = 0, thumbRY = 0;  // y positive upwards
};

// Axes 0..7: x, y, z, rx, ry, rz and two sliders; 8..31 the rest of the extended state.
struct PadJoystickState {
    int32_t axes[PAD_JOYSTICK_AXES] = {};
    uint32_t hats[PAD_JOYSTICK_HATS] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu,
                                        0xFFFFFFFFu};  // low word 0xFFFF: centred
    uint8_t buttons[PAD_JOYSTICK_BUTTONS] = {};
};

struct PadJoystickInfo {
    uint64_t key = 0;  // stays the same while the device stays attached
    char instanceName[128] = {};
    char productName[128] = {};
};

struct GamepadDeviceLayer {
    // --- standard controllers, numbers 0..3 ---
    bool (*controllersAvailable)();
    // False when no controller answers to the number (a new one may take it on this call).
    bool (*controllerState)(int32_t number, PadControllerState* out);
    // The controller's sub-type code (1 a standard gamepad).
    int32_t (*controllerSubType)(int32_t number);
    void (*controllerVibrate)(int32_t number, uint16_t left, uint16_t right);
    // --- other joysticks ---
    bool (*joysticksAvailable)();
    // The attached joysticks that are not standard controllers, at most max of them.
    int32_t (*joystickList)(PadJoystickInfo* out, int32_t max);
    bool (*joystickState)(uint64_t key, PadJoystickState* out);
    void (*joystickRelease)(uint64_t key);
    void (*shutdown)();
};

// SDL2 game controllers and joysticks.
const GamepadDeviceLayer* PlatformGamepad_Sdl();
