// The interpreter in script-object mode: operators, member reads and writes and calls of
// function values go through the script object runtime. Operator results are checked against
// node where the runtime follows ES5.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "core/ScriptObjectHooks.h"
#include "core/VMTestSupport.h"
#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_Runtime.h"
#include "script/JS_StandardObjects.h"
#include "script/JS_VMHelpers.h"

namespace {

class InterpreterObjectModeTest : public VMTest {
protected:
    void SetUp() override {
        VMTest::SetUp();
        g_VariableSettings.objectMode = true;
        VM_HookTable.objectMode = [] { return true; };
        VM_HookTable.maxLocals = [] { return 4; };
        // Member names are instance-variable names of the game; slots 0 and 1 of script objects
        // are their own, so the names start past the fixture's.
        Code_Variable_InitTables(8, 32);
        const char* globals[] = {"score", "arr", "total", "unset_global"};
        for (int32_t i = 0; i < 4; ++i) Code_Variable_SetName(globals[i], -5, i);
        const char* instance[] = {"hp", "visits", "count"};
        for (int32_t i = 0; i < 3; ++i) Code_Variable_SetName(instance[i], -1, 4 + i);
        MemberIds().clear();
        const char* members[] = {"x",           "y",       "length",   "push",   "join",
                                 "toUpperCase", "indexOf", "toString", "valueOf"};
        for (int32_t i = 0; i < 9; ++i)
            MemberIds()[members[i]] = Code_Variable_SetName(members[i], -1, 8 + i);
        JS_InstallCoreHooks();
        JS_ResetExceptions();
        JS_InitStandardObjects();
        JS_RegisterVMHelpers();
        Code_Function_Add(
            "test_undefined",
            [](RValue& r, CInstance*, CInstance*, int32_t, RValue*) { r = RValue_Undefined(); }, 0);
        Code_Function_Add(
            "test_null",
            [](RValue& r, CInstance*, CInstance*, int32_t, RValue*) {
                r = RValue_Undefined();
                r.kind = VALUE_NULL;
            },
            0);
    }
    void TearDown() override {
        JS_ResetExceptions();
        ScriptObjects_Install(nullptr);
        g_JSStandard = JSStandardObjects{};
        g_VariableSettings.objectMode = false;
        VMTest::TearDown();
    }

    static std::map<std::string, int32_t>& MemberIds() {
        static std::map<std::string, int32_t> ids;
        return ids;
    }
    // "@ID" of a member name (the instruction names its member by variable id).
    static std::string Member(const char* name) {
        EXPECT_EQ(MemberIds().count(name), 1u) << name;
        return "@" + std::to_string(MemberIds()[name]);
    }

