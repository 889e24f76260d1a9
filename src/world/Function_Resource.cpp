// The script, time-line, object and room rows of the resource built-ins: existence and names,
// run-time creation and deletion, object properties and parents, room definitions, and
// script_execute.
#include "world/Function_Resource.h"

#include <algorithm>
#include <iterator>

#include "core/RuntimeError.h"
#include "base/GEN8.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/ScriptObjectHooks.h"
#include "core/Script_Main.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "core/Variable.h"
#include "world/Event_Main.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/TimeLine.h"
#include "world/World_Services.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

void Report(const char* message) {
    Runtime_ErrorNonFatal("%s", message);
}

// ---- scripts -------------------------------------------------------------------------------

BUILTIN(ScriptExists) {
    Result_SetFlag(result, Script_Exists(Arg_GetInt32(args, 0)));
}

BUILTIN(ScriptGetName) {
    RValue_SetString(&result, Script_GetName(Arg_GetInt32(args, 0)));
}

BUILTIN(ScriptGetText) {
    if (const CScript* script = Script_Get(Arg_GetInt32(args, 0)))
        RValue_SetString(&result, script->GetText());
}

// A called script gets at most 15 arguments after the script index.
constexpr int32_t kMaxScriptArguments = 15;

BUILTIN(ScriptExecute) {
    if (argc >= 1 && g_VariableSettings.objectMode && args[0].kind == VALUE_OBJECT &&
        ScriptObjects().isCallable(&args[0])) {
        ScriptObjects().callValue(self, &result, &args[0], argc - 1, args + 1);
        return;
    }
    if (argc < 1 || !Script_Exists(Arg_GetInt32(args, 0)))
        return Report("Trying to execute non-existing script.");
    const int32_t index = Arg_GetInt32(args, 0);
    // The script works on copies, so changing its arguments leaves the caller's values alone;
    // Script_Run releases them.
    const int32_t count = std::min(argc - 1, kMaxScriptArguments);
    RValue copies[kMaxScriptArguments + 1];
    for (RValue& copy : copies) copy = RValue_Undefined();
    for (int32_t i = 0; i < count; ++i) RValue_Assign(&copies[i], &args[i + 1]);
    RValue local = RValue_Undefined();
    Script_Run(index, self, other, count, &local, copies);
    if (g_RuntimeErrorFlag) Runtime_ErrorNonFatal("%s", Runtime_ErrorText());
    RValue_Release(&result);
    result = local;
}

// ---- time lines ----------------------------------------------------------------------------

CTimeLine* TimeLineArg(RValue* args) {
    return TimeLine_Get(Arg_GetInt32(args, 0));
}

BUILTIN(TimeLineExists) {
    Result_SetFlag(result, TimeLine_Exists(Arg_GetInt32(args, 0)));
}

BUILTIN(TimeLineGetName) {
    RValue_SetString(&result, TimeLine_GetName(Arg_GetInt32(args, 0)));
}

BUILTIN(TimeLineAdd) {
    Result_SetReal(result, TimeLine_Add());
}

BUILTIN(TimeLineDelete) {
    const int32_t index = Arg_GetInt32(args, 0);
    Result_SetReal(result, 0);
    if (!TimeLine_Exists(index)) return Report("Trying to delete non-existing timeline.");
    Result_SetFlag(result, TimeLine_Delete(index));
}

BUILTIN(TimeLineMomentClear) {
    const int32_t step = Arg_GetInt32(args, 1);
    if (CTimeLine* line = TimeLineArg(args)) line->ClearMoment(step);
}

BUILTIN(TimeLineClear) {
    if (CTimeLine* line = TimeLineArg(args)) line->Clear();
}

BUILTIN(TimeLineMomentAdd) {
    DebugConsole.Output("timeline_moment_add :: deprecated function\n");
}

// A step that already has a moment keeps it as it is.
BUILTIN(TimeLineMomentAddScript) {
    const int32_t step = Arg_GetInt32(args, 1), script = Arg_GetInt32(args, 2);
    CTimeLine* line = TimeLineArg(args);
    if (line && line->FindMoment(step) < 0) line->AddMoment(step, script);
}

BUILTIN(TimeLineSize) {
    const CTimeLine* line = TimeLineArg(args);
    Result_SetReal(result, line ? line->GetCount() : -1);
}

