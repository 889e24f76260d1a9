// Random draws, string_replace_all on a 1 MB text and array writes through the built-ins,
// each timed beside a plain C++ equivalent in the same iteration. The "ratio" counter is
// our time over the baseline's (above 1: slower than plain C++).
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "data/Common.h"
#include "data/Function_Math.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Ours, typename Baseline>
void Compare(benchmark::State& state, Ours ours, Baseline baseline) {
    double oursSeconds = 0, baselineSeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        ours();
        const auto t1 = Clock::now();
        baseline();
        const auto t2 = Clock::now();
        oursSeconds += std::chrono::duration<double>(t1 - t0).count();
        baselineSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["ours_ms"] = 1000 * oursSeconds / static_cast<double>(state.iterations());
    state.counters["baseline_ms"] = 1000 * baselineSeconds / static_cast<double>(state.iterations());
    state.counters["ratio"] = oursSeconds / baselineSeconds;
}

BuiltinProc Builtin(const char* name) {
    static const bool registered = (InitMathFunctions(), true);
    (void)registered;
    int32_t id = -1;
    Code_Function_Find(name, &id);
    return Code_Function_Row(id)->function;
}

RValue Text(const char* text) {
    RValue v = RValue_Undefined();
    RValue_CreateString(&v, text);
    return v;
}

constexpr int kDraws = 1 << 20;

void BM_RandomNext_vs_mt19937(benchmark::State& state) {
    Random_SetSeed(RANDOM_GAME_SEED);
    std::mt19937 baseline(RANDOM_GAME_SEED);
    Compare(
        state,
        [] {
            uint32_t sum = 0;
            for (int i = 0; i < kDraws; ++i) sum += Random_Next();
            benchmark::DoNotOptimize(sum);
        },
        [&] {
            uint32_t sum = 0;
            for (int i = 0; i < kDraws; ++i) sum += baseline();
            benchmark::DoNotOptimize(sum);
        });
}
BENCHMARK(BM_RandomNext_vs_mt19937)->Unit(benchmark::kMillisecond);

// random(1) through the built-in table against a uniform real distribution.
void BM_RandomBuiltin_vs_uniform_real(benchmark::State& state) {
    BuiltinProc random = Builtin("random");
    std::mt19937 engine(RANDOM_GAME_SEED);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    constexpr int kCalls = 1 << 18;
    Compare(
        state,
        [&] {
            double sum = 0;
            RValue arg = RValue_Real(1.0);
            for (int i = 0; i < kCalls; ++i) {
                RValue result = RValue_Undefined();
                random(result, nullptr, nullptr, 1, &arg);
                sum += result.val;
            }
            benchmark::DoNotOptimize(sum);
        },
        [&] {
            double sum = 0;
            for (int i = 0; i < kCalls; ++i) sum += uniform(engine);
            benchmark::DoNotOptimize(sum);
        });
}
BENCHMARK(BM_RandomBuiltin_vs_uniform_real)->Unit(benchmark::kMillisecond);

// One megabyte of text with a match every 12 bytes.
std::string MegabyteText() {
    std::string text;
    while (text.size() < (1u << 20)) text += "lorem ipsum ";
    return text;
}

void BM_StringReplaceAll_vs_std_string(benchmark::State& state) {
    BuiltinProc replaceAll = Builtin("string_replace_all");
    const std::string text = MegabyteText();
    RValue args[3] = {Text(text.c_str()), Text("ipsum"), Text("IPSUM!")};
    size_t oursLength = 0, baselineLength = 0;
    Compare(
        state,
        [&] {
            RValue result = RValue_Undefined();
            replaceAll(result, nullptr, nullptr, 3, args);
            oursLength = result.str->length;
            RValue_Release(&result);
        },
        [&] {
            std::string out;
            size_t from = 0;
            for (size_t at; (at = text.find("ipsum", from)) != std::string::npos; from = at + 5) {
                out.append(text, from, at - from);
                out += "IPSUM!";
            }
            out.append(text, from, std::string::npos);
            baselineLength = out.size();
        });
    if (oursLength != baselineLength) state.SkipWithError("results differ");
    for (RValue& a : args) RValue_Release(&a);
}
BENCHMARK(BM_StringReplaceAll_vs_std_string)->Unit(benchmark::kMillisecond);

// array_set through the built-in table over a growing array against std::vector writes.
void BM_ArraySet_vs_vector(benchmark::State& state) {
    BuiltinProc arraySet = Builtin("array_set");
    constexpr int kCells = 1 << 16;
    Compare(
        state,
        [&] {
            RValue array = RValue_Undefined();
            RValue zero = RValue_Real(0);
            RValue_SetIndexed(&array, &zero, 0);
            RValue args[3] = {array, RValue_Real(0), RValue_Real(0)};
            for (int i = 0; i < kCells; ++i) {
                args[1].val = i;  // from 32000 on, row 1
                args[2].val = i;
                RValue result = RValue_Undefined();
                arraySet(result, nullptr, nullptr, 3, args);
            }
            RValue_Release(&array);
        },
        [&] {
            std::vector<double> cells(1, 0.0);
            for (int i = 0; i < kCells; ++i) {
                if (static_cast<size_t>(i) >= cells.size()) cells.resize(i + 1);
                cells[i] = i;
            }
            benchmark::DoNotOptimize(cells.data());
        });
}
BENCHMARK(BM_ArraySet_vs_vector)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintCounters("ours / baseline time (lower is better):", "ratio");
    benchmark::Shutdown();
    return 0;
}
