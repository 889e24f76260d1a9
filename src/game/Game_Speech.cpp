// Speech bubbles that type their words with a voice, complete on a press and close on the next,
// the help bubble over the player, and the pops both leave behind.
#include "assets/Function_Graphics_Text.h"
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
UnitScratch g_destroyScratch;
UnitScratch g_helpDrawScratch;
UnitScratch g_helpPoofScratch;

// A string constant of the unit, made on first use and never released.
RValue* Text(RValue& constant, const char* text) {
    if (!RValue_IsString(constant)) RValue_CreateString(&constant, text);
    return &constant;
}
RValue g_space, g_keyWord, g_keyDelay;

// Appends the next word of the list to `text` and sets alarm 0 to the wait after it: the
// bubble's `word_delay`, or the word's own "delay".
void TypeWord(CInstance* self, CInstance* other, Frame& frame, UnitScratch& scratch) {
    Locals<2> t;  // the element, the word of a map element
    RValue* text = Slot(self, S_text);
    frame.Line(3);
    Take(t[0],
         Call(self, other, &scratch, F_ds_list_find_value, {Slot(self, S_word_list), Slot(self, S_current)}));
    frame.Line(4);
    if (Condition(TakeReal(Call(self, other, &scratch, F_is_string, {t[0]})))) {
        frame.Line(5);
        AddAssign(text, Text(g_space, " "));
        AddAssign(text, t[0]);
        frame.Line(6);
        SetBuiltin(self, V_alarm, 0, Slot(self, S_word_delay));
    } else {
        frame.Line(8);
        Take(t[1], Call(self, other, &scratch, F_ds_map_find_value, {t[0], Text(g_keyWord, "word")}));
        AddAssign(text, Text(g_space, " "));
        AddAssign(text, t[1]);
        frame.Line(9);
        SetBuiltin(self, V_alarm, 0,
                   Call(self, other, &scratch, F_ds_map_find_value, {t[0], Text(g_keyDelay, "delay")}));
        Drop(&scratch);
    }
    frame.Line(11);
    RValue_SetReal(Slot(self, S_current), Real(Slot(self, S_current)) + 1);
}

bool WordsLeft(CInstance* self) {
    return Less(Real(Slot(self, S_current)), Real(Slot(self, S_length)));
}

// The sign-keeping power of cos(current_time * 0.005): the rhythm of the wobble and the bob.
double Swing(CInstance* self, CInstance* other, UnitScratch& scratch, double exponent) {
    const double phase = Direct_cos(GetBuiltinReal(self, V_current_time) * 0.005);
    return ScriptReal(hvs_Script_npow, self, other, scratch, {phase, exponent});
}

void Call3(CInstance* self, CInstance* other, UnitScratch& scratch, int32_t ref, double a, double b,
           double c) {
    RValue x = RValue_Real(a), y = RValue_Real(b), z = RValue_Real(c);
    Drop(Call(self, other, &scratch, ref, {&x, &y, &z}));
}

}  // namespace

void hvs_Object_obj_speech_Alarm_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_speech_Alarm_0");
    frame.Line(1);
    if (!WordsLeft(self)) return;
    TypeWord(self, other, frame, g_alarmScratch);
    frame.Line(12);
    RValue voice = RValue_Real(PlaySound(self, other, g_alarmScratch, Real(Slot(self, S_voice))));
    frame.Line(13);
    RValue pitch = RValue_Real(Direct_random_range(0.8, 1.2));
    Drop(Call(self, other, &g_alarmScratch, F_audio_sound_pitch, {&voice, &pitch}));
}

void hvs_Object_obj_speech_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_speech_Step_0");
    RValue space = RValue_Real(kVkSpace), pad = RValue_Real(0), face1 = RValue_Real(kGpFace1);
    frame.Line(1);
    bool pressed = Condition(TakeReal(Call(self, other, &g_stepScratch, F_keyboard_check_pressed, {&space})));
    if (!pressed)
        pressed = Condition(
            TakeReal(Call(self, other, &g_stepScratch, F_gamepad_button_check_pressed, {&pad, &face1})));
    if (!pressed) return;
    frame.Line(2);
    if (WordsLeft(self)) {
        // The rest of the words at once, without their voices or their waits.
        while (WordsLeft(self)) TypeWord(self, other, frame, g_stepScratch);
    } else {
        frame.Line(16);
        Game_InstanceDestroyDirect(self);
    }
}

