// The frame: pacing, frames per second, and what follows the step (present, room change).
#include "app/MainLoop.h"

#include <algorithm>

#include "audio/Sound_Main.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/Timing.h"
#include "data/Common.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Overlay.h"
#include "io/Debug_Remote.h"
#include "io/Profiler.h"
#include "core/ProfilerScope.h"
#include "base/GEN8.h"
#include "app/GameLoopHarness.h"
#include "app/HalvaneM.h"
#include "room/Room_Draw.h"
#include "world/Gamepad_Class.h"
#include "world/IO_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

constexpr int64_t kMaxFrameWait = 1000000;
constexpr int32_t kNoRoomRate = 60;
constexpr uint32_t kWaitMarkerColour = 0xff804040;

// The frame-rate target: the game clock's rate in the layer model, else the room speed.
int32_t FrameRateTarget(bool advanceClock) {
    if (g_GameHeader.layerModel) {
        if (advanceClock) g_GameClock.Update();
        return g_GameClock.targetRate > 0.0 ? static_cast<int32_t>(g_GameClock.GetFps()) : kNoRoomRate;
    }
    CRoom* room = Run_Room();
    if (room == nullptr) return kNoRoomRate;
    if (room->speed <= 0) room->speed = 1;
    return room->speed;
}

int64_t FrameWait(int32_t target, int64_t elapsed) {
    if (g_GameHeader.layerModel && g_GameClock.targetRate <= 0.0) return 0;
    const double wait = 1000000.0 / target - static_cast<double>(elapsed);
    if (wait < 0.0) return 0;
    return std::min(static_cast<int64_t>(wait), kMaxFrameWait);
}

void CountFrame() {
    const int64_t now = Timing_Time();
    FrameTiming& t = g_FrameTiming;
    t.lastFrame = now;
    if (now < t.secondStamp) t.secondStamp = now;
    if (now / 1000000 > t.secondStamp / 1000000) {
        t.fps = t.frameCounter;
        t.frameCounter = 0;
        t.secondStamp = now;
    }
    ++t.frameCounter;
}

// Acts on the pending room change; false when the game ends here.
bool ActOnRoomChange() {
    if (g_FrameSwitches.playerRunPending) NewRoomCode = ROOM_ABORT_GAME;
    switch (NewRoomCode) {
        case ROOM_END_GAME:
        case ROOM_ABORT_GAME:
            g_RunnerRunning = 0;
            return false;
        case ROOM_LOAD_GAME:
            Run_LoadGameNow();
            break;
        case ROOM_RESTART_GAME:
            EndGame();
            Gamepad_AnnounceAll();
            StartGame();
            MainLoop_SeedRandom();
            break;
        case ROOM_NO_CHANGE:
            break;
        default:
            SwitchRoom(NewRoomCode);
            break;
    }
    return true;
}

}  // namespace

void MainLoop_SeedRandom() {
    Random_SetSeed(RANDOM_GAME_SEED);
    CRT_SRand(RANDOM_GAME_SEED);
}


void MainLoop_Begin() {
    const int64_t now = Timing_Time();
    g_FrameTiming.lastFrame = now;
    g_FrameTiming.secondStamp = now;
    g_FrameTiming.fps = 0;
    g_FrameTiming.frameCounter = 0;
    ProcessMessages();
    DebugConsole.Output("**********************************.\n");
    DebugConsole.Output("Entering main loop.\n");
    DebugConsole.Output("**********************************.\n");
    g_FrameTiming.stepClock = Timing_Time();
}

int32_t MainLoop_Frame() {
    g_Profiler.FrameBegin();
    MemoryManager::CountFrame();
    FrameTiming& t = g_FrameTiming;
    const int64_t now = Timing_Time();
    if (now < t.lastFrame) t.lastFrame = now;
    t.target = FrameRateTarget(true);
    const int64_t overhead = g_ProfilerActive ? g_Profiler.Overhead() : 0;
    int64_t wait = FrameWait(t.target, now - t.lastFrame - overhead);
    if (g_FrameSwitches.frameLimiting) {
        if (g_Switches.manualVsync) wait = 0;
        t.lastWait = wait;
        Overlay_Timing_Begin(kWaitMarkerColour, "TimingWait");
        const bool profiled = g_ProfilerActive;
        if (profiled) g_Profiler.Begin(PROFILE_SECTION, PROFILE_ROOM_SPEED_SYNC);
        Timing_Wait(wait);
        if (profiled) g_Profiler.End();
        Overlay_Timing_End();
    }
    if (g_RunnerRunning == 0) {
        g_Profiler.FrameEnd();
        return kNoRoomRate;
    }
    CountFrame();
    SND_Tick();

    if (!g_FrameSwitches.debuggerPaused) {
        GR_D3D_Apply_Reset_Countdown();
        Start_Frame();
        g_Profiler.BeginStep();
        DoAStep();
        g_Profiler.EndStep();
        Draw_VirtualKeys();
        End_Frame(NewRoomCode < 0 && g_FrameSwitches.drawingEnabled);
        if (!ActOnRoomChange()) return kNoRoomRate;
    }
    g_Profiler.FrameEnd();
    Debug_Tick();
    Harness_FrameDone();
    return FrameRateTarget(false);
}
