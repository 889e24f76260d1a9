// What the memory manager's own modules share; nothing outside them includes this.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// "MemoryManagerMutex": guards the pools' shared free lists and chunks, the guarded-block
// registry, the statistics and the memory log. Recursive, because ReAlloc holds it across its
// inner Alloc and Free.
extern std::recursive_mutex g_memoryManagerMutex;

// True while a memory log is open. Set under the mutex; read on every allocation and free, whose
// fast paths take the mutex only when there is a record to write.
extern std::atomic<bool> g_memLogActive;

// Called with the mutex held. MemLog_RecordAlloc returns false when the record had to be cut
// short; the caller reports that with MemLog_ReportTruncatedRecord once the mutex is released,
// so no console lock is ever taken while this one is held.
bool MemLog_RecordAlloc(const void* p, uint32_t size);
void MemLog_RecordFree(const void* p);
void MemLog_ReportTruncatedRecord();
