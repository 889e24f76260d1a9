// 2-D primitives and pixel read-back on the real GL device. Each primitive's vertices are first
// caught on the trace device; the pixels they must light are worked out here by Direct3D's
// rasterisation rules (pixel centres on whole coordinates; triangles cover the centres inside
// them, lines light the pixels whose diamond they leave, points cover a one-pixel square), and
// the GL frame must light exactly those, apart from pixels too close to an edge to call.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Primitive.h"
#include "support/GpuTestSupport.h"

namespace {

constexpr int kSize = 64;
constexpr uint32_t kClear = 0xFF0000FFu;  // blue: every primitive here draws in other colours
constexpr float kTie = 0.02f;             // pixels nearer than this to a decision are not judged

struct Point {
    float x, y;
};

struct Primitive {
    uint32_t kind;
    std::vector<Point> vertices;  // in the device's screen space
};

enum Coverage : int8_t { kOut = 0, kIn = 1, kTooClose = -1 };

// Signed distance of p from the edge a->b, positive on the side of c.
float EdgeMargin(Point a, Point b, Point c, Point p) {
    const float ex = b.x - a.x, ey = b.y - a.y;
    const float length = std::sqrt(ex * ex + ey * ey);
    if (length == 0.0f) return -1e9f;
    const float side = ex * (c.y - a.y) - ey * (c.x - a.x);
    const float d = (ex * (p.y - a.y) - ey * (p.x - a.x)) / length;
    return side >= 0 ? d : -d;
}

float TriangleMargin(Point a, Point b, Point c, Point p) {
    const float area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (area == 0.0f) return -1e9f;  // degenerate: covers nothing
    return std::min({EdgeMargin(a, b, c, p), EdgeMargin(b, c, a, p), EdgeMargin(c, a, b, p)});
}

// Diamond exit: the segment meets the pixel's diamond (|dx| + |dy| < 1/2) and does not end in
// it. GL lets a rasteriser settle the pixels holding a segment's ends its own way, so those are
// not judged by the line alone.
float LineMargin(Point a, Point b, Point p) {
    auto diamond = [&](float t) {
        const float x = a.x + (b.x - a.x) * t, y = a.y + (b.y - a.y) * t;
        return std::fabs(x - p.x) + std::fabs(y - p.y) - 0.5f;
    };
    if (diamond(0.0f) < kTie || diamond(1.0f) < kTie) return 0.0f;
    // The distance is piecewise linear in t with kinks where x or y crosses the centre.
    std::vector<float> ts = {0.0f, 1.0f};
    if (b.x != a.x) ts.push_back((p.x - a.x) / (b.x - a.x));
    if (b.y != a.y) ts.push_back((p.y - a.y) / (b.y - a.y));
    float nearest = 1e9f;
    for (float t : ts) {
        if (t >= 0.0f && t <= 1.0f) nearest = std::min(nearest, diamond(t));
    }
    return -nearest;
}

float PointMargin(Point v, Point p) {
    return 0.5f - std::max(std::fabs(p.x - v.x), std::fabs(p.y - v.y));
}

std::vector<float> Margins(const Primitive& primitive, Point p) {
    const std::vector<Point>& v = primitive.vertices;
    std::vector<float> margins;
    switch (primitive.kind) {
        case D3DPT_POINTLIST:
            for (Point vertex : v) margins.push_back(PointMargin(vertex, p));
            break;
        case D3DPT_LINELIST:
            for (size_t i = 0; i + 1 < v.size(); i += 2) margins.push_back(LineMargin(v[i], v[i + 1], p));
            break;
        case D3DPT_LINESTRIP:
            for (size_t i = 0; i + 1 < v.size(); ++i) margins.push_back(LineMargin(v[i], v[i + 1], p));
            break;
        case D3DPT_TRIANGLELIST:
            for (size_t i = 0; i + 2 < v.size(); i += 3)
                margins.push_back(TriangleMargin(v[i], v[i + 1], v[i + 2], p));
            break;
        case D3DPT_TRIANGLEFAN:
            for (size_t i = 1; i + 1 < v.size(); ++i)
                margins.push_back(TriangleMargin(v[0], v[i], v[i + 1], p));
            break;
        default:
            ADD_FAILURE() << "no rule for kind " << primitive.kind;
    }
    return margins;
}

std::vector<Coverage> Rasterise(const std::vector<Primitive>& primitives) {
    std::vector<Coverage> mask(kSize * kSize, kOut);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            bool in = false, close = false;
            for (const Primitive& primitive : primitives) {
                for (float margin : Margins(primitive, {float(x), float(y)})) {
                    in = in || margin > kTie;
                    close = close || std::fabs(margin) <= kTie;
                }
            }
            mask[y * kSize + x] = in ? kIn : close ? kTooClose : kOut;
        }
    }
    return mask;
}

