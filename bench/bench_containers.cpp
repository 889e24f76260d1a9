// Container maps and lists against the standard library: a map of the default 4096 buckets
// filled with 1,000,000 string or real keys, every key found, every key deleted, against
// std::unordered_map; a list filled with reals against std::vector, and searched
// by value (within the data-structure precision) against std::find_if with the same
// tolerance; lists hold 100,000 values (16-byte slots against 8-byte doubles). Prints each
// speed as a fraction of the baseline's (1.0 = as fast).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "BenchRatio.h"
#include "core/Value.h"
#include "data/Support_Data_Structures.h"
#include "data/ValueCompare.h"

namespace {

constexpr int kKeys = 1000000;
constexpr int kListLength = 100000;
constexpr int kSearchLength = 2000;

std::string KeyText(int i) {
    return "key_" + std::to_string(int64_t{i} * 7919);
}

// Keys made once: strings as values and as std::string, reals as values and doubles. The
// string keys looked up are records of their own, as a game's freshly made texts would be.
struct Keys {
    std::vector<RValue> strings, queries, reals;
    std::vector<std::string> texts;
    std::vector<double> doubles;
    Keys() {
        for (int i = 0; i < kKeys; ++i) {
            texts.push_back(KeyText(i));
            doubles.push_back(i * 0.37 + 1);
            reals.push_back(RValue_Real(doubles.back()));
        }
        for (std::vector<RValue>* list : {&strings, &queries}) {
            for (const std::string& text : texts) {
                RValue s = RValue_Undefined();
                RValue_CreateString(&s, text.c_str());
                list->push_back(s);
            }
        }
    }
};
const Keys& TheKeys() {
    static const Keys keys;
    return keys;
}

const std::vector<RValue>& OurKeys(bool strings) {
    return strings ? TheKeys().strings : TheKeys().reals;
}
const std::vector<RValue>& OurQueries(bool strings) {
    return strings ? TheKeys().queries : TheKeys().reals;
}

void FillMap(CDS_Map& map, bool strings) {
    const RValue value = RValue_Real(1);
    for (const RValue& key : OurKeys(strings)) map.Add(&key, &value);
}

template <typename Key>
void FillStd(std::unordered_map<Key, double>& map, const std::vector<Key>& keys) {
    for (const Key& key : keys) map.emplace(key, 1.0);
}

template <typename Key>
const std::vector<Key>& StdKeys();
template <>
const std::vector<std::string>& StdKeys<std::string>() {
    return TheKeys().texts;
}
template <>
const std::vector<double>& StdKeys<double>() {
    return TheKeys().doubles;
}

// --- Map ----------------------------------------------------------------------------------

void Ours_MapAdd(benchmark::State& state, bool strings) {
    TheKeys();
    for (auto _ : state) {
        auto* map = new CDS_Map();
        FillMap(*map, strings);
        state.PauseTiming();
        delete map;
        state.ResumeTiming();
    }
}

void Ours_MapFind(benchmark::State& state, bool strings) {
    CDS_Map map;
    FillMap(map, strings);
    for (auto _ : state) {
        int found = 0;
        for (const RValue& key : OurQueries(strings)) found += map.Find(&key) != nullptr;
        benchmark::DoNotOptimize(found);
    }
}

void Ours_MapDelete(benchmark::State& state, bool strings) {
    TheKeys();
    for (auto _ : state) {
        state.PauseTiming();
        auto* map = new CDS_Map();
        FillMap(*map, strings);
        state.ResumeTiming();
        for (const RValue& key : OurQueries(strings)) map->Delete(&key);
        state.PauseTiming();
        delete map;
        state.ResumeTiming();
    }
}

template <typename Key>
void Baseline_MapAdd(benchmark::State& state) {
    TheKeys();
    for (auto _ : state) {
        auto* map = new std::unordered_map<Key, double>();
        FillStd(*map, StdKeys<Key>());
        state.PauseTiming();
        delete map;
        state.ResumeTiming();
    }
}

template <typename Key>
void Baseline_MapFind(benchmark::State& state) {
    std::unordered_map<Key, double> map;
    FillStd(map, StdKeys<Key>());
    for (auto _ : state) {
        int found = 0;
        for (const Key& key : StdKeys<Key>()) found += map.find(key) != map.end();
        benchmark::DoNotOptimize(found);
    }
}

template <typename Key>
void Baseline_MapDelete(benchmark::State& state) {
    TheKeys();
    for (auto _ : state) {
        state.PauseTiming();
        auto* map = new std::unordered_map<Key, double>();
        FillStd(*map, StdKeys<Key>());
        state.ResumeTiming();
        for (const Key& key : StdKeys<Key>()) map->erase(key);
        state.PauseTiming();
        delete map;
        state.ResumeTiming();
    }
}

#define MAP_BENCH(op) \
    BENCHMARK_CAPTURE(Ours_Map##op, String, true) \
        ->Name("Ours_Map" #op "String") \
        ->Unit(benchmark::kMillisecond); \
    BENCHMARK(Baseline_Map##op<std::string>) \
        ->Name("Baseline_Map" #op "String") \
        ->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(Ours_Map##op, Real, false) \
        ->Name("Ours_Map" #op "Real") \
        ->Unit(benchmark::kMillisecond); \
    BENCHMARK(Baseline_Map##op<double>)->Name("Baseline_Map" #op "Real")->Unit(benchmark::kMillisecond);
MAP_BENCH(Add)
MAP_BENCH(Find)
MAP_BENCH(Delete)

// --- List ---------------------------------------------------------------------------------

void Ours_ListAdd(benchmark::State& state) {
    TheKeys();
    for (auto _ : state) {
        auto* list = new CDS_List();
        for (int i = 0; i < kListLength; ++i) list->Add(&TheKeys().reals[i]);
        state.PauseTiming();
        delete list;
        state.ResumeTiming();
    }
}
BENCHMARK(Ours_ListAdd)->Unit(benchmark::kMillisecond);

void Baseline_ListAdd(benchmark::State& state) {
    TheKeys();
    for (auto _ : state) {
        auto* list = new std::vector<double>();
        for (int i = 0; i < kListLength; ++i) list->push_back(TheKeys().doubles[i]);
        benchmark::DoNotOptimize(list->data());
        state.PauseTiming();
        delete list;
        state.ResumeTiming();
    }
}
BENCHMARK(Baseline_ListAdd)->Unit(benchmark::kMillisecond);

// Every value of a list of kSearchLength reals looked up by value.
void Ours_ListFind(benchmark::State& state) {
    CDS_List list;
    for (int i = 0; i < kSearchLength; ++i) list.Add(&TheKeys().reals[i]);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int i = 0; i < kSearchLength; ++i) sum += list.FindIndex(&TheKeys().reals[i]);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(Ours_ListFind)->Unit(benchmark::kMillisecond);

void Baseline_ListFind(benchmark::State& state) {
    std::vector<double> list(TheKeys().doubles.begin(), TheKeys().doubles.begin() + kSearchLength);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int i = 0; i < kSearchLength; ++i) {
            const double wanted = TheKeys().doubles[i];
            const double tolerance = g_DSPrecision;
            auto it = std::find_if(list.begin(), list.end(),
                                   [&](double d) { return std::fabs(d - wanted) <= tolerance; });
            sum += it - list.begin();
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(Baseline_ListFind)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintPairs("speed of ours as a fraction of the baseline's (1.00 = as fast, higher is better):",
                        "Ours_", "Baseline_", RatioReporter::Show::SpeedRatio);
    benchmark::Shutdown();
    return 0;
}
