#include "graphics/Graphics_Window.h"

#include <algorithm>
#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "platform/Display.h"
#include "platform/EventPump.h"
#include "platform/WindowOps.h"
#include "base/GEN8.h"
#include "base/GameOptions.h"
#include "base/Runner.h"

WindowState g_Window;

namespace {

// Key-mask bit the wheel adds for a held Alt key.
constexpr int32_t kWheelAltBit = 0x20;
constexpr int64_t kScanCodeBits = 0xFF0000;

int32_t g_mousePositions[WINDOW_MOUSE_DEVICES][2];

void NoOp() {}
void NoKeyDown(int32_t, int32_t, bool) {}
void NoKeyUp(int32_t, int32_t) {}
void NoChar(uint32_t) {}
void NoButton(int32_t, int32_t, int32_t) {}
void NoWheel(int32_t, int32_t, int32_t, int32_t*) {}

void StoreMousePosition(int32_t device, int32_t x, int32_t y) {
    if (device < 0 || device >= WINDOW_MOUSE_DEVICES) return;
    g_mousePositions[device][0] = x;
    g_mousePositions[device][1] = y;
}

void ReadMousePosition(int32_t device, int32_t* x, int32_t* y) {
    if (device < 0 || device >= WINDOW_MOUSE_DEVICES) {
        *x = *y = 0;
        return;
    }
    *x = g_mousePositions[device][0];
    *y = g_mousePositions[device][1];
}

bool NoRoom(int32_t*, int32_t*) {
    return false;
}
bool NoView(int32_t) {
    return false;
}
// Without a room drawing the application surface is the back buffer, not in use.
bool BackBufferSurface(int32_t* width, int32_t* height) {
    *width = g_D3D.backBufferWidth;
    *height = g_D3D.backBufferHeight;
    return false;
}
bool NoCamera(int32_t, float*) {
    return false;
}
const uint32_t* NoIcon(int32_t, int32_t*, int32_t*) {
    return nullptr;
}

constexpr WindowHooks kDefaultHooks = {
    .Input_OnKeyDown = NoKeyDown,
    .Input_OnKeyUp = NoKeyUp,
    .Input_OnChar = NoChar,
    .Input_OnMouseDown = NoButton,
    .Input_OnMouseUp = NoButton,
    .Input_OnWheelUp = NoWheel,
    .Input_OnWheelDown = NoWheel,
    .Input_SetMousePosition = StoreMousePosition,
    .Input_GetMousePosition = ReadMousePosition,
    .Gamepad_RedetectJoysticks = NoOp,
    .Gamepad_RedetectXInput = NoOp,
    .Gamepad_RedetectDirectInput = NoOp,
    .Run_RequestEnd = NoOp,
    .Platform_RegisterPauseEvent = NoOp,
    .Room_GetSize = NoRoom,
    .Room_ViewVisible = NoView,
    .ApplicationSurface_Get = BackBufferSurface,
    .Camera_GetViewProjMatrix = NoCamera,
    .Camera_GetInvViewProjMatrix = NoCamera,
    .Icon_Get = NoIcon,
};

bool Native() {
    return g_Window.exists && g_Window.handle != nullptr;
}

void Dispatch(const WindowMessage& message) {
    Window_Proc(message);
}

void LoadCursorTable() {
    for (int32_t shape = 0; shape < CURSOR_SHAPE_COUNT; ++shape) {
        g_Window.cursors[shape] = Native() ? Window_CreateSystemCursor(shape) : nullptr;
    }
}

void FreeCursorTable() {
    for (void*& cursor : g_Window.cursors) {
        Window_FreeCursor(cursor);
        cursor = nullptr;
    }
    g_Window.cursorHandle = nullptr;
}

void ShowCursorHandle(void* cursor) {
    if (Native()) Window_ShowCursor(cursor);
}

int32_t Modifiers(const WindowMessage& message) {
    int32_t modifiers = 0;
    if (message.keyState & KEYSTATE_SHIFT) modifiers |= 1;
    if (message.keyState & KEYSTATE_ALT) modifiers |= 2;
    if (message.keyState & KEYSTATE_CONTROL) modifiers |= 4;
    return modifiers;
}

void OnSize(const WindowMessage& message) {
    if (g_Window.userResizing || g_D3D.fullscreen) return;
    if (message.wParam != SIZE_RESTORED && message.wParam != SIZE_MAXIMIZED) return;
    if (g_Window.ignoreNextSize) {
        g_Window.ignoreNextSize = false;
        return;
    }
    const int32_t width = static_cast<int32_t>(message.lParam & 0xFFFF);
    const int32_t height = static_cast<int32_t>((message.lParam >> 16) & 0xFFFF);
    g_D3D.skipCentring = true;
    if (width == 0 || height == 0) {
        g_D3D.pendingWidth = g_D3D.pendingHeight = -1;
    } else {
        g_D3D.pendingWidth = width;
        g_D3D.pendingHeight = height;
    }
    Run_ResetCountdown = 10;
}

void OnExitSizeMove() {
    if (!g_Window.userResizing) return;
    g_Window.userResizing = false;
    g_D3D.skipCentring = true;
    g_D3D.pendingWidth = std::max(Window_Get_Width(), 1);
    g_D3D.pendingHeight = std::max(Window_Get_Height(), 1);
    Run_ResetCountdown = 10;
}

void OnMinMaxInfo(const WindowMessage& message) {
    WindowMinMaxInfo* info = message.minMax;
    if (!info || info->clientWidth <= 0) return;
    const int32_t borderWidth = info->windowWidth - info->clientWidth;
    const int32_t borderHeight = info->windowHeight - info->clientHeight;
    if (g_Window.minWidth > 0) info->minTrackWidth = g_Window.minWidth + borderWidth;
    if (g_Window.minHeight > 0) info->minTrackHeight = g_Window.minHeight + borderHeight;
    if (g_Window.maxWidth > 0) info->maxTrackWidth = g_Window.maxWidth + borderWidth;
    if (g_Window.maxHeight > 0) info->maxTrackHeight = g_Window.maxHeight + borderHeight;
}

void OnDestroy() {
    g_RunnerRunning = 0;
    Runner_PostQuit();
}

// The native window lives on until shutdown: the device may still present into it this frame.
void OnClose() {
    if (!g_Window.exists) return;
    Window_Hide(g_Window.handle);
    WindowMessage destroy;
    destroy.message = WM_DESTROY;
    Window_Proc(destroy);
}

}  // namespace

