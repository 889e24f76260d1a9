// The maker-prefixed built-ins: their rows, the stubs' answers, the platform constants, the
// text and hash built-ins against Python's hashlib and base64, the input and display built-ins,
// and url_open through a stand-in xdg-open.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ServicesTestSupport.h"
#include "base/Error_Report.h"
#include "core/Code_Constant.h"
#include "core/RunSwitches.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Window.h"
#include "io/LoadSave.h"
#include "room/Room_Draw.h"
#include "services/Pell_Functions.h"
#include "world/IO_Main.h"

using namespace servicestest;

namespace {

// Every row of the registrar in its order, as name:argument-count.
const char* const kRegisteredRows =
    "Pell_AddVirtualKey:5 Pell_DeleteVirtualKey:1 Pell_ShowVirtualKey:1 Pell_HideVirtualKey:1 "
    "virtual_key_add:5 virtual_key_delete:1 virtual_key_show:1 virtual_key_hide:1 "
    "Pell_LoginAchievements:0 Pell_LogoutAchievements:0 Pell_PostAchievement:2 Pell_PostScore:2 "
    "Pell_AchievementsAvailable:0 achievement_available:0 achievement_post_score:2 "
    "achievement_post:2 achievement_increment:2 achievement_event:1 achievement_login:0 "
    "achievement_logout:0 achievement_reset:0 achievement_show_achievements:0 achievement_show:2 "
    "achievement_show_leaderboards:0 achievement_load_friends:0 achievement_load_leaderboard:4 "
    "achievement_get_pic:1 achievement_get_info:1 achievement_load_progress:0 "
    "achievement_send_challenge:5 achievement_get_challenges:0 "
    "achievement_show_challenge_notifications:3 cloud_file_save:2 cloud_string_save:2 "
    "cloud_synchronise:0 Pell_OpenURL:1 Pell_OpenURL_ext:2 Pell_OpenURL_full:3 url_open:1 "
    "url_open_ext:2 url_open_full:3 url_get_domain:1 Pell_EnableAds:5 Pell_DisableAds:0 "
    "Pell_LeaveRating:4 ads_enable:3 ads_disable:1 ads_event:1 ads_event_preload:1 "
    "ads_get_display_width:1 ads_get_display_height:1 ads_move:3 ads_interstitial_available:0 "
    "ads_interstitial_display:0 ads_engagement_available:1 ads_engagement_launch:1 "
    "ads_engagement_active:1 ads_setup:2 ads_set_reward_callback:1 clickable_add:6 "
    "clickable_add_ext:8 clickable_change:4 clickable_change_ext:5 clickable_delete:1 "
    "clickable_exists:1 clickable_set_style:2 shop_leave_rating:4 Pell_GetTimer:0 Pell_GetPlatform:0 "
    "Pell_GetDevice:0 Pell_GetCPUDetails:0 Pell_GetConfig:0 Pell_GetSessionKey:0 get_timer:0 "
    "os_get_config:0 os_get_info:0 os_get_language:0 os_get_region:0 code_is_compiled:0 "
    "display_get_dpi_x:0 display_get_dpi_y:0 display_set_gui_size:2 display_get_gui_width:0 "
    "display_get_gui_height:0 display_set_gui_maximise:2 Pell_OF_StartDashboard:0 "
    "Pell_OF_AddAchievement:2 Pell_OF_AddLeaderboard:3 Pell_OF_SendChallenge:3 Pell_OF_SendInvite:1 "
    "Pell_OF_SendSocial:3 Pell_OF_SetURL:1 Pell_OF_AcceptChallenge:0 Pell_OF_IsOnline:0 "
    "Pell_OF_SendChallengeResult:2 openfeint_start:0 achievement_map_achievement:2 "
    "achievement_map_leaderboard:3 openfeint_send_challenge:3 openfeint_send_invite:1 "
    "openfeint_send_social:3 openfeint_set_url:1 openfeint_accept_challenge:0 "
    "achievement_login_status:0 openfeint_send_result:2 Pell_MouseCheckButton:2 "
    "Pell_MouseCheckButtonPressed:2 Pell_MouseCheckButtonReleased:2 Pell_MouseX:1 Pell_MouseY:1 "
    "Pell_MouseXRaw:1 Pell_MouseYRaw:1 Pell_GetTiltX:0 Pell_GetTiltY:0 Pell_GetTiltZ:0 "
    "Pell_IsKeypadOpen:0 device_mouse_check_button:2 device_mouse_check_button_pressed:2 "
    "device_mouse_check_button_released:2 device_mouse_x:1 device_mouse_y:1 device_mouse_raw_x:1 "
    "device_mouse_raw_y:1 device_mouse_x_to_gui:1 device_mouse_y_to_gui:1 device_get_tilt_x:0 "
    "device_get_tilt_y:0 device_get_tilt_z:0 device_is_keypad_open:0 facebook_init:0 "
    "facebook_login:2 facebook_status:0 facebook_graph_request:4 facebook_dialog:3 facebook_logout:0 "
    "facebook_user_id:0 facebook_accesstoken:0 facebook_launch_offerwall:1 facebook_post_message:7 "
    "facebook_send_invite:5 facebook_check_permission:1 facebook_request_read_permissions:1 "
    "facebook_request_publish_permissions:1 Pell_OSPauseEvent:0 os_is_paused:0 window_has_focus:0 "
    "base64_encode:1 base64_decode:1 md5_string_unicode:1 md5_string_utf8:1 md5_file:1 "
    "sha1_string_unicode:1 sha1_string_utf8:1 sha1_file:1 os_is_network_connected:0 "
    "os_powersave_enable:1 os_lock_orientation:1 analytics_event:1 analytics_event_ext:-1 "
    "winphone_tile_title:1 winphone_tile_count:1 winphone_tile_back_title:1 "
    "winphone_tile_back_content:1 winphone_tile_back_content_wide:1 winphone_tile_front_image:1 "
    "winphone_tile_front_image_small:1 winphone_tile_front_image_wide:1 winphone_tile_back_image:1 "
    "winphone_tile_back_image_wide:1 winphone_tile_background_color:1 "
    "winphone_tile_background_colour:1 winphone_tile_icon_image:1 winphone_tile_small_icon_image:1 "
    "winphone_tile_wide_content:2 winphone_tile_cycle_images:-1 "
    "winphone_tile_small_background_image:1 barrowvaleLogin:2 barrowvaleSave:2 barrowvaleLoad:1 "
    "barrowvaleIsLoggedIn:0 barrowvaleIsLoaded:0 immersion_play_effect:1 immersion_stop:0 "
    "hvs_release_mode:1 application_surface_draw_enable:1 application_get_position:0 "
    "application_surface_enable:1 application_surface_is_enabled:0 pw_player_run:4 "
    "pw_player_restarted:0 pw_player_launch_args:0 extension_stubfunc_real:0 "
    "extension_stubfunc_string:0 ps4_share_screenshot_enable:1 ps4_share_video_enable:1 "
    "xboxone_get_user_count:0 xboxone_get_user:1 xboxone_get_activating_user:1 "
    "xboxone_user_is_active:1 xboxone_user_is_guest:1 xboxone_user_is_signed_in:1 "
    "xboxone_user_is_remote:1 xboxone_gamedisplayname_for_user:1 xboxone_appdisplayname_for_user:1 "
    "xboxone_user_id_for_user:1 xboxone_agegroup_for_user:1 xboxone_gamerscore_for_user:1 "
    "xboxone_reputation_for_user:1 xboxone_user_for_pad:1 xboxone_pad_count_for_user:1 "
    "xboxone_pad_for_user:2 xboxone_sponsor_for_user:2 xboxone_show_account_picker:2 "
    "xboxone_sprite_add_from_gamerpicture:4 xboxone_show_profile_card_for_user:2 "
    "xboxone_generate_player_session_id:0 xboxone_set_savedata_user:1 xboxone_get_savedata_user:0 "
    "xboxone_get_file_error:0 xboxone_was_terminated:0 xboxone_is_suspending:0 "
    "xboxone_is_constrained:0 xboxone_suspend:0 xboxone_show_help:1 xboxone_check_privilege:3 "
    "xboxone_fire_event:-1 xboxone_get_stats_for_user:-1 xboxone_stats_setup:2 "
    "xboxone_set_rich_presence:3 xboxone_matchmaking_create:4 xboxone_matchmaking_find:3 "
    "xboxone_matchmaking_start:1 xboxone_matchmaking_stop:1 xboxone_matchmaking_session_get_users:1 "
    "xboxone_matchmaking_session_leave:1 xboxone_matchmaking_send_invites:3 "
    "xboxone_matchmaking_set_joinable_session:2 xboxone_matchmaking_join_invite:4 "
    "xboxone_chat_add_user_to_channel:2 xboxone_chat_remove_user_from_channel:2 "
    "xboxone_chat_set_muted:1 xboxone_set_service_configuration_id:1 "
    "xboxone_read_player_leaderboard:4 xboxlive_get_user_count:0 xboxlive_get_user:1 "
    "xboxlive_get_activating_user:1 xboxlive_user_is_active:1 xboxlive_user_is_guest:1 "
    "xboxlive_user_is_signed_in:1 xboxlive_user_is_remote:1 xboxlive_gamedisplayname_for_user:1 "
    "xboxlive_appdisplayname_for_user:1 xboxlive_user_id_for_user:1 xboxlive_agegroup_for_user:1 "
    "xboxlive_gamerscore_for_user:1 xboxlive_reputation_for_user:1 xboxlive_user_for_pad:1 "
    "xboxlive_pad_count_for_user:1 xboxlive_pad_for_user:2 xboxlive_sponsor_for_user:2 "
    "xboxlive_show_account_picker:2 xboxlive_sprite_add_from_gamerpicture:4 "
    "xboxlive_show_profile_card_for_user:2 xboxlive_generate_player_session_id:0 "
    "xboxlive_read_player_leaderboard:4 xboxlive_set_savedata_user:1 xboxlive_get_savedata_user:0 "
    "xboxlive_get_file_error:0 uwp_was_terminated:0 uwp_is_suspending:0 uwp_is_constrained:0 "
    "uwp_suspend:0 uwp_show_help:1 uwp_check_privilege:3 xboxlive_fire_event:-1 "
    "xboxlive_get_stats_for_user:-1 xboxlive_stats_setup:2 xboxlive_set_rich_presence:3 "
    "xboxlive_matchmaking_create:4 xboxlive_matchmaking_find:3 xboxlive_matchmaking_start:1 "
    "xboxlive_matchmaking_stop:1 xboxlive_matchmaking_session_get_users:1 "
    "xboxlive_matchmaking_session_leave:1 xboxlive_matchmaking_send_invites:3 "
    "xboxlive_matchmaking_set_joinable_session:2 xboxlive_matchmaking_join_invite:4 "
    "xboxlive_chat_add_user_to_channel:2 xboxlive_chat_remove_user_from_channel:2 "
    "xboxlive_chat_set_muted:2 xboxlive_set_service_configuration_id:1 "
    "psn_get_leaderboard_score_range:4 psn_default_user_name:0 psn_name_for_pad:1 "
    "psn_unlock_trophy:2 psn_init_np_libs:3 psn_exit_np_libs:0 psn_get_leaderboard_score:2 "
    "psn_post_leaderboard_score:3 psn_post_leaderboard_score_comment:4 psn_check_np_availability:2 "
    "psn_tick_error_dialog:0 psn_get_friends_scores:4 psn_name_for_user:1 psn_default_user:0 "
    "psn_user_for_pad:1 matchmaking_reset_create_params:0 matchmaking_add_create_param:2 "
    "matchmaking_session_create:2 matchmaking_session_get_users:1 matchmaking_session_get_owner:1 "
    "matchmaking_session_set_closed:1 matchmaking_session_set_open:1 matchmaking_reset_find_params:0 "
    "matchmaking_add_find_param:3 matchmaking_session_find:0 matchmaking_session_join:1 "
    "matchmaking_session_leave:1 matchmaking_session_update:1 matchmaking_start:2 matchmaking_stop:0 "
    "matchmaking_send_invites:3 matchmaking_tick_invites:0 matchmaking_join_invite:1 "
    "psn_np_commerce_dialog_open:3 psn_np_commerce_dialog_tick:0 psn_np_notify_plus_feature:3 "
    "psn_set_content_restriction:1 psn_load_modules:0 psn_get_avatar_url:1 psn_get_tus_data:2 "
    "psn_set_tus_data:4 psn_get_tus_variable:2 psn_set_tus_variable:3 psn_delete_tus_data:2 "
    "psn_content_restriction_add:2 psn_net_check:1 psn_setup_trophies:0 psn_tick:0 psn_init_trophy:1 "
    "psn_np_status:1 psn_show_error_dialog:1 psn_check_free_space:2 video_open:1 video_close:0 "
    "video_draw:0 video_set_volume:1 ";

// The rows are registered once for the whole suite.
BuiltinProc Pell(const char* name) {
    int32_t id = -1;
    if (!Code_Function_Find("url_open", &id)) {
        Pell_Functions_Init();
        InitWin8Functions();
        InitPushFunctions();
    }
    return Builtin(name);
}

RValue PellCall(const char* name, std::vector<RValue> args = {}) {
    Pell(name);
    return Call(name, std::move(args));
}

// Clears the error-occurred flag, so that a later report shows.
void Arm() {
    Error_SetOccurred(false);
}
bool Reported(const char* message) {
    return Error_Occurred() && std::string(Error_LastText()).find(message) != std::string::npos;
}

class PellTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_Switches.headless = true;
        std::string pattern = (TempParent() / "pell-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        std::filesystem::create_directories(folder + "/save");
        std::filesystem::create_directories(folder + "/bundle");
        previousSave = LoadSave_GetSaveArea();
        previousBundle = LoadSave_GetBundleFolder();
        LoadSave_SetSaveArea((folder + "/save/").c_str());
        LoadSave_SetBundleFolder((folder + "/bundle/").c_str());
    }
    void TearDown() override {
        LoadSave_SetSaveArea(previousSave.c_str());
        LoadSave_SetBundleFolder(previousBundle.c_str());
        g_Switches.headless = false;
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(folder + "/" + path, std::ios::binary) << bytes;
    }
    // Runs a Python program in the folder and answers what it printed.
    std::string Python(const std::string& program) {
        const std::string script = folder + "/peer.py";
        std::ofstream(script) << program;
        std::string out;
        FILE* pipe = ::popen(("cd '" + folder + "' && python3 peer.py").c_str(), "r");
        if (pipe == nullptr) return out;
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        ::pclose(pipe);
        return out;
    }

