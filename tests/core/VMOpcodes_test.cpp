// The operator handlers, run one instruction at a time on a stack the test lays out, and
// assembled programs that use them. Expected values are worked out by hand from two's
// complement and IEEE rules (the same answers Python's ctypes.c_int32/c_int64 give).
#include <cmath>
#include <cstring>
#include <limits>

#include "core/MemoryManager.h"
#include "core/VMStack.h"
#include "core/VM_Arith.h"
#include "core/VMTestSupport.h"

namespace {

// One stack operand: its declared type and content.
struct Item {
    uint32_t type;
    double d = 0;
    int64_t l = 0;
    const char* text = nullptr;  // s: the text (null: no record); v: a string value
    RValue v = RValue_Undefined();
};

Item D(double x) {
    return {VM_TYPE_DOUBLE, x};
}
Item F(float x) {
    return {VM_TYPE_FLOAT, x};
}
Item I(int32_t x) {
    return {VM_TYPE_INT, 0, x};
}
Item L(int64_t x) {
    return {VM_TYPE_LONG, 0, x};
}
Item B(int32_t x) {
    return {VM_TYPE_BOOL, 0, x};
}
Item S(const char* t) {
    return {VM_TYPE_STRING, 0, 0, t};
}
Item V(RValue v) {
    return {VM_TYPE_VALUE, 0, 0, nullptr, v};
}
Item VS(const char* t) {
    return {VM_TYPE_VALUE, 0, 0, t};
}
RValue Kind(uint32_t kind) {
    RValue v = RValue_Undefined();
    v.kind = kind;
    return v;
}

// What the handler leaves: a slot of a type, or an error message.
struct Want {
    uint32_t type;
    double d = 0;
    int64_t l = 0;
    const char* text = nullptr;
    uint32_t kind = 0;  // v results: the value's kind
    const char* error = nullptr;
};
Want WD(double x) {
    return {VM_TYPE_DOUBLE, x};
}
Want WI(int64_t x) {
    return {VM_TYPE_INT, 0, x};
}
Want WL(int64_t x) {
    return {VM_TYPE_LONG, 0, x};
}
Want WB(int32_t x) {
    return {VM_TYPE_BOOL, 0, x};
}
Want WS(const char* t) {
    return {VM_TYPE_STRING, 0, 0, t};
}
Want WVReal(double x) {
    return {VM_TYPE_VALUE, x, 0, nullptr, VALUE_REAL};
}
Want WVInt(int32_t x) {
    return {VM_TYPE_VALUE, 0, x, nullptr, VALUE_INT32};
}
Want WVLong(int64_t x) {
    return {VM_TYPE_VALUE, 0, x, nullptr, VALUE_INT64};
}
Want WVBool(double x) {
    return {VM_TYPE_VALUE, x, 0, nullptr, VALUE_BOOL};
}
Want WVStr(const char* t) {
    return {VM_TYPE_VALUE, 0, 0, t, VALUE_STRING};
}
Want Err(const char* message) {
    return {VM_TYPE_SPECIAL, 0, 0, nullptr, 0, message};
}

uint32_t Word(uint32_t op, const Item& right, const Item& left, uint32_t mode = 0) {
    return (op << 24) | (left.type << 20) | (right.type << 16) | (mode << 8);
}

struct Case {
    uint32_t op;
    Item left;
    Item right;
    Want want;
    uint32_t mode = 0;
};

constexpr uint32_t kAdd = VM_OP_ADD, kSub = VM_OP_SUB, kMul = VM_OP_MUL, kDiv = VM_OP_DIV, kMod = VM_OP_MOD,
                   kAnd = VM_OP_AND, kOr = VM_OP_OR, kXor = VM_OP_XOR, kShl = VM_OP_SHL, kShr = VM_OP_SHR,
                   kSet = VM_OP_SET;
constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

class VMOpcodesTest : public VMTest {
protected:
    void SetUp() override {
        VMTest::SetUp();
        ctx.stackSize = 4096;
        ctx.stack = static_cast<uint8_t*>(MEM_ALLOC(ctx.stackSize));
        ctx.frame = ctx.stack + ctx.stackSize;
        sp = ctx.frame;
        MathEpsilon = 1e-10;
        m_arg0 = Variable_BuiltIn_Add("argument0", ReadArgument0, nullptr);
    }
    void TearDown() override {
        Variable_BuiltIn_Free();
        MEM_FREE(ctx.stack);
        MathEpsilon = 1e-10;
        VMTest::TearDown();
    }

