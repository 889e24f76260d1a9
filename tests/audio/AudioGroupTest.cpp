// Audio groups loaded from their own files on a worker thread, reported to the game once.
#include <AL/al.h>

#include <chrono>
#include <thread>

#include "AudioTestSupport.h"
#include "audio/Audio_Group.h"

using namespace audiotest;

namespace {

formpack::Sound Asset(const std::string& name, int32_t group, int32_t audio) {
    formpack::Sound entry;
    entry.name = name;
    entry.fileName = name + ".wav";
    entry.group = group;
    entry.audio = audio;
    return entry;
}

std::vector<uint8_t> Tone() {
    return MakeWav(Sine(441.0, 44100, 4410), 44100, 1);
}

void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(TempFolder() + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class AudioGroups : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        // Asset 0 lives in the data file; assets 1 to 3 in audiogroup1.dat.
        m_file = BuildSoundFile(
            {Asset("snd_main", 0, 0), Asset("snd_a", 1, 0), Asset("snd_b", 1, 1), Asset("snd_c", 1, 2)},
            {Tone()}, {"audiogroup_default", "music"});
        std::filesystem::remove(TempFolder() + "audiogroup1.dat");
    }

    void TearDown() override {
        LoopbackTest::TearDown();
        std::filesystem::remove(TempFolder() + "audiogroup1.dat");
    }

    void Start() {
        Audio_SetEngineEnabled(true);
        ASSERT_TRUE(Audio_Load(m_file.sond));
        ASSERT_TRUE(AudioGroup_Load(m_file.agrp));
        ASSERT_TRUE(Audio_WAVs(m_file.audo, 0));
        SND_Init();
        Audio_PrepareAll();
        TakeConsole();
    }

