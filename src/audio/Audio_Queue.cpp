#include "audio/Audio_Queue.h"

#include <AL/al.h>

#include <cstdio>
#include <cstring>

#include "audio/AudioHost.h"
#include "audio/AudioMemory.h"
#include "audio/Audio_Main.h"
#include "audio/Audio_Sound.h"
#include "core/Console.h"
#include "core/ResourceTable.h"
#include "platform/AudioCapture.h"

namespace {

constexpr float kQueuePriority = 10.0f;
constexpr int32_t kRecordRate = 16000;
constexpr int32_t kRecordRingFrames = 32000;
constexpr int32_t kFormatS16 = 4;
constexpr int32_t kPathBytes = 2048;

struct AudioRecorder {
    int32_t sampleRate = kRecordRate;
    int32_t format = AL_FORMAT_MONO16;
    char* deviceName = nullptr;  // owned
    uint8_t recording = 0;
    AudioCaptureDevice* device = nullptr;
};

ResourceTable<AudioRecorder> g_recorders;
char** g_captureDevices = nullptr;
int32_t g_captureDeviceCount = 0;

bool EngineOff() {
    return Audio_NoAudio() || !Audio_UsingNewSystem();
}

CAudioSound* GetQueue(int32_t id) {
    return Audio_Queues().Get(int64_t(id) - kAudioQueueBase);
}

// The queue's voice while it still plays the queue; a voice stolen for another sound is not.
CAudioVoice* QueueVoice(CAudioSound* queue, int32_t queueId) {
    CAudioVoice* voice = queue->queueVoice;
    return voice && voice->soundId == queueId ? voice : nullptr;
}

CAudioVoice* TakeQueueVoice(CAudioSound* queue, int32_t queueId) {
    CAudioVoice* voice = Audio_AllocVoice(queueId, kQueuePriority);
    if (voice == nullptr) return nullptr;
    const ALuint source = Audio_GetSource(voice->sourceIndex);
    // A voice that last played one buffer keeps it bound until it is released.
    if (voice->soundId != queueId) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
    }
    voice->playId = Audio_TakePlayId();
    voice->soundId = queueId;
    voice->gain = 1.0f;
    voice->fadeTicks = 0;
    voice->listenerMask = Audio_GetDefaultListenerMask();
    voice->loop = 0;
    voice->priority = kQueuePriority;
    alSourcef(source, AL_MAX_DISTANCE, 100000.0f);
    alSourcef(source, AL_GAIN, queue->gain);
    alSourcef(source, AL_PITCH, queue->pitch);
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSource3f(source, AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    queue->queueVoice = voice;
    return voice;
}

// Unqueues one finished buffer from the source and frees the buffer sound it came from; the
// binary buffer that sound was made from, or -1 when none made it.
int32_t UnqueueOne(ALuint source) {
    ALuint buffer = 0;
    alSourceUnqueueBuffers(source, 1, &buffer);
    AudioSoundTable& table = Audio_BufferSounds();
    for (int32_t s = 0; s < table.count; ++s) {
        const CAudioSound* sound = table.slots[s];
        if (sound && sound->alBuffer == static_cast<int32_t>(buffer)) {
            const int32_t bufferId = sound->bufferIndex;
            Audio_FreeBufferSound(kAudioBufferSoundBase + s);
            return bufferId;
        }
    }
    return -1;
}

void ReportPlayed(int32_t queueId, int32_t bufferId, bool shutdown) {
    const AudioMapPair pairs[] = {{"queue_id", double(queueId), nullptr},
                                  {"buffer_id", double(bufferId), nullptr},
                                  {"queue_shutdown", shutdown ? 1.0 : 0.0, nullptr}};
    AudioHost_PostAsync(kAsyncAudioPlayback, pairs, 3);
}

void ClearDeviceList() {
    for (int32_t i = 0; i < g_captureDeviceCount; ++i) MEM_FREE(g_captureDevices[i]);
    MEM_FREE(g_captureDevices);
    g_captureDevices = nullptr;
    g_captureDeviceCount = 0;
}

AudioRecorder* GetRecorder(int32_t index) {
    return g_recorders.Get(index);
}

int32_t FindRecorderByName(const char* name) {
    for (int32_t i = 0; i < g_recorders.count; ++i)
        if (g_recorders.slots[i] && std::strcmp(g_recorders.slots[i]->deviceName, name) == 0) return i;
    return -1;
}

int32_t FreeRecorderSlot() {
    for (int32_t i = 0; i < g_recorders.count; ++i)
        if (g_recorders.slots[i] == nullptr) return i;
    g_recorders.slots = static_cast<AudioRecorder**>(
        MEM_REALLOC(g_recorders.slots, size_t(g_recorders.count + 1) * sizeof(AudioRecorder*)));
    g_recorders.slots[g_recorders.count] = nullptr;
    return g_recorders.count++;
}

void DeleteRecorder(int32_t index) {
    AudioRecorder* recorder = g_recorders.slots[index];
    MEM_FREE(recorder->deviceName);
    Audio_Delete(recorder);
    g_recorders.slots[index] = nullptr;
}

void CaptureInto(int32_t index, AudioRecorder* recorder) {
    IAudioCapture& capture = AudioCapture_Current();
    const int32_t frames = capture.Available(recorder->device);
    if (frames <= 0 || !(double(frames) / recorder->sampleRate > 0.1)) return;
    const int32_t bytes = frames * 2;
    auto* samples = static_cast<int16_t*>(MEM_ALLOC(size_t(bytes)));
    capture.Read(recorder->device, samples, frames);
    const int32_t buffer = g_AudioHost.bufferFromBytes
                               ? g_AudioHost.bufferFromBytes(reinterpret_cast<uint8_t*>(samples), bytes)
                               : -1;
    MEM_FREE(samples);
    // Without a buffer to hand over, the samples are dropped so the ring does not overflow.
    if (buffer < 0) return;
    const AudioMapPair pairs[] = {{"buffer_id", double(buffer), nullptr},
                                  {"channel_index", double(index), nullptr},
                                  {"data_len", double(bytes), nullptr}};
    AudioHost_PostAsync(kAsyncAudioRecording, pairs, 3, buffer);
}

bool FindFile(const char* name, char* path) {
    return AudioHost_SavePath(name, path, kPathBytes) || AudioHost_BundlePath(name, path, kPathBytes);
}

}  // namespace

