#include "core/Code_Function.h"

#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"

const BuiltinFunction* Builtin_Current = nullptr;

namespace {

constexpr int32_t kGrowRows = 500;

BuiltinFunction* g_rows = nullptr;
int32_t g_count = 0;
int32_t g_capacity = 0;

int32_t FindNone(const char*) {
    return -1;
}
NameFinder g_scriptFinder = FindNone;
NameFinder g_extensionFinder = FindNone;

}  // namespace

const char* Builtin_CurrentName() {
    return Builtin_Current ? Builtin_Current->name : "";
}

int32_t Code_Function_Add(const char* name, BuiltinProc function, int32_t argc, int32_t /*flag*/) {
    if (g_count == g_capacity) {
        g_capacity += kGrowRows;
        g_rows = static_cast<BuiltinFunction*>(
            MEM_REALLOC(g_rows, sizeof(BuiltinFunction) * static_cast<size_t>(g_capacity)));
        std::memset(g_rows + g_count, 0, sizeof(BuiltinFunction) * kGrowRows);
    }
    BuiltinFunction& row = g_rows[g_count++];
    const char* text = name ? name : "";
    size_t length = std::strlen(text);
    if (length >= sizeof row.name) {
        DebugConsole.Output("Built-in function name too long, cut to %d bytes: %s\n", BUILTIN_NAME_BYTES - 1,
                            text);
        length = sizeof row.name - 1;
    }
    std::memcpy(row.name, text, length);
    row.name[length] = '\0';
    row.function = function;
    row.argc = argc;
    row.reserved = -1;
    return g_count;
}

void Code_Function_Replace(const char* name, BuiltinProc function) {
    if (name == nullptr) return;
    for (int32_t i = 0; i < g_count; ++i) {
        if (std::strcmp(g_rows[i].name, name) == 0) {
            g_rows[i].function = function;
            return;
        }
    }
}

bool Code_Function_Find(const char* name, int32_t* id) {
    *id = -1;
    if (name == nullptr || *name == '\0') return false;
    // Scripts and extension functions hide built-ins of the same name. Their id ranges must
    // not spill into the next one (499999 and above are not scripts; an extension id of 0
    // would be taken for a script).
    int32_t script = g_scriptFinder(name);
    if (script >= 0 && script < FUNCTION_ID_SCRIPT_EXECUTE - FUNCTION_ID_SCRIPT_BASE) {
        *id = FUNCTION_ID_SCRIPT_BASE + script;
        return true;
    }
    int32_t extension = g_extensionFinder(name);
    if (extension == 0) {
        DebugConsole.Output("Extension function %s has id 0 and cannot be called\n", name);
    } else if (extension > 0 && extension <= INT32_MAX - FUNCTION_ID_EXTENSION_BASE) {
        *id = FUNCTION_ID_EXTENSION_BASE + extension;
        return true;
    }
    for (int32_t i = 0; i < g_count; ++i) {
        if (std::strcmp(g_rows[i].name, name) == 0) {
            *id = i;
            return true;
        }
    }
    return false;
}

void Code_Function_GetInfo(int32_t index, const char** name, BuiltinProc* function, int32_t* argc) {
    if (index < 0 || index >= g_count) return;
    *name = g_rows[index].name;
    *function = g_rows[index].function;
    *argc = g_rows[index].argc;
}

const BuiltinFunction* Code_Function_Row(int32_t index) {
    return index >= 0 && index < g_count ? &g_rows[index] : nullptr;
}

int32_t Code_Function_Count() {
    return g_count;
}
int32_t Code_Function_Capacity() {
    return g_capacity;
}

void Code_Function_Free() {
    MEM_FREE(g_rows);
    g_rows = nullptr;
    g_count = 0;
    g_capacity = 0;
}

void Code_Function_SetScriptFinder(NameFinder finder) {
    g_scriptFinder = finder ? finder : FindNone;
}
void Code_Function_SetExtensionFinder(NameFinder finder) {
    g_extensionFinder = finder ? finder : FindNone;
}
int32_t Code_Function_FindScript(const char* name) {
    return g_scriptFinder(name);
}
