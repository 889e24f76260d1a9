// The steam_* built-ins: the game's only way into the Steam wrapper. Each tests whether Steam is
// running first; while it is not, it gives its fixed answer without reading its arguments.
#include "core/Code_Function.h"
#include "core/Value_Convert.h"
#include "services/Steam_Internal.h"
#include "services/Steam_Main.h"
#include "services/Steam_UserStats.h"

namespace {

STEAM_BUILTIN(SteamInitialised) {
    Result_SetFlag(result, Steam_IsInitialised());
}

// --- stats and achievements --------------------------------------------------------------------

STEAM_BUILTIN(SteamSetAchievement) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetReal(result, Steam_SetAchievement(Arg_GetStringOrEmpty(args, 0)));
}
STEAM_BUILTIN(SteamGetAchievement) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetReal(result, Steam_GetAchievement(Arg_GetStringOrEmpty(args, 0)));
}
STEAM_BUILTIN(SteamClearAchievement) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetReal(result, Steam_ClearAchievement(Arg_GetStringOrEmpty(args, 0)));
}
STEAM_BUILTIN(SteamSetStatInt) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    Result_SetReal(result, Steam_SetStatInt(name, Arg_GetInt32(args, 1)));
}
STEAM_BUILTIN(SteamSetStatFloat) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    Result_SetReal(result, Steam_SetStatFloat(name, Arg_GetReal(args, 1)));
}
STEAM_BUILTIN(SteamSetStatAvgRate) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    const double count = Arg_GetReal(args, 1);
    Result_SetReal(result, Steam_SetStatAvgRate(name, count, Arg_GetReal(args, 2)));
}
STEAM_BUILTIN(SteamGetStatInt) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetReal(result, Steam_GetStatInt(Arg_GetStringOrEmpty(args, 0)));
}
STEAM_BUILTIN(SteamGetStatFloat) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetReal(result, Steam_GetStatFloat(Arg_GetStringOrEmpty(args, 0)));
}
STEAM_BUILTIN(SteamResetAllStats) {
    if (Steam_IsInitialised()) Steam_ResetAllStats(false);
}
STEAM_BUILTIN(SteamResetAllStatsAchievements) {
    if (Steam_IsInitialised()) Steam_ResetAllStats(true);
}
STEAM_BUILTIN(SteamStatsReady) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, Steam_StatsReady());
}

// --- leaderboards ----------------------------------------------------------------------------

STEAM_BUILTIN(SteamCreateLeaderboard) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    const int32_t sort = Arg_GetInt32(args, 1);
    Result_SetReal(result, Steam_CreateLeaderboard(name, sort, Arg_GetInt32(args, 2)));
}
STEAM_BUILTIN(SteamUploadScore) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    Result_SetReal(result, Steam_UploadScore(name, Arg_GetInt32(args, 1), -1, false));
}
STEAM_BUILTIN(SteamUploadScoreExt) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    const int32_t score = Arg_GetInt32(args, 1);
    Result_SetReal(result, Steam_UploadScore(name, score, -1, Arg_GetBool(args, 2)));
}
STEAM_BUILTIN(SteamUploadScoreBuffer) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    const int32_t score = Arg_GetInt32(args, 1);
    Result_SetReal(result, Steam_UploadScore(name, score, Arg_GetInt32(args, 2), false));
}
STEAM_BUILTIN(SteamUploadScoreBufferExt) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    const int32_t score = Arg_GetInt32(args, 1);
    const int32_t buffer = Arg_GetInt32(args, 2);
    Result_SetReal(result, Steam_UploadScore(name, score, buffer, Arg_GetBool(args, 3)));
}
void DownloadScores(RValue& result, RValue* args, int32_t kind) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetStringOrEmpty(args, 0);
    const int32_t start = kind == 2 ? 0 : Arg_GetInt32(args, 1);
    const int32_t end = kind == 2 ? 0 : Arg_GetInt32(args, 2);
    Result_SetReal(result, Steam_DownloadScores(name, kind, start, end));
}
STEAM_BUILTIN(SteamDownloadScores) {
    DownloadScores(result, args, 0);
}
STEAM_BUILTIN(SteamDownloadScoresAroundUser) {
    DownloadScores(result, args, 1);
}
STEAM_BUILTIN(SteamDownloadFriendsScores) {
    DownloadScores(result, args, 2);
}

