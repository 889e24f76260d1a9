// The window's messages as the window procedure reads them: one small record per event, with
// the message numbers, virtual-key codes and parameter layouts of the desktop system the
// runner was first written for, so the procedure keeps its shape and tests can inject events.
#pragma once

#include <cstdint>

// Message ids.
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_SETFOCUS = 0x0007;
constexpr uint32_t WM_KILLFOCUS = 0x0008;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_SHOWWINDOW = 0x0018;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_GETMINMAXINFO = 0x0024;
constexpr uint32_t WM_NCACTIVATE = 0x0086;
constexpr uint32_t WM_NCLBUTTONUP = 0x00A2;
constexpr uint32_t WM_NCRBUTTONUP = 0x00A5;
constexpr uint32_t WM_NCMBUTTONUP = 0x00A8;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr uint32_t WM_SIZING = 0x0214;
constexpr uint32_t WM_DEVICECHANGE = 0x0219;
constexpr uint32_t WM_EXITSIZEMOVE = 0x0232;

// WM_SIZE kinds, WM_ACTIVATE states, WM_SYSCOMMAND commands, WM_SETCURSOR hit codes.
constexpr uint32_t SIZE_RESTORED = 0;
constexpr uint32_t SIZE_MINIMIZED = 1;
constexpr uint32_t SIZE_MAXIMIZED = 2;
constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;
constexpr uint32_t SC_KEYMENU = 0xF100;
constexpr uint32_t HTCLIENT = 1;

// Mouse key mask of WM_MOUSEWHEEL's low word.
constexpr uint32_t MK_LBUTTON = 0x01;
constexpr uint32_t MK_RBUTTON = 0x02;
constexpr uint32_t MK_SHIFT = 0x04;
constexpr uint32_t MK_CONTROL = 0x08;
constexpr uint32_t MK_MBUTTON = 0x10;
constexpr int32_t WHEEL_DELTA = 120;

// Virtual-key codes.
constexpr int32_t VK_BACK = 0x08;
constexpr int32_t VK_TAB = 0x09;
constexpr int32_t VK_CLEAR = 0x0C;
constexpr int32_t VK_RETURN = 0x0D;
constexpr int32_t VK_SHIFT = 0x10;
constexpr int32_t VK_CONTROL = 0x11;
constexpr int32_t VK_MENU = 0x12;
constexpr int32_t VK_PAUSE = 0x13;
constexpr int32_t VK_CAPITAL = 0x14;
constexpr int32_t VK_ESCAPE = 0x1B;
constexpr int32_t VK_SPACE = 0x20;
constexpr int32_t VK_PRIOR = 0x21;
constexpr int32_t VK_NEXT = 0x22;
constexpr int32_t VK_END = 0x23;
constexpr int32_t VK_HOME = 0x24;
constexpr int32_t VK_LEFT = 0x25;
constexpr int32_t VK_UP = 0x26;
constexpr int32_t VK_RIGHT = 0x27;
constexpr int32_t VK_DOWN = 0x28;
constexpr int32_t VK_SNAPSHOT = 0x2C;
constexpr int32_t VK_INSERT = 0x2D;
constexpr int32_t VK_DELETE = 0x2E;
constexpr int32_t VK_LWIN = 0x5B;
constexpr int32_t VK_RWIN = 0x5C;
constexpr int32_t VK_APPS = 0x5D;
constexpr int32_t VK_NUMPAD0 = 0x60;
constexpr int32_t VK_MULTIPLY = 0x6A;
constexpr int32_t VK_ADD = 0x6B;
constexpr int32_t VK_SUBTRACT = 0x6D;
constexpr int32_t VK_DECIMAL = 0x6E;
constexpr int32_t VK_DIVIDE = 0x6F;
constexpr int32_t VK_F1 = 0x70;
constexpr int32_t VK_F4 = 0x73;
constexpr int32_t VK_F10 = 0x79;
constexpr int32_t VK_NUMLOCK = 0x90;
constexpr int32_t VK_SCROLL = 0x91;
constexpr int32_t VK_LSHIFT = 0xA0;
constexpr int32_t VK_RSHIFT = 0xA1;
constexpr int32_t VK_LCONTROL = 0xA2;
constexpr int32_t VK_RCONTROL = 0xA3;
constexpr int32_t VK_LMENU = 0xA4;
constexpr int32_t VK_RMENU = 0xA5;
constexpr int32_t VK_OEM_1 = 0xBA;
constexpr int32_t VK_OEM_PLUS = 0xBB;
constexpr int32_t VK_OEM_COMMA = 0xBC;
constexpr int32_t VK_OEM_MINUS = 0xBD;
constexpr int32_t VK_OEM_PERIOD = 0xBE;
constexpr int32_t VK_OEM_2 = 0xBF;
constexpr int32_t VK_OEM_3 = 0xC0;
constexpr int32_t VK_OEM_4 = 0xDB;
constexpr int32_t VK_OEM_5 = 0xDC;
constexpr int32_t VK_OEM_6 = 0xDD;
constexpr int32_t VK_OEM_7 = 0xDE;
constexpr int32_t VK_OEM_102 = 0xE2;

// Key-message lParam bits: the repeat count in bits 0-15, the scan code in 16-23, the
// extended-key bit 24, the previous key state bit 30 and the transition bit 31.
constexpr int64_t KEY_EXTENDED = 1 << 24;
constexpr int64_t KEY_PREVIOUS_DOWN = 1 << 30;
constexpr int64_t KEY_RELEASING = int64_t{1} << 31;
constexpr int32_t SCAN_LSHIFT = 0x2A;
constexpr int32_t SCAN_RSHIFT = 0x36;
constexpr int32_t SCAN_CONTROL = 0x1D;
constexpr int32_t SCAN_ALT = 0x38;

// The keyboard's state when the message was made, as a key-state query would answer it then.
enum WindowKeyState : uint32_t {
    KEYSTATE_SHIFT = 1,
    KEYSTATE_CONTROL = 2,
    KEYSTATE_ALT = 4,
    KEYSTATE_RSHIFT = 8,
};

// WM_GETMINMAXINFO's record: the outer and client size of the window go in; the track sizes
// come out, each left at 0 when no limit applies to it.
struct WindowMinMaxInfo {
    int32_t windowWidth, windowHeight;
    int32_t clientWidth, clientHeight;
    int32_t minTrackWidth, minTrackHeight;
    int32_t maxTrackWidth, maxTrackHeight;
};

struct WindowMessage {
    uint32_t message = WM_NULL;
    uint64_t wParam = 0;
    int64_t lParam = 0;
    uint32_t keyState = 0;  // WindowKeyState bits
    // WM_GETMINMAXINFO: the record to fill. WM_MOUSEWHEEL carries the pointer's client
    // position in lParam (low word x, high word y, both signed).
    WindowMinMaxInfo* minMax = nullptr;
};

constexpr int64_t MakeLParam(int32_t low, int32_t high) {
    return static_cast<int64_t>((static_cast<uint32_t>(high & 0xFFFF) << 16) |
                                (static_cast<uint32_t>(low) & 0xFFFF));
}
constexpr int32_t SignedLowWord(int64_t value) {
    return static_cast<int16_t>(value & 0xFFFF);
}
constexpr int32_t SignedHighWord(int64_t value) {
    return static_cast<int16_t>((value >> 16) & 0xFFFF);
}

// Codes of the user events that carry a synthesised key (the key in data1).
constexpr int32_t PLATFORM_POSTED_KEY_DOWN = 0x4B44;
constexpr int32_t PLATFORM_POSTED_KEY_UP = 0x4B55;
