// Surfaces: render-target textures that game code addresses by integer id. Game code draws into
// one through the surface stack (each slot-0 set remembers the targets, viewport, view and
// orthographic flag that surface_reset_target puts back), draws one like an image, and reads
// one back. Surfaces do not survive a device reset. Ids come from a counter and are not reused
// while the counter is below them; an id no surface has is "does not exist", never followed.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"

class TBitmap;

struct SurfaceRecord : MemoryManaged {
    int32_t id;
    int32_t textureId;  // -1 while it is being made again
    int32_t width, height;
};

// The id the application surface has while there is none.
constexpr int32_t GR_NO_APPLICATION_SURFACE = static_cast<int32_t>(0xFEEEDEAD);
constexpr int32_t GR_SURFACE_STACK_DEPTH = 8;
constexpr int32_t GR_SURFACE_SLOTS = 4;

// What the surface stack asks of the room drawing above: the default view of a camera in layer
// mode (unset: GR_D3D_Set_View_Projection), and the GUI pass, whose viewport and projection a
// reset re-applies instead of the saved ones.
struct GR_SurfaceHooks {
    void (*setDefaultView)(float x, float y, float width, float height, float angle);
    bool (*guiDrawing)();
    void (*guiBeginDraw)();
};
extern GR_SurfaceHooks g_SurfaceHooks;

// Creation and lookup. reuseId -1 makes a new id; another value remakes that surface's texture
// (-1 when it has no record).
int32_t GR_Surface_Create(int32_t width, int32_t height, int32_t reuseId);
int32_t GR_Surface_Create_Special(int32_t width, int32_t height, int32_t reuseId, int32_t kind);
bool GR_Surface_Exists(int32_t id);
SurfaceRecord* GR_Surface_Get(int32_t id);
// The application surface's remembered size for its id; -1 for an id without surface.
int32_t GR_Surface_Get_Width(int32_t id);
int32_t GR_Surface_Get_Height(int32_t id);
int32_t GR_Surface_Get_Texture(int32_t id);
int32_t GR_Surface_Count();

// The application surface's id (GR_NO_APPLICATION_SURFACE while there is none) and the size
// remembered for it; the room drawing sets the id.
int32_t GR_Surface_Application_Id();
void GR_Surface_Set_Application_Id(int32_t id);

// Frees the surface's texture (popping one target frame first when it is a current target);
// the record stays.
SurfaceRecord* GR_Surface_Release(int32_t id);
// The application surface is freed only when forced.
void GR_Surface_Free(int32_t id, bool force);
bool GR_Surface_Resize(int32_t id, int32_t width, int32_t height);
// Device reset and shutdown: every surface goes, and the application surface's id with them.
void GR_Surface_Release_All();

// Targets. Slot 0 pushes a frame on the surface stack and on the render-target stack.
bool GR_Surface_Set_Target(int32_t slot, int32_t id);
bool GR_Surface_Reset_Target();
// The surface drawn into through a slot, -1 for the back buffer.
int32_t GR_Surface_Current(int32_t slot);
int32_t GR_Surface_Stack_Depth();

// Drawing like an image; angles in degrees, colours 0xBBGGRR. Only Draw_Part reports a missing
// surface ("Trying to use non-existing surface.") and answers false.
void GR_Surface_Draw(int32_t id, float x, float y);
void GR_Surface_Draw_Ext(int32_t id, float x, float y, float xScale, float yScale, float angle,
                         uint32_t colour, float alpha);
void GR_Surface_Draw_Stretched(int32_t id, float x, float y, float width, float height, uint32_t colour,
                               float alpha);
bool GR_Surface_Draw_Part(int32_t id, float left, float top, float width, float height, float x, float y,
                          float xScale, float yScale, uint32_t colour, float alpha);
void GR_Surface_Draw_General(int32_t id, float left, float top, float width, float height, float x, float y,
                             float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                             uint32_t colour3, uint32_t colour4, float alpha);
void GR_Surface_Draw_Tiled(int32_t id, float x, float y, float xScale, float yScale, bool horizontal,
                           bool vertical, float viewX, float viewY, float viewWidth, float viewHeight,
                           uint32_t colour, float alpha);

// A 32-bit bitmap of a rectangle of the surface, or null.
TBitmap* GR_Surface_To_Bitmap(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);

// Forgets every surface, the counter and the stack without touching the device (tests, restarts).
void GR_Surface_Reset_State();
