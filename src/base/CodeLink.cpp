#include "base/CodeLink.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/VMBuffer.h"
#include "core/Variable.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "base/LoadGame.h"

CodeLinkInterface g_CodeLink;

namespace {

uint32_t g_entryCount = 0;
uint32_t g_entryTable = 0;  // file offset of the table of entry offsets
uint32_t g_codeChunkOffset = 0, g_codeChunkLength = 0;
int32_t g_variGlobals = 0;
int32_t g_variInstances = 0;

constexpr uint32_t kOldEntryBytes = 12;
constexpr uint32_t kNewVariEntryBytes = 20;
constexpr uint32_t kFuncEntryBytes = 12;
constexpr uint32_t kNewEntryBytes = 20;
// The bytecode check shares out code of a few megabytes or more among threads.
constexpr uint32_t kMaxCheckThreads = 8;
constexpr uint64_t kBytesPerCheckThread = 2u << 20;

uint32_t ReadLE32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void WriteLE32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

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
template <uint32_t DistanceBits, uint32_t KeepMask>
struct ChainFormat {
    static constexpr uint32_t kKeep = KeepMask;  // bits left as they were when the id is written
    static int64_t Distance(uint32_t operand) {
        constexpr uint32_t shift = 32 - DistanceBits;
        return static_cast<int32_t>(operand << shift) >> shift;
    }
};
using NewVariableFormat = ChainFormat<28, 0xF0000000u>;
using OldVariableFormat = ChainFormat<29, 0xE0000000u>;
using FunctionFormat = ChainFormat<32, 0>;

enum class ChainKind : uint8_t { NewVariable, OldVariable, Function };

uint32_t KeepMask(ChainKind kind) {
    switch (kind) {
        case ChainKind::NewVariable:
            return NewVariableFormat::kKeep;
        case ChainKind::OldVariable:
            return OldVariableFormat::kKeep;
        default:
            return FunctionFormat::kKeep;
    }
}

// One occurrence chain waiting to be patched.
struct Chain {
    int64_t at;  // file offset of the next occurrence's instruction
    uint32_t remaining;
    uint32_t bits;  // the id as it goes into the operand, the kept bits clear
};

// The chains of one chunk, resolved in entry order and patched later by a ChainSweep. The
// names are kept only for the message about a bad chain.
class ChainSet {
public:
    // Forgets any earlier chains; false when the memory cannot be had.
    bool Start(ChunkView& chunk, ChainKind kind, uint32_t capacity) {
        Release();
        m_kind = kind;
        std::memcpy(m_tag, chunk.Tag(), sizeof m_tag);
        m_offset = chunk.Offset();
        m_length = chunk.Length();
        if (capacity == 0) capacity = 1;
        m_chains = static_cast<Chain*>(MEM_ALLOC_RAW(capacity * (sizeof(Chain) + sizeof(char*))));
        m_names = reinterpret_cast<const char**>(m_chains + capacity);
        return m_chains != nullptr;
    }
    void Release() {
        MEM_FREE(m_chains);
        m_chains = nullptr;
        m_names = nullptr;
        m_count = 0;
        m_failed = false;
    }
    void Add(const char* name, uint32_t count, uint32_t first, int32_t id) {
        if (!count) return;
        m_names[m_count] = name;
        m_chains[m_count++] = Chain{first, count, static_cast<uint32_t>(id) & ~KeepMask(m_kind)};
    }
    // Counts that could never fit the code fail at once, before anything is patched.
    bool CheckCounts(ChunkView& chunk, uint32_t codeBytes) const {
        const uint32_t places = codeBytes / 8;
        if (m_count && places == 0)
            return chunk.Fail("%s has occurrences but the file has no bytecode", m_names[0]);
        for (uint32_t i = 0; i < m_count; ++i)
            if (m_chains[i].remaining > places)
                return chunk.Fail("%s has %u occurrences, more than the code holds", m_names[i],
                                  m_chains[i].remaining);
        return true;
    }
    bool Empty() const { return m_count == 0; }

private:
    friend class ChainSweep;
    ChainKind m_kind = ChainKind::Function;
    char m_tag[5] = {};
    uint32_t m_offset = 0, m_length = 0;  // the chunk a bad chain is reported against
    Chain* m_chains = nullptr;
    const char** m_names = nullptr;
    uint32_t m_count = 0;
    // The first bad chain found: it is reported when the sweep ends.
    bool m_failed = false;
    uint32_t m_failedChain = 0;
    int64_t m_failedAt = 0;
};

// The variable chains read by the header pass wait here for the function chains, so that one
// sweep over the bytecode patches both.
ChainSet g_pendingVariables;

// A bit per word of the "CODE" chunk: an occurrence was patched there. Once the code is known
// to be whole instructions, every mark must be an instruction with an operand word, or a chain
// wrote into the middle of other code and the file is refused.
uint64_t* g_patchMarks = nullptr;
uint32_t g_patchMarkWords = 0;

bool MakePatchMarks(uint32_t codeBytes) {
    if (g_patchMarks) return true;
    g_patchMarkWords = codeBytes / 4;
    g_patchMarks = static_cast<uint64_t*>(MEM_ALLOC((g_patchMarkWords / 64 + 1) * sizeof(uint64_t)));
    return g_patchMarks != nullptr;
}

void FreePatchMarks() {
    MEM_FREE(g_patchMarks);
    g_patchMarks = nullptr;
    g_patchMarkWords = 0;
}

// Patches the chains of one or more sets in a single sweep over the bytecode.
//
// Chains jump all over the code, so following them one after another misses the cache at
// nearly every step. The sweep goes through the code in windows that fit the cache and
// advances every chain through the current window before moving on, so each part of the code
// is read and written back once. A chain's next occurrence depends on the operand just read,
// so inside a window several chains are advanced in turn (the lanes): their loads do not wait
// on one another and overlap. Each chain still visits its occurrences in its own order; one
// that jumps backwards is followed at once.
//
// Every occurrence must hold an instruction and its operand inside the code chunk. A bad
// chain stops being followed; when the sweep ends the first set with a bad chain is reported
// against its own chunk (so the variables' chunk is named before the functions').
class ChainSweep {
public:
    ChainSweep(ChainSet* const* sets, uint32_t count) : m_sets(sets), m_setCount(count) {}
    bool Run();

private:
    static constexpr int64_t kWindow = 256 * 1024;
    static constexpr uint32_t kLanes = 16;
    static constexpr int64_t kPrefetchPerPass = 256;

