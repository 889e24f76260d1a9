// Array results of built-ins.
#pragma once

#include <cstdint>

struct RValue;

// Makes the result a new one-row array of `count` reals (count 0: an empty array).
void ReturnRealArray(RValue& result, int32_t count, const double* values);
