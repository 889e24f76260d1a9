// Writes a game data file with the Steam app id 480 whose code names every steam_* and iap_*
// built-in (a game naming a row the runner lacks is refused at load), and whose room creation
// code prints what a few of them answer with no Steam library and no store.
// Usage: e2e_steam_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

const char* const kEveryRow[] = {
    "steam_activate_overlay",
    "steam_is_overlay_enabled",
    "steam_is_overlay_activated",
    "steam_get_persona_name",
    "steam_initialised",
    "steam_is_cloud_enabled_for_app",
    "steam_is_cloud_enabled_for_account",
    "steam_file_persisted",
    "steam_get_quota_total",
    "steam_get_quota_free",
    "steam_file_write",
    "steam_file_write_file",
    "steam_file_read",
    "steam_file_delete",
    "steam_file_exists",
    "steam_file_size",
    "steam_file_share",
    "steam_publish_workshop_file",
    "steam_is_screenshot_requested",
    "steam_send_screenshot",
    "steam_is_user_logged_on",
    "steam_get_user_steam_id",
    "steam_current_game_language",
    "steam_available_languages",
    "steam_activate_overlay_browser",
    "steam_activate_overlay_user",
    "steam_activate_overlay_store",
    "steam_get_user_persona_name",
    "steam_set_achievement",
    "steam_get_achievement",
    "steam_clear_achievement",
    "steam_set_stat_int",
    "steam_set_stat_float",
    "steam_set_stat_avg_rate",
    "steam_get_stat_int",
    "steam_get_stat_float",
    "steam_get_stat_avg_rate",
    "steam_reset_all_stats",
    "steam_reset_all_stats_achievements",
    "steam_stats_ready",
    "steam_create_leaderboard",
    "steam_upload_score",
    "steam_download_scores_around_user",
    "steam_download_scores",
    "steam_download_friends_scores",
    "steam_upload_score_buffer",
    "steam_upload_score_ext",
    "steam_upload_score_buffer_ext",
    "steam_get_app_id",
    "steam_get_user_account_id",
    "steam_ugc_download",
    "steam_ugc_create_item",
    "steam_ugc_start_item_update",
    "steam_ugc_set_item_title",
    "steam_ugc_set_item_description",
    "steam_ugc_set_item_visibility",
    "steam_ugc_set_item_tags",
    "steam_ugc_set_item_content",
    "steam_ugc_set_item_preview",
    "steam_ugc_submit_item_update",
    "steam_ugc_get_item_update_progress",
    "steam_ugc_subscribe_item",
    "steam_ugc_unsubscribe_item",
    "steam_ugc_num_subscribed_items",
    "steam_ugc_get_subscribed_items",
    "steam_ugc_get_item_install_info",
    "steam_ugc_get_item_update_info",
    "steam_ugc_request_item_details",
    "steam_ugc_create_query_user",
    "steam_ugc_create_query_user_ex",
    "steam_ugc_create_query_all",
    "steam_ugc_create_query_all_ex",
    "steam_ugc_query_set_cloud_filename_filter",
    "steam_ugc_query_set_match_any_tag",
    "steam_ugc_query_set_search_text",
    "steam_ugc_query_set_ranked_by_trend_days",
    "steam_ugc_query_add_required_tag",
    "steam_ugc_query_add_excluded_tag",
    "steam_ugc_query_set_return_long_description",
    "steam_ugc_query_set_return_total_only",
    "steam_ugc_query_set_allow_cached_response",
    "steam_ugc_send_query",
    "iap_activate",
    "iap_status",
    "iap_acquire",
    "iap_consume",
    "iap_is_purchased",
    "iap_enumerate_products",
    "iap_restore_all",
    "iap_product_details",
    "iap_purchase_details",
    "iap_store_status",
    "iap_event_queue",
    "iap_product_status",
    "iap_is_downloaded",
    "iap_product_files",
    "iap_files_purchased",
};

// Prints "label=value" for a built-in called with the pushed arguments.
std::string Print(const char* label, const std::string& call) {
    return call + "    pop.v.v global.value\n    push.s \"" + label +
           "=\"\n    conv.s.v\n    push.v global.value\n    call.i string 1\n    add.v.v\n"
           "    call.i show_debug_message 1\n    pop.v.v global.sink\n";
}

std::string RoomCreation() {
    std::string code;
    code += Print("initialised", "    call.i steam_initialised 0\n");
    code += Print("app_id", "    call.i steam_get_app_id 0\n");
    code += Print("persona", "    call.i steam_get_persona_name 0\n");
    code += Print("iap_before", "    call.i iap_status 0\n");
    code += "    push.i -1\n    conv.i.v\n    call.i iap_activate 1\n    popz.v\n";
    code += Print("iap_after", "    call.i iap_status 0\n");
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_steam_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.major = 2;
    file.header.gameName = "steam_test";
    file.header.steamAppId = 480;
    file.header.roomOrder = {0};
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(kEveryRow), 320, 240))
        return 1;
    return e2e::WriteGame(file, argv[1]);
}
