#include "platform/GlDevice.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Display.h"
#include "platform/GlContext.h"

// How the device maps its conventions onto GL:
// - Rows are stored top first everywhere, so GL window coordinates inside our framebuffers
//   equal the device's screen coordinates. The vertex program negates clip y for that and
//   moves every vertex half a pixel right and down, because pixel centres lie on whole
//   coordinates here and on halves in GL; clip z goes from 0..w to -w..w.
// - With y negated, a triangle that turns clockwise on screen has positive area in GL
//   window coordinates: culling clockwise faces culls GL front faces.
// - Colours are 0xAARRGGBB words, i.e. bytes B, G, R, A: vertex colours are read and
//   texels uploaded as BGRA.

bool g_GlDesktopShaderPrelude = false;

namespace {

constexpr GLenum kCompressedDxt1 = 0x83F1;
constexpr GLenum kCompressedDxt3 = 0x83F2;
constexpr GLenum kCompressedDxt5 = 0x83F3;
constexpr uint32_t kStages = 8;
constexpr uint32_t kTargets = 4;
constexpr GLenum kScratchUnit = GL_TEXTURE0 + 15;  // uploads and read-backs; never sampled
// A software rasteriser starts drawing only at a flush: handing it a frame in parts of this many
// vertices lets its threads draw one part while this thread prepares the next (on a GPU a flush
// every few thousand triangles costs next to nothing).
constexpr uint64_t kFlushVertices = 12288;
// The most vertices a draw's colours are read to find it opaque (a full batch of the layer above).
constexpr uint64_t kOpaqueScanVertices = 65536;

constexpr GLuint kAttribPosition = 0;
constexpr GLuint kAttribNormal = 1;
constexpr GLuint kAttribColour = 2;
constexpr GLuint kAttribTexCoord = 3;

// The fixed-function stage is one program per combination of the states that shape it
// (texture, stage-0 operations, alpha test, fog, flat shading), so each draw runs only the
// work its states ask for. The key's fields are #defines in front of these texts.
const char* const kVertexProgram = R"(
layout(location = 0) in vec3 aPosition;
layout(location = 2) in vec4 aColour;
layout(location = 3) in vec2 aTexCoord;
uniform mat4 uWorldViewProj;
uniform vec2 uPixelCentre;
#ifdef LIT
// Fixed-function lighting in world space: the vertex colour is the diffuse material, the
// material's ambient (white) takes the ambient colour. Light kinds: 0 off, 1 directional, 2 point.
layout(location = 1) in vec3 aNormal;
uniform mat4 uWorld;
uniform vec4 uAmbient;
uniform vec4 uLightDiffuse[8];
uniform vec4 uLightPosition[8];   // x, y, z, range
uniform vec4 uLightDirection[8];  // x, y, z, kind
uniform vec3 uLightAttenuation[8];

vec4 Lit(vec4 colour) {
    vec3 position = (uWorld * vec4(aPosition, 1.0)).xyz;
    vec3 normal = mat3(uWorld) * aNormal;
    vec3 sum = uAmbient.rgb;
    for (int i = 0; i < 8; ++i) {
        int kind = int(uLightDirection[i].w);
        if (kind == 1) {
            sum += uLightDiffuse[i].rgb * colour.rgb * max(dot(normal, -uLightDirection[i].xyz), 0.0);
        } else if (kind == 2) {
            vec3 toLight = uLightPosition[i].xyz - position;
            float distance = length(toLight);
            if (distance > uLightPosition[i].w) continue;
            vec3 a = uLightAttenuation[i];
            float attenuation = 1.0 / max(a.x + a.y * distance + a.z * distance * distance, 1e-6);
            vec3 l = distance > 0.0 ? toLight / distance : vec3(0.0);
            sum += uLightDiffuse[i].rgb * colour.rgb * max(dot(normal, l), 0.0) * attenuation;
        }
    }
    return vec4(clamp(sum, 0.0, 1.0), colour.a);
}
#endif
out vec4 vColour;
#ifdef FLAT
flat out vec4 vFlatColour;
#endif
out vec2 vTexCoord;
void main() {
    vec4 p = uWorldViewProj * vec4(aPosition, 1.0);
#ifdef LIT
    vColour = Lit(aColour);
#else
    vColour = aColour;
#endif
#ifdef FLAT
    vFlatColour = vColour;
#endif
    vTexCoord = aTexCoord;
    gl_Position = vec4(p.x + p.w * uPixelCentre.x, -p.y + p.w * uPixelCentre.y, 2.0 * p.z - p.w, p.w);
}
)";

const char* const kFragmentProgram = R"(
in vec4 vColour;
#ifdef FLAT
flat in vec4 vFlatColour;
#endif
in vec2 vTexCoord;
uniform sampler2D uTexture0;
uniform int uAlphaFunc;
uniform float uAlphaRef;
uniform vec4 uFogColour;
uniform vec2 uFogRange;
out vec4 oColour;

bool AlphaPasses(int func, float a, float ref) {
    if (func == 1) return false;
    if (func == 2) return a < ref;
    if (func == 3) return a == ref;
    if (func == 4) return a <= ref;
    if (func == 5) return a > ref;
    if (func == 6) return a != ref;
    if (func == 7) return a >= ref;
    return true;
}

void main() {
#ifdef FLAT
    vec4 d = vFlatColour;
#else
    vec4 d = vColour;
#endif
#ifdef TEXTURED
    vec4 t = texture(uTexture0, vTexCoord);
#else
    vec4 t = vec4(1.0);
#endif
    vec4 colour = vec4(COLOUR.rgb, ALPHA.a);
#ifdef ALPHA_TEST
    if (!AlphaPasses(uAlphaFunc, floor(colour.a * 255.0 + 0.5), uAlphaRef)) discard;
#endif
#ifdef FOG
#ifdef FOG_USE_W
    float depth = 1.0 / gl_FragCoord.w;
#else
    float depth = gl_FragCoord.z;
#endif
    float span = uFogRange.y - uFogRange.x;
    float keep = span != 0.0 ? clamp((uFogRange.y - depth) / span, 0.0, 1.0) : (depth < uFogRange.y ? 1.0 : 0.0);
    colour.rgb = mix(uFogColour.rgb, colour.rgb, keep);
#endif
    oColour = colour;
}
)";

// What a stage-0 operation makes of the vertex colour d and the texel t.
enum StageExpression : uint32_t { kExprD, kExprT, kExprDT, kExprDD, kExprTT };
const char* const kExpressionText[] = {"d", "t", "(d * t)", "(d * d)", "(t * t)"};

uint32_t StageExpressionOf(uint32_t op, uint32_t arg1, uint32_t arg2) {
    const bool texture1 = (arg1 & 15) == D3DTA_TEXTURE, texture2 = (arg2 & 15) == D3DTA_TEXTURE;
    switch (op) {
        case D3DTOP_SELECTARG1:
            return texture1 ? kExprT : kExprD;
        case D3DTOP_SELECTARG2:
            return texture2 ? kExprT : kExprD;
        case D3DTOP_MODULATE:
            return texture1 && texture2 ? kExprTT : texture1 || texture2 ? kExprDT : kExprDD;
        default:
            return kExprD;
    }
}

// Program key: bits 0-2 colour expression, 3-5 alpha expression, then the switches.
constexpr uint32_t kKeyTextured = 1u << 6;
constexpr uint32_t kKeyAlphaTest = 1u << 7;
constexpr uint32_t kKeyFog = 1u << 8;
constexpr uint32_t kKeyFogUseW = 1u << 9;
constexpr uint32_t kKeyFlat = 1u << 10;
constexpr uint32_t kKeyLit = 1u << 11;

std::string ProgramDefines(uint32_t key) {
    std::string defines = "#version 330 core\n";
    defines += std::string("#define COLOUR ") + kExpressionText[key & 7] + "\n";
    defines += std::string("#define ALPHA ") + kExpressionText[key >> 3 & 7] + "\n";
    if (key & kKeyTextured) defines += "#define TEXTURED\n";
    if (key & kKeyAlphaTest) defines += "#define ALPHA_TEST\n";
    if (key & kKeyFog) defines += "#define FOG\n";
    if (key & kKeyFogUseW) defines += "#define FOG_USE_W\n";
    if (key & kKeyFlat) defines += "#define FLAT\n";
    if (key & kKeyLit) defines += "#define LIT\n";
    return defines;
}

struct GlFormat {
    GLenum internalFormat = 0, format = 0, type = 0;
    uint32_t bytesPerPixel = 0;  // uncompressed formats
    uint32_t blockBytes = 0;     // bytes of a 4 x 4 block of a compressed format
    bool alphaIsOne = false, redOnly = false;
    bool Compressed() const { return blockBytes != 0; }
    uint32_t Pitch(uint32_t width) const {
        return Compressed() ? std::max(1u, (width + 3) / 4) * blockBytes : width * bytesPerPixel;
    }
    uint32_t Rows(uint32_t height) const { return Compressed() ? std::max(1u, (height + 3) / 4) : height; }
};

bool ColourFormat(uint32_t format, GlFormat* out) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
            *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, 0, false, false};
            return true;
        case D3DFMT_X8R8G8B8:
            *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, 0, true, false};
            return true;
        case D3DFMT_R5G6B5:
            *out = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, 0, true, false};
            return true;
        case D3DFMT_A4R4G4B4:
            *out = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, 0, false, false};
            return true;
        case D3DFMT_R16F:
            *out = {GL_R16F, GL_RED, GL_HALF_FLOAT, 2, 0, true, true};
            return true;
        case D3DFMT_R32F:
            *out = {GL_R32F, GL_RED, GL_FLOAT, 4, 0, true, true};
            return true;
        case D3DFMT_DXT1:
            *out = {kCompressedDxt1, 0, 0, 0, 8, false, false};
            return true;
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
            *out = {kCompressedDxt3, 0, 0, 0, 16, false, false};
            return true;
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            *out = {kCompressedDxt5, 0, 0, 0, 16, false, false};
            return true;
        default:
            return false;
    }
}

bool IsDepthFormat(uint32_t format) {
    return format == D3DFMT_D24S8 || format == D3DFMT_D16 || format == D3DFMT_D32;
}

// GL_POINTS is 0, the same value as GL_NONE, so unknown kinds answer a value no mode has.
constexpr GLenum kNoPrimitive = 0xFFFFFFFFu;

GLenum GlPrimitive(uint32_t kind) {
    switch (kind) {
        case D3DPT_POINTLIST:
            return GL_POINTS;
        case D3DPT_LINELIST:
            return GL_LINES;
        case D3DPT_LINESTRIP:
            return GL_LINE_STRIP;
        case D3DPT_TRIANGLELIST:
            return GL_TRIANGLES;
        case D3DPT_TRIANGLESTRIP:
            return GL_TRIANGLE_STRIP;
        case D3DPT_TRIANGLEFAN:
            return GL_TRIANGLE_FAN;
        default:
            return kNoPrimitive;
    }
}

GLenum GlCompare(uint32_t func) {
    static const GLenum kFuncs[] = {GL_NEVER,   GL_LESS,     GL_EQUAL, GL_LEQUAL,
                                    GL_GREATER, GL_NOTEQUAL, GL_GEQUAL};
    return func >= 1 && func <= 7 ? kFuncs[func - 1] : GL_ALWAYS;
}

GLenum GlStencilOp(uint32_t op) {
    static const GLenum kOps[] = {GL_ZERO,   GL_REPLACE,   GL_INCR,     GL_DECR,
                                  GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return op >= 2 && op <= 8 ? kOps[op - 2] : GL_KEEP;
}

GLenum GlBlendFactor(uint32_t factor) {
    switch (factor) {
        case D3DBLEND_ZERO:
            return GL_ZERO;
        case D3DBLEND_SRCCOLOR:
        case D3DBLEND_SRCCOLOR2:
            return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR:
        case D3DBLEND_INVSRCCOLOR2:
            return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA:
            return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA:
            return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA:
            return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA:
            return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR:
            return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR:
            return GL_ONE_MINUS_DST_COLOR;
        case D3DBLEND_SRCALPHASAT:
            return GL_SRC_ALPHA_SATURATE;
        case D3DBLEND_BLENDFACTOR:
            return GL_CONSTANT_COLOR;
        case D3DBLEND_INVBLENDFACTOR:
            return GL_ONE_MINUS_CONSTANT_COLOR;
        default:
            return GL_ONE;
    }
}

GLint GlAddress(uint32_t mode) {
    switch (mode) {
        case D3DTADDRESS_MIRROR:
            return GL_MIRRORED_REPEAT;
        case D3DTADDRESS_CLAMP:
            return GL_CLAMP_TO_EDGE;
        case D3DTADDRESS_BORDER:
            return GL_CLAMP_TO_BORDER;
        case D3DTADDRESS_WRAP:
            return GL_REPEAT;
        default:
            return GL_CLAMP_TO_EDGE;
    }
}

GLint GlFilter(uint32_t filter) {
    return filter == D3DTEXF_NONE || filter == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR;
}

float FloatBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t BitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Row-vector product: out = a x b.
void MultiplyMatrices(float out[16], const float a[16], const float b[16]) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[row * 4 + k] * b[k * 4 + column];
            out[row * 4 + column] = sum;
        }
    }
}

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

