// Opening URLs and files in the desktop's handler, the operating-system and configuration
// queries, analytics, the release mode, and starting another game in the same process.
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "base/Error_Report.h"
#include "base/GEN8.h"
#include "base/Runner.h"
#include "core/Console.h"
#include "core/RunSwitches.h"
#include "core/Timing.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "io/LoadSave.h"
#include "platform/Display.h"
#include "platform/PlatformOS.h"
#include "services/Pell_Functions_Internal.h"

namespace {

constexpr size_t kFileUrlCapacity = 1024;

// The two-letter (or longer) language codes the runner answers; any other language is "--".
const char* const kLanguageCodes[] = {
    "af",  "sq", "gsw", "am",  "ar", "hy",  "as", "az",  "ba",  "eu",  "be",  "bn", "br",  "bg",  "ku",
    "chr", "ca", "zh",  "co",  "hr", "cs",  "da", "prs", "dv",  "nl",  "en",  "et", "fo",  "fil", "fi",
    "fr",  "fy", "gl",  "ka",  "de", "el",  "kl", "gu",  "ha",  "haw", "he",  "hi", "hu",  "is",  "ig",
    "id",  "iu", "ga",  "xh",  "zu", "it",  "ja", "kn",  "kk",  "kh",  "qut", "rw", "kok", "ko",  "ky",
    "lo",  "lv", "lt",  "dsb", "lb", "mk",  "ms", "ml",  "mt",  "mi",  "arn", "mr", "moh", "mn",  "ne",
    "no",  "oc", "or",  "ps",  "pl", "pt",  "ff", "pa",  "quz", "ro",  "rm",  "ru", "sah", "smn", "sa",
    "nso", "tn", "si",  "sk",  "sl", "es",  "sw", "sv",  "syr", "tg",  "tzm", "ta", "tt",  "te",  "th",
    "bo",  "ti", "tr",  "tk",  "uk", "hsb", "ur", "ug",  "uz",  "vi",  "cy",  "wo", "ii",  "yo",
};

// "\" becomes "/", and a doubled slash loses one unless a colon stands before it, so the two
// after a scheme stay.
std::string TidyUrl(const char* text) {
    std::string url(text);
    for (char& c : url) {
        if (c == '\\') c = '/';
    }
    for (size_t i = 0; i + 1 < url.size();) {
        if (url[i] == '/' && url[i + 1] == '/' && (i == 0 || url[i - 1] != ':')) {
            url.erase(i, 1);
        } else {
            ++i;
        }
    }
    return url;
}

// The desktop's handler: 0 when it was started, else 1 with the failure reported.
double OpenURL(const char* text) {
    if (PlatformOS_OpenWithHandler(TidyUrl(text))) return 0;
    Error_Report("Could not launch openUrl", false);
    return 1;
}

// A saved file wins over a bundled one; empty when the name is in neither. Paths here are
// absolute, so "file:" and the path give the "file:/" form.
bool FileUrl(const char* name, std::string* url) {
    std::string path;
    if (LoadSave_SaveFileExists(name)) {
        path = LoadSave_GetSavePath(name);
    } else if (LoadSave_BundleFileExists(name)) {
        path = LoadSave_GetBundlePath(name);
    } else {
        return false;
    }
    *url = path.empty() ? std::string() : "file:" + path;
    if (url->size() >= kFileUrlCapacity) url->clear();
    return true;
}

PELL_BUILTIN(UrlOpen) {
    Result_SetReal(result, 0);
    if (argc != 1) {
        Error_Report("Illegal argument count", false);
        return;
    }
    if (!RValue_IsString(args[0])) {
        Error_Report("Illegal argument type", false);
        return;
    }
    const char* text = Arg_GetStringOrEmpty(args, 0);
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr || colon == text + 1) {
        std::string url;
        if (!FileUrl(text, &url)) {
            Error_Report(
                "Protocol missing from URL. Should start with http, https, mailto etc or reference a saved "
                "or "
                "included file.",
                false);
            return;
        }
        if (!url.empty()) {
            Result_SetReal(result, OpenURL(url.c_str()));
            return;
        }
    }
    if (strncasecmp(text, "file:/", 6) == 0) {
        Error_Report("file URI protocol not support.", false);
        return;
    }
    Result_SetReal(result, OpenURL(text));
}

