// The player: eight-direction walking by keyboard or gamepad with friction and a speed limit,
// jumping over low scenery, footsteps that sound like the ground, the carried crystal and death.
#include <cmath>

#include "assets/Function_Sprite_Draw.h"
#include "core/Value_Operators.h"
#include "data/Function_Math.h"
#include "game/Game_Actions.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"
#include "world/Function_Game.h"
#include "services/Function_Interaction.h"

using namespace hvs;

namespace {

UnitScratch g_createScratch;
UnitScratch g_footstepScratch;
UnitScratch g_stepScratch;
UnitScratch g_drawScratch;

constexpr int32_t kGamepadAxisLH = 32785, kGamepadAxisLV = 32786;

// A flag of the player inside an and/or chain: set when at least 1.
bool Flag(CInstance* self, int32_t slot) {
    return CRT_TruncToInt32(Real(Slot(self, slot))) != 0;
}

double PointDistance(CInstance* self, CInstance* other, RValue* x, RValue* y) {
    return TakeReal(Call(self, other, &g_stepScratch, F_point_distance, {&kZero, &kZero, x, y}));
}

// A puff at the player's feet in the given sprite.
void Puff(CInstance*& self, CInstance*& other, std::initializer_list<double> sprites) {
    const int32_t puff =
        Game_InstanceCreateDirect(static_cast<float>(X(self)), static_cast<float>(Y(self)), OBJ_obj_effect);
    With(self, other, puff, [&] {
        RValue choices[3];
        RValue* args[3];
        int32_t n = 0;
        for (double sprite : sprites) choices[n] = Number(sprite), args[n] = &choices[n], ++n;
        RValue chosen = RValue_Undefined();
        Direct_choose(&chosen, n, args);
        SetBuiltin(self, V_sprite_index, ARRAY_INDEX_WHOLE, &chosen);
        RValue_Release(&chosen);
    });
}

// One direction of the keyboard: either of its two keys held.
double KeyPair(int32_t a, int32_t b) {
    return Interaction_KeyboardCheck(a) || Interaction_KeyboardCheck(b) ? 1 : 0;
}

struct Input {
    double right = 0, up = 0, left = 0, down = 0, jump = 0, axisX = 0, axisY = 0;
};

Input ReadInput(CInstance* self, CInstance* other) {
    Input in;
    if (!Condition(Slot(self, S_input_enabled))) return in;
    in.right = KeyPair(39, 'D');
    in.up = KeyPair(38, 'W');
    in.left = KeyPair(37, 'A');
    in.down = KeyPair(40, 'S');
    RValue space = Number(kVkSpace), pad = Number(0), face = Number(kGpFace1);
    const bool key =
        Condition(TakeReal(Call(self, other, &g_stepScratch, F_keyboard_check_pressed, {&space})));
    in.jump = key || Condition(TakeReal(
                         Call(self, other, &g_stepScratch, F_gamepad_button_check_pressed, {&pad, &face})))
                  ? 1
                  : 0;
    RValue lh = Number(kGamepadAxisLH), lv = Number(kGamepadAxisLV);
    in.axisX = TakeReal(Call(self, other, &g_stepScratch, F_gamepad_axis_value, {&pad, &lh}));
    in.axisY = TakeReal(Call(self, other, &g_stepScratch, F_gamepad_axis_value, {&pad, &lv}));
    return in;
}

// The input vector, at most 1 long, and nothing at all inside the dead zone.
void SetInputVector(CInstance* self, CInstance* other, const Input& in) {
    RValue* ix = Slot(self, S_input_x);
    RValue* iy = Slot(self, S_input_y);
    RValue* magnitude = Slot(self, S_input_magnitude);
    RValue_SetReal(ix, in.right - in.left + in.axisX);
    RValue_SetReal(iy, in.down - in.up + in.axisY);
    RValue_SetReal(magnitude, PointDistance(self, other, ix, iy));
    if (Greater(Real(magnitude), 1)) {
        DivAssign(ix, magnitude);
        DivAssign(iy, magnitude);
        RValue_SetReal(magnitude, 1);
    }
    if (Less(Real(magnitude), 0.3)) {
        RValue_SetReal(ix, 0);
        RValue_SetReal(iy, 0);
        RValue_SetReal(magnitude, 0);
    }
}

// In the air over nothing tall the whole velocity at once; otherwise ten small steps, each axis
// stopping on its own when blocked.
void Move(CInstance* self, CInstance* other) {
    RValue* vx = Slot(self, S_vel_x);
    RValue* vy = Slot(self, S_vel_y);
    if (Flag(self, S_in_air) && !PlaceMeeting(self, other, g_stepScratch, X(self) + Real(vx),
                                              Y(self) + Real(vy), OBJ_par_solid_tall)) {
        SetVar(self, V_x, X(self) + Real(vx));
        SetVar(self, V_y, Y(self) + Real(vy));
        return;
    }
    for (int32_t pass = RepeatCount(10); pass > 0; --pass) {
        const double nextX = X(self) + Real(vx) * 0.1;
        if (Game_PlaceFreeDirect(self, static_cast<float>(nextX), static_cast<float>(Y(self))))
            SetVar(self, V_x, nextX);
        else
            RValue_SetReal(vx, 0);
        const double nextY = Y(self) + Real(vy) * 0.1;
        if (Game_PlaceFreeDirect(self, static_cast<float>(X(self)), static_cast<float>(nextY)))
            SetVar(self, V_y, nextY);
        else
            RValue_SetReal(vy, 0);
    }
}

// Friction, acceleration and the speed limit; the limit is judged on the speed measured before
// friction and acceleration.
void Accelerate(CInstance* self, CInstance* other) {
    RValue* vx = Slot(self, S_vel_x);
    RValue* vy = Slot(self, S_vel_y);
    RValue* magnitude = Slot(self, S_vel_magnitude);
    RValue_SetReal(magnitude, PointDistance(self, other, vx, vy));
    const double fric = Real(Slot(self, S_fric));
    if (Greater(Real(magnitude), fric)) {
        RValue dx = Number(Real(vx) * fric / Real(magnitude));
        SubAssign(vx, &dx);
        RValue dy = Number(Real(vy) * fric / Real(magnitude));
        SubAssign(vy, &dy);
    } else {
        RValue_SetReal(magnitude, 0);
        RValue_SetReal(vx, 0);
        RValue_SetReal(vy, 0);
    }
    const double acceleration = Real(Slot(self, S_acceleration));
    RValue ax = Number(Real(Slot(self, S_input_x)) * acceleration);
    AddAssign(vx, &ax);
    RValue ay = Number(Real(Slot(self, S_input_y)) * acceleration);
    AddAssign(vy, &ay);
    const double maxSpeed = Real(Slot(self, S_max_speed));
    if (Greater(Real(magnitude), maxSpeed)) {
        RValue scale = Number(maxSpeed / Real(magnitude));
        MulAssign(vx, &scale);
        MulAssign(vy, &scale);
        RValue_SetReal(magnitude, maxSpeed);
    }
}

// Rising and falling, the landing with its puff and sound, or the take-off.
void Height(CInstance*& self, CInstance*& other, bool jump) {
    RValue* z = Slot(self, S_z);
    RValue* vz = Slot(self, S_vel_z);
    if (Condition(Slot(self, S_in_air))) {
        SubAssign(vz, Slot(self, S_grav));
        AddAssign(z, vz);
        if (Less(Real(z), 0)) {
            RValue_SetReal(Slot(self, S_in_air), 0);
            RValue_SetReal(z, 0);
            RValue_SetReal(vz, 0);
            Puff(self, other, {SPR_spr_puff_medium_1});
            PlaySound(self, other, g_stepScratch, SND_snd_land_2);
        }
    } else if (jump) {
        RValue_Assign(vz, Slot(self, S_jump_power));
        RValue_SetReal(Slot(self, S_in_air), 1);
        SetVar(self, V_sprite_index, SPR_spr_dude_jump);
        SetVar(self, V_image_index, 0);
        PlaySound(self, other, g_stepScratch, SND_snd_jump_1);
    }
}

void Animate(CInstance* self, CInstance* other) {
    if (Condition(Slot(self, S_dead))) {
        SetVar(self, V_sprite_index, SPR_spr_dude_dead);
        SetVar(self, V_image_speed, 0.25);
    } else if (Condition(Slot(self, S_in_air))) {
        const double last = GetBuiltinReal(self, V_image_number) - 1;
        if (Less(GetBuiltinReal(self, V_image_index), last)) {
            SetBuiltin(self, V_image_speed, ARRAY_INDEX_WHOLE, Slot(self, S_jump_image_speed));
        } else {
            SetVar(self, V_image_index, last);
            SetVar(self, V_image_speed, 0);
        }
    } else {
        SetBuiltin(self, V_image_speed, ARRAY_INDEX_WHOLE, Slot(self, S_grounded_image_speed));
        RValue* dir = Slot(self, S_dir);
        const bool running = Greater(Real(Slot(self, S_input_magnitude)), 0);
        if (running) {
            const float degrees =
                Direct_point_direction(0, 0, static_cast<float>(Real(Slot(self, S_input_x))),
                                       static_cast<float>(Real(Slot(self, S_input_y))));
            RValue octant = Number(degrees / 45.0 + 0.5);
            RValue_SetReal(dir,
                           std::fmod(TakeReal(Call(self, other, &g_stepScratch, F_floor, {&octant})), 8.0));
        }
        RValue* sprites = Slot(self, running ? S_run_sprite : S_idle_sprite);
        SetBuiltin(self, V_sprite_index, ARRAY_INDEX_WHOLE,
                   RValue_ArrayElement2D(sprites, CRT_TruncToInt32(Real(dir))));
    }
}

// Fills a direction table from its highest index down, so the array takes its full length at once.
void FillDirections(CInstance* self, int32_t slot, const int32_t (&sprites)[8]) {
    RValue* table = Slot(self, slot);
    for (int32_t dir = 7; dir >= 0; --dir) RValue_SetReal(RValue_ElementRef(table, dir), sprites[dir]);
}

}  // namespace

