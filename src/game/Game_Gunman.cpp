// The gunman: wanders about its home point, looks for the player while it pauses, chases him,
// charges and fires when he is close, steers with acceleration and friction, slides along
// solids, turns its aim smoothly, and is drawn in layers with footsteps by the ground.
#include <algorithm>
#include <cmath>

#include "assets/Function_Sprite_Draw.h"
#include "core/Value_Operators.h"
#include "data/Function_Math.h"
#include "game/Game_Actions.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

UnitScratch g_createScratch;
UnitScratch g_footScratch;
UnitScratch g_stepScratch;
UnitScratch g_drawScratch;

enum GunmanState { kWander = 0, kLook = 1, kChase = 2, kAfterShot = 3, kCharge = 4 };

double Var(CInstance* self, int32_t slot) {
    return Real(Slot(self, slot));
}
void Set(CInstance* self, int32_t slot, double value) {
    RValue_SetReal(Slot(self, slot), value);
}

double Length(CInstance* self, CInstance* other, double x, double y) {
    return Distance(self, other, g_stepScratch, 0, 0, x, y);
}

// The first player's position, when one exists.
bool PlayerAt(double* x, double* y) {
    RValue px = RValue_Undefined(), py = RValue_Undefined();
    const bool found = FirstValue(OBJ_obj_dude, V_x, &px) && FirstValue(OBJ_obj_dude, V_y, &py);
    if (found) *x = Real(&px), *y = Real(&py);
    RValue_Release(&px);
    RValue_Release(&py);
    return found;
}

// The first player's distance; none when no player exists.
bool PlayerDistance(CInstance* self, CInstance* other, double* distance) {
    double px = 0, py = 0;
    if (!Exists(self, other, OBJ_obj_dude) || !PlayerAt(&px, &py)) return false;
    *distance = Distance(self, other, g_stepScratch, X(self), Y(self), px, py);
    return true;
}

void SetMoveTarget(CInstance* self, double x, double y) {
    Set(self, S_move_target_x, x);
    Set(self, S_move_target_y, y);
}

// A conversation stops every gunman.
bool Frozen(CInstance* self, CInstance* other) {
    if (!Exists(self, other, OBJ_obj_state_manager)) return false;
    RValue state = RValue_Undefined();
    const bool frozen = FirstValue(OBJ_obj_state_manager, V_state, &state) && Equal(Real(&state), 1);
    RValue_Release(&state);
    return frozen;
}

void Wander(CInstance* self, CInstance* other, Frame& frame) {
    frame.Line(6);
    if (Condition(Slot(self, S_done))) {
        frame.Line(7);
        const double length = Direct_random_range(40, 90);
        const double direction = Direct_random(360);
        frame.Line(8);
        const float fl = static_cast<float>(length), fd = static_cast<float>(direction);
        SetMoveTarget(self, GetBuiltinReal(self, V_xstart) + Direct_lengthdir_x(fl, fd),
                      GetBuiltinReal(self, V_ystart) + Direct_lengthdir_y(fl, fd));
        frame.Line(10);
        SetAlarm(self, 0, 500);
        frame.Line(11);
        Set(self, S_done, 0);
        return;
    }
    frame.Line(13);
    const double distance = Distance(self, other, g_stepScratch, X(self), Y(self), Var(self, S_move_target_x),
                                     Var(self, S_move_target_y));
    if (Less(distance, Var(self, S_target_radius))) {
        frame.Line(14);
        Set(self, S_state, kLook);
        frame.Line(15);
        Set(self, S_done, 0);
        frame.Line(16);
        SetAlarm(self, 0, Direct_random_range(120, 220));
    }
}

void Look(CInstance* self, CInstance* other, Frame& frame) {
    frame.Line(21);
    if (Condition(Slot(self, S_done))) Set(self, S_state, kWander);
    frame.Line(22);
    double distance = 0;
    if (PlayerDistance(self, other, &distance) && Less(distance, Var(self, S_view_radius))) {
        frame.Line(23);
        Set(self, S_target_object, OBJ_obj_dude);
        frame.Line(24);
        Set(self, S_state, kChase);
    }
}

