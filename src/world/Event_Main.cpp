#include "world/Event_Main.h"

#include "core/MemoryManager.h"
#include "base/Error_Report.h"
#include "base/GameOptions.h"
#include "world/Object_Main.h"

CurrentEvent g_CurrentEvent;

namespace {

constexpr int32_t kListGrowth = 5;

EventObjectList g_eventLists[EVENT_TYPE_COUNT][kEventListSubtypes];
CollisionObjectPair* g_pairs = nullptr;
int32_t g_pairCount = 0, g_pairCapacity = 0;

// The highest subtype each type's list is built for.
int32_t ListedSubtypes(int32_t type) {
    switch (type) {
        case EVENT_CREATE:
        case EVENT_DESTROY:
        case EVENT_DRAW:
            return 0;
        case EVENT_ALARM:
            return 12;
        case EVENT_STEP:
            return 16;
        case EVENT_KEYBOARD:
        case EVENT_KEYPRESS:
        case EVENT_KEYRELEASE:
            return kEventListSubtypes - 1;  // every key code, 128 to 255 included
        case EVENT_MOUSE:
        case EVENT_OTHER:
            return 128;
        default:
            return -1;  // collisions use the pairs; type 11 is never performed
    }
}

void Append(EventObjectList& list, int32_t objectIndex) {
    if (list.count == list.capacity) {
        list.capacity += kListGrowth;
        list.objects = static_cast<int32_t*>(MEM_REALLOC(list.objects, list.capacity * sizeof(int32_t)));
    }
    list.objects[list.count++] = objectIndex;
}

void AppendPair(int32_t i, int32_t j) {
    if (g_pairCount == g_pairCapacity) {
        g_pairCapacity += kListGrowth;
        g_pairs = static_cast<CollisionObjectPair*>(
            MEM_REALLOC(g_pairs, g_pairCapacity * sizeof(CollisionObjectPair)));
    }
    g_pairs[g_pairCount++] = {i, j, Object_Find(i), Object_Find(j), 1};
}

bool PairListed(int32_t low, int32_t high) {
    for (int32_t p = 0; p < g_pairCount; ++p)
        if (g_pairs[p].first == low && g_pairs[p].second == high) return true;
    return false;
}

// The own chain of `start`: its handler, else the nearest ancestor's. A parent chain that loops
// ends after as many steps as there are object slots.
CEvent* FindInChain(int32_t start, int32_t type, int32_t subtype, int32_t* handlerObject) {
    int32_t steps = Object_Count();
    int32_t index = start;
    for (CObjectHV* object = Object_Find(index); object != nullptr && steps-- >= 0;) {
        if (CEvent* event = object->GetEvent(type, subtype)) {
            *handlerObject = index;
            return event;
        }
        index = object->parentIndex;
        object = Object_Find(index);
    }
    return nullptr;
}

void BuildPairs() {
    const int32_t count = Object_Count();
    bool anyWithoutPhysics = false;
    Object_ForEach(
        [&](CObjectHV* object) { anyWithoutPhysics = anyWithoutPhysics || !object->physics.uses; });

    // In tree mode the collision stage asks the tree, not the pairs: only the flags are set.
    const bool treeMode = g_GameOptions.collisionTreeMode && anyWithoutPhysics;
    for (int32_t i = 0; i < count; ++i) {
        CObjectHV* first = Object_Find(i);
        if (first == nullptr) continue;
        for (int32_t j = 0; j < count; ++j) {
            CObjectHV* second = Object_Find(j);
            if (second == nullptr || first->GetEventRecursive(EVENT_COLLISION, j) == nullptr) continue;
            first->flags |= OBJECT_IN_COLLISION_PAIR;
            second->flags |= OBJECT_IN_COLLISION_PAIR;
            if (treeMode) continue;
            const int32_t low = i < j ? i : j, high = i < j ? j : i;
            if (!PairListed(low, high)) AppendPair(i, j);
        }
    }
}

}  // namespace

const EventObjectList& Event_ObjectList(int32_t type, int32_t subtype) {
    static const EventObjectList kEmpty;
    if (type < 0 || type >= EVENT_TYPE_COUNT || subtype < 0 || subtype >= kEventListSubtypes) return kEmpty;
    return g_eventLists[type][subtype];
}

int32_t CollisionObjectPairs_Count() {
    return g_pairCount;
}
const CollisionObjectPair* CollisionObjectPairs() {
    return g_pairs;
}

void Object_FreeEventLists() {
    for (auto& type : g_eventLists) {
        for (EventObjectList& list : type) {
            MEM_FREE(list.objects);
            list = EventObjectList();
        }
    }
    MEM_FREE(g_pairs);
    g_pairs = nullptr;
    g_pairCount = g_pairCapacity = 0;
}

void Object_BuildEventLists() {
    Object_FreeEventLists();
    const int32_t count = Object_Count();
    for (int32_t type = 0; type < EVENT_TYPE_COUNT; ++type) {
        for (int32_t subtype = 0; subtype <= ListedSubtypes(type); ++subtype) {
            for (int32_t index = 0; index < count; ++index) {
                CObjectHV* object = Object_Find(index);
                if (object != nullptr && object->GetEventRecursive(type, subtype) != nullptr)
                    Append(g_eventLists[type][subtype], index);
            }
        }
    }
    BuildPairs();
}

CEvent* FindEventHandler(int32_t objectIndex, int32_t type, int32_t subtype, int32_t* handlerObject) {
    *handlerObject = objectIndex;
    if (CEvent* event = FindInChain(objectIndex, type, subtype, handlerObject)) return event;
    if (type != EVENT_COLLISION) return nullptr;
    const CObjectHV* other = Object_Find(subtype);
    if (other == nullptr) return nullptr;

    // The other object's ancestors, nearest first; each tried against the whole own chain.
    int32_t steps = Object_Count();
    for (int32_t ancestor = other->parentIndex; steps-- >= 0;) {
        const CObjectHV* object = Object_Find(ancestor);
        if (object == nullptr) break;
        if (CEvent* event = FindInChain(objectIndex, type, ancestor, handlerObject)) return event;
        ancestor = object->parentIndex;
    }
    *handlerObject = objectIndex;
    return nullptr;
}

void PerformEvent(CInstance* self, CInstance* other, int32_t objectIndex, int32_t type, int32_t subtype) {
    int32_t handlerObject;
    CEvent* event = FindEventHandler(objectIndex, type, subtype, &handlerObject);
    if (event == nullptr) return;
    if (++g_CurrentEvent.depth > kEventMaxDepth) {
        Error_Report(
            "PerformEvent recursion depth failure - check for infinite loops, check objects for parenting",
            true);
        --g_CurrentEvent.depth;
        return;
    }
    const CurrentEvent saved = g_CurrentEvent;
    g_CurrentEvent.type = type;
    g_CurrentEvent.number = subtype;
    g_CurrentEvent.object = handlerObject;
    event->Execute(self, other);
    g_CurrentEvent.type = saved.type;
    g_CurrentEvent.number = saved.number;
    g_CurrentEvent.object = saved.object;
    --g_CurrentEvent.depth;
}
