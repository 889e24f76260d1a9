#include "audio/Audio_Control.h"

#include <AL/al.h>

#include <cmath>

#include "audio/AudioHost.h"
#include "audio/Audio_Emitter.h"
#include "audio/Audio_Main.h"
#include "audio/Audio_Ogg.h"
#include "core/Console.h"

namespace {

constexpr float kMinPitch = 0.0039f;
constexpr float kMaxPitch = 256.0f;
constexpr int32_t kOggBufferBytes = 16384;

bool EngineOff() {
    return Audio_NoAudio() || !Audio_UsingNewSystem();
}

ALuint SourceOf(const CAudioVoice* voice) {
    return Audio_GetSource(voice->sourceIndex);
}

ALint SourceState(const CAudioVoice* voice) {
    ALint state = AL_INITIAL;
    alGetSourcei(SourceOf(voice), AL_SOURCE_STATE, &state);
    return state;
}

float FadeStep(float target, float current, int32_t ticks) {
    return static_cast<float>((double(target) - double(current)) / ticks);
}

// A voice that is playing and not being stopped takes a new gain at once.
void ApplyVoiceGain(CAudioVoice* voice) {
    if (voice->active && voice->stopCountdown == 0 && voice->sourceIndex >= 0)
        alSourcef(SourceOf(voice), AL_GAIN, Audio_VoiceOutputGain(voice));
}

void ApplySoundGain(int32_t soundId) {
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) {
        CAudioVoice* voice = Audio_GetVoice(i);
        if (voice->soundId == soundId) ApplyVoiceGain(voice);
    }
}

// Runs the operation on the voice of a play id, or on every voice of a sound id.
template <typename Operation>
void ForVoicesOf(int32_t id, Operation operation) {
    if (id >= kAudioPlayIdBase) {
        operation(Audio_FindVoice(id));
        return;
    }
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) {
        CAudioVoice* voice = Audio_GetVoice(i);
        if (voice->soundId == id) operation(voice);
    }
}

template <typename Test>
bool AnyVoiceOf(int32_t id, Test test) {
    if (id >= kAudioPlayIdBase) return test(Audio_FindVoice(id));
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) {
        CAudioVoice* voice = Audio_GetVoice(i);
        if (voice->soundId == id && test(voice)) return true;
    }
    return false;
}

double OggTrackPosition(CAudioVoice* voice, CAudioSound* sound) {
    if (voice->stopping) return 0.0;
    if (sound->sampleRate == 0) COggAudio::FindStreamFile(sound);
    ALint sampleOffset = 0;
    alGetSourcei(SourceOf(voice), AL_SAMPLE_OFFSET, &sampleOffset);
    Audio_CheckError("Audio_GetTrackPos");
    const SOggChannel* channel = OggAudio().FindChannel(voice->sourceIndex);
    if (channel == nullptr || sound->sampleRate <= 0) return 0.0;
    const int32_t channels = sound->channels > 0 ? sound->channels : 1;
    const int64_t framesPerBuffer = kOggBufferBytes / (channels * 2);
    const int64_t frames = framesPerBuffer * channel->buffersPlayed.load() + sampleOffset;
    double position = double(frames) / sound->sampleRate + channel->position;
    // A sound of no length has no loop to fold the position into.
    if (sound->length > 0.0f && position > sound->length)
        position = voice->loop ? std::fmod(position, double(sound->length)) : double(sound->length);
    return position;
}

}  // namespace

// --- gains -----------------------------------------------------------------------------------

int32_t Audio_FadeTicks(int32_t milliseconds) {
    int32_t fps = AudioHost_FramesPerSecond();
    if (fps <= 0) fps = 1;
    int32_t frameTime = 1000 / fps;
    if (frameTime <= 0) frameTime = 1;
    const int32_t ticks = milliseconds / frameTime;
    return ticks >= 1 ? ticks : 1;
}

float Audio_VoiceOutputGain(const CAudioVoice* voice) {
    const CAudioSound* sound = Audio_GetSound(voice->soundId);
    const double soundGain = sound ? sound->gain : 1.0;
    double gain = double(voice->gain) * soundGain;
    if (voice->emitter) gain = double(voice->emitter->gain) * gain;
    return static_cast<float>(gain);
}

