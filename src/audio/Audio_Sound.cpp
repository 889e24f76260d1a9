#include "audio/Audio_Sound.h"

#include <AL/al.h>
#include <AL/alut.h>

#include <cstring>

#include "audio/AudioHost.h"
#include "audio/AudioMemory.h"
#include "audio/Audio_Group.h"
#include "audio/Audio_Main.h"
#include "audio/Audio_Ogg.h"
#include "core/Console.h"

namespace {

constexpr uint32_t kSondEntryBytes = 36;

AudioSoundTable g_assets;
AudioSoundTable g_bufferSounds;
AudioSoundTable g_queues;
AudioSoundTable g_streams;

// Asset names, parallel to the asset table.
char** g_assetNames = nullptr;
int32_t g_assetNameCount = 0;

void FreeAssetNames() {
    for (int32_t i = 0; i < g_assetNameCount; ++i) MEM_FREE(g_assetNames[i]);
    MEM_FREE(g_assetNames);
    g_assetNames = nullptr;
    g_assetNameCount = 0;
}

// The storage kind that a SOND flags word selects.
void SetStorageKind(CAudioSound* sound, int32_t flags) {
    if (flags < 0) flags = 0;
    sound->streamed = flags >= 1 && flags <= 100;
    sound->compressed = (flags >= 1 && flags <= 100) || flags == 102;
    sound->decompressOnLoad = flags == 103;
}

// Reads and forgets whatever OpenAL and ALUT had pending, so that the next check sees only
// what follows.
void ClearPendingErrors() {
    alGetError();
    alutGetError();
}

void PrepareWav(CAudioSound* sound, const uint8_t* bytes, uint32_t length) {
    ClearPendingErrors();
    const ALuint buffer = alutCreateBufferFromFileImage(bytes, static_cast<ALsizei>(length));
    const ALenum alutError = alutGetError();
    const ALenum alError = alGetError();
    if (alutError != ALUT_ERROR_NO_ERROR || alError != AL_NO_ERROR || buffer == 0) {
        if (buffer != 0) alDeleteBuffers(1, &buffer);
        return;
    }
    sound->alBuffer = static_cast<int32_t>(buffer);
}

ALenum BufferSoundFormat(int32_t format, bool stereo) {
    if (format == kAudioBufferU8) return stereo ? AL_FORMAT_STEREO8 : AL_FORMAT_MONO8;
    return stereo ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
}

}  // namespace

// --- records and tables -----------------------------------------------------------------

void CAudioSound::LoadFromChunk(const uint8_t* entry, const char* fileNameText) {
    MEM_FREE(fileName);
    fileName = Audio_CopyText(fileNameText ? fileNameText : "");
    gain = AudioChunk_F32(entry + 20);
    pitch = 1.0f;  // the entry's pitch field is not applied
    audioGroup = static_cast<int32_t>(AudioChunk_U32(entry + 28));
    audioDataIndex = static_cast<int32_t>(AudioChunk_U32(entry + 32));
    fadeStep = 0.0f;
    fadeTicks = 0;
    audioData = nullptr;
    alBuffer = 0;
    length = -1.0f;
    sampleRate = 0;
    pcmTotal = 0;
    channels = 1;
    startPosition = 0.0f;
    SetStorageKind(this, static_cast<int32_t>(AudioChunk_U32(entry + 4)));
    oggData = nullptr;
    oggLength = 0;
    MEM_FREE(streamPath);
    streamPath = nullptr;
}

void CAudioSound::Free() {
    MEM_FREE(fileName);
    fileName = nullptr;
    MEM_FREE(streamPath);
    streamPath = nullptr;
    FreeBuffer();
    queueVoice = nullptr;
}

void CAudioSound::FreeBuffer() {
    if (alBuffer > 0) {
        const ALuint name = static_cast<ALuint>(alBuffer);
        alDeleteBuffers(1, &name);
    }
    alBuffer = -1;
}

