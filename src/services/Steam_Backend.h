// What the Steam wrapper asks of the store client's library, as one small interface. The library
// is loaded at run time only; where it is absent (always, on this machine) the "not present" back
// end answers, and the wrapper logs why it could not start. Tests put a back end of their own in
// its place.
//
// The shape follows the library's: an asynchronous call answers a 64-bit call handle (0: the call
// was not made), and its result arrives later, inside RunCallbacks, through the sink together with
// that handle and an I/O-failure flag. Notifications (callbacks) arrive through the same sink.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// --- call results ------------------------------------------------------------------------

struct SteamLeaderboardFound {
    uint64_t leaderboard = 0;
    bool found = false;
};
struct SteamScoreUploaded {
    bool success = false;
    uint64_t leaderboard = 0;
    int32_t score = 0;
    bool changed = false;
};
struct SteamScoresDownloaded {
    uint64_t leaderboard = 0;
    uint64_t entries = 0;
    int32_t count = 0;
};
struct SteamFileShared {
    int32_t result = 0;
};
struct SteamFilePublished {
    int32_t result = 0;
    uint64_t publishedFileId = 0;
};
struct SteamItemCreated {
    int32_t result = 0;
    uint64_t publishedFileId = 0;
    bool legalAgreementRequired = false;
};
struct SteamItemSubmitted {
    int32_t result = 0;
    bool legalAgreementRequired = false;
};
// Subscribing and unsubscribing answer the same record.
struct SteamSubscription {
    int32_t result = 0;
    uint64_t publishedFileId = 0;
};
struct SteamUGCDownloaded {
    int32_t result = 0;
    uint64_t file = 0;
    std::string fileName;
};
struct SteamQueryCompleted {
    uint64_t query = 0;
    int32_t result = 0;
    uint32_t returned = 0;
    uint32_t totalMatching = 0;
    bool cached = false;
};
// One workshop item as the library describes it.
struct SteamUGCDetails {
    uint64_t publishedFileId = 0;
    int32_t result = 0;
    int32_t fileType = 0;
    uint32_t creatorAppId = 0;
    uint32_t consumerAppId = 0;
    std::string title;
    std::string description;
    uint64_t steamIdOwner = 0;
    uint32_t timeCreated = 0;
    uint32_t timeUpdated = 0;
    uint32_t timeAddedToUserList = 0;
    int32_t visibility = 0;
    bool banned = false;
    bool acceptedForUse = false;
    bool tagsTruncated = false;
    std::string tags;
    uint64_t file = 0;
    uint64_t previewFile = 0;
    std::string fileName;
    int32_t fileSize = 0;
    int32_t previewFileSize = 0;
    std::string url;
    uint32_t votesUp = 0;
    uint32_t votesDown = 0;
    float score = 0;
    uint32_t numChildren = 0;
};
struct SteamItemDetails {
    SteamUGCDetails details;
    bool cached = false;
};

using SteamCallResult =
    std::variant<SteamLeaderboardFound, SteamScoreUploaded, SteamScoresDownloaded, SteamFileShared,
                 SteamFilePublished, SteamItemCreated, SteamItemSubmitted, SteamSubscription,
                 SteamUGCDownloaded, SteamQueryCompleted, SteamItemDetails>;

// --- notifications -----------------------------------------------------------------------

struct SteamStatsReceived {
    uint64_t gameId = 0;
    int32_t result = 0;
};
struct SteamStatsStored {
    uint64_t gameId = 0;
    int32_t result = 0;
};
struct SteamAchievementStored {
    uint64_t gameId = 0;
};
struct SteamOverlayActivated {
    bool active = false;
};
struct SteamScreenshotRequested {};
struct SteamItemSubscribed {
    uint32_t appId = 0;
    uint64_t publishedFileId = 0;
};
struct SteamItemUnsubscribed {
    uint32_t appId = 0;
    uint64_t publishedFileId = 0;
};
struct SteamItemInstalled {
    uint32_t appId = 0;
    uint64_t publishedFileId = 0;
};

using SteamCallback =
    std::variant<SteamStatsReceived, SteamStatsStored, SteamAchievementStored, SteamOverlayActivated,
                 SteamScreenshotRequested, SteamItemSubscribed, SteamItemUnsubscribed, SteamItemInstalled>;

