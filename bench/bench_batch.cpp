// Quads per second through the vertex batch (GR_Batch_Alloc, writing the vertices, the
// flush at frame end) against raw GL drawing the same quads from one prepared vertex array
// with a program of its own, into the same back buffer of the same off-screen context.
// Each iteration draws one frame each way and waits for it, so both see the same machine
// load; the ratio is taken from the median frame times. The aim is 0.8 or better.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchRatio.h"
#include "RawGlQuads.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"

namespace {

constexpr int kSide = 256;
constexpr int kQuads = 10000;

std::vector<RawVertex> g_quads;  // six vertices a quad

void PrepareQuads() {
    for (int i = 0; i < kQuads; ++i) {
        const float x = static_cast<float>(i * 7 % (kSide - 4)), y = static_cast<float>(i * 13 % (kSide - 4));
        const uint32_t colour = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
        const RawVertex quad[6] = {{x, y, 0, colour, 0, 0},         {x + 2, y, 0, colour, 1, 0},
                                   {x, y + 2, 0, colour, 0, 1},     {x + 2, y, 0, colour, 1, 0},
                                   {x + 2, y + 2, 0, colour, 1, 1}, {x, y + 2, 0, colour, 0, 1}};
        g_quads.insert(g_quads.end(), quad, quad + 6);
    }
}

void BatchFrame() {
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 1);
    for (int q = 0; q < kQuads; ++q) {
        void* vertices = GR_Batch_Alloc(D3DPT_TRIANGLELIST, nullptr, GR_FORMAT_XYZCUV, 6);
        std::memcpy(vertices, &g_quads[static_cast<size_t>(q) * 6], 6 * sizeof(RawVertex));
    }
    End_Frame(true);
    glFinish();
}

void BM_BatchAgainstRawGl(benchmark::State& state) {
    BatchFrame();  // the first frame binds the device's back buffer; both draw into it
    RawGl raw(false);
    raw.Frame(g_quads);
    const PairedMedians times = TimeAlternately(
        state, [&] { BatchFrame(); }, [&] { raw.Frame(g_quads); });
    const double batch = times.ours, rawTime = times.baseline;
    const double ratio = rawTime / batch;
    state.counters["batch_quads_per_s"] = kQuads / batch;
    state.counters["raw_quads_per_s"] = kQuads / rawTime;
    state.counters["ratio"] = ratio;
}

BENCHMARK(BM_BatchAgainstRawGl)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    UseSoftwareGl();
    benchmark::Initialize(&argc, argv);
    PrepareQuads();
    if (!GR_D3D_Init(nullptr, kSide, kSide, 0)) {
        std::fprintf(stderr, "no GL device\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintCounter("ratio batch/raw GL quads per second (target >= 0.80)", "BM_BatchAgainstRawGl",
                          "ratio");
    GR_D3D_Shutdown();
    return 0;
}