bool RectInside(const GpuRect& r, uint32_t width, uint32_t height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           static_cast<uint32_t>(r.right) <= width && static_cast<uint32_t>(r.bottom) <= height;
}

class GlDevice;

// Base of every GL object of a device. The device outlives none of them in GL terms: when it
// goes first, it deletes their GL names and leaves them as empty shells.
class GlOwned {
public:
    explicit GlOwned(GlDevice* device);
    virtual ~GlOwned();
    virtual void DropGlObjects() = 0;
    GlDevice* Owner() const { return m_device; }
    void Orphan() { m_device = nullptr; }

private:
    GlDevice* m_device;
};

class GlTexture final : public GpuTexture, public GlOwned {
public:
    GlTexture(GlDevice* device, uint32_t width, uint32_t height, uint32_t usage, uint32_t format,
              const GlFormat& gl);
    ~GlTexture() override { DropGlObjects(); }

    uint32_t Width() const override { return m_width; }
    uint32_t Height() const override { return m_height; }
    uint32_t Levels() const override { return 1; }
    uint32_t Format() const override { return m_format; }
    uint32_t Usage() const override { return m_usage; }
    HRESULT LockRect(uint32_t level, GpuLockedRect* locked, const GpuRect* rect, uint32_t flags) override;
    HRESULT UnlockRect(uint32_t level) override;
    HRESULT GetSurfaceLevel(uint32_t level, GpuSurface** surface) override;
    void DropGlObjects() override;

    GLuint Name() const { return m_name; }
    const GlFormat& Gl() const { return m_gl; }
    // Drawing or a copy changed the texels on the GPU side.
    void MarkGpuWritten() { m_gpuNewer = true; }
    // Whether every texel samples with alpha 1. Judged from the CPU's copy of the texels (and
    // kept until they change); false once the GPU wrote them, or for a format not read here.
    bool Opaque();

private:
    void ReadBackShadow();

    uint32_t m_width, m_height, m_usage, m_format;
    GlFormat m_gl;
    GLuint m_name = 0;
    std::vector<uint8_t> m_shadow;  // level 0 as the CPU last saw it
    bool m_gpuNewer;
    int8_t m_opaque = -1;  // -1: not judged since the CPU's copy last changed
    bool m_locked = false;
    GpuRect m_lockRect{};
    uint32_t m_lockFlags = 0;
};

class GlSurface final : public GpuSurface, public GlOwned {
public:
    // A level of a texture (holds a reference on it).
    GlSurface(GlDevice* device, GlTexture* texture);
    // A renderbuffer: multisampled colour or a depth-stencil buffer.
    GlSurface(GlDevice* device, uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
              bool depth);
    ~GlSurface() override;

    uint32_t Width() const override { return m_width; }
    uint32_t Height() const override { return m_height; }
    uint32_t Format() const override { return m_format; }
    HRESULT LockRect(GpuLockedRect* locked, const GpuRect* rect, uint32_t flags) override {
        return m_texture ? m_texture->LockRect(0, locked, rect, flags) : D3DERR_INVALIDCALL;
    }
    HRESULT UnlockRect() override { return m_texture ? m_texture->UnlockRect(0) : D3DERR_INVALIDCALL; }
    void DropGlObjects() override;

    bool IsDepth() const { return m_depth; }
    uint32_t Samples() const { return m_samples; }
    GlTexture* Texture() const { return m_texture; }
    void AttachTo(GLenum framebufferTarget, GLenum attachment) const;
    void MarkGpuWritten() const {
        if (m_texture) m_texture->MarkGpuWritten();
    }

private:
    GlTexture* m_texture = nullptr;
    GLuint m_renderbuffer = 0;
    uint32_t m_width, m_height, m_format, m_samples = 0;
    bool m_depth = false;
};

class GlVertexBuffer final : public GpuVertexBuffer, public GlOwned {
public:
    GlVertexBuffer(GlDevice* device, uint32_t length, uint32_t usage);
    ~GlVertexBuffer() override { DropGlObjects(); }
    uint32_t Length() const override { return m_length; }
    HRESULT Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override;
    HRESULT Unlock() override;
    const uint8_t* Bytes() const { return m_shadow.data(); }
    void DropGlObjects() override;

    GLuint Name() const { return m_name; }
    // Sends what was written through locks in [from, to) before a draw reads it. Writes
    // reach GL lazily so a ring locked to its end uploads only what draws use.
    void Prepare(uint32_t from, uint32_t to);

private:
    uint32_t m_length;
    GLenum m_usage;
    GLuint m_name = 0;
    std::vector<uint8_t> m_shadow;
    uint32_t m_pendingFrom = 0, m_pendingTo = 0;
    bool m_pendingDiscard = false;  // the next upload may drop the old storage
    bool m_pendingSync = false;     // a plain lock: the GPU may still read the old bytes
};

class GlVertexDeclaration final : public GpuVertexDeclaration {
public:
    explicit GlVertexDeclaration(std::vector<GpuVertexElement> elements) : m_elements(std::move(elements)) {}
    const std::vector<GpuVertexElement>& Elements() const { return m_elements; }

private:
    std::vector<GpuVertexElement> m_elements;
};

struct GlUniformSlot {
    GLint location;
    GLenum type;
};

class GlShaderProgram final : public GpuShaderProgram, public GlOwned {
public:
    explicit GlShaderProgram(GlDevice* device) : GlOwned(device) {}
    ~GlShaderProgram() override { DropGlObjects(); }
    bool Linked() const override { return name != 0; }
    int32_t FailedStage() const override { return failedStage; }
    const std::string& Log() const override { return log; }
    const std::vector<GpuUniformDesc>& Uniforms() const override { return uniforms; }
    void DropGlObjects() override;

    GLuint name = 0;
    int32_t failedStage = 0;
    std::string log;
    std::vector<GpuUniformDesc> uniforms;
    std::vector<GlUniformSlot> slots;
    GLint pixelCentre = -1, alphaFunc = -1, alphaRef = -1;
};

// Uniform values as the current states make them; each program remembers what it was sent.
struct UniformValues {
    float worldViewProj[16];
    float pixelCentre[2];
    int32_t alphaFunc;
    float alphaRef;
    float fogColour[4];
    float fogRange[2];
};

struct GlProgram {
    GLuint name = 0;
    GLint worldViewProj = -1, pixelCentre = -1, alphaFunc = -1, alphaRef = -1, fogColour = -1, fogRange = -1;
    GLint world = -1, ambient = -1, lightDiffuse = -1, lightPosition = -1, lightDirection = -1,
          lightAttenuation = -1;
    UniformValues sent{};
    bool primed = false;
};

enum DirtyGroup : uint32_t {
    kDirtyBlend = 1u << 0,
    kDirtyDepth = 1u << 1,
    kDirtyStencil = 1u << 2,
    kDirtyCull = 1u << 3,
    kDirtyFill = 1u << 4,
    kDirtyColourMask = 1u << 5,
    kDirtyShade = 1u << 6,
    kDirtyAlphaTest = 1u << 7,
    kDirtyFog = 1u << 8,
    kDirtyStage = 1u << 9,
    kDirtyTransform = 1u << 10,
    kDirtyViewport = 1u << 11,
    kDirtyTargets = 1u << 12,
    kDirtyTextures = 1u << 13,
    kDirtyLights = 1u << 14,
    kDirtyAll = 0xFFFFFFFFu,
};

class GlDevice final : public Device {
public:
    explicit GlDevice(std::unique_ptr<GlContext> context) : m_context(std::move(context)) {
        s_current = this;
    }
    ~GlDevice() override;

    HRESULT Initialise(GpuPresentParameters* params);
    void MakeCurrent() {
        if (s_current != this && m_context->MakeCurrent()) s_current = this;
    }
    void Track(GlOwned* object) { m_owned.insert(object); }
    void Forget(GlOwned* object) { m_owned.erase(object); }
    GLuint ScratchFramebuffer() const { return m_blitFbo; }

    HRESULT TestCooperativeLevel() override { return D3D_OK; }
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Present() override;
    HRESULT Reset(GpuPresentParameters* params) override;
    HRESULT GetDeviceCaps(GpuCaps* caps) override {
        *caps = m_caps;
        return D3D_OK;
    }
    HRESULT CheckDeviceMultiSampleType(uint32_t samples) override;
    HRESULT GetDisplayMode(GpuDisplayMode* mode) override;
    HRESULT GetRasterStatus(GpuRasterStatus*) override { return D3DERR_NOTAVAILABLE; }

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) override;
    HRESULT SetSamplerState(uint32_t stage, D3DSAMPLERSTATETYPE type, uint32_t value) override;
    HRESULT SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const float matrix[16]) override;
    HRESULT SetViewport(const GpuViewport* viewport) override;
    HRESULT GetViewport(GpuViewport* viewport) override {
        *viewport = m_viewport;
        return D3D_OK;
    }

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
    HRESULT SetFVF(uint32_t fvf) override {
        if ((fvf ^ m_fvf) & D3DFVF_NORMAL) m_dirty |= kDirtyLights;  // lit programs need normals
        m_fvf = fvf;
        return D3D_OK;
    }
    HRESULT SetMaterial(const GpuMaterial* material) override {
        m_material = *material;
        m_dirty |= kDirtyLights;
        return D3D_OK;
    }
    HRESULT SetLight(uint32_t index, const GpuLight* light) override {
        if (index >= 8) return D3DERR_INVALIDCALL;
        m_lights[index] = *light;
        m_dirty |= kDirtyLights;
        return D3D_OK;
    }
    HRESULT LightEnable(uint32_t index, bool on) override {
        if (index >= 8) return D3DERR_INVALIDCALL;
        m_lightOn[index] = on;
        m_dirty |= kDirtyLights;
        return D3D_OK;
    }
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
    HRESULT CreateShaderProgram(const char* vertexText, const char* fragmentText,
                                const char* const* attributes, uint32_t attributeCount,
                                GpuShaderProgram** program) override;
    HRESULT SetShaderProgram(GpuShaderProgram* program) override;
    HRESULT SetShaderConstantF(uint32_t uniform, const float* registers, uint32_t registerCount) override;
    HRESULT SetShaderConstantI(uint32_t uniform, const int32_t* registers, uint32_t registerCount) override;
    void ForgetProgram(GlShaderProgram* program) {
        if (m_userProgram == program) m_userProgram = nullptr;
        if (m_usedProgram == program->name) m_usedProgram = 0;
    }

