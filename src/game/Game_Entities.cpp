// The walking characters' common parent, which keeps them out of solid scenery and apart from
// each other, and the life crystal that hovers, sparkles and is picked up by the player.
#include "assets/Function_Sprite_Draw.h"
#include "core/Variable.h"
#include "data/Function_Math.h"
#include "game/Game_Actions.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

UnitScratch g_entityScratch;
UnitScratch g_apartScratch;
UnitScratch g_artefactScratch;
UnitScratch g_artefactDrawScratch;

// More passes than any solid of a room can be deep: a push that has not cleared by then never
// will (a direction too small to move a float position).
constexpr int32_t kMaxPushPasses = 4096;

bool PlaceMeeting(CInstance* self, CInstance* other, UnitScratch& scratch, double target) {
    RValue x = Number(GetBuiltinReal(self, V_x)), y = Number(GetBuiltinReal(self, V_y)), t = Number(target);
    return Condition(TakeReal(Call(self, other, &scratch, F_place_meeting, {&x, &y, &t})));
}

double PointDistance(CInstance* self, CInstance* other, UnitScratch& scratch, double dx, double dy) {
    RValue x = Number(dx), y = Number(dy);
    return TakeReal(Call(self, other, &scratch, F_point_distance, {&kZero, &kZero, &x, &y}));
}

// max(1, d): never divides by less than one pixel.
double AtLeastOne(RValue* result, double d) {
    RValue distance = Number(d);
    RValue* args[] = {&kOne, &distance};
    return TakeReal(Direct_max(result, 2, args));
}

// x of an instance known by its id.
double OnTarget(double target, int32_t ref) {
    RValue value = RValue_Real(0);
    Variable_GetOnTarget(CRT_TruncToInt32(target), VarId(ref), ARRAY_INDEX_WHOLE, &value);
    return TakeReal(&value);
}

// One of the particle scripts at the crystal, `spread` pixels about it.
void Sparkle(CInstance* self, CInstance* other,
             RValue* (*script)(CInstance*, CInstance*, RValue*, int32_t, RValue**), double spread) {
    RValue x = Number(GetBuiltinReal(self, V_x));
    RValue y = Number(GetBuiltinReal(self, V_y) - Real(Slot(self, S_hover_dist)));
    RValue s = Number(spread);
    RValue* args[] = {&x, &y, &s};
    Drop(script(self, other, &g_artefactScratch.value, 3, args));
}

}  // namespace

void hvs_Object_par_entity_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_par_entity_Create_0");
    frame.Line(1);
    RValue_SetReal(Slot(self, S_in_air), 0);
}

// Out of the scenery one pixel at a time, straight away from the nearest solid's origin: on the
// ground any solid counts, in the air only tall ones. A character standing on that origin has no
// direction to go and stays; the passes are capped so no push can hold the frame.
void hvs_Object_par_entity_Step_1(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_par_entity_Step_1");
    Locals<1> t;
    frame.Line(1);
    const bool grounded = !Condition(Slot(self, S_in_air));
    const bool stuck = (grounded && !Game_PlaceFreeDirect(self, static_cast<float>(GetBuiltinReal(self, V_x)),
                                                          static_cast<float>(GetBuiltinReal(self, V_y)))) ||
                       PlaceMeeting(self, other, g_entityScratch, OBJ_par_solid_tall);
    if (!stuck) return;
    frame.Line(2);
    RValue x = Number(GetBuiltinReal(self, V_x)), y = Number(GetBuiltinReal(self, V_y)),
           solid = Number(OBJ_par_solid);
    const double nearest =
        TakeReal(Call(self, other, &g_entityScratch, F_instance_nearest, {&x, &y, &solid}));
    frame.Line(3);
    if (!Game_InstanceExistsDirect(self, other, CRT_TruncToInt32(nearest))) return;
    frame.Line(4);
    double dx = GetBuiltinReal(self, V_x) - OnTarget(nearest, V_x);
    double dy = GetBuiltinReal(self, V_y) - OnTarget(nearest, V_y);
    frame.Line(5);
    const double d = AtLeastOne(t[0], PointDistance(self, other, g_entityScratch, dx, dy));
    dx /= d;
    dy /= d;
    if (dx == 0 && dy == 0) return;
    frame.Line(7);
    for (int32_t pass = 0; pass < kMaxPushPasses && PlaceMeeting(self, other, g_entityScratch, nearest);
         ++pass) {
        frame.Line(8);
        SetVar(self, V_x, GetBuiltinReal(self, V_x) + dx);
        SetVar(self, V_y, GetBuiltinReal(self, V_y) + dy);
        frame.Line(7);
    }
}

