// The legacy sound layer: sounds of the data file and of files played through OpenAL with four
// sources each, their fades, and music files through the media-control interface.
#include <AL/al.h>

#include <map>

#include "AudioTestSupport.h"
#include "core/MemoryManager.h"
#include "platform/MciLayer.h"
#include "base/Runner.h"

using namespace audiotest;

namespace {

// Legacy SOND entry: kind, extension, preload.
formpack::Sound LegacyEntry(const std::string& name, uint32_t kind, const std::string& extension,
                            const std::string& file, bool preload, uint32_t audioIndex) {
    formpack::Sound entry;
    entry.name = name;
    entry.flags = kind;
    entry.type = extension;
    entry.fileName = file;
    entry.pitch = 0.0f;  // pan
    entry.group = preload ? 1 : 0;
    entry.audio = audioIndex;
    return entry;
}

// Records the commands and answers "status ... mode" with a scripted text.
class RecordingMci final : public IMciLayer {
public:
    std::vector<std::string> commands;
    std::string mode = "playing";

    uint32_t SendString(const char* command, char* answer, uint32_t size) override {
        commands.emplace_back(command);
        if (answer && size)
            std::snprintf(answer, size, "%s",
                          std::string(command).rfind("status", 0) == 0 ? mode.c_str() : "");
        return 0;
    }
    bool GetErrorString(uint32_t, char* text, uint32_t size) override {
        if (size) text[0] = 0;
        return false;
    }
};

std::map<std::string, std::vector<uint8_t>> g_files;

void* ReadTestFile(const char* name, int64_t* size) {
    auto it = g_files.find(name);
    if (it == g_files.end()) return nullptr;
    void* block = MEM_ALLOC(it->second.size() + 1);
    std::memcpy(block, it->second.data(), it->second.size());
    *size = int64_t(it->second.size());
    return block;
}

ALint SampleOffset(ALuint source) {
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    return offset;
}

class LegacySound : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        m_previousMci = Mci_Set(&m_mci);
        g_files.clear();
        g_AudioHost.readFile = ReadTestFile;
        Runner_SetDataFilePath("/games/demo/data.win");
        Runner_ClearBundleFolder();
        m_file = BuildSoundFile({LegacyEntry("snd_tone", kSoundNormal, ".wav", "tone.wav", true, 0),
                                 LegacyEntry("snd_theme", kSoundMusic, ".mid", "theme.mid", true, 1),
                                 LegacyEntry("snd_lazy", kSoundNormal, ".wav", "lazy.wav", false, 0)},
                                {MakeWav(Sine(440.0, 44100, 44100), 44100, 1), std::vector<uint8_t>{0, 1}});
        ASSERT_TRUE(Sound_Init(m_file.sond));
        ASSERT_TRUE(Wave_Init(m_file.audo));
        SND_Init();
        ASSERT_TRUE(Sound_Prepare());
    }

    void TearDown() override {
        LoopbackTest::TearDown();
        Mci_Set(m_previousMci);
        Runner_SetDataFilePath(nullptr);
        Runner_ClearBundleFolder();
    }

    int32_t Slot(int32_t index) { return Sound_Get(index)->GetSoundId(); }

    SoundFile m_file;
    RecordingMci m_mci;
    IMciLayer* m_previousMci = nullptr;
};

TEST_F(LegacySound, PreparedSoundPlaysItsTone) {
    EXPECT_EQ(Sound_Get(0)->slot, 0);
    EXPECT_EQ(Sound_Get(2)->slot, -1);  // not preloaded: prepared when first asked for
    EXPECT_EQ(Slot(2), 2);
    SND_Play(Sound_Get(0)->fileName, Slot(0), false);
    EXPECT_TRUE(SND_IsPlaying(Sound_Get(0)->fileName, Slot(0)));
    EXPECT_NEAR(MeasureFrequency(Channel(Render(kRate / 4)), kRate), 440.0, 0.2);
    SND_StopAll();
    EXPECT_FALSE(SND_IsPlaying(Sound_Get(0)->fileName, Slot(0)));
}

