// Size-class pools for blocks of up to 128 bytes, guarded heap blocks above that.
//
// Whether a pointer is ours is decided by its address alone, never by reading memory in front
// of it: every pool chunk is aligned to its own size, so the chunk holding an address is the
// address masked, and a table of chunk granules says which pool (if any) owns it. Guarded
// blocks are kept in a registry of live blocks; their header's guard words are only ever read
// through pointers the registry has vouched for. With HV_SANITIZE every block comes straight
// from malloc, so the address sanitizer watches each one.
#include "core/MemoryManager.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "core/Console.h"
#include "core/MemLog.h"
#include "core/MemoryManager_Internal.h"

constinit std::recursive_mutex g_memoryManagerMutex;

namespace {

using ManagerLock = std::lock_guard<std::recursive_mutex>;

constexpr uint32_t kLargestPooledSize = 128;
// size + header must fit in 32 bits and must not be 0xFFFFFFFF.
constexpr uint32_t kLargestGuardedSize = 0xFFFFFFEEu;

constexpr uint32_t kGuardWord1 = 0xDEADC0DEu;
constexpr uint32_t kGuardWord2 = 0xBAADB00Bu;

struct MemBlockHeader {
    uint32_t size;
    uint32_t guard1;
    uint32_t guard2;
    uint32_t reserved;
};
static_assert(sizeof(MemBlockHeader) == 16);

// Open addressing with linear probing over non-zero integer keys (addresses or address
// granules). It lives on the standard heap, outside the pools it describes.
class AddressTable {
public:
    constexpr AddressTable() = default;

    bool Find(uintptr_t key, uint32_t* value) const {
        if (m_slots == nullptr) return false;
        for (size_t i = Home(key);; i = (i + 1) & m_mask) {
            const Slot& slot = m_slots[i];
            if (slot.key == key) {
                *value = slot.value;
                return true;
            }
            if (slot.key == 0) return false;
        }
    }

    // The key must not be present yet.
    void Insert(uintptr_t key, uint32_t value) {
        if ((m_count + 1) * 2 > m_mask + 1 || m_slots == nullptr) Grow();
        Place(key, value);
        ++m_count;
    }

    bool Remove(uintptr_t key, uint32_t* value) {
        if (m_slots == nullptr) return false;
        size_t hole = Home(key);
        while (m_slots[hole].key != key) {
            if (m_slots[hole].key == 0) return false;
            hole = (hole + 1) & m_mask;
        }
        *value = m_slots[hole].value;
        // Shift later members of the probe run back so no lookup stops early at the hole.
        for (size_t next = (hole + 1) & m_mask; m_slots[next].key != 0; next = (next + 1) & m_mask) {
            const size_t home = Home(m_slots[next].key);
            if (((next - home) & m_mask) >= ((next - hole) & m_mask)) {
                m_slots[hole] = m_slots[next];
                hole = next;
            }
        }
        m_slots[hole] = Slot{};
        --m_count;
        return true;
    }

private:
    struct Slot {
        uintptr_t key;
        uint32_t value;
    };
    static constexpr size_t kFirstCapacity = 64;

    size_t Home(uintptr_t key) const { return (key * 0x9E3779B97F4A7C15ull) >> m_shift; }

    void Place(uintptr_t key, uint32_t value) {
        size_t i = Home(key);
        while (m_slots[i].key != 0) i = (i + 1) & m_mask;
        m_slots[i] = Slot{key, value};
    }

    void Grow() {
        const size_t oldCapacity = m_slots ? m_mask + 1 : 0;
        const size_t capacity = oldCapacity ? oldCapacity * 2 : kFirstCapacity;
        Slot* old = m_slots;
        m_slots = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
        if (m_slots == nullptr) OutOfMemory_Handler(static_cast<int64_t>(capacity * sizeof(Slot)));
        m_mask = capacity - 1;
        m_shift = 64 - std::countr_zero(capacity);
        for (size_t i = 0; i < oldCapacity; ++i) {
            if (old[i].key != 0) Place(old[i].key, old[i].value);
        }
        std::free(old);
    }

