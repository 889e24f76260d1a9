// File names, folders, programs, the temporary folder, parameters and environment: the helpers
// the file built-ins stand on, and the exact behaviour of the filename_*, execute_*,
// parameter_* and environment_get_variable built-ins.
//
// Paths are UTF-8. Both "\" and "/" separate folders; texts the runner composes use "/".
// "New text" results come from the memory manager; the caller frees them with MEM_FREE.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Support_FileM.h"

// --- parts of a path ---------------------------------------------------------------------

// The last occurrence of the character, or null.
const char* File_FindLastChar(const char* text, char c);
// New text: the part before the last separator; empty when there is none or it is the first
// character.
char* File_GetDirectory(const char* path);
// New text: the part after the last separator, or the whole path.
char* File_GetName(const char* path);
// New text: a drive ("C:") at the start of the path, or empty.
char* File_GetDrive(const char* path);
// New text: the extension of the last name of the path, with its ".", or empty.
char* File_GetExtension(const char* path);
// Removes one final separator (the root "/" stays).
void File_StripTrailingSeparator(char* path);

// --- folders and programs ----------------------------------------------------------------

// True when the folder exists or was made together with all its missing parents.
bool File_CreateDirectories(const char* path);
// New text: the current folder.
char* File_GetCurrentDirectory();

// Splits a command-line text into arguments the way a Windows program reads its own: blanks
// separate, double quotes group, backslashes escape only quotes. Nothing else is interpreted.
std::vector<std::string> File_SplitArguments(const char* text);
// Opens the file: an executable file is started with the parameters, anything else (documents,
// URLs) is handed to the desktop's opener. True when the system accepted it.
bool File_ExecuteShell(const char* file, const char* parameters, const char* folder);
// Starts the program with the arguments in the folder (never through a shell). With wait set
// the call returns only after the program has ended, pumping window messages meanwhile.
bool File_ExecuteProgram(const char* program, const char* arguments, const char* folder, bool wait);
// The window-message pump run while File_ExecuteProgram waits (null: none).
void File_SetMessagePump(void (*pump)());

// --- temporary folder --------------------------------------------------------------------

// Reads the temporary folder once: $TMPDIR, else "/tmp".
void File_InitTempDirectory();
const char* File_GetTempDirectory();
inline const char* Support_GetTempDirectory() {
    return File_GetTempDirectory();
}
// A file the runner itself created for temporary use; the clean-up at shutdown removes it.
void File_AddTempFile(const char* path);
// Removes the runner's own temporary files and nothing else: never the folder itself.
void File_CleanTempDirectory();

// --- built-in behaviours -----------------------------------------------------------------

std::string Filename_Name(const char* path);
std::string Filename_Drive(const char* path);
std::string Filename_Ext(const char* path);
// False for a null path: the caller raises "null string passed to filename_path".
bool Filename_Path(const char* path, std::string& out);
// False for a null path: the caller raises "null string passed to filename_dir".
bool Filename_Dir(const char* path, std::string& out);
// Replaces only the extension of the last name of the path.
std::string Filename_ChangeExt(const char* path, const char* extension);

// 0 when started, -1 (with "Cannot execute %s\n" on the console) when not.
int Execute_Program(const char* program, const char* arguments, bool wait);
int Execute_Shell(const char* file, const char* parameters);

// The command-line tokens read by parameter_count and parameter_string.
int Parameters_Count();
// Argument n (0 to count - 1); any other index gives the empty text.
const char* Parameters_String(int index);

// The variable's value, or the empty text when there is no name or it is unset.
std::string Environment_GetVariable(const char* name);
