#include "graphics/Graphics_Surface.h"

#include <cstring>

#include "graphics/TBitmap.h"
#include "core/Hash.h"
#include "core/RuntimeError.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"
#include "base/RunState.h"

namespace {

constexpr int32_t kMapBuckets = 128;
constexpr int32_t kSurfaceTextureKind = 4;  // 32-bit A8R8G8B8
constexpr const char* kMissingSurface = "Trying to use non-existing surface.";
constexpr const char* kStackFull =
    "surface stack is full - ensure surface_reset_target() is called for each surface_set_target().";

// What a slot-0 set changed, for the reset that undoes it.
struct SurfaceStackFrame {
    int32_t viewportX, viewportY, viewportWidth, viewportHeight;
    int32_t viewX, viewY, viewWidth, viewHeight;
    float viewAngle;
    bool orthographic;
    int32_t surfaces[GR_SURFACE_SLOTS];
};

CHash<SurfaceRecord>& Map() {
    static CHash<SurfaceRecord> map(kMapBuckets);
    return map;
}

int32_t g_nextId = 0;
int32_t g_current[GR_SURFACE_SLOTS] = {-1, -1, -1, -1};
SurfaceStackFrame g_stack[GR_SURFACE_STACK_DEPTH];
int32_t g_stackDepth = 0;

void DefaultView(float x, float y, float width, float height, float angle) {
    GR_D3D_Set_View_Projection(x, y, width, height, angle);
}

bool NoGuiPass() {
    return false;
}

void NoGuiBegin() {}

void SetView(float x, float y, float width, float height, float angle) {
    if (g_GRHooks.layerMode() && g_SurfaceHooks.setDefaultView)
        g_SurfaceHooks.setDefaultView(x, y, width, height, angle);
    else
        GR_D3D_Set_View_Projection(x, y, width, height, angle);
}

int32_t Truncated(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return 0;
    return static_cast<int32_t>(value);
}

float Radians(float degrees) {
    return degrees * 0.017453292f;
}

// The texture id of a surface that exists, or -1.
int32_t TextureOf(int32_t id) {
    const SurfaceRecord* record = Map().Find(id);
    return record ? record->textureId : -1;
}

bool IsApplicationSurface(int32_t id) {
    return id == g_RunState.applicationSurface;
}

}  // namespace

GR_SurfaceHooks g_SurfaceHooks = {DefaultView, NoGuiPass, NoGuiBegin};

// ---- creation and lookup -------------------------------------------------------------------

namespace {

int32_t CreateWith(int32_t width, int32_t height, int32_t reuseId, bool withDepth, int32_t kind) {
    SurfaceRecord* record;
    if (reuseId < 0) {
        while (Map().Find(g_nextId)) ++g_nextId;
        record = new SurfaceRecord{};
        record->id = g_nextId++;
        Map().Insert(record->id, record);
    } else {
        record = Map().Find(reuseId);
        if (!record) return -1;
    }
    record->textureId = GR_Texture_Create_Empty(width, height, true, withDepth, kind);
    record->width = width;
    record->height = height;
    if (IsApplicationSurface(record->id)) {
        g_RunState.applicationSurfaceWidth = width;
        g_RunState.applicationSurfaceHeight = height;
    }
    return record->id;
}

}  // namespace

int32_t GR_Surface_Create(int32_t width, int32_t height, int32_t reuseId) {
    return CreateWith(width, height, reuseId, false, kSurfaceTextureKind);
}

int32_t GR_Surface_Create_Special(int32_t width, int32_t height, int32_t reuseId, int32_t kind) {
    return CreateWith(width, height, reuseId, true, kind);
}

bool GR_Surface_Exists(int32_t id) {
    return Map().Find(id) != nullptr;
}

SurfaceRecord* GR_Surface_Get(int32_t id) {
    return Map().Find(id);
}

int32_t GR_Surface_Get_Width(int32_t id) {
    if (IsApplicationSurface(id)) return g_RunState.applicationSurfaceWidth;
    const SurfaceRecord* record = Map().Find(id);
    return record ? record->width : -1;
}

int32_t GR_Surface_Get_Height(int32_t id) {
    if (IsApplicationSurface(id)) return g_RunState.applicationSurfaceHeight;
    const SurfaceRecord* record = Map().Find(id);
    return record ? record->height : -1;
}

int32_t GR_Surface_Get_Texture(int32_t id) {
    return TextureOf(id);
}

int32_t GR_Surface_Count() {
    return Map().Count();
}

