#include "audio/Audio_Builtins.h"

#include "audio/AudioHost.h"
#include "audio/Audio_Control.h"
#include "audio/Audio_Emitter.h"
#include "audio/Audio_Group.h"
#include "audio/Audio_Main.h"
#include "audio/Audio_Queue.h"
#include "audio/Audio_Sync.h"
#include "audio/Sound_Builtins.h"
#include "core/Console.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

// Every audio built-in does nothing, and writes no result, with "-noaudio".
#define AUDIO_BUILTIN(name) \
    void name([[maybe_unused]] RValue& result, CInstance*, CInstance*, int32_t, [[maybe_unused]] RValue* args)

AUDIO_BUILTIN(F_AudioSystem) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, Audio_UsingNewSystem());
}

AUDIO_BUILTIN(F_AudioChannelNum) {
    if (Audio_NoAudio()) return;
    Audio_SetChannelCount(Arg_GetInt32(args, 0));
}

AUDIO_BUILTIN(F_AudioPlaySound) {
    if (Audio_NoAudio()) return;
    const int32_t sound = Arg_GetInt32(args, 0);
    const double priority = Arg_GetReal(args, 1);
    const int32_t loop = Arg_GetInt32(args, 2);
    Result_SetReal(result, Audio_PlaySimpleSound(sound, priority, loop));
}

AUDIO_BUILTIN(F_AudioStopSound) {
    if (Audio_NoAudio()) return;
    Audio_StopSound(Arg_GetInt32(args, 0));
}

AUDIO_BUILTIN(F_AudioStopAll) {
    if (Audio_NoAudio()) return;
    Audio_StopAll(false);
}

AUDIO_BUILTIN(F_AudioPauseSound) {
    if (Audio_NoAudio()) return;
    Audio_PauseSound(Arg_GetInt32(args, 0));
}

AUDIO_BUILTIN(F_AudioResumeSound) {
    if (Audio_NoAudio()) return;
    Audio_ResumeSound(Arg_GetInt32(args, 0));
}

AUDIO_BUILTIN(F_AudioPauseAll) {
    if (Audio_NoAudio()) return;
    Audio_PauseAll();
}

AUDIO_BUILTIN(F_AudioResumeAll) {
    if (Audio_NoAudio()) return;
    Audio_ResumeAll();
}

AUDIO_BUILTIN(F_AudioIsPlaying) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, Audio_IsPlaying(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioIsPaused) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, Audio_IsPaused(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioExists) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, Audio_Exists(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGetType) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetType(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGetName) {
    if (Audio_NoAudio()) return;
    RValue_SetString(&result, Audio_GetName(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundGain) {
    if (Audio_NoAudio()) return;
    const int32_t id = Arg_GetInt32(args, 0);
    const float gain = Arg_GetFloat(args, 1);
    Audio_SoundGain(id, gain, Arg_GetInt32(args, 2));
}

AUDIO_BUILTIN(F_AudioSoundGetGain) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetGain(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundPitch) {
    if (Audio_NoAudio()) return;
    const int32_t id = Arg_GetInt32(args, 0);
    Audio_SetPitch(id, Arg_GetFloat(args, 1));
}

AUDIO_BUILTIN(F_AudioSoundGetPitch) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetPitch(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundLength) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_SoundLength(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundSetTrackPosition) {
    if (Audio_NoAudio()) return;
    const int32_t id = Arg_GetInt32(args, 0);
    Audio_SetTrackPosition(id, Arg_GetFloat(args, 1));
}

AUDIO_BUILTIN(F_AudioSoundGetTrackPosition) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetTrackPos(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundGetListenerMask) {
    if (Audio_NoAudio()) return;
    Result_SetUnsigned(result, static_cast<uint32_t>(Audio_GetVoiceListenerMask(Arg_GetInt32(args, 0))));
}

AUDIO_BUILTIN(F_AudioSoundSetListenerMask) {
    if (Audio_NoAudio()) return;
    const int32_t id = Arg_GetInt32(args, 0);
    // Read as unsigned so that a mask with the top bit set keeps its bits.
    Audio_SetVoiceListenerMask(id, static_cast<int32_t>(Arg_GetUInt32(args, 1)));
}

AUDIO_BUILTIN(F_AudioCreateBufferSound) {
    if (Audio_NoAudio()) return;
    int32_t values[6];
    for (int32_t i = 0; i < 6; ++i) values[i] = Arg_GetInt32(args, i);
    Result_SetReal(result,
                   Audio_CreateBufferSound(values[0], values[1], values[2], values[3], values[4], values[5]));
}

AUDIO_BUILTIN(F_AudioFreeBufferSound) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_FreeBufferSound(Arg_GetInt32(args, 0)));
}

