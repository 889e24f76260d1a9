// The sprite rows of the resource built-ins: queries, run-time creation and changes (from files,
// the screen and surfaces), collision masks, saving frames as PNG files, and texture prefetch
// and flush.
#include "assets/Function_Sprite_Resource.h"

#include <vector>

#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "assets/Sprite_Main.h"
#include "graphics/TBitmap.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"
#include "world/Collision_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

// A flag read as an integer is on when above 0.
bool Flag(RValue* args, int32_t n) {
    return Arg_GetInt32(args, n) > 0;
}

// ---- queries -------------------------------------------------------------------------------

template <int32_t (*Read)(const CSprite&)>
void F_Query(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    result = RValue_Real(sprite ? Read(*sprite) : -1);
}

int32_t Number(const CSprite& s) {
    return s.m_frameCount;
}
int32_t Width(const CSprite& s) {
    return s.m_width;
}
int32_t Height(const CSprite& s) {
    return s.m_height;
}
int32_t Transparent(const CSprite& s) {
    return s.m_transparent;
}
int32_t Smooth(const CSprite& s) {
    return s.m_smooth;
}
int32_t Preload(const CSprite& s) {
    return s.m_preload;
}
int32_t Precise(const CSprite& s) {
    return s.m_precise;
}
int32_t XOffset(const CSprite& s) {
    return s.m_originX;
}
int32_t YOffset(const CSprite& s) {
    return s.m_originY;
}
int32_t BoxMode(const CSprite& s) {
    return s.m_boxMode;
}
int32_t BoxLeft(const CSprite& s) {
    return s.m_box.left;
}
int32_t BoxRight(const CSprite& s) {
    return s.m_box.right;
}
int32_t BoxTop(const CSprite& s) {
    return s.m_box.top;
}
int32_t BoxBottom(const CSprite& s) {
    return s.m_box.bottom;
}

void F_SpriteExists(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Sprite_Exists(Arg_GetInt32(args, 0)) ? 1 : 0);
}

void F_SpriteGetName(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    RValue_SetString(&result, Sprite_GetName(Arg_GetInt32(args, 0)));
}

// ---- creation and changes ------------------------------------------------------------------

void F_SpriteAdd(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    SpriteLoadOptions o;
    const char* name = Arg_GetString(args, 0);
    o.frames = Arg_GetInt32(args, 1);
    if (argc == 8) {
        o.precise = Flag(args, 2);
        o.removeBackground = Flag(args, 3);
        o.smooth = Flag(args, 4);
        o.preload = Flag(args, 5);
        o.originX = Arg_GetInt32(args, 6);
        o.originY = Arg_GetInt32(args, 7);
    } else {
        o.removeBackground = Flag(args, 2);
        o.smooth = Flag(args, 3);
        o.originX = Arg_GetInt32(args, 4);
        o.originY = Arg_GetInt32(args, 5);
    }
    o.keepAlpha = !o.removeBackground;
    result = RValue_Real(Sprite_Add(name, o));
}

void F_SpriteReplace(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    SpriteLoadOptions o;
    const char* name = Arg_GetString(args, 1);
    o.frames = Arg_GetInt32(args, 2);
    if (argc == 9) {
        o.precise = Flag(args, 3);
        o.removeBackground = Flag(args, 4);
        o.smooth = Flag(args, 5);
        o.preload = Flag(args, 6);
        o.originX = Arg_GetInt32(args, 7);
        o.originY = Arg_GetInt32(args, 8);
    } else {
        o.precise = o.preload = true;
        o.removeBackground = Flag(args, 3);
        o.smooth = Flag(args, 4);
        o.originX = Arg_GetInt32(args, 5);
        o.originY = Arg_GetInt32(args, 6);
    }
    o.keepAlpha = !o.removeBackground;
    if (!Sprite_Exists(index)) {
        result = RValue_Real(-1);
        return;
    }
    result = RValue_Real(Sprite_Replace(index, name, o) ? 1 : 0);
}

void F_SpriteDelete(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    result = RValue_Real(Sprite_Exists(index) ? (Sprite_Delete(index) ? 1 : 0) : -1);
}

// Vector and skeleton sprites cannot give their frames as pictures.
bool Refused(const CSprite* sprite, const char* name, const char* role) {
    if (sprite->m_kind == SPRITE_VECTOR) {
        Runtime_ErrorNonFatal("%s: not supported for vector sprites - %s sprite is a vector sprite", name,
                              role);
        return true;
    }
    if (sprite->m_kind == SPRITE_SKELETON) {
        Runtime_ErrorNonFatal("%s: not supported for skeleton based sprites - %s sprite is a skeleton sprite",
                              name, role);
        return true;
    }
    return false;
}

