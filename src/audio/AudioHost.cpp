#include "audio/AudioHost.h"

#include "core/Console.h"

AudioHostHooks g_AudioHost;

bool AudioHost_BundlePath(const char* name, char* out, size_t size) {
    if (g_AudioHost.bundlePath == nullptr || name == nullptr || size == 0) return false;
    return g_AudioHost.bundlePath(name, out, size);
}

void AudioHost_ShowError(const char* text) {
    if (g_AudioHost.showError) {
        g_AudioHost.showError(text);
        return;
    }
    DebugConsole.Output("ERROR!!! :: %s\n", text);
}

int32_t AudioHost_FramesPerSecond() {
    return g_AudioHost.framesPerSecond ? g_AudioHost.framesPerSecond() : 30;
}
