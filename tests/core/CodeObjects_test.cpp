// Code objects, their execution and the script table, against a fake game: a compiled code
// table, bytecode entries with debug information, and global initialisers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Code_Main.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/Script_Main.h"
#include "core/VMBuffer.h"
#include "core/Value.h"

namespace {

// --- The fake game -----------------------------------------------------------------------

struct FakeGame {
    bool compiled = false;
    bool hasBytecode = false;
    std::vector<CompiledEntryInfo> table;  // compiled code table
    std::vector<CodeEntryInfo> entries;    // bytecode entries
    std::vector<const char*> sources;      // debug source per entry
    std::vector<std::vector<int32_t>> lines;
    std::vector<int32_t> globalInits;
    bool objectMode = false;
};
FakeGame g_game;

struct Call {
    std::string what;
    CInstance* self;
    CInstance* other;
};
std::vector<Call> g_calls;
std::vector<std::string> g_reports;  // "report:" or "show:" with "fatal " and the text

void RecordEvent(const char* what, CInstance* self, CInstance* other) {
    g_calls.push_back({what, self, other});
}

void EventA(CInstance* self, CInstance* other) {
    RecordEvent("A", self, other);
}
void EventB(CInstance* self, CInstance* other) {
    RecordEvent("B", self, other);
}
void EventFailing(CInstance* self, CInstance* other) {
    RecordEvent("failing", self, other);
    Runtime_Error("bad thing %d", 7);
}

// A script that adds its two arguments and keeps a copy of what it saw.
std::vector<double> g_seenArguments;
RValue* ScriptAdd(CInstance*, CInstance*, RValue* result, int32_t argc, RValue** args) {
    g_seenArguments.clear();
    for (int32_t i = 0; i < argc; ++i) g_seenArguments.push_back(args[i]->val);
    RValue sum = RValue_Real(args[0]->val + args[1]->val);
    RValue_Assign(result, &sum);
    return result;
}

uint8_t g_bytes[64] = {};

CInstance* const kSelf = reinterpret_cast<CInstance*>(0x1000);
CInstance* const kOther = reinterpret_cast<CInstance*>(0x2000);
CInstance* const kGlobal = reinterpret_cast<CInstance*>(0x3000);

void InstallFake() {
    CodeSource source;
    source.gameIsCompiled = [] { return g_game.compiled; };
    source.gameHasCode = [] { return g_game.compiled || g_game.hasBytecode; };
    source.compiledEntry = [](int32_t i, CompiledEntryInfo* out) {
        if (i < 0 || i >= static_cast<int32_t>(g_game.table.size())) return false;
        *out = g_game.table[i];
        return true;
    };
    source.bytecodeEntry = [](int32_t i, CodeEntryInfo* out) {
        if (i < 0 || i >= static_cast<int32_t>(g_game.entries.size())) return false;
        *out = g_game.entries[i];
        return true;
    };
    source.debugSource = [](int32_t i) {
        return i >= 0 && i < static_cast<int32_t>(g_game.sources.size()) ? g_game.sources[i] : nullptr;
    };
    source.debugLines = [](int32_t i, const int32_t** words, uint32_t* count) {
        if (i < 0 || i >= static_cast<int32_t>(g_game.lines.size())) return false;
        *words = g_game.lines[i].data();
        *count = static_cast<uint32_t>(g_game.lines[i].size());
        return true;
    };
    Code_SetSource(&source);
    ScriptEnvironment environment;
    environment.globalInitCount = [] { return static_cast<uint32_t>(g_game.globalInits.size()); };
    environment.globalInit = [](uint32_t i) { return g_game.globalInits[i]; };
    environment.objectMode = [] { return g_game.objectMode; };
    Script_SetEnvironment(&environment);
    Script_SetGlobalObjectSource([] { return kGlobal; });
    Runtime_SetReportHooks(
        [](const char* text, bool fatal) {
            g_reports.push_back(std::string("report:") + (fatal ? "fatal " : "") + text);
        },
        [](const char* text, bool fatal) {
            g_reports.push_back(std::string("show:") + (fatal ? "fatal " : "") + text);
        });
}

class CodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_game = FakeGame();
        g_calls.clear();
        g_reports.clear();
        g_RuntimeErrorFlag = false;
        g_RuntimeErrorsSuppressed = false;
        Runtime_SetErrorText("");
        InstallFake();
    }
    void TearDown() override {
        Script_Free();
        Code_Shutdown();
        Code_SetSource(nullptr);
        Code_SetBytecodeRunner(nullptr);
        Script_SetEnvironment(nullptr);
        Script_SetGlobalObjectSource(nullptr);
        Runtime_SetReportHooks(nullptr, nullptr);
        g_RuntimeErrorsSuppressed = false;
        g_Switches.codeExecutionOff = false;
    }

    static void CompiledGame() {
        g_game.compiled = true;
        g_game.table = {{&g_game, "hvs_A", reinterpret_cast<void*>(EventA)},
                        {&g_game, "hvs_B", reinterpret_cast<void*>(EventB)},
                        {&g_game, "hvs_Script_add", reinterpret_cast<void*>(ScriptAdd)},
                        {&g_game, "hvs_Failing", reinterpret_cast<void*>(EventFailing)}};
    }
    static void BytecodeGame() {
        g_game.hasBytecode = true;
        g_game.entries = {{"gml_first", g_bytes, 16, 0, 2, 1},
                          {"gml_second", g_bytes, 32, 8, 0, 0},
                          {"gml_empty", g_bytes, 0, 0, 0, 0}};
        g_game.sources = {"x = 1;\ny = 2;", nullptr, nullptr};
        g_game.lines = {{0, 0, 8, 7}};
    }
};

