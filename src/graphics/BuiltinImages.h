// The built-in images: our own pictures, each drawn by code the first time it is asked for.
// Images 0-15 are 32-bit DDS files, image 16 a palette PNG.
//   0      64 x 64 opaque white
//   1-14   64 x 64 white particle shapes on transparent (pixel, disk, square, line, star,
//          circle, ring, sphere, flare, spark, explosion, cloud, smoke, snow)
//   15     256 x 128 font image of characters 32-136 (see BuiltinFont_Glyph)
//   16     1024 x 1024 splash picture
#pragma once

#include <cstdint>

constexpr int32_t BUILTIN_IMAGE_COUNT = 17;
constexpr int32_t BUILTIN_IMAGE_WHITE = 0;
constexpr int32_t BUILTIN_IMAGE_FIRST_SHAPE = 1;
constexpr int32_t BUILTIN_IMAGE_FONT = 15;
constexpr int32_t BUILTIN_IMAGE_SPLASH = 16;

constexpr int32_t BUILTIN_SHAPE_SIDE = 64;
constexpr int32_t BUILTIN_FONT_WIDTH = 256, BUILTIN_FONT_HEIGHT = 128;
constexpr int32_t BUILTIN_FONT_FIRST = 32, BUILTIN_FONT_LAST = 136;
constexpr int32_t BUILTIN_FONT_GLYPHS = BUILTIN_FONT_LAST - BUILTIN_FONT_FIRST + 1;
constexpr int32_t BUILTIN_SPLASH_SIDE = 1024;

// Image `index` as a file in memory (its byte count in `size` when not null), kept for the run;
// null (size 0) past the images.
const uint8_t* BuiltinImages_Image(int32_t index, uint32_t* size);

// All of them as one table (a u32 count, then per image a u32 size and a u32 offset from the table's start;
// images at 128-byte aligned offsets), made once and kept for the run.
const uint8_t* BuiltinImages_Table();
uint32_t BuiltinImages_TableSize();

// Glyph rectangles of the font image, one row per character from 32: x, y, width, height.
struct BuiltinGlyph {
    uint8_t x, y, width, height;
};
extern const BuiltinGlyph* const BuiltinFont_Glyphs;  // BUILTIN_FONT_GLYPHS rows
