// The load-time bytecode check alone, single-threaded, over the code of the load benchmark's
// file (12,000 entries of 1,000 words: pushes, calls and pops with 4-byte operands, padded with
// one-word instructions), against one memcpy of the same 48 MB in the same run. Argument 4 runs
// the same code with a push of a double (three words) in place of every fourth call. Prints the
// check's speed as a fraction of memcpy's (higher is better).
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <vector>

#include "BenchRatio.h"
#include "core/Code_Variable.h"
#include "core/VMBuffer.h"

namespace {

constexpr uint32_t kPushV = 0xC0550000u;
constexpr uint32_t kCallI = 0xD9020000u;
constexpr uint32_t kPopV = 0x45550000u;
constexpr uint32_t kPushD = 0xC0000000u;
constexpr uint32_t kPopZ = 0x9D000000u;
constexpr int kEntries = 12000, kEntryWords = 1000, kVariables = 400, kFunctions = 200;
constexpr VMCodeLimits kLimits{60000, 210};

struct Code {
    std::vector<uint32_t> words;
    std::vector<VMCodeSpan> spans;
};

// The entries lie one after another, as in the file; their variable operands are the ids the
// load's link writes. With `doublesEvery` nonzero, that many push-call-pop triples in turn have
// a push of a double (three words) in place of the call.
Code MakeCode(int doublesEvery) {
    Code c;
    c.words.reserve(size_t{kEntries} * kEntryWords);
    for (int e = 0; e < kEntries; ++e) {
        const size_t end = size_t(e + 1) * kEntryWords;
        for (int t = 0; c.words.size() + 7 <= end; ++t) {
            const uint32_t variable = VARIABLE_ID_BASE + uint32_t((e * 7 + t) % kVariables);
            c.words.insert(c.words.end(), {kPushV | 0xFFFF, variable});
            if (doublesEvery > 0 && t % doublesEvery == 0) {
                c.words.insert(c.words.end(), {kPushD, 0, 0x3FF80000u});
            } else {
                c.words.insert(c.words.end(), {kCallI, uint32_t((e + t) % kFunctions)});
            }
            c.words.insert(c.words.end(), {kPopV | 0xFFFF, variable});
        }
        c.words.resize(end, kPopZ);
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(c.words.data());
    for (int e = 0; e < kEntries; ++e)
        c.spans.push_back({bytes + size_t(e) * kEntryWords * 4, kEntryWords * 4, 0});
    return c;
}

const Code& TheCode(int doublesEvery) {
    static std::map<int, Code> codes;
    auto it = codes.find(doublesEvery);
    if (it == codes.end()) it = codes.emplace(doublesEvery, MakeCode(doublesEvery)).first;
    return it->second;
}

void Memcpy(benchmark::State& state) {
    const Code& code = TheCode(static_cast<int>(state.range(0)));
    const size_t bytes = code.words.size() * 4;
    std::vector<uint8_t> copy(bytes, 0);
    for (auto _ : state) {
        std::memcpy(copy.data(), code.words.data(), bytes);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(Memcpy)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void Check(benchmark::State& state) {
    const Code& code = TheCode(static_cast<int>(state.range(0)));
    const auto count = static_cast<uint32_t>(code.spans.size());
    char reason[256] = "";
    for (auto _ : state) {
        const uint32_t failed = VMBuffer_CheckAll(code.spans.data(), count, kLimits, reason, sizeof reason);
        if (failed != count) state.SkipWithError(reason);
        benchmark::DoNotOptimize(failed);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(code.words.size() * 4));
}
BENCHMARK(Check)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintPairs("check speed as a fraction of memcpy of the same bytes (higher is better):", "Check",
                        "Memcpy", RatioReporter::Show::SpeedRatio);
    benchmark::Shutdown();
    return 0;
}