BUILTIN(TimeLineMaxMoment) {
    const CTimeLine* line = TimeLineArg(args);
    Result_SetReal(result, line ? line->GetTime(line->GetCount() - 1) : -1);
}

// ---- objects -------------------------------------------------------------------------------

CObjectHV* ObjectArg(RValue* args) {
    return Object_Find(Arg_GetInt32(args, 0));
}

BUILTIN(ObjectExists) {
    Result_SetFlag(result, Object_Exists(Arg_GetInt32(args, 0)));
}

BUILTIN(ObjectGetName) {
    RValue_SetString(&result, Object_GetName(Arg_GetInt32(args, 0)));
}

BUILTIN(ObjectAdd) {
    Result_SetReal(result, Object_Add());
}

BUILTIN(ObjectDelete) {
    const int32_t index = Arg_GetInt32(args, 0);
    Result_SetReal(result, 0);
    if (!Object_Exists(index)) return Report("Trying to delete non-existing object.");
    Result_SetFlag(result, Object_Delete(index));
}

BUILTIN(ObjectEventAdd) {
    DebugConsole.Output("object_event_add :: deprecated function\n");
}

// The getters: the field of an object, or `missing` when there is none.
template <typename Field>
void Get(RValue& result, RValue* args, double missing, Field field) {
    const CObjectHV* object = ObjectArg(args);
    Result_SetReal(result, object ? double(field(*object)) : missing);
}

BUILTIN(ObjectGetSprite) {
    Get(result, args, -1, [](const CObjectHV& o) { return o.spriteIndex; });
}
BUILTIN(ObjectGetSolid) {
    Get(result, args, 0, [](const CObjectHV& o) { return (o.flags & OBJECT_SOLID) != 0; });
}
BUILTIN(ObjectGetVisible) {
    Get(result, args, 0, [](const CObjectHV& o) { return (o.flags & OBJECT_VISIBLE) != 0; });
}
BUILTIN(ObjectGetPersistent) {
    Get(result, args, 0, [](const CObjectHV& o) { return (o.flags & OBJECT_PERSISTENT) != 0; });
}
BUILTIN(ObjectGetDepth) {
    Get(result, args, -1, [](const CObjectHV& o) { return o.depth; });
}
BUILTIN(ObjectGetMask) {
    Get(result, args, -1, [](const CObjectHV& o) { return o.maskIndex; });
}
BUILTIN(ObjectGetParent) {
    Get(result, args, -1, [](const CObjectHV& o) { return o.parentIndex; });
}
BUILTIN(ObjectGetPhysics) {
    Get(result, args, 0, [](const CObjectHV& o) { return o.physics.uses; });
}

BUILTIN(ObjectIsAncestor) {
    const CObjectHV* object = ObjectArg(args);
    Result_SetFlag(result, object && object->IsDescendantOf(Arg_GetInt32(args, 1)));
}

// The setters change nothing, silently, for a missing object.
template <typename Change>
void Set(RValue* args, Change change) {
    if (CObjectHV* object = ObjectArg(args)) change(*object);
}

void SetFlag(RValue* args, int32_t bit) {
    const bool on = Arg_GetBool(args, 1);
    Set(args, [&](CObjectHV& o) { o.flags = on ? (o.flags | bit) : (o.flags & ~bit); });
}

BUILTIN(ObjectSetSprite) {
    const int32_t sprite = Arg_GetInt32(args, 1);
    Set(args, [&](CObjectHV& o) { o.spriteIndex = sprite; });
}
BUILTIN(ObjectSetSolid) {
    SetFlag(args, OBJECT_SOLID);
}
BUILTIN(ObjectSetVisible) {
    SetFlag(args, OBJECT_VISIBLE);
}
BUILTIN(ObjectSetPersistent) {
    SetFlag(args, OBJECT_PERSISTENT);
}
BUILTIN(ObjectSetCollisions) {
    SetFlag(args, OBJECT_COLLISIONS);
}
BUILTIN(ObjectSetDepth) {
    const int32_t depth = Arg_GetInt32(args, 1);
    Set(args, [&](CObjectHV& o) { o.depth = depth; });
}
BUILTIN(ObjectSetMask) {
    const int32_t mask = Arg_GetInt32(args, 1);
    Set(args, [&](CObjectHV& o) { o.maskIndex = mask; });
}