// --- play queues ---------------------------------------------------------------------------

int32_t Audio_CreatePlayQueue(int32_t format, int32_t rate, int32_t channelLayout) {
    if (channelLayout != kAudioMono && channelLayout != kAudioStereo && channelLayout != kAudio3D) {
        AudioHost_ShowError(
            "audio_create_play_queue: channels should be audio_mono, audio_stereo, or audio_3d");
        return -1;
    }
    if (rate < 1000) rate = 1000;
    if (format != kAudioBufferU8 && format != kAudioBufferS16) {
        AudioHost_ShowError("audio_create_play_queue: unsupported format (use buffer_u8,buffer_s16)");
        return -1;
    }
    AudioSoundTable& queues = Audio_Queues();
    const int32_t slot = queues.FreeSlot(1);
    CAudioSound* queue = Audio_New<CAudioSound>();
    queues.slots[slot] = queue;
    queue->isQueue = 1;
    queue->alBuffer = 0;
    queue->channels = 1;
    queue->length = 0.0f;
    queue->sampleRate = rate > 48000 ? 48000 : rate;
    queue->queueFormat = format;
    queue->queueChannelLayout = channelLayout;
    const int32_t id = kAudioQueueBase + slot;
    DebugConsole.Output("create queue %d\n", id);
    return id;
}