void hvs_Object_obj_speech_Draw_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_speech_Draw_0");
    UnitScratch& scratch = g_drawScratch;
    frame.Line(1);
    const double angle = 3.5 * Swing(self, other, scratch, 0.8);
    const double x = X(self), y = Y(self);
    frame.Line(2);
    Call3(self, other, scratch, F_d3d_transform_set_translation, -x, -y, 0);
    frame.Line(3);
    RValue turn = RValue_Real(angle);
    Drop(Call(self, other, &scratch, F_d3d_transform_add_rotation_z, {&turn}));
    frame.Line(4);
    Call3(self, other, scratch, F_d3d_transform_add_translation, x, y, 0);
    frame.Line(5);
    Draw_Self(self);
    frame.Line(6);
    RValue white = RValue_Real(kWhite);
    Drop(Call(self, other, &scratch, F_draw_set_colour, {&white}));
    frame.Line(7);
    Direct_draw_set_halign(1);
    frame.Line(8);
    Direct_draw_set_valign(1);
    frame.Line(9);
    Direct_draw_set_font(CRT_TruncToInt32(Real(Slot(self, S_font))));
    frame.Line(10);
    RValue textX = RValue_Real(x), textY = RValue_Real(y + 100 * GetBuiltinReal(self, V_image_yscale));
    RValue separation = RValue_Real(14), width = RValue_Real(280 * GetBuiltinReal(self, V_image_xscale));
    Drop(Call(self, other, &scratch, F_draw_text_ext,
              {&textX, &textY, Slot(self, S_text), &separation, &width}));
    frame.Line(11);
    Drop(Call(self, other, &scratch, F_d3d_transform_set_identity, {}));
}

void hvs_Object_obj_speech_Destroy_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_speech_Destroy_0");
    UnitScratch& scratch = g_destroyScratch;
    Locals<1> t;
    frame.Line(1);
    const double poof = Game_InstanceCreateDirect(static_cast<float>(X(self)), static_cast<float>(Y(self)),
                                                  OBJ_obj_speech_poof);
    frame.Line(2);
    With(self, other, poof, [&] {
        frame.Line(3);
        RValue* mirror[] = {&kMinusOne, &kOne};
        Direct_choose(t[0], 2, mirror);
        SetVar(self, V_image_xscale, GetBuiltinReal(other, V_image_xscale) * 2 * Real(t[0]));
        frame.Line(4);
        SetVar(self, V_image_yscale, GetBuiltinReal(other, V_image_yscale) * 2);
    });
    frame.Line(7);
    Drop(Call(self, other, &scratch, F_ds_map_destroy, {Slot(self, S_map)}));
    frame.Line(8);
    PlaySoundAt(self, other, scratch, SND_snd_speech_pop, Direct_random_range(1, 1.1));
}

void hvs_Object_obj_speech_poof_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_speech_poof_Create_0");
    frame.Line(1);
    SetVar(self, V_image_speed, 0.25);
}

void hvs_Object_obj_speech_poof_Other_7(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_speech_poof_Other_7");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
}

void hvs_Object_obj_help_Draw_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_help_Draw_0");
    frame.Line(1);
    const double bob = 2 * Swing(self, other, g_helpDrawScratch, 0.8);
    Direct_draw_sprite(self, CRT_TruncToInt32(GetBuiltinReal(self, V_sprite_index)),
                       CRT_TruncToInt32(GetBuiltinReal(self, V_image_index)), static_cast<float>(X(self)),
                       static_cast<float>(Y(self) + bob));
}

void hvs_Object_obj_help_Destroy_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_help_Destroy_0");
    frame.Line(1);
    Game_InstanceCreateDirect(static_cast<float>(X(self)), static_cast<float>(Y(self)), OBJ_obj_help_poof);
}

void hvs_Object_obj_help_poof_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_help_poof_Create_0");
    frame.Line(1);
    SetVar(self, V_image_speed, 0.25);
    frame.Line(2);
    SetVar(self, V_image_xscale, 2);
    frame.Line(3);
    SetVar(self, V_image_yscale, 2);
    frame.Line(4);
    PlaySound(self, other, g_helpPoofScratch, SND_snd_speech_pop);
}

void hvs_Object_obj_help_poof_Other_7(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_help_poof_Other_7");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
}
