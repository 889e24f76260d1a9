// Value operations against the same loops on std::string and std::vector<double>:
// assignment and release, string concatenation, and array element writes both through the
// owner (in place) and through a second holder (copy on write). Prints ours / baseline.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "core/Value.h"

namespace {

const char* kText = "a string long enough to live on the heap";
constexpr int kArrayLength = 1000;

void Values_AssignRelease(benchmark::State& state) {
    RValue source = RValue_Undefined();
    RValue_CreateString(&source, kText);
    RValue dest = RValue_Undefined();
    for (auto _ : state) {
        RValue_Assign(&dest, &source);
        benchmark::DoNotOptimize(dest.str);
        RValue_Release(&dest);
    }
    RValue_Release(&source);
}
BENCHMARK(Values_AssignRelease);

void Baseline_AssignRelease(benchmark::State& state) {
    std::string source = kText;
    for (auto _ : state) {
        std::string dest = source;
        benchmark::DoNotOptimize(dest.data());
    }
}
BENCHMARK(Baseline_AssignRelease);

void Values_Concat(benchmark::State& state) {
    RValue left = RValue_Undefined(), right = RValue_Undefined();
    RValue_CreateString(&left, kText);
    RValue_CreateString(&right, " and its tail");
    for (auto _ : state) {
        const SharedString* a = left.str;
        const SharedString* b = right.str;
        RValue result = RValue_Undefined();
        result.kind = VALUE_STRING;
        result.str = SharedString_Alloc(a->length + b->length);
        std::memcpy(result.str->text, a->text, size_t(a->length));
        std::memcpy(result.str->text + a->length, b->text, size_t(b->length) + 1);
        benchmark::DoNotOptimize(result.str->text);
        RValue_Release(&result);
    }
    RValue_Release(&left);
    RValue_Release(&right);
}
BENCHMARK(Values_Concat);

void Baseline_Concat(benchmark::State& state) {
    std::string left = kText, right = " and its tail";
    for (auto _ : state) {
        std::string result = left + right;
        benchmark::DoNotOptimize(result.data());
    }
}
BENCHMARK(Baseline_Concat);

RValue MakeArray() {
    RValue array = RValue_Undefined();
    for (int i = kArrayLength - 1; i >= 0; --i) {
        RValue item = RValue_Real(i);
        RValue_SetIndexed(&array, &item, i);
    }
    return array;
}

void Values_ArrayWriteInPlace(benchmark::State& state) {
    RValue array = MakeArray();
    RValue item = RValue_Real(1.5);
    int32_t i = 0;
    for (auto _ : state) {
        RValue_SetIndexed(&array, &item, i);
        i = (i + 1) % kArrayLength;
    }
    benchmark::DoNotOptimize(array.arr->rows[0].items);
    RValue_Release(&array);
}
BENCHMARK(Values_ArrayWriteInPlace);

void Baseline_ArrayWriteInPlace(benchmark::State& state) {
    std::vector<double> array(kArrayLength);
    size_t i = 0;
    for (auto _ : state) {
        array[i] = 1.5;
        benchmark::DoNotOptimize(array.data());
        i = (i + 1) % kArrayLength;
    }
}
BENCHMARK(Baseline_ArrayWriteInPlace);

// B = A, then one write through B: the first write copies the whole array.
void Values_ArrayWriteCopyOnWrite(benchmark::State& state) {
    RValue array = MakeArray();
    RValue item = RValue_Real(1.5);
    int32_t i = 0;
    for (auto _ : state) {
        RValue other = RValue_Undefined();
        RValue_Assign(&other, &array);
        RValue_SetIndexed(&other, &item, i);
        benchmark::DoNotOptimize(other.arr);
        RValue_Release(&other);
        i = (i + 1) % kArrayLength;
    }
    RValue_Release(&array);
}
BENCHMARK(Values_ArrayWriteCopyOnWrite);

void Baseline_ArrayWriteCopyOnWrite(benchmark::State& state) {
    std::vector<double> array(kArrayLength);
    size_t i = 0;
    for (auto _ : state) {
        std::vector<double> other = array;
        other[i] = 1.5;
        benchmark::DoNotOptimize(other.data());
        i = (i + 1) % kArrayLength;
    }
}
BENCHMARK(Baseline_ArrayWriteCopyOnWrite);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintPairs("ratio ours / baseline (lower is better):", "Values_", "Baseline_",
                        RatioReporter::Show::TimeRatio);
    benchmark::Shutdown();
    return 0;
}
