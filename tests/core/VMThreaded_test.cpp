// The fast loop: instructions it runs inline and the sequences it runs as one step must give
// what the handlers give, fall back to the handlers for anything but plain numbers, and keep
// branch counting and the code's own words as the plain loop has them.
#include "core/VMStack.h"
#include "core/VM_Debug.h"
#include "core/VM_Threaded.h"
#include "core/VMTestSupport.h"

namespace {

class VMThreadedTest : public VMTest {
protected:
    // The sum of i over i = first.. while not (i > last), n += i; i += 1 (three fused steps).
    static std::string SumLoop(const std::string& setUp, int32_t last) {
        return setUp + R"(
top:
    push.l.v local.i
    push.i )" + std::to_string(last) +
               R"(
    conv.i.v
    set.v.v 0x0600
    bt done
    push.l.v local.n
    push.l.v local.i
    add.v.v
    pop.v.v local.n
    push.l.v local.i
    push.i 1
    conv.i.v
    add.v.v
    pop.v.v local.i
    b top
done:
    push.l.v local.n
    ret.v
)";
    }
};

TEST_F(VMThreadedTest, FusedStepsMatchTheHandlersAndFallBackForOtherKinds) {
    // Reals all the way: every pass runs as three steps.
    RValue r = Run(SumLoop("push.d 0\npop.v.d local.n\npush.i 1\npop.v.i local.i", 100));
    ASSERT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(r.kind, VALUE_REAL);
    EXPECT_EQ(r.val, 5050.0);

    // i starts as a 64-bit integer: the first pass goes through the handlers (the comparison
    // of a long with a real, the add giving a real), the later ones run fused.
    r = Run(SumLoop("push.d 0\npop.v.d local.n\npush.l 5\npop.v.l local.i", 10));
    ASSERT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(r.kind, VALUE_REAL);
    EXPECT_EQ(r.val, 45.0);

    // n a bool: the first add is the handler's (a bool adds as a real), then fused.
    r = Run(SumLoop("push.i 1\nconv.i.b\nconv.b.v\npop.v.v local.n\npush.i 1\npop.v.i local.i", 3));
    ASSERT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(r.kind, VALUE_REAL);
    EXPECT_EQ(r.val, 7.0);

    // An unset local: the push reports it as the handler does.
    Run("push.d 0\npop.v.d local.n\n" + SumLoop("", 3).substr(1));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("local variable"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("not set before reading it"), std::string::npos) << reports[0];
}

TEST_F(VMThreadedTest, SequencesAreDecodedOnceAndABranchIntoOneRunsItsRest) {
    CCode* code = Code(R"(
    push.d 2
    pop.v.d local.i
    push.d 10
    conv.d.v
    b mid
top:
    push.l.v local.n
mid:
    push.l.v local.i
    add.v.v
    pop.v.v local.n
    push.l.v local.n
    push.i 13
    conv.i.v
    set.v.v 0x0600
    bf top
    push.l.v local.n
    ret.v
)");
    const VMDecoded* first = VM_Decode(code->buffer);
    EXPECT_EQ(VM_Decode(code->buffer), first);
    RValue result = RValue_Undefined();
    ASSERT_TRUE(VM::Exec(code, self, self, &result));
    ASSERT_TRUE(reports.empty()) << reports[0];
    // 10 + 2 from the jump into the middle, then n + i once more.
    EXPECT_EQ(result.kind, VALUE_REAL);
    EXPECT_EQ(result.val, 14.0);
}

TEST_F(VMThreadedTest, FusedBranchesCountTowardsTheMessagePump) {
    VM_BranchCount = 0;
    pumps = 0;
    RValue r = Run(SumLoop("push.d 0\npop.v.d local.n\npush.i 1\npop.v.i local.i", 10000));
    ASSERT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(r.val, 50005000.0);
    // Two branches a pass (the test and the jump back) and the final test.
    EXPECT_EQ(VM_BranchCount, 2u * 10000u + 1u);
    EXPECT_EQ(pumps, 20001 / 4096);
}

