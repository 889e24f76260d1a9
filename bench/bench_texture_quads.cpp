// Textured quads into the vertex batch: GR_TPE_Draw_Ext (a page entry, scaled, rotated and
// tinted) against a plain loop that turns the same corners and writes the same six vertices
// into an array. Both run in one program on the same machine load; the counter "ratio" is
// the plain loop's median frame time over ours (1.0 means no overhead; the aim is 0.5 or better).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "BenchRatio.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"

namespace {

constexpr int kQuads = 1000;

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

TexturePageEntry* Entry() {
    static TexturePageEntry entry = [] {
        TextureRecord* record = TextureRecord_Init(256, 256, 1);
        const int32_t id = GR_Texture_Add_Record(record, 256, 256);
        return TexturePageEntry{32, 48, 30, 28, 1, 2, 30, 28, 32, 32, static_cast<int16_t>(id)};
    }();
    return &entry;
}

void OursFrame(TexturePageEntry* entry) {
    for (int q = 0; q < kQuads; ++q) {
        GR_TPE_Draw_Ext(entry, 16, 16, float(q % 640), float(q % 480), 1.5f, 1.5f, 0.3f + q * 1e-4f, 0x80FF40,
                        0.75f);
    }
    benchmark::DoNotOptimize(g_Batch.vertices);
    GraphicsFlush();
}

void PlainFrame(const TexturePageEntry& e, Vertex* v) {
    const float inv = 1.0f / 256;
    for (int q = 0; q < kQuads; ++q) {
        const float x = float(q % 640), y = float(q % 480), angle = 0.3f + q * 1e-4f;
        const float s = std::sin(angle), c = std::cos(angle);
        const float left = (e.targetX - 16) * 1.5f, top = (e.targetY - 16) * 1.5f;
        const float right = left + 1.5f * e.targetWidth, bottom = top + 1.5f * e.targetHeight;
        const float px[4] = {left, right, right, left};
        const float py[4] = {top, top, bottom, bottom};
        const float u0 = e.sourceX * inv, u1 = (e.sourceX + e.sourceWidth) * inv;
        const float v0 = e.sourceY * inv, v1 = (e.sourceY + e.sourceHeight) * inv;
        const float u[4] = {u0, u1, u1, u0};
        const float w[4] = {v0, v0, v1, v1};
        for (int k : {0, 1, 2, 2, 3, 0}) {
            *v++ = {x + px[k] * c + py[k] * s, y - px[k] * s + py[k] * c, 0, 0xBF40FF80u, u[k], w[k]};
        }
    }
    benchmark::ClobberMemory();
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Each iteration draws one frame of quads each way; the ratio comes from the median times.
void TexturedQuads(benchmark::State& state) {
    g_BatchMethod = 2;  // system memory: no device needed
    TexturePageEntry* entry = Entry();
    std::vector<Vertex> plain(size_t{kQuads} * 6);
    std::vector<double> ours, baseline;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        OursFrame(entry);
        auto t1 = std::chrono::steady_clock::now();
        PlainFrame(*entry, plain.data());
        auto t2 = std::chrono::steady_clock::now();
        ours.push_back(Seconds(t1 - t0));
        baseline.push_back(Seconds(t2 - t1));
    }
    std::sort(ours.begin(), ours.end());
    std::sort(baseline.begin(), baseline.end());
    const double oursMedian = ours[ours.size() / 2], plainMedian = baseline[baseline.size() / 2];
    state.counters["ours_quads_per_s"] = kQuads / oursMedian;
    state.counters["plain_quads_per_s"] = kQuads / plainMedian;
    state.counters["ratio"] = plainMedian / oursMedian;
}

}  // namespace

BENCHMARK(TexturedQuads)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintCounters("textured quads, plain GL / ours time (higher is better):", "ratio");
    benchmark::Shutdown();
    return 0;
}
