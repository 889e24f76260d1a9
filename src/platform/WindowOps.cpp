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
