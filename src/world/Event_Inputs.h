// What the keyboard, mouse and joystick stages read of the player: the input module's state,
// the pointer in room coordinates and the instances under it. A default-made EventInputs is the
// real player; tests replace members to script one. A member left null reads as the window
// visible and no joystick.
#pragma once

#include <cstdint>

#include "world/IO_Main.h"

class CInstance;

// One legacy joystick's reading.
struct JoystickReading {
    uint32_t x, y;     // 0 .. 65535, centre 32767
    uint32_t buttons;  // bit n-1: button n held
};

// The instance's mask (precise or its box) covers the point.
bool Collision_InstanceAtPoint(CInstance* instance, float x, float y, bool precise);

struct EventInputs {
    bool (*keyState)(int32_t key, InputEdge edge) = IO_KeyState;
    // Buttons: 1 left, 2 right, 3 middle. The wheel: 1 up, -1 down, 0 still (this step).
    bool (*mouseButtonState)(int32_t button, InputEdge edge) = IO_MouseButtonState;
    int32_t (*mouseWheel)() = IO_WheelDirection;
    void (*mouseRoomPosition)(int32_t* x, int32_t* y) = IO_MouseRoomPosition;  // device 0
    bool (*windowVisible)() = nullptr;  // the window is never hidden from the game here
    // The legacy joysticks answer "no device" on this platform; tests plug one in.
    bool (*joystickProbe)(int32_t systemId) = nullptr;  // present?
    bool (*joystickRead)(int32_t systemId, JoystickReading* out) = nullptr;
    bool (*collisionPoint)(CInstance* instance, float x, float y, bool precise) = Collision_InstanceAtPoint;
};

extern EventInputs g_EventInputs;