// Where RunCallbacks delivers, on the calling (main) thread.
class SteamCallbackSink {
public:
    virtual void OnCallback(const SteamCallback& callback) = 0;
    virtual void OnCallResult(uint64_t call, const SteamCallResult& result, bool ioFailure) = 0;

protected:
    ~SteamCallbackSink() = default;
};

// One downloaded leaderboard entry.
struct SteamLeaderboardEntry {
    uint64_t steamId = 0;
    int32_t globalRank = 0;
    int32_t score = 0;
    int32_t details = 0;
    uint64_t ugc = 0;
};

// --- the library -------------------------------------------------------------------------

// Every call answers what the library answers when it cannot serve: false, 0, empty. A back end
// overrides what it serves.
class SteamBackend {
public:
    virtual ~SteamBackend() = default;

    // Loading and binding. LoadLibrary's error is the loader's code; HasExport says whether an
    // export of that name was found.
    virtual bool LoadLibrary(int32_t* error) {
        *error = 0;
        return false;
    }
    virtual bool HasExport(const char*) { return false; }
    virtual int32_t LastError() { return 0; }
    virtual void FreeLibrary() {}
    virtual bool InitSafe() { return false; }
    // Whether the client hands out the interface of that version.
    virtual bool GetInterface(const char*) { return false; }
    virtual void SetWarningHook(void (*)(int32_t severity, const char* text)) {}
    virtual void RunCallbacks(SteamCallbackSink&) {}
    virtual void Shutdown() {}

    // user, utils, apps
    virtual bool LoggedOn() { return false; }
    virtual uint64_t SteamId() { return 0; }
    virtual uint32_t AppId() { return 0; }
    virtual bool OverlayEnabled() { return false; }
    virtual std::string CurrentGameLanguage() { return {}; }
    virtual std::string AvailableGameLanguages() { return {}; }

    // user stats
    virtual bool RequestCurrentStats() { return false; }
    virtual bool SetAchievement(const char*) { return false; }
    virtual bool ClearAchievement(const char*) { return false; }
    virtual bool GetAchievement(const char*, bool*) { return false; }
    virtual bool SetStatInt(const char*, int32_t) { return false; }
    virtual bool SetStatFloat(const char*, float) { return false; }
    virtual bool UpdateAvgRateStat(const char*, float, double) { return false; }
    virtual bool GetStatInt(const char*, int32_t*) { return false; }
    virtual bool GetStatFloat(const char*, float*) { return false; }
    virtual bool ResetAllStats(bool /*achievementsToo*/) { return false; }
    virtual bool StoreStats() { return false; }

    // leaderboards
    virtual uint64_t FindLeaderboard(const char*) { return 0; }
    virtual uint64_t FindOrCreateLeaderboard(const char*, int32_t /*sort*/, int32_t /*display*/) { return 0; }
    virtual std::string LeaderboardName(uint64_t) { return {}; }
    virtual uint64_t UploadLeaderboardScore(uint64_t, int32_t /*method*/, int32_t /*score*/, const int32_t*,
                                            int32_t /*count*/) {
        return 0;
    }
    virtual uint64_t DownloadLeaderboardEntries(uint64_t, int32_t /*kind*/, int32_t, int32_t) { return 0; }
    virtual bool GetDownloadedLeaderboardEntry(uint64_t /*entries*/, int32_t /*index*/,
                                               SteamLeaderboardEntry*, int32_t* /*details*/,
                                               int32_t /*max*/) {
        return false;
    }

    // friends and overlay
    virtual std::string PersonaName() { return {}; }
    virtual std::string FriendPersonaName(uint64_t) { return {}; }
    virtual bool RequestUserInformation(uint64_t, bool /*nameOnly*/) { return false; }
    virtual void ActivateOverlay(const char*) {}
    virtual void ActivateOverlayToWebPage(const char*) {}
    virtual void ActivateOverlayToUser(const char*, uint64_t) {}
    virtual void ActivateOverlayToStore(uint32_t, int32_t /*flag*/) {}

    // screenshots
    virtual bool HookScreenshots(bool) { return false; }
    virtual uint32_t AddScreenshotToLibrary(const char*, const char* /*thumbnail*/, int32_t, int32_t) {
        return 0xFFFFFFFFu;
    }

