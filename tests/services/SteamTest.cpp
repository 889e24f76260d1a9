// The Steam wrapper: every steam_* row's answer while Steam is not running, start-up with the
// library absent (the app-id file and the failure lines), and, through a fake library, stats,
// leaderboards, workshop queries and items, remote storage and persona names with their events.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ServicesTestSupport.h"
#include "base/Error_Report.h"
#include "base/GEN8.h"
#include "base/Runner.h"
#include "core/Console.h"
#include "core/RuntimeError.h"
#include "io/Buffer_Manager.h"
#include "io/IBuffer.h"
#include "services/Steam_Backend.h"
#include "services/Steam_Main.h"

using namespace servicestest;

namespace {

// What the consoles print while it lives.
class ConsoleCapture {
public:
    ConsoleCapture() {
        Text().clear();
        Console_SetDebuggerSink([](const char* text) { Text() += text; });
    }
    ~ConsoleCapture() { Console_SetDebuggerSink(nullptr); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    static std::string& Text() {
        static std::string text;
        return text;
    }
};

// The rows are registered once for the whole suite (the header's app id is 0 then).
BuiltinProc Steam(const char* name) {
    int32_t id = -1;
    if (!Code_Function_Find("steam_initialised", &id)) Steam_RegisterFunctions();
    return Builtin(name);
}
RValue SteamCall(const char* name, std::vector<RValue> args = {}) {
    Steam(name);
    return Call(name, std::move(args));
}

// A value as text: strings as they are, int64 with an "i64:" mark, reals in %.17g.
std::string ValueText(const RValue& v) {
    if (RValue_IsString(v)) {
        const char* text = RValue_GetStringText(&v);
        return text ? text : "";
    }
    if (RValue_Kind(v) == VALUE_INT64) return "i64:" + std::to_string(v.v64);
    char number[64];
    std::snprintf(number, sizeof number, "%.17g", v.val);
    return number;
}
std::string TakeAnswer(RValue value) {
    std::string text = ValueText(value);
    RValue_Free(&value);
    return text;
}

using Values = std::map<std::string, std::string>;
Values MapValues(int32_t index) {
    Values out;
    const CDS_Map* map = DS_GetMap(index);
    if (map == nullptr) return out;
    for (DSMapNode* node = map->FirstNode(); node != nullptr; node = map->NextNode(node))
        out.emplace(ValueText(node->entry.key), ValueText(node->entry.value));
    return out;
}

struct SteamEvent {
    int32_t subtype;
    Values values;
    std::vector<Values> results;  // the maps of "results_list"
};
std::vector<SteamEvent>& SteamEvents() {
    static std::vector<SteamEvent> events;
    return events;
}
void RecordSteamEvent(int32_t subtype) {
    SteamEvent event{subtype, MapValues(Async_GetLoadMap()), {}};
    if (auto list = event.values.find("results_list"); list != event.values.end()) {
        const CDS_List* items = g_DsListTable.Get(std::stoi(list->second));
        for (int32_t i = 0; items != nullptr && i < items->Size(); ++i)
            event.results.push_back(
                MapValues(static_cast<int32_t>(const_cast<CDS_List*>(items)->GetItem(i)->val)));
    }
    SteamEvents().push_back(std::move(event));
}

// A library that serves everything, answering calls with results queued for the next pump.
class FakeSteam final : public SteamBackend {
public:
    bool LoadLibrary(int32_t* error) override {
        *error = 0;
        return true;
    }
    bool HasExport(const char* name) override { return missingExport != name; }
    int32_t LastError() override { return 127; }
    bool InitSafe() override { return true; }
    bool GetInterface(const char*) override { return true; }
    void RunCallbacks(SteamCallbackSink& sink) override {
        auto callbacks = std::move(queuedCallbacks);
        auto results = std::move(queuedResults);
        queuedCallbacks.clear();
        queuedResults.clear();
        for (const SteamCallback& callback : callbacks) sink.OnCallback(callback);
        for (const auto& [call, result, io] : results) sink.OnCallResult(call, result, io);
    }

