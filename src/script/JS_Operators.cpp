#include "script/JS_Operators.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "core/Value.h"
#include "script/JS_Call.h"
#include "script/JS_Compare.h"
#include "script/JS_Convert.h"
#include "script/JS_Element.h"
#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"

namespace {

int32_t ThrowReference(const char* message) {
    JS_ThrowReferenceError(message);
    return SCRIPT_OP_THROWN;
}
int32_t ThrowType(const char* message) {
    JS_ThrowTypeError(message);
    return SCRIPT_OP_THROWN;
}

// A conversion's status as an operator status: a refusal throws the TypeError given.
int32_t Converted(int32_t status, const char* message) {
    if (status == JS_DONE) return SCRIPT_OP_DONE;
    if (status == JS_FAILED && !JS_ExceptionPending()) return ThrowType(message);
    return SCRIPT_OP_THROWN;
}

// What an operator says: the unset left and right operands, the unconvertible ones.
struct OperatorText {
    const char* unsetLeft;
    const char* unsetRight;
    const char* convertLeft;
    const char* convertRight;
};

int32_t Numbers(const OperatorText& text, const RValue* left, const RValue* right, double* a, double* b) {
    if (RValue_IsUnset(left)) return ThrowReference(text.unsetLeft);
    if (RValue_IsUnset(right)) return ThrowReference(text.unsetRight);
    RValue x = RValue_Real(0.0), y = RValue_Real(0.0);
    if (int32_t s = Converted(JS_ToNumber(&x, left), text.convertLeft); s != SCRIPT_OP_DONE) return s;
    if (int32_t s = Converted(JS_ToNumber(&y, right), text.convertRight); s != SCRIPT_OP_DONE) return s;
    *a = x.val;
    *b = y.val;
    return SCRIPT_OP_DONE;
}

int32_t Int32s(const OperatorText& text, const RValue* left, const RValue* right, bool unsignedLeft,
               bool unsignedRight, double* a, double* b) {
    if (RValue_IsUnset(left)) return ThrowReference(text.unsetLeft);
    if (RValue_IsUnset(right)) return ThrowReference(text.unsetRight);
    RValue x = RValue_Real(0.0), y = RValue_Real(0.0);
    if (int32_t s = Converted(unsignedLeft ? JS_ToUint32(&x, left) : JS_ToInt32(&x, left), text.convertLeft);
        s != SCRIPT_OP_DONE)
        return s;
    if (int32_t s =
            Converted(unsignedRight ? JS_ToUint32(&y, right) : JS_ToInt32(&y, right), text.convertRight);
        s != SCRIPT_OP_DONE)
        return s;
    *a = x.val;
    *b = y.val;
    return SCRIPT_OP_DONE;
}

double Remainder(double a, double b) {
    if (std::isnan(a) || std::isnan(b) || std::isinf(a) || b == 0.0) return std::nan("");
    if (std::isinf(b) || a == 0.0) return a;
    return std::fmod(a, b);
}

int32_t Add(RValue* out, const RValue* left, const RValue* right) {
    if (RValue_IsUnset(left)) return ThrowReference("could not find variable before '+' operator");
    if (RValue_IsUnset(right)) return ThrowReference("could not find variable after '+' operator");
    RValue lp = RValue_Undefined(), rp = RValue_Undefined();
    int32_t status = Converted(F_JS_ToPrimitive(&lp, left, JS_HINT_NONE),
                               "Could not convert left-hand-side of add operator to a primitive");
    if (status == SCRIPT_OP_DONE)
        status = Converted(F_JS_ToPrimitive(&rp, right, JS_HINT_NONE),
                           "Could not convert right-hand-side of add operator to a primitive");
    if (status == SCRIPT_OP_DONE && (RValue_IsString(lp) || RValue_IsString(rp))) {
        RValue ls = RValue_Undefined(), rs = RValue_Undefined();
        status =
            Converted(JS_ToString(&ls, &lp), "Could not convert left-hand-side of add operator to a string");
        if (status == SCRIPT_OP_DONE)
            status = Converted(JS_ToString(&rs, &rp),
                               "Could not convert right-hand-side of add operator to a string");
        if (status == SCRIPT_OP_DONE) {
            const char* a = RValue_GetStringText(&ls);
            const char* b = RValue_GetStringText(&rs);
            const std::string joined = std::string(a ? a : "") + (b ? b : "");
            RValue_SetString(out, joined.c_str());
        }
        RValue_Release(&ls);
        RValue_Release(&rs);
    } else if (status == SCRIPT_OP_DONE) {
        static constexpr OperatorText kText = {
            "", "", "Could not convert left-hand-side of add operator to a number",
            "Could not convert right-hand-side of add operator to a number"};
        double a = 0, b = 0;
        status = Numbers(kText, &lp, &rp, &a, &b);
        if (status == SCRIPT_OP_DONE) *out = RValue_Real(a + b);
    }
    RValue_Release(&lp);
    RValue_Release(&rp);
    return status;
}

int32_t Arithmetic(ScriptOperator op, RValue* out, const RValue* left, const RValue* right) {
    static constexpr OperatorText kNumericAdd = {
        "could not find variable before '+'", "could not find variable after '+'",
        "Could not convert left-hand-side of add operator to a number # 2",
        "Could not convert right-hand-side of add operator to a number # 2"};
    static constexpr OperatorText kSub = {
        "could not find variable before '-'", "could not find variable after '-'",
        "Could not convert left-hand-side of subtraction operator to a number",
        "Could not convert right-hand-side of subtraction operator to a number"};
    static constexpr OperatorText kMul = {"could not find lhs variable on multiply",
                                          "could not find lhs variable on multiply",
                                          "Could not convert left-hand-side of '*' operator to a number",
                                          "Could not convert right-hand-side of '*' operator to a number"};
    static constexpr OperatorText kDiv = {
        "could not find lhs variable on div", "could not find lhs variable on div",
        "Could not convert left-hand side of division operator to a number",
        "Could not convert right-hand side of division operator to a number"};
    static constexpr OperatorText kMod = {"could not find lhs variable on mod",
                                          "could not find lhs variable on mod",
                                          "Could not convert left-hand-side of '%' operator to a number",
                                          "Could not convert right-hand-side of '%' operator to a number"};
    const OperatorText& text = op == ScriptOperator::NumericAdd ? kNumericAdd
                               : op == ScriptOperator::Sub      ? kSub
                               : op == ScriptOperator::Mul      ? kMul
                               : op == ScriptOperator::Div      ? kDiv
                                                                : kMod;
    double a = 0, b = 0;
    const int32_t status = Numbers(text, left, right, &a, &b);
    if (status != SCRIPT_OP_DONE) return status;
    double r;
    switch (op) {
        case ScriptOperator::NumericAdd:
            r = a + b;
            break;
        case ScriptOperator::Sub:
            r = a - b;
            break;
        case ScriptOperator::Mul:
            r = a * b;
            break;
        case ScriptOperator::Div:
            r = a / b;
            break;
        default:
            r = Remainder(a, b);
            break;
    }
    *out = RValue_Real(r);
    return SCRIPT_OP_DONE;
}

int32_t Bitwise(ScriptOperator op, RValue* out, const RValue* left, const RValue* right) {
    static constexpr OperatorText kAnd = {
        "could not find variable before '&'", "could not find variable after '&'",
        "DoAnd - could not convert lhs expr to a number", "DoAnd - could not convert rhs expr to a number"};
    static constexpr OperatorText kOr = {
        "could not find variable before '|'", "could not find variable after '|'",
        "DoOr - could not convert lhs expr to a number", "DoOr - could not convert rhs expr to a number"};
    static constexpr OperatorText kXor = {
        "could not find variable before '^'", "could not find variable after '^'",
        "DoXor - could not convert lhs expr to a number", "DoXor - could not convert rhs expr to a number"};
    static constexpr OperatorText kShl = {
        "could not find variable before '<<'", "could not find variable after '<<'",
        "DoShl - could not convert lhs expr to a number", "DoShl - could not convert rhs expr to a number"};
    static constexpr OperatorText kShr = {
        "could not find variable before '>>'", "could not find variable after '>>'",
        "DoShr - could not convert lhs expr to a number", "DoShr - could not convert rhs expr to a number"};
    const OperatorText& text = op == ScriptOperator::And   ? kAnd
                               : op == ScriptOperator::Or  ? kOr
                               : op == ScriptOperator::Xor ? kXor
                               : op == ScriptOperator::Shl ? kShl
                                                           : kShr;
    const bool shift =
        op == ScriptOperator::Shl || op == ScriptOperator::Shr || op == ScriptOperator::ShrUnsigned;
    double a = 0, b = 0;
    const int32_t status = Int32s(text, left, right, op == ScriptOperator::ShrUnsigned, shift, &a, &b);
    if (status != SCRIPT_OP_DONE) return status;
    const auto x = static_cast<int64_t>(a), y = static_cast<int64_t>(b);
    const uint32_t count = static_cast<uint32_t>(y) & 31;
    double r;
    switch (op) {
        case ScriptOperator::And:
            r = static_cast<int32_t>(x & y);
            break;
        case ScriptOperator::Or:
            r = static_cast<int32_t>(x | y);
            break;
        case ScriptOperator::Xor:
            r = static_cast<int32_t>(x ^ y);
            break;
        case ScriptOperator::Shl:
            r = static_cast<int32_t>(static_cast<uint32_t>(x) << count);
            break;
        case ScriptOperator::Shr:
            r = static_cast<int32_t>(x) >> count;
            break;
        default:
            r = static_cast<uint32_t>(x) >> count;
            break;
    }
    *out = RValue_Real(r);
    return SCRIPT_OP_DONE;
}

int32_t Unary(ScriptOperator op, RValue* out, const RValue* operand) {
    switch (op) {
        case ScriptOperator::LogicalNot:
            if (RValue_IsUnset(operand)) return ThrowReference("could not find lhs variable in logical not");
            *out = RValue_Bool(JS_ToBoolean(operand) ? 0.0 : 1.0);
            return SCRIPT_OP_DONE;
        case ScriptOperator::BitNot: {
            if (RValue_IsUnset(operand)) return ThrowReference("could not find lhs variable in binary not");
            RValue x = RValue_Real(0.0);
            const int32_t status =
                Converted(JS_ToInt32(&x, operand), "Unary ~ could not convert expr to a number");
            if (status == SCRIPT_OP_DONE) *out = RValue_Real(~static_cast<int32_t>(x.val));
            return status;
        }
        default:
            break;
    }
    const bool negate = op == ScriptOperator::Negate;
    if (RValue_IsUnset(operand))
        return ThrowReference(negate ? "could not find lhs variable in unary-"
                                     : "could not find lhs variable in unary - #2");
    RValue x = RValue_Real(0.0);
    const int32_t status = Converted(JS_ToNumber(&x, operand), "Unary - could not convert expr to a number");
    if (status == SCRIPT_OP_DONE) *out = RValue_Real(negate ? -x.val : x.val);
    return status;
}

int32_t Relational(ScriptOperator op, RValue* out, const RValue* left, const RValue* right) {
    if (RValue_IsUnset(left) || RValue_IsUnset(right))
        return ThrowReference("could not find lhs variable on assignment");
    // < and >= compare left with right, > and <= right with left; an undefined answer (a NaN)
    // is false for all four.
    const bool leftFirst = op == ScriptOperator::Less || op == ScriptOperator::GreaterEqual;
    RValue answer = RValue_Undefined();
    const int32_t status = leftFirst ? JS_AbstractRelationalComparison(&answer, left, right, true)
                                     : JS_AbstractRelationalComparison(&answer, right, left, false);
    if (status != JS_DONE || JS_ExceptionPending()) {
        RValue_Release(&answer);
        return Converted(status == JS_DONE ? JS_EXCEPTION : status, "NoMessage");
    }
    const bool undefined = RValue_Kind(answer) == VALUE_UNDEFINED;
    const bool holds = !undefined && answer.val != 0.0;
    RValue_Release(&answer);
    const bool inverted = op == ScriptOperator::LessEqual || op == ScriptOperator::GreaterEqual;
    *out = RValue_Bool(undefined ? 0.0 : (inverted ? !holds : holds) ? 1.0 : 0.0);
    return SCRIPT_OP_DONE;
}

int32_t In(RValue* out, const RValue* left, const RValue* right) {
    if (RValue_IsUnset(left)) return ThrowReference("could not find variable before 'in'");
    if (RValue_IsUnset(right)) return ThrowReference("could not find variable after 'in'");
    if (!RValue_IsObject(right) || right->obj == nullptr)
        return ThrowType("right-hand side of in operator must be an object");
    RValue name = RValue_Undefined();
    const int32_t status =
        Converted(JS_ToString(&name, left), "could not convert left-hand side of in operator to a string");
    if (status == SCRIPT_OP_DONE) {
        RValue found = RValue_Undefined();
        const char* text = RValue_GetStringText(&name);
        JS_GetProperty(right->obj, &found, text ? text : "");
        *out = RValue_Bool(RValue_IsUnset(found) ? 0.0 : 1.0);
    }
    RValue_Release(&name);
    return status;
}

int32_t Equality(ScriptOperator op, RValue* out, const RValue* left, const RValue* right) {
    const bool strict = op == ScriptOperator::StrictEqual || op == ScriptOperator::StrictNotEqual;
    const bool negated = op == ScriptOperator::NotEqual || op == ScriptOperator::StrictNotEqual;
    if (RValue_IsUnset(left))
        return ThrowReference(!strict   ? "could not find variable before comparison"
                              : negated ? "could not find variable before '!=='"
                                        : "could not find variable before '==='");
    if (RValue_IsUnset(right))
        return ThrowReference(!strict   ? "could not find variable after comparison"
                              : negated ? "could not find variable after '!=='"
                                        : "could not find variable after '==='");
    bool equal;
    if (strict) {
        equal = JS_StrictEquals(left, right);
    } else {
        RValue answer = RValue_Real(0.0);
        const int32_t status = JS_AbstractEquality(&answer, left, right);
        if (status != JS_DONE || JS_ExceptionPending()) return Converted(status, "NoMessage");
        equal = answer.val != 0.0;
    }
    *out = RValue_Bool(equal != negated ? 1.0 : 0.0);
    return SCRIPT_OP_DONE;
}

// The object a member access reads or writes: objects as they are, primitives by their wrapper.
int32_t MemberObject(const RValue* value, RValue* object, const char* what) {
    switch (RValue_Kind(value)) {
        case VALUE_OBJECT:
            if (value->obj == nullptr) break;
            *object = *value;
            return SCRIPT_OP_DONE;
        case VALUE_REAL:
        case VALUE_INT32:
        case VALUE_INT64:
        case VALUE_STRING:
        case VALUE_BOOL:
            return Converted(F_JS_ToObject(object, value), what);
        case VALUE_UNSET:
            return ThrowReference(what);
        default:
            break;
    }
    return ThrowType(what);
}

bool WholeIndex(const RValue* key) {
    if (RValue_IsInt32(key)) return true;
    if (!RValue_IsReal(key)) return false;
    return key->val >= 0 && key->val == std::trunc(key->val);
}

}  // namespace

