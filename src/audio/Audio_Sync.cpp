#include "audio/Audio_Sync.h"

#include <AL/al.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "audio/AudioHost.h"
#include "audio/AudioMemory.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Group.h"
#include "audio/Audio_Main.h"
#include "audio/Audio_Ogg.h"
#include "audio/Audio_Sound.h"
#include "core/Console.h"
#include "core/Thread.h"
#include "core/Timing.h"

namespace {

constexpr int32_t kPassMilliseconds = 16;
constexpr int32_t kMixBytes = 16384;
constexpr int32_t kMixMemoryBytes = 32895;  // two aligned blocks and the room to align them
constexpr uintptr_t kMixAlignment = 128;
constexpr int32_t kGroupGrowth = 8;
constexpr float kSilentGain = 0.01f;
constexpr int32_t kDebugGroupView = 32;

struct OggSyncThread {
    char log[2048] = {};
    uint8_t logPending = 0;
    uint8_t failed = 0;
    uint8_t quit = 0;
    uint8_t started = 0;
    SOggChannel* channels = nullptr;
    int32_t capacity = 0;
    int32_t memberCount = 0;
    int32_t groupIndex = 0;
    std::atomic<int64_t> positionBase{0};
    int64_t framesSubmitted = 0;
    int32_t restartCount = 0;
    uint8_t* snapshot = nullptr;
    Mutex* lock = nullptr;
    Thread* thread = nullptr;
    uint8_t ended = 0;
    uint8_t isGroup = 1;
    uint8_t stopCommand = 0, playCommand = 0, pauseCommand = 0, resumeCommand = 0;
    uint8_t loop = 0;
    uint8_t playing = 0;
    uint8_t* mixMemory = nullptr;
    int16_t* mix[2] = {nullptr, nullptr};
    int32_t currentMix = 0;
    ALuint buffers[2] = {0, 0};
    ALuint source = 0;
    // The thread's own working state.
    int32_t membersInUse = 0;
    int32_t framesPerBlock = 0;
    ALenum format = AL_FORMAT_STEREO16;
    int32_t rate = 44100;
    uint8_t left = 0;  // the pass loop has ended (stepped by hand)

    OggLogTarget Log() { return OggLogTarget{log, &logPending, lock}; }
};

OggSyncThread** g_groups = nullptr;
int32_t g_groupCapacity = 0;
int32_t g_groupsUsed = 0;
int32_t g_debugGroup = -1;

bool EngineOff() {
    return Audio_NoAudio() || !Audio_UsingNewSystem();
}

OggSyncThread* GetGroup(int32_t id) {
    return id >= 0 && id < g_groupCapacity ? g_groups[id] : nullptr;
}

// A new group takes the first empty slot below the used count, else the next one.
int32_t AddSyncGroup(OggSyncThread* group) {
    for (int32_t i = 0; i < g_groupsUsed; ++i) {
        if (g_groups[i] == nullptr) {
            g_groups[i] = group;
            return i;
        }
    }
    if (g_groupsUsed == g_groupCapacity) {
        const int32_t capacity = g_groupCapacity + kGroupGrowth;
        g_groups =
            static_cast<OggSyncThread**>(MEM_REALLOC(g_groups, size_t(capacity) * sizeof(OggSyncThread*)));
        for (int32_t i = g_groupCapacity; i < capacity; ++i) g_groups[i] = nullptr;
        g_groupCapacity = capacity;
    }
    g_groups[g_groupsUsed] = group;
    return g_groupsUsed++;
}

void MarkInactive(OggSyncThread* group, SOggChannel* channel) {
    std::lock_guard guard(*group->lock);
    channel->active = 0;
}

void CloseChannel(OggSyncThread* group, SOggChannel* channel) {
    if (channel->state != kOggClosed) ov_clear(&channel->decoder);
    channel->state = kOggClosed;
    channel->buffersPlayed = 0;
    MarkInactive(group, channel);
}

void UnqueueAll(ALuint source) {
    ALint queued = 0;
    alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
    for (ALint i = 0; i < queued; ++i) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
    }
}

// Decodes a block of the member into its PCM half and adds it to the current mix.
int32_t DecodeAndMix(OggSyncThread* group, SOggChannel* channel, bool looping) {
    const int32_t bytes = Ogg_FillHalf(channel, looping, group->Log());
    if (bytes > 0) {
        const float target = channel->currentSound->gain;
        OggSync_Mix(group->mix[group->currentMix],
                    reinterpret_cast<const int16_t*>(channel->half[channel->currentHalf]), bytes,
                    channel->lastMixGain, target);
        channel->lastMixGain = target;
    }
    channel->currentHalf ^= 1;
    return bytes;
}

