// The game's main window: creation with its caption, icon, sizes and limits, the window
// procedure that turns messages into input, focus and size requests, the window_* back-ends,
// and the 32 view-port slots through which window positions map to room positions and back.
//
// Size and full-screen requests never touch the device at once: they set the pending window
// size and the reset countdown, and the device layer applies them at its next reset. Under
// "-headless" the window is virtual: it keeps its state and takes messages, but nothing is
// shown and the device draws off-screen.
#pragma once

#include <cstdint>

#include "platform/WindowMessage.h"

constexpr int32_t WINDOW_VIEW_PORTS = 32;
constexpr int32_t WINDOW_MOUSE_DEVICES = 10;

// Header flags word bits the window reads besides those of the device layer.
constexpr uint32_t WINDOW_FLAG_SHOW_CURSOR = 1u << 5;
constexpr uint32_t WINDOW_FLAG_RESIZABLE = 1u << 6;

struct ViewPortSlot {
    bool inUse;
    float viewX, viewY, viewWidth, viewHeight;  // the room rectangle the view shows
    float portX, portY, portWidth, portHeight;  // where it lands on the application surface
    float angle;                                // degrees
    int32_t surfaceId;                          // -1: the view draws to the screen
    int32_t cameraId;                           // layer mode
};

struct WindowState {
    void* handle = nullptr;  // the native window; null for the virtual one
    bool exists = false;     // created (natively or virtually) and not destroyed
    bool isVirtual = false;
    char* caption = nullptr;  // memory manager
    uint32_t style = 0;       // WindowStyleFlag bits of the windowed style
    int32_t baseWidth = 0, baseHeight = 0;
    int32_t minWidth = 0, maxWidth = 0, minHeight = 0, maxHeight = 0;  // 0: no limit
    uint32_t colour = 0xFF000000u;
    bool active = false;
    int32_t virtualX = 0, virtualY = 0;
    int32_t captureCount = 0;
    int64_t rightShiftScan = -1;  // scan-code bits of the last right-shift press
    bool userResizing = false;
    bool ignoreNextSize = true;
    int32_t cursorKind = -1;
    void* cursorHandle = nullptr;
    void* cursors[15] = {};
    float widthScale = 1.0f, heightScale = 1.0f;  // application surface / ports, from the room drawing
    ViewPortSlot viewPorts[WINDOW_VIEW_PORTS] = {};
    int32_t viewPortCount = 0;
};

extern WindowState g_Window;

// What the window calls in the input layer, the runner, the room drawing and the platform
// services. Each slot has a default that does nothing (the two mouse-position slots keep a
// small table of their own), and the module that owns the call puts its function in the slot.
struct WindowHooks {
    void (*Input_OnKeyDown)(int32_t key, int32_t modifiers, bool repeat);
    void (*Input_OnKeyUp)(int32_t key, int32_t modifiers);
    void (*Input_OnChar)(uint32_t unit);  // one UTF-16 unit
    void (*Input_OnMouseDown)(int32_t button, int32_t x, int32_t y);
    void (*Input_OnMouseUp)(int32_t button, int32_t x, int32_t y);
    void (*Input_OnWheelUp)(int32_t keyMask, int32_t x, int32_t y, int32_t* handled);
    void (*Input_OnWheelDown)(int32_t keyMask, int32_t x, int32_t y, int32_t* handled);
    // A mouse device's raw position in the client area, and the snapshot of the current step.
    void (*Input_SetMousePosition)(int32_t device, int32_t x, int32_t y);
    void (*Input_GetMousePosition)(int32_t device, int32_t* x, int32_t* y);
    void (*Gamepad_RedetectJoysticks)();
    void (*Gamepad_RedetectXInput)();
    void (*Gamepad_RedetectDirectInput)();
    void (*Run_RequestEnd)();
    void (*Platform_RegisterPauseEvent)();
    // The current room's size; false while no room is current.
    bool (*Room_GetSize)(int32_t* width, int32_t* height);
    // Whether view 0..7 of the current room is visible.
    bool (*Room_ViewVisible)(int32_t view);
    // The application surface's size; the answer says whether it is in use.
    bool (*ApplicationSurface_Get)(int32_t* width, int32_t* height);
    // A camera's view-projection matrix or its inverse; false when no camera has the id.
    bool (*Camera_GetViewProjMatrix)(int32_t camera, float out[16]);
    bool (*Camera_GetInvViewProjMatrix)(int32_t camera, float out[16]);
    // The program's icon at about size x size pixels (0xAARRGGBB rows), or null.
    const uint32_t* (*Icon_Get)(int32_t size, int32_t* width, int32_t* height);
};

