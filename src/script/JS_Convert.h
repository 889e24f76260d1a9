// The type conversions of script values: ToPrimitive with [[DefaultValue]], ToBoolean,
// ToNumber with its text grammar, ToObject, ToInteger, ToInt32 and ToUint32, and the global
// functions isNaN and isFinite.
//
// The conversions answer JS_DONE, JS_FAILED (the caller raises its own TypeError) or
// JS_EXCEPTION (a called valueOf or toString raised one). The result must hold a valid
// value: it is released when the conversion writes it, and may be the value converted.
#pragma once

#include <cstdint>

#include "script/JS_Object.h"

// Hint of ToPrimitive, a value kind: string, number (real, int32 or int64), anything else none.
constexpr int32_t JS_HINT_STRING = VALUE_STRING;
constexpr int32_t JS_HINT_NUMBER = VALUE_REAL;
constexpr int32_t JS_HINT_NONE = -1;

// NaN of the conversions (bits 0x7FFFFFFFFFFFFFFF), the value of the global "NaN".
double JS_NaN();

int32_t F_JS_ToPrimitive(RValue* result, const RValue* value, int32_t hint);
int32_t JS_Object_DefaultValue(PWObjectBase* object, RValue* result, int32_t hint);
bool JS_ToBoolean(const RValue* value);
// Kinds outside the script-value model answer JS_DONE and leave the result alone.
int32_t JS_ToNumber(RValue* result, const RValue* value);
// The number of a text by the script number grammar.
double JS_TextToNumber(const char* text);
// JS_DONE, or JS_FAILED for undefined and null (and when no wrapper constructor exists yet).
int32_t F_JS_ToObject(RValue* result, const RValue* value);
// Object(value) on arguments[0]: JS_FAILED for undefined and null, where the caller makes a
// new empty object.
int32_t F_JS_Object_ToObject(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
// The conversion of Object.defineProperties: only objects pass.
int32_t JS_ToObjectForDefineProperties(RValue* result, const RValue* value);
double JS_ToInteger(const RValue* value);
int32_t JS_ToInt32(RValue* result, const RValue* value);
int32_t JS_ToUint32(RValue* result, const RValue* value);

// The global functions "isNaN" and "isFinite" (bool results).
void F_JS_IsNaN(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_IsFinite(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

bool JS_IsWhiteSpace(uint32_t codePoint);
// 0 .. radix-1 for a digit of the radix (either case), else -1.
int32_t JS_DigitValue(uint32_t character, int32_t radix);
bool JS_IsDigitInRadix(uint32_t character, int32_t radix);