void Chase(CInstance* self, CInstance* other, Frame& frame) {
    frame.Line(29);
    double distance = 0;
    const bool seen = PlayerDistance(self, other, &distance);
    if (seen && Less(distance, Var(self, S_shoot_radius))) {
        frame.Line(30);
        PlaySound(self, other, g_stepScratch, SND_snd_charge_1);
        frame.Line(31);
        SetMoveTarget(self, X(self), Y(self));
        frame.Line(32);
        SetAlarm(self, 0, 60);
        frame.Line(33);
        Set(self, S_done, 0);
        frame.Line(34);
        Set(self, S_state, kCharge);
    } else if (seen && Less(distance, Var(self, S_view_radius))) {
        frame.Line(36);
        double px = 0, py = 0;
        PlayerAt(&px, &py);
        SetMoveTarget(self, px, py);
    } else {
        // Lost him: where he was last seen becomes the new home point.
        frame.Line(39);
        SetBuiltinReal(self, V_xstart, ARRAY_INDEX_WHOLE, Var(self, S_move_target_x));
        frame.Line(40);
        SetBuiltinReal(self, V_ystart, ARRAY_INDEX_WHOLE, Var(self, S_move_target_y));
        frame.Line(41);
        Set(self, S_state, kWander);
        frame.Line(42);
        Set(self, S_done, 1);
    }
}

void Fire(CInstance*& self, CInstance*& other, Frame& frame) {
    frame.Line(52);
    Set(self, S_state, kAfterShot);
    frame.Line(53);
    RValue sound = RValue_Undefined(), hyper1 = RValue_Real(SND_snd_hyper_1),
           hyper2 = RValue_Real(SND_snd_hyper_2);
    RValue* sounds[] = {&hyper1, &hyper2};
    Direct_choose(&sound, 2, sounds);
    PlaySoundAt(self, other, g_stepScratch, Real(&sound), Direct_random_range(0.9, 1.1));
    RValue_Release(&sound);
    frame.Line(56);
    SetAlarm(self, 0, 30);
    frame.Line(57);
    Set(self, S_done, 0);
    frame.Line(58);
    const float angle = static_cast<float>(Var(self, S_angle));
    const double bullet = Game_InstanceCreateDirect(
        static_cast<float>(X(self) + Direct_lengthdir_x(18, angle)),
        static_cast<float>(Y(self) + Direct_lengthdir_y(18, angle)), OBJ_obj_bullet_1);
    frame.Line(59);
    With(self, other, bullet, [&] {
        frame.Line(60);
        SetVar(self, V_direction, Var(other, S_angle));
        frame.Line(61);
        SetVar(self, V_image_angle, GetBuiltinReal(self, V_direction));
        frame.Line(62);
        SetVar(self, V_speed, 5);
    });
}

void Act(CInstance*& self, CInstance*& other, Frame& frame) {
    frame.Line(4);
    switch (CRT_TruncToInt32(Var(self, S_state))) {
        case kWander:
            Wander(self, other, frame);
            break;
        case kLook:
            Look(self, other, frame);
            break;
        case kChase:
            Chase(self, other, frame);
            break;
        case kAfterShot:
            frame.Line(47);
            if (Condition(Slot(self, S_done))) Set(self, S_state, kWander);
            break;
        case kCharge:
            frame.Line(51);
            if (Condition(Slot(self, S_done))) Fire(self, other, frame);
            break;
        default:
            break;
    }
}

// Scales the velocity to `magnitude` along its own direction.
void Rescale(CInstance* self, double from, double to) {
    Set(self, S_vel_x, Var(self, S_vel_x) / from * to);
    Set(self, S_vel_y, Var(self, S_vel_y) / from * to);
    Set(self, S_vel_magnitude, to);
}

void Steer(CInstance* self, CInstance* other, Frame& frame) {
    frame.Line(70);
    double mx = 0, my = 0;
    const double tx = Var(self, S_move_target_x), ty = Var(self, S_move_target_y);
    if (Greater(Distance(self, other, g_stepScratch, X(self), Y(self), tx, ty), Var(self, S_target_radius))) {
        frame.Line(71);
        mx = tx - X(self), my = ty - Y(self);
        frame.Line(72);
        const double m = std::max(1.0, Length(self, other, mx, my));
        frame.Line(73);
        mx /= m, my /= m;
    }
    frame.Line(79);
    Set(self, S_vel_magnitude, Length(self, other, Var(self, S_vel_x), Var(self, S_vel_y)));
    frame.Line(80);
    const double magnitude = Var(self, S_vel_magnitude), fric = Var(self, S_fric);
    if (Greater(magnitude, fric)) {
        frame.Line(81);
        Rescale(self, magnitude, magnitude - fric);
    } else {
        frame.Line(85);
        Set(self, S_vel_x, 0);
        Set(self, S_vel_y, 0);
        Set(self, S_vel_magnitude, 0);
    }
    frame.Line(90);
    Set(self, S_vel_x, Var(self, S_vel_x) + mx * Var(self, S_accel));
    Set(self, S_vel_y, Var(self, S_vel_y) + my * Var(self, S_accel));
    frame.Line(92);
    Set(self, S_vel_magnitude, Length(self, other, Var(self, S_vel_x), Var(self, S_vel_y)));
    frame.Line(94);
    const double limit = Var(self, S_max_speed), speed = Var(self, S_vel_magnitude);
    if (Greater(speed, limit)) {
        frame.Line(95);
        Rescale(self, speed, limit);
    }
}

