// The room's frame: once per step the frame loop's drawing stage draws the current room through
// its views (or whole) onto the application surface, copies that to the window with optional
// letterboxing, and runs the draw, GUI and cursor passes around it. Also the views' per-frame
// follow step, the window fit at room start, and the GUI transform.
#pragma once

#include <cstdint>

#include "graphics/Graphics_Matrix.h"

class CRoom;

// Draw-event subtypes of event type 8.
enum DrawEventSubtype : int32_t {
    DRAW_EVENT_DRAW = 0,
    DRAW_EVENT_GUI = 64,
    DRAW_EVENT_BEGIN = 72,
    DRAW_EVENT_END = 73,
    DRAW_EVENT_GUI_BEGIN = 74,
    DRAW_EVENT_GUI_END = 75,
    DRAW_EVENT_PRE = 76,
    DRAW_EVENT_POST = 77,
};
constexpr int32_t kDrawEventType = 8;

// Frame-drawing state of the process (main thread). The application surface's id and sizes
// live in the run state, where the surface module and the built-in variables read them.
struct FrameDrawState {
    bool surfaceInUse = true;  // the enabled flag as copied at the start of this frame
    bool surfaceDraw = true;   // application_surface_draw_enable
    bool surfaceUsedLastFrame = true;
    int32_t rememberedWidth = -1, rememberedHeight = -1;  // saved while the surface is disabled
    float portScaleX = 1.0f, portScaleY = 1.0f;
    bool viewSurfaceTexture = false;  // the current view draws into a surface of its own
    bool guiPass = false;
};
extern FrameDrawState g_FrameDraw;

// The display mapping that the GUI transform reads (display_set_gui_size and
// display_set_gui_maximise write it); reset to these values with the rooms.
constexpr double kGuiOffsetUnset = 2147483648.0;
struct DisplayMapping {
    float viewScaleX = 1.0f, viewScaleY = 1.0f;
    float offsetX = 0.0f, offsetY = 0.0f;
    float guiWidth = -1.0f, guiHeight = -1.0f;  // negative: the window's size
    bool guiMaximise = false;
    double guiOffsetX = kGuiOffsetUnset, guiOffsetY = kGuiOffsetUnset;
    float guiScaleX = 1.0f, guiScaleY = 1.0f;
    bool guiFlag = false;
};
extern DisplayMapping g_DisplayMapping;
extern Matrix4 g_GuiInverse;  // the GUI transform's inverse, for mouse mapping

// Draws one frame of the current room.
void Draw_Frame();
// Draws the room once into the current target for the view already applied.
void Draw_View(const GRBounds& rect);
// Stores the rectangle as the current view rectangle and performs the draw event (8, subtype)
// on every drawable instance, with the layers' scripts when the room has layers.
void Draw_RunDrawEvent(const GRBounds& rect, int32_t type, int32_t subtype);
// The same; with clearFirst the target is cleared once, just before the first handler that
// runs. Answers whether it cleared.
bool Draw_PreDrawEvent(const GRBounds& rect, int32_t type, int32_t subtype, bool clearFirst);
// Copies a surface into (x, y, w, h) of the back buffer, letterboxed when keepAspect.
void Draw_ApplicationSurface(int32_t surface, float x, float y, float w, float h, bool keepAspect,
                             bool resetStates);
// Where a sw x sh surface lands in (x, y, w, h): the whole rectangle, or letterboxed.
void Draw_LetterboxRect(float sw, float sh, float x, float y, float w, float h, bool keepAspect,
                        float out[4]);

void GUI_BeginDraw();
void GUI_ApplyTransform();
void GUI_ComputeTransform(Matrix4* view, Matrix4* inverse, float* scaleX, float* scaleY, float* offsetX,
                          float* offsetY);

// Every visible view follows its target (or its camera updates), the mouse view slots are
// recorded and the port scales computed.
void Views_FollowTargets();
// Fits the window to the current room: the union of the visible view ports, else its size.
void Room_FitWindowSize();
// The size Room_FitWindowSize asks for, before the screen's limit.
void Room_ComputeWindowFit(const CRoom& room, int32_t* width, int32_t* height);

// Draws the visible virtual keys over the finished frame, as white rectangles placed in GUI
// coordinates. Runs after the step, each frame.
void Draw_VirtualKeys();

// application_surface_enable and application_surface_draw_enable.
void Draw_SetApplicationSurfaceEnabled(bool on);
bool Draw_GetApplicationSurfaceEnabled();
void Draw_SetApplicationSurfaceDraw(bool on);

// Fills the runner's, the window's and the surface stack's seams for cameras, views and the
// frame drawing. Called once at start-up.
void Room_InstallDrawHooks();
