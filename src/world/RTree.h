// An R-tree of integer rectangles with a quadratic split, reinsertion of underfull nodes on
// removal, and searches by rectangle and by line segment. Nodes come from 1024-node blocks
// with a free list, so inserts and removals allocate only when a block runs out.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"

template <typename DATA, typename ELEM, typename REAL, int MAXNODES, int MINNODES>
class RTree {
    static_assert(MINNODES > 0 && MAXNODES > MINNODES);

public:
    struct Rect {
        ELEM min[2];
        ELEM max[2];
    };
    struct Node;
    struct Branch {
        Rect rect;
        Node* child;
        DATA data;
    };
    struct Node {
        int32_t count;
        int32_t level;  // 0 = leaf
        Branch branch[MAXNODES];
    };
    // Answers false to stop the search.
    using Callback = bool (*)(DATA data, void* context);

    static constexpr int32_t kBlockNodes = 1024;

    RTree() { m_root = NewNode(0); }
    virtual ~RTree() {
        while (m_blocks != nullptr) {
            Block* next = m_blocks->next;
            MEM_FREE(m_blocks);
            m_blocks = next;
        }
    }
    RTree(const RTree&) = delete;
    RTree& operator=(const RTree&) = delete;

    const Node* Root() const { return m_root; }

    void Insert(const ELEM min[2], const ELEM max[2], DATA data) {
        Branch b{MakeRect(min, max), nullptr, data};
        InsertAtLevel(b, 0);
    }

    // False when the entry was found and removed. With retry, an entry not found under the
    // given rectangle is looked for again under the root's whole cover.
    bool Remove(const ELEM min[2], const ELEM max[2], DATA data, bool retry) {
        if (!RemoveEntry(MakeRect(min, max), data)) return false;
        if (!retry || m_root->count == 0) return true;
        return RemoveEntry(CoverOfNode(m_root), data);
    }

    int32_t Search(const ELEM min[2], const ELEM max[2], Callback callback, void* context) const {
        const Rect r = MakeRect(min, max);
        int32_t found = 0;
        SearchRec(m_root, r, callback, context, found);
        return found;
    }

    int32_t SearchSegment(ELEM x1, ELEM y1, ELEM x2, ELEM y2, Callback callback, void* context) const {
        Segment s;
        if (x2 < x1) {
            s.x0 = x2;
            s.y0 = y2;
            s.dy = static_cast<double>(y1) - y2;
        } else {
            s.x0 = x1;
            s.y0 = y1;
            s.dy = static_cast<double>(y2) - y1;
        }
        s.dx = x2 < x1 ? static_cast<double>(x1) - x2 : static_cast<double>(x2) - x1;
        int32_t found = 0;
        SearchSegmentRec(m_root, s, callback, context, found);
        return found;
    }

    // Inclusive overlap, as searches and removals test it.
    static bool Overlap(const Rect& a, const Rect& b) {
        return a.max[0] >= b.min[0] && b.max[0] >= a.min[0] && a.max[1] >= b.min[1] && b.max[1] >= a.min[1];
    }

    // A segment held as its left end, its width and its signed height.
    struct Segment {
        double x0, y0, dx, dy;
    };
    // Whether the segment meets the rectangle, counting the box's far edges one pixel wide.
    static bool SegmentMeets(const Rect& r, const Segment& s) {
        const double minX = r.min[0], minY = r.min[1], maxX = r.max[0], maxY = r.max[1];
        const double endX = s.x0 + s.dx, endY = s.y0 + s.dy;
        if (s.x0 >= maxX + 1 || endX < minX || maxY + 1 <= (s.y0 < endY ? s.y0 : endY)) return false;
        const double ya = s.x0 < minX ? s.y0 + (minX - s.x0) * s.dy / s.dx : s.y0;
        const double yb =
            endX > maxX ? endY + (maxX - endX) * (endY - ya) / (endX - (s.x0 > minX ? s.x0 : minX)) : endY;
        return minY <= (s.y0 > endY ? s.y0 : endY) && (minY <= ya || minY <= yb) &&
               (ya < maxY + 1 || yb < maxY + 1);
    }

    static Rect CoverOfNode(const Node* node) {
        Rect r = node->branch[0].rect;
        for (int32_t i = 1; i < node->count; ++i) r = Combine(r, node->branch[i].rect);
        return r;
    }

private:
    struct Block {
        Block* next;
        Node nodes[kBlockNodes];
    };
    // A freed node's first word links the free list.
    struct FreeNode {
        FreeNode* next;
    };
    static_assert(sizeof(Node) >= sizeof(FreeNode));

    static Rect MakeRect(const ELEM min[2], const ELEM max[2]) {
        Rect r;
        for (int i = 0; i < 2; ++i) {
            r.min[i] = min[i];
            r.max[i] = max[i];
        }
        return r;
    }