    Slot* m_slots = nullptr;
    size_t m_mask = 0;
    unsigned m_shift = 64;
    size_t m_count = 0;
};

uint32_t g_guardedBytes = 0;

#ifndef HV_SANITIZE

struct MemPool {
    char* newestChunk;  // each chunk's first word links to the chunk made before it
    void* freeHead;     // each free cell's first word links to the next free cell
    int32_t inUse;      // cells handed out, including those held in threads' caches
    int32_t freeCells;
};

// A chunk fills its whole aligned window; the first cell's place holds the chunk link, so a
// chunk carries one cell fewer than the window would hold.
constexpr uint32_t kChunkBytes[MemoryManager::kPoolCount] = {128u << 10, 256u << 10, 256u << 10, 512u << 10,
                                                             512u << 10};
// The smallest chunk size: the granule table maps every granule a chunk covers to its pool.
constexpr int kGranuleShift = 17;
constexpr uint8_t kChunkFill = 0x78;

// Granule -> pool, read without the lock on every free. Entries are only ever added, each as one
// atomic word; a grown table replaces the old one by one pointer store and old tables are never
// released, so a reader holding an old one still reads valid memory. A granule added before a
// cell of it was handed out is visible to whoever received that cell.
class GranuleTable {
public:
    int Find(uintptr_t granule) const {
        const Table* table = m_table.load(std::memory_order_acquire);
        if (table == nullptr) return -1;
        for (size_t i = Home(*table, granule);; i = (i + 1) & table->mask) {
            const uint64_t entry = std::atomic_ref(table->slots[i]).load(std::memory_order_acquire);
            if (entry == 0) return -1;
            if ((entry >> 3) == granule) return static_cast<int>(entry & 7) - 1;
        }
    }

    // Under the manager's lock; the granule must not be present yet.
    void Insert(uintptr_t granule, int pool) {
        Table* table = m_table.load(std::memory_order_relaxed);
        if (table == nullptr || (table->count + 1) * 2 > table->mask + 1) table = Grow(table);
        Place(*table, (uint64_t{granule} << 3) | static_cast<uint64_t>(pool + 1));
        ++table->count;
    }

private:
    struct Table {
        uint64_t* slots;
        size_t mask;
        unsigned shift;
        size_t count;
    };
    static constexpr size_t kFirstCapacity = 64;

    static size_t Home(const Table& table, uintptr_t granule) {
        return (granule * 0x9E3779B97F4A7C15ull) >> table.shift;
    }

    static void Place(Table& table, uint64_t entry) {
        size_t i = Home(table, entry >> 3);
        while (table.slots[i] != 0) i = (i + 1) & table.mask;
        std::atomic_ref(table.slots[i]).store(entry, std::memory_order_release);
    }

    Table* Grow(const Table* old) {
        const size_t capacity = old ? (old->mask + 1) * 2 : kFirstCapacity;
        auto* table = static_cast<Table*>(std::malloc(sizeof(Table)));
        auto* slots = static_cast<uint64_t*>(std::calloc(capacity, sizeof(uint64_t)));
        if (table == nullptr || slots == nullptr) OutOfMemory_Handler(static_cast<int64_t>(capacity * 8));
        *table = Table{slots, capacity - 1, static_cast<unsigned>(64 - std::countr_zero(capacity)), 0};
        if (old != nullptr) {
            for (size_t i = 0; i <= old->mask; ++i) {
                if (old->slots[i] != 0) Place(*table, old->slots[i]);
            }
            table->count = old->count;
        }
        m_table.store(table, std::memory_order_release);
        return table;
    }

