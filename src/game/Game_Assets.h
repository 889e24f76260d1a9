// The game's resources by index: the sprites (with their size, origin and frame count) and the
// objects (with their parent). The data file is made from these lists and the compiled code
// refers to the same indices.
#pragma once

#include <cstdint>

// The lists keep one resource a line, or a few short ones: laid out by hand.
// clang-format off

// X(name, width, height, originX, originY, frames)
#define HVS_SPRITES(X) \
    X(spr_dude_idle_right, 32, 32, 16, 28, 1) \
    X(spr_dude_idle_right_down, 32, 32, 16, 28, 1) \
    X(spr_dude_idle_left_down, 32, 32, 16, 28, 1) \
    X(spr_dude_idle_right_up, 32, 32, 16, 28, 1) \
    X(spr_dude_idle_left_up, 32, 32, 16, 28, 1) \
    X(spr_dude_idle_left, 32, 32, 16, 28, 1) \
    X(spr_dude_idle_down, 32, 32, 16, 28, 1) \
    X(spr_dude_idle_up, 32, 32, 16, 28, 1) \
    X(spr_dude_run_left, 32, 32, 16, 28, 6) \
    X(spr_dude_run_right, 32, 32, 16, 28, 6) \
    X(spr_dude_run_right_down, 32, 32, 16, 28, 6) \
    X(spr_dude_run_left_down, 32, 32, 16, 28, 6) \
    X(spr_dude_run_right_up, 32, 32, 16, 28, 6) \
    X(spr_dude_run_left_up, 32, 32, 16, 28, 6) \
    X(spr_dude_run_up, 32, 32, 16, 28, 6) \
    X(spr_dude_run_down, 32, 32, 16, 28, 6) \
    X(spr_dude_jump, 32, 32, 16, 28, 4) \
    X(spr_dude_dead, 32, 32, 16, 28, 1) \
    X(spr_dude_shadow, 16, 8, 8, 4, 1) \
    X(spr_mask_dude, 12, 8, 6, 4, 1) \
    X(spr_plant_1, 16, 16, 8, 14, 4) \
    X(spr_plant_2, 16, 16, 8, 14, 4) \
    X(spr_plant_3, 16, 16, 8, 14, 4) \
    X(spr_circle, 32, 32, 16, 16, 1) \
    X(spr_circle_2, 32, 32, 16, 16, 1) \
    X(spr_stone_1, 16, 12, 8, 8, 1) \
    X(spr_rock_large, 48, 40, 24, 32, 1) \
    X(spr_trunk_1, 24, 24, 12, 18, 1) \
    X(spr_tree_1_trunk, 32, 48, 16, 44, 1) \
    X(spr_tree_1_leaves, 64, 64, 32, 32, 4) \
    X(spr_stepping_stones, 48, 16, 24, 8, 1) \
    X(spr_blocked, 32, 32, 0, 0, 1) \
    X(spr_artefact_1, 16, 24, 8, 20, 1) \
    X(spr_artefact_carried, 16, 24, 8, 20, 1) \
    X(spr_artefact_poof, 48, 48, 24, 24, 8) \
    X(spr_vignette, 128, 72, 0, 0, 1) \
    X(spr_pt1, 8, 8, 4, 4, 4) \
    X(spr_pt2, 4, 4, 2, 2, 4) \
    X(spr_puff_small_1, 16, 16, 8, 12, 6) \
    X(spr_puff_small_2, 16, 16, 8, 12, 6) \
    X(spr_puff_small_3, 16, 16, 8, 12, 6) \
    X(spr_puff_medium_1, 32, 32, 16, 24, 8) \
    X(spr_speech, 320, 180, 160, 20, 1) \
    X(spr_speech_poof, 160, 90, 80, 10, 11) \
    X(spr_help, 360, 122, 170, 26, 1) \
    X(spr_shadow, 24, 8, 12, 4, 1) \
    X(spr_help_poof, 180, 61, 86, 13, 7) \
    X(spr_cat_idle_1_down, 32, 32, 16, 24, 10) \
    X(spr_cat_idle_1_up, 32, 32, 16, 24, 10) \
    X(spr_cat_poof, 64, 64, 32, 56, 11) \
    X(spr_cat_spawn, 64, 64, 32, 56, 13) \
    X(spr_gunman_idle_1_down, 32, 42, 14, 35, 1) \
    X(spr_gunman_idle_1_up, 32, 42, 17, 35, 1) \
    X(spr_gunman_running_body_down, 32, 42, 14, 35, 6) \
    X(spr_gunman_running_body_up, 32, 42, 14, 35, 6) \
    X(spr_gunman_running_body_left, 32, 42, 14, 35, 6) \
    X(spr_gunman_running_body_right, 32, 42, 14, 35, 6) \
    X(spr_gunman_aiming_body, 32, 42, 14, 35, 1) \
    X(spr_gunman_aiming_head, 32, 42, 14, 35, 1) \
    X(spr_gunman_aiming_weapon, 42, 42, 17, 19, 2) \
    X(spr_bullet_1, 32, 32, 16, 16, 4) \
    X(spr_bullet_poof_1, 64, 64, 32, 32, 13) \
    X(spr_dead_poof, 96, 96, 46, 80, 12)

