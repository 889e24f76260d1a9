// The audio output under OpenAL: the runner's own device and context. By default the system's
// output through OpenAL Soft's back ends; tests install the loopback device, which mixes only
// when asked and hands the samples back.
#pragma once

#include <cstdint>

class IAudioDevice {
public:
    virtual ~IAudioDevice() = default;
    // Opens the device and makes a context current that has room for `sources` sources. False
    // when there is no output: the runner then plays without sound.
    virtual bool Open(int32_t sources) = 0;
    // Releases the context and the device (nothing when not open).
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

// The device the sound layers open; the system output unless a test installed another.
IAudioDevice& AudioDevice_Current();
// Installs a device (null: the system output again). Returns the one installed before (null
// for the system output). Swap only while no device is open.
IAudioDevice* AudioDevice_Set(IAudioDevice* device);

// OpenAL Soft's loopback device: renders 16-bit interleaved frames at a fixed rate on demand.
class LoopbackAudioDevice final : public IAudioDevice {
public:
    explicit LoopbackAudioDevice(int32_t rate = 44100, int32_t channels = 2);
    ~LoopbackAudioDevice() override;
    LoopbackAudioDevice(const LoopbackAudioDevice&) = delete;
    LoopbackAudioDevice& operator=(const LoopbackAudioDevice&) = delete;

    bool Open(int32_t sources) override;
    void Close() override;
    bool IsOpen() const override { return m_device != nullptr; }

    int32_t Rate() const { return m_rate; }
    int32_t Channels() const { return m_channels; }
    // Mixes the next `frames` frames into out (frames × channels samples). False when closed.
    bool Render(int16_t* out, int32_t frames);

private:
    int32_t m_rate;
    int32_t m_channels;
    void* m_device = nullptr;   // ALCdevice
    void* m_context = nullptr;  // ALCcontext
    void* m_render = nullptr;   // alcRenderSamplesSOFT
};
