// The keyboard and mouse state that game code sees during a step. The window's handlers write
// a back-end copy at any time; IO_StartStep folds it into the step copy, which stays fixed
// while the step's events run, and which "-record" writes and "-playback" reads back.
#pragma once

#include <cstdint>

class IBuffer;

constexpr int32_t IO_KEYS = 256;
constexpr int32_t IO_MOUSE_DEVICES = 10;
constexpr int32_t IO_MOUSE_BUTTONS = 3;
constexpr int32_t IO_STRING_UNITS = 1025;  // 1,024 characters and the terminating 0
constexpr int32_t IO_RECORD_SIZE = 3034;
constexpr int32_t IO_VIRTUAL_KEYS = 128;
constexpr int32_t IO_VIRTUAL_KEY_SAVE_MARK = 851;

struct InputState {
    uint16_t lastChar = 0;
    uint16_t string[IO_STRING_UNITS] = {};
    int32_t lastKey = 0;
    int32_t currentKey = 0;
    uint8_t keyDown[IO_KEYS] = {};
    uint8_t keyReleased[IO_KEYS] = {};
    uint8_t keyPressed[IO_KEYS] = {};
    int32_t lastButton[IO_MOUSE_DEVICES] = {};
    int32_t button[IO_MOUSE_DEVICES] = {};
    uint8_t buttonDown[IO_MOUSE_DEVICES * IO_MOUSE_BUTTONS] = {};
    uint8_t buttonReleased[IO_MOUSE_DEVICES * IO_MOUSE_BUTTONS] = {};
    uint8_t buttonPressed[IO_MOUSE_DEVICES * IO_MOUSE_BUTTONS] = {};
    uint8_t wheelUp[IO_MOUSE_DEVICES] = {};
    uint8_t wheelDown[IO_MOUSE_DEVICES] = {};
    int32_t screenX = 0, screenY = 0;  // cursor on the screen
    int32_t mouseX = 0, mouseY = 0;    // device 0 in client coordinates (the overlay's copy)
};

enum InputEdge : int32_t {
    INPUT_HELD = 0,      // held now, or pressed during this step
    INPUT_PRESSED = 1,   // went down during this step
    INPUT_RELEASED = 2,  // went up during this step
};

struct VirtualKey {
    uint16_t flags = 0;  // bit 0 in use, bit 1 visible
    uint16_t index = 0;
    int32_t left = 0, top = 0, right = 0, bottom = 0, width = 0, height = 0, u = 0, v = 0;
    int32_t key = 0;
    int32_t button = 0;
};
constexpr uint16_t VIRTUAL_KEY_IN_USE = 1;
constexpr uint16_t VIRTUAL_KEY_VISIBLE = 2;

// --- Life cycle --------------------------------------------------------------------------
// False when the -record or -playback file cannot be used (said on the error console).
bool IO_Init();
void IO_StartStep();
void IO_Clear();
void IO_End();
// Fills the window's input hooks and the game loop's input hooks with this module's calls.
void IO_InstallHooks();

// --- Record layout (little-endian, no header) ---------------------------------------------
void IO_EncodeRecord(const InputState& state, uint8_t out[IO_RECORD_SIZE]);
void IO_DecodeRecord(const uint8_t in[IO_RECORD_SIZE], InputState& state);

// --- Accessors on the step copy -------------------------------------------------------------
bool IO_KeyDown(int32_t key);
bool IO_KeyPressed(int32_t key);
bool IO_KeyReleased(int32_t key);
void IO_ClearKey(int32_t key);
bool IO_MouseButtonDown(int32_t button, int32_t device);
bool IO_MouseButtonPressed(int32_t button, int32_t device);
bool IO_MouseButtonReleased(int32_t button, int32_t device);
void IO_ClearMouseButton(int32_t button, int32_t device);
bool IO_WheelUp(int32_t device);
bool IO_WheelDown(int32_t device);
// The step's state of a key or of device 0's button (1 left, 2 right, 3 middle) at an edge.
bool IO_KeyState(int32_t key, InputEdge edge);
bool IO_MouseButtonState(int32_t button, InputEdge edge);
int32_t IO_WheelDirection();  // device 0: 1 up, -1 down, 0 still
// Device 0 in room coordinates, through the view under the pointer.
void IO_MouseRoomPosition(int32_t* x, int32_t* y);
int32_t IO_GetLastKey();
void IO_SetLastKey(int32_t key);
int32_t IO_GetCurrentKey();
void IO_SetCurrentKey(int32_t key);
uint16_t IO_GetLastChar();
void IO_SetLastChar(uint8_t byte);
const char* IO_GetKeyboardString();
void IO_SetKeyboardString(const char* utf8);
int32_t IO_GetLastButton(int32_t device);
void IO_SetLastButton(int32_t value, int32_t device);
int32_t IO_GetMouseButton(int32_t device);
void IO_SetMouseButton(int32_t value, int32_t device);
int32_t IO_GetKeyMap(int32_t key);
void IO_SetKeyMap(int32_t key, int32_t value);
// Device 0's client position as the step saw it.
void IO_GetMouseClient(int32_t device, int32_t* x, int32_t* y);

// What the back end has taken since the last step (keyboard_wait, mouse_wait).
bool IO_BackEndKeyPressed();
bool IO_BackEndButtonPressed();
void IO_ResetLastKeyBoth();
void IO_ResetLastButtonBoth();
// The key as the window last reported it, before the key map (keyboard_check_direct).
bool IO_SystemKeyDown(int32_t key);

// --- Virtual keys ---------------------------------------------------------------------------
int32_t IO_AddVirtualKeySlot();  // -1 when every slot is taken
void IO_DeleteVirtualKey(int32_t slot);
void IO_ClearVirtualKeys();
VirtualKey* IO_VirtualKey(int32_t slot);  // null outside the table
void IO_SaveVirtualKeys(IBuffer* buffer);
bool IO_LoadVirtualKeys(IBuffer* buffer);
// Pointer 0..127 landed or lifted at a client position (the pointer-event copy).
void IO_SetPointer(int32_t pointer, int32_t x, int32_t y, bool pressed);
void IO_ReadVirtualKeyIni(const char* iniPath);

// --- Back-end handlers (the window's messages) ----------------------------------------------
void IO_OnKeyDown(int32_t key, bool repeat);
void IO_OnKeyUp(int32_t key);
void IO_OnChar(uint32_t unit);
void IO_OnMouseDown(int32_t button, int32_t x, int32_t y);
void IO_OnMouseUp(int32_t button, int32_t x, int32_t y);
void IO_OnWheel(bool up);
void IO_OnMouseMove(int32_t device, int32_t x, int32_t y);

// Tests: the two copies.
InputState& IO_StepState();
InputState& IO_BackEndState();