void Audio_SoundGain(int32_t id, float gain, int32_t milliseconds) {
    if (EngineOff()) return;
    if (gain < 0.0f) gain = 0.0f;
    if (id >= kAudioPlayIdBase) {
        if (CAudioVoice* voice = Audio_FindVoice(id)) Audio_SetVoiceGain(voice, gain, milliseconds);
        return;
    }
    CAudioSound* sound = Audio_GetSound(id);
    if (sound == nullptr) return;
    if (milliseconds != 0) {
        const int32_t ticks = Audio_FadeTicks(milliseconds);
        sound->fadeStep = FadeStep(gain, sound->gain, ticks);
        sound->fadeTicks = ticks;
        return;
    }
    if (gain == sound->gain && sound->fadeTicks <= 0) return;
    sound->gain = gain;
    sound->fadeTicks = 0;
    ApplySoundGain(id);
}

void Audio_SetVoiceGain(CAudioVoice* voice, float gain, int32_t milliseconds) {
    if (voice == nullptr) return;
    if (gain < 0.0f) gain = 0.0f;
    if (milliseconds != 0) {
        const int32_t ticks = Audio_FadeTicks(milliseconds);
        voice->fadeStep = FadeStep(gain, voice->gain, ticks);
        voice->fadeTicks = ticks;
        return;
    }
    if (gain == voice->gain && voice->fadeTicks <= 0) return;
    voice->gain = gain;
    voice->fadeTicks = 0;
    ApplyVoiceGain(voice);
}

double Audio_GetGain(int32_t id) {
    if (EngineOff()) return 0.0;
    if (id >= kAudioPlayIdBase) {
        const CAudioVoice* voice = Audio_FindVoice(id);
        return voice ? voice->gain : 0.0;
    }
    const CAudioSound* sound = Audio_GetSound(id);
    return sound ? sound->gain : 0.0;
}

double Audio_SoundGetGainRaw(int32_t soundId) {
    const CAudioSound* sound = Audio_NoAudio() ? nullptr : Audio_GetSound(soundId);
    return sound ? sound->gain : 1.0;
}

// --- pitch -----------------------------------------------------------------------------------

void Audio_SetPitch(int32_t id, float pitch) {
    if (EngineOff()) return;
    if (!(pitch >= kMinPitch)) pitch = kMinPitch;
    if (pitch > kMaxPitch) pitch = kMaxPitch;
    if (id >= kAudioPlayIdBase) {
        CAudioVoice* voice = Audio_FindVoice(id);
        if (voice == nullptr) return;
        voice->pitch = pitch;
        if (voice->sourceIndex >= 0) alSourcef(SourceOf(voice), AL_PITCH, pitch);
        return;
    }
    if (CAudioSound* sound = Audio_GetSound(id)) sound->pitch = pitch;
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) {
        CAudioVoice* voice = Audio_GetVoice(i);
        if (voice->soundId == id && voice->active && voice->stopCountdown == 0)
            alSourcef(SourceOf(voice), AL_PITCH,
                      voice->emitter ? static_cast<float>(double(pitch) * voice->emitter->pitch) : pitch);
    }
}

double Audio_GetPitch(int32_t id) {
    if (EngineOff()) return 1.0;
    if (id >= kAudioPlayIdBase) {
        const CAudioVoice* voice = Audio_FindVoice(id);
        return voice ? voice->pitch : 1.0;
    }
    const CAudioSound* sound = Audio_GetSound(id);
    return sound ? sound->pitch : 1.0;
}

// --- pause and resume ---------------------------------------------------------------------

void Audio_PauseVoice(CAudioVoice* voice) {
    if (Audio_NoAudio() || voice == nullptr || !voice->active) return;
    const CAudioSound* sound = Audio_GetSound(voice->soundId);
    if (sound == nullptr) return;
    if (sound->OggDriven()) {
        OggAudio().PauseChannel(voice->sourceIndex);
        return;
    }
    if (SourceState(voice) != AL_PLAYING) return;
    alSourcePause(SourceOf(voice));
    const ALenum error = alGetError();
    if (error != AL_NO_ERROR)
        DebugConsole.Output("Error pausing sound %d error code %d\n", voice->soundId, error);
}

void Audio_ResumeVoice(CAudioVoice* voice) {
    if (Audio_NoAudio() || voice == nullptr || !voice->active) return;
    const CAudioSound* sound = Audio_GetSound(voice->soundId);
    if (sound == nullptr) return;
    if (sound->OggDriven()) {
        OggAudio().ResumeChannel(voice->sourceIndex);
        return;
    }
    if (SourceState(voice) != AL_PAUSED) return;
    alSourcePlay(SourceOf(voice));
    const ALenum error = alGetError();
    if (error != AL_NO_ERROR)
        DebugConsole.Output("Error resuming sound %d error code %d\n", voice->soundId, error);
}

