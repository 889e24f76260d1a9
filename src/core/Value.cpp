#include "core/Value.h"

#include <cstring>
#include <new>

#include "core/CRuntimeCompat.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Array.h"

ArrayIndexErrorRecord ArrayIndexError;

namespace {

// One more reference for what a bitwise copy of the value will hold. A copy of an owning
// pointer value does not own: two owners would delete the object twice.
inline void TakeReference(RValue* copy) {
    switch (copy->kind) {
        case VALUE_STRING:
            if (copy->str != nullptr) ++copy->str->refCount;
            break;
        case VALUE_ARRAY:
            if (copy->arr != nullptr) ++copy->arr->refCount;
            break;
        case VALUE_PTR:
            copy->flags &= ~VALUE_FLAG_OWNS_OBJECT;
            break;
        default:
            break;
    }
}

// An array stored into a slot takes the slot as owner when it has none.
inline void ClaimIfUnowned(RValue* slot) {
    if (slot->kind == VALUE_ARRAY && slot->arr != nullptr && slot->arr->owner == nullptr) {
        slot->arr->owner = slot;
    }
}

inline RValue HeldCopy(const RValue* source) {
    RValue copy;
    RValue_CopyBits(&copy, source);
    TakeReference(&copy);
    return copy;
}

uint32_t BlockBytes(int64_t count, size_t elementSize) {
    int64_t bytes = count * static_cast<int64_t>(elementSize);
    if (count < 0 || bytes > static_cast<int64_t>(UINT32_MAX)) {
        Runtime_Error("array too large (%lld elements)", static_cast<long long>(count));
        return 0;
    }
    return static_cast<uint32_t>(bytes);
}

void FreeArrayRecord(SharedArray* record) {
    for (int32_t r = 0; r < record->rowCount; ++r) {
        ArrayRow& row = record->rows[r];
        for (int32_t i = 0; i < row.length; ++i) RValue_Free(&row.items[i]);
        MEM_FREE(row.items);
    }
    MEM_FREE(record->rows);
    MEM_FREE(record);
}

void GrowRows(SharedArray* record, int32_t rowCount) {
    if (rowCount > record->rowCapacity) {
        int32_t capacity = record->rowCapacity * 2 > rowCount ? record->rowCapacity * 2 : rowCount;
        record->rows =
            static_cast<ArrayRow*>(MEM_REALLOC(record->rows, BlockBytes(capacity, sizeof(ArrayRow))));
        std::memset(record->rows + record->rowCapacity, 0,
                    sizeof(ArrayRow) * static_cast<size_t>(capacity - record->rowCapacity));
        record->rowCapacity = capacity;
    }
    record->rowCount = rowCount;
}

void GrowRow(ArrayRow* row, int32_t length) {
    if (length > row->capacity) {
        int32_t capacity = row->capacity * 2 > length ? row->capacity * 2 : length;
        uintptr_t oldBase = reinterpret_cast<uintptr_t>(row->items);
        row->items = static_cast<RValue*>(MEM_REALLOC(row->items, BlockBytes(capacity, sizeof(RValue))));
        // Zero items are real 0.0, so the gaps of an array read as 0.
        std::memset(row->items + row->capacity, 0,
                    sizeof(RValue) * static_cast<size_t>(capacity - row->capacity));
        row->capacity = capacity;
        RValue_RelocateRange(row->items, row->length, oldBase);
    }
    row->length = length;
}

void FillIndexError(const SharedArray* record, int32_t row, int32_t column) {
    ArrayIndexError.raised = 1;
    ArrayIndexError.row = row;
    ArrayIndexError.column = column;
    ArrayIndexError.rowCount = record ? record->rowCount : 0;
    bool rowExists = record && row >= 0 && row < record->rowCount;
    ArrayIndexError.rowLength = rowExists ? record->rows[row].length : -1;
}

// Makes the array value's record one it may write in place: a new record when it has
// none, its own copy when another holder owns a shared record.
void MakeWritable(RValue* variable) {
    SharedArray* record = variable->arr;
    if (record == nullptr) {
        variable->arr = SharedArray_Create(variable);
    } else if (record->owner != variable) {
        if (record->owner != nullptr && record->refCount != 1) {
            variable->arr = SharedArray_CopyOnWrite(record, variable);
            --record->refCount;
        } else {
            record->owner = variable;
        }
    }
}

// Grows the record for (row, column) and returns the item, or null for a negative row
// or column.
RValue* ReachItem(SharedArray* record, int32_t row, int32_t column) {
    if (row >= record->rowCount) GrowRows(record, row + 1);
    if (row < 0 || column < 0) return nullptr;
    ArrayRow* target = &record->rows[row];
    if (column >= target->length) GrowRow(target, column + 1);
    return &target->items[column];
}

// Stores a held copy (its reference already taken) into element index of the record.
void StoreElement(SharedArray* record, RValue* held, int32_t index) {
    MemoryManager::PushName("Array Set Value");
    int32_t row = index / ARRAY_ROW_STRIDE;
    int32_t column = index % ARRAY_ROW_STRIDE;
    if (RValue* item = ReachItem(record, row, column)) {
        RValue_Release(item);
        *item = *held;
        ClaimIfUnowned(item);
    } else {
        FillIndexError(record, row, column);
        RValue_Free(held);
    }
    MemoryManager::PopName();
}

}  // namespace

