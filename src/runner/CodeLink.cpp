#include "runner/CodeLink.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/VMBuffer.h"
#include "core/Variable.h"
#include "runner/GEN8.h"
#include "runner/GameFile.h"
#include "runner/LoadGame.h"

CodeLinkInterface g_CodeLink;

namespace {

uint32_t g_entryCount = 0;
uint32_t g_entryTable = 0;  // file offset of the table of entry offsets
int32_t g_variGlobals = 0;
int32_t g_variInstances = 0;

constexpr uint32_t kOldEntryBytes = 12;
constexpr uint32_t kNewVariEntryBytes = 20;
constexpr uint32_t kFuncEntryBytes = 12;
constexpr uint32_t kNewEntryBytes = 20;

uint32_t ReadLE32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void WriteLE32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Operand size of an instruction's first type (the low nibble of its type byte).
uint32_t OperandSize(uint32_t word) {
    switch ((word >> 16) & 0xF) {
        case 0:
        case 3:
            return 8;
        case 1:
        case 2:
        case 4:
        case 5:
        case 6:
        case 7:
            return 4;
        default:
            return 0;
    }
}

// Operands that the chains patch must lie in the bytecode of the "CODE" chunk; a file without
// bytecode has nowhere an occurrence may be.
void CodeBounds(uint32_t* begin, uint32_t* end) {
    uint32_t offset = 0, length = 0;
    *begin = *end = 0;
    if (Form_FindChunk("CODE", &offset, &length)) {
        *begin = offset;
        *end = offset + length;
    }
}

void Unresolved(const char* format, const char* name) {
    char text[1024];
    std::snprintf(text, sizeof text, format, name);
    if (g_LoaderHooks.showFatalError)
        g_LoaderHooks.showFatalError(text);
    else
        ErrorConsole.Output("%s", text);
    RunnerLoadGame_End();
}

// How the distance to the next occurrence is kept in the operand, and what of it survives.
struct ChainFormat {
    uint32_t distanceBits;  // 28, 29 or 32
    uint32_t keepMask;      // bits left as they were when the id is written
};

constexpr ChainFormat kNewVariable{28, 0xF0000000u};
constexpr ChainFormat kOldVariable{29, 0xE0000000u};
constexpr ChainFormat kFunction{32, 0};

int32_t SignedDistance(uint32_t operand, uint32_t bits) {
    if (bits == 32) return static_cast<int32_t>(operand);
    const uint32_t shift = 32 - bits;
    return static_cast<int32_t>(operand << shift) >> shift;
}

// One occurrence chain waiting to be patched.
struct Chain {
    const char* name;
    uint32_t remaining;
    int64_t at;  // file offset of the next occurrence's instruction
    int32_t id;
};

// The chains of one chunk, resolved in entry order and then patched together.
class ChainSet {
public:
    explicit ChainSet(uint32_t capacity)
        : m_chains(static_cast<Chain*>(MEM_ALLOC_RAW(capacity ? capacity * sizeof(Chain) : sizeof(Chain)))) {}
    ~ChainSet() { MEM_FREE(m_chains); }
    ChainSet(const ChainSet&) = delete;
    ChainSet& operator=(const ChainSet&) = delete;

    void Add(const char* name, uint32_t count, uint32_t first, int32_t id) {
        if (count) m_chains[m_count++] = Chain{name, count, first, id};
    }
    bool Patch(ChunkView& chunk, const ChainFormat& format);

private:
    bool Step(ChunkView& chunk, Chain& c, const ChainFormat& format);
    bool PatchUntil(ChunkView& chunk, Chain* group, uint32_t count, int64_t limit, const ChainFormat& format);

