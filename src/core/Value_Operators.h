// The operators compiled game code calls on values. Unlike the interpreter, which widens both
// operands, these keep the left operand's kind and convert the right one to it. Each writes
// its result into dest without releasing dest's old payload (callers pass a fresh value).
#pragma once

#include <cstdint>

#include "core/Value.h"

RValue* RValue_Add(RValue* dest, const RValue* left, const RValue* right);
RValue* RValue_AddAssign(RValue* left, const RValue* right);
RValue* RValue_AddFloat(RValue* dest, const RValue* left, float f);
RValue* RValue_Sub(RValue* dest, const RValue* left, const RValue* right);
RValue* RValue_SubInt(RValue* dest, const RValue* left, int32_t i);
RValue* RValue_IntSubValue(RValue* dest, int32_t i, const RValue* right);
RValue* RValue_MulValue(RValue* dest, const RValue* left, const RValue* right);
RValue* RValue_MulReal(RValue* dest, const RValue* left, double d);
RValue* RValue_MulInt(RValue* dest, const RValue* left, int32_t i);
RValue* RValue_RealMulValue(RValue* dest, double d, const RValue* right);
RValue* RValue_DivValue(RValue* dest, const RValue* left, const RValue* right);
// The old value goes into dest, then value changes by one.
RValue* RValue_PostIncrement(RValue* value, RValue* dest);
RValue* RValue_PostDecrement(RValue* value, RValue* dest);
// The element of a two-index access (index = row * 32000 + column), or null.
RValue* RValue_ArrayElement2D(RValue* array, int32_t index);
// Raises "invalid type for OP lhs=... (type=..), rhs=... (type=..)".
void RValue_OperatorTypeError(const char* op, const RValue* left, const RValue* right);

// A growable text for composing messages (memory-manager block; null while empty).
struct TextBuilder {
    char* buffer = nullptr;
    int32_t capacity = 0;
    int32_t length = 0;
};
void TextBuilder_AppendValue(TextBuilder* builder, const RValue* value);
void TextBuilder_Free(TextBuilder* builder);