extern WindowHooks g_WindowHooks;
void Window_Hooks_Reset();

// ---- creation and lifetime ----------------------------------------------------------------

void Window_Init();
// Makes the main window for the game header's flags and size ("Create Window"); true when a
// window (native, or virtual under "-headless") exists afterwards.
bool Window_Create(int32_t width, int32_t height);
// The native window the device presents into (created with OpenGL); null for a virtual one.
void* Window_Get_Handle();
void Window_Destroy();
void Window_Bring_To_Front();
// The client size for a requested size on a screen, less the title bar's height.
void Window_Compute_Client_Size(int32_t width, int32_t height, int32_t screenWidth, int32_t screenHeight,
                                int32_t titleHeight, int32_t* clientWidth, int32_t* clientHeight);

// ---- caption, full screen, position and size --------------------------------------------

void Window_Set_Caption(const char* text);
const char* Window_Get_Caption();
void Window_Set_Fullscreen(bool fullscreen);
bool Window_Get_Fullscreen();
void Window_Set_Position(int32_t x, int32_t y);
void Window_Set_Size(int32_t width, int32_t height);
void Window_Set_Rectangle(int32_t x, int32_t y, int32_t width, int32_t height);
int32_t Window_Get_X();
int32_t Window_Get_Y();
int32_t Window_Get_Width();
int32_t Window_Get_Height();
void Window_Set_Min_Width(int32_t size);
void Window_Set_Max_Width(int32_t size);
void Window_Set_Min_Height(int32_t size);
void Window_Set_Max_Height(int32_t size);
int32_t Window_Get_Base_Width();
int32_t Window_Get_Base_Height();

// ---- colour and cursor --------------------------------------------------------------------

void Window_Set_Colour(uint32_t colour);
uint32_t Window_Get_Colour();
void Window_Set_Cursor(int32_t kind);
int32_t Window_Get_Cursor();
// The cursor-table index a cursor kind shows (-1: the kind shows nothing new).
int32_t Window_Cursor_Index(int32_t kind);

// ---- mouse ----------------------------------------------------------------------------------

void Window_Mouse_Set(int32_t x, int32_t y);
int32_t Window_Mouse_Get_X();
int32_t Window_Mouse_Get_Y();
// Eight doubles per monitor: the rectangle's overlap with it (zeros when none), then the
// monitor's rectangle; the array (memory manager) goes to the caller. Answers the count.
int32_t Window_Get_Visible_Rects(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double** out);

// ---- view-port slots and mapping ----------------------------------------------------------

void Window_Set_View_Port(int32_t slot, float portX, float portY, float portWidth, float portHeight,
                          float viewX, float viewY, float viewWidth, float viewHeight, float angle,
                          int32_t surfaceId, int32_t cameraId);
void Window_Clear_View_Port(int32_t slot);
// The room drawing's port-to-application-surface scale factors.
void Window_Set_Scale_Factors(float width, float height);
void Window_Get_Display_Rect(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
// x, y relative to the display rectangle's top-left. Outputs stay as they are when the slot
// cannot map (out of range, unused, empty port, no camera, or a window with no area).
void Window_Map_Mouse_To_View(int32_t slot, int32_t x, int32_t y, int32_t* roomX, int32_t* roomY);
void Window_Map_Room_To_View(int32_t slot, float roomX, float roomY, int32_t* x, int32_t* y);
// x, y in the client area.
void Window_Map_Mouse_To_Room(int32_t x, int32_t y, int32_t* roomX, int32_t* roomY);
int32_t Window_View_Mouse_Get_X(int32_t view);
int32_t Window_View_Mouse_Get_Y(int32_t view);
void Window_Device_Mouse_Room(int32_t* x, int32_t* y, int32_t device);
int32_t Window_Mouse_Room_X(int32_t device);
int32_t Window_Mouse_Room_Y(int32_t device);

// ---- the window procedure ---------------------------------------------------------------

int64_t Window_Proc(const WindowMessage& message);
// What the system does with a message the procedure passes on.
int64_t Window_Default_Proc(const WindowMessage& message);
void Window_Key_Down(const WindowMessage& message);
void Window_Key_Up(const WindowMessage& message);
void Window_Mouse_Down(const WindowMessage& message);
void Window_Mouse_Up(const WindowMessage& message);
int64_t Window_Mouse_Wheel(const WindowMessage& message);
// Asks the procedure for the track sizes and hands them to the native window as its limits.
void Window_Apply_Size_Limits();