bool RefusedPair(const CSprite* to, const CSprite* from, const char* name) {
    if (to->m_kind == SPRITE_VECTOR) return Refused(to, name, "destination");
    if (from->m_kind == SPRITE_VECTOR) return Refused(from, name, "source");
    return Refused(to, name, "destination") || Refused(from, name, "source");
}

void F_SpriteDuplicate(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    const CSprite* sprite = Sprite_Get(index);
    if (!sprite) {
        result = RValue_Real(-1);
        return;
    }
    if (sprite->m_kind == SPRITE_VECTOR)
        return Runtime_ErrorNonFatal("sprite_duplicate: not supported for vector sprites");
    if (sprite->m_kind == SPRITE_SKELETON)
        return Runtime_ErrorNonFatal("sprite_duplicate: not supported for skeleton based sprites");
    result = RValue_Real(Sprite_Duplicate(index));
}

void F_SpriteAssign(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t destination = Arg_GetInt32(args, 0), source = Arg_GetInt32(args, 1);
    const CSprite* to = Sprite_Get(destination);
    const CSprite* from = Sprite_Get(source);
    if (!to || !from) return Runtime_ErrorNonFatal("Cannot assign to or from non-existing sprite");
    if (RefusedPair(to, from, "sprite_assign")) return;
    if (!Sprite_Assign(destination, source)) Runtime_ErrorNonFatal("Error assigning a sprite.");
}

void F_SpriteMerge(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    CSprite* to = Sprite_Get(Arg_GetInt32(args, 0));
    const CSprite* from = Sprite_Get(Arg_GetInt32(args, 1));
    if (!to || !from) return Runtime_ErrorNonFatal("Cannot merge to or from non-existing sprite");
    if (RefusedPair(to, from, "sprite_merge")) return;
    // Merging a sprite into itself reads the frames it is appending to.
    if (to == from) {
        CSprite copy;
        copy.CopyFrom(*from);
        to->Merge(copy);
        return;
    }
    to->Merge(*from);
}

void F_SpriteCollisionMask(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    if (!sprite || sprite->m_frameCount <= 0) return;
    if (sprite->m_kind == SPRITE_VECTOR)
        return Runtime_ErrorNonFatal("sprite_collision_mask: not supported for vector sprites");
    const SpriteBox box = {Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetInt32(args, 5),
                           Arg_GetInt32(args, 6)};
    sprite->m_precise = true;
    sprite->BuildCollisionMasks(Flag(args, 1), Arg_GetInt32(args, 2), box, Arg_GetInt32(args, 7),
                                Arg_GetInt32(args, 8));
}

void F_SpriteSetAlphaFromSprite(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    const CSprite* source = Sprite_Get(Arg_GetInt32(args, 1));
    if (!sprite || !source) return;
    if (sprite->m_kind == SPRITE_VECTOR)
        return Runtime_ErrorNonFatal(
            "sprite_set_alpha_from_sprite: not supported with vector sprites - sprite "
            "to change is a vector sprite");
    if (source->m_kind == SPRITE_VECTOR)
        return Runtime_ErrorNonFatal(
            "sprite_set_alpha_from_sprite: not supported with vector sprites - sprite "
            "to derive transparency from is a vector sprite");
    // A sprite that derives its alpha from itself reads the pictures it is changing.
    if (sprite == source) {
        CSprite copy;
        copy.CopyFrom(*source);
        sprite->SetAlphaFromSprite(copy);
        return;
    }
    sprite->SetAlphaFromSprite(*source);
}

// ---- run-time properties ------------------------------------------------------------------

// Instances showing the sprite recompute their boxes and collision data on their next test.
void MarkInstancesDirty(int32_t index, const InstanceList& list) {
    for (CInstance* instance = list.head; instance != nullptr; instance = instance->depthNext) {
        if (instance->sprite_index != index) continue;
        instance->boxDirty = 1;
        Collision_MarkDirty(instance);
    }
}

void Sprite_MarkInstancesDirty(int32_t index) {
    const CRoom* room = Run_Room();
    if (!room) return;
    MarkInstancesDirty(index, room->active);
    MarkInstancesDirty(index, room->deactivated);
}

void F_SpriteSetOffset(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    CSprite* sprite = Sprite_Get(index);
    if (!sprite) return;
    sprite->m_originX = Arg_GetInt32(args, 1);
    sprite->m_originY = Arg_GetInt32(args, 2);
    Sprite_MarkInstancesDirty(index);
}

