// Process entry: the restart loop around start-up, the frame loop and shutdown; the
// at-named files of the working folder; headless crash exits.
#pragma once

#include "base/Runner.h"

// Keeps argv as the UTF-8 command line, tidies the working folder and runs the restart loop;
// returns the exit status.
int Runner_Main(int argc, char** argv);

// The restart loop. Returns 0 after the last turn unless start-up could not run the game.
int Runner_WinMain();

// Moves every plain file of the working folder whose name holds "@" to the path read with
// "@" as a folder separator.
void Runner_MoveAtNamedFiles();
// True when the file was moved. A name whose parts include an empty part, "." or ".." is
// left alone, and an existing file at the destination is never replaced.
bool Runner_MoveAtNamedFile(const char* name);

// Crash exits of headless runs: one line on standard output, exit code 1.
void Headless_ExceptionFilter(int signal);
[[noreturn]] void Headless_CheckFailure(int errorType, const char* file, int line, const char* module);
