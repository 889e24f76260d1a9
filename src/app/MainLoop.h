// The frame loop: waits for each frame's slot, counts frames per second, runs one game step
// in its fixed order of stages and then acts on a requested room change.
#pragma once

#include <cstdint>

#include "world/World_Step.h"

class CInstance;

// Before the first frame.
void MainLoop_Begin();
// One frame; answers the frame-rate target.
int32_t MainLoop_Frame();
// One game step.
void DoAStep();
// Seeds the game's generator and the C run-time one as a game start does.
void MainLoop_SeedRandom();
