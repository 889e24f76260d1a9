// The OpenGL 3.3 core device. window: an SDL window created with OpenGL enabled, or null for
// an off-screen device on EGL's surfaceless platform. Every colour surface, the back buffer
// too, is a framebuffer object; Present copies the back buffer to the window, stretched to
// its drawable and turned right way up, and keeps the back buffer's content.
#pragma once

#include "platform/Device.h"

// params->BackBufferWidth/Height of 0 take the window's drawable size (1 x 1 off-screen).
HRESULT GlDevice_Create(void* window, GpuPresentParameters* params, Device** device);

// Game shader texts are "#version 100" programs. Drivers that compile those directly get them
// as they are; set this (before creating a device) to turn them into "#version 330" texts
// through our prelude instead, as drivers without ES 2 compatibility need.
extern bool g_GlDesktopShaderPrelude;
