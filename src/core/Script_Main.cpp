#include "core/Script_Main.h"

#include <cstdio>
#include <cstring>

#include "core/Code_Main.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/VM.h"
#include "core/VMBuffer.h"
#include "core/Value.h"

CScript** g_ScriptTable = nullptr;
int32_t g_ScriptCount = 0;

namespace {

char** g_names = nullptr;

ScriptEnvironment g_environment;
CInstance* (*g_globalObject)() = nullptr;

CInstance* GlobalObject() {
    return g_globalObject ? g_globalObject() : nullptr;
}

bool ObjectMode() {
    return g_environment.objectMode && g_environment.objectMode();
}

void ReleaseArguments(int32_t argc, RValue* args) {
    for (int32_t i = 0; args && i < argc; ++i) RValue_Release(&args[i]);
}

// Compiled scripts take their arguments as an array of pointers.
RValue* CallCompiled(CompiledScriptFn function, CInstance* self, CInstance* other, RValue* result,
                     int32_t argc, RValue* args) {
    constexpr int32_t kInline = 16;
    RValue* inlinePointers[kInline];
    RValue** pointers = inlinePointers;
    if (argc > kInline)
        pointers = static_cast<RValue**>(MEM_ALLOC(sizeof(RValue*) * static_cast<size_t>(argc)));
    for (int32_t i = 0; i < argc; ++i) pointers[i] = args ? &args[i] : nullptr;
    RValue* answer = function(self, other, result, argc, pointers);
    if (pointers != inlinePointers) MEM_FREE(pointers);
    return answer;
}

bool CompileAll() {
    for (int32_t i = 0; i < g_ScriptCount; ++i) {
        CScript* script = g_ScriptTable[i];
        if (!script || script->Compile()) continue;
        char text[2048];
        std::snprintf(text, sizeof text, "COMPILATION ERROR in Script: %s\n%s", script->Name(),
                      Runtime_ErrorText());
        Runtime_ShowError(text, true);
        return false;
    }
    return true;
}

void RunGlobalInitialisers() {
    const uint32_t count = g_environment.globalInitCount ? g_environment.globalInitCount() : 0;
    CInstance* global = GlobalObject();
    for (uint32_t i = 0; i < count; ++i) {
        CCode code(g_environment.globalInit(i), 0);
        RValue result = RValue_Undefined();
        Code_ExecuteReport(global, global, &code, &result, 0);
        RValue_Release(&result);
    }
}

void RunStartingScripts() {
    CInstance* global = GlobalObject();
    for (int32_t i = 0; i < g_ScriptCount; ++i) {
        const CCode* code = g_ScriptTable[i] ? g_ScriptTable[i]->GetCode() : nullptr;
        if (!code || code->start != 0) continue;
        RValue result = RValue_Undefined();
        Script_Run(i, global, global, 0, &result, nullptr);
        RValue_Release(&result);
    }
}

}  // namespace

CScript::CScript(const char* name) : m_name(name) {}

CScript::~CScript() {
    delete m_code;
    MEM_FREE(m_text);
}

void CScript::Load(int32_t codeIndex, const char* sourceText) {
    MEM_FREE(m_text);
    m_text = nullptr;
    m_codeIndex = -1;
    if (Code_GameHasCode())
        m_codeIndex = codeIndex;
    else
        m_text = String_Duplicate(sourceText ? sourceText : "");
}

bool CScript::Compile() {
    if (Code_GameIsCompiled()) {
        CompiledEntryInfo entry{};
        if (!Code_CompiledEntry(m_codeIndex, &entry) || !entry.function) {
            Runtime_SetErrorText("The script's code index names no compiled function.");
            return false;
        }
        m_compiledEntry = entry.entry;
        m_compiledFunction = entry.function;
        return true;
    }
    if (!Code_GameHasCode()) return false;
    Code_Changed();
    delete m_code;
    m_code = new CCode(m_codeIndex, 0);
    return true;
}

const char* CScript::GetText() const {
    return m_text ? m_text : "";
}

