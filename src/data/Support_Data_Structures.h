// The six containers of game code: stacks, queues, lists, maps, priority queues and grids.
// Every container keeps its own copies of the values stored in it (strings and arrays are
// shared by reference count) and hands back pointers to its own slots, which the caller
// copies from. Values that change place inside one container move as raw 16-byte copies.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/Value.h"

class CStream;

// --- Nested containers ------------------------------------------------------------------
// A real whose kind word carries one of these marks is the index of a container that the
// holding list or map owns: clearing or destroying the holder destroys it.
constexpr uint32_t DS_MARK_MAP = 0x80000000u;
constexpr uint32_t DS_MARK_LIST = 0x40000000u;

enum DSKind : int32_t {
    DSKIND_MAP = 1,
    DSKIND_LIST = 2,
    DSKIND_STACK = 3,
    DSKIND_QUEUE = 4,
    DSKIND_GRID = 5,
    DSKIND_PRIORITY = 6,
};

// Destroys the container a marked value names (the map mark is tested first) and frees its
// index. An unmarked value, an index outside the table, a free slot, or a container that is
// being cleared or destroyed at this moment (a cycle of marks) do nothing. Destruction of
// nested containers runs from a work list, so deep or cyclic nesting never recurses.
void DS_DestroyNested(const RValue* value);

// The collector's visit of one stored value; only values that can reach collected objects
// (arrays, objects, function references) are passed.
using DSMarkValueFn = void (*)(const RValue* value, void* context);

// --- Hex text values --------------------------------------------------------------------

// Read modes of DS_ReadValue: the current layout, the legacy layout (kind word, double and
// text for every value) and the x01 layout (reals, strings and arrays only).
enum DSReadMode : int32_t { DS_READ_CURRENT = 0, DS_READ_LEGACY = 1, DS_READ_X01 = 2 };

// Appends the value's layout: the whole kind word, then a body for the kinds the text can
// carry; other kinds (marked reals included) are written as the kind word alone.
void DS_WriteValue(CStream* stream, const RValue* value);
// Replaces the value by the next one of the stream. False when a length or count in the
// stream is negative or larger than the bytes left could hold, or arrays nest too deeply;
// the value is then undefined. Numbers past the end read as 0.
bool DS_ReadValue(RValue* value, CStream* stream, DSReadMode mode);

// --- Containers -------------------------------------------------------------------------

// A container's slot array. The block only grows; slots past the capacity a container
// uses never hold a reference, so growing into them needs no release.
struct DSSlots {
    // The most slots one block may hold: the memory manager sizes blocks with 32-bit counts.
    static constexpr int64_t kMaxSlots = 0xFFFFFFEEll / static_cast<int64_t>(sizeof(RValue));

    RValue* values = nullptr;
    int32_t blockSlots = 0;  // slots the block was last sized for

    // Grows the block to hold at least n slots; new slots read as the real 0. A size the
    // memory manager cannot address ends the program as an exhausted heap does.
    void Reserve(int64_t n);
    void Free();
};

class CDS_Stack {
public:
    CDS_Stack() = default;
    virtual ~CDS_Stack();
    CDS_Stack(const CDS_Stack&) = delete;
    CDS_Stack& operator=(const CDS_Stack&) = delete;

    void Push(const RValue* value);
    RValue* Pop();  // null when empty; the popped value stays in its slot until a push
    RValue* Top();
    int32_t Size() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    int32_t Capacity() const { return m_capacity; }
    void Clear();
    void Copy(const CDS_Stack* source);

    char* Write() const;  // new hex text, freed by the caller with MEM_FREE
    bool Read(const char* text, bool legacy);
    void Mark(DSMarkValueFn mark, void* context) const;

private:
    int32_t m_count = 0;
    int32_t m_capacity = 0;
    DSSlots m_slots;
};

