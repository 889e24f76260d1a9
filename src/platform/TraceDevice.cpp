#include "platform/TraceDevice.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

// Every traced object carries its printed name.
class TraceObject {
public:
    explicit TraceObject(std::string name) : m_name(std::move(name)) {}
    virtual ~TraceObject() = default;
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
};

class TraceTexture;

class TraceSurface final : public GpuSurface, public TraceObject {
public:
    TraceSurface(std::string name, uint32_t width, uint32_t height, uint32_t format, TraceTexture* owner);
    ~TraceSurface() override;
    uint32_t Width() const override { return m_width; }
    uint32_t Height() const override { return m_height; }
    uint32_t Format() const override { return m_format; }
    HRESULT LockRect(GpuLockedRect* locked, const GpuRect* rect, uint32_t flags) override;
    HRESULT UnlockRect() override;

private:
    uint32_t m_width, m_height, m_format;
    TraceTexture* m_owner;
    std::vector<uint32_t> m_pixels;
};

class TraceTexture final : public GpuTexture, public TraceObject {
public:
    TraceTexture(std::string name, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                 uint32_t format)
        : TraceObject(std::move(name)),
          m_width(width),
          m_height(height),
          m_levels(levels ? levels : 1),
          m_usage(usage),
          m_format(format),
          m_pixels(static_cast<size_t>(width) * height) {}
    uint32_t Width() const override { return m_width; }
    uint32_t Height() const override { return m_height; }
    uint32_t Levels() const override { return m_levels; }
    uint32_t Format() const override { return m_format; }
    uint32_t Usage() const override { return m_usage; }
    HRESULT LockRect(uint32_t level, GpuLockedRect* locked, const GpuRect* rect, uint32_t) override {
        if (level != 0) return D3DERR_INVALIDCALL;
        const int32_t x = rect ? rect->left : 0, y = rect ? rect->top : 0;
        locked->Pitch = static_cast<int32_t>(m_width * 4);
        locked->pBits = m_pixels.data() + static_cast<size_t>(y) * m_width + x;
        return D3D_OK;
    }
    HRESULT UnlockRect(uint32_t level) override { return level == 0 ? D3D_OK : D3DERR_INVALIDCALL; }
    HRESULT GetSurfaceLevel(uint32_t level, GpuSurface** surface) override {
        if (level != 0) return D3DERR_INVALIDCALL;
        *surface = new TraceSurface(Name() + ".0", m_width, m_height, m_format, this);
        return D3D_OK;
    }

private:
    uint32_t m_width, m_height, m_levels, m_usage, m_format;
    std::vector<uint32_t> m_pixels;
};

TraceSurface::TraceSurface(std::string name, uint32_t width, uint32_t height, uint32_t format,
                           TraceTexture* owner)
    : TraceObject(std::move(name)), m_width(width), m_height(height), m_format(format), m_owner(owner) {
    if (owner) {
        owner->AddRef();
    } else {
        m_pixels.resize(static_cast<size_t>(width) * height);
    }
}

TraceSurface::~TraceSurface() {
    if (m_owner) m_owner->Release();
}

HRESULT TraceSurface::LockRect(GpuLockedRect* locked, const GpuRect* rect, uint32_t flags) {
    if (m_owner) return m_owner->LockRect(0, locked, rect, flags);
    const int32_t x = rect ? rect->left : 0, y = rect ? rect->top : 0;
    locked->Pitch = static_cast<int32_t>(m_width * 4);
    locked->pBits = m_pixels.data() + static_cast<size_t>(y) * m_width + x;
    return D3D_OK;
}

HRESULT TraceSurface::UnlockRect() {
    return D3D_OK;
}

class TraceVertexBuffer final : public GpuVertexBuffer, public TraceObject {
public:
    TraceVertexBuffer(std::string name, uint32_t length) : TraceObject(std::move(name)), m_bytes(length) {}
    uint32_t Length() const override { return static_cast<uint32_t>(m_bytes.size()); }
    HRESULT Lock(uint32_t offset, uint32_t, void** data, uint32_t) override {
        if (offset > m_bytes.size()) return D3DERR_INVALIDCALL;
        *data = m_bytes.data() + offset;
        return D3D_OK;
    }
    HRESULT Unlock() override { return D3D_OK; }

private:
    std::vector<uint8_t> m_bytes;
};

class TraceDeclaration final : public GpuVertexDeclaration, public TraceObject {
public:
    using TraceObject::TraceObject;
};

