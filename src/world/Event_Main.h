// Event dispatch: the handler lookup up the parent chain, PerformEvent with its context and
// nesting limit, the per-event object lists and collision pairs, and the event stages that
// the step runs.
#pragma once

#include <cstdint>

#include "world/Object_Class.h"

class CInstance;

// The event now running: read by event_type, event_number, event_object and the error
// report. Saved and restored around every handler.
struct CurrentEvent {
    int32_t type = 0;
    int32_t number = 0;
    int32_t object = 0;  // the object whose handler runs (or the time line's index)
    int32_t depth = 0;   // PerformEvent calls now running
};
extern CurrentEvent g_CurrentEvent;

constexpr int32_t kEventMaxDepth = 32;
constexpr int32_t kEventListSubtypes = 256;

// Per (type, subtype): the objects that have the event themselves or through an ancestor,
// in ascending index order.
struct EventObjectList {
    int32_t count = 0;
    int32_t capacity = 0;
    int32_t* objects = nullptr;
};
const EventObjectList& Event_ObjectList(int32_t type, int32_t subtype);

// One unordered pair of objects in which the first has a collision event for the second or
// one of its ancestors.
struct CollisionObjectPair {
    int32_t first;
    int32_t second;
    CObjectHV* firstObject;
    CObjectHV* secondObject;
    uint8_t active;
};
int32_t CollisionObjectPairs_Count();
const CollisionObjectPair* CollisionObjectPairs();

// Rebuilds the lists and pairs (game start, object_set_parent, object_event_clear).
void Object_BuildEventLists();
// Frees the lists and pairs (end of a turn).
void Object_FreeEventLists();

// The handler of (type, subtype) for an object: its own, else its ancestors'; for
// collisions also for the other object's ancestors. `handlerObject` receives the index of
// the object that supplied it.
CEvent* FindEventHandler(int32_t objectIndex, int32_t type, int32_t subtype, int32_t* handlerObject);

// Looks up and runs a handler; nothing when there is none. Nesting beyond 32 is fatal.
void PerformEvent(CInstance* self, CInstance* other, int32_t objectIndex, int32_t type, int32_t subtype);
// The same under the pending-room rule.
void PerformEvent_Object(CInstance* self, CInstance* other, int32_t objectIndex, int32_t type,
                         int32_t subtype);
// With the instance's own object, under the pending-room rule; nothing for null.
void PerformEvent_Instance(CInstance* self, CInstance* other, int32_t type, int32_t subtype);
// Every active instance of the current room, each as its own self and other.
void PerformEvent_All(int32_t type, int32_t subtype);

// The stages of the step.
void HandleStep(int32_t kind);
void HandleAlarm();
void HandleKeyboard();
void HandleJoystick();
void HandleMouse();
void HandleOther();
void HandleAsync();
// Tests which legacy joysticks are present (first joystick stage, device changes).
void Joystick_Probe();
// Forgets the joystick stage's decision and asks for a probe (start of a turn).
void Joystick_Reset();
// One asynchronous pass over the objects with Other event `subtype` (the request list's
// subtypes only).
void Async_PerformEvent(int32_t subtype);
// The same pass for any Other subtype: instances made during the pass are skipped.
void Event_PerformOtherPass(int32_t subtype);
