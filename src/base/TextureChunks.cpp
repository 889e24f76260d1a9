#include "base/TextureChunks.h"

#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "base/GameFile.h"

namespace {

constexpr uint32_t kPageEntryBytes = 22;
constexpr uint32_t kTextureFieldAt = 20;
constexpr uint32_t kTextureEntryBytes = 8;

TextureCreateFn g_createTexture = nullptr;
uint32_t g_pageCount = 0;
uint32_t g_pageTable = 0;  // file offset of the entry offsets
uint32_t g_textureCount = 0;
int32_t* g_textureIds = nullptr;

uint32_t ReadLE32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Rewrites each page entry's TXTR entry number into the texture id it became.
void RewritePageEntries() {
    for (uint32_t i = 0; i < g_pageCount; ++i) {
        uint8_t* entry = TPAG_Entry(i);
        if (!entry) continue;
        uint8_t* field = entry + kTextureFieldAt;
        int16_t index;
        std::memcpy(&index, field, 2);
        if (index < 0 || static_cast<uint32_t>(index) >= g_textureCount) {
            DebugConsole.Output("what!!!!\n");
            continue;
        }
        const auto id = static_cast<int16_t>(g_textureIds[index]);
        std::memcpy(field, &id, 2);
    }
}

}  // namespace

void TXTR_SetTextureCreator(TextureCreateFn create) {
    g_createTexture = create;
}

void TPAG_Load(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, 4);
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) chunk.FileBytes(chunk.U32(4 + 4 * i), kPageEntryBytes);
    if (!chunk.Ok()) return;
    g_pageCount = count;
    g_pageTable = chunk.Offset() + 4;
}

void TXTR_Load(ChunkView& chunk) {
    if (!g_createTexture) {
        DebugConsole.Output("No reader for chunk %s, skipped\n", chunk.Tag());
        return;
    }
    const uint32_t count = chunk.Count(0, 4);
    if (!chunk.Ok()) return;
    MEM_FREE(g_textureIds);
    g_textureIds = count ? static_cast<int32_t*>(MEM_ALLOC(count * sizeof(int32_t))) : nullptr;
    g_textureCount = 0;
    const uint32_t chunkEnd = chunk.Offset() + chunk.Length();
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (!chunk.FileBytes(entry, kTextureEntryBytes)) return;
        const uint32_t flags = chunk.FileU32(entry);
        const uint32_t blob = chunk.FileU32(entry + 4);
        if (!chunk.Ok()) return;
        if (blob < chunk.Offset() || blob >= chunkEnd) {
            chunk.Fail("texture %u lies outside the chunk", i);
            return;
        }
        g_textureIds[i] = g_createTexture(Form_Base() + blob, chunkEnd - blob, (flags & 1) != 0);
        g_textureCount = i + 1;
    }
    RewritePageEntries();
}

uint32_t TPAG_Count() {
    return g_pageCount;
}

// The table lies in the writable file, so each use checks the entry's place again.
uint8_t* TPAG_Entry(uint32_t i) {
    if (i >= g_pageCount) return nullptr;
    const uint32_t at = ReadLE32(Form_Base() + g_pageTable + 4 * i);
    if (at > Form_Size() || Form_Size() - at < kPageEntryBytes) return nullptr;
    return Form_Base() + at;
}

uint32_t TXTR_Count() {
    return g_textureCount;
}

int32_t TXTR_TextureId(uint32_t i) {
    return i < g_textureCount ? g_textureIds[i] : -1;
}

void TextureChunks_Reset() {
    MEM_FREE(g_textureIds);
    g_textureIds = nullptr;
    g_textureCount = g_pageCount = g_pageTable = 0;
}
