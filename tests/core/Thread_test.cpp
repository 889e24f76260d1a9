#include "core/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

struct Seen {
    Thread* record = nullptr;
    ThreadRoutine routine = nullptr;
    void* data = nullptr;
    bool runningInside = false;
};

int RecordWhatTheRoutineSees(Thread* thread) {
    auto* seen = static_cast<Seen*>(thread->data);
    seen->record = thread;
    seen->routine = thread->routine;
    seen->data = thread->data;
    seen->runningInside = thread->running.load();
    return 7;
}

TEST(ThreadTest, RoutineSeesItsRecordAndRunningClearsWhenItReturns) {
    Seen seen;
    Thread thread;
    EXPECT_FALSE(thread.running.load());
    ASSERT_TRUE(thread.Start(&RecordWhatTheRoutineSees, &seen));
    thread.Join();
    EXPECT_EQ(seen.record, &thread);
    EXPECT_EQ(seen.routine, &RecordWhatTheRoutineSees);
    EXPECT_EQ(seen.data, &seen);
    EXPECT_TRUE(seen.runningInside);
    EXPECT_FALSE(thread.running.load());
}

struct Poller {
    std::atomic<int> rounds{0};
};

int PollUntilStopped(Thread* thread) {
    auto* poller = static_cast<Poller*>(thread->data);
    while (!thread->StopRequested()) {
        ++poller->rounds;
        Thread_Sleep(1);
    }
    return 0;
}

TEST(ThreadTest, StopRequestEndsAPollingRoutine) {
    Poller poller;
    Thread thread;
    ASSERT_TRUE(thread.Start(&PollUntilStopped, &poller));
    while (poller.rounds.load() < 2) Thread_Sleep(1);
    EXPECT_TRUE(thread.running.load());

    // Starting again while the routine still runs is refused.
    EXPECT_FALSE(thread.Start(&PollUntilStopped, &poller));
    EXPECT_NE(thread.lastError, 0u);

    thread.RequestStop();
    thread.Join();
    EXPECT_FALSE(thread.running.load());
    EXPECT_TRUE(thread.StopRequested());

    // A record whose routine has returned can run again.
    Seen seen;
    ASSERT_TRUE(thread.Start(&RecordWhatTheRoutineSees, &seen));
    thread.Join();
    EXPECT_EQ(seen.record, &thread);
}

TEST(ThreadTest, DestroyingARunningThreadStopsAndJoinsIt) {
    Poller poller;
    {
        Thread thread;
        ASSERT_TRUE(thread.Start(&PollUntilStopped, &poller));
        while (poller.rounds.load() < 1) Thread_Sleep(1);
    }
    const int rounds = poller.rounds.load();
    Thread_Sleep(5);
    EXPECT_EQ(poller.rounds.load(), rounds);  // the routine ended with its record
}

TEST(MutexTest, IsRecursiveAndExcludesOtherThreads) {
    Mutex mutex("TestMutex");
    ASSERT_TRUE(mutex.Lock());
    ASSERT_TRUE(mutex.Lock());
    mutex.Unlock();
    mutex.Unlock();

    int64_t counter = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                std::lock_guard lock(mutex);
                ++counter;
            }
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(counter, 80000);
}

TEST(TlsTest, EachThreadSeesItsOwnValue) {
    const int32_t slot = Tls_Alloc();
    ASSERT_GE(slot, 0);
    int mine = 1, theirs = 2;
    EXPECT_EQ(Tls_GetValue(slot), nullptr);
    ASSERT_TRUE(Tls_SetValue(slot, &mine));

    void* seenBeforeSet = &mine;
    void* seenAfterSet = nullptr;
    std::thread other([&] {
        seenBeforeSet = Tls_GetValue(slot);
        Tls_SetValue(slot, &theirs);
        seenAfterSet = Tls_GetValue(slot);
    });
    other.join();
    EXPECT_EQ(seenBeforeSet, nullptr);
    EXPECT_EQ(seenAfterSet, &theirs);
    EXPECT_EQ(Tls_GetValue(slot), &mine);

    EXPECT_FALSE(Tls_SetValue(-1, &mine));
    EXPECT_FALSE(Tls_SetValue(kTlsSlotCount, &mine));
    EXPECT_EQ(Tls_GetValue(kTlsSlotCount), nullptr);
}

}  // namespace