int32_t GR_Surface_Application_Id() {
    return g_RunState.applicationSurface;
}

void GR_Surface_Set_Application_Id(int32_t id) {
    g_RunState.applicationSurface = id;
}

// ---- release, resize, free -----------------------------------------------------------------

SurfaceRecord* GR_Surface_Release(int32_t id) {
    SurfaceRecord* record = Map().Find(id);
    if (!record) return nullptr;
    for (int32_t slot : g_current) {
        if (slot == id) {
            GR_Surface_Reset_Target();
            break;
        }
    }
    // The id is forgotten with the texture: a later texture may take the same id.
    GR_Texture_Free(record->textureId);
    record->textureId = -1;
    return record;
}

void GR_Surface_Free(int32_t id, bool force) {
    if (!force && IsApplicationSurface(id)) return;
    if (!Map().Find(id)) return;
    GraphicsFlush();
    GR_Surface_Release(id);
    Map().DeleteDispose(id, HashDispose_Delete);
}

bool GR_Surface_Resize(int32_t id, int32_t width, int32_t height) {
    GraphicsFlush();
    SurfaceRecord* record = GR_Surface_Release(id);
    if (!record) return false;
    record->width = record->height = 0;
    if (IsApplicationSurface(id))
        g_RunState.applicationSurfaceWidth = g_RunState.applicationSurfaceHeight = 1;
    return GR_Surface_Create(width, height, id) >= 0;
}

void GR_Surface_Release_All() {
    CHashIterator it;
    for (SurfaceRecord* record = Map().IteratorFirst(it); it.node; record = Map().IteratorNext(it)) {
        if (!record) continue;
        GR_Texture_Free(record->textureId);
        record->textureId = -1;
    }
    Map().Clear(HashDispose_Delete);
    g_RunState.applicationSurface = GR_NO_APPLICATION_SURFACE;
}

void GR_Surface_Reset_State() {
    Map().Clear(HashDispose_Delete);
    g_nextId = 0;
    for (int32_t& slot : g_current) slot = -1;
    g_stackDepth = 0;
    g_SurfaceHooks = {DefaultView, NoGuiPass, NoGuiBegin};
}

// ---- targets -------------------------------------------------------------------------------

bool GR_Surface_Set_Target(int32_t slot, int32_t id) {
    if (slot < 0 || slot >= GR_SURFACE_SLOTS || !g_D3D.device) return false;
    GraphicsFlush();
    SurfaceRecord* surface = Map().Find(id);
    TextureRecord* texture = surface ? GR_Texture_Get(surface->textureId) : nullptr;
    if (!texture) return false;
    if (slot != 0) {
        g_current[slot] = id;
        return GR_Target_Set(slot, texture);
    }
    SurfaceStackFrame frame;
    frame.viewportX = g_Viewport.x;
    frame.viewportY = g_Viewport.y;
    frame.viewportWidth = g_Viewport.width;
    frame.viewportHeight = g_Viewport.height;
    frame.viewX = Truncated(g_ViewRecord.x);
    frame.viewY = Truncated(g_ViewRecord.y);
    frame.viewWidth = Truncated(g_ViewRecord.width);
    frame.viewHeight = Truncated(g_ViewRecord.height);
    frame.viewAngle = g_ViewRecord.angle;
    frame.orthographic = g_SpriteCullBypass;
    std::memcpy(frame.surfaces, g_current, sizeof g_current);
    if (g_stackDepth >= GR_SURFACE_STACK_DEPTH || GR_Target_Depth() >= GR_TARGET_STACK_DEPTH) {
        Runtime_ShowError(kStackFull, false);
        return false;
    }
    if (!GR_Target_Push()) return false;
    g_stack[g_stackDepth++] = frame;
    if (!GR_Target_Set(0, texture)) return false;
    GR_Set_Viewport(0, 0, surface->width, surface->height);
    SetView(0, 0, static_cast<float>(surface->width), static_cast<float>(surface->height), 0);
    g_current[0] = id;
    GR_Mark_Transform_Dirty();
    return true;
}

