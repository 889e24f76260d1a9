// Date: time values in milliseconds since 1970 UTC, made from the clock, from numbers, from
// components and from the program's own text form, and printed as ISO text. There is no time
// zone: every time is UTC. The other Date.prototype methods are not provided.
#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/Value_Convert.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_NativeSupport.h"
#include "script/JS_Number.h"
#include "script/JS_StandardObjects.h"

namespace {

constexpr double kMsPerDay = 86400000.0;

// x modulo y, never negative for positive y.
double Modulo(double x, double y) {
    return x - y * std::floor(x / y);
}

double Day(double t) {
    return std::floor(t / kMsPerDay);
}

bool IsLeapYear(double y) {
    return Modulo(y, 4) == 0 && (Modulo(y, 100) != 0 || Modulo(y, 400) == 0);
}

double DayFromYear(double y) {
    return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
           std::floor((y - 1601) / 400);
}

double YearFromTime(double t) {
    double y = std::floor(t / (kMsPerDay * 365.2425)) + 1970;
    while (kMsPerDay * DayFromYear(y) > t) --y;
    while (kMsPerDay * DayFromYear(y + 1) <= t) ++y;
    return y;
}

// Days before the first of each month, in a common year.
constexpr int32_t kMonthStart[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

int32_t FirstDayOfMonth(int32_t month, bool leap) {
    return kMonthStart[month] + (leap && month >= 2 ? 1 : 0);
}

struct DateParts {
    double year;
    int32_t month;  // 0 .. 11
    int32_t date;   // 1 .. 31
    int32_t hours, minutes, seconds, milliseconds;
};

DateParts PartsOf(double t) {
    DateParts parts{};
    parts.year = YearFromTime(t);
    const bool leap = IsLeapYear(parts.year);
    const auto dayInYear = static_cast<int32_t>(Day(t) - DayFromYear(parts.year));
    int32_t month = 0;
    while (month < 11 && dayInYear >= FirstDayOfMonth(month + 1, leap)) ++month;
    parts.month = month;
    parts.date = dayInYear - FirstDayOfMonth(month, leap) + 1;
    parts.hours = static_cast<int32_t>(Modulo(std::floor(t / 3600000), 24));
    parts.minutes = static_cast<int32_t>(Modulo(std::floor(t / 60000), 60));
    parts.seconds = static_cast<int32_t>(Modulo(std::floor(t / 1000), 60));
    parts.milliseconds = static_cast<int32_t>(Modulo(t, 1000));
    return parts;
}

double MakeTime(double h, double m, double s, double ms) {
    if (!std::isfinite(h) || !std::isfinite(m) || !std::isfinite(s) || !std::isfinite(ms)) return JS_NaN();
    return std::floor(h) * 3600000 + std::floor(m) * 60000 + std::floor(s) * 1000 + std::floor(ms);
}

double MakeDay(double year, double month, double date) {
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) return JS_NaN();
    const double m = std::floor(month);
    const double ym = std::floor(year) + std::floor(m / 12);
    // Beyond this the result is far outside any time value; the day count would lose meaning.
    if (std::fabs(ym) > 1e9) return JS_NaN();
    const auto mn = static_cast<int32_t>(Modulo(m, 12));
    return DayFromYear(ym) + FirstDayOfMonth(mn, IsLeapYear(ym)) + std::floor(date) - 1;
}

double MakeDate(double day, double time) {
    if (!std::isfinite(day) || !std::isfinite(time)) return JS_NaN();
    return day * kMsPerDay + time;
}

double TimeClip(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15) return JS_NaN();
    return std::floor(t);
}

// A component: missing gives the default, undefined an invalid time, numbers themselves.
double Component(int32_t argc, RValue* args, int32_t n, double fallback) {
    if (n >= argc || args == nullptr) return fallback;
    const uint32_t kind = RValue_Kind(&args[n]);
    if (kind == VALUE_UNDEFINED || kind == VALUE_UNSET) return JS_NaN();
    return Arg_GetReal(args, n);
}

// The time value of year, month[, date, hours, minutes, seconds, ms], as UTC; years 0 to 99
// are of the 1900s.
double TimeFromComponents(int32_t argc, RValue* args, double defaultYear) {
    double year = Component(argc, args, 0, defaultYear);
    if (year >= 0 && year <= 99) year += 1900;
    const double day = MakeDay(year, Component(argc, args, 1, 0), Component(argc, args, 2, 1));
    const double time = MakeTime(Component(argc, args, 3, 0), Component(argc, args, 4, 0),
                                 Component(argc, args, 5, 0), Component(argc, args, 6, 0));
    return TimeClip(MakeDate(day, time));
}

double Now() {
    return static_cast<double>(static_cast<int64_t>(std::time(nullptr))) * 1000.0;
}

// Reads count digits at *p into *out and advances; false (nothing read) when they are not all
// digits.
bool ReadDigits(const char*& p, int32_t count, double* out) {
    int32_t value = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        value = value * 10 + (p[i] - '0');
    }
    p += count;
    *out = value;
    return true;
}

// A separator, then digits.
bool ReadField(const char*& p, char separator, int32_t count, double* out) {
    if (*p != separator) return false;
    const char* q = p + 1;
    if (!ReadDigits(q, count, out)) return false;
    p = q;
    return true;
}