    void Push(const Item& item) {
        const int32_t size = VM_TypeStackSize(item.type);
        sp -= size;
        switch (item.type) {
            case VM_TYPE_DOUBLE:
                VM_Store(sp, item.d);
                break;
            case VM_TYPE_FLOAT:
                VM_Store(sp, static_cast<float>(item.d));
                break;
            case VM_TYPE_INT:
            case VM_TYPE_BOOL:
                VM_Store(sp, static_cast<int32_t>(item.l));
                break;
            case VM_TYPE_LONG:
                VM_Store(sp, item.l);
                break;
            case VM_TYPE_STRING:
                VM_Store(sp, VMString_NewHandle(item.text ? new SharedString(item.text) : nullptr));
                break;
            case VM_TYPE_VALUE: {
                RValue v = item.v;
                if (item.text) RValue_CreateString(&v, item.text);
                if (v.kind == VALUE_ARRAY && v.arr) ++v.arr->refCount;  // the stack item holds a reference
                VM_Store(sp, v);
                break;
            }
            default:
                break;
        }
    }

    // Runs one instruction over the items (left pushed first); checks the slot it leaves.
    void Check(uint32_t word, std::initializer_list<Item> items, const Want& want, const std::string& label) {
        SCOPED_TRACE(label);
        reports.clear();
        ctx.aborted = false;
        sp = ctx.frame;
        for (const Item& item : items) Push(item);
        uint8_t* out = VM_Handler(VM_HandlerIndex(word))(word, sp, nullptr, &ctx);
        if (want.error) {
            ASSERT_EQ(reports.size(), 1u);
            EXPECT_EQ(reports[0], want.error);
            // The operands stay on the stack after an error: release them here.
            uint8_t* at = sp;
            for (auto it = std::rbegin(items); it != std::rend(items); ++it) {
                VM_ReleaseItem(it->type, at);
                at += VM_TypeStackSize(it->type);
            }
            return;
        }
        ASSERT_TRUE(reports.empty()) << reports[0];
        ASSERT_EQ(ctx.frame - out, want.type == VM_TYPE_VALUE ? 16 : VM_TypeStackSize(want.type));
        switch (want.type) {
            case VM_TYPE_DOUBLE:
                if (std::isnan(want.d))
                    EXPECT_TRUE(std::isnan(VM_Load<double>(out)));
                else
                    EXPECT_EQ(VM_Load<double>(out), want.d);
                break;
            case VM_TYPE_INT:
            case VM_TYPE_BOOL:
                EXPECT_EQ(VM_Load<int32_t>(out), want.l);
                break;
            case VM_TYPE_LONG:
                EXPECT_EQ(VM_Load<int64_t>(out), want.l);
                break;
            case VM_TYPE_STRING: {
                SharedString* s = VMString_Take(VM_Load<uint32_t>(out));
                ASSERT_NE(s, nullptr);
                EXPECT_STREQ(s->text, want.text);
                s->Release();
                break;
            }
            default: {
                RValue v = VM_Load<RValue>(out);
                EXPECT_EQ(v.kind, want.kind);
                if (want.kind == VALUE_REAL || want.kind == VALUE_BOOL) {
                    EXPECT_EQ(v.val, want.d);
                } else if (want.kind == VALUE_INT32) {
                    EXPECT_EQ(v.v32, want.l);
                } else if (want.kind == VALUE_INT64) {
                    EXPECT_EQ(v.v64, want.l);
                } else if (want.kind == VALUE_STRING) {
                    EXPECT_STREQ(RValue_GetStringText(&v), want.text);
                }
                RValue_Free(&v);
            }
        }
        EXPECT_EQ(VMString_LiveCount(), 0);
    }