private:
    void UseProgram(GLuint name) {
        if (m_usedProgram != name) glUseProgram(name);
        m_usedProgram = name;
    }
    void SendUserUniforms();
    void EnableAttributes(uint32_t mask);
    bool SetupDeclarationLayout(GLuint buffer, uintptr_t base, uint32_t stride);
    GlProgram* ProgramFor(uint32_t key);
    uint32_t ProgramKey() const;
    void SendLights(GlProgram* program);
    void SendUniforms(GlProgram* program);
    HRESULT MakeBackBuffer();
    void ReleaseBindings();
    void ResetStates();
    void ApplyRenderStates();
    void ApplyUniforms();
    void ApplyMasks();
    void BindTargets();
    void ApplyForDraw();
    void MarkTargetsWritten();
    void CountDrawn(uint64_t vertices);
    bool BlendChangesNothing(const uint8_t* vertices, uint64_t count, uint32_t stride);
    void SetGlBlend(bool on);
    bool SetupVertexLayout(GLuint buffer, uintptr_t base, uint32_t stride);
    HRESULT Resolve(GlSurface* surface, GLuint* texture);
    // Draws the texture over the whole window; false when the program for it cannot be had.
    bool DrawToWindow(GLuint picture, int width, int height);

    static GlDevice* s_current;

    std::unique_ptr<GlContext> m_context;
    std::unordered_set<GlOwned*> m_owned;
    GpuPresentParameters m_params;
    GpuCaps m_caps{};
    std::vector<uint32_t> m_sampleCounts;

    GLuint m_vao = 0, m_upBuffer = 0, m_drawFbo = 0, m_readFbo = 0, m_blitFbo = 0;
    GLuint m_whiteTexture = 0, m_resolveTexture = 0;
    GLuint m_presentProgram = 0, m_presentSampler = 0;
    bool m_presentFailed = false;
    uint32_t m_resolveWidth = 0, m_resolveHeight = 0;
    GLuint m_samplers[kStages] = {};
    std::unordered_map<uint32_t, std::unique_ptr<GlProgram>> m_programs;
    GlProgram* m_program = nullptr;
    UniformValues m_values{};

    uint32_t m_renderStates[256] = {};
    uint32_t m_stageStates[kStages][8] = {};
    float m_world[16], m_view[16], m_projection[16];
    GpuViewport m_viewport{};
    uint32_t m_dirty = kDirtyAll;

    GlTexture* m_textures[kStages] = {};
    GlSurface* m_targets[kTargets] = {};
    GlSurface* m_depthStencil = nullptr;
    GlSurface* m_backBuffer = nullptr;
    GlSurface* m_autoDepth = nullptr;

    GlVertexBuffer* m_stream = nullptr;
    uint32_t m_streamOffset = 0, m_streamStride = 0;
    uint32_t m_fvf = 0;
    GlVertexDeclaration* m_declaration = nullptr;
    GlShaderProgram* m_userProgram = nullptr;  // no reference held: a program forgets itself
    GLuint m_usedProgram = 0;
    uint32_t m_enabledAttributes = 0;
    uint64_t m_verticesSinceFlush = 0;
    bool m_glBlend = false;                                         // GL_BLEND as last set
    uint32_t m_address0[2] = {D3DTADDRESS_WRAP, D3DTADDRESS_WRAP};  // stage 0, u and v
    GpuMaterial m_material = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {}, 1};
    GpuLight m_lights[8] = {};
    bool m_lightOn[8] = {};
    bool m_esShaders = false;  // the driver compiles "#version 100" texts as they are
    bool m_inScene = false;
};

GlDevice* GlDevice::s_current = nullptr;

// ---- owned objects ---------------------------------------------------------------------

GlOwned::GlOwned(GlDevice* device) : m_device(device) {
    device->Track(this);
}

GlOwned::~GlOwned() {
    if (m_device) m_device->Forget(this);
}

GlTexture::GlTexture(GlDevice* device, uint32_t width, uint32_t height, uint32_t usage, uint32_t format,
                     const GlFormat& gl)
    : GlOwned(device),
      m_width(width),
      m_height(height),
      m_usage(usage),
      m_format(format),
      m_gl(gl),
      m_gpuNewer((usage & D3DUSAGE_RENDERTARGET) != 0) {
    glGenTextures(1, &m_name);
    glActiveTexture(kScratchUnit);
    glBindTexture(GL_TEXTURE_2D, m_name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (gl.alphaIsOne) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    if (gl.redOnly) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_G, GL_ONE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_ONE);
    }
    if (gl.Compressed()) {
        std::vector<uint8_t> zeros(gl.Pitch(width) * gl.Rows(height));
        glCompressedTexImage2D(GL_TEXTURE_2D, 0, gl.internalFormat, width, height, 0,
                               static_cast<GLsizei>(zeros.size()), zeros.data());
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, gl.internalFormat, width, height, 0, gl.format, gl.type, nullptr);
    }
}

void GlTexture::DropGlObjects() {
    if (Owner() && m_name) {
        Owner()->MakeCurrent();
        glDeleteTextures(1, &m_name);
    }
    m_name = 0;
}

void GlTexture::ReadBackShadow() {
    glActiveTexture(kScratchUnit);
    glBindTexture(GL_TEXTURE_2D, m_name);
    glGetTexImage(GL_TEXTURE_2D, 0, m_gl.format, m_gl.type, m_shadow.data());
    m_gpuNewer = false;
    m_opaque = -1;
}

bool GlTexture::Opaque() {
    if (m_gl.alphaIsOne) return true;
    if (m_format != D3DFMT_A8R8G8B8 || m_gpuNewer || m_locked || m_shadow.empty()) return false;
    if (m_opaque < 0) {
        m_opaque = 1;
        // Texels are B, G, R, A bytes.
        for (size_t i = 3; i < m_shadow.size(); i += 4) {
            if (m_shadow[i] != 0xFF) {
                m_opaque = 0;
                break;
            }
        }
    }
    return m_opaque == 1;
}

HRESULT GlTexture::LockRect(uint32_t level, GpuLockedRect* locked, const GpuRect* rect, uint32_t flags) {
    if (level != 0 || m_locked || !Owner()) return D3DERR_INVALIDCALL;
    GpuRect area =
        rect ? *rect : GpuRect{0, 0, static_cast<int32_t>(m_width), static_cast<int32_t>(m_height)};
    if (!RectInside(area, m_width, m_height)) return D3DERR_INVALIDCALL;
    if (m_gl.Compressed() && ((area.left | area.top) & 3)) return D3DERR_INVALIDCALL;
    Owner()->MakeCurrent();
    const uint32_t pitch = m_gl.Pitch(m_width);
    if (m_shadow.empty()) m_shadow.assign(static_cast<size_t>(pitch) * m_gl.Rows(m_height), 0);
    if (m_gpuNewer && !(flags & D3DLOCK_DISCARD) && !m_gl.Compressed()) ReadBackShadow();
    m_locked = true;
    m_lockRect = area;
    m_lockFlags = flags;
    locked->Pitch = static_cast<int32_t>(pitch);
    const size_t offset = m_gl.Compressed()
                              ? (area.top / 4) * pitch + (area.left / 4) * m_gl.blockBytes
                              : static_cast<size_t>(area.top) * pitch + area.left * m_gl.bytesPerPixel;
    locked->pBits = m_shadow.data() + offset;
    return D3D_OK;
}

HRESULT GlTexture::UnlockRect(uint32_t level) {
    if (level != 0 || !m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    if ((m_lockFlags & D3DLOCK_READONLY) || !Owner()) return D3D_OK;
    m_opaque = -1;
    Owner()->MakeCurrent();
    glActiveTexture(kScratchUnit);
    glBindTexture(GL_TEXTURE_2D, m_name);
    if (m_gl.Compressed()) {
        glCompressedTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, m_width, m_height, m_gl.internalFormat,
                                  static_cast<GLsizei>(m_shadow.size()), m_shadow.data());
    } else {
        const GpuRect& r = m_lockRect;
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(m_width));
        glTexSubImage2D(
            GL_TEXTURE_2D, 0, r.left, r.top, r.right - r.left, r.bottom - r.top, m_gl.format, m_gl.type,
            m_shadow.data() + static_cast<size_t>(r.top) * m_gl.Pitch(m_width) + r.left * m_gl.bytesPerPixel);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }
    return D3D_OK;
}

HRESULT GlTexture::GetSurfaceLevel(uint32_t level, GpuSurface** surface) {
    if (level != 0 || !Owner()) return D3DERR_INVALIDCALL;
    *surface = new GlSurface(Owner(), this);
    return D3D_OK;
}

GlSurface::GlSurface(GlDevice* device, GlTexture* texture)
    : GlOwned(device),
      m_texture(texture),
      m_width(texture->Width()),
      m_height(texture->Height()),
      m_format(texture->Format()) {
    texture->AddRef();
}

GlSurface::GlSurface(GlDevice* device, uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
                     bool depth)
    : GlOwned(device),
      m_width(width),
      m_height(height),
      m_format(format),
      m_samples(samples),
      m_depth(depth) {
    glGenRenderbuffers(1, &m_renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, m_renderbuffer);
    const GLenum storage = depth ? GL_DEPTH24_STENCIL8 : GL_RGBA8;
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples > 1 ? samples : 0, storage, width, height);
}

GlSurface::~GlSurface() {
    DropGlObjects();
    if (m_texture) m_texture->Release();
}

void GlSurface::DropGlObjects() {
    if (Owner() && m_renderbuffer) {
        Owner()->MakeCurrent();
        glDeleteRenderbuffers(1, &m_renderbuffer);
    }
    m_renderbuffer = 0;
}

void GlSurface::AttachTo(GLenum framebufferTarget, GLenum attachment) const {
    if (m_texture) {
        glFramebufferTexture2D(framebufferTarget, attachment, GL_TEXTURE_2D, m_texture->Name(), 0);
    } else {
        glFramebufferRenderbuffer(framebufferTarget, attachment, GL_RENDERBUFFER, m_renderbuffer);
    }
}

GlVertexBuffer::GlVertexBuffer(GlDevice* device, uint32_t length, uint32_t usage)
    : GlOwned(device),
      m_length(length),
      m_usage((usage & D3DUSAGE_DYNAMIC) ? GL_STREAM_DRAW : GL_STATIC_DRAW),
      m_shadow(length) {
    glGenBuffers(1, &m_name);
    glBindBuffer(GL_ARRAY_BUFFER, m_name);
    glBufferData(GL_ARRAY_BUFFER, length, nullptr, m_usage);
}

void GlVertexBuffer::DropGlObjects() {
    if (Owner() && m_name) {
        Owner()->MakeCurrent();
        glDeleteBuffers(1, &m_name);
    }
    m_name = 0;
}

HRESULT GlVertexBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
    if (offset > m_length) return D3DERR_INVALIDCALL;
    if (size == 0 || size > m_length - offset) size = m_length - offset;
    if (flags & D3DLOCK_DISCARD) {
        m_pendingDiscard = true;
        m_pendingSync = false;
        m_pendingFrom = offset;
        m_pendingTo = offset + size;
    } else {
        if (!(flags & D3DLOCK_NOOVERWRITE)) m_pendingSync = true;
        if (m_pendingFrom >= m_pendingTo) {
            m_pendingFrom = offset;
            m_pendingTo = offset + size;
        } else {
            m_pendingFrom = std::min(m_pendingFrom, offset);
            m_pendingTo = std::max(m_pendingTo, offset + size);
        }
    }
    *data = m_shadow.data() + offset;
    return D3D_OK;
}

HRESULT GlVertexBuffer::Unlock() {
    return D3D_OK;
}

