// Sound assets and their chunks, audio groups, buffer sounds, and the queries and setters that
// game code reaches sounds and voices by.
#include <AL/al.h>

#include <map>

#include "AudioTestSupport.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Group.h"

using namespace audiotest;

namespace {

formpack::Sound Asset(const std::string& name, uint32_t flags = 0, uint32_t audioIndex = 0,
                      uint32_t group = 0) {
    formpack::Sound entry;
    entry.name = name;
    entry.flags = flags;
    entry.type = ".wav";
    entry.fileName = name + ".wav";
    entry.pitch = 2.0f;  // the pitch field, which the engine does not apply
    entry.group = group;
    entry.audio = audioIndex;
    return entry;
}

std::vector<uint8_t> ShortTone() {
    return MakeWav(Sine(440.0, 44100, 4410), 44100, 1);
}

class AudioSounds : public LoopbackTest {};

TEST_F(AudioSounds, FlagsChooseHowAnAssetIsStored) {
    struct Case {
        int32_t flags;
        bool streamed, compressed, decompressOnLoad;
    };
    const Case cases[] = {{-5, 0, 0, 0},  {0, 0, 0, 0},   {1, 1, 1, 0},   {2, 1, 1, 0},   {100, 1, 1, 0},
                          {101, 0, 0, 0}, {102, 0, 1, 0}, {103, 0, 0, 1}, {104, 0, 0, 0}, {500, 0, 0, 0}};
    std::vector<std::optional<formpack::Sound>> entries;
    for (const Case& c : cases)
        entries.push_back(Asset("snd" + std::to_string(entries.size()), uint32_t(c.flags)));
    const SoundFile file = BuildSoundFile(entries, {});
    Audio_SetEngineEnabled(true);
    ASSERT_TRUE(Audio_Load(file.sond));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const CAudioSound* sound = Audio_GetSound(int32_t(i));
        ASSERT_NE(sound, nullptr);
        EXPECT_EQ(sound->streamed != 0, cases[i].streamed) << cases[i].flags;
        EXPECT_EQ(sound->compressed != 0, cases[i].compressed) << cases[i].flags;
        EXPECT_EQ(sound->decompressOnLoad != 0, cases[i].decompressOnLoad) << cases[i].flags;
        EXPECT_EQ(sound->pitch, 1.0f);
        EXPECT_EQ(sound->length, -1.0f);
    }
}

