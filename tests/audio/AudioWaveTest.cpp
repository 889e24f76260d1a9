// The system output: OpenAL Soft's wave back end writes what the engine plays to a file, which
// sox measures. The playing runs in a fresh process (OpenAL Soft reads its configuration once,
// at its first call) on the real device, in real time.
#include <chrono>
#include <filesystem>
#include <thread>

#include "AudioTestSupport.h"
#include "core/Process.h"

using namespace audiotest;

namespace {

// In the child: the system device, configured for the wave back end; one second of tone
// played for about half a second.
void PlayToneThroughTheSystemDevice(const std::string& config, const std::string& wave) {
    setenv("ALSOFT_CONF", config.c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
    formpack::Sound sound;
    sound.name = "snd_tone";
    sound.fileName = "tone.wav";
    const SoundFile file = BuildSoundFile({sound}, {MakeWav(Sine(440.0, 44100, 44100), 44100, 1)});
    g_Switches.audioOff = false;
    AudioDevice_Set(nullptr);
    Audio_SetEngineEnabled(true);
    Audio_Load(file.sond);
    Audio_WAVs(file.audo, 0);
    SND_Init();
    Audio_PrepareAll();
    const int32_t id = Audio_PlaySimpleSound(0, 1.0, 0);
    // The wave back end writes in real time; on a loaded machine it may lag, so wait until
    // the file holds enough for the measurement (or give up after a few seconds).
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::error_code error;
        const auto bytes = std::filesystem::file_size(wave, error);
        const auto waited = std::chrono::steady_clock::now() - start;
        if ((!error && bytes >= 400000 && waited >= std::chrono::milliseconds(500)) ||
            waited >= std::chrono::seconds(5))
            break;
    }
    SND_Quit();
    Process_Exit(id > kAudioPlayIdBase && !g_Switches.audioOff ? 0 : 3);
}

// sox's rough frequency of the file's first channel past any leading silence (a loaded machine
// may start the voice late); 0 when it cannot tell.
double SoxFrequency(const std::string& path) {
    FILE* pipe =
        popen(("sox '" + path + "' -n remix 1 silence 1 0.01 1% trim 0.05 0.2 stat 2>&1").c_str(), "r");
    if (pipe == nullptr) return 0;
    char line[256];
    double frequency = 0;
    while (std::fgets(line, sizeof line, pipe))
        if (std::sscanf(line, " Rough frequency: %lf", &frequency) == 1) break;
    pclose(pipe);
    return frequency;
}

TEST(AudioWaveOutput, SystemDeviceWritesTheToneTheEnginePlays) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The playing process runs this test again from its start: the paths must not depend on it.
    const std::string wave = TempFolder("audio-wave") + "out.wav";
    const std::string config = TempFolder("audio-wave") + "alsoft.conf";
    std::ofstream(config) << "drivers=wave\n[wave]\nfile=" << wave << "\n";
    std::remove(wave.c_str());
    EXPECT_EXIT(PlayToneThroughTheSystemDevice(config, wave), ::testing::ExitedWithCode(0), "");
    EXPECT_NEAR(SoxFrequency(wave), 440.0, 3.0);
}

}  // namespace