    std::string folder, previousSave, previousBundle;
};

// --- rows and constants --------------------------------------------------------------------

TEST_F(PellTest, TheRegistrarAddsEveryRowOfTheFamiliesInOrder) {
    Pell("url_open");
    int32_t first = -1;
    ASSERT_TRUE(Code_Function_Find("Pell_AddVirtualKey", &first));
    std::istringstream expected(kRegisteredRows);
    std::string token;
    int32_t index = first, count = 0;
    while (expected >> token) {
        const char* name = nullptr;
        BuiltinProc function = nullptr;
        int32_t argc = -99;
        Code_Function_GetInfo(index++, &name, &function, &argc);
        ASSERT_NE(name, nullptr) << token;
        EXPECT_EQ(std::string(name) + ":" + std::to_string(argc), token);
        EXPECT_NE(function, nullptr) << token;
        ++count;
    }
    EXPECT_EQ(count, 347);

    // The Windows 8 and push rows, each registrar in one run.
    for (const char* name : {"win8_livetile_tile_notification", "win8_livetile_notification_end",
                             "push_local_notification", "push_cancel_local_notification"})
        EXPECT_NE(Pell(name), nullptr) << name;
    EXPECT_EQ(Real(PellCall("win8_share_url", {Text("a"), Text("b"), Text("c")})), 0);
    EXPECT_EQ(Real(PellCall("push_local_notification")), 0);
    EXPECT_EQ(Real(PellCall("push_get_first_local_notification", {RValue_Real(1)})), -1);
}

