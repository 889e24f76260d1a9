// What the sound layers ask of the subsystems above them: files of the bundle and the save
// area, binary buffers, the error dialog and the frame rate. Start-up fills the hooks; a null
// hook is a service that is not there, and the sound layers do without it as each line says.
#pragma once

#include <cstddef>
#include <cstdint>

// One key of a result map: a string when text is not null, else the real.
struct AudioMapPair {
    const char* key;
    double value;
    const char* text;
};

// Subtypes of the Other events that carry audio results to the asynchronous stage.
constexpr int32_t kAsyncAudioGroupLoad = 72;
constexpr int32_t kAsyncAudioRecording = 73;
constexpr int32_t kAsyncAudioPlayback = 74;

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
    // The full path of a file of the save area into out; false when it is not there (null
    // hook: the save area holds nothing).
    bool (*savePath)(const char* name, char* out, size_t size) = nullptr;
    // A new ds_map holding the pairs; its index (null hook: -1, no map).
    int32_t (*createMap)(const AudioMapPair* pairs, int32_t count) = nullptr;
    // Hands a result to the asynchronous stage: an Other event of the subtype whose "async_load"
    // map holds the pairs. ownedBuffer is a binary buffer the event owns and frees once it has
    // been delivered, or -1. Null hook: nothing is posted (an owned buffer is freed at once).
    void (*postAsync)(int32_t subtype, const AudioMapPair* pairs, int32_t count,
                      int32_t ownedBuffer) = nullptr;
    // A new fast binary buffer holding a copy of the bytes, its used size their count; its
    // index, or -1 (null hook: -1).
    int32_t (*bufferFromBytes)(const uint8_t* bytes, int32_t size) = nullptr;
    // Deletes a binary buffer.
    void (*bufferFree)(int32_t id) = nullptr;
    // The debug overlay's view-flags word (null hook: kept here only).
    void (*setDebugViewFlags)(int32_t flags) = nullptr;
};

extern AudioHostHooks g_AudioHost;

// The hooks' answers with their fallbacks.
bool AudioHost_BundlePath(const char* name, char* out, size_t size);
void AudioHost_ShowError(const char* text);
int32_t AudioHost_FramesPerSecond();
bool AudioHost_SavePath(const char* name, char* out, size_t size);
// A whole file of the bundle as a new memory-manager block (null when it cannot be read).
void* AudioHost_ReadBundleFile(const char* name, int64_t* size);
int32_t AudioHost_CreateMap(const AudioMapPair* pairs, int32_t count);
void AudioHost_PostAsync(int32_t subtype, const AudioMapPair* pairs, int32_t count, int32_t ownedBuffer = -1);
void AudioHost_SetDebugViewFlags(int32_t flags);
int32_t AudioHost_DebugViewFlags();