void AudioSoundTable::Grow(int32_t n) {
    if (n <= count) return;
    slots = static_cast<CAudioSound**>(MEM_REALLOC(slots, size_t(n) * sizeof(CAudioSound*)));
    for (int32_t i = count; i < n; ++i) slots[i] = nullptr;
    count = n;
}

int32_t AudioSoundTable::FreeSlot(int32_t step) {
    for (int32_t i = 0; i < count; ++i)
        if (slots[i] == nullptr) return i;
    const int32_t first = count;
    Grow(count + step);
    return first;
}

void AudioSoundTable::Clear() {
    for (int32_t i = 0; i < count; ++i) Audio_Delete(slots[i]);
    MEM_FREE(slots);
    slots = nullptr;
    count = 0;
}

AudioSoundTable& Audio_Assets() {
    return g_assets;
}
AudioSoundTable& Audio_BufferSounds() {
    return g_bufferSounds;
}
AudioSoundTable& Audio_Queues() {
    return g_queues;
}
AudioSoundTable& Audio_Streams() {
    return g_streams;
}

CAudioSound* Audio_GetSound(int32_t id) {
    if (id < 0 || id >= kAudioPlayIdBase) return nullptr;
    if (id < kAudioBufferSoundBase) return g_assets.Get(id);
    if (id < kAudioQueueBase) return g_bufferSounds.Get(id - kAudioBufferSoundBase);
    if (id < kAudioStreamBase) return g_queues.Get(id - kAudioQueueBase);
    CAudioSound* stream = g_streams.Get(id - kAudioStreamBase);
    return stream && !stream->destroyed ? stream : nullptr;
}

void Audio_FreeSounds() {
    g_assets.Clear();
    FreeAssetNames();
    g_bufferSounds.Clear();
    g_queues.Clear();
    g_streams.Clear();
}

// --- the data file -----------------------------------------------------------------------

bool Audio_Load(const AudioChunk& chunk, std::string* error) {
    DebugConsole.Output("Audio_Load()\n");
    AudioChunkReader reader(chunk);
    const uint32_t count = reader.OffsetTableCount();
    // Everything is checked before anything is built, so a bad chunk changes nothing.
    for (uint32_t i = 0; i < count && reader.Ok(); ++i) {
        const uint32_t offset = reader.TableOffset(i);
        if (offset == 0) continue;
        if (const uint8_t* entry = reader.Record(offset, kSondEntryBytes)) {
            reader.String(AudioChunk_U32(entry));
            reader.String(AudioChunk_U32(entry + 12));
        }
    }
    if (!reader.Ok()) {
        if (error) *error = reader.Error();
        return false;
    }

    g_assets.Clear();
    FreeAssetNames();
    g_assets.Grow(static_cast<int32_t>(count));
    g_assetNames = count ? static_cast<char**>(MEM_ALLOC(count * sizeof(char*))) : nullptr;
    g_assetNameCount = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t offset = reader.TableOffset(i);
        if (offset == 0) continue;
        const uint8_t* entry = reader.Record(offset, kSondEntryBytes);
        CAudioSound* sound = Audio_New<CAudioSound>();
        sound->LoadFromChunk(entry, reader.String(AudioChunk_U32(entry + 12)));
        g_assets.slots[i] = sound;
        g_assetNames[i] = Audio_CopyText(reader.String(AudioChunk_U32(entry)));
    }
    return true;
}

