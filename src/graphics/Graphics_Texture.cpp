#include "graphics/Graphics_Texture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "core/MemoryManager.h"
#include "graphics/BuiltinImages.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/TexturesM.h"
#include "platform/Device.h"
#include "base/TextureChunks.h"

namespace {

float Opaque() {
    return 1.0f;
}
bool Always2D() {
    return true;
}

}  // namespace

GR_TextureHooks g_TextureHooks = {Opaque, Always2D};

namespace {

TextureEntry** g_entries = nullptr;
int32_t g_entryCount = 0;
bool g_cornerId = false;

// Page-entry handles: index + 1 under the tag; slots of forgotten entries stay null.
std::vector<TexturePageEntry*> g_pageHandles;
std::unordered_map<TexturePageEntry*, uint32_t> g_pageHandleOf;

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(Vertex) == 24, "the 24-byte vertex format");

enum Corner { kTopLeft, kTopRight, kBottomRight, kBottomLeft };

float SafeReciprocal(int32_t size) {
    return size > 0 ? 1.0f / static_cast<float>(size) : 1.0f;
}

int16_t Side16(int32_t side) {
    return static_cast<int16_t>(std::clamp(side, 0, 32767));
}

// Game colour and alpha as a device colour; alpha x 255 truncated toward zero and clamped.
uint32_t ToARGB(uint32_t colour, float alpha) {
    const float scaled = alpha * 255.0f;
    const uint32_t a = scaled > 255.0f ? 255u : scaled > 0.0f ? static_cast<uint32_t>(scaled) : 0u;
    return a << 24 | (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// The same with alpha x 255 clamped and rounded to the nearest integer.
uint32_t ToARGBRounded(uint32_t colour, float alpha) {
    const float scaled = std::clamp(alpha * 255.0f, 0.0f, 255.0f);
    const uint32_t a = std::isnan(scaled) ? 0u : static_cast<uint32_t>(std::lround(scaled));
    return a << 24 | (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

uint32_t CornerMark(uint32_t colour, Corner corner) {
    if (!g_cornerId) return colour;
    colour &= ~0x00010001u;
    if (corner == kTopRight || corner == kBottomLeft) colour |= 0x1;
    if (corner == kBottomRight || corner == kBottomLeft) colour |= 0x10000;
    return colour;
}

float DrawAlpha() {
    return g_TextureHooks.drawAlpha ? g_TextureHooks.drawAlpha() : 1.0f;
}

// The entry of an id in use whose record exists: what every quad needs.
TextureEntry* Drawable(int32_t id) {
    TextureEntry* entry = GR_Texture_Get_Entry(id);
    return entry && entry->record ? entry : nullptr;
}

// Four corners of a quad: offsets from a pivot, turned by the angle unless it is below the
// threshold.
struct Quad {
    float x[4], y[4];
};

Quad PlaceQuad(float x, float y, float left, float top, float right, float bottom, float angle,
               float threshold) {
    const float px[4] = {left, right, right, left};
    const float py[4] = {top, top, bottom, bottom};
    Quad q;
    if (std::fabs(angle) < threshold) {
        for (int i = 0; i < 4; ++i) {
            q.x[i] = x + px[i];
            q.y[i] = y + py[i];
        }
        return q;
    }
    const float s = std::sin(angle), c = std::cos(angle);
    for (int i = 0; i < 4; ++i) {
        q.x[i] = x + px[i] * c + py[i] * s;
        q.y[i] = y - px[i] * s + py[i] * c;
    }
    return q;
}

// Writes the six vertices of a quad in the order the corners are listed.
void WriteQuad(TextureRecord* record, const Quad& q, const Corner (&order)[6], const uint32_t (&colours)[4],
               float leftU, float topV, float rightU, float bottomV, bool marks) {
    auto* v = static_cast<Vertex*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, record, GR_FORMAT_XYZCUV, 6));
    const float u[4] = {leftU, rightU, rightU, leftU};
    const float vv[4] = {topV, topV, bottomV, bottomV};
    for (int i = 0; i < 6; ++i) {
        const Corner c = order[i];
        const uint32_t colour = marks && g_cornerId ? CornerMark(colours[c], c) : colours[c];
        v[i] = {q.x[c], q.y[c], g_DrawDepth, colour, u[c], vv[c]};
    }
}

constexpr Corner kCommonOrder[6] = {kTopLeft, kTopRight, kBottomRight, kBottomRight, kBottomLeft, kTopLeft};
constexpr Corner kPartOrder[6] = {kTopLeft, kTopRight, kBottomLeft, kTopRight, kBottomRight, kBottomLeft};
constexpr Corner kTiledOrder[6] = {kBottomLeft, kTopLeft, kTopRight, kTopRight, kBottomRight, kBottomLeft};

// A page entry whose texture can be drawn, with the target size's 0 -> 1 rule applied in place
// when asked.
TextureEntry* PageTexture(TexturePageEntry* entry, bool fixTargetSize) {
    if (!entry) return nullptr;
    TextureEntry* texture = Drawable(entry->texture);
    if (!texture) return nullptr;
    if (fixTargetSize) {
        if (entry->targetWidth == 0) entry->targetWidth = 1;
        if (entry->targetHeight == 0) entry->targetHeight = 1;
    }
    return texture;
}

struct PageUV {
    float left, top, right, bottom;
};

PageUV PageCoordinates(const TexturePageEntry* entry, const TextureEntry* texture) {
    return {entry->sourceX * texture->invWidth, entry->sourceY * texture->invHeight,
            (entry->sourceX + entry->sourceWidth) * texture->invWidth,
            (entry->sourceY + entry->sourceHeight) * texture->invHeight};
}

// The margin step shared by the page-entry part routines: a part that starts in the trimmed-away
// margin is shortened and moved to where the trimmed pixels begin.
struct PartStart {
    float x, y, width, height, sourceX, sourceY;
};

PartStart ClipToTrimmed(const TexturePageEntry* entry, float left, float top, float width, float height,
                        float x, float y, float xScale, float yScale, float s, float c) {
    PartStart p = {x, y, width, height, 0.0f, 0.0f};
    if (entry->targetX > left) {
        const float d = entry->targetX - left;
        p.width -= d;
        p.x += std::trunc(d * c * xScale);
        p.y -= std::trunc(d * s * yScale);
    } else {
        p.sourceX = left - entry->targetX;
    }
    if (entry->targetY > top) {
        const float d = entry->targetY - top;
        p.height -= d;
        p.x += std::trunc(d * s * xScale);
        p.y += std::trunc(d * c * yScale);
    } else {
        p.sourceY = top - entry->targetY;
    }
    return p;
}

// Where the tiles of one direction start: the image's own place when not tiled; otherwise its
// place moved by whole tiles to the last start at or left of (above) the view, such that the
// first tile still reaches into the view.
int64_t TileStart(float position, int32_t tile, float viewStart, bool tiled) {
    int64_t start = std::llround(std::clamp(position, -4e18f, 4e18f));
    if (!tiled) return start;
    start %= tile;
    if (start > 0) start -= tile;
    const double behind = double(viewStart) - double(start + tile);
    if (behind > 0) start += tile * static_cast<int64_t>(std::ceil(std::min(behind, 4e18) / tile));
    return start;
}

}  // namespace

// ---- the table -----------------------------------------------------------------------------

int32_t GR_Texture_Alloc_Slot() {
    for (int32_t i = 0; i < g_entryCount; ++i) {
        if (!g_entries[i]->inUse) return i;
    }
    g_entries =
        static_cast<TextureEntry**>(MEM_REALLOC(g_entries, sizeof(TextureEntry*) * (g_entryCount + 1)));
    g_entries[g_entryCount] = static_cast<TextureEntry*>(MEM_ALLOC(sizeof(TextureEntry)));
    return g_entryCount++;
}

namespace {

int32_t FillSlot(TextureRecord* record, int32_t width, int32_t height, float invWidth, float invHeight) {
    const int32_t id = GR_Texture_Alloc_Slot();
    TextureEntry* entry = g_entries[id];
    *entry = {record, Side16(width), Side16(height), invWidth, invHeight, 1};
    return id;
}

int32_t FillSlotFromRecord(TextureRecord* record, int32_t width, int32_t height) {
    return FillSlot(record, width, height, record ? SafeReciprocal(GR_Texture_Width(record)) : 1.0f,
                    record ? SafeReciprocal(GR_Texture_Height(record)) : 1.0f);
}

}  // namespace

int32_t GR_Texture_Create_Empty(int32_t width, int32_t height, bool renderTarget, bool withDepth,
                                int32_t kind) {
    const uint32_t flags = renderTarget ? TEXCREATE_RENDER_TARGET | (withDepth ? TEXCREATE_DEPTH : 0u) : 0u;
    const int32_t format = kind == 1 ? 12 : kind == 2 ? 13 : TEXFMT_A8R8G8B8;
    return FillSlotFromRecord(GR_Texture_Create(width, height, flags, format), width, height);
}

int32_t GR_Texture_Add_Record(TextureRecord* record, int32_t width, int32_t height) {
    return FillSlot(record, width, height, SafeReciprocal(width), SafeReciprocal(height));
}

int32_t GR_Texture_Create_From_Pixels(int32_t width, int32_t height, const void* data, uint32_t dataSize) {
    if (width > 0 && height > 0 && uint64_t(dataSize) == uint64_t(width) * height * 4) {
        GR_ImageInfo info;
        return FillSlotFromRecord(GR_Texture_Create_From_RGBA(data, width, height, &info), width, height);
    }
    GR_ImageInfo info;
    TextureRecord* record =
        GR_Texture_Create_From_Blob(static_cast<const uint8_t*>(data), dataSize, &info, TEXFMT_A8R8G8B8);
    return FillSlot(record, width, height, record ? SafeReciprocal(int32_t(info.Width)) : 1.0f,
                    record ? SafeReciprocal(int32_t(info.Height)) : 1.0f);
}

int32_t GR_Texture_Create_From_Data(const uint8_t* blob, uint32_t length, bool, int32_t) {
    GR_ImageInfo info;
    TextureRecord* record = GR_Texture_Create_From_Blob(blob, length, &info, TEXFMT_A8R8G8B8);
    if (!record) return -1;
    const auto width = static_cast<int32_t>(info.Width), height = static_cast<int32_t>(info.Height);
    return FillSlot(record, width, height, SafeReciprocal(width), SafeReciprocal(height));
}

int32_t GR_Texture_Create_From_Alpha(int32_t width, int32_t height, const uint8_t* coverage) {
    if (!coverage || width < 1 || height < 1) return -1;
    const uint64_t count = uint64_t(width) * height;
    auto* pixels = static_cast<uint32_t*>(MEM_ALLOC_RAW(count * 4));
    for (uint64_t i = 0; i < count; ++i) pixels[i] = uint32_t{coverage[i]} << 24 | 0xFFFFFF;
    const int32_t id = GR_Texture_Alloc_Slot();
    TextureRecord* record = GR_Texture_Create(width, height, 0, TEXFMT_A8R8G8B8);
    *g_entries[id] = {record,
                      Side16(width),
                      Side16(height),
                      record ? SafeReciprocal(GR_Texture_Width(record)) : 1.0f,
                      record ? SafeReciprocal(GR_Texture_Height(record)) : 1.0f,
                      1};
    if (!GR_Texture_Upload(record, 0, width, height, pixels)) {
        GR_Texture_Free(id);
        MEM_FREE(pixels);
        return -1;
    }
    MEM_FREE(pixels);
    return id;
}

void GR_Texture_Free(int32_t id) {
    TextureEntry* entry = GR_Texture_Get_Entry(id);
    if (!entry) return;
    GR_Texture_Free_Record(entry->record);
    entry->record = nullptr;
    entry->inUse = 0;
}

bool GR_Texture_Exists(int32_t id) {
    return GR_Texture_Get_Entry(id) != nullptr;
}

TextureEntry* GR_Texture_Get_Entry(int32_t id) {
    if (id < 0 || id >= g_entryCount || !g_entries[id]->inUse) return nullptr;
    return g_entries[id];
}

TextureRecord* GR_Texture_Get(int32_t id) {
    TextureEntry* entry = GR_Texture_Get_Entry(id);
    return entry ? entry->record : nullptr;
}

int32_t GR_Texture_Count() {
    return g_entryCount;
}

float GR_Texture_Get_Width(int32_t id) {
    const TextureEntry* entry = GR_Texture_Get_Entry(id);
    return entry ? entry->width * entry->invWidth : 1.0f;
}

float GR_Texture_Get_Height(int32_t id) {
    const TextureEntry* entry = GR_Texture_Get_Entry(id);
    return entry ? entry->height * entry->invHeight : 1.0f;
}

// The device keeps every texture resident; preloading only makes an on-demand texture now.
void GR_Texture_Preload(int32_t id) {
    GR_Texture_Prepare(GR_Texture_Get(id));
}

void GR_Texture_Set_Priority(int32_t, int32_t) {}

void GR_Texture_Free_Table() {
    for (int32_t i = 0; i < g_entryCount; ++i) MEM_FREE(g_entries[i]);
    MEM_FREE(g_entries);
    g_entries = nullptr;
    g_entryCount = 0;
}

void GR_Texture_Free_All() {
    for (int32_t i = 0; i < g_entryCount; ++i) {
        if (g_entries[i]->inUse) GR_Texture_Free_Record(g_entries[i]->record);
    }
    GR_Texture_Free_Table();
    GR_Texture_Page_Handles_Reset();
    g_GRHooks.surfaceReleaseAll();
}

void GR_Texture_Shutdown() {
    GR_Texture_Free_All();
}

// ---- handles -------------------------------------------------------------------------------

int32_t GR_Texture_Page_Handle(TexturePageEntry* entry) {
    if (!entry) return -1;
    auto found = g_pageHandleOf.find(entry);
    uint32_t index;
    if (found != g_pageHandleOf.end()) {
        index = found->second;
    } else {
        if (g_pageHandles.size() >= ~GR_PAGE_HANDLE_TAG_MASK) return -1;
        index = static_cast<uint32_t>(g_pageHandles.size());
        g_pageHandles.push_back(entry);
        g_pageHandleOf.emplace(entry, index);
    }
    return static_cast<int32_t>(GR_PAGE_HANDLE_TAG | (index + 1));
}

bool GR_Texture_Is_Page_Handle(int32_t handle) {
    return (static_cast<uint32_t>(handle) & GR_PAGE_HANDLE_TAG_MASK) == GR_PAGE_HANDLE_TAG;
}

TexturePageEntry* GR_Texture_Page_From_Handle(int32_t handle) {
    if (!GR_Texture_Is_Page_Handle(handle)) return nullptr;
    const uint32_t index = (static_cast<uint32_t>(handle) & ~GR_PAGE_HANDLE_TAG_MASK) - 1;
    return index < g_pageHandles.size() ? g_pageHandles[index] : nullptr;
}

void GR_Texture_Page_Forget(TexturePageEntry* entry) {
    auto found = g_pageHandleOf.find(entry);
    if (found == g_pageHandleOf.end()) return;
    g_pageHandles[found->second] = nullptr;
    g_pageHandleOf.erase(found);
}

void GR_Texture_Page_Handles_Reset() {
    g_pageHandles.clear();
    g_pageHandleOf.clear();
}

void GR_Texture_Set_Corner_Id(bool on) {
    g_cornerId = on;
}

bool GR_Texture_Get_Corner_Id() {
    return g_cornerId;
}

// ---- quads ---------------------------------------------------------------------------------

bool GR_Texture_Draw(int32_t id, float x, float y) {
    TextureEntry* t = Drawable(id);
    if (!t) return false;
    const uint32_t white = ToARGB(0xFFFFFF, DrawAlpha());
    const Quad q = PlaceQuad(x, y, 0, 0, t->width, t->height, 0, 1);
    WriteQuad(t->record, q, kCommonOrder, {white, white, white, white}, 0, 0, t->width * t->invWidth,
              t->height * t->invHeight, true);
    return true;
}

bool GR_TPE_Draw(TexturePageEntry* entry, float x, float y) {
    TextureEntry* t = PageTexture(entry, true);
    if (!t) return false;
    const uint32_t white = ToARGB(0xFFFFFF, DrawAlpha());
    const float left = x + entry->targetX, top = y + entry->targetY;
    const Quad q = PlaceQuad(left, top, 0, 0, entry->targetWidth, entry->targetHeight, 0, 1);
    const PageUV uv = PageCoordinates(entry, t);
    WriteQuad(t->record, q, kCommonOrder, {white, white, white, white}, uv.left, uv.top, uv.right, uv.bottom,
              true);
    return true;
}

bool GR_TPE_Draw_Pos(TexturePageEntry* entry, float x1, float y1, float x2, float y2, float x3, float y3,
                     float x4, float y4, uint32_t colour, float alpha) {
    TextureEntry* t = PageTexture(entry, false);
    if (!t) return false;
    const uint32_t argb = ToARGB(colour, alpha);
    const Quad q = {{x1, x2, x3, x4}, {y1, y2, y3, y4}};
    const PageUV uv = PageCoordinates(entry, t);
    WriteQuad(t->record, q, kCommonOrder, {argb, argb, argb, argb}, uv.left, uv.top, uv.right, uv.bottom,
              true);
    return true;
}

bool GR_Texture_Draw_Ext(int32_t id, float originX, float originY, float x, float y, float xScale,
                         float yScale, float angle, uint32_t colour, float alpha) {
    TextureEntry* t = Drawable(id);
    if (!t) return false;
    if (t->width == 0 || t->height == 0) {
        t->width = t->height = 8;
        t->invWidth = t->invHeight = 0.125f;
    }
    const float left = -xScale * originX, top = -yScale * originY;
    const Quad q =
        PlaceQuad(x, y, left, top, left + xScale * t->width, top + yScale * t->height, angle, 0.001f);
    const uint32_t argb = ToARGB(colour, alpha);
    WriteQuad(t->record, q, kCommonOrder, {argb, argb, argb, argb}, 0, 0, t->width * t->invWidth,
              t->height * t->invHeight, false);
    return true;
}

bool GR_TPE_Draw_Ext(TexturePageEntry* entry, float originX, float originY, float x, float y, float xScale,
                     float yScale, float angle, uint32_t colour, float alpha) {
    TextureEntry* t = PageTexture(entry, true);
    if (!t) return false;
    const float left = (entry->targetX - originX) * xScale, top = (entry->targetY - originY) * yScale;
    const Quad q = PlaceQuad(x, y, left, top, left + xScale * entry->targetWidth,
                             top + yScale * entry->targetHeight, angle, 0.001f);
    const uint32_t argb = ToARGB(colour, alpha);
    const PageUV uv = PageCoordinates(entry, t);
    WriteQuad(t->record, q, kCommonOrder, {argb, argb, argb, argb}, uv.left, uv.top, uv.right, uv.bottom,
              true);
    return true;
}

bool GR_Texture_Draw_Part(int32_t id, float left, float top, float width, float height, float x, float y,
                          float xScale, float yScale, float angle, uint32_t colour, float alpha) {
    TextureEntry* t = Drawable(id);
    if (!t) return false;
    const Quad q = PlaceQuad(x, y, 0, 0, width * xScale, height * yScale, angle, 0.001f);
    const uint32_t argb = ToARGB(colour, alpha);
    WriteQuad(t->record, q, kCommonOrder, {argb, argb, argb, argb}, left * t->invWidth, top * t->invHeight,
              (left + width) * t->invWidth, (top + height) * t->invHeight, false);
    return true;
}

bool GR_TPE_Draw_Part(TexturePageEntry* entry, float left, float top, float width, float height, float x,
                      float y, float xScale, float yScale, float angle, uint32_t colour, float alpha) {
    TextureEntry* t = PageTexture(entry, false);
    if (!t) return false;
    const float s = std::sin(angle), c = std::cos(angle);
    PartStart p = ClipToTrimmed(entry, left, top, width, height, x, y, xScale, yScale, s, c);
    p.width = std::min(p.width, entry->targetWidth - p.sourceX);
    p.height = std::min(p.height, entry->targetHeight - p.sourceY);
    if (p.width <= 0 || p.height <= 0) return true;
    const Quad q = PlaceQuad(p.x, p.y, 0, 0, p.width * xScale, p.height * yScale, angle, 0.001f);
    const double rx = double(entry->sourceWidth) / entry->targetWidth;
    const double ry = double(entry->sourceHeight) / entry->targetHeight;
    const float leftU = static_cast<float>((entry->sourceX + rx * p.sourceX) * t->invWidth);
    const float topV = static_cast<float>((entry->sourceY + ry * p.sourceY) * t->invHeight);
    const float rightU = static_cast<float>(leftU + rx * p.width * t->invWidth);
    const float bottomV = static_cast<float>(topV + ry * p.height * t->invHeight);
    const uint32_t argb = ToARGB(colour, alpha);
    WriteQuad(t->record, q, kPartOrder, {argb, argb, argb, argb}, leftU, topV, rightU, bottomV, true);
    return true;
}

bool GR_Texture_Draw_General(int32_t id, float left, float top, float width, float height, float x, float y,
                             float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                             uint32_t colour3, uint32_t colour4, float alpha) {
    TextureEntry* t = Drawable(id);
    if (!t) return false;
    const Quad q = PlaceQuad(x, y, 0, 0, width * xScale, height * yScale, angle, 0.01f);
    WriteQuad(
        t->record, q, kCommonOrder,
        {ToARGB(colour1, alpha), ToARGB(colour2, alpha), ToARGB(colour3, alpha), ToARGB(colour4, alpha)},
        left * t->invWidth, top * t->invHeight, (left + width) * t->invWidth, (top + height) * t->invHeight,
        false);
    return true;
}

bool GR_TPE_Draw_General(TexturePageEntry* entry, float left, float top, float width, float height, float x,
                         float y, float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                         uint32_t colour3, uint32_t colour4, float alpha) {
    TextureEntry* t = PageTexture(entry, false);
    if (!t) return false;
    const float s = std::sin(angle), c = std::cos(angle);
    PartStart p = ClipToTrimmed(entry, left, top, width, height, x, y, xScale, yScale, s, c);
    p.width = std::min<float>(p.width, entry->targetWidth);
    p.height = std::min<float>(p.height, entry->targetHeight);
    const Quad q = PlaceQuad(p.x, p.y, 0, 0, p.width * xScale, p.height * yScale, angle, 0.01f);
    const float leftU = (entry->sourceX + p.sourceX) * t->invWidth;
    const float topV = (entry->sourceY + p.sourceY) * t->invHeight;
    GR_Draw_Quad(t->record, q.x[0], q.y[0], q.x[1], q.y[1], q.x[2], q.y[2], q.x[3], q.y[3], leftU, topV,
                 leftU + p.width * t->invWidth, topV + p.height * t->invHeight,
                 CornerMark(ToARGBRounded(colour1, alpha), kTopLeft),
                 CornerMark(ToARGBRounded(colour2, alpha), kTopRight),
                 CornerMark(ToARGBRounded(colour3, alpha), kBottomRight),
                 CornerMark(ToARGBRounded(colour4, alpha), kBottomLeft));
    return true;
}

void GR_Draw_Quad(TextureRecord* record, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                  float y4, float leftU, float topV, float rightU, float bottomV, uint32_t colour1,
                  uint32_t colour2, uint32_t colour3, uint32_t colour4) {
    const Quad q = {{x1, x2, x3, x4}, {y1, y2, y3, y4}};
    WriteQuad(record, q, kCommonOrder, {colour1, colour2, colour3, colour4}, leftU, topV, rightU, bottomV,
              false);
}

bool GR_Texture_Draw_Tiled(int32_t id, float originX, float originY, float x, float y, float xScale,
                           float yScale, bool horizontal, bool vertical, float viewX, float viewY,
                           float viewWidth, float viewHeight, uint32_t colour, float alpha) {
    TextureEntry* t = Drawable(id);
    if (!t) return false;
    const float scaledWidth = t->width * xScale, scaledHeight = t->height * yScale;
    if (!(scaledWidth >= 1.0f) || !(scaledHeight >= 1.0f) || scaledWidth > 2e9f || scaledHeight > 2e9f)
        return false;
    const auto tileWidth = static_cast<int32_t>(scaledWidth), tileHeight = static_cast<int32_t>(scaledHeight);
    const uint32_t argb = ToARGBRounded(colour, alpha);
    const float left = -xScale * originX, top = -yScale * originY;
    const float right = left + scaledWidth, bottom = top + scaledHeight;
    const float rightU = t->width * t->invWidth, bottomV = t->height * t->invHeight;
    const double viewRight = double(viewX) + viewWidth, viewBottom = double(viewY) + viewHeight;
    for (int64_t column = TileStart(x, tileWidth, viewX, horizontal); double(column) < viewRight;
         column += tileWidth) {
        for (int64_t row = TileStart(y, tileHeight, viewY, vertical); double(row) < viewBottom;
             row += tileHeight) {
            auto* v = static_cast<Vertex*>(GR_Batch_Alloc(D3DPT_TRIANGLEFAN, t->record, GR_FORMAT_XYZCUV, 4));
            const float cx = static_cast<float>(column), cy = static_cast<float>(row);
            v[0] = {cx + left, cy + top, g_DrawDepth, argb, 0, 0};
            v[1] = {cx + right, cy + top, g_DrawDepth, argb, rightU, 0};
            v[2] = {cx + right, cy + bottom, g_DrawDepth, argb, rightU, bottomV};
            v[3] = {cx + left, cy + bottom, g_DrawDepth, argb, 0, bottomV};
            if (!vertical) break;
        }
        if (!horizontal) break;
    }
    return true;
}

bool GR_TPE_Draw_Tiled(TexturePageEntry* entry, float originX, float originY, float x, float y, float xScale,
                       float yScale, bool horizontal, bool vertical, float, float, float, float,
                       uint32_t colour, float alpha) {
    if (!(xScale >= 0.0001f) || !(yScale >= 0.0001f)) return false;
    TextureEntry* t = PageTexture(entry, false);
    if (!t) return false;
    const bool camera2D = !g_TextureHooks.cameraIs2D || g_TextureHooks.cameraIs2D();
    // Nothing to repeat: the image is drawn once, where GR_TPE_Draw_Ext puts it.
    if ((!horizontal && !vertical) || !camera2D)
        return GR_TPE_Draw_Ext(entry, originX, originY, x, y, xScale, yScale, 0, colour, alpha);

    const GRBounds view = g_VisibleBounds;
    const float stepX = entry->boundWidth * xScale, stepY = entry->boundHeight * yScale;
    if (!(stepX > 0) || !(stepY > 0)) return false;
    auto span = [](float& position, float start, float end, float step, bool tiled) -> int64_t {
        if (!tiled) return 1;
        position = std::fmod(position - start, step) + start - step;
        const float covered = (((end - start) + step - 1) / step + 2) * step;
        return static_cast<int64_t>(std::clamp(covered / step, 0.0f, 1e9f));
    };
    const int64_t columns = span(x, float(view.left), float(view.right), stepX, horizontal);
    const int64_t rows = span(y, float(view.top), float(view.bottom), stepY, vertical);
    const uint32_t argb = ToARGB(colour, alpha);
    const PageUV uv = PageCoordinates(entry, t);
    const float width = entry->targetWidth * xScale, height = entry->targetHeight * yScale;
    const float offsetX = entry->targetX * xScale, offsetY = entry->targetY * yScale;
    // Reserve whole rows while they fit in one batch, else a row in pieces: never write past
    // what was reserved.
    const int64_t perBatch = GR_Batch_Max_Vertices() / 6;
    const int64_t rowsPerBatch = std::max<int64_t>(1, perBatch / columns);
    const int64_t piece = std::min(columns, perBatch);
    for (int64_t firstRow = 0; firstRow < rows; firstRow += rowsPerBatch) {
        const int64_t rowCount = std::min(rowsPerBatch, rows - firstRow);
        for (int64_t firstColumn = 0; firstColumn < columns; firstColumn += piece) {
            const int64_t columnCount = std::min(piece, columns - firstColumn);
            auto* v = static_cast<Vertex*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, t->record, GR_FORMAT_XYZCUV,
                                                          static_cast<int32_t>(rowCount * columnCount * 6)));
            for (int64_t j = firstRow; j < firstRow + rowCount; ++j) {
                for (int64_t i = firstColumn; i < firstColumn + columnCount; ++i) {
                    const float left = x + i * stepX + offsetX, top = y + j * stepY + offsetY;
                    const Quad q = PlaceQuad(left, top, 0, 0, width, height, 0, 1);
                    for (int k = 0; k < 6; ++k) {
                        const Corner c = kTiledOrder[k];
                        const float u = c == kTopRight || c == kBottomRight ? uv.right : uv.left;
                        const float vv = c == kBottomLeft || c == kBottomRight ? uv.bottom : uv.top;
                        *v++ = {q.x[c], q.y[c], g_DrawDepth, CornerMark(argb, c), u, vv};
                    }
                }
            }
        }
    }
    return true;
}

