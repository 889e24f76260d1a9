#include "audio/Audio_Builtins.h"

#include "audio/Audio_Control.h"
#include "audio/Audio_Main.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

namespace {

void SetReal(RValue& result, double value) {
    result = RValue_Real(value);
}

// Listener masks reach game code as unsigned 32-bit numbers.
void SetMask(RValue& result, int32_t mask) {
    SetReal(result, static_cast<double>(static_cast<uint32_t>(mask)));
}

}  // namespace

// Every audio built-in does nothing, and writes no result, with "-noaudio".
#define AUDIO_BUILTIN(name) \
    void name([[maybe_unused]] RValue& result, CInstance*, CInstance*, int32_t, [[maybe_unused]] RValue* args)

AUDIO_BUILTIN(F_AudioSystem) {
    if (Audio_NoAudio()) return;
    SetReal(result, Audio_UsingNewSystem() ? 1.0 : 0.0);
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
    SetReal(result, Audio_PlaySimpleSound(sound, priority, loop));
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
    SetReal(result, Audio_IsPlaying(Arg_GetInt32(args, 0)) ? 1.0 : 0.0);
}

AUDIO_BUILTIN(F_AudioIsPaused) {
    if (Audio_NoAudio()) return;
    SetReal(result, Audio_IsPaused(Arg_GetInt32(args, 0)) ? 1.0 : 0.0);
}

AUDIO_BUILTIN(F_AudioExists) {
    if (Audio_NoAudio()) return;
    SetReal(result, Audio_Exists(Arg_GetInt32(args, 0)) ? 1.0 : 0.0);
}

AUDIO_BUILTIN(F_AudioGetType) {
    if (Audio_NoAudio()) return;
    SetReal(result, Audio_GetType(Arg_GetInt32(args, 0)));
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
    SetReal(result, Audio_GetGain(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundPitch) {
    if (Audio_NoAudio()) return;
    const int32_t id = Arg_GetInt32(args, 0);
    Audio_SetPitch(id, Arg_GetFloat(args, 1));
}

AUDIO_BUILTIN(F_AudioSoundGetPitch) {
    if (Audio_NoAudio()) return;
    SetReal(result, Audio_GetPitch(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundLength) {
    if (Audio_NoAudio()) return;
    SetReal(result, Audio_SoundLength(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundSetTrackPosition) {
    if (Audio_NoAudio()) return;
    const int32_t id = Arg_GetInt32(args, 0);
    Audio_SetTrackPosition(id, Arg_GetFloat(args, 1));
}

AUDIO_BUILTIN(F_AudioSoundGetTrackPosition) {
    if (Audio_NoAudio()) return;
    SetReal(result, Audio_GetTrackPos(Arg_GetInt32(args, 0)));
}

AUDIO_BUILTIN(F_AudioSoundGetListenerMask) {
    if (Audio_NoAudio()) return;
    SetMask(result, Audio_GetVoiceListenerMask(Arg_GetInt32(args, 0)));
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
    SetReal(result,
            Audio_CreateBufferSound(values[0], values[1], values[2], values[3], values[4], values[5]));
}

AUDIO_BUILTIN(F_AudioFreeBufferSound) {
    if (Audio_NoAudio()) return;
    SetReal(result, Audio_FreeBufferSound(Arg_GetInt32(args, 0)));
}
