// The built-in function table: every function game code can call without defining it.
#pragma once

#include <cstddef>
#include <cstdint>

struct RValue;
class CInstance;

// result is released and undefined before the call; args are argc contiguous values that
// the built-in reads and never frees.
using BuiltinProc = void (*)(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

constexpr int32_t BUILTIN_NAME_BYTES = 64;

struct BuiltinFunction {
    char name[BUILTIN_NAME_BYTES];  // first field: a row pointer is also its name
    BuiltinProc function;
    int32_t argc;      // declared count, -1 any; never checked here
    int32_t reserved;  // -1
};

// Id ranges shared by built-ins, scripts and extension functions.
constexpr int32_t FUNCTION_ID_SCRIPT_BASE = 100000;
constexpr int32_t FUNCTION_ID_SCRIPT_EXECUTE = 499999;
constexpr int32_t FUNCTION_ID_EXTENSION_BASE = 500000;

// The row of the built-in now running (set around every call); argument-getter messages
// print its name. Null outside a built-in.
extern const BuiltinFunction* Builtin_Current;
// Name of the running built-in for messages: "" outside a built-in.
const char* Builtin_CurrentName();

// Appends a row and returns the new row count. A name longer than 63 bytes is cut to fit
// and logged. The registrars of some families pass a flag byte; nothing reads it.
int32_t Code_Function_Add(const char* name, BuiltinProc function, int32_t argc, int32_t flag = 1);
// One row of a registrar's table, added in table order.
struct BuiltinRow {
    const char* name;
    BuiltinProc function;
    int32_t argc;
    int32_t flag = 0;
};
template <size_t N>
void Code_Function_AddRows(const BuiltinRow (&rows)[N]) {
    for (const BuiltinRow& row : rows) Code_Function_Add(row.name, row.function, row.argc, row.flag);
}
// Puts function into the first row of that name (byte for byte); no such row: nothing.
void Code_Function_Replace(const char* name, BuiltinProc function);
// Scripts (100000 + index), then extension functions (500000 + id), then the rows (first
// match, case-sensitive). False with id -1 when nothing bears the name.
bool Code_Function_Find(const char* name, int32_t* id);
// For 0 <= index < count fills the outputs from that row; any other index leaves them.
void Code_Function_GetInfo(int32_t index, const char** name, BuiltinProc* function, int32_t* argc);
// The row at index, or null outside the table (the call-by-index path).
const BuiltinFunction* Code_Function_Row(int32_t index);
int32_t Code_Function_Count();
int32_t Code_Function_Capacity();
void Code_Function_Free();

// Name lookups of modules built above this one. Each answers an index (0 or more) or -1;
// unset they answer "none". Extension function ids start at 1.
using NameFinder = int32_t (*)(const char* name);
void Code_Function_SetScriptFinder(NameFinder finder);
void Code_Function_SetExtensionFinder(NameFinder finder);
// The script lookup as installed (Asset_GetIndexByName asks it too).
int32_t Code_Function_FindScript(const char* name);
