// The operating system's monotonic clock, in microseconds, and a precise sleep on it.
#pragma once

#include <cstdint>

// Microseconds on the monotonic clock (unaffected by changes of the wall-clock time).
int64_t PlatformClock_Microseconds();
// Sleeps until the monotonic clock reaches the deadline; returns at once when it already has.
// Signals that interrupt the sleep do not shorten it.
void PlatformClock_SleepUntil(int64_t deadlineMicroseconds);
