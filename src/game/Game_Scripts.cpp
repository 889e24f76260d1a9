// The game's scripts: the particle bursts, the speech bubble and the signed power.
#include "data/Function_Math.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

// Each script's unit scratch, made undefined before the runner starts.
UnitScratch g_particleScratch[5];
UnitScratch g_speechScratch;
UnitScratch g_npowScratch;

// One burst of particle type `type` (pt1 .. pt5) in every particle object's system.
RValue* ParticleBurst(const char* name, int32_t typeSlot, CInstance* self, CInstance* other, RValue* result,
                      RValue** args) {
    UnitScratch& scratch = g_particleScratch[typeSlot - S_pt1];
    Frame frame(name);
    Locals<2> t;
    frame.Line(1);
    With(self, other, OBJ_particles, [&] {
        frame.Line(2);
        const double spread = Real(args[2]);
        RValue_SetReal(t[0], Real(args[0]) + Direct_random_range(-spread, spread));
        RValue_SetReal(t[1], Real(args[1]) + Direct_random_range(-spread, spread));
        Call(self, other, &scratch, F_part_particles_create,
             {Slot(self, S_ps), t[0], t[1], Slot(self, typeSlot), &kOne});
        Drop(&scratch);
    });
    return result;
}

}  // namespace

RValue* hvs_Script_scr_particle_1(CInstance* self, CInstance* other, RValue* result, int32_t, RValue** args) {
    return ParticleBurst("hvs_Script_scr_particle_1", S_pt1, self, other, result, args);
}
RValue* hvs_Script_scr_particle_2(CInstance* self, CInstance* other, RValue* result, int32_t, RValue** args) {
    return ParticleBurst("hvs_Script_scr_particle_2", S_pt2, self, other, result, args);
}
RValue* hvs_Script_scr_particle_3(CInstance* self, CInstance* other, RValue* result, int32_t, RValue** args) {
    return ParticleBurst("hvs_Script_scr_particle_3", S_pt3, self, other, result, args);
}
RValue* hvs_Script_scr_particle_4(CInstance* self, CInstance* other, RValue* result, int32_t, RValue** args) {
    return ParticleBurst("hvs_Script_scr_particle_4", S_pt4, self, other, result, args);
}
RValue* hvs_Script_scr_particle_5(CInstance* self, CInstance* other, RValue* result, int32_t, RValue** args) {
    return ParticleBurst("hvs_Script_scr_particle_5", S_pt5, self, other, result, args);
}

RValue* hvs_Script_scr_create_speech(CInstance* self, CInstance* other, RValue* result, int32_t,
                                     RValue** args) {
    UnitScratch& scratch = g_speechScratch;
    static RValue keyDefault = [] {
        RValue v = RValue_Undefined();
        RValue_CreateString(&v, "default");
        return v;
    }();
    Frame frame("hvs_Script_scr_create_speech");
    Locals<2> local;  // the new instance's id, the json text
    frame.Line(1);
    RValue_SetReal(local[0], Game_InstanceCreateDirect(static_cast<float>(Real(args[0])),
                                                       static_cast<float>(Real(args[1])), OBJ_speech));
    frame.Line(2);
    With(self, other, Real(local[0]), [&] {
        frame.Line(4);
        RValue_Assign(Slot(self, S_font), args[3]);
        frame.Line(5);
        RValue_Assign(Slot(self, S_voice), args[4]);
        frame.Line(6);
        RValue_Assign(local[1], args[2]);
        frame.Line(7);
        RValue_SetString(Slot(self, S_text), "");
        frame.Line(8);
        RValue_SetReal(Slot(self, S_word_delay), 7.0);
        frame.Line(9);
        SetBuiltin(self, V_alarm, 0, Slot(self, S_word_delay));
        frame.Line(10);
        Take(Slot(self, S_map), Call(self, other, &scratch, F_json_decode, {local[1]}));
        frame.Line(11);
        Take(Slot(self, S_word_list),
             Call(self, other, &scratch, F_ds_map_find_value, {Slot(self, S_map), &keyDefault}));
        frame.Line(12);
        RValue_SetReal(Slot(self, S_current), 0.0);
        frame.Line(13);
        Take(Slot(self, S_length), Call(self, other, &scratch, F_ds_list_size, {Slot(self, S_word_list)}));
    });
    frame.Line(15);
    RValue_Assign(result, local[0]);
    return result;
}

RValue* hvs_Script_npow(CInstance* self, CInstance* other, RValue* result, int32_t, RValue** args) {
    UnitScratch& scratch = g_npowScratch;
    Frame frame("hvs_Script_npow");
    Locals<1> t;
    frame.Line(1);
    RValue_SetReal(t[0], Direct_abs(Real(args[0])));
    const double power = TakeReal(Call(self, other, &scratch, F_power, {t[0], args[1]}));
    RValue_SetReal(result, power * Direct_sign(Real(args[0])));
    return result;
}