void hvs_Object_obj_dude_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_dude_Create_0");
    frame.Line(1);
    RValue_SetReal(Slot(self, S_jump_image_speed), 0.5);
    RValue_SetReal(Slot(self, S_grounded_image_speed), 0.25);
    frame.Line(4);
    FillDirections(self, S_idle_sprite,
                   {SPR_spr_dude_idle_right, SPR_spr_dude_idle_right_up, SPR_spr_dude_idle_up,
                    SPR_spr_dude_idle_left_up, SPR_spr_dude_idle_left, SPR_spr_dude_idle_left_down,
                    SPR_spr_dude_idle_down, SPR_spr_dude_idle_right_down});
    frame.Line(13);
    FillDirections(self, S_run_sprite,
                   {SPR_spr_dude_run_right, SPR_spr_dude_run_right_up, SPR_spr_dude_run_up,
                    SPR_spr_dude_run_left_up, SPR_spr_dude_run_left, SPR_spr_dude_run_left_down,
                    SPR_spr_dude_run_down, SPR_spr_dude_run_right_down});
    frame.Line(22);
    const struct {
        int32_t slot;
        double value;
    } initial[] = {{S_dir, 6},
                   {S_input_x, 0},
                   {S_input_y, 0},
                   {S_input_magnitude, 0},
                   {S_input_enabled, 1},
                   {S_vel_x, 0},
                   {S_vel_y, 0},
                   {S_vel_magnitude, 0},
                   {S_fric, 0.5},
                   {S_acceleration, 1},
                   {S_max_speed, 3.5},
                   {S_z, 0},
                   {S_vel_z, 0},
                   {S_in_air, 0},
                   {S_grav, 0.5},
                   {S_jump_power, 6.5},
                   {S_gs_default, SND_snd_foot_1},
                   {S_gs_stone, SND_snd_foot_2}};
    for (const auto& [slot, value] : initial) RValue_SetReal(Slot(self, slot), value);
    frame.Line(43);
    RValue_Assign(Slot(self, S_ground_sound), Slot(self, S_gs_default));
    RValue_SetReal(Slot(self, S_carrying_artefact), 0);
    RValue_SetReal(Slot(self, S_dead), 0);
    frame.Line(47);
    SetBuiltinReal(self, V_alarm, 0, 1);
    frame.Line(48);
    RValue deadZone = Number(0.3);
    Drop(Call(self, other, &g_createScratch, F_gamepad_set_axis_deadzone, {&kZero, &deadZone}));
}

