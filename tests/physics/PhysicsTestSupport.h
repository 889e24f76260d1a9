// Shared set-up of the physics tests: objects made in code with collision handlers that log
// what they see, instances placed by hand, and the reports the physics makes captured.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/Code_Main.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "physics/Function_Physics.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_Main.h"
#include "physics/Physics_Object.h"
#include "physics/Physics_World.h"
#include "world/Event_Main.h"
#include "world/GameWorld.h"
#include "world/Object_Class.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Room_Main.h"
#include "world/Run.h"

namespace physicstest {

struct CollisionSeen {
    int32_t self, other, points;
    float x = 0, y = 0, nx = 0, ny = 0;  // the first point and its normal
};

inline std::vector<CollisionSeen>& Seen() {
    static std::vector<CollisionSeen> seen;
    return seen;
}

inline std::vector<std::string>& Reports() {
    static std::vector<std::string> reports;
    return reports;
}

inline CPhysicsWorld*& CurrentWorld() {
    static CPhysicsWorld* world = nullptr;
    return world;
}

inline void CollisionHandler(CInstance* self, CInstance* other) {
    CPhysicsWorld* world = CurrentWorld();
    CollisionSeen seen{self->id, other->id, world ? world->GetCollisionPointCount(self) : -1};
    if (world != nullptr) {
        world->GetCollisionPoint(self, 0, &seen.x, &seen.y);
        world->GetCollisionNormal(self, 0, &seen.nx, &seen.ny);
    }
    Seen().push_back(seen);
}

// Every code index runs the logging handler.
inline bool HandlerEntry(int32_t, CompiledEntryInfo* out) {
    out->entry = nullptr;
    out->name = "collision";
    out->function = reinterpret_cast<void*>(&CollisionHandler);
    return true;
}

// Gives `object` a collision handler for `other`.
inline void AddCollisionEvent(int32_t object, int32_t other) {
    EventList& list = Object_Find(object)->eventLists[EVENT_COLLISION];
    if (list.count <= other) {
        list.events = static_cast<CEvent**>(MEM_REALLOC(list.events, (other + 1) * sizeof(CEvent*)));
        for (int32_t i = list.count; i <= other; ++i) list.events[i] = nullptr;
        list.count = other + 1;
    }
    list.events[other] = new CEvent();
    list.events[other]->Load(0);
}

// The physics built-in of that name (the rows are added once).
inline BuiltinProc Builtin(const char* name) {
    static const bool registered = (InitPhysicsFunctions(), true);
    (void)registered;
    for (int32_t i = 0; i < Code_Function_Count(); ++i)
        if (std::strcmp(Code_Function_Row(i)->name, name) == 0) return Code_Function_Row(i)->function;
    ADD_FAILURE() << "no built-in " << name;
    return nullptr;
}

// Calls the built-in with real arguments; its result as a real (NaN when it set none).
inline double Call(const char* name, CInstance* self, std::vector<double> args, CInstance* other = nullptr) {
    std::vector<RValue> values;
    for (double a : args) values.push_back(RValue_Real(a));
    RValue result = RValue_Real(std::nan(""));
    BuiltinProc proc = Builtin(name);
    if (proc != nullptr) proc(result, self, other, static_cast<int32_t>(values.size()), values.data());
    return RValue_IsReal(result) ? result.val : std::nan("");
}

class PhysicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool installed = (GameWorld_Init(), Physics_Install(), true);
        (void)installed;
        static CodeSource source;
        source.gameIsCompiled = [] { return true; };
        source.gameHasCode = [] { return true; };
        source.compiledEntry = HandlerEntry;
        Code_SetSource(&source);
        Object_FreeAll();
        Object_Init();
        Seen().clear();
        Reports().clear();
        Runtime_SetReportHooks([](const char* text, bool) { Reports().push_back(text); },
                               [](const char* text, bool) { Reports().push_back(text); });
        Runtime_SetErrorReporter([](const char* text) { Reports().push_back(text); });
    }
    void TearDown() override {
        if (m_room != nullptr) {
            Run_SetCurrentRoom(nullptr);
            delete m_room;  // its world, bodies, joints and instances
            m_room = nullptr;
        }
        for (CInstance* instance : m_instances) delete instance;
        m_instances.clear();
        for (CPhysicsWorld* world : m_worlds) delete world;
        m_worlds.clear();
        CurrentWorld() = nullptr;
        Object_FreeEventLists();
        Object_FreeAll();
        Runtime_SetReportHooks(nullptr, nullptr);
        Runtime_SetErrorReporter(nullptr);
        Code_SetSource(nullptr);
    }

    CPhysicsWorld* MakeWorld(float factor = 0.1f, int32_t speed = 60, float gx = 0.0f, float gy = 10.0f) {
        auto* world = new CPhysicsWorld(factor, speed);
        world->SetGravity(gx, gy);
        m_worlds.push_back(world);
        CurrentWorld() = world;
        return world;
    }
    // A current room with a world of its own, for the built-ins.
    CRoom* MakeRoom(float factor = 0.1f, int32_t speed = 60) {
        Room_SetLastInstanceID(100000);  // instance ids start where a game's would
        m_room = new CRoom();
        m_room->speed = speed;
        m_room->physicsWorld = new CPhysicsWorld(factor, speed);
        Run_SetCurrentRoom(m_room);
        CurrentWorld() = m_room->physicsWorld;
        return m_room;
    }
    CInstance* MakeRoomInstance(float x, float y, int32_t objectIndex) {
        return m_room->CreateInstance(x, y, objectIndex);
    }
    // Objects 0..count-1; pairs name the collision events, then the lists are built.
    void MakeObjects(int32_t count, std::vector<std::pair<int32_t, int32_t>> pairs = {}) {
        for (int32_t i = 0; i < count; ++i) Object_Add();
        for (auto [a, b] : pairs) AddCollisionEvent(a, b);
        Object_BuildEventLists();
    }
    CInstance* MakeInstance(float x, float y, int32_t objectIndex) {
        auto* instance =
            new CInstance(x, y, 100000 + static_cast<int32_t>(m_instances.size()), objectIndex, true);
        m_instances.push_back(instance);
        return instance;
    }
    // A box definition of half extents in metres; density 0 makes it static.
    static CPhysicsFixture* Box(float halfWidth, float halfHeight, float density) {
        CPhysicsFixture* fixture = Fixture_Create();
        fixture->SetBoxShape(halfWidth, halfHeight);
        fixture->density = density;
        return fixture;
    }
    static CPhysicsFixture* Circle(float radius, float density) {
        CPhysicsFixture* fixture = Fixture_Create();
        fixture->SetCircleShape(radius);
        fixture->density = density;
        return fixture;
    }
    void Forget(CInstance* instance) {
        std::erase(m_instances, instance);
        delete instance;
    }

    std::vector<CInstance*> m_instances;
    std::vector<CPhysicsWorld*> m_worlds;
    CRoom* m_room = nullptr;
};

}  // namespace physicstest
