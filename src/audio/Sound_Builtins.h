// The legacy sound built-ins (sound_*, sound_effect_*, sound_3d_*), which act only while the
// legacy sound layer serves the game, the CD built-ins, which talk to the media-control device
// "cdaudio" in both modes, and MCI_command, which sends any command string.
#pragma once

#include "core/Code_Function.h"

void F_SoundPlay(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundLoop(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundStop(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundStopAll(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundIsPlaying(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundVolume(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundFade(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundPan(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundBackgroundTempo(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundGlobalVolume(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundSetSearchDirectory(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundEffectSet(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundEffectChorus(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundEffectCompressor(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundEffectEcho(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundEffectFlanger(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundEffectGargle(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundEffectEqualizer(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_SoundEffectReverb(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_Sound3DSetSoundPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_Sound3DSetSoundVelocity(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_Sound3DSetSoundDistance(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_Sound3DSetSoundCone(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdInit(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdPresent(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdNumber(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdPlaying(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdPaused(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdTrack(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdLength(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdTrackLength(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdTrackPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdPlay(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdStop(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdPause(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdResume(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdSetPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdSetTrackPosition(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdOpenDoor(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_CdCloseDoor(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_MCICommand(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
