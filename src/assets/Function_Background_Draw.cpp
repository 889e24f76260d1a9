#include "assets/Function_Background_Draw.h"

#include "assets/Background_Main.h"
#include "assets/Sprite_Main.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Primitive.h"
#include "base/GEN8.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr const char* kMissingBackground = "Trying to draw non-existing background.";

// The resource behind argument 0: a background in legacy games, a sprite in layer-mode games.
// Exactly one of the two is set, or neither after the report.
struct Target {
    CBackground* background = nullptr;
    CSprite* sprite = nullptr;
    explicit operator bool() const { return background || sprite; }
};

Target ReadTarget(RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    Target target;
    if (g_GameHeader.layerModel)
        target.sprite = Sprite_Get(index);
    else
        target.background = Background_Get(index);
    if (!target) Runtime_ErrorNonFatal("%s", kMissingBackground);
    return target;
}

void RoomSize(float* width, float* height) {
    const CRoom* room = Run_Room();
    *width = room ? static_cast<float>(room->width) : 0.0f;
    *height = room ? static_cast<float>(room->height) : 0.0f;
}

void F_DrawBackground(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const Target t = ReadTarget(args);
    if (!t) return;
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    if (t.sprite) return t.sprite->Draw(0, x, y);
    t.background->Draw(x, y);
}

void F_DrawBackgroundExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const Target t = ReadTarget(args);
    if (!t) return;
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    const float xScale = Arg_GetFloat(args, 3), yScale = Arg_GetFloat(args, 4), angle = Arg_GetFloat(args, 5);
    const uint32_t colour = Arg_GetInt32(args, 6);
    const float alpha = Arg_GetFloat(args, 7);
    if (t.sprite) return t.sprite->DrawExt(0, x, y, xScale, yScale, angle, colour, alpha);
    t.background->DrawExt(x, y, xScale, yScale, angle, colour, alpha);
}

void DrawStretched(const Target& t, RValue* args, uint32_t colour, float alpha) {
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    const float width = Arg_GetFloat(args, 3), height = Arg_GetFloat(args, 4);
    if (t.sprite) return t.sprite->DrawStretched(0, x, y, width, height, colour, alpha);
    t.background->DrawStretched(x, y, width, height, colour, alpha);
}

void F_DrawBackgroundStretched(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (const Target t = ReadTarget(args)) DrawStretched(t, args, kWhite, GR_Draw_Get_Alpha());
}

void F_DrawBackgroundStretchedExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (const Target t = ReadTarget(args))
        DrawStretched(t, args, Arg_GetInt32(args, 5), Arg_GetFloat(args, 6));
}

void DrawPart(const Target& t, RValue* args, float xScale, float yScale, uint32_t colour, float alpha) {
    const float left = Arg_GetFloat(args, 1), top = Arg_GetFloat(args, 2);
    const float width = Arg_GetFloat(args, 3), height = Arg_GetFloat(args, 4);
    const float x = Arg_GetFloat(args, 5), y = Arg_GetFloat(args, 6);
    if (t.sprite) return t.sprite->DrawPart(0, left, top, width, height, x, y, xScale, yScale, colour, alpha);
    t.background->DrawPart(left, top, width, height, x, y, xScale, yScale, colour, alpha);
}

void F_DrawBackgroundPart(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (const Target t = ReadTarget(args)) DrawPart(t, args, 1, 1, kWhite, GR_Draw_Get_Alpha());
}

void F_DrawBackgroundPartExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (const Target t = ReadTarget(args))
        DrawPart(t, args, Arg_GetFloat(args, 7), Arg_GetFloat(args, 8), Arg_GetInt32(args, 9),
                 Arg_GetFloat(args, 10));
}

void F_DrawBackgroundGeneral(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const Target t = ReadTarget(args);
    if (!t) return;
    float f[10];
    for (int32_t i = 0; i < 9; ++i) f[i] = Arg_GetFloat(args, i + 1);
    const uint32_t c1 = Arg_GetInt32(args, 10), c2 = Arg_GetInt32(args, 11);
    const uint32_t c3 = Arg_GetInt32(args, 12), c4 = Arg_GetInt32(args, 13);
    f[9] = Arg_GetFloat(args, 14);
    if (t.sprite)
        return t.sprite->DrawGeneral(0, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], c1, c2, c3, c4,
                                     f[9]);
    t.background->DrawGeneral(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], c1, c2, c3, c4, f[9]);
}

// Tiled over the whole room, from (0, 0).
void DrawTiled(const Target& t, float x, float y, float xScale, float yScale, uint32_t colour, float alpha) {
    float width, height;
    RoomSize(&width, &height);
    if (t.sprite)
        return t.sprite->DrawTiled(0, x, y, xScale, yScale, true, true, 0, 0, width, height, colour, alpha);
    t.background->DrawTiled(x, y, xScale, yScale, true, true, 0, 0, width, height, colour, alpha);
}

void F_DrawBackgroundTiled(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (const Target t = ReadTarget(args))
        DrawTiled(t, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), 1, 1, kWhite, GR_Draw_Get_Alpha());
}

void F_DrawBackgroundTiledExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (const Target t = ReadTarget(args))
        DrawTiled(t, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3),
                  Arg_GetFloat(args, 4), Arg_GetInt32(args, 5), Arg_GetFloat(args, 6));
}

}  // namespace

void InitBackgroundDrawFunctions() {
    static const BuiltinRow kRows[] = {
        {"draw_background", F_DrawBackground, 3, 0},
        {"draw_background_ext", F_DrawBackgroundExt, 8, 1},
        {"draw_background_stretched", F_DrawBackgroundStretched, 5, 0},
        {"draw_background_stretched_ext", F_DrawBackgroundStretchedExt, 7, 1},
        {"draw_background_part", F_DrawBackgroundPart, 7, 0},
        {"draw_background_part_ext", F_DrawBackgroundPartExt, 11, 1},
        {"draw_background_general", F_DrawBackgroundGeneral, 15, 1},
        {"draw_background_tiled", F_DrawBackgroundTiled, 3, 0},
        {"draw_background_tiled_ext", F_DrawBackgroundTiledExt, 7, 1},
    };
    Code_Function_AddRows(kRows);
}
