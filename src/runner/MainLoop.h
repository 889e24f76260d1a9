// The frame loop: waits for each frame's slot, counts frames per second, runs one game step
// in its fixed order of stages and then acts on a requested room change.
#pragma once

#include <cstdint>

class CInstance;

// The pending room change.
enum : int32_t {
    ROOM_NO_CHANGE = -1,
    ROOM_END_GAME = -100,
    ROOM_RESTART_GAME = -200,
    ROOM_LOAD_GAME = -300,
    ROOM_ABORT_GAME = -400,
};
extern int32_t NewRoomCode;

// Frame timing, read by fps, fps_real, delta_time and the present code.
struct FrameTiming {
    int64_t lastFrame = 0;     // the end of the previous frame's wait
    int64_t secondStamp = 0;   // start of the second being counted
    int64_t stepClock = 0;     // the previous step's start
    int64_t lastWait = 0;      // microseconds the last frame waited (before the wait ran)
    int32_t target = 60;       // frames per second aimed at
    int32_t frameCounter = 0;  // frames counted in the current second
    int32_t fps = 0;           // frames of the last whole second
    int64_t deltaTime = 0;     // microseconds between the last two steps
    int64_t stepCount = 0;     // steps run in this game
};
extern FrameTiming g_FrameTiming;

// Switches the loop reads.
struct FrameSwitches {
    bool frameLimiting = true;  // the remote debugger turns it off while it steps
    bool debuggerPaused = false;
    bool debuggerWait = false;  // the first room waits until a remote debugger connects
    bool drawingEnabled = true;
    bool playerRunPending = false;  // another game was asked for: the game aborts
};
extern FrameSwitches g_FrameSwitches;

// Sleeps for the wait less the sleep margin, then pumps events until the deadline. A wait
// of 0 or less returns at once; one above 3 seconds is cut to 3 seconds.
void Timing_Wait(int64_t microseconds);

// Before the first frame.
void MainLoop_Begin();
// One frame; answers the frame-rate target.
int32_t MainLoop_Frame();
// One game step.
void DoAStep();
// Applies the pending object, depth and activation changes of the last stage.
void UpdateActiveLists();
// Re-sorts the instances whose depth changed.
void Run_ApplyDepthChanges();
// Motion and paths, or the room's physics world; true when the world did the motion.
bool HandleInstanceMovement(bool anyOnPath);
// Advances one instance's image and raises Animation End when it wraps.
void Instance_AnimateImage(CInstance* instance);

// The pending instance lists (each takes an instance once).
void Pending_AddObjectChange(CInstance* instance);
void Pending_AddDepthChange(CInstance* instance);
void Pending_AddActivation(CInstance* instance);
// An instance about to be deleted leaves every pending list.
void Pending_RemoveInstance(CInstance* instance);
void Pending_ClearActivations();
// Visits the instances waiting for an object change (which 0) or an activation change (1).
void Pending_ForEach(int32_t which, bool (*visit)(CInstance* instance, void* context), void* context);

// Seeds the game's generator and the C run-time one as a game start does.
void MainLoop_SeedRandom();