void hvs_Object_obj_dude_Alarm_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_dude_Alarm_0");
    frame.Line(1);
    SetBuiltinReal(self, V_alarm, 0, 12);
    frame.Line(3);
    if (!Greater(Real(Slot(self, S_vel_magnitude)), 0)) return;
    frame.Line(4);
    Puff(self, other, {SPR_spr_puff_small_1, SPR_spr_puff_small_2, SPR_spr_puff_small_3});
    frame.Line(8);
    RValue voice = Number(PlaySound(self, other, g_footstepScratch, Real(Slot(self, S_ground_sound))));
    frame.Line(9);
    RValue pitch = Number(Direct_random_range(0.8, 1.2));
    Drop(Call(self, other, &g_footstepScratch, F_audio_sound_pitch, {&voice, &pitch}));
}

void hvs_Object_obj_dude_Alarm_1(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_dude_Alarm_1");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
    frame.Line(2);
    Game_InstanceCreateDirect(static_cast<float>(X(self)), static_cast<float>(Y(self)), OBJ_obj_dead_poof);
}

void hvs_Object_obj_dude_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_dude_Step_0");
    frame.Line(2);
    const Input in = ReadInput(self, other);
    frame.Line(10);
    SetInputVector(self, other, in);
    frame.Line(22);
    Move(self, other);
    frame.Line(40);
    Accelerate(self, other);
    frame.Line(60);
    Height(self, other, in.jump > 0.5);
    frame.Line(80);
    SetVar(self, V_depth, -Y(self));
    frame.Line(82);
    Animate(self, other);
    frame.Line(100);
    RValue_Assign(Slot(self, S_ground_sound), Slot(self, S_gs_default));
    frame.Line(101);
    if (PlaceMeeting(self, other, g_stepScratch, X(self), Y(self), OBJ_obj_stepping_stones))
        RValue_Assign(Slot(self, S_ground_sound), Slot(self, S_gs_stone));
}

