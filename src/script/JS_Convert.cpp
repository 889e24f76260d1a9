#include "script/JS_Convert.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <utf8proc.h>

#include "core/Console.h"
#include "core/RuntimeError.h"
#include "script/JS_Call.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_UTF16.h"

namespace {

bool IsHexDigit(char c) {
    return JS_DigitValue(static_cast<unsigned char>(c), 16) >= 0;
}

// Past the white space at p; the cursor stays inside the text.
const char* SkipWhiteSpace(const char* p, const char* end) {
    while (p < end) {
        Utf8Cursor cursor(p, static_cast<int32_t>(end - p));
        if (!JS_IsWhiteSpace(cursor.Next())) break;
        p = cursor.Position();
    }
    return p;
}

bool StartsWith(const char* p, const char* end, const char* literal) {
    size_t n = std::strlen(literal);
    return static_cast<size_t>(end - p) >= n && std::memcmp(p, literal, n) == 0;
}

// "0x" digits into a 32-bit signed integer that wraps; null when no digit follows.
const char* ReadHex(const char* p, const char* end, double* number) {
    const char* digits = p + 2;
    if (digits >= end || !IsHexDigit(*digits)) return nullptr;
    uint32_t value = 0;
    for (; digits < end && IsHexDigit(*digits); ++digits)
        value = value * 16 + static_cast<uint32_t>(JS_DigitValue(static_cast<unsigned char>(*digits), 16));
    *number = static_cast<int32_t>(value);
    return digits;
}

const char* ReadLiteral(const char* p, const char* end, double* number) {
    constexpr double kInfinity = HUGE_VAL;
    if (StartsWith(p, end, "0x") || StartsWith(p, end, "0X")) return ReadHex(p, end, number);
    if (StartsWith(p, end, "Infinity")) {
        *number = kInfinity;
        return p + 8;
    }
    if (StartsWith(p, end, "-Infinity")) {
        *number = -kInfinity;
        return p + 9;
    }
    if (StartsWith(p, end, "+Infinity")) {
        *number = kInfinity;
        return p + 9;
    }
    if (*p == '-' || *p == '+' || *p == '.' || (*p >= '0' && *p <= '9')) {
        int32_t used = 0;
        *number = JS_DecimalTextToDouble(p, static_cast<int32_t>(end - p), &used);
        return p + used;
    }
    return p;
}

void SetReal(RValue* result, double d) {
    RValue_Release(result);
    *result = RValue_Real(d);
}

RValue CopyOf(const RValue* value) {
    RValue copy = RValue_Undefined();
    RValue_Assign(&copy, value);
    return copy;
}

// Makes the wrapper object of a primitive through its standard constructor.
int32_t Wrap(BuiltinProc constructor, RValue* result, const RValue* value, int32_t argc) {
    if (constructor == nullptr) return JS_FAILED;
    RValue argument = CopyOf(value);
    RValue made = RValue_Undefined();
    constructor(made, nullptr, nullptr, argc, &argument);
    RValue_Release(&argument);
    RValue_Release(result);
    *result = made;
    return JS_DONE;
}

// 2^63: a magnitude the truncation to 64 bits cannot hold gives the integer indefinite value.
constexpr double kTwo63 = 9223372036854775808.0;

uint32_t LowWord(double n) {
    if (std::isnan(n) || std::isinf(n) || n == 0.0) return 0;
    if (std::fabs(n) >= kTwo63) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(n)));
}

}  // namespace

double JS_NaN() {
    return std::bit_cast<double>(UINT64_C(0x7FFFFFFFFFFFFFFF));
}

// --- ToPrimitive ------------------------------------------------------------------------

int32_t F_JS_ToPrimitive(RValue* result, const RValue* value, int32_t hint) {
    if (JS_IsPrimitive(value)) {
        RValue_Assign(result, value);
        return JS_DONE;
    }
    if (RValue_IsObject(value) && value->obj != nullptr)
        return JS_Object_DefaultValue(value->obj, result, hint);
    Runtime_Error("unhandled type for F_JS_ToPrimitive");
    return JS_FAILED;
}