    static Rect Combine(const Rect& a, const Rect& b) {
        Rect r;
        for (int i = 0; i < 2; ++i) {
            r.min[i] = a.min[i] < b.min[i] ? a.min[i] : b.min[i];
            r.max[i] = a.max[i] > b.max[i] ? a.max[i] : b.max[i];
        }
        return r;
    }

    static REAL Area(const Rect& r) {
        return static_cast<REAL>(r.max[0] - r.min[0]) * static_cast<REAL>(r.max[1] - r.min[1]);
    }

    Node* NewNode(int32_t level) {
        Node* node;
        if (m_free != nullptr) {
            node = reinterpret_cast<Node*>(m_free);
            m_free = m_free->next;
        } else {
            if (m_blocks == nullptr || m_blockUsed == kBlockNodes) {
                auto* block = static_cast<Block*>(MEM_ALLOC_RAW(sizeof(Block)));
                block->next = m_blocks;
                m_blocks = block;
                m_blockUsed = 0;
            }
            node = &m_blocks->nodes[m_blockUsed++];
        }
        node->count = 0;
        node->level = level;
        return node;
    }

    void FreeNode(Node* node) {
        auto* f = reinterpret_cast<struct FreeNode*>(node);
        f->next = m_free;
        m_free = f;
    }

    // --- insertion ---

    void InsertAtLevel(const Branch& branch, int32_t level) {
        Node* sibling = nullptr;
        if (!InsertRec(branch, m_root, &sibling, level)) return;
        Node* root = NewNode(m_root->level + 1);
        root->branch[0] = Branch{CoverOfNode(m_root), m_root, DATA()};
        root->branch[1] = Branch{CoverOfNode(sibling), sibling, DATA()};
        root->count = 2;
        m_root = root;
    }

    // True when the node split, the new half in *sibling.
    bool InsertRec(const Branch& branch, Node* node, Node** sibling, int32_t level) {
        if (node->level > level) {
            const int32_t i = ChooseSubtree(branch.rect, node);
            Node* other = nullptr;
            if (!InsertRec(branch, node->branch[i].child, &other, level)) {
                node->branch[i].rect = Combine(branch.rect, node->branch[i].rect);
                return false;
            }
            node->branch[i].rect = CoverOfNode(node->branch[i].child);
            return AppendBranch(Branch{CoverOfNode(other), other, DATA()}, node, sibling);
        }
        return AppendBranch(branch, node, sibling);
    }

    bool AppendBranch(const Branch& branch, Node* node, Node** sibling) {
        if (node->count < MAXNODES) {
            node->branch[node->count++] = branch;
            return false;
        }
        SplitNode(node, branch, sibling);
        return true;
    }

    static int32_t ChooseSubtree(const Rect& r, const Node* node) {
        int32_t best = 0;
        REAL bestIncrease = 0, bestArea = 0;
        for (int32_t i = 0; i < node->count; ++i) {
            const REAL area = Area(node->branch[i].rect);
            const REAL increase = Area(Combine(r, node->branch[i].rect)) - area;
            if (i == 0 || increase < bestIncrease || (increase == bestIncrease && area < bestArea)) {
                best = i;
                bestIncrease = increase;
                bestArea = area;
            }
        }
        return best;
    }

    // --- the quadratic split ---

    static constexpr int32_t kTotal = MAXNODES + 1;

    struct Partition {
        Branch branches[kTotal];
        int32_t group[kTotal];
        REAL area[kTotal];
        Rect cover[2];
        REAL coverArea[2];
        int32_t count[2];
        Rect all;
    };

    void SplitNode(Node* node, const Branch& extra, Node** sibling) {
        Partition p;
        for (int32_t i = 0; i < MAXNODES; ++i) p.branches[i] = node->branch[i];
        p.branches[MAXNODES] = extra;
        p.all = p.branches[0].rect;
        for (int32_t i = 1; i < kTotal; ++i) p.all = Combine(p.all, p.branches[i].rect);
        QuadraticPartition(p);
        const int32_t level = node->level;
        node->count = 0;
        Node* other = NewNode(level);
        for (int32_t i = 0; i < kTotal; ++i) {
            Node* into = p.group[i] == 0 ? node : other;
            into->branch[into->count++] = p.branches[i];
        }
        *sibling = other;
    }

    static void Assign(Partition& p, int32_t i, int32_t g) {
        p.group[i] = g;
        p.cover[g] = p.count[g] == 0 ? p.branches[i].rect : Combine(p.branches[i].rect, p.cover[g]);
        p.coverArea[g] = Area(p.cover[g]);
        ++p.count[g];
    }

    static void PickSeeds(Partition& p) {
        for (int32_t i = 0; i < kTotal; ++i) p.area[i] = Area(p.branches[i].rect);
        REAL worst = -Area(p.all) - 1;
        int32_t seed0 = 0, seed1 = 1;
        for (int32_t i = 0; i < kTotal - 1; ++i) {
            for (int32_t j = i + 1; j < kTotal; ++j) {
                const REAL waste =
                    Area(Combine(p.branches[i].rect, p.branches[j].rect)) - p.area[i] - p.area[j];
                if (waste > worst) {
                    worst = waste;
                    seed0 = i;
                    seed1 = j;
                }
            }
        }
        Assign(p, seed0, 0);
        Assign(p, seed1, 1);
    }

