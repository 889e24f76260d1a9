#include "world/IO_Main.h"

#include <cstdio>
#include <cstring>

#include "core/Code_Constant.h"
#include "core/Console.h"
#include "core/RunSwitches.h"
#include "core/UTF8.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Window.h"
#include "io/IBuffer.h"
#include "io/IniFile.h"
#include "world/Gamepad_Class.h"

namespace {

InputState g_step;
InputState g_back;
int32_t g_stringCount = 0;  // shared by both copies
int32_t g_keyMap[IO_KEYS];
int32_t g_previousKey = 0;  // the key held before the current one, for its release
uint8_t g_systemKeys[IO_KEYS] = {};

// Per-device client positions the mouse built-ins read; only device 0 is fed here.
int32_t g_clientX[IO_MOUSE_DEVICES] = {};
int32_t g_clientY[IO_MOUSE_DEVICES] = {};
int32_t g_backClientX = 0, g_backClientY = 0;

FILE* g_recordFile = nullptr;
bool g_playbackEndLogged = false;
bool g_recording = false;
bool g_playing = false;

VirtualKey* g_virtualKeys = nullptr;
uint32_t g_virtualMask = 0;

struct PointerEvent {
    int32_t x = 0, y = 0;
    uint32_t state = 0;
};
PointerEvent g_pointers[IO_VIRTUAL_KEYS];

bool ValidKey(int32_t key) {
    return key >= 0 && key < IO_KEYS;
}
// Negative buttons and devices are refused as well as those past the top.
int32_t ButtonSlot(int32_t button, int32_t device) {
    if (button < 1 || button > IO_MOUSE_BUTTONS || device < 0 || device >= IO_MOUSE_DEVICES) return -1;
    return device * IO_MOUSE_BUTTONS + button - 1;
}
bool ValidDevice(int32_t device) {
    return device >= 0 && device < IO_MOUSE_DEVICES;
}

void ClearPerStep(InputState& s) {
    std::memset(s.keyPressed, 0, sizeof s.keyPressed);
    std::memset(s.keyReleased, 0, sizeof s.keyReleased);
    std::memset(s.wheelUp, 0, sizeof s.wheelUp);
    std::memset(s.wheelDown, 0, sizeof s.wheelDown);
    std::memset(s.buttonPressed, 0, sizeof s.buttonPressed);
    std::memset(s.buttonReleased, 0, sizeof s.buttonReleased);
}

void ClearInput(InputState& s) {
    std::memset(s.string, 0, sizeof s.string);
    s.lastChar = 0;
    s.lastKey = 0;
    s.currentKey = 0;
    std::memset(s.keyDown, 0, sizeof s.keyDown);
    std::memset(s.keyPressed, 0, sizeof s.keyPressed);
    std::memset(s.keyReleased, 0, sizeof s.keyReleased);
    for (int32_t b = 0; b < IO_MOUSE_BUTTONS; ++b)
        s.buttonDown[b] = s.buttonPressed[b] = s.buttonReleased[b] = 0;
    s.button[0] = s.lastButton[0] = 0;
    s.wheelUp[0] = s.wheelDown[0] = 0;
}

int32_t Translate(int32_t key) {
    if (!ValidKey(key)) return -1;
    const int32_t mapped = g_keyMap[key];
    return ValidKey(mapped) ? mapped : -1;
}

// --- little-endian record fields ---------------------------------------------------------

void Put16(uint8_t*& p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p += 2;
}
void Put32(uint8_t*& p, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    p += 4;
}
void PutBytes(uint8_t*& p, const uint8_t* bytes, size_t n) {
    std::memcpy(p, bytes, n);
    p += n;
}
uint16_t Get16(const uint8_t*& p) {
    const uint16_t v = static_cast<uint16_t>(p[0] | (p[1] << 8));
    p += 2;
    return v;
}
int32_t Get32(const uint8_t*& p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    p += 4;
    return static_cast<int32_t>(v);
}
void GetBytes(const uint8_t*& p, uint8_t* bytes, size_t n) {
    std::memcpy(bytes, p, n);
    p += n;
}

// --- the step ------------------------------------------------------------------------------

void TakeSnapshot() {
    g_step.screenX = g_backClientX;  // no desktop position here: the client one stands in
    g_step.screenY = g_backClientY;
    g_step.mouseX = g_clientX[0] = g_backClientX;
    g_step.mouseY = g_clientY[0] = g_backClientY;
    g_step.lastChar = g_back.lastChar;
    std::memcpy(g_step.string, g_back.string, sizeof g_step.string);
    g_step.lastKey = g_back.lastKey;
    g_step.currentKey = g_back.currentKey;
    std::memcpy(g_step.keyDown, g_back.keyDown, sizeof g_step.keyDown);
    g_step.button[0] = g_back.button[0];
    g_step.lastButton[0] = g_back.lastButton[0];
    for (int32_t b = 0; b < IO_MOUSE_BUTTONS; ++b) {
        g_step.buttonDown[b] = g_back.buttonDown[b];
        g_step.buttonPressed[b] |= g_back.buttonPressed[b];
        g_step.buttonReleased[b] |= g_back.buttonReleased[b];
        g_back.buttonPressed[b] = g_back.buttonReleased[b] = 0;
    }
    g_step.wheelUp[0] = g_back.wheelUp[0];
    g_step.wheelDown[0] = g_back.wheelDown[0];
    for (int32_t k = 0; k < IO_KEYS; ++k) {
        g_step.keyPressed[k] |= g_back.keyPressed[k];
        g_step.keyReleased[k] |= g_back.keyReleased[k];
    }
    std::memset(g_back.keyPressed, 0, sizeof g_back.keyPressed);
    std::memset(g_back.keyReleased, 0, sizeof g_back.keyReleased);
    g_back.wheelUp[0] = g_back.wheelDown[0] = 0;
}

void ApplyVirtualEdge(uint8_t* down, uint8_t* pressed, uint8_t* released, bool held, bool changed) {
    *pressed |= static_cast<uint8_t>(held && changed);
    *down |= static_cast<uint8_t>(held && !changed);
    *released |= static_cast<uint8_t>(!held && changed);
}

// Only the first 32 slots have bits in the mask.
void UpdateVirtualButtons() {
    if (g_virtualKeys == nullptr) return;
    uint32_t mask = 0;
    for (PointerEvent& pointer : g_pointers) {
        if ((pointer.state & 0x80000000u) == 0) continue;
        for (int32_t slot = 0; slot < 32; ++slot) {
            const VirtualKey& key = g_virtualKeys[slot];
            if ((key.flags & VIRTUAL_KEY_IN_USE) == 0) continue;
            if (pointer.x >= key.left && pointer.x < key.right && pointer.y >= key.top &&
                pointer.y < key.bottom)
                mask |= 1u << slot;
        }
        pointer.state = 0;
    }
    const uint32_t changed = mask ^ g_virtualMask;
    for (int32_t slot = 0; slot < 32; ++slot) {
        const VirtualKey& key = g_virtualKeys[slot];
        if ((key.flags & VIRTUAL_KEY_IN_USE) == 0) continue;
        const bool held = (mask >> slot) & 1u, edge = (changed >> slot) & 1u;
        if (ValidKey(key.key) && key.key != 0) {
            ApplyVirtualEdge(&g_step.keyDown[key.key], &g_step.keyPressed[key.key],
                             &g_step.keyReleased[key.key], held, edge);
        } else if (const int32_t b = ButtonSlot(key.button, 0); key.key == 0 && b >= 0) {
            ApplyVirtualEdge(&g_step.buttonDown[b], &g_step.buttonPressed[b], &g_step.buttonReleased[b], held,
                             edge);
        }
    }
    g_virtualMask = mask;
}

void CloseRecordFile() {
    if (g_recordFile != nullptr) std::fclose(g_recordFile);
    g_recordFile = nullptr;
    g_recording = g_playing = false;
}

// Stops the run before it starts: the player asked for a recording that cannot be.
bool RefuseRecordFile(const char* what) {
    Console_ReportStartFailure("%s: %s\n", what, g_Switches.recordFile.c_str());
    CloseRecordFile();
    return false;
}

bool OpenRecordFile() {
    CloseRecordFile();
    g_playbackEndLogged = false;
    if (g_Switches.recordFile.empty()) return true;
    if (g_Switches.playback) {
        g_playing = true;
        g_recordFile = std::fopen(g_Switches.recordFile.c_str(), "rb");
        if (g_recordFile == nullptr) return RefuseRecordFile("Cannot open the input recording to play back");
        // A recording is whole steps: anything else is not one of ours, or was cut short.
        if (std::fseek(g_recordFile, 0, SEEK_END) != 0)
            return RefuseRecordFile("Cannot read the input recording");
        const long size = std::ftell(g_recordFile);
        if (size < 0 || size % IO_RECORD_SIZE != 0)
            return RefuseRecordFile("Not an input recording (its size is not a whole number of steps)");
        std::rewind(g_recordFile);
    } else if (g_Switches.recording) {
        g_recording = true;
        g_recordFile = std::fopen(g_Switches.recordFile.c_str(), "w+b");
        if (g_recordFile == nullptr) return RefuseRecordFile("Cannot write the input recording");
    }
    if (g_recordFile != nullptr) std::setvbuf(g_recordFile, nullptr, _IONBF, 0);
    return true;
}

char g_stringBuffer[IO_STRING_UNITS * 3 + 1];

// --- window hooks ------------------------------------------------------------------------

void HookKeyDown(int32_t key, int32_t, bool repeat) {
    IO_OnKeyDown(key, repeat);
}
void HookKeyUp(int32_t key, int32_t) {
    IO_OnKeyUp(key);
}
void HookWheelUp(int32_t, int32_t, int32_t, int32_t* handled) {
    IO_OnWheel(true);
    if (handled) *handled = 1;
}
void HookWheelDown(int32_t, int32_t, int32_t, int32_t* handled) {
    IO_OnWheel(false);
    if (handled) *handled = 1;
}
}  // namespace

