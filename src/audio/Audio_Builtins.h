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

void F_AudioListenerPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioListenerVelocity(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioListenerOrientation(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                RValue* args);
void F_AudioListenerSetPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                RValue* args);
void F_AudioListenerSetVelocity(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                RValue* args);
void F_AudioListenerSetOrientation(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                   RValue* args);
void F_AudioListenerGetData(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioMasterGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSetMasterGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGetMasterGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGetListenerCount(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGetListenerMask(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSetListenerMask(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioFalloffSetModel(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioDebug(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterCreate(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterFree(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterExists(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterVelocity(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterPitch(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterFalloff(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetPitch(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetX(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetY(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetZ(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetVX(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetVY(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetVZ(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioEmitterGetListenerMask(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                   RValue* args);
void F_AudioEmitterSetListenerMask(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                   RValue* args);
void F_AudioPlaySoundOn(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioPlaySoundAt(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGroupLoad(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGroupUnload(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGroupIsLoaded(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGroupLoadProgress(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGroupName(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGroupStopAll(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGroupSetGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioCreatePlayQueue(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioQueueSound(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioStartRecording(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioStopRecording(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGetRecorderCount(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGetRecorderInfo(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioCreateStream(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioDestroyStream(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioCreateSyncGroup(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioDestroySyncGroup(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioPlayInSyncGroup(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioStartSyncGroup(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioStopSyncGroup(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioPauseSyncGroup(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioResumeSyncGroup(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSyncGroupDebug(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioSyncGroupGetTrackPos(RValue& result, CInstance* self, CInstance* other, int32_t argc,
                                 RValue* args);
void F_AudioSyncGroupIsPlaying(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioPlayMusic(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioStopMusic(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioPauseMusic(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioResumeMusic(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioMusicGain(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioMusicIsPlaying(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioGetListenerInfo(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_AudioFreePlayQueue(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

// The sound registrar: every audio_*, sound_*, cd_* and MCI_command row.
void Audio_RegisterBuiltins();
// The registrar's rows, for checking their order.
int32_t Audio_RegisteredRowCount();
const char* Audio_RegisteredRowName(int32_t i);
