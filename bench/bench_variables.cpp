// Variable access against a plain std::unordered_map<int, RValue>: reads and writes by slot
// (an instance's slot hash through Variable_GetValue / Variable_SetValue), by name (an
// object's variable list, CRC-32 of the name per access) and one collection over 100,000
// live objects against one walk over a map of as many values. Prints ours / baseline.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "BenchRatio.h"
#include "core/GarbageCollector.h"
#include "core/Instance.h"
#include "core/ObjectBase.h"
#include "core/Variable.h"
#include "core/VariableList.h"

namespace {

constexpr int kVariables = 32;
constexpr int kObjects = 100000;

const char* const kNames[] = {"x_speed", "score", "health", "target_id", "state", "timer", "angle", "colour"};
constexpr int kNameCount = 8;

void Vars_ReadBySlot(benchmark::State& state) {
    g_VariableSettings.instanceSlotCount = kVariables;
    CInstance instance(0, 0, 100001, -1, false);
    for (int i = 0; i < kVariables; ++i) *instance.GetSlot(i) = RValue_Real(i);
    RValue out = RValue_Undefined();
    int i = 0;
    for (auto _ : state) {
        Variable_GetValue(&instance, 100000 + i, ARRAY_INDEX_WHOLE, &out);
        benchmark::DoNotOptimize(out.val);
        i = (i + 1) & (kVariables - 1);
    }
}
BENCHMARK(Vars_ReadBySlot);

void Baseline_ReadBySlot(benchmark::State& state) {
    std::unordered_map<int, RValue> map;
    for (int i = 0; i < kVariables; ++i) map[100000 + i] = RValue_Real(i);
    RValue out = RValue_Undefined();
    int i = 0;
    for (auto _ : state) {
        out = map.find(100000 + i)->second;
        benchmark::DoNotOptimize(out.val);
        i = (i + 1) & (kVariables - 1);
    }
}
BENCHMARK(Baseline_ReadBySlot);

void Vars_WriteBySlot(benchmark::State& state) {
    g_VariableSettings.instanceSlotCount = kVariables;
    CInstance instance(0, 0, 100001, -1, false);
    RValue value = RValue_Real(2.5);
    int i = 0;
    for (auto _ : state) {
        Variable_SetValue(&instance, 100000 + i, ARRAY_INDEX_WHOLE, &value);
        i = (i + 1) & (kVariables - 1);
    }
    benchmark::DoNotOptimize(instance.GetSlot(0)->val);
}
BENCHMARK(Vars_WriteBySlot);

void Baseline_WriteBySlot(benchmark::State& state) {
    std::unordered_map<int, RValue> map;
    RValue value = RValue_Real(2.5);
    int i = 0;
    for (auto _ : state) {
        map[100000 + i] = value;
        i = (i + 1) & (kVariables - 1);
    }
    benchmark::DoNotOptimize(map.size());
}
BENCHMARK(Baseline_WriteBySlot);

void Vars_ReadByName(benchmark::State& state) {
    PWObjectBase* object = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    for (int i = 0; i < kNameCount; ++i) object->AddReal(kNames[i], i, 7);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object->FindName(kNames[i])->val);
        i = (i + 1) & (kNameCount - 1);
    }
    PWObjectBase_Free(object);
}
BENCHMARK(Vars_ReadByName);

// The same map, keyed by the hash of the name.
void Baseline_ReadByName(benchmark::State& state) {
    std::unordered_map<int, RValue> map;
    std::hash<std::string_view> hash;
    for (int i = 0; i < kNameCount; ++i) map[int(hash(kNames[i]))] = RValue_Real(i);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(int(hash(kNames[i])))->second.val);
        i = (i + 1) & (kNameCount - 1);
    }
}
BENCHMARK(Baseline_ReadByName);

void Vars_WriteByName(benchmark::State& state) {
    PWObjectBase* object = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    int i = 0;
    for (auto _ : state) {
        object->AddReal(kNames[i], 1.5, 7);
        i = (i + 1) & (kNameCount - 1);
    }
    PWObjectBase_Free(object);
}
BENCHMARK(Vars_WriteByName);

void Baseline_WriteByName(benchmark::State& state) {
    std::unordered_map<int, RValue> map;
    std::hash<std::string_view> hash;
    int i = 0;
    for (auto _ : state) {
        map[int(hash(kNames[i]))] = RValue_Real(1.5);
        i = (i + 1) & (kNameCount - 1);
    }
    benchmark::DoNotOptimize(map.size());
}
BENCHMARK(Baseline_WriteByName);

// 100,000 objects, each with two slots, held by one array of the global object: nothing is
// freed, so every pass marks them all.
void Vars_Collect(benchmark::State& state) {
    g_VariableSettings.objectMode = true;
    PWObjectBase* global = PWObjectBase_Alloc(1, VALUE_UNSET, true);
    g_GlobalObject = global;
    for (int i = 0; i < kObjects; ++i) {
        PWObjectBase* object = PWObjectBase_Alloc(2, VALUE_UNSET, true);
        object->slots[0] = RValue_Real(i);
        RValue value = RValue_Undefined();
        value.obj = object;
        value.kind = VALUE_OBJECT;
        RValue_SetIndexed(&global->slots[0], &value, i);
    }
    for (auto _ : state) VM_CollectGarbage(nullptr);
    state.counters["table"] = GCTable_Count();
    g_GlobalObject = nullptr;
    PWObjectBase_Free(global);
    VM_CollectGarbage(nullptr);  // frees the objects the array held
    g_VariableSettings.objectMode = false;
}
BENCHMARK(Vars_Collect)->Unit(benchmark::kMillisecond);

void Baseline_Collect(benchmark::State& state) {
    std::unordered_map<int, RValue> map;
    for (int i = 0; i < kObjects; ++i) map[i] = RValue_Real(i);
    for (auto _ : state) {
        uint32_t kinds = 0;
        for (auto& [key, value] : map) kinds += value.kind + value.flags;
        benchmark::DoNotOptimize(kinds);
    }
}
BENCHMARK(Baseline_Collect)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintPairs("ratio ours / std::unordered_map<int, RValue> (lower is better):", "Vars_",
                        "Baseline_", RatioReporter::Show::TimeRatio);
    benchmark::Shutdown();
    return 0;
}