void GlVertexBuffer::Prepare(uint32_t from, uint32_t to) {
    const uint32_t lo = std::max(from, m_pendingFrom);
    const uint32_t hi = std::min(to, m_pendingTo);
    if (lo >= hi) return;
    glBindBuffer(GL_ARRAY_BUFFER, m_name);
    if (m_pendingDiscard) {
        // Fresh storage: the draws still reading the old bytes keep theirs.
        glBufferData(GL_ARRAY_BUFFER, m_length, nullptr, m_usage);
        glBufferSubData(GL_ARRAY_BUFFER, lo, hi - lo, m_shadow.data() + lo);
        m_pendingDiscard = false;
    } else if (m_pendingSync) {
        glBufferSubData(GL_ARRAY_BUFFER, lo, hi - lo, m_shadow.data() + lo);
    } else {
        // The writer promised not to touch bytes a pending draw reads.
        void* target =
            glMapBufferRange(GL_ARRAY_BUFFER, lo, hi - lo,
                             GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
        if (target) {
            std::memcpy(target, m_shadow.data() + lo, hi - lo);
            glUnmapBuffer(GL_ARRAY_BUFFER);
        } else {
            glBufferSubData(GL_ARRAY_BUFFER, lo, hi - lo, m_shadow.data() + lo);
        }
    }
    if (lo <= m_pendingFrom) {
        m_pendingFrom = hi;
    } else if (hi >= m_pendingTo) {
        m_pendingTo = lo;
    }
    if (m_pendingFrom >= m_pendingTo) {
        m_pendingFrom = m_pendingTo = 0;
        m_pendingSync = false;
    }
}

// ---- device ----------------------------------------------------------------------------

// A driver with ES 2 compatibility compiles "#version 100" texts itself; the others get them
// turned into "#version 330" texts by a prelude of defines.
bool DriverTakesEsShaders() {
    const char* source = "#version 100\nattribute vec4 a;\nvoid main() { gl_Position = a; }\n";
    GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    glDeleteShader(shader);
    return ok != 0;
}

GLuint CompileShader(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
        std::fprintf(stderr, "GL device: shader compilation failed: %s\n", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GlProgram* GlDevice::ProgramFor(uint32_t key) {
    auto found = m_programs.find(key);
    if (found != m_programs.end()) return found->second.get();
    const std::string defines = ProgramDefines(key);
    GLuint vertex = CompileShader(GL_VERTEX_SHADER, (defines + kVertexProgram).c_str());
    GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, (defines + kFragmentProgram).c_str());
    if (!vertex || !fragment) return nullptr;
    auto program = std::make_unique<GlProgram>();
    program->name = glCreateProgram();
    glAttachShader(program->name, vertex);
    glAttachShader(program->name, fragment);
    glLinkProgram(program->name);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(program->name, GL_LINK_STATUS, &ok);
    if (!ok) {
        glDeleteProgram(program->name);
        return nullptr;
    }
    auto at = [&](const char* name) { return glGetUniformLocation(program->name, name); };
    program->worldViewProj = at("uWorldViewProj");
    program->pixelCentre = at("uPixelCentre");
    program->alphaFunc = at("uAlphaFunc");
    program->alphaRef = at("uAlphaRef");
    program->fogColour = at("uFogColour");
    program->fogRange = at("uFogRange");
    program->world = at("uWorld");
    program->ambient = at("uAmbient");
    program->lightDiffuse = at("uLightDiffuse");
    program->lightPosition = at("uLightPosition");
    program->lightDirection = at("uLightDirection");
    program->lightAttenuation = at("uLightAttenuation");
    glUseProgram(program->name);
    glUniform1i(at("uTexture0"), 0);
    glUseProgram(m_usedProgram);
    return m_programs.emplace(key, std::move(program)).first->second.get();
}

uint32_t GlDevice::ProgramKey() const {
    const uint32_t* rs = m_renderStates;
    const uint32_t* ts = m_stageStates[0];
    uint32_t key = StageExpressionOf(ts[D3DTSS_COLOROP], ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2]);
    // A disabled stage passes the vertex colour, alpha included.
    key |= (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE
                ? uint32_t{kExprD}
                : StageExpressionOf(ts[D3DTSS_ALPHAOP], ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2]))
           << 3;
    if (m_textures[0]) key |= kKeyTextured;
    if (rs[D3DRS_ALPHATESTENABLE]) key |= kKeyAlphaTest;
    const uint32_t fogMode =
        rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE] : rs[D3DRS_FOGVERTEXMODE];
    if (rs[D3DRS_FOGENABLE] && fogMode == D3DFOG_LINEAR) {
        key |= kKeyFog;
        // Perspective projections fog by eye distance (w), the others by depth.
        if (m_projection[11] != 0.0f) key |= kKeyFogUseW;
    }
    if (rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT) key |= kKeyFlat;
    // Only vertices with normals are lit; the others keep their colours.
    if (rs[D3DRS_LIGHTING] && (m_fvf & D3DFVF_NORMAL)) key |= kKeyLit;
    return key;
}

HRESULT GlDevice::Initialise(GpuPresentParameters* params) {
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor < 33) return D3DERR_NOTAVAILABLE;

    glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
    glGenBuffers(1, &m_upBuffer);
    glGenFramebuffers(1, &m_drawFbo);
    glGenFramebuffers(1, &m_readFbo);
    glGenFramebuffers(1, &m_blitFbo);
    glGenSamplers(kStages, m_samplers);
    for (uint32_t stage = 0; stage < kStages; ++stage) glBindSampler(stage, m_samplers[stage]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);

    // Stages without a texture sample opaque white.
    const uint32_t white = 0xFFFFFFFFu;
    glGenTextures(1, &m_whiteTexture);
    glActiveTexture(kScratchUnit);
    glBindTexture(GL_TEXTURE_2D, m_whiteTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &white);

    // The program of the default states proves the fixed-function texts compile here.
    if (!ProgramFor(kExprDT | kExprT << 3)) return D3DERR_NOTAVAILABLE;
    m_esShaders = !g_GlDesktopShaderPrelude && DriverTakesEsShaders();

    GLint maxTexture = 0, maxDrawBuffers = 0, maxAttachments = 0, maxSamples = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    glGetIntegerv(GL_MAX_DRAW_BUFFERS, &maxDrawBuffers);
    glGetIntegerv(GL_MAX_COLOR_ATTACHMENTS, &maxAttachments);
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    m_caps.DeviceType = D3DDEVTYPE_HAL;
    m_caps.MaxTextureWidth = m_caps.MaxTextureHeight = static_cast<uint32_t>(std::min(maxTexture, 8192));
    m_caps.NumSimultaneousRTs = static_cast<uint32_t>(
        std::clamp(std::min(maxDrawBuffers, maxAttachments), 1, static_cast<int>(kTargets)));
    m_caps.RasterCaps = D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_FOGVERTEX;
    m_caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
    m_caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
    m_caps.NumberOfAdaptersInGroup = 1;
    if (major * 10 + minor >= 42) {
        GLint count = 0;
        glGetInternalformativ(GL_RENDERBUFFER, GL_RGBA8, GL_NUM_SAMPLE_COUNTS, 1, &count);
        std::vector<GLint> counts(static_cast<size_t>(std::max(count, 0)));
        if (count > 0) glGetInternalformativ(GL_RENDERBUFFER, GL_RGBA8, GL_SAMPLES, count, counts.data());
        for (GLint samples : counts) m_sampleCounts.push_back(static_cast<uint32_t>(samples));
    } else {
        for (GLint samples = 2; samples <= maxSamples; samples *= 2) {
            m_sampleCounts.push_back(static_cast<uint32_t>(samples));
        }
    }
    return Reset(params);
}

GlDevice::~GlDevice() {
    MakeCurrent();
    ReleaseBindings();
    if (m_backBuffer) m_backBuffer->Release();
    if (m_autoDepth) m_autoDepth->Release();
    for (GlOwned* object : std::vector<GlOwned*>(m_owned.begin(), m_owned.end())) {
        object->DropGlObjects();
        object->Orphan();
    }
    for (auto& entry : m_programs) glDeleteProgram(entry.second->name);
    glDeleteVertexArrays(1, &m_vao);
    glDeleteBuffers(1, &m_upBuffer);
    glDeleteFramebuffers(1, &m_drawFbo);
    glDeleteFramebuffers(1, &m_readFbo);
    glDeleteFramebuffers(1, &m_blitFbo);
    glDeleteSamplers(kStages, m_samplers);
    glDeleteTextures(1, &m_whiteTexture);
    if (m_resolveTexture) glDeleteTextures(1, &m_resolveTexture);
    if (m_presentProgram) glDeleteProgram(m_presentProgram);
    if (m_presentSampler) glDeleteSamplers(1, &m_presentSampler);
    m_context.reset();
    if (s_current == this) s_current = nullptr;
}

void GlDevice::ReleaseBindings() {
    for (GlTexture*& texture : m_textures) {
        if (texture) texture->Release();
        texture = nullptr;
    }
    for (GlSurface*& target : m_targets) {
        if (target) target->Release();
        target = nullptr;
    }
    if (m_depthStencil) m_depthStencil->Release();
    m_depthStencil = nullptr;
    if (m_stream) m_stream->Release();
    m_stream = nullptr;
    if (m_declaration) m_declaration->Release();
    m_declaration = nullptr;
}

HRESULT GlDevice::MakeBackBuffer() {
    uint32_t width = m_params.BackBufferWidth, height = m_params.BackBufferHeight;
    if (width == 0 || height == 0) {
        int drawableWidth = 1, drawableHeight = 1;
        if (m_context->HasWindow()) m_context->DrawableSize(&drawableWidth, &drawableHeight);
        if (width == 0) width = static_cast<uint32_t>(std::max(drawableWidth, 1));
        if (height == 0) height = static_cast<uint32_t>(std::max(drawableHeight, 1));
        m_params.BackBufferWidth = width;
        m_params.BackBufferHeight = height;
    }
    if (width > m_caps.MaxTextureWidth || height > m_caps.MaxTextureHeight) return D3DERR_INVALIDCALL;
    const uint32_t samples = m_params.MultiSampleType > 1 ? m_params.MultiSampleType : 0;
    if (samples) {
        m_backBuffer = new GlSurface(this, width, height, D3DFMT_A8R8G8B8, samples, false);
    } else {
        GlFormat gl;
        ColourFormat(D3DFMT_A8R8G8B8, &gl);
        auto* texture = new GlTexture(this, width, height, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, gl);
        m_backBuffer = new GlSurface(this, texture);
        texture->Release();
    }
    if (m_params.EnableAutoDepthStencil) {
        m_autoDepth = new GlSurface(this, width, height, m_params.AutoDepthStencilFormat, samples, true);
    }
    return D3D_OK;
}

HRESULT GlDevice::Reset(GpuPresentParameters* params) {
    MakeCurrent();
    if (FAILED(CheckDeviceMultiSampleType(params->MultiSampleType))) return D3DERR_INVALIDCALL;
    ReleaseBindings();
    if (m_backBuffer) m_backBuffer->Release();
    if (m_autoDepth) m_autoDepth->Release();
    m_backBuffer = m_autoDepth = nullptr;
    m_params = *params;
    const HRESULT made = MakeBackBuffer();
    if (FAILED(made)) return made;
    *params = m_params;
    m_targets[0] = m_backBuffer;
    m_backBuffer->AddRef();
    if (m_autoDepth) {
        m_depthStencil = m_autoDepth;
        m_autoDepth->AddRef();
    }
    m_context->SetSwapInterval(m_params.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    ResetStates();
    // The back buffer starts black, as a fresh swap chain does.
    BindTargets();
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | (m_depthStencil ? GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : 0));
    m_dirty = kDirtyAll;
    return D3D_OK;
}

