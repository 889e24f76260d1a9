#include "core/Timing.h"

#include <atomic>

#include "platform/Clock.h"

TimingSource g_GameClock;

namespace {

class SystemClock final : public ITimingClock {
public:
    int64_t Now() override { return PlatformClock_Microseconds() - m_start.load(std::memory_order_relaxed); }
    void Sleep(int64_t microseconds) override {
        PlatformClock_SleepUntil(PlatformClock_Microseconds() + microseconds);
    }
    void Restart() { m_start.store(PlatformClock_Microseconds(), std::memory_order_relaxed); }

private:
    std::atomic<int64_t> m_start{0};
};

SystemClock g_systemClock;
std::atomic<ITimingClock*> g_clock{nullptr};  // null: the system clock

ITimingClock& CurrentClock() {
    ITimingClock* clock = g_clock.load(std::memory_order_acquire);
    return clock ? *clock : g_systemClock;
}

// Whole microseconds of one frame, truncated toward zero. A rate so small that the frame does not
// fit in 64 bits gives the value x86 gives for an out-of-range conversion.
int64_t FrameMicroseconds(double rate) {
    const double frame = 1000000.0 * (1.0 / rate);
    if (!(frame < 9223372036854775808.0)) return INT64_MIN;
    return static_cast<int64_t>(frame);
}

// 64-bit sums and differences wrap as the hardware's do instead of overflowing.
int64_t WrapAdd(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t WrapSub(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}

}  // namespace

void Timing_Init() {
    g_systemClock.Restart();
}

int64_t Timing_Time() {
    return CurrentClock().Now();
}

void Timing_Sleep(int64_t microseconds) {
    if (microseconds > 0) CurrentClock().Sleep(microseconds);
}

ITimingClock* Timing_SetClock(ITimingClock* clock) {
    return g_clock.exchange(clock, std::memory_order_acq_rel);
}

void TimingSource::Reset() {
    accumulated = 0;
    lastDelta = 0;
    paused = false;
    // A source that follows the clock is stamped too: from a stamp of 0 its first step would
    // span all the time since the clock started.
    lastStamp = Timing_Time();
}

void TimingSource::SetFrameRate(double rate) {
    targetRate = rate;
    Reset();
}

void TimingSource::Update() {
    // With a target rate the clock is not read: game time moves one whole frame per step.
    const int64_t stamp =
        targetRate > 0.0 ? WrapAdd(lastStamp, FrameMicroseconds(targetRate)) : Timing_Time();
    lastDelta = WrapSub(stamp, lastStamp);
    if (!paused) accumulated = WrapAdd(accumulated, lastDelta);
    lastStamp = stamp;
}

double TimingSource::GetFps() const {
    if (targetRate > 0.0) return targetRate;
    if (lastDelta > 0) return 1000000.0 / static_cast<double>(lastDelta);
    return 30.0;
}
