// The GL device against the conventions the layer above relies on: pixel centres, row
// order, colour byte order, winding under the flip, clears limited to the viewport, render
// targets and lazily uploaded vertex buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/GpuTestSupport.h"

namespace {

constexpr uint32_t kWidth = 32, kHeight = 24;
constexpr uint32_t kFvfColourUV = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

// Two triangles covering (x0, y0)-(x1, y1), u and v running 0..1 across them.
std::vector<Vertex> Quad(float x0, float y0, float x1, float y1, uint32_t colour) {
    return {{x0, y0, 0, colour, 0, 0}, {x1, y0, 0, colour, 1, 0}, {x0, y1, 0, colour, 0, 1},
            {x1, y0, 0, colour, 1, 0}, {x1, y1, 0, colour, 1, 1}, {x0, y1, 0, colour, 0, 1}};
}

class GlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = OpenHeadlessDevice(kWidth, kHeight);
        ASSERT_NE(device, nullptr) << "no GL 3.3 core context through EGL";
        float projection[16];
        Ortho2D(projection, kWidth, kHeight);
        device->SetTransform(D3DTS_PROJECTION, projection);
        device->SetFVF(kFvfColourUV);
        device->SetRenderState(D3DRS_ZENABLE, 0);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    void TearDown() override {
        if (device) device->Release();
    }

    void Draw(const std::vector<Vertex>& vertices, uint32_t kind = D3DPT_TRIANGLELIST) {
        const uint32_t count = static_cast<uint32_t>(vertices.size());
        const uint32_t primitives = kind == D3DPT_TRIANGLELIST ? count / 3 : count - 2;
        ASSERT_EQ(device->DrawPrimitiveUP(kind, primitives, vertices.data(), sizeof(Vertex)), D3D_OK);
    }

    uint32_t At(const std::vector<uint32_t>& pixels, uint32_t x, uint32_t y) {
        return pixels[y * kWidth + x];
    }

    // Pixels that are not `background`, as (x, y) pairs in row order.
    std::vector<std::pair<uint32_t, uint32_t>> Lit(const std::vector<uint32_t>& pixels,
                                                   uint32_t background = 0) {
        std::vector<std::pair<uint32_t, uint32_t>> lit;
        for (uint32_t y = 0; y < kHeight; ++y) {
            for (uint32_t x = 0; x < kWidth; ++x) {
                if (At(pixels, x, y) != background) lit.emplace_back(x, y);
            }
        }
        return lit;
    }

    Device* device = nullptr;
};

TEST_F(GlDeviceTest, QuadAtWholeCoordinatesCoversExactlyItsPixelsInVertexColourOrder) {
    Draw(Quad(10, 4, 12, 6, 0xFF112233u));
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    using P = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(Lit(pixels), (std::vector<P>{{10, 4}, {11, 4}, {10, 5}, {11, 5}}));
    EXPECT_EQ(At(pixels, 10, 4), 0xFF112233u);
}

TEST_F(GlDeviceTest, PointListLightsThePixelUnderEachPoint) {
    // With the half-pixel projection a point at (x + 0.5, y + 0.5) sits on pixel (x, y)'s centre.
    const std::vector<Vertex> points = {{3.5f, 2.5f, 0, 0xFF00FF00u, 0, 0},
                                        {20.5f, 10.5f, 0, 0xFF00FF00u, 0, 0}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 2, points.data(), sizeof(Vertex)), D3D_OK);
    using P = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(Lit(ReadBackBuffer(device)), (std::vector<P>{{3, 2}, {20, 10}}));
    EXPECT_EQ(device->DrawPrimitiveUP(9, 1, points.data(), sizeof(Vertex)), D3DERR_INVALIDCALL);
}

TEST_F(GlDeviceTest, ClearFillsOnlyTheViewportWhateverTheWriteMasks) {
    const GpuViewport viewport = {4, 2, 6, 5, 0.0f, 1.0f};
    device->SetViewport(&viewport);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    EXPECT_EQ(Lit(pixels).size(), 30u);
    EXPECT_EQ(At(pixels, 4, 2), 0xFF00FF00u);
    EXPECT_EQ(At(pixels, 9, 6), 0xFF00FF00u);
    EXPECT_EQ(At(pixels, 10, 6), 0u);
    EXPECT_EQ(At(pixels, 4, 7), 0u);
}

