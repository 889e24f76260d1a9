#include "game/Game_Kit.h"

#include <cmath>
#include <string>
#include <type_traits>

#include "core/RuntimeError.h"
#include "core/VM.h"
#include "core/Variable.h"
#include "data/Function_Math.h"

namespace hvs {

RValue kZero = RValue_Real(0.0);
RValue kOne = RValue_Real(1.0);
RValue kMinusOne = RValue_Real(-1.0);

double TakeReal(RValue* result) {
    const double value = RValue_ToReal(result);
    Drop(result);
    return value;
}

void Take(RValue* dest, RValue* result) {
    if (dest != result) RValue_Assign(dest, result);
    if (dest != result) Drop(result);
}

void Drop(RValue* result) {
    RValue_Release(result);
    *result = RValue_Undefined();
}

void GetBuiltin(CInstance* self, int32_t ref, int32_t index, RValue* out) {
    RValue_Release(out);
    *out = RValue_Undefined();
    Variable_GetValue(self, VarId(ref), index, out);
}

double GetBuiltinReal(CInstance* self, int32_t ref, int32_t index) {
    RValue value = RValue_Undefined();
    GetBuiltin(self, ref, index, &value);
    return TakeReal(&value);
}

void SetBuiltin(CInstance* self, int32_t ref, int32_t index, RValue* value) {
    Variable_SetValue(self, VarId(ref), index, value);
}

void SetBuiltinReal(CInstance* self, int32_t ref, int32_t index, double value) {
    RValue real = RValue_Real(value);
    Variable_SetValue(self, VarId(ref), index, &real);
}

RValue* Call(CInstance* self, CInstance* other, RValue* result, int32_t ref,
             std::initializer_list<RValue*> args) {
    const FunctionRef& function = g_FunctionRefs[ref];
    if (function.builtinIndex < 0) {
        Drop(result);
        Runtime_Error("unresolved function %s", function.name);
        return result;
    }
    return Builtin_CallByIndex(self, other, result, static_cast<int32_t>(args.size()), function.builtinIndex,
                               const_cast<RValue**>(args.begin()));
}

bool Greater(double a, double b) {
    return a - b > MathEpsilon;
}
bool Less(double a, double b) {
    return a - b < -MathEpsilon;
}
bool Equal(double a, double b) {
    return std::fabs(a - b) <= MathEpsilon;
}
bool GreaterEqual(double a, double b) {
    return a - b >= -MathEpsilon;
}

bool Condition(RValue* value) {
    return RValue_ToReal(value) > 0.5;
}

namespace {

const char* KindName(const RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
            return "number";
        case VALUE_STRING:
            return "string";
        case VALUE_ARRAY:
            return "array";
        case VALUE_PTR:
            return "ptr";
        case VALUE_UNDEFINED:
            return "undefined";
        case VALUE_OBJECT:
            return "struct";
        case VALUE_INT32:
            return "int32";
        case VALUE_INT64:
            return "int64";
        case VALUE_NULL:
            return "null";
        case VALUE_BOOL:
            return "bool";
        default:
            return "unknown";
    }
}

enum class Op { Sub, Mul, Div };

const char* OpText(Op op) {
    return op == Op::Sub ? "-=" : op == Op::Mul ? "*=" : "/=";
}

template <typename T>
bool Apply(Op op, T& left, T right) {
    switch (op) {
        case Op::Sub:
            left = static_cast<T>(left - right);
            return true;
        case Op::Mul:
            left = static_cast<T>(left * right);
            return true;
        case Op::Div:
            if constexpr (std::is_integral_v<T>) {
                // Integer division by zero would end the process with a signal.
                if (right == 0) return false;
                // The one quotient that does not fit wraps, as the instruction would if it did not trap.
                if (right == -1) {
                    left = static_cast<T>(0 - static_cast<std::make_unsigned_t<T>>(left));
                    return true;
                }
            }
            left = static_cast<T>(left / right);
            return true;
    }
    return false;
}

void CompoundAssign(Op op, RValue* target, RValue* right) {
    bool ok = true;
    switch (RValue_Kind(target)) {
        case VALUE_REAL:
        case VALUE_BOOL: {
            double left = target->val;
            Apply(op, left, RValue_ToReal(right));
            target->val = left;
            target->kind = VALUE_REAL;
            break;
        }
        case VALUE_INT32:
            ok = Apply(op, target->v32, RValue_ToInt32(right));
            break;
        case VALUE_INT64:
            ok = Apply(op, target->v64, RValue_ToInt64(right));
            break;
        default:
            OperatorTypeError(OpText(op), target, right);
            return;
    }
    if (!ok) Runtime_Error("%s :: Divide by zero", OpText(op));
}

}  // namespace

void OperatorTypeError(const char* op, const RValue* left, const RValue* right) {
    Runtime_Error("invalid type for %s lhs=%s (type=%d), rhs=%s (type=%d)", op, KindName(left),
                  static_cast<int>(RValue_Kind(left)), KindName(right), static_cast<int>(RValue_Kind(right)));
}

void AddAssign(RValue* target, RValue* right) {
    const uint32_t kind = RValue_Kind(target);
    if (kind == VALUE_STRING && RValue_IsString(right)) {
        const char* a = RValue_GetStringText(target);
        const char* b = RValue_GetStringText(right);
        std::string joined = std::string(a ? a : "") + (b ? b : "");
        RValue_SetString(target, joined.c_str());
        return;
    }
    if (kind == VALUE_REAL || kind == VALUE_BOOL) {
        RValue_SetReal(target, target->val + RValue_ToReal(right));
    } else if (kind == VALUE_INT32) {
        target->v32 = static_cast<int32_t>(static_cast<uint32_t>(target->v32) +
                                           static_cast<uint32_t>(RValue_ToInt32(right)));
    } else if (kind == VALUE_INT64) {
        target->v64 = static_cast<int64_t>(static_cast<uint64_t>(target->v64) +
                                           static_cast<uint64_t>(RValue_ToInt64(right)));
    } else {
        OperatorTypeError("+=", target, right);
    }
}

void SubAssign(RValue* target, RValue* right) {
    CompoundAssign(Op::Sub, target, right);
}
void MulAssign(RValue* target, RValue* right) {
    CompoundAssign(Op::Mul, target, right);
}
void DivAssign(RValue* target, RValue* right) {
    CompoundAssign(Op::Div, target, right);
}

}  // namespace hvs