TEST_F(PellTest, PlatformConstantsJoinTheConstantTable) {
    const int32_t before = Code_Constant_Count();
    Pell_RegisterOSConstants();
    EXPECT_EQ(Code_Constant_Count() - before, 93);
    EXPECT_STREQ(Code_Constant_Name(before), "os_unknown");
    const std::vector<std::pair<const char*, double>> cases = {
        {"os_linux", 6},
        {"os_win32", 0},
        {"os_llvm_winphone", 65543},
        {"device_tablet", 2},
        {"device_emulator", 256},
        {"browser_ie_mobile", 10},
        {"achievement_challenge_launched", 1011},
        {"asset_timeline", 8},
        {"ds_type_priority", 6},
        {"fb_login_forcing_safari", 5},
        {"leaderboard_type_time_mins_secs", 1},
    };
    for (const auto& [name, value] : cases) {
        const RValue* found = Code_Constant_Find(name);
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(found->val, value) << name;
    }
}

// --- stubs -------------------------------------------------------------------------------------

TEST_F(PellTest, StubsAnswerTheirFixedValues) {
    EXPECT_EQ(TakeText(PellCall("facebook_status")), "IDLE");
    EXPECT_EQ(TakeText(PellCall("facebook_user_id")), "");
    EXPECT_EQ(TakeText(PellCall("openfeint_accept_challenge")), "");
    EXPECT_EQ(TakeText(PellCall("barrowvaleLoad", {Text("x")})), "<none>");
    EXPECT_EQ(TakeText(PellCall("extension_stubfunc_string")), "<none>");
    EXPECT_EQ(TakeText(PellCall("url_get_domain", {RValue_Real(3)})), "localhost");
    EXPECT_EQ(Real(PellCall("Pell_GetDevice")), -1);
    EXPECT_EQ(Real(PellCall("code_is_compiled")), 1);
    EXPECT_EQ(Real(PellCall("achievement_available")), 0);
    EXPECT_EQ(Real(PellCall("pw_player_restarted")), 0);
    EXPECT_EQ(TakeText(PellCall("pw_player_launch_args")), "<none>");
    EXPECT_EQ(Real(PellCall("immersion_stop")), -99);  // leaves the result as it was
    for (const char* name :
         {"ps4_share_screenshot_enable", "xboxone_fire_event", "psn_tick", "video_set_volume"})
        EXPECT_EQ(Real(PellCall(name, {RValue_Real(1)})), -1) << name;
}

