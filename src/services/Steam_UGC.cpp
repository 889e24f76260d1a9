// Steam workshop items and queries: items created, updated and submitted, subscriptions, the
// install and download state of items, downloads of UGC files into the save area, and queries
// whose results come back as one event holding a list of item maps. The folder of every
// installed item is allowed to the file built-ins.
#include <string>
#include <vector>

#include "base/Runner.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "io/HTTP_Main.h"
#include "io/LoadSave.h"
#include "io/Support_File.h"
#include "platform/Support_FileM.h"
#include "services/Steam_Internal.h"
#include "services/Steam_Main.h"

namespace {

constexpr uint32_t kItemLegacy = 2, kItemInstalled = 4, kItemNeedsUpdate = 8, kItemDownloading = 16,
                   kItemDownloadPending = 32;

bool g_ugcHolder = false;

uint64_t Arg_GetHandle(RValue* args, int32_t n) {
    return static_cast<uint64_t>(Arg_GetInt64(args, n));
}

void AllowFolder(const std::string& path, uint32_t state) {
    std::string folder = path;
    if (state & kItemLegacy) {
        char* directory = File_GetDirectory(path.c_str());
        folder = directory;
        MEM_FREE(directory);
    }
    if (LoadSave_IsPathAllowedPrefix(LOADSAVE_WRITE_LIST, folder.c_str())) return;
    DebugConsole.Output("Adding Workshop Item to whitelist: %s\n", folder.c_str());
    LoadSave_AddAllowedPath(LOADSAVE_WRITE_LIST, folder.c_str(), true);
}

void AllowInstalledItem(uint64_t id) {
    SteamBackend& steam = Steam_Backend();
    const uint32_t state = steam.GetItemState(id);
    uint64_t size = 0;
    std::string folder;
    uint32_t stamp = 0;
    if (steam.GetItemInstallInfo(id, &size, &folder, &stamp)) AllowFolder(folder, state);
}

void PostItemNote(const char* eventType, uint64_t id) {
    const int32_t map = DsMap_CreateFromPairs(1, "event_type", 0.0, eventType);
    Steam_MapAddInt64(map, "published_file_id", id);
    Async_PostMapEvent(map, kAsyncEventSteam);
}

// The common head of a result event: "event_type", "id" and "result" (0 on I/O failure).
int32_t ResultMap(const char* eventType, int32_t id, int32_t code, bool ioFailure) {
    return DsMap_CreateFromPairs(3, "event_type", 0.0, eventType, "id", static_cast<double>(id), nullptr,
                                 "result", ioFailure ? 0.0 : static_cast<double>(code), nullptr);
}

void AddDetailsToMap(int32_t map, const SteamUGCDetails& d) {
    Steam_MapAddInt64(map, "published_file_id", d.publishedFileId);
    DsMap_AddReal(map, "result", d.result);
    DsMap_AddReal(map, "file_type", d.fileType);
    DsMap_AddReal(map, "creator_app_id", d.creatorAppId);
    DsMap_AddReal(map, "consumer_app_id", d.consumerAppId);
    DsMap_AddString(map, "title", d.title.c_str());
    DsMap_AddString(map, "description", d.description.c_str());
    Steam_MapAddInt64(map, "steam_id_owner", d.steamIdOwner);
    DsMap_AddReal(map, "time_created", d.timeCreated);
    DsMap_AddReal(map, "time_updated", d.timeUpdated);
    DsMap_AddReal(map, "time_added_to_user_list", d.timeAddedToUserList);
    DsMap_AddReal(map, "visibility", d.visibility);
    DsMap_AddReal(map, "banned", d.banned ? 1 : 0);
    DsMap_AddReal(map, "accepted_for_use", d.acceptedForUse ? 1 : 0);
    DsMap_AddReal(map, "tags_truncated", d.tagsTruncated ? 1 : 0);
    DsMap_AddString(map, "tags", d.tags.c_str());
    Steam_MapAddInt64(map, "handle_file", d.file);
    Steam_MapAddInt64(map, "handle_preview_file", d.previewFile);
    DsMap_AddString(map, "filename", d.fileName.c_str());
    DsMap_AddReal(map, "file_size", d.fileSize);
    DsMap_AddReal(map, "preview_file_size", d.previewFileSize);
    DsMap_AddString(map, "url", d.url.c_str());
    DsMap_AddReal(map, "votes_up", d.votesUp);
    DsMap_AddReal(map, "votes_down", d.votesDown);
    DsMap_AddReal(map, "score", static_cast<double>(d.score));
    DsMap_AddReal(map, "num_children", d.numChildren);
    DsMap_AddReal(map, "account_id_owner", static_cast<int32_t>(static_cast<uint32_t>(d.steamIdOwner)));
}

void OnQueryCompleted(int32_t id, const SteamCallResult& result, bool ioFailure) {
    const auto* done = std::get_if<SteamQueryCompleted>(&result);
    if (done == nullptr) return;
    const int32_t code = ioFailure ? 0 : done->result;
    const int32_t map = DsMap_CreateFromPairs(
        5, "id", static_cast<double>(id), nullptr, "event_type", 0.0, "ugc_query", "result",
        static_cast<double>(code), nullptr, "num_results", static_cast<double>(done->returned), nullptr,
        "total_matching", static_cast<double>(done->totalMatching), nullptr);
    Steam_MapAddInt64(map, "ugc_query_handle", done->query);
    DsMap_AddReal(map, "cached_data", done->cached ? 1 : 0);
    if (code == 1 && done->returned > 0) {
        const int32_t list = DsList_Create();
        DsMap_AddList(map, "results_list", list);
        for (uint32_t i = 0; i < done->returned; ++i) {
            SteamUGCDetails details;
            if (!Steam_Backend().GetQueryUGCResult(done->query, i, &details)) continue;
            const int32_t item = DsMap_Create();
            AddDetailsToMap(item, details);
            DsList_AddMap(list, item);
        }
    }
    Steam_Backend().ReleaseQueryUGCRequest(done->query);
    Async_PostMapEvent(map, kAsyncEventSteam);
}

void OnItemDetails(int32_t id, const SteamCallResult& result, bool ioFailure) {
    const auto* done = std::get_if<SteamItemDetails>(&result);
    if (done == nullptr) return;
    const int32_t code = ioFailure ? 0 : done->details.result;
    const int32_t map = DsMap_CreateFromPairs(4, "id", static_cast<double>(id), nullptr, "event_type", 0.0,
                                              "ugc_item_details", "result", static_cast<double>(code),
                                              nullptr, "cached_data", done->cached ? 1.0 : 0.0, nullptr);
    if (code == 1) AddDetailsToMap(map, done->details);
    Async_PostMapEvent(map, kAsyncEventSteam);
}

// Binds a call whose result becomes an event of the kind, under the id taken before the call.
template <typename Build>
void BindEvent(uint64_t call, int32_t id, Build build) {
    Steam_BindCallResult(
        call, [id, build](const SteamCallResult& result, bool ioFailure) { build(id, result, ioFailure); });
}

void OnCreateItem(int32_t id, const SteamCallResult& result, bool ioFailure) {
    const auto* done = std::get_if<SteamItemCreated>(&result);
    if (done == nullptr) return;
    const int32_t map = ResultMap("ugc_create_item", id, done->result, ioFailure);
    DsMap_AddReal(map, "legal_agreement_required", done->legalAgreementRequired ? 1 : 0);
    Steam_MapAddInt64(map, "published_file_id", done->publishedFileId);
    Async_PostMapEvent(map, kAsyncEventSteam);
}

void OnSubmitItem(int32_t id, const SteamCallResult& result, bool ioFailure) {
    const auto* done = std::get_if<SteamItemSubmitted>(&result);
    if (done == nullptr) return;
    const int32_t map = ResultMap("ugc_update_item", id, done->result, ioFailure);
    DsMap_AddReal(map, "legal_agreement_required", done->legalAgreementRequired ? 1 : 0);
    Async_PostMapEvent(map, kAsyncEventSteam);
}

void OnSubscription(const char* eventType, int32_t id, const SteamCallResult& result, bool ioFailure) {
    const auto* done = std::get_if<SteamSubscription>(&result);
    if (done == nullptr) return;
    const int32_t map = ResultMap(eventType, id, done->result, ioFailure);
    Steam_MapAddInt64(map, "published_file_id", done->publishedFileId);
    Async_PostMapEvent(map, kAsyncEventSteam);
}

void OnDownload(int32_t id, const std::string& destination, const SteamCallResult& result, bool ioFailure) {
    const auto* done = std::get_if<SteamUGCDownloaded>(&result);
    if (done == nullptr) return;
    const int32_t map = ResultMap("ugc_download", id, done->result, ioFailure);
    DsMap_AddString(map, "original_filename", done->fileName.c_str());
    DsMap_AddString(map, "dest_filename", destination.c_str());
    Steam_MapAddInt64(map, "ugc_handle", done->file);
    Async_PostMapEvent(map, kAsyncEventSteam);
}

}  // namespace