TEST_F(VMThreadedTest, ArmedBreakpointsWithoutADebuggerLeaveTheRunAsItWas) {
    const std::string text = SumLoop("push.d 0\npop.v.d local.n\npush.i 1\npop.v.i local.i", 5);
    for (bool decodeFirst : {true, false}) {
        Debug_Init();
        CCode* code = Code(text);
        VMBuffer* buffer = code->buffer;
        if (decodeFirst) VM_Decode(buffer);
        // Every instruction start takes a breakpoint.
        buffer->Prepare();
        for (int32_t at = 0; at < buffer->runLength; at += 4) {
            if (buffer->IsInstructionStart(at)) {
                ASSERT_TRUE(Debug_AddBreakpoint(buffer, at));
            }
        }
        Debug_ArmBreakpoints();
        RValue result = RValue_Undefined();
        EXPECT_TRUE(VM::Exec(code, self, self, &result));
        EXPECT_TRUE(reports.empty()) << reports[0];
        EXPECT_EQ(result.val, 15.0) << decodeFirst;
        Debug_ClearBreakpoints();
    }
}

TEST_F(VMThreadedTest, IntegerAndDoublePairsRunInlineWithTheHandlersResults) {
    struct Case {
        const char* text;
        uint32_t kind;
        double want;
    };
    const Case cases[] = {
        // i, i: 32-bit wrap, left in a 4-byte slot that conv turns into a real.
        {"push.i 2147483647\npush.i 1\nadd.i.i\nconv.i.v\nret.v", VALUE_REAL, -2147483648.0},
        {"push.i -2147483648\npush.i 1\nsub.i.i\nconv.i.v\nret.v", VALUE_REAL, 2147483647.0},
        {"push.i 65536\npush.i 65536\nmul.i.i\nconv.i.v\nret.v", VALUE_REAL, 0.0},
        // i, i comparison on the wrapped difference: INT_MIN < 1 reads as false.
        {"push.i -2147483648\npush.i 1\nset.i.i 0x0100\nconv.b.v\nret.v", VALUE_BOOL, 0.0},
        // d, d stays an 8-byte real.
        {"push.d 0.5\npush.d 0.25\nsub.d.d\nconv.d.v\nret.v", VALUE_REAL, 0.25},
        // v and i: a real on either side gives a real value.
        {"push.d 2.5\nconv.d.v\npush.i 2\nmul.i.v\nret.v", VALUE_REAL, 5.0},
        {"push.i 7\npush.d 0.5\nconv.d.v\nsub.v.i\nret.v", VALUE_REAL, 6.5},
        // Within the epsilon: 0.1 + 0.2 == 0.3.
        {"push.d 0.1\nconv.d.v\npush.d 0.2\nconv.d.v\nadd.v.v\npush.d 0.3\nconv.d.v\nset.v.v "
         "0x0300\nconv.b.v\nret.v",
         VALUE_BOOL, 1.0},
    };
    for (const Case& c : cases) {
        RValue r = Run(c.text);
        EXPECT_TRUE(reports.empty()) << c.text << ": " << (reports.empty() ? "" : reports[0]);
        EXPECT_EQ(r.kind, c.kind) << c.text;
        EXPECT_EQ(r.val, c.want) << c.text;
        reports.clear();
    }
}

TEST_F(VMThreadedTest, ACallStepReachesTheScriptAsItIsNowAfterTheScriptIsSetAnew) {
    // The call step keeps the callee it resolved; setting the script anew frees that code
    // object, and the next run of the same step must reach the new one (under the sanitizers a
    // kept stale callee would read freed memory).
    Script(0, "scr_value", "push.d 1\nconv.d.v\nret.v");
    CCode* caller = Code("call.i 100000 0\nret.v");
    for (double want : {1.0, 1.0}) {
        RValue result = RValue_Undefined();
        ASSERT_TRUE(VM::Exec(caller, self, self, &result));
        EXPECT_EQ(result.val, want);
    }
    Script(0, "scr_value", "push.d 2\nconv.d.v\nret.v");
    RValue result = RValue_Undefined();
    ASSERT_TRUE(VM::Exec(caller, self, self, &result));
    EXPECT_EQ(result.val, 2.0);
    ASSERT_TRUE(Script_Get(0)->Compile());  // compiled anew: another code object
    result = RValue_Undefined();
    ASSERT_TRUE(VM::Exec(caller, self, self, &result));
    EXPECT_EQ(result.val, 2.0);
    EXPECT_TRUE(reports.empty()) << reports[0];
}

}  // namespace