TEST_F(PellTest, AdvertisingSlotsOutsideZeroToFourAreReported) {
    Arm();
    EXPECT_EQ(Real(PellCall("ads_get_display_width", {RValue_Real(5)})), -99);
    EXPECT_TRUE(Reported("Illegal advertising slot number"));
    Arm();
    EXPECT_EQ(Real(PellCall("ads_get_display_height", {RValue_Real(4)})), 0);
    EXPECT_FALSE(Error_Occurred());
    PellCall("Pell_DisableAds");  // no argument: slot 0, nothing to report
    EXPECT_FALSE(Error_Occurred());
}

TEST_F(PellTest, PhoneTileCyclingTakesOneToNineNamesWithATextFirst) {
    Arm();
    EXPECT_EQ(Real(PellCall("winphone_tile_cycle_images", {Text("a"), RValue_Real(2)})), 0);
    EXPECT_FALSE(Error_Occurred());
    EXPECT_EQ(Real(PellCall("winphone_tile_cycle_images", {RValue_Real(1)})), 0);
    EXPECT_TRUE(Reported("Illegal argument count"));
    Arm();
    PellCall("winphone_tile_cycle_images", std::vector<RValue>(10, RValue_Real(0)));
    EXPECT_TRUE(Reported("Illegal argument count"));
    EXPECT_EQ(Real(PellCall("winphone_tile_title", {RValue_Real(3)})), 0);
}

