#include "assets/Graphics_Bitmap32.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/Graphics_Support.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Texture.h"

namespace {

constexpr uint32_t kAlphaMask = 0xFF000000u;
constexpr uint32_t kColourMask = 0x00FFFFFFu;
constexpr uint32_t kSmoothStep = 32;

bool IsVisible(uint32_t pixel) {
    return pixel >= 0x1000000u;
}

}  // namespace

uint32_t Bitmap32_LerpColour(uint32_t colour1, uint32_t colour2, double t) {
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        double a = (colour1 >> shift) & 0xFF;
        double b = (colour2 >> shift) & 0xFF;
        result |= ((uint32_t)std::nearbyint(a * (1.0 - t) + b * t) & 0xFF) << shift;
    }
    return result;
}

// ---- construction ----------------------------------------------------------------------------

void CBitmap32::Reset() {
    MEM_FREE(m_pixels);
    m_pixels = nullptr;
    m_valid = false;
    m_width = m_height = m_size = 0;
}

// Sizes that do not fit one block leave the picture invalid.
bool CBitmap32::Allocate(int32_t w, int32_t h, bool clear) {
    Reset();
    if (w < 0 || h < 0 || w > kImageMaxSide || h > kImageMaxSide) return false;
    m_width = w;
    m_height = h;
    m_size = w * h * 4;
    m_pixels = (uint32_t*)MemoryManager::Alloc((uint32_t)m_size, __FILE__, __LINE__, clear);
    m_valid = true;
    return true;
}

CBitmap32::CBitmap32(const CBitmap32& other) {
    Assign(other);
}

CBitmap32::CBitmap32(const CBitmap32& source, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!source.m_valid || x < 0 || y < 0 || w < 0 || h < 0) return;
    if ((int64_t)x + w > source.m_width || (int64_t)y + h > source.m_height) return;
    if (!Allocate(w, h, false) || m_size == 0) return;
    for (int32_t row = 0; row < h; ++row) {
        std::memcpy(m_pixels + (int64_t)row * w, source.m_pixels + (int64_t)(y + row) * source.m_width + x,
                    (size_t)w * 4);
    }
}

CBitmap32::CBitmap32(int32_t w, int32_t h, uint32_t colour) {
    if (!Allocate(std::max(w, 1), std::max(h, 1), false)) return;
    std::fill(m_pixels, m_pixels + (int64_t)m_width * m_height, Colour_ToARGBByte(colour, 255));
}

CBitmap32::CBitmap32(IBitmap* bitmap, bool removeBackground, bool smooth) {
    ReadBitmap(bitmap, false);
    ApplyOptions(removeBackground, smooth);
}

CBitmap32::CBitmap32(TBitmap* bitmap, bool removeBackground, bool smooth, bool keepAlpha) {
    ReadBitmap(bitmap, keepAlpha);
    ApplyOptions(removeBackground, smooth);
}

CBitmap32::CBitmap32(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int32_t kind) {
    if (!Allocate(std::max(w, 1), std::max(h, 1), false)) return;
    FillGradient(colour1, colour2, kind);
}

CBitmap32::~CBitmap32() {
    MEM_FREE(m_pixels);
}

CBitmap32& CBitmap32::operator=(const CBitmap32& other) {
    if (this != &other) Assign(other);
    return *this;
}

void CBitmap32::Assign(const CBitmap32& other) {
    if (this == &other) return;
    Reset();
    if (!other.m_valid || !Allocate(other.m_width, other.m_height, false)) return;
    if (m_size > 0) std::memcpy(m_pixels, other.m_pixels, m_size);
}

// 24-bit rows give three bytes a pixel, 32-bit rows four; the picture is opaque unless the
// 32-bit bitmap's alpha is kept.
void CBitmap32::ReadBitmap(IBitmap* bitmap, bool keepAlpha) {
    if (!bitmap) return;
    const int32_t format = bitmap->GetFormat();
    if (format != kBitmapFormat32 && (keepAlpha || format != kBitmapFormat24)) return;
    uint8_t* row = nullptr;
    int32_t stride = 0;
    const int32_t w = bitmap->GetWidth(), h = bitmap->GetHeight();
    uint8_t* start = bitmap->GetScanline(0, &row, &stride);
    if (!start || !Allocate(w, h, false)) return;
    const int32_t bytes = format == kBitmapFormat24 ? 3 : 4;
    row = start;
    for (int32_t y = 0; y < h; ++y, row += stride) {
        uint32_t* out = m_pixels + (int64_t)y * w;
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = row + x * bytes;
            uint32_t alpha = keepAlpha ? (uint32_t)p[3] << 24 : kAlphaMask;
            out[x] = alpha | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
        }
    }
    bitmap->ReleaseScanline(start);
}