void F_SpriteSetBboxMode(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    CSprite* sprite = Sprite_Get(index);
    if (!sprite) return;
    sprite->SetBoundingBoxMode(Arg_GetInt32(args, 1));
    Sprite_MarkInstancesDirty(index);
}

void F_SpriteSetBbox(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    CSprite* sprite = Sprite_Get(index);
    if (!sprite) return;
    sprite->SetBoundingBox(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                           Arg_GetInt32(args, 4));
    Sprite_MarkInstancesDirty(index);
}

void F_SpriteSetPrecise(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    const bool precise = Flag(args, 1);
    CSprite* sprite = Sprite_Get(index);
    if (!sprite) return;
    if (precise && sprite->m_kind != SPRITE_BITMAP && sprite->m_maskCount <= 0)
        return Runtime_ErrorNonFatal(
            "sprite_set_precise: can't set precise collision on vector sprite with no collision masks "
            "generated");
    sprite->SetPrecise(precise);
    Sprite_MarkInstancesDirty(index);
}

// ---- sprites from the screen and from surfaces ---------------------------------------------

// The flags of the screen and surface rows from argument `first` on. The long form names every
// flag; the short one reads remove background and smooth and makes the sprite precise.
SpriteLoadOptions PictureOptions(RValue* args, int32_t first, bool longForm, bool shortPreload,
                                 bool longKeepAlpha) {
    SpriteLoadOptions o;
    if (longForm) {
        o.precise = Flag(args, first);
        o.removeBackground = Flag(args, first + 1);
        o.smooth = Flag(args, first + 2);
        o.preload = Flag(args, first + 3);
        o.originX = Arg_GetInt32(args, first + 4);
        o.originY = Arg_GetInt32(args, first + 5);
        o.keepAlpha = longKeepAlpha;
    } else {
        o.precise = true;
        o.removeBackground = Flag(args, first);
        o.smooth = Flag(args, first + 1);
        o.preload = shortPreload;
        o.originX = Arg_GetInt32(args, first + 2);
        o.originY = Arg_GetInt32(args, first + 3);
        o.keepAlpha = !o.removeBackground;
    }
    return o;
}

// A new sprite slot, filled from the picture when there is one; the picture is consumed.
int32_t CreateFromPicture(TBitmap* picture, const SpriteLoadOptions& o) {
    const int32_t index = Sprite_CreateEmpty();
    if (index >= 0 && picture)
        Sprite_Get(index)->CreateFromBitmap(picture, o.precise, o.removeBackground, o.smooth, o.preload,
                                            o.originX, o.originY, o.keepAlpha);
    delete picture;
    return index;
}

void F_SpriteCreateFromScreen(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const SpriteLoadOptions o = PictureOptions(args, 4, argc == 10, true, false);
    TBitmap* picture = GR_Screen_To_Bitmap(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1),
                                           Arg_GetInt32(args, 2), Arg_GetInt32(args, 3));
    result = RValue_Real(CreateFromPicture(picture, o));
}

void F_SpriteCreateFromSurface(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const SpriteLoadOptions o = PictureOptions(args, 5, argc == 11, false, true);
    TBitmap* picture =
        GR_Surface_To_Bitmap(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                             Arg_GetInt32(args, 3), Arg_GetInt32(args, 4));
    result = RValue_Real(CreateFromPicture(picture, o));
}

// One more frame from the picture (consumed); frames on the data file's pages have no pictures
// to join the new one, so such a sprite is refused as merging refuses it.
void AddPicture(CSprite& sprite, TBitmap* picture, bool removeBackground, bool smooth, const char* name) {
    if (!picture) return;
    if (!sprite.AddFrameFromBitmap(picture, removeBackground, smooth, !removeBackground))
        Runtime_ErrorNonFatal("%s() requires the sprite to have been duplicated", name);
    delete picture;
}

void F_SpriteAddFromScreen(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    if (!sprite) return;
    if (sprite->m_kind == SPRITE_VECTOR)
        return Runtime_ErrorNonFatal("sprite_add_from_screen: not supported with vector sprites");
    const bool removeBackground = Flag(args, 5), smooth = Flag(args, 6);
    AddPicture(*sprite,
               GR_Screen_To_Bitmap(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                                   Arg_GetInt32(args, 4)),
               removeBackground, smooth, "sprite_add_from_screen");
}

void F_SpriteAddFromSurface(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    if (!sprite) return;
    if (sprite->m_kind == SPRITE_VECTOR)
        return Runtime_ErrorNonFatal("sprite_add_from_surface: not supported with vector sprites");
    const bool removeBackground = Flag(args, 6), smooth = Flag(args, 7);
    AddPicture(*sprite,
               GR_Surface_To_Bitmap(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                                    Arg_GetInt32(args, 4), Arg_GetInt32(args, 5)),
               removeBackground, smooth, "sprite_add_from_surface");
}

