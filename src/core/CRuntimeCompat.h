// Behaviours of the Windows C runtime that game-visible numbers and messages depend on,
// reproduced once here so every caller gets the same answer on Linux.
#pragma once

#include <cstddef>
#include <cstdint>

// Truncation toward zero as the x86 conversion instructions do it: NaN and values whose
// truncation lies outside the target range give the most negative integer of that width.
int32_t CRT_TruncToInt32(double value);
int64_t CRT_TruncToInt64(double value);

// atof: leading white space, an optional sign, decimal digits with an optional point and
// an optional e/E exponent. Hexadecimal, "inf" and "nan" spellings read as far as their
// decimal prefix goes (so "0x10" is 0). Always uses '.' whatever the process locale.
double CRT_atof(const char* text);

// strtol with a 32-bit long: out-of-range results clamp to the int32 limits.
int32_t CRT_strtol32(const char* text, int base);
// strtoll (64-bit, clamping), independent of the process locale.
int64_t CRT_strtoll(const char* text, int base);

// "%p": the pointer as 16 upper-case hexadecimal digits, no prefix. Writes a terminated
// text into out (at least 17 bytes) and returns its length.
int CRT_FormatPointer(char* out, size_t size, const void* pointer);

// "%.2f" in the "C" locale. Returns the length written (out is always terminated).
int CRT_FormatFixed2(char* out, size_t size, double value);
