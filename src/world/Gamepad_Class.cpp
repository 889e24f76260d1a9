#include "world/Gamepad_Class.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "core/RunSwitches.h"
#include "data/Function_Data_Structures.h"
#include "graphics/Graphics_Window.h"
#include "io/HTTP_Main.h"
#include "platform/GamepadM.h"
#include "base/GEN8.h"

namespace {

constexpr int32_t kFirstCode = 0x8000;
constexpr int32_t kAxisAsButton = 0x1000;
constexpr int32_t kNegativeDirection = 0x2000;
constexpr int32_t kInvertedAxis = 0x8000;
constexpr uint64_t kPollXInputOption = 4;

// gp_face1 .. gp_padr, then gp_axislh .. gp_axisrv.
constexpr int32_t kXInputButtons[16] = {12, 13, 14, 15, 8, 9, 10, 11, 5, 4, 6, 7, 0, 1, 2, 3};
constexpr int32_t kDirectInputButtons[16] = {0, 1, 2,  3,  4,      5,      6,      7,
                                             8, 9, 10, 11, 0x1021, 0x3021, 0x3020, 0x1020};
constexpr int32_t kXInputAxes[4] = {0, 0x8001, 2, 0x8003};
constexpr int32_t kDirectInputAxes[4] = {0, 1, 2, 5};
constexpr int32_t kFirstAxisCode = kFirstCode + 17;

const GamepadDeviceLayer* g_layer = nullptr;
bool g_xinput = false;
bool g_warned = false;

ResourceTable<Gamepad> g_pads;

// A generic device attached to the system, with the pad it was given (-1 none).
struct JoystickDevice {
    PadJoystickInfo info;
    PadJoystickState last;
    int32_t pad = -1;
};
std::vector<JoystickDevice> g_devices;
std::vector<int32_t> g_freePads;  // the back is the pad returned most recently

float* NewValues(int32_t count) {
    return static_cast<float*>(MEM_ALLOC(static_cast<uint32_t>(count) * sizeof(float)));
}

void ClearValues(float* values, int32_t count) {
    std::memset(values, 0, static_cast<size_t>(count) * sizeof(float));
}

// Grown with new slots cleared; never shrunk while the runner lives.
void GrowTable(int32_t count) {
    if (count <= g_pads.count) return;
    g_pads.slots =
        static_cast<Gamepad**>(MEM_REALLOC(g_pads.slots, static_cast<uint32_t>(count) * sizeof(Gamepad*)));
    for (int32_t i = g_pads.count; i < count; ++i) g_pads.slots[i] = nullptr;
    g_pads.count = count;
}

void PostPadEvent(const char* type, int32_t index) {
    const int32_t map = DsMap_CreateFromPairs(2, "event_type", 0.0, type, "pad_index",
                                              static_cast<double>(index), static_cast<const char*>(nullptr));
    Async_PostMapEvent(map, kAsyncEventSystem);
}

bool XInputPolling() {
    return g_xinput && g_layer != nullptr && (g_GameHeader.optionFlags & kPollXInputOption) != 0;
}

const char* XInputDescription(int32_t subType) {
    switch (subType) {
        case 1:
            return "Xbox 360 Controller (XInput STANDARD GAMEPAD)";
        case 2:
            return "Xbox 360 Controller (XInput WHEEL)";
        case 3:
            return "Xbox 360 Controller (XInput ARCADE STICK)";
        case 4:
            return "Xbox 360 Controller (XInput FLIGHT STICK)";
        case 5:
            return "Xbox 360 Controller (XInput DANCE PAD)";
        case 6:
            return "Xbox 360 Controller (XInput GUITAR)";
        case 8:
            return "Xbox 360 Controller (XInput DRUM KIT)";
        default:
            return nullptr;
    }
}

void StoreController(Gamepad* pad, const PadControllerState& s) {
    float buttons[GAMEPAD_XINPUT_BUTTONS], axes[GAMEPAD_XINPUT_AXES];
    for (int32_t b = 0; b < GAMEPAD_XINPUT_BUTTONS; ++b) buttons[b] = (s.buttons >> b) & 1u ? 1.0f : 0.0f;
    // The button word leaves 10 and 11 free: the triggers go there.
    buttons[10] = s.leftTrigger * (1.0f / 256.0f);
    buttons[11] = s.rightTrigger * (1.0f / 256.0f);
    const int16_t sticks[GAMEPAD_XINPUT_AXES] = {s.thumbLX, s.thumbLY, s.thumbRX, s.thumbRY};
    for (int32_t a = 0; a < GAMEPAD_XINPUT_AXES; ++a) axes[a] = sticks[a] * (1.0f / 32768.0f);
    pad->Store(buttons, axes);
}

void StoreJoystick(Gamepad* pad, const PadJoystickState& s) {
    float buttons[GAMEPAD_DIRECTINPUT_BUTTONS], axes[GAMEPAD_DIRECTINPUT_AXES];
    for (int32_t b = 0; b < GAMEPAD_DIRECTINPUT_BUTTONS; ++b) buttons[b] = s.buttons[b] != 0 ? 1.0f : 0.0f;
    for (int32_t a = 0; a < PAD_JOYSTICK_AXES; ++a) axes[a] = static_cast<float>(s.axes[a]) / 1000.0f;
    for (int32_t h = 0; h < PAD_JOYSTICK_HATS; ++h) {
        float* pair = &axes[PAD_JOYSTICK_AXES + 2 * h];
        if ((s.hats[h] & 0xFFFFu) == 0xFFFFu) {
            pair[0] = pair[1] = 0.0f;
            continue;
        }
        const double theta = s.hats[h] * 3.141592 / 18000.0;
        pair[0] = static_cast<float>(std::sin(theta));
        pair[1] = static_cast<float>(std::cos(theta));
    }
    pad->Store(buttons, axes);
}

void DisconnectController(Gamepad* pad) {
    pad->SetDescription("");
    pad->SetConnected(false);
}

int32_t TakeFreePad() {
    if (g_freePads.empty()) return -1;
    const int32_t pad = g_freePads.back();
    g_freePads.pop_back();
    return pad;
}

void FreeDevices() {
    for (const JoystickDevice& device : g_devices)
        if (g_layer != nullptr && !g_Switches.noDirectInput) g_layer->joystickRelease(device.info.key);
    g_devices.clear();
    g_freePads.clear();
}

int32_t EnumerateDevices(std::vector<PadJoystickInfo>& out) {
    out.assign(GAMEPAD_DIRECTINPUT_SLOTS * 4, PadJoystickInfo{});
    const int32_t n = g_layer->joystickList(out.data(), static_cast<int32_t>(out.size()));
    out.resize(static_cast<size_t>(n > 0 ? n : 0));
    return static_cast<int32_t>(out.size());
}

}  // namespace

