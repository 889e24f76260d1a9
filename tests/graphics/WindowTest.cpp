// The main window without a display: the procedure fed with injected messages and with SDL
// events through the platform's translation, the size and full-screen requests it makes of
// the device layer, and the display-rectangle and view-mapping arithmetic.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Window.h"
#include "platform/EventPump.h"
#include "platform/WindowOps.h"
#include "base/GEN8.h"
#include "base/GameOptions.h"
#include "base/Runner.h"

namespace {

std::vector<std::string> g_input;
int32_t g_surfaceWidth = 640, g_surfaceHeight = 480;
bool g_surfaceOn = true;
bool g_roomCurrent = false;
int32_t g_roomWidth = 0, g_roomHeight = 0;

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        MEM_FREE(g_Window.caption);
        g_Window = WindowState{};
        Window_Hooks_Reset();
        GR_Hooks_Reset();
        g_D3D = GRDeviceState{};
        Run_ResetCountdown = 0;
        g_GameOptions.showCursor = true;
        g_GameOptions.altEnterFullScreen = true;
        g_Switches.exitGame.clear();
        g_Switches.noDirectInput = false;
        g_input.clear();
        g_surfaceWidth = 640;
        g_surfaceHeight = 480;
        g_surfaceOn = true;
        g_roomCurrent = false;
        g_WindowHooks.Input_OnKeyDown = [](int32_t key, int32_t modifiers, bool repeat) {
            g_input.push_back("down " + std::to_string(key) +
                              (modifiers ? " m" + std::to_string(modifiers) : "") +
                              (repeat ? " repeat" : ""));
        };
        g_WindowHooks.Input_OnKeyUp = [](int32_t key, int32_t) {
            g_input.push_back("up " + std::to_string(key));
        };
        g_WindowHooks.Input_OnChar = [](uint32_t unit) { g_input.push_back("char " + std::to_string(unit)); };
        g_WindowHooks.Input_OnMouseDown = [](int32_t button, int32_t x, int32_t y) {
            g_input.push_back("press " + std::to_string(button) + " " + std::to_string(x) + "," +
                              std::to_string(y));
        };
        g_WindowHooks.Input_OnMouseUp = [](int32_t button, int32_t x, int32_t y) {
            g_input.push_back("release " + std::to_string(button) + " " + std::to_string(x) + "," +
                              std::to_string(y));
        };
        g_WindowHooks.Input_OnWheelUp = [](int32_t, int32_t x, int32_t y, int32_t* handled) {
            g_input.push_back("wheel up " + std::to_string(x) + "," + std::to_string(y));
            *handled = 1;
        };
        g_WindowHooks.Input_OnWheelDown = [](int32_t, int32_t, int32_t, int32_t* handled) {
            g_input.push_back("wheel down");
            *handled = 1;
        };
        g_WindowHooks.Run_RequestEnd = [] { g_input.push_back("end game"); };
        g_WindowHooks.Platform_RegisterPauseEvent = [] { g_input.push_back("pause"); };
        g_WindowHooks.ApplicationSurface_Get = [](int32_t* width, int32_t* height) {
            *width = g_surfaceWidth;
            *height = g_surfaceHeight;
            return g_surfaceOn;
        };
        g_WindowHooks.Room_GetSize = [](int32_t* width, int32_t* height) {
            *width = g_roomWidth;
            *height = g_roomHeight;
            return g_roomCurrent;
        };
        g_WindowHooks.Room_ViewVisible = [](int32_t) { return true; };
        g_Window.exists = true;  // a virtual window, as under "-headless"
        g_Window.isVirtual = true;
    }

    void TearDown() override {
        MEM_FREE(g_Window.caption);
        g_Window = WindowState{};
        Window_Hooks_Reset();
        g_D3D = GRDeviceState{};
        Run_ResetCountdown = 0;
        g_RunnerRunning = 0;
    }

    static WindowMessage Message(uint32_t id, uint64_t wParam = 0, int64_t lParam = 0,
                                 uint32_t keyState = 0) {
        WindowMessage message;
        message.message = id;
        message.wParam = wParam;
        message.lParam = lParam;
        message.keyState = keyState;
        return message;
    }

    // An SDL event through the platform's translation into the procedure.
    static void Feed(const SDL_Event& event) {
        WindowMessage messages[40];
        const int32_t count = PlatformEvents_Translate(&event, messages, 40);
        for (int32_t i = 0; i < count; ++i) Window_Proc(messages[i]);
    }

    static SDL_Event Key(uint32_t type, SDL_Scancode scancode, SDL_Keycode sym, uint16_t mod,
                         bool repeat = false) {
        SDL_Event event{};
        event.type = type;
        event.key.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        return event;
    }

    // A 640 x 480 client showing the application surface 1:1, with one port covering it.
    static void FullWindowPort(int32_t slot, float viewX, float viewY, float viewWidth, float viewHeight,
                               float angle) {
        g_D3D.clientWidth = g_D3D.backBufferWidth = 640;
        g_D3D.clientHeight = g_D3D.backBufferHeight = 480;
        Window_Set_View_Port(slot, 0, 0, 640, 480, viewX, viewY, viewWidth, viewHeight, angle, -1, -1);
    }
};

