#include "audio/Sound_Main.h"

#include <AL/al.h>
#include <AL/alut.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "audio/AudioHost.h"
#include "audio/AudioMemory.h"
#include "audio/Audio_Main.h"
#include "core/Console.h"
#include "core/RunSwitches.h"
#include "platform/AudioDevice.h"
#include "platform/MciLayer.h"
#include "base/Runner.h"

namespace {

// The engine's pool (128) plus room for the legacy layer's four sources per sound.
constexpr int32_t kRequestedSources = 512;
constexpr uint32_t kSondEntryBytes = 36;
constexpr int32_t kSourcesPerSound = 4;

struct SoundSlot {
    bool used = false;
    int32_t kind = kSoundNormal;
    HardwareSound* hardware = nullptr;
};

// The legacy layer's global state.
struct LegacyState {
    SoundHardware* hardware = nullptr;
    bool initialised = false;
    std::string musicName;       // what the hardware plays as music
    std::string frontMusicName;  // the music file the front last started
    float musicVolume = 1.0f;
    float musicFadeStep = 0.0f;
    int32_t musicFadeTicks = 0;
    int32_t mediaAlias = 0;
    SoundSlot* slots = nullptr;
    int32_t slotCount = 0;
    int32_t slotCapacity = 0;
    CSound** sounds = nullptr;
    char** names = nullptr;
    int32_t soundCount = 0;
};

LegacyState g_legacy;
HardwareSound g_musicMarker;

bool NoAudio() {
    return g_Switches.audioOff;
}

// The error report that follows the layer's AL and ALUT calls.
void ReportErrors() {
    const ALenum al = alGetError();
    if (al != AL_NO_ERROR) DebugConsole.Output("AL Error : %08x(%d)\n", al, al);
    const ALenum alut = alutGetError();
    if (alut != ALUT_ERROR_NO_ERROR) DebugConsole.Output("ALUT Error : %s\n", alutGetErrorString(alut));
}

float Clamp01(double value) {
    return static_cast<float>(value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value);
}

void FreeHardwareSound(HardwareSound* sound) {
    if (sound == nullptr) return;
    for (ALuint source : sound->sources) alSourceStop(source);
    alDeleteSources(kSourcesPerSound, sound->sources);
    alDeleteBuffers(1, &sound->buffer);
    Audio_Delete(sound);
}

void FreeSlots() {
    for (int32_t i = 0; i < g_legacy.slotCount; ++i) FreeHardwareSound(g_legacy.slots[i].hardware);
    MEM_FREE(g_legacy.slots);
    g_legacy.slots = nullptr;
    g_legacy.slotCount = 0;
    g_legacy.slotCapacity = 0;
}

SoundSlot* GetSlot(int32_t slot) {
    return slot >= 0 && slot < g_legacy.slotCount ? &g_legacy.slots[slot] : nullptr;
}

// Frames per second as whole milliseconds per frame, at least 1.
int32_t FrameMilliseconds() {
    int32_t fps = AudioHost_FramesPerSecond();
    if (fps <= 0) fps = 1;
    const int32_t frame = 1000 / fps;
    return frame >= 1 ? frame : 1;
}

bool EndsWith(const char* name, const char* suffix) {
    if (name == nullptr) return false;
    const size_t length = std::strlen(name), suffixLength = std::strlen(suffix);
    return length >= suffixLength && std::strcmp(name + length - suffixLength, suffix) == 0;
}

const char* FileNamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

// The extension of the file name part, with its dot ("" when there is none).
const char* ExtensionPart(const char* path) {
    const char* dot = std::strrchr(FileNamePart(path), '.');
    return dot ? dot : "";
}

// --- the media layer ---------------------------------------------------------------------------

std::string MciErrorText(uint32_t error) {
    char text[256] = "";
    Mci_Current().GetErrorString(error, text, sizeof text);
    return text;
}

// Sends a command; on an error logs the format with the argument (if any) and the error text.
bool MciSend(const std::string& command, const char* errorFormat, const char* argument,
             char* answer = nullptr, uint32_t answerSize = 0) {
    const uint32_t error = Mci_Current().SendString(command.c_str(), answer, answerSize);
    if (error == 0) return true;
    const std::string text = MciErrorText(error);
    if (argument)
        DebugConsole.Output(errorFormat, argument, text.c_str());
    else
        DebugConsole.Output(errorFormat, text.c_str());
    return false;
}

std::string Alias(const char* format) {
    char command[128];
    std::snprintf(command, sizeof command, format, g_legacy.mediaAlias);
    return command;
}

bool MediaMode(bool pausedCounts) {
    char answer[1024] = "";
    if (!MciSend(Alias("status MediaFile%d mode"), "error getting mp3 status - %s\n", nullptr, answer,
                 sizeof answer))
        return false;
    return strcasecmp(answer, "playing") == 0 || (pausedCounts && strcasecmp(answer, "paused") == 0);
}

// --- legacy table helpers ------------------------------------------------------------------------

void DestroySound(int32_t index) {
    Audio_Delete(g_legacy.sounds[index]);
    g_legacy.sounds[index] = nullptr;
}

void GrowTable(int32_t count) {
    if (count <= g_legacy.soundCount) return;
    g_legacy.sounds = static_cast<CSound**>(MEM_REALLOC(g_legacy.sounds, size_t(count) * sizeof(CSound*)));
    g_legacy.names = static_cast<char**>(MEM_REALLOC(g_legacy.names, size_t(count) * sizeof(char*)));
    for (int32_t i = g_legacy.soundCount; i < count; ++i) {
        g_legacy.sounds[i] = nullptr;
        g_legacy.names[i] = nullptr;
    }
    g_legacy.soundCount = count;
}

}  // namespace

