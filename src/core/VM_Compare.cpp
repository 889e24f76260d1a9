// set (comparison), popz and conv.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/ScriptObjectHooks.h"
#include "core/VMStack.h"
#include "core/VM_Arith.h"
#include "core/VM_ScriptOps.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

namespace {

// --- set --------------------------------------------------------------------------------

enum CmpEff : uint8_t { C_D, C_F, C_I, C_L, C_B, C_S, C_E };

struct CmpOperand {
    CmpEff eff;
    double d;
    int64_t l;
    const SharedString* s;
};

// A v operand by the comparison table. Arrays, pointers and objects compare by the whole
// pointer (as a 64-bit integer), so two records never meet on their low 32 bits alone.
bool ReadCompare(uint32_t type, const uint8_t* at, int side, VMExecContext* ctx, CmpOperand& out) {
    out = {C_D, 0, 0, nullptr};
    switch (type) {
        case VM_TYPE_DOUBLE:
            out.d = VM_Load<double>(at);
            return true;
        case VM_TYPE_FLOAT:
            out.eff = C_F;
            out.d = VM_Load<float>(at);
            return true;
        case VM_TYPE_INT:
            out.eff = C_I;
            out.l = VM_Load<int32_t>(at);
            return true;
        case VM_TYPE_LONG:
            out.eff = C_L;
            out.l = VM_Load<int64_t>(at);
            return true;
        case VM_TYPE_BOOL:
            out.eff = C_B;
            out.l = VM_Load<int32_t>(at);
            return true;
        case VM_TYPE_STRING:
            out.eff = C_S;
            out.s = VMString_Get(VM_Load<uint32_t>(at));
            return true;
        default:
            break;
    }
    const RValue v = VM_Load<RValue>(at);
    switch (RValue_Kind(v)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            out.d = v.val;
            return true;
        case VALUE_STRING:
            out.eff = C_S;
            out.s = v.str;
            return true;
        case VALUE_INT32:
            out.eff = C_I;
            out.l = v.v32;
            return true;
        case VALUE_ARRAY:
        case VALUE_PTR:
        case VALUE_OBJECT:
        case VALUE_INT64:
            out.eff = C_L;
            out.l = v.v64;
            return true;
        case VALUE_UNDEFINED:
            out.eff = C_E;
            out.l = v.v32;
            return true;
        default:
            VM_Error(ctx, side == 0 ? "DoSet :1: Malformed variable" : "DoSet :2: Malformed variable");
            return false;
    }
}

const char* TextOrEmpty(const SharedString* s) {
    return s && s->text ? s->text : "";
}

bool DecideOrder(uint32_t kind, int order) {
    switch (kind) {
        case 1:
            return order < 0;
        case 2:
            return order <= 0;
        case 3:
            return order == 0;
        case 4:
            return order != 0;
        case 5:
            return order >= 0;
        default:
            return order > 0;
    }
}

bool IsIntLike(CmpEff e) {
    return e == C_I || e == C_B;
}
bool IsNumber(CmpEff e) {
    return e == C_D || e == C_I || e == C_L;
}

bool Compare(uint32_t kind, const CmpOperand& a, const CmpOperand& b) {
    if (a.eff == C_S && b.eff == C_S) {
        const int order = std::strcmp(TextOrEmpty(a.s), TextOrEmpty(b.s));
        return DecideOrder(kind, order);
    }
    double h;
    if ((a.eff == C_D && IsNumber(b.eff)) || (b.eff == C_D && IsNumber(a.eff))) {
        h = (a.eff == C_D ? a.d : static_cast<double>(a.l)) - (b.eff == C_D ? b.d : static_cast<double>(b.l));
    } else if (IsIntLike(a.eff) && IsIntLike(b.eff)) {
        h = static_cast<int32_t>(static_cast<uint32_t>(a.l) - static_cast<uint32_t>(b.l));
    } else if ((a.eff == C_I || a.eff == C_L) && (b.eff == C_I || b.eff == C_L)) {
        h = static_cast<double>(
            static_cast<int64_t>(static_cast<uint64_t>(a.l) - static_cast<uint64_t>(b.l)));
    } else if ((a.eff == C_D && b.eff == C_B) || (a.eff == C_B && b.eff == C_D)) {
        const double x = a.eff == C_D ? a.d : static_cast<double>(a.l);
        const double y = b.eff == C_D ? b.d : static_cast<double>(b.l);
        h = CRT_TruncToInt32(x - y);
    } else if (a.eff == C_B && b.eff == C_S) {
        h = static_cast<double>(a.l - (b.s ? 1 : 0));
    } else if (a.eff == C_S && b.eff == C_B) {
        h = static_cast<double>((a.s ? 1 : 0) - b.l);
    } else if (a.eff == C_E && b.eff == C_E) {
        h = static_cast<int32_t>(static_cast<uint32_t>(a.l) - static_cast<uint32_t>(b.l));
    } else {
        return kind == 4;
    }
    return VM_CompareDecide(kind, h);
}

}  // namespace

