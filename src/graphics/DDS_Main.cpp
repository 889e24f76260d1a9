#include "graphics/DDS_Main.h"

#include <cstring>

#include "core/MemoryManager.h"

namespace {

constexpr uint32_t kHeaderBytes = 128;  // magic and the 124-byte header
constexpr uint32_t kMaxSide = 16384;

constexpr uint32_t kPixelFormatAlpha = 0x1;
constexpr uint32_t kPixelFormatFourCC = 0x4;
constexpr uint32_t kPixelFormatRGB = 0x40;
constexpr uint32_t kPixelFormatLuminance = 0x20000;

constexpr uint32_t FourCC(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 | uint32_t(uint8_t(text[2])) << 16 |
           uint32_t(uint8_t(text[3])) << 24;
}

uint32_t U32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void PutU32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

struct Header {
    uint32_t width, height;
    uint32_t formatFlags, fourCC, bitCount;
    uint32_t masks[4];  // red, green, blue, alpha
};

bool ReadHeader(const uint8_t* data, uint32_t size, Header* h) {
    if (!DDS_IsFile(data, size) || size < kHeaderBytes || U32(data + 4) != 124) return false;
    h->height = U32(data + 12);
    h->width = U32(data + 16);
    h->formatFlags = U32(data + 80);
    h->fourCC = U32(data + 84);
    h->bitCount = U32(data + 88);
    for (int i = 0; i < 4; ++i) h->masks[i] = U32(data + 92 + 4 * i);
    return h->width >= 1 && h->height >= 1 && h->width <= kMaxSide && h->height <= kMaxSide;
}

// One channel of a masked pixel, scaled to 0..255.
struct Channel {
    uint32_t mask = 0, shift = 0, max = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1)) ++shift;
        max = m >> shift;
    }
    uint32_t Read(uint32_t pixel, uint32_t absent) const {
        if (!max) return absent;
        return static_cast<uint32_t>((uint64_t{(pixel & mask) >> shift} * 255 + max / 2) / max);
    }
};

bool DecodeMasked(const Header& h, const uint8_t* src, uint64_t available, uint32_t* out) {
    const uint32_t bytes = h.bitCount / 8;
    if (h.bitCount % 8 || bytes < 1 || bytes > 4) return false;
    if (uint64_t{h.width} * h.height * bytes > available) return false;
    const bool luminance = (h.formatFlags & kPixelFormatLuminance) != 0;
    const Channel red(h.masks[0]), green(luminance ? h.masks[0] : h.masks[1]),
        blue(luminance ? h.masks[0] : h.masks[2]);
    const Channel alpha((h.formatFlags & kPixelFormatAlpha) ? h.masks[3] : 0);
    const uint64_t count = uint64_t{h.width} * h.height;
    for (uint64_t i = 0; i < count; ++i, src += bytes) {
        uint32_t pixel = 0;
        std::memcpy(&pixel, src, bytes);
        out[i] = alpha.Read(pixel, 255) << 24 | red.Read(pixel, 0) << 16 | green.Read(pixel, 0) << 8 |
                 blue.Read(pixel, 0);
    }
    return true;
}

uint32_t Expand565(uint16_t c) {
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return (r * 255 + 15) / 31 << 16 | (g * 255 + 31) / 63 << 8 | (b * 255 + 15) / 31;
}

uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * wa + cb * wb) / (wa + wb)) << shift;
    }
    return out;
}

// The 16 colours (alpha 255, or 0 for DXT1's transparent entry) of a colour block.
void ColourBlock(const uint8_t* block, bool allowTransparent, uint32_t colours[16]) {
    const uint16_t c0 = static_cast<uint16_t>(block[0] | block[1] << 8);
    const uint16_t c1 = static_cast<uint16_t>(block[2] | block[3] << 8);
    uint32_t palette[4] = {Expand565(c0) | 0xFF000000u, Expand565(c1) | 0xFF000000u, 0, 0};
    if (c0 > c1 || !allowTransparent) {
        palette[2] = Mix(palette[0], palette[1], 2, 1) | 0xFF000000u;
        palette[3] = Mix(palette[0], palette[1], 1, 2) | 0xFF000000u;
    } else {
        palette[2] = Mix(palette[0], palette[1], 1, 1) | 0xFF000000u;
        palette[3] = 0;
    }
    const uint32_t indices = U32(block + 4);
    for (int i = 0; i < 16; ++i) colours[i] = palette[(indices >> (2 * i)) & 3];
}

void AlphaExplicit(const uint8_t* block, uint32_t colours[16]) {
    for (int i = 0; i < 16; ++i) {
        const uint32_t nibble = (block[i / 2] >> (4 * (i & 1))) & 0xF;
        colours[i] = (colours[i] & 0xFFFFFF) | (nibble * 17) << 24;
    }
}