// --- the pad record ----------------------------------------------------------------------------

Gamepad::Gamepad(int32_t buttonSlots, int32_t axisSlots, bool isXInput)
    : xinput(isXInput), buttonCount(buttonSlots), axisCount(axisSlots) {
    previousButtons = NewValues(buttonCount);
    buttons = NewValues(buttonCount);
    axes = NewValues(axisCount);
    previousAxes = NewValues(axisCount);
    DebugConsole.Output("GAMEPAD: %d axis values (last) at 0x%x\n", axisCount,
                        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(previousAxes)));
}

Gamepad::~Gamepad() {
    MEM_FREE(previousButtons);
    MEM_FREE(buttons);
    MEM_FREE(axes);
    MEM_FREE(previousAxes);
}

void Gamepad::SetConnected(bool now) {
    if (now != connected) {
        connected = now;
        PostPadEvent(now ? "gamepad discovered" : "gamepad lost", Gamepad_IndexOf(this));
    }
    if (!now) {
        ClearValues(previousButtons, buttonCount);
        ClearValues(buttons, buttonCount);
        ClearValues(axes, axisCount);
        ClearValues(previousAxes, axisCount);
    }
}

void Gamepad::Store(const float* newButtons, const float* newAxes) {
    std::memcpy(previousButtons, buttons, static_cast<size_t>(buttonCount) * sizeof(float));
    std::memcpy(previousAxes, axes, static_cast<size_t>(axisCount) * sizeof(float));
    std::memcpy(buttons, newButtons, static_cast<size_t>(buttonCount) * sizeof(float));
    std::memcpy(axes, newAxes, static_cast<size_t>(axisCount) * sizeof(float));
}

void Gamepad::SetDescription(const char* text) {
    std::snprintf(description, sizeof description, "%s", text != nullptr ? text : "");
}

int32_t Gamepad::TranslateButton(int32_t code) const {
    if (code < kFirstCode) return code;
    const int32_t n = code - kFirstCode - 1;
    if (n < 0 || n >= 16) return 0;
    return xinput ? kXInputButtons[n] : kDirectInputButtons[n];
}

int32_t Gamepad::TranslateAxis(int32_t code) const {
    if (code < kFirstCode) return code;
    const int32_t n = code - kFirstAxisCode;
    if (n < 0 || n >= 4) return 0;
    return xinput ? kXInputAxes[n] : kDirectInputAxes[n];
}

