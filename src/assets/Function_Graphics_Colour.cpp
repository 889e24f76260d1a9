#include "assets/Function_Graphics_Colour.h"

#include "assets/Graphics_Colour.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Window.h"

namespace {

int32_t ViewZero() {
    return 0;
}
bool NoPath(int32_t) {
    return false;
}
void DrawNoPath(int32_t, float, float, bool) {}

constexpr DrawBuiltinHooks kDefaultHooks = {ViewZero, NoPath, DrawNoPath};

// ---- colour state and arithmetic ----------------------------------------------------------

void F_DrawSetColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Set_Colour(Arg_GetColour(args, 0));
}
void F_DrawSetAlpha(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Set_Alpha(Arg_GetFloat(args, 0));
}
void F_DrawGetColour(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetReal(result, GR_Draw_Get_Colour() & 0xFFFFFF);
}
void F_DrawGetAlpha(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetReal(result, GR_Draw_Get_Alpha());
}
void F_MakeColourRGB(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result,
                   Arg_GetInt32(args, 0) + Arg_GetInt32(args, 1) * 256.0 + Arg_GetInt32(args, 2) * 65536.0);
}
void F_MakeColourHSV(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, Colour_FromHSV(Colour_MakeHSVTriple(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1),
                                                               Arg_GetInt32(args, 2))));
}
// Signed 32-bit arithmetic truncating toward zero: a negative colour gives negative parts.
void F_ColourGetRed(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, Arg_GetInt32(args, 0) % 256);
}
void F_ColourGetGreen(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, (Arg_GetInt32(args, 0) / 256) % 256);
}
void F_ColourGetBlue(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, (Arg_GetInt32(args, 0) / 65536) % 256);
}
void F_ColourGetHue(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, Colour_GetHSV(Arg_GetColour(args, 0)).h);
}
void F_ColourGetSaturation(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, Colour_GetHSV(Arg_GetColour(args, 0)).s);
}
void F_ColourGetValue(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, Colour_GetHSV(Arg_GetColour(args, 0)).v);
}
void F_MergeColour(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result,
                   Colour_Merge(Arg_GetColour(args, 0), Arg_GetColour(args, 1), Arg_GetFloat(args, 2)));
}

// ---- render state -------------------------------------------------------------------------

void F_DrawSetBlendMode(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Set_Blend_Mode(Arg_GetInt32(args, 0));
}
void F_DrawSetBlendModeExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Set_Blend_Mode_Ext(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}
void F_DrawSetColourWriteEnable(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Set_Colour_Write_Enable(Arg_GetBool(args, 0), Arg_GetBool(args, 1), Arg_GetBool(args, 2),
                               Arg_GetBool(args, 3));
}
void F_DrawSetAlphaTest(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Set_Alpha_Test(Arg_GetBool(args, 0));
}
void F_DrawGetAlphaTest(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetFlag(result, GR_Get_Alpha_Test());
}
void F_DrawSetAlphaTestRef(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Set_Alpha_Test_Ref(Arg_GetColour(args, 0));
}
void F_DrawGetAlphaTestRef(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetReal(result, GR_Get_Alpha_Test_Ref());
}
void F_DrawClear(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Clear(Arg_GetColour(args, 0) | 0xFF000000u);
}
void F_DrawClearAlpha(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Clear_Alpha(Arg_GetColour(args, 0), Arg_GetFloat(args, 1));
}
void F_DrawSetCirclePrecision(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Set_Circle_Precision(Arg_GetInt32(args, 0));
}

// ---- primitives in the draw colour --------------------------------------------------------

void F_DrawPoint(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Point(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1));
}
void F_DrawLine(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Line(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3));
}
void F_DrawLineWidth(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Line_Width(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                       Arg_GetFloat(args, 3), Arg_GetFloat(args, 4));
}
void F_DrawRectangle(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Rectangle(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                      Arg_GetFloat(args, 3), Arg_GetBool(args, 4));
}
void F_DrawRoundRect(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_RoundRect(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                      Arg_GetFloat(args, 3), 10.0f, 10.0f, Arg_GetBool(args, 4));
}
void F_DrawRoundRectExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_RoundRect(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                      Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                      Arg_GetFloat(args, 6) > 0.0f);
}
void F_DrawTriangle(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Triangle(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                     Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                     Arg_GetFloat(args, 6) > 0.0f);
}
void F_DrawCircle(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Circle(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetBool(args, 3));
}
void F_DrawEllipse(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Ellipse(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                    Arg_GetFloat(args, 3), Arg_GetBool(args, 4));
}
void F_DrawArrow(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Arrow(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3),
                  Arg_GetFloat(args, 4));
}
void F_DrawButton(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Button(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3),
                   Arg_GetBool(args, 4));
}
void F_DrawHealthbar(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const uint32_t minimum = Arg_GetColour(args, 6), maximum = Arg_GetColour(args, 7);
    GR_Draw_Healthbar(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                      Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetColour(args, 5), minimum,
                      Colour_Merge(minimum, maximum, 0.5f), maximum, Arg_GetInt32(args, 8),
                      Arg_GetBool(args, 9), Arg_GetBool(args, 10));
}
void F_DrawPath(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t path = Arg_GetInt32(args, 0);
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    const bool absolute = Arg_GetBool(args, 3);
    if (!g_DrawBuiltinHooks.pathExists(path)) {
        Runtime_ErrorNonFatal("Trying to drawn non-existing path.");
        return;
    }
    if (absolute)
        g_DrawBuiltinHooks.pathDraw(path, 0.0f, 0.0f, true);
    else
        g_DrawBuiltinHooks.pathDraw(path, x, y, false);
}

