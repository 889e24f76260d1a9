// The camera: keeps only what is near the view active, eases the view's size toward the normal or
// the zoomed size, eases itself toward its target and centres view 0 on itself.
#include "core/Variable.h"
#include "game/Game_Actions.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

UnitScratch g_activateScratch;
UnitScratch g_zoomScratch;
UnitScratch g_followScratch;

// lerp(from, to, amount) through the built-in.
double Lerp(CInstance* self, CInstance* other, UnitScratch& scratch, double from, RValue* to,
            RValue* amount) {
    RValue a = Number(from);
    return TakeReal(Call(self, other, &scratch, F_lerp, {&a, to, amount}));
}

double OnTarget(double target, int32_t ref) {
    RValue value = RValue_Real(0);
    Variable_GetOnTarget(CRT_TruncToInt32(target), VarId(ref), ARRAY_INDEX_WHOLE, &value);
    return TakeReal(&value);
}

}  // namespace

void hvs_Object_obj_camera_Create_0(CInstance* self, CInstance*) {
    Frame frame("hvs_Object_obj_camera_Create_0");
    frame.Line(1);
    RValue_SetReal(Slot(self, S_damp), 0.05);
    RValue_SetReal(Slot(self, S_margin), 120);
    frame.Line(4);
    RValue_SetReal(Slot(self, S_default_w), 640);
    RValue_SetReal(Slot(self, S_default_h), 360);
    frame.Line(6);
    RValue_SetReal(Slot(self, S_zoom_w), Real(Slot(self, S_default_w)) * 0.55);
    RValue_SetReal(Slot(self, S_zoom_h), Real(Slot(self, S_default_h)) * 0.55);
    frame.Line(8);
    RValue_SetReal(Slot(self, S_zoom_damp), 0.05);
    RValue_SetReal(Slot(self, S_zoomed_in), 0);
    frame.Line(11);
    RValue_SetReal(Slot(self, S_target_x), GetBuiltinReal(self, V_x));
    RValue_SetReal(Slot(self, S_target_y), GetBuiltinReal(self, V_y));
    frame.Line(13);
    RValue_SetReal(Slot(self, S_target_object), kNoone);
}

// Everything but the camera rests, then what lies within the margin of the view and everything
// that must always run wakes again.
void hvs_Object_obj_camera_Step_1(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_camera_Step_1");
    frame.Line(1);
    Drop(Call(self, other, &g_activateScratch, F_instance_deactivate_all, {&kOne}));
    frame.Line(2);
    const double margin = Real(Slot(self, S_margin));
    RValue left = Number(GetBuiltinReal(self, V_view_xview, 0) - margin);
    RValue top = Number(GetBuiltinReal(self, V_view_yview, 0) - margin);
    RValue width = Number(GetBuiltinReal(self, V_view_wview, 0) + margin * 2);
    RValue height = Number(GetBuiltinReal(self, V_view_hview, 0) + margin * 2);
    Drop(Call(self, other, &g_activateScratch, F_instance_activate_region,
              {&left, &top, &width, &height, &kOne}));
    frame.Line(3);
    RValue always = Number(OBJ_par_always_active);
    Drop(Call(self, other, &g_activateScratch, F_instance_activate_object, {&always}));
}

void hvs_Object_obj_camera_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_camera_Step_0");
    Locals<2> size;
    frame.Line(1);
    const bool zoomed = Condition(Slot(self, S_zoomed_in));
    RValue_Assign(size[0], Slot(self, zoomed ? S_zoom_w : S_default_w));
    RValue_Assign(size[1], Slot(self, zoomed ? S_zoom_h : S_default_h));
    frame.Line(3);
    RValue* damp = Slot(self, S_zoom_damp);
    SetBuiltinReal(self, V_view_wview, 0,
                   Lerp(self, other, g_zoomScratch, GetBuiltinReal(self, V_view_wview, 0), size[0], damp));
    frame.Line(4);
    SetBuiltinReal(self, V_view_hview, 0,
                   Lerp(self, other, g_zoomScratch, GetBuiltinReal(self, V_view_hview, 0), size[1], damp));
}

// Toward last frame's target, then the target taken from the followed instance, then the view
// centred on the camera (no clamping to the room).
void hvs_Object_obj_camera_Step_2(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_camera_Step_2");
    frame.Line(1);
    RValue* damp = Slot(self, S_damp);
    SetBuiltinReal(
        self, V_x, ARRAY_INDEX_WHOLE,
        Lerp(self, other, g_followScratch, GetBuiltinReal(self, V_x), Slot(self, S_target_x), damp));
    frame.Line(2);
    SetBuiltinReal(
        self, V_y, ARRAY_INDEX_WHOLE,
        Lerp(self, other, g_followScratch, GetBuiltinReal(self, V_y), Slot(self, S_target_y), damp));
    frame.Line(4);
    const double target = Real(Slot(self, S_target_object));
    if (Game_InstanceExistsDirect(self, other, CRT_TruncToInt32(target))) {
        frame.Line(5);
        RValue_SetReal(Slot(self, S_target_x), OnTarget(target, V_x));
        frame.Line(6);
        RValue_SetReal(Slot(self, S_target_y), OnTarget(target, V_y));
    }
    frame.Line(9);
    SetBuiltinReal(self, V_view_xview, 0,
                   GetBuiltinReal(self, V_x) - GetBuiltinReal(self, V_view_wview, 0) * 0.5);
    frame.Line(10);
    SetBuiltinReal(self, V_view_yview, 0,
                   GetBuiltinReal(self, V_y) - GetBuiltinReal(self, V_view_hview, 0) * 0.5);
}

// The R key: an empty event.
void hvs_Object_obj_camera_KeyPress_82(CInstance*, CInstance*) {}
