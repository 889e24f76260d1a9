#include "assets/Font_Main.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "assets/Font_Class.h"
#include "core/Code_Constant.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "core/UTF8.h"
#include "core/Value.h"
#include "base/GameFile.h"

namespace {

constexpr uint32_t kCharTableBytes = 512;
constexpr int32_t kCharTableRows = 256;
constexpr int32_t kGrowBy = 5;

FT_Library g_freeType = nullptr;
ResourceTable<CFontHV> g_fonts;
char** g_names = nullptr;
int32_t g_capacity = 0;
const uint8_t* g_charTable = nullptr;  // in the loaded file; null without a "FONT" chunk

void FreeTable() {
    for (int32_t i = 0; i < g_fonts.count; ++i) {
        delete g_fonts.slots[i];
        MEM_FREE(g_names[i]);
    }
    MEM_FREE(g_fonts.slots);
    MEM_FREE(g_names);
    g_fonts.slots = nullptr;
    g_names = nullptr;
    g_fonts.count = g_capacity = 0;
}

int32_t Append(CFontHV* font) {
    if (g_fonts.count == g_capacity) {
        g_capacity += kGrowBy;
        g_fonts.slots = static_cast<CFontHV**>(MEM_REALLOC(g_fonts.slots, sizeof(CFontHV*) * g_capacity));
        g_names = static_cast<char**>(MEM_REALLOC(g_names, sizeof(char*) * g_capacity));
    }
    const int32_t index = g_fonts.count++;
    g_fonts.slots[index] = font;
    char name[32];
    std::snprintf(name, sizeof name, "__newfont%d", index);
    g_names[index] = String_Duplicate(name);
    return index;
}

bool Replace(int32_t index, CFontHV* font) {
    if (!g_fonts.InRange(index)) {
        delete font;
        return false;
    }
    delete g_fonts.slots[index];
    g_fonts.slots[index] = font;
    return true;
}

// UTF-8 text of count characters read from the character table, or of first, first + 1, ...
// Characters past 16 bits or past the table's 256 rows end the text.
std::string SpriteCharacters(int32_t sprite, int32_t first, bool throughTable) {
    const int32_t frames = g_FontSpriteOps.exists(sprite) ? g_FontSpriteOps.frameCount(sprite) : 0;
    std::string text;
    for (int32_t i = 0; i < frames; ++i) {
        const int64_t code = int64_t(first) + i;
        if (code < 0) continue;
        if (throughTable ? code >= kCharTableRows : code > 0xFFFF) break;
        char bytes[4];
        char* cursor = bytes;
        UTF8_PutChar(cursor, throughTable ? Font_CharTableEntry(int32_t(code)) : uint32_t(code));
        text.append(bytes, cursor);
    }
    return text;
}

}  // namespace

void Font_Init() {
    if (!g_freeType) {
        const FT_Error error = FT_Init_FreeType(&g_freeType);
        if (error) {
            g_freeType = nullptr;
            DebugConsole.Output("Error while initialising FreeType %d\n", error);
        }
    }
    FreeTable();
    g_charTable = nullptr;
}

void Font_LoadChunk(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, 4);
    if (!chunk.Ok()) return;
    if (chunk.Length() < 4 + 4 * count + kCharTableBytes) {
        chunk.Fail("no room for the character table");
        return;
    }
    FreeTable();
    g_charTable = chunk.Data() + chunk.Length() - kCharTableBytes;
    if (count) {
        g_fonts.slots = static_cast<CFontHV**>(MEM_ALLOC(sizeof(CFontHV*) * count));
        g_names = static_cast<char**>(MEM_ALLOC(sizeof(char*) * count));
    }
    g_capacity = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        g_fonts.count = static_cast<int32_t>(i + 1);
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (entry == 0) continue;
        auto* font = new CFontHV();
        g_fonts.slots[i] = font;
        if (!font->LoadFromChunk(chunk, entry)) {
            chunk.Fail("font %u lies outside the file", i);
            return;
        }
        const char* name = chunk.String(chunk.FileU32(entry));
        g_names[i] = name ? String_Duplicate(name) : nullptr;
    }
}

void Font_RegisterChunkReader() {
    Form_RegisterChunkReader("FONT", ChunkReader{Font_LoadChunk, Font_Init, Font_Init});
    Asset_SetFinder(ASSET_FONT, Font_Find);
}

int32_t Font_Count() {
    return g_fonts.count;
}

bool Font_Exists(int32_t index) {
    return g_fonts.Get(index) != nullptr;
}

CFontHV* Font_Get(int32_t index) {
    return g_fonts.Get(index);
}

const char* Font_GetName(int32_t index) {
    return Font_Exists(index) && g_names[index] ? g_names[index] : "<undefined>";
}

int32_t Font_Find(const char* name) {
    if (!name) return -1;
    for (int32_t i = 0; i < g_fonts.count; ++i)
        if (g_fonts.slots[i] && g_names[i] && std::strcmp(g_names[i], name) == 0) return i;
    return -1;
}

int32_t Font_AddTrueType(const char* file, int32_t size, bool bold, bool italic, int32_t first,
                         int32_t last) {
    return Append(new CFontHV(file, size, bold, italic, first, last));
}

int32_t Font_AddSprite(int32_t sprite, int32_t first, bool proportional, int32_t separation) {
    const std::string characters = SpriteCharacters(sprite, first, true);
    return Append(new CFontHV(sprite, characters.c_str(), proportional, separation));
}

int32_t Font_AddSpriteExt(int32_t sprite, const char* characters, bool proportional, int32_t separation) {
    return Append(new CFontHV(sprite, characters, proportional, separation));
}

bool Font_ReplaceTrueType(int32_t index, const char* file, int32_t size, bool bold, bool italic,
                          int32_t first, int32_t last) {
    if (!g_fonts.InRange(index)) return false;
    return Replace(index, new CFontHV(file, size, bold, italic, first, last));
}

bool Font_ReplaceSprite(int32_t index, int32_t sprite, int32_t first, bool proportional, int32_t separation) {
    if (!g_fonts.InRange(index)) return false;
    const std::string characters = SpriteCharacters(sprite, first, false);
    return Replace(index, new CFontHV(sprite, characters.c_str(), proportional, separation));
}

bool Font_ReplaceSpriteExt(int32_t index, int32_t sprite, const char* characters, bool proportional,
                           int32_t separation) {
    if (!g_fonts.InRange(index)) return false;
    return Replace(index, new CFontHV(sprite, characters, proportional, separation));
}

bool Font_Delete(int32_t index) {
    if (!Font_Exists(index)) return false;
    delete g_fonts.slots[index];
    g_fonts.slots[index] = nullptr;
    MEM_FREE(g_names[index]);
    g_names[index] = nullptr;
    return true;
}

void Font_InitTextures() {
    for (int32_t i = 0; i < g_fonts.count; ++i)
        if (g_fonts.slots[i]) g_fonts.slots[i]->CreateTexture();
}

void Font_FreeTextures() {
    for (int32_t i = 0; i < g_fonts.count; ++i)
        if (g_fonts.slots[i]) g_fonts.slots[i]->FreeTexture();
}

void Font_Shutdown() {
    Font_FreeTextures();
    Font_Init();
}

FT_Library Font_FreeTypeLibrary() {
    return g_freeType;
}

uint16_t Font_CharTableEntry(int32_t code) {
    if (code < 0 || code >= kCharTableRows) return 0;
    if (!g_charTable) return static_cast<uint16_t>(code);
    uint16_t value;
    std::memcpy(&value, g_charTable + 2 * code, 2);
    return value;
}