    std::atomic<Table*> m_table{nullptr};
};

MemPool g_pools[MemoryManager::kPoolCount];
GranuleTable g_chunkGranules;
AddressTable g_guardedBlocks;  // caller's address -> requested size

// Each thread keeps the top of every pool's free list to itself, so the common allocation and
// free take no lock. The cache is the top of one stack with the pool's shared list beneath it:
// it is refilled by splicing off the head of the shared list and spilled by splicing it back on
// top, so cells still come back last in, first out, and a new chunk's highest cell first.
struct ThreadCellCache {
    void* head[MemoryManager::kPoolCount];
    void* tail[MemoryManager::kPoolCount];
    uint32_t count[MemoryManager::kPoolCount];
    bool returnsAtExit;
};
constinit thread_local ThreadCellCache t_cells{};
constexpr uint32_t kCacheRefillCells = 32;
constexpr uint32_t kCacheCellLimit = 64;
pthread_key_t g_threadExitKey;
bool g_threadExitKeyMade = false;

constexpr int kNotInAnyChunk = -1;
constexpr int kInsideACell = -2;

inline int PoolIndexForSize(uint32_t size) {
    return size <= 8 ? 0 : std::bit_width(size - 1) - 3;
}

inline void* NextFreeCell(void* cell) {
    return *static_cast<void**>(cell);
}
inline void SetNextFreeCell(void* cell, void* next) {
    *static_cast<void**>(cell) = next;
}

// The pool whose cell starts at the address; kInsideACell for an address within a chunk that is
// not a cell's start (taking it back would hand out overlapping cells). Needs no lock.
inline int PoolOfAddress(uintptr_t address) {
    const int pool = g_chunkGranules.Find(address >> kGranuleShift);
    if (pool < 0) return kNotInAnyChunk;
    const uintptr_t offset = address & (kChunkBytes[pool] - 1);
    const uint32_t cellSize = MemoryManager::kPoolCellSizes[pool];
    if (offset < cellSize || (offset & (cellSize - 1)) != 0) return kInsideACell;
    return pool;
}

void AddChunk(int index) {
    MemPool& pool = g_pools[index];
    const uint32_t bytes = kChunkBytes[index];
    const uint32_t cellSize = MemoryManager::kPoolCellSizes[index];
    char* chunk = static_cast<char*>(std::aligned_alloc(bytes, bytes));
    if (chunk == nullptr) OutOfMemory_Handler(bytes);
    std::memset(chunk + sizeof(char*), kChunkFill, bytes - sizeof(char*));
    *reinterpret_cast<char**>(chunk) = pool.newestChunk;
    pool.newestChunk = chunk;
    // Ascending pushes leave the highest cell on top: it is handed out first.
    for (char* cell = chunk + cellSize; cell < chunk + bytes; cell += cellSize) {
        SetNextFreeCell(cell, pool.freeHead);
        pool.freeHead = cell;
    }
    pool.freeCells += static_cast<int32_t>(bytes / cellSize - 1);
    const uintptr_t firstGranule = reinterpret_cast<uintptr_t>(chunk) >> kGranuleShift;
    for (uintptr_t g = 0; g < (bytes >> kGranuleShift); ++g) g_chunkGranules.Insert(firstGranule + g, index);
}

// Puts the thread's cached cells back on top of the shared lists when the thread ends.
void ReturnThreadCells(void*);

// Under the lock. Until this succeeds, every free of the thread takes the lock to try again.
void RegisterForThreadExit(ThreadCellCache& cache) {
    if (cache.returnsAtExit) return;
    if (!g_threadExitKeyMade) {
        g_threadExitKeyMade = pthread_key_create(&g_threadExitKey, ReturnThreadCells) == 0;
    }
    cache.returnsAtExit = g_threadExitKeyMade && pthread_setspecific(g_threadExitKey, &cache) == 0;
}

void SpillCache(ThreadCellCache& cache, int index) {
    if (cache.count[index] == 0) return;
    MemPool& pool = g_pools[index];
    SetNextFreeCell(cache.tail[index], pool.freeHead);
    pool.freeHead = cache.head[index];
    pool.freeCells += static_cast<int32_t>(cache.count[index]);
    pool.inUse -= static_cast<int32_t>(cache.count[index]);
    cache.head[index] = cache.tail[index] = nullptr;
    cache.count[index] = 0;
}

void RefillCache(ThreadCellCache& cache, int index) {
    MemPool& pool = g_pools[index];
    if (pool.freeHead == nullptr) AddChunk(index);
    void* first = pool.freeHead;
    void* last = first;
    uint32_t taken = 1;
    for (void* next; taken < kCacheRefillCells && (next = NextFreeCell(last)) != nullptr; ++taken) {
        last = next;
    }
    pool.freeHead = NextFreeCell(last);
    SetNextFreeCell(last, nullptr);
    pool.freeCells -= static_cast<int32_t>(taken);
    pool.inUse += static_cast<int32_t>(taken);
    cache.head[index] = first;
    cache.tail[index] = last;
    cache.count[index] = taken;
    RegisterForThreadExit(cache);
}

void ReturnThreadCells(void*) {
    ManagerLock lock(g_memoryManagerMutex);
    ThreadCellCache& cache = t_cells;
    for (int index = 0; index < MemoryManager::kPoolCount; ++index) SpillCache(cache, index);
    cache.returnsAtExit = false;  // a later refill registers the thread again
}

inline void* TakeCell(int index) {
    ThreadCellCache& cache = t_cells;
    if (cache.head[index] == nullptr) {
        ManagerLock lock(g_memoryManagerMutex);
        RefillCache(cache, index);
    }
    void* cell = cache.head[index];
    cache.head[index] = NextFreeCell(cell);
    if (--cache.count[index] == 0) cache.tail[index] = nullptr;
    return cell;
}

inline void ReturnCell(int index, void* cell) {
    ThreadCellCache& cache = t_cells;
    if (cache.count[index] >= kCacheCellLimit || !cache.returnsAtExit) [[unlikely]] {
        ManagerLock lock(g_memoryManagerMutex);
        if (cache.count[index] >= kCacheCellLimit) SpillCache(cache, index);
        RegisterForThreadExit(cache);  // a thread that only frees must still give its cells back
    }
    SetNextFreeCell(cell, cache.head[index]);
    cache.head[index] = cell;
    if (cache.count[index]++ == 0) cache.tail[index] = cell;
}

// Constant sizes, so each clear is a few stores.
inline void ClearCell(void* cell, int index) {
    switch (index) {
        case 0:
            std::memset(cell, 0, 8);
            break;
        case 1:
            std::memset(cell, 0, 16);
            break;
        case 2:
            std::memset(cell, 0, 32);
            break;
        case 3:
            std::memset(cell, 0, 64);
            break;
        default:
            std::memset(cell, 0, 128);
            break;
    }
}

void* AllocGuarded(uint32_t size, bool clear) {
    if (size > kLargestGuardedSize) return nullptr;
    const size_t bytes = size_t{size} + sizeof(MemBlockHeader);
    void* raw = clear ? std::calloc(1, bytes) : std::malloc(bytes);
    if (raw == nullptr) OutOfMemory_Handler(static_cast<int64_t>(bytes));
    auto* header = static_cast<MemBlockHeader*>(raw);
    *header = MemBlockHeader{size, kGuardWord1, kGuardWord2, 0};
    void* p = header + 1;
    g_guardedBlocks.Insert(reinterpret_cast<uintptr_t>(p), size);
    g_guardedBytes += size;
    return p;
}

inline void* AllocLocked(uint32_t size, bool clear) {
    if (size > kLargestPooledSize) return AllocGuarded(size, clear);
    const int index = PoolIndexForSize(size);
    void* cell = TakeCell(index);
    if (clear) ClearCell(cell, index);
    return cell;
}

void FreeLocked(void* p) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(p);
    const int pool = PoolOfAddress(address);
    if (pool >= 0) {
        ReturnCell(pool, p);
        return;
    }
    if (pool == kInsideACell) return;
    uint32_t size;
    if (g_guardedBlocks.Remove(address, &size)) {
        g_guardedBytes -= size;
        std::free(static_cast<MemBlockHeader*>(p) - 1);
        return;
    }
    std::free(p);  // not ours: a block of the standard heap
}