// --- the step's state at an edge ---------------------------------------------------------------

bool IO_KeyState(int32_t key, InputEdge edge) {
    switch (edge) {
        case INPUT_PRESSED:
            return IO_KeyPressed(key);
        case INPUT_RELEASED:
            return IO_KeyReleased(key);
        default:
            return IO_KeyDown(key);
    }
}
bool IO_MouseButtonState(int32_t button, InputEdge edge) {
    switch (edge) {
        case INPUT_PRESSED:
            return IO_MouseButtonPressed(button, 0);
        case INPUT_RELEASED:
            return IO_MouseButtonReleased(button, 0);
        default:
            return IO_MouseButtonDown(button, 0);
    }
}
void IO_MouseRoomPosition(int32_t* x, int32_t* y) {
    Window_Device_Mouse_Room(x, y, 0);
}

int32_t IO_WheelDirection() {
    return IO_WheelUp(0) ? 1 : IO_WheelDown(0) ? -1 : 0;
}

// --- life cycle ------------------------------------------------------------------------------

bool IO_Init() {
    for (PointerEvent& pointer : g_pointers) pointer = PointerEvent{};
    g_step = InputState{};
    g_back = InputState{};
    g_stringCount = 0;
    g_previousKey = 0;
    g_virtualMask = 0;
    std::memset(g_systemKeys, 0, sizeof g_systemKeys);
    for (int32_t k = 0; k < IO_KEYS; ++k) g_keyMap[k] = k;
    delete[] g_virtualKeys;
    g_virtualKeys = new VirtualKey[IO_VIRTUAL_KEYS];
    for (int32_t i = 0; i < IO_VIRTUAL_KEYS; ++i) g_virtualKeys[i].index = static_cast<uint16_t>(i);
    // The window exists by now: the pads can be looked for.
    Gamepad_InitDirectInput();
    return OpenRecordFile();
}

