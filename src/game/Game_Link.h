// The game's reference tables, in the order the link record hands them over.
// Generated lists; the order is part of the link record.
#pragma once

#include <cstdint>

#include "base/LoadGame.h"

namespace hvs {

// Variable references, by their place in the table.
#define HVS_VARIABLES(X) \
    X(ps, 0) \
    X(pt1, 1) \
    X(pt2, 2) \
    X(pt3, 3) \
    X(pt4, 4) \
    X(pt5, 5) \
    X(font, 6) \
    X(voice, 7) \
    X(text, 8) \
    X(word_delay, 9) \
    X(alarm, -1) \
    X(map, 10) \
    X(word_list, 11) \
    X(current, 12) \
    X(length, 13) \
    X(jump_image_speed, 14) \
    X(grounded_image_speed, 15) \
    X(idle_sprite, 16) \
    X(run_sprite, 17) \
    X(dir, 18) \
    X(input_x, 19) \
    X(input_y, 20) \
    X(input_magnitude, 21) \
    X(input_enabled, 22) \
    X(vel_x, 23) \
    X(vel_y, 24) \
    X(vel_magnitude, 25) \
    X(fric, 26) \
    X(acceleration, 27) \
    X(max_speed, 28) \
    X(z, 29) \
    X(vel_z, 30) \
    X(in_air, 31) \
    X(grav, 32) \
    X(jump_power, 33) \
    X(gs_default, 34) \
    X(gs_stone, 35) \
    X(ground_sound, 36) \
    X(carrying_artefact, 37) \
    X(dead, 38) \
    X(x, -1) \
    X(y, -1) \
    X(sprite_index, -1) \
    X(image_index, -1) \
    X(depth, -1) \
    X(image_speed, -1) \
    X(image_number, -1) \
    X(current_time, -1) \
    X(can_animate, 39) \
    X(anim_speed, 40) \
    X(background_colour, -1) \
    X(image_blend, -1) \
    X(image_yscale, -1) \
    X(image_xscale, -1) \
    X(n_leaves, 41) \
    X(leaves_image, 42) \
    X(leaves_x, 43) \
    X(leaves_y, 44) \
    X(leaves_blend, 45) \
    X(counter, 46) \
    X(hover_freq, 47) \
    X(hover_dist, 48) \
    X(hover_move, 49) \
    X(id, -1) \
    X(view_wport, -1) \
    X(view_hport, -1) \
    X(damp, 50) \
    X(margin, 51) \
    X(default_w, 52) \
    X(default_h, 53) \
    X(zoom_w, 54) \
    X(zoom_h, 55) \
    X(zoom_damp, 56) \
    X(zoomed_in, 57) \
    X(target_x, 58) \
    X(target_y, 59) \
    X(target_object, 60) \
    X(view_wview, -1) \
    X(view_xview, -1) \
    X(view_hview, -1) \
    X(view_yview, -1) \
    X(state, 61) \
    X(json, 62) \
    X(progress, 63) \
    X(visible, -1) \
    X(anim_done, 64) \
    X(angle, 65) \
    X(aim_speed, 66) \
    X(accel, 67) \
    X(move_target_x, 68) \
    X(move_target_y, 69) \
    X(target_radius, 70) \
    X(view_radius, 71) \
    X(shoot_radius, 72) \
    X(done, 73) \
    X(foot_delay, 74) \
    X(xstart, -1) \
    X(ystart, -1) \
    X(direction, -1) \
    X(image_angle, -1) \
    X(speed, -1)


enum VariableRefIndex : int32_t {
#define HVS_VAR_ENUM(name, slot) V_##name,
    HVS_VARIABLES(HVS_VAR_ENUM)
#undef HVS_VAR_ENUM
        kVariableRefCount
};

// Instance slots of the non-built-in variables.
enum InstanceSlot : int32_t {
    S_ps = 0,
    S_pt1 = 1,
    S_pt2 = 2,
    S_pt3 = 3,
    S_pt4 = 4,
    S_pt5 = 5,
    S_font = 6,
    S_voice = 7,
    S_text = 8,
    S_word_delay = 9,
    S_map = 10,
    S_word_list = 11,
    S_current = 12,
    S_length = 13,
    S_jump_image_speed = 14,
    S_grounded_image_speed = 15,
    S_idle_sprite = 16,
    S_run_sprite = 17,
    S_dir = 18,
    S_input_x = 19,
    S_input_y = 20,
    S_input_magnitude = 21,
    S_input_enabled = 22,
    S_vel_x = 23,
    S_vel_y = 24,
    S_vel_magnitude = 25,
    S_fric = 26,
    S_acceleration = 27,
    S_max_speed = 28,
    S_z = 29,
    S_vel_z = 30,
    S_in_air = 31,
    S_grav = 32,
    S_jump_power = 33,
    S_gs_default = 34,
    S_gs_stone = 35,
    S_ground_sound = 36,
    S_carrying_artefact = 37,
    S_dead = 38,
    S_can_animate = 39,
    S_anim_speed = 40,
    S_n_leaves = 41,
    S_leaves_image = 42,
    S_leaves_x = 43,
    S_leaves_y = 44,
    S_leaves_blend = 45,
    S_counter = 46,
    S_hover_freq = 47,
    S_hover_dist = 48,
    S_hover_move = 49,
    S_damp = 50,
    S_margin = 51,
    S_default_w = 52,
    S_default_h = 53,
    S_zoom_w = 54,
    S_zoom_h = 55,
    S_zoom_damp = 56,
    S_zoomed_in = 57,
    S_target_x = 58,
    S_target_y = 59,
    S_target_object = 60,
    S_state = 61,
    S_json = 62,
    S_progress = 63,
    S_anim_done = 64,
    S_angle = 65,
    S_aim_speed = 66,
    S_accel = 67,
    S_move_target_x = 68,
    S_move_target_y = 69,
    S_target_radius = 70,
    S_view_radius = 71,
    S_shoot_radius = 72,
    S_done = 73,
    S_foot_delay = 74,
    kInstanceSlotCount = 75
};

// Function references, by their place in the table.
#define HVS_FUNCTIONS(X) \
    X(part_particles_create) \
    X(json_decode) \
    X(ds_map_find_value) \
    X(ds_list_size) \
    X(power) \
    X(gamepad_set_axis_deadzone) \
    X(audio_play_sound) \
    X(audio_sound_pitch) \
    X(keyboard_check_pressed) \
    X(gamepad_button_check_pressed) \
    X(gamepad_axis_value) \
    X(point_distance) \
    X(place_meeting) \
    X(floor) \
    X(sin) \
    X(merge_colour) \
    X(audio_sound_gain) \
    X(sprite_get_number) \
    X(make_colour_hsv) \
    X(merge_color) \
    X(instance_nearest) \
    X(draw_set_blend_mode_ext) \
    X(texture_set_interpolation) \
    X(draw_sprite_stretched) \
    X(part_system_create) \
    X(part_system_depth) \
    X(part_type_create) \
    X(part_type_colour1) \
    X(part_type_sprite) \
    X(part_type_life) \
    X(part_type_orientation) \
    X(part_type_speed) \
    X(part_type_direction) \
    X(part_type_size) \
    X(part_type_destroy) \
    X(part_system_destroy) \
    X(lerp) \
    X(instance_deactivate_all) \
    X(instance_activate_region) \
    X(instance_activate_object) \
    X(ds_map_destroy) \
    X(ds_list_find_value) \
    X(is_string) \
    X(d3d_transform_set_translation) \
    X(d3d_transform_add_rotation_z) \
    X(d3d_transform_add_translation) \
    X(draw_set_colour) \
    X(draw_text_ext) \
    X(d3d_transform_set_identity) \
    X(event_inherited) \
    X(instance_place) \
    X(angle_difference) \
    X(dcos)


enum FunctionRefIndex : int32_t {
#define HVS_FN_ENUM(name) F_##name,
    HVS_FUNCTIONS(HVS_FN_ENUM)
#undef HVS_FN_ENUM
        kFunctionRefCount
};

// The code table, in code-index order.
#define HVS_CODE(X) \
    X(hvs_Script_scr_particle_1) \
    X(hvs_Script_scr_particle_2) \
    X(hvs_Script_scr_particle_3) \
    X(hvs_Script_scr_particle_4) \
    X(hvs_Script_scr_particle_5) \
    X(hvs_Script_scr_create_speech) \
    X(hvs_Script_npow) \
    X(hvs_Object_obj_dude_Create_0) \
    X(hvs_Object_obj_dude_Alarm_1) \
    X(hvs_Object_obj_dude_Alarm_0) \
    X(hvs_Object_obj_dude_Step_0) \
    X(hvs_Object_obj_dude_Draw_0) \
    X(hvs_Object_obj_plant_basic_Create_0) \
    X(hvs_Object_obj_plant_basic_Step_0) \
    X(hvs_Object_obj_plant_basic_Other_7) \
    X(hvs_Object_objj_grass_spawner_Create_0) \
    X(hvs_Object_obj_tree_spawner_Create_0) \
    X(hvs_Object_obj_stone_small_Create_0) \
    X(hvs_Object_obj_rock_large_Create_0) \
    X(hvs_Object_obj_trunk_Create_0) \
    X(hvs_Object_obj_tree_1_Create_0) \
    X(hvs_Object_obj_tree_1_Step_0) \
    X(hvs_Object_obj_tree_1_Draw_0) \
    X(hvs_Object_obj_stepping_stones_Create_0) \
    X(hvs_Object_obj_blocked_Create_0) \
    X(hvs_Object_obj_artefact_Create_0) \
    X(hvs_Object_obj_artefact_Step_0) \
    X(hvs_Object_obj_artefact_Collision_0) \
    X(hvs_Object_obj_artefact_Draw_0) \
    X(hvs_Object_obj_artefact_poof_Create_0) \
    X(hvs_Object_obj_artefact_poof_Other_7) \
    X(hvs_Object_par_entity_Create_0) \
    X(hvs_Object_par_entity_Step_1) \
    X(hvs_Object_par_entity_Collision_12) \
    X(hvs_Object_obj_vignette_Draw_74) \
    X(hvs_Object_obj_particles_Create_0) \
    X(hvs_Object_obj_particles_Mouse_50) \
    X(hvs_Object_obj_particles_Other_5) \
    X(hvs_Object_obj_effect_Create_0) \
    X(hvs_Object_obj_effect_Other_7) \
    X(hvs_Object_obj_camera_Create_0) \
    X(hvs_Object_obj_camera_Step_2) \
    X(hvs_Object_obj_camera_Step_1) \
    X(hvs_Object_obj_camera_Step_0) \
    X(hvs_Object_obj_camera_KeyPress_82) \
    X(hvs_Object_obj_state_manager_Create_0) \
    X(hvs_Object_obj_state_manager_Step_1) \
    X(hvs_Object_obj_state_manager_Step_0) \
    X(hvs_Object_obj_speech_Destroy_0) \
    X(hvs_Object_obj_speech_Alarm_0) \
    X(hvs_Object_obj_speech_Step_0) \
    X(hvs_Object_obj_speech_Draw_0) \
    X(hvs_Object_obj_speech_poof_Create_0) \
    X(hvs_Object_obj_speech_poof_Other_7) \
    X(hvs_Object_obj_help_Destroy_0) \
    X(hvs_Object_obj_help_Draw_0) \
    X(hvs_Object_obj_help_poof_Create_0) \
    X(hvs_Object_obj_help_poof_Other_7) \
    X(hvs_Object_obj_cat_1_Create_0) \
    X(hvs_Object_obj_cat_1_Destroy_0) \
    X(hvs_Object_obj_cat_1_Alarm_0) \
    X(hvs_Object_obj_cat_1_Step_0) \
    X(hvs_Object_obj_cat_1_Draw_0) \
    X(hvs_Object_obj_cat_2_Create_0) \
    X(hvs_Object_obj_cat_2_Destroy_0) \
    X(hvs_Object_obj_cat_2_Alarm_0) \
    X(hvs_Object_obj_cat_2_Step_0) \
    X(hvs_Object_obj_cat_2_Other_7) \
    X(hvs_Object_obj_cat_2_Draw_0) \
    X(hvs_Object_obj_cat_3_Create_0) \
    X(hvs_Object_obj_cat_3_Destroy_0) \
    X(hvs_Object_obj_cat_3_Alarm_0) \
    X(hvs_Object_obj_cat_3_Step_0) \
    X(hvs_Object_obj_cat_3_Other_7) \
    X(hvs_Object_obj_cat_3_Draw_0) \
    X(hvs_Object_obj_cat_poof_Create_0) \
    X(hvs_Object_obj_cat_poof_Other_7) \
    X(hvs_Object_obj_gunman_Create_0) \
    X(hvs_Object_obj_gunman_Alarm_1) \
    X(hvs_Object_obj_gunman_Alarm_0) \
    X(hvs_Object_obj_gunman_Step_0) \
    X(hvs_Object_obj_gunman_Draw_0) \
    X(hvs_Object_obj_bullet_1_Create_0) \
    X(hvs_Object_obj_bullet_1_Alarm_1) \
    X(hvs_Object_obj_bullet_1_Alarm_0) \
    X(hvs_Object_obj_bullet_1_Step_0) \
    X(hvs_Object_obj_bullet_1_Collision_17) \
    X(hvs_Object_obj_bullet_1_Collision_0) \
    X(hvs_Object_obj_bullet_1_Draw_0) \
    X(hvs_Object_obj_bullet_poof_1_Create_0) \
    X(hvs_Object_obj_bullet_poof_1_Other_7) \
    X(hvs_Object_obj_dead_poof_Create_0) \
    X(hvs_Object_obj_dead_poof_Other_7) \
    X(hvs_Room_rm_game_Create) \
    X(hvs_Room_room1_Create) \
    X(hvs_Room_room0_Create)


constexpr int32_t kCodeCount = 96;

extern VariableRef g_VariableRefs[kVariableRefCount];
extern FunctionRef g_FunctionRefs[kFunctionRefCount];
extern CompiledCodeEntry g_CodeTable[kCodeCount];

// The id the runner gave a variable reference at load.
inline int32_t VarId(int32_t ref) {
    return g_VariableRefs[ref].variableId;
}

}  // namespace hvs

// Fills the link record with the game's tables and the given data file (null: none).
GameLinkRecord* Game_FillCompiledRecord(GameLinkRecord* record, const uint8_t* data, uint32_t size);
// The runner's entry to the link record (the embedded game's, or none in a program without one).
GameLinkRecord* Game_FillLinkRecord(GameLinkRecord* record);