WindowHooks g_WindowHooks = kDefaultHooks;

void Window_Hooks_Reset() {
    g_WindowHooks = kDefaultHooks;
    std::memset(g_mousePositions, 0, sizeof g_mousePositions);
}

// ---- creation and lifetime ----------------------------------------------------------------

void Window_Init() {
    for (ViewPortSlot& slot : g_Window.viewPorts) slot.inUse = false;
    g_Window.viewPortCount = 0;
}

void Window_Compute_Client_Size(int32_t width, int32_t height, int32_t screenWidth, int32_t screenHeight,
                                int32_t titleHeight, int32_t* clientWidth, int32_t* clientHeight) {
    *clientWidth = std::min(width, screenWidth);
    *clientHeight = std::min(height, screenHeight - titleHeight);
}

namespace {

struct WindowIcons {
    const uint32_t* big;
    const uint32_t* small;
    int32_t bigWidth, bigHeight, smallWidth, smallHeight;
};

WindowIcons LoadIcons() {
    WindowIcons icons = {};
    icons.big = g_WindowHooks.Icon_Get(32, &icons.bigWidth, &icons.bigHeight);
    if (!icons.big) DebugConsole.Output("Unable to load icon\n");
    icons.small = g_WindowHooks.Icon_Get(16, &icons.smallWidth, &icons.smallHeight);
    if (!icons.small) DebugConsole.Output("Unable to load small icon\n");
    return icons;
}

// The window system scales one picture to every size it needs; the larger one serves best.
void SetIcon(const WindowIcons& icons) {
    if (icons.big) {
        Window_SetIcon(g_Window.handle, icons.big, icons.bigWidth, icons.bigHeight);
    } else if (icons.small) {
        Window_SetIcon(g_Window.handle, icons.small, icons.smallWidth, icons.smallHeight);
    }
}

void SetFirstCursor(uint32_t flags) {
    LoadCursorTable();
    const bool shown = (flags & WINDOW_FLAG_SHOW_CURSOR) && g_GameOptions.showCursor;
    g_Window.cursorKind = shown ? 0 : -1;
    g_Window.cursorHandle = shown ? g_Window.cursors[CURSOR_ARROW] : nullptr;
    ShowCursorHandle(g_Window.cursorHandle);
}

}  // namespace

