// The GPU device the graphics layer draws through: frame, render/sampler/stage states,
// transforms, viewport, textures and render targets, geometry, clear and read-back.
// It follows the conventions the layer above was written for: row-vector matrices,
// pixel centres on whole coordinates, depth 0..1, rows stored top first, colours as
// 0xAARRGGBB words. Objects are reference counted: creation hands out one reference and
// the last Release frees the object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// One element of a vertex declaration (stream 0 only); D3DDECL_END (Stream 0xFF) ends a list.
struct GpuVertexElement {
    uint16_t Stream, Offset;
    uint8_t Type, Method, Usage, UsageIndex;
};
constexpr GpuVertexElement D3DDECL_END = {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0};

class GpuVertexDeclaration : public GpuResource {};

// A uniform of a linked shader program, described as constant registers of four values: a
// vector or scalar takes one register per element, a matN takes N registers per element (one
// register per matrix column as the program reads it), a sampler names its texture stage.
struct GpuUniformDesc {
    std::string name;  // without a trailing "[0]"
    uint32_t registerIndex;
    uint32_t registerCount;  // rows x elements
    uint32_t columns, rows, elements;
    bool integer, boolean, sampler;
};

// A program made from a vertex and a fragment text. It exists even when compiling or linking
// failed: Linked() is false, FailedStage() says which text (0 vertex, 1 fragment) and Log()
// holds the compiler's message.
class GpuShaderProgram : public GpuResource {
public:
    virtual bool Linked() const = 0;
    virtual int32_t FailedStage() const = 0;
    virtual const std::string& Log() const = 0;
    virtual const std::vector<GpuUniformDesc>& Uniforms() const = 0;
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
    // Fixed-function lighting (render state D3DRS_LIGHTING switches it; vertices need normals).
    virtual HRESULT SetMaterial(const GpuMaterial* material) = 0;
    virtual HRESULT SetLight(uint32_t index, const GpuLight* light) = 0;
    virtual HRESULT LightEnable(uint32_t index, bool on) = 0;
    virtual HRESULT SetStreamSource(uint32_t stream, GpuVertexBuffer* buffer, uint32_t offset,
                                    uint32_t stride) = 0;
    virtual HRESULT DrawPrimitive(uint32_t kind, uint32_t startVertex, uint32_t primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(uint32_t kind, uint32_t primitiveCount, const void* vertices,
                                    uint32_t stride) = 0;
    // Vertex declarations: SetFVF(0) with a declaration draws through it; a non-zero FVF wins.
    virtual HRESULT CreateVertexDeclaration(const GpuVertexElement* elements,
                                            GpuVertexDeclaration** declaration) = 0;
    virtual HRESULT SetVertexDeclaration(GpuVertexDeclaration* declaration) = 0;

    // Shader programs. attributes: names bound to locations by Gpu_AttributeLocation (the
    // standard names are always bound). Null program: the fixed-function stages.
    virtual HRESULT CreateShaderProgram(const char* vertexText, const char* fragmentText,
                                        const char* const* attributes, uint32_t attributeCount,
                                        GpuShaderProgram** program) = 0;
    virtual HRESULT SetShaderProgram(GpuShaderProgram* program) = 0;
    // Writes registerCount registers of four values to a uniform of the current program; a
    // uniform of the other kind (float or integer) takes the values converted.
    virtual HRESULT SetShaderConstantF(uint32_t uniform, const float* registers, uint32_t registerCount) = 0;
    virtual HRESULT SetShaderConstantI(uint32_t uniform, const int32_t* registers,
                                       uint32_t registerCount) = 0;

    // Clears the viewport (or the given rectangles inside it) whatever the write masks are.
    virtual HRESULT Clear(uint32_t rectCount, const GpuRect* rects, uint32_t flags, uint32_t colour, float z,
                          uint32_t stencil) = 0;
};

// Vertices a draw of primitiveCount primitives of that kind takes (any other kind: points).
uint32_t Gpu_VertexCount(uint32_t kind, uint32_t primitiveCount);
// Bytes one vertex of a flexible vertex format takes.
uint32_t Gpu_FVFStride(uint32_t fvf);

// Attribute locations shared by vertex declarations and shader attribute names:
// position 0, normal 1, colour 2, texture coordinates 0-7 at 3-10, colour 1 at 11, blend
// weight 12, blend indices 13, tangent 14, binormal 15. -1: no location.
int32_t Gpu_UsageLocation(uint32_t declUsage, uint32_t usageIndex);
// A shader attribute name: an optional "in_" prefix, a usage word (Position, Normal, Colour or
// Color, TextureCoord or TexCoord, BlendWeight, BlendIndices, Tangent, BiNormal; any case) and
// an optional index ("in_TextureCoord1"). -1 for any other name.
int32_t Gpu_AttributeLocation(const char* name);
