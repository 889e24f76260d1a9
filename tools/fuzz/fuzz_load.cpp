// libFuzzer target: any bytes as a data file and as a debug-information file. The loader must
// answer with success or a clean failure, never read or write outside what it was given.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/RunSwitches.h"
#include "base/CodeLink.h"
#include "base/DebugInfo.h"
#include "base/GameFile.h"
#include "base/Language.h"
#include "base/LoadGame.h"
#include "base/TextureChunks.h"

namespace {

int32_t AnyVariable(const char*, int32_t, int32_t index) {
    return 100000 + (index & 0xFFFF);
}
int32_t AnyId(const char*) {
    return 7;
}
void NoLocals(const char*, uint32_t, const char* const*) {}
int32_t FakeTexture(const uint8_t* blob, uint32_t length, bool) {
    volatile uint8_t touch = length ? blob[length - 1] : 0;  // the whole range must be readable
    (void)touch;
    return 3;
}
void Quiet(const char*) {}

void Setup() {
    g_Switches.headless = true;
    g_LoadState.launchedByGame = true;  // unresolved names end the game, not the process
    g_CodeLink.variableSetName = AnyVariable;
    g_CodeLink.variableGetId = AnyId;
    g_CodeLink.functionFind = AnyId;
    g_CodeLink.loadLocals = NoLocals;
    g_LoaderHooks.showFatalError = Quiet;
    TXTR_SetTextureCreator(FakeTexture);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (Setup(), true);
    (void)ready;
    if (size > (1u << 24)) return 0;
    const auto n = static_cast<uint32_t>(size);
    if (Form_SetData(data, n) && Form_FirstPass(Form_Base(), Form_Size()))
        LoadGameData(Form_Base(), Form_Size());
    for (uint32_t i = 0; i < TPAG_Count(); ++i)
        if (uint8_t* entry = TPAG_Entry(i)) (void)*(volatile uint8_t*)(entry + 21);
    for (uint32_t i = 0; i < Code_EntryCount(); ++i) {
        CodeEntryView e;
        if (Code_GetEntry(i, &e) && e.length) (void)*(volatile uint8_t*)(e.code + e.length - 1);
    }
    size_t total = 0;
    for (uint32_t i = 0; i < Form_StringCount(); ++i)
        if (const char* text = Form_String(i)) total += std::strlen(text);
    for (int32_t l = 0; l < g_LanguageTable.languageCount; ++l)
        for (int32_t e = 0; e < g_LanguageTable.entryCount; ++e)
            if (const char* text = g_LanguageTable.languages[l].texts[e]) total += std::strlen(text);
    volatile size_t sink = total;
    (void)sink;
    DebugInfo_Load(data, n);
    Form_Free();
    return 0;
}
