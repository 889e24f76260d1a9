// Starting and stopping a voice through the engine (voice search over a pool where 127 voices
// play, source set-up, play id, stop and release) against the bare OpenAL calls that start and
// stop the same buffer on a source chosen in advance, on the loopback device. Both run in one
// process on the same context; the ratio of their times is printed at the end.
#include <AL/al.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "BenchRatio.h"
#include "audio/Audio_Main.h"
#include "audio/Sound_Main.h"
#include "core/RunSwitches.h"
#include "formpack/ByteBuffer.h"
#include "formpack/FormWriter.h"
#include "platform/AudioDevice.h"

namespace {

constexpr int32_t kRate = 44100;

LoopbackAudioDevice g_device(kRate, 2);
std::vector<uint8_t> g_file;
ALuint g_rawSource = 0;

std::vector<uint8_t> ToneWav() {
    formpack::Section w;
    const uint32_t frames = kRate / 10;
    w.Raw("RIFF", 4);
    w.U32(36 + frames * 2);
    w.Raw("WAVEfmt ", 8);
    w.U32(16);
    w.U32(1 | (1u << 16));
    w.U32(kRate);
    w.U32(kRate * 2);
    w.U32(2 | (16u << 16));
    w.Raw("data", 4);
    w.U32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) w.U16(static_cast<uint16_t>(int16_t(16000 * std::sin(i * 0.0627))));
    return w.Bytes();
}

// Loads one asset into the engine and fills all but one voice with looping plays.
bool StartEngine() {
    formpack::FormFile form;
    formpack::Sound sound;
    sound.name = "snd_tone";
    sound.fileName = "tone.wav";
    form.sounds = {sound};
    form.audio = {ToneWav()};
    g_file = formpack::Build(form);
    AudioChunk sond{}, audo{};
    for (size_t pos = 8; pos + 8 <= g_file.size();) {
        uint32_t length = 0;
        std::memcpy(&length, &g_file[pos + 4], 4);
        AudioChunk chunk{g_file.data(), g_file.size(), pos + 8, length};
        if (std::memcmp(&g_file[pos], "SOND", 4) == 0) sond = chunk;
        if (std::memcmp(&g_file[pos], "AUDO", 4) == 0) audo = chunk;
        pos += 8 + length;
    }
    g_Switches.headless = true;
    AudioDevice_Set(&g_device);
    Audio_SetEngineEnabled(true);
    if (!Audio_Load(sond) || !Audio_WAVs(audo, 0)) return false;
    SND_Init();
    Audio_PrepareAll();
    for (int32_t i = 0; i < Audio_GetChannelCount() - 1; ++i) Audio_PlaySimpleSound(0, 5.0, 1);
    alGenSources(1, &g_rawSource);
    return g_device.IsOpen() && Audio_VoiceCount() == Audio_GetChannelCount() - 1;
}

void Engine_PlayStop(benchmark::State& state) {
    for (auto _ : state) {
        const int32_t id = Audio_PlaySimpleSound(0, 1.0, 0);
        CAudioVoice* voice = Audio_FindVoice(id);
        benchmark::DoNotOptimize(voice);
        Audio_StopVoice(voice, true);
    }
}
BENCHMARK(Engine_PlayStop);

void Raw_PlayStop(benchmark::State& state) {
    const ALint buffer = Audio_GetSound(0)->alBuffer;
    for (auto _ : state) {
        alSourcef(g_rawSource, AL_MAX_DISTANCE, 100000.0f);
        alSourcef(g_rawSource, AL_GAIN, 1.0f);
        alSourcef(g_rawSource, AL_PITCH, 1.0f);
        alSourcei(g_rawSource, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(g_rawSource, AL_POSITION, 0, 0, 0);
        alSource3f(g_rawSource, AL_VELOCITY, 0, 0, 0);
        alSourcei(g_rawSource, AL_BUFFER, buffer);
        alSourcei(g_rawSource, AL_LOOPING, AL_FALSE);
        alSourcePlay(g_rawSource);
        alSourceStop(g_rawSource);
        alSourcei(g_rawSource, AL_BUFFER, 0);
    }
}
BENCHMARK(Raw_PlayStop);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!StartEngine()) {
        std::fprintf(stderr, "bench_audio: the loopback device could not be started\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (const double raw = reporter.Time("Raw_PlayStop"))
        std::printf("\nratio engine / raw OpenAL (lower is better): %.2f\n",
                    reporter.Time("Engine_PlayStop") / raw);
    alDeleteSources(1, &g_rawSource);
    SND_Quit();
    AudioDevice_Set(nullptr);
    benchmark::Shutdown();
    return 0;
}
