// Decoders against files made by Pillow (or by Python by hand, for layouts Pillow does not
// write), and the PNG writer against Pillow's reading of what it wrote.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "assets/ImageTestSupport.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"

using namespace imagetest;

namespace {

// Decodes with the decoder the first bytes call for ("BM" through the bitmap reader, read opaque).
Rgba DecodeAny(const std::vector<uint8_t>& file) {
    const int32_t size = (int32_t)file.size();
    int32_t w = 0, h = 0;
    Rgba out;
    if (size >= 2 && file[0] == 'B' && file[1] == 'M') {
        CMemoryReadStream stream(file.data(), size);
        TBitmap bitmap;
        bitmap.LoadFromStream(&stream);
        if (!bitmap.HasPixels()) return out;
        CBitmap32 picture(&bitmap, false, false, false);
        return FromArgbWords((const uint8_t*)picture.GetPixels(), picture.GetWidth(), picture.GetHeight());
    }
    if (size >= 4 && std::memcmp(file.data(), "\x89PNG", 4) == 0) {
        uint8_t* pixels = PNG_Decode(file.data(), size, &w, &h);
        out = pixels ? FromArgbWords(pixels, w, h) : Rgba{w, h, {}};
        PNG_Release();
        return out;
    }
    uint8_t* pixels = nullptr;
    if (size >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF) {
        pixels = JPEG_Decode(file.data(), size, &w, &h);
    } else {
        pixels = GIF_Decode(file.data(), size, &w, &h);
    }
    out = pixels ? FromArgbWords(pixels, w, h) : Rgba{w, h, {}};
    MEM_FREE(pixels);
    return out;
}

class ImageFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (PythonWithPil().empty()) return;
        s_folder = MakeScratchFolder();
        s_made = !s_folder.empty() && RunImageScript("make " + s_folder);
    }
    static void TearDownTestSuite() { RemoveTree(s_folder); }

    void SetUp() override {
        if (PythonWithPil().empty())
            GTEST_SKIP() << "python3 with PIL (Debian's python3-pil) is not installed";
        ASSERT_TRUE(s_made) << "make_images.py failed";
    }

    static std::vector<uint8_t> File(const std::string& name) { return ReadFile(s_folder + "/" + name); }
    static Rgba Expected(const std::string& name) {
        return ReadRgba(s_folder + "/" + name.substr(0, name.rfind('.')) + ".rgba");
    }

    struct Case {
        const char* file;
        int tolerance;
        bool ignoreHiddenColour;
    };
    void ExpectDecodedAsExpected(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.file);
            std::vector<uint8_t> file = File(c.file);
            ASSERT_FALSE(file.empty());
            EXPECT_EQ(CompareRgba(DecodeAny(file), Expected(c.file), c.tolerance, c.ignoreHiddenColour), "");
        }
    }

    static std::string s_folder;
    static bool s_made;
};

std::string ImageFiles::s_folder;
bool ImageFiles::s_made = false;

TEST_F(ImageFiles, PngVariantsDecodeToTheSamePixels) {
    ExpectDecodedAsExpected({
        {"rgb8.png", 0, false},
        {"rgba8.png", 0, false},
        {"palette_trns.png", 0, false},
        {"palette4.png", 0, false},
        {"rgb_key.png", 0, false},
        {"grey1.png", 0, false},
        {"grey2.png", 0, false},
        {"grey4.png", 0, false},
        {"grey8.png", 0, false},
        {"grey_alpha8.png", 0, false},
        {"grey16.png", 0, false},
        {"rgba16.png", 0, false},
        {"interlaced_rgba8.png", 0, false},
        {"interlaced_grey4.png", 0, false},
        {"interlaced_palette2.png", 0, false},
    });
}

TEST_F(ImageFiles, JpegDecodesWithinOneOfAnotherDecoder) {
    ExpectDecodedAsExpected({
        {"colour.jpg", 1, false},
        {"grey.jpg", 1, false},
        {"progressive.jpg", 1, false},
        {"cmyk.jpg", 1, false},
    });
    std::vector<uint8_t> flat = File("grey_flat.jpg");
    int32_t w = 0, h = 0;
    uint32_t* pixels = (uint32_t*)JPEG_Decode(flat.data(), (int32_t)flat.size(), &w, &h);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0xFF404040u);
    EXPECT_EQ(pixels[w * h - 1], 0xFF404040u);
    MEM_FREE(pixels);
}

TEST_F(ImageFiles, GifShowsItsFirstImageAtItsOffsetsWithItsOwnColourMap) {
    ExpectDecodedAsExpected({
        {"local_map.gif", 0, false},
        {"no_global_map.gif", 0, false},
        {"clipped.gif", 0, false},
        {"pil_transparent.gif", 0, true},  // interlaced, transparency from its control block
    });
}

TEST_F(ImageFiles, BmpRowsArePaddedAndStoredBottomUp) {
    ExpectDecodedAsExpected({
        {"rgb24.bmp", 0, false},
        {"palette8.bmp", 0, false},
        {"mono1.bmp", 0, false},
    });
}