// --- listener, falloff and system --------------------------------------------------------------

namespace {

// "Marked real, no value": the result is a real and keeps what the caller put there; any other
// kind is released first, so that no string or array is read as a number.
void MarkReal(RValue& result) {
    if (RValue_IsReal(result)) return;
    RValue_Free(&result);
    result = RValue_Real(0.0);
}

int32_t EmitterArg(RValue* args) {
    return Arg_GetInt32(args, 0);
}

}  // namespace

AUDIO_BUILTIN(F_AudioListenerPosition) {
    if (Audio_NoAudio()) return;
    Audio_SetListenerPosition(0, Arg_GetRealAsFloat(args, 0), Arg_GetRealAsFloat(args, 1),
                              Arg_GetRealAsFloat(args, 2));
}

AUDIO_BUILTIN(F_AudioListenerVelocity) {
    if (Audio_NoAudio()) return;
    Audio_SetListenerVelocity(0, Arg_GetRealAsFloat(args, 0), Arg_GetRealAsFloat(args, 1),
                              Arg_GetRealAsFloat(args, 2));
}

AUDIO_BUILTIN(F_AudioListenerOrientation) {
    if (Audio_NoAudio()) return;
    Audio_SetListenerOrientation(0, Arg_GetRealAsFloat(args, 0), Arg_GetRealAsFloat(args, 1),
                                 Arg_GetRealAsFloat(args, 2), Arg_GetRealAsFloat(args, 3),
                                 Arg_GetRealAsFloat(args, 4), Arg_GetRealAsFloat(args, 5));
}

AUDIO_BUILTIN(F_AudioListenerSetPosition) {
    if (Audio_NoAudio()) return;
    Audio_SetListenerPosition(Arg_GetInt32(args, 0), Arg_GetRealAsFloat(args, 1), Arg_GetRealAsFloat(args, 2),
                              Arg_GetRealAsFloat(args, 3));
}

AUDIO_BUILTIN(F_AudioListenerSetVelocity) {
    if (Audio_NoAudio()) return;
    Audio_SetListenerVelocity(Arg_GetInt32(args, 0), Arg_GetRealAsFloat(args, 1), Arg_GetRealAsFloat(args, 2),
                              Arg_GetRealAsFloat(args, 3));
}

AUDIO_BUILTIN(F_AudioListenerSetOrientation) {
    if (Audio_NoAudio()) return;
    Audio_SetListenerOrientation(Arg_GetInt32(args, 0), Arg_GetRealAsFloat(args, 1),
                                 Arg_GetRealAsFloat(args, 2), Arg_GetRealAsFloat(args, 3),
                                 Arg_GetRealAsFloat(args, 4), Arg_GetRealAsFloat(args, 5),
                                 Arg_GetRealAsFloat(args, 6));
}

AUDIO_BUILTIN(F_AudioListenerGetData) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetListenerData(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioMasterGain) {
    if (Audio_NoAudio()) return;
    Audio_SetMasterGain(0, Arg_GetReal(args, 0));
}

AUDIO_BUILTIN(F_AudioSetMasterGain) {
    if (Audio_NoAudio()) return;
    Audio_SetMasterGain(Arg_GetInt32(args, 0), Arg_GetReal(args, 1));
}

AUDIO_BUILTIN(F_AudioGetMasterGain) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetMasterGain(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGetListenerCount) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetListenerCount());
}

// Registered with no arguments but reads one: a call without it names no listener.
void F_AudioGetListenerInfo(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, argc >= 1 ? Audio_GetListenerInfo(Arg_GetInt32(args, 0)) : -1);
}

AUDIO_BUILTIN(F_AudioGetListenerMask) {
    if (Audio_NoAudio()) return;
    Result_SetUnsigned(result, static_cast<uint32_t>(Audio_GetListenerMask()));
}

