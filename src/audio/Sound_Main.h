// The sound front, which start-up, the frame loop and shut-down call whichever sound system
// the game uses, and the legacy sound layer: a table of sounds played through OpenAL (each
// with four sources, so four overlapping plays) and music files played through the
// media-control interface.
#pragma once

#include <cstdint>
#include <string>

#include "audio/AudioChunk.h"

// Legacy sound kinds.
constexpr int32_t kSoundNormal = 0;
constexpr int32_t kSoundMusic = 1;
constexpr int32_t kSound3D = 2;
constexpr int32_t kSoundMedia = 3;

struct CSound {
    CSound() = default;
    ~CSound() { Clear(); }
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;

    int32_t kind = kSoundNormal;
    char* extension = nullptr;  // owned, with its dot
    char* fileName = nullptr;   // owned, without its folder
    uint8_t* data = nullptr;    // owned: a file loaded at run time
    int64_t dataSize = 0;
    bool preload = true;
    int32_t effects = 0;
    double volume = 1.0;
    double pan = 0.0;
    int32_t slot = -1;                  // hardware slot, -1 while not prepared
    const uint8_t* waveData = nullptr;  // the AUDO entry: u32 length, then the bytes
    int32_t audioIndex = 0;

    void Clear();
    void LoadFromChunk(const uint8_t* entry, AudioChunkReader& reader);
    // False when the file cannot be read.
    bool LoadFromFile(const char* path, int32_t kind, bool preload);
    void Prepare();
    void Discard();
    // The slot, preparing the sound first when needed.
    int32_t GetSoundId();
};

// The OpenAL side of one prepared sound.
struct HardwareSound {
    uint32_t buffer = 0;
    uint32_t sources[4] = {};
    int32_t nextSource = 0;
    float gain = 1.0f;
    float fadeStep = 0.0f;
    int32_t fadeTicks = 0;
};

class SoundHardware {
public:
    // Stands for the music in SetVolume.
    static HardwareSound* const kMusic;

    float masterVolume = 1.0f;

    // Opens the audio device (none: the run goes on without sound) and starts ALUT.
    void Init();
    void Quit();
    HardwareSound* Load(const uint8_t* data, uint32_t length);
    void Play(HardwareSound* sound, bool loop);
    void Stop(HardwareSound* sound);
    bool Playing(HardwareSound* sound);
    // Fades to the volume over that many milliseconds (at least one frame).
    void SetVolume(HardwareSound* sound, float volume, int32_t milliseconds);
    void SetMasterVolume(float volume);
    void PlayMP3(const char* name, bool loop);
    // Plays the MP3 file of the same name in the MIDI file's place.
    void PlayMIDI(const char* name, bool loop);
    bool PlayingMP3();
    void StopMusic();
    void Tick();
};

// --- the front -------------------------------------------------------------------------------

void SND_Init();
void SND_Tick();
void SND_Quit();
SoundHardware* SND_Hardware();
void SND_Play(const char* name, int32_t slot, bool loop);
void SND_Stop(const char* name, int32_t slot);
bool SND_IsPlaying(const char* name, int32_t slot);
void SND_StopAll();
void SND_SetVolume(int32_t slot, double volume, int32_t milliseconds);
void SND_SetMasterVolume(double volume);
int32_t SND_AllocSlot(int32_t kind);
// A slot for an AUDO entry (or none: no hardware sound); -1 with "-noaudio".
int32_t SND_LoadFromMemory(const uint8_t* wave, int32_t kind);
int32_t SND_LoadFromStream(const uint8_t* bytes, int64_t size, int32_t kind);
// The slot's OpenAL side (null when it has none).
HardwareSound* SND_GetHardwareSound(int32_t slot);

// --- the legacy sound table --------------------------------------------------------------------

void Sound_Reset();
// "SOND" and "AUDO" while the audio engine is not in use. False (with the reason) for a chunk
// that leaves the file.
bool Sound_Init(const AudioChunk& chunk, std::string* error = nullptr);
bool Wave_Init(const AudioChunk& chunk, std::string* error = nullptr);
bool Sound_Prepare();
int32_t Sound_Count();
bool Sound_Exists(int32_t index);
CSound* Sound_Get(int32_t index);
const char* Sound_GetName(int32_t index);
int32_t Sound_Find(const char* name);
int32_t Sound_Add(const char* file, int32_t kind, bool preload);
bool Sound_Replace(int32_t index, const char* file, int32_t kind, bool preload);
bool Sound_Delete(int32_t index);
void Sound_Free();

// --- media files ---------------------------------------------------------------------------------

void MCI_PlayMediaFile(const char* name, bool loop);
void MCI_StopMedia();
void MCI_SetMediaVolume(float volume);
// Playing or paused.
bool MCI_GetMediaStatus();
bool MCI_IsMediaPlaying();