    // remote storage
    virtual bool IsCloudEnabledForApp() { return false; }
    virtual bool IsCloudEnabledForAccount() { return false; }
    virtual bool GetQuota(int32_t* total, int32_t* available) {
        *total = *available = 0;
        return false;
    }
    virtual bool FileExists(const char*) { return false; }
    virtual bool FilePersisted(const char*) { return false; }
    virtual int32_t FileSize(const char*) { return 0; }
    virtual bool FileDelete(const char*) { return false; }
    virtual bool FileForget(const char*) { return false; }
    virtual bool FileWrite(const char*, const void*, int32_t) { return false; }
    virtual bool SetSyncPlatforms(const char*, int32_t) { return false; }
    virtual int32_t FileRead(const char*, void*, int32_t) { return 0; }
    virtual uint64_t FileShare(const char*) { return 0; }
    virtual uint64_t PublishWorkshopFile(const char* /*file*/, const char* /*preview*/, uint32_t /*app*/,
                                         const char* /*title*/, const char* /*description*/) {
        return 0;
    }
    virtual uint64_t UGCDownloadToLocation(uint64_t, const char*, int32_t /*priority*/) { return 0; }

    // workshop items
    virtual uint64_t CreateItem(uint32_t, int32_t) { return 0; }
    virtual uint64_t StartItemUpdate(uint32_t, uint64_t) { return 0; }
    virtual bool SetItemTitle(uint64_t, const char*) { return false; }
    virtual bool SetItemDescription(uint64_t, const char*) { return false; }
    virtual bool SetItemVisibility(uint64_t, int32_t) { return false; }
    virtual bool SetItemTags(uint64_t, const std::vector<const char*>&) { return false; }
    virtual bool SetItemContent(uint64_t, const char*) { return false; }
    virtual bool SetItemPreview(uint64_t, const char*) { return false; }
    virtual uint64_t SubmitItemUpdate(uint64_t, const char*) { return 0; }
    virtual int32_t GetItemUpdateProgress(uint64_t, uint64_t* processed, uint64_t* total) {
        *processed = *total = 0;
        return 0;
    }
    virtual uint64_t SubscribeItem(uint64_t) { return 0; }
    virtual uint64_t UnsubscribeItem(uint64_t) { return 0; }
    virtual uint32_t NumSubscribedItems() { return 0; }
    virtual uint32_t GetSubscribedItems(uint64_t*, uint32_t) { return 0; }
    virtual uint32_t GetItemState(uint64_t) { return 0; }
    virtual bool GetItemInstallInfo(uint64_t, uint64_t* /*size*/, std::string* /*folder*/,
                                    uint32_t* /*stamp*/) {
        return false;
    }
    virtual bool GetItemDownloadInfo(uint64_t, uint64_t* downloaded, uint64_t* total) {
        *downloaded = *total = 0;
        return false;
    }

    // workshop queries
    virtual uint64_t CreateQueryUserUGCRequest(uint32_t /*account*/, int32_t /*list*/, int32_t /*match*/,
                                               int32_t /*sort*/, uint32_t /*creator*/, uint32_t /*consumer*/,
                                               uint32_t /*page*/) {
        return 0;
    }
    virtual uint64_t CreateQueryAllUGCRequest(int32_t /*query*/, int32_t /*match*/, uint32_t /*creator*/,
                                              uint32_t /*consumer*/, uint32_t /*page*/) {
        return 0;
    }
    virtual bool SetCloudFileNameFilter(uint64_t, const char*) { return false; }
    virtual bool SetMatchAnyTag(uint64_t, bool) { return false; }
    virtual bool SetSearchText(uint64_t, const char*) { return false; }
    virtual bool SetRankedByTrendDays(uint64_t, uint32_t) { return false; }
    virtual bool AddRequiredTag(uint64_t, const char*) { return false; }
    virtual bool AddExcludedTag(uint64_t, const char*) { return false; }
    virtual bool SetReturnLongDescription(uint64_t, bool) { return false; }
    virtual bool SetReturnTotalOnly(uint64_t, bool) { return false; }
    virtual bool SetAllowCachedResponse(uint64_t, uint32_t) { return false; }
    virtual uint64_t SendQueryUGCRequest(uint64_t) { return 0; }
    virtual bool GetQueryUGCResult(uint64_t, uint32_t, SteamUGCDetails*) { return false; }
    virtual bool ReleaseQueryUGCRequest(uint64_t) { return false; }
    virtual uint64_t RequestUGCDetails(uint64_t, uint32_t /*maxAge*/) { return 0; }
};

// The back end Steam_Init uses: the one given, or (null) the real one, which finds no library
// here. The caller keeps ownership.
void Steam_SetBackend(SteamBackend* backend);
SteamBackend& Steam_Backend();