int32_t JS_Operate(ScriptOperator op, RValue* out, const RValue* left, const RValue* right) {
    switch (op) {
        case ScriptOperator::Add:
            return Add(out, left, right);
        case ScriptOperator::NumericAdd:
        case ScriptOperator::Sub:
        case ScriptOperator::Mul:
        case ScriptOperator::Div:
        case ScriptOperator::Mod:
            return Arithmetic(op, out, left, right);
        case ScriptOperator::And:
        case ScriptOperator::Or:
        case ScriptOperator::Xor:
        case ScriptOperator::Shl:
        case ScriptOperator::Shr:
        case ScriptOperator::ShrUnsigned:
            return Bitwise(op, out, left, right);
        case ScriptOperator::Negate:
        case ScriptOperator::Plus:
        case ScriptOperator::LogicalNot:
        case ScriptOperator::BitNot:
            return Unary(op, out, left);
        case ScriptOperator::Less:
        case ScriptOperator::Greater:
        case ScriptOperator::LessEqual:
        case ScriptOperator::GreaterEqual:
            return Relational(op, out, left, right);
        case ScriptOperator::In:
            return In(out, left, right);
        case ScriptOperator::Equal:
        case ScriptOperator::NotEqual:
        case ScriptOperator::StrictEqual:
        case ScriptOperator::StrictNotEqual:
            return Equality(op, out, left, right);
    }
    return SCRIPT_OP_UNAVAILABLE;
}