BUILTIN(ObjectSetParent) {
    const int32_t index = Arg_GetInt32(args, 0), parentIndex = Arg_GetInt32(args, 1);
    CObjectHV* object = Object_Find(index);
    if (index == parentIndex || !object) return;
    if (parentIndex < 0) {
        // No parent: the object stops inheriting at once, so the cached parent goes with the
        // index and the event lists are rebuilt without it.
        object->parentIndex = -1;
        object->parent = nullptr;
        Object_BuildEventLists();
        return;
    }
    const CObjectHV* parent = Object_Find(parentIndex);
    if (!parent) return Report("Setting a non-existing parent.");
    if (parent->IsDescendantOf(index)) return Report("Creating a cycle in the parent relation.");
    object->SetParent(parentIndex);
    Object_BuildEventLists();
}

BUILTIN(ObjectEventClear) {
    const CObjectHV* object = ObjectArg(args);
    const int32_t type = Arg_GetInt32(args, 1), subtype = Arg_GetInt32(args, 2);
    if (!object) return;
    CEvent* event = object->GetEvent(type, subtype);
    if (!event) return;
    event->Clear();
    Object_BuildEventLists();
}

// ---- rooms ---------------------------------------------------------------------------------

CRoom* RoomArg(RValue* args) {
    return Room_Get(Arg_GetInt32(args, 0));
}

BUILTIN(RoomExists) {
    Result_SetFlag(result, Room_Exists(Arg_GetInt32(args, 0)));
}

BUILTIN(RoomGetName) {
    RValue_SetString(&result, Room_GetName(Arg_GetInt32(args, 0)));
}

BUILTIN(RoomSetWidth) {
    const int32_t value = Arg_GetInt32(args, 1);
    if (CRoom* room = RoomArg(args)) room->width = value;
}

BUILTIN(RoomSetHeight) {
    const int32_t value = Arg_GetInt32(args, 1);
    if (CRoom* room = RoomArg(args)) room->height = value;
}

BUILTIN(RoomSetCaption) {
    const char* text = Arg_GetString(args, 1);
    if (CRoom* room = RoomArg(args)) room->SetCaption(text);
}

BUILTIN(RoomSetPersistent) {
    const bool persistent = Arg_GetBool(args, 1);
    if (CRoom* room = RoomArg(args)) room->persistent = persistent;
}

BUILTIN(RoomSetCode) {
    const char* text = Arg_GetString(args, 1);
    if (CRoom* room = RoomArg(args)) room->SetCodeText(text);
}

BUILTIN(RoomSetBackgroundColour) {
    const int32_t colour = Arg_GetInt32(args, 1);
    const bool show = Arg_GetBool(args, 2);
    CRoom* room = RoomArg(args);
    if (!room) return;
    room->colour = colour;
    room->showColour = show;
}

BUILTIN(RoomSetBackground) {
    const int32_t slot = Arg_GetInt32(args, 1);
    CRoom* room = RoomArg(args);
    if (!room || slot < 0 || slot >= kRoomBackgrounds) return;
    RoomBackground& b = room->backgrounds[slot];
    b.visible = Arg_GetBool(args, 2);
    b.foreground = Arg_GetBool(args, 3);
    b.index = Arg_GetInt32(args, 4);
    b.x = Arg_GetFloat(args, 5);
    b.y = Arg_GetFloat(args, 6);
    b.tileX = Arg_GetBool(args, 7);
    b.tileY = Arg_GetBool(args, 8);
    b.hspeed = Arg_GetFloat(args, 9);
    b.vspeed = Arg_GetFloat(args, 10);
    b.alpha = Arg_GetFloat(args, 11);
    b.xscale = b.yscale = 1.0f;
}

BUILTIN(RoomSetView) {
    const int32_t index = Arg_GetInt32(args, 1);
    CRoom* room = RoomArg(args);
    if (!room || index < 0 || index >= kRoomViews) return;
    RoomView& v = room->views[index];
    v.visible = Arg_GetBool(args, 2);
    v.viewX = Arg_GetFloat(args, 3);
    v.viewY = Arg_GetFloat(args, 4);
    v.viewW = Arg_GetFloat(args, 5);
    v.viewH = Arg_GetFloat(args, 6);
    v.portX = Arg_GetInt32(args, 7);
    v.portY = Arg_GetInt32(args, 8);
    v.portW = Arg_GetInt32(args, 9);
    v.portH = Arg_GetInt32(args, 10);
    v.hborder = Arg_GetInt32(args, 11);
    v.vborder = Arg_GetInt32(args, 12);
    v.hspeed = Arg_GetInt32(args, 13);
    v.vspeed = Arg_GetInt32(args, 14);
    v.object = Arg_GetInt32(args, 15);
}

