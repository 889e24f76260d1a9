#include "graphics/Graphics_Primitive.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/Graphics_Support.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"

uint32_t g_DrawColour = 0xFF000000u;
uint8_t g_DrawAlpha = 255;

namespace {

struct Vertex16 {
    float x, y, z;
    uint32_t colour;
};

struct Vertex24 {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

// A page entry's place on its texture page, in page pixels.
struct PageArea {
    float x, y;
    float targetWidth, targetHeight;
};

struct FreeFormPrimitive {
    int32_t kind = 0;
    int32_t textureId = -1;
    bool hasPage = false;
    PageArea page = {};
    float textureWidth = 1, textureHeight = 1;
    Vertex24 vertices[GR_PRIMITIVE_MAX_VERTICES];
    int32_t count = 0;
};

constexpr int32_t kMaxCirclePrecision = 64;
constexpr double kTwoPi = 6.28318530717958647692;

int32_t g_circlePrecision = 24;
float g_circleCos[kMaxCirclePrecision + 1];
float g_circleSin[kMaxCirclePrecision + 1];
FreeFormPrimitive g_primitive;

// The tables are ready before start-up sets the precision.
const bool g_circleTablesReady = (GR_Set_Circle_Precision(24), true);

uint32_t WithDrawAlpha(uint32_t colour) {
    return Colour_ToARGBByte(colour, g_DrawAlpha);
}

float OffsetX(float x) {
    return x + g_PrimitiveOffsetX;
}
float OffsetY(float y) {
    return y + g_PrimitiveOffsetY;
}

bool IsWhole(float value) {
    return std::floor(value) == value;
}

// Room for n vertices of the untextured formats; null without a device.
Vertex16* Alloc16(int32_t kind, int32_t n) {
    if (!g_D3D.device) return nullptr;
    return static_cast<Vertex16*>(GR_Batch_Alloc(kind, g_D3D.whiteTexture, GR_FORMAT_XYZC, n));
}

Vertex24* Alloc24(int32_t kind, int32_t n) {
    if (!g_D3D.device) return nullptr;
    return static_cast<Vertex24*>(GR_Batch_Alloc(kind, g_D3D.whiteTexture, GR_FORMAT_XYZCUV, n));
}

void Put(Vertex16& v, float x, float y, uint32_t colour) {
    v = {x, y, g_DrawDepth, colour};
}

void Put(Vertex24& v, float x, float y, uint32_t colour) {
    v = {x, y, g_DrawDepth, colour, 0.0f, 0.0f};
}

void Order(float& low, float& high) {
    if (low > high) std::swap(low, high);
}

void WideLine(float x1, float y1, float x2, float y2, float width, uint32_t colour1, uint32_t colour2) {
    const float length = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
    if (length == 0.0f) return;
    Vertex16* v = Alloc16(D3DPT_TRIANGLEFAN, 4);
    if (!v) return;
    const float X1 = OffsetX(x1), Y1 = OffsetY(y1), X2 = OffsetX(x2), Y2 = OffsetY(y2);
    const float half = width / 2.0f;
    const float tx = (Y2 - Y1) * half / length;
    const float ty = (X2 - X1) * half / length;
    Put(v[0], X1 - tx, Y1 + ty, colour1);
    Put(v[1], X2 - tx, Y2 + ty, colour2);
    Put(v[2], X2 + tx, Y2 - ty, colour2);
    Put(v[3], X1 + tx, Y1 - ty, colour1);
}

void FreeFormAppend(float x, float y, uint32_t colour, float u, float v) {
    if (g_primitive.count > GR_PRIMITIVE_MAX_VERTICES - 1) return;
    g_primitive.vertices[g_primitive.count++] = {x, y, g_DrawDepth, colour, u, v};
}

// Image pixels of a page entry to texture coordinates of its page.
void PageCoordinates(float* u, float* v) {
    if (!g_primitive.hasPage) return;
    const PageArea& page = g_primitive.page;
    *u = (page.targetWidth * *u + page.x) / g_primitive.textureWidth;
    *v = (page.targetHeight * *v + page.y) / g_primitive.textureHeight;
}

}  // namespace

// ---- colour and clearing ------------------------------------------------------------------

uint32_t GR_Make_Colour(int32_t red, int32_t green, int32_t blue) {
    return static_cast<uint32_t>(blue & 255) << 16 | static_cast<uint32_t>(green & 255) << 8 |
           static_cast<uint32_t>(red & 255);
}

void GR_Draw_Set_Colour(uint32_t colour) {
    g_DrawColour = WithDrawAlpha(colour);
}

void GR_Draw_Set_Alpha(float alpha) {
    alpha = std::isnan(alpha) ? 0.0f : std::clamp(alpha, 0.0f, 1.0f);
    g_DrawAlpha = static_cast<uint8_t>(alpha * 255.0f);
    g_DrawColour = Colour_SetAlphaByte(g_DrawColour, g_DrawAlpha);
}

uint32_t GR_Draw_Get_Colour() {
    const uint32_t c = g_DrawColour;
    return (c & 0xFF00FF00u) | (c & 0xFF) << 16 | (c >> 16 & 0xFF);
}

float GR_Draw_Get_Alpha() {
    return static_cast<float>(g_DrawAlpha) / 255.0f;
}

void GR_Draw_Clear(uint32_t colour) {
    GraphicsFlush();
    GR_D3D_Clear(colour, 1.0f, 0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL);
}

void GR_Draw_Clear_Alpha(uint32_t colour, float alpha) {
    GR_Draw_Clear(static_cast<uint32_t>(Colour_FloatToByte(alpha)) << 24 | (colour & 0xFFFFFF));
}

void GR_Set_Circle_Precision(int32_t precision) {
    precision = std::clamp(precision, 4, kMaxCirclePrecision);
    precision -= precision % 4;
    g_circlePrecision = precision;
    for (int32_t i = 0; i <= precision; ++i) {
        const double angle = kTwoPi * i / precision;
        g_circleCos[i] = static_cast<float>(std::cos(angle));
        g_circleSin[i] = static_cast<float>(std::sin(angle));
    }
}

int32_t GR_Get_Circle_Precision() {
    return g_circlePrecision;
}

void GR_Draw_Init() {
    GR_Set_Circle_Precision(24);
}

// ---- points and lines ---------------------------------------------------------------------

void GR_Draw_Point(float x, float y) {
    Vertex16* v = Alloc16(D3DPT_POINTLIST, 1);
    if (v) Put(v[0], OffsetX(x), OffsetY(y), g_DrawColour);
}

void GR_Draw_Point_Colour(float x, float y, uint32_t colour) {
    Vertex16* v = Alloc16(D3DPT_POINTLIST, 1);
    if (v) Put(v[0], OffsetX(x), OffsetY(y), WithDrawAlpha(colour));
}

void GR_Draw_Line(float x1, float y1, float x2, float y2) {
    Vertex16* v = Alloc16(D3DPT_LINELIST, 2);
    if (!v) return;
    Put(v[0], OffsetX(x1), OffsetY(y1), g_DrawColour);
    Put(v[1], OffsetX(x2), OffsetY(y2), g_DrawColour);
}

void GR_Draw_Line_Colour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2) {
    Vertex16* v = Alloc16(D3DPT_LINELIST, 2);
    if (!v) return;
    Put(v[0], OffsetX(x1), OffsetY(y1), WithDrawAlpha(colour1));
    Put(v[1], OffsetX(x2), OffsetY(y2), WithDrawAlpha(colour2));
}

