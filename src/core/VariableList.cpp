#include "core/VariableList.h"

#include <cstring>

#include "core/Code_Variable.h"
#include "core/Console.h"
#include "core/Value_Convert.h"
#include "core/Variable.h"
#include "core/CRC32.h"
#include "core/SerialBuffer.h"

namespace {

// Until the math built-ins install the comparison under their epsilon, keys are equal when
// they are the same value exactly.
bool ExactKeyEquals(const RValue* a, const RValue* b) {
    uint32_t kind = RValue_Kind(a);
    if (kind != RValue_Kind(b)) return false;
    switch (kind) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return a->val == b->val;
        case VALUE_STRING: {
            const char* x = RValue_GetStringText(a);
            const char* y = RValue_GetStringText(b);
            return x == y || (x != nullptr && y != nullptr && std::strcmp(x, y) == 0);
        }
        case VALUE_UNDEFINED:
        case VALUE_NULL:
            return true;
        case VALUE_INT32:
            return a->v32 == b->v32;
        default:
            return a->v64 == b->v64;
    }
}
ValueKeyEquals g_keyEquals = ExactKeyEquals;

CVariableNode* g_freeNodes = nullptr;
int32_t g_freeCount = 0;

// From the free list, or a new zeroed node. Key and value are undefined.
CVariableNode* TakeNode() {
    CVariableNode* node = g_freeNodes;
    if (node != nullptr) {
        g_freeNodes = node->link;
        --g_freeCount;
    } else {
        node = static_cast<CVariableNode*>(MEM_ALLOC(sizeof(CVariableNode)));
    }
    node->next = nullptr;
    node->link = nullptr;
    node->key = RValue_Undefined();
    node->value = RValue_Undefined();
    node->hash = 0;
    return node;
}

bool IsStringKey(const RValue& key) {
    return key.kind == VALUE_STRING && key.str != nullptr;
}

// The smallest entry of a saved list: an empty name and a kind word.
constexpr int64_t kMinSavedEntryBytes = 5;

bool ReadInt32(SerialBuffer* buffer, int32_t* out) {
    if (buffer->BytesLeft() < 4) return false;
    RValue value = RValue_Undefined();
    if (buffer->GetNumber(eBuffer_S32, &value) != 0) return false;
    *out = static_cast<int32_t>(value.val);
    return true;
}

// The id a saved name stands for now: the dynamic list first; for games whose names come
// from the link tables, the instance table, which is where Save took the name from.
int32_t IdOfSavedName(const char* name) {
    int32_t id = Code_Variable_FindName(name);
    if (id < 0 && g_VariableSettings.newFormat) {
        int32_t index = Code_Variable_FindInstanceName(name);
        if (index >= 0) id = VARIABLE_ID_BASE + index;
    }
    return id;
}

}  // namespace

void CVariableList_SetKeyEquals(ValueKeyEquals equals) {
    g_keyEquals = equals ? equals : ExactKeyEquals;
}

// --- Nodes ------------------------------------------------------------------------------

void CVariableNode::Init(const RValue* newKey, const RValue* newValue) {
    RValue_Assign(&key, newKey);
    RValue_Assign(&value, newValue);
    hash = static_cast<int32_t>(RValue_Hash(&key));
}

void CVariableNode::CopyConstruct(const CVariableNode* other) {
    next = nullptr;
    link = nullptr;
    key = RValue_Undefined();
    value = RValue_Undefined();
    RValue_Assign(&key, &other->key);
    RValue_Assign(&value, &other->value);
    hash = other->hash;
}

void CVariableNode::AssignValue(const CVariableNode* other) {
    next = nullptr;
    link = nullptr;
    RValue_Assign(&key, &other->key);
    RValue_Assign(&value, &other->value);
    hash = other->hash;
}

CVariableNode* CVariableNode_AllocById(int32_t id) {
    CVariableNode* node = TakeNode();
    node->key = RValue_Int32(id);
    node->value = RValue_Real(0.0);
    node->hash = id & (CVariableList::kBuckets - 1);
    return node;
}

CVariableNode* CVariableNode_AllocByName(const char* name) {
    CVariableNode* node = TakeNode();
    RValue_CreateString(&node->key, name);
    node->value = RValue_Real(0.0);
    node->hash = static_cast<int32_t>(CRC32_String(name));
    return node;
}

CVariableNode* CVariableNode_Clone(const CVariableNode* source) {
    CVariableNode* node = TakeNode();
    node->AssignValue(source);
    return node;
}

void CVariableNode_Free(CVariableNode* node) {
    node->next = nullptr;
    node->link = g_freeNodes;
    g_freeNodes = node;
    ++g_freeCount;
    RValue_Release(&node->key);
    RValue_Release(&node->value);
}

int32_t CVariableNode_FreeCount() {
    return g_freeCount;
}

// --- Lists ------------------------------------------------------------------------------

CVariableList::~CVariableList() {
    Clear();
}

void CVariableList::Insert(CVariableNode* node) {
    CVariableNode*& head = m_buckets[node->hash & (kBuckets - 1)];
    node->next = head;
    head = node;
    node->link = m_tail;
    m_tail = node;
    ++m_count;
}

CVariableNode* CVariableList::FindById(int32_t id) const {
    for (CVariableNode* node = m_buckets[id & (kBuckets - 1)]; node; node = node->next) {
        if (node->key.v32 == id) return node;
    }
    return nullptr;
}

