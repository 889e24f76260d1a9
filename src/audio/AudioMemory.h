// Records of the sound layers live in memory-manager blocks.
#pragma once

#include <new>
#include <utility>

#include "core/MemoryManager.h"

template <typename T, typename... Args>
T* Audio_New(Args&&... args) {
    void* block = MEM_ALLOC(sizeof(T));
    return new (block) T(std::forward<Args>(args)...);
}

template <typename T>
void Audio_Delete(T* record) {
    if (record == nullptr) return;
    record->~T();
    MEM_FREE(record);
}
