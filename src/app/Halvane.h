// One turn of the restart loop: early initialisation, start-up, the preparation and start of
// the game, and at the end the finish, the shutdown of every subsystem and the preparation of
// the next turn. Every step is logged on the debug console, which makes the log a trace of how
// far start-up got.
#pragma once

#include <cstdint>

#include "app/MainLoop.h"
#include "world/Run.h"

// Process-wide tables that every turn needs first; false ends the restart loop.
// "Pell Works Runner v1.0(999)[r32908]": the banner's version.
const char* Runner_VersionText();
bool Runner_EarlyInit();
// The logged start-up steps up to the start of the game. A failed step leaves the running
// flag at 0: the turn then goes straight to its end, with exit status 1.
void Runner_StartUp();
// The end of a turn, in this order.
void Runner_Finish();
void Runner_Shutdown();
void Runner_PrepareRestart();

// Registers every built-in function family; the header pass of the data file calls it.
void InitHVSFunctions();
// Reads every chunk, prepares the modules and starts the game; false when the game did not start.
bool PrepareGame();
bool PrepareGame_Modules();
// False when the graphics device cannot be made.
bool Runner_InitGraphics();
// Sets the running flag, starts the game when it is not running yet, and begins the frame loop.
// A game with no room to start in ends at once.
void Run_Start();

// Bounds-checked variants of the built-ins that have both (true) or the unchecked ones (false).
void SetReleaseMode(bool checked);
bool Runner_ReleaseMode();

// Another game to run once this one ends (pw_player_run): its path, the file to return to
// afterwards (null: none) and the save folder it gets. Copied.
void Runner_SetPendingGame(const char* game, const char* returnFile, const char* saveFolder);