TEST_F(GlDeviceTest, TextureRowsAndTexelBytesKeepTheirOrder) {
    GpuTexture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    GpuLockedRect locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const uint32_t texels[2][2] = {{0xFF0000FFu, 0xFF00FF00u}, {0xFFFF0000u, 0x80FFFFFFu}};
    for (int row = 0; row < 2; ++row)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + row * locked.Pitch, texels[row], 8);
    texture->UnlockRect(0);
    device->SetTexture(0, texture);
    Draw(Quad(0, 0, 2, 2, 0xFFFFFFFFu));
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    EXPECT_EQ(At(pixels, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(At(pixels, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(At(pixels, 0, 1), 0xFFFF0000u);
    // Default stage 0 takes the texture's alpha.
    EXPECT_EQ(At(pixels, 1, 1), 0x80FFFFFFu);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(GlDeviceTest, StageZeroModulatesOrSelectsTheTexture) {
    GpuTexture* texture = nullptr;
    device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
    GpuLockedRect locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    *static_cast<uint32_t*>(locked.pBits) = 0xFF808080u;
    texture->UnlockRect(0);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    Draw(Quad(0, 0, 1, 1, 0xFF00FF00u));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Draw(Quad(1, 0, 2, 1, 0xFF00FF00u));
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    EXPECT_NEAR(static_cast<int>(At(pixels, 0, 0) >> 8 & 0xFF), 0x80, 1);
    EXPECT_EQ(At(pixels, 0, 0) & 0xFF00FF, 0u);
    EXPECT_EQ(At(pixels, 1, 0), 0xFF808080u);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(GlDeviceTest, CullingFollowsTheWindingSeenOnScreen) {
    // Clockwise on a screen whose y grows downwards.
    const std::vector<Vertex> clockwise = {
        {2, 2, 0, 0xFFFFFFFFu, 0, 0}, {12, 2, 0, 0xFFFFFFFFu, 0, 0}, {2, 12, 0, 0xFFFFFFFFu, 0, 0}};
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    Draw(clockwise);
    EXPECT_TRUE(Lit(ReadBackBuffer(device)).empty());
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    Draw(clockwise);
    EXPECT_FALSE(Lit(ReadBackBuffer(device)).empty());
}

TEST_F(GlDeviceTest, AlphaTestDiscardsAfterShading) {
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);  // white texture x vertex alpha
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    Draw(Quad(0, 0, 1, 1, 0x80FFFFFFu));
    Draw(Quad(1, 0, 2, 1, 0x81FFFFFFu));
    using P = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(Lit(ReadBackBuffer(device)), (std::vector<P>{{1, 0}}));
}

TEST_F(GlDeviceTest, FlatShadingTakesTheFirstVertexColour) {
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    Draw({{0, 0, 0, 0xFFFF0000u, 0, 0}, {16, 0, 0, 0xFF00FF00u, 0, 0}, {0, 16, 0, 0xFF0000FFu, 0, 0}});
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    EXPECT_EQ(At(pixels, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(At(pixels, 12, 2), 0xFFFF0000u);
    EXPECT_EQ(At(pixels, 2, 12), 0xFFFF0000u);
}

TEST_F(GlDeviceTest, LinearTableFogBlendsTowardsTheFogColourWithDepth) {
    auto bits = [](float value) {
        uint32_t b;
        std::memcpy(&b, &value, sizeof b);
        return b;
    };
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_FOGCOLOR, 0xFFFF0000u);
    device->SetRenderState(D3DRS_FOGSTART, bits(0.0f));
    device->SetRenderState(D3DRS_FOGEND, bits(1.0f));
    std::vector<Vertex> near = Quad(0, 0, 2, 2, 0xFFFFFFFFu), far = Quad(4, 0, 6, 2, 0xFFFFFFFFu);
    for (Vertex& v : near) v.z = 0.25f;
    for (Vertex& v : far) v.z = 0.75f;
    Draw(near);
    Draw(far);
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    struct Case {
        uint32_t x, fogged;
    };
    for (const Case& c : {Case{1, 0xFFFFBFBFu}, Case{5, 0xFFFF4040u}}) {
        for (int shift : {0, 8, 16, 24}) {
            EXPECT_NEAR(static_cast<int>(At(pixels, c.x, 1) >> shift & 0xFF),
                        static_cast<int>(c.fogged >> shift & 0xFF), 1)
                << c.x << " byte " << shift / 8;
        }
    }
}

TEST_F(GlDeviceTest, AdditiveBlendAddsColourAndSaturatesAlpha) {
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF404040u, 1.0f, 0), D3D_OK);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Draw(Quad(0, 0, 4, 4, 0xFF808080u));
    const uint32_t pixel = ReadBackBuffer(device)[0];
    EXPECT_EQ(pixel >> 24, 0xFFu);
    for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>(pixel >> shift & 0xFF), 0xC0, 1);
}

TEST_F(GlDeviceTest, TextureRenderTargetKeepsTopRowOnTop) {
    GpuTexture* target = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target),
        D3D_OK);
    GpuSurface* level = nullptr;
    target->GetSurfaceLevel(0, &level);
    GpuSurface* back = nullptr;
    device->GetBackBuffer(&back);
    ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);
    GpuViewport viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 4u);
    float projection[16];
    Ortho2D(projection, 4, 4);
    device->SetTransform(D3DTS_PROJECTION, projection);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    Draw(Quad(0, 0, 4, 1, 0xFFFF0000u));  // the top row red

    // Read through the surface, then draw the texture onto the back buffer.
    const std::vector<uint32_t> texels = ReadSurface(level);
    EXPECT_EQ(texels[0], 0xFFFF0000u);
    EXPECT_EQ(texels[4], 0xFF0000FFu);
    device->SetRenderTarget(0, back);
    Ortho2D(projection, kWidth, kHeight);
    device->SetTransform(D3DTS_PROJECTION, projection);
    device->SetTexture(0, target);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    EXPECT_EQ(At(pixels, 2, 0), 0xFFFF0000u);
    EXPECT_EQ(At(pixels, 2, 3), 0xFF0000FFu);
    device->SetTexture(0, nullptr);
    level->Release();
    back->Release();
    target->Release();
}

