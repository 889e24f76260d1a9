// 20,000 liquid particles stepped once a frame in a physics world: a pool resting in a box of
// four static walls, stepped through the world's own frame (sub-steps at the update speed, the
// particles after each). The baseline, in the same run, is Box2D alone stepping a world of
// 20,000 dynamic circle bodies of the particles' size heaped in the same box, one step of
// 1/60 s with the world's 10 iterations: what the same amount of liquid would cost made of
// bodies. Reports the time per particle and per body a frame,
// and the ratio body / particle (above 1: a particle is cheaper than a body).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "core/Instance.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_Main.h"
#include "physics/Physics_Particle.h"
#include "physics/Physics_World.h"
#include "world/GameWorld.h"
#include "world/Object_Main.h"

namespace {

constexpr int kParticles = 20000;
constexpr float kRadius = 0.25f;
constexpr float kHalfWidth = 94.5f, kHalfHeight = 20.0f;

struct Walls {
    std::vector<std::unique_ptr<CInstance>> instances;
};

const float kWalls[4][4] = {{0, kHalfHeight + 1, kHalfWidth + 2, 1},
                            {0, -kHalfHeight - 1, kHalfWidth + 2, 1},
                            {-kHalfWidth - 1, 0, 1, kHalfHeight + 2},
                            {kHalfWidth + 1, 0, 1, kHalfHeight + 2}};

// The four walls as static boxes bound to instances, as a room would have them.
void AddWalls(CPhysicsWorld& world, Walls& walls) {
    for (const auto& b : kWalls) {
        walls.instances.push_back(std::make_unique<CInstance>(
            b[0], b[1], 100000 + static_cast<int32_t>(walls.instances.size()), 0, true));
        CPhysicsFixture* fixture = Fixture_Create();
        fixture->SetBoxShape(b[2], b[3]);
        world.BindFixture(fixture, walls.instances.back().get(), 0, 0);
        Fixture_Delete(fixture->id);
    }
}

struct Scene {
    std::unique_ptr<CPhysicsWorld> liquid;
    Walls liquidWalls;
    b2World bodies{b2Vec2(0, 10)};

    Scene() {
        GameWorld_Init();
        Physics_Install();
        Object_Init();
        Object_Add();
        liquid = std::make_unique<CPhysicsWorld>(1.0f, 60);
        liquid->SetGravity(0, 10);
        AddWalls(*liquid, liquidWalls);
        CPhysicsParticleSystem& particles = liquid->Particles();
        particles.SetRadius(kRadius);
        ParticleGroupDef& def = particles.PendingGroup();
        def.shape = ParticleGroupDef::BOX;
        def.halfWidth = 93.9f;  // 501 x 41 lattice points, trimmed to 20,000
        def.halfHeight = 7.6f;
        def.position = b2Vec2(0, kHalfHeight - 7.9f);
        particles.EndGroup();
        for (int32_t i = particles.Count() - 1; i >= kParticles; --i) particles.DestroyParticle(i);

        for (const auto& b : kWalls) {
            b2BodyDef def;
            def.position.Set(b[0], b[1]);
            b2PolygonShape box;
            box.SetAsBox(b[2], b[3]);
            bodies.CreateBody(&def)->CreateFixture(&box, 0.0f);
        }
        b2CircleShape circle;
        circle.m_radius = kRadius;
        for (int32_t i = 0; i < kParticles; ++i) {
            b2BodyDef def;
            def.type = b2_dynamicBody;
            // Side by side without overlapping, as bodies must start.
            def.position.Set(-kHalfWidth + 1.0f + 0.55f * static_cast<float>(i % 340),
                             kHalfHeight - 0.3f - 0.55f * static_cast<float>(i / 340));
            b2Body* body = bodies.CreateBody(&def);
            body->CreateFixture(&circle, 1.0f);
        }
        // Both settle for two seconds first: the benchmark measures resting liquid.
        for (int frame = 0; frame < 120; ++frame) {
            liquid->Step(60, false);
            bodies.Step(1.0f / 60, 10, 10);
        }
    }
};

template <typename StepFrame>
double Seconds(int frames, StepFrame step) {
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < frames; ++frame) step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ParticleFrame_AgainstBodies(benchmark::State& state) {
    static Scene scene;
    constexpr int kFrames = 10;
    double particles = 0, bodies = 0;
    for (auto _ : state) {
        particles += Seconds(kFrames, [] { scene.liquid->Step(60, false); });
        bodies += Seconds(kFrames, [] { scene.bodies.Step(1.0f / 60, 10, 10); });
    }
    const double frames = static_cast<double>(state.iterations()) * kFrames;
    state.counters["particles"] = scene.liquid->Particles().Count();
    state.counters["ns_per_particle_frame"] = particles / frames / kParticles * 1e9;
    state.counters["ns_per_body_frame"] = bodies / frames / kParticles * 1e9;
    state.counters["body_over_particle"] = bodies / particles;
}
BENCHMARK(BM_ParticleFrame_AgainstBodies)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
