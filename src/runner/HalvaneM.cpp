#include "runner/HalvaneM.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/ErrorDialog.h"
#include "core/MemoryManager.h"
#include "core/Process.h"
#include "core/RunSwitches.h"
#include "io/LoadSave.h"
#include "platform/DialogLayer.h"
#include "platform/EventPump.h"
#include "platform/HostOS.h"
#include "runner/CommandLine.h"
#include "runner/Halvane.h"

std::atomic<uint8_t> g_RunnerRunning{0};
std::atomic<uint8_t> g_RunnerRestart{1};
std::atomic<uint8_t> g_RunnerFirstRun{1};
std::atomic<int> g_RunnerExitStatus{0};

namespace {
constexpr size_t kAtNameBytes = 2048;

char* g_commandLine = nullptr;
char* g_dataFilePath = nullptr;
char* g_bundleFolder = nullptr;
char* g_exePath = nullptr;
char* g_savePrePend = nullptr;
char* g_gameName = nullptr;
bool g_saveRoaming = false;


void ReplaceText(char*& slot, const char* text) {
    char* copy = MEM_COPY_TEXT(text);
    MEM_FREE(slot);
    slot = copy;
}

bool NeedsQuotes(const char* arg) {
    if (arg[0] == '\0') return true;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(arg); *p; ++p)
        if (*p <= 32) return true;
    return false;
}

bool IsUnsafePathPart(const std::string& part) {
    return part.empty() || part == "." || part == "..";
}

void FindDataWinBesideProgram() {
    const std::string program = GetExePath();
    const size_t slash = program.rfind('/');
    if (slash == std::string::npos) return;  // the program's folder is unknown
    const std::string path = program.substr(0, slash + 1) + "data.win";
    if (HostOS_FileReadable(path.c_str())) Runner_SetDataFilePath(path.c_str());
}

void RunOneTurn() {
    g_RunnerRestart = 0;
    FindDataWinBesideProgram();
    CommandLine_Parse(g_commandLine);
    if (g_Switches.headless) HostOS_InstallCrashHandler(Headless_ExceptionFilter);
    if (g_dataFilePath != nullptr) {
        const std::string full = HostOS_FullPath(g_dataFilePath);
        if (!full.empty()) Runner_SetDataFilePath(full.c_str());
    }
    if (!Runner_EarlyInit()) return;  // the restart flag is clear: the loop ends
    Runner_StartUp();
    while (g_RunnerRunning == 1) {
        MainLoop_Frame();
        ProcessMessages();
    }
    if (g_RunnerRunning == 0) EndGame();
    Runner_Finish();
    Runner_PostQuit();
    Runner_Shutdown();
    Runner_PrepareRestart();
    Run_FreeGlobals();
}
}  // namespace

namespace {
void ShowOutOfMemoryBox(const char* text, const char* title) { PlatformDialog_ShowMessage(title, text); }
}  // namespace

int Runner_Main(int argc, char** argv) {
    MemoryManager_MarkThread(true);
    OutOfMemory_SetBoxHook(ShowOutOfMemoryBox);
    ErrorDialog_SetMessagePump(ProcessMessages);
    g_commandLine = Runner_CommandLineFromArgs(argc, argv);
    Runner_MoveAtNamedFiles();
    return Runner_WinMain();
}

int Runner_WinMain() {
    do {
        RunOneTurn();
        g_RunnerFirstRun = 0;
    } while (g_RunnerRestart != 0);
    return g_RunnerExitStatus;
}

void ProcessMessages() {
    if (PlatformEvents_Pump()) g_RunnerRunning = 0;
}

void Runner_PostQuit() {
    PlatformEvents_PostQuit();
}

char* Runner_CommandLineFromArgs(int argc, char** argv) {
    std::string text;
    for (int i = 0; i < argc || i == 0; ++i) {
        const char* arg = i < argc && argv[i] != nullptr ? argv[i] : "";
        if (i == 0 && arg[0] == '\0') arg = GetExePath();
        if (i > 0) text += ' ';
        const bool quoted = NeedsQuotes(arg);
        if (quoted) text += '"';
        for (const char* p = arg; *p; ++p)
            if (*p != '"') text += *p;
        if (quoted) text += '"';
    }
    return MEM_COPY_TEXT(text.c_str());
}

