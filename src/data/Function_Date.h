// The date and time built-ins. A date value is a real counting days since 30 December 1899
// 00:00 UTC (25569 is 1 January 1970), the time of day as its fraction. Calendar fields are
// taken apart and put together in local time or in UTC, by one setting (local at start).
#pragma once

#include <cstdint>
#include <ctime>

// Adds the 49 date rows to the built-in function table (InitMiscFunctions calls it in its
// place among the misc rows).
void InitDateFunctions();

// The current moment's calendar fields by the time-zone setting, for the current_* built-in
// variables (years since 1900, month 0-11, weekday 0 Sunday).
struct tm Date_Now();

// Seconds since 1 January 1970 00:00 UTC that stand for "now"; the system clock by default.
using DateClock = int64_t (*)();
// Installs a clock (null: the system clock) and returns the previous one (null: the system's).
DateClock Date_SetClock(DateClock clock);

// The date value of a count of seconds since 1970: the half second keeps the way back exact.
double Date_FromSeconds(int64_t seconds);
// The seconds of a date value, rounded down to a whole second; false when the value stands
// for no representable time (not a number, or beyond the 64-bit range).
bool Date_ToSeconds(double date, int64_t* seconds);
