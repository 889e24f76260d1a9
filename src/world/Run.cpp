#include "world/Run.h"

#include "audio/Audio_Main.h"
#include "core/Code_Main.h"
#include "core/GarbageCollector.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/ObjectBase.h"
#include "core/Process.h"
#include "core/RunSwitches.h"
#include "core/Value.h"
#include "core/Variable.h"
#include "graphics/GPUState.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "world/Room_Services.h"
#include "world/GameLoopServices.h"
#include "base/GameOptions.h"
#include "base/Runner.h"
#include "base/LoadGame.h"
#include "world/World_Step.h"
#include "base/Options.h"
#include "world/Room_Main.h"
#include "world/IO_Main.h"


namespace {

constexpr int32_t kCarriedStart = 10;

CRoom* g_room = nullptr;
int32_t g_roomIndex = -1;

CRoom** g_workingRooms = nullptr;
int32_t g_workingCount = 0;

CInstance** g_carried = nullptr;
int32_t g_carriedCount = 0, g_carriedCapacity = 0;

void GrowWorkingRooms(int32_t count) {
    if (count <= g_workingCount) return;
    g_workingRooms = static_cast<CRoom**>(MEM_REALLOC(g_workingRooms, count * sizeof(CRoom*)));
    for (int32_t i = g_workingCount; i < count; ++i) g_workingRooms[i] = nullptr;
    g_workingCount = count;
}

void FreeWorkingRooms() {
    for (int32_t i = 0; i < g_workingCount; ++i) delete g_workingRooms[i];
    MEM_FREE(g_workingRooms);
    g_workingRooms = nullptr;
    g_workingCount = 0;
    g_room = nullptr;
}

void ResetCarried(int32_t capacity) {
    MEM_FREE(g_carried);
    g_carried = capacity > 0 ? static_cast<CInstance**>(MEM_ALLOC(capacity * sizeof(CInstance*))) : nullptr;
    g_carriedCount = 0;
    g_carriedCapacity = capacity;
}

void Carry(CInstance* copy) {
    if (g_carriedCount == g_carriedCapacity) {
        g_carriedCapacity = g_carriedCapacity ? g_carriedCapacity * 2 : kCarriedStart;
        g_carried = static_cast<CInstance**>(MEM_REALLOC(g_carried, g_carriedCapacity * sizeof(CInstance*)));
    }
    g_carried[g_carriedCount++] = copy;
}

void RemoveFromIdHash(CInstance* instance) {
    if (Instance_IdHash().Find(instance->id) == instance) Instance_IdHash().Delete(instance->id);
}

void ReleaseCaption(SharedString*& caption) {
    caption = SharedString_ReleaseSafe(caption);
}

// A room visited again: its instances go back into their objects' lists and the id table.
void ReturnToKeptRoom(CRoom* room) {
    for (CInstance* instance = room->active.head; instance != nullptr; instance = instance->depthNext) {
        if (instance->object != nullptr) instance->object->AddInstance(instance);
        if (Instance_IdHash().Find(instance->id) != instance)
            Instance_IdHash().Insert(instance->id, instance);
    }
}

void PlaceCarriedInstances(CRoom* room) {
    for (int32_t i = 0; i < g_carriedCount; ++i) {
        CInstance* carried = g_carried[i];
        CInstance* placed = Instance_Find(carried->id);
        if (placed != nullptr) {
            placed->CopyFrom(carried, true);
            placed->RoomStartPhysics(room);
        } else {
            placed = new CInstance(carried->x, carried->y, carried->id, carried->object_index, false);
            if (g_GameHeader.layerModel) placed->depth = carried->depth;
            placed->CopyFrom(carried, true);
            placed->RoomStartPhysics(room);
            room->active.InsertByDepth(placed);
            Instance_IdHash().Insert(placed->id, placed);
            ROOM_SERVICE(layerAddInstance, room, placed);
        }
        placed->carried = 1;
        delete carried;
    }
    ResetCarried(0);
}

void RunCreationOrder(CRoom* room) {
    for (int32_t i = 0; i < room->creationOrderCount; ++i) {
        CInstance* instance = Instance_Find(room->creationOrder[i]);
        if (instance == nullptr) continue;
        if (instance->carried) {
            instance->carried = 0;
            continue;
        }
        if (instance->destroyed) continue;
        PerformEvent_Object(instance, instance, instance->object_index, EVENT_CREATE, 0);
        if (instance->creationCode != nullptr) {
            RValue result{};
            Code_ExecuteReport(instance, instance, instance->creationCode, &result, 1);
            RValue_Free(&result);
        }
        instance->created = 1;
    }
    MEM_FREE(room->creationOrder);
    room->creationOrder = nullptr;
    room->creationOrderCount = 0;
}

void RunRoomCreationCode(CRoom* room) {
    if (room->creationCode == nullptr) return;
    RValue result{};
    auto* scratch = new CInstance(0.0f, 0.0f, 0, 0, false);
    Code_ExecuteReport(scratch, scratch, room->creationCode, &result, 1);
    delete scratch;
    RValue_Free(&result);
    // A fatal error in the creation code has set the exit status: the run did not succeed.
    if (g_Switches.headless) Process_Exit(g_RunnerExitStatus);
}

// Takes the instances out of every lookup while the persistent room waits to be visited again.
void ParkKeptRoom(CRoom* room) {
    for (CInstance* instance = room->active.head; instance != nullptr; instance = instance->depthNext) {
        if (instance->destroyed || instance->deactivated || instance->persistent) continue;
        if (instance->object != nullptr) instance->object->RemoveInstance(instance);
        ROOM_SERVICE(layerRemoveInstance, room, instance);
        RemoveFromIdHash(instance);
    }
}

}  // namespace

