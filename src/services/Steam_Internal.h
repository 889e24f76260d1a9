// Shared by the files of the Steam wrapper: the back end in use, the interface slots, the
// binding of call results to their handlers, and the sub-wrappers' starts, shutdowns and
// notification handlers.
#pragma once

#include <cstdint>
#include <functional>

#include "core/Value.h"
#include "services/Steam_Backend.h"

class CInstance;

// The interfaces the client handed out, in the order they are asked for.
enum SteamInterfaceSlot : int32_t {
    STEAM_USER,
    STEAM_FRIENDS,
    STEAM_UTILS,
    STEAM_MATCHMAKING,
    STEAM_USER_STATS,
    STEAM_APPS,
    STEAM_MATCHMAKING_SERVERS,
    STEAM_NETWORKING,
    STEAM_REMOTE_STORAGE,
    STEAM_SCREENSHOTS,
    STEAM_HTTP,
    STEAM_UNIFIED_MESSAGES,
    STEAM_CONTROLLER,
    STEAM_UGC,
    STEAM_APP_LIST,
    STEAM_MUSIC,
    STEAM_MUSIC_REMOTE,
    STEAM_HTML_SURFACE,
    STEAM_INVENTORY,
    STEAM_VIDEO,
    STEAM_INTERFACE_COUNT
};
bool Steam_HasInterface(SteamInterfaceSlot slot);

// A call result's handler: runs once with the result and the I/O-failure flag, then is gone.
using SteamResultHandler = std::function<void(const SteamCallResult& result, bool ioFailure)>;
// Binds the handler to the call handle; a handle of 0 is never bound (no result will come).
void Steam_BindCallResult(uint64_t call, SteamResultHandler handler);

// The 64-bit value as the (low, high) halves the map helpers take.
void Steam_MapAddInt64(int32_t map, const char* key, uint64_t value);
// Whether a notification's 64-bit game id is this game's: the app id, high half 0.
bool Steam_IsOwnGame(uint64_t gameId);

// Sub-wrappers (Steam_UserStats.cpp, Steam_RemoteStorage.cpp, Steam_Friends.cpp, Steam_UGC.cpp).
void Steam_UserStats_Init();
void Steam_UserStats_Shutdown();
void Steam_StoreStatsIfDirty();
void Steam_UserStats_OnCallback(const SteamCallback& callback);
void Steam_RemoteStorage_Init();
void Steam_RemoteStorage_Shutdown();
void Steam_Screenshots_Init();
void Steam_Screenshots_Shutdown();
void Steam_Friends_Init();
void Steam_Friends_Shutdown();
void Steam_Friends_OnCallback(const SteamCallback& callback);
void Steam_UGC_Init();
void Steam_UGC_Shutdown();
void Steam_UGC_OnCallback(const SteamCallback& callback);

// --- built-ins -------------------------------------------------------------------------------
// Each steam_* built-in first tests Steam_IsInitialised and, while Steam is not running, gives
// its fixed answer without reading its arguments.

#define STEAM_BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

// Steam_Friends.cpp
STEAM_BUILTIN(SteamActivateOverlay);
STEAM_BUILTIN(SteamIsOverlayEnabled);
STEAM_BUILTIN(SteamIsOverlayActivated);
STEAM_BUILTIN(SteamGetPersonaName);
STEAM_BUILTIN(SteamIsScreenshotRequested);
STEAM_BUILTIN(SteamSendScreenshot);
STEAM_BUILTIN(SteamIsUserLoggedOn);
STEAM_BUILTIN(SteamGetUserSteamId);
STEAM_BUILTIN(SteamCurrentGameLanguage);
STEAM_BUILTIN(SteamAvailableLanguages);
STEAM_BUILTIN(SteamActivateOverlayBrowser);
STEAM_BUILTIN(SteamActivateOverlayUser);
STEAM_BUILTIN(SteamActivateOverlayStore);
STEAM_BUILTIN(SteamGetUserPersonaName);
STEAM_BUILTIN(SteamGetAppId);
STEAM_BUILTIN(SteamGetUserAccountId);
// Steam_RemoteStorage.cpp
STEAM_BUILTIN(SteamIsCloudEnabledForApp);
STEAM_BUILTIN(SteamIsCloudEnabledForAccount);
STEAM_BUILTIN(SteamFilePersisted);
STEAM_BUILTIN(SteamGetQuotaTotal);
STEAM_BUILTIN(SteamGetQuotaFree);
STEAM_BUILTIN(SteamFileWrite);
STEAM_BUILTIN(SteamFileWriteFile);
STEAM_BUILTIN(SteamFileRead);
STEAM_BUILTIN(SteamFileDelete);
STEAM_BUILTIN(SteamFileExists);
STEAM_BUILTIN(SteamFileSize);
STEAM_BUILTIN(SteamFileShare);
STEAM_BUILTIN(SteamPublishWorkshopFile);
// Steam_UGC.cpp
STEAM_BUILTIN(SteamUGCDownload);
STEAM_BUILTIN(SteamUGCCreateItem);
STEAM_BUILTIN(SteamUGCStartItemUpdate);
STEAM_BUILTIN(SteamUGCSetItemTitle);
STEAM_BUILTIN(SteamUGCSetItemDescription);
STEAM_BUILTIN(SteamUGCSetItemVisibility);
STEAM_BUILTIN(SteamUGCSetItemTags);
STEAM_BUILTIN(SteamUGCSetItemContent);
STEAM_BUILTIN(SteamUGCSetItemPreview);
STEAM_BUILTIN(SteamUGCSubmitItemUpdate);
STEAM_BUILTIN(SteamUGCGetItemUpdateProgress);
STEAM_BUILTIN(SteamUGCSubscribeItem);
STEAM_BUILTIN(SteamUGCUnsubscribeItem);
STEAM_BUILTIN(SteamUGCNumSubscribedItems);
STEAM_BUILTIN(SteamUGCGetSubscribedItems);
STEAM_BUILTIN(SteamUGCGetItemInstallInfo);
STEAM_BUILTIN(SteamUGCGetItemUpdateInfo);
STEAM_BUILTIN(SteamUGCRequestItemDetails);
STEAM_BUILTIN(SteamUGCCreateQueryUser);
STEAM_BUILTIN(SteamUGCCreateQueryUserEx);
STEAM_BUILTIN(SteamUGCCreateQueryAll);
STEAM_BUILTIN(SteamUGCCreateQueryAllEx);
STEAM_BUILTIN(SteamUGCQuerySetCloudFilenameFilter);
STEAM_BUILTIN(SteamUGCQuerySetMatchAnyTag);
STEAM_BUILTIN(SteamUGCQuerySetSearchText);
STEAM_BUILTIN(SteamUGCQuerySetRankedByTrendDays);
STEAM_BUILTIN(SteamUGCQueryAddRequiredTag);
STEAM_BUILTIN(SteamUGCQueryAddExcludedTag);
STEAM_BUILTIN(SteamUGCQuerySetReturnLongDescription);
STEAM_BUILTIN(SteamUGCQuerySetReturnTotalOnly);
STEAM_BUILTIN(SteamUGCQuerySetAllowCachedResponse);
STEAM_BUILTIN(SteamUGCSendQuery);

// The answers of a built-in while Steam is not running.
inline void Steam_AnswerText(RValue& result, const char* text) {
    RValue_SetString(&result, text);
}
