// Shared pieces of the audio tests: a small writer for the sound chunks, WAV and sox helpers,
// tone measurements, and a fixture that runs the sound layers on OpenAL Soft's loopback
// device with the Ogg threads stepped by hand.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/AudioChunk.h"
#include "audio/AudioHost.h"
#include "audio/Audio_Emitter.h"
#include "audio/Audio_Main.h"
#include "audio/Audio_Ogg.h"
#include "audio/Sound_Main.h"
#include "core/Console.h"
#include "core/RunSwitches.h"
#include "formpack/ByteBuffer.h"
#include "formpack/FormWriter.h"
#include "platform/AudioDevice.h"

namespace audiotest {

// --- the sound chunks ------------------------------------------------------------------------

// A data file holding SOND, AUDO and (when groups are given) AGRP, with where each chunk's data
// lies. Sound records point into `bytes`, so the file must outlive them.
struct SoundFile {
    std::vector<uint8_t> bytes;
    AudioChunk sond, audo, agrp;
};

// The data range of the first chunk with the tag (empty when there is none).
inline AudioChunk FindChunk(const std::vector<uint8_t>& bytes, const char* tag) {
    for (size_t pos = 8; pos + 8 <= bytes.size();) {
        uint32_t length;
        std::memcpy(&length, &bytes[pos + 4], 4);
        if (std::memcmp(&bytes[pos], tag, 4) == 0)
            return AudioChunk{bytes.data(), bytes.size(), pos + 8, length};
        pos += 8 + size_t(length);
    }
    return AudioChunk{bytes.data(), bytes.size(), 0, 0};
}

inline SoundFile BuildSoundFile(const std::vector<std::optional<formpack::Sound>>& sounds,
                                const std::vector<std::optional<std::vector<uint8_t>>>& audio,
                                const std::vector<std::string>& groups = {}) {
    formpack::FormFile form;
    form.sounds = sounds;
    form.audio = audio;
    if (!groups.empty()) form.audioGroups = groups;
    std::string error;
    SoundFile file;
    file.bytes = formpack::Build(form, &error);
    EXPECT_FALSE(file.bytes.empty()) << error;
    file.sond = FindChunk(file.bytes, "SOND");
    file.audo = FindChunk(file.bytes, "AUDO");
    file.agrp = FindChunk(file.bytes, "AGRP");
    return file;
}

// A copy whose chunks point into its own bytes.
inline SoundFile CopyOf(const SoundFile& file) {
    SoundFile copy = file;
    for (AudioChunk* chunk : {&copy.sond, &copy.audo, &copy.agrp}) chunk->file = copy.bytes.data();
    return copy;
}

// --- sounds ----------------------------------------------------------------------------------

// A canonical 16-bit PCM WAV image of the samples.
inline std::vector<uint8_t> MakeWav(const std::vector<int16_t>& samples, int32_t rate, int32_t channels) {
    formpack::Section w;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    w.Raw("RIFF", 4);
    w.U32(36 + dataBytes);
    w.Raw("WAVEfmt ", 8);
    w.U32(16);
    w.U32(1 | (uint32_t(channels) << 16));
    w.U32(static_cast<uint32_t>(rate));
    w.U32(static_cast<uint32_t>(rate * channels * 2));
    w.U32(uint32_t(channels * 2) | (16u << 16));
    w.Raw("data", 4);
    w.U32(dataBytes);
    w.Raw(samples.data(), dataBytes);
    return w.Bytes();
}

inline std::vector<int16_t> Sine(double frequency, int32_t rate, int32_t frames, double amplitude = 0.5) {
    std::vector<int16_t> samples(static_cast<size_t>(frames));
    for (int32_t i = 0; i < frames; ++i)
        samples[i] = static_cast<int16_t>(
            std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * frequency * i / rate)));
    return samples;
}

// A folder of the test's own (by process, unless a name is given) under HV_TEST_TMP.
inline std::string TempFolder(const std::string& name = {}) {
    const char* root = std::getenv("HV_TEST_TMP");
    const std::string leaf = name.empty() ? "audio-" + std::to_string(getpid()) : name;
    std::filesystem::path folder = std::filesystem::path(root ? root : "/tmp") / leaf;
    std::filesystem::create_directories(folder);
    return folder.string() + "/";
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Makes a file of the temporary folder with sox: `format` before the name (rate, channels),
// `effects` after it ("synth 1 sine 440"). The path, or empty when sox failed.
inline std::string Sox(const std::string& name, const std::string& format, const std::string& effects) {
    const std::string path = TempFolder() + name;
    const std::string command = "sox -n " + format + " '" + path + "' " + effects + " 2>/dev/null";
    return std::system(command.c_str()) == 0 ? path : std::string();
}

// soxi -s: the sample frames sox counts in the file; -1 when it cannot tell.
inline int64_t SoxiFrames(const std::string& path) {
    FILE* pipe = popen(("soxi -s '" + path + "' 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return -1;
    long long frames = -1;
    if (std::fscanf(pipe, "%lld", &frames) != 1) frames = -1;
    pclose(pipe);
    return frames;
}

// --- measurements ------------------------------------------------------------------------------

// One channel of interleaved stereo samples.
inline std::vector<int16_t> Channel(const std::vector<int16_t>& stereo, int which = 0) {
    std::vector<int16_t> out;
    for (size_t i = which; i < stereo.size(); i += 2) out.push_back(stereo[i]);
    return out;
}

// The frequency from the rising zero crossings, placed between samples by interpolation. A
// crossing counts only after the signal has been well below zero, so the mixer's dither (a
// sample or two of noise around silence) adds none.
inline double MeasureFrequency(const std::vector<int16_t>& samples, int32_t rate, int32_t hysteresis = 256) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    bool armed = false;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i] < -hysteresis) armed = true;
        if (armed && samples[i - 1] < 0 && samples[i] >= 0) {
            const double t = (i - 1) + double(-samples[i - 1]) / (double(samples[i]) - samples[i - 1]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
            armed = false;
        }
    }
    return crossings > 1 ? (crossings - 1) * double(rate) / (last - first) : 0.0;
}

