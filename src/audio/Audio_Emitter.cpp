#include "audio/Audio_Emitter.h"

#include <AL/al.h>
#include <AL/alc.h>

#include "audio/AudioHost.h"
#include "audio/AudioMemory.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Group.h"
#include "audio/Audio_Main.h"
#include "core/Console.h"
#include "core/ResourceTable.h"

namespace {

constexpr int32_t kEmitterGrowth = 8;

CAudioListener* g_listener = nullptr;
ResourceTable<CAudioEmitter> g_emitters;

bool EngineOff() {
    return Audio_NoAudio() || !Audio_UsingNewSystem();
}

CAudioEmitter* ActiveEmitter(int32_t id) {
    CAudioEmitter* emitter = Audio_GetEmitter(id);
    return emitter && emitter->active ? emitter : nullptr;
}

void SetVector(float* out, float x, float y, float z) {
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void GrowEmitters() {
    const int32_t count = g_emitters.count + kEmitterGrowth;
    g_emitters.slots =
        static_cast<CAudioEmitter**>(MEM_REALLOC(g_emitters.slots, size_t(count) * sizeof(CAudioEmitter*)));
    for (int32_t i = g_emitters.count; i < count; ++i) g_emitters.slots[i] = nullptr;
    g_emitters.count = count;
}

// The source of a voice that is playing, not being stopped and has one; 0 otherwise.
ALuint LiveSource(const CAudioVoice* voice) {
    if (voice == nullptr || !voice->active || voice->stopCountdown != 0 || voice->sourceIndex < 0) return 0;
    return Audio_GetSource(voice->sourceIndex);
}

// A sound that can be played now: 0 when it does not exist or its group is not loaded (with
// the message), else 1 and the record in out.
bool PlayableSound(int32_t soundId, CAudioSound** out) {
    CAudioSound* sound = Audio_GetSound(soundId);
    if (sound == nullptr) {
        DebugConsole.Output("Error: no sound exists for soundid %d\n", soundId);
        return false;
    }
    if (!CAudioGroupManager::IsLoaded(sound->audioGroup)) {
        DebugConsole.Output("%s: Audio Group %d is not loaded\n", Audio_GetName(soundId), sound->audioGroup);
        return false;
    }
    *out = sound;
    return true;
}

void PrepareVoice(CAudioVoice* voice, int32_t soundId, int32_t loop, double priority) {
    voice->playId = Audio_TakePlayId();
    voice->soundId = soundId;
    voice->loop = loop > 0;
    voice->priority = static_cast<float>(priority);
    voice->gain = 1.0f;
    voice->fadeTicks = 0;
}

void ReportPending(const char* format) {
    const ALenum error = alGetError();
    if (error != AL_NO_ERROR) DebugConsole.Output(format, error);
}

void ReportPendingPlain(const char* text) {
    if (alGetError() != AL_NO_ERROR) DebugConsole.Output("%s", text);
}

}  // namespace

// --- listener ---------------------------------------------------------------------------------

void CAudioListener::SetGain(float value) {
    gain = value;
    alListenerf(AL_GAIN, gain);
}

void CAudioListener::Apply() {
    if (alcGetCurrentContext() == nullptr) return;
    alListenerfv(AL_POSITION, position);
    if (ALenum error = alGetError(); error != AL_NO_ERROR)
        DebugConsole.Output("Error setting listener position %d\n", error);
    alListenerfv(AL_VELOCITY, velocity);
    if (ALenum error = alGetError(); error != AL_NO_ERROR)
        DebugConsole.Output("Error setting listener velocity %d\n", error);
    alListenerfv(AL_ORIENTATION, orientation);
    if (ALenum error = alGetError(); error != AL_NO_ERROR)
        DebugConsole.Output("Error setting listener orientation %d\n", error);
}

void Audio_CreateListener() {
    if (g_listener == nullptr) g_listener = Audio_New<CAudioListener>();
}

CAudioListener* Audio_GetListener() {
    return g_listener;
}

void Audio_SetListenerPosition(int32_t index, float x, float y, float z) {
    if (index == 0 && g_listener) SetVector(g_listener->position, x, y, z);
}

void Audio_SetListenerVelocity(int32_t index, float x, float y, float z) {
    if (index == 0 && g_listener) SetVector(g_listener->velocity, x, y, z);
}

void Audio_SetListenerOrientation(int32_t index, float lx, float ly, float lz, float ux, float uy, float uz) {
    if (index != 0 || g_listener == nullptr) return;
    SetVector(g_listener->orientation, lx, ly, lz);
    SetVector(g_listener->orientation + 3, ux, uy, uz);
}

int32_t Audio_GetListenerData(int32_t index) {
    if (index != 0 || g_listener == nullptr) return -1;
    const CAudioListener& l = *g_listener;
    const AudioMapPair pairs[] = {
        {"x", l.position[0], nullptr},           {"y", l.position[1], nullptr},
        {"z", l.position[2], nullptr},           {"vx", l.velocity[0], nullptr},
        {"vy", l.velocity[1], nullptr},          {"vz", l.velocity[2], nullptr},
        {"lookat_x", l.orientation[0], nullptr}, {"lookat_y", l.orientation[1], nullptr},
        {"lookat_z", l.orientation[2], nullptr}, {"up_x", l.orientation[3], nullptr},
        {"up_y", l.orientation[4], nullptr},     {"up_z", l.orientation[5], nullptr},
    };
    return AudioHost_CreateMap(pairs, 12);
}

void Audio_SetMasterGain(int32_t index, double gain) {
    if (EngineOff() || index != 0 || g_listener == nullptr) return;
    g_listener->SetGain(gain < 0.0 ? 0.0f : static_cast<float>(gain));
}

double Audio_GetMasterGain(int32_t index) {
    return index == 0 && g_listener ? g_listener->gain : 0.0;
}

int32_t Audio_GetListenerCount() {
    return 1;
}

int32_t Audio_GetListenerInfo(int32_t index) {
    if (index != 0) return -1;
    const AudioMapPair pairs[] = {{"name", 0.0, "default"}, {"mask", 1.0, nullptr}, {"index", 0.0, nullptr}};
    return AudioHost_CreateMap(pairs, 3);
}

int32_t Audio_GetListenerMask() {
    return Audio_GetDefaultListenerMask();
}

void Audio_SetListenerMask(int32_t mask) {
    Audio_SetDefaultListenerMask(mask);
}

void Audio_SetFalloffModel(int32_t model) {
    static const ALenum kModels[] = {AL_NONE,
                                     AL_INVERSE_DISTANCE,
                                     AL_INVERSE_DISTANCE_CLAMPED,
                                     AL_LINEAR_DISTANCE,
                                     AL_LINEAR_DISTANCE_CLAMPED,
                                     AL_EXPONENT_DISTANCE,
                                     AL_EXPONENT_DISTANCE_CLAMPED};
    if (model < 0 || model > 6) {
        DebugConsole.Output("Attempting to set audio falloff to unknown model\n");
        return;
    }
    if (Audio_NoAudio()) return;
    alDistanceModel(kModels[model]);
}

// --- emitter records ---------------------------------------------------------------------------

CAudioEmitter::CAudioEmitter() {
    Reset();
}

CAudioEmitter::~CAudioEmitter() {
    ClearVoices();
}

void CAudioEmitter::Reset() {
    SetVector(position, 0.0f, 0.0f, 0.0f);
    SetVector(velocity, 0.0f, 0.0f, 0.0f);
    active = 0;
    referenceDistance = 100.0f;
    maxDistance = 100000.0f;
    falloffFactor = 1.0f;
    gain = 1.0f;
    pitch = 1.0f;
    listenerMask = Audio_GetDefaultListenerMask();
    ClearVoices();
}

void CAudioEmitter::AddVoice(CAudioVoice* voice) {
    voice->emitter = this;
    voice->listenerMask = listenerMask;
    for (int32_t i = 0; i < voiceCount; ++i) {
        if (voices[i] == nullptr || voices[i] == voice || !voices[i]->active) {
            voices[i] = voice;
            return;
        }
    }
    voices = static_cast<CAudioVoice**>(MEM_REALLOC(voices, size_t(voiceCount + 1) * sizeof(CAudioVoice*)));
    voices[voiceCount++] = voice;
}

void CAudioEmitter::RemoveVoice(CAudioVoice* voice) {
    for (int32_t i = 0; i < voiceCount; ++i)
        if (voices[i] == voice) voices[i] = nullptr;
    if (voice->emitter == this) voice->emitter = nullptr;
}

void CAudioEmitter::ClearVoices() {
    MEM_FREE(voices);
    voices = nullptr;
    voiceCount = 0;
}

// --- the emitter table -----------------------------------------------------------------------

CAudioEmitter* Audio_GetEmitter(int32_t id) {
    return g_emitters.Get(id);
}

int32_t Audio_EmitterTableSize() {
    return g_emitters.count;
}

int32_t Audio_CreateEmitter() {
    if (EngineOff()) return -1;
    int32_t slot = 0;
    for (; slot < g_emitters.count; ++slot) {
        if (g_emitters.slots[slot] == nullptr) g_emitters.slots[slot] = Audio_New<CAudioEmitter>();
        // A freed emitter comes back with the settings it had.
        if (!g_emitters.slots[slot]->active) break;
    }
    if (slot == g_emitters.count) {
        GrowEmitters();
        g_emitters.slots[slot] = Audio_New<CAudioEmitter>();
    }
    g_emitters.slots[slot]->active = 1;
    return slot;
}

void Audio_FreeEmitter(int32_t id) {
    if (EngineOff()) return;
    CAudioEmitter* emitter = Audio_GetEmitter(id);
    if (emitter == nullptr) return;
    for (int32_t i = 0; i < emitter->voiceCount; ++i) {
        CAudioVoice* voice = emitter->voices[i];
        if (LiveSource(voice) != 0) Audio_StopSound(voice->playId);
    }
    emitter->active = 0;
}

bool Audio_EmitterExists(int32_t id) {
    return !EngineOff() && ActiveEmitter(id) != nullptr;
}

void Audio_SetEmitterPosition(int32_t id, float x, float y, float z) {
    if (CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id))
        SetVector(emitter->position, x, y, z);
}

