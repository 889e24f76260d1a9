// The texture and UV built-ins: the texture behind a sprite frame, a background or a font, handed
// to game code as a texture handle with the UVs of its rectangle, and the texture settings.
#pragma once

#include <cstdint>

struct RValue;

// Makes the result a new one-row array of `count` reals (count 0: an empty array).
void ReturnRealArray(RValue& result, int32_t count, const double* values);

// Registers the rows of the texture and UV built-ins.
void InitTextureFunctions();
