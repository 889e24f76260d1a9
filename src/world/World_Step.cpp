// The game world's work between the stages of a step: the pending instance lists, depth and
// activation changes, motion and image animation.
#include <cstring>

#include "core/GarbageCollector.h"
#include "core/InstanceWorld.h"
#include "core/MemoryManager.h"
#include "core/Timing.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "base/GameOptions.h"
#include "world/World_Step.h"
#include "world/Room_Class.h"
#include "world/Run.h"
#include "world/TimeLine.h"
#include "world/Physics_Services.h"

FrameTiming g_FrameTiming;
FrameSwitches g_FrameSwitches;

namespace {

// A duplicate-free list of instances in the order they were added. Membership is kept in an
// open-addressed set so adding stays cheap when a stage touches many instances.
class PendingInstanceList {
public:
    ~PendingInstanceList() { Release(); }

    bool Empty() const { return m_count == m_removed; }

    void Add(CInstance* instance) {
        if (Contains(instance)) return;
        if (m_count == m_capacity) Grow();
        m_items[m_count++] = instance;
        Insert(instance);
    }

    void Remove(CInstance* instance) {
        if (!Contains(instance)) return;
        for (int32_t i = 0; i < m_count; ++i) {
            if (m_items[i] != instance) continue;
            m_items[i] = nullptr;
            ++m_removed;
            break;
        }
        Rehash();
    }

    // Visits every instance still listed; the list may not change meanwhile.
    template <typename Visit>
    void ForEach(Visit visit) const {
        for (int32_t i = 0; i < m_count; ++i)
            if (m_items[i] != nullptr) visit(m_items[i]);
    }

    void Clear() {
        m_count = m_removed = 0;
        if (m_slots != nullptr) std::memset(m_slots, 0, m_slotCount * sizeof(CInstance*));
    }

    void Release() {
        MEM_FREE(m_items);
        MEM_FREE(m_slots);
        m_items = nullptr;
        m_slots = nullptr;
        m_count = m_capacity = m_removed = m_slotCount = 0;
    }

private:
    static uint32_t HashOf(const CInstance* instance) {
        const auto bits = reinterpret_cast<uintptr_t>(instance);
        return static_cast<uint32_t>((bits >> 4) ^ (bits >> 20));
    }

    bool Contains(const CInstance* instance) const {
        if (m_slotCount == 0) return false;
        for (uint32_t i = HashOf(instance) & (m_slotCount - 1);; i = (i + 1) & (m_slotCount - 1)) {
            if (m_slots[i] == instance) return true;
            if (m_slots[i] == nullptr) return false;
        }
    }

    void Insert(CInstance* instance) {
        uint32_t i = HashOf(instance) & (m_slotCount - 1);
        while (m_slots[i] != nullptr) i = (i + 1) & (m_slotCount - 1);
        m_slots[i] = instance;
    }

    void Grow() {
        m_capacity = m_capacity ? m_capacity * 2 : 16;
        m_items = static_cast<CInstance**>(MEM_REALLOC(m_items, m_capacity * sizeof(CInstance*)));
        Rehash();
    }

    // The set keeps at most half its slots filled.
    void Rehash() {
        const uint32_t wanted = static_cast<uint32_t>(m_capacity) * 2;
        if (wanted != m_slotCount) {
            MEM_FREE(m_slots);
            m_slotCount = wanted;
            m_slots = static_cast<CInstance**>(MEM_ALLOC(m_slotCount * sizeof(CInstance*)));
        } else {
            std::memset(m_slots, 0, m_slotCount * sizeof(CInstance*));
        }
        for (int32_t i = 0; i < m_count; ++i)
            if (m_items[i] != nullptr) Insert(m_items[i]);
    }

    CInstance** m_items = nullptr;
    int32_t m_count = 0, m_capacity = 0, m_removed = 0;
    CInstance** m_slots = nullptr;
    uint32_t m_slotCount = 0;
};

PendingInstanceList g_objectChanges;
PendingInstanceList g_depthChanges;
PendingInstanceList g_activations;

}  // namespace

