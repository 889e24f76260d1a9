// Fixtures for the texture tests: the texture module started on the trace device (with every
// flushed batch's vertices captured) or on the real GL device, and cleaned up after each test.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "assets/ImageDecode.h"
#include "core/RunSwitches.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"
#include "base/TextureChunks.h"
#include "support/GpuTestSupport.h"

struct TestVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

struct CapturedBatch {
    TextureRecord* texture;
    int32_t kind;
    std::vector<TestVertex> vertices;
};

class TextureTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        g_Switches.createTexturesOnDemand = false;
        GR_Texture_Startup();
        g_BatchMethod = 2;  // system memory, so flushed vertices can be read
        s_batches.clear();
        g_GRHooks.setTexture = CaptureAndBind;
    }

    void TearDown() override {
        GR_Texture_Free_All();
        GraphicsTest::TearDown();
        EXPECT_EQ(GR_Texture_Record_Count(), 0) << "a test left texture records behind";
        TXTR_SetTextureCreator(nullptr);
        GR_Texture_Set_Image_Reader(nullptr);
        GR_Texture_Set_Corner_Id(false);
        g_TextureHooks = {};
        g_Switches.createTexturesOnDemand = false;
        g_TextureGlobalScale = 1;
        s_batches.clear();
    }

    // The vertices of every batch flushed so far (the open one included).
    static std::vector<TestVertex> Flushed() {
        GraphicsFlush();
        std::vector<TestVertex> all;
        for (const CapturedBatch& b : s_batches) all.insert(all.end(), b.vertices.begin(), b.vertices.end());
        return all;
    }

    static void CaptureAndBind(int32_t stage, TextureRecord* record) {
        const auto* v = reinterpret_cast<const TestVertex*>(g_Batch.vertices);
        if (g_Batch.format == GR_FORMAT_XYZCUV)
            s_batches.push_back(
                {g_Batch.texture, g_Batch.kind, std::vector<TestVertex>(v, v + g_Batch.count)});
        GR_D3D_Set_Texture(stage, record);
    }

    static inline std::vector<CapturedBatch> s_batches;
};

// The same module on the real GL device, off-screen.
class GlTextureTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        UseSoftwareGl();
        GR_Hooks_Reset();  // the real device
        GR_Texture_Startup();
        g_BatchMethod = 0;
    }

    // Pixels of level 0 of a record's device texture, rows top first.
    static std::vector<uint32_t> ReadTexture(TextureRecord* record) {
        GpuSurface* surface = nullptr;
        if (!record || !record->texture || FAILED(record->texture->GetSurfaceLevel(0, &surface))) return {};
        std::vector<uint32_t> pixels = ReadSurface(surface);
        surface->Release();
        return pixels;
    }
};
