// Conversions of values to numbers and text, the value hash, serialisation, and the
// argument getters every built-in reads its arguments with.
#pragma once

#include <cstdint>

#include "core/Value.h"

class SerialBuffer;

// Loose conversions. An array converts by its element 0 (taken through RValue_ElementRef,
// so the value becomes an owned array with at least one element). Wrong kinds raise a
// run-time error and give 0.
double RValue_ToReal(RValue* value);
int32_t RValue_ToInt32(RValue* value);
int64_t RValue_ToInt64(RValue* value);
intptr_t RValue_ToPointer(RValue* value);

// 32-bit hash for value-keyed lookups.
uint32_t RValue_Hash(const RValue* value);

// Text buffer: cursor on the terminating zero, base of a memory-manager block and its
// capacity, all owned by the caller. A null base starts a new block.
void TextBuffer_Append(char*& cursor, char*& base, int32_t& capacity, const char* text);
// Appends the value's text form (numbers, strings, nested arrays, object toString).
void RValue_AppendText(char*& cursor, char*& base, int32_t& capacity, const RValue* value);

// Writes the kind word then the body (real: f64; string: text and zero; array: row count,
// then each row's length and items). Arrays met again inside themselves are written as
// empty arrays so the output stays finite.
void RValue_Serialise(const RValue* value, SerialBuffer* buffer);
// Reads a value written by RValue_Serialise. Every count and length is checked against
// the bytes left; on a short or malformed input the value is left undefined and the
// result is false.
bool RValue_Deserialise(RValue* value, SerialBuffer* buffer);

// Argument n (from 0) of the running built-in. Wrong kinds raise a run-time error naming
// the built-in and the argument (from 1) and give the default (shown in brackets).
int32_t Arg_GetNumberOrPointer(const RValue* args, int32_t n);  // (-1)
bool Arg_GetBool(const RValue* args, int32_t n);                // (false)
inline int32_t Arg_GetInt32(const RValue* args, int32_t n);     // (0)
uint32_t Arg_GetUInt32(const RValue* args, int32_t n);          // (0)
int64_t Arg_GetInt64(const RValue* args, int32_t n);            // (0)
double Arg_GetReal(const RValue* args, int32_t n);              // (0.0)
float Arg_GetFloat(const RValue* args, int32_t n);              // (0.0)
// The text of a string argument (null without a record); an object gives null silently.
const char* Arg_GetString(const RValue* args, int32_t n);  // (null)

// Arg_GetInt32 of any kind of argument.
int32_t Arg_GetInt32Any(const RValue* args, int32_t n);

// Nearly every integer argument (an index, a code, a size) is a real inside the int32 range;
// built-ins in tight loops read several per call, so that case is truncated here, without a call.
inline int32_t Arg_GetInt32(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    if (value->kind == VALUE_REAL && value->val > -2147483649.0 && value->val < 2147483648.0) {
        return static_cast<int32_t>(value->val);
    }
    return Arg_GetInt32Any(args, n);
}

// Arg_GetString with "" in place of null.
inline const char* Arg_GetStringOrEmpty(const RValue* args, int32_t n) {
    const char* text = Arg_GetString(args, n);
    return text != nullptr ? text : "";
}
// A colour: the bits of the int32 argument, so -1 is 0xFFFFFFFF.
inline uint32_t Arg_GetColour(const RValue* args, int32_t n) {
    return static_cast<uint32_t>(Arg_GetInt32(args, n));
}
// Arg_GetReal narrowed to float. Unlike Arg_GetFloat, a string converts and a non-finite
// value stays as it is.
inline float Arg_GetRealAsFloat(const RValue* args, int32_t n) {
    return static_cast<float>(Arg_GetReal(args, n));
}