bool Audio_WAVs(const AudioChunk& chunk, int32_t group, std::string* error) {
    DebugConsole.Output("Audio_WAVs()\n");
    AudioChunkReader reader(chunk);
    const uint32_t count = reader.OffsetTableCount();
    for (uint32_t i = 0; i < count && reader.Ok(); ++i) {
        const uint32_t offset = reader.TableOffset(i);
        if (offset != 0) reader.AudioEntry(offset);
    }
    if (!reader.Ok()) {
        if (error) *error = reader.Error();
        return false;
    }
    for (int32_t i = 0; i < g_assets.count; ++i) {
        CAudioSound* sound = g_assets.slots[i];
        if (sound == nullptr) continue;
        if (CAudioGroupManager::Count() == 0) sound->audioGroup = 0;
        if (sound->audioGroup != group) continue;
        if (sound->audioDataIndex < 0 || static_cast<uint32_t>(sound->audioDataIndex) >= count) continue;
        const uint32_t offset = reader.TableOffset(static_cast<uint32_t>(sound->audioDataIndex));
        sound->audioData = offset ? reader.File() + offset : nullptr;
    }
    return true;
}

void Audio_PrepareSound(CAudioSound* sound, int32_t group) {
    if (Audio_NoAudio() || sound == nullptr || sound->audioData == nullptr) return;
    if (CAudioGroupManager::Count() != 0) {
        if (sound->audioGroup != group) return;
    } else {
        sound->audioGroup = 0;
    }
    if (sound->streamed) {
        MEM_FREE(sound->streamPath);
        sound->streamPath = nullptr;
        return;
    }
    const uint32_t length = AudioEntry_Length(sound->audioData);
    const uint8_t* bytes = AudioEntry_Bytes(sound->audioData);
    if (sound->decompressOnLoad) {
        sound->oggData = bytes;
        sound->oggLength = length;
        sound->alBuffer = static_cast<int32_t>(DecompressOgg(sound));
    } else if (sound->compressed) {
        sound->oggData = bytes;
        sound->oggLength = length;
    } else {
        PrepareWav(sound, bytes, length);
    }
}

void Audio_PrepareAll() {
    if (Audio_NoAudio() || !Audio_UsingNewSystem()) return;
    CAudioGroupManager::CountSounds();
    for (int32_t i = 0; i < g_assets.count; ++i)
        if (g_assets.slots[i]) Audio_PrepareSound(g_assets.slots[i], 0);
}

int32_t Audio_Find(const char* name) {
    if (name == nullptr) return -1;
    int32_t found = -1;
    for (int32_t i = 0; i < g_assetNameCount; ++i)
        if (g_assetNames[i] && std::strcmp(g_assetNames[i], name) == 0) found = i;
    return found;
}

int32_t Audio_GetAssetCount() {
    return g_assets.count;
}

const char* Audio_GetAssetName(int32_t index) {
    return index >= 0 && index < g_assetNameCount ? g_assetNames[index] : nullptr;
}

double Audio_SoundLength(int32_t id) {
    if (Audio_NoAudio() || !Audio_UsingNewSystem()) return -1.0;
    CAudioSound* sound = nullptr;
    if (id < kAudioPlayIdBase) {
        sound = Audio_GetSound(id);
    } else if (const CAudioVoice* voice = Audio_FindVoice(id)) {
        sound = Audio_GetSound(voice->soundId);
    }
    if (sound == nullptr) return -1.0;
    if (sound->length >= 0.0f) return sound->length;
    if (sound->OggDriven()) {
        COggAudio::FindStreamFile(sound);
        return sound->length;
    }
    if (sound->alBuffer == -1) return -1.0;
    alGetError();
    const ALuint buffer = static_cast<ALuint>(sound->alBuffer);
    ALint size = 0, bits = 0, channels = 0, frequency = 0;
    alGetBufferi(buffer, AL_SIZE, &size);
    alGetBufferi(buffer, AL_BITS, &bits);
    alGetBufferi(buffer, AL_CHANNELS, &channels);
    alGetBufferi(buffer, AL_FREQUENCY, &frequency);
    if (alGetError() != AL_NO_ERROR || channels <= 0 || bits < 8 || frequency <= 0) return -1.0;
    const int64_t frames = int64_t(size) / channels / (bits / 8);
    sound->length = static_cast<float>(double(frames) / frequency);
    return sound->length;
}