int32_t Audio_QueueBufferSound(int32_t queueId, int32_t bufferId, int32_t offset, int32_t length) {
    if (EngineOff()) return -1;
    CAudioSound* queue = GetQueue(queueId);
    if (queue == nullptr) {
        DebugConsole.Output("audio_queue_buffer_sound : Invalid queue id: %d\n", queueId);
        return -1;
    }
    const int32_t sound = Audio_CreateBufferSound(bufferId, queue->queueFormat, queue->sampleRate, offset,
                                                  length, queue->queueChannelLayout);
    const CAudioSound* record = Audio_GetSound(sound);
    if (record == nullptr) {
        DebugConsole.Output("audio_queue_buffer_sound : Invalid buffer sound id: %d\n", sound);
        return -1;
    }
    CAudioVoice* voice = QueueVoice(queue, queueId);
    if (voice == nullptr) voice = TakeQueueVoice(queue, queueId);
    if (voice == nullptr) {
        Audio_FreeBufferSound(sound);
        return -1;
    }
    const ALuint source = Audio_GetSource(voice->sourceIndex);
    if (record->alBuffer != 0) {
        const ALuint buffer = static_cast<ALuint>(record->alBuffer);
        alSourceQueueBuffers(source, 1, &buffer);
        if (alGetError() != AL_NO_ERROR)
            DebugConsole.Output("audio_queue_buffer_sound : OpenAL Error queueing buffer\n");
    }
    alSourcei(source, AL_LOOPING, AL_FALSE);
    if (alGetError() != AL_NO_ERROR)
        DebugConsole.Output("audio_queue_buffer_sound : OpenAL Error playing queued sound\n");
    return voice->playId;
}

int32_t Audio_FreePlayQueue(int32_t queueId) {
    CAudioSound* queue = GetQueue(queueId);
    if (queue == nullptr) return 0;
    if (CAudioVoice* voice = Audio_NoAudio() ? nullptr : QueueVoice(queue, queueId)) {
        const ALuint source = Audio_GetSource(voice->sourceIndex);
        // Played and stopped at once, every queued buffer counts as processed.
        alSourcePlay(source);
        alSourceStop(source);
        ALint processed = 0;
        alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
        for (ALint i = 0; i < processed; ++i) ReportPlayed(queueId, UnqueueOne(source), true);
        Audio_StopVoice(voice, true);
    }
    Audio_Delete(queue);
    Audio_Queues().slots[queueId - kAudioQueueBase] = nullptr;
    return 1;
}

void Audio_UnqueueProcessed(CAudioVoice* voice, int32_t id, bool shutdown) {
    if (voice == nullptr || Audio_NoAudio()) return;
    const ALuint source = Audio_GetSource(voice->sourceIndex);
    // A source playing one buffer through AL_BUFFER has nothing to unqueue (OpenAL refuses).
    ALint type = AL_UNDETERMINED, processed = 0;
    alGetSourcei(source, AL_SOURCE_TYPE, &type);
    if (type != AL_STREAMING) return;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed; ++i) {
        const int32_t bufferId = UnqueueOne(source);
        if (Audio_IsSoundQueue(voice->soundId)) ReportPlayed(id, bufferId, shutdown);
    }
}

// --- recording -------------------------------------------------------------------------------

int32_t Audio_GetRecorderCount() {
    ClearDeviceList();
    const char* names = AudioCapture_Current().DeviceNames();
    for (const char* name = names; name && *name; name += std::strlen(name) + 1) {
        g_captureDevices = static_cast<char**>(
            MEM_REALLOC(g_captureDevices, size_t(g_captureDeviceCount + 1) * sizeof(char*)));
        g_captureDevices[g_captureDeviceCount++] = Audio_CopyText(name);
    }
    return g_captureDeviceCount;
}

int32_t Audio_GetRecorderInfo(int32_t device) {
    if (device < 0 || device > g_captureDeviceCount) {
        DebugConsole.Output("audio_get_recorder_info: device %d not available\n", device);
        return -1;
    }
    if (device == g_captureDeviceCount || g_captureDevices[device] == nullptr) {
        DebugConsole.Output("audio_get_recorder_info: device %d no longer attached\n", device);
        return -1;
    }
    const AudioMapPair pairs[] = {{"name", 0.0, g_captureDevices[device]},
                                  {"index", double(device), nullptr},
                                  {"data_format", double(kFormatS16), nullptr},
                                  {"sample_rate", double(kRecordRate), nullptr},
                                  {"channels", 0.0, nullptr}};
    return AudioHost_CreateMap(pairs, 5);
}