    // Ticks until the group is loaded (at most about two seconds).
    bool TickUntilLoaded(int32_t g) {
        for (int i = 0; i < 400 && !CAudioGroupManager::IsLoaded(g); ++i) {
            SND_Tick();
            if (!CAudioGroupManager::IsLoaded(g)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return CAudioGroupManager::IsLoaded(g);
    }

    SoundFile m_file;
};

TEST_F(AudioGroups, AGroupFileLoadsOnceAndIsReportedOnce) {
    WriteFile("audiogroup1.dat", formpack::BuildAudioGroupFile({Tone(), Tone(), Tone()}));
    Start();
    EXPECT_EQ(CAudioGroupManager::GetProgress(1), 0.0);
    ASSERT_TRUE(CAudioGroupManager::Load(1));
    EXPECT_FALSE(CAudioGroupManager::Load(1));  // already loading
    EXPECT_FALSE(CAudioGroupManager::IsLoaded(1));
    EXPECT_EQ(Audio_PlaySimpleSound(1, 1.0, 0), -1);
    EXPECT_NE(TakeConsole().find("snd_a: Audio Group 1 is not loaded\n"), std::string::npos);

    ASSERT_TRUE(TickUntilLoaded(1));
    for (int i = 0; i < 3; ++i) SND_Tick();
    ASSERT_EQ(AsyncPosts().size(), 1u);
    EXPECT_EQ(AsyncPosts()[0].subtype, 72);
    EXPECT_EQ(AsyncPosts()[0].texts, (std::map<std::string, std::string>{{"type", "audiogroup_load"}}));
    EXPECT_EQ(AsyncPosts()[0].reals, (std::map<std::string, double>{{"group_id", 1.0}}));
    EXPECT_EQ(CAudioGroupManager::GetProgress(1), 100.0);
    EXPECT_EQ(CAudioGroupManager::Get(1)->preparedCount, 3);
    EXPECT_NE(TakeConsole().find("Audio group 1 -> Loaded\n"), std::string::npos);
    EXPECT_FALSE(CAudioGroupManager::Load(1));
    EXPECT_GT(Audio_PlaySimpleSound(2, 1.0, 0), kAudioPlayIdBase);
    EXPECT_GT(Peak(Render(2205), 500), 1000);
}

TEST_F(AudioGroups, GroupZeroIsAlwaysLoadedAndUnknownGroupsAreNot) {
    Start();
    EXPECT_FALSE(CAudioGroupManager::Load(0));
    EXPECT_FALSE(CAudioGroupManager::Unload(0));
    EXPECT_TRUE(CAudioGroupManager::IsLoaded(0));
    EXPECT_EQ(CAudioGroupManager::GetProgress(0), 100.0);
    for (int32_t g : {-1, 2, 99}) {
        EXPECT_FALSE(CAudioGroupManager::Load(g)) << g;
        EXPECT_FALSE(CAudioGroupManager::IsLoaded(g)) << g;
        EXPECT_EQ(CAudioGroupManager::GetProgress(g), 0.0) << g;
    }
    EXPECT_STREQ(CAudioGroupManager::GetName(1), "music");
    EXPECT_STREQ(CAudioGroupManager::GetName(5), "<undefined>");
    EXPECT_TRUE(AsyncPosts().empty());
}

TEST_F(AudioGroups, FilesThatAreNotGroupFilesAreRefused) {
    const std::vector<uint8_t> good = formpack::BuildAudioGroupFile({Tone(), Tone(), Tone()});
    auto withLength = [&](uint32_t length) {
        std::vector<uint8_t> bytes = good;
        std::memcpy(&bytes[12], &length, 4);
        return bytes;
    };
    std::vector<uint8_t> renamed = good;
    std::memcpy(&renamed[8], "SOND", 4);
    // The chunk fits the file, but its last entry runs past it.
    std::vector<uint8_t> cut(good.begin(), good.end() - 100);
    const uint32_t cutLength = uint32_t(cut.size() - 16);
    std::memcpy(&cut[12], &cutLength, 4);
    struct Case {
        const char* what;
        std::optional<std::vector<uint8_t>> bytes;
        const char* message;
    };
    const Case cases[] = {
        {"missing", std::nullopt, "Failed to load audiogroup1.dat\n"},
        {"short", std::vector<uint8_t>(good.begin(), good.begin() + 12),
         "Format error loading audiogroup1.dat\n"},
        {"not AUDO", renamed, "Format error loading audiogroup1.dat\n"},
        {"empty chunk", withLength(0), "Format error loading audiogroup1.dat\n"},
        {"chunk past the end", withLength(uint32_t(good.size())), "Format error loading audiogroup1.dat\n"},
        {"entry past the end", cut, "Format error loading audiogroup1.dat\n"},
    };
    Start();
    for (const Case& c : cases) {
        std::filesystem::remove(TempFolder() + "audiogroup1.dat");
        if (c.bytes) WriteFile("audiogroup1.dat", *c.bytes);
        TakeConsole();
        EXPECT_FALSE(CAudioGroupManager::Load(1)) << c.what;
        const std::string console = TakeConsole();
        EXPECT_NE(console.find(c.message), std::string::npos) << c.what << ": " << console;
        EXPECT_EQ(console.find("Audio group 1 ->"), std::string::npos) << c.what;
        EXPECT_EQ(CAudioGroupManager::Get(1)->state, kAudioGroupUnloaded) << c.what;
        EXPECT_EQ(CAudioGroupManager::Get(1)->fileData, nullptr) << c.what;
    }
}

TEST_F(AudioGroups, UnloadingWaitsForTheGroupsVoices) {
    WriteFile("audiogroup1.dat", formpack::BuildAudioGroupFile({Tone(), Tone(), Tone()}));
    Start();
    ASSERT_TRUE(CAudioGroupManager::Load(1));
    ASSERT_TRUE(TickUntilLoaded(1));
    const int32_t id = Audio_PlaySimpleSound(1, 1.0, 1);
    ASSERT_GT(id, kAudioPlayIdBase);
    ASSERT_TRUE(CAudioGroupManager::Unload(1));
    EXPECT_FALSE(CAudioGroupManager::Unload(1));
    EXPECT_EQ(Audio_FindVoice(id), nullptr);  // softly stopped
    SND_Tick();                               // the voice stops and is released
    EXPECT_TRUE(Audio_GroupHasNoVoices(1));
    EXPECT_NE(CAudioGroupManager::Get(1)->state, kAudioGroupLoaded);
    SND_Tick();
    EXPECT_EQ(CAudioGroupManager::Get(1)->state, kAudioGroupUnloaded);
    EXPECT_FALSE(Audio_GetSound(1)->HasBuffer());
    EXPECT_EQ(Audio_GetSound(1)->audioData, nullptr);
    EXPECT_TRUE(Audio_GetSound(0)->HasBuffer());

    // Loaded again, the group plays again.
    ASSERT_TRUE(CAudioGroupManager::Load(1));
    ASSERT_TRUE(TickUntilLoaded(1));
    EXPECT_GT(Audio_PlaySimpleSound(1, 1.0, 0), kAudioPlayIdBase);
    EXPECT_EQ(AsyncPosts().size(), 2u);
}

TEST_F(AudioGroups, GroupWideGainAndStop) {
    WriteFile("audiogroup1.dat", formpack::BuildAudioGroupFile({Tone(), Tone(), Tone()}));
    Start();
    ASSERT_TRUE(CAudioGroupManager::Load(1));
    ASSERT_TRUE(TickUntilLoaded(1));
    Audio_SetGroupGain(1, 0.5f, 0);
    for (int32_t sound : {1, 2, 3}) EXPECT_FLOAT_EQ(Audio_GetSound(sound)->gain, 0.5f);
    EXPECT_FLOAT_EQ(Audio_GetSound(0)->gain, 1.0f);
    const int32_t main = Audio_PlaySimpleSound(0, 1.0, 1);
    const int32_t other = Audio_PlaySimpleSound(3, 1.0, 1);
    Audio_StopGroup(1);
    EXPECT_EQ(Audio_FindVoice(other), nullptr);
    EXPECT_NE(Audio_FindVoice(main), nullptr);
}

TEST_F(AudioGroups, QuittingDuringALoadWaitsForTheWorker) {
    WriteFile("audiogroup1.dat", formpack::BuildAudioGroupFile({Tone(), Tone(), Tone()}));
    Start();
    ASSERT_TRUE(CAudioGroupManager::Load(1));
    SND_Quit();  // joins the worker before the group and its sounds go
    EXPECT_EQ(CAudioGroupManager::Count(), 0);
}

}  // namespace
