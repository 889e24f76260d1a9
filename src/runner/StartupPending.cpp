// Stand-ins for the game loop and the input layer while they are not linked in: each is weak,
// so the real module replaces it, and each answers as a game without rooms, objects or time
// lines. This file goes once those modules are in.
#include <cstdint>

#include "runner/GEN8.h"
#include "runner/GameLoopServices.h"

#define HV_PENDING __attribute__((weak))

HV_PENDING int32_t NewRoomCode = -1;

HV_PENDING void Run_InitGlobals() {}
HV_PENDING void Run_ClearPendingLists() {}
HV_PENDING void Run_FreePersistentInstances() {}
HV_PENDING void StartGame() {}
HV_PENDING void Run_RequestEnd() {
    NewRoomCode = -100;
}
HV_PENDING void MainLoop_Begin() {}

HV_PENDING bool TimeLine_Prepare() {
    return true;
}
HV_PENDING bool Object_Prepare() {
    return true;
}
HV_PENDING bool Room_Prepare() {
    return true;
}
HV_PENDING void TimeLine_FreeAll() {}
HV_PENDING void Object_FreeAll() {}
HV_PENDING void Room_FreeAll() {}

HV_PENDING int32_t Room_First() {
    return g_GameHeader.roomCount > 0 ? g_GameHeader.roomOrder[0] : -1;
}
HV_PENDING bool Room_Exists(int32_t) {
    return false;
}
HV_PENDING const char* Object_GetName(int32_t) {
    return "<undefined>";
}
HV_PENDING const char* TimeLine_GetName(int32_t) {
    return "<undefined>";
}

HV_PENDING void IO_Clear() {}
