#include "script/JS_Number.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <double-conversion/double-to-string.h>
#include <double-conversion/string-to-double.h>
#include <limits>
#include <string>

#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_NativeSupport.h"
#include "script/JS_StandardObjects.h"

using double_conversion::DoubleToStringConverter;
using double_conversion::StringToDoubleConverter;

namespace {

void SetLiteral(RValue* out, const char* text) {
    RValue_CreateString(out, text);
    out->flags = 0;
}

char* WriteExponential(char* p, const char* digits, int32_t k, int32_t n) {
    *p++ = digits[0];
    if (k > 1) {
        *p++ = '.';
        std::memcpy(p, digits + 1, static_cast<size_t>(k - 1));
        p += k - 1;
    }
    const int32_t exponent = n - 1;
    p += std::snprintf(p, 16, "e%c%d", exponent >= 0 ? '+' : '-', exponent >= 0 ? exponent : -exponent);
    return p;
}

char* WriteFixed(char* p, const char* digits, int32_t k, int32_t n) {
    if (n > 0) {
        for (int32_t i = 0; i < k; ++i) {
            if (i == n) *p++ = '.';
            *p++ = digits[i];
        }
        for (int32_t i = k; i < n; ++i) *p++ = '0';
        return p;
    }
    *p++ = '0';
    *p++ = '.';
    for (int32_t i = 0; i < -n; ++i) *p++ = '0';
    std::memcpy(p, digits, static_cast<size_t>(k));
    return p + k;
}

}  // namespace

int32_t JS_ShortestDigits(double number, char* digits, int32_t size, int32_t* point) {
    bool sign = false;
    int length = 0;
    int decimalPoint = 0;
    DoubleToStringConverter::DoubleToAscii(number, DoubleToStringConverter::SHORTEST, 0, digits, size, &sign,
                                           &length, &decimalPoint);
    *point = decimalPoint;
    return length;
}

char* JS_NumberToText(double x, char* buffer) {
    if (std::isnan(x)) return std::strcpy(buffer, "NaN");
    if (std::isinf(x)) return std::strcpy(buffer, x > 0 ? "Infinity" : "-Infinity");
    if (x == 0.0) return std::strcpy(buffer, "0");
    char digits[DoubleToStringConverter::kBase10MaximalLength + 1];
    int32_t n = 0;
    const int32_t k = JS_ShortestDigits(x, digits, sizeof digits, &n);
    char* p = buffer;
    if (x < 0) *p++ = '-';
    p = n <= -6 || n > k + 20 ? WriteExponential(p, digits, k, n) : WriteFixed(p, digits, k, n);
    *p = '\0';
    return buffer;
}

double JS_DecimalTextToDouble(const char* text, int32_t length, int32_t* used) {
    static const StringToDoubleConverter kConverter(StringToDoubleConverter::ALLOW_TRAILING_JUNK, 0.0,
                                                    JS_NaN(), nullptr, nullptr);
    int processed = 0;
    double value = kConverter.StringToDouble(text, length, &processed);
    *used = processed;
    return value;
}

int32_t JS_ToString(RValue* result, const RValue* value) {
    RValue out;
    out.v64 = 0;
    out.flags = 0;
    out.kind = VALUE_UNSET;
    char buffer[JS_NUMBER_TEXT_SIZE];
    int32_t status = JS_DONE;
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
            SetLiteral(&out, JS_NumberToText(value->val, buffer));
            break;
        case VALUE_INT32:
            std::snprintf(buffer, sizeof buffer, "%" PRId32, value->v32);
            SetLiteral(&out, buffer);
            break;
        case VALUE_INT64:
            // Every int64 has at most 19 digits, so the fixed form is its plain decimal text.
            std::snprintf(buffer, sizeof buffer, "%" PRId64, value->v64);
            SetLiteral(&out, buffer);
            break;
        case VALUE_STRING:
            RValue_Assign(&out, value);
            break;
        case VALUE_UNDEFINED:
            SetLiteral(&out, "undefined");
            break;
        case VALUE_NULL:
            SetLiteral(&out, "null");
            break;
        case VALUE_BOOL:
            SetLiteral(&out, value->val != 0.0 ? "true" : "false");
            break;
        case VALUE_OBJECT: {
            RValue primitive = RValue_Undefined();
            status = F_JS_ToPrimitive(&primitive, value, JS_HINT_STRING);
            if (status == JS_DONE) status = JS_ToString(&out, &primitive) == JS_FAILED ? JS_FAILED : JS_DONE;
            RValue_Release(&primitive);
            break;
        }
        default:
            SetLiteral(&out, "[[unknown]]");
            break;
    }
    RValue_Free(result);
    *result = out;
    return status;
}

