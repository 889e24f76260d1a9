// Objects: the game's classes of instances, with their parent, their physics settings, their
// twelve event lists and the lists of their instances. CEvent is the handler record shared
// with time lines.
#pragma once

#include <cstdint>
#include <vector>

#include "world/SLinkedList.h"

class CCode;
class CInstance;
class ChunkView;

enum EventType : int32_t {
    EVENT_CREATE = 0,
    EVENT_DESTROY = 1,
    EVENT_ALARM = 2,
    EVENT_STEP = 3,
    EVENT_COLLISION = 4,
    EVENT_KEYBOARD = 5,
    EVENT_MOUSE = 6,
    EVENT_OTHER = 7,
    EVENT_DRAW = 8,
    EVENT_KEYPRESS = 9,
    EVENT_KEYRELEASE = 10,
    EVENT_TYPE_COUNT = 12,           // type 11 is loaded but never performed
    EVENT_TIMELINE_MOMENT = 100000,  // only as the current event type while a moment runs
};

enum StepEventSubtype : int32_t { STEP_NORMAL = 0, STEP_BEGIN = 1, STEP_END = 2 };

enum OtherEventSubtype : int32_t {
    OTHER_OUTSIDE_ROOM = 0,
    OTHER_INTERSECT_BOUNDARY = 1,
    OTHER_GAME_START = 2,
    OTHER_GAME_END = 3,
    OTHER_ROOM_START = 4,
    OTHER_ROOM_END = 5,
    OTHER_NO_MORE_LIVES = 6,
    OTHER_ANIMATION_END = 7,
    OTHER_END_OF_PATH = 8,
    OTHER_NO_MORE_HEALTH = 9,
    OTHER_USER0 = 10,
    OTHER_CLOSE_BUTTON = 30,
    OTHER_OUTSIDE_VIEW0 = 40,
    OTHER_BOUNDARY_VIEW0 = 50,
    OTHER_ANIMATION_UPDATE = 58,
};

// Object flag bits.
enum : int32_t {
    OBJECT_SOLID = 0x01,
    OBJECT_VISIBLE = 0x02,
    OBJECT_PERSISTENT = 0x04,
    OBJECT_IN_COLLISION_PAIR = 0x08,
    OBJECT_COLLISIONS = 0x10,
    OBJECT_DEFAULT_FLAGS = OBJECT_VISIBLE | OBJECT_COLLISIONS,
};

// One handler. The code object belongs to the code table; an event without a name counts as
// absent everywhere.
class CEvent {
public:
    CEvent() = default;
    virtual ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    // Takes the code index of an action record; -1 when the record has no code.
    void Load(int32_t codeIndex);
    bool Compile() { return true; }
    // Runs the handler for (self, other) with the action functions' relative flag cleared.
    bool Execute(CInstance* self, CInstance* other);
    // Clearing an event keeps its handler (object_event_clear rebuilds the lists around it).
    void Clear() {}

    bool Present() const { return m_name != nullptr; }
    CCode* Code() const { return m_code; }

private:
    CCode* m_code = nullptr;
    const char* m_name = nullptr;
};

struct ObjectPoint {
    float x, y;
};

struct ObjectPhysics {
    bool uses = false;
    bool sensor = false;
    int32_t shape = 0;  // 0 circle, 1 and 2 a polygon from the points
    int32_t group = 0;
    float density = 0.0f, restitution = 0.0f;
    float linearDamping = 0.0f, angularDamping = 0.0f;
    float friction = 0.2f;
    bool awake = true;
    bool kinematic = false;
    std::vector<ObjectPoint> points;  // plain heap, as the physics layer frees them
};

// One event type's handlers, indexed by subtype.
struct EventList {
    int32_t count = 0;
    CEvent** events = nullptr;
};

class CObjectHV {
public:
    explicit CObjectHV(int32_t index);
    virtual ~CObjectHV();
    CObjectHV(const CObjectHV&) = delete;
    CObjectHV& operator=(const CObjectHV&) = delete;

    void SetName(const char* name);  // copied
    void SetNameNoCopy(char* name);  // taken over (a memory-manager block)
    const char* Name() const { return m_name ? m_name : ""; }
    int32_t Index() const { return m_index; }

    // Reads an OBJT entry at file offset `entry`. Subtypes outside their event type's range
    // are skipped; `objectCount` bounds the collision subtypes.
    void LoadFromChunk(ChunkView& chunk, uint32_t entry, int32_t objectCount);
    bool Compile();
    void Clear();

    // Own handler only; a bad type or subtype is a fatal run-time error and answers null.
    CEvent* GetEvent(int32_t type, int32_t subtype) const;
    // Own or an ancestor's, with the collision rule of the handler lookup.
    CEvent* GetEventRecursive(int32_t type, int32_t subtype) const;
    // Own or an ancestor's, without the collision rule.
    bool HasEvent(int32_t type, int32_t subtype) const;
    bool IsDescendantOf(int32_t index) const;
    // Stores the parent index and, for an index of 0..999999, the parent it names.
    void SetParent(int32_t index);

    void AddInstance(CInstance* instance);
    void RemoveInstance(CInstance* instance);
    void FreeInstanceLists();

    int32_t flags = OBJECT_DEFAULT_FLAGS;
    int32_t spriteIndex = -1;
    int32_t depth = 0;
    int32_t parentIndex = -1;
    int32_t maskIndex = -1;
    ObjectPhysics physics;
    CObjectHV* parent = nullptr;  // resolved from parentIndex by Object_LinkParents
    EventList eventLists[EVENT_TYPE_COUNT];
    SLinkedList<CInstance> instances;           // own instances
    SLinkedList<CInstance> instancesRecursive;  // own and every descendant's

private:
    void FreeEvents();

    int32_t m_index;
    char* m_name = nullptr;
};

// The highest subtype an event type may hold (collisions are bounded by the object count).
int32_t Event_MaxSubtype(int32_t type);
