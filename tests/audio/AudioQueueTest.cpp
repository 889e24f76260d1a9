// Play queues (Other event 74), recording through a synthetic capture device (Other event 73)
// and Ogg files streamed from the save area or the bundle.
#include <AL/al.h>

#include "AudioTestSupport.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Queue.h"
#include "platform/AudioCapture.h"

using namespace audiotest;

namespace {

std::map<int32_t, std::vector<uint8_t>> g_buffers;
std::map<int32_t, int32_t> g_inUse;
std::string g_shownError;

bool BufferBytes(int32_t id, const uint8_t** data, uint32_t* used) {
    auto it = g_buffers.find(id);
    if (it == g_buffers.end()) return false;
    *data = it->second.data();
    *used = uint32_t(it->second.size());
    return true;
}

std::vector<uint8_t> ToneBytes(int32_t frames, double frequency = 441.0) {
    const std::vector<int16_t> tone = Sine(frequency, 44100, frames);
    return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(tone.data()),
                                reinterpret_cast<const uint8_t*>(tone.data() + tone.size()));
}

formpack::Sound Asset(const std::string& name) {
    formpack::Sound entry;
    entry.name = name;
    entry.fileName = name + ".wav";
    return entry;
}

class AudioQueues : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        g_buffers.clear();
        g_inUse.clear();
        g_shownError.clear();
        g_AudioHost.bufferBytes = BufferBytes;
        g_AudioHost.bufferUse = [](int32_t id, int32_t delta) { g_inUse[id] += delta; };
        g_AudioHost.showError = [](const char* text) { g_shownError = text; };
        for (int32_t id : {1, 2, 3}) g_buffers[id] = ToneBytes(2205);
        m_file = BuildSoundFile({Asset("snd_tone")}, {MakeWav(Sine(441.0, kRate, kRate), kRate, 1)});
        StartEngine(m_file);
        TakeConsole();
    }

    int32_t QueueOfThree() {
        const int32_t queue = Audio_CreatePlayQueue(kAudioBufferS16, 44100, kAudioMono);
        for (int32_t id : {1, 2, 3}) EXPECT_GT(Audio_QueueBufferSound(queue, id, 0, 0), kAudioPlayIdBase);
        return queue;
    }

    SoundFile m_file;
};

TEST_F(AudioQueues, EveryPlayedBufferIsReportedOnce) {
    const int32_t queue = QueueOfThree();
    EXPECT_EQ(queue, kAudioQueueBase);
    EXPECT_LE(Peak(Render(2205)), kSilence);  // queued, not played
    ASSERT_GT(Audio_PlaySimpleSound(queue, 1.0, 0), kAudioPlayIdBase);
    EXPECT_EQ(Audio_PlaySimpleSound(queue, 1.0, 0), -1);  // already playing
    EXPECT_EQ(g_inUse[1] + g_inUse[2] + g_inUse[3], 3);
    std::vector<int16_t> heard;
    for (int i = 0; i < 10; ++i) {
        const std::vector<int16_t> frame = Frame();
        heard.insert(heard.end(), frame.begin(), frame.end());
    }
    EXPECT_GT(Peak(heard), 5000);
    ASSERT_EQ(AsyncPosts().size(), 3u);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(AsyncPosts()[i].subtype, 74);
        EXPECT_EQ(AsyncPosts()[i].reals,
                  (std::map<std::string, double>{
                      {"queue_id", double(queue)}, {"buffer_id", double(i + 1)}, {"queue_shutdown", 0.0}}));
    }
    EXPECT_EQ(g_inUse[1] + g_inUse[2] + g_inUse[3], 0);
    EXPECT_EQ(Audio_FreePlayQueue(queue), 1);
    EXPECT_EQ(AsyncPosts().size(), 3u);
}

