// The scenery: plants that rustle once per visit, spawners that scatter plants and trees and
// vanish, stones, rocks, trunks and swaying trees that block the way, stepping stones and the
// invisible blocking cells. Each piece varies its look when made so repeats do not look alike.
#include <cmath>

#include "assets/Function_Sprite_Draw.h"
#include "core/Value_Operators.h"
#include "data/Function_Math.h"
#include "game/Game_Actions.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

UnitScratch g_plantScratch;
UnitScratch g_plantStepScratch;
UnitScratch g_treeScratch;
UnitScratch g_treeDrawScratch;
UnitScratch g_stonesScratch;

constexpr double kBlack = 0;

// One of the given numbers, drawn by choose.
double Choose(std::initializer_list<double> values) {
    RValue choices[3];
    RValue* args[3];
    int32_t n = 0;
    for (double v : values) choices[n] = Number(v), args[n] = &choices[n], ++n;
    RValue chosen = RValue_Undefined();
    const double value = TakeReal(Direct_choose(&chosen, n, args));
    return value;
}

double MergeColour(CInstance* self, CInstance* other, UnitScratch& scratch, int32_t ref, double a, double b,
                   double amount) {
    RValue ca = Number(a), cb = Number(b), t = Number(amount);
    return TakeReal(Call(self, other, &scratch, ref, {&ca, &cb, &t}));
}

// depth by height on the screen, a random size and mirror, a still random frame.
void StillPiece(CInstance* self, double scaleLow, double scaleHigh) {
    SetVar(self, V_depth, -GetBuiltinReal(self, V_y));
    SetVar(self, V_image_yscale, Direct_random_range(scaleLow, scaleHigh));
    SetVar(self, V_image_xscale, GetBuiltinReal(self, V_image_yscale) * Choose({-1, 1}));
    SetVar(self, V_image_speed, 0);
    SetVar(self, V_image_index, std::floor(Direct_random(GetBuiltinReal(self, V_image_number))));
}

// `passes` instances of `object` uniformly in angle within 64 pixels, then the spawner goes. The
// destroy request is repeated each pass; only the first counts and the position stays readable.
void Scatter(CInstance* self, Frame& frame, int32_t passes, int32_t object) {
    for (int32_t pass = RepeatCount(passes); pass > 0; --pass) {
        frame.Line(2);
        const double dir = Direct_random(360);
        frame.Line(3);
        const double dist = Direct_random(64);
        frame.Line(4);
        const float x =
            static_cast<float>(GetBuiltinReal(self, V_x) +
                               Direct_lengthdir_x(static_cast<float>(dist), static_cast<float>(dir)));
        const float y =
            static_cast<float>(GetBuiltinReal(self, V_y) +
                               Direct_lengthdir_y(static_cast<float>(dist), static_cast<float>(dir)));
        Game_InstanceCreateDirect(x, y, object);
        frame.Line(5);
        Game_InstanceDestroyDirect(self);
    }
}

double Element(CInstance* self, int32_t slot, int32_t index) {
    return Real(RValue_ArrayElement2D(Slot(self, slot), index));
}

}  // namespace

void hvs_Object_obj_plant_basic_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_plant_basic_Create_0");
    frame.Line(1);
    SetVar(self, V_depth, -GetBuiltinReal(self, V_y));
    frame.Line(2);
    SetVar(self, V_sprite_index, Choose({SPR_spr_plant_1, SPR_spr_plant_2, SPR_spr_plant_3}));
    frame.Line(3);
    RValue_SetReal(Slot(self, S_can_animate), 1);
    RValue_SetReal(Slot(self, S_anim_speed), 0.125);
    frame.Line(5);
    SetVar(self, V_image_blend,
           MergeColour(self, other, g_plantScratch, F_merge_colour, kBlack,
                       GetBuiltinReal(self, V_background_colour), Direct_random_range(0.8, 1)));
    frame.Line(6);
    SetVar(self, V_image_yscale, Direct_random_range(0.8, 1));
    frame.Line(7);
    SetVar(self, V_image_xscale, GetBuiltinReal(self, V_image_yscale) * Choose({-1, 1}));
}