void GlDevice::ResetStates() {
    std::fill(std::begin(m_renderStates), std::end(m_renderStates), 0u);
    uint32_t* rs = m_renderStates;
    rs[D3DRS_ZENABLE] = m_params.EnableAutoDepthStencil ? 1 : 0;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = 1;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGEND] = BitsOf(1.0f);
    rs[D3DRS_FOGDENSITY] = BitsOf(1.0f);
    rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_LIGHTING] = 1;
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    for (uint32_t stage = 0; stage < kStages; ++stage) {
        uint32_t* ts = m_stageStates[stage];
        ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        glSamplerParameteri(m_samplers[stage], GL_TEXTURE_WRAP_S, GL_REPEAT);
        glSamplerParameteri(m_samplers[stage], GL_TEXTURE_WRAP_T, GL_REPEAT);
        if (stage == 0) m_address0[0] = m_address0[1] = D3DTADDRESS_WRAP;
        glSamplerParameteri(m_samplers[stage], GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glSamplerParameteri(m_samplers[stage], GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    }
    std::copy(kIdentity, kIdentity + 16, m_world);
    std::copy(kIdentity, kIdentity + 16, m_view);
    std::copy(kIdentity, kIdentity + 16, m_projection);
    m_viewport = {0, 0, m_backBuffer->Width(), m_backBuffer->Height(), 0.0f, 1.0f};
    m_fvf = 0;
    m_dirty = kDirtyAll;
}

HRESULT GlDevice::CheckDeviceMultiSampleType(uint32_t samples) {
    if (samples <= 1) return D3D_OK;
    return std::find(m_sampleCounts.begin(), m_sampleCounts.end(), samples) != m_sampleCounts.end()
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
}

HRESULT GlDevice::GetDisplayMode(GpuDisplayMode* mode) {
    DisplayAdapterDesc adapter;
    if (!Display_GetAdapter(0, &adapter)) return D3DERR_NOTAVAILABLE;
    *mode = {static_cast<uint32_t>(adapter.width), static_cast<uint32_t>(adapter.height),
             static_cast<uint32_t>(adapter.refreshRate), D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT GlDevice::BeginScene() {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT GlDevice::EndScene() {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT GlDevice::Resolve(GlSurface* surface, GLuint* texture) {
    if (!m_resolveTexture || m_resolveWidth != surface->Width() || m_resolveHeight != surface->Height()) {
        if (!m_resolveTexture) glGenTextures(1, &m_resolveTexture);
        glActiveTexture(kScratchUnit);
        glBindTexture(GL_TEXTURE_2D, m_resolveTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, surface->Width(), surface->Height(), 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, nullptr);
        m_resolveWidth = surface->Width();
        m_resolveHeight = surface->Height();
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_readFbo);
    surface->AttachTo(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_blitFbo);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_resolveTexture, 0);
    const GLint w = static_cast<GLint>(surface->Width()), h = static_cast<GLint>(surface->Height());
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    *texture = m_resolveTexture;
    return D3D_OK;
}

// The picture goes to the window as one textured quad, its rows turned over (the window's run
// bottom first), stretched with linear filtering. A blit would do the same, but a software
// driver builds a whole blitting pipeline for it: far slower to the first frame than a quad
// drawn by a program as small as this one.
const char* const kPresentVertexProgram = R"(#version 330 core
out vec2 vTexCoord;
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    vTexCoord = vec2(corner.x, 1.0 - corner.y);
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const kPresentFragmentProgram = R"(#version 330 core
in vec2 vTexCoord;
uniform sampler2D uPicture;
out vec4 oColour;
void main() { oColour = texture(uPicture, vTexCoord); }
)";

bool GlDevice::DrawToWindow(GLuint picture, int width, int height) {
    if (m_presentProgram == 0 && !m_presentFailed) {
        GLuint vertex = CompileShader(GL_VERTEX_SHADER, kPresentVertexProgram);
        GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, kPresentFragmentProgram);
        GLint linked = 0;
        if (vertex && fragment) {
            m_presentProgram = glCreateProgram();
            glAttachShader(m_presentProgram, vertex);
            glAttachShader(m_presentProgram, fragment);
            glLinkProgram(m_presentProgram);
            glGetProgramiv(m_presentProgram, GL_LINK_STATUS, &linked);
        }
        if (vertex) glDeleteShader(vertex);
        if (fragment) glDeleteShader(fragment);
        if (!linked) {
            if (m_presentProgram) glDeleteProgram(m_presentProgram);
            m_presentProgram = 0;
            m_presentFailed = true;
        } else {
            glUseProgram(m_presentProgram);
            glUniform1i(glGetUniformLocation(m_presentProgram, "uPicture"), 0);
            m_usedProgram = m_presentProgram;
            glGenSamplers(1, &m_presentSampler);
            glSamplerParameteri(m_presentSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glSamplerParameteri(m_presentSampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glSamplerParameteri(m_presentSampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glSamplerParameteri(m_presentSampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
    }
    if (m_presentProgram == 0) return false;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    SetGlBlend(false);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    UseProgram(m_presentProgram);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, picture);
    glBindSampler(0, m_presentSampler);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindSampler(0, m_samplers[0]);
    return true;
}

HRESULT GlDevice::Present() {
    MakeCurrent();
    m_verticesSinceFlush = 0;
    if (!m_context->HasWindow()) {
        glFlush();
        return D3D_OK;
    }
    int width = 0, height = 0;
    m_context->DrawableSize(&width, &height);
    if (width > 0 && height > 0) {
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        GLuint picture = 0;
        if (m_backBuffer->Samples() > 1) {
            Resolve(m_backBuffer, &picture);
        } else {
            picture = m_backBuffer->Texture()->Name();
        }
        if (!DrawToWindow(picture, width, height)) {
            // No program for the quad: the blit turns the picture over as it stretches it.
            const GLint bw = static_cast<GLint>(m_backBuffer->Width()),
                        bh = static_cast<GLint>(m_backBuffer->Height());
            glBindFramebuffer(GL_READ_FRAMEBUFFER, m_readFbo);
            glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, picture, 0);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
            glBlitFramebuffer(0, 0, bw, bh, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_LINEAR);
        }
        m_dirty |= kDirtyAll;
    }
    m_context->Swap();
    return D3D_OK;
}

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    if (state >= std::size(m_renderStates)) return D3DERR_INVALIDCALL;
    m_renderStates[state] = value;
    switch (state) {
        case D3DRS_ZENABLE:
        case D3DRS_ZWRITEENABLE:
        case D3DRS_ZFUNC:
            m_dirty |= kDirtyDepth;
            break;
        case D3DRS_FILLMODE:
            m_dirty |= kDirtyFill;
            break;
        case D3DRS_SHADEMODE:
            m_dirty |= kDirtyShade;
            break;
        case D3DRS_ALPHATESTENABLE:
        case D3DRS_ALPHAREF:
        case D3DRS_ALPHAFUNC:
            m_dirty |= kDirtyAlphaTest;
            break;
        case D3DRS_SRCBLEND:
        case D3DRS_DESTBLEND:
        case D3DRS_ALPHABLENDENABLE:
            m_dirty |= kDirtyBlend;
            break;
        case D3DRS_CULLMODE:
            m_dirty |= kDirtyCull;
            break;
        case D3DRS_FOGENABLE:
        case D3DRS_FOGCOLOR:
        case D3DRS_FOGTABLEMODE:
        case D3DRS_FOGSTART:
        case D3DRS_FOGEND:
        case D3DRS_FOGVERTEXMODE:
            m_dirty |= kDirtyFog;
            break;
        case D3DRS_STENCILENABLE:
        case D3DRS_STENCILFAIL:
        case D3DRS_STENCILZFAIL:
        case D3DRS_STENCILPASS:
        case D3DRS_STENCILFUNC:
        case D3DRS_STENCILREF:
        case D3DRS_STENCILMASK:
        case D3DRS_STENCILWRITEMASK:
            m_dirty |= kDirtyStencil;
            break;
        case D3DRS_COLORWRITEENABLE:
            m_dirty |= kDirtyColourMask;
            break;
        case D3DRS_LIGHTING:
        case D3DRS_AMBIENT:
            m_dirty |= kDirtyLights;
            break;
        default:
            break;  // kept; the rest have no effect on this device yet
    }
    return D3D_OK;
}

HRESULT GlDevice::SetSamplerState(uint32_t stage, D3DSAMPLERSTATETYPE type, uint32_t value) {
    if (stage >= kStages) return D3DERR_INVALIDCALL;
    MakeCurrent();
    switch (type) {
        case D3DSAMP_ADDRESSU:
            glSamplerParameteri(m_samplers[stage], GL_TEXTURE_WRAP_S, GlAddress(value));
            if (stage == 0) m_address0[0] = value;
            break;
        case D3DSAMP_ADDRESSV:
            glSamplerParameteri(m_samplers[stage], GL_TEXTURE_WRAP_T, GlAddress(value));
            if (stage == 0) m_address0[1] = value;
            break;
        // No mipmaps: the minification filter is the plain one.
        case D3DSAMP_MAGFILTER:
            glSamplerParameteri(m_samplers[stage], GL_TEXTURE_MAG_FILTER, GlFilter(value));
            break;
        case D3DSAMP_MINFILTER:
            glSamplerParameteri(m_samplers[stage], GL_TEXTURE_MIN_FILTER, GlFilter(value));
            break;
        default:
            break;
    }
    return D3D_OK;
}

HRESULT GlDevice::SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    if (stage >= kStages || type >= std::size(m_stageStates[0])) return D3DERR_INVALIDCALL;
    m_stageStates[stage][type] = value;
    if (stage == 0) m_dirty |= kDirtyStage;
    return D3D_OK;
}

HRESULT GlDevice::SetTransform(D3DTRANSFORMSTATETYPE type, const float matrix[16]) {
    float* target = type == D3DTS_WORLD        ? m_world
                    : type == D3DTS_VIEW       ? m_view
                    : type == D3DTS_PROJECTION ? m_projection
                                               : nullptr;
    if (!target) return D3DERR_INVALIDCALL;
    std::copy(matrix, matrix + 16, target);
    m_dirty |= kDirtyTransform | (type == D3DTS_PROJECTION ? uint32_t{kDirtyFog} : 0u);
    return D3D_OK;
}

HRESULT GlDevice::SetViewport(const GpuViewport* viewport) {
    m_viewport = *viewport;
    m_dirty |= kDirtyViewport;
    return D3D_OK;
}

HRESULT GlDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t, uint32_t usage, uint32_t format,
                                uint32_t, GpuTexture** texture) {
    *texture = nullptr;
    GlFormat gl;
    if (width == 0 || height == 0 || width > m_caps.MaxTextureWidth || height > m_caps.MaxTextureHeight ||
        !ColourFormat(format, &gl)) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_RENDERTARGET) && gl.Compressed()) return D3DERR_INVALIDCALL;
    MakeCurrent();
    *texture = new GlTexture(this, width, height, usage, format, gl);
    return D3D_OK;
}

