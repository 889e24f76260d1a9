#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/Console.h"
#include "core/VMBuffer.h"
#include "core/VMStack.h"
#include "core/VMTestSupport.h"

namespace {

// --- Code buffers and the listing --------------------------------------------------------

// Every opcode and form the assembler knows, with each kind of operand.
const char* const kEveryOpcode = R"(
start:
    push.d 1.5
    push.f 2.5
    push.i 7
    push.l 9
    push.b true
    push.b false
    push.s "hi"
    push.e -3
    push.v self.hp
    push.v stack.hp[]
    push.v 100001.hp
    pushv.v -9
    push.l.v local.i
    push.g.v global.score
    push.b.v @0
    push.i.i 5
    pop.v.i global.arr[]
    pop.i.v self.count!
    popv.v.v -9
    pop.e.v 0x0104
    dup.v 0x8002
    dup.i 0
    conv.i.v
    conv.v.d
    mul.d.d
    div.i.l
    rem.i.i
    mod.v.v
    add.s.v
    sub.l.l
    and.b.b
    or.i.i
    xor.i.i
    neg.d.d
    not.b.b
    shl.i.i
    shr.l.i
    set.d.d 3
    b start
    bt later
    bf start
    call.i test_print 1
    call.i 100002 2
    call.v 1
    pushenv later
    pushenv later obj
    popenv start
    popenv exit
later:
    ret.v
    exit.i
    popz.v
    break 0xffff
    .word 0x01020304
)";

TEST_F(VMTest, EveryOpcodeAssemblesListsAndAssemblesAgainToTheSameWords) {
    const std::vector<uint32_t> words = Assemble(kEveryOpcode);
    ASSERT_FALSE(words.empty());
    const auto* code = reinterpret_cast<const uint8_t*>(words.data());
    const auto length = static_cast<int32_t>(4 * words.size());
    TErrStreamConsole listing;
    for (int32_t offset = 0; offset < length;) offset = Code_ListInstruction(nullptr, code, length, offset, &listing);
    EXPECT_EQ(Assemble(listing.Text()), words) << listing.Text();
}

TEST_F(VMTest, ListingLinesFollowTheirColumns) {
    struct Case {
        std::vector<uint32_t> words;
        const char* line;
    };
    const Case cases[] = {
        {{0x84020007u}, "00000000 : 07000284                 push.i.i  \n"},
        {{0xB6FFFFFFu}, "00000000 : ffffffb6                 b         0xfffffffc\n"},
        {{0xB6000000u}, "00000000 : 000000b6                 b         0x00000000\n"},
        {{0xC0020000u, 42}, "00000000 : 000002c02a000000         push.i    42\n"},
        {{0x86050000u}, "00000000 : 00000586                 dup.v     \n"},
        {{0x0C550000u}, "00000000 : 0000550c                 add.v.v   \n"},
        {{0x01020304u}, "00000000 : 04030201                 unknown.i.d\n"},
    };
    for (const Case& c : cases) {
        TErrStreamConsole out;
        const auto* code = reinterpret_cast<const uint8_t*>(c.words.data());
        EXPECT_EQ(Code_ListInstruction(nullptr, code, static_cast<int32_t>(4 * c.words.size()), 0, &out),
                  static_cast<int32_t>(4 * c.words.size()));
        EXPECT_STREQ(out.Text(), c.line);
    }
}

TEST_F(VMTest, PreparePicksFastHandlersAndMapsInstructions) {
    const uint32_t conv = 0x07520000u;
    const uint32_t words[] = {conv, conv | 0x0100, 0xD9020000u, 499999, 0xD9020000u, 500000, 0xD9020000u, 500001,
                              0xC0080000u, 0x9C050000u};
    VMBuffer buffer(reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(words)), sizeof words, 0, 0);
    buffer.Prepare();
    EXPECT_NE(buffer.handlers[0], buffer.handlers[1]);  // nonzero bits 11..8: the general conversion
    EXPECT_EQ(buffer.handlers[1], VM_Handler(VM_OP_CONV));
    EXPECT_EQ(buffer.handlers[2], VM_Handler(VM_OP_CALL));  // 499999
    EXPECT_NE(buffer.handlers[3], VM_Handler(VM_OP_CALL));  // 500000: the direct script call
    EXPECT_EQ(buffer.handlers[4], VM_Handler(VM_OP_CALL));  // 500001
    // An operand bit with type 8 carries no operand: the next word is an instruction.
    EXPECT_EQ(buffer.wordMap[8], 5);
    EXPECT_EQ(buffer.wordMap[9], 6);
    EXPECT_EQ(buffer.wordMap[3], 0);  // an operand word

    VMBuffer empty(nullptr, 0, 0, 0);
    empty.Prepare();
    EXPECT_NE(empty.handlers, nullptr);
    EXPECT_NE(empty.wordMap, nullptr);
    EXPECT_EQ(empty.runLength, 0);
}