void Pending_AddObjectChange(CInstance* instance) {
    g_objectChanges.Add(instance);
}
void Pending_AddDepthChange(CInstance* instance) {
    g_depthChanges.Add(instance);
}
void Pending_AddActivation(CInstance* instance) {
    g_activations.Add(instance);
}
void Pending_RemoveInstance(CInstance* instance) {
    g_depthChanges.Remove(instance);
    g_objectChanges.Remove(instance);
    g_activations.Remove(instance);
}
void Pending_ClearActivations() {
    g_activations.Clear();
}

void Pending_ForEach(int32_t which, bool (*visit)(CInstance* instance, void* context), void* context) {
    bool going = true;
    (which == 0 ? g_objectChanges : g_activations).ForEach([&](CInstance* instance) {
        if (going) going = visit(instance, context);
    });
}

void Run_ClearPendingLists() {
    g_objectChanges.Release();
    g_depthChanges.Release();
}

void Run_ApplyDepthChanges() {
    CRoom* room = Run_Room();
    if (room != nullptr) {
        g_depthChanges.ForEach([&](CInstance* instance) {
            if (!instance->deactivated) room->active.Remove(instance);
        });
        g_depthChanges.ForEach([&](CInstance* instance) {
            if (!instance->deactivated) room->active.InsertByDepth(instance);
        });
    }
    g_depthChanges.Clear();
}

void UpdateActiveLists() {
    if (!g_objectChanges.Empty()) {
        g_objectChanges.ForEach([](CInstance* instance) { instance->RelinkObject(); });
        g_objectChanges.Clear();
    }
    if (!g_depthChanges.Empty()) Run_ApplyDepthChanges();
    if (!g_activations.Empty()) {
        if (CRoom* room = Run_Room()) room->UpdateActivation();
        g_activations.Clear();
    }
}

void Instance_AnimateImage(CInstance* instance) {
    if (g_GameHeader.layerModel) {
        SpriteInfo sprite;
        const double rate = g_GameClock.GetFps();
        if (InstanceWorld().spriteInfo(instance->sprite_index, &sprite) && rate != 0.0) {
            instance->image_index = static_cast<float>(instance->image_index +
                                                       sprite.playbackSpeed / rate * instance->image_speed);
        }
    } else {
        instance->image_index += instance->image_speed;
    }
    // A sprite without frames has nothing to wrap: it never ends an animation.
    const int32_t frames = instance->GetImageNumber();
    if (frames <= 0) return;
    if (static_cast<int64_t>(instance->image_index) >= frames) {
        instance->image_index -= static_cast<float>(frames);
    } else if (instance->image_index < 0.0f) {
        instance->image_index += static_cast<float>(frames);
    } else {
        return;
    }
    PerformEvent_Instance(instance, instance, EVENT_OTHER, OTHER_ANIMATION_END);
}

namespace {

void StepPhysicsWorld(CRoom* room) {
    if (g_PhysicsServices.step == nullptr) return;
    bool anyOnPath = false;
    for (CInstance* instance = room->active.head; instance != nullptr && !anyOnPath;
         instance = instance->depthNext)
        anyOnPath = instance->path_index >= 0;
    // The layer model runs at the game clock's rate, older games at the room's speed.
    const int32_t frameRate =
        g_GameHeader.major >= 2 ? static_cast<int32_t>(InstanceWorld().frameRate()) : room->speed;
    g_PhysicsServices.step(room->physicsWorld, frameRate, anyOnPath);
}

}  // namespace

bool HandleInstanceMovement() {
    CRoom* room = Run_Room();
    if (room == nullptr) return false;
    if (room->physicsWorld != nullptr) {  // its bodies move the instances
        StepPhysicsWorld(room);
        return true;
    }
    const uint64_t pass = EventPassCounter++;
    for (CInstance* instance = room->active.head; instance != nullptr;) {
        CInstance* next = instance->depthNext;
        instance->ApplyFriction();
        if (instance->AdvancePath() && instance->creationPass <= pass)
            PerformEvent_Instance(instance, instance, EVENT_OTHER, OTHER_END_OF_PATH);
        instance->SetPosition(instance->x + instance->hspeed, instance->y + instance->vspeed);
        instance = next;
    }
    return false;
}
