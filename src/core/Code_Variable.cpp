#include "core/Code_Variable.h"

#include <cstring>

#include "core/MemoryManager.h"
#include "core/Value.h"
#include "core/Variable.h"

namespace {

const char* const kUnknownVariable = "<unknown variable>";

struct NameTable {
    char** names = nullptr;
    int32_t count = 0;
};
NameTable g_globalNames;
NameTable g_instanceNames;

struct ScriptLocals {
    char* script;
    int32_t count;
    char** names;
};
ScriptLocals* g_locals = nullptr;
int32_t g_localsCount = 0;

// Names of older data files and of the compiled game's references; only grows.
char** g_dynamic = nullptr;
int32_t g_dynamicCount = 0;
int32_t g_dynamicCapacity = 0;

void FreeNames(char** names, int32_t count) {
    for (int32_t i = 0; i < count; ++i) MEM_FREE(names[i]);
    MEM_FREE(names);
}

void SizeTable(NameTable& table, int32_t count, int line) {
    FreeNames(table.names, table.count);
    table.count = count > 0 ? count : 0;
    const uint64_t bytes = sizeof(char*) * uint64_t(table.count);
    table.names =
        table.count > 0 && bytes < UINT32_MAX
            ? static_cast<char**>(MemoryManager::Alloc(uint32_t(bytes), "Code_Variable", line, true))
            : nullptr;
    if (table.names == nullptr) table.count = 0;  // names past what could be had are not kept
}

bool StoreName(NameTable& table, int32_t index, const char* name) {
    if (index < 0 || index >= table.count) return false;
    MEM_FREE(table.names[index]);
    table.names[index] = String_Duplicate(name);
    return true;
}

int32_t FindIn(const NameTable& table, const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < table.count; ++i) {
        if (table.names[i] != nullptr && std::strcmp(table.names[i], name) == 0) return i;
    }
    return -1;
}

const char* NameAt(const NameTable& table, int64_t n) {
    if (n < 0 || n >= table.count || table.names[n] == nullptr) return kUnknownVariable;
    return table.names[n];
}

void FreeLocals() {
    for (int32_t i = 0; i < g_localsCount; ++i) {
        MEM_FREE(g_locals[i].script);
        FreeNames(g_locals[i].names, g_locals[i].count);
    }
    MEM_FREE(g_locals);
    g_locals = nullptr;
    g_localsCount = 0;
}

// Reads the locals block with every position checked against its end.
struct BlockReader {
    const uint8_t* at;
    const uint8_t* end;
    const uint8_t* fileBase;
    int64_t fileLength;

    bool Word(uint32_t* out) {
        if (end - at < 4) return false;
        std::memcpy(out, at, 4);
        at += 4;
        return true;
    }
    // A copy of the data-file string at offset: inside the file and ended by a NUL there.
    char* Name() {
        uint32_t offset;
        if (!Word(&offset) || offset == 0 || offset >= fileLength) return nullptr;
        const void* nul = std::memchr(fileBase + offset, 0, static_cast<size_t>(fileLength - offset));
        return nul != nullptr ? String_Duplicate(reinterpret_cast<const char*>(fileBase + offset)) : nullptr;
    }
};

}  // namespace

void Code_Variable_InitTables(int32_t globalCount, int32_t instanceCount) {
    SizeTable(g_globalNames, globalCount, 166);
    SizeTable(g_instanceNames, instanceCount, 168);
}

int32_t Code_Variable_SetName(const char* name, int32_t scope, int32_t index) {
    switch (scope) {
        case SCOPE_GLOBAL:
            StoreName(g_globalNames, index, name);
            break;
        case SCOPE_SELF:
            StoreName(g_instanceNames, index, name);
            break;
        case SCOPE_BUILTIN:
            return Variable_BuiltIn_Find(name);
        default:
            break;
    }
    // A slot id must fit the 28 bits bytecode keeps for it.
    if (index > 0x0FFFFFFF - VARIABLE_ID_BASE) return -1;
    return index + VARIABLE_ID_BASE;
}

int32_t Code_Variable_FindInstanceName(const char* name) {
    return FindIn(g_instanceNames, name);
}

int32_t Code_Variable_FindGlobalName(const char* name) {
    return FindIn(g_globalNames, name);
}

