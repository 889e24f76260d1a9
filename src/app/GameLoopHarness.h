// Test harness of the game loop: a virtual clock behind Timing_Time and the frame wait, so
// frames run in no real time with reproducible fps, delta_time and current_time; a stop after
// a number of frames; the random generators seeded as a game start seeds them. Inert until a
// test (or a tool) switches a piece on.
#pragma once

#include <cstdint>

// Installs the virtual clock at `start` microseconds: waits and sleeps advance it instead of
// passing real time.
void Harness_UseVirtualClock(int64_t start = 0);
// Puts the system clock back.
void Harness_UseSystemClock();
bool Harness_VirtualClockActive();
// Moves the virtual clock on (a step that "takes" time).
void Harness_AdvanceClock(int64_t microseconds);

// After that many more completed frames the running flag drops, so the frame loop ends as
// after a quit. 0 or less: no stop.
void Harness_StopAfterFrames(int64_t frames);
// Called by the frame loop at the end of every completed frame.
void Harness_FrameDone();

// Seeds both random generators with the game-start seed.
void Harness_SeedRandom();

// Runs frames while the running flag is set, at most `frames` of them; answers how many ran.
int64_t Harness_RunFrames(int64_t frames);