    Chain* m_chains;
    uint32_t m_count = 0;
    uint32_t m_begin = 0, m_end = 0;
    uint8_t* m_base = nullptr;
};

// Every occurrence must hold an instruction and its operand inside the bytecode. The distance
// to the next occurrence is read before the id overwrites it. Answers false at a bad occurrence.
bool ChainSet::Step(ChunkView& chunk, Chain& c, const ChainFormat& format) {
    if (c.at < m_begin || c.at + 8 > m_end)
        return chunk.Fail("an occurrence of %s at %lld lies outside the code", c.name, static_cast<long long>(c.at));
    uint8_t* operand = m_base + c.at + 4;
    const uint32_t word = ReadLE32(operand);
    WriteLE32(operand, (word & format.keepMask) | (static_cast<uint32_t>(c.id) & ~format.keepMask));
    c.at += SignedDistance(word, format.distanceBits);
    --c.remaining;
    return true;
}

// Advances a group of chains in turn up to `limit`: their steps do not wait on one another, so
// the loads overlap instead of queuing behind one chain's.
bool ChainSet::PatchUntil(ChunkView& chunk, Chain* group, uint32_t count, int64_t limit, const ChainFormat& format) {
    for (bool moved = true; moved;) {
        moved = false;
        for (uint32_t i = 0; i < count; ++i) {
            Chain& c = group[i];
            if (!c.remaining || c.at >= limit) continue;
            if (!Step(chunk, c, format)) return false;
            moved = true;
        }
    }
    return true;
}

// Chains jump all over the code, and following them one after another misses the cache at
// nearly every step. Sweeping the code in windows and advancing every chain through the current
// window touches each part of the code while it is still cached. Each chain still visits its
// occurrences in its own order; a chain that jumps backwards is simply followed at once.
bool ChainSet::Patch(ChunkView& chunk, const ChainFormat& format) {
    if (m_count == 0) return chunk.Ok();
    CodeBounds(&m_begin, &m_end);
    m_base = Form_Base();
    const uint32_t places = (m_end - m_begin) / 8;
    if (places == 0) return chunk.Fail("%s has occurrences but the file has no bytecode", m_chains[0].name);
    for (uint32_t i = 0; i < m_count; ++i)
        if (m_chains[i].remaining > places)
            return chunk.Fail("%s has %u occurrences, more than the code holds", m_chains[i].name,
                              m_chains[i].remaining);
    constexpr uint32_t kWindow = 64 * 1024;
    constexpr uint32_t kGroup = 8;
    for (int64_t window = m_begin; window < m_end; window += kWindow) {
        const int64_t limit = window + kWindow < m_end ? window + kWindow : m_end;
        // The next window streams in while this one is patched.
        for (int64_t line = limit; line < limit + kWindow && line < m_end; line += 64)
            __builtin_prefetch(m_base + line, 1);
        for (uint32_t i = 0; i < m_count; i += kGroup)
            if (!PatchUntil(chunk, m_chains + i, m_count - i < kGroup ? m_count - i : kGroup, limit, format))
                return false;
    }
    if (!PatchUntil(chunk, m_chains, m_count, INT64_MAX, format)) return false;
    return true;
}

void ReadVariableCounts(ChunkView& chunk) {
    const int32_t globals = chunk.I32(0);
    int32_t instances = chunk.I32(4);
    const int32_t locals = chunk.I32(8);
    if (!chunk.Ok()) return;
    if (instances == 0) instances = 2;
    g_variGlobals = globals;
    g_variInstances = instances;
    if (g_CodeLink.initVariableTables) g_CodeLink.initVariableTables(globals, instances, locals);
    DebugConsole.Output("got %d global variables\n", globals);
    DebugConsole.Output("got %d instance variables\n", instances);
    DebugConsole.Output("got %d local variables\n", locals);
}

void LinkNewVariables(ChunkView& chunk) {
    ReadVariableCounts(chunk);
    if (!chunk.Ok()) return;
    ChainSet chains(chunk.Length() / kNewVariEntryBytes);
    for (uint32_t at = 12; chunk.Ok() && chunk.Length() - at >= kNewVariEntryBytes; at += kNewVariEntryBytes) {
        const char* name = chunk.RequiredString(chunk.U32(at));
        const int32_t scope = chunk.I32(at + 4);
        const int32_t index = chunk.I32(at + 8);
        const uint32_t count = chunk.U32(at + 12);
        const uint32_t first = chunk.U32(at + 16);
        if (!chunk.Ok()) return;
        const int32_t id = g_CodeLink.variableSetName
                               ? g_CodeLink.variableSetName(name, index == -6 ? -6 : scope, index)
                               : -1;
        if (id < 0) Unresolved("Error on load\nUnable to find variable %s\n", name);
        chains.Add(name, count, first, id);
    }
    chains.Patch(chunk, kNewVariable);
}

void LinkOld(ChunkView& chunk, const ChainFormat& format, bool variables, uint32_t firstEntry, uint32_t end) {
    ChainSet chains((end - firstEntry) / kOldEntryBytes);
    for (uint32_t at = firstEntry; chunk.Ok() && end - at >= kOldEntryBytes; at += kOldEntryBytes) {
        const char* name = chunk.RequiredString(chunk.U32(at));
        const uint32_t count = chunk.U32(at + 4);
        const uint32_t first = chunk.U32(at + 8);
        if (!chunk.Ok()) return;
        int32_t id = -1;
        if (variables && g_CodeLink.variableGetId) id = g_CodeLink.variableGetId(name);
        if (!variables && g_CodeLink.functionFind) id = g_CodeLink.functionFind(name);
        if (id < 0)
            Unresolved(variables ? "Error on load\nUnable to find variable %s\n"
                                 : "Error on load\nUnable to find function %s\n",
                       name);
        chains.Add(name, count, first, id);
    }
    chains.Patch(chunk, format);
}

// The scripts' local-variable names that follow the function entries.
void LoadLocals(ChunkView& chunk, uint32_t at) {
    if (chunk.Length() - at < 4) return;
    const uint32_t scripts = chunk.U32(at);
    at += 4;
    for (uint32_t s = 0; s < scripts && chunk.Ok(); ++s) {
        const char* script = chunk.RequiredString(chunk.U32(at));
        const uint32_t count = chunk.Count(at + 4, 4);
        if (!chunk.Ok()) return;
        auto** names = static_cast<const char**>(MEM_ALLOC((count + 1) * sizeof(char*)));
        for (uint32_t i = 0; i < count; ++i) names[i] = chunk.RequiredString(chunk.U32(at + 8 + 4 * i));
        if (chunk.Ok() && g_CodeLink.loadLocals) g_CodeLink.loadLocals(script, count, names);
        MEM_FREE(names);
        at += 8 + 4 * count;
    }
}

// Validates one entry; `fill` receives it when given.
bool ReadEntry(ChunkView& chunk, uint32_t index, CodeEntryView* out) {
    const uint32_t entry = chunk.FileU32(g_entryTable + 4 * index);
    if (!chunk.Ok() || entry == 0) return false;
    const bool newLayout = g_GameHeader.newReferenceFormat;
    if (!chunk.FileBytes(entry, newLayout ? kNewEntryBytes : 8)) return false;
    CodeEntryView e{};
    e.name = chunk.String(chunk.FileU32(entry));
    e.length = chunk.FileU32(entry + 4);
    int64_t code = static_cast<int64_t>(entry) + 8;
    if (newLayout) {
        e.locals = static_cast<uint16_t>(chunk.FileU32(entry + 8));
        e.arguments = static_cast<uint16_t>(chunk.FileU32(entry + 8) >> 16);
        code = static_cast<int64_t>(entry) + 12 + chunk.FileI32(entry + 12);
        e.start = chunk.FileU32(entry + 16);
    }
    // Bytecode is patched in place, so it must lie inside the code chunk, where patches cannot
    // reach any other chunk's data.
    uint32_t begin, end;
    CodeBounds(&begin, &end);
    if (code < begin || code > end || e.length > end - code)
        return chunk.Fail("the bytecode of code entry %u lies outside the chunk", index);
    e.code = Form_Base() + code;
    if (e.start > e.length) return chunk.Fail("code entry %u starts past its bytecode", index);
    if (out) *out = e;
    return true;
}

void RemapInstruction(uint8_t* p) {
    uint32_t word = ReadLE32(p);
    const uint32_t opcode = word >> 24;
    const uint32_t index = opcode & 0x1F;
    uint32_t mapped = index;
    if (index >= 1 && index <= 16) {
        mapped = index + 4;
    } else if (index >= 17 && index <= 22) {
        mapped = 21;
        word = (word & ~0xFF00u) | (((opcode - 16) & 0xFF) << 8);
    } else if (index >= 23 && index <= 30) {
        mapped = index - 1;
    }
    word = (word & 0x00FFFFFFu) | (((opcode & 0xE0) | mapped) << 24);
    WriteLE32(p, word);
}

}  // namespace

