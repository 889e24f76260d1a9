// The operator handlers in real programs: a loop summing 1..10,000,000 as reals and a
// recursive fib(27), in bytecode, against the same programs in Lua 5.4 in the same run.
// The Runner_ rows run them as a game gets them: after the runner's own early start-up, with
// the interpreter hooks it installs (the message pump live, the object-mode question, its
// argument rows). The Bare_ rows run the interpreter with no hooks at all, the floor.
// Prints ours / Lua's speed for each (higher is better; 1.0 is Lua's speed). On a shared machine
// take repetitions interleaved, so that a slow spell falls on every row alike:
//   --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "app/Halvane.h"
#include "asm/Assembler.h"
#include "base/CodeLink.h"
#include "core/Code_Main.h"
#include "core/Instance.h"
#include "core/RunSwitches.h"
#include "core/ObjectBase.h"
#include "core/Script_Main.h"
#include "core/VM.h"
#include "core/Variable.h"

namespace {

constexpr int kLoopN = 10000000;
constexpr int kFibN = 27;

std::deque<std::vector<uint32_t>> g_code;
int32_t g_arg0 = -1;
// The hooks the runner installs, and none.
VMHooks g_runnerHooks;
const VMHooks g_bareHooks;

int32_t AddCode(const std::string& text) {
    hvasm::Assembly assembly;
    std::string error;
    if (!hvasm::Assemble(text, hvasm::Names{}, &assembly, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
    g_code.push_back(assembly.words);
    return static_cast<int32_t>(g_code.size() - 1);
}

void Setup() {
    static bool done = false;
    if (done) return;
    done = true;
    CodeSource source;
    source.gameHasCode = [] { return true; };
    source.bytecodeEntry = [](int32_t index, CodeEntryInfo* out) {
        if (index < 0 || index >= static_cast<int32_t>(g_code.size())) return false;
        auto& words = g_code[static_cast<size_t>(index)];
        *out = CodeEntryInfo{
            "bench", reinterpret_cast<uint8_t*>(words.data()), static_cast<uint32_t>(4 * words.size()), 0, 4,
            0};
        return true;
    };
    // The runner's early start-up: its hooks, its built-in variable rows, its globals.
    g_Switches.headless = true;
    Runner_EarlyInit();
    g_runnerHooks = VM_HookTable;
    // What the loader does with a data file's variable counts (two locals here, in slots).
    g_CodeLink.initVariableTables(4, 4, 4);
    Code_SetSource(&source);
    g_arg0 = Variable_BuiltIn_Find("argument0");
    if (g_GlobalObject == nullptr) g_GlobalObject = PWObjectBase_Alloc(4, VALUE_UNSET, true);
    Script_Init(4);
    const std::string a = "push.b.v @" + std::to_string(g_arg0) + "\n";
    Script_Set(0, "fib",
               AddCode(a + "push.i 2\nset.i.v 0x0100\nbf rec\n" + a + "ret.v\nrec:\n" + a +
                       "push.i 1\nsub.i.v\ncall.i 100000 1\n" + a +
                       "push.i 2\nsub.i.v\ncall.i 100000 1\nadd.v.v\nret.v\n"),
               nullptr);
    Script_Get(0)->Compile();
}

CCode* LoopCode() {
    static CCode* code = nullptr;
    if (code) return code;
    Setup();
    const int32_t index = AddCode(
        "push.d 0\npop.v.d local.@100001\npush.i 1\npop.v.i local.@100000\ntop:\n"
        "push.l.v local.@100000\npush.i " +
        std::to_string(kLoopN) +
        "\nconv.i.v\nset.v.v 0x0600\nbt done\n"
        "push.l.v local.@100001\npush.l.v local.@100000\nadd.v.v\npop.v.v local.@100001\n"
        "push.l.v local.@100000\npush.i 1\nconv.i.v\nadd.v.v\npop.v.v local.@100000\n"
        "b top\ndone:\npush.l.v local.@100001\nret.v\n");
    code = Code_Get(Code_AddCode(index, 0));
    return code;
}

CCode* FibCode() {
    static CCode* code = nullptr;
    if (code) return code;
    Setup();
    code = Code_Get(
        Code_AddCode(AddCode("push.i " + std::to_string(kFibN) + "\nconv.i.v\ncall.i 100000 1\nret.v\n"), 0));
    return code;
}

double RunOurs(CCode* code) {
    CInstance self(0, 0, 100001, -1, false);
    RValue result = RValue_Undefined();
    VM::Exec(code, &self, &self, &result);
    return result.val;
}

double RunLua(const char* program) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    luaL_dostring(L, program);
    const double r = lua_tonumber(L, -1);
    lua_close(L);
    return r;
}

const std::string kLuaLoop = "local n = 0.0 local i = 1 while not (i > " + std::to_string(kLoopN) +
                             ") do n = n + i i = i + 1 end return n";
const std::string kLuaFib =
    "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end "
    "return fib(" +
    std::to_string(kFibN) + ")";

void Check(double got, double want, const char* what) {
    if (got != want) std::fprintf(stderr, "%s gave %.17g, expected %.17g\n", what, got, want);
}

void Loop(benchmark::State& state, const VMHooks& hooks) {
    CCode* code = LoopCode();
    VM_Install(&hooks);
    for (auto _ : state) Check(RunOurs(code), 50000005000000.0, "loop");
}
void Fib(benchmark::State& state, const VMHooks& hooks) {
    CCode* code = FibCode();
    VM_Install(&hooks);
    for (auto _ : state) Check(RunOurs(code), 196418.0, "fib");
}
void Runner_LoopSum(benchmark::State& state) {
    Loop(state, g_runnerHooks);
}
void Bare_LoopSum(benchmark::State& state) {
    Loop(state, g_bareHooks);
}
void Lua_LoopSum(benchmark::State& state) {
    for (auto _ : state) Check(RunLua(kLuaLoop.c_str()), 50000005000000.0, "lua loop");
}
void Runner_Fib(benchmark::State& state) {
    Fib(state, g_runnerHooks);
}
void Bare_Fib(benchmark::State& state) {
    Fib(state, g_bareHooks);
}
void Lua_Fib(benchmark::State& state) {
    for (auto _ : state) Check(RunLua(kLuaFib.c_str()), 196418.0, "lua fib");
}
BENCHMARK(Runner_LoopSum)->Unit(benchmark::kMillisecond);
BENCHMARK(Bare_LoopSum)->Unit(benchmark::kMillisecond);
BENCHMARK(Lua_LoopSum)->Unit(benchmark::kMillisecond);
BENCHMARK(Runner_Fib)->Unit(benchmark::kMillisecond);
BENCHMARK(Bare_Fib)->Unit(benchmark::kMillisecond);
BENCHMARK(Lua_Fib)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Set up before any run, so that every row (and the order they run in) sees the same state.
    LoopCode();
    FibCode();
    RatioReporter reporter(RatioReporter::Clock::Cpu);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf(
        "\nspeed relative to Lua 5.4 (higher is better; targets as a game runs: loop >= 1.2, fib >= 0.9):\n");
    const auto show = RatioReporter::Show::SpeedRatio;
    reporter.PrintRatio("  loop sum, as a game runs it", "Runner_LoopSum", "Lua_LoopSum", show);
    reporter.PrintRatio("  loop sum, no hooks", "Bare_LoopSum", "Lua_LoopSum", show);
    reporter.PrintRatio("  fib(27), as a game runs it", "Runner_Fib", "Lua_Fib", show);
    reporter.PrintRatio("  fib(27), no hooks", "Bare_Fib", "Lua_Fib", show);
    benchmark::Shutdown();
    return 0;
}