class TraceProgram final : public GpuShaderProgram, public TraceObject {
public:
    using TraceObject::TraceObject;
    bool Linked() const override { return linked; }
    int32_t FailedStage() const override { return failedStage; }
    const std::string& Log() const override { return log; }
    const std::vector<GpuUniformDesc>& Uniforms() const override { return uniforms; }

    bool linked = true;
    int32_t failedStage = 0;
    std::string log;
    std::vector<GpuUniformDesc> uniforms;
};

bool DescribeType(const std::string& type, GpuUniformDesc* d) {
    struct Shape {
        const char* name;
        uint32_t columns, rows;
        bool integer, boolean, sampler;
    };
    static const Shape kShapes[] = {
        {"float", 1, 1, false, false, false},    {"vec2", 2, 1, false, false, false},
        {"vec3", 3, 1, false, false, false},     {"vec4", 4, 1, false, false, false},
        {"int", 1, 1, true, false, false},       {"ivec2", 2, 1, true, false, false},
        {"ivec3", 3, 1, true, false, false},     {"ivec4", 4, 1, true, false, false},
        {"bool", 1, 1, false, true, false},      {"mat2", 2, 2, false, false, false},
        {"mat3", 3, 3, false, false, false},     {"mat4", 4, 4, false, false, false},
        {"sampler2D", 1, 1, false, false, true}, {"samplerCube", 1, 1, false, false, true},
    };
    for (const Shape& shape : kShapes) {
        if (type != shape.name) continue;
        d->columns = shape.columns;
        d->rows = shape.rows;
        d->integer = shape.integer;
        d->boolean = shape.boolean;
        d->sampler = shape.sampler;
        return true;
    }
    return false;
}

// The uniforms a text declares ("uniform [precision] type name[n];"), added once each, in order.
void ReadUniforms(const char* text, std::vector<GpuUniformDesc>* uniforms, uint32_t* nextStage) {
    std::string source = text;
    for (char& c : source)
        if (c == ';' || c == '[' || c == ']') c = ' ';
    std::istringstream in(source);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    for (size_t i = 0; i + 2 < words.size(); ++i) {
        if (words[i] != "uniform") continue;
        size_t at = i + 1;
        if (words[at] == "lowp" || words[at] == "mediump" || words[at] == "highp") ++at;
        if (at + 1 >= words.size()) break;
        GpuUniformDesc d{};
        if (!DescribeType(words[at], &d)) continue;
        d.name = words[at + 1];
        const bool sized =
            at + 2 < words.size() && std::isdigit(static_cast<unsigned char>(words[at + 2][0]));
        d.elements = sized ? std::max(1, std::atoi(words[at + 2].c_str())) : 1;
        d.registerCount = d.rows * d.elements;
        bool known = false;
        for (const GpuUniformDesc& u : *uniforms) known = known || u.name == d.name;
        if (known) continue;
        if (d.sampler) d.registerIndex = d.name == "hv_BaseTexture" ? 0 : (*nextStage)++;
        uniforms->push_back(d);
    }
}

std::string NextName(int& count, const char* kind) {
    return kind + std::to_string(++count);
}

}  // namespace

TraceDevice::TraceDevice(const GpuPresentParameters& params) : m_params(params) {
    caps = {D3DDEVTYPE_HAL,
            8192,
            8192,
            4,
            D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_FOGVERTEX,
            D3DVS_VERSION(3, 0),
            D3DPS_VERSION(3, 0),
            1,
            0};
    if (m_params.BackBufferWidth == 0) m_params.BackBufferWidth = 640;
    if (m_params.BackBufferHeight == 0) m_params.BackBufferHeight = 480;
    auto* back = new TraceSurface("backbuffer", m_params.BackBufferWidth, m_params.BackBufferHeight,
                                  D3DFMT_A8R8G8B8, nullptr);
    m_backBuffer = back;
    back->AddRef();
    m_targets[0] = back;
    m_viewport = {0, 0, m_params.BackBufferWidth, m_params.BackBufferHeight, 0.0f, 1.0f};
}

TraceDevice::~TraceDevice() {
    for (GpuResource*& target : m_targets) Hold(target, nullptr);
    for (GpuResource*& texture : m_textures) Hold(texture, nullptr);
    Hold(m_depthStencil, nullptr);
    Hold(m_stream, nullptr);
    Hold(m_backBuffer, nullptr);
    Hold(m_declaration, nullptr);
    Hold(m_program, nullptr);
}