// Only the URL is used: the target and options are passed over.
PELL_BUILTIN(UrlOpenExt) {
    F_UrlOpen(result, self, other, argc > 0 ? 1 : argc, args);
}

PELL_BUILTIN(UrlGetDomain) {
    RValue_SetString(&result, "localhost");
}

const BuiltinRow kUrlRows[] = {
    {"Pell_OpenURL", F_UrlOpen, 1},         {"Pell_OpenURL_ext", F_UrlOpenExt, 2},
    {"Pell_OpenURL_full", F_UrlOpenExt, 3}, {"url_open", F_UrlOpen, 1},
    {"url_open_ext", F_UrlOpenExt, 2},      {"url_open_full", F_UrlOpenExt, 3},
    {"url_get_domain", F_UrlGetDomain, 1},
};

// --- device and configuration queries ----------------------------------------------------------

PELL_BUILTIN(AnswerZero) {
    Result_SetReal(result, 0);
}
PELL_BUILTIN(GetDevice) {
    Result_SetReal(result, -1);
}
PELL_BUILTIN(GetTimer) {
    Result_SetReal(result, static_cast<double>(Timing_Time()));
}
PELL_BUILTIN(GetConfig) {
    RValue_SetString(&result, g_GameHeader.configName);
}

// The displays as the device layer sees them; no driver version or device id is known here.
PELL_BUILTIN(OSGetInfo) {
    const int32_t map = DsMap_Create();
    for (int32_t i = 0; i < Display_AdapterCount(); ++i) {
        DisplayAdapterDesc adapter;
        if (!Display_GetAdapter(i, &adapter)) continue;
        char key[64];
        std::snprintf(key, sizeof key, "video_adapter_%d_name", i);
        DsMap_AddString(map, key, adapter.description.c_str());
        std::snprintf(key, sizeof key, "video_adapter_%d_device_name", i);
        DsMap_AddString(map, key, adapter.deviceName.c_str());
        std::snprintf(key, sizeof key, "video_adapter_%d_driver_version_high", i);
        DsMap_AddReal(map, key, 0);
        std::snprintf(key, sizeof key, "video_adapter_%d_driver_version_low", i);
        DsMap_AddReal(map, key, 0);
        std::snprintf(key, sizeof key, "video_adapter_%d_device_identifier", i);
        DsMap_AddString(map, key, "{00000000-0000-0000-0000-000000000000}");
    }
    Result_SetReal(result, map);
}

PELL_BUILTIN(OSGetLanguage) {
    const std::string language = PlatformOS_LocaleLanguage();
    for (const char* code : kLanguageCodes) {
        if (language == code) {
            RValue_SetString(&result, code);
            return;
        }
    }
    RValue_SetString(&result, "--");
}
PELL_BUILTIN(OSGetRegion) {
    RValue_SetString(&result, PlatformOS_LocaleRegion().c_str());
}
PELL_BUILTIN(CodeIsCompiled) {
    Result_SetReal(result, 1);
}

const BuiltinRow kDeviceQueryRows[] = {
    {"Pell_GetTimer", F_GetTimer, 0},    {"Pell_GetPlatform", F_AnswerZero, 0},
    {"Pell_GetDevice", F_GetDevice, 0},  {"Pell_GetCPUDetails", F_AnswerZero, 0},
    {"Pell_GetConfig", F_GetConfig, 0},  {"Pell_GetSessionKey", F_AnswerZero, 0},
    {"get_timer", F_GetTimer, 0},        {"os_get_config", F_GetConfig, 0},
    {"os_get_info", F_OSGetInfo, 0},     {"os_get_language", F_OSGetLanguage, 0},
    {"os_get_region", F_OSGetRegion, 0}, {"code_is_compiled", F_CodeIsCompiled, 0},
};