// Moves by the velocity, or when that would meet a solid, by fifths tested per axis so that
// the gunman slides along it.
void Move(CInstance* self, CInstance* other, Frame& frame) {
    frame.Line(100);
    const double vx = Var(self, S_vel_x), vy = Var(self, S_vel_y);
    if (PlaceMeeting(self, other, g_stepScratch, X(self) + vx, Y(self) + vy, OBJ_par_solid)) {
        frame.Line(101);
        const double sx = vx * 0.2, sy = vy * 0.2;
        for (int i = 0; i < 5; ++i) {
            frame.Line(103);
            if (!PlaceMeeting(self, other, g_stepScratch, X(self) + sx, Y(self), OBJ_par_solid))
                SetVar(self, V_x, X(self) + sx);
            frame.Line(104);
            if (!PlaceMeeting(self, other, g_stepScratch, X(self), Y(self) + sy, OBJ_par_solid))
                SetVar(self, V_y, Y(self) + sy);
        }
    } else {
        frame.Line(108);
        SetVar(self, V_x, X(self) + vx);
        SetVar(self, V_y, Y(self) + vy);
    }
}

void Face(CInstance* self, Frame& frame) {
    const double vx = Var(self, S_vel_x), vy = Var(self, S_vel_y);
    frame.Line(112);
    const double heading = Direct_point_direction(0, 0, static_cast<float>(vx), static_cast<float>(vy));
    Set(self, S_dir, std::fmod(std::floor(heading / 90 + 0.5), 4.0));
    frame.Line(114);
    if (Less(vy, -0.2)) {
        SetVar(self, V_sprite_index, SPR_spr_gunman_idle_1_up);
    } else if (Greater(vy, 0.2)) {
        frame.Line(115);
        SetVar(self, V_sprite_index, SPR_spr_gunman_idle_1_down);
    }
}

// The aim closes 30 % of its gap to the target, or to the heading, each step.
void Aim(CInstance* self, CInstance* other, Frame& frame) {
    frame.Line(119);
    double aim = 0;
    RValue tx = RValue_Undefined(), ty = RValue_Undefined();
    const double target = Var(self, S_target_object);
    if (Exists(self, other, target) && FirstValue(CRT_TruncToInt32(target), V_x, &tx) &&
        FirstValue(CRT_TruncToInt32(target), V_y, &ty)) {
        frame.Line(120);
        aim = Direct_point_direction(static_cast<float>(X(self)), static_cast<float>(Y(self)),
                                     static_cast<float>(Real(&tx)), static_cast<float>(Real(&ty)));
    } else {
        frame.Line(122);
        aim = Direct_point_direction(0, 0, static_cast<float>(Var(self, S_vel_x)),
                                     static_cast<float>(Var(self, S_vel_y)));
    }
    RValue_Release(&tx);
    RValue_Release(&ty);
    frame.Line(124);
    RValue angle = RValue_Real(Var(self, S_angle)), toward = RValue_Real(aim);
    const double gap = TakeReal(Call(self, other, &g_stepScratch, F_angle_difference, {&angle, &toward}));
    Set(self, S_angle, angle.val - gap * Var(self, S_aim_speed));
}

}  // namespace

void hvs_Object_obj_gunman_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_gunman_Create_0");
    frame.Line(1);
    Drop(Call(self, other, &g_createScratch, F_event_inherited, {}));
    frame.Line(2);
    SetVar(self, V_image_speed, 0.25);
    frame.Line(3);
    SetVar(self, V_image_index,
           static_cast<double>(Direct_irandom(CRT_TruncToInt32(GetBuiltinReal(self, V_image_number) - 1))));
    frame.Line(4);
    const int32_t runSprites[] = {SPR_spr_gunman_running_body_right, SPR_spr_gunman_running_body_up,
                                  SPR_spr_gunman_running_body_left, SPR_spr_gunman_running_body_down};
    for (int32_t i = 0; i < 4; ++i)
        if (RValue* element = RValue_ElementRef(Slot(self, S_run_sprite), i))
            RValue_SetReal(element, runSprites[i]);
    frame.Line(8);
    const struct {
        int32_t slot;
        double value;
    } initial[] = {{S_target_object, kNoone},
                   {S_angle, 0},
                   {S_aim_speed, 0.3},
                   {S_max_speed, 2},
                   {S_accel, 0.3},
                   {S_fric, 0.2},
                   {S_vel_x, 0},
                   {S_vel_y, 0},
                   {S_vel_magnitude, 0},
                   {S_move_target_x, X(self)},
                   {S_move_target_y, Y(self)},
                   {S_target_radius, 8},
                   {S_view_radius, 250},
                   {S_shoot_radius, 150},
                   {S_done, 1},
                   {S_state, kWander},
                   {S_foot_delay, 20}};
    int32_t line = 8;
    for (const auto& v : initial) {
        frame.Line(line++);
        Set(self, v.slot, v.value);
    }
    frame.Line(line++);
    SetAlarm(self, 1, Var(self, S_foot_delay));
    frame.Line(line++);
    Set(self, S_gs_default, SND_snd_foot_1);
    frame.Line(line);
    Set(self, S_gs_stone, SND_snd_foot_2);
}