TEST_F(VMTest, CodeIsCheckedBeforeItCanRun) {
    const VMCodeLimits limits{2, 0};
    struct Case {
        const char* what;
        std::vector<uint32_t> words;
        uint32_t start;
        bool ok;
    };
    const Case cases[] = {
        {"a branch to itself and to the end", {0xB6000000u, 0xB6000001u}, 0, true},
        {"a branch before the code", {0xB6FFFFFFu}, 0, false},
        {"a branch past the end", {0xB6000002u}, 0, false},
        {"a branch into an operand", {0xC0020000u, 0xB6000000u, 0xB6FFFFFFu}, 0, false},
        {"an operand cut off by the end", {0xC0000000u, 0}, 0, false},
        {"a string outside the table", {0xC0060000u, 2}, 0, false},
        {"a string inside the table", {0xC0060000u, 1}, 0, true},
        {"an unknown built-in variable", {0xC0550000u, 0xA0000003u}, 0, false},
        {"a script variable", {0xC0550000u, 0xA00186A0u}, 0, true},
        {"a start inside an instruction", {0xC0020000u, 5}, 4, false},
        {"a start at the end", {0xC0020000u, 5}, 8, true},
        {"a pushenv into an operand", {0xBA000001u, 0xC0020000u, 5}, 0, true},
        {"a pushenv target inside an operand", {0xBA000002u, 0xC0020000u, 5}, 0, false},
        {"the early-exit popenv", {0xBBF00000u}, 0, true},
    };
    for (const Case& c : cases) {
        char reason[256] = "";
        const auto* code = reinterpret_cast<const uint8_t*>(c.words.data());
        EXPECT_EQ(VMBuffer_Check(code, static_cast<uint32_t>(4 * c.words.size()), c.start, limits, reason, sizeof reason),
                  c.ok)
            << c.what << ": " << reason;
    }
    char reason[256];
    const uint8_t ragged[6] = {0, 0, 0, 0x9D, 0, 0};
    EXPECT_FALSE(VMBuffer_Check(ragged, 6, 0, limits, reason, sizeof reason));
}

// Of several faults the reason given is the one met first in order.
TEST_F(VMTest, TheFirstFaultInOrderIsReported) {
    const VMCodeLimits limits{2, 0};
    struct Case {
        std::vector<uint32_t> words;
        const char* reason;
    };
    const Case cases[] = {
        {{0xB6000005u, 0xC0060000u, 9}, "the branch at 0 leads"},
        {{0xC0060000u, 9, 0xB6000005u}, "the string of the instruction at 0"},
        {{0xC0060000u, 9, 0xB6000005u, 0xC0000000u}, "the operand of the instruction at 12 runs past"},
        {{0xC0550000u, 0xA0000003u, 0xC0060000u, 9}, "the variable of the instruction at 0"},
    };
    for (const Case& c : cases) {
        char reason[256] = "";
        const auto* code = reinterpret_cast<const uint8_t*>(c.words.data());
        EXPECT_FALSE(VMBuffer_Check(code, static_cast<uint32_t>(4 * c.words.size()), 0, limits, reason,
                                    sizeof reason));
        EXPECT_EQ(std::string(reason).rfind(c.reason, 0), 0u) << reason;
    }
}

