#include "core/Code_Constant.h"

#include <cstdio>
#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Value.h"

bool ExternalsDisabled = false;

namespace {

struct BuiltinConstant {
    const char* name;
    double value;
};

// pi as the runner has always given it: the single-precision value widened.
constexpr double kSinglePrecisionPi = static_cast<double>(3.14159265358979323846f);

constexpr BuiltinConstant kBuiltins[] = {
    // Scope keywords
    {"self", -1},
    {"other", -2},
    {"all", -3},
    {"noone", -4},
    {"global", -5},
    {"local", -7},
    // Truth values and pi
    {"true", 1},
    {"false", 0},
    {"pi", kSinglePrecisionPi},
    // Primitive kinds
    {"pr_pointlist", 1},
    {"pr_linelist", 2},
    {"pr_linestrip", 3},
    {"pr_trianglelist", 4},
    {"pr_trianglestrip", 5},
    {"pr_trianglefan", 6},
    // Colours
    {"c_aqua", 16776960},
    {"c_black", 0},
    {"c_blue", 16711680},
    {"c_dkgray", 4210752},
    {"c_fuchsia", 16711935},
    {"c_gray", 8421504},
    {"c_green", 32768},
    {"c_lime", 65280},
    {"c_ltgray", 12632256},
    {"c_maroon", 128},
    {"c_navy", 8388608},
    {"c_olive", 32896},
    {"c_purple", 8388736},
    {"c_red", 255},
    {"c_silver", 12632256},
    {"c_teal", 8421376},
    {"c_white", 16777215},
    {"c_yellow", 65535},
    {"c_orange", 4235519},
    // Blend modes and factors
    {"bm_normal", 0},
    {"bm_add", 1},
    {"bm_max", 2},
    {"bm_subtract", 3},
    {"bm_zero", 1},
    {"bm_one", 2},
    {"bm_src_color", 3},
    {"bm_src_colour", 3},
    {"bm_inv_src_color", 4},
    {"bm_inv_src_colour", 4},
    {"bm_src_alpha", 5},
    {"bm_inv_src_alpha", 6},
    {"bm_dest_alpha", 7},
    {"bm_inv_dest_alpha", 8},
    {"bm_dest_color", 9},
    {"bm_dest_colour", 9},
    {"bm_inv_dest_colour", 10},
    {"bm_src_alpha_sat", 11},
    // Sound effects (bit flags)
    {"se_none", 0},
    {"se_chorus", 1},
    {"se_echo", 2},
    {"se_flanger", 4},
    {"se_gargle", 8},
    {"se_reverb", 16},
    {"se_compressor", 32},
    {"se_equalizer", 64},
    // Text alignment
    {"fa_left", 0},
    {"fa_center", 1},
    {"fa_right", 2},
    {"fa_top", 0},
    {"fa_middle", 1},
    {"fa_bottom", 2},
    // Mouse buttons
    {"mb_any", -1},
    {"mb_none", 0},
    {"mb_left", 1},
    {"mb_right", 2},
    {"mb_middle", 3},
    // Virtual keys
    {"vk_nokey", 0},
    {"vk_anykey", 1},
    {"vk_enter", 13},
    {"vk_return", 13},
    {"vk_shift", 16},
    {"vk_control", 17},
    {"vk_alt", 18},
    {"vk_escape", 27},
    {"vk_space", 32},
    {"vk_backspace", 8},
    {"vk_tab", 9},
    {"vk_pause", 19},
    {"vk_printscreen", 44},
    {"vk_left", 37},
    {"vk_right", 39},
    {"vk_up", 38},
    {"vk_down", 40},
    {"vk_home", 36},
    {"vk_end", 35},
    {"vk_delete", 46},
    {"vk_insert", 45},
    {"vk_pageup", 33},
    {"vk_pagedown", 34},
    {"vk_f1", 112},
    {"vk_f2", 113},
    {"vk_f3", 114},
    {"vk_f4", 115},
    {"vk_f5", 116},
    {"vk_f6", 117},
    {"vk_f7", 118},
    {"vk_f8", 119},
    {"vk_f9", 120},
    {"vk_f10", 121},
    {"vk_f11", 122},
    {"vk_f12", 123},
    {"vk_numpad0", 96},
    {"vk_numpad1", 97},
    {"vk_numpad2", 98},
    {"vk_numpad3", 99},
    {"vk_numpad4", 100},
    {"vk_numpad5", 101},
    {"vk_numpad6", 102},
    {"vk_numpad7", 103},
    {"vk_numpad8", 104},
    {"vk_numpad9", 105},
    {"vk_divide", 111},
    {"vk_multiply", 106},
    {"vk_subtract", 109},
    {"vk_add", 107},
    {"vk_decimal", 110},
    {"vk_lshift", 160},
    {"vk_lcontrol", 162},
    {"vk_lalt", 164},
    {"vk_rshift", 161},
    {"vk_rcontrol", 163},
    {"vk_ralt", 165},
    // Gamepad buttons and axes
    {"gp_face1", 32769},
    {"gp_face2", 32770},
    {"gp_face3", 32771},
    {"gp_face4", 32772},
    {"gp_shoulderl", 32773},
    {"gp_shoulderr", 32774},
    {"gp_shoulderlb", 32775},
    {"gp_shoulderrb", 32776},
    {"gp_select", 32777},
    {"gp_start", 32778},
    {"gp_stickl", 32779},
    {"gp_stickr", 32780},
    {"gp_padu", 32781},
    {"gp_padd", 32782},
    {"gp_padl", 32783},
    {"gp_padr", 32784},
    {"gp_axislh", 32785},
    {"gp_axislv", 32786},
    {"gp_axisrh", 32787},
    {"gp_axisrv", 32788},
    // Event types
    {"ev_create", 0},
    {"ev_destroy", 1},
    {"ev_step", 3},
    {"ev_alarm", 2},
    {"ev_keyboard", 5},
    {"ev_mouse", 6},
    {"ev_collision", 4},
    {"ev_other", 7},
    {"ev_draw", 8},
    {"ev_keypress", 9},
    {"ev_keyrelease", 10},
    // Mouse event numbers
    {"ev_left_button", 0},
    {"ev_right_button", 1},
    {"ev_middle_button", 2},
    {"ev_no_button", 3},
    {"ev_left_press", 4},
    {"ev_right_press", 5},
    {"ev_middle_press", 6},
    {"ev_left_release", 7},
    {"ev_right_release", 8},
    {"ev_middle_release", 9},
    {"ev_mouse_enter", 10},
    {"ev_mouse_leave", 11},
    {"ev_global_press", 12},
    {"ev_global_release", 13},
    {"ev_global_left_button", 50},
    {"ev_global_right_button", 51},
    {"ev_global_middle_button", 52},
    {"ev_global_left_press", 53},
    {"ev_global_right_press", 54},
    {"ev_global_middle_press", 55},
    {"ev_global_left_release", 56},
    {"ev_global_right_release", 57},
    {"ev_global_middle_release", 58},
    {"ev_mouse_wheel_up", 60},
    {"ev_mouse_wheel_down", 61},
    {"ev_close_button", 30},
    // Joystick event numbers
    {"ev_joystick1_left", 16},
    {"ev_joystick1_right", 17},
    {"ev_joystick1_up", 18},
    {"ev_joystick1_down", 19},
    {"ev_joystick1_button1", 21},
    {"ev_joystick1_button2", 22},
    {"ev_joystick1_button3", 23},
    {"ev_joystick1_button4", 24},
    {"ev_joystick1_button5", 25},
    {"ev_joystick1_button6", 26},
    {"ev_joystick1_button7", 27},
    {"ev_joystick1_button8", 28},
    {"ev_joystick2_left", 31},
    {"ev_joystick2_right", 32},
    {"ev_joystick2_up", 33},
    {"ev_joystick2_down", 34},
    {"ev_joystick2_button1", 36},
    {"ev_joystick2_button2", 37},
    {"ev_joystick2_button3", 38},
    {"ev_joystick2_button4", 39},
    {"ev_joystick2_button5", 40},
    {"ev_joystick2_button6", 41},
    {"ev_joystick2_button7", 42},
    {"ev_joystick2_button8", 43},
    // Other event numbers
    {"ev_outside", 0},
    {"ev_boundary", 1},
    {"ev_game_start", 2},
    {"ev_game_end", 3},
    {"ev_room_start", 4},
    {"ev_room_end", 5},
    {"ev_no_more_lives", 6},
    {"ev_animation_end", 7},
    {"ev_end_of_path", 8},
    {"ev_no_more_health", 9},
    {"ev_user0", 10},
    {"ev_user1", 11},
    {"ev_user2", 12},
    {"ev_user3", 13},
    {"ev_user4", 14},
    {"ev_user5", 15},
    {"ev_user6", 16},
    {"ev_user7", 17},
    {"ev_user8", 18},
    {"ev_user9", 19},
    {"ev_user10", 20},
    {"ev_user11", 21},
    {"ev_user12", 22},
    {"ev_user13", 23},
    {"ev_user14", 24},
    {"ev_user15", 25},
    // Step and draw event numbers
    {"ev_step_normal", 0},
    {"ev_step_begin", 1},
    {"ev_step_end", 2},
    {"ev_gui", 64},
    // Value types
    {"ty_real", 0},
    {"ty_string", 1},
    // File attributes (bit flags)
    {"fa_readonly", 1},
    {"fa_hidden", 2},
    {"fa_sysfile", 4},
    {"fa_volumeid", 8},
    {"fa_directory", 16},
    {"fa_archive", 32},
    // Cursors
    {"cr_default", 0},
    {"cr_none", -1},
    {"cr_arrow", -2},
    {"cr_cross", -3},
    {"cr_beam", -4},
    {"cr_size_nesw", -6},
    {"cr_size_ns", -7},
    {"cr_size_nwse", -8},
    {"cr_size_we", -9},
    {"cr_uparrow", -10},
    {"cr_hourglass", -11},
    {"cr_drag", -12},
    {"cr_nodrop", -13},
    {"cr_hsplit", -14},
    {"cr_vsplit", -15},
    {"cr_multidrag", -16},
    {"cr_sqlwait", -17},
    {"cr_no", -18},
    {"cr_appstart", -19},
    {"cr_help", -20},
    {"cr_handpoint", -21},
    {"cr_size_all", -22},
    // Particle shapes
    {"pt_shape_pixel", 0},
    {"pt_shape_disk", 1},
    {"pt_shape_square", 2},
    {"pt_shape_line", 3},
    {"pt_shape_star", 4},
    {"pt_shape_circle", 5},
    {"pt_shape_ring", 6},
    {"pt_shape_sphere", 7},
    {"pt_shape_flare", 8},
    {"pt_shape_spark", 9},
    {"pt_shape_explosion", 10},
    {"pt_shape_cloud", 11},
    {"pt_shape_smoke", 12},
    {"pt_shape_snow", 13},
    // Particle distributions, emitter shapes, forces, deflection and change
    {"ps_distr_linear", 0},
    {"ps_distr_gaussian", 1},
    {"ps_distr_invgaussian", 2},
    {"ps_shape_rectangle", 0},
    {"ps_shape_ellipse", 1},
    {"ps_shape_diamond", 2},
    {"ps_shape_line", 3},
    {"ps_force_constant", 0},
    {"ps_force_linear", 1},
    {"ps_force_quadratic", 2},
    {"ps_deflect_vertical", 0},
    {"ps_deflect_horizontal", 1},
    {"ps_change_all", 0},
    {"ps_change_shape", 1},
    {"ps_change_motion", 2},
    // Effects
    {"ef_explosion", 0},
    {"ef_ring", 1},
    {"ef_ellipse", 2},
    {"ef_firework", 3},
    {"ef_smoke", 4},
    {"ef_smokeup", 5},
    {"ef_star", 6},
    {"ef_spark", 7},
    {"ef_flare", 8},
    {"ef_cloud", 9},
    {"ef_rain", 10},
    {"ef_snow", 11},
    // Display orientations
    {"display_landscape", 0},
    {"display_portrait", 1},
    {"display_landscape_flipped", 2},
    {"display_portrait_flipped", 3},
    // Physics joint properties
    {"phy_joint_anchor_1_x", 0},
    {"phy_joint_anchor_1_y", 1},
    {"phy_joint_anchor_2_x", 2},
    {"phy_joint_anchor_2_y", 3},
    {"phy_joint_reaction_force_x", 4},
    {"phy_joint_reaction_force_y", 5},
    {"phy_joint_reaction_torque", 6},
    {"phy_joint_angle", 8},
    {"phy_joint_motor_speed", 7},
    {"phy_joint_motor_torque", 9},
    {"phy_joint_max_motor_torque", 10},
    {"phy_joint_translation", 11},
    {"phy_joint_speed", 12},
    {"phy_joint_motor_force", 13},
    {"phy_joint_max_motor_force", 14},
    {"phy_joint_length_1", 15},
    {"phy_joint_length_2", 16},
    {"phy_joint_damping_ratio", 17},
    {"phy_joint_frequency", 18},
    // Physics debug drawing (bit flags)
    {"phy_debug_render_shapes", 1},
    {"phy_debug_render_joints", 2},
    {"phy_debug_render_coms", 4},
    {"phy_debug_render_aabb", 8},
    {"phy_debug_render_obb", 16},
    {"phy_debug_render_core_shapes", 32},
    {"phy_debug_render_collision_pairs", 64},
    // Audio falloff models, systems and channel layouts
    {"audio_falloff_none", 0},
    {"audio_falloff_inverse_distance", 1},
    {"audio_falloff_inverse_distance_clamped", 2},
    {"audio_falloff_linear_distance", 3},
    {"audio_falloff_linear_distance_clamped", 4},
    {"audio_falloff_exponent_distance", 5},
    {"audio_falloff_exponent_distance_clamped", 6},
    {"audio_old_system", 0},
    {"audio_new_system", 1},
    {"audio_mono", 0},
    {"audio_stereo", 1},
    {"audio_3d", 2},
    // Overlay pages
    {"ov_friends", 0},
    {"ov_community", 1},
    {"ov_players", 2},
    {"ov_settings", 3},
    {"ov_gamegroup", 4},
    {"ov_achievements", 5},
    // Leaderboard sorting and display
    {"lb_sort_none", 0},
    {"lb_sort_ascending", 1},
    {"lb_sort_descending", 2},
    {"lb_disp_none", 0},
    {"lb_disp_numeric", 1},
    {"lb_disp_time_sec", 2},
    {"lb_disp_time_ms", 3},
    // Workshop results, file types, visibility, queries, sort orders, lists and match kinds
    {"ugc_result_success", 1},
    {"ugc_filetype_community", 0},
    {"ugc_filetype_microtrans", 1},
    {"ugc_visibility_public", 0},
    {"ugc_visibility_friends_only", 1},
    {"ugc_visibility_private", 2},
    {"ugc_query_RankedByVote", 0},
    {"ugc_query_RankedByPublicationDate", 1},
    {"ugc_query_AcceptedForGameRankedByAcceptanceDate", 2},
    {"ugc_query_RankedByTrend", 3},
    {"ugc_query_FavoritedByFriendsRankedByPublicationDate", 4},
    {"ugc_query_CreatedByFriendsRankedByPublicationDate", 5},
    {"ugc_query_RankedByNumTimesReported", 6},
    {"ugc_query_CreatedByFollowedUsersRankedByPublicationDate", 7},
    {"ugc_query_NotYetRated", 8},
    {"ugc_query_RankedByTotalVotesAsc", 9},
    {"ugc_query_RankedByVotesUp", 10},
    {"ugc_query_RankedByTextSearch", 11},
    {"ugc_sortorder_CreationOrderDesc", 0},
    {"ugc_sortorder_CreationOrderAsc", 1},
    {"ugc_sortorder_TitleAsc", 2},
    {"ugc_sortorder_LastUpdatedDesc", 3},
    {"ugc_sortorder_SubscriptionDateDesc", 4},
    {"ugc_sortorder_VoteScoreDesc", 5},
    {"ugc_sortorder_ForModeration", 6},
    {"ugc_list_Published", 0},
    {"ugc_list_VotedOn", 1},
    {"ugc_list_VotedUp", 2},
    {"ugc_list_VotedDown", 3},
    {"ugc_list_WillVoteLater", 4},
    {"ugc_list_Favorited", 5},
    {"ugc_list_Subscribed", 6},
    {"ugc_list_UsedOrPlayed", 7},
    {"ugc_list_Followed", 8},
    {"ugc_match_Items", 0},
    {"ugc_match_Items_Mtx", 1},
    {"ugc_match_Items_ReadyToUse", 2},
    {"ugc_match_Collections", 3},
    {"ugc_match_Artwork", 4},
    {"ugc_match_Videos", 5},
    {"ugc_match_Screenshots", 6},
    {"ugc_match_AllGuides", 7},
    {"ugc_match_WebGuides", 8},
    {"ugc_match_IntegratedGuides", 9},
    {"ugc_match_UsableInGame", 10},
    {"ugc_match_ControllerBindings", 11},
    // Time zones
    {"timezone_local", 0},
    {"timezone_utc", 1},
};

// Only while external DLL calls are allowed.
constexpr BuiltinConstant kExternalCallConstants[] = {
    {"dll_cdecl", 0},
    {"dll_stdcall", 1},
};

char** g_names = nullptr;
RValue* g_values = nullptr;
int32_t g_count = 0;

NameFinder g_assetFinders[ASSET_TABLE_COUNT] = {};
GameConstantSource g_gameConstants = nullptr;
void (*g_platformRegistrar)() = nullptr;

void ShowOnErrorConsole(const char* text) {
    ErrorConsole.Output("%s\n", text);
}
void (*g_showMessage)(const char* text) = ShowOnErrorConsole;

bool IsLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
// Blank: a byte that reads as a signed value of 32 or less (controls, space, 0x80-0xFF).
bool IsBlank(char c) {
    return static_cast<signed char>(c) <= 32;
}
unsigned char AsciiLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

bool EqualNoCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (AsciiLower(static_cast<unsigned char>(*a)) != AsciiLower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

// Copies the value into a fresh (zeroed) slot: strings and arrays shared, an array
// without owner owned by the slot, an owning pointer copied without ownership.
void ShareInto(RValue* slot, const RValue* value) {
    RValue undefined = RValue_Undefined();
    *slot = undefined;
    RValue_Assign(slot, value);
}

}  // namespace

void Code_Constant_Add(const char* name, const RValue* value) {
    uintptr_t oldValues = reinterpret_cast<uintptr_t>(g_values);
    size_t count = static_cast<size_t>(g_count) + 1;
    g_names = static_cast<char**>(MEM_REALLOC(g_names, sizeof(char*) * count));
    g_values = static_cast<RValue*>(MEM_REALLOC(g_values, sizeof(RValue) * count));
    // Arrays owned by a slot must follow the slots to their new block.
    RValue_RelocateRange(g_values, g_count, oldValues);
    g_names[g_count] = String_Duplicate(name ? name : "");
    ShareInto(&g_values[g_count], value);
    ++g_count;
}

void Code_Constant_AddReal(const char* name, double value) {
    RValue real = RValue_Real(value);
    Code_Constant_Add(name, &real);
}

RValue* Code_Constant_Find(const char* name) {
    if (name == nullptr) return nullptr;
    for (int32_t i = g_count - 1; i >= 0; --i) {
        if (EqualNoCase(g_names[i], name)) return &g_values[i];
    }
    return nullptr;
}

int32_t Code_Constant_Count() {
    return g_count;
}
const char* Code_Constant_Name(int32_t i) {
    return i >= 0 && i < g_count ? g_names[i] : nullptr;
}
const RValue* Code_Constant_Value(int32_t i) {
    return i >= 0 && i < g_count ? &g_values[i] : nullptr;
}

bool Code_Constant_IsValidName(const char* text) {
    if (text == nullptr || !IsLetter(static_cast<unsigned char>(text[0]))) return false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text) + 1; *p != 0; ++p) {
        if (!IsLetter(*p) && !IsDigit(*p)) return false;
    }
    return true;
}

