// Provisional: plain heap blocks until the pooled manager lands.
#include "core/MemoryManager.h"

#include <cstdlib>
#include <cstring>

namespace MemoryManager {
void* Alloc(uint32_t size, const char*, int, bool clear) {
    if (size == 0) return nullptr;
    return clear ? std::calloc(1, size) : std::malloc(size);
}
void Free(void* p) { std::free(p); }
void* ReAlloc(void* p, uint32_t size, const char*, int) { return std::realloc(p, size); }
void* ReAllocRef(void*& p, uint32_t size, const char* f, int l) { return p = ReAlloc(p, size, f, l); }
bool IsBlock(const void*) { return false; }
int PushName(const char*) { return 0; }
void PopName() {}
void DumpTotal() {}
void Init() {}
void CountFrame() {}
void OnMainLoop() {}
}  // namespace MemoryManager

void MemLog_Event(const char*, ...) {}