int32_t Audio_StartRecording(int32_t device) {
    if (device < 0 || device > g_captureDeviceCount) {
        DebugConsole.Output("audio_start_recording: device %d out of range\n", device);
        return -1;
    }
    if (device == g_captureDeviceCount || g_captureDevices[device] == nullptr) {
        DebugConsole.Output("audio_start_recording: device %d not available\n", device);
        return -1;
    }
    const char* name = g_captureDevices[device];
    int32_t index = FindRecorderByName(name);
    if (index < 0) {
        index = FreeRecorderSlot();
        AudioCaptureDevice* handle = AudioCapture_Current().Open(name, kRecordRate, kRecordRingFrames);
        if (handle == nullptr) {
            DebugConsole.Output("audio_start_recording : Unable to open recording device '%s'\n", name);
            return -1;
        }
        AudioRecorder* recorder = Audio_New<AudioRecorder>();
        recorder->deviceName = Audio_CopyText(name);
        recorder->device = handle;
        g_recorders.slots[index] = recorder;
    } else if (g_recorders.slots[index]->recording) {
        DebugConsole.Output("audio_start_recording: device %d already recording\n", device);
        return -1;
    }
    AudioCapture_Current().Start(g_recorders.slots[index]->device);
    g_recorders.slots[index]->recording = 1;
    return index;
}

int32_t Audio_StopRecording(int32_t index) {
    AudioRecorder* recorder = GetRecorder(index);
    if (recorder == nullptr || !recorder->recording) {
        DebugConsole.Output("audio_stop_recording : recorder %d is not currently recording\n", index);
        return -1;
    }
    AudioCapture_Current().Stop(recorder->device);
    AudioCapture_Current().Close(recorder->device);
    DeleteRecorder(index);
    return 0;
}

void Audio_TickRecorders() {
    for (int32_t i = 0; i < g_recorders.count; ++i)
        if (g_recorders.slots[i] && g_recorders.slots[i]->recording) CaptureInto(i, g_recorders.slots[i]);
}

void Audio_FreeRecorders() {
    for (int32_t i = 0; i < g_recorders.count; ++i) {
        if (g_recorders.slots[i] == nullptr) continue;
        if (g_recorders.slots[i]->recording) AudioCapture_Current().Stop(g_recorders.slots[i]->device);
        AudioCapture_Current().Close(g_recorders.slots[i]->device);
        DeleteRecorder(i);
    }
    MEM_FREE(g_recorders.slots);
    g_recorders.slots = nullptr;
    g_recorders.count = 0;
    ClearDeviceList();
}

// --- streams ----------------------------------------------------------------------------------

int32_t Audio_CreateStream(const char* fileName) {
    char path[kPathBytes] = "";
    if (fileName == nullptr || !FindFile(fileName, path)) {
        DebugConsole.Output("audio_create_stream : could not file file '%s'\n", fileName ? fileName : "");
        return -1;
    }
    AudioSoundTable& streams = Audio_Streams();
    const int32_t slot = streams.FreeSlot(1);
    CAudioSound* stream = Audio_New<CAudioSound>();
    streams.slots[slot] = stream;
    stream->streamed = 1;
    stream->compressed = 1;
    stream->alBuffer = 0;
    stream->channels = 1;
    stream->length = 0.0f;
    stream->audioGroup = 0;
    stream->fileName = Audio_CopyText(path);
    stream->streamPath = Audio_CopyText(path);
    const int32_t id = kAudioStreamBase + slot;
    DebugConsole.Output("create stream %d\n", id);
    return id;
}

int32_t Audio_DestroyStream(int32_t id) {
    if (!Audio_IsStreamId(id)) {
        DebugConsole.Output("audio_destroy_stream : Invalid stream id: %d\n", id);
        return -1;
    }
    CAudioSound* stream = Audio_Streams().Get(id - kAudioStreamBase);
    if (stream == nullptr || stream->destroyed) return -1;
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) {
        CAudioVoice* voice = Audio_GetVoice(i);
        if (voice->soundId == id && voice->active) Audio_StopVoice(voice, true);
    }
    stream->destroyed = 1;
    return 1;
}