    // The text of the value left on top, or "threw TEXT" when an exception ended the run.
    std::string RunText(const std::string& program) {
        RValue result = Run(program);
        std::string text;
        const std::string uncaught = "Unable to find a handler for exception ";
        if (!reports.empty() && reports.back().rfind(uncaught, 0) == 0) {
            text = "threw " + reports.back().substr(uncaught.size());
            reports.pop_back();
            JS_ResetExceptions();
        } else if (JS_ExceptionPending()) {
            RValue thrown = RValue_Undefined();
            JS_ToString(&thrown, JS_PendingValue());
            const char* t = RValue_GetStringText(&thrown);
            text = std::string("threw ") + (t ? t : "");
            RValue_Release(&thrown);
            JS_ResetExceptions();
        } else {
            RValue string = RValue_Undefined();
            JS_ToString(&string, &result);
            const char* t = RValue_GetStringText(&string);
            text = t ? t : "";
            RValue_Release(&string);
        }
        RValue_Free(&result);
        return text;
    }
};

// An operand as code that pushes a value, and as a script literal.
struct Operand {
    const char* code;
    const char* script;
};

const Operand kOne = {"push.d 1\nconv.d.v", "1"};
const Operand kFive = {"push.d 5\nconv.d.v", "5"};
const Operand kZero = {"push.d 0\nconv.d.v", "0"};
const Operand kNegZero = {"push.d -0.0\nconv.d.v", "-0"};
const Operand kMinusOne = {"push.d -1\nconv.d.v", "-1"};
const Operand kTwentyEight = {"push.d 28\nconv.d.v", "28"};
const Operand kText2 = {"push.s \"2\"\nconv.s.v", "'2'"};
const Operand kText10 = {"push.s \"10\"\nconv.s.v", "'10'"};
const Operand kText9 = {"push.s \"9\"\nconv.s.v", "'9'"};
const Operand kTextA = {"push.s \"a\"\nconv.s.v", "'a'"};
const Operand kEmpty = {"push.s \"\"\nconv.s.v", "''"};
const Operand kTrue = {"push.i 1\nconv.i.b\nconv.b.v", "true"};
const Operand kUndefined = {"call.i test_undefined 0", "undefined"};
const Operand kNull = {"call.i test_null 0", "null"};
const Operand kArray12 = {"push.d 2\nconv.d.v\npush.d 1\nconv.d.v\ncall.i @@NewArray@@ 2", "[1,2]"};
const Operand kArray5 = {"push.d 5\nconv.d.v\ncall.i @@NewArray@@ 1", "[5]"};
const Operand kObject = {"call.i @@NewObject@@ 0", "({})"};

struct BinaryCase {
    const char* instruction;  // the operator instruction; a comparison's b result is made a value
    const char* op;
    Operand left, right;
};

const BinaryCase kBinary[] = {
    {"add.v.v 0x100", "+", kOne, kText2},
    {"add.v.v 0x100", "+", kTrue, kOne},
    {"add.v.v 0x100", "+", kArray12, kTextA},
    {"add.v.v 0x100", "+", kObject, kOne},
    {"add.v.v 0x100", "+", kNull, kOne},
    {"add.v.v 0x100", "+", kUndefined, kOne},
    {"add.v.v 0x100", "+", kArray5, kArray5},
    {"sub.v.v 0x100", "-", kText10, kOne},
    {"sub.v.v 0x100", "-", kTextA, kOne},
    {"mul.v.v 0x100", "*", kArray5, kText2},
    {"div.v.v 0x100", "/", kOne, kZero},
    {"div.v.v 0x100", "/", kOne, kNegZero},
    {"mod.v.v 0x100", "%", kFive, kZero},
    {"mod.v.v 0x100", "%", kNegZero, kText2},
    {"mod.v.v 0x100", "%", kMinusOne, kText2},
    {"and.v.v 0x100", "&", kText10, kTrue},
    {"or.v.v 0x100", "|", kNull, kFive},
    {"xor.v.v 0x100", "^", kMinusOne, kFive},
    {"shl.v.v 0x100", "<<", kOne, kTwentyEight},
    {"shr.v.v 0x100", ">>", kMinusOne, kTwentyEight},
    {"shr.v.v 0x8100", ">>>", kMinusOne, kTwentyEight},
    {"set.v.v 0x700", "<", kText10, kText9},
    {"set.v.v 0x700", "<", kText10, kFive},
    {"set.v.v 0x800", ">", kArray5, kOne},
    {"set.v.v 0x900", "<=", kUndefined, kOne},
    {"set.v.v 0xA00", ">=", kNull, kZero},
    {"set.v.v 0xC00", "==", kNull, kUndefined},
    {"set.v.v 0xC00", "==", kText10, kArray5},
    {"set.v.v 0xC00", "==", kArray5, kFive},
    {"set.v.v 0xD00", "!=", kTrue, kOne},
    {"set.v.v 0xE00", "===", kOne, kTrue},
    {"set.v.v 0xE00", "===", kZero, kNegZero},
    {"set.v.v 0xF00", "!==", kText2, kText2},
};

struct UnaryCase {
    const char* instruction;
    const char* op;
    Operand operand;
};

const UnaryCase kUnary[] = {
    {"neg.v.v 0x100", "-", kText10}, {"neg.v.v 0x100", "-", kArray12}, {"neg.v.v 0x200", "+", kTrue},
    {"neg.v.v 0x200", "+", kEmpty},  {"not.v.v 0x100", "!", kEmpty},   {"not.v.v 0x100", "!", kObject},
    {"not.v.v 0x200", "~", kText10}, {"not.v.v 0x200", "~", kNull},
};

bool IsComparison(const char* instruction) {
    return std::string(instruction).rfind("set", 0) == 0;
}

TEST_F(InterpreterObjectModeTest, OperatorsAgreeWithNode) {
    if (std::system("node --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
    const std::string path = testing::TempDir() + "interpreter_operators_peer.js";
    {
        std::ofstream script(path);
        for (const BinaryCase& c : kBinary)
            script << "console.log(String((" << c.left.script << ")" << c.op << "(" << c.right.script
                   << ")));\n";
        for (const UnaryCase& c : kUnary)
            script << "console.log(String(" << c.op << "(" << c.operand.script << ")));\n";
    }
    FILE* node = popen(("node " + path).c_str(), "r");
    ASSERT_NE(node, nullptr);
    std::string theirs;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, node)) > 0;) theirs.append(buffer, n);
    pclose(node);
    std::stringstream lines(theirs);
    for (const BinaryCase& c : kBinary) {
        std::string expected;
        std::getline(lines, expected);
        const std::string program = std::string(c.left.code) + "\n" + c.right.code + "\n" + c.instruction +
                                    (IsComparison(c.instruction) ? "\nconv.b.v" : "");
        EXPECT_EQ(RunText(program), expected) << c.left.script << " " << c.op << " " << c.right.script;
    }
    for (const UnaryCase& c : kUnary) {
        std::string expected;
        std::getline(lines, expected);
        const std::string program = std::string(c.operand.code) + "\n" + c.instruction +
                                    (std::string(c.instruction) == "not.v.v 0x100" ? "\nconv.b.v" : "");
        EXPECT_EQ(RunText(program), expected) << c.op << c.operand.script;
    }
    EXPECT_TRUE(reports.empty()) << reports[0];
}