// --- Boolean and Number objects ---------------------------------------------------------

namespace {

constexpr uint32_t kWritableConfigurable = JS_WRITABLE | JS_CONFIGURABLE;

void SetText(RValue& result, const std::string& text) {
    RValue_SetString(&result, text.c_str());
}

// --- Boolean ----------------------------------------------------------------------------

void F_Boolean_Call(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue_SetBool(&result, argc >= 1 && args != nullptr && JS_ToBoolean(&args[0]));
}

// new Boolean (V), and the wrapper that converts a boolean to an object.
void F_Boolean_Construct(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const bool value = argc >= 1 && args != nullptr && JS_ToBoolean(&args[0]);
    PWObjectBase* object = JS_NewClassObject("Boolean");
    JS_SetPrototypeLink(object, g_JSStandard.booleanPrototype);
    object->AddReal(JS_PRIMITIVE_VALUE, value ? 1.0 : 0.0, 0);
    PWObjectBase* slotObject = JS_NewClassObject("Object");
    slotObject->AddObject("constructor", object, kWritableConfigurable);
    JS_SetPrototypeSlot(object, slotObject, kWritableConfigurable);
    RValue_Release(&result);
    result = JS_ObjectValue(object);
}

void F_Boolean_toString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = JS_ThisObject(self);
    if (!JS_HasClass(object, "Boolean")) {
        JS_ThrowTypeError("Boolean.toString : object is not a Boolean");
        return;
    }
    const RValue* value = JS_OwnPrimitive(object);
    RValue_SetString(&result, value == nullptr ? "unknown-bool" : JS_ToBoolean(value) ? "true" : "false");
}

void F_Boolean_valueOf(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = JS_ThisObject(self);
    if (!JS_HasClass(object, "Boolean")) {
        JS_ThrowTypeError("Boolean.valueOf : object is not a Boolean");
        return;
    }
    if (const RValue* value = JS_OwnPrimitive(object)) RValue_SetBool(&result, JS_ToBoolean(value));
}

// --- Number -----------------------------------------------------------------------------

void F_Number_Call(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 1 || args == nullptr) {
        RValue_SetReal(&result, 0.0);
        return;
    }
    RValue number = RValue_Real(JS_NaN());
    const int32_t status = JS_ToNumber(&number, &args[0]);
    if (status == JS_FAILED) JS_ThrowTypeError("Could not convert to a number");
    if (status == JS_DONE) {
        RValue_Release(&result);
        result = number;
    } else {
        RValue_Release(&number);
    }
}

// new Number (V), and the wrapper that converts a number to an object.
void F_Number_Construct(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue number = RValue_Real(0.0);
    if (argc >= 1 && args != nullptr) {
        const int32_t status = JS_ToNumber(&number, &args[0]);
        if (status != JS_DONE) {
            if (status == JS_FAILED) JS_ThrowTypeError("Could not convert to a number");
            RValue_Release(&number);
            return;
        }
    }
    PWObjectBase* object = JS_NewClassObject("Number");
    JS_SetPrototypeLink(object, g_JSStandard.numberPrototype);
    object->AddValue(JS_PRIMITIVE_VALUE, &number, 0);
    RValue_Release(&result);
    result = JS_ObjectValue(object);
}

// The "[[PrimitiveValue]]" of a Number object, for valueOf and toLocaleString.
const RValue* NumberPrimitive(CInstance* self) {
    PWObjectBase* object = JS_ThisObject(self);
    const RValue* value = JS_HasClass(object, "Number") ? JS_OwnPrimitive(object) : nullptr;
    if (value == nullptr) JS_ThrowTypeError("NoMessage");
    return value;
}

void F_Number_valueOf(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    if (const RValue* value = NumberPrimitive(self)) RValue_Assign(&result, value);
}

void F_Number_toLocaleString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    if (const RValue* value = NumberPrimitive(self)) JS_ToString(&result, value);
}

