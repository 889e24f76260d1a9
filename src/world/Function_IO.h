// The input built-ins that go to the system: direct key checks, key synthesis, the mouse-button
// checks, keyboard_wait / mouse_wait, the legacy joysticks; and the message box and file
// dialogs other built-ins call.
#pragma once

#include <cstdint>

#include "core/Code_Function.h"

class CInstance;
struct RValue;

// Registers the input rows on their own (tests); the interaction registrar registers them at
// start-up, each in its place among its own rows.
void InitIOFunctions();
// The input layer's built-in of that name; null when it has none.
BuiltinProc IO_InputBuiltin(const char* name);

void IO_ShowMessage(const char* text);
bool IO_ShowVideo();
bool IO_ShowImage();
bool IO_ShowText();
// The chosen path (a static buffer), or null when cancelled.
const char* IO_GetOpenFileName(const char* filter, const char* fileName, const char* folder,
                               const char* title);
const char* IO_GetSaveFileName(const char* filter, const char* fileName, const char* folder,
                               const char* title);
// The save dialog's default extension: the text after the first "." behind the first "|".
const char* IO_DefaultExtension(const char* filter, char* out, int32_t size);
uint32_t FposToSize(int64_t position);

// joystick_direction's keypad code for a position (0..65535 each).
int32_t IO_JoystickDirection(uint32_t x, uint32_t y);