    bool LoggedOn() override { return loggedOn; }
    uint64_t SteamId() override { return 0x0110000100000007ull; }
    uint32_t AppId() override { return 480; }

    bool RequestCurrentStats() override { return true; }
    bool SetAchievement(const char* name) override { return achievements[name] = true; }
    bool GetAchievement(const char* name, bool* achieved) override {
        *achieved = achievements[name];
        return true;
    }
    bool SetStatInt(const char* name, int32_t value) override { return (ints[name] = value, true); }
    bool SetStatFloat(const char* name, float value) override { return (floats[name] = value, true); }
    bool GetStatFloat(const char* name, float* value) override { return (*value = floats[name], true); }
    bool StoreStats() override {
        ++stores;
        return true;
    }

    uint64_t FindLeaderboard(const char* name) override {
        const uint64_t call = Next();
        ++finds;
        const bool known = boards.count(name) != 0;
        queuedResults.push_back({call, SteamLeaderboardFound{known ? boards[name] : 0, known}, false});
        return call;
    }
    std::string LeaderboardName(uint64_t handle) override {
        for (const auto& [name, h] : boards)
            if (h == handle) return name;
        return {};
    }
    uint64_t UploadLeaderboardScore(uint64_t board, int32_t method, int32_t score, const int32_t* details,
                                    int32_t count) override {
        uploads.push_back({method, score, std::vector<int32_t>(details, details + count)});
        const uint64_t call = Next();
        queuedResults.push_back({call, SteamScoreUploaded{true, board, score, true}, false});
        return call;
    }
    uint64_t DownloadLeaderboardEntries(uint64_t board, int32_t, int32_t, int32_t) override {
        const uint64_t call = Next();
        queuedResults.push_back(
            {call, SteamScoresDownloaded{board, 77, static_cast<int32_t>(entries.size())}, false});
        return call;
    }
    bool GetDownloadedLeaderboardEntry(uint64_t, int32_t index, SteamLeaderboardEntry* entry,
                                       int32_t* details, int32_t max) override {
        *entry = entries[static_cast<size_t>(index)].first;
        const auto& values = entries[static_cast<size_t>(index)].second;
        for (size_t i = 0; i < values.size() && static_cast<int32_t>(i) < max; ++i) details[i] = values[i];
        return true;
    }
    std::string FriendPersonaName(uint64_t id) override { return names[id]; }

    uint64_t CreateQueryAllUGCRequest(int32_t, int32_t, uint32_t, uint32_t consumer, uint32_t page) override {
        queryConsumer = consumer;
        queryPage = page;
        return 0x500000001ull;
    }
    uint64_t SendQueryUGCRequest(uint64_t query) override {
        const uint64_t call = Next();
        queuedResults.push_back({call, SteamQueryCompleted{query, 1, 3, 12, false}, false});
        return call;
    }
    // The second result cannot be read.
    bool GetQueryUGCResult(uint64_t, uint32_t index, SteamUGCDetails* details) override {
        if (index == 1) return false;
        details->publishedFileId = 1000 + index;
        details->result = 1;
        details->title = "item " + std::to_string(index);
        details->steamIdOwner = 3000000000ull;
        details->score = 0.5f;
        return true;
    }
    bool ReleaseQueryUGCRequest(uint64_t) override { return ++released, true; }

    uint64_t SubscribeItem(uint64_t item) override {
        const uint64_t call = Next();
        queuedResults.push_back({call, SteamSubscription{1, item}, false});
        return call;
    }

    bool FileExists(const char* name) override { return cloud.count(name) != 0; }
    int32_t FileSize(const char* name) override { return static_cast<int32_t>(cloud[name].size()); }
    bool FileWrite(const char* name, const void* bytes, int32_t size) override {
        cloud[name].assign(static_cast<const char*>(bytes), static_cast<size_t>(size));
        return true;
    }
    int32_t FileRead(const char* name, void* out, int32_t size) override {
        const std::string& bytes = cloud[name];
        const int32_t n = std::min(size, static_cast<int32_t>(bytes.size()));
        std::memcpy(out, bytes.data(), static_cast<size_t>(n));
        return n;
    }
    uint64_t FileShare(const char*) override {
        const uint64_t call = Next();
        queuedResults.push_back({call, SteamFileShared{shareResult}, false});
        return call;
    }
    uint64_t PublishWorkshopFile(const char*, const char*, uint32_t, const char*, const char*) override {
        ++publishes;
        const uint64_t call = Next();
        queuedResults.push_back({call, SteamFilePublished{1, 99}, false});
        return call;
    }