void IO_StartStep() {
    Gamepad_Poll();
    ClearPerStep(g_step);
    if (g_playing) {
        uint8_t record[IO_RECORD_SIZE];
        if (g_recordFile != nullptr &&
            std::fread(record, 1, IO_RECORD_SIZE, g_recordFile) == IO_RECORD_SIZE) {
            IO_DecodeRecord(record, g_step);
        } else if (!g_playbackEndLogged) {
            g_playbackEndLogged = true;
            DebugConsole.Output("The input recording has ended: %s\n", g_Switches.recordFile.c_str());
        }
    } else {
        TakeSnapshot();
        UpdateVirtualButtons();
    }
    if (g_recording && g_recordFile != nullptr) {
        uint8_t record[IO_RECORD_SIZE];
        IO_EncodeRecord(g_step, record);
        std::fwrite(record, 1, IO_RECORD_SIZE, g_recordFile);
        std::fflush(g_recordFile);
    }
}

void IO_Clear() {
    ClearInput(g_step);
    ClearInput(g_back);
    g_stringCount = 0;
}

void IO_End() {
    Gamepad_Shutdown();
    CloseRecordFile();
    delete[] g_virtualKeys;
    g_virtualKeys = nullptr;
}

void IO_InstallHooks() {
    g_WindowHooks.Input_OnKeyDown = HookKeyDown;
    g_WindowHooks.Input_OnKeyUp = HookKeyUp;
    g_WindowHooks.Input_OnChar = IO_OnChar;
    g_WindowHooks.Input_OnMouseDown = IO_OnMouseDown;
    g_WindowHooks.Input_OnMouseUp = IO_OnMouseUp;
    g_WindowHooks.Input_OnWheelUp = HookWheelUp;
    g_WindowHooks.Input_OnWheelDown = HookWheelDown;
    g_WindowHooks.Input_SetMousePosition = IO_OnMouseMove;
    g_WindowHooks.Input_GetMousePosition = IO_GetMouseClient;
}

