#include "audio/Audio_Main.h"

#include <AL/al.h>

#include "audio/AudioHost.h"
#include "audio/AudioMemory.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Emitter.h"
#include "audio/Audio_Group.h"
#include "audio/Audio_Ogg.h"
#include "audio/Audio_Queue.h"
#include "core/Console.h"
#include "core/RunSwitches.h"

namespace {

constexpr int32_t kDefaultChannelCount = 128;
constexpr int32_t kDecodingThreads = 4;
constexpr float kDefaultMaxDistance = 100000.0f;
// Below any priority a game can ask for, so that stealing takes a soft-stopped voice first.
constexpr float kStoppedPriority = -1000000000.0f;

struct AudioEngine {
    bool enabled = false;
    ALuint* sources = nullptr;
    int32_t channelCount = kDefaultChannelCount;
    int32_t voiceLimit = kDefaultChannelCount - 1;
    CAudioVoice** voices = nullptr;
    int32_t voiceCount = 0;
    int32_t voiceCapacity = 0;
    int32_t defaultListenerMask = 1;
    void* hardware = nullptr;
};

AudioEngine g_engine;
// Play ids are never reused in a run, across pool rebuilds and restarts alike.
int32_t g_nextPlayId = kAudioPlayIdBase + 1;

ALint SourceState(ALuint source) {
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state;
}

ALuint VoiceSource(const CAudioVoice* voice) {
    return Audio_GetSource(voice->sourceIndex);
}

CAudioVoice* AppendVoice() {
    if (g_engine.voiceCount == g_engine.voiceCapacity) {
        g_engine.voiceCapacity = g_engine.voiceCapacity ? g_engine.voiceCapacity * 2 : 16;
        g_engine.voices = static_cast<CAudioVoice**>(
            MEM_REALLOC(g_engine.voices, size_t(g_engine.voiceCapacity) * sizeof(CAudioVoice*)));
    }
    CAudioVoice* voice = Audio_New<CAudioVoice>();
    voice->listenerMask = g_engine.defaultListenerMask;
    voice->sourceIndex = g_engine.voiceCount;
    g_engine.voices[g_engine.voiceCount++] = voice;
    return voice;
}

void DeleteVoices() {
    for (int32_t i = 0; i < g_engine.voiceCount; ++i) Audio_Delete(g_engine.voices[i]);
    MEM_FREE(g_engine.voices);
    g_engine.voices = nullptr;
    g_engine.voiceCount = 0;
    g_engine.voiceCapacity = 0;
    for (int32_t i = 0; i < Audio_Queues().count; ++i)
        if (CAudioSound* queue = Audio_Queues().slots[i]) queue->queueVoice = nullptr;
    Audio_ClearEmitterVoices();
}

void DeleteSources() {
    if (g_engine.sources == nullptr) return;
    for (int32_t i = 0; i < g_engine.channelCount; ++i) alSourcei(g_engine.sources[i], AL_BUFFER, 0);
    alDeleteSources(g_engine.channelCount, g_engine.sources);
    MEM_FREE(g_engine.sources);
    g_engine.sources = nullptr;
}

// Gain steps of fades are added in double precision and stored as float, within 0..1.
float StepGain(float gain, float step) {
    double next = double(gain) + double(step);
    if (next < 0.0) next = 0.0;
    if (next > 1.0) next = 1.0;
    return static_cast<float>(next);
}

void FadeSounds(AudioSoundTable& table) {
    for (int32_t i = 0; i < table.count; ++i) {
        CAudioSound* sound = table.slots[i];
        if (sound == nullptr || sound->fadeTicks <= 0) continue;
        sound->gain = StepGain(sound->gain, sound->fadeStep);
        --sound->fadeTicks;
    }
}

void TickVoice(CAudioVoice* voice) {
    if (voice->stopCountdown != 0) {
        ++voice->stopCountdown;
        if (voice->stopCountdown > 2) {
            voice->stopCountdown = 0;
        } else if (voice->stopCountdown == 2) {
            Audio_StopVoice(voice, true);
        }
        return;
    }
    if (voice->fadeTicks > 0) {
        voice->gain = StepGain(voice->gain, voice->fadeStep);
        --voice->fadeTicks;
    }
    if (voice->sourceIndex >= 0) alSourcef(VoiceSource(voice), AL_GAIN, Audio_VoiceOutputGain(voice));
}

void TickQueues() {
    for (int32_t i = 0; i < Audio_Queues().count; ++i) {
        if (Audio_Queues().slots[i] == nullptr) continue;
        const int32_t id = kAudioQueueBase + i;
        CAudioVoice* holder = nullptr;
        for (int32_t v = 0; v < g_engine.voiceCount && holder == nullptr; ++v) {
            CAudioVoice* voice = g_engine.voices[v];
            if (voice->stopCountdown == 0 && voice->soundId == id) holder = voice;
        }
        Audio_UnqueueProcessed(holder, id, false);
    }
}

}  // namespace

