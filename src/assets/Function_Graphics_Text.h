// The text built-ins: font and alignment, measuring, and the draw_text family.
#pragma once

#include <cstdint>

#include "core/Value.h"

// A value as drawn text: a whole real as an integer, any other real with two decimals, other
// kinds as their text form. A new memory-manager block the caller frees.
void Text_ValueToText(const RValue* value, int32_t capacity, char** out);

void InitTextFunctions();

// The typed entries the compiled game calls.
void Direct_draw_set_font(int32_t font);
void Direct_draw_set_halign(int32_t alignment);
void Direct_draw_set_valign(int32_t alignment);