AUDIO_BUILTIN(F_AudioSetListenerMask) {
    if (Audio_NoAudio()) return;
    Audio_SetListenerMask(static_cast<int32_t>(Arg_GetUInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioFalloffSetModel) {
    if (Audio_NoAudio()) return;
    Audio_SetFalloffModel(Arg_GetInt32(args, 0));
}

AUDIO_BUILTIN(F_AudioDebug) {
    if (Audio_NoAudio()) return;
    AudioHost_SetDebugViewFlags(Arg_GetInt32(args, 0) > 0 ? 16 : 0);
}

// --- emitters ---------------------------------------------------------------------------------

AUDIO_BUILTIN(F_AudioEmitterCreate) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_CreateEmitter());
}

AUDIO_BUILTIN(F_AudioEmitterFree) {
    if (Audio_NoAudio()) return;
    Audio_FreeEmitter(EmitterArg(args));
}

AUDIO_BUILTIN(F_AudioEmitterExists) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, Audio_EmitterExists(EmitterArg(args)));
}

AUDIO_BUILTIN(F_AudioEmitterPosition) {
    if (Audio_NoAudio()) return;
    Audio_SetEmitterPosition(EmitterArg(args), Arg_GetRealAsFloat(args, 1), Arg_GetRealAsFloat(args, 2),
                             Arg_GetRealAsFloat(args, 3));
}

AUDIO_BUILTIN(F_AudioEmitterVelocity) {
    if (Audio_NoAudio()) return;
    Audio_SetEmitterVelocity(EmitterArg(args), Arg_GetRealAsFloat(args, 1), Arg_GetRealAsFloat(args, 2),
                             Arg_GetRealAsFloat(args, 3));
}

AUDIO_BUILTIN(F_AudioEmitterGain) {
    if (Audio_NoAudio()) return;
    Audio_SetEmitterGain(EmitterArg(args), Arg_GetRealAsFloat(args, 1));
}

AUDIO_BUILTIN(F_AudioEmitterPitch) {
    if (Audio_NoAudio()) return;
    Audio_SetEmitterPitch(EmitterArg(args), Arg_GetRealAsFloat(args, 1));
}

AUDIO_BUILTIN(F_AudioEmitterFalloff) {
    if (Audio_NoAudio()) return;
    Audio_SetEmitterFalloff(EmitterArg(args), Arg_GetRealAsFloat(args, 1), Arg_GetRealAsFloat(args, 2),
                            Arg_GetRealAsFloat(args, 3));
}

AUDIO_BUILTIN(F_AudioEmitterGetGain) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetEmitterGain(EmitterArg(args)));
}

AUDIO_BUILTIN(F_AudioEmitterGetPitch) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetEmitterPitch(EmitterArg(args)));
}

#define EMITTER_COMPONENT(name, getter, component) \
    AUDIO_BUILTIN(name) { \
        if (Audio_NoAudio()) return; \
        float vector[3]; \
        getter(EmitterArg(args), vector); \
        Result_SetReal(result, vector[component]); \
    }

EMITTER_COMPONENT(F_AudioEmitterGetX, Audio_GetEmitterPosition, 0)
EMITTER_COMPONENT(F_AudioEmitterGetY, Audio_GetEmitterPosition, 1)
EMITTER_COMPONENT(F_AudioEmitterGetZ, Audio_GetEmitterPosition, 2)
EMITTER_COMPONENT(F_AudioEmitterGetVX, Audio_GetEmitterVelocity, 0)
EMITTER_COMPONENT(F_AudioEmitterGetVY, Audio_GetEmitterVelocity, 1)
EMITTER_COMPONENT(F_AudioEmitterGetVZ, Audio_GetEmitterVelocity, 2)

AUDIO_BUILTIN(F_AudioEmitterGetListenerMask) {
    if (Audio_NoAudio()) return;
    Result_SetUnsigned(result, static_cast<uint32_t>(Audio_GetEmitterListenerMask(EmitterArg(args))));
}

AUDIO_BUILTIN(F_AudioEmitterSetListenerMask) {
    if (Audio_NoAudio()) return;
    Audio_SetEmitterListenerMask(EmitterArg(args), static_cast<int32_t>(Arg_GetUInt32(args, 1)));
}

AUDIO_BUILTIN(F_AudioPlaySoundOn) {
    if (Audio_NoAudio()) return;
    const int32_t emitter = Arg_GetInt32(args, 0);
    const int32_t sound = Arg_GetInt32(args, 1);
    const int32_t loop = Arg_GetInt32(args, 2);
    Result_SetReal(result, Audio_PlaySound(emitter, sound, loop, Arg_GetReal(args, 3)));
}