// --- flags and errors ----------------------------------------------------------------------

void Audio_SetEngineEnabled(bool enabled) {
    g_engine.enabled = enabled;
}

bool Audio_UsingNewSystem() {
    return g_engine.enabled;
}

bool Audio_NoAudio() {
    return g_Switches.audioOff;
}

bool Audio_CheckError(const char* label) {
    const ALenum error = alGetError();
    if (error == AL_NO_ERROR) return false;
    if (label)
        DebugConsole.Output("OpenAL error: %d (%s)\n", error, label);
    else
        DebugConsole.Output("OpenAL error: %d\n", error);
    return true;
}

// --- start-up and shut-down ----------------------------------------------------------------

void Audio_Init(void* hardware) {
    g_engine.hardware = hardware;
    if (Audio_NoAudio()) {
        g_engine.enabled = false;
        return;
    }
    if (g_engine.enabled) {
        Audio_CreateListener();
        Audio_CreateSources(g_engine.voiceLimit + 1);
        alDistanceModel(AL_INVERSE_DISTANCE);
        Audio_SetListenerPosition(0, 0.0f, 0.0f, 0.0f);
        Audio_SetListenerOrientation(0, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f);
        Audio_ApplyListener();
    }
    Audio_CheckError("Audio_Init");
}

bool Audio_CreateSources(int32_t n) {
    if (n <= 0) return false;
    ALuint* names = static_cast<ALuint*>(MEM_ALLOC(size_t(n) * sizeof(ALuint)));
    alGetError();
    alGenSources(n, names);
    const ALenum error = alGetError();
    if (error != AL_NO_ERROR) {
        DebugConsole.Output("Error creating audio sources %d\n", error);
        MEM_FREE(names);
        return false;
    }
    g_engine.sources = names;
    g_engine.channelCount = n;
    OggAudio().Init(kDecodingThreads, n);
    g_engine.voiceLimit = n;
    Audio_CheckError("Audio_CreateSources");
    return true;
}

void Audio_SetChannelCount(int32_t n) {
    if (!g_engine.enabled || Audio_NoAudio()) return;
    if (n < 2) n = 2;
    n = (n + 3) & ~3;  // every voice needs a slot in one of the four decoding threads
    if (n == g_engine.channelCount && g_engine.sources) return;
    DebugConsole.Output("Audio setting channel count to %d\n", n);
    const int32_t previous = g_engine.channelCount;
    Audio_StopAll(true);
    OggAudio().Shutdown();
    DeleteSources();
    DeleteVoices();
    // When OpenAL cannot give that many sources the pool is rebuilt at its old size.
    if (!Audio_CreateSources(n) && !Audio_CreateSources(previous)) {
        g_engine.channelCount = 0;
        g_engine.voiceLimit = 0;
    }
}

int32_t Audio_GetChannelCount() {
    return g_engine.channelCount;
}

uint32_t Audio_GetSource(int32_t index) {
    if (g_engine.sources == nullptr || index < 0 || index >= g_engine.channelCount) return 0;
    return g_engine.sources[index];
}

void Audio_StopAll(bool immediately) {
    if (!g_engine.enabled) return;
    for (int32_t i = 0; i < g_engine.voiceCount; ++i) Audio_StopVoice(g_engine.voices[i], immediately);
}

void Audio_Quit() {
    if (g_engine.enabled && !Audio_NoAudio()) {
        Audio_StopAll(true);
        OggAudio().Shutdown();
        Audio_FreeRecorders();
        DeleteSources();
    }
    Audio_ClearEmitterVoices();
    CAudioGroupManager::Free();
    Audio_FreeSounds();
    DeleteVoices();
    g_engine.channelCount = kDefaultChannelCount;
    g_engine.voiceLimit = kDefaultChannelCount - 1;
}

// --- voices --------------------------------------------------------------------------------

int32_t Audio_VoiceCount() {
    return g_engine.voiceCount;
}

CAudioVoice* Audio_GetVoice(int32_t index) {
    return index >= 0 && index < g_engine.voiceCount ? g_engine.voices[index] : nullptr;
}

int32_t Audio_GetDefaultListenerMask() {
    return g_engine.defaultListenerMask;
}

