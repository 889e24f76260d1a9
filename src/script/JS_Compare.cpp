#include "script/JS_Compare.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/RuntimeError.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_UTF16.h"

namespace {

bool SameText(const RValue* x, const RValue* y) {
    const char* a = RValue_GetStringText(x);
    const char* b = RValue_GetStringText(y);
    return std::strcmp(a ? a : "", b ? b : "") == 0;
}

bool SameKindEqual(const RValue* x, const RValue* y) {
    switch (RValue_Kind(x)) {
        case VALUE_UNDEFINED:
        case VALUE_NULL:
            return true;
        case VALUE_REAL:
        case VALUE_BOOL:
            return x->val == y->val;  // NaN is unequal to everything, +0 equals -0
        case VALUE_STRING:
            return SameText(x, y);
        case VALUE_OBJECT:
            return x->obj == y->obj;
        default:
            return false;
    }
}

bool IsStringOrReal(const RValue* v) {
    return RValue_IsString(v) || RValue_IsReal(v);
}

// Compares x with the converted other side; a failed conversion raises the TypeError.
enum class Convert { ToNumber, ToPrimitive };
int32_t CompareConverted(RValue* result, const RValue* x, const RValue* y, bool convertRight, Convert how) {
    RValue converted = RValue_Undefined();
    const RValue* source = convertRight ? y : x;
    const int32_t status =
        how == Convert::ToNumber ? JS_ToNumber(&converted, source) : F_JS_ToPrimitive(&converted, source, 0);
    if (status == JS_FAILED) {
        const char* side = convertRight ? "right" : "left";
        const char* target = how == Convert::ToNumber ? "a number" : "a primitive";
        char message[96];
        std::snprintf(message, sizeof message, "Failed to convert %s-hand-side of == to %s.", side, target);
        JS_ThrowTypeError(message);
        return JS_FAILED;
    }
    if (status != JS_DONE) return status;
    const int32_t answer = convertRight ? JS_AbstractEquality(result, x, &converted)
                                        : JS_AbstractEquality(result, &converted, y);
    RValue_Release(&converted);
    return answer;
}

// Code point order of two texts neither of which is a prefix of the other.
bool TextLess(const char* px, const char* py) {
    Utf8Cursor a(px), b(py);
    for (;;) {
        const uint32_t ca = a.Next();
        const uint32_t cb = b.Next();
        if (ca == 0 || cb == 0) {
            Runtime_Error("I don't think we should get here...");
            return true;
        }
        if (ca != cb) return ca < cb;
    }
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

int32_t JS_AbstractEquality(RValue* result, const RValue* x, const RValue* y) {
    const uint32_t kx = RValue_Kind(x);
    const uint32_t ky = RValue_Kind(y);
    if (kx == ky) {
        result->val = SameKindEqual(x, y) ? 1.0 : 0.0;
        return JS_DONE;
    }
    result->val = 0.0;
    if ((kx == VALUE_UNDEFINED && ky == VALUE_NULL) || (kx == VALUE_NULL && ky == VALUE_UNDEFINED)) {
        result->val = 1.0;
        return JS_DONE;
    }
    if (kx == VALUE_REAL && ky == VALUE_STRING)
        return CompareConverted(result, x, y, true, Convert::ToNumber);
    if (kx == VALUE_BOOL) return CompareConverted(result, x, y, false, Convert::ToNumber);
    if (kx == VALUE_STRING && ky == VALUE_REAL)
        return CompareConverted(result, x, y, false, Convert::ToNumber);
    if (ky == VALUE_BOOL) return CompareConverted(result, x, y, true, Convert::ToNumber);
    if (IsStringOrReal(x) && ky == VALUE_OBJECT)
        return CompareConverted(result, x, y, true, Convert::ToPrimitive);
    if (IsStringOrReal(y) && kx == VALUE_OBJECT)
        return CompareConverted(result, x, y, false, Convert::ToPrimitive);
    return JS_DONE;
}

bool JS_StrictEquals(const RValue* x, const RValue* y) {
    return RValue_Kind(x) == RValue_Kind(y) && SameKindEqual(x, y);
}

int32_t JS_AbstractRelationalComparison(RValue* result, const RValue* x, const RValue* y, bool leftFirst) {
    RValue_SetReal(result, 0.0);
    RValue px = RValue_Undefined();
    RValue py = RValue_Undefined();
    int32_t status;
    if (leftFirst) {
        status = F_JS_ToPrimitive(&px, x, 0);
        if (status == JS_DONE) status = F_JS_ToPrimitive(&py, y, 0);
    } else {
        status = F_JS_ToPrimitive(&py, y, 0);
        if (status == JS_DONE) status = F_JS_ToPrimitive(&px, x, 0);
    }
    if (status != JS_DONE) {
        RValue_Release(&px);
        RValue_Release(&py);
        if (status == JS_FAILED)
            JS_ThrowTypeError("Comparison failed to convert left argument to primitive value.");
        return status;
    }
    if (RValue_IsString(px) && RValue_IsString(py)) {
        const char* a = RValue_GetStringText(&px);
        const char* b = RValue_GetStringText(&py);
        a = a ? a : "";
        b = b ? b : "";
        if (StartsWith(a, b))
            result->val = 0.0;
        else if (StartsWith(b, a))
            result->val = 1.0;
        else
            result->val = TextLess(a, b) ? 1.0 : 0.0;
    } else {
        RValue nx = RValue_Undefined();
        RValue ny = RValue_Undefined();
        JS_ToNumber(&nx, &px);
        JS_ToNumber(&ny, &py);
        const double a = RValue_IsReal(nx) ? nx.val : JS_NaN();
        const double b = RValue_IsReal(ny) ? ny.val : JS_NaN();
        if (std::isnan(a) || std::isnan(b)) {
            RValue_Release(result);
        } else if (a == b) {
            result->val = 0.0;
        } else if (a == INFINITY) {
            result->val = 0.0;
        } else if (b == INFINITY) {
            result->val = 1.0;
        } else if (b == -INFINITY) {
            result->val = 0.0;
        } else if (a == -INFINITY) {
            result->val = 1.0;
        } else {
            result->val = a < b ? 1.0 : 0.0;
        }
    }
    RValue_Release(&px);
    RValue_Release(&py);
    return JS_DONE;
}

uint32_t JS_DoubleExponent(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const uint32_t exponent = static_cast<uint32_t>(bits >> 32) & 0x7ff00000u;
    return exponent == 0x7ff00000u ? 0x7ff00001u : exponent;
}

void F_JS_TypeOf(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const char* name = "undefined";
    if (argc > 0) {
        const RValue* v = &args[0];
        switch (RValue_Kind(v)) {
            case VALUE_REAL:
            case VALUE_INT32:
            case VALUE_INT64:
                name = "number";
                break;
            case VALUE_STRING:
                name = "string";
                break;
            case VALUE_UNDEFINED:
            case VALUE_UNSET:
                name = "undefined";
                break;
            case VALUE_OBJECT:
                name = v->obj != nullptr && (JS_FindOwnValue(v->obj, JS_CALL_SCRIPT) != nullptr ||
                                             JS_FindOwnValue(v->obj, JS_CALL_CPP) != nullptr)
                           ? "function"
                           : "object";
                break;
            case VALUE_NULL:
                name = "object";
                break;
            case VALUE_BOOL:
                name = "boolean";
                break;
            default:
                name = "[[unknown]]";
                break;
        }
    }
    RValue_SetString(&result, name);
}