// Every prefix of a file either gives no image with sizes of -1, or (once the first image is
// whole) the whole image; nothing is read outside the data.
TEST_F(ImageFiles, CutFilesGiveNoImageOrTheWholeOne) {
    struct Case {
        const char* name;
        bool halfIsEnough;  // the first image ends in the first half
    } cases[] = {{"rgb8.png", false},        {"interlaced_rgba8.png", false}, {"colour.jpg", false},
                 {"progressive.jpg", false}, {"pil_transparent.gif", false},  {"local_map.gif", true},
                 {"rgb24.bmp", false},       {"palette8.bmp", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> file = File(c.name);
        Rgba whole = DecodeAny(file);
        ASSERT_FALSE(whole.bytes.empty());
        for (size_t cut = 0; cut < file.size(); ++cut) {
            std::vector<uint8_t> prefix(file.begin(), file.begin() + cut);
            Rgba decoded = DecodeAny(prefix);
            if (decoded.bytes.empty()) {
                ASSERT_TRUE(decoded.width == -1 && decoded.height == -1) << "cut at " << cut;
            } else {
                ASSERT_EQ(CompareRgba(decoded, whole, 0), "") << "cut at " << cut;
            }
        }
        std::vector<uint8_t> half(file.begin(), file.begin() + file.size() / 2);
        EXPECT_EQ(DecodeAny(half).bytes.empty(), !c.halfIsEnough);
    }
}

TEST_F(ImageFiles, ANewPngDecodeReadsItsOwnDataAndSizesLeaveTheHeldDecodeAlone) {
    std::vector<uint8_t> first = File("rgb8.png"), second = File("grey4.png");
    int32_t w = 0, h = 0;
    ASSERT_NE(PNG_Decode(first.data(), (int32_t)first.size(), &w, &h), nullptr);
    EXPECT_EQ(w, 13);
    uint8_t* pixels = PNG_Decode(second.data(), (int32_t)second.size(), &w, &h);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(CompareRgba(FromArgbWords(pixels, w, h), Expected("grey4.png"), 0), "");

    int32_t sw = 0, sh = 0;
    EXPECT_TRUE(PNG_GetSize(first.data(), (int32_t)first.size(), &sw, &sh, false));
    EXPECT_EQ(sw, 13);
    EXPECT_EQ(sh, 7);
    EXPECT_EQ(CompareRgba(FromArgbWords(pixels, w, h), Expected("grey4.png"), 0), "");
    PNG_Release();
    PNG_Release();  // nothing held: nothing happens

    g_TextureGlobalScale = 2;
    EXPECT_TRUE(PNG_GetSize(first.data(), (int32_t)first.size(), &sw, &sh, true));
    g_TextureGlobalScale = 1;
    EXPECT_EQ(sw, 6);
    EXPECT_EQ(sh, 3);
    EXPECT_FALSE(PNG_GetSize(second.data(), 20, &sw, &sh, false));
    EXPECT_EQ(sw, -1);
    EXPECT_EQ(sh, -1);
}

TEST_F(ImageFiles, WrittenPngReadsBackIdenticallyInAnotherDecoder) {
    const int32_t w = 23, h = 9;
    std::vector<uint8_t> pixels(w * h * 4);  // red, green, blue, alpha
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (uint8_t)(i * 7 + i / 5);
    const std::string folder = MakeScratchFolder();
    const std::string path = folder + "/not/yet/there/shot.png";
    ASSERT_TRUE(write_png_file(path.c_str(), pixels.data(), w, h));
    ASSERT_TRUE(RunImageScript("decode " + path + " " + folder + "/shot.rgba"));
    Rgba written{w, h, pixels};
    EXPECT_EQ(CompareRgba(ReadRgba(folder + "/shot.rgba"), written, 0), "");
    RemoveTree(folder);
}

}  // namespace

namespace {

std::string g_redirectFolder;

bool RedirectIntoScratch(char* buffer, int32_t size, const char* name) {
    return std::snprintf(buffer, size, "%s/save/%s", g_redirectFolder.c_str(), name) < size;
}

// Files that cannot be written whole answer false and leave nothing; names go through the
// save-area resolver once one is installed.
TEST(PngWrite, FailuresLeaveNoFileAndNamesGoThroughTheResolver) {
    const std::string folder = MakeScratchFolder();
    const uint8_t pixels[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 9, 8, 7, 6};
    WriteFile(folder + "/plain", {1});
    EXPECT_FALSE(write_png_file((folder + "/plain/under_a_file.png").c_str(), pixels, 2, 2));
    EXPECT_FALSE(write_png_file((folder + "/no_pixels.png").c_str(), nullptr, 2, 2));
    EXPECT_FALSE(write_png_file((folder + "/no_width.png").c_str(), pixels, 0, 2));
    EXPECT_TRUE(ReadFile(folder + "/no_width.png").empty());

    g_redirectFolder = folder;
    Image_SetSavePathResolver(RedirectIntoScratch);
    bool written = write_png_file("deep/er/shot.png", pixels, 2, 2);
    Image_SetSavePathResolver(nullptr);
    ASSERT_TRUE(written);
    std::vector<uint8_t> file = ReadFile(folder + "/save/deep/er/shot.png");
    int32_t w = 0, h = 0;
    uint8_t* decoded = PNG_Decode(file.data(), (int32_t)file.size(), &w, &h);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(
        CompareRgba(FromArgbWords(decoded, w, h), Rgba{2, 2, std::vector<uint8_t>(pixels, pixels + 16)}, 0),
        "");
    PNG_Release();
    RemoveTree(folder);
}

}  // namespace
