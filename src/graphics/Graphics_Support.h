// Colour conversions shared by drawing and image code. Game colours are 0xBBGGRR (red in the low
// byte); device colours and decoded pixels are 0xAARRGGBB.
#pragma once

#include <cstdint>

// 0..1 to 0..255: above 1 gives 255, below 0 (or NaN) gives 0, otherwise value x 255 truncated.
uint8_t Colour_FloatToByte(float value);
// A game colour and an alpha byte as a device colour: red and blue change places.
uint32_t Colour_ToARGBByte(uint32_t colour, uint32_t alpha);
// The alpha byte over the word's low 24 bits, nothing swapped.
uint32_t Colour_SetAlphaByte(uint32_t word, uint32_t alpha);
// Blends the three low bytes in single precision, t the weight of colour 2, rounding to nearest
// (ties to even); the top byte is 0.
uint32_t Colour_Lerp(uint32_t colour1, uint32_t colour2, float t);
// Scales v[0..2] by 1 / length in single precision; a zero vector gives non-finite values.
void Vector3_NormaliseInPlace(float* v);
