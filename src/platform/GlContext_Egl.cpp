#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <mutex>

#include "platform/GlContext.h"

namespace {

// The surfaceless display is shared by every off-screen context of the process and
// terminated when the last one goes.
std::mutex g_eglDisplayMutex;
EGLDisplay g_display = EGL_NO_DISPLAY;
int g_displayUsers = 0;

EGLDisplay AcquireDisplay() {
    std::lock_guard lock(g_eglDisplayMutex);
    if (g_displayUsers == 0) {
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!getPlatformDisplay) return EGL_NO_DISPLAY;
        EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) return EGL_NO_DISPLAY;
        g_display = display;
    }
    ++g_displayUsers;
    return g_display;
}

void ReleaseDisplay() {
    std::lock_guard lock(g_eglDisplayMutex);
    if (--g_displayUsers == 0) {
        eglTerminate(g_display);
        eglReleaseThread();
        g_display = EGL_NO_DISPLAY;
    }
}

bool HasExtension(EGLDisplay display, const char* name) {
    const char* list = eglQueryString(display, EGL_EXTENSIONS);
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* p = std::strstr(list, name); p; p = std::strstr(p + 1, name)) {
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
    }
    return false;
}

class EglContext final : public GlContext {
public:
    ~EglContext() override {
        if (m_context != EGL_NO_CONTEXT) {
            if (eglGetCurrentContext() == m_context) {
                eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            }
            eglDestroyContext(m_display, m_context);
        }
        if (m_display != EGL_NO_DISPLAY) ReleaseDisplay();
    }

    bool Open() {
        m_display = AcquireDisplay();
        if (m_display == EGL_NO_DISPLAY || !HasExtension(m_display, "EGL_KHR_surfaceless_context"))
            return false;
        if (!eglBindAPI(EGL_OPENGL_API)) return false;
        EGLConfig config = EGL_NO_CONFIG_KHR;
        if (!HasExtension(m_display, "EGL_KHR_no_config_context")) {
            const EGLint wanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
            EGLint found = 0;
            if (!eglChooseConfig(m_display, wanted, &config, 1, &found) || found < 1) return false;
        }
        const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                     3,
                                     EGL_CONTEXT_MINOR_VERSION,
                                     3,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_NONE};
        m_context = eglCreateContext(m_display, config, EGL_NO_CONTEXT, attributes);
        return m_context != EGL_NO_CONTEXT && MakeCurrent();
    }

    bool MakeCurrent() override {
        return eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context) == EGL_TRUE;
    }
    bool HasWindow() const override { return false; }
    void DrawableSize(int* width, int* height) override { *width = *height = 0; }
    void SetSwapInterval(int) override {}
    void Swap() override {}

private:
    EGLDisplay m_display = EGL_NO_DISPLAY;
    EGLContext m_context = EGL_NO_CONTEXT;
};

}  // namespace

std::unique_ptr<GlContext> GlContext_CreateHeadless() {
    auto context = std::make_unique<EglContext>();
    if (!context->Open()) return nullptr;
    return context;
}
