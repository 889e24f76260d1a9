#include "audio/AudioHost.h"

#include <cstdio>

#include "core/Console.h"
#include "core/MemoryManager.h"

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

bool AudioHost_SavePath(const char* name, char* out, size_t size) {
    if (g_AudioHost.savePath == nullptr || name == nullptr || size == 0) return false;
    return g_AudioHost.savePath(name, out, size);
}

void* AudioHost_ReadBundleFile(const char* name, int64_t* size) {
    char path[4096];
    if (!AudioHost_BundlePath(name, path, sizeof path)) return nullptr;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return nullptr;
    void* block = nullptr;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long length = std::ftell(file);
        if (length >= 0 && std::fseek(file, 0, SEEK_SET) == 0) {
            block = MEM_ALLOC(size_t(length) + 1);
            if (std::fread(block, 1, size_t(length), file) != size_t(length)) {
                MEM_FREE(block);
                block = nullptr;
            } else {
                *size = length;
            }
        }
    }
    std::fclose(file);
    return block;
}

int32_t AudioHost_CreateMap(const AudioMapPair* pairs, int32_t count) {
    return g_AudioHost.createMap ? g_AudioHost.createMap(pairs, count) : -1;
}

void AudioHost_PostAsync(int32_t subtype, const AudioMapPair* pairs, int32_t count, int32_t ownedBuffer) {
    if (g_AudioHost.postAsync) {
        g_AudioHost.postAsync(subtype, pairs, count, ownedBuffer);
        return;
    }
    if (ownedBuffer >= 0 && g_AudioHost.bufferFree) g_AudioHost.bufferFree(ownedBuffer);
}

namespace {
int32_t g_debugViewFlags = 0;
}

void AudioHost_SetDebugViewFlags(int32_t flags) {
    g_debugViewFlags = flags;
    if (g_AudioHost.setDebugViewFlags) g_AudioHost.setDebugViewFlags(flags);
}

int32_t AudioHost_DebugViewFlags() {
    return g_debugViewFlags;
}