// --- Code objects --------------------------------------------------------------------------

TEST_F(CodeTest, CompiledCodeBindsTheTableEntry) {
    CompiledGame();
    CCode code(1, 0);
    EXPECT_STREQ(code.name, "hvs_B");
    EXPECT_EQ(code.compiledFunction, reinterpret_cast<void*>(EventB));
    EXPECT_EQ(code.buffer, nullptr);
    EXPECT_STREQ(code.text, "");
    EXPECT_EQ(code.source, code.text);

    CCode outside(99, 0);
    EXPECT_EQ(outside.compiledFunction, nullptr);
    EXPECT_EQ(outside.name, nullptr);
    EXPECT_STREQ(outside.text, "");
}

TEST_F(CodeTest, BytecodeBindsBufferDebugTableAndSource) {
    BytecodeGame();
    CCode first(0, 0);
    ASSERT_NE(first.buffer, nullptr);
    EXPECT_EQ(first.buffer->length, 16);
    EXPECT_EQ(first.buffer->code, g_bytes);
    EXPECT_EQ(first.locals, 2);
    EXPECT_EQ(first.arguments, 1);
    EXPECT_STREQ(first.name, "gml_first");
    EXPECT_STREQ(first.text, "x = 1;\ny = 2;");
    ASSERT_NE(first.debugTable, nullptr);
    EXPECT_EQ(first.debugTable->length, 16);

    CCode second(1, 0);
    EXPECT_EQ(second.start, 8);
    EXPECT_EQ(second.text, nullptr);  // no debug information
    EXPECT_EQ(second.debugTable, nullptr);

    CCode outside(7, 0);
    EXPECT_EQ(outside.buffer, nullptr);
    EXPECT_EQ(outside.name, nullptr);
    EXPECT_STREQ(outside.text, "");
}

TEST_F(CodeTest, CodeListHoldsIndexedObjectsNewestFirst) {
    BytecodeGame();
    const int32_t before = Code_ListCount();
    {
        CCode a(0, 0);
        CCode b(1, 0);
        CCode unlisted(-1, 0);
        EXPECT_EQ(Code_ListCount(), before + 2);
        EXPECT_EQ(Code_ListHead(), &b);
        EXPECT_EQ(b.next, &a);
    }
    EXPECT_EQ(Code_ListCount(), before);
}

TEST_F(CodeTest, CodeTableAddsNullForMinusOneOrAGameWithoutCode) {
    EXPECT_EQ(Code_AddCode(0, 0), 0);  // no code in the game
    EXPECT_EQ(Code_Get(0), nullptr);
    BytecodeGame();
    EXPECT_EQ(Code_AddCode(-1, 0), 1);
    EXPECT_EQ(Code_Get(1), nullptr);
    EXPECT_EQ(Code_AddCode(1, 0), 2);
    ASSERT_NE(Code_Get(2), nullptr);
    EXPECT_STREQ(Code_Get(2)->name, "gml_second");
    for (int i = 0; i < 40; ++i) Code_AddCode(0, 0);  // grows past its first capacity
    EXPECT_EQ(Code_Count(), 43);
    EXPECT_EQ(Code_Get(43), nullptr);
    EXPECT_EQ(Code_Get(-1), nullptr);
    Code_Shutdown();
    EXPECT_EQ(Code_Count(), 0);
}

// --- Execution -----------------------------------------------------------------------------

TEST_F(CodeTest, ExecuteCallsTheCompiledFunctionWithSelfAndOther) {
    CompiledGame();
    CCode code(0, 0);
    EXPECT_TRUE(Code_Execute(kSelf, kOther, &code, nullptr, 0));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].what, "A");
    EXPECT_EQ(g_calls[0].self, kSelf);
    EXPECT_EQ(g_calls[0].other, kOther);
    EXPECT_TRUE(Code_Execute(kSelf, kOther, nullptr, nullptr, 0));  // nothing to run
}