HardwareSound* const SoundHardware::kMusic = &g_musicMarker;

// --- SoundHardware --------------------------------------------------------------------------------

void SoundHardware::Init() {
    if (NoAudio()) return;
    if (!AudioDevice_Current().Open(kRequestedSources)) {
        // The game runs on without sound rather than failing.
        DebugConsole.Output("No audio device could be opened: sound is off\n");
        g_Switches.audioOff = true;
        return;
    }
    g_legacy.initialised = true;
    g_legacy.musicName.clear();
    alutInitWithoutContext(nullptr, nullptr);
    ReportErrors();
}

void SoundHardware::Quit() {
    if (!g_legacy.initialised) {
        Audio_Quit();
        return;
    }
    Audio_Quit();
    FreeSlots();
    alutExit();
    MCI_StopMedia();
    AudioDevice_Current().Close();
    g_legacy.initialised = false;
}

HardwareSound* SoundHardware::Load(const uint8_t* data, uint32_t length) {
    if (NoAudio() || data == nullptr) return nullptr;
    alGetError();
    alutGetError();
    ALuint buffer = alutCreateBufferFromFileImage(data, static_cast<ALsizei>(length));
    const ALenum alut = alutGetError();
    if (alut != ALUT_ERROR_NO_ERROR) {
        DebugConsole.Output("ALUT error on load %08x(%d) : %s\n", alut, alut, alutGetErrorString(alut));
        return nullptr;
    }
    const ALenum al = alGetError();
    if (al != AL_NO_ERROR) {
        DebugConsole.Output("AL error on load %08x(%d)\n", al, al);
        if (buffer) alDeleteBuffers(1, &buffer);
        return nullptr;
    }
    HardwareSound* sound = Audio_New<HardwareSound>();
    sound->buffer = buffer;
    alGenSources(kSourcesPerSound, sound->sources);
    // Without its sources the sound could only raise errors when played; it is not kept.
    if (alGetError() != AL_NO_ERROR) {
        DebugConsole.Output("AL error on load: no sources left\n");
        alDeleteBuffers(1, &buffer);
        Audio_Delete(sound);
        return nullptr;
    }
    for (ALuint source : sound->sources) {
        alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
        ReportErrors();
    }
    return sound;
}

void SoundHardware::Play(HardwareSound* sound, bool loop) {
    if (NoAudio() || sound == nullptr || sound == kMusic) return;
    const ALuint source = sound->sources[sound->nextSource];
    sound->nextSource = (sound->nextSource + 1) % kSourcesPerSound;
    alSourcef(source, AL_GAIN, static_cast<float>(double(sound->gain) * masterVolume));
    alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    alSourcePlay(source);
    ReportErrors();
}

void SoundHardware::Stop(HardwareSound* sound) {
    if (NoAudio() || sound == nullptr || sound == kMusic) return;
    for (ALuint source : sound->sources) alSourceStop(source);
}

bool SoundHardware::Playing(HardwareSound* sound) {
    if (NoAudio() || sound == nullptr || sound == kMusic) return false;
    for (ALuint source : sound->sources) {
        ALint state = AL_INITIAL;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING) return true;
    }
    return false;
}

