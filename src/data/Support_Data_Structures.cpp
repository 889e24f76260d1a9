// Stacks, queues, lists, priority queues, maps and grids: storage, growth and the
// operations game code reaches through the ds_* built-ins.
#include "data/Support_Data_Structures.h"

#include <cmath>
#include <cstring>

#include "core/MemoryManager.h"
#include "data/Common.h"
#include "data/ValueCompare.h"

namespace {

constexpr int64_t kMaxSlots = DSSlots::kMaxSlots;
// Maps keep their full-hash index once the chains average this many nodes.
constexpr int32_t kIndexChainLength = 2;
constexpr int32_t kIndexMinEntries = 16;

inline bool IsMarked(const RValue* value) {
    return (value->kind & 0xFFFF) == 0 && (value->kind & (DS_MARK_MAP | DS_MARK_LIST)) != 0;
}

inline bool Equal(const RValue* a, const RValue* b) {
    return RValue_Compare(a, b, g_DSPrecision) == 0;
}

// Only arrays, objects and function references can reach what the collector frees.
inline void MarkSlot(const RValue* value, DSMarkValueFn mark, void* context) {
    const uint32_t kind = RValue_Kind(value);
    if (kind == VALUE_ARRAY || kind == VALUE_OBJECT || kind == VALUE_ACCESSOR) mark(value, context);
}

void MarkRange(const RValue* values, int64_t count, DSMarkValueFn mark, void* context) {
    for (int64_t i = 0; i < count; ++i) MarkSlot(&values[i], mark, context);
}

void ReleaseRange(RValue* values, int64_t count) {
    for (int64_t i = 0; i < count; ++i) RValue_Release(&values[i]);
}

// Raw exchange of two slots. An array keeps its owner on the slot that owned it.
void SwapSlots(RValue* a, RValue* b) {
    if (a == b) return;
    const bool aOwns = a->kind == VALUE_ARRAY && a->arr != nullptr && a->arr->owner == a;
    const bool bOwns = b->kind == VALUE_ARRAY && b->arr != nullptr && b->arr->owner == b;
    const RValue t = *a;
    *a = *b;
    *b = t;
    if (aOwns) b->arr->owner = b;
    if (bOwns) a->arr->owner = a;
}

// A value about to be stored that lives in the block the store may move or shift is held
// in a copy of its own until the store is done.
class HeldIfInside {
public:
    HeldIfInside(const DSSlots& slots, const RValue* value) : m_value(value) {
        const RValue* first = slots.values;
        if (first != nullptr && value >= first && value < first + slots.blockSlots) {
            RValue_Assign(&m_held, value);
            m_value = &m_held;
        }
    }
    ~HeldIfInside() { RValue_Release(&m_held); }
    HeldIfInside(const HeldIfInside&) = delete;
    HeldIfInside& operator=(const HeldIfInside&) = delete;
    const RValue* Get() const { return m_value; }

private:
    RValue m_held = RValue_Undefined();
    const RValue* m_value;
};

}  // namespace

// --- Slot blocks ------------------------------------------------------------------------

// Containers grow their capacity by small fixed steps; the block under them grows by half
// again, so filling a container costs linear time. Slots past the capacity a container has
// ever had are never written, so they read as the real 0 whichever block holds them.
void DSSlots::Reserve(int64_t n) {
    if (n <= blockSlots) return;
    if (n > kMaxSlots) OutOfMemory_Handler(n * static_cast<int64_t>(sizeof(RValue)));
    int64_t slots = int64_t{blockSlots} + blockSlots / 2;
    if (slots < n) slots = n;
    if (slots > kMaxSlots) slots = kMaxSlots;
    const uintptr_t oldBase = reinterpret_cast<uintptr_t>(values);
    values = static_cast<RValue*>(MEM_REALLOC(values, slots * sizeof(RValue)));
    RValue_RelocateRange(values, blockSlots, oldBase);
    blockSlots = static_cast<int32_t>(slots);
}

void DSSlots::Free() {
    MEM_FREE(values);
    values = nullptr;
    blockSlots = 0;
}

// --- Stack ------------------------------------------------------------------------------

CDS_Stack::~CDS_Stack() {
    Clear();
}

void CDS_Stack::Push(const RValue* value) {
    HeldIfInside held(m_slots, value);
    if (m_count >= m_capacity) {
        m_slots.Reserve(int64_t{m_count} + 16);
        m_capacity = m_count + 16;
    }
    RValue_Assign(&m_slots.values[m_count], held.Get());
    ++m_count;
}

RValue* CDS_Stack::Pop() {
    if (m_count == 0) return nullptr;
    return &m_slots.values[--m_count];
}

RValue* CDS_Stack::Top() {
    return m_count == 0 ? nullptr : &m_slots.values[m_count - 1];
}

