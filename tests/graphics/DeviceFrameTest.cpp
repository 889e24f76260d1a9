// Device creation, the frame, presentation pacing, resets through the countdown and the
// display back-ends, on the trace device.
#include <vector>

#include "GraphicsFixture.h"
#include "core/Timing.h"
#include "platform/Display.h"

namespace {

using DeviceFrameTest = GraphicsTest;

TEST_F(DeviceFrameTest, InitLogsEachStepAndSetsUpTheDefaultView) {
    Open();
    EXPECT_EQ(s_log,
              "Enable DwmEnableMMCSS\n"
              "Create D3D9Ex interface\n"
              "Enumerate Adapters\n"
              "Selected Resolution: 640x480\n"
              "Prepare to create device\n"
              "Creating D3D device - ARGB=32bit, D24S8, SwapEffect=Copy, Hardware vertex processing\n"
              "Creating screen render target\n"
              "Get Device Caps\n"
              "Graphics initialisation end...\n");
    const GpuPresentParameters& params = Trace().Parameters();
    EXPECT_EQ(params.BackBufferWidth, 640u);
    EXPECT_EQ(params.SwapEffect, uint32_t{D3DSWAPEFFECT_COPY});
    EXPECT_EQ(params.BackBufferCount, 1u);
    EXPECT_EQ(params.AutoDepthStencilFormat, uint32_t{D3DFMT_D24S8});
    EXPECT_EQ(params.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_TRUE(params.Windowed);
    EXPECT_EQ(g_D3D.resourcePool, uint32_t{D3DPOOL_DEFAULT});
    EXPECT_EQ(g_D3D.multisampleMask, 2u | 4u);
    EXPECT_GE(Trace().Find("SetViewport(0,0,640,480,0,1)"), 0);
    EXPECT_EQ(g_ViewBounds.right, 640);
    // Clears before the first scene change nothing.
    EXPECT_EQ(Trace().Count("Clear("), 0u);
}

TEST_F(DeviceFrameTest, WithoutTheCompositorThePlainInterfaceRunsWithoutAlternateSync) {
    g_GRHooks.compositorAvailable = [] { return false; };
    g_D3D.alternateSync = true;
    Open(GR_FLAG_VSYNC);
    EXPECT_NE(s_log.find("Create D3D9 interface\n"), std::string::npos);
    EXPECT_EQ(s_log.find("DwmEnableMMCSS"), std::string::npos);
    EXPECT_FALSE(g_D3D.alternateSync);
    EXPECT_EQ(g_D3D.resourcePool, uint32_t{D3DPOOL_MANAGED});
    EXPECT_EQ(Trace().Parameters().PresentationInterval, D3DPRESENT_INTERVAL_DEFAULT);
}

TEST_F(DeviceFrameTest, CreationFallsBackThenGivesUpWithAMessage) {
    static int attempts;
    static std::vector<uint32_t> swapEffects;
    static std::string message;
    static int exitCode;
    attempts = 0;
    swapEffects.clear();
    message.clear();
    exitCode = 0;
    g_D3D.alternateSync = true;
    g_GRHooks.createDevice = [](void*, GpuPresentParameters* params, uint32_t, Device**) -> HRESULT {
        ++attempts;
        swapEffects.push_back(params->SwapEffect);
        return D3DERR_NOTAVAILABLE;
    };
    g_GRHooks.showMessage = [](const char* text) { message = text; };
    g_GRHooks.exitProcess = [](int32_t code) { exitCode = code; };
    EXPECT_FALSE(GR_D3D_Init(nullptr, 640, 480, 0));
    EXPECT_EQ(swapEffects,
              (std::vector<uint32_t>{D3DSWAPEFFECT_FLIPEX, D3DSWAPEFFECT_COPY, D3DSWAPEFFECT_DISCARD}));
    EXPECT_NE(
        s_log.find("Creating D3D device - ARGB=32bit, D16, SwapEffect=Discard, Software Vertex Processing\n"),
        std::string::npos);
    EXPECT_EQ(
        message.rfind("Failed to create Direct3D Device. Please check that your drivers are up-to-date.", 0),
        0u);
    EXPECT_EQ(exitCode, -1);
}

TEST_F(DeviceFrameTest, FullScreenTakesTheDesktopSize) {
    Open(GR_FLAG_FULLSCREEN, 640, 480);
    EXPECT_NE(s_log.find("Selected Resolution: 1920x1080\n"), std::string::npos);
    EXPECT_EQ(Trace().Parameters().BackBufferWidth, 1920u);
    EXPECT_FALSE(Trace().Parameters().Windowed);
}

TEST_F(DeviceFrameTest, ADisplayOfAnotherDepthRefusesToStart) {
    static std::string message;
    message.clear();
    g_GRHooks.showMessage = [](const char* text) { message = text; };
    Display_SetVirtualMode(1920, 1080, 24, 60);
    EXPECT_FALSE(GR_D3D_Init(nullptr, 640, 480, 0));
    Display_SetVirtualMode(1920, 1080, 32, 60);
    EXPECT_EQ(
        message,
        "This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this in your "
        "display properties and run again.");
    EXPECT_EQ(s_trace, nullptr);
}

TEST_F(DeviceFrameTest, ScenesDoNotNestAndEndFrameMayLeaveOutPresent) {
    Open();
    Trace().ClearCalls();
    ASSERT_TRUE(Start_Frame());
    GR_D3D_Begin_Scene();
    EXPECT_TRUE(End_Frame(false));
    EXPECT_EQ(Trace().Count("BeginScene"), 1u);
    EXPECT_EQ(Trace().Count("EndScene"), 1u);
    EXPECT_EQ(Trace().Count("Present"), 0u);
    Start_Frame();
    End_Frame(true);
    EXPECT_EQ(Trace().Count("Present"), 1u);
    EXPECT_EQ(g_D3D.sceneDepth, 0);
}

TEST_F(DeviceFrameTest, WithoutADeviceFramesAndDeviceCallsDoNothing) {
    EXPECT_FALSE(Start_Frame());
    EXPECT_FALSE(End_Frame(true));
    EXPECT_FALSE(GR_D3D_Reset_Device());
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, Matrix_Identity);
    GraphicsFlush();
}

struct FakeClock {
    static inline int64_t now = 0;
    static inline std::vector<int64_t> waits;
    static int64_t Time() { return now += 100; }
    static void Wait(int64_t micros) { waits.push_back(micros); }
};

TEST_F(DeviceFrameTest, FlipPresentationPacesToTheFrameRateOnlyWithVerticalSync) {
    FakeClock::now = 1000;
    FakeClock::waits.clear();
    g_GRHooks.timeMicros = FakeClock::Time;
    g_GRHooks.wait = FakeClock::Wait;
    g_D3D.alternateSync = true;
    Open(GR_FLAG_VSYNC);
    EXPECT_EQ(Trace().Parameters().SwapEffect, uint32_t{D3DSWAPEFFECT_FLIPEX});
    EXPECT_EQ(Trace().Parameters().PresentationInterval, D3DPRESENT_INTERVAL_ONE);
    g_D3D.targetFrameRate = 60;
    Start_Frame();
    End_Frame(true);
    // The first frame waits the frame's period less 0.9 of a 60 Hz refresh period.
    ASSERT_EQ(FakeClock::waits.size(), 1u);
    EXPECT_EQ(FakeClock::waits[0], 16666 - 15000);
    GR_D3D_Set_VSync(false);
    Start_Frame();
    End_Frame(true);
    EXPECT_EQ(FakeClock::waits.size(), 1u);
    EXPECT_EQ(Trace().Count("Present"), 2u);
}

TEST_F(DeviceFrameTest, MultisampleRequestsTakeEffectAtTheNextReset) {
    Open();
    GR_D3D_Set_Multisample(3);
    EXPECT_EQ(g_D3D.pendingMultisample, 0u);
    EXPECT_EQ(g_D3D.resetSwapEffect, uint32_t{D3DSWAPEFFECT_COPY});
    GR_D3D_Set_Multisample(4);
    Trace().ClearCalls();
    Run_ResetCountdown = 1;
    GR_D3D_Apply_Reset_Countdown();
    EXPECT_EQ(Trace().Calls().front(), "Reset(640,480,4,1,1)");
    EXPECT_EQ(Run_ResetCountdown, 0);
}

TEST_F(DeviceFrameTest, FailedResetDropsMultisamplingForGood) {
    Open();
    GR_D3D_Set_Multisample(4);
    Trace().resetResults = {E_FAIL};
    Trace().ClearCalls();
    EXPECT_TRUE(GR_D3D_Reset());
    EXPECT_NE(s_log.find("Reset() Failed: 80004005\n"), std::string::npos);
    EXPECT_NE(s_log.find("Change SWAP+Multisample type effect, try Reset() again\n"), std::string::npos);
    EXPECT_EQ(Trace().Calls()[Trace().Find("Reset(")], "Reset(640,480,4,1,1)");
    EXPECT_EQ(Trace().Calls()[Trace().Find("Reset(", Trace().Find("Reset(") + 1)], "Reset(640,480,0,1,1)");
    EXPECT_EQ(g_D3D.pendingMultisample, 0u);
    EXPECT_EQ(g_D3D.resetSwapEffect, uint32_t{D3DSWAPEFFECT_DISCARD});
}

TEST_F(DeviceFrameTest, CountdownAppliesTheWindowSizeThenResetsAndResendsState) {
    static int surfaceReleases;
    surfaceReleases = 0;
    g_GRHooks.surfaceReleaseAll = [] { ++surfaceReleases; };
    Open();
    g_D3D.pendingWidth = 800;
    g_D3D.pendingHeight = 600;
    Run_ResetCountdown = 10;
    for (int frame = 0; frame < 9; ++frame) GR_D3D_Apply_Reset_Countdown();
    int32_t width = 0, height = 0;
    GR_D3D_Get_Render_Size(&width, &height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(Run_ResetCountdown, 1);
    EXPECT_EQ(Trace().Count("Reset("), 0u);
    Trace().ClearCalls();
    GR_D3D_Apply_Reset_Countdown();
    EXPECT_EQ(Trace().Count("Reset(800,600"), 1u);
    EXPECT_EQ(surfaceReleases, 1);
    EXPECT_EQ(g_D3D.backBufferWidth, 800);
    EXPECT_EQ(g_D3D.restoreWidth, 800);
    EXPECT_EQ(g_D3D.pendingWidth, -1);
    // The device lost its states: every cached one is sent again.
    EXPECT_GE(Trace().Count("SetRenderState("), 28u);
    EXPECT_GE(Trace().Count("SetSamplerState("), 32u);
}

TEST_F(DeviceFrameTest, AMinimisedWindowsEmptySizeNeitherResizesNorResets) {
    Open();
    g_D3D.pendingWidth = 0;
    g_D3D.pendingHeight = 0;
    Trace().ClearCalls();
    Run_ResetCountdown = 3;
    for (int frame = 0; frame < 3; ++frame) GR_D3D_Apply_Reset_Countdown();
    EXPECT_EQ(Trace().Count("Reset("), 0u);
    EXPECT_EQ(Trace().Count("SetViewport"), 0u);
    EXPECT_EQ(g_D3D.renderWidth, 640);
    EXPECT_EQ(Run_ResetCountdown, 0);
}

TEST_F(DeviceFrameTest, LeavingFullScreenRestoresTheEarlierWindowSize) {
    Open();
    // What switching to full screen leaves behind: the windowed size remembered.
    g_D3D.rememberedWidth = 800;
    g_D3D.rememberedHeight = 600;
    g_D3D.fullscreen = true;
    ASSERT_TRUE(GR_D3D_Reset());
    EXPECT_EQ(g_D3D.backBufferWidth, 1920);
    g_D3D.fullscreen = false;
    Trace().ClearCalls();
    ASSERT_TRUE(GR_D3D_Reset());
    EXPECT_EQ(Trace().Count("Reset(800,600,0,3,1)"), 1u);
    EXPECT_EQ(g_D3D.backBufferWidth, 800);
    EXPECT_EQ(g_D3D.rememberedWidth, -1);
}

TEST_F(DeviceFrameTest, ResizeIsCutToTheScreen) {
    Open();
    GR_D3D_Resize(4000, 300);
    int32_t width = 0, height = 0;
    GR_D3D_Get_Render_Size(&width, &height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 300);
    EXPECT_EQ(g_Viewport.width, 1920);
}

TEST_F(DeviceFrameTest, ShutdownPrintsTheFrameRatesMeasuredAfterTheFirstHundredFrames) {
    struct StepClock final : ITimingClock {
        int64_t now = 1000;
        int64_t Now() override { return now; }
        void Sleep(int64_t micros) override { now += micros; }
    } clock;
    ITimingClock* before = Timing_SetClock(&clock);
    Open();
    auto frame = [&](int64_t period) {
        Start_Frame();
        clock.now += period;
        End_Frame(false);
    };
    for (int i = 0; i < 101; ++i) frame(1000);  // 1000 fps, before tracking starts
    for (int64_t period : {16000, 20000, 12500}) frame(period);
    Timing_SetClock(before);
    GR_D3D_Print_Fps_Stats();
    const std::string dashes(63, '-');
    // 50 the slowest, 80 the fastest, 3 frames in 48.5 ms on average.
    EXPECT_EQ(s_log.substr(s_log.find(dashes)),
              dashes + "\nminFPS, maxFPS, avgFPS\n50, 80, 61\n" + dashes + "\n");
}

TEST_F(DeviceFrameTest, DisplayModesCanOnlyBeSetToTheCurrentOne) {
    EXPECT_EQ(Display_Get_Width(), 1920);
    EXPECT_EQ(Display_Get_Colour_Depth(), 32);
    EXPECT_TRUE(Display_Set_All(1920, 1080, 60, 32));
    EXPECT_TRUE(Display_Set_Size(1920, 1080));
    EXPECT_TRUE(Display_Test_All(0, 0, 60, 0));
    EXPECT_FALSE(Display_Set_Size(1024, 768));
    EXPECT_FALSE(Display_Set_Frequency(75));
}

TEST_F(DeviceFrameTest, PickDisplayModePrefersTheSmallestModeThatHoldsTheSize) {
    Open();
    const DisplayModeEntry fits = GR_D3D_Pick_Display_Mode(700, 500);
    EXPECT_EQ(fits.width, 800);
    EXPECT_EQ(fits.height, 600);
    // Nothing is tall enough: the closest area wins.
    const DisplayModeEntry closest = GR_D3D_Pick_Display_Mode(1600, 1200);
    EXPECT_EQ(closest.width, 1920);
}

}  // namespace
