// The process-wide memory manager: size-class pools for blocks of up to 128 bytes, guarded
// heap blocks above that, and the optional "-memlog" allocation log.
#pragma once

#include <cstddef>
#include <cstdint>

namespace MemoryManager {

// size 0 gives null. With clear set the first size bytes are zero.
void* Alloc(uint32_t size, const char* file, int line, bool clear);
void Free(void* p);
// Never shrinks; growth moves the block and zero-fills the new bytes; size 0 frees.
void* ReAlloc(void* p, uint32_t size, const char* file, int line);
void* ReAllocRef(void*& p, uint32_t size, const char* file, int line);
// A managed copy of a NUL-terminated text; null stays null.
char* CopyText(const char* text, const char* file, int line);
// True only for a guarded block of this manager (not for pool cells or foreign pointers).
bool IsBlock(const void* p);

int PushName(const char* name);
void PopName();
void DumpTotal();
void Init();
void CountFrame();
void OnMainLoop();

// The size classes, smallest first; pool n serves requests up to kPoolCellSizes[n] bytes.
inline constexpr int kPoolCount = 5;
inline constexpr uint32_t kPoolCellSizes[kPoolCount] = {8, 16, 32, 64, 128};

struct PoolCounts {
    int32_t inUse;
    int32_t freeCells;
};
// Cells in use and free cells of one pool as the calling thread sees them (cells cached by
// other threads count as in use), for diagnostics.
PoolCounts GetPoolCounts(int pool);
// Bytes held in guarded blocks (requested sizes; headers and pool cells not counted).
uint32_t GuardedBytes();

}  // namespace MemoryManager

// The marked thread (the main thread, once start-up has marked it) is the only one whose
// allocations carry scope names and interpreter call stacks in the memory log. Threads the
// runner starts clear the mark before their routine runs.
void MemoryManager_MarkThread(bool marked);
bool MemoryManager_IsThreadMarked();

// Process-start hook: installs the out-of-memory handler and runs MemoryManager::Init. It runs
// by itself before static constructors; calling it again does nothing.
void Platform_InitMemory();
// Shows "Out of Memory!" (unless headless), prints the failed request's size and ends the
// process with -1. Called when the standard heap cannot satisfy a request.
[[noreturn]] void OutOfMemory_Handler(int64_t requestedBytes);
// The platform layer shows the out-of-memory box through this (null: no box).
using OutOfMemoryBoxHook = void (*)(const char* text, const char* title);
void OutOfMemory_SetBoxHook(OutOfMemoryBoxHook hook);

void MemLog_Event(const char* format, ...) __attribute__((format(printf, 1, 2)));

#define MEM_ALLOC(size) MemoryManager::Alloc((uint32_t)(size), __FILE__, __LINE__, true)
#define MEM_ALLOC_RAW(size) MemoryManager::Alloc((uint32_t)(size), __FILE__, __LINE__, false)
#define MEM_REALLOC(p, size) MemoryManager::ReAlloc((p), (uint32_t)(size), __FILE__, __LINE__)
#define MEM_FREE(p) MemoryManager::Free(p)
#define MEM_COPY_TEXT(text) MemoryManager::CopyText((text), __FILE__, __LINE__)

// Base of runtime records made with new and delete: their storage comes from the manager.
struct MemoryManaged {
    static void* operator new(size_t size) { return MEM_ALLOC(size); }
    static void operator delete(void* p) { MEM_FREE(p); }
};
