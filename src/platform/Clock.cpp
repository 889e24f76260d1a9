#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

int64_t PlatformClock_Microseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void PlatformClock_SleepUntil(int64_t deadlineMicroseconds) {
    if (deadlineMicroseconds <= 0) return;
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadlineMicroseconds / 1000000);
    deadline.tv_nsec = static_cast<long>(deadlineMicroseconds % 1000000) * 1000;
    // An absolute deadline lets an interrupted sleep simply resume without drifting.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}