// Two grounded characters overlapping: each moves 0.3 pixels a pass away from the other, at most
// five passes, until they no longer touch.
void hvs_Object_par_entity_Collision_12(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_par_entity_Collision_12");
    Locals<1> t;
    frame.Line(1);
    if (Condition(Slot(self, S_in_air)) || Condition(Slot(other, S_in_air))) return;
    frame.Line(2);
    const double steps = 5, push = 3;
    frame.Line(4);
    double dx = GetBuiltinReal(other, V_x) - GetBuiltinReal(self, V_x);
    double dy = GetBuiltinReal(other, V_y) - GetBuiltinReal(self, V_y);
    frame.Line(5);
    const double d = AtLeastOne(t[0], PointDistance(self, other, g_apartScratch, dx, dy));
    frame.Line(6);
    dx = dx * push / (steps * 2 * d);
    dy = dy * push / (steps * 2 * d);
    const double otherId = GetBuiltinReal(other, V_id);
    for (int32_t pass = RepeatCount(steps); pass > 0; --pass) {
        frame.Line(9);
        if (!PlaceMeeting(self, other, g_apartScratch, otherId)) break;
        frame.Line(10);
        SetVar(self, V_x, GetBuiltinReal(self, V_x) - dx);
        SetVar(self, V_y, GetBuiltinReal(self, V_y) - dy);
        SetVar(other, V_x, GetBuiltinReal(other, V_x) + dx);
        SetVar(other, V_y, GetBuiltinReal(other, V_y) + dy);
    }
}

void hvs_Object_obj_artefact_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_artefact_Create_0");
    frame.Line(1);
    SetVar(self, V_depth, -GetBuiltinReal(self, V_y));
    frame.Line(2);
    SetVar(self, V_image_speed, 0.25);
    frame.Line(3);
    RValue_SetReal(Slot(self, S_hover_freq), 0.003);
    RValue_SetReal(Slot(self, S_hover_dist), 23);
    RValue_SetReal(Slot(self, S_hover_move), 5);
}

void hvs_Object_obj_artefact_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_artefact_Step_0");
    frame.Line(1);
    if (Less(Direct_random(50), 1)) Sparkle(self, other, hvs_Script_scr_particle_3, 10);
    frame.Line(2);
    if (Less(Direct_random(20), 1)) Sparkle(self, other, hvs_Script_scr_particle_4, 40);
}

// The player takes the crystal: a flash where it hovered and the player's carrying flag.
void hvs_Object_obj_artefact_Collision_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_artefact_Collision_0");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
    frame.Line(2);
    Game_InstanceCreateDirect(static_cast<float>(GetBuiltinReal(self, V_x)),
                              static_cast<float>(GetBuiltinReal(self, V_y) - Real(Slot(self, S_hover_dist))),
                              OBJ_obj_artefact_poof);
    frame.Line(3);
    With(self, other, GetBuiltinReal(other, V_id), [&] {
        frame.Line(4);
        RValue_SetReal(Slot(self, S_carrying_artefact), 1);
    });
    frame.Line(6);
    RValue sound = Number(SND_snd_artefact_poof);
    Drop(Call(self, other, &g_artefactScratch, F_audio_play_sound, {&sound, &kOne, &kZero}));
}

// The shadow stays on the ground; the crystal bobs above it.
void hvs_Object_obj_artefact_Draw_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_artefact_Draw_0");
    const float x = static_cast<float>(GetBuiltinReal(self, V_x)),
                y = static_cast<float>(GetBuiltinReal(self, V_y));
    frame.Line(1);
    Direct_draw_sprite(self, SPR_spr_shadow, 0, x, y);
    frame.Line(2);
    RValue phase = Number(GetBuiltinReal(self, V_current_time) * Real(Slot(self, S_hover_freq)));
    const double bob =
        TakeReal(Call(self, other, &g_artefactDrawScratch, F_sin, {&phase})) * Real(Slot(self, S_hover_move));
    Direct_draw_sprite(self, CRT_TruncToInt32(GetBuiltinReal(self, V_sprite_index)),
                       CRT_TruncToInt32(GetBuiltinReal(self, V_image_index)), x,
                       static_cast<float>(y - Real(Slot(self, S_hover_dist)) + bob));
}

void hvs_Object_obj_artefact_poof_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_artefact_poof_Create_0");
    frame.Line(1);
    SetVar(self, V_image_speed, 0.25);
}

void hvs_Object_obj_artefact_poof_Other_7(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_artefact_poof_Other_7");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
}
