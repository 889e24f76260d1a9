// What the runner asks of the operating system at process level: its own path, paths made
// absolute, the environment, the per-user folders, plain files of a folder, and the crash
// handlers of headless runs.
#pragma once

#include <string>
#include <vector>

// Full path of the running program; empty when the system does not say.
std::string HostOS_ExecutablePath();

// The path made absolute against the working folder, lexically: "\" read as "/", "." and
// empty parts dropped, ".." taking away the part before it (never above the root). Empty
// for an empty path.
std::string HostOS_FullPath(const char* path);

// False when the variable is not set.
bool HostOS_GetEnv(const char* name, std::string& value);


// True when the file opens for reading.
bool HostOS_FileReadable(const char* path);

// Names of the plain files of a folder: regular files (not links, folders or devices) that
// are neither hidden (leading ".") nor read-only for their owner.
std::vector<std::string> HostOS_ListPlainFiles(const char* folder);

// Creates one folder; true when it exists as a folder afterwards.
bool HostOS_MakeFolder(const char* path);

// Moves a file; never replaces an existing file at the destination.
bool HostOS_MoveFileNoReplace(const char* from, const char* to);

// Installs the handler for crashes (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT), running on
// its own stack so a stack overflow reaches it too. The handler must be async-signal-safe.
using HostCrashHandler = void (*)(int signal);
void HostOS_InstallCrashHandler(HostCrashHandler handler);

// Writes the text to standard output and ends the process at once with the code, with no
// clean-up: the one exit that is safe inside a signal handler.
[[noreturn]] void HostOS_WriteAndExit(const char* text, int code);
