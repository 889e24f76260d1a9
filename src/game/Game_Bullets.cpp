// The gunman's bullet: it flies above its shadow trailing specks, bursts on solids, kills a
// grounded player and expires after 200 steps. The bullet's burst and the dead player's cloud.
#include "assets/Function_Sprite_Draw.h"
#include "data/Function_Math.h"
#include "game/Game_Actions.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

UnitScratch g_alarmScratch;
UnitScratch g_stepScratch;
UnitScratch g_drawScratch;

constexpr double kLifetime = 200;
constexpr double kDeathDelay = 120;

void Burst(CInstance* self) {
    Game_InstanceCreateDirect(static_cast<float>(X(self)), static_cast<float>(Y(self)),
                              OBJ_obj_bullet_poof_1);
}

// The poofs' shared Create: play once at a quarter speed, drawn by their height on the ground.
void PoofCreate(const char* name, CInstance* self) {
    Frame frame(name);
    frame.Line(1);
    SetVar(self, V_image_speed, 0.25);
    frame.Line(2);
    SetVar(self, V_depth, -Y(self));
}

void DestroySelf(const char* name, CInstance* self) {
    Frame frame(name);
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
}

}  // namespace

void hvs_Object_obj_bullet_1_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_bullet_1_Create_0");
    frame.Line(1);
    SetVar(self, V_image_speed, 0.5);
    frame.Line(2);
    SetAlarm(self, 0, kLifetime);
}

void hvs_Object_obj_bullet_1_Alarm_0(CInstance* self, CInstance*) {
    DestroySelf("hvs_Object_obj_bullet_1_Alarm_0", self);
}

void hvs_Object_obj_bullet_1_Alarm_1(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_bullet_1_Alarm_1");
    frame.Line(1);
    for (int i = 0; i < 9; ++i)
        CallScript(hvs_Script_scr_particle_1, self, other, g_alarmScratch, {X(self), Y(self), 20});
    frame.Line(2);
    Game_InstanceCreateDirect(static_cast<float>(X(self)), static_cast<float>(Y(self)), OBJ_obj_dead_poof);
}

void hvs_Object_obj_bullet_1_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_bullet_1_Step_0");
    frame.Line(1);
    SetVar(self, V_depth, -Y(self));
    frame.Line(2);
    if (Less(Direct_random(12), 1))
        CallScript(hvs_Script_scr_particle_5, self, other, g_stepScratch, {X(self), Y(self) - 12, 0});
}

void hvs_Object_obj_bullet_1_Collision_17(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_bullet_1_Collision_17");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
    frame.Line(2);
    Burst(self);
}

// The player is `other`. One in the air is passed under; the first hit on one on the ground
// starts his death, later hits only burst.
void hvs_Object_obj_bullet_1_Collision_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_bullet_1_Collision_0");
    frame.Line(1);
    if (Condition(Slot(other, S_in_air))) return;
    frame.Line(2);
    Game_InstanceDestroyDirect(self);
    frame.Line(3);
    Burst(self);
    frame.Line(4);
    if (Condition(Slot(other, S_dead))) return;
    frame.Line(5);
    RValue_SetReal(Slot(other, S_dead), 1);
    frame.Line(6);
    SetAlarm(other, 1, kDeathDelay);
    frame.Line(7);
    SetGameState(self, other, 3);
}

void hvs_Object_obj_bullet_1_Draw_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_bullet_1_Draw_0");
    frame.Line(1);
    Direct_draw_sprite(self, SPR_spr_shadow, 0, static_cast<float>(X(self)), static_cast<float>(Y(self)));
    frame.Line(2);
    RValue lift = RValue_Real(-12);
    Drop(Call(self, other, &g_drawScratch, F_d3d_transform_set_translation, {&kZero, &lift, &kZero}));
    frame.Line(3);
    Draw_Self(self);
    frame.Line(4);
    Drop(Call(self, other, &g_drawScratch, F_d3d_transform_set_identity, {}));
}

void hvs_Object_obj_bullet_poof_1_Create_0(CInstance* self, CInstance*) {
    PoofCreate("hvs_Object_obj_bullet_poof_1_Create_0", self);
}
void hvs_Object_obj_bullet_poof_1_Other_7(CInstance* self, CInstance*) {
    DestroySelf("hvs_Object_obj_bullet_poof_1_Other_7", self);
}

void hvs_Object_obj_dead_poof_Create_0(CInstance* self, CInstance*) {
    PoofCreate("hvs_Object_obj_dead_poof_Create_0", self);
}
void hvs_Object_obj_dead_poof_Other_7(CInstance* self, CInstance*) {
    DestroySelf("hvs_Object_obj_dead_poof_Other_7", self);
}
