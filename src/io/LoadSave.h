// The save area and path resolution: where a file name of the game is read from and written
// to. Reads come from the bundle (the folder of the game data file) or the save area; writes
// land only in the save area, or at paths the player picked in a file dialog (the allow-lists).
//
// Every name is first made absolute and its "." and ".." resolved by text alone; a path is
// inside a root or an allow-list folder only at a whole path component ("/g" never holds
// "/game2"). A resolved path that does not fit its caller's buffer is refused, never cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class CStream;

// --- roots -------------------------------------------------------------------------------
// The runner hands these over as it learns them; an unset root admits nothing.

// The folder of the game data file.
void LoadSave_SetBundleFolder(const char* folder);
// The working_directory folder (null or empty: not made yet).
void LoadSave_SetWorkingFolder(const char* folder);
// The save area (what GetSavePrePend gives; empty while the game has no name).
void LoadSave_SetSaveArea(const char* folder);
// The roots as the resolvers use them: absolute, "/" separators, one trailing "/" (empty: unset).
std::string LoadSave_GetBundleFolder();
std::string LoadSave_GetSaveArea();

// The game's name made safe as one folder name: separators and control characters become "_",
// and a name of dots only is replaced by as many "_".
std::string LoadSave_MakeSafeName(const char* gameName);
// The save area for a game: $XDG_DATA_HOME (else ~/.local/share), or $XDG_CONFIG_HOME (else
// ~/.config) when roaming, then "/", the safe name and "/". Empty when the game has no name or
// no home folder is known.
std::string LoadSave_MakeSaveArea(const char* gameName, bool roaming);

// The absolute form of a name: relative names are taken from the current folder, "\" becomes
// "/", empty and "." components are dropped and ".." removes the one before it. A final "/"
// stays. Empty for no name.
std::string LoadSave_GetFullPath(const char* name);

// --- allow-lists -------------------------------------------------------------------------

enum LoadSaveAllowList {
    LOADSAVE_READ_LIST = 0,   // files picked in an open-file dialog
    LOADSAVE_WRITE_LIST = 1,  // files picked in a save-file dialog, workshop and save-group folders
};

// Entries live until the program ends. A prefix entry admits the folder and what lies inside it.
void LoadSave_AddAllowedPath(LoadSaveAllowList list, const char* path, bool prefix);
bool LoadSave_IsPathAllowed(LoadSaveAllowList list, const char* path);
bool LoadSave_IsPathAllowedPrefix(LoadSaveAllowList list, const char* path);

// --- resolvers ---------------------------------------------------------------------------

// Where to read the name in the bundle; empty when it lies outside every readable root.
std::string LoadSave_GetBundlePath(const char* name);
// Where to write the name in the save area; empty (with "Error! not allowing save with filename
// '%s'\n" on the console) when it may not be written.
std::string LoadSave_GetSavePath(const char* name);
// The same into a caller buffer of the given size; false (and an empty text) when refused or
// when the path does not fit.
bool LoadSave_GetBundlePath(char* out, size_t size, const char* name);
bool LoadSave_GetSavePath(char* out, size_t size, const char* name);

// --- whole files -------------------------------------------------------------------------

// New memory-manager block holding the whole regular file (one cleared byte for an empty
// file), its size in outSize; null (outSize untouched) when it cannot be read.
void* LoadSave_ReadWholeFile(const char* path, int64_t* outSize);
// True when the path names a regular file that opens for reading.
bool LoadSave_CanOpenFile(const char* path);
void* LoadSave_ReadSaveFile(const char* name, int64_t* outSize);
void* LoadSave_ReadBundleFile(const char* name, int64_t* outSize);
bool LoadSave_SaveFileExists(const char* name);
bool LoadSave_BundleFileExists(const char* name);
// Fills the stream with the file (save area, else bundle) without its first skip bytes; a
// missing file leaves the stream empty. The position is kept.
void LoadSave_ReadIntoStream(CStream* stream, const char* name, int64_t skip);
// Resolves the name for writing, makes its missing folders and writes the bytes; true only
// when every byte reached the file.
bool LoadSave_WriteFile(const char* name, const void* bytes, int64_t size);
// Resolves the name for writing and deletes that file.
bool LoadSave_DeleteFile(const char* name);

// Changes to a path the save area resolved. Inside the area each folder on the way is opened
// without following a symbolic link, so no link leads a change out of it; a link at the last
// name is itself replaced, deleted or moved. A write goes to a temporary file in the same
// folder, reaches the disk and is renamed over the target, so the old file or the new one is
// there at any moment, never a part of one. Missing folders are made for writes and folders.
bool LoadSave_WritePath(const std::string& path, const void* bytes, int64_t size);
bool LoadSave_DeletePath(const std::string& path);                                // files only
bool LoadSave_MovePathNoReplace(const std::string& from, const std::string& to);  // never replaces
bool LoadSave_CreateFolderPath(const std::string& path);
bool LoadSave_DestroyFolderPath(const std::string& path);
// Whether a file can be made at the path: its folders can be had (they are made) and its name
// is neither too long nor a folder's.
bool LoadSave_CanCreatePath(const std::string& path);
// The size of the regular file at the path, or -1.
int64_t LoadSave_FileSize(const char* path);  // with all it holds; links are removed

// A standard stream on the path as given (no resolution). Without "b" in the mode the stream is
// in text mode: every LF written reaches the file as CR LF, and CR LF reads back as LF.
FILE* LoadSave_wfopen(const char* path, const char* mode);
// Makes the folders of a file path; false for a path without a separator.
bool File_CreateDirectoryForFile(const char* path);
// Start-up hook; nothing to do.
void LoadSave_Init();
