// The process-wide memory manager: size-class pools for blocks of up to 128 bytes, guarded
// heap blocks above that, and the optional "-memlog" allocation log.
#pragma once

#include <cstdint>

namespace MemoryManager {

// size 0 gives null. With clear set the first size bytes are zero.
void* Alloc(uint32_t size, const char* file, int line, bool clear);
void Free(void* p);
// Never shrinks; growth moves the block and zero-fills the new bytes; size 0 frees.
void* ReAlloc(void* p, uint32_t size, const char* file, int line);
void* ReAllocRef(void*& p, uint32_t size, const char* file, int line);
// True only for a guarded block of this manager (not for pool cells or foreign pointers).
bool IsBlock(const void* p);

int PushName(const char* name);
void PopName();
void DumpTotal();
void Init();
void CountFrame();
void OnMainLoop();

}  // namespace MemoryManager

void MemLog_Event(const char* format, ...) __attribute__((format(printf, 1, 2)));

#define MEM_ALLOC(size) MemoryManager::Alloc((uint32_t)(size), __FILE__, __LINE__, true)
#define MEM_ALLOC_RAW(size) MemoryManager::Alloc((uint32_t)(size), __FILE__, __LINE__, false)
#define MEM_REALLOC(p, size) MemoryManager::ReAlloc((p), (uint32_t)(size), __FILE__, __LINE__)
#define MEM_FREE(p) MemoryManager::Free(p)