TEST_F(AudioQueues, FreeingAQueueReportsWhatItStillHeld) {
    const int32_t queue = QueueOfThree();
    EXPECT_EQ(Audio_FreePlayQueue(queue), 1);
    ASSERT_EQ(AsyncPosts().size(), 3u);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(AsyncPosts()[i].reals["buffer_id"], double(i + 1));
        EXPECT_EQ(AsyncPosts()[i].reals["queue_shutdown"], 1.0);
    }
    EXPECT_EQ(g_inUse[1] + g_inUse[2] + g_inUse[3], 0);
    EXPECT_EQ(Audio_FreePlayQueue(queue), 0);
    EXPECT_EQ(Audio_FreePlayQueue(kAudioQueueBase + 7), 0);
}

TEST_F(AudioQueues, CreationClampsTheRateAndRefusesBadLayouts) {
    struct Case {
        int32_t format, rate, layout, result, storedRate;
        const char* error;
    };
    const Case cases[] = {
        {4, 500, 0, kAudioQueueBase, 1000, ""},
        {1, 60000, 1, kAudioQueueBase + 1, 48000, ""},
        {4, 44100, 3, -1, 0,
         "audio_create_play_queue: channels should be audio_mono, audio_stereo, or audio_3d"},
        {2, 44100, 0, -1, 0, "audio_create_play_queue: unsupported format (use buffer_u8,buffer_s16)"},
    };
    for (const Case& c : cases) {
        g_shownError.clear();
        EXPECT_EQ(Audio_CreatePlayQueue(c.format, c.rate, c.layout), c.result) << c.rate;
        EXPECT_EQ(g_shownError, c.error);
        if (c.result > 0) {
            EXPECT_EQ(Audio_GetSound(c.result)->sampleRate, c.storedRate);
        }
    }
    EXPECT_EQ(Audio_QueueBufferSound(kAudioQueueBase + 5, 1, 0, 0), -1);
    EXPECT_NE(TakeConsole().find("audio_queue_buffer_sound : Invalid queue id: 200005\n"), std::string::npos);
}

TEST_F(AudioQueues, AQueueWhoseVoiceWasTakenGetsANewOne) {
    Audio_SetChannelCount(4);
    const int32_t queue = Audio_CreatePlayQueue(kAudioBufferS16, 44100, kAudioMono);
    Audio_QueueBufferSound(queue, 1, 0, 0);
    Audio_PlaySimpleSound(queue, 1.0, 0);
    for (int i = 0; i < 4; ++i) Frame();  // drained: its voice is idle
    const CAudioVoice* first = Audio_GetSound(queue)->queueVoice;
    const int32_t plain = Audio_PlaySimpleSound(0, 1.0, 1);
    ASSERT_EQ(Audio_FindVoice(plain), first);  // the idle voice went to another sound

    ASSERT_GT(Audio_QueueBufferSound(queue, 2, 0, 0), kAudioPlayIdBase);
    EXPECT_NE(Audio_GetSound(queue)->queueVoice, first);
    EXPECT_EQ(Audio_FindVoice(plain), first);
    EXPECT_TRUE(Audio_IsPlaying(plain));
    ASSERT_GT(Audio_PlaySimpleSound(queue, 1.0, 0), kAudioPlayIdBase);
    for (int i = 0; i < 4; ++i) Frame();
    ASSERT_EQ(AsyncPosts().size(), 2u);
    EXPECT_EQ(AsyncPosts()[1].reals["buffer_id"], 2.0);
    EXPECT_TRUE(Audio_IsPlaying(plain));
}

// --- recording ------------------------------------------------------------------------------

// A capture device that holds whatever the test puts in its ring.
class SyntheticCapture final : public IAudioCapture {
public:
    int32_t waiting = 0;
    int32_t opened = 0;
    bool started = false;

