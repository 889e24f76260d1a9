// The sprite name index: open addressing with robin-hood probing. A bucket whose hash is 0 is
// empty, so keys are the 31-bit MurmurHash3 of the name with bit 0 of a zero hash set.
#include <bit>
#include <cstring>
#include <utility>

#include "assets/Sprite_Main.h"
#include "core/MemoryManager.h"

namespace {

struct Bucket {
    const char* name;
    int32_t index;
    uint32_t hash;  // 0: empty
};

constexpr uint32_t kStartCapacity = 128;

struct NameIndex {
    Bucket* buckets = nullptr;
    uint32_t capacity = kStartCapacity;
    uint32_t mask = kStartCapacity - 1;
    uint32_t count = 0;
    uint32_t threshold = static_cast<uint32_t>(kStartCapacity * 0.8);
};
NameIndex g_index;

uint32_t KeyOf(const char* name) {
    const uint32_t hash = Hash_String(name) & 0x7FFFFFFFu;
    return hash ? hash : 1;
}

void Allocate(uint32_t capacity) {
    g_index.buckets = static_cast<Bucket*>(MEM_ALLOC(capacity * sizeof(Bucket)));
    g_index.capacity = capacity;
    g_index.mask = capacity - 1;
    g_index.threshold = static_cast<uint32_t>(capacity * 0.8);
}

void EnsureBuckets() {
    if (!g_index.buckets) Allocate(g_index.capacity);
}

uint32_t ProbeDistance(uint32_t bucket, uint32_t hash) {
    return (bucket + g_index.capacity - (hash & g_index.mask)) & g_index.mask;
}

// Places an entry that is known to be absent.
void Place(Bucket carried) {
    uint32_t b = carried.hash & g_index.mask;
    for (uint32_t d = 0;; ++d, b = (b + 1) & g_index.mask) {
        Bucket& resident = g_index.buckets[b];
        if (resident.hash == 0) {
            resident = carried;
            return;
        }
        const uint32_t e = ProbeDistance(b, resident.hash);
        if (e < d) {
            std::swap(carried, resident);
            d = e;
        }
    }
}

void Grow() {
    Bucket* old = g_index.buckets;
    const uint32_t oldCapacity = g_index.capacity;
    Allocate(oldCapacity * 2);
    for (uint32_t i = 0; i < oldCapacity; ++i)
        if (old[i].hash) Place(old[i]);
    MEM_FREE(old);
}

// The bucket holding the name, or -1.
int64_t Locate(const char* name) {
    if (!g_index.buckets || !name) return -1;
    const uint32_t hash = KeyOf(name);
    uint32_t b = hash & g_index.mask;
    for (uint32_t d = 0; d <= g_index.capacity; ++d, b = (b + 1) & g_index.mask) {
        const Bucket& resident = g_index.buckets[b];
        if (resident.hash == 0 || ProbeDistance(b, resident.hash) < d) return -1;
        // Equal hashes are not enough: two names may share one.
        if (resident.hash == hash && std::strcmp(resident.name, name) == 0) return b;
    }
    return -1;
}

}  // namespace

namespace SpriteNameHash {

void Insert(const char* name, int32_t index) {
    if (!name) return;
    EnsureBuckets();
    const int64_t found = Locate(name);
    if (found >= 0) {
        // A name already present takes the new index; the count is of names, not of inserts.
        g_index.buckets[found].index = index;
        g_index.buckets[found].name = name;
        return;
    }
    if (g_index.count >= g_index.threshold) Grow();
    Place(Bucket{name, index, KeyOf(name)});
    ++g_index.count;
}

int32_t Find(const char* name) {
    const int64_t found = Locate(name);
    return found >= 0 ? g_index.buckets[found].index : -1;
}

bool Remove(const char* name) {
    const int64_t found = Locate(name);
    if (found < 0) return false;
    auto b = static_cast<uint32_t>(found);
    for (;;) {
        const uint32_t next = (b + 1) & g_index.mask;
        const Bucket& following = g_index.buckets[next];
        if (following.hash == 0 || ProbeDistance(next, following.hash) == 0) break;
        g_index.buckets[b] = following;
        b = next;
    }
    g_index.buckets[b] = Bucket{nullptr, 0, 0};
    --g_index.count;
    return true;
}

void Clear() {
    MEM_FREE(g_index.buckets);
    g_index.buckets = nullptr;
    g_index.count = 0;
    // Buckets of the current capacity come with the next insert.
}

int32_t Count() {
    return static_cast<int32_t>(g_index.count);
}

int32_t Capacity() {
    return static_cast<int32_t>(g_index.capacity);
}

}  // namespace SpriteNameHash