bool OpenMember(SOggChannel* channel) {
    const CAudioSound* sound = channel->currentSound;
    if (sound->streamed) return Ogg_OpenFile(sound->streamPath, channel, nullptr);
    channel->readPosition = 0;
    return ov_open_callbacks(channel, &channel->decoder, nullptr, 0, Ogg_MemoryCallbacks()) == 0;
}

// Opens every member and mixes its first block. False when a stream cannot be opened.
bool OpenChannels(OggSyncThread* group) {
    const vorbis_info* first = nullptr;
    for (int32_t i = 0; i < group->membersInUse; ++i) {
        SOggChannel* channel = &group->channels[i];
        if (channel->currentSound == nullptr) continue;
        if (channel->state != kOggClosed) CloseChannel(group, channel);
        {
            std::lock_guard guard(*group->lock);
            channel->active = 1;
        }
        channel->lastMixGain = channel->currentSound->gain;
        if (!OpenMember(channel)) {
            group->Log().Append("failed to open stream file!");
            return false;
        }
        channel->state = kOggLooping;
        channel->info = ov_info(&channel->decoder, -1);
        channel->buffersPlayed = 0;
        channel->pcmTotal = ov_pcm_total(&channel->decoder, -1);
        // Members are added sample for sample into one buffer: a member of another layout or
        // rate than the first, or of no length, cannot be mixed and is closed.
        const vorbis_info* info = channel->info;
        const bool mixable =
            info && info->rate > 0 && (info->channels == 1 || info->channels == 2) && channel->pcmTotal > 0 &&
            (first == nullptr || (info->channels == first->channels && info->rate == first->rate));
        if (!mixable) {
            group->Log().Append("sync group member %d cannot be mixed with the first, not playing it\n", i);
            CloseChannel(group, channel);
            continue;
        }
        if (first == nullptr) first = info;
        channel->currentHalf = 0;
        if (channel->currentSound->gain < kSilentGain) continue;
        if (DecodeAndMix(group, channel, true) == 0) CloseChannel(group, channel);
    }
    if (first == nullptr) return false;
    group->format = first->channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    group->rate = first->rate;
    group->framesPerBlock = kMixBytes / (first->channels * 2);
    return true;
}

void MixBlock(OggSyncThread* group) {
    for (int32_t i = 0; i < group->membersInUse; ++i) {
        SOggChannel* channel = &group->channels[i];
        if (channel->state == kOggClosed || channel->currentSound == nullptr) continue;
        if (channel->lastMixGain < kSilentGain && channel->currentSound->gain < kSilentGain) continue;
        {
            std::lock_guard guard(*group->lock);
            if (!channel->active) continue;
        }
        const int64_t target = group->framesSubmitted % channel->pcmTotal;
        ++channel->buffersPlayed;
        if (ov_pcm_tell(&channel->decoder) != target) ov_pcm_seek(&channel->decoder, target);
        if (DecodeAndMix(group, channel, group->loop != 0) == 0) channel->state = kOggEnded;
        if (channel->state == kOggEnded) CloseChannel(group, channel);
    }
}

void Upload(OggSyncThread* group, ALuint buffer, int32_t mixIndex) {
    alBufferData(buffer, group->format, group->mix[mixIndex], kMixBytes, group->rate);
}

void StartMix(OggSyncThread* group) {
    std::memset(group->mix[0], 0, kMixBytes);
    std::memset(group->mix[1], 0, kMixBytes);
    group->framesSubmitted = 0;
    group->membersInUse = 0;
    for (int32_t i = 0; i < group->capacity; ++i)
        if (group->channels[i].currentSound) group->membersInUse = i + 1;
    group->currentMix = 0;
    if (!OpenChannels(group)) {
        std::lock_guard guard(*group->lock);
        group->failed = 1;
        return;
    }
    Upload(group, group->buffers[0], 0);
    group->framesSubmitted += group->framesPerBlock;
    group->positionBase = group->framesSubmitted;
    group->currentMix = 1;
    MixBlock(group);
    Upload(group, group->buffers[1], 1);
    group->framesSubmitted += group->framesPerBlock;
    alSourceQueueBuffers(group->source, 2, group->buffers);
    group->positionBase = group->framesSubmitted;
    alSourcePlay(group->source);
    alSourcef(group->source, AL_GAIN, 1.0f);
    group->currentMix = 0;
}