HRESULT GlDevice::CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t samples, bool,
                                     GpuSurface** surface) {
    *surface = nullptr;
    GlFormat gl;
    if (width == 0 || height == 0 || width > m_caps.MaxTextureWidth || height > m_caps.MaxTextureHeight ||
        !ColourFormat(format, &gl) || gl.Compressed() || FAILED(CheckDeviceMultiSampleType(samples))) {
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    if (samples > 1) {
        *surface = new GlSurface(this, width, height, format, samples, false);
        return D3D_OK;
    }
    auto* texture = new GlTexture(this, width, height, D3DUSAGE_RENDERTARGET, format, gl);
    *surface = new GlSurface(this, texture);
    texture->Release();
    return D3D_OK;
}

HRESULT GlDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format,
                                            uint32_t samples, GpuSurface** surface) {
    *surface = nullptr;
    if (width == 0 || height == 0 || !IsDepthFormat(format) || FAILED(CheckDeviceMultiSampleType(samples))) {
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    *surface = new GlSurface(this, width, height, format, samples, true);
    return D3D_OK;
}

HRESULT GlDevice::SetTexture(uint32_t stage, GpuTexture* texture) {
    if (stage >= kStages) return D3DERR_INVALIDCALL;
    auto* gl = static_cast<GlTexture*>(texture);
    if (gl == m_textures[stage]) return D3D_OK;
    if (gl) gl->AddRef();
    if (m_textures[stage]) m_textures[stage]->Release();
    m_textures[stage] = gl;
    m_dirty |= kDirtyTextures;
    return D3D_OK;
}

HRESULT GlDevice::GetBackBuffer(GpuSurface** surface) {
    *surface = m_backBuffer;
    m_backBuffer->AddRef();
    return D3D_OK;
}

HRESULT GlDevice::GetRenderTarget(uint32_t index, GpuSurface** surface) {
    *surface = nullptr;
    if (index >= m_caps.NumSimultaneousRTs) return D3DERR_INVALIDCALL;
    if (!m_targets[index]) return D3DERR_NOTFOUND;
    *surface = m_targets[index];
    m_targets[index]->AddRef();
    return D3D_OK;
}

HRESULT GlDevice::SetRenderTarget(uint32_t index, GpuSurface* surface) {
    auto* gl = static_cast<GlSurface*>(surface);
    if (index >= m_caps.NumSimultaneousRTs || (index == 0 && !gl) || (gl && gl->IsDepth())) {
        return D3DERR_INVALIDCALL;
    }
    if (gl) gl->AddRef();
    if (m_targets[index]) m_targets[index]->Release();
    m_targets[index] = gl;
    if (index == 0) {
        // A new first target brings a viewport that covers it.
        m_viewport = {0, 0, gl->Width(), gl->Height(), 0.0f, 1.0f};
        m_dirty |= kDirtyViewport;
    }
    m_dirty |= kDirtyTargets;
    return D3D_OK;
}

HRESULT GlDevice::GetDepthStencilSurface(GpuSurface** surface) {
    *surface = m_depthStencil;
    if (!m_depthStencil) return D3DERR_NOTFOUND;
    m_depthStencil->AddRef();
    return D3D_OK;
}

HRESULT GlDevice::SetDepthStencilSurface(GpuSurface* surface) {
    auto* gl = static_cast<GlSurface*>(surface);
    if (gl && !gl->IsDepth()) return D3DERR_INVALIDCALL;
    if (gl) gl->AddRef();
    if (m_depthStencil) m_depthStencil->Release();
    m_depthStencil = gl;
    m_dirty |= kDirtyTargets;
    return D3D_OK;
}

HRESULT GlDevice::StretchRect(GpuSurface* source, const GpuRect* sourceRect, GpuSurface* dest,
                              const GpuRect* destRect, uint32_t filter) {
    auto* from = static_cast<GlSurface*>(source);
    auto* to = static_cast<GlSurface*>(dest);
    if (!from || !to || from->IsDepth() || to->IsDepth() || to->Samples() > 1) return D3DERR_INVALIDCALL;
    if ((to->Texture() && to->Texture()->Gl().Compressed()) ||
        (from->Texture() && from->Texture()->Gl().Compressed())) {
        return D3DERR_INVALIDCALL;
    }
    const GpuRect s =
        sourceRect ? *sourceRect : GpuRect{0, 0, int32_t(from->Width()), int32_t(from->Height())};
    const GpuRect d = destRect ? *destRect : GpuRect{0, 0, int32_t(to->Width()), int32_t(to->Height())};
    if (!RectInside(s, from->Width(), from->Height()) || !RectInside(d, to->Width(), to->Height())) {
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    GLuint readFbo = m_readFbo;
    if (from->Samples() > 1) {
        GLuint resolved = 0;
        Resolve(from, &resolved);
        // The resolved copy sits on the scratch framebuffer; read it through the read one.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_readFbo);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, resolved, 0);
    } else {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
        from->AttachTo(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_blitFbo);
    to->AttachTo(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    // A copy at its own size has nothing to filter: each pixel is its own nearest texel. (Mesa's
    // linear blit path also leaves a little memory behind per context.)
    const bool stretched = s.right - s.left != d.right - d.left || s.bottom - s.top != d.bottom - d.top;
    glBlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT,
                      filter == D3DTEXF_LINEAR && stretched ? GL_LINEAR : GL_NEAREST);
    to->MarkGpuWritten();
    m_dirty |= kDirtyTargets | kDirtyColourMask;
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t, uint32_t,
                                     GpuVertexBuffer** buffer) {
    *buffer = nullptr;
    if (length == 0) return D3DERR_INVALIDCALL;
    MakeCurrent();
    *buffer = new GlVertexBuffer(this, length, usage);
    return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(uint32_t stream, GpuVertexBuffer* buffer, uint32_t offset,
                                  uint32_t stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    auto* gl = static_cast<GlVertexBuffer*>(buffer);
    if (gl) gl->AddRef();
    if (m_stream) m_stream->Release();
    m_stream = gl;
    m_streamOffset = offset;
    m_streamStride = stride;
    return D3D_OK;
}

void GlDevice::BindTargets() {
    glBindFramebuffer(GL_FRAMEBUFFER, m_drawFbo);
    GLenum buffers[kTargets];
    GLsizei count = 0;
    for (uint32_t slot = 0; slot < kTargets; ++slot) {
        const GLenum attachment = GL_COLOR_ATTACHMENT0 + slot;
        if (m_targets[slot]) {
            m_targets[slot]->AttachTo(GL_FRAMEBUFFER, attachment);
            buffers[slot] = attachment;
            count = static_cast<GLsizei>(slot + 1);
        } else {
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, 0);
            buffers[slot] = GL_NONE;
        }
    }
    if (m_depthStencil) {
        m_depthStencil->AttachTo(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT);
    } else {
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    }
    glDrawBuffers(count, buffers);
}

void GlDevice::ApplyMasks() {
    const uint32_t mask = m_renderStates[D3DRS_COLORWRITEENABLE];
    glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
    glDepthMask(m_renderStates[D3DRS_ZWRITEENABLE] != 0);
    glStencilMask(m_renderStates[D3DRS_STENCILWRITEMASK]);
}

void GlDevice::ApplyRenderStates() {
    const uint32_t* rs = m_renderStates;
    if (m_dirty & kDirtyBlend) {
        SetGlBlend(rs[D3DRS_ALPHABLENDENABLE] != 0);
        GLenum source = GlBlendFactor(rs[D3DRS_SRCBLEND]), dest = GlBlendFactor(rs[D3DRS_DESTBLEND]);
        if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) {
            source = GL_SRC_ALPHA;
            dest = GL_ONE_MINUS_SRC_ALPHA;
        } else if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) {
            source = GL_ONE_MINUS_SRC_ALPHA;
            dest = GL_SRC_ALPHA;
        }
        glBlendColor(1, 1, 1, 1);
        // Colour and alpha blend with the same factors.
        glBlendFunc(source, dest);
    }
    if (m_dirty & kDirtyDepth) {
        if (rs[D3DRS_ZENABLE]) {
            glEnable(GL_DEPTH_TEST);
        } else {
            glDisable(GL_DEPTH_TEST);
        }
        glDepthFunc(GlCompare(rs[D3DRS_ZFUNC]));
    }
    if (m_dirty & kDirtyStencil) {
        if (rs[D3DRS_STENCILENABLE]) {
            glEnable(GL_STENCIL_TEST);
        } else {
            glDisable(GL_STENCIL_TEST);
        }
        glStencilFunc(GlCompare(rs[D3DRS_STENCILFUNC]), static_cast<GLint>(rs[D3DRS_STENCILREF]),
                      rs[D3DRS_STENCILMASK]);
        glStencilOp(GlStencilOp(rs[D3DRS_STENCILFAIL]), GlStencilOp(rs[D3DRS_STENCILZFAIL]),
                    GlStencilOp(rs[D3DRS_STENCILPASS]));
    }
    if (m_dirty & kDirtyCull) {
        if (rs[D3DRS_CULLMODE] == D3DCULL_CW || rs[D3DRS_CULLMODE] == D3DCULL_CCW) {
            glEnable(GL_CULL_FACE);
            glCullFace(rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_FRONT : GL_BACK);
        } else {
            glDisable(GL_CULL_FACE);
        }
    }
    if (m_dirty & kDirtyFill) {
        const uint32_t fill = rs[D3DRS_FILLMODE];
        glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT       ? GL_POINT
                                         : fill == D3DFILL_WIREFRAME ? GL_LINE
                                                                     : GL_FILL);
    }
    if (m_dirty & (kDirtyColourMask | kDirtyDepth | kDirtyStencil)) ApplyMasks();
}

void GlDevice::ApplyUniforms() {
    const uint32_t* rs = m_renderStates;
    if (m_dirty & kDirtyTransform) {
        float worldView[16];
        MultiplyMatrices(worldView, m_world, m_view);
        MultiplyMatrices(m_values.worldViewProj, worldView, m_projection);
    }
    if (m_dirty & kDirtyViewport) {
        glViewport(static_cast<GLint>(m_viewport.X), static_cast<GLint>(m_viewport.Y),
                   static_cast<GLsizei>(m_viewport.Width), static_cast<GLsizei>(m_viewport.Height));
        glDepthRange(m_viewport.MinZ, m_viewport.MaxZ);
        m_values.pixelCentre[0] = m_viewport.Width ? 1.0f / m_viewport.Width : 0.0f;
        m_values.pixelCentre[1] = m_viewport.Height ? 1.0f / m_viewport.Height : 0.0f;
    }
    if (m_dirty & kDirtyAlphaTest) {
        m_values.alphaFunc = static_cast<int32_t>(rs[D3DRS_ALPHAFUNC]);
        m_values.alphaRef = static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF);
    }
    if (m_dirty & kDirtyFog) {
        const uint32_t colour = rs[D3DRS_FOGCOLOR];
        const float fogColour[4] = {((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                                    (colour & 0xFF) / 255.0f, (colour >> 24) / 255.0f};
        std::copy(fogColour, fogColour + 4, m_values.fogColour);
        m_values.fogRange[0] = FloatBits(rs[D3DRS_FOGSTART]);
        m_values.fogRange[1] = FloatBits(rs[D3DRS_FOGEND]);
    }
    if (m_dirty & kDirtyTextures) {
        for (uint32_t stage = 0; stage < kStages; ++stage) {
            glActiveTexture(GL_TEXTURE0 + stage);
            glBindTexture(GL_TEXTURE_2D, m_textures[stage] ? m_textures[stage]->Name() : m_whiteTexture);
        }
    }
    if (m_dirty & (kDirtyStage | kDirtyAlphaTest | kDirtyFog | kDirtyShade | kDirtyTextures |
                   kDirtyTransform | kDirtyLights)) {
        GlProgram* program = ProgramFor(ProgramKey());
        if (program) m_program = program;
    }
    if (m_userProgram) {
        UseProgram(m_userProgram->name);
        SendUserUniforms();
    } else if (m_program) {
        UseProgram(m_program->name);
        SendUniforms(m_program);
    }
}

void GlDevice::SendUniforms(GlProgram* program) {
    const UniformValues& want = m_values;
    UniformValues& sent = program->sent;
    const bool all = !program->primed;
    program->primed = true;
    auto changed = [all](const void* a, const void* b, size_t size) {
        return all || std::memcmp(a, b, size) != 0;
    };
    if (changed(want.worldViewProj, sent.worldViewProj, sizeof want.worldViewProj)) {
        // Row-major rows read as GL columns give the transpose, which is what a
        // column-vector product needs.
        glUniformMatrix4fv(program->worldViewProj, 1, GL_FALSE, want.worldViewProj);
    }
    if (changed(want.pixelCentre, sent.pixelCentre, sizeof want.pixelCentre)) {
        glUniform2fv(program->pixelCentre, 1, want.pixelCentre);
    }
    if (program->alphaFunc >= 0 &&
        (all || want.alphaFunc != sent.alphaFunc || want.alphaRef != sent.alphaRef)) {
        glUniform1i(program->alphaFunc, want.alphaFunc);
        glUniform1f(program->alphaRef, want.alphaRef);
    }
    if (program->fogColour >= 0 && (changed(want.fogColour, sent.fogColour, sizeof want.fogColour) ||
                                    changed(want.fogRange, sent.fogRange, sizeof want.fogRange))) {
        glUniform4fv(program->fogColour, 1, want.fogColour);
        glUniform2fv(program->fogRange, 1, want.fogRange);
    }
    if (program->world >= 0) SendLights(program);
    sent = want;
}

// The lighting uniforms of a lit program, from the lights, the material and the ambient state.
void GlDevice::SendLights(GlProgram* program) {
    glUniformMatrix4fv(program->world, 1, GL_FALSE, m_world);
    const uint32_t ambient = m_renderStates[D3DRS_AMBIENT];
    const float ambientColour[4] = {(ambient >> 16 & 0xFF) / 255.0f * m_material.ambient[0],
                                    (ambient >> 8 & 0xFF) / 255.0f * m_material.ambient[1],
                                    (ambient & 0xFF) / 255.0f * m_material.ambient[2], 1.0f};
    glUniform4fv(program->ambient, 1, ambientColour);
    float diffuse[32], position[32], direction[32], attenuation[24];
    for (uint32_t i = 0; i < 8; ++i) {
        const GpuLight& light = m_lights[i];
        const bool on = m_lightOn[i] && (light.type == D3DLIGHT_DIRECTIONAL || light.type == D3DLIGHT_POINT);
        for (uint32_t c = 0; c < 4; ++c) diffuse[4 * i + c] = light.diffuse[c] * m_material.diffuse[c];
        for (uint32_t c = 0; c < 3; ++c) {
            position[4 * i + c] = light.position[c];
            direction[4 * i + c] = light.direction[c];
        }
        position[4 * i + 3] = light.range;
        direction[4 * i + 3] = !on ? 0.0f : light.type == D3DLIGHT_DIRECTIONAL ? 1.0f : 2.0f;
        attenuation[3 * i] = light.attenuation0;
        attenuation[3 * i + 1] = light.attenuation1;
        attenuation[3 * i + 2] = light.attenuation2;
    }
    glUniform4fv(program->lightDiffuse, 8, diffuse);
    glUniform4fv(program->lightPosition, 8, position);
    glUniform4fv(program->lightDirection, 8, direction);
    glUniform3fv(program->lightAttenuation, 8, attenuation);
}

void GlDevice::ApplyForDraw() {
    MakeCurrent();
    if (m_dirty == 0) return;
    if (m_dirty & kDirtyTargets) BindTargets();
    ApplyRenderStates();
    ApplyUniforms();
    m_dirty = 0;
}

void GlDevice::MarkTargetsWritten() {
    for (GlSurface* target : m_targets) {
        if (target) target->MarkGpuWritten();
    }
}

void GlDevice::SetGlBlend(bool on) {
    if (on == m_glBlend) return;
    if (on) {
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
    m_glBlend = on;
}

// Blending by source alpha (source x a + target x (1 - a)) leaves a source of alpha 1 exactly as
// it is, to the bit. A draw of the fixed-function stage whose vertex colours and stage-0 texels
// all have alpha 1 therefore goes with blending off: a software rasteriser then need not read
// back every pixel it covers. Anything this cannot judge keeps blending on.
bool GlDevice::BlendChangesNothing(const uint8_t* vertices, uint64_t count, uint32_t stride) {
    const uint32_t* rs = m_renderStates;
    if (!rs[D3DRS_ALPHABLENDENABLE] || m_userProgram || !vertices) return false;
    const bool bySourceAlpha =
        rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA ||
        (rs[D3DRS_SRCBLEND] == D3DBLEND_SRCALPHA && rs[D3DRS_DESTBLEND] == D3DBLEND_INVSRCALPHA);
    if (!bySourceAlpha) return false;
    const uint32_t fvf = m_fvf;
    if (fvf == 0 || !(fvf & D3DFVF_XYZ) || (fvf & D3DFVF_XYZRHW)) return false;
    if (rs[D3DRS_LIGHTING] && (fvf & D3DFVF_NORMAL)) return false;
    if (m_textures[0]) {
        // A border colour could bring an alpha of its own.
        if (m_address0[0] == D3DTADDRESS_BORDER || m_address0[1] == D3DTADDRESS_BORDER) return false;
        if (!m_textures[0]->Opaque()) return false;
    }
    if (!(fvf & D3DFVF_DIFFUSE)) return true;  // the colour reads as opaque white
    // Reading every colour of a very large buffer each frame could cost more than it saves.
    if (count > kOpaqueScanVertices) return false;
    // D3D colours are B, G, R, A bytes after the position (and the normal).
    const uint32_t alphaAt = 12 + ((fvf & D3DFVF_NORMAL) ? 12 : 0) + 3;
    if (stride < alphaAt + 1) return false;
    for (uint64_t i = 0; i < count; ++i) {
        if (vertices[i * stride + alphaAt] != 0xFF) return false;
    }
    return true;
}

void GlDevice::CountDrawn(uint64_t vertices) {
    m_verticesSinceFlush += vertices;
    if (m_verticesSinceFlush < kFlushVertices) return;
    glFlush();
    m_verticesSinceFlush = 0;
}

void GlDevice::EnableAttributes(uint32_t mask) {
    const uint32_t change = mask ^ m_enabledAttributes;
    for (GLuint location = 0; location < 16; ++location) {
        if (!(change >> location & 1)) continue;
        if (mask >> location & 1) {
            glEnableVertexAttribArray(location);
        } else {
            glDisableVertexAttribArray(location);
        }
    }
    m_enabledAttributes = mask;
    // What no array feeds reads as white colour, zero texture coordinates, (0, 0, 0, 1) else.
    for (GLuint location = 0; location < 16; ++location) {
        if (mask >> location & 1) continue;
        if (location == kAttribColour) {
            glVertexAttrib4f(location, 1, 1, 1, 1);
        } else {
            glVertexAttrib4f(location, 0, 0, 0, 1);
        }
    }
}

bool GlDevice::SetupDeclarationLayout(GLuint buffer, uintptr_t base, uint32_t stride) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    uint32_t mask = 0;
    for (const GpuVertexElement& e : m_declaration->Elements()) {
        const int32_t location = Gpu_UsageLocation(e.Usage, e.UsageIndex);
        if (location < 0 || (mask >> location & 1)) continue;
        mask |= 1u << location;
    }
    EnableAttributes(mask);
    uint32_t placed = 0;
    for (const GpuVertexElement& e : m_declaration->Elements()) {
        const int32_t location = Gpu_UsageLocation(e.Usage, e.UsageIndex);
        if (location < 0 || (placed >> location & 1)) continue;
        placed |= 1u << location;
        const auto* at = reinterpret_cast<const void*>(base + e.Offset);
        const auto gl = static_cast<GLuint>(location);
        switch (e.Type) {
            case D3DDECLTYPE_D3DCOLOR:
                glVertexAttribPointer(gl, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at);
                break;
            case D3DDECLTYPE_UBYTE4:
                glVertexAttribPointer(gl, 4, GL_UNSIGNED_BYTE, GL_FALSE, stride, at);
                break;
            default:
                glVertexAttribPointer(gl, e.Type <= D3DDECLTYPE_FLOAT4 ? e.Type + 1 : 1, GL_FLOAT, GL_FALSE,
                                      stride, at);
                break;
        }
    }
    return (mask & 1) != 0;
}

bool GlDevice::SetupVertexLayout(GLuint buffer, uintptr_t base, uint32_t stride) {
    const uint32_t fvf = m_fvf;
    if (fvf == 0 && m_declaration) return SetupDeclarationLayout(buffer, base, stride);
    if (!(fvf & D3DFVF_XYZ) || (fvf & D3DFVF_XYZRHW)) return false;
    EnableAttributes((1u << kAttribPosition) | ((fvf & D3DFVF_NORMAL) ? 1u << kAttribNormal : 0u) |
                     ((fvf & D3DFVF_DIFFUSE) ? 1u << kAttribColour : 0u) |
                     ((fvf & D3DFVF_TEX1) ? 1u << kAttribTexCoord : 0u));
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    uintptr_t offset = base;
    glVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offset));
    offset += 12;
    if (fvf & D3DFVF_NORMAL) {
        glVertexAttribPointer(kAttribNormal, 3, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offset));
        offset += 12;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        glVertexAttribPointer(kAttribColour, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<const void*>(offset));
        offset += 4;
    }
    if (fvf & D3DFVF_TEX1) {
        glVertexAttribPointer(kAttribTexCoord, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offset));
    }
    return true;
}

