// Colour conversions and the colour, state and primitive built-ins.
#include <gtest/gtest.h>

#include <cmath>

#include "TextTestSupport.h"
#include "assets/Graphics_Colour.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_Primitive.h"

using namespace texttest;

namespace {

// An independent model of the conversions: every intermediate stored in a float variable.
uint8_t ModelRound(double x) {
    const double t = std::trunc(x + 0.5);
    return t >= 255.0 ? 255 : t < 0.0 ? 0 : uint8_t(t);
}
uint8_t ModelByte(float x) {
    return ModelRound(double(x) * 255.0);
}

uint32_t ModelFromHSV(int h8, int s8, int v8) {
    volatile float h = float(h8 * 360) / 255.0f;
    if (h == 360.0f) h = 0.0f;
    volatile float s = float(s8) / 255.0f;
    volatile float v = float(v8) / 255.0f;
    float rgb[3] = {v, v, v};
    if (s != 0.0f) {
        volatile float hh = h / 60.0f;
        const int i = int(hh);
        volatile float f = hh - float(i);
        volatile float oneMinusS = 1.0f - s;
        volatile float p = oneMinusS * v;
        volatile float fs = f * s;
        volatile float q = (1.0f - fs) * v;
        volatile float gs = (1.0f - f) * s;
        volatile float t = (1.0f - gs) * v;
        const float table[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
        for (int k = 0; k < 3; ++k) rgb[k] = table[i < 5 ? i : 5][k];
    }
    return uint32_t(ModelByte(rgb[2])) << 16 | uint32_t(ModelByte(rgb[1])) << 8 | ModelByte(rgb[0]);
}

ColourHSV ModelToHSV(uint32_t colour) {
    volatile float r = float(colour & 255) / 255.0f;
    volatile float g = float(colour >> 8 & 255) / 255.0f;
    volatile float b = float(colour >> 16 & 255) / 255.0f;
    const float max = std::max({float(r), float(g), float(b)});
    const float min = std::min({float(r), float(g), float(b)});
    volatile float delta = max - min;
    volatile float s = max == 0.0f ? 0.0f : delta / max;
    volatile float h = 0.0f;
    if (s != 0.0f) {
        volatile float d = r == max ? g - b : g == max ? b - r : r - g;
        volatile float scaled = d * 60.0f;
        volatile float part = scaled / delta;
        h = part + (r == max ? 0.0f : g == max ? 120.0f : 240.0f);
        if (h < 0.0f) h = h + 360.0f;
    }
    volatile float h255 = h * 255.0f;
    volatile float hue = h255 / 360.0f;
    return {ModelRound(hue), ModelByte(s), ModelByte(max)};
}

// The render-state built-ins need a device.
class ColourStateTest : public TextTest {};

}  // namespace

TEST(ColourConversion, PrimariesGreyAndBlackHaveTheirHSV) {
    struct Case {
        uint32_t colour;
        uint8_t h, s, v;
    } cases[] = {{0x0000FF, 0, 255, 255},
                 {0x00FF00, 85, 255, 255},
                 {0xFF0000, 170, 255, 255},
                 {0x808080, 0, 0, 128},
                 {0x000000, 0, 0, 0}};
    for (const Case& c : cases) {
        const ColourHSV hsv = Colour_GetHSV(c.colour);
        EXPECT_EQ(hsv.h, c.h) << std::hex << c.colour;
        EXPECT_EQ(hsv.s, c.s) << std::hex << c.colour;
        EXPECT_EQ(hsv.v, c.v) << std::hex << c.colour;
    }
    EXPECT_EQ(Colour_FromHSV({85, 255, 255}), 0x00FF00u);
    EXPECT_EQ(Colour_FromHSV({255, 255, 255}), 0x0000FFu);  // hue 255 is hue 0
}

TEST(ColourConversion, EveryHueMatchesTheSinglePrecisionModelBothWays) {
    for (int h = 0; h < 256; ++h) {
        for (int s : {0, 1, 64, 128, 200, 255}) {
            for (int v : {0, 1, 100, 128, 254, 255}) {
                const uint32_t colour = Colour_FromHSV(Colour_MakeHSVTriple(h, s, v));
                ASSERT_EQ(colour, ModelFromHSV(h, s, v)) << h << "," << s << "," << v;
                const ColourHSV back = Colour_GetHSV(colour), model = ModelToHSV(colour);
                ASSERT_EQ(back.h, model.h) << std::hex << colour;
                ASSERT_EQ(back.s, model.s) << std::hex << colour;
                ASSERT_EQ(back.v, model.v) << std::hex << colour;
            }
        }
    }
}

TEST(ColourConversion, MergeRoundsHalfToEvenAndWrapsOutsideTheRange) {
    EXPECT_EQ(Colour_Merge(0x000000, 0xFFFFFF, 0.5f), 0x808080u);
    EXPECT_EQ(Colour_Merge(0x000000, 0x0000FF, 2.0f), 0x0000FEu);
    EXPECT_EQ(Colour_Merge(0x102030, 0x102030, 0.3f), 0x102030u);
    EXPECT_EQ(Colour_Merge(0x0000FF, 0x000000, 0.0f), 0x0000FFu);
}

TEST(ColourBuiltins, MakeAndTakeApartAsTheTableSays) {
    EXPECT_EQ(Call("make_colour_rgb", {R(255), R(128), R(0)}), 255 + 128 * 256);
    EXPECT_EQ(Call("make_color_rgb", {R(256), R(0), R(0)}), 256);  // spills into green
    EXPECT_EQ(Call("make_colour_hsv", {R(256), R(255), R(255)}),
              Call("make_colour_hsv", {R(0), R(255), R(255)}));
    EXPECT_EQ(Call("colour_get_blue", {R(10 * 65536 + 11 * 256 + 12)}), 10);
    EXPECT_EQ(Call("color_get_green", {R(10 * 65536 + 11 * 256 + 12)}), 11);
    EXPECT_EQ(Call("colour_get_red", {R(-1)}), -1);
    EXPECT_EQ(Call("colour_get_hue", {R(0x00FF00)}), 85);
    EXPECT_EQ(Call("colour_get_saturation", {R(0x808080)}), 0);
    EXPECT_EQ(Call("colour_get_value", {R(0x808080)}), 128);
    EXPECT_EQ(Call("merge_colour", {R(0), R(0xFFFFFF), R(0.5)}), 0x808080);
}

TEST_F(ColourStateTest, DrawStateRoundTrips) {
    Call("draw_set_colour", {R(0x123456)});
    Call("draw_set_alpha", {R(2.0)});
    EXPECT_EQ(Call("draw_get_colour"), 0x123456);
    EXPECT_EQ(Call("draw_get_alpha"), 1.0);
    Call("draw_set_alpha", {R(-1.0)});
    EXPECT_EQ(Call("draw_get_alpha"), 0.0);
    EXPECT_EQ(Call("draw_get_color"), 0x123456);
    GR_Draw_Set_Colour(0);
    GR_Draw_Set_Alpha(1.0f);

    struct Case {
        int32_t asked, got;
    } precisions[] = {{30, 28}, {2, 4}, {100, 64}};
    for (const Case& c : precisions) {
        Call("draw_set_circle_precision", {R(c.asked)});
        EXPECT_EQ(GR_Get_Circle_Precision(), c.got) << c.asked;
    }
    GR_Set_Circle_Precision(24);

    Call("draw_set_alpha_test", {R(1)});
    Call("draw_set_alpha_test_ref_value", {R(200)});
    EXPECT_EQ(Call("draw_get_alpha_test"), 1);
    EXPECT_EQ(Call("draw_get_alpha_test_ref_value"), 200);
}

TEST(ColourBuiltins, DrawingAMissingPathIsReportedAndDrawsNothing) {
    std::vector<std::string> reported;
    static std::vector<std::string>* sink = nullptr;
    sink = &reported;
    const RuntimeErrorReporter previous =
        Runtime_SetNonFatalReporter([](const char* m) { sink->push_back(m); });
    Call("draw_path", {R(3), R(10), R(20), R(0)});
    Runtime_SetNonFatalReporter(previous);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "Trying to drawn non-existing path.");

