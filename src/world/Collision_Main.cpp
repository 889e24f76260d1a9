// Collision tests of instance masks against points, rectangles, ellipses, segments and other
// instances; the solid rule and the collision events; the collision stage in both regimes;
// and the upkeep of the collision tree with its moved and dirty lists.
#include "world/Collision_Main.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/CRuntimeCompat.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/MemoryManager.h"
#include "world/Event_Main.h"
#include "world/Event_Inputs.h"
#include "base/GameOptions.h"
#include "world/Object_Class.h"
#include "world/Room_Class.h"
#include "world/Run.h"
#include "world/World_Services.h"

namespace {

// An intrusive list of instances through one of their link members; newest at the head.
class LinkedInstances {
public:
    explicit LinkedInstances(InstanceLink CInstance::*member) : m_member(member) { m_head.Reset(); }

    bool Empty() const { return m_head.next == &m_head; }

    void PushFront(CInstance* instance) {
        InstanceLink& link = instance->*m_member;
        Unlink(instance);
        m_offset = reinterpret_cast<char*>(&link) - reinterpret_cast<char*>(instance);
        link.next = m_head.next;
        link.prev = &m_head;
        m_head.next->prev = &link;
        m_head.next = &link;
        link.list = this;
    }

    void Unlink(CInstance* instance) {
        InstanceLink& link = instance->*m_member;
        if (link.list != this) return;
        link.prev->next = link.next;
        link.next->prev = link.prev;
        link.Reset();
    }

    CInstance* First() const {
        if (Empty()) return nullptr;
        return reinterpret_cast<CInstance*>(reinterpret_cast<char*>(m_head.next) - m_offset);
    }