class CDS_Queue {
public:
    CDS_Queue() = default;
    virtual ~CDS_Queue();
    CDS_Queue(const CDS_Queue&) = delete;
    CDS_Queue& operator=(const CDS_Queue&) = delete;

    void Enqueue(const RValue* value);
    RValue* Dequeue();  // null when empty
    RValue* Head();
    RValue* Tail();
    int32_t Size() const { return m_tail - m_head; }
    bool Empty() const { return m_head == m_tail; }
    int32_t HeadIndex() const { return m_head; }
    int32_t TailIndex() const { return m_tail; }
    int32_t Capacity() const { return m_capacity; }
    void Clear();  // the storage block stays for the next enqueue
    void Copy(const CDS_Queue* source);

    char* Write() const;
    bool Read(const char* text, bool legacy);
    void Mark(DSMarkValueFn mark, void* context) const;

private:
    int32_t m_tail = 0;
    int32_t m_head = 0;
    int32_t m_capacity = 0;
    DSSlots m_slots;
};

class CDS_List {
public:
    CDS_List() = default;
    virtual ~CDS_List();
    CDS_List(const CDS_List&) = delete;
    CDS_List& operator=(const CDS_List&) = delete;

    void Add(const RValue* value);
    void Insert(int32_t position, const RValue* value);
    // Lengthens the list when position is at or past the end; out (when given) receives the
    // value the slot held before.
    void Set(int32_t position, const RValue* value, RValue* out);
    void Replace(int32_t position, const RValue* value);
    void Delete(int32_t position);  // a marked value's container is not destroyed
    RValue* GetItem(int32_t position);
    int32_t FindIndex(const RValue* value) const;
    void Sort(bool ascending);
    void Shuffle();
    int32_t Size() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    int32_t Capacity() const { return m_capacity; }
    void Clear();  // destroys marked nested containers; storage kept
    void Copy(const CDS_List* source);

    char* Write() const;
    bool Read(const char* text, bool legacy);
    void Mark(DSMarkValueFn mark, void* context) const;

    bool Busy() const { return m_busy; }

private:
    int32_t m_count = 0;
    int32_t m_capacity = 0;
    DSSlots m_slots;
    bool m_busy = false;  // being cleared: a mark naming this list is skipped
};

class CDS_Priority {
public:
    CDS_Priority() = default;
    virtual ~CDS_Priority();
    CDS_Priority(const CDS_Priority&) = delete;
    CDS_Priority& operator=(const CDS_Priority&) = delete;

    void Add(const RValue* value, const RValue* priority);
    RValue* FindPriority(const RValue* value);
    RValue* FindMin();
    RValue* FindMax();
    void ChangePriority(const RValue* value, const RValue* priority);
    void DeleteValue(const RValue* value);
    // result is overwritten (not released) with the real 0, then receives the removed value.
    void DeleteMin(RValue* result);
    void DeleteMax(RValue* result);
    int32_t Size() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    void Clear();
    void Copy(const CDS_Priority* source);

    char* Write() const;
    bool Read(const char* text, bool legacy);
    void Mark(DSMarkValueFn mark, void* context) const;

private:
    int32_t Select(bool maximum) const;
    void DeleteSelected(RValue* result, bool maximum);

    int32_t m_count = 0;
    int32_t m_valueCapacity = 0;
    DSSlots m_values;
    int32_t m_priorityCapacity = 0;
    DSSlots m_priorities;
};

// An entry: the key, then the value.
struct DSMapEntry {
    RValue key;
    RValue value;
};

struct DSMapNode {
    DSMapNode* prev;
    DSMapNode* next;
    DSMapNode* sameHashNext;  // next node of the same full hash, in chain order
    uint32_t hash;
    DSMapEntry entry;
};

struct DSMapBucket {
    DSMapNode* head;
    DSMapNode* tail;
};