// ---- texture prefetch and flush ------------------------------------------------------------

using TextureAction = void (*)(TextureRecord*);

// Each frame's texture record: a run-time frame's own texture, else the one its page entry names.
void ForEachFrameTexture(const CSprite& sprite, TextureAction action) {
    if (sprite.m_kind != SPRITE_BITMAP) return;
    for (int32_t f = 0; f < sprite.m_frameCount; ++f) {
        int32_t id = sprite.GetTextureId(f);
        if (id < 0) {
            const TexturePageEntry* entry = sprite.GetPageEntry(f);
            id = entry ? entry->texture : -1;
        }
        if (TextureRecord* record = GR_Texture_Exists(id) ? GR_Texture_Get(id) : nullptr) action(record);
    }
}

void TextureOfOne(RValue& result, RValue* args, const char* name, TextureAction action) {
    result = RValue_Real(-1);
    const int32_t index = Arg_GetInt32(args, 0);
    const CSprite* sprite = Sprite_Get(index);
    if (!sprite) {
        DebugConsole.Output("%s: Sprite id %d not found\n", name, index);
        result = RValue_Real(0);
        return;
    }
    if (sprite->m_kind == SPRITE_VECTOR) {
        DebugConsole.Output("%s: not supported for vector sprites (sprite id %d)\n", name, index);
        return;
    }
    ForEachFrameTexture(*sprite, action);
    result = RValue_Real(0);
}

void TextureOfMany(RValue& result, RValue* args, const char* name, TextureAction action) {
    result = RValue_Real(-1);
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
        const CSprite* sprite = Sprite_Get(index);
        if (!sprite) {
            DebugConsole.Output("%s: Sprite id %d not found\n", name, index);
            continue;
        }
        if (sprite->m_kind == SPRITE_VECTOR) {
            DebugConsole.Output("%s: not supported for vector sprites (sprite id %d)\n", name, index);
            return;
        }
        ForEachFrameTexture(*sprite, action);
    }
    result = RValue_Real(0);
}

void F_SpritePrefetch(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    TextureOfOne(result, args, "sprite_prefetch", GR_Texture_Prefetch);
}

void F_SpriteFlush(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    TextureOfOne(result, args, "sprite_flush", GR_Texture_Release_Device);
}

void F_SpritePrefetchMulti(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    TextureOfMany(result, args, "sprite_prefetch_multi", GR_Texture_Prefetch);
}

void F_SpriteFlushMulti(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    TextureOfMany(result, args, "sprite_flush_multi", GR_Texture_Release_Device);
}

// ---- saving --------------------------------------------------------------------------------

const CBitmap32* FrameBitmap(const CSprite& sprite, int32_t frame) {
    if (sprite.m_kind != SPRITE_BITMAP || frame < 0 || frame >= sprite.m_frameCount ||
        frame >= sprite.m_bitmapCount)
        return nullptr;
    const CBitmap32* bitmap = sprite.m_bitmaps[frame];
    return bitmap && bitmap->IsValid() && bitmap->GetWidth() == sprite.m_width &&
                   bitmap->GetHeight() == sprite.m_height
               ? bitmap
               : nullptr;
}

void F_SpriteSave(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    const int32_t frame = Arg_GetInt32(args, 1);
    const char* name = Arg_GetString(args, 2);
    if (!sprite) return;
    if (sprite->m_kind == SPRITE_VECTOR)
        return Runtime_ErrorNonFatal("sprite_save: not supported for vector sprites");
    const CBitmap32* bitmap = FrameBitmap(*sprite, frame);
    if (!bitmap || !name) {
        DebugConsole.Output("sprite_save() failed - no bitmap data available\n");
        return;
    }
    write_png_file_argb(name, bitmap->GetPixels(), sprite->m_width, sprite->m_height);
}