// ---- keys, characters and buttons ----------------------------------------------------------

TEST_F(WindowTest, RightShiftGoesDownAndUpAsShiftAndRightShiftNeverLeftShift) {
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, KMOD_RSHIFT));
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, KMOD_NONE));
    EXPECT_EQ(Join(g_input), "down 16 m1, down 161 m1, up 16, up 161");

    g_input.clear();
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, KMOD_LSHIFT | KMOD_RSHIFT));
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_RSHIFT));
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, KMOD_NONE));
    EXPECT_EQ(Join(g_input),
              "down 16 m1, down 160 m1, down 16 m1, down 161 m1, up 16, up 160, up 16, up 161");
}

TEST_F(WindowTest, ModifierSidesComeFromTheExtendedBitAndRepeatsAreFlagged) {
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RALT, SDLK_RALT, KMOD_RALT));
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_RALT, SDLK_RALT, KMOD_NONE));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL, true));
    EXPECT_EQ(Join(g_input),
              "down 18 m2, down 165 m2, up 18, up 165, down 17 m4, down 162 m4, down 65 m4, "
              "down 65 m4 repeat");
}

TEST_F(WindowTest, TextArrivesAsUtf16UnitsAndEditingKeysTypeTheirControlCharacters) {
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::snprintf(text.text.text, sizeof text.text.text, "a\xC3\xA9\xF0\x9F\x98\x80");
    Feed(text);
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, KMOD_NONE));
    EXPECT_EQ(Join(g_input), "char 97, char 233, char 55357, char 56832, down 8, char 8");
}

TEST_F(WindowTest, AltF4EndsALaunchedGameAndOtherwiseClosesTheWindow) {
    g_RunnerRunning = 1;
    g_Switches.exitGame = "launcher.exe";
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT));
    EXPECT_EQ(Join(g_input), "end game, down 115 m2");
    EXPECT_EQ(g_RunnerRunning, 1);

    g_input.clear();
    g_Switches.exitGame.clear();
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT));
    EXPECT_TRUE(g_input.empty());
    EXPECT_EQ(g_RunnerRunning, 0);
    ProcessMessages();  // the quit the close posted
}

TEST_F(WindowTest, AltEnterTogglesFullScreenAtTheNextFrameOnlyWhenTheOptionAllowsIt) {
    g_D3D.backBufferWidth = 800;
    g_D3D.backBufferHeight = 600;
    g_GameOptions.altEnterFullScreen = false;
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT));
    EXPECT_FALSE(g_D3D.fullscreen);
    EXPECT_EQ(Run_ResetCountdown, 0);

    g_GameOptions.altEnterFullScreen = true;
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT));
    EXPECT_TRUE(g_D3D.fullscreen);
    EXPECT_EQ(Run_ResetCountdown, 1);
    EXPECT_EQ(g_D3D.rememberedWidth, 800);
    EXPECT_EQ(g_D3D.rememberedHeight, 600);
    // Holding the keys does not toggle again.
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT, true));
    EXPECT_TRUE(g_D3D.fullscreen);
}

TEST_F(WindowTest, ButtonsCaptureWhileHeldAndKeepNegativePositionsNegative) {
    Window_Proc(Message(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(10, 20)));
    Window_Proc(Message(WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(11, 21)));
    EXPECT_EQ(g_Window.captureCount, 2);
    Window_Proc(Message(WM_RBUTTONUP, 0, MakeLParam(12, 22)));
    Window_Proc(Message(WM_LBUTTONUP, 0, MakeLParam(-5, -7)));
    Window_Proc(Message(WM_NCMBUTTONUP, 0, MakeLParam(1, 1)));
    EXPECT_EQ(g_Window.captureCount, 0);
    EXPECT_EQ(Join(g_input), "press 1 10,20, press 2 11,21, release 2 12,22, release 1 -5,-7, release 3 1,1");

    Window_Proc(Message(WM_MOUSEMOVE, 0, MakeLParam(-3, 470)));
    EXPECT_EQ(Window_Mouse_Get_X(), -3);
    EXPECT_EQ(Window_Mouse_Get_Y(), 470);
}

