#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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
    for (int32_t offset = 0; offset < length;)
        offset = Code_ListInstruction(nullptr, code, length, offset, &listing);
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
    const uint32_t words[] = {conv,   conv | 0x0100, 0xD9020000u, 499999,      0xD9020000u,
                              500000, 0xD9020000u,   500001,      0xC0080000u, 0x9C050000u};
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
        EXPECT_EQ(VMBuffer_Check(code, static_cast<uint32_t>(4 * c.words.size()), c.start, limits, reason,
                                 sizeof reason),
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

// The check as a plain walk in order, to compare the real one with on many shapes of code: the
// reason it gives, or "" when the code passes.
std::string ReferenceCheck(const std::vector<uint32_t>& words, uint32_t start, const VMCodeLimits& limits) {
    char reason[256] = "";
    const auto n = static_cast<uint32_t>(words.size());
    std::vector<bool> starts(n + 1, false);
    for (uint32_t at = 0, size; at < n; at += size) {
        size = 1 + VM_OperandSize(words[at]) / 4;
        if (at + size > n) {
            std::snprintf(reason, sizeof reason,
                          "the operand of the instruction at %u runs past the end of the code", 4 * at);
            return reason;
        }
        starts[at] = true;
    }
    starts[n] = true;
    if (start % 4 != 0 || start > 4 * n || !starts[start / 4]) {
        std::snprintf(reason, sizeof reason, "the code starts at %u, inside an instruction", start);
        return reason;
    }
    for (uint32_t at = 0; at < n; ++at) {
        if (!starts[at]) continue;
        const uint32_t word = words[at], opcode = word >> 24, index = opcode & 0x1F,
                       type = (word >> 16) & 0xF;
        const bool jumps =
            (opcode & VM_OPCODE_BRANCH) &&
            (index == VM_OP_B || index == VM_OP_BT || index == VM_OP_BF || index == VM_OP_PUSHENV ||
             (index == VM_OP_POPENV && ((word >> 16) & 0xFF) != 0xF0));
        if (jumps) {
            const int64_t target = int64_t{at} + VM_BranchWords(word);
            if (target < 0 || target > n || !starts[target]) {
                std::snprintf(reason, sizeof reason,
                              "the branch at %u leads outside the code or into an instruction", 4 * at);
                return reason;
            }
        }
        if (std::strcmp(Code_OpcodeName(opcode), "unknown") == 0) {
            std::snprintf(reason, sizeof reason,
                          "the instruction at %u has an opcode the interpreter does not define", 4 * at);
            return reason;
        }
        if (jumps) continue;
        if (!(opcode & VM_OPCODE_OPERAND)) continue;
        const uint32_t operand = VM_OperandSize(word) >= 4 ? words[at + 1] : 0;
        const auto id = static_cast<int32_t>(operand & 0x0FFFFFFF);
        const bool pushOrPop = index <= VM_OP_PUSH_BUILTIN || index == VM_OP_POP;
        if (index == VM_OP_PUSH && type == VM_TYPE_STRING && operand >= limits.stringCount) {
            std::snprintf(reason, sizeof reason,
                          "the string of the instruction at %u is not in the string table", 4 * at);
            return reason;
        }
        if (type == VM_TYPE_VALUE && pushOrPop && id < 100000 && id >= limits.builtinVariableCount) {
            std::snprintf(reason, sizeof reason,
                          "the variable of the instruction at %u is not a known variable", 4 * at);
            return reason;
        }
    }
    return "";
}

std::string Check(const std::vector<uint32_t>& words, uint32_t start, const VMCodeLimits& limits) {
    char reason[256] = "";
    static const uint32_t kNoWords = 0;  // null code would be an empty slot, skipped
    const auto* code = reinterpret_cast<const uint8_t*>(words.empty() ? &kNoWords : words.data());
    const bool ok =
        VMBuffer_Check(code, static_cast<uint32_t>(4 * words.size()), start, limits, reason, sizeof reason);
    return ok ? "" : reason;
}

// Code of mixed instructions of one, two and three words whose branches lead to instruction
// starts, then a few words changed at random: operand words that look like instructions, bad
// variables and strings, branches one word off.
class CodeMaker {
public:
    explicit CodeMaker(uint32_t seed) : m_rng(seed) {}

    std::vector<uint32_t> Make(uint32_t words, bool threeWordOnes) {
        std::vector<uint32_t> code;
        std::vector<uint32_t> starts, branches;
        while (code.size() < words) {
            starts.push_back(static_cast<uint32_t>(code.size()));
            const uint32_t kind = Pick(threeWordOnes ? 12 : 10);
            switch (kind) {
                case 0:
                    code.insert(code.end(), {0xC0550000u | Pick(0x10000), 0xA0000000u | (100000 + Pick(50))});
                    break;
                case 1:
                    code.insert(code.end(), {0x45550000u | Pick(0x10000), 0xA0000000u | (100000 + Pick(50))});
                    break;
                case 2:
                    code.insert(code.end(), {0xC0060000u, Pick(2)});
                    break;
                case 3:
                    code.insert(code.end(), {0xD9020000u, Operand()});
                    break;
                case 4:
                    code.push_back(0x9D000000u);
                    break;
                case 5:
                    code.push_back(0xC0080000u | Pick(0x10000));
                    break;  // operand bit, no operand type
                case 6:
                case 7:
                    branches.push_back(static_cast<uint32_t>(code.size()));
                    code.push_back(kBranches[Pick(5)]);
                    break;
                case 8:
                    code.push_back(0xBBF00000u);
                    break;  // the popenv that never jumps
                case 9:
                    code.insert(code.end(), {0xC0020000u, Operand()});
                    break;
                default:
                    code.insert(code.end(), {Pick(2) ? 0xC0000000u : 0xC0030000u, Operand(), Operand()});
                    break;
            }
        }
        starts.push_back(static_cast<uint32_t>(code.size()));
        for (const uint32_t from : branches) {
            const auto delta =
                static_cast<int32_t>(starts[Pick(static_cast<uint32_t>(starts.size()))] - from);
            code[from] |= static_cast<uint32_t>(delta) & 0x7FFFFF;
        }
        code.resize(words);  // which may cut the last instruction off
        for (uint32_t changes = Pick(3); changes > 0 && words > 0; --changes) code[Pick(words)] = Operand();
        return code;
    }

    uint32_t Pick(uint32_t below) { return std::uniform_int_distribution<uint32_t>(0, below - 1)(m_rng); }

private:
    static constexpr uint32_t kBranches[5] = {0xB6000000u, 0xB7000000u, 0xB8000000u, 0xBA000000u,
                                              0xBB000000u};

    // Words around every limit the check tests, and words that read as instructions.
    uint32_t Operand() {
        static constexpr uint32_t kWords[] = {
            0,           1,           2,           199,         209,         210,
            99999,       100000,      0x80000004u, 0x80000005u, 0xFFFFFFFFu, 0x10000005u,
            0xA0000003u, 0xC0000000u, 0xC0030000u, 0xC0550000u, 0xC0060000u, 0xB6000001u,
            0xB6FFFFFFu, 0xBB000002u, 0x45550000u, 0x9D000000u, 0xC0020000u, 0x40070000u,
        };
        return Pick(4) == 0 ? static_cast<uint32_t>(m_rng()) : kWords[Pick(sizeof kWords / sizeof kWords[0])];
    }

    std::mt19937 m_rng;
};

// Many shapes of code against the plain walk: sizes around the check's blocks of 64 words, code
// with and without three-word instructions, bad words anywhere, every kind of limit.
TEST_F(VMTest, TheCheckAgreesWithAPlainWalk) {
    const VMCodeLimits limitsCases[] = {{2, 0}, {60000, 210}, {0x80000005u, -5}, {7, 200000}};
    std::vector<uint32_t> sizes;
    for (uint32_t words = 0; words <= 200; ++words) sizes.push_back(words);
    for (const uint32_t words : {255u, 256u, 257u, 1000u, 4095u, 4096u, 4097u}) sizes.push_back(words);
    CodeMaker maker(12345);
    for (const VMCodeLimits& limits : limitsCases) {
        for (const uint32_t words : sizes) {
            for (int round = 0; round < 6; ++round) {
                const std::vector<uint32_t> code = maker.Make(words, round % 2 == 1);
                const uint32_t start = maker.Pick(4) == 0 ? maker.Pick(4 * words + 9) : 0;
                ASSERT_EQ(Check(code, start, limits), ReferenceCheck(code, start, limits))
                    << words << " words, start " << start << ", round " << round;
            }
        }
    }
}

// Longer entries than the check keeps room for on its own, and a table of entries where the
// first bad one may come after many good ones.
TEST_F(VMTest, TheCheckAgreesWithAPlainWalkOnLongCodeAndTables) {
    const VMCodeLimits limits{60000, 210};
    CodeMaker maker(777);
    for (const uint32_t words : {16383u, 16384u, 16385u, 40001u}) {
        for (int round = 0; round < 4; ++round) {
            const std::vector<uint32_t> code = maker.Make(words, round % 2 == 1);
            ASSERT_EQ(Check(code, 0, limits), ReferenceCheck(code, 0, limits)) << words << " words";
        }
    }
    std::vector<std::vector<uint32_t>> entries;
    std::vector<VMCodeSpan> spans;
    uint32_t firstBad = UINT32_MAX;
    std::string firstReason;
    for (uint32_t entry = 0; entry < 300; ++entry) {
        entries.push_back(maker.Make(maker.Pick(300), true));
        const std::string reason = ReferenceCheck(entries.back(), 0, limits);
        if (!reason.empty() && firstBad == UINT32_MAX) {
            firstBad = entry;
            firstReason = reason;
        }
    }
    for (const auto& code : entries)
        spans.push_back(
            {reinterpret_cast<const uint8_t*>(code.data()), static_cast<uint32_t>(4 * code.size()), 0});
    char reason[256] = "";
    ASSERT_NE(firstBad, UINT32_MAX);
    EXPECT_EQ(
        VMBuffer_CheckAll(spans.data(), static_cast<uint32_t>(spans.size()), limits, reason, sizeof reason),
        firstBad);
    EXPECT_EQ(reason, firstReason);
}

// Good code cut off at every word, and a branch, a pushenv and a popenv led to every word
// around the code.
TEST_F(VMTest, TheCheckAgreesWithAPlainWalkAtEveryCutAndTarget) {
    const VMCodeLimits limits{2, 0};
    CodeMaker maker(99);
    std::vector<uint32_t> code;
    while (ReferenceCheck(code = maker.Make(150, true), 0, limits) != "") {
    }
    for (uint32_t words = 0; words <= code.size(); ++words) {
        const std::vector<uint32_t> cut(code.begin(), code.begin() + words);
        ASSERT_EQ(Check(cut, 0, limits), ReferenceCheck(cut, 0, limits)) << words << " words";
    }
    uint32_t from = 0;  // an instruction start after the first block
    for (uint32_t size; from < 70; from += size) size = 1 + VM_OperandSize(code[from]) / 4;
    for (const uint32_t branch : {0xB6000000u, 0xBA000000u, 0xBB000000u}) {
        std::vector<uint32_t> jumping = code;
        for (int32_t target = -3; target <= static_cast<int32_t>(code.size()) + 3; ++target) {
            jumping[from] = branch | (static_cast<uint32_t>(target - static_cast<int32_t>(from)) & 0x7FFFFF);
            ASSERT_EQ(Check(jumping, 0, limits), ReferenceCheck(jumping, 0, limits)) << "target " << target;
        }
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
    const std::pair<int, const char*> cases[] = {
        {-1, "Array index must be +'ve"}, {31999, nullptr}, {32000, "Array index must be < 32000"}};
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
        Script(0, "scr_add",
               "push.b.v @" + std::to_string(m_arg1) + "\npush.b.v @" + std::to_string(m_arg0) +
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
    EXPECT_EQ(reports[0],
              "DoCall :: Execution Error - script_execute needs the script as its first argument");
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
    Script(3, "scr_outer",
           "push.i 20\nconv.i.v\npush.i 10\nconv.i.v\ncall.i 100000 2\npop.v.v global.total\n"
           "push.b.v @" +
               std::to_string(m_arg0) + "\nret.v");
    Run("push.i 77\nconv.i.v\ncall.i 100003 1\npop.v.v global.score");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("total"), 30);
    EXPECT_EQ(Global("score"), 77);
}

TEST_F(VMCallTest, RepeatedCallsTakeTheLoopsOwnPathWithTheSameResults) {
    // The first call of a script decodes it; the later ones enter its frame in the loop itself.
    Script(3, "scr_outer",
           "push.b.v @" + std::to_string(m_arg0) +
               "\npush.i 20\nconv.i.v\ncall.i 100000 2\n"
               "pop.v.v global.total\npush.b.v @" +
               std::to_string(m_arg0) + "\nret.v");
    Run("push.i 1\nconv.i.v\ncall.i 100003 1\npop.v.v global.arr\n"
        "push.i 2\nconv.i.v\ncall.i 100003 1\npush.i 3\nconv.i.v\ncall.i 100003 1\nadd.v.v\n"
        "pop.v.v global.score");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("arr"), 1);
    EXPECT_EQ(Global("score"), 5) << "each caller reads its own argument after the inner call";
    EXPECT_EQ(Global("total"), 23);
    EXPECT_EQ(VM_Args, nullptr) << "the run's arguments are back";
}

TEST_F(VMCallTest, ACallSiteEntersAScriptsNewCodeOnceTheScriptIsReplaced) {
    // scr_outer's call of script 4 runs three times per run: the later ones take the loop's own
    // path, which keeps the callee it entered; replacing script 4 must still be seen.
    Script(4, "scr_value", "push.i 1\nconv.i.v\nret.v");
    Script(3, "scr_outer", "call.i 100004 0\nret.v");
    const std::string main =
        "call.i 100003 0\ncall.i 100003 0\nadd.v.v\ncall.i 100003 0\nadd.v.v\n"
        "pop.v.v global.score";
    Run(main);
    EXPECT_EQ(Global("score"), 3);
    Script(4, "scr_value", "push.i 10\nconv.i.v\nret.v");
    Run(main);
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(Global("score"), 30);
}

TEST_F(VMCallTest, RowsMarkedAsArgumentReadersGiveWhatTheirGettersGive) {
    // Marked rows let the loop read a plain-number argument itself; anything else (a string, an
    // argument the call does not have) still goes through the getter.
    Variable_BuiltIn_SetArgument(m_arg0, 0);
    Variable_BuiltIn_SetArgument(m_arg1, 1);
    const std::string arg0 = "push.b.v @" + std::to_string(m_arg0) + "\n";
    Script(5, "scr_fib",
           arg0 + "push.i 2\nset.i.v 0x0100\nbf rec\n" + arg0 + "ret.v\nrec:\n" + arg0 +
               "push.i 1\nsub.i.v\ncall.i 100005 1\n" + arg0 +
               "push.i 2\nsub.i.v\ncall.i 100005 1\nadd.v.v\nret.v");
    Script(6, "scr_second", "push.b.v @" + std::to_string(m_arg1) + "\nret.v");
    const int32_t live = VMString_LiveCount();
    RValue r = Run("push.i 15\nconv.i.v\ncall.i 100005 1\nret.v");
    EXPECT_EQ(r.kind, VALUE_REAL);
    EXPECT_EQ(r.val, 610);
    r = Run("push.s \"two\"\nconv.s.v\npush.i 1\nconv.i.v\ncall.i 100006 2\nret.v");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_STREQ(RValue_GetStringText(&r), "two");
    RValue_Free(&r);
    EXPECT_EQ(VMString_LiveCount(), live) << "the string argument is released at the return";
    Run("push.i 1\nconv.i.v\ncall.i 100006 1\npop.v.v global.score");
    EXPECT_EQ(Global("score"), 0) << "argument1 of a one-argument call is the getter's to refuse";
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
    Code_Function_Add(
        "test_dec",
        [](RValue& r, CInstance*, CInstance*, int32_t, RValue* args) { r = RValue_Real(args[0].val - 1); },
        1);
    const std::string arg0 = "push.b.v @" + std::to_string(m_arg0) + "\n";
    Script(4, "scr_deep",
           arg0 + "conv.v.i\nbf done\n" + arg0 +
               "call.i test_dec 1\ncall.i 100004 1\n"
               "pop.v.v global.arr\ndone:\n" +
               arg0 + "pop.v.v global.total\n" + arg0 + "ret.v");
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
