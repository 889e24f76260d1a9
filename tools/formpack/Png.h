// A small PNG encoder for texture pages made from pixels (8-bit RGBA, no filtering).
#pragma once

#include <cstdint>
#include <vector>

namespace formpack {

// `rgba` holds width x height pixels, rows from the top, 4 bytes each (red, green, blue, alpha).
std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba);

}  // namespace formpack
