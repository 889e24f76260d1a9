// File-system and process calls of the file helpers: the part that talks to the system.
// Names may use "\" or "/" as separators; both are handed to the system as "/".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "\" becomes "/"; the text is otherwise unchanged.
std::string File_ToSystemPath(const char* path);

// True for something that is neither a folder nor a device (symbolic links followed).
bool File_Exists(const char* path);
bool Directory_Exists(const char* path);
inline bool File_DirectoryExists(const char* path) {
    return Directory_Exists(path);
}

// Makes one folder; false when it could not be made (an existing one included).
bool File_CreateDirectory(const char* path);
// Removes the folder and everything in it. Symbolic links are removed, never followed; a path
// that is itself a link, or not a folder, is left alone. The first entry that cannot be removed
// stops the walk and leaves the folder. True when the folder is gone.
bool Directory_Delete(const char* path);
// The folder `name` of the folder open at parentFd, emptied and removed; no link is followed.
bool Directory_DeleteAt(int parentFd, const char* name);
// Renames `from` of one open folder to `to` of another, failing when `to` exists.
bool FileM_MoveNoReplaceAt(int fromFolder, const char* from, int toFolder, const char* to);
// Removes one file (not a folder).
bool FileM_DeleteFile(const char* path);

// The process's current folder without a trailing separator; empty when it cannot be read.
std::string FileM_CurrentDirectory();
// Makes the folder the process's current one; false when it cannot be.
bool FileM_SetCurrentDirectory(const char* folder);
// True for a regular file the process may execute.
bool FileM_IsExecutableFile(const char* path);

// Starts argv[0] with the arguments, never through a shell, in the given folder (empty: the
// current one). A program name without "/" is looked up on PATH. Returns a process handle
// above 0, or 0 when the system did not start it.
int64_t FileM_StartProcess(const std::vector<std::string>& argv, const std::string& folder);
// True while the process runs; once it has ended its handle is spent.
bool FileM_ProcessRunning(int64_t process);
// Collects every started process that has ended, so none lingers as a zombie.
void FileM_ReapFinishedProcesses();
