// The memory manager against plain malloc/free on the same mixed small-block workload: random
// sizes of 1..128 bytes with a few larger blocks, freed in random order from a live set.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchRatio.h"
#include "core/MemoryManager.h"

namespace {

constexpr size_t kLiveSlots = 4096;
constexpr size_t kSteps = 1 << 16;

// One step replaces the block in a random slot with a new block of a random size.
struct Workload {
    std::vector<uint32_t> slot;
    std::vector<uint32_t> size;
};

const Workload& TheWorkload() {
    static const Workload workload = [] {
        Workload w;
        std::mt19937 random(20240611);
        std::uniform_int_distribution<uint32_t> slotOf(0, kLiveSlots - 1);
        std::uniform_int_distribution<uint32_t> small(1, 128);
        std::uniform_int_distribution<uint32_t> large(129, 2048);
        std::uniform_int_distribution<int> percent(0, 99);
        for (size_t i = 0; i < kSteps; ++i) {
            w.slot.push_back(slotOf(random));
            w.size.push_back(percent(random) < 95 ? small(random) : large(random));
        }
        return w;
    }();
    return workload;
}

struct MallocHeap {
    static void* Alloc(uint32_t size) { return std::malloc(size); }
    static void Free(void* p) { std::free(p); }
};

struct ManagerHeap {
    static void* Alloc(uint32_t size) { return MEM_ALLOC_RAW(size); }
    static void Free(void* p) { MEM_FREE(p); }
};

template <typename Heap>
void BM_MixedSmallBlocks(benchmark::State& state) {
    const Workload& w = TheWorkload();
    std::vector<void*> live(kLiveSlots, nullptr);
    for (auto _ : state) {
        for (size_t i = 0; i < kSteps; ++i) {
            void*& slot = live[w.slot[i]];
            Heap::Free(slot);
            slot = Heap::Alloc(w.size[i]);
            *static_cast<char*>(slot) = 1;  // touch it, as a caller would
        }
        benchmark::ClobberMemory();
    }
    for (void*& p : live) Heap::Free(p);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSteps));
}

// The same run with a second thread alive, as in the runner: neither heap may then skip its
// locking on the grounds that the process has one thread.
template <typename Heap>
void BM_MixedSmallBlocksThreaded(benchmark::State& state) {
    std::atomic<bool> stop{false};
    std::thread companion([&stop] {
        while (!stop.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    BM_MixedSmallBlocks<Heap>(state);
    stop = true;
    companion.join();
}

BENCHMARK(BM_MixedSmallBlocks<MallocHeap>)->Name("malloc/mixed");
BENCHMARK(BM_MixedSmallBlocks<ManagerHeap>)->Name("manager/mixed");
BENCHMARK(BM_MixedSmallBlocksThreaded<MallocHeap>)->Name("malloc/mixed_threaded");
BENCHMARK(BM_MixedSmallBlocksThreaded<ManagerHeap>)->Name("manager/mixed_threaded");

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* variant : {"mixed", "mixed_threaded"}) {
        const double ours = reporter.Counter(std::string("manager/") + variant, "items_per_second");
        const double base = reporter.Counter(std::string("malloc/") + variant, "items_per_second");
        if (ours > 0 && base > 0) std::printf("manager / malloc (%s): %.2fx\n", variant, ours / base);
    }
    benchmark::Shutdown();
    return 0;
}
