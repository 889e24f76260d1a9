#include "platform/Display.h"

#include <SDL.h>

#include <iterator>

namespace {

DisplayModeDesc g_virtualDesktop = {1920, 1080, 32, 60};
int32_t g_virtualCursorX = 0, g_virtualCursorY = 0;

// Modes the virtual display offers besides its desktop mode, smallest first.
const DisplayModeDesc kVirtualModes[] = {
    {640, 480, 32, 60}, {800, 600, 32, 60}, {1024, 768, 32, 60}, {1280, 720, 32, 60}, {1280, 1024, 32, 60},
};

bool UsingSdl() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

DisplayModeDesc FromSdl(const SDL_DisplayMode& mode) {
    // A 32-bit pixel with an unused byte counts as 32 bits, as display settings report it.
    return {mode.w, mode.h, static_cast<int32_t>(SDL_BYTESPERPIXEL(mode.format)) * 8, mode.refresh_rate};
}

}  // namespace

int32_t Display_AdapterCount() {
    if (!UsingSdl()) return 1;
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 ? count : 0;
}

bool Display_GetAdapter(int32_t adapter, DisplayAdapterDesc* out) {
    if (adapter < 0 || adapter >= Display_AdapterCount()) return false;
    if (!UsingSdl()) {
        *out = {"Virtual display",
                "DISPLAY1",
                0,
                0,
                g_virtualDesktop.width,
                g_virtualDesktop.height,
                g_virtualDesktop.bitsPerPixel,
                g_virtualDesktop.refreshRate,
                false};
        return true;
    }
    const char* name = SDL_GetDisplayName(adapter);
    out->description = name ? name : "Display";
    out->deviceName = "DISPLAY" + std::to_string(adapter + 1);
    SDL_Rect bounds{0, 0, 640, 480};
    SDL_GetDisplayBounds(adapter, &bounds);
    SDL_DisplayMode mode{};
    DisplayModeDesc desktop = {bounds.w, bounds.h, 8, 60};
    if (SDL_GetDesktopDisplayMode(adapter, &mode) == 0) desktop = FromSdl(mode);
    out->x = bounds.x;
    out->y = bounds.y;
    out->width = desktop.width;
    out->height = desktop.height;
    out->bitsPerPixel = desktop.bitsPerPixel;
    out->refreshRate = desktop.refreshRate;
    out->interlaced = false;
    return true;
}

bool Display_GetMode(int32_t adapter, int32_t index, DisplayModeDesc* out) {
    if (index < 0 || adapter < 0 || adapter >= Display_AdapterCount()) return false;
    if (!UsingSdl()) {
        const int32_t fixed = static_cast<int32_t>(std::size(kVirtualModes));
        if (index < fixed) {
            *out = kVirtualModes[index];
            return true;
        }
        if (index > fixed) return false;
        *out = g_virtualDesktop;
        return true;
    }
    SDL_DisplayMode mode{};
    if (index >= SDL_GetNumDisplayModes(adapter) || SDL_GetDisplayMode(adapter, index, &mode) != 0)
        return false;
    *out = FromSdl(mode);
    return true;
}

void Display_SetVirtualMode(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t refreshRate) {
    g_virtualDesktop = {width, height, bitsPerPixel, refreshRate};
}

void Display_GetCursor(int32_t* x, int32_t* y) {
    if (!UsingSdl()) {
        *x = g_virtualCursorX;
        *y = g_virtualCursorY;
        return;
    }
    int cx = 0, cy = 0;
    SDL_GetGlobalMouseState(&cx, &cy);
    *x = cx;
    *y = cy;
}

void Display_SetCursor(int32_t x, int32_t y) {
    if (!UsingSdl()) {
        g_virtualCursorX = x;
        g_virtualCursorY = y;
        return;
    }
    SDL_WarpMouseGlobal(x, y);
}

bool Display_GetDPI(float* x, float* y) {
    float horizontal = 0.0f, vertical = 0.0f;
    if (!UsingSdl() || SDL_GetDisplayDPI(0, nullptr, &horizontal, &vertical) != 0) return false;
    if (horizontal <= 0.0f || vertical <= 0.0f) return false;
    *x = horizontal;
    *y = vertical;
    return true;
}
