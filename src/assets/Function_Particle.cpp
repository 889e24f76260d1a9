#include "assets/Function_Particle.h"

#include "assets/Particle_Effects.h"
#include "assets/Particle_Main.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

namespace {

// Each built-in reads its arguments and hands them to one operation; the operations handle
// invalid indices themselves.

void F_PartTypeCreate(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(ParticleType_Create());
}

void F_PartTypeDestroy(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Destroy(Arg_GetInt32(args, 0));
}

void F_PartTypeExists(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(ParticleType_Exists(Arg_GetInt32(args, 0)) ? 1 : 0);
}

void F_PartTypeClear(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Clear(Arg_GetInt32(args, 0));
}

void F_PartTypeShape(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Shape(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}

void F_PartTypeSprite(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Sprite(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetBool(args, 2),
                        Arg_GetBool(args, 3), Arg_GetBool(args, 4));
}

void F_PartTypeSize(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Size(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                      Arg_GetFloat(args, 3), Arg_GetFloat(args, 4));
}

void F_PartTypeScale(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Scale(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}

void F_PartTypeLife(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Life(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

void F_PartTypeStep(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Step(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

void F_PartTypeDeath(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Death(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

void F_PartTypeSpeed(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Speed(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                       Arg_GetFloat(args, 3), Arg_GetFloat(args, 4));
}

void F_PartTypeDirection(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Direction(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                           Arg_GetFloat(args, 3), Arg_GetFloat(args, 4));
}

void F_PartTypeOrientation(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Orientation(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                             Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetBool(args, 5));
}

void F_PartTypeGravity(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Gravity(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}

void F_PartTypeColourMix(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_ColourMix(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

void F_PartTypeColourRGB(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_ColourRGB(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                           Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetInt32(args, 5),
                           Arg_GetInt32(args, 6));
}

void F_PartTypeColourHSV(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_ColourHSV(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                           Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetInt32(args, 5),
                           Arg_GetInt32(args, 6));
}

void F_PartTypeColour1(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Colour1(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}

void F_PartTypeColour2(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Colour2(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

void F_PartTypeColour3(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Colour3(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                         Arg_GetInt32(args, 3));
}

void F_PartTypeAlpha1(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Alpha1(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1));
}

void F_PartTypeAlpha2(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Alpha2(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}

void F_PartTypeAlpha3(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Alpha3(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                        Arg_GetFloat(args, 3));
}

void F_PartTypeBlend(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleType_Blend(Arg_GetInt32(args, 0), Arg_GetBool(args, 1));
}

void F_PartSystemCreate(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(ParticleSystem_Create());
}

void F_PartSystemDestroy(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_Destroy(Arg_GetInt32(args, 0));
}

void F_PartSystemExists(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(ParticleSystem_Exists(Arg_GetInt32(args, 0)) ? 1 : 0);
}

void F_PartSystemClear(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_Clear(Arg_GetInt32(args, 0));
}

void F_PartSystemDrawOrder(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_DrawOrder(Arg_GetInt32(args, 0), Arg_GetBool(args, 1));
}

void F_PartSystemDepth(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_SetDepth(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1));
}

void F_PartSystemPosition(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_Position(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}

void F_PartSystemAutomaticUpdate(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_AutomaticUpdate(Arg_GetInt32(args, 0), Arg_GetBool(args, 1));
}

void F_PartSystemAutomaticDraw(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_AutomaticDraw(Arg_GetInt32(args, 0), Arg_GetBool(args, 1));
}

void F_PartSystemUpdate(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_Update(Arg_GetInt32(args, 0));
}

void F_PartSystemDrawIt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleSystem_Draw(Arg_GetInt32(args, 0));
}

void F_PartParticlesCreate(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Particles_Create(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                     Arg_GetInt32(args, 3), Arg_GetInt32(args, 4));
}

void F_PartParticlesCreateColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Particles_CreateColour(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                           Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetInt32(args, 5));
}

void F_PartParticlesClear(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Particles_Clear(Arg_GetInt32(args, 0));
}

void F_PartParticlesCount(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Particles_Count(Arg_GetInt32(args, 0)));
}

void F_PartEmitterCreate(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(ParticleEmitter_Create(Arg_GetInt32(args, 0)));
}

void F_PartEmitterDestroy(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleEmitter_Destroy(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}

void F_PartEmitterDestroyAll(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleEmitter_DestroyAll(Arg_GetInt32(args, 0));
}

void F_PartEmitterExists(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(ParticleEmitter_Exists(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1)) ? 1 : 0);
}

void F_PartEmitterClear(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleEmitter_Clear(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}

void F_PartEmitterRegion(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleEmitter_Region(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetFloat(args, 2),
                           Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                           Arg_GetInt32(args, 6), Arg_GetInt32(args, 7));
}

void F_PartEmitterBurst(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleEmitter_Burst(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                          Arg_GetInt32(args, 3));
}

void F_PartEmitterStream(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    ParticleEmitter_Stream(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                           Arg_GetInt32(args, 3));
}

void F_EffectCreateBelow(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Effect_Create(true, Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                  Arg_GetInt32(args, 3), Arg_GetInt32(args, 4));
}

void F_EffectCreateAbove(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Effect_Create(false, Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                  Arg_GetInt32(args, 3), Arg_GetInt32(args, 4));
}

void F_EffectClear(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    Effect_Clear();
}

const BuiltinRow kParticleRows[] = {
    {"part_type_create", F_PartTypeCreate, 0},
    {"part_type_destroy", F_PartTypeDestroy, 1},
    {"part_type_exists", F_PartTypeExists, 1},
    {"part_type_clear", F_PartTypeClear, 1},
    {"part_type_shape", F_PartTypeShape, 2},
    {"part_type_sprite", F_PartTypeSprite, 5},
    {"part_type_size", F_PartTypeSize, 5},
    {"part_type_scale", F_PartTypeScale, 3},
    {"part_type_life", F_PartTypeLife, 3},
    {"part_type_step", F_PartTypeStep, 3},
    {"part_type_death", F_PartTypeDeath, 3},
    {"part_type_speed", F_PartTypeSpeed, 5},
    {"part_type_direction", F_PartTypeDirection, 5},
    {"part_type_orientation", F_PartTypeOrientation, 6},
    {"part_type_gravity", F_PartTypeGravity, 3},
    {"part_type_color_mix", F_PartTypeColourMix, 3},
    {"part_type_color_rgb", F_PartTypeColourRGB, 7},
    {"part_type_color_hsv", F_PartTypeColourHSV, 7},
    {"part_type_color1", F_PartTypeColour1, 2},
    {"part_type_color2", F_PartTypeColour2, 3},
    {"part_type_color3", F_PartTypeColour3, 4},
    {"part_type_color", F_PartTypeColour3, 4},
    {"part_type_colour_mix", F_PartTypeColourMix, 3},
    {"part_type_colour_rgb", F_PartTypeColourRGB, 7},
    {"part_type_colour_hsv", F_PartTypeColourHSV, 7},
    {"part_type_colour1", F_PartTypeColour1, 2},
    {"part_type_colour2", F_PartTypeColour2, 3},
    {"part_type_colour3", F_PartTypeColour3, 4},
    {"part_type_colour", F_PartTypeColour3, 4},
    {"part_type_alpha1", F_PartTypeAlpha1, 2},
    {"part_type_alpha2", F_PartTypeAlpha2, 3},
    {"part_type_alpha3", F_PartTypeAlpha3, 4},
    {"part_type_alpha", F_PartTypeAlpha3, 4},
    {"part_type_blend", F_PartTypeBlend, 2},
    {"part_system_create", F_PartSystemCreate, 0},
    {"part_system_destroy", F_PartSystemDestroy, 1},
    {"part_system_exists", F_PartSystemExists, 1},
    {"part_system_clear", F_PartSystemClear, 1},
    {"part_system_draw_order", F_PartSystemDrawOrder, 2},
    {"part_system_depth", F_PartSystemDepth, 2},
    {"part_system_position", F_PartSystemPosition, 3},
    {"part_system_automatic_update", F_PartSystemAutomaticUpdate, 2},
    {"part_system_automatic_draw", F_PartSystemAutomaticDraw, 2},
    {"part_system_update", F_PartSystemUpdate, 1},
    {"part_system_drawit", F_PartSystemDrawIt, 1},
    {"part_particles_create", F_PartParticlesCreate, 5},
    {"part_particles_create_color", F_PartParticlesCreateColour, 6},
    {"part_particles_create_colour", F_PartParticlesCreateColour, 6},
    {"part_particles_clear", F_PartParticlesClear, 1},
    {"part_particles_count", F_PartParticlesCount, 1},
    {"part_emitter_create", F_PartEmitterCreate, 1},
    {"part_emitter_destroy", F_PartEmitterDestroy, 2},
    {"part_emitter_destroy_all", F_PartEmitterDestroyAll, 1},
    {"part_emitter_exists", F_PartEmitterExists, 2},
    {"part_emitter_clear", F_PartEmitterClear, 2},
    {"part_emitter_region", F_PartEmitterRegion, 8},
    {"part_emitter_burst", F_PartEmitterBurst, 4},
    {"part_emitter_stream", F_PartEmitterStream, 4},
    {"effect_create_below", F_EffectCreateBelow, 5},
    {"effect_create_above", F_EffectCreateAbove, 5},
    {"effect_clear", F_EffectClear, 0},
};

}  // namespace

void InitParticleFunctions() {
    Code_Function_AddRows(kParticleRows);
}