// Entries are checked two at a time; the first bad one in table order is the one reported,
// whichever walk meets its fault first, and empty slots are skipped.
TEST_F(VMTest, TheFirstBadEntryOfATableIsReported) {
    const VMCodeLimits limits{2, 0};
    const std::vector<uint32_t> good = {0xC0020000u, 5, 0xB6FFFFFEu, 0x9D000000u};
    const std::vector<uint32_t> longGood(2000, 0x9D000000u);  // walked past several short entries
    const std::vector<uint32_t> cut = {0x9D000000u, 0xC0000000u, 0};
    const std::vector<uint32_t> badString = {0x9D000000u, 0xC0060000u, 7};
    const auto span = [](const std::vector<uint32_t>& words) {
        const auto* code = reinterpret_cast<const uint8_t*>(words.data());
        return VMCodeSpan{code, static_cast<uint32_t>(4 * words.size()), 0};
    };
    const VMCodeSpan none{nullptr, 0, 0};
    struct Case {
        std::vector<VMCodeSpan> spans;
        uint32_t failed;
        const char* reason;
    };
    const Case cases[] = {
        {{span(longGood), span(good), none, span(good), span(good)}, 5, ""},
        {{span(longGood), span(good), span(good), span(badString), span(cut)},
         3,
         "the string of the instruction at 4"},
        {{span(good), span(longGood), span(cut), span(badString)},
         2,
         "the operand of the instruction at 4 runs past"},
        {{span(badString), span(cut)}, 0, "the string of the instruction at 4"},
        {{none, none}, 2, ""},
    };
    for (const Case& c : cases) {
        char reason[256] = "";
        EXPECT_EQ(VMBuffer_CheckAll(c.spans.data(), static_cast<uint32_t>(c.spans.size()), limits, reason,
                                    sizeof reason),
                  c.failed);
        EXPECT_EQ(std::string(reason).rfind(c.reason, 0), 0u) << reason;
    }
}

// --- Running code ------------------------------------------------------------------------

TEST_F(VMTest, PushPopAndArrayWrites) {
    Run(R"(
        push.i 40
        conv.i.v
        pop.v.v global.score     ; score = 40
        push.i 7
        push.i 3
        pop.v.i global.arr[]     ; arr[3] = 7 (index on top)
        push.i 2
        push.i 9
        conv.i.v
        pop.i.v global.arr[]     ; arr[2] = 9 (value on top)
        push.l 5
        pop.v.l self.hp          ; an int64 value
        push.l 6
        pop.i.l self.count       ; a real
    )");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("score"), 40);
    RValue element = RValue_Undefined();
    Variable_GetGlobal(Id("arr"), 3, &element);
    EXPECT_EQ(element.val, 7);
    Variable_GetGlobal(Id("arr"), 2, &element);
    EXPECT_EQ(element.val, 9);
    RValue_Free(&element);
    RValue hp = RValue_Undefined(), count = RValue_Undefined();
    Variable_GetValue(self, Id("hp"), ARRAY_INDEX_WHOLE, &hp);
    Variable_GetValue(self, Id("count"), ARRAY_INDEX_WHOLE, &count);
    EXPECT_EQ(hp.kind, VALUE_INT64);
    EXPECT_EQ(hp.v64, 5);
    EXPECT_EQ(count.kind, VALUE_REAL);
    EXPECT_EQ(count.val, 6);
}

TEST_F(VMTest, TheValueLeftOnTopIsTheResult) {
    RValue result = Run("push.i 12\nconv.i.v\nret.v");
    EXPECT_EQ(result.kind, VALUE_REAL);
    EXPECT_EQ(result.val, 12);
    // Empty code leaves the result untouched.
    RValue untouched = RValue_Real(3);
    m_locals = 0;
    EXPECT_TRUE(VM::Exec(Code(""), self, self, &untouched));
    EXPECT_EQ(untouched.val, 3);
}

TEST_F(VMTest, AnUnsetGlobalIsReported) {
    Run("push.v global.unset_global\npop.v.v global.score");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0], "Variable global.unset_global(100003, -2147483648) not set before reading it.");
    EXPECT_EQ(fatals, 1);
    EXPECT_EQ(Global("score"), -999) << "the run ends at the error";
}

TEST_F(VMTest, DupForms) {
    // dup.v 0 copies the top; 0x8002 copies the item two below the top; 0x0112 moves the top
    // value below the next two.
    Run(R"(
        push.i 3
        conv.i.v
        push.i 2
        conv.i.v
        push.i 1
        conv.i.v
        dup.v 0x8002       ; 3 2 1 | 3
        dup.v 0            ; 3 2 1 3 | 3
        pop.v.v global.score
        pop.v.v global.total
        dup.v 0x0112       ; 1 2 3 -> 2 3 1 (top first)
        call.i test_print 3
        pop.v.v global.arr
    )");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("score"), 3);
    EXPECT_EQ(Global("total"), 3);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0], "2.000000 3.000000 1.000000");  // the call's first argument is the top
}