TEST_F(CodeTest, OldExecRunsNothingAndLeavesTheResult) {
    CompiledGame();
    CCode code(0, 0);
    g_Switches.codeExecutionOff = true;
    RValue result = RValue_Real(5);
    EXPECT_TRUE(Code_ExecuteValue(kSelf, kOther, &code, &result, 0));
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(result.kind, VALUE_REAL);
    EXPECT_EQ(result.val, 5);
}

TEST_F(CodeTest, BytecodeGoesToTheInterpreterWhenItHasCode) {
    BytecodeGame();
    static std::vector<std::string> ran;
    ran.clear();
    Code_SetBytecodeRunner([](CCode* code, CInstance*, CInstance*, RValue*) {
        ran.push_back(code->name);
        return std::string(code->name) != "gml_second";
    });
    CCode first(0, 0), second(1, 0), empty(2, 0);
    EXPECT_TRUE(Code_Execute(kSelf, kOther, &first, nullptr, 0));
    EXPECT_TRUE(Code_Execute(kSelf, kOther, &empty, nullptr, 0));
    EXPECT_FALSE(Code_Execute(kSelf, kOther, &second, nullptr, 0));  // the run failed
    EXPECT_EQ(ran, (std::vector<std::string>{"gml_first", "gml_second"}));
}

TEST_F(CodeTest, AnErrorFlagLeftByTheRunMakesItFail) {
    CompiledGame();
    CCode failing(3, 0);
    g_RuntimeErrorsSuppressed = true;  // errors only set the flag

    EXPECT_FALSE(Code_Execute(kSelf, kOther, &failing, nullptr, 0));
    EXPECT_TRUE(g_RuntimeErrorFlag);

    RValue result = RValue_Real(1);
    EXPECT_FALSE(Code_ExecuteValue(kSelf, kOther, &failing, &result, 0));
    ASSERT_EQ(result.kind, VALUE_STRING);
    EXPECT_STREQ(RValue_GetStringText(&result), "ERROR");
    RValue_Release(&result);

    EXPECT_FALSE(Code_ExecuteReport(kSelf, kOther, &failing, nullptr, 0));
    EXPECT_FALSE(g_RuntimeErrorFlag);
    EXPECT_EQ(g_reports, (std::vector<std::string>{"report:bad thing 7"}));

    CCode fine(0, 0);
    EXPECT_TRUE(Code_Execute(kSelf, kOther, &fine, nullptr, 0));  // the flag is cleared first
}

// --- Scripts -------------------------------------------------------------------------------

TEST_F(CodeTest, ScriptTableLookups) {
    BytecodeGame();
    Script_Init(4);
    Script_Set(0, "scr_a", 0, nullptr);
    Script_Set(2, "scr_dup", 1, nullptr);
    Script_Set(3, "scr_dup", 0, nullptr);
    EXPECT_EQ(Script_Count(), 4);
    EXPECT_EQ(Script_Find("scr_dup"), 3);  // the higher index
    EXPECT_EQ(Script_Find("scr_a"), 0);
    EXPECT_EQ(Script_Find("SCR_A"), -1);  // case-sensitive
    EXPECT_EQ(Script_Find("missing"), -1);
    EXPECT_FALSE(Script_Exists(1));  // a gap
    EXPECT_EQ(Script_Get(1), nullptr);
    EXPECT_STREQ(Script_GetName(1), "<undefined>");
    EXPECT_STREQ(Script_GetName(-1), "<undefined>");
    EXPECT_STREQ(Script_GetName(4), "<undefined>");
    EXPECT_STREQ(Script_GetName(2), "scr_dup");
    EXPECT_EQ(Script_Get(2)->CodeIndex(), 1);
}

TEST_F(CodeTest, ScriptsOfAGameWithoutCodeKeepTheirTextAndDoNotCompile) {
    Script_Init(1);
    Script_Set(0, "scr_text", 5, "return 1;");
    EXPECT_STREQ(Script_Get(0)->GetText(), "return 1;");
    EXPECT_EQ(Script_Get(0)->CodeIndex(), -1);
    EXPECT_FALSE(Script_Prepare());
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].rfind("show:fatal COMPILATION ERROR in Script: scr_text\n", 0), 0u)
        << g_reports[0];
}

