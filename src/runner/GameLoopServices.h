// What start-up, shutdown and the error report call in the game loop's modules (rooms,
// objects, time lines, the frame loop and the run state) and in the input layer.
#pragma once

#include <cstdint>

// Run state and room transitions.
void Run_InitGlobals();
void Run_ClearPendingLists();
void Run_FreePersistentInstances();
// Enters the first room of the room order as the game's start.
void StartGame();
// The pending room change: -1 none, a room index, -100 end, -200 restart, -300 load, -400 abort.
extern int32_t NewRoomCode;
// Requests the end of the game (-100).
void Run_RequestEnd();

// The frame loop: called once before the first frame.
void MainLoop_Begin();

// Preparation and shutdown of the modules that read chunks.
bool TimeLine_Prepare();
bool Object_Prepare();
bool Room_Prepare();
void TimeLine_FreeAll();
void Object_FreeAll();
void Room_FreeAll();

// Tables.
int32_t Room_First();  // the first room of the room order, -1 when none
bool Room_Exists(int32_t index);
const char* Object_GetName(int32_t index);    // "<undefined>" when absent
const char* TimeLine_GetName(int32_t index);  // "<undefined>" when absent

// Input: clears the keyboard and mouse state.
void IO_Clear();