struct Case {
    const char* name;
    std::function<void()> draw;
};

class PrimitiveGlTest : public GraphicsTest {
protected:
    // The primitives a case sends to the device, in screen space (world less half a pixel).
    std::vector<std::vector<Primitive>> Capture(const std::vector<Case>& cases) {
        g_BatchMethod = 2;
        Open(0, kSize, kSize);
        Start_Frame();
        GraphicsFlush();
        std::vector<std::vector<Primitive>> captured;
        for (const Case& test : cases) {
            Trace().drawnVertices.clear();
            Prepare();
            test.draw();
            GraphicsFlush();
            std::vector<Primitive> primitives;
            for (const auto& drawn : Trace().drawnVertices) {
                Primitive primitive{drawn.kind, {}};
                for (size_t at = 0; at + drawn.stride <= drawn.bytes.size(); at += drawn.stride) {
                    float xy[2];
                    std::memcpy(xy, &drawn.bytes[at], sizeof xy);
                    primitive.vertices.push_back({xy[0] - 0.5f, xy[1] - 0.5f});
                }
                primitives.push_back(primitive);
            }
            captured.push_back(primitives);
        }
        End_Frame(false);
        GR_D3D_Shutdown();
        return captured;
    }

    void OpenGl(int32_t width, int32_t height) {
        ResetState();
        UseSoftwareGl();
        Open(0, width, height);
        ASSERT_NE(g_D3D.device, nullptr);
    }

    static void Prepare() {
        GR_Draw_Set_Alpha(1.0f);
        GR_Draw_Set_Colour(0xFFFFFF);
        GR_Set_Circle_Precision(24);
    }

    std::vector<uint32_t> Frame(const std::function<void()>& draw) {
        Start_Frame();
        GR_D3D_Clear(0xFFFF0000u, 1.0f, 0, 7);  // kClear in the game's colour order
        Prepare();
        draw();
        End_Frame(true);
        return ReadBackBuffer(g_D3D.device);
    }

    void ExpectPixels(const std::vector<Case>& cases) {
        const std::vector<std::vector<Primitive>> captured = Capture(cases);
        OpenGl(kSize, kSize);
        for (size_t i = 0; i < cases.size(); ++i) {
            const std::vector<Coverage> mask = Rasterise(captured[i]);
            const std::vector<uint32_t> pixels = Frame(cases[i].draw);
            ASSERT_EQ(pixels.size(), mask.size());
            int judged = 0, lit = 0, wrong = 0;
            std::string firstWrong;
            for (int p = 0; p < kSize * kSize; ++p) {
                if (mask[p] == kTooClose) continue;
                ++judged;
                const bool drawn = pixels[p] != kClear;
                lit += drawn;
                if (drawn != (mask[p] == kIn) && wrong++ == 0) {
                    firstWrong = "(" + std::to_string(p % kSize) + "," + std::to_string(p / kSize) + ") " +
                                 (drawn ? "lit" : "dark");
                }
            }
            EXPECT_EQ(wrong, 0) << cases[i].name << ": first at " << firstWrong;
            EXPECT_GT(lit, 0) << cases[i].name;
            EXPECT_GT(judged, kSize * kSize * 9 / 10) << cases[i].name;
        }
    }
};

TEST_F(PrimitiveGlTest, FilledRectangleCoversItsCornersInclusive) {
    OpenGl(kSize, kSize);
    const std::vector<uint32_t> pixels = Frame([] { GR_Draw_Rectangle(10, 10, 20, 20, false); });
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const bool inside = x >= 10 && x <= 20 && y >= 10 && y <= 20;
            ASSERT_EQ(pixels[y * kSize + x], inside ? 0xFFFFFFFFu : kClear) << x << "," << y;
        }
    }
}

