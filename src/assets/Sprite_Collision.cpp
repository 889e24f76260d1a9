// Collision masks and the precise tests. A mask is one byte per frame pixel (0 empty, 1 solid);
// the tests map room pixels back into the frame through the instance's scale and rotation and
// sample the mask, looking only at the overlap of the boxes and stopping at the first hit.
//
// Mapped coordinates are range-checked as floats before they become pixel indices, so a zero,
// infinite or NaN scale (whose mapped points are infinite or NaN) lands outside the frame
// instead of in an undefined conversion.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "assets/Graphics_Bitmap32.h"
#include "assets/Sprite_Main.h"
#include "core/MemoryManager.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kAngleEpsilon = 0.0001f;

uint8_t* NewMask(int32_t width, int32_t height) {
    const size_t bytes = size_t(width > 0 ? width : 0) * size_t(height > 0 ? height : 0);
    return static_cast<uint8_t*>(MEM_ALLOC(bytes ? bytes : 1));
}

// Truncation toward zero; -1 for anything outside 0 .. limit - 1 (NaN included).
int32_t TruncatedPixel(float value, int32_t limit) {
    if (!(value > -1.0f && value < static_cast<float>(limit))) return -1;
    return static_cast<int32_t>(value);
}

// Rounding down; -1 for anything outside 0 .. limit - 1 (NaN included).
int32_t FlooredPixel(float value, int32_t limit) {
    if (!(value >= 0.0f && value < static_cast<float>(limit))) return -1;
    return static_cast<int32_t>(value);
}

bool UsableScale(float scale) {
    return scale != 0.0f && std::isfinite(scale);
}

bool UsablePose(float xScale, float yScale, float angle) {
    return UsableScale(xScale) && UsableScale(yScale) && std::isfinite(angle);
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : (value > high ? high : value);
}

// Maps room pixels into one sprite's frame the way the point, rectangle, ellipse and line tests
// do: floor of single-precision sums, rotation about the instance position.
struct FrameMapper {
    int32_t x, y;
    float xScale, yScale;
    float originX, originY;
    bool rotated;
    float s = 0.0f, c = 1.0f;

    FrameMapper(int32_t ix, int32_t iy, float xs, float ys, float angle, int32_t ox, int32_t oy)
        : x(ix),
          y(iy),
          xScale(xs),
          yScale(ys),
          originX(float(ox)),
          originY(float(oy)),
          rotated(!(std::fabs(angle) < kAngleEpsilon)) {
        if (rotated) {
            const float a = -angle * kPi / 180.0f;
            s = std::sin(a);
            c = std::cos(a);
        }
    }

    void Map(float dx, float dy, int32_t width, int32_t height, int32_t* u, int32_t* v) const {
        float fu, fv;
        if (rotated) {
            fu = (dy * s + dx * c) / xScale + originX;
            fv = (dy * c - dx * s) / yScale + originY;
        } else {
            fu = dx / xScale + originX;
            fv = dy / yScale + originY;
        }
        *u = FlooredPixel(fu, width);
        *v = FlooredPixel(fv, height);
    }
};

}  // namespace

// ---- masks ---------------------------------------------------------------------------------

void CSprite::FreeMasks() {
    for (int32_t i = 0; i < m_maskCount; ++i) MEM_FREE(m_masks[i].data);
    MEM_FREE(m_masks);
    m_masks = nullptr;
    m_maskCount = 0;
    m_masksUnpacked = false;
}

void CSprite::UnpackMasks() {
    if (m_masksUnpacked || m_packedMaskCount == 0 || m_packedMasks == nullptr) return;
    m_masksPerFrame = m_packedMaskCount == m_frameCount;
    const int32_t stride = (m_width + 7) / 8;
    const size_t packedBytes = Sprite_PackedMaskBytes(m_width, m_height);
    m_masks = static_cast<SpriteMask*>(MEM_ALLOC(size_t(m_packedMaskCount) * sizeof(SpriteMask)));
    m_maskCount = m_packedMaskCount;
    const uint8_t* packed = m_packedMasks;
    for (int32_t i = 0; i < m_maskCount; ++i, packed += packedBytes) {
        uint8_t* mask = NewMask(m_width, m_height);
        for (int32_t py = 0; py < m_height; ++py) {
            const uint8_t* row = packed + size_t(py) * stride;
            for (int32_t px = 0; px < m_width; ++px)
                mask[size_t(py) * m_width + px] = (row[px / 8] >> (7 - px % 8)) & 1;
        }
        m_masks[i] = SpriteMask{m_width * m_height, mask};
    }
    m_masksUnpacked = true;
}