void Audio_SetDefaultListenerMask(int32_t mask) {
    g_engine.defaultListenerMask = mask;
}

int32_t Audio_PeekNextPlayId() {
    return g_nextPlayId;
}

int32_t Audio_TakePlayId() {
    return g_nextPlayId++;
}

CAudioVoice* Audio_FindVoice(int32_t playId) {
    for (int32_t i = 0; i < g_engine.voiceCount; ++i) {
        CAudioVoice* voice = g_engine.voices[i];
        if (voice->active && voice->stopCountdown == 0 && voice->playId == playId) return voice;
    }
    return nullptr;
}

CAudioVoice* Audio_FindVoiceBySound(int32_t soundId) {
    for (int32_t i = 0; i < g_engine.voiceCount; ++i) {
        CAudioVoice* voice = g_engine.voices[i];
        if (voice->stopCountdown == 0 && voice->soundId == soundId) return voice;
    }
    return nullptr;
}

bool Audio_VoiceIsPlaying(const CAudioVoice* voice) {
    if (voice == nullptr || !voice->active) return false;
    const CAudioSound* sound = Audio_GetSound(voice->soundId);
    if (sound && sound->OggDriven()) return true;
    const ALint state = SourceState(VoiceSource(voice));
    return state == AL_PLAYING || state == AL_PAUSED;
}

bool Audio_VoiceIsPaused(const CAudioVoice* voice) {
    return voice && voice->active && SourceState(VoiceSource(voice)) == AL_PAUSED;
}

CAudioVoice* Audio_AllocVoice(int32_t soundId, float priority) {
    if (Audio_NoAudio()) return nullptr;
    const CAudioSound* sound = Audio_GetSound(soundId);
    const bool wantOgg = sound && sound->OggDriven();
    if (Audio_IsSoundQueue(soundId))
        if (CAudioVoice* held = Audio_FindVoiceBySound(soundId)) return held;

    for (int32_t i = 0; i < g_engine.voiceCount; ++i) {
        CAudioVoice* voice = g_engine.voices[i];
        const ALuint source = Audio_GetSource(i);
        if (Audio_IsSoundQueue(voice->soundId)) {
            ALint queued = 0;
            alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
            if (queued > 0) continue;
        }
        if (!voice->active) return voice;
        if (!voice->oggDriven) {
            const ALint state = SourceState(source);
            if (state == AL_STOPPED || state == AL_INITIAL) {
                Audio_ReleaseVoice(voice);
                return voice;
            }
        } else if (voice->stopping && wantOgg && voice->stopCountdown == 0) {
            if (voice->emitter) voice->emitter->RemoveVoice(voice);
            return voice;
        }
    }
    if (g_engine.voiceCount < g_engine.voiceLimit) return AppendVoice();

    CAudioVoice* best = nullptr;
    double bestPriority = priority;
    for (int32_t i = 0; i < g_engine.voiceCount; ++i) {
        CAudioVoice* voice = g_engine.voices[i];
        if (bestPriority > double(voice->priority) && (!voice->oggDriven || wantOgg)) {
            best = voice;
            bestPriority = voice->priority;
        }
    }
    if (best) Audio_StopVoice(best, true);
    return best;
}

bool Audio_StartVoice(CAudioSound* sound, CAudioVoice* voice) {
    if (Audio_NoAudio() || sound == nullptr || voice == nullptr) return false;
    const ALuint source = VoiceSource(voice);
    if (sound->isQueue) {
        alSourcePlay(source);
    } else if (sound->OggDriven()) {
        if (sound->streamed && sound->streamPath == nullptr && sound->fileName) {
            char path[4096];
            if (AudioHost_BundlePath(sound->fileName, path, sizeof path))
                sound->streamPath = Audio_CopyText(path);
        }
        if (OggAudio().PlaySound(voice->sourceIndex, sound, voice->loop != 0, sound->startPosition,
                                 voice->listenerMask) == -1)
            return false;
    } else if (sound->HasBuffer()) {
        alSourcei(source, AL_BUFFER, sound->alBuffer);
        if (alGetError() != AL_NO_ERROR) DebugConsole.Output("Error setting sample buffer\n");
        alSourcei(source, AL_LOOPING, voice->loop ? AL_TRUE : AL_FALSE);
        if (sound->startPosition > 0.0f) {
            alSourcef(source, AL_SEC_OFFSET, sound->startPosition);
            Audio_CheckError("set track position offset failed");
        }
        alSourcePlay(source);
    } else {
        return false;
    }
    voice->stopping = 0;
    voice->oggDriven = sound->OggDriven();
    voice->active = 1;
    return true;
}