HRESULT GlDevice::DrawPrimitive(uint32_t kind, uint32_t startVertex, uint32_t primitiveCount) {
    const GLenum mode = GlPrimitive(kind);
    if (mode == kNoPrimitive || !m_stream || m_streamStride == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    const uint64_t count = Gpu_VertexCount(kind, primitiveCount);
    const uint64_t from = m_streamOffset + uint64_t(startVertex) * m_streamStride;
    const uint64_t to = from + count * m_streamStride;
    if (to > m_stream->Length()) return D3DERR_INVALIDCALL;
    ApplyForDraw();
    if (!m_program && !m_userProgram) return D3DERR_INVALIDCALL;
    m_stream->Prepare(static_cast<uint32_t>(from), static_cast<uint32_t>(to));
    if (!SetupVertexLayout(m_stream->Name(), m_streamOffset, m_streamStride)) return D3DERR_INVALIDCALL;
    SetGlBlend(m_renderStates[D3DRS_ALPHABLENDENABLE] &&
               !BlendChangesNothing(m_stream->Bytes() + from, count, m_streamStride));
    glDrawArrays(mode, static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
    MarkTargetsWritten();
    CountDrawn(count);
    return D3D_OK;
}

HRESULT GlDevice::DrawPrimitiveUP(uint32_t kind, uint32_t primitiveCount, const void* vertices,
                                  uint32_t stride) {
    const GLenum mode = GlPrimitive(kind);
    if (mode == kNoPrimitive || !vertices || stride == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    const uint32_t count = Gpu_VertexCount(kind, primitiveCount);
    ApplyForDraw();
    if (!m_program && !m_userProgram) return D3DERR_INVALIDCALL;
    glBindBuffer(GL_ARRAY_BUFFER, m_upBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * stride, vertices, GL_STREAM_DRAW);
    if (!SetupVertexLayout(m_upBuffer, 0, stride)) return D3DERR_INVALIDCALL;
    SetGlBlend(m_renderStates[D3DRS_ALPHABLENDENABLE] &&
               !BlendChangesNothing(static_cast<const uint8_t*>(vertices), count, stride));
    glDrawArrays(mode, 0, static_cast<GLsizei>(count));
    // The stream source stays what it was.
    MarkTargetsWritten();
    CountDrawn(count);
    return D3D_OK;
}

HRESULT GlDevice::Clear(uint32_t rectCount, const GpuRect* rects, uint32_t flags, uint32_t colour, float z,
                        uint32_t stencil) {
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
    if ((flags & D3DCLEAR_ZBUFFER) && m_depthStencil) bits |= GL_DEPTH_BUFFER_BIT;
    if ((flags & D3DCLEAR_STENCIL) && m_depthStencil) bits |= GL_STENCIL_BUFFER_BIT;
    if (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) return D3DERR_INVALIDCALL;
    if (bits == 0) return flags ? D3DERR_INVALIDCALL : D3D_OK;
    ApplyForDraw();
    glClearColor(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f,
                 (colour >> 24) / 255.0f);
    glClearDepth(z);
    glClearStencil(static_cast<GLint>(stencil));
    // A clear fills the viewport, or the given rectangles within it, whatever the masks say.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFFu);
    glEnable(GL_SCISSOR_TEST);
    const GpuRect viewport = {static_cast<int32_t>(m_viewport.X), static_cast<int32_t>(m_viewport.Y),
                              static_cast<int32_t>(m_viewport.X + m_viewport.Width),
                              static_cast<int32_t>(m_viewport.Y + m_viewport.Height)};
    const uint32_t areas = rects && rectCount ? rectCount : 1;
    for (uint32_t i = 0; i < areas; ++i) {
        GpuRect area = viewport;
        if (rects && rectCount) {
            area.left = std::max(area.left, rects[i].left);
            area.top = std::max(area.top, rects[i].top);
            area.right = std::min(area.right, rects[i].right);
            area.bottom = std::min(area.bottom, rects[i].bottom);
        }
        if (area.left >= area.right || area.top >= area.bottom) continue;
        glScissor(area.left, area.top, area.right - area.left, area.bottom - area.top);
        glClear(bits);
    }
    glDisable(GL_SCISSOR_TEST);
    ApplyMasks();
    if (bits & GL_COLOR_BUFFER_BIT) MarkTargetsWritten();
    return D3D_OK;
}

// ---- vertex declarations and shader programs ------------------------------------------

HRESULT GlDevice::CreateVertexDeclaration(const GpuVertexElement* elements,
                                          GpuVertexDeclaration** declaration) {
    *declaration = nullptr;
    if (!elements) return D3DERR_INVALIDCALL;
    std::vector<GpuVertexElement> list;
    for (const GpuVertexElement* e = elements; e->Stream != 0xFF; ++e) {
        if (e->Stream != 0 || (e->Type > D3DDECLTYPE_UBYTE4)) return D3DERR_INVALIDCALL;
        list.push_back(*e);
    }
    *declaration = new GlVertexDeclaration(std::move(list));
    return D3D_OK;
}

HRESULT GlDevice::SetVertexDeclaration(GpuVertexDeclaration* declaration) {
    auto* gl = static_cast<GlVertexDeclaration*>(declaration);
    if (gl) gl->AddRef();
    if (m_declaration) m_declaration->Release();
    m_declaration = gl;
    return D3D_OK;
}

void GlShaderProgram::DropGlObjects() {
    if (Owner()) {
        Owner()->MakeCurrent();
        Owner()->ForgetProgram(this);
        if (name) glDeleteProgram(name);
    }
    name = 0;
}

// The game's texts run inside a frame of ours: their main becomes hv_UserMain, and our main
// calls it and then does what the device's conventions need. The vertex side moves the clip
// position as the fixed-function program does (y turned, half-pixel centre, depth 0..w to
// -w..w); the fragment side applies the alpha test, which GL has no state for.
const char* const kUserVertexFrame = R"(
#undef main
uniform vec2 hvd_PixelCentre;
void main() {
    hv_UserMain();
    vec4 p = gl_Position;
    gl_Position = vec4(p.x + p.w * hvd_PixelCentre.x, -p.y + p.w * hvd_PixelCentre.y, 2.0 * p.z - p.w, p.w);
}
)";

const char* const kUserFragmentFrame = R"(
#undef main
uniform int hvd_AlphaFunc;
uniform float hvd_AlphaRef;
void main() {
    hv_UserMain();
    float a = floor(gl_FragColor.a * 255.0 + 0.5);
    int f = hvd_AlphaFunc;
    bool pass = f == 2 ? a < hvd_AlphaRef : f == 3 ? a == hvd_AlphaRef : f == 4 ? a <= hvd_AlphaRef
              : f == 5 ? a > hvd_AlphaRef : f == 6 ? a != hvd_AlphaRef : f == 7 ? a >= hvd_AlphaRef : f != 1;
    if (!pass) discard;
}
)";

// Desktop GLSL 3.30 spellings of the ES 1.00 words the game's texts use.
const char* const kDesktopVertexPrelude =
    "#define attribute in\n#define varying out\n#define texture2D texture\n"
    "#define texture2DLod textureLod\n#define textureCube texture\n";
const char* const kDesktopFragmentPrelude =
    "#define varying in\n#define texture2D texture\n#define texture2DLod textureLod\n"
    "#define textureCube texture\n#define gl_FragColor hvd_FragColor\nout vec4 hvd_FragColor;\n";

// The game's text with its #version line dropped (ours comes first) and its #extension lines
// moved out to `extensions`, which go right after our #version, before anything of ours.
std::string SplitDirectives(const char* text, std::string* extensions) {
    std::string source;
    const std::string all = text;
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find('\n', at);
        if (end == std::string::npos) end = all.size();
        const std::string line = all.substr(at, end - at);
        const size_t first = line.find_first_not_of(" \t");
        const bool directive = first != std::string::npos && line[first] == '#';
        const std::string word = directive ? line.substr(line.find_first_not_of(" \t", first + 1)) : "";
        if (directive && word.starts_with("extension")) {
            *extensions += line + "\n";
            source += "\n";
        } else if (directive && word.starts_with("version")) {
            source += "\n";
        } else {
            source += line + "\n";
        }
        at = end + 1;
    }
    return source;
}

