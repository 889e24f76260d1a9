// An OpenGL 3.3 core context the GL device draws with: off-screen through EGL's surfaceless
// platform, or on an SDL window. Internal to the platform layer.
#pragma once

#include <memory>

class GlContext {
public:
    virtual ~GlContext() = default;
    virtual bool MakeCurrent() = 0;
    // True when there is a window to present to (framebuffer 0 is its drawable).
    virtual bool HasWindow() const = 0;
    virtual void DrawableSize(int* width, int* height) = 0;
    virtual void SetSwapInterval(int interval) = 0;
    virtual void Swap() = 0;
};

// Null when no GL 3.3 core context can be had.
std::unique_ptr<GlContext> GlContext_CreateHeadless();
std::unique_ptr<GlContext> GlContext_CreateForWindow(void* sdlWindow);