    // Forgets every member without touching them (the instances are gone).
    void Forget() { m_head.Reset(); }

private:
    InstanceLink CInstance::*m_member;
    InstanceLink m_head;
    ptrdiff_t m_offset = 0;
};

LinkedInstances g_moved(&CInstance::movedLink);
LinkedInstances g_dirty(&CInstance::dirtyLink);
LinkedInstances g_setAside(&CInstance::spareLink);

CollisionTree* g_tree = nullptr;
int32_t g_passCount = 0;

struct CollisionPair {
    CInstance* searcher;
    CInstance* found;
};
CollisionPair* g_pairs = nullptr;
int32_t g_pairCount = 0;
int32_t g_pairCapacity = 0;

void CollisionPairs_Add(CInstance* a, CInstance* b) {
    if (g_pairCount == g_pairCapacity) {
        g_pairCapacity = g_pairCapacity == 0 ? 32 : g_pairCapacity * 2;
        g_pairs = static_cast<CollisionPair*>(MEM_REALLOC(g_pairs, g_pairCapacity * sizeof(CollisionPair)));
    }
    g_pairs[g_pairCount++] = CollisionPair{a, b};
}

void BoxRect(const CInstance* i, int min[2], int max[2]) {
    min[0] = std::min(i->bbox_left, i->bbox_right);
    min[1] = std::min(i->bbox_top, i->bbox_bottom);
    max[0] = std::max(i->bbox_left, i->bbox_right);
    max[1] = std::max(i->bbox_top, i->bbox_bottom);
}

bool CollisionsFlag(const CInstance* instance) {
    return instance->object != nullptr && (instance->object->flags & OBJECT_COLLISIONS) != 0;
}

int32_t Nearest(double v) {
    return CRT_TruncToInt32(std::nearbyint(v));
}

bool MaskOf(const CInstance* instance, SpriteCollisionShape* out) {
    return World().spriteMask != nullptr && World().spriteMask(instance->MaskSprite(), out) &&
           out->frames > 0;
}

MaskPose PoseOf(const CInstance* i, int32_t x, int32_t y) {
    return MaskPose{i->MaskSprite(),
                    CRT_TruncToInt32(i->image_index),
                    {i->bbox_left, i->bbox_top, i->bbox_right, i->bbox_bottom},
                    x,
                    y,
                    i->image_xscale,
                    i->image_yscale,
                    i->image_angle};
}

MaskPose RoundedPose(const CInstance* i) {
    return PoseOf(i, Nearest(i->x), Nearest(i->y));
}

// A skeleton's box stands in for the mask box when it gives one; else a dirty box is redone.
void PrepareBox(CInstance* i) {
    int32_t box[4];
    if (i->skeleton != nullptr && World().skeletonBox != nullptr && World().skeletonBox(i, box)) {
        i->bbox_left = box[0];
        i->bbox_top = box[1];
        i->bbox_right = box[2];
        i->bbox_bottom = box[3];
        i->boxDirty = 0;
        i->precise = 1;
    } else if (i->boxDirty) {
        i->ComputeBoundingBox(true);
    }
}

bool RejectRectangle(const CInstance* i, double x1, double y1, double x2, double y2) {
    return i->bbox_right + 1.0 <= std::min(x1, x2) || i->bbox_left > std::max(x1, x2) ||
           i->bbox_bottom + 1.0 <= std::min(y1, y2) || i->bbox_top > std::max(y1, y2) || i->destroyed;
}

bool BoxesOverlap(const CInstance* a, const CInstance* b) {
    return b->bbox_left < a->bbox_right + 1 && a->bbox_left < b->bbox_right + 1 &&
           b->bbox_top < a->bbox_bottom + 1 && a->bbox_top < b->bbox_bottom + 1;
}

void MoveBack(CInstance* i) {
    i->SetPosition(i->xprevious, i->yprevious);
    i->SetPathPosition(i->path_positionprevious);
}

bool GatherPair(CInstance* found, void* context) {
    auto* searcher = static_cast<CInstance*>(context);
    if (found == searcher) return true;
    const bool wanted = (searcher->object != nullptr &&
                         searcher->object->GetEventRecursive(EVENT_COLLISION, found->object_index)) ||
                        (found->object != nullptr &&
                         found->object->GetEventRecursive(EVENT_COLLISION, searcher->object_index));
    if (!wanted || found->collisionPass == g_passCount) return true;
    CollisionPairs_Add(searcher, found);
    return true;
}

void HandlePair(CInstance* a, CInstance* b) {
    if (!a->CollisionInstance(b, true)) return;
    Collision_MarkMoved(b);
    Collision_Resolve(a, b);
}

void HandleCollisionTree() {
    g_pairCount = 0;
    if (g_tree != nullptr) {
        Collision_UpdateDirtyBoxes();
        while (CInstance* instance = g_moved.First()) {
            g_moved.Unlink(instance);
            if (instance->destroyed || instance->deactivated) continue;
            int min[2], max[2];
            BoxRect(instance, min, max);
            g_tree->Search(min, max, GatherPair, instance);
            // A precise mask that changes with the frame may meet new neighbours while its box
            // stays: such instances search every stage.
            SpriteCollisionShape mask;
            if (instance->precise && MaskOf(instance, &mask) && mask.frames > 1)
                g_setAside.PushFront(instance);
            instance->collisionPass = g_passCount;
        }
    }
    ++g_passCount;
    while (CInstance* instance = g_setAside.First()) {
        g_setAside.Unlink(instance);
        g_moved.PushFront(instance);
    }
    for (int32_t i = 0; i < g_pairCount; ++i) HandlePair(g_pairs[i].searcher, g_pairs[i].found);
}

bool Skipped(const CInstance* i, uint64_t stamp) {
    return i->destroyed || i->deactivated || i->creationPass > stamp;
}

void HandleCollisionPairs() {
    const CollisionObjectPair* pairs = CollisionObjectPairs();
    for (int32_t p = 0; p < CollisionObjectPairs_Count(); ++p) {
        const CollisionObjectPair& pair = pairs[p];
        if (!pair.active || pair.firstObject == nullptr || pair.secondObject == nullptr) continue;
        if (pair.firstObject->instances.Count() == 0) continue;
        const uint64_t stamp = EventPassCounter++;
        for (auto* na = pair.firstObject->instances.First(); na != nullptr; na = na->next) {
            CInstance* a = na->item;
            if (Skipped(a, stamp)) continue;
            for (auto* nb = pair.secondObject->instances.First(); nb != nullptr; nb = nb->next) {
                CInstance* b = nb->item;
                if (Skipped(b, stamp)) continue;
                if (a->CollisionInstance(b, true)) Collision_Resolve(a, b);
            }
        }
    }
}

// --- hooks for the frame loop and the instance core ---

void HookComputeBox(CInstance* i) {
    i->ComputeBoundingBox(true);
}

}  // namespace

