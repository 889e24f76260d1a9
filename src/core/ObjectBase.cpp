#include "core/ObjectBase.h"

#include "core/Code_Variable.h"
#include "core/GarbageCollector.h"
#include "core/SlotHash.h"
#include "core/Variable.h"
#include "core/VariableList.h"
#include "core/CRC32.h"

namespace {

PWObjectBase* g_pool = nullptr;  // plain objects waiting for reuse, linked by freeLink
int32_t g_poolCount = 0;

// Where slot numbers that an object cannot hold land: reads see unset, writes are dropped
// at the next such access.
RValue g_scratchSlot = {{0.0}, 0, VALUE_UNSET};

RValue* ScratchSlot() {
    RValue_Free(&g_scratchSlot);
    g_scratchSlot.v64 = 0;
    g_scratchSlot.flags = 0;
    g_scratchSlot.kind = VALUE_UNSET;
    return &g_scratchSlot;
}

void SetKinds(RValue* values, int32_t count, uint32_t kind) {
    if (kind == VALUE_UNDEFINED) return;
    for (int32_t i = 0; i < count; ++i) values[i].kind = kind;
}

bool IsZero(const RValue& value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return value.val == 0.0;
        case VALUE_INT32:
            return value.v32 == 0;
        case VALUE_INT64:
            return value.v64 == 0;
        default:
            return false;
    }
}

// A pooled object's array may be longer than its slot count; the values past the count
// belong to no variable.
int32_t FixedSlotLimit(const PWObjectBase* object) {
    return object->slotCount < object->slotCapacity ? object->slotCount : object->slotCapacity;
}

void FreeSlotHash(PWObjectBase* object) {
    if (object->slotHash == nullptr) return;
    object->slotHash->ReleaseValues();
    delete object->slotHash;
    object->slotHash = nullptr;
}

}  // namespace

PWObjectBase::PWObjectBase(int32_t count, uint32_t defaultKind)
    : slotCount(count > 0 ? count : 0), slotCapacity(count > 0 ? count : 0), defaultSlotKind(defaultKind) {
    if (g_VariableSettings.objectMode) variables = new CVariableList();
}

PWObjectBase::~PWObjectBase() {
    // An object deleted directly must not stay behind in the collector's table, where the
    // sweep would free it a second time.
    GCTable_Remove(collectorSlot);
    collectorSlot = -1;
    FreeSlotHash(this);
    if (slots != nullptr) {
        for (int32_t i = 0; i < slotCapacity; ++i) RValue_Release(&slots[i]);
        MEM_FREE(slots);
        slots = nullptr;
    }
    delete variables;
    variables = nullptr;
    slotCount = 0;
}

SlotHash* PWObjectBase::EnsureSlotHash() {
    if (slotHash == nullptr) slotHash = new SlotHash();
    return slotHash;
}

RValue* PWObjectBase::GetSlot(int32_t slot) {
    if (slots != nullptr) {
        if (slot < 0 || slot >= FixedSlotLimit(this)) return ScratchSlot();
        return &slots[slot];
    }
    if (!SlotHash::Holds(slot)) return ScratchSlot();
    SlotHash* hash = EnsureSlotHash();
    if (RValue* value = hash->Lookup(slot)) return value;
    RValue* cell = ValueCellPool::Take(defaultSlotKind);
    hash->Insert(slot, cell);
    return cell;
}

RValue* PWObjectBase::PeekSlot(int32_t slot) const {
    if (slots != nullptr) return slot >= 0 && slot < FixedSlotLimit(this) ? &slots[slot] : nullptr;
    if (slotHash == nullptr || !SlotHash::Holds(slot)) return nullptr;
    return slotHash->Lookup(slot);
}

RValue* PWObjectBase::FindName(const char* name) {
    int32_t index = Code_Variable_FindForObject(this, name);
    if (index >= 0 && index < slotCount) return GetSlot(index);
    // Outside object mode an object gets its list on first use rather than losing the name.
    if (variables == nullptr) variables = new CVariableList();
    CVariableNode* node = variables->FindName(name);
    if (node == nullptr) {
        node = CVariableNode_AllocByName(name);
        variables->Insert(node);
    }
    return &node->value;
}

bool PWObjectBase::IsExtensible() {
    if (variables == nullptr || variables->Count() == 0) return true;
    // Asked before every property write: the name's CRC is taken once.
    static const int32_t kExtensibleHash = static_cast<int32_t>(CRC32_String("[[Extensible]]"));
    CVariableNode* node = variables->FindName("[[Extensible]]", kExtensibleHash);
    return node == nullptr || !IsZero(node->value);
}

RValue* PWObjectBase::SetProperty(const char* name, uint32_t flags) {
    if (!IsExtensible()) return nullptr;
    RValue* value = FindName(name);
    RValue_Release(value);
    value->flags = flags;
    return value;
}