CVariableNode* CVariableList::FindName(const char* name) const {
    return FindName(name, static_cast<int32_t>(CRC32_String(name)));
}

CVariableNode* CVariableList::FindName(const char* name, int32_t hash) const {
    for (CVariableNode* node = m_buckets[hash & (kBuckets - 1)]; node; node = node->next) {
        if (node->hash == hash && IsStringKey(node->key) && node->key.str->text != nullptr &&
            name != nullptr && std::strcmp(node->key.str->text, name) == 0) {
            return node;
        }
    }
    return nullptr;
}

CVariableNode* CVariableList::FindValueKey(const RValue* key) const {
    int32_t hash = static_cast<int32_t>(RValue_Hash(key));
    for (CVariableNode* node = m_buckets[hash & (kBuckets - 1)]; node; node = node->next) {
        if (node->hash == hash && g_keyEquals(&node->key, key)) return node;
    }
    return nullptr;
}

CVariableNode* CVariableList::AllocNode(const RValue* key) {
    CVariableNode* node = TakeNode();
    RValue_Assign(&node->key, key);
    node->hash = static_cast<int32_t>(RValue_Hash(&node->key));
    return node;
}

bool CVariableList::GetValue(int32_t id, int32_t index, RValue* dest) {
    ArrayIndexError.raised = 0;
    Variable_NotFound = false;
    if (CVariableNode* node = FindById(id)) return RValue_GetIndexed(dest, &node->value, index);
    RValue_Release(dest);
    if (g_VariableSettings.markUnsetReads) {
        *dest = RValue_Real(VARIABLE_UNSET_MARKER);
        return false;
    }
    *dest = RValue_Real(0.0);
    return true;
}

void CVariableList::SetValue(int32_t id, int32_t index, RValue* source) {
    ArrayIndexError.raised = 0;
    CVariableNode* node = FindById(id);
    if (node == nullptr) {
        node = CVariableNode_AllocById(id);
        Insert(node);
    }
    RValue_SetIndexed(&node->value, source, index);
}

void CVariableList::Remove(CVariableNode* node) {
    CVariableNode** from = &m_buckets[node->hash & (kBuckets - 1)];
    while (*from != nullptr && *from != node) from = &(*from)->next;
    if (*from == nullptr) return;  // not one of ours
    *from = node->next;
    // Keep the insertion chain whole: whoever was inserted after the node now follows
    // the node's own predecessor.
    if (m_tail == node) {
        m_tail = node->link;
    } else {
        for (CVariableNode* later = m_tail; later; later = later->link) {
            if (later->link == node) {
                later->link = node->link;
                break;
            }
        }
    }
    --m_count;
    CVariableNode_Free(node);
}

void CVariableList::ReleaseAll() {
    for (CVariableNode* head : m_buckets) {
        while (head != nullptr) {
            CVariableNode* next = head->next;
            CVariableNode_Free(head);
            head = next;
        }
    }
}

void CVariableList::Clear() {
    ReleaseAll();
    std::memset(m_buckets, 0, sizeof m_buckets);
    m_tail = nullptr;
    m_count = 0;
}

void CVariableList::CopyFrom(const CVariableList* other) {
    if (other == this) return;
    Clear();
    if (other == nullptr) return;
    for (CVariableNode* head : other->m_buckets) {
        for (CVariableNode* node = head; node; node = node->next) Insert(CVariableNode_Clone(node));
    }
}

CVariableNode* CVariableList::Iterator::Next() {
    if (node != nullptr && node->next != nullptr) return node = node->next;
    node = nullptr;
    while (++bucket < kBuckets) {
        if (CVariableNode* head = list->m_buckets[bucket]) return node = head;
    }
    bucket = kBuckets;
    return nullptr;
}

// --- Saved games ------------------------------------------------------------------------

void CVariableList::Save(SerialBuffer* buffer) const {
    RValue count = RValue_Int32(m_count);
    buffer->PutNumber(eBuffer_S32, &count);
    for (CVariableNode* head : m_buckets) {
        for (CVariableNode* node = head; node; node = node->next) {
            // Name-keyed properties are saved under their own name.
            const char* name = IsStringKey(node->key)
                                   ? node->key.str->text
                                   : Code_Variable_GetName(nullptr, SCOPE_SELF, node->key.v32);
            buffer->PutText(name);
            RValue_Serialise(&node->value, buffer);
        }
    }
}

bool CVariableList::Load(SerialBuffer* buffer) {
    Clear();
    int32_t count;
    if (!ReadInt32(buffer, &count)) return false;
    if (count <= 0) return true;
    if (count > buffer->BytesLeft() / kMinSavedEntryBytes) return false;
    for (int32_t i = 0; i < count; ++i) {
        if (buffer->BytesLeft() < 1) return false;
        char* name = buffer->GetText();
        if (name == nullptr) return false;
        int32_t id = IdOfSavedName(name);
        bool read;
        if (id < 0) {
            DebugConsole.Output("WARNING: Load game failed to find variable \"%s\"\n", name);
            // Read and dropped so that what follows is read in step.
            RValue scratch = RValue_Undefined();
            read = RValue_Deserialise(&scratch, buffer);
            RValue_Release(&scratch);
        } else {
            CVariableNode* node = CVariableNode_AllocById(id);
            node->hash = id;
            read = RValue_Deserialise(&node->value, buffer);
            Insert(node);
        }
        MEM_FREE(name);
        if (!read) return false;
    }
    return true;
}