void GR_Draw_Line_Width(float x1, float y1, float x2, float y2, float width) {
    WideLine(x1, y1, x2, y2, width, g_DrawColour, g_DrawColour);
}

void GR_Draw_Line_Width_Colour(float x1, float y1, float x2, float y2, float width, uint32_t colour1,
                               uint32_t colour2) {
    WideLine(x1, y1, x2, y2, width, WithDrawAlpha(colour1), WithDrawAlpha(colour2));
}

// ---- triangles and rectangles -----------------------------------------------------------

namespace {
void Triangle(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour1, uint32_t colour2,
              uint32_t colour3, bool outline) {
    Vertex24* v = outline ? Alloc24(D3DPT_LINESTRIP, 4) : Alloc24(D3DPT_TRIANGLELIST, 3);
    if (!v) return;
    Put(v[0], x1, y1, colour1);
    Put(v[1], x2, y2, colour2);
    Put(v[2], x3, y3, colour3);
    if (outline) Put(v[3], x1, y1, colour1);
}
}  // namespace

void GR_Draw_Triangle(float x1, float y1, float x2, float y2, float x3, float y3, bool outline) {
    Triangle(x1, y1, x2, y2, x3, y3, g_DrawColour, g_DrawColour, g_DrawColour, outline);
}

void GR_Draw_Triangle_Colour(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour1,
                             uint32_t colour2, uint32_t colour3, bool outline) {
    Triangle(x1, y1, x2, y2, x3, y3, WithDrawAlpha(colour1), WithDrawAlpha(colour2), WithDrawAlpha(colour3),
             outline);
}

