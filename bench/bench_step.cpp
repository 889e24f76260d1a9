// The step-event stage over 10,000 instances whose Step handler adds 1 to an instance variable,
// against a plain C++ loop calling the same handler through a function pointer on the same
// instances; and a whole DoAStep of that room. Prints the speed ratio (target >= 0.2), the
// DoAStep time in milliseconds and the core count.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "BenchRatio.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/Variable.h"
#include "formpack/FormWriter.h"
#include "world/Event_Main.h"
#include "base/GameCode.h"
#include "base/GameFile.h"
#include "app/GameLoopHarness.h"
#include "world/GameWorld.h"
#include "app/HalvaneM.h"
#include "base/LoadGame.h"
#include "app/MainLoop.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/TimeLine.h"

namespace {

constexpr int kInstances = 10000;

void AddOne(CInstance* self, CInstance*) {
    RValue* value = self->GetSlot(0);
    if (value->kind != VALUE_REAL) *value = RValue_Real(0.0);
    value->val += 1.0;
}

CompiledCodeEntry g_codeTable[] = {{"noop", nullptr}, {"add_one", reinterpret_cast<void*>(&AddOne)}};
std::vector<CInstance*> g_instances;

// A game of one object with a Step handler, in a room of 10,000 of its instances.
void StartGame10k() {
    static bool started = false;
    if (started) return;
    started = true;
    g_Switches.headless = true;
    GameWorld_Init();
    GameCode_Install();
    formpack::FormFile f;
    f.header.roomOrder = {0};
    formpack::Object a;
    a.name = "A";
    a.events[EVENT_STEP].push_back({0, 1});
    f.objects.emplace().push_back(a);
    formpack::Room room;
    room.name = "room";
    f.rooms.emplace().push_back(room);
    f.code.emplace().empty = true;
    const std::vector<uint8_t> bytes = formpack::Build(f);
    auto* record = static_cast<GameLinkRecord*>(MEM_ALLOC(sizeof(GameLinkRecord)));
    record->codeCount = 2;
    record->codeTable = g_codeTable;
    g_LoadState.linkRecord = record;
    g_LoadState.codeCount = 2;
    Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()));
    Form_FirstPass(Form_Base(), Form_Size());
    LoadGameData(Form_Base(), Form_Size());
    TimeLine_Prepare();
    Object_Prepare();
    g_VariableSettings.instanceSlotCount = 4;
    Harness_UseVirtualClock(0);
    Run_InitGlobals();
    g_RunnerRunning = 1;
    StartGame();
    MainLoop_Begin();
    for (int i = 0; i < kInstances; ++i)
        g_instances.push_back(Run_Room()->CreateInstance(static_cast<float>(i % 640), 10.0f, 0));
}

void Ours_StepStage(benchmark::State& state) {
    StartGame10k();
    for (auto _ : state) HandleStep(STEP_NORMAL);
    state.SetItemsProcessed(state.iterations() * kInstances);
}
BENCHMARK(Ours_StepStage)->Unit(benchmark::kMicrosecond);

void Baseline_StepStage(benchmark::State& state) {
    StartGame10k();
    void (*volatile handler)(CInstance*, CInstance*) = &AddOne;
    for (auto _ : state) {
        for (CInstance* instance : g_instances) handler(instance, instance);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kInstances);
}
BENCHMARK(Baseline_StepStage)->Unit(benchmark::kMicrosecond);

void Ours_DoAStep(benchmark::State& state) {
    StartGame10k();
    for (auto _ : state) DoAStep();
}
BENCHMARK(Ours_DoAStep)->Unit(benchmark::kMillisecond);

void PrintSummary(const RatioReporter& reporter) {
    const double ours = reporter.Time("Ours_StepStage"), baseline = reporter.Time("Baseline_StepStage");
    if (ours > 0 && baseline > 0)
        std::printf("\nstep stage speed, ours / plain loop (higher is better, target >= 0.2): %.2f\n",
                    baseline / ours);
    if (const double step = reporter.Time("Ours_DoAStep"))
        std::printf("whole DoAStep over %d instances: %.3f ms\n", kInstances, step);
    std::printf("cores: %u\n", std::thread::hardware_concurrency());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