void Code_ReadTable(ChunkView& chunk) {
    g_entryCount = chunk.Count(0, 4);
    g_entryTable = chunk.Offset() + 4;
}

void VARI_Load(ChunkView& chunk) {
    if (g_GameHeader.newReferenceFormat)
        LinkNewVariables(chunk);
    else
        VARI_LinkOld(chunk);
}

void VARI_LinkOld(ChunkView& chunk) { LinkOld(chunk, kOldVariable, true, 0, chunk.Length()); }

void FUNC_Load(ChunkView& chunk) {
    if (!g_GameHeader.newReferenceFormat) {
        FUNC_LinkOld(chunk);
        return;
    }
    const uint32_t count = chunk.Count(0, kFuncEntryBytes);
    if (!chunk.Ok()) return;
    const uint32_t end = 4 + count * kFuncEntryBytes;
    LinkOld(chunk, kFunction, false, 4, end);
    if (chunk.Ok()) LoadLocals(chunk, end);
}

void FUNC_LinkOld(ChunkView& chunk) { LinkOld(chunk, kFunction, false, 0, chunk.Length()); }

void Code_LoadChunk(ChunkView& chunk) {
    g_entryCount = chunk.Count(0, 4);
    g_entryTable = chunk.Offset() + 4;
    for (uint32_t i = 0; i < g_entryCount && chunk.Ok(); ++i) {
        CodeEntryView e;
        if (!ReadEntry(chunk, i, &e)) continue;
        if (!g_GameHeader.newReferenceFormat) Code_RemapOpcodes(e.code, e.length);
        // Nothing runs bytecode that could step outside itself or its tables.
        const VMCodeLimits limits{Form_StringCount(), Variable_BuiltIn_Count()};
        char reason[256];
        if (!VMBuffer_Check(e.code, e.length, e.start, limits, reason, sizeof reason))
            chunk.Fail("code entry %u (%s) is not valid bytecode: %s", i, e.name ? e.name : "", reason);
    }
    if (!chunk.Ok()) g_entryCount = 0;
}

uint32_t Code_EntryCount() { return g_entryCount; }

bool Code_GetEntry(uint32_t index, CodeEntryView* out) {
    if (index >= g_entryCount) return false;
    ChunkView chunk("CODE", g_entryTable - 4, 4 + 4 * g_entryCount);
    const bool ok = ReadEntry(chunk, index, out);
    return ok && chunk.Ok();
}

uint32_t Code_WalkInstructions(uint8_t* code, uint32_t length, void (*visit)(uint8_t* instruction)) {
    uint32_t at = 0;
    while (length - at >= 4) {
        const uint32_t word = ReadLE32(code + at);
        const uint32_t size = 4 + ((word >> 24) & 0x40 ? OperandSize(word) : 0);
        if (size > length - at) break;
        if (visit) visit(code + at);
        at += size;
    }
    return at;
}

void Code_RemapOpcodes(uint8_t* code, uint32_t length) { Code_WalkInstructions(code, length, RemapInstruction); }

int32_t Code_VariGlobalCount() { return g_variGlobals; }
int32_t Code_VariInstanceCount() { return g_variInstances; }

void CodeLink_Reset() {
    g_entryCount = g_entryTable = 0;
    g_variGlobals = g_variInstances = 0;
}
