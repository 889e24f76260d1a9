// Script values as text, and numbers to and from text. A number prints with the shortest
// digits that read back to the same double; it takes the exponential form when its decimal
// point lies 6 or more places before the first digit or more than 20 places after the last.
#pragma once

#include <cstdint>

#include "script/JS_Object.h"

// Enough for any double in either form.
constexpr int32_t JS_NUMBER_TEXT_SIZE = 256;

// result = the text of the value: JS_DONE, or JS_FAILED / JS_EXCEPTION from an object's
// conversion. The result must hold a valid value (it is released); it may be the value.
int32_t JS_ToString(RValue* result, const RValue* value);
// The text of a number into buffer (JS_NUMBER_TEXT_SIZE bytes); answers the buffer.
char* JS_NumberToText(double number, char* buffer);

// The shortest decimal digits of a finite non-zero |number| (no trailing zeros, terminated)
// and the decimal point position n: |number| = 0.d1...dk x 10^n. Answers k.
int32_t JS_ShortestDigits(double number, char* digits, int32_t size, int32_t* point);

// A decimal number at the start of text (sign, digits with a decimal point, exponent); no
// hexadecimal form, no words, no locale. used = bytes read, 0 when none.
double JS_DecimalTextToDouble(const char* text, int32_t length, int32_t* used);