std::string FramedSource(const char* text, bool vertex, bool es) {
    std::string extensions;
    const std::string body = SplitDirectives(text, &extensions);
    std::string source = es ? "#version 100\n" : "#version 330 core\n";
    source += extensions;
    if (es) {
        if (!vertex) source += "precision mediump float;\n";
    } else {
        source += vertex ? kDesktopVertexPrelude : kDesktopFragmentPrelude;
    }
    source += "#define main hv_UserMain\n#line 1\n";
    source += body;
    source += vertex ? kUserVertexFrame : kUserFragmentFrame;
    return source;
}

// Compiles one stage; on failure the log, else 0 and the shader.
GLuint CompileStage(GLenum kind, const std::string& source, std::string* log) {
    GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0, length = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    log->assign(static_cast<size_t>(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, length, nullptr, log->data());
    log->resize(std::strlen(log->c_str()));
    glDeleteShader(shader);
    return 0;
}

// Columns, rows and kind of a GL uniform type; false for types the register model skips.
bool DescribeUniformType(GLenum type, GpuUniformDesc* d) {
    d->columns = 1;
    d->rows = 1;
    d->integer = d->boolean = d->sampler = false;
    switch (type) {
        case GL_FLOAT:
            return true;
        case GL_FLOAT_VEC2:
            d->columns = 2;
            return true;
        case GL_FLOAT_VEC3:
            d->columns = 3;
            return true;
        case GL_FLOAT_VEC4:
            d->columns = 4;
            return true;
        case GL_INT:
            d->integer = true;
            return true;
        case GL_INT_VEC2:
            d->integer = true;
            d->columns = 2;
            return true;
        case GL_INT_VEC3:
            d->integer = true;
            d->columns = 3;
            return true;
        case GL_INT_VEC4:
            d->integer = true;
            d->columns = 4;
            return true;
        case GL_BOOL:
            d->boolean = true;
            return true;
        case GL_BOOL_VEC2:
            d->boolean = true;
            d->columns = 2;
            return true;
        case GL_BOOL_VEC3:
            d->boolean = true;
            d->columns = 3;
            return true;
        case GL_BOOL_VEC4:
            d->boolean = true;
            d->columns = 4;
            return true;
        case GL_FLOAT_MAT2:
            d->columns = d->rows = 2;
            return true;
        case GL_FLOAT_MAT3:
            d->columns = d->rows = 3;
            return true;
        case GL_FLOAT_MAT4:
            d->columns = d->rows = 4;
            return true;
        case GL_SAMPLER_2D:
        case GL_SAMPLER_CUBE:
            d->sampler = true;
            return true;
        default:
            return false;
    }
}

HRESULT GlDevice::CreateShaderProgram(const char* vertexText, const char* fragmentText,
                                      const char* const* attributes, uint32_t attributeCount,
                                      GpuShaderProgram** out) {
    *out = nullptr;
    if (!vertexText || !fragmentText) return D3DERR_INVALIDCALL;
    MakeCurrent();
    auto* program = new GlShaderProgram(this);
    *out = program;
    GLuint vertex =
        CompileStage(GL_VERTEX_SHADER, FramedSource(vertexText, true, m_esShaders), &program->log);
    if (!vertex) return D3D_OK;
    GLuint fragment =
        CompileStage(GL_FRAGMENT_SHADER, FramedSource(fragmentText, false, m_esShaders), &program->log);
    if (!fragment) {
        glDeleteShader(vertex);
        program->failedStage = 1;
        return D3D_OK;
    }
    GLuint name = glCreateProgram();
    glAttachShader(name, vertex);
    glAttachShader(name, fragment);
    static const char* const kStandardNames[] = {
        "in_Position",    "in_Normal",       "in_Colour",  "in_Color",         "in_TextureCoord",
        "in_TexCoord",    "in_Colour1",      "in_Color1",  "in_TextureCoord1", "in_TexCoord1",
        "in_BlendWeight", "in_BlendIndices", "in_Tangent", "in_BiNormal"};
    auto bind = [name](const char* attribute) {
        const int32_t location = Gpu_AttributeLocation(attribute);
        if (location >= 0) glBindAttribLocation(name, static_cast<GLuint>(location), attribute);
    };
    for (const char* attribute : kStandardNames) bind(attribute);
    for (uint32_t i = 0; i < attributeCount; ++i) bind(attributes[i]);
    glLinkProgram(name);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0, length = 0;
    glGetProgramiv(name, GL_LINK_STATUS, &ok);
    if (!ok) {
        glGetProgramiv(name, GL_INFO_LOG_LENGTH, &length);
        program->log.assign(static_cast<size_t>(std::max(length, 1)), '\0');
        glGetProgramInfoLog(name, length, nullptr, program->log.data());
        program->log.resize(std::strlen(program->log.c_str()));
        program->failedStage = 1;
        glDeleteProgram(name);
        return D3D_OK;
    }
    program->name = name;
    program->pixelCentre = glGetUniformLocation(name, "hvd_PixelCentre");
    program->alphaFunc = glGetUniformLocation(name, "hvd_AlphaFunc");
    program->alphaRef = glGetUniformLocation(name, "hvd_AlphaRef");
    UseProgram(name);
    GLint count = 0;
    glGetProgramiv(name, GL_ACTIVE_UNIFORMS, &count);
    uint32_t nextRegister = 0, nextStage = 1;
    for (GLint i = 0; i < count; ++i) {
        char text[512];
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(name, static_cast<GLuint>(i), sizeof text, nullptr, &size, &type, text);
        std::string uniformName = text;
        if (uniformName.starts_with("hvd_") || uniformName.starts_with("gl_")) continue;
        if (uniformName.ends_with("[0]")) uniformName.resize(uniformName.size() - 3);
        GpuUniformDesc desc{};
        if (!DescribeUniformType(type, &desc)) continue;
        desc.name = uniformName;
        desc.elements = static_cast<uint32_t>(std::max(size, 1));
        desc.registerCount = desc.rows * desc.elements;
        const GLint location = glGetUniformLocation(name, uniformName.c_str());
        if (desc.sampler) {
            // The base texture is always on stage 0, where the batch binds its texture.
            desc.registerIndex = uniformName == "hv_BaseTexture" ? 0 : std::min(nextStage++, kStages - 1);
            glUniform1i(location, static_cast<GLint>(desc.registerIndex));
        } else {
            desc.registerIndex = nextRegister;
            nextRegister += desc.registerCount;
        }
        program->uniforms.push_back(desc);
        program->slots.push_back({location, type});
    }
    m_dirty |= kDirtyStage;
    return D3D_OK;
}

HRESULT GlDevice::SetShaderProgram(GpuShaderProgram* program) {
    auto* gl = static_cast<GlShaderProgram*>(program);
    if (gl && !gl->Linked()) return D3DERR_INVALIDCALL;
    m_userProgram = gl;
    m_dirty |= kDirtyStage;
    return D3D_OK;
}

void GlDevice::SendUserUniforms() {
    const GlShaderProgram* p = m_userProgram;
    if (p->pixelCentre >= 0) glUniform2fv(p->pixelCentre, 1, m_values.pixelCentre);
    const bool test = m_renderStates[D3DRS_ALPHATESTENABLE] != 0;
    if (p->alphaFunc >= 0)
        glUniform1i(p->alphaFunc, test ? m_values.alphaFunc : static_cast<GLint>(D3DCMP_ALWAYS));
    if (p->alphaRef >= 0) glUniform1f(p->alphaRef, m_values.alphaRef);
}

namespace {
// Registers of four values packed into what a uniform of that shape reads: the first
// `columns` values of each register, `rows` registers an element.
template <typename T>
uint32_t PackRegisters(const GpuUniformDesc& d, const T* registers, uint32_t registerCount,
                       std::vector<T>* out) {
    const uint32_t elements = std::min(d.elements, registerCount / d.rows);
    out->clear();
    for (uint32_t r = 0; r < elements * d.rows; ++r)
        for (uint32_t c = 0; c < d.columns; ++c) out->push_back(registers[r * 4 + c]);
    return elements;
}
}  // namespace

HRESULT GlDevice::SetShaderConstantF(uint32_t uniform, const float* registers, uint32_t registerCount) {
    GlShaderProgram* p = m_userProgram;
    if (!p || uniform >= p->uniforms.size() || !registers) return D3DERR_INVALIDCALL;
    const GpuUniformDesc& d = p->uniforms[uniform];
    if (d.sampler) return D3DERR_INVALIDCALL;
    if (d.integer) {
        std::vector<int32_t> converted(size_t{registerCount} * 4);
        for (size_t i = 0; i < converted.size(); ++i) converted[i] = static_cast<int32_t>(registers[i]);
        return SetShaderConstantI(uniform, converted.data(), registerCount);
    }
    MakeCurrent();
    UseProgram(p->name);
    std::vector<float> values;
    const auto n = static_cast<GLsizei>(PackRegisters(d, registers, registerCount, &values));
    if (n == 0) return D3D_OK;
    const GLint at = p->slots[uniform].location;
    if (d.rows == 4)
        glUniformMatrix4fv(at, n, GL_FALSE, values.data());
    else if (d.rows == 3)
        glUniformMatrix3fv(at, n, GL_FALSE, values.data());
    else if (d.rows == 2)
        glUniformMatrix2fv(at, n, GL_FALSE, values.data());
    else if (d.columns == 1)
        glUniform1fv(at, n, values.data());
    else if (d.columns == 2)
        glUniform2fv(at, n, values.data());
    else if (d.columns == 3)
        glUniform3fv(at, n, values.data());
    else
        glUniform4fv(at, n, values.data());
    return D3D_OK;
}

HRESULT GlDevice::SetShaderConstantI(uint32_t uniform, const int32_t* registers, uint32_t registerCount) {
    GlShaderProgram* p = m_userProgram;
    if (!p || uniform >= p->uniforms.size() || !registers) return D3DERR_INVALIDCALL;
    const GpuUniformDesc& d = p->uniforms[uniform];
    if (d.sampler) return D3DERR_INVALIDCALL;
    if (!d.integer && !d.boolean) {
        std::vector<float> converted(size_t{registerCount} * 4);
        for (size_t i = 0; i < converted.size(); ++i) converted[i] = static_cast<float>(registers[i]);
        return SetShaderConstantF(uniform, converted.data(), registerCount);
    }
    MakeCurrent();
    UseProgram(p->name);
    std::vector<int32_t> values;
    const auto n = static_cast<GLsizei>(PackRegisters(d, registers, registerCount, &values));
    if (n == 0) return D3D_OK;
    const GLint at = p->slots[uniform].location;
    if (d.columns == 1)
        glUniform1iv(at, n, values.data());
    else if (d.columns == 2)
        glUniform2iv(at, n, values.data());
    else if (d.columns == 3)
        glUniform3iv(at, n, values.data());
    else
        glUniform4iv(at, n, values.data());
    return D3D_OK;
}

}  // namespace

HRESULT GlDevice_Create(void* window, GpuPresentParameters* params, Device** device) {
    *device = nullptr;
    std::unique_ptr<GlContext> context =
        window ? GlContext_CreateForWindow(window) : GlContext_CreateHeadless();
    if (!context) return D3DERR_NOTAVAILABLE;
    auto* gl = new GlDevice(std::move(context));
    const HRESULT result = gl->Initialise(params);
    if (FAILED(result)) {
        gl->Release();
        return result;
    }
    *device = gl;
    return D3D_OK;
}
