// The system side of the input built-ins: the Num Lock state, keys synthesised into our own
// window's event queue, the legacy joysticks (SDL joysticks) and a wait between pumps.
#pragma once

#include <cstdint>

bool PlatformInput_NumLockOn();
// Queues a key message for our own window; the pump hands it on like a real key.
void PlatformInput_PostKey(int32_t virtualKey, bool down);

// A legacy joystick (1 or 2): false when it cannot be read.
struct PlatformJoystickCaps {
    char name[128];
    int32_t axes;
    int32_t buttons;
    int32_t hats;
};
bool PlatformInput_JoystickCaps(int32_t joystick, PlatformJoystickCaps* out);
// Axes 0..5 as 0..65535 (centre 32767), the button word, and the hat in hundredths of a
// degree (above 36000 when centred).
struct PlatformJoystickState {
    uint32_t axes[6];
    uint32_t buttons;
    uint32_t pov;
};
bool PlatformInput_JoystickState(int32_t joystick, PlatformJoystickState* out);