TEST_F(InterpreterObjectModeTest, UnsetOperandsAndFailedConversionsThrowCatchableErrors) {
    EXPECT_EQ(RunText("push.v global.unset_global\npush.d 1\nconv.d.v\nadd.v.v 0x100"),
              "threw ReferenceError: could not find variable before '+' operator");
    EXPECT_EQ(RunText("push.d 1\nconv.d.v\npush.v global.unset_global\nset.v.v 0xE00\nconv.b.v"),
              "threw ReferenceError: could not find variable after '==='");
    EXPECT_EQ(RunText("push.s \"x\"\nconv.s.v\npush.d 1\nconv.d.v\nset.v.v 0xB00\nconv.b.v"),
              "threw TypeError: right-hand side of in operator must be an object");
    // An object whose valueOf and toString are not functions has no primitive.
    const std::string bare =
        "call.i @@NewObject@@ 0\npop.v.v global.arr\n"
        "push.d 0\nconv.d.v\npush.v global.arr\npop.v.v -9." +
        Member("valueOf") + "\n" + "push.d 0\nconv.d.v\npush.v global.arr\npop.v.v -9." + Member("toString") +
        "\n";
    EXPECT_EQ(RunText(bare + "push.v global.arr\npush.d 1\nconv.d.v\nadd.v.v 0x100"),
              "threw TypeError: Could not convert left-hand-side of add operator to a primitive");
    // Typed operators (mode 0) keep the runner's own semantics in object mode.
    EXPECT_EQ(RunText("push.d 3\nconv.d.v\npush.s \"ab\"\nconv.s.v\nmul.v.v"), "ababab");
    EXPECT_TRUE(reports.empty()) << reports[0];
}

