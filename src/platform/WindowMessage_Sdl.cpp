// SDL events as window messages: keys with virtual-key codes, the repeat bit and the scan
// codes of the shift keys, text as UTF-16 character messages, mouse buttons, motion and
// wheel, focus, size and close.
#include <SDL.h>

#include "platform/EventPump.h"

namespace {

constexpr uint64_t DBT_DEVNODES_CHANGED = 7;

class MessageWriter {
public:
    MessageWriter(WindowMessage* out, int32_t capacity) : m_out(out), m_capacity(capacity) {}
    void Add(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0, uint32_t keyState = 0) {
        if (m_count >= m_capacity) return;
        WindowMessage& slot = m_out[m_count++];
        slot = WindowMessage{};
        slot.message = message;
        slot.wParam = wParam;
        slot.lParam = lParam;
        slot.keyState = keyState;
    }
    int32_t Count() const { return m_count; }

private:
    WindowMessage* m_out;
    int32_t m_capacity;
    int32_t m_count = 0;
};

int32_t KeypadKey(SDL_Scancode scancode, bool numLock) {
    // Digits 1..9 then 0, as the scan codes run; without num lock they are the cursor keys.
    static const int32_t kNavigation[10] = {VK_END,   VK_DOWN, VK_NEXT, VK_LEFT,  VK_CLEAR,
                                            VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR, VK_INSERT};
    const int index = scancode - SDL_SCANCODE_KP_1;
    if (numLock) return VK_NUMPAD0 + (index + 1) % 10;
    return kNavigation[index];
}

struct KeyEntry {
    SDL_Scancode scancode;
    int32_t key;
};

// Keys whose code does not follow from a letter, digit, function-key or keypad run.
constexpr KeyEntry kOtherKeys[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7},
    {SDL_SCANCODE_GRAVE, VK_OEM_3},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_APPLICATION, VK_APPS},
    {SDL_SCANCODE_MENU, VK_APPS},
    {SDL_SCANCODE_LCTRL, VK_CONTROL},
    {SDL_SCANCODE_RCTRL, VK_CONTROL},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LALT, VK_MENU},
    {SDL_SCANCODE_RALT, VK_MENU},
    {SDL_SCANCODE_LGUI, VK_LWIN},
    {SDL_SCANCODE_RGUI, VK_RWIN},
};

// Keys that carry the extended-key bit.
constexpr SDL_Scancode kExtendedKeys[] = {
    SDL_SCANCODE_RCTRL,     SDL_SCANCODE_RALT,     SDL_SCANCODE_INSERT,       SDL_SCANCODE_DELETE,
    SDL_SCANCODE_HOME,      SDL_SCANCODE_END,      SDL_SCANCODE_PAGEUP,       SDL_SCANCODE_PAGEDOWN,
    SDL_SCANCODE_LEFT,      SDL_SCANCODE_RIGHT,    SDL_SCANCODE_UP,           SDL_SCANCODE_DOWN,
    SDL_SCANCODE_KP_DIVIDE, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_NUMLOCKCLEAR, SDL_SCANCODE_PRINTSCREEN,
    SDL_SCANCODE_LGUI,      SDL_SCANCODE_RGUI,     SDL_SCANCODE_APPLICATION,
};

int32_t OtherKey(SDL_Scancode scancode) {
    for (const KeyEntry& entry : kOtherKeys) {
        if (entry.scancode == scancode) return entry.key;
    }
    return 0;
}

// Letters and digits follow the layout where it gives them, else the key's position.
int32_t VirtualKey(const SDL_Keysym& key) {
    const SDL_Keycode code = key.sym;
    const SDL_Scancode scancode = key.scancode;
    if (code >= 'a' && code <= 'z') return static_cast<int32_t>(code - 'a' + 'A');
    if (code >= '0' && code <= '9') return static_cast<int32_t>(code);
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return VK_F1 + (scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24)
        return VK_F1 + 12 + (scancode - SDL_SCANCODE_F13);
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_0)
        return KeypadKey(scancode, (key.mod & KMOD_NUM) != 0);
    if (scancode == SDL_SCANCODE_KP_PERIOD) return (key.mod & KMOD_NUM) ? VK_DECIMAL : VK_DELETE;
    return OtherKey(scancode);
}

