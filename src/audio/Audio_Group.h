// Audio groups: the "AGRP" chunk names them; group 0 holds the assets whose data is in the
// data file and is always loaded. Every other group keeps its audio in "audiogroup%d.dat"
// beside the game, which a worker thread prepares when game code loads the group; the tick
// that sees the worker end reports the load to the game (Other event 72).
#pragma once

#include <cstdint>
#include <string>

#include "audio/AudioChunk.h"

struct CAudioSound;
struct Thread;

enum AudioGroupState : int32_t {
    kAudioGroupUnloaded = 0,
    kAudioGroupLoading = 1,
    kAudioGroupLoaded = 2,
    kAudioGroupUnloading = 3,
};

struct CAudioGroup {
    int32_t state = kAudioGroupUnloaded;
    int32_t index = 0;
    int32_t soundCount = 0;
    int32_t listedCount = 0;
    int32_t preparedCount = 0;
    int32_t progress = 0;         // percent; written by the worker under its lock
    uint8_t* fileData = nullptr;  // the group file while loaded (owned)
    int64_t fileSize = 0;
    char* name = nullptr;            // owned
    Thread* worker = nullptr;        // made at the first load and reused
    CAudioSound** sounds = nullptr;  // soundCount entries, in asset order

    // Logs "Audio group %d -> %s\n" when the state changes.
    void SetState(int32_t state);
    // Percent: 100 loaded, the worker's progress while loading, 0 otherwise.
    int32_t GetProgress();
};

// "AGRP": makes the groups and names them. False (with the reason) for a chunk that leaves
// the file.
bool AudioGroup_Load(const AudioChunk& chunk, std::string* error = nullptr);

namespace CAudioGroupManager {
int32_t Count();
CAudioGroup* Get(int32_t g);
// Counts and lists every group's assets.
void CountSounds();
// Group 0 always; another group when it is loaded.
bool IsLoaded(int32_t g);
// The group's name, or "<undefined>".
const char* GetName(int32_t g);
// audio_group_load: reads the group's file and starts preparing its sounds on the worker.
// False when nothing was started (group 0, an unknown or empty group, one not unloaded, or a
// file that is missing or not a group file).
bool Load(int32_t g);
// audio_group_unload: softly stops the group's voices; the tick frees it once they are gone.
bool Unload(int32_t g);
double GetProgress(int32_t g);
// Once per frame: finishes unloads and reports finished loads.
void Tick();
// Waits for the workers and frees every group.
void Free();
}  // namespace CAudioGroupManager

// audio_group_stop_all: softly stops every voice of the group's sounds.
void Audio_StopGroup(int32_t g);
// audio_group_set_gain: the gain (with a fade) of every sound of the group.
void Audio_SetGroupGain(int32_t g, float gain, int32_t milliseconds);
bool Audio_GroupHasNoVoices(int32_t g);