// The bytes a block of ours holds; 0 for anything else.
uint32_t CapacityLocked(const void* p) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(p);
    const int pool = PoolOfAddress(address);
    if (pool >= 0) return MemoryManager::kPoolCellSizes[pool];
    uint32_t size;
    if (pool == kNotInAnyChunk && g_guardedBlocks.Find(address, &size)) return size;
    return 0;
}

bool IsGuardedLocked(const void* p) {
    uint32_t size;
    if (!g_guardedBlocks.Find(reinterpret_cast<uintptr_t>(p), &size)) return false;
    const auto* header = static_cast<const MemBlockHeader*>(p) - 1;
    return header->guard1 == kGuardWord1 && header->guard2 == kGuardWord2;
}

#else  // HV_SANITIZE: every block is a block of malloc; the registry keeps its size.

AddressTable g_blocks;  // address -> requested size

void* AllocLocked(uint32_t size, bool clear) {
    if (size > kLargestGuardedSize) return nullptr;
    void* p = clear ? std::calloc(1, size) : std::malloc(size);
    if (p == nullptr) OutOfMemory_Handler(size);
    g_blocks.Insert(reinterpret_cast<uintptr_t>(p), size);
    if (size > kLargestPooledSize) g_guardedBytes += size;
    return p;
}

void FreeLocked(void* p) {
    uint32_t size;
    if (g_blocks.Remove(reinterpret_cast<uintptr_t>(p), &size) && size > kLargestPooledSize) {
        g_guardedBytes -= size;
    }
    std::free(p);
}

uint32_t CapacityLocked(const void* p) {
    uint32_t size;
    return g_blocks.Find(reinterpret_cast<uintptr_t>(p), &size) ? size : 0;
}

bool IsGuardedLocked(const void* p) {
    return CapacityLocked(p) > kLargestPooledSize;
}

#endif

// Allocates and logs; false in *complete when the log record was cut short.
inline void* AllocAndLog(uint32_t size, bool clear, bool* complete) {
    void* p = AllocLocked(size, clear);
    if (g_memLogActive && p != nullptr && !MemLog_RecordAlloc(p, size)) *complete = false;
    return p;
}

inline void LogAndFree(void* p) {
    if (g_memLogActive) MemLog_RecordFree(p);
    FreeLocked(p);
}

