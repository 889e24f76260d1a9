// The display and window built-ins: display modes, device resets, the mouse on the screen and in
// the window, the window's place, size and caption, screen saving, and a few runner-wide drawing
// switches.
#pragma once

#include <cstdint>

// Vector-sprite anti-aliasing: off, level 1 at start.
extern bool g_VectorSpriteAntiAlias;
extern float g_VectorSpriteAntiAliasLevel;

// The rectangle screen_save_part reads after clipping it to the back buffer; false when
// nothing is left of it.
bool Screen_ClipRectangle(int32_t bufferWidth, int32_t bufferHeight, int32_t* x, int32_t* y, int32_t* width,
                          int32_t* height);

// Registers the rows of the display and window built-ins.
void InitDisplayFunctions();
