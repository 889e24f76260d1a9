// Exceptions and script functions through the interpreter: hand-assembled code with try
// handlers, a native that calls a script function through the runtime, and closures.
#include <string>

#include "core/VMTestSupport.h"
#include "script/JS_Call.h"
#include "script/JS_Exception.h"
#include "script/JS_VMHelpers.h"

namespace {

int32_t g_callStatus = -1;
PWObjectBase* g_scope = nullptr;

// Makes a function object over script 1 and calls it through the runtime.
void CallThrower(RValue& result, CInstance* self, CInstance* other, int32_t, RValue*) {
    RValue id = RValue_Real(100001);
    RValue function = RValue_Undefined();
    JS_CreateScriptFunction(function, self, other, 1, &id);
    RValue answer = RValue_Undefined();
    g_callStatus = JS_Call(reinterpret_cast<PWObjectBase*>(self), &answer, function.obj, 0, nullptr);
    if (g_callStatus != JS_DONE) return;  // propagating: the result is not used
    RValue_Release(&answer);
    result = RValue_Real(g_callStatus);
}

void RecordScope(RValue&, CInstance* self, CInstance* other, int32_t, RValue*) {
    RValue id = RValue_Real(100001);
    RValue function = RValue_Undefined();
    JS_CreateScriptFunction(function, self, other, 1, &id);
    const RValue* scope = JS_FindOwnValue(function.obj, JS_SCOPE);
    g_scope = scope && RValue_IsObject(scope) ? scope->obj : nullptr;
}

class ExceptionRunTest : public VMTest {
protected:
    void SetUp() override {
        VMTest::SetUp();
        JS_RegisterVMHelpers();
        Code_Function_Add("test_callthrower", CallThrower, 0);
        Code_Function_Add("test_recordscope", RecordScope, 0);
        g_callStatus = -1;
        g_scope = nullptr;
    }
    void TearDown() override {
        JS_ResetExceptions();
        VMTest::TearDown();
    }

    // The text with @OFFSET@ replaced by the byte offset of the line "target:".
    // The code before "target:" is measured on its own, with the later label "end" defined.
    std::string WithOffset(const std::string& text) {
        std::string placeholder = text;
        placeholder.replace(placeholder.find("@OFFSET@"), 8, "1000");
        const size_t offset = PrefixBytes(placeholder);
        std::string program = text;
        program.replace(program.find("@OFFSET@"), 8, std::to_string(offset));
        EXPECT_EQ(PrefixBytes(program), offset);
        return program;
    }
    size_t PrefixBytes(const std::string& program) {
        return 4 * Assemble(program.substr(0, program.find("target:")) + "\nend:\n").size();
    }
};

TEST_F(ExceptionRunTest, ThrowInAScriptCalledFromNativeCodeResumesAtTheCallersCatch) {
    Script(1, "thrower", R"(
        push.s "boom"
        conv.s.v
        call.i @@throw@@ 1
        popz.v
        push.i 99
        conv.i.v
        pop.v.v global.total
    )");
    Run(WithOffset(R"(
        push.i -1
        conv.i.v
        push.i @OFFSET@
        conv.i.v
        call.i @@try_hook@@ 2
        popz.v
        call.i test_callthrower 0
        popz.v
        push.i 1
        conv.i.v
        pop.v.v global.score
        b end
    target:
        pop.v.v global.arr
        call.i @@try_unhook@@ 0
        popz.v
        call.i @@finish_catch@@ 0
        popz.v
        push.i 2
        conv.i.v
        pop.v.v global.score
    end:
    )"));
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(g_callStatus, JS_EXCEPTION);
    EXPECT_EQ(Global("total"), -999);  // the script stopped at its throw
    EXPECT_EQ(Global("score"), 2);     // the statement after the native call was skipped
    RValue caught = RValue_Undefined();
    Variable_GetGlobal(Id("arr"), ARRAY_INDEX_WHOLE, &caught);
    EXPECT_STREQ(RValue_GetStringText(&caught), "boom");
    RValue_Free(&caught);
    EXPECT_FALSE(JS_ExceptionPending());
    EXPECT_FALSE(VM_PendingException.pending);
}

TEST_F(ExceptionRunTest, FinallyRunsThenAnUncaughtExceptionIsFatal) {
    Run(WithOffset(R"(
        push.i @OFFSET@
        conv.i.v
        push.i -1
        conv.i.v
        call.i @@try_hook@@ 2
        popz.v
        push.i 1
        conv.i.v
        call.i @@throw@@ 1
        popz.v
        push.i 1
        conv.i.v
        pop.v.v global.score
    target:
        pop.v.v global.arr
        call.i @@try_unhook@@ 0
        popz.v
        push.i 5
        conv.i.v
        pop.v.v global.total
        call.i @@finish_finally@@ 0
        popz.v
        push.i 9
        conv.i.v
        pop.v.v global.score
    )"));
    EXPECT_EQ(Global("total"), 5);     // the finally block ran
    EXPECT_EQ(Global("arr"), 1);       // with the thrown value on the stack
    EXPECT_EQ(Global("score"), -999);  // and nothing after it
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Unable to find a handler for exception 1");
}

TEST_F(ExceptionRunTest, ThrowThroughACalledScriptFramePopsIt) {
    // Script 1 throws with no handler of its own; the caller's frame holds the handler.
    Script(1, "thrower", R"(
        push.i 3
        conv.i.v
        call.i @@throw@@ 1
        popz.v
    )");
    Run(WithOffset(R"(
        push.i -1
        conv.i.v
        push.i @OFFSET@
        conv.i.v
        call.i @@try_hook@@ 2
        popz.v
        call.i 100001 0
        popz.v
        b end
    target:
        pop.v.v global.arr
        call.i @@finish_catch@@ 0
        popz.v
    end:
    )"));
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("arr"), 3);
}

TEST_F(ExceptionRunTest, ScriptFunctionsCloseOverTheRunningLocals) {
    Script(1, "inner", "push.i 1\nconv.i.v\npop.v.v global.total\n");
    RValue id = RValue_Real(100001), function = RValue_Undefined();
    JS_CreateScriptFunction(function, nullptr, nullptr, 1, &id);
    ASSERT_TRUE(RValue_IsObject(function));
    EXPECT_EQ(RValue_Kind(JS_FindOwnValue(function.obj, JS_SCOPE)), VALUE_NULL);  // no run: no scope
    const RValue* prototype = function.obj->PeekSlot(JS_SLOT_PROTOTYPE);
    ASSERT_TRUE(prototype && RValue_IsObject(prototype));
    EXPECT_EQ(JS_FindOwnValue(prototype->obj, "constructor")->obj, function.obj);

    Run("call.i test_recordscope 0\npopz.v\n");
    EXPECT_NE(g_scope, nullptr);  // the run's locals, kept alive for the closure

    // Calling it runs the script; an unknown id leaves the result alone.
    RValue result = RValue_Undefined();
    EXPECT_EQ(JS_Call(nullptr, &result, function.obj, 0, nullptr), JS_DONE);
    EXPECT_EQ(Global("total"), 1);
    RValue badId = RValue_Real(100007), untouched = RValue_Real(42);
    JS_CreateScriptFunction(untouched, nullptr, nullptr, 1, &badId);
    EXPECT_EQ(untouched.val, 42);
}

}  // namespace
