#include <SDL.h>

#include "platform/GlContext.h"

namespace {

class SdlGlContext final : public GlContext {
public:
    explicit SdlGlContext(SDL_Window* window) : m_window(window) {}
    ~SdlGlContext() override {
        if (m_context) {
            if (SDL_GL_GetCurrentContext() == m_context) SDL_GL_MakeCurrent(m_window, nullptr);
            SDL_GL_DeleteContext(m_context);
        }
    }

    bool Open() {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        m_context = SDL_GL_CreateContext(m_window);
        return m_context && MakeCurrent();
    }

    bool MakeCurrent() override { return SDL_GL_MakeCurrent(m_window, m_context) == 0; }
    bool HasWindow() const override { return true; }
    void DrawableSize(int* width, int* height) override { SDL_GL_GetDrawableSize(m_window, width, height); }
    void SetSwapInterval(int interval) override { SDL_GL_SetSwapInterval(interval); }
    void Swap() override { SDL_GL_SwapWindow(m_window); }

private:
    SDL_Window* m_window;
    SDL_GLContext m_context = nullptr;
};

}  // namespace

std::unique_ptr<GlContext> GlContext_CreateForWindow(void* sdlWindow) {
    if (!sdlWindow) return nullptr;
    auto context = std::make_unique<SdlGlContext>(static_cast<SDL_Window*>(sdlWindow));
    if (!context->Open()) return nullptr;
    return context;
}