bool IsExtended(SDL_Scancode scancode) {
    for (SDL_Scancode extended : kExtendedKeys) {
        if (extended == scancode) return true;
    }
    return false;
}

// The procedure only reads the scan codes of the modifier keys.
int32_t ScanCode(SDL_Scancode scancode) {
    switch (scancode) {
        case SDL_SCANCODE_LSHIFT:
            return SCAN_LSHIFT;
        case SDL_SCANCODE_RSHIFT:
            return SCAN_RSHIFT;
        case SDL_SCANCODE_LCTRL:
        case SDL_SCANCODE_RCTRL:
            return SCAN_CONTROL;
        case SDL_SCANCODE_LALT:
        case SDL_SCANCODE_RALT:
            return SCAN_ALT;
        default:
            return 0;
    }
}

uint32_t KeyState(uint16_t mod) {
    uint32_t state = 0;
    if (mod & KMOD_SHIFT) state |= KEYSTATE_SHIFT;
    if (mod & KMOD_CTRL) state |= KEYSTATE_CONTROL;
    if (mod & KMOD_ALT) state |= KEYSTATE_ALT;
    if (mod & KMOD_RSHIFT) state |= KEYSTATE_RSHIFT;
    return state;
}

// Keys that type a control character of their own.
int32_t ControlCharacter(int32_t key) {
    switch (key) {
        case VK_BACK:
            return 8;
        case VK_TAB:
            return 9;
        case VK_RETURN:
            return 13;
        case VK_ESCAPE:
            return 27;
        default:
            return 0;
    }
}

void TranslateKey(const SDL_KeyboardEvent& event, MessageWriter& out) {
    const int32_t key = VirtualKey(event.keysym);
    if (key == 0) return;
    const uint16_t mod = event.keysym.mod;
    const bool altHeld = (mod & KMOD_ALT) && !(mod & KMOD_CTRL);
    const bool down = event.type == SDL_KEYDOWN;
    int64_t lParam = 1 | int64_t{ScanCode(event.keysym.scancode)} << 16;
    if (IsExtended(event.keysym.scancode)) lParam |= KEY_EXTENDED;
    if (!down) lParam |= KEY_PREVIOUS_DOWN | KEY_RELEASING;
    if (down && event.repeat) lParam |= KEY_PREVIOUS_DOWN;
    const bool system = altHeld || key == VK_F10 || (key == VK_MENU && !(mod & KMOD_CTRL));
    const uint32_t message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    out.Add(message, static_cast<uint64_t>(key), lParam, KeyState(mod));
    if (!down) return;
    if (system) {
        // Alt+Enter reaches the window as the system menu's key command.
        if (key == VK_RETURN && !event.repeat) out.Add(WM_SYSCOMMAND, SC_KEYMENU, 13);
        return;
    }
    if (const int32_t character = ControlCharacter(key))
        out.Add(WM_CHAR, static_cast<uint64_t>(character), lParam);
}

// UTF-8 text as UTF-16 units; malformed bytes are skipped.
void TranslateText(const char* text, MessageWriter& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t code = *p;
        int extra = code < 0x80         ? 0
                    : (code >> 5) == 6  ? 1
                    : (code >> 4) == 14 ? 2
                    : (code >> 3) == 30 ? 3
                                        : -1;
        ++p;
        if (extra < 0) continue;
        code &= extra == 0 ? 0x7F : (0x3F >> extra);
        bool valid = true;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = code << 6 | (*p & 0x3F);
        }
        if (!valid || code > 0x10FFFF) continue;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.Add(WM_CHAR, 0xD800 + (code >> 10));
            out.Add(WM_CHAR, 0xDC00 + (code & 0x3FF));
        } else {
            out.Add(WM_CHAR, code);
        }
    }
}

uint64_t MouseKeyMask(uint32_t buttons) {
    const SDL_Keymod mod = SDL_GetModState();
    uint64_t mask = 0;
    if (buttons & SDL_BUTTON_LMASK) mask |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) mask |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) mask |= MK_MBUTTON;
    if (mod & KMOD_SHIFT) mask |= MK_SHIFT;
    if (mod & KMOD_CTRL) mask |= MK_CONTROL;
    return mask;
}