// The number held by this for the formatting methods, which do not test the class. An object
// with no primitive value has nothing to format: TypeError "NoMessage".
bool FormattedNumber(CInstance* self, double* out) {
    const RValue* value = JS_OwnPrimitive(JS_ThisObject(self));
    if (value == nullptr) {
        JS_ThrowTypeError("NoMessage");
        return false;
    }
    RValue number = RValue_Real(JS_NaN());
    JS_ToNumber(&number, value);
    *out = RValue_IsReal(number) ? number.val : JS_NaN();
    RValue_Release(&number);
    return true;
}

std::string NumberText(double value) {
    char buffer[JS_NUMBER_TEXT_SIZE];
    return JS_NumberToText(value, buffer);
}

// Fraction digits written at most by toString with a radix: a fraction whose expansion never
// ends in the radix (a tenth in base 3) stops there.
constexpr int32_t kMaxRadixFractionDigits = 1100;

std::string RadixText(double value, int32_t radix) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const double magnitude = std::fabs(value);
    double whole = std::floor(magnitude);
    double fraction = magnitude - whole;
    std::string integer;
    if (whole == 0) integer = "0";
    while (whole > 0) {
        integer.push_back(kDigits[static_cast<int32_t>(std::fmod(whole, radix))]);
        whole = std::floor(whole / radix);
    }
    std::string text = value < 0 ? "-" : "";
    text.append(integer.rbegin(), integer.rend());
    if (fraction != 0) {
        text.push_back('.');
        for (int32_t n = 0; fraction != 0 && n < kMaxRadixFractionDigits; ++n) {
            const double product = fraction * radix;
            const double digit = std::floor(product);
            text.push_back(kDigits[static_cast<int32_t>(digit)]);
            fraction = product - digit;
        }
    }
    return text;
}

void F_Number_toString(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = JS_ThisObject(self);
    const RValue* primitive = JS_HasClass(object, "Number") ? JS_OwnPrimitive(object) : nullptr;
    if (primitive == nullptr) {
        JS_ThrowTypeError("Cannot use Number.prototype.toString on an object which is not of type Number.");
        return;
    }
    RValue number = RValue_Real(JS_NaN());
    JS_ToNumber(&number, primitive);
    const double value = RValue_IsReal(number) ? number.val : JS_NaN();
    RValue_Release(&number);
    double radix = 10;
    if (argc == 1 && args != nullptr && RValue_Kind(&args[0]) != VALUE_UNDEFINED)
        radix = JS_ToInteger(&args[0]);
    if (radix == 10) {
        SetText(result, NumberText(value));
    } else if (radix < 2 || radix > 36) {
        JS_ThrowRangeError("Number.prototype.toString radix must be between 2 and 36 inclusive.");
    } else if (!std::isfinite(value)) {
        SetText(result, NumberText(value));
    } else {
        SetText(result, RadixText(value, static_cast<int32_t>(radix)));
    }
}

// A digit count argument (NaN counts as 0), or the default when not given.
double DigitCount(int32_t argc, RValue* args, double fallback, bool undefinedIsMissing) {
    if (argc < 1 || args == nullptr) return fallback;
    if (undefinedIsMissing && RValue_Kind(&args[0]) == VALUE_UNDEFINED) return fallback;
    return JS_ToInteger(&args[0]);
}

std::string Formatted(const char* format, int32_t digits, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, digits, value);
    return buffer;
}

// "e+005" and "e-07" become "e+5" and "e-7".
std::string ShortExponent(std::string text) {
    const size_t e = text.find('e');
    if (e == std::string::npos || e + 2 >= text.size()) return text;
    size_t first = e + 2;
    while (first + 1 < text.size() && text[first] == '0') ++first;
    return text.erase(e + 2, first - (e + 2));
}

void F_Number_toFixed(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    double value = 0;
    if (!FormattedNumber(self, &value)) return;
    const double f = DigitCount(argc, args, 0, false);
    if (f < 0 || f > 20) {
        JS_ThrowRangeError("Number.prototype.toFixed fraction digits should be >= 1 and <= 20");
        return;
    }
    if (std::isnan(value)) {
        SetText(result, "NaN");
    } else if (std::fabs(value) >= 1e21) {
        // Also infinities: the fixed form of such a number would not fit its buffer.
        SetText(result, NumberText(value));
    } else {
        SetText(result, Formatted("%.*f", static_cast<int32_t>(f), value == 0 ? 0.0 : value));
    }
}

