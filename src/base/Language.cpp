#include "base/Language.h"

#include "core/MemoryManager.h"
#include "base/GameFile.h"

LanguageTable g_LanguageTable;

namespace {

constexpr uint32_t kHeaderBytes = 12;

// Every string of the table must be a string of the file before anything is kept.
bool TableFits(ChunkView& chunk, uint32_t languages, uint32_t entries) {
    const uint64_t words = entries + static_cast<uint64_t>(languages) * (entries + 2ull);
    if (words * 4 > chunk.Length() - kHeaderBytes)
        return chunk.Fail("%u languages of %u entries do not fit the chunk", languages, entries);
    for (uint64_t w = 0; w < words && chunk.Ok(); ++w)
        chunk.String(chunk.U32(static_cast<uint32_t>(kHeaderBytes + 4 * w)));
    return chunk.Ok();
}

}  // namespace

void Language_Load(ChunkView& chunk) {
    Language_Free();
    const int32_t languages = chunk.I32(4);
    const int32_t entries = chunk.I32(8);
    if (!chunk.Ok()) return;
    LanguageTable& t = g_LanguageTable;
    if (languages <= 0 || entries <= 0) return;
    if (!TableFits(chunk, static_cast<uint32_t>(languages), static_cast<uint32_t>(entries))) return;
    t.entryNames = static_cast<const char**>(MEM_ALLOC(entries * sizeof(char*)));
    t.languages = static_cast<LanguageRecord*>(MEM_ALLOC(languages * sizeof(LanguageRecord)));
    if (!t.entryNames || !t.languages) {
        Language_Free();
        return;
    }
    uint32_t at = kHeaderBytes;
    for (int32_t e = 0; e < entries; ++e, at += 4) t.entryNames[e] = chunk.String(chunk.U32(at));
    for (int32_t l = 0; l < languages; ++l) {
        LanguageRecord& r = t.languages[l];
        r.name = chunk.String(chunk.U32(at));
        r.secondName = chunk.String(chunk.U32(at + 4));
        at += 8;
        r.texts = static_cast<const char**>(MEM_ALLOC(entries * sizeof(char*)));
        t.languageCount = l + 1;
        if (!r.texts) break;
        for (int32_t e = 0; e < entries; ++e, at += 4) r.texts[e] = chunk.String(chunk.U32(at));
    }
    t.entryCount = entries;
    t.current = 0;
}

void Language_Free() {
    LanguageTable& t = g_LanguageTable;
    for (int32_t l = 0; l < t.languageCount; ++l) MEM_FREE(t.languages[l].texts);
    MEM_FREE(t.languages);
    MEM_FREE(t.entryNames);
    t = LanguageTable();
}
