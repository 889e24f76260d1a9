// The game's flow: the rooms' creation code that makes the controllers, and the state manager
// that turns the game state (0 introduction, 1 conversation, 2 free play, 3 death) into the
// player's input switch, the camera's zoom and target, and the removal of bullets.
#include "core/Variable.h"
#include "game/Game_Actions.h"
#include "game/Game_Assets.h"
#include "game/Game_Functions.h"
#include "game/Game_Kit.h"
#include "world/Function_Game.h"

using namespace hvs;

namespace {

enum GameState : int32_t { kIntroduction = 0, kConversation = 1, kFreePlay = 2, kDeath = 3 };

void SetInputEnabled(CInstance*& self, CInstance*& other, double enabled) {
    With(self, other, OBJ_obj_dude, [&] { RValue_SetReal(Slot(self, S_input_enabled), enabled); });
}

// The camera zoomed in on the speech bubble, when there is one; else its target point stays.
void AimAtSpeech(CInstance*& self, CInstance*& other) {
    With(self, other, OBJ_obj_camera, [&] {
        RValue_SetReal(Slot(self, S_zoomed_in), 1);
        RValue_SetReal(Slot(self, S_target_object), kNoone);
        With(self, other, OBJ_obj_speech, [&] {
            RValue_SetReal(Slot(other, S_target_x), GetBuiltinReal(self, V_x));
            RValue_SetReal(Slot(other, S_target_y),
                           GetBuiltinReal(self, V_y) + 72 * GetBuiltinReal(self, V_image_yscale));
        });
    });
}

void FollowDude(CInstance*& self, CInstance*& other, double zoomed) {
    With(self, other, OBJ_obj_camera, [&] {
        RValue_SetReal(Slot(self, S_zoomed_in), zoomed);
        RValue_SetReal(Slot(self, S_target_object), OBJ_obj_dude);
    });
}

// Moving, or leaving the ground, whatever caused it.
bool DudeHasMoved(CInstance* dude) {
    return !Equal(Real(Slot(dude, S_vel_x)), 0) || !Equal(Real(Slot(dude, S_vel_y)), 0) ||
           CRT_TruncToInt32(Real(Slot(dude, S_in_air))) != 0;
}

// The same steps for every room: the look, the camera following the player, the state manager.
void MakeControllers(CInstance* self, CInstance* other, const char* name) {
    Frame frame(name);
    Locals<1> camera;
    frame.Line(0);
    Game_InstanceCreateDirect(0, 0, OBJ_obj_vignette);
    frame.Line(1);
    Game_InstanceCreateDirect(0, 0, OBJ_obj_particles);
    frame.Line(2);
    RValue dudeX = RValue_Undefined(), dudeY = RValue_Undefined();
    Variable_GetOnTarget(OBJ_obj_dude, VarId(V_x), ARRAY_INDEX_WHOLE, &dudeX);
    Variable_GetOnTarget(OBJ_obj_dude, VarId(V_y), ARRAY_INDEX_WHOLE, &dudeY);
    const float x = static_cast<float>(TakeReal(&dudeX)), y = static_cast<float>(TakeReal(&dudeY));
    RValue_SetReal(camera[0], Game_InstanceCreateDirect(x, y, OBJ_obj_camera));
    frame.Line(3);
    With(self, other, Real(camera[0]), [&] {
        frame.Line(4);
        RValue_SetReal(Slot(self, S_target_object), OBJ_obj_dude);
    });
    frame.Line(6);
    Game_InstanceCreateDirect(0, 0, OBJ_obj_state_manager);
}

}  // namespace

void hvs_Object_obj_state_manager_Create_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_state_manager_Create_0");
    frame.Line(1);
    RValue_SetReal(Slot(self, S_state), kIntroduction);
    frame.Line(3);
    With(self, other, OBJ_obj_dude, [&] {
        frame.Line(4);
        Game_InstanceCreateDirect(static_cast<float>(GetBuiltinReal(self, V_x)),
                                  static_cast<float>(GetBuiltinReal(self, V_y)), OBJ_obj_help);
    });
}

void hvs_Object_obj_state_manager_Step_1(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_state_manager_Step_1");
    frame.Line(1);
    switch (CRT_TruncToInt32(Real(Slot(self, S_state)))) {
        case kIntroduction:
            frame.Line(3);
            SetInputEnabled(self, other, 1);
            frame.Line(4);
            AimAtSpeech(self, other);
            break;
        case kConversation:
            frame.Line(16);
            SetInputEnabled(self, other, 0);
            frame.Line(17);
            With(self, other, OBJ_obj_bullet_1, [&] { Game_InstanceDestroyDirect(self); });
            frame.Line(18);
            AimAtSpeech(self, other);
            break;
        case kFreePlay:
            frame.Line(30);
            SetInputEnabled(self, other, 1);
            frame.Line(31);
            FollowDude(self, other, 0);
            break;
        case kDeath:
            frame.Line(37);
            SetInputEnabled(self, other, 0);
            frame.Line(38);
            FollowDude(self, other, 1);
            break;
        default:
            break;
    }
}

// The introduction ends with the player's first movement or jump: free play, and the help
// bubble pops.
void hvs_Object_obj_state_manager_Step_0(CInstance* self, CInstance* other) {
    Frame frame("hvs_Object_obj_state_manager_Step_0");
    frame.Line(1);
    if (!Equal(Real(Slot(self, S_state)), kIntroduction)) return;
    frame.Line(2);
    With(self, other, OBJ_obj_dude, [&] {
        frame.Line(3);
        if (!DudeHasMoved(self)) return;
        frame.Line(4);
        RValue_SetReal(Slot(other, S_state), kFreePlay);
        frame.Line(5);
        With(self, other, OBJ_obj_help, [&] { Game_InstanceDestroyDirect(self); });
    });
}

void hvs_Room_rm_game_Create(CInstance* self, CInstance* other) {
    MakeControllers(self, other, "hvs_Room_rm_game_Create");
}

void hvs_Room_room1_Create(CInstance* self, CInstance* other) {
    MakeControllers(self, other, "hvs_Room_room1_Create");
}

void hvs_Room_room0_Create(CInstance* self, CInstance* other) {
    MakeControllers(self, other, "hvs_Room_room0_Create");
}
