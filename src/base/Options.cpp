#include "base/Options.h"

#include <cstring>

#include "core/Console.h"
#include "core/RunSwitches.h"
#include "io/IniFile.h"
#include "platform/HostOS.h"

namespace {
IniFile* g_optionsIni = nullptr;
}

std::string Options_IniPath(const char* dataFilePath) {
    if (dataFilePath == nullptr) return {};
    const char* cut = std::strrchr(dataFilePath, '/');
    if (cut == nullptr) cut = std::strrchr(dataFilePath, '\\');
    if (cut == nullptr) return {};
    return std::string(dataFilePath, static_cast<size_t>(cut - dataFilePath)) + "/options.ini";
}

void Options_LoadForGame(const char* dataFilePath) {
    Options_Close();
    const std::string path = Options_IniPath(dataFilePath);
    if (path.empty()) return;
    DebugConsole.Output("Checking if INIFile %s Exists\n", path.c_str());
    if (!HostOS_FileReadable(path.c_str())) {
        DebugConsole.Output("!!!!No INI File %s\n", path.c_str());
        return;
    }
    g_optionsIni = new IniFile(path.c_str(), true);
    Options_ReadIni(g_optionsIni);
}

IniFile* Options_GetIniFile() {
    return g_optionsIni;
}

void Options_Close() {
    delete g_optionsIni;
    g_optionsIni = nullptr;
}

void Options_ReadIni(const IniFile* ini) {
    Options_ReadWindowsIni(ini);
    if (ini == nullptr) return;
    g_Switches.orientLandscape = ini->ReadInt("DEFAULT", "OrientLandscape", 1) != 0;
    g_Switches.orientLandscapeFlipped = ini->ReadInt("DEFAULT", "OrientLandscapeFlipped", 1) != 0;
    g_Switches.orientPortrait = ini->ReadInt("DEFAULT", "OrientPortrait", 1) != 0;
    g_Switches.orientPortraitFlipped = ini->ReadInt("DEFAULT", "OrientPortraitFlipped", 1) != 0;
    // The orientation hook of this platform does nothing with them.

    if (ini->FindKey("DEFAULT", "Debug") != nullptr && ini->ReadInt("DEFAULT", "Debug", 0) != 0)
        g_Switches.debugOverlayFlags = 2;
    if (ini->FindKey("DEFAULT", "Trace") != nullptr)
        g_Switches.trace = ini->ReadInt("DEFAULT", "Trace", 0) != 0;
}

void Options_ReadWindowsIni(const IniFile* ini) {
    if (ini == nullptr) return;
    g_Switches.createTexturesOnDemand = ini->ReadInt("Windows", "CreateTexturesOnDemand", 0) != 0;
    if (!g_Switches.vertexBufferMethodLocked) {
        const int32_t method = ini->ReadInt("Windows", "VertexBufferMethod", 0);
        if (method >= 0 && method <= 2) g_Switches.vertexBufferMethod = method;
    }
    if (!g_Switches.manualVsyncLocked)
        g_Switches.manualVsync = ini->ReadInt("Windows", "AlternateSyncMethod", 0) != 0;
    if (!g_Switches.sleepMarginLocked) {
        const int32_t margin = ini->ReadInt("Windows", "SleepMargin", 10);
        g_Switches.sleepMarginMs = margin > 0 ? margin : 0;
    }
}