void F_Number_toExponential(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    double value = 0;
    if (!FormattedNumber(self, &value)) return;
    const double f = DigitCount(argc, args, 5, true);
    if (f < 0 || f > 20) {
        JS_ThrowRangeError("Number.prototype.toExponential fraction digits should be >= 1 and <= 20");
        return;
    }
    if (!std::isfinite(value))
        SetText(result, NumberText(value));
    else
        SetText(result, ShortExponent(Formatted("%.*e", static_cast<int32_t>(f), value)));
}

void F_Number_toPrecision(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    double value = 0;
    if (!FormattedNumber(self, &value)) return;
    if (argc < 1 || args == nullptr || RValue_Kind(&args[0]) == VALUE_UNDEFINED) {
        SetText(result, NumberText(value));
        return;
    }
    const double p = JS_ToInteger(&args[0]);
    if (p < 1 || p > 20) {
        JS_ThrowRangeError("Number.prototype.toPrecision fraction digits should be > 1 and <= 20");
        return;
    }
    if (!std::isfinite(value)) {
        SetText(result, NumberText(value));
        return;
    }
    const auto precision = static_cast<int32_t>(p);
    std::string text = ShortExponent(Formatted("%.*g", precision, value));
    const auto length = static_cast<int32_t>(text.size());
    if (length < precision && text.find('.') == std::string::npos)
        text = Formatted("%.*f", precision - length, value);
    SetText(result, text);
}

}  // namespace

void JS_SetupBooleanConstructor() {
    PWObjectBase* prototype = JS_NewClassObject("Boolean");
    prototype->AddReal(JS_PRIMITIVE_VALUE, 0.0, 0);
    JS_AddNativeMethod(prototype, "toString", F_Boolean_toString, 0, 0);
    JS_AddNativeMethod(prototype, "valueOf", F_Boolean_valueOf, 0, 0);
    g_JSStandard.booleanPrototype = prototype;
    PWObjectBase* constructor = JS_CreateNativeFunction(F_Boolean_Call, 0, false);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(F_Boolean_Construct), 0);
    JS_LinkConstructor(constructor, prototype, kWritableConfigurable);
    JS_AddGlobal("Boolean", constructor);
    g_JSStandard.booleanConstructor = F_Boolean_Construct;
}

void JS_SetupNumberConstructor() {
    PWObjectBase* prototype = JS_NewClassObject("Number");
    prototype->AddReal(JS_PRIMITIVE_VALUE, 0.0, 0);
    const struct {
        const char* name;
        BuiltinProc method;
        int32_t length;
    } methods[] = {
        {"toString", F_Number_toString, 0},
        {"toLocaleString", F_Number_toLocaleString, 0},
        {"valueOf", F_Number_valueOf, 0},
        {"toFixed", F_Number_toFixed, 1},
        {"toExponential", F_Number_toExponential, 1},
        {"toPrecision", F_Number_toPrecision, 1},
    };
    for (const auto& m : methods)
        JS_AddNativeMethod(prototype, m.name, m.method, m.length, kWritableConfigurable);
    g_JSStandard.numberPrototype = prototype;

    PWObjectBase* constructor = JS_CreateNativeFunction(F_Number_Call, 0, false);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(F_Number_Construct), 0);
    // Not Function.prototype: the constructor has no apply or call.
    JS_SetPrototypeLink(constructor, g_JSStandard.objectPrototype);
    JS_LinkConstructor(constructor, prototype, kWritableConfigurable);
    const double inf = std::numeric_limits<double>::infinity();
    constructor->AddReal("MAX_VALUE", std::numeric_limits<double>::max(), 0);
    constructor->AddReal("MIN_VALUE", std::numeric_limits<double>::denorm_min(), 0);
    constructor->AddReal("NaN", JS_NaN(), 0);
    constructor->AddReal("NEGATIVE_INFINITY", -inf, 0);
    constructor->AddReal("POSITIVE_INFINITY", inf, 0);
    JS_AddGlobal("Number", constructor);
    g_JSStandard.numberConstructor = F_Number_Construct;
}