// --- buffer sounds -------------------------------------------------------------------------

int32_t Audio_CreateBufferSound(int32_t bufferId, int32_t format, int32_t rate, int32_t offset,
                                int32_t length, int32_t channelLayout) {
    if (format != kAudioBufferU8 && format != kAudioBufferS16) {
        AudioHost_ShowError("audio_create_buffer_sound: unsupported format (use buffer_u8,buffer_s16)");
        return -1;
    }
    const uint8_t* data = nullptr;
    uint32_t used = 0;
    if (g_AudioHost.bufferBytes == nullptr || !g_AudioHost.bufferBytes(bufferId, &data, &used)) {
        DebugConsole.Output("audio_create_buffer_sound: Invalid buffer id: %d\n", bufferId);
        return -1;
    }
    if (used == 0) {
        DebugConsole.Output("audio_create_buffer_sound: not queueing data, buffer %d is empty\n", bufferId);
        return -1;
    }
    if (rate < 1000) rate = 1000;
    if (rate > 48000) rate = 48000;
    if (channelLayout != kAudioMono && channelLayout != kAudioStereo && channelLayout != kAudio3D) {
        AudioHost_ShowError(
            "audio_create_buffer_sound: channels should be audio_mono, audio_stereo, or audio_3d");
        return -1;
    }
    if (offset < 0) offset = 0;
    // A negative length cannot be uploaded; it is refused like a range past the data.
    if (length < 0 || int64_t(used) < int64_t(offset) + length) {
        DebugConsole.Output(
            "audio_create_buffer_sound: not enough data in buffer to create sound with offset %d length %d",
            offset, length);
        return -1;
    }
    if (length == 0) length = static_cast<int32_t>(used - static_cast<uint32_t>(offset));

    const bool stereo = channelLayout == kAudioStereo;
    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (Audio_CheckError("Audio_CreateBufferSound(1)")) return -1;
    alBufferData(buffer, BufferSoundFormat(format, stereo), data + offset, length, rate);
    // A range OpenAL refuses (not whole sample frames) gives no sound rather than a silent one.
    if (Audio_CheckError("Audio_CreateBufferSound(2)")) {
        alDeleteBuffers(1, &buffer);
        return -1;
    }

    const int32_t slot = g_bufferSounds.FreeSlot(16);
    CAudioSound* sound = Audio_New<CAudioSound>();
    g_bufferSounds.slots[slot] = sound;
    const int32_t bytesPerSample = format == kAudioBufferU8 ? 1 : 2;
    sound->alBuffer = static_cast<int32_t>(buffer);
    sound->channels = stereo ? 2 : 1;
    sound->length = static_cast<float>(double(length) / (double(bytesPerSample) * sound->channels * rate));
    sound->bufferIndex = bufferId;
    if (g_AudioHost.bufferUse) g_AudioHost.bufferUse(bufferId, 1);
    return kAudioBufferSoundBase + slot;
}

int32_t Audio_FreeBufferSound(int32_t id) {
    CAudioSound* sound = g_bufferSounds.Get(int64_t(id) - kAudioBufferSoundBase);
    if (sound == nullptr) return 0;
    for (int32_t i = 0; i < Audio_VoiceCount(); ++i) {
        CAudioVoice* voice = Audio_GetVoice(i);
        if (voice->soundId == id) Audio_StopVoice(voice, true);
    }
    const uint8_t* data = nullptr;
    uint32_t used = 0;
    if (g_AudioHost.bufferUse && g_AudioHost.bufferBytes &&
        g_AudioHost.bufferBytes(sound->bufferIndex, &data, &used))
        g_AudioHost.bufferUse(sound->bufferIndex, -1);
    Audio_Delete(sound);
    g_bufferSounds.slots[id - kAudioBufferSoundBase] = nullptr;
    return 1;
}
