// 100,000 live particles updated and drawn every frame: one particle system (ageing, motion with
// wiggles, colour and alpha over life, size change) drawn as disk-shape quads through the vertex
// batch, against a hand-written baseline in the same run: the same number of plain particle
// structs moved and faded in a tight loop, written as quads into one array and drawn by raw GL
// into the same off-screen back buffer. Reports the time per particle of each and the ratio
// baseline / ours (1.0 would be as fast as the bare loop).
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchRatio.h"
#include "RawGlQuads.h"
#include "assets/Particle_Main.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"

namespace {

constexpr int kSide = 256;
constexpr int kParticles = 100000;
constexpr double kRad = 3.14159265358979323846 / 180.0;

int32_t g_system = -1;
std::vector<double> g_updateTimes;

// The baseline's particle: what a minimal hand-written system keeps.
struct PlainParticle {
    float x, y, speed, direction, alpha, size;
    int32_t age, life;
};
std::vector<PlainParticle> g_plain;
std::vector<RawVertex> g_quads;

void MakeParticles() {
    const int32_t type = ParticleType_Create();
    ParticleType_Shape(type, 1);
    ParticleType_Size(type, 0.2f, 0.3f, 0.0001f, 0.05f);
    ParticleType_Speed(type, 0.1f, 0.5f, 0, 0.1f);
    ParticleType_Direction(type, 0, 360, 0.5f, 10);
    ParticleType_Life(type, 1000000, 1000000);
    ParticleType_Colour2(type, 0x0000FF, 0xFF8000);
    ParticleType_Alpha2(type, 1, 0.5f);
    g_system = ParticleSystem_Create();
    for (int i = 0; i < kParticles; ++i)
        Particles_Create(g_system, static_cast<float>(i * 7 % kSide), static_cast<float>(i * 13 % kSide),
                         type, 1);
    for (int i = 0; i < kParticles; ++i) {
        g_plain.push_back({static_cast<float>(i * 7 % kSide), static_cast<float>(i * 13 % kSide), 0.3f,
                           static_cast<float>(i % 360), 1, 0.25f, 0, 1000000});
    }
    g_quads.resize(size_t{kParticles} * 6);
}

void OurFrame() {
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 1);
    const auto start = std::chrono::steady_clock::now();
    ParticleSystem_Update(g_system);
    g_updateTimes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    ParticleSystem_Draw(g_system);
    End_Frame(true);
    glFinish();
}

void BaselineFrame(RawGl& raw) {
    for (size_t i = 0; i < g_plain.size(); ++i) {
        PlainParticle& p = g_plain[i];
        ++p.age;
        p.direction += 0.5f;
        p.x += static_cast<float>(std::cos(p.direction * kRad) * p.speed);
        p.y -= static_cast<float>(std::sin(p.direction * kRad) * p.speed);
        p.alpha = 1.0f - 0.5f * static_cast<float>(p.age) / static_cast<float>(p.life);
        const float h = 32 * p.size, x = std::trunc(p.x), y = std::trunc(p.y);
        const uint32_t colour = static_cast<uint32_t>(p.alpha * 255) << 24 | 0xFF0000u;
        RawVertex* q = &g_quads[i * 6];
        q[0] = {x - h, y - h, 0, colour, 0, 0};
        q[1] = {x + h, y - h, 0, colour, 1, 0};
        q[2] = {x + h, y + h, 0, colour, 1, 1};
        q[3] = q[2];
        q[4] = {x - h, y + h, 0, colour, 0, 1};
        q[5] = q[0];
    }
    raw.Frame(g_quads);
}

void BM_ParticlesAgainstPlainLoop(benchmark::State& state) {
    OurFrame();  // the first frame binds the device's back buffer; both draw into it
    RawGl raw(true);
    BaselineFrame(raw);
    const PairedMedians times = TimeAlternately(
        state, [&] { OurFrame(); }, [&] { BaselineFrame(raw); });
    const double o = times.ours, b = times.baseline;
    state.counters["update_ns_per_particle"] = Median(g_updateTimes) / kParticles * 1e9;
    state.counters["ns_per_particle"] = o / kParticles * 1e9;
    state.counters["baseline_ns_per_particle"] = b / kParticles * 1e9;
    state.counters["ratio"] = b / o;
}

BENCHMARK(BM_ParticlesAgainstPlainLoop)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    UseSoftwareGl();
    benchmark::Initialize(&argc, argv);
    GR_Texture_Startup();
    if (!GR_D3D_Init(nullptr, kSide, kSide, 0)) {
        std::fprintf(stderr, "no GL device\n");
        return 1;
    }
    Particle_Init();
    GR_Draw_Set_Alpha(1.0f);
    MakeParticles();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const char* bm = "BM_ParticlesAgainstPlainLoop";
    std::printf(
        "particles updated and drawn: %.1f ns each, of which the update %.1f ns (plain loop + raw GL: "
        "%.1f ns)\n",
        reporter.Counter(bm, "ns_per_particle"), reporter.Counter(bm, "update_ns_per_particle"),
        reporter.Counter(bm, "baseline_ns_per_particle"));
    reporter.PrintCounter("ratio plain loop + raw GL / ours", bm, "ratio");
    Particle_Shutdown();
    GR_D3D_Shutdown();
    return 0;
}
