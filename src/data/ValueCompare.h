// The one three-way comparison of values with a tolerance, and the hash a map files its
// keys under. Containers compare at the data-structure precision; compiled game code and
// property lookups at the math epsilon.
#pragma once

#include <cstdint>

struct RValue;

// The tolerance of every container search, sort and key lookup (ds_set_precision).
extern double g_DSPrecision;

// -1, 0 or 1: the first value below, equal to or above the second. Neither value changes.
// Reals (and bools) are equal within the tolerance; a real against an int32 compares in
// single precision; a real against an int64 is truncated first; integers compare exactly;
// strings by unsigned bytes; undefined equals undefined; arrays, objects and the other
// reference kinds never compare equal, not even to themselves.
int32_t RValue_Compare(const RValue* first, const RValue* second, double tolerance);

// Strings by their text's CRC-32; reference kinds by their 8 payload bytes; undefined 0;
// numbers by the bytes of their value as a double (so 5, int64 5 and 5.0 share a hash).
uint32_t DS_ValueHash(const RValue* value);

// The precision becomes |x| (a not-a-number stays one).
void DS_SetPrecision(double x);
