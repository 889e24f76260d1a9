#include "assets/Function_Sprite_Draw.h"

#include <cmath>

#include "assets/ImageDecode.h"
#include "assets/Sprite_Main.h"
#include "core/CRuntimeCompat.h"
#include "core/Code_Function.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "data/Common.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "world/Room_Class.h"
#include "world/Run.h"

CInstance* Draw_CurrentInstance = nullptr;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int32_t kSurfaceSideLimit = 8192;
constexpr const char* kMissingSprite = "Trying to draw non-existing sprite.";
constexpr const char* kMissingSurface = "Trying to use non-existing surface.";

void Report(const char* message) {
    Runtime_ErrorNonFatal("%s", message);
}

int32_t Floor(float value) {
    return CRT_TruncToInt32(std::floor(static_cast<double>(value)));
}

float ImageIndex(const CInstance* self) {
    return self ? self->image_index : 0.0f;
}

// The room the tiled draws cover: from (0, 0) to the current room's size.
void RoomSize(float* width, float* height) {
    const CRoom* room = Run_Room();
    *width = room ? static_cast<float>(room->width) : 0.0f;
    *height = room ? static_cast<float>(room->height) : 0.0f;
}

// The shared reader of the draw_sprite family: a negative frame is the instance's image_index
// rounded down. Null (after the report) when the sprite does not exist.
CSprite* DrawSprite_ReadArgs(CInstance* self, RValue* args, int32_t* frame) {
    *frame = Arg_GetInt32(args, 1);
    if (*frame < 0) *frame = Floor(ImageIndex(self));
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    if (!sprite) Report(kMissingSprite);
    return sprite;
}

// The built-ins that cannot draw vector or skeleton frames say so in their own words.
bool RefuseKind(const CSprite* sprite, const char* name) {
    if (sprite->m_kind == SPRITE_VECTOR) {
        Runtime_ErrorNonFatal("%s: not supported for vector sprites", name);
        return true;
    }
    if (sprite->m_kind == SPRITE_SKELETON) {
        Runtime_ErrorNonFatal("%s: not supported for skeleton based sprites", name);
        return true;
    }
    return false;
}

RValue Pointer(intptr_t value) {
    RValue v = RValue_Undefined();
    v.ptr = reinterpret_cast<void*>(value);
    v.kind = VALUE_PTR;
    return v;
}

// ---- the sprite family ----------------------------------------------------------------------

void F_DrawSelf(RValue&, CInstance* self, CInstance*, int32_t, RValue*) {
    Draw_Self(self);
}

void F_DrawSprite(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    if (CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame))
        sprite->Draw(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3));
}

void F_DrawSpriteExt(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    if (CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame)) {
        sprite->DrawExt(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                        Arg_GetFloat(args, 5), Arg_GetFloat(args, 6), Arg_GetInt32(args, 7),
                        Arg_GetFloat(args, 8));
    }
}

void F_DrawSpritePos(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 0));
    if (!sprite) return Report(kMissingSprite);
    if (RefuseKind(sprite, "draw_sprite_pos")) return;
    float corners[8];
    for (int32_t i = 0; i < 8; ++i) corners[i] = Arg_GetFloat(args, 2 + i);
    sprite->DrawPos(Arg_GetInt32(args, 1), corners[0], corners[1], corners[2], corners[3], corners[4],
                    corners[5], corners[6], corners[7], kWhite, Arg_GetFloat(args, 10));
}

void F_DrawSpriteStretched(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    if (CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame)) {
        sprite->DrawStretched(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                              Arg_GetFloat(args, 5), kWhite, GR_Draw_Get_Alpha());
    }
}

void F_DrawSpriteStretchedExt(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    if (CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame)) {
        sprite->DrawStretched(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                              Arg_GetFloat(args, 5), Arg_GetInt32(args, 6), Arg_GetFloat(args, 7));
    }
}

void F_DrawSpritePart(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame);
    if (!sprite || RefuseKind(sprite, "draw_sprite_part")) return;
    sprite->DrawPart(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                     Arg_GetFloat(args, 5), Arg_GetFloat(args, 6), Arg_GetFloat(args, 7), 1, 1, kWhite,
                     GR_Draw_Get_Alpha());
}

void F_DrawSpritePartExt(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame);
    if (!sprite || RefuseKind(sprite, "draw_sprite_part_ext")) return;
    sprite->DrawPart(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                     Arg_GetFloat(args, 5), Arg_GetFloat(args, 6), Arg_GetFloat(args, 7),
                     Arg_GetFloat(args, 8), Arg_GetFloat(args, 9), Arg_GetInt32(args, 10),
                     Arg_GetFloat(args, 11));
}

