// One turn of the restart loop: early initialisation, start-up, the frame, the end of the
// game, finish, shutdown and the preparation of the next turn.
#pragma once

#include "runner/MainLoop.h"
#include "runner/Run.h"

// False ends the restart loop.
bool Runner_EarlyInit();
// Leaves the running flag at 0 when start-up fails; the turn then goes straight to its end.
void Runner_StartUp();
void Runner_Finish();
void Runner_Shutdown();
void Runner_PrepareRestart();
