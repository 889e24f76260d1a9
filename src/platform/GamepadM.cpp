#include "platform/GamepadM.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kMaxJoysticks = 16;

SDL_GameController* g_controllers[PAD_CONTROLLERS] = {};
uint32_t g_rumble[PAD_CONTROLLERS] = {};  // the last speeds sent, left << 16 | right

struct OpenJoystick {
    SDL_JoystickID id;
    SDL_Joystick* joystick;
};
OpenJoystick g_joysticks[kMaxJoysticks] = {};
int32_t g_joystickCount = 0;

bool EnsureSubsystem() {
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0) return true;
    return SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

// The device list and the readings follow the devices without waiting for a window pump.
void Refresh() {
    if (EnsureSubsystem()) SDL_GameControllerUpdate();
}

bool ControllerHeld(SDL_JoystickID id) {
    for (SDL_GameController* c : g_controllers)
        if (c != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c)) == id) return true;
    return false;
}

// A controller that went away answers nothing and frees its number; a free number takes the
// first attached controller that has none yet on the next call, so the pad on that number is
// lost before another device can be found there.
SDL_GameController* Controller(int32_t number) {
    SDL_GameController*& slot = g_controllers[number];
    if (slot != nullptr && !SDL_GameControllerGetAttached(slot)) {
        SDL_GameControllerClose(slot);
        slot = nullptr;
        g_rumble[number] = 0;
        return nullptr;
    }
    if (slot != nullptr) return slot;
    const int32_t count = SDL_NumJoysticks();
    for (int32_t i = 0; i < count; ++i) {
        if (!SDL_IsGameController(i) || ControllerHeld(SDL_JoystickGetDeviceInstanceID(i))) continue;
        slot = SDL_GameControllerOpen(i);
        if (slot != nullptr) return slot;
    }
    return nullptr;
}

int16_t Negated(int16_t v) {
    return static_cast<int16_t>(std::clamp(-static_cast<int32_t>(v), -32768, 32767));
}

// The controller reports 0..32767; the reading wants a byte.
uint8_t TriggerByte(int16_t v) {
    return static_cast<uint8_t>(std::clamp(static_cast<int32_t>(v), 0, 32767) * 255 / 32767);
}

struct ButtonBit {
    SDL_GameControllerButton button;
    uint16_t bit;
};
constexpr ButtonBit kButtonBits[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, PAD_DPAD_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PAD_DPAD_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PAD_DPAD_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PAD_DPAD_RIGHT},
    {SDL_CONTROLLER_BUTTON_START, PAD_START},
    {SDL_CONTROLLER_BUTTON_BACK, PAD_BACK},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, PAD_LEFT_THUMB},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, PAD_RIGHT_THUMB},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, PAD_LEFT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, PAD_RIGHT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_A, PAD_A},
    {SDL_CONTROLLER_BUTTON_B, PAD_B},
    {SDL_CONTROLLER_BUTTON_X, PAD_X},
    {SDL_CONTROLLER_BUTTON_Y, PAD_Y},
};

bool ControllersAvailable() {
    return EnsureSubsystem();
}

bool ControllerState(int32_t number, PadControllerState* out) {
    if (number < 0 || number >= PAD_CONTROLLERS || !EnsureSubsystem()) return false;
    Refresh();
    SDL_GameController* c = Controller(number);
    if (c == nullptr) return false;
    PadControllerState s;
    for (const ButtonBit& b : kButtonBits)
        if (SDL_GameControllerGetButton(c, b.button) != 0) s.buttons |= b.bit;
    s.leftTrigger = TriggerByte(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
    s.rightTrigger = TriggerByte(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
    s.thumbLX = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
    s.thumbLY = Negated(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY));
    s.thumbRX = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTX);
    s.thumbRY = Negated(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTY));
    *out = s;
    return true;
}

int32_t ControllerSubType(int32_t) {
    return 1;  // every mapped controller is read as a standard gamepad
}

// The speeds hold until changed, as the controller's own set-state call does.
void ControllerVibrate(int32_t number, uint16_t left, uint16_t right) {
    if (number < 0 || number >= PAD_CONTROLLERS || g_controllers[number] == nullptr) return;
    const uint32_t speeds = static_cast<uint32_t>(left) << 16 | right;
    if (speeds == g_rumble[number]) return;
    g_rumble[number] = speeds;
    SDL_GameControllerRumble(g_controllers[number], left, right, 0xFFFFFFFFu);
}

bool JoysticksAvailable() {
    return EnsureSubsystem();
}

void CopyName(char* out, size_t size, const char* name) {
    std::snprintf(out, size, "%s", name != nullptr ? name : "");
}