float Gamepad::ButtonValue(int32_t code, bool previous) const {
    const int32_t i = TranslateButton(code);
    if (i < 0) return 0.0f;
    if ((i & kAxisAsButton) != 0) {
        const int32_t a = i & 0x0FFF;
        if (a >= axisCount) return 0.0f;
        const float x = previous ? previousAxes[a] : axes[a];
        const float d = axisDeadzone;
        if ((i & kNegativeDirection) != 0) return x < -d ? std::fabs(x) : 0.0f;
        return x > d ? x : 0.0f;
    }
    if (i >= buttonCount) return 0.0f;
    return previous ? previousButtons[i] : buttons[i];
}

bool Gamepad::ButtonHeld(int32_t code) const {
    return ButtonValue(code, false) >= buttonThreshold;
}

bool Gamepad::ButtonPressed(int32_t code) const {
    return ButtonValue(code, false) >= buttonThreshold && ButtonValue(code, true) < buttonThreshold;
}

bool Gamepad::ButtonReleased(int32_t code) const {
    return ButtonValue(code, false) < buttonThreshold && ButtonValue(code, true) >= buttonThreshold;
}

float Gamepad::AxisValue(int32_t code) const {
    int32_t j = TranslateAxis(code);
    if (j < 0) return 0.0f;
    if ((j & kAxisAsButton) != 0) {
        const int32_t b = j & 0x0FFF;
        return b < buttonCount ? buttons[b] : 0.0f;
    }
    const float sign = (j & kInvertedAxis) != 0 ? -1.0f : 1.0f;
    j &= ~kInvertedAxis;
    if (j >= axisCount) return 0.0f;
    const float x = axes[j], d = axisDeadzone;
    if (d <= 0.0f) return sign * x;
    if (std::fabs(x) < d) return 0.0f;
    // A dead zone of 1 leaves only the stops, read as full.
    const float scaled = d >= 1.0f ? 1.0f : (std::fabs(x) - d) / (1.0f - d);
    return sign * std::copysign(scaled, x);
}

// --- the table -----------------------------------------------------------------------------------

void Gamepad_SetDeviceLayer(const GamepadDeviceLayer* layer) {
    g_layer = layer;
}

void Gamepad_InstallHooks(const GamepadDeviceLayer* layer) {
    g_layer = layer;
    g_WindowHooks.Gamepad_RedetectXInput = Gamepad_ScanXInput;
    g_WindowHooks.Gamepad_RedetectDirectInput = Gamepad_RescanDirectInput;
}

void Gamepad_InitXInput() {
    g_xinput = g_layer != nullptr && g_layer->controllersAvailable();
    g_warned = false;
}

bool Gamepad_XInputLoaded() {
    return g_xinput;
}

int32_t Gamepad_InitDirectInput() {
    if (g_Switches.noDirectInput) {
        Gamepad_Init(0);
        return 0;
    }
    if (g_layer == nullptr || !g_layer->joysticksAvailable()) return -1;
    std::vector<PadJoystickInfo> found;
    EnumerateDevices(found);
    FreeDevices();
    for (const PadJoystickInfo& info : found) {
        JoystickDevice device;
        device.info = info;
        g_devices.push_back(device);
    }
    Gamepad_Init(GAMEPAD_DIRECTINPUT_SLOTS);
    return static_cast<int32_t>(g_devices.size());
}

void Gamepad_Init(int32_t directInputPads) {
    GrowTable(GAMEPAD_XINPUT_SLOTS + directInputPads);
    for (int32_t i = 0; i < GAMEPAD_XINPUT_SLOTS; ++i) {
        delete g_pads.slots[i];
        g_pads.slots[i] = new Gamepad(GAMEPAD_XINPUT_BUTTONS, GAMEPAD_XINPUT_AXES, true);
    }
    for (int32_t i = 0; i < directInputPads; ++i) {
        const int32_t slot = GAMEPAD_XINPUT_SLOTS + i;
        delete g_pads.slots[slot];
        g_pads.slots[slot] = new Gamepad(GAMEPAD_DIRECTINPUT_BUTTONS, GAMEPAD_DIRECTINPUT_AXES, false);
    }
    // The devices found take the pads in the order they were listed; the rest form the pool,
    // lowest slot taken first.
    size_t next = 0;
    for (JoystickDevice& device : g_devices) {
        if (static_cast<int32_t>(next) >= directInputPads) break;
        device.pad = GAMEPAD_XINPUT_SLOTS + static_cast<int32_t>(next++);
        g_pads.slots[device.pad]->SetDescription(device.info.productName);
    }
    g_freePads.clear();
    for (int32_t i = directInputPads - 1; i >= static_cast<int32_t>(next); --i)
        g_freePads.push_back(GAMEPAD_XINPUT_SLOTS + i);
    Gamepad_ScanXInput();
}