AUDIO_BUILTIN(F_AudioPlaySoundAt) {
    if (Audio_NoAudio()) return;
    const int32_t sound = Arg_GetInt32(args, 0);
    float values[6];
    for (int32_t i = 0; i < 6; ++i) values[i] = Arg_GetRealAsFloat(args, i + 1);
    const int32_t loop = Arg_GetInt32(args, 7);
    Result_SetReal(result, Audio_PlaySoundAt(sound, values[0], values[1], values[2], values[3], values[4],
                                             values[5], loop, Arg_GetReal(args, 8)));
}

// --- audio groups --------------------------------------------------------------------------------

AUDIO_BUILTIN(F_AudioGroupLoad) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, CAudioGroupManager::Load(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGroupUnload) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, CAudioGroupManager::Unload(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGroupIsLoaded) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, CAudioGroupManager::IsLoaded(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGroupLoadProgress) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, CAudioGroupManager::GetProgress(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGroupName) {
    if (Audio_NoAudio()) return;
    RValue_SetString(&result, CAudioGroupManager::GetName(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGroupStopAll) {
    if (Audio_NoAudio()) return;
    Audio_StopGroup(Arg_GetInt32(args, 0));
}

AUDIO_BUILTIN(F_AudioGroupSetGain) {
    if (Audio_NoAudio()) return;
    const int32_t group = Arg_GetInt32(args, 0);
    const float gain = Arg_GetFloat(args, 1);
    Audio_SetGroupGain(group, gain, Arg_GetInt32(args, 2));
}

// --- play queues, recording and streams ----------------------------------------------------------

AUDIO_BUILTIN(F_AudioCreatePlayQueue) {
    if (Audio_NoAudio()) return;
    const int32_t format = Arg_GetInt32(args, 0);
    const int32_t rate = Arg_GetInt32(args, 1);
    Result_SetReal(result, Audio_CreatePlayQueue(format, rate, Arg_GetInt32(args, 2)));
}

// Registered with no arguments but reads one: a call without it frees nothing.
void F_AudioFreePlayQueue(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, argc >= 1 ? Audio_FreePlayQueue(Arg_GetInt32(args, 0)) : 0);
}

AUDIO_BUILTIN(F_AudioQueueSound) {
    if (Audio_NoAudio()) return;
    int32_t values[4];
    for (int32_t i = 0; i < 4; ++i) values[i] = Arg_GetInt32(args, i);
    Result_SetReal(result, Audio_QueueBufferSound(values[0], values[1], values[2], values[3]));
}

AUDIO_BUILTIN(F_AudioStartRecording) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_StartRecording(Arg_GetInt32(args, 0)));
}

// Stopping a recorder is allowed with "-noaudio" too: a device opened before must be let go.
AUDIO_BUILTIN(F_AudioStopRecording) {
    Result_SetReal(result, Audio_StopRecording(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioGetRecorderCount) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetRecorderCount());
}

AUDIO_BUILTIN(F_AudioGetRecorderInfo) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetRecorderInfo(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioCreateStream) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_CreateStream(Arg_GetString(args, 0)));
}

AUDIO_BUILTIN(F_AudioDestroyStream) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_DestroyStream(Arg_GetInt32(args, 0)));
}

// --- sync groups -----------------------------------------------------------------------------------

AUDIO_BUILTIN(F_AudioCreateSyncGroup) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_CreateSyncGroup(Arg_GetInt32(args, 0) > 0));
}

AUDIO_BUILTIN(F_AudioDestroySyncGroup) {
    if (Audio_NoAudio()) return;
    Audio_DestroySyncGroup(Arg_GetInt32(args, 0));
    MarkReal(result);
}

AUDIO_BUILTIN(F_AudioPlayInSyncGroup) {
    if (Audio_NoAudio()) return;
    const int32_t group = Arg_GetInt32(args, 0);
    Result_SetReal(result, Audio_PlayInSyncGroup(group, Arg_GetInt32(args, 1)));
}

#define SYNC_COMMAND(name, operation) \
    AUDIO_BUILTIN(name) { \
        if (Audio_NoAudio()) return; \
        operation(Arg_GetInt32(args, 0)); \
        MarkReal(result); \
    }

