// The small Steam services: the overlay, persona names, screenshots the game takes over from
// Steam, the user's identity, the app id and the game's languages.
#include <string>

#include "core/Console.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "io/HTTP_Main.h"
#include "io/LoadSave.h"
#include "services/Steam_Internal.h"
#include "services/Steam_Main.h"

namespace {

bool g_friendsHolder = false;
bool g_overlayActive = false;
bool g_screenshotsHolder = false;
bool g_screenshotRequested = false;

const char* const kOverlayDialogs[] = {"Friends",  "Community",         "Players",
                                       "Settings", "OfficialGameGroup", "Achievements"};

// A name in the save area, else in the bundle; empty when it is in neither.
std::string FindLocalFile(const char* name) {
    if (LoadSave_SaveFileExists(name)) return LoadSave_GetSavePath(name);
    if (LoadSave_BundleFileExists(name)) return LoadSave_GetBundlePath(name);
    return {};
}

}  // namespace

void Steam_Friends_Init() {
    g_friendsHolder = true;
    g_overlayActive = false;
}

void Steam_Friends_Shutdown() {
    g_friendsHolder = false;
}

void Steam_Screenshots_Init() {
    g_screenshotsHolder = true;
    g_screenshotRequested = false;
    Steam_Backend().HookScreenshots(true);
}

void Steam_Screenshots_Shutdown() {
    g_screenshotsHolder = false;
}

void Steam_Friends_OnCallback(const SteamCallback& callback) {
    if (const auto* overlay = std::get_if<SteamOverlayActivated>(&callback)) {
        if (!g_friendsHolder) return;
        g_overlayActive = overlay->active;
        DebugConsole.Output(overlay->active ? "Steam overlay now active\n" : "Steam overlay now inactive\n");
    } else if (std::holds_alternative<SteamScreenshotRequested>(callback)) {
        if (g_screenshotsHolder) g_screenshotRequested = true;
    }
}

// The index is read before the running test, so a wrong type is reported either way.
STEAM_BUILTIN(SteamActivateOverlay) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    if (index < 0 || index > 5 || !Steam_HasInterface(STEAM_FRIENDS)) return Result_SetReal(result, 0);
    Steam_Backend().ActivateOverlay(kOverlayDialogs[index]);
    Result_SetReal(result, 1);
}
STEAM_BUILTIN(SteamIsOverlayEnabled) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, Steam_HasInterface(STEAM_UTILS) && Steam_Backend().OverlayEnabled());
}
STEAM_BUILTIN(SteamIsOverlayActivated) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, g_friendsHolder && g_overlayActive);
}
STEAM_BUILTIN(SteamGetPersonaName) {
    if (!Steam_IsInitialised()) return Steam_AnswerText(result, "");
    if (!Steam_HasInterface(STEAM_FRIENDS)) return Steam_AnswerText(result, "Unknown");
    Steam_AnswerText(result, Steam_Backend().PersonaName().c_str());
}
STEAM_BUILTIN(SteamIsScreenshotRequested) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, g_screenshotRequested);
    g_screenshotRequested = false;
}
STEAM_BUILTIN(SteamSendScreenshot) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetString(args, 0);
    const int32_t width = Arg_GetInt32(args, 1);
    const int32_t height = Arg_GetInt32(args, 2);
    const std::string path = FindLocalFile(name);
    if (path.empty()) {
        DebugConsole.Output("steam_send_screenshot: failed to find file %s\n", name);
        return Result_SetReal(result, -1);
    }
    Result_SetUnsigned(result, Steam_Backend().AddScreenshotToLibrary(path.c_str(), nullptr, width, height));
}
STEAM_BUILTIN(SteamIsUserLoggedOn) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, Steam_Backend().LoggedOn());
}
STEAM_BUILTIN(SteamGetUserSteamId) {
    if (!Steam_IsInitialised()) {
        result = RValue_Int64(-1);
        return;
    }
    result = RValue_Int64(static_cast<int64_t>(Steam_Backend().SteamId()));
}
STEAM_BUILTIN(SteamCurrentGameLanguage) {
    if (!Steam_IsInitialised()) return Steam_AnswerText(result, "");
    Steam_AnswerText(result, Steam_Backend().CurrentGameLanguage().c_str());
}
STEAM_BUILTIN(SteamAvailableLanguages) {
    if (!Steam_IsInitialised()) return Steam_AnswerText(result, "");
    Steam_AnswerText(result, Steam_Backend().AvailableGameLanguages().c_str());
}
STEAM_BUILTIN(SteamActivateOverlayBrowser) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, 0);
    Steam_Backend().ActivateOverlayToWebPage(Arg_GetString(args, 0));
    Result_SetReal(result, 1);
}
STEAM_BUILTIN(SteamActivateOverlayUser) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, 0);
    const char* dialog = Arg_GetString(args, 0);
    Steam_Backend().ActivateOverlayToUser(dialog, static_cast<uint64_t>(Arg_GetInt64(args, 1)));
    Result_SetReal(result, 1);
}
STEAM_BUILTIN(SteamActivateOverlayStore) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, 0);
    Steam_Backend().ActivateOverlayToStore(static_cast<uint32_t>(Arg_GetInt32(args, 0)), 0);
    Result_SetReal(result, 1);
}

// A name at hand is posted at once as a "user_persona_name" event; one still to be fetched
// answers an id that no event follows.
STEAM_BUILTIN(SteamGetUserPersonaName) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, 0);
    const uint64_t user = static_cast<uint64_t>(Arg_GetInt64(args, 0));
    if (Steam_Backend().RequestUserInformation(user, true)) return Result_SetReal(result, Async_TakeId());
    const int32_t id = Async_TakeId();
    const std::string name = Steam_Backend().FriendPersonaName(user);
    const int32_t map =
        DsMap_CreateFromPairs(3, "event_type", 0.0, "user_persona_name", "id", static_cast<double>(id),
                              nullptr, "persona_name", 0.0, name.c_str());
    Steam_MapAddInt64(map, "steamid", user);
    Async_PostMapEvent(map, kAsyncEventSteam);
    Result_SetReal(result, id);
}
STEAM_BUILTIN(SteamGetAppId) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetUnsigned(result, Steam_Backend().AppId());
}
STEAM_BUILTIN(SteamGetUserAccountId) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetUnsigned(result, static_cast<uint32_t>(Steam_Backend().SteamId()));
}