void Refill(OggSyncThread* group) {
    ALint processed = 0;
    alGetSourcei(group->source, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed; ++i) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(group->source, 1, &buffer);
        group->positionBase = group->framesSubmitted + group->framesPerBlock;
        std::memset(group->mix[group->currentMix], 0, kMixBytes);
        MixBlock(group);
        Upload(group, buffer, group->currentMix);
        group->currentMix ^= 1;
        group->framesSubmitted = group->positionBase;
        alSourceQueueBuffers(group->source, 1, &buffer);
    }
}

void LeaveLoop(OggSyncThread* group) {
    alSourceStop(group->source);
    UnqueueAll(group->source);
    for (int32_t i = 0; i < group->capacity; ++i) CloseChannel(group, &group->channels[i]);
    group->ended = 0;
    group->left = 1;
}

enum class PassResult { kSleep, kAgain, kLeave };

PassResult SyncPass(OggSyncThread* group) {
    uint8_t play, stop, pause, resume, quit, failed;
    {
        std::lock_guard guard(*group->lock);
        play = group->playCommand;
        stop = group->stopCommand;
        pause = group->pauseCommand;
        resume = group->resumeCommand;
        group->playCommand = group->stopCommand = group->pauseCommand = group->resumeCommand = 0;
        quit = group->quit;
        failed = group->failed;
        for (int32_t i = 0; i < group->capacity; ++i) {
            SOggChannel* channel = &group->channels[i];
            group->snapshot[i] = channel->command;
            channel->currentSound = channel->pendingSound;
            channel->positionMs = static_cast<int64_t>(double(channel->position) * 1000.0);
            channel->command = 0;
        }
    }
    if (failed || quit) return PassResult::kLeave;
    ALint state = AL_INITIAL;
    alGetSourcei(group->source, AL_SOURCE_STATE, &state);
    if (play) {
        if (state == AL_PLAYING) {
            group->Log().Append("OggSyncThread already playing, ignoring new play request\n");
            return PassResult::kAgain;
        }
        StartMix(group);
        if (group->failed) return PassResult::kAgain;
        return PassResult::kSleep;
    }
    bool refill = state == AL_PLAYING;
    bool restart = false;
    if (stop) {
        alSourceStop(group->source);
        UnqueueAll(group->source);
        group->membersInUse = 0;
    } else if (group->membersInUse > 0 && state == AL_STOPPED) {
        refill = restart = true;  // it ran dry before the thread came round
    }
    if (refill) Refill(group);
    if (restart) {
        alSourcePlay(group->source);
        ++group->restartCount;
    }
    if (pause && state == AL_PLAYING) alSourcePause(group->source);
    if (resume && state == AL_PAUSED) alSourcePlay(group->source);
    return PassResult::kSleep;
}

int OggSyncThread_Main(Thread* record) {
    auto* group = static_cast<OggSyncThread*>(record->data);
    for (;;) {
        const int64_t start = Timing_Time();
        const PassResult result = SyncPass(group);
        if (result == PassResult::kLeave) break;
        if (result == PassResult::kAgain) continue;
        const int64_t spent = static_cast<int64_t>((Timing_Time() - start) * 0.001);
        if (kPassMilliseconds - spent > 0) Thread_Sleep(static_cast<int32_t>(kPassMilliseconds - spent));
    }
    LeaveLoop(group);
    return 0;
}

bool StartGroup(OggSyncThread* group, int32_t id, int32_t capacity) {
    group->groupIndex = id;
    group->capacity = capacity;
    group->channels = static_cast<SOggChannel*>(MEM_ALLOC(size_t(capacity) * sizeof(SOggChannel)));
    for (int32_t i = 0; i < capacity; ++i) {
        SOggChannel* channel = new (&group->channels[i]) SOggChannel();
        channel->voiceIndex = -1;
        channel->source = 0;
        channel->pcm = static_cast<uint8_t*>(MEM_ALLOC(kOggPcmBytes));
        channel->half[0] = channel->pcm;
        channel->half[1] = channel->pcm + kOggHalfBytes;
        channel->lastMixGain = 1.0f;
        channel->pcmTotal = INT64_MAX;
    }
    group->snapshot = static_cast<uint8_t*>(MEM_ALLOC(size_t(capacity) + 1));
    group->lock = Audio_New<Mutex>("OggMutex");
    group->mixMemory = static_cast<uint8_t*>(MEM_ALLOC(kMixMemoryBytes));
    const uintptr_t aligned =
        (reinterpret_cast<uintptr_t>(group->mixMemory) + kMixAlignment - 1) & ~(kMixAlignment - 1);
    group->mix[0] = reinterpret_cast<int16_t*>(aligned);
    group->mix[1] = reinterpret_cast<int16_t*>(aligned + kMixBytes);
    alGenSources(1, &group->source);
    alSourcef(group->source, AL_GAIN, 0.0f);
    // The mix is heard as it is, wherever the listener stands.
    alSourcei(group->source, AL_SOURCE_RELATIVE, AL_TRUE);
    alGenBuffers(2, group->buffers);
    group->currentMix = 0;
    if (COggAudio::ManualPasses()) {
        group->started = 1;
        return true;
    }
    group->thread = Audio_New<Thread>();
    if (!group->thread->Start(OggSyncThread_Main, group)) {
        DebugConsole.Output("Error %d creating ogg thread\n", static_cast<int>(group->thread->lastError));
        Audio_Delete(group->thread);
        group->thread = nullptr;
        // A group without its thread is failed: the next tick removes it whole.
        group->failed = 1;
        return false;
    }
    group->started = 1;
    return true;
}

