#include "core/CRuntimeCompat.h"

#include <locale.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/MemoryManager.h"

namespace {

// One "C" locale object for the whole process: the parsing calls below must not follow
// whatever locale a library or the player's environment switched the process to.
locale_t CLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the longest prefix of text that the decimal grammar of atof accepts
// (white space included); 0 when it holds no number.
size_t DecimalPrefixLength(const char* text) {
    const char* p = text;
    while (IsCSpace(*p)) ++p;
    if (*p == '+' || *p == '-') ++p;
    const char* digits = p;
    while (IsDigit(*p)) ++p;
    bool any = p != digits;
    if (*p == '.') {
        const char* fraction = ++p;
        while (IsDigit(*p)) ++p;
        any = any || p != fraction;
    }
    if (!any) return 0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (IsDigit(*q)) {
            while (IsDigit(*q)) ++q;
            p = q;
        }
    }
    return static_cast<size_t>(p - text);
}

}  // namespace

int32_t CRT_TruncToInt32(double value) {
    // The comparisons are false for NaN, which therefore takes the x86 "indefinite" answer.
    if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int32_t>(value);
    return INT32_MIN;
}

int64_t CRT_TruncToInt64(double value) {
    if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) {
        return static_cast<int64_t>(value);
    }
    return INT64_MIN;
}

double CRT_atof(const char* text) {
    if (text == nullptr) return 0.0;
    size_t length = DecimalPrefixLength(text);
    if (length == 0) return 0.0;
    // strtod would also take hexadecimal and "inf"; hand it only the decimal prefix.
    char local[128];
    char* copy = length < sizeof local ? local : static_cast<char*>(MEM_ALLOC_RAW(length + 1));
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    double result = strtod_l(copy, nullptr, CLocale());
    if (copy != local) MEM_FREE(copy);
    return result;
}

int64_t CRT_strtoll(const char* text, int base) {
    if (text == nullptr) return 0;
    int savedErrno = errno;
    long long result = strtoll_l(text, nullptr, base, CLocale());
    errno = savedErrno;
    return result;
}

int32_t CRT_strtol32(const char* text, int base) {
    int64_t wide = CRT_strtoll(text, base);
    if (wide > INT32_MAX) return INT32_MAX;
    if (wide < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(wide);
}

int CRT_FormatPointer(char* out, size_t size, const void* pointer) {
    return std::snprintf(out, size, "%016llX",
                         static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
}

int CRT_FormatFixed2(char* out, size_t size, double value) {
    if (size == 0) return 0;
    // to_chars is locale independent and prints exactly what printf("%.2f") prints in "C".
    auto [end, error] = std::to_chars(out, out + size - 1, value, std::chars_format::fixed, 2);
    if (error != std::errc()) {
        out[0] = '\0';
        return 0;
    }
    *end = '\0';
    return static_cast<int>(end - out);
}
