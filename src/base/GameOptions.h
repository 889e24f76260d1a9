// The game's option settings ("OPTN"): process-wide switches that other modules read.
#pragma once

#include <cstdint>

class ChunkView;

struct GameOptions {
    bool newAudioEngine = false;  // not reset: the audio engine instead of the legacy layer
    bool showCursor = true;
    uint32_t windowColour = 0xFFFFFF;  // 0xBBGGRR, handed to the window layer when read
    bool changeDisplayMode = false;    // at start, with the three settings below
    int32_t colourDepthSetting = 0;    // 1 16 bits, 2 32 bits, else unchanged
    int32_t resolutionSetting = 0;     // 1 320x240 .. 6 1600x1200, else unchanged
    int32_t refreshSetting = 0;        // 1 60 Hz .. 5 120 Hz, else unchanged
    bool altEnterFullScreen = true;
    bool freezeWhenInactive = false;
    bool collisionTreeMode = false;  // not reset by the new format
    bool errorsFatal = false;
    bool unsetVariablesNotZero = false;  // when off, a variable never set reads as the real 0
    bool errorDialogs = true;            // off with "-noerrors"
    int32_t constantCount = 0;
    char** constantNames = nullptr;
    char** constantValues = nullptr;
    int32_t versionMajor = 0, versionMinor = 0;  // "VersionMajor" / "VersionMinor" constants
    // Read and kept, used by nothing in this program.
    bool fullScreen = false;     // forced off by "-inawindow"
    uint32_t keptFlags = 0;      // new format: the flag word
    int32_t keptWords[35] = {};  // new format words 0-14, old format words 0-34
    const char* keptText = nullptr;
};

extern GameOptions g_GameOptions;

// Resets the switches to their defaults (start of the chunk pass).
void Options_SetDefaults();
// Decodes the chunk; false when a new-format chunk's version is not 2 (nothing changes then).
// A chunk that does not hold what it says fails through the view.
bool Options_Load(ChunkView& chunk);
void Options_FreeConstants();

// The settings as numbers: 0 when the setting leaves the display as it is.
int32_t Options_ColourDepthBits();
bool Options_Resolution(int32_t* width, int32_t* height);
int32_t Options_RefreshRate();