    struct Drawn {
        int32_t path;
        float x, y;
        bool absolute;
    };
    static std::vector<Drawn> drawn;
    drawn.clear();
    g_DrawBuiltinHooks.pathExists = [](int32_t) { return true; };
    g_DrawBuiltinHooks.pathDraw = [](int32_t p, float x, float y, bool a) { drawn.push_back({p, x, y, a}); };
    Call("draw_path", {R(3), R(10), R(20), R(0)});
    Call("draw_path", {R(3), R(10), R(20), R(1)});
    DrawBuiltinHooks_Reset();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].x, 10.0f);
    EXPECT_FALSE(drawn[0].absolute);
    EXPECT_EQ(drawn[1].x, 0.0f);  // an absolute path is drawn where it lies
    EXPECT_TRUE(drawn[1].absolute);
}

namespace {
class PixelBuiltinTest : public GraphicsTest {};
}  // namespace

TEST_F(PixelBuiltinTest, ClearsAreOpaqueOrCarryTheirAlphaAndReadBackInGameOrder) {
    ResetState();
    UseSoftwareGl();
    Open(0, 64, 48);
    ASSERT_NE(g_D3D.device, nullptr);
    ASSERT_TRUE(Start_Frame());
    GR_Draw_Set_Alpha(0.3f);
    Call("draw_clear", {R(0xFF0000)});  // blue, opaque whatever the draw alpha
    EXPECT_EQ(Call("draw_getpixel", {R(5), R(5)}), 16711680);
    EXPECT_EQ(Call("draw_getpixel_ext", {R(5.4), R(5)}), double(0xFFFF0000u));
    Call("draw_clear_alpha", {R(255), R(0)});  // transparent red
    EXPECT_EQ(Call("draw_getpixel_ext", {R(5), R(5)}), 255);
    End_Frame(false);
    GR_Draw_Set_Alpha(1.0f);
}