void Steam_UGC_Init() {
    g_ugcHolder = true;
    SteamBackend& steam = Steam_Backend();
    if (steam.LoggedOn())
        DebugConsole.Output("Logged in steam user id %ld\n", static_cast<long>(steam.SteamId()));
    if (!Steam_HasInterface(STEAM_UGC)) {
        DebugConsole.Output("SteamUGC is NULL, stopping init\n");
        return;
    }
    const uint32_t count = steam.NumSubscribedItems();
    DebugConsole.Output("Found %d subscribed items\n", static_cast<int32_t>(count));
    if (count == 0) return;
    std::vector<uint64_t> ids(count);
    const uint32_t returned = steam.GetSubscribedItems(ids.data(), count);
    for (uint32_t i = 0; i < returned && i < count; ++i) AllowInstalledItem(ids[i]);
}

void Steam_UGC_Shutdown() {
    g_ugcHolder = false;
}

// Notifications for another game are ignored.
void Steam_UGC_OnCallback(const SteamCallback& callback) {
    if (!g_ugcHolder) return;
    const uint32_t ownApp = Steam_Backend().AppId();
    if (const auto* subscribed = std::get_if<SteamItemSubscribed>(&callback)) {
        if (subscribed->appId != ownApp) return;
        DebugConsole.Output("Steam UGC - an item was subscribed (%ld)\n",
                            static_cast<long>(subscribed->publishedFileId));
        PostItemNote("ugc_item_subscribed", subscribed->publishedFileId);
    } else if (const auto* unsubscribed = std::get_if<SteamItemUnsubscribed>(&callback)) {
        if (unsubscribed->appId != ownApp) return;
        DebugConsole.Output("Steam UGC - an item was unsubscribed (%ld)\n",
                            static_cast<long>(unsubscribed->publishedFileId));
        PostItemNote("ugc_item_unsubscribed", unsubscribed->publishedFileId);
    } else if (const auto* installed = std::get_if<SteamItemInstalled>(&callback)) {
        if (installed->appId != ownApp) return;
        DebugConsole.Output("SteamUGC - an item was installed (%x)\n",
                            static_cast<uint32_t>(installed->publishedFileId));
        AllowInstalledItem(installed->publishedFileId);
        PostItemNote("ugc_item_installed", installed->publishedFileId);
    }
}