void PrintLog(OggSyncThread* group, bool prefix) {
    char text[sizeof group->log];
    {
        std::lock_guard guard(*group->lock);
        if (!group->logPending) return;
        std::memcpy(text, group->log, sizeof text);
        group->log[0] = 0;
        group->logPending = 0;
    }
    if (prefix)
        DebugConsole.Output("(%d): %s", group->groupIndex, text);
    else
        DebugConsole.Output("%s", text);
}

// Stops the group's thread (printing what it left in its log) and frees the group whole.
void DestroyGroup(int32_t id) {
    OggSyncThread* group = g_groups[id];
    if (group->started) {
        {
            std::lock_guard guard(*group->lock);
            group->quit = 1;
        }
        if (group->thread) {
            group->thread->Join();
            Audio_Delete(group->thread);
            group->thread = nullptr;
        } else if (!group->left) {
            LeaveLoop(group);
        }
        PrintLog(group, false);
    }
    for (int32_t i = 0; i < group->capacity; ++i) {
        SOggChannel* channel = &group->channels[i];
        if (channel->state != kOggClosed) ov_clear(&channel->decoder);
        MEM_FREE(channel->pcm);
        channel->~SOggChannel();
    }
    MEM_FREE(group->channels);
    MEM_FREE(group->snapshot);
    MEM_FREE(group->mixMemory);
    alSourceStop(group->source);
    alSourcei(group->source, AL_BUFFER, 0);
    alDeleteSources(1, &group->source);
    alDeleteBuffers(2, group->buffers);
    Audio_Delete(group->lock);
    Audio_Delete(group);
    g_groups[id] = nullptr;
}

void SetCommand(int32_t id, uint8_t OggSyncThread::*command, int playing) {
    OggSyncThread* group = EngineOff() ? nullptr : GetGroup(id);
    if (group == nullptr) return;
    std::lock_guard guard(*group->lock);
    if (playing == 1 && group->memberCount == 0) return;
    group->*command = 1;
    if (playing >= 0) group->playing = static_cast<uint8_t>(playing);
}

}  // namespace

void OggSync_Mix(int16_t* mix, const int16_t* samples, int32_t bytes, float g0, float g1) {
    const int32_t n = bytes / 2;
    for (int32_t i = 0; i < n; ++i) {
        const float g = static_cast<float>(double(g0) + (double(i) / n) * (double(g1) - double(g0)));
        int32_t v = static_cast<int32_t>(double(g) * samples[i] + mix[i]);
        if (v > 32767) v = 32767;
        if (v < -32767) v = -32767;
        mix[i] = static_cast<int16_t>(v);
    }
}

int32_t Audio_CreateSyncGroup(bool looping) {
    if (EngineOff()) return -1;
    OggSyncThread* group = Audio_New<OggSyncThread>();
    group->loop = looping ? 1 : 0;
    const int32_t id = AddSyncGroup(group);
    const COggAudio& ogg = OggAudio();
    const int32_t capacity = ogg.ThreadCount() > 0 ? ogg.TotalChannels() / ogg.ThreadCount() : 0;
    StartGroup(group, id, capacity);
    Audio_CheckError("Audio_CreateSyncGroup");
    return id;
}

