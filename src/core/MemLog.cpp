// The "-memlog" allocation log, the scope-name stack and the marked-thread flag it reads.
//
// Records are assembled in fixed buffers and written 1 MB at a time, so logging makes no heap
// request per record; everything here runs under the memory manager's mutex.
#include "core/MemLog.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/MemoryManager_Internal.h"
#include "core/MurmurHash.h"

static_assert(std::endian::native == std::endian::little, "the log is written in host byte order");

std::atomic<bool> g_memLogActive{false};

namespace {

using ManagerLock = std::lock_guard<std::recursive_mutex>;

constinit thread_local bool t_threadMarked = false;

// The marked thread's scope names; slot 0 stays empty, pushes past the last slot are counted only.
constexpr int kScopeSlots = 32;
const char* g_scopeNames[kScopeSlots];
int g_scopeDepth = 0;

std::atomic<MemLogCallStackProvider> g_callStackProvider{nullptr};
std::atomic<MemLogBuiltinNameProvider> g_builtinNameProvider{nullptr};

constexpr uint32_t kOutputBytes = 1u << 20;
constexpr uint32_t kScratchBytes = 16384;
constexpr uint32_t kAllocHeaderBytes = 24;
constexpr int kMaxFramesPerRecord = static_cast<int>((kScratchBytes - kAllocHeaderBytes) / 8);
constexpr size_t kEventTextBytes = 512;

char* g_logPath = nullptr;
char* g_output = nullptr;  // 1 MB on the standard heap while the log is open
uint32_t g_outputFill = 0;
uint32_t g_scratch[kScratchBytes / 4];
uint32_t g_scratchWords = 0;
bool g_writingRecord = false;  // allocations made while a record is assembled log nothing
// One more than a record can hold, so an over-long stack shows itself.
MemLogFrame g_frames[kMaxFramesPerRecord + 1];
bool g_flushAtExitRegistered = false;

// Name -> id, open addressing with Robin Hood displacement keyed by the masked hash. Each slot
// keeps a copy of its name, so two names whose hashes collide still get ids of their own.
class NameTable {
public:
    int32_t Find(uint32_t hash, const char* name, uint32_t length) const {
        if (m_slots == nullptr) return -1;
        uint32_t i = hash & Mask();
        for (uint32_t distance = 0;; ++distance, i = (i + 1) & Mask()) {
            const Slot& slot = m_slots[i];
            if (slot.name == nullptr || Displacement(slot, i) < distance) return -1;
            if (slot.hash == hash && slot.length == length && std::memcmp(slot.name, name, length) == 0) {
                return slot.id;
            }
        }
    }

    // The name must not be present yet.
    void Insert(uint32_t hash, const char* name, uint32_t length, int32_t id) {
        if (m_slots == nullptr) Resize(kFirstCapacity);
        char* copy = static_cast<char*>(std::malloc(length + 1));
        if (copy == nullptr) OutOfMemory_Handler(length + 1);
        std::memcpy(copy, name, length);
        copy[length] = '\0';
        Place(Slot{copy, length, hash, id});
        ++m_count;
        if (m_count * 5 > m_capacity * 4) Resize(m_capacity * 2);
    }

    void Clear() {
        for (uint32_t i = 0; i < m_capacity; ++i) std::free(m_slots[i].name);
        std::free(m_slots);
        m_slots = nullptr;
        m_capacity = m_count = 0;
    }

private:
    struct Slot {
        char* name;  // null: empty
        uint32_t length;
        uint32_t hash;
        int32_t id;
    };
    static constexpr uint32_t kFirstCapacity = 8;

    uint32_t Mask() const { return m_capacity - 1; }
    uint32_t Displacement(const Slot& slot, uint32_t index) const { return (index - slot.hash) & Mask(); }

    void Place(Slot incoming) {
        uint32_t i = incoming.hash & Mask();
        for (uint32_t distance = 0;; ++distance, i = (i + 1) & Mask()) {
            Slot& slot = m_slots[i];
            if (slot.name == nullptr) {
                slot = incoming;
                return;
            }
            const uint32_t theirs = Displacement(slot, i);
            if (theirs < distance) {
                std::swap(slot, incoming);
                distance = theirs;
            }
        }
    }

