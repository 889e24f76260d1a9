// Process-start set-up of the memory manager and the out-of-memory handler.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/MemoryManager.h"
#include "core/Process.h"
#include "core/RunSwitches.h"

namespace {

std::atomic<OutOfMemoryBoxHook> g_outOfMemoryBoxHook{nullptr};
std::atomic<bool> g_memoryInitialised{false};
// The size of the allocation-operator request that just failed, for the handler's message.
constinit thread_local int64_t t_failedRequestBytes = 0;

void NewHandler() {
    OutOfMemory_Handler(t_failedRequestBytes);
}

// Before any static constructor of the runner, so even they allocate through a ready manager.
__attribute__((constructor(101))) void InitMemoryAtProcessStart() {
    Platform_InitMemory();
}

}  // namespace

void Platform_InitMemory() {
    if (g_memoryInitialised.exchange(true)) return;
    std::set_new_handler(NewHandler);
    MemoryManager::Init();
}

void OutOfMemory_SetBoxHook(OutOfMemoryBoxHook hook) {
    g_outOfMemoryBoxHook.store(hook);
}

void OutOfMemory_Handler(int64_t requestedBytes) {
    OutOfMemoryBoxHook box = g_outOfMemoryBoxHook.load();
    if (box != nullptr && !g_Switches.headless) box("Out of Memory!", "Fatal Memory Error");
    std::printf("Out of Memory allocating %lld bytes\n", static_cast<long long>(requestedBytes));
    Process_Exit(-1);
}

#ifndef HV_SANITIZE
// The standard allocation operators, unchanged except that a failed request leaves its size for
// the new-handler to report. (The sanitizer brings operators of its own.)
void* operator new(std::size_t size) {
    for (;;) {
        if (void* p = std::malloc(size != 0 ? size : 1)) return p;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        t_failedRequestBytes = static_cast<int64_t>(size);
        handler();
    }
}

void* operator new(std::size_t size, std::align_val_t alignment) {
    size_t align = static_cast<size_t>(alignment);
    if (align < sizeof(void*)) align = sizeof(void*);
    for (;;) {
        void* p = nullptr;
        if (posix_memalign(&p, align, size != 0 ? size : 1) == 0) return p;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        t_failedRequestBytes = static_cast<int64_t>(size);
        handler();
    }
}
#endif