bool Window_Create(int32_t width, int32_t height) {
    const uint32_t flags = g_GameHeader.infoFlags;
    const bool borderless = (flags & GR_FLAG_BORDERLESS) != 0;
    const bool headless = g_Switches.headless;
    if (!headless) Window_InitVideo();
    // The window fits the area windows may take, so no panel covers part of it.
    int32_t areaX = 0, areaY = 0, screenWidth = 0, screenHeight = 0;
    if (headless || !Window_UsableArea(&areaX, &areaY, &screenWidth, &screenHeight)) {
        screenWidth = Display_Get_Width();
        screenHeight = Display_Get_Height();
    }
    const int32_t titleHeight = (borderless || headless) ? 0 : Window_TitleHeight();
    int32_t clientWidth = width, clientHeight = height;
    Window_Compute_Client_Size(width, height, screenWidth, screenHeight, titleHeight, &clientWidth,
                               &clientHeight);
    g_D3D.clientWidth = clientWidth = std::max(clientWidth, 1);
    g_D3D.clientHeight = clientHeight = std::max(clientHeight, 1);
    g_Window.style = borderless                        ? WINDOW_STYLE_BORDERLESS
                     : (flags & WINDOW_FLAG_RESIZABLE) ? WINDOW_STYLE_RESIZABLE
                                                       : 0u;
    g_Window.baseWidth = g_GameHeader.windowWidth > 0 ? g_GameHeader.windowWidth : width;
    g_Window.baseHeight = g_GameHeader.windowHeight > 0 ? g_GameHeader.windowHeight : height;

    // The client area is centred with its frame around it.
    DebugConsole.Output("AdjustWindowRectEx\n");
    const int32_t left = areaX + std::max((screenWidth - clientWidth) / 2, 0);
    const int32_t top = areaY + std::max((screenHeight - clientHeight - titleHeight) / 2, 0) + titleHeight;
    const WindowIcons icons = LoadIcons();
    DebugConsole.Output("RegisterClassEx\n");
    DebugConsole.Output("CreateWindowEx\n");
    void* handle = nullptr;
    if (!headless) {
        // Made with its windowed style even for a game that starts full screen: full screen
        // drops the frame by itself, and leaving it brings the frame back.
        handle = Window_CreateOpenGl("", left, top, clientWidth, clientHeight, g_Window.style);
        if (!handle) {
            DebugConsole.Output("Failed to create mainwindow\n");
            return false;
        }
    }
    g_Window.handle = handle;
    g_Window.exists = true;
    g_Window.isVirtual = headless;
    g_Window.virtualX = left;
    g_Window.virtualY = top;
    g_Window.ignoreNextSize = true;
    g_Window.userResizing = false;
    g_Window.captureCount = 0;
    g_Window.rightShiftScan = -1;
    PlatformEvents_SetDispatcher(Dispatch);

    Window_Set_Caption(g_GRHooks.displayName());
    SetIcon(icons);
    SetFirstCursor(flags);
    Window_Apply_Size_Limits();
    return true;
}

void* Window_Get_Handle() {
    return g_Window.exists ? g_Window.handle : nullptr;
}

