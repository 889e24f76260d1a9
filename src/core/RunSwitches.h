// Run-time switches set by the command line and options.ini, read across the runner.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct RunSwitches {
    int32_t debugOverlayFlags = 0;  // 2 overlay shown, 0x10 audio panel
    bool trace = false;             // interpreter trace
    bool externalCallsOff = false;  // "-ext": external (DLL) calls return at once
    bool noErrors = false;          // "-noerrors": no error dialogs
    bool codeExecutionOff = false;  // "-oldexec"
    bool audioOff = false;          // "-noaudio"
    bool windowedOverride = false;  // "-inawindow"
    bool steam = false;             // "-steam": external built-ins and constants not registered
    bool softwareVertexProcessing = false;
    bool intelWorkarounds = false;
    bool audioDebug = false;
    std::atomic<bool> networkDebug{false};  // read by the request and socket threads
    bool vanillaGfx = false;
    std::atomic<bool> headless{false};
    bool compressTextures = false;
    bool manualVsync = false;        // "-manualvsync" or options.ini "AlternateSyncMethod"
    bool manualVsyncLocked = false;  // set by the command line: options.ini then leaves it
    bool noDirectInput = false;
    bool createTexturesOnDemand = false;
    int32_t vertexBufferMethod = 0;  // 0 one dynamic buffer, 1 several, 2 none
    bool vertexBufferMethodLocked = false;
    int32_t sleepMarginMs = 10;
    bool sleepMarginLocked = false;
    bool recording = false;
    bool playback = false;
    std::string recordFile;       // the file of "-record" or "-playback"
    std::string exitGame;         // "-exit"
    std::string dirFolder;        // "-dir": kept, read by nothing
    std::string outputFile;       // "-output": error console file
    std::string debugOutputFile;  // "-debugoutput": debug console file
    std::string profileDumpFile;
    int32_t profileDumpSeconds = 0;
    bool profileDump = false;
    std::string launchArg;  // from a "hvplayer:" token
    bool orientLandscape = true, orientLandscapeFlipped = true;
    bool orientPortrait = true, orientPortraitFlipped = true;
};

extern RunSwitches g_Switches;
