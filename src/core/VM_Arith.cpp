#include "core/VM_Arith.h"

#include <cmath>
#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/MemoryManager.h"
#include "core/VMStack.h"
#include "core/VM_ScriptOps.h"
#include "core/Value.h"

double MathEpsilon = 1e-10;

namespace {

// --- Operands ---------------------------------------------------------------------------

// The type an operand really has once a v item is looked into.
enum Eff : uint8_t { EFF_D, EFF_F, EFF_I, EFF_L, EFF_B, EFF_S, EFF_E, EFF_NONE };

struct Operand {
    Eff eff;
    double d;         // D, F
    int64_t l;        // I, L, B, E (sign-extended)
    SharedString* s;  // S (may be null: no record)
};

enum class Fault { None, Array, Pointer, Undefined, Malformed, String };

// Messages of one handler; index 0 the right operand (":1:"), 1 the left (":2:").
struct Messages {
    const char* array[2];
    const char* pointer[2];
    const char* undefined[2];
    const char* malformed[2];
    const char* stringValue[2];     // a v holding a string; null: strings are operands here
    const char* stringDeclared[2];  // a declared s; null: strings are operands here
    const char* exec;
    const char* divideByZero;
};

const char* const kStr = "Execution Engine - Cannot operate on string type";

#define HV_SIDES(name, what) \
    { name " :1: " what, name " :2: " what }
#define HV_STD(name) \
    HV_SIDES(name, "illegal array use"), HV_SIDES(name, "illegal pointer use"), \
        HV_SIDES(name, "undefined value"), HV_SIDES(name, "Malformed variable")

const Messages kAdd = {
    HV_STD("DoAdd"), {nullptr, nullptr}, {nullptr, nullptr}, "DoAdd :: Execution Error", nullptr};
const Messages kSub = {HV_STD("DoSub"),
                       {"DoSub :: Execution Engine - Cannot operate on string type",
                        "DoSub :: Execution Engine - Cannot operate on string type"},
                       {"DoSub :: Execution Engine - Cannot operate on string type",
                        "DoSub :: Execution Engine - Cannot operate on string type"},
                       "DoSub:: Execution Error",
                       nullptr};
const Messages kMul = {{"illegal array use", "Variable is malformed"},
                       {"illegal pointer use", "illegal pointer use"},
                       {"undefined value", "undefined value"},
                       {"Variable is malformed", "Variable is malformed"},
                       {nullptr, nullptr},
                       {nullptr, nullptr},
                       "DoMul :: Execution Error",
                       nullptr};
const Messages kDiv = {HV_STD("DoDiv"),
                       {"DoDiv :1: Execution Engine - Cannot operate on string type",
                        "DoDiv :: Execution Engine - Cannot operate on string type"},
                       {"DoDiv :: Execution Engine - Cannot operate on string type",
                        "DoDiv :: Execution Engine - Cannot operate on string type"},
                       "DoDiv :: Execution Error",
                       "DoDiv :: Divide by zero"};
const Messages kMod = {HV_STD("DoMod"),
                       {"DoMod :1: Execution Engine - Cannot operate on string type",
                        "DoMod :: Execution Engine - Cannot operate on string type"},
                       {"DoMod :: Execution Engine - Cannot operate on string type",
                        "DoMod :: Execution Engine - Cannot operate on string type"},
                       "DoMod :: Execution Error",
                       "DoMod :: Divide by zero"};
const Messages kAnd = {HV_STD("DoAnd"),
                       HV_SIDES("DoAnd", "Execution Engine - Cannot operate on string type"),
                       {"DoAnd :: Execution Engine - Cannot operate on string type",
                        "DoAnd :: Execution Engine - Cannot operate on string type"},
                       "DoAnd :: Execution Error",
                       nullptr};
const Messages kOr = {HV_STD("DoOr"),
                      HV_SIDES("DoOr", "Execution Engine - Cannot operate on string type"),
                      {"DoOr :: Execution Engine - Cannot operate on string type",
                       "DoOr :2: Execution Engine - Cannot operate on string type"},
                      "DoOr :: Execution Error",
                      nullptr};
const Messages kXor = {HV_STD("DoXor"), HV_SIDES("DoXor", "Execution Engine - Cannot operate on string type"),
                       HV_SIDES("DoXor", "Execution Engine - Cannot operate on string type"),
                       "DoXor :: Execution Error", nullptr};
// The left-shift messages of the right operand carry no side marker.
const Messages kShl = {{"DoShl :: illegal array use", "DoShl :2: illegal array use"},
                       {"DoShl :: illegal pointer use", "DoShl :2: illegal pointer use"},
                       {"DoShl :: undefined value", "DoShl :2: undefined value"},
                       {"DoShl :: Malformed variable", "DoShl :2: Malformed variable"},
                       {"DoShl :: Execution Engine - Cannot operate on string type",
                        "DoShl :2: Execution Engine - Cannot operate on string type"},
                       {"DoShl :: Execution Engine - Cannot operate on string type",
                        "DoShl :2: Execution Engine - Cannot operate on string type"},
                       "DoShl :: Execution Error",
                       nullptr};
const Messages kShr = {HV_STD("DoShr"), HV_SIDES("DoShr", "Execution Engine - Cannot operate on string type"),
                       HV_SIDES("DoShr", "Execution Engine - Cannot operate on string type"),
                       "DoShr :: Execution Error", nullptr};

#undef HV_STD
#undef HV_SIDES

// Reads the item of a declared type at `at` into an operand; a v by the arithmetic table.
Fault ReadArith(uint32_t type, const uint8_t* at, Operand& out) {
    out = {EFF_NONE, 0, 0, nullptr};
    switch (type) {
        case VM_TYPE_DOUBLE:
            out.eff = EFF_D;
            out.d = VM_Load<double>(at);
            return Fault::None;
        case VM_TYPE_FLOAT:
            out.eff = EFF_F;
            out.d = VM_Load<float>(at);
            return Fault::None;
        case VM_TYPE_INT:
            out.eff = EFF_I;
            out.l = VM_Load<int32_t>(at);
            return Fault::None;
        case VM_TYPE_LONG:
            out.eff = EFF_L;
            out.l = VM_Load<int64_t>(at);
            return Fault::None;
        case VM_TYPE_BOOL:
            out.eff = EFF_B;
            out.l = VM_Load<int32_t>(at);
            return Fault::None;
        case VM_TYPE_STRING:
            out.eff = EFF_S;
            out.s = VMString_Get(VM_Load<uint32_t>(at));
            return Fault::None;
        case VM_TYPE_VALUE:
            break;
        default:
            return Fault::None;
    }
    const RValue v = VM_Load<RValue>(at);
    switch (RValue_Kind(v)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            out.eff = EFF_D;
            out.d = v.val;
            return Fault::None;
        case VALUE_STRING:
            out.eff = EFF_S;
            out.s = v.str;
            return Fault::String;
        case VALUE_INT32:
            out.eff = EFF_I;
            out.l = v.v32;
            return Fault::None;
        case VALUE_INT64:
            out.eff = EFF_L;
            out.l = v.v64;
            return Fault::None;
        case VALUE_ARRAY:
            return Fault::Array;
        case VALUE_PTR:
            return Fault::Pointer;
        case VALUE_UNDEFINED:
            return Fault::Undefined;
        default:
            return Fault::Malformed;
    }
}

// Resolves one side; false after reporting its error.
bool Resolve(uint32_t type, const uint8_t* at, int side, const Messages& m, VMExecContext* ctx,
             Operand& out) {
    const char* message = nullptr;
    switch (ReadArith(type, at, out)) {
        case Fault::None:
            if (out.eff == EFF_S && m.stringDeclared[side]) message = m.stringDeclared[side];
            break;
        case Fault::String:
            message = m.stringValue[side];
            break;
        case Fault::Array:
            message = m.array[side];
            break;
        case Fault::Pointer:
            message = m.pointer[side];
            break;
        case Fault::Undefined:
            message = m.undefined[side];
            break;
        case Fault::Malformed:
            message = m.malformed[side];
            break;
    }
    if (message == nullptr) return true;
    VM_Error(ctx, "%s", message);
    return false;
}

// --- Results ----------------------------------------------------------------------------

struct Result {
    Eff eff;  // D, I, L, B or S
    double d;
    int64_t l;
    SharedString* s;  // owns one reference
};

Result Real(double d) {
    return {EFF_D, d, 0, nullptr};
}
Result Int(int32_t i) {
    return {EFF_I, 0, i, nullptr};
}
Result Long(int64_t l) {
    return {EFF_L, 0, l, nullptr};
}
Result Bool(bool b) {
    return {EFF_B, 0, b ? 1 : 0, nullptr};
}

bool Numeric(Eff e) {
    return e == EFF_D || e == EFF_I || e == EFF_L;
}

// The width of a numeric pair: double over int64 over int32.
Eff WidthOf(const Operand& a, const Operand& b) {
    if (a.eff == EFF_D || b.eff == EFF_D) return EFF_D;
    if (a.eff == EFF_L || b.eff == EFF_L) return EFF_L;
    return EFF_I;
}

double AsDouble(const Operand& o) {
    return o.eff == EFF_D || o.eff == EFF_F ? o.d : static_cast<double>(o.l);
}

// The result slot follows the declared pair: 16 bytes beside a v, 4 for strings, bools and
// int32 pairs, 8 when a d or an l was declared.
int32_t ResultBytes(uint32_t t1, uint32_t t2, Eff eff) {
    if (t1 == VM_TYPE_VALUE || t2 == VM_TYPE_VALUE) return 16;
    if (eff == EFF_S || eff == EFF_B) return 4;
    if (t1 == VM_TYPE_DOUBLE || t2 == VM_TYPE_DOUBLE || t1 == VM_TYPE_LONG || t2 == VM_TYPE_LONG) return 8;
    return 4;
}

RValue ResultValue(const Result& r) {
    switch (r.eff) {
        case EFF_I:
            return RValue_Int32(static_cast<int32_t>(r.l));
        case EFF_L:
            return RValue_Int64(r.l);
        case EFF_B:
            return RValue_Bool(r.l ? 1.0 : 0.0);
        case EFF_S: {
            RValue v = RValue_Undefined();
            v.str = r.s;
            v.kind = VALUE_STRING;
            return v;
        }
        default:
            return RValue_Real(r.d);
    }
}

// Releases both operands and puts the result in their place; answers the new stack pointer.
uint8_t* Replace(uint8_t* sp, uint32_t t1, uint32_t t2, const Result& r) {
    const int32_t s1 = VM_TypeStackSize(t1), s2 = VM_TypeStackSize(t2);
    VM_ReleaseItem(t1, sp);
    VM_ReleaseItem(t2, sp + s1);
    const int32_t bytes = ResultBytes(t1, t2, r.eff);
    uint8_t* out = sp + s1 + s2 - bytes;
    switch (bytes) {
        case 16:
            VM_Store(out, ResultValue(r));
            break;
        case 8:
            if (r.eff == EFF_D)
                VM_Store(out, r.d);
            else
                VM_Store(out, r.l);
            break;
        default:
            if (r.eff == EFF_S)
                VM_Store(out, VMString_NewHandle(r.s));
            else if (r.eff == EFF_D)
                VM_Store(out, CRT_TruncToInt32(r.d));
            else
                VM_Store(out, static_cast<int32_t>(r.l));
            break;
    }
    return out;
}

// --- Integer helpers: wrapping arithmetic through unsigned types ------------------------

int32_t Add32(int64_t a, int64_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t Sub32(int64_t a, int64_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t Mul32(int64_t a, int64_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int64_t Add64(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t Sub64(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
int64_t Mul64(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}
// The smallest integer over -1 wraps to itself (remainder 0) instead of trapping.
int32_t Div32(int32_t a, int32_t b) {
    return b == -1 ? static_cast<int32_t>(0u - static_cast<uint32_t>(a)) : a / b;
}
int64_t Div64(int64_t a, int64_t b) {
    return b == -1 ? static_cast<int64_t>(0 - static_cast<uint64_t>(a)) : a / b;
}
int32_t Rem32(int32_t a, int32_t b) {
    return b == -1 ? 0 : a % b;
}
int64_t Rem64(int64_t a, int64_t b) {
    return b == -1 ? 0 : a % b;
}

// --- Two-operand handlers ---------------------------------------------------------------

enum class Op { Add, Sub, Mul, Div, Mod, And, Or, Xor, Shl, Shr };

const Messages& MessagesOf(Op op) {
    switch (op) {
        case Op::Add:
            return kAdd;
        case Op::Sub:
            return kSub;
        case Op::Mul:
            return kMul;
        case Op::Div:
            return kDiv;
        case Op::Mod:
            return kMod;
        case Op::And:
            return kAnd;
        case Op::Or:
            return kOr;
        case Op::Xor:
            return kXor;
        case Op::Shl:
            return kShl;
        default:
            return kShr;
    }
}

const char* TextOf(const SharedString* s, int32_t* length) {
    if (s == nullptr || s->text == nullptr) {
        *length = 0;
        return "";
    }
    *length = static_cast<int32_t>(std::strlen(s->text));
    return s->text;
}

bool Concatenate(const Operand& left, const Operand& right, Result& out) {
    int32_t ll = 0, rl = 0;
    const char* lt = TextOf(left.s, &ll);
    const char* rt = TextOf(right.s, &rl);
    if (int64_t{ll} + rl > VM_MAX_REPEAT_BYTES) return false;
    SharedString* record = SharedString_Alloc(ll + rl);
    if (record == nullptr) return false;
    std::memcpy(record->text, lt, static_cast<size_t>(ll));
    std::memcpy(record->text + ll, rt, static_cast<size_t>(rl));
    out = {EFF_S, 0, 0, record};
    return true;
}

// The right text count times; a count of 0 or less gives the empty text.
bool Repeat(int64_t count, const Operand& right, Result& out) {
    int32_t length = 0;
    const char* text = TextOf(right.s, &length);
    if (count < 0) count = 0;
    if (length > 0 && count > VM_MAX_REPEAT_BYTES / length) return false;
    const int64_t total = count * length;
    SharedString* record = SharedString_Alloc(static_cast<int32_t>(total));
    if (record == nullptr) return false;
    for (int64_t i = 0; i < count && length > 0; ++i)
        std::memcpy(record->text + i * length, text, static_cast<size_t>(length));
    out = {EFF_S, 0, 0, record};
    return true;
}

// add, sub, mul, div and mod of a numeric pair; false with the message to report.
bool Arith(Op op, const Operand& a, const Operand& b, Result& out, const char*& error) {
    const Messages& m = MessagesOf(op);
    const Eff width = WidthOf(a, b);
    if (width == EFF_D) {
        const double x = AsDouble(a), y = AsDouble(b);
        switch (op) {
            case Op::Add:
                out = Real(x + y);
                return true;
            case Op::Sub:
                out = Real(x - y);
                return true;
            case Op::Mul:
                out = Real(x * y);
                return true;
            case Op::Div:
                out = Real(x / y);
                return true;
            default:
                break;
        }
        // mod: a double divisor is tested against 1e-10, an integer one against 0.
        const bool zero = b.eff == EFF_D ? std::fabs(y) < 1e-10 : b.l == 0;
        if (zero) {
            error = m.divideByZero;
            return false;
        }
        out = Real(std::fmod(x, y));
        return true;
    }
    if ((op == Op::Div || op == Op::Mod) && b.l == 0) {
        error = m.divideByZero;
        return false;
    }
    if (width == EFF_I) {
        const auto x = static_cast<int32_t>(a.l), y = static_cast<int32_t>(b.l);
        switch (op) {
            case Op::Add:
                out = Int(Add32(x, y));
                break;
            case Op::Sub:
                out = Int(Sub32(x, y));
                break;
            case Op::Mul:
                out = Int(Mul32(x, y));
                break;
            case Op::Div:
                out = Int(Div32(x, y));
                break;
            default:
                out = Int(Rem32(x, y));
                break;
        }
        return true;
    }
    switch (op) {
        case Op::Add:
            out = Long(Add64(a.l, b.l));
            break;
        case Op::Sub:
            out = Long(Sub64(a.l, b.l));
            break;
        case Op::Mul:
            out = Long(Mul64(a.l, b.l));
            break;
        case Op::Div:
            out = Long(Div64(a.l, b.l));
            break;
        default:
            out = Long(Rem64(a.l, b.l));
            break;
    }
    return true;
}

int64_t AsInt64(const Operand& o) {
    return o.eff == EFF_D ? CRT_TruncToInt64(o.d) : o.l;
}

bool Bitwise(Op op, const Operand& a, const Operand& b, Result& out) {
    if (Numeric(a.eff) && Numeric(b.eff)) {
        const Eff width = WidthOf(a, b);
        const int64_t x = AsInt64(a), y = AsInt64(b);
        const int64_t r = op == Op::And ? (x & y) : op == Op::Or ? (x | y) : (x ^ y);
        out = width == EFF_D   ? Real(static_cast<double>(r))
              : width == EFF_L ? Long(r)
                               : Int(static_cast<int32_t>(r));
        return true;
    }
    if (a.eff == EFF_B && b.eff == EFF_B) {
        if (op == Op::And)
            out = Bool(a.l == 1 && b.l == 1);
        else if (op == Op::Or)
            out = Bool(a.l == 1 || b.l == 1);
        else
            out = Bool((a.l != 0) != (b.l != 0));
        return true;
    }
    const bool dWithB = (a.eff == EFF_D && b.eff == EFF_B) || (a.eff == EFF_B && b.eff == EFF_D);
    if (!dWithB || op == Op::Xor) return false;
    const Operand& dOp = a.eff == EFF_D ? a : b;
    const Operand& bOp = a.eff == EFF_B ? a : b;
    const int64_t x = CRT_TruncToInt64(dOp.d);
    out = Real(static_cast<double>(op == Op::And ? (x & bOp.l) : (x | (bOp.l == 1 ? 1 : 0))));
    return true;
}

// A 64-bit shift uses the low 8 bits of its count: 64 and more shift everything out.
int64_t Shift64(int64_t value, int64_t count, bool left, bool logical) {
    const uint32_t n = static_cast<uint32_t>(count) & 0xFF;
    const auto u = static_cast<uint64_t>(value);
    if (left) return n >= 64 ? 0 : static_cast<int64_t>(u << n);
    if (logical) return static_cast<int64_t>((n >= 64 ? 0 : u >> n) & 0x7FFFFFFFFFFFFFFFull);
    return n >= 64 ? (value < 0 ? -1 : 0) : value >> n;
}

int32_t Shift32(int32_t value, int64_t count, bool left, bool logical) {
    const uint32_t n = static_cast<uint32_t>(count) & 31;
    const auto u = static_cast<uint32_t>(value);
    if (left) return static_cast<int32_t>(u << n);
    if (logical) return static_cast<int32_t>((u >> n) & 0x7FFFFFFFu);
    return value >> n;
}

// The count of a shift: a d truncated to 64 bits, an l by its low 32 bits.
int64_t CountOf(const Operand& o) {
    if (o.eff == EFF_D) return CRT_TruncToInt64(o.d);
    if (o.eff == EFF_L) return static_cast<int32_t>(o.l);
    return o.l;
}

bool Shift(Op op, bool logical, const Operand& a, const Operand& b, Result& out) {
    if (!Numeric(a.eff) || !Numeric(b.eff)) return false;
    const bool left = op == Op::Shl;
    const int64_t count = CountOf(b);
    if (a.eff == EFF_I && b.eff == EFF_I) {
        out = Int(Shift32(static_cast<int32_t>(a.l), count, left, logical));
    } else if (a.eff == EFF_I && b.eff == EFF_D) {
        out = Real(Shift32(static_cast<int32_t>(a.l), count, left, logical));
    } else if (a.eff != EFF_D && b.eff != EFF_D) {
        out = Long(Shift64(a.l, count, left, logical));
    } else {
        out = Real(static_cast<double>(Shift64(AsInt64(a), count, left, logical)));
    }
    return true;
}

bool Compute(Op op, uint32_t word, const Operand& a, const Operand& b, Result& out, const char*& error) {
    const Messages& m = MessagesOf(op);
    error = m.exec;
    switch (op) {
        case Op::And:
        case Op::Or:
        case Op::Xor:
            return Bitwise(op, a, b, out);
        case Op::Shl:
        case Op::Shr:
            return Shift(op, (word & 0x8000) != 0, a, b, out);
        default:
            break;
    }
    if (Numeric(a.eff) && Numeric(b.eff)) return Arith(op, a, b, out, error);
    if (op == Op::Add && a.eff == EFF_S && b.eff == EFF_S) return Concatenate(a, b, out);
    if (op == Op::Mul && b.eff == EFF_S && (a.eff == EFF_D || a.eff == EFF_I))
        return Repeat(a.eff == EFF_D ? CRT_TruncToInt64(std::trunc(a.d)) : a.l, b, out);
    return false;
}

// The script-object form of a two-operand handler.
uint8_t* ScriptBinary(ScriptOperator op, uint32_t word, uint8_t* sp, VMExecContext* ctx,
                      const char* handler) {
    return VM_ScriptOperator(op, false, VMScriptResult::Value, VM_Type1(word), VM_Type2(word), sp, ctx,
                             handler);
}

// Two real values: the common case of game arithmetic, computed without the general resolve.
bool RealPair(Op op, uint32_t word, uint8_t* sp, VMExecContext* ctx, uint8_t*& out) {
    if (((word >> 16) & 0xFF) != 0x55 || VM_ItemBytes(sp, ctx) < 32) return false;
    const RValue right = VM_Load<RValue>(sp), left = VM_Load<RValue>(sp + 16);
    if (right.kind != VALUE_REAL || left.kind != VALUE_REAL) return false;
    double r;
    switch (op) {
        case Op::Add:
            r = left.val + right.val;
            break;
        case Op::Sub:
            r = left.val - right.val;
            break;
        case Op::Mul:
            r = left.val * right.val;
            break;
        default:
            return false;
    }
    out = sp + 16;
    VM_Store(out, RValue_Real(r));
    return true;
}

uint8_t* Binary(Op op, uint32_t word, uint8_t* sp, VMExecContext* ctx) {
    if (uint8_t* out = nullptr; RealPair(op, word, sp, ctx, out)) return out;
    const Messages& m = MessagesOf(op);
    const uint32_t t1 = VM_Type1(word), t2 = VM_Type2(word);
    const int32_t s1 = VM_TypeStackSize(t1), s2 = VM_TypeStackSize(t2);
    if (!VM_HaveItems(sp, ctx, s1 + s2, m.exec)) return sp;
    Operand right, left;
    if (!Resolve(t1, sp, 0, m, ctx, right) || !Resolve(t2, sp + s1, 1, m, ctx, left)) return sp;
    Result r;
    const char* error = nullptr;
    if (!Compute(op, word, left, right, r, error)) {
        VM_Error(ctx, "%s", error);
        return sp;
    }
    return Replace(sp, t1, t2, r);
}

uint32_t ModeOf(uint32_t word) {
    return (word >> 8) & 0xF;
}

}  // namespace

uint8_t* VM_HandlerAdd(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) != 0)
        return ScriptBinary(ModeOf(word) == 1 ? ScriptOperator::Add : ScriptOperator::NumericAdd, word, sp,
                            ctx, "DoAdd");
    return Binary(Op::Add, word, sp, ctx);
}
uint8_t* VM_HandlerSub(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) == 1) return ScriptBinary(ScriptOperator::Sub, word, sp, ctx, "DoSub");
    return Binary(Op::Sub, word, sp, ctx);
}
uint8_t* VM_HandlerMul(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) == 1) return ScriptBinary(ScriptOperator::Mul, word, sp, ctx, "DoMul");
    return Binary(Op::Mul, word, sp, ctx);
}
uint8_t* VM_HandlerDiv(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) == 1) return ScriptBinary(ScriptOperator::Div, word, sp, ctx, "DoDiv");
    return Binary(Op::Div, word, sp, ctx);
}
uint8_t* VM_HandlerMod(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) == 1) return ScriptBinary(ScriptOperator::Mod, word, sp, ctx, "DoMod");
    return Binary(Op::Mod, word, sp, ctx);
}
uint8_t* VM_HandlerAnd(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) != 0) return ScriptBinary(ScriptOperator::And, word, sp, ctx, "DoAnd");
    return Binary(Op::And, word, sp, ctx);
}
uint8_t* VM_HandlerOr(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) != 0) return ScriptBinary(ScriptOperator::Or, word, sp, ctx, "DoOr");
    return Binary(Op::Or, word, sp, ctx);
}
uint8_t* VM_HandlerXor(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) != 0) return ScriptBinary(ScriptOperator::Xor, word, sp, ctx, "DoXor");
    return Binary(Op::Xor, word, sp, ctx);
}
uint8_t* VM_HandlerShl(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) != 0) return ScriptBinary(ScriptOperator::Shl, word, sp, ctx, "DoShl");
    return Binary(Op::Shl, word, sp, ctx);
}
uint8_t* VM_HandlerShr(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) != 0)
        return ScriptBinary((word & 0x8000) != 0 ? ScriptOperator::ShrUnsigned : ScriptOperator::Shr, word,
                            sp, ctx, "DoShr");
    return Binary(Op::Shr, word, sp, ctx);
}