void Audio_SetEmitterVelocity(int32_t id, float x, float y, float z) {
    if (CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id))
        SetVector(emitter->velocity, x, y, z);
}

void Audio_GetEmitterPosition(int32_t id, float out[3]) {
    const CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id);
    for (int i = 0; i < 3; ++i) out[i] = emitter ? emitter->position[i] : 0.0f;
}

void Audio_GetEmitterVelocity(int32_t id, float out[3]) {
    const CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id);
    for (int i = 0; i < 3; ++i) out[i] = emitter ? emitter->velocity[i] : 0.0f;
}

void Audio_SetEmitterGain(int32_t id, float gain) {
    CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id);
    if (emitter && gain >= 0.0f) emitter->gain = gain;
}

double Audio_GetEmitterGain(int32_t id) {
    const CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id);
    return emitter ? emitter->gain : 0.0;
}

void Audio_SetEmitterPitch(int32_t id, float pitch) {
    CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id);
    if (emitter == nullptr || pitch < 0.0f) return;
    emitter->pitch = pitch;
    for (int32_t i = 0; i < emitter->voiceCount; ++i) {
        CAudioVoice* voice = emitter->voices[i];
        const ALuint source = LiveSource(voice);
        const CAudioSound* sound = source ? Audio_GetSound(voice->soundId) : nullptr;
        if (sound) alSourcef(source, AL_PITCH, static_cast<float>(double(sound->pitch) * pitch));
    }
}

