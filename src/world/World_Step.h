// The state the frame loop shares with the game world (the pending room change, frame timing,
// the loop's switches) and the world's own work between stages: the pending instance lists,
// depth and activation changes, motion and image animation.
#pragma once

#include <cstdint>

#include "base/RunState.h"

class CInstance;


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

// Applies the pending object, depth and activation changes of the last stage.
void UpdateActiveLists();
// Re-sorts the instances whose depth changed.
void Run_ApplyDepthChanges();
// Motion and paths, or the room's physics world; true when the world did the motion.
bool HandleInstanceMovement();
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