TEST_F(VMTest, StringItemsAreHandlesThatDupSharesAndPopReleases) {
    const int32_t live = VMString_LiveCount();
    Run(R"(
        push.s "hello"
        dup.s 0
        pop.v.s global.score
        pop.v.s global.total
    )");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(VMString_LiveCount(), live);
    RValue a = RValue_Undefined(), b = RValue_Undefined();
    Variable_GetGlobal(Id("score"), ARRAY_INDEX_WHOLE, &a);
    Variable_GetGlobal(Id("total"), ARRAY_INDEX_WHOLE, &b);
    EXPECT_STREQ(RValue_GetStringText(&a), "hello");
    EXPECT_EQ(a.str, b.str);
    RValue_Free(&a);
    RValue_Free(&b);
}

TEST_F(VMTest, RemAndNot) {
    struct Case {
        const char* code;
        double expected;
        const char* error;
    };
    const Case cases[] = {
        {"push.i 7\npush.i 2\nrem.i.i", 3, nullptr},
        {"push.i -7\npush.i 2\nrem.i.i", -3, nullptr},
        {"push.d 7.9\npush.d 0.5\nrem.d.d", 0, "DoRem :: Divide by zero"},
        {"push.i 7\npush.i 0\nrem.i.i", 0, "DoRem :: Divide by zero"},
        {"push.i 0\nnot.i.i", -1, nullptr},
        {"push.i 0\nnot.b.b", 1, nullptr},
        {"push.i 5\nnot.b.b", 0, nullptr},
    };
    for (const Case& c : cases) {
        reports.clear();
        const std::string program = std::string(c.code) + "\nconv.i.v\npop.v.v global.score";
        Run(program);
        if (c.error) {
            ASSERT_FALSE(reports.empty()) << c.code;
            EXPECT_EQ(reports[0], c.error);
        } else {
            EXPECT_TRUE(reports.empty()) << c.code;
            EXPECT_EQ(Global("score"), c.expected) << c.code;
        }
    }
    // A value operand makes the quotient a value of the kind computed.
    RValue q = Run("push.i 9\nconv.i.v\npush.i 2\nrem.i.v\nret.v");
    EXPECT_EQ(q.kind, VALUE_REAL);
    EXPECT_EQ(q.val, 4);
}

TEST_F(VMTest, BranchesAndThe4096thBranchPumpsMessages) {
    Run(R"(
        push.i 0
        bt wrong
        push.i 1
        bf wrong
        b right
    wrong:
        push.i 1
        conv.i.v
        pop.v.v global.score
    right:
    )");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("score"), -999);

    std::string chain;
    for (int i = 0; i < 4096; ++i) chain += "b l" + std::to_string(i) + "\nl" + std::to_string(i) + ":\n";
    VM_BranchCount = 0;
    pumps = 0;
    Run(chain);
    EXPECT_EQ(pumps, 1);
}

TEST_F(VMTest, TheArrayIndexCheck) {
    const std::pair<int, const char*> cases[] = {{-1, "Array index must be +'ve"}, {31999, nullptr},
                                                 {32000, "Array index must be < 32000"}};
    for (const auto& [index, error] : cases) {
        reports.clear();
        Run("push.i " + std::to_string(index) + "\nbreak 0xffff\npop.v.i global.arr[]");
        if (error) {
            ASSERT_FALSE(reports.empty());
            EXPECT_EQ(reports[0], error);
        }
    }
}

TEST_F(VMTest, UnderflowIsReportedInsteadOfReadingPastTheFrame) {
    Run("pop.v.v global.score");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0], "Pop :: Execution Error - stack underflow");
    reports.clear();
    Run("bt end\nend:");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0], "bt :: Execution Error - stack underflow");
}

// --- Calls -------------------------------------------------------------------------------

class VMCallTest : public VMTest {
protected:
    void SetUp() override {
        VMTest::SetUp();
        m_arg0 = Variable_BuiltIn_Add("argument0", ReadArgument<0>, nullptr);
        m_arg1 = Variable_BuiltIn_Add("argument1", ReadArgument<1>, nullptr);
        Script(0, "scr_add", "push.b.v @" + std::to_string(m_arg1) + "\npush.b.v @" + std::to_string(m_arg0) +
                                 "\ncall.i test_sum 2\nret.v");
    }
    void TearDown() override {
        Variable_BuiltIn_Free();
        VMTest::TearDown();
    }
    template <int N>
    static bool ReadArgument(CInstance*, int32_t, RValue* out) {
        if (N >= VM_ArgCount) return false;
        RValue_Assign(out, &VM_Args[N]);
        return true;
    }
    int32_t m_arg0 = 0, m_arg1 = 0;
};

