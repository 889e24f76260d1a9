#include "app/MainLoop.h"

#include "assets/Particle_Main.h"
#include "core/GarbageCollector.h"
#include "graphics/Graphics_Overlay.h"
#include "core/Timing.h"
#include "base/GEN8.h"
#include "base/GameOptions.h"
#include "io/Network_Main.h"
#include "world/Collision_Main.h"
#include "world/Event_Main.h"
#include "world/GameSave.h"
#include "world/IO_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"
#include "world/TimeLine.h"
#include "room/Layer_Manager.h"
#include "room/Room_Draw.h"
#include "services/IAP.h"
#include "services/Pell_Services.h"
#include "services/Steam_Main.h"

namespace {

// After a stage: the lists brought up to date; true when a room change cuts the step here.
bool StageEnds() {
    UpdateActiveLists();
    return NewRoomCode != ROOM_NO_CHANGE;
}

}  // namespace

void DoAStep() {
    FrameTiming& t = g_FrameTiming;
    const int64_t now = Timing_Time();
    t.deltaTime = now - t.stepClock;
    t.stepClock = now;
    {
        OverlayTimingScope marker(0xff808080, "Garbage Collector");
        VM_CollectGarbage(nullptr);
    }
    GameLoad_PerformQueued();
    {
        OverlayTimingScope marker(0xff00ff00, "IO&Pell");
        IO_StartStep();
        Pell_Tick();
    }

    // A turn whose game never started has no room: there is nothing to step.
    CRoom* room = Run_Room();
    if (room == nullptr) return;
    {
        OverlayTimingScope update(0xff0000ff, "Update");
        bool anyTimeLine = false;
        for (CInstance* instance = room->active.head; instance != nullptr;) {
            CInstance* next = instance->depthNext;
            instance->xprevious = instance->x;
            instance->yprevious = instance->y;
            instance->path_positionprevious = instance->path_position;
            Instance_AnimateImage(instance);
            anyTimeLine = anyTimeLine || (instance->timeline_running && instance->timeline_index >= 0);
            instance = next;
        }
        if (g_GameHeader.layerModel) Room_StepLayers(room);

        HandleStep(STEP_BEGIN);
        if (StageEnds()) return;
        Network_Tick();
        if (StageEnds()) return;
        Steam_Update();
        if (anyTimeLine) HandleTimeLines();
        if (StageEnds()) return;
        HandleAlarm();
        if (StageEnds()) return;
        HandleKeyboard();
        if (StageEnds()) return;
        HandleJoystick();
        if (StageEnds()) return;
        HandleMouse();
        if (StageEnds()) return;
        HandleStep(STEP_NORMAL);
        if (StageEnds()) return;
        const bool physicsMoved = HandleInstanceMovement();
        if (StageEnds()) return;
        HandleOther();
        if (StageEnds()) return;
        IAP_ProcessEvents();
        Pell_ProcessCallbacks();
        HandleAsync();
        if (StageEnds()) return;
        if (!physicsMoved) HandleCollision();
        if (StageEnds()) return;
        HandleStep(STEP_END);
        if (StageEnds()) return;
        ParticleSystem_UpdateAll();
    }
    {
        OverlayTimingScope marker(0xff00ffff, "Draw");
        room->RemoveMarkedInstances();
        if (g_FrameSwitches.drawingEnabled) {
            Draw_Frame();
            UpdateActiveLists();
        }
    }
    OverlayTimingScope marker(0xff008080, "Scroll");
    room->ScrollBackgrounds();
    UpdateActiveLists();
    ++t.stepCount;
}