TEST_F(InterpreterObjectModeTest, AnOperatorsErrorIsCaughtByTheTryAroundIt) {
    // try { x = 2 + (unset + 1) } catch (e) { total = 7; arr = e }: the catch gets the
    // ReferenceError with the stack cut back, and the code after the add does not run.
    const std::string body =
        "push.i -1\nconv.i.v\npush.i @OFFSET@\nconv.i.v\ncall.i @@try_hook@@ 2\npopz.v\n"
        "push.d 2\nconv.d.v\npush.v global.unset_global\npush.d 1\nconv.d.v\n"
        "add.v.v 0x100\nadd.v.v 0x100\npop.v.v global.score\nb end\n"
        "target:\npop.v.v global.arr\ncall.i @@try_unhook@@ 0\npopz.v\n"
        "call.i @@finish_catch@@ 0\npopz.v\npush.d 7\nconv.d.v\npop.v.v global.total\n"
        "push.v global.arr\nend:\n";
    std::string probe = body;
    probe.replace(probe.find("@OFFSET@"), 8, "1000");
    const size_t offset = 4 * Assemble(probe.substr(0, probe.find("target:")) + "\nend:\n").size();
    std::string program = body;
    program.replace(program.find("@OFFSET@"), 8, std::to_string(offset));
    EXPECT_EQ(RunText(program), "ReferenceError: could not find variable before '+' operator");
    EXPECT_EQ(Global("total"), 7);
    EXPECT_EQ(Global("score"), -999);
    EXPECT_FALSE(VM_PendingException.pending);
    EXPECT_TRUE(reports.empty()) << reports[0];
}

TEST_F(InterpreterObjectModeTest, MemberReadsAndWritesOnObjectsAndArrays) {
    const std::string x = Member("x"), length = Member("length"), y = Member("y");
    // o.x = 5; o.x + 1, and a missing member reads as undefined.
    const std::string object =
        "call.i @@NewObject@@ 0\npop.v.v global.arr\n"
        "push.d 5\nconv.d.v\npush.v global.arr\npop.v.v -9." +
        x + "\n";
    EXPECT_EQ(RunText(object + "push.v global.arr\npush.v -9." + x + "\npush.d 1\nconv.d.v\nadd.v.v 0x100"),
              "6");
    EXPECT_EQ(RunText(object + "push.v global.arr\npush.v -9." + y), "undefined");
    // o["x"] through a key value, and o[1] = "one" through a number key read back as o["1"].
    EXPECT_EQ(RunText(object + "push.v global.arr\npush.s \"x\"\nconv.s.v\npush.v -10.@0"), "5");
    EXPECT_EQ(
        RunText(object + "push.s \"one\"\nconv.s.v\npush.v global.arr\npush.d 1\nconv.d.v\npop.v.v -10.@0\n"
                         "push.v global.arr\npush.s \"1\"\nconv.s.v\npush.v -10.@0"),
        "one");
    // a = [1, 2]; a[3] = 9 grows the array; a.length, a[1], a[3], a["length"].
    const std::string array = std::string(kArray12.code) + "\npop.v.v global.arr\n" +
                              "push.d 9\nconv.d.v\npush.v global.arr\npush.d 3\nconv.d.v\npop.v.v -10.@0\n";
    EXPECT_EQ(RunText(array + "push.v global.arr\npush.v -9." + length), "4");
    EXPECT_EQ(RunText(array + "push.v global.arr\npush.d 1\nconv.d.v\npush.v -10.@0"), "2");
    EXPECT_EQ(RunText(array + "push.v global.arr\npush.d 3\nconv.d.v\npush.v -10.@0"), "9");
    EXPECT_EQ(RunText(array + "push.v global.arr\npush.d 2\nconv.d.v\npush.v -10.@0"), "undefined");
    EXPECT_EQ(RunText(array + "push.v global.arr\npush.s \"length\"\nconv.s.v\npush.v -10.@0"), "4");
    // A primitive's members come from its wrapper; undefined has none.
    EXPECT_EQ(RunText("push.s \"abc\"\nconv.s.v\npush.v -9." + length), "3");
    EXPECT_EQ(RunText("call.i test_undefined 0\npush.v -9." + x),
              "threw TypeError: Cannot read a property of undefined or null");
    EXPECT_EQ(RunText("push.d 1\nconv.d.v\ncall.i test_null 0\npop.v.v -9." + x + "\npush.d 0\nconv.d.v"),
              "threw TypeError: Cannot set a property of undefined or null");
    EXPECT_TRUE(reports.empty()) << reports[0];
}