void CSprite::GenerateMasks() {
    if (m_masksUnpacked) FreeMasks();
    if (!m_precise || !m_transparent || m_frameCount <= 0 || m_kind != SPRITE_BITMAP || !HasRunTimeFrames())
        return;
    m_masks = static_cast<SpriteMask*>(MEM_ALLOC(size_t(m_frameCount) * sizeof(SpriteMask)));
    m_maskCount = m_frameCount;
    for (int32_t i = 0; i < m_frameCount; ++i) {
        uint8_t* mask = NewMask(m_width, m_height);
        const CBitmap32* bitmap = i < m_bitmapCount ? m_bitmaps[i] : nullptr;
        if (bitmap) {
            const int32_t w = bitmap->GetWidth() < m_width ? bitmap->GetWidth() : m_width;
            const int32_t h = bitmap->GetHeight() < m_height ? bitmap->GetHeight() : m_height;
            const uint32_t* pixels = bitmap->GetPixels();
            for (int32_t py = 0; py < h; ++py)
                for (int32_t px = 0; px < w; ++px)
                    mask[size_t(py) * m_width + px] =
                        pixels[size_t(py) * bitmap->GetWidth() + px] > 0x00FFFFFFu;
        }
        m_masks[i] = SpriteMask{m_width * m_height, mask};
    }
    m_masksUnpacked = true;
}

namespace {

// Whether a frame pixel is solid under a shape kind; the box is already clamped to the frame.
bool ShapeSolid(int32_t kind, const SpriteBox& box, int32_t px, int32_t py, uint32_t pixel,
                int32_t tolerance) {
    if (kind == 0) return static_cast<int64_t>(pixel >> 24) > tolerance;
    if (px < box.left || px > box.right || py < box.top || py > box.bottom) return false;
    if (kind == 1) return true;
    const int32_t cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    const float rx = float(cx - box.left) + 0.5f, ry = float(cy - box.top) + 0.5f;
    if (!(rx > 0.0f && ry > 0.0f)) return false;
    const float nx = float(px - cx) / rx, ny = float(py - cy) / ry;
    if (kind == 2) return nx * nx + ny * ny < 1.0f;
    if (kind == 3) return std::fabs(nx) + std::fabs(ny) < 1.0f;
    return false;
}

}  // namespace

void CSprite::BuildCollisionMasks(bool separate, int32_t boxMode, const SpriteBox& box, int32_t kind,
                                  int32_t tolerance) {
    if (m_masksUnpacked) FreeMasks();
    if (m_kind != SPRITE_BITMAP || !HasRunTimeFrames() || m_frameCount <= 0) return;

    if (boxMode == SPRITE_BOX_AUTOMATIC || boxMode == SPRITE_BOX_FULL) {
        m_box = {0, 0, m_width - 1, m_height - 1};
    } else if (boxMode == SPRITE_BOX_MANUAL) {
        m_box = {Clamp(box.left, 0, m_width - 1), Clamp(box.top, 0, m_height - 1),
                 Clamp(box.right, 0, m_width - 1), Clamp(box.bottom, 0, m_height - 1)};
    }

    // Separate masks give each frame its own; otherwise one mask, the union of every frame,
    // serves all frames.
    const int32_t count = separate ? m_frameCount : 1;
    m_masks = static_cast<SpriteMask*>(MEM_ALLOC(size_t(count) * sizeof(SpriteMask)));
    m_maskCount = count;
    for (int32_t i = 0; i < count; ++i)
        m_masks[i] = SpriteMask{m_width * m_height, NewMask(m_width, m_height)};

    for (int32_t frame = 0; frame < m_frameCount; ++frame) {
        uint8_t* mask = m_masks[separate ? frame : 0].data;
        const CBitmap32* bitmap = frame < m_bitmapCount ? m_bitmaps[frame] : nullptr;
        for (int32_t py = 0; py < m_height; ++py) {
            for (int32_t px = 0; px < m_width; ++px) {
                uint32_t pixel = 0;
                if (bitmap && px < bitmap->GetWidth() && py < bitmap->GetHeight())
                    pixel = bitmap->GetPixels()[size_t(py) * bitmap->GetWidth() + px];
                if (ShapeSolid(kind, m_box, px, py, pixel, tolerance)) mask[size_t(py) * m_width + px] = 1;
            }
        }
    }
    m_masksUnpacked = true;
}