// Popped values still sit above the count; they are released with the rest.
void CDS_Stack::Clear() {
    ReleaseRange(m_slots.values, m_capacity);
    m_slots.Free();
    m_count = 0;
    m_capacity = 0;
}

void CDS_Stack::Copy(const CDS_Stack* source) {
    if (source == this) return;
    if (source == nullptr) return Clear();
    ReleaseRange(m_slots.values, m_capacity);
    m_slots.Reserve(source->m_capacity);
    m_count = source->m_count;
    m_capacity = source->m_capacity;
    for (int32_t i = 0; i < m_capacity; ++i) RValue_Assign(&m_slots.values[i], &source->m_slots.values[i]);
}

void CDS_Stack::Mark(DSMarkValueFn mark, void* context) const {
    MarkRange(m_slots.values, m_count, mark, context);
}

// --- Queue ------------------------------------------------------------------------------

CDS_Queue::~CDS_Queue() {
    Clear();
    m_slots.Free();
}

void CDS_Queue::Enqueue(const RValue* value) {
    HeldIfInside held(m_slots, value);
    if (m_tail >= m_capacity) {
        m_slots.Reserve(int64_t{m_tail} + 16);
        m_capacity = m_tail + 16;
    }
    RValue_Assign(&m_slots.values[m_tail], held.Get());
    ++m_tail;
}

// Once more than half the storage lies behind the head, the live values are copied down
// to the start. The slot just dequeued lies at or past the new tail, so it is never written.
RValue* CDS_Queue::Dequeue() {
    if (m_head == m_tail) return nullptr;
    RValue* result = &m_slots.values[m_head];
    ++m_head;
    if (m_head > 16 && m_head > m_tail / 2) {
        const int32_t live = m_tail - m_head;
        for (int32_t i = 0; i < live; ++i) RValue_Assign(&m_slots.values[i], &m_slots.values[m_head + i]);
        m_tail = live;
        m_head = 0;
    }
    return result;
}

RValue* CDS_Queue::Head() {
    return m_head == m_tail ? nullptr : &m_slots.values[m_head];
}

RValue* CDS_Queue::Tail() {
    return m_head == m_tail ? nullptr : &m_slots.values[m_tail - 1];
}

void CDS_Queue::Clear() {
    m_tail = 0;
    m_head = 0;
    ReleaseRange(m_slots.values, m_capacity);
    m_capacity = 0;
}

void CDS_Queue::Copy(const CDS_Queue* source) {
    if (source == this) return;
    if (source == nullptr) return Clear();
    ReleaseRange(m_slots.values, m_capacity);
    m_tail = source->m_tail;
    m_head = source->m_head;
    m_slots.Reserve(source->m_capacity);
    m_capacity = source->m_capacity;
    for (int32_t i = 0; i < m_capacity; ++i) RValue_Assign(&m_slots.values[i], &source->m_slots.values[i]);
}

void CDS_Queue::Mark(DSMarkValueFn mark, void* context) const {
    MarkRange(m_slots.values, m_capacity, mark, context);
}

// --- List -------------------------------------------------------------------------------

CDS_List::~CDS_List() {
    m_busy = true;
    Clear();
    m_slots.Free();
}

// Sixteen slots at a time, then an eighth of the capacity once it reaches 128.
void CDS_List::Add(const RValue* value) {
    if (m_count >= m_capacity) {
        HeldIfInside held(m_slots, value);
        const int64_t growth = m_capacity >= 128 ? (m_capacity >> 3) : 16;
        m_slots.Reserve(m_count + growth);
        m_capacity = static_cast<int32_t>(m_count + growth);
        RValue_Assign(&m_slots.values[m_count++], held.Get());
        return;
    }
    RValue_Assign(&m_slots.values[m_count++], value);
}

void CDS_List::Insert(int32_t position, const RValue* value) {
    if (position < 0 || position > m_count) return;
    HeldIfInside held(m_slots, value);
    if (m_count >= m_capacity) {
        m_slots.Reserve(int64_t{m_count} + 16);
        m_capacity = m_count + 16;
    }
    RValue* slots = m_slots.values;
    RValue_MoveRange(&slots[position + 1], &slots[position], m_count - position);
    slots[position] = RValue_Real(0.0);
    RValue_Assign(&slots[position], held.Get());
    ++m_count;
}

void CDS_List::Set(int32_t position, const RValue* value, RValue* out) {
    if (position < 0) return;
    HeldIfInside held(m_slots, value);
    // Sizes are worked out wide and the block reserved before any field moves, so a
    // position no block can reach never becomes the count.
    const int64_t count = position >= m_count ? int64_t{position} + 1 : m_count;
    const int64_t capacity = count >= m_capacity ? count + 16 : m_capacity;
    m_slots.Reserve(capacity);
    m_count = static_cast<int32_t>(count);
    m_capacity = static_cast<int32_t>(capacity);
    RValue* slot = &m_slots.values[position];
    if (out != nullptr) RValue_Assign(out, slot);
    RValue_Assign(slot, held.Get());
}

