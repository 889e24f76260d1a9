#include "services/Steam_Main.h"

#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/GEN8.h"
#include "base/Runner.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "data/Function_Data_Structures.h"
#include "io/LoadSave.h"
#include "platform/SharedObject.h"
#include "io/Support_File.h"
#include "services/Steam_Internal.h"

namespace {

// The real back end: the library is looked for through the platform's shared-object loader and
// its exports are bound. No client interface is ever handed out from it (nothing here knows the
// library's calls), so a found library still ends start-up at the interfaces, with their lines.
class SteamBackendLibrary final : public SteamBackend {
public:
    bool LoadLibrary(int32_t* error) override {
        std::string why;
        m_module = SharedObject_Loader().Open(kLibraryName, &why);
        *error = m_module != nullptr ? 0 : kModuleNotFound;
        return m_module != nullptr;
    }
    bool HasExport(const char* name) override {
        return m_module != nullptr && SharedObject_Loader().Symbol(m_module, name) != nullptr;
    }
    int32_t LastError() override { return m_module != nullptr ? kProcedureNotFound : kModuleNotFound; }
    void FreeLibrary() override {
        if (m_module != nullptr) SharedObject_Loader().Close(m_module);
        m_module = nullptr;
    }

private:
    static constexpr const char* kLibraryName = "libsteam_api.so";
    static constexpr int32_t kModuleNotFound = 126;
    static constexpr int32_t kProcedureNotFound = 127;
    void* m_module = nullptr;
};

SteamBackendLibrary g_library;
SteamBackend* g_backend = &g_library;

bool g_initialised = false;
bool g_startFailed = false;
bool g_steamWanted = false;
bool g_libraryLoaded = false;
const char* g_failure = nullptr;
bool g_interfaces[STEAM_INTERFACE_COUNT] = {};

// Handlers of the calls whose results are still to come, by call handle.
std::unordered_map<uint64_t, SteamResultHandler> g_pendingResults;

const char* const kExports[] = {
    "SteamAPI_Init",
    "SteamAPI_InitSafe",
    "SteamClient",
    "SteamAPI_RunCallbacks",
    "SteamAPI_Shutdown",
    "SteamAPI_GetHSteamUser",
    "SteamAPI_GetHSteamPipe",
    "SteamAPI_RegisterCallback",
    "SteamAPI_UnregisterCallback",
    "SteamAPI_RegisterCallResult",
    "SteamAPI_UnregisterCallResult",
};

const char* const kInterfaceVersions[STEAM_INTERFACE_COUNT] = {
    "SteamUser018",
    "SteamFriends015",
    "SteamUtils007",
    "SteamMatchMaking009",
    "STEAMUSERSTATS_INTERFACE_VERSION011",
    "STEAMAPPS_INTERFACE_VERSION007",
    "SteamMatchMakingServers002",
    "SteamNetworking005",
    "STEAMREMOTESTORAGE_INTERFACE_VERSION013",
    "STEAMSCREENSHOTS_INTERFACE_VERSION002",
    "STEAMHTTP_INTERFACE_VERSION002",
    "STEAMUNIFIEDMESSAGES_INTERFACE_VERSION001",
    "SteamController003",
    "STEAMUGC_INTERFACE_VERSION007",
    "STEAMAPPLIST_INTERFACE_VERSION001",
    "STEAMMUSIC_INTERFACE_VERSION001",
    "STEAMMUSICREMOTE_INTERFACE_VERSION001",
    "STEAMHTMLSURFACE_INTERFACE_VERSION_003",
    "STEAMINVENTORY_INTERFACE_V001",
    "STEAMVIDEO_INTERFACE_V001",
};

// The app id, as digits only, beside the program: the library reads it there.
void WriteAppIdFile(int32_t appId) {
    char* folder = File_GetDirectory(GetExePath());
    char path[1024];
    std::snprintf(path, sizeof path, "%s/steam_appid.txt", folder);
    MEM_FREE(folder);
    DebugConsole.Output("steamfile:%s\n", path);
    FILE* file = LoadSave_wfopen(path, "wb");
    if (file == nullptr) {
        DebugConsole.Output("Failed to open %s\n", path);
        return;
    }
    std::fprintf(file, "%d", appId);
    std::fclose(file);
}

bool BindFunctions() {
    bool all = true;
    for (const char* name : kExports) {
        if (g_backend->HasExport(name)) continue;
        DebugConsole.Output("ERROR: Failed to find function %s error %d\n", name, g_backend->LastError());
        all = false;
    }
    return all;
}

bool LoadSteamLib() {
    int32_t error = 0;
    if (!g_backend->LoadLibrary(&error)) {
        DebugConsole.Output("ERROR: Failed to load steam_api.dll error %d\n", error);
        g_failure = "Error loading steam_api.dll";
        return false;
    }
    g_libraryLoaded = true;
    if (!BindFunctions()) {
        g_failure = "Failed to find steam api functions";
        return false;
    }
    return true;
}

// All twenty, in order; the first missing one stops the asking.
bool GetInterfaces() {
    for (int32_t slot = 0; slot < STEAM_INTERFACE_COUNT; ++slot) {
        if (!g_backend->GetInterface(kInterfaceVersions[slot])) return false;
        g_interfaces[slot] = true;
    }
    return true;
}

void WarningHook(int32_t, const char* text) {
    DebugConsole.Output("%s", text);
}

bool SteamInitSafe() {
    DebugConsole.Output("Steam - SteamAPI_InitSafe\n");
    if (!g_backend->InitSafe()) {
        DebugConsole.Output("SteamAPI_InitSafe() failed\n");
        g_failure = "Steam must be running to play this game (SteamAPI_InitSafe() failed)";
        return false;
    }
    for (bool& present : g_interfaces) present = false;
    GetInterfaces();
    DebugConsole.Output("Steam - SteamClient()->SetWarningMessageHook()\n");
    g_backend->SetWarningHook(WarningHook);
    DebugConsole.Output("Steam - Steam_UserStats_Init()\n");
    Steam_UserStats_Init();
    DebugConsole.Output("Steam - Steam_RemoteStorage_Init()\n");
    Steam_RemoteStorage_Init();
    DebugConsole.Output("Steam - Steam_Screenshots_Init()\n");
    Steam_Screenshots_Init();
    DebugConsole.Output("Steam - Steam_Friends_Init()\n");
    Steam_Friends_Init();
    DebugConsole.Output("Steam - Steam_UGC_Init()\n");
    Steam_UGC_Init();
    g_initialised = true;
    DebugConsole.Output("g_bSteamInitialised being set to true");
    return true;
}

void FreeLibrary() {
    if (!g_libraryLoaded) return;
    g_backend->FreeLibrary();
    g_libraryLoaded = false;
}

class Dispatcher final : public SteamCallbackSink {
public:
    void OnCallback(const SteamCallback& callback) override {
        Steam_UserStats_OnCallback(callback);
        Steam_Friends_OnCallback(callback);
        Steam_UGC_OnCallback(callback);
    }
    // The handler leaves the table before it runs: it may bind a new call, even to itself.
    void OnCallResult(uint64_t call, const SteamCallResult& result, bool ioFailure) override {
        auto found = g_pendingResults.find(call);
        if (found == g_pendingResults.end()) return;
        SteamResultHandler handler = std::move(found->second);
        g_pendingResults.erase(found);
        handler(result, ioFailure);
    }
};

}  // namespace

