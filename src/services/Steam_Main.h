// The Steam wrapper's spine: start-up for a game whose header carries a Steam app id, the frame
// pump that turns the library's results into asynchronous events (subtype 69), and shutdown.
// When the library cannot be had, the start is logged as failed and every steam_* built-in gives
// its answer for Steam not running.
#pragma once

#include <cstdint>

// Starts Steam for the header's app id (0: not used). Called first by Steam_RegisterFunctions.
void Steam_Init();
// Once a frame, after the begin-step stage: the library's callbacks, then a pending stats store.
void Steam_Update();
// At runner shutdown.
void Steam_Shutdown();
bool Steam_IsInitialised();

// The steam_* registrar: starts Steam, then adds the 82 rows.
void Steam_RegisterFunctions();

// The asynchronous-event subtype of every Steam result.
constexpr int32_t kAsyncEventSteam = 69;

// Shuts a running wrapper down and forgets a failed start, so Steam_Init may try again (tests).
void Steam_ResetForTests();
