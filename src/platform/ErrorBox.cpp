#include "platform/ErrorBox.h"

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "platform/QuitSignals.h"

namespace {

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

class SdlErrorBox final : public IErrorBox {
public:
    ErrorBoxChoice Show(const char* title, const char* text, bool ignoreAllowed) override {
        // Without a display SDL would try helper programs that cannot show anything either.
        if (!HasDisplay()) {
            m_failure = "no display";
            return ErrorBoxChoice::Unavailable;
        }
        SDL_MessageBoxButtonData buttons[4];
        int count = 0;
        buttons[count++] = {0, static_cast<int>(ErrorBoxChoice::Abort), "Abort"};
        if (ignoreAllowed) buttons[count++] = {0, static_cast<int>(ErrorBoxChoice::Ignore), "Ignore"};
        buttons[count++] = {0, static_cast<int>(ErrorBoxChoice::Copy), "Copy"};
        buttons[count++] = {0, static_cast<int>(ErrorBoxChoice::Clear), "Clear"};

        SDL_MessageBoxData box{};
        box.flags = SDL_MESSAGEBOX_ERROR | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
        box.window = nullptr;
        box.title = title;
        box.message = text;
        box.numbuttons = count;
        box.buttons = buttons;

        int pressed = -1;
        const QuitSignals_ModalWait modal;
        if (SDL_ShowMessageBox(&box, &pressed) < 0) {
            m_failure = SDL_GetError();
            return ErrorBoxChoice::Unavailable;
        }
        if (pressed < 0) return ErrorBoxChoice::Closed;
        return static_cast<ErrorBoxChoice>(pressed);
    }

    bool CopyToClipboard(const char* text) override {
        // The clipboard belongs to the video subsystem, which may not be up yet (errors while
        // loading); it stays up afterwards so the clipboard keeps its owner.
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        return SDL_SetClipboardText(text) == 0;
    }

    const char* LastFailure() override { return m_failure.c_str(); }

private:
    std::string m_failure;
};

}  // namespace

IErrorBox& ErrorBox_System() {
    static SdlErrorBox box;
    return box;
}