TEST_F(WindowTest, WheelGoesUpOrDownAtTheClientPointAndAnswersWhetherItMoved) {
    EXPECT_EQ(Window_Proc(Message(WM_MOUSEWHEEL, uint64_t{WHEEL_DELTA} << 16, MakeLParam(30, 40))), 0);
    EXPECT_EQ(Window_Proc(Message(WM_MOUSEWHEEL, uint64_t{static_cast<uint16_t>(-WHEEL_DELTA)} << 16)), 0);
    EXPECT_EQ(Window_Proc(Message(WM_MOUSEWHEEL, 0)), 1);
    EXPECT_EQ(Join(g_input), "wheel up 30,40, wheel down");
}

TEST_F(WindowTest, FocusSetsTheActiveFlagAndLosingItRegistersAPause) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    Feed(event);
    EXPECT_TRUE(g_Window.active);
    event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    Feed(event);
    EXPECT_FALSE(g_Window.active);
    EXPECT_EQ(Join(g_input), "pause");
}

// ---- sizes ------------------------------------------------------------------------------

TEST_F(WindowTest, ClientSizeIsCutToTheScreenLessTheTitle) {
    int32_t width = 0, height = 0;
    Window_Compute_Client_Size(1280, 720, 1024, 768, 30, &width, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 720);
    Window_Compute_Client_Size(1280, 760, 1024, 768, 30, &width, &height);
    EXPECT_EQ(height, 738);
}

TEST_F(WindowTest, SizeMessagesAfterTheFirstBecomePendingSizesTenFramesAway) {
    Window_Proc(Message(WM_SIZE, SIZE_RESTORED, MakeLParam(800, 600)));
    EXPECT_EQ(g_D3D.pendingWidth, -1);
    EXPECT_EQ(Run_ResetCountdown, 0);

    Window_Proc(Message(WM_SIZE, SIZE_MAXIMIZED, MakeLParam(1024, 700)));
    EXPECT_EQ(g_D3D.pendingWidth, 1024);
    EXPECT_EQ(g_D3D.pendingHeight, 700);
    EXPECT_TRUE(g_D3D.skipCentring);
    EXPECT_EQ(Run_ResetCountdown, 10);

    Window_Proc(Message(WM_SIZE, SIZE_MINIMIZED, 0));
    EXPECT_EQ(g_D3D.pendingWidth, 1024);
    Window_Proc(Message(WM_SIZE, SIZE_RESTORED, MakeLParam(0, 300)));
    EXPECT_EQ(g_D3D.pendingWidth, -1);
    EXPECT_EQ(g_D3D.pendingHeight, -1);

    g_D3D.fullscreen = true;
    Window_Proc(Message(WM_SIZE, SIZE_RESTORED, MakeLParam(1920, 1080)));
    EXPECT_EQ(g_D3D.pendingWidth, -1);
}

TEST_F(WindowTest, AUserDragIsAppliedWhenItEnds) {
    g_Window.ignoreNextSize = false;
    g_D3D.clientWidth = 500;
    g_D3D.clientHeight = 0;
    Window_Proc(Message(WM_EXITSIZEMOVE));  // no drag began: nothing
    EXPECT_EQ(Run_ResetCountdown, 0);
    Window_Proc(Message(WM_SIZING));
    Window_Proc(Message(WM_SIZE, SIZE_RESTORED, MakeLParam(510, 10)));
    EXPECT_EQ(g_D3D.pendingWidth, -1);
    Window_Proc(Message(WM_EXITSIZEMOVE));
    EXPECT_EQ(g_D3D.pendingWidth, 500);
    EXPECT_EQ(g_D3D.pendingHeight, 1);
    EXPECT_EQ(Run_ResetCountdown, 10);
    EXPECT_FALSE(g_Window.userResizing);
}

