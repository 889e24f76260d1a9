// Image files in memory to 32-bit pixels, and 32-bit pixels to PNG files.
//
// Decoded pixels: width x height words 0xAARRGGBB (bytes blue, green, red, alpha), rows top-down
// without gaps. Callers pick the decoder from the first bytes: FF D8 FF JPEG, "GIF8" GIF,
// 89 "PNG" PNG. A file that cannot be read whole gives no image and sizes of -1.
#pragma once

#include <cstdint>

// PNG: the decode is held until PNG_Release, which frees its pixels; callers never free them.
// A new decode releases the one still held before it reads its own data.
uint8_t* PNG_Decode(const void* data, int32_t size, int32_t* width, int32_t* height);
void PNG_Release();
// Reads only the header. With scaled set the size is divided by the global texture scale.
bool PNG_GetSize(const void* data, int32_t size, int32_t* width, int32_t* height, bool scaled);

// JPEG and GIF: a new memory-manager block that the caller frees, or null.
uint8_t* JPEG_Decode(const void* data, int32_t size, int32_t* width, int32_t* height);
// The first image of the file on a canvas of the logical screen's size, transparent outside it.
uint8_t* GIF_Decode(const void* data, int32_t size, int32_t* width, int32_t* height);

// Writes width x height pixels of the bytes red, green, blue, alpha (rows top-down) as an 8-bit
// RGBA PNG file; the name is resolved in the save area and missing folders are made. False when
// the file could not be written whole (no partial file is left behind).
bool write_png_file(const char* name, const uint8_t* pixels, int32_t width, int32_t height);
// The same from decoded-layout words 0xAARRGGBB.
bool write_png_file_argb(const char* name, const uint32_t* pixels, int32_t width, int32_t height);

// The file layer resolves names for writing in the save area; until it installs its resolver,
// names are written as given. The resolver writes the path into buffer and answers false to refuse.
using ImageSavePathResolver = bool (*)(char* buffer, int32_t bufferSize, const char* name);
void Image_SetSavePathResolver(ImageSavePathResolver resolver);

// The power of two by which images loaded from now on are scaled down (texture_global_scale).
extern int32_t g_TextureGlobalScale;

// Lets the device layer make textures from PNG, JPEG, GIF and "BM" files (its own DDS reader
// aside). Called once at start-up.
void Image_InstallTextureReader();
