#include "graphics/Graphics_Clear.h"

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"

GRViewport g_Viewport = {-1, -1, -1, -1};

void GR_D3D_Clear(uint32_t colour, float depth, uint32_t stencil, uint32_t flags) {
    if (!g_D3D.device || flags == 0 || g_D3D.sceneDepth != 1) return;
    GraphicsFlush();
    const uint32_t deviceColour = (colour & 0xFF00FF00u) | (colour & 0xFF) << 16 | (colour >> 16 & 0xFF);
    g_D3D.device->Clear(0, nullptr, flags, deviceColour, depth, stencil);
}

void GR_D3D_Set_Viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!g_D3D.device) return;
    // A negative size reaches the device as an empty viewport.
    const GpuViewport viewport = {static_cast<uint32_t>(x < 0 ? 0 : x),
                                  static_cast<uint32_t>(y < 0 ? 0 : y),
                                  static_cast<uint32_t>(width < 0 ? 0 : width),
                                  static_cast<uint32_t>(height < 0 ? 0 : height),
                                  0.0f,
                                  1.0f};
    g_D3D.device->SetViewport(&viewport);
}

void GR_Set_Viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!g_D3D.device) return;
    GraphicsFlush();
    g_Viewport = {x, y, width, height};
    GR_D3D_Set_Viewport(x, y, width, height);
}
