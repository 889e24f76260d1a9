// The one way the process ends. Tests replace the hook to observe an exit instead of dying.
#pragma once

using ProcessExitHook = void (*)(int code);

// Runs the hook (which may not return), then ends the process with the code.
[[noreturn]] void Process_Exit(int code);
// Returns the previous hook; null restores the default (flush consoles, then exit).
ProcessExitHook Process_SetExitHook(ProcessExitHook hook);
