// A device that draws nothing and records every call with its arguments, one line each, as
// "Name(arg,arg,...)": tests read the order of calls and count draws. Objects print as
// "tex<n>", "surf<n>" and "vb<n>" in creation order, null as "null", colours as 0xAARRGGBB.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Device.h"

class TraceDevice final : public Device {
public:
    explicit TraceDevice(const GpuPresentParameters& params);

    const std::vector<std::string>& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }
    // Number of recorded calls whose text starts with the prefix.
    size_t Count(std::string_view prefix) const;
    // Index of the first call at or after `from` starting with the prefix; -1 when none.
    int Find(std::string_view prefix, size_t from = 0) const;

    // What the device answers; tests change these to walk failure paths.
    GpuCaps caps;
    uint32_t multisampleMask = (1u << 2) | (1u << 4);  // bit n: n samples supported
    GpuDisplayMode displayMode = {1920, 1080, 60, D3DFMT_X8R8G8B8};
    HRESULT cooperativeLevel = D3D_OK;
    std::vector<HRESULT> resetResults;  // answered in order by Reset, then D3D_OK
    const GpuPresentParameters& Parameters() const { return m_params; }

    // The vertices of every user-pointer draw, in order, for tests that read what was drawn.
    struct DrawnVertices {
        uint32_t kind;
        uint32_t stride;
        std::vector<uint8_t> bytes;
    };
    std::vector<DrawnVertices> drawnVertices;

    HRESULT TestCooperativeLevel() override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Present() override;
    HRESULT Reset(GpuPresentParameters* params) override;
    HRESULT GetDeviceCaps(GpuCaps* out) override;
    HRESULT CheckDeviceMultiSampleType(uint32_t samples) override;
    HRESULT GetDisplayMode(GpuDisplayMode* mode) override;
    HRESULT GetRasterStatus(GpuRasterStatus* status) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) override;
    HRESULT SetSamplerState(uint32_t stage, D3DSAMPLERSTATETYPE type, uint32_t value) override;
    HRESULT SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const float matrix[16]) override;
    HRESULT SetViewport(const GpuViewport* viewport) override;
    HRESULT GetViewport(GpuViewport* viewport) override;
    HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, uint32_t format,
                          uint32_t pool, GpuTexture** texture) override;
    HRESULT CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
                               bool lockable, GpuSurface** surface) override;
    HRESULT CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
                                      GpuSurface** surface) override;
    HRESULT SetTexture(uint32_t stage, GpuTexture* texture) override;
    HRESULT GetBackBuffer(GpuSurface** surface) override;
    HRESULT GetRenderTarget(uint32_t index, GpuSurface** surface) override;
    HRESULT SetRenderTarget(uint32_t index, GpuSurface* surface) override;
    HRESULT GetDepthStencilSurface(GpuSurface** surface) override;
    HRESULT SetDepthStencilSurface(GpuSurface* surface) override;
    HRESULT StretchRect(GpuSurface* source, const GpuRect* sourceRect, GpuSurface* dest,
                        const GpuRect* destRect, uint32_t filter) override;
    HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                               GpuVertexBuffer** buffer) override;
    HRESULT SetFVF(uint32_t fvf) override;
    HRESULT SetMaterial(const GpuMaterial* material) override;
    HRESULT SetLight(uint32_t index, const GpuLight* light) override;
    HRESULT LightEnable(uint32_t index, bool on) override;
    GpuLight lights[8] = {};  // the last SetLight of each slot
    HRESULT SetStreamSource(uint32_t stream, GpuVertexBuffer* buffer, uint32_t offset,
                            uint32_t stride) override;
    HRESULT DrawPrimitive(uint32_t kind, uint32_t startVertex, uint32_t primitiveCount) override;
    HRESULT DrawPrimitiveUP(uint32_t kind, uint32_t primitiveCount, const void* vertices,
                            uint32_t stride) override;
    HRESULT Clear(uint32_t rectCount, const GpuRect* rects, uint32_t flags, uint32_t colour, float z,
                  uint32_t stencil) override;
    HRESULT CreateVertexDeclaration(const GpuVertexElement* elements,
                                    GpuVertexDeclaration** declaration) override;
    HRESULT SetVertexDeclaration(GpuVertexDeclaration* declaration) override;
    // Programs are not compiled: a text holding "#error" fails (the vertex text first), and
    // the uniforms are read from the "uniform type name[n];" declarations of both texts.
    HRESULT CreateShaderProgram(const char* vertexText, const char* fragmentText,
                                const char* const* attributes, uint32_t attributeCount,
                                GpuShaderProgram** program) override;
    HRESULT SetShaderProgram(GpuShaderProgram* program) override;
    HRESULT SetShaderConstantF(uint32_t uniform, const float* registers, uint32_t registerCount) override;
    HRESULT SetShaderConstantI(uint32_t uniform, const int32_t* registers, uint32_t registerCount) override;

private:
    ~TraceDevice() override;
    void Record(const char* format, ...) __attribute__((format(printf, 2, 3)));
    std::string NameOf(const GpuResource* object) const;
    void Hold(GpuResource*& slot, GpuResource* object);

    GpuPresentParameters m_params;
    std::vector<std::string> m_calls;
    GpuViewport m_viewport{};
    GpuResource* m_targets[4] = {};
    GpuResource* m_depthStencil = nullptr;
    GpuResource* m_backBuffer = nullptr;
    GpuResource* m_textures[8] = {};
    GpuResource* m_stream = nullptr;
    GpuResource* m_declaration = nullptr;
    GpuResource* m_program = nullptr;
    bool m_inScene = false;
    int m_objectCount = 0;
};