    uint64_t Next() { return ++lastCall; }

    struct Queued {
        uint64_t call;
        SteamCallResult result;
        bool io;
    };
    struct Upload {
        int32_t method, score;
        std::vector<int32_t> details;
    };
    std::string missingExport;
    bool loggedOn = true;
    uint64_t lastCall = 0;
    std::vector<Queued> queuedResults;
    std::vector<SteamCallback> queuedCallbacks;
    std::map<std::string, bool> achievements;
    std::map<std::string, int32_t> ints;
    std::map<std::string, float> floats;
    int stores = 0;
    std::map<std::string, uint64_t> boards;
    int finds = 0;
    std::vector<Upload> uploads;
    std::vector<std::pair<SteamLeaderboardEntry, std::vector<int32_t>>> entries;
    std::map<uint64_t, std::string> names;
    uint32_t queryConsumer = 0, queryPage = 0;
    int released = 0;
    std::map<std::string, std::string> cloud;
    int32_t shareResult = 1;
    int publishes = 0;
};

std::filesystem::path AppIdFile() {
    return std::filesystem::path(GetExePath()).parent_path() / "steam_appid.txt";
}

// The argument getters' messages, recorded in place of ending the run.
std::vector<std::string>& TypeErrors() {
    static std::vector<std::string> errors;
    return errors;
}

class SteamTest : public ::testing::Test {
protected:
    void SetUp() override {
        TypeErrors().clear();
        previousReporter = Runtime_SetErrorReporter([](const char* text) { TypeErrors().push_back(text); });
        Steam("steam_initialised");
        SteamEvents().clear();
        Async_SetEventPerformer(RecordSteamEvent);
        // The app id file lies beside the program: each test's program gets its own folder,
        // as the tests run side by side.
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        programFolder = TempParent() / ("steam-" + std::string(test->name()));
        std::filesystem::create_directories(programFolder);
        Runner_SetExePath((programFolder / "halvane-runner").c_str());
    }
    void TearDown() override {
        Runtime_SetErrorReporter(previousReporter);
        Steam_ResetForTests();
        Steam_SetBackend(nullptr);
        g_GameHeader.steamAppId = 0;
        Async_FreeAll();
        Async_SetEventPerformer(nullptr);
        Runner_SetExePath(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(programFolder, ec);
    }
    // Starts the wrapper on the fake for app 480 and delivers the user's stats.
    void StartFake() {
        Steam_SetBackend(&fake);
        g_GameHeader.steamAppId = 480;
        Steam_Init();
        ASSERT_TRUE(Steam_IsInitialised());
        fake.queuedCallbacks.push_back(SteamStatsReceived{480, 1});
        Frame();
    }
    // One frame: the pump, then the asynchronous stage.
    static void Frame() {
        Steam_Update();
        Async_ProcessRequests();
    }

    FakeSteam fake;
    RuntimeErrorReporter previousReporter = nullptr;
    std::filesystem::path programFolder;
};

// --- not running -------------------------------------------------------------------------------

struct NotRunningCase {
    const char* name;
    int argc;
    const char* answer;  // "-99": the result is left as the caller set it
};

const NotRunningCase kNotRunning[] = {
    {"steam_activate_overlay", 1, "-1"},
    {"steam_is_overlay_enabled", 0, "-1"},
    {"steam_is_overlay_activated", 0, "-1"},
    {"steam_get_persona_name", 0, ""},
    {"steam_initialised", 0, "0"},
    {"steam_is_cloud_enabled_for_app", 0, "-1"},
    {"steam_is_cloud_enabled_for_account", 0, "-1"},
    {"steam_file_persisted", 1, "-1"},
    {"steam_get_quota_total", 0, "-1"},
    {"steam_get_quota_free", 0, "-1"},
    {"steam_file_write", 3, "-1"},
    {"steam_file_write_file", 2, "-1"},
    {"steam_file_read", 1, ""},
    {"steam_file_delete", 1, "-1"},
    {"steam_file_exists", 1, "-1"},
    {"steam_file_size", 1, "-1"},
    {"steam_file_share", 1, "-1"},
    {"steam_publish_workshop_file", 4, "-1"},
    {"steam_is_screenshot_requested", 0, "-1"},
    {"steam_send_screenshot", 3, "-1"},
    {"steam_is_user_logged_on", 0, "-1"},
    {"steam_get_user_steam_id", 0, "i64:-1"},
    {"steam_current_game_language", 1, ""},
    {"steam_available_languages", 1, ""},
    {"steam_activate_overlay_browser", 1, "0"},
    {"steam_activate_overlay_user", 2, "0"},
    {"steam_activate_overlay_store", 1, "0"},
    {"steam_get_user_persona_name", 1, "0"},
    {"steam_set_achievement", 1, "-1"},
    {"steam_get_achievement", 1, "-1"},
    {"steam_clear_achievement", 1, "-1"},
    {"steam_set_stat_int", 2, "-1"},
    {"steam_set_stat_float", 2, "-1"},
    {"steam_set_stat_avg_rate", 3, "-1"},
    {"steam_get_stat_int", 1, "-1"},
    {"steam_get_stat_float", 1, "-1"},
    {"steam_get_stat_avg_rate", 1, "-1"},
    {"steam_reset_all_stats", 0, "-99"},
    {"steam_reset_all_stats_achievements", 0, "-99"},
    {"steam_stats_ready", 0, "-1"},
    {"steam_create_leaderboard", 3, "-1"},
    {"steam_upload_score", 2, "-1"},
    {"steam_download_scores_around_user", 3, "-1"},
    {"steam_download_scores", 3, "-1"},
    {"steam_download_friends_scores", 1, "-1"},
    {"steam_upload_score_buffer", 3, "-1"},
    {"steam_upload_score_ext", 3, "-1"},
    {"steam_upload_score_buffer_ext", 4, "-1"},
    {"steam_get_app_id", 0, "-1"},
    {"steam_get_user_account_id", 0, "-1"},
    {"steam_ugc_download", 2, "-1"},
    {"steam_ugc_create_item", 2, "-1"},
    {"steam_ugc_start_item_update", 2, "-99"},
    {"steam_ugc_set_item_title", 2, "-1"},
    {"steam_ugc_set_item_description", 2, "-1"},
    {"steam_ugc_set_item_visibility", 2, "-1"},
    {"steam_ugc_set_item_tags", 2, "-1"},
    {"steam_ugc_set_item_content", 2, "-1"},
    {"steam_ugc_set_item_preview", 2, "-1"},
    {"steam_ugc_submit_item_update", 2, "-1"},
    {"steam_ugc_get_item_update_progress", 1, "-1"},
    {"steam_ugc_subscribe_item", 1, "-1"},
    {"steam_ugc_unsubscribe_item", 1, "-1"},
    {"steam_ugc_num_subscribed_items", 0, "-1"},
    {"steam_ugc_get_subscribed_items", 1, "-1"},
    {"steam_ugc_get_item_install_info", 2, "-1"},
    {"steam_ugc_get_item_update_info", 2, "-1"},
    {"steam_ugc_request_item_details", 2, "-1"},
    {"steam_ugc_create_query_user", 4, "i64:-1"},
    {"steam_ugc_create_query_user_ex", 7, "i64:-1"},
    {"steam_ugc_create_query_all", 3, "i64:-1"},
    {"steam_ugc_create_query_all_ex", 5, "i64:-1"},
    {"steam_ugc_query_set_cloud_filename_filter", 2, "-1"},
    {"steam_ugc_query_set_match_any_tag", 2, "-1"},
    {"steam_ugc_query_set_search_text", 2, "-1"},
    {"steam_ugc_query_set_ranked_by_trend_days", 2, "-1"},
    {"steam_ugc_query_add_required_tag", 2, "-1"},
    {"steam_ugc_query_add_excluded_tag", 2, "-1"},
    {"steam_ugc_query_set_return_long_description", 2, "-1"},
    {"steam_ugc_query_set_return_total_only", 2, "-1"},
    {"steam_ugc_query_set_allow_cached_response", 2, "-1"},
    {"steam_ugc_send_query", 1, "-1"},
};
static_assert(std::size(kNotRunning) == 82);

// The rows in their order with their counts; each answers its fixed value without reading its
// arguments (undefined here, which every getter refuses), except the overlay's index.
TEST_F(SteamTest, EveryRowGivesItsNotRunningAnswerWithoutReadingArguments) {
    int32_t index = -1;
    ASSERT_TRUE(Code_Function_Find(kNotRunning[0].name, &index));
    for (const NotRunningCase& row : kNotRunning) {
        const char* name = nullptr;
        BuiltinProc function = nullptr;
        int32_t argc = -5;
        Code_Function_GetInfo(index++, &name, &function, &argc);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(name, row.name);
        EXPECT_EQ(argc, row.argc) << row.name;
        std::vector<RValue> args;
        for (int n = 0; n < row.argc; ++n)
            args.push_back(std::string(row.name) == "steam_activate_overlay" ? RValue_Real(2)
                                                                             : RValue_Undefined());
        EXPECT_EQ(TakeAnswer(Call(row.name, std::move(args))), row.answer) << row.name;
    }
    EXPECT_TRUE(TypeErrors().empty());
    // The overlay's index is read first, so its type is checked even now.
    TakeAnswer(SteamCall("steam_activate_overlay", {RValue_Undefined()}));
    EXPECT_EQ(TypeErrors().size(), 1u);
}

TEST_F(SteamTest, AnAbsentLibraryIsLoggedAndTheGameRunsOnWithoutSteam) {
    ConsoleCapture console;
    g_GameHeader.steamAppId = 480;
    Steam_Init();
    EXPECT_FALSE(Steam_IsInitialised());
    std::ifstream file(AppIdFile(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    EXPECT_EQ(bytes.str(), "480");
    const std::string& log = console.Text();
    const size_t load = log.find("ERROR: Failed to load steam_api.dll error ");
    const size_t call = log.find("Failed LoadSteamLib() call: Error loading steam_api.dll\n");
    const size_t failed = log.find("SteamInit failed: Error loading steam_api.dll\n");
    EXPECT_NE(log.find("steamfile:"), std::string::npos);
    ASSERT_NE(load, std::string::npos) << log;
    EXPECT_LT(load, call);
    EXPECT_LT(call, failed);
    EXPECT_NE(failed, std::string::npos);
    // No second start after a failure.
    console.Text().clear();
    Steam_Init();
    EXPECT_EQ(console.Text(), "Steam already initialised\n");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_initialised")), "0");
}

TEST_F(SteamTest, AppIdZeroWritesNothingAndLogsNothing) {
    ConsoleCapture console;
    std::error_code ec;
    std::filesystem::remove(AppIdFile(), ec);
    g_GameHeader.steamAppId = 0;
    Steam_Init();
    EXPECT_EQ(console.Text(), "");
    EXPECT_FALSE(std::filesystem::exists(AppIdFile()));
}

TEST_F(SteamTest, AMissingExportIsNamedAndFailsTheStart) {
    ConsoleCapture console;
    fake.missingExport = "SteamAPI_RunCallbacks";
    Steam_SetBackend(&fake);
    g_GameHeader.steamAppId = 480;
    Steam_Init();
    EXPECT_FALSE(Steam_IsInitialised());
    EXPECT_NE(console.Text().find("ERROR: Failed to find function SteamAPI_RunCallbacks error 127\n"),
              std::string::npos);
    EXPECT_NE(console.Text().find("SteamInit failed: Failed to find steam api functions\n"),
              std::string::npos);
}

// --- through the fake library --------------------------------------------------------------------

TEST_F(SteamTest, StatsChangeOnlyAfterTheyArriveAndAreStoredOncePerFrame) {
    Steam_SetBackend(&fake);
    g_GameHeader.steamAppId = 480;
    Steam_Init();
    ASSERT_EQ(TakeAnswer(SteamCall("steam_initialised")), "1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_set_achievement", {Text("A")})), "0");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_stats_ready")), "0");
    Frame();
    EXPECT_EQ(fake.stores, 0);
    // Stats for another game are ignored.
    fake.queuedCallbacks.push_back(SteamStatsReceived{481, 1});
    Frame();
    EXPECT_EQ(TakeAnswer(SteamCall("steam_stats_ready")), "0");
    fake.queuedCallbacks.push_back(SteamStatsReceived{480, 1});
    Frame();
    EXPECT_EQ(TakeAnswer(SteamCall("steam_stats_ready")), "1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_set_achievement", {Text("A")})), "1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_get_achievement", {Text("A")})), "1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_set_stat_int", {Text("kills"), RValue_Real(3.9)})), "1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_set_stat_float", {Text("speed"), RValue_Real(2.5)})), "1");
    EXPECT_EQ(fake.ints["kills"], 3);
    EXPECT_EQ(TakeAnswer(SteamCall("steam_get_stat_float", {Text("speed")})), "2.5");
    Frame();
    EXPECT_EQ(fake.stores, 1);  // two changes, one store
    Frame();
    EXPECT_EQ(fake.stores, 1);
    ConsoleCapture console;
    fake.queuedCallbacks.push_back(SteamStatsStored{480, 8});
    Frame();
    EXPECT_EQ(console.Text(), "StoreStats - some failed to validate\n");
}