// --- record --------------------------------------------------------------------------------

void IO_EncodeRecord(const InputState& s, uint8_t out[IO_RECORD_SIZE]) {
    uint8_t* p = out;
    Put16(p, s.lastChar);
    for (uint16_t unit : s.string) Put16(p, unit);
    Put32(p, s.lastKey);
    Put32(p, s.currentKey);
    PutBytes(p, s.keyDown, IO_KEYS);
    PutBytes(p, s.keyReleased, IO_KEYS);
    PutBytes(p, s.keyPressed, IO_KEYS);
    for (int32_t v : s.lastButton) Put32(p, v);
    for (int32_t v : s.button) Put32(p, v);
    PutBytes(p, s.buttonDown, sizeof s.buttonDown);
    PutBytes(p, s.buttonReleased, sizeof s.buttonReleased);
    PutBytes(p, s.buttonPressed, sizeof s.buttonPressed);
    PutBytes(p, s.wheelUp, sizeof s.wheelUp);
    PutBytes(p, s.wheelDown, sizeof s.wheelDown);
    Put32(p, s.screenX);
    Put32(p, s.screenY);
    Put32(p, s.mouseX);
    Put32(p, s.mouseY);
}

void IO_DecodeRecord(const uint8_t in[IO_RECORD_SIZE], InputState& s) {
    const uint8_t* p = in;
    s.lastChar = Get16(p);
    for (uint16_t& unit : s.string) unit = Get16(p);
    s.string[IO_STRING_UNITS - 1] = 0;  // a damaged record still ends the text
    s.lastKey = Get32(p);
    s.currentKey = Get32(p);
    GetBytes(p, s.keyDown, IO_KEYS);
    GetBytes(p, s.keyReleased, IO_KEYS);
    GetBytes(p, s.keyPressed, IO_KEYS);
    for (int32_t& v : s.lastButton) v = Get32(p);
    for (int32_t& v : s.button) v = Get32(p);
    GetBytes(p, s.buttonDown, sizeof s.buttonDown);
    GetBytes(p, s.buttonReleased, sizeof s.buttonReleased);
    GetBytes(p, s.buttonPressed, sizeof s.buttonPressed);
    GetBytes(p, s.wheelUp, sizeof s.wheelUp);
    GetBytes(p, s.wheelDown, sizeof s.wheelDown);
    s.screenX = Get32(p);
    s.screenY = Get32(p);
    s.mouseX = Get32(p);
    s.mouseY = Get32(p);
}

// --- accessors -------------------------------------------------------------------------------