void SoundHardware::SetVolume(HardwareSound* sound, float volume, int32_t milliseconds) {
    if (NoAudio() || sound == nullptr) return;
    int32_t steps = milliseconds / FrameMilliseconds();
    if (steps < 1) steps = 1;
    if (sound == kMusic) {
        g_legacy.musicFadeStep = static_cast<float>((double(volume) - g_legacy.musicVolume) / steps);
        g_legacy.musicFadeTicks = steps;
        return;
    }
    sound->fadeStep = static_cast<float>((double(volume) - sound->gain) / steps);
    sound->fadeTicks = steps;
}

void SoundHardware::SetMasterVolume(float volume) {
    if (NoAudio()) return;
    masterVolume = volume;
}

void SoundHardware::PlayMP3(const char* name, bool loop) {
    if (NoAudio() || name == nullptr) return;
    if (!g_legacy.musicName.empty()) StopMusic();
    g_legacy.musicName = name;
    MCI_PlayMediaFile(name, loop);
}

void SoundHardware::PlayMIDI(const char* name, bool loop) {
    if (NoAudio() || name == nullptr) return;
    if (!g_legacy.musicName.empty()) StopMusic();
    std::string music = name;
    const size_t dot = music.rfind('.');
    if (EndsWith(name, ".midi") || EndsWith(name, ".mid"))
        music = music.substr(0, dot + 1) + "mp3";
    else if (music.size() >= 3)
        music.replace(music.size() - 3, 3, "mp3");
    g_legacy.musicName = music;
    MCI_PlayMediaFile(music.c_str(), loop);
}

bool SoundHardware::PlayingMP3() {
    if (NoAudio()) return false;
    return MCI_IsMediaPlaying();
}

void SoundHardware::StopMusic() {
    if (NoAudio()) return;
    g_legacy.musicName.clear();
    MCI_StopMedia();
}

void SoundHardware::Tick() {
    if (NoAudio()) return;
    Audio_CheckError("SoundHardware::Tick");
    for (int32_t i = 0; i < g_legacy.slotCount; ++i) {
        HardwareSound* sound = g_legacy.slots[i].used ? g_legacy.slots[i].hardware : nullptr;
        if (sound == nullptr || sound->fadeTicks <= 0) continue;
        sound->gain = Clamp01(double(sound->gain) + sound->fadeStep);
        --sound->fadeTicks;
        for (ALuint source : sound->sources) {
            ALint state = AL_INITIAL;
            alGetSourcei(source, AL_SOURCE_STATE, &state);
            if (state == AL_PLAYING)
                alSourcef(source, AL_GAIN, static_cast<float>(double(sound->gain) * masterVolume));
        }
    }
    if (g_legacy.musicFadeTicks > 0) {
        --g_legacy.musicFadeTicks;
        g_legacy.musicVolume = static_cast<float>(double(g_legacy.musicVolume) + g_legacy.musicFadeStep);
        MCI_SetMediaVolume(g_legacy.musicVolume);
    }
}

// --- the front ----------------------------------------------------------------------------------

void SND_Init() {
    if (g_legacy.hardware == nullptr) g_legacy.hardware = Audio_New<SoundHardware>();
    g_legacy.hardware->masterVolume = 1.0f;
    g_legacy.hardware->Init();
    for (int32_t i = 0; i < g_legacy.slotCount; ++i) FreeHardwareSound(g_legacy.slots[i].hardware);
    g_legacy.slotCount = 0;
    Audio_Init(g_legacy.hardware);
}

void SND_Tick() {
    if (NoAudio()) return;
    if (g_legacy.hardware) g_legacy.hardware->Tick();
    Audio_Tick();
}

void SND_Quit() {
    if (g_legacy.hardware == nullptr) return;
    g_legacy.hardware->Quit();
    Audio_Delete(g_legacy.hardware);
    g_legacy.hardware = nullptr;
    g_legacy.frontMusicName.clear();
    g_legacy.musicName.clear();
    g_legacy.musicVolume = 1.0f;
    g_legacy.musicFadeTicks = 0;
}

SoundHardware* SND_Hardware() {
    return g_legacy.hardware;
}

void SND_Play(const char* name, int32_t slot, bool loop) {
    if (NoAudio() || g_legacy.hardware == nullptr) return;
    if (EndsWith(name, ".mp3")) {
        g_legacy.frontMusicName = name;
        g_legacy.hardware->PlayMP3(name, loop);
    } else if (EndsWith(name, ".mid") || EndsWith(name, ".midi")) {
        g_legacy.frontMusicName = name;
        g_legacy.hardware->PlayMIDI(name, loop);
    } else if (SoundSlot* entry = GetSlot(slot)) {
        g_legacy.hardware->Play(entry->hardware, loop);
    }
}