void TraceDevice::Record(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    m_calls.emplace_back(line);
}

std::string TraceDevice::NameOf(const GpuResource* object) const {
    if (!object) return "null";
    // Every object this device hands out is a TraceObject beside its interface.
    if (auto* s = dynamic_cast<const TraceObject*>(object)) return s->Name();
    return "?";
}

void TraceDevice::Hold(GpuResource*& slot, GpuResource* object) {
    if (object) object->AddRef();
    if (slot) slot->Release();
    slot = object;
}

size_t TraceDevice::Count(std::string_view prefix) const {
    size_t count = 0;
    for (const std::string& call : m_calls) count += call.starts_with(prefix);
    return count;
}

int TraceDevice::Find(std::string_view prefix, size_t from) const {
    for (size_t i = from; i < m_calls.size(); ++i) {
        if (m_calls[i].starts_with(prefix)) return static_cast<int>(i);
    }
    return -1;
}

HRESULT TraceDevice::TestCooperativeLevel() {
    return cooperativeLevel;
}

HRESULT TraceDevice::BeginScene() {
    Record("BeginScene()");
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT TraceDevice::EndScene() {
    Record("EndScene()");
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT TraceDevice::Present() {
    Record("Present()");
    return D3D_OK;
}

HRESULT TraceDevice::Reset(GpuPresentParameters* params) {
    Record("Reset(%u,%u,%u,%u,%u)", params->BackBufferWidth, params->BackBufferHeight,
           params->MultiSampleType, params->SwapEffect, params->Windowed ? 1u : 0u);
    HRESULT result = D3D_OK;
    if (!resetResults.empty()) {
        result = resetResults.front();
        resetResults.erase(resetResults.begin());
    }
    if (FAILED(result)) return result;
    m_params = *params;
    return D3D_OK;
}

HRESULT TraceDevice::GetDeviceCaps(GpuCaps* out) {
    *out = caps;
    return D3D_OK;
}

HRESULT TraceDevice::CheckDeviceMultiSampleType(uint32_t samples) {
    if (samples <= 1) return D3D_OK;
    return samples < 32 && (multisampleMask >> samples & 1) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT TraceDevice::GetDisplayMode(GpuDisplayMode* mode) {
    *mode = displayMode;
    return D3D_OK;
}

HRESULT TraceDevice::GetRasterStatus(GpuRasterStatus*) {
    return D3DERR_NOTAVAILABLE;
}

HRESULT TraceDevice::SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    Record("SetRenderState(%u,%u)", static_cast<uint32_t>(state), value);
    return D3D_OK;
}

HRESULT TraceDevice::SetSamplerState(uint32_t stage, D3DSAMPLERSTATETYPE type, uint32_t value) {
    Record("SetSamplerState(%u,%u,%u)", stage, static_cast<uint32_t>(type), value);
    return D3D_OK;
}

HRESULT TraceDevice::SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    Record("SetTextureStageState(%u,%u,%u)", stage, static_cast<uint32_t>(type), value);
    return D3D_OK;
}

HRESULT TraceDevice::SetTransform(D3DTRANSFORMSTATETYPE type, const float m[16]) {
    Record("SetTransform(%u,[%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g])", static_cast<uint32_t>(type),
           m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8], m[9], m[10], m[11], m[12], m[13], m[14],
           m[15]);
    return D3D_OK;
}

HRESULT TraceDevice::SetViewport(const GpuViewport* viewport) {
    Record("SetViewport(%u,%u,%u,%u,%g,%g)", viewport->X, viewport->Y, viewport->Width, viewport->Height,
           viewport->MinZ, viewport->MaxZ);
    m_viewport = *viewport;
    return D3D_OK;
}

HRESULT TraceDevice::GetViewport(GpuViewport* viewport) {
    *viewport = m_viewport;
    return D3D_OK;
}

HRESULT TraceDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                   uint32_t format, uint32_t pool, GpuTexture** texture) {
    *texture = new TraceTexture(NextName(m_objectCount, "tex"), width, height, levels, usage, format);
    Record("CreateTexture(%u,%u,%u,%u,%u,%u)=%s", width, height, levels, usage, format, pool,
           NameOf(*texture).c_str());
    return D3D_OK;
}

