// The id maps of a room's layers and elements: Robin Hood open addressing over a power-of-two
// slot array. A hash of 0 marks an empty slot, so only keys 0 .. INT32_MAX - 1 can be held.
#include <utility>

#include "core/MemoryManager.h"
#include "room/Layer_Manager.h"

namespace {

uint32_t HashOf(int32_t key) {
    return (static_cast<uint32_t>(key) + 1u) & 0x7FFFFFFFu;
}

}  // namespace

IdMap::~IdMap() {
    MEM_FREE(m_slots);
}

void IdMap::Init(int32_t capacity) {
    MEM_FREE(m_slots);
    m_slots = static_cast<IdMapSlot*>(MEM_ALLOC(static_cast<size_t>(capacity) * sizeof(IdMapSlot)));
    m_capacity = capacity;
    m_mask = capacity - 1;
    m_threshold = static_cast<int32_t>(static_cast<float>(capacity) * 0.8f);
    m_count = 0;
}

void IdMap::Clear() {
    Init(m_capacity > 0 ? m_capacity : kInitialCapacity);
}

uint32_t IdMap::Displacement(int32_t slot) const {
    return static_cast<uint32_t>(m_capacity + slot - static_cast<int32_t>(m_slots[slot].hash & m_mask)) &
           static_cast<uint32_t>(m_mask);
}

void* IdMap::Find(int32_t key) const {
    if (m_slots == nullptr || !KeyAllowed(key)) return nullptr;
    const uint32_t hash = HashOf(key);
    int32_t slot = static_cast<int32_t>(hash & m_mask);
    for (uint32_t distance = 0; m_slots[slot].hash != 0 && Displacement(slot) >= distance; ++distance) {
        if (m_slots[slot].hash == hash) return m_slots[slot].value;
        slot = (slot + 1) & m_mask;
    }
    return nullptr;
}

bool IdMap::Insert(int32_t key, void* value) {
    if (!KeyAllowed(key)) return false;
    if (m_slots == nullptr) Init();
    if (m_count > m_threshold) Grow();
    IdMapSlot carried{key, value, HashOf(key)};
    int32_t slot = static_cast<int32_t>(carried.hash & m_mask);
    for (uint32_t distance = 0;; ++distance) {
        IdMapSlot& here = m_slots[slot];
        if (here.hash == 0) {
            here = carried;
            break;
        }
        const uint32_t displacement = Displacement(slot);
        if (displacement < distance) {
            std::swap(here, carried);
            distance = displacement;
        } else if (displacement == distance && here.hash == carried.hash && here.key == carried.key) {
            // A replacement is not a new entry: counting it would grow the map for nothing.
            here.value = carried.value;
            return true;
        }
        slot = (slot + 1) & m_mask;
    }
    ++m_count;
    return true;
}

void IdMap::Remove(int32_t key) {
    if (m_slots == nullptr || !KeyAllowed(key)) return;
    const uint32_t hash = HashOf(key);
    int32_t slot = static_cast<int32_t>(hash & m_mask);
    uint32_t distance = 0;
    while (m_slots[slot].hash != hash) {
        if (m_slots[slot].hash == 0 || Displacement(slot) < distance) return;
        slot = (slot + 1) & m_mask;
        ++distance;
    }
    for (int32_t next = (slot + 1) & m_mask; m_slots[next].hash != 0 && Displacement(next) != 0;
         next = (next + 1) & m_mask) {
        m_slots[slot] = m_slots[next];
        slot = next;
    }
    m_slots[slot] = IdMapSlot{0, nullptr, 0};
    --m_count;
}

void IdMap::Grow() {
    IdMapSlot* old = m_slots;
    const int32_t oldCapacity = m_capacity;
    m_slots = nullptr;
    Init(oldCapacity * 2);
    for (int32_t i = 0; i < oldCapacity; ++i)
        if (old[i].hash != 0) Insert(old[i].key, old[i].value);
    MEM_FREE(old);
}