uint8_t* VM_HandlerSet(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    const uint32_t kind = (word >> 8) & 0xF;
    if (kind >= 7) {
        static constexpr ScriptOperator kOps[] = {
            ScriptOperator::Less,         ScriptOperator::Greater,     ScriptOperator::LessEqual,
            ScriptOperator::GreaterEqual, ScriptOperator::In,          ScriptOperator::Equal,
            ScriptOperator::NotEqual,     ScriptOperator::StrictEqual, ScriptOperator::StrictNotEqual};
        return VM_ScriptOperator(kOps[kind - 7], false, VMScriptResult::Bool, VM_Type1(word), VM_Type2(word),
                                 sp, ctx, "DoSet");
    }
    if (kind == 0) {
        VM_Error(ctx, "DoSet :: Execution Error");
        return sp;
    }
    const uint32_t t1 = VM_Type1(word), t2 = VM_Type2(word);
    const int32_t s1 = VM_TypeStackSize(t1), s2 = VM_TypeStackSize(t2);
    if (s1 == 0 || s2 == 0) {
        VM_Error(ctx, "DoSet :: Execution Error");
        return sp;
    }
    if (!VM_HaveItems(sp, ctx, s1 + s2, "DoSet")) return sp;
    CmpOperand right, left;
    if (!ReadCompare(t1, sp, 0, ctx, right) || !ReadCompare(t2, sp + s1, 1, ctx, left)) return sp;
    const bool result = Compare(kind, left, right);
    VM_ReleaseItem(t1, sp);
    VM_ReleaseItem(t2, sp + s1);
    sp += s1 + s2 - 4;
    VM_Store(sp, int32_t{result ? 1 : 0});
    return sp;
}

// --- popz -------------------------------------------------------------------------------

uint8_t* VM_HandlerPopNull(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    const uint32_t type = VM_Type1(word);
    const int32_t size = VM_TypeStackSize(type);
    if (size == 0) return sp;
    if (!VM_HaveItems(sp, ctx, size, "DoPopNull")) return sp;
    if (type == VM_TYPE_VALUE && RValue_IsUnset(VM_Load<RValue>(sp)))
        VM_Error(ctx, "DoPopNull : Could not find variable");
    VM_ReleaseItem(type, sp);
    return sp + size;
}

// --- conv -------------------------------------------------------------------------------

