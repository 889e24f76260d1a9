// The audio_* built-ins as game code calls them: arguments in values, results in values.
#include <initializer_list>

#include "AudioTestSupport.h"
#include "audio/Audio_Builtins.h"
#include "core/Value.h"

using namespace audiotest;

namespace {

// Calls a built-in with real arguments; the result as the built-in left it.
RValue Call(BuiltinProc proc, std::initializer_list<double> arguments) {
    std::vector<RValue> args;
    for (double a : arguments) args.push_back(RValue_Real(a));
    RValue result = RValue_Undefined();
    proc(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    return result;
}

double Real(BuiltinProc proc, std::initializer_list<double> arguments) {
    const RValue result = Call(proc, arguments);
    EXPECT_EQ(result.kind, VALUE_REAL);
    return result.val;
}

formpack::Sound Asset(const std::string& name, int32_t flags) {
    formpack::Sound sound;
    sound.name = name;
    sound.flags = flags;
    sound.fileName = name + ".ogg";
    return sound;
}

class AudioBuiltins : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        m_file = BuildSoundFile({Asset("snd_tone", 0), Asset("snd_music", 1)},
                                {MakeWav(Sine(440.0, 44100, 44100), 44100, 1)});
    }
    SoundFile m_file;
};

TEST_F(AudioBuiltins, PlayQueryAndStopThroughValues) {
    StartEngine(m_file);
    EXPECT_EQ(Real(F_AudioSystem, {}), 1.0);
    const double id = Real(F_AudioPlaySound, {0, 10, 1});
    EXPECT_GT(id, kAudioPlayIdBase);
    EXPECT_EQ(Real(F_AudioIsPlaying, {id}), 1.0);
    EXPECT_EQ(Real(F_AudioIsPlaying, {0}), 1.0);
    EXPECT_EQ(Real(F_AudioExists, {id}), 1.0);
    EXPECT_DOUBLE_EQ(Real(F_AudioSoundLength, {0}), 1.0);

    RValue name = Call(F_AudioGetName, {id});
    EXPECT_STREQ(RValue_GetStringText(&name), "snd_tone");
    RValue_Free(&name);

    struct TypeCase {
        double id, type;
    };
    for (const TypeCase& c : {TypeCase{id, -1}, TypeCase{0, 0}, TypeCase{1, 1}, TypeCase{5, -1}})
        EXPECT_EQ(Real(F_AudioGetType, {c.id}), c.type) << c.id;

    Call(F_AudioSoundGain, {id, 0.25, 0});
    EXPECT_FLOAT_EQ(float(Real(F_AudioSoundGetGain, {id})), 0.25f);
    Call(F_AudioSoundPitch, {0, 2});
    EXPECT_FLOAT_EQ(float(Real(F_AudioSoundGetPitch, {0})), 2.0f);
    Call(F_AudioPauseSound, {id});
    EXPECT_EQ(Real(F_AudioIsPaused, {id}), 1.0);
    Call(F_AudioResumeAll, {});
    EXPECT_EQ(Real(F_AudioIsPaused, {id}), 0.0);

    // A mask with the top bit set comes back whole, as an unsigned number.
    Call(F_AudioSoundSetListenerMask, {id, 4294967295.0});
    EXPECT_EQ(Real(F_AudioSoundGetListenerMask, {id}), 4294967295.0);

    Call(F_AudioStopAll, {});  // a soft stop: gone from the ids at once
    EXPECT_EQ(Real(F_AudioIsPlaying, {id}), 0.0);
    Call(F_AudioChannelNum, {5});
    EXPECT_EQ(Audio_GetChannelCount(), 8);
}

TEST_F(AudioBuiltins, WithoutAudioNothingIsWritten) {
    g_Switches.audioOff = true;
    Audio_SetEngineEnabled(true);
    ASSERT_TRUE(Audio_Load(m_file.sond));
    SND_Init();
    for (BuiltinProc proc : {F_AudioPlaySound, F_AudioIsPlaying, F_AudioGetName, F_AudioSoundLength,
                             F_AudioSystem, F_AudioCreateBufferSound})
        EXPECT_EQ(Call(proc, {0, 1, 0, 0, 0, 0}).kind, VALUE_UNDEFINED);
    EXPECT_FALSE(m_device.IsOpen());
}

}  // namespace
