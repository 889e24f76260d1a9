#include "base/GameOptions.h"

#include <climits>
#include <cstring>

#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "base/LoadGame.h"

GameOptions g_GameOptions;

namespace {

constexpr uint32_t kNewHeaderWords = 16;  // marker .. constant count
constexpr uint32_t kOldCountAt = 140;

bool Bit(uint32_t flags, int bit) {
    return (flags >> bit) & 1;
}


// A decimal integer at the start of the text, as the C runtime's atol reads it on a 32-bit
// build: leading blanks and a sign, digits up to the first other byte, clamped to int32.
int32_t LeadingInt(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void SetFullScreen(bool on) {
    g_GameOptions.fullScreen = on && !g_Switches.windowedOverride;
}

void SetWindowColour(uint32_t colour) {
    g_GameOptions.windowColour = colour;
    if (g_LoaderHooks.setWindowColour) g_LoaderHooks.setWindowColour(colour);
}

void ReadNewFormat(ChunkView& chunk) {
    GameOptions& o = g_GameOptions;
    const uint32_t flags = chunk.U32(8);
    o.keptFlags = flags;
    for (uint32_t w = 0; w < 15; ++w) o.keptWords[w] = chunk.I32(4 * w);
    if (!chunk.Ok()) return;
    SetFullScreen(Bit(flags, 0));
    o.newAudioEngine = Bit(flags, 2);
    o.showCursor = Bit(flags, 4);
    o.changeDisplayMode = Bit(flags, 7);
    o.altEnterFullScreen = Bit(flags, 9);
    o.freezeWhenInactive = Bit(flags, 15);
    o.errorsFatal = Bit(flags, 21);
    o.unsetVariablesNotZero = Bit(flags, 22);
    if (g_GameHeader.format <= 4) o.keptFlags &= ~(1u << 23);
    o.collisionTreeMode = Bit(flags, 26);
    SetWindowColour(chunk.U32(20));
    o.colourDepthSetting = chunk.I32(24);
    o.resolutionSetting = chunk.I32(28);
    o.refreshSetting = chunk.I32(32);
    o.keptText = chunk.String(chunk.U32(52));
}

void ReadOldFormat(ChunkView& chunk) {
    GameOptions& o = g_GameOptions;
    for (uint32_t w = 0; w < 35; ++w) o.keptWords[w] = chunk.I32(4 * w);
    if (!chunk.Ok()) return;
    auto on = [&](uint32_t at) { return chunk.U32(at) != 0; };
    SetFullScreen(on(0));
    o.newAudioEngine = on(8);
    o.showCursor = on(16);
    SetWindowColour(chunk.U32(32));
    o.changeDisplayMode = on(36);
    o.colourDepthSetting = chunk.I32(40);
    o.resolutionSetting = chunk.I32(44);
    o.refreshSetting = chunk.I32(48);
    o.altEnterFullScreen = on(60);
    o.freezeWhenInactive = on(88);
    o.keptText = chunk.String(chunk.U32(104));
    o.errorsFatal = on(128);
    o.unsetVariablesNotZero = on(132);
    if (g_GameHeader.format <= 4) o.keptWords[34] = 0;
    o.collisionTreeMode = false;
}

void ReadConstants(ChunkView& chunk, uint32_t countAt) {
    GameOptions& o = g_GameOptions;
    const uint32_t count = chunk.Count(countAt, 8);
    if (!chunk.Ok()) return;
    Options_FreeConstants();
    if (count == 0) return;
    o.constantNames = static_cast<char**>(MEM_ALLOC(count * sizeof(char*)));
    o.constantValues = static_cast<char**>(MEM_ALLOC(count * sizeof(char*)));
    if (!o.constantNames || !o.constantValues) return;
    for (uint32_t i = 0; i < count; ++i) {
        const char* name = chunk.RequiredString(chunk.U32(countAt + 4 + 8 * i));
        const char* value = chunk.RequiredString(chunk.U32(countAt + 8 + 8 * i));
        if (!chunk.Ok()) return;
        o.constantNames[i] = MEM_COPY_TEXT(name);
        o.constantValues[i] = MEM_COPY_TEXT(value);
        o.constantCount = static_cast<int32_t>(i + 1);
        if (std::strcmp(name, "VersionMajor") == 0) o.versionMajor = LeadingInt(value);
        if (std::strcmp(name, "VersionMinor") == 0) o.versionMinor = LeadingInt(value);
    }
}

}  // namespace

void Options_SetDefaults() {
    GameOptions& o = g_GameOptions;
    Options_FreeConstants();
    o.showCursor = true;
    o.windowColour = 0xFFFFFF;
    o.changeDisplayMode = false;
    o.colourDepthSetting = o.resolutionSetting = o.refreshSetting = 0;
    o.altEnterFullScreen = true;
    o.freezeWhenInactive = false;
    o.errorsFatal = false;
    o.unsetVariablesNotZero = false;
    o.errorDialogs = !g_Switches.noErrors;
    o.fullScreen = false;
    o.keptFlags = 0;
    std::memset(o.keptWords, 0, sizeof o.keptWords);
    o.keptText = nullptr;
}

bool Options_Load(ChunkView& chunk) {
    const int32_t marker = chunk.I32(0);
    if (!chunk.Ok()) return true;
    if (marker < 0) {
        if (chunk.Length() < 4 * kNewHeaderWords) {
            chunk.Fail("the options are too short (%u bytes)", chunk.Length());
            return true;
        }
        if (chunk.I32(4) != 2) return false;
        ReadNewFormat(chunk);
        ReadConstants(chunk, 4 * (kNewHeaderWords - 1));
    } else {
        if (chunk.Length() < kOldCountAt + 4) {
            chunk.Fail("the options are too short (%u bytes)", chunk.Length());
            return true;
        }
        ReadOldFormat(chunk);
        ReadConstants(chunk, kOldCountAt);
    }
    return true;
}

void Options_FreeConstants() {
    GameOptions& o = g_GameOptions;
    for (int32_t i = 0; i < o.constantCount; ++i) {
        MEM_FREE(o.constantNames[i]);
        MEM_FREE(o.constantValues[i]);
    }
    MEM_FREE(o.constantNames);
    MEM_FREE(o.constantValues);
    o.constantNames = o.constantValues = nullptr;
    o.constantCount = 0;
}

int32_t Options_ColourDepthBits() {
    switch (g_GameOptions.colourDepthSetting) {
        case 1:
            return 16;
        case 2:
            return 32;
        default:
            return 0;
    }
}

bool Options_Resolution(int32_t* width, int32_t* height) {
    static const int32_t kSizes[6][2] = {{320, 240},  {640, 480},   {800, 600},
                                         {1024, 768}, {1280, 1024}, {1600, 1200}};
    const int32_t s = g_GameOptions.resolutionSetting;
    if (s < 1 || s > 6) return false;
    *width = kSizes[s - 1][0];
    *height = kSizes[s - 1][1];
    return true;
}

int32_t Options_RefreshRate() {
    static const int32_t kRates[5] = {60, 70, 85, 100, 120};
    const int32_t s = g_GameOptions.refreshSetting;
    return s >= 1 && s <= 5 ? kRates[s - 1] : 0;
}