enum GameSprite : int32_t {
#define HVS_SPRITE_ENUM(name, w, h, ox, oy, frames) SPR_##name,
    HVS_SPRITES(HVS_SPRITE_ENUM)
#undef HVS_SPRITE_ENUM
    kSpriteCount
};
static_assert(SPR_spr_dude_idle_up == 7 && SPR_spr_dude_idle_right_down == 1 && SPR_spr_dude_run_down == 15 && SPR_spr_dude_jump == 16);
static_assert(SPR_spr_shadow == 45 && SPR_spr_cat_idle_1_down == 47 && SPR_spr_cat_spawn == 50);

// The sounds in the order of the data file: the compiled code plays them by these indices.
// The spares only hold the places of sounds the game never plays.
#define HVS_SOUNDS(X) \
    X(snd_spare_0) X(snd_spare_1) X(snd_spare_2) X(snd_spare_3) X(snd_spare_4) X(snd_speech_pop) \
    X(snd_jump_1) X(snd_foot_1) X(snd_foot_2) X(snd_grass_1) X(snd_grass_2) X(snd_grass_3) \
    X(snd_spare_12) X(snd_land_2) X(snd_hyper_1) X(snd_hyper_2) X(snd_charge_1) X(snd_purr) \
    X(snd_cat_poof) X(snd_artefact_poof) X(snd_cat_spawn)

enum GameSound : int32_t {
#define HVS_SOUND_ENUM(name) SND_##name,
    HVS_SOUNDS(HVS_SOUND_ENUM)
#undef HVS_SOUND_ENUM
    kSoundCount
};
static_assert(SND_snd_speech_pop == 5 && SND_snd_foot_1 == 7 && SND_snd_land_2 == 13 && SND_snd_purr == 17 &&
              SND_snd_artefact_poof == 19 && SND_snd_cat_spawn == 20);

// The fonts by index: the cats' speech font is the second; the first place stays empty.
enum GameFont : int32_t { FNT_fnt_speech_cat = 1, kFontCount };

// X(name, parent): parent -100 for none. 16 is par_always_active, 18 par_solid_tall.
#define HVS_OBJECTS(X) \
    X(obj_dude, 12) X(obj_plant_basic, -100) X(objj_grass_spawner, -100) X(obj_tree_spawner, -100) \
    X(obj_stone_small, 17) X(obj_rock_large, 18) X(obj_trunk, 17) X(obj_tree_1, 18) \
    X(obj_stepping_stones, -100) X(obj_blocked, 18) X(obj_artefact, -100) X(obj_artefact_poof, -100) \
    X(par_entity, -100) X(obj_vignette, 16) X(obj_particles, 16) X(obj_effect, 16) \
    X(par_always_active, -100) X(par_solid, -100) X(par_solid_tall, 17) X(obj_camera, 16) \
    X(obj_state_manager, 16) X(obj_speech, -100) X(obj_speech_poof, -100) X(obj_help, -100) \
    X(obj_help_poof, -100) X(obj_cat_1, -100) X(obj_cat_2, -100) X(obj_cat_3, -100) X(obj_cat_poof, -100) \
    X(obj_gunman, 12) X(obj_bullet_1, 16) X(obj_bullet_poof_1, -100) X(obj_dead_poof, -100)

enum GameObject : int32_t {
#define HVS_OBJECT_ENUM(name, parent) OBJ_##name,
    HVS_OBJECTS(HVS_OBJECT_ENUM)
#undef HVS_OBJECT_ENUM
    kObjectCount
};
static_assert(OBJ_obj_particles == 14 && OBJ_obj_speech == 21 && OBJ_obj_bullet_1 == 30 && OBJ_obj_dead_poof == 32);

constexpr int32_t OBJ_particles = OBJ_obj_particles;
constexpr int32_t OBJ_speech = OBJ_obj_speech;
// clang-format on