TEST_F(InterpreterObjectModeTest, DeleteRemovesAMemberAndAnswersABool) {
    const std::string x = Member("x");
    const std::string object =
        "call.i @@NewObject@@ 0\npop.v.v global.arr\n"
        "push.d 5\nconv.d.v\npush.v global.arr\npop.v.v -9." +
        x + "\n";
    EXPECT_EQ(RunText(object + "push.v global.arr\npop.v.t8 -9." + x), "true");
    EXPECT_EQ(RunText(object + "push.v global.arr\npop.v.t8 -9." + x +
                      "\npopz.v\npush.v global.arr\npush.v -9." + x),
              "undefined");
    // delete a[0] leaves a hole: a[0] reads undefined and the length stays 2.
    const std::string holed = std::string(kArray12.code) +
                              "\npop.v.v global.arr\npush.v global.arr\n"
                              "push.d 0\nconv.d.v\npop.v.t8 -10.@0\npopz.v\n";
    EXPECT_EQ(RunText(holed + "push.v global.arr\npush.d 0\nconv.d.v\npush.v -10.@0"), "undefined");
    EXPECT_EQ(RunText(holed + "push.v global.arr\npush.v -9." + Member("length")), "2");
    EXPECT_EQ(RunText("call.i test_null 0\npop.v.t8 -9." + x),
              "threw TypeError: Cannot delete a property of undefined or null");
    EXPECT_TRUE(reports.empty()) << reports[0];
}

TEST_F(InterpreterObjectModeTest, MethodCallsOnStandardObjects) {
    // a = []; a.push(5, 7); a.length, then a.join("-").
    const std::string push =
        "call.i @@NewArray@@ 0\npop.v.v global.arr\n"
        "push.d 7\nconv.d.v\npush.d 5\nconv.d.v\n"
        "push.v global.arr\npush.v global.arr\npush.v -9." +
        Member("push") + "\ncall.v 2\npop.v.v global.score\n";
    EXPECT_EQ(RunText(push + "push.v global.arr\npush.v -9." + Member("length")), "2");
    EXPECT_EQ(RunText(push + "push.v global.score"), "2");
    EXPECT_EQ(RunText(push + "push.s \"-\"\nconv.s.v\npush.v global.arr\npush.v global.arr\npush.v -9." +
                      Member("join") + "\ncall.v 1"),
              "5-7");
    // "abc".toUpperCase() and "abc".indexOf("c") with the primitive string as this.
    EXPECT_EQ(RunText("push.s \"abc\"\nconv.s.v\npush.s \"abc\"\nconv.s.v\npush.v -9." +
                      Member("toUpperCase") + "\ncall.v 0"),
              "ABC");
    EXPECT_EQ(
        RunText("push.s \"c\"\nconv.s.v\npush.s \"abc\"\nconv.s.v\npush.s \"abc\"\nconv.s.v\npush.v -9." +
                Member("indexOf") + "\ncall.v 1"),
        "2");
    // (5).toString() with a number this; calling undefined is a TypeError.
    EXPECT_EQ(RunText("push.d 2\nconv.d.v\npush.d 5\nconv.d.v\npush.d 5\nconv.d.v\npush.v -9." +
                      Member("toString") + "\ncall.v 1"),
              "101");
    EXPECT_TRUE(reports.empty()) << reports[0];
}

TEST_F(InterpreterObjectModeTest, ScriptFunctionValuesGetTheirArgumentsObject) {
    // Script 1 answers arguments.length + its first argument, read through slot 0 of its locals.
    Script(1, "count",
           "push.l.v local.@100000\npush.v -9." + Member("length") +
               "\npush.v local.@100000\npush.d 0\nconv.d.v\npush.v -10.@0\nadd.v.v 0x100\nret.v");
    EXPECT_EQ(RunText("push.d 30\nconv.d.v\npush.d 12\nconv.d.v\ncall.i test_undefined 0\n"
                      "push.d 100001\nconv.d.v\ncall.i @@script_ref@@ 1\ncall.v 2"),
              "14");
    EXPECT_TRUE(reports.empty()) << reports[0];
}

}  // namespace
