// The main window on a real X server: made with OpenGL for the device, shown by the first
// present, fed by the one event pump, resized through the countdown and closed.
#include <SDL.h>

#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Window.h"
#include "base/GEN8.h"
#include "base/Runner.h"
#include "support/GpuTestSupport.h"
#include "support/PrivateXServer.h"

namespace {

std::vector<int32_t> g_keysDown;

void Frame() {
    GR_D3D_Apply_Reset_Countdown();
    Start_Frame();
    GR_D3D_Clear(0xFF336699u, 1.0f, 0, 7);
    End_Frame(true);
    ProcessMessages();
}

class WindowXTest : public GraphicsTest {};

TEST_F(WindowXTest, WindowTakesTheDeviceAndItsEventsComeThroughThePump) {
    PrivateXServer server;
    if (!server.Start()) GTEST_SKIP() << "Xvfb is not available";
    server.Select();
    UseSoftwareGl();
    GR_Hooks_Reset();  // the real device
    MEM_FREE(g_Window.caption);
    g_Window = WindowState{};
    Window_Hooks_Reset();
    const GameHeader savedHeader = g_GameHeader;
    g_GameHeader.infoFlags = WINDOW_FLAG_RESIZABLE;
    g_GRHooks.displayName = [] { return "Window Test"; };
    g_GRHooks.processMessages = ProcessMessages;
    g_keysDown.clear();
    g_WindowHooks.Input_OnKeyDown = [](int32_t key, int32_t, bool) { g_keysDown.push_back(key); };

    ASSERT_TRUE(Window_Create(320, 240));
    auto* window = static_cast<SDL_Window*>(Window_Get_Handle());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL);
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_RESIZABLE);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Window Test");
    EXPECT_EQ(Window_Get_Width(), 320);
    EXPECT_EQ(Window_Get_Height(), 240);

    ASSERT_TRUE(GR_D3D_Init(window, 320, 240, g_GameHeader.infoFlags));
    Frame();
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN);

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = SDL_GetWindowID(window);
    key.key.state = SDL_PRESSED;
    key.key.keysym.scancode = SDL_SCANCODE_B;
    key.key.keysym.sym = SDLK_b;
    ASSERT_EQ(SDL_PushEvent(&key), 1);
    ProcessMessages();
    EXPECT_EQ(g_keysDown, std::vector<int32_t>{'B'});

    Window_Set_Size(400, 300);
    for (int i = 0; i < 40 && (Run_ResetCountdown != 0 || g_D3D.backBufferWidth != 400); ++i) Frame();
    EXPECT_EQ(g_D3D.backBufferWidth, 400);
    EXPECT_EQ(g_D3D.backBufferHeight, 300);
    EXPECT_EQ(Window_Get_Width(), 400);

    g_RunnerRunning = 1;
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.windowID = SDL_GetWindowID(window);
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&close), 1);
    ProcessMessages();
    EXPECT_EQ(g_RunnerRunning, 0);
    EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN);
    Frame();  // the frame under way still presents safely

    GR_D3D_Shutdown();
    Window_Destroy();
    ProcessMessages();
    EXPECT_EQ(Window_Get_Handle(), nullptr);
    g_GameHeader = savedHeader;
    GR_Hooks_Reset();
    Window_Hooks_Reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
