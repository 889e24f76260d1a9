#include "app/OverlayWiring.h"

#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "world/IO_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"
#include "world/World_Step.h"

namespace {

// Device 0's client position, scaled from the back buffer to the room, or to view 0's port
// when the room uses views and view 0 is visible.
bool OverlayPointer(float* x, float* y) {
    int32_t clientX = 0, clientY = 0;
    IO_GetMouseClient(0, &clientX, &clientY);
    float width = static_cast<float>(g_D3D.backBufferWidth),
          height = static_cast<float>(g_D3D.backBufferHeight);
    if (const CRoom* room = Run_Room()) {
        width = static_cast<float>(room->width);
        height = static_cast<float>(room->height);
        if (room->viewsEnabled && room->views[0].visible) {
            width = static_cast<float>(room->views[0].portW);
            height = static_cast<float>(room->views[0].portH);
        }
    }
    const float backWidth = static_cast<float>(g_D3D.backBufferWidth > 0 ? g_D3D.backBufferWidth : 1);
    const float backHeight = static_cast<float>(g_D3D.backBufferHeight > 0 ? g_D3D.backBufferHeight : 1);
    *x = static_cast<float>(clientX) * width / backWidth;
    *y = static_cast<float>(clientY) * height / backHeight;
    return IO_MouseButtonDown(1, 0);
}

bool DrawingEnabled() {
    return g_FrameSwitches.drawingEnabled;
}

}  // namespace

void Overlay_InstallHooks() {
    g_GRHooks.overlayPointer = OverlayPointer;
    g_GRHooks.drawingEnabled = DrawingEnabled;
}
