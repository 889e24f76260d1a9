#include "graphics/Graphics_Clear.h"

#include <algorithm>
#include <cstring>

#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/TexturesM.h"

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

namespace {

// What the texture functions draw on: the record's own target surface, or level 0 of its
// texture. The caller releases the answer.
GpuSurface* RecordSurface(TextureRecord* record) {
    if (record->surface) {
        record->surface->AddRef();
        return record->surface;
    }
    GpuSurface* level0 = nullptr;
    if (!record->texture || FAILED(record->texture->GetSurfaceLevel(0, &level0))) return nullptr;
    return level0;
}

bool Managed(const TextureRecord* record) {
    return (record->flags & TEXREC_POOL_MANAGED) != 0;
}

// The device can read and write pixels now; textures made on demand are made first.
bool ReadyForPixels(TextureRecord* record) {
    GpuDisplayMode mode;
    if (!g_D3D.device || !record || FAILED(g_D3D.device->GetDisplayMode(&mode))) return false;
    GR_Texture_Prefetch(record);
    return record->texture != nullptr;
}

// Rows of `width` pixels between a block (rows blockWidth pixels apart) and locked memory.
void CopyRows(uint32_t* block, int32_t blockWidth, const GpuLockedRect& locked, int32_t width, int32_t height,
              bool fromLocked) {
    for (int32_t row = 0; row < height; ++row) {
        uint8_t* lockedRow = static_cast<uint8_t*>(locked.pBits) + size_t(row) * locked.Pitch;
        uint32_t* blockRow = block + size_t(row) * blockWidth;
        if (fromLocked) {
            std::memcpy(blockRow, lockedRow, size_t(width) * 4);
        } else {
            std::memcpy(lockedRow, blockRow, size_t(width) * 4);
        }
    }
}

// Reads width x height pixels at (x, y) of a record through a lockable target into the block.
bool ReadThroughTarget(TextureRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t* block, int32_t blockWidth, int32_t blockHeight) {
    GpuSurface* source = RecordSurface(record);
    GpuSurface* copy = nullptr;
    bool done = false;
    if (source && SUCCEEDED(g_D3D.device->CreateRenderTarget(static_cast<uint32_t>(blockWidth),
                                                             static_cast<uint32_t>(blockHeight),
                                                             D3DFMT_A8R8G8B8, 0, true, &copy))) {
        const GpuRect from = {x, y, x + width, y + height};
        const GpuRect to = {0, 0, width, height};
        GpuLockedRect locked{};
        if (SUCCEEDED(g_D3D.device->StretchRect(source, &from, copy, &to, D3DTEXF_LINEAR)) &&
            SUCCEEDED(copy->LockRect(&locked, &to, D3DLOCK_READONLY))) {
            // Only the texture's pixels: the rest of a fresh target holds nothing defined.
            CopyRows(block, blockWidth, locked, width, height, true);
            copy->UnlockRect();
            done = true;
        }
        copy->Release();
    }
    if (source) source->Release();
    return done;
}

}  // namespace

uint32_t* GR_D3D_Read_Texture_Pixels(TextureRecord* record, int32_t x, int32_t y, int32_t width,
                                     int32_t height) {
    if (!g_D3D.device || !record) return nullptr;
    GraphicsFlush();
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (width <= 0 || height <= 0 || !ReadyForPixels(record)) return nullptr;
    const int32_t copyWidth = std::min(width, GR_Texture_Width(record) - x);
    const int32_t copyHeight = std::min(height, GR_Texture_Height(record) - y);
    if (copyWidth <= 0 || copyHeight <= 0) return nullptr;
    auto* block = static_cast<uint32_t*>(MEM_ALLOC(size_t(width) * height * 4));
    bool done = false;
    if (Managed(record)) {
        const GpuRect area = {x, y, x + copyWidth, y + copyHeight};
        GpuLockedRect locked{};
        if (SUCCEEDED(record->texture->LockRect(0, &locked, &area, D3DLOCK_READONLY))) {
            CopyRows(block, width, locked, copyWidth, copyHeight, true);
            record->texture->UnlockRect(0);
            done = true;
        }
    } else {
        done = ReadThroughTarget(record, x, y, copyWidth, copyHeight, block, width, height);
    }
    if (done) return block;
    MEM_FREE(block);
    return nullptr;
}

