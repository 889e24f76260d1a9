// Calls into shared objects that a game names: a function is defined once (library loaded,
// symbol found, argument and result kinds recorded under a small id) and then called with
// script values, which cross as doubles and UTF-8 text pointers.
#pragma once

#include <cstdint>

struct RValue;

constexpr int32_t DLL_MAX_ARGUMENTS = 16;
// Text arguments are allowed only up to this many arguments; beyond it every one is a real.
constexpr int32_t DLL_MAX_MIXED_ARGUMENTS = 4;

// Loads the library named by `dll` (the save area's file, else the game folder's, else the name
// as given for the system's own search; a ".dll" name that does not load is tried again as
// ".so") and finds `name` in it, else its decorated form "_name@bytes". argTypes holds argc
// flags, 1 a text, 0 a real. The convention (0 cdecl, 1 stdcall) is recorded, not used: this
// platform has one calling convention. Answers the new id, or -1.
int32_t DLL_Define(const char* dll, const char* name, int32_t convention, int32_t argc,
                   const int32_t* argTypes, bool resultIsText);
// Calls function id with argc values; the result is always written (the real 0 when the call
// is refused: a bad id, another argument count, an unloaded library, or "-ext").
void DLL_Call(int32_t id, int32_t argc, const RValue* args, RValue* result);
// Unloads the library loaded under exactly this path; its functions answer the real 0 after.
void DLL_Free(const char* dll);
// Forgets every definition (ids start again from 0); the libraries stay loaded.
void DLL_FreeTable();

// What a definition recorded, for tests and the debug log; false for an id without one.
struct DLL_Record {
    const char* path;
    const char* name;
    bool loaded;
    bool calleeCleans;
    int32_t argc;
    bool resultIsText;
};
bool DLL_GetRecord(int32_t id, DLL_Record* out);
int32_t DLL_Count();