// --- operating system and analytics ------------------------------------------------------------

PELL_BUILTIN(OSIsNetworkConnected) {
    Result_SetFlag(result, PlatformOS_NetworkConnected());
}
// Power saving and orientation are the desktop's own business: nothing is handed on.
PELL_BUILTIN(OSPowersaveEnable) {
    Arg_GetBool(args, 0);
}
PELL_BUILTIN(OSLockOrientation) {
    Arg_GetReal(args, 0);
    Result_SetReal(result, 0);
}
PELL_BUILTIN(AnalyticsEvent) {
    Arg_GetString(args, 0);
}

// (name, key, value, ...): every pair a string and a real, an odd last argument passed over.
PELL_BUILTIN(AnalyticsEventExt) {
    Arg_GetString(args, 0);
    const int32_t pairs = argc > 1 ? (argc - 1) / 2 : 0;
    for (int32_t p = 0; p < pairs; ++p) {
        if (!RValue_IsString(args[1 + 2 * p]) || !RValue_IsReal(args[2 + 2 * p])) {
            Error_Show("malformed analytics parameter must be string, number pair", false);
            return;
        }
    }
    for (int32_t p = 0; p < pairs; ++p) {
        Arg_GetString(args, 1 + 2 * p);
        Arg_GetReal(args, 2 + 2 * p);
    }
}

const BuiltinRow kOSAndAnalyticsRows[] = {
    {"os_is_network_connected", F_OSIsNetworkConnected, 0}, {"os_powersave_enable", F_OSPowersaveEnable, 1},
    {"os_lock_orientation", F_OSLockOrientation, 1},        {"analytics_event", F_AnalyticsEvent, 1},
    {"analytics_event_ext", F_AnalyticsEventExt, -1},
};

// --- player launch -----------------------------------------------------------------------------

// (file, folder): the file from the save area, else the bundle, else where it would be saved.
PELL_BUILTIN(PlayerRun) {
    const char* file = Arg_GetStringOrEmpty(args, 0);
    const char* folder = Arg_GetStringOrEmpty(args, 1);
    const std::string game = LoadSave_SaveFileExists(file)     ? LoadSave_GetSavePath(file)
                             : LoadSave_BundleFileExists(file) ? LoadSave_GetBundlePath(file)
                                                               : LoadSave_GetSavePath(file);
    const std::string saveFolder = LoadSave_GetSavePath(folder);
    if (Pell_RunnerHooks().setPendingGame != nullptr)
        Pell_RunnerHooks().setPendingGame(game.c_str(), Runner_DataFilePath(), saveFolder.c_str());
}
PELL_BUILTIN(PlayerRestarted) {
    Result_SetFlag(result, g_RunnerFirstRun == 0);
}
PELL_BUILTIN(PlayerLaunchArgs) {
    const std::string& text = g_Switches.launchArg;
    RValue_SetString(&result, text.empty() ? nullptr : text.c_str());
}

const BuiltinRow kPlayerLaunchRows[] = {
    {"pw_player_run", F_PlayerRun, 4},
    {"pw_player_restarted", F_PlayerRestarted, 0},
    {"pw_player_launch_args", F_PlayerLaunchArgs, 0},
};

}  // namespace

void F_HvsReleaseMode(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const bool checked = Arg_GetReal(args, 0) < 0.5;
    if (Pell_RunnerHooks().setReleaseMode != nullptr) Pell_RunnerHooks().setReleaseMode(checked);
}

void PellRows_Urls() {
    Code_Function_AddRows(kUrlRows);
}
void PellRows_DeviceQueries() {
    Code_Function_AddRows(kDeviceQueryRows);
}
void PellRows_OSAndAnalytics() {
    Code_Function_AddRows(kOSAndAnalyticsRows);
}
void PellRows_PlayerLaunch() {
    Code_Function_AddRows(kPlayerLaunchRows);
}