// Keys live in bucket DS_ValueHash(key) & mask, oldest first; iteration visits the buckets in
// order. The bucket count is fixed for the map's life, so large maps also keep an index by
// full hash that takes lookups straight to the right nodes without changing any order.
class CDS_Map {
public:
    static constexpr int32_t kDefaultBuckets = 4096;
    // The most buckets a map may have (2^24: 256 MB of bucket heads).
    static constexpr int32_t kMaxBuckets = 1 << 24;

    // A count below 1 gives one bucket; above kMaxBuckets, kMaxBuckets.
    explicit CDS_Map(int32_t bucketCount = kDefaultBuckets);
    ~CDS_Map();
    CDS_Map(const CDS_Map&) = delete;
    CDS_Map& operator=(const CDS_Map&) = delete;

    DSMapEntry* Find(const RValue* key) const;
    bool Add(const RValue* key, const RValue* value);
    void Set(const RValue* key, const RValue* value, RValue* out);
    bool Replace(const RValue* key, const RValue* value);
    bool AddByName(const char* name, double real, const char* text);
    bool Delete(const RValue* key);  // a marked value's container is not destroyed
    bool Exists(const RValue* key) const { return Find(key) != nullptr; }
    int32_t Size() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    int32_t BucketCount() const { return m_mask + 1; }

    RValue* FindFirst() const;
    RValue* FindLast() const;
    RValue* FindNext(const RValue* key) const;
    RValue* FindPrevious(const RValue* key) const;

    void Clear();  // destroys marked nested containers
    void Copy(const CDS_Map* source);

    char* Write() const;
    bool Read(const char* text, bool legacy);
    void Mark(DSMarkValueFn mark, void* context) const;

    // Iteration order: every node from the first bucket's head.
    DSMapNode* FirstNode() const;
    DSMapNode* NextNode(const DSMapNode* node) const;

    bool Busy() const { return m_busy; }
    // A map a worker thread is filling (an HTTP request's header map) is skipped by the
    // collector's mark pass until the worker has finished with it.
    void SetWorkerOwned(bool owned) { m_workerOwned.store(owned, std::memory_order_release); }
    bool WorkerOwned() const { return m_workerOwned.load(std::memory_order_acquire); }

    // Appends a copy of key and value under the given hash without looking for the key.
    void AppendEntry(const RValue* key, const RValue* value, uint32_t hash);
    // Adds the entry even when its key is there already: the repeat goes right after the
    // entries of that key, so lookups find the first and a walk by key passes all of them.
    void AddRepeatable(const RValue* key, const RValue* value);

private:
    DSMapNode* FindNode(const RValue* key, uint32_t hash) const;
    // Links a new entry after the node (null: at the head of the hash's bucket).
    void LinkEntry(const RValue* key, const RValue* value, uint32_t hash, DSMapNode* after);
    DSMapNode* LastNode() const;
    DSMapNode* PreviousNode(const DSMapNode* node) const;
    // The node a walk by key starts from.
    DSMapNode* FirstEqualNode(const RValue* key) const;
    void Unlink(DSMapNode* node);
    void FreeAllNodes();  // releases keys and values; nested containers are left alone

    // Nodes come from blocks the map owns, handed out in order and reused after a delete,
    // so a map's nodes lie together in the order they were added whatever the heap has
    // been through. The blocks go back when the map is cleared.
    struct NodeBlock {
        NodeBlock* next;
        int32_t capacity;
        int32_t used;
        DSMapNode* Nodes() { return reinterpret_cast<DSMapNode*>(this + 1); }
    };
    DSMapNode* NewNode();
    void RecycleNode(DSMapNode* node);
    void FreeNodeBlocks();

    // The full-hash index: open addressing over (hash, first node of that hash).
    struct IndexSlot {
        uint32_t hash;
        DSMapNode* first;
    };
    void IndexBuild();
    void IndexInsert(DSMapNode* node);
    void IndexGrow();
    IndexSlot* IndexFreeSlot(uint32_t hash) const;
    void IndexRemove(DSMapNode* node);
    IndexSlot* IndexSlotFor(uint32_t hash) const;
    void IndexFree();

