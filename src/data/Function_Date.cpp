#include "data/Function_Date.h"

#include <locale.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

namespace {

constexpr double kUnixEpochDays = 25569.0;  // 1 January 1970 in days since 30 December 1899
constexpr double kSecondsPerDay = 86400.0;
constexpr double kDaysPerYear = 365.25;
// The system's calendar breakdown works from 12 hours before 1970 to the end of the year 3000
// (UTC); times outside give no fields, and compositions outside are failures.
constexpr int64_t kEarliestFieldsTime = -43200;
constexpr int64_t kLatestTime = 32535215999;  // 3000-12-31 23:59:59 UTC
constexpr int32_t kStringBytes = 1024;

bool g_utc = false;  // the time-zone setting: local at start
DateClock g_clock = nullptr;

int64_t SystemClock() {
    return static_cast<int64_t>(std::time(nullptr));
}

int64_t Now() {
    return g_clock != nullptr ? g_clock() : SystemClock();
}

bool IsLeapYear(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// month 1-12.
int32_t DaysInMonth(int64_t year, int32_t month) {
    static constexpr int32_t kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kLengths[month - 1];
}

// Days of the months of the year before month (1-12).
int32_t DaysBeforeMonth(int64_t year, int32_t month) {
    int32_t days = 0;
    for (int32_t m = 1; m < month; ++m) days += DaysInMonth(year, m);
    return days;
}

// Seconds to calendar fields: local or UTC.
bool Breakdown(int64_t seconds, bool utc, struct tm* fields) {
    if (seconds < kEarliestFieldsTime || seconds > kLatestTime) return false;
    const time_t t = static_cast<time_t>(seconds);
    return (utc ? gmtime_r(&t, fields) : localtime_r(&t, fields)) != nullptr;
}

// A date value's fields by the time-zone setting.
bool DateFields(double date, struct tm* fields) {
    int64_t seconds = 0;
    return Date_ToSeconds(date, &seconds) && Breakdown(seconds, g_utc, fields);
}

// Fields to seconds, out-of-range fields carried over; false before 1970 or after the year 3000.
bool Compose(struct tm* fields, bool utc, int64_t* seconds) {
    const time_t t = utc ? timegm(fields) : mktime(fields);
    if (t < 0 || t > kLatestTime) return false;
    *seconds = static_cast<int64_t>(t);
    return true;
}

// A calendar number held in a field of the system's record; false when it does not fit.
bool StoreField(int* field, int64_t value) {
    if (value < INT32_MIN || value > INT32_MAX) return false;
    *field = static_cast<int>(value);
    return true;
}

// Fields from year, month 1-12, day, hour, minute, second; daylight saving left to the system.
bool FillFields(struct tm* fields, int64_t year, int64_t month, int32_t day, int32_t hour, int32_t minute,
                int32_t second) {
    std::memset(fields, 0, sizeof *fields);
    fields->tm_mday = day;
    fields->tm_hour = hour;
    fields->tm_min = minute;
    fields->tm_sec = second;
    fields->tm_isdst = -1;
    return StoreField(&fields->tm_year, year - 1900) && StoreField(&fields->tm_mon, month - 1);
}

// --- Current moment -------------------------------------------------------------------------

void F_DateCurrentDatetime(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetReal(result, Date_FromSeconds(Now()));
}

// --- Creating and checking ------------------------------------------------------------------

void CreateDate(RValue& result, int64_t year, int64_t month, int32_t day, int32_t hour, int32_t minute,
                int32_t second) {
    struct tm fields;
    int64_t seconds = 0;
    if (!FillFields(&fields, year, month, day, hour, minute, second) || !Compose(&fields, g_utc, &seconds)) {
        Runtime_Error("invalid date conversion - dates earlier than 1 Jan 1970 will be incorrect");
        return;
    }
    Result_SetReal(result, Date_FromSeconds(seconds));
}

void F_DateCreateDatetime(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    CreateDate(result, Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
               Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetInt32(args, 5));
}

void F_DateCreateDate(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    CreateDate(result, Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), 0, 0, 0);
}

// A time alone is the fraction of a day it stands for, as date_time_of gives it, so that a
// date plus a time is that moment.
void F_DateCreateTime(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int64_t seconds = static_cast<int64_t>(Arg_GetInt32(args, 0)) * 3600 +
                            static_cast<int64_t>(Arg_GetInt32(args, 1)) * 60 + Arg_GetInt32(args, 2);
    Result_SetReal(result, static_cast<double>(seconds) / kSecondsPerDay);
}

bool ValidDate(int32_t year, int32_t month, int32_t day) {
    if (year < 1970 || month < 1 || month > 12) return false;
    return day >= 1 && day <= DaysInMonth(year, month);
}

// Negative numbers fail too: they compare as large unsigned ones.
bool ValidTime(int32_t hour, int32_t minute, int32_t second) {
    return static_cast<uint32_t>(hour) < 24 && static_cast<uint32_t>(minute) < 60 &&
           static_cast<uint32_t>(second) < 60;
}

void F_DateValidDatetime(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const bool valid = ValidDate(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2)) &&
                       ValidTime(Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetInt32(args, 5));
    Result_SetFlag(result, valid);
}