void AlphaInterpolated(const uint8_t* block, uint32_t colours[16]) {
    const uint32_t a0 = block[0], a1 = block[1];
    uint32_t alpha[8] = {a0, a1};
    for (uint32_t i = 1; i < 7; ++i) {
        if (a0 > a1) {
            alpha[i + 1] = ((7 - i) * a0 + i * a1) / 7;
        } else if (i < 5) {
            alpha[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        }
    }
    if (a0 <= a1) {
        alpha[6] = 0;
        alpha[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= uint64_t{block[2 + i]} << (8 * i);
    for (int i = 0; i < 16; ++i) colours[i] = (colours[i] & 0xFFFFFF) | alpha[(bits >> (3 * i)) & 7] << 24;
}

bool DecodeBlocks(const Header& h, const uint8_t* src, uint64_t available, uint32_t* out) {
    const bool dxt1 = h.fourCC == FourCC("DXT1");
    const bool dxt3 = h.fourCC == FourCC("DXT2") || h.fourCC == FourCC("DXT3");
    const bool dxt5 = h.fourCC == FourCC("DXT4") || h.fourCC == FourCC("DXT5");
    if (!dxt1 && !dxt3 && !dxt5) return false;
    const uint32_t blockBytes = dxt1 ? 8 : 16;
    const uint32_t across = (h.width + 3) / 4, down = (h.height + 3) / 4;
    if (uint64_t{across} * down * blockBytes > available) return false;
    for (uint32_t by = 0; by < down; ++by) {
        for (uint32_t bx = 0; bx < across; ++bx, src += blockBytes) {
            uint32_t colours[16];
            ColourBlock(src + blockBytes - 8, dxt1, colours);
            if (dxt3) AlphaExplicit(src, colours);
            if (dxt5) AlphaInterpolated(src, colours);
            for (uint32_t i = 0; i < 16; ++i) {
                const uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x < h.width && y < h.height) out[size_t{y} * h.width + x] = colours[i];
            }
        }
    }
    return true;
}

}  // namespace

bool DDS_IsFile(const uint8_t* data, uint32_t size) {
    return data && size >= 4 && std::memcmp(data, "DDS ", 4) == 0;
}

bool DDS_ReadSize(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height) {
    Header h;
    if (!ReadHeader(data, size, &h)) return false;
    *width = static_cast<int32_t>(h.width);
    *height = static_cast<int32_t>(h.height);
    return true;
}

uint32_t* DDS_Decode(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height) {
    Header h;
    if (!ReadHeader(data, size, &h)) return nullptr;
    auto* pixels = static_cast<uint32_t*>(MEM_ALLOC(uint64_t{h.width} * h.height * 4));
    const uint8_t* src = data + kHeaderBytes;
    const uint64_t available = size - kHeaderBytes;
    bool ok = false;
    if (h.formatFlags & kPixelFormatFourCC) {
        ok = DecodeBlocks(h, src, available, pixels);
    } else if (h.formatFlags & (kPixelFormatRGB | kPixelFormatLuminance)) {
        ok = DecodeMasked(h, src, available, pixels);
    }
    if (!ok) {
        MEM_FREE(pixels);
        return nullptr;
    }
    *width = static_cast<int32_t>(h.width);
    *height = static_cast<int32_t>(h.height);
    return pixels;
}

uint8_t* DDS_Encode(const uint32_t* pixels, int32_t width, int32_t height, uint32_t* size) {
    const uint32_t body = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 4;
    *size = kHeaderBytes + body;
    auto* out = static_cast<uint8_t*>(MEM_ALLOC(*size));
    std::memcpy(out, "DDS ", 4);
    PutU32(out + 4, 124);
    PutU32(out + 8, 0x100F);  // caps, height, width, pitch, pixel format
    PutU32(out + 12, static_cast<uint32_t>(height));
    PutU32(out + 16, static_cast<uint32_t>(width));
    PutU32(out + 20, static_cast<uint32_t>(width) * 4);
    PutU32(out + 28, 1);
    PutU32(out + 76, 32);
    PutU32(out + 80, kPixelFormatRGB | kPixelFormatAlpha);
    PutU32(out + 88, 32);
    PutU32(out + 92, 0x00FF0000u);
    PutU32(out + 96, 0x0000FF00u);
    PutU32(out + 100, 0x000000FFu);
    PutU32(out + 104, 0xFF000000u);
    PutU32(out + 108, 0x1000);  // a texture
    std::memcpy(out + kHeaderBytes, pixels, body);
    return out;
}
