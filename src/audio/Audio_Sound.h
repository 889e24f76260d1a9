// Sound records: the assets of the data file ("SOND" descriptions, "AUDO" data), buffer sounds
// made from binary buffers, and the tables of play queues and streams, all addressed by audio
// id. Also how an asset becomes playable and how long a sound is.
#pragma once

#include <cstdint>
#include <string>

#include "audio/AudioChunk.h"
#include "core/ResourceTable.h"

struct CAudioVoice;

// Audio id ranges: below 100000 an asset; then buffer sounds, play queues and streams by slot;
// from the play-id base up, playing voices.
constexpr int32_t kAudioBufferSoundBase = 100000;
constexpr int32_t kAudioQueueBase = 200000;
constexpr int32_t kAudioStreamBase = 300000;
constexpr int32_t kAudioPlayIdBase = 400000;

struct CAudioSound {
    CAudioSound() = default;
    ~CAudioSound() { Free(); }
    CAudioSound(const CAudioSound&) = delete;
    CAudioSound& operator=(const CAudioSound&) = delete;

    char* fileName = nullptr;  // owned
    float gain = 1.0f;
    float pitch = 1.0f;
    const uint8_t* audioData = nullptr;  // the AUDO entry: u32 length, then the bytes
    int32_t bufferIndex = 0;             // the binary buffer of a buffer sound
    int32_t audioDataIndex = 0;
    int32_t alBuffer = -1;  // OpenAL buffer name; only a value above 0 is a usable buffer
    float fadeStep = 0.0f;
    int32_t fadeTicks = 0;
    uint8_t streamed = 0;
    uint8_t compressed = 0;
    uint8_t decompressOnLoad = 0;
    uint8_t destroyed = 0;
    const uint8_t* oggData = nullptr;
    uint32_t oggLength = 0;
    char* streamPath = nullptr;  // owned; a streamed sound's file once resolved
    float length = 0.0f;         // seconds; -1 unknown for an asset
    int32_t sampleRate = 0;
    int32_t channels = 1;
    int64_t pcmTotal = 0;
    float startPosition = 0.0f;
    int32_t audioGroup = 0;
    int32_t queueFormat = 0;
    int32_t queueChannelLayout = 0;
    CAudioVoice* queueVoice = nullptr;
    uint8_t isQueue = 0;

    bool OggDriven() const { return streamed || compressed; }
    bool HasBuffer() const { return alBuffer > 0; }

    // Fills an asset from its 36-byte SOND entry; the file-name text is copied.
    void LoadFromChunk(const uint8_t* entry, const char* fileNameText);
    // Frees the texts and the OpenAL buffer, and forgets the queue voice.
    void Free();
    // Deletes only the OpenAL buffer (a group unloads).
    void FreeBuffer();
};

// A growable table of sound records; a slot may be empty (null). The table owns its records.
struct AudioSoundTable : ResourceTable<CAudioSound> {
    // Grows to n slots (new ones empty); never shrinks.
    void Grow(int32_t n);
    // The first empty slot, growing by `step` slots when there is none.
    int32_t FreeSlot(int32_t step);
    // Frees every record and the slot array.
    void Clear();
};

AudioSoundTable& Audio_Assets();
AudioSoundTable& Audio_BufferSounds();
AudioSoundTable& Audio_Queues();
AudioSoundTable& Audio_Streams();

// The record behind a sound id (never a play id); null when the id names nothing.
CAudioSound* Audio_GetSound(int32_t id);
inline bool Audio_IsSoundQueue(int32_t id) {
    return id >= kAudioQueueBase && id < kAudioStreamBase;
}
inline bool Audio_IsStreamId(int32_t id) {
    return id >= kAudioStreamBase && id < kAudioPlayIdBase;
}

// --- the data file ------------------------------------------------------------------------

// "SOND": one asset per non-zero entry. False (with the reason in error) for a chunk whose
// table or entries leave the file.
bool Audio_Load(const AudioChunk& chunk, std::string* error = nullptr);
// "AUDO" of the data file (group 0) or of an audio-group file: points the group's assets at
// their entries. Every entry is checked against the file first; a bad one fails the whole
// chunk and no asset is touched.
bool Audio_WAVs(const AudioChunk& chunk, int32_t group, std::string* error = nullptr);
// Prepares every asset of group 0 (after Audio_Init).
void Audio_PrepareAll();
// Makes one asset playable: an OpenAL buffer from its WAV image, Ogg data kept for the
// decoding threads, or Ogg data decoded whole.
void Audio_PrepareSound(CAudioSound* sound, int32_t group);

// The index of the last asset with exactly this name, or -1.
int32_t Audio_Find(const char* name);
int32_t Audio_GetAssetCount();
// The stored name, or null for an empty slot or an index outside the table.
const char* Audio_GetAssetName(int32_t index);

// Seconds; -1 for unknown ids and sounds whose length cannot be found.
double Audio_SoundLength(int32_t id);

// --- buffer sounds ------------------------------------------------------------------------

constexpr int32_t kAudioBufferU8 = 1;
constexpr int32_t kAudioBufferS16 = 4;
// Channel layouts.
constexpr int32_t kAudioMono = 0;
constexpr int32_t kAudioStereo = 1;
constexpr int32_t kAudio3D = 2;

// A sound from a binary buffer's bytes (copied into OpenAL): 100000 + slot, or -1.
int32_t Audio_CreateBufferSound(int32_t bufferId, int32_t format, int32_t rate, int32_t offset,
                                int32_t length, int32_t channelLayout);
// Stops the voices that play it and frees it: 1, or 0 for an id that names no buffer sound.
int32_t Audio_FreeBufferSound(int32_t id);

// Empties every sound table and the asset names (engine shut-down).
void Audio_FreeSounds();
