// The few window operations the device layer needs on the game's window. The handle is the
// SDL window the window layer made (with OpenGL enabled); null stands for no window, and
// then every operation does nothing.
#pragma once

#include <cstdint>

void Window_GetClientSize(void* window, int32_t* width, int32_t* height);
void Window_GetPosition(void* window, int32_t* x, int32_t* y);
// Places the client area's top-left corner and sets its size.
void Window_SetClientRect(void* window, int32_t x, int32_t y, int32_t width, int32_t height);
void Window_SetClientSize(void* window, int32_t width, int32_t height);
// Full screen at the desktop's size, or back to a normal window.
void Window_SetFullscreen(void* window, bool fullscreen);
void Window_Show(void* window);

// ---- the window itself -------------------------------------------------------------------

enum WindowStyleFlag : uint32_t {
    WINDOW_STYLE_BORDERLESS = 1,
    WINDOW_STYLE_RESIZABLE = 2,
};

// Opens the video system; false when there is no display to open.
bool Window_InitVideo();
// Opens the video system when needed and makes a hidden OpenGL window whose client area is
// width x height at (x, y); null (and the reason logged) when it cannot.
void* Window_CreateOpenGl(const char* caption, int32_t x, int32_t y, int32_t width, int32_t height,
                          uint32_t styleFlags);
void Window_DestroyNative(void* window);
void Window_Hide(void* window);
void Window_SetTitle(void* window, const char* utf8);
// pixels: width x height words 0xAARRGGBB, rows top first.
void Window_SetIcon(void* window, const uint32_t* pixels, int32_t width, int32_t height);
// Client-area limits; 0 lifts a limit.
void Window_SetSizeLimits(void* window, int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                          int32_t maxHeight);
// The outer size: the client area with the frame the window manager draws around it.
void Window_GetOuterSize(void* window, int32_t* width, int32_t* height);
// Shows, raises and focuses the window, then takes it out of the always-on-top layer after a
// moment in it, so that it ends in front of the others.
void Window_BringToFront(void* window);
// True when the window holds the keyboard focus; false for no window.
bool Window_HasKeyboardFocus(void* window);
// What a title bar and frame add to a window's height before one exists to ask.
// The part of the first display that windows may take (without panels and docks); false when
// the window system does not say.
bool Window_UsableArea(int32_t* x, int32_t* y, int32_t* width, int32_t* height);
int32_t Window_TitleHeight();

// ---- cursor and pointer -------------------------------------------------------------------

// The system cursor shapes the window offers, in the order of its cursor table.
enum WindowCursorShape : int32_t {
    CURSOR_ARROW = 0,
    CURSOR_NONE = 1,
    CURSOR_CROSS = 2,
    CURSOR_IBEAM = 3,
    CURSOR_SIZE_NESW = 4,
    CURSOR_SIZE_NS = 5,
    CURSOR_SIZE_NWSE = 6,
    CURSOR_SIZE_WE = 7,
    CURSOR_UP_ARROW = 8,
    CURSOR_WAIT = 9,
    CURSOR_HAND = 10,
    CURSOR_NO = 11,
    CURSOR_APP_STARTING = 12,
    CURSOR_HELP = 13,
    CURSOR_SIZE_ALL = 14,
    CURSOR_SHAPE_COUNT = 15,
};

// Null for CURSOR_NONE, without video, or when the system has no cursor of the shape; shapes
// the system lacks are drawn as the arrow.
void* Window_CreateSystemCursor(int32_t shape);
void Window_FreeCursor(void* cursor);
// Shows the cursor over the client area; null hides it.
void Window_ShowCursor(void* cursor);
void Window_CaptureMouse(void* window, bool capture);
// Moves the pointer to a point of the client area.
void Window_WarpMouse(void* window, int32_t x, int32_t y);
