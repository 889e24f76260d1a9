#include "core/GarbageCollector.h"

#include <algorithm>
#include <vector>

#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/MemoryManager.h"
#include "core/ObjectBase.h"
#include "core/SlotHash.h"
#include "core/Variable.h"
#include "core/VariableList.h"

// --- The collector's object table -------------------------------------------------------

namespace {

constexpr int32_t kInitialTableCapacity = 128;

struct ObjectTable {
    PWObjectBase** entries = nullptr;
    int32_t capacity = 0;
    int32_t count = 0;
    int32_t searchStart = 0;
};
ObjectTable g_table;

void GrowTable() {
    int32_t capacity = g_table.capacity == 0 ? kInitialTableCapacity : g_table.capacity * 3 / 2;
    // The manager zero-fills the grown part.
    g_table.entries = static_cast<PWObjectBase**>(
        MEM_REALLOC(g_table.entries, sizeof(PWObjectBase*) * static_cast<size_t>(capacity)));
    g_table.capacity = capacity;
}

}  // namespace

int32_t GCTable_Add(PWObjectBase* object) {
    if (g_table.count >= g_table.capacity) GrowTable();
    int32_t index = g_table.searchStart;
    for (int32_t step = 0; step < g_table.capacity; ++step) {
        if (index >= g_table.capacity) index = 0;
        if (g_table.entries[index] == nullptr) {
            g_table.entries[index] = object;
            ++g_table.count;
            g_table.searchStart = index;
            return index;
        }
        ++index;
    }
    ++g_table.count;
    return -1;
}

void GCTable_Remove(int32_t slot) {
    if (slot < 0 || slot >= g_table.capacity || g_table.entries[slot] == nullptr) return;
    g_table.entries[slot] = nullptr;
    --g_table.count;
    g_table.searchStart = slot;
}

int32_t GCTable_Count() {
    return g_table.count;
}

int32_t GCTable_Capacity() {
    return g_table.capacity;
}

PWObjectBase* GCTable_Entry(int32_t slot) {
    return slot >= 0 && slot < g_table.capacity ? g_table.entries[slot] : nullptr;
}

// --- Marking ----------------------------------------------------------------------------

struct GCMarkContext {
    struct Item {
        void* pointer;
        bool array;  // a SharedArray record, else a PWObjectBase
    };

    uint8_t* table;
    int32_t length;
    int64_t pass;
    std::vector<Item>& work;  // kept between passes so its storage is reused
    bool draining = false;
};