void CDS_List::Replace(int32_t position, const RValue* value) {
    if (position < 0 || position >= m_count) return;
    RValue_Assign(&m_slots.values[position], value);
}

// The vacated last slot becomes a real that owns nothing: its kind word and the low half of
// its payload are cleared; the upper half keeps the bits of the value that moved down.
void CDS_List::Delete(int32_t position) {
    if (position < 0 || position >= m_count) return;
    RValue* slots = m_slots.values;
    RValue_Release(&slots[position]);
    RValue_MoveRange(&slots[position], &slots[position + 1], m_count - position - 1);
    RValue* last = &slots[m_count - 1];
    last->kind = VALUE_REAL;
    last->v32 = 0;
    --m_count;
}

RValue* CDS_List::GetItem(int32_t position) {
    return position < 0 || position >= m_count ? nullptr : &m_slots.values[position];
}

int32_t CDS_List::FindIndex(const RValue* value) const {
    const RValue* slots = m_slots.values;
    if (RValue_IsReal(value)) {
        // A real against stored reals compares within the precision, decided here; any
        // other slot takes the full comparison.
        const double wanted = value->val;
        const double tolerance = g_DSPrecision;
        const int32_t count = m_count;
        for (int32_t i = 0; i < count; ++i) {
            for (; i < count && RValue_IsReal(slots[i]); ++i)
                if (std::fabs(slots[i].val - wanted) <= tolerance) return i;
            if (i < count && Equal(&slots[i], value)) return i;
        }
        return -1;
    }
    for (int32_t i = 0; i < m_count; ++i)
        if (Equal(&slots[i], value)) return i;
    return -1;
}

// Insertion sort. Ascending moves a value left past every greater one, so equal values keep
// their order; descending moves it past every value less or equal, reversing equal runs.
// The value is compared where it would stand, then rotated in with one shift.
void CDS_List::Sort(bool ascending) {
    RValue* slots = m_slots.values;
    for (int32_t i = 1; i < m_count; ++i) {
        const RValue* moving = &slots[i];
        int32_t j = i;
        while (j >= 1 && (RValue_Compare(&slots[j - 1], moving, g_DSPrecision) > 0) == ascending) --j;
        if (j == i) continue;
        const bool owns =
            moving->kind == VALUE_ARRAY && moving->arr != nullptr && moving->arr->owner == moving;
        const RValue held = *moving;
        RValue_MoveRange(&slots[j + 1], &slots[j], i - j);
        slots[j] = held;
        if (owns) slots[j].arr->owner = &slots[j];
    }
}

void CDS_List::Shuffle() {
    RValue* slots = m_slots.values;
    const int64_t swaps = int64_t{8} * m_count;
    for (int64_t k = 0; k < swaps; ++k) {
        const uint32_t a = Random_IntMod(m_count);
        const uint32_t b = Random_IntMod(m_count);
        SwapSlots(&slots[a], &slots[b]);
    }
}

// Marked values have their containers destroyed first; the mark is then cleared so the
// slot releases as the value it really is.
void CDS_List::Clear() {
    const bool wasBusy = m_busy;
    m_busy = true;
    RValue* slots = m_slots.values;
    for (int32_t i = 0; i < m_count; ++i) {
        if (IsMarked(&slots[i])) DS_DestroyNested(&slots[i]);
        slots[i].kind &= 0xFFFF;
        RValue_Release(&slots[i]);
    }
    m_count = 0;
    m_busy = wasBusy;
}

void CDS_List::Copy(const CDS_List* source) {
    if (source == this) return;
    if (source == nullptr) return Clear();
    ReleaseRange(m_slots.values, m_capacity);
    m_slots.Reserve(source->m_capacity);
    m_count = source->m_count;
    m_capacity = source->m_capacity;
    for (int32_t i = 0; i < m_capacity; ++i) RValue_Assign(&m_slots.values[i], &source->m_slots.values[i]);
}

void CDS_List::Mark(DSMarkValueFn mark, void* context) const {
    MarkRange(m_slots.values, m_count, mark, context);
}

// --- Priority queue ---------------------------------------------------------------------

CDS_Priority::~CDS_Priority() {
    Clear();
}

