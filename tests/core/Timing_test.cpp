#include "core/Timing.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// A clock that moves only when told to (or when someone sleeps on it).
class FakeClock final : public ITimingClock {
public:
    int64_t now = 0;
    int64_t Now() override { return now; }
    void Sleep(int64_t microseconds) override { now += microseconds; }
};

class TimingSourceTest : public testing::Test {
protected:
    void SetUp() override { m_previous = Timing_SetClock(&clock); }
    void TearDown() override { Timing_SetClock(m_previous); }
    FakeClock clock;

private:
    ITimingClock* m_previous = nullptr;
};

TEST_F(TimingSourceTest, RateFollowsTheLastStepWithoutATarget) {
    TimingSource source;
    EXPECT_EQ(source.GetFps(), 30.0);

    clock.now = 20000;
    source.Update();
    EXPECT_EQ(source.lastDelta, 20000);
    EXPECT_EQ(source.accumulated, 20000);
    EXPECT_EQ(source.GetFps(), 50.0);
}

TEST_F(TimingSourceTest, TargetRateAdvancesWholeFramesWhateverTheRealTime) {
    struct Case {
        double rate;
        int64_t frame;
    };
    for (const Case& c : {Case{60.0, 16666}, Case{30.0, 33333}, Case{144.0, 6944}}) {
        SCOPED_TRACE(c.rate);
        clock.now = 7000000;
        TimingSource source;
        source.SetFrameRate(c.rate);
        clock.now += 1;  // the real time of a frame does not matter...
        source.Update();
        clock.now -= 500000;  // ...not even a clock that went back
        source.Update();
        clock.now += 9000000;
        source.Update();
        EXPECT_EQ(source.accumulated, 3 * c.frame);
        EXPECT_EQ(source.lastDelta, c.frame);
        EXPECT_EQ(source.GetFps(), c.rate);
    }
}

TEST_F(TimingSourceTest, PausedStepsMeasureButDoNotAccumulate) {
    TimingSource source;
    source.SetFrameRate(60.0);
    source.Update();
    source.paused = true;
    source.Update();
    EXPECT_EQ(source.lastDelta, 16666);
    EXPECT_EQ(source.accumulated, 16666);

    source.Reset();
    EXPECT_FALSE(source.paused);
    EXPECT_EQ(source.accumulated, 0);
    EXPECT_EQ(source.lastDelta, 0);
}

// A source that follows the clock measures its first step from the reset, not from the moment
// the clock started.
TEST_F(TimingSourceTest, ResetWithoutRateMeasuresFromTheReset) {
    clock.now = 5000000;
    TimingSource source;
    source.SetFrameRate(0.0);
    clock.now += 16000;
    source.Update();
    EXPECT_EQ(source.lastDelta, 16000);
    EXPECT_EQ(source.accumulated, 16000);
}

TEST_F(TimingSourceTest, RateTooSlowForA64BitFrameDoesNotOverflow) {
    TimingSource source;
    source.SetFrameRate(1e-300);
    source.Update();
    source.Update();
    EXPECT_EQ(source.lastDelta, INT64_MIN);
}

TEST(TimingClockTest, SystemClockCountsFromInitAndSleepsAtLeastTheTime) {
    Timing_Init();
    const int64_t start = Timing_Time();
    EXPECT_GE(start, 0);
    EXPECT_LT(start, 1000000);
    Timing_Sleep(3000);
    EXPECT_GE(Timing_Time() - start, 3000);
    Timing_Sleep(0);
    Timing_Sleep(-5);
}

}  // namespace