TEST_F(SteamTest, UploadsWaitForTheirLeaderboardAndRaiseUploadEvents) {
    StartFake();
    fake.boards["hi"] = 0x4242;
    // Five written bytes: two detail values, the second the fifth byte and three zeros.
    const int32_t buffer = Buffer_Create(16, 1, 1);
    IBuffer* data = Buffer_GetByIndex(buffer);
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    data->WriteBytes(bytes, 1, 5);
    EXPECT_EQ(TakeAnswer(SteamCall("steam_upload_score", {Text("hi"), RValue_Real(10)})), "1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_upload_score_buffer_ext",
                                   {Text("hi"), RValue_Real(20), RValue_Real(buffer), RValue_Real(1)})),
              "2");
    EXPECT_EQ(fake.finds, 1);
    Frame();  // the find arrives: the later upload goes first, forced or not, with method 1
    ASSERT_EQ(fake.uploads.size(), 2u);
    EXPECT_EQ(fake.uploads[0].score, 20);
    EXPECT_EQ(fake.uploads[0].method, 1);
    EXPECT_EQ(fake.uploads[0].details, (std::vector<int32_t>{0x04030201, 5}));
    EXPECT_EQ(fake.uploads[1].score, 10);
    Frame();
    ASSERT_EQ(SteamEvents().size(), 2u);
    const Values expected = {{"event_type", "leaderboard_upload"},
                             {"lb_name", "hi"},
                             {"success", "1"},
                             {"updated", "1"},
                             {"post_id", "2"},
                             {"score", "20"}};
    EXPECT_EQ(SteamEvents()[0].values, expected);
    EXPECT_EQ(SteamEvents()[0].subtype, 69);
    EXPECT_EQ(SteamEvents()[1].values.at("post_id"), "1");
    // Now found: a forced upload goes at once with method 2.
    SteamCall("steam_upload_score_ext", {Text("hi"), RValue_Real(30), RValue_Real(1)});
    EXPECT_EQ(fake.uploads.back().method, 2);
    Buffer_Free(buffer);
}