void CDS_Priority::Add(const RValue* value, const RValue* priority) {
    HeldIfInside heldValue(m_values, value);
    HeldIfInside heldPriority(m_priorities, priority);
    if (m_count >= m_valueCapacity) {
        m_values.Reserve(int64_t{m_count} + 16);
        m_priorities.Reserve(int64_t{m_count} + 16);
        m_valueCapacity = m_count + 16;
        m_priorityCapacity = m_count + 16;
    }
    RValue_Assign(&m_values.values[m_count], heldValue.Get());
    RValue_Assign(&m_priorities.values[m_count], heldPriority.Get());
    ++m_count;
}

// Among priorities that compare equal the earliest entry wins.
int32_t CDS_Priority::Select(bool maximum) const {
    const RValue* priorities = m_priorities.values;
    int32_t best = 0;
    for (int32_t i = 1; i < m_count; ++i) {
        const int32_t c = RValue_Compare(&priorities[i], &priorities[best], g_DSPrecision);
        if (maximum ? c > 0 : c < 0) best = i;
    }
    return best;
}

RValue* CDS_Priority::FindPriority(const RValue* value) {
    for (int32_t i = 0; i < m_count; ++i)
        if (Equal(&m_values.values[i], value)) return &m_priorities.values[i];
    return nullptr;
}

RValue* CDS_Priority::FindMin() {
    return m_count == 0 ? nullptr : &m_values.values[Select(false)];
}

RValue* CDS_Priority::FindMax() {
    return m_count == 0 ? nullptr : &m_values.values[Select(true)];
}

void CDS_Priority::ChangePriority(const RValue* value, const RValue* priority) {
    if (RValue* slot = FindPriority(value)) RValue_Assign(slot, priority);
}

// The last entry is copied into the gap; its own slots keep their copies until reused.
void CDS_Priority::DeleteValue(const RValue* value) {
    for (int32_t i = 0; i < m_count; ++i) {
        if (!Equal(&m_values.values[i], value)) continue;
        const int32_t last = m_count - 1;
        RValue_Release(&m_values.values[i]);
        RValue_Release(&m_priorities.values[i]);
        RValue_Assign(&m_values.values[i], &m_values.values[last]);
        RValue_Assign(&m_priorities.values[i], &m_priorities.values[last]);
        --m_count;
        return;
    }
}

void CDS_Priority::DeleteSelected(RValue* result, bool maximum) {
    *result = RValue_Real(0.0);
    if (m_count == 0) return;
    const int32_t best = Select(maximum);
    const int32_t last = m_count - 1;
    RValue_Assign(result, &m_values.values[best]);
    RValue_Release(&m_values.values[best]);
    RValue_Release(&m_priorities.values[best]);
    if (best != last) {
        RValue_MoveRange(&m_values.values[best], &m_values.values[last], 1);
        RValue_MoveRange(&m_priorities.values[best], &m_priorities.values[last], 1);
    }
    m_values.values[last].kind = VALUE_REAL;
    m_priorities.values[last].kind = VALUE_REAL;
    --m_count;
}

void CDS_Priority::DeleteMin(RValue* result) {
    DeleteSelected(result, false);
}

void CDS_Priority::DeleteMax(RValue* result) {
    DeleteSelected(result, true);
}

void CDS_Priority::Clear() {
    ReleaseRange(m_values.values, m_valueCapacity);
    ReleaseRange(m_priorities.values, m_priorityCapacity);
    m_values.Free();
    m_priorities.Free();
    m_count = 0;
    m_valueCapacity = 0;
    m_priorityCapacity = 0;
}

void CDS_Priority::Copy(const CDS_Priority* source) {
    if (source == this) return;
    if (source == nullptr) return Clear();
    ReleaseRange(m_values.values, m_valueCapacity);
    ReleaseRange(m_priorities.values, m_priorityCapacity);
    m_count = source->m_count;
    m_values.Reserve(source->m_valueCapacity);
    m_valueCapacity = source->m_valueCapacity;
    for (int32_t i = 0; i < m_valueCapacity; ++i)
        RValue_Assign(&m_values.values[i], &source->m_values.values[i]);
    m_priorities.Reserve(source->m_priorityCapacity);
    m_priorityCapacity = source->m_priorityCapacity;
    for (int32_t i = 0; i < m_priorityCapacity; ++i)
        RValue_Assign(&m_priorities.values[i], &source->m_priorities.values[i]);
}

void CDS_Priority::Mark(DSMarkValueFn mark, void* context) const {
    MarkRange(m_values.values, m_valueCapacity, mark, context);
    MarkRange(m_priorities.values, m_priorityCapacity, mark, context);
}

// --- Map --------------------------------------------------------------------------------

