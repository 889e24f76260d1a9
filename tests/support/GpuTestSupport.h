// Helpers for tests that draw through a real GL device: Mesa's software rasteriser, an
// off-screen device, and reading the back buffer back.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Device.h"
#include "platform/GlDevice.h"

// Mesa's driver keeps caches in its own static data and is unloaded when the display is
// terminated; the leak checker, no longer seeing those references, would then report the
// caches as lost. The software driver is loaded once here and never unloaded.
inline void PinSoftwareGlDriver() {
    static const bool pinned = [] {
        for (const char* folder : {"/usr/lib/x86_64-linux-gnu/dri", "/usr/lib64/dri", "/usr/lib/dri"}) {
            const std::string path = std::string(folder) + "/swrast_dri.so";
            if (dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE)) return true;
        }
        return false;
    }();
    (void)pinned;
}

inline void UseSoftwareGl() {
    PinSoftwareGlDriver();
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    setenv("LP_NUM_THREADS", "2", 0);
}

inline Device* OpenHeadlessDevice(uint32_t width, uint32_t height, uint32_t samples = 0) {
    UseSoftwareGl();
    GpuPresentParameters params;
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.MultiSampleType = samples;
    Device* device = nullptr;
    GlDevice_Create(nullptr, &params, &device);
    return device;
}

// Pixels of a colour surface as 0xAARRGGBB words, rows top first.
inline std::vector<uint32_t> ReadSurface(GpuSurface* surface) {
    std::vector<uint32_t> pixels(size_t{surface->Width()} * surface->Height());
    GpuLockedRect locked{};
    if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return {};
    for (uint32_t row = 0; row < surface->Height(); ++row) {
        std::memcpy(&pixels[size_t{row} * surface->Width()],
                    static_cast<const uint8_t*>(locked.pBits) + size_t{row} * locked.Pitch,
                    surface->Width() * 4);
    }
    surface->UnlockRect();
    return pixels;
}

// The back buffer; a multisampled one is resolved through a lockable render target.
inline std::vector<uint32_t> ReadBackBuffer(Device* device) {
    GpuSurface* back = nullptr;
    device->GetBackBuffer(&back);
    GpuSurface* copy = nullptr;
    device->CreateRenderTarget(back->Width(), back->Height(), D3DFMT_A8R8G8B8, 0, true, &copy);
    device->StretchRect(back, nullptr, copy, nullptr, D3DTEXF_POINT);
    std::vector<uint32_t> pixels = ReadSurface(copy);
    copy->Release();
    back->Release();
    return pixels;
}

// The 2-D projection the layer above uses for a width x height target: y down, with the
// half-pixel shift, so quads at whole coordinates cover whole pixels with no ties.
inline void Ortho2D(float out[16], float width, float height) {
    const float m[16] = {2 / width,      0, 0, 0, 0, -2 / height, 0, 0, 0, 0, 1, 0, -1 - 1 / width,
                         1 + 1 / height, 0, 1};
    std::memcpy(out, m, sizeof m);
}