TEST_F(SteamTest, DownloadsDeliverTheirEntriesAsJsonText) {
    StartFake();
    fake.boards["hi"] = 0x4242;
    fake.entries = {{{7, 1, 500, 0, 0}, {}}, {{8, 2, 400, 1, 0}, {0x01020304}}};
    fake.names = {{7, "Al \"the\" \\one"}, {8, "Bo"}};
    const std::string id =
        TakeAnswer(SteamCall("steam_download_scores", {Text("hi"), RValue_Real(1), RValue_Real(10)}));
    Frame();  // the find
    Frame();  // the download result
    Frame();  // the event
    ASSERT_EQ(SteamEvents().size(), 1u);
    const Values& event = SteamEvents()[0].values;
    EXPECT_EQ(event.at("event_type"), "leaderboard_download");
    EXPECT_EQ(event.at("id"), id);
    EXPECT_EQ(event.at("status"), "0");
    EXPECT_EQ(event.at("lb_name"), "hi");
    EXPECT_EQ(event.at("num_entries"), "2");
    EXPECT_EQ(event.at("entries"),
              "{\n\"entries\": [\n"
              "{ \"name\":\"Al \\\"the\\\" \\\\one\" , \"score\":500 , \"rank\":1 },\n"
              "{ \"name\":\"Bo\" , \"score\":400 , \"rank\":2, \"data\":\"BAMCAQ==\" }\n"
              "]}");
}