void Script_Init(int32_t count) {
    Script_Free();
    if (count <= 0) return;
    g_ScriptTable = static_cast<CScript**>(MEM_ALLOC(sizeof(CScript*) * static_cast<size_t>(count)));
    g_names = static_cast<char**>(MEM_ALLOC(sizeof(char*) * static_cast<size_t>(count)));
    g_ScriptCount = count;
}

void Script_Set(int32_t index, const char* name, int32_t codeIndex, const char* sourceText) {
    if (index < 0 || index >= g_ScriptCount) return;
    Code_Changed();
    delete g_ScriptTable[index];
    g_ScriptTable[index] = new CScript(name);
    g_ScriptTable[index]->Load(codeIndex, sourceText);
    MEM_FREE(g_names[index]);
    g_names[index] = String_Duplicate(name ? name : "");
}

void Script_FreeAll() {
    Code_Changed();
    for (int32_t i = 0; i < g_ScriptCount; ++i) {
        delete g_ScriptTable[i];
        g_ScriptTable[i] = nullptr;
        MEM_FREE(g_names[i]);
        g_names[i] = nullptr;
    }
}

void Script_Free() {
    Script_FreeAll();
    MEM_FREE(g_ScriptTable);
    MEM_FREE(g_names);
    g_ScriptTable = nullptr;
    g_names = nullptr;
    g_ScriptCount = 0;
}

int32_t Script_Count() {
    return g_ScriptCount;
}

bool Script_Exists(int32_t index) {
    return index >= 0 && index < g_ScriptCount && g_ScriptTable[index] != nullptr;
}

const char* Script_GetName(int32_t index) {
    return Script_Exists(index) ? g_names[index] : "<undefined>";
}

int32_t Script_Find(const char* name) {
    if (!name) return -1;
    for (int32_t i = g_ScriptCount - 1; i >= 0; --i)
        if (g_ScriptTable[i] && g_names[i] && std::strcmp(g_names[i], name) == 0) return i;
    return -1;
}

bool Script_Run(int32_t index, CInstance* self, CInstance* other, int32_t argc, RValue* result,
                RValue* args) {
    CScript* script = Script_Get(index);
    if (!script) return false;
    CCode* code = script->GetCode();
    if (code && code->buffer && code->buffer->length == 0) return true;
    if (argc < 0 || !args) argc = 0;

    RValue scratch = RValue_Undefined();
    if (!result) result = &scratch;
    RValue* const savedArgs = VM_Args;
    const int32_t savedCount = VM_ArgCount;
    VM_Args = argc > 0 ? args : nullptr;
    VM_ArgCount = argc;

    bool ok = true;
    if (code) {
        VM_SetNextRunArguments(argc, argc > 0 ? args : nullptr);
        ok = Code_ExecuteValue(self, other, code, result, self != nullptr);
        VM_SetNextRunArguments(0, nullptr);
        if (!ok) {
            char text[1024];
            std::snprintf(text, sizeof text, "In script %s:\n%s", script->Name(), Runtime_ErrorText());
            Runtime_SetErrorText(text);
        }
    } else if (script->CompiledFunction()) {
        g_RuntimeErrorFlag = false;
        CallCompiled(reinterpret_cast<CompiledScriptFn>(script->CompiledFunction()), self, other, result,
                     argc, args);
        ok = !g_RuntimeErrorFlag;
    }

    ReleaseArguments(argc, args);
    VM_Args = savedArgs;
    VM_ArgCount = savedCount;
    RValue_Release(&scratch);
    return ok;
}

void Script_SetEnvironment(const ScriptEnvironment* environment) {
    g_environment = environment ? *environment : ScriptEnvironment();
}

void Script_SetGlobalObjectSource(CInstance* (*source)()) {
    g_globalObject = source;
}

bool Script_Prepare() {
    if (!CompileAll()) return false;
    RunGlobalInitialisers();
    if (ObjectMode()) RunStartingScripts();
    return true;
}