void SND_Stop(const char* name, int32_t slot) {
    if (NoAudio() || g_legacy.hardware == nullptr) return;
    if (!g_legacy.frontMusicName.empty() && name && g_legacy.frontMusicName == name) {
        g_legacy.hardware->StopMusic();
        g_legacy.frontMusicName.clear();
    } else if (SoundSlot* entry = GetSlot(slot)) {
        g_legacy.hardware->Stop(entry->hardware);
    }
}

bool SND_IsPlaying(const char* name, int32_t slot) {
    if (NoAudio() || g_legacy.hardware == nullptr) return false;
    if (!g_legacy.frontMusicName.empty() && name && g_legacy.frontMusicName == name)
        return g_legacy.hardware->PlayingMP3();
    if (SoundSlot* entry = GetSlot(slot)) return g_legacy.hardware->Playing(entry->hardware);
    return false;
}

void SND_StopAll() {
    if (NoAudio() || g_legacy.hardware == nullptr) return;
    for (int32_t i = 0; i < g_legacy.slotCount; ++i) g_legacy.hardware->Stop(g_legacy.slots[i].hardware);
    g_legacy.hardware->StopMusic();
}

void SND_SetVolume(int32_t slot, double volume, int32_t milliseconds) {
    if (NoAudio() || g_legacy.hardware == nullptr) return;
    if (SoundSlot* entry = GetSlot(slot))
        g_legacy.hardware->SetVolume(entry->kind == kSoundMusic ? SoundHardware::kMusic : entry->hardware,
                                     static_cast<float>(volume), milliseconds);
}

void SND_SetMasterVolume(double volume) {
    if (g_legacy.hardware) g_legacy.hardware->SetMasterVolume(static_cast<float>(volume));
}

int32_t SND_AllocSlot(int32_t kind) {
    if (NoAudio()) return -1;
    int32_t slot = 0;
    while (slot < g_legacy.slotCount && g_legacy.slots[slot].used) ++slot;
    if (slot == g_legacy.slotCount) {
        if (g_legacy.slotCount == g_legacy.slotCapacity) {
            g_legacy.slotCapacity += 1;
            g_legacy.slots = static_cast<SoundSlot*>(
                MEM_REALLOC(g_legacy.slots, size_t(g_legacy.slotCapacity) * sizeof(SoundSlot)));
        }
        ++g_legacy.slotCount;
    }
    g_legacy.slots[slot] = SoundSlot{true, kind == kSoundMedia ? kSoundMusic : kind, nullptr};
    return slot;
}

int32_t SND_LoadFromMemory(const uint8_t* wave, int32_t kind) {
    const int32_t slot = SND_AllocSlot(kind);
    if (slot < 0) return slot;
    if (g_legacy.slots[slot].kind != kSoundMusic && wave && g_legacy.hardware)
        g_legacy.slots[slot].hardware =
            g_legacy.hardware->Load(AudioEntry_Bytes(wave), AudioEntry_Length(wave));
    return slot;
}

int32_t SND_LoadFromStream(const uint8_t* bytes, int64_t size, int32_t kind) {
    const int32_t slot = SND_AllocSlot(kind);
    if (slot < 0) return slot;
    if (bytes && size > 0 && size <= INT32_MAX && g_legacy.hardware)
        g_legacy.slots[slot].hardware = g_legacy.hardware->Load(bytes, static_cast<uint32_t>(size));
    return slot;
}

HardwareSound* SND_GetHardwareSound(int32_t slot) {
    const SoundSlot* entry = GetSlot(slot);
    return entry ? entry->hardware : nullptr;
}

// --- CSound ----------------------------------------------------------------------------------------

void CSound::Clear() {
    kind = -1;
    MEM_FREE(extension);
    extension = nullptr;
    MEM_FREE(fileName);
    fileName = nullptr;
    MEM_FREE(data);
    data = nullptr;
    dataSize = 0;
    volume = 1.0;
    pan = 0.0;
    effects = 0;
    preload = true;
    if (slot != -1) Discard();
}

