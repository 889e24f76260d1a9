#include "world/Object_Class.h"

#include <cstring>

#include "core/Code_Main.h"
#include "core/MemoryManager.h"
#include "core/Value.h"
#include "base/Error_Report.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "world/GameLoopServices.h"
#include "world/Object_Main.h"

namespace {

// The name every loaded handler carries; only its presence matters.
const char kEventName[] = "";

constexpr int32_t kEventTypesInFile = EVENT_TYPE_COUNT;
constexpr uint32_t kActionCodeIndexAt = 32;


// The sprite word: with bits 28-30 clear the index is the low 31 bits, else the whole word.
int32_t SpriteFromWord(uint32_t word) {
    if ((word & 0x70000000u) == 0) return static_cast<int32_t>(word & 0x7FFFFFFFu);
    return static_cast<int32_t>(word);
}

// Reads the physics block at `at`; answers the offset of what follows the points.
uint32_t LoadPhysics(ChunkView& chunk, uint32_t at, ObjectPhysics& p) {
    const int format = g_GameHeader.format;
    p.uses = chunk.FileU32(at) != 0;
    p.sensor = chunk.FileU32(at + 4) != 0;
    p.shape = chunk.FileI32(at + 8);
    p.density = chunk.FileF32(at + 12);
    p.restitution = chunk.FileF32(at + 16);
    p.group = chunk.FileI32(at + 20);
    p.linearDamping = chunk.FileF32(at + 24);
    p.angularDamping = chunk.FileF32(at + 28);
    const uint32_t pointCount = chunk.FileU32(at + 32);
    uint32_t pointsAt = at + 36;
    if (format >= 9) {
        p.friction = chunk.FileF32(at + 36);
        p.awake = chunk.FileU32(at + 40) != 0;
        p.kinematic = chunk.FileU32(at + 44) != 0;
        pointsAt = at + 48;
    } else {
        p.friction = 0.2f;
        p.awake = true;
        p.kinematic = false;
    }
    // The points must lie in the file before any are kept.
    if (pointCount > Form_Size() / 8 || chunk.FileBytes(pointsAt, pointCount * 8) == nullptr) {
        chunk.Fail("object physics points run past the end of the file");
        return pointsAt;
    }
    p.points.resize(pointCount);
    for (uint32_t i = 0; i < pointCount; ++i)
        p.points[i] = {chunk.FileF32(pointsAt + 8 * i), chunk.FileF32(pointsAt + 8 * i + 4)};
    return pointsAt + pointCount * 8;
}

// An event entry {subtype, action count, action offsets}: the first action's code index, or -1
// when the entry has no action.
int32_t FirstActionCode(ChunkView& chunk, uint32_t entry) {
    if (chunk.FileU32(entry + 4) == 0) return -1;
    const uint32_t action = chunk.FileU32(entry + 8);
    return chunk.FileI32(action + kActionCodeIndexAt);
}

void GrowList(EventList& list, int32_t count) {
    if (count <= list.count) return;
    list.events = static_cast<CEvent**>(MEM_REALLOC(list.events, count * sizeof(CEvent*)));
    list.count = count;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CEvent

CEvent::~CEvent() {
    delete m_code;
}

void CEvent::Load(int32_t codeIndex) {
    if (!Code_GameHasCode()) return;
    delete m_code;
    m_code = nullptr;
    m_name = nullptr;
    if (codeIndex == -1) return;
    m_name = kEventName;
    m_code = new CCode(codeIndex, 0);
}

bool CEvent::Execute(CInstance* self, CInstance* other) {
    const bool relative = g_ActionRelative;
    g_ActionRelative = false;
    RValue result{};
    const bool ok = m_code == nullptr || Code_ExecuteReport(self, other, m_code, &result, 1);
    RValue_Free(&result);
    g_ActionRelative = relative;
    return ok;
}

// ---------------------------------------------------------------------------------------------
// CObjectHV

int32_t Event_MaxSubtype(int32_t type) {
    switch (type) {
        case EVENT_CREATE:
        case EVENT_DESTROY:
            return 0;
        case EVENT_ALARM:
            return 11;
        case EVENT_STEP:
            return STEP_END;
        case EVENT_COLLISION:
            return 99999;
        default:
            return 255;
    }
}

CObjectHV::CObjectHV(int32_t index) : m_index(index) {
    Clear();
}

CObjectHV::~CObjectHV() {
    Clear();
    instances.Clear();
    instancesRecursive.Clear();
}

void CObjectHV::SetName(const char* name) {
    SetNameNoCopy(MEM_COPY_TEXT(name));
}

void CObjectHV::SetNameNoCopy(char* name) {
    MEM_FREE(m_name);
    m_name = name;
}

void CObjectHV::FreeEvents() {
    for (EventList& list : eventLists) {
        for (int32_t i = 0; i < list.count; ++i) delete list.events[i];
        MEM_FREE(list.events);
        list = EventList();
    }
}

void CObjectHV::Clear() {
    spriteIndex = -1;
    parentIndex = -1;
    maskIndex = -1;
    depth = 0;
    flags = OBJECT_DEFAULT_FLAGS;
    parent = nullptr;
    physics = ObjectPhysics();
    SetNameNoCopy(nullptr);
    FreeEvents();
}

void CObjectHV::LoadFromChunk(ChunkView& chunk, uint32_t entry, int32_t objectCount) {
    Clear();
    spriteIndex = SpriteFromWord(chunk.FileU32(entry + 4));
    if (chunk.FileU32(entry + 8) != 0)
        flags |= OBJECT_VISIBLE;
    else
        flags &= ~OBJECT_VISIBLE;
    if (chunk.FileU32(entry + 12) != 0) flags |= OBJECT_SOLID;
    depth = chunk.FileI32(entry + 16);
    if (chunk.FileU32(entry + 20) != 0) flags |= OBJECT_PERSISTENT;
    parentIndex = chunk.FileI32(entry + 24);
    maskIndex = chunk.FileI32(entry + 28);
    uint32_t at = entry + 32;
    if (g_GameHeader.format >= 6) at = LoadPhysics(chunk, at, physics);
    if (!chunk.Ok()) return;

    const uint32_t typeCount = chunk.FileCount(at, 4);
    for (uint32_t type = 0; type < typeCount && type < kEventTypesInFile && chunk.Ok(); ++type) {
        const uint32_t listAt = chunk.FileU32(at + 4 + 4 * type);
        const uint32_t entries = chunk.FileCount(listAt, 4);
        const int32_t maxSubtype = type == EVENT_COLLISION ? objectCount - 1 : Event_MaxSubtype(type);
        for (uint32_t e = 0; e < entries && chunk.Ok(); ++e) {
            const uint32_t eventAt = chunk.FileU32(listAt + 4 + 4 * e);
            const int32_t subtype = chunk.FileI32(eventAt);
            const int32_t code = FirstActionCode(chunk, eventAt);
            if (!chunk.Ok() || subtype < 0 || subtype > maxSubtype) continue;
            EventList& list = eventLists[type];
            GrowList(list, subtype + 1);
            if (list.events[subtype] == nullptr) list.events[subtype] = new CEvent();
            list.events[subtype]->Load(code);
        }
    }
}

bool CObjectHV::Compile() {
    for (int32_t type = 0; type < EVENT_TYPE_COUNT; ++type) {
        g_CurrentEvent.type = type;
        const EventList& list = eventLists[type];
        for (int32_t subtype = 0; subtype < list.count; ++subtype) {
            g_CurrentEvent.number = subtype;
            if (list.events[subtype] != nullptr && !list.events[subtype]->Compile()) return false;
        }
    }
    return true;
}

CEvent* CObjectHV::GetEvent(int32_t type, int32_t subtype) const {
    if (subtype < 0 || type < 0 || type >= EVENT_TYPE_COUNT) {
        Error_Report("Invalid event argument", true);
        return nullptr;
    }
    const EventList& list = eventLists[type];
    if (subtype >= list.count) return nullptr;
    CEvent* event = list.events[subtype];
    return event != nullptr && event->Present() ? event : nullptr;
}

CEvent* CObjectHV::GetEventRecursive(int32_t type, int32_t subtype) const {
    int32_t handlerObject;
    return FindEventHandler(m_index, type, subtype, &handlerObject);
}

bool CObjectHV::HasEvent(int32_t type, int32_t subtype) const {
    int32_t steps = Object_Count();
    for (const CObjectHV* object = this; object != nullptr && steps-- >= 0;) {
        if (object->GetEvent(type, subtype) != nullptr) return true;
        object = Object_Find(object->parentIndex);
    }
    return false;
}

void CObjectHV::SetParent(int32_t index) {
    parentIndex = index;
    if (index >= 0 && index <= 999999) parent = Object_Find(index);
}

bool CObjectHV::IsDescendantOf(int32_t index) const {
    // A parent chain that loops back on itself (object_set_parent refuses cycles, but a data
    // file may hold one) ends after as many steps as there are object slots.
    int32_t steps = Object_Count();
    for (int32_t p = parentIndex; p >= 0 && steps-- >= 0;) {
        if (p == index) return true;
        const CObjectHV* object = Object_Find(p);
        if (object == nullptr) return false;
        p = object->parentIndex;
    }
    return false;
}

void CObjectHV::AddInstance(CInstance* instance) {
    instances.Add(instance);
    int32_t steps = Object_Count();
    for (CObjectHV* object = this; object != nullptr && steps-- >= 0; object = object->parent)
        object->instancesRecursive.Add(instance);
}

void CObjectHV::RemoveInstance(CInstance* instance) {
    instances.Remove(instance);
    int32_t steps = Object_Count();
    for (CObjectHV* object = this; object != nullptr && steps-- >= 0; object = object->parent)
        object->instancesRecursive.Remove(instance);
}

void CObjectHV::FreeInstanceLists() {
    instances.Clear();
    instancesRecursive.Clear();
}
