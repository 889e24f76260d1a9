#include "core/Code_Main.h"

#include "core/MemoryManager.h"
#include "core/ProfilerScope.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/VMBuffer.h"
#include "core/Value.h"

RValue* VM_Args = nullptr;
int32_t VM_ArgCount = 0;
uint32_t g_CodeGeneration = 1;

namespace {

CodeSource g_source;
BytecodeRunner g_bytecodeRunner = nullptr;

CCode** g_table = nullptr;
int32_t g_tableCount = 0;
int32_t g_tableCapacity = 0;

CCode* g_listHead = nullptr;
int32_t g_listCount = 0;

bool BindCompiled(CCode& code, int32_t index) {
    CompiledEntryInfo entry{};
    if (!Code_CompiledEntry(index, &entry)) return false;
    code.compiledEntry = entry.entry;
    code.compiledFunction = entry.function;
    code.name = entry.name;
    return true;
}

bool BindBytecode(CCode& code, int32_t index) {
    CodeEntryInfo entry{};
    if (!g_source.bytecodeEntry || !g_source.bytecodeEntry(index, &entry)) return false;
    code.buffer = new VMBuffer(entry.code, static_cast<int32_t>(entry.length), entry.locals, entry.arguments);
    code.name = entry.name;
    code.text = g_source.debugSource ? g_source.debugSource(index) : nullptr;
    code.start = static_cast<int32_t>(entry.start);
    code.locals = entry.locals;
    code.arguments = entry.arguments;
    const int32_t* words = nullptr;
    uint32_t count = 0;
    if (g_source.debugLines && g_source.debugLines(index, &words, &count) && words)
        code.debugTable = new VMBuffer(reinterpret_cast<uint8_t*>(const_cast<int32_t*>(words)),
                                       static_cast<int32_t>(count * 4), 0, 0);
    return true;
}

void Unlink(CCode* code) {
    for (CCode** link = &g_listHead; *link; link = &(*link)->next) {
        if (*link != code) continue;
        *link = code->next;
        --g_listCount;
        return;
    }
}

bool GrowTable() {
    int32_t capacity = (3 * g_tableCapacity + 1) / 2;
    if (capacity <= g_tableCapacity) capacity = g_tableCapacity + 16;
    auto* grown = static_cast<CCode**>(MEM_REALLOC(g_table, sizeof(CCode*) * static_cast<size_t>(capacity)));
    if (!grown) return false;
    g_table = grown;
    g_tableCapacity = capacity;
    return true;
}

}  // namespace

CCode::CCode(int32_t index, int32_t /*flag*/) : index(index) {
    if (Code_GameIsCompiled()) {
        if (BindCompiled(*this, index)) text = "";
    } else if (index >= 0) {
        BindBytecode(*this, index);
    }
    source = text;
    if (index >= 0) {
        next = g_listHead;
        g_listHead = this;
        ++g_listCount;
    }
}

CCode::~CCode() {
    Code_Changed();
    if (!keep && index >= 0) Unlink(this);
    delete buffer;
    delete debugTable;
}

void Code_SetSource(const CodeSource* source) {
    g_source = source ? *source : CodeSource();
}

bool Code_GameIsCompiled() {
    return g_source.gameIsCompiled && g_source.gameIsCompiled();
}

bool Code_GameHasCode() {
    return g_source.gameHasCode && g_source.gameHasCode();
}

bool Code_CompiledEntry(int32_t index, CompiledEntryInfo* out) {
    return g_source.compiledEntry && g_source.compiledEntry(index, out);
}

void Code_SetBytecodeRunner(BytecodeRunner runner) {
    g_bytecodeRunner = runner;
}

int32_t Code_AddCode(int32_t index, int32_t flag) {
    if (g_tableCount == g_tableCapacity && !GrowTable()) return 0;
    const int32_t position = g_tableCount;
    g_table[g_tableCount++] = Code_GameHasCode() && index != -1 ? new CCode(index, flag) : nullptr;
    return position;
}

CCode* Code_Get(int32_t n) {
    return n >= 0 && n < g_tableCount ? g_table[n] : nullptr;
}

int32_t Code_Count() {
    return g_tableCount;
}

CCode* Code_ListHead() {
    return g_listHead;
}

int32_t Code_ListCount() {
    return g_listCount;
}

void Code_Shutdown() {
    for (int32_t i = 0; i < g_tableCount; ++i) delete g_table[i];
    MEM_FREE(g_table);
    g_table = nullptr;
    g_tableCount = g_tableCapacity = 0;
}

bool Code_Execute(CInstance* self, CInstance* other, CCode* code, RValue* result, int32_t /*flags*/) {
    if (g_Switches.codeExecutionOff) return true;
    g_RuntimeErrorFlag = false;
    if (code == nullptr) return true;
    const bool profiled = g_ProfilerActive;
    if (profiled) ProfilerScope_Begin(PROFILE_CODE, code->index);
    if (code->compiledFunction) {
        reinterpret_cast<CompiledEventFn>(code->compiledFunction)(self, other);
    } else if (code->buffer && code->buffer->length > 0 && g_bytecodeRunner) {
        if (!g_bytecodeRunner(code, self, other, result)) g_RuntimeErrorFlag = true;
    }
    if (profiled) ProfilerScope_End();
    return !g_RuntimeErrorFlag;
}

bool Code_ExecuteReport(CInstance* self, CInstance* other, CCode* code, RValue* result, int32_t flags) {
    const bool ok = Code_Execute(self, other, code, result, flags);
    if (!ok) {
        Runtime_ReportError(Runtime_ErrorText(), false);
        g_RuntimeErrorFlag = false;
    }
    return ok;
}

bool Code_ExecuteValue(CInstance* self, CInstance* other, CCode* code, RValue* result, int32_t flags) {
    const bool ok = Code_Execute(self, other, code, result, flags);
    if (!ok && result) RValue_SetString(result, "ERROR");
    return ok;
}