// --- Release, assignment, moves ---------------------------------------------------------

void RValue_FreePayload(RValue* value) {
    switch (value->kind) {
        case VALUE_STRING:
            if (value->str != nullptr) value->str->Release();
            break;
        case VALUE_ARRAY:
            if (SharedArray* record = value->arr) {
                if (record->owner == value) record->owner = nullptr;
                if (--record->refCount <= 0) FreeArrayRecord(record);
            }
            break;
        case VALUE_PTR:
            if ((value->flags & VALUE_FLAG_OWNS_OBJECT) != 0 && value->ptr != nullptr) {
                COwnedObject* object = static_cast<COwnedObject*>(value->ptr);
                value->ptr = nullptr;
                delete object;
            }
            break;
        default:
            break;
    }
    // A released value keeps no pointer to what it gave up, so a second release is harmless.
    value->v64 = 0;
}

RValue* RValue_Assign(RValue* dest, const RValue* source) {
    // Numbers, bools, undefined and objects over a destination that holds nothing to release
    // are their 16 bytes: nothing to share, release or claim.
    if (source->kind - 1u >= 3u && dest->kind - 1u >= 4u) {
        RValue_CopyBits(dest, source);
        return dest;
    }
    if (dest == source) return dest;
    // Hold the source first: it may live inside the array that releasing dest frees.
    RValue held = HeldCopy(source);
    RValue_Free(dest);
    *dest = held;
    ClaimIfUnowned(dest);
    return dest;
}

void RValue_RelocateRange(RValue* values, int32_t count, uintptr_t oldBase) {
    uintptr_t newBase = reinterpret_cast<uintptr_t>(values);
    if (newBase == oldBase || count <= 0) return;
    // Visit in the direction that never hands a record an address another moved value
    // still has to be matched against.
    if (newBase > oldBase) {
        for (int32_t i = count - 1; i >= 0; --i) RValue_Relocated(&values[i], oldBase + i * sizeof(RValue));
    } else {
        for (int32_t i = 0; i < count; ++i) RValue_Relocated(&values[i], oldBase + i * sizeof(RValue));
    }
}

void RValue_Move(RValue* dest, RValue* src) {
    if (dest == src) return;
    RValue moved = *src;
    *src = RValue_Undefined();
    RValue_Free(dest);
    *dest = moved;
    RValue_Relocated(dest, reinterpret_cast<uintptr_t>(src));
}

void RValue_MoveRange(RValue* dest, RValue* src, int32_t count) {
    if (count <= 0 || dest == src) return;
    std::memmove(static_cast<void*>(dest), src, sizeof(RValue) * static_cast<size_t>(count));
    RValue_RelocateRange(dest, count, reinterpret_cast<uintptr_t>(src));
}

// --- Strings ----------------------------------------------------------------------------