    DSMapBucket* m_buckets;
    int32_t m_mask;
    int32_t m_count = 0;
    NodeBlock* m_blocks = nullptr;  // newest first
    DSMapNode* m_spareNodes = nullptr;
    int32_t m_nodeCapacity = 0;  // nodes in all blocks
    IndexSlot* m_index = nullptr;
    uint32_t m_indexMask = 0;
    int32_t m_indexUsed = 0;
    bool m_busy = false;
    std::atomic<bool> m_workerOwned{false};
};

class CDS_Grid {
public:
    CDS_Grid(int32_t width, int32_t height);
    ~CDS_Grid();
    CDS_Grid(const CDS_Grid&) = delete;
    CDS_Grid& operator=(const CDS_Grid&) = delete;

    // True when the size can be held: neither side negative and width x height slots
    // within what the memory manager can address.
    static bool SizeAllowed(int64_t width, int64_t height);

    // Releases every cell and makes a width x height grid of real 0 (no cells when either
    // side is 0). A size that is not allowed leaves an empty 0 x 0 grid.
    void SetSize(int32_t width, int32_t height);
    void FreeCells() { SetSize(0, 0); }
    // Keeps the cells both sizes share; new cells are real 0. False (nothing changed) when
    // the size is not allowed.
    bool Resize(int32_t width, int32_t height);
    void Clear(const RValue* value);
    void Copy(const CDS_Grid* source);

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    bool InBounds(int32_t x, int32_t y) const { return x >= 0 && x < m_width && y >= 0 && y < m_height; }
    // Callers check the bounds first.
    RValue* Cell(int32_t x, int32_t y) const { return &m_cells[x + static_cast<int64_t>(y) * m_width]; }
    void SetCell(int32_t x, int32_t y, const RValue* value) { RValue_Assign(Cell(x, y), value); }

    // Cell operations: 1 set, 2 add, 3 multiply.
    void OperateCell(int32_t gridIndex, int32_t operation, int32_t x, int32_t y, const RValue* value);
    void OperateRegion(int32_t operation, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       const RValue* value);
    void OperateDisk(int32_t operation, double xm, double ym, double r, const RValue* value);
    void OperateGridRegion(int32_t operation, const CDS_Grid* source, int32_t x1, int32_t y1, int32_t x2,
                           int32_t y2, int32_t xpos, int32_t ypos);

    void SumRegion(RValue* result, int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    void MeanRegion(RValue* result, int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    void SumDisk(RValue* result, double xm, double ym, double r) const;
    void MeanDisk(RValue* result, double xm, double ym, double r) const;
    // Maxima and minima name the built-in that asked in their mixed-kinds warning.
    void MaxRegion(RValue* result, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const char* caller) const;
    void MinRegion(RValue* result, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const char* caller) const;
    void MaxDisk(RValue* result, double xm, double ym, double r, const char* caller) const;
    void MinDisk(RValue* result, double xm, double ym, double r, const char* caller) const;

    // What the value searches give: found (1 or 0), or the column or row of the first match.
    enum SearchResult { SEARCH_EXISTS, SEARCH_X, SEARCH_Y };
    void ValueRegion(RValue* result, SearchResult what, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     const RValue* value) const;
    void ValueDisk(RValue* result, SearchResult what, double xm, double ym, double r,
                   const RValue* value) const;

    void Sort(int32_t column, int32_t direction);
    void Shuffle();

    char* Write() const;
    bool Read(const char* text, bool legacy);
    void Mark(DSMarkValueFn mark, void* context) const;

private:
    RValue* m_cells = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
};

// The combining rule of the grid operations (1 set, 2 add, 3 multiply) on one cell.
void DS_CombineValue(int32_t operation, RValue* destination, const RValue* source);

// Whether the maximum and minimum searches count a string met after a number as mixed
// (checked mode, on at start; release mode turns it off).
extern bool g_DSGridCheckedMode;
