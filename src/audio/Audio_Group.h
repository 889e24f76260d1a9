// Audio groups: the "AGRP" chunk names them; group 0 holds the assets whose data is in the
// data file and is always loaded. Loading the other groups from their files is the group
// loader's work; this module keeps the table that the engine consults.
#pragma once

#include <cstdint>
#include <string>

#include "audio/AudioChunk.h"

struct CAudioSound;

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
    char* name = nullptr;            // owned
    CAudioSound** sounds = nullptr;  // soundCount entries, in asset order

    // Logs "Audio group %d -> %s\n" when the state changes.
    void SetState(int32_t state);
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
void Free();
}  // namespace CAudioGroupManager
