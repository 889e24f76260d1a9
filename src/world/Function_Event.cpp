#include "world/Function_Event.h"

#include "core/Code_Function.h"
#include "core/Value_Convert.h"
#include "world/Event_Main.h"
#include "world/Object_Class.h"
#include "world/Object_Main.h"

namespace {

constexpr int32_t kEventOther = 7;
constexpr int32_t kUserEventBase = 10;

void F_EventPerform(RValue&, CInstance* self, CInstance* other, int32_t, RValue* args) {
    PerformEvent_Instance(self, other, Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}

void F_EventUser(RValue&, CInstance* self, CInstance* other, int32_t, RValue* args) {
    PerformEvent_Instance(self, other, kEventOther, Arg_GetInt32(args, 0) + kUserEventBase);
}

void F_EventPerformObject(RValue&, CInstance* self, CInstance* other, int32_t, RValue* args) {
    PerformEvent_Object(self, other, Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

// The parent's version of the event now running, performed on self; the dispatcher's own
// lookup then walks further up when the parent has no handler of its own. A time-line moment
// is no object's event: its "object" is the time line's index.
void F_EventInherited(RValue&, CInstance* self, CInstance* other, int32_t, RValue*) {
    const CurrentEvent running = g_CurrentEvent;
    if (running.type < 0 || running.type >= EVENT_TYPE_COUNT) return;
    if (!Object_Exists(running.object)) return;
    const int32_t parent = Object_Find(running.object)->parentIndex;
    if (!Object_Exists(parent)) return;
    PerformEvent_Object(self, other, parent, running.type, running.number);
}

const BuiltinRow kRows[] = {
    {"event_inherited", F_EventInherited, 0, 0},
    {"event_perform", F_EventPerform, 2, 0},
    {"event_user", F_EventUser, 1, 0},
    {"event_perform_object", F_EventPerformObject, 3, 0},
};

}  // namespace

void InitEventFunctions() {
    Code_Function_AddRows(kRows);
}
