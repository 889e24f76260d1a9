// The engine on the loopback device: assets that play what they hold, the voice pool with its
// stealing rules, soft stops, fades and the channel count.
#include <AL/al.h>

#include "AudioTestSupport.h"
#include "audio/Audio_Control.h"

using namespace audiotest;

namespace {

constexpr int32_t kToneFrames = 44100;

formpack::Sound Entry(const std::string& name, uint32_t flags, uint32_t audioIndex,
                      const std::string& file = "tone.wav") {
    formpack::Sound entry;
    entry.name = name;
    entry.flags = flags;
    entry.type = ".wav";
    entry.fileName = file;
    entry.audio = audioIndex;
    return entry;
}

// Asset 0: one second of 440 Hz, mono, at half scale.
SoundFile ToneFile() {
    return BuildSoundFile({Entry("snd_tone", 0, 0)}, {MakeWav(Sine(440.0, 44100, kToneFrames), 44100, 1)});
}

ALint SourceState(const CAudioVoice* voice) {
    ALint state = 0;
    alGetSourcei(Audio_GetSource(voice->sourceIndex), AL_SOURCE_STATE, &state);
    return state;
}

float SourceGain(const CAudioVoice* voice) {
    float gain = -1.0f;
    alGetSourcef(Audio_GetSource(voice->sourceIndex), AL_GAIN, &gain);
    return gain;
}

class AudioEngine : public LoopbackTest {};

TEST_F(AudioEngine, WavAssetHasItsLengthAndPlaysItsTone) {
    const SoundFile file = ToneFile();
    StartEngine(file);
    EXPECT_DOUBLE_EQ(Audio_SoundLength(0), 1.0);

    const int32_t first = Audio_PeekNextPlayId();
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 0);
    EXPECT_EQ(id, first);
    EXPECT_EQ(Audio_PeekNextPlayId(), first + 1);
    EXPECT_TRUE(Audio_IsPlaying(id));
    EXPECT_STREQ(Audio_GetName(id), "snd_tone");

    const std::vector<int16_t> left = Channel(Render(kToneFrames / 2));
    EXPECT_NEAR(MeasureFrequency(left, kRate), 440.0, 0.2);
    EXPECT_GT(Peak(left), 8000);

    // Past its end the source stops; the voice is found free by the next play.
    Render(kToneFrames * 6 / 10);
    EXPECT_FALSE(Audio_IsPlaying(id));
    const int32_t again = Audio_PlaySimpleSound(0, 1.0, 0);
    EXPECT_EQ(again, id + 1);
    EXPECT_EQ(Audio_VoiceCount(), 1);
}

TEST_F(AudioEngine, PlayRefusesWhatCannotPlay) {
    const SoundFile file =
        BuildSoundFile({Entry("snd_tone", 0, 0), Entry("snd_broken", 0, 1)},
                       {MakeWav(Sine(440.0, 44100, 4410), 44100, 1), std::vector<uint8_t>{1, 2, 3}});
    StartEngine(file);
    // An id equal to the asset count names nothing.
    EXPECT_EQ(Audio_PlaySimpleSound(2, 1.0, 0), 0);
    EXPECT_NE(TakeConsole().find("Error: no sound exists for soundid 2\n"), std::string::npos);
    // A WAV image that cannot be read leaves the asset without a buffer: a play id, no voice.
    const int32_t id = Audio_PlaySimpleSound(1, 1.0, 0);
    EXPECT_GT(id, kAudioPlayIdBase);
    EXPECT_FALSE(Audio_IsPlaying(id));
    EXPECT_DOUBLE_EQ(Audio_SoundLength(1), -1.0);
}

TEST_F(AudioEngine, VoiceStealingTakesTheEarliestLowestPriorityBelowTheRequest) {
    const SoundFile file = ToneFile();
    StartEngine(file);
    ASSERT_EQ(Audio_GetChannelCount(), 128);
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < 128; ++i)
        ids.push_back(Audio_PlaySimpleSound(0, (i == 40 || i == 90) ? 3.0 : 5.0, 1));
    EXPECT_EQ(Audio_VoiceCount(), 128);

    struct Case {
        double priority;
        int32_t stolenVoice;  // -1: refused
    };
    // Equal priority is never stolen; voices 40 and 90 are the lowest, 40 comes first (and a
    // voice taken over gets the request's priority).
    for (const Case& c :
         {Case{3.0, -1}, Case{4.0, 40}, Case{4.0, 90}, Case{4.0, -1}, Case{5.0, 40}, Case{6.0, 90}}) {
        SCOPED_TRACE(c.priority);
        const int32_t id = Audio_PlaySimpleSound(0, c.priority, 1);
        if (c.stolenVoice < 0) {
            EXPECT_EQ(id, -1);
            continue;
        }
        ASSERT_GT(id, 0);
        EXPECT_EQ(Audio_FindVoice(id), Audio_GetVoice(c.stolenVoice));
        EXPECT_EQ(Audio_FindVoice(ids[c.stolenVoice]), nullptr);
        EXPECT_EQ(SourceState(Audio_GetVoice(c.stolenVoice)), AL_PLAYING);
    }
}

TEST_F(AudioEngine, PlainRequestsNeverStealOggVoices) {
    const std::string ogg = Sox("steal.ogg", "-r 22050 -c 1", "synth 0.5 sine 300");
    ASSERT_FALSE(ogg.empty());
    const SoundFile file = BuildSoundFile({Entry("snd_tone", 0, 0), Entry("snd_ogg", 102, 1, "steal.ogg")},
                                          {MakeWav(Sine(440.0, 44100, 4410), 44100, 1), ReadBytes(ogg)});
    StartEngine(file);
    for (int32_t i = 0; i < 128; ++i) ASSERT_GT(Audio_PlaySimpleSound(1, 1.0, 1), 0);

    EXPECT_EQ(Audio_PlaySimpleSound(0, 10.0, 0), -1);
    const int32_t stolen = Audio_PlaySimpleSound(1, 10.0, 1);
    ASSERT_GT(stolen, 0);
    EXPECT_EQ(Audio_FindVoice(stolen), Audio_GetVoice(0));
}