double Audio_GetEmitterPitch(int32_t id) {
    const CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id);
    return emitter ? emitter->pitch : 1.0;
}

void Audio_SetEmitterFalloff(int32_t id, float reference, float maximum, float factor) {
    CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id);
    if (emitter == nullptr) return;
    emitter->referenceDistance = reference;
    emitter->maxDistance = maximum;
    emitter->falloffFactor = factor;
    for (int32_t i = 0; i < emitter->voiceCount; ++i) {
        const CAudioVoice* voice = emitter->voices[i];
        if (!Audio_VoiceIsPlaying(voice)) continue;
        const ALuint source = Audio_GetSource(voice->sourceIndex);
        alSourcef(source, AL_MAX_DISTANCE, maximum);
        alSourcef(source, AL_REFERENCE_DISTANCE, reference);
        alSourcef(source, AL_ROLLOFF_FACTOR, factor);
        ReportPendingPlain("Error updating emitter\n");
    }
}

int32_t Audio_GetEmitterListenerMask(int32_t id) {
    const CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id);
    return emitter ? emitter->listenerMask : 1;
}

void Audio_SetEmitterListenerMask(int32_t id, int32_t mask) {
    if (CAudioEmitter* emitter = EngineOff() ? nullptr : Audio_GetEmitter(id)) emitter->listenerMask = mask;
}

// --- positional play ------------------------------------------------------------------------