// Source-alpha blending of an opaque source may be skipped; every source that is not opaque
// (its texel, its vertex colour, a texel the GPU wrote, a border it samples) still blends.
TEST_F(GlDeviceTest, SourceAlphaBlendingStillBlendsEverySourceThatIsNotOpaque) {
    struct Case {
        const char* what;
        uint32_t texel, vertex;
        bool gpuWritten, border, blends;
    } cases[] = {
        {"opaque texel and vertex", 0xFFFF0000u, 0xFFFFFFFFu, false, false, false},
        {"half-transparent texel", 0x80FF0000u, 0xFFFFFFFFu, false, false, true},
        {"half-transparent vertex", 0xFFFF0000u, 0x80FFFFFFu, false, false, true},
        {"texel the GPU wrote", 0x80FF0000u, 0xFFFFFFFFu, true, false, true},
        {"opaque texels sampled past a transparent border", 0xFFFF0000u, 0xFFFFFFFFu, false, true, true},
    };
    for (const Case& c : cases) {
        GpuTexture* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(1, 1, 1, c.gpuWritten ? D3DUSAGE_RENDERTARGET : 0, D3DFMT_A8R8G8B8,
                                        c.gpuWritten ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, &texture),
                  D3D_OK);
        if (c.gpuWritten) {
            // Opaque in the CPU's copy first, then cleared on the GPU to the case's texel.
            GpuLockedRect locked{};
            ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
            *static_cast<uint32_t*>(locked.pBits) = 0xFFFF0000u;
            texture->UnlockRect(0);
            GpuSurface* level = nullptr;
            GpuSurface* back = nullptr;
            texture->GetSurfaceLevel(0, &level);
            device->GetBackBuffer(&back);
            device->SetRenderTarget(0, level);
            device->Clear(0, nullptr, D3DCLEAR_TARGET, c.texel, 1.0f, 0);
            device->SetRenderTarget(0, back);
            float projection[16];
            Ortho2D(projection, kWidth, kHeight);
            device->SetTransform(D3DTS_PROJECTION, projection);
            level->Release();
            back->Release();
        } else {
            GpuLockedRect locked{};
            ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
            *static_cast<uint32_t*>(locked.pBits) = c.texel;
            texture->UnlockRect(0);
        }
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);  // texel x vertex alpha
        device->SetTexture(0, texture);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, c.border ? D3DTADDRESS_BORDER : D3DTADDRESS_WRAP);
        // The border case samples its left half outside the texture.
        std::vector<Vertex> quad = Quad(0, 0, 2, 2, c.vertex);
        if (c.border)
            for (Vertex& v : quad) v.u = v.u * 2 - 1;
        Draw(quad);
        const std::vector<uint32_t> pixels = ReadBackBuffer(device);
        const uint32_t pixel = At(pixels, 0, 0);
        if (c.blends) {
            EXPECT_NE(pixel & 0xFF, 0u) << c.what << ": the blue below shows through";
        } else {
            EXPECT_EQ(pixel, 0xFFFF0000u) << c.what;
        }
        EXPECT_EQ(At(pixels, 1, 1) >> 16 & 0xFF, c.border ? 0xFFu : (pixel >> 16 & 0xFF)) << c.what;
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        device->SetTexture(0, nullptr);
        texture->Release();
    }
}