int32_t JS_Object_DefaultValue(PWObjectBase* object, RValue* result, int32_t hint) {
    bool stringFirst;
    if (hint == VALUE_STRING) {
        stringFirst = true;
    } else if (hint == VALUE_REAL || hint == VALUE_INT32 || hint == VALUE_INT64) {
        stringFirst = false;
    } else {
        const char* cls = JS_ClassOf(object);
        stringFirst = cls != nullptr && std::strcmp(cls, "Date") == 0;
    }
    const char* order[2] = {stringFirst ? "toString" : "valueOf", stringFirst ? "valueOf" : "toString"};
    for (const char* name : order) {
        RValue method;
        JS_Get(object, &method, name);
        if (!JS_IsCallable(&method)) continue;
        RValue returned = RValue_Undefined();
        if (JS_Call(object, &returned, method.obj, 0, nullptr) == JS_EXCEPTION) {
            RValue_Release(&returned);
            return JS_EXCEPTION;
        }
        if (JS_IsPrimitive(&returned)) {
            RValue_Release(result);
            *result = returned;
            return JS_DONE;
        }
        RValue_Release(&returned);
    }
    return JS_FAILED;
}

// --- ToBoolean and ToNumber -------------------------------------------------------------

bool JS_ToBoolean(const RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
            return !(value->val == 0.0 || std::isnan(value->val));
        case VALUE_INT32:
            return value->v32 != 0;
        case VALUE_INT64:
            return value->v64 != 0;
        case VALUE_BOOL:
            return value->val != 0.0;
        case VALUE_STRING: {
            const char* text = RValue_GetStringText(value);
            return text != nullptr && *text != '\0';
        }
        case VALUE_OBJECT:
            return true;
        case VALUE_UNDEFINED:
        case VALUE_NULL:
            return false;
        default:
            Runtime_Error("unhandled type (%d) for JS_ToBoolean", static_cast<int>(RValue_Kind(value)));
            return false;
    }
}

double JS_TextToNumber(const char* text) {
    if (text == nullptr || *text == '\0') return 0.0;
    const char* end = text + std::strlen(text);
    const char* p = SkipWhiteSpace(text, end);
    if (p == end) return 0.0;
    double number = JS_NaN();
    const char* after = ReadLiteral(p, end, &number);
    if (after == nullptr) return JS_NaN();
    if (after == p) number = JS_NaN();
    return SkipWhiteSpace(after, end) == end ? number : JS_NaN();
}

int32_t JS_ToNumber(RValue* result, const RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            SetReal(result, value->val);
            return JS_DONE;
        case VALUE_INT32:
            SetReal(result, value->v32);
            return JS_DONE;
        case VALUE_INT64:
            SetReal(result, static_cast<double>(value->v64));
            return JS_DONE;
        case VALUE_NULL:
            SetReal(result, 0.0);
            return JS_DONE;
        case VALUE_UNDEFINED:
            SetReal(result, JS_NaN());
            return JS_DONE;
        case VALUE_STRING:
            SetReal(result, JS_TextToNumber(RValue_GetStringText(value)));
            return JS_DONE;
        case VALUE_OBJECT: {
            RValue primitive = RValue_Undefined();
            int32_t status = F_JS_ToPrimitive(&primitive, value, JS_HINT_NUMBER);
            if (status == JS_DONE)
                status = JS_ToNumber(result, &primitive) == JS_FAILED ? JS_FAILED : JS_DONE;
            RValue_Release(&primitive);
            return status;
        }
        default:
            return JS_DONE;
    }
}

// --- ToObject ---------------------------------------------------------------------------

int32_t F_JS_ToObject(RValue* result, const RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_INT32:
        case VALUE_INT64:
            return Wrap(g_JSStandard.numberConstructor, result, value, 1);
        case VALUE_STRING:
            return Wrap(g_JSStandard.stringConstructor, result, value, 1);
        case VALUE_BOOL:
            return Wrap(g_JSStandard.booleanConstructor, result, value, 1);
        case VALUE_OBJECT:
            RValue_Assign(result, value);
            return JS_DONE;
        case VALUE_UNDEFINED:
        case VALUE_NULL:
            return JS_FAILED;
        default:
            Runtime_Error("unhandled type (%d) for F_JS_ToObject", static_cast<int>(RValue_Kind(value)));
            return JS_FAILED;
    }
}