void GR_Draw_Rectangle(float x1, float y1, float x2, float y2, bool outline) {
    Order(x1, x2);
    Order(y1, y2);
    const uint32_t c = g_DrawColour;
    const float X1 = OffsetX(x1), Y1 = OffsetY(y1), X2 = OffsetX(x2), Y2 = OffsetY(y2);
    if (!outline) {
        Vertex24* v = Alloc24(D3DPT_TRIANGLELIST, 6);
        if (!v) return;
        Put(v[0], x1, y1, c);
        Put(v[1], X2, y1, c);
        Put(v[2], X2, Y2, c);
        Put(v[3], X2, Y2, c);
        Put(v[4], x1, Y2, c);
        Put(v[5], x1, y1, c);
        return;
    }
    const float corners[5][2] = {{X1, Y1}, {X2, Y1}, {X2, Y2}, {X1, Y2}, {X1, Y1}};
    Vertex24* strip = Alloc24(D3DPT_LINESTRIP, 5);
    if (!strip) return;
    for (int i = 0; i < 5; ++i) Put(strip[i], corners[i][0], corners[i][1], c);
    // The corners again as points: a line strip may leave its corner pixels out.
    Vertex24* points = Alloc24(D3DPT_POINTLIST, 4);
    if (!points) return;
    for (int i = 0; i < 4; ++i) Put(points[i], corners[i][0], corners[i][1], c);
}

void GR_Draw_Rectangle_Colour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2,
                              uint32_t colour3, uint32_t colour4, bool outline) {
    x2 = OffsetX(x2);
    y2 = OffsetY(y2);
    Order(x1, x2);
    Order(y1, y2);
    if (IsWhole(x2)) x2 += 0.01f;
    if (IsWhole(y2)) y2 += 0.01f;
    Vertex24* v = Alloc24(outline ? D3DPT_LINESTRIP : D3DPT_TRIANGLEFAN, 5);
    if (!v) return;
    Put(v[0], x1, y1, WithDrawAlpha(colour1));
    Put(v[1], x2, y1, WithDrawAlpha(colour2));
    Put(v[2], x2, y2, WithDrawAlpha(colour3));
    Put(v[3], x1, y2, WithDrawAlpha(colour4));
    Put(v[4], x1, y1, WithDrawAlpha(colour1));
}

// ---- ellipses, circles and rounded rectangles ---------------------------------------------

void GR_Draw_Ellipse_Base(float x1, float y1, float x2, float y2, uint32_t centreColour, uint32_t edgeColour,
                          bool outline) {
    const float X1 = OffsetX(x1), Y1 = OffsetY(y1), X2 = OffsetX(x2), Y2 = OffsetY(y2);
    const float cx = (X1 + X2) / 2.0f, cy = (Y1 + Y2) / 2.0f;
    const float rx = std::fabs(X1 - X2) / 2.0f, ry = std::fabs(Y1 - Y2) / 2.0f;
    const int32_t n = g_circlePrecision;
    auto pointX = [&](int32_t i) { return g_circleCos[i] * rx + cx; };
    auto pointY = [&](int32_t i) { return g_circleSin[i] * ry + cy; };
    if (outline) {
        Vertex16* v = Alloc16(D3DPT_LINESTRIP, n + 1);
        if (!v) return;
        for (int32_t i = 0; i <= n; ++i) Put(v[i], pointX(i), pointY(i), edgeColour);
        return;
    }
    Vertex16* v = Alloc16(D3DPT_TRIANGLELIST, 3 * n);
    if (!v) return;
    for (int32_t i = 0; i < n; ++i) {
        Put(v[3 * i], cx, cy, centreColour);
        Put(v[3 * i + 1], pointX(i), pointY(i), edgeColour);
        Put(v[3 * i + 2], pointX(i + 1), pointY(i + 1), edgeColour);
    }
}

void GR_Draw_Ellipse(float x1, float y1, float x2, float y2, bool outline) {
    GR_Draw_Ellipse_Base(x1, y1, x2, y2, g_DrawColour, g_DrawColour, outline);
}

void GR_Draw_Ellipse_Colour(float x1, float y1, float x2, float y2, uint32_t centreColour,
                            uint32_t edgeColour, bool outline) {
    GR_Draw_Ellipse_Base(x1, y1, x2, y2, WithDrawAlpha(centreColour), WithDrawAlpha(edgeColour), outline);
}

