// The link record: the game's variable and function references, its code table and, when the
// program carries one, its embedded data file.
#include "game/Game_Link.h"

#include <cstring>

#include "core/StackTrace.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"

namespace hvs {

VariableRef g_VariableRefs[kVariableRefCount] = {
#define HVS_VAR_ROW(name, slot) {#name, 0},
    HVS_VARIABLES(HVS_VAR_ROW)
#undef HVS_VAR_ROW
};

FunctionRef g_FunctionRefs[kFunctionRefCount] = {
#define HVS_FN_ROW(name) {#name, 0},
    HVS_FUNCTIONS(HVS_FN_ROW)
#undef HVS_FN_ROW
};

CompiledCodeEntry g_CodeTable[kCodeCount] = {
#define HVS_CODE_ROW(name) {#name, reinterpret_cast<void*>(&name)},
    HVS_CODE(HVS_CODE_ROW)
#undef HVS_CODE_ROW
};

namespace {

// The null-ended pointer arrays the record hands over.
VariableRef* g_variableList[kVariableRefCount + 1];
FunctionRef* g_functionList[kFunctionRefCount + 1];

// Not used by this unit's code; kept so every unit has the same three parts.
UnitScratch g_scratch;

}  // namespace

}  // namespace hvs

GameLinkRecord* Game_FillCompiledRecord(GameLinkRecord* record, const uint8_t* data, uint32_t size) {
    using namespace hvs;
    for (int32_t i = 0; i < kVariableRefCount; ++i) g_variableList[i] = &g_VariableRefs[i];
    for (int32_t i = 0; i < kFunctionRefCount; ++i) g_functionList[i] = &g_FunctionRefs[i];
    g_variableList[kVariableRefCount] = nullptr;
    g_functionList[kFunctionRefCount] = nullptr;
    record->data = data;
    record->dataSize = data ? size : 0;
    record->globalSlotCount = 0;
    record->instanceSlotCount = kInstanceSlotCount;
    record->codeCount = kCodeCount;
    record->variableRefs = g_variableList;
    record->functionRefs = g_functionList;
    record->codeTable = g_CodeTable;
    record->stackTraceHead = &StackTraceHead;
    return record;
}

// A program that carries no compiled game: no embedded data, no code. The runner then reads the
// game data file from disk. The runner program links its own record, with the embedded game,
// in place of this one.
__attribute__((weak)) GameLinkRecord* Game_FillLinkRecord(GameLinkRecord* record) {
    std::memset(record, 0, sizeof *record);
    return record;
}
