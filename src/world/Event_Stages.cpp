// The event stages of the step and the pending-room rule of the PerformEvent wrappers.
#include <cmath>

#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/RunSwitches.h"
#include "world/Event_Main.h"
#include "io/HTTP_Main.h"
#include "base/GEN8.h"
#include "world/Room_Services.h"
#include "world/Event_Inputs.h"
#include "world/World_Step.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

constexpr int32_t kMouseButtons = 3;
constexpr int32_t kFirstKey = 8;
constexpr int32_t kLastKey = 255;

// While a room change is pending only Create, Destroy, Alarm and Other events run, and only
// for persistent instances or in a persistent room.
bool AllowedWhilePending(const CInstance* self, int32_t type) {
    if (NewRoomCode == ROOM_NO_CHANGE) return true;
    if (type != EVENT_CREATE && type != EVENT_DESTROY && type != EVENT_ALARM && type != EVENT_OTHER)
        return false;
    const CRoom* room = Run_Room();
    return (self != nullptr && self->persistent) || (room != nullptr && room->persistent);
}

bool Skipped(const CInstance* instance, uint64_t pass) {
    return instance->destroyed || instance->deactivated || instance->creationPass > pass;
}

// Visits the instances of every object in the event's list, in list order, skipping those
// destroyed, deactivated or created during the pass.
template <typename Visit>
void ForEachListed(int32_t type, int32_t subtype, uint64_t pass, Visit visit) {
    const EventObjectList& list = Event_ObjectList(type, subtype);
    for (int32_t k = 0; k < list.count; ++k) {
        CObjectHV* object = Object_Find(list.objects[k]);
        if (object == nullptr) continue;
        for (auto* node = object->instances.First(); node != nullptr;) {
            auto* next = node->next;
            CInstance* instance = node->item;
            if (!Skipped(instance, pass)) visit(instance);
            node = next;
        }
    }
}

// One event pass: every listed instance for which `when` holds gets the event.
template <typename When>
void RunPass(int32_t type, int32_t subtype, When when) {
    const uint64_t pass = EventPassCounter++;
    ForEachListed(type, subtype, pass, [&](CInstance* instance) {
        if (when(instance)) PerformEvent_Instance(instance, instance, type, subtype);
    });
}

void RunPass(int32_t type, int32_t subtype) {
    RunPass(type, subtype, [](CInstance*) { return true; });
}

bool KeyState(int32_t key, InputEdge edge) {
    return g_EventInputs.keyState != nullptr && g_EventInputs.keyState(key, edge);
}

bool ButtonState(int32_t button, InputEdge edge) {
    return g_EventInputs.mouseButtonState != nullptr && g_EventInputs.mouseButtonState(button, edge);
}

bool HasSpriteOrMask(const CInstance* instance) {
    SpriteInfo info;
    return InstanceWorld().spriteInfo(instance->sprite_index, &info) ||
           InstanceWorld().spriteInfo(instance->mask_index, &info);
}

void UpdateBox(CInstance* instance) {
    if (instance->boxDirty) InstanceWorld().computeBoundingBox(instance);
}

struct Rect {
    int32_t left, top, right, bottom;
};

// Not overlapping the rectangle at all (touching counts as overlap).
bool OutsideRect(CInstance* instance, const Rect& r) {
    if (HasSpriteOrMask(instance)) {
        UpdateBox(instance);
        return instance->bbox_right < r.left || instance->bbox_left > r.right ||
               instance->bbox_bottom < r.top || instance->bbox_top > r.bottom;
    }
    return instance->x < r.left || instance->x > r.right || instance->y < r.top || instance->y > r.bottom;
}

// Not wholly inside the rectangle.
bool CrossesRect(CInstance* instance, const Rect& r) {
    if (HasSpriteOrMask(instance)) {
        UpdateBox(instance);
        return instance->bbox_left < r.left || instance->bbox_right > r.right || instance->bbox_top < r.top ||
               instance->bbox_bottom > r.bottom;
    }
    return instance->x < r.left || instance->x > r.right || instance->y < r.top || instance->y > r.bottom;
}

// Games on cameras take the camera's rectangle (none: an empty one at the origin); legacy
// views their own area, rounded.
Rect ViewRect(const RoomView& view) {
    if (g_GameHeader.layerModel) {
        Rect r{};
        if (g_RoomServices.cameraRectangle == nullptr ||
            !g_RoomServices.cameraRectangle(view.cameraId, &r.left, &r.top, &r.right, &r.bottom))
            return Rect{};
        return r;
    }
    return Rect{static_cast<int32_t>(std::nearbyint(view.viewX)),
                static_cast<int32_t>(std::nearbyint(view.viewY)),
                static_cast<int32_t>(std::nearbyint(view.viewX + view.viewW)),
                static_cast<int32_t>(std::nearbyint(view.viewY + view.viewH))};
}