void CSound::LoadFromChunk(const uint8_t* entry, AudioChunkReader& reader) {
    Clear();
    kind = static_cast<int32_t>(AudioChunk_U32(entry + 4));
    extension = Audio_CopyText(reader.String(AudioChunk_U32(entry + 8)));
    fileName = Audio_CopyText(reader.String(AudioChunk_U32(entry + 12)));
    effects = static_cast<int32_t>(AudioChunk_U32(entry + 16));
    volume = AudioChunk_F32(entry + 20);
    pan = AudioChunk_F32(entry + 24);
    preload = AudioChunk_U32(entry + 28) != 0;
    audioIndex = static_cast<int32_t>(AudioChunk_U32(entry + 32));
}

bool CSound::LoadFromFile(const char* path, int32_t newKind, bool newPreload) {
    Clear();
    int64_t size = 0;
    void* bytes = g_AudioHost.readFile && path ? g_AudioHost.readFile(path, &size) : nullptr;
    if (bytes == nullptr) return false;
    extension = Audio_CopyText(ExtensionPart(path));
    fileName = Audio_CopyText(FileNamePart(path));
    data = static_cast<uint8_t*>(bytes);
    dataSize = size;
    kind = newKind;
    preload = newPreload;
    if (preload) Prepare();
    return true;
}

void CSound::Prepare() {
    const bool mp3 = extension && std::strncmp(extension, ".mp3", 4) == 0;
    if (kind != kSoundNormal && mp3) {
        slot = SND_LoadFromMemory(nullptr, kind);
    } else if (kind == kSoundNormal || kind == kSoundMusic || kind == kSound3D) {
        if (data == nullptr && waveData == nullptr) return;
        slot = waveData ? SND_LoadFromMemory(waveData, kind) : SND_LoadFromStream(data, dataSize, kind);
    } else if (kind == kSoundMedia) {
        slot = SND_LoadFromMemory(nullptr, kSoundMedia);
    }
    if (slot >= 0) SND_SetVolume(slot, volume, 0);
}

void CSound::Discard() {
    slot = -1;
}

int32_t CSound::GetSoundId() {
    if (slot == -1) Prepare();
    return slot;
}

// --- the legacy sound table ---------------------------------------------------------------------------

void Sound_Reset() {
    Sound_Free();
}

bool Sound_Init(const AudioChunk& chunk, std::string* error) {
    DebugConsole.Output("Sound_Init()\n");
    AudioChunkReader reader(chunk);
    const uint32_t count = reader.OffsetTableCount();
    for (uint32_t i = 0; i < count && reader.Ok(); ++i) {
        const uint32_t offset = reader.TableOffset(i);
        if (offset == 0) continue;
        if (const uint8_t* entry = reader.Record(offset, kSondEntryBytes)) {
            for (uint32_t word : {0u, 8u, 12u}) reader.String(AudioChunk_U32(entry + word));
        }
    }
    if (!reader.Ok()) {
        if (error) *error = reader.Error();
        return false;
    }
    Sound_Free();
    GrowTable(static_cast<int32_t>(count));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t offset = reader.TableOffset(i);
        if (offset == 0) continue;
        const uint8_t* entry = reader.Record(offset, kSondEntryBytes);
        g_legacy.sounds[i] = Audio_New<CSound>();
        g_legacy.sounds[i]->LoadFromChunk(entry, reader);
        g_legacy.names[i] = Audio_CopyText(reader.String(AudioChunk_U32(entry)));
    }
    return true;
}

bool Wave_Init(const AudioChunk& chunk, std::string* error) {
    DebugConsole.Output("Wave_Init()\n");
    AudioChunkReader reader(chunk);
    const uint32_t count = reader.OffsetTableCount();
    for (uint32_t i = 0; i < count && reader.Ok(); ++i)
        if (const uint32_t offset = reader.TableOffset(i)) reader.AudioEntry(offset);
    if (!reader.Ok()) {
        if (error) *error = reader.Error();
        return false;
    }
    for (int32_t i = 0; i < g_legacy.soundCount; ++i) {
        CSound* sound = g_legacy.sounds[i];
        if (sound == nullptr) continue;
        const bool inside = sound->audioIndex >= 0 && static_cast<uint32_t>(sound->audioIndex) < count;
        const uint32_t offset = inside ? reader.TableOffset(static_cast<uint32_t>(sound->audioIndex)) : 0;
        sound->waveData = offset ? reader.File() + offset : nullptr;
    }
    return true;
}

bool Sound_Prepare() {
    for (int32_t i = 0; i < g_legacy.soundCount; ++i)
        if (g_legacy.sounds[i] && g_legacy.sounds[i]->preload) g_legacy.sounds[i]->Prepare();
    return true;
}

int32_t Sound_Count() {
    return g_legacy.soundCount;
}