void F_SpriteSaveStrip(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    const char* name = Arg_GetString(args, 1);
    if (!sprite || !name) return;
    if (sprite->m_kind == SPRITE_VECTOR)
        return Runtime_ErrorNonFatal("sprite_save_strip: not supported for vector sprites");
    if (sprite->m_frameCount <= 0) return;
    const int64_t stripWidth = int64_t(sprite->m_width) * sprite->m_frameCount;
    if (stripWidth > kImageMaxSide) {
        DebugConsole.Output("sprite_save_strip() failed - Missing bitmap data\n");
        return;
    }
    CBitmap32 strip(int32_t(stripWidth), sprite->m_height, 0u);  // opaque black
    for (int32_t f = 0; f < sprite->m_frameCount; ++f) {
        const CBitmap32* bitmap = FrameBitmap(*sprite, f);
        if (!bitmap) {
            DebugConsole.Output("sprite_save_strip() failed - Missing bitmap data\n");
            return;
        }
        for (int32_t y = 0; y < sprite->m_height; ++y)
            for (int32_t x = 0; x < sprite->m_width; ++x)
                strip.GetPixels()[int64_t(y) * stripWidth + int64_t(f) * sprite->m_width + x] =
                    bitmap->GetPixels()[int64_t(y) * sprite->m_width + x];
    }
    write_png_file_argb(name, strip.GetPixels(), int32_t(stripWidth), sprite->m_height);
}

// ---- rows that answer without doing anything -----------------------------------------------

void F_Unsupported(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    DebugConsole.Output("unsupported function\n");
    result = RValue_Real(-1);
}

void F_Zero(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(0);
}

}  // namespace

void InitSpriteResourceFunctions() {
    static const BuiltinRow kRows[] = {
        {"sprite_name", F_SpriteGetName, 1, 0},
        {"sprite_exists", F_SpriteExists, 1, 0},
        {"sprite_get_name", F_SpriteGetName, 1, 0},
        {"sprite_get_number", F_Query<Number>, 1, 0},
        {"sprite_get_width", F_Query<Width>, 1, 0},
        {"sprite_get_height", F_Query<Height>, 1, 0},
        {"sprite_get_transparent", F_Query<Transparent>, 1, 0},
        {"sprite_get_smooth", F_Query<Smooth>, 1, 0},
        {"sprite_get_preload", F_Query<Preload>, 1, 0},
        {"sprite_get_xoffset", F_Query<XOffset>, 1, 0},
        {"sprite_get_yoffset", F_Query<YOffset>, 1, 0},
        {"sprite_get_bbox_mode", F_Query<BoxMode>, 1, 0},
        {"sprite_get_bbox_left", F_Query<BoxLeft>, 1, 0},
        {"sprite_get_bbox_right", F_Query<BoxRight>, 1, 0},
        {"sprite_get_bbox_top", F_Query<BoxTop>, 1, 0},
        {"sprite_get_bbox_bottom", F_Query<BoxBottom>, 1, 0},
        {"sprite_get_precise", F_Query<Precise>, 1, 0},
        {"sprite_collision_mask", F_SpriteCollisionMask, 9, 0},
        {"sprite_set_cache_size", F_Zero, 2, 0},
        {"sprite_set_cache_size_ext", F_Zero, 3, 0},
        {"font_set_cache_size", F_Zero, 2, 0},
        {"sprite_get_tpe", F_Zero, 2, 0},
        {"sprite_set_offset", F_SpriteSetOffset, 3, 1},
        {"sprite_set_bbox_mode", F_SpriteSetBboxMode, 2, 1},
        {"sprite_set_bbox", F_SpriteSetBbox, 5, 1},
        {"sprite_set_precise", F_SpriteSetPrecise, 2, 1},
        {"sprite_set_alpha_from_sprite", F_SpriteSetAlphaFromSprite, 2, 0},
        {"sprite_add", F_SpriteAdd, 6, 0},
        {"sprite_create_from_screen", F_SpriteCreateFromScreen, 8, 0},
        {"sprite_add_from_screen", F_SpriteAddFromScreen, 7, 0},
        {"sprite_create_from_surface", F_SpriteCreateFromSurface, 9, 0},
        {"sprite_add_from_surface", F_SpriteAddFromSurface, 8, 0},
        {"sprite_replace", F_SpriteReplace, 7, 0},
        {"sprite_add_sprite", F_Unsupported, 1, 0},
        {"sprite_replace_sprite", F_Unsupported, 2, 0},
        {"sprite_save_strip", F_SpriteSaveStrip, 2, 0},
        {"sprite_delete", F_SpriteDelete, 1, 0},
        {"sprite_duplicate", F_SpriteDuplicate, 1, 0},
        {"sprite_assign", F_SpriteAssign, 2, 0},
        {"sprite_merge", F_SpriteMerge, 2, 0},
        {"sprite_save", F_SpriteSave, 3, 0},
        {"sprite_prefetch", F_SpritePrefetch, 1, 0},
        {"sprite_prefetch_multi", F_SpritePrefetchMulti, 1, 0},
        {"sprite_flush", F_SpriteFlush, 1, 0},
        {"sprite_flush_multi", F_SpriteFlushMulti, 1, 0},
    };
    Code_Function_AddRows(kRows);
}
