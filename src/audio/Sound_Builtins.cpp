#include "audio/Sound_Builtins.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/Audio_Main.h"
#include "audio/Sound_Main.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "platform/MciLayer.h"
#include "base/Error_Report.h"

namespace {

// --- legacy sounds -----------------------------------------------------------------------------

bool LegacyOff() {
    return Audio_NoAudio() || Audio_UsingNewSystem();
}

// The sound named by argument 0, or null after "Sound does not exist.".
CSound* SoundArg(RValue* args) {
    CSound* sound = Sound_Get(Arg_GetInt32(args, 0));
    if (sound == nullptr) Error_Report("Sound does not exist.", false);
    return sound;
}

void PlayLegacy(RValue* args, bool loop) {
    if (LegacyOff()) return;
    CSound* sound = SoundArg(args);
    if (sound == nullptr) return;
    const int32_t slot = sound->GetSoundId();
    SND_Play(sound->fileName, slot, loop);
    SND_SetVolume(slot, sound->volume, 1);
}

// The effect and 3-D built-ins only make sure the sound is prepared.
void PrepareOnly(RValue* args) {
    if (LegacyOff()) return;
    if (CSound* sound = SoundArg(args)) sound->GetSoundId();
}

// --- CD audio ---------------------------------------------------------------------------------

// The CD built-ins share one answer; numbers in it read as decimal, 0 without digits.
char g_cdAnswer[20];

void CdSend(const char* command) {
    g_cdAnswer[0] = 0;
    Mci_Current().SendString(command, g_cdAnswer, sizeof g_cdAnswer);
}

int32_t CdNumberAnswer() {
    return std::atoi(g_cdAnswer);
}

bool CdPresent() {
    CdSend("open cdaudio");
    CdSend("status cdaudio media present");
    return std::strcmp(g_cdAnswer, "true") == 0;
}

int32_t CdNumber() {
    CdSend("open cdaudio");
    if (!CdPresent()) return 0;
    CdSend("status cdaudio number of tracks");
    return CdNumberAnswer();
}

// The drive's mode when a disc is present, else empty.
bool CdModeIs(const char* first, const char* second = nullptr) {
    CdSend("open cdaudio");
    if (!CdPresent()) return false;
    CdSend("status cdaudio mode");
    return std::strcmp(g_cdAnswer, first) == 0 || (second && std::strcmp(g_cdAnswer, second) == 0);
}

int32_t CdTrack() {
    CdSend("open cdaudio");
    CdSend("set cdaudio time format tmsf wait");
    if (!CdPresent()) return 0;
    CdSend("status cdaudio position");
    char track[3] = {g_cdAnswer[0], g_cdAnswer[0] ? g_cdAnswer[1] : '\0', 0};
    return std::atoi(track);
}

// Two digits of the answer from `at`, when the answer reaches `needed` characters; else 0.
int32_t AnswerField(size_t at, size_t needed) {
    if (std::strlen(g_cdAnswer) < needed) return 0;
    const char field[3] = {g_cdAnswer[at], g_cdAnswer[at + 1], 0};
    return std::atoi(field);
}

}  // namespace

#define SOUND_BUILTIN(name) \
    void name([[maybe_unused]] RValue& result, CInstance*, CInstance*, int32_t, [[maybe_unused]] RValue* args)

// --- sound built-ins --------------------------------------------------------------------------

SOUND_BUILTIN(F_SoundPlay) {
    PlayLegacy(args, false);
}

SOUND_BUILTIN(F_SoundLoop) {
    PlayLegacy(args, true);
}

SOUND_BUILTIN(F_SoundStop) {
    if (LegacyOff()) return;
    if (CSound* sound = SoundArg(args)) SND_Stop(sound->fileName, sound->GetSoundId());
}

SOUND_BUILTIN(F_SoundStopAll) {
    if (LegacyOff()) return;
    SND_StopAll();
}

SOUND_BUILTIN(F_SoundIsPlaying) {
    if (LegacyOff()) return;
    CSound* sound = Sound_Get(Arg_GetInt32(args, 0));
    Result_SetFlag(result, sound && SND_IsPlaying(sound->fileName, sound->GetSoundId()));
}

SOUND_BUILTIN(F_SoundVolume) {
    if (LegacyOff()) return;
    CSound* sound = SoundArg(args);
    if (sound == nullptr) return;
    sound->volume = Arg_GetReal(args, 1);
    SND_SetVolume(sound->GetSoundId(), sound->volume, 1);
}

SOUND_BUILTIN(F_SoundFade) {
    if (LegacyOff()) return;
    CSound* sound = SoundArg(args);
    if (sound == nullptr) return;
    const double volume = Arg_GetReal(args, 1);
    SND_SetVolume(sound->GetSoundId(), volume, Arg_GetInt32(args, 2));
}

SOUND_BUILTIN(F_SoundPan) {
    PrepareOnly(args);
}

SOUND_BUILTIN(F_SoundBackgroundTempo) {}

SOUND_BUILTIN(F_SoundGlobalVolume) {
    if (LegacyOff()) return;
    SND_SetMasterVolume(Arg_GetRealAsFloat(args, 0));
}

SOUND_BUILTIN(F_SoundSetSearchDirectory) {}

#define PREPARE_ONLY(name) \
    SOUND_BUILTIN(name) { \
        PrepareOnly(args); \
    }