char* String_Duplicate(const char* text) {
    if (text == nullptr) return nullptr;
    size_t length = std::strlen(text);
    MemoryManager::PushName("string copy");
    char* copy = static_cast<char*>(MEM_ALLOC(length + 1));
    MemoryManager::PopName();
    std::memcpy(copy, text, length + 1);
    return copy;
}

SharedString::SharedString(const char* source)
    : text(String_Duplicate(source)),
      refCount(1),
      length(source ? static_cast<int32_t>(std::strlen(source)) : 0) {}

void SharedString::Release() {
    if (--refCount > 0) return;
    MEM_FREE(text);
    delete this;
}

SharedString* SharedString_Alloc(int32_t n) {
    if (n < 0) n = 0;
    SharedString* record = new (std::nothrow) SharedString(nullptr);
    if (record == nullptr) return nullptr;
    record->text = static_cast<char*>(MEM_ALLOC_RAW(static_cast<uint32_t>(n) + 1));
    record->text[n] = '\0';
    record->length = n;
    return record;
}

SharedString* SharedString_ReleaseSafe(SharedString* record) {
    if (record != nullptr) record->Release();
    return nullptr;
}

void RValue_CreateString(RValue* value, const char* text) {
    value->str = new (std::nothrow) SharedString(text);
    value->kind = VALUE_STRING;
}

void RValue_SetString(RValue* value, const char* text) {
    // The text may belong to the value's own record: copy it before releasing.
    SharedString* record = new (std::nothrow) SharedString(text);
    RValue_Release(value);
    value->str = record;
    value->kind = VALUE_STRING;
}

void RValue_SetStringBytes(RValue* value, const char* bytes, int32_t n) {
    SharedString* record = SharedString_Alloc(n);
    if (n > 0) std::memcpy(record->text, bytes, static_cast<size_t>(n));
    record->text[n] = '\0';
    RValue_Release(value);
    value->str = record;
    value->flags = 0;
    value->kind = VALUE_STRING;
}

void RValue_SetStringRecord(RValue* value, const SharedString* record) {
    RValue_SetString(value, record ? record->text : nullptr);
}

const char* RValue_GetStringText(const RValue* value) {
    if (value->kind != VALUE_STRING || value->str == nullptr) return nullptr;
    return value->str->text;
}

// --- Arrays -----------------------------------------------------------------------------

SharedArray* SharedArray_Create(RValue* owner) {
    SharedArray* record = static_cast<SharedArray*>(MEM_ALLOC(sizeof(SharedArray)));
    record->refCount = 1;
    record->owner = owner;
    return record;
}

SharedArray* SharedArray_CopyOnWrite(const SharedArray* record, RValue* newOwner) {
    if (record == nullptr) return nullptr;
    SharedArray* copy = SharedArray_Create(newOwner);
    copy->rowCount = copy->rowCapacity = record->rowCount;
    copy->rows = static_cast<ArrayRow*>(MEM_ALLOC(BlockBytes(record->rowCount, sizeof(ArrayRow))));
    for (int32_t r = 0; r < record->rowCount; ++r) {
        const ArrayRow& from = record->rows[r];
        if (from.length <= 0) continue;
        ArrayRow& to = copy->rows[r];
        to.items = static_cast<RValue*>(MEM_ALLOC_RAW(BlockBytes(from.length, sizeof(RValue))));
        to.length = to.capacity = from.length;
        // Copy the bytes at once, then count the references of the few kinds that hold any.
        std::memcpy(static_cast<void*>(to.items), from.items,
                    sizeof(RValue) * static_cast<size_t>(from.length));
        for (int32_t i = 0; i < from.length; ++i) {
            RValue* item = &to.items[i];
            if (item->kind - VALUE_STRING > VALUE_PTR - VALUE_STRING) continue;
            TakeReference(item);
            ClaimIfUnowned(item);
        }
    }
    return copy;
}

