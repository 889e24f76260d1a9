// The debug overlay: its text pen, the tap sequences and switches, and on the real GL device
// the frame-rate line and the timing bar of a frame of known length.
#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "core/RunSwitches.h"
#include "core/Timing.h"
#include "graphics/BuiltinImages.h"
#include "graphics/Graphics_Overlay.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Window.h"
#include "support/GpuTestSupport.h"

namespace {

constexpr uint32_t kTextWhite = 0xFFFFFFFFu, kOutlineBlack = 0xFF000000u;

struct FixedClock final : ITimingClock {
    int64_t now = 5000;
    int64_t Now() override { return now; }
    void Sleep(int64_t micros) override { now += micros; }
};

// The pointer the overlay reads: a position on the 640 x 480 window and button 1.
struct Pointer {
    float x = -1.0f, y = -1.0f;
    bool held = false;
};
Pointer g_pointer;

bool ReadPointer(float* x, float* y) {
    *x = g_pointer.x;
    *y = g_pointer.y;
    return g_pointer.held;
}

class OverlayTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        m_savedWindow = {g_Window.baseWidth, g_Window.baseHeight};
        g_Window.baseWidth = 640;
        g_Window.baseHeight = 480;
        m_savedFlags = g_Switches.debugOverlayFlags;
        g_Switches.debugOverlayFlags = 0;
        g_pointer = {};
    }
    void TearDown() override {
        GraphicsTest::TearDown();
        g_Window.baseWidth = m_savedWindow.first;
        g_Window.baseHeight = m_savedWindow.second;
        g_Switches.debugOverlayFlags = m_savedFlags;
    }

    // One input frame with the pointer held at the centre of a grid cell.
    static void HoldInCell(uint32_t step) {
        g_pointer = {(static_cast<float>(step & 0xFF) + 0.5f) * 64.0f,
                     (static_cast<float>((step >> 8) & 0xFF) + 0.5f) * 48.0f, true};
        Overlay_Handle_Input();
    }

    std::pair<int32_t, int32_t> m_savedWindow;
    int32_t m_savedFlags = 0;
};

TEST_F(OverlayTest, TextPenFollowsGlyphsTabsAndSkipsControlCharacters) {
    OpenInFrame();
    // A tab moves the pen to the next multiple of 64 and leaves a pen already there.
    EXPECT_EQ(Overlay_Draw_Text(10, 0, 1, 1, kTextWhite, "\t", 1), 54.0f);
    EXPECT_EQ(Overlay_Draw_Text(64, 0, 1, 1, kTextWhite, "\t", 1), 0.0f);
    const float ab = Overlay_Text_Width("AB", 2);
    ASSERT_GT(ab, 0.0f);
    EXPECT_EQ(Overlay_Draw_Text(0, 0, 1, 1, kTextWhite, "A\x01\nB", 4), ab);
    EXPECT_EQ(Overlay_Draw_Text(0, 0, 1, 1, kTextWhite,
                                "A\xC8"
                                "B",
                                3),
              ab);
    EXPECT_EQ(Overlay_Draw_Text(0, 0, 2, 1, kTextWhite, "AB", 1), Overlay_Text_Width("A", 1) * 2);
    // Longer than the old 2048-byte formatting buffer: formatted and measured whole.
    const std::string name(3000, 'W');
    EXPECT_EQ(Overlay_Printf_Outlined(0, 0, kOutlineBlack, kTextWhite, "%s", name.c_str()),
              Overlay_Text_Width(name.c_str(), 3000) + 2.0f);
    EXPECT_EQ(Overlay_Line_Height(), BuiltinFont_Glyphs['@' - BUILTIN_FONT_FIRST].height + 2);
}

TEST_F(OverlayTest, DrawingLeavesTheGamesMatricesAsTheyWere) {
    OpenInFrame();
    g_Switches.debugOverlayFlags = OVERLAY_BARS | OVERLAY_HEADER;
    Matrix4 world = Matrix_Identity;
    world.m[12] = 7.0f;
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, world);
    Matrix4 before[3];
    for (int32_t i = 0; i < 3; ++i) GR_D3D_Get_Matrix(i, &before[i]);
    End_Frame(false);
    for (int32_t i = 0; i < 3; ++i) {
        Matrix4 after;
        GR_D3D_Get_Matrix(i, &after);
        for (int k = 0; k < 16; ++k) EXPECT_FLOAT_EQ(after.m[k], before[i].m[k]) << i << "," << k;
    }
}

