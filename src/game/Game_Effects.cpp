// The game's look: the vignette over the screen edges, the particle object with its five
// particle types, and the one-shot puff.
#include "assets/Function_Graphics_Colour.h"
#include "data/Function_Math.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

UnitScratch g_vignetteScratch;
UnitScratch g_particlesScratch;
UnitScratch g_particlesEndScratch;

struct ParticleType {
    int32_t slot;
    double colour;
    int32_t sprite;
    double lifeMin, lifeMax;
    bool moves;  // speed 0 to 1 in any direction
    double sizeMin, sizeMax;
};

constexpr ParticleType kTypes[] = {
    {S_pt1, 0, SPR_spr_pt1, 40, 80, true, 0.7, 1.4},
    {S_pt2, 0, SPR_spr_pt2, 15, 20, false, 0.6, 1.0},
    {S_pt3, 65280, SPR_spr_pt1, 40, 80, true, 0.7, 1.4},
    {S_pt4, 65280, SPR_spr_pt2, 15, 20, false, 0.6, 1.0},
    {S_pt5, 16777215, SPR_spr_pt2, 25, 35, false, 0.3, 0.7},
};

// Runs one call whose result is not used.
void Do(CInstance* self, CInstance* other, int32_t ref, std::initializer_list<RValue*> args) {
    Drop(Call(self, other, &g_particlesScratch, ref, args));
}

void MakeType(CInstance* self, CInstance* other, Frame& frame, const ParticleType& type, int32_t line) {
    RValue* pt = Slot(self, type.slot);
    frame.Line(line);
    Take(pt, Call(self, other, &g_particlesScratch, F_part_type_create, {}));
    RValue colour = Number(type.colour), sprite = Number(type.sprite);
    RValue lifeMin = Number(type.lifeMin), lifeMax = Number(type.lifeMax);
    RValue sizeMin = Number(type.sizeMin), sizeMax = Number(type.sizeMax), full = Number(360);
    frame.Line(line + 1);
    Do(self, other, F_part_type_colour1, {pt, &colour});
    frame.Line(line + 2);
    Do(self, other, F_part_type_sprite, {pt, &sprite, &kOne, &kOne, &kZero});
    frame.Line(line + 3);
    Do(self, other, F_part_type_life, {pt, &lifeMin, &lifeMax});
    frame.Line(line + 4);
    Do(self, other, F_part_type_orientation, {pt, &kZero, &full, &kZero, &kZero, &kZero});
    int32_t next = line + 5;
    if (type.moves) {
        frame.Line(next++);
        Do(self, other, F_part_type_speed, {pt, &kZero, &kOne, &kZero, &kZero});
        frame.Line(next++);
        Do(self, other, F_part_type_direction, {pt, &kZero, &full, &kZero, &kZero});
    }
    frame.Line(next);
    Do(self, other, F_part_type_size, {pt, &sizeMin, &sizeMax, &kZero, &kZero});
}

}  // namespace

void hvs_Object_obj_vignette_Draw_74(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_vignette_Draw_74");
    Locals<2> port;
    RValue destColour = Number(9), sprite = Number(SPR_spr_vignette);
    frame.Line(1);
    Drop(Call(self, other, &g_vignetteScratch, F_draw_set_blend_mode_ext, {&destColour, &kOne}));
    frame.Line(2);
    Drop(Call(self, other, &g_vignetteScratch, F_texture_set_interpolation, {&kOne}));
    frame.Line(3);
    GetBuiltin(self, V_view_wport, 0, port[0]);
    GetBuiltin(self, V_view_hport, 0, port[1]);
    Drop(Call(self, other, &g_vignetteScratch, F_draw_sprite_stretched,
              {&sprite, &kZero, &kZero, &kZero, port[0], port[1]}));
    frame.Line(4);
    Drop(Call(self, other, &g_vignetteScratch, F_texture_set_interpolation, {&kZero}));
    frame.Line(5);
    Direct_draw_set_blend_mode(0);
}

void hvs_Object_obj_particles_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_particles_Create_0");
    RValue depth = Number(-10000);
    frame.Line(1);
    Take(Slot(self, S_ps), Call(self, other, &g_particlesScratch, F_part_system_create, {}));
    frame.Line(2);
    Do(self, other, F_part_system_depth, {Slot(self, S_ps), &depth});
    int32_t line = 4;
    for (const ParticleType& type : kTypes) {
        MakeType(self, other, frame, type, line);
        line += type.moves ? 9 : 7;
    }
}

// An empty event: no node.
void hvs_Object_obj_particles_Mouse_50(CInstance*, CInstance*) {}

void hvs_Object_obj_particles_Other_5(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_particles_Other_5");
    const int32_t slots[] = {S_pt1, S_pt2, S_pt3, S_pt4, S_pt5};
    int32_t line = 1;
    for (int32_t slot : slots) {
        frame.Line(line++);
        Drop(Call(self, other, &g_particlesEndScratch, F_part_type_destroy, {Slot(self, slot)}));
    }
    frame.Line(line);
    Drop(Call(self, other, &g_particlesEndScratch, F_part_system_destroy, {Slot(self, S_ps)}));
}

void hvs_Object_obj_effect_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_effect_Create_0");
    Locals<1> t;
    frame.Line(1);
    SetBuiltinReal(self, V_image_speed, ARRAY_INDEX_WHOLE, 0.25);
    frame.Line(2);
    SetBuiltinReal(self, V_depth, ARRAY_INDEX_WHOLE, -GetBuiltinReal(self, V_y));
    frame.Line(3);
    SetBuiltinReal(self, V_image_yscale, ARRAY_INDEX_WHOLE, Direct_random_range(0.9, 1.1));
    frame.Line(4);
    RValue* choices[] = {&kMinusOne, &kOne};
    Direct_choose(t[0], 2, choices);
    SetBuiltinReal(self, V_image_xscale, ARRAY_INDEX_WHOLE,
                   GetBuiltinReal(self, V_image_yscale) * Real(t[0]));
}

void hvs_Object_obj_effect_Other_7(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_effect_Other_7");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
}