TEST_F(CodeTest, CompiledScriptRunsWithPointerArgumentsWhichAreReleasedAfterwards) {
    CompiledGame();
    Script_Init(2);
    Script_Set(1, "scr_add", 2, nullptr);
    ASSERT_TRUE(Script_Prepare());

    RValue args[2] = {RValue_Real(2), RValue_Real(40)};
    RValue* const outerArgs = reinterpret_cast<RValue*>(0x77);
    VM_Args = outerArgs;
    VM_ArgCount = 9;
    RValue result = RValue_Undefined();
    EXPECT_TRUE(Script_Run(1, kSelf, kOther, 2, &result, args));
    EXPECT_EQ(result.kind, VALUE_REAL);
    EXPECT_EQ(result.val, 42);
    EXPECT_EQ(g_seenArguments, (std::vector<double>{2, 40}));
    EXPECT_EQ(args[0].kind, VALUE_UNDEFINED);
    EXPECT_EQ(args[1].kind, VALUE_UNDEFINED);
    EXPECT_EQ(VM_Args, outerArgs);
    EXPECT_EQ(VM_ArgCount, 9);
    VM_Args = nullptr;
    VM_ArgCount = 0;

    EXPECT_FALSE(Script_Run(0, kSelf, kOther, 0, &result, nullptr));  // no script there
    EXPECT_FALSE(Script_Run(5, kSelf, kOther, 0, &result, nullptr));
}

TEST_F(CodeTest, CompiledScriptWithABadCodeIndexFailsToCompile) {
    CompiledGame();
    Script_Init(2);
    Script_Set(0, "scr_fine", 2, nullptr);
    Script_Set(1, "scr_broken", 17, nullptr);
    EXPECT_FALSE(Script_Prepare());
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].rfind("show:fatal COMPILATION ERROR in Script: scr_broken\n", 0), 0u)
        << g_reports[0];
}

TEST_F(CodeTest, FailedBytecodeScriptPrefixesTheErrorText) {
    BytecodeGame();
    Code_SetBytecodeRunner([](CCode*, CInstance*, CInstance*, RValue*) {
        Runtime_SetErrorText("division by zero");
        return false;
    });
    Script_Init(2);
    Script_Set(0, "scr_bad", 0, nullptr);
    Script_Set(1, "scr_nothing", 2, nullptr);
    ASSERT_TRUE(Script_Prepare());
    RValue result = RValue_Undefined();
    EXPECT_FALSE(Script_Run(0, kSelf, kOther, 0, &result, nullptr));
    EXPECT_STREQ(Runtime_ErrorText(), "In script scr_bad:\ndivision by zero");
    EXPECT_STREQ(RValue_GetStringText(&result), "ERROR");
    RValue_Release(&result);

    // Empty bytecode runs nothing and leaves the arguments alone.
    RValue arg = RValue_Real(3);
    EXPECT_TRUE(Script_Run(1, kSelf, kOther, 1, &result, &arg));
    EXPECT_EQ(arg.kind, VALUE_REAL);
}

TEST_F(CodeTest, PrepareRunsGlobalInitialisersInOrderOnTheGlobalObject) {
    CompiledGame();
    g_game.globalInits = {1, 0, 1};
    const int32_t listed = Code_ListCount();
    ASSERT_TRUE(Script_Prepare());
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].what, "B");
    EXPECT_EQ(g_calls[1].what, "A");
    EXPECT_EQ(g_calls[2].what, "B");
    EXPECT_EQ(g_calls[0].self, kGlobal);
    EXPECT_EQ(g_calls[0].other, kGlobal);
    EXPECT_EQ(Code_ListCount(), listed);  // their code objects are gone again
}

TEST_F(CodeTest, AFailingGlobalInitialiserIsReportedAndPreparationGoesOn) {
    CompiledGame();
    g_game.globalInits = {3, 0};
    g_RuntimeErrorsSuppressed = true;
    ASSERT_TRUE(Script_Prepare());
    EXPECT_EQ(g_reports, (std::vector<std::string>{"report:bad thing 7"}));
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].what, "A");
}

TEST_F(CodeTest, ObjectModeRunsTheScriptsThatStartTheirCode) {
    BytecodeGame();
    g_game.objectMode = true;
    static std::vector<std::string> ran;
    ran.clear();
    Code_SetBytecodeRunner([](CCode* code, CInstance* self, CInstance*, RValue*) {
        ran.push_back(std::string(code->name) + (self == kGlobal ? "@global" : ""));
        return true;
    });
    Script_Init(3);
    Script_Set(0, "scr_first", 0, nullptr);   // starts at 0
    Script_Set(1, "scr_second", 1, nullptr);  // starts at 8: a function inside another's block
    Script_Set(2, "scr_again", 0, nullptr);
    ASSERT_TRUE(Script_Prepare());
    EXPECT_EQ(ran, (std::vector<std::string>{"gml_first@global", "gml_first@global"}));
}

}  // namespace