namespace {

struct Source {
    CmpEff eff;
    double d;
    int64_t l;
    uint32_t handle;     // a declared s item
    SharedString* s;     // the record (either form)
    bool fromValue;      // a v item: its string reference stays with the value
    bool unconvertible;  // an array, pointer or malformed value (read through the getters)
};

// The text of a number, as a new record.
SharedString* NumberText(const char* format, ...) __attribute__((format(printf, 1, 2)));
SharedString* NumberText(const char* format, ...) {
    char buffer[64];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return new SharedString(buffer);
}

bool ScriptTruth(const RValue& v) {
    switch (RValue_Kind(v)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return v.val != 0.0 && !std::isnan(v.val);
        case VALUE_INT32:
            return v.v32 != 0;
        case VALUE_INT64:
            return v.v64 != 0;
        case VALUE_STRING:
            return v.str && v.str->text && v.str->text[0] != '\0';
        case VALUE_UNDEFINED:
        case VALUE_NULL:
        case VALUE_UNSET:
            return false;
        default:
            return true;
    }
}

// bit 8: the script bool conversion; bit 9: the script number conversion.
uint8_t* ScriptConv(uint32_t word, uint8_t* sp, VMExecContext* ctx) {
    const uint32_t type = VM_Type1(word);
    const int32_t size = VM_TypeStackSize(type);
    if (size == 0 || !VM_HaveItems(sp, ctx, size, "DoConv")) return sp;
    RValue value;
    VM_LoadTypedValue(&value, type, sp);
    if (RValue_IsUnset(value)) {
        VM_Error(ctx, "could not find lhs variable on conv");
        return sp;
    }
    uint8_t* end = sp + size;
    if (word & 0x100) {
        const bool truth = ScriptTruth(value);
        RValue_Free(&value);
        sp = end - 4;
        VM_Store(sp, int32_t{truth ? 1 : 0});
        return sp;
    }
    RValue number = RValue_Real(0);
    const int32_t status = ScriptObjects().toNumber(&number, &value);
    RValue_Free(&value);
    if (status != 0) {
        VM_Error(ctx, "DoConv - could not convert expr to a number");
        return sp;
    }
    uint8_t* room = VM_Reserve(sp, ctx, 16 - size);
    if (room == nullptr) return sp;
    end = room + size;
    sp = end - 16;
    VM_Store(sp, RValue_Real(number.val));
    return sp;
}

bool ReadSource(uint32_t type, const uint8_t* at, VMExecContext* ctx, Source& out) {
    out = {C_D, 0, 0, 0, nullptr, false, false};
    switch (type) {
        case VM_TYPE_DOUBLE:
            out.d = VM_Load<double>(at);
            return true;
        case VM_TYPE_FLOAT:
            out.eff = C_F;
            out.d = VM_Load<float>(at);
            return true;
        case VM_TYPE_INT:
            out.eff = C_I;
            out.l = VM_Load<int32_t>(at);
            return true;
        case VM_TYPE_LONG:
            out.eff = C_L;
            out.l = VM_Load<int64_t>(at);
            return true;
        case VM_TYPE_BOOL:
            out.eff = C_B;
            out.l = VM_Load<int32_t>(at);
            return true;
        case VM_TYPE_STRING:
            out.eff = C_S;
            out.handle = VM_Load<uint32_t>(at);
            out.s = VMString_Get(out.handle);
            return true;
        default:
            break;
    }
    const RValue v = VM_Load<RValue>(at);
    out.fromValue = true;
    switch (RValue_Kind(v)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            out.d = v.val;
            return true;
        case VALUE_STRING:
            out.eff = C_S;
            out.s = v.str;
            return true;
        case VALUE_INT32:
            out.eff = C_I;
            out.l = v.v32;
            return true;
        case VALUE_INT64:
            out.eff = C_L;
            out.l = v.v64;
            return true;
        case VALUE_UNDEFINED:
        case VALUE_NULL:
            out.eff = C_B;
            out.l = v.v32;
            return true;
        case VALUE_UNSET:
            VM_Error(ctx, "DoConv :1: Could not find variable");
            return false;
        case VALUE_ARRAY:
            VM_Error(ctx, "DoConv :1: illegal array use");
            break;
        case VALUE_PTR:
            VM_Error(ctx, "DoConv :1: illegal pointer use");
            break;
        default:
            VM_Error(ctx, "DoConv :1: Malformed variable");
            break;
    }
    // The run has ended unless errors are suppressed; then the getters read the value.
    if (!g_RuntimeErrorsSuppressed) return false;
    out.unconvertible = true;
    return true;
}

double SourceDouble(const Source& s) {
    switch (s.eff) {
        case C_D:
        case C_F:
            return s.d;
        case C_B:
            return s.l != 0 ? 1.0 : 0.0;
        case C_S:
            return CRT_atof(TextOrEmpty(s.s));
        default:
            return static_cast<double>(s.l);
    }
}

int64_t SourceInt64(const Source& s, bool wide) {
    switch (s.eff) {
        case C_D:
        case C_F:
            return wide ? CRT_TruncToInt64(s.d) : CRT_TruncToInt32(s.d);
        case C_I:
            return s.l;
        case C_L:
            return wide ? s.l : static_cast<int32_t>(s.l);
        case C_B:
            return s.l != 0 ? 1 : 0;
        // Text reads as a 32-bit number whichever width is asked for; out of range clamps.
        default:
            return CRT_strtol32(TextOrEmpty(s.s), 10);
    }
}

bool SourceBool(const Source& s) {
    switch (s.eff) {
        case C_D:
        case C_F:
            return s.d > 0.5;
        case C_I:
        case C_L:
            return s.l > 0;
        case C_B:
            return s.l != 0;
        default:
            return std::strcmp(TextOrEmpty(s.s), "true") == 0;
    }
}

SharedString* SourceText(const Source& s) {
    switch (s.eff) {
        case C_D:
        case C_F:
            return NumberText("%g", s.d);
        case C_I:
            return NumberText("%d", static_cast<int32_t>(s.l));
        case C_L:
            return NumberText("%lld", static_cast<long long>(s.l));
        case C_B:
            return new SharedString(s.l != 0 ? "true" : "false");
        default:
            if (s.s) ++s.s->refCount;
            return const_cast<SharedString*>(s.s);
    }
}

RValue SourceValue(const Source& s) {
    switch (s.eff) {
        case C_L:
            return RValue_Int64(s.l);
        case C_B:
            return RValue_Bool(s.l != 0 ? 1.0 : 0.0);
        case C_S: {
            RValue v = RValue_Undefined();
            if (s.s) ++s.s->refCount;
            v.str = s.s;
            v.kind = VALUE_STRING;
            return v;
        }
        default:
            return RValue_Real(SourceDouble(s));
    }
}

// A value with no numeric reading (array, pointer, malformed) after its error was reported
// with errors suppressed: the argument getters read it.
bool ConvertUnconvertible(uint32_t to, const RValue& v, uint8_t* out) {
    switch (to) {
        case VM_TYPE_DOUBLE:
            VM_Store(out, Arg_GetReal(&v, 0));
            return true;
        case VM_TYPE_FLOAT:
            VM_Store(out, Arg_GetFloat(&v, 0));
            return true;
        case VM_TYPE_INT:
            VM_Store(out, Arg_GetInt32(&v, 0));
            return true;
        case VM_TYPE_LONG:
            VM_Store(out, Arg_GetInt64(&v, 0));
            return true;
        case VM_TYPE_BOOL:
            VM_Store(out, int32_t{Arg_GetBool(&v, 0) ? 1 : 0});
            return true;
        case VM_TYPE_STRING: {
            int32_t capacity = 16;
            char* base = static_cast<char*>(MEM_ALLOC(capacity));
            base[0] = '\0';
            char* cursor = base;
            RValue_AppendText(cursor, base, capacity, &v);
            VM_Store(out, VMString_NewHandle(new SharedString(base)));
            MEM_FREE(base);
            return true;
        }
        default:
            return false;
    }
}

void WriteConverted(uint32_t to, const Source& s, uint8_t* out) {
    switch (to) {
        case VM_TYPE_DOUBLE:
            VM_Store(out, SourceDouble(s));
            break;
        case VM_TYPE_FLOAT:
            VM_Store(out, s.eff == C_D || s.eff == C_F ? static_cast<float>(s.d)
                                                       : static_cast<float>(SourceDouble(s)));
            break;
        case VM_TYPE_INT:
            VM_Store(out, static_cast<int32_t>(SourceInt64(s, false)));
            break;
        case VM_TYPE_LONG:
            VM_Store(out, SourceInt64(s, true));
            break;
        case VM_TYPE_BOOL:
            VM_Store(out, int32_t{SourceBool(s) ? 1 : 0});
            break;
        case VM_TYPE_VALUE:
            VM_Store(out, SourceValue(s));
            break;
        default:
            VM_Store(out, VMString_NewHandle(SourceText(s)));
            break;
    }
}

}  // namespace