TEST_F(PellTest, AchievementAndCloudCallsCheckTheirArguments) {
    Arm();
    EXPECT_EQ(Real(PellCall("achievement_post", {Text("a"), RValue_Real(1), RValue_Real(2)})), 0);
    EXPECT_TRUE(Reported("Illegal argument count"));
    Arm();
    EXPECT_EQ(Real(PellCall("achievement_post", {Text("a"), Text("b")})), 0);
    EXPECT_TRUE(Reported("Illegal argument type"));
    // One text of the two is enough; the answer is the id the next request would take.
    Arm();
    EXPECT_EQ(Real(PellCall("cloud_string_save", {Text("data"), RValue_Real(1)})), Async_NextId());
    EXPECT_FALSE(Error_Occurred());
    EXPECT_EQ(Real(PellCall("cloud_file_save", {Text("missing.txt"), Text("d")})), 0);
}

// --- text and hashes ---------------------------------------------------------------------------

TEST_F(PellTest, DigestsAndBase64EqualPythons) {
    const std::vector<std::string> texts = {"",
                                            "abc",
                                            "The quick brown fox jumps over the lazy dog",
                                            "h\xC3\xA9llo w\xC3\xB6rld",
                                            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                            std::string(1000, 'x') + "\xC3\xA9"};
    std::string input;
    for (const std::string& text : texts) input += text + "\n";
    Write("texts.txt", input);
    const std::string peer = Python(R"(
import base64, hashlib
for t in open('texts.txt', encoding='utf-8').read().split('\n')[:-1]:
    u8, u16 = t.encode('utf-8'), t.encode('utf-16-le')
    print(hashlib.md5(u8).hexdigest(), hashlib.md5(u16).hexdigest(), hashlib.sha1(u8).hexdigest(),
          hashlib.sha1(u16).hexdigest(), base64.b64encode(u8).decode() or '-')
)");
    std::istringstream lines(peer);
    for (const std::string& text : texts) {
        std::string md5u8, md5u16, sha1u8, sha1u16, b64;
        ASSERT_TRUE(lines >> md5u8 >> md5u16 >> sha1u8 >> sha1u16 >> b64) << peer;
        if (b64 == "-") b64.clear();
        EXPECT_EQ(TakeText(PellCall("md5_string_utf8", {Text(text.c_str())})), md5u8) << text;
        EXPECT_EQ(TakeText(PellCall("md5_string_unicode", {Text(text.c_str())})), md5u16) << text;
        EXPECT_EQ(TakeText(PellCall("sha1_string_utf8", {Text(text.c_str())})), sha1u8) << text;
        EXPECT_EQ(TakeText(PellCall("sha1_string_unicode", {Text(text.c_str())})), sha1u16) << text;
        EXPECT_EQ(TakeText(PellCall("base64_encode", {Text(text.c_str())})), b64) << text;
        EXPECT_EQ(TakeText(PellCall("base64_decode", {Text(b64.c_str())})), text) << text;
    }
}

TEST_F(PellTest, Base64DecodingStopsAtPaddingAndAtAZeroByte) {
    EXPECT_EQ(TakeText(PellCall("base64_decode", {Text("QUJD=REVG")})), "ABC");
    EXPECT_EQ(TakeText(PellCall("base64_decode", {Text("QQBC")})), "A");  // 41 00 42
}

