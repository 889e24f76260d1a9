// The sound registrar's rows, the legacy sound built-ins, the CD built-ins over a scripted
// media-control device, and the built-ins whose registered counts differ from what they read.
#include <AL/al.h>

#include <sstream>

#include "AudioTestSupport.h"
#include "audio/Audio_Builtins.h"
#include "audio/Sound_Builtins.h"
#include "core/Value.h"
#include "platform/MciLayer.h"
#include "base/Error_Report.h"

using namespace audiotest;

namespace {

// The rows in the order the built-in table must hold them, with their registered counts.
const char* const kExpectedRows =
    "sound_play (1), sound_loop (1), sound_stop (1), sound_stop_all (0), sound_isplaying (1), sound_volume "
    "(2), "
    "sound_fade (3), sound_pan (2), sound_background_tempo (1), sound_global_volume (1), "
    "sound_set_search_directory (1), sound_effect_set (2), sound_effect_chorus (8), sound_effect_compressor "
    "(7), "
    "sound_effect_echo (6), sound_effect_flanger (8), sound_effect_gargle (3), sound_effect_equalizer (4), "
    "sound_effect_reverb (5), sound_3d_set_sound_position (4), sound_3d_set_sound_velocity (4), "
    "sound_3d_set_sound_distance (3), sound_3d_set_sound_cone (7), cd_init (0), cd_present (0), cd_number "
    "(0), "
    "cd_playing (0), cd_paused (0), cd_track (0), cd_length (0), cd_track_length (1), cd_position (0), "
    "cd_track_position (0), cd_play (2), cd_stop (0), cd_pause (0), cd_resume (0), cd_set_position (1), "
    "cd_set_track_position (1), cd_open_door (0), cd_close_door (0), MCI_command (1), "
    "audio_listener_position (3), "
    "audio_listener_velocity (3), audio_listener_orientation (6), audio_emitter_position (4), "
    "audio_emitter_velocity (4), audio_system (0), audio_emitter_create (0), audio_emitter_free (1), "
    "audio_play_sound (3), audio_play_sound_on (4), audio_play_sound_at (9), audio_falloff_set_model (1), "
    "audio_stop_sound (1), audio_pause_sound (1), audio_resume_sound (1), audio_pause_all (0), "
    "audio_resume_all (0), audio_is_playing (1), audio_is_paused (1), audio_exists (1), audio_master_gain "
    "(1), "
    "audio_emitter_exists (1), audio_get_type (1), audio_emitter_gain (2), audio_emitter_pitch (2), "
    "audio_emitter_falloff (4), audio_channel_num (1), audio_play_music (2), audio_stop_music (0), "
    "audio_pause_music (0), audio_resume_music (0), audio_music_is_playing (0), audio_music_gain (2), "
    "audio_sound_gain (3), audio_sound_pitch (2), audio_stop_all (0), audio_sound_length (1), "
    "audio_emitter_get_gain (1), audio_emitter_get_pitch (1), audio_emitter_get_x (1), audio_emitter_get_y "
    "(1), "
    "audio_emitter_get_z (1), audio_emitter_get_vx (1), audio_emitter_get_vy (1), audio_emitter_get_vz (1), "
    "audio_listener_set_position (4), audio_listener_set_velocity (4), audio_listener_set_orientation (7), "
    "audio_listener_get_data (1), audio_set_master_gain (2), audio_get_master_gain (1), audio_sound_get_gain "
    "(1), "
    "audio_sound_get_pitch (1), audio_get_name (1), audio_sound_set_track_position (2), "
    "audio_sound_get_track_position (1), audio_group_load (1), audio_group_unload (1), audio_group_is_loaded "
    "(1), "
    "audio_group_load_progress (1), audio_group_name (1), audio_group_stop_all (1), audio_group_set_gain "
    "(3), "
    "audio_create_buffer_sound (6), audio_free_buffer_sound (1), audio_create_play_queue (3), "
    "audio_free_play_queue (0), audio_queue_sound (4), audio_start_recording (1), audio_stop_recording (1), "
    "audio_get_recorder_count (0), audio_get_recorder_info (1), audio_sound_get_listener_mask (1), "
    "audio_sound_set_listener_mask (2), audio_emitter_get_listener_mask (1), audio_emitter_set_listener_mask "
    "(2), "
    "audio_get_listener_mask (0), audio_set_listener_mask (1), audio_get_listener_info (0), "
    "audio_get_listener_count (0), audio_create_sync_group (1), audio_destroy_sync_group (1), "
    "audio_play_in_sync_group (4), audio_start_sync_group (1), audio_pause_sync_group (1), "
    "audio_resume_sync_group (1), audio_stop_sync_group (1), audio_sync_group_get_track_pos (1), "
    "audio_sync_group_debug (1), audio_sync_group_is_playing (1), audio_create_stream (1), "
    "audio_destroy_stream (1), audio_debug (1)";

TEST(SoundRegistrar, RowsComeInTheirOrderWithTheirCounts) {
    std::vector<std::pair<std::string, int32_t>> expected;
    std::istringstream in(kExpectedRows);
    for (std::string entry; std::getline(in, entry, ',');) {
        const size_t open = entry.find('(');
        std::string name = entry.substr(0, open - 1);
        name.erase(0, name.find_first_not_of(' '));
        expected.emplace_back(name, std::stoi(entry.substr(open + 1)));
    }
    ASSERT_EQ(expected.size(), 135u);

    Code_Function_Free();
    Audio_RegisterBuiltins();
    ASSERT_EQ(Code_Function_Count(), 135);
    for (int32_t i = 0; i < 135; ++i) {
        const BuiltinFunction* row = Code_Function_Row(i);
        EXPECT_EQ(row->name, expected[size_t(i)].first) << i;
        EXPECT_EQ(row->argc, expected[size_t(i)].second) << row->name;
    }
    int32_t id = -1;
    EXPECT_TRUE(Code_Function_Find("audio_play_sound", &id));
    Code_Function_Free();
}

RValue CallValues(BuiltinProc proc, std::initializer_list<RValue> arguments) {
    std::vector<RValue> args(arguments);
    RValue result = RValue_Undefined();
    proc(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    return result;
}

RValue Call(BuiltinProc proc, std::initializer_list<double> arguments) {
    std::vector<RValue> args;
    for (double a : arguments) args.push_back(RValue_Real(a));
    RValue result = RValue_Undefined();
    proc(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    return result;
}

formpack::Sound LegacyEntry(const std::string& name, int32_t audio) {
    formpack::Sound entry;
    entry.name = name;
    entry.flags = kSoundNormal;
    entry.type = ".wav";
    entry.fileName = name + ".wav";
    entry.pitch = 0.0f;
    entry.group = 1;  // preload
    entry.audio = audio;
    return entry;
}

class LegacyBuiltins : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        g_Switches.noErrors = true;
        Error_SetOccurred(false);
        m_file = BuildSoundFile({LegacyEntry("snd_tone", 0)}, {MakeWav(Sine(441.0, kRate, kRate), kRate, 1)});
        ASSERT_TRUE(Sound_Init(m_file.sond));
        ASSERT_TRUE(Wave_Init(m_file.audo));
        SND_Init();
        ASSERT_TRUE(Sound_Prepare());
    }
    void TearDown() override {
        LoopbackTest::TearDown();
        g_Switches.noErrors = false;
        Error_SetOccurred(false);
    }
    SoundFile m_file;
};

TEST_F(LegacyBuiltins, PlayQueryAndStopOnTheLoopbackDevice) {
    Call(F_SoundLoop, {0.0});
    EXPECT_GT(Peak(Render(4410), 1000), 5000);
    EXPECT_EQ(Call(F_SoundIsPlaying, {0.0}).val, 1.0);
    Call(F_SoundStop, {0.0});
    EXPECT_EQ(Call(F_SoundIsPlaying, {0.0}).val, 0.0);
    EXPECT_LE(Peak(Render(2205), 500), kSilence);
    Call(F_SoundVolume, {0.0, 0.5});
    EXPECT_EQ(Sound_Get(0)->volume, 0.5);
    Call(F_Sound3DSetSoundCone, {0.0, 1, 2, 3, 4, 5, 6});
    EXPECT_FALSE(Error_Occurred());

    // A missing sound is a run-time error, except for the playing test.
    EXPECT_EQ(Call(F_SoundIsPlaying, {7.0}).val, 0.0);
    EXPECT_FALSE(Error_Occurred());
    for (BuiltinProc proc : {F_SoundPlay, F_SoundStop, F_SoundEffectEcho}) {
        Error_SetOccurred(false);
        Call(proc, {7.0});
        EXPECT_TRUE(Error_Occurred());
        EXPECT_NE(std::string(Error_LastText()).find("Sound does not exist."), std::string::npos);
    }
}

TEST_F(LegacyBuiltins, WithTheAudioEngineTheyDoNothing) {
    Audio_SetEngineEnabled(true);
    for (BuiltinProc proc : {F_SoundPlay, F_SoundIsPlaying, F_Sound3DSetSoundCone, F_SoundVolume}) {
        const RValue result = Call(proc, {9.0, 1.0});
        EXPECT_EQ(result.kind, VALUE_UNDEFINED);
    }
    EXPECT_FALSE(Error_Occurred());
    EXPECT_LE(Peak(Render(2205)), kSilence);
    Audio_SetEngineEnabled(false);
}

// --- CD audio --------------------------------------------------------------------------------

// Records every command and answers the status queries from a script.
class ScriptedMci final : public IMciLayer {
public:
    std::vector<std::string> commands;
    std::map<std::string, std::string> answers{{"status cdaudio media present", "true"},
                                               {"status cdaudio number of tracks", "10"},
                                               {"status cdaudio mode", "stopped"},
                                               {"status cdaudio position", "04:03:15:40"},
                                               {"status cdaudio length wait", "2400000"}};