void GR_Draw_Circle(float x, float y, float radius, bool outline) {
    GR_Draw_Ellipse_Base(x - radius, y - radius, x + radius, y + radius, g_DrawColour, g_DrawColour, outline);
}

void GR_Draw_Circle_Colour(float x, float y, float radius, uint32_t centreColour, uint32_t edgeColour,
                           bool outline) {
    GR_Draw_Ellipse_Base(x - radius, y - radius, x + radius, y + radius, WithDrawAlpha(centreColour),
                         WithDrawAlpha(edgeColour), outline);
}

void GR_Draw_RoundRect_Base(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                            uint32_t centreColour, uint32_t edgeColour, bool outline) {
    const float X1 = OffsetX(x1), Y1 = OffsetY(y1), X2 = OffsetX(x2), Y2 = OffsetY(y2);
    const float cx = (X1 + X2) / 2.0f, cy = (Y1 + Y2) / 2.0f;
    const float w = std::fabs(X2 - X1), h = std::fabs(Y2 - Y1);
    const float cw = std::min(cornerWidth, w), ch = std::min(cornerHeight, h);
    const float ax = w / 2.0f - cw / 2.0f, ay = h / 2.0f - ch / 2.0f;
    const int32_t n = g_circlePrecision;
    Vertex24* v = Alloc24(outline ? D3DPT_LINESTRIP : D3DPT_TRIANGLEFAN, n + 6);
    if (!v) return;
    Put(v[0], cx, cy, centreColour);
    // Quarter arcs about the corner centres, clockwise on screen from the bottom right.
    const float arcCentres[4][2] = {
        {cx + ax, cy + ay}, {cx - ax, cy + ay}, {cx - ax, cy - ay}, {cx + ax, cy - ay}};
    int32_t at = 1;
    for (int32_t arc = 0; arc < 4; ++arc) {
        const int32_t first = arc * n / 4;
        for (int32_t i = first; i <= first + n / 4; ++i) {
            Put(v[at++], g_circleCos[i] * cw / 2.0f + arcCentres[arc][0],
                g_circleSin[i] * ch / 2.0f + arcCentres[arc][1], edgeColour);
        }
    }
    v[at] = v[1];
    if (outline) v[0] = v[1];
}

namespace {
// Corners ordered; a whole right or bottom edge moves in by a hundredth so its pixels are left out.
void RoundRect(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight, uint32_t centre,
               uint32_t edge, bool outline) {
    Order(x1, x2);
    Order(y1, y2);
    if (IsWhole(x2)) x2 += 0.01f;
    if (IsWhole(y2)) y2 += 0.01f;
    GR_Draw_RoundRect_Base(x1, y1, x2, y2, cornerWidth, cornerHeight, centre, edge, outline);
}
}  // namespace

void GR_Draw_RoundRect(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                       bool outline) {
    RoundRect(x1, y1, x2, y2, cornerWidth, cornerHeight, g_DrawColour, g_DrawColour, outline);
}

void GR_Draw_RoundRect_Colour(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                              uint32_t centreColour, uint32_t edgeColour, bool outline) {
    RoundRect(x1, y1, x2, y2, cornerWidth, cornerHeight, WithDrawAlpha(centreColour),
              WithDrawAlpha(edgeColour), outline);
}

// ---- arrows, buttons and health bars ----------------------------------------------------

void GR_Draw_Arrow(float x1, float y1, float x2, float y2, float size) {
    const float length = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
    if (length == 0.0f) return;
    size = std::min(size, length);
    GR_Draw_Line(x1, y1, x2, y2);
    const float dx = size * (x2 - x1) / length;
    const float dy = size * (y2 - y1) / length;
    const float bx = x2 - dx, by = y2 - dy;
    Vertex24* v = Alloc24(D3DPT_TRIANGLELIST, 3);
    if (!v) return;
    Put(v[0], bx - dy / 3.0f, by + dx / 3.0f, g_DrawColour);
    Put(v[1], x2, y2, g_DrawColour);
    Put(v[2], bx + dy / 3.0f, by - dx / 3.0f, g_DrawColour);
}