    const char* DeviceNames() override { return "Synthetic microphone\0\0"; }
    AudioCaptureDevice* Open(const char* name, int32_t rate, int32_t frames) override {
        EXPECT_STREQ(name, "Synthetic microphone");
        EXPECT_EQ(rate, 16000);
        EXPECT_EQ(frames, 32000);
        ++opened;
        return reinterpret_cast<AudioCaptureDevice*>(this);
    }
    void Start(AudioCaptureDevice*) override { started = true; }
    void Stop(AudioCaptureDevice*) override { started = false; }
    void Close(AudioCaptureDevice*) override { --opened; }
    int32_t Available(AudioCaptureDevice*) override { return started ? waiting : 0; }
    void Read(AudioCaptureDevice*, int16_t* out, int32_t frames) override {
        for (int32_t i = 0; i < frames; ++i) out[i] = int16_t(i);
        waiting -= frames;
    }
};

std::vector<std::vector<uint8_t>> g_madeBuffers;

class AudioRecording : public AudioQueues {
protected:
    void SetUp() override {
        AudioQueues::SetUp();
        m_previous = AudioCapture_Set(&m_capture);
        g_madeBuffers.clear();
        g_AudioHost.bufferFromBytes = [](const uint8_t* bytes, int32_t size) {
            g_madeBuffers.emplace_back(bytes, bytes + size);
            return int32_t(40 + g_madeBuffers.size());
        };
        g_AudioHost.createMap = [](const AudioMapPair* pairs, int32_t count) {
            AsyncPosts().push_back(AsyncPost{0, {}, {}, -1});
            CapturePost(0, pairs, count, -1);
            AsyncPosts().erase(AsyncPosts().end() - 2);
            return 9;
        };
    }
    void TearDown() override {
        AudioQueues::TearDown();
        EXPECT_EQ(m_capture.opened, 0);
        AudioCapture_Set(m_previous);
    }
    SyntheticCapture m_capture;
    IAudioCapture* m_previous = nullptr;
};

TEST_F(AudioRecording, OnlyTheRecorderCountBuildsTheDeviceList) {
    EXPECT_EQ(Audio_StartRecording(0), -1);
    EXPECT_EQ(TakeConsole(), "audio_start_recording: device 0 not available\n");
    EXPECT_EQ(Audio_GetRecorderCount(), 1);
    struct Case {
        int32_t device;
        const char* message;
    };
    for (const Case& c : {Case{2, "audio_start_recording: device 2 out of range\n"},
                          Case{-1, "audio_start_recording: device -1 out of range\n"},
                          Case{1, "audio_start_recording: device 1 not available\n"}}) {
        EXPECT_EQ(Audio_StartRecording(c.device), -1);
        EXPECT_EQ(TakeConsole(), c.message);
    }
    EXPECT_EQ(Audio_GetRecorderInfo(1), -1);
    EXPECT_EQ(TakeConsole(), "audio_get_recorder_info: device 1 no longer attached\n");
    EXPECT_EQ(Audio_GetRecorderInfo(0), 9);
    ASSERT_EQ(AsyncPosts().size(), 1u);
    EXPECT_EQ(AsyncPosts()[0].texts["name"], "Synthetic microphone");
    EXPECT_EQ(AsyncPosts()[0].reals,
              (std::map<std::string, double>{
                  {"index", 0}, {"data_format", 4}, {"sample_rate", 16000}, {"channels", 0}}));
}