// --- items -------------------------------------------------------------------------------------

STEAM_BUILTIN(SteamUGCDownload) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t handle = Arg_GetHandle(args, 0);
    const std::string destination = Arg_GetStringOrEmpty(args, 1);
    const std::string location = std::string(GetSavePrePend()) + destination;
    const int32_t id = Async_TakeId();
    BindEvent(Steam_Backend().UGCDownloadToLocation(handle, location.c_str(), 0), id,
              [destination](int32_t id, const SteamCallResult& result, bool ioFailure) {
                  OnDownload(id, destination, result, ioFailure);
              });
    Result_SetReal(result, id);
}
STEAM_BUILTIN(SteamUGCCreateItem) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint32_t app = static_cast<uint32_t>(Arg_GetInt32(args, 0));
    const int32_t type = Arg_GetInt32(args, 1);
    const int32_t id = Async_TakeId();
    BindEvent(Steam_Backend().CreateItem(app, type), id, OnCreateItem);
    Result_SetReal(result, id);
}
STEAM_BUILTIN(SteamUGCStartItemUpdate) {
    if (!Steam_IsInitialised()) return;
    const uint32_t app = static_cast<uint32_t>(Arg_GetInt32(args, 0));
    result = RValue_Int64(static_cast<int64_t>(Steam_Backend().StartItemUpdate(app, Arg_GetHandle(args, 1))));
}
STEAM_BUILTIN(SteamUGCSetItemTitle) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t handle = Arg_GetHandle(args, 0);
    Result_SetFlag(result, Steam_Backend().SetItemTitle(handle, Arg_GetStringOrEmpty(args, 1)));
}
STEAM_BUILTIN(SteamUGCSetItemDescription) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t handle = Arg_GetHandle(args, 0);
    Result_SetFlag(result, Steam_Backend().SetItemDescription(handle, Arg_GetStringOrEmpty(args, 1)));
}
STEAM_BUILTIN(SteamUGCSetItemVisibility) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t handle = Arg_GetHandle(args, 0);
    Result_SetFlag(result, Steam_Backend().SetItemVisibility(handle, Arg_GetInt32(args, 1)));
}
// The strings of the array's first row; anything that is not an array holds none.
STEAM_BUILTIN(SteamUGCSetItemTags) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t handle = Arg_GetHandle(args, 0);
    std::vector<const char*> tags;
    const RValue& array = args[1];
    if (RValue_IsArray(array) && array.arr != nullptr && array.arr->rowCount > 0) {
        const ArrayRow& row = array.arr->rows[0];
        for (int32_t i = 0; i < row.length; ++i)
            if (RValue_IsString(row.items[i])) tags.push_back(RValue_GetStringText(&row.items[i]));
    }
    if (tags.empty()) return Result_SetReal(result, 0);
    Result_SetFlag(result, Steam_Backend().SetItemTags(handle, tags));
}
STEAM_BUILTIN(SteamUGCSetItemContent) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t handle = Arg_GetHandle(args, 0);
    const char* name = Arg_GetStringOrEmpty(args, 1);
    std::string path = LoadSave_GetSavePath(name);
    if (path.empty() || !File_DirectoryExists(path.c_str())) path = LoadSave_GetBundlePath(name);
    if (path.empty() || !File_DirectoryExists(path.c_str())) {
        DebugConsole.Output("ERROR:failed to find content directory %s\n", name);
        return Result_SetReal(result, 0);
    }
    DebugConsole.Output("Found content directory: %s\n", path.c_str());
    const bool set = Steam_Backend().SetItemContent(handle, path.c_str());
    DebugConsole.Output("SetItemContent result=%d\n", set ? 1 : 0);
    Result_SetFlag(result, set);
}
STEAM_BUILTIN(SteamUGCSetItemPreview) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t handle = Arg_GetHandle(args, 0);
    const char* name = Arg_GetStringOrEmpty(args, 1);
    std::string path;
    if (LoadSave_SaveFileExists(name))
        path = LoadSave_GetSavePath(name);
    else if (LoadSave_BundleFileExists(name))
        path = LoadSave_GetBundlePath(name);
    if (path.empty()) {
        DebugConsole.Output("ERROR:failed to find preview file %s\n", name);
        return Result_SetReal(result, 0);
    }
    DebugConsole.Output("found preview file: %s\n", path.c_str());
    const bool set = Steam_Backend().SetItemPreview(handle, path.c_str());
    DebugConsole.Output("SetItemPreview result=%d\n", set ? 1 : 0);
    Result_SetFlag(result, set);
}
STEAM_BUILTIN(SteamUGCSubmitItemUpdate) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t handle = Arg_GetHandle(args, 0);
    const char* note = Arg_GetStringOrEmpty(args, 1);
    const int32_t id = Async_TakeId();
    BindEvent(Steam_Backend().SubmitItemUpdate(handle, note), id, OnSubmitItem);
    Result_SetReal(result, id);
}
STEAM_BUILTIN(SteamUGCGetItemUpdateProgress) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    static const char* const kStatus[] = {"Invalid",          "PreparingConfig",      "PreparingContent",
                                          "UploadingContent", "UploadingPreviewFile", "CommittingChanges"};
    const uint64_t handle = Arg_GetHandle(args, 0);
    const int32_t map = Arg_GetInt32(args, 1);
    uint64_t processed = 0, total = 0;
    const int32_t status = Steam_Backend().GetItemUpdateProgress(handle, &processed, &total);
    if (map >= 0) {
        DsMap_Clear(map);
        DsMap_AddReal(map, "status_code", status);
        DsMap_AddString(map, "status_string", status >= 0 && status <= 5 ? kStatus[status] : "unknown");
        DsMap_AddReal(map, "bytes_processed", static_cast<double>(processed));
        DsMap_AddReal(map, "bytes_total", static_cast<double>(total));
    }
    Result_SetReal(result, 1);
}
STEAM_BUILTIN(SteamUGCSubscribeItem) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t item = Arg_GetHandle(args, 0);
    const int32_t id = Async_TakeId();
    BindEvent(Steam_Backend().SubscribeItem(item), id, [](int32_t id, const SteamCallResult& r, bool io) {
        OnSubscription("ugc_subscribe_item", id, r, io);
    });
    Result_SetReal(result, id);
}
STEAM_BUILTIN(SteamUGCUnsubscribeItem) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t item = Arg_GetHandle(args, 0);
    const int32_t id = Async_TakeId();
    BindEvent(Steam_Backend().UnsubscribeItem(item), id, [](int32_t id, const SteamCallResult& r, bool io) {
        OnSubscription("ugc_unsubscribe_item", id, r, io);
    });
    Result_SetReal(result, id);
}
STEAM_BUILTIN(SteamUGCNumSubscribedItems) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetUnsigned(result, Steam_Backend().NumSubscribedItems());
}
STEAM_BUILTIN(SteamUGCGetSubscribedItems) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const int32_t list = Arg_GetInt32(args, 0);
    const uint32_t count = Steam_Backend().NumSubscribedItems();
    if (list < 0) return Result_SetReal(result, 0);
    DsList_Clear(list);
    if (count == 0) return Result_SetReal(result, 0);
    std::vector<uint64_t> ids(count);
    const uint32_t returned = std::min(Steam_Backend().GetSubscribedItems(ids.data(), count), count);
    for (uint32_t i = 0; i < returned; ++i)
        DsList_AddInt64(list, static_cast<int32_t>(ids[i] & 0xFFFFFFFFu), static_cast<int32_t>(ids[i] >> 32));
    Result_SetReal(result, returned);
}
STEAM_BUILTIN(SteamUGCGetItemInstallInfo) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t item = Arg_GetHandle(args, 0);
    const int32_t map = Arg_GetInt32(args, 1);
    const uint32_t state = Steam_Backend().GetItemState(item);
    uint64_t size = 0;
    std::string folder;
    uint32_t stamp = 0;
    const bool had = Steam_Backend().GetItemInstallInfo(item, &size, &folder, &stamp);
    if (map >= 0) {
        DsMap_Clear(map);
        if (had) {
            DsMap_AddReal(map, "size_on_disk", static_cast<double>(size));
            DsMap_AddReal(map, "legacy_item", (state & kItemLegacy) ? 1 : 0);
            DsMap_AddString(map, "folder", folder.c_str());
        }
    }
    if (had) AllowFolder(folder, state);
    Result_SetFlag(result, had);
}
STEAM_BUILTIN(SteamUGCGetItemUpdateInfo) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t item = Arg_GetHandle(args, 0);
    const int32_t map = Arg_GetInt32(args, 1);
    uint64_t downloaded = 0, total = 0;
    const bool had = Steam_Backend().GetItemDownloadInfo(item, &downloaded, &total);
    const uint32_t state = Steam_Backend().GetItemState(item);
    if (map >= 0) {
        DsMap_Clear(map);
        if (had) {
            auto flag = [state](uint32_t bit) { return (state & bit) ? 1.0 : 0.0; };
            DsMap_AddReal(map, "needs_update", flag(kItemNeedsUpdate));
            DsMap_AddReal(map, "is_downloading", flag(kItemDownloading));
            DsMap_AddReal(map, "bytes_downloaded", static_cast<double>(downloaded));
            DsMap_AddReal(map, "bytes_total", static_cast<double>(total));
            DsMap_AddReal(map, "is_legacy", flag(kItemLegacy));
            DsMap_AddReal(map, "is_download_pending", flag(kItemDownloadPending));
            DsMap_AddReal(map, "is_installed", flag(kItemInstalled));
        }
    }
    Result_SetFlag(result, had);
}