// ---- primitives with their own colours ----------------------------------------------------

void F_DrawPointColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Point_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetColour(args, 2));
}
void F_DrawLineColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Line_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                        Arg_GetFloat(args, 3), Arg_GetColour(args, 4), Arg_GetColour(args, 5));
}
void F_DrawLineWidthColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Line_Width_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                              Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetColour(args, 5),
                              Arg_GetColour(args, 6));
}
void F_DrawRectangleColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Rectangle_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                             Arg_GetFloat(args, 3), Arg_GetColour(args, 4), Arg_GetColour(args, 5),
                             Arg_GetColour(args, 6), Arg_GetColour(args, 7), Arg_GetBool(args, 8));
}
void F_DrawRoundRectColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_RoundRect_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                             Arg_GetFloat(args, 3), 10.0f, 10.0f, Arg_GetColour(args, 4),
                             Arg_GetColour(args, 5), Arg_GetBool(args, 6));
}
void F_DrawRoundRectColourExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_RoundRect_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                             Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                             Arg_GetColour(args, 6), Arg_GetColour(args, 7), Arg_GetBool(args, 8));
}
void F_DrawTriangleColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Triangle_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                            Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                            Arg_GetColour(args, 6), Arg_GetColour(args, 7), Arg_GetColour(args, 8),
                            Arg_GetBool(args, 9));
}
void F_DrawCircleColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Circle_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                          Arg_GetColour(args, 3), Arg_GetColour(args, 4), Arg_GetBool(args, 5));
}
void F_DrawEllipseColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Draw_Ellipse_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                           Arg_GetFloat(args, 3), Arg_GetColour(args, 4), Arg_GetColour(args, 5),
                           Arg_GetBool(args, 6));
}

// ---- user primitives ----------------------------------------------------------------------

void F_DrawPrimitiveBegin(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Primitive_Begin(Arg_GetInt32(args, 0), -1);
}
void F_DrawPrimitiveBeginTexture(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Primitive_Begin(Arg_GetInt32(args, 0), Arg_GetNumberOrPointer(args, 1));
}
void F_DrawVertex(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Primitive_Vertex(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1));
}
void F_DrawVertexColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Primitive_Vertex_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetColour(args, 2),
                               Arg_GetFloat(args, 3));
}
void F_DrawVertexTexture(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Primitive_Vertex_Texture(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                Arg_GetFloat(args, 3));
}
void F_DrawVertexTextureColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Primitive_Vertex_Texture_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                       Arg_GetFloat(args, 3), Arg_GetColour(args, 4), Arg_GetFloat(args, 5));
}
void F_DrawPrimitiveEnd(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    GR_Primitive_End();
}

// ---- pixel read-back ----------------------------------------------------------------------

uint32_t PixelUnder(RValue* args) {
    int32_t x = 0, y = 0;
    Window_Map_Room_To_View(g_DrawBuiltinHooks.currentView(), Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                            &x, &y);
    return GR_Get_Pixel(x, y);
}
void F_DrawGetPixelExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, PixelUnder(args));
}
void F_DrawGetPixel(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, PixelUnder(args) & 0xFFFFFF);
}