TEST_F(PellTest, FileDigestsEqualPythonsAndPreferTheSaveArea) {
    std::string big(5000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + 3);
    Write("save/big.bin", big);  // read in chunks of 2048, 2048 and 904 bytes
    Write("save/both.txt", "saved");
    Write("bundle/both.txt", "bundled");
    Write("bundle/only.txt", "bundled only");
    const std::string peer = Python(R"(
import hashlib
for p in ['save/big.bin', 'save/both.txt', 'bundle/only.txt']:
    b = open(p, 'rb').read()
    print(hashlib.md5(b).hexdigest(), hashlib.sha1(b).hexdigest())
)");
    std::istringstream lines(peer);
    for (const char* name : {"big.bin", "both.txt", "only.txt"}) {
        std::string md5, sha1;
        ASSERT_TRUE(lines >> md5 >> sha1) << peer;
        EXPECT_EQ(TakeText(PellCall("md5_file", {Text(name)})), md5) << name;
        EXPECT_EQ(TakeText(PellCall("sha1_file", {Text(name)})), sha1) << name;
    }
    EXPECT_EQ(TakeText(PellCall("md5_file", {Text("missing.bin")})), "<none>");
    EXPECT_EQ(TakeText(PellCall("sha1_file", {Text("missing.bin")})), "<none>");
}

// --- input and display -------------------------------------------------------------------------

TEST_F(PellTest, VirtualKeysAreAddedShownHiddenAndDeletedByHandle) {
    IO_Init();
    const double handle = Real(PellCall("virtual_key_add", {RValue_Real(10), RValue_Real(20), RValue_Real(30),
                                                            RValue_Real(40), RValue_Real(65)}));
    ASSERT_EQ(handle, 1);
    const VirtualKey* key = IO_VirtualKey(0);
    EXPECT_EQ(key->right, 40);
    EXPECT_EQ(key->bottom, 60);
    EXPECT_EQ(key->key, 65);
    EXPECT_EQ(key->flags, VIRTUAL_KEY_IN_USE);
    PellCall("virtual_key_show", {RValue_Real(1)});
    EXPECT_EQ(key->flags, VIRTUAL_KEY_IN_USE | VIRTUAL_KEY_VISIBLE);
    PellCall("Pell_HideVirtualKey", {RValue_Real(1)});
    EXPECT_EQ(key->flags, VIRTUAL_KEY_IN_USE);

    for (double bad : {0.0, 129.0}) {
        Arm();
        PellCall("virtual_key_show", {RValue_Real(bad)});
        EXPECT_TRUE(Reported("Illegal virtual key handle")) << bad;
    }
    EXPECT_EQ(key->flags, VIRTUAL_KEY_IN_USE);
    PellCall("virtual_key_delete", {RValue_Real(1)});
    EXPECT_EQ(key->flags, 0);
    IO_End();
}

// An 800 x 600 window without letterbox.
class PellDisplayTest : public PellTest {
protected:
    void SetUp() override {
        PellTest::SetUp();
        saved = g_D3D;
        savedWindow = g_Window.exists;
        g_Window.exists = true;
        g_D3D.clientWidth = g_D3D.backBufferWidth = 800;
        g_D3D.clientHeight = g_D3D.backBufferHeight = 600;
        g_D3D.keepAspect = false;
        g_DisplayMapping = DisplayMapping{};
    }
    void TearDown() override {
        g_D3D = saved;
        g_Window.exists = savedWindow;
        g_DisplayMapping = DisplayMapping{};
        PellTest::TearDown();
    }
    GRDeviceState saved;
    bool savedWindow = false;
};

TEST_F(PellDisplayTest, RawPositionsMapToTheGuiLayer) {
    struct Case {
        int32_t guiWidth, guiHeight;
        int32_t rawX, rawY;
        double guiX, guiY;
    };
    const Case cases[] = {
        {-1, -1, 123, 77, 123, 77},     // no GUI size: one to one
        {400, 300, 101, 301, 50, 150},  // 50.5 and 150.5 floored
        {1600, 1200, 3, 5, 6, 10},
    };
    for (const Case& c : cases) {
        if (c.guiWidth >= 0) {
            PellCall("display_set_gui_size", {RValue_Real(c.guiWidth), RValue_Real(c.guiHeight)});
        } else {
            g_DisplayMapping = DisplayMapping{};
        }
        IO_OnMouseMove(3, c.rawX, c.rawY);
        EXPECT_EQ(Real(PellCall("device_mouse_raw_x", {RValue_Real(3)})), c.rawX);
        EXPECT_EQ(Real(PellCall("Pell_MouseYRaw", {RValue_Real(3)})), c.rawY);
        EXPECT_EQ(Real(PellCall("device_mouse_x_to_gui", {RValue_Real(3)})), c.guiX) << c.guiWidth;
        EXPECT_EQ(Real(PellCall("device_mouse_y_to_gui", {RValue_Real(3)})), c.guiY) << c.guiHeight;
    }
    EXPECT_EQ(Real(PellCall("device_mouse_raw_x", {RValue_Real(10)})), 0);
    EXPECT_EQ(Real(PellCall("device_mouse_x_to_gui", {RValue_Real(10)})), -99);
    EXPECT_EQ(Real(PellCall("device_mouse_y_to_gui", {RValue_Real(-1)})), -99);
}

