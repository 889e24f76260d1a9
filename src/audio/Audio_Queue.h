// Three ways for game code to feed the engine at run time: play queues (binary buffers played
// one after another on one voice, each reported when played, Other event 74), recording
// (16-bit mono captured into binary buffers, Other event 73) and streams (Ogg Vorbis files of
// the save area or the bundle, decoded while they play).
#pragma once

#include <cstdint>

// audio_create_play_queue: format 1 (u8) or 4 (s16), layout mono, stereo or 3-D; -1 refused.
int32_t Audio_CreatePlayQueue(int32_t format, int32_t rate, int32_t channelLayout);
// audio_queue_sound: queues the buffer's bytes (not playing them); the queue voice's play id
// or -1.
int32_t Audio_QueueBufferSound(int32_t queueId, int32_t bufferId, int32_t offset, int32_t length);
// audio_free_play_queue: reports every buffer still queued, then frees the queue; 1 or 0.
int32_t Audio_FreePlayQueue(int32_t queueId);

// audio_get_recorder_count: rebuilds the capture-device list and counts it.
int32_t Audio_GetRecorderCount();
// A ds_map describing the device, or -1.
int32_t Audio_GetRecorderInfo(int32_t device);
// The recorder index, or -1.
int32_t Audio_StartRecording(int32_t device);
// 0, or -1 when that recorder is not recording.
int32_t Audio_StopRecording(int32_t recorder);
// The capture step of the tick: a buffer of samples for each recorder holding more than a
// tenth of a second.
void Audio_TickRecorders();
// Stops every recorder and forgets the device list (engine shut-down).
void Audio_FreeRecorders();

// audio_create_stream: 300000 + slot, or -1 when the file is in neither the save area nor the
// bundle.
int32_t Audio_CreateStream(const char* fileName);
// audio_destroy_stream: stops its voices and stops it resolving; 1 or -1.
int32_t Audio_DestroyStream(int32_t id);