    struct Lane {
        int64_t rel;    // the next occurrence, from the window's start
        uint64_t stop;  // the pass after whose step the chain has no occurrence left
        uint32_t bits;
        uint32_t chain;
    };

    bool SweepWindow(ChainSet& set, int64_t lo, int64_t hi);
    template <class Format>
    bool Window(ChainSet& set, int64_t lo, int64_t hi);
    bool Leave(ChainSet& set, int64_t lo, int64_t hi, uint64_t pass, Lane* lane, uint32_t* scan);
    bool Inside(const Chain& c) const;
    static bool Enter(ChainSet& set, int64_t lo, int64_t hi, uint64_t pass, uint32_t* scan, Lane* lane);
    void MarkBad(ChainSet& set, uint32_t chain);
    bool Report();

    ChainSet* const* m_sets;
    uint32_t m_setCount;
    uint8_t* m_base = nullptr;
    int64_t m_begin = 0, m_end = 0;
    int64_t m_markBase = 0;  // the window's start, from the code's start
    bool m_stop = false;
    int64_t m_prefetch = 0, m_prefetchEnd = 0;  // what of the next window is still to be fetched
};

bool ChainSweep::Enter(ChainSet& set, int64_t lo, int64_t hi, uint64_t pass, uint32_t* scan, Lane* lane) {
    while (*scan < set.m_count) {
        const uint32_t i = (*scan)++;
        const Chain& c = set.m_chains[i];
        if (c.remaining == 0 || c.at < lo || c.at >= hi || ((c.at - lo) & 3) != 0) continue;
        *lane = Lane{c.at - lo, pass + c.remaining, c.bits, i};
        return true;
    }
    return false;
}

// Every occurrence a chain still has must hold an instruction and its operand inside the code,
// on a whole word.
bool ChainSweep::Inside(const Chain& c) const {
    return c.remaining == 0 || (c.at >= m_begin && c.at <= m_end - 8 && ((c.at - m_begin) & 3) == 0);
}

// A lane's chain ran out or left the window: its state goes back to the set, and the lane
// takes the chain up again or the set's next chain in the window. A chain that jumped back
// before the window stays in its lane and comes through here at each step until it is back.
// False when the lane is left empty.
bool ChainSweep::Leave(ChainSet& set, int64_t lo, int64_t hi, uint64_t pass, Lane* lane, uint32_t* scan) {
    Chain& c = set.m_chains[lane->chain];
    c.remaining = static_cast<uint32_t>(lane->stop - pass);
    c.at = lo + lane->rel;
    if (!Inside(c)) {
        MarkBad(set, lane->chain);
        if (m_stop) return false;
    } else if (c.remaining && c.at < hi) {
        lane->rel = c.at - lo;
        lane->stop = pass + c.remaining;
        return true;
    }
    return Enter(set, lo, hi, pass, scan, lane);
}

template <class Format>
bool ChainSweep::Window(ChainSet& set, int64_t lo, int64_t hi) {
    uint8_t* const window = m_base + lo;
    m_markBase = lo - m_begin;
    const auto span = static_cast<uint64_t>(hi - lo);
    Lane lanes[kLanes];
    uint32_t live = 0, scan = 0;
    uint64_t pass = 0;
    while (live < kLanes && Enter(set, lo, hi, pass, &scan, &lanes[live])) ++live;
    while (live) {
        ++pass;
        // A few lines of the next window each pass, so they arrive while this one is patched.
        if (m_prefetch < m_prefetchEnd) {
            for (int64_t line = 0; line < kPrefetchPerPass; line += 64)
                __builtin_prefetch(m_base + m_prefetch + line, 1);
            m_prefetch += kPrefetchPerPass;
        }
        for (uint32_t k = 0; k < live; ++k) {
            Lane& lane = lanes[k];
            uint8_t* operand = window + lane.rel + 4;
            const uint32_t word = ReadLE32(operand);
            WriteLE32(operand, (word & Format::kKeep) | lane.bits);
            const uint64_t mark = static_cast<uint64_t>(m_markBase + lane.rel) / 4;
            g_patchMarks[mark / 64] |= uint64_t{1} << (mark % 64);
            lane.rel += Format::Distance(word);
            if (pass == lane.stop || static_cast<uint64_t>(lane.rel) >= span || (lane.rel & 3)) [[unlikely]] {
                if (Leave(set, lo, hi, pass, &lane, &scan)) continue;
                if (m_stop) return false;
                // The last lane moves into the empty one and takes its step of this pass there.
                lanes[k] = lanes[--live];
                --k;
            }
        }
    }
    return true;
}

bool ChainSweep::SweepWindow(ChainSet& set, int64_t lo, int64_t hi) {
    switch (set.m_kind) {
        case ChainKind::NewVariable:
            return Window<NewVariableFormat>(set, lo, hi);
        case ChainKind::OldVariable:
            return Window<OldVariableFormat>(set, lo, hi);
        default:
            return Window<FunctionFormat>(set, lo, hi);
    }
}

void ChainSweep::MarkBad(ChainSet& set, uint32_t chain) {
    if (!set.m_failed) {
        set.m_failed = true;
        set.m_failedChain = chain;
        set.m_failedAt = set.m_chains[chain].at;
    }
    set.m_chains[chain].remaining = 0;
    if (&set == m_sets[0]) m_stop = true;
}

bool ChainSweep::Report() {
    for (uint32_t s = 0; s < m_setCount; ++s) {
        ChainSet& set = *m_sets[s];
        if (!set.m_failed) continue;
        ChunkView chunk(set.m_tag, set.m_offset, set.m_length);
        return chunk.Fail("an occurrence of %s at %lld lies outside the code", set.m_names[set.m_failedChain],
                          static_cast<long long>(set.m_failedAt));
    }
    return true;
}

bool ChainSweep::Run() {
    uint32_t begin = 0, end = 0;
    CodeBounds(&begin, &end);
    m_base = Form_Base();
    m_begin = begin;
    m_end = end;
    if (!MakePatchMarks(end - begin)) {
        ChunkView chunk(m_sets[0]->m_tag, m_sets[0]->m_offset, m_sets[0]->m_length);
        return chunk.Fail("out of memory for the occurrences of %u bytes of code", end - begin);
    }
    // An occurrence needs 8 bytes of code: the last one starts 8 bytes before the end.
    const int64_t last = m_end - 8;
    for (int64_t lo = m_begin; lo <= last && !m_stop; lo += kWindow) {
        const int64_t hi = lo + kWindow <= last ? lo + kWindow : last + 1;
        m_prefetch = hi;
        m_prefetchEnd = hi + kWindow < m_end ? hi + kWindow : m_end;
        for (uint32_t s = 0; s < m_setCount && !m_stop; ++s) SweepWindow(*m_sets[s], lo, hi);
    }
    // What is left lies outside the code.
    for (uint32_t s = 0; s < m_setCount && !m_stop; ++s) {
        ChainSet& set = *m_sets[s];
        for (uint32_t i = 0; i < set.m_count && !set.m_failed; ++i)
            if (set.m_chains[i].remaining) MarkBad(set, i);
    }
    return Report();
}

uint32_t CodeBytes() {
    uint32_t begin, end;
    CodeBounds(&begin, &end);
    return end - begin;
}

// Patches the waiting variable chains together with `functions` (when given).
bool PatchChains(ChainSet* functions) {
    ChainSet* sets[2];
    uint32_t count = 0;
    if (!g_pendingVariables.Empty()) sets[count++] = &g_pendingVariables;
    if (functions && !functions->Empty()) sets[count++] = functions;
    const bool ok = count == 0 || ChainSweep(sets, count).Run();
    g_pendingVariables.Release();
    return ok;
}

void ReadVariableCounts(ChunkView& chunk) {
    const int32_t globals = chunk.I32(0);
    int32_t instances = chunk.I32(4);
    const int32_t locals = chunk.I32(8);
    if (!chunk.Ok()) return;
    // Each count sizes tables of 8 or 16 bytes a slot (and the locals of every call): a file
    // names at most a slot for every word it holds.
    const int64_t most = Form_Size() / 4;
    const struct {
        const char* what;
        int32_t count;
    } counts[] = {{"global", globals}, {"instance", instances}, {"local", locals}};
    for (const auto& c : counts)
        if (c.count < 0 || c.count > most) {
            chunk.Fail("the %s variable count %d is more than the file can hold", c.what, c.count);
            return;
        }
    if (instances == 0) instances = 2;
    g_variGlobals = globals;
    g_variInstances = instances;
    if (g_CodeLink.initVariableTables) g_CodeLink.initVariableTables(globals, instances, locals);
    DebugConsole.Output("got %d global variables\n", globals);
    DebugConsole.Output("got %d instance variables\n", instances);
    DebugConsole.Output("got %d local variables\n", locals);
}

// The variables' ids are resolved now; their chains wait in g_pendingVariables.
void LinkNewVariables(ChunkView& chunk) {
    ReadVariableCounts(chunk);
    if (!chunk.Ok()) return;
    ChainSet& chains = g_pendingVariables;
    if (!chains.Start(chunk, ChainKind::NewVariable, chunk.Length() / kNewVariEntryBytes)) {
        chunk.Fail("out of memory for %u variables", chunk.Length() / kNewVariEntryBytes);
        return;
    }
    for (uint32_t at = 12; chunk.Ok() && chunk.Length() - at >= kNewVariEntryBytes;
         at += kNewVariEntryBytes) {
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
    chains.CheckCounts(chunk, CodeBytes());
}

// Old-layout entries {name, count, first} of "VARI" or "FUNC", resolved by name into `chains`.
void LinkOld(ChunkView& chunk, ChainSet& chains, ChainKind kind, uint32_t firstEntry, uint32_t end) {
    const bool variables = kind != ChainKind::Function;
    if (!chains.Start(chunk, kind, (end - firstEntry) / kOldEntryBytes)) {
        chunk.Fail("out of memory for %u entries", (end - firstEntry) / kOldEntryBytes);
        return;
    }
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
    chains.CheckCounts(chunk, CodeBytes());
}

// The function chains, patched in one sweep with the waiting variable chains.
void LinkFunctions(ChunkView& chunk, uint32_t firstEntry, uint32_t end) {
    ChainSet functions;
    LinkOld(chunk, functions, ChainKind::Function, firstEntry, end);
    if (chunk.Ok()) PatchChains(&functions);
    functions.Release();
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

void VARI_LinkOld(ChunkView& chunk) {
    LinkOld(chunk, g_pendingVariables, ChainKind::OldVariable, 0, chunk.Length());
}

void FUNC_Load(ChunkView& chunk) {
    if (!g_GameHeader.newReferenceFormat) {
        FUNC_LinkOld(chunk);
        return;
    }
    const uint32_t count = chunk.Count(0, kFuncEntryBytes);
    if (!chunk.Ok()) return;
    const uint32_t end = 4 + count * kFuncEntryBytes;
    LinkFunctions(chunk, 4, end);
    if (chunk.Ok() && !Form_LoadError()) LoadLocals(chunk, end);
}

void FUNC_LinkOld(ChunkView& chunk) {
    LinkFunctions(chunk, 0, chunk.Length());
}

void Code_LoadChunk(ChunkView& chunk) {
    g_entryCount = chunk.Count(0, 4);
    g_entryTable = chunk.Offset() + 4;
    g_codeChunkOffset = chunk.Offset();
    g_codeChunkLength = chunk.Length();
    if (g_GameHeader.newReferenceFormat) return;
    for (uint32_t i = 0; i < g_entryCount && chunk.Ok(); ++i) {
        CodeEntryView e;
        if (ReadEntry(chunk, i, &e)) Code_RemapOpcodes(e.code, e.length);
    }
    if (!chunk.Ok()) g_entryCount = 0;
}

namespace {

// Checks spans [first, last) of the table and keeps the earliest that fails (with its reason)
// in `failed`, which starts at the entry count.
struct EntryCheck {
    const VMCodeSpan* spans;
    VMCodeLimits limits;
    uint32_t failed;
    char reason[256];

    void Run(uint32_t first, uint32_t last) {
        const uint32_t bad = VMBuffer_CheckAll(spans + first, last - first, limits, reason, sizeof reason);
        if (bad < last - first) failed = first + bad;
    }
};

// Entries are independent, so large code is checked by several threads at once, each over
// its own run of the table. A thread that cannot be started leaves its run to this one.
void CheckInParallel(EntryCheck* parts, uint32_t partCount, uint32_t entryCount) {
    std::thread workers[kMaxCheckThreads];
    bool started[kMaxCheckThreads] = {};
    const auto first = [&](uint32_t p) {
        return static_cast<uint32_t>(uint64_t(entryCount) * p / partCount);
    };
    for (uint32_t p = 1; p < partCount; ++p) {
        try {
            workers[p] = std::thread([&parts, p, first] { parts[p].Run(first(p), first(p + 1)); });
            started[p] = true;
        } catch (const std::system_error&) {
        }
    }
    parts[0].Run(0, first(1));
    for (uint32_t p = 1; p < partCount; ++p) {
        if (started[p])
            workers[p].join();
        else
            parts[p].Run(first(p), first(p + 1));
    }
}

uint32_t CheckThreads(uint64_t codeBytes) {
    const uint64_t byWork = codeBytes / kBytesPerCheckThread;
    uint64_t threads = std::thread::hardware_concurrency();
    if (threads > byWork) threads = byWork;
    if (threads > kMaxCheckThreads) threads = kMaxCheckThreads;
    return threads ? static_cast<uint32_t>(threads) : 1;
}

// Every patched occurrence must be an instruction of some entry whose operand word the patch
// wrote. Entries that share their bytecode are walked once.
void CheckPatchMarks(ChunkView& chunk, const CodeEntryView* entries) {
    if (!g_patchMarks) return;
    uint32_t begin, end;
    CodeBounds(&begin, &end);
    const uint32_t blocks = g_patchMarkWords / 64 + 1;
    auto* operands = static_cast<uint64_t*>(MEM_ALLOC(blocks * sizeof(uint64_t)));
    if (!operands) {
        chunk.Fail("out of memory for the occurrences of %u bytes of code", end - begin);
        return;
    }
    const uint8_t* walked = nullptr;
    for (uint32_t i = 0; i < g_entryCount; ++i) {
        const CodeEntryView& e = entries[i];
        const auto from = static_cast<uint64_t>(e.code - Form_Base()) - begin;
        if (!e.code || e.code == walked || from % 4 != 0) continue;
        walked = e.code;
        for (uint32_t at = 0; e.length - at >= 4;) {
            const uint32_t word = ReadLE32(e.code + at);
            const uint32_t size = (word >> 24) & 0x40 ? OperandSize(word) : 0;
            if (size >= 4) {
                const uint64_t w = (from + at) / 4;
                operands[w / 64] |= uint64_t{1} << (w % 64);
            }
            at += 4 + size;
        }
    }
    for (uint32_t b = 0; b < blocks; ++b) {
        const uint64_t stray = g_patchMarks[b] & ~operands[b];
        if (stray == 0) continue;
        const uint64_t at = begin + 4 * (uint64_t{b} * 64 + static_cast<uint32_t>(std::countr_zero(stray)));
        chunk.Fail("an occurrence at %llu is not an instruction with an operand",
                   static_cast<unsigned long long>(at));
        break;
    }
    MEM_FREE(operands);
    FreePatchMarks();
}

// Nothing runs bytecode that could step outside itself or its tables. The check reads the
// variable ids the chains wrote, so it runs once every chain is patched. The table is read
// here, in order; the bytecode is then checked, and of several bad entries the first is
// reported.
bool CheckCodeEntries() {
    if (g_entryCount == 0) return true;
    ChunkView chunk("CODE", g_codeChunkOffset, g_codeChunkLength);
    const uint64_t tableBytes = g_entryCount * uint64_t(sizeof(CodeEntryView) + sizeof(VMCodeSpan));
    auto* entries =
        tableBytes < UINT32_MAX ? static_cast<CodeEntryView*>(MEM_ALLOC_RAW(tableBytes)) : nullptr;
    if (!entries) {
        chunk.Fail("out of memory for %u code entries", g_entryCount);
        g_entryCount = 0;
        return false;
    }
    auto* spans = reinterpret_cast<VMCodeSpan*>(entries + g_entryCount);
    uint64_t codeBytes = 0;
    for (uint32_t i = 0; i < g_entryCount && chunk.Ok(); ++i) {
        if (ReadEntry(chunk, i, &entries[i])) {
            spans[i] = VMCodeSpan{entries[i].code, entries[i].length, entries[i].start};
            codeBytes += entries[i].length;
        } else {
            spans[i] = VMCodeSpan{nullptr, 0, 0};
        }
    }
    if (chunk.Ok()) {
        const VMCodeLimits limits{Form_StringCount(), Variable_BuiltIn_Count()};
        const uint32_t partCount = CheckThreads(codeBytes);
        EntryCheck parts[kMaxCheckThreads];
        for (uint32_t p = 0; p < partCount; ++p) {
            parts[p].spans = spans;
            parts[p].limits = limits;
            parts[p].failed = g_entryCount;
        }
        if (partCount == 1)
            parts[0].Run(0, g_entryCount);
        else
            CheckInParallel(parts, partCount, g_entryCount);
        for (uint32_t p = 0; p < partCount; ++p) {
            const uint32_t i = parts[p].failed;
            if (i == g_entryCount) continue;
            chunk.Fail("code entry %u (%s) is not valid bytecode: %s", i,
                       entries[i].name ? entries[i].name : "", parts[p].reason);
            break;
        }
    }
    if (chunk.Ok()) CheckPatchMarks(chunk, entries);
    MEM_FREE(entries);
    if (!chunk.Ok()) g_entryCount = 0;
    return chunk.Ok();
}

}  // namespace

bool CodeLink_Finish() {
    return PatchChains(nullptr) && CheckCodeEntries();
}

uint32_t Code_EntryCount() {
    return g_entryCount;
}

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

void Code_RemapOpcodes(uint8_t* code, uint32_t length) {
    Code_WalkInstructions(code, length, RemapInstruction);
}

int32_t Code_VariGlobalCount() {
    return g_variGlobals;
}
int32_t Code_VariInstanceCount() {
    return g_variInstances;
}

void CodeLink_Reset() {
    g_pendingVariables.Release();
    FreePatchMarks();
    g_entryCount = g_entryTable = 0;
    g_codeChunkOffset = g_codeChunkLength = 0;
    g_variGlobals = g_variInstances = 0;
}