int32_t Audio_PlayInSyncGroup(int32_t id, int32_t soundId) {
    if (EngineOff()) return -1;
    CAudioSound* sound = Audio_GetSound(soundId);
    if (sound == nullptr) {
        DebugConsole.Output("Error: no sound exists for soundid %d\n", soundId);
        return -1;
    }
    if (!sound->OggDriven()) {
        DebugConsole.Output("Error: cannot play uncompressed sounds in a sync group\n");
        return -1;
    }
    if (!CAudioGroupManager::IsLoaded(sound->audioGroup)) {
        DebugConsole.Output("%s: Audio Group %d is not loaded\n", Audio_GetName(soundId), sound->audioGroup);
        return -1;
    }
    if (sound->streamed && sound->streamPath == nullptr && sound->fileName) {
        char path[4096];
        if (AudioHost_BundlePath(sound->fileName, path, sizeof path))
            sound->streamPath = Audio_CopyText(path);
    }
    if (sound->streamed && sound->streamPath == nullptr) {
        DebugConsole.Output("COggAudio::PlaySound- could not find audio file for sound %s\n",
                            sound->fileName ? sound->fileName : "");
        return -1;
    }
    OggSyncThread* group = GetGroup(id);
    if (group == nullptr || group->channels == nullptr) return 0;
    if (group->memberCount >= group->capacity) {
        DebugConsole.Output("Too many sounds added to sync group, not adding this one.\n");
        return group->capacity;
    }
    const int32_t member = group->memberCount++;
    std::lock_guard guard(*group->lock);
    SOggChannel* channel = &group->channels[member];
    channel->command = kOggPlay;
    channel->position = 0.0f;
    channel->pendingSound = sound;
    channel->listenerMask = 1;
    channel->active = 1;
    channel->buffersPlayed = 0;
    return member;
}

void Audio_StartSyncGroup(int32_t id) {
    SetCommand(id, &OggSyncThread::playCommand, 1);
}

void Audio_StopSyncGroup(int32_t id) {
    SetCommand(id, &OggSyncThread::stopCommand, 0);
}

void Audio_PauseSyncGroup(int32_t id) {
    SetCommand(id, &OggSyncThread::pauseCommand, -1);
}

void Audio_ResumeSyncGroup(int32_t id) {
    SetCommand(id, &OggSyncThread::resumeCommand, -1);
}

bool Audio_SyncGroupIsPlaying(int32_t id) {
    OggSyncThread* group = EngineOff() ? nullptr : GetGroup(id);
    if (group == nullptr) return false;
    std::lock_guard guard(*group->lock);
    return group->playing != 0;
}

double Audio_GetSyncGroupPosition(int32_t id) {
    OggSyncThread* group = EngineOff() ? nullptr : GetGroup(id);
    if (group == nullptr) return -1.0;
    ALint offset = 0;
    alGetSourcei(group->source, AL_SAMPLE_OFFSET, &offset);
    CAudioSound* sound = group->capacity > 0 ? group->channels[0].pendingSound : nullptr;
    int32_t rate = 44100;
    if (sound) {
        if (sound->sampleRate == 0) COggAudio::FindStreamFile(sound);
        rate = sound->sampleRate;
    }
    if (rate <= 0) return 0.0;
    return static_cast<float>(double(group->positionBase.load() + offset) / rate);
}

void Audio_DestroySyncGroup(int32_t id) {
    if (!EngineOff() && GetGroup(id)) DestroyGroup(id);
}

void Audio_SetSyncGroupDebug(int32_t id) {
    g_debugGroup = id;
    AudioHost_SetDebugViewFlags(id == -1 ? 0 : kDebugGroupView);
}

int32_t Audio_GetSyncGroupDebug() {
    return g_debugGroup;
}

int32_t Audio_SyncGroupCapacity(int32_t id) {
    const OggSyncThread* group = GetGroup(id);
    return group ? group->capacity : 0;
}

uint32_t Audio_SyncGroupSource(int32_t id) {
    const OggSyncThread* group = GetGroup(id);
    return group ? group->source : 0;
}

bool Audio_SyncGroupExists(int32_t id) {
    return GetGroup(id) != nullptr;
}

void AudioSync_Update() {
    for (int32_t i = 0; i < g_groupCapacity; ++i) {
        OggSyncThread* group = g_groups[i];
        if (group == nullptr) continue;
        PrintLog(group, true);
        bool failed;
        {
            std::lock_guard guard(*group->lock);
            failed = group->failed != 0;
        }
        if (failed) DestroyGroup(i);
    }
}

void AudioSync_Shutdown() {
    for (int32_t i = 0; i < g_groupCapacity; ++i)
        if (g_groups[i]) DestroyGroup(i);
    MEM_FREE(g_groups);
    g_groups = nullptr;
    g_groupCapacity = 0;
    g_groupsUsed = 0;
}

void AudioSync_RunPasses() {
    for (int32_t i = 0; i < g_groupCapacity; ++i) {
        OggSyncThread* group = g_groups[i];
        if (group == nullptr || !group->started || group->thread || group->left) continue;
        PassResult result;
        int32_t guard = 0;
        do {
            result = SyncPass(group);
        } while (result == PassResult::kAgain && ++guard < 4);
        if (result == PassResult::kLeave) LeaveLoop(group);
    }
}