void TranslateButton(const SDL_MouseButtonEvent& event, MessageWriter& out) {
    const bool down = event.type == SDL_MOUSEBUTTONDOWN;
    uint32_t message;
    switch (event.button) {
        case SDL_BUTTON_LEFT:
            message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
        case SDL_BUTTON_RIGHT:
            message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
        case SDL_BUTTON_MIDDLE:
            message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
        default:
            return;
    }
    out.Add(message, MouseKeyMask(SDL_GetMouseState(nullptr, nullptr)), MakeLParam(event.x, event.y));
}

void TranslateWheel(const SDL_MouseWheelEvent& event, MessageWriter& out) {
    int32_t notches = event.y;
    if (event.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
    if (notches == 0) return;
    const int32_t delta = notches * WHEEL_DELTA;
    const uint64_t wParam =
        uint64_t{static_cast<uint16_t>(delta)} << 16 | MouseKeyMask(SDL_GetMouseState(nullptr, nullptr));
    out.Add(WM_MOUSEWHEEL, wParam, MakeLParam(event.mouseX, event.mouseY));
}

void AddSize(uint32_t windowId, MessageWriter& out, int32_t width, int32_t height) {
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    const bool maximised = window && (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED);
    out.Add(WM_SIZE, maximised ? SIZE_MAXIMIZED : SIZE_RESTORED, MakeLParam(width, height));
}

void TranslateWindowEvent(const SDL_WindowEvent& event, MessageWriter& out) {
    switch (event.event) {
        case SDL_WINDOWEVENT_SHOWN: {
            out.Add(WM_SHOWWINDOW, 1);
            // Showing a window sizes it: the first such size the procedure is told to ignore.
            if (SDL_Window* window = SDL_GetWindowFromID(event.windowID)) {
                int width = 0, height = 0;
                SDL_GetWindowSize(window, &width, &height);
                AddSize(event.windowID, out, width, height);
            }
            break;
        }
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            AddSize(event.windowID, out, event.data1, event.data2);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            out.Add(WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            out.Add(WM_ACTIVATEAPP, 1);
            out.Add(WM_NCACTIVATE, 1);
            out.Add(WM_ACTIVATE, WA_ACTIVE);
            out.Add(WM_SETFOCUS);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            out.Add(WM_NCACTIVATE, 0);
            out.Add(WM_ACTIVATE, WA_INACTIVE, 0);
            out.Add(WM_ACTIVATEAPP, 0);
            out.Add(WM_KILLFOCUS);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            out.Add(WM_CLOSE);
            break;
        default:
            break;
    }
}

}  // namespace

int32_t PlatformEvents_Translate(const void* nativeEvent, WindowMessage* out, int32_t capacity) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(nativeEvent);
    MessageWriter writer(out, capacity);
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            TranslateKey(event.key, writer);
            break;
        case SDL_TEXTINPUT:
            TranslateText(event.text.text, writer);
            break;
        case SDL_MOUSEMOTION:
            writer.Add(WM_MOUSEMOVE, MouseKeyMask(event.motion.state),
                       MakeLParam(event.motion.x, event.motion.y));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            TranslateButton(event.button, writer);
            break;
        case SDL_MOUSEWHEEL:
            TranslateWheel(event.wheel, writer);
            break;
        case SDL_WINDOWEVENT:
            TranslateWindowEvent(event.window, writer);
            break;
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
            writer.Add(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
            break;
        case SDL_USEREVENT:
            // A key the game synthesised (keyboard_key_press and friends).
            if (event.user.code == PLATFORM_POSTED_KEY_DOWN || event.user.code == PLATFORM_POSTED_KEY_UP) {
                const bool down = event.user.code == PLATFORM_POSTED_KEY_DOWN;
                const auto key = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(event.user.data1));
                writer.Add(down ? WM_KEYDOWN : WM_KEYUP, key,
                           down ? 1 : (1 | KEY_PREVIOUS_DOWN | KEY_RELEASING));
            }
            break;
        default:
            break;
    }
    return writer.Count();
}