void PWObjectBase::AddObject(const char* name, PWObjectBase* object, uint32_t flags) {
    if (RValue* value = SetProperty(name, flags)) {
        value->obj = object;
        value->kind = VALUE_OBJECT;
    }
}

void PWObjectBase::AddBool(const char* name, bool b, uint32_t flags) {
    AddReal(name, b ? 1.0 : 0.0, flags);
}

void PWObjectBase::AddInt(const char* name, int32_t i, uint32_t flags) {
    AddReal(name, static_cast<double>(i), flags);
}

void PWObjectBase::AddReal(const char* name, double d, uint32_t flags) {
    if (RValue* value = SetProperty(name, flags)) {
        value->val = d;
        value->kind = VALUE_REAL;
    }
}

void PWObjectBase::AddString(const char* name, const char* text, uint32_t flags) {
    if (RValue* value = SetProperty(name, flags)) RValue_CreateString(value, text);
}

void PWObjectBase::AddPointer(const char* name, void* pointer, uint32_t flags) {
    // Attribute bits never make the property own what it points at.
    if (RValue* value = SetProperty(name, flags & ~VALUE_FLAG_OWNS_OBJECT)) {
        value->ptr = pointer;
        value->kind = VALUE_PTR;
    }
}

void PWObjectBase::AddNull(const char* name, uint32_t flags) {
    if (RValue* value = SetProperty(name, flags)) value->kind = VALUE_NULL;
}

void PWObjectBase::AddValue(const char* name, const RValue* source, uint32_t flags) {
    if (!IsExtensible()) return;
    RValue* value = FindName(name);
    RValue_Assign(value, source);
    value->flags = value->kind == VALUE_PTR ? flags & ~VALUE_FLAG_OWNS_OBJECT : flags;
}

void PWObjectBase::ReleaseSlots() {
    if (slots != nullptr) {
        for (int32_t i = 0; i < slotCapacity; ++i) RValue_Release(&slots[i]);
    }
    FreeSlotHash(this);
}

// --- Allocation and pooling -------------------------------------------------------------

// Slot arrays are written at once, so a request the memory manager cannot serve ends the run
// through the out-of-memory path instead of handing back null.
static RValue* SlotArray(RValue* old, int32_t count) {
    const uint64_t bytes = sizeof(RValue) * uint64_t(count);
    void* p = bytes < UINT32_MAX ? (old ? MEM_REALLOC(old, bytes) : MEM_ALLOC(bytes)) : nullptr;
    if (p == nullptr) OutOfMemory_Handler(static_cast<int64_t>(bytes));
    return static_cast<RValue*>(p);
}

PWObjectBase* PWObjectBase_Alloc(int32_t count, uint32_t defaultKind, bool wantArray) {
    if (count < 0) count = 0;
    PWObjectBase* object = g_pool;
    if (object != nullptr) {
        g_pool = object->freeLink;
        object->freeLink = nullptr;
        --g_poolCount;
        if (object->slotCapacity < count) {
            int32_t oldCapacity = object->slotCapacity;
            object->slotCapacity = count;
            if (object->slots != nullptr || wantArray) {
                uintptr_t oldBase = reinterpret_cast<uintptr_t>(object->slots);
                object->slots = SlotArray(object->slots, count);
                RValue_RelocateRange(object->slots, oldCapacity, oldBase);
            }
        }
        object->slotCount = count;
        object->defaultSlotKind = defaultKind;
        if (object->slots != nullptr) SetKinds(object->slots, count, defaultKind);
    } else {
        object = new PWObjectBase(count, defaultKind);
    }
    if (wantArray && object->slots == nullptr && count > 0) {
        object->slots = SlotArray(nullptr, count);
        // A pooled object may remember a larger capacity than the array now made.
        object->slotCapacity = count;
        SetKinds(object->slots, count, defaultKind);
    }
    object->collectorSlot = GCTable_Add(object);
    return object;
}

void PWObjectBase_Free(PWObjectBase* object) {
    if (object == nullptr) return;
    GCTable_Remove(object->collectorSlot);
    object->collectorSlot = -1;
    if (object->objectClass != OBJECT_CLASS_PLAIN) {
        delete object;
        return;
    }
    object->ReleaseSlots();
    if (object->variables != nullptr && object->variables->Count() > 0) object->variables->Clear();
    object->scopeLink = nullptr;
    object->freeLink = g_pool;
    g_pool = object;
    ++g_poolCount;
}

void PWObjectBase_ReleasePool() {
    while (PWObjectBase* object = g_pool) {
        g_pool = object->freeLink;
        delete object;
    }
    g_poolCount = 0;
}

int32_t PWObjectBase_PoolCount() {
    return g_poolCount;
}

void RValue_NewObject(RValue* value) {
    value->obj = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    value->flags = 0;
    value->kind = VALUE_OBJECT;
}
