// Integer-keyed hash of pointers: a power-of-two array of buckets, each a doubly linked list of
// nodes in insertion order. Used for instances by id, objects by index, layers, surfaces, joints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/MemoryManager.h"

struct CHashNode {
    CHashNode* prev;
    CHashNode* next;
    int32_t key;
    void* value;
};

struct CHashBucket {
    CHashNode* head;
    CHashNode* tail;
};

// What removing or clearing does with the stored values.
enum HashDispose : int32_t {
    HashDispose_None = 0,
    HashDispose_Delete = 1,        // delete through the value's virtual destructor
    HashDispose_Free = 2,          // MEM_FREE the value
    HashDispose_DestructFree = 3,  // run the destructor in place, then MEM_FREE
};

// A walk over a hash, bucket by bucket in insertion order. The next node is read before the
// current one is handed out, so the walk survives removal of the current node.
struct CHashIterator {
    int32_t bucket = 0;  // -1 once the walk is past the last bucket
    CHashNode* node = nullptr;
    CHashNode* next = nullptr;
};

// The untyped core; CHash<T> below is what callers use.
class CHashBase {
public:
    CHashBase(const CHashBase&) = delete;
    CHashBase& operator=(const CHashBase&) = delete;

    int32_t Count() const { return m_count; }
    int32_t BucketCount() const { return m_mask + 1; }

protected:
    using Disposer = void (*)(void* value, HashDispose mode);

    // bucketCount is rounded up to a power of two.
    explicit CHashBase(int32_t bucketCount);
    // Frees the nodes and buckets; the values stay with their owners.
    ~CHashBase();

    CHashNode* InsertValue(int32_t key, void* value);
    void* FindValue(int32_t key) const {
        for (const CHashNode* node = m_buckets[key & m_mask].head; node; node = node->next)
            if (node->key == key) return node->value;
        return nullptr;
    }
    bool DeleteKey(int32_t key, HashDispose mode, Disposer dispose);
    void ClearAll(HashDispose mode, Disposer dispose);
    void* IteratorFirstValue(CHashIterator& it) const;
    void* IteratorNextValue(CHashIterator& it) const;

private:
    CHashBucket* m_buckets;
    int32_t m_mask;  // bucket count - 1: a key's bucket is key & mask
    int32_t m_count;
};

template <typename T>
class CHash : public CHashBase {
    static_assert(!std::is_void_v<T>, "a hash must know its value type to dispose of values");
    static_assert(!std::is_polymorphic_v<T> || std::has_virtual_destructor_v<T>,
                  "values deleted through the hash need a virtual destructor");

public:
    explicit CHash(int32_t bucketCount) : CHashBase(bucketCount) {}

    // Appends at the tail of the key's bucket, even when the key is already there: finds keep
    // answering the older value until it is deleted.
    CHashNode* Insert(int32_t key, T* value) { return InsertValue(key, value); }
    // The value of the first node with the key, or null.
    T* Find(int32_t key) const { return static_cast<T*>(FindValue(key)); }
    // Removes the first node with the key; false when there is none.
    bool Delete(int32_t key) { return DeleteKey(key, HashDispose_None, &Dispose); }
    bool DeleteDispose(int32_t key, HashDispose mode) { return DeleteKey(key, mode, &Dispose); }
    void Clear(HashDispose mode) { ClearAll(mode, &Dispose); }

    // Starts (or resumes) a walk at it.bucket; null at the end. A null value also reads as null:
    // it.node tells the two apart.
    T* IteratorFirst(CHashIterator& it) const { return static_cast<T*>(IteratorFirstValue(it)); }
    T* IteratorNext(CHashIterator& it) const { return static_cast<T*>(IteratorNextValue(it)); }

private:
    static void Dispose(void* value, HashDispose mode) {
        T* typed = static_cast<T*>(value);
        if (typed == nullptr) return;
        switch (mode) {
            case HashDispose_Delete:
                delete typed;
                break;
            case HashDispose_Free:
                MEM_FREE(typed);
                break;
            case HashDispose_DestructFree:
                typed->~T();
                MEM_FREE(typed);
                break;
            default:
                break;
        }
    }
};