CRoom* Run_Room() {
    return g_room;
}
int32_t Run_RoomIndex() {
    return g_roomIndex;
}
void Run_SetCurrentRoom(CRoom* room) {
    g_room = room;
}
CRoom* Run_WorkingRoom(int32_t index) {
    return index >= 0 && index < g_workingCount ? g_workingRooms[index] : nullptr;
}

void Run_ReplaceWorkingRooms(int32_t count) {
    FreeWorkingRooms();
    g_roomIndex = -1;
    GrowWorkingRooms(count);
}

void Run_PlaceWorkingRoom(int32_t index, CRoom* room) {
    if (index < 0) return;
    GrowWorkingRooms(index + 1);
    delete g_workingRooms[index];
    g_workingRooms[index] = room;
}

void Run_SelectWorkingRoom(int32_t index) {
    g_roomIndex = index;
    g_room = Run_WorkingRoom(index);
}

int32_t Run_WorkingRoomCount() {
    return g_workingCount;
}

void Run_ResetWorkingRooms() {
    FreeWorkingRooms();
    GrowWorkingRooms(Room_Count());
    Run_FreePersistentInstances();
}

void Run_MarkRoots(GCMarkContext& marker) {
    for (int32_t r = 0; r < g_workingCount; ++r) {
        if (CRoom* room = g_workingRooms[r]) {
            for (CInstance* i = room->active.head; i != nullptr; i = i->depthNext) GC_MarkObject(i, marker);
            for (CInstance* i = room->deactivated.head; i != nullptr; i = i->depthNext)
                GC_MarkObject(i, marker);
        }
    }
    for (int32_t i = 0; i < g_carriedCount; ++i) GC_MarkObject(g_carried[i], marker);
}

void Run_ForgetObject(const CObjectHV* object) {
    auto forget = [&](CInstance* instance) {
        if (instance->object == object) instance->object = nullptr;
        if (instance->previousObject == object) instance->previousObject = nullptr;
    };
    for (int32_t r = 0; r < g_workingCount; ++r) {
        if (CRoom* room = g_workingRooms[r]) {
            for (CInstance* i = room->active.head; i != nullptr; i = i->depthNext) forget(i);
            for (CInstance* i = room->deactivated.head; i != nullptr; i = i->depthNext) forget(i);
        }
    }
    for (int32_t i = 0; i < g_carriedCount; ++i) forget(g_carried[i]);
}

void Room_Start(int32_t index, bool gameStart) {
    NewRoomCode = ROOM_NO_CHANGE;
    if (gameStart) IO_Clear();
    ROOM_SERVICE(effectClear);

    GrowWorkingRooms(index + 1);
    g_roomIndex = index;
    CRoom* room = g_workingRooms[index];
    const bool newRoom = room == nullptr;
    if (!newRoom) {
        ReturnToKeptRoom(room);
    } else {
        room = new CRoom();
        if (const CRoom* definition = Room_Get(index)) room->CopyFrom(definition, true);
        g_workingRooms[index] = room;
    }
    g_room = room;

    if (g_GameHeader.layerModel) ROOM_SERVICE(cameraCreateScriptInstance);
    ROOM_SERVICE(startLayers, room);
    ROOM_SERVICE(particlesAttachLayers);
    ROOM_SERVICE(fitWindowSize);

    PlaceCarriedInstances(room);
    if (newRoom) RunCreationOrder(room);
    room->RemoveMarkedInstances();
    if (gameStart) {
        PerformEvent_All(EVENT_OTHER, OTHER_GAME_START);
        room->RemoveMarkedInstances();
    }
    if (newRoom) RunRoomCreationCode(room);
    PerformEvent_All(EVENT_OTHER, OTHER_ROOM_START);
    room->RemoveMarkedInstances();
}

