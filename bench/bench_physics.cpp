// 1,000 boxes dropped on a floor and left to settle, 300 frames at one library step a frame:
// through the runner's physics layer (a room's world, fixtures bound to instances, the contact
// filter and listener, write-back and collision events) and through Box2D driven directly with
// the same bodies, in one run. Reports each side's steps per second and their ratio.
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>

#include <chrono>
#include <memory>

#include "core/Code_Main.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_Main.h"
#include "physics/Physics_World.h"
#include "world/Event_Main.h"
#include "world/GameWorld.h"
#include "world/Object_Class.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Room_Main.h"
#include "world/Run.h"

namespace {

constexpr int kColumns = 25, kRows = 40;  // 1,000 boxes
constexpr int kFrames = 300;
constexpr float kFactor = 0.05f;    // metres per pixel
constexpr float kHalfBox = 8.0f;    // pixels
constexpr float kSpacing = 20.0f;   // pixels between box centres
constexpr float kFloorY = 1000.0f;  // pixels
constexpr float kFloorHalfWidth = 400.0f;

void Collided(CInstance*, CInstance*) {}

bool Handler(int32_t, CompiledEntryInfo* out) {
    out->entry = nullptr;
    out->name = "collision";
    out->function = reinterpret_cast<void*>(&Collided);
    return true;
}

// Gives object a collision event with other, so that their fixtures meet.
void AddCollisionEvent(int32_t object, int32_t other) {
    EventList& list = Object_Find(object)->eventLists[EVENT_COLLISION];
    if (list.count <= other) {
        list.events = static_cast<CEvent**>(MEM_REALLOC(list.events, (other + 1) * sizeof(CEvent*)));
        for (int32_t i = list.count; i <= other; ++i) list.events[i] = nullptr;
        list.count = other + 1;
    }
    list.events[other] = new CEvent();
    list.events[other]->Load(0);
}

float BoxX(int i) {
    return 100.0f + static_cast<float>(i % kColumns) * kSpacing + static_cast<float>(i / kColumns % 2) * 3.0f;
}
float BoxY(int i) {
    return kFloorY - 40.0f - static_cast<float>(i / kColumns) * kSpacing;
}

// Seconds for kFrames frames of a fresh scene through the runner's layer.
double RunnerScene() {
    static const bool ready = [] {
        GameWorld_Init();
        Physics_Install();
        static CodeSource source;
        source.gameIsCompiled = [] { return true; };
        source.gameHasCode = [] { return true; };
        source.compiledEntry = Handler;
        Code_SetSource(&source);
        Object_Init();
        const int32_t box = Object_Add(), floor = Object_Add();
        AddCollisionEvent(box, box);
        AddCollisionEvent(box, floor);
        Object_BuildEventLists();
        return true;
    }();
    (void)ready;
    Room_SetLastInstanceID(100000);
    auto room = std::make_unique<CRoom>();
    room->speed = 60;
    room->physicsWorld = new CPhysicsWorld(kFactor, 60);
    Run_SetCurrentRoom(room.get());
    CPhysicsFixture* box = Fixture_Create();
    box->SetBoxShape(kHalfBox * kFactor, kHalfBox * kFactor);
    box->density = 1.0f;
    box->friction = 0.6f;
    CPhysicsFixture* floor = Fixture_Create();
    floor->SetBoxShape(kFloorHalfWidth * kFactor, 10.0f * kFactor);
    room->physicsWorld->BindFixture(floor, room->CreateInstance(400.0f, kFloorY, 1), 0, 0);
    for (int i = 0; i < kColumns * kRows; ++i)
        room->physicsWorld->BindFixture(box, room->CreateInstance(BoxX(i), BoxY(i), 0), 0, 0);
    Fixture_Delete(box->id);
    Fixture_Delete(floor->id);
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < kFrames; ++frame) room->physicsWorld->Step(60, false);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Run_SetCurrentRoom(nullptr);
    return seconds;
}

// The same bodies, steps and iterations straight through the library.
double LibraryScene() {
    b2World world(b2Vec2(0.0f, 10.0f));
    b2BodyDef floorDef;
    floorDef.position.Set(400.0f * kFactor, kFloorY * kFactor);
    b2PolygonShape floorShape;
    floorShape.SetAsBox(kFloorHalfWidth * kFactor, 10.0f * kFactor);
    b2FixtureDef floorFixture;
    floorFixture.shape = &floorShape;
    floorFixture.friction = 0.2f;
    world.CreateBody(&floorDef)->CreateFixture(&floorFixture);
    b2PolygonShape boxShape;
    boxShape.SetAsBox(kHalfBox * kFactor, kHalfBox * kFactor);
    b2FixtureDef boxFixture;
    boxFixture.shape = &boxShape;
    boxFixture.density = 1.0f;
    boxFixture.friction = 0.6f;
    for (int i = 0; i < kColumns * kRows; ++i) {
        b2BodyDef def;
        def.type = b2_dynamicBody;
        def.position.Set(BoxX(i) * kFactor, BoxY(i) * kFactor);
        world.CreateBody(&def)->CreateFixture(&boxFixture);
    }
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < kFrames; ++frame) {
        world.Step(1.0f / 60.0f, 10, 10);
        world.ClearForces();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Physics_1000BoxesSettling(benchmark::State& state) {
    double ours = 0, library = 0;
    for (auto _ : state) {
        ours += RunnerScene();
        library += LibraryScene();
    }
    const double frames = static_cast<double>(state.iterations()) * kFrames;
    state.counters["runner_steps_per_s"] = frames / ours;
    state.counters["box2d_steps_per_s"] = frames / library;
    state.counters["runner_over_box2d_time"] = ours / library;
}
BENCHMARK(BM_Physics_1000BoxesSettling)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