CSound* Sound_Get(int32_t index) {
    return index >= 0 && index < g_legacy.soundCount ? g_legacy.sounds[index] : nullptr;
}

bool Sound_Exists(int32_t index) {
    return Sound_Get(index) != nullptr;
}

const char* Sound_GetName(int32_t index) {
    const char* name = index >= 0 && index < g_legacy.soundCount ? g_legacy.names[index] : nullptr;
    return name ? name : "<undefined>";
}

int32_t Sound_Find(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < g_legacy.soundCount; ++i)
        if (g_legacy.names[i] && std::strcmp(g_legacy.names[i], name) == 0) return i;
    return -1;
}

int32_t Sound_Add(const char* file, int32_t kind, bool preload) {
    const int32_t index = g_legacy.soundCount;
    GrowTable(index + 1);
    g_legacy.names[index] = Audio_CopyText(file ? file : "");
    g_legacy.sounds[index] = Audio_New<CSound>();
    return g_legacy.sounds[index]->LoadFromFile(file, kind, preload) ? index : -1;
}

bool Sound_Replace(int32_t index, const char* file, int32_t kind, bool preload) {
    if (index < 0 || index >= g_legacy.soundCount) return false;
    DestroySound(index);
    g_legacy.sounds[index] = Audio_New<CSound>();
    return g_legacy.sounds[index]->LoadFromFile(file, kind, preload);
}

bool Sound_Delete(int32_t index) {
    if (Sound_Get(index) == nullptr) return false;
    DestroySound(index);
    MEM_FREE(g_legacy.names[index]);
    g_legacy.names[index] = nullptr;
    return true;
}

void Sound_Free() {
    for (int32_t i = 0; i < g_legacy.soundCount; ++i) {
        DestroySound(i);
        MEM_FREE(g_legacy.names[i]);
    }
    MEM_FREE(g_legacy.sounds);
    MEM_FREE(g_legacy.names);
    g_legacy.sounds = nullptr;
    g_legacy.names = nullptr;
    g_legacy.soundCount = 0;
}

// --- media files ------------------------------------------------------------------------------------

void MCI_PlayMediaFile(const char* name, bool loop) {
    if (NoAudio() || name == nullptr) return;
    const std::string path =
        (name[0] == '\\' || name[0] == '/') ? std::string(name) : GetBundleFolder() + std::string(name);
    const int32_t alias = ++g_legacy.mediaAlias;
    char command[4200];
    std::snprintf(command, sizeof command, "open \"%s\" type mpegvideo alias MediaFile%d", path.c_str(),
                  alias);
    MciSend(command, "error opening mp3 file %s - %s\n", path.c_str());
    MciSend(Alias("set MediaFile%d time format milliseconds"),
            "error opening set file time format for %s - %s\n", path.c_str());
    MciSend(Alias("set MediaFile%d seek exactly on"), "error opening set file seek exactly for %s - %s\n",
            path.c_str());
    MciSend(Alias(loop ? "play MediaFile%d repeat" : "play MediaFile%d"), "error playing file for %s - %s\n",
            path.c_str());
    MCI_SetMediaVolume(g_legacy.musicVolume);
}

void MCI_StopMedia() {
    if (NoAudio() || g_legacy.mediaAlias == 0 || !MCI_GetMediaStatus()) return;
    MciSend(Alias("seek MediaFile%d to start"), "error stopping mp3 file seeking - %s\n", nullptr);
    MciSend(Alias("stop MediaFile%d"), "error stopping mp3 - %s\n", nullptr);
    MciSend(Alias("close MediaFile%d"), "error closing mp3 - %s\n", nullptr);
    g_legacy.mediaAlias = 0;
}

void MCI_SetMediaVolume(float volume) {
    if (NoAudio() || g_legacy.mediaAlias == 0) return;
    const int32_t level = static_cast<int32_t>(volume * 1000.0f);
    char command[128];
    std::snprintf(command, sizeof command, "setaudio MediaFile%d volume to %d", g_legacy.mediaAlias, level);
    const uint32_t error = Mci_Current().SendString(command, nullptr, 0);
    if (error != 0)
        DebugConsole.Output("error setting mp3 volume to %g(%d) - %s\n", volume, level,
                            MciErrorText(error).c_str());
}

bool MCI_GetMediaStatus() {
    if (NoAudio()) return false;
    return MediaMode(true);
}

bool MCI_IsMediaPlaying() {
    if (NoAudio()) return false;
    return MediaMode(false);
}