void Audio_PauseSound(int32_t id) {
    if (EngineOff()) return;
    ForVoicesOf(id, Audio_PauseVoice);
}

void Audio_ResumeSound(int32_t id) {
    if (EngineOff()) return;
    ForVoicesOf(id, Audio_ResumeVoice);
}

void Audio_PauseAll() {
    if (EngineOff()) return;
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) Audio_PauseVoice(Audio_GetVoice(i));
}

void Audio_ResumeAll() {
    if (EngineOff()) return;
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) Audio_ResumeVoice(Audio_GetVoice(i));
}

// --- queries ---------------------------------------------------------------------------------

bool Audio_IsPlaying(int32_t id) {
    if (EngineOff()) return false;
    return AnyVoiceOf(id, Audio_VoiceIsPlaying);
}

bool Audio_IsPaused(int32_t id) {
    if (EngineOff()) return false;
    return AnyVoiceOf(id, Audio_VoiceIsPaused);
}

bool Audio_Exists(int32_t id) {
    if (EngineOff()) return false;
    if (id >= kAudioPlayIdBase) return Audio_VoiceIsPlaying(Audio_FindVoice(id));
    return Audio_Assets().Get(id) != nullptr;
}

int32_t Audio_GetType(int32_t id) {
    if (EngineOff() || id >= kAudioPlayIdBase) return -1;
    const CAudioSound* sound = Audio_GetSound(id);
    if (sound == nullptr) return -1;
    return sound->streamed ? 1 : 0;
}

const char* Audio_GetName(int32_t id) {
    if (!Audio_UsingNewSystem()) return "<undefined>";
    if (id >= kAudioPlayIdBase) {
        const CAudioVoice* voice = Audio_FindVoice(id);
        id = voice ? voice->soundId : -1;
    }
    if (id < 0 || id >= Audio_GetAssetCount()) return "<undefined>";
    const char* name = Audio_GetAssetName(id);
    return name ? name : "";
}

int32_t Audio_GetVoiceListenerMask(int32_t id) {
    if (EngineOff() || id < kAudioPlayIdBase) return 1;
    const CAudioVoice* voice = Audio_FindVoice(id);
    return voice ? voice->listenerMask : 1;
}

void Audio_SetVoiceListenerMask(int32_t id, int32_t mask) {
    if (EngineOff() || id < kAudioPlayIdBase) return;
    if (CAudioVoice* voice = Audio_FindVoice(id)) voice->listenerMask = mask;
}

// --- position --------------------------------------------------------------------------------

void Audio_SetTrackPosition(int32_t id, double seconds) {
    if (EngineOff()) return;
    if (seconds < 0.0) seconds = 0.0;
    if (id < kAudioPlayIdBase) {
        if (Audio_IsSoundQueue(id)) {
            DebugConsole.Output("Error: audio_sound_set_track_position not supported on sound queues.\n");
            return;
        }
        CAudioSound* sound = Audio_GetSound(id);
        if (sound == nullptr) return;
        const double length = Audio_SoundLength(id);
        if (seconds < length) sound->startPosition = static_cast<float>(seconds);
        return;
    }
    CAudioVoice* voice = Audio_FindVoice(id);
    if (voice == nullptr) return;
    const CAudioSound* sound = Audio_GetSound(voice->soundId);
    if (sound && sound->OggDriven()) {
        OggAudio().SetChannelPosition(voice->sourceIndex, static_cast<float>(seconds));
    } else if (Audio_VoiceIsPlaying(voice)) {
        alSourcef(SourceOf(voice), AL_SEC_OFFSET, static_cast<float>(seconds));
        Audio_CheckError("Set track position failed");
    }
}

double Audio_GetTrackPos(int32_t id) {
    if (EngineOff()) return 0.0;
    CAudioVoice* voice = nullptr;
    if (id >= kAudioPlayIdBase) {
        voice = Audio_FindVoice(id);
    } else if (Audio_IsSoundQueue(id)) {
        voice = Audio_FindVoiceBySound(id);
    } else if (id >= 0) {
        const CAudioSound* sound = Audio_GetSound(id);
        return sound ? sound->startPosition : 0.0;
    }
    CAudioSound* sound = voice ? Audio_GetSound(voice->soundId) : nullptr;
    if (sound == nullptr) return 0.0;
    if (sound->OggDriven()) return OggTrackPosition(voice, sound);
    ALfloat seconds = 0.0f;
    alGetSourcef(SourceOf(voice), AL_SEC_OFFSET, &seconds);
    return seconds;
}