// --- queries -----------------------------------------------------------------------------------

STEAM_BUILTIN(SteamUGCRequestItemDetails) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t item = Arg_GetHandle(args, 0);
    const uint32_t maxAge = static_cast<uint32_t>(Arg_GetInt32(args, 1));
    const int32_t id = Async_TakeId();
    BindEvent(Steam_Backend().RequestUGCDetails(item, maxAge), id, OnItemDetails);
    Result_SetReal(result, id);
}
STEAM_BUILTIN(SteamUGCCreateQueryUser) {
    if (!Steam_IsInitialised()) {
        result = RValue_Int64(-1);
        return;
    }
    int32_t v[4];
    for (int32_t n = 0; n < 4; ++n) v[n] = Arg_GetInt32(args, n);
    SteamBackend& steam = Steam_Backend();
    const uint64_t query =
        steam.CreateQueryUserUGCRequest(static_cast<uint32_t>(steam.SteamId()), v[0], v[1], v[2], 0,
                                        steam.AppId(), static_cast<uint32_t>(v[3]));
    result = RValue_Int64(static_cast<int64_t>(query));
}
STEAM_BUILTIN(SteamUGCCreateQueryUserEx) {
    if (!Steam_IsInitialised()) {
        result = RValue_Int64(-1);
        return;
    }
    int32_t v[7];
    for (int32_t n = 0; n < 7; ++n) v[n] = Arg_GetInt32(args, n);
    const uint64_t query = Steam_Backend().CreateQueryUserUGCRequest(
        static_cast<uint32_t>(v[4]), v[0], v[1], v[2], static_cast<uint32_t>(v[5]),
        static_cast<uint32_t>(v[6]), static_cast<uint32_t>(v[3]));
    result = RValue_Int64(static_cast<int64_t>(query));
}
STEAM_BUILTIN(SteamUGCCreateQueryAll) {
    if (!Steam_IsInitialised()) {
        result = RValue_Int64(-1);
        return;
    }
    int32_t v[3];
    for (int32_t n = 0; n < 3; ++n) v[n] = Arg_GetInt32(args, n);
    const uint64_t query = Steam_Backend().CreateQueryAllUGCRequest(v[0], v[1], 0, Steam_Backend().AppId(),
                                                                    static_cast<uint32_t>(v[2]));
    result = RValue_Int64(static_cast<int64_t>(query));
}
STEAM_BUILTIN(SteamUGCCreateQueryAllEx) {
    if (!Steam_IsInitialised()) {
        result = RValue_Int64(-1);
        return;
    }
    int32_t v[5];
    for (int32_t n = 0; n < 5; ++n) v[n] = Arg_GetInt32(args, n);
    const uint64_t query = Steam_Backend().CreateQueryAllUGCRequest(
        v[0], v[1], static_cast<uint32_t>(v[3]), static_cast<uint32_t>(v[4]), static_cast<uint32_t>(v[2]));
    result = RValue_Int64(static_cast<int64_t>(query));
}

