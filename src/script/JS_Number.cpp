#include "script/JS_Number.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <double-conversion/double-to-string.h>
#include <double-conversion/string-to-double.h>

#include "script/JS_Convert.h"

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