    void Resize(uint32_t capacity) {
        Slot* old = m_slots;
        const uint32_t oldCapacity = m_capacity;
        m_slots = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
        if (m_slots == nullptr) OutOfMemory_Handler(static_cast<int64_t>(capacity) * sizeof(Slot));
        m_capacity = capacity;
        for (uint32_t i = 0; i < oldCapacity; ++i) {
            if (old[i].name != nullptr) Place(old[i]);
        }
        std::free(old);
    }

    Slot* m_slots = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_count = 0;
};

NameTable g_names;
int32_t g_nextNameId = 0;

void AppendToFile(const void* bytes, size_t length) {
    if (FILE* f = std::fopen(g_logPath, "ab")) {
        std::fwrite(bytes, 1, length, f);
        std::fclose(f);
    }
}

void FlushOutput() {
    if (g_outputFill == 0) return;
    AppendToFile(g_output, g_outputFill);
    g_outputFill = 0;
}

void WritePiece(const void* bytes, size_t length) {
    if (g_outputFill + length >= kOutputBytes) FlushOutput();
    if (length >= kOutputBytes) {
        AppendToFile(bytes, length);
        return;
    }
    std::memcpy(g_output + g_outputFill, bytes, length);
    g_outputFill += static_cast<uint32_t>(length);
}

void WriteRecord(const char tag[4], const void* payload, uint32_t length) {
    WritePiece(tag, 4);
    WritePiece(&length, 4);
    WritePiece(payload, length);
}

// The id of a name, announcing it with a "NAME" record the first time it is met.
int32_t NameId(const char* name) {
    if (name == nullptr) return -1;
    const uint32_t length = static_cast<uint32_t>(std::strlen(name));
    const uint32_t hash = MemLog_NameHash(name, length);
    int32_t id = g_names.Find(hash, name, length);
    if (id < 0) {
        id = g_nextNameId++;
        g_names.Insert(hash, name, length, id);
        WriteRecord("NAME", name, length);
    }
    return id;
}

inline void AppendWord(uint32_t word) {
    g_scratch[g_scratchWords++] = word;
}

const char* CurrentScopeName() {
    if (MemLogBuiltinNameProvider provider = g_builtinNameProvider.load(std::memory_order_acquire)) {
        if (const char* name = provider()) return name;
    }
    if (g_scopeDepth >= 1 && g_scopeDepth < kScopeSlots) return g_scopeNames[g_scopeDepth];
    return nullptr;
}

void FlushAtExit() {
    MemLog_Flush();
}

}  // namespace

void MemoryManager_MarkThread(bool marked) {
    t_threadMarked = marked;
}
bool MemoryManager_IsThreadMarked() {
    return t_threadMarked;
}

namespace MemoryManager {

int PushName(const char* name) {
    if (!t_threadMarked) return 0;
    ++g_scopeDepth;
    if (g_scopeDepth < kScopeSlots) g_scopeNames[g_scopeDepth] = name;
    return g_scopeDepth;
}

void PopName() {
    // An unmatched pop must not walk the depth below the stack.
    if (t_threadMarked && g_scopeDepth > 0) --g_scopeDepth;
}

}  // namespace MemoryManager

uint32_t MemLog_NameHash(const void* bytes, size_t length) {
    return MurmurHash3_x86_32(bytes, static_cast<uint32_t>(length), 0) & 0x7FFFFFFFu;
}

bool MemLog_PathFromCommandLine(const char* commandLine, char* path, size_t pathSize) {
    static constexpr char kSwitch[] = "-memlog ";
    constexpr size_t kLongestName = 2048;
    const char* found = std::strstr(commandLine, kSwitch);
    if (found == nullptr) return false;
    const char* name = found + sizeof kSwitch - 1;
    size_t length = 0;
    while (length < kLongestName && name[length] != '\0' && name[length] != ' ') ++length;
    if (length == 0 || length >= pathSize) return false;
    std::memcpy(path, name, length);
    path[length] = '\0';
    return true;
}