uint32_t* GR_Texture_Read_Pixels(TextureRecord* record, int32_t x, int32_t y, int32_t width, int32_t height) {
    return GR_D3D_Read_Texture_Pixels(record, x, y, width, height);
}

void GR_D3D_Write_Texture_Pixels(const uint32_t* pixels, TextureRecord* record, int32_t x, int32_t y,
                                 int32_t width, int32_t height) {
    if (!g_D3D.device || !record || !pixels) return;
    GraphicsFlush();
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (width < 1 || height < 1 || !ReadyForPixels(record)) return;
    const int32_t copyWidth = std::min(width, GR_Texture_Width(record) - x);
    const int32_t copyHeight = std::min(height, GR_Texture_Height(record) - y);
    if (copyWidth <= 0 || copyHeight <= 0) return;
    uint32_t* source = const_cast<uint32_t*>(pixels);
    GpuLockedRect locked{};
    if (Managed(record)) {
        const GpuRect area = {x, y, x + copyWidth, y + copyHeight};
        if (FAILED(record->texture->LockRect(0, &locked, &area, 0))) return;
        CopyRows(source, width, locked, copyWidth, copyHeight, false);
        record->texture->UnlockRect(0);
        return;
    }
    GpuSurface* staging = nullptr;
    if (FAILED(g_D3D.device->CreateRenderTarget(static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                                D3DFMT_A8R8G8B8, 0, true, &staging))) {
        return;
    }
    GpuSurface* target = RecordSurface(record);
    if (target && SUCCEEDED(staging->LockRect(&locked, nullptr, 0))) {
        CopyRows(source, width, locked, width, height, false);
        staging->UnlockRect();
        const GpuRect from = {0, 0, copyWidth, copyHeight};
        const GpuRect to = {x, y, x + copyWidth, y + copyHeight};
        g_D3D.device->StretchRect(staging, &from, target, &to, D3DTEXF_LINEAR);
        record->flags |= TEXREC_TARGET_PENDING;
    }
    if (target) target->Release();
    staging->Release();
}

void GR_D3D_Copy_Texture_Region(TextureRecord* destination, int32_t destinationX, int32_t destinationY,
                                TextureRecord* source, int32_t sourceX, int32_t sourceY, int32_t width,
                                int32_t height) {
    if (!ReadyForPixels(destination) || !ReadyForPixels(source)) return;
    GraphicsFlush();
    if (!GR_Clip_Copy_Region(GR_Texture_Width(destination), GR_Texture_Height(destination), &destinationX,
                             &destinationY, GR_Texture_Width(source), GR_Texture_Height(source), &sourceX,
                             &sourceY, &width, &height)) {
        return;
    }
    GpuSurface* from = RecordSurface(source);
    GpuSurface* to = RecordSurface(destination);
    GpuSurface* between = nullptr;
    const GpuRect sourceRect = {sourceX, sourceY, sourceX + width, sourceY + height};
    const GpuRect destinationRect = {destinationX, destinationY, destinationX + width, destinationY + height};
    const GpuRect betweenRect = {0, 0, width, height};
    if (from && to && from != to) {
        g_D3D.device->StretchRect(from, &sourceRect, to, &destinationRect, D3DTEXF_LINEAR);
        destination->flags |= TEXREC_TARGET_PENDING;
    } else if (from && to &&
               SUCCEEDED(g_D3D.device->CreateRenderTarget(static_cast<uint32_t>(width),
                                                          static_cast<uint32_t>(height), D3DFMT_A8R8G8B8, 0,
                                                          false, &between))) {
        // A copy within one texture goes through a target of its own, so overlapping
        // rectangles copy what was there before.
        g_D3D.device->StretchRect(from, &sourceRect, between, &betweenRect, D3DTEXF_LINEAR);
        g_D3D.device->StretchRect(between, &betweenRect, to, &destinationRect, D3DTEXF_LINEAR);
        between->Release();
        destination->flags |= TEXREC_TARGET_PENDING;
    }
    if (from) from->Release();
    if (to) to->Release();
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