void hvs_Object_obj_dude_Draw_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_dude_Draw_0");
    Locals<2> t;
    frame.Line(1);
    RValue shrunk = Number(1 - Real(Slot(self, S_z)) * 0.01);
    RValue* args[] = {&kZero, &shrunk};
    const float s = static_cast<float>(Real(Direct_max(t[0], 2, args)));
    const float x = static_cast<float>(X(self)), y = static_cast<float>(Y(self));
    const double z = Real(Slot(self, S_z));
    frame.Line(2);
    Direct_draw_sprite_ext(self, SPR_spr_dude_shadow, 0, x, y, s, s, 0, static_cast<int32_t>(kWhite), 1);
    frame.Line(3);
    Direct_draw_sprite(self, CRT_TruncToInt32(GetBuiltinReal(self, V_sprite_index)),
                       CRT_TruncToInt32(GetBuiltinReal(self, V_image_index)), x, static_cast<float>(y - z));
    frame.Line(4);
    if (!Condition(Slot(self, S_carrying_artefact))) return;
    frame.Line(5);
    RValue phase = Number(GetBuiltinReal(self, V_current_time) * 0.005);
    Take(t[1], Call(self, other, &g_drawScratch, F_sin, {&phase}));
    RValue exponent = Number(0.65);
    RValue* npowArgs[] = {t[1], &exponent};
    const double bob = TakeReal(hvs_Script_npow(self, other, &g_drawScratch.value, 2, npowArgs));
    frame.Line(6);
    Direct_draw_sprite(self, SPR_spr_artefact_carried, CRT_TruncToInt32(GetBuiltinReal(self, V_image_index)),
                       x, static_cast<float>(y - z - 30 + bob));
}