void hvs_Object_obj_plant_basic_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_plant_basic_Step_0");
    RValue x = Number(GetBuiltinReal(self, V_x)), y = Number(GetBuiltinReal(self, V_y)),
           entity = Number(OBJ_par_entity);
    frame.Line(1);
    if (Condition(TakeReal(Call(self, other, &g_plantStepScratch, F_place_meeting, {&x, &y, &entity})))) {
        frame.Line(2);
        if (!Condition(Slot(self, S_can_animate))) return;
        frame.Line(3);
        SetBuiltin(self, V_image_speed, ARRAY_INDEX_WHOLE, Slot(self, S_anim_speed));
        frame.Line(4);
        RValue_SetReal(Slot(self, S_can_animate), 0);
        frame.Line(5);
        Locals<1> voice;
        RValue sound = Number(Choose({SND_snd_grass_1, SND_snd_grass_2, SND_snd_grass_3}));
        Take(voice[0], Call(self, other, &g_plantStepScratch, F_audio_play_sound, {&sound, &kOne, &kZero}));
        frame.Line(6);
        RValue pitch = Number(Direct_random_range(0.7, 1.1));
        Drop(Call(self, other, &g_plantStepScratch, F_audio_sound_pitch, {voice[0], &pitch}));
        frame.Line(7);
        RValue gain = Number(Direct_random_range(0.05, 0.4));
        Drop(Call(self, other, &g_plantStepScratch, F_audio_sound_gain, {voice[0], &gain, &kZero}));
    } else if (Equal(GetBuiltinReal(self, V_image_index), 0)) {
        frame.Line(10);
        RValue_SetReal(Slot(self, S_can_animate), 1);
    }
}

void hvs_Object_obj_plant_basic_Other_7(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_plant_basic_Other_7");
    frame.Line(1);
    SetVar(self, V_image_speed, 0);
    frame.Line(2);
    SetVar(self, V_image_index, 0);
}

void hvs_Object_objj_grass_spawner_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_objj_grass_spawner_Create_0");
    frame.Line(1);
    Scatter(self, frame, 20, OBJ_obj_plant_basic);
}

void hvs_Object_obj_tree_spawner_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_tree_spawner_Create_0");
    frame.Line(1);
    Scatter(self, frame, Direct_irandom_range(4, 6), OBJ_obj_tree_1);
}

void hvs_Object_obj_stone_small_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_stone_small_Create_0");
    frame.Line(1);
    StillPiece(self, 0.8, 1);
}

// Unlike the other pieces the rock scales the size it has when its Create runs.
void hvs_Object_obj_rock_large_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_rock_large_Create_0");
    frame.Line(1);
    SetVar(self, V_depth, -GetBuiltinReal(self, V_y));
    frame.Line(2);
    const double s = Direct_random_range(0.8, 1);
    frame.Line(3);
    SetVar(self, V_image_yscale, GetBuiltinReal(self, V_image_yscale) * s);
    frame.Line(4);
    SetVar(self, V_image_xscale, GetBuiltinReal(self, V_image_xscale) * (s * Choose({-1, 1})));
    frame.Line(5);
    SetVar(self, V_image_speed, 0);
    frame.Line(6);
    SetVar(self, V_image_index, std::floor(Direct_random(GetBuiltinReal(self, V_image_number))));
}

void hvs_Object_obj_trunk_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_trunk_Create_0");
    frame.Line(1);
    StillPiece(self, 0.9, 1);
    frame.Line(6);
    SetVar(self, V_image_blend, GetBuiltinReal(self, V_background_colour));
}

