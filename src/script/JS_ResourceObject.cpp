// The resource object: every resource name of the game with its index.
#include "assets/Background_Main.h"
#include "assets/Font_Main.h"
#include "assets/Sprite_Main.h"
#include "audio/Audio_Sound.h"
#include "audio/Sound_Main.h"
#include "core/Script_Main.h"
#include "graphics/ShaderM.h"
#include "script/JS_Object.h"
#include "script/JS_StandardObjects.h"
#include "world/Object_Main.h"
#include "world/Path_Main.h"
#include "world/Room_Main.h"
#include "world/TimeLine.h"

namespace {

struct NamedTable {
    int32_t (*count)();
    bool (*exists)(int32_t index);
    const char* (*name)(int32_t index);
};

bool AudioExists(int32_t index) {
    return Audio_GetAssetName(index) != nullptr;
}
bool ShaderExists(int32_t index) {
    return Shader_Get(index) != nullptr;
}
const char* ShaderName(int32_t index) {
    ShaderRecord* record = Shader_Get(index);
    return record != nullptr ? record->name : nullptr;
}

}  // namespace

void JS_CreateResourceObject() {
    // A later table's index replaces an earlier one of the same name.
    static const NamedTable kTables[] = {
        {Object_Count, Object_Exists, Object_GetName},
        {Sprite_Count, Sprite_Exists, Sprite_GetName},
        {Sound_Count, Sound_Exists, Sound_GetName},
        {Audio_GetAssetCount, AudioExists, Audio_GetAssetName},
        {Background_Count, Background_Exists, Background_GetName},
        {Path_Count, Path_Exists, Path_GetName},
        {Font_Count, Font_Exists, Font_GetName},
        {TimeLine_Count, TimeLine_Exists, TimeLine_GetName},
        {Script_Count, Script_Exists, Script_GetName},
        {Room_Count, Room_Exists, Room_GetName},
        {Shader_Count, ShaderExists, ShaderName},
    };
    PWObjectBase* resources = JS_NewOrdinaryObject();
    for (const NamedTable& table : kTables) {
        const int32_t count = table.count();
        for (int32_t index = 0; index < count; ++index) {
            if (!table.exists(index)) continue;
            const char* name = table.name(index);
            if (name != nullptr && *name != '\0') resources->AddReal(name, index, JS_ENUMERABLE);
        }
    }
    if (g_JSStandard.global != nullptr) g_JSStandard.global->AddObject("resource", resources, JS_ENUMERABLE);
}