void CSprite::SetPrecise(bool precise) {
    if (precise == m_precise) return;
    m_precise = precise;
    if (m_kind == SPRITE_BITMAP) GenerateMasks();
}

void CSprite::SetBoundingBoxMode(int32_t mode) {
    const auto asUnsigned = static_cast<uint32_t>(mode);
    if (asUnsigned > 2 || mode == m_boxMode) return;
    m_boxMode = mode;
    ComputeBoundingBox();
}

void CSprite::SetBoundingBox(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (m_boxMode == SPRITE_BOX_MANUAL) m_box = {left, top, right, bottom};
}

void CSprite::ComputeBoundingBox() {
    ComputeBoundingRadius();
    if (m_boxMode == SPRITE_BOX_MANUAL) return;
    if (!m_transparent || m_boxMode == SPRITE_BOX_FULL) {
        m_box = {0, 0, m_width - 1, m_height - 1};
        if (m_kind == SPRITE_BITMAP) return;
    }
    if (m_frameCount == 0) {
        m_box = {0, 0, 0, 0};
        return;
    }
    // Vector bounds arrive with the vector loader; sprites without frame bitmaps (data-file
    // frames) keep the box the data file gave them.
    if (m_kind != SPRITE_BITMAP || m_bitmapCount == 0) return;
    SpriteBox unionBox = {m_width - 1, m_height - 1, 0, 0};
    for (int32_t i = 0; i < m_bitmapCount; ++i) {
        if (!m_bitmaps[i]) continue;
        int32_t* opaque = m_bitmaps[i]->GetOpaqueBounds();
        if (!opaque) continue;
        if (opaque[0] < unionBox.left) unionBox.left = opaque[0];
        if (opaque[1] < unionBox.top) unionBox.top = opaque[1];
        if (opaque[2] > unionBox.right) unionBox.right = opaque[2];
        if (opaque[3] > unionBox.bottom) unionBox.bottom = opaque[3];
        MEM_FREE(opaque);
    }
    m_box = unionBox;
}

// ---- the precise tests ---------------------------------------------------------------------

const uint8_t* CSprite::MaskFor(int32_t frame) const {
    if (m_maskCount <= 0 || !m_masks) return nullptr;
    int32_t i = frame % m_maskCount;
    if (i < 0) i += m_maskCount;
    return m_masks[i].data;
}

bool CSprite::SampleMask(const uint8_t* mask, int32_t u, int32_t v) const {
    if (u < 0 || v < 0 || u >= m_width || v >= m_height) return false;
    return mask == nullptr || mask[size_t(v) * m_width + u] != 0;
}

namespace {

// One side of the sprite-against-sprite test: inverse scales, truncation toward zero.
struct PairSide {
    const CSprite* sprite;
    const uint8_t* mask;
    int32_t x, y;
    float inverseX, inverseY;
    float angle;
    float s = 0.0f, c = 1.0f;

    void Prepare() {
        if (angle != 0.0f) {
            const float a = -angle * kPi / 180.0f;
            s = std::sin(a);
            c = std::cos(a);
        }
    }

    bool Solid(int32_t roomX, int32_t roomY, bool plain, bool anyAngle) const {
        const int64_t dx = int64_t(roomX) - x, dy = int64_t(roomY) - y;
        int32_t u, v;
        if (plain) {
            const int64_t pu = sprite->m_originX + dx, pv = sprite->m_originY + dy;
            if (pu < 0 || pv < 0 || pu >= sprite->m_width || pv >= sprite->m_height) return false;
            u = int32_t(pu);
            v = int32_t(pv);
        } else {
            const float fx = float(dx), fy = float(dy);
            float fu, fv;
            if (anyAngle) {
                fu = (fy * s + fx * c) * inverseX + float(sprite->m_originX);
                fv = (fy * c - fx * s) * inverseY + float(sprite->m_originY);
            } else {
                fu = fx * inverseX + float(sprite->m_originX);
                fv = fy * inverseY + float(sprite->m_originY);
            }
            u = TruncatedPixel(fu, sprite->m_width);
            v = TruncatedPixel(fv, sprite->m_height);
            if (u < 0 || v < 0) return false;
        }
        return mask == nullptr || mask[size_t(v) * sprite->m_width + u] != 0;
    }
};

}  // namespace

