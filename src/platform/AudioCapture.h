// Audio capture (microphones) under the recording built-ins: 16-bit mono samples gathered by
// the device into a ring that the engine reads once per frame. By default the system's
// capture devices through OpenAL; tests install a synthetic device.
#pragma once

#include <cstdint>

struct AudioCaptureDevice;

class IAudioCapture {
public:
    virtual ~IAudioCapture() = default;
    // The capture devices' names one after another, each ended by a zero byte, the list by an
    // empty name; null when there are none.
    virtual const char* DeviceNames() = 0;
    // Opens the named device for 16-bit mono at the rate with a ring of `frames` sample frames;
    // null when it cannot be opened.
    virtual AudioCaptureDevice* Open(const char* name, int32_t rate, int32_t frames) = 0;
    virtual void Start(AudioCaptureDevice* device) = 0;
    virtual void Stop(AudioCaptureDevice* device) = 0;
    virtual void Close(AudioCaptureDevice* device) = 0;
    // Sample frames waiting in the ring; -1 when the device cannot tell.
    virtual int32_t Available(AudioCaptureDevice* device) = 0;
    // Takes that many frames (at most Available) out of the ring.
    virtual void Read(AudioCaptureDevice* device, int16_t* out, int32_t frames) = 0;
};

IAudioCapture& AudioCapture_Current();
// Installs a capture layer (null: the system's again); returns the one installed before.
IAudioCapture* AudioCapture_Set(IAudioCapture* capture);