void F_DrawSpriteGeneral(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame);
    if (!sprite || RefuseKind(sprite, "draw_sprite_general")) return;
    sprite->DrawGeneral(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                        Arg_GetFloat(args, 5), Arg_GetFloat(args, 6), Arg_GetFloat(args, 7),
                        Arg_GetFloat(args, 8), Arg_GetFloat(args, 9), Arg_GetFloat(args, 10),
                        Arg_GetInt32(args, 11), Arg_GetInt32(args, 12), Arg_GetInt32(args, 13),
                        Arg_GetInt32(args, 14), Arg_GetFloat(args, 15));
}

void F_DrawSpriteTiled(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame);
    if (!sprite) return;
    float width, height;
    RoomSize(&width, &height);
    sprite->DrawTiled(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), 1, 1, true, true, 0, 0, width,
                      height, kWhite, GR_Draw_Get_Alpha());
}

void F_DrawSpriteTiledExt(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    int32_t frame;
    CSprite* sprite = DrawSprite_ReadArgs(self, args, &frame);
    if (!sprite) return;
    float width, height;
    RoomSize(&width, &height);
    sprite->DrawTiled(frame, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                      Arg_GetFloat(args, 5), true, true, 0, 0, width, height, Arg_GetInt32(args, 6),
                      Arg_GetFloat(args, 7));
}

// ---- the surface family --------------------------------------------------------------------

void F_SurfaceCreate(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Surface_Create(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), -1));
}

void F_SurfaceCreateSpecial(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(
        GR_Surface_Create_Special(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), -1, Arg_GetInt32(args, 2)));
}

void F_SurfaceCreateExt(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Report("surface_create_ext() not supported");
    result = RValue_Real(-1);
}

void F_SurfaceResize(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t id = Arg_GetInt32(args, 0);
    const int32_t width = Arg_GetInt32(args, 1), height = Arg_GetInt32(args, 2);
    if (width < 1 || height < 1 || width > kSurfaceSideLimit || height > kSurfaceSideLimit)
        return Report("Invalid surface dimensions");
    if (id == GR_Surface_Application_Id()) {
        // The room drawing makes the application surface again at the start of its next frame.
        g_RunState.pendingSurfaceWidth = width;
        g_RunState.pendingSurfaceHeight = height;
        result = RValue_Real(1);
        return;
    }
    if (!GR_Surface_Exists(id)) return Report("Surface does not exist");
    if (GR_Surface_Resize(id, width, height)) result = RValue_Real(1);
}

void F_SurfaceFree(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Surface_Free(Arg_GetInt32(args, 0), false);
}

void F_SurfaceExists(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Surface_Exists(Arg_GetInt32(args, 0)) ? 1 : 0);
}

void F_SurfaceGetWidth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Surface_Get_Width(Arg_GetInt32(args, 0)));
}

void F_SurfaceGetHeight(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Surface_Get_Height(Arg_GetInt32(args, 0)));
}

// A texture id inside a pointer value: the texture table looks it up, nothing follows it.
void F_SurfaceGetTexture(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = Pointer(GR_Surface_Get_Texture(Arg_GetInt32(args, 0)));
}

void F_SurfaceSetTarget(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Surface_Set_Target(0, Arg_GetInt32(args, 0)) ? 1 : 0);
}

void F_SurfaceSetTargetExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(GR_Surface_Set_Target(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1)) ? 1 : 0);
}

void F_SurfaceResetTarget(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(GR_Surface_Reset_Target() ? 1 : 0);
}

// The drawing rows check the surface before reading their other arguments.
bool SurfaceArgument(RValue* args) {
    if (GR_Surface_Exists(Arg_GetInt32(args, 0))) return true;
    Report(kMissingSurface);
    return false;
}

void F_DrawSurface(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (!SurfaceArgument(args)) return;
    GR_Surface_Draw(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}

void F_DrawSurfaceExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (!SurfaceArgument(args)) return;
    GR_Surface_Draw_Ext(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                        Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                        Arg_GetInt32(args, 6), Arg_GetFloat(args, 7));
}

void F_DrawSurfaceStretched(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (!SurfaceArgument(args)) return;
    GR_Surface_Draw_Stretched(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                              Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), kWhite, GR_Draw_Get_Alpha());
}

void F_DrawSurfaceStretchedExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (!SurfaceArgument(args)) return;
    GR_Surface_Draw_Stretched(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                              Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetInt32(args, 5),
                              Arg_GetFloat(args, 6));
}

// The part rows read every argument first; the surface layer reports a missing surface.
void F_DrawSurfacePart(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Surface_Draw_Part(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                         Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                         Arg_GetFloat(args, 6), 1, 1, kWhite, GR_Draw_Get_Alpha());
}

