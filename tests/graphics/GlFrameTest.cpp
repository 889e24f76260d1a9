// Whole frames through the device layer on the real GL device: off-screen, and in a window
// on a private X server.
#include <SDL.h>

#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "support/GpuTestSupport.h"
#include "support/PrivateXServer.h"

namespace {

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

// Two triangles covering (x0, y0)-(x1, y1) through the batch.
void DrawQuad(float x0, float y0, float x1, float y1, uint32_t colour) {
    auto* v = static_cast<Vertex*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, nullptr, GR_FORMAT_XYZCUV, 6));
    const Vertex corners[6] = {{x0, y0, 0, colour, 0, 0}, {x1, y0, 0, colour, 1, 0},
                               {x0, y1, 0, colour, 0, 1}, {x1, y0, 0, colour, 1, 0},
                               {x1, y1, 0, colour, 1, 1}, {x0, y1, 0, colour, 0, 1}};
    std::copy(corners, corners + 6, v);
}

class GlFrameTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        UseSoftwareGl();
        GR_Hooks_Reset();  // the real device
    }

    std::vector<uint32_t> BackBuffer() { return ReadBackBuffer(g_D3D.device); }
};

TEST_F(GlFrameTest, ClearedFrameReadsBackTheDeviceColour) {
    Open(0, 64, 48);
    ASSERT_TRUE(Start_Frame());
    GR_D3D_Clear(0xFF00FF00u, 1.0f, 0, 7);
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = BackBuffer();
    ASSERT_EQ(pixels.size(), 64u * 48u);
    for (uint32_t pixel : pixels) ASSERT_EQ(pixel, 0xFF00FF00u);
}

TEST_F(GlFrameTest, BatchedQuadAtWholeCoordinatesLightsExactlyItsPixels) {
    Open(0, 64, 48);
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
    DrawQuad(10, 20, 12, 22, 0xFFFFFFFFu);
    End_Frame(true);
    const std::vector<uint32_t> pixels = BackBuffer();
    std::vector<std::pair<int, int>> lit;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (pixels[y * 64 + x] != 0xFF000000u) lit.emplace_back(x, y);
        }
    }
    EXPECT_EQ(lit, (std::vector<std::pair<int, int>>{{10, 20}, {11, 20}, {10, 21}, {11, 21}}));
    EXPECT_EQ(pixels[20 * 64 + 10], 0xFFFFFFFFu);
}

TEST_F(GlFrameTest, AdditiveBlendOfHalfGreyOnDarkGrey) {
    Open(0, 16, 16);
    Start_Frame();
    GR_D3D_Clear(0xFF404040u, 1.0f, 0, 7);
    GR_Set_Blend_Mode(1);
    DrawQuad(0, 0, 16, 16, 0xFF808080u);
    End_Frame(true);
    const uint32_t pixel = BackBuffer()[8 * 16 + 8];
    EXPECT_EQ(pixel >> 24, 0xFFu);
    for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>(pixel >> shift & 0xFF), 0xC0, 1) << shift;
}

TEST_F(GlFrameTest, WorldTransformMovesBatchedDrawing) {
    Open(0, 32, 32);
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
    GR_Transform_Set_Translation(5, 3, 0);
    DrawQuad(0, 0, 1, 1, 0xFF0000FFu);
    End_Frame(true);
    const std::vector<uint32_t> pixels = BackBuffer();
    EXPECT_EQ(pixels[3 * 32 + 5], 0xFF0000FFu);
    EXPECT_EQ(pixels[0], 0xFF000000u);
}

TEST_F(GlFrameTest, WindowShowsFramesAndResizesThroughTheCountdown) {
    PrivateXServer server;
    if (!server.Start()) GTEST_SKIP() << "Xvfb is not available";
    server.Select();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window =
        SDL_CreateWindow("device test", 0, 0, 320, 240, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    g_GRHooks.processMessages = [] { SDL_PumpEvents(); };

    ASSERT_TRUE(GR_D3D_Init(window, 320, 240, 0));
    auto frame = [] {
        GR_D3D_Apply_Reset_Countdown();
        Start_Frame();
        GR_D3D_Clear(0xFF336699u, 1.0f, 0, 7);
        DrawQuad(4, 4, 20, 20, 0xFFFFFFFFu);
        End_Frame(true);
    };
    frame();
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN);
    EXPECT_FALSE(g_D3D.firstShowPending);
    EXPECT_EQ(BackBuffer()[0], 0xFF996633u);

    // The window procedure's request after a user resize.
    g_D3D.pendingWidth = 400;
    g_D3D.pendingHeight = 300;
    Run_ResetCountdown = 10;
    for (int i = 0; i < 10; ++i) frame();
    EXPECT_EQ(Run_ResetCountdown, 0);
    EXPECT_EQ(g_D3D.renderWidth, 400);
    EXPECT_EQ(g_D3D.backBufferHeight, 300);
    const std::vector<uint32_t> pixels = BackBuffer();
    ASSERT_EQ(pixels.size(), 400u * 300u);
    EXPECT_EQ(pixels[299 * 400 + 399], 0xFF996633u);
    EXPECT_EQ(pixels[10 * 400 + 10], 0xFFFFFFFFu);

    GR_D3D_Shutdown();
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