TEST_F(OverlayTest, OpeningSequenceShowsTheHeaderAndToleratesTapsOffTheGrid) {
    g_GRHooks.overlayPointer = ReadPointer;
    for (int32_t i = 0; i < OVERLAY_OPEN_STEPS - 1; ++i) {
        HoldInCell(Overlay_Open_Sequence[i]);
        if (i == 2) {
            g_pointer = {700.0f, 100.0f, true};  // beyond the base width: neither advances nor resets
            Overlay_Handle_Input();
        }
    }
    EXPECT_EQ(g_Switches.debugOverlayFlags & OVERLAY_HEADER, 0);
    HoldInCell(Overlay_Open_Sequence[OVERLAY_OPEN_STEPS - 1]);
    EXPECT_NE(g_Switches.debugOverlayFlags & OVERLAY_HEADER, 0);
}

TEST_F(OverlayTest, WrongCellStartsTheSequenceAgain) {
    g_GRHooks.overlayPointer = ReadPointer;
    for (int32_t i = 0; i < 3; ++i) HoldInCell(Overlay_Open_Sequence[i]);
    HoldInCell(Overlay_Step(5, 2, 0));  // not the fourth step
    for (int32_t i = 3; i < OVERLAY_OPEN_STEPS; ++i) HoldInCell(Overlay_Open_Sequence[i]);
    EXPECT_EQ(g_Switches.debugOverlayFlags & OVERLAY_HEADER, 0);
    for (int32_t i = 0; i < OVERLAY_OPEN_STEPS; ++i) HoldInCell(Overlay_Open_Sequence[i]);
    EXPECT_NE(g_Switches.debugOverlayFlags & OVERLAY_HEADER, 0);
    // Released, nothing is followed.
    g_pointer.held = false;
    for (int32_t i = 0; i < OVERLAY_MENU_STEPS; ++i) {
        const uint32_t step = Overlay_Menu_Sequence[i];
        g_pointer = {(static_cast<float>(step & 0xFF) + 0.5f) * 64.0f,
                     (static_cast<float>((step >> 8) & 0xFF) + 0.5f) * 48.0f, false};
        Overlay_Handle_Input();
    }
    EXPECT_EQ(g_Switches.debugOverlayFlags & OVERLAY_MENU, 0);
    for (int32_t i = 0; i < OVERLAY_MENU_STEPS; ++i) HoldInCell(Overlay_Menu_Sequence[i]);
    EXPECT_NE(g_Switches.debugOverlayFlags & OVERLAY_MENU, 0);
}

TEST_F(OverlayTest, SwitchesToggleWhileHeldAndCloseHidesHeaderAndMenuAtOnce) {
    g_GRHooks.overlayPointer = ReadPointer;
    g_Switches.debugOverlayFlags = OVERLAY_HEADER | OVERLAY_MENU;
    g_pointer = {40.0f, 18.0f, true};  // FPS
    Overlay_Handle_Input();
    EXPECT_EQ(g_Switches.debugOverlayFlags & OVERLAY_BARS, OVERLAY_BARS);
    Overlay_Handle_Input();  // still held: toggles again
    EXPECT_EQ(g_Switches.debugOverlayFlags & OVERLAY_BARS, 0);
    g_pointer = {40.0f, 38.0f, true};  // AUDIO
    Overlay_Handle_Input();
    EXPECT_EQ(g_Switches.debugOverlayFlags & OVERLAY_AUDIO, OVERLAY_AUDIO);
    EXPECT_TRUE(Overlay_Mouse_In_Rect(10, 30, 64, 16));
    EXPECT_FALSE(Overlay_Mouse_In_Rect(40, 38, 64, 16));  // the rectangle is open
    g_pointer = {600.0f, 88.0f, true};                    // CLOSE
    Overlay_Handle_Input();
    EXPECT_EQ(g_Switches.debugOverlayFlags & (OVERLAY_HEADER | OVERLAY_MENU), 0);
    EXPECT_EQ(g_Switches.debugOverlayFlags & OVERLAY_AUDIO, OVERLAY_AUDIO);
}