void F_DrawSurfacePartExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Surface_Draw_Part(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                         Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                         Arg_GetFloat(args, 6), Arg_GetFloat(args, 7), Arg_GetFloat(args, 8),
                         Arg_GetInt32(args, 9), Arg_GetFloat(args, 10));
}

void F_DrawSurfaceGeneral(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (!SurfaceArgument(args)) return;
    GR_Surface_Draw_General(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                            Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                            Arg_GetFloat(args, 6), Arg_GetFloat(args, 7), Arg_GetFloat(args, 8),
                            Arg_GetFloat(args, 9), Arg_GetInt32(args, 10), Arg_GetInt32(args, 11),
                            Arg_GetInt32(args, 12), Arg_GetInt32(args, 13), Arg_GetFloat(args, 14));
}

void F_DrawSurfaceTiled(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (!SurfaceArgument(args)) return;
    float width, height;
    RoomSize(&width, &height);
    GR_Surface_Draw_Tiled(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), 1, 1, true,
                          true, 0, 0, width, height, kWhite, GR_Draw_Get_Alpha());
}

void F_DrawSurfaceTiledExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (!SurfaceArgument(args)) return;
    float width, height;
    RoomSize(&width, &height);
    GR_Surface_Draw_Tiled(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                          Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), true, true, 0, 0, width, height,
                          Arg_GetInt32(args, 5), Arg_GetFloat(args, 6));
}

// ---- reading surfaces back -------------------------------------------------------------------

TextureRecord* SurfaceTexture(int32_t id) {
    return GR_Texture_Get(GR_Surface_Get_Texture(id));
}

// The pixels as the PNG writer takes them; nothing is reported when they cannot be read.
void SavePixels(int32_t id, const char* name, int32_t x, int32_t y, int32_t width, int32_t height) {
    uint32_t* pixels = GR_D3D_Read_Texture_Pixels(SurfaceTexture(id), x, y, width, height);
    if (!pixels) return;
    Pixels_SwapRedBlue(pixels, width, height);
    if (name) write_png_file(name, reinterpret_cast<const uint8_t*>(pixels), width, height);
    MEM_FREE(pixels);
}

void F_SurfaceSave(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t id = Arg_GetInt32(args, 0);
    const char* name = Arg_GetString(args, 1);
    if (!GR_Surface_Exists(id)) return Report(kMissingSurface);
    SavePixels(id, name, 0, 0, GR_Surface_Get_Width(id), GR_Surface_Get_Height(id));
}

void F_SurfaceSavePart(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t id = Arg_GetInt32(args, 0);
    const char* name = Arg_GetString(args, 1);
    const int32_t x = Arg_GetInt32(args, 2), y = Arg_GetInt32(args, 3);
    const int32_t width = Arg_GetInt32(args, 4), height = Arg_GetInt32(args, 5);
    if (!GR_Surface_Exists(id)) return Report(kMissingSurface);
    SavePixels(id, name, x, y, width, height);
}

// 0xAABBGGRR of one pixel, as an unsigned number; undefined after a report.
bool ReadPixel(RValue* args, double* value) {
    const int32_t id = Arg_GetInt32(args, 0);
    if (!GR_Surface_Exists(id)) {
        Report(kMissingSurface);
        return false;
    }
    *value = 0;
    uint32_t* pixel =
        GR_D3D_Read_Texture_Pixels(SurfaceTexture(id), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), 1, 1);
    if (pixel) {
        const uint32_t p = *pixel;
        *value = (p & 0xFF00FF00u) | (p & 0xFF) << 16 | (p >> 16 & 0xFF);
        MEM_FREE(pixel);
    }
    return true;
}

void F_SurfaceGetPixelExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    double value;
    if (ReadPixel(args, &value)) result = RValue_Real(value);
}

void F_SurfaceGetPixel(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    double value = 0;
    ReadPixel(args, &value);
    result = RValue_Real(static_cast<uint32_t>(value) & 0xFFFFFF);
}

void CopyRegion(int32_t destination, int32_t x, int32_t y, int32_t source, int32_t sx, int32_t sy,
                int32_t width, int32_t height) {
    if (!GR_Surface_Exists(destination) || !GR_Surface_Exists(source)) return Report(kMissingSurface);
    TextureRecord* to = SurfaceTexture(destination);
    TextureRecord* from = SurfaceTexture(source);
    if (to && from) GR_D3D_Copy_Texture_Region(to, x, y, from, sx, sy, width, height);
}