const BuiltinRow kRows[] = {
    {"draw_set_colour", F_DrawSetColour, 1, 0},
    {"draw_set_color", F_DrawSetColour, 1, 0},
    {"draw_set_alpha", F_DrawSetAlpha, 1, 0},
    {"draw_get_colour", F_DrawGetColour, 0, 0},
    {"draw_get_color", F_DrawGetColour, 0, 0},
    {"draw_get_alpha", F_DrawGetAlpha, 0, 0},
    {"make_colour_rgb", F_MakeColourRGB, 3, 0},
    {"make_color_rgb", F_MakeColourRGB, 3, 0},
    {"make_colour", F_MakeColourRGB, 3, 0},
    {"make_color", F_MakeColourRGB, 3, 0},
    {"make_colour_hsv", F_MakeColourHSV, 3, 0},
    {"make_color_hsv", F_MakeColourHSV, 3, 0},
    {"colour_get_red", F_ColourGetRed, 1, 0},
    {"color_get_red", F_ColourGetRed, 1, 0},
    {"colour_get_green", F_ColourGetGreen, 1, 0},
    {"color_get_green", F_ColourGetGreen, 1, 0},
    {"colour_get_blue", F_ColourGetBlue, 1, 0},
    {"color_get_blue", F_ColourGetBlue, 1, 0},
    {"colour_get_hue", F_ColourGetHue, 1, 0},
    {"color_get_hue", F_ColourGetHue, 1, 0},
    {"colour_get_saturation", F_ColourGetSaturation, 1, 0},
    {"color_get_saturation", F_ColourGetSaturation, 1, 0},
    {"colour_get_value", F_ColourGetValue, 1, 0},
    {"color_get_value", F_ColourGetValue, 1, 0},
    {"merge_colour", F_MergeColour, 3, 0},
    {"merge_color", F_MergeColour, 3, 0},

    {"draw_set_blend_mode", F_DrawSetBlendMode, 1, 1},
    {"draw_set_blend_mode_ext", F_DrawSetBlendModeExt, 2, 1},
    {"draw_set_colour_write_enable", F_DrawSetColourWriteEnable, 4, 1},
    {"draw_set_color_write_enable", F_DrawSetColourWriteEnable, 4, 1},
    {"draw_set_alpha_test", F_DrawSetAlphaTest, 1, 0},
    {"draw_get_alpha_test", F_DrawGetAlphaTest, 0, 0},
    {"draw_set_alpha_test_ref_value", F_DrawSetAlphaTestRef, 1, 0},
    {"draw_get_alpha_test_ref_value", F_DrawGetAlphaTestRef, 0, 0},
    {"draw_clear", F_DrawClear, 1, 0},
    {"draw_clear_alpha", F_DrawClearAlpha, 2, 0},
    {"draw_set_circle_precision", F_DrawSetCirclePrecision, 1, 1},

    {"draw_point", F_DrawPoint, 2, 0},
    {"draw_line", F_DrawLine, 4, 0},
    {"draw_line_width", F_DrawLineWidth, 5, 0},
    {"draw_rectangle", F_DrawRectangle, 5, 0},
    {"draw_roundrect", F_DrawRoundRect, 5, 0},
    {"draw_roundrect_ext", F_DrawRoundRectExt, 7, 0},
    {"draw_triangle", F_DrawTriangle, 7, 0},
    {"draw_circle", F_DrawCircle, 4, 0},
    {"draw_ellipse", F_DrawEllipse, 5, 0},
    {"draw_arrow", F_DrawArrow, 5, 0},
    {"draw_button", F_DrawButton, 5, 0},
    {"draw_healthbar", F_DrawHealthbar, 11, 0},
    {"draw_path", F_DrawPath, 4, 0},

    {"draw_point_colour", F_DrawPointColour, 3, 1},
    {"draw_point_color", F_DrawPointColour, 3, 1},
    {"draw_line_colour", F_DrawLineColour, 6, 1},
    {"draw_line_color", F_DrawLineColour, 6, 1},
    {"draw_line_width_colour", F_DrawLineWidthColour, 7, 1},
    {"draw_line_width_color", F_DrawLineWidthColour, 7, 1},
    {"draw_rectangle_colour", F_DrawRectangleColour, 9, 1},
    {"draw_rectangle_color", F_DrawRectangleColour, 9, 1},
    {"draw_roundrect_colour", F_DrawRoundRectColour, 7, 1},
    {"draw_roundrect_color", F_DrawRoundRectColour, 7, 1},
    {"draw_roundrect_colour_ext", F_DrawRoundRectColourExt, 9, 1},
    {"draw_roundrect_color_ext", F_DrawRoundRectColourExt, 9, 1},
    {"draw_triangle_colour", F_DrawTriangleColour, 10, 1},
    {"draw_triangle_color", F_DrawTriangleColour, 10, 1},
    {"draw_circle_colour", F_DrawCircleColour, 6, 1},
    {"draw_circle_color", F_DrawCircleColour, 6, 1},
    {"draw_ellipse_colour", F_DrawEllipseColour, 7, 1},
    {"draw_ellipse_color", F_DrawEllipseColour, 7, 1},

    {"draw_primitive_begin", F_DrawPrimitiveBegin, 1, 1},
    {"draw_primitive_begin_texture", F_DrawPrimitiveBeginTexture, 2, 1},
    {"draw_vertex", F_DrawVertex, 2, 1},
    {"draw_vertex_colour", F_DrawVertexColour, 4, 1},
    {"draw_vertex_color", F_DrawVertexColour, 4, 1},
    {"draw_vertex_texture", F_DrawVertexTexture, 4, 1},
    {"draw_vertex_texture_colour", F_DrawVertexTextureColour, 6, 1},
    {"draw_vertex_texture_color", F_DrawVertexTextureColour, 6, 1},
    {"draw_primitive_end", F_DrawPrimitiveEnd, 0, 1},

    {"draw_getpixel_ext", F_DrawGetPixelExt, 2, 0},
    {"draw_getpixel", F_DrawGetPixel, 2, 0},
};

}  // namespace

DrawBuiltinHooks g_DrawBuiltinHooks = kDefaultHooks;

void DrawBuiltinHooks_Reset() {
    g_DrawBuiltinHooks = kDefaultHooks;
}

void InitColourFunctions() {
    Code_Function_AddRows(kRows);
}

void Direct_draw_set_blend_mode(int32_t mode) {
    GR_Set_Blend_Mode(mode);
}