BUILTIN(RoomSetViewEnabled) {
    const bool enabled = Arg_GetBool(args, 1);
    if (CRoom* room = RoomArg(args)) room->viewsEnabled = enabled;
}

BUILTIN(RoomGetCamera) {
    const int32_t view = Arg_GetInt32(args, 1);
    const CRoom* room = RoomArg(args);
    Result_SetReal(result, room && view >= 0 && view < kRoomViews ? room->views[view].cameraId : -1);
}

BUILTIN(RoomAdd) {
    Result_SetReal(result, Room_Add());
}

BUILTIN(RoomDuplicate) {
    const int32_t index = Arg_GetInt32(args, 0);
    Result_SetReal(result, Room_Exists(index) ? Room_Duplicate(index) : -1);
}

BUILTIN(RoomAssign) {
    if (!Room_Assign(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1))) Report("Error assigning a room.");
}

BUILTIN(RoomInstanceAdd) {
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    const int32_t object = Arg_GetInt32(args, 3);
    CRoom* room = RoomArg(args);
    Result_SetReal(result, room ? room->AddInstanceRecord(x, y, object) : -1);
}

BUILTIN(RoomInstanceClear) {
    RoomArg(args);
}

bool BackgroundExists(int32_t background) {
    return World().backgroundExists && World().backgroundExists(background);
}

// The shared part of room_tile_add and room_tile_add_ext.
void AddTileRecord(RValue& result, RValue* args, float xscale, float yscale, uint32_t colour) {
    const int32_t background = Arg_GetInt32(args, 1);
    Result_SetReal(result, -1);
    if (!BackgroundExists(background)) return Report("Background does not exist.");
    const int32_t left = Arg_GetInt32(args, 2), top = Arg_GetInt32(args, 3);
    const int32_t width = Arg_GetInt32(args, 4), height = Arg_GetInt32(args, 5);
    const int32_t x = Arg_GetInt32(args, 6), y = Arg_GetInt32(args, 7), depth = Arg_GetInt32(args, 8);
    if (CRoom* room = RoomArg(args))
        Result_SetReal(result, room->AddTileRecord(background, left, top, width, height, float(x), float(y),
                                                   depth, xscale, yscale, colour));
}

BUILTIN(RoomTileAdd) {
    AddTileRecord(result, args, 1.0f, 1.0f, 0xFFFFFFFFu);
}

BUILTIN(RoomTileAddExt) {
    const float xscale = Arg_GetFloat(args, 9), yscale = Arg_GetFloat(args, 10);
    const float alpha = std::clamp(Arg_GetFloat(args, 11), 0.0f, 1.0f);
    const uint32_t colour = uint32_t(int32_t(alpha * 255.0f)) << 24 | 0xFFFFFFu;
    AddTileRecord(result, args, xscale, yscale, colour);
}

BUILTIN(RoomTileClear) {
    if (CRoom* room = RoomArg(args)) room->ClearTileRecords();
}

}  // namespace

void InitScriptResourceFunctions() {
    static const BuiltinRow kRows[] = {
        {"script_name", F_ScriptGetName, 1},     {"script_exists", F_ScriptExists, 1},
        {"script_get_name", F_ScriptGetName, 1}, {"script_get_text", F_ScriptGetText, 1},
        {"script_execute", F_ScriptExecute, -1},
    };
    Code_Function_AddRows(kRows);
}

