#include "graphics/Graphics_Support.h"

#include <cmath>

uint8_t Colour_FloatToByte(float value) {
    if (value > 1.0f) return 255;
    if (!(value >= 0.0f)) return 0;
    return (uint8_t)(value * 255.0f);
}

uint32_t Colour_ToARGBByte(uint32_t colour, uint32_t alpha) {
    return (alpha & 0xFF) << 24 | (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

uint32_t Colour_SetAlphaByte(uint32_t word, uint32_t alpha) {
    return (alpha & 0xFF) << 24 | (word & 0xFFFFFF);
}

uint32_t Colour_Lerp(uint32_t colour1, uint32_t colour2, float t) {
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        float a = (float)((colour1 >> shift) & 0xFF);
        float b = (float)((colour2 >> shift) & 0xFF);
        float mixed = b * t + a * (1.0f - t);
        result |= ((uint32_t)std::lrintf(mixed) & 0xFF) << shift;
    }
    return result;
}

void Vector3_NormaliseInPlace(float* v) {
    float scale = 1.0f / std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    v[0] *= scale;
    v[1] *= scale;
    v[2] *= scale;
}