TEST_F(PellDisplayTest, GuiSizeAndMaximise) {
    EXPECT_EQ(Real(PellCall("display_get_gui_width")), 800);
    EXPECT_EQ(Real(PellCall("display_get_gui_height")), 600);
    EXPECT_EQ(Real(PellCall("display_set_gui_size", {RValue_Real(400), RValue_Real(300)})), 0);
    EXPECT_EQ(Real(PellCall("display_get_gui_width")), 400);
    EXPECT_EQ(Real(PellCall("display_get_gui_height")), 300);
    EXPECT_EQ(Real(PellCall("display_set_gui_maximise", {RValue_Real(2), RValue_Real(3)})), -99);
    EXPECT_TRUE(g_DisplayMapping.guiMaximise);
    EXPECT_EQ(g_DisplayMapping.guiScaleX, 2.0f);
    EXPECT_EQ(g_DisplayMapping.guiScaleY, 3.0f);
    EXPECT_EQ(Real(PellCall("display_get_gui_width")), 800);
    EXPECT_EQ(Real(PellCall("display_get_gui_height")), 600);
    EXPECT_EQ(Real(PellCall("display_get_dpi_x")), 96);  // no display here
}

TEST_F(PellDisplayTest, ApplicationSurfaceSwitchesAndPosition) {
    const bool wasEnabled = Draw_GetApplicationSurfaceEnabled();
    PellCall("application_surface_enable", {RValue_Real(0.5)});
    EXPECT_EQ(Real(PellCall("application_surface_is_enabled")), 0);
    PellCall("application_surface_enable", {RValue_Real(0.51)});
    EXPECT_EQ(Real(PellCall("application_surface_is_enabled")), 1);
    Draw_SetApplicationSurfaceEnabled(wasEnabled);

    RValue position = PellCall("application_get_position");
    ASSERT_TRUE(RValue_IsArray(position));
    ASSERT_EQ(position.arr->rows[0].length, 4);
    const double expected[4] = {0, 0, 800, 600};
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(position.arr->rows[0].items[i].val, expected[i]) << i;
    RValue_Free(&position);
}

// --- URLs and the operating system ----------------------------------------------------------