void InitWorldResourceFunctions() {
    static const BuiltinRow kTimeLineRows[] = {
        {"timeline_name", F_TimeLineGetName, 1},
        {"timeline_exists", F_TimeLineExists, 1},
        {"timeline_get_name", F_TimeLineGetName, 1},
        {"timeline_add", F_TimeLineAdd, 0},
        {"timeline_delete", F_TimeLineDelete, 1},
        {"timeline_moment_clear", F_TimeLineMomentClear, 2},
        {"timeline_clear", F_TimeLineClear, 1},
        {"timeline_moment_add", F_TimeLineMomentAdd, 3},
        {"timeline_moment_add_script", F_TimeLineMomentAddScript, 3},
        {"timeline_size", F_TimeLineSize, 1},
        {"timeline_max_moment", F_TimeLineMaxMoment, 1},
    };
    static_assert(std::size(kTimeLineRows) == 11);
    Code_Function_AddRows(kTimeLineRows);

    static const BuiltinRow kObjectRows[] = {
        {"object_name", F_ObjectGetName, 1},
        {"object_exists", F_ObjectExists, 1},
        {"object_get_name", F_ObjectGetName, 1},
        {"object_get_sprite", F_ObjectGetSprite, 1},
        {"object_get_solid", F_ObjectGetSolid, 1},
        {"object_get_visible", F_ObjectGetVisible, 1},
        {"object_get_persistent", F_ObjectGetPersistent, 1},
    };
    Code_Function_AddRows(kObjectRows);
    // Depth belongs to layers in layer mode, so these two names stay unknown there.
    static const BuiltinRow kObjectDepthGetter[] = {{"object_get_depth", F_ObjectGetDepth, 1}};
    static const BuiltinRow kObjectDepthSetter[] = {{"object_set_depth", F_ObjectSetDepth, 2, 1}};
    const bool layerMode = g_GameHeader.layerModel;
    if (!layerMode) Code_Function_AddRows(kObjectDepthGetter);
    static const BuiltinRow kObjectPropertyRows[] = {
        {"object_get_mask", F_ObjectGetMask, 1},
        {"object_get_parent", F_ObjectGetParent, 1},
        {"object_get_physics", F_ObjectGetPhysics, 1},
        {"object_is_ancestor", F_ObjectIsAncestor, 2},
        {"object_set_sprite", F_ObjectSetSprite, 2, 1},
        {"object_set_solid", F_ObjectSetSolid, 2, 1},
        {"object_set_visible", F_ObjectSetVisible, 2, 1},
        {"object_set_persistent", F_ObjectSetPersistent, 2, 1},
        {"object_set_collisions", F_ObjectSetCollisions, 2, 1},
    };
    Code_Function_AddRows(kObjectPropertyRows);
    if (!layerMode) Code_Function_AddRows(kObjectDepthSetter);
    static const BuiltinRow kObjectTailRows[] = {
        {"object_set_mask", F_ObjectSetMask, 2, 1},
        {"object_set_parent", F_ObjectSetParent, 2, 1},
        {"object_add", F_ObjectAdd, 0},
        {"object_delete", F_ObjectDelete, 1},
        {"object_event_clear", F_ObjectEventClear, 3, 1},
        {"object_event_add", F_ObjectEventAdd, 4},
    };
    Code_Function_AddRows(kObjectTailRows);

    static const BuiltinRow kRoomRows[] = {
        {"room_name", F_RoomGetName, 1},
        {"room_exists", F_RoomExists, 1},
        {"room_get_name", F_RoomGetName, 1},
        {"room_set_width", F_RoomSetWidth, 2},
        {"room_set_height", F_RoomSetHeight, 2},
        {"room_set_caption", F_RoomSetCaption, 2},
        {"room_set_persistent", F_RoomSetPersistent, 2},
        {"room_set_code", F_RoomSetCode, 2},
        {"room_set_background_color", F_RoomSetBackgroundColour, 3},
        {"room_set_background_colour", F_RoomSetBackgroundColour, 3},
        {"room_set_background", F_RoomSetBackground, 12},
        {"room_set_view", F_RoomSetView, 16},
        {"room_set_view_enabled", F_RoomSetViewEnabled, 2},
        {"room_add", F_RoomAdd, 0},
        {"room_duplicate", F_RoomDuplicate, 1},
        {"room_assign", F_RoomAssign, 2},
        {"room_instance_add", F_RoomInstanceAdd, 4},
        {"room_instance_clear", F_RoomInstanceClear, 1},
        {"room_tile_add", F_RoomTileAdd, 9},
        {"room_tile_add_ext", F_RoomTileAddExt, 12},
        {"room_tile_clear", F_RoomTileClear, 1},
    };
    static_assert(std::size(kRoomRows) == 21);
    Code_Function_AddRows(kRoomRows);
    static const BuiltinRow kLayerModeRoomRows[] = {{"room_get_camera", F_RoomGetCamera, 2}};
    if (layerMode) Code_Function_AddRows(kLayerModeRoomRows);
}