PREPARE_ONLY(F_SoundEffectSet)
PREPARE_ONLY(F_SoundEffectChorus)
PREPARE_ONLY(F_SoundEffectCompressor)
PREPARE_ONLY(F_SoundEffectEcho)
PREPARE_ONLY(F_SoundEffectFlanger)
PREPARE_ONLY(F_SoundEffectGargle)
PREPARE_ONLY(F_SoundEffectEqualizer)
PREPARE_ONLY(F_SoundEffectReverb)
PREPARE_ONLY(F_Sound3DSetSoundPosition)
PREPARE_ONLY(F_Sound3DSetSoundVelocity)
PREPARE_ONLY(F_Sound3DSetSoundDistance)
PREPARE_ONLY(F_Sound3DSetSoundCone)

// --- CD built-ins -------------------------------------------------------------------------------

SOUND_BUILTIN(F_CdInit) {
    CdSend("close cdaudio");
    CdSend("open cdaudio");
}

SOUND_BUILTIN(F_CdPresent) {
    Result_SetFlag(result, CdPresent());
}

SOUND_BUILTIN(F_CdNumber) {
    Result_SetReal(result, CdNumber());
}

SOUND_BUILTIN(F_CdPlaying) {
    Result_SetFlag(result, CdModeIs("playing"));
}

SOUND_BUILTIN(F_CdPaused) {
    Result_SetFlag(result, CdModeIs("paused", "stopped"));
}

SOUND_BUILTIN(F_CdTrack) {
    Result_SetReal(result, CdTrack());
}

SOUND_BUILTIN(F_CdLength) {
    CdSend("open cdaudio");
    CdSend("set cdaudio time format ms wait");
    int32_t length = 0;
    if (CdPresent()) {
        CdSend("status cdaudio length wait");
        length = CdNumberAnswer();
    }
    CdSend("set cdaudio time format tmsf wait");
    Result_SetReal(result, length);
}

SOUND_BUILTIN(F_CdTrackLength) {
    const int32_t track = Arg_GetInt32(args, 0);
    CdSend("open cdaudio");
    if (track < 1 || track > CdNumber()) {
        Result_SetReal(result, 0.0);
        return;
    }
    CdSend("set cdaudio time format milliseconds wait");
    int32_t length = 0;
    if (CdPresent()) {
        char command[64];
        std::snprintf(command, sizeof command, "status cdaudio length track %d", track);
        CdSend(command);
        length = CdNumberAnswer();
    }
    CdSend("set cdaudio time format tmsf wait");
    Result_SetReal(result, length);
}

SOUND_BUILTIN(F_CdPosition) {
    CdSend("open cdaudio");
    CdSend("set cdaudio time format milliseconds wait");
    int32_t position = 0;
    if (CdPresent()) {
        CdSend("status cdaudio position");
        position = CdNumberAnswer();
    }
    CdSend("set cdaudio time format tmsf wait");
    Result_SetReal(result, position);
}

SOUND_BUILTIN(F_CdTrackPosition) {
    CdSend("open cdaudio");
    CdSend("set cdaudio time format tmsf wait");
    int32_t position = 0;
    if (CdPresent()) {
        CdSend("status cdaudio position");
        // tt:mm:ss:ff: the milliseconds into the current track.
        position = (AnswerField(3, 5) * 60 + AnswerField(6, 8)) * 1000;
    }
    Result_SetReal(result, position);
}

SOUND_BUILTIN(F_CdPlay) {
    int32_t first = Arg_GetInt32(args, 0);
    const int32_t last = Arg_GetInt32(args, 1);
    if (!CdPresent()) return;
    CdSend("set cdaudio time format tmsf wait");
    if (last < first) return;
    if (first < 1) first = 1;
    char command[64];
    if (last < CdNumber())
        std::snprintf(command, sizeof command, "play cdaudio from %d to %d", first, last + 1);
    else
        std::snprintf(command, sizeof command, "play cdaudio from %d", first);
    CdSend(command);
}

SOUND_BUILTIN(F_CdStop) {
    if (CdPresent()) CdSend("stop cdaudio");
}

SOUND_BUILTIN(F_CdPause) {
    if (CdPresent()) CdSend("pause cdaudio");
}

SOUND_BUILTIN(F_CdResume) {
    if (CdPresent()) CdSend("play cdaudio");
}

SOUND_BUILTIN(F_CdSetPosition) {
    const int32_t milliseconds = Arg_GetInt32(args, 0);
    if (!CdPresent()) return;
    CdSend("set cdaudio time format milliseconds wait");
    char command[64];
    std::snprintf(command, sizeof command,
                  CdModeIs("playing") ? "play cdaudio from %d" : "seek cdaudio to %d", milliseconds);
    CdSend(command);
    CdSend("set cdaudio time format tmsf");
}

SOUND_BUILTIN(F_CdSetTrackPosition) {
    const int32_t milliseconds = Arg_GetInt32(args, 0);
    if (!CdPresent()) return;
    const int32_t track = CdTrack();
    if (track <= 0) return;
    char position[48];
    std::snprintf(position, sizeof position, "%d:%d:%d", track, milliseconds / 60000,
                  (milliseconds % 60000) / 1000);
    CdSend("set cdaudio time format tmsf wait");
    char command[96];
    std::snprintf(command, sizeof command, "%s%s",
                  CdModeIs("playing") ? "play cdaudio from " : "seek cdaudio to ", position);
    CdSend(command);
    CdSend("set cdaudio time format tmsf");
}

SOUND_BUILTIN(F_CdOpenDoor) {
    CdSend("open cdaudio");
    CdSend("set cdaudio door open");
}

SOUND_BUILTIN(F_CdCloseDoor) {
    CdSend("open cdaudio");
    CdSend("set cdaudio door closed");
}

SOUND_BUILTIN(F_MCICommand) {
    char answer[256] = {};
    const char* command = Arg_GetString(args, 0);
    Mci_Current().SendString(command ? command : "", answer, sizeof answer - 1);
    RValue_SetString(&result, answer);
}
