// Steering sounds and voices after they start: gains with timed fades, pitch, pause and
// resume, the play position, listener masks, and the queries. An id at or above the play-id
// base names one voice; any other id names a sound (and, where said, every voice playing it).
#pragma once

#include <cstdint>

struct CAudioVoice;

// The ticks a fade of that many milliseconds takes at the current frame rate (at least 1).
int32_t Audio_FadeTicks(int32_t milliseconds);
// What a voice's source plays at: voice gain × sound gain (× emitter gain).
float Audio_VoiceOutputGain(const CAudioVoice* voice);

void Audio_SoundGain(int32_t id, float gain, int32_t milliseconds);
void Audio_SetVoiceGain(CAudioVoice* voice, float gain, int32_t milliseconds);
double Audio_GetGain(int32_t id);
// The sound's own gain, 1.0 when there is none.
double Audio_SoundGetGainRaw(int32_t soundId);

void Audio_SetPitch(int32_t id, float pitch);
double Audio_GetPitch(int32_t id);

void Audio_PauseVoice(CAudioVoice* voice);
void Audio_ResumeVoice(CAudioVoice* voice);
void Audio_PauseSound(int32_t id);
void Audio_ResumeSound(int32_t id);
void Audio_PauseAll();
void Audio_ResumeAll();

bool Audio_IsPlaying(int32_t id);
bool Audio_IsPaused(int32_t id);
bool Audio_Exists(int32_t id);
// 1 streamed, 0 any other sound, -1 nothing (play ids included).
int32_t Audio_GetType(int32_t id);
const char* Audio_GetName(int32_t id);
int32_t Audio_GetVoiceListenerMask(int32_t id);
void Audio_SetVoiceListenerMask(int32_t id, int32_t mask);

void Audio_SetTrackPosition(int32_t id, double seconds);
double Audio_GetTrackPos(int32_t id);
