#include "audio/Audio_Group.h"

#include "audio/AudioMemory.h"
#include "audio/Audio_Sound.h"
#include "core/Console.h"

namespace {

CAudioGroup** g_groups = nullptr;
int32_t g_groupCount = 0;

const char* StateName(int32_t state) {
    static const char* const names[] = {"Unloaded", "Loading...", "Loaded", "Unloading..."};
    return state >= 0 && state < 4 ? names[state] : "?";
}

}  // namespace

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
        g_groups = static_cast<CAudioGroup**>(MEM_ALLOC(count * sizeof(CAudioGroup*)));
        g_groupCount = static_cast<int32_t>(count);
        for (uint32_t i = 0; i < count; ++i) {
            g_groups[i] = Audio_New<CAudioGroup>();
            g_groups[i]->index = static_cast<int32_t>(i);
            g_groups[i]->name = Audio_CopyText(names[i]);
        }
    }
    MEM_FREE(names);
    return true;
}

namespace CAudioGroupManager {

int32_t Count() {
    return g_groupCount;
}

CAudioGroup* Get(int32_t g) {
    return g >= 0 && g < g_groupCount ? g_groups[g] : nullptr;
}

void CountSounds() {
    if (g_groupCount == 0) return;
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

void Free() {
    for (int32_t i = 0; i < g_groupCount; ++i) {
        CAudioGroup* group = g_groups[i];
        if (group == nullptr) continue;
        MEM_FREE(group->sounds);
        MEM_FREE(group->name);
        Audio_Delete(group);
    }
    MEM_FREE(g_groups);
    g_groups = nullptr;
    g_groupCount = 0;
}

}  // namespace CAudioGroupManager
