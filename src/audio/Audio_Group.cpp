#include "audio/Audio_Group.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "audio/AudioHost.h"
#include "audio/AudioMemory.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Main.h"
#include "audio/Audio_Sound.h"
#include "core/Console.h"
#include "core/ResourceTable.h"
#include "core/Thread.h"

namespace {

ResourceTable<CAudioGroup> g_groups;

const char* StateName(int32_t state) {
    static const char* const names[] = {"Unloaded", "Loading...", "Loaded", "Unloading..."};
    return state >= 0 && state < 4 ? names[state] : "?";
}

// The group file: an 8-byte container header, then the "AUDO" chunk's tag and length.
constexpr int64_t kGroupHeaderBytes = 16;

bool IsGroupIndex(int32_t g) {
    return g > 0 && g < g_groups.count && g_groups.slots[g] != nullptr;
}

// The worker prepares the group's sounds one by one, telling the main thread how far it got.
int AudioGroup_WorkerMain(Thread* worker) {
    auto* group = static_cast<CAudioGroup*>(worker->data);
    const AudioSoundTable& assets = Audio_Assets();
    for (int32_t i = 0; i < assets.count; ++i) {
        CAudioSound* sound = assets.slots[i];
        if (sound == nullptr || sound->audioGroup != group->index) continue;
        Audio_PrepareSound(sound, group->index);
        ++group->preparedCount;
        std::lock_guard guard(worker->termMutex);
        group->progress = group->soundCount ? group->preparedCount * 100 / group->soundCount : 100;
    }
    return 0;
}

// A worker record is reused only once its previous thread has been joined.
void JoinWorker(CAudioGroup* group) {
    if (group->worker && group->worker->handle.joinable()) group->worker->Join();
}

bool StartLoadThread(CAudioGroup* group) {
    if (group->worker == nullptr) group->worker = Audio_New<Thread>();
    JoinWorker(group);
    return group->worker->Start(AudioGroup_WorkerMain, group);
}

// The group's sounds lose their buffers and stop pointing into the file that is going away.
void ReleaseGroupData(CAudioGroup* group) {
    for (int32_t i = 0; i < group->listedCount; ++i) {
        CAudioSound* sound = group->sounds[i];
        sound->FreeBuffer();
        sound->audioData = nullptr;
        sound->oggData = nullptr;
        sound->oggLength = 0;
    }
    MEM_FREE(group->fileData);
    group->fileData = nullptr;
    group->fileSize = 0;
}

void ReportLoaded(int32_t g) {
    const AudioMapPair pairs[] = {{"type", 0.0, "audiogroup_load"}, {"group_id", double(g), nullptr}};
    AudioHost_PostAsync(kAsyncAudioGroupLoad, pairs, 2);
}

// Reads and checks the group file; the bytes (owned by the caller) or null after the message.
uint8_t* ReadGroupFile(int32_t g, int64_t* size, uint32_t* chunkLength) {
    char name[128];
    std::snprintf(name, sizeof name, "audiogroup%d.dat", g);
    auto* data = static_cast<uint8_t*>(AudioHost_ReadBundleFile(name, size));
    if (data == nullptr) {
        DebugConsole.Output("Failed to load %s\n", name);
        return nullptr;
    }
    // The chunk must be there, be named, and not reach past the end of the file.
    const bool headerFits = *size >= kGroupHeaderBytes;
    *chunkLength = headerFits ? AudioChunk_U32(data + 12) : 0;
    if (!headerFits || *chunkLength == 0 || std::memcmp(data + 8, "AUDO", 4) != 0 ||
        int64_t(*chunkLength) > *size - kGroupHeaderBytes) {
        DebugConsole.Output("Format error loading %s\n", name);
        MEM_FREE(data);
        return nullptr;
    }
    return data;
}

}  // namespace

int32_t CAudioGroup::GetProgress() {
    if (state == kAudioGroupLoaded) return 100;
    if (state != kAudioGroupLoading || worker == nullptr) return 0;
    std::lock_guard guard(worker->termMutex);
    return progress;
}

void CAudioGroup::SetState(int32_t newState) {
    if (newState == state) return;
    state = newState;
    DebugConsole.Output("Audio group %d -> %s\n", index, StateName(state));
}

bool AudioGroup_Load(const AudioChunk& chunk, std::string* error) {
    DebugConsole.Output("AudioGroup_Load()\n");
    AudioChunkReader reader(chunk);
    const uint32_t count = reader.OffsetTableCount();
    // Names are read first so a bad chunk leaves the table as it was.
    const char** names = count ? static_cast<const char**>(MEM_ALLOC(count * sizeof(char*))) : nullptr;
    for (uint32_t i = 0; i < count && reader.Ok(); ++i) {
        const uint8_t* entry = reader.Record(reader.TableOffset(i), 4);
        if (entry) names[i] = reader.String(AudioChunk_U32(entry));
    }
    if (!reader.Ok()) {
        MEM_FREE(names);
        if (error) *error = reader.Error();
        return false;
    }
    if (count > 0) {
        CAudioGroupManager::Free();
        g_groups.slots = static_cast<CAudioGroup**>(MEM_ALLOC(count * sizeof(CAudioGroup*)));
        g_groups.count = static_cast<int32_t>(count);
        for (uint32_t i = 0; i < count; ++i) {
            g_groups.slots[i] = Audio_New<CAudioGroup>();
            g_groups.slots[i]->index = static_cast<int32_t>(i);
            g_groups.slots[i]->name = Audio_CopyText(names[i]);
        }
    }
    MEM_FREE(names);
    return true;
}

