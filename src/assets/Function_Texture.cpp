#include "assets/Function_Texture.h"

#include <cmath>

#include "assets/Background_Main.h"
#include "assets/Font_Class.h"
#include "assets/Font_Main.h"
#include "assets/ImageDecode.h"
#include "assets/Sprite_Main.h"
#include "core/CRuntimeCompat.h"
#include "core/Code_Function.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"

namespace {

constexpr const char* kMissingSprite = "Trying to get texture from non-existing sprite.";
constexpr const char* kMissingBackground = "Trying to get texture from non-existing background.";
constexpr const char* kMissingFont = "trying to get texture from non-existing font";

RValue Pointer(int32_t handle) {
    RValue v = RValue_Undefined();
    v.ptr = reinterpret_cast<void*>(static_cast<intptr_t>(handle));
    v.kind = VALUE_PTR;
    return v;
}

// A handle as game code gets it: a registered page entry, else the texture id itself.
int32_t HandleOf(TexturePageEntry* page, int32_t textureId) {
    return page ? GR_Texture_Page_Handle(page) : textureId;
}

// The eight UV values of a page entry over its texture; false when the texture is gone.
bool PageUVs(const TexturePageEntry* page, double out[8]) {
    const TextureRecord* record = GR_Texture_Get(page->texture);
    if (!record) return false;
    const float inverseWidth = 1.0f / static_cast<float>(GR_Texture_Width(record));
    const float inverseHeight = 1.0f / static_cast<float>(GR_Texture_Height(record));
    out[0] = static_cast<float>(page->sourceX) * inverseWidth;
    out[1] = static_cast<float>(page->sourceY) * inverseHeight;
    out[2] = static_cast<float>(page->sourceX + page->targetWidth) * inverseWidth;
    out[3] = static_cast<float>(page->sourceY + page->targetHeight) * inverseHeight;
    out[4] = page->targetX;
    out[5] = page->targetY;
    out[6] = page->boundWidth ? static_cast<double>(page->sourceWidth) / page->boundWidth : 0.0;
    out[7] = page->boundHeight ? static_cast<double>(page->sourceHeight) / page->boundHeight : 0.0;
    return true;
}

// The UVs behind a handle: a page entry's own, or the whole texture for a texture id. False
// for a handle that names no page entry any more.
bool HandleUVs(int32_t handle, double out[8]) {
    if (GR_Texture_Is_Page_Handle(handle)) {
        const TexturePageEntry* page = GR_Texture_Page_From_Handle(handle);
        return page && PageUVs(page, out);
    }
    const double whole[8] = {0, 0, 1, 1, 0, 0, 1, 1};
    for (int32_t i = 0; i < 8; ++i) out[i] = whole[i];
    return true;
}

// The sprite and frame of sprite_get_texture and sprite_get_uvs: a negative frame is the
// instance's image_index rounded down. Null after the report.
CSprite* ReadSprite(CInstance* self, RValue* args, int32_t* frame) {
    const int32_t index = Arg_GetInt32(args, 0);
    *frame = Arg_GetInt32(args, 1);
    if (*frame < 0)
        *frame = CRT_TruncToInt32(std::floor(static_cast<double>(self ? self->image_index : 0.0f)));
    CSprite* sprite = Sprite_Get(index);
    if (!sprite) Runtime_ErrorNonFatal("%s", kMissingSprite);
    return sprite;
}

int32_t SpriteHandle(const CSprite* sprite, int32_t frame) {
    return HandleOf(sprite->GetPageEntry(frame), sprite->GetTextureId(frame));
}

void F_SpriteGetTexture(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    const CSprite* sprite = ReadSprite(self, args, &frame);
    if (!sprite) return;
    if (sprite->m_kind == SPRITE_VECTOR || sprite->m_kind == SPRITE_SKELETON) {
        Runtime_ErrorNonFatal("sprite_get_texture: not supported for %s",
                              sprite->m_kind == SPRITE_VECTOR ? "vector sprites" : "skeleton based sprites");
        result = RValue_Real(-1);
        return;
    }
    result = Pointer(SpriteHandle(sprite, frame));
}

void F_SpriteGetUVs(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    const CSprite* sprite = ReadSprite(self, args, &frame);
    if (!sprite) return;
    if (sprite->m_kind != SPRITE_BITMAP)
        return Runtime_ErrorNonFatal("sprite_get_uvs: not supported for vector sprites");
    double uvs[8];
    if (HandleUVs(SpriteHandle(sprite, frame), uvs)) ReturnRealArray(result, 8, uvs);
}

void F_TextureGetUVs(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    double uvs[8];
    if (HandleUVs(Arg_GetNumberOrPointer(args, 0), uvs)) ReturnRealArray(result, 8, uvs);
}

// The handle of a background or font; false (after the report) when it does not exist.
bool BackgroundHandle(RValue* args, int32_t* handle) {
    const CBackground* background = Background_Get(Arg_GetInt32(args, 0));
    if (!background) {
        Runtime_ErrorNonFatal("%s", kMissingBackground);
        return false;
    }
    *handle = HandleOf(background->GetPageEntry(), background->GetTextureId());
    return true;
}

bool FontHandle(RValue* args, int32_t* handle) {
    const int32_t index = Arg_GetInt32(args, 0);
    const CFontHV* font = Font_Exists(index) ? Font_Get(index) : nullptr;
    if (!font) {
        Runtime_ErrorNonFatal("%s", kMissingFont);
        return false;
    }
    *handle = HandleOf(font->GetPageEntry(), font->GetOwnTexture());
    return true;
}

// The first four UVs: left, top, right, bottom.
void ReturnRectangleUVs(RValue& result, int32_t handle) {
    double uvs[8];
    if (HandleUVs(handle, uvs)) ReturnRealArray(result, 4, uvs);
}

void F_BackgroundGetTexture(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    int32_t handle;
    if (BackgroundHandle(args, &handle)) result = Pointer(handle);
}

void F_BackgroundGetUVs(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    int32_t handle;
    if (BackgroundHandle(args, &handle)) ReturnRectangleUVs(result, handle);
}

void F_FontGetTexture(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    int32_t handle;
    if (FontHandle(args, &handle)) result = Pointer(handle);
}

void F_FontGetUVs(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    int32_t handle;
    if (FontHandle(args, &handle)) ReturnRectangleUVs(result, handle);
}

// Page handles lie outside the id range, so they read as missing textures here.
void F_TextureExists(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Texture_Exists(Arg_GetNumberOrPointer(args, 0)) ? 1 : 0);
}