// Mouse enter and leave: one update over the objects of both lists, then the two passes.
void MouseEnterLeave(int32_t mouseX, int32_t mouseY) {
    const uint64_t pass = EventPassCounter++;
    auto update = [&](CInstance* instance) {
        if (instance->creationPass >= pass) return;  // updated already, or new
        const bool over = g_EventInputs.collisionPoint != nullptr &&
                          g_EventInputs.collisionPoint(instance, static_cast<float>(mouseX),
                                                       static_cast<float>(mouseY), true);
        const int32_t now = over ? 1 : 2;
        instance->mouseOverState = now | ((now ^ (instance->mouseOverState & 3)) << 2);
        instance->creationPass = pass;
    };
    ForEachListed(EVENT_MOUSE, 10, pass, update);
    ForEachListed(EVENT_MOUSE, 11, pass, update);
    RunPass(EVENT_MOUSE, 10, [](CInstance* i) { return (i->mouseOverState & 4) && (i->mouseOverState & 1); });
    RunPass(EVENT_MOUSE, 11, [](CInstance* i) { return (i->mouseOverState & 8) && (i->mouseOverState & 2); });
}

bool g_joystickDecided = false;
bool g_joystickEvents = false;
bool g_joystickProbe = true;
bool g_joystickPresent[2] = {false, false};

bool AnyJoystickEvent() {
    int32_t total = 0;
    auto add = [&](int32_t from, int32_t to) {
        for (int32_t s = from; s <= to; ++s) total += Event_ObjectList(EVENT_MOUSE, s).count;
    };
    add(16, 19);
    add(21, 28);
    add(31, 34);
    add(36, 43);
    return total > 0;
}

// x and y below 20000 or above 44000 push the stick; buttons 1-8 from the mask.
void JoystickPasses(const JoystickReading& r, int32_t base) {
    if (r.x < 20000) RunPass(EVENT_MOUSE, base);
    if (r.x > 44000) RunPass(EVENT_MOUSE, base + 1);
    if (r.y < 20000) RunPass(EVENT_MOUSE, base + 2);
    if (r.y > 44000) RunPass(EVENT_MOUSE, base + 3);
    for (int32_t n = 1; n <= 8; ++n)
        if (r.buttons & (1u << (n - 1))) RunPass(EVENT_MOUSE, base + 4 + n);
}

// 68, networking, comes from the network pump rather than the request list.
bool IsAsyncSubtype(int32_t subtype) {
    return (subtype >= 60 && subtype <= 64) || (subtype >= 67 && subtype <= 75);
}

}  // namespace

void Joystick_Reset() {
    g_joystickDecided = false;
    g_joystickEvents = false;
    g_joystickProbe = true;
}

void Joystick_Probe() {
    for (int32_t id = 0; id < 2; ++id)
        g_joystickPresent[id] = g_EventInputs.joystickProbe != nullptr && g_EventInputs.joystickProbe(id);
}

// ---------------------------------------------------------------------------------------------
// The wrappers

void PerformEvent_Object(CInstance* self, CInstance* other, int32_t objectIndex, int32_t type,
                         int32_t subtype) {
    if (!AllowedWhilePending(self, type)) return;
    PerformEvent(self, other, objectIndex, type, subtype);
}

void PerformEvent_Instance(CInstance* self, CInstance* other, int32_t type, int32_t subtype) {
    if (self == nullptr || !AllowedWhilePending(self, type)) return;
    PerformEvent(self, other, self->object_index, type, subtype);
}

void PerformEvent_All(int32_t type, int32_t subtype) {
    CRoom* room = Run_Room();
    if (room == nullptr || NewRoomCode != ROOM_NO_CHANGE) return;
    for (CInstance* instance = room->active.head; instance != nullptr;) {
        CInstance* next = instance->depthNext;
        if (!instance->destroyed && !instance->deactivated && AllowedWhilePending(instance, type))
            PerformEvent(instance, instance, instance->object_index, type, subtype);
        instance = next;
    }
}

// ---------------------------------------------------------------------------------------------
// The stages

void HandleStep(int32_t kind) {
    RunPass(EVENT_STEP, kind);
}

void HandleAlarm() {
    const uint64_t pass = EventPassCounter++;
    for (int32_t alarm = 0; alarm < INSTANCE_ALARM_COUNT; ++alarm) {
        ForEachListed(EVENT_ALARM, alarm, pass, [&](CInstance* instance) {
            if (instance->alarm[alarm] >= 0) --instance->alarm[alarm];
            if (instance->alarm[alarm] == 0) PerformEvent_Instance(instance, instance, EVENT_ALARM, alarm);
        });
    }
}

void HandleKeyboard() {
    bool anyHeld = false, anyPressed = false, anyReleased = false;
    for (int32_t key = kFirstKey; key <= kLastKey; ++key) {
        const bool pressed = KeyState(key, INPUT_PRESSED);
        if (KeyState(key, INPUT_HELD) || pressed) {
            RunPass(EVENT_KEYBOARD, key);
            anyHeld = true;
            if (pressed) {
                RunPass(EVENT_KEYPRESS, key);
                anyPressed = true;
            }
        }
        if (KeyState(key, INPUT_RELEASED)) {
            RunPass(EVENT_KEYRELEASE, key);
            anyReleased = true;
        }
    }
    RunPass(EVENT_KEYBOARD, anyHeld ? 1 : 0);
    RunPass(EVENT_KEYPRESS, anyPressed ? 1 : 0);
    RunPass(EVENT_KEYRELEASE, anyReleased ? 1 : 0);
}