void String_Trim(char** out, const char* text) {
    MEM_FREE(*out);
    *out = nullptr;
    if (text == nullptr) return;
    const char* first = text;
    while (*first != '\0' && IsBlank(*first)) ++first;
    const char* end = first + std::strlen(first);
    while (end > first && IsBlank(end[-1])) --end;
    size_t length = static_cast<size_t>(end - first);
    char* copy = static_cast<char*>(MEM_ALLOC(length + 1));
    std::memcpy(copy, first, length);
    copy[length] = '\0';
    *out = copy;
}

bool Code_Constant_Define(const char* entryText) {
    char* name = nullptr;
    String_Trim(&name, entryText);
    if (!Code_Constant_IsValidName(name)) {
        char message[1024];
        std::snprintf(message, sizeof message, "Constant name %s  is not valid.", name ? name : "");
        g_showMessage(message);
        MEM_FREE(name);
        return false;
    }
    Code_Constant_AddReal(name, 0.0);
    MEM_FREE(name);
    return true;
}

bool Code_Constant_Prepare() {
    int32_t count = 0;
    const char* const* entries = g_gameConstants ? g_gameConstants(&count) : nullptr;
    for (int32_t i = 0; entries != nullptr && i < count; ++i) {
        if (!Code_Constant_Define(entries[i])) return false;
    }
    return true;
}