void hvs_Object_obj_tree_1_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_tree_1_Create_0");
    frame.Line(1);
    StillPiece(self, 1.15, 1.4);
    frame.Line(6);
    SetVar(self, V_image_blend,
           MergeColour(self, other, g_treeScratch, F_merge_colour, kWhite,
                       GetBuiltinReal(self, V_background_colour), 0.75));
    frame.Line(7);
    RValue_SetReal(Slot(self, S_n_leaves), Direct_irandom_range(10, 17));
    frame.Line(8);
    const double hue = Direct_random_range(30, 100);
    RValue leavesSprite = Number(SPR_spr_tree_1_leaves);
    for (int32_t i = CRT_TruncToInt32(Real(Slot(self, S_n_leaves))) - 1; i >= 0; --i) {
        frame.Line(10);
        const double frames =
            TakeReal(Call(self, other, &g_treeScratch, F_sprite_get_number, {&leavesSprite}));
        RValue_SetReal(RValue_ElementRef(Slot(self, S_leaves_image), i), std::floor(Direct_random(frames)));
        frame.Line(11);
        const double scale = GetBuiltinReal(self, V_image_yscale);
        RValue_SetReal(RValue_ElementRef(Slot(self, S_leaves_x), i), Direct_random_range(-22, 22) * scale);
        frame.Line(12);
        RValue_SetReal(RValue_ElementRef(Slot(self, S_leaves_y), i), Direct_random_range(-60, -28) * scale);
        frame.Line(13);
        RValue h = Number(hue + Direct_random_range(-5, 5)), s = Number(30),
               v = Number(Direct_random_range(72, 88));
        const double blend = TakeReal(Call(self, other, &g_treeScratch, F_make_colour_hsv, {&h, &s, &v}));
        RValue_SetReal(RValue_ElementRef(Slot(self, S_leaves_blend), i), blend);
    }
    frame.Line(15);
    RValue_SetReal(Slot(self, S_counter), 0);
}

void hvs_Object_obj_tree_1_Step_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_tree_1_Step_0");
    frame.Line(1);
    AddAssign(Slot(self, S_counter), &kOne);
}

// The trunk, then the leaf clusters: never mirrored, each swaying by up to a pixel.
void hvs_Object_obj_tree_1_Draw_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_tree_1_Draw_0");
    frame.Line(1);
    Draw_Self(self);
    for (int32_t i = 0; Less(i, Real(Slot(self, S_n_leaves))); ++i) {
        frame.Line(3);
        const double leafX = Element(self, S_leaves_x, i), leafY = Element(self, S_leaves_y, i);
        const double sway = Direct_cos(Real(Slot(self, S_counter)) * 0.001 * leafY + leafX);
        const float scale = static_cast<float>(GetBuiltinReal(self, V_image_yscale));
        Direct_draw_sprite_ext(self, SPR_spr_tree_1_leaves,
                               CRT_TruncToInt32(Element(self, S_leaves_image, i)),
                               static_cast<float>(GetBuiltinReal(self, V_x) + leafX + sway),
                               static_cast<float>(GetBuiltinReal(self, V_y) + leafY), scale, scale, 0,
                               CRT_TruncToInt32(Element(self, S_leaves_blend, i)), 1);
        frame.Line(2);
    }
}

void hvs_Object_obj_stepping_stones_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_stepping_stones_Create_0");
    frame.Line(1);
    SetVar(self, V_image_speed, 0);
    frame.Line(2);
    SetVar(self, V_image_index, std::floor(Direct_random(GetBuiltinReal(self, V_image_number))));
    frame.Line(3);
    SetVar(self, V_depth, 1);
    frame.Line(4);
    SetVar(self, V_image_blend,
           MergeColour(self, other, g_stonesScratch, F_merge_color, GetBuiltinReal(self, V_background_colour),
                       kWhite, 0.3));
}

// An empty event: the cell only blocks the way.
void hvs_Object_obj_blocked_Create_0(CInstance*, CInstance*) {}
