// 2-D primitives written into the open vertex batch: points, lines, wide lines, triangles,
// rectangles, ellipses and circles, rounded rectangles, arrows, buttons, health bars and
// free-form primitives built vertex by vertex; with the draw colour and alpha they use, the
// circle precision and the clears to a colour.
//
// Colours are game colours (0xBBGGRR) unless said otherwise, converted with the draw alpha.
// Most primitives add the primitive offset (1, 1 under the half-pixel projection) to their
// coordinates so that whole coordinates land on whole pixels; triangles, arrow heads and
// free-form vertices are used as given.
#pragma once

#include <cstdint>

struct TextureRecord;

// The draw colour as the device takes it (0xAARRGGBB; the top byte is the draw alpha).
extern uint32_t g_DrawColour;
extern uint8_t g_DrawAlpha;

uint32_t GR_Make_Colour(int32_t red, int32_t green, int32_t blue);
void GR_Draw_Set_Colour(uint32_t colour);
void GR_Draw_Set_Alpha(float alpha);
// The draw colour as 0xAABBGGRR.
uint32_t GR_Draw_Get_Colour();
float GR_Draw_Get_Alpha();
// colour: 0xAABBGGRR, the alpha byte included.
void GR_Draw_Clear(uint32_t colour);
void GR_Draw_Clear_Alpha(uint32_t colour, float alpha);
// Clamped to 4..64 and rounded down to a multiple of 4.
void GR_Set_Circle_Precision(int32_t precision);
int32_t GR_Get_Circle_Precision();
void GR_Draw_Init();

void GR_Draw_Point(float x, float y);
void GR_Draw_Point_Colour(float x, float y, uint32_t colour);
void GR_Draw_Line(float x1, float y1, float x2, float y2);
void GR_Draw_Line_Colour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2);
void GR_Draw_Line_Width(float x1, float y1, float x2, float y2, float width);
void GR_Draw_Line_Width_Colour(float x1, float y1, float x2, float y2, float width, uint32_t colour1,
                               uint32_t colour2);
void GR_Draw_Triangle(float x1, float y1, float x2, float y2, float x3, float y3, bool outline);
void GR_Draw_Triangle_Colour(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour1,
                             uint32_t colour2, uint32_t colour3, bool outline);
void GR_Draw_Rectangle(float x1, float y1, float x2, float y2, bool outline);
void GR_Draw_Rectangle_Colour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2,
                              uint32_t colour3, uint32_t colour4, bool outline);
// Colours are device colours (0xAARRGGBB).
void GR_Draw_Ellipse_Base(float x1, float y1, float x2, float y2, uint32_t centreColour, uint32_t edgeColour,
                          bool outline);
void GR_Draw_Ellipse(float x1, float y1, float x2, float y2, bool outline);
void GR_Draw_Ellipse_Colour(float x1, float y1, float x2, float y2, uint32_t centreColour,
                            uint32_t edgeColour, bool outline);
void GR_Draw_Circle(float x, float y, float radius, bool outline);
void GR_Draw_Circle_Colour(float x, float y, float radius, uint32_t centreColour, uint32_t edgeColour,
                           bool outline);
// Colours are device colours (0xAARRGGBB).
void GR_Draw_RoundRect_Base(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                            uint32_t centreColour, uint32_t edgeColour, bool outline);
void GR_Draw_RoundRect(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                       bool outline);
void GR_Draw_RoundRect_Colour(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                              uint32_t centreColour, uint32_t edgeColour, bool outline);
void GR_Draw_Arrow(float x1, float y1, float x2, float y2, float size);
void GR_Draw_Button(float x1, float y1, float x2, float y2, bool up);
// direction: 0 grows right, 1 left, 2 down, 3 up.
void GR_Draw_Healthbar(float x1, float y1, float x2, float y2, float amount, uint32_t backColour,
                       uint32_t minimumColour, uint32_t middleColour, uint32_t maximumColour,
                       int32_t direction, bool showBack, bool showBorder);

// Free-form primitives. The texture is a texture handle: -1 for none, a texture id in use, or
// a page-entry handle the texture table knows (whose texture is in use); anything else is
// reported as an illegal texture. Handles are looked up, never followed as pointers.
constexpr int32_t GR_PRIMITIVE_MAX_VERTICES = 1001;
void GR_Primitive_Begin(int32_t kind, int32_t texture);
void GR_Primitive_Vertex(float x, float y);
void GR_Primitive_Vertex_Colour(float x, float y, uint32_t colour, float alpha);
void GR_Primitive_Vertex_Texture(float x, float y, float u, float v);
void GR_Primitive_Vertex_Texture_Colour(float x, float y, float u, float v, uint32_t colour, float alpha);
void GR_Primitive_End();
int32_t GR_Primitive_Vertex_Count();