TEST_F(AudioRecording, MoreThanATenthOfASecondBecomesABuffer) {
    Audio_GetRecorderCount();
    EXPECT_EQ(Audio_StartRecording(0), 0);
    EXPECT_EQ(Audio_StartRecording(0), -1);
    EXPECT_EQ(TakeConsole(), "audio_start_recording: device 0 already recording\n");
    m_capture.waiting = 1600;  // exactly a tenth: not yet
    SND_Tick();
    EXPECT_TRUE(AsyncPosts().empty());
    m_capture.waiting = 1700;
    SND_Tick();
    ASSERT_EQ(AsyncPosts().size(), 1u);
    const AsyncPost& post = AsyncPosts()[0];
    EXPECT_EQ(post.subtype, 73);
    EXPECT_EQ(post.ownedBuffer, 41);
    EXPECT_EQ(post.reals,
              (std::map<std::string, double>{{"buffer_id", 41}, {"channel_index", 0}, {"data_len", 3400}}));
    ASSERT_EQ(g_madeBuffers.size(), 1u);
    ASSERT_EQ(g_madeBuffers[0].size(), 3400u);
    EXPECT_EQ(g_madeBuffers[0][2], 1);  // the second sample, little-endian
    EXPECT_EQ(m_capture.waiting, 0);
    EXPECT_EQ(Audio_StopRecording(0), 0);
    EXPECT_EQ(Audio_StopRecording(0), -1);
    EXPECT_EQ(TakeConsole(), "audio_stop_recording : recorder 0 is not currently recording\n");
}

TEST_F(AudioRecording, AStillRecordingDeviceIsClosedAtShutdown) {
    Audio_GetRecorderCount();
    EXPECT_EQ(Audio_StartRecording(0), 0);
    EXPECT_EQ(m_capture.opened, 1);
}

// --- streams -----------------------------------------------------------------------------------

TEST_F(AudioQueues, StreamsPlayFromTheSaveAreaBeforeTheBundle) {
    const std::string bundled = Sox("stream.ogg", "-r 44100 -c 1", "synth 0.5 sine 441 vol 0.5");
    ASSERT_FALSE(bundled.empty());
    EXPECT_EQ(Audio_CreateStream("nothing.ogg"), -1);
    EXPECT_EQ(TakeConsole(), "audio_create_stream : could not file file 'nothing.ogg'\n");

    const int32_t id = Audio_CreateStream("stream.ogg");
    EXPECT_EQ(id, kAudioStreamBase);
    EXPECT_STREQ(Audio_GetSound(id)->streamPath, bundled.c_str());
    EXPECT_EQ(Audio_SoundLength(id), 0.0);
    EXPECT_EQ(Audio_GetType(id), 1);

    static std::string savePath;
    savePath = Sox("saved.ogg", "-r 44100 -c 1", "synth 0.5 sine 441 vol 0.5");
    g_AudioHost.savePath = [](const char* name, char* out, size_t size) {
        if (std::string(name) != "stream.ogg") return false;
        std::snprintf(out, size, "%s", savePath.c_str());
        return true;
    };
    const int32_t saved = Audio_CreateStream("stream.ogg");
    EXPECT_EQ(saved, kAudioStreamBase + 1);
    EXPECT_STREQ(Audio_GetSound(saved)->streamPath, savePath.c_str());

    const int32_t voice = Audio_PlaySimpleSound(id, 1.0, 1);
    ASSERT_GT(voice, kAudioPlayIdBase);
    EXPECT_GT(Peak(Render(4410), 2000), 5000);
}

TEST_F(AudioQueues, DestroyedStreamsStopAndAreFreedOnceIdle) {
    ASSERT_FALSE(Sox("stream.ogg", "-r 44100 -c 1", "synth 0.5 sine 441 vol 0.5").empty());
    const int32_t id = Audio_CreateStream("stream.ogg");
    const int32_t voice = Audio_PlaySimpleSound(id, 1.0, 1);
    Render(2205);
    EXPECT_EQ(Audio_DestroyStream(id), 1);
    EXPECT_EQ(Audio_GetSound(id), nullptr);
    EXPECT_EQ(Audio_SoundLength(id), -1.0);
    EXPECT_EQ(Audio_DestroyStream(id), -1);
    EXPECT_NE(Audio_Streams().slots[0], nullptr);  // a channel still plays it
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(Audio_Streams().slots[0], nullptr);
    EXPECT_FALSE(Audio_IsPlaying(voice));
    EXPECT_EQ(Audio_DestroyStream(5), -1);
    EXPECT_NE(TakeConsole().find("audio_destroy_stream : Invalid stream id: 5\n"), std::string::npos);
}

}  // namespace
