#include "base/TextureChunks.h"

#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "base/GameFile.h"

namespace {

constexpr uint32_t kPageEntryBytes = 22;
constexpr uint32_t kTextureFieldAt = 20;
constexpr uint32_t kTextureEntryBytes = 8;

constexpr uint64_t kBudgetAllowance = uint64_t{1} << 30;
constexpr uint64_t kBudgetPerFileByte = 64;

TextureCreateFn g_createTexture = nullptr;
TextureSizeFn g_textureSize = nullptr;
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

void TXTR_SetTextureCreator(TextureCreateFn create, TextureSizeFn sizeOf) {
    g_createTexture = create;
    g_textureSize = sizeOf;
}

uint64_t TXTR_DecodeBudget(uint32_t fileSize) {
    return kBudgetAllowance + kBudgetPerFileByte * fileSize;
}

void TPAG_Load(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, 4);
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) chunk.FileBytes(chunk.U32(4 + 4 * i), kPageEntryBytes);
    if (!chunk.Ok()) return;
    g_pageCount = count;
    g_pageTable = chunk.Offset() + 4;
}

namespace {

// The blob of texture entry i, or null after failing the chunk.
const uint8_t* TextureBlob(ChunkView& chunk, uint32_t i, bool* flag, uint32_t* length) {
    const uint32_t entry = chunk.U32(4 + 4 * i);
    if (!chunk.FileBytes(entry, kTextureEntryBytes)) return nullptr;
    *flag = (chunk.FileU32(entry) & 1) != 0;
    const uint32_t blob = chunk.FileU32(entry + 4);
    if (!chunk.Ok()) return nullptr;
    const uint32_t chunkEnd = chunk.Offset() + chunk.Length();
    if (blob < chunk.Offset() || blob >= chunkEnd) {
        chunk.Fail("texture %u lies outside the chunk", i);
        return nullptr;
    }
    *length = chunkEnd - blob;
    return Form_Base() + blob;
}

// Every page's decoded size against the limits, before any page is decoded.
bool TexturesFitBudget(ChunkView& chunk, uint32_t count) {
    if (!g_textureSize) return true;
    const uint64_t budget = TXTR_DecodeBudget(Form_Size());
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        bool flag = false;
        uint32_t length = 0;
        const uint8_t* blob = TextureBlob(chunk, i, &flag, &length);
        if (blob == nullptr) return false;
        int32_t width = 0, height = 0;
        if (!g_textureSize(blob, length, &width, &height)) continue;  // the creator reports it
        if (width > TXTR_PAGE_SIDE_LIMIT || height > TXTR_PAGE_SIDE_LIMIT)
            return chunk.Fail("texture %u is %dx%d, more than %d pixels a side", i, width, height,
                              TXTR_PAGE_SIDE_LIMIT);
        total += uint64_t(width) * uint64_t(height) * 4;
        if (total > budget)
            return chunk.Fail(
                "textures up to %u decode to %llu MB, more than a file of this size may (%llu MB)", i,
                static_cast<unsigned long long>(total >> 20), static_cast<unsigned long long>(budget >> 20));
    }
    return true;
}

}  // namespace

void TXTR_Load(ChunkView& chunk) {
    if (!g_createTexture) {
        DebugConsole.Output("No reader for chunk %s, skipped\n", chunk.Tag());
        return;
    }
    const uint32_t count = chunk.Count(0, 4);
    if (!chunk.Ok() || !TexturesFitBudget(chunk, count)) return;
    MEM_FREE(g_textureIds);
    g_textureIds = count ? static_cast<int32_t*>(MEM_ALLOC(count * sizeof(int32_t))) : nullptr;
    g_textureCount = 0;
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        bool flag = false;
        uint32_t length = 0;
        const uint8_t* blob = TextureBlob(chunk, i, &flag, &length);
        if (blob == nullptr) return;
        g_textureIds[i] = g_createTexture(blob, length, flag);
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
