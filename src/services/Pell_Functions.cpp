#include "services/Pell_Functions.h"

#include <cstdio>
#include <cstring>

#include "base/Error_Report.h"
#include "core/Code_Constant.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "io/HTTP_Main.h"
#include "io/LoadSave.h"
#include "services/Achievement_Cache.h"
#include "services/IAP.h"
#include "services/Pell_Functions_Internal.h"

namespace {

PellRunnerHooks g_runnerHooks;


constexpr const char* kIllegalCount = "Illegal argument count";
constexpr const char* kIllegalType = "Illegal argument type";
constexpr const char* kPhoneUnsupported = "Windows Phone functionality not supported on this platform\n";

void SetNoText(RValue& result) {
    RValue_SetString(&result, nullptr);
}

// --- achievements --------------------------------------------------------------------------

PELL_BUILTIN(AchievementServiceCall) {}

PELL_BUILTIN(AchievementsAvailable) {
    Result_SetFlag(result, Pell_AchievementsAvailable());
}

// (name, value): a string and a real, else the count or type is reported.
bool AchievementArgumentsValid(int32_t argc, RValue* args) {
    if (argc != 2) {
        Error_Report(kIllegalCount, false);
        return false;
    }
    if (!RValue_IsString(args[0]) || !RValue_IsReal(args[1])) {
        Error_Report(kIllegalType, false);
        return false;
    }
    return true;
}

PELL_BUILTIN(AchievementPost) {
    Result_SetReal(result, 0);
    if (!AchievementArgumentsValid(argc, args) || !Pell_AchievementsAvailable()) return;
    Arg_GetFloat(args, 1);
    Arg_GetString(args, 0);
}
PELL_BUILTIN(AchievementPostScore) {
    Result_SetReal(result, 0);
    if (!AchievementArgumentsValid(argc, args) || !Pell_AchievementsAvailable()) return;
    Arg_GetInt32(args, 1);
    Arg_GetString(args, 0);
}
PELL_BUILTIN(AchievementEvent) {
    DebugConsole.Output("Calling F_Pell_AchievementEvent\n");
    Result_SetReal(result, 0);
    Arg_GetString(args, 0);
}
PELL_BUILTIN(AchievementShow) {
    Arg_GetInt32(args, 0);
    Arg_GetString(args, 1);
}
PELL_BUILTIN(AchievementGetPic) {
    Arg_GetString(args, 0);
}
PELL_BUILTIN(AchievementGetInfo) {
    Result_SetReal(result, 0);
    Arg_GetString(args, 0);
}
PELL_BUILTIN(AchievementLoadLeaderboard) {
    Result_SetReal(result, 0);
    for (int32_t n : {3, 2, 1}) Arg_GetInt32(args, n);
    Arg_GetString(args, 0);
}
PELL_BUILTIN(AchievementLoadProgress) {
    Result_SetReal(result, 0);
}
PELL_BUILTIN(AchievementSendChallenge) {
    Result_SetReal(result, 0);
    Arg_GetString(args, 4);
    Arg_GetInt32(args, 3);
    Arg_GetInt32(args, 2);
    Arg_GetString(args, 1);
    Arg_GetString(args, 0);
}
PELL_BUILTIN(AchievementChallengeNotifications) {
    for (int32_t n : {2, 1, 0}) Arg_GetInt32(args, n);
}

const BuiltinRow kAchievementRows[] = {
    {"Pell_LoginAchievements", F_AchievementServiceCall, 0},
    {"Pell_LogoutAchievements", F_AchievementServiceCall, 0},
    {"Pell_PostAchievement", F_AchievementPost, 2},
    {"Pell_PostScore", F_AchievementPostScore, 2},
    {"Pell_AchievementsAvailable", F_AchievementsAvailable, 0},
    {"achievement_available", F_AchievementsAvailable, 0},
    {"achievement_post_score", F_AchievementPostScore, 2},
    {"achievement_post", F_AchievementPost, 2},
    {"achievement_increment", F_AchievementPost, 2},
    {"achievement_event", F_AchievementEvent, 1},
    {"achievement_login", F_AchievementServiceCall, 0},
    {"achievement_logout", F_AchievementServiceCall, 0},
    {"achievement_reset", F_AchievementServiceCall, 0},
    {"achievement_show_achievements", F_AchievementServiceCall, 0},
    {"achievement_show", F_AchievementShow, 2},
    {"achievement_show_leaderboards", F_AchievementServiceCall, 0},
    {"achievement_load_friends", F_AchievementServiceCall, 0},
    {"achievement_load_leaderboard", F_AchievementLoadLeaderboard, 4},
    {"achievement_get_pic", F_AchievementGetPic, 1},
    {"achievement_get_info", F_AchievementGetInfo, 1},
    {"achievement_load_progress", F_AchievementLoadProgress, 0},
    {"achievement_send_challenge", F_AchievementSendChallenge, 5},
    {"achievement_get_challenges", F_AchievementServiceCall, 0},
    {"achievement_show_challenge_notifications", F_AchievementChallengeNotifications, 3},
};

// --- cloud saves -----------------------------------------------------------------------------

// (data, description): two arguments of which at least one is a string.
bool CloudArgumentsValid(int32_t argc, RValue* args) {
    if (argc != 2) {
        Error_Report(kIllegalCount, false);
        return false;
    }
    if (!RValue_IsString(args[0]) && !RValue_IsString(args[1])) {
        Error_Report(kIllegalType, false);
        return false;
    }
    return true;
}

// The check lets one of the two be a number; that one is handed over as no text rather than
// raising the text getter's type error on a call the check accepted.
const char* TextIfString(RValue* args, int32_t n) {
    return RValue_IsString(args[n]) ? Arg_GetString(args, n) : nullptr;
}

// There is no cloud service here: a request answers the id the next request would take.
PELL_BUILTIN(CloudFileSave) {
    Result_SetReal(result, 0);
    if (!CloudArgumentsValid(argc, args)) return;
    const char* name = TextIfString(args, 0);
    if (name == nullptr) name = "";
    int64_t size = 0;
    void* contents = LoadSave_SaveFileExists(name)     ? LoadSave_ReadSaveFile(name, &size)
                     : LoadSave_BundleFileExists(name) ? LoadSave_ReadBundleFile(name, &size)
                                                       : nullptr;
    if (contents == nullptr) {
        DebugConsole.Output("ERROR!!! :: Failed to open file: %s\n", name);
        return;
    }
    TextIfString(args, 1);
    Result_SetReal(result, Async_NextId());
    MEM_FREE(contents);
}
PELL_BUILTIN(CloudStringSave) {
    Result_SetReal(result, 0);
    if (!CloudArgumentsValid(argc, args)) return;
    TextIfString(args, 0);
    TextIfString(args, 1);
    Result_SetReal(result, Async_NextId());
}
PELL_BUILTIN(CloudSynchronise) {
    Result_SetReal(result, Async_NextId());
}

const BuiltinRow kCloudRows[] = {
    {"cloud_file_save", F_CloudFileSave, 2, 1},
    {"cloud_string_save", F_CloudStringSave, 2, 1},
    {"cloud_synchronise", F_CloudSynchronise, 0, 1},
};

// --- advertising, clickables and ratings -------------------------------------------------------

PELL_BUILTIN(AcceptArguments) {}

PELL_BUILTIN(AnswerZero) {
    Result_SetReal(result, 0);
}

bool AdvertSlotValid(int32_t slot) {
    if (slot >= 0 && slot <= 4) return true;
    Error_Report("Illegal advertising slot number", false);
    return false;
}

PELL_BUILTIN(EnableAds) {
    Arg_GetInt32(args, 0);
    Arg_GetInt32(args, 1);
}
PELL_BUILTIN(AdsEnable) {
    for (int32_t n : {0, 1, 2}) Arg_GetInt32(args, n);
}
// Pell_DisableAds has no argument: it then disables slot 0.
PELL_BUILTIN(AdsDisable) {
    AdvertSlotValid(argc > 0 ? Arg_GetInt32(args, 0) : 0);
}
PELL_BUILTIN(AdsMove) {
    if (!AdvertSlotValid(Arg_GetInt32(args, 2))) return;
    Arg_GetInt32(args, 1);
    Arg_GetInt32(args, 0);
}
PELL_BUILTIN(AdsDisplaySize) {
    if (AdvertSlotValid(Arg_GetInt32(args, 0))) Result_SetReal(result, 0);
}
PELL_BUILTIN(ReadFirstText) {
    Arg_GetString(args, 0);
}
PELL_BUILTIN(LeaveRating) {
    for (int32_t n : {3, 2, 1, 0}) Arg_GetString(args, n);
}

const BuiltinRow kAdvertisingRows[] = {
    {"Pell_EnableAds", F_EnableAds, 5},
    {"Pell_DisableAds", F_AdsDisable, 0},
    {"Pell_LeaveRating", F_LeaveRating, 4},
    {"ads_enable", F_AdsEnable, 3},
    {"ads_disable", F_AdsDisable, 1},
    {"ads_event", F_ReadFirstText, 1},
    {"ads_event_preload", F_ReadFirstText, 1},
    {"ads_get_display_width", F_AdsDisplaySize, 1},
    {"ads_get_display_height", F_AdsDisplaySize, 1},
    {"ads_move", F_AdsMove, 3},
    {"ads_interstitial_available", F_AnswerZero, 0},
    {"ads_interstitial_display", F_AnswerZero, 0},
    {"ads_engagement_available", F_AnswerZero, 1},
    {"ads_engagement_launch", F_AcceptArguments, 1},
    {"ads_engagement_active", F_AnswerZero, 1},
    {"ads_setup", F_ReadFirstText, 2},
    {"ads_set_reward_callback", F_AcceptArguments, 1},
    {"clickable_add", F_AcceptArguments, 6},
    {"clickable_add_ext", F_AcceptArguments, 8},
    {"clickable_change", F_AcceptArguments, 4},
    {"clickable_change_ext", F_AcceptArguments, 5},
    {"clickable_delete", F_AcceptArguments, 1},
    {"clickable_exists", F_AcceptArguments, 1},
    {"clickable_set_style", F_AcceptArguments, 2},
    {"shop_leave_rating", F_LeaveRating, 4},
};

// --- challenge and dashboard service ---------------------------------------------------------

PELL_BUILTIN(TwoTexts) {
    Arg_GetString(args, 1);
    Arg_GetString(args, 0);
}
PELL_BUILTIN(ThreeTexts) {
    for (int32_t n : {2, 1, 0}) Arg_GetString(args, n);
}
PELL_BUILTIN(AddLeaderboard) {
    if (argc == 3) Arg_GetInt32(args, 2);
    Arg_GetString(args, 1);
    Arg_GetString(args, 0);
}
PELL_BUILTIN(AcceptChallenge) {
    RValue_SetString(&result, "");
}
PELL_BUILTIN(SendChallengeResult) {
    Arg_GetString(args, 1);
    Arg_GetInt32(args, 0);
}

const BuiltinRow kChallengeRows[] = {
    {"Pell_OF_StartDashboard", F_AcceptArguments, 0},
    {"Pell_OF_AddAchievement", F_TwoTexts, 2},
    {"Pell_OF_AddLeaderboard", F_AddLeaderboard, 3},
    {"Pell_OF_SendChallenge", F_ThreeTexts, 3},
    {"Pell_OF_SendInvite", F_ReadFirstText, 1},
    {"Pell_OF_SendSocial", F_ThreeTexts, 3},
    {"Pell_OF_SetURL", F_ReadFirstText, 1},
    {"Pell_OF_AcceptChallenge", F_AcceptChallenge, 0},
    {"Pell_OF_IsOnline", F_AnswerZero, 0},
    {"Pell_OF_SendChallengeResult", F_SendChallengeResult, 2},
    {"openfeint_start", F_AcceptArguments, 0},
    {"achievement_map_achievement", F_TwoTexts, 2},
    {"achievement_map_leaderboard", F_AddLeaderboard, 3},
    {"openfeint_send_challenge", F_ThreeTexts, 3},
    {"openfeint_send_invite", F_ReadFirstText, 1},
    {"openfeint_send_social", F_ThreeTexts, 3},
    {"openfeint_set_url", F_ReadFirstText, 1},
    {"openfeint_accept_challenge", F_AcceptChallenge, 0},
    {"achievement_login_status", F_AnswerZero, 0},
    {"openfeint_send_result", F_SendChallengeResult, 2},
};

// --- social network ----------------------------------------------------------------------------

PELL_BUILTIN(FacebookLogin) {
    Arg_GetInt32(args, 1);
    Arg_GetInt32(args, 0);
    Result_SetReal(result, 0);
}
PELL_BUILTIN(FacebookStatus) {
    RValue_SetString(&result, "IDLE");
}
PELL_BUILTIN(FacebookGraphRequest) {
    Arg_GetInt32(args, 3);
    Arg_GetInt32(args, 2);
    Arg_GetString(args, 1);
    Arg_GetString(args, 0);
    Result_SetReal(result, 0);
}
PELL_BUILTIN(FacebookDialog) {
    Arg_GetInt32(args, 2);
    Arg_GetInt32(args, 1);
    Arg_GetString(args, 0);
    Result_SetReal(result, 0);
}
PELL_BUILTIN(EmptyText) {
    RValue_SetString(&result, "");
}
PELL_BUILTIN(FacebookPostMessage) {
    for (int32_t n = 6; n >= 0; --n) Arg_GetString(args, n);
    Result_SetReal(result, 0);
}
PELL_BUILTIN(FacebookSendInvite) {
    Arg_GetInt32(args, 4);
    for (int32_t n = 3; n >= 0; --n) Arg_GetString(args, n);
    Result_SetReal(result, 0);
}

const BuiltinRow kSocialRows[] = {
    {"facebook_init", F_AnswerZero, 0},
    {"facebook_login", F_FacebookLogin, 2},
    {"facebook_status", F_FacebookStatus, 0},
    {"facebook_graph_request", F_FacebookGraphRequest, 4},
    {"facebook_dialog", F_FacebookDialog, 3},
    {"facebook_logout", F_AnswerZero, 0},
    {"facebook_user_id", F_EmptyText, 0},
    {"facebook_accesstoken", F_EmptyText, 0},
    {"facebook_launch_offerwall", F_AnswerZero, 1},
    {"facebook_post_message", F_FacebookPostMessage, 7},
    {"facebook_send_invite", F_FacebookSendInvite, 5},
    {"facebook_check_permission", F_AnswerZero, 1},
    {"facebook_request_read_permissions", F_AnswerZero, 1},
    {"facebook_request_publish_permissions", F_AnswerZero, 1},
};

// --- phone tiles -------------------------------------------------------------------------------

// A setter given one text logs the not-supported line, anything else its usage line.
void PhoneTileSetter(RValue& result, int32_t argc, RValue* args, const char* usage) {
    if (argc == 1 && RValue_IsString(args[0])) {
        DebugConsole.Output(kPhoneUnsupported);
    } else {
        DebugConsole.Output("incorrect arguments to %s\n", usage);
    }
    Result_SetReal(result, 0);
}

#define PHONE_TILE_SETTER(Name, usage) \
    PELL_BUILTIN(Name) { \
        PhoneTileSetter(result, argc, args, usage); \
    }
PHONE_TILE_SETTER(TileTitle, "winphone_tile_title( title )")
PHONE_TILE_SETTER(TileBackTitle, "winphone_tile_back_title( title )")
PHONE_TILE_SETTER(TileBackContent, "winphone_tile_back_content( content )")
PHONE_TILE_SETTER(TileBackContentWide, "winphone_tile_back_content_wide( content )")
PHONE_TILE_SETTER(TileFrontImage, "winphone_tile_front_image( filename )")
PHONE_TILE_SETTER(TileFrontImageSmall, "winphone_tile_front_image_small( filename )")
PHONE_TILE_SETTER(TileFrontImageWide, "winphone_tile_front_image_wide( filename )")
PHONE_TILE_SETTER(TileBackImage, "winphone_tile_back_image( filename )")
PHONE_TILE_SETTER(TileBackImageWide, "winphone_tile_back_image_wide( filename )")
PHONE_TILE_SETTER(TileIconImage, "winphone_tile_icon_image( filename )")
PHONE_TILE_SETTER(TileSmallIconImage, "winphone_tile_small_icon_image( filename )")
PHONE_TILE_SETTER(TileSmallBackgroundImage, "winphone_tile_small_background_image( filename )")
#undef PHONE_TILE_SETTER

PELL_BUILTIN(PhoneUnsupported) {
    DebugConsole.Output(kPhoneUnsupported);
}
PELL_BUILTIN(TileWideContent) {
    DebugConsole.Output(kPhoneUnsupported);
    Result_SetReal(result, 0);
}
PELL_BUILTIN(TileCycleImages) {
    Result_SetReal(result, 0);
    if (argc >= 1 && argc <= 9 && RValue_IsString(args[0])) {
        for (int32_t n = 0; n < argc; ++n) {
            if (RValue_IsString(args[n])) Arg_GetString(args, n);
        }
        DebugConsole.Output(kPhoneUnsupported);
        return;
    }
    DebugConsole.Output(
        "incorrect arguments to winphone_tile_cycle_images( filename1, filename2, ... up to filename9 )\n");
    Error_Report(kIllegalCount, false);
}

const BuiltinRow kPhoneTileRows[] = {
    {"winphone_tile_title", F_TileTitle, 1},
    {"winphone_tile_count", F_PhoneUnsupported, 1},
    {"winphone_tile_back_title", F_TileBackTitle, 1},
    {"winphone_tile_back_content", F_TileBackContent, 1},
    {"winphone_tile_back_content_wide", F_TileBackContentWide, 1},
    {"winphone_tile_front_image", F_TileFrontImage, 1},
    {"winphone_tile_front_image_small", F_TileFrontImageSmall, 1},
    {"winphone_tile_front_image_wide", F_TileFrontImageWide, 1},
    {"winphone_tile_back_image", F_TileBackImage, 1},
    {"winphone_tile_back_image_wide", F_TileBackImageWide, 1},
    {"winphone_tile_background_color", F_PhoneUnsupported, 1},
    {"winphone_tile_background_colour", F_PhoneUnsupported, 1},
    {"winphone_tile_icon_image", F_TileIconImage, 1},
    {"winphone_tile_small_icon_image", F_TileSmallIconImage, 1},
    {"winphone_tile_wide_content", F_TileWideContent, 2},
    {"winphone_tile_cycle_images", F_TileCycleImages, -1},
    {"winphone_tile_small_background_image", F_TileSmallBackgroundImage, 1},
};

// --- cloud-save service, haptics, extension stubs --------------------------------------------

PELL_BUILTIN(NoText) {
    SetNoText(result);
}
PELL_BUILTIN(ImmersionPlayEffect) {
    Arg_GetInt32(args, 0);
}

const BuiltinRow kCloudServiceRows[] = {
    {"barrowvaleLogin", F_NoText, 2},    {"barrowvaleSave", F_NoText, 2},
    {"barrowvaleLoad", F_NoText, 1},     {"barrowvaleIsLoggedIn", F_NoText, 0},
    {"barrowvaleIsLoaded", F_NoText, 0},
};
const BuiltinRow kHapticsRows[] = {
    {"immersion_play_effect", F_ImmersionPlayEffect, 1},
    {"immersion_stop", F_AcceptArguments, 0},
};
const BuiltinRow kExtensionStubRows[] = {
    {"extension_stubfunc_real", F_AnswerZero, 0},
    {"extension_stubfunc_string", F_NoText, 0},
};

// --- other platforms' built-ins ----------------------------------------------------------------

PELL_BUILTIN(ReturnMinusOne) {
    Result_SetReal(result, -1);
}

const BuiltinRow kOtherPlatformRows[] = {
    {"ps4_share_screenshot_enable", F_ReturnMinusOne, 1, 1},
    {"ps4_share_video_enable", F_ReturnMinusOne, 1, 1},
    {"xboxone_get_user_count", F_ReturnMinusOne, 0, 1},
    {"xboxone_get_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_get_activating_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_user_is_active", F_ReturnMinusOne, 1, 1},
    {"xboxone_user_is_guest", F_ReturnMinusOne, 1, 1},
    {"xboxone_user_is_signed_in", F_ReturnMinusOne, 1, 1},
    {"xboxone_user_is_remote", F_ReturnMinusOne, 1, 1},
    {"xboxone_gamedisplayname_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_appdisplayname_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_user_id_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_agegroup_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_gamerscore_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_reputation_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_user_for_pad", F_ReturnMinusOne, 1, 1},
    {"xboxone_pad_count_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_pad_for_user", F_ReturnMinusOne, 2, 1},
    {"xboxone_sponsor_for_user", F_ReturnMinusOne, 2, 1},
    {"xboxone_show_account_picker", F_ReturnMinusOne, 2, 1},
    {"xboxone_sprite_add_from_gamerpicture", F_ReturnMinusOne, 4, 1},
    {"xboxone_show_profile_card_for_user", F_ReturnMinusOne, 2, 1},
    {"xboxone_generate_player_session_id", F_ReturnMinusOne, 0, 1},
    {"xboxone_set_savedata_user", F_ReturnMinusOne, 1, 1},
    {"xboxone_get_savedata_user", F_ReturnMinusOne, 0, 1},
    {"xboxone_get_file_error", F_ReturnMinusOne, 0, 1},
    {"xboxone_was_terminated", F_ReturnMinusOne, 0, 1},
    {"xboxone_is_suspending", F_ReturnMinusOne, 0, 1},
    {"xboxone_is_constrained", F_ReturnMinusOne, 0, 1},
    {"xboxone_suspend", F_ReturnMinusOne, 0, 1},
    {"xboxone_show_help", F_ReturnMinusOne, 1, 1},
    {"xboxone_check_privilege", F_ReturnMinusOne, 3, 1},
    {"xboxone_fire_event", F_ReturnMinusOne, -1, 1},
    {"xboxone_get_stats_for_user", F_ReturnMinusOne, -1, 1},
    {"xboxone_stats_setup", F_ReturnMinusOne, 2, 1},
    {"xboxone_set_rich_presence", F_ReturnMinusOne, 3, 1},
    {"xboxone_matchmaking_create", F_ReturnMinusOne, 4, 1},
    {"xboxone_matchmaking_find", F_ReturnMinusOne, 3, 1},
    {"xboxone_matchmaking_start", F_ReturnMinusOne, 1, 1},
    {"xboxone_matchmaking_stop", F_ReturnMinusOne, 1, 1},
    {"xboxone_matchmaking_session_get_users", F_ReturnMinusOne, 1, 1},
    {"xboxone_matchmaking_session_leave", F_ReturnMinusOne, 1, 1},
    {"xboxone_matchmaking_send_invites", F_ReturnMinusOne, 3, 1},
    {"xboxone_matchmaking_set_joinable_session", F_ReturnMinusOne, 2, 1},
    {"xboxone_matchmaking_join_invite", F_ReturnMinusOne, 4, 1},
    {"xboxone_chat_add_user_to_channel", F_ReturnMinusOne, 2, 1},
    {"xboxone_chat_remove_user_from_channel", F_ReturnMinusOne, 2, 1},
    {"xboxone_chat_set_muted", F_ReturnMinusOne, 1, 1},
    {"xboxone_set_service_configuration_id", F_ReturnMinusOne, 1, 1},
    {"xboxone_read_player_leaderboard", F_ReturnMinusOne, 4, 1},
    {"xboxlive_get_user_count", F_ReturnMinusOne, 0, 1},
    {"xboxlive_get_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_get_activating_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_user_is_active", F_ReturnMinusOne, 1, 1},
    {"xboxlive_user_is_guest", F_ReturnMinusOne, 1, 1},
    {"xboxlive_user_is_signed_in", F_ReturnMinusOne, 1, 1},
    {"xboxlive_user_is_remote", F_ReturnMinusOne, 1, 1},
    {"xboxlive_gamedisplayname_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_appdisplayname_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_user_id_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_agegroup_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_gamerscore_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_reputation_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_user_for_pad", F_ReturnMinusOne, 1, 1},
    {"xboxlive_pad_count_for_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_pad_for_user", F_ReturnMinusOne, 2, 1},
    {"xboxlive_sponsor_for_user", F_ReturnMinusOne, 2, 1},
    {"xboxlive_show_account_picker", F_ReturnMinusOne, 2, 1},
    {"xboxlive_sprite_add_from_gamerpicture", F_ReturnMinusOne, 4, 1},
    {"xboxlive_show_profile_card_for_user", F_ReturnMinusOne, 2, 1},
    {"xboxlive_generate_player_session_id", F_ReturnMinusOne, 0, 1},
    {"xboxlive_read_player_leaderboard", F_ReturnMinusOne, 4, 1},
    {"xboxlive_set_savedata_user", F_ReturnMinusOne, 1, 1},
    {"xboxlive_get_savedata_user", F_ReturnMinusOne, 0, 1},
    {"xboxlive_get_file_error", F_ReturnMinusOne, 0, 1},
    {"uwp_was_terminated", F_ReturnMinusOne, 0, 1},
    {"uwp_is_suspending", F_ReturnMinusOne, 0, 1},
    {"uwp_is_constrained", F_ReturnMinusOne, 0, 1},
    {"uwp_suspend", F_ReturnMinusOne, 0, 1},
    {"uwp_show_help", F_ReturnMinusOne, 1, 1},
    {"uwp_check_privilege", F_ReturnMinusOne, 3, 1},
    {"xboxlive_fire_event", F_ReturnMinusOne, -1, 1},
    {"xboxlive_get_stats_for_user", F_ReturnMinusOne, -1, 1},
    {"xboxlive_stats_setup", F_ReturnMinusOne, 2, 1},
    {"xboxlive_set_rich_presence", F_ReturnMinusOne, 3, 1},
    {"xboxlive_matchmaking_create", F_ReturnMinusOne, 4, 1},
    {"xboxlive_matchmaking_find", F_ReturnMinusOne, 3, 1},
    {"xboxlive_matchmaking_start", F_ReturnMinusOne, 1, 1},
    {"xboxlive_matchmaking_stop", F_ReturnMinusOne, 1, 1},
    {"xboxlive_matchmaking_session_get_users", F_ReturnMinusOne, 1, 1},
    {"xboxlive_matchmaking_session_leave", F_ReturnMinusOne, 1, 1},
    {"xboxlive_matchmaking_send_invites", F_ReturnMinusOne, 3, 1},
    {"xboxlive_matchmaking_set_joinable_session", F_ReturnMinusOne, 2, 1},
    {"xboxlive_matchmaking_join_invite", F_ReturnMinusOne, 4, 1},
    {"xboxlive_chat_add_user_to_channel", F_ReturnMinusOne, 2, 1},
    {"xboxlive_chat_remove_user_from_channel", F_ReturnMinusOne, 2, 1},
    {"xboxlive_chat_set_muted", F_ReturnMinusOne, 2, 1},
    {"xboxlive_set_service_configuration_id", F_ReturnMinusOne, 1, 1},
    {"psn_get_leaderboard_score_range", F_ReturnMinusOne, 4, 1},
    {"psn_default_user_name", F_ReturnMinusOne, 0, 1},
    {"psn_name_for_pad", F_ReturnMinusOne, 1, 1},
    {"psn_unlock_trophy", F_ReturnMinusOne, 2, 1},
    {"psn_init_np_libs", F_ReturnMinusOne, 3, 1},
    {"psn_exit_np_libs", F_ReturnMinusOne, 0, 1},
    {"psn_get_leaderboard_score", F_ReturnMinusOne, 2, 1},
    {"psn_post_leaderboard_score", F_ReturnMinusOne, 3, 1},
    {"psn_post_leaderboard_score_comment", F_ReturnMinusOne, 4, 1},
    {"psn_check_np_availability", F_ReturnMinusOne, 2, 1},
    {"psn_tick_error_dialog", F_ReturnMinusOne, 0, 1},
    {"psn_get_friends_scores", F_ReturnMinusOne, 4, 1},
    {"psn_name_for_user", F_ReturnMinusOne, 1, 1},
    {"psn_default_user", F_ReturnMinusOne, 0, 1},
    {"psn_user_for_pad", F_ReturnMinusOne, 1, 1},
    {"matchmaking_reset_create_params", F_ReturnMinusOne, 0, 1},
    {"matchmaking_add_create_param", F_ReturnMinusOne, 2, 1},
    {"matchmaking_session_create", F_ReturnMinusOne, 2, 1},
    {"matchmaking_session_get_users", F_ReturnMinusOne, 1, 1},
    {"matchmaking_session_get_owner", F_ReturnMinusOne, 1, 1},
    {"matchmaking_session_set_closed", F_ReturnMinusOne, 1, 1},
    {"matchmaking_session_set_open", F_ReturnMinusOne, 1, 1},
    {"matchmaking_reset_find_params", F_ReturnMinusOne, 0, 1},
    {"matchmaking_add_find_param", F_ReturnMinusOne, 3, 1},
    {"matchmaking_session_find", F_ReturnMinusOne, 0, 1},
    {"matchmaking_session_join", F_ReturnMinusOne, 1, 1},
    {"matchmaking_session_leave", F_ReturnMinusOne, 1, 1},
    {"matchmaking_session_update", F_ReturnMinusOne, 1, 1},
    {"matchmaking_start", F_ReturnMinusOne, 2, 1},
    {"matchmaking_stop", F_ReturnMinusOne, 0, 1},
    {"matchmaking_send_invites", F_ReturnMinusOne, 3, 1},
    {"matchmaking_tick_invites", F_ReturnMinusOne, 0, 1},
    {"matchmaking_join_invite", F_ReturnMinusOne, 1, 1},
    {"psn_np_commerce_dialog_open", F_ReturnMinusOne, 3, 1},
    {"psn_np_commerce_dialog_tick", F_ReturnMinusOne, 0, 1},
    {"psn_np_notify_plus_feature", F_ReturnMinusOne, 3, 1},
    {"psn_set_content_restriction", F_ReturnMinusOne, 1, 1},
    {"psn_load_modules", F_ReturnMinusOne, 0, 1},
    {"psn_get_avatar_url", F_ReturnMinusOne, 1, 1},
    {"psn_get_tus_data", F_ReturnMinusOne, 2, 1},
    {"psn_set_tus_data", F_ReturnMinusOne, 4, 1},
    {"psn_get_tus_variable", F_ReturnMinusOne, 2, 1},
    {"psn_set_tus_variable", F_ReturnMinusOne, 3, 1},
    {"psn_delete_tus_data", F_ReturnMinusOne, 2, 1},
    {"psn_content_restriction_add", F_ReturnMinusOne, 2, 1},
    {"psn_net_check", F_ReturnMinusOne, 1, 1},
    {"psn_setup_trophies", F_ReturnMinusOne, 0, 1},
    {"psn_tick", F_ReturnMinusOne, 0, 1},
    {"psn_init_trophy", F_ReturnMinusOne, 1, 1},
    {"psn_np_status", F_ReturnMinusOne, 1, 1},
    {"psn_show_error_dialog", F_ReturnMinusOne, 1, 1},
    {"psn_check_free_space", F_ReturnMinusOne, 2, 1},
    {"video_open", F_ReturnMinusOne, 1, 1},
    {"video_close", F_ReturnMinusOne, 0, 1},
    {"video_draw", F_ReturnMinusOne, 0, 1},
    {"video_set_volume", F_ReturnMinusOne, 1, 1},
};
static_assert(std::size(kOtherPlatformRows) == 154);

// --- Windows 8 and push notifications ----------------------------------------------------------

PELL_BUILTIN(Win8Unsupported) {
    DebugConsole.Output("Windows8 functionality not supported\n");
    Result_SetReal(result, 0);
}

const BuiltinRow kWin8Rows[] = {
    {"win8_livetile_tile_notification", F_Win8Unsupported, 4},
    {"win8_livetile_tile_clear", F_Win8Unsupported, 0},
    {"win8_livetile_badge_notification", F_Win8Unsupported, 1},
    {"win8_livetile_badge_clear", F_Win8Unsupported, 0},
    {"win8_livetile_queue_enable", F_Win8Unsupported, 1},
    {"win8_appbar_enable", F_Win8Unsupported, 1},
    {"win8_appbar_add_element", F_Win8Unsupported, 6},
    {"win8_appbar_remove_element", F_Win8Unsupported, 1},
    {"win8_share_image", F_Win8Unsupported, 3},
    {"win8_share_screenshot", F_Win8Unsupported, 2},
    {"win8_share_file", F_Win8Unsupported, 3},
    {"win8_share_url", F_Win8Unsupported, 3},
    {"win8_share_text", F_Win8Unsupported, 3},
    {"win8_settingscharm_add_entry", F_Win8Unsupported, 2},
    {"win8_settingscharm_add_html_entry", F_Win8Unsupported, 3},
    {"win8_settingscharm_add_xaml_entry", F_Win8Unsupported, 4},
    {"win8_settingscharm_set_xaml_property", F_Win8Unsupported, 4},
    {"win8_settingscharm_get_xaml_property", F_Win8Unsupported, 3},
    {"win8_settingscharm_remove_entry", F_Win8Unsupported, 1},
    {"win8_search_enable", F_Win8Unsupported, 1},
    {"win8_search_disable", F_Win8Unsupported, 0},
    {"win8_search_add_suggestions", F_Win8Unsupported, 1},
    {"win8_device_touchscreen_available", F_Win8Unsupported, 0},
    {"win8_secondarytile_pin", F_Win8Unsupported, 8},
    {"win8_secondarytile_delete", F_Win8Unsupported, 1},
    {"win8_secondarytile_badge_notification", F_Win8Unsupported, 2},
    {"win8_livetile_notification_begin", F_Win8Unsupported, 1},
    {"win8_livetile_notification_secondary_begin", F_Win8Unsupported, 2},
    {"win8_livetile_notification_expiry", F_Win8Unsupported, 1},
    {"win8_livetile_notification_tag", F_Win8Unsupported, 1},
    {"win8_livetile_notification_text_add", F_Win8Unsupported, 1},
    {"win8_livetile_notification_image_add", F_Win8Unsupported, 1},
    {"win8_livetile_notification_end", F_Win8Unsupported, 0},
};
static_assert(std::size(kWin8Rows) == 33);

PELL_BUILTIN(PushLocalNotification) {
    DebugConsole.Output("Push notification functionality not supported on this platform\n");
    Result_SetReal(result, 0);
}

const BuiltinRow kPushRows[] = {
    {"push_local_notification", F_PushLocalNotification, 4},
    {"push_get_first_local_notification", F_ReturnMinusOne, 1},
    {"push_get_next_local_notification", F_ReturnMinusOne, 1},
    {"push_cancel_local_notification", F_ReturnMinusOne, 1},
};

// --- constants ---------------------------------------------------------------------------------

struct PlatformConstant {
    const char* name;
    double value;
};

const PlatformConstant kOSConstants[] = {
    {"os_unknown", -1},
    {"os_win32", 0},
    {"os_windows", 0},
    {"os_macosx", 1},
    {"os_psp", 2},
    {"os_ios", 3},
    {"os_android", 4},
    {"os_symbian", 5},
    {"os_linux", 6},
    {"os_winphone", 7},
    {"os_tizen", 8},
    {"os_win8native", 9},
    {"os_wiiu", 10},
    {"os_3ds", 11},
    {"os_psvita", 12},
    {"os_bb10", 13},
    {"os_ps4", 14},
    {"os_xboxone", 15},
    {"os_ps3", 16},
    {"os_xbox360", 17},
    {"os_uwp", 18},
    {"os_amazon", 19},
    {"os_llvm_win32", 65536},
    {"os_llvm_macosx", 65537},
    {"os_llvm_psp", 65538},
    {"os_llvm_ios", 65539},
    {"os_llvm_android", 65540},
    {"os_llvm_symbian", 65541},
    {"os_llvm_linux", 65542},
    {"os_llvm_winphone", 65543},
    {"device_ios_unknown", -1},
    {"device_ios_iphone", 0},
    {"device_ios_iphone_retina", 1},
    {"device_ios_ipad", 2},
    {"device_ios_ipad_retina", 3},
    {"device_ios_iphone5", 4},
    {"device_emulator", 256},
    {"device_tablet", 2},
    {"browser_not_a_browser", -1},
    {"browser_unknown", 0},
    {"browser_ie", 1},
    {"browser_firefox", 2},
    {"browser_chrome", 3},
    {"browser_safari", 4},
    {"browser_safari_mobile", 5},
    {"browser_opera", 6},
    {"browser_android_default", 7},
    {"browser_windows_store", 8},
    {"browser_tizen", 9},
    {"browser_ie_mobile", 10},
    {"of_challenge_win", 0},
    {"of_challenge_lose", 1},
    {"of_challenge_tie", 2},
    {"leaderboard_type_number", 0},
    {"leaderboard_type_time_mins_secs", 1},
    {"achievement_our_info", 1002},
    {"achievement_friends_info", 1003},
    {"achievement_leaderboard_info", 1004},
    {"achievement_achievement_info", 1005},
    {"achievement_pic_loaded", 1006},
    {"achievement_challenge_completed", 1007},
    {"achievement_challenge_completed_by_remote", 1008},
    {"achievement_challenge_received", 1009},
    {"achievement_challenge_list_received", 1010},
    {"achievement_challenge_launched", 1011},
    {"achievement_filter_all_players", 0},
    {"achievement_filter_friends_only", 1},
    {"achievement_filter_favorites_only", 2},
    {"achievement_filter_friends_alt", 3},
    {"achievement_type_achievement_challenge", 0},
    {"achievement_type_achievement_score", 1},
    {"asset_unknown", -1},
    {"asset_object", 0},
    {"asset_sprite", 1},
    {"asset_sound", 2},
    {"asset_room", 3},
    {"asset_background", 4},
    {"asset_path", 5},
    {"asset_script", 6},
    {"asset_font", 7},
    {"asset_timeline", 8},
    {"ds_type_map", 1},
    {"ds_type_list", 2},
    {"ds_type_stack", 3},
    {"ds_type_queue", 4},
    {"ds_type_grid", 5},
    {"ds_type_priority", 6},
    {"fb_login_default", 0},
    {"fb_login_fallback_to_webview", 1},
    {"fb_login_no_fallback_to_webview", 2},
    {"fb_login_forcing_webview", 3},
    {"fb_login_use_system_account", 4},
    {"fb_login_forcing_safari", 5},
};
static_assert(std::size(kOSConstants) == 93);

}  // namespace