TEST_F(AudioSounds, BadChunksFailAndChangeNothing) {
    const SoundFile good = BuildSoundFile({Asset("snd_a")}, {ShortTone()});
    Audio_SetEngineEnabled(true);
    ASSERT_TRUE(Audio_Load(good.sond));
    ASSERT_TRUE(Audio_WAVs(good.audo, 0));
    const uint8_t* data = Audio_GetSound(0)->audioData;

    const uint32_t sondTable = uint32_t(good.sond.offset) + 4;
    const uint32_t sondEntry = AudioChunk_U32(good.bytes.data() + sondTable);
    const uint32_t audoEntry = AudioChunk_U32(good.bytes.data() + good.audo.offset + 4);
    const uint32_t fileSize = uint32_t(good.bytes.size());
    struct Case {
        const char* what;
        bool sond;           // which chunk the patch breaks
        uint32_t at, value;  // file offset of the patched word
    };
    const Case cases[] = {
        {"count beyond the chunk", true, uint32_t(good.sond.offset), 1000},
        {"entry past the end of the file", true, sondTable, fileSize - 8},
        {"name outside the file", true, sondEntry, fileSize + 40},
        {"file name outside the file", true, sondEntry + 12, 0xFFFFFFF0u},
        {"audio count beyond the chunk", false, uint32_t(good.audo.offset), 0x40000000},
        {"negative audio length", false, audoEntry, 0xFFFFFFF0u},
        {"audio longer than the file", false, audoEntry, fileSize},
        {"audio entry outside the file", false, uint32_t(good.audo.offset) + 4, fileSize + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SoundFile bad = CopyOf(good);
        for (int i = 0; i < 4; ++i) bad.bytes[c.at + i] = uint8_t(c.value >> (8 * i));
        std::string error;
        EXPECT_FALSE(c.sond ? Audio_Load(bad.sond, &error) : Audio_WAVs(bad.audo, 0, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(Audio_GetAssetCount(), 1);
        EXPECT_EQ(Audio_GetSound(0)->audioData, data);
    }
}

TEST_F(AudioSounds, AudioIndexOutsideTheChunkLeavesTheAssetWithoutData) {
    const SoundFile file =
        BuildSoundFile({Asset("snd_a", 0, 0), Asset("snd_b", 0, 7), std::nullopt}, {ShortTone()});
    StartEngine(file);
    EXPECT_NE(Audio_GetSound(0)->audioData, nullptr);
    EXPECT_EQ(Audio_GetSound(1)->audioData, nullptr);
    EXPECT_EQ(Audio_GetSound(2), nullptr);  // an empty slot
    EXPECT_EQ(Audio_GetSound(3), nullptr);  // the asset count itself
    EXPECT_EQ(Audio_GetAssetName(2), nullptr);
    EXPECT_STREQ(Audio_GetName(2), "");
    EXPECT_STREQ(Audio_GetName(3), "<undefined>");
}

TEST_F(AudioSounds, FindGivesTheLastAssetOfThatExactName) {
    const SoundFile file =
        BuildSoundFile({Asset("snd_hit"), Asset("snd_Hit"), Asset("snd_hit")}, {ShortTone()});
    StartEngine(file);
    EXPECT_EQ(Audio_Find("snd_hit"), 2);
    EXPECT_EQ(Audio_Find("snd_Hit"), 1);
    EXPECT_EQ(Audio_Find("snd_HIT"), -1);
    EXPECT_EQ(Audio_Find(nullptr), -1);
}

TEST_F(AudioSounds, SoundsOfAGroupThatIsNotLoadedDoNotPlay) {
    SoundFile file = BuildSoundFile({Asset("snd_base", 0, 0, 0), Asset("snd_music", 0, 0, 1)}, {ShortTone()},
                                    {"audiogroup_default", "music"});
    Audio_SetEngineEnabled(true);
    ASSERT_TRUE(AudioGroup_Load(file.agrp));
    StartEngine(file);
    EXPECT_STREQ(CAudioGroupManager::GetName(1), "music");
    EXPECT_STREQ(CAudioGroupManager::GetName(2), "<undefined>");
    EXPECT_EQ(CAudioGroupManager::Get(1)->soundCount, 1);
    EXPECT_TRUE(Audio_GetSound(0)->HasBuffer());
    EXPECT_EQ(Audio_GetSound(1)->audioData, nullptr);  // its data comes with the group's file

    EXPECT_EQ(Audio_PlaySimpleSound(1, 1.0, 0), -1);
    EXPECT_NE(TakeConsole().find("snd_music: Audio Group 1 is not loaded\n"), std::string::npos);
    EXPECT_GT(Audio_PlaySimpleSound(0, 1.0, 0), 0);
}

TEST_F(AudioSounds, WithoutGroupsEveryAssetIsInGroupZero) {
    const SoundFile file = BuildSoundFile({Asset("snd_a", 0, 0, 5)}, {ShortTone()});
    StartEngine(file);
    EXPECT_EQ(Audio_GetSound(0)->audioGroup, 0);
    EXPECT_GT(Audio_PlaySimpleSound(0, 1.0, 0), 0);
}

TEST_F(AudioSounds, QueriesAndSettersByIdKind) {
    const SoundFile file = BuildSoundFile({Asset("snd_a", 0, 0), Asset("snd_stream", 1, 0)}, {ShortTone()});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
    const CAudioVoice* voice = Audio_FindVoice(id);
    ASSERT_NE(voice, nullptr);

    EXPECT_EQ(Audio_GetPitch(0), 1.0);
    struct PitchCase {
        float asked, got;
    };
    for (const PitchCase& c : {PitchCase{0.0f, 0.0039f}, PitchCase{1000.0f, 256.0f}, PitchCase{1.5f, 1.5f}}) {
        Audio_SetPitch(0, c.asked);
        EXPECT_FLOAT_EQ(float(Audio_GetPitch(0)), c.got) << c.asked;
    }
    Audio_SetPitch(id, 0.5f);  // a voice's own pitch, without the sound's
    ALfloat pitch = 0;
    alGetSourcef(Audio_GetSource(voice->sourceIndex), AL_PITCH, &pitch);
    EXPECT_FLOAT_EQ(pitch, 0.5f);
    EXPECT_FLOAT_EQ(float(Audio_GetPitch(id)), 0.5f);

    EXPECT_EQ(Audio_GetType(0), 0);
    EXPECT_EQ(Audio_GetType(1), 1);
    EXPECT_EQ(Audio_GetType(id), -1);
    EXPECT_EQ(Audio_GetType(7), -1);
    EXPECT_TRUE(Audio_Exists(0));
    EXPECT_TRUE(Audio_Exists(id));
    EXPECT_FALSE(Audio_Exists(2));
    EXPECT_TRUE(Audio_IsPlaying(0));
    EXPECT_FALSE(Audio_IsPlaying(1));
    EXPECT_EQ(Audio_GetVoiceListenerMask(id), 1);
    Audio_SetVoiceListenerMask(id, 6);
    EXPECT_EQ(Audio_GetVoiceListenerMask(id), 6);
    EXPECT_EQ(Audio_GetVoiceListenerMask(0), 1);

    Audio_SetTrackPosition(kAudioQueueBase, 1.0);
    EXPECT_NE(TakeConsole().find("Error: audio_sound_set_track_position not supported on sound queues.\n"),
              std::string::npos);
    Audio_SetTrackPosition(0, 0.05);  // inside the 0.1 s sound: later voices start there
    EXPECT_FLOAT_EQ(float(Audio_GetTrackPos(0)), 0.05f);
    Audio_SetTrackPosition(0, 0.2);  // past its end: no change
    EXPECT_FLOAT_EQ(float(Audio_GetTrackPos(0)), 0.05f);
    const int32_t later = Audio_PlaySimpleSound(0, 1.0, 0);
    EXPECT_NEAR(Audio_GetTrackPos(later), 0.05, 0.001);

    Audio_PauseSound(0);
    EXPECT_TRUE(Audio_IsPaused(id));
    EXPECT_TRUE(Audio_IsPlaying(id));  // paused counts as playing
    Audio_ResumeAll();
    EXPECT_FALSE(Audio_IsPaused(id));
}

// --- buffer sounds ------------------------------------------------------------------------------

struct FakeBuffers {
    std::map<int32_t, std::vector<uint8_t>> buffers;
    std::map<int32_t, int32_t> inUse;
};
FakeBuffers g_buffers;

bool FakeBufferBytes(int32_t id, const uint8_t** data, uint32_t* used) {
    auto it = g_buffers.buffers.find(id);
    if (it == g_buffers.buffers.end()) return false;
    *data = it->second.data();
    *used = uint32_t(it->second.size());
    return true;
}

void FakeBufferUse(int32_t id, int32_t delta) {
    g_buffers.inUse[id] += delta;
}

std::string g_shownError;
void CaptureError(const char* text) {
    g_shownError = text;
}

class BufferSounds : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        g_buffers = {};
        g_shownError.clear();
        g_AudioHost.bufferBytes = FakeBufferBytes;
        g_AudioHost.bufferUse = FakeBufferUse;
        g_AudioHost.showError = CaptureError;
        const std::vector<int16_t> tone = Sine(440.0, 44100, 44100);
        g_buffers.buffers[3].assign(reinterpret_cast<const uint8_t*>(tone.data()),
                                    reinterpret_cast<const uint8_t*>(tone.data() + tone.size()));
        g_buffers.buffers[4] = {};
        StartEngine(m_file);
    }

    SoundFile m_file = BuildSoundFile({}, {});
};

TEST_F(BufferSounds, LengthsFollowFormatLayoutAndRate) {
    struct Case {
        int32_t format, rate, offset, length, layout;
        double seconds;
        int32_t alRate;
    };
    const Case cases[] = {
        {kAudioBufferS16, 44100, 0, 0, kAudioMono, 1.0, 44100},
        {kAudioBufferS16, 44100, 0, 0, kAudioStereo, 0.5, 44100},
        {kAudioBufferS16, 44100, 0, 0, kAudio3D, 1.0, 44100},
        {kAudioBufferU8, 44100, 0, 0, kAudioMono, 2.0, 44100},
        {kAudioBufferS16, 500, 0, 0, kAudioMono, 44.1, 1000},
        {kAudioBufferS16, 96000, 0, 0, kAudioMono, 44100 / 48000.0, 48000},
        {kAudioBufferS16, 44100, -10, 0, kAudioMono, 1.0, 44100},
        {kAudioBufferS16, 44100, 8820, 44100, kAudioMono, 0.5, 44100},
    };
    for (const Case& c : cases) {
        const int32_t id = Audio_CreateBufferSound(3, c.format, c.rate, c.offset, c.length, c.layout);
        ASSERT_GE(id, kAudioBufferSoundBase);
        EXPECT_NEAR(Audio_SoundLength(id), c.seconds, 1e-6 * c.seconds) << c.rate << " " << c.layout;
        ALint frequency = 0;
        alGetBufferi(Audio_GetSound(id)->alBuffer, AL_FREQUENCY, &frequency);
        EXPECT_EQ(frequency, c.alRate);
        EXPECT_EQ(Audio_FreeBufferSound(id), 1);
    }
    EXPECT_EQ(g_buffers.inUse[3], 0);
}

TEST_F(BufferSounds, RefusalsSayWhy) {
    struct Case {
        int32_t buffer, format, offset, length, layout;
        const char* console;
        const char* dialog;
    };
    const Case cases[] = {
        {3, 2, 0, 0, kAudioMono, nullptr,
         "audio_create_buffer_sound: unsupported format (use buffer_u8,buffer_s16)"},
        {9, kAudioBufferS16, 0, 0, kAudioMono, "audio_create_buffer_sound: Invalid buffer id: 9\n", nullptr},
        {4, kAudioBufferS16, 0, 0, kAudioMono,
         "audio_create_buffer_sound: not queueing data, buffer 4 is empty\n", nullptr},
        {3, kAudioBufferS16, 0, 0, 3, nullptr,
         "audio_create_buffer_sound: channels should be audio_mono, audio_stereo, or audio_3d"},
        {3, kAudioBufferS16, 88000, 400, kAudioMono,
         "audio_create_buffer_sound: not enough data in buffer to create sound with offset 88000 length 400",
         nullptr},
        {3, kAudioBufferS16, 0, -2, kAudioMono,
         "audio_create_buffer_sound: not enough data in buffer to create sound with offset 0 length -2",
         nullptr},
        {3, kAudioBufferS16, 0, 3, kAudioMono, "OpenAL error: 40963 (Audio_CreateBufferSound(2))\n", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.console ? c.console : c.dialog);
        g_shownError.clear();
        TakeConsole();
        EXPECT_EQ(Audio_CreateBufferSound(c.buffer, c.format, 44100, c.offset, c.length, c.layout), -1);
        if (c.console) {
            EXPECT_EQ(TakeConsole(), c.console);
        }
        if (c.dialog) {
            EXPECT_EQ(g_shownError, c.dialog);
        }
    }
    EXPECT_EQ(Audio_BufferSounds().count, 0);
    EXPECT_EQ(g_buffers.inUse[3], 0);
}

TEST_F(BufferSounds, PlaysACopyOfTheBytes) {
    const int32_t id = Audio_CreateBufferSound(3, kAudioBufferS16, 44100, 0, 0, kAudioMono);
    std::fill(g_buffers.buffers[3].begin(), g_buffers.buffers[3].end(), 0);  // the game reuses its buffer
    const int32_t playId = Audio_PlaySimpleSound(id, 1.0, 0);
    const std::vector<int16_t> left = Channel(Render(kRate / 4));
    EXPECT_NEAR(MeasureFrequency(left, kRate), 440.0, 0.5);
    EXPECT_EQ(g_buffers.inUse[3], 1);

    // Freeing it stops its voice at once.
    EXPECT_EQ(Audio_FreeBufferSound(id), 1);
    EXPECT_FALSE(Audio_IsPlaying(playId));
    EXPECT_EQ(Audio_FreeBufferSound(id), 0);
    EXPECT_EQ(g_buffers.inUse[3], 0);
    EXPECT_STREQ(Audio_GetName(id), "<undefined>");
}

TEST_F(BufferSounds, TableGrowsBySixteenAndReusesFreedSlots) {
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < 17; ++i)
        ids.push_back(Audio_CreateBufferSound(3, kAudioBufferS16, 44100, 0, 2000, kAudioMono));
    EXPECT_EQ(ids.front(), kAudioBufferSoundBase);
    EXPECT_EQ(ids.back(), kAudioBufferSoundBase + 16);
    EXPECT_EQ(Audio_BufferSounds().count, 32);
    EXPECT_EQ(Audio_FreeBufferSound(ids[5]), 1);
    EXPECT_EQ(Audio_CreateBufferSound(3, kAudioBufferS16, 44100, 0, 2000, kAudioMono), ids[5]);
    EXPECT_EQ(g_buffers.inUse[3], 17);
}

