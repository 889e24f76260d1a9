#include "app/GameLoopHarness.h"

#include "core/Timing.h"
#include "app/HalvaneM.h"
#include "app/MainLoop.h"

namespace {

class VirtualClock final : public ITimingClock {
public:
    int64_t Now() override { return m_now; }
    void Sleep(int64_t microseconds) override {
        if (microseconds > 0) m_now += microseconds;
    }
    void Set(int64_t now) { m_now = now; }

private:
    int64_t m_now = 0;
};

VirtualClock g_virtualClock;
bool g_virtualActive = false;
int64_t g_framesLeft = 0;

}  // namespace

void Harness_UseVirtualClock(int64_t start) {
    g_virtualClock.Set(start);
    Timing_SetClock(&g_virtualClock);
    g_virtualActive = true;
}

void Harness_UseSystemClock() {
    if (g_virtualActive) Timing_SetClock(nullptr);
    g_virtualActive = false;
}

bool Harness_VirtualClockActive() {
    return g_virtualActive;
}

void Harness_AdvanceClock(int64_t microseconds) {
    if (g_virtualActive) g_virtualClock.Sleep(microseconds);
}

void Harness_StopAfterFrames(int64_t frames) {
    g_framesLeft = frames > 0 ? frames : 0;
}

void Harness_FrameDone() {
    if (g_framesLeft > 0 && --g_framesLeft == 0) g_RunnerRunning = 0;
}

void Harness_SeedRandom() {
    MainLoop_SeedRandom();
}

int64_t Harness_RunFrames(int64_t frames) {
    int64_t ran = 0;
    while (ran < frames && g_RunnerRunning == 1) {
        MainLoop_Frame();
        ++ran;
    }
    return ran;
}