void F_SurfaceCopy(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t source = Arg_GetInt32(args, 3);
    CopyRegion(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), source, 0, 0,
               GR_Surface_Get_Width(source), GR_Surface_Get_Height(source));
}

void F_SurfaceCopyPart(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    CopyRegion(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
               Arg_GetInt32(args, 4), Arg_GetInt32(args, 5), Arg_GetInt32(args, 6), Arg_GetInt32(args, 7));
}

}  // namespace

void Draw_Self(CInstance* self) {
    CSprite* sprite = self ? Sprite_Get(self->sprite_index) : nullptr;
    if (!sprite) return Report(kMissingSprite);
    Draw_CurrentInstance = self;
    sprite->DrawExt(Floor(self->image_index), self->x, self->y, self->image_xscale, self->image_yscale,
                    self->image_angle, self->image_blend, self->image_alpha);
    Draw_CurrentInstance = nullptr;
}

void Direct_draw_sprite(CInstance* self, int32_t sprite, int32_t frame, float x, float y) {
    if (frame < 0) frame = CRT_TruncToInt32(ImageIndex(self));
    if (CSprite* s = Sprite_Get(sprite)) s->Draw(frame, x, y);
}

void Direct_draw_sprite_ext(CInstance* self, int32_t sprite, int32_t frame, float x, float y, float xScale,
                            float yScale, float angle, uint32_t colour, float alpha) {
    if (frame < 0) frame = CRT_TruncToInt32(ImageIndex(self));
    if (CSprite* s = Sprite_Get(sprite)) s->DrawExt(frame, x, y, xScale, yScale, angle, colour, alpha);
}

void InitSpriteDrawFunctions() {
    static const BuiltinRow kRows[] = {
        {"draw_self", F_DrawSelf, 0, 0},
        {"draw_sprite", F_DrawSprite, 4, 0},
        {"draw_sprite_ext", F_DrawSpriteExt, 9, 1},
        {"draw_sprite_pos", F_DrawSpritePos, 11, 0},
        {"draw_sprite_stretched", F_DrawSpriteStretched, 6, 0},
        {"draw_sprite_stretched_ext", F_DrawSpriteStretchedExt, 8, 1},
        {"draw_sprite_part", F_DrawSpritePart, 8, 0},
        {"draw_sprite_part_ext", F_DrawSpritePartExt, 12, 1},
        {"draw_sprite_general", F_DrawSpriteGeneral, 16, 1},
        {"draw_sprite_tiled", F_DrawSpriteTiled, 4, 0},
        {"draw_sprite_tiled_ext", F_DrawSpriteTiledExt, 8, 1},
        {"surface_create", F_SurfaceCreate, 2, 1},
        {"surface_create_special", F_SurfaceCreateSpecial, 3, 1},
        {"surface_create_ext", F_SurfaceCreateExt, 3, 1},
        {"surface_resize", F_SurfaceResize, 3, 1},
        {"surface_free", F_SurfaceFree, 1, 1},
        {"surface_exists", F_SurfaceExists, 1, 1},
        {"surface_get_width", F_SurfaceGetWidth, 1, 1},
        {"surface_get_height", F_SurfaceGetHeight, 1, 1},
        {"surface_get_texture", F_SurfaceGetTexture, 1, 1},
        {"surface_set_target", F_SurfaceSetTarget, 1, 1},
        {"surface_set_target_ext", F_SurfaceSetTargetExt, 2, 1},
        {"surface_reset_target", F_SurfaceResetTarget, 0, 1},
        {"draw_surface", F_DrawSurface, 3, 1},
        {"draw_surface_ext", F_DrawSurfaceExt, 8, 1},
        {"draw_surface_stretched", F_DrawSurfaceStretched, 5, 1},
        {"draw_surface_stretched_ext", F_DrawSurfaceStretchedExt, 7, 1},
        {"draw_surface_part", F_DrawSurfacePart, 7, 1},
        {"draw_surface_part_ext", F_DrawSurfacePartExt, 11, 1},
        {"draw_surface_general", F_DrawSurfaceGeneral, 15, 1},
        {"draw_surface_tiled", F_DrawSurfaceTiled, 3, 1},
        {"draw_surface_tiled_ext", F_DrawSurfaceTiledExt, 7, 1},
        {"surface_save", F_SurfaceSave, 2, 1},
        {"surface_save_part", F_SurfaceSavePart, 6, 1},
        {"surface_getpixel", F_SurfaceGetPixel, 3, 1},
        {"surface_getpixel_ext", F_SurfaceGetPixelExt, 3, 1},
        {"surface_copy", F_SurfaceCopy, 4, 1},
        {"surface_copy_part", F_SurfaceCopyPart, 8, 1},
    };
    Code_Function_AddRows(kRows);
}
