// Threads, the mutex that guards what they share, thread-local slots and sleeping.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

// A recursive lock: the thread that holds it may lock it again. The name only labels the mutex
// where it is made ("MemoryManagerMutex", "TermMutex", ...); it is not kept.
class Mutex {
public:
    explicit Mutex(const char* name);
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    bool Lock();
    void Unlock();

    // So that std::lock_guard and std::scoped_lock can hold a Mutex.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::recursive_mutex m_section;
};

struct Thread;
// A thread's routine: gets its own record (data in it) and returns the thread's exit code.
using ThreadRoutine = int (*)(Thread* thread);

// A worker thread. To stop one: RequestStop, then Join, then destroy the record. The routine's
// loop polls StopRequested and returns once it is set.
struct Thread {
    Thread();
    // A thread still running is asked to stop and joined: it reads this record to the end.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Runs the routine on a new thread. False when the thread cannot be made (the system's error
    // is kept in lastError) or while this record's previous thread is still running.
    bool Start(ThreadRoutine routine, void* data);
    // Waits, without a time-out, for the thread to end.
    void Join();
    // The stop request is set and read under the term mutex.
    void RequestStop();
    bool StopRequested();

    std::thread handle;
    uint32_t lastError = 0;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};  // from Start until the routine returns
    void* data = nullptr;
    ThreadRoutine routine = nullptr;
    Mutex termMutex{"TermMutex"};
};

// What every Thread runs: unmarks the thread for the memory log, runs the routine, clears running.
int Thread_Entry(Thread* thread);

void Thread_Sleep(int32_t milliseconds);

// Thread-local slots: each thread sees its own value in every slot (null until it sets one).
constexpr int32_t kTlsSlotCount = 64;
// A new slot index, or -1 when all are taken.
int32_t Tls_Alloc();
// False for a slot index that was never handed out.
bool Tls_SetValue(int32_t slot, void* value);
void* Tls_GetValue(int32_t slot);