void GR_Draw_Button(float x1, float y1, float x2, float y2, bool up) {
    const uint32_t light = up ? 0xFFFFFF : 0x808080;
    const uint32_t dark = up ? 0x808080 : 0xFFFFFF;
    GR_Draw_Triangle_Colour(x1, y1, x2, y1, x1, y2, light, light, light, false);
    GR_Draw_Triangle_Colour(x1, y2, x2, y1, x2, y2, dark, dark, dark, false);
    GR_Draw_Rectangle(x1 + 2, y1 + 2, x2 - 2, y2 - 2, false);
}

void GR_Draw_Healthbar(float x1, float y1, float x2, float y2, float amount, uint32_t backColour,
                       uint32_t minimumColour, uint32_t middleColour, uint32_t maximumColour,
                       int32_t direction, bool showBack, bool showBorder) {
    if (showBack) {
        GR_Draw_Rectangle_Colour(x1, y1, x2, y2, backColour, backColour, backColour, backColour, false);
        if (showBorder) GR_Draw_Rectangle_Colour(x1, y1, x2, y2, 0, 0, 0, 0, true);
    }
    amount = std::clamp(amount, 0.0f, 100.0f);
    if (!(amount > 0.0f)) return;
    const float t = amount / 100.0f;
    switch (direction) {
        case 1:
            x1 = x2 - (x2 - x1) * t;
            break;
        case 2:
            y2 = y1 + (y2 - y1) * t;
            break;
        case 3:
            y1 = y2 - (y2 - y1) * t;
            break;
        default:
            x2 = x1 + (x2 - x1) * t;
            break;
    }
    const uint32_t colour = amount <= 50.0f
                                ? Colour_Lerp(minimumColour, middleColour, amount / 50.0f)
                                : Colour_Lerp(middleColour, maximumColour, (amount - 50.0f) / 50.0f);
    GR_Draw_Rectangle_Colour(x1, y1, x2, y2, colour, colour, colour, colour, false);
    if (showBorder) GR_Draw_Rectangle_Colour(x1, y1, x2, y2, 0, 0, 0, 0, true);
}

// ---- free-form primitives -------------------------------------------------------------------

void GR_Primitive_Begin(int32_t kind, int32_t texture) {
    FreeFormPrimitive& p = g_primitive;
    p.count = 0;
    p.kind = kind;
    p.hasPage = false;
    p.textureId = -1;
    p.textureWidth = p.textureHeight = 1.0f;
    if (texture == -1) return;
    if (GR_Texture_Exists(texture)) {
        p.textureId = texture;
        return;
    }
    const TexturePageEntry* entry = GR_Texture_Page_From_Handle(texture);
    const TextureRecord* record = entry ? GR_Texture_Get(entry->texture) : nullptr;
    if (!record) {
        g_GRHooks.errorReport("Illegal texture supplied.", true);
        return;
    }
    p.hasPage = true;
    p.page = {float(entry->sourceX), float(entry->sourceY), float(entry->targetWidth),
              float(entry->targetHeight)};
    p.textureId = entry->texture;
    p.textureWidth = static_cast<float>(GR_Texture_Width(record));
    p.textureHeight = static_cast<float>(GR_Texture_Height(record));
}

void GR_Primitive_Vertex(float x, float y) {
    FreeFormAppend(x, y, g_DrawColour, 0.0f, 0.0f);
}

void GR_Primitive_Vertex_Colour(float x, float y, uint32_t colour, float alpha) {
    FreeFormAppend(x, y, Colour_ToARGBByte(colour, Colour_FloatToByte(alpha)), 0.0f, 0.0f);
}

void GR_Primitive_Vertex_Texture(float x, float y, float u, float v) {
    PageCoordinates(&u, &v);
    FreeFormAppend(x, y, g_DrawColour, u, v);
}

void GR_Primitive_Vertex_Texture_Colour(float x, float y, float u, float v, uint32_t colour, float alpha) {
    PageCoordinates(&u, &v);
    FreeFormAppend(x, y, Colour_ToARGBByte(colour, Colour_FloatToByte(alpha)), u, v);
}

void GR_Primitive_End() {
    const FreeFormPrimitive& p = g_primitive;
    if (p.kind < 1 || p.kind > 6 || !g_D3D.device) return;  // point list .. triangle fan
    if (GR_Primitive_Count(p.kind, p.count) < 1) return;
    TextureRecord* record = GR_Texture_Get(p.textureId);
    void* vertices = GR_Batch_Alloc(p.kind, record, GR_FORMAT_XYZCUV, p.count);
    std::memcpy(vertices, p.vertices, sizeof(Vertex24) * static_cast<size_t>(p.count));
}

int32_t GR_Primitive_Vertex_Count() {
    return g_primitive.count;
}