TEST_F(VMCallTest, BuiltinsAndScriptsLeaveTheirResultsInPlaceOfTheArguments) {
    Run(R"(
        call.i test_argc 0       ; no arguments: the result is pushed
        pop.v.v global.arr
        push.i 4
        conv.i.v
        push.i 3
        conv.i.v
        call.i 100000 2          ; scr_add(3, 4)
        pop.v.v global.score
        push.i 5
        conv.i.v
        push.i 2
        conv.i.v
        push.i 0
        conv.i.v
        call.i 499999 3          ; script 0 with (2, 5)
        pop.v.v global.total
        call.i test_nothing 0    ; a built-in that sets no result leaves real 0
        pop.v.v global.unset_global
    )");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("arr"), 0);
    EXPECT_EQ(Global("score"), 7);
    EXPECT_EQ(Global("total"), 7);
    EXPECT_EQ(Global("unset_global"), 0);
}

TEST_F(VMCallTest, ScriptExecuteNeedsItsFirstArgument) {
    Run("call.i 499999 0\npop.v.v global.score");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0], "DoCall :: Execution Error - script_execute needs the script as its first argument");
    EXPECT_EQ(Global("score"), -999);
}

TEST_F(VMCallTest, ScriptsWithoutCodeOrWithoutRetGiveZero) {
    Script_Set(1, "scr_empty", 999, nullptr);  // no such code entry: no bytecode
    ASSERT_TRUE(Script_Get(1)->Compile());
    Script(2, "scr_fall", "push.i 1\nconv.i.v\npop.v.v global.arr");
    Run(R"(
        push.i 1
        conv.i.v
        push.i 2
        conv.i.v
        call.i 100001 2
        pop.v.v global.score
        push.i 1
        conv.i.v
        call.i 100002 1
        pop.v.v global.total
    )");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("score"), 0);
    EXPECT_EQ(Global("total"), 0);
    EXPECT_EQ(Global("arr"), 1);
}

TEST_F(VMCallTest, ArgumentsOfTheCallerAreVisibleAgainAfterAReturn) {
    // scr_outer(a) calls scr_add(10, 20), then reads its own argument0 again.
    Script(3, "scr_outer", "push.i 20\nconv.i.v\npush.i 10\nconv.i.v\ncall.i 100000 2\npop.v.v global.total\n"
                           "push.b.v @" + std::to_string(m_arg0) + "\nret.v");
    Run("push.i 77\nconv.i.v\ncall.i 100003 1\npop.v.v global.score");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("total"), 30);
    EXPECT_EQ(Global("score"), 77);
}

TEST_F(VMCallTest, RepeatedCallsTakeTheLoopsOwnPathWithTheSameResults) {
    // The first call of a script decodes it; the later ones enter its frame in the loop itself.
    Script(3, "scr_outer", "push.b.v @" + std::to_string(m_arg0) + "\npush.i 20\nconv.i.v\ncall.i 100000 2\n"
                           "pop.v.v global.total\npush.b.v @" + std::to_string(m_arg0) + "\nret.v");
    Run("push.i 1\nconv.i.v\ncall.i 100003 1\npop.v.v global.arr\n"
        "push.i 2\nconv.i.v\ncall.i 100003 1\npush.i 3\nconv.i.v\ncall.i 100003 1\nadd.v.v\n"
        "pop.v.v global.score");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("arr"), 1);
    EXPECT_EQ(Global("score"), 5) << "each caller reads its own argument after the inner call";
    EXPECT_EQ(Global("total"), 23);
    EXPECT_EQ(VM_Args, nullptr) << "the run's arguments are back";
}

