// What the sound layers ask of the subsystems above them: files of the bundle and the save
// area, binary buffers, the error dialog and the frame rate. Start-up fills the hooks; a null
// hook is a service that is not there, and the sound layers do without it as each line says.
#pragma once

#include <cstddef>
#include <cstdint>

struct AudioHostHooks {
    // The full path of a file of the bundle into out; false when it is not there (null hook:
    // no file is found).
    bool (*bundlePath)(const char* name, char* out, size_t size) = nullptr;
    // A whole file by a game's name (save area first, then the bundle) as a new memory-manager
    // block; null when it cannot be read (null hook: nothing is found).
    void* (*readFile)(const char* name, int64_t* size) = nullptr;
    // The bytes and used size of a binary buffer; false when no buffer has the id.
    bool (*bufferBytes)(int32_t id, const uint8_t** data, uint32_t* usedSize) = nullptr;
    // Raises (+1) or lowers (-1) a binary buffer's in-use count, so it outlives its sounds.
    void (*bufferUse)(int32_t id, int32_t delta) = nullptr;
    // The run-time error dialog, not fatal (null hook: the text goes to the console).
    void (*showError)(const char* text) = nullptr;
    // Frames per second that fades count in: the game clock's rate, else the current room's
    // speed, 30 without a room (null hook: 30).
    int32_t (*framesPerSecond)() = nullptr;
};

extern AudioHostHooks g_AudioHost;

// The hooks' answers with their fallbacks.
bool AudioHost_BundlePath(const char* name, char* out, size_t size);
void AudioHost_ShowError(const char* text);
int32_t AudioHost_FramesPerSecond();