// The process's arguments joined by blanks, in a block of the standard heap (null if unreadable).
char* ReadProcessCommandLine() {
    const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    size_t capacity = 4096, length = 0;
    char* text = static_cast<char*>(std::malloc(capacity + 1));
    while (text != nullptr) {
        const ssize_t got = ::read(fd, text + length, capacity - length);
        if (got <= 0) break;
        length += static_cast<size_t>(got);
        if (length == capacity) {
            capacity *= 2;
            char* grown = static_cast<char*>(std::realloc(text, capacity + 1));
            if (grown == nullptr) std::free(text);
            text = grown;
        }
    }
    ::close(fd);
    if (text == nullptr) return nullptr;
    if (length > 0 && text[length - 1] == '\0') --length;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\0') text[i] = ' ';
    }
    text[length] = '\0';
    return text;
}

}  // namespace

namespace MemoryManager {

void* Alloc(uint32_t size, const char*, int, bool clear) {
    if (size == 0) return nullptr;
#ifndef HV_SANITIZE
    if (size <= kLargestPooledSize && !g_memLogActive.load(std::memory_order_relaxed)) {
        const int index = PoolIndexForSize(size);
        void* cell = TakeCell(index);
        if (clear) ClearCell(cell, index);
        return cell;
    }
#endif
    bool complete = true;
    void* p;
    {
        ManagerLock lock(g_memoryManagerMutex);
        p = AllocAndLog(size, clear, &complete);
    }
    if (!complete) MemLog_ReportTruncatedRecord();
    return p;
}

void Free(void* p) {
    if (p == nullptr) return;
#ifndef HV_SANITIZE
    if (!g_memLogActive.load(std::memory_order_relaxed)) {
        const int pool = PoolOfAddress(reinterpret_cast<uintptr_t>(p));
        if (pool >= 0) {
            ReturnCell(pool, p);
            return;
        }
        if (pool == kInsideACell) return;
    }
#endif
    ManagerLock lock(g_memoryManagerMutex);
    LogAndFree(p);
}

void* ReAlloc(void* p, uint32_t size, const char* file, int line) {
    if (p == nullptr) return size == 0 ? nullptr : Alloc(size, file, line, true);
    bool ours = true, complete = true;
    void* result = nullptr;
    {
        ManagerLock lock(g_memoryManagerMutex);
        const uint32_t capacity = CapacityLocked(p);
        if (capacity == 0) {
            ours = false;
        } else if (size == 0) {
            LogAndFree(p);
        } else if (capacity >= size) {
            result = p;
        } else {
            // On failure the old block stays as it was, as a failed growth should leave it.
            result = AllocAndLog(size, true, &complete);
            if (result != nullptr) {
                std::memcpy(result, p, capacity);
                LogAndFree(p);
            }
        }
    }
    if (!ours) DebugConsole.Output("Why are we reallocing a block that we didn't alloc?!\n");
    if (!complete) MemLog_ReportTruncatedRecord();
    return result;
}

void* ReAllocRef(void*& p, uint32_t size, const char* file, int line) {
    p = ReAlloc(p, size, file, line);
    return p;
}

char* CopyText(const char* text, const char* file, int line) {
    if (text == nullptr) return nullptr;
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(Alloc(static_cast<uint32_t>(length + 1), file, line, false));
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

bool IsBlock(const void* p) {
    if (p == nullptr) return false;
    ManagerLock lock(g_memoryManagerMutex);
    return IsGuardedLocked(p);
}

void DumpTotal() {
    const uint32_t bytes = GuardedBytes();
    DebugConsole.Output("Total memory used = %d(0x%08lx) bytes\n", static_cast<int32_t>(bytes),
                        static_cast<unsigned long>(bytes));
}

uint32_t GuardedBytes() {
    ManagerLock lock(g_memoryManagerMutex);
    return g_guardedBytes;
}

PoolCounts GetPoolCounts(int pool) {
#ifndef HV_SANITIZE
    if (pool >= 0 && pool < kPoolCount) {
        ManagerLock lock(g_memoryManagerMutex);
        const auto cached = static_cast<int32_t>(t_cells.count[pool]);
        return PoolCounts{g_pools[pool].inUse - cached, g_pools[pool].freeCells + cached};
    }
#else
    (void)pool;
#endif
    return PoolCounts{0, 0};
}

void Init() {
    char* commandLine = ReadProcessCommandLine();
    if (commandLine == nullptr) return;
    char path[2049];
    if (MemLog_PathFromCommandLine(commandLine, path, sizeof path) && !MemLog_IsOpen()) MemLog_Open(path);
    std::free(commandLine);
}

void CountFrame() {}
void OnMainLoop() {}

}  // namespace MemoryManager