TEST_F(PrimitiveGlTest, EachFamilyLightsThePixelsTheRulesGiveIt) {
    ExpectPixels({
        {"points",
         [] {
             for (float x : {3.2f, 10.7f, 40.4f}) GR_Draw_Point(x, x / 2 + 0.3f);
         }},
        {"coloured point", [] { GR_Draw_Point_Colour(30.3f, 30.2f, 0x00FF00); }},
        {"lines",
         [] {
             GR_Draw_Line(3.3f, 4.6f, 50.2f, 20.7f);
             GR_Draw_Line(5.2f, 40.25f, 45.6f, 40.25f);
             GR_Draw_Line(60.25f, 3.1f, 60.25f, 50.4f);
             GR_Draw_Line_Colour(50.1f, 60.3f, 10.4f, 30.2f, 0x00FFFF, 0xFF00FF);
         }},
        {"wide lines",
         [] {
             GR_Draw_Line_Width(5.5f, 5.2f, 50.3f, 30.1f, 6);
             GR_Draw_Line_Width_Colour(10.1f, 50.3f, 55.2f, 45.8f, 3, 0x00FF00, 0xFF0000);
         }},
        {"triangles",
         [] {
             GR_Draw_Triangle(3.1f, 2.2f, 40.7f, 10.3f, 20.4f, 35.9f, false);
             GR_Draw_Triangle_Colour(45.2f, 40.1f, 60.3f, 62.7f, 33.3f, 58.2f, 0xFF, 0xFF00, 0xFF0000, true);
         }},
        {"rectangles",
         [] {
             GR_Draw_Rectangle(5.25f, 6.25f, 30.25f, 20.25f, true);
             GR_Draw_Rectangle(40.3f, 3.4f, 55.6f, 12.2f, false);
             GR_Draw_Rectangle_Colour(4, 30, 30, 42, 0xFF, 0xFF00, 0xFF0000, 0xFFFFFF, false);
             GR_Draw_Rectangle_Colour(35.3f, 30.3f, 60.3f, 60.3f, 0xFF, 0xFF00, 0xFF0000, 0xFFFFFF, true);
         }},
        {"ellipses and circles",
         [] {
             GR_Draw_Ellipse(5, 5, 50, 30, false);
             GR_Draw_Ellipse_Colour(5.3f, 33.3f, 40.3f, 60.3f, 0xFF, 0xFF00, true);
             GR_Draw_Circle(50.2f, 48.1f, 10.3f, false);
         }},
        {"rounded rectangles",
         [] {
             GR_Draw_RoundRect(4.2f, 4.1f, 40.3f, 25.4f, 10, 8, false);
             GR_Draw_RoundRect_Colour(10.3f, 30.3f, 58.3f, 58.3f, 12, 12, 0xFF, 0xFF00, true);
         }},
        {"arrow", [] { GR_Draw_Arrow(4.3f, 50.2f, 55.1f, 10.7f, 12); }},
        {"button", [] { GR_Draw_Button(5, 5, 40, 25, true); }},
        {"health bar",
         [] { GR_Draw_Healthbar(2, 40, 60, 50, 70, 0x404040, 0xFF, 0xFF00, 0xFF0000, 0, true, true); }},
        {"free-form fan",
         [] {
             GR_Primitive_Begin(D3DPT_TRIANGLEFAN, -1);
             for (Point p : std::vector<Point>{{30.2f, 30.1f}, {5.3f, 10.6f}, {50.7f, 4.2f}, {60.1f, 55.3f}})
                 GR_Primitive_Vertex(p.x, p.y);
             GR_Primitive_End();
         }},
    });
}