bool IO_KeyDown(int32_t key) {
    return ValidKey(key) && g_step.keyDown[key] != 0;
}
bool IO_KeyPressed(int32_t key) {
    return ValidKey(key) && g_step.keyPressed[key] != 0;
}
bool IO_KeyReleased(int32_t key) {
    return ValidKey(key) && g_step.keyReleased[key] != 0;
}
void IO_ClearKey(int32_t key) {
    if (!ValidKey(key)) return;
    for (InputState* s : {&g_step, &g_back}) s->keyDown[key] = s->keyPressed[key] = s->keyReleased[key] = 0;
}
bool IO_MouseButtonDown(int32_t button, int32_t device) {
    const int32_t slot = ButtonSlot(button, device);
    return slot >= 0 && g_step.buttonDown[slot] != 0;
}
bool IO_MouseButtonPressed(int32_t button, int32_t device) {
    const int32_t slot = ButtonSlot(button, device);
    return slot >= 0 && g_step.buttonPressed[slot] != 0;
}
bool IO_MouseButtonReleased(int32_t button, int32_t device) {
    const int32_t slot = ButtonSlot(button, device);
    return slot >= 0 && g_step.buttonReleased[slot] != 0;
}
void IO_ClearMouseButton(int32_t button, int32_t device) {
    const int32_t slot = ButtonSlot(button, device);
    if (slot < 0) return;
    g_step.buttonDown[slot] = g_step.buttonPressed[slot] = g_step.buttonReleased[slot] = 0;
    if (device == 0) g_back.buttonDown[slot] = g_back.buttonPressed[slot] = g_back.buttonReleased[slot] = 0;
}
bool IO_WheelUp(int32_t device) {
    return ValidDevice(device) && g_step.wheelUp[device] != 0;
}
bool IO_WheelDown(int32_t device) {
    return ValidDevice(device) && g_step.wheelDown[device] != 0;
}
int32_t IO_GetLastKey() {
    return g_step.lastKey;
}
void IO_SetLastKey(int32_t key) {
    g_step.lastKey = g_back.lastKey = key;
    g_back.currentKey = 0;
}
int32_t IO_GetCurrentKey() {
    return g_step.currentKey;
}
void IO_SetCurrentKey(int32_t key) {
    if (ValidKey(key)) g_step.currentKey = key;
}
uint16_t IO_GetLastChar() {
    return g_step.lastChar;
}
void IO_SetLastChar(uint8_t byte) {
    const uint16_t unit = static_cast<uint16_t>(static_cast<int16_t>(static_cast<int8_t>(byte)));
    g_step.lastChar = g_back.lastChar = unit;
}
const char* IO_GetKeyboardString() {
    char* out = g_stringBuffer;
    for (int32_t i = 0; i < IO_STRING_UNITS && g_step.string[i] != 0; ++i)
        UTF8_PutChar(out, g_step.string[i]);
    *out = '\0';
    return g_stringBuffer;
}
void IO_SetKeyboardString(const char* utf8) {
    int32_t count = 0;
    if (utf8 != nullptr) {
        const char* cursor = utf8;
        while (count < IO_STRING_UNITS - 1 && *cursor != '\0') {
            g_step.string[count++] = static_cast<uint16_t>(UTF8_GetChar(cursor));
        }
    }
    g_step.string[count] = 0;
    g_stringCount = count;
    std::memcpy(g_back.string, g_step.string, sizeof g_back.string);
}
int32_t IO_GetLastButton(int32_t device) {
    return ValidDevice(device) ? g_step.lastButton[device] : 0;
}
void IO_SetLastButton(int32_t value, int32_t device) {
    if (value >= 1 && value <= IO_MOUSE_BUTTONS && ValidDevice(device)) g_step.lastButton[device] = value;
}
int32_t IO_GetMouseButton(int32_t device) {
    return ValidDevice(device) ? g_step.button[device] : 0;
}
void IO_SetMouseButton(int32_t value, int32_t device) {
    if (value >= 1 && value <= IO_MOUSE_BUTTONS && ValidDevice(device)) g_step.button[device] = value;
}
int32_t IO_GetKeyMap(int32_t key) {
    return ValidKey(key) ? g_keyMap[key] : key;
}
void IO_SetKeyMap(int32_t key, int32_t value) {
    if (ValidKey(key)) g_keyMap[key] = value;
}
void IO_GetMouseClient(int32_t device, int32_t* x, int32_t* y) {
    const bool valid = ValidDevice(device);
    if (x) *x = valid ? g_clientX[device] : 0;
    if (y) *y = valid ? g_clientY[device] : 0;
}

bool IO_BackEndKeyPressed() {
    return g_back.lastKey != 0;
}
bool IO_BackEndButtonPressed() {
    return g_back.lastButton[0] != 0;
}
void IO_ResetLastKeyBoth() {
    g_step.lastKey = g_back.lastKey = 0;
}
void IO_ResetLastButtonBoth() {
    g_step.lastButton[0] = g_back.lastButton[0] = 0;
}
bool IO_SystemKeyDown(int32_t key) {
    return ValidKey(key) && g_systemKeys[key] != 0;
}

// --- virtual keys ----------------------------------------------------------------------------