bool MemLog_Open(const char* path) {
    ManagerLock lock(g_memoryManagerMutex);
    if (g_memLogActive) return false;
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return false;
    std::fclose(f);
    const size_t pathBytes = std::strlen(path) + 1;
    g_logPath = static_cast<char*>(std::malloc(pathBytes));
    g_output = static_cast<char*>(std::malloc(kOutputBytes));
    if (g_logPath == nullptr || g_output == nullptr) OutOfMemory_Handler(kOutputBytes);
    std::memcpy(g_logPath, path, pathBytes);
    g_outputFill = 0;
    g_names.Clear();
    g_nextNameId = 0;
    g_memLogActive = true;
    if (!g_flushAtExitRegistered) {
        // Records still buffered when the process ends would otherwise be lost.
        g_flushAtExitRegistered = true;
        std::atexit(FlushAtExit);
    }
    return true;
}

void MemLog_Flush() {
    ManagerLock lock(g_memoryManagerMutex);
    if (g_memLogActive) FlushOutput();
}

void MemLog_Close() {
    ManagerLock lock(g_memoryManagerMutex);
    if (!g_memLogActive) return;
    FlushOutput();
    g_memLogActive = false;
    std::free(g_output);
    std::free(g_logPath);
    g_output = g_logPath = nullptr;
    g_names.Clear();
}

bool MemLog_IsOpen() {
    ManagerLock lock(g_memoryManagerMutex);
    return g_memLogActive;
}

void MemLog_SetCallStackProvider(MemLogCallStackProvider provider) {
    g_callStackProvider.store(provider, std::memory_order_release);
}

void MemLog_SetCurrentBuiltinNameProvider(MemLogBuiltinNameProvider provider) {
    g_builtinNameProvider.store(provider, std::memory_order_release);
}

bool MemLog_RecordAlloc(const void* p, uint32_t size) {
    if (!g_memLogActive || g_writingRecord) return true;
    g_writingRecord = true;
    const uint64_t address = reinterpret_cast<uintptr_t>(p);
    g_scratchWords = 0;
    AppendWord(static_cast<uint32_t>(address >> 32));
    AppendWord(static_cast<uint32_t>(address));
    AppendWord(size);
    AppendWord(0);
    int32_t scopeId = -1;
    int frames = 0;
    if (t_threadMarked) {
        scopeId = NameId(CurrentScopeName());
        if (MemLogCallStackProvider provider = g_callStackProvider.load(std::memory_order_acquire)) {
            frames = std::clamp(provider(g_frames, kMaxFramesPerRecord + 1), 0, kMaxFramesPerRecord + 1);
        }
    }
    AppendWord(static_cast<uint32_t>(scopeId));
    // The count says what the record holds, so a reader never runs past a cut-short record.
    const bool complete = frames <= kMaxFramesPerRecord;
    frames = std::min(frames, kMaxFramesPerRecord);
    AppendWord(static_cast<uint32_t>(frames));
    for (int i = 0; i < frames; ++i) {
        AppendWord(static_cast<uint32_t>(NameId(g_frames[i].name)));
        AppendWord(static_cast<uint32_t>(g_frames[i].line));
    }
    WriteRecord("ALLC", g_scratch, g_scratchWords * 4);
    g_writingRecord = false;
    return complete;
}

void MemLog_RecordFree(const void* p) {
    if (!g_memLogActive || g_writingRecord) return;
    const uint64_t address = reinterpret_cast<uintptr_t>(p);
    const uint32_t payload[2] = {static_cast<uint32_t>(address >> 32), static_cast<uint32_t>(address)};
    WriteRecord("FREE", payload, sizeof payload);
}

void MemLog_ReportTruncatedRecord() {
    DebugConsole.Output("block too big (> 16384 bytes)\n");
}

void MemLog_Event(const char* format, ...) {
    char text[kEventTextBytes];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (written < 0) return;
    const uint32_t length = std::min<uint32_t>(static_cast<uint32_t>(written), kEventTextBytes - 1);
    ManagerLock lock(g_memoryManagerMutex);
    if (g_memLogActive) WriteRecord("EVNT", text, length);
}