const char* Runner_CommandLine() {
    return g_commandLine;
}
void Runner_SetCommandLine(const char* text) {
    ReplaceText(g_commandLine, text);
}

const char* Runner_DataFilePath() {
    return g_dataFilePath;
}
void Runner_SetDataFilePath(const char* path) {
    ReplaceText(g_dataFilePath, path);
}

const char* GetExePath() {
    if (g_exePath == nullptr) g_exePath = MEM_COPY_TEXT(HostOS_ExecutablePath().c_str());
    return g_exePath;
}

const char* GetBundleFolder() {
    if (g_bundleFolder != nullptr) return g_bundleFolder;
    if (g_dataFilePath == nullptr) return "";
    const char* cut = std::strrchr(g_dataFilePath, '/');
    if (cut == nullptr) cut = std::strrchr(g_dataFilePath, '\\');
    // A bare file name lies in the working folder: its folder is "", never the root.
    if (cut == nullptr) return "";
    const std::string folder = std::string(g_dataFilePath, static_cast<size_t>(cut - g_dataFilePath)) + "/";
    g_bundleFolder = MEM_COPY_TEXT(folder.c_str());
    return g_bundleFolder;
}

void Runner_ClearBundleFolder() {
    ReplaceText(g_bundleFolder, nullptr);
}

const char* GetSavePrePend() {
    if (g_savePrePend != nullptr && g_savePrePend[0] != '\0') return g_savePrePend;
    if (g_gameName == nullptr || g_gameName[0] == '\0') return "";
    const std::string prefix = LoadSave_MakeSaveArea(g_gameName, g_saveRoaming);
    if (prefix.empty()) return "";
    DebugConsole.Output("SavePrePend = %s\n", prefix.c_str());
    ReplaceText(g_savePrePend, prefix.c_str());
    LoadSave_SetSaveArea(g_savePrePend);
    return g_savePrePend;
}

void Runner_SetSavePrePend(const char* prefix) {
    ReplaceText(g_savePrePend, prefix);
}
void Runner_SetGameName(const char* name) {
    ReplaceText(g_gameName, name);
}
const char* Runner_GameName() {
    return g_gameName != nullptr ? g_gameName : "";
}
void Runner_SetSaveFolderRoaming(bool roaming) {
    g_saveRoaming = roaming;
}

char* Env_GetVariable(const char* name) {
    std::string value;
    if (!HostOS_GetEnv(name, value)) return nullptr;
    return MEM_COPY_TEXT(value.c_str());
}

void Runner_MoveAtNamedFiles() {
    for (const std::string& name : HostOS_ListPlainFiles(".")) Runner_MoveAtNamedFile(name.c_str());
}

bool Runner_MoveAtNamedFile(const char* name) {
    if (name == nullptr || std::strchr(name, '@') == nullptr) return false;
    if (std::strlen(name) >= kAtNameBytes) return false;

    // Check every part before touching the disk, so a refused name creates no folder.
    std::vector<std::string> parts;
    for (const char* start = name;;) {
        const char* at = std::strchr(start, '@');
        parts.emplace_back(start, at != nullptr ? at : start + std::strlen(start));
        if (at == nullptr) break;
        start = at + 1;
    }
    for (const std::string& part : parts)
        if (IsUnsafePathPart(part)) return false;

    std::string target;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        target += parts[i];
        if (!HostOS_MakeFolder(target.c_str())) return false;
        target += '/';
    }
    target += parts.back();
    return HostOS_MoveFileNoReplace(name, target.c_str());
}

// Runs inside a signal handler: no allocation, no locks, no stdio.
void Headless_ExceptionFilter(int) {
    HostOS_WriteAndExit("Exception detected during the unit tests!\n", 1);
}

void Headless_CheckFailure(int errorType, const char* file, int line, const char* module) {
    std::printf("Error type %d at %s line %d in %s", errorType, file ? file : "", line, module ? module : "");
    Process_Exit(1);
}
