// The texture table and textured quads. Game-level code never holds a TextureRecord: it holds
// a texture id (an index into the texture table, the lowest free one reused) or a texture-page
// entry (a TPAG record on a shared page). Every quad goes into the open vertex batch as two
// triangles of the 24-byte vertex format, with the current drawing depth as z; the id forms
// draw a whole texture or a part of it, the page-entry forms honour the entry's trimmed
// rectangle. Colours are 0xBBGGRR, alphas 0..1, angles radians (counter-clockwise on screen).
#pragma once

#include <cstdint>

struct TextureRecord;

struct TextureEntry {
    TextureRecord* record;      // null when its creation failed: such an entry draws nothing
    int16_t width, height;      // the image's own size
    float invWidth, invHeight;  // image pixels to texture coordinates
    uint8_t inUse;
};

// A TPAG record: 22 bytes of little-endian signed 16-bit fields, used in place in the data file
// (packed: an entry may lie at any address). `texture` is a texture id once the file is loaded.
struct __attribute__((packed)) TexturePageEntry {
    int16_t sourceX, sourceY, sourceWidth, sourceHeight;  // the trimmed pixels on the page
    int16_t targetX, targetY;                             // their offset inside the full image
    int16_t targetWidth, targetHeight;                    // their size in image pixels; 0 means 1
    int16_t boundWidth, boundHeight;                      // the full, untrimmed image
    int16_t texture;
};
static_assert(sizeof(TexturePageEntry) == 22, "TPAG records are 22 bytes");

// What the quad routines read from neighbouring modules: the draw alpha kept with the draw
// colour, and whether the active camera draws in 2-D. Defaults: opaque, 2-D.
struct GR_TextureHooks {
    float (*drawAlpha)();
    bool (*cameraIs2D)();
};
extern GR_TextureHooks g_TextureHooks;

// Fills the device layer's texture slots (binding, stage blending, the white texture, the
// texture table, the render-target stack), the loader's TXTR texture creator and the built-in
// image table. Called once at start-up, before the device is created.
void GR_Texture_Startup();

// The table.
int32_t GR_Texture_Alloc_Slot();
// kind 1 and 2 ask for formats no device offers (the record is then null); any other kind is
// 32-bit. Always answers an id.
int32_t GR_Texture_Create_Empty(int32_t width, int32_t height, bool renderTarget, bool withDepth,
                                int32_t kind);
int32_t GR_Texture_Add_Record(TextureRecord* record, int32_t width, int32_t height);
// dataSize == width x height x 4: raw 0xAARRGGBB pixels; otherwise an image file of that size.
int32_t GR_Texture_Create_From_Pixels(int32_t width, int32_t height, const void* data, uint32_t dataSize);
// The loader's entry for a TXTR blob (`length` bounds it); -1 when the blob makes no texture.
int32_t GR_Texture_Create_From_Data(const uint8_t* blob, uint32_t length, bool flag, int32_t unused);
// 8-bit coverage rows (width bytes apart) as white with that alpha; -1 on failure.
int32_t GR_Texture_Create_From_Alpha(int32_t width, int32_t height, const uint8_t* coverage);
void GR_Texture_Free(int32_t id);
bool GR_Texture_Exists(int32_t id);
TextureRecord* GR_Texture_Get(int32_t id);
TextureEntry* GR_Texture_Get_Entry(int32_t id);  // null unless the id is in use
int32_t GR_Texture_Count();
// The used fraction of the texture (image size x 1 / texture size); 1 for an id not in use.
float GR_Texture_Get_Width(int32_t id);
float GR_Texture_Get_Height(int32_t id);
void GR_Texture_Preload(int32_t id);
void GR_Texture_Set_Priority(int32_t id, int32_t priority);
// Forgets every entry without touching records (device start-up).
void GR_Texture_Free_Table();
// Shutdown: frees every record in use, then the table, then the surfaces.
void GR_Texture_Free_All();
void GR_Texture_Shutdown();

// Texture handles handed to game code: a texture id is a plain number; a page entry is a
// tagged value registered here, well above every texture id. An unknown or forgotten handle
// gives null and is never followed.
constexpr uint32_t GR_PAGE_HANDLE_TAG = 0x50000000u;
constexpr uint32_t GR_PAGE_HANDLE_TAG_MASK = 0xFF000000u;
int32_t GR_Texture_Page_Handle(TexturePageEntry* entry);  // -1 for null; one handle per entry
TexturePageEntry* GR_Texture_Page_From_Handle(int32_t handle);
bool GR_Texture_Is_Page_Handle(int32_t handle);
void GR_Texture_Page_Forget(TexturePageEntry* entry);  // a run-time entry that is going away
void GR_Texture_Page_Handles_Reset();

// Corner ids: while on, the supporting quads mark each vertex colour with its image corner
// (top-left bits 0 and 16 clear, top-right bit 0, bottom-right bit 16, bottom-left both).
void GR_Texture_Set_Corner_Id(bool on);
bool GR_Texture_Get_Corner_Id();

// Quads; true when something was (or could have been) drawn, false for a missing texture.
bool GR_Texture_Draw(int32_t id, float x, float y);
bool GR_TPE_Draw(TexturePageEntry* entry, float x, float y);
bool GR_TPE_Draw_Pos(TexturePageEntry* entry, float x1, float y1, float x2, float y2, float x3, float y3,
                     float x4, float y4, uint32_t colour, float alpha);
bool GR_Texture_Draw_Ext(int32_t id, float originX, float originY, float x, float y, float xScale,
                         float yScale, float angle, uint32_t colour, float alpha);
bool GR_TPE_Draw_Ext(TexturePageEntry* entry, float originX, float originY, float x, float y, float xScale,
                     float yScale, float angle, uint32_t colour, float alpha);
bool GR_Texture_Draw_Part(int32_t id, float left, float top, float width, float height, float x, float y,
                          float xScale, float yScale, float angle, uint32_t colour, float alpha);
bool GR_TPE_Draw_Part(TexturePageEntry* entry, float left, float top, float width, float height, float x,
                      float y, float xScale, float yScale, float angle, uint32_t colour, float alpha);
bool GR_Texture_Draw_General(int32_t id, float left, float top, float width, float height, float x, float y,
                             float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                             uint32_t colour3, uint32_t colour4, float alpha);
bool GR_TPE_Draw_General(TexturePageEntry* entry, float left, float top, float width, float height, float x,
                         float y, float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                         uint32_t colour3, uint32_t colour4, float alpha);
bool GR_Texture_Draw_Tiled(int32_t id, float originX, float originY, float x, float y, float xScale,
                           float yScale, bool horizontal, bool vertical, float viewX, float viewY,
                           float viewWidth, float viewHeight, uint32_t colour, float alpha);
// The four values after `vertical` are not read; the visible bounds give the area to cover.
bool GR_TPE_Draw_Tiled(TexturePageEntry* entry, float originX, float originY, float x, float y, float xScale,
                       float yScale, bool horizontal, bool vertical, float unused1, float unused2,
                       float unused3, float unused4, uint32_t colour, float alpha);
// Corners 1-4 with their own device colours (0xAARRGGBB), drawn as 1, 2, 3, 3, 4, 1.
void GR_Draw_Quad(TextureRecord* record, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                  float y4, float leftU, float topV, float rightU, float bottomV, uint32_t colour1,
                  uint32_t colour2, uint32_t colour3, uint32_t colour4);
