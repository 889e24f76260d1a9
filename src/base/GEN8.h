// The general header "GEN8" (also read for "GEN7" and "GENL") and the run state it sets.
#pragma once

#include <cstdint>

class ChunkView;

struct GameHeader {
    uint32_t chunkOffset = 0;  // file offset of the header's data; 0 while none was read
    uint32_t chunkLength = 0;
    uint8_t flagByte = 0;
    uint8_t format = 0;               // the bytecode format number F
    bool newReferenceFormat = false;  // F >= 15: new "VARI"/"FUNC" and code-entry layouts
    int32_t compatibilityLevel = 0;   // 800, or 700 for "GEN7"/"GENL"
    char* configName = nullptr;       // for os_get_config
    char* gameName = nullptr;         // the save-area folder name
    char* displayName = nullptr;      // "Made with Halvane" when the file has none
    int32_t gameId = 0;
    int32_t lastInstanceId = 0;  // new instances take the next id
    int32_t lastTileId = 0;
    uint32_t words6to9[4] = {};
    int32_t major = 0;
    bool layerModel = false;                    // major >= 2: cameras, layers, game clock
    int32_t windowWidth = 0, windowHeight = 0;  // also the application surface's first size
    uint32_t infoFlags = 0;
    bool objectMode = false;         // info flag 0x8000: the script-object runtime
    bool externalsDisabled = false;  // info flag 0x1000, "-steam" or a launched game
    uint32_t word18 = 0;
    uint32_t words19to24[6] = {};
    uint64_t value26 = 0;
    uint64_t optionFlags = ~0ull;  // bit 2: the gamepad layer polls XInput pads
    int32_t steamAppId = 0;
    int32_t debuggerPort = 6502;
    int32_t roomCount = 0;
    int32_t* roomOrder = nullptr;  // room indices in playing order
    bool hasFrameRate = false;
    float frameRate = 0.0f;  // the game clock's target (layer model, F >= 14)
};

extern GameHeader g_GameHeader;

// The header pass's reading ("Get Header Information\n").
void GEN8_Read(ChunkView& chunk);
// The chunk pass's second reading.
void GEN8_Load(ChunkView& chunk);
// Frees the copied texts and the room order; the header record returns to its defaults.
void GEN8_Free();