int32_t JS_GetMember(RValue* out, const RValue* object, const RValue* key) {
    RValue target = RValue_Undefined();
    int32_t status = MemberObject(object, &target, "Cannot read a property of undefined or null");
    if (status != SCRIPT_OP_DONE) return status;
    const char* cls = JS_ClassOf(target.obj);
    if (cls != nullptr && std::string(cls) == "Array" && WholeIndex(key)) {
        JS_GetElement(&target, key, out);
    } else {
        RValue name = RValue_Undefined();
        status = Converted(JS_ToString(&name, key), "Cannot convert the property name to a string");
        if (status == SCRIPT_OP_DONE) {
            RValue found = RValue_Undefined();
            const char* text = RValue_GetStringText(&name);
            JS_Get(target.obj, &found, text ? text : "");
            if (JS_ExceptionPending()) {
                status = SCRIPT_OP_THROWN;
            } else {
                RValue_Assign(out, &found);
            }
        }
        RValue_Release(&name);
    }
    // A missing property (or a hole) reads as undefined.
    if (status == SCRIPT_OP_DONE && RValue_IsUnset(out)) *out = RValue_Undefined();
    if (status == SCRIPT_OP_DONE) out->flags = 0;
    return status;
}

int32_t JS_PutMember(const RValue* object, const RValue* key, RValue* value) {
    if (!RValue_IsObject(object) || object->obj == nullptr) {
        const uint32_t kind = RValue_Kind(object);
        if (kind == VALUE_UNSET) return ThrowReference("Cannot set a property of an unknown variable");
        if (kind == VALUE_UNDEFINED || kind == VALUE_NULL ||
            (kind != VALUE_REAL && kind != VALUE_INT32 && kind != VALUE_INT64 && kind != VALUE_STRING &&
             kind != VALUE_BOOL))
            return ThrowType("Cannot set a property of undefined or null");
        return SCRIPT_OP_DONE;  // a primitive's wrapper would be thrown away at once
    }
    RValue name = RValue_Undefined();
    int32_t status = Converted(JS_ToString(&name, key), "Cannot convert the property name to a string");
    if (status == SCRIPT_OP_DONE) {
        const char* text = RValue_GetStringText(&name);
        RValue stored = *value;
        stored.flags = 0;
        JS_Put(object->obj, &stored, text ? text : "", false);
        if (JS_ExceptionPending()) status = SCRIPT_OP_THROWN;
    }
    RValue_Release(&name);
    return status;
}