namespace {

// Key equality for lookups: the two commonest pairs are decided here as the full comparison
// would decide them (strings by their bytes, reals within the precision).
inline bool SameKey(const RValue* stored, const RValue* key) {
    const uint32_t a = RValue_Kind(stored);
    const uint32_t b = RValue_Kind(key);
    if (a == VALUE_STRING && b == VALUE_STRING) {
        if (stored->str == nullptr || key->str == nullptr) return false;
        if (stored->str == key->str) return true;
        const char* x = stored->str->text ? stored->str->text : "";
        const char* y = key->str->text ? key->str->text : "";
        return std::strcmp(x, y) == 0;
    }
    if (a == VALUE_REAL && b == VALUE_REAL) return std::fabs(stored->val - key->val) <= g_DSPrecision;
    return Equal(stored, key);
}

inline uint32_t IndexHome(uint32_t hash, uint32_t mask) {
    hash ^= hash >> 16;
    hash *= 0x85EBCA6Bu;
    hash ^= hash >> 13;
    return hash & mask;
}

}  // namespace

CDS_Map::CDS_Map(int32_t bucketCount) {
    if (bucketCount < 1) bucketCount = 1;
    if (bucketCount > kMaxBuckets) bucketCount = kMaxBuckets;
    m_buckets = static_cast<DSMapBucket*>(MEM_ALLOC(sizeof(DSMapBucket) * static_cast<size_t>(bucketCount)));
    m_mask = bucketCount - 1;
}

CDS_Map::~CDS_Map() {
    m_busy = true;
    Clear();
    MEM_FREE(m_buckets);
}

DSMapNode* CDS_Map::FindNode(const RValue* key, uint32_t hash) const {
    if (m_index != nullptr) {
        const IndexSlot* slot = IndexSlotFor(hash);
        for (DSMapNode* node = slot ? slot->first : nullptr; node != nullptr; node = node->sameHashNext)
            if (SameKey(&node->entry.key, key)) return node;
        return nullptr;
    }
    for (DSMapNode* node = m_buckets[hash & static_cast<uint32_t>(m_mask)].head; node; node = node->next)
        if (node->hash == hash && SameKey(&node->entry.key, key)) return node;
    return nullptr;
}

DSMapEntry* CDS_Map::Find(const RValue* key) const {
    DSMapNode* node = FindNode(key, DS_ValueHash(key));
    return node ? &node->entry : nullptr;
}

void CDS_Map::AppendEntry(const RValue* key, const RValue* value, uint32_t hash) {
    DSMapBucket& bucket = m_buckets[hash & static_cast<uint32_t>(m_mask)];
    LinkEntry(key, value, hash, bucket.tail);
}

void CDS_Map::AddRepeatable(const RValue* key, const RValue* value) {
    const uint32_t hash = DS_ValueHash(key);
    DSMapNode* last = FindNode(key, hash);
    if (last == nullptr) return AppendEntry(key, value, hash);
    while (last->next != nullptr && last->next->hash == hash && SameKey(&last->next->entry.key, key))
        last = last->next;
    LinkEntry(key, value, hash, last);
}

void CDS_Map::LinkEntry(const RValue* key, const RValue* value, uint32_t hash, DSMapNode* after) {
    DSMapNode* node = NewNode();
    RValue_Assign(&node->entry.key, key);
    RValue_Assign(&node->entry.value, value);
    node->hash = hash;
    DSMapBucket& bucket = m_buckets[hash & static_cast<uint32_t>(m_mask)];
    node->prev = after;
    node->next = after != nullptr ? after->next : bucket.head;
    (after != nullptr ? after->next : bucket.head) = node;
    (node->next != nullptr ? node->next->prev : bucket.tail) = node;
    ++m_count;
    if (m_index != nullptr) {
        IndexInsert(node);
    } else if (m_count >= kIndexMinEntries && m_count > kIndexChainLength * BucketCount()) {
        IndexBuild();
    }
}

bool CDS_Map::Add(const RValue* key, const RValue* value) {
    const uint32_t hash = DS_ValueHash(key);
    if (FindNode(key, hash) != nullptr) return false;
    AppendEntry(key, value, hash);
    return true;
}

void CDS_Map::Set(const RValue* key, const RValue* value, RValue* out) {
    const uint32_t hash = DS_ValueHash(key);
    DSMapNode* node = FindNode(key, hash);
    if (node == nullptr) {
        if (out != nullptr) RValue_Assign(out, value);
        AppendEntry(key, value, hash);
        return;
    }
    if (out != nullptr) RValue_Assign(out, &node->entry.value);
    RValue_Assign(&node->entry.key, key);
    RValue_Assign(&node->entry.value, value);
}

bool CDS_Map::Replace(const RValue* key, const RValue* value) {
    const uint32_t hash = DS_ValueHash(key);
    if (DSMapNode* node = FindNode(key, hash)) {
        RValue_Assign(&node->entry.value, value);
        return true;
    }
    AppendEntry(key, value, hash);
    return false;
}

