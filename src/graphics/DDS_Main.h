// DDS image files: uncompressed 16-, 24- and 32-bit pixels with any channel masks, and the
// block-compressed DXT1, DXT3 and DXT5 formats, decoded to 0xAARRGGBB words (rows top first).
// Only the top mip level is read. Every read stays inside the given size.
#pragma once

#include <cstdint>

bool DDS_IsFile(const uint8_t* data, uint32_t size);
// The top level's size from the header; false when the header cannot be read.
bool DDS_ReadSize(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height);
// A new memory-manager block the caller frees; null when the file cannot be read whole.
uint32_t* DDS_Decode(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height);
// Writes width x height pixels as an uncompressed 32-bit DDS file into a new memory-manager
// block of *size bytes.
uint8_t* DDS_Encode(const uint32_t* pixels, int32_t width, int32_t height, uint32_t* size);
