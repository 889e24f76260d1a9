#include "io/Debug_Remote.h"

void Debug_InitRemoteInterface() {}

void Debug_Tick() {}

bool Debug_IsConnected() {
    return false;
}

void Debug_StartPollThread() {}

void Debug_StopPollThread() {}

void Debug_PauseLoop() {}

void Debug_AppendText(const char*) {}