// --- running without sound -----------------------------------------------------------------------

class FailingDevice final : public IAudioDevice {
public:
    bool Open(int32_t) override { return false; }
    void Close() override {}
    bool IsOpen() const override { return false; }
};

TEST_F(AudioSounds, WithoutAnOutputDeviceTheGameRunsSilently) {
    FailingDevice failing;
    AudioDevice_Set(&failing);
    const SoundFile file = BuildSoundFile({Asset("snd_a")}, {ShortTone()});
    Audio_SetEngineEnabled(true);
    ASSERT_TRUE(Audio_Load(file.sond));
    ASSERT_TRUE(Audio_WAVs(file.audo, 0));
    SND_Init();
    Audio_PrepareAll();
    EXPECT_NE(TakeConsole().find("No audio device could be opened: sound is off\n"), std::string::npos);
    EXPECT_TRUE(Audio_NoAudio());
    EXPECT_FALSE(Audio_UsingNewSystem());
    EXPECT_EQ(Audio_PlaySimpleSound(0, 1.0, 0), -1);
    EXPECT_EQ(Audio_SoundLength(0), -1.0);
    EXPECT_EQ(Audio_GetGain(0), 0.0);
    EXPECT_EQ(Audio_GetPitch(0), 1.0);
    EXPECT_FALSE(Audio_IsPlaying(0));
    SND_Tick();
    SND_Quit();
    AudioDevice_Set(&m_device);
}

TEST_F(AudioSounds, NoAudioSwitchLeavesTheDeviceClosed) {
    g_Switches.audioOff = true;
    const SoundFile file = BuildSoundFile({Asset("snd_a")}, {ShortTone()});
    Audio_SetEngineEnabled(true);
    ASSERT_TRUE(Audio_Load(file.sond));
    SND_Init();
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_EQ(Audio_PlaySimpleSound(0, 1.0, 0), -1);
    EXPECT_STREQ(Audio_GetName(0), "<undefined>");
}

}  // namespace
