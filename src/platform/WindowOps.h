// The few window operations the device layer needs on the game's window. The handle is the
// SDL window the window layer made (with OpenGL enabled); null stands for no window, and
// then every operation does nothing.
#pragma once

#include <cstdint>

void Window_GetClientSize(void* window, int32_t* width, int32_t* height);
void Window_GetPosition(void* window, int32_t* x, int32_t* y);
// Places the client area's top-left corner and sets its size.
void Window_SetClientRect(void* window, int32_t x, int32_t y, int32_t width, int32_t height);
void Window_SetClientSize(void* window, int32_t width, int32_t height);
// Full screen at the desktop's size, or back to a normal window.
void Window_SetFullscreen(void* window, bool fullscreen);
void Window_Show(void* window);