// The mixer dithers its 16-bit output: silence reads as samples of at most this size.
constexpr int32_t kSilence = 2;

inline int32_t Peak(const std::vector<int16_t>& samples, size_t from = 0, size_t to = SIZE_MAX) {
    int32_t peak = 0;
    for (size_t i = from; i < std::min(to, samples.size()); ++i)
        peak = std::max(peak, std::abs(int32_t(samples[i])));
    return peak;
}

// --- console -------------------------------------------------------------------------------------

inline std::mutex& ConsoleMutex() {
    static std::mutex mutex;
    return mutex;
}
inline std::string& ConsoleText() {
    static std::string text;
    return text;
}
inline void CaptureConsole(const char* text) {
    std::lock_guard lock(ConsoleMutex());
    ConsoleText() += text;
}
inline std::string TakeConsole() {
    std::lock_guard lock(ConsoleMutex());
    std::string text;
    text.swap(ConsoleText());
    return text;
}

// --- asynchronous results ------------------------------------------------------------------------

// One result handed to the asynchronous stage: its subtype, its map's keys, the buffer it owns.
struct AsyncPost {
    int32_t subtype;
    std::map<std::string, double> reals;
    std::map<std::string, std::string> texts;
    int32_t ownedBuffer;
};

inline std::vector<AsyncPost>& AsyncPosts() {
    static std::vector<AsyncPost> posts;
    return posts;
}

inline void CapturePost(int32_t subtype, const AudioMapPair* pairs, int32_t count, int32_t ownedBuffer) {
    AsyncPost post{subtype, {}, {}, ownedBuffer};
    for (int32_t i = 0; i < count; ++i) {
        if (pairs[i].text)
            post.texts[pairs[i].key] = pairs[i].text;
        else
            post.reals[pairs[i].key] = pairs[i].value;
    }
    AsyncPosts().push_back(post);
}

// --- the fixture ---------------------------------------------------------------------------------

inline int32_t& TestFramesPerSecond() {
    static int32_t fps = 30;
    return fps;
}

// Names of the bundle are files of the test's temporary folder.
inline bool TestBundlePath(const char* name, char* out, size_t size) {
    const std::string path = TempFolder() + name;
    std::snprintf(out, size, "%s", path.c_str());
    return std::filesystem::is_regular_file(path);
}

class LoopbackTest : public ::testing::Test {
protected:
    static constexpr int32_t kRate = 44100;

    void SetUp() override {
        g_Switches.audioOff = false;
        m_previousDevice = AudioDevice_Set(&m_device);
        COggAudio::SetManualPasses(true);
        g_AudioHost = AudioHostHooks{};
        g_AudioHost.bundlePath = TestBundlePath;
        g_AudioHost.framesPerSecond = [] { return TestFramesPerSecond(); };
        TestFramesPerSecond() = 30;
        g_AudioHost.postAsync = CapturePost;
        AsyncPosts().clear();
        Console_SetDebuggerSink(CaptureConsole);
        TakeConsole();
    }

    void TearDown() override {
        SND_Quit();
        Sound_Free();
        Audio_FreeEmitters();
        Audio_SetDefaultListenerMask(1);
        Audio_SetEngineEnabled(false);
        COggAudio::SetManualPasses(false);
        AudioDevice_Set(m_previousDevice);
        g_AudioHost = AudioHostHooks{};
        Console_SetDebuggerSink(nullptr);
        g_Switches.audioOff = false;
    }

    // Loads the chunks into the engine and starts the sound layers as start-up does.
    void StartEngine(const SoundFile& file) {
        Audio_SetEngineEnabled(true);
        ASSERT_TRUE(Audio_Load(file.sond));
        ASSERT_TRUE(Audio_WAVs(file.audo, 0));
        SND_Init();
        ASSERT_TRUE(m_device.IsOpen());
        Audio_PrepareAll();
    }

    // Mixes frames, letting the decoding threads take a pass before every block.
    std::vector<int16_t> Render(int32_t frames, int32_t block = 512) {
        std::vector<int16_t> out(size_t(frames) * 2);
        for (int32_t done = 0; done < frames;) {
            OggAudio().RunPasses();
            const int32_t n = std::min(block, frames - done);
            m_device.Render(&out[size_t(done) * 2], n);
            done += n;
        }
        return out;
    }

    // One frame of the game: the decoding threads' pass, the mix of a frame's time, the tick.
    std::vector<int16_t> Frame() {
        std::vector<int16_t> out = Render(kRate / TestFramesPerSecond());
        SND_Tick();
        return out;
    }

    LoopbackAudioDevice m_device{kRate, 2};
    IAudioDevice* m_previousDevice = nullptr;
};

}  // namespace audiotest