const PellRunnerHooks& Pell_RunnerHooks() {
    return g_runnerHooks;
}

void Pell_SetRunnerHooks(const PellRunnerHooks& hooks) {
    g_runnerHooks = hooks;
}

// The achievement service is never available here: the posting built-ins check their
// arguments and stop.
void Pell_Functions_Init() {
    Pell_ResetAchievements();
    Pell_LoadAchievementCache();
    IAP_Init();
    Pell_SetAchievementsAvailable(false);
    PellRows_VirtualKeys();
    Code_Function_AddRows(kAchievementRows);
    Code_Function_AddRows(kCloudRows);
    PellRows_Urls();
    Code_Function_AddRows(kAdvertisingRows);
    PellRows_DeviceQueries();
    PellRows_Display();
    Code_Function_AddRows(kChallengeRows);
    PellRows_Pointers();
    Code_Function_AddRows(kSocialRows);
    PellRows_PauseAndFocus();
    PellRows_TextAndHashes();
    PellRows_OSAndAnalytics();
    Code_Function_AddRows(kPhoneTileRows);
    Code_Function_AddRows(kCloudServiceRows);
    Code_Function_AddRows(kHapticsRows);
    PellRows_ReleaseAndSurface();
    PellRows_PlayerLaunch();
    Code_Function_AddRows(kExtensionStubRows);
    Code_Function_AddRows(kOtherPlatformRows);
}

void Pell_RegisterOSConstants() {
    for (const PlatformConstant& constant : kOSConstants)
        Code_Constant_AddReal(constant.name, constant.value);
}

void InitWin8Functions() {
    Code_Function_AddRows(kWin8Rows);
}

void InitPushFunctions() {
    DebugConsole.Output("InitPushFunctions...");
    Code_Function_AddRows(kPushRows);
}