int32_t IO_AddVirtualKeySlot() {
    if (g_virtualKeys == nullptr) return -1;
    for (int32_t i = 0; i < IO_VIRTUAL_KEYS; ++i) {
        if (g_virtualKeys[i].flags == 0) return i;
    }
    return -1;
}
void IO_DeleteVirtualKey(int32_t slot) {
    if (VirtualKey* key = IO_VirtualKey(slot)) key->flags = 0;
}
void IO_ClearVirtualKeys() {
    if (g_virtualKeys == nullptr) return;
    for (int32_t i = 0; i < IO_VIRTUAL_KEYS; ++i) g_virtualKeys[i].flags = 0;
}
VirtualKey* IO_VirtualKey(int32_t slot) {
    if (g_virtualKeys == nullptr || slot < 0 || slot >= IO_VIRTUAL_KEYS) return nullptr;
    return &g_virtualKeys[slot];
}

namespace {
void WriteInt(IBuffer* buffer, int32_t type, int32_t v) {
    RValue value = RValue_Real(v);
    buffer->Write(type, &value);
}
bool ReadInt(IBuffer* buffer, int32_t type, int32_t* out) {
    RValue value = RValue_Undefined();
    const bool ok = buffer->Read(type, &value) == 0;
    *out = ok ? RValue_ToInt32(&value) : 0;
    RValue_Free(&value);
    return ok;
}
}  // namespace

void IO_SaveVirtualKeys(IBuffer* buffer) {
    WriteInt(buffer, eBuffer_S32, IO_VIRTUAL_KEY_SAVE_MARK);
    WriteInt(buffer, eBuffer_S32, IO_VIRTUAL_KEYS);
    for (int32_t i = 0; i < IO_VIRTUAL_KEYS; ++i) {
        const VirtualKey key = g_virtualKeys != nullptr ? g_virtualKeys[i] : VirtualKey{};
        WriteInt(buffer, eBuffer_S16, key.flags);
        WriteInt(buffer, eBuffer_S16, key.index);
        for (int32_t v :
             {key.left, key.top, key.right, key.bottom, key.width, key.height, key.u, key.v, key.key})
            WriteInt(buffer, eBuffer_S32, v);
        WriteInt(buffer, eBuffer_S32, key.button);
    }
}

// Slots past the table's own 128 are read and dropped, so a save from a larger table cannot
// write past it.
bool IO_LoadVirtualKeys(IBuffer* buffer) {
    int32_t mark = 0, count = 0;
    if (!ReadInt(buffer, eBuffer_S32, &mark) || mark != IO_VIRTUAL_KEY_SAVE_MARK) return false;
    if (!ReadInt(buffer, eBuffer_S32, &count) || count < 0) return false;
    for (int32_t i = 0; i < count; ++i) {
        int32_t fields[12];
        bool ok = ReadInt(buffer, eBuffer_S16, &fields[0]) && ReadInt(buffer, eBuffer_S16, &fields[1]);
        for (int32_t f = 2; ok && f < 12; ++f) ok = ReadInt(buffer, eBuffer_S32, &fields[f]);
        if (!ok) return false;
        VirtualKey* key = IO_VirtualKey(i);
        if (key == nullptr) continue;
        key->flags = static_cast<uint16_t>(fields[0]);
        key->index = static_cast<uint16_t>(fields[1]);
        key->left = fields[2], key->top = fields[3], key->right = fields[4], key->bottom = fields[5];
        key->width = fields[6], key->height = fields[7], key->u = fields[8], key->v = fields[9];
        key->key = fields[10];
        key->button = fields[11];
    }
    return true;
}

void IO_SetPointer(int32_t pointer, int32_t x, int32_t y, bool pressed) {
    if (pointer < 0 || pointer >= IO_VIRTUAL_KEYS) return;
    g_pointers[pointer].x = x;
    g_pointers[pointer].y = y;
    g_pointers[pointer].state = pressed ? 0x80000003u : 0u;
}

namespace {
int32_t ConstantKey(const char* text) {
    const RValue* value = Code_Constant_Find(text);
    return value != nullptr ? RValue_ToInt32(const_cast<RValue*>(value)) : 0;
}
}  // namespace

