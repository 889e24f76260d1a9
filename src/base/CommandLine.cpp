#include "base/CommandLine.h"

#include <climits>
#include <cstring>
#include <string>

#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "platform/DialogLayer.h"
#include "base/Runner.h"

namespace {
constexpr char kLaunchPrefix[] = "hvplayer:";
constexpr char kLaunchUrlPrefix[] = "hvplayer://";

void ResetTurnSwitches() {
    g_Switches.debugOverlayFlags = 0;
    g_Switches.audioDebug = false;
    g_Switches.externalCallsOff = false;
    g_Switches.recording = false;
    g_Switches.playback = false;
    g_Switches.codeExecutionOff = false;
    g_Switches.audioOff = false;
    g_Switches.windowedOverride = false;
}

void SetLaunchArgument(const char* token) {
    const size_t skip = std::strncmp(token, kLaunchUrlPrefix, sizeof kLaunchUrlPrefix - 1) == 0
                            ? sizeof kLaunchUrlPrefix - 1
                            : sizeof kLaunchPrefix - 1;
    std::string argument(token + skip);
    if (!argument.empty() && argument.back() == '/') argument.pop_back();
    g_Switches.launchArg = argument;
}

// Options without an argument that only switch something on.
struct FlagOption {
    const char* name;
    void (*apply)();
};

const FlagOption kFlagOptions[] = {
    {"-trace", [] { g_Switches.trace = true; }},
    {"-ext", [] { g_Switches.externalCallsOff = true; }},
    {"-noerrors", [] { g_Switches.noErrors = true; }},
    {"-oldexec", [] { g_Switches.codeExecutionOff = true; }},
    {"-noaudio", [] { g_Switches.audioOff = true; }},
    {"-inawindow", [] { g_Switches.windowedOverride = true; }},
    {"-steam", [] { g_Switches.steam = true; }},
    {"-software", [] { g_Switches.softwareVertexProcessing = true; }},
    {"-intel", [] { g_Switches.intelWorkarounds = true; }},
    {"-audiodebug",
     [] {
         g_Switches.debugOverlayFlags |= 0x10;
         g_Switches.audioDebug = true;
     }},
    {"-networkdebug", [] { g_Switches.networkDebug = true; }},
    {"-vanillaGFX", [] { g_Switches.vanillaGfx = true; }},
    {"-headless", [] { g_Switches.headless = true; }},
    {"-multivb",
     [] {
         g_Switches.vertexBufferMethod = 1;
         g_Switches.vertexBufferMethodLocked = true;
     }},
    {"-novb",
     [] {
         g_Switches.vertexBufferMethod = 2;
         g_Switches.vertexBufferMethodLocked = true;
     }},
    {"-compresstextures", [] { g_Switches.compressTextures = true; }},
    {"-manualvsync",
     [] {
         g_Switches.manualVsync = true;
         g_Switches.manualVsyncLocked = true;
     }},
    {"-nodirectinput", [] { g_Switches.noDirectInput = true; }},
};

// Options that take the next token as their argument (empty at the end of the line).
struct ArgumentOption {
    const char* name;
    void (*apply)(const char* argument);
};

const ArgumentOption kArgumentOptions[] = {
    {"-game", [](const char* a) { Runner_SetDataFilePath(a); }},
    {"-exit", [](const char* a) { g_Switches.exitGame = a; }},
    {"-dir", [](const char* a) { g_Switches.dirFolder = a; }},
    {"-record",
     [](const char* a) {
         g_Switches.recording = true;
         g_Switches.recordFile = a;
     }},
    {"-playback",
     [](const char* a) {
         g_Switches.playback = true;
         g_Switches.recordFile = a;
     }},
    {"-output", [](const char* a) { g_Switches.outputFile = a; }},
    {"-debugoutput", [](const char* a) { g_Switches.debugOutputFile = a; }},
    {"-sleepmargin",
     [](const char* a) {
         // A negative margin would sleep past the frame's deadline.
         const int32_t margin = CommandLine_ReadInt(a);
         g_Switches.sleepMarginMs = margin > 0 ? margin : 0;
         g_Switches.sleepMarginLocked = true;
     }},
};

size_t ApplyOption(const char* token, size_t position, const char* text) {
    if (std::strcmp(token, "-debug") == 0) {
        // Only a run without a known game file shows the overlay from the command line.
        if (Runner_DataFilePath() == nullptr) g_Switches.debugOverlayFlags = 2;
        return position;
    }
    if (std::strncmp(token, kLaunchPrefix, sizeof kLaunchPrefix - 1) == 0) {
        SetLaunchArgument(token);
        return position;
    }
    for (const FlagOption& option : kFlagOptions) {
        if (std::strcmp(token, option.name) == 0) {
            option.apply();
            return position;
        }
    }
    for (const ArgumentOption& option : kArgumentOptions) {
        if (std::strcmp(token, option.name) == 0) {
            position = CommandLine_NextToken(position, text);
            option.apply(CommandLine_CurrentToken());
            return position;
        }
    }
    if (std::strcmp(token, "-profiledump") == 0) {
        position = CommandLine_NextToken(position, text);
        g_Switches.profileDumpFile = CommandLine_CurrentToken();
        position = CommandLine_NextToken(position, text);
        g_Switches.profileDumpSeconds = CommandLine_ReadInt(CommandLine_CurrentToken());
        g_Switches.profileDump = true;
    }
    return position;
}
}  // namespace

void CommandLine_Parse(const char* text) {
    ResetTurnSwitches();
    if (text == nullptr) return;
    CommandLine_ClearTokens();
    const size_t end = std::strlen(text);
    size_t position = 0;
    while (position < end) {
        position = CommandLine_NextToken(position, text);
        // The token is copied: taking an option's argument reuses the buffer.
        const std::string token = CommandLine_CurrentToken();
        position = ApplyOption(token.c_str(), position, text);
    }
}

int32_t CommandLine_ReadInt(const char* text) {
    if (text == nullptr) return 0;
    while (*text == ' ' || *text == '\t') ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value);
}

char* Runner_ChooseGameFile() {
    if (g_Switches.headless) return nullptr;
    std::string path;
    if (!PlatformDialog_ChooseOpenFile("Open", path)) return nullptr;
    char* copy = static_cast<char*>(MEM_ALLOC(path.size() + 1));
    std::memcpy(copy, path.c_str(), path.size() + 1);
    return copy;
}
