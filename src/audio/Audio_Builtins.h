// The audio_* built-ins: playing and stopping, gains, pitch, pause, positions, queries, the
// channel count, the listener and emitters, audio groups, buffer sounds, play queues,
// recording, streams and sync groups. Each converts its arguments, calls its back end and
// stores the result; with "-noaudio" each (but audio_stop_recording) returns at once and writes
// no result. The sound registrar adds them, with the legacy sound and CD built-ins, to the
// built-in table in its fixed order.
#pragma once

#include "core/Code_Function.h"

void F_AudioSystem(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioChannelNum(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioPlaySound(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioStopSound(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioStopAll(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioPauseSound(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioResumeSound(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioPauseAll(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioResumeAll(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioIsPlaying(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioIsPaused(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioExists(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGetType(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGetName(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSoundGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSoundGetGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSoundPitch(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSoundGetPitch(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSoundLength(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSoundSetTrackPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                  RValue* args);
void F_AudioSoundGetTrackPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                  RValue* args);
void F_AudioSoundGetListenerMask(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                 RValue* args);
void F_AudioSoundSetListenerMask(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                 RValue* args);
void F_AudioCreateBufferSound(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioFreeBufferSound(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

// The sound registrar: every audio_*, sound_*, cd_* and MCI_command row.
void Audio_RegisterBuiltins();
// The registrar's rows, for checking their order.
int32_t Audio_RegisteredRowCount();
const char* Audio_RegisteredRowName(int32_t i);
