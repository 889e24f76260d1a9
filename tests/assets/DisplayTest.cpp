// The display and window built-ins: runner-wide switches, screen saving on the GL device checked
// by a PNG reader of Python's own, and the clipping of screen_save_part.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "SpriteDrawSupport.h"
#include "assets/Function_Display.h"
#include "assets/Function_Graphics_Colour.h"
#include "assets/ImageDecode.h"
#include "core/RunSwitches.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "io/LoadSave.h"
#include "app/MainLoop.h"

using namespace spritetest;

namespace {

// Decodes an 8-bit RGBA PNG with zlib only and prints "width height" and each distinct pixel.
constexpr const char* kPngReader = R"PY(
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
pos, idat, w, h = 8, b'', 0, 0
while pos < len(data):
    n, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    if kind == b'IHDR':
        w, h, depth, colour = struct.unpack('>IIBB', body[:10])
        assert depth == 8 and colour == 6
    elif kind == b'IDAT':
        idat += body
    pos += 12 + n
raw, stride, prev, pixels = zlib.decompress(idat), w * 4, bytearray(w * 4), set()
for y in range(h):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - 4] if i >= 4 else 0
        b, c = prev[i], prev[i - 4] if i >= 4 else 0
        p = a + b - c
        pr = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else (b if abs(p - b) <= abs(p - c) else c)
        line[i] = (line[i] + [0, a, b, (a + b) // 2, pr][f]) & 255
    pixels.update(tuple(line[i:i + 4]) for i in range(0, stride, 4))
    prev = line
print(w, h, *sorted(pixels))
)PY";

std::string ReadPng(const std::string& path) {
    const std::string script = path + ".py";
    if (FILE* f = std::fopen(script.c_str(), "w")) {
        std::fputs(kPngReader, f);
        std::fclose(f);
    }
    std::string out;
    if (FILE* p = popen(("python3 " + script + " " + path + " 2>&1").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    std::remove(script.c_str());
    return out;
}

template <typename Base>
class DisplayFixture : public SpriteDrawFixture<Base> {
protected:
    void SetUp() override {
        SpriteDrawFixture<Base>::SetUp();
        static const bool registered = (InitDisplayFunctions(), InitColourFunctions(), true);
        (void)registered;
        char folder[] = "/tmp/hv_display_XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_root = folder;
        LoadSave_SetSaveArea((m_root + "/").c_str());
        Image_SetSavePathResolver([](char* buffer, int32_t size, const char* name) {
            return LoadSave_GetSavePath(buffer, static_cast<size_t>(size), name);
        });
    }
    void TearDown() override {
        Image_SetSavePathResolver(nullptr);
        std::filesystem::remove_all(m_root);
        SpriteDrawFixture<Base>::TearDown();
    }
    static RValue S(const char* text) {
        RValue v = RValue_Undefined();
        RValue_SetString(&v, text);
        return v;
    }
    std::string m_root;
};

class DisplayTest : public DisplayFixture<TextureTest> {};
class GlDisplayTest : public DisplayFixture<GlTextureTest> {};

TEST_F(DisplayTest, RunnerWideSwitchesKeepTheirRanges) {
    const int32_t method = g_Switches.vertexBufferMethod;
    Call("display_set_windows_vertex_buffer_method", {R(5)});
    EXPECT_EQ(CallReal("display_get_windows_vertex_buffer_method", {}), method);
    Call("display_set_windows_vertex_buffer_method", {R(2)});
    EXPECT_EQ(CallReal("display_get_windows_vertex_buffer_method", {}), 2);
    g_Switches.vertexBufferMethod = method;

    for (auto [given, stored] : {std::pair{-2.0, 0.0}, {7.0, 1.0}, {0.25, 0.25}}) {
        Call("draw_set_swf_aa_level", {R(given)});
        EXPECT_EQ(CallReal("draw_get_swf_aa_level", {}), stored) << given;
    }
    g_VectorSpriteAntiAliasLevel = 1.0f;

    Run_ResetCountdown = 0;
    Call("display_reset", {R(3), R(0)});
    EXPECT_EQ(Run_ResetCountdown, 1);  // scheduled, not done
    EXPECT_EQ(g_D3D.pendingMultisample, 0u);
    Run_ResetCountdown = 0;

    Call("draw_enable_drawevent", {R(0)});
    EXPECT_FALSE(g_FrameSwitches.drawingEnabled);
    Call("draw_enable_drawevent", {R(1)});
    EXPECT_TRUE(g_FrameSwitches.drawingEnabled);

    Call("window_set_visible", {R(0)});
    Call("window_set_stayontop", {R(1)});
    EXPECT_EQ(CallReal("window_get_visible", {}), 1);
    EXPECT_EQ(CallReal("window_get_stayontop", {}), 0);
    EXPECT_EQ(CallReal("display_get_orientation", {}), 0);
}

TEST(ScreenClip, TheRectangleIsCutToTheBackBuffer) {
    struct Case {
        int32_t x, y, w, h;
        bool kept;
        int32_t cx, cy, cw, ch;
    };
    const Case cases[] = {
        {-10, 0, 50, 10, true, 0, 0, 40, 10},   {0, -5, 10, 10, true, 0, 0, 10, 5},
        {60, 0, 10, 10, true, 60, 0, 4, 10},    {0, 0, 0, 10, false, 0, 0, 0, 10},
        {-20, 0, 10, 10, false, 0, 0, -10, 10}, {10, 40, 5, 9, true, 10, 40, 5, 8},
    };
    for (const Case& c : cases) {
        int32_t x = c.x, y = c.y, w = c.w, h = c.h;
        EXPECT_EQ(Screen_ClipRectangle(64, 48, &x, &y, &w, &h), c.kept) << c.x << "," << c.w;
        if (c.kept) {
            EXPECT_EQ((std::vector<int32_t>{x, y, w, h}), (std::vector<int32_t>{c.cx, c.cy, c.cw, c.ch}));
        }
    }
}

TEST_F(GlDisplayTest, ScreenSaveWritesAnOpaquePngOfTheWholeBackBuffer) {
    Open(0, 64, 48);
    ASSERT_TRUE(Start_Frame());
    Call("draw_clear", {R(255)});
    Call("screen_save", {S("s.png")});
    Call("screen_save_part", {S("part.png"), R(-10), R(0), R(50), R(8)});
    Call("screen_save_part", {S("none.png"), R(0), R(0), R(0), R(8)});
    ASSERT_TRUE(End_Frame(false));
    EXPECT_EQ(ReadPng(m_root + "/s.png"), "64 48 (255, 0, 0, 255)\n");
    EXPECT_EQ(ReadPng(m_root + "/part.png"), "40 8 (255, 0, 0, 255)\n");
    EXPECT_FALSE(std::filesystem::exists(m_root + "/none.png"));
}

}  // namespace