TEST_F(WindowTest, ProgrammaticSizesKeepAShorterCountdown) {
    g_D3D.clientWidth = 640;
    g_D3D.clientHeight = 480;
    Window_Set_Size(0, 100);
    EXPECT_EQ(g_D3D.pendingWidth, -1);
    Window_Set_Size(640, 480);
    EXPECT_EQ(g_D3D.pendingWidth, 640);
    EXPECT_EQ(Run_ResetCountdown, 0);
    Run_ResetCountdown = 1;
    Window_Set_Size(800, 600);
    EXPECT_EQ(Run_ResetCountdown, 1);
    Run_ResetCountdown = 3;
    Window_Set_Rectangle(5, 6, 800, 600);
    EXPECT_EQ(Run_ResetCountdown, 10);
    EXPECT_TRUE(g_D3D.skipCentring);
    EXPECT_EQ(Window_Get_X(), 5);
    EXPECT_EQ(Window_Get_Y(), 6);
}

TEST_F(WindowTest, LimitsAreAddedToTheFrameInTheTrackSizes) {
    Window_Set_Min_Width(400);
    Window_Set_Max_Height(600);
    WindowMinMaxInfo info = {640 + 16, 480 + 39, 640, 480, 0, 0, 0, 0};
    WindowMessage message = Message(WM_GETMINMAXINFO);
    message.minMax = &info;
    Window_Proc(message);
    EXPECT_EQ(info.minTrackWidth, 416);
    EXPECT_EQ(info.maxTrackHeight, 639);
    EXPECT_EQ(info.minTrackHeight, 0);
    EXPECT_EQ(info.maxTrackWidth, 0);
}

// ---- cursor, colour, caption --------------------------------------------------------------

TEST_F(WindowTest, CursorKindsPickTheirEntryOfTheSystemTable) {
    const std::pair<int32_t, int32_t> cases[] = {
        {0, 0},    {-2, 0},   {-1, 1},   {-5, 1},   {-3, 2},   {-4, 3},   {-8, 6}, {-10, 8}, {-12, 10},
        {-21, 10}, {-13, 11}, {-18, 11}, {-19, 12}, {-20, 13}, {-22, 14}, {5, -1}, {-23, -1}};
    for (const auto& [kind, index] : cases) EXPECT_EQ(Window_Cursor_Index(kind), index) << kind;

    int marker = 0;
    g_Window.cursors[CURSOR_HELP] = &marker;
    Window_Set_Cursor(-20);
    EXPECT_EQ(g_Window.cursorHandle, &marker);
    Window_Set_Cursor(5);
    EXPECT_EQ(Window_Get_Cursor(), 5);
    EXPECT_EQ(g_Window.cursorHandle, &marker);
    g_Window.cursors[CURSOR_HELP] = nullptr;
}

TEST_F(WindowTest, ColourKeepsItsLowBytesAndCaptionCopiesItsText) {
    Window_Set_Colour(0x12345678);
    EXPECT_EQ(g_Window.colour, 0xFF345678u);
    EXPECT_EQ(Window_Get_Colour(), 0x345678u);
    char text[] = "Caption";
    Window_Set_Caption(text);
    text[0] = 'X';
    EXPECT_STREQ(Window_Get_Caption(), "Caption");
    Window_Set_Caption(nullptr);
    EXPECT_STREQ(Window_Get_Caption(), "");
}

TEST_F(WindowTest, HeadlessCreationMakesAVirtualWindowOfTheClippedSize) {
    g_Window = WindowState{};
    const GameHeader savedHeader = g_GameHeader;
    g_Switches.headless = true;
    g_GameHeader.infoFlags = WINDOW_FLAG_SHOW_CURSOR | WINDOW_FLAG_RESIZABLE;
    g_GameHeader.windowWidth = 4000;
    g_GameHeader.windowHeight = 500;
    g_GRHooks.displayName = [] { return "My Game"; };
    static std::string log;
    log.clear();
    Console_SetDebuggerSink([](const char* text) { log += text; });

    ASSERT_TRUE(Window_Create(4000, 500));
    Console_SetDebuggerSink(nullptr);
    EXPECT_EQ(log,
              "AdjustWindowRectEx\nUnable to load icon\nUnable to load small icon\nRegisterClassEx\n"
              "CreateWindowEx\n");
    EXPECT_EQ(Window_Get_Handle(), nullptr);
    EXPECT_EQ(Window_Get_Width(), 1920);  // the virtual display's width
    EXPECT_EQ(Window_Get_Height(), 500);
    EXPECT_EQ(Window_Get_Base_Width(), 4000);
    EXPECT_EQ(g_Window.style, uint32_t{WINDOW_STYLE_RESIZABLE});
    EXPECT_STREQ(Window_Get_Caption(), "My Game");
    EXPECT_EQ(Window_Get_Cursor(), 0);

    g_RunnerRunning = 1;
    Window_Destroy();
    EXPECT_EQ(g_RunnerRunning, 0);
    ProcessMessages();
    g_Switches.headless = false;
    g_GameHeader = savedHeader;
    log.clear();
    EXPECT_EQ(Window_Get_Width(), 0);
    EXPECT_EQ(log, "");  // the sink is gone; the failure went to the console only
}

