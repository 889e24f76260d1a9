// Variable access by id: the built-in variable registry, the per-variable flags, reads and
// writes on an instance, every instance of a target, the global object and the scope chain,
// and the globals' piece of a saved game.
#pragma once

#include <cstdint>

#include "core/Code_Variable.h"
#include "core/Value.h"

class CInstance;
class PWObjectBase;
class SerialBuffer;

// --- Settings of the loaded game --------------------------------------------------------
// The data-file loader fills these once per turn; tests set them directly.

struct VariableSettings {
    bool objectMode = false;        // header flag bit 15: the script object runtime is on
    bool newFormat = true;          // data file format 15 or later: names come from the tables
    bool markUnsetReads = false;    // options flag 0x400000: unset reads give 12345678.9
    int32_t instanceSlotCount = 0;  // instance variables of the game: every instance's slot count
};
extern VariableSettings g_VariableSettings;

// The object that holds the global variables; made by the data-file loader, freed at the end
// of each turn. Null while no game is loaded.
extern PWObjectBase* g_GlobalObject;

// Set when a read found no instance or no variable; the interpreter turns it into a message.
extern bool Variable_NotFound;

// --- Built-in variable registry ---------------------------------------------------------

// index is the element index, ARRAY_INDEX_WHOLE when the variable is used without one.
using BuiltinVarGetter = bool (*)(CInstance* self, int32_t index, RValue* out);
using BuiltinVarSetter = bool (*)(CInstance* self, int32_t index, RValue* value);

struct BuiltinVariable {
    char* name;  // owned copy
    BuiltinVarGetter getter;
    BuiltinVarSetter setter;  // null: read only
    uint8_t settable;
    // The row reads argument n of the current call (-1: it does not); the interpreter reads
    // a plain number there itself and leaves every other case to the getter.
    int8_t argument = -1;
};

constexpr int32_t BUILTIN_VARIABLE_ROWS = 500;

// Appends a row (name copied). With every row taken, shows "INTERNAL ERROR: Adding too many
// variables" and adds nothing. Returns the row index, -1 when full.
int32_t Variable_BuiltIn_Add(const char* name, BuiltinVarGetter getter, BuiltinVarSetter setter);
// First row of that name (case-sensitive), -1 when none.
int32_t Variable_BuiltIn_Find(const char* name);
// "<unknown built-in variable>" outside the rows.
const char* Variable_BuiltIn_GetName(int32_t index);
// The rows (inline: the interpreter reads them on every push of a built-in variable).
extern BuiltinVariable g_BuiltinRows[BUILTIN_VARIABLE_ROWS];
extern int32_t g_BuiltinRowCount;
inline const BuiltinVariable* Variable_BuiltIn_Row(int32_t index) {
    return index >= 0 && index < g_BuiltinRowCount ? &g_BuiltinRows[index] : nullptr;
}
// Marks a row as the reader of argument n of the current call (0..63).
void Variable_BuiltIn_SetArgument(int32_t index, int32_t n);
int32_t Variable_BuiltIn_Count();
// Frees every row and the flag table.
void Variable_BuiltIn_Free();

// Shows the registry's message box (the input layer installs the real one; by default the
// text goes to the error console).
using VariableMessageHook = void (*)(const char* text);
void Variable_SetMessageHook(VariableMessageHook hook);

// --- Variable flags ---------------------------------------------------------------------

// 10000 zero bytes, one per script variable.
void Variable_InitFlags();
// The flag of id (0 outside the table). 1: the interpreter treats the variable as global
// when it is addressed with the built-in scope.
uint8_t Variable_GetFlags(int32_t id);
int32_t Variable_FlagCount();

// --- Access -----------------------------------------------------------------------------
// Ids below 10000 are built-in rows; from 100000 a slot (id - 100000) of the object, or the
// key of its variable list when the object has no slots but a list.

bool Variable_GetValue(CInstance* instance, int32_t id, int32_t index, RValue* out);
bool Variable_SetValue(CInstance* instance, int32_t id, int32_t index, RValue* value);

bool Variable_GetGlobal(int32_t id, int32_t index, RValue* out);
bool Variable_SetGlobal(int32_t id, int32_t index, RValue* value);

// Targets: -3 every active instance, 0..99999 an object and its descendants, 100000 and
// up an instance id. A read takes the first match; a write goes to every match.
bool Variable_GetOnTarget(int32_t target, int32_t id, int32_t index, RValue* out);
bool Variable_SetOnTarget(int32_t target, int32_t id, int32_t index, RValue* value);
bool Variable_GetSlotOnTarget(int32_t target, int32_t slot, int32_t index, RValue* out);
bool Variable_SetSlotOnTarget(int32_t target, int32_t slot, int32_t index, RValue* value);

// The scope chain of the script object runtime.
bool Variable_GetScoped(int32_t id, int32_t index, RValue* out);
bool Variable_SetScoped(int32_t id, int32_t index, RValue* value);
bool Variable_DeleteScoped(int32_t id, int32_t index);

// Name of the object of the target's first instance, "<unknown_object>" when none.
const char* Variable_TargetObjectName(int32_t target);

// --- Saved games ------------------------------------------------------------------------

void Variable_SaveGlobals(SerialBuffer* buffer);
// A count that differs from the game's raises "Save game format has changed"; the values
// both sides know are loaded and the rest of the save is skipped, so the reader stays in
// step. False when the buffer ran short or held an impossible count.
bool Variable_LoadGlobals(SerialBuffer* buffer);

// --- Helpers shared with the interpreter ------------------------------------------------

// out becomes a new object whose "[[Call_Cpp]]" is the built-in's function.
void Variable_MakeBuiltinFunctionObject(RValue* out, int32_t functionIndex);
