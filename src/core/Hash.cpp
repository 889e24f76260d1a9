#include "core/Hash.h"

namespace {
int32_t PowerOfTwoAtLeast(int32_t count) {
    int32_t size = 1;
    while (size < count && size < (1 << 30)) size <<= 1;
    return size;
}
}  // namespace

CHashBase::CHashBase(int32_t bucketCount) : m_mask(PowerOfTwoAtLeast(bucketCount) - 1), m_count(0) {
    m_buckets = static_cast<CHashBucket*>(MEM_ALLOC(sizeof(CHashBucket) * (static_cast<size_t>(m_mask) + 1)));
}

CHashBase::~CHashBase() {
    ClearAll(HashDispose_None, nullptr);
    MEM_FREE(m_buckets);
}

CHashNode* CHashBase::InsertValue(int32_t key, void* value) {
    auto* node = static_cast<CHashNode*>(MEM_ALLOC(sizeof(CHashNode)));
    node->key = key;
    node->value = value;
    CHashBucket& bucket = m_buckets[key & m_mask];
    node->prev = bucket.tail;
    if (bucket.tail)
        bucket.tail->next = node;
    else
        bucket.head = node;
    bucket.tail = node;
    ++m_count;
    return node;
}

bool CHashBase::DeleteKey(int32_t key, HashDispose mode, Disposer dispose) {
    CHashBucket& bucket = m_buckets[key & m_mask];
    CHashNode* node = bucket.head;
    while (node && node->key != key) node = node->next;
    if (node == nullptr) return false;

    // Unlinked before the value goes, so a destructor that looks in this hash finds a sound list.
    (node->prev ? node->prev->next : bucket.head) = node->next;
    (node->next ? node->next->prev : bucket.tail) = node->prev;
    --m_count;
    void* value = node->value;
    MEM_FREE(node);
    if (mode != HashDispose_None && dispose) dispose(value, mode);
    return true;
}

void CHashBase::ClearAll(HashDispose mode, Disposer dispose) {
    for (int32_t index = m_mask; index >= 0; --index) {
        CHashBucket& bucket = m_buckets[index];
        CHashNode* node = bucket.head;
        bucket.head = bucket.tail = nullptr;
        while (node) {
            CHashNode* next = node->next;
            if (mode != HashDispose_None && dispose) dispose(node->value, mode);
            MEM_FREE(node);
            --m_count;
            node = next;
        }
    }
}

void* CHashBase::IteratorFirstValue(CHashIterator& it) const {
    for (int32_t index = it.bucket; index >= 0 && index <= m_mask; ++index) {
        if (CHashNode* head = m_buckets[index].head) {
            it.bucket = index;
            it.node = head;
            it.next = head->next;
            return head->value;
        }
    }
    it.bucket = -1;
    it.node = it.next = nullptr;
    return nullptr;
}

void* CHashBase::IteratorNextValue(CHashIterator& it) const {
    if (it.bucket < 0) return nullptr;
    if (it.next == nullptr) {
        ++it.bucket;
        return IteratorFirstValue(it);
    }
    it.node = it.next;
    it.next = it.node->next;
    return it.node->value;
}
