// Loading a 50 MB data file (strings, bytecode with its variable and function chains, objects and
// rooms) against two memcpy bounds: copying the same bytes into fresh memory (a new mapping each
// time, so every page faults in as it does in a new process), and copying them into memory already
// touched (the physical limit). Reports memcpy time / load time for each (1.0 would be a load as
// fast as the copy alone).
//
// The load starts, as in a new process, with no free memory at hand: what the previous repetition
// freed goes back to the system first (outside the timing), so its copy of the file and its tables
// pay their page faults too. The fresh baseline maps ordinary pages; the load asks huge pages for
// the file's copy (where the system gives them), which is part of what it is measured on.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/mman.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "BenchRatio.h"
#include "core/RunSwitches.h"
#include "formpack/FormWriter.h"
#include "base/CodeLink.h"
#include "base/GameFile.h"

namespace {

constexpr uint32_t kPushV = 0xC0550000u;
constexpr uint32_t kCallI = 0xD9020000u;
constexpr uint32_t kPopV = 0x45550000u;

// About 50 MB: 12,000 code entries of 1,000 words, 60,000 strings, 2,000 objects, 300 rooms.
std::vector<uint8_t> MakeFile() {
    formpack::FormFile f;
    f.header.format = 15;
    f.header.roomOrder = {0};
    formpack::Code& c = f.code.emplace();
    constexpr int kVariables = 400, kFunctions = 200, kEntries = 12000, kTriples = 166;
    for (int v = 0; v < kVariables; ++v) c.variables.push_back({"var" + std::to_string(v), -1, v, {}});
    for (int fn = 0; fn < kFunctions; ++fn) c.functions.push_back({"fn" + std::to_string(fn), {}});
    for (int e = 0; e < kEntries; ++e) {
        formpack::CodeEntry entry;
        entry.name = "code" + std::to_string(e);
        for (int t = 0; t < kTriples; ++t) {
            const uint32_t at = static_cast<uint32_t>(entry.words.size() * 4);
            const int var = (e * 7 + t) % kVariables;
            c.variables[var].sites.push_back({e, at});
            c.functions[(e + t) % kFunctions].sites.push_back({e, at + 8});
            c.variables[var].sites.push_back({e, at + 16});
            entry.words.insert(entry.words.end(),
                               {kPushV | 0xFFFF, 0xA0000000u, kCallI, 0, kPopV | 0xFFFF, 0xA0000000u});
        }
        entry.words.resize(1000, 0x9D000000u);
        c.entries.push_back(std::move(entry));
    }
    c.instanceCount = kVariables;
    for (int s = 0; s < 60000; ++s) f.strings.push_back("string number " + std::to_string(s));
    f.objects.emplace();
    for (int o = 0; o < 2000; ++o) {
        formpack::Object obj;
        obj.name = "obj" + std::to_string(o);
        for (int t = 0; t < 12; ++t) obj.events[t].push_back({0, o});
        f.objects->push_back(obj);
    }
    f.rooms.emplace();
    for (int r = 0; r < 300; ++r) {
        formpack::Room room;
        room.name = "room" + std::to_string(r);
        room.instances.resize(100);
        room.tiles.resize(50);
        f.rooms->push_back(room);
    }
    return formpack::Build(f);
}

const std::vector<uint8_t>& File() {
    static const std::vector<uint8_t> file = MakeFile();
    return file;
}

int32_t SetName(const char*, int32_t, int32_t index) {
    return 100000 + index;
}
int32_t FindFunction(const char* name) {
    return static_cast<int32_t>(std::strlen(name));
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

void BM_LoadVersusMemcpy(benchmark::State& state) {
    const std::vector<uint8_t>& file = File();
    const auto size = static_cast<uint32_t>(file.size());
    g_Switches.headless = true;
    g_CodeLink.variableSetName = SetName;
    g_CodeLink.functionFind = FindFunction;
    std::vector<uint8_t> touched(size, 0x5A);
    double loadTime = 0, copyTime = 0, touchedTime = 0;
    for (auto _ : state) {
        auto touchedStart = std::chrono::steady_clock::now();
        std::memcpy(touched.data(), file.data(), size);
        benchmark::DoNotOptimize(touched.data());
        benchmark::ClobberMemory();
        touchedTime += Seconds(touchedStart);

        auto start = std::chrono::steady_clock::now();
        void* fresh = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (fresh == MAP_FAILED) {
            state.SkipWithError("no memory for the fresh copy");
            break;
        }
        std::memcpy(fresh, file.data(), size);
        benchmark::DoNotOptimize(fresh);
        benchmark::ClobberMemory();
        munmap(fresh, size);
        copyTime += Seconds(start);

        malloc_trim(0);
        start = std::chrono::steady_clock::now();
        Form_SetData(file.data(), size);
        const bool ok = Form_FirstPass(Form_Base(), Form_Size()) && LoadGameData(Form_Base(), Form_Size());
        Form_Free();
        const double t = Seconds(start);
        loadTime += t;
        state.SetIterationTime(t);
        if (!ok) state.SkipWithError("the generated file did not load");
    }
    state.counters["MB"] = size / 1e6;
    state.counters["memcpy_over_load"] = copyTime / loadTime;
    state.counters["touched_memcpy_over_load"] = touchedTime / loadTime;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}

BENCHMARK(BM_LoadVersusMemcpy)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nload speed as a fraction of memcpy's (higher is better; target >= 0.5 of the first):\n");
    reporter.PrintCounter("  memcpy into fresh memory / load", "BM_LoadVersusMemcpy", "memcpy_over_load");
    reporter.PrintCounter("  memcpy into touched memory / load", "BM_LoadVersusMemcpy",
                          "touched_memcpy_over_load");
    benchmark::Shutdown();
    return 0;
}
