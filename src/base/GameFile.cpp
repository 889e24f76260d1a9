#include "base/GameFile.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Process.h"
#include "base/CodeLink.h"
#include "base/DebugInfo.h"
#include "base/GEN8.h"
#include "base/GameOptions.h"
#include "base/Language.h"
#include "base/LoadGame.h"
#include "base/TextureChunks.h"

namespace {

uint8_t* g_base = nullptr;
uint32_t g_size = 0;
char g_loadError[1024] = {};
bool g_hasLoadError = false;

uint32_t g_stringCount = 0;
uint32_t g_stringTable = 0;  // file offset of the table of string offsets
uint32_t g_globCount = 0;
uint32_t g_globList = 0;
bool g_hasBytecode = false;

// The chunk table as the container check found it. Readers patch the file in place, and a patch
// may land on a later chunk's header; the walk goes by this copy, never by the patched bytes.
struct ChunkSpan {
    uint8_t tag[4];
    uint32_t offset;  // of the data
    uint32_t length;
};
ChunkSpan* g_chunks = nullptr;
uint32_t g_chunkCount = 0;

// The chunk table: every tag the chunk pass knows, in the order of the reset steps' owners.
struct ChunkSlot {
    const char* tag;
    ChunkReader reader;
    bool nothingToDo;  // read in the header pass, or not used
};

void LoadGEN7(ChunkView& chunk) {
    g_GameHeader.compatibilityLevel = 700;
    GEN8_Load(chunk);
}

void LoadGLOB(ChunkView& chunk) {
    g_globCount = chunk.Count(0, 4);
    g_globList = chunk.Offset() + 4;
}

void LoadOptions(ChunkView& chunk) {
    Options_Load(chunk);
}

ChunkSlot g_defaultTable[] = {
    {"GEN8", {GEN8_Load, nullptr, nullptr}, false},
    {"GEN7", {LoadGEN7, nullptr, nullptr}, false},
    {"GENL", {LoadGEN7, nullptr, nullptr}, false},
    {"OPTN", {LoadOptions, nullptr, nullptr}, false},
    {"LANG", {Language_Load, nullptr, nullptr}, false},
    {"EXTN", {}, false},
    {"SOND", {}, false},
    {"AGRP", {}, false},
    {"SPRT", {}, false},
    {"BGND", {}, false},
    {"PATH", {}, false},
    {"SCPT", {}, false},
    {"GLOB", {LoadGLOB, nullptr, nullptr}, false},
    {"SHDR", {}, false},
    {"FONT", {}, false},
    {"TMLN", {}, false},
    {"OBJT", {}, false},
    {"ROOM", {}, false},
    {"TPAG", {TPAG_Load, nullptr, nullptr}, false},
    {"CODE", {Code_LoadChunk, nullptr, nullptr}, false},
    {"FUNC", {FUNC_Load, nullptr, nullptr}, false},
    {"TXTR", {TXTR_Load, nullptr, nullptr}, false},
    {"AUDO", {}, false},
    {"STRG", {}, true},
    {"VARI", {}, true},
    {"DAFL", {}, true},
    {"HELP", {}, true},
    {"RASP", {}, true},
    {"PSPS", {}, true},
    {"STAT", {}, true},
};
constexpr size_t kTableSize = sizeof(g_defaultTable) / sizeof(g_defaultTable[0]);
ChunkSlot g_table[kTableSize];
bool g_tableReady = false;

// Owners reset before the chunks are read, in this order; game options come after them.
const char* const kResetOrder[] = {"SOND", "SPRT", "BGND", "PATH", "SCPT", "FONT", "TMLN", "OBJT", "ROOM"};

void EnsureTable() {
    if (g_tableReady) return;
    for (size_t i = 0; i < kTableSize; ++i) g_table[i] = g_defaultTable[i];
    g_tableReady = true;
}

ChunkSlot* FindSlot(const char* tag) {
    EnsureTable();
    for (ChunkSlot& slot : g_table)
        if (std::memcmp(slot.tag, tag, 4) == 0) return &slot;
    return nullptr;
}

uint32_t ReadLE32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The tag as printable text: bytes outside printable ASCII show as '?', so a damaged file
// cannot put control bytes (or an early NUL) into the log.
void TagText(const uint8_t* p, char out[5]) {
    for (int i = 0; i < 4; ++i) out[i] = (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '?';
    out[4] = 0;
}

void ForgetChunks() {
    MEM_FREE(g_chunks);
    g_chunks = nullptr;
    g_chunkCount = 0;
}

// Checks that the chunks tile the file exactly (each header and each body inside the file) and
// takes the snapshot of the chunk table.
bool CheckContainer() {
    ForgetChunks();
    uint32_t pos = 8, count = 0;
    char previous[5] = "FORM";
    while (pos < g_size) {
        if (g_size - pos < 8) {
            Form_SetLoadError("Bad game data: the file ends inside the header of the chunk after \"%s\"",
                              previous);
            return false;
        }
        char tag[5];
        TagText(g_base + pos, tag);
        const uint32_t length = ReadLE32(g_base + pos + 4);
        if (length > g_size - pos - 8) {
            Form_SetLoadError("Bad game data in chunk \"%s\": length %u runs past the end of the file", tag,
                              length);
            return false;
        }
        std::memcpy(previous, tag, 5);
        pos += 8 + length;
        ++count;
    }
    g_chunks = static_cast<ChunkSpan*>(MEM_ALLOC_RAW((count ? count : 1) * sizeof(ChunkSpan)));
    if (!g_chunks) return false;
    pos = 8;
    for (uint32_t i = 0; i < count; ++i) {
        ChunkSpan& c = g_chunks[i];
        std::memcpy(c.tag, g_base + pos, 4);
        c.offset = pos + 8;
        c.length = ReadLE32(g_base + pos + 4);
        pos = c.offset + c.length;
    }
    g_chunkCount = count;
    return true;
}

bool FormLengthFits() {
    return g_size >= 8 && static_cast<uint64_t>(ReadLE32(g_base + 4)) + 8 == g_size;
}

template <typename Visit>
bool WalkChunks(Visit visit) {
    for (uint32_t i = 0; i < g_chunkCount; ++i) {
        const ChunkSpan c = g_chunks[i];
        if (!visit(c.tag, c.offset, c.length)) return false;
    }
    return true;
}

void ReadStringTable(ChunkView& chunk) {
    DebugConsole.Output("ID_STRG\n");
    g_stringCount = chunk.Count(0, 4);
    g_stringTable = chunk.Offset() + 4;
    for (uint32_t i = 0; i < g_stringCount && chunk.Ok(); ++i) {
        const uint32_t lengthAt = chunk.FileU32(g_stringTable + 4 * i);
        if (lengthAt > UINT32_MAX - 4) {
            chunk.Fail("string %u lies outside the file", i);
            break;
        }
        chunk.RequiredString(lengthAt + 4);
    }
    if (!chunk.Ok()) g_stringCount = 0;
}

void FirstPassChunk(const char* tag, ChunkView& chunk) {
    if (std::memcmp(tag, "GEN8", 4) == 0 || std::memcmp(tag, "GEN7", 4) == 0 ||
        std::memcmp(tag, "GENL", 4) == 0) {
        GEN8_Read(chunk);
    } else if (std::memcmp(tag, "CODE", 4) == 0) {
        DebugConsole.Output("Code_Load()\n");
        g_hasBytecode = true;
        Code_ReadTable(chunk);
    } else if (std::memcmp(tag, "STRG", 4) == 0) {
        ReadStringTable(chunk);
    } else if (std::memcmp(tag, "VARI", 4) == 0) {
        DebugConsole.Output("VARI_Load()\n");
        VARI_Load(chunk);
    }
}

void RunResetSteps() {
    for (const char* tag : kResetOrder)
        if (ChunkSlot* slot = FindSlot(tag); slot && slot->reader.reset) slot->reader.reset();
    Options_SetDefaults();
    Language_Free();
    if (g_GameHeader.layerModel && g_LoaderHooks.resetCameras) g_LoaderHooks.resetCameras();
}

// The global object holds as many slots as the larger of the two variable counts.
void CreateGlobalObject() {
    const GameLinkRecord* link = g_LoadState.linkRecord;
    int32_t globals = Code_VariGlobalCount();
    int32_t instances = Code_VariInstanceCount();
    if (link && link->globalSlotCount > 0) globals = link->globalSlotCount;
    if (link && link->instanceSlotCount > 0) instances = link->instanceSlotCount;
    if (instances < 2) instances = 2;
    g_LoadState.globalVariableCount = globals;
    g_LoadState.instanceVariableCount = instances;
    if (g_LoaderHooks.createGlobalObject)
        g_LoaderHooks.createGlobalObject(globals > instances ? globals : instances);
}

void LinkFatal(const char* format, const char* name) {
    char text[1024];
    std::snprintf(text, sizeof text, format, name);
    if (g_LoaderHooks.showFatalError)
        g_LoaderHooks.showFatalError(text);
    else
        ErrorConsole.Output("%s", text);
    RunnerLoadGame_End();
}

// The compiled game's references, resolved by name.
void LinkCompiledGame() {
    const GameLinkRecord* link = g_LoadState.linkRecord;
    if (!link) return;
    for (VariableRef** ref = link->variableRefs; ref && *ref; ++ref) {
        const int32_t id = g_CodeLink.variableGetId ? g_CodeLink.variableGetId((*ref)->name) : -1;
        if (id < 0) LinkFatal("Error on load\nUnable to find variable %s\n", (*ref)->name);
        (*ref)->variableId = id;
    }
    for (FunctionRef** ref = link->functionRefs; ref && *ref; ++ref) {
        const int32_t id = g_CodeLink.functionFind ? g_CodeLink.functionFind((*ref)->name) : -1;
        if (id < 0) LinkFatal("Error on load\nUnable to find function %s\n", (*ref)->name);
        (*ref)->builtinIndex = id;
    }
}

// One chunk of the chunk pass. Answers false when the chunk is bad; `known` tells whether the
// tag is in the table.
bool ProcessChunk(const uint8_t* header, uint32_t dataOffset, uint32_t length, bool& known) {
    char tag[5];
    TagText(header, tag);  // `header` is the snapshot's tag
    DebugConsole.Output("Process Chunk: %s   %d\n", tag, static_cast<int>(length));
    ChunkSlot* slot = FindSlot(reinterpret_cast<const char*>(header));
    known = slot != nullptr;
    if (!slot) {
        DebugConsole.Output("unknown Chunk %s:%d\n", tag, static_cast<int>(ReadLE32(header)));
        return true;
    }
    if (length == 0 || slot->nothingToDo) return true;
    if (!slot->reader.load) {
        DebugConsole.Output("No reader for chunk %s, skipped\n", tag);
        return true;
    }
    MemoryManager::PushName(slot->tag);
    ChunkView chunk(slot->tag, dataOffset, length);
    slot->reader.load(chunk);
    MemoryManager::PopName();
    return chunk.Ok() && !g_hasLoadError;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The loaded file

// A data file of megabytes is given memory of its own, in huge pages where the system has them:
// every fresh 4 KiB page costs a fault, and for a 50 MB file those faults alone take longer than
// all the chunk readers together. Smaller files come from the memory manager.
constexpr size_t kHugePageBytes = size_t{2} << 20;

bool UsesHugePages(uint32_t size) {
    return size_t{size} + 1 >= kHugePageBytes;
}

uint8_t* Form_AllocData(uint32_t size) {
    if (size == UINT32_MAX) return nullptr;
    if (!UsesHugePages(size)) return static_cast<uint8_t*>(MEM_ALLOC_RAW(size + 1));
    const size_t bytes = (size_t{size} + kHugePageBytes) & ~(kHugePageBytes - 1);
    void* block = std::aligned_alloc(kHugePageBytes, bytes);
    // Only advice: without huge pages the block works the same.
    if (block) madvise(block, bytes, MADV_HUGEPAGE);
    return static_cast<uint8_t*>(block);
}

void Form_FreeData(uint8_t* block, uint32_t size) {
    if (UsesHugePages(size))
        std::free(block);
    else
        MEM_FREE(block);
}

// The copy carries one NUL byte past its end, so a text of the file that a later patch left
// without its terminator still ends inside the block.
bool Form_SetData(const uint8_t* data, uint32_t size) {
    uint8_t* block = Form_AllocData(size);
    if (!block) return false;
    if (size) std::memcpy(block, data, size);
    block[size] = 0;
    Form_AdoptData(block, size);
    return true;
}

void Form_AdoptData(uint8_t* block, uint32_t size) {
    ForgetChunks();
    if (g_base && g_base != block) Form_FreeData(g_base, g_size);
    g_base = block;
    g_size = block ? size : 0;
}

uint8_t* Form_Base() {
    return g_base;
}
uint32_t Form_Size() {
    return g_size;
}

bool IsPointerInGameData(const void* p) {
    const auto* q = static_cast<const uint8_t*>(p);
    return g_base && q >= g_base && q < g_base + g_size;
}

// ---------------------------------------------------------------------------------------------
// ChunkView

ChunkView::ChunkView(const char* tag, uint32_t dataOffset, uint32_t length)
    : m_offset(dataOffset), m_length(length) {
    TagText(reinterpret_cast<const uint8_t*>(tag), m_tag);
}

uint8_t* ChunkView::Data() const {
    return g_base + m_offset;
}

bool ChunkView::Fail(const char* format, ...) {
    if (!m_failed && !g_hasLoadError) {
        char detail[768];
        va_list args;
        va_start(args, format);
        std::vsnprintf(detail, sizeof detail, format, args);
        va_end(args);
        Form_SetLoadError("Bad game data in chunk \"%s\": %s", m_tag, detail);
    }
    m_failed = true;
    return false;
}

uint32_t ChunkView::U32(uint32_t at) {
    if (m_length < 4 || at > m_length - 4) {
        Fail("word at %u lies outside the chunk (length %u)", at, m_length);
        return 0;
    }
    return ReadLE32(g_base + m_offset + at);
}

uint32_t ChunkView::Count(uint32_t at, uint32_t elementSize) {
    const uint32_t count = U32(at);
    if (!Ok()) return 0;
    if (static_cast<uint64_t>(count) * elementSize > m_length - at - 4) {
        Fail("count %u at %u does not fit the chunk (length %u)", count, at, m_length);
        return 0;
    }
    return count;
}

uint8_t* ChunkView::FileBytes(uint32_t offset, uint32_t size) {
    if (offset > g_size || size > g_size - offset) {
        Fail("offset %u (%u bytes) lies outside the file", offset, size);
        return nullptr;
    }
    return g_base + offset;
}

uint32_t ChunkView::FileU32(uint32_t offset) {
    const uint8_t* p = FileBytes(offset, 4);
    return p ? ReadLE32(p) : 0;
}

float ChunkView::FileF32(uint32_t offset) {
    const uint32_t bits = FileU32(offset);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

int16_t ChunkView::FileI16(uint32_t offset) {
    const uint8_t* p = FileBytes(offset, 2);
    if (!p) return 0;
    int16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

uint32_t ChunkView::FileCount(uint32_t offset, uint32_t elementSize) {
    const uint32_t count = FileU32(offset);
    if (!Ok()) return 0;
    if (static_cast<uint64_t>(count) * elementSize > g_size - offset - 4) {
        Fail("count %u at offset %u does not fit the file", count, offset);
        return 0;
    }
    return count;
}

const char* ChunkView::String(uint32_t ref) {
    if (ref == 0) return nullptr;
    if (ref < 4 || ref > g_size) {
        Fail("string reference %u lies outside the file", ref);
        return nullptr;
    }
    const uint32_t length = ReadLE32(g_base + ref - 4);
    if (length >= g_size - ref || g_base[ref + length] != 0) {
        Fail("string reference %u is not a string of the file", ref);
        return nullptr;
    }
    return reinterpret_cast<const char*>(g_base + ref);
}

const char* ChunkView::RequiredString(uint32_t ref) {
    if (ref == 0) {
        Fail("a required string reference is 0");
        return nullptr;
    }
    return String(ref);
}

// ---------------------------------------------------------------------------------------------
// Reader table

bool Form_RegisterChunkReader(const char* tag, const ChunkReader& reader) {
    ChunkSlot* slot = FindSlot(tag);
    if (!slot || slot->nothingToDo) return false;
    slot->reader = reader;
    return true;
}

void Form_ResetChunkReaders() {
    g_tableReady = false;
    EnsureTable();
}

// ---------------------------------------------------------------------------------------------
// Errors

void Form_SetLoadError(const char* format, ...) {
    if (g_hasLoadError) return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_loadError, sizeof g_loadError, format, args);
    va_end(args);
    g_hasLoadError = true;
}

const char* Form_LoadError() {
    return g_hasLoadError ? g_loadError : nullptr;
}

void Form_ClearLoadError() {
    g_hasLoadError = false;
    g_loadError[0] = 0;
}

void Form_FailLoad() {
    ErrorConsole.Output("%s\n", g_hasLoadError ? g_loadError : "Bad game data");
    Process_Exit(1);
}

// ---------------------------------------------------------------------------------------------
// The two passes

bool Form_FirstPass(uint8_t* data, uint32_t size) {
    if (data != g_base && !Form_SetData(data, size)) return false;
    Form_ClearLoadError();
    g_stringCount = g_stringTable = 0;
    g_hasBytecode = false;
    CodeLink_Reset();
    if (!FormLengthFits()) return true;
    if (!CheckContainer()) return false;
    return WalkChunks([](const uint8_t* header, uint32_t dataOffset, uint32_t length) {
        if (length == 0) return true;
        ChunkView chunk(reinterpret_cast<const char*>(header), dataOffset, length);
        FirstPassChunk(reinterpret_cast<const char*>(header), chunk);
        return chunk.Ok() && !g_hasLoadError;
    });
}

bool Form_ProcessChunks(uint8_t* data, uint32_t size) {
    if (data != g_base && !Form_SetData(data, size)) return false;
    g_globCount = g_globList = 0;
    TextureChunks_Reset();
    DebugConsole.Output("initialise everything!\n");
    RunResetSteps();
    CreateGlobalObject();
    bool allKnown = true;
    if (FormLengthFits()) {
        if (!g_chunks && !CheckContainer()) return false;
        const bool sound = WalkChunks([&](const uint8_t* header, uint32_t dataOffset, uint32_t length) {
            bool known = true;
            const bool ok = ProcessChunk(header, dataOffset, length, known);
            allKnown = allKnown && known;
            return ok;
        });
        if (!sound || !CodeLink_Finish()) return false;
    }
    if (g_GameHeader.objectMode && g_LoaderHooks.createResourceObject) g_LoaderHooks.createResourceObject();
    LinkCompiledGame();
    return allKnown;
}

bool LoadGameData(uint8_t* data, uint32_t size) {
    DebugConsole.Output("LoadGameData()\n");
    return Form_ProcessChunks(data, size);
}

void Form_Free() {
    EnsureTable();
    for (ChunkSlot& slot : g_table)
        if (slot.reader.release) slot.reader.release();
    Form_AdoptData(nullptr, 0);
    ForgetChunks();
    g_stringCount = g_stringTable = g_globCount = g_globList = 0;
    g_hasBytecode = false;
    CodeLink_Reset();
    TextureChunks_Reset();
    GEN8_Free();
    Language_Free();
    Options_FreeConstants();
    DebugInfo_Free();
    RunnerLoadGame_Free();
}

// ---------------------------------------------------------------------------------------------
// What the header pass found

uint32_t Form_StringCount() {
    return g_stringCount;
}

// Later patches may have rewritten the table, so the entry is checked again on every use.
const char* Form_String(uint32_t index) {
    if (index >= g_stringCount) return nullptr;
    const uint32_t lengthAt = ReadLE32(g_base + g_stringTable + 4 * index);
    if (lengthAt > g_size - 4) return nullptr;
    const uint32_t text = lengthAt + 4;
    const uint32_t length = ReadLE32(g_base + lengthAt);
    if (length >= g_size - text || g_base[text + length] != 0) return nullptr;
    return reinterpret_cast<const char*>(g_base + text);
}

bool Form_FindChunk(const char* tag, uint32_t* dataOffset, uint32_t* length) {
    for (uint32_t i = 0; i < g_chunkCount; ++i) {
        if (std::memcmp(g_chunks[i].tag, tag, 4) != 0) continue;
        *dataOffset = g_chunks[i].offset;
        *length = g_chunks[i].length;
        return true;
    }
    return false;
}

uint32_t Form_GlobalInitCount() {
    return g_globCount;
}

int32_t Form_GlobalInit(uint32_t i) {
    return i < g_globCount ? static_cast<int32_t>(ReadLE32(g_base + g_globList + 4 * i)) : -1;
}

bool Form_HasBytecode() {
    return g_hasBytecode;
}
