// Small actions the game's units share: reading the first instance of an object, setting
// the game's state, playing a sound at a pitch, and drawing a sprite frame.
#pragma once

#include <cstdint>

#include "game/Game_Kit.h"

namespace hvs {

constexpr double kNoone = -4;
constexpr int32_t kVkSpace = 32;
constexpr int32_t kGpFace1 = 32769;
constexpr double kWhite = 16777215;

// A variable of the first instance of `object` into `out`. False, with `out` undefined, when no
// instance exists: a removed player reads as nothing instead of raising an error.
bool FirstValue(int32_t object, int32_t ref, RValue* out);
// instance_exists for an object index or instance id.
bool Exists(CInstance* self, CInstance* other, double target);

// The state manager's `state` for every state manager.
void SetGameState(CInstance*& self, CInstance*& other, double state);

// audio_play_sound(sound, 1, 0); answers the sound instance's id as a real.
double PlaySound(CInstance* self, CInstance* other, UnitScratch& scratch, double sound);
// audio_play_sound(sound, 1, 0) then audio_sound_pitch of that instance.
double PlaySoundAt(CInstance* self, CInstance* other, UnitScratch& scratch, double sound, double pitch);

// point_distance through the function table.
double Distance(CInstance* self, CInstance* other, UnitScratch& scratch, double x1, double y1, double x2,
                double y2);
// place_meeting(x, y, object) through the function table.
bool PlaceMeeting(CInstance* self, CInstance* other, UnitScratch& scratch, double x, double y,
                  int32_t object);

// A compiled call of a script whose result is not used.
using ScriptFn = RValue* (*)(CInstance*, CInstance*, RValue*, int32_t, RValue**);
void CallScript(ScriptFn script, CInstance* self, CInstance* other, UnitScratch& scratch,
                std::initializer_list<double> args);
// A script's result as a real.
double ScriptReal(ScriptFn script, CInstance* self, CInstance* other, UnitScratch& scratch,
                  std::initializer_list<double> args);

// Built-in instance variables of self.
inline double X(CInstance* self) {
    return GetBuiltinReal(self, V_x);
}
inline double Y(CInstance* self) {
    return GetBuiltinReal(self, V_y);
}
inline void SetVar(CInstance* self, int32_t ref, double value) {
    SetBuiltinReal(self, ref, ARRAY_INDEX_WHOLE, value);
}
inline void SetAlarm(CInstance* self, int32_t alarm, double steps) {
    SetBuiltinReal(self, V_alarm, alarm, steps);
}

}  // namespace hvs