uint8_t* VM_HandlerConv(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (word & 0x300) return ScriptConv(word, sp, ctx);
    const uint32_t from = VM_Type1(word), to = VM_Type2(word);
    const int32_t sFrom = VM_TypeStackSize(from), sTo = VM_TypeStackSize(to);
    if (sFrom == 0 || sTo == 0) {
        VM_Error(ctx, "DoConv :: Execution Error");
        return sp;
    }
    if (!VM_HaveItems(sp, ctx, sFrom, "DoConv")) return sp;
    Source source;
    if (!ReadSource(from, sp, ctx, source)) return sp;
    uint8_t* room = VM_Reserve(sp, ctx, sTo - sFrom);
    if (room == nullptr) return sp;
    sp = room;
    uint8_t* out = sp + sFrom - sTo;
    if (source.unconvertible) {
        const RValue v = VM_Load<RValue>(sp);
        uint8_t result[16];
        if (!ConvertUnconvertible(to, v, result)) {
            VM_Error(ctx, "DoConv :: Execution Error");
            return sp;
        }
        VM_ReleaseItem(from, sp);
        std::memcpy(out, result, static_cast<size_t>(sTo));
        return out;
    }
    // The result is built aside: source and destination slots overlap.
    uint8_t result[16];
    WriteConverted(to, source, result);
    VM_ReleaseItem(from, sp);
    std::memcpy(out, result, static_cast<size_t>(sTo));
    return out;
}