void Window_Destroy() {
    if (!g_Window.exists) return;
    WindowMessage destroy;
    destroy.message = WM_DESTROY;
    Window_Proc(destroy);
    PlatformEvents_SetDispatcher(nullptr);
    FreeCursorTable();
    Window_DestroyNative(g_Window.handle);
    g_Window.handle = nullptr;
    g_Window.exists = false;
    MEM_FREE(g_Window.caption);
    g_Window.caption = nullptr;
}

void Window_Bring_To_Front() {
    if (Native()) Window_BringToFront(g_Window.handle);
}

// ---- caption, full screen, position and size --------------------------------------------

void Window_Set_Caption(const char* text) {
    if (!text) text = "";
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(MEM_ALLOC(length + 1));
    std::memcpy(copy, text, length + 1);
    MEM_FREE(g_Window.caption);
    g_Window.caption = copy;
    if (Native()) Window_SetTitle(g_Window.handle, copy);
}

const char* Window_Get_Caption() {
    return g_Window.caption ? g_Window.caption : "";
}

void Window_Set_Fullscreen(bool fullscreen) {
    if (fullscreen == g_D3D.fullscreen) return;
    if (fullscreen) {
        g_D3D.rememberedWidth = g_D3D.backBufferWidth;
        g_D3D.rememberedHeight = g_D3D.backBufferHeight;
    }
    g_D3D.fullscreen = fullscreen;
    Run_ResetCountdown = 1;
}

bool Window_Get_Fullscreen() {
    return g_D3D.fullscreen;
}

void Window_Set_Position(int32_t x, int32_t y) {
    // The client area's top-left lands on (x, y); the frame goes around it.
    if (Native()) {
        int32_t width = g_D3D.clientWidth, height = g_D3D.clientHeight;
        Window_GetClientSize(g_Window.handle, &width, &height);
        Window_SetClientRect(g_Window.handle, x, y, width, height);
    } else {
        g_Window.virtualX = x;
        g_Window.virtualY = y;
    }
}

void Window_Set_Size(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    g_D3D.pendingWidth = width;
    g_D3D.pendingHeight = height;
    const bool differs = width != g_D3D.clientWidth || height != g_D3D.clientHeight;
    if (differs && !g_D3D.fullscreen && Run_ResetCountdown != 1 && Run_ResetCountdown <= 10)
        Run_ResetCountdown = 10;
}

void Window_Set_Rectangle(int32_t x, int32_t y, int32_t width, int32_t height) {
    Window_Set_Position(x, y);
    Window_Set_Size(width, height);
    g_D3D.skipCentring = true;
}

int32_t Window_Get_X() {
    int32_t x = g_Window.virtualX, y = g_Window.virtualY;
    if (Native()) Window_GetPosition(g_Window.handle, &x, &y);
    return x;
}

int32_t Window_Get_Y() {
    int32_t x = g_Window.virtualX, y = g_Window.virtualY;
    if (Native()) Window_GetPosition(g_Window.handle, &x, &y);
    return y;
}

int32_t Window_Get_Width() {
    if (!g_Window.exists) {
        DebugConsole.Output("GetClientRect failed\n");
        return 0;
    }
    int32_t width = g_D3D.clientWidth, height = g_D3D.clientHeight;
    if (Native()) Window_GetClientSize(g_Window.handle, &width, &height);
    return width;
}

int32_t Window_Get_Height() {
    if (!g_Window.exists) {
        DebugConsole.Output("GetClientRect failed\n");
        return 0;
    }
    int32_t width = g_D3D.clientWidth, height = g_D3D.clientHeight;
    if (Native()) Window_GetClientSize(g_Window.handle, &width, &height);
    return height;
}

// The limits reach the native window at once; it enforces them when it is next resized.
void Window_Set_Min_Width(int32_t size) {
    g_Window.minWidth = size;
    Window_Apply_Size_Limits();
}
void Window_Set_Max_Width(int32_t size) {
    g_Window.maxWidth = size;
    Window_Apply_Size_Limits();
}
void Window_Set_Min_Height(int32_t size) {
    g_Window.minHeight = size;
    Window_Apply_Size_Limits();
}
void Window_Set_Max_Height(int32_t size) {
    g_Window.maxHeight = size;
    Window_Apply_Size_Limits();
}