    uint32_t SendString(const char* command, char* answer, uint32_t size) override {
        commands.emplace_back(command);
        auto it = answers.find(command);
        if (answer && size) std::snprintf(answer, size, "%s", it == answers.end() ? "" : it->second.c_str());
        return 0;
    }
    bool GetErrorString(uint32_t, char* text, uint32_t size) override {
        if (size) text[0] = 0;
        return false;
    }
    // The commands since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(commands);
        return taken;
    }
};

class CdBuiltins : public ::testing::Test {
protected:
    void SetUp() override { m_previous = Mci_Set(&m_mci); }
    void TearDown() override { Mci_Set(m_previous); }
    ScriptedMci m_mci;
    IMciLayer* m_previous = nullptr;
};

using Commands = std::vector<std::string>;
const Commands kPresent = {"open cdaudio", "status cdaudio media present"};

Commands Join(std::initializer_list<Commands> parts) {
    Commands all;
    for (const Commands& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(CdBuiltins, PlaySendsTheTrackRange) {
    Call(F_CdPlay, {3.0, 2.0});
    EXPECT_EQ(m_mci.Take(), Join({kPresent, {"set cdaudio time format tmsf wait"}}));
    Call(F_CdPlay, {0.0, 99.0});
    EXPECT_EQ(m_mci.Take(), Join({kPresent,
                                  {"set cdaudio time format tmsf wait"},
                                  {"open cdaudio"},
                                  kPresent,
                                  {"status cdaudio number of tracks", "play cdaudio from 1"}}));
    Call(F_CdPlay, {2.0, 5.0});
    EXPECT_EQ(m_mci.Take().back(), "play cdaudio from 2 to 6");
}

TEST_F(CdBuiltins, PositionsAreReadFromTmsfAnswers) {
    EXPECT_EQ(Call(F_CdTrackPosition, std::initializer_list<double>{}).val, (3 * 60 + 15) * 1000);
    EXPECT_EQ(
        m_mci.Take(),
        Join({{"open cdaudio", "set cdaudio time format tmsf wait"}, kPresent, {"status cdaudio position"}}));
    EXPECT_EQ(Call(F_CdTrack, std::initializer_list<double>{}).val, 4.0);
    EXPECT_EQ(Call(F_CdPaused, std::initializer_list<double>{}).val, 1.0);  // "stopped" counts as paused
    EXPECT_EQ(Call(F_CdPlaying, std::initializer_list<double>{}).val, 0.0);
    EXPECT_EQ(Call(F_CdNumber, std::initializer_list<double>{}).val, 10.0);
    EXPECT_EQ(Call(F_CdLength, std::initializer_list<double>{}).val, 2400000.0);
    EXPECT_EQ(m_mci.commands.back(), "set cdaudio time format tmsf wait");
    m_mci.answers["status cdaudio position"] = "02:0";
    EXPECT_EQ(Call(F_CdTrackPosition, std::initializer_list<double>{}).val,
              0.0);  // fields the answer lacks count 0
}

TEST_F(CdBuiltins, SettingTheTrackPositionSeeksWhileStopped) {
    m_mci.Take();
    Call(F_CdSetTrackPosition, {(2.0 * 60 + 5) * 1000});
    const Commands sent = m_mci.Take();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[sent.size() - 2], "seek cdaudio to 4:2:5");
    EXPECT_EQ(sent.back(), "set cdaudio time format tmsf");
    m_mci.answers["status cdaudio mode"] = "playing";
    Call(F_CdSetPosition, {1500.0});
    EXPECT_EQ(m_mci.Take(),
              Join({kPresent,
                    {"set cdaudio time format milliseconds wait", "open cdaudio"},
                    kPresent,
                    {"status cdaudio mode", "play cdaudio from 1500", "set cdaudio time format tmsf"}}));
}

TEST_F(CdBuiltins, WithoutADiscNothingIsPlayedAndQueriesAnswerZero) {
    m_mci.answers["status cdaudio media present"] = "false";
    Call(F_CdPlay, {1.0, 3.0});
    Call(F_CdStop, std::initializer_list<double>{});
    EXPECT_EQ(m_mci.Take(), Join({kPresent, kPresent}));
    for (BuiltinProc proc : {F_CdPresent, F_CdNumber, F_CdTrack, F_CdPosition, F_CdTrackLength})
        EXPECT_EQ(Call(proc, {1.0}).val, 0.0);
    Call(F_CdOpenDoor, std::initializer_list<double>{});
    EXPECT_EQ(m_mci.commands.back(), "set cdaudio door open");
}

TEST_F(CdBuiltins, MciCommandSendsItsStringAndReturnsTheAnswer) {
    const RValue command = [] {
        RValue v = RValue_Undefined();
        RValue_SetString(&v, "status cdaudio mode");
        return v;
    }();
    RValue result = CallValues(F_MCICommand, {command});
    EXPECT_STREQ(RValue_GetStringText(&result), "stopped");
    EXPECT_EQ(m_mci.commands.back(), "status cdaudio mode");
    RValue_Free(&result);
    RValue copy = command;
    RValue_Free(&copy);
}

// --- registered counts that differ from what the built-ins read --------------------------------

class CountedBuiltins : public LoopbackTest {};

TEST_F(CountedBuiltins, RowsRegisteredWithoutArgumentsCheckTheirCount) {
    StartEngine(BuildSoundFile({}, {}));
    g_AudioHost.createMap = [](const AudioMapPair*, int32_t) { return 3; };
    RValue none = RValue_Undefined();
    F_AudioFreePlayQueue(none, nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(none.val, 0.0);
    F_AudioGetListenerInfo(none, nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(none.val, -1.0);
    EXPECT_EQ(Call(F_AudioGetListenerInfo, {0.0}).val, 3.0);
    EXPECT_EQ(Call(F_AudioMusicIsPlaying, std::initializer_list<double>{}).val, 0.0);
    EXPECT_NE(TakeConsole().find("audio_music_is_playing :: deprecated function\n"), std::string::npos);
}

TEST_F(CountedBuiltins, NoAudioLeavesResultsAloneButStillStopsRecorders) {
    g_Switches.audioOff = true;
    EXPECT_EQ(Call(F_AudioPlaySound, {0.0, 1.0, 0.0}).kind, VALUE_UNDEFINED);
    EXPECT_EQ(Call(F_AudioMusicIsPlaying, std::initializer_list<double>{}).kind, VALUE_UNDEFINED);
    EXPECT_EQ(Call(F_AudioStopRecording, {0.0}).val, -1.0);
    EXPECT_NE(TakeConsole().find("audio_stop_recording : recorder 0 is not currently recording\n"),
              std::string::npos);
}

}  // namespace