void HandleJoystick() {
    if (g_Switches.noDirectInput) return;
    if (!g_joystickDecided) {
        g_joystickDecided = true;
        g_joystickEvents = AnyJoystickEvent();
    }
    if (!g_joystickEvents) return;
    if (g_joystickProbe) {
        g_joystickProbe = false;
        Joystick_Probe();
    }
    for (int32_t j = 1; j <= 2; ++j) {
        JoystickReading reading{};
        if (!g_joystickPresent[j - 1] || g_EventInputs.joystickRead == nullptr ||
            !g_EventInputs.joystickRead(j - 1, &reading))
            continue;
        JoystickPasses(reading, j == 1 ? 16 : 31);
    }
}

void HandleMouse() {
    if (g_EventInputs.windowVisible != nullptr && !g_EventInputs.windowVisible()) return;
    int32_t mx = 0, my = 0;
    if (g_EventInputs.mouseRoomPosition != nullptr) g_EventInputs.mouseRoomPosition(&mx, &my);
    auto underMouse = [&](CInstance* instance) {
        return g_EventInputs.collisionPoint != nullptr &&
               g_EventInputs.collisionPoint(instance, static_cast<float>(mx), static_cast<float>(my), true);
    };

    bool anyHeld = false;
    for (int32_t b = 1; b <= kMouseButtons; ++b) {
        if (!ButtonState(b, INPUT_HELD) && !ButtonState(b, INPUT_PRESSED)) continue;
        anyHeld = true;
        RunPass(EVENT_MOUSE, b - 1, underMouse);
        RunPass(EVENT_MOUSE, 49 + b);
    }
    if (!anyHeld) RunPass(EVENT_MOUSE, 3, underMouse);
    for (int32_t b = 1; b <= kMouseButtons; ++b) {
        if (!ButtonState(b, INPUT_PRESSED)) continue;
        RunPass(EVENT_MOUSE, b + 3, underMouse);
        RunPass(EVENT_MOUSE, 12);
        RunPass(EVENT_MOUSE, 52 + b);
    }
    for (int32_t b = 1; b <= kMouseButtons; ++b) {
        if (!ButtonState(b, INPUT_RELEASED)) continue;
        RunPass(EVENT_MOUSE, b + 6, underMouse);
        RunPass(EVENT_MOUSE, 13);
        RunPass(EVENT_MOUSE, 55 + b);
    }
    MouseEnterLeave(mx, my);
    const int32_t wheel = g_EventInputs.mouseWheel != nullptr ? g_EventInputs.mouseWheel() : 0;
    if (wheel > 0) RunPass(EVENT_MOUSE, 60);
    if (wheel < 0) RunPass(EVENT_MOUSE, 61);
}

void HandleOther() {
    CRoom* room = Run_Room();
    if (room == nullptr) return;
    const Rect roomRect{0, 0, room->width, room->height};

    // Outside Room fires once per exit: the instance's flag remembers that it is out.
    const uint64_t pass = EventPassCounter++;
    ForEachListed(EVENT_OTHER, OTHER_OUTSIDE_ROOM, pass, [&](CInstance* instance) {
        const bool outside = OutsideRect(instance, roomRect);
        if (outside && !instance->outsideRoom)
            PerformEvent_Instance(instance, instance, EVENT_OTHER, OTHER_OUTSIDE_ROOM);
        instance->outsideRoom = outside ? 1 : 0;
    });
    RunPass(EVENT_OTHER, OTHER_INTERSECT_BOUNDARY, [&](CInstance* i) { return CrossesRect(i, roomRect); });

    if (room->viewsEnabled) {
        for (int32_t v = 0; v < kRoomViews; ++v) {
            if (!room->views[v].visible) continue;
            const Rect r = ViewRect(room->views[v]);
            RunPass(EVENT_OTHER, OTHER_OUTSIDE_VIEW0 + v, [&](CInstance* i) { return OutsideRect(i, r); });
        }
        for (int32_t v = 0; v < kRoomViews; ++v) {
            if (!room->views[v].visible) continue;
            const Rect r = ViewRect(room->views[v]);
            RunPass(EVENT_OTHER, OTHER_BOUNDARY_VIEW0 + v, [&](CInstance* i) { return CrossesRect(i, r); });
        }
    }
}

void HandleAsync() {
    HTTP_Poll();
    Async_ProcessRequests();
}

void Async_PerformEvent(int32_t subtype) {
    if (IsAsyncSubtype(subtype)) Event_PerformOtherPass(subtype);
}

void Event_PerformOtherPass(int32_t subtype) {
    const uint64_t pass = EventPassCounter++;
    ForEachListed(EVENT_OTHER, subtype, pass, [&](CInstance* instance) {
        PerformEvent(instance, instance, instance->object_index, EVENT_OTHER, subtype);
    });
}