void F_DateValidDate(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(
        result, ValidDate(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2)) ? 1.0 : 0.0);
}

void F_DateValidTime(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(
        result, ValidTime(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2)) ? 1.0 : 0.0);
}

// --- Incrementing ---------------------------------------------------------------------------
// Always in UTC fields, whatever the setting. The composed moment is the answer even before
// 1970 (a step back over 1 January 1970 is an ordinary date); one past the year 3000, or one
// the system cannot compose, is a failure: -1, never a wrong date.

double IncrementDate(double date, int tm::*field, int64_t amount) {
    int64_t seconds = 0;
    struct tm fields;
    if (!Date_ToSeconds(date, &seconds) || !Breakdown(seconds, true, &fields)) return -1.0;
    if (!StoreField(&(fields.*field), static_cast<int64_t>(fields.*field) + amount)) return -1.0;
    errno = 0;
    const time_t t = timegm(&fields);
    if ((t == -1 && errno != 0) || t > kLatestTime) return -1.0;
    return Date_FromSeconds(static_cast<int64_t>(t));
}

#define INC_ROW(name, field, scale) \
    void F_DateInc##name(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) { \
        const int64_t amount = static_cast<int64_t>(Arg_GetInt32(args, 1)) * (scale); \
        Result_SetReal(result, IncrementDate(Arg_GetReal(args, 0), &tm::field, amount)); \
    }
INC_ROW(Year, tm_year, 1)
INC_ROW(Month, tm_mon, 1)
INC_ROW(Week, tm_mday, 7)
INC_ROW(Day, tm_mday, 1)
INC_ROW(Hour, tm_hour, 1)
INC_ROW(Minute, tm_min, 1)
INC_ROW(Second, tm_sec, 1)
#undef INC_ROW

// --- Taking apart ---------------------------------------------------------------------------

// The fields of argument 0 read through one function; failure gives the row's own value.
template <int64_t (*Read)(const struct tm&), int Failure>
void FieldRow(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    struct tm fields;
    Result_SetReal(result,
                   DateFields(Arg_GetReal(args, 0), &fields) ? static_cast<double>(Read(fields)) : Failure);
}

int64_t Year(const struct tm& f) {
    return static_cast<int64_t>(f.tm_year) + 1900;
}
int64_t Month(const struct tm& f) {
    return f.tm_mon + 1;
}
int64_t Week(const struct tm& f) {
    return f.tm_yday / 7;
}
int64_t Day(const struct tm& f) {
    return f.tm_mday;
}
int64_t Hour(const struct tm& f) {
    return f.tm_hour;
}
int64_t Minute(const struct tm& f) {
    return f.tm_min;
}
int64_t Second(const struct tm& f) {
    return f.tm_sec;
}
int64_t Weekday(const struct tm& f) {
    return f.tm_wday;
}

