#include "base/LoadGame.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Process.h"
#include "core/RunSwitches.h"
#include "base/DebugInfo.h"
#include "base/GameFile.h"

LoaderHooks g_LoaderHooks;
LoadState g_LoadState;

namespace {

constexpr uint32_t kPathBytes = sizeof(LoadState::dataFilePath);

bool Headless() {
    return g_Switches.headless.load();
}

void CopyPath(char* to, const char* from) {
    std::snprintf(to, kPathBytes, "%s", from ? from : "");
}

bool IsFile(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

void ProgramPath(char* out) {
    const ssize_t n = readlink("/proc/self/exe", out, kPathBytes - 1);
    out[n > 0 ? n : 0] = 0;
}

// The folder part of a path, ending in "/" ("" for a bare file name).
void FolderOf(const char* path, char* out) {
    CopyPath(out, path);
    char* slash = std::strrchr(out, '/');
    if (slash)
        slash[1] = 0;
    else
        out[0] = 0;
}

// Reads a whole file into one block: a memory-manager block, or for the game data file a block of
// Form_AllocData (freed by Form_FreeData, or adopted); false when it cannot be read whole.
bool ReadWholeFile(const char* path, uint8_t** data, uint32_t* size, bool gameData = false) {
    *data = nullptr;
    *size = 0;
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long length = ok ? std::ftell(f) : -1;
    ok = ok && length >= 0 && static_cast<unsigned long>(length) < UINT32_MAX &&
         std::fseek(f, 0, SEEK_SET) == 0;
    const auto bytes = static_cast<uint32_t>(length);
    if (ok && length > 0) {
        MemoryManager::PushName("WAD file");
        *data = gameData ? Form_AllocData(bytes) : static_cast<uint8_t*>(MEM_ALLOC_RAW(uint64_t{bytes} + 1));
        MemoryManager::PopName();
        ok = *data && std::fread(*data, 1, bytes, f) == bytes;
        if (ok) (*data)[length] = 0;  // the guard byte Form_AdoptData expects
        if (!ok && *data) {
            if (gameData)
                Form_FreeData(*data, bytes);
            else
                MEM_FREE(*data);
        }
        if (!ok) *data = nullptr;
    }
    std::fclose(f);
    if (ok) *size = bytes;
    return ok;
}

// The debug information sits beside the data file with its extension replaced by ".pwdebug".
// Only a "." in the file's own name starts the extension.
void LoadDebugInformation(const char* path) {
    char debugPath[kPathBytes];
    CopyPath(debugPath, path);
    char* dot = std::strrchr(debugPath, '.');
    const char* slash = std::strrchr(debugPath, '/');
    if (!dot || (slash && dot < slash)) return;
    std::snprintf(dot, kPathBytes - (dot - debugPath), ".pwdebug");
    if (!IsFile(debugPath)) return;
    uint8_t* data;
    uint32_t size;
    if (!ReadWholeFile(debugPath, &data, &size)) return;
    DebugInfo_Load(data, size);
    MEM_FREE(data);
}

void ReadOptionsIni(const char* path) {
    if (!g_LoaderHooks.readOptionsIni) return;
    char iniPath[kPathBytes];
    FolderOf(path, iniPath);
    std::strncat(iniPath, "options.ini", kPathBytes - std::strlen(iniPath) - 1);
    g_LoaderHooks.readOptionsIni(iniPath);
}

bool IsForm(const uint8_t* data, uint32_t size) {
    return size >= 4 && (std::memcmp(data, "FORM", 4) == 0 || std::memcmp(data, "MROF", 4) == 0);
}

void FillLinkRecord() {
    RunnerLoadGame_Free();
    auto* record = static_cast<GameLinkRecord*>(MEM_ALLOC(sizeof(GameLinkRecord)));
    if (record && g_LoaderHooks.fillLinkRecord) g_LoaderHooks.fillLinkRecord(record);
    g_LoadState.linkRecord = record;
    g_LoadState.codeCount = record ? record->codeCount : 0;
}

// Why the game file at `path` cannot be read, in `why`; false when it can (or is simply
// missing, which keeps its own message).
bool FileFault(const char* path, char* why, size_t whyBytes) {
    struct stat st;
    if (stat(path, &st) != 0) {
        if (errno == ENOENT) return false;
        std::snprintf(why, whyBytes, "Unable to read game file %s: %s", path, std::strerror(errno));
    } else if (S_ISDIR(st.st_mode)) {
        std::snprintf(why, whyBytes, "Unable to load game: %s is a folder", path);
    } else if (st.st_size == 0) {
        std::snprintf(why, whyBytes, "Unable to load game: %s is empty", path);
    } else if (access(path, R_OK) != 0) {
        std::snprintf(why, whyBytes, "Unable to read game file %s: %s", path, std::strerror(errno));
    } else {
        std::snprintf(why, whyBytes, "Unable to read game file %s", path);
    }
    return true;
}

// Data that is no "FORM", or whose "FORM" length is not the rest of the file, is refused with
// its cause in `why`.
bool FormFault(const char* path, const uint8_t* data, uint32_t size, char* why, size_t whyBytes) {
    if (!IsForm(data, size)) {
        std::snprintf(why, whyBytes, "Unable to load game: %s is not a game data file", path);
        return true;
    }
    uint32_t length = 0;
    if (size >= 8) std::memcpy(&length, data + 4, 4);
    if (size < 8 || uint64_t{length} + 8 != size) {
        std::snprintf(why, whyBytes,
                      "Unable to load game: %s is damaged (its data holds %llu bytes, the file %u)", path,
                      size < 8 ? 0ull : static_cast<unsigned long long>(length) + 8, size);
        return true;
    }
    return false;
}

// A load failure goes to the error console and, as a message, to the player.
bool LoadFailed(const char* text) {
    Form_AdoptData(nullptr, 0);
    ErrorConsole.Output("%s\n", text);
    if (g_LoaderHooks.showMessage) g_LoaderHooks.showMessage(text);
    RunnerLoadGame_End();
    return false;
}

// Steps 3 to 8 once the path is known: companions, the data itself, the check.
bool LoadChosen(const char* path, const uint8_t* embedded, uint32_t embeddedSize, bool fromMemory) {
    CopyPath(g_LoadState.dataFilePath, path);
    FolderOf(path, g_LoadState.workingDirectory);
    ReadOptionsIni(path);
    LoadDebugInformation(path);
    DebugConsole.Output("Reading File %s\n", path);
    bool present = false;
    if (fromMemory) {
        present = embedded && embeddedSize > 0 && Form_SetData(embedded, embeddedSize);
    } else {
        uint8_t* data;
        uint32_t size;
        if (ReadWholeFile(path, &data, &size, true) && size > 0) {
            Form_AdoptData(data, size);
            DebugConsole.Output("Loaded File %s(%d)\n", path, static_cast<int>(size));
            present = true;
        } else {
            DebugConsole.Output("FAILED to load File %s\n", path);
        }
    }
    char text[1024];
    if (!present) {
        if (fromMemory || !FileFault(path, text, sizeof text))
            std::snprintf(text, sizeof text, "Unable to find game!!: %s", path);
        return LoadFailed(text);
    }
    if (FormFault(path, Form_Base(), Form_Size(), text, sizeof text)) return LoadFailed(text);
    DebugConsole.Output("IFF wad found\n");
    if (g_LoadState.firstGamePath[0] == 0) CopyPath(g_LoadState.firstGamePath, path);
    return true;
}

}  // namespace

namespace {
// Nothing embedded, nothing beside the program, nothing named and no dialog answered.
void ReportNoGame() {
    Console_ReportStartFailure(
        "No game to run: none is embedded in the program, there is no data.win beside it, and none "
        "was chosen. Name one with -game FILE.\n");
}
}  // namespace

bool RunnerLoadGame(const char* dataFilePath) {
    DebugConsole.Output("RunnerLoadGame: %s\n", dataFilePath ? dataFilePath : "");
    FillLinkRecord();
    const GameLinkRecord* link = g_LoadState.linkRecord;
    char path[kPathBytes];
    if (link && link->data) {
        ProgramPath(path);
        return LoadChosen(path, link->data, link->dataSize, true);
    }
    if (dataFilePath && dataFilePath[0]) {
        CopyPath(path, dataFilePath);
        DebugConsole.Output("RunnerLoadGame() - %s\n", path);
        return LoadChosen(path, nullptr, 0, false);
    }
    if (!Headless() && g_LoaderHooks.chooseGameFile && g_LoaderHooks.chooseGameFile(path, kPathBytes)) {
        DebugConsole.Output("RunnerLoadGame() - %s\n", path);
        return LoadChosen(path, nullptr, 0, false);
    }
    ReportNoGame();
    RunnerLoadGame_End();
    return false;
}

bool RunnerLoadGame_FromBytes(const uint8_t* data, uint32_t size, const char* path) {
    DebugConsole.Output("RunnerLoadGame: %s\n", path ? path : "");
    FillLinkRecord();
    return LoadChosen(path ? path : "", data, size, true);
}

void RunnerLoadGame_End() {
    if (g_LoadState.launchedByGame) {
        g_LoadState.gameEndRequested = true;
        if (g_LoaderHooks.requestGameEnd) g_LoaderHooks.requestGameEnd();
        return;
    }
    Process_Exit(1);
}

void RunnerLoadGame_Free() {
    MEM_FREE(g_LoadState.linkRecord);
    g_LoadState.linkRecord = nullptr;
    g_LoadState.codeCount = 0;
}
