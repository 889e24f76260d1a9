// Variable names: the global and instance name tables filled when the data file is linked,
// the locals of each script, and the dynamic name list of older data files and of the
// compiled game's references. Ids of script variables are 100000 + an index.
#pragma once

#include <cstdint>

class PWObjectBase;

constexpr int32_t VARIABLE_ID_BASE = 100000;
constexpr int32_t VARIABLE_BUILTIN_LIMIT = 10000;  // ids below are built-in rows

// Scope codes of the name functions and the interpreter.
enum VariableScope : int32_t {
    SCOPE_SELF = -1,
    SCOPE_OTHER = -2,
    SCOPE_ALL = -3,
    SCOPE_NOONE = -4,
    SCOPE_GLOBAL = -5,
    SCOPE_BUILTIN = -6,
    SCOPE_LOCAL = -7,
    SCOPE_LOCAL_OR_SELF = -8,
    SCOPE_INSTANCE_NAMES = -9,
    SCOPE_CHAIN = -11,
    SCOPE_LOCAL_NAMES = -12,
};

// Sizes the global and instance name tables (entries empty), dropping the previous ones.
void Code_Variable_InitTables(int32_t globalCount, int32_t instanceCount);
// Scope -5 or -1 stores a copy of name at index (an index outside the table stores nothing)
// and answers index + 100000; scope -6 answers the built-in row of the name (-1 none); other
// scopes store nothing and answer index + 100000.
int32_t Code_Variable_SetName(const char* name, int32_t scope, int32_t index);
// Index in the table (case-sensitive, empty entries skipped), -1 when absent.
int32_t Code_Variable_FindInstanceName(const char* name);
int32_t Code_Variable_FindGlobalName(const char* name);
// The global table for the global object outside object mode, else the instance table.
int32_t Code_Variable_FindForObject(const PWObjectBase* object, const char* name);
// 100000 + position in the dynamic list, -1 when absent.
int32_t Code_Variable_FindName(const char* name);
int32_t Code_Variable_FindOrAdd(const char* name);
// The built-in row when name is a built-in variable, else Code_Variable_FindOrAdd.
int32_t Code_Variable_GetId(const char* name);
// Ids below 100000 name built-in rows; others go through Code_Variable_GetNameForScope.
const char* Code_Variable_GetName(const char* scriptName, int32_t scope, int32_t id);
// "<unknown variable>" when the id has no name in that scope.
const char* Code_Variable_GetNameForScope(const char* scriptName, int32_t scope, int32_t id);
// Reads the locals block: a script count, then per script {name offset, n, n name offsets};
// offsets are from fileBase and point at the first text byte of a data-file string. Every
// count and offset is checked against the block and the file; false (and no locals) when
// one is out of bounds.
bool Code_Variable_LoadLocals(const uint8_t* block, int64_t blockLength, const uint8_t* fileBase,
                              int64_t fileLength);
// Kept for the shutdown order; the tables live until the process ends.
void Code_Variable_Free();

// Counts of the two name tables.
int32_t Code_Variable_GlobalCount();
int32_t Code_Variable_InstanceCount();