bool RValue_GetIndexed(RValue* dest, RValue* source, int32_t index) {
    if (source->kind != VALUE_ARRAY) {
        if (index != ARRAY_INDEX_WHOLE) Runtime_Error("trying to index a variable which is not an array");
        RValue_Assign(dest, source);
        return true;
    }
    SharedArray* record = source->arr;
    if (record != nullptr && record->owner == nullptr) record->owner = source;
    if (index == ARRAY_INDEX_WHOLE) {
        RValue_Assign(dest, source);
        return true;
    }
    int32_t row = index / ARRAY_ROW_STRIDE;
    int32_t column = index % ARRAY_ROW_STRIDE;
    if (record != nullptr && row >= 0 && row < record->rowCount && column >= 0 &&
        column < record->rows[row].length) {
        RValue_Assign(dest, &record->rows[row].items[column]);
        return true;
    }
    FillIndexError(record, row, column);
    RValue_Release(dest);
    *dest = RValue_Real(0.0);
    return false;
}

void RValue_SetIndexed(RValue* variable, RValue* source, int32_t index) {
    if (index == ARRAY_INDEX_WHOLE) {
        ClaimIfUnowned(source);
        RValue_Assign(variable, source);
        return;
    }
    // Held before the variable changes: the source may be one of its own elements.
    RValue held = HeldCopy(source);
    if (variable->kind != VALUE_ARRAY) {
        RValue_Release(variable);
        variable->kind = VALUE_ARRAY;
        variable->arr = nullptr;
    }
    MakeWritable(variable);
    StoreElement(variable->arr, &held, index);
}

void RValue_SetElement(RValue* arrayValue, const RValue* source, int32_t index) {
    RValue held = HeldCopy(source);
    if (arrayValue->kind != VALUE_ARRAY || arrayValue->arr == nullptr) {
        RValue_Release(arrayValue);
        arrayValue->kind = VALUE_ARRAY;
        arrayValue->arr = SharedArray_Create(arrayValue);
    }
    StoreElement(arrayValue->arr, &held, index);
}

RValue* RValue_ElementRef(RValue* variable, int32_t index) {
    if (variable->kind != VALUE_ARRAY || variable->arr == nullptr) {
        RValue_Release(variable);
        variable->kind = VALUE_ARRAY;
        variable->arr = SharedArray_Create(variable);
    } else {
        MakeWritable(variable);
    }
    return ReachItem(variable->arr, index / ARRAY_ROW_STRIDE, index % ARRAY_ROW_STRIDE);
}

void RValue_AddReal(RValue* dest, const RValue* source, double d) {
    RValue result = HeldCopy(source);
    switch (result.kind) {
        case VALUE_REAL:
        case VALUE_BOOL:
            result.val += d;
            break;
        case VALUE_INT32:
            result.v32 = static_cast<int32_t>(static_cast<uint32_t>(result.v32) +
                                              static_cast<uint32_t>(CRT_TruncToInt32(d)));
            break;
        case VALUE_INT64:
            result.v64 = static_cast<int64_t>(static_cast<uint64_t>(result.v64) +
                                              static_cast<uint64_t>(CRT_TruncToInt64(d)));
            break;
        case VALUE_STRING:
            Runtime_Error("unable to add a number to string");
            break;
        default:
            break;
    }
    // In place (dest is the source) the old payload's reference is the one now held twice.
    if (dest == source) RValue_Free(dest);
    *dest = result;
    ClaimIfUnowned(dest);
}

void* Mem_Alloc(uint32_t size) {
    return MemoryManager::Alloc(size, __FILE__, __LINE__, false);
}
void* Mem_Realloc(void* p, uint32_t size) {
    return MemoryManager::ReAlloc(p, size, __FILE__, __LINE__);
}
void Mem_Free(void* p) {
    MemoryManager::Free(p);
}

void ReturnRealArray(RValue& result, int32_t count, const double* values) {
    RValue_Release(&result);
    result = RValue_Undefined();
    result.kind = VALUE_ARRAY;
    SharedArray* record = SharedArray_Create(&result);
    result.arr = record;
    if (count <= 0) return;
    record->rows = static_cast<ArrayRow*>(MEM_ALLOC(sizeof(ArrayRow)));
    record->rowCapacity = 1;
    record->rowCount = 1;
    ArrayRow& row = record->rows[0];
    row.items = static_cast<RValue*>(MEM_ALLOC(sizeof(RValue) * static_cast<size_t>(count)));
    row.length = row.capacity = count;
    for (int32_t i = 0; i < count; ++i) row.items[i] = RValue_Real(values[i]);
}
