#include "platform/AudioCapture.h"

#include <AL/al.h>
#include <AL/alc.h>

namespace {

ALCdevice* AsAlc(AudioCaptureDevice* device) {
    return reinterpret_cast<ALCdevice*>(device);
}

class SystemAudioCapture final : public IAudioCapture {
public:
    const char* DeviceNames() override { return alcGetString(nullptr, ALC_CAPTURE_DEVICE_SPECIFIER); }

    AudioCaptureDevice* Open(const char* name, int32_t rate, int32_t frames) override {
        ALCdevice* device = alcCaptureOpenDevice(name, static_cast<ALCuint>(rate), AL_FORMAT_MONO16, frames);
        return reinterpret_cast<AudioCaptureDevice*>(device);
    }

    void Start(AudioCaptureDevice* device) override { alcCaptureStart(AsAlc(device)); }

    void Stop(AudioCaptureDevice* device) override { alcCaptureStop(AsAlc(device)); }

    void Close(AudioCaptureDevice* device) override { alcCaptureCloseDevice(AsAlc(device)); }

    int32_t Available(AudioCaptureDevice* device) override {
        ALCint samples = 0;
        alcGetIntegerv(AsAlc(device), ALC_CAPTURE_SAMPLES, 1, &samples);
        return alcGetError(AsAlc(device)) == ALC_NO_ERROR ? samples : -1;
    }

    void Read(AudioCaptureDevice* device, int16_t* out, int32_t frames) override {
        alcCaptureSamples(AsAlc(device), out, frames);
    }
};

SystemAudioCapture g_systemCapture;
IAudioCapture* g_installedCapture = nullptr;

}  // namespace

IAudioCapture& AudioCapture_Current() {
    return g_installedCapture ? *g_installedCapture : g_systemCapture;
}

IAudioCapture* AudioCapture_Set(IAudioCapture* capture) {
    IAudioCapture* previous = g_installedCapture;
    g_installedCapture = capture;
    return previous;
}
