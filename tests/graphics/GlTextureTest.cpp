// Textures on the real GL device: what is uploaded is what is drawn, pixel for pixel.
#include <set>
#include <utility>
#include <vector>

#include "TextureTestSupport.h"
#include "graphics/Graphics_Clear.h"

namespace {

std::vector<uint8_t> RawBlob(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba) {
    const uint32_t header[4] = {0x20574152u, width, height, 0};
    std::vector<uint8_t> blob(16 + rgba.size());
    std::memcpy(blob.data(), header, 16);
    std::copy(rgba.begin(), rgba.end(), blob.begin() + 16);
    return blob;
}

class GlTexturesTest : public GlTextureTest {
protected:
    std::vector<uint32_t> BackBuffer() { return ReadBackBuffer(g_D3D.device); }
};

TEST_F(GlTexturesTest, RawPixelsReadBackInDeviceOrder) {
    Open(0, 16, 16);
    const std::vector<uint8_t> blob = RawBlob(2, 1, {10, 20, 30, 255, 200, 100, 50, 128});
    GR_ImageInfo info;
    TextureRecord* record = GR_Texture_Create_From_Blob(blob.data(), uint32_t(blob.size()), &info, 6);
    ASSERT_NE(record, nullptr);
    const std::vector<uint32_t> pixels = ReadTexture(record);
    ASSERT_EQ(pixels.size(), 2u);
    EXPECT_EQ(pixels[0], 0xFF0A141Eu);
    EXPECT_EQ(pixels[1], 0x80C86432u);
    GR_Texture_Free_Record(record);
}

// An 8 x 8 page whose right-bottom 4 x 4 holds distinct colours; the rest is red.
class PageDrawTest : public GlTexturesTest {
protected:
    static uint32_t Expected(int x, int y) {
        return 0xFF000000u | uint32_t(40 * x + 10) << 8 | uint32_t(40 * y + 10);
    }

    std::vector<uint8_t> Page() const {
        std::vector<uint8_t> rgba;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                if (x >= 4 && y >= 4) {
                    const uint32_t c = Expected(x - 4, y - 4);
                    rgba.insert(rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
                } else {
                    rgba.insert(rgba.end(), {255, 0, 0, 255});
                }
            }
        }
        return rgba;
    }
};

TEST_F(PageDrawTest, PageEntryWithATargetOffsetFillsExactlyItsPixels) {
    Open(0, 32, 32);
    const std::vector<uint8_t> blob = RawBlob(8, 8, Page());
    const int32_t id = GR_Texture_Create_From_Data(blob.data(), uint32_t(blob.size()), false, 0);
    ASSERT_TRUE(GR_Texture_Exists(id));
    TexturePageEntry entry = {4, 4, 4, 4, 1, 1, 4, 4, 6, 6, int16_t(id)};
    ASSERT_TRUE(Start_Frame());
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
    GR_Texture_Set_Interpolation(false);
    ASSERT_TRUE(GR_TPE_Draw(&entry, 10, 10));
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = BackBuffer();
    std::set<std::pair<int, int>> lit;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const uint32_t p = pixels[y * 32 + x];
            if (p == 0xFF000000u) continue;
            lit.emplace(x, y);
            if (x >= 11 && x <= 14 && y >= 11 && y <= 14) {
                EXPECT_EQ(p, Expected(x - 11, y - 11)) << x << "," << y;
            }
        }
    }
    std::set<std::pair<int, int>> want;
    for (int y = 11; y <= 14; ++y)
        for (int x = 11; x <= 14; ++x) want.emplace(x, y);
    EXPECT_EQ(lit, want);
}

TEST_F(GlTexturesTest, DrawingIntoATargetShowsWhenTheTargetIsDrawn) {
    Open(0, 32, 32);
    const int32_t id = GR_Texture_Create_Empty(8, 8, true, false, 4);
    TextureRecord* target = GR_Texture_Get(id);
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(Start_Frame());
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
    ASSERT_TRUE(GR_Target_Push());
    ASSERT_TRUE(GR_Target_Set(0, target));
    GR_D3D_Clear(0xFF00FF00u, 1.0f, 0, 7);  // green into the target
    ASSERT_TRUE(GR_Target_Pop());
    GR_Texture_Set_Interpolation(false);
    ASSERT_TRUE(GR_Texture_Draw(id, 4, 4));
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = BackBuffer();
    EXPECT_EQ(pixels[4 * 32 + 4], 0xFF00FF00u);
    EXPECT_EQ(pixels[11 * 32 + 11], 0xFF00FF00u);
    EXPECT_EQ(pixels[12 * 32 + 12], 0xFF000000u);
    EXPECT_EQ(pixels[3 * 32 + 3], 0xFF000000u);
}

TEST_F(GlTexturesTest, TheWhiteTextureIsMadeWithTheDevice) {
    Open(0, 16, 16);
    ASSERT_TRUE(GR_Texture_Exists(g_D3D.whiteTextureId));
    ASSERT_NE(g_D3D.whiteTexture, nullptr);
    EXPECT_EQ(ReadTexture(g_D3D.whiteTexture), std::vector<uint32_t>{0xFFFFFFFFu});
}

}  // namespace
