// Positional sound: the one listener, emitters (sources of sound with a position, a velocity,
// falloff distances and their own gain, pitch and listener mask, to which voices attach) and
// the distance model. The engine tick applies the listener, moves attached voices with their
// emitter and multiplies their gain by the emitter's.
#pragma once

#include <cstdint>

struct CAudioVoice;

struct CAudioListener {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float velocity[3] = {0.0f, 0.0f, 0.0f};
    // Look-at vector then up vector, as AL_ORIENTATION takes them.
    float orientation[6] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f};
    float gain = 1.0f;

    void SetGain(float value);
    // Pushes position, velocity and orientation to OpenAL (only while a context is current).
    void Apply();
};

struct CAudioEmitter {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float velocity[3] = {0.0f, 0.0f, 0.0f};
    uint8_t active = 0;
    float referenceDistance = 100.0f;
    float maxDistance = 100000.0f;
    float falloffFactor = 1.0f;
    float gain = 1.0f;
    float pitch = 1.0f;
    int32_t listenerMask = 1;
    CAudioVoice** voices = nullptr;  // empty slots allowed
    int32_t voiceCount = 0;

    CAudioEmitter();
    ~CAudioEmitter();
    CAudioEmitter(const CAudioEmitter&) = delete;
    CAudioEmitter& operator=(const CAudioEmitter&) = delete;

    // Back to the defaults, inactive, with no voices.
    void Reset();
    void AddVoice(CAudioVoice* voice);
    void RemoveVoice(CAudioVoice* voice);
    // Forgets every voice (the pool was rebuilt or the engine stops).
    void ClearVoices();
};

// --- the listener ------------------------------------------------------------------------

// Makes the listener if there is none (Audio_Init).
void Audio_CreateListener();
CAudioListener* Audio_GetListener();
// Every listener operation takes an index; only 0 names the listener.
void Audio_SetListenerPosition(int32_t index, float x, float y, float z);
void Audio_SetListenerVelocity(int32_t index, float x, float y, float z);
void Audio_SetListenerOrientation(int32_t index, float lx, float ly, float lz, float ux, float uy, float uz);
// A new ds_map of the listener's vectors; -1 for another index or without a listener.
int32_t Audio_GetListenerData(int32_t index);
void Audio_SetMasterGain(int32_t index, double gain);
double Audio_GetMasterGain(int32_t index);
int32_t Audio_GetListenerCount();
int32_t Audio_GetListenerInfo(int32_t index);
int32_t Audio_GetListenerMask();
void Audio_SetListenerMask(int32_t mask);

// audio_falloff_set_model: 0 none, 1 inverse, 2 inverse clamped, 3 linear, 4 linear clamped,
// 5 exponent, 6 exponent clamped.
void Audio_SetFalloffModel(int32_t model);

// --- emitters -----------------------------------------------------------------------------

int32_t Audio_CreateEmitter();
void Audio_FreeEmitter(int32_t id);
bool Audio_EmitterExists(int32_t id);
// The emitter in the slot (active or not), or null.
CAudioEmitter* Audio_GetEmitter(int32_t id);
int32_t Audio_EmitterTableSize();
void Audio_SetEmitterPosition(int32_t id, float x, float y, float z);
void Audio_SetEmitterVelocity(int32_t id, float x, float y, float z);
// Three components; (0, 0, 0) for an invalid id.
void Audio_GetEmitterPosition(int32_t id, float out[3]);
void Audio_GetEmitterVelocity(int32_t id, float out[3]);
void Audio_SetEmitterGain(int32_t id, float gain);
double Audio_GetEmitterGain(int32_t id);
void Audio_SetEmitterPitch(int32_t id, float pitch);
double Audio_GetEmitterPitch(int32_t id);
void Audio_SetEmitterFalloff(int32_t id, float reference, float maximum, float factor);
int32_t Audio_GetEmitterListenerMask(int32_t id);
void Audio_SetEmitterListenerMask(int32_t id, int32_t mask);

// audio_play_sound_on: a play id; 0 for a sound that does not exist or is not loaded; -1 for
// an inactive emitter, no voice, or the engine off.
int32_t Audio_PlaySound(int32_t emitter, int32_t soundId, int32_t loop, double priority);
// audio_play_sound_at: plays at a point with its own falloff.
int32_t Audio_PlaySoundAt(int32_t soundId, float x, float y, float z, float reference, float maximum,
                          float factor, int32_t loop, double priority);

// --- the engine's side --------------------------------------------------------------------

// Tick: the listener step, then (after the voices) the emitter step.
void Audio_ApplyListener();
void Audio_TickEmitters();
// Every emitter forgets its voices (pool rebuilt, engine shut down).
void Audio_ClearEmitterVoices();
// Frees the emitter table and the listener (the process ends or tests start over).
void Audio_FreeEmitters();
