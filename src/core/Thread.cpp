#include "core/Thread.h"

#include <cerrno>
#include <chrono>
#include <system_error>

#include "core/MemoryManager.h"

Mutex::Mutex(const char*) {}

bool Mutex::Lock() {
    m_section.lock();
    return true;
}

void Mutex::Unlock() {
    m_section.unlock();
}

Thread::Thread() = default;

Thread::~Thread() {
    if (!handle.joinable()) return;
    RequestStop();
    Join();
}

bool Thread::Start(ThreadRoutine newRoutine, void* newData) {
    if (handle.joinable()) {
        if (running.load()) {
            lastError = EBUSY;
            return false;
        }
        handle.join();  // the previous routine has returned; reclaim its thread first
    }
    routine = newRoutine;
    data = newData;
    running.store(true);
    try {
        handle = std::thread(Thread_Entry, this);
    } catch (const std::system_error& e) {
        lastError = static_cast<uint32_t>(e.code().value());
        running.store(false);
        return false;
    }
    return true;
}

void Thread::Join() {
    if (handle.joinable() && handle.get_id() != std::this_thread::get_id()) handle.join();
}

void Thread::RequestStop() {
    termMutex.Lock();
    stopRequested.store(true);
    termMutex.Unlock();
}

bool Thread::StopRequested() {
    termMutex.Lock();
    const bool stop = stopRequested.load();
    termMutex.Unlock();
    return stop;
}

int Thread_Entry(Thread* thread) {
    // Only the main thread gives the allocation log scope names and interpreter stacks.
    MemoryManager_MarkThread(false);
    const int result = thread->routine(thread);
    // Last touch of the record: once running reads false the owner may destroy it.
    thread->running.store(false);
    return result;
}

void Thread_Sleep(int32_t milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {
std::atomic<int32_t> g_tlsSlotsHandedOut{0};
thread_local void* t_tlsSlots[kTlsSlotCount] = {};

bool IsTlsSlot(int32_t slot) {
    return slot >= 0 && slot < g_tlsSlotsHandedOut.load();
}
}  // namespace

int32_t Tls_Alloc() {
    int32_t slot = g_tlsSlotsHandedOut.load();
    while (slot < kTlsSlotCount) {
        if (g_tlsSlotsHandedOut.compare_exchange_weak(slot, slot + 1)) return slot;
    }
    return -1;
}

bool Tls_SetValue(int32_t slot, void* value) {
    if (!IsTlsSlot(slot)) return false;
    t_tlsSlots[slot] = value;
    return true;
}

void* Tls_GetValue(int32_t slot) {
    return IsTlsSlot(slot) ? t_tlsSlots[slot] : nullptr;
}
