// The GPU device the graphics layer draws through: frame, render/sampler/stage states,
// transforms, viewport, textures and render targets, geometry, clear and read-back.
// It follows the conventions the layer above was written for: row-vector matrices,
// pixel centres on whole coordinates, depth 0..1, rows stored top first, colours as
// 0xAARRGGBB words. Objects are reference counted: creation hands out one reference and
// the last Release frees the object.
#pragma once

#include <cstdint>

#include "platform/GpuDefs.h"

struct GpuRect {
    int32_t left, top, right, bottom;
};

struct GpuViewport {
    uint32_t X, Y, Width, Height;
    float MinZ, MaxZ;
};

struct GpuLockedRect {
    int32_t Pitch;
    void* pBits;
};

struct GpuPresentParameters {
    uint32_t BackBufferWidth = 0;  // 0: the window's client size (1 without a window)
    uint32_t BackBufferHeight = 0;
    uint32_t BackBufferFormat = D3DFMT_A8R8G8B8;
    uint32_t BackBufferCount = 1;
    uint32_t MultiSampleType = 0;  // 0 or a sample count
    uint32_t SwapEffect = D3DSWAPEFFECT_COPY;
    bool Windowed = true;
    bool EnableAutoDepthStencil = true;
    uint32_t AutoDepthStencilFormat = D3DFMT_D24S8;
    uint32_t PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
};

struct GpuCaps {
    uint32_t DeviceType;
    uint32_t MaxTextureWidth, MaxTextureHeight;
    uint32_t NumSimultaneousRTs;
    uint32_t RasterCaps;
    uint32_t VertexShaderVersion, PixelShaderVersion;
    uint32_t NumberOfAdaptersInGroup, MasterAdapterOrdinal;
};

struct GpuDisplayMode {
    uint32_t Width, Height, RefreshRate, Format;
};

struct GpuRasterStatus {
    bool InVBlank;
    uint32_t ScanLine;
};

class GpuResource {
public:
    GpuResource() = default;
    GpuResource(const GpuResource&) = delete;
    GpuResource& operator=(const GpuResource&) = delete;
    uint32_t AddRef() { return ++m_references; }
    uint32_t Release() {
        const uint32_t left = --m_references;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~GpuResource() = default;

private:
    uint32_t m_references = 1;
};

class GpuSurface : public GpuResource {
public:
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;
    virtual uint32_t Format() const = 0;
    // rect null: the whole surface. Rows come top first, Pitch bytes apart.
    virtual HRESULT LockRect(GpuLockedRect* locked, const GpuRect* rect, uint32_t flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

class GpuTexture : public GpuResource {
public:
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;
    virtual uint32_t Levels() const = 0;
    virtual uint32_t Format() const = 0;
    virtual uint32_t Usage() const = 0;
    virtual HRESULT LockRect(uint32_t level, GpuLockedRect* locked, const GpuRect* rect, uint32_t flags) = 0;
    virtual HRESULT UnlockRect(uint32_t level) = 0;
    // The surface holds a reference on its texture.
    virtual HRESULT GetSurfaceLevel(uint32_t level, GpuSurface** surface) = 0;
};

class GpuVertexBuffer : public GpuResource {
public:
    virtual uint32_t Length() const = 0;
    // size 0 locks from offset to the end.
    virtual HRESULT Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
    virtual HRESULT Unlock() = 0;
};

class Device : public GpuResource {
public:
    // Frame and presentation.
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Present() = 0;
    // Recreates the back buffer and its depth buffer and returns every state to its default.
    virtual HRESULT Reset(GpuPresentParameters* params) = 0;
    virtual HRESULT GetDeviceCaps(GpuCaps* caps) = 0;
    // D3D_OK when render targets can take that many samples (0 and 1: always).
    virtual HRESULT CheckDeviceMultiSampleType(uint32_t samples) = 0;
    virtual HRESULT GetDisplayMode(GpuDisplayMode* mode) = 0;
    virtual HRESULT GetRasterStatus(GpuRasterStatus* status) = 0;

    // States.
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) = 0;
    virtual HRESULT SetSamplerState(uint32_t stage, D3DSAMPLERSTATETYPE type, uint32_t value) = 0;
    virtual HRESULT SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const float matrix[16]) = 0;
    virtual HRESULT SetViewport(const GpuViewport* viewport) = 0;
    virtual HRESULT GetViewport(GpuViewport* viewport) = 0;

    // Textures and render targets.
    virtual HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                  uint32_t format, uint32_t pool, GpuTexture** texture) = 0;
    virtual HRESULT CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
                                       bool lockable, GpuSurface** surface) = 0;
    virtual HRESULT CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format,
                                              uint32_t samples, GpuSurface** surface) = 0;
    virtual HRESULT SetTexture(uint32_t stage, GpuTexture* texture) = 0;
    virtual HRESULT GetBackBuffer(GpuSurface** surface) = 0;
    virtual HRESULT GetRenderTarget(uint32_t index, GpuSurface** surface) = 0;
    virtual HRESULT SetRenderTarget(uint32_t index, GpuSurface* surface) = 0;
    virtual HRESULT GetDepthStencilSurface(GpuSurface** surface) = 0;
    virtual HRESULT SetDepthStencilSurface(GpuSurface* surface) = 0;
    virtual HRESULT StretchRect(GpuSurface* source, const GpuRect* sourceRect, GpuSurface* dest,
                                const GpuRect* destRect, uint32_t filter) = 0;

    // Geometry and clearing.
    virtual HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                       GpuVertexBuffer** buffer) = 0;
    virtual HRESULT SetFVF(uint32_t fvf) = 0;
    virtual HRESULT SetStreamSource(uint32_t stream, GpuVertexBuffer* buffer, uint32_t offset,
                                    uint32_t stride) = 0;
    virtual HRESULT DrawPrimitive(uint32_t kind, uint32_t startVertex, uint32_t primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(uint32_t kind, uint32_t primitiveCount, const void* vertices,
                                    uint32_t stride) = 0;
    // Clears the viewport (or the given rectangles inside it) whatever the write masks are.
    virtual HRESULT Clear(uint32_t rectCount, const GpuRect* rects, uint32_t flags, uint32_t colour, float z,
                          uint32_t stencil) = 0;
};

// Vertices a draw of primitiveCount primitives of that kind takes (any other kind: points).
uint32_t Gpu_VertexCount(uint32_t kind, uint32_t primitiveCount);
// Bytes one vertex of a flexible vertex format takes.
uint32_t Gpu_FVFStride(uint32_t fvf);
