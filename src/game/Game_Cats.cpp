// The three cats: the visible one talks as soon as the player comes close; the two hidden ones
// appear for a player carrying a crystal, take it and talk. Each vanishes in a poof afterwards.
#include "assets/Function_Sprite_Draw.h"
#include "core/Value_Operators.h"
#include "data/Function_Math.h"
#include "game/Game_Actions.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

UnitScratch g_cat1Scratch;
UnitScratch g_cat2Scratch;
UnitScratch g_cat3Scratch;
UnitScratch g_poofScratch;

constexpr double kFontSpeechCat = 1;
constexpr double kTalkDistance = 100;

const char* const kCat1Words =
    "[\"Hello\", \"there,\", \"cute\", \"one.\", \"Bring\", \"me\", \"3\", \"life\", \"crystals\", \"and\", "
    "\"I\", "
    "\"will\", \"help\", \"you\", {\"delay\": 60, \"word\": \"out.\"}, \"(purr)\"]";
const char* const kCat2Words =
    "[\"Thank\", \"you.\", \"I\", \"really\", \"needed\", {\"word\": \"that!\", \"delay\": 60}, \"(purr)\"]";
const char* const kCat3Words =
    "[\"You\", \"are\", \"getting\", \"the\", \"hang\", \"of\", {\"word\": \"this.\", \"delay\": 100}, "
    "\"(purr)\"]";

// The variables every cat's Create sets after its own: voice, word list and progress.
void SetTalk(CInstance* self, Frame& frame, int32_t line, const char* words) {
    frame.Line(line);
    RValue_SetReal(Slot(self, S_voice), SND_snd_purr);
    frame.Line(line + 1);
    RValue* element = RValue_ElementRef(Slot(self, S_json), 0);
    if (element) RValue_SetString(element, words);
    frame.Line(line + 2);
    RValue_SetReal(Slot(self, S_progress), 0);
}

double Progress(CInstance* self) {
    return Real(Slot(self, S_progress));
}

// The cat turns towards the player: down or up by his y, mirrored by his x.
void FacePlayer(CInstance*& self, CInstance*& other) {
    With(self, other, OBJ_obj_dude, [&] {
        const double sprite = Greater(Y(self), Y(other)) ? SPR_spr_cat_idle_1_down : SPR_spr_cat_idle_1_up;
        SetVar(other, V_sprite_index, sprite);
        SetVar(other, V_image_xscale, Greater(X(self), X(other)) ? -1 : 1);
    });
}

// About once in 70 steps, one dark mote near the cat.
void Purr(CInstance* self, CInstance* other, UnitScratch& scratch) {
    if (Less(Direct_random(70), 1))
        CallScript(hvs_Script_scr_particle_1, self, other, scratch, {X(self), Y(self), 5});
}

// The first player's distance from the cat; none when no player exists.
bool PlayerDistance(CInstance* self, CInstance* other, UnitScratch& scratch, double* distance) {
    RValue px = RValue_Undefined(), py = RValue_Undefined();
    const bool found = FirstValue(OBJ_obj_dude, V_x, &px) && FirstValue(OBJ_obj_dude, V_y, &py);
    if (found) *distance = Distance(self, other, scratch, X(self), Y(self), Real(&px), Real(&py));
    RValue_Release(&px);
    RValue_Release(&py);
    return found;
}

// Opens the cat's speech bubble, typing a word every 11 steps; it opens upwards when the cat
// stands higher than the player.
void StartBubble(CInstance*& self, CInstance*& other, UnitScratch& scratch, Frame& frame, int32_t line) {
    frame.Line(line);
    RValue x = RValue_Real(X(self)), y = RValue_Real(Y(self)), font = RValue_Real(kFontSpeechCat);
    RValue words = RValue_Undefined();
    if (RValue* element = RValue_ArrayElement2D(Slot(self, S_json), 0)) RValue_Assign(&words, element);
    RValue* args[] = {&x, &y, &words, &font, Slot(self, S_voice)};
    const double bubble = TakeReal(hvs_Script_scr_create_speech(self, other, &scratch, 5, args));
    RValue_Release(&words);
    frame.Line(line + 1);
    With(self, other, bubble, [&] { RValue_SetReal(Slot(self, S_word_delay), 11); });
    frame.Line(line + 2);
    RValue playerY = RValue_Undefined();
    const bool upwards = FirstValue(OBJ_obj_dude, V_y, &playerY) && Less(Y(self), Real(&playerY));
    RValue_Release(&playerY);
    if (upwards) With(self, other, bubble, [&] { SetVar(self, V_image_yscale, -1); });
}

// Every camera looks at the cat; `release` also stops it following an instance.
void CameraOnCat(CInstance*& self, CInstance*& other, bool release) {
    With(self, other, OBJ_obj_camera, [&] {
        RValue_SetReal(Slot(self, S_target_x), X(other));
        RValue_SetReal(Slot(self, S_target_y), Y(other));
        if (release) RValue_SetReal(Slot(self, S_target_object), kNoone);
    });
}

