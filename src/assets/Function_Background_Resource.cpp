// The background rows of the resource built-ins: queries, run-time creation and changes, saving
// as a PNG file, and texture prefetch (flush shares it).
#include "assets/Function_Background_Resource.h"

#include <iterator>

#include "assets/Background_Main.h"
#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TBitmap.h"
#include "graphics/TexturesM.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

// A flag read as an integer is on when above 0.
bool Flag(RValue* args, int32_t n) {
    return Arg_GetInt32(args, n) > 0;
}

// ---- queries -------------------------------------------------------------------------------

template <int32_t (*Read)(const CBackground&)>
BUILTIN(Query) {
    const CBackground* background = Background_Get(Arg_GetInt32(args, 0));
    Result_SetReal(result, background ? Read(*background) : -1);
}

int32_t Width(const CBackground& b) {
    return b.GetWidth();
}
int32_t Height(const CBackground& b) {
    return b.GetHeight();
}
int32_t Transparent(const CBackground& b) {
    return b.GetTransparent();
}
int32_t Smooth(const CBackground& b) {
    return b.GetSmooth();
}
int32_t Preload(const CBackground& b) {
    return b.GetPreload();
}

BUILTIN(BackgroundExists) {
    Result_SetFlag(result, Background_Exists(Arg_GetInt32(args, 0)));
}

BUILTIN(BackgroundGetName) {
    RValue_SetString(&result, Background_GetName(Arg_GetInt32(args, 0)));
}

// ---- creation ------------------------------------------------------------------------------

BUILTIN(BackgroundCreateColour) {
    const int32_t width = Arg_GetInt32(args, 0), height = Arg_GetInt32(args, 1);
    const uint32_t colour = uint32_t(Arg_GetInt32(args, 2));
    const bool preload = argc >= 4 ? Arg_GetBool(args, 3) : true;
    const int32_t index = Background_AddEmpty();
    if (CBackground* background = Background_Get(index))
        background->CreateColour(width, height, colour, preload);
    Result_SetReal(result, index);
}

BUILTIN(BackgroundCreateGradient) {
    const int32_t width = Arg_GetInt32(args, 0), height = Arg_GetInt32(args, 1);
    const uint32_t colour1 = uint32_t(Arg_GetInt32(args, 2)), colour2 = uint32_t(Arg_GetInt32(args, 3));
    const int32_t kind = Arg_GetInt32(args, 4);
    const bool preload = argc >= 6 ? Arg_GetBool(args, 5) : true;
    const int32_t index = Background_AddEmpty();
    if (CBackground* background = Background_Get(index))
        background->CreateGradient(width, height, colour1, colour2, kind, preload);
    Result_SetReal(result, index);
}

struct PictureFlags {
    bool transparent, smooth, preload, keepAlpha;
};

// A new background slot, filled from the picture when there is one; the picture is consumed.
int32_t CreateFromPicture(TBitmap* picture, const PictureFlags& f) {
    const int32_t index = Background_AddEmpty();
    if (CBackground* background = Background_Get(index); background && picture)
        background->CreateFromBitmap(picture, f.transparent, f.smooth, f.preload, f.keepAlpha);
    delete picture;
    return index;
}

BUILTIN(BackgroundCreateFromScreen) {
    PictureFlags f;
    if (argc >= 7) {
        f = {Flag(args, 4), Flag(args, 5), Flag(args, 6), false};
    } else {
        const bool removeBackground = Flag(args, 4);
        f = {removeBackground, Flag(args, 5), false, !removeBackground};
    }
    TBitmap* picture = GR_Screen_To_Bitmap(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1),
                                           Arg_GetInt32(args, 2), Arg_GetInt32(args, 3));
    Result_SetReal(result, CreateFromPicture(picture, f));
}

BUILTIN(BackgroundCreateFromSurface) {
    const bool removeBackground = Arg_GetBool(args, 5);
    const PictureFlags f = {removeBackground, Arg_GetBool(args, 6), argc >= 8 ? Arg_GetBool(args, 7) : true,
                            !removeBackground};
    TBitmap* picture =
        GR_Surface_To_Bitmap(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                             Arg_GetInt32(args, 3), Arg_GetInt32(args, 4));
    Result_SetReal(result, CreateFromPicture(picture, f));
}

BUILTIN(BackgroundAdd) {
    const char* file = Arg_GetString(args, 0);
    const bool removeBackground = Arg_GetBool(args, 1), smooth = Arg_GetBool(args, 2);
    const bool preload = argc >= 4 ? Arg_GetBool(args, 3) : true;
    Result_SetReal(result, Background_Add(file, removeBackground, smooth, preload));
}

BUILTIN(BackgroundReplace) {
    const int32_t index = Arg_GetInt32(args, 0);
    const char* file = Arg_GetString(args, 1);
    const bool removeBackground = Arg_GetBool(args, 2), smooth = Arg_GetBool(args, 3);
    const bool preload = argc >= 5 ? Arg_GetBool(args, 4) : true;
    Result_SetReal(result, 0);
    if (!Background_Exists(index)) return Runtime_ErrorNonFatal("Trying to replace non-existing background.");
    Result_SetFlag(result, Background_Replace(index, file, removeBackground, smooth, preload));
}

// ---- changes -------------------------------------------------------------------------------