// ---- display rectangle and view mapping ---------------------------------------------------

TEST_F(WindowTest, DisplayRectangleLetterboxesOnlyWithKeepAspectAndTheApplicationSurface) {
    struct Case {
        bool keepAspect, surfaceOn;
        int32_t surfaceWidth, surfaceHeight, width, height;
        int32_t left, top, right, bottom;
    };
    const Case cases[] = {
        {true, true, 1600, 900, 1000, 1000, 0, 218, 1000, 780},  // 16:9 in a square: bars above and below
        {true, true, 640, 480, 1000, 500, 166, 0, 832, 500},     // 4:3 in a wide area: bars at the sides
        {false, true, 1600, 900, 1000, 1000, 0, 0, 1000, 1000},
        {true, false, 1600, 900, 1000, 1000, 0, 0, 1000, 1000},
        {true, true, 0, 900, 1000, 1000, 0, 0, 1000, 1000},  // a surface with no width shows as it is
    };
    for (const Case& c : cases) {
        g_D3D.keepAspect = c.keepAspect;
        g_surfaceOn = c.surfaceOn;
        g_surfaceWidth = c.surfaceWidth;
        g_surfaceHeight = c.surfaceHeight;
        g_D3D.backBufferWidth = c.width;
        g_D3D.backBufferHeight = c.height;
        int32_t left, top, right, bottom;
        Window_Get_Display_Rect(&left, &top, &right, &bottom);
        EXPECT_EQ((std::vector<int32_t>{left, top, right, bottom}),
                  (std::vector<int32_t>{c.left, c.top, c.right, c.bottom}))
            << c.surfaceWidth << "x" << c.surfaceHeight << " in " << c.width << "x" << c.height;
    }
}

TEST_F(WindowTest, MouseMapsThroughPlainAndRotatedViews) {
    int32_t x = -1, y = -1;
    FullWindowPort(0, 100, 50, 320, 240, 0);
    Window_Map_Mouse_To_View(0, 320, 240, &x, &y);
    EXPECT_EQ(x, 260);
    EXPECT_EQ(y, 170);

    FullWindowPort(0, 100, 50, 320, 240, 90);
    Window_Map_Mouse_To_View(0, 0, 0, &x, &y);
    EXPECT_EQ(x, 380);
    EXPECT_EQ(y, 10);
}

TEST_F(WindowTest, RoomPointsMapToThePortAndBack) {
    for (float angle : {0.0f, 30.0f, 90.0f, -135.0f}) {
        FullWindowPort(3, 100, 50, 320, 240, angle);
        for (const auto& [roomX, roomY] : {std::pair{200, 120}, {150, 250}, {380, 60}}) {
            int32_t px = 0, py = 0, backX = 0, backY = 0;
            Window_Map_Room_To_View(3, static_cast<float>(roomX), static_cast<float>(roomY), &px, &py);
            Window_Map_Mouse_To_View(3, px, py, &backX, &backY);
            EXPECT_NEAR(backX, roomX, 1) << angle;
            EXPECT_NEAR(backY, roomY, 1) << angle;
        }
    }
    int32_t x = 0, y = 0;
    Window_Map_Room_To_View(4, 10.6f, -3.2f, &x, &y);  // an unused slot gives the rounded point
    EXPECT_EQ(x, 11);
    EXPECT_EQ(y, -3);
}