TEST_F(SteamTest, ALeaderboardThatIsNotFoundFailsItsQueuedDownloads) {
    StartFake();
    const std::string id = TakeAnswer(SteamCall("steam_download_friends_scores", {Text("nope")}));
    SteamCall("steam_upload_score", {Text("nope"), RValue_Real(1)});
    Frame();
    Frame();
    ASSERT_EQ(SteamEvents().size(), 1u);
    const Values expected = {{"event_type", "leaderboard_download"},
                             {"id", id},
                             {"status", "-1"},
                             {"lb_name", "0"},
                             {"num_entries", "0"},
                             {"entries", "0"}};
    EXPECT_EQ(SteamEvents()[0].values, expected);
    EXPECT_TRUE(fake.uploads.empty());
    // Logged off: no find, -1.
    fake.loggedOn = false;
    EXPECT_EQ(TakeAnswer(SteamCall("steam_upload_score", {Text("x"), RValue_Real(1)})), "-1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_create_leaderboard", {Text("x"), RValue_Real(1), RValue_Real(1)})),
              "0");
}

TEST_F(SteamTest, AQueryDeliversItsResultsAsAListOfItemMaps) {
    StartFake();
    const std::string query =
        TakeAnswer(SteamCall("steam_ugc_create_query_all", {RValue_Real(0), RValue_Real(0), RValue_Real(2)}));
    EXPECT_EQ(query, "i64:" + std::to_string(0x500000001ll));
    EXPECT_EQ(fake.queryConsumer, 480u);
    EXPECT_EQ(fake.queryPage, 2u);
    const std::string id = TakeAnswer(SteamCall("steam_ugc_send_query", {RValue_Int64(0x500000001ll)}));
    Frame();
    Frame();
    ASSERT_EQ(SteamEvents().size(), 1u);
    const SteamEvent& event = SteamEvents()[0];
    EXPECT_EQ(event.values.at("event_type"), "ugc_query");
    EXPECT_EQ(event.values.at("id"), id);
    EXPECT_EQ(event.values.at("result"), "1");
    EXPECT_EQ(event.values.at("num_results"), "3");
    EXPECT_EQ(event.values.at("total_matching"), "12");
    EXPECT_EQ(event.values.at("ugc_query_handle"), "i64:" + std::to_string(0x500000001ll));
    EXPECT_EQ(event.values.at("cached_data"), "0");
    ASSERT_EQ(event.results.size(), 2u);  // the second result could not be read
    EXPECT_EQ(event.results[0].at("title"), "item 0");
    EXPECT_EQ(event.results[1].at("published_file_id"), "i64:1002");
    EXPECT_EQ(event.results[0].at("account_id_owner"), "-1294967296");
    EXPECT_EQ(event.results[0].at("score"), "0.5");
    EXPECT_EQ(event.results[0].size(), 27u);
    EXPECT_EQ(fake.released, 1);
}

