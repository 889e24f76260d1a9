#include "graphics/Graphics_Clear.h"

#include <algorithm>
#include <cstring>

#include "assets/TBitmap.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Matrix.h"

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

// ---- pixel read-back ----------------------------------------------------------------------

namespace {

int32_t RoundUpTo8(int32_t value) {
    return (value + 7) & ~7;
}

// Copies a rectangle of a surface into a new block through a lockable target of the device.
uint32_t* CopyOut(GpuSurface* source, int32_t x, int32_t y, int32_t width, int32_t height) {
    Device* device = g_D3D.device;
    GpuSurface* copy = nullptr;
    if (FAILED(device->CreateRenderTarget(static_cast<uint32_t>(RoundUpTo8(width)),
                                          static_cast<uint32_t>(RoundUpTo8(height)), D3DFMT_A8R8G8B8, 0, true,
                                          &copy))) {
        return nullptr;
    }
    const GpuRect from = {x, y, x + width, y + height};
    const GpuRect to = {0, 0, width, height};
    GpuLockedRect locked{};
    if (FAILED(device->StretchRect(source, &from, copy, &to, D3DTEXF_LINEAR)) ||
        FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        copy->Release();
        return nullptr;
    }
    auto* pixels = static_cast<uint32_t*>(MEM_ALLOC(size_t(width) * height * 4));
    for (int32_t row = 0; row < height; ++row) {
        std::memcpy(pixels + size_t(row) * width,
                    static_cast<const uint8_t*>(locked.pBits) + size_t(row) * locked.Pitch,
                    size_t(width) * 4);
    }
    copy->UnlockRect();
    copy->Release();
    return pixels;
}

}  // namespace

uint32_t* GR_D3D_Read_Target_Pixels(int32_t targetWidth, int32_t targetHeight, int32_t x, int32_t y,
                                    int32_t* width, int32_t* height) {
    Device* device = g_D3D.device;
    if (!device) return nullptr;
    GraphicsFlush();
    x = std::max(x, 0);
    y = std::max(y, 0);
    int32_t w = std::min(*width, targetWidth - x);
    int32_t h = std::min(*height, targetHeight - y);
    GpuDisplayMode mode;
    if (w <= 0 || h <= 0 || FAILED(device->GetDisplayMode(&mode))) return nullptr;
    // The target bound now is the back buffer or the render target of the surface drawn into.
    GpuSurface* source = nullptr;
    if (FAILED(device->GetRenderTarget(0, &source)) || !source) {
        if (FAILED(device->GetBackBuffer(&source)) || !source) return nullptr;
    }
    w = std::min(w, static_cast<int32_t>(source->Width()) - x);
    h = std::min(h, static_cast<int32_t>(source->Height()) - y);
    uint32_t* pixels = nullptr;
    if (w > 0 && h > 0) {
        *width = w;
        *height = h;
        pixels = CopyOut(source, x, y, w, h);
    }
    source->Release();
    return pixels;
}

uint32_t GR_Get_Pixel(int32_t x, int32_t y) {
    if (x < 0 || y < 0) return 0;
    int32_t width = 1, height = 1, renderWidth = 0, renderHeight = 0;
    GR_D3D_Get_Render_Size(&renderWidth, &renderHeight);
    uint32_t* pixels = GR_D3D_Read_Target_Pixels(renderWidth, renderHeight, x, y, &width, &height);
    if (!pixels) return 0;
    const uint32_t pixel = pixels[0];
    MEM_FREE(pixels);
    return (pixel & 0xFF00FF00u) | (pixel & 0xFF) << 16 | (pixel >> 16 & 0xFF);
}

TBitmap* GR_Screen_To_Bitmap(int32_t x, int32_t y, int32_t width, int32_t height) {
    const GRBounds& view = g_ViewBounds;
    const int32_t areaWidth = view.right - view.left, areaHeight = view.bottom - view.top;
    x = std::max(x, 0);
    y = std::max(y, 0);
    width = std::min(width, areaWidth - x);
    height = std::min(height, areaHeight - y);
    if (width < 1 || height < 1) return nullptr;
    TBitmap* bitmap = TBitmap_Create();
    bitmap->SetWidth(width);
    bitmap->SetHeight(height);
    bitmap->SetFormat(kBitmapFormat32);
    uint32_t* pixels = GR_D3D_Read_Target_Pixels(areaWidth, areaHeight, x, y, &width, &height);
    uint8_t* row = nullptr;
    int32_t stride = 0;
    if (pixels) bitmap->GetScanline(0, &row, &stride);
    if (pixels && row) {
        for (int32_t r = 0; r < height; ++r)
            std::memcpy(row + size_t(r) * stride, pixels + size_t(r) * width, size_t(width) * 4);
        bitmap->ReleaseScanline(row);
    }
    MEM_FREE(pixels);
    return bitmap;
}

bool GR_Clip_Copy_Region(int32_t destinationWidth, int32_t destinationHeight, int32_t* destinationX,
                         int32_t* destinationY, int32_t sourceWidth, int32_t sourceHeight, int32_t* sourceX,
                         int32_t* sourceY, int32_t* width, int32_t* height) {
    // A negative start on one side moves the other side's start by as much and shortens the copy.
    auto pull = [](int32_t* start, int32_t* other, int32_t* length) {
        if (*start >= 0) return;
        *other -= *start;
        *length += *start;
        *start = 0;
    };
    pull(sourceX, destinationX, width);
    pull(sourceY, destinationY, height);
    pull(destinationX, sourceX, width);
    pull(destinationY, sourceY, height);
    *width = std::min({*width, destinationWidth - *destinationX, sourceWidth - *sourceX});
    *height = std::min({*height, destinationHeight - *destinationY, sourceHeight - *sourceY});
    return *width > 0 && *height > 0;
}