TEST_F(WindowTest, MouseToRoomUsesTheHighestVisibleViewHoldingThePoint) {
    g_roomCurrent = true;
    g_roomWidth = 2000;
    g_roomHeight = 2000;
    FullWindowPort(0, 0, 0, 640, 480, 0);
    Window_Set_View_Port(1, 0, 0, 320, 240, 1000, 1000, 320, 240, 0, -1, -1);
    int32_t x = 0, y = 0;
    Window_Map_Mouse_To_Room(100, 100, &x, &y);
    EXPECT_EQ(x, 1100);
    EXPECT_EQ(y, 1100);
    Window_Map_Mouse_To_Room(400, 300, &x, &y);  // outside view 1: view 0 holds it
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 300);

    // A view drawing into a surface does not take the mouse.
    Window_Set_View_Port(1, 0, 0, 320, 240, 1000, 1000, 320, 240, 0, 7, -1);
    Window_Map_Mouse_To_Room(100, 100, &x, &y);
    EXPECT_EQ(x, 100);
}

TEST_F(WindowTest, MouseToRoomWithoutViewsScalesTheClientToTheRoom) {
    g_D3D.clientWidth = g_D3D.backBufferWidth = 640;
    g_D3D.clientHeight = g_D3D.backBufferHeight = 480;
    int32_t x = 0, y = 0;
    Window_Map_Mouse_To_Room(33, 45, &x, &y);  // no room: the client position as it is
    EXPECT_EQ(x, 33);
    EXPECT_EQ(y, 45);
    g_roomCurrent = true;
    g_roomWidth = 1280;
    g_roomHeight = 240;
    Window_Map_Mouse_To_Room(33, 45, &x, &y);
    EXPECT_EQ(x, 66);
    EXPECT_EQ(y, 22);
    EXPECT_EQ(Window_Mouse_Room_X(10), 0);
}

TEST_F(WindowTest, AWindowWithNoAreaLeavesTheMappedPointAsItWas) {
    g_roomCurrent = true;
    g_roomWidth = g_roomHeight = 100;
    FullWindowPort(0, 0, 0, 640, 480, 0);
    g_D3D.clientWidth = 0;  // minimised
    g_D3D.clientHeight = 0;
    int32_t x = 7, y = 9;
    Window_Map_Mouse_To_View(0, 10, 10, &x, &y);
    EXPECT_EQ(x, 7);
    Window_Map_Mouse_To_Room(10, 10, &x, &y);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 9);
    Window_Clear_View_Port(0);
    Window_Map_Mouse_To_Room(10, 10, &x, &y);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 9);

    g_D3D.clientWidth = 640;
    g_D3D.clientHeight = 480;
    FullWindowPort(0, 0, 0, 640, 480, 0);
    Window_Set_Scale_Factors(0, 1);
    Window_Map_Mouse_To_View(0, 10, 10, &x, &y);
    EXPECT_EQ(x, 7);
}

TEST_F(WindowTest, LayerModeMapsThroughTheCameraMatrices) {
    g_GRHooks.layerMode = [] { return true; };
    // A camera showing room (100, 50)-(420, 290) on a 640 x 480 port, y down.
    g_WindowHooks.Camera_GetInvViewProjMatrix = [](int32_t camera, float m[16]) {
        if (camera != 2) return false;
        const float inverse[16] = {160, 0, 0, 0, 0, 120, 0, 0, 0, 0, 1, 0, 260, 170, 0, 1};
        std::copy(inverse, inverse + 16, m);
        return true;
    };
    g_WindowHooks.Camera_GetViewProjMatrix = [](int32_t camera, float m[16]) {
        if (camera != 2) return false;
        const float forward[16] = {1 / 160.0f,    0, 0, 0, 0, 1 / 120.0f, 0, 0, 0, 0, 1, 0, -260 / 160.0f,
                                   -170 / 120.0f, 0, 1};
        std::copy(forward, forward + 16, m);
        return true;
    };
    g_D3D.clientWidth = g_D3D.backBufferWidth = 640;
    g_D3D.clientHeight = g_D3D.backBufferHeight = 480;
    Window_Set_View_Port(0, 0, 0, 640, 480, 100, 50, 320, 240, 0, -1, 2);
    int32_t x = 0, y = 0;
    Window_Map_Mouse_To_View(0, 480, 120, &x, &y);
    EXPECT_EQ(x, 340);
    EXPECT_EQ(y, 110);
    Window_Map_Room_To_View(0, 340, 110, &x, &y);
    EXPECT_EQ(x, 480);
    EXPECT_EQ(y, 120);

    Window_Set_View_Port(1, 0, 0, 640, 480, 0, 0, 0, 0, 0, -1, 9);  // no such camera
    x = y = 5;
    Window_Map_Mouse_To_View(1, 480, 120, &x, &y);
    EXPECT_EQ(x, 5);
}

}  // namespace