void CBitmap32::ApplyOptions(bool removeBackground, bool smooth) {
    if (!removeBackground) return;
    RemoveBackground();
    if (smooth) SmoothEdges();
}

// ---- operations ------------------------------------------------------------------------------

void CBitmap32::RemoveBackground() {
    if (!m_valid || m_width == 0 || m_height == 0) return;
    const uint32_t key = m_pixels[(int64_t)(m_height - 1) * m_width] & kColourMask;
    const int64_t count = (int64_t)m_width * m_height;
    for (int64_t i = 0; i < count; ++i) {
        if ((m_pixels[i] & kColourMask) == key) m_pixels[i] &= kColourMask;
    }
    BleedTransparentColours();
}

// Transparent pixels take a visible neighbour's colour so that filtering at the edges of the
// visible shape does not blend in the removed background.
void CBitmap32::BleedTransparentColours() {
    if (!m_valid) return;
    const int32_t w = m_width, h = m_height;
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* row = m_pixels + (int64_t)y * w;
        for (int32_t x = 0; x < w; ++x) {
            if (IsVisible(row[x])) continue;
            const uint32_t* neighbour = nullptr;
            if (x > 0 && IsVisible(row[x - 1])) {
                neighbour = &row[x - 1];
            } else if (x < w - 1 && IsVisible(row[x + 1])) {
                neighbour = &row[x + 1];
            } else if (y > 0 && IsVisible(row[x - w])) {
                neighbour = &row[x - w];
            } else if (y < h - 1 && IsVisible(row[x + w])) {
                neighbour = &row[x + w];
            }
            if (neighbour) row[x] = *neighbour & kColourMask;
        }
    }
}

void CBitmap32::SmoothEdges() {
    if (!m_valid) return;
    const int32_t w = m_width, h = m_height;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            if (IsVisible(m_pixels[(int64_t)y * w + x])) continue;
            for (int32_t ny = std::max(y - 1, 0); ny <= std::min(y + 1, h - 1); ++ny) {
                for (int32_t nx = std::max(x - 1, 0); nx <= std::min(x + 1, w - 1); ++nx) {
                    uint32_t& p = m_pixels[(int64_t)ny * w + nx];
                    if ((p >> 24) >= kSmoothStep) p -= kSmoothStep << 24;
                }
            }
        }
    }
}

void CBitmap32::AlphaFromIntensity(const CBitmap32* other) {
    if (!m_valid || !other || !other->m_valid) return;
    const int32_t rows = std::min(m_height, other->m_height);
    const int32_t cols = std::min(m_width, other->m_width);
    for (int32_t y = 0; y < rows; ++y) {
        uint32_t* row = m_pixels + (int64_t)y * m_width;
        const uint32_t* source = other->m_pixels + (int64_t)y * other->m_width;
        for (int32_t x = 0; x < cols; ++x) {
            uint32_t s = source[x];
            uint32_t intensity = (((s >> 16) & 0xFF) + ((s >> 8) & 0xFF) + (s & 0xFF)) / 3;
            uint32_t alpha = std::min(row[x] >> 24, intensity);
            row[x] = alpha << 24 | (row[x] & kColourMask);
        }
    }
}

void CBitmap32::Resize(int32_t newWidth, int32_t newHeight) {
    if (!m_valid || (newWidth == m_width && newHeight == m_height)) return;
    if (newWidth < 1 || newHeight < 1 || newWidth > kImageMaxSide || newHeight > kImageMaxSide) return;
    CBitmap32 old(*this);
    if (!Allocate(newWidth, newHeight, false)) return;
    for (int32_t y = 0; y < newHeight; ++y) {
        const uint32_t* source = old.m_pixels + ((int64_t)y * old.m_height / newHeight) * old.m_width;
        uint32_t* row = m_pixels + (int64_t)y * newWidth;
        for (int32_t x = 0; x < newWidth; ++x) row[x] = source[(int64_t)x * old.m_width / newWidth];
    }
}