TEST_F(SteamTest, SubscriptionsAndNotificationsRaiseEventsForThisGameOnly) {
    StartFake();
    const std::string id = TakeAnswer(SteamCall("steam_ugc_subscribe_item", {RValue_Int64(77)}));
    fake.queuedCallbacks.push_back(SteamItemSubscribed{481, 5});
    fake.queuedCallbacks.push_back(SteamItemUnsubscribed{480, 6});
    Frame();
    Frame();
    ASSERT_EQ(SteamEvents().size(), 2u);
    EXPECT_EQ(SteamEvents()[0].values,
              (Values{{"event_type", "ugc_item_unsubscribed"}, {"published_file_id", "i64:6"}}));
    EXPECT_EQ(SteamEvents()[1].values, (Values{{"event_type", "ugc_subscribe_item"},
                                               {"id", id},
                                               {"result", "1"},
                                               {"published_file_id", "i64:77"}}));
}

TEST_F(SteamTest, CloudFilesAndAPublishThatWaitsForItsShare) {
    StartFake();
    EXPECT_EQ(TakeAnswer(SteamCall("steam_file_write", {Text("a"), Text("hello"), RValue_Real(3)})), "1");
    EXPECT_EQ(fake.cloud["a"], "hel");
    fake.cloud["z"] = std::string("A\0B", 3);
    EXPECT_EQ(TakeAnswer(SteamCall("steam_file_read", {Text("z")})), "A");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_file_read", {Text("missing")})), "");
    EXPECT_EQ(
        TakeAnswer(SteamCall("steam_publish_workshop_file", {Text("a"), Text(""), Text("t"), Text("d")})),
        "1");
    EXPECT_EQ(
        TakeAnswer(SteamCall("steam_publish_workshop_file", {Text("a"), Text(""), Text("t"), Text("d")})),
        "0");
    Frame();  // the share succeeds: the publish is asked for
    EXPECT_EQ(fake.publishes, 1);
    Frame();  // the publish result ends it
    fake.shareResult = 2;
    EXPECT_EQ(
        TakeAnswer(SteamCall("steam_publish_workshop_file", {Text("a"), Text("a"), Text("t"), Text("d")})),
        "1");
    Frame();  // both shares fail: no publish, and a new one may start
    EXPECT_EQ(fake.publishes, 1);
    EXPECT_EQ(
        TakeAnswer(SteamCall("steam_publish_workshop_file", {Text("a"), Text(""), Text("t"), Text("d")})),
        "1");
}

