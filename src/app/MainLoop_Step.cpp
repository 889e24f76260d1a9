#include "app/MainLoop.h"

#include "core/GarbageCollector.h"
#include "core/Timing.h"
#include "base/GEN8.h"
#include "base/GameOptions.h"
#include "world/Event_Main.h"
#include "world/GameLoopHooks.h"
#include "world/Room_Class.h"
#include "world/Run.h"
#include "world/TimeLine.h"

namespace {

// Closes an overlay marker however the stage code leaves.
class OverlayMarker {
public:
    OverlayMarker(uint32_t argb, const char* name) { GAMELOOP_HOOK(overlayTimingBegin, argb, name); }
    ~OverlayMarker() { GAMELOOP_HOOK(overlayTimingEnd); }
    OverlayMarker(const OverlayMarker&) = delete;
    OverlayMarker& operator=(const OverlayMarker&) = delete;
};

// After a stage: the lists brought up to date; true when a room change cuts the step here.
bool StageEnds() {
    UpdateActiveLists();
    return NewRoomCode != ROOM_NO_CHANGE;
}

bool WindowInactive() {
    return g_GameLoopHooks.windowActive != nullptr && !g_GameLoopHooks.windowActive();
}

}  // namespace

void DoAStep() {
    FrameTiming& t = g_FrameTiming;
    const int64_t now = Timing_Time();
    t.deltaTime = now - t.stepClock;
    t.stepClock = now;
    {
        OverlayMarker marker(0xff808080u, "Garbage Collector");
        VM_CollectGarbage(nullptr);
    }
    GAMELOOP_HOOK(gameLoadPerformQueued);
    {
        OverlayMarker marker(0xff00ff00u, "IO&Pell");
        GAMELOOP_HOOK(ioStartStep);
        GAMELOOP_HOOK(pellTick);
    }
    if (g_GameOptions.freezeWhenInactive && WindowInactive()) return;

    // A turn whose game never started has no room: there is nothing to step.
    CRoom* room = Run_Room();
    if (room == nullptr) return;
    {
        OverlayMarker marker(0xff0000ffu, "Update");
        bool anyTimeLine = false, anyOnPath = false;
        for (CInstance* instance = room->active.head; instance != nullptr;) {
            CInstance* next = instance->depthNext;
            instance->xprevious = instance->x;
            instance->yprevious = instance->y;
            instance->path_positionprevious = instance->path_position;
            Instance_AnimateImage(instance);
            anyTimeLine = anyTimeLine || (instance->timeline_running && instance->timeline_index >= 0);
            anyOnPath = anyOnPath || instance->path_index >= 0;
            instance = next;
        }
        if (g_GameHeader.layerModel) GAMELOOP_HOOK(animateLayers, room);

        HandleStep(STEP_BEGIN);
        if (StageEnds()) return;
        GAMELOOP_HOOK(networkTick);
        GAMELOOP_HOOK(steamUpdate);
        if (StageEnds()) return;
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
        const bool physicsMoved = HandleInstanceMovement(anyOnPath);
        if (StageEnds()) return;
        HandleOther();
        if (StageEnds()) return;
        HandleAsync();
        if (StageEnds()) return;
        if (!physicsMoved) GAMELOOP_HOOK(handleCollision);
        if (StageEnds()) return;
        HandleStep(STEP_END);
        if (StageEnds()) return;
        GAMELOOP_HOOK(particlesUpdate);
    }
    {
        OverlayMarker marker(0xff00ffffu, "Draw");
        room->RemoveMarkedInstances();
        if (g_FrameSwitches.drawingEnabled) {
            GAMELOOP_HOOK(drawFrame);
            UpdateActiveLists();
        }
    }
    {
        OverlayMarker marker(0xff008080u, "Scroll");
        room->ScrollBackgrounds();
        UpdateActiveLists();
        ++t.stepCount;
    }
}