int32_t Audio_PlaySound(int32_t emitterId, int32_t soundId, int32_t loop, double priority) {
    if (EngineOff()) return -1;
    ReportPending("Error prior to playing sample 2 %d\n");
    CAudioEmitter* emitter = ActiveEmitter(emitterId);
    if (emitter == nullptr) {
        DebugConsole.Output("Audio_PlaySound Attempting to play sound on inactive emitter %d\n", emitterId);
        return -1;
    }
    CAudioSound* sound = nullptr;
    if (!PlayableSound(soundId, &sound)) return 0;
    CAudioVoice* voice = Audio_AllocVoice(soundId, static_cast<float>(priority));
    if (voice == nullptr) return -1;
    PrepareVoice(voice, soundId, loop, priority);
    emitter->AddVoice(voice);
    ReportPending("Error prior to playing sample %d\n");

    const ALuint source = Audio_GetSource(voice->sourceIndex);
    alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
    alSourcef(source, AL_MAX_DISTANCE, emitter->maxDistance);
    alSourcef(source, AL_GAIN, static_cast<float>(double(sound->gain) * emitter->gain));
    alSourcef(source, AL_PITCH, static_cast<float>(double(emitter->pitch) * sound->pitch));
    alSourcef(source, AL_REFERENCE_DISTANCE, emitter->referenceDistance);
    alSourcef(source, AL_ROLLOFF_FACTOR, emitter->falloffFactor);
    alSourcefv(source, AL_POSITION, emitter->position);
    alSourcefv(source, AL_VELOCITY, emitter->velocity);
    Audio_StartVoice(sound, voice);
    ReportPending("Error playing sample %d\n");
    return voice->playId;
}

int32_t Audio_PlaySoundAt(int32_t soundId, float x, float y, float z, float reference, float maximum,
                          float factor, int32_t loop, double priority) {
    if (EngineOff()) return -1;
    CAudioSound* sound = nullptr;
    if (!PlayableSound(soundId, &sound)) return 0;
    CAudioVoice* voice = Audio_AllocVoice(soundId, static_cast<float>(priority));
    if (voice == nullptr) return -1;
    PrepareVoice(voice, soundId, loop, priority);

    ReportPendingPlain("Error prior to playing sample\n");
    const ALuint source = Audio_GetSource(voice->sourceIndex);
    alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
    alSourcef(source, AL_GAIN, sound->gain);
    alSourcef(source, AL_PITCH, sound->pitch);
    ReportPendingPlain("Error setting sample buffer\n");
    alSourcef(source, AL_MAX_DISTANCE, maximum);
    ReportPendingPlain("Error playing sample\n");
    alSourcef(source, AL_REFERENCE_DISTANCE, reference);
    alSourcef(source, AL_ROLLOFF_FACTOR, factor);
    alSource3f(source, AL_POSITION, x, y, z);
    alSource3f(source, AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    ReportPendingPlain("Error updating sample position\n");
    Audio_StartVoice(sound, voice);
    return voice->playId;
}

// --- the tick ------------------------------------------------------------------------------------

void Audio_ApplyListener() {
    if (g_listener) g_listener->Apply();
}

void Audio_TickEmitters() {
    for (int32_t e = 0; e < g_emitters.count; ++e) {
        CAudioEmitter* emitter = g_emitters.slots[e];
        if (emitter == nullptr || !emitter->active) continue;
        const int32_t count = emitter->voiceCount;
        for (int32_t i = 0; i < count; ++i) {
            CAudioVoice* voice = emitter->voices[i];
            if (voice == nullptr) continue;
            if (voice->active && Audio_VoiceIsPlaying(voice)) {
                const ALuint source = Audio_GetSource(voice->sourceIndex);
                alSourcefv(source, AL_POSITION, emitter->position);
                alSourcefv(source, AL_VELOCITY, emitter->velocity);
                ReportPendingPlain("Error updating emitter\n");
                continue;
            }
            voice->active = 0;
            voice->stopCountdown = 0;
            voice->stopping = 0;
            voice->emitter = nullptr;
            emitter->voices[i] = nullptr;
        }
    }
}

void Audio_ClearEmitterVoices() {
    for (int32_t e = 0; e < g_emitters.count; ++e)
        if (g_emitters.slots[e]) g_emitters.slots[e]->ClearVoices();
}

void Audio_FreeEmitters() {
    for (int32_t e = 0; e < g_emitters.count; ++e) Audio_Delete(g_emitters.slots[e]);
    MEM_FREE(g_emitters.slots);
    g_emitters.slots = nullptr;
    g_emitters.count = 0;
    Audio_Delete(g_listener);
    g_listener = nullptr;
}