int32_t JS_DeleteMember(RValue* out, const RValue* object, const RValue* key) {
    if (!RValue_IsObject(object) || object->obj == nullptr) {
        const uint32_t kind = RValue_Kind(object);
        if (kind == VALUE_UNSET) return ThrowReference("Cannot delete a property of an unknown variable");
        if (kind == VALUE_UNDEFINED || kind == VALUE_NULL)
            return ThrowType("Cannot delete a property of undefined or null");
        *out = RValue_Bool(1.0);
        return SCRIPT_OP_DONE;
    }
    RValue name = RValue_Undefined();
    int32_t status = Converted(JS_ToString(&name, key), "Cannot convert the property name to a string");
    if (status == SCRIPT_OP_DONE) {
        RValue hook = RValue_Undefined();
        JS_GetProperty(object->obj, &hook, JS_DELETE);
        auto remove = RValue_IsPtr(hook) && hook.ptr != nullptr ? reinterpret_cast<JSDeleteHook>(hook.ptr)
                                                                : JS_DefaultDelete;
        const char* text = RValue_GetStringText(&name);
        RValue answer = RValue_Bool(0.0);
        remove(object->obj, &answer, text ? text : "", false);
        if (JS_ExceptionPending()) {
            status = SCRIPT_OP_THROWN;
        } else {
            *out = RValue_Bool(RValue_Kind(answer) == VALUE_BOOL || RValue_IsReal(answer) ? answer.val : 0.0);
        }
    }
    RValue_Release(&name);
    return status;
}
