#include "core/Process.h"

#include <atomic>
#include <cstdlib>

#include "core/Console.h"

namespace {
std::atomic<ProcessExitHook> g_exitHook{nullptr};
}

ProcessExitHook Process_SetExitHook(ProcessExitHook hook) {
    return g_exitHook.exchange(hook);
}

void Process_Exit(int code) {
    if (ProcessExitHook hook = g_exitHook.load()) hook(code);
    Console_Flush();
    std::exit(code);
}
