#include "base/Runner.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/Timing.h"
#include "io/LoadSave.h"
#include "platform/EventPump.h"
#include "platform/HostOS.h"

std::atomic<uint8_t> g_RunnerRunning{0};
std::atomic<uint8_t> g_RunnerRestart{1};
std::atomic<uint8_t> g_RunnerFirstRun{1};
std::atomic<int> g_RunnerExitStatus{0};

namespace {
constexpr int64_t kMaxWait = 3000000;  // the longest wait, in microseconds
// While waiting out the last part of a wait, events are pumped at least this often.
constexpr int64_t kPumpInterval = 1000;

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
}  // namespace

void ProcessMessages() {
    if (PlatformEvents_Pump()) g_RunnerRunning = 0;
}

void Timing_Wait(int64_t microseconds) {
    if (microseconds <= 0) return;
    microseconds = std::min(microseconds, kMaxWait);
    const int64_t start = Timing_Time();
    const int64_t deadline = start + microseconds;
    const int64_t sleep = std::max<int64_t>((microseconds - g_Switches.sleepMarginMs * 1000LL) / 1000, 0);
    if (sleep > 0) Timing_Sleep(sleep * 1000);
    for (;;) {
        ProcessMessages();
        const int64_t now = Timing_Time();
        // A clock that went back never makes the wait longer.
        if (now >= deadline || now < start) break;
        Timing_Sleep(std::min(deadline - now, kPumpInterval));
    }
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
void Runner_SetExePath(const char* path) {
    ReplaceText(g_exePath, path);
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
