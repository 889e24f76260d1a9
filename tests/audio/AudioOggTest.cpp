// Ogg Vorbis sounds on the loopback device: decoding threads feeding voices, seamless loops,
// commands handed over between passes, and whole-file decoding at load.
#include <AL/al.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "AudioTestSupport.h"
#include "audio/Audio_Control.h"

using namespace audiotest;

namespace {

formpack::Sound OggEntry(const std::string& name, uint32_t flags, uint32_t audioIndex,
                         const std::string& file) {
    formpack::Sound entry;
    entry.name = name;
    entry.flags = flags;
    entry.type = ".ogg";
    entry.fileName = file;
    entry.audio = audioIndex;
    return entry;
}

constexpr uint32_t kStreamed = 1;
constexpr uint32_t kCompressed = 102;
constexpr uint32_t kDecodeOnLoad = 103;

std::string ToneOgg() {
    static const std::string path = Sox("tone440.ogg", "-r 44100 -c 1", "synth 1 sine 440 vol 0.5");
    return path;
}

// The longest run of samples that the mixer's dither alone could give.
size_t LongestSilence(const std::vector<int16_t>& samples, size_t from) {
    size_t longest = 0, run = 0;
    for (size_t i = from; i < samples.size(); ++i) {
        run = std::abs(int32_t(samples[i])) <= kSilence ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

int32_t LargestStep(const std::vector<int16_t>& samples, size_t from) {
    int32_t largest = 0;
    for (size_t i = from + 1; i < samples.size(); ++i)
        largest = std::max(largest, std::abs(int32_t(samples[i]) - samples[i - 1]));
    return largest;
}

ALint SourceState(int32_t playId) {
    const CAudioVoice* voice = Audio_FindVoice(playId);
    ALint state = 0;
    if (voice) alGetSourcei(Audio_GetSource(voice->sourceIndex), AL_SOURCE_STATE, &state);
    return state;
}

class AudioOgg : public LoopbackTest {};

// Compressed data in memory and a file streamed from the bundle loop the same way: the decoder
// goes back to the start inside the buffer it is filling, so the seam has no gap and no jump.
TEST_F(AudioOgg, LoopedOggHasNoSeam) {
    ASSERT_FALSE(ToneOgg().empty());
    for (uint32_t flags : {kCompressed, kStreamed}) {
        SCOPED_TRACE(flags);
        const SoundFile file =
            BuildSoundFile({OggEntry("snd_loop", flags, 0, "tone440.ogg")}, {ReadBytes(ToneOgg())});
        StartEngine(file);
        const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
        ASSERT_GT(id, 0);
        const std::vector<int16_t> left = Channel(Render(kRate * 23 / 10));
        SND_Tick();

        const size_t start = 2048;  // past the mixer's start-up latency
        EXPECT_NEAR(MeasureFrequency(left, kRate), 440.0, 0.2);
        EXPECT_LT(LongestSilence(left, start), 4u);
        const double steepest = 2.0 * M_PI * 440.0 / kRate * Peak(left, start);
        EXPECT_LT(LargestStep(left, start), steepest * 1.25);
        EXPECT_TRUE(Audio_IsPlaying(id));
        EXPECT_NEAR(Audio_SoundLength(0), 1.0, 1e-6);
        // Two loops in, the position reads the time into the current loop.
        EXPECT_NEAR(Audio_GetTrackPos(id), 0.3, 0.1);
        SND_Quit();
    }
}

TEST_F(AudioOgg, DecodingThreadsFeedTheVoiceOnTheirOwn) {
    ASSERT_FALSE(ToneOgg().empty());
    COggAudio::SetManualPasses(false);
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_tone", kCompressed, 0, "tone440.ogg")}, {ReadBytes(ToneOgg())});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 0);
    std::vector<int16_t> left;
    for (int32_t block = 0; block < 40; ++block) {
        std::this_thread::sleep_for(std::chrono::milliseconds(6));  // the threads run every 16 ms
        std::vector<int16_t> out(1024);
        m_device.Render(out.data(), 512);
        const std::vector<int16_t> part = Channel(out);
        left.insert(left.end(), part.begin(), part.end());
    }
    EXPECT_NEAR(MeasureFrequency(left, kRate), 440.0, 0.5);
    EXPECT_TRUE(Audio_IsPlaying(id));
}

TEST_F(AudioOgg, DecompressOggMakesOneFramePerSampleThatSoxCounts) {
    struct Case {
        const char* name;
        const char* format;
        int32_t channels, rate;
    };
    for (const Case& c :
         {Case{"mono.ogg", "-r 22050 -c 1", 1, 22050}, Case{"stereo.ogg", "-r 44100 -c 2", 2, 44100}}) {
        SCOPED_TRACE(c.name);
        const std::string path = Sox(c.name, c.format, "synth 0.73 sine 330");
        ASSERT_FALSE(path.empty());
        const SoundFile file = BuildSoundFile({OggEntry("snd", kDecodeOnLoad, 0, c.name)}, {ReadBytes(path)});
        StartEngine(file);
        const CAudioSound* sound = Audio_GetSound(0);
        ASSERT_GT(sound->alBuffer, 0);
        ALint size = 0, channels = 0, frequency = 0;
        alGetBufferi(sound->alBuffer, AL_SIZE, &size);
        alGetBufferi(sound->alBuffer, AL_CHANNELS, &channels);
        alGetBufferi(sound->alBuffer, AL_FREQUENCY, &frequency);
        EXPECT_EQ(size / (2 * c.channels), SoxiFrames(path));
        EXPECT_EQ(channels, c.channels);
        EXPECT_EQ(frequency, c.rate);
        EXPECT_NE(TakeConsole().find(std::string("Decoding ogg ") + c.name + " ...\n"), std::string::npos);
        EXPECT_NEAR(Audio_SoundLength(0), SoxiFrames(path) / double(c.rate), 1e-4);
        SND_Quit();
    }
}

std::string EmptyOgg() {
    static const std::string path = Sox("empty.ogg", "-r 22050 -c 1", "trim 0 0");
    return path;
}

TEST_F(AudioOgg, DataThatCannotBeDecodedGivesNoBuffer) {
    const std::string surround = Sox("surround.ogg", "-r 22050 -c 6", "synth 0.2 sine 330");
    ASSERT_FALSE(surround.empty());
    ASSERT_FALSE(EmptyOgg().empty());
    ASSERT_EQ(SoxiFrames(EmptyOgg()), 0);
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_garbage", kDecodeOnLoad, 0, "garbage.ogg"),
                        OggEntry("snd_surround", kDecodeOnLoad, 1, "surround.ogg"),
                        OggEntry("snd_empty", kDecodeOnLoad, 2, "empty.ogg")},
                       {std::vector<uint8_t>(300, 0x5A), ReadBytes(surround), ReadBytes(EmptyOgg())});
    StartEngine(file);
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(Audio_GetSound(i)->alBuffer, 0) << i;
    const std::string console = TakeConsole();
    EXPECT_NE(console.find("opening ogg stream for garbage.ogg\n"), std::string::npos);
    EXPECT_NE(console.find("Ogg stream with 6 channels is not supported\n"), std::string::npos);
    EXPECT_NE(console.find("Error 0 opening ogg stream for empty.ogg\n"), std::string::npos);
    EXPECT_EQ(Audio_PlaySimpleSound(1, 1.0, 0) > 0, true);  // a play id, but nothing sounds
    EXPECT_FALSE(Audio_IsPlaying(1));
}

// A looping stream that gives no samples even from its start ends instead of rewinding for ever.
TEST_F(AudioOgg, LoopingAnEmptyOggEnds) {
    ASSERT_FALSE(EmptyOgg().empty());
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_empty", kCompressed, 0, "empty.ogg")}, {ReadBytes(EmptyOgg())});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
    const CAudioVoice* voice = Audio_FindVoice(id);
    ASSERT_NE(voice, nullptr);
    Frame();
    EXPECT_FALSE(voice->active);
    EXPECT_EQ(Audio_SoundLength(0), 0.0);
}

TEST_F(AudioOgg, CorruptOggIsLoggedByItsThreadAndItsVoiceReleased) {
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_bad", kCompressed, 0, "bad.ogg")}, {std::vector<uint8_t>(500, 7)});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
    const CAudioVoice* voice = Audio_FindVoice(id);
    ASSERT_NE(voice, nullptr);
    EXPECT_TRUE(Audio_IsPlaying(id));  // an Ogg voice counts as playing until its channel reports
    TakeConsole();
    Frame();
    EXPECT_NE(TakeConsole().find("(0): ov_open_callbacks error "), std::string::npos);
    EXPECT_FALSE(voice->active);
    EXPECT_FALSE(Audio_IsPlaying(id));
}

TEST_F(AudioOgg, StopInTheSameFrameAsPlayReplacesIt) {
    ASSERT_FALSE(ToneOgg().empty());
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_tone", kCompressed, 0, "tone440.ogg")}, {ReadBytes(ToneOgg())});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 0);
    const CAudioVoice* voice = Audio_FindVoice(id);
    Audio_StopVoice(Audio_FindVoice(id), true);
    EXPECT_TRUE(voice->stopping);
    EXPECT_LE(Peak(Channel(Frame())), kSilence);
    EXPECT_FALSE(voice->active);
}

TEST_F(AudioOgg, PausedOggVoiceStaysPausedWhereItIsMoved) {
    ASSERT_FALSE(ToneOgg().empty());
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_tone", kCompressed, 0, "tone440.ogg")}, {ReadBytes(ToneOgg())});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 0);
    Render(kRate / 5);
    Audio_PauseSound(id);
    EXPECT_TRUE(Audio_IsPaused(id));
    Audio_SetTrackPosition(id, 0.6);
    const std::vector<int16_t> paused = Channel(Render(4096));
    EXPECT_TRUE(Audio_IsPaused(id));
    EXPECT_LE(Peak(paused, 1024), kSilence);
    EXPECT_NEAR(Audio_GetTrackPos(id), 0.6, 0.01);

    Audio_ResumeSound(id);
    EXPECT_GT(Peak(Channel(Render(kRate / 10))), 4000);
    EXPECT_NEAR(Audio_GetTrackPos(id), 0.7, 0.02);
}

// Paused before its thread has taken the play: it starts paused, as the game asked.
TEST_F(AudioOgg, PauseBeforeTheThreadStartsTheVoiceHoldsIt) {
    ASSERT_FALSE(ToneOgg().empty());
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_tone", kCompressed, 0, "tone440.ogg")}, {ReadBytes(ToneOgg())});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 0);
    Audio_PauseSound(id);
    EXPECT_LE(Peak(Channel(Render(4096))), kSilence);
    EXPECT_EQ(SourceState(id), AL_PAUSED);
    Audio_ResumeSound(id);
    EXPECT_GT(Peak(Channel(Render(4096))), 4000);
}

TEST_F(AudioOgg, StreamedSoundWithoutItsFileIsNotStarted) {
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_gone", kStreamed, 0, "missing.ogg")}, {std::vector<uint8_t>(8, 0)});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 0);
    EXPECT_GT(id, kAudioPlayIdBase);
    EXPECT_NE(TakeConsole().find("COggAudio::PlaySound- could not find audio file for sound missing.ogg\n"),
              std::string::npos);
    EXPECT_FALSE(Audio_IsPlaying(id));
    EXPECT_EQ(Audio_SoundLength(0), -1.0);
    EXPECT_NE(TakeConsole().find("can't find file for missing.ogg at "), std::string::npos);
}

TEST_F(AudioOgg, PositionOfASoundWithoutLengthIsTheRawPosition) {
    ASSERT_FALSE(ToneOgg().empty());
    const SoundFile file =
        BuildSoundFile({OggEntry("snd_tone", kCompressed, 0, "tone440.ogg")}, {ReadBytes(ToneOgg())});
    StartEngine(file);
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 1);
    Render(kRate / 2);
    EXPECT_NEAR(Audio_GetTrackPos(id), 0.5, 0.02);
    Audio_GetSound(0)->length = 0.0f;  // as a stream whose total the decoder cannot tell reads
    const double position = Audio_GetTrackPos(id);
    EXPECT_FALSE(std::isnan(position));
    EXPECT_NEAR(position, 0.5, 0.02);
}

}  // namespace