SYNC_COMMAND(F_AudioStartSyncGroup, Audio_StartSyncGroup)
SYNC_COMMAND(F_AudioStopSyncGroup, Audio_StopSyncGroup)
SYNC_COMMAND(F_AudioPauseSyncGroup, Audio_PauseSyncGroup)
SYNC_COMMAND(F_AudioResumeSyncGroup, Audio_ResumeSyncGroup)
SYNC_COMMAND(F_AudioSyncGroupDebug, Audio_SetSyncGroupDebug)

AUDIO_BUILTIN(F_AudioSyncGroupGetTrackPos) {
    if (Audio_NoAudio()) return;
    Result_SetReal(result, Audio_GetSyncGroupPosition(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSyncGroupIsPlaying) {
    if (Audio_NoAudio()) return;
    Result_SetFlag(result, Audio_SyncGroupIsPlaying(Arg_GetInt32(args, 0)));
}

// --- music built-ins kept for old games ---------------------------------------------------------

#define DEPRECATED_MUSIC(name, text) \
    AUDIO_BUILTIN(name) { \
        if (Audio_NoAudio()) return; \
        DebugConsole.Output(text " :: deprecated function\n"); \
    }

DEPRECATED_MUSIC(F_AudioPlayMusic, "audio_play_music")
DEPRECATED_MUSIC(F_AudioStopMusic, "audio_stop_music")
DEPRECATED_MUSIC(F_AudioPauseMusic, "audio_pause_music")
DEPRECATED_MUSIC(F_AudioResumeMusic, "audio_resume_music")
DEPRECATED_MUSIC(F_AudioMusicGain, "audio_music_gain")

AUDIO_BUILTIN(F_AudioMusicIsPlaying) {
    if (Audio_NoAudio()) return;
    DebugConsole.Output("audio_music_is_playing :: deprecated function\n");
    Result_SetReal(result, 0.0);
}

// --- the sound registrar ---------------------------------------------------------------------------

namespace {

// Every sound built-in of the runner, in the order the built-in table gives them.
const BuiltinRow kAudioRows[] = {
    {"sound_play", F_SoundPlay, 1, 0},
    {"sound_loop", F_SoundLoop, 1, 0},
    {"sound_stop", F_SoundStop, 1, 0},
    {"sound_stop_all", F_SoundStopAll, 0, 0},
    {"sound_isplaying", F_SoundIsPlaying, 1, 0},
    {"sound_volume", F_SoundVolume, 2, 0},
    {"sound_fade", F_SoundFade, 3, 0},
    {"sound_pan", F_SoundPan, 2, 0},
    {"sound_background_tempo", F_SoundBackgroundTempo, 1, 0},
    {"sound_global_volume", F_SoundGlobalVolume, 1, 0},
    {"sound_set_search_directory", F_SoundSetSearchDirectory, 1, 0},
    {"sound_effect_set", F_SoundEffectSet, 2, 1},
    {"sound_effect_chorus", F_SoundEffectChorus, 8, 1},
    {"sound_effect_compressor", F_SoundEffectCompressor, 7, 1},
    {"sound_effect_echo", F_SoundEffectEcho, 6, 1},
    {"sound_effect_flanger", F_SoundEffectFlanger, 8, 1},
    {"sound_effect_gargle", F_SoundEffectGargle, 3, 1},
    {"sound_effect_equalizer", F_SoundEffectEqualizer, 4, 1},
    {"sound_effect_reverb", F_SoundEffectReverb, 5, 1},
    {"sound_3d_set_sound_position", F_Sound3DSetSoundPosition, 4, 1},
    {"sound_3d_set_sound_velocity", F_Sound3DSetSoundVelocity, 4, 1},
    {"sound_3d_set_sound_distance", F_Sound3DSetSoundDistance, 3, 1},
    {"sound_3d_set_sound_cone", F_Sound3DSetSoundCone, 7, 1},
    {"cd_init", F_CdInit, 0, 1},
    {"cd_present", F_CdPresent, 0, 1},
    {"cd_number", F_CdNumber, 0, 1},
    {"cd_playing", F_CdPlaying, 0, 1},
    {"cd_paused", F_CdPaused, 0, 1},
    {"cd_track", F_CdTrack, 0, 1},
    {"cd_length", F_CdLength, 0, 1},
    {"cd_track_length", F_CdTrackLength, 1, 1},
    {"cd_position", F_CdPosition, 0, 1},
    {"cd_track_position", F_CdTrackPosition, 0, 1},
    {"cd_play", F_CdPlay, 2, 1},
    {"cd_stop", F_CdStop, 0, 1},
    {"cd_pause", F_CdPause, 0, 1},
    {"cd_resume", F_CdResume, 0, 1},
    {"cd_set_position", F_CdSetPosition, 1, 1},
    {"cd_set_track_position", F_CdSetTrackPosition, 1, 1},
    {"cd_open_door", F_CdOpenDoor, 0, 1},
    {"cd_close_door", F_CdCloseDoor, 0, 1},
    {"MCI_command", F_MCICommand, 1, 1},
    {"audio_listener_position", F_AudioListenerPosition, 3, 1},
    {"audio_listener_velocity", F_AudioListenerVelocity, 3, 1},
    {"audio_listener_orientation", F_AudioListenerOrientation, 6, 1},
    {"audio_emitter_position", F_AudioEmitterPosition, 4, 1},
    {"audio_emitter_velocity", F_AudioEmitterVelocity, 4, 1},
    {"audio_system", F_AudioSystem, 0, 1},
    {"audio_emitter_create", F_AudioEmitterCreate, 0, 1},
    {"audio_emitter_free", F_AudioEmitterFree, 1, 1},
    {"audio_play_sound", F_AudioPlaySound, 3, 1},
    {"audio_play_sound_on", F_AudioPlaySoundOn, 4, 1},
    {"audio_play_sound_at", F_AudioPlaySoundAt, 9, 1},
    {"audio_falloff_set_model", F_AudioFalloffSetModel, 1, 1},
    {"audio_stop_sound", F_AudioStopSound, 1, 1},
    {"audio_pause_sound", F_AudioPauseSound, 1, 1},
    {"audio_resume_sound", F_AudioResumeSound, 1, 1},
    {"audio_pause_all", F_AudioPauseAll, 0, 1},
    {"audio_resume_all", F_AudioResumeAll, 0, 1},
    {"audio_is_playing", F_AudioIsPlaying, 1, 1},
    {"audio_is_paused", F_AudioIsPaused, 1, 1},
    {"audio_exists", F_AudioExists, 1, 1},
    {"audio_master_gain", F_AudioMasterGain, 1, 1},
    {"audio_emitter_exists", F_AudioEmitterExists, 1, 1},
    {"audio_get_type", F_AudioGetType, 1, 1},
    {"audio_emitter_gain", F_AudioEmitterGain, 2, 1},
    {"audio_emitter_pitch", F_AudioEmitterPitch, 2, 1},
    {"audio_emitter_falloff", F_AudioEmitterFalloff, 4, 1},
    {"audio_channel_num", F_AudioChannelNum, 1, 1},
    {"audio_play_music", F_AudioPlayMusic, 2, 0},
    {"audio_stop_music", F_AudioStopMusic, 0, 1},
    {"audio_pause_music", F_AudioPauseMusic, 0, 1},
    {"audio_resume_music", F_AudioResumeMusic, 0, 1},
    {"audio_music_is_playing", F_AudioMusicIsPlaying, 0, 1},
    {"audio_music_gain", F_AudioMusicGain, 2, 1},
    {"audio_sound_gain", F_AudioSoundGain, 3, 1},
    {"audio_sound_pitch", F_AudioSoundPitch, 2, 1},
    {"audio_stop_all", F_AudioStopAll, 0, 1},
    {"audio_sound_length", F_AudioSoundLength, 1, 1},
    {"audio_emitter_get_gain", F_AudioEmitterGetGain, 1, 1},
    {"audio_emitter_get_pitch", F_AudioEmitterGetPitch, 1, 1},
    {"audio_emitter_get_x", F_AudioEmitterGetX, 1, 1},
    {"audio_emitter_get_y", F_AudioEmitterGetY, 1, 1},
    {"audio_emitter_get_z", F_AudioEmitterGetZ, 1, 1},
    {"audio_emitter_get_vx", F_AudioEmitterGetVX, 1, 1},
    {"audio_emitter_get_vy", F_AudioEmitterGetVY, 1, 1},
    {"audio_emitter_get_vz", F_AudioEmitterGetVZ, 1, 1},
    {"audio_listener_set_position", F_AudioListenerSetPosition, 4, 1},
    {"audio_listener_set_velocity", F_AudioListenerSetVelocity, 4, 1},
    {"audio_listener_set_orientation", F_AudioListenerSetOrientation, 7, 1},
    {"audio_listener_get_data", F_AudioListenerGetData, 1, 1},
    {"audio_set_master_gain", F_AudioSetMasterGain, 2, 1},
    {"audio_get_master_gain", F_AudioGetMasterGain, 1, 1},
    {"audio_sound_get_gain", F_AudioSoundGetGain, 1, 1},
    {"audio_sound_get_pitch", F_AudioSoundGetPitch, 1, 1},
    {"audio_get_name", F_AudioGetName, 1, 1},
    {"audio_sound_set_track_position", F_AudioSoundSetTrackPosition, 2, 1},
    {"audio_sound_get_track_position", F_AudioSoundGetTrackPosition, 1, 1},
    {"audio_group_load", F_AudioGroupLoad, 1, 0},
    {"audio_group_unload", F_AudioGroupUnload, 1, 0},
    {"audio_group_is_loaded", F_AudioGroupIsLoaded, 1, 0},
    {"audio_group_load_progress", F_AudioGroupLoadProgress, 1, 0},
    {"audio_group_name", F_AudioGroupName, 1, 0},
    {"audio_group_stop_all", F_AudioGroupStopAll, 1, 0},
    {"audio_group_set_gain", F_AudioGroupSetGain, 3, 0},
    {"audio_create_buffer_sound", F_AudioCreateBufferSound, 6, 0},
    {"audio_free_buffer_sound", F_AudioFreeBufferSound, 1, 0},
    {"audio_create_play_queue", F_AudioCreatePlayQueue, 3, 0},
    {"audio_free_play_queue", F_AudioFreePlayQueue, 0, 0},
    {"audio_queue_sound", F_AudioQueueSound, 4, 0},
    {"audio_start_recording", F_AudioStartRecording, 1, 0},
    {"audio_stop_recording", F_AudioStopRecording, 1, 0},
    {"audio_get_recorder_count", F_AudioGetRecorderCount, 0, 0},
    {"audio_get_recorder_info", F_AudioGetRecorderInfo, 1, 0},
    {"audio_sound_get_listener_mask", F_AudioSoundGetListenerMask, 1, 1},
    {"audio_sound_set_listener_mask", F_AudioSoundSetListenerMask, 2, 1},
    {"audio_emitter_get_listener_mask", F_AudioEmitterGetListenerMask, 1, 1},
    {"audio_emitter_set_listener_mask", F_AudioEmitterSetListenerMask, 2, 1},
    {"audio_get_listener_mask", F_AudioGetListenerMask, 0, 1},
    {"audio_set_listener_mask", F_AudioSetListenerMask, 1, 1},
    {"audio_get_listener_info", F_AudioGetListenerInfo, 0, 1},
    {"audio_get_listener_count", F_AudioGetListenerCount, 0, 1},
    {"audio_create_sync_group", F_AudioCreateSyncGroup, 1, 0},
    {"audio_destroy_sync_group", F_AudioDestroySyncGroup, 1, 0},
    {"audio_play_in_sync_group", F_AudioPlayInSyncGroup, 4, 0},
    {"audio_start_sync_group", F_AudioStartSyncGroup, 1, 0},
    {"audio_pause_sync_group", F_AudioPauseSyncGroup, 1, 0},
    {"audio_resume_sync_group", F_AudioResumeSyncGroup, 1, 0},
    {"audio_stop_sync_group", F_AudioStopSyncGroup, 1, 0},
    {"audio_sync_group_get_track_pos", F_AudioSyncGroupGetTrackPos, 1, 0},
    {"audio_sync_group_debug", F_AudioSyncGroupDebug, 1, 0},
    {"audio_sync_group_is_playing", F_AudioSyncGroupIsPlaying, 1, 0},
    {"audio_create_stream", F_AudioCreateStream, 1, 0},
    {"audio_destroy_stream", F_AudioDestroyStream, 1, 0},
    {"audio_debug", F_AudioDebug, 1, 0},
};

}  // namespace

int32_t Audio_RegisteredRowCount() {
    return static_cast<int32_t>(sizeof kAudioRows / sizeof kAudioRows[0]);
}

const char* Audio_RegisteredRowName(int32_t i) {
    return i >= 0 && i < Audio_RegisteredRowCount() ? kAudioRows[i].name : nullptr;
}

void Audio_RegisterBuiltins() {
    Code_Function_AddRows(kAudioRows);
}
