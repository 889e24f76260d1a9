#include "platform/EventPump.h"

#include <SDL.h>

#include <atomic>
#include <mutex>

#include "platform/DialogWindow.h"
#include "platform/QuitSignals.h"

namespace {
// One text-input event holds at most 32 bytes, hence at most 32 UTF-16 units.
constexpr int32_t kMessagesPerEvent = 40;

std::atomic<PlatformEventDispatcher> g_dispatcher{nullptr};
std::once_flag g_initOnce;
bool g_sdlEvents = false;
// Used only when SDL's event queue could not be started: quits still reach the pump.
std::atomic<int> g_fallbackQuits{0};

bool EnsureEventQueue() {
    std::call_once(g_initOnce, [] { g_sdlEvents = SDL_InitSubSystem(SDL_INIT_EVENTS) == 0; });
    return g_sdlEvents;
}

bool TakeFallbackQuit() {
    int pending = g_fallbackQuits.load();
    while (pending > 0) {
        if (g_fallbackQuits.compare_exchange_weak(pending, pending - 1)) return true;
    }
    return false;
}
}  // namespace

void PlatformEvents_SetDispatcher(PlatformEventDispatcher dispatcher) {
    g_dispatcher = dispatcher;
}

bool PlatformEvents_Pump() {
    if (TakeFallbackQuit() || QuitSignals_Take()) return true;
    if (!EnsureEventQueue()) return false;
    SDL_Event event;
    WindowMessage messages[kMessagesPerEvent];
    while (SDL_PollEvent(&event) == 1) {
        if (event.type == SDL_QUIT) return true;
        // The dialog window's keys and clicks are its own, as the game's window has lost focus.
        if (DialogWindow_TakeEvent(&event)) continue;
        PlatformEventDispatcher dispatch = g_dispatcher.load();
        if (!dispatch) continue;
        const int32_t count = PlatformEvents_Translate(&event, messages, kMessagesPerEvent);
        for (int32_t i = 0; i < count; ++i) dispatch(messages[i]);
    }
    return false;
}

void PlatformEvents_PostQuit() {
    if (!EnsureEventQueue()) {
        ++g_fallbackQuits;
        return;
    }
    SDL_Event event{};
    event.type = SDL_QUIT;
    event.quit.timestamp = SDL_GetTicks();
    if (SDL_PushEvent(&event) != 1) ++g_fallbackQuits;
}
