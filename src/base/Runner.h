// The runner's process state: the running and restart flags, the message pump every waiting
// loop calls, the command line, and the program, game and save-area paths.
#pragma once

#include <atomic>
#include <cstdint>

// Process state of the restart loop. Read from worker threads too, hence atomic.
extern std::atomic<uint8_t> g_RunnerRunning;   // 1 while the frame loop runs
extern std::atomic<uint8_t> g_RunnerRestart;   // set when another turn must follow
extern std::atomic<uint8_t> g_RunnerFirstRun;  // cleared at the end of every turn
extern std::atomic<int> g_RunnerExitStatus;    // what Runner_WinMain returns

// Pumps the event queue until it is empty; a quit clears the running flag and ends the pump.
void ProcessMessages();
// Sleeps for the wait less the sleep margin, then pumps events until the deadline. A wait
// of 0 or less returns at once; one above 3 seconds is cut to 3 seconds.
void Timing_Wait(int64_t microseconds);
// Asks the frame loop to end: the next pump clears the running flag.
void Runner_PostQuit();

// The command line as one UTF-8 text: each argument, the program first, separated by blanks;
// arguments holding blanks or control characters, or empty ones, in double quotes. Double
// quotes inside an argument cannot be written in this form and are left out.
char* Runner_CommandLineFromArgs(int argc, char** argv);
const char* Runner_CommandLine();
// Replaces the command line the next turn parses (copied; null clears it).
void Runner_SetCommandLine(const char* text);

// The game data file of this turn (null when none is known yet).
const char* Runner_DataFilePath();
void Runner_SetDataFilePath(const char* path);  // copied; null clears it

// The program's full path (cached for the process).
const char* GetExePath();
// Replaces the cached program path (copied; null asks the system again): tests that run
// in parallel each give the program their own folder.
void Runner_SetExePath(const char* path);
// The data file's folder with a trailing "/" (cached for the turn); empty when the path
// names no folder.
const char* GetBundleFolder();
void Runner_ClearBundleFolder();

// The save-area prefix: the per-user folder, the game's name made safe for a folder name,
// and a trailing "/". Empty (and not cached) while no game name is known.
const char* GetSavePrePend();
void Runner_SetSavePrePend(const char* prefix);  // the cache; null or "" recomputes it
void Runner_SetGameName(const char* name);
const char* Runner_GameName();
// The header asks for the roaming (configuration) folder in place of the data folder.
void Runner_SetSaveFolderRoaming(bool roaming);

// The variable's value as a new text (memory manager), or null when it is not set.
char* Env_GetVariable(const char* name);