int32_t Window_Get_Base_Width() {
    return g_Window.baseWidth;
}
int32_t Window_Get_Base_Height() {
    return g_Window.baseHeight;
}

void Window_Apply_Size_Limits() {
    if (!Native()) return;
    WindowMinMaxInfo info = {};
    Window_GetClientSize(g_Window.handle, &info.clientWidth, &info.clientHeight);
    info.windowWidth = info.clientWidth;
    info.windowHeight = info.clientHeight;
    Window_GetOuterSize(g_Window.handle, &info.windowWidth, &info.windowHeight);
    WindowMessage message;
    message.message = WM_GETMINMAXINFO;
    message.minMax = &info;
    Window_Proc(message);
    const int32_t borderWidth = info.windowWidth - info.clientWidth;
    const int32_t borderHeight = info.windowHeight - info.clientHeight;
    auto client = [](int32_t track, int32_t border) { return track > 0 ? std::max(track - border, 1) : 0; };
    Window_SetSizeLimits(g_Window.handle, client(info.minTrackWidth, borderWidth),
                         client(info.minTrackHeight, borderHeight), client(info.maxTrackWidth, borderWidth),
                         client(info.maxTrackHeight, borderHeight));
}

// ---- colour and cursor --------------------------------------------------------------------

void Window_Set_Colour(uint32_t colour) {
    g_Window.colour = 0xFF000000u | (colour & 0xFFFFFF);
}

uint32_t Window_Get_Colour() {
    return g_Window.colour & 0xFFFFFF;
}

int32_t Window_Cursor_Index(int32_t kind) {
    // Entry -kind for the kinds 0 down to -22 (cr_default .. cr_size_all).
    static const int32_t kIndexByKind[23] = {
        CURSOR_ARROW,     CURSOR_NONE,         CURSOR_ARROW,     CURSOR_CROSS,   CURSOR_IBEAM,    CURSOR_NONE,
        CURSOR_SIZE_NESW, CURSOR_SIZE_NS,      CURSOR_SIZE_NWSE, CURSOR_SIZE_WE, CURSOR_UP_ARROW, CURSOR_WAIT,
        CURSOR_HAND,      CURSOR_NO,           CURSOR_NO,        CURSOR_NO,      CURSOR_NO,       CURSOR_NO,
        CURSOR_NO,        CURSOR_APP_STARTING, CURSOR_HELP,      CURSOR_HAND,    CURSOR_SIZE_ALL,
    };
    if (kind > 0 || kind < -22) return -1;
    return kIndexByKind[-kind];
}

void Window_Set_Cursor(int32_t kind) {
    g_Window.cursorKind = kind;
    const int32_t index = Window_Cursor_Index(kind);
    if (index < 0 || !g_GameOptions.showCursor) return;
    g_Window.cursorHandle = g_Window.cursors[index];
    ShowCursorHandle(g_Window.cursorHandle);
}

int32_t Window_Get_Cursor() {
    return g_Window.cursorKind;
}

// ---- mouse ----------------------------------------------------------------------------------

void Window_Mouse_Set(int32_t x, int32_t y) {
    if (!g_Window.active) return;
    if (Native()) {
        Window_WarpMouse(g_Window.handle, x, y);
    } else if (g_Window.exists) {
        Display_SetCursor(g_Window.virtualX + x, g_Window.virtualY + y);
    }
}

int32_t Window_Mouse_Get_X() {
    int32_t x = 0, y = 0;
    g_WindowHooks.Input_GetMousePosition(0, &x, &y);
    return x;
}

int32_t Window_Mouse_Get_Y() {
    int32_t x = 0, y = 0;
    g_WindowHooks.Input_GetMousePosition(0, &x, &y);
    return y;
}

