#include "platform/AudioDevice.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

namespace {

// Makes a context with the attributes current on the device; null when either step fails.
ALCcontext* MakeCurrentContext(ALCdevice* device, const ALCint* attributes) {
    ALCcontext* context = alcCreateContext(device, attributes);
    if (context == nullptr) return nullptr;
    if (alcMakeContextCurrent(context) != ALC_TRUE) {
        alcDestroyContext(context);
        return nullptr;
    }
    return context;
}

void ReleaseContext(ALCcontext* context) {
    if (context == nullptr) return;
    if (alcGetCurrentContext() == context) alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
}

// The system's default output through whichever back end OpenAL Soft picks (ALSOFT_DRIVERS
// and ALSOFT_CONF choose among them).
class SystemAudioDevice final : public IAudioDevice {
public:
    bool Open(int32_t sources) override {
        if (m_device) return true;
        m_device = alcOpenDevice(nullptr);
        if (m_device == nullptr) return false;
        const ALCint attributes[] = {ALC_MONO_SOURCES, sources, 0};
        m_context = MakeCurrentContext(m_device, attributes);
        if (m_context == nullptr) {
            alcCloseDevice(m_device);
            m_device = nullptr;
            return false;
        }
        return true;
    }

    void Close() override {
        if (m_device == nullptr) return;
        ReleaseContext(m_context);
        alcCloseDevice(m_device);
        m_context = nullptr;
        m_device = nullptr;
    }

    bool IsOpen() const override { return m_device != nullptr; }

private:
    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
};

SystemAudioDevice g_systemDevice;
IAudioDevice* g_installedDevice = nullptr;

struct LoopbackEntryPoints {
    LPALCLOOPBACKOPENDEVICESOFT open = nullptr;
    LPALCISRENDERFORMATSUPPORTEDSOFT formatSupported = nullptr;
    LPALCRENDERSAMPLESSOFT render = nullptr;
};

bool LoadLoopbackEntryPoints(LoopbackEntryPoints* entry) {
    if (alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback") != ALC_TRUE) return false;
    entry->open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    entry->formatSupported = reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(
        alcGetProcAddress(nullptr, "alcIsRenderFormatSupportedSOFT"));
    entry->render =
        reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    return entry->open && entry->formatSupported && entry->render;
}

}  // namespace

IAudioDevice& AudioDevice_Current() {
    return g_installedDevice ? *g_installedDevice : g_systemDevice;
}

IAudioDevice* AudioDevice_Set(IAudioDevice* device) {
    IAudioDevice* previous = g_installedDevice;
    g_installedDevice = device;
    return previous;
}

LoopbackAudioDevice::LoopbackAudioDevice(int32_t rate, int32_t channels)
    : m_rate(rate), m_channels(channels) {}

LoopbackAudioDevice::~LoopbackAudioDevice() {
    Close();
}

bool LoopbackAudioDevice::Open(int32_t sources) {
    if (m_device) return true;
    LoopbackEntryPoints entry;
    if (!LoadLoopbackEntryPoints(&entry)) return false;
    const ALCint channelFormat = m_channels == 1 ? ALC_MONO_SOFT : ALC_STEREO_SOFT;
    ALCdevice* device = entry.open(nullptr);
    if (device == nullptr) return false;
    if (entry.formatSupported(device, m_rate, channelFormat, ALC_SHORT_SOFT) != ALC_TRUE) {
        alcCloseDevice(device);
        return false;
    }
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, channelFormat, ALC_FORMAT_TYPE_SOFT,
                                 ALC_SHORT_SOFT,           ALC_FREQUENCY, m_rate,
                                 ALC_MONO_SOURCES,         sources,       0};
    ALCcontext* context = MakeCurrentContext(device, attributes);
    if (context == nullptr) {
        alcCloseDevice(device);
        return false;
    }
    m_device = device;
    m_context = context;
    m_render = reinterpret_cast<void*>(entry.render);
    return true;
}

void LoopbackAudioDevice::Close() {
    if (m_device == nullptr) return;
    ReleaseContext(static_cast<ALCcontext*>(m_context));
    alcCloseDevice(static_cast<ALCdevice*>(m_device));
    m_context = nullptr;
    m_device = nullptr;
}

bool LoopbackAudioDevice::Render(int16_t* out, int32_t frames) {
    if (m_device == nullptr || frames <= 0) return false;
    reinterpret_cast<LPALCRENDERSAMPLESSOFT>(m_render)(static_cast<ALCdevice*>(m_device), out, frames);
    return true;
}