void F_TextureGetWidth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Texture_Get_Width(Arg_GetNumberOrPointer(args, 0)));
}

void F_TextureGetHeight(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Texture_Get_Height(Arg_GetNumberOrPointer(args, 0)));
}

void F_TextureSetInterpolation(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Texture_Set_Interpolation(Arg_GetBool(args, 0));
}

void F_TextureSetInterpolationExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Texture_Set_Interpolation_Ext(Arg_GetInt32(args, 0), Arg_GetBool(args, 1));
}

void F_TextureSetBlending(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Texture_Set_Blending(Arg_GetBool(args, 0));
}

void F_TextureSetRepeat(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Texture_Set_Repeat(Arg_GetBool(args, 0));
}

void F_TextureSetRepeatExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Texture_Set_Repeat_Ext(Arg_GetInt32(args, 0), Arg_GetBool(args, 1));
}

void F_TexturePreload(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Texture_Preload(Arg_GetNumberOrPointer(args, 0));
}

void F_TextureSetPriority(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Texture_Set_Priority(Arg_GetNumberOrPointer(args, 0), Arg_GetInt32(args, 1));
}

void F_TextureGlobalScale(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t scale = Arg_GetInt32(args, 0);
    if (scale <= 0 || (scale & (scale - 1)) != 0)
        Runtime_Error("texture global scale needs to be a positive power of 2 integer (i.e. 1, 2, 4, 8....)");
    g_TextureGlobalScale = scale;
}

void F_ShaderEnableCornerId(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Texture_Set_Corner_Id(Arg_GetBool(args, 0));
}

}  // namespace

void InitTextureFunctions() {
    static const BuiltinRow kRows[] = {
        {"sprite_get_texture", F_SpriteGetTexture, 2, 1},
        {"sprite_get_uvs", F_SpriteGetUVs, 2, 1},
        {"background_get_texture", F_BackgroundGetTexture, 1, 1},
        {"background_get_uvs", F_BackgroundGetUVs, 1, 1},
        {"font_get_texture", F_FontGetTexture, 1, 1},
        {"font_get_uvs", F_FontGetUVs, 1, 1},
        {"texture_get_uvs", F_TextureGetUVs, 1, 1},
        {"texture_exists", F_TextureExists, 1, 1},
        {"texture_get_width", F_TextureGetWidth, 1, 1},
        {"texture_get_height", F_TextureGetHeight, 1, 1},
        {"texture_set_interpolation", F_TextureSetInterpolation, 1, 1},
        {"texture_set_interpolation_ext", F_TextureSetInterpolationExt, 2, 1},
        {"texture_set_blending", F_TextureSetBlending, 1, 1},
        {"texture_set_repeat", F_TextureSetRepeat, 1, 1},
        {"texture_set_repeat_ext", F_TextureSetRepeatExt, 2, 1},
        {"texture_preload", F_TexturePreload, 1, 1},
        {"texture_set_priority", F_TextureSetPriority, 2, 1},
        {"texture_global_scale", F_TextureGlobalScale, 1, 1},
        {"shader_enable_corner_id", F_ShaderEnableCornerId, 1, 1},
    };
    Code_Function_AddRows(kRows);
}
