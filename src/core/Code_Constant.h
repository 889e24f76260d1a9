// The table of named constants: the built-in ones, the game's and its extensions', and
// those the platform adds. Game code never reads it; names are answered at run time.
#pragma once

#include <cstdint>

#include "core/Code_Function.h"

struct RValue;

// Run-state byte: external DLL calls are not allowed ("-steam", the header's flag bit 12,
// a run started by another game). Set before the constants are registered; while set the
// external built-ins and the constants dll_cdecl and dll_stdcall are left out.
extern bool ExternalsDisabled;

// Appends an entry: the name is copied, the value shared (strings and arrays counted).
void Code_Constant_Add(const char* name, const RValue* value);
void Code_Constant_AddReal(const char* name, double value);
// The value of the last entry whose name matches ignoring ASCII case, or null.
RValue* Code_Constant_Find(const char* name);
int32_t Code_Constant_Count();
// Name and value of entry i, for the script object runtime's copy; null outside the table.
const char* Code_Constant_Name(int32_t i);
const RValue* Code_Constant_Value(int32_t i);

// A letter or '_' first, then letters, digits and '_' (ASCII only); not empty.
bool Code_Constant_IsValidName(const char* text);
// Frees what *out held, then stores a copy of text without leading and trailing blanks
// (bytes that read as signed are 32 or less, so every byte from 0x80 too). Null gives null.
void String_Trim(char** out, const char* text);
// Defines a game or extension constant (value 0) from its entry text. An invalid name
// shows "Constant name %s  is not valid." and gives false.
bool Code_Constant_Define(const char* entryText);
// Defines every game constant of the options chunk in order; false at the first invalid.
bool Code_Constant_Prepare();
// Registers the built-in constants, then the platform's.
void Code_Constant_RegisterBuiltins();
// Releases every name and value; the table is empty afterwards.
void Code_Constant_Free();

// The asset tables asked by Asset_GetIndexByName, in the order they are asked.
enum AssetTable : int32_t {
    ASSET_SPRITE,
    ASSET_SOUND,  // legacy sounds
    ASSET_OBJECT,
    ASSET_AUDIO,  // sound assets of the audio engine
    ASSET_BACKGROUND,
    ASSET_PATH,
    ASSET_FONT,
    ASSET_TIMELINE,
    ASSET_SCRIPT,  // answered by the script lookup of Code_Function_SetScriptFinder
    ASSET_ROOM,
    ASSET_SHADER,
    ASSET_TABLE_COUNT
};
// Installs the name lookup of one asset table; null makes it answer "none" again.
void Asset_SetFinder(AssetTable table, NameFinder finder);

// The index of the asset of that name in one table (exact), -1 when it has none.
int32_t Asset_FindInTable(AssetTable table, const char* name);
// out = the real index of the first asset of that name (exact), else a copy of the last
// constant of that name (exact, case-sensitive), else the real -1 and false.
bool Asset_GetIndexByName(const char* name, RValue* out);
inline bool Code_Constant_FindAssetOrValue(const char* name, RValue* out) {
    return Asset_GetIndexByName(name, out);
}

// Hooks filled in by modules above this one.
// The game constants of the options chunk: their entry texts and count (null: none).
using GameConstantSource = const char* const* (*)(int32_t* count);
void Code_Constant_SetGameConstantSource(GameConstantSource source);
// The message box that reports an invalid name (default: the error console).
void Code_Constant_SetMessageHook(void (*showMessage)(const char* text));
// The platform registrar, called last by Code_Constant_RegisterBuiltins.
void Code_Constant_SetPlatformRegistrar(void (*registrar)());