TEST_F(OverlayTest, MarkersNestAndStopAtTheFrameLimit) {
    FixedClock clock;
    ITimingClock* before = Timing_SetClock(&clock);
    Overlay_Timing_Begin(0xFF00FF00u, "outer");  // begins the frame ("Total") first
    Overlay_Timing_Begin(0xFF0000FFu, "inner");
    EXPECT_EQ(Overlay_Timing_End(), 1);
    EXPECT_EQ(Overlay_Timing_End(), 1);
    EXPECT_EQ(Overlay_Timing_End(), 1);  // "Total"
    EXPECT_EQ(Overlay_Timing_End(), 0);
    for (int32_t i = 0; i < OVERLAY_MAX_MARKERS + 5; ++i) Overlay_Timing_Begin(0xFFFFFFFFu, "many");
    int32_t closed = 0;
    while (Overlay_Timing_End() == 1) ++closed;
    EXPECT_EQ(closed, OVERLAY_MAX_MARKERS - 3);  // three markers of the frame were used above
    Timing_SetClock(before);
}

class OverlayGlTest : public OverlayTest {
protected:
    void SetUp() override {
        OverlayTest::SetUp();
        UseSoftwareGl();
        GR_Hooks_Reset();  // the real device
        GR_Texture_Startup();
        g_GRHooks.timeMicros = [] { return int64_t{0}; };  // presents take no time
        m_before = Timing_SetClock(&m_clock);
    }
    void TearDown() override {
        Timing_SetClock(m_before);
        OverlayTest::TearDown();
    }

    // A frame of `length` microseconds with the overlay flags given, cleared to blue.
    std::vector<uint32_t> Frame(int64_t length, int32_t flags, void (*draw)() = nullptr) {
        g_Switches.debugOverlayFlags = flags;
        Start_Frame();
        GR_D3D_Clear(0xFFFF0000u, 1.0f, 0, 7);
        if (draw) draw();
        m_clock.now += length;
        End_Frame(true);
        return ReadBackBuffer(g_D3D.device);
    }

    FixedClock m_clock;
    ITimingClock* m_before = nullptr;
};

constexpr uint32_t kBlue = 0xFF0000FFu;

TEST_F(OverlayGlTest, TenMillisecondFrameShowsOneHundredFpsAndAFifteenPercentTotalBar) {
    Open(0, 640, 480);
    const std::vector<uint32_t> shown = Frame(10000, OVERLAY_BARS);
    EXPECT_EQ(Overlay_Fps(), 100);
    // The same text drawn alone, without the bars.
    const std::vector<uint32_t> alone = Frame(10000, 0, [] {
        Overlay_Begin_Draw();
        Overlay_Printf_Outlined(0, 0, kOutlineBlack, kTextWhite, "100fps");
        Overlay_End_Draw();
    });
    ASSERT_EQ(shown.size(), 640u * 480u);
    const int textRight = static_cast<int>(Overlay_Text_Width("100fps", 6)) + 1;
    ASSERT_LT(textRight, 64);  // the tab after it starts at 64
    int white = 0;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x <= textRight + 1; ++x) {
            ASSERT_EQ(shown[y * 640 + x], alone[y * 640 + x]) << x << "," << y;
            white += shown[y * 640 + x] == kTextWhite;
        }
    }
    EXPECT_GT(white, 20);
    // Total, 0xFF000080 with red and blue swapped, from 0 to 0.15 x 640 = 96 on rows 10-19.
    for (int x = 0; x < 120; ++x) {
        const uint32_t expected = x < 96 ? 0xFF800000u : kBlue;
        EXPECT_EQ(shown[15 * 640 + x], expected) << x;
    }
    EXPECT_EQ(shown[9 * 640 + 120], kBlue);
    EXPECT_EQ(shown[20 * 640 + 50], kBlue);
}

TEST_F(OverlayGlTest, HeaderCoversTheTopOfTheWindow) {
    Open(0, 640, 480);
    const std::vector<uint32_t> pixels = Frame(10000, OVERLAY_HEADER);
    // Black at three-quarter opacity over blue, from the top to y 100.
    const uint32_t shaded = pixels[5 * 640 + 5];
    EXPECT_EQ(shaded & 0x00FFFF00u, 0u);
    EXPECT_LT(shaded & 0xFFu, 0x50u);
    EXPECT_EQ(pixels[110 * 640 + 5], kBlue);
    int whiteInTitle = 0;
    for (int y = 40; y < 54; ++y)
        for (int x = 0; x < 640; ++x) whiteInTitle += pixels[y * 640 + x] == kTextWhite;
    EXPECT_GT(whiteInTitle, 50);
}

}  // namespace
