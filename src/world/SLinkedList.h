// A singly owned, doubly linked list of borrowed items: append at the tail, remove the first
// node holding an item. Objects keep their instance lists in it. Nodes come from the memory
// manager.
#pragma once

#include <cassert>
#include <cstdint>

#include "core/MemoryManager.h"

template <typename T>
struct SLinkedListNode {
    SLinkedListNode* next;
    SLinkedListNode* prev;
    T* item;
};

template <typename T>
class SLinkedList {
public:
    using Node = SLinkedListNode<T>;

    SLinkedList() = default;
    ~SLinkedList() { Clear(); }
    SLinkedList(const SLinkedList&) = delete;
    SLinkedList& operator=(const SLinkedList&) = delete;

    Node* First() const { return m_first; }
    Node* Last() const { return m_last; }
    int32_t Count() const { return m_count; }

    void Add(T* item) {
        Node* node = static_cast<Node*>(MEM_ALLOC_RAW(sizeof(Node)));
        node->next = nullptr;
        node->prev = m_last;
        node->item = item;
        if (m_last)
            m_last->next = node;
        else
            m_first = node;
        m_last = node;
        ++m_count;
    }

    // Unlinks the first node that holds the item; false when none does.
    bool Remove(const T* item) {
        for (Node* node = m_first; node; node = node->next) {
            if (node->item != item) continue;
            if (node->prev)
                node->prev->next = node->next;
            else
                m_first = node->next;
            if (node->next)
                node->next->prev = node->prev;
            else
                m_last = node->prev;
            MEM_FREE(node);
            --m_count;
            assert(m_count >= 0 && (m_count == 0) == (m_first == nullptr));
            return true;
        }
        return false;
    }

    bool Contains(const T* item) const {
        for (const Node* node = m_first; node; node = node->next)
            if (node->item == item) return true;
        return false;
    }

    // Frees the nodes; the items stay with their owners.
    void Clear() {
        for (Node* node = m_first; node;) {
            Node* next = node->next;
            MEM_FREE(node);
            node = next;
        }
        m_first = m_last = nullptr;
        m_count = 0;
    }

private:
    Node* m_first = nullptr;
    Node* m_last = nullptr;
    int32_t m_count = 0;
};