// Seconds from the start of the fields' year.
int64_t SecondOfYear(const struct tm& f) {
    const int64_t days = DaysBeforeMonth(Year(f), f.tm_mon + 1) + f.tm_mday - 1;
    return (days * 24 + f.tm_hour) * 3600 + f.tm_min * 60 + f.tm_sec;
}
int64_t DayOfYear(const struct tm& f) {
    return SecondOfYear(f) / 86400 + 1;
}
int64_t HourOfYear(const struct tm& f) {
    return SecondOfYear(f) / 3600;
}
int64_t MinuteOfYear(const struct tm& f) {
    return SecondOfYear(f) / 60;
}
int64_t DaysInFieldsMonth(const struct tm& f) {
    return DaysInMonth(Year(f), f.tm_mon + 1);
}
int64_t DaysInFieldsYear(const struct tm& f) {
    return IsLeapYear(Year(f)) ? 366 : 365;
}
int64_t LeapYear(const struct tm& f) {
    return IsLeapYear(Year(f)) ? 1 : 0;
}
// Same year and day as the current moment, taken apart the same way.
int64_t IsToday(const struct tm& f) {
    struct tm now;
    if (!Breakdown(Now(), g_utc, &now)) return 0;
    return f.tm_year == now.tm_year && f.tm_mon == now.tm_mon && f.tm_yday == now.tm_yday ? 1 : 0;
}

// --- Spans and comparisons ------------------------------------------------------------------

// A span unit as days times numerator / denominator (multiplied first, so 365.25 days are
// exactly one year). Held by reference: not every compiler takes doubles as template arguments.
struct SpanUnit {
    double numerator, denominator;
};
constexpr SpanUnit kYears{1.0, kDaysPerYear}, kMonths{12.0, kDaysPerYear}, kWeeks{1.0, 7.0}, kDays{1.0, 1.0},
    kHours{24.0, 1.0}, kMinutes{1440.0, 1.0}, kSeconds{kSecondsPerDay, 1.0};

template <const SpanUnit& Unit>
void SpanRow(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const double days = std::fabs(Arg_GetReal(args, 0) - Arg_GetReal(args, 1));
    Result_SetReal(result, days * Unit.numerator / Unit.denominator);
}

double CompareReals(double a, double b) {
    if (a == b) return 0.0;
    return a > b ? 1.0 : -1.0;
}

double Fraction(double date) {
    double whole = 0.0;
    return std::modf(date, &whole);
}

void F_DateCompareDatetime(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, CompareReals(Arg_GetReal(args, 0), Arg_GetReal(args, 1)));
}

void F_DateCompareDate(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(
        result, CompareReals(CRT_TruncToInt32(Arg_GetReal(args, 0)), CRT_TruncToInt32(Arg_GetReal(args, 1))));
}

void F_DateCompareTime(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, CompareReals(Fraction(Arg_GetReal(args, 0)), Fraction(Arg_GetReal(args, 1))));
}

void F_DateDateOf(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, CRT_TruncToInt32(Arg_GetReal(args, 0)));
}

void F_DateTimeOf(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, Fraction(Arg_GetReal(args, 0)));
}

// --- Texts ----------------------------------------------------------------------------------

// The player's own locale, made once; the process locale stays "C" for number formatting.
locale_t UserLocale() {
    static locale_t locale = [] {
        locale_t made = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
        return made != static_cast<locale_t>(0) ? made
                                                : newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    }();
    return locale;
}

template <char Conversion>
void StringRow(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    struct tm fields;
    if (!DateFields(Arg_GetReal(args, 0), &fields)) {
        RValue_SetString(&result, "invalid time");
        return;
    }
    static constexpr char kFormat[3] = {'%', Conversion, '\0'};
    char text[kStringBytes];
    if (strftime_l(text, sizeof text, kFormat, &fields, UserLocale()) == 0) text[0] = '\0';
    RValue_SetString(&result, text);
}

// --- Time-zone setting ----------------------------------------------------------------------

void F_DateSetTimezone(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    g_utc = Arg_GetInt32(args, 0) != 0;
    Result_SetReal(result, 0.0);
}

void F_DateGetTimezone(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetFlag(result, g_utc);
}

