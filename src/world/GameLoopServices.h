// What start-up, shutdown and the error report call in the game loop's modules (rooms, objects,
// time lines, the frame loop and the run state), and what the game loop calls in modules that
// are not all in yet.
#pragma once

#include "world/World_Step.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/TimeLine.h"

// Input: clears the keyboard and mouse state.
void IO_Clear();

// The action functions' relative flag (action_set_relative).
extern bool g_ActionRelative;