int32_t Code_Variable_FindForObject(const PWObjectBase* object, const char* name) {
    if (!g_VariableSettings.objectMode && object != nullptr && object == g_GlobalObject)
        return Code_Variable_FindGlobalName(name);
    return Code_Variable_FindInstanceName(name);
}

int32_t Code_Variable_FindName(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < g_dynamicCount; ++i) {
        if (std::strcmp(g_dynamic[i], name) == 0) return VARIABLE_ID_BASE + i;
    }
    return -1;
}

int32_t Code_Variable_FindOrAdd(const char* name) {
    if (name == nullptr) return -1;
    int32_t id = Code_Variable_FindName(name);
    if (id >= 0) return id;
    if (g_dynamicCount == g_dynamicCapacity) {
        g_dynamicCapacity = g_dynamicCapacity == 0 ? 64 : g_dynamicCapacity * 2;
        g_dynamic = static_cast<char**>(MemoryManager::ReAlloc(
            g_dynamic, sizeof(char*) * uint32_t(g_dynamicCapacity), "Code_Variable", 83));
    }
    g_dynamic[g_dynamicCount] = String_Duplicate(name);
    return VARIABLE_ID_BASE + g_dynamicCount++;
}

int32_t Code_Variable_GetId(const char* name) {
    int32_t row = Variable_BuiltIn_Find(name);
    return row >= 0 ? row : Code_Variable_FindOrAdd(name);
}

const char* Code_Variable_GetName(const char* scriptName, int32_t scope, int32_t id) {
    if (id < VARIABLE_ID_BASE) return Variable_BuiltIn_GetName(id);
    return Code_Variable_GetNameForScope(scriptName, scope, id);
}

const char* Code_Variable_GetNameForScope(const char* scriptName, int32_t scope, int32_t id) {
    int64_t n = int64_t(id) - VARIABLE_ID_BASE;
    if (!g_VariableSettings.newFormat) {
        return n >= 0 && n < g_dynamicCount ? g_dynamic[n] : kUnknownVariable;
    }
    if (n < 0) return kUnknownVariable;
    switch (scope) {
        case SCOPE_GLOBAL:
            return NameAt(g_globalNames, n);
        case SCOPE_LOCAL:
        case SCOPE_LOCAL_NAMES:
            if (scriptName == nullptr) return kUnknownVariable;
            for (int32_t i = 0; i < g_localsCount; ++i) {
                const ScriptLocals& locals = g_locals[i];
                if (std::strcmp(locals.script, scriptName) != 0) continue;
                return n < locals.count ? locals.names[n] : kUnknownVariable;
            }
            return kUnknownVariable;
        case SCOPE_SELF:
        case SCOPE_INSTANCE_NAMES:
        case SCOPE_CHAIN:
            return NameAt(g_instanceNames, n);
        default:
            // An instance id as the scope names an instance variable too.
            return scope >= VARIABLE_ID_BASE ? NameAt(g_instanceNames, n) : kUnknownVariable;
    }
}

bool Code_Variable_LoadLocals(const uint8_t* block, int64_t blockLength, const uint8_t* fileBase,
                              int64_t fileLength) {
    FreeLocals();
    if (block == nullptr || fileBase == nullptr || blockLength < 4) return false;
    BlockReader in{block, block + blockLength, fileBase, fileLength};
    uint32_t scripts;
    // Each script record takes at least its name offset and count.
    if (!in.Word(&scripts) || scripts > uint64_t(blockLength - 4) / 8) return false;
    g_locals = static_cast<ScriptLocals*>(MEM_ALLOC(sizeof(ScriptLocals) * scripts));
    for (uint32_t s = 0; s < scripts; ++s) {
        ScriptLocals& locals = g_locals[g_localsCount++];
        uint32_t count;
        locals.script = in.Name();
        if (locals.script == nullptr || !in.Word(&count) || count > uint64_t(in.end - in.at) / 4) {
            FreeLocals();
            return false;
        }
        locals.names = count > 0 ? static_cast<char**>(MEM_ALLOC(sizeof(char*) * count)) : nullptr;
        for (uint32_t i = 0; i < count; ++i) {
            locals.names[i] = in.Name();
            ++locals.count;
            if (locals.names[i] == nullptr) {
                FreeLocals();
                return false;
            }
        }
    }
    return true;
}

void Code_Variable_Free() {}

int32_t Code_Variable_GlobalCount() {
    return g_globalNames.count;
}

int32_t Code_Variable_InstanceCount() {
    return g_instanceNames.count;
}