int32_t JoystickList(PadJoystickInfo* out, int32_t max) {
    if (!EnsureSubsystem()) return 0;
    Refresh();
    int32_t n = 0;
    const int32_t count = SDL_NumJoysticks();
    for (int32_t i = 0; i < count && n < max; ++i) {
        if (SDL_IsGameController(i)) continue;
        PadJoystickInfo& info = out[n++];
        info.key = static_cast<uint64_t>(static_cast<uint32_t>(SDL_JoystickGetDeviceInstanceID(i)));
        CopyName(info.instanceName, sizeof info.instanceName, SDL_JoystickNameForIndex(i));
        CopyName(info.productName, sizeof info.productName, SDL_JoystickNameForIndex(i));
    }
    return n;
}

SDL_Joystick* Joystick(uint64_t key) {
    const auto id = static_cast<SDL_JoystickID>(key);
    for (int32_t i = 0; i < g_joystickCount; ++i)
        if (g_joysticks[i].id == id) return g_joysticks[i].joystick;
    if (g_joystickCount == kMaxJoysticks) return nullptr;
    const int32_t count = SDL_NumJoysticks();
    for (int32_t i = 0; i < count; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) != id) continue;
        SDL_Joystick* joystick = SDL_JoystickOpen(i);
        if (joystick != nullptr) g_joysticks[g_joystickCount++] = {id, joystick};
        return joystick;
    }
    return nullptr;
}

uint32_t HatHundredths(uint8_t hat) {
    switch (hat) {
        case SDL_HAT_UP:
            return 0;
        case SDL_HAT_RIGHTUP:
            return 4500;
        case SDL_HAT_RIGHT:
            return 9000;
        case SDL_HAT_RIGHTDOWN:
            return 13500;
        case SDL_HAT_DOWN:
            return 18000;
        case SDL_HAT_LEFTDOWN:
            return 22500;
        case SDL_HAT_LEFT:
            return 27000;
        case SDL_HAT_LEFTUP:
            return 31500;
        default:
            return 0xFFFFFFFFu;
    }
}

bool JoystickState(uint64_t key, PadJoystickState* out) {
    if (!EnsureSubsystem()) return false;
    Refresh();
    SDL_Joystick* joystick = Joystick(key);
    if (joystick == nullptr || !SDL_JoystickGetAttached(joystick)) return false;
    PadJoystickState s;
    const int32_t axes = std::min(SDL_JoystickNumAxes(joystick), PAD_JOYSTICK_AXES);
    for (int32_t a = 0; a < axes; ++a) {
        const double v = SDL_JoystickGetAxis(joystick, a) * 1000.0 / 32767.0;
        s.axes[a] = static_cast<int32_t>(std::lround(std::clamp(v, -1000.0, 1000.0)));
    }
    const int32_t hats = std::min(SDL_JoystickNumHats(joystick), PAD_JOYSTICK_HATS);
    for (int32_t h = 0; h < hats; ++h) s.hats[h] = HatHundredths(SDL_JoystickGetHat(joystick, h));
    const int32_t buttons = std::min(SDL_JoystickNumButtons(joystick), PAD_JOYSTICK_BUTTONS);
    for (int32_t b = 0; b < buttons; ++b) s.buttons[b] = SDL_JoystickGetButton(joystick, b) != 0 ? 0x80 : 0;
    *out = s;
    return true;
}

void JoystickRelease(uint64_t key) {
    const auto id = static_cast<SDL_JoystickID>(key);
    for (int32_t i = 0; i < g_joystickCount; ++i) {
        if (g_joysticks[i].id != id) continue;
        SDL_JoystickClose(g_joysticks[i].joystick);
        g_joysticks[i] = g_joysticks[--g_joystickCount];
        return;
    }
}

void Shutdown() {
    for (int32_t n = 0; n < PAD_CONTROLLERS; ++n) {
        if (g_controllers[n] != nullptr) SDL_GameControllerClose(g_controllers[n]);
        g_controllers[n] = nullptr;
        g_rumble[n] = 0;
    }
    while (g_joystickCount > 0) JoystickRelease(static_cast<uint32_t>(g_joysticks[0].id));
}

const GamepadDeviceLayer kSdlLayer = {
    ControllersAvailable, ControllerState, ControllerSubType, ControllerVibrate, JoysticksAvailable,
    JoystickList,         JoystickState,   JoystickRelease,   Shutdown,
};

}  // namespace

const GamepadDeviceLayer* PlatformGamepad_Sdl() {
    return &kSdlLayer;
}
