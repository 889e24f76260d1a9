// Steam's cloud file store: files written, read, deleted and tested, the quota, sharing a file,
// and publishing a file (with an optional preview) to the workshop. A publish first shares its
// files and publishes once every share has succeeded. Shares and publishes report to the log only.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "io/LoadSave.h"
#include "services/Steam_Internal.h"
#include "services/Steam_Main.h"

namespace {

bool g_publishInProgress = false;
int32_t g_pendingShares = 0;
bool g_shareFailed = false;
std::string g_savedFile, g_savedPreview, g_savedTitle, g_savedDescription;

bool FileWrite(const char* name, const void* bytes, int32_t size) {
    SteamBackend& steam = Steam_Backend();
    steam.FileForget(name);
    if (!steam.FileWrite(name, bytes, size)) return false;
    steam.SetSyncPlatforms(name, -1);
    return true;
}

void OnPublishResult(const SteamCallResult& result, bool ioFailure) {
    const auto* published = std::get_if<SteamFilePublished>(&result);
    const int32_t code = published != nullptr ? published->result : 0;
    if (ioFailure || code != 1)
        DebugConsole.Output("Error publishing to workshop - error code %d\n", code);
    else
        DebugConsole.Output("workshop publish success\n");
    g_publishInProgress = false;
}

void OnPublishShare(const SteamCallResult& result, bool ioFailure) {
    const auto* shared = std::get_if<SteamFileShared>(&result);
    const int32_t code = shared != nullptr ? shared->result : 0;
    if (ioFailure) {
        DebugConsole.Output("File share failed: IO Failure\n");
        g_shareFailed = true;
    } else if (code != 1) {
        DebugConsole.Output("File share failed with error: %d\n", code);
        g_shareFailed = true;
    } else {
        DebugConsole.Output("File share success\n");
    }
    if (--g_pendingShares > 0) return;
    if (g_shareFailed) {
        g_publishInProgress = false;
        return;
    }
    const uint64_t call = Steam_Backend().PublishWorkshopFile(g_savedFile.c_str(), g_savedPreview.c_str(),
                                                              Steam_Backend().AppId(), g_savedTitle.c_str(),
                                                              g_savedDescription.c_str());
    Steam_BindCallResult(call, OnPublishResult);
}

void OnShare(const SteamCallResult& result, bool ioFailure) {
    const auto* shared = std::get_if<SteamFileShared>(&result);
    if (ioFailure)
        DebugConsole.Output("File share failed : IO Failure\n");
    else if (shared == nullptr || shared->result != 1)
        DebugConsole.Output("File share failed with error: %d\n", shared != nullptr ? shared->result : 0);
    else
        DebugConsole.Output("File share success\n");
}

}  // namespace

void Steam_RemoteStorage_Init() {
    g_publishInProgress = false;
}

void Steam_RemoteStorage_Shutdown() {
    g_savedFile.clear();
    g_savedPreview.clear();
    g_savedTitle.clear();
    g_savedDescription.clear();
}

