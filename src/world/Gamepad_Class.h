// The pad table that gamepad_* built-ins read: slots 0..3 for the standard controllers, then
// eight slots for other joysticks (none under "-nodirectinput"). Each pad keeps its current
// and previous button and axis values as floats, so held, pressed, released and analogue reads
// work the same for both kinds; button and axis codes are translated per slot kind.
#pragma once

#include <cstdint>

struct GamepadDeviceLayer;

constexpr int32_t GAMEPAD_XINPUT_SLOTS = 4;
constexpr int32_t GAMEPAD_DIRECTINPUT_SLOTS = 8;
constexpr int32_t GAMEPAD_XINPUT_BUTTONS = 16, GAMEPAD_XINPUT_AXES = 4;
constexpr int32_t GAMEPAD_DIRECTINPUT_BUTTONS = 128, GAMEPAD_DIRECTINPUT_AXES = 40;
constexpr int32_t GAMEPAD_DESCRIPTION_BYTES = 512;
constexpr int32_t kAsyncEventSystem = 75;

class Gamepad {
public:
    Gamepad(int32_t buttons, int32_t axes, bool xinput);
    ~Gamepad();
    Gamepad(const Gamepad&) = delete;
    Gamepad& operator=(const Gamepad&) = delete;

    // Posts "gamepad discovered" / "gamepad lost" when the flag changes; a pad let go reads 0.
    void SetConnected(bool connected);
    // Current values become the previous ones; the new ones become current.
    void Store(const float* buttons, const float* axes);
    void SetDescription(const char* text);

    // The value of a button code (raw index or gp_* constant); previous: the last poll's.
    float ButtonValue(int32_t code, bool previous) const;
    bool ButtonHeld(int32_t code) const;
    bool ButtonPressed(int32_t code) const;
    bool ButtonReleased(int32_t code) const;
    // The value of an axis code after the dead zone.
    float AxisValue(int32_t code) const;

    bool connected = false;
    bool xinput;
    int32_t buttonCount, axisCount;
    float* previousButtons;
    float* buttons;
    float* axes;
    float* previousAxes;
    float buttonThreshold = 0.5f;
    float axisDeadzone = 0.0f;
    float vibrationLeft = 0.0f, vibrationRight = 0.0f;
    char description[GAMEPAD_DESCRIPTION_BYTES] = {};

private:
    int32_t TranslateButton(int32_t code) const;
    int32_t TranslateAxis(int32_t code) const;
};

// The device layer the pads read (null: no devices). The runner installs the SDL one.
void Gamepad_SetDeviceLayer(const GamepadDeviceLayer* layer);
// The layer, and the window's device-change calls and the restart's announcement.
void Gamepad_InstallHooks(const GamepadDeviceLayer* layer);

// At registration of the gamepad built-ins: whether standard controllers can be read.
void Gamepad_InitXInput();
bool Gamepad_XInputLoaded();
// When the window is made: the generic devices and the table; the device count, or -1 when
// generic devices cannot be used (the table then stays empty).
int32_t Gamepad_InitDirectInput();
void Gamepad_Init(int32_t directInputPads);
void Gamepad_ScanXInput();
void Gamepad_RescanDirectInput();
// Start of each step.
void Gamepad_Poll();
// After a restart: "gamepad discovered" for every connected pad.
void Gamepad_AnnounceAll();
void Gamepad_Shutdown();

int32_t Gamepad_Count();
Gamepad* Gamepad_Get(int32_t index);          // null outside the table
int32_t Gamepad_IndexOf(const Gamepad* pad);  // -1 when absent
// The one-time "not found" line of the value built-ins.
void Gamepad_WarnIfUnsupported();