    static void QuadraticPartition(Partition& p) {
        for (int32_t i = 0; i < kTotal; ++i) p.group[i] = -1;
        p.count[0] = p.count[1] = 0;
        PickSeeds(p);
        constexpr int32_t kMost = kTotal - MINNODES;
        while (p.count[0] + p.count[1] < kTotal && p.count[0] < kMost && p.count[1] < kMost) {
            REAL biggest = -1;
            int32_t chosen = -1, chosenGroup = 0;
            for (int32_t i = 0; i < kTotal; ++i) {
                if (p.group[i] != -1) continue;
                const Rect& r = p.branches[i].rect;
                const REAL grow0 = Area(Combine(r, p.cover[0])) - p.coverArea[0];
                const REAL grow1 = Area(Combine(r, p.cover[1])) - p.coverArea[1];
                REAL diff = grow1 - grow0;
                int32_t g = 0;
                if (diff < 0) {
                    diff = -diff;
                    g = 1;
                }
                if (diff > biggest) {
                    biggest = diff;
                    chosen = i;
                    chosenGroup = g;
                } else if (diff == biggest && p.count[g] < p.count[chosenGroup]) {
                    chosen = i;
                    chosenGroup = g;
                }
            }
            Assign(p, chosen, chosenGroup);
        }
        if (p.count[0] + p.count[1] < kTotal) {
            const int32_t g = p.count[0] >= kMost ? 1 : 0;
            for (int32_t i = 0; i < kTotal; ++i)
                if (p.group[i] == -1) Assign(p, i, g);
        }
    }

    // --- removal ---

    struct ReinsertNode {
        Node* node;
        ReinsertNode* next;
    };

    // True when not found.
    bool RemoveEntry(const Rect& r, DATA data) {
        ReinsertNode* reinsert = nullptr;
        if (RemoveRec(r, data, m_root, &reinsert)) return true;
        while (reinsert != nullptr) {
            Node* node = reinsert->node;
            for (int32_t i = 0; i < node->count; ++i) InsertAtLevel(node->branch[i], node->level);
            ReinsertNode* next = reinsert->next;
            FreeNode(node);
            MEM_FREE(reinsert);
            reinsert = next;
        }
        if (m_root->count == 1 && m_root->level > 0) {
            Node* child = m_root->branch[0].child;
            FreeNode(m_root);
            m_root = child;
        }
        return false;
    }

    static void Disconnect(Node* node, int32_t i) {
        node->branch[i] = node->branch[node->count - 1];
        --node->count;
    }

    bool RemoveRec(const Rect& r, DATA data, Node* node, ReinsertNode** reinsert) {
        if (node->level > 0) {
            for (int32_t i = 0; i < node->count; ++i) {
                if (!Overlap(r, node->branch[i].rect)) continue;
                Node* child = node->branch[i].child;
                if (RemoveRec(r, data, child, reinsert)) continue;
                if (child->count >= MINNODES) {
                    node->branch[i].rect = CoverOfNode(child);
                } else {
                    auto* entry = static_cast<ReinsertNode*>(MEM_ALLOC_RAW(sizeof(ReinsertNode)));
                    *entry = ReinsertNode{child, *reinsert};
                    *reinsert = entry;
                    Disconnect(node, i);
                }
                return false;
            }
            return true;
        }
        for (int32_t i = 0; i < node->count; ++i) {
            if (node->branch[i].data != data) continue;
            Disconnect(node, i);
            return false;
        }
        return true;
    }

    // --- searches ---

    static bool SearchRec(const Node* node, const Rect& r, Callback callback, void* context, int32_t& found) {
        for (int32_t i = 0; i < node->count; ++i) {
            const Branch& b = node->branch[i];
            if (!Overlap(r, b.rect)) continue;
            if (node->level > 0) {
                if (!SearchRec(b.child, r, callback, context, found)) return false;
            } else {
                ++found;
                if (callback != nullptr && !callback(b.data, context)) return false;
            }
        }
        return true;
    }

    static bool SearchSegmentRec(const Node* node, const Segment& s, Callback callback, void* context,
                                 int32_t& found) {
        for (int32_t i = 0; i < node->count; ++i) {
            const Branch& b = node->branch[i];
            if (!SegmentMeets(b.rect, s)) continue;
            if (node->level > 0) {
                if (!SearchSegmentRec(b.child, s, callback, context, found)) return false;
            } else {
                ++found;
                if (callback != nullptr && !callback(b.data, context)) return false;
            }
        }
        return true;
    }

    Node* m_root = nullptr;
    Block* m_blocks = nullptr;
    int32_t m_blockUsed = 0;
    struct FreeNode* m_free = nullptr;
};
