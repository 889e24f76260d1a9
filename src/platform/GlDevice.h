// The OpenGL 3.3 core device. window: an SDL window created with OpenGL enabled, or null for
// an off-screen device on EGL's surfaceless platform. Every colour surface, the back buffer
// too, is a framebuffer object; Present copies the back buffer to the window, stretched to
// its drawable and turned right way up, and keeps the back buffer's content.
#pragma once

#include "platform/Device.h"

// params->BackBufferWidth/Height of 0 take the window's drawable size (1 x 1 off-screen).
HRESULT GlDevice_Create(void* window, GpuPresentParameters* params, Device** device);
