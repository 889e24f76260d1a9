// Collision queries over 10,000 instances: collision_rectangle and place_meeting against an
// object, answered by scanning the object's instances (list mode) and by the collision tree
// (tree mode), in one run. Reports each mode's time per query and the tree's speed-up.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>

#include "BenchRatio.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "world/Collision_Main.h"
#include "base/GameOptions.h"
#include "world/GameWorld.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"
#include "world/Run_Command.h"
#include "world/World_Services.h"

namespace {

constexpr int kInstances = 10000;
constexpr int kQueries = 2000;

bool Square(int32_t sprite, SpriteCollisionShape* out) {
    if (sprite != 0) return false;
    *out = SpriteCollisionShape{0, 0, 15, 15, 0, 0, 16, 16, 1, false};
    return true;
}

struct Scene {
    CRoom room;
    int32_t object = -1;
    CInstance* probe = nullptr;

    Scene() {
        GameWorld_Init();
        Object_Init();
        WorldServices services;
        services.spriteMask = Square;
        World_InstallServices(&services);
        object = Object_Add();
        Object_Find(object)->spriteIndex = 0;
        const int32_t probeObject = Object_Add();
        Object_Find(probeObject)->spriteIndex = 0;
        room.width = room.height = 4000;
        Run_SetCurrentRoom(&room);
        std::mt19937 random(1);
        for (int i = 0; i < kInstances; ++i)
            room.CreateInstance(static_cast<float>(random() % 4000), static_cast<float>(random() % 4000),
                                object);
        probe = room.CreateInstance(0, 0, probeObject);
    }

    void UseTree(bool tree) {
        g_GameOptions.collisionTreeMode = tree;
        Collision_Reset();
        for (CInstance* i = room.active.head; i != nullptr; i = i->depthNext) i->ComputeBoundingBox(false);
        if (tree) Collision_Rebuild();
    }

    // Nanoseconds per query over a fixed set of probes.
    double Time(int32_t& hits) {
        std::mt19937 random(2);
        const auto start = std::chrono::steady_clock::now();
        for (int q = 0; q < kQueries; ++q) {
            const float x = static_cast<float>(random() % 4000), y = static_cast<float>(random() % 4000);
            hits += Command_CollisionRectangle(probe, x, y, x + 40, y + 40, object, false, true) != nullptr;
            hits += Command_PlaceMeeting(probe, object, x, y);
        }
        const auto spent = std::chrono::steady_clock::now() - start;
        return std::chrono::duration<double, std::nano>(spent).count() / (2.0 * kQueries);
    }
};

void BM_CollisionQueries_TreeAgainstList(benchmark::State& state) {
    static Scene scene;
    double list = 0, tree = 0;
    int32_t listHits = 0, treeHits = 0;
    for (auto _ : state) {
        scene.UseTree(false);
        list += scene.Time(listHits);
        scene.UseTree(true);
        tree += scene.Time(treeHits);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["list_ns_per_query"] = list / runs;
    state.counters["tree_ns_per_query"] = tree / runs;
    state.counters["tree_speedup"] = list / tree;
    if (listHits != treeHits) state.SkipWithError("the two modes answered differently");
}
BENCHMARK(BM_CollisionQueries_TreeAgainstList)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintCounters("collision queries, list / tree time (higher is better):", "tree_speedup");
    benchmark::Shutdown();
    return 0;
}