void Gamepad_ScanXInput() {
    if (!XInputPolling()) return;
    for (int32_t n = 0; n < GAMEPAD_XINPUT_SLOTS && n < g_pads.count; ++n) {
        Gamepad* pad = g_pads.slots[n];
        if (pad == nullptr) continue;
        PadControllerState state;
        if (!g_layer->controllerState(n, &state)) {
            DisconnectController(pad);
            continue;
        }
        if (pad->connected) continue;
        if (const char* text = XInputDescription(g_layer->controllerSubType(n))) pad->SetDescription(text);
        pad->SetConnected(true);
    }
}

void Gamepad_RescanDirectInput() {
    if (g_Switches.noDirectInput || g_layer == nullptr || g_pads.count <= GAMEPAD_XINPUT_SLOTS) return;
    std::vector<PadJoystickInfo> found;
    EnumerateDevices(found);
    auto present = [&](uint64_t key) {
        for (const PadJoystickInfo& info : found)
            if (info.key == key) return true;
        return false;
    };
    // Devices that went return their pads first, so a device that came back may take one.
    for (size_t i = 0; i < g_devices.size();) {
        JoystickDevice& device = g_devices[i];
        if (present(device.info.key)) {
            ++i;
            continue;
        }
        if (Gamepad* pad = Gamepad_Get(device.pad)) {
            pad->SetConnected(false);
            pad->SetDescription("");
            g_freePads.push_back(device.pad);
        }
        g_layer->joystickRelease(device.info.key);
        g_devices.erase(g_devices.begin() + static_cast<std::ptrdiff_t>(i));
    }
    for (const PadJoystickInfo& info : found) {
        bool known = false;
        for (const JoystickDevice& device : g_devices) known = known || device.info.key == info.key;
        if (known) continue;
        JoystickDevice device;
        device.info = info;
        device.pad = TakeFreePad();
        if (Gamepad* pad = Gamepad_Get(device.pad)) {
            pad->SetDescription(info.productName);
            pad->SetConnected(true);
        }
        g_devices.push_back(device);
    }
}

void Gamepad_Poll() {
    if (g_layer == nullptr) return;
    if (!g_Switches.noDirectInput) {
        for (JoystickDevice& device : g_devices) {
            Gamepad* pad = Gamepad_Get(device.pad);
            if (!g_layer->joystickState(device.info.key, &device.last)) {
                device.last = PadJoystickState{};
                if (pad != nullptr) pad->SetConnected(false);
                continue;
            }
            if (pad == nullptr) continue;
            StoreJoystick(pad, device.last);
            pad->SetConnected(true);
        }
    }
    if (!XInputPolling()) return;
    for (int32_t n = 0; n < GAMEPAD_XINPUT_SLOTS && n < g_pads.count; ++n) {
        Gamepad* pad = g_pads.slots[n];
        if (pad == nullptr || !pad->connected) continue;
        PadControllerState state;
        if (!g_layer->controllerState(n, &state)) {
            DisconnectController(pad);
            continue;
        }
        StoreController(pad, state);
        g_layer->controllerVibrate(n, static_cast<uint16_t>(pad->vibrationLeft * 65535.0f),
                                   static_cast<uint16_t>(pad->vibrationRight * 65535.0f));
    }
}

void Gamepad_AnnounceAll() {
    for (int32_t i = 0; i < g_pads.count; ++i)
        if (g_pads.slots[i] != nullptr && g_pads.slots[i]->connected) PostPadEvent("gamepad discovered", i);
}

void Gamepad_Shutdown() {
    for (int32_t i = 0; i < g_pads.count; ++i) delete g_pads.slots[i];
    MEM_FREE(g_pads.slots);
    g_pads.slots = nullptr;
    g_pads.count = 0;
    FreeDevices();
    if (g_layer != nullptr) g_layer->shutdown();
}

int32_t Gamepad_Count() {
    return g_pads.count;
}

Gamepad* Gamepad_Get(int32_t index) {
    return g_pads.Get(index);
}

int32_t Gamepad_IndexOf(const Gamepad* pad) {
    for (int32_t i = 0; i < g_pads.count; ++i)
        if (g_pads.slots[i] == pad) return i;
    return -1;
}

void Gamepad_WarnIfUnsupported() {
    if (g_xinput || g_warned) return;
    g_warned = true;
    DebugConsole.Output("!!!!! xinput1_3.dll not found. Gamepad support disabled");
}