void DrawShadow(CInstance* self) {
    Direct_draw_sprite(self, SPR_spr_shadow, 0, static_cast<float>(X(self)), static_cast<float>(Y(self)));
}

// --- the hidden cats ---------------------------------------------------------------------------

void HiddenCreate(const char* name, const char* words, CInstance* self) {
    Frame frame(name);
    frame.Line(1);
    SetVar(self, V_depth, -Y(self));
    frame.Line(2);
    SetVar(self, V_image_speed, 0);
    frame.Line(3);
    SetVar(self, V_sprite_index, SPR_spr_cat_spawn);
    frame.Line(4);
    SetVar(self, V_visible, 0);
    frame.Line(5);
    RValue_SetReal(Slot(self, S_anim_done), 0);
    SetTalk(self, frame, 6, words);
}

// A player carrying a crystal close by starts the sequence: the camera turns to the hidden cat.
void HiddenWaitForPlayer(CInstance*& self, CInstance*& other, UnitScratch& scratch, Frame& frame) {
    frame.Line(3);
    if (!Exists(self, other, OBJ_obj_dude)) return;
    RValue carrying = RValue_Undefined();
    const bool carries = FirstValue(OBJ_obj_dude, V_carrying_artefact, &carrying) && Condition(&carrying);
    RValue_Release(&carrying);
    double distance = 0;
    if (!carries || !PlayerDistance(self, other, scratch, &distance) || !Less(distance, kTalkDistance))
        return;
    frame.Line(4);
    RValue_SetReal(Slot(self, S_progress), 1);
    frame.Line(5);
    SetAlarm(self, 0, 60);
    frame.Line(6);
    CameraOnCat(self, other, true);
    frame.Line(11);
    SetGameState(self, other, 1);
}

void HiddenAppear(CInstance* self, CInstance* other, UnitScratch& scratch, Frame& frame) {
    frame.Line(15);
    PlaySound(self, other, scratch, SND_snd_cat_spawn);
    frame.Line(16);
    SetVar(self, V_image_index, 0);
    frame.Line(17);
    SetVar(self, V_image_speed, 0.25);
    frame.Line(18);
    SetVar(self, V_visible, 1);
    frame.Line(19);
    RValue_SetReal(Slot(self, S_progress), 3);
    frame.Line(20);
    SetAlarm(self, 0, 30);
}

void HiddenTakeCrystal(CInstance*& self, CInstance*& other, UnitScratch& scratch, Frame& frame) {
    frame.Line(24);
    With(self, other, OBJ_obj_dude, [&] { RValue_SetReal(Slot(self, S_carrying_artefact), 0); });
    StartBubble(self, other, scratch, frame, 25);
    frame.Line(28);
    RValue_SetReal(Slot(self, S_progress), 5);
}

void HiddenStep(const char* name, UnitScratch& scratch, CInstance* self, CInstance* other) {
    Frame frame(name);
    frame.Line(1);
    const double progress = Progress(self);
    if (Equal(progress, 0)) {
        HiddenWaitForPlayer(self, other, scratch, frame);
    } else if (Equal(progress, 2)) {
        HiddenAppear(self, other, scratch, frame);
    } else if (Equal(progress, 4)) {
        HiddenTakeCrystal(self, other, scratch, frame);
    } else if (Equal(progress, 5)) {
        frame.Line(32);
        if (!Exists(self, other, OBJ_obj_speech)) {
            frame.Line(33);
            SetAlarm(self, 0, 75);
            frame.Line(34);
            RValue_SetReal(Slot(self, S_progress), 6);
            frame.Line(35);
            CameraOnCat(self, other, false);
        }
    } else if (Equal(progress, 7)) {
        frame.Line(42);
        Game_InstanceDestroyDirect(self);
        frame.Line(43);
        SetGameState(self, other, 2);
    }
    frame.Line(47);
    if (Condition(GetBuiltinReal(self, V_visible))) Purr(self, other, scratch);
    frame.Line(49);
    if (Condition(Slot(self, S_anim_done))) FacePlayer(self, other);
}

void HiddenAlarm(const char* name, CInstance* self) {
    Frame frame(name);
    frame.Line(1);
    RValue_SetReal(Slot(self, S_progress), Progress(self) + 1);
}

void HiddenAnimationEnd(const char* name, CInstance* self) {
    Frame frame(name);
    frame.Line(1);
    RValue_SetReal(Slot(self, S_anim_done), 1);
}

void HiddenDraw(const char* name, CInstance* self) {
    Frame frame(name);
    frame.Line(1);
    if (Condition(Slot(self, S_anim_done))) DrawShadow(self);
    frame.Line(2);
    Draw_Self(self);
}

void CatDestroy(const char* name, CInstance* self) {
    Frame frame(name);
    frame.Line(1);
    Game_InstanceCreateDirect(static_cast<float>(X(self)), static_cast<float>(Y(self)), OBJ_obj_cat_poof);
}

}  // namespace

// --- obj_cat_1 ---------------------------------------------------------------------------------