void hvs_Object_obj_gunman_Alarm_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_gunman_Alarm_0");
    frame.Line(1);
    Set(self, S_done, 1);
}

void hvs_Object_obj_gunman_Alarm_1(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_gunman_Alarm_1");
    UnitScratch& scratch = g_footScratch;
    frame.Line(1);
    SetAlarm(self, 1, Var(self, S_foot_delay));
    frame.Line(2);
    if (!Greater(Var(self, S_vel_magnitude), 0)) return;
    frame.Line(3);
    RValue x = RValue_Real(X(self)), y = RValue_Real(Y(self)), stones = RValue_Real(OBJ_obj_stepping_stones);
    const double found = TakeReal(Call(self, other, &scratch, F_instance_place, {&x, &y, &stones}));
    const double sound = Condition(found) ? Var(self, S_gs_stone) : Var(self, S_gs_default);
    frame.Line(4);
    RValue voice = RValue_Real(PlaySoundAt(self, other, scratch, sound, Direct_random_range(0.7, 1)));
    frame.Line(5);
    RValue gain = RValue_Real(0.6);
    Drop(Call(self, other, &scratch, F_audio_sound_gain, {&voice, &gain, &kZero}));
}

void hvs_Object_obj_gunman_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_gunman_Step_0");
    frame.Line(1);
    if (Frozen(self, other)) return;
    Act(self, other, frame);
    Steer(self, other, frame);
    Move(self, other, frame);
    Face(self, frame);
    Aim(self, other, frame);
    frame.Line(128);
    SetVar(self, V_depth, -Y(self));
}

namespace {

void DrawWeapon(CInstance* self, int32_t frameIndex, double lift, double bob, double angle) {
    Direct_draw_sprite_ext(self, SPR_spr_gunman_aiming_weapon, frameIndex, static_cast<float>(X(self)),
                           static_cast<float>(Y(self) - lift + bob), 1, 1, static_cast<float>(angle),
                           static_cast<uint32_t>(kWhite), 1);
}

void DrawLayers(CInstance* self, CInstance* other, Frame& frame) {
    UnitScratch& scratch = g_drawScratch;
    const double angle = Var(self, S_angle);
    frame.Line(4);
    RValue a = RValue_Real(angle);
    const bool right = Greater(TakeReal(Call(self, other, &scratch, F_dcos, {&a})), 0);
    RValue phase = RValue_Real(GetBuiltinReal(self, V_current_time) * 0.01);
    const double bob = TakeReal(Call(self, other, &scratch, F_sin, {&phase}));
    const int32_t frameIndex = CRT_TruncToInt32(GetBuiltinReal(self, V_image_index));
    const float x = static_cast<float>(X(self)), y = static_cast<float>(Y(self));
    frame.Line(5);
    if (!right) DrawWeapon(self, 1, 14, bob, angle);
    frame.Line(7);
    int32_t body = SPR_spr_gunman_aiming_body;
    if (Greater(Var(self, S_vel_magnitude), 0)) {
        RValue* run = RValue_ArrayElement2D(Slot(self, S_run_sprite), CRT_TruncToInt32(Var(self, S_dir)));
        if (run) body = CRT_TruncToInt32(Real(run));
    }
    Direct_draw_sprite(self, body, frameIndex, x, y);
    frame.Line(9);
    if (right) DrawWeapon(self, 0, 18, bob, angle);
    frame.Line(11);
    Direct_draw_sprite(self, SPR_spr_gunman_aiming_head, frameIndex, x, y);
}

}  // namespace

void hvs_Object_obj_gunman_Draw_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_gunman_Draw_0");
    frame.Line(1);
    Direct_draw_sprite(self, SPR_spr_shadow, 0, static_cast<float>(X(self)), static_cast<float>(Y(self)));
    frame.Line(2);
    if (Exists(self, other, Var(self, S_target_object)) || Greater(Var(self, S_vel_magnitude), 0)) {
        DrawLayers(self, other, frame);
    } else {
        frame.Line(14);
        Draw_Self(self);
    }
}
