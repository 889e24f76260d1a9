// The runner's microsecond clock and the frame-step sources that pace the game by it.
#pragma once

#include <cstdint>

// Where the time comes from. The system clock is the default; tests install their own so that
// pacing can be checked without waiting on real time.
class ITimingClock {
public:
    virtual ~ITimingClock() = default;
    virtual int64_t Now() = 0;                     // microseconds
    virtual void Sleep(int64_t microseconds) = 0;  // returns once that much time has passed
};

// Starts the clock: Timing_Time counts from here (again after each restart of the game).
void Timing_Init();
// Microseconds since Timing_Init, on a clock that never goes back.
int64_t Timing_Time();
// Sleeps the calling thread precisely (no spinning); 0 or less returns at once.
void Timing_Sleep(int64_t microseconds);
// Installs a clock; null puts the system clock back. Returns the clock installed before (null
// for the system clock).
ITimingClock* Timing_SetClock(ITimingClock* clock);

// Turns the clock into frame steps. With a target rate every Update advances the time by exactly
// one frame, however long the frame really took; without one it follows the clock.
struct TimingSource {
    int64_t accumulated = 0;  // microseconds of game time, not counting paused steps
    int64_t lastStamp = 0;
    bool paused = false;      // Update still measures, but adds nothing to accumulated
    double targetRate = 0.0;  // frames per second; 0 or less follows the clock
    int64_t lastDelta = 0;    // length of the last step in microseconds

    void Reset();
    void SetFrameRate(double rate);
    void Update();
    // The target rate, else the rate of the last step, else 30.
    double GetFps() const;
};

// The game clock: updated once per frame; its rate is the game speed.
extern TimingSource g_GameClock;