// ---- start-up ------------------------------------------------------------------------------

namespace {

TextureRecord* CreateWhiteTexture(int32_t* id) {
    const uint32_t white = 0xFFFFFFFFu;
    *id = GR_Texture_Create_From_Pixels(1, 1, &white, 4);
    return GR_Texture_Exists(*id) ? GR_Texture_Get(*id) : nullptr;
}

int32_t CreateTextureFromChunk(const uint8_t* blob, uint32_t length, bool flag) {
    return GR_Texture_Create_From_Data(blob, length, flag, 0);
}

}  // namespace

void GR_Texture_Startup() {
    g_GRHooks.setTexture = GR_D3D_Set_Texture;
    g_GRHooks.setTextureBlending = GR_D3D_Set_Texture_Blending;
    g_GRHooks.textureFreeTable = GR_Texture_Free_Table;
    g_GRHooks.createWhiteTexture = CreateWhiteTexture;
    g_GRHooks.freeTexture = GR_Texture_Free;
    g_GRHooks.targetPopAll = GR_Target_Pop_All;
    g_GRHooks.targetUnwindForEndScene = GR_Target_Unwind_For_End_Scene;
    TXTR_SetTextureCreator(CreateTextureFromChunk, GR_Texture_Read_Blob_Size);
    GR_Builtin_Images_Init(BuiltinImages_Image);
}