bool CDS_Map::AddByName(const char* name, double real, const char* text) {
    RValue key = RValue_Undefined();
    RValue_CreateString(&key, name);
    RValue value = RValue_Real(real);
    if (text != nullptr) RValue_CreateString(&value, text);
    const bool added = Add(&key, &value);
    RValue_Release(&key);
    RValue_Release(&value);
    return added;
}

void CDS_Map::Unlink(DSMapNode* node) {
    if (m_index != nullptr) IndexRemove(node);
    DSMapBucket& bucket = m_buckets[node->hash & static_cast<uint32_t>(m_mask)];
    (node->prev ? node->prev->next : bucket.head) = node->next;
    (node->next ? node->next->prev : bucket.tail) = node->prev;
    --m_count;
}

bool CDS_Map::Delete(const RValue* key) {
    DSMapNode* node = FindNode(key, DS_ValueHash(key));
    if (node == nullptr) return false;
    Unlink(node);
    RValue_Release(&node->entry.key);
    RValue_Release(&node->entry.value);
    RecycleNode(node);
    return true;
}

DSMapNode* CDS_Map::FirstNode() const {
    for (int32_t b = 0; b <= m_mask; ++b)
        if (m_buckets[b].head != nullptr) return m_buckets[b].head;
    return nullptr;
}

DSMapNode* CDS_Map::LastNode() const {
    for (int32_t b = m_mask; b >= 0; --b)
        if (m_buckets[b].tail != nullptr) return m_buckets[b].tail;
    return nullptr;
}

DSMapNode* CDS_Map::NextNode(const DSMapNode* node) const {
    if (node->next != nullptr) return node->next;
    for (int64_t b = int64_t{node->hash & static_cast<uint32_t>(m_mask)} + 1; b <= m_mask; ++b)
        if (m_buckets[b].head != nullptr) return m_buckets[b].head;
    return nullptr;
}

DSMapNode* CDS_Map::PreviousNode(const DSMapNode* node) const {
    if (node->prev != nullptr) return node->prev;
    for (int64_t b = int64_t{node->hash & static_cast<uint32_t>(m_mask)} - 1; b >= 0; --b)
        if (m_buckets[b].tail != nullptr) return m_buckets[b].tail;
    return nullptr;
}

// The entry a walk by key starts from: the one the key is filed under (same hash, equal),
// else the first entry in iteration order whose key compares equal. Keys equal within the
// precision can be filed apart (0.3 and 0.1 + 0.2); starting from the first equal one
// instead of the key's own entry would send a find-next walk back for ever.
DSMapNode* CDS_Map::FirstEqualNode(const RValue* key) const {
    if (DSMapNode* own = FindNode(key, DS_ValueHash(key))) return own;
    for (DSMapNode* node = FirstNode(); node != nullptr; node = NextNode(node))
        if (Equal(&node->entry.key, key)) return node;
    return nullptr;
}

RValue* CDS_Map::FindFirst() const {
    DSMapNode* node = FirstNode();
    return node ? &node->entry.key : nullptr;
}

RValue* CDS_Map::FindLast() const {
    DSMapNode* node = LastNode();
    return node ? &node->entry.key : nullptr;
}

RValue* CDS_Map::FindNext(const RValue* key) const {
    const DSMapNode* node = FirstEqualNode(key);
    // Repeats of a key (kept from an old map text) lie together: the walk steps over them.
    while (node != nullptr && node->next != nullptr && node->next->hash == node->hash &&
           SameKey(&node->next->entry.key, &node->entry.key))
        node = node->next;
    DSMapNode* next = node ? NextNode(node) : nullptr;
    return next ? &next->entry.key : nullptr;
}

RValue* CDS_Map::FindPrevious(const RValue* key) const {
    const DSMapNode* node = FirstEqualNode(key);
    DSMapNode* previous = node ? PreviousNode(node) : nullptr;
    return previous ? &previous->entry.key : nullptr;
}

void CDS_Map::FreeAllNodes() {
    for (int32_t b = 0; b <= m_mask; ++b) {
        DSMapNode* node = m_buckets[b].head;
        while (node != nullptr) {
            DSMapNode* next = node->next;
            RValue_Release(&node->entry.key);
            RValue_Release(&node->entry.value);
            node = next;
        }
        m_buckets[b] = DSMapBucket{nullptr, nullptr};
    }
    m_count = 0;
    FreeNodeBlocks();
    IndexFree();
}