void hvs_Object_obj_cat_1_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_cat_1_Create_0");
    frame.Line(1);
    SetVar(self, V_depth, -Y(self));
    frame.Line(2);
    SetVar(self, V_image_speed, 0.25);
    SetTalk(self, frame, 3, kCat1Words);
}

void hvs_Object_obj_cat_1_Destroy_0(CInstance* self, CInstance*) {
    CatDestroy("hvs_Object_obj_cat_1_Destroy_0", self);
}

void hvs_Object_obj_cat_1_Alarm_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_cat_1_Alarm_0");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
    frame.Line(2);
    SetGameState(self, other, 2);
}

void hvs_Object_obj_cat_1_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_cat_1_Step_0");
    UnitScratch& scratch = g_cat1Scratch;
    frame.Line(1);
    FacePlayer(self, other);
    frame.Line(3);
    Purr(self, other, scratch);
    frame.Line(5);
    double distance = 0;
    if (Equal(Progress(self), 0) && Exists(self, other, OBJ_obj_dude) &&
        PlayerDistance(self, other, scratch, &distance) && Less(distance, kTalkDistance)) {
        frame.Line(6);
        RValue_SetReal(Slot(self, S_progress), 1);
        StartBubble(self, other, scratch, frame, 7);
        frame.Line(10);
        SetGameState(self, other, 1);
    }
    frame.Line(13);
    if (Equal(Progress(self), 1) && !Exists(self, other, OBJ_obj_speech)) {
        frame.Line(14);
        SetAlarm(self, 0, 60);
        frame.Line(15);
        RValue_SetReal(Slot(self, S_progress), 2);
        frame.Line(16);
        CameraOnCat(self, other, false);
    }
}

void hvs_Object_obj_cat_1_Draw_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_cat_1_Draw_0");
    frame.Line(1);
    DrawShadow(self);
    frame.Line(2);
    Draw_Self(self);
}

// --- obj_cat_2 and obj_cat_3 -------------------------------------------------------------------

void hvs_Object_obj_cat_2_Create_0(CInstance* self, CInstance*) {
    HiddenCreate("hvs_Object_obj_cat_2_Create_0", kCat2Words, self);
}
void hvs_Object_obj_cat_2_Destroy_0(CInstance* self, CInstance*) {
    CatDestroy("hvs_Object_obj_cat_2_Destroy_0", self);
}
void hvs_Object_obj_cat_2_Alarm_0(CInstance* self, CInstance*) {
    HiddenAlarm("hvs_Object_obj_cat_2_Alarm_0", self);
}
void hvs_Object_obj_cat_2_Step_0(CInstance* self, CInstance* other) {
    HiddenStep("hvs_Object_obj_cat_2_Step_0", g_cat2Scratch, self, other);
}
void hvs_Object_obj_cat_2_Other_7(CInstance* self, CInstance*) {
    HiddenAnimationEnd("hvs_Object_obj_cat_2_Other_7", self);
}
void hvs_Object_obj_cat_2_Draw_0(CInstance* self, CInstance*) {
    HiddenDraw("hvs_Object_obj_cat_2_Draw_0", self);
}

void hvs_Object_obj_cat_3_Create_0(CInstance* self, CInstance*) {
    HiddenCreate("hvs_Object_obj_cat_3_Create_0", kCat3Words, self);
}
void hvs_Object_obj_cat_3_Destroy_0(CInstance* self, CInstance*) {
    CatDestroy("hvs_Object_obj_cat_3_Destroy_0", self);
}
void hvs_Object_obj_cat_3_Alarm_0(CInstance* self, CInstance*) {
    HiddenAlarm("hvs_Object_obj_cat_3_Alarm_0", self);
}
void hvs_Object_obj_cat_3_Step_0(CInstance* self, CInstance* other) {
    HiddenStep("hvs_Object_obj_cat_3_Step_0", g_cat3Scratch, self, other);
}
void hvs_Object_obj_cat_3_Other_7(CInstance* self, CInstance*) {
    HiddenAnimationEnd("hvs_Object_obj_cat_3_Other_7", self);
}
void hvs_Object_obj_cat_3_Draw_0(CInstance* self, CInstance*) {
    HiddenDraw("hvs_Object_obj_cat_3_Draw_0", self);
}

// --- obj_cat_poof ------------------------------------------------------------------------------

void hvs_Object_obj_cat_poof_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_cat_poof_Create_0");
    UnitScratch& scratch = g_poofScratch;
    frame.Line(1);
    SetVar(self, V_depth, -Y(self));
    frame.Line(2);
    for (int i = 0; i < 4; ++i)
        CallScript(hvs_Script_scr_particle_1, self, other, scratch, {X(self), Y(self), 22});
    frame.Line(3);
    SetVar(self, V_image_speed, 0.25);
    frame.Line(4);
    PlaySoundAt(self, other, scratch, SND_snd_cat_poof, Direct_random_range(0.9, 1.1));
}

void hvs_Object_obj_cat_poof_Other_7(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_cat_poof_Other_7");
    frame.Line(1);
    Game_InstanceDestroyDirect(self);
}