BUILTIN(BackgroundDelete) {
    const int32_t index = Arg_GetInt32(args, 0);
    Result_SetReal(result, 0);
    if (!Background_Exists(index)) return Runtime_ErrorNonFatal("Trying to delete non-existing background.");
    Result_SetFlag(result, Background_Delete(index));
}

BUILTIN(BackgroundDuplicate) {
    const int32_t index = Arg_GetInt32(args, 0);
    Result_SetReal(result, -1);
    if (!Background_Exists(index))
        return Runtime_ErrorNonFatal("Trying to duplicate non-existing background.");
    Result_SetReal(result, Background_Duplicate(index));
}

BUILTIN(BackgroundAssign) {
    if (!Background_Assign(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1)))
        Runtime_ErrorNonFatal("Error assigning a background.");
}

BUILTIN(BackgroundSetAlphaFromBackground) {
    CBackground* background = Background_Get(Arg_GetInt32(args, 0));
    const CBackground* source = Background_Get(Arg_GetInt32(args, 1));
    if (background && source) background->SetAlphaFromBackground(source);
}

BUILTIN(BackgroundSave) {
    const CBackground* background = Background_Get(Arg_GetInt32(args, 0));
    const char* file = Arg_GetString(args, 1);
    if (!background || !file) return Runtime_ErrorNonFatal("Trying to save non-existing background bitmap.");
    const CBitmap32* bitmap = background->GetBitmap();
    if (!bitmap || !bitmap->IsValid() || bitmap->GetWidth() != background->GetWidth() ||
        bitmap->GetHeight() != background->GetHeight()) {
        DebugConsole.Output("background_save() failed - no bitmap data available\n");
        return;
    }
    write_png_file_argb(file, bitmap->GetPixels(), background->GetWidth(), background->GetHeight());
}

// ---- texture prefetch (background_flush shares it) -----------------------------------------

// The background's texture record: its page entry's texture, else its own texture id.
void Prefetch(const CBackground& background) {
    const TexturePageEntry* entry = background.GetPageEntry();
    const int32_t id = entry ? entry->texture : background.GetTextureId();
    if (GR_Texture_Exists(id)) GR_Texture_Prefetch(GR_Texture_Get(id));
}

BUILTIN(BackgroundPrefetch) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (const CBackground* background = Background_Get(index))
        Prefetch(*background);
    else
        DebugConsole.Output("background_prefetch: Background id %d not found\n", index);
    Result_SetReal(result, 0);
}

BUILTIN(BackgroundPrefetchMulti) {
    const char* const name = "background_prefetch_multi";
    Result_SetReal(result, -1);
    if (args[0].kind != VALUE_ARRAY) {
        DebugConsole.Output("%s: parameter should be array of sprite indices\n", name);
        return;
    }
    const SharedArray* array = args[0].arr;
    if (!array || array->rowCount != 1) {
        DebugConsole.Output("%s: array parameter invalid\n", name);
        return;
    }
    const ArrayRow& row = array->rows[0];
    for (int32_t i = 0; i < row.length; ++i) {
        if (row.items[i].kind != VALUE_REAL) {
            DebugConsole.Output("%s: array entry %d has wrong type\n", name, i);
            continue;
        }
        const int32_t index = Arg_GetInt32(row.items, i);
        if (const CBackground* background = Background_Get(index))
            Prefetch(*background);
        else
            DebugConsole.Output("%s: Background id %d not found\n", name, index);
    }
    Result_SetReal(result, 0);
}

BUILTIN(Unsupported) {
    DebugConsole.Output("unsupported function\n");
    Result_SetReal(result, -1);
}

}  // namespace

void InitBackgroundResourceFunctions() {
    static const BuiltinRow kRows[] = {
        {"background_name", F_BackgroundGetName, 1},
        {"background_exists", F_BackgroundExists, 1},
        {"background_get_name", F_BackgroundGetName, 1},
        {"background_get_width", F_Query<Width>, 1},
        {"background_get_height", F_Query<Height>, 1},
        {"background_get_transparent", F_Query<Transparent>, 1},
        {"background_get_smooth", F_Query<Smooth>, 1},
        {"background_get_preload", F_Query<Preload>, 1},
        {"background_set_alpha_from_background", F_BackgroundSetAlphaFromBackground, 2},
        {"background_create_color", F_BackgroundCreateColour, 3},
        {"background_create_colour", F_BackgroundCreateColour, 3},
        {"background_replace", F_BackgroundReplace, 4},
        {"background_create_from_screen", F_BackgroundCreateFromScreen, 6},
        {"background_create_from_surface", F_BackgroundCreateFromSurface, 7},
        {"background_create_gradient", F_BackgroundCreateGradient, 5},
        {"background_add", F_BackgroundAdd, 3},
        {"background_add_background", F_Unsupported, 1},
        {"background_replace_background", F_Unsupported, 2},
        {"background_delete", F_BackgroundDelete, 1},
        {"background_duplicate", F_BackgroundDuplicate, 1},
        {"background_assign", F_BackgroundAssign, 2},
        {"background_save", F_BackgroundSave, 2},
        {"background_prefetch", F_BackgroundPrefetch, 1},
        {"background_prefetch_multi", F_BackgroundPrefetchMulti, 1},
        {"background_flush", F_BackgroundPrefetch, 1},
        {"background_flush_multi", F_BackgroundPrefetchMulti, 1},
    };
    static_assert(std::size(kRows) == 26);
    Code_Function_AddRows(kRows);
}
