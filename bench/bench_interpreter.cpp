// Interpreter dispatch: a run of 2,000 instructions (push.i.i and a store into a local slot)
// through the prepared handler table, against the same code through the debugger loop, which
// decodes every word again. Prints prepared / decoding.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "asm/Assembler.h"
#include "core/Code_Main.h"
#include "core/Instance.h"
#include "core/VM.h"
#include "core/Variable.h"

namespace {

std::vector<uint32_t> g_words;

CCode* MakeCode() {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "push.i.i " + std::to_string(i) + "\npop.v.i local.@100000\n";
    hvasm::Assembly assembly;
    std::string error;
    if (!hvasm::Assemble(text, hvasm::Names{}, &assembly, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
    g_words = assembly.words;
    CodeSource source;
    source.gameHasCode = [] { return true; };
    source.bytecodeEntry = [](int32_t, CodeEntryInfo* out) {
        *out = CodeEntryInfo{"bench",
                             reinterpret_cast<uint8_t*>(g_words.data()),
                             static_cast<uint32_t>(4 * g_words.size()),
                             0,
                             2,
                             0};
        return true;
    };
    Code_SetSource(&source);
    return new CCode(0, 0);
}

void Run(benchmark::State& state, bool decoding) {
    static CCode* code = MakeCode();
    VMHooks hooks;
    if (decoding) hooks.debuggerConnected = [] { return true; };
    VM_Install(&hooks);
    CInstance self(0, 0, 100001, -1, false);
    for (auto _ : state) {
        RValue result = RValue_Undefined();
        VM::Exec(code, &self, &self, &result);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * 2000);
    VM_Install(nullptr);
}

void VM_PreparedDispatch(benchmark::State& state) {
    Run(state, false);
}
void Baseline_DecodingDispatch(benchmark::State& state) {
    Run(state, true);
}
BENCHMARK(VM_PreparedDispatch);
BENCHMARK(Baseline_DecodingDispatch);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(RatioReporter::Clock::Cpu);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    reporter.PrintRatio("ratio prepared / decoding dispatch (lower is better)", "VM_PreparedDispatch",
                        "Baseline_DecodingDispatch", RatioReporter::Show::TimeRatio);
    benchmark::Shutdown();
    return 0;
}