bool CSprite::CollisionSprite(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale,
                              float yScale, float angle, CSprite* other, int32_t otherFrame,
                              const int32_t otherBox[4], int32_t otherX, int32_t otherY, float otherXScale,
                              float otherYScale, float otherAngle) {
    if (!other || m_frameCount < 1 || other->m_frameCount < 1) return false;
    if (!UsableScale(xScale) || !UsableScale(yScale) || !UsableScale(otherXScale) ||
        !UsableScale(otherYScale) || !std::isfinite(angle) || !std::isfinite(otherAngle))
        return false;
    UnpackMasks();
    other->UnpackMasks();
    PairSide mine{this, MaskFor(frame), x, y, 1.0f / xScale, 1.0f / yScale, angle};
    PairSide theirs{other,     other->MaskFor(otherFrame), otherX,
                    otherY,    1.0f / otherXScale,         1.0f / otherYScale,
                    otherAngle};
    mine.Prepare();
    theirs.Prepare();
    const bool anyAngle = angle != 0.0f || otherAngle != 0.0f;
    const bool plain =
        !anyAngle && xScale == 1.0f && yScale == 1.0f && otherXScale == 1.0f && otherYScale == 1.0f;

    const int32_t left = box[0] > otherBox[0] ? box[0] : otherBox[0];
    const int32_t right = box[2] < otherBox[2] ? box[2] : otherBox[2];
    const int32_t top = box[1] > otherBox[1] ? box[1] : otherBox[1];
    const int32_t bottom = box[3] < otherBox[3] ? box[3] : otherBox[3];
    for (int64_t px = left; px <= right; ++px)
        for (int64_t py = top; py <= bottom; ++py)
            if (mine.Solid(int32_t(px), int32_t(py), plain, anyAngle) &&
                theirs.Solid(int32_t(px), int32_t(py), plain, anyAngle))
                return true;
    return false;
}

bool CSprite::CollisionPoint(int32_t frame, const int32_t* /*box*/, int32_t x, int32_t y, float xScale,
                             float yScale, float angle, int32_t px, int32_t py) {
    UnpackMasks();
    if (m_maskCount <= 0) return true;
    if (m_frameCount <= 0 || !UsablePose(xScale, yScale, angle)) return false;
    const uint8_t* mask = MaskFor(frame);
    const FrameMapper mapper(x, y, xScale, yScale, angle, m_originX, m_originY);
    int32_t u, v;
    mapper.Map(float(int64_t(px) - x), float(int64_t(py) - y), m_width, m_height, &u, &v);
    return SampleMask(mask, u, v);
}

namespace {

// The rectangle and ellipse tests walk the overlap of the instance box and the rectangle.
template <typename Filter>
bool ScanOverlap(const CSprite& sprite, const uint8_t* mask, const int32_t box[4], const int32_t rect[4],
                 const FrameMapper& mapper, bool plain, Filter accept) {
    const int32_t left = box[0] > rect[0] ? box[0] : rect[0];
    const int32_t right = box[2] < rect[2] ? box[2] : rect[2];
    const int32_t top = box[1] > rect[1] ? box[1] : rect[1];
    const int32_t bottom = box[3] < rect[3] ? box[3] : rect[3];
    for (int64_t px = left; px <= right; ++px) {
        for (int64_t py = top; py <= bottom; ++py) {
            if (!accept(int32_t(px), int32_t(py))) continue;
            const int64_t dx = px - mapper.x, dy = py - mapper.y;
            int32_t u = -1, v = -1;
            if (plain) {
                const int64_t pu = sprite.m_originX + dx, pv = sprite.m_originY + dy;
                if (pu >= 0 && pv >= 0 && pu < sprite.m_width && pv < sprite.m_height) {
                    u = int32_t(pu);
                    v = int32_t(pv);
                }
            } else {
                mapper.Map(float(dx), float(dy), sprite.m_width, sprite.m_height, &u, &v);
            }
            if (u >= 0 && v >= 0 && mask[size_t(v) * sprite.m_width + u] == 1) return true;
        }
    }
    return false;
}

}  // namespace

