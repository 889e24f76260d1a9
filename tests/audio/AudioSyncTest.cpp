// Sync groups: members mixed in lock-step on the group's own source, passes stepped by hand.
#include <AL/al.h>

#include "AudioTestSupport.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Sync.h"

using namespace audiotest;

namespace {

formpack::Sound Asset(const std::string& name, int32_t flags) {
    formpack::Sound entry;
    entry.name = name;
    entry.flags = flags;
    entry.fileName = name + ".ogg";
    return entry;
}

std::vector<uint8_t> Bytes(const std::string& path) {
    EXPECT_FALSE(path.empty());
    return ReadBytes(path);
}

TEST(SyncMix, MembersAddUpAndClampAtFullScale) {
    const int16_t full[4] = {32767, -32767, 20000, -20000};
    int16_t mix[4] = {};
    OggSync_Mix(mix, full, sizeof full, 1.0f, 1.0f);
    OggSync_Mix(mix, full, sizeof full, 1.0f, 1.0f);
    EXPECT_EQ(mix[0], 32767);
    EXPECT_EQ(mix[1], -32767);
    EXPECT_EQ(mix[2], 32767);
    EXPECT_EQ(mix[3], -32767);

    // -32768 is never produced, and a ramp runs from the first gain towards the second.
    const int16_t lowest[2] = {-32768, -32768};
    int16_t ramp[2] = {};
    OggSync_Mix(ramp, lowest, sizeof lowest, 1.0f, 0.0f);
    EXPECT_EQ(ramp[0], -32767);
    EXPECT_EQ(ramp[1], -16384);
}

formpack::Sound WithAudio(formpack::Sound sound, int32_t audio) {
    sound.audio = audio;
    return sound;
}

class AudioSync : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        const std::string loud = Sox("full.ogg", "-r 44100 -c 2", "synth 1 square 441 vol 0.9");
        const std::string mono = Sox("mono.ogg", "-r 44100 -c 1", "synth 1 sine 441 vol 0.5");
        m_file = BuildSoundFile({WithAudio(Asset("snd_a", 102), 0), WithAudio(Asset("full", 1), 0),
                                 WithAudio(Asset("snd_wav", 0), 1), WithAudio(Asset("snd_mono", 102), 2)},
                                {Bytes(loud), MakeWav(Sine(441.0, kRate, 4410), kRate, 1), Bytes(mono)});
        StartEngine(m_file);
        TakeConsole();
    }
    SoundFile m_file;
};

TEST_F(AudioSync, TwoFullScaleMembersPlayMixedAndClamped) {
    const int32_t group = Audio_CreateSyncGroup(true);
    EXPECT_EQ(group, 0);
    EXPECT_EQ(Audio_PlayInSyncGroup(group, 0), 0);
    EXPECT_EQ(Audio_PlayInSyncGroup(group, 1), 1);  // streamed from full.ogg in the bundle
    EXPECT_FALSE(Audio_SyncGroupIsPlaying(group));
    Audio_StartSyncGroup(group);
    EXPECT_TRUE(Audio_SyncGroupIsPlaying(group));
    std::vector<int16_t> out;
    for (int i = 0; i < 4; ++i) {
        const std::vector<int16_t> frame = Frame();
        out.insert(out.end(), frame.begin(), frame.end());
    }
    // Two square waves of 0.9 add up past full scale: the mix holds at 32767 and -32767.
    int32_t high = 0, low = 0;
    for (int16_t s : out) {
        high = std::max<int32_t>(high, s);
        low = std::min<int32_t>(low, s);
    }
    EXPECT_GE(high, 32700);
    EXPECT_LE(low, -32700);
    EXPECT_GT(Audio_GetSyncGroupPosition(group), 0.0);

    Audio_StopSyncGroup(group);
    EXPECT_FALSE(Audio_SyncGroupIsPlaying(group));
    Frame();
    EXPECT_LE(Peak(Frame()), kSilence);
    Audio_DestroySyncGroup(group);
    EXPECT_FALSE(Audio_SyncGroupExists(group));
    EXPECT_EQ(Audio_CreateSyncGroup(false), 0);  // the id is reused
}

TEST_F(AudioSync, MembersAreCheckedAsTheyJoin) {
    const int32_t group = Audio_CreateSyncGroup(true);
    EXPECT_EQ(Audio_PlayInSyncGroup(group, 2), -1);
    EXPECT_EQ(TakeConsole(), "Error: cannot play uncompressed sounds in a sync group\n");
    EXPECT_EQ(Audio_PlayInSyncGroup(group, 9), -1);
    EXPECT_EQ(TakeConsole(), "Error: no sound exists for soundid 9\n");
    EXPECT_EQ(Audio_PlayInSyncGroup(5, 0), 0);  // an unknown group
    EXPECT_EQ(Audio_GetSyncGroupPosition(5), -1.0);
    EXPECT_EQ(Audio_GetSyncGroupPosition(-1), -1.0);

    // 128 channels over four decoding threads: 32 members.
    EXPECT_EQ(Audio_SyncGroupCapacity(group), 32);
    for (int32_t i = 0; i < 32; ++i) EXPECT_EQ(Audio_PlayInSyncGroup(group, 0), i);
    EXPECT_EQ(Audio_PlayInSyncGroup(group, 0), 32);
    EXPECT_EQ(TakeConsole(), "Too many sounds added to sync group, not adding this one.\n");

    const int32_t empty = Audio_CreateSyncGroup(true);
    Audio_StartSyncGroup(empty);
    EXPECT_FALSE(Audio_SyncGroupIsPlaying(empty));
}

TEST_F(AudioSync, AMemberOfAnotherLayoutIsNotMixed) {
    const int32_t group = Audio_CreateSyncGroup(true);
    Audio_PlayInSyncGroup(group, 0);  // stereo
    Audio_PlayInSyncGroup(group, 3);  // mono
    Audio_StartSyncGroup(group);
    Frame();
    EXPECT_NE(TakeConsole().find("sync group member 1 cannot be mixed with the first, not playing it\n"),
              std::string::npos);
    EXPECT_TRUE(Audio_SyncGroupExists(group));
    EXPECT_GT(Peak(Frame()), 20000);
}

TEST_F(AudioSync, AGroupWhoseStreamCannotOpenIsRemovedAtTheNextTick) {
    const int32_t group = Audio_CreateSyncGroup(true);
    Audio_PlayInSyncGroup(group, 1);
    std::filesystem::remove(TempFolder() + "full.ogg");
    Audio_StartSyncGroup(group);
    Frame();  // the pass fails the group ...
    Frame();  // ... and the tick removes it
    EXPECT_FALSE(Audio_SyncGroupExists(group));
    EXPECT_NE(TakeConsole().find("(0): failed to open stream file!"), std::string::npos);
}

}  // namespace
