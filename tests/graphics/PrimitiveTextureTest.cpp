// What the primitives and the pixel functions do with the texture table: free-form
// primitives take texture ids and page-entry handles (looked up, never followed), and texture
// pixels are read, written and copied on the real GL device in both texture pools.
#include <string>
#include <vector>

#include "TextureTestSupport.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Primitive.h"

namespace {

std::vector<std::string> g_reports;

// Pixel (x, y) of the test pattern: its own coordinates in red and green, opaque.
uint32_t Pattern(int32_t x, int32_t y) {
    return 0xFF000000u | uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | 0x11;
}

std::vector<uint32_t> PatternPixels(int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) pixels[size_t(y) * width + x] = Pattern(x, y);
    }
    return pixels;
}

int32_t MakeTexture(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    return GR_Texture_Create_From_Pixels(width, height, pixels.data(), uint32_t(pixels.size() * 4));
}

class FreeFormTextureTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        g_reports.clear();
        g_GRHooks.errorReport = [](const char* text, bool fatal) {
            g_reports.push_back(text + std::string(fatal ? " (fatal)" : ""));
        };
        GR_Draw_Set_Alpha(1.0f);
        GR_Draw_Set_Colour(0xFFFFFF);
        OpenInFrame();
    }
};

TEST_F(FreeFormTextureTest, PageHandlesMapCoordinatesOntoTheirPageAndUnknownValuesAreIllegal) {
    const int32_t id = MakeTexture(256, 128, PatternPixels(256, 128));
    ASSERT_TRUE(GR_Texture_Exists(id));
    TexturePageEntry entry = {64, 32, 16, 8, 0, 0, 16, 8, 16, 8, static_cast<int16_t>(id)};
    const int32_t handle = GR_Texture_Page_Handle(&entry);

    GR_Primitive_Begin(D3DPT_POINTLIST, handle);
    GR_Primitive_Vertex_Texture(1, 2, 0.5f, 1.0f);
    GR_Primitive_Vertex_Texture_Colour(3, 4, 0.0f, 0.0f, 0x0000FF, 0.5f);
    GR_Primitive_End();
    GR_Primitive_Begin(D3DPT_POINTLIST, id);
    GR_Primitive_Vertex_Texture(5, 6, 0.25f, 0.75f);
    GR_Primitive_End();
    Flushed();
    ASSERT_EQ(s_batches.size(), 1u);  // one texture and kind: one batch
    EXPECT_EQ(s_batches[0].texture, GR_Texture_Get(id));
    ASSERT_EQ(s_batches[0].vertices.size(), 3u);
    EXPECT_FLOAT_EQ(s_batches[0].vertices[0].u, (16 * 0.5f + 64) / 256);
    EXPECT_FLOAT_EQ(s_batches[0].vertices[0].v, (8 * 1.0f + 32) / 128);
    EXPECT_FLOAT_EQ(s_batches[0].vertices[1].u, 64.0f / 256);
    EXPECT_EQ(s_batches[0].vertices[1].colour, 0x7FFF0000u);
    EXPECT_FLOAT_EQ(s_batches[0].vertices[2].u, 0.25f);  // a texture id takes coordinates as given
    EXPECT_TRUE(g_reports.empty());

    // Unknown handles, numbers that are neither ids nor handles, and an entry whose texture is gone.
    for (int32_t bad : {int32_t(GR_PAGE_HANDLE_TAG | 0xFFFF), 20000, id + 1})
        GR_Primitive_Begin(D3DPT_POINTLIST, bad);
    GR_Texture_Free(id);
    GR_Primitive_Begin(D3DPT_POINTLIST, handle);
    EXPECT_EQ(g_reports, std::vector<std::string>(4, "Illegal texture supplied. (fatal)"));
    GR_Texture_Page_Forget(&entry);
}

// ---- texture pixels on GL, in both pools ------------------------------------------------------

class TexturePixelsTest : public GlTextureTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        GlTextureTest::SetUp();
        // The plain interface keeps textures in the managed pool, the extended one in the default pool.
        const bool managed = GetParam();
        g_GRHooks.compositorAvailable = managed ? +[] { return false; } : +[] { return true; };
        Open(0, 64, 64);
        ASSERT_EQ(g_D3D.resourcePool, managed ? uint32_t{D3DPOOL_MANAGED} : uint32_t{D3DPOOL_DEFAULT});
    }

    static std::vector<uint32_t> Read(TextureRecord* record, int32_t x, int32_t y, int32_t width,
                                      int32_t height) {
        uint32_t* block = GR_D3D_Read_Texture_Pixels(record, x, y, width, height);
        if (!block) return {};
        std::vector<uint32_t> pixels(block, block + size_t(width) * height);
        MEM_FREE(block);
        return pixels;
    }
};

