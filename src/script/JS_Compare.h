// Equality, relational comparison and typeof of script values, as the interpreter's
// comparison operators and the Array search methods use them.
#pragma once

#include <cstdint>

#include "script/JS_Object.h"

// ==: writes only the payload of the result (real 1 equal, 0 not). JS_DONE, JS_FAILED (a
// conversion failed and a TypeError was raised) or JS_EXCEPTION.
int32_t JS_AbstractEquality(RValue* result, const RValue* x, const RValue* y);
// ===.
bool JS_StrictEquals(const RValue* x, const RValue* y);
// x < y: result real 1 or 0, or undefined when a NaN took part. The operands are converted to
// primitives x first when leftFirst is set.
int32_t JS_AbstractRelationalComparison(RValue* result, const RValue* x, const RValue* y, bool leftFirst);
// The exponent bits of the double (high word & 0x7ff00000), 0x7ff00001 for infinities and NaN.
uint32_t JS_DoubleExponent(double value);

// "@@typeof@@": the type name of argument 0.
void F_JS_TypeOf(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