TEST_F(PrimitiveGlTest, TargetReadBackIsCutToTheTargetAndReportsItsSize) {
    OpenGl(640, 480);
    Start_Frame();
    GR_D3D_Clear(0xFF00FF00u, 1.0f, 0, 7);
    GR_Draw_Set_Colour(0x0000FF);
    GR_Draw_Rectangle(637, 476, 637, 476, false);  // exactly pixel (637, 476)
    int32_t width = 10, height = 10;
    uint32_t* pixels = GR_D3D_Read_Target_Pixels(640, 480, 635, 475, &width, &height);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 5);
    EXPECT_EQ(pixels[0], 0xFF00FF00u);
    EXPECT_EQ(pixels[1 * 5 + 2], 0xFFFF0000u);
    MEM_FREE(pixels);

    EXPECT_EQ(GR_Get_Pixel(637, 476), 0xFF0000FFu);  // red and blue back in the game's order
    EXPECT_EQ(GR_Get_Pixel(640, 0), 0u);
    EXPECT_EQ(GR_Get_Pixel(-1, 0), 0u);
    width = height = 4;
    EXPECT_EQ(GR_D3D_Read_Target_Pixels(640, 480, 640, 0, &width, &height), nullptr);

    // A surface being drawn into is read in place of the back buffer, within its own size.
    GpuSurface* target = nullptr;
    ASSERT_EQ(g_D3D.device->CreateRenderTarget(32, 16, D3DFMT_A8R8G8B8, 0, false, &target), D3D_OK);
    GpuSurface* back = nullptr;
    g_D3D.device->GetRenderTarget(0, &back);
    g_D3D.device->SetRenderTarget(0, target);
    GR_D3D_Clear(0xFF123456u, 1.0f, 0, 1);
    width = height = 100;
    pixels = GR_D3D_Read_Target_Pixels(640, 480, 30, 0, &width, &height);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 16);
    EXPECT_EQ(pixels[0], 0xFF563412u);
    MEM_FREE(pixels);
    g_D3D.device->SetRenderTarget(0, back);
    back->Release();
    target->Release();
    End_Frame(false);
}

TEST_F(PrimitiveGlTest, ScreenBitmapHoldsTheViewsPixels) {
    OpenGl(64, 48);
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
    GR_Draw_Set_Colour(0x00FF00);
    GR_Draw_Rectangle(2, 1, 2, 1, false);
    EXPECT_EQ(GR_Screen_To_Bitmap(64, 0, 4, 4), nullptr);
    TBitmap* bitmap = GR_Screen_To_Bitmap(1, 1, 4, 100);
    End_Frame(false);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->GetWidth(), 4);
    EXPECT_EQ(bitmap->GetHeight(), 47);
    uint8_t* row = nullptr;
    int32_t stride = 0;
    bitmap->GetScanline(0, &row, &stride);
    ASSERT_NE(row, nullptr);
    uint32_t pixel;
    std::memcpy(&pixel, row + 4, 4);
    EXPECT_EQ(pixel, 0xFF00FF00u);
    delete bitmap;
}

TEST(CopyRegionTest, NegativeStartsMoveTheOtherSideAndSizesAreCutToBoth) {
    struct Case {
        int32_t dx, dy, sx, sy, w, h;
        bool any;
        int32_t outDx, outDy, outSx, outSy, outW, outH;
    };
    const Case cases[] = {
        {10, 10, -5, 0, 20, 20, true, 15, 10, 0, 0, 15, 20},  // source x -5: 5 fewer columns, 5 further right
        {-3, -4, 0, 0, 20, 20, true, 0, 0, 3, 4, 17, 16},     // negative destination pulls the source in
        {60, 0, 0, 0, 20, 20, true, 60, 0, 0, 0, 4, 20},      // cut to the destination's width
        {0, 0, 120, 0, 20, 20, true, 0, 0, 120, 0, 8, 20},    // cut to the source's width
        {0, 0, -30, 0, 20, 20, false, 30, 0, 0, 0, -10, 20},  // nothing left
    };
    for (const Case& c : cases) {
        int32_t dx = c.dx, dy = c.dy, sx = c.sx, sy = c.sy, w = c.w, h = c.h;
        EXPECT_EQ(GR_Clip_Copy_Region(64, 64, &dx, &dy, 128, 128, &sx, &sy, &w, &h), c.any);
        EXPECT_EQ((std::vector<int32_t>{dx, dy, sx, sy, w, h}),
                  (std::vector<int32_t>{c.outDx, c.outDy, c.outSx, c.outSy, c.outW, c.outH}));
    }
}

}  // namespace