// The program's own text form: YYYY-MM-DDTHH:MM:SS:mmm+HH:MM, read as far as it fits.
double ParseDate(const char* text) {
    double year = 1970, month = 1, date = 1, hours = 0, minutes = 0, seconds = 0, ms = 0;
    double offsetHours = 0, offsetMinutes = 0, sign = 1;
    const char* p = text;
    if (ReadDigits(p, 4, &year) && ReadField(p, '-', 2, &month) && ReadField(p, '-', 2, &date) &&
        ReadField(p, 'T', 2, &hours) && ReadField(p, ':', 2, &minutes) && ReadField(p, ':', 2, &seconds) &&
        ReadField(p, ':', 3, &ms) && (*p == '+' || *p == '-')) {
        const double offsetSign = *p == '-' ? -1 : 1;
        double h = 0;
        if (ReadField(p, *p, 2, &h)) {
            offsetHours = h;
            sign = offsetSign;
            ReadField(p, ':', 2, &offsetMinutes);
        }
    }
    const double t = MakeDate(MakeDay(year, month - 1, date), MakeTime(hours, minutes, seconds, ms));
    return t + sign * MakeTime(offsetHours, offsetMinutes, 0, 0);
}

void F_Date_parse(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const char* text = argc >= 1 && args != nullptr ? Arg_GetString(args, 0) : nullptr;
    Result_SetReal(result, text != nullptr ? ParseDate(text) : JS_NaN());
}

void F_Date_now(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetReal(result, Now());
}

void F_Date_UTC(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    Result_SetReal(result, TimeFromComponents(argc, args, 0));
}

double TimeFromArguments(int32_t argc, RValue* args) {
    if (argc <= 0 || args == nullptr) return Now();
    if (argc == 1) {
        if (RValue_IsString(&args[0])) return ParseDate(RValue_GetStringText(&args[0]));
        return Component(argc, args, 0, 0);
    }
    return TimeFromComponents(argc, args, 0);
}

void F_Date_Construct(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* date = JS_NewClassObject("Date");
    JS_SetPrototypeLink(date, g_JSStandard.datePrototype);
    date->AddReal(JS_PRIMITIVE_VALUE, TimeFromArguments(argc, args), 0);
    RValue_Release(&result);
    result = JS_ObjectValue(date);
}

// Date called as a function answers the text of the same Date; with no toString provided,
// that conversion throws.
void F_Date_Call(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args) {
    RValue date = RValue_Undefined();
    F_Date_Construct(date, self, other, argc, args);
    if (JS_ToString(&result, &date) == JS_FAILED) JS_ThrowTypeError("NoMessage");
    RValue_Release(&date);
}

// Years 0 to 9999 in four digits, others with a sign and six, as ES5 writes them.
void F_Date_toISOString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    const RValue* value = JS_OwnPrimitive(JS_ThisObject(self));
    const double t = value != nullptr && RValue_IsReal(value) ? value->val : JS_NaN();
    if (value == nullptr || !std::isfinite(t) || std::fabs(t) > 8.64e15) {
        JS_ThrowRangeError("NoMessage");
        return;
    }
    const DateParts parts = PartsOf(t);
    const auto year = static_cast<int32_t>(parts.year);
    char text[64];
    const char* yearFormat = year >= 0 && year <= 9999 ? "%04d" : year < 0 ? "-%06d" : "+%06d";
    int n = std::snprintf(text, sizeof text, yearFormat, year < 0 ? -year : year);
    std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "-%02d-%02dT%02d:%02d:%02d.%03dZ",
                  parts.month + 1, parts.date, parts.hours, parts.minutes, parts.seconds, parts.milliseconds);
    RValue_SetString(&result, text);
}

}  // namespace

void JS_SetupDateConstructor() {
    PWObjectBase* prototype = JS_NewClassObject("Date");
    constexpr uint32_t kMethod = JS_WRITABLE | JS_CONFIGURABLE;
    JS_AddNativeMethod(prototype, "toISOString", F_Date_toISOString, 0, kMethod);
    static const char* const kUnimplemented[] = {
        "toString",
        "toDateString",
        "toTimeString",
        "toLocaleString",
        "toLocaleDateString",
        "toLocaleTimeString",
        "valueOf",
        "getTime",
        "getFullYear",
        "getUTCFullYear",
        "getMonth",
        "getUTCMonth",
        "getDate",
        "getUTCDate",
        "getDay",
        "getUTCDay",
        "getHours",
        "getUTCHours",
        "getMinutes",
        "getUTCMinutes",
        "getSeconds",
        "getUTCSeconds",
        "getMilliseconds",
        "getUTCMilliseconds",
        "getTimezoneOffset",
        "setTime",
        "setMilliseconds",
        "setUTCMilliseconds",
        "setSeconds",
        "setUTCSeconds",
        "setMinutes",
        "setUTCMinutes",
        "setHours",
        "setUTCHours",
        "setDate",
        "setUTCDate",
        "setMonth",
        "setUTCMonth",
        "setFullYear",
        "setUTCFullYear",
        "toUTCString",
        "toJSON",
    };
    for (const char* name : kUnimplemented) JS_AddNativeMethod(prototype, name, JS_Unimplemented, 0, kMethod);
    g_JSStandard.datePrototype = prototype;

    PWObjectBase* constructor = JS_CreateNativeFunction(F_Date_Call, 7, false);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(F_Date_Construct), 0);
    JS_AddNativeMethod(constructor, "now", F_Date_now, 0, 0);
    JS_AddNativeMethod(constructor, "UTC", F_Date_UTC, 7, 0);
    JS_AddNativeMethod(constructor, "parse", F_Date_parse, 0, 0);
    JS_LinkConstructor(constructor, prototype, kMethod);
    JS_AddGlobal("Date", constructor);
}