bool GR_Surface_Reset_Target() {
    if (!g_D3D.device) return false;
    GraphicsFlush();
    if (!GR_Target_Pop()) return false;
    if (g_stackDepth == 0) {
        g_current[0] = -1;
        return false;
    }
    const SurfaceStackFrame frame = g_stack[--g_stackDepth];
    std::memcpy(g_current, frame.surfaces, sizeof g_current);
    g_SpriteCullBypass = frame.orthographic;
    if (g_SurfaceHooks.guiDrawing && g_SurfaceHooks.guiDrawing()) {
        if (g_SurfaceHooks.guiBeginDraw) g_SurfaceHooks.guiBeginDraw();
    } else {
        GR_Set_Viewport(frame.viewportX, frame.viewportY, frame.viewportWidth, frame.viewportHeight);
        SetView(static_cast<float>(frame.viewX), static_cast<float>(frame.viewY),
                static_cast<float>(frame.viewWidth), static_cast<float>(frame.viewHeight), frame.viewAngle);
    }
    GR_Mark_Transform_Dirty();
    return true;
}

int32_t GR_Surface_Current(int32_t slot) {
    return slot >= 0 && slot < GR_SURFACE_SLOTS ? g_current[slot] : -1;
}

int32_t GR_Surface_Stack_Depth() {
    return g_stackDepth;
}

// ---- drawing -------------------------------------------------------------------------------

void GR_Surface_Draw(int32_t id, float x, float y) {
    if (const SurfaceRecord* s = Map().Find(id)) GR_Texture_Draw(s->textureId, x, y);
}

void GR_Surface_Draw_Ext(int32_t id, float x, float y, float xScale, float yScale, float angle,
                         uint32_t colour, float alpha) {
    if (const SurfaceRecord* s = Map().Find(id))
        GR_Texture_Draw_Ext(s->textureId, 0, 0, x, y, xScale, yScale, Radians(angle), colour, alpha);
}

void GR_Surface_Draw_Stretched(int32_t id, float x, float y, float width, float height, uint32_t colour,
                               float alpha) {
    const SurfaceRecord* s = Map().Find(id);
    if (!s || !(width > 0) || !(height > 0) || s->width <= 0 || s->height <= 0) return;
    GR_Texture_Draw_Ext(s->textureId, 0, 0, x, y, width / s->width, height / s->height, 0, colour, alpha);
}

bool GR_Surface_Draw_Part(int32_t id, float left, float top, float width, float height, float x, float y,
                          float xScale, float yScale, uint32_t colour, float alpha) {
    const SurfaceRecord* s = Map().Find(id);
    if (!s) {
        Runtime_ErrorNonFatal("%s", kMissingSurface);
        return false;
    }
    GR_Texture_Draw_Part(s->textureId, left, top, width, height, x, y, xScale, yScale, 0, colour, alpha);
    return true;
}

void GR_Surface_Draw_General(int32_t id, float left, float top, float width, float height, float x, float y,
                             float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                             uint32_t colour3, uint32_t colour4, float alpha) {
    if (const SurfaceRecord* s = Map().Find(id))
        GR_Texture_Draw_General(s->textureId, left, top, width, height, x, y, xScale, yScale, Radians(angle),
                                colour1, colour2, colour3, colour4, alpha);
}

void GR_Surface_Draw_Tiled(int32_t id, float x, float y, float xScale, float yScale, bool horizontal,
                           bool vertical, float viewX, float viewY, float viewWidth, float viewHeight,
                           uint32_t colour, float alpha) {
    if (const SurfaceRecord* s = Map().Find(id))
        GR_Texture_Draw_Tiled(s->textureId, 0, 0, x, y, xScale, yScale, horizontal, vertical, viewX, viewY,
                              viewWidth, viewHeight, colour, alpha);
}

// ---- read-back -----------------------------------------------------------------------------

TBitmap* GR_Surface_To_Bitmap(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!g_D3D.device) return nullptr;
    TextureRecord* texture = GR_Texture_Get(TextureOf(id));
    if (!texture || width < 1 || height < 1) return nullptr;
    GraphicsFlush();
    uint32_t* pixels = GR_D3D_Read_Texture_Pixels(texture, x, y, width, height);
    if (!pixels) return nullptr;
    TBitmap* bitmap = TBitmap_Create();
    bitmap->SetFormat(kBitmapFormat32);
    bitmap->SetWidth(width);
    bitmap->SetHeight(height);
    uint8_t* row = nullptr;
    int32_t stride = 0;
    bitmap->GetScanline(0, &row, &stride);
    if (row) {
        for (int32_t r = 0; r < height; ++r)
            std::memcpy(row + ptrdiff_t(r) * stride, pixels + size_t(r) * width, size_t(width) * 4);
        bitmap->ReleaseScanline(row);
    }
    MEM_FREE(pixels);
    return bitmap;
}
