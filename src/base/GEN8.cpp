#include "base/GEN8.h"

#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "base/GameFile.h"
#include "base/LoadGame.h"

GameHeader g_GameHeader;

namespace {

constexpr const char* kDefaultDisplayName = "Made with Halvane";
constexpr uint32_t kFullScreenFlag = 0x1;
constexpr uint32_t kNoExternalsFlag = 0x1000;
constexpr uint32_t kObjectModeFlag = 0x8000;

// Where the room order begins (its count word), by format.
uint32_t RoomOrderAt(int format) {
    if (format < 8) return 36;
    if (format <= 9) return 100;
    if (format == 10) return 104;
    if (format == 11) return 112;
    if (format == 12) return 120;
    if (format == 13) return 124;
    return 128;
}


void ReplaceText(char*& field, const char* text) {
    MEM_FREE(field);
    field = text ? MEM_COPY_TEXT(text) : nullptr;
}

uint32_t Word(ChunkView& chunk, uint32_t k) {
    return chunk.U32(4 * k);
}

// Formats below 8 end their fixed words before the game name and the major version: the
// words there belong to the room order, so they are not read as either.
uint32_t WordFromFormat8(ChunkView& chunk, uint32_t k, int format) {
    return format >= 8 ? Word(chunk, k) : 0;
}

uint64_t Word64(ChunkView& chunk, uint32_t k) {
    return Word(chunk, k) | (static_cast<uint64_t>(Word(chunk, k + 1)) << 32);
}

// The header must hold every word its format promises, up to the room count.
bool CheckLength(ChunkView& chunk, int format) {
    const uint32_t needed = RoomOrderAt(format) + 4;
    if (chunk.Length() < needed) return chunk.Fail("the header is too short for format %d", format);
    return true;
}

uint32_t WindowFlags(uint32_t flags) {
    if (g_Switches.windowedOverride) flags &= ~kFullScreenFlag;
    return flags;
}

void ReadWindow(ChunkView& chunk) {
    g_GameHeader.windowWidth = static_cast<int32_t>(Word(chunk, 15));
    g_GameHeader.windowHeight = static_cast<int32_t>(Word(chunk, 16));
    g_GameHeader.infoFlags = WindowFlags(Word(chunk, 17));
}

void ReadRoomOrder(ChunkView& chunk, int format) {
    const uint32_t at = RoomOrderAt(format);
    const uint32_t count = chunk.Count(at, 4);
    MEM_FREE(g_GameHeader.roomOrder);
    g_GameHeader.roomOrder = nullptr;
    g_GameHeader.roomCount = 0;
    if (!chunk.Ok() || count == 0) return;
    g_GameHeader.roomOrder = static_cast<int32_t*>(MEM_ALLOC(count * 4));
    if (!g_GameHeader.roomOrder) return;
    for (uint32_t i = 0; i < count; ++i) g_GameHeader.roomOrder[i] = chunk.I32(at + 4 + 4 * i);
    g_GameHeader.roomCount = static_cast<int32_t>(count);
}

// Layer model, format 14 and later: ten words after the room order, then the frame rate.
void ReadFrameRate(ChunkView& chunk, int format) {
    const uint32_t at = RoomOrderAt(format) + 4 + 4 * static_cast<uint32_t>(g_GameHeader.roomCount) + 40;
    const uint32_t bits = chunk.U32(at);
    if (!chunk.Ok()) return;
    std::memcpy(&g_GameHeader.frameRate, &bits, 4);
    g_GameHeader.hasFrameRate = true;
    if (g_LoaderHooks.setFrameRate) g_LoaderHooks.setFrameRate(g_GameHeader.frameRate);
}

}  // namespace

void GEN8_Read(ChunkView& chunk) {
    DebugConsole.Output("Get Header Information\n");
    GameHeader& h = g_GameHeader;
    h.chunkOffset = chunk.Offset();
    h.chunkLength = chunk.Length();
    const uint32_t word0 = Word(chunk, 0);
    h.flagByte = static_cast<uint8_t>(word0);
    h.format = static_cast<uint8_t>(word0 >> 8);
    const int f = h.format;
    if (!CheckLength(chunk, f)) return;

    ReplaceText(h.configName, chunk.String(Word(chunk, 2)));
    ReplaceText(h.gameName, chunk.String(WordFromFormat8(chunk, 10, f)));
    h.gameId = static_cast<int32_t>(Word(chunk, 5));
    const char* display = f >= 10 ? chunk.String(Word(chunk, 25)) : nullptr;
    ReplaceText(h.displayName, display ? display : kDefaultDisplayName);
    if (f >= 11) h.value26 = Word64(chunk, 26);
    h.optionFlags = f >= 12 ? Word64(chunk, 28) : ~0ull;
    if (f >= 13) h.steamAppId = static_cast<int32_t>(Word(chunk, 30));
    h.debuggerPort = f >= 14 ? static_cast<int32_t>(Word(chunk, 31)) : 6502;
    if (f >= 8) {
        ReadWindow(chunk);
        h.objectMode = (h.infoFlags & kObjectModeFlag) != 0;
    }
    h.externalsDisabled =
        (h.infoFlags & kNoExternalsFlag) != 0 || g_LoadState.launchedByGame || g_Switches.steam;
    h.newReferenceFormat = f >= 15;
    h.compatibilityLevel = 800;
    DebugConsole.Output("InitHVSFunctions\n");
    h.major = static_cast<int32_t>(WordFromFormat8(chunk, 11, f));
    h.layerModel = h.major >= 2;
    if (!chunk.Ok()) return;
    if (g_LoaderHooks.initHVSFunctions) g_LoaderHooks.initHVSFunctions();
}

void GEN8_Load(ChunkView& chunk) {
    GameHeader& h = g_GameHeader;
    h.chunkOffset = chunk.Offset();
    h.chunkLength = chunk.Length();
    const uint32_t word0 = Word(chunk, 0);
    h.flagByte = static_cast<uint8_t>(word0);
    h.format = static_cast<uint8_t>(word0 >> 8);
    const int f = h.format;
    if (!CheckLength(chunk, f)) return;

    h.gameId = static_cast<int32_t>(Word(chunk, 5));
    for (uint32_t i = 0; i < 4; ++i) h.words6to9[i] = Word(chunk, 6 + i);
    h.lastInstanceId = static_cast<int32_t>(Word(chunk, 3));
    h.lastTileId = static_cast<int32_t>(Word(chunk, 4));
    if (f >= 8) {
        ReadWindow(chunk);
        h.word18 = Word(chunk, 18);
        for (uint32_t i = 0; i < 6; ++i) h.words19to24[i] = Word(chunk, 19 + i);
    }
    ReadRoomOrder(chunk, f);
    if (!chunk.Ok()) return;
    if (h.objectMode && g_LoaderHooks.initStandardObjects) g_LoaderHooks.initStandardObjects();
    if (f >= 14 && h.layerModel) ReadFrameRate(chunk, f);
}

void GEN8_Free() {
    MEM_FREE(g_GameHeader.configName);
    MEM_FREE(g_GameHeader.gameName);
    MEM_FREE(g_GameHeader.displayName);
    MEM_FREE(g_GameHeader.roomOrder);
    g_GameHeader = GameHeader();
}
