// formpack's texture packer and "RAW " pages, and the whole road from packed images in a data
// file through the loader to pixels on the screen.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TextureTestSupport.h"
#include "formpack/FormWriter.h"
#include "formpack/Manifest.h"
#include "formpack/Png.h"
#include "formpack/TexturePacker.h"
#include "base/GameFile.h"

namespace {

// A w x h picture: opaque pixels whose colour encodes (seed, x, y), inside a clear border.
formpack::PackImage Picture(uint32_t w, uint32_t h, uint8_t seed, uint32_t border) {
    formpack::PackImage image{w, h, std::vector<uint8_t>(size_t(w) * h * 4, 0)};
    for (uint32_t y = border; y + border < h; ++y) {
        for (uint32_t x = border; x + border < w; ++x) {
            uint8_t* p = &image.rgba[(size_t(y) * w + x) * 4];
            p[0] = seed;
            p[1] = uint8_t(16 * x + 1);
            p[2] = uint8_t(16 * y + 1);
            p[3] = 255;
        }
    }
    return image;
}

uint32_t DeviceColour(const formpack::PackImage& image, uint32_t x, uint32_t y) {
    const uint8_t* p = &image.rgba[(size_t(y) * image.width + x) * 4];
    return uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

TEST(TexturePacker, EntriesKeepTheTrimAndNeverOverlapOnTheirPages) {
    std::vector<formpack::PackImage> images;
    for (uint8_t i = 0; i < 12; ++i) images.push_back(Picture(5 + i * 3, 20 - i, i, i % 3));
    images.push_back(formpack::PackImage{4, 4, std::vector<uint8_t>(64, 0)});  // nothing visible
    formpack::PackOptions options;
    options.pageSize = 64;
    formpack::PackResult result;
    std::string error;
    ASSERT_TRUE(formpack::PackTextures(images, options, 3, &result, &error)) << error;
    ASSERT_EQ(result.entries.size(), images.size());
    EXPECT_GT(result.pages.size(), 1u);
    for (size_t i = 0; i < images.size(); ++i) {
        const formpack::PageEntry& e = result.entries[i];
        const uint32_t border = i < 12 ? i % 3 : 0;
        EXPECT_EQ(e.boundW, int16_t(images[i].width));
        EXPECT_EQ(e.targetX, int16_t(border));
        EXPECT_EQ(e.targetW, i < 12 ? int16_t(images[i].width - 2 * border) : 1);
        EXPECT_EQ(e.sourceW, e.targetW);
        EXPECT_GE(e.texture, 3);
        EXPECT_GE(e.sourceX, 2);
        EXPECT_LE(e.sourceX + e.sourceW + 2, 64);
        for (size_t j = 0; j < i; ++j) {
            const formpack::PageEntry& o = result.entries[j];
            if (o.texture != e.texture) continue;
            const bool apart =
                e.sourceX + e.sourceW + 2 <= o.sourceX || o.sourceX + o.sourceW + 2 <= e.sourceX ||
                e.sourceY + e.sourceH + 2 <= o.sourceY || o.sourceY + o.sourceH + 2 <= e.sourceY;
            EXPECT_TRUE(apart) << "entries " << i << " and " << j;
        }
    }

    images.push_back(Picture(70, 4, 1, 0));
    EXPECT_FALSE(formpack::PackTextures(images, options, 0, &result, &error));
    EXPECT_NE(error.find("does not fit"), std::string::npos);
}

TEST(TexturePacker, RawBlobsCarryTheirHeaderAndPixels) {
    const std::vector<uint8_t> rgba = {0x10, 0x20, 0x30, 0x40, 0xF1, 0xE2, 0xD3, 0xC4};
    const std::vector<uint8_t> raw32 = formpack::EncodeRawTexture(2, 1, rgba);
    ASSERT_EQ(raw32.size(), 24u);
    EXPECT_EQ(std::string(raw32.begin(), raw32.begin() + 4), "RAW ");
    EXPECT_EQ(raw32[4], 2);
    EXPECT_EQ(raw32[12], 0);
    EXPECT_EQ(std::vector<uint8_t>(raw32.begin() + 16, raw32.end()), rgba);
    const std::vector<uint8_t> raw16 = formpack::EncodeRawTexture(2, 1, rgba, formpack::RawFormat::Rgba16);
    ASSERT_EQ(raw16.size(), 20u);
    EXPECT_EQ(raw16[12], 1);
    EXPECT_EQ(raw16[16] | raw16[17] << 8, 0x3214);  // blue, green, red, alpha from the top nibble
    EXPECT_TRUE(formpack::EncodeRawTexture(3, 1, rgba).empty());
}

class PackedGameTest : public GlTextureTest {
protected:
    void TearDown() override {
        GlTextureTest::TearDown();
        Form_Free();
        Form_ResetChunkReaders();
    }

    // Loads `file` and draws each entry at (entry index x 24 + 4, 4) on a black 80 x 32 screen.
    std::vector<uint32_t> LoadAndDraw(formpack::FormFile& file, size_t entries) {
        std::string error;
        std::vector<uint8_t> bytes = formpack::Build(file, &error);
        EXPECT_FALSE(bytes.empty()) << error;
        Open(0, 80, 32);
        Image_InstallTextureReader();
        EXPECT_TRUE(Form_SetData(bytes.data(), uint32_t(bytes.size())));
        EXPECT_TRUE(Form_FirstPass(Form_Base(), Form_Size()));
        EXPECT_TRUE(LoadGameData(Form_Base(), Form_Size())) << (Form_LoadError() ? Form_LoadError() : "");
        EXPECT_EQ(TPAG_Count(), entries);
        Start_Frame();
        GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
        GR_Texture_Set_Interpolation(false);
        for (uint32_t i = 0; i < TPAG_Count(); ++i) {
            auto* entry = reinterpret_cast<TexturePageEntry*>(TPAG_Entry(i));
            EXPECT_TRUE(GR_TPE_Draw(entry, float(i * 24 + 4), 4)) << i;
        }
        End_Frame(true);
        return ReadBackBuffer(g_D3D.device);
    }

    // Every pixel of the image's full frame drawn at (left, 4) shows the image (black where it
    // is clear), compared through the mask.
    static void ExpectImageAt(const std::vector<uint32_t>& screen, const formpack::PackImage& image,
                              uint32_t left, uint32_t mask = 0xFFFFFFFFu) {
        for (uint32_t y = 0; y < image.height; ++y) {
            for (uint32_t x = 0; x < image.width; ++x) {
                const uint32_t want = DeviceColour(image, x, y);
                const uint32_t got = screen[(4 + y) * 80 + left + x];
                ASSERT_EQ(got & mask, (want >> 24 ? want : 0xFF000000u) & mask) << "at " << x << "," << y;
            }
        }
    }
};

TEST_F(PackedGameTest, PackedRawAndPngPagesDrawTheirImagesExactly) {
    const std::vector<formpack::PackImage> images = {Picture(12, 9, 50, 2), Picture(5, 5, 90, 0),
                                                     Picture(20, 7, 130, 1)};
    formpack::FormFile file;
    formpack::PackOptions options;
    options.pageSize = 32;
    std::string error;
    ASSERT_EQ(formpack::AddPackedTextures(file, {images[0], images[1]}, options, &error), 0) << error;
    options.raw = true;
    ASSERT_EQ(formpack::AddPackedTextures(file, {images[2]}, options, &error), 2) << error;
    ASSERT_EQ(file.textures->size(), 2u);
    EXPECT_EQ(file.textures->at(0).blob[0], 0x89);  // PNG
    EXPECT_EQ(file.textures->at(1).blob[0], 'R');
    const std::vector<uint32_t> screen = LoadAndDraw(file, 3);
    for (uint32_t i = 0; i < 3; ++i) ExpectImageAt(screen, images[i], i * 24 + 4);
}

TEST_F(PackedGameTest, ManifestImagesArePackedBehindTheirPages) {
    const char* tmp = std::getenv("HV_TEST_TMP");
    const std::string folder = std::string(tmp ? tmp : "/tmp") + "/texturepack-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    const std::vector<formpack::PackImage> images = {Picture(9, 9, 10, 1), Picture(14, 6, 200, 0)};
    for (size_t i = 0; i < images.size(); ++i) {
        const std::vector<uint8_t> png =
            formpack::EncodePng(images[i].width, images[i].height, images[i].rgba);
        std::ofstream(folder + "/img" + std::to_string(i) + ".png", std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }
    const std::string manifest =
        "packer size=64 raw=16\n"
        "texture img1.png raw=32\n"
        "image img0.png\n"
        "page 0 0 14 6 0 0 14 6 14 6 0\n"
        "image img1.png\n";
    formpack::FormFile file;
    std::string error;
    ASSERT_TRUE(formpack::ParseManifest(manifest, folder, file, error)) << error;
    std::filesystem::remove_all(folder);
    ASSERT_EQ(file.textures->size(), 2u);
    ASSERT_EQ(file.pageEntries->size(), 3u);
    EXPECT_EQ(file.pageEntries->at(0).texture, 1);  // packed page after the listed one
    EXPECT_EQ(file.pageEntries->at(1).texture, 0);
    EXPECT_EQ(file.textures->at(1).blob[12], 1);  // 16-bit "RAW " page
    const std::vector<uint32_t> screen = LoadAndDraw(file, 3);
    // The listed 32-bit page is exact; the packed 16-bit one keeps four bits a channel.
    ExpectImageAt(screen, images[0], 4, 0xF0F0F0F0u);
    ExpectImageAt(screen, images[1], 28);
    ExpectImageAt(screen, images[1], 52, 0xF0F0F0F0u);
}

}  // namespace
