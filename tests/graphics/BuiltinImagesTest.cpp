// The built-in image table our generator makes, and the DDS reader it goes through.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "assets/ImageDecode.h"
#include "core/MemoryManager.h"
#include "graphics/BuiltinImages.h"
#include "graphics/DDS_Main.h"

namespace {

uint32_t Word(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

struct Image {
    const uint8_t* bytes;
    uint32_t size;
};

Image TableImage(int index) {
    const uint8_t* table = BuiltinImages_Table();
    return {table + Word(table + 8 + 8 * index), Word(table + 4 + 8 * index)};
}

std::vector<uint32_t> DecodeDds(Image image, int32_t* width, int32_t* height) {
    uint32_t* pixels = DDS_Decode(image.bytes, image.size, width, height);
    if (!pixels) return {};
    std::vector<uint32_t> out(pixels, pixels + size_t(*width) * *height);
    MEM_FREE(pixels);
    return out;
}

TEST(BuiltinImages, TheTableHoldsSeventeenAlignedImagesInsideItself) {
    const uint8_t* table = BuiltinImages_Table();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(Word(table), 17u);
    uint32_t end = 4 + 8 * 17;
    for (int i = 0; i < 17; ++i) {
        const Image image = TableImage(i);
        const auto offset = static_cast<uint32_t>(image.bytes - table);
        EXPECT_EQ(offset % 128, 0u) << i;
        EXPECT_GE(offset, end) << i;
        end = offset + image.size;
        EXPECT_LE(end, BuiltinImages_TableSize()) << i;
        EXPECT_EQ(DDS_IsFile(image.bytes, image.size), i < 16) << i;
    }
}

TEST(BuiltinImages, EachImageAloneIsTheTablesCopy) {
    for (int i = 0; i < BUILTIN_IMAGE_COUNT; ++i) {
        uint32_t size = 0;
        const uint8_t* image = BuiltinImages_Image(i, &size);
        ASSERT_NE(image, nullptr) << i;
        EXPECT_EQ(BuiltinImages_Image(i, nullptr), image) << "made once: " << i;
        const Image inTable = TableImage(i);
        ASSERT_EQ(size, inTable.size) << i;
        EXPECT_EQ(std::memcmp(image, inTable.bytes, size), 0) << i;
    }
    for (int i : {-1, BUILTIN_IMAGE_COUNT}) {
        uint32_t size = 7;
        EXPECT_EQ(BuiltinImages_Image(i, &size), nullptr) << i;
        EXPECT_EQ(size, 0u) << i;
    }
}

TEST(BuiltinImages, WhiteAndParticleShapesAreWhiteOnTransparent) {
    int32_t width = 0, height = 0;
    for (uint32_t pixel : DecodeDds(TableImage(0), &width, &height)) ASSERT_EQ(pixel, 0xFFFFFFFFu);
    EXPECT_EQ(width, 64);
    std::vector<std::vector<uint32_t>> shapes;
    for (int i = 1; i <= 14; ++i) {
        std::vector<uint32_t> shape = DecodeDds(TableImage(i), &width, &height);
        ASSERT_EQ(width, 64) << i;
        ASSERT_EQ(height, 64) << i;
        int visible = 0;
        for (uint32_t pixel : shape) {
            EXPECT_EQ(pixel & 0xFFFFFF, 0xFFFFFFu) << i;
            visible += pixel >> 24 != 0;
        }
        EXPECT_GT(visible, 0) << i;
        EXPECT_LT(visible, 64 * 64) << i;
        EXPECT_EQ(shape[0] >> 24, 0u) << i;  // no shape fills its corners
        for (const auto& other : shapes) EXPECT_NE(shape, other) << i;
        shapes.push_back(std::move(shape));
    }
    EXPECT_EQ(shapes[1][32 * 64 + 32] >> 24, 255u);  // the disk is solid in the middle
}

TEST(BuiltinImages, FontPixelsLieInsideTheirGlyphRectanglesWithAGapAround) {
    int32_t width = 0, height = 0;
    const std::vector<uint32_t> font = DecodeDds(TableImage(BUILTIN_IMAGE_FONT), &width, &height);
    ASSERT_EQ(width, 256);
    ASSERT_EQ(height, 128);
    std::vector<int> owner(256 * 128, -1);
    int tallest = 0;
    for (int i = 0; i < BUILTIN_FONT_GLYPHS; ++i) {
        const BuiltinGlyph& g = BuiltinFont_Glyphs[i];
        tallest = std::max<int>(tallest, g.height);
        ASSERT_LE(g.x + g.width + 1, 256) << i;
        ASSERT_LE(g.y + g.height + 1, 128) << i;
        // The rectangle grown by one texel (the default font's half-texel margin reads into it)
        // belongs to this glyph alone.
        for (int y = g.y - 1; y <= g.y + g.height; ++y) {
            for (int x = g.x - 1; x <= g.x + g.width; ++x) {
                ASSERT_EQ(owner[y * 256 + x], -1) << "glyphs " << i << " and " << owner[y * 256 + x];
                owner[y * 256 + x] = i;
            }
        }
    }
    EXPECT_EQ(tallest, 15);
    EXPECT_EQ(BuiltinFont_Glyphs['@' - 32].height, 13);
    std::vector<int> inked(BUILTIN_FONT_GLYPHS, 0);
    for (int p = 0; p < 256 * 128; ++p) {
        if (font[p] >> 24 == 0) continue;
        const int glyph = owner[p];
        ASSERT_GE(glyph, 0) << "ink outside every glyph at " << p % 256 << "," << p / 256;
        const BuiltinGlyph& g = BuiltinFont_Glyphs[glyph];
        const int x = p % 256, y = p / 256;
        EXPECT_TRUE(x >= g.x && x < g.x + g.width && y >= g.y && y < g.y + g.height) << glyph;
        ++inked[glyph];
    }
    EXPECT_EQ(inked[0], 0);  // the space
    for (int i = 1; i < BUILTIN_FONT_GLYPHS; ++i) EXPECT_GT(inked[i], 0) << "character " << i + 32;
}

TEST(BuiltinImages, TheSplashIsA1024SquarePalettePng) {
    const Image splash = TableImage(BUILTIN_IMAGE_SPLASH);
    ASSERT_GE(splash.size, 33u);
    EXPECT_EQ(std::memcmp(splash.bytes, "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(splash.bytes[25], 3);  // colour type: palette
    int32_t width = 0, height = 0;
    uint8_t* pixels = PNG_Decode(splash.bytes, int32_t(splash.size), &width, &height);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 1024);
    PNG_Release();
}

// ---- DDS -----------------------------------------------------------------------------------

std::vector<uint8_t> DdsHeader(uint32_t width, uint32_t height, uint32_t formatFlags, const char* fourCC,
                               uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    std::vector<uint8_t> out(128, 0);
    auto put = [&out](size_t at, uint32_t v) { std::memcpy(&out[at], &v, 4); };
    std::memcpy(out.data(), "DDS ", 4);
    put(4, 124);
    put(12, height);
    put(16, width);
    put(76, 32);
    put(80, formatFlags);
    if (fourCC) std::memcpy(&out[84], fourCC, 4);
    put(88, bits);
    put(92, r);
    put(96, g);
    put(100, b);
    put(104, a);
    return out;
}

std::vector<uint32_t> Decode(const std::vector<uint8_t>& file, int32_t* width = nullptr) {
    int32_t w = 0, h = 0;
    uint32_t* pixels = DDS_Decode(file.data(), uint32_t(file.size()), &w, &h);
    if (!pixels) return {};
    if (width) *width = w;
    std::vector<uint32_t> out(pixels, pixels + size_t(w) * h);
    MEM_FREE(pixels);
    return out;
}

TEST(DdsReader, BlockFormatsDecodeTheirPalettesAndAlpha) {
    std::vector<uint8_t> dxt1 = DdsHeader(4, 4, 0x4, "DXT1", 0, 0, 0, 0, 0);
    dxt1.insert(dxt1.end(), {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0});  // red, blue; row 0 uses 0,1,2,3
    const std::vector<uint32_t> opaque = Decode(dxt1);
    ASSERT_EQ(opaque.size(), 16u);
    EXPECT_EQ(opaque[0], 0xFFFF0000u);
    EXPECT_EQ(opaque[1], 0xFF0000FFu);
    EXPECT_EQ(opaque[2], 0xFFAA0055u);
    EXPECT_EQ(opaque[3], 0xFF5500AAu);

    std::vector<uint8_t> punch = DdsHeader(4, 4, 0x4, "DXT1", 0, 0, 0, 0, 0);
    punch.insert(punch.end(), {0x1F, 0x00, 0x00, 0xF8, 0xC0, 0, 0, 0});  // c0 <= c1: index 3 is clear
    EXPECT_EQ(Decode(punch)[3], 0u);

    std::vector<uint8_t> dxt5 = DdsHeader(2, 1, 0x4, "DXT5", 0, 0, 0, 0, 0);  // a part block
    dxt5.insert(dxt5.end(), {255, 0, 0x88, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
    int32_t width = 0;
    const std::vector<uint32_t> alpha = Decode(dxt5, &width);
    ASSERT_EQ(alpha.size(), 2u);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(alpha[0], 0xFFFFFFFFu);
    EXPECT_EQ(alpha[1], 0x00FFFFFFu);
}

TEST(DdsReader, MaskedPixelsAndBrokenFiles) {
    std::vector<uint8_t> rgb = DdsHeader(2, 1, 0x40, nullptr, 24, 0xFF, 0xFF00, 0xFF0000, 0);
    rgb.insert(rgb.end(), {1, 2, 3, 4, 5, 6});  // red in the low byte
    EXPECT_EQ(Decode(rgb), (std::vector<uint32_t>{0xFF010203u, 0xFF040506u}));

    std::vector<uint8_t> short16 = DdsHeader(1, 1, 0x41, nullptr, 16, 0xF00, 0xF0, 0xF, 0xF000);
    short16.insert(short16.end(), {0x4F, 0x8C});  // a 8, r C, g 4, b F
    EXPECT_EQ(Decode(short16), std::vector<uint32_t>{0x88CC44FFu});

    std::vector<uint8_t> cut = rgb;
    cut.pop_back();
    EXPECT_TRUE(Decode(cut).empty());
    std::vector<uint8_t> huge = DdsHeader(20000, 1, 0x40, nullptr, 32, 0xFF, 0xFF00, 0xFF0000, 0);
    int32_t w, h;
    EXPECT_FALSE(DDS_ReadSize(huge.data(), uint32_t(huge.size()), &w, &h));
    std::vector<uint8_t> unknown = DdsHeader(4, 4, 0x4, "ATI2", 0, 0, 0, 0, 0);
    unknown.resize(unknown.size() + 64);
    EXPECT_TRUE(Decode(unknown).empty());
    EXPECT_FALSE(DDS_ReadSize(rgb.data(), 100, &w, &h));  // shorter than the header
}

}  // namespace
