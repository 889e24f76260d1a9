#include "platform/QuitSignals.h"

#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> g_pendingQuits{0};
std::atomic<int> g_modalDepth{0};

// "/proc/self/task/<pid>/children" lists the processes the main thread started (the one that
// shows dialogs). Built without the C library's formatting, which a handler may not call.
void ChildrenListPath(char* path, size_t capacity) {
    const char head[] = "/proc/self/task/";
    const char tail[] = "/children";
    char digits[24];
    size_t count = 0;
    for (auto pid = static_cast<unsigned long>(getpid()); count == 0 || pid != 0; pid /= 10)
        digits[count++] = static_cast<char>('0' + pid % 10);
    size_t at = 0;
    for (const char* c = head; *c != '\0' && at + 1 < capacity; ++c) path[at++] = *c;
    while (count > 0 && at + 1 < capacity) path[at++] = digits[--count];
    for (const char* c = tail; *c != '\0' && at + 1 < capacity; ++c) path[at++] = *c;
    path[at] = '\0';
}

// Async-signal-safe: open, read, kill and close only.
void KillChildren() {
    char path[64];
    ChildrenListPath(path, sizeof path);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    char list[4096];
    const ssize_t got = read(fd, list, sizeof list - 1);
    close(fd);
    if (got <= 0) return;
    pid_t child = 0;
    for (ssize_t i = 0; i <= got; ++i) {
        if (i < got && list[i] >= '0' && list[i] <= '9') {
            child = child * 10 + (list[i] - '0');
            continue;
        }
        if (child > 0) kill(child, SIGKILL);
        child = 0;
    }
}

void OnQuitSignal(int) {
    if (g_modalDepth.load() > 0) {
        KillChildren();
        _exit(0);  // as after a closed window
    }
    g_pendingQuits.fetch_add(1);
}

}  // namespace

void QuitSignals_Install() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool QuitSignals_Take() {
    int pending = g_pendingQuits.load();
    while (pending > 0)
        if (g_pendingQuits.compare_exchange_weak(pending, pending - 1)) return true;
    return false;
}

QuitSignals_ModalWait::QuitSignals_ModalWait() {
    // A signal that came just before the wait began ends it before it shows.
    g_modalDepth.fetch_add(1);
    if (g_pendingQuits.load() > 0) OnQuitSignal(SIGTERM);
}

QuitSignals_ModalWait::~QuitSignals_ModalWait() {
    g_modalDepth.fetch_sub(1);
}