// One walk in iteration order: each marked value's container is destroyed, then its node is
// freed. Destroying a nested container never touches this map (it is busy), so doing both
// in one walk is the same as destroying them all first.
void CDS_Map::Clear() {
    const bool wasBusy = m_busy;
    m_busy = true;
    for (int32_t b = 0; b <= m_mask; ++b) {
        DSMapNode* node = m_buckets[b].head;
        while (node != nullptr) {
            DSMapNode* next = node->next;
            if (IsMarked(&node->entry.value)) DS_DestroyNested(&node->entry.value);
            RValue_Release(&node->entry.key);
            RValue_Release(&node->entry.value);
            node = next;
        }
        m_buckets[b] = DSMapBucket{nullptr, nullptr};
    }
    m_count = 0;
    FreeNodeBlocks();
    IndexFree();
    m_busy = wasBusy;
}

void CDS_Map::Copy(const CDS_Map* source) {
    if (source == this) return;
    FreeAllNodes();
    if (source == nullptr) return;
    for (DSMapNode* node = source->FirstNode(); node != nullptr; node = source->NextNode(node))
        AppendEntry(&node->entry.key, &node->entry.value, node->hash);
}

void CDS_Map::Mark(DSMarkValueFn mark, void* context) const {
    if (WorkerOwned()) return;
    for (DSMapNode* node = FirstNode(); node != nullptr; node = NextNode(node)) {
        MarkSlot(&node->entry.key, mark, context);
        MarkSlot(&node->entry.value, mark, context);
    }
}

// Blocks double from 16 nodes up to 4096.
DSMapNode* CDS_Map::NewNode() {
    DSMapNode* node = m_spareNodes;
    if (node != nullptr) {
        m_spareNodes = node->next;
    } else {
        if (m_blocks == nullptr || m_blocks->used == m_blocks->capacity) {
            const int32_t capacity =
                m_nodeCapacity < 16 ? 16 : (m_nodeCapacity < 4096 ? m_nodeCapacity : 4096);
            auto* block =
                static_cast<NodeBlock*>(MEM_ALLOC_RAW(sizeof(NodeBlock) + sizeof(DSMapNode) * capacity));
            *block = NodeBlock{m_blocks, capacity, 0};
            m_blocks = block;
            m_nodeCapacity += capacity;
        }
        node = &m_blocks->Nodes()[m_blocks->used++];
    }
    node->prev = node->next = node->sameHashNext = nullptr;
    node->entry.key = RValue_Undefined();
    node->entry.value = RValue_Undefined();
    return node;
}

void CDS_Map::RecycleNode(DSMapNode* node) {
    node->next = m_spareNodes;
    m_spareNodes = node;
}

void CDS_Map::FreeNodeBlocks() {
    while (m_blocks != nullptr) {
        NodeBlock* next = m_blocks->next;
        MEM_FREE(m_blocks);
        m_blocks = next;
    }
    m_spareNodes = nullptr;
    m_nodeCapacity = 0;
}

// The index holds, per full hash, the first node of that hash; the nodes of one hash are
// linked in chain order, so a lookup through it meets them in the order the chain walk would.
CDS_Map::IndexSlot* CDS_Map::IndexSlotFor(uint32_t hash) const {
    for (uint32_t i = IndexHome(hash, m_indexMask);; i = (i + 1) & m_indexMask) {
        IndexSlot* slot = &m_index[i];
        if (slot->first == nullptr) return nullptr;
        if (slot->hash == hash) return slot;
    }
}

CDS_Map::IndexSlot* CDS_Map::IndexFreeSlot(uint32_t hash) const {
    uint32_t i = IndexHome(hash, m_indexMask);
    while (m_index[i].first != nullptr) i = (i + 1) & m_indexMask;
    return &m_index[i];
}

void CDS_Map::IndexInsert(DSMapNode* node) {
    node->sameHashNext = nullptr;
    if (IndexSlot* slot = IndexSlotFor(node->hash)) {
        DSMapNode* last = slot->first;
        while (last->sameHashNext != nullptr) last = last->sameHashNext;
        last->sameHashNext = node;
        return;
    }
    if ((static_cast<uint64_t>(m_indexUsed) + 1) * 4 > (static_cast<uint64_t>(m_indexMask) + 1) * 3)
        IndexGrow();
    *IndexFreeSlot(node->hash) = IndexSlot{node->hash, node};
    ++m_indexUsed;
}

// Twice the size; the slots move over with their lists of nodes untouched.
void CDS_Map::IndexGrow() {
    IndexSlot* old = m_index;
    const uint32_t oldCapacity = m_indexMask + 1;
    m_index = static_cast<IndexSlot*>(MEM_ALLOC(sizeof(IndexSlot) * static_cast<size_t>(oldCapacity) * 2));
    m_indexMask = oldCapacity * 2 - 1;
    for (uint32_t i = 0; i < oldCapacity; ++i)
        if (old[i].first != nullptr) *IndexFreeSlot(old[i].hash) = old[i];
    MEM_FREE(old);
}