const BuiltinRow kSteamRows[] = {
    {"steam_activate_overlay", F_SteamActivateOverlay, 1},
    {"steam_is_overlay_enabled", F_SteamIsOverlayEnabled, 0},
    {"steam_is_overlay_activated", F_SteamIsOverlayActivated, 0},
    {"steam_get_persona_name", F_SteamGetPersonaName, 0},
    {"steam_initialised", F_SteamInitialised, 0},
    {"steam_is_cloud_enabled_for_app", F_SteamIsCloudEnabledForApp, 0},
    {"steam_is_cloud_enabled_for_account", F_SteamIsCloudEnabledForAccount, 0},
    {"steam_file_persisted", F_SteamFilePersisted, 1},
    {"steam_get_quota_total", F_SteamGetQuotaTotal, 0},
    {"steam_get_quota_free", F_SteamGetQuotaFree, 0},
    {"steam_file_write", F_SteamFileWrite, 3},
    {"steam_file_write_file", F_SteamFileWriteFile, 2},
    {"steam_file_read", F_SteamFileRead, 1},
    {"steam_file_delete", F_SteamFileDelete, 1},
    {"steam_file_exists", F_SteamFileExists, 1},
    {"steam_file_size", F_SteamFileSize, 1},
    {"steam_file_share", F_SteamFileShare, 1},
    {"steam_publish_workshop_file", F_SteamPublishWorkshopFile, 4},
    {"steam_is_screenshot_requested", F_SteamIsScreenshotRequested, 0},
    {"steam_send_screenshot", F_SteamSendScreenshot, 3},
    {"steam_is_user_logged_on", F_SteamIsUserLoggedOn, 0},
    {"steam_get_user_steam_id", F_SteamGetUserSteamId, 0},
    {"steam_current_game_language", F_SteamCurrentGameLanguage, 1},
    {"steam_available_languages", F_SteamAvailableLanguages, 1},
    {"steam_activate_overlay_browser", F_SteamActivateOverlayBrowser, 1},
    {"steam_activate_overlay_user", F_SteamActivateOverlayUser, 2},
    {"steam_activate_overlay_store", F_SteamActivateOverlayStore, 1},
    {"steam_get_user_persona_name", F_SteamGetUserPersonaName, 1},
    {"steam_set_achievement", F_SteamSetAchievement, 1},
    {"steam_get_achievement", F_SteamGetAchievement, 1},
    {"steam_clear_achievement", F_SteamClearAchievement, 1},
    {"steam_set_stat_int", F_SteamSetStatInt, 2},
    {"steam_set_stat_float", F_SteamSetStatFloat, 2},
    {"steam_set_stat_avg_rate", F_SteamSetStatAvgRate, 3},
    {"steam_get_stat_int", F_SteamGetStatInt, 1},
    {"steam_get_stat_float", F_SteamGetStatFloat, 1},
    {"steam_get_stat_avg_rate", F_SteamGetStatFloat, 1},
    {"steam_reset_all_stats", F_SteamResetAllStats, 0},
    {"steam_reset_all_stats_achievements", F_SteamResetAllStatsAchievements, 0},
    {"steam_stats_ready", F_SteamStatsReady, 0},
    {"steam_create_leaderboard", F_SteamCreateLeaderboard, 3},
    {"steam_upload_score", F_SteamUploadScore, 2},
    {"steam_download_scores_around_user", F_SteamDownloadScoresAroundUser, 3},
    {"steam_download_scores", F_SteamDownloadScores, 3},
    {"steam_download_friends_scores", F_SteamDownloadFriendsScores, 1},
    {"steam_upload_score_buffer", F_SteamUploadScoreBuffer, 3},
    {"steam_upload_score_ext", F_SteamUploadScoreExt, 3},
    {"steam_upload_score_buffer_ext", F_SteamUploadScoreBufferExt, 4},
    {"steam_get_app_id", F_SteamGetAppId, 0},
    {"steam_get_user_account_id", F_SteamGetUserAccountId, 0},
    {"steam_ugc_download", F_SteamUGCDownload, 2},
    {"steam_ugc_create_item", F_SteamUGCCreateItem, 2},
    {"steam_ugc_start_item_update", F_SteamUGCStartItemUpdate, 2},
    {"steam_ugc_set_item_title", F_SteamUGCSetItemTitle, 2},
    {"steam_ugc_set_item_description", F_SteamUGCSetItemDescription, 2},
    {"steam_ugc_set_item_visibility", F_SteamUGCSetItemVisibility, 2},
    {"steam_ugc_set_item_tags", F_SteamUGCSetItemTags, 2},
    {"steam_ugc_set_item_content", F_SteamUGCSetItemContent, 2},
    {"steam_ugc_set_item_preview", F_SteamUGCSetItemPreview, 2},
    {"steam_ugc_submit_item_update", F_SteamUGCSubmitItemUpdate, 2},
    {"steam_ugc_get_item_update_progress", F_SteamUGCGetItemUpdateProgress, 1},
    {"steam_ugc_subscribe_item", F_SteamUGCSubscribeItem, 1},
    {"steam_ugc_unsubscribe_item", F_SteamUGCUnsubscribeItem, 1},
    {"steam_ugc_num_subscribed_items", F_SteamUGCNumSubscribedItems, 0},
    {"steam_ugc_get_subscribed_items", F_SteamUGCGetSubscribedItems, 1},
    {"steam_ugc_get_item_install_info", F_SteamUGCGetItemInstallInfo, 2},
    {"steam_ugc_get_item_update_info", F_SteamUGCGetItemUpdateInfo, 2},
    {"steam_ugc_request_item_details", F_SteamUGCRequestItemDetails, 2},
    {"steam_ugc_create_query_user", F_SteamUGCCreateQueryUser, 4},
    {"steam_ugc_create_query_user_ex", F_SteamUGCCreateQueryUserEx, 7},
    {"steam_ugc_create_query_all", F_SteamUGCCreateQueryAll, 3},
    {"steam_ugc_create_query_all_ex", F_SteamUGCCreateQueryAllEx, 5},
    {"steam_ugc_query_set_cloud_filename_filter", F_SteamUGCQuerySetCloudFilenameFilter, 2},
    {"steam_ugc_query_set_match_any_tag", F_SteamUGCQuerySetMatchAnyTag, 2},
    {"steam_ugc_query_set_search_text", F_SteamUGCQuerySetSearchText, 2},
    {"steam_ugc_query_set_ranked_by_trend_days", F_SteamUGCQuerySetRankedByTrendDays, 2},
    {"steam_ugc_query_add_required_tag", F_SteamUGCQueryAddRequiredTag, 2},
    {"steam_ugc_query_add_excluded_tag", F_SteamUGCQueryAddExcludedTag, 2},
    {"steam_ugc_query_set_return_long_description", F_SteamUGCQuerySetReturnLongDescription, 2},
    {"steam_ugc_query_set_return_total_only", F_SteamUGCQuerySetReturnTotalOnly, 2},
    {"steam_ugc_query_set_allow_cached_response", F_SteamUGCQuerySetAllowCachedResponse, 2},
    {"steam_ugc_send_query", F_SteamUGCSendQuery, 1},
};
static_assert(std::size(kSteamRows) == 82);

}  // namespace

void Steam_RegisterFunctions() {
    Steam_Init();
    Code_Function_AddRows(kSteamRows);
}
