#include "core/SlotHash.h"

#include <cstdlib>
#include <cstring>

// --- Value-cell pool --------------------------------------------------------------------

namespace {

struct CellBlock {
    CellBlock* next;
};

struct CellPool {
    CellBlock* blocks = nullptr;  // newest first
    RValue* freeCells = nullptr;  // a free cell's first word links to the next
    int32_t used = 0;
    int32_t free = 0;
    int32_t blockCount = 0;
};
CellPool g_cells;

RValue*& NextFree(RValue* cell) {
    return *reinterpret_cast<RValue**>(cell);
}

}  // namespace

namespace ValueCellPool {

void AddBlock() {
    // From the process heap: the pool lives as long as the process and its blocks would only
    // crowd the manager's own accounting.
    auto* bytes = static_cast<unsigned char*>(std::malloc(kBlockBytes));
    if (bytes == nullptr) OutOfMemory_Handler(kBlockBytes);
    std::memset(bytes, 0x78, kBlockBytes);
    auto* block = reinterpret_cast<CellBlock*>(bytes);
    block->next = g_cells.blocks;
    g_cells.blocks = block;
    ++g_cells.blockCount;

    uintptr_t first = (reinterpret_cast<uintptr_t>(bytes) + 16 + 15) & ~uintptr_t(15);
    auto* cells = reinterpret_cast<RValue*>(first);
    // Pushed last to first so the free list hands cells out in address order.
    for (int32_t i = kCellsPerBlock - 1; i >= 0; --i) {
        NextFree(&cells[i]) = g_cells.freeCells;
        g_cells.freeCells = &cells[i];
    }
    g_cells.free += kCellsPerBlock;
}

RValue* Take(uint32_t kind) {
    if (g_cells.freeCells == nullptr) AddBlock();
    RValue* cell = g_cells.freeCells;
    g_cells.freeCells = NextFree(cell);
    ++g_cells.used;
    --g_cells.free;
    cell->v64 = 0;
    cell->flags = 0;
    cell->kind = kind;
    return cell;
}

void Give(RValue* cell) {
    NextFree(cell) = g_cells.freeCells;
    g_cells.freeCells = cell;
    --g_cells.used;
    ++g_cells.free;
}

int32_t UsedCount() {
    return g_cells.used;
}
int32_t FreeCount() {
    return g_cells.free;
}
int32_t BlockCount() {
    return g_cells.blockCount;
}

}  // namespace ValueCellPool

// --- Slot hash --------------------------------------------------------------------------

namespace {

constexpr int32_t kRemovedBit = INT32_MIN;

int32_t HashOf(int32_t slot) {
    return static_cast<int32_t>((static_cast<uint32_t>(slot) + 1u) & 0x7FFFFFFFu);
}

bool IsUsed(const SlotCell& cell) {
    return cell.hash != 0 && (cell.hash & kRemovedBit) == 0;
}

}  // namespace

SlotHash::SlotHash() : m_size(0), m_count(0), m_mask(0), m_threshold(0), m_cells(nullptr) {
    MakeCells(kInitialSize);
}

SlotHash::~SlotHash() {
    std::free(m_cells);
}

void SlotHash::MakeCells(int32_t size) {
    m_size = size;
    m_mask = size - 1;
    // The growth point is computed in single precision, as the table has always done.
    m_threshold = static_cast<int32_t>(static_cast<float>(size) * 0.8f);
    m_count = 0;
    m_cells = static_cast<SlotCell*>(std::calloc(static_cast<size_t>(size), sizeof(SlotCell)));
    if (m_cells == nullptr) OutOfMemory_Handler(static_cast<int64_t>(size) * int64_t(sizeof(SlotCell)));
}

int32_t SlotHash::Find(int32_t slot) const {
    int32_t h = HashOf(slot);
    int32_t i = h & m_mask;
    for (int32_t d = 0; m_cells[i].hash != 0; ++d) {
        if (d > DistanceAt(i)) return -1;
        if (m_cells[i].hash == h) return i;
        i = (i + 1) & m_mask;
    }
    return -1;
}

void SlotHash::Insert(int32_t slot, RValue* value) {
    if (m_count > m_threshold) Grow();
    ++m_count;
    Place(slot, value);
}

void SlotHash::Place(int32_t slot, RValue* value) {
    SlotCell entry{slot, HashOf(slot), value};
    int32_t i = entry.hash & m_mask;
    int32_t d = 0;
    while (m_cells[i].hash != 0) {
        SlotCell& cell = m_cells[i];
        int32_t e = DistanceAt(i);
        if (e < d) {
            // Robin Hood: the entry that has travelled further takes the cell.
            SlotCell displaced = cell;
            cell = entry;
            entry = displaced;
            d = e;
        } else if (e == d && cell.hash == entry.hash && cell.slot == entry.slot) {
            cell.value = entry.value;
            return;
        }
        i = (i + 1) & m_mask;
        ++d;
    }
    m_cells[i] = entry;
}

void SlotHash::Grow() {
    SlotCell* old = m_cells;
    int32_t oldSize = m_size;
    MakeCells(oldSize * 2);
    for (int32_t i = 0; i < oldSize; ++i) {
        if (IsUsed(old[i])) Insert(old[i].slot, old[i].value);
    }
    std::free(old);
}

RValue* SlotHash::Next(int32_t& cursor, int32_t* slot) const {
    while (cursor < m_size) {
        const SlotCell& cell = m_cells[cursor++];
        if (IsUsed(cell)) {
            if (slot) *slot = cell.slot;
            return cell.value;
        }
    }
    return nullptr;
}

void SlotHash::ReleaseValues() {
    for (int32_t i = 0; i < m_size; ++i) {
        SlotCell& cell = m_cells[i];
        if (IsUsed(cell)) {
            RValue_Release(cell.value);
            ValueCellPool::Give(cell.value);
        }
        cell = SlotCell{};
    }
    m_count = 0;
}
