#include "game/Game_Actions.h"

#include "core/Variable.h"
#include "game/Game_Assets.h"
#include "world/Function_Game.h"

namespace hvs {

bool FirstValue(int32_t object, int32_t ref, RValue* out) {
    RValue_Release(out);
    *out = RValue_Undefined();
    return Variable_GetOnTarget(object, VarId(ref), ARRAY_INDEX_WHOLE, out);
}

bool Exists(CInstance* self, CInstance* other, double target) {
    return Game_InstanceExistsDirect(self, other, CRT_TruncToInt32(target));
}

void SetGameState(CInstance*& self, CInstance*& other, double state) {
    With(self, other, OBJ_obj_state_manager, [&] { RValue_SetReal(Slot(self, S_state), state); });
}

double PlaySound(CInstance* self, CInstance* other, UnitScratch& scratch, double sound) {
    RValue index = RValue_Real(sound);
    return TakeReal(Call(self, other, &scratch, F_audio_play_sound, {&index, &kOne, &kZero}));
}

double PlaySoundAt(CInstance* self, CInstance* other, UnitScratch& scratch, double sound, double pitch) {
    RValue voice = RValue_Real(PlaySound(self, other, scratch, sound));
    RValue value = RValue_Real(pitch);
    Drop(Call(self, other, &scratch, F_audio_sound_pitch, {&voice, &value}));
    return voice.val;
}

double Distance(CInstance* self, CInstance* other, UnitScratch& scratch, double x1, double y1, double x2,
                double y2) {
    RValue a = RValue_Real(x1), b = RValue_Real(y1), c = RValue_Real(x2), d = RValue_Real(y2);
    return TakeReal(Call(self, other, &scratch, F_point_distance, {&a, &b, &c, &d}));
}

bool PlaceMeeting(CInstance* self, CInstance* other, UnitScratch& scratch, double x, double y,
                  int32_t object) {
    RValue a = RValue_Real(x), b = RValue_Real(y), o = RValue_Real(object);
    return Condition(TakeReal(Call(self, other, &scratch, F_place_meeting, {&a, &b, &o})));
}

namespace {

RValue* RunScript(ScriptFn script, CInstance* self, CInstance* other, UnitScratch& scratch,
                  std::initializer_list<double> args) {
    RValue values[5];
    RValue* pointers[5];
    int32_t n = 0;
    for (double a : args) {
        if (n == 5) break;
        values[n] = RValue_Real(a);
        pointers[n] = &values[n];
        ++n;
    }
    return script(self, other, &scratch, n, pointers);
}

}  // namespace

void CallScript(ScriptFn script, CInstance* self, CInstance* other, UnitScratch& scratch,
                std::initializer_list<double> args) {
    Drop(RunScript(script, self, other, scratch, args));
}

double ScriptReal(ScriptFn script, CInstance* self, CInstance* other, UnitScratch& scratch,
                  std::initializer_list<double> args) {
    return TakeReal(RunScript(script, self, other, scratch, args));
}

}  // namespace hvs