bool CSprite::CollisionRectangle(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale,
                                 float yScale, float angle, const int32_t rect[4]) {
    UnpackMasks();
    if (m_maskCount <= 0) return true;
    if (m_frameCount <= 0 || !UsablePose(xScale, yScale, angle)) return false;
    const FrameMapper mapper(x, y, xScale, yScale, angle, m_originX, m_originY);
    const bool plain = xScale == 1.0f && yScale == 1.0f && !mapper.rotated;
    return ScanOverlap(*this, MaskFor(frame), box, rect, mapper, plain,
                       [](int32_t, int32_t) { return true; });
}

bool CSprite::CollisionEllipse(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale,
                               float yScale, float angle, const int32_t rect[4]) {
    UnpackMasks();
    if (m_maskCount <= 0) return true;
    if (m_frameCount <= 0 || !UsablePose(xScale, yScale, angle)) return false;
    const FrameMapper mapper(x, y, xScale, yScale, angle, m_originX, m_originY);
    const bool plain = xScale == 1.0f && yScale == 1.0f && !mapper.rotated;
    const int32_t cx = int32_t((int64_t(rect[0]) + rect[2]) / 2),
                  cy = int32_t((int64_t(rect[1]) + rect[3]) / 2);
    const float rx = float((int64_t(rect[2]) - rect[0]) / 2), ry = float((int64_t(rect[3]) - rect[1]) / 2);
    auto inside = [&](int32_t px, int32_t py) {
        const float ny = float(int64_t(py) - cy) / ry, nx = float(int64_t(px) - cx) / rx;
        return ny * ny + nx * nx <= 1.0f;
    };
    return ScanOverlap(*this, MaskFor(frame), box, rect, mapper, plain, inside);
}

bool CSprite::CollisionLine(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale,
                            float yScale, float angle, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    UnpackMasks();
    if (m_maskCount <= 0) return true;
    if (m_frameCount <= 0 || !UsablePose(xScale, yScale, angle)) return false;
    if (x1 == x2 || y1 == y2) {
        const int32_t rect[4] = {x1, y1 < y2 ? y1 : y2, x2, y1 < y2 ? y2 : y1};
        return CollisionRectangle(frame, box, x, y, xScale, yScale, angle, rect);
    }
    const uint8_t* mask = MaskFor(frame);
    // The walk always maps through the rotation, as an angle of 0 gives s = 0 and c = 1.
    const float a = -angle * kPi / 180.0f, s = std::sin(a), c = std::cos(a);
    auto hit = [&](float dx, float dy) {
        const int32_t u = FlooredPixel((dy * s + dx * c) / xScale + float(m_originX), m_width);
        const int32_t v = FlooredPixel((dy * c - dx * s) / yScale + float(m_originY), m_height);
        return u >= 0 && v >= 0 && mask[size_t(v) * m_width + u] == 1;
    };
    const int64_t spanX = std::llabs(int64_t(x2) - x1), spanY = std::llabs(int64_t(y2) - y1);
    if (spanX < spanY) {
        if (y1 > y2) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        const float slope = float(int64_t(x2) - x1) / float(int64_t(y2) - y1);
        const int32_t from = box[1] > y1 ? box[1] : y1, to = box[3] < y2 ? box[3] : y2;
        for (int64_t py = from; py <= to; ++py)
            if (hit(float(py - y1) * slope + float(x1) - float(x), float(py - y))) return true;
    } else {
        if (x1 > x2) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        const float slope = float(int64_t(y2) - y1) / float(int64_t(x2) - x1);
        const int32_t from = box[0] > x1 ? box[0] : x1, to = box[2] < x2 ? box[2] : x2;
        for (int64_t px = from; px <= to; ++px)
            if (hit(float(px - x), float(px - x1) * slope + float(y1) - float(y))) return true;
    }
    return false;
}
