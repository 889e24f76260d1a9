// A resource table: records addressed by index, a null slot for a free one. The owning module
// grows, fills and frees the slots its own way; every lookup by index goes through Get, so the
// range check is written here once.
#pragma once

#include <cassert>
#include <cstdint>

template <typename T>
struct ResourceTable {
    T** slots = nullptr;
    int32_t count = 0;  // slots in use, free ones included

    // The index names a slot, free or not.
    bool InRange(int64_t index) const { return index >= 0 && index < count; }
    // The record at the index; null outside the table or for a free slot.
    T* Get(int64_t index) const {
        assert(count == 0 || slots != nullptr);
        return InRange(index) ? slots[index] : nullptr;
    }
    int32_t Count() const { return count; }
};
