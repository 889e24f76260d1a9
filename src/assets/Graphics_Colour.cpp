#include "assets/Graphics_Colour.h"

#include <cmath>

namespace {

// Unit float to byte: x x 255 + 0.5 truncated in double precision, then clamped.
// The conversions keep every intermediate in single precision (each step rounded to float, as
// a double step stored back would be); only this last step is done in double.
uint8_t RoundToByte(double x) {
    const double t = std::trunc(x + 0.5);
    if (t >= 255.0) return 255;
    if (!(t >= 0.0)) return 0;
    return static_cast<uint8_t>(t);
}

uint8_t ClampToByte(double x) {
    return RoundToByte(x * 255.0);
}

}  // namespace

ColourRGB Colour_MakeRGBTriple(int32_t r, int32_t g, int32_t b) {
    return {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r)};
}

ColourHSV Colour_MakeHSVTriple(int32_t h, int32_t s, int32_t v) {
    return {static_cast<uint8_t>(h), static_cast<uint8_t>(s), static_cast<uint8_t>(v)};
}

uint32_t Colour_TripleToInt(ColourRGB rgb) {
    return uint32_t{rgb.b} << 16 | uint32_t{rgb.g} << 8 | rgb.r;
}

ColourHSV Colour_RGBToHSV(ColourRGB rgb) {
    const float r = rgb.r / 255.0f, g = rgb.g / 255.0f, b = rgb.b / 255.0f;
    const float min = std::fmin(r, std::fmin(g, b));
    const float max = std::fmax(r, std::fmax(g, b));
    const float delta = max - min;
    float s = 0.0f, h = 0.0f;
    if (max != 0.0f) {
        s = delta / max;
        if (s != 0.0f) {
            if (r == max)
                h = (g - b) * 60.0f / delta;
            else if (g == max)
                h = (b - r) * 60.0f / delta + 120.0f;
            else
                h = (r - g) * 60.0f / delta + 240.0f;
            if (h < 0.0f) h += 360.0f;
        }
    }
    return {RoundToByte(h * 255.0f / 360.0f), ClampToByte(s), ClampToByte(max)};
}

ColourRGB Colour_HSVToRGB(ColourHSV hsv) {
    float h = hsv.h * 360.0f / 255.0f;
    if (h == 360.0f) h = 0.0f;
    const float s = hsv.s / 255.0f, v = hsv.v / 255.0f;
    float red = v, green = v, blue = v;
    if (s != 0.0f) {
        h /= 60.0f;
        const int32_t i = static_cast<int32_t>(h);
        const float f = h - static_cast<float>(i);
        const float p = (1.0f - s) * v;
        const float q = (1.0f - f * s) * v;
        const float t = (1.0f - (1.0f - f) * s) * v;
        switch (i) {
            case 0:
                red = v, green = t, blue = p;
                break;
            case 1:
                red = q, green = v, blue = p;
                break;
            case 2:
                red = p, green = v, blue = t;
                break;
            case 3:
                red = p, green = q, blue = v;
                break;
            case 4:
                red = t, green = p, blue = v;
                break;
            default:
                red = v, green = p, blue = q;
                break;
        }
    }
    return {ClampToByte(blue), ClampToByte(green), ClampToByte(red)};
}

ColourHSV Colour_GetHSV(uint32_t colour) {
    return Colour_RGBToHSV({static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour)});
}

uint32_t Colour_FromHSV(ColourHSV hsv) {
    return Colour_TripleToInt(Colour_HSVToRGB(hsv));
}

uint32_t Colour_Merge(uint32_t colour1, uint32_t colour2, float f) {
    const float g = 1.0f - f;
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double k1 = (colour1 >> shift) & 0xFF, k2 = (colour2 >> shift) & 0xFF;
        const double mixed = std::nearbyint(k1 * g + k2 * f);  // the default mode: ties to even
        // Far outside 0..1 the sum leaves the int64 range; its low byte is meaningless then.
        const int64_t whole = std::fabs(mixed) < 9.2e18 ? static_cast<int64_t>(mixed) : 0;
        result |= (static_cast<uint32_t>(whole) & 0xFF) << shift;
    }
    return result;
}