void Audio_StopVoice(CAudioVoice* voice, bool immediately) {
    if (Audio_NoAudio() || voice == nullptr) return;
    if (!voice->active && !Audio_IsSoundQueue(voice->soundId)) return;
    const ALuint source = VoiceSource(voice);
    if (!immediately) {
        if (voice->stopCountdown != 0) return;
        voice->stopCountdown = 1;
        voice->gain = 0.0f;
        voice->priority = kStoppedPriority;
        alSourcef(source, AL_GAIN, 0.0f);
        return;
    }
    voice->stopping = 1;
    const CAudioSound* sound = Audio_GetSound(voice->soundId);
    if (sound && sound->OggDriven()) {
        OggAudio().StopChannel(voice->sourceIndex);
        return;
    }
    alSourceStop(source);
    const ALenum error = alGetError();
    if (error != AL_NO_ERROR)
        DebugConsole.Output("Error stopping sound %d error code %d\n", voice->soundId, error);
    Audio_ReleaseVoice(voice);
}

void Audio_ReleaseVoice(CAudioVoice* voice) {
    voice->active = 0;
    voice->stopCountdown = 0;
    voice->stopping = 0;
    if (voice->emitter) voice->emitter->RemoveVoice(voice);
    Audio_UnqueueProcessed(voice, voice->soundId, true);
    alSourcei(VoiceSource(voice), AL_BUFFER, 0);
}

// --- playing and stopping ----------------------------------------------------------------

int32_t Audio_PlaySimpleSound(int32_t soundId, double priority, int32_t loop) {
    if (Audio_NoAudio() || !g_engine.enabled) return -1;
    CAudioSound* sound = Audio_GetSound(soundId);
    if (sound == nullptr) {
        DebugConsole.Output("Error: no sound exists for soundid %d\n", soundId);
        return 0;
    }
    if (!CAudioGroupManager::IsLoaded(sound->audioGroup)) {
        DebugConsole.Output("%s: Audio Group %d is not loaded\n", Audio_GetName(soundId), sound->audioGroup);
        return -1;
    }
    CAudioVoice* voice = Audio_AllocVoice(soundId, static_cast<float>(priority));
    if (voice == nullptr) return -1;
    const ALuint source = VoiceSource(voice);
    if (Audio_IsSoundQueue(soundId) && SourceState(source) == AL_PLAYING) return -1;
    const ALenum before = alGetError();
    if (before != AL_NO_ERROR) DebugConsole.Output("Error before playing sample %d\n", before);

    voice->playId = Audio_TakePlayId();
    voice->soundId = soundId;
    voice->gain = 1.0f;
    voice->fadeTicks = 0;
    voice->listenerMask = g_engine.defaultListenerMask;
    voice->loop = loop > 0;
    voice->priority = static_cast<float>(priority);

    alSourcef(source, AL_MAX_DISTANCE, kDefaultMaxDistance);
    alSourcef(source, AL_GAIN, sound->gain);
    alSourcef(source, AL_PITCH, sound->pitch);
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSource3f(source, AL_VELOCITY, 0.0f, 0.0f, 0.0f);

    Audio_StartVoice(sound, voice);
    const ALenum after = alGetError();
    if (after != AL_NO_ERROR) DebugConsole.Output("Error playing simple sound %d\n", after);
    return voice->playId;
}

void Audio_StopSound(int32_t id) {
    if (!g_engine.enabled) return;
    if (id >= kAudioPlayIdBase) {
        Audio_StopVoice(Audio_FindVoice(id), false);
        return;
    }
    for (int32_t i = 0; i < g_engine.voiceCount; ++i) {
        CAudioVoice* voice = g_engine.voices[i];
        if (voice->soundId == id && !voice->stopping) Audio_StopVoice(voice, false);
    }
}

// --- the frame tick -------------------------------------------------------------------------

void Audio_Tick() {
    if (!g_engine.enabled || Audio_NoAudio()) return;
    CAudioGroupManager::Tick();
    Audio_ApplyListener();
    Audio_CheckError("Audio_Tick Start");
    OggAudio().Update();
    FadeSounds(Audio_Assets());
    FadeSounds(Audio_BufferSounds());
    FadeSounds(Audio_Queues());
    const int32_t count = g_engine.voiceCount;
    for (int32_t i = 0; i < count; ++i)
        if (g_engine.voices[i]->active) TickVoice(g_engine.voices[i]);
    Audio_TickEmitters();
    Audio_TickRecorders();
    TickQueues();
    Audio_CheckError("Audio_Tick End");
}