TEST_F(LegacySound, FifthPlayRestartsTheFirstSource) {
    HardwareSound* sound = SND_GetHardwareSound(Slot(0));
    ASSERT_NE(sound, nullptr);
    for (int i = 0; i < 4; ++i) {
        SND_Play("tone.wav", Slot(0), false);
        Render(1000);
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(SampleOffset(sound->sources[i]), SampleOffset(sound->sources[i + 1]));
    SND_Play("tone.wav", Slot(0), false);
    Render(100);
    EXPECT_LT(SampleOffset(sound->sources[0]), SampleOffset(sound->sources[3]));
}

TEST_F(LegacySound, VolumeFadesStepEachFrame) {
    HardwareSound* sound = SND_GetHardwareSound(Slot(0));
    SND_Tick();  // the volume set at preparation (1.0) arrives
    struct Case {
        int32_t fps, milliseconds, steps;
    };
    for (const Case& c : {Case{30, 1000, 30}, Case{30, 0, 1}, Case{60, 100, 6}}) {
        TestFramesPerSecond() = c.fps;
        SND_SetVolume(Slot(0), 0.0, c.milliseconds);
        EXPECT_EQ(sound->fadeTicks, c.steps);
        for (int32_t i = 0; i < c.steps; ++i) SND_Tick();
        EXPECT_NEAR(sound->gain, 0.0f, 1e-6);
        EXPECT_EQ(sound->fadeTicks, 0);
        SND_SetVolume(Slot(0), 1.0, 0);
        SND_Tick();
        EXPECT_EQ(sound->gain, 1.0f);
    }
    // A playing source follows the fade, scaled by the master volume.
    SND_SetMasterVolume(0.5);
    SND_Play("tone.wav", Slot(0), true);
    SND_SetVolume(Slot(0), 0.5, 0);
    SND_Tick();
    ALfloat gain = 0;
    alGetSourcef(sound->sources[0], AL_GAIN, &gain);
    EXPECT_FLOAT_EQ(gain, 0.25f);
}

TEST_F(LegacySound, MidiPlaysTheMp3OfTheSameNameFromTheGameFolder) {
    SND_Play("theme.mid", Slot(1), true);
    const std::vector<std::string> expected = {
        "open \"/games/demo/theme.mp3\" type mpegvideo alias MediaFile1",
        "set MediaFile1 time format milliseconds",
        "set MediaFile1 seek exactly on",
        "play MediaFile1 repeat",
        "setaudio MediaFile1 volume to 1000",
    };
    EXPECT_EQ(m_mci.commands, expected);
    EXPECT_EQ(SND_GetHardwareSound(Slot(1)), nullptr);  // music gets no OpenAL side
    EXPECT_TRUE(SND_IsPlaying("theme.mid", Slot(1)));

    // A music file that ended by itself is neither playing nor stopped: it stays open.
    m_mci.mode = "stopped";
    m_mci.commands.clear();
    EXPECT_FALSE(SND_IsPlaying("theme.mid", Slot(1)));
    SND_Stop("theme.mid", Slot(1));
    EXPECT_EQ(m_mci.commands, (std::vector<std::string>{"status MediaFile1 mode", "status MediaFile1 mode"}));

    // The next play opens a new alias; a playing file is closed when stopped.
    m_mci.mode = "playing";
    SND_Play("/abs/song.mp3", Slot(1), false);
    m_mci.commands.clear();
    SND_Stop("/abs/song.mp3", Slot(1));
    EXPECT_EQ(m_mci.commands, (std::vector<std::string>{"status MediaFile2 mode", "seek MediaFile2 to start",
                                                        "stop MediaFile2", "close MediaFile2"}));
}

TEST_F(LegacySound, StoppingByAnotherNameStopsTheSlot) {
    SND_Play("theme.mid", Slot(1), false);
    SND_Play("tone.wav", Slot(0), true);
    m_mci.commands.clear();
    SND_Stop("tone.wav", Slot(0));
    EXPECT_TRUE(m_mci.commands.empty());
    EXPECT_FALSE(SND_IsPlaying("tone.wav", Slot(0)));
}

TEST_F(LegacySound, TableLookupsAndRunTimeSounds) {
    EXPECT_EQ(Sound_Count(), 3);
    EXPECT_EQ(Sound_Get(-1), nullptr);
    EXPECT_EQ(Sound_Get(3), nullptr);
    EXPECT_STREQ(Sound_GetName(3), "<undefined>");
    EXPECT_STREQ(Sound_GetName(1), "snd_theme");
    EXPECT_EQ(Sound_Find("snd_lazy"), 2);
    EXPECT_EQ(Sound_Find("SND_LAZY"), -1);

    g_files["sounds/beep.wav"] = MakeWav(Sine(880.0, 22050, 2205), 22050, 1);
    const int32_t added = Sound_Add("sounds/beep.wav", kSoundNormal, true);
    EXPECT_EQ(added, 3);
    EXPECT_STREQ(Sound_Get(added)->fileName, "beep.wav");
    EXPECT_STREQ(Sound_Get(added)->extension, ".wav");
    EXPECT_NE(SND_GetHardwareSound(Sound_Get(added)->slot), nullptr);
    EXPECT_EQ(Sound_Add("missing.wav", kSoundNormal, true), -1);
    EXPECT_EQ(Sound_Count(), 5);  // the failed add keeps its index

    EXPECT_TRUE(Sound_Replace(0, "sounds/beep.wav", kSoundNormal, false));
    EXPECT_FALSE(Sound_Replace(9, "sounds/beep.wav", kSoundNormal, false));
    EXPECT_TRUE(Sound_Delete(2));
    EXPECT_FALSE(Sound_Exists(2));
    EXPECT_STREQ(Sound_GetName(2), "<undefined>");
}

TEST_F(LegacySound, NoAudioAnswersFalse) {
    g_Switches.audioOff = true;
    SND_Play("tone.wav", 0, false);
    EXPECT_FALSE(SND_IsPlaying("tone.wav", 0));
    EXPECT_EQ(SND_AllocSlot(kSoundNormal), -1);
    g_Switches.audioOff = false;
    EXPECT_FALSE(SND_IsPlaying("tone.wav", 0));
}

}  // namespace
