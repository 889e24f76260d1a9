// "BM" reading, the bitmap block, the single-picture loader, 32-bit pictures and colour helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "assets/Graphics_Bitmap32.h"
#include "graphics/Graphics_Support.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"

namespace {

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = (uint8_t)(x >> (8 * i));
}
void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
    v[at] = (uint8_t)x;
    v[at + 1] = (uint8_t)(x >> 8);
}

struct BmpSpec {
    int32_t width;
    int32_t height;  // negative: rows stored top row first
    int bitCount;
    std::vector<std::vector<uint8_t>> rows;  // as stored in the file, without padding, first stored first
    std::vector<uint32_t> palette = {};      // 0x00RRGGBB entries
    uint32_t compression = 0;
    uint32_t infoSize = 40;
    std::vector<uint32_t> masks = {};
};

// A "BM" file with rows padded to 4 bytes.
std::vector<uint8_t> MakeBmp(const BmpSpec& s) {
    const size_t stride = ((size_t)s.width * s.bitCount + 31) / 32 * 4;
    const size_t headerEnd = 14 + s.infoSize + s.masks.size() * 4 + s.palette.size() * 4;
    std::vector<uint8_t> f(headerEnd + stride * s.rows.size());
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, (uint32_t)f.size());
    Put32(f, 10, (uint32_t)headerEnd);
    Put32(f, 14, s.infoSize);
    Put32(f, 18, (uint32_t)s.width);
    Put32(f, 22, (uint32_t)s.height);
    Put16(f, 26, 1);
    Put16(f, 28, (uint16_t)s.bitCount);
    Put32(f, 30, s.compression);
    Put32(f, 46, (uint32_t)s.palette.size());
    size_t at = 14 + s.infoSize;
    for (uint32_t m : s.masks) Put32(f, at, m), at += 4;
    for (uint32_t c : s.palette) Put32(f, at, c), at += 4;
    for (size_t r = 0; r < s.rows.size(); ++r)
        std::memcpy(&f[headerEnd + r * stride], s.rows[r].data(), s.rows[r].size());
    return f;
}

void Load(TBitmap& bitmap, const std::vector<uint8_t>& file) {
    CMemoryReadStream stream(file.data(), (int64_t)file.size());
    bitmap.LoadFromStream(&stream);
}

std::vector<uint8_t> Row(const TBitmap& constBitmap, int32_t y, int32_t bytes) {
    TBitmap& bitmap = const_cast<TBitmap&>(constBitmap);
    uint8_t* row = nullptr;
    bitmap.GetScanline(y, &row, nullptr);
    return row ? std::vector<uint8_t>(row, row + bytes) : std::vector<uint8_t>();
}

// Two 2x2 24-bit pictures: bottom row stored first (the usual order), or top row first.
const std::vector<uint8_t> kTopRow = {1, 2, 3, 4, 5, 6};
const std::vector<uint8_t> kBottomRow = {7, 8, 9, 10, 11, 12};

TEST(TBitmapRead, RowsOfEitherOrderComeOutTopRowFirstPastTheirPadding) {
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        BmpSpec spec{2, topDown ? -2 : 2, 24, {}};
        spec.rows = topDown ? std::vector{kTopRow, kBottomRow} : std::vector{kBottomRow, kTopRow};
        TBitmap bitmap;
        Load(bitmap, MakeBmp(spec));
        ASSERT_TRUE(bitmap.HasPixels());
        EXPECT_EQ(bitmap.GetFormat(), kBitmapFormat24);
        EXPECT_EQ(bitmap.GetWidth(), 2);
        EXPECT_EQ(bitmap.GetHeight(), 2);
        EXPECT_EQ(bitmap.GetStride(), 6);
        EXPECT_EQ(Row(bitmap, 0, 6), kTopRow);
        EXPECT_EQ(Row(bitmap, 1, 6), kBottomRow);
    }
}