// --- regime, tree and lists -------------------------------------------------------------------

bool Collision_TreeMode() {
    return g_GameOptions.collisionTreeMode;
}

CollisionTree& Collision_Tree() {
    if (g_tree == nullptr) g_tree = new CollisionTree();
    return *g_tree;
}

int32_t Collision_RootLevel() {
    return Collision_Tree().Root()->level;
}

void Collision_MarkMoved(CInstance* instance) {
    if (!Collision_TreeMode()) return;
    g_moved.PushFront(instance);
}

void Collision_MarkDirty(CInstance* instance) {
    if (!Collision_TreeMode()) return;
    g_dirty.PushFront(instance);
    Collision_MarkMoved(instance);
}

void Collision_UpdateDirtyBoxes() {
    if (!Collision_TreeMode()) return;
    while (CInstance* instance = g_dirty.First()) {
        g_dirty.Unlink(instance);
        if (!instance->destroyed && !instance->deactivated) instance->ComputeBoundingBox(true);
    }
}

void Collision_UpdateInstance(CInstance* instance, const InstanceBox& old) {
    if (!Collision_TreeMode() || instance->destroyed || instance->deactivated || !CollisionsFlag(instance))
        return;
    CollisionTree& tree = Collision_Tree();
    const int oldMin[2] = {std::min(old.left, old.right), std::min(old.top, old.bottom)};
    const int oldMax[2] = {std::max(old.left, old.right), std::max(old.top, old.bottom)};
    tree.Remove(oldMin, oldMax, instance, true);
    int min[2], max[2];
    BoxRect(instance, min, max);
    tree.Insert(min, max, instance);
}

void Collision_AddInstance(CInstance* instance) {
    if (!Collision_TreeMode()) return;
    Collision_Tree();
    instance->ComputeBoundingBox(true);
    Collision_MarkMoved(instance);
}

void Collision_RemoveInstance(CInstance* instance) {
    if (Collision_TreeMode() && g_tree != nullptr) {
        int min[2], max[2];
        BoxRect(instance, min, max);
        g_tree->Remove(min, max, instance, true);
    }
    g_moved.Unlink(instance);
    g_dirty.Unlink(instance);
    g_setAside.Unlink(instance);
}

void Collision_DiscardTree() {
    delete g_tree;
    g_tree = nullptr;
}

void Collision_Rebuild() {
    if (!Collision_TreeMode()) return;
    Collision_DiscardTree();
    CollisionTree& tree = Collision_Tree();
    CRoom* room = Run_Room();
    if (room == nullptr) return;
    for (CInstance* i = room->active.head; i != nullptr; i = i->depthNext) {
        if (i->destroyed || i->deactivated || !CollisionsFlag(i)) continue;
        if (i->boxDirty) {
            i->ComputeBoundingBox(true);
        } else {
            int min[2], max[2];
            BoxRect(i, min, max);
            tree.Insert(min, max, i);
        }
    }
}

void Collision_Reset() {
    Collision_DiscardTree();
    g_moved.Forget();
    g_dirty.Forget();
    g_setAside.Forget();
    g_passCount = 0;
    g_pairCount = 0;
    MEM_FREE(g_pairs);
    g_pairs = nullptr;
    g_pairCapacity = 0;
}

// --- the stage ----------------------------------------------------------------------------------