STEAM_BUILTIN(SteamIsCloudEnabledForApp) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, Steam_Backend().IsCloudEnabledForApp());
}
STEAM_BUILTIN(SteamIsCloudEnabledForAccount) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, Steam_Backend().IsCloudEnabledForAccount());
}
STEAM_BUILTIN(SteamFilePersisted) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, Steam_Backend().FilePersisted(Arg_GetString(args, 0)));
}
// A failed quota call answers 0 bytes.
STEAM_BUILTIN(SteamGetQuotaTotal) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    int32_t total = 0, available = 0;
    if (!Steam_Backend().GetQuota(&total, &available)) total = 0;
    Result_SetReal(result, total);
}
STEAM_BUILTIN(SteamGetQuotaFree) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    int32_t total = 0, available = 0;
    if (!Steam_Backend().GetQuota(&total, &available)) available = 0;
    Result_SetReal(result, available);
}
// A size beyond the text writes the text only; a negative size writes nothing.
STEAM_BUILTIN(SteamFileWrite) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetString(args, 0);
    const std::string text = Arg_GetStringOrEmpty(args, 1);
    int32_t size = Arg_GetInt32(args, 2);
    if (size < 0) size = 0;
    if (static_cast<size_t>(size) > text.size()) size = static_cast<int32_t>(text.size());
    Result_SetFlag(result, FileWrite(name, text.data(), size));
}
STEAM_BUILTIN(SteamFileWriteFile) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* cloudName = Arg_GetString(args, 0);
    const char* localName = Arg_GetString(args, 1);
    std::string path;
    if (LoadSave_SaveFileExists(localName))
        path = LoadSave_GetSavePath(localName);
    else if (LoadSave_BundleFileExists(localName))
        path = LoadSave_GetBundlePath(localName);
    if (path.empty()) {
        DebugConsole.Output("Failed to find local file %s\n", localName);
        return Result_SetReal(result, 0);
    }
    int64_t size = 0;
    void* bytes = LoadSave_ReadWholeFile(path.c_str(), &size);
    if (bytes == nullptr || size > INT32_MAX) {
        DebugConsole.Output("ERROR!!! :: Failed to open file: %s\n", path.c_str());
        MEM_FREE(bytes);
        return Result_SetReal(result, 0);
    }
    Result_SetFlag(result, FileWrite(cloudName, bytes, static_cast<int32_t>(size)));
    MEM_FREE(bytes);
}
// The text ends at the file's first zero byte.
STEAM_BUILTIN(SteamFileRead) {
    if (!Steam_IsInitialised()) return Steam_AnswerText(result, "");
    const char* name = Arg_GetString(args, 0);
    SteamBackend& steam = Steam_Backend();
    if (!steam.FileExists(name)) {
        DebugConsole.Output("File read failed: file does not exist\n");
        return Steam_AnswerText(result, "");
    }
    const int32_t size = steam.FileSize(name);
    if (size <= 0) return Steam_AnswerText(result, "");
    std::vector<char> bytes(static_cast<size_t>(size) + 1, '\0');
    if (steam.FileRead(name, bytes.data(), size) != size) return Steam_AnswerText(result, "");
    Steam_AnswerText(result, bytes.data());
}
STEAM_BUILTIN(SteamFileDelete) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, Steam_Backend().FileDelete(Arg_GetString(args, 0)));
}
STEAM_BUILTIN(SteamFileExists) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetFlag(result, Steam_Backend().FileExists(Arg_GetString(args, 0)));
}
STEAM_BUILTIN(SteamFileSize) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    Result_SetReal(result, Steam_Backend().FileSize(Arg_GetString(args, 0)));
}
STEAM_BUILTIN(SteamFileShare) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* name = Arg_GetString(args, 0);
    SteamBackend& steam = Steam_Backend();
    if (!steam.LoggedOn()) {
        DebugConsole.Output("File share failed: must be logged on\n");
        return Result_SetReal(result, 0);
    }
    if (!steam.FileExists(name)) {
        DebugConsole.Output("File share failed: \"%s\" does not exist, must write first\n", name);
        return Result_SetReal(result, 0);
    }
    DebugConsole.Output("Uploading %s to cloud...\n", name);
    Steam_BindCallResult(steam.FileShare(name), OnShare);
    Result_SetReal(result, 1);
}
STEAM_BUILTIN(SteamPublishWorkshopFile) {
    if (!Steam_IsInitialised()) return Result_SetReal(result, -1);
    const char* file = Arg_GetStringOrEmpty(args, 0);
    const char* preview = Arg_GetStringOrEmpty(args, 1);
    const char* title = Arg_GetStringOrEmpty(args, 2);
    const char* description = Arg_GetStringOrEmpty(args, 3);
    SteamBackend& steam = Steam_Backend();
    Result_SetReal(result, 0);
    if (g_publishInProgress) {
        DebugConsole.Output("Workshop publish already in progress...\n");
        return;
    }
    const bool withPreview = preview[0] != '\0';
    for (const char* name : {file, withPreview ? preview : nullptr}) {
        if (name == nullptr || steam.FileExists(name)) continue;
        DebugConsole.Output("Write file \"%s\" to remote storage first\n", name);
        return;
    }
    if (!steam.LoggedOn()) {
        DebugConsole.Output("Workshop publish error - user must be logged on\n");
        return;
    }
    DebugConsole.Output("workshop publish - uploading to cloud...\n");
    g_savedFile = file;
    g_savedPreview = preview;
    g_savedTitle = title;
    g_savedDescription = description;
    g_publishInProgress = true;
    g_shareFailed = false;
    g_pendingShares = withPreview ? 2 : 1;
    Steam_BindCallResult(steam.FileShare(file), OnPublishShare);
    if (withPreview) Steam_BindCallResult(steam.FileShare(preview), OnPublishShare);
    Result_SetReal(result, 1);
}