int32_t* CBitmap32::GetOpaqueBounds() const {
    int32_t* bounds = (int32_t*)MEM_ALLOC(4 * sizeof(int32_t));
    if (!m_valid || m_width == 0 || m_height == 0) return bounds;
    int32_t left = m_width - 1, top = m_height - 1, right = 0, bottom = 0;
    for (int32_t y = 0; y < m_height; ++y) {
        const uint32_t* row = m_pixels + (int64_t)y * m_width;
        for (int32_t x = 0; x < m_width; ++x) {
            if (!IsVisible(row[x])) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    bounds[0] = left;
    bounds[1] = top;
    bounds[2] = right;
    bounds[3] = bottom;
    return bounds;
}

TBitmap* CBitmap32::ToTBitmap() const {
    if (!m_valid) return nullptr;
    TBitmap* bitmap = TBitmap_Create();
    bitmap->SetFormat(kBitmapFormat32);
    bitmap->SetWidth(m_width);
    bitmap->SetHeight(m_height);
    uint8_t* row = nullptr;
    int32_t stride = 0;
    uint8_t* start = bitmap->GetScanline(0, &row, &stride);
    for (int32_t y = 0; start && y < m_height; ++y) {
        uint8_t* out = start + (int64_t)y * stride;
        const uint32_t* in = m_pixels + (int64_t)y * m_width;
        for (int32_t x = 0; x < m_width; ++x, out += 4) {
            uint32_t p = in[x];
            out[0] = (uint8_t)(p >> 16);
            out[1] = (uint8_t)(p >> 8);
            out[2] = (uint8_t)p;
            out[3] = (uint8_t)(p >> 24);
        }
    }
    bitmap->ReleaseScanline(start);
    return bitmap;
}

// ---- gradients -------------------------------------------------------------------------------

// Sides are at least 1 here, so no weight divides by zero.
void CBitmap32::FillGradient(uint32_t colour1, uint32_t colour2, int32_t kind) {
    const int32_t w = m_width, h = m_height;
    const double half = std::min(w, h) * 0.5;
    if (kind == kGradientEllipse) {
        FillEllipseGradient(colour1, colour2);
        return;
    }
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* row = m_pixels + (int64_t)y * w;
        for (int32_t x = 0; x < w; ++x) {
            double t = 0;
            switch (kind) {
                case kGradientHorizontal:
                    t = (double)x / w;
                    break;
                case kGradientVertical:
                    t = (double)y / h;
                    break;
                case kGradientRectangle:
                    t = std::min(std::min(y, h - 1 - y), std::min(x, w - 1 - x)) / half;
                    break;
                case kGradientDoubleHorizontal:
                    t = std::min(x, w - 1 - x) / (w * 0.5);
                    break;
                case kGradientDoubleVertical:
                    t = std::min(y, h - 1 - y) / (h * 0.5);
                    break;
                default:
                    row[x] = kAlphaMask;
                    continue;
            }
            row[x] = Colour_ToARGBByte(Bitmap32_LerpColour(colour1, colour2, t), 255);
        }
    }
}

// Ellipse i (i = 0, 1, ... below half) covers rows and columns i .. size - 1 - i and the pixels
// inside radii (size - 2i) / 2; inner ellipses are painted over outer ones. The ellipses nest, so
// a pixel ends with the colour of the innermost one that holds it, found by bisection.
void CBitmap32::FillEllipseGradient(uint32_t colour1, uint32_t colour2) {
    const int32_t w = m_width, h = m_height;
    const double half = std::min(w, h) * 0.5;
    const int32_t count = (int32_t)std::ceil(half);
    auto inside = [&](int32_t x, int32_t y, int32_t i) {
        if (y < i || y > h - 1 - i || x < i || x > w - 1 - i) return false;
        double dx = x - w * 0.5, dy = y - h * 0.5;
        double rx = (w - 2.0 * i) * 0.5, ry = (h - 2.0 * i) * 0.5;
        return dx * dx / (rx * rx) + dy * dy / (ry * ry) <= 1.0;
    };
    const uint32_t outside = Colour_ToARGBByte(colour1, 255);
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* row = m_pixels + (int64_t)y * w;
        for (int32_t x = 0; x < w; ++x) {
            if (!inside(x, y, 0)) {
                row[x] = outside;
                continue;
            }
            int32_t low = 0, high = count;  // inside at low, outside at high
            while (high - low > 1) {
                int32_t mid = low + (high - low) / 2;
                (inside(x, y, mid) ? low : high) = mid;
            }
            row[x] = Colour_ToARGBByte(Bitmap32_LerpColour(colour1, colour2, low / half), 255);
        }
    }
}

int32_t GR_Texture_Create_From_Bitmap(const CBitmap32* bitmap) {
    if (!bitmap) return -1;
    const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
    return GR_Texture_Create_From_Pixels(width, height, bitmap->GetPixels(),
                                         static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 4);
}