int32_t Window_Get_Visible_Rects(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double** out) {
    const int32_t count = g_D3D.adapterCount;
    *out = count > 0 ? static_cast<double*>(MEM_ALLOC(sizeof(double) * 8 * count)) : nullptr;
    for (int32_t i = 0; i < count; ++i) {
        const AdapterInfo& adapter = g_D3D.adapters[i];
        const int32_t monitor[4] = {adapter.desktopX, adapter.desktopY,
                                    adapter.desktopX + adapter.desktopWidth,
                                    adapter.desktopY + adapter.desktopHeight};
        const int32_t left = std::max(x1, monitor[0]), top = std::max(y1, monitor[1]);
        const int32_t right = std::min(x2, monitor[2]), bottom = std::min(y2, monitor[3]);
        double* entry = *out + 8 * i;
        const bool overlap = left < right && top < bottom;
        entry[0] = overlap ? left : 0;
        entry[1] = overlap ? top : 0;
        entry[2] = overlap ? right : 0;
        entry[3] = overlap ? bottom : 0;
        for (int k = 0; k < 4; ++k) entry[4 + k] = monitor[k];
    }
    return count;
}

// ---- the window procedure ---------------------------------------------------------------

int64_t Window_Proc(const WindowMessage& message) {
    switch (message.message) {
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_SIZE:
            OnSize(message);
            return 0;
        case WM_ACTIVATE:
            if ((message.wParam & 0xFFFF) == WA_INACTIVE && message.lParam == 0)
                g_WindowHooks.Platform_RegisterPauseEvent();
            return 0;
        case WM_SETFOCUS:
            g_Window.active = true;
            return 0;
        case WM_KILLFOCUS:
            g_Window.active = false;
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_ACTIVATEAPP:
            g_Window.active = message.wParam != 0;
            return 0;
        case WM_SETCURSOR:
            if ((message.lParam & 0xFFFF) != HTCLIENT) return Window_Default_Proc(message);
            ShowCursorHandle(g_GameOptions.showCursor ? g_Window.cursorHandle : nullptr);
            return 1;
        case WM_GETMINMAXINFO:
            OnMinMaxInfo(message);
            return 0;
        case WM_NCACTIVATE:
            if (!g_Window.active && message.wParam != 0) g_Window.active = true;
            return Window_Default_Proc(message);
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) {
                if (g_Switches.exitGame.empty()) return Window_Default_Proc(message);
                g_WindowHooks.Run_RequestEnd();
            }
            Window_Key_Down(message);
            return 0;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            Window_Key_Up(message);
            return 0;
        case WM_CHAR:
            g_WindowHooks.Input_OnChar(static_cast<uint32_t>(message.wParam));
            return 0;
        case WM_SYSCOMMAND:
            if ((message.wParam & 0xFFF0) == SC_KEYMENU && message.lParam == 13) {
                if (g_GameOptions.altEnterFullScreen) Window_Set_Fullscreen(!g_D3D.fullscreen);
                return 0;
            }
            return Window_Default_Proc(message);
        case WM_MOUSEMOVE:
            g_WindowHooks.Input_SetMousePosition(0, SignedLowWord(message.lParam),
                                                 SignedHighWord(message.lParam));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            Window_Mouse_Down(message);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_NCLBUTTONUP:
        case WM_NCRBUTTONUP:
        case WM_NCMBUTTONUP:
            Window_Mouse_Up(message);
            return 0;
        case WM_MOUSEWHEEL:
            return Window_Mouse_Wheel(message);
        case WM_SIZING:
            g_Window.userResizing = true;
            return 0;
        case WM_EXITSIZEMOVE:
            OnExitSizeMove();
            return 0;
        case WM_DEVICECHANGE:
            g_WindowHooks.Gamepad_RedetectJoysticks();
            g_WindowHooks.Gamepad_RedetectXInput();
            if (!g_Switches.noDirectInput) g_WindowHooks.Gamepad_RedetectDirectInput();
            return 0;
        default:
            return Window_Default_Proc(message);
    }
}

int64_t Window_Default_Proc(const WindowMessage& message) {
    switch (message.message) {
        case WM_SYSKEYDOWN:
            // Alt+F4 closes the window.
            if (message.wParam == VK_F4) {
                WindowMessage close;
                close.message = WM_CLOSE;
                return Window_Proc(close);
            }
            return 0;
        case WM_NCACTIVATE:
            return 1;
        default:
            return 0;
    }
}

