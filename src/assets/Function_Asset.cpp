// asset_get_index and asset_get_type: any asset of the game by its name.
#include "assets/Function_Asset.h"

#include "core/Code_Constant.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

namespace {

void F_AssetGetIndex(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Code_Constant_FindAssetOrValue(Arg_GetString(args, 0), &result);
}

// The tables in the order asset_get_type asks them, with the asset_* number each answers.
struct TypedTable {
    AssetTable table;
    int32_t type;
};
constexpr TypedTable kTypeOrder[] = {
    {ASSET_OBJECT, 0},     {ASSET_SPRITE, 1}, {ASSET_SOUND, 2},   {ASSET_AUDIO, 2},
    {ASSET_BACKGROUND, 4}, {ASSET_PATH, 5},   {ASSET_FONT, 7},    {ASSET_TIMELINE, 8},
    {ASSET_SCRIPT, 6},     {ASSET_ROOM, 3},   {ASSET_SHADER, 10},
};

void F_AssetGetType(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* name = Arg_GetString(args, 0);
    Result_SetReal(result, -1);
    for (const TypedTable& entry : kTypeOrder) {
        if (Asset_FindInTable(entry.table, name) >= 0) {
            Result_SetReal(result, entry.type);
            return;
        }
    }
}

}  // namespace

void InitAssetFunctions() {
    static const BuiltinRow kRows[] = {
        {"asset_get_index", F_AssetGetIndex, 1},
        {"asset_get_type", F_AssetGetType, 1},
    };
    Code_Function_AddRows(kRows);
}