TEST_F(GlDeviceTest, VertexBufferRingDrawsWhatEachLockWrote) {
    GpuVertexBuffer* buffer = nullptr;
    const uint32_t quadBytes = 6 * sizeof(Vertex);
    ASSERT_EQ(
        device->CreateVertexBuffer(quadBytes * 4, D3DUSAGE_DYNAMIC, kFvfColourUV, D3DPOOL_SYSTEMMEM, &buffer),
        D3D_OK);
    auto writeAndDraw = [&](uint32_t offset, uint32_t flags, const std::vector<Vertex>& quad) {
        void* memory = nullptr;
        // Locked to the end, as the batch locks its ring; only the drawn part is sent.
        ASSERT_EQ(buffer->Lock(offset, 0, &memory, flags), D3D_OK);
        std::memcpy(memory, quad.data(), quadBytes);
        buffer->Unlock();
        device->SetStreamSource(0, buffer, offset, sizeof(Vertex));
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    };
    writeAndDraw(0, D3DLOCK_DISCARD, Quad(0, 0, 2, 2, 0xFFFF0000u));
    writeAndDraw(quadBytes, D3DLOCK_NOOVERWRITE, Quad(4, 0, 6, 2, 0xFF00FF00u));
    writeAndDraw(0, D3DLOCK_DISCARD, Quad(8, 0, 10, 2, 0xFF0000FFu));
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    EXPECT_EQ(At(pixels, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(At(pixels, 5, 1), 0xFF00FF00u);
    EXPECT_EQ(At(pixels, 9, 1), 0xFF0000FFu);
    EXPECT_EQ(Lit(pixels).size(), 12u);
    device->SetStreamSource(0, nullptr, 0, 0);
    buffer->Release();
}

// More vertices in a frame than the device hands the driver at once: the parts drawn before
// each flush keep the bytes they were drawn from while the ring is rewritten after it.
TEST_F(GlDeviceTest, AFrameFlushedInPartsDrawsEveryPartFromItsOwnBytes) {
    constexpr uint32_t kRingQuads = 1000, kQuads = 3000, kPixels = kWidth * kHeight;
    const uint32_t quadBytes = 6 * sizeof(Vertex);
    GpuVertexBuffer* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(quadBytes * kRingQuads, D3DUSAGE_DYNAMIC, kFvfColourUV,
                                         D3DPOOL_SYSTEMMEM, &buffer),
              D3D_OK);
    auto colourOf = [](uint32_t i) { return 0xFF000000u | (i * 2654435761u >> 8); };
    for (uint32_t i = 0; i < kQuads; ++i) {
        const uint32_t slot = i % kRingQuads, offset = slot * quadBytes;
        const float x = static_cast<float>(i % kPixels % kWidth),
                    y = static_cast<float>(i % kPixels / kWidth);
        const std::vector<Vertex> quad = Quad(x, y, x + 1, y + 1, colourOf(i));
        void* memory = nullptr;
        ASSERT_EQ(buffer->Lock(offset, 0, &memory, slot == 0 ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE),
                  D3D_OK);
        std::memcpy(memory, quad.data(), quadBytes);
        buffer->Unlock();
        device->SetStreamSource(0, buffer, offset, sizeof(Vertex));
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    }
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    for (uint32_t p = 0; p < kPixels; ++p) {
        uint32_t last = p;
        while (last + kPixels < kQuads) last += kPixels;
        ASSERT_EQ(pixels[p], colourOf(last)) << "pixel " << p;
    }
    device->SetStreamSource(0, nullptr, 0, 0);
    buffer->Release();
}

TEST_F(GlDeviceTest, MultisampledBackBufferResolvesOnCopy) {
    if (FAILED(device->CheckDeviceMultiSampleType(4))) GTEST_SKIP() << "no 4x multisampling";
    GpuPresentParameters params;
    params.BackBufferWidth = kWidth;
    params.BackBufferHeight = kHeight;
    params.MultiSampleType = 4;
    ASSERT_EQ(device->Reset(&params), D3D_OK);
    float projection[16];
    Ortho2D(projection, kWidth, kHeight);
    device->SetTransform(D3DTS_PROJECTION, projection);
    device->SetFVF(kFvfColourUV);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    Draw(Quad(2, 2, 6, 6, 0xFFFFFFFFu));
    const std::vector<uint32_t> pixels = ReadBackBuffer(device);
    EXPECT_EQ(At(pixels, 3, 3), 0xFFFFFFFFu);
    EXPECT_EQ(At(pixels, 8, 8), 0u);
}

TEST_F(GlDeviceTest, ResetRestoresDefaultStatesAndANewBackBuffer) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    GpuPresentParameters params;
    params.BackBufferWidth = 16;
    params.BackBufferHeight = 8;
    ASSERT_EQ(device->Reset(&params), D3D_OK);
    GpuSurface* back = nullptr;
    device->GetBackBuffer(&back);
    EXPECT_EQ(back->Width(), 16u);
    EXPECT_EQ(back->Height(), 8u);
    back->Release();
    GpuViewport viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 16u);
    params.MultiSampleType = 3;
    EXPECT_NE(device->Reset(&params), D3D_OK);
}

}  // namespace