void Window_Key_Down(const WindowMessage& message) {
    const int32_t modifiers = Modifiers(message);
    const bool repeat = (message.lParam & KEY_PREVIOUS_DOWN) != 0;
    const bool extended = (message.lParam & KEY_EXTENDED) != 0;
    auto down = [&](int32_t key) { g_WindowHooks.Input_OnKeyDown(key, modifiers, repeat); };
    const int32_t key = static_cast<int32_t>(message.wParam);
    switch (key) {
        case VK_MENU:
            down(VK_MENU);
            down(extended ? VK_RMENU : VK_LMENU);
            break;
        case VK_CONTROL:
            down(VK_CONTROL);
            down(extended ? VK_RCONTROL : VK_LCONTROL);
            break;
        case VK_SHIFT:
            down(VK_SHIFT);
            if (message.keyState & KEYSTATE_RSHIFT) {
                g_Window.rightShiftScan = message.lParam & kScanCodeBits;
                down(VK_RSHIFT);
            } else {
                down(VK_LSHIFT);
            }
            break;
        default:
            down(key);
            break;
    }
}

void Window_Key_Up(const WindowMessage& message) {
    const int32_t modifiers = Modifiers(message);
    const bool extended = (message.lParam & KEY_EXTENDED) != 0;
    auto up = [&](int32_t key) { g_WindowHooks.Input_OnKeyUp(key, modifiers); };
    const int32_t key = static_cast<int32_t>(message.wParam);
    switch (key) {
        case VK_MENU:
            up(VK_MENU);
            up(extended ? VK_RMENU : VK_LMENU);
            break;
        case VK_CONTROL:
            up(VK_CONTROL);
            up(extended ? VK_RCONTROL : VK_LCONTROL);
            break;
        case VK_SHIFT:
            up(VK_SHIFT);
            up((message.lParam & kScanCodeBits) == g_Window.rightShiftScan ? VK_RSHIFT : VK_LSHIFT);
            break;
        default:
            up(key);
            break;
    }
}

// Both coordinates are signed: a captured button released left of the window reports a
// negative x, not one near 65535.
void Window_Mouse_Down(const WindowMessage& message) {
    const int32_t button = message.message == WM_RBUTTONDOWN ? 2 : message.message == WM_MBUTTONDOWN ? 3 : 1;
    if (++g_Window.captureCount == 1) Window_CaptureMouse(g_Window.handle, true);
    g_WindowHooks.Input_OnMouseDown(button, SignedLowWord(message.lParam), SignedHighWord(message.lParam));
}

void Window_Mouse_Up(const WindowMessage& message) {
    const uint32_t id = message.message;
    const int32_t button = (id == WM_RBUTTONUP || id == WM_NCRBUTTONUP)   ? 2
                           : (id == WM_MBUTTONUP || id == WM_NCMBUTTONUP) ? 3
                                                                          : 1;
    if (g_Window.captureCount-- <= 1) {
        g_Window.captureCount = 0;
        Window_CaptureMouse(g_Window.handle, false);
    }
    g_WindowHooks.Input_OnMouseUp(button, SignedLowWord(message.lParam), SignedHighWord(message.lParam));
}

int64_t Window_Mouse_Wheel(const WindowMessage& message) {
    int32_t keyMask = static_cast<int32_t>(message.wParam & 0xFFFF);
    if (message.keyState & KEYSTATE_ALT) keyMask |= kWheelAltBit;
    const int32_t delta = static_cast<int16_t>((message.wParam >> 16) & 0xFFFF);
    const int32_t x = SignedLowWord(message.lParam), y = SignedHighWord(message.lParam);
    int32_t handled = 0;
    if (delta > 0) {
        g_WindowHooks.Input_OnWheelUp(keyMask, x, y, &handled);
    } else if (delta < 0) {
        g_WindowHooks.Input_OnWheelDown(keyMask, x, y, &handled);
    }
    return delta != 0 ? 0 : 1;
}