TEST_F(SteamTest, OverlayScreenshotsAndPersonaNames) {
    StartFake();
    fake.names[9] = "Cy";
    EXPECT_EQ(TakeAnswer(SteamCall("steam_activate_overlay", {RValue_Real(6)})), "0");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_activate_overlay", {RValue_Real(5)})), "1");
    fake.queuedCallbacks.push_back(SteamScreenshotRequested{});
    fake.queuedCallbacks.push_back(SteamOverlayActivated{true});
    Frame();
    EXPECT_EQ(TakeAnswer(SteamCall("steam_is_screenshot_requested")), "1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_is_screenshot_requested")), "0");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_is_overlay_activated")), "1");
    EXPECT_EQ(TakeAnswer(SteamCall("steam_get_user_account_id")), "7");
    const std::string first = TakeAnswer(SteamCall("steam_get_user_persona_name", {RValue_Int64(9)}));
    const std::string second = TakeAnswer(SteamCall("steam_get_user_persona_name", {RValue_Int64(9)}));
    EXPECT_NE(first, second);
    Frame();
    ASSERT_EQ(SteamEvents().size(), 2u);
    EXPECT_EQ(SteamEvents()[0].values, (Values{{"event_type", "user_persona_name"},
                                               {"id", first},
                                               {"persona_name", "Cy"},
                                               {"steamid", "i64:9"}}));
}

}  // namespace
