#include "world/GameWorld.h"

#include "core/Code_Constant.h"
#include "core/GarbageCollector.h"
#include "core/InstanceWorld.h"
#include "core/Timing.h"
#include "world/Collision_Main.h"
#include "base/Error_Report.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "world/Event_Inputs.h"
#include "world/Event_Main.h"
#include "world/IO_Main.h"
#include "world/World_Step.h"
#include "world/Object_Main.h"
#include "world/Path_Main.h"
#include "world/Room_Main.h"
#include "world/Room_Services.h"
#include "world/Run.h"
#include "world/TimeLine.h"

RoomServices g_RoomServices;
EventInputs g_EventInputs;

namespace {

void ObjectDefaultsOf(const CObjectHV* object, ObjectDefaults* out) {
    *out = ObjectDefaults{object->spriteIndex, object->maskIndex, static_cast<float>(object->depth),
                          static_cast<uint32_t>(object->flags) &
                              (OBJECT_FLAG_SOLID | OBJECT_FLAG_VISIBLE | OBJECT_FLAG_PERSISTENT),
                          object->physics.uses};
}

const char* ObjectNameOf(int32_t index) {
    const CObjectHV* object = Object_Find(index);
    return object != nullptr ? object->Name() : nullptr;
}

bool ObjectInherits(int32_t index, int32_t ancestor) {
    if (index == ancestor) return true;
    const CObjectHV* object = Object_Find(index);
    return object != nullptr && object->IsDescendantOf(ancestor);
}

void AddToObject(CObjectHV* object, CInstance* instance) {
    object->AddInstance(instance);
}
void RemoveFromObject(CObjectHV* object, CInstance* instance) {
    object->RemoveInstance(instance);
}

void ForEachObjectInstance(int32_t index, InstanceVisitor visit, void* context) {
    const CObjectHV* object = Object_Find(index);
    if (object == nullptr) return;
    for (auto* node = object->instancesRecursive.First(); node != nullptr;) {
        auto* next = node->next;
        if (!visit(node->item, context)) return;
        node = next;
    }
}

InstanceList* ActiveList() {
    CRoom* room = Run_Room();
    return room != nullptr ? &room->active : nullptr;
}

void ForEachPending(PendingList list, InstanceVisitor visit, void* context) {
    Pending_ForEach(list == PENDING_OBJECT_CHANGE ? 0 : 1, visit, context);
}

double FrameRate() {
    if (g_GameHeader.layerModel) return g_GameClock.GetFps();
    const CRoom* room = Run_Room();
    return room != nullptr ? room->speed : 30.0;
}

void RunningEvent(ErrorEventContext* out) {
    out->type = g_CurrentEvent.type;
    out->number = g_CurrentEvent.number;
    out->object = g_CurrentEvent.object;
}

void InstallErrorSources() {
    ErrorReportSources sources;
    sources.currentEvent = RunningEvent;
    sources.objectName = Object_GetName;
    sources.timeLineName = TimeLine_GetName;
    sources.clearInput = IO_Clear;
    Error_SetSources(&sources);
}

}  // namespace

void GameWorld_Init() {
    Form_RegisterChunkReader("OBJT", ChunkReader{Object_Load, Object_Init, nullptr});
    Form_RegisterChunkReader("ROOM", ChunkReader{Room_Load, Room_Init, nullptr});
    Form_RegisterChunkReader("TMLN", ChunkReader{TimeLine_Load, TimeLine_Init, TimeLine_Free});
    Asset_SetFinder(ASSET_OBJECT, Object_FindByName);
    Asset_SetFinder(ASSET_PATH, Path_FindByName);
    Asset_SetFinder(ASSET_TIMELINE, TimeLine_FindByName);
    Asset_SetFinder(ASSET_ROOM, Room_FindByName);

    InstanceWorldHooks hooks = InstanceWorld();
    hooks.findObject = Object_Find;
    hooks.objectDefaults = ObjectDefaultsOf;
    hooks.objectName = ObjectNameOf;
    hooks.objectInherits = ObjectInherits;
    hooks.addInstance = AddToObject;
    hooks.removeInstance = RemoveFromObject;
    hooks.forEachObjectInstance = ForEachObjectInstance;
    hooks.activeList = ActiveList;
    hooks.forEachPending = ForEachPending;
    hooks.queueObjectChange = Pending_AddObjectChange;
    hooks.queueDepthChange = Pending_AddDepthChange;
    hooks.frameRate = FrameRate;
    InstanceWorld_Install(&hooks);
    Collision_Reset();
    Collision_Install();
    GC_RegisterRoots(Run_MarkRoots, GC_ROOTS_ALWAYS);
    InstallErrorSources();
}
