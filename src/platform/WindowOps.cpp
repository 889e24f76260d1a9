#include "platform/WindowOps.h"

#include <SDL.h>

namespace {
SDL_Window* AsSdl(void* window) {
    return static_cast<SDL_Window*>(window);
}
}  // namespace

void Window_GetClientSize(void* window, int32_t* width, int32_t* height) {
    if (!window) return;
    int w = 0, h = 0;
    SDL_GetWindowSize(AsSdl(window), &w, &h);
    *width = w;
    *height = h;
}

void Window_GetPosition(void* window, int32_t* x, int32_t* y) {
    if (!window) return;
    int px = 0, py = 0;
    SDL_GetWindowPosition(AsSdl(window), &px, &py);
    *x = px;
    *y = py;
}

void Window_SetClientRect(void* window, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!window) return;
    SDL_SetWindowPosition(AsSdl(window), x, y);
    SDL_SetWindowSize(AsSdl(window), width, height);
}

void Window_SetClientSize(void* window, int32_t width, int32_t height) {
    if (!window) return;
    SDL_SetWindowSize(AsSdl(window), width, height);
}

void Window_SetFullscreen(void* window, bool fullscreen) {
    if (!window) return;
    SDL_SetWindowFullscreen(AsSdl(window), fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

void Window_Show(void* window) {
    if (!window) return;
    SDL_ShowWindow(AsSdl(window));
}

// ---- the window itself -------------------------------------------------------------------

namespace {
// Stands in for "no upper limit": the window system takes no 0 there once a limit was set.
constexpr int32_t kNoMaximum = 16384;

}  // namespace

bool Window_InitVideo() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void* Window_CreateOpenGl(const char* caption, int32_t x, int32_t y, int32_t width, int32_t height,
                          uint32_t styleFlags) {
    if (!Window_InitVideo()) return nullptr;
    uint32_t flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (styleFlags & WINDOW_STYLE_BORDERLESS) flags |= SDL_WINDOW_BORDERLESS;
    if (styleFlags & WINDOW_STYLE_RESIZABLE) flags |= SDL_WINDOW_RESIZABLE;
    return SDL_CreateWindow(caption ? caption : "", x, y, width > 0 ? width : 1, height > 0 ? height : 1,
                            flags);
}

void Window_DestroyNative(void* window) {
    if (window) SDL_DestroyWindow(AsSdl(window));
}

void Window_Hide(void* window) {
    if (window) SDL_HideWindow(AsSdl(window));
}

void Window_SetTitle(void* window, const char* utf8) {
    if (window) SDL_SetWindowTitle(AsSdl(window), utf8 ? utf8 : "");
}

void Window_SetIcon(void* window, const uint32_t* pixels, int32_t width, int32_t height) {
    if (!window || !pixels || width <= 0 || height <= 0) return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height,
                                                              32, width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return;
    SDL_SetWindowIcon(AsSdl(window), surface);
    SDL_FreeSurface(surface);
}

void Window_SetSizeLimits(void* window, int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                          int32_t maxHeight) {
    if (!window) return;
    SDL_SetWindowMinimumSize(AsSdl(window), minWidth > 0 ? minWidth : 1, minHeight > 0 ? minHeight : 1);
    if (maxWidth > 0 || maxHeight > 0) {
        SDL_SetWindowMaximumSize(AsSdl(window), maxWidth > 0 ? maxWidth : kNoMaximum,
                                 maxHeight > 0 ? maxHeight : kNoMaximum);
    } else {
        SDL_SetWindowMaximumSize(AsSdl(window), kNoMaximum, kNoMaximum);
    }
}

void Window_GetOuterSize(void* window, int32_t* width, int32_t* height) {
    if (!window) return;
    int w = 0, h = 0, top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowSize(AsSdl(window), &w, &h);
    if (SDL_GetWindowBordersSize(AsSdl(window), &top, &left, &bottom, &right) != 0)
        top = left = bottom = right = 0;
    *width = w + left + right;
    *height = h + top + bottom;
}

void Window_BringToFront(void* window) {
    if (!window) return;
    SDL_ShowWindow(AsSdl(window));
    SDL_RaiseWindow(AsSdl(window));
    SDL_SetWindowAlwaysOnTop(AsSdl(window), SDL_TRUE);
    SDL_SetWindowAlwaysOnTop(AsSdl(window), SDL_FALSE);
}

bool Window_HasKeyboardFocus(void* window) {
    return window != nullptr && SDL_GetKeyboardFocus() == AsSdl(window);
}

bool Window_UsableArea(int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
    SDL_Rect area;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || SDL_GetDisplayUsableBounds(0, &area) != 0 || area.w < 1 ||
        area.h < 1)
        return false;
    *x = area.x;
    *y = area.y;
    *width = area.w;
    *height = area.h;
    return true;
}

int32_t Window_TitleHeight() {
    return 30;
}

// ---- cursor and pointer -------------------------------------------------------------------

void* Window_CreateSystemCursor(int32_t shape) {
    if (shape == CURSOR_NONE || shape < 0 || shape >= CURSOR_SHAPE_COUNT) return nullptr;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return nullptr;
    static const SDL_SystemCursor kShapes[CURSOR_SHAPE_COUNT] = {
        SDL_SYSTEM_CURSOR_ARROW,     SDL_SYSTEM_CURSOR_ARROW,    SDL_SYSTEM_CURSOR_CROSSHAIR,
        SDL_SYSTEM_CURSOR_IBEAM,     SDL_SYSTEM_CURSOR_SIZENESW, SDL_SYSTEM_CURSOR_SIZENS,
        SDL_SYSTEM_CURSOR_SIZENWSE,  SDL_SYSTEM_CURSOR_SIZEWE,   SDL_SYSTEM_CURSOR_ARROW,  // no up arrow
        SDL_SYSTEM_CURSOR_WAIT,      SDL_SYSTEM_CURSOR_HAND,     SDL_SYSTEM_CURSOR_NO,
        SDL_SYSTEM_CURSOR_WAITARROW, SDL_SYSTEM_CURSOR_ARROW,  // no help cursor
        SDL_SYSTEM_CURSOR_SIZEALL,
    };
    return SDL_CreateSystemCursor(kShapes[shape]);
}

void Window_FreeCursor(void* cursor) {
    if (cursor) SDL_FreeCursor(static_cast<SDL_Cursor*>(cursor));
}

void Window_ShowCursor(void* cursor) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    if (!cursor) {
        SDL_ShowCursor(SDL_DISABLE);
        return;
    }
    SDL_SetCursor(static_cast<SDL_Cursor*>(cursor));
    SDL_ShowCursor(SDL_ENABLE);
}

void Window_CaptureMouse(void* window, bool capture) {
    if (window) SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
}

void Window_WarpMouse(void* window, int32_t x, int32_t y) {
    if (window) SDL_WarpMouseInWindow(AsSdl(window), x, y);
}
