// Typed u32 writes and reads of 10 million values into a 40 MB buffer, through the buffer's
// own calls (what buffer_write / buffer_read run) and through the built-ins' rows of the
// function table (after the runner's early start-up), each against one memcpy of the same 40 MB in the same
// run. Builtin_Empty calls a row that only sets its result, 10 million times: the floor any row call stands
// on. Prints the speed of each as a fraction of memcpy's (higher is better).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "app/Halvane.h"
#include "core/Code_Function.h"
#include "core/RunSwitches.h"
#include "core/Value.h"
#include "io/Buffer_Manager.h"

namespace {

constexpr int32_t kValues = 10 * 1000 * 1000;
constexpr int32_t kBytes = kValues * 4;

// Fresh blocks are mapped lazily: touch every page first, as the baseline's vectors are, so
// page faults are not what is timed.
IBuffer* Touched(IBuffer* buffer) {
    std::memset(buffer->GetData(), 0x5A, size_t(buffer->GetSize()));
    return buffer;
}

void Baseline_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> source(kBytes, 0x5A), destination(kBytes, 0);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), kBytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Baseline_Memcpy)->Unit(benchmark::kMillisecond);

void Buffer_WriteU32(benchmark::State& state) {
    Buffer_Standard buffer(kBytes, eBufferType_Fixed, 4);
    IBuffer* target = Touched(&buffer);
    RValue value = RValue_Real(0);
    for (auto _ : state) {
        target->Seek(0, 0);
        for (int32_t i = 0; i < kValues; ++i) {
            value.val = i;
            target->Write(eBuffer_U32, &value);
        }
        benchmark::DoNotOptimize(buffer.GetData());
    }
}
BENCHMARK(Buffer_WriteU32)->Unit(benchmark::kMillisecond);

void Buffer_ReadU32(benchmark::State& state) {
    Buffer_Standard buffer(kBytes, eBufferType_Fixed, 4);
    IBuffer* source = Touched(&buffer);
    RValue out = RValue_Undefined();
    for (auto _ : state) {
        source->Seek(0, 0);
        // Every value read is used: its bits are folded into a sum held in a register. An
        // integer sum adds a one-cycle step per read; a DoNotOptimize per value would instead
        // store the value and make every field of the buffer be loaded again on each read.
        uint64_t bits = 0;
        for (int32_t i = 0; i < kValues; ++i) {
            source->Read(eBuffer_U32, &out);
            bits += out.v64;
        }
        benchmark::DoNotOptimize(bits);
    }
    RValue_Release(&out);
}
BENCHMARK(Buffer_ReadU32)->Unit(benchmark::kMillisecond);

const BuiltinFunction* Row(const char* name) {
    if (Code_Function_Count() == 0) InitBufferFunctions();
    int32_t id = -1;
    Code_Function_Find(name, &id);
    return Code_Function_Row(id);
}

void Builtin_WriteU32(benchmark::State& state) {
    const BuiltinFunction* write = Row("buffer_write");
    const int32_t index = Buffer_Create(kBytes, eBufferType_Fixed, 4);
    Touched(Buffer_GetByIndex(index));
    RValue args[3] = {RValue_Real(index), RValue_Real(eBuffer_U32), RValue_Real(0)};
    for (auto _ : state) {
        Buffer_GetByIndex(index)->Seek(0, 0);
        for (int32_t i = 0; i < kValues; ++i) {
            args[2].val = i;
            RValue result = RValue_Undefined();
            write->function(result, nullptr, nullptr, 3, args);
            benchmark::DoNotOptimize(result.val);
        }
    }
    Buffer_Free(index);
}
BENCHMARK(Builtin_WriteU32)->Unit(benchmark::kMillisecond);

void Builtin_ReadU32(benchmark::State& state) {
    const BuiltinFunction* read = Row("buffer_read");
    const int32_t index = Buffer_Create(kBytes, eBufferType_Fixed, 4);
    Touched(Buffer_GetByIndex(index));
    RValue args[2] = {RValue_Real(index), RValue_Real(eBuffer_U32)};
    for (auto _ : state) {
        Buffer_GetByIndex(index)->Seek(0, 0);
        for (int32_t i = 0; i < kValues; ++i) {
            RValue result = RValue_Undefined();
            read->function(result, nullptr, nullptr, 2, args);
            benchmark::DoNotOptimize(result.val);
        }
    }
    Buffer_Free(index);
}
BENCHMARK(Builtin_ReadU32)->Unit(benchmark::kMillisecond);

// A row with no work, called through a pointer the compiler cannot see through, as the table's are.
void EmptyRow(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(0.0);
}

void Builtin_Empty(benchmark::State& state) {
    BuiltinProc volatile proc = EmptyRow;
    RValue args[2] = {RValue_Real(0), RValue_Real(eBuffer_U32)};
    for (auto _ : state) {
        for (int32_t i = 0; i < kValues; ++i) {
            RValue result = RValue_Undefined();
            proc(result, nullptr, nullptr, 2, args);
            benchmark::DoNotOptimize(result.val);
        }
    }
}
BENCHMARK(Builtin_Empty)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The rows run after the runner's own early start-up, with the hooks it installs, as a game's do.
    g_Switches.headless = true;
    Runner_EarlyInit();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintAgainst(
        "speed as a fraction of memcpy of the same 40 MB (higher is better; targets: buffer calls >= 0.3, "
        "built-in rows >= 0.15):",
        "Baseline_Memcpy", RatioReporter::Show::SpeedRatio);
    benchmark::Shutdown();
    return 0;
}
