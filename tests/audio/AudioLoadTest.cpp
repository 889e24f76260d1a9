// The sound chunks as the data-file loader hands them over: the options choose the audio
// engine or the legacy layer, and a bad chunk fails the load with its name. Files come from
// formpack, from records and from a manifest.
#include "AudioTestSupport.h"
#include "audio/Audio_Chunks.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Group.h"
#include "core/Code_Constant.h"
#include "core/Value.h"
#include "formpack/Manifest.h"
#include "base/GameFile.h"
#include "base/GameOptions.h"
#include "base/LoadGame.h"

using namespace audiotest;

namespace {

constexpr uint32_t kNewAudioFlag = 4;

// The group word is the audio group for the engine and the preload flag for the legacy layer.
formpack::Sound Asset(const std::string& name, int32_t audio, bool newAudio) {
    formpack::Sound sound;
    sound.name = name;
    sound.fileName = name + ".wav";
    sound.audio = audio;
    sound.group = newAudio ? 0 : 1;
    return sound;
}

formpack::FormFile Game(bool newAudio) {
    formpack::FormFile file;
    file.options.emplace().flags = newAudio ? kNewAudioFlag : 0;
    file.sounds = {Asset("snd_tone", 0, newAudio), std::nullopt, Asset("snd_beep", 1, newAudio)};
    file.audioGroups = std::vector<std::string>{"audiogroup_default"};
    file.audio = {MakeWav(Sine(440.0, 44100, 4410), 44100, 1), MakeWav(Sine(880.0, 22050, 2205), 22050, 1)};
    return file;
}

class AudioLoad : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        Form_Free();
        Form_ResetChunkReaders();
        g_LoaderHooks = LoaderHooks();
        Audio_RegisterChunkReaders();
    }
    void TearDown() override {
        LoopbackTest::TearDown();
        Form_Free();
        Form_ResetChunkReaders();
        for (int t = 0; t < ASSET_TABLE_COUNT; ++t) Asset_SetFinder(AssetTable(t), nullptr);
        g_GameOptions.newAudioEngine = false;
    }

    static bool Load(const std::vector<uint8_t>& bytes) {
        if (bytes.empty() || !Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
        return Form_FirstPass(Form_Base(), Form_Size()) && LoadGameData(Form_Base(), Form_Size());
    }
};

TEST_F(AudioLoad, NewAudioGamesFillTheEngine) {
    ASSERT_TRUE(Load(formpack::Build(Game(true)))) << Form_LoadError();
    EXPECT_TRUE(Audio_UsingNewSystem());
    EXPECT_EQ(Audio_GetAssetCount(), 3);
    EXPECT_EQ(Sound_Count(), 0);
    EXPECT_EQ(CAudioGroupManager::Count(), 1);
    RValue index = RValue_Undefined();
    ASSERT_TRUE(Asset_GetIndexByName("snd_beep", &index));
    EXPECT_EQ(index.val, 2.0);

    SND_Init();
    Audio_PrepareAll();
    EXPECT_NEAR(Audio_SoundLength(2), 0.1, 1e-6);
    const int32_t id = Audio_PlaySimpleSound(Audio_Find("snd_beep"), 1.0, 1);
    EXPECT_NEAR(MeasureFrequency(Channel(Render(kRate / 10)), kRate), 880.0, 0.5);
    EXPECT_TRUE(Audio_IsPlaying(id));
}

TEST_F(AudioLoad, OtherGamesFillTheLegacyTable) {
    ASSERT_TRUE(Load(formpack::Build(Game(false)))) << Form_LoadError();
    EXPECT_FALSE(Audio_UsingNewSystem());
    EXPECT_EQ(Audio_GetAssetCount(), 0);
    EXPECT_EQ(Sound_Count(), 3);
    EXPECT_EQ(CAudioGroupManager::Count(), 0);  // "AGRP" is not read
    RValue index = RValue_Undefined();
    ASSERT_TRUE(Asset_GetIndexByName("snd_tone", &index));
    EXPECT_EQ(index.val, 0.0);
    ASSERT_NE(Sound_Get(2)->waveData, nullptr);

    SND_Init();
    ASSERT_TRUE(Sound_Prepare());
    SND_Play("snd_beep.wav", Sound_Get(2)->GetSoundId(), true);
    EXPECT_NEAR(MeasureFrequency(Channel(Render(kRate / 10)), kRate), 880.0, 0.5);
}

TEST_F(AudioLoad, BadSoundChunkFailsTheLoadByName) {
    for (bool newAudio : {true, false}) {
        std::vector<uint8_t> bytes = formpack::Build(Game(newAudio));
        const AudioChunk sond = FindChunk(bytes, "SOND");
        const uint32_t huge = 0x10000000;
        std::memcpy(&bytes[sond.offset], &huge, 4);
        EXPECT_FALSE(Load(bytes));
        ASSERT_NE(Form_LoadError(), nullptr);
        EXPECT_NE(std::string(Form_LoadError()).find("Bad game data in chunk \"SOND\""), std::string::npos);
        Form_ClearLoadError();
    }
}

TEST_F(AudioLoad, ManifestSoundsBecomeAssetsWithTheirFiles) {
    const std::string folder = TempFolder();
    std::ofstream(folder + "tone.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(MakeWav(Sine(440.0, 44100, 44100), 44100, 1).data()), 88244);
    formpack::FormFile file;
    std::string error;
    ASSERT_TRUE(
        formpack::ParseManifest("options flags=4\n"
                                "audiogroup audiogroup_default\n"
                                "sound snd_tone tone.wav volume=0.5\n"
                                "sound -\n",
                                folder, file, error))
        << error;
    ASSERT_TRUE(Load(formpack::Build(file))) << Form_LoadError();
    ASSERT_EQ(Audio_GetAssetCount(), 2);
    EXPECT_STREQ(Audio_GetAssetName(0), "snd_tone");
    EXPECT_EQ(Audio_GetSound(1), nullptr);
    EXPECT_FLOAT_EQ(Audio_GetSound(0)->gain, 0.5f);
    SND_Init();
    Audio_PrepareAll();
    EXPECT_DOUBLE_EQ(Audio_SoundLength(0), 1.0);

    EXPECT_FALSE(formpack::ParseManifest("sound snd_gone missing.wav\n", folder, file, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

}  // namespace