namespace {

int64_t g_pass = 0;

void PushObject(PWObjectBase* object, GCMarkContext& marker) {
    if (object == nullptr || object->markStamp >= marker.pass) return;
    object->markStamp = marker.pass;
    if (object->collectorSlot >= 0 && object->collectorSlot < marker.length)
        marker.table[object->collectorSlot] = 1;
    marker.work.push_back({object, false});
}

// Arrays carry the pass stamp too, so an array shared by many holders, or one that holds
// itself, is scanned once.
void PushValue(const RValue* value, GCMarkContext& marker) {
    switch (RValue_Kind(value)) {
        case VALUE_OBJECT:
        case VALUE_ACCESSOR:
            PushObject(value->obj, marker);
            break;
        case VALUE_ARRAY:
            if (SharedArray* record = value->arr; record != nullptr && record->markStamp != marker.pass) {
                record->markStamp = marker.pass;
                marker.work.push_back({record, true});
            }
            break;
        default:
            break;
    }
}

void ScanArray(const SharedArray* record, GCMarkContext& marker) {
    for (int32_t r = 0; r < record->rowCount; ++r) {
        const ArrayRow& row = record->rows[r];
        for (int32_t i = 0; i < row.length; ++i) PushValue(&row.items[i], marker);
    }
}

void ScanObject(const PWObjectBase* object, GCMarkContext& marker) {
    if (const SlotHash* hash = object->slotHash) {
        int32_t cursor = 0;
        while (const RValue* value = hash->Next(cursor, nullptr)) PushValue(value, marker);
    }
    if (const CVariableList* list = object->variables; list != nullptr && list->Count() > 0) {
        for (int32_t b = 0; b < CVariableList::kBuckets; ++b) {
            for (const CVariableNode* node = list->Bucket(b); node; node = node->next) {
                PushValue(&node->key, marker);
                PushValue(&node->value, marker);
            }
        }
    }
    if (object->slots != nullptr) {
        int32_t count = std::min(object->slotCount, object->slotCapacity);
        for (int32_t i = 0; i < count; ++i) PushValue(&object->slots[i], marker);
    }
}

void Drain(GCMarkContext& marker) {
    if (marker.draining) return;
    marker.draining = true;
    while (!marker.work.empty()) {
        GCMarkContext::Item item = marker.work.back();
        marker.work.pop_back();
        if (item.array)
            ScanArray(static_cast<const SharedArray*>(item.pointer), marker);
        else
            ScanObject(static_cast<const PWObjectBase*>(item.pointer), marker);
    }
    marker.draining = false;
}

struct RootEntry {
    GCRootEnumerator enumerator;
    GCRootPhase phase;
};
std::vector<RootEntry>& Roots() {
    static std::vector<RootEntry> roots;
    return roots;
}

void RunRoots(GCRootPhase phase, GCMarkContext& marker) {
    // A copy: an enumerator may register or unregister while it runs.
    std::vector<RootEntry> roots = Roots();
    for (const RootEntry& root : roots) {
        if (root.phase != phase) continue;
        root.enumerator(marker);
        Drain(marker);
    }
}

void MarkInstanceHash(GCMarkContext& marker) {
    // An instance the id hash still holds can be reached by its id at any time.
    CHash<CInstance>& hash = Instance_IdHash();
    CHashIterator it;
    for (CInstance* instance = hash.IteratorFirst(it); it.node != nullptr; instance = hash.IteratorNext(it)) {
        PushObject(instance, marker);
    }
    Drain(marker);
}

void MarkActiveList(GCMarkContext& marker) {
    if (InstanceList* list = InstanceWorld().activeList()) {
        for (CInstance* instance = list->head; instance; instance = instance->depthNext)
            PushObject(instance, marker);
        Drain(marker);
    }
}

}  // namespace

void GC_MarkObject(PWObjectBase* object, GCMarkContext& marker) {
    PushObject(object, marker);
    Drain(marker);
}

void GC_MarkValue(const RValue* value, GCMarkContext& marker) {
    PushValue(value, marker);
    Drain(marker);
}

void GC_RegisterRoots(GCRootEnumerator enumerator, GCRootPhase phase) {
    if (enumerator == nullptr) return;
    GC_UnregisterRoots(enumerator);
    Roots().push_back({enumerator, phase});
}

void GC_UnregisterRoots(GCRootEnumerator enumerator) {
    std::vector<RootEntry>& roots = Roots();
    roots.erase(std::remove_if(roots.begin(), roots.end(),
                               [enumerator](const RootEntry& root) { return root.enumerator == enumerator; }),
                roots.end());
}

// --- The pass ---------------------------------------------------------------------------

bool VM_CollectGarbage(PWObjectBase* query) {
    if (!g_VariableSettings.objectMode) return false;

    static std::vector<GCMarkContext::Item> work;
    work.clear();
    int32_t length = g_table.capacity;
    GCMarkContext marker{static_cast<uint8_t*>(MEM_ALLOC(static_cast<uint32_t>(length))), length, ++g_pass,
                         work};

    GC_MarkObject(g_GlobalObject, marker);
    MarkInstanceHash(marker);
    MarkActiveList(marker);
    RunRoots(GC_ROOTS_ALWAYS, marker);
    if (InstanceWorld().activeList() != nullptr) RunRoots(GC_ROOTS_WHILE_ROOM_CURRENT, marker);

    bool answer = false;
    if (query != nullptr) {
        int32_t slot = query->collectorSlot;
        // An object outside the table is never the sweep's to free.
        answer = slot >= 0 && slot < marker.length && marker.table[slot] == 0;
    } else {
        for (int32_t slot = 0; slot < marker.length && slot < g_table.capacity; ++slot) {
            PWObjectBase* object = g_table.entries[slot];
            if (object != nullptr && marker.table[slot] == 0) PWObjectBase_Free(object);
        }
    }
    MEM_FREE(marker.table);
    return answer;
}

int64_t GC_PassNumber() {
    return g_pass;
}
