// The game's compiled functions: seven scripts, the object events and the rooms' creation code.
#pragma once

#include <cstdint>

class CInstance;
struct RValue;

RValue* hvs_Script_scr_particle_1(CInstance* self, CInstance* other, RValue* result, int32_t argc,
                                  RValue** args);
RValue* hvs_Script_scr_particle_2(CInstance* self, CInstance* other, RValue* result, int32_t argc,
                                  RValue** args);
RValue* hvs_Script_scr_particle_3(CInstance* self, CInstance* other, RValue* result, int32_t argc,
                                  RValue** args);
RValue* hvs_Script_scr_particle_4(CInstance* self, CInstance* other, RValue* result, int32_t argc,
                                  RValue** args);
RValue* hvs_Script_scr_particle_5(CInstance* self, CInstance* other, RValue* result, int32_t argc,
                                  RValue** args);
RValue* hvs_Script_scr_create_speech(CInstance* self, CInstance* other, RValue* result, int32_t argc,
                                     RValue** args);
RValue* hvs_Script_npow(CInstance* self, CInstance* other, RValue* result, int32_t argc, RValue** args);
void hvs_Object_obj_dude_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_dude_Alarm_1(CInstance* self, CInstance* other);
void hvs_Object_obj_dude_Alarm_0(CInstance* self, CInstance* other);
void hvs_Object_obj_dude_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_dude_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_plant_basic_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_plant_basic_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_plant_basic_Other_7(CInstance* self, CInstance* other);
void hvs_Object_objj_grass_spawner_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_tree_spawner_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_stone_small_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_rock_large_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_trunk_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_tree_1_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_tree_1_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_tree_1_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_stepping_stones_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_blocked_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_artefact_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_artefact_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_artefact_Collision_0(CInstance* self, CInstance* other);
void hvs_Object_obj_artefact_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_artefact_poof_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_artefact_poof_Other_7(CInstance* self, CInstance* other);
void hvs_Object_par_entity_Create_0(CInstance* self, CInstance* other);
void hvs_Object_par_entity_Step_1(CInstance* self, CInstance* other);
void hvs_Object_par_entity_Collision_12(CInstance* self, CInstance* other);
void hvs_Object_obj_vignette_Draw_74(CInstance* self, CInstance* other);
void hvs_Object_obj_particles_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_particles_Mouse_50(CInstance* self, CInstance* other);
void hvs_Object_obj_particles_Other_5(CInstance* self, CInstance* other);
void hvs_Object_obj_effect_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_effect_Other_7(CInstance* self, CInstance* other);
void hvs_Object_obj_camera_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_camera_Step_2(CInstance* self, CInstance* other);
void hvs_Object_obj_camera_Step_1(CInstance* self, CInstance* other);
void hvs_Object_obj_camera_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_camera_KeyPress_82(CInstance* self, CInstance* other);
void hvs_Object_obj_state_manager_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_state_manager_Step_1(CInstance* self, CInstance* other);
void hvs_Object_obj_state_manager_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_speech_Destroy_0(CInstance* self, CInstance* other);
void hvs_Object_obj_speech_Alarm_0(CInstance* self, CInstance* other);
void hvs_Object_obj_speech_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_speech_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_speech_poof_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_speech_poof_Other_7(CInstance* self, CInstance* other);
void hvs_Object_obj_help_Destroy_0(CInstance* self, CInstance* other);
void hvs_Object_obj_help_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_help_poof_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_help_poof_Other_7(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_1_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_1_Destroy_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_1_Alarm_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_1_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_1_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_2_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_2_Destroy_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_2_Alarm_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_2_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_2_Other_7(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_2_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_3_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_3_Destroy_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_3_Alarm_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_3_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_3_Other_7(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_3_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_poof_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_cat_poof_Other_7(CInstance* self, CInstance* other);
void hvs_Object_obj_gunman_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_gunman_Alarm_1(CInstance* self, CInstance* other);
void hvs_Object_obj_gunman_Alarm_0(CInstance* self, CInstance* other);
void hvs_Object_obj_gunman_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_gunman_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_1_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_1_Alarm_1(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_1_Alarm_0(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_1_Step_0(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_1_Collision_17(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_1_Collision_0(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_1_Draw_0(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_poof_1_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_bullet_poof_1_Other_7(CInstance* self, CInstance* other);
void hvs_Object_obj_dead_poof_Create_0(CInstance* self, CInstance* other);
void hvs_Object_obj_dead_poof_Other_7(CInstance* self, CInstance* other);
void hvs_Room_rm_game_Create(CInstance* self, CInstance* other);
void hvs_Room_room1_Create(CInstance* self, CInstance* other);
void hvs_Room_room0_Create(CInstance* self, CInstance* other);
