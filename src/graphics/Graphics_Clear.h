// The viewport and the device clear of the current targets.
#pragma once

#include <cstdint>

struct GRViewport {
    int32_t x, y, width, height;
};

extern GRViewport g_Viewport;  // -1 each until first set

// colour is a game colour with alpha, 0xAABBGGRR; flags: 1 colour, 2 depth, 4 stencil.
// Only inside a scene.
void GR_D3D_Clear(uint32_t colour, float depth, uint32_t stencil, uint32_t flags);
void GR_D3D_Set_Viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void GR_Set_Viewport(int32_t x, int32_t y, int32_t width, int32_t height);