void Steam_SetBackend(SteamBackend* backend) {
    g_backend = backend != nullptr ? backend : &g_library;
}

SteamBackend& Steam_Backend() {
    return *g_backend;
}

bool Steam_HasInterface(SteamInterfaceSlot slot) {
    return g_interfaces[slot];
}

void Steam_BindCallResult(uint64_t call, SteamResultHandler handler) {
    if (call != 0) g_pendingResults[call] = std::move(handler);
}

void Steam_MapAddInt64(int32_t map, const char* key, uint64_t value) {
    DsMap_AddInt64(map, key, static_cast<int32_t>(value & 0xFFFFFFFFu), static_cast<int32_t>(value >> 32));
}

bool Steam_IsOwnGame(uint64_t gameId) {
    return (gameId >> 32) == 0 && static_cast<uint32_t>(gameId) == g_backend->AppId();
}

void Steam_Init() {
    if (g_initialised || g_startFailed) {
        DebugConsole.Output("Steam already initialised\n");
        return;
    }
    const int32_t appId = g_GameHeader.steamAppId;
    if (appId == 0) return;
    g_steamWanted = true;
    g_failure = nullptr;
    WriteAppIdFile(appId);
    DebugConsole.Output("Steam_Init\n");
    if (LoadSteamLib()) {
        const bool started = SteamInitSafe();
        DebugConsole.Output("Steam_Init\n");
        if (started) {
            DebugConsole.Output("LoadSteamLib and _steamInit both ok\n");
            return;
        }
    } else {
        DebugConsole.Output("Failed LoadSteamLib() call: %s\n", g_failure);
    }
    g_startFailed = true;
    if (g_failure != nullptr)
        DebugConsole.Output("SteamInit failed: %s\n", g_failure);
    else
        DebugConsole.Output("SteamInit failed with no msg\n");
    FreeLibrary();
}

void Steam_Update() {
    if (!g_initialised) return;
    Dispatcher dispatcher;
    g_backend->RunCallbacks(dispatcher);
    Steam_StoreStatsIfDirty();
}

void Steam_Shutdown() {
    if (!g_initialised) return;
    DebugConsole.Output("Steam_Shutdown\n");
    Steam_UserStats_Shutdown();
    Steam_RemoteStorage_Shutdown();
    Steam_Screenshots_Shutdown();
    Steam_Friends_Shutdown();
    Steam_UGC_Shutdown();
    g_pendingResults.clear();
    g_backend->Shutdown();
    g_initialised = false;
    FreeLibrary();
}

bool Steam_IsInitialised() {
    return g_initialised;
}

// Tests start each case from a process that never tried.
void Steam_ResetForTests() {
    Steam_Shutdown();
    g_startFailed = false;
    g_steamWanted = false;
    g_failure = nullptr;
}
