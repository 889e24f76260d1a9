// Loading the embedded game's own data through its link record, as the runner's start-up does.
#pragma once

#include "assets/Sprite_Main.h"
#include "core/Code_Function.h"
#include "core/Code_Variable.h"
#include "core/MemoryManager.h"
#include "core/Variable.h"
#include "game/Game_Link.h"
#include "base/CodeLink.h"
#include "base/GameFile.h"
#include "app/Halvane.h"
#include "base/LoadGame.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/TimeLine.h"
#include "world/Variable_BuiltIn.h"

namespace gametest {

// Answers the built-in's index, or -1 when no row bears the name.
inline int32_t FindFunction(const char* name) {
    int32_t id = -1;
    return Code_Function_Find(name, &id) ? id : -1;
}

// The built-in functions and variables registered once, as at start-up.
inline void RegisterBuiltins() {
    if (Code_Function_Count() == 0) InitHVSFunctions();
    if (Variable_BuiltIn_Find("x") < 0) Variable_BuiltIn_Init();
}

inline bool LoadEmbedded() {
    auto* record = static_cast<GameLinkRecord*>(MEM_ALLOC(sizeof(GameLinkRecord)));
    Game_FillLinkRecord(record);
    g_LoadState.linkRecord = record;
    g_LoadState.codeCount = record->codeCount;
    g_CodeLink.functionFind = FindFunction;
    g_CodeLink.variableGetId = Code_Variable_GetId;
    Sprite_InstallHooks();
    if (!Form_SetData(record->data, record->dataSize)) return false;
    if (!Form_FirstPass(Form_Base(), Form_Size())) return false;
    if (!LoadGameData(Form_Base(), Form_Size())) return false;
    return TimeLine_Prepare() && Object_Prepare() && Room_Prepare();
}

}  // namespace gametest
