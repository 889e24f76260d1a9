#include "platform/InputM.h"

#include <SDL.h>

#include <cstdint>
#include <cstring>

#include "platform/WindowMessage.h"

namespace {

bool EnsureJoysticks() {
    static const bool ready = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    return ready;
}

// Joystick 1 is the first device SDL lists, 2 the second; each is opened on demand and kept.
SDL_Joystick* Joystick(int32_t joystick) {
    static SDL_Joystick* open[2] = {nullptr, nullptr};
    if (joystick < 1 || joystick > 2 || !EnsureJoysticks()) return nullptr;
    SDL_Joystick*& slot = open[joystick - 1];
    if (slot != nullptr && !SDL_JoystickGetAttached(slot)) {
        SDL_JoystickClose(slot);
        slot = nullptr;
    }
    if (slot == nullptr && joystick - 1 < SDL_NumJoysticks()) slot = SDL_JoystickOpen(joystick - 1);
    return slot;
}

uint32_t AxisPosition(int16_t value) {
    return static_cast<uint32_t>(static_cast<int32_t>(value) + 32768);
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
            return 65535;
    }
}

}  // namespace

bool PlatformInput_NumLockOn() {
    return (SDL_GetModState() & KMOD_NUM) != 0;
}

void PlatformInput_PostKey(int32_t virtualKey, bool down) {
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0 && SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return;
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    event.user.code = down ? PLATFORM_POSTED_KEY_DOWN : PLATFORM_POSTED_KEY_UP;
    event.user.data1 = reinterpret_cast<void*>(static_cast<uintptr_t>(virtualKey & 0xFF));
    SDL_PushEvent(&event);
}

bool PlatformInput_JoystickCaps(int32_t joystick, PlatformJoystickCaps* out) {
    SDL_Joystick* device = Joystick(joystick);
    if (device == nullptr) return false;
    const char* name = SDL_JoystickName(device);
    std::strncpy(out->name, name != nullptr ? name : "", sizeof out->name - 1);
    out->name[sizeof out->name - 1] = '\0';
    out->axes = SDL_JoystickNumAxes(device);
    out->buttons = SDL_JoystickNumButtons(device);
    out->hats = SDL_JoystickNumHats(device);
    return true;
}

bool PlatformInput_JoystickState(int32_t joystick, PlatformJoystickState* out) {
    SDL_Joystick* device = Joystick(joystick);
    if (device == nullptr) return false;
    SDL_JoystickUpdate();
    const int axes = SDL_JoystickNumAxes(device);
    for (int a = 0; a < 6; ++a)
        out->axes[a] = a < axes ? AxisPosition(SDL_JoystickGetAxis(device, a)) : 32767;
    out->buttons = 0;
    const int buttons = SDL_JoystickNumButtons(device);
    for (int b = 0; b < buttons && b < 32; ++b)
        if (SDL_JoystickGetButton(device, b)) out->buttons |= 1u << b;
    out->pov = SDL_JoystickNumHats(device) > 0 ? HatHundredths(SDL_JoystickGetHat(device, 0)) : 65535;
    return true;
}