HRESULT TraceDevice::CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
                                        bool lockable, GpuSurface** surface) {
    *surface = new TraceSurface(NextName(m_objectCount, "surf"), width, height, format, nullptr);
    Record("CreateRenderTarget(%u,%u,%u,%u,%d)=%s", width, height, format, samples, lockable ? 1 : 0,
           NameOf(*surface).c_str());
    return D3D_OK;
}

HRESULT TraceDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format,
                                               uint32_t samples, GpuSurface** surface) {
    *surface = new TraceSurface(NextName(m_objectCount, "surf"), width, height, format, nullptr);
    Record("CreateDepthStencilSurface(%u,%u,%u,%u)=%s", width, height, format, samples,
           NameOf(*surface).c_str());
    return D3D_OK;
}

HRESULT TraceDevice::SetTexture(uint32_t stage, GpuTexture* texture) {
    Record("SetTexture(%u,%s)", stage, NameOf(texture).c_str());
    if (stage >= 8) return D3DERR_INVALIDCALL;
    Hold(m_textures[stage], texture);
    return D3D_OK;
}

HRESULT TraceDevice::GetBackBuffer(GpuSurface** surface) {
    *surface = static_cast<GpuSurface*>(m_backBuffer);
    m_backBuffer->AddRef();
    return D3D_OK;
}

HRESULT TraceDevice::GetRenderTarget(uint32_t index, GpuSurface** surface) {
    *surface = nullptr;
    if (index >= 4) return D3DERR_INVALIDCALL;
    if (!m_targets[index]) return D3DERR_NOTFOUND;
    *surface = static_cast<GpuSurface*>(m_targets[index]);
    m_targets[index]->AddRef();
    return D3D_OK;
}

