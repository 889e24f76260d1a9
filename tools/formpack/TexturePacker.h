// Texture pages for data files: "RAW " TXTR blobs, PNG reading, and a packer that places images
// on pages and makes their TPAG entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formpack/FormWriter.h"

namespace formpack {

// Pixel layouts of "RAW " blobs: 32-bit bytes red, green, blue, alpha; or 16-bit little-endian
// words with blue in bits 12-15, green 8-11, red 4-7 and alpha 0-3.
enum class RawFormat : uint32_t { Rgba32 = 0, Rgba16 = 1 };

// A "RAW " blob: a 16-byte header (magic, width, height, format) then the pixels. `rgba` holds
// width x height pixels of 4 bytes (red, green, blue, alpha), rows from the top; 16-bit pixels
// keep the top four bits of each channel. Empty when the pixels do not match the size.
std::vector<uint8_t> EncodeRawTexture(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba,
                                      RawFormat format = RawFormat::Rgba32);

// Reads a PNG file of any colour type into 8-bit RGBA pixels. False, with a reason, when it cannot.
bool DecodePng(const std::vector<uint8_t>& file, uint32_t* width, uint32_t* height,
               std::vector<uint8_t>* rgba, std::string* error);

struct PackImage {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;  // width x height pixels: red, green, blue, alpha
};

struct PackOptions {
    uint32_t pageSize = 1024;  // the largest page side
    uint32_t padding = 2;      // clear pixels between images and along the page edges
    bool trim = true;          // leave out fully transparent borders (kept as target offsets)
    bool shrink = true;        // pages shrink to the smallest power-of-two sides that hold their images
    bool raw = false;          // "RAW " pages instead of PNG pages
    RawFormat rawFormat = RawFormat::Rgba32;
    uint32_t flags = 0;  // the pages' TXTR entry flags
};

struct PackResult {
    std::vector<TexturePage> pages;
    std::vector<PageEntry> entries;  // one per image, in the images' order
};

// Places every image on as few pages as the shelves allow; the entries' texture numbers start at
// `firstPage`. False, with a reason, when an image cannot fit a page.
bool PackTextures(const std::vector<PackImage>& images, const PackOptions& options, int16_t firstPage,
                  PackResult* result, std::string* error);

// Packs the images into `file`: the pages after its TXTR pages and the entries after its TPAG
// entries. Answers the TPAG index of the first image's entry, or -1 with a reason.
int32_t AddPackedTextures(FormFile& file, const std::vector<PackImage>& images, const PackOptions& options,
                          std::string* error);

}  // namespace formpack