void IO_ReadVirtualKeyIni(const char* iniPath) {
    if (iniPath == nullptr) return;
    IniFile ini(iniPath, false);
    const int32_t count = ini.ReadInt("IO_VIRTUAL_BUTTONS", "NUM_BUTTONS", 0);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t slot = IO_AddVirtualKeySlot();
        VirtualKey* key = IO_VirtualKey(slot);
        if (key == nullptr) return;
        char section[32];
        std::snprintf(section, sizeof section, "IO_BUTTON_%d", i);
        const int32_t x = ini.ReadInt(section, "X", 0), y = ini.ReadInt(section, "Y", 0);
        key->width = ini.ReadInt(section, "W", 0);
        key->height = ini.ReadInt(section, "H", 0);
        key->u = ini.ReadInt(section, "U", 0);
        key->v = ini.ReadInt(section, "V", 0);
        key->left = x, key->top = y, key->right = x + key->width, key->bottom = y + key->height;
        const char* keyText = ini.ReadString(section, "KEY", "");
        key->key = 0;
        if (std::strncmp(keyText, "VK_", 3) == 0) {
            key->key = ConstantKey(keyText);
        } else if (std::strncmp(keyText, "MB_", 3) != 0 && keyText[0] != '\0' && keyText[0] != ' ') {
            key->key = static_cast<uint8_t>(keyText[0]);
        }
        const char* buttonText = ini.ReadString(section, "BUTTON", "");
        key->button = std::strncmp(buttonText, "MB_", 3) == 0 ? ConstantKey(buttonText) : 0;
        key->flags = VIRTUAL_KEY_IN_USE;
    }
}

// --- back end --------------------------------------------------------------------------------

void IO_OnKeyDown(int32_t rawKey, bool repeat) {
    if (ValidKey(rawKey)) g_systemKeys[rawKey] = 1;
    const int32_t key = Translate(rawKey);
    if (key < 0) return;
    if (g_back.currentKey != key) g_previousKey = g_back.currentKey;
    g_back.lastKey = g_back.currentKey = key;
    if (!g_back.keyDown[key] && !repeat) g_back.keyPressed[key] = 1;
    g_back.keyDown[key] = 1;
}

void IO_OnKeyUp(int32_t rawKey) {
    if (ValidKey(rawKey)) g_systemKeys[rawKey] = 0;
    const int32_t key = Translate(rawKey);
    if (key < 0) return;
    if (g_back.currentKey == key) {
        const bool previousHeld =
            ValidKey(g_previousKey) && g_previousKey != key && g_back.keyDown[g_previousKey];
        g_back.currentKey = previousHeld ? g_previousKey : 0;
    }
    g_back.keyDown[key] = 0;
    g_back.keyReleased[key] = 1;
}

void IO_OnChar(uint32_t unit) {
    const uint16_t c = static_cast<uint16_t>(unit);
    g_back.lastChar = c;
    if (g_stringCount >= IO_STRING_UNITS - 2) {
        g_back.string[0] = g_back.string[g_stringCount - 1];
        std::memset(g_back.string + 1, 0, sizeof g_back.string - sizeof g_back.string[0]);
        g_stringCount = 1;
    }
    if (c == 8) {
        if (g_stringCount > 0) g_back.string[--g_stringCount] = 0;
        return;
    }
    if (c < 32) return;
    g_back.string[g_stringCount++] = c;
    g_back.string[g_stringCount] = 0;
}

void IO_OnMouseDown(int32_t button, int32_t x, int32_t y) {
    const int32_t slot = ButtonSlot(button, 0);
    if (slot < 0) return;
    g_back.lastButton[0] = g_back.button[0] = button;
    if (!g_back.buttonDown[slot]) g_back.buttonPressed[slot] = 1;
    g_back.buttonDown[slot] = 1;
    if (button == 1) IO_SetPointer(0, x, y, true);
}

void IO_OnMouseUp(int32_t button, int32_t x, int32_t y) {
    const int32_t slot = ButtonSlot(button, 0);
    if (slot < 0) return;
    g_back.button[0] = 0;
    g_back.buttonDown[slot] = g_back.buttonPressed[slot] = 0;
    g_back.buttonReleased[slot] = 1;
    if (button == 1) IO_SetPointer(0, x, y, false);
}

void IO_OnWheel(bool up) {
    (up ? g_back.wheelUp : g_back.wheelDown)[0] = 1;
}

void IO_OnMouseMove(int32_t device, int32_t x, int32_t y) {
    if (device != 0) {
        if (ValidDevice(device)) g_clientX[device] = x, g_clientY[device] = y;
        return;
    }
    g_backClientX = x;
    g_backClientY = y;
}

InputState& IO_StepState() {
    return g_step;
}
InputState& IO_BackEndState() {
    return g_back;
}