TEST_F(AudioEngine, SoftStopSilencesAtOnceAndStopsOnTheNextTick) {
    const SoundFile file = ToneFile();
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
    EXPECT_GT(Peak(Channel(Render(2048))), 8000);
    CAudioVoice* voice = Audio_FindVoice(id);
    ASSERT_NE(voice, nullptr);

    Audio_StopSound(id);
    EXPECT_EQ(Audio_FindVoice(id), nullptr);  // the play id no longer resolves
    EXPECT_EQ(SourceGain(voice), 0.0f);
    Audio_StopSound(0);  // a second stop does not restart the countdown
    EXPECT_EQ(voice->stopCountdown, 1);
    // OpenAL glides to a new gain within one mix block; after that there is silence.
    const std::vector<int16_t> after = Channel(Render(4096, 256));
    EXPECT_LE(Peak(after, 512), kSilence);
    EXPECT_EQ(SourceState(voice), AL_PLAYING);

    SND_Tick();
    EXPECT_EQ(SourceState(voice), AL_STOPPED);
    EXPECT_FALSE(voice->active);
    // A stopped voice is reused for the next play.
    const int32_t next = Audio_PlaySimpleSound(0, 1.0, 0);
    EXPECT_EQ(Audio_FindVoice(next), voice);
}

TEST_F(AudioEngine, SoundFadeIsLinearOverItsTicks) {
    const SoundFile file = ToneFile();
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
    const CAudioVoice* voice = Audio_FindVoice(id);
    const int32_t fullPeak = Peak(Channel(Frame()));

    Audio_SoundGain(0, 0.0f, 1000);  // 30 frames at 30 per second
    const float step = static_cast<float>(-1.0 / 30);
    float expected = 1.0f;
    for (int32_t tick = 1; tick <= 32; ++tick) {
        const std::vector<int16_t> left = Channel(Frame());
        if (tick <= 30) expected = std::max(0.0f, static_cast<float>(double(expected) + step));
        ASSERT_FLOAT_EQ(static_cast<float>(Audio_GetGain(0)), expected) << "tick " << tick;
        EXPECT_FLOAT_EQ(SourceGain(voice), expected);
        // The level of the next frame follows the gain set at this tick.
        if (tick < 30) {
            const std::vector<int16_t> next = Channel(Render(1470, 256));
            EXPECT_NEAR(Peak(next, 512) / double(fullPeak), expected, 0.02) << "tick " << tick;
        }
    }
    EXPECT_EQ(Audio_GetGain(0), 0.0);
}

TEST_F(AudioEngine, FadeLengthFollowsTheFrameRate) {
    struct Case {
        int32_t fps, milliseconds, ticks;
    };
    for (const Case& c :
         {Case{30, 1000, 30}, Case{1000, 1000, 1000}, Case{30, 0, 1}, Case{0, 1000, 1}, Case{2000, 5, 5}}) {
        TestFramesPerSecond() = c.fps;
        EXPECT_EQ(Audio_FadeTicks(c.milliseconds), c.ticks) << c.fps << " fps, " << c.milliseconds << " ms";
    }
}

TEST_F(AudioEngine, GainOfTheCurrentValueWithoutFadeTouchesNothing) {
    const SoundFile file = ToneFile();
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
    const CAudioVoice* voice = Audio_FindVoice(id);
    alSourcef(Audio_GetSource(voice->sourceIndex), AL_GAIN, 0.25f);
    Audio_SoundGain(0, 1.0f, 0);
    EXPECT_FLOAT_EQ(SourceGain(voice), 0.25f);
    Audio_SoundGain(0, 0.5f, 0);  // a new value is applied at once
    EXPECT_FLOAT_EQ(SourceGain(voice), 0.5f);
    Audio_SoundGain(id, -3.0f, 0);  // negative targets become 0
    EXPECT_FLOAT_EQ(SourceGain(voice), 0.0f);
}

TEST_F(AudioEngine, ChannelCountRoundsUpAndKeepsThePoolWhenOpenAlRefuses) {
    const SoundFile file = ToneFile();
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
    Audio_SetChannelCount(128);  // the current count: nothing stops
    EXPECT_TRUE(Audio_IsPlaying(id));
    EXPECT_EQ(TakeConsole().find("Audio setting channel count"), std::string::npos);

    struct Case {
        int32_t asked, got;
    };
    for (const Case& c : {Case{5, 8}, Case{1, 4}, Case{3, 4}, Case{128, 128}}) {
        Audio_SetChannelCount(c.asked);
        EXPECT_EQ(Audio_GetChannelCount(), c.got) << c.asked;
    }
    EXPECT_FALSE(Audio_IsPlaying(id));

    // More sources than the context holds: the pool is rebuilt at its old size.
    Audio_SetChannelCount(100000);
    EXPECT_NE(TakeConsole().find("Error creating audio sources"), std::string::npos);
    EXPECT_EQ(Audio_GetChannelCount(), 128);
    const int32_t next = Audio_PlaySimpleSound(0, 1.0, 0);
    EXPECT_GT(next, id);  // play ids keep growing across rebuilds
    EXPECT_TRUE(Audio_IsPlaying(next));
}

}  // namespace