HRESULT TraceDevice::SetRenderTarget(uint32_t index, GpuSurface* surface) {
    Record("SetRenderTarget(%u,%s)", index, NameOf(surface).c_str());
    if (index >= 4 || (index == 0 && !surface)) return D3DERR_INVALIDCALL;
    Hold(m_targets[index], surface);
    if (index == 0) m_viewport = {0, 0, surface->Width(), surface->Height(), 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT TraceDevice::GetDepthStencilSurface(GpuSurface** surface) {
    *surface = static_cast<GpuSurface*>(m_depthStencil);
    if (!m_depthStencil) return D3DERR_NOTFOUND;
    m_depthStencil->AddRef();
    return D3D_OK;
}

HRESULT TraceDevice::SetDepthStencilSurface(GpuSurface* surface) {
    Record("SetDepthStencilSurface(%s)", NameOf(surface).c_str());
    Hold(m_depthStencil, surface);
    return D3D_OK;
}

HRESULT TraceDevice::StretchRect(GpuSurface* source, const GpuRect* sourceRect, GpuSurface* dest,
                                 const GpuRect* destRect, uint32_t filter) {
    const GpuRect s = sourceRect ? *sourceRect : GpuRect{0, 0, 0, 0};
    const GpuRect d = destRect ? *destRect : GpuRect{0, 0, 0, 0};
    Record("StretchRect(%s,%d,%d,%d,%d,%s,%d,%d,%d,%d,%u)", NameOf(source).c_str(), s.left, s.top, s.right,
           s.bottom, NameOf(dest).c_str(), d.left, d.top, d.right, d.bottom, filter);
    return D3D_OK;
}

HRESULT TraceDevice::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                        GpuVertexBuffer** buffer) {
    *buffer = new TraceVertexBuffer(NextName(m_objectCount, "vb"), length);
    Record("CreateVertexBuffer(%u,%u,%u,%u)=%s", length, usage, fvf, pool, NameOf(*buffer).c_str());
    return D3D_OK;
}

HRESULT TraceDevice::SetMaterial(const GpuMaterial* material) {
    Record("SetMaterial(%g,%g)", material->diffuse[0], material->emissive[0]);
    return D3D_OK;
}

HRESULT TraceDevice::SetLight(uint32_t index, const GpuLight* light) {
    Record("SetLight(%u,%u,%g,%g,%g,%g,%g,%g)", index, light->type, light->direction[0], light->direction[1],
           light->direction[2], light->range, light->attenuation0, light->attenuation1);
    if (index < 8) lights[index] = *light;
    return D3D_OK;
}

HRESULT TraceDevice::LightEnable(uint32_t index, bool on) {
    Record("LightEnable(%u,%d)", index, on ? 1 : 0);
    return D3D_OK;
}

HRESULT TraceDevice::SetFVF(uint32_t fvf) {
    Record("SetFVF(0x%X)", fvf);
    return D3D_OK;
}

HRESULT TraceDevice::SetStreamSource(uint32_t stream, GpuVertexBuffer* buffer, uint32_t offset,
                                     uint32_t stride) {
    Record("SetStreamSource(%u,%s,%u,%u)", stream, NameOf(buffer).c_str(), offset, stride);
    Hold(m_stream, buffer);
    return D3D_OK;
}

HRESULT TraceDevice::DrawPrimitive(uint32_t kind, uint32_t startVertex, uint32_t primitiveCount) {
    Record("DrawPrimitive(%u,%u,%u)", kind, startVertex, primitiveCount);
    return D3D_OK;
}

HRESULT TraceDevice::DrawPrimitiveUP(uint32_t kind, uint32_t primitiveCount, const void* vertices,
                                     uint32_t stride) {
    Record("DrawPrimitiveUP(%u,%u,%u)", kind, primitiveCount, stride);
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    drawnVertices.push_back(
        {kind, stride, {bytes, bytes + size_t{Gpu_VertexCount(kind, primitiveCount)} * stride}});
    return D3D_OK;
}

HRESULT TraceDevice::Clear(uint32_t rectCount, const GpuRect*, uint32_t flags, uint32_t colour, float z,
                           uint32_t stencil) {
    Record("Clear(%u,%u,0x%08X,%g,%u)", rectCount, flags, colour, z, stencil);
    return D3D_OK;
}

HRESULT TraceDevice::CreateVertexDeclaration(const GpuVertexElement* elements,
                                             GpuVertexDeclaration** declaration) {
    std::string text;
    for (const GpuVertexElement* e = elements; e && e->Stream != 0xFF; ++e) {
        char part[64];
        std::snprintf(part, sizeof part, "%s%u:%u:%u:%u", text.empty() ? "" : ";", e->Offset, e->Type,
                      e->Usage, e->UsageIndex);
        text += part;
    }
    *declaration = new TraceDeclaration(NextName(m_objectCount, "decl"));
    Record("CreateVertexDeclaration(%s,%s)", NameOf(*declaration).c_str(), text.c_str());
    return D3D_OK;
}

HRESULT TraceDevice::SetVertexDeclaration(GpuVertexDeclaration* declaration) {
    Record("SetVertexDeclaration(%s)", NameOf(declaration).c_str());
    Hold(m_declaration, declaration);
    return D3D_OK;
}

HRESULT TraceDevice::CreateShaderProgram(const char* vertexText, const char* fragmentText, const char* const*,
                                         uint32_t, GpuShaderProgram** program) {
    *program = nullptr;
    if (!vertexText || !fragmentText) return D3DERR_INVALIDCALL;
    auto* trace = new TraceProgram(NextName(m_objectCount, "prog"));
    if (std::strstr(vertexText, "#error") || std::strstr(fragmentText, "#error")) {
        trace->linked = false;
        trace->failedStage = std::strstr(vertexText, "#error") ? 0 : 1;
        trace->log = "#error";
    } else {
        uint32_t nextStage = 1;
        ReadUniforms(vertexText, &trace->uniforms, &nextStage);
        ReadUniforms(fragmentText, &trace->uniforms, &nextStage);
    }
    *program = trace;
    Record("CreateShaderProgram(%s)", trace->Name().c_str());
    return D3D_OK;
}

HRESULT TraceDevice::SetShaderProgram(GpuShaderProgram* program) {
    Record("SetShaderProgram(%s)", NameOf(program).c_str());
    Hold(m_program, program);
    return D3D_OK;
}

HRESULT TraceDevice::SetShaderConstantF(uint32_t uniform, const float* registers, uint32_t registerCount) {
    std::string values;
    for (uint32_t i = 0; i < registerCount * 4; ++i) {
        char part[32];
        std::snprintf(part, sizeof part, "%s%g", i ? "," : "", registers[i]);
        values += part;
    }
    Record("SetShaderConstantF(%u,%u,%s)", uniform, registerCount, values.c_str());
    return D3D_OK;
}

HRESULT TraceDevice::SetShaderConstantI(uint32_t uniform, const int32_t* registers, uint32_t registerCount) {
    std::string values;
    for (uint32_t i = 0; i < registerCount * 4; ++i) values += (i ? "," : "") + std::to_string(registers[i]);
    Record("SetShaderConstantI(%u,%u,%s)", uniform, registerCount, values.c_str());
    return D3D_OK;
}