// A stand-in xdg-open first on PATH writes each URL it is given as one line.
class PellUrlTest : public PellTest {
protected:
    void SetUp() override {
        PellTest::SetUp();
        std::filesystem::create_directories(folder + "/bin");
        Write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + folder + "/opened.txt\"\n");
        std::filesystem::permissions(folder + "/bin/xdg-open", std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        previousPath = path ? path : "";
        ::setenv("PATH", (folder + "/bin:" + previousPath).c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", previousPath.c_str(), 1);
        PellTest::TearDown();
    }
    // The lines the stand-in wrote, once it has written as many as expected (or after 5 s).
    std::vector<std::string> Opened(size_t expected) {
        std::vector<std::string> lines;
        for (int32_t round = 0; round < 100; ++round) {
            lines.clear();
            std::ifstream in(folder + "/opened.txt");
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            if (lines.size() >= expected) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return lines;
    }
    std::string previousPath;
};

TEST_F(PellUrlTest, UrlsReachTheHandlerTidiedAndFilesAsFileUrls) {
    Write("save/notes.txt", "s");
    Write("bundle/notes.txt", "b");
    Write("bundle/readme.txt", "b");
    EXPECT_EQ(Real(PellCall("url_open", {Text("https://example.org/a//b")})), 0);
    EXPECT_EQ(Real(PellCall("url_open", {Text("http:\\\\example.org\\docs\\x")})), 0);
    EXPECT_EQ(Real(PellCall("url_open_ext", {Text("mailto:someone@example.org"), Text("_blank")})), 0);
    EXPECT_EQ(Real(PellCall("Pell_OpenURL_full", {Text("https://example.org/"), Text("t"), Text("o")})), 0);
    EXPECT_EQ(Real(PellCall("url_open", {Text("notes.txt")})), 0);
    EXPECT_EQ(Real(PellCall("url_open", {Text("readme.txt")})), 0);
    std::vector<std::string> expected = {
        "https://example.org/a/b",
        "http://example.org/docs/x",
        "mailto:someone@example.org",
        "https://example.org/",
        "file:" + LoadSave_GetSavePath("notes.txt"),
        "file:" + LoadSave_GetBundlePath("readme.txt"),
    };
    EXPECT_EQ(expected[4].rfind("file:/", 0), 0u);
    // The handlers run side by side, so their lines come in any order.
    std::vector<std::string> opened = Opened(expected.size());
    std::sort(opened.begin(), opened.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(opened, expected);
}

TEST_F(PellUrlTest, RefusedUrlsAreReportedAndNeverOpened) {
    struct Case {
        std::vector<RValue> args;
        const char* message;
    };
    const char* missing =
        "Protocol missing from URL. Should start with http, https, mailto etc or reference a "
        "saved or included file.";
    std::vector<Case> cases;
    cases.push_back({{Text("C:/games/nothing.txt")}, missing});  // a drive letter: a file name
    cases.push_back({{Text("nothing.txt")}, missing});
    cases.push_back({{Text("FILE:/etc/passwd")}, "file URI protocol not support."});
    cases.push_back({{Text("file://host/etc/passwd")}, "file URI protocol not support."});
    cases.push_back({{RValue_Real(3)}, "Illegal argument type"});
    cases.push_back({{Text("a:b"), Text("c")}, "Illegal argument count"});
    for (Case& c : cases) {
        Arm();
        EXPECT_EQ(Real(PellCall("url_open", std::move(c.args))), 0) << c.message;
        EXPECT_TRUE(Reported(c.message)) << c.message;
    }
    EXPECT_EQ(Real(PellCall("url_open", {Text("https://example.org/last")})), 0);
    EXPECT_EQ(Opened(1), std::vector<std::string>{"https://example.org/last"});
}

TEST_F(PellTest, LaunchBuiltinsHandTheRunnerTheNextGameAndTheReleaseMode) {
    static std::vector<std::string> calls;
    calls.clear();
    PellRunnerHooks hooks;
    hooks.setReleaseMode = [](bool checked) { calls.push_back(checked ? "checked" : "unchecked"); };
    hooks.setPendingGame = [](const char* game, const char*, const char* saveFolder) {
        calls.push_back(std::string(game) + "|" + saveFolder);
    };
    Pell_SetRunnerHooks(hooks);
    Write("bundle/other.win", "FORM");
    PellCall("pw_player_run", {Text("other.win"), Text("sub"), RValue_Real(0), RValue_Real(0)});
    PellCall("pw_player_run", {Text("new.win"), Text("sub")});  // in neither: where it would be saved
    PellCall("hvs_release_mode", {RValue_Real(0)});
    PellCall("hvs_release_mode", {RValue_Real(0.5)});
    const std::string save = LoadSave_GetSavePath("sub");
    EXPECT_EQ(calls, (std::vector<std::string>{LoadSave_GetBundlePath("other.win") + "|" + save,
                                               LoadSave_GetSavePath("new.win") + "|" + save, "checked",
                                               "unchecked"}));
    Pell_SetRunnerHooks(PellRunnerHooks{});
}

TEST_F(PellTest, AnalyticsPairsMustBeTextAndNumber) {
    Arm();
    PellCall("analytics_event_ext", {Text("start"), Text("level"), RValue_Real(3), Text("odd")});
    EXPECT_FALSE(Error_Occurred());
    PellCall("analytics_event_ext", {Text("start"), RValue_Real(3), Text("level")});
    EXPECT_TRUE(Reported("malformed analytics parameter must be string, number pair"));
}

TEST_F(PellTest, OperatingSystemQueries) {
    const char* language = std::getenv("LANG");
    const std::string saved = language ? language : "";
    const char* lcAll = std::getenv("LC_ALL");
    const std::string savedAll = lcAll ? lcAll : "";
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    const std::vector<std::pair<const char*, std::pair<const char*, const char*>>> cases = {
        {"da_DK.UTF-8", {"da", "DK"}}, {"dsb_DE", {"dsb", "DE"}}, {"C", {"--", ""}}, {"xx_YY", {"--", "YY"}}};
    for (const auto& [locale, answer] : cases) {
        ::setenv("LANG", locale, 1);
        EXPECT_EQ(TakeText(PellCall("os_get_language")), answer.first) << locale;
        EXPECT_EQ(TakeText(PellCall("os_get_region")), answer.second) << locale;
    }
    ::setenv("LANG", saved.c_str(), 1);
    if (!savedAll.empty()) ::setenv("LC_ALL", savedAll.c_str(), 1);

    const double first = Real(PellCall("get_timer"));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(Real(PellCall("get_timer")) - first, 5000);
    const double connected = Real(PellCall("os_is_network_connected"));
    EXPECT_TRUE(connected == 0 || connected == 1);
    RValue info = PellCall("os_get_info");
    EXPECT_NE(Snapshot(static_cast<int32_t>(info.val)).count("video_adapter_0_name"), 0u);
}

}  // namespace
