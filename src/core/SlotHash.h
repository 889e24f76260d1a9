// Numbered variable slots of objects without a fixed slot array: a small Robin Hood hash of
// slot number to value cell, and the process-wide pool the cells come from. A cell never
// moves once handed out, so callers may keep the RValue pointer for the object's lifetime.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"
#include "core/Value.h"

// --- Value-cell pool --------------------------------------------------------------------

namespace ValueCellPool {

constexpr int32_t kBlockBytes = 1048596;
constexpr int32_t kCellsPerBlock = 65535;

// A cell with kind `kind`, a zero payload and zero flags; a new block is made when the free
// list is empty. Blocks are never freed.
RValue* Take(uint32_t kind);
// Returns a cell whose value the caller has already released.
void Give(RValue* cell);
// Makes a block and puts its cells on the free list.
void AddBlock();

int32_t UsedCount();
int32_t FreeCount();
int32_t BlockCount();

}  // namespace ValueCellPool

// --- Slot hash --------------------------------------------------------------------------

struct SlotCell {
    int32_t slot;
    int32_t hash;  // (slot + 1) & 0x7FFFFFFF; 0 empty; bit 31 set: removed
    RValue* value;
};

class SlotHash : public MemoryManaged {
public:
    static constexpr int32_t kInitialSize = 8;

    SlotHash();
    // Frees the cell array; the values must have been returned with ReleaseValues first.
    ~SlotHash();
    SlotHash(const SlotHash&) = delete;
    SlotHash& operator=(const SlotHash&) = delete;

    // Slot numbers a hash can hold: a negative number or INT32_MAX would hash to the empty
    // or a shared marker.
    static bool Holds(int32_t slot) { return slot >= 0 && slot < INT32_MAX; }

    // Cell index of the slot, or -1.
    int32_t Find(int32_t slot) const;
    // The slot's value, or null when the hash has no cell for it.
    RValue* Lookup(int32_t slot) const {
        int32_t i = Find(slot);
        return i < 0 ? nullptr : m_cells[i].value;
    }
    // Inserts the value cell under the slot (replacing the cell of an existing slot).
    void Insert(int32_t slot, RValue* value);
    void Grow();
    // The value of the next used cell at or after cursor (advanced past it) and its slot
    // number; null once the cursor passes the last cell.
    RValue* Next(int32_t& cursor, int32_t* slot) const;
    // Releases every value and gives every cell back to the pool; the hash is then empty.
    void ReleaseValues();

    int32_t Size() const { return m_size; }
    int32_t Count() const { return m_count; }

private:
    int32_t DistanceAt(int32_t index) const {
        return (index + m_size - (m_cells[index].hash & m_mask)) & m_mask;
    }
    void Place(int32_t slot, RValue* value);
    void MakeCells(int32_t size);

    int32_t m_size;
    int32_t m_count;  // inserts since the last growth
    int32_t m_mask;
    int32_t m_threshold;
    SlotCell* m_cells;
};
