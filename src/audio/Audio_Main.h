// The audio engine: a fixed pool of OpenAL sources, one per channel, and the voices that play
// sounds on them. A voice is one playing instance of a sound, known to game code by a play id
// that is never reused. The engine is one of two sound systems; the game's options choose it
// (otherwise the legacy layer of Sound_Main serves the game), and "-noaudio" silences both.
#pragma once

#include <cstdint>

#include "audio/Audio_Sound.h"

struct CAudioEmitter;

struct CAudioVoice {
    uint8_t loop = 0;
    uint8_t active = 0;
    int32_t stopCountdown = 0;  // 0 none; 1 a soft stop was asked; the tick counts it up
    uint8_t oggDriven = 0;      // an Ogg decoding channel feeds its source
    uint8_t stopping = 0;       // stopped at once; waits for its Ogg channel to finish
    int32_t sourceIndex = -1;   // its place in the voice table, which is also its source's
    int32_t playId = 0;
    int32_t soundId = 0;
    float priority = 1.0f;
    float pitch = 1.0f;
    float gain = 1.0f;
    float fadeStep = 0.0f;
    int32_t fadeTicks = 0;
    int32_t syncGroup = -1;
    int32_t listenerMask = 1;
    CAudioEmitter* emitter = nullptr;
};

// The options chunk chooses the engine before any sound chunk is read.
void Audio_SetEngineEnabled(bool enabled);
bool Audio_UsingNewSystem();
// "-noaudio" (or no output device): every sound operation returns its default at once.
bool Audio_NoAudio();

// Builds the listener and the source pool (the pointer is kept and not used).
void Audio_Init(void* hardware);
// Once per frame: fades, gains, finished Ogg voices and soft stops.
void Audio_Tick();
void Audio_StopAll(bool immediately);
void Audio_Quit();

// The back end of audio_play_sound: a play id; 0 for a sound that does not exist; -1 when the
// engine is off, the sound's group is not loaded or no voice can be had.
int32_t Audio_PlaySimpleSound(int32_t soundId, double priority, int32_t loop);
// A play id softly stops its voice; a sound id every voice of that sound.
void Audio_StopSound(int32_t id);

// Reads and clears the OpenAL error; prints it with the label when one was pending. True
// when there was one.
bool Audio_CheckError(const char* label);

// --- the pool -----------------------------------------------------------------------------

// n sources and the Ogg channels that serve them. False (nothing changed) when OpenAL cannot
// make them.
bool Audio_CreateSources(int32_t n);
// The back end of audio_channel_num: the count raised to at least 2 and to a multiple of 4.
void Audio_SetChannelCount(int32_t n);
int32_t Audio_GetChannelCount();
// The OpenAL source of a channel (0 outside the pool).
uint32_t Audio_GetSource(int32_t index);

CAudioVoice* Audio_AllocVoice(int32_t soundId, float priority);
bool Audio_StartVoice(CAudioSound* sound, CAudioVoice* voice);
void Audio_StopVoice(CAudioVoice* voice, bool immediately);
void Audio_ReleaseVoice(CAudioVoice* voice);
// Takes the buffers a voice's source has finished off it (buffer sounds that a queue played
// are freed with them).
void Audio_UnqueueProcessed(CAudioVoice* voice, int32_t id, bool shutdown);

int32_t Audio_VoiceCount();
CAudioVoice* Audio_GetVoice(int32_t index);
// The active voice with the play id that is not being stopped, or null.
CAudioVoice* Audio_FindVoice(int32_t playId);
// The first voice, active or not and not being stopped, that plays the sound.
CAudioVoice* Audio_FindVoiceBySound(int32_t soundId);
bool Audio_VoiceIsPlaying(const CAudioVoice* voice);
bool Audio_VoiceIsPaused(const CAudioVoice* voice);

// The listener mask new voices get.
int32_t Audio_GetDefaultListenerMask();
void Audio_SetDefaultListenerMask(int32_t mask);
// The next play id, taken (play ids are never reused in a run).
int32_t Audio_TakePlayId();
// The play id the next started voice gets.
int32_t Audio_PeekNextPlayId();