#define STEAM_QUERY_SETTER(name, call, read) \
    STEAM_BUILTIN(name) { \
        if (!Steam_IsInitialised()) return Result_SetReal(result, -1); \
        const uint64_t query = Arg_GetHandle(args, 0); \
        Result_SetFlag(result, Steam_Backend().call(query, read(args, 1))); \
    }

namespace {
bool ArgFlag(RValue* args, int32_t n) {
    return Arg_GetInt32(args, n) != 0;
}
uint32_t ArgCount(RValue* args, int32_t n) {
    return static_cast<uint32_t>(Arg_GetInt32(args, n));
}
}  // namespace

STEAM_QUERY_SETTER(SteamUGCQuerySetCloudFilenameFilter, SetCloudFileNameFilter, Arg_GetStringOrEmpty)
STEAM_QUERY_SETTER(SteamUGCQuerySetMatchAnyTag, SetMatchAnyTag, ArgFlag)
STEAM_QUERY_SETTER(SteamUGCQuerySetSearchText, SetSearchText, Arg_GetStringOrEmpty)
STEAM_QUERY_SETTER(SteamUGCQuerySetRankedByTrendDays, SetRankedByTrendDays, ArgCount)
STEAM_QUERY_SETTER(SteamUGCQueryAddRequiredTag, AddRequiredTag, Arg_GetStringOrEmpty)
STEAM_QUERY_SETTER(SteamUGCQueryAddExcludedTag, AddExcludedTag, Arg_GetStringOrEmpty)
STEAM_QUERY_SETTER(SteamUGCQuerySetReturnLongDescription, SetReturnLongDescription, ArgFlag)
STEAM_QUERY_SETTER(SteamUGCQuerySetReturnTotalOnly, SetReturnTotalOnly, ArgFlag)
STEAM_QUERY_SETTER(SteamUGCQuerySetAllowCachedResponse, SetAllowCachedResponse, ArgCount)

STEAM_BUILTIN(SteamUGCSendQuery) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const uint64_t query = Arg_GetHandle(args, 0);
    const int32_t id = Async_TakeId();
    BindEvent(Steam_Backend().SendQueryUGCRequest(query), id, OnQueryCompleted);
    Result_SetReal(result, id);
}
