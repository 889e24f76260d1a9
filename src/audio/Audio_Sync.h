// Sync groups: several compressed or streamed sounds played in lock-step. Each group has a
// thread of its own that decodes one block of every member, mixes the blocks (each member at
// its own gain) into one 16-bit buffer and plays the mix on a source of its own, outside the
// voice pool. Members are added, then the group is started, paused, resumed and stopped whole.
#pragma once

#include <cstdint>

// audio_create_sync_group: the group's id (its slot, reused once destroyed).
int32_t Audio_CreateSyncGroup(bool looping);
// audio_play_in_sync_group: the member index; the group's capacity when it is full; 0 for an
// unknown group; -1 for a sound that cannot join.
int32_t Audio_PlayInSyncGroup(int32_t group, int32_t soundId);
void Audio_StartSyncGroup(int32_t group);
void Audio_StopSyncGroup(int32_t group);
void Audio_PauseSyncGroup(int32_t group);
void Audio_ResumeSyncGroup(int32_t group);
bool Audio_SyncGroupIsPlaying(int32_t group);
// Seconds into the mix; -1 for an unknown group.
double Audio_GetSyncGroupPosition(int32_t group);
void Audio_DestroySyncGroup(int32_t group);
// audio_sync_group_debug: the group shown on the debug overlay (-1: none).
void Audio_SetSyncGroupDebug(int32_t group);
int32_t Audio_GetSyncGroupDebug();

// Members a group takes: the channel count divided among the decoding threads.
int32_t Audio_SyncGroupCapacity(int32_t group);
// The group source's OpenAL name (0 for an unknown group).
uint32_t Audio_SyncGroupSource(int32_t group);
bool Audio_SyncGroupExists(int32_t group);

// Adds a member's 16-bit samples into the mix with a gain ramp from g0 to g1 over the block,
// each sum clamped to -32767..32767.
void OggSync_Mix(int16_t* mix, const int16_t* samples, int32_t bytes, float g0, float g1);

// The decoding manager's side: once per tick prints the groups' logs and removes failed
// groups; at shut-down stops and frees them all; while passes are stepped by hand, one pass
// of each group.
void AudioSync_Update();
void AudioSync_Shutdown();
void AudioSync_RunPasses();
