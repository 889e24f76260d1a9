// The font rows of the resource built-ins: queries, and fonts added, replaced and deleted at run
// time from TrueType files and from sprites.
#include "assets/Function_Font_Resource.h"

#include <iterator>

#include "assets/Font_Class.h"
#include "assets/Font_Main.h"
#include "assets/Sprite_Main.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

const CFontHV* FontArg(RValue* args) {
    return Font_Get(Arg_GetInt32(args, 0));
}

// ---- queries -------------------------------------------------------------------------------

BUILTIN(FontExists) {
    Result_SetFlag(result, Font_Exists(Arg_GetInt32(args, 0)));
}

BUILTIN(FontGetName) {
    RValue_SetString(&result, Font_GetName(Arg_GetInt32(args, 0)));
}

BUILTIN(FontGetFontName) {
    if (const CFontHV* font = FontArg(args)) RValue_SetString(&result, font->GetFontName());
}

BUILTIN(FontGetSize) {
    const CFontHV* font = FontArg(args);
    Result_SetReal(result, font ? font->GetSize() : 0);
}

BUILTIN(FontGetBold) {
    const CFontHV* font = FontArg(args);
    Result_SetFlag(result, font && font->GetBold());
}

BUILTIN(FontGetItalic) {
    const CFontHV* font = FontArg(args);
    Result_SetFlag(result, font && font->GetItalic());
}

BUILTIN(FontGetFirst) {
    const CFontHV* font = FontArg(args);
    Result_SetReal(result, font ? font->GetFirst() : -1);
}

BUILTIN(FontGetLast) {
    const CFontHV* font = FontArg(args);
    Result_SetReal(result, font ? font->GetLast() : -1);
}

// ---- run-time fonts ------------------------------------------------------------------------

BUILTIN(FontAdd) {
    const char* file = Arg_GetString(args, 0);
    const int32_t size = Arg_GetInt32(args, 1);
    const bool bold = Arg_GetBool(args, 2), italic = Arg_GetBool(args, 3);
    Result_SetReal(result,
                   Font_AddTrueType(file, size, bold, italic, Arg_GetInt32(args, 4), Arg_GetInt32(args, 5)));
}

BUILTIN(FontAddSprite) {
    const int32_t sprite = Arg_GetInt32(args, 0), first = Arg_GetInt32(args, 1);
    const bool proportional = Arg_GetBool(args, 2);
    const int32_t separation = Arg_GetInt32(args, 3);
    Result_SetReal(result, -1);
    if (!Sprite_Exists(sprite))
        return Runtime_ErrorNonFatal("Trying to create font from non-existing sprite.");
    Result_SetReal(result, Font_AddSprite(sprite, first, proportional, separation));
}

BUILTIN(FontAddSpriteExt) {
    const int32_t sprite = Arg_GetInt32(args, 0);
    const char* characters = Arg_GetString(args, 1);
    const bool proportional = Arg_GetBool(args, 2);
    const int32_t separation = Arg_GetInt32(args, 3);
    Result_SetReal(result, -1);
    if (!Sprite_Exists(sprite))
        return Runtime_ErrorNonFatal("Trying to create font from non-existing sprite.");
    Result_SetReal(result, Font_AddSpriteExt(sprite, characters, proportional, separation));
}

BUILTIN(FontReplace) {
    const int32_t index = Arg_GetInt32(args, 0);
    const char* file = Arg_GetString(args, 1);
    const int32_t size = Arg_GetInt32(args, 2);
    const bool bold = Arg_GetBool(args, 3), italic = Arg_GetBool(args, 4);
    const int32_t first = Arg_GetInt32(args, 5), last = Arg_GetInt32(args, 6);
    Result_SetReal(result, 0);
    if (!Font_Exists(index)) return Runtime_ErrorNonFatal("Trying to replace non-existing font.");
    Result_SetFlag(result, Font_ReplaceTrueType(index, file, size, bold, italic, first, last));
}

// A missing font is reported but the call goes on: the back-end fills an emptied slot.
bool ReplaceSpriteChecks(RValue& result, int32_t index, int32_t sprite) {
    Result_SetReal(result, 0);
    if (!Font_Exists(index)) Runtime_ErrorNonFatal("Trying to replace non-existing font.");
    if (!Sprite_Exists(sprite)) {
        Runtime_ErrorNonFatal("Trying to replace font from non-existing sprite.");
        return false;
    }
    return true;
}

BUILTIN(FontReplaceSprite) {
    const int32_t index = Arg_GetInt32(args, 0), sprite = Arg_GetInt32(args, 1);
    const int32_t first = Arg_GetInt32(args, 2);
    const bool proportional = Arg_GetBool(args, 3);
    const int32_t separation = Arg_GetInt32(args, 4);
    if (ReplaceSpriteChecks(result, index, sprite))
        Result_SetFlag(result, Font_ReplaceSprite(index, sprite, first, proportional, separation));
}

BUILTIN(FontReplaceSpriteExt) {
    const int32_t index = Arg_GetInt32(args, 0), sprite = Arg_GetInt32(args, 1);
    const char* characters = Arg_GetString(args, 2);
    const bool proportional = Arg_GetBool(args, 3);
    const int32_t separation = Arg_GetInt32(args, 4);
    if (ReplaceSpriteChecks(result, index, sprite))
        Result_SetFlag(result, Font_ReplaceSpriteExt(index, sprite, characters, proportional, separation));
}

BUILTIN(FontDelete) {
    const int32_t index = Arg_GetInt32(args, 0);
    Result_SetReal(result, 0);
    if (!Font_Exists(index)) return Runtime_ErrorNonFatal("Trying to delete non-existing font.");
    Result_SetFlag(result, Font_Delete(index));
}

}  // namespace

void InitFontResourceFunctions() {
    static const BuiltinRow kRows[] = {
        {"font_name", F_FontGetName, 1},
        {"font_exists", F_FontExists, 1},
        {"font_get_name", F_FontGetName, 1},
        {"font_get_fontname", F_FontGetFontName, 1},
        {"font_get_size", F_FontGetSize, 1},
        {"font_get_bold", F_FontGetBold, 1},
        {"font_get_italic", F_FontGetItalic, 1},
        {"font_get_first", F_FontGetFirst, 1},
        {"font_get_last", F_FontGetLast, 1},
        {"font_add", F_FontAdd, 6},
        {"font_replace", F_FontReplace, 7},
        {"font_add_sprite", F_FontAddSprite, 4},
        {"font_add_sprite_ext", F_FontAddSpriteExt, 4},
        {"font_replace_sprite", F_FontReplaceSprite, 5},
        {"font_replace_sprite_ext", F_FontReplaceSpriteExt, 5},
        {"font_delete", F_FontDelete, 1},
    };
    static_assert(std::size(kRows) == 16);
    Code_Function_AddRows(kRows);
}
