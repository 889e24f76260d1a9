// Named and numbered variables an object carries besides its slots: 64 buckets of nodes keyed
// by a variable id, a name or (for the script object runtime) any value.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"
#include "core/Value.h"

class SerialBuffer;

struct CVariableNode {
    CVariableNode* next;  // next node of the same bucket
    CVariableNode* link;  // in a list: the node inserted before; free: the next free node
    RValue key;           // int32 id, string name, or any value
    RValue value;
    int32_t hash;  // name: CRC32_String; id: id & 63; other keys: RValue_Hash

    // A copy of another node's key, value and hash; links cleared.
    void CopyConstruct(const CVariableNode* other);
    // Resets the links of a reused node and assigns key, value and hash from another.
    void AssignValue(const CVariableNode* other);
    // Copies of both values and the key's hash.
    void Init(const RValue* key, const RValue* value);
};

// Nodes come from one free list shared by every list and are never given back to the heap.
CVariableNode* CVariableNode_AllocById(int32_t id);
CVariableNode* CVariableNode_AllocByName(const char* name);
CVariableNode* CVariableNode_Clone(const CVariableNode* node);
// Puts the node on the free list and releases its key and value.
void CVariableNode_Free(CVariableNode* node);
// Nodes waiting on the free list.
int32_t CVariableNode_FreeCount();

class CVariableList : public MemoryManaged {
public:
    static constexpr int32_t kBuckets = 64;

    CVariableList() = default;
    virtual ~CVariableList();
    CVariableList(const CVariableList&) = delete;
    CVariableList& operator=(const CVariableList&) = delete;

    void Insert(CVariableNode* node);
    CVariableNode* FindById(int32_t id) const;
    bool HasId(int32_t id) const { return FindById(id) != nullptr; }
    // A string-keyed node whose text equals name (case-sensitive), or null.
    CVariableNode* FindName(const char* name) const;
    // As FindName, with the name's CRC already known.
    CVariableNode* FindName(const char* name, int32_t hash) const;
    // A node whose key compares equal to key under the comparison epsilon, or null.
    CVariableNode* FindValueKey(const RValue* key) const;
    // A node keyed by a copy of key (hash RValue_Hash), not yet inserted; the caller sets
    // its value.
    CVariableNode* AllocNode(const RValue* key);

    // Reads element index of the id's value. A missing id reads as real 0.0 (true), or as the
    // marker 12345678.9 (false) when the game asks for unset reads to be marked.
    bool GetValue(int32_t id, int32_t index, RValue* dest);
    void SetValue(int32_t id, int32_t index, RValue* source);
    // Unlinks the node (which must belong to this list) and frees it.
    void Remove(CVariableNode* node);
    // Frees every node; buckets, tail and count are left for the caller.
    void ReleaseAll();
    void Clear();
    void CopyFrom(const CVariableList* other);

    // Count, then per node its variable name and value.
    void Save(SerialBuffer* buffer) const;
    // False when the buffer ran short or held a count it cannot hold; what was read stays.
    bool Load(SerialBuffer* buffer);

    int32_t Count() const { return m_count; }
    CVariableNode* Bucket(int32_t i) const { return m_buckets[i]; }

    // Bucket-order walk: each bucket from its head.
    struct Iterator {
        CVariableNode* node = nullptr;
        int32_t bucket = -1;
        const CVariableList* list = nullptr;

        explicit Iterator(const CVariableList* owner) : list(owner) { Next(); }
        CVariableNode* Next();
    };

private:
    CVariableNode* m_buckets[kBuckets] = {};
    CVariableNode* m_tail = nullptr;
    int32_t m_count = 0;
};

// Key comparison of value-keyed lookups. The math built-ins install RValue_Compare under the
// comparison epsilon; until then keys are equal when they are the same value exactly. Null
// restores that default.
using ValueKeyEquals = bool (*)(const RValue* a, const RValue* b);
void CVariableList_SetKeyEquals(ValueKeyEquals equals);

// The double read for an unset variable when unset reads are marked (bits 0x41678C29DCCCCCCD).
constexpr double VARIABLE_UNSET_MARKER = 12345678.9;
