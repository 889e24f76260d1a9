#include "base/GameCode.h"

#include "core/Code_Main.h"
#include "core/Script_Main.h"
#include "base/CodeLink.h"
#include "base/DebugInfo.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "base/LoadGame.h"

namespace {

const GameLinkRecord* CompiledGame() {
    const GameLinkRecord* link = g_LoadState.linkRecord;
    return link && link->codeTable && link->codeCount > 0 ? link : nullptr;
}

bool GameIsCompiled() {
    return CompiledGame() != nullptr;
}

bool GameHasCode() {
    return Form_HasBytecode() || GameIsCompiled();
}

bool CompiledEntry(int32_t index, CompiledEntryInfo* out) {
    const GameLinkRecord* link = CompiledGame();
    if (!link || index < 0 || index >= link->codeCount) return false;
    const CompiledCodeEntry& entry = link->codeTable[index];
    out->entry = &entry;
    out->name = entry.name;
    out->function = entry.function;
    return true;
}

bool BytecodeEntry(int32_t index, CodeEntryInfo* out) {
    CodeEntryView view;
    if (index < 0 || !Code_GetEntry(static_cast<uint32_t>(index), &view)) return false;
    *out = CodeEntryInfo{view.name, view.code, view.length, view.start, view.locals, view.arguments};
    return true;
}

const char* DebugSource(int32_t index) {
    return index >= 0 ? DebugInfo_Source(static_cast<uint32_t>(index)) : nullptr;
}

bool DebugLines(int32_t index, const int32_t** words, uint32_t* count) {
    return index >= 0 && DebugInfo_LineTable(static_cast<uint32_t>(index), words, count);
}

bool ObjectMode() {
    return g_GameHeader.objectMode;
}

}  // namespace

void GameCode_Install() {
    CodeSource source;
    source.gameIsCompiled = GameIsCompiled;
    source.gameHasCode = GameHasCode;
    source.compiledEntry = CompiledEntry;
    source.bytecodeEntry = BytecodeEntry;
    source.debugSource = DebugSource;
    source.debugLines = DebugLines;
    Code_SetSource(&source);

    ScriptEnvironment environment;
    environment.globalInitCount = Form_GlobalInitCount;
    environment.globalInit = Form_GlobalInit;
    environment.objectMode = ObjectMode;
    Script_SetEnvironment(&environment);

    ChunkReader reader;
    reader.load = Script_Load;
    reader.reset = Script_FreeAll;
    reader.release = Script_Free;
    Form_RegisterChunkReader("SCPT", reader);
}

void Script_Load(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, 4);
    if (!chunk.Ok()) return;
    Script_Init(static_cast<int32_t>(count));
    const bool keepIndex = Code_GameHasCode();
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (entry == 0) continue;
        const char* name = chunk.RequiredString(chunk.FileU32(entry));
        const uint32_t second = chunk.FileU32(entry + 4);
        const char* text = keepIndex ? nullptr : chunk.String(second);
        if (!chunk.Ok()) break;
        Script_Set(static_cast<int32_t>(i), name, static_cast<int32_t>(second), text);
    }
    if (!chunk.Ok()) Script_Free();
}