void Code_Constant_RegisterBuiltins() {
    for (const BuiltinConstant& constant : kBuiltins) Code_Constant_AddReal(constant.name, constant.value);
    if (!ExternalsDisabled) {
        for (const BuiltinConstant& constant : kExternalCallConstants) {
            Code_Constant_AddReal(constant.name, constant.value);
        }
    }
    if (g_platformRegistrar != nullptr) g_platformRegistrar();
}

void Code_Constant_Free() {
    for (int32_t i = 0; i < g_count; ++i) {
        MEM_FREE(g_names[i]);
        RValue_Release(&g_values[i]);
    }
    MEM_FREE(g_names);
    MEM_FREE(g_values);
    g_names = nullptr;
    g_values = nullptr;
    g_count = 0;
}

void Asset_SetFinder(AssetTable table, NameFinder finder) {
    if (table >= 0 && table < ASSET_TABLE_COUNT) g_assetFinders[table] = finder;
}

int32_t Asset_FindInTable(AssetTable table, const char* name) {
    if (name == nullptr || table < 0 || table >= ASSET_TABLE_COUNT) return -1;
    if (table == ASSET_SCRIPT) return Code_Function_FindScript(name);
    return g_assetFinders[table] ? g_assetFinders[table](name) : -1;
}

bool Asset_GetIndexByName(const char* name, RValue* out) {
    RValue_Release(out);
    *out = RValue_Real(-1.0);
    if (name == nullptr) return false;
    for (int32_t table = 0; table < ASSET_TABLE_COUNT; ++table) {
        const int32_t index = Asset_FindInTable(AssetTable(table), name);
        if (index >= 0) {
            *out = RValue_Real(index);
            return true;
        }
    }
    for (int32_t i = g_count - 1; i >= 0; --i) {
        if (std::strcmp(g_names[i], name) == 0) {
            RValue_Assign(out, &g_values[i]);
            return true;
        }
    }
    return false;
}

void Code_Constant_SetGameConstantSource(GameConstantSource source) {
    g_gameConstants = source;
}
void Code_Constant_SetMessageHook(void (*showMessage)(const char* text)) {
    g_showMessage = showMessage ? showMessage : ShowOnErrorConsole;
}
void Code_Constant_SetPlatformRegistrar(void (*registrar)()) {
    g_platformRegistrar = registrar;
}