TEST(TBitmapRead, PalettePicturesBecome32BitThroughTheirColourTable) {
    std::vector<uint32_t> palette(256, 0);
    palette[200] = 0x030201;  // red 3, green 2, blue 1
    palette[1] = 0xAABBCC;
    TBitmap eight;
    Load(eight, MakeBmp({3, 1, 8, {{200, 1, 200}}, palette}));
    ASSERT_TRUE(eight.HasPixels());
    EXPECT_EQ(eight.GetFormat(), kBitmapFormat32);
    EXPECT_EQ(Row(eight, 0, 12), (std::vector<uint8_t>{1, 2, 3, 255, 0xCC, 0xBB, 0xAA, 255, 1, 2, 3, 255}));

    // 1- and 4-bit pictures pack several pixels a byte, high bits first; an index past the
    // table is black.
    TBitmap one;
    Load(one, MakeBmp({10, 1, 1, {{0b10100000, 0b01000000}}, {0x000000, 0xFFFFFF}}));
    ASSERT_TRUE(one.HasPixels());
    std::vector<uint8_t> row = Row(one, 0, 40);
    for (int x = 0; x < 10; ++x) EXPECT_EQ(row[x * 4], (x == 0 || x == 2 || x == 9) ? 255 : 0) << x;
    TBitmap four;
    Load(four, MakeBmp({3, 1, 4, {{0x10, 0x50}}, {0x000000, 0x112233}}));
    ASSERT_TRUE(four.HasPixels());
    EXPECT_EQ(Row(four, 0, 12), (std::vector<uint8_t>{0x33, 0x22, 0x11, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
}

TEST(TBitmapRead, FilesItCannotReadWholeLeaveItEmpty) {
    const BmpSpec good{2, 2, 24, {kBottomRow, kTopRow}};
    std::vector<uint8_t> file = MakeBmp(good);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"not BM",
         [&] {
             auto f = file;
             f[0] = 'X';
             return f;
         }()},
        {"last row cut", std::vector<uint8_t>(file.begin(), file.end() - 1)},
        {"header cut", std::vector<uint8_t>(file.begin(), file.begin() + 30)},
        {"run-length compressed", MakeBmp({2, 2, 8, {{0, 0}, {0, 0}}, {0, 0}, 1})},
        {"old 12-byte header",
         [&] {
             auto f = file;
             Put32(f, 14, 12);
             return f;
         }()},
        {"pixel offset past the end",
         [&] {
             auto f = file;
             Put32(f, 10, 0x7FFFFFF0);
             return f;
         }()},
        {"zero height",
         [&] {
             auto f = file;
             Put32(f, 22, 0);
             return f;
         }()},
        {"huge width",
         [&] {
             auto f = file;
             Put32(f, 18, 0x40000000);
             return f;
         }()},
        {"2 bits a pixel",
         [&] {
             auto f = file;
             Put16(f, 28, 2);
             return f;
         }()},
        {"bit fields not blue-green-red",
         MakeBmp({1, 1, 32, {{1, 2, 3, 4}}, {}, 3, 40, {0xFF, 0xFF00, 0xFF0000}})},
        {"empty", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TBitmap bitmap;
        Load(bitmap, c.bytes);
        EXPECT_FALSE(bitmap.HasPixels());
    }
    // Standard 32-bit masks are the plain layout and read as such.
    TBitmap masked;
    Load(masked, MakeBmp({1, 1, 32, {{1, 2, 3, 4}}, {}, 3, 40, {0xFF0000, 0xFF00, 0xFF}}));
    ASSERT_TRUE(masked.HasPixels());
    EXPECT_EQ(Row(masked, 0, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(TBitmapBlock, StridesFollowTheFormatTable) {
    struct Case {
        int32_t format, width, stride;
    } cases[] = {{kBitmapFormat1, 12, 1},  {kBitmapFormat4, 5, 2},
                 {kBitmapFormat8, 5, 5},   {kBitmapFormat15, 5, 10},
                 {kBitmapFormat16, 5, 10}, {kBitmapFormat24, 5, 15},
                 {kBitmapFormat32, 5, 20}, {9, 5, 20}};
    for (const Case& c : cases) {
        TBitmap bitmap;
        bitmap.SetFormat(c.format);
        bitmap.SetWidth(c.width);
        EXPECT_EQ(bitmap.GetStride(), c.stride) << "format " << c.format;
    }
}

TEST(TBitmapBlock, FirstScanlineMakesAClearedBlockThatCopiesAndLoadersCarry) {
    TBitmap* bitmap = TBitmap_Create();
    EXPECT_EQ(bitmap->GetFormat(), kBitmapFormat32);
    bitmap->SetWidth(10);
    bitmap->SetHeight(5);
    uint8_t* row = nullptr;
    int32_t stride = 0;
    uint8_t* pixels = bitmap->GetScanline(2, &row, &stride);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(bitmap->GetBlockSize(), 252);
    EXPECT_EQ(stride, 40);
    EXPECT_EQ(row, pixels + 80);
    EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 200), std::vector<uint8_t>(200, 0));
    row[3] = 0x7F;
    uint8_t* outside = pixels;
    bitmap->GetScanline(5, &outside, nullptr);
    EXPECT_EQ(outside, nullptr);

    TBitmap copy;
    copy.Assign(bitmap);
    EXPECT_EQ(copy.GetWidth(), 10);
    EXPECT_EQ(copy.GetHeight(), 5);
    EXPECT_EQ(Row(copy, 2, 4), (std::vector<uint8_t>{0, 0, 0, 0x7F}));
    delete bitmap;

    const uint32_t source[2] = {0x11223344, 0x55667788};
    BitmapLoader* loader = BitmapLoader_Create(source, 2, 1);
    ASSERT_NE(loader, nullptr);
    EXPECT_FALSE(loader->HasFrames());
    EXPECT_EQ(loader->GetFrameCount(), 1);
    EXPECT_EQ(loader->GetFrame(1), nullptr);
    TBitmap* frame = loader->GetFrame(0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetFormat(), kBitmapFormat32);
    EXPECT_EQ(frame->GetWidth(), 2);
    EXPECT_EQ(std::memcmp(frame->GetScanline(0, nullptr, nullptr), source, 8), 0);
    delete frame;
    delete loader;
    EXPECT_EQ(BitmapLoader_Create(source, 0, 1), nullptr);
}

TEST(TBitmapBlock, AttachedBlocksAreCheckedAgainstTheirSize) {
    const uint32_t source[4] = {1, 2, 3, 4};
    BitmapLoader* loader = BitmapLoader_Create(source, 2, 2);
    TBitmap* frame = loader->GetFrame(0);
    const int32_t size = frame->GetBlockSize();
    uint8_t* block = (uint8_t*)MEM_ALLOC(size);
    std::memcpy(block, frame->GetBlock(), size);
    TBitmap small;
    small.AttachDIB(block, size - 1);  // one byte short of its pixels: refused and freed
    EXPECT_FALSE(small.HasPixels());
    delete frame;
    delete loader;
}

// ---- CBitmap32 ---------------------------------------------------------------------------------

constexpr uint32_t kMagenta = 0xFFFF00FF, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

CBitmap32 Picture(int32_t w, int32_t h, const std::vector<uint32_t>& pixels) {
    CBitmap32 picture(w, h, 0u);
    std::memcpy(picture.GetPixels(), pixels.data(), pixels.size() * 4);
    return picture;
}

std::vector<uint32_t> Pixels(const CBitmap32& p) {
    return std::vector<uint32_t>(p.GetPixels(), p.GetPixels() + (size_t)p.GetWidth() * p.GetHeight());
}

TEST(CBitmap32Ops, RemoveBackgroundKeysOnTheBottomLeftColourAndBleedsNeighbours) {
    const uint32_t M = kMagenta, G = kGreen, B = kBlue;
    CBitmap32 picture = Picture(4, 4,
                                {M, M, M, M,  //
                                 M, G, B, M,  //
                                 M, M, M, M,  //
                                 M, M, M, M});
    picture.RemoveBackground();
    const uint32_t g = G & 0xFFFFFF, b = B & 0xFFFFFF, m = M & 0xFFFFFF;
    // Left neighbour first, then right, above, below; bled pixels stay transparent and do not spread.
    EXPECT_EQ(Pixels(picture), (std::vector<uint32_t>{m, g, b, m,  //
                                                      g, G, B, b,  //
                                                      m, g, b, m,  //
                                                      m, m, m, m}));
}

TEST(CBitmap32Ops, SmoothEdgesTakes32FromEachNeighbourOfATransparentPixel) {
    std::vector<uint32_t> field(9, 0xFF102030);
    field[4] = 0x00102030;
    field[0] = 0x1F102030;  // below 32: left alone
    CBitmap32 picture = Picture(3, 3, field);
    picture.SmoothEdges();
    std::vector<uint32_t> expected(9, 0xDF102030);
    expected[4] = 0x00102030;
    expected[0] = 0x1F102030;
    EXPECT_EQ(Pixels(picture), expected);
}

TEST(CBitmap32Ops, ResizeRepeatsNearestPixels) {
    CBitmap32 picture = Picture(2, 2, {1, 2, 3, 4});
    picture.Resize(2, 2);
    EXPECT_EQ(Pixels(picture), (std::vector<uint32_t>{1, 2, 3, 4}));
    picture.Resize(4, 4);
    EXPECT_EQ(Pixels(picture), (std::vector<uint32_t>{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));
    picture.Resize(1, 2);
    EXPECT_EQ(Pixels(picture), (std::vector<uint32_t>{1, 3}));
    picture.Resize(0, 5);  // no picture of no width: unchanged
    EXPECT_EQ(picture.GetWidth(), 1);
}

TEST(CBitmap32Ops, OpaqueBoundsCoverVisiblePixelsOnly) {
    std::vector<uint32_t> pixels(8 * 8, 0x00FFFFFF);
    pixels[5 * 8 + 3] = 0x01000000;
    CBitmap32 one = Picture(8, 8, pixels);
    CBitmap32 none = Picture(8, 8, std::vector<uint32_t>(64, 0x00FFFFFF));
    CBitmap32 invalid(one, 4, 4, 5, 5);
    struct Case {
        const CBitmap32* picture;
        std::vector<int32_t> bounds;
    } cases[] = {{&one, {3, 5, 3, 5}}, {&none, {7, 7, 0, 0}}, {&invalid, {0, 0, 0, 0}}};
    for (const Case& c : cases) {
        int32_t* bounds = c.picture->GetOpaqueBounds();
        EXPECT_EQ(std::vector<int32_t>(bounds, bounds + 4), c.bounds);
        MEM_FREE(bounds);
    }
}

TEST(CBitmap32Ops, SubRectanglesMustLieInsideTheirSource) {
    CBitmap32 source = Picture(3, 2, {1, 2, 3, 4, 5, 6});
    CBitmap32 middle(source, 1, 0, 2, 2);
    ASSERT_TRUE(middle.IsValid());
    EXPECT_EQ(Pixels(middle), (std::vector<uint32_t>{2, 3, 5, 6}));
    struct Case {
        int32_t x, y, w, h;
    } outside[] = {{2, 0, 2, 1}, {0, 1, 1, 2}, {-1, 0, 1, 1}, {0, -1, 1, 1}, {0, 0, -1, 1}};
    for (const Case& c : outside) {
        EXPECT_FALSE(CBitmap32(source, c.x, c.y, c.w, c.h).IsValid())
            << c.x << "," << c.y << " " << c.w << "x" << c.h;
    }
}

TEST(CBitmap32Ops, AlphaFromIntensityLimitsAlphaByTheOtherPicturesBrightness) {
    CBitmap32 picture = Picture(2, 1, {0xFF112233, 0x10112233});
    CBitmap32 mask = Picture(1, 1, {0xFF30609F});  // (0x30 + 0x60 + 0x9F) / 3 = 0x65
    picture.AlphaFromIntensity(&mask);
    EXPECT_EQ(Pixels(picture), (std::vector<uint32_t>{0x65112233, 0x10112233}));
    picture.AlphaFromIntensity(nullptr);
    EXPECT_EQ(Pixels(picture)[0], 0x65112233u);
}

TEST(CBitmap32Convert, BitmapsReadOpaqueOrWithTheirAlpha) {
    TBitmap rgb;
    rgb.SetFormat(kBitmapFormat24);
    rgb.SetWidth(2);
    rgb.SetHeight(1);
    uint8_t* row = rgb.GetScanline(0, nullptr, nullptr);
    const uint8_t bytes24[] = {0x33, 0x22, 0x11, 0x66, 0x55, 0x44};
    std::memcpy(row, bytes24, 6);
    EXPECT_EQ(Pixels(CBitmap32(&rgb)), (std::vector<uint32_t>{0xFF112233, 0xFF445566}));
    EXPECT_FALSE(CBitmap32(&rgb, false, false, true).IsValid());  // keeping alpha needs 32 bits

    TBitmap argb;
    argb.SetWidth(2);
    argb.SetHeight(1);
    const uint32_t words[] = {0x80112233, 0x00445566};
    std::memcpy(argb.GetScanline(0, nullptr, nullptr), words, 8);
    EXPECT_EQ(Pixels(CBitmap32(&argb, false, false, true)), (std::vector<uint32_t>{0x80112233, 0x00445566}));
    EXPECT_EQ(Pixels(CBitmap32(&argb, false, false, false)), (std::vector<uint32_t>{0xFF112233, 0xFF445566}));
    // Removing the background keys on the bottom-left pixel; smoothing alone does nothing.
    EXPECT_EQ(Pixels(CBitmap32(&argb, true, false, false)), (std::vector<uint32_t>{0x00445566, 0xFF445566}));
    EXPECT_EQ(Pixels(CBitmap32(&argb, false, true, false)), (std::vector<uint32_t>{0xFF112233, 0xFF445566}));

    TBitmap eight;
    eight.SetFormat(kBitmapFormat8);
    EXPECT_FALSE(CBitmap32(&eight).IsValid());

    TBitmap* back = CBitmap32(&argb, false, false, true).ToTBitmap();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetFormat(), kBitmapFormat32);
    EXPECT_EQ(Row(*back, 0, 8), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x80, 0x44, 0x55, 0x66, 0x00}));
    delete back;
}

TEST(CBitmap32Make, FilledPicturesAreOpaqueInDeviceOrderAndAtLeastOnePixelWide) {
    CBitmap32 red(0, 2, 0x0000FF);
    ASSERT_TRUE(red.IsValid());
    EXPECT_EQ(red.GetWidth(), 1);
    EXPECT_EQ(Pixels(red), (std::vector<uint32_t>{0xFFFF0000, 0xFFFF0000}));
    CBitmap32 copy(red);
    EXPECT_EQ(Pixels(copy), Pixels(red));
    CBitmap32 huge(kImageMaxSide + 1, 1, 0u);
    EXPECT_FALSE(huge.IsValid());
}

TEST(CBitmap32Make, GradientsBlendTowardsTheSecondColour) {
    CBitmap32 horizontal(4, 1, 0x000000, 0xFFFFFF, kGradientHorizontal);
    EXPECT_EQ(Pixels(horizontal), (std::vector<uint32_t>{0xFF000000, 0xFF404040, 0xFF808080, 0xFFBFBFBF}));
    CBitmap32 vertical(1, 2, 0x0000FF, 0xFF0000, kGradientVertical);  // red to blue
    EXPECT_EQ(Pixels(vertical), (std::vector<uint32_t>{0xFFFF0000, 0xFF800080}));
    CBitmap32 both(5, 1, 0x000000, 0x0000C8, kGradientDoubleHorizontal);  // t = 0, .4, .8, .4, 0
    EXPECT_EQ(Pixels(both),
              (std::vector<uint32_t>{0xFF000000, 0xFF500000, 0xFFA00000, 0xFF500000, 0xFF000000}));
    CBitmap32 rectangle(3, 3, 0x000000, 0x000064, kGradientRectangle);  // half 1.5: centre t = 2/3
    EXPECT_EQ(Pixels(rectangle)[4], 0xFF430000u);
    EXPECT_EQ(Pixels(rectangle)[0], 0xFF000000u);
    CBitmap32 unknown(2, 2, 0xFFFFFF, 0xFFFFFF, 9);
    EXPECT_EQ(Pixels(unknown), std::vector<uint32_t>(4, 0xFF000000));
    CBitmap32 empty(0, 0, 0x000000, 0xFFFFFF, kGradientHorizontal);  // no division by a zero side
    EXPECT_EQ(Pixels(empty), (std::vector<uint32_t>{0xFF000000}));
}

// The ellipse gradient paints ellipse after ellipse; ours finds each pixel's last one by bisection.
TEST(CBitmap32Make, EllipseGradientMatchesPaintingEveryEllipse) {
    for (auto [w, h] : {std::pair{7, 5}, {16, 16}, {31, 12}, {1, 9}, {40, 3}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const uint32_t c1 = 0x102030, c2 = 0xF0E0D0;
        std::vector<uint32_t> painted((size_t)w * h, Colour_ToARGBByte(c1, 255));
        const double half = std::min(w, h) * 0.5;
        for (int i = 0; i < half; ++i) {
            uint32_t colour = Colour_ToARGBByte(Bitmap32_LerpColour(c1, c2, i / half), 255);
            for (int y = i; y <= h - 1 - i; ++y) {
                for (int x = i; x <= w - 1 - i; ++x) {
                    double rx = (w - 2 * i) * 0.5, ry = (h - 2 * i) * 0.5;
                    double dx = x - w * 0.5, dy = y - h * 0.5;
                    if (dx * dx / (rx * rx) + dy * dy / (ry * ry) <= 1) painted[(size_t)y * w + x] = colour;
                }
            }
        }
        EXPECT_EQ(Pixels(CBitmap32(w, h, c1, c2, kGradientEllipse)), painted);
    }
}

// ---- colour helpers ----------------------------------------------------------------------------

TEST(Colours, ConversionsAndBlends) {
    EXPECT_EQ(Colour_FloatToByte(0.999f), 254);
    EXPECT_EQ(Colour_FloatToByte(1.0f), 255);
    EXPECT_EQ(Colour_FloatToByte(1.5f), 255);
    EXPECT_EQ(Colour_FloatToByte(-0.5f), 0);
    EXPECT_EQ(Colour_FloatToByte(std::nanf("")), 0);
    EXPECT_EQ(Colour_ToARGBByte(0x112233, 0x80), 0x80332211u);
    EXPECT_EQ(Colour_SetAlphaByte(0xAA112233, 0x80), 0x80112233u);
    // Halves round to even: 0.5 -> 0, 1.5 -> 2.
    EXPECT_EQ(Colour_Lerp(0x000100, 0x010203, 0.5f), 0x000202u);
    EXPECT_EQ(Colour_Lerp(0xFF102030, 0x102030, 1.0f), 0x102030u);
    EXPECT_EQ(Bitmap32_LerpColour(0x000000, 0xFFFFFF, 0.75), 0xBFBFBFu);
    float v[3] = {3, 0, 4};
    Vector3_NormaliseInPlace(v);
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_FLOAT_EQ(v[1], 0.0f);
    EXPECT_FLOAT_EQ(v[2], 0.8f);
}

}  // namespace