// Made once a map's chains grow long, from the chains, which are the order of truth.
void CDS_Map::IndexBuild() {
    IndexFree();
    uint32_t capacity = 64;
    while (capacity < static_cast<uint64_t>(m_count) * 2) capacity *= 2;
    m_index = static_cast<IndexSlot*>(MEM_ALLOC(sizeof(IndexSlot) * capacity));
    m_indexMask = capacity - 1;
    m_indexUsed = 0;
    for (int32_t b = 0; b <= m_mask; ++b)
        for (DSMapNode* node = m_buckets[b].head; node != nullptr; node = node->next) IndexInsert(node);
}

void CDS_Map::IndexRemove(DSMapNode* node) {
    IndexSlot* slot = IndexSlotFor(node->hash);
    if (slot == nullptr) return;
    if (slot->first != node) {
        DSMapNode* before = slot->first;
        while (before->sameHashNext != nullptr && before->sameHashNext != node) before = before->sameHashNext;
        if (before->sameHashNext == node) before->sameHashNext = node->sameHashNext;
        return;
    }
    slot->first = node->sameHashNext;
    if (slot->first != nullptr) return;
    // The hash is gone: close the gap by shifting back the slots of the probe run behind it.
    --m_indexUsed;
    uint32_t hole = static_cast<uint32_t>(slot - m_index);
    for (uint32_t j = (hole + 1) & m_indexMask; m_index[j].first != nullptr; j = (j + 1) & m_indexMask) {
        const uint32_t home = IndexHome(m_index[j].hash, m_indexMask);
        const bool stays = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (stays) continue;
        m_index[hole] = m_index[j];
        m_index[j].first = nullptr;
        hole = j;
    }
}

void CDS_Map::IndexFree() {
    MEM_FREE(m_index);
    m_index = nullptr;
    m_indexMask = 0;
    m_indexUsed = 0;
}

// --- Grid -------------------------------------------------------------------------------

bool CDS_Grid::SizeAllowed(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width * height <= kMaxSlots;
}

CDS_Grid::CDS_Grid(int32_t width, int32_t height) {
    SetSize(width, height);
}

CDS_Grid::~CDS_Grid() {
    FreeCells();
}

void CDS_Grid::SetSize(int32_t width, int32_t height) {
    if (m_cells != nullptr) {
        ReleaseRange(m_cells, int64_t{m_width} * m_height);
        MEM_FREE(m_cells);
        m_cells = nullptr;
    }
    if (!SizeAllowed(width, height)) width = height = 0;
    if (width != 0 && height != 0) {
        // Zero bytes are the real 0.
        m_cells =
            static_cast<RValue*>(MEM_ALLOC(sizeof(RValue) * static_cast<size_t>(int64_t{width} * height)));
    }
    m_width = width;
    m_height = height;
}

bool CDS_Grid::Resize(int32_t width, int32_t height) {
    if (!SizeAllowed(width, height)) return false;
    RValue* oldCells = m_cells;
    const int32_t oldWidth = m_width;
    const int32_t oldHeight = m_height;
    m_cells = nullptr;
    SetSize(width, height);
    const int32_t keepWidth = m_cells && oldCells ? (width < oldWidth ? width : oldWidth) : 0;
    const int32_t keepHeight = height < oldHeight ? height : oldHeight;
    for (int32_t x = 0; x < keepWidth; ++x)
        for (int32_t y = 0; y < keepHeight; ++y) SetCell(x, y, &oldCells[x + int64_t{y} * oldWidth]);
    if (oldCells != nullptr) {
        ReleaseRange(oldCells, int64_t{oldWidth} * oldHeight);
        MEM_FREE(oldCells);
    }
    return true;
}

void CDS_Grid::Clear(const RValue* value) {
    if (m_cells == nullptr) return;    // a grid with a side of 0 has no cells, however long the other
    RValue held = RValue_Undefined();  // the value may be one of the cells
    RValue_Assign(&held, value);
    for (int32_t x = 0; x < m_width; ++x)
        for (int32_t y = 0; y < m_height; ++y) SetCell(x, y, &held);
    RValue_Release(&held);
}

// Copying a grid onto itself would release every cell before reading it: it changes nothing.
void CDS_Grid::Copy(const CDS_Grid* source) {
    if (source == this || source == nullptr) return;
    SetSize(source->m_width, source->m_height);
    if (m_cells == nullptr) return;
    for (int32_t x = 0; x < m_width; ++x)
        for (int32_t y = 0; y < m_height; ++y) SetCell(x, y, source->Cell(x, y));
}

void CDS_Grid::Mark(DSMarkValueFn mark, void* context) const {
    if (m_cells != nullptr) MarkRange(m_cells, int64_t{m_width} * m_height, mark, context);
}
