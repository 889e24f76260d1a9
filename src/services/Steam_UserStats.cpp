// Steam stats, achievements and leaderboards. Stats can be read and changed only once the
// library has delivered the user's current stats; changes are stored once a frame. Leaderboards
// are known to the library by a handle found by name, so operations on one whose find is still
// on its way wait in a list and go out when it is found.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/Console.h"
#include "data/Function_Data_Structures.h"
#include "io/Base64.h"
#include "io/Buffer_Manager.h"
#include "io/HTTP_Main.h"
#include "io/IBuffer.h"
#include "services/Steam_Internal.h"
#include "services/Steam_Main.h"
#include "services/Steam_UserStats.h"

namespace {

bool g_statsReceived = false;
bool g_statsDirty = false;
bool g_holder = false;  // the notification holder exists (between init and shutdown)

// --- leaderboards --------------------------------------------------------------------------

constexpr size_t kNameSize = 128;
constexpr int32_t kMaxEntries = 100;
constexpr int32_t kMaxDetails = 64;
constexpr int32_t kMaxDetailBytes = 256;

struct LeaderboardRecord {
    uint64_t handle = 0;
    std::string name;  // at most 127 bytes
    bool found = false;
    bool createRequested = false;
};
std::vector<LeaderboardRecord> g_leaderboards;

struct DownloadedEntry {
    SteamLeaderboardEntry entry;
    std::vector<int32_t> details;
};
// A download's result, kept with its request record until the asynchronous stage makes the event.
struct LeaderboardDownloadRecord {
    uint64_t handle = 0;
    std::string name;
    std::vector<DownloadedEntry> entries;
};

struct PendingLeaderboardOp {
    std::string name;
    bool isUpload = false;
    int32_t kind = 0;
    int32_t score = 0;
    int32_t start = 0, end = 0;
    HTTP_REQ_CONTEXT* request = nullptr;  // downloads
    int32_t postId = 0;                   // uploads
    std::vector<int32_t> details;
};
// Newest first.
std::vector<PendingLeaderboardOp> g_pending;

int32_t g_postId = 1;

std::string BoardName(const char* name) {
    std::string text = name != nullptr ? name : "";
    if (text.size() >= kNameSize) text.resize(kNameSize - 1);
    return text;
}

LeaderboardRecord* FindRecord(const std::string& name) {
    for (LeaderboardRecord& record : g_leaderboards)
        if (record.name == name) return &record;
    return nullptr;
}

bool GetFoundHandle(const std::string& name, uint64_t* handle) {
    const LeaderboardRecord* record = FindRecord(name);
    if (record == nullptr || !record->found) return false;
    *handle = record->handle;
    return true;
}

void OnFindResult(const std::string& name, bool create, int32_t sort, int32_t display,
                  const SteamCallResult& result, bool ioFailure);

void BindFind(uint64_t call, const std::string& name, bool create, int32_t sort, int32_t display) {
    Steam_BindCallResult(call, [=](const SteamCallResult& result, bool ioFailure) {
        OnFindResult(name, create, sort, display, result, ioFailure);
    });
}

bool FindHandle(const std::string& name, uint64_t* handle) {
    if (const LeaderboardRecord* record = FindRecord(name)) {
        if (!record->found) return false;
        *handle = record->handle;
        return true;
    }
    g_leaderboards.push_back({0, name, false, false});
    BindFind(Steam_Backend().FindLeaderboard(name.c_str()), name, false, 0, 0);
    return false;
}

bool FindOrCreate(const std::string& name, int32_t sort, int32_t display) {
    if (LeaderboardRecord* record = FindRecord(name)) {
        if (record->found) return true;
        if (record->createRequested) return false;
        record->createRequested = true;
    } else {
        g_leaderboards.push_back({0, name, false, true});
    }
    BindFind(Steam_Backend().FindOrCreateLeaderboard(name.c_str(), sort, display), name, true, sort, display);
    return false;
}

void OnScoreUploaded(int32_t postId, const SteamCallResult& result, bool ioFailure) {
    const auto* uploaded = std::get_if<SteamScoreUploaded>(&result);
    if (uploaded == nullptr) return;
    const std::string name = Steam_Backend().LeaderboardName(uploaded->leaderboard);
    if (ioFailure)
        DebugConsole.Output("IO Error uploading score %d to \"%s\"\n", uploaded->score, name.c_str());
    else if (!uploaded->success)
        DebugConsole.Output("Failed to upload score %d to \"%s\"\n", uploaded->score, name.c_str());
    else if (uploaded->changed)
        DebugConsole.Output("uploaded score %d to lb %s - score was updated\n", uploaded->score,
                            name.c_str());
    else
        DebugConsole.Output("uploaded score %d to lb %s - score was not updated\n", uploaded->score,
                            name.c_str());
    const bool success = !ioFailure && uploaded->success;
    const int32_t map = DsMap_CreateFromPairs(
        6, "event_type", 0.0, "leaderboard_upload", "lb_name", 0.0, name.c_str(), "success",
        success ? 1.0 : 0.0, nullptr, "updated", success && uploaded->changed ? 1.0 : 0.0, nullptr, "post_id",
        static_cast<double>(postId), nullptr, "score", static_cast<double>(uploaded->score), nullptr);
    Async_PostMapEvent(map, kAsyncEventSteam);
}

// Download requests not yet delivered, by id; a request leaves when the stage deletes it.
std::unordered_map<int32_t, HTTP_REQ_CONTEXT*> g_downloads;

HTTP_REQ_CONTEXT* FindRequest(int32_t id) {
    auto found = g_downloads.find(id);
    return found != g_downloads.end() ? found->second : nullptr;
}

void FinishRequest(HTTP_REQ_CONTEXT* request, int32_t status) {
    request->httpStatus = status;
    request->state.store(HTTP_STATE_FINISHED);
}

void OnScoresDownloaded(int32_t requestId, const SteamCallResult& result, bool ioFailure) {
    const auto* downloaded = std::get_if<SteamScoresDownloaded>(&result);
    HTTP_REQ_CONTEXT* request = FindRequest(requestId);
    if (downloaded == nullptr || request == nullptr) {
        DebugConsole.Output("ERROR: failed to identify context for leaderboard download result\n");
        return;
    }
    if (ioFailure) {
        FinishRequest(request, -1);
        DebugConsole.Output("Download leaderboard scores: IO Failure\n");
        return;
    }
    auto* record = static_cast<LeaderboardDownloadRecord*>(request->userData);
    const int32_t count = std::clamp(downloaded->count, 0, kMaxEntries);
    record->handle = downloaded->leaderboard;
    record->name = BoardName(Steam_Backend().LeaderboardName(downloaded->leaderboard).c_str());
    DebugConsole.Output("got scores for lb:%s %d entries\n", record->name.c_str(), count);
    record->entries.assign(static_cast<size_t>(count), {});
    for (int32_t i = 0; i < count; ++i) {
        DownloadedEntry& entry = record->entries[static_cast<size_t>(i)];
        int32_t details[kMaxDetails] = {};
        Steam_Backend().GetDownloadedLeaderboardEntry(downloaded->entries, i, &entry.entry, details,
                                                      kMaxDetails);
        const int32_t kept = std::clamp(entry.entry.details, 0, kMaxDetails);
        entry.details.assign(details, details + kept);
    }
    FinishRequest(request, 1);
}

void Upload(uint64_t handle, int32_t method, int32_t score, const std::vector<int32_t>& details,
            int32_t postId) {
    const uint64_t call = Steam_Backend().UploadLeaderboardScore(handle, method, score, details.data(),
                                                                 static_cast<int32_t>(details.size()));
    Steam_BindCallResult(call, [postId](const SteamCallResult& result, bool ioFailure) {
        OnScoreUploaded(postId, result, ioFailure);
    });
}

void Download(uint64_t handle, int32_t kind, int32_t start, int32_t end, int32_t requestId) {
    const uint64_t call = Steam_Backend().DownloadLeaderboardEntries(handle, kind, start, end);
    Steam_BindCallResult(call, [requestId](const SteamCallResult& result, bool ioFailure) {
        OnScoresDownloaded(requestId, result, ioFailure);
    });
}

void SendPending(const PendingLeaderboardOp& op, uint64_t handle) {
    const std::string name = Steam_Backend().LeaderboardName(handle);
    if (op.isUpload) {
        DebugConsole.Output("Sending queued LB post: %s, %d \n", name.c_str(), op.score);
        Upload(handle, 1, op.score, op.details, op.postId);
    } else {
        DebugConsole.Output("Sending queued LB get: %s, %d, %d, %d, %d \n", name.c_str(), op.request->id,
                            op.kind, op.start, op.end);
        Download(handle, op.kind, op.start, op.end, op.request->id);
    }
}

void FlushPending() {
    std::vector<PendingLeaderboardOp> kept;
    std::vector<std::pair<PendingLeaderboardOp, uint64_t>> ready;
    for (PendingLeaderboardOp& op : g_pending) {
        uint64_t handle = 0;
        if (GetFoundHandle(op.name, &handle))
            ready.emplace_back(std::move(op), handle);
        else
            kept.push_back(std::move(op));
    }
    g_pending = std::move(kept);
    for (const auto& [op, handle] : ready) SendPending(op, handle);
}

void DropPending(const std::string& name) {
    std::vector<PendingLeaderboardOp> kept;
    for (PendingLeaderboardOp& op : g_pending) {
        if (op.name != name) {
            kept.push_back(std::move(op));
            continue;
        }
        if (op.request != nullptr) FinishRequest(op.request, -1);
    }
    g_pending = std::move(kept);
}

void OnFindResult(const std::string& name, bool create, int32_t sort, int32_t display,
                  const SteamCallResult& result, bool ioFailure) {
    LeaderboardRecord* record = FindRecord(name);
    if (record == nullptr) {
        DebugConsole.Output("ERROR: failed to find entry for leaderboard: %s\n", name.c_str());
        return;
    }
    if (ioFailure) {
        DebugConsole.Output("IO Error finding leaderboard \"%s\" - retrying\n", name.c_str());
        const uint64_t call = create ? Steam_Backend().FindOrCreateLeaderboard(name.c_str(), sort, display)
                                     : Steam_Backend().FindLeaderboard(name.c_str());
        BindFind(call, name, create, sort, display);
        return;
    }
    const auto* found = std::get_if<SteamLeaderboardFound>(&result);
    if (found != nullptr && found->found) {
        DebugConsole.Output("found leaderboard: %s\n", name.c_str());
        record->handle = found->leaderboard;
        record->found = true;
        FlushPending();
        return;
    }
    DebugConsole.Output("Failed to find leaderboard \"%s\"\n", name.c_str());
    DropPending(name);
    *record = g_leaderboards.back();
    g_leaderboards.pop_back();
}

// The entries as JSON text; persona names escaped.
std::string EscapeJson(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string EntriesText(const LeaderboardDownloadRecord& record) {
    std::string text = "{\n\"entries\": [\n";
    for (size_t i = 0; i < record.entries.size(); ++i) {
        const DownloadedEntry& entry = record.entries[i];
        const std::string name = EscapeJson(Steam_Backend().FriendPersonaName(entry.entry.steamId));
        char head[64];
        text += "{ \"name\":\"" + name + "\" , \"score\":";
        std::snprintf(head, sizeof head, "%d , \"rank\":%d", entry.entry.score, entry.entry.globalRank);
        text += head;
        if (entry.details.empty()) {
            text += " }";
        } else {
            std::vector<uint8_t> bytes(entry.details.size() * 4);
            for (size_t n = 0; n < entry.details.size(); ++n) {
                const uint32_t v = static_cast<uint32_t>(entry.details[n]);
                for (int b = 0; b < 4; ++b)
                    bytes[n * 4 + static_cast<size_t>(b)] = static_cast<uint8_t>(v >> (8 * b));
            }
            std::string encoded(
                static_cast<size_t>(Base64_EncodedCapacity(static_cast<int64_t>(bytes.size()))), '\0');
            Base64_Encode(bytes.data(), static_cast<int64_t>(bytes.size()), encoded.data());
            text += ", \"data\":\"" + std::string(encoded.c_str()) + "\" }";
        }
        text += i + 1 < record.entries.size() ? ",\n" : "\n";
    }
    return text + "]}";
}

int32_t MakeDownloadEvent(HTTP_REQ_CONTEXT* request, void* userData, int32_t* map) {
    const auto* record = static_cast<const LeaderboardDownloadRecord*>(userData);
    if (request->httpStatus < 0) {
        *map = DsMap_CreateFromPairs(6, "event_type", 0.0, "leaderboard_download", "id",
                                     static_cast<double>(request->id), nullptr, "status", -1.0, nullptr,
                                     "lb_name", 0.0, nullptr, "num_entries", 0.0, nullptr, "entries", 0.0,
                                     nullptr);
    } else {
        const std::string entries = EntriesText(*record);
        *map = DsMap_CreateFromPairs(
            6, "event_type", 0.0, "leaderboard_download", "id", static_cast<double>(request->id), nullptr,
            "status", 0.0, nullptr, "lb_name", 0.0, record->name.c_str(), "num_entries",
            static_cast<double>(record->entries.size()), nullptr, "entries", 0.0, entries.c_str());
    }
    return kAsyncEventSteam;
}

void FreeDownloadRecord(HTTP_REQ_CONTEXT* request) {
    g_downloads.erase(request->id);
    delete static_cast<LeaderboardDownloadRecord*>(request->userData);
    request->userData = nullptr;
}

// The detail values of a buffer: its bytes up to its position, at most 256, as 32-bit values.
std::vector<int32_t> BufferDetails(int32_t bufferIndex) {
    std::vector<int32_t> details;
    if (bufferIndex < 0) return details;
    IBuffer* buffer = Buffer_GetByIndex(bufferIndex);
    if (buffer == nullptr) {
        DebugConsole.Output("buffer index %d does not exist - no data will be uploaded\n", bufferIndex);
        return details;
    }
    int32_t bytes = std::clamp(buffer->GetPosition(), 0, buffer->GetSize());
    if (bytes > kMaxDetailBytes) {
        DebugConsole.Output(
            "steam_upload_score_buffer: requested upload of %d bytes was truncated to max of 256 bytes\n",
            bytes);
        bytes = kMaxDetailBytes;
    }
    uint8_t block[kMaxDetailBytes] = {};
    if (bytes > 0) std::memcpy(block, buffer->GetData(), static_cast<size_t>(bytes));
    details.resize(static_cast<size_t>((bytes + 3) / 4));
    for (size_t n = 0; n < details.size(); ++n)
        details[n] = static_cast<int32_t>(block[n * 4] | block[n * 4 + 1] << 8 | block[n * 4 + 2] << 16 |
                                          static_cast<uint32_t>(block[n * 4 + 3]) << 24);
    return details;
}

}  // namespace

// --- the sub-wrapper -------------------------------------------------------------------------

void Steam_UserStats_Init() {
    g_holder = true;
    g_leaderboards.clear();
    g_leaderboards.reserve(64);
    g_statsReceived = false;
    g_statsDirty = false;
    Steam_Backend().RequestCurrentStats();
}

// Downloads still waiting for their leaderboard end as failed, so none is left pending.
void Steam_UserStats_Shutdown() {
    g_holder = false;
    for (const PendingLeaderboardOp& op : g_pending)
        if (op.request != nullptr) FinishRequest(op.request, -1);
    g_leaderboards.clear();
    g_pending.clear();
}

void Steam_StoreStatsIfDirty() {
    if (!g_statsReceived || !g_statsDirty) return;
    DebugConsole.Output("StoreStats called\n");
    g_statsDirty = !Steam_Backend().StoreStats();
}

void Steam_UserStats_OnCallback(const SteamCallback& callback) {
    if (!g_holder) return;
    if (const auto* received = std::get_if<SteamStatsReceived>(&callback)) {
        if (!Steam_IsOwnGame(received->gameId)) return;
        if (received->result == 1) {
            DebugConsole.Output("Received stats and achievements from Steam\n");
            g_statsReceived = true;
        } else {
            DebugConsole.Output("RequestStats - failed: %d\n", received->result);
        }
    } else if (const auto* stored = std::get_if<SteamStatsStored>(&callback)) {
        if (!Steam_IsOwnGame(stored->gameId)) return;
        if (stored->result == 1)
            DebugConsole.Output("StoreStats - success\n");
        else if (stored->result == 8)
            DebugConsole.Output("StoreStats - some failed to validate\n");
        else
            DebugConsole.Output("Error storing stats\n");
    } else if (const auto* achievement = std::get_if<SteamAchievementStored>(&callback)) {
        if (!Steam_IsOwnGame(achievement->gameId)) return;
        DebugConsole.Output("achievement store SUCCESS\n");
    }
}

// --- stats and achievements --------------------------------------------------------------------

namespace {

double Accepted(bool accepted) {
    if (accepted) g_statsDirty = true;
    return accepted ? 1 : 0;
}

}  // namespace

double Steam_SetAchievement(const char* name) {
    return g_statsReceived ? Accepted(Steam_Backend().SetAchievement(name)) : 0;
}
double Steam_ClearAchievement(const char* name) {
    return g_statsReceived ? Accepted(Steam_Backend().ClearAchievement(name)) : 0;
}
double Steam_GetAchievement(const char* name) {
    bool achieved = false;
    return g_statsReceived && Steam_Backend().GetAchievement(name, &achieved) && achieved ? 1 : 0;
}
double Steam_SetStatInt(const char* name, int32_t value) {
    return g_statsReceived ? Accepted(Steam_Backend().SetStatInt(name, value)) : 0;
}
double Steam_SetStatFloat(const char* name, double value) {
    return g_statsReceived ? Accepted(Steam_Backend().SetStatFloat(name, static_cast<float>(value))) : 0;
}
double Steam_SetStatAvgRate(const char* name, double count, double length) {
    return g_statsReceived
               ? Accepted(Steam_Backend().UpdateAvgRateStat(name, static_cast<float>(count), length))
               : 0;
}
double Steam_GetStatInt(const char* name) {
    int32_t value = 0;
    return g_statsReceived && Steam_Backend().GetStatInt(name, &value) ? value : 0;
}
double Steam_GetStatFloat(const char* name) {
    float value = 0;
    return g_statsReceived && Steam_Backend().GetStatFloat(name, &value) ? static_cast<double>(value) : 0;
}
void Steam_ResetAllStats(bool achievementsToo) {
    if (!g_statsReceived || !Steam_HasInterface(STEAM_USER_STATS)) return;
    Steam_Backend().ResetAllStats(achievementsToo);
    g_statsDirty = true;
}
bool Steam_StatsReady() {
    return g_statsReceived;
}

// --- leaderboards ----------------------------------------------------------------------------

double Steam_CreateLeaderboard(const char* name, int32_t sort, int32_t display) {
    if (!Steam_Backend().LoggedOn()) {
        DebugConsole.Output("Create leaderboard failed: must be logged on\n");
        return 0;
    }
    FindOrCreate(BoardName(name), sort, display);
    return 1;
}

double Steam_UploadScore(const char* name, int32_t score, int32_t buffer, bool force) {
    if (!Steam_Backend().LoggedOn()) {
        DebugConsole.Output("Upload score failed: must be logged on\n");
        return -1;
    }
    std::vector<int32_t> details = BufferDetails(buffer);
    const std::string board = BoardName(name);
    const int32_t postId = g_postId;
    uint64_t handle = 0;
    if (FindHandle(board, &handle)) {
        Upload(handle, force ? 2 : 1, score, details, postId);
    } else {
        PendingLeaderboardOp op;
        op.name = board;
        op.isUpload = true;
        op.score = score;
        op.postId = postId;
        op.details = std::move(details);
        g_pending.insert(g_pending.begin(), std::move(op));
    }
    ++g_postId;
    return postId;
}

double Steam_DownloadScores(const char* name, int32_t kind, int32_t start, int32_t end) {
    if (!Steam_Backend().LoggedOn()) {
        DebugConsole.Output("Download scores failed: must be logged on\n");
        return -1;
    }
    auto* request = new HTTP_REQ_CONTEXT(nullptr, 0, MakeDownloadEvent, FreeDownloadRecord,
                                         new LeaderboardDownloadRecord{}, false);
    g_downloads[request->id] = request;
    const std::string board = BoardName(name);
    uint64_t handle = 0;
    if (FindHandle(board, &handle)) {
        Download(handle, kind, start, end, request->id);
    } else {
        PendingLeaderboardOp op;
        op.name = board;
        op.kind = kind;
        op.start = start;
        op.end = end;
        op.request = request;
        g_pending.insert(g_pending.begin(), std::move(op));
    }
    return request->id;
}
