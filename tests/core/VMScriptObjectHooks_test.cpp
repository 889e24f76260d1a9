// The interpreter's script-object forms hand their operands to the runtime through the core's
// hooks: which operator each instruction selects, the operand order and conversion of typed
// items, the result's place and size, and the message when no runtime is installed.
#include <string>
#include <vector>

#include "VMTestSupport.h"
#include "core/ScriptObjectHooks.h"

namespace {

struct OperatorCall {
    ScriptOperator op;
    std::string left, right;
};
std::vector<OperatorCall> g_seen;

std::string Describe(const RValue* v) {
    if (v == nullptr) return "-";
    switch (RValue_Kind(v)) {
        case VALUE_REAL:
            return "r" + std::to_string(static_cast<int>(v->val));
        case VALUE_BOOL:
            return "b" + std::to_string(static_cast<int>(v->val));
        case VALUE_STRING:
            return std::string("s") + (RValue_GetStringText(v) ? RValue_GetStringText(v) : "");
        default:
            return "k" + std::to_string(RValue_Kind(v));
    }
}

// Records the call and answers the real 40 (a bool true for comparisons and logical not).
int32_t Record(ScriptOperator op, RValue* out, const RValue* left, const RValue* right) {
    g_seen.push_back({op, Describe(left), Describe(right)});
    *out =
        op >= ScriptOperator::Less || op == ScriptOperator::LogicalNot ? RValue_Bool(1.0) : RValue_Real(40);
    return SCRIPT_OP_DONE;
}

class VMScriptObjectHooksTest : public VMTest {
protected:
    void SetUp() override {
        VMTest::SetUp();
        g_seen.clear();
    }
    void TearDown() override {
        ScriptObjects_Install(nullptr);
        VMTest::TearDown();
    }
    void InstallRecorder() {
        ScriptObjectHooks hooks = {};
        hooks.operate = Record;
        ScriptObjects_Install(&hooks);
    }
};

TEST_F(VMScriptObjectHooksTest, InstructionsSelectTheOperatorAndPassOperandsLeftThenRight) {
    InstallRecorder();
    struct Case {
        const char* instruction;
        ScriptOperator op;
    };
    const Case cases[] = {
        {"add.s.d 0x100", ScriptOperator::Add},
        {"add.s.d 0x200", ScriptOperator::NumericAdd},
        {"sub.s.d 0x100", ScriptOperator::Sub},
        {"mod.s.d 0x100", ScriptOperator::Mod},
        {"shr.s.d 0x100", ScriptOperator::Shr},
        {"shr.s.d 0x8100", ScriptOperator::ShrUnsigned},
        {"set.s.d 0x700", ScriptOperator::Less},
        {"set.s.d 0xB00", ScriptOperator::In},
        {"set.s.d 0xF00", ScriptOperator::StrictNotEqual},
    };
    for (const Case& c : cases) {
        g_seen.clear();
        // left: the double 3 (pushed first); right: the string "x" on top.
        // A comparison leaves a 4-byte b (made a value here), the others a 16-byte value.
        const bool comparison = std::string(c.instruction).rfind("set", 0) == 0;
        RValue result =
            Run(std::string("push.d 3\npush.s \"x\"\n") + c.instruction + (comparison ? "\nconv.b.v" : ""));
        if (comparison)
            EXPECT_EQ(RValue_Kind(result), VALUE_BOOL) << c.instruction;
        else
            EXPECT_TRUE(RValue_IsReal(result) && result.val == 40) << c.instruction;
        ASSERT_FALSE(g_seen.empty()) << c.instruction;
        EXPECT_EQ(static_cast<int>(g_seen.back().op), static_cast<int>(c.op)) << c.instruction;
        EXPECT_EQ(g_seen.back().left, "r3") << c.instruction;
        EXPECT_EQ(g_seen.back().right, "sx") << c.instruction;
        RValue_Free(&result);
    }
    // Unary forms take the one operand; not.b of mode 1 leaves a b item, neg a 16-byte value.
    g_seen.clear();
    RValue negated = Run("push.i 1\nconv.i.b\nneg.b.b 0x200");
    EXPECT_TRUE(RValue_IsReal(negated) && negated.val == 40);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(static_cast<int>(g_seen[0].op), static_cast<int>(ScriptOperator::Plus));
    EXPECT_EQ(g_seen[0].left, "b1");
    EXPECT_EQ(g_seen[0].right, "-");
    RValue notted = Run("push.i 0\nnot.i.i 0x100\nconv.b.v");
    EXPECT_EQ(RValue_Kind(notted), VALUE_BOOL);
    EXPECT_EQ(notted.val, 1.0);
    EXPECT_TRUE(reports.empty()) << reports[0];
}

TEST_F(VMScriptObjectHooksTest, WithoutARuntimeScriptObjectFormsEndTheRunWithAClearMessage) {
    const std::string message =
        " :: Execution Engine - script object operands need the script object runtime";
    const char* const programs[][2] = {
        {"push.d 1\nconv.d.v\npush.d 2\nconv.d.v\nadd.v.v 0x100", "DoAdd"},
        {"push.d 1\nconv.d.v\npush.d 2\nconv.d.v\nset.v.v 0xC00", "DoSet"},
        {"push.d 1\nconv.d.v\nnot.v.v 0x200", "DoNot"},
        {"push.d 1\nconv.d.v\npush.v -9.score", "Push"},
        {"push.d 1\nconv.d.v\npush.d 1\nconv.d.v\npop.v.v -9.score", "Pop"},
    };
    for (const auto& p : programs) {
        reports.clear();
        bool ok = true;
        RValue result = Run(p[0], &ok);
        RValue_Free(&result);
        EXPECT_FALSE(ok) << p[1];
        ASSERT_EQ(reports.size(), 1u) << p[1];
        EXPECT_EQ(reports[0], std::string(p[1]) + message);
    }
}

}  // namespace