int32_t F_JS_Object_ToObject(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 1 || args == nullptr) return JS_FAILED;
    const RValue* value = &args[0];
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_INT32:
            return Wrap(g_JSStandard.numberConstructor, &result, value, argc);
        case VALUE_STRING:
            return Wrap(g_JSStandard.stringConstructor, &result, value, argc);
        case VALUE_BOOL:
            return Wrap(g_JSStandard.booleanConstructor, &result, value, argc);
        case VALUE_OBJECT:
            RValue_Assign(&result, value);
            return JS_DONE;
        case VALUE_UNDEFINED:
        case VALUE_NULL:
            return JS_FAILED;
        default:
            Runtime_Error("Calling ToObject on an unhandled type %d", static_cast<int>(RValue_Kind(value)));
            return JS_DONE;
    }
}

int32_t JS_ToObjectForDefineProperties(RValue* result, const RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_OBJECT:
            RValue_Assign(result, value);
            return JS_DONE;
        case VALUE_REAL:
        case VALUE_INT32:
        case VALUE_INT64:
            ErrorConsole.Output(
                "should be converting this to a Boolean or Number but they don't exist yet\n");
            return JS_FAILED;
        case VALUE_STRING:
            ErrorConsole.Output("should be converting this to a String but they don't exist yet\n");
            return JS_FAILED;
        case VALUE_UNDEFINED:
        case VALUE_NULL:
            return JS_FAILED;
        default:
            Runtime_Error("unhandled type for F_JS_ToObject");
            return JS_FAILED;
    }
}

// --- Integers ---------------------------------------------------------------------------

double JS_ToInteger(const RValue* value) {
    RValue number = RValue_Real(JS_NaN());
    JS_ToNumber(&number, value);
    double n = RValue_IsReal(number) ? number.val : JS_NaN();
    if (std::isnan(n)) return 0.0;
    if (std::isinf(n) || n == 0.0) return n;
    return std::copysign(std::floor(std::fabs(n)), n);
}

int32_t JS_ToUint32(RValue* result, const RValue* value) {
    RValue number = RValue_Real(JS_NaN());
    int32_t status = JS_ToNumber(&number, value);
    if (status != JS_DONE) {
        RValue_Release(&number);
        return status;
    }
    SetReal(result, LowWord(number.val));
    return JS_DONE;
}

int32_t JS_ToInt32(RValue* result, const RValue* value) {
    RValue number = RValue_Real(JS_NaN());
    int32_t status = JS_ToNumber(&number, value);
    if (status != JS_DONE) {
        RValue_Release(&number);
        return status;
    }
    SetReal(result, static_cast<int32_t>(LowWord(number.val)));
    return JS_DONE;
}

// --- isNaN and isFinite -----------------------------------------------------------------

namespace {

double NumberOfArgument(int32_t argc, RValue* args) {
    RValue number = RValue_Real(JS_NaN());
    if (argc >= 1 && args != nullptr) JS_ToNumber(&number, &args[0]);
    return RValue_IsReal(number) ? number.val : JS_NaN();
}

}  // namespace

void F_JS_IsNaN(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    double n = NumberOfArgument(argc, args);
    RValue_SetBool(&result, std::isnan(n));
}

void F_JS_IsFinite(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    double n = NumberOfArgument(argc, args);
    RValue_SetBool(&result, std::isfinite(n));
}

// --- Characters -------------------------------------------------------------------------

bool JS_IsWhiteSpace(uint32_t c) {
    switch (c) {
        case 32:
        case 9:
        case 10:
        case 13:
        case 11:
        case 160:
        case 12:
        case 0x2028:
            return true;
        default:
            break;
    }
    if (c <= 160 || c > 0x10FFFF) return false;
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(c))) {
        case UTF8PROC_CATEGORY_MC:
        case UTF8PROC_CATEGORY_ZS:
        case UTF8PROC_CATEGORY_ZL:
        case UTF8PROC_CATEGORY_ZP:
        case UTF8PROC_CATEGORY_CC:
        case UTF8PROC_CATEGORY_CF:
        case UTF8PROC_CATEGORY_CS:
        case UTF8PROC_CATEGORY_CO:
            return true;
        default:
            return false;
    }
}

int32_t JS_DigitValue(uint32_t c, int32_t radix) {
    static const char kLower[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    static const char kUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (radix > 36) radix = 36;
    for (int32_t i = 0; i < radix; ++i)
        if (c == static_cast<unsigned char>(kLower[i]) || c == static_cast<unsigned char>(kUpper[i]))
            return i;
    return -1;
}

bool JS_IsDigitInRadix(uint32_t c, int32_t radix) {
    return JS_DigitValue(c, radix) >= 0;
}