// --- neg --------------------------------------------------------------------------------

uint8_t* VM_HandlerNeg(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ModeOf(word) != 0)
        return VM_ScriptOperator(ModeOf(word) == 1 ? ScriptOperator::Negate : ScriptOperator::Plus, true,
                                 VMScriptResult::Value, VM_Type1(word), 0, sp, ctx, "DoNeg");
    const uint32_t type = VM_Type1(word);
    const int32_t size = VM_TypeStackSize(type);
    if (size == 0) return sp;
    if (!VM_HaveItems(sp, ctx, size, "DoNeg")) return sp;
    switch (type) {
        case VM_TYPE_DOUBLE:
            VM_Store(sp, -VM_Load<double>(sp));
            return sp;
        case VM_TYPE_FLOAT:
            VM_Store(sp, -VM_Load<float>(sp));
            return sp;
        case VM_TYPE_INT:
        case VM_TYPE_BOOL:
            VM_Store(sp, static_cast<int32_t>(0u - VM_Load<uint32_t>(sp)));
            return sp;
        case VM_TYPE_LONG:
            VM_Store(sp, static_cast<int64_t>(0 - VM_Load<uint64_t>(sp)));
            return sp;
        case VM_TYPE_STRING:
            VM_Error(ctx, "DoNeg :: Execution Engine - Cannot operate on string type");
            return sp;
        default:
            break;
    }
    RValue v = VM_Load<RValue>(sp);
    switch (RValue_Kind(v)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            v.val = -v.val;
            break;
        case VALUE_INT32:
            v.v32 = static_cast<int32_t>(0u - static_cast<uint32_t>(v.v32));
            break;
        case VALUE_INT64:
            v.v64 = static_cast<int64_t>(0 - static_cast<uint64_t>(v.v64));
            break;
        case VALUE_STRING:
            VM_Error(ctx, "DoNeg :1: Execution Engine - Cannot operate on string type");
            return sp;
        case VALUE_ARRAY:
            VM_Error(ctx, "DoNeg :1: illegal array use");
            return sp;
        case VALUE_PTR:
            VM_Error(ctx, "DoNeg :1: illegal pointer use");
            return sp;
        case VALUE_UNDEFINED:
            VM_Error(ctx, "DoNeg :1: undefined value");
            return sp;
        default:
            VM_Error(ctx, "DoNeg :1: Malformed variable");
            return sp;
    }
    VM_Store(sp, v);
    return sp;
}
