// The listener, emitters and falloff: positional play heard on the loopback device.
#include <AL/al.h>

#include "AudioTestSupport.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Emitter.h"

using namespace audiotest;

namespace {

formpack::Sound Asset(const std::string& name) {
    formpack::Sound entry;
    entry.name = name;
    entry.fileName = name + ".wav";
    return entry;
}

double Rms(const std::vector<int16_t>& samples, size_t from) {
    double sum = 0.0;
    for (size_t i = from; i < samples.size(); ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(samples.size() - from));
}

ALfloat SourceFloat(const CAudioVoice* voice, ALenum parameter) {
    ALfloat value = 0.0f;
    alGetSourcef(Audio_GetSource(voice->sourceIndex), parameter, &value);
    return value;
}

class AudioEmitters : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        m_file = BuildSoundFile({Asset("snd_tone")}, {MakeWav(Sine(441.0, kRate, kRate), kRate, 1)});
        StartEngine(m_file);
    }
    SoundFile m_file;
};

TEST_F(AudioEmitters, InverseFalloffHalvesTheLevelAtTwiceTheReference) {
    const int32_t emitter = Audio_CreateEmitter();
    Audio_SetEmitterFalloff(emitter, 100.0f, 100000.0f, 1.0f);
    Audio_SetEmitterPosition(emitter, 0.0f, 0.0f, 100.0f);
    const int32_t id = Audio_PlaySound(emitter, 0, 1, 1.0);
    ASSERT_GT(id, kAudioPlayIdBase);
    const double near = Rms(Render(8820), 2000);

    Audio_SetEmitterPosition(emitter, 0.0f, 0.0f, 200.0f);
    SND_Tick();  // attached voices follow their emitter at the tick
    const double far = Rms(Render(8820), 2000);
    ASSERT_GT(near, 1000.0);
    EXPECT_NEAR(far / near, 0.5, 0.01);
}

TEST_F(AudioEmitters, PlaySoundAtUsesItsOwnFalloff) {
    const int32_t id = Audio_PlaySoundAt(0, 0.0f, 0.0f, 300.0f, 100.0f, 1000.0f, 1.0f, 1, 1.0);
    ASSERT_GT(id, kAudioPlayIdBase);
    const CAudioVoice* voice = Audio_FindVoice(id);
    EXPECT_FLOAT_EQ(SourceFloat(voice, AL_REFERENCE_DISTANCE), 100.0f);
    EXPECT_FLOAT_EQ(SourceFloat(voice, AL_MAX_DISTANCE), 1000.0f);
    EXPECT_EQ(voice->emitter, nullptr);
    // 100 / (100 + 200): a third of the level it has at the reference distance.
    const double level = Rms(Render(8820), 2000);
    Audio_StopSound(id);
    SND_Tick();
    SND_Tick();
    const int32_t near = Audio_PlaySoundAt(0, 0.0f, 0.0f, 100.0f, 100.0f, 1000.0f, 1.0f, 1, 1.0);
    ASSERT_GT(near, id);
    EXPECT_NEAR(level / Rms(Render(8820), 2000), 1.0 / 3.0, 0.01);
}

TEST_F(AudioEmitters, FreedEmittersAreReusedWithTheirSettingsAndTheTableGrowsByEight) {
    EXPECT_EQ(Audio_CreateEmitter(), 0);
    Audio_SetEmitterGain(0, 0.25f);
    Audio_SetEmitterGain(0, -1.0f);  // ignored
    Audio_FreeEmitter(0);
    EXPECT_FALSE(Audio_EmitterExists(0));
    EXPECT_EQ(Audio_CreateEmitter(), 0);
    EXPECT_DOUBLE_EQ(Audio_GetEmitterGain(0), 0.25);
    for (int32_t i = 1; i < 9; ++i) EXPECT_EQ(Audio_CreateEmitter(), i);
    EXPECT_EQ(Audio_EmitterTableSize(), 16);

    // Invalid ids: setters do nothing, getters give their defaults.
    float position[3] = {9, 9, 9};
    Audio_GetEmitterPosition(99, position);
    EXPECT_EQ(position[0] + position[1] + position[2], 0.0f);
    EXPECT_EQ(Audio_GetEmitterGain(-1), 0.0);
    EXPECT_EQ(Audio_GetEmitterPitch(99), 1.0);
    EXPECT_EQ(Audio_GetEmitterListenerMask(99), 1);
}

