#include "platform/Function_MiscM.h"

#include <SDL.h>
#include <sys/resource.h>

namespace {

// The clipboard belongs to the video subsystem, which a headless run never starts: it is
// started on first use and stays up so the clipboard keeps its owner.
bool ClipboardReady() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

// Nice values for the levels -3 .. 3: idle, below normal twice, normal, above normal twice,
// real time. Linux has no classes; the nice value of the thread carries both.
constexpr int kNiceForLevel[7] = {19, 10, 5, 0, -5, -10, -20};

}  // namespace

bool Clipboard_HasText() {
    return ClipboardReady() && SDL_HasClipboardText() == SDL_TRUE;
}

bool Clipboard_SetText(const char* utf8) {
    if (!ClipboardReady()) return false;
    // Setting the empty text is how SDL empties the clipboard.
    return SDL_SetClipboardText(utf8 != nullptr ? utf8 : "") == 0;
}

std::string Clipboard_GetText() {
    if (!ClipboardReady()) return std::string();
    char* text = SDL_GetClipboardText();
    std::string result = text != nullptr ? text : "";
    SDL_free(text);
    return result;
}

void Process_SetPriority(int32_t level) {
    const int nice = (level >= -3 && level <= 3) ? kNiceForLevel[level + 3] : 0;
    // On Linux the nice value of "process 0" is the calling thread's: the main thread's.
    (void)setpriority(PRIO_PROCESS, 0, nice);
}