namespace CAudioGroupManager {

int32_t Count() {
    return g_groups.count;
}

CAudioGroup* Get(int32_t g) {
    return g_groups.Get(g);
}

void CountSounds() {
    if (g_groups.count == 0) return;
    const AudioSoundTable& assets = Audio_Assets();
    for (int32_t i = 0; i < assets.count; ++i) {
        CAudioSound* sound = assets.slots[i];
        if (CAudioGroup* group = sound ? Get(sound->audioGroup) : nullptr) ++group->soundCount;
    }
    for (int32_t i = 0; i < assets.count; ++i) {
        CAudioSound* sound = assets.slots[i];
        CAudioGroup* group = sound ? Get(sound->audioGroup) : nullptr;
        if (group == nullptr) continue;
        if (group->sounds == nullptr)
            group->sounds = static_cast<CAudioSound**>(MEM_ALLOC(group->soundCount * sizeof(CAudioSound*)));
        if (group->listedCount < group->soundCount) group->sounds[group->listedCount++] = sound;
    }
}

bool IsLoaded(int32_t g) {
    if (g == 0) return true;
    const CAudioGroup* group = Get(g);
    return group && group->state == kAudioGroupLoaded;
}

const char* GetName(int32_t g) {
    const CAudioGroup* group = Get(g);
    return group && group->name ? group->name : "<undefined>";
}

bool Load(int32_t g) {
    if (!IsGroupIndex(g)) return false;
    CAudioGroup* group = g_groups.slots[g];
    if (group->soundCount == 0 || group->state != kAudioGroupUnloaded) return false;
    int64_t size = 0;
    uint32_t chunkLength = 0;
    uint8_t* data = ReadGroupFile(g, &size, &chunkLength);
    if (data == nullptr) return false;
    // The entries are checked before any sound is pointed at them.
    const AudioChunk chunk{data, uint64_t(size), uint64_t(kGroupHeaderBytes), chunkLength};
    if (!Audio_WAVs(chunk, g)) {
        DebugConsole.Output("Format error loading audiogroup%d.dat\n", g);
        MEM_FREE(data);
        return false;
    }
    group->fileData = data;
    group->fileSize = size;
    group->SetState(kAudioGroupLoading);
    group->preparedCount = 0;
    group->progress = 0;
    if (!StartLoadThread(group)) {
        DebugConsole.Output("Error %d creating audio group thread\n",
                            static_cast<int>(group->worker->lastError));
        ReleaseGroupData(group);
        group->SetState(kAudioGroupUnloaded);
        return false;
    }
    return true;
}

bool Unload(int32_t g) {
    if (!IsGroupIndex(g) || g_groups.slots[g]->state != kAudioGroupLoaded) return false;
    g_groups.slots[g]->SetState(kAudioGroupUnloading);
    Audio_StopGroup(g);
    return true;
}

double GetProgress(int32_t g) {
    if (g == 0) return 100.0;
    CAudioGroup* group = Get(g);
    return group ? group->GetProgress() : 0.0;
}

void Tick() {
    for (int32_t g = 1; g < g_groups.count; ++g) {
        CAudioGroup* group = g_groups.slots[g];
        if (group == nullptr) continue;
        if (group->state == kAudioGroupUnloading && Audio_GroupHasNoVoices(g)) {
            ReleaseGroupData(group);
            group->SetState(kAudioGroupUnloaded);
        } else if (group->state == kAudioGroupLoading && group->worker && !group->worker->running) {
            JoinWorker(group);
            group->SetState(kAudioGroupLoaded);
            ReportLoaded(g);
        }
    }
}

void Free() {
    for (int32_t i = 0; i < g_groups.count; ++i) {
        CAudioGroup* group = g_groups.slots[i];
        if (group == nullptr) continue;
        // A load still running writes to the group and its sounds: it finishes first.
        JoinWorker(group);
        Audio_Delete(group->worker);
        MEM_FREE(group->fileData);
        MEM_FREE(group->sounds);
        MEM_FREE(group->name);
        Audio_Delete(group);
    }
    MEM_FREE(g_groups.slots);
    g_groups.slots = nullptr;
    g_groups.count = 0;
}

}  // namespace CAudioGroupManager

// --- group-wide operations ------------------------------------------------------------------

namespace {

// The group of the sound an active voice plays, or -1.
int32_t VoiceGroup(const CAudioVoice* voice) {
    if (!voice->active) return -1;
    const CAudioSound* sound = Audio_GetSound(voice->soundId);
    return sound ? sound->audioGroup : -1;
}

}  // namespace

void Audio_StopGroup(int32_t g) {
    if (Audio_NoAudio() || !Audio_UsingNewSystem()) return;
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) {
        CAudioVoice* voice = Audio_GetVoice(i);
        if (VoiceGroup(voice) == g) Audio_StopVoice(voice, false);
    }
}

void Audio_SetGroupGain(int32_t g, float gain, int32_t milliseconds) {
    const AudioSoundTable& assets = Audio_Assets();
    for (int32_t i = 0; i < assets.count; ++i)
        if (assets.slots[i] && assets.slots[i]->audioGroup == g) Audio_SoundGain(i, gain, milliseconds);
}

bool Audio_GroupHasNoVoices(int32_t g) {
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i)
        if (VoiceGroup(Audio_GetVoice(i)) == g) return false;
    return true;
}
