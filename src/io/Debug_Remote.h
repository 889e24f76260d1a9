// The remote debugger's hooks. The runner accepts no remote debugger: no server is opened and
// nothing can attach, pause, step or inspect the game, so every hook does nothing and the
// states a debugger would set stay off for the whole run.
#pragma once

void Debug_InitRemoteInterface();
// Once per frame after the profiler's frame end: there is no connection to service.
void Debug_Tick();
// Always false: the error dialog and the modal dialogs never hand over to a debugger.
bool Debug_IsConnected();
// Called only while a debugger is connected, so never.
void Debug_StartPollThread();
void Debug_StopPollThread();
void Debug_PauseLoop();
void Debug_AppendText(const char* text);