const BuiltinRow kDateRows[] = {
    {"date_current_datetime", F_DateCurrentDatetime, 0},
    {"date_current_date", F_DateCurrentDatetime, 0},
    {"date_current_time", F_DateCurrentDatetime, 0},
    {"date_create_datetime", F_DateCreateDatetime, 6},
    {"date_create_date", F_DateCreateDate, 3},
    {"date_create_time", F_DateCreateTime, 3},
    {"date_valid_datetime", F_DateValidDatetime, 6},
    {"date_valid_date", F_DateValidDate, 3},
    {"date_valid_time", F_DateValidTime, 3},
    {"date_inc_year", F_DateIncYear, 2},
    {"date_inc_month", F_DateIncMonth, 2},
    {"date_inc_week", F_DateIncWeek, 2},
    {"date_inc_day", F_DateIncDay, 2},
    {"date_inc_hour", F_DateIncHour, 2},
    {"date_inc_minute", F_DateIncMinute, 2},
    {"date_inc_second", F_DateIncSecond, 2},
    {"date_get_year", FieldRow<Year, -1>, 1},
    {"date_get_month", FieldRow<Month, -1>, 1},
    {"date_get_week", FieldRow<Week, -1>, 1},
    {"date_get_day", FieldRow<Day, -1>, 1},
    {"date_get_hour", FieldRow<Hour, -1>, 1},
    {"date_get_minute", FieldRow<Minute, -1>, 1},
    {"date_get_second", FieldRow<Second, -1>, 1},
    {"date_get_weekday", FieldRow<Weekday, -1>, 1},
    {"date_get_day_of_year", FieldRow<DayOfYear, 0>, 1},
    {"date_get_hour_of_year", FieldRow<HourOfYear, 0>, 1},
    {"date_get_minute_of_year", FieldRow<MinuteOfYear, 0>, 1},
    {"date_get_second_of_year", FieldRow<SecondOfYear, 0>, 1},
    {"date_year_span", SpanRow<kYears>, 2},
    {"date_month_span", SpanRow<kMonths>, 2},
    {"date_week_span", SpanRow<kWeeks>, 2},
    {"date_day_span", SpanRow<kDays>, 2},
    {"date_hour_span", SpanRow<kHours>, 2},
    {"date_minute_span", SpanRow<kMinutes>, 2},
    {"date_second_span", SpanRow<kSeconds>, 2},
    {"date_compare_datetime", F_DateCompareDatetime, 2},
    {"date_compare_date", F_DateCompareDate, 2},
    {"date_compare_time", F_DateCompareTime, 2},
    {"date_date_of", F_DateDateOf, 1},
    {"date_time_of", F_DateTimeOf, 1},
    {"date_datetime_string", StringRow<'c'>, 1},
    {"date_date_string", StringRow<'x'>, 1},
    {"date_time_string", StringRow<'X'>, 1},
    {"date_days_in_month", FieldRow<DaysInFieldsMonth, 0>, 1},
    {"date_days_in_year", FieldRow<DaysInFieldsYear, 365>, 1},
    {"date_leap_year", FieldRow<LeapYear, 0>, 1},
    {"date_is_today", FieldRow<IsToday, 0>, 1},
    {"date_set_timezone", F_DateSetTimezone, 1},
    {"date_get_timezone", F_DateGetTimezone, 0},
};
static_assert(sizeof kDateRows / sizeof kDateRows[0] == 49);

}  // namespace

void InitDateFunctions() {
    Code_Function_AddRows(kDateRows);
}

double Date_FromSeconds(int64_t seconds) {
    return (static_cast<double>(seconds) + 0.5) / kSecondsPerDay + kUnixEpochDays;
}

// Rounded down rather than toward zero, so the half second also holds before 1970.
bool Date_ToSeconds(double date, int64_t* seconds) {
    const double value = std::floor((date - kUnixEpochDays) * kSecondsPerDay);
    if (!(value >= -9.2e18 && value <= 9.2e18)) return false;
    *seconds = static_cast<int64_t>(value);
    return true;
}

struct tm Date_Now() {
    struct tm fields;
    if (!Breakdown(Now(), g_utc, &fields)) std::memset(&fields, 0, sizeof fields);
    return fields;
}

DateClock Date_SetClock(DateClock clock) {
    const DateClock previous = g_clock;
    g_clock = clock;
    return previous;
}