void Collision_Resolve(CInstance* a, CInstance* b) {
    if (a->solid || b->solid) {
        MoveBack(a);
        MoveBack(b);
    }
    PerformEvent_Instance(a, b, EVENT_COLLISION, b->object_index);
    PerformEvent_Instance(b, a, EVENT_COLLISION, a->object_index);
    if (!a->solid && !b->solid) return;
    a->AdvancePath();
    b->AdvancePath();
    a->SetPosition(a->x + a->hspeed, a->y + a->vspeed);
    b->SetPosition(b->x + b->hspeed, b->y + b->vspeed);
    if (a->CollisionInstance(b, true)) {
        MoveBack(a);
        MoveBack(b);
    }
}

void HandleCollision() {
    if (Collision_TreeMode())
        HandleCollisionTree();
    else
        HandleCollisionPairs();
}

// --- instance tests -----------------------------------------------------------------------------

bool Ellipse_ContainsPoint(const int32_t e[4], int32_t x, int32_t y) {
    const int32_t cx = (e[0] + e[2]) / 2, cy = (e[1] + e[3]) / 2;
    const int32_t rx = (e[2] - e[0]) / 2, ry = (e[3] - e[1]) / 2;
    if (rx == 0 || ry == 0) return false;
    const double dx = static_cast<double>(x - cx) / rx, dy = static_cast<double>(y - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

bool CInstance::CollisionPoint(float px, float py, bool preciseTest) {
    PrepareBox(this);
    if (px >= bbox_right + 1.0 || px < bbox_left || py >= bbox_bottom + 1.0 || py < bbox_top || destroyed)
        return false;
    SpriteCollisionShape mask;
    if (!MaskOf(this, &mask)) return false;
    if (!preciseTest || !mask.precise) return true;
    if (skeleton != nullptr) return !World().skeletonPointTest || World().skeletonPointTest(this, px, py);
    if (World().spritePointTest == nullptr) return true;
    return World().spritePointTest(RoundedPose(this), Nearest(px), Nearest(py));
}

bool CInstance::CollisionRectangle(float x1, float y1, float x2, float y2, bool preciseTest) {
    PrepareBox(this);
    if (RejectRectangle(this, x1, y1, x2, y2)) return false;
    if (!preciseTest || !precise) return true;
    SpriteCollisionShape mask;
    if (!MaskOf(this, &mask)) return false;
    if (skeleton != nullptr)
        return !World().skeletonRectangleTest || World().skeletonRectangleTest(this, x1, y1, x2, y2);
    if (World().spriteRectangleTest == nullptr) return true;
    const int32_t rect[4] = {Nearest(std::min(x1, x2)), Nearest(std::min(y1, y2)), Nearest(std::max(x1, x2)),
                             Nearest(std::max(y1, y2))};
    return World().spriteRectangleTest(RoundedPose(this), rect);
}

bool CInstance::CollisionEllipse(float x1, float y1, float x2, float y2, bool preciseTest) {
    PrepareBox(this);
    if (RejectRectangle(this, x1, y1, x2, y2)) return false;
    if (Nearest(x1) == Nearest(x2) || Nearest(y1) == Nearest(y2))
        return CollisionRectangle(x1, y1, x2, y2, preciseTest);
    const int32_t e[4] = {Nearest(std::min(x1, x2)), Nearest(std::min(y1, y2)), Nearest(std::max(x1, x2)),
                          Nearest(std::max(y1, y2))};
    const double cx = (static_cast<double>(x1) + x2) * 0.5, cy = (static_cast<double>(y1) + y2) * 0.5;
    const bool meets =
        (cx >= bbox_left && cx <= bbox_right) || (cy >= bbox_top && cy <= bbox_bottom) ||
        Ellipse_ContainsPoint(e, bbox_left, bbox_top) || Ellipse_ContainsPoint(e, bbox_left, bbox_bottom) ||
        Ellipse_ContainsPoint(e, bbox_right, bbox_top) || Ellipse_ContainsPoint(e, bbox_right, bbox_bottom);
    if (!meets) return false;
    if (!preciseTest || !precise) return true;
    if (skeleton != nullptr) return !World().skeletonEllipseTest || World().skeletonEllipseTest(this, e);
    SpriteCollisionShape mask;
    if (!MaskOf(this, &mask)) return false;
    if (World().spriteEllipseTest == nullptr) return true;
    return World().spriteEllipseTest(RoundedPose(this), e);
}

bool CInstance::CollisionLine(float fx1, float fy1, float fx2, float fy2, bool preciseTest) {
    PrepareBox(this);
    if (RejectRectangle(this, fx1, fy1, fx2, fy2)) return false;
    double x1 = fx1, y1 = fy1, x2 = fx2, y2 = fy2;
    if (x2 < x1) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (x1 < bbox_left) {
        y1 += (bbox_left - x1) * (y2 - y1) / (x2 - x1);
        x1 = bbox_left;
    }
    if (x2 > bbox_right + 1.0) {
        y2 += (bbox_right + 1.0 - x2) * (y2 - y1) / (x2 - x1);
        x2 = bbox_right + 1.0;
    }
    if (!((bbox_top <= y1 || bbox_top <= y2) && (y1 < bbox_bottom + 1.0 || y2 < bbox_bottom + 1.0)))
        return false;
    if (!preciseTest || !precise) return true;
    SpriteCollisionShape mask;
    if (!MaskOf(this, &mask)) return false;
    if (skeleton != nullptr)
        return !World().skeletonLineTest ||
               World().skeletonLineTest(this, float(x1), float(y1), float(x2), float(y2));
    if (World().spriteLineTest == nullptr) return true;
    return World().spriteLineTest(RoundedPose(this), Nearest(x1), Nearest(y1), Nearest(x2), Nearest(y2));
}

bool CInstance::CollisionInstance(CInstance* other, bool preciseTest) {
    if (other == nullptr || other == this || destroyed || other->destroyed) return false;
    if (skeleton != nullptr) return CollisionSkeleton(other, preciseTest);
    if (other->skeleton != nullptr) return other->CollisionSkeleton(this, preciseTest);
    if (other->boxDirty) other->ComputeBoundingBox(true);
    if (boxDirty) ComputeBoundingBox(true);
    if (!BoxesOverlap(this, other)) return false;
    SpriteCollisionShape mine, theirs;
    if (!MaskOf(this, &mine) || !MaskOf(other, &theirs)) return false;
    if (!preciseTest || (!mine.precise && !theirs.precise)) return true;
    if (World().spritePairTest == nullptr) return true;
    const bool tree = Collision_TreeMode();
    auto place = [tree](const CInstance* i) {
        return tree ? PoseOf(i, CRT_TruncToInt32(i->x), CRT_TruncToInt32(i->y)) : RoundedPose(i);
    };
    return World().spritePairTest(place(this), place(other));
}

bool CInstance::CollisionSkeleton(CInstance* other, bool preciseTest) {
    if (other == nullptr || other == this || destroyed || other->destroyed) return false;
    int32_t box[4];
    for (CInstance* i : {this, other}) {
        if (i->skeleton == nullptr || World().skeletonBox == nullptr || !World().skeletonBox(i, box))
            continue;
        i->bbox_left = box[0];
        i->bbox_top = box[1];
        i->bbox_right = box[2];
        i->bbox_bottom = box[3];
        i->boxDirty = 0;
        i->precise = 1;
    }
    if (boxDirty) ComputeBoundingBox(true);
    if (other->boxDirty) other->ComputeBoundingBox(true);
    if (!BoxesOverlap(this, other)) return false;
    SpriteCollisionShape theirs;
    if (!MaskOf(other, &theirs)) return false;
    if (!preciseTest || World().skeletonInstanceTest == nullptr) return true;
    return World().skeletonInstanceTest(this, other);
}

bool Collision_InstanceAtPoint(CInstance* instance, float x, float y, bool precise) {
    return instance->CollisionPoint(x, y, precise);
}

void Collision_Install() {
    InstanceWorldHooks hooks = InstanceWorld();
    hooks.collisionMarkDirty = Collision_MarkDirty;
    hooks.collisionRemoveInstance = Collision_RemoveInstance;
    hooks.computeBoundingBox = HookComputeBox;
    InstanceWorld_Install(&hooks);
}