TEST_P(TexturePixelsTest, ReadsKeepTheAskedSizeWithZerosBeyondTheTexture) {
    const int32_t id = MakeTexture(256, 256, PatternPixels(256, 256));
    TextureRecord* record = GR_Texture_Get(id);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ((record->flags & TEXREC_POOL_MANAGED) != 0, GetParam());

    const std::vector<uint32_t> big = Read(record, 0, 0, 300, 300);
    ASSERT_EQ(big.size(), 300u * 300u);
    EXPECT_EQ(big[20 * 300 + 10], Pattern(10, 20));
    EXPECT_EQ(big[255 * 300 + 255], Pattern(255, 255));
    EXPECT_EQ(big[5 * 300 + 256], 0u);
    EXPECT_EQ(big[299 * 300 + 3], 0u);

    const std::vector<uint32_t> corner = Read(record, -4, 250, 8, 10);
    ASSERT_EQ(corner.size(), 80u);
    EXPECT_EQ(corner[0], Pattern(0, 250));  // a negative start reads from 0
    EXPECT_EQ(corner[5 * 8 + 7], Pattern(7, 255));
    EXPECT_EQ(corner[6 * 8], 0u);
    EXPECT_TRUE(Read(record, 256, 0, 4, 4).empty());
    EXPECT_TRUE(Read(record, 0, 0, 0, 4).empty());
    GR_Texture_Free(id);
}

TEST_P(TexturePixelsTest, WritesAreCutToTheTexture) {
    const int32_t id = MakeTexture(64, 64, std::vector<uint32_t>(64 * 64, 0xFF000000u));
    TextureRecord* record = GR_Texture_Get(id);
    const std::vector<uint32_t> block = PatternPixels(4, 3);
    GR_D3D_Write_Texture_Pixels(block.data(), record, 62, 10, 4, 3);
    const std::vector<uint32_t> after = Read(record, 60, 9, 4, 5);
    ASSERT_EQ(after.size(), 20u);
    EXPECT_EQ(after[1 * 4 + 2], Pattern(0, 0));  // (62, 10)
    EXPECT_EQ(after[3 * 4 + 3], Pattern(1, 2));  // (63, 12)
    EXPECT_EQ(after[1 * 4 + 1], 0xFF000000u);
    EXPECT_EQ(after[4 * 4 + 2], 0xFF000000u);
    GR_Texture_Free(id);
}

TEST_P(TexturePixelsTest, CopiesMoveTheDestinationForANegativeSourceAndMayOverlapThemselves) {
    const int32_t source = MakeTexture(64, 64, PatternPixels(64, 64));
    const int32_t destination = MakeTexture(64, 64, std::vector<uint32_t>(64 * 64, 0xFF000000u));
    GR_D3D_Copy_Texture_Region(GR_Texture_Get(destination), 10, 10, GR_Texture_Get(source), -5, 0, 20, 20);
    std::vector<uint32_t> row = Read(GR_Texture_Get(destination), 0, 10, 64, 1);
    ASSERT_EQ(row.size(), 64u);
    EXPECT_EQ(row[14], 0xFF000000u);
    EXPECT_EQ(row[15], Pattern(0, 0));
    EXPECT_EQ(row[29], Pattern(14, 0));
    EXPECT_EQ(row[30], 0xFF000000u);

    // Within one texture: one pixel to the right, read before written.
    GR_D3D_Copy_Texture_Region(GR_Texture_Get(source), 1, 0, GR_Texture_Get(source), 0, 0, 10, 1);
    row = Read(GR_Texture_Get(source), 0, 0, 12, 1);
    ASSERT_EQ(row.size(), 12u);
    EXPECT_EQ(row[0], Pattern(0, 0));
    for (int32_t x = 1; x <= 10; ++x) EXPECT_EQ(row[x], Pattern(x - 1, 0)) << x;
    EXPECT_EQ(row[11], Pattern(11, 0));
    GR_Texture_Free(source);
    GR_Texture_Free(destination);
}

INSTANTIATE_TEST_SUITE_P(Pools, TexturePixelsTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Managed" : "Default";
                         });

}  // namespace
