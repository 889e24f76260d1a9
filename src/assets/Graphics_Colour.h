// Colour conversions between game colours (0xBBGGRR) and hue-saturation-value on the 0..255
// scale (hue 255 stands for 360 degrees), and the blend of two colours.
#pragma once

#include <cstdint>

// Bytes blue, green, red: reading them as byte 0 << 16 | byte 1 << 8 | byte 2 gives 0xBBGGRR.
struct ColourRGB {
    uint8_t b, g, r;
};
// Bytes hue, saturation, value.
struct ColourHSV {
    uint8_t h, s, v;
};

ColourRGB Colour_MakeRGBTriple(int32_t r, int32_t g, int32_t b);
ColourHSV Colour_MakeHSVTriple(int32_t h, int32_t s, int32_t v);
uint32_t Colour_TripleToInt(ColourRGB rgb);
ColourHSV Colour_RGBToHSV(ColourRGB rgb);
ColourRGB Colour_HSVToRGB(ColourHSV hsv);
ColourHSV Colour_GetHSV(uint32_t colour);
uint32_t Colour_FromHSV(ColourHSV hsv);
// Per channel c1 x (1 - f) + c2 x f, rounded half to even, low 8 bits kept; f is not clamped,
// so an amount outside 0..1 extrapolates and wraps.
uint32_t Colour_Merge(uint32_t colour1, uint32_t colour2, float f);