void Room_End(bool gameEnd) {
    CRoom* room = g_room;
    if (room == nullptr) return;
    ROOM_SERVICE(unlinkLayerElements, room);
    if (g_GameHeader.layerModel) ROOM_SERVICE(cameraFreeScriptInstance);

    room->RemoveMarkedInstances();
    const int32_t pending = NewRoomCode;
    NewRoomCode = ROOM_NO_CHANGE;
    PerformEvent_All(EVENT_OTHER, OTHER_ROOM_END);
    room->RemoveMarkedInstances();
    if (gameEnd) {
        PerformEvent_All(EVENT_OTHER, OTHER_GAME_END);
        room->RemoveMarkedInstances();
    }
    NewRoomCode = pending;

    ROOM_SERVICE(particlesDetachLayers);
    IO_ClearVirtualKeys();

    ResetCarried(kCarriedStart);
    for (CInstance* instance = room->active.head; instance != nullptr; instance = instance->depthNext) {
        if (instance->destroyed || instance->deactivated || !instance->persistent) continue;
        auto* copy = new CInstance(instance->x, instance->y, instance->id, instance->object_index, false);
        copy->CopyFrom(instance, false);
        Carry(copy);
        instance->destroyed = 1;
    }
    room->RemoveMarkedInstances();

    if (room->persistent) {
        ParkKeptRoom(room);
    } else {
        room->Clear();
        delete room;
        if (g_roomIndex >= 0 && g_roomIndex < g_workingCount) g_workingRooms[g_roomIndex] = nullptr;
    }
    // The room left is no longer current; the next Room_Start makes one.
    g_room = nullptr;
    Pending_ClearActivations();
}

void StartGame() {
    Object_BuildEventLists();
    g_RunState.score = 0;
    g_RunState.lives = -1;
    g_RunState.cursorSprite = -1;
    g_RunState.transitionKind = 0;
    g_FrameTiming.stepCount = 0;
    if (g_RoomServices.gameStarting != nullptr && !g_RoomServices.gameStarting()) return;
    Run_ResetWorkingRooms();
    if (!g_FrameSwitches.debuggerWait) {
        NewRoomCode = Room_First();
        Room_Start(NewRoomCode, true);
        // The start events asked for another room: it is entered now, once.
        if (NewRoomCode >= 0) {
            MemLog_Event("SwitchRoom to %s", Room_GetName(NewRoomCode));
            Room_End(false);
            Room_Start(NewRoomCode, false);
        }
    }
    MemoryManager::DumpTotal();
}

void Run_RequestEnd() {
    NewRoomCode = ROOM_END_GAME;
}

void SwitchRoom(int32_t index) {
    MemLog_Event("SwitchRoom to %s", Room_GetName(index));
    Room_End(false);
    Room_Start(index, false);
}

void EndGame() {
    Room_End(true);
    FreeWorkingRooms();
    g_roomIndex = -1;
    if (g_RoomServices.gameEnded != nullptr && !g_RoomServices.gameEnded()) return;
    Audio_StopAll(true);
    ROOM_SERVICE(textReset);
    GPUState_Init(&g_GPUState);
    VM_CollectGarbage(nullptr);
}

void Run_LoadGameNow() {
    NewRoomCode = ROOM_NO_CHANGE;
    IO_Clear();
}

void Run_InitGlobals() {
    ReleaseCaption(g_RunState.captionScore);
    ReleaseCaption(g_RunState.captionLives);
    ReleaseCaption(g_RunState.captionHealth);
    g_RunState = RunState();
    g_RunState.captionScore = new SharedString("Score: '");
    g_RunState.captionLives = new SharedString("Lives: ");
    g_RunState.captionHealth = new SharedString("Health: ");
    g_RunnerRunning = 0;
    g_FrameSwitches = FrameSwitches();
    g_FrameTiming.stepCount = 0;
    g_GameHeader.gameId = 0;
    Joystick_Reset();
}

void Run_FreeGlobals() {
    ReleaseCaption(g_RunState.captionScore);
    ReleaseCaption(g_RunState.captionLives);
    ReleaseCaption(g_RunState.captionHealth);
    g_RunState.applicationSurfaceWidth = g_RunState.applicationSurfaceHeight = -1;
    g_RunState.pendingSurfaceWidth = g_RunState.pendingSurfaceHeight = -1;
    g_RunState.applicationSurface = static_cast<int32_t>(0xFEEEDEAD);
    g_RunState.applicationSurfaceEnabled = true;
    g_GameHeader.gameId = 0;
    for (uint32_t& word : g_GameHeader.words6to9) word = 0;
    if (g_GlobalObject != nullptr) PWObjectBase_Free(g_GlobalObject);
    g_GlobalObject = nullptr;
    PWObjectBase_ReleasePool();
    Options_Close();
    Runner_SetDataFilePath(nullptr);
    Runner_ClearBundleFolder();
}

void Run_FreePersistentInstances() {
    for (int32_t i = 0; i < g_carriedCount; ++i) delete g_carried[i];
    ResetCarried(0);
}