TEST_F(VMCallTest, AScriptRunByIndexCanRecurseIntoItsOwnCodeWithItsOwnLocals) {
    // scr_sum(n): local n = argument0; n + scr_sum(argument0 - 1), and 100 below 1. The run
    // starts in the very code object every call enters.
    VM_Init();
    const std::string arg0 = "push.b.v @" + std::to_string(m_arg0) + "\n";
    Script(5, "scr_sum",
           arg0 + "push.i 1\nset.i.v 0x0100\nbf more\npush.i 100\nconv.i.v\nret.v\nmore:\n" + arg0 +
               "pop.v.v local.n\n" + arg0 +
               "push.i 1\nsub.i.v\ncall.i 100005 1\n"
               "push.l.v local.n\nadd.v.v\nret.v");
    for (int pass = 0; pass < 2; ++pass) {  // the second pass takes the loop's own call path
        RValue args[1] = {RValue_Real(4)};
        RValue result = RValue_Undefined();
        EXPECT_TRUE(Script_Run(5, self, self, 1, &result, args));
        EXPECT_EQ(result.val, 110) << "pass " << pass;
    }
    EXPECT_TRUE(reports.empty()) << reports[0];
    Code_SetBytecodeRunner(nullptr);
}

TEST_F(VMCallTest, AnOddStackPositionStillHandsAlignedArguments) {
    // One 4-byte item below the arguments puts them at a 4-byte boundary.
    Run("push.i 1\npush.i 4\nconv.i.v\npush.i 3\nconv.i.v\ncall.i 100000 2\npop.v.v global.score\n"
        "push.i 6\nconv.i.v\ncall.i test_sum 1\npop.v.v global.total\npop.v.i global.arr");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("score"), 7);
    EXPECT_EQ(Global("total"), 6);
    EXPECT_EQ(Global("arr"), 1);
}

TEST_F(VMCallTest, DeepCallsGrowTheStackAndTooDeepEndsTheRun) {
    // scr_deep(n) calls itself with argument0 - 1 ... until a test conversion turns 0 into false.
    const VMHandler conv = VM_Handler(VM_OP_CONV);
    VM_SetHandler(VM_OP_CONV, [](uint32_t, uint8_t* sp, const uint8_t*, VMExecContext*) {
        RValue v = VM_Load<RValue>(sp);
        sp += 12;
        VM_Store(sp, static_cast<int32_t>(v.val));
        return sp;
    });
    Code_Function_Add("test_dec", [](RValue& r, CInstance*, CInstance*, int32_t, RValue* args) {
        r = RValue_Real(args[0].val - 1);
    }, 1);
    const std::string arg0 = "push.b.v @" + std::to_string(m_arg0) + "\n";
    Script(4, "scr_deep", arg0 + "conv.v.i\nbf done\n" + arg0 + "call.i test_dec 1\ncall.i 100004 1\n"
                          "pop.v.v global.arr\ndone:\n" + arg0 + "pop.v.v global.total\n" + arg0 + "ret.v");
    Run("push.i 300\nconv.i.v\ncall.i 100004 1\npop.v.v global.score");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("score"), 300) << "VM_Args of each frame survive the moves";
    EXPECT_EQ(Global("total"), 300);

    Run("push.i 30000\nconv.i.v\ncall.i 100004 1\npop.v.v global.score");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0], "Stack overflow... code");
    EXPECT_EQ(fatals, 0) << "the game goes on";
    VM_SetHandler(VM_OP_CONV, conv);
}

TEST_F(VMCallTest, BuiltinCallByIndexCopiesArgumentsAndStartsFromUndefined) {
    int32_t sum = -1, nothing = -1;
    Code_Function_Find("test_sum", &sum);
    Code_Function_Find("test_nothing", &nothing);
    RValue a = RValue_Real(2), b = RValue_Real(5);
    RValue* args[] = {&a, &b};
    RValue result = RValue_Real(99);
    Builtin_CallByIndex(self, self, &result, 2, sum, args);
    EXPECT_EQ(result.val, 7);
    Builtin_CallByIndex(self, self, &result, 0, nothing, nullptr);
    EXPECT_EQ(result.kind, VALUE_UNDEFINED);
}

}  // namespace

namespace {

TEST_F(VMCallTest, ScriptRunHandsItsArgumentsToTheBytecode) {
    VM_Init();
    RValue args[2] = {RValue_Real(8), RValue_Real(9)};
    RValue result = RValue_Undefined();
    EXPECT_TRUE(Script_Run(0, self, self, 2, &result, args));
    EXPECT_EQ(result.val, 17);
    Code_SetBytecodeRunner(nullptr);
}

}  // namespace