TEST_F(AudioEmitters, FreeingAnEmitterSilencesItsVoicesAtOnceAndStopsThemNextTick) {
    const int32_t emitter = Audio_CreateEmitter();
    const int32_t id = Audio_PlaySound(emitter, 0, 1, 1.0);
    CAudioVoice* voice = Audio_FindVoice(id);
    ASSERT_NE(voice, nullptr);
    Audio_FreeEmitter(emitter);
    EXPECT_EQ(SourceFloat(voice, AL_GAIN), 0.0f);
    EXPECT_EQ(Audio_FindVoice(id), nullptr);
    SND_Tick();
    EXPECT_FALSE(voice->active);
    EXPECT_EQ(Audio_PlaySound(emitter, 0, 0, 1.0), -1);
    EXPECT_NE(TakeConsole().find("Audio_PlaySound Attempting to play sound on inactive emitter 0\n"),
              std::string::npos);
}

TEST_F(AudioEmitters, PitchGainAndMasksCombineWithTheSound) {
    const int32_t emitter = Audio_CreateEmitter();
    Audio_SetEmitterListenerMask(emitter, 6);
    Audio_SoundGain(0, 0.5f, 0);
    Audio_SetPitch(0, 0.5f);
    const int32_t on = Audio_PlaySound(emitter, 0, 1, 1.0);
    const CAudioVoice* voice = Audio_FindVoice(on);
    Audio_SetEmitterPitch(emitter, 2.0f);
    EXPECT_FLOAT_EQ(SourceFloat(voice, AL_PITCH), 1.0f);
    Audio_SetEmitterGain(emitter, 0.5f);
    SND_Tick();
    EXPECT_FLOAT_EQ(SourceFloat(voice, AL_GAIN), 0.25f);
    EXPECT_EQ(Audio_GetVoiceListenerMask(on), 6);

    // Played at a point, a voice keeps the mask it last had: here its emitter's.
    Audio_SetListenerMask(3);
    Audio_StopSound(on);
    SND_Tick();
    const int32_t at = Audio_PlaySoundAt(0, 0, 0, 0, 100, 1000, 1, 0, 1.0);
    EXPECT_EQ(Audio_FindVoice(at), voice);
    EXPECT_EQ(Audio_GetVoiceListenerMask(at), 6);
    EXPECT_EQ(voice->emitter, nullptr);
    EXPECT_EQ(Audio_GetListenerMask(), 3);
}

TEST_F(AudioEmitters, ListenerAnswersOnlyToIndexZero) {
    int32_t mapCalls = 0;
    static int32_t* calls = nullptr;
    calls = &mapCalls;
    g_AudioHost.createMap = [](const AudioMapPair* pairs, int32_t count) {
        ++*calls;
        EXPECT_TRUE(count == 12 || count == 3);
        if (count == 3) {
            EXPECT_STREQ(pairs[0].text, "default");
        } else {
            EXPECT_EQ(pairs[2].value, 7.0);  // "z"
        }
        return 5;
    };
    Audio_SetListenerPosition(1, 1.0f, 2.0f, 3.0f);
    Audio_SetListenerPosition(0, 1.0f, 2.0f, 7.0f);
    EXPECT_EQ(Audio_GetListenerData(1), -1);
    EXPECT_EQ(Audio_GetListenerData(0), 5);
    EXPECT_EQ(Audio_GetListenerInfo(1), -1);
    EXPECT_EQ(Audio_GetListenerInfo(0), 5);
    EXPECT_EQ(mapCalls, 2);

    Audio_SetMasterGain(0, -2.0);
    EXPECT_EQ(Audio_GetMasterGain(0), 0.0);
    Audio_SetMasterGain(0, 0.5);
    EXPECT_EQ(Audio_GetMasterGain(0), 0.5);
    EXPECT_EQ(Audio_GetMasterGain(1), 0.0);
}

TEST_F(AudioEmitters, UnknownFalloffModelsAreRefused) {
    TakeConsole();
    Audio_SetFalloffModel(4);
    EXPECT_EQ(alGetInteger(AL_DISTANCE_MODEL), AL_LINEAR_DISTANCE_CLAMPED);
    for (int32_t model : {7, -1}) {
        Audio_SetFalloffModel(model);
        EXPECT_EQ(TakeConsole(), "Attempting to set audio falloff to unknown model\n");
        EXPECT_EQ(alGetInteger(AL_DISTANCE_MODEL), AL_LINEAR_DISTANCE_CLAMPED);
    }
}

TEST_F(AudioEmitters, AChannelCountChangeForgetsTheEmittersVoices) {
    const int32_t emitter = Audio_CreateEmitter();
    Audio_PlaySound(emitter, 0, 1, 1.0);
    Audio_SetChannelCount(8);
    EXPECT_EQ(Audio_GetEmitter(emitter)->voiceCount, 0);
    EXPECT_GT(Audio_PlaySound(emitter, 0, 1, 1.0), kAudioPlayIdBase);
    SND_Tick();
}

}  // namespace