    void CheckBinary(const Case& c, size_t n) {
        Check(Word(c.op, c.right, c.left, c.mode), {c.left, c.right}, c.want,
              "case " + std::to_string(n) + " op " + std::to_string(c.op));
    }

    static bool ReadArgument0(CInstance*, int32_t, RValue* out) {
        if (VM_ArgCount < 1) return false;
        RValue_Assign(out, &VM_Args[0]);
        return true;
    }
    std::string Arg0() { return "push.b.v @" + std::to_string(m_arg0); }

    VMExecContext ctx{};
    uint8_t* sp = nullptr;
    int32_t m_arg0 = 0;
};

TEST_F(VMOpcodesTest, ArithmeticTable) {
    const Case cases[] = {
        {kAdd, I(2147483647), I(1), WI(kMin32)},
        {kAdd, L(2147483647), L(1), WL(2147483648LL)},
        {kAdd, I(2), D(0.5), WD(2.5)},
        {kAdd, D(0.1), D(0.2), WD(0.30000000000000004)},
        {kAdd, I(-5), L(3), WL(-2)},
        {kAdd, L(9007199254740993LL), D(0), WD(9007199254740992.0)},
        {kAdd, V(RValue_Int32(3)), V(RValue_Real(0.5)), WVReal(3.5)},
        {kAdd, V(RValue_Int32(3)), V(RValue_Int64(4)), WVLong(7)},
        {kAdd, V(RValue_Bool(1)), D(1), WVReal(2.0)},
        {kAdd, V(RValue_Int32(2147483647)), I(1), WVInt(kMin32)},
        {kAdd, S("ab"), S("cd"), WS("abcd")},
        {kAdd, S(nullptr), S("cd"), WS("cd")},
        {kAdd, VS("ab"), S("cd"), WVStr("abcd")},
        {kAdd, S("ab"), D(1), Err("DoAdd :: Execution Error")},
        {kAdd, F(1), D(1), Err("DoAdd :: Execution Error")},
        {kAdd, B(1), I(1), Err("DoAdd :: Execution Error")},
        {kAdd, V(Kind(VALUE_ARRAY)), D(1), Err("DoAdd :2: illegal array use")},
        {kAdd, D(1), V(Kind(VALUE_PTR)), Err("DoAdd :1: illegal pointer use")},
        {kAdd, D(1), V(RValue_Undefined()), Err("DoAdd :1: undefined value")},
        {kAdd, V(Kind(VALUE_VEC3)), D(1), Err("DoAdd :2: Malformed variable")},
        {kSub, I(kMin32), I(1), WI(2147483647)},
        {kSub, L(kMin64), L(1), WL(9223372036854775807LL)},
        {kSub, D(1), I(3), WD(-2)},
        {kSub, S("a"), I(1), Err("DoSub :: Execution Engine - Cannot operate on string type")},
        {kSub, I(1), VS("a"), Err("DoSub :: Execution Engine - Cannot operate on string type")},
        {kSub, F(1), F(1), Err("DoSub:: Execution Error")},
        {kSub, V(Kind(VALUE_NULL)), I(1), Err("DoSub :2: Malformed variable")},
        {kMul, I(65536), I(65536), WI(0)},
        {kMul, I(-3), L(4), WL(-12)},
        {kMul, L(4294967296LL), L(4294967296LL), WL(0)},
        {kMul, D(1.5), I(4), WD(6)},
        {kMul, I(3), S("ab"), WS("ababab")},
        {kMul, D(2.9), S("ab"), WS("abab")},
        {kMul, I(0), S("ab"), WS("")},
        {kMul, I(-1), S("ab"), WS("")},
        {kMul, V(RValue_Int32(2)), VS("xy"), WVStr("xyxy")},
        {kMul, S("ab"), I(3), Err("DoMul :: Execution Error")},
        {kMul, L(2), S("ab"), Err("DoMul :: Execution Error")},
        {kMul, I(2147483647), S("ab"), Err("DoMul :: Execution Error")},
        {kMul, V(Kind(VALUE_ARRAY)), D(1), Err("Variable is malformed")},
        {kMul, D(1), V(Kind(VALUE_ARRAY)), Err("illegal array use")},
        {kMul, D(1), V(RValue_Undefined()), Err("undefined value")},
        {kDiv, I(7), I(2), WI(3)},
        {kDiv, I(-7), I(2), WI(-3)},
        {kDiv, D(7), D(2), WD(3.5)},
        {kDiv, D(1), D(0), WD(kInf)},
        {kDiv, D(0), D(0), WD(kNaN)},
        {kDiv, I(kMin32), I(-1), WI(kMin32)},
        {kDiv, L(kMin64), L(-1), WL(kMin64)},
        {kDiv, L(-9), I(2), WL(-4)},
        {kDiv, I(1), I(0), Err("DoDiv :: Divide by zero")},
        {kDiv, L(1), I(0), Err("DoDiv :: Divide by zero")},
        {kDiv, S("a"), I(1), Err("DoDiv :: Execution Engine - Cannot operate on string type")},
        {kDiv, I(1), VS("a"), Err("DoDiv :1: Execution Engine - Cannot operate on string type")},
        {kDiv, VS("a"), I(1), Err("DoDiv :: Execution Engine - Cannot operate on string type")},
        {kMod, D(5.5), D(2), WD(1.5)},
        {kMod, I(-7), I(3), WI(-1)},
        {kMod, I(7), I(-3), WI(1)},
        {kMod, L(-7), I(3), WL(-1)},
        {kMod, I(-7), D(3), WD(-1)},
        {kMod, D(7.5), I(2), WD(1.5)},
        {kMod, I(kMin32), I(-1), WI(0)},
        {kMod, L(kMin64), L(-1), WL(0)},
        {kMod, D(1), D(1e-11), Err("DoMod :: Divide by zero")},
        {kMod, I(7), I(0), Err("DoMod :: Divide by zero")},
        {kMod, D(7), I(0), Err("DoMod :: Divide by zero")},
        {kMod, I(1), VS("a"), Err("DoMod :1: Execution Engine - Cannot operate on string type")},
        {kMod, V(Kind(VALUE_PTR)), I(1), Err("DoMod :2: illegal pointer use")},
    };
    for (size_t n = 0; n < std::size(cases); ++n) CheckBinary(cases[n], n);
}

TEST_F(VMOpcodesTest, BitwiseAndShiftTable) {
    const Case cases[] = {
        {kAnd, D(5.9), D(3.2), WD(1.0)},
        {kAnd, D(-1.5), I(6), WD(6.0)},
        {kOr, I(4), I(1), WI(5)},
        {kXor, L(6), I(3), WL(5)},
        {kXor, I(-1), L(0), WL(-1)},
        {kAnd, B(1), B(1), WB(1)},
        {kOr, B(0), B(1), WB(1)},
        {kXor, B(1), B(1), WB(0)},
        {kXor, B(2), B(0), WB(1)},
        {kAnd, B(2), B(1), WB(0)},
        {kOr, D(4.0), B(1), WD(5.0)},
        {kOr, B(1), D(4.0), WD(5.0)},
        {kAnd, D(7), B(1), WD(1.0)},
        {kXor, D(4), B(1), Err("DoXor :: Execution Error")},
        {kAnd, I(1), B(1), Err("DoAnd :: Execution Error")},
        {kAnd, V(RValue_Int32(12)), V(RValue_Int32(10)), WVInt(8)},
        {kOr, V(RValue_Real(1)), V(RValue_Int64(2)), WVReal(3)},
        {kAnd, S("a"), I(1), Err("DoAnd :: Execution Engine - Cannot operate on string type")},
        {kOr, S("a"), I(1), Err("DoOr :2: Execution Engine - Cannot operate on string type")},
        {kOr, I(1), S("a"), Err("DoOr :: Execution Engine - Cannot operate on string type")},
        {kXor, I(1), VS("a"), Err("DoXor :1: Execution Engine - Cannot operate on string type")},
        {kAnd, V(Kind(VALUE_ARRAY)), I(1), Err("DoAnd :2: illegal array use")},
        {kShl, I(1), I(33), WI(2)},
        {kShl, I(1), I(31), WI(kMin32)},
        {kShl, L(1), I(33), WL(8589934592LL)},
        {kShl, L(1), I(64), WL(0)},
        {kShl, L(1), I(63), WL(kMin64)},
        {kShl, I(1), L(40), WL(1099511627776LL)},
        {kShl, D(1.9), D(3.7), WD(8.0)},
        {kShl, I(3), D(2.5), WD(12.0)},
        {kShr, I(-8), I(1), WI(-4)},
        {kShr, D(-8), D(1), WD(-4.0)},
        {kShr, L(-8), I(70), WL(-1)},
        {kShr, L(8), I(64), WL(0)},
        {kShr, I(-8), I(33), WI(-4)},
        {kShl, I(1), VS("a"), Err("DoShl :: Execution Engine - Cannot operate on string type")},
        {kShl, V(RValue_Undefined()), I(1), Err("DoShl :2: undefined value")},
        {kShr, I(1), V(Kind(VALUE_ARRAY)), Err("DoShr :1: illegal array use")},
        {kShr, F(1), I(1), Err("DoShr :: Execution Error")},
    };
    for (size_t n = 0; n < std::size(cases); ++n) CheckBinary(cases[n], n);
    // Bit 15 of shr: the top bit of the result is cleared (a logical shift).
    Check(Word(kShr, I(1), I(-8)) | 0x8000, {I(-8), I(1)}, WI(0x7FFFFFFC), "shr unsigned 32");
    Check(Word(kShr, I(4), L(-1)) | 0x8000, {L(-1), I(4)}, WL(0x0FFFFFFFFFFFFFFFLL), "shr unsigned 64");
}

TEST_F(VMOpcodesTest, ComparisonTable) {
    enum { LT = 1, LE, EQ, NE, GE, GT };
    SharedArray* a = SharedArray_Create(nullptr);
    SharedArray* b = SharedArray_Create(nullptr);
    RValue arrA = RValue_Undefined(), arrA2 = RValue_Undefined(), arrB = RValue_Undefined();
    arrA.kind = arrA2.kind = arrB.kind = VALUE_ARRAY;
    arrA.arr = arrA2.arr = a;
    arrB.arr = b;
    a->refCount = 2;
    // Two pointers that share their low 32 bits compare by the whole pointer.
    RValue p1 = Kind(VALUE_PTR), p2 = Kind(VALUE_PTR);
    p1.v64 = 0x0000000100001000LL;
    p2.v64 = 0x0000000200001000LL;
    const Case cases[] = {
        {kSet, D(0.1 + 0.2), D(0.3), WB(1), EQ},
        {kSet, D(1.0), D(1.001), WB(0), EQ},
        {kSet, D(1.0), D(1.0 + 5e-11), WB(0), LT},
        {kSet, D(1.0), D(1.0 + 5e-11), WB(1), LE},
        {kSet, D(0.9), B(1), WB(1), EQ},
        {kSet, I(kMin32), I(1), WB(0), LT},  // the 32-bit difference wraps
        {kSet, L(kMin64), L(1), WB(0), LT},
        {kSet, I(2), L(3), WB(1), LT},
        {kSet, V(RValue_Int32(5)), V(RValue_Real(5.0)), WB(1), EQ},
        {kSet, VS("5"), D(5), WB(0), EQ},
        {kSet, VS("5"), D(5), WB(1), NE},
        {kSet, S("abc"), S("abd"), WB(1), LT},
        {kSet, S("abd"), S("abc"), WB(1), GT},
        {kSet, S(nullptr), S(""), WB(1), EQ},
        {kSet, S("\xc3"), S("a"), WB(1), GT},
        {kSet, V(RValue_Undefined()), V(RValue_Undefined()), WB(1), EQ},
        {kSet, V(RValue_Undefined()), D(0), WB(0), EQ},
        {kSet, V(RValue_Undefined()), D(0), WB(1), NE},
        {kSet, D(kNaN), D(kNaN), WB(0), EQ},
        {kSet, D(kNaN), D(kNaN), WB(0), NE},
        {kSet, D(kNaN), D(1), WB(0), GE},
        {kSet, B(1), S("x"), WB(1), EQ},
        {kSet, S(nullptr), B(0), WB(1), EQ},
        {kSet, D(2), D(1), WB(1), GE},
        {kSet, D(2), D(1), WB(1), GT},
        {kSet, V(arrA), V(arrA2), WB(1), EQ},
        {kSet, V(arrA), V(arrB), WB(1), NE},
        {kSet, V(p1), V(p2), WB(0), EQ},
        {kSet, V(p1), V(p2), WB(1), NE},
        {kSet, V(Kind(VALUE_NULL)), D(1), Err("DoSet :2: Malformed variable"), EQ},
        {kSet, D(1), V(Kind(VALUE_VEC3)), Err("DoSet :1: Malformed variable"), EQ},
        {kSet, D(1), D(1), Err("DoSet :: Execution Error"), 0},
    };
    for (size_t n = 0; n < std::size(cases); ++n) CheckBinary(cases[n], n);
    EXPECT_EQ(a->refCount, 2);
    EXPECT_EQ(b->refCount, 1);
    RValue_Free(&arrA);
    RValue_Free(&arrA2);
    RValue_Free(&arrB);
    // 1.0 == 1.001 holds once the epsilon is 0.01.
    MathEpsilon = 0.01;
    Check(Word(kSet, D(0), D(0), EQ), {D(1.0), D(1.001)}, WB(1), "epsilon 0.01");
}

TEST_F(VMOpcodesTest, ConversionTable) {
    struct ConvCase {
        Item from;
        uint32_t to;
        Want want;
    };
    const ConvCase cases[] = {
        {D(2.9), VM_TYPE_INT, WI(2)},
        {D(-2.9), VM_TYPE_INT, WI(-2)},
        {D(-2.9), VM_TYPE_LONG, WL(-2)},
        {D(0.5), VM_TYPE_BOOL, WB(0)},
        {D(0.51), VM_TYPE_BOOL, WB(1)},
        {I(-3), VM_TYPE_BOOL, WB(0)},
        {L(1), VM_TYPE_BOOL, WB(1)},
        {F(2.5f), VM_TYPE_DOUBLE, WD(2.5)},
        {L(4294967297LL), VM_TYPE_INT, WI(1)},
        {I(-1), VM_TYPE_LONG, WL(-1)},
        {B(7), VM_TYPE_DOUBLE, WD(1.0)},
        {I(7), VM_TYPE_VALUE, WVReal(7.0)},
        {L(7), VM_TYPE_VALUE, WVLong(7)},
        {V(RValue_Int32(7)), VM_TYPE_VALUE, WVReal(7.0)},
        {V(RValue_Bool(1)), VM_TYPE_VALUE, WVReal(1.0)},
        {V(RValue_Undefined()), VM_TYPE_VALUE, WVBool(0.0)},
        {V(RValue_Undefined()), VM_TYPE_STRING, WS("false")},
        {D(0.1), VM_TYPE_STRING, WS("0.1")},
        {D(2.5), VM_TYPE_STRING, WS("2.5")},
        {I(-5), VM_TYPE_STRING, WS("-5")},
        {L(1099511627776LL), VM_TYPE_STRING, WS("1099511627776")},
        {B(1), VM_TYPE_STRING, WS("true")},
        {S("12abc"), VM_TYPE_INT, WI(12)},
        {S("true"), VM_TYPE_BOOL, WB(1)},
        {S("True"), VM_TYPE_BOOL, WB(0)},
        {S("3.25"), VM_TYPE_DOUBLE, WD(3.25)},
        {S("99999999999"), VM_TYPE_LONG, WL(2147483647)},
        {S("-99999999999"), VM_TYPE_INT, WI(kMin32)},
        {S(nullptr), VM_TYPE_DOUBLE, WD(0)},
        {S("hi"), VM_TYPE_VALUE, WVStr("hi")},
        {VS("hi"), VM_TYPE_STRING, WS("hi")},
        {S("hi"), VM_TYPE_STRING, WS("hi")},
        {V(Kind(VALUE_ARRAY)), VM_TYPE_DOUBLE, Err("DoConv :1: illegal array use")},
        {V(Kind(VALUE_PTR)), VM_TYPE_DOUBLE, Err("DoConv :1: illegal pointer use")},
        {V(Kind(VALUE_VEC3)), VM_TYPE_INT, Err("DoConv :1: Malformed variable")},
        {V(Kind(VALUE_UNSET)), VM_TYPE_INT, Err("DoConv :1: Could not find variable")},
        {I(1), VM_TYPE_SPECIAL, Err("DoConv :: Execution Error")},
    };
    for (size_t n = 0; n < std::size(cases); ++n) {
        const ConvCase& c = cases[n];
        const uint32_t word = (VM_OP_CONV << 24) | (c.to << 20) | (c.from.type << 16);
        Check(word, {c.from}, c.want, "conv case " + std::to_string(n));
    }
}

TEST_F(VMOpcodesTest, NegAndPopz) {
    auto neg = [](const Item& x) { return (VM_OP_NEG << 24) | (x.type << 16); };
    Check(neg(I(kMin32)), {I(kMin32)}, WI(kMin32), "neg int min");
    Check(neg(L(kMin64)), {L(kMin64)}, WL(kMin64), "neg long min");
    Check(neg(B(1)), {B(1)}, WB(-1), "neg bool");
    Check(neg(D(2.5)), {D(2.5)}, WD(-2.5), "neg double");
    Check(neg(V(RValue_Bool(1))), {V(RValue_Bool(1))}, WVBool(-1.0), "neg v bool");
    Check(neg(V(RValue_Int32(5))), {V(RValue_Int32(5))}, WVInt(-5), "neg v int");
    Check(neg(S("a")), {S("a")}, Err("DoNeg :: Execution Engine - Cannot operate on string type"), "neg s");
    Check(neg(VS("a")), {VS("a")}, Err("DoNeg :1: Execution Engine - Cannot operate on string type"),
          "neg vs");
    Check(neg(V(RValue_Undefined())), {V(RValue_Undefined())}, Err("DoNeg :1: undefined value"), "neg undef");

    // popz of the last reference to a string frees it.
    reports.clear();
    sp = ctx.frame;
    Push(D(1));
    Push(VS("gone"));
    SharedString* record = VM_Load<RValue>(sp).str;
    ASSERT_EQ(record->refCount, 1);
    uint8_t* out = VM_Handler(VM_OP_POPZ)((VM_OP_POPZ << 24) | (VM_TYPE_VALUE << 16), sp, nullptr, &ctx);
    EXPECT_EQ(ctx.frame - out, 8);
    out = VM_Handler(VM_OP_POPZ)((VM_OP_POPZ << 24) | (VM_TYPE_DOUBLE << 16), out, nullptr, &ctx);
    EXPECT_EQ(out, ctx.frame);
    sp = ctx.frame;
    Push(S("s"));
    out = VM_Handler(VM_OP_POPZ)((VM_OP_POPZ << 24) | (VM_TYPE_STRING << 16), sp, nullptr, &ctx);
    EXPECT_EQ(out, ctx.frame);
    EXPECT_EQ(VMString_LiveCount(), 0);
    EXPECT_TRUE(reports.empty());
}

TEST_F(VMOpcodesTest, AssembledLoopSumAndRecursiveFib) {
    // sum of 1..n as reals, with the local i counting.
    const char* loop = R"(
    push.d 0
    pop.v.d local.n
    push.i 1
    pop.v.i local.i
top:
    push.l.v local.i
    push.i 1000000
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
    RValue r = Run(loop);
    EXPECT_EQ(r.kind, VALUE_REAL);
    EXPECT_EQ(r.val, 500000500000.0);
    ASSERT_TRUE(reports.empty()) << reports[0];

    Script(0, "fib",
           Arg0() + "\npush.i 2\nset.i.v 0x0100\nbf rec\n" + Arg0() + "\nret.v\nrec:\n" + Arg0() +
               "\npush.i 1\nsub.i.v\ncall.i 100000 1\n" + Arg0() +
               "\npush.i 2\nsub.i.v\ncall.i 100000 1\nadd.v.v\nret.v\n");
    r = Run("push.i 20\nconv.i.v\ncall.i 100000 1\nret.v\n");
    ASSERT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(r.kind, VALUE_REAL);
    EXPECT_EQ(r.val, 6765.0);
}

}  // namespace
